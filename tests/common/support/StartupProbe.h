// For the start-up benchmark: with KAVELO_STARTUP_PROBE set in the
// environment the program prints "shown" on standard output as soon as its
// first window has painted, and ends. Without it nothing happens.
#pragma once

void InstallStartupProbe();
