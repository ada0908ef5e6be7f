#include "wizard/SetupWizard.h"

#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>

#include <unistd.h>

#include "common/Errors.h"
#include "install/DisplayText.h"
#include "res/StringTable.h"
#include "ui/SidePicture.h"
#include "ui/TextConvert.h"
#include "ui/qkProgressA.h"
#include "ui/qkScriptSetupA.h"
#include "wizard/AllUsersInstall.h"
#include "wizard/WizardIcon.h"

namespace {

// The page area right of the side picture, and the bottom row of buttons,
// where the editor's previews have them.
constexpr QRect kPageArea(144, 8, 321, 289);
constexpr int kButtonTop = 304;
constexpr int kButtonLefts[3] = {144, 232, 384};

QLabel* TextLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // a setup's texts are never markup
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QString Named(QWidget* w, const QString& name) {
    w->setObjectName(name);
    w->setAccessibleName(name);
    return name;
}

// The engine's progress on the installing page: the bar, the file being
// written, and the Cancel flag; the window is painted after each report.
class PageProgress : public InstallProgress {
  public:
    PageProgress(qkProgressA* bar, QLabel* file, const bool& cancel)
        : bar_(bar), file_(file), cancel_(cancel) {}
    void Bytes(uint64_t done, uint64_t total, const std::string& file) override {
        bar_->ValueSet(total ? static_cast<float>(static_cast<double>(done) / total) : 1.0f);
        if (file != shown_) {
            shown_ = file;
            file_->setText(QFontMetrics(file_->font())
                               .elidedText(BytesToLine(file), Qt::ElideMiddle, file_->width()));
        }
        QCoreApplication::processEvents();
    }
    void Step(const PlanStep&) override { QCoreApplication::processEvents(); }
    bool Cancelled() override { return cancel_; }

  private:
    qkProgressA* bar_;
    QLabel* file_;
    const bool& cancel_;
    std::string shown_;
};

// Why an installation failed, naming the file.
QString FailureText(const InstallResult& result) {
    return result.Failure ? BytesToLine(ShownError(*result.Failure)) : QString();
}

QString SizeText(uint64_t bytes) {
    return QLocale::system().formattedDataSize(static_cast<qint64>(bytes), 1,
                                               QLocale::DataSizeTraditionalFormat);
}

// The deepest folder of path that exists.
std::string ExistingPart(std::string path) {
    while (path.size() > 1 && ::access(path.c_str(), F_OK) != 0)
        path = path.substr(0, std::max<size_t>(path.rfind('/'), 1));
    return path;
}

} // namespace

SetupWizard::SetupWizard(const WizardArguments& args, QWidget* parent, WizardBuild build)
    : QDialog(parent), args_(args), setup_(args.Setup) {
    setObjectName(QStringLiteral("SetupWizard"));
    setWindowTitle(BytesToLine(setup_.Setup().Line(LineCaption)).replace(u'\n', u' '));
    setWindowIcon(WizardIcon());
    setFixedSize(474, 335);
    ePic = new SidePicture(this);
    ePic->setGeometry(6, 6, 132, 324);
    ePic->ShowPicture(setup_.Picture());
    Named(ePic, QStringLiteral("Side picture"));

    stack_ = new QStackedWidget(this);
    stack_->setGeometry(kPageArea);
    pages_.push_back(WizardPage::Welcome);
    stack_->addWidget(buildWelcome());
    buildButtons();
    if (build == WizardBuild::Whole) CompletePages();
    showPage(0);
}

SetupWizard::~SetupWizard() = default;

void SetupWizard::CompletePages() {
    if (complete_) return;
    complete_ = true;
    elevator_ = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (setup_.HasLicense()) {
        pages_.push_back(WizardPage::Licence);
        stack_->addWidget(buildLicence());
    }
    QWidget* components = buildComponents();
    if (qkScriptSetupA1->Model().ElementCount() > 0) {
        pages_.push_back(WizardPage::Components);
        stack_->addWidget(components);
    } else {
        components->hide();
    }
    for (const auto& [page, widget] : {std::pair{WizardPage::Folder, buildFolder()},
                                       {WizardPage::Installing, buildInstalling()},
                                       {WizardPage::Finish, buildFinish()}}) {
        pages_.push_back(page);
        stack_->addWidget(widget);
    }
    // The buttons were made first: the tab order goes round the page, then
    // the buttons, whichever was made first.
    QWidget::setTabOrder(eLaunch, eButton[0]);
    QWidget::setTabOrder(eButton[0], eButton[1]);
    QWidget::setTabOrder(eButton[1], eButton[2]);
}

