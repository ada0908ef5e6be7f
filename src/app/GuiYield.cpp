// The time-based yield: a monotonic clock since the last turn decides.
#include "app/GuiYield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "common/Progress.h"

namespace {

struct YieldState {
    QElapsedTimer sinceTurn; // invalid until the first turn
    bool forceNext = true;
    std::function<void()> observer;
};

YieldState& State() {
    static YieldState state;
    return state;
}

void YieldHook() {
    YieldState& state = State();
    if (!state.forceNext && state.sinceTurn.isValid() &&
        state.sinceTurn.elapsed() < kYieldIntervalMs)
        return;
    state.forceNext = false;
    QCoreApplication::processEvents();
    state.sinceTurn.start();
    if (state.observer) state.observer();
}

} // namespace

void InstallGuiYield() {
    SetYieldHook(YieldHook);
}

void RemoveGuiYield() {
    SetYieldHook({});
}

void ForceNextYield() {
    State().forceNext = true;
}

void SetYieldTurnObserver(std::function<void()> observer) {
    State().observer = std::move(observer);
}
