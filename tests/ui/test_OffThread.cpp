// Work off the window thread: it runs on another thread, calls it queues to
// the window thread are made before RunOffThread returns, and what it throws
// is thrown again in the caller.
#include "ui/OffThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include "common/Errors.h"

namespace {

TEST(OffThread, RunsElsewhereAndAnswersItsCallsBeforeReturning) {
    QObject windowSide;
    QThread* ranOn = nullptr;
    std::vector<int> calls;
    bool answered = false;
    RunOffThread([&] {
        ranOn = QThread::currentThread();
        for (int i = 0; i < 3; ++i)
            QMetaObject::invokeMethod(
                &windowSide, [&calls, i] { calls.push_back(i); }, Qt::QueuedConnection);
        // A blocking call is answered while the caller waits.
        QMetaObject::invokeMethod(
            &windowSide, [&] { answered = QThread::currentThread() == qApp->thread(); },
            Qt::BlockingQueuedConnection);
    });
    EXPECT_NE(ranOn, nullptr);
    EXPECT_NE(ranOn, QThread::currentThread());
    EXPECT_TRUE(answered);
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2}));
}

TEST(OffThread, WhatTheWorkThrowsIsThrownInTheCaller) {
    try {
        RunOffThread([] { throw IoError(ENOSPC, "/tmp/setup.exe"); });
        FAIL() << "nothing thrown";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Path(), "/tmp/setup.exe");
    }
}

} // namespace
