// The general information window: its controls at their designed places,
// loading from and unloading into the project, the picture buttons and the
// licence list.
#include "ui/frmGen.h"

#include "package/PackageReader.h"
#include "project/FileIntake.h"
#include "project/Session.h"
#include "res/BuiltInFiles.h"
#include "res/StringTable.h"
#include "common/Errors.h"
#include "ui/Captions.h"
#include "ui/ChildWindow.h"
#include "ui/FileDialogs.h"
#include "ui/FrameBox.h"
#include "ui/IconPicture.h"
#include "ui/Icons.h"
#include "ui/ProjectEvents.h"
#include "ui/SetupLineFields.h"
#include "ui/SidePicture.h"
#include "ui/TextConvert.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace {

constexpr int kIconId = 10;

bool IsLicenceName(const std::string& name) {
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".txt") == 0;
}

QPushButton* Button(QWidget* parent, int id, int left, int top, int width, int height) {
    return Place(new QPushButton(CaptionRef(id), parent), left, top, width, height);
}

} // namespace

frmGen::frmGen(ProjectEvents& events, QWidget* parent)
    : EditorWindow(events, &RunState::GenOpen, QSize(474, 335), Frame::Fixed, -1, parent) {
    setObjectName(QStringLiteral("frmGen"));
    setWindowTitle(CaptionRef(300));
    buildControls(Client());
    orderTabs();
    load();
    connect(eButton[0], &QPushButton::clicked, this, &QMdiSubWindow::close);
    connect(eButton[3], &QPushButton::clicked, this, &frmGen::clearPicture);
    connect(eButton[4], &QPushButton::clicked, this, &frmGen::openPicture);
    connect(eText[3], &QLineEdit::textChanged, this, &frmGen::storeLaunchText);
    connect(&events, &ProjectEvents::LicenceListChanged, this, &frmGen::UpdateLicenses);
    connect(&events, &ProjectEvents::PictureChanged, this, &frmGen::updatePicture);
}

frmGen::~frmGen() {
    Unload();
}

void frmGen::buildControls(QWidget* client) {
    ePic = Place(new SidePicture(client), 6, 6, 132, 324);
    ePic->setAccessibleName(CaptionToPlain(ResText(330)).remove(QStringLiteral("<- ")));
    const int labelTops[] = {8, 96, 176, 216, 264};
    const int labelIds[] = {310, 330, 350, 360, 370};
    for (int i = 0; i < 5; ++i)
        eLabel[i] = Place(new QLabel(CaptionRef(labelIds[i]), client), 144, labelTops[i],
                          i == 1 ? 145 : 321, 17);
    const int textTops[] = {24, 192, 232, 280};
    const int textLabels[] = {0, 2, 3, 4};
    for (int i = 0; i < 4; ++i) {
        eText[i] = Place(new QLineEdit(client), 144, textTops[i], 321, 19);
        // A line box cuts its text at 32,767 characters by default; a longer
        // setup line read from a setup would come back cut off.
        eText[i]->setMaxLength(std::numeric_limits<int>::max());
        eLabel[textLabels[i]]->setBuddy(eText[i]);
    }

    // The project has no window icon: the frame is shown disabled, with the
    // icon every setup carries previewed in its own colours above it.
    eFrame[0] = Place(new FrameBox(CaptionRef(320), client), 144, 48, 321, 41);
    eFrame[0]->setEnabled(false);
    eImage = Place(new IconPicture(client, 16), 144 + 8, 48 + 16, 16, 16);
    eImage->setAccessibleName(CaptionToPlain(ResText(320)));
    eButton[1] = Button(eFrame[0], 321, 144, 16, 81, 17);
    eButton[2] = Button(eFrame[0], 322, 232, 16, 81, 17);

    eButton[3] = Button(client, 331, 288, 96, 81, 17);
    eButton[4] = Button(client, 332, 376, 96, 81, 17);
    eFrame[1] = Place(new FrameBox(CaptionRef(340), client), 144, 120, 321, 41);
    eCombo = Place(new QComboBox(client), 152, 136, 305, 21);
    eCombo->setEditable(false);
    eCombo->setAccessibleName(CaptionToPlain(ResText(340)));
    lLabel = Place(new QLabel(CaptionRef(380), client), 144, 308, 81, 17);
    eCompression = Place(new QComboBox(client), 232, 306, 145, 21);
    eCompression->setEditable(false);
    lLabel->setBuddy(eCompression);
    eButton[0] = Button(client, 301, 384, 304, 81, 25);
    eButton[0]->setDefault(true);
    for (int i = 3; i <= 4; ++i)
        eButton[i]->setAccessibleDescription(ePic->accessibleName());
}

