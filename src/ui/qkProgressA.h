// qkProgressA: a horizontal progress bar showing a fraction from 0 to 1 as a
// filled bar and as a percentage with two decimals.
#pragma once

#include "common/Progress.h"

#include <QString>
#include <QWidget>

#include <cstdint>

// The part of the text over the filled bar is drawn in the inverse
// (highlight) colours. It is the core's progress sink: the compressor and the
// decompressor report through ValueSet. The editor packs on a worker
// thread, which reaches the bar through QueuedProgress; its Yield does
// nothing.
class qkProgressA : public QWidget, public ProgressSink {
    Q_OBJECT

  public:
    explicit qkProgressA(QWidget* parent = nullptr);

    // Clamps NewValue to 0..1 (negative or not a number gives 0), sets the
    // bar to stored width x value + 1 and the text to the percentage.
    void ValueSet(float NewValue) override;

    float Value() const { return value_; }
    // The percentage both labels show ("0%" before the first ValueSet).
    const QString& Text() const { return text_; }
    // The filled area: it starts at x = -1, so a width of 1 shows nothing.
    float BarWidth() const { return barWidth_; }
    int BarHeight() const { return barHeight_; }
    // The labels' size: the last whole-pixel size the control was given
    // (0 x 0 before its first resize).
    QSize LabelSize() const { return {storedWidth_, storedHeight_}; }

    QSize sizeHint() const override { return {320, 16}; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    float value_ = 0;
    float barWidth_ = 1;
    int barHeight_ = 16;
    int32_t storedWidth_ = 0;
    int32_t storedHeight_ = 0;
    QString text_ = QStringLiteral("0%");
    long shownHundredths_ = -1; // the value text_ shows; none before the first ValueSet
};