// The first frame shows the welcome page; the others are built on the next
// turn of the event loop, before anything the person does is handled.
void SetupWizard::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (complete_ || completing_) return;
    completing_ = true;
    QTimer::singleShot(0, this, &SetupWizard::CompletePages);
}

QWidget* SetupWizard::buildWelcome() {
    eWelcome = TextLabel(BytesToText(setup_.Setup().Line(LineStartText)), nullptr);
    Named(eWelcome, QStringLiteral("Welcome text"));
    return eWelcome;
}

QWidget* SetupWizard::buildLicence() {
    auto* page = new QWidget;
    eLicense = new QPlainTextEdit(BytesToText(setup_.LicenseText()), page);
    eLicense->setReadOnly(true);
    eLicense->setGeometry(0, 0, kPageArea.width(), 257);
    Named(eLicense, QStringLiteral("Licence"));
    eAccept = new QCheckBox(tr("I &accept the licence"), page);
    eAccept->setGeometry(0, 266, kPageArea.width(), 21);
    eAccept->setChecked(args_.AcceptLicense);
    Named(eAccept, QStringLiteral("I accept the licence"));
    connect(eAccept, &QCheckBox::toggled, this, &SetupWizard::updateButtons);
    return page;
}

QWidget* SetupWizard::buildComponents() {
    auto* page = new QWidget;
    eComponents = TextLabel(BytesToLine(GetResString(701, false)), page);
    eComponents->setGeometry(0, 0, kPageArea.width(), 17);
    Named(eComponents, eComponents->text());
    qkScriptSetupA1 = new qkScriptSetupA(page);
    qkScriptSetupA1->setGeometry(0, 24, kPageArea.width(), 265);
    Named(qkScriptSetupA1, QStringLiteral("Components"));
    const std::vector<std::string> strings = setup_.Setup().StringsList();
    qkScriptSetupA1->LoadScript(setup_.Setup().Script, strings, kMaxStrings);
    return page;
}

QWidget* SetupWizard::buildFolder() {
    auto* page = new QWidget;
    auto* label = TextLabel(tr("Install into this &folder:"), page);
    label->setGeometry(0, 0, kPageArea.width(), 17);
    eFolder = new QLineEdit(page);
    eFolder->setGeometry(0, 18, 233, 23);
    Named(eFolder, QStringLiteral("Installation folder"));
    label->setBuddy(eFolder);
    eBrowse = new QPushButton(tr("&Browse..."), page);
    eBrowse->setGeometry(240, 17, 81, 25);
    Named(eBrowse, QStringLiteral("Browse"));
    eSpace = TextLabel(QString(), page);
    eSpace->setGeometry(0, 48, kPageArea.width(), 34);
    Named(eSpace, QStringLiteral("Space"));
    eFolderProblem = TextLabel(QString(), page);
    eFolderProblem->setGeometry(0, 84, kPageArea.width(), 68);
    QFont bold = eFolderProblem->font();
    bold.setBold(true);
    eFolderProblem->setFont(bold);
    Named(eFolderProblem, QStringLiteral("Folder problem"));
    eForMe = new QRadioButton(tr("For &me only"), page);
    eForMe->setGeometry(0, 160, kPageArea.width(), 21);
    Named(eForMe, QStringLiteral("Install for me only"));
    // The choice's own line is short; what it asks for, or why it cannot
    // be made, goes on the lines below it, which wrap.
    eForAll = new QRadioButton(tr("For &all users"), page);
    eForAll->setGeometry(0, 184, kPageArea.width(), 21);
    Named(eForAll, QStringLiteral("Install for all users"));
    eForAllReason = TextLabel(QString(), page);
    eForAllReason->setGeometry(18, 206, kPageArea.width() - 18, 34);
    Named(eForAllReason, QStringLiteral("About installing for all users"));
    eForMe->setChecked(true);
    const bool root = setup_.Environment().Root;
    eForMe->setVisible(!root);
    eForAll->setVisible(!root);
    eForAll->setEnabled(!elevator_.isEmpty());
    eForAllReason->setVisible(!root);
    eForAllReason->setText(
        elevator_.isEmpty() ? tr("Installing for all users needs pkexec, which is not installed.")
                            : tr("Asks for the administrator's password."));
    try {
        eFolder->setText(BytesToLine(args_.Dir.empty() ? setup_.DefaultFolder(false)
                                                       : WizardInstall::ChosenFolder(args_.Dir)));
    } catch (const KaveloError& e) {
        eFolderProblem->setText(BytesToLine(ShownError(e)));
    }
    connect(eFolder, &QLineEdit::textChanged, this, &SetupWizard::updateFolder);
    connect(eBrowse, &QPushButton::clicked, this, &SetupWizard::browseFolder);
    connect(eForAll, &QRadioButton::toggled, this, [this](bool all) {
        try {
            if (args_.Dir.empty()) eFolder->setText(BytesToLine(setup_.DefaultFolder(all)));
            updateFolder();
        } catch (const KaveloError& e) {
            updateFolder();
            eFolderProblem->setText(BytesToLine(ShownError(e)));
        }
    });
    return page;
}

