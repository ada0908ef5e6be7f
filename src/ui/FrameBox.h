// A titled frame drawn as the setup's windows draw one: its border runs
// through the middle of the title line, so controls placed from a line
// below the frame's top sit inside it, whatever the style's group box.
#pragma once

#include <QGroupBox>

class FrameBox : public QGroupBox {
    Q_OBJECT

  public:
    explicit FrameBox(const QString& title, QWidget* parent = nullptr);

    // Height of the border's top edge below the frame's top.
    int BorderTop() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
