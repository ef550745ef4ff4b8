// A private folder for the inputs of one fuzzing process, and writing an input
// into a file there (the readers under test read files, by name only). The folder
// lies in memory (/dev/shm) where there is one: on a disk file system every
// rewrite of the input starts a write-out, and the targets then spend nearly all
// their time waiting for the disk (100 runs a second instead of thousands).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// Made on first use; removed at exit when the fuzzer ends normally (libFuzzer
// may end the process without that, on a crash the folder shows the input).
inline const std::string& Folder() {
  // Never destroyed, so that the removal at exit still has the name.
  static const std::string& folder = *new std::string([] {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm"
                       : tmp && tmp[0] == '/'               ? tmp
                                                            : "/tmp";
    std::string pattern = base + "/vandrel-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return pattern;
  }());
  return folder;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

}  // namespace fuzz
