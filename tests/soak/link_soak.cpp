// Fault soak of the device link: block reads and writes against the simulated
// flow computer while it loses, cuts, delays, corrupts and refuses replies.
// After every exchange: a read that succeeded holds data its block really held,
// and a write that succeeded was stored by the device. After every batch, with
// the faults gone: every block reads back as the device holds it.
//
//   link_soak [--exchanges N] [--seed S]     (default 400 exchanges)
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "tools/flowsim/device_map.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"

namespace {

namespace map = flowsim::map;
using Bytes = std::vector<uint8_t>;

struct Block {
  uint16_t address;
  uint8_t size;
};

// Parameter blocks that frames may write and whose bytes the device keeps as written.
constexpr Block kBlocks[] = {
    {map::kTempParams, 32},           {static_cast<uint16_t>(map::kTempParams + 32), 32},
    {map::kPressureParams, 32},       {static_cast<uint16_t>(map::kPressureParams + 32), 32},
    {map::kFlowParams2, 32},          {static_cast<uint16_t>(map::kFlowParams2 + 32), 32},
    {map::kSupplyValues, 16},         {static_cast<uint16_t>(map::kSupplyValues + 16), 16},
    {map::kCorrectionFactors, 32},    {static_cast<uint16_t>(map::kCorrectionFactors + 32), 32},
    {map::kAlarmParams, 16},          {static_cast<uint16_t>(map::kAlarmParams + 16), 16},
    {map::kGasCommon, 16},            {map::kLimitValues, 16},
    {map::kPresetValues, 32},
};
constexpr size_t kBlockCount = std::size(kBlocks);

constexpr flowsim::FaultKind kFaults[] = {
    flowsim::FaultKind::NoAnswer,    flowsim::FaultKind::ShortReply, flowsim::FaultKind::LateReply,
    flowsim::FaultKind::BadChecksum, flowsim::FaultKind::Reject,     flowsim::FaultKind::WrongEcho,
};

constexpr int32_t kTimeoutMs = 200;
constexpr int kBatch = 100;

std::string Frame(uint8_t command, const Block& b) {
  return {static_cast<char>(command), static_cast<char>(b.address >> 8),
          static_cast<char>(b.address & 0xFF), static_cast<char>(b.size)};
}

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

struct Tally {
  long reads = 0, reads_ok = 0, corrupt_reads = 0;
  long writes = 0, writes_ok = 0, false_acks = 0;
  long batch_mismatches = 0;
  std::map<flowsim::FaultKind, long> faults;
};

class Soak {
 public:
  explicit Soak(unsigned seed) : random_(seed) {
    char pattern[] = "/tmp/link-soak-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("no temporary folder");
    home_ = pattern;
    // Its own data folder, without touching the environment the threads read.
    platform::SetFolderVariables({{"HOME", home_}, {"XDG_DATA_HOME", home_ + "/data"}});
    platform::SetMainThread(&ui_);
    pty_ = std::make_unique<flowsim::PtyDevice>(sim_);
    pty_->Start();
    link_ = std::make_unique<flowsim::PortLink>(home_ + "/data/vandrel2/ports", 1, pty_->SlavePath());
    port_ = std::make_unique<serial::TSioComPort>();
    port_->SetComNumber(1);
    port_->SetBaud(38400);
    devicelink::SetComPort(port_.get());
    devicelink::DeviceOnline = true;
    devicelink::TransferTimeout = kTimeoutMs;
  }
  ~Soak() {
    devicelink::SetComPort(nullptr);
    port_.reset();
    link_.reset();
    pty_.reset();
    platform::SetMainThread(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  // Every block gets content of its own, so that no block's bytes can pass for
  // another's.
  bool Prepare() {
    for (size_t i = 0; i < kBlockCount; ++i) {
      history_[i].insert(sim_.ReadMemory(kBlocks[i].address, kBlocks[i].size));
      if (!Write(i)) return false;
    }
    return true;
  }

  void Exchange() {
    MaybeInjectFault();
    const size_t i = std::uniform_int_distribution<size_t>(0, kBlockCount - 1)(random_);
    if (std::bernoulli_distribution(0.5)(random_)) {
      Read(i);
    } else {
      Write(i);
    }
  }

  // Faults off, late replies drained; then every block must read as the device holds it.
  void EndBatch() {
    sim_.ClearFaults();
    devicelink::DelayMs(1500);
    devicelink::DeviceOnline = true;
    for (size_t i = 0; i < kBlockCount; ++i) {
      std::string m = Frame(devicelink::kReadRequest, kBlocks[i]);
      const Bytes held = sim_.ReadMemory(kBlocks[i].address, kBlocks[i].size);
      if (!devicelink::TransferFrame(m, 255, kBlocks[i].size + 4) ||
          ToBytes(m.substr(4, kBlocks[i].size)) != held || !history_[i].count(held)) {
        ++tally_.batch_mismatches;
        std::printf("block %04X does not read back as the device holds it\n", kBlocks[i].address);
      }
    }
  }

  const Tally& tally() const { return tally_; }

 private:
  void MaybeInjectFault() {
    if (!std::bernoulli_distribution(0.3)(random_)) return;
    const auto kind = kFaults[std::uniform_int_distribution<size_t>(0, std::size(kFaults) - 1)(random_)];
    // Late replies from within one attempt to past the whole exchange.
    const int delay = std::uniform_int_distribution<int>(100, 1300)(random_);
    sim_.InjectFault(kind, 1, delay);
    ++tally_.faults[kind];
  }

  bool Read(size_t i) {
    const Block& b = kBlocks[i];
    ++tally_.reads;
    std::string m = Frame(devicelink::kReadRequest, b);
    if (!devicelink::TransferFrame(m, 255, b.size + 4)) return Recover();
    ++tally_.reads_ok;
    const Bytes got = ToBytes(m.substr(4, b.size));
    if (m.size() != static_cast<size_t>(b.size) + 6 || !history_[i].count(got)) {
      ++tally_.corrupt_reads;
      std::printf("read of %04X returned bytes the block never held\n", b.address);
    }
    return true;
  }

  bool Write(size_t i) {
    const Block& b = kBlocks[i];
    ++tally_.writes;
    Bytes data(b.size);
    for (auto& v : data) v = static_cast<uint8_t>(random_());
    // The device may store it even when the exchange fails.
    history_[i].insert(data);
    std::string m = Frame(devicelink::kWriteRequest, b) + std::string(data.begin(), data.end());
    std::string frame = m;
    devicelink::AppendChecksum(frame, 255);
    if (!devicelink::TransferFrame(m, 255, 1)) return Recover();
    ++tally_.writes_ok;
    if (!Stored(ToBytes(frame))) {
      ++tally_.false_acks;
      std::printf("write of %04X reported done, but the device never stored it\n", b.address);
    }
    return true;
  }

  // Whether the device stored the frame. A device still working through frames
  // queued behind a late reply may store it a moment after an acknowledgement
  // came; what matters is that it does, so it is given that moment.
  bool Stored(const Bytes& frame) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    do {
      for (const flowsim::RequestRecord& r : sim_.Requests()) {
        if (r.request == frame && r.fault != flowsim::FaultKind::Reject) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }

  // A failed exchange leaves the link as it was; the next one tries again.
  bool Recover() {
    devicelink::DeviceOnline = true;
    return false;
  }

  std::mt19937 random_;
  std::string home_;
  platform::QueueMainThread ui_;
  flowsim::FlowSimulator sim_;
  std::unique_ptr<flowsim::PtyDevice> pty_;
  std::unique_ptr<flowsim::PortLink> link_;
  std::unique_ptr<serial::TSioComPort> port_;
  std::set<Bytes> history_[kBlockCount];
  Tally tally_;
};

}  // namespace

int main(int argc, char** argv) {
  long exchanges = 400;
  unsigned seed = 20240611;
  const auto usage = [&](FILE* to) {
    std::fprintf(to,
                 "usage: %s [--exchanges N] [--seed S]\n"
                 "  --exchanges N  block reads and writes under faults (default 400)\n"
                 "  --seed S       seed of the fault and block choice (default 20240611)\n",
                 argv[0]);
  };
  for (int i = 1; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    }
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    char* end = nullptr;
    bool good = *value != '\0';
    if (std::strcmp(argv[i], "--exchanges") == 0) {
      exchanges = std::strtol(value, &end, 10);
      good = good && *end == '\0' && exchanges > 0;
    } else if (std::strcmp(argv[i], "--seed") == 0) {
      seed = static_cast<unsigned>(std::strtoul(value, &end, 10));
      good = good && *end == '\0';
    } else {
      good = false;
    }
    if (!good) {
      usage(stderr);
      return 2;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  Soak soak(seed);
  if (!soak.Prepare()) {
    std::printf("the device did not take the first writes\n");
    return 1;
  }
  for (long n = 1; n <= exchanges; ++n) {
    soak.Exchange();
    if (n % kBatch == 0 || n == exchanges) {
      soak.EndBatch();
      const Tally& t = soak.tally();
      std::printf("%6ld exchanges: reads %ld ok of %ld, %ld corrupted; writes %ld ok of %ld, "
                  "%ld falsely acknowledged; %ld blocks off after the batch\n",
                  n, t.reads_ok, t.reads, t.corrupt_reads, t.writes_ok, t.writes, t.false_acks,
                  t.batch_mismatches);
      std::fflush(stdout);
    }
  }
  const Tally& t = soak.tally();
  std::printf("faults injected:");
  for (const auto& [kind, count] : t.faults) std::printf(" %s %ld;", flowsim::FaultName(kind), count);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("\n%.0f s, seed %u\n", seconds, seed);
  // A soak in which hardly anything succeeds has tested nothing.
  const bool enough = t.reads_ok * 2 > t.reads && t.writes_ok * 2 > t.writes;
  if (!enough) std::printf("too few exchanges succeeded to judge\n");
  const bool sound = t.corrupt_reads == 0 && t.false_acks == 0 && t.batch_mismatches == 0;
  return sound && enough ? 0 : 1;
}
