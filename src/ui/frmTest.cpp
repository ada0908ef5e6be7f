// The test component window: its controls at their fixed places, the panel
// rebuilt from the project, and Install printing the debugger's report.
#include "ui/frmTest.h"

#include "common/TextLines.h"
#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/ProjectEvents.h"
#include "ui/SidePicture.h"
#include "ui/frmDebug.h"
#include "ui/qkScriptSetupA.h"

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>

frmTest::frmTest(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::TestOpen, QSize(474, 335), Frame::Fixed, -1, parent) {
    setObjectName(QStringLiteral("frmTest"));
    const SetupProject& project = events.Module().Project;
    setWindowTitle(QStringLiteral("$700"));

    ePic = new SidePicture(Client());
    ePic->ShowPicture(project.Picture);
    ePic->setObjectName(QStringLiteral("ePic"));
    ePic->setGeometry(6, 6, 132, 324);
    ePic->setAccessibleName(QStringLiteral("Side picture"));
    eLabel = new QLabel(QStringLiteral("$701"), Client());
    eLabel->setObjectName(QStringLiteral("eLabel"));
    eLabel->setGeometry(144, 8, 321, 17);
    qkScriptSetupA1 = new qkScriptSetupA(Client());
    qkScriptSetupA1->setObjectName(QStringLiteral("qkScriptSetupA1"));
    qkScriptSetupA1->setGeometry(144, 32, 321, 265);
    const int lefts[] = {144, 232, 384};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QStringLiteral("$%1").arg(702 + i), Client());
        button->setObjectName(QStringLiteral("eButton%1").arg(i));
        button->setGeometry(lefts[i], 304, 81, 25);
        eButton[static_cast<size_t>(i)] = button;
    }
    // The paths the debugger shows: where an installation on this machine
    // puts the files, or the examples of the first version of the debugger.
    eCombo = new QComboBox(Client());
    eCombo->setObjectName(QStringLiteral("eCombo"));
    eCombo->setGeometry(316, 304, 65, 25);
    eCombo->addItem(QStringLiteral("User"), static_cast<int>(ReportPathKind::User));
    eCombo->addItem(QStringLiteral("Root"), static_cast<int>(ReportPathKind::Root));
    eCombo->addItem(QStringLiteral("C:\\"), static_cast<int>(ReportPathKind::Windows));
    eCombo->setItemData(0, QStringLiteral("Paths of an installation per user"), Qt::ToolTipRole);
    eCombo->setItemData(1, QStringLiteral("Paths of an installation as root"), Qt::ToolTipRole);
    eCombo->setItemData(2, QStringLiteral("Example Windows paths (C:\\Programmes\\MyDirectory)"),
                        Qt::ToolTipRole);
    eCombo->setToolTip(QStringLiteral("Paths the debugger shows"));
    eCombo->setAccessibleName(eCombo->toolTip());
    setTabOrder(eButton[0], eButton[1]);
    setTabOrder(eButton[1], eCombo);
    setTabOrder(eCombo, eButton[2]);

    connect(eButton[0], &QPushButton::clicked, this, &frmTest::Update);
    connect(eButton[1], &QPushButton::clicked, this, &frmTest::install);
    connect(eButton[2], &QPushButton::clicked, this, &QWidget::close);
    connect(&events, &ProjectEvents::ScriptChanged, this, &frmTest::Update);
    connect(&events, &ProjectEvents::PictureChanged, ePic,
            [this] { ePic->ShowPicture(module()->Project.Picture); });

    ResolveCaptions(this, 10);
    qkScriptSetupA1->setAccessibleName(eLabel->text());
    Update();
}

frmTest::~frmTest() = default;

void frmTest::Update() {
    if (!module()) return;
    const SetupProject& project = module()->Project;
    SplitLines(testStrings_, project.StringsText, "\r\n");
    qkScriptSetupA1->LoadScript(project.ScriptText, testStrings_, kMaxStrings);
    if (QWidget* last = qkScriptSetupA1->LastTabStop()) setTabOrder(last, eButton[0]);
}

// The debugger comes to the front, opened first if it is not; its report
// replaces the previous one and ends with two empty lines.
void frmTest::install() {
    showDebugger();
    Module1& run = *module();
    run.DebugClear();
    const ProjectReport report =
        SimulateProject(run.Project, qkScriptSetupA1->GetScriptValues(), Paths());
    // The problems by line first, as the script editor marks them.
    const std::vector<std::string> problems = ProblemLines(report.Problems);
    std::vector<std::string> lines = problems;
    if (!problems.empty()) lines.emplace_back();
    for (const ReportLine& line : report.Lines)
        lines.push_back(line.Text);
    run.PrintReport(lines);
    run.DebugPrint("");
    run.DebugPrint("");
}

ReportPathKind frmTest::Paths() const {
    return static_cast<ReportPathKind>(eCombo->currentData().toInt());
}

void frmTest::SetPaths(ReportPathKind kind) {
    eCombo->setCurrentIndex(eCombo->findData(static_cast<int>(kind)));
}

frmDebug* frmTest::showDebugger() {
    QMdiArea* area = mdiArea();
    if (auto* debug = qobject_cast<frmDebug*>(FindOpen(area, &RunState::DebugOpen))) {
        if (debug->isMinimized()) debug->showNormal();
        area->setActiveSubWindow(debug);
        return debug;
    }
    auto* debug = new frmDebug(*events());
    if (area) area->addSubWindow(debug);
    debug->show();
    return debug;
}
