// The simulated flow computer on a pseudo-terminal, linked as comN in the
// program's ports folder, so the program connects to it as to a real device.

#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"

namespace {

constexpr const char* kUsage =
    "usage: flowsim [options]\n"
    "  --gas              gas device \"MV-NGX7 \" (default)\n"
    "  --steam            steam/energy device \"MV-HTX7 \"\n"
    "  --single           single-circuit device\n"
    "  --dual             two-circuit device (default)\n"
    "  --password TEXT    device password on, with this text\n"
    "  --baud N           pace both directions at N baud (10 bits a byte)\n"
    "  --turnaround MS    wait MS milliseconds after a request before replying\n"
    "  --port N           link name comN (default 1)\n"
    "  --ports-dir DIR    folder of the link (default $XDG_DATA_HOME/vandrel2/ports)\n"
    "  --log              print every request and reply\n";

struct Arguments {
  flowsim::SimulatorOptions options;
  int port = 1;
  std::optional<std::string> portsDir;
  bool log = false;
};

bool ParseNumber(std::string_view text, int& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

std::optional<Arguments> Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto next = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string_view(argv[++i]);
    };
    if (arg == "--gas") {
      a.options.setup.model = flowsim::DeviceModel::Gas;
    } else if (arg == "--steam") {
      a.options.setup.model = flowsim::DeviceModel::Steam;
    } else if (arg == "--single") {
      a.options.setup.singleCircuit = true;
    } else if (arg == "--dual") {
      a.options.setup.singleCircuit = false;
    } else if (arg == "--log") {
      a.log = true;
    } else if (arg == "--password") {
      const auto v = next();
      if (!v) return std::nullopt;
      a.options.password = std::string(*v);
    } else if (arg == "--baud") {
      const auto v = next();
      if (!v || !ParseNumber(*v, a.options.paceBaud)) return std::nullopt;
    } else if (arg == "--turnaround") {
      const auto v = next();
      if (!v || !ParseNumber(*v, a.options.turnaroundMs)) return std::nullopt;
    } else if (arg == "--port") {
      const auto v = next();
      if (!v || !ParseNumber(*v, a.port)) return std::nullopt;
    } else if (arg == "--ports-dir") {
      const auto v = next();
      if (!v || v->empty()) return std::nullopt;
      a.portsDir = std::string(*v);
    } else {
      return std::nullopt;
    }
  }
  return a;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    text += buf;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

void PrintRecord(const flowsim::RequestRecord& r) {
  static std::mutex printing;
  const std::time_t t = std::chrono::system_clock::to_time_t(r.wallTime);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(r.wallTime.time_since_epoch()).count() %
      1000;
  std::tm local{};
  localtime_r(&t, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(ms));
  std::lock_guard lock(printing);
  std::cout << stamp << "  > " << Hex(r.request) << "\n              < " << Hex(r.reply);
  if (r.fault) std::cout << "  [" << flowsim::FaultName(*r.fault) << "]";
  std::cout << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    }
  }
  const auto args = Parse(argc, argv);
  if (!args) {
    std::cerr << kUsage;
    return 2;
  }

  // Signals are taken by sigwait below, not by whichever thread they hit.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    flowsim::FlowSimulator simulator(args->options);
    if (args->log) simulator.SetObserver(PrintRecord);
    flowsim::PtyDevice device(simulator);
    device.Start();
    const std::filesystem::path folder =
        args->portsDir ? std::filesystem::path(*args->portsDir) : flowsim::DefaultPortsFolder();
    flowsim::PortLink link(folder, args->port, device.SlavePath());

    const auto& setup = args->options.setup;
    std::cout << "flowsim: " << (setup.model == flowsim::DeviceModel::Gas ? "gas" : "steam")
              << " device, " << (setup.singleCircuit ? "single" : "two") << "-circuit"
              << (args->options.password ? ", password on" : "");
    if (args->options.paceBaud > 0) std::cout << ", paced at " << args->options.paceBaud << " baud";
    std::cout << "\nflowsim: serving on " << device.SlavePath() << ", linked as "
              << link.path().string() << " (COM" << args->port << ")\n"
              << "flowsim: stop with Ctrl+C" << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::cout << "flowsim: stopped" << std::endl;
    device.Stop();
  } catch (const std::exception& e) {
    std::cerr << "flowsim: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
