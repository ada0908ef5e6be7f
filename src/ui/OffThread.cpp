// The worker thread and the event loop that turns while it runs.
#include "ui/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <exception>
#include <memory>

void RunOffThread(const std::function<void()>& work) {
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception(); // thrown again on the caller's thread
        }
        done = true;
    }));
    // Queued: the loop quits after every call the work posted before it ended.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    worker->start();
    loop.exec();
    // A program told to quit meanwhile leaves the loop early, and a loop
    // started after that returns at once: events are processed by hand until
    // the work ends, so that a blocking call from it is still answered.
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    worker->wait();
    if (failure) std::rethrow_exception(failure);
}
