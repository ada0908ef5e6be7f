// The component panel's controls: created and destroyed to match the model's
// controls, shown from its state, placed at its positions.
#include "ui/qkScriptSetupA.h"

#include "ui/TextConvert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

namespace {

// Room kept right of and below the entries, as on their left and top.
constexpr int kPanelMargin = 8;

void ShowBold(QWidget* control, bool bold) {
    if (control->font().bold() == bold) return;
    QFont font = control->font();
    font.setBold(bold);
    control->setFont(font);
}

// Captions are the user's own texts and read literally: an "&" is shown, not
// taken as an access key.
void ShowButtonCaption(QAbstractButton* button, const std::string& caption) {
    const QString plain = BytesToLine(caption);
    QString shown = plain;
    shown.replace(u'&', QStringLiteral("&&"));
    if (button->text() == shown) return;
    button->setText(shown);
    button->setAccessibleName(plain);
}

void ShowItems(QComboBox* combo, const std::vector<std::string>& items) {
    bool same = combo->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == BytesToLine(items[static_cast<size_t>(i)]);
    if (same) return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        texts.append(BytesToLine(item));
    combo->clear();
    combo->addItems(texts);
}

// A wheel turned over a drop-down list that has not got the focus scrolls
// the panel instead of choosing another item (which would run its event).
class WheelToPanel : public QObject {
  public:
    explicit WheelToPanel(QScrollArea* panel) : QObject(panel), panel_(panel) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* combo = qobject_cast<QComboBox*>(watched);
        if (event->type() != QEvent::Wheel || !combo || combo->hasFocus()) return false;
        QCoreApplication::sendEvent(panel_->verticalScrollBar(), event);
        return true;
    }

  private:
    QScrollArea* panel_;
};

} // namespace

