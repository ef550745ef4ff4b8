// A session of the program as a technician leaves it running with the leak
// tracker on: the program's own start-up from the settings file (which should
// say online and "MemDiag=1"), the live values refreshed every 2 s as the
// settings dialog sets it, for the given time; the resident memory and the bytes
// the tracker's quarantine holds are printed every 30 s. It ends as the program
// ends, so the leak report is written.
//
//   memdiag_session [--seconds N]     (default 1800)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "memdiag/leak_tracker.h"
#include "platform/main_thread.h"
#include "services/settings_file.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/qt_main_thread.h"

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  long seconds = 1800;
  const auto usage = [&](FILE* to) {
    std::fprintf(to,
                 "usage: %s [--seconds N]\n"
                 "  --seconds N  how long the session runs (default 1800)\n",
                 argv[0]);
  };
  for (int i = 1; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    }
    char* end = nullptr;
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::strtol(argv[i + 1], &end, 10);
      if (*end == '\0' && seconds > 0) continue;
    }
    usage(stderr);
    return 2;
  }
  services::SetMemDiagStarter(memdiag::StartFromSettings);
  QApplication app(argc, argv);
  ui::TQtMainThread main_thread;
  platform::SetMainThread(&main_thread);
  int code = 0;
  {
    ui::TProgram program;
    if (auto exit_code = program.Start()) return *exit_code;
    memdiag::TLeakTracker* tracker = memdiag::ProcessTracker();
    if (!tracker || !tracker->Active()) {
      std::fprintf(stderr, "memdiag_session: the settings did not start the leak tracker\n");
      return 1;
    }
    tracker->ShowReport = false;
    QTimer* refresh = program.MainWindow()->RefreshTimer();
    refresh->setInterval(2000);
    refresh->start();
    QElapsedTimer clock;
    clock.start();
    const auto sample = [&] {
      std::printf("%6lld s  rss %7ld KiB  quarantine %7zu KiB\n", clock.elapsed() / 1000,
                  ResidentKiB(), tracker->KeptBytes() / 1024);
      std::fflush(stdout);
    };
    sample();
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(30000);
    QTimer::singleShot(seconds * 1000, [&] {
      sample();
      program.MainWindow()->close();
      QApplication::quit();
    });
    code = QApplication::exec();
  }
  platform::SetMainThread(nullptr);
  std::printf("report: %s\n", memdiag::ProcessTracker()->MemDiagLogFileName.c_str());
  return code;
}
