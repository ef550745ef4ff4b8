// A file written in one step: the content goes to a temporary file in the same
// folder, which replaces the named file only once it is complete, so a failure
// leaves the old file (or none) and never a part.
#pragma once

#include <string>

namespace ui {

// Throws std::runtime_error naming the file and the reason when it fails.
void WriteWholeFile(const std::string& name, const std::string& bytes);

}  // namespace ui
