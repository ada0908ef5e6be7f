// The setup's graphical wizard: one window of 474 x 335 titled with the
// setup's caption, the side picture at 6, 6 and to its right one page at a
// time (welcome, licence, components, folder, installing, finish), with
// Back, Next and Cancel where the editor's previews put their buttons.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "install/InstallPlan.h"
#include "wizard/WizardArguments.h"
#include "wizard/WizardInstall.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class SidePicture;
class qkProgressA;
class qkScriptSetupA;

enum class WizardPage { Welcome, Licence, Components, Folder, Installing, Finish };

// What the constructor builds: every page, or the welcome page first and the
// others once it has been painted (or when the wizard leaves it), so that
// the first frame waits for no page it does not show.
enum class WizardBuild { Whole, WelcomeFirst };

class SetupWizard : public QDialog {
    Q_OBJECT

  public:
    // Reads the setup args names. Throws KaveloError when it cannot be read.
    explicit SetupWizard(const WizardArguments& args, QWidget* parent = nullptr,
                         WizardBuild build = WizardBuild::Whole);
    ~SetupWizard() override;

    // Builds the pages a WelcomeFirst wizard has not built yet (the licence,
    // the components, which runs the component script, and the rest).
    void CompletePages();
    bool PagesComplete() const { return complete_; }
    // The pages this setup shows, in order, and the one shown now (the
    // welcome page alone until the pages are complete).
    const std::vector<WizardPage>& Pages() const { return pages_; }
    WizardPage CurrentPage() const { return pages_[static_cast<size_t>(at_)]; }
    // The exit status for the runtime: 0 installed, 1 failed with nothing
    // changed, 4 cancelled, 5 not everything could be undone.
    int ExitStatus() const { return status_; }
    // Answers the Cancel question (the tests answer it themselves).
    void SetQuestionAnswer(std::function<bool(const QString&)> answer);
    // Shows page as it stands, without installing (for pictures of it).
    void ShowPage(WizardPage page);
    // The folder the installation went into (empty before it ends).
    const std::string& InstalledFolder() const { return installed_; }

    // Back, Next (Install, Finish) and Cancel.
    std::array<QPushButton*, 3> eButton{};
    SidePicture* ePic = nullptr;
    QLabel* eWelcome = nullptr;
    QPlainTextEdit* eLicense = nullptr;
    QCheckBox* eAccept = nullptr;
    QLabel* eComponents = nullptr;
    qkScriptSetupA* qkScriptSetupA1 = nullptr;
    QLineEdit* eFolder = nullptr;
    QPushButton* eBrowse = nullptr;
    QLabel* eSpace = nullptr;
    QLabel* eFolderProblem = nullptr;
    QRadioButton* eForMe = nullptr;
    QRadioButton* eForAll = nullptr;
    QLabel* eForAllReason = nullptr;
    qkProgressA* qkProgressA1 = nullptr;
    QLabel* eFile = nullptr;
    QLabel* eFinish = nullptr;
    QCheckBox* eLaunch = nullptr;

  public slots:
    // Escape, Cancel and the close box: asks, then cancels (undoing an
    // installation under way).
    void reject() override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QWidget* buildWelcome();
    QWidget* buildLicence();
    QWidget* buildComponents();
    QWidget* buildFolder();
    QWidget* buildInstalling();
    QWidget* buildFinish();
    void buildButtons();
    void goBack();
    void goNext();
    void showPage(int index);
    void updateButtons();
    void updateFolder();
    void browseFolder();
    void install();
    void installForAllUsers();
    void showOutcome(const QString& text, int status);
    void finish();
    void writeLog(const QString& line);
    bool ask(const QString& question);

    WizardArguments args_;
    WizardInstall setup_;
    std::vector<WizardPage> pages_;
    QStackedWidget* stack_ = nullptr;
    int at_ = 0;
    int status_ = 4;
    bool installing_ = false;
    bool cancelRequested_ = false;
    bool complete_ = false;
    bool completing_ = false; // the pages' completion is on its way
    QString elevator_; // pkexec's path; empty when there is none
    std::optional<InstallPlan> plan_;
    std::string installed_;
    std::function<bool(const QString&)> answer_;
};