// eText(0), the picture buttons, the other three text boxes, Close, then the
// icon frame's buttons (disabled, so passed over) and the licence list last.
void frmGen::orderTabs() {
    QWidget* const order[] = {eText[0],   eButton[3], eButton[4], eText[1], eText[2],    eText[3],
                              eButton[0], eButton[1], eButton[2], eCombo,   eCompression};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmGen::load() {
    const SetupProject& project = module()->Project;
    ResolveCaptions(this, -1);
    const int textLabels[] = {0, 2, 3, 4};
    for (int i = 0; i < 4; ++i)
        eText[i]->setAccessibleName(eLabel[textLabels[i]]->accessibleName());
    UpdateLicenses();
    const auto& lines = project.SetupLines;
    eText[0]->setText(SetupLineToField(lines[LineCaption]));
    eText[1]->setText(SetupLineToField(lines[LineInstallFolder]));
    eText[2]->setText(SetupLineToField(lines[LineStartMenuFolder]));
    eText[3]->setText(SetupLineToField(lines[LineLaunchText]));
    eCompression->clear();
    eCompression->addItem(CaptionToPlain(ResText(381)), int(EntryCodec::Huffman));
    eCompression->addItem(CaptionToPlain(ResText(382)), int(EntryCodec::Zstd));
    eCompression->setCurrentIndex(eCompression->findData(int(project.Codec)));
    eCompression->setAccessibleName(CaptionToPlain(ResText(380)));
    const QIcon icon = LoadIcon(kIconId);
    if (!icon.isNull()) {
        eImage->SetIcon(icon);
        setWindowIcon(icon);
    }
    updatePicture();
}

void frmGen::storeFields() {
    auto& lines = module()->Project.SetupLines;
    StoreFieldInLine(lines[LineCaption], eText[0]->text());
    lines[LineLicense] =
        eCombo->currentIndex() > 0 ? eCombo->currentData().toByteArray().toStdString() : "";
    StoreFieldInLine(lines[LineInstallFolder], eText[1]->text());
    StoreFieldInLine(lines[LineStartMenuFolder], eText[2]->text());
    StoreFieldInLine(lines[LineLaunchText], eText[3]->text());
    module()->Project.ChangeCodec(static_cast<EntryCodec>(eCompression->currentData().toInt()));
}

void frmGen::UpdateLicenses() {
    const SetupProject& project = module()->Project;
    // A refresh keeps the user's choice, which is stored only on unload.
    std::string wanted = project.SetupLines[LineLicense];
    if (eCombo->count() > 0)
        wanted = eCombo->currentIndex() > 0 ? eCombo->currentData().toByteArray().toStdString()
                                            : std::string();
    eCombo->clear();
    eCombo->addItem(CaptionToPlain(ResText(341)));
    eCombo->setCurrentIndex(0);
    for (const ProjectFile& file : project.Files) {
        if (!IsLicenceName(file.Name)) continue;
        eCombo->addItem(BytesToLine(file.Name), QByteArray::fromStdString(file.Name));
        if (!wanted.empty() && file.Name == wanted) eCombo->setCurrentIndex(eCombo->count() - 1);
    }
}

void frmGen::storeLaunchText() {
    StoreFieldInLine(module()->Project.SetupLines[LineLaunchText], eText[3]->text());
    emit events()->LaunchTextChanged();
}

// Back to the template picture and its packed record.
void frmGen::clearPicture() {
    SetupProject& project = module()->Project;
    try {
        EntryRecord record = DecodeEntryRecord(LoadResFile("picture.bmp", "FILE"));
        std::string picture = ExtractEntry(record);
        project.Picture = std::move(picture);
        project.PicturePacked = std::move(record);
    } catch (const KaveloError&) {
        return; // a template that cannot be read leaves the picture as it is
    }
    emit events()->PictureChanged();
}

void frmGen::openPicture() {
    const std::string filter = GetResString(336, false) + '\0' + "*.bmp";
    const std::string path = ShowFileDialog(events()->GetDialogs(), this, filter, kFileDialogOpen,
                                            GetResString(335, false));
    if (path.empty()) return;
    std::string data = LoadPictureFile(path, false, true);
    if (data.empty()) return;
    SetupProject& project = module()->Project;
    project.Picture = std::move(data);
    project.PicturePacked.reset(); // the next save packs it again
    emit events()->PictureChanged();
}

void frmGen::updatePicture() {
    ePic->ShowPicture(module()->Project.Picture);
}
