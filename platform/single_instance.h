// One running copy of the program per user: an exclusive lock on a file named
// after the program, held for the whole run and released by the kernel when the
// process ends, however it ends.
#pragma once

#include <string>

namespace platform {

// The lock file for name: in $XDG_RUNTIME_DIR when set and absolute, else in the
// local data folder; empty when neither can be found or made.
std::string SingleInstanceLockPath(const std::string& name);

// Takes the lock. False when another process (or another holder in this one)
// has it. A lock file that cannot be opened at all does not stop the program:
// that counts as obtained, as a start must not fail for want of the guard.
bool EnsureSingleInstance(const std::string& name);

// Gives the lock back when this process holds it.
void ReleaseSingleInstance();

}  // namespace platform
