// Timing of device exchanges against the simulated flow computer at real line
// speeds: median time of a 32-byte block read and write against the time the
// bytes need on the wire, and the CPU time the program spends meanwhile.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  char pattern[] = "/tmp/frame-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string home = pattern;
  setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);

  platform::QueueMainThread ui;
  platform::SetMainThread(&ui);
  constexpr int kExchanges = 100;
  std::printf("baud   op     median ms  wire ms  ratio  above wire ms  cpu/wall\n");
  for (int baud : {9600, 38400}) {
    flowsim::SimulatorOptions options;
    options.paceBaud = baud;
    flowsim::FlowSimulator sim(options);
    flowsim::PtyDevice pty(sim);
    pty.Start();
    flowsim::PortLink link(home + "/data/vandrel2/ports", 1, pty.SlavePath());
    serial::TSioComPort port;
    port.SetComNumber(1);
    port.SetBaud(baud);
    devicelink::SetComPort(&port);
    devicelink::DeviceOnline = true;
    devicelink::TransferTimeout = 1500;

    const double byte_ms = 10.0 * 1000.0 / baud;
    struct Op {
      const char* name;
      bool (*run)();
      int request_bytes;
      int reply_bytes;
    } ops[] = {{"read", [] { return devicelink::ReadTempParams(0); }, 4, 38},
               {"write", [] { return devicelink::WriteTempParams(0); }, 38, 1}};
    devicelink::ReadTempParams(0);  // opens the port
    for (const Op& op : ops) {
      std::vector<double> times;
      const double cpu0 = CpuSeconds();
      const auto wall0 = std::chrono::steady_clock::now();
      for (int i = 0; i < kExchanges; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        if (!op.run()) std::fprintf(stderr, "exchange failed\n");
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      }
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
      const double cpu = CpuSeconds() - cpu0;
      const double wire = (op.request_bytes + op.reply_bytes) * byte_ms;
      const double median = Median(times);
      std::printf("%-6d %-6s %9.1f  %7.1f  %5.2f  %13.1f  %8.3f\n", baud, op.name, median, wire,
                  median / wire, median - wire, cpu / wall);
    }
    devicelink::SetComPort(nullptr);
  }
  platform::SetMainThread(nullptr);
  std::filesystem::remove_all(home);
  return 0;
}
