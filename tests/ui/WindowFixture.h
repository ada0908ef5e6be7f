// The editor windows' world in a test: an MDI area, the one Module1 with a
// new project from the template, its ProjectEvents, and a host that tells the
// windows the debugger text changed, as the program's host does.
#pragma once

#include "TypeText.h"

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

