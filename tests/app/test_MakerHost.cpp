// The editor's host: the real message box (error icon, title string 30, OK),
// the progress window over a disabled owner with its flag and label, and the
// debugger text passed on.
#include "app/MakerHost.h"

#include "AnsweringDialogs.h"
#include "app/WorkerHost.h"
#include "ui/OffThread.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include "project/Session.h"
#include "ui/ProjectEvents.h"
#include "ui/frmProgress.h"
#include "ui/qkProgressA.h"

namespace {

struct HostRig {
    Module1 module;
    ProjectEvents events{module};
    MakerHost host{events};
    QWidget owner;
    HostRig() {
        module.SetHost(host);
        host.SetOwner(&owner);
        owner.show();
    }
};

TEST(MakerHost, ErrorIsAMessageBoxWithTheErrorIconOverTheOwner) {
    HostRig rig;
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
        int buttons = 0;
    } seen;
    // Answers the box as a person would: reads it and presses OK.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->icon(), box->parentWidget(),
                static_cast<int>(box->buttons().size())};
        box->button(QMessageBox::Ok)->click();
    });
    rig.host.ShowError("Error creating setup file\n/tmp/x.exe\nNo space left on device");
    EXPECT_EQ(seen.title, QStringLiteral("KaveloMaker"));
    EXPECT_EQ(seen.text,
              QStringLiteral("Error creating setup file\n/tmp/x.exe\nNo space left on device"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.parent, &rig.owner);
    EXPECT_EQ(seen.buttons, 1);
}

// The owner stays enabled: whoever runs the save disables what must not be
// touched meanwhile.
TEST(MakerHost, PackingShowsTheProgressWindowOverTheOwner) {
    HostRig rig;
    ProgressSink* bar = rig.host.BeginPacking();
    ASSERT_NE(rig.host.Progress(), nullptr);
    QPointer<frmProgress> window = rig.host.Progress();
    EXPECT_EQ(bar, window->Bar());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(rig.owner.isEnabled());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(rig.module.Run.ProgressOpen);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Packing file(s)..."));
    EXPECT_TRUE(window->LabelText().isEmpty());

    rig.host.PackingLabel("caf\xc3\xa9.txt");
    EXPECT_EQ(window->LabelText(), QStringLiteral("caf\u00e9.txt"));
    bar->ValueSet(0.5f);
    EXPECT_EQ(window->Bar()->Text(), QStringLiteral("50.00%"));

    rig.host.EndPacking();
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(rig.host.Progress(), nullptr);
    EXPECT_TRUE(rig.owner.isEnabled());
    EXPECT_FALSE(rig.module.Run.ProgressOpen);
}

TEST(MakerHost, DebuggerTextReachesTheDebuggerWindowWhileItIsOpen) {
    HostRig rig;
    QSignalSpy spy(&rig.events, &ProjectEvents::DebugTextChanged);
    rig.module.DebugPrint("closed");
    EXPECT_EQ(spy.count(), 0);
    rig.module.Run.DebugOpen = true;
    rig.module.DebugPrint("### Warning: missing file");
    rig.module.DebugClear();
    EXPECT_EQ(spy.count(), 2);
}

// A save on a worker thread reaches the host on the window thread: messages
// and questions wait for their answer; the label and the bar's values are
// queued and shown (the last value) before the work's end is taken; the
// progress window goes with EndPacking.
TEST(WorkerHost, CarriesEveryCallToTheWindowThread) {
    HostRig rig;
    AnsweringDialogs answers;
    answers.questionAnswer = true;
    rig.events.SetDialogs(answers);
    WorkerHost worker(rig.host);
    bool yes = false;
    bool progressOpen = false;
    RunOffThread([&] {
        worker.ShowError("Error creating setup file");
        yes = worker.AskYesNo("Replace it?");
        ProgressSink* bar = worker.BeginPacking();
        progressOpen = rig.module.Run.ProgressOpen; // set before BeginPacking returned
        worker.PackingLabel("big.bin");
        for (int i = 1; i <= 1000; ++i)
            bar->ValueSet(static_cast<float>(i) / 1000);
    });
    EXPECT_EQ(answers.messages, (std::vector<std::string>{"Error creating setup file"}));
    EXPECT_EQ(answers.questions, (std::vector<std::string>{"Replace it?"}));
    EXPECT_TRUE(yes);
    EXPECT_TRUE(progressOpen);
    ASSERT_NE(rig.host.Progress(), nullptr);
    EXPECT_EQ(rig.host.Progress()->LabelText(), QStringLiteral("big.bin"));
    EXPECT_EQ(rig.host.Progress()->Bar()->Text(), QStringLiteral("100.00%"));
    RunOffThread([&] { worker.EndPacking(); });
    EXPECT_EQ(rig.host.Progress(), nullptr);
    EXPECT_FALSE(rig.module.Run.ProgressOpen);
}

} // namespace
