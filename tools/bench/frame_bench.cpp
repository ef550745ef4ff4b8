// Timing of the device operations against the simulated flow computer at real
// line speeds, both directions paced, the device optionally taking a turnaround
// before each reply. For each operation: its time (median of the runs), the time
// its bytes take on the wire, and the floor that the exchange's 20 ms polls and
// the specified pauses set, with the ratios, and the processor time the program
// itself used (the simulated device's thread left out).
//
// The floor of one exchange is the first 20 ms poll after its reply is complete,
// and never below the second (the send wait takes one poll, the receive wait at
// least one more). The polls are sleeps one after the other, each a little over
// 20 ms, so the n-th falls a little after n * 20 ms: a reply complete just after a
// multiple of 20 ms is then caught one poll earlier than this floor counts, and an
// operation of many such replies (the trend read at 9600 baud, whose 246-byte
// replies end 0.4 ms after their 13th poll) comes out a few per cent below it.
// Between the moment an exchange could have ended and the next
// request (or the end of the operation), every 90 ms counts as one of the 100 ms
// pauses that the bulk transfer takes there.
//
//   frame_bench [--baud N]... [--turnaround MS] [--runs N]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/trend_reader.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/bulk_transfer.h"
#include "services/port_opening.h"
#include "tools/flowsim/device_map.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"

