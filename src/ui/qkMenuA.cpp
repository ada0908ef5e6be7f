// The menu bar: items, their layout over the control's height, selection by
// mouse and arrow keys, and label colours from the palette.
#include "ui/qkMenuA.h"

#include "ui/Captions.h"
#include "ui/IconPicture.h"
#include "ui/Icons.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>

qkMenuA::qkMenuA(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    items_.push_back(MakeItem(nullptr));
    items_[0].pic->hide();
    items_[0].label->hide();
    LayoutHorizontal();
}

qkMenuA::Item qkMenuA::MakeItem(const Item* copyOf) {
    Item item{new IconPicture(this, pictureSize_), new QLabel(this), 0, 0, 0, 0, 0};
    item.label->setTextFormat(Qt::PlainText);
    item.label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    item.label->setWordWrap(true);
    item.label->setAutoFillBackground(true);
    for (QWidget* element : {static_cast<QWidget*>(item.pic), static_cast<QWidget*>(item.label)}) {
        element->setFocusPolicy(Qt::NoFocus);
        element->installEventFilter(this);
    }
    if (copyOf) {
        item.picLeft = copyOf->picLeft;
        item.labelLeft = copyOf->labelLeft;
        item.labelWidth = copyOf->labelWidth;
        item.pic->SetIcon(copyOf->pic->Icon());
        item.pic->setToolTip(copyOf->pic->toolTip());
        item.pic->setAccessibleName(copyOf->pic->accessibleName());
        item.label->setText(copyOf->label->text());
        item.label->setToolTip(copyOf->label->toolTip());
    }
    return item;
}

void qkMenuA::ItemCount(int32_t Count) {
    Count = std::max(Count, 0);
    SetTop(items_[0], itemMargin_);
    items_[0].pic->setVisible(Count != 0);
    items_[0].label->setVisible(Count != 0);
    selected_ = 0;
    PaintItem(0, true);
    // A second call keeps the first items and removes those beyond Count.
    const size_t wanted = static_cast<size_t>(std::max(Count, 1));
    while (items_.size() > wanted) {
        delete items_.back().pic;
        delete items_.back().label;
        items_.pop_back();
    }
    for (int32_t i = 1; i < Count; ++i) {
        if (static_cast<size_t>(i) == items_.size()) items_.push_back(MakeItem(&items_[0]));
        Item& item = items_[static_cast<size_t>(i)];
        SetTop(item, itemMargin_ + i * (itemMargin_ + textHeight_ + pictureSize_));
        PaintItem(i, false);
        item.pic->show();
        item.label->show();
    }
    count_ = Count;
    if (selected_ >= Count) selected_ = Count - 1;
    updateGeometry();
}

void qkMenuA::SetItem(int32_t Index, const QString& Caption, int32_t PictureResID,
                      const QString& ToolTipText) {
    if (Index < 0 || Index >= count_) return;
    Item& item = items_[static_cast<size_t>(Index)];
    const QString plain = CaptionToPlain(Caption);
    item.label->setText(plain);
    item.pic->setAccessibleName(plain);
    const QIcon icon = LoadIcon(PictureResID);
    if (!icon.isNull()) item.pic->SetIcon(icon);
    item.pic->setToolTip(ToolTipText);
    item.label->setToolTip(ToolTipText);
    PlaceItem(item);
}

void qkMenuA::TextHeight(int32_t Height) {
    if (Height == textHeight_) return;
    textHeight_ = Height;
    LayoutHorizontal();
    updateGeometry();
}

QRectF qkMenuA::PictureRect(int32_t i) const {
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) return {};
    const Item& item = items_[static_cast<size_t>(i)];
    return {item.picLeft, static_cast<double>(item.picTop), static_cast<double>(pictureSize_),
            static_cast<double>(pictureSize_)};
}

QRectF qkMenuA::LabelRect(int32_t i) const {
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) return {};
    const Item& item = items_[static_cast<size_t>(i)];
    return QRectF(item.labelLeft, item.labelTop, item.labelWidth, item.label->height());
}

IconPicture* qkMenuA::ePic(int32_t i) const {
    return i >= 0 && static_cast<size_t>(i) < items_.size() ? items_[static_cast<size_t>(i)].pic
                                                            : nullptr;
}

QLabel* qkMenuA::eLabel(int32_t i) const {
    return i >= 0 && static_cast<size_t>(i) < items_.size() ? items_[static_cast<size_t>(i)].label
                                                            : nullptr;
}

QSize qkMenuA::sizeHint() const {
    const int block = textHeight_ + pictureSize_;
    return {100, std::max(1, count_) * (block + itemMargin_) + itemMargin_};
}

void qkMenuA::SetTop(Item& item, int picTop) {
    item.picTop = picTop;
    item.labelTop = picTop + pictureSize_;
    PlaceItem(item);
}

