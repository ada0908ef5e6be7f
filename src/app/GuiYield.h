// The editor's yield hook. The codec reports progress about every 1024
// bytes, far more often than a screen can show; the hook turns the event loop
// at most every kYieldIntervalMs, so a long save stays painted without paying
// for an event-loop turn on every report.
#pragma once

#include <functional>

inline constexpr int kYieldIntervalMs = 15;

// Installs the hook as the core's yield hook (SetYieldHook), or removes it.
void InstallGuiYield();
void RemoveGuiYield();

// The next yield turns the event loop whatever the time (a window just shown
// is painted at once).
void ForceNextYield();

// Called after every event-loop turn the hook makes (benchmarks measure the
// gaps between turns with it); an empty function removes it.
void SetYieldTurnObserver(std::function<void()> observer);
