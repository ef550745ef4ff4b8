// Files of this process may grow to `bytes` only while the scope lives: a write
// beyond fails with EFBIG instead of raising SIGXFSZ. For tests of writers that
// must leave the old file when a write fails half way.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <stdexcept>

namespace platform::testing {

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) throw std::runtime_error("getrlimit");
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    if (::sigaction(SIGXFSZ, &ignore, &saved_action_) != 0) throw std::runtime_error("sigaction");
    struct rlimit small = saved_;
    small.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("setrlimit");
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::sigaction(SIGXFSZ, &saved_action_, nullptr);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  struct rlimit saved_ {};
  struct sigaction saved_action_ {};
};

}  // namespace platform::testing
