// The editor windows' world in a test: an MDI area, the one Module1 with a
// new project from the template, its ProjectEvents, and a host that tells the
// windows the debugger text changed, as the program's host does.
#pragma once

#include "TestHost.h"
#include "project/Session.h"
#include "ui/ProjectEvents.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

class EventHost : public RecordingHost {
  public:
    void DebugTextChanged(const std::string&) override {
        if (events) emit events->DebugTextChanged();
    }
    ProjectEvents* events = nullptr;
};

struct WindowFixture {
    WindowFixture() {
        host.events = &events;
        module.NewProject(true);
        area.resize(1100, 800);
        area.show();
    }

    // Loads window W into the area and shows it, as the main window's
    // commands do.
    template <class W> W* Open() {
        auto* window = new W(events);
        area.addSubWindow(window);
        window->show();
        QApplication::processEvents();
        return window;
    }

    // Windows close by deleting themselves once control returns to the
    // event loop, as they do in the program.
    static void FinishClosing() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    EventHost host;
    Module1 module{host};
    ProjectEvents events{module};
    QMdiArea area;
};

// Types text into a widget key by key as a keyboard does, accented letters
// included; a line feed is the Return key.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const int key = c == u'\n' ? Qt::Key_Return : 0;
        const QString typed = c == u'\n' ? QStringLiteral("\r") : QString(c);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, typed);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, typed);
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}
