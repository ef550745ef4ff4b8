// Runs a part of a test in a child process, for what cannot be undone in the test
// process: another user, a mount namespace. The child's result comes back as text.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <string>

namespace platform::testing {

// An ordinary user's ids ("nobody" on Debian).
inline constexpr uid_t kOrdinaryUid = 65534;
inline constexpr gid_t kOrdinaryGid = 65534;

// What `body` returned in a forked child ("exception: ..." when it threw).
inline std::string InChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::string out;
    try {
      out = body();
    } catch (const std::exception& e) {
      out = std::string("exception: ") + e.what();
    }
    for (size_t done = 0; done < out.size();) {
      const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return out;
}

// `body` as an ordinary user: in a child that gives up root, or here when the
// tests do not run as root.
inline std::string AsOrdinaryUser(const std::function<std::string()>& body) {
  if (::geteuid() != 0) return body();
  return InChild([&] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kOrdinaryGid) != 0 || ::setuid(kOrdinaryUid) != 0)
      return std::string("cannot become an ordinary user");
    return body();
  });
}

}  // namespace platform::testing
