// Starting the setup that "Create & test setup" wrote and waiting for it to
// end while the program's windows stay painted: StartProgram, WaitOnProgramm
// and DoEventsEx.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starts the program at path as a new process whose first argument is path
// itself, followed by arguments, each passed as it is (no shell, no quoting).
// Returns its process number; throws IoError with the system's reason when it
// cannot be started (missing, not executable, not a program).
int64_t StartProgram(const std::string& path, const std::vector<std::string>& arguments);

// Returns when process processId has ended: first a spell of one second of
// event processing whatever interval is, then waits of 100 ms on the process
// separated by spells of interval ms of event processing. A process that
// cannot be watched (it does not exist) ends the wait after the first second.
// A process started by this program is reaped once it has ended.
void WaitOnProgramm(int64_t processId, int interval);

// Processes events until more than milliseconds have passed on a monotonic
// clock (so a change of the system time can neither end the wait early nor
// make it endless); between events the thread sleeps instead of spinning.
void DoEventsEx(int milliseconds);
