// Pacing and feedback for device commands (a pause that keeps the window alive,
// the status bar's progress bar) and the transfer of the whole parameter model
// to and from the device.
#pragma once

#include <cstdint>

namespace services {

// Returns once more than ms milliseconds of the tick counter have passed,
// processing window messages at least once and then about every millisecond.
// Returns at once when the tick counter wraps during the wait.
void WaitMs(uint32_t ms);

// Progress bar: maximum count, position 0, visible; then messages once.
void StartProgress(int32_t count);
// Progress bar one step on; then messages once.
void StepProgress();

// Every parameter block from the device in one fixed order, each attempted
// whatever the others gave. Returns the number of failed commands (0: all read);
// when any failed, the online label is left at "OFFLINE". Part of the
// command's run (devicelink::TRun): the program's close ends it, and then the
// label stays.
int32_t ReadAllParameters();

// The whole parameter model to the device, paced and counted on the progress bar
// under the hourglass cursor. The system block's type is limited to the mask the
// device reports just before; the operating mode keeps the device's bytes 1..3
// (it is read first, and not written when that read fails). Returns the number of
// failed commands; the blocks that may not have reached the device are those
// the run lists as not sent (devicelink::TRun::NotSent). The records need not
// hold what the device reported: the command's run sends them as a whole set.
// A close before the first write ends it with nothing sent; after, the set
// goes on while the device answers. A BaudIndex outside 0..7 raises
// std::out_of_range before any traffic.
int32_t WriteAllParameters();

}  // namespace services
