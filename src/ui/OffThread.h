// Long work (packing a setup, reading dropped files) runs on a worker thread
// while the calling thread's event loop keeps turning, so the windows stay
// painted and take typing; the caller waits for the result as for a call.
#pragma once

#include <functional>

// Runs work on a new thread and processes events until it ends; an exception
// work throws is thrown again here. The caller disables beforehand what must
// not be touched while work runs. Calls from work to this thread (queued or
// blocking) are answered meanwhile.
void RunOffThread(const std::function<void()>& work);
