#include "ui/close_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace ui {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};

int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignals.size()];

// Runs on whatever thread the signal meets: only what is safe there.
extern "C" void OnCloseSignal(int /*number*/) {
  const int saved = errno;
  const char byte = 1;
  if (g_pipe[1] >= 0) {
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
  }
  errno = saved;
}

}  // namespace

TCloseSignals::TCloseSignals(QObject* parent, std::function<void()> close)
    : QObject(parent), close_(std::move(close)) {
  if (g_pipe[0] >= 0) throw std::logic_error("close signals installed twice");
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    throw std::runtime_error("no pipe for the close signals");
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TCloseSignals::Arrived);
  struct sigaction action {};
  action.sa_handler = OnCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

TCloseSignals::~TCloseSignals() {
  for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  delete notifier_;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void TCloseSignals::Arrived() {
  // Every byte read: several signals are one close (a second one changes
  // nothing while the close waits).
  char bytes[64];
  while (read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  if (close_) close_();
}

}  // namespace ui