QWidget* SetupWizard::buildInstalling() {
    auto* page = new QWidget;
    auto* label = TextLabel(tr("Installing..."), page);
    label->setGeometry(0, 0, kPageArea.width(), 17);
    qkProgressA1 = new qkProgressA(page);
    qkProgressA1->setGeometry(0, 24, kPageArea.width(), 17);
    Named(qkProgressA1, QStringLiteral("Progress"));
    eFile = new QLabel(page);
    eFile->setTextFormat(Qt::PlainText);
    eFile->setGeometry(0, 48, kPageArea.width(), 17);
    Named(eFile, QStringLiteral("File being written"));
    return page;
}

QWidget* SetupWizard::buildFinish() {
    auto* page = new QWidget;
    eFinish = TextLabel(BytesToText(setup_.Setup().Line(LineFinishText)), page);
    eFinish->setGeometry(0, 0, kPageArea.width(), 177);
    Named(eFinish, QStringLiteral("Finish text"));
    eLaunch = new QCheckBox(BytesToLine(setup_.Setup().Line(LineLaunchText)), page);
    eLaunch->setGeometry(0, 184, kPageArea.width(), 17);
    eLaunch->setChecked(!args_.NoLaunch);
    eLaunch->hide();
    Named(eLaunch, eLaunch->text().isEmpty() ? QStringLiteral("Launch") : eLaunch->text());
    return page;
}

void SetupWizard::buildButtons() {
    const QString captions[3] = {tr("< &Back"), tr("&Next >"), tr("Cancel")};
    const QString names[3] = {QStringLiteral("Back"), QStringLiteral("Next"),
                              QStringLiteral("Cancel")};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(captions[i], this);
        b->setGeometry(kButtonLefts[i], kButtonTop, 81, 25);
        b->setObjectName(QStringLiteral("eButton%1").arg(i));
        b->setAccessibleName(names[i]);
        b->setAutoDefault(false);
        eButton[static_cast<size_t>(i)] = b;
    }
    eButton[1]->setDefault(true); // Enter goes on
    connect(eButton[0], &QPushButton::clicked, this, &SetupWizard::goBack);
    connect(eButton[1], &QPushButton::clicked, this, &SetupWizard::goNext);
    connect(eButton[2], &QPushButton::clicked, this, &SetupWizard::reject);
}

void SetupWizard::showPage(int index) {
    at_ = index;
    stack_->setCurrentIndex(index);
    if (CurrentPage() == WizardPage::Folder) updateFolder();
    updateButtons();
    if (QWidget* first = stack_->currentWidget()->nextInFocusChain();
        first && stack_->currentWidget()->isAncestorOf(first))
        first->setFocus();
    else
        eButton[1]->setFocus();
}

