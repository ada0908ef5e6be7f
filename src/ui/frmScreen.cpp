// The startup and finish text window: two text boxes on top of each other in
// the button colours of the setup's pages, switched by two buttons.
#include "ui/frmScreen.h"

#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/ProjectEvents.h"
#include "ui/SetupLineFields.h"
#include "ui/SidePicture.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

constexpr int kIconId = 10;

} // namespace

frmScreen::frmScreen(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::ScreenOpen, QSize(474, 335), Frame::Fixed, kIconId, parent) {
    setObjectName(QStringLiteral("frmScreen"));
    setWindowTitle(CaptionRef(400));
    buildControls(Client());
    load();
    connect(eButton[0], &QPushButton::clicked, this, [this] { showPage(0); });
    connect(eButton[1], &QPushButton::clicked, this, [this] { showPage(1); });
    connect(eButton[2], &QPushButton::clicked, this, &QMdiSubWindow::close);
    connect(&events, &ProjectEvents::PictureChanged, this, &frmScreen::updatePicture);
    connect(&events, &ProjectEvents::LaunchTextChanged, this, &frmScreen::updateLaunchCaption);
}

frmScreen::~frmScreen() {
    Unload();
}

void frmScreen::buildControls(QWidget* client) {
    ePic = Place(new SidePicture(client), 6, 6, 132, 324);
    ePic->setAccessibleName(CaptionToPlain(ResText(330)).remove(QStringLiteral("<- ")));
    // The finish text is shorter: the check box sits below it, as on the
    // setup's last page.
    const int heights[] = {289, 177};
    const int names[] = {401, 402};
    for (int i = 0; i < 2; ++i) {
        eText[i] = Place(new QPlainTextEdit(client), 144, 8, 321, heights[i]);
        eText[i]->setTabChangesFocus(true);
        eText[i]->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        eText[i]->setAccessibleName(CaptionToPlain(ResText(names[i])));
    }
    eText[1]->hide();
    eCheck = Place(new QCheckBox(CaptionRef(410), client), 144, 192, 321, 17);
    eCheck->hide();
    const int lefts[] = {144, 232, 384};
    for (int i = 0; i < 3; ++i)
        eButton[i] = Place(new QPushButton(CaptionRef(401 + i), client), lefts[i], 304, 81, 25);
    updateTextColours();
    QWidget::setTabOrder(eText[0], eText[1]);
    QWidget::setTabOrder(eText[1], eCheck);
    QWidget::setTabOrder(eCheck, eButton[0]);
    QWidget::setTabOrder(eButton[0], eButton[1]);
    QWidget::setTabOrder(eButton[1], eButton[2]);
}

void frmScreen::load() {
    const SetupProject& project = module()->Project;
    ResolveCaptions(this, -1);
    updatePicture();
    const auto& lines = project.SetupLines;
    eText[0]->setPlainText(SetupLineToText(lines[LineStartText]));
    eText[1]->setPlainText(SetupLineToText(lines[LineFinishText]));
    updateLaunchCaption();
}

void frmScreen::storeFields() {
    auto& lines = module()->Project.SetupLines;
    StoreTextInLine(lines[LineStartText], eText[0]->toPlainText());
    StoreTextInLine(lines[LineFinishText], eText[1]->toPlainText());
}

// The text boxes imitate the setup's page: button face and button text,
// taken again whenever the palette changes (a dark theme switched on).
void frmScreen::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) updateTextColours();
    EditorWindow::changeEvent(event);
}

void frmScreen::updateTextColours() {
    for (QPlainTextEdit* text : eText) {
        if (!text) continue;
        QPalette colours = palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            colours.setColor(group, QPalette::Base, palette().color(group, QPalette::Button));
            colours.setColor(group, QPalette::Text, palette().color(group, QPalette::ButtonText));
        }
        text->setPalette(colours);
    }
}

void frmScreen::showPage(int page) {
    eText[page]->show();
    eText[1 - page]->hide();
    eCheck->setVisible(page == 1);
}

void frmScreen::updatePicture() {
    ePic->ShowPicture(module()->Project.Picture);
}

void frmScreen::updateLaunchCaption() {
    const std::string& launch = module()->Project.SetupLines[LineLaunchText];
    ApplyCaption(eCheck, launch.empty() ? ResText(410) : SetupLineToField(launch));
}
