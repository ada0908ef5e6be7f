// FORM_Info: the modeless About window: the program icon and version line,
// a rule, the notice lines (strings 103 to 105) and a Close button. Closing
// it unloads (deletes) it.
#pragma once

#include <QDialog>

#include <array>
#include <functional>

class QLabel;
class QPushButton;

class FORM_Info : public QDialog {
    Q_OBJECT

  public:
    // Told true once the window is loaded and false when it unloads; the
    // program keeps its InfoOpen flag with it.
    using OpenHook = std::function<void(bool open)>;

    explicit FORM_Info(QWidget* owner = nullptr, OpenHook onOpenChanged = {});
    ~FORM_Info() override;

    // The controls, under their names: label 0 is the version line in its
    // own font; picture 0 the program icon, picture 1 the rule.
    QPushButton* eButton;
    std::array<QLabel*, 4> lLabel;
    std::array<QLabel*, 2> ePic;

  private:
    void buildLayout();
    OpenHook onOpenChanged_;
};