void qkMenuA::PlaceItem(Item& item) {
    item.pic->setGeometry(qRound(item.picLeft), item.picTop, pictureSize_, pictureSize_);
    const int width = std::max(item.labelWidth, 0);
    // The label grows by whole lines of the control's font as its text wraps.
    const int height = item.label->text().isEmpty()
                           ? fontMetrics().lineSpacing()
                           : item.label->heightForWidth(std::max(width, 1));
    item.label->setGeometry(item.labelLeft, item.labelTop, width, height);
}

// The selection moves first, so the colours and SelectedIndex are final when
// a nested event runs during the yield; ItemClick follows even for the item
// already selected.
void qkMenuA::SelectItem(int32_t i) {
    if (i != selected_) {
        PaintItem(selected_, false);
        PaintItem(i, true);
        selected_ = i;
    }
    const QPointer<qkMenuA> alive(this);
    QCoreApplication::processEvents();
    if (!alive) return;
    emit ItemClick(i);
}

void qkMenuA::PaintItem(int32_t i, bool selected) {
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) return;
    QPalette::ColorRole text = QPalette::WindowText;
    QPalette::ColorRole back = QPalette::Window;
    if (selected) {
        text = hasFocus_ ? QPalette::HighlightedText : QPalette::ButtonText;
        back = hasFocus_ ? QPalette::Highlight : QPalette::Button;
    }
    QLabel* label = items_[static_cast<size_t>(i)].label;
    QPalette colours = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QPalette::ColorRole shown = back;
        // Where the button face is the window's colour (as in many themes),
        // the selection without focus would not show: a shade between them
        // marks it instead.
        if (back == QPalette::Button &&
            palette().color(group, QPalette::Button) == palette().color(group, QPalette::Window))
            shown = palette().color(group, QPalette::Midlight) !=
                            palette().color(group, QPalette::Window)
                        ? QPalette::Midlight
                        : QPalette::Mid;
        colours.setColor(group, QPalette::WindowText, palette().color(group, text));
        colours.setColor(group, QPalette::Window, palette().color(group, shown));
    }
    label->setPalette(colours);
}

void qkMenuA::LayoutHorizontal() {
    const int W = width();
    const size_t n = count_ == 0 ? 1 : static_cast<size_t>(count_);
    for (size_t i = 0; i < n && i < items_.size(); ++i) {
        items_[i].picLeft = (W - pictureSize_) / 2.0;
        items_[i].labelLeft = 6;
        items_[i].labelWidth = W - 12;
    }
    LayoutItems();
    if (count_ == 0) PlaceItem(items_[0]);
}

// The items spread evenly over the height with half a gap above the first;
// on a control too short for them they are packed at the top, one block
// apart. Integer division truncates toward zero, as the layout wants.
void qkMenuA::LayoutItems() {
    const int n = count_;
    const int H = height();
    const int block = textHeight_ + pictureSize_;
    const int gap = n == 0 ? 0 : (H - n * block) / n;
    const int offset = std::max(gap / 2, 0);
    const int step = std::max(gap + block, block);
    for (int i = 0; i < n; ++i)
        SetTop(items_[static_cast<size_t>(i)], offset + i * step);
}

int32_t qkMenuA::IndexOfElement(const QObject* element) const {
    for (int32_t i = 0; i < count_; ++i) {
        const Item& item = items_[static_cast<size_t>(i)];
        if (element == item.pic || element == item.label) return i;
    }
    return -1;
}

bool qkMenuA::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const int32_t i = IndexOfElement(watched);
        const auto* element = static_cast<QWidget*>(watched);
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // Any button counts; a release after dragging off the element does not.
        if (i >= 0 && element->rect().contains(mouse->position().toPoint())) {
            SelectItem(i);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void qkMenuA::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutHorizontal();
}

void qkMenuA::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    hasFocus_ = true;
    PaintItem(selected_, true);
}

void qkMenuA::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    hasFocus_ = false;
    PaintItem(selected_, true);
}

// Up and Down move one item without wrapping; every other key is left to
// the window (Tab moves on).
void qkMenuA::keyPressEvent(QKeyEvent* event) {
    const bool up = event->key() == Qt::Key_Up;
    if (!up && event->key() != Qt::Key_Down) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int32_t target = selected_ + (up ? -1 : 1);
    if (count_ != 0 && target >= 0 && target < count_) SelectItem(target);
}

void qkMenuA::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        for (size_t i = 0; i < items_.size(); ++i)
            PaintItem(static_cast<int32_t>(i), static_cast<int32_t>(i) == selected_);
    } else if (event->type() == QEvent::FontChange) {
        LayoutHorizontal(); // the labels' heights follow their lines
    }
}
