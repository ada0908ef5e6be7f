// The editor windows' world in a test: an MDI area, the one Module1 with a
// new project from the template, its ProjectEvents, and a host that tells the
// windows the debugger text changed, as the program's host does; windows
// opened in it as the main window opens them, dialogs that answer at once,
// and a one-colour 24-bit bitmap for the picture buttons.
#pragma once

#include "TypeText.h"

#include "AnsweringDialogs.h"
#include "TestHost.h"
#include "project/Session.h"
#include "ui/ProjectEvents.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <cstdint>
#include <string>

class EventHost : public RecordingHost {
  public:
    void DebugTextChanged(const std::string&) override {
        if (events) emit events->DebugTextChanged();
    }
    ProjectEvents* events = nullptr;
};

struct WindowFixture {
    // A new project from the template, with its sample program or without.
    explicit WindowFixture(bool withSample = true) {
        host.events = &events;
        events.SetDialogs(dialogs);
        module.NewProject(withSample);
        area.resize(1100, 800);
        area.show();
    }
    // The windows unload into the project, so they go first.
    ~WindowFixture() { qDeleteAll(area.subWindowList()); }

    // Loads window W into the area and shows it, as the main window's
    // commands do.
    template <class W> W* Open() {
        auto* window = new W(events);
        area.addSubWindow(window);
        window->show();
        QApplication::processEvents();
        return window;
    }

    // Closes window as its close box does and lets it be deleted.
    static void Close(QMdiSubWindow* window) {
        window->close();
        FinishClosing();
    }

    // Windows close by deleting themselves once control returns to the
    // event loop, as they do in the program.
    static void FinishClosing() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    AnsweringDialogs dialogs;
    EventHost host;
    Module1 module{host};
    ProjectEvents events{module};
    QMdiArea area;
};

// A bottom-up 24-bit .bmp file of one colour (0xRRGGBB).
inline std::string SolidBitmap(int32_t width, int32_t height, uint32_t rgb) {
    const auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k)
            out += static_cast<char>(value >> (8 * k) & 0xFF);
    };
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t pixels = stride * static_cast<uint32_t>(height);
    std::string bmp = "BM";
    le(bmp, 54 + pixels, 4);
    le(bmp, 0, 4);
    le(bmp, 54, 4);
    le(bmp, 40, 4);
    le(bmp, static_cast<uint32_t>(width), 4);
    le(bmp, static_cast<uint32_t>(height), 4);
    le(bmp, 1, 2);
    le(bmp, 24, 2);
    bmp.append(24, '\0');
    std::string row;
    for (int32_t x = 0; x < width; ++x)
        le(row, rgb, 3);
    row.resize(stride, '\0');
    for (int32_t y = 0; y < height; ++y)
        bmp += row;
    return bmp;
}
