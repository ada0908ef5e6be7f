#include "common/Progress.h"

#include <utility>

namespace {
std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}
} // namespace

void YieldToEventLoop() {
    if (auto& hook = Hook()) hook();
}

std::function<void()> SetYieldHook(std::function<void()> hook) {
    return std::exchange(Hook(), std::move(hook));
}