void SetupWizard::ShowPage(WizardPage page) {
    CompletePages();
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i] == page) showPage(static_cast<int>(i));
}

void SetupWizard::updateButtons() {
    const WizardPage page = CurrentPage();
    const bool finished = page == WizardPage::Finish;
    eButton[0]->setEnabled(at_ > 0 && page != WizardPage::Installing && !finished);
    eButton[0]->setVisible(!finished);
    eButton[2]->setVisible(!finished);
    eButton[2]->setEnabled(!installing_ || !eForAll->isChecked());
    bool next = page != WizardPage::Installing;
    if (page == WizardPage::Licence) next = eAccept->isChecked();
    if (page == WizardPage::Folder) next = plan_.has_value();
    eButton[1]->setEnabled(next);
    eButton[1]->setText(page == WizardPage::Folder ? tr("&Install")
                        : finished                 ? tr("&Finish")
                                                   : tr("&Next >"));
}

void SetupWizard::goBack() {
    if (at_ > 0 && CurrentPage() != WizardPage::Installing) showPage(at_ - 1);
}

void SetupWizard::goNext() {
    CompletePages();
    if (!eButton[1]->isEnabled()) return;
    switch (CurrentPage()) {
    case WizardPage::Folder:
        install();
        break;
    case WizardPage::Finish:
        finish();
        break;
    case WizardPage::Installing:
        break;
    default:
        showPage(at_ + 1);
    }
}

// The plan for the folder shown, with the space it needs and the space
// free; a folder that cannot be used is said here, before installing.
void SetupWizard::updateFolder() {
    plan_.reset();
    eSpace->clear();
    eFolderProblem->clear();
    const bool all = eForAll->isChecked();
    try {
        const std::string folder = WizardInstall::ChosenFolder(LineToBytes(eFolder->text()));
        const std::string existing = ExistingPart(folder);
        if (!all && ::access(existing.c_str(), W_OK) != 0)
            throw InvalidRequest("you cannot write to " + existing +
                                     (eForAll->isEnabled() ? "; choose another folder or install "
                                                             "for all users"
                                                           : "; choose another folder"),
                                 "");
        plan_ = setup_.Plan(folder, qkScriptSetupA1->GetScriptValues(), all);
        const QStorageInfo storage(QString::fromStdString(existing));
        eSpace->setText(tr("Space needed: %1\nSpace free: %2")
                            .arg(SizeText(plan_->Bytes),
                                 SizeText(static_cast<uint64_t>(storage.bytesAvailable()))));
        if (storage.bytesAvailable() >= 0 &&
            plan_->Bytes > static_cast<uint64_t>(storage.bytesAvailable()))
            eFolderProblem->setText(tr("There is not enough free space in this folder."));
    } catch (const KaveloError& e) {
        eFolderProblem->setText(BytesToLine(ShownError(e)));
    }
    if (CurrentPage() == WizardPage::Folder) updateButtons();
}

void SetupWizard::browseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, tr("Installation folder"), eFolder->text());
    if (!chosen.isEmpty()) eFolder->setText(chosen);
}

void SetupWizard::install() {
    if (!plan_) return;
    installing_ = true;
    cancelRequested_ = false;
    showPage(at_ + 1);
    if (eForAll->isChecked()) return installForAllUsers();
    PageProgress progress(qkProgressA1, eFile, cancelRequested_);
    try {
        const InstallResult result =
            setup_.Install(*plan_, qkScriptSetupA1->GetScriptValues(), progress);
        installing_ = false;
        switch (result.Outcome) {
        case InstallOutcome::Installed:
            installed_ = plan_->Folders.Install;
            return showOutcome(QString(), 0);
        case InstallOutcome::Cancelled:
            return showOutcome(tr("The installation was cancelled; everything it had done was "
                                  "undone. Nothing was changed."),
                               4);
        case InstallOutcome::FailedUndone:
            return showOutcome(tr("The installation failed:\n%1\n\nEverything it had done was "
                                  "undone. Nothing was changed.")
                                   .arg(FailureText(result)),
                               1);
        case InstallOutcome::UndoIncomplete:
            return showOutcome(
                tr("The installation failed:\n%1\n\nNot all of it could be undone: "
                   "%2\nThe next start of this setup tries again.")
                    .arg(FailureText(result),
                         BytesToLine(result.Problems.empty() ? std::string()
                                                             : result.Problems.front())),
                5);
        }
    } catch (const KaveloError& e) {
        installing_ = false;
        showOutcome(tr("The installation could not start:\n%1\n\nNothing was changed.")
                        .arg(BytesToLine(ShownError(e))),
                    1);
    }
}

