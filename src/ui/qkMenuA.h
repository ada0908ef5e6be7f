// qkMenuA: the vertical menu bar docked at the side of the main window, a
// column of items (a 32 x 32 picture above a centred, wrapped label).
#pragma once

#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class IconPicture;
class QLabel;

// One item is selected. A mouse button released on an item, or Up/Down while
// the bar has the focus, selects an item and raises ItemClick with its index,
// also for the item already selected, so choosing it again repeats its
// command. The owner gives the bar its accessible name.
class qkMenuA : public QWidget {
    Q_OBJECT

  public:
    explicit qkMenuA(QWidget* parent = nullptr);

    // Creates Count items (a negative count counts as 0) placed from the top
    // with ItemMargin spacing until the next layout, selects item 0 and sets
    // SelectedIndex to Count - 1 if it lies beyond (-1 for no items). Meant
    // to be called once; a later call keeps the first items and removes
    // those beyond Count.
    void ItemCount(int32_t Count);
    int32_t ItemCount() const { return count_; }

    // Fills item Index (ignored when Index is not an item): the caption (our
    // caption form, access-key marks are not shown), the picture icon
    // PictureResID (an unknown id keeps the previous picture), and the tool
    // tip of picture and label (empty removes it).
    void SetItem(int32_t Index, const QString& Caption, int32_t PictureResID,
                 const QString& ToolTipText = {});

    // Height reserved for a label in the layout; a new value lays out again.
    void TextHeight(int32_t Height);
    int32_t TextHeight() const { return textHeight_; }

    int32_t SelectedIndex() const { return selected_; }
    bool HasFocus() const { return hasFocus_; }

    // Where item i sits on the control in device-independent pixels; the
    // picture keeps its fractional left ((width - 32) / 2). The elements
    // themselves are placed at whole pixels.
    QRectF PictureRect(int32_t i) const;
    QRectF LabelRect(int32_t i) const;

    // The elements of item i (element 0 exists even with no items), or null.
    IconPicture* ePic(int32_t i) const;
    QLabel* eLabel(int32_t i) const;

    QSize sizeHint() const override;

  signals:
    void ItemClick(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct Item {
        IconPicture* pic;
        QLabel* label;
        double picLeft;
        int picTop;
        int labelLeft;
        int labelTop;
        int labelWidth;
    };

    Item MakeItem(const Item* copyOf);
    void SetTop(Item& item, int picTop);
    void PlaceItem(Item& item);
    void SelectItem(int32_t i);
    void PaintItem(int32_t i, bool selected);
    void LayoutHorizontal();
    void LayoutItems();
    int32_t IndexOfElement(const QObject* element) const;

    std::vector<Item> items_; // element 0 always exists
    int32_t count_ = 0;
    int32_t selected_ = 0;
    bool hasFocus_ = false;
    int32_t itemMargin_ = 16;
    int32_t pictureSize_ = 32;
    int32_t textHeight_ = 16;
};
