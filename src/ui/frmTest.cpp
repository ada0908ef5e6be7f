// The test component window: its controls at their fixed places, the panel
// rebuilt from the project, and Install printing the debugger's report.
#include "ui/frmTest.h"

#include "common/TextLines.h"
#include "project/Session.h"
#include "script/InstallSimulator.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/ProjectEvents.h"
#include "ui/SidePicture.h"
#include "ui/frmDebug.h"
#include "ui/qkScriptSetupA.h"

#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QPushButton>

namespace {

constexpr Qt::WindowFlags kFixedWindow = Qt::SubWindow | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

} // namespace

frmTest::frmTest(ProjectEvents& events, QWidget* parent)
    : QMdiSubWindow(parent, kFixedWindow), events_(events),
      client_(new ClientArea(QSize(474, 335), {})) {
    setObjectName(QStringLiteral("frmTest"));
    setAttribute(Qt::WA_DeleteOnClose);
    Module1& module = events_.Module();
    module.Run.TestOpen = true;
    setWindowTitle(QStringLiteral("$700"));

    ePic = new SidePicture(client_);
    ePic->ShowPicture(module.Project.Picture);
    ePic->setObjectName(QStringLiteral("ePic"));
    ePic->setGeometry(6, 6, 132, 324);
    ePic->setAccessibleName(QStringLiteral("Side picture"));
    eLabel = new QLabel(QStringLiteral("$701"), client_);
    eLabel->setObjectName(QStringLiteral("eLabel"));
    eLabel->setGeometry(144, 8, 321, 17);
    qkScriptSetupA1 = new qkScriptSetupA(client_);
    qkScriptSetupA1->setObjectName(QStringLiteral("qkScriptSetupA1"));
    qkScriptSetupA1->setGeometry(144, 32, 321, 265);
    const int lefts[] = {144, 232, 384};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QStringLiteral("$%1").arg(702 + i), client_);
        button->setObjectName(QStringLiteral("eButton%1").arg(i));
        button->setGeometry(lefts[i], 304, 81, 25);
        eButton[static_cast<size_t>(i)] = button;
    }
    setTabOrder(eButton[0], eButton[1]);
    setTabOrder(eButton[1], eButton[2]);

    connect(eButton[0], &QPushButton::clicked, this, &frmTest::Update);
    connect(eButton[1], &QPushButton::clicked, this, &frmTest::install);
    connect(eButton[2], &QPushButton::clicked, this, &QWidget::close);
    connect(&events_, &ProjectEvents::ScriptChanged, this, &frmTest::Update);
    connect(&events_, &ProjectEvents::PictureChanged, ePic,
            [this] { ePic->ShowPicture(events_.Module().Project.Picture); });

    client_->setFixedSize(474, 335);
    setWidget(client_);
    ResolveCaptions(this, 10);
    qkScriptSetupA1->setAccessibleName(eLabel->text());
    // The window keeps the client size: no resizing, no minimise or maximise.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    Update();
}

frmTest::~frmTest() {
    events_.Module().Run.TestOpen = false;
}

void frmTest::Update() {
    const SetupProject& project = events_.Module().Project;
    SplitLines(testStrings_, project.StringsText, "\r\n");
    qkScriptSetupA1->LoadScript(project.ScriptText, testStrings_, kMaxStrings);
    if (QWidget* last = qkScriptSetupA1->LastTabStop()) setTabOrder(last, eButton[0]);
}

// The debugger comes to the front, opened first if it is not; its report
// replaces the previous one and ends with two empty lines.
void frmTest::install() {
    showDebugger();
    Module1& module = events_.Module();
    module.DebugClear();
    const SetupProject& project = module.Project;
    const InstallSource source{
        project.ScriptText, project.StringsText,
        [&project](const std::string& name) { return project.FindFile(name) >= 0; }};
    module.PrintReport(SimulateInstall(source, qkScriptSetupA1->GetScriptValues()));
    module.DebugPrint("");
    module.DebugPrint("");
}

frmDebug* frmTest::showDebugger() {
    QMdiArea* area = mdiArea();
    if (area && events_.Module().Run.DebugOpen) {
        for (QMdiSubWindow* window : area->subWindowList()) {
            if (auto* debug = qobject_cast<frmDebug*>(window)) {
                if (debug->isMinimized()) debug->showNormal();
                area->setActiveSubWindow(debug);
                return debug;
            }
        }
    }
    auto* debug = new frmDebug(events_);
    if (area) area->addSubWindow(debug);
    debug->show();
    return debug;
}