namespace {

constexpr double kPollMs = 20;
constexpr double kPauseMs = 100;
constexpr double kPauseGapMs = 90;

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Cost {
  size_t exchanges = 0;
  size_t pauses = 0;
  double wire_ms = 0;
  double floor_ms = 0;
};

// What the exchanges of one run, from start_ms to end_ms on the device's clock,
// cost at the least. The time between the moment an exchange could have ended
// and the next request (or the end of the run) holds the pauses.
Cost FloorOf(const std::vector<flowsim::RequestRecord>& records, double byte_ms, double start_ms,
             double end_ms) {
  Cost c;
  c.exchanges = records.size();
  const auto request_start = [&](const flowsim::RequestRecord& r) {
    return static_cast<double>(r.timeMs) - static_cast<double>(r.request.size()) * byte_ms;
  };
  double idle_from = start_ms;
  for (size_t i = 0; i < records.size(); ++i) {
    const flowsim::RequestRecord& r = records[i];
    const double request_ms = static_cast<double>(r.request.size()) * byte_ms;
    const double reply_ms = static_cast<double>(r.reply.size()) * byte_ms;
    c.wire_ms += request_ms + reply_ms;
    const double start = request_start(r);
    c.pauses += static_cast<size_t>(std::max(0.0, start - idle_from) / kPauseGapMs);
    const double done = request_ms + r.delayMs + reply_ms;
    const double floor = kPollMs * std::max(2.0, std::ceil(done / kPollMs - 1e-9));
    c.floor_ms += floor;
    idle_from = start + floor;
  }
  c.pauses += static_cast<size_t>(std::max(0.0, end_ms - idle_from) / kPauseGapMs);
  c.floor_ms += kPauseMs * static_cast<double>(c.pauses);
  return c;
}

struct Operation {
  const char* name;
  int runs;  // at most; long ones run once
  std::function<bool()> run;
};

bool ReadAllTrends() {
  if (!devicelink::ReadTrendHeader()) return false;
  for (int k = 0; k < 44; ++k) {
    if (!devicelink::ReadTrendBlock(k)) return false;
  }
  return true;
}

int BaudIndexOf(int baud) {
  for (size_t i = 0; i < services::BaudRates.size(); ++i) {
    if (services::BaudRates[i] == baud) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> bauds;
  int turnaround = 0;
  int runs = 20;
  const auto usage = [&](FILE* to) {
    std::fprintf(to,
                 "usage: %s [--baud N]... [--turnaround MS] [--runs N]\n"
                 "  --baud N         line speed to measure at, repeatable (default 9600 and 38400)\n"
                 "  --turnaround MS  the device's pause before each reply (default 0)\n"
                 "  --runs N         runs of each operation, the median is shown (default 20)\n",
                 argv[0]);
  };
  for (int i = 1; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    }
    const int value = i + 1 < argc ? std::atoi(argv[i + 1]) : -1;
    if (std::strcmp(argv[i], "--baud") == 0 && BaudIndexOf(value) >= 0) {
      bauds.push_back(value);
    } else if (std::strcmp(argv[i], "--turnaround") == 0 && value >= 0) {
      turnaround = value;
    } else if (std::strcmp(argv[i], "--runs") == 0 && value > 0) {
      runs = value;
    } else {
      usage(stderr);
      return 2;
    }
  }
  if (bauds.empty()) bauds = {9600, 38400};

  char pattern[] = "/tmp/frame-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string home = pattern;
  // Its own data folder, without touching the environment the threads read.
  platform::SetFolderVariables({{"HOME", home}, {"XDG_DATA_HOME", home + "/data"}});
  platform::QueueMainThread ui;
  platform::SetMainThread(&ui);

  std::printf("turnaround %d ms; times are medians; cpu is the program's own share of one core\n",
              turnaround);
  std::printf("%-6s %-14s %5s %10s %10s %10s %9s %10s %6s\n", "baud", "operation", "exch",
              "time ms", "wire ms", "floor ms", "time/wire", "time/floor", "cpu %");
  int failures = 0;
  for (int baud : bauds) {
    flowsim::SimulatorOptions options;
    options.paceBaud = baud;
    options.turnaroundMs = turnaround;
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
    services::BaudIndex = BaudIndexOf(baud);  // the bulk write sends it to the device
    services::Medium = 0;
    devicelink::TrendStore = std::make_unique<devicelink::TTrendStore>();

    const double byte_ms = 10.0 * 1000.0 / baud;
    const std::string block(32, '\x11');
    const Operation operations[] = {
        {"block read", runs,
         [] {
           std::string data;
           return devicelink::ReadDeviceBlock(flowsim::map::kTempParams, 32, data);
         }},
        {"block write", runs,
         [&block] { return devicelink::WriteDeviceBlock(flowsim::map::kTempParams, block); }},
        {"trend read", baud < 19200 ? 1 : 3,
         [] {
           devicelink::TrendStore = std::make_unique<devicelink::TTrendStore>();
           return ReadAllTrends();
         }},
        {"trend re-read", 3, [] { return ReadAllTrends(); }},
        {"bulk read", baud < 19200 ? 1 : 3, [] { return services::ReadAllParameters() == 0; }},
        {"bulk write", baud < 19200 ? 1 : 3, [] { return services::WriteAllParameters() == 0; }},
    };
    std::string warm;
    devicelink::ReadDeviceBlock(flowsim::map::kTempParams, 32, warm);  // opens the port
    for (const Operation& op : operations) {
      std::vector<double> times;
      Cost cost;
      double cpu = 0;
      double wall = 0;
      for (int r = 0; r < op.runs; ++r) {
        sim.ClearRequests();
        const double cpu0 = ProcessCpuSeconds() - pty.ServeCpuSeconds();
        const double start_ms = static_cast<double>(flowsim::FlowSimulator::SteadyMilliseconds());
        const auto t0 = std::chrono::steady_clock::now();
        if (!op.run()) {
          std::fprintf(stderr, "%d baud, %s: an exchange failed\n", baud, op.name);
          ++failures;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        cpu += ProcessCpuSeconds() - pty.ServeCpuSeconds() - cpu0;
        wall += ms / 1000.0;
        times.push_back(ms);
        cost = FloorOf(sim.Requests(), byte_ms, start_ms,
                       static_cast<double>(flowsim::FlowSimulator::SteadyMilliseconds()));
      }
      const double median = Median(times);
      std::printf("%-6d %-14s %5zu %10.1f %10.1f %10.1f %9.3f %10.4f %6.2f\n", baud, op.name,
                  cost.exchanges, median, cost.wire_ms, cost.floor_ms, median / cost.wire_ms,
                  median / cost.floor_ms, 100.0 * cpu / wall);
      std::fflush(stdout);
    }
    devicelink::SetComPort(nullptr);
  }
  devicelink::TrendStore.reset();
  platform::SetMainThread(nullptr);
  std::filesystem::remove_all(home);
  return failures == 0 ? 0 : 1;
}
