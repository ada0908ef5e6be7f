// Typing into a widget key by key, as the editor's tests do.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

// Types text into widget key by key as a keyboard does: a line feed is the
// Return key, an ASCII character its own key, and a character beyond ASCII a
// key event that carries it as its text, as a keyboard layout or compose key
// delivers it.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c == u'\n') {
            QTest::keyClick(widget, Qt::Key_Return);
        } else if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }
}
