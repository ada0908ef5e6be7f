// The About window: texts from the string table, the program icon and the
// rule, laid out in one column of fixed size.
#include "ui/FORM_Info.h"

#include "ui/Captions.h"
#include "ui/Icons.h"
#include "res/ProgramVersion.h"
#include "ui/TextConvert.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The window is as wide as the rule plus its margins.
constexpr int kRuleWidth = 334;

QLabel* NoticeLabel(QWidget* parent, int32_t id) {
    QString text = ResText(id);
    text.replace(u'|', u'\n');
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFixedWidth(kRuleWidth);
    label->setAccessibleName(text);
    return label;
}

} // namespace

FORM_Info::FORM_Info(QWidget* owner, OpenHook onOpenChanged)
    : QDialog(owner), onOpenChanged_(std::move(onOpenChanged)) {
    setObjectName(QStringLiteral("FORM_Info"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    if (onOpenChanged_) onOpenChanged_(true);
    setWindowTitle(CaptionToPlain(ResText(100)));
    setWindowIcon(LoadIcon(100));

    lLabel[0] = new QLabel(BytesToLine(VersionLine()), this);
    lLabel[0]->setTextFormat(Qt::PlainText);
    lLabel[0]->setAccessibleName(lLabel[0]->text());
    QFont title = font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    lLabel[0]->setFont(title);

    ePic[0] = new QLabel(this);
    ePic[0]->setPixmap(LoadIcon(100).pixmap(QSize(32, 32), devicePixelRatioF()));
    ePic[0]->setFixedSize(32, 32);
    ePic[0]->setAccessibleName(ResText(10));
    ePic[1] = new QLabel(this);
    ePic[1]->setPixmap(LoadBitmap(100, devicePixelRatioF()));
    ePic[1]->setFixedSize(kRuleWidth, 5);

    lLabel[1] = NoticeLabel(this, 103);
    lLabel[2] = NoticeLabel(this, 104);
    lLabel[3] = NoticeLabel(this, 105);

    eButton = new QPushButton(CaptionToMnemonic(ResText(106)), this);
    eButton->setAccessibleName(CaptionToPlain(ResText(106)));
    eButton->setDefault(true);
    connect(eButton, &QPushButton::clicked, this, &QWidget::close);
    buildLayout();
}

FORM_Info::~FORM_Info() {
    if (onOpenChanged_) onOpenChanged_(false);
}

void FORM_Info::buildLayout() {
    auto* head = new QHBoxLayout;
    head->setSpacing(12);
    head->addWidget(ePic[0]);
    head->addWidget(lLabel[0], 1);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(eButton);

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->setContentsMargins(16, 16, 16, 12);
    column->setSpacing(6);
    column->addLayout(head);
    column->addSpacing(6);
    column->addWidget(ePic[1]);
    column->addSpacing(6);
    for (int i = 1; i <= 3; ++i)
        column->addWidget(lLabel[i]);
    column->addSpacing(8);
    column->addLayout(foot);
}
