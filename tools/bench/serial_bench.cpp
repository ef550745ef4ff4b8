// Measures an open, idle port's CPU use and how soon a byte from the other side
// is counted in BytesAvailable, checking that each byte is read once, as written.
// Runs against a pseudo-terminal linked as com1 in a temporary data folder.
//
//   serial_bench [idle seconds] [bytes]
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/main_thread.h"
#include "platform/port_names.h"
#include "serial/sio_port.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: %s [idle seconds] [bytes]\n"
                "  idle seconds  how long the open port's CPU use is measured (default 10)\n"
                "  bytes         bytes whose latency is measured (default 1000)\n",
                argv[0]);
    return 0;
  }
  const int idle_seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const int samples = argc > 2 ? std::atoi(argv[2]) : 1000;

  char folder[] = "/tmp/serial-bench-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  platform::SetFolderVariables({{"HOME", folder}, {"XDG_DATA_HOME", folder}});
  platform::EnsureFolder(platform::PortsFolder());
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  char slave[128];
  ptsname_r(master, slave, sizeof slave);
  if (symlink(slave, platform::PortLinkPath(1).c_str()) != 0) return 1;

  platform::QueueMainThread ui;
  platform::SetMainThread(&ui);
  int result = 0;
  {
    serial::TSioComPort port;
    port.SetComNumber(1);
    port.SetOpen(true);

    // Idle: the UI thread sleeps between message rounds, as an idle event loop would.
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(idle_seconds)) {
      ui.ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double cpu = CpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("idle: %.4f s CPU in %.2f s = %.3f %% of one core\n", cpu, wall,
                100.0 * cpu / wall);

    // Latency: one byte at a time, the caller polling the count.
    std::vector<double> us;
    us.reserve(static_cast<size_t>(samples));
    uint8_t b = 0;
    for (int i = 0; i < samples; ++i) {
      const auto start = std::chrono::steady_clock::now();
      if (write(master, &b, 1) != 1) return 1;
      while (port.BytesAvailable() == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2)) {
          std::printf("byte %d not counted within 2 s\n", i);
          return 1;
        }
        std::this_thread::yield();
      }
      us.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count());
      uint8_t got;
      port.ReadBlock({&got, 1}, 1);
      if (got != b) {
        std::printf("byte %d read as %u, written as %u\n", i, got, b);
        return 2;
      }
      ++b;
    }
    // Every byte once: nothing may come again after the last one.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ui.ProcessMessages();
    if (port.BytesAvailable() != 0) {
      std::printf("%u bytes came again after all were read\n", port.BytesAvailable());
      return 2;
    }
    std::sort(us.begin(), us.end());
    std::printf("latency over %d bytes: median %.0f us, 90th %.0f us, 99th %.0f us, max %.0f us\n",
                samples, us[us.size() / 2], us[us.size() * 9 / 10], us[us.size() * 99 / 100],
                us.back());
    port.SetOpen(false);
  }
  platform::SetMainThread(nullptr);
  close(master);
  std::filesystem::remove_all(folder);
  return result;
}
