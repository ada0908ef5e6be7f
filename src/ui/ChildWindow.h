// What the editor's child windows share: a client area of a given size in
// device-independent pixels inside a QMdiSubWindow, and controls placed on it
// at given positions with "$" captions that ResolveCaptions fills.
#pragma once

#include <QRect>
#include <QString>

class QMdiSubWindow;
class QWidget;

// Creates window's client area of size (width x height). A fixed window keeps
// that size and offers no minimise or maximise box; the others can be resized
// and start at that size.
QWidget* MakeClientArea(QMdiSubWindow* window, int width, int height, bool fixed);

// Places control at position (left, top, width x height) of its parent.
template <typename Control>
Control* Place(Control* control, int left, int top, int width, int height) {
    control->setGeometry(QRect(left, top, width, height));
    return control;
}

// "$" followed by the string number: the caption ResolveCaptions replaces.
QString CaptionRef(int id);
