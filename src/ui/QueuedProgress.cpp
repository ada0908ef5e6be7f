#include "ui/QueuedProgress.h"

namespace {
constexpr std::chrono::milliseconds kShowInterval{15}; // about a frame
} // namespace

QueuedProgress::QueuedProgress(ProgressSink* target, QObject* context)
    : target_(context ? target : nullptr), context_(context) {}

void QueuedProgress::ValueSet(float value) {
    value_ = value;
    if (!target_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPost_ < kShowInterval) return;
    if (posted_.exchange(true)) return; // the call posted shows this value too
    lastPost_ = now;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            posted_ = false;
            target_->ValueSet(value_);
        },
        Qt::QueuedConnection);
}

void QueuedProgress::ShowLast() {
    if (target_) target_->ValueSet(value_);
}
