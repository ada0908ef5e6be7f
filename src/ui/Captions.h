// Captions from the string table: resolving a window's "$" + number captions
// when it loads, and showing our captions with Qt's mnemonic rules.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QObject;
class QWidget;

// In our captions "&" before a character marks the access key and an "&"
// followed by a blank (or ending the text) is shown as itself: "&General &
// Interface" reads "General & Interface" with G as access key. Qt writes a
// literal "&" as "&&"; widgets that do not interpret "&" get the plain text.

// String id of the string table as a one-line QString (GetResString without
// line-break expansion), still in our caption form.
QString ResText(int32_t id);

// Our caption in Qt's form for widgets that interpret "&" (buttons, check
// boxes, group boxes, menus, actions, labels with a buddy).
QString CaptionToMnemonic(const QString& caption);

// Our caption as it reads: access-key marks removed, "& " kept. For window
// titles, labels without a buddy and accessible names.
QString CaptionToPlain(const QString& caption);

// The string number a "$" caption refers to: the leading digits after "$"
// (none gives 0). Empty when the caption does not start with "$" or the
// number does not fit 32 bits (such a caption stays as it is).
std::optional<int32_t> CaptionReference(const QString& caption);

// The text control holds as its caption, in the widget's own form (Qt's for
// buttons and menus); empty when the control has no caption (line edits,
// list boxes, layouts...).
std::optional<QString> ReadCaption(const QObject* control);

// Shows caption (our form) on control in the form that control interprets and
// gives a widget the plain text as accessible name. False, changing nothing,
// for a control without a caption.
bool ApplyCaption(QObject* control, const QString& caption);

// Run by a window while it loads: every control of form (widgets, menus and
// their actions, depth first in creation order), then form's own title,
// whose caption is "$" + number gets that string; other captions stay. Every
// captioned widget gets its accessible name. With iconId not -1 the window
// icon becomes that icon (a missing icon leaves it as it was).
void ResolveCaptions(QWidget* form, int32_t iconId);
