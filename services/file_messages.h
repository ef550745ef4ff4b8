// The operator's messages about files, in the current Language: which kind of file,
// its name, and what went wrong.
#pragma once

#include <string>

#include "platform/file_limits.h"

namespace services {

// "Parameterdatei "/x/p.PEG": Das ist keine gewöhnliche Datei, sondern eine FIFO …"
std::string FileErrorText(const platform::FileError& error);

// The message of a save that failed, also where the old file it keeps keys of could
// not be read: the file cannot be written, and a file there is unchanged.
std::string SaveErrorText(const platform::FileError& error);

// The same frame around a reason of the caller's own.
std::string FileMessage(platform::FileKind kind, const std::string& path,
                        const std::string& reason);

// A size limit as the messages give it: "2 MiB".
std::string SizeText(size_t bytes);

}  // namespace services
