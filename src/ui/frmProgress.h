// frmProgress: the small window that shows the file being packed and a
// progress bar while a setup is written.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class qkProgressA;

// A top-level dialog-style window of fixed client size 326 x 47, titled with
// string 160. The user cannot close it; its owner deletes it when the save
// ends. It is shown over its owner but is not its child, so that whatever
// of the owner is disabled while it packs leaves this window enabled.
class frmProgress : public QWidget {
    Q_OBJECT

  public:
    // Told true once the window is loaded (built) and false when it unloads
    // (is destroyed); the program keeps its ProgressOpen flag with it.
    using OpenHook = std::function<void(bool open)>;

    explicit frmProgress(QWidget* owner = nullptr, OpenHook onOpenChanged = {});
    ~frmProgress() override;

    // Names the file being packed; a name too long for the label is
    // shortened in the middle and shown whole in the tool tip.
    void SetLabel(const QString& text);
    const QString& LabelText() const { return labelText_; }

    // The bar to hand to the compressor as its progress sink.
    qkProgressA* Bar() const { return qkProgressA1; }
    QLabel* Label() const { return eLabel; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QPointer<QWidget> owner_;
    QLabel* eLabel;
    qkProgressA* qkProgressA1;
    QString labelText_;
    OpenHook onOpenChanged_;
};
