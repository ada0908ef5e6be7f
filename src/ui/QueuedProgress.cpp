#include "ui/QueuedProgress.h"

QueuedProgress::QueuedProgress(ProgressSink* target, QObject* context)
    : target_(context ? target : nullptr), context_(context) {}

void QueuedProgress::ValueSet(float value) {
    value_ = value;
    if (!target_ || posted_.exchange(true)) return; // the call posted shows this value too
    QMetaObject::invokeMethod(
        context_,
        [this] {
            posted_ = false;
            target_->ValueSet(value_);
        },
        Qt::QueuedConnection);
}
