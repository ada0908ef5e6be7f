// Caption resolution: "$" references to string-table texts, our access-key
// convention turned into Qt's, accessible names from captions.
#include "ui/Captions.h"

#include "res/StringTable.h"
#include "ui/Icons.h"
#include "ui/TextConvert.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSet>

#include <limits>

namespace {

bool IsBlankOrEnd(const QString& text, qsizetype i) {
    return i >= text.size() || text[i].isSpace();
}

// What a control's shown text reads as, for its accessible name: Qt's
// access-key marks removed where the widget interprets them.
QString ShownToPlain(const QString& shown, bool mnemonic) {
    if (!mnemonic) return shown;
    QString out;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == u'&' && ++i >= shown.size()) break;
        out += shown[i];
    }
    return out;
}

// Widgets that interpret "&" in their caption.
bool ShowsMnemonic(const QObject* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->buddy() != nullptr;
    return qobject_cast<const QAbstractButton*>(control) ||
           qobject_cast<const QGroupBox*>(control) || qobject_cast<const QMenu*>(control) ||
           qobject_cast<const QAction*>(control);
}

void SetShownText(QObject* control, const QString& shown) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(shown);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(shown);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(shown);
    } else if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->setTitle(shown);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(shown);
    }
}

void ResolveOne(QObject* control) {
    const std::optional<QString> shown = ReadCaption(control);
    if (!shown) return;
    if (const std::optional<int32_t> id = CaptionReference(*shown))
        ApplyCaption(control, ResText(*id));
    else if (auto* widget = qobject_cast<QWidget*>(control); widget && !shown->isEmpty())
        widget->setAccessibleName(ShownToPlain(*shown, ShowsMnemonic(control)));
}

// The controls of form in creation order, depth first, with actions that
// sit in a menu but belong to another parent.
QList<QObject*> ControlsOf(QWidget* form) {
    QList<QObject*> controls;
    QSet<QObject*> seen;
    const auto add = [&](QObject* control) {
        if (!seen.contains(control)) {
            seen.insert(control);
            controls.append(control);
        }
    };
    for (QObject* child : form->findChildren<QObject*>()) {
        add(child);
        if (auto* widget = qobject_cast<QWidget*>(child))
            for (QAction* action : widget->actions())
                add(action);
    }
    return controls;
}

} // namespace

QString ResText(int32_t id) {
    return BytesToLine(GetResString(id, false));
}

QString CaptionToMnemonic(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            out += QStringLiteral("&&");
            ++i;
        } else {
            out += IsBlankOrEnd(caption, i + 1) ? QStringLiteral("&&") : QStringLiteral("&");
        }
    }
    return out;
}

QString CaptionToPlain(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && !IsBlankOrEnd(caption, i + 1)) {
            ++i; // the marked character (or the second "&" of "&&") is shown as is
            if (i >= caption.size()) break;
        }
        out += caption[i];
    }
    return out;
}

std::optional<int32_t> CaptionReference(const QString& caption) {
    if (!caption.startsWith(u'$')) return std::nullopt;
    int64_t value = 0;
    for (qsizetype i = 1; i < caption.size(); ++i) {
        const char16_t c = caption[i].unicode();
        if (c < u'0' || c > u'9') break;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<QString> ReadCaption(const QObject* control) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    if (const auto* menu = qobject_cast<const QMenu*>(control)) return menu->title();
    if (const auto* action = qobject_cast<const QAction*>(control)) return action->text();
    return std::nullopt;
}

bool ApplyCaption(QObject* control, const QString& caption) {
    if (!ReadCaption(control)) return false;
    SetShownText(control,
                 ShowsMnemonic(control) ? CaptionToMnemonic(caption) : CaptionToPlain(caption));
    if (auto* widget = qobject_cast<QWidget*>(control))
        widget->setAccessibleName(CaptionToPlain(caption));
    return true;
}

void ResolveCaptions(QWidget* form, int32_t iconId) {
    if (!form) return;
    for (QObject* control : ControlsOf(form))
        ResolveOne(control);
    if (const std::optional<int32_t> id = CaptionReference(form->windowTitle()))
        form->setWindowTitle(CaptionToPlain(ResText(*id)));
    if (iconId != -1) {
        const QIcon icon = LoadIcon(iconId);
        if (!icon.isNull()) form->setWindowIcon(icon);
    }
}
