// The startup and finish text window: two text boxes on top of each other in
// the button colours of the setup's pages, switched by two buttons.
#include "ui/frmScreen.h"

#include "project/Session.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/Icons.h"
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
    : QMdiSubWindow(parent), events_(&events) {
    setObjectName(QStringLiteral("frmScreen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(CaptionRef(400));
    buildControls(MakeClientArea(this, 474, 335, true));
    load();
    connect(eButton[0], &QPushButton::clicked, this, [this] { showPage(0); });
    connect(eButton[1], &QPushButton::clicked, this, [this] { showPage(1); });
    connect(eButton[2], &QPushButton::clicked, this, &QMdiSubWindow::close);
    connect(events_, &ProjectEvents::PictureChanged, this, &frmScreen::updatePicture);
    connect(events_, &ProjectEvents::LaunchTextChanged, this, &frmScreen::updateLaunchCaption);
}

frmScreen::~frmScreen() {
    unload();
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
    Module1& module = events_->Module();
    module.Run.ScreenOpen = true;
    loaded_ = true;
    ResolveCaptions(this, -1);
    const QIcon icon = LoadIcon(kIconId);
    if (!icon.isNull()) setWindowIcon(icon);
    updatePicture();
    const auto& lines = module.Project.SetupLines;
    eText[0]->setPlainText(SetupLineToText(lines[LineStartText]));
    eText[1]->setPlainText(SetupLineToText(lines[LineFinishText]));
    updateLaunchCaption();
}

void frmScreen::unload() {
    if (!loaded_ || !events_) return;
    loaded_ = false;
    Module1& module = events_->Module();
    auto& lines = module.Project.SetupLines;
    StoreTextInLine(lines[LineStartText], eText[0]->toPlainText());
    StoreTextInLine(lines[LineFinishText], eText[1]->toPlainText());
    module.Run.ScreenOpen = false;
}

void frmScreen::closeEvent(QCloseEvent* event) {
    unload();
    QMdiSubWindow::closeEvent(event);
}

// The text boxes imitate the setup's page: button face and button text,
// taken again whenever the palette changes (a dark theme switched on).
void frmScreen::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) updateTextColours();
    QMdiSubWindow::changeEvent(event);
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
    ePic->ShowPicture(events_->Module().Project.Picture);
}

void frmScreen::updateLaunchCaption() {
    const std::string& launch = events_->Module().Project.SetupLines[LineLaunchText];
    ApplyCaption(eCheck, launch.empty() ? ResText(410) : SetupLineToField(launch));
}
