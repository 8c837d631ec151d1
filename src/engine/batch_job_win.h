// Work that changes the stores, run off the window thread that asked for it:
// the window thread goes on taking its messages (Explorer never shows it as
// not responding), the work's questions are asked on it, and the batch's
// progress shows in a window of the work's own, whose Cancel stops it
// between passes and files.
#pragma once

#include <windows.h>

#include <functional>

#include "common/report.h"

namespace vz::win32 {

using JobWork = std::function<Report()>;
using JobDone = std::function<void(const Report&)>;

// Starts `work` on a thread of its own. Each question it asks is asked here
// on the calling thread, through the interface the calling thread has now
// (Ui()), in boxes owned by `owner`'s top-level window; the progress of its
// batch shows in a TFMProgress of its own, owned by that window. `done`
// runs here, with the report, once the work is over and while this thread
// takes its messages. False when no thread could be started: then the work
// runs here and now, and `done` follows it through this thread's messages.
bool StartJob(HWND owner, JobWork work, JobDone done);

// The same, waiting for the end while this thread's messages run; the
// report. A WM_QUIT that arrives meanwhile cancels the work between its
// passes and files, and is posted again once it is over. It returns once
// the work's thread is gone, so that its caller may unload the module.
Report RunJob(HWND owner, JobWork work);

// Work started and not over, in this module.
long RunningJobs();

}  // namespace vz::win32