// "For all users": the setup itself runs unattended as root through pkexec
// with the same folder and components; its steps move the bar here.
void SetupWizard::installForAllUsers() {
    AllUsersInstall run(elevator_, QString::fromStdString(args_.Setup));
    const std::string selection = qkScriptSetupA1->GetScriptValues();
    const AllUsersOutcome outcome = run.Run(
        QString::fromStdString(plan_->Folders.Install), selection, plan_->Steps.size(),
        [this](double fraction, const QString& line) {
            qkProgressA1->ValueSet(static_cast<float>(fraction));
            eFile->setText(QFontMetrics(eFile->font())
                               .elidedText(line.trimmed(), Qt::ElideMiddle, eFile->width()));
        });
    installing_ = false;
    if (outcome.Status == 0) installed_ = plan_->Folders.Install;
    showOutcome(outcome.Status == 0 ? QString() : outcome.Text, outcome.Status);
}

// The finish page: the setup's finish text and launch box after an
// installation, or what went wrong and what was left as it was.
void SetupWizard::showOutcome(const QString& text, int status) {
    status_ = status;
    writeLog(status == 0 ? QStringLiteral("Installed into %1")
                               .arg(QString::fromStdString(plan_->Folders.Install))
                         : text);
    if (!text.isEmpty()) {
        eFinish->setText(text);
        eFinish->setAccessibleName(QStringLiteral("Outcome"));
    }
    const bool launch = status == 0 && !args_.NoLaunch && setup_.CanLaunch(*plan_);
    eLaunch->setVisible(launch);
    eLaunch->setChecked(launch);
    showPage(at_ + 1);
}

// Finish: starts the installed program when its box is ticked (never as
// root: CanLaunch refuses), then ends.
void SetupWizard::finish() {
    if (eLaunch->isVisible() && eLaunch->isChecked() && plan_) {
        QStringList arguments;
        for (const std::string& a : plan_->LaunchArguments)
            arguments << QString::fromStdString(a);
        const std::string& program = plan_->LaunchProgram;
        // Detached, with nothing of the wizard's: the runtime reads the
        // wizard's standard error until it ends.
        QProcess launch;
        launch.setProgram(QString::fromStdString(program));
        launch.setArguments(arguments);
        launch.setWorkingDirectory(QString::fromStdString(program.substr(0, program.rfind('/'))));
        launch.setStandardInputFile(QProcess::nullDevice());
        launch.setStandardOutputFile(QProcess::nullDevice());
        launch.setStandardErrorFile(QProcess::nullDevice());
        launch.startDetached();
    }
    done(status_);
}

// --log: what the wizard did, appended to the file the runtime was given.
void SetupWizard::writeLog(const QString& line) {
    if (args_.Log.empty()) return;
    QFile log(QString::fromStdString(args_.Log));
    if (!log.open(QIODevice::Append | QIODevice::Text)) return;
    log.write((QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + u' ' +
               QString::fromStdString(args_.Setup) + u'\n' + line + u'\n')
                  .toUtf8());
}

void SetupWizard::SetQuestionAnswer(std::function<bool(const QString&)> answer) {
    answer_ = std::move(answer);
}

bool SetupWizard::ask(const QString& question) {
    if (answer_) return answer_(question);
    return QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void SetupWizard::reject() {
    if (CurrentPage() == WizardPage::Finish) return finish();
    if (!eButton[2]->isEnabled() || cancelRequested_) return;
    if (installing_) {
        if (ask(tr("Stop the installation? Everything it has done so far will be undone.")))
            cancelRequested_ = true;
        return;
    }
    if (ask(tr("Quit the setup? Nothing has been installed."))) {
        status_ = 4;
        QDialog::done(4);
    }
}