qkScriptSetupA::qkScriptSetupA(QWidget* parent)
    : QScrollArea(parent), surface_(new QWidget), wheelToPanel_(new WheelToPanel(this)) {
    setObjectName(QStringLiteral("qkScriptSetupA"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    surface_->setObjectName(QStringLiteral("surface"));
    surface_->setAutoFillBackground(false);
    setWidget(surface_);
}

bool qkScriptSetupA::LoadScript(const std::string& script, std::span<const std::string> strings,
                                int32_t stringCount) {
    const bool any = model_.LoadScript(script, strings, stringCount);
    for (int kind = 0; kind < kKindCount; ++kind)
        matchControlCount(static_cast<ElementKind>(kind));
    showAllStates();
    placeControls();
    orderTabs();
    return any;
}

QWidget* qkScriptSetupA::control(ElementKind kind, int k) const {
    const std::vector<QWidget*>& list = controls_[kind];
    return k >= 1 && k <= static_cast<int>(list.size()) ? list[static_cast<size_t>(k - 1)]
                                                        : nullptr;
}

QLabel* qkScriptSetupA::eLabel(int k) const {
    return static_cast<QLabel*>(control(KindLabel, k));
}
QAbstractButton* qkScriptSetupA::eCheck(int k) const {
    return static_cast<QAbstractButton*>(control(KindCheck, k));
}
QAbstractButton* qkScriptSetupA::eOption(int k) const {
    return static_cast<QAbstractButton*>(control(KindOption, k));
}
QComboBox* qkScriptSetupA::eCombo(int k) const {
    return static_cast<QComboBox*>(control(KindCombo, k));
}

// Controls of a kind are kept in index order from one load to the next; the
// load creates those it lacks and destroys the surplus.
void qkScriptSetupA::matchControlCount(ElementKind kind) {
    std::vector<QWidget*>& list = controls_[kind];
    const auto count = static_cast<size_t>(model_.KindCount(kind));
    while (list.size() < count)
        list.push_back(createControl(kind, static_cast<int>(list.size()) + 1));
    while (list.size() > count) {
        delete list.back();
        list.pop_back();
    }
}

QWidget* qkScriptSetupA::createControl(ElementKind kind, int k) {
    QWidget* created = nullptr;
    if (kind == KindLabel) {
        auto* label = new QLabel(surface_);
        label->setTextFormat(Qt::PlainText);
        created = label;
    } else if (kind == KindCheck) {
        auto* box = new QCheckBox(surface_);
        connect(box, &QAbstractButton::clicked, this, [this, k] {
            model_.ClickCheck(k);
            showAllStates();
        });
        created = box;
    } else if (kind == KindOption) {
        // Options look like option buttons; whether ticking one unticks the
        // others is up to the script's events, so Qt must not do it.
        auto* option = new QRadioButton(surface_);
        option->setAutoExclusive(false);
        connect(option, &QAbstractButton::clicked, this, [this, k] {
            model_.ClickOption(k);
            showAllStates();
        });
        created = option;
    } else {
        auto* combo = new QComboBox(surface_);
        combo->setFocusPolicy(Qt::StrongFocus);
        combo->installEventFilter(wheelToPanel_);
        connect(combo, &QComboBox::activated, this, [this, k](int index) {
            model_.PickItem(k, index + 1);
            showAllStates();
        });
        created = combo;
    }
    static const char* const kArrayNames[kKindCount] = {"eLabel", "eCheck", "eOption", "eCombo"};
    created->setObjectName(QString::fromLatin1(kArrayNames[kind]) + QString::number(k));
    created->show();
    return created;
}

void qkScriptSetupA::showState(ElementKind kind, int k) {
    const PanelControl& shown = model_.Control(kind, k);
    QWidget* widget = control(kind, k);
    if (kind == KindLabel) {
        auto* label = static_cast<QLabel*>(widget);
        const QString text = BytesToLine(shown.Caption);
        if (label->text() != text) {
            label->setText(text);
            label->setAccessibleName(text);
        }
        ShowBold(label, shown.Bold);
    } else if (kind == KindCombo) {
        auto* combo = static_cast<QComboBox*>(widget);
        ShowItems(combo, shown.Items);
        if (combo->currentIndex() != shown.Selected - 1) combo->setCurrentIndex(shown.Selected - 1);
        const QString name = QStringLiteral("(%1)").arg(shown.Id);
        if (combo->accessibleName() != name) combo->setAccessibleName(name);
    } else {
        auto* button = static_cast<QAbstractButton*>(widget);
        ShowButtonCaption(button, shown.Caption);
        ShowBold(button, shown.Bold);
        if (button->isChecked() != shown.Checked) button->setChecked(shown.Checked);
    }
}

void qkScriptSetupA::showAllStates() {
    for (int kind = 0; kind < kKindCount; ++kind)
        for (int k = 1; k <= model_.KindCount(static_cast<ElementKind>(kind)); ++k)
            showState(static_cast<ElementKind>(kind), k);
}

// Entries sit at the model's positions at their natural size; drop-down lists
// reach to 8 pixels short of the visible right edge. The surface grows past
// the visible area when entries lie beyond it, and the panel scrolls.
void qkScriptSetupA::placeControls() {
    const int inner = viewport()->width();
    int right = 0;
    int bottom = 0;
    for (int kind = 0; kind < kKindCount; ++kind) {
        const auto kindOf = static_cast<ElementKind>(kind);
        for (int k = 1; k <= model_.KindCount(kindOf); ++k) {
            const PanelControl& shown = model_.Control(kindOf, k);
            QWidget* widget = control(kindOf, k);
            const QSize hint = widget->sizeHint();
            const int width = kindOf == KindCombo ? model_.ComboWidth(k, inner) : hint.width();
            const QRect place(shown.Left, shown.Top, width, hint.height());
            if (widget->geometry() != place) widget->setGeometry(place);
            if (kindOf != KindCombo) right = std::max(right, shown.Left + width);
            bottom = std::max(bottom, shown.Top + hint.height());
        }
    }
    const QSize size(
        std::min(std::max(inner, right + kPanelMargin), QWIDGETSIZE_MAX),
        std::min(std::max(viewport()->height(), bottom + kPanelMargin), QWIDGETSIZE_MAX));
    if (surface_->size() != size) surface_->resize(size);
}

// Tab goes through the entries in the order of their lines.
void qkScriptSetupA::orderTabs() {
    QWidget* previous = nullptr;
    for (const PanelControl* shown : model_.ControlsInLineOrder()) {
        if (shown->Kind == KindLabel) continue;
        QWidget* widget = control(shown->Kind, shown->Index);
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

QWidget* qkScriptSetupA::LastTabStop() const {
    const std::vector<const PanelControl*> order = model_.ControlsInLineOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if ((*it)->Kind != KindLabel) return control((*it)->Kind, (*it)->Index);
    return nullptr;
}

void qkScriptSetupA::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    placeControls();
}
