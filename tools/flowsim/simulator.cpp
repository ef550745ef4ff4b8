#include "tools/flowsim/simulator.h"

#include <algorithm>
#include <cmath>

#include "tools/flowsim/device_map.h"

namespace flowsim {

namespace {

constexpr int kBaudTable[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool Covers(std::uint16_t start, std::size_t count, std::uint16_t address) {
  return static_cast<std::uint16_t>(address - start) < std::max<std::size_t>(count, 1);
}

bool Overlaps(std::uint16_t start, std::size_t count, std::uint16_t areaStart,
              std::size_t areaSize) {
  for (std::size_t i = 0; i < count; ++i) {
    if (Covers(areaStart, areaSize, static_cast<std::uint16_t>(start + i))) return true;
  }
  return false;
}

// Device text is single-byte: Latin-1 letters from UTF-8, anything else '?'.
std::string ToDeviceText(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
      out += '?';
    }
  }
  return out;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

const char* FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NoAnswer:
      return "no answer";
    case FaultKind::ShortReply:
      return "short reply";
    case FaultKind::LateReply:
      return "late reply";
    case FaultKind::BadChecksum:
      return "bad checksum";
    case FaultKind::Reject:
      return "reject";
    case FaultKind::WrongEcho:
      return "wrong echo";
  }
  return "?";
}

std::int64_t FlowSimulator::SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

FlowSimulator::FlowSimulator(SimulatorOptions options, TimeSource now)
    : options_(std::move(options)), now_(std::move(now)) {
  const CivilTime start = options_.startTime.value_or(LocalTimeNow());
  ApplyPreset(image_, options_.setup, start);
  const auto processes = PresetProcesses(options_.setup);
  for (int ch = 0; ch < 2; ++ch) processes_[ch] = LiveProcess(processes[ch]);
  startMs_ = now_();
  clockBaseSeconds_ = SecondsFromCivil(start);
  clockBaseMs_ = startMs_;
  paceBaud_ = options_.paceBaud;
  turnaroundMs_ = std::max(options_.turnaroundMs, 0);
  std::lock_guard lock(mutex_);
  if (options_.password) PutPasswordLocked(*options_.password);
  UpdateLocked(startMs_);
}

bool FlowSimulator::IsReadOnly(std::uint16_t address) {
  return Covers(map::kIdentification, 8, address) || Covers(map::kPasswordBlock, 12, address) ||
         Covers(map::kSerialNumber, 16, address) || address >= map::kLiveValues;
}

void FlowSimulator::UpdateLocked(std::int64_t nowMs) {
  const double seconds = static_cast<double>(nowMs - startMs_) / 1000.0;
  for (int ch = 0; ch < 2; ++ch) {
    processes_[ch].AdvanceTo(seconds);
    processes_[ch].WriteBlock(image_, map::LiveValues(ch));
  }
  // Analog outputs follow flow and mass flow of each circuit over their scale.
  for (int i = 0; i < 4; ++i) {
    const CircuitSnapshot s = processes_[i / 2].At(seconds);
    const double value = i % 2 == 0 ? s.flowOrPower : s.massFlow;
    const std::uint16_t params = static_cast<std::uint16_t>(map::kOutputParams + 16 * i);
    const double low = image_.GetFloat(static_cast<std::uint16_t>(params + 4));
    const double high = image_.GetFloat(static_cast<std::uint16_t>(params + 8));
    double fraction = high > low ? (value - low) / (high - low) : 0.0;
    if (!(fraction >= 0)) fraction = 0;  // NaN as well
    const double current = 4.0 + 16.0 * std::min(fraction, 1.0);
    image_.PutFloat(static_cast<std::uint16_t>(map::kOutputCurrents + 4 * i),
                    processes_[i / 2].process().active ? static_cast<float>(current) : 0.0f);
  }
  if (clockRunning_) {
    const std::int64_t now = clockBaseSeconds_ + FloorDiv(nowMs - clockBaseMs_, 1000);
    const auto digits = EncodeClockDigits(CivilFromSeconds(now));
    image_.Write(map::kClock, digits);
  }
}

void FlowSimulator::PutPasswordLocked(std::optional<std::string_view> text) {
  const std::string device = text ? (ToDeviceText(*text) + "--------").substr(0, 8) : "--------";
  image_.Put8(static_cast<std::uint16_t>(map::kPasswordBlock + 3), text ? 1 : 0);
  image_.PutText(static_cast<std::uint16_t>(map::kPasswordBlock + 4), device, 8);
}

void FlowSimulator::StoreLocked(std::uint16_t address, std::span<const std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    const auto a = static_cast<std::uint16_t>(address + i);
    if (!IsReadOnly(a)) image_.Put8(a, data[i]);
  }
  if (Overlaps(address, data.size(), map::kClock, map::kClockDigits)) {
    const auto digits = image_.Read(map::kClock, map::kClockDigits);
    const auto time = DecodeClockDigits(std::span<const std::uint8_t, 12>(digits.data(), 12));
    // A clock set to no real time stops with the digits as written.
    clockRunning_ = time.has_value();
    if (time) {
      clockBaseSeconds_ = SecondsFromCivil(*time);
      clockBaseMs_ = now_();
    }
  }
}

std::optional<FlowSimulator::PendingFault> FlowSimulator::TakeFaultLocked(const Frame& frame) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    const bool readOnlyKind =
        it->kind == FaultKind::BadChecksum || it->kind == FaultKind::WrongEcho;
    if (readOnlyKind && frame.kind != Frame::Kind::Read) continue;
    if (it->address && !Covers(frame.address, frame.count, *it->address)) continue;
    PendingFault taken = *it;
    if (it->remaining > 0 && --it->remaining == 0) faults_.erase(it);
    return taken;
  }
  return std::nullopt;
}

Reply FlowSimulator::HandleLocked(const Frame& frame, std::int64_t nowMs, RequestRecord& record) {
  UpdateLocked(nowMs);
  record.timeMs = nowMs;
  record.wallTime = std::chrono::system_clock::now();
  record.request = frame.raw;

  const auto fault = TakeFaultLocked(frame);
  Reply reply;
  reply.paceBaud = paceBaud_;
  reply.delayMs = turnaroundMs_;
  if (fault && fault->kind == FaultKind::Reject) {
    reply.bytes = {kRejectByte};
  } else if (frame.kind == Frame::Kind::Read) {
    reply.bytes = frame.raw;
    if (fault && fault->kind == FaultKind::WrongEcho) {
      const auto other = static_cast<std::uint16_t>(frame.address + 1);
      reply.bytes[1] = static_cast<std::uint8_t>(other >> 8);
      reply.bytes[2] = static_cast<std::uint8_t>(other);
    }
    const auto data = image_.Read(frame.address, frame.count);
    reply.bytes.insert(reply.bytes.end(), data.begin(), data.end());
    AppendChecksum(reply.bytes);
    if (fault && fault->kind == FaultKind::BadChecksum) reply.bytes.back() ^= 0x01;
  } else if (!frame.checksumOk) {
    reply.bytes = {kRejectByte};
  } else {
    StoreLocked(frame.address, frame.data);
    reply.bytes = {kAcceptByte};
    // A new baud index takes effect after the reply, as on the device's own port.
    if (paceBaud_ > 0 && Overlaps(frame.address, frame.count, map::kOperatingMode, 1)) {
      const int index = image_.Get8(map::kOperatingMode);
      if (index >= 0 && index < 8) paceBaud_ = kBaudTable[index];
    }
  }
  if (fault) {
    switch (fault->kind) {
      case FaultKind::NoAnswer:
        reply.bytes.clear();
        break;
      case FaultKind::ShortReply:
        reply.bytes.resize(reply.bytes.size() / 2);
        break;
      case FaultKind::LateReply:
        reply.delayMs += fault->delayMs;
        break;
      default:
        break;
    }
    record.fault = fault->kind;
  }
  record.reply = reply.bytes;
  record.delayMs = reply.delayMs;
  return reply;
}

std::vector<Reply> FlowSimulator::Receive(std::span<const std::uint8_t> bytes) {
  std::vector<Reply> replies;
  std::vector<RequestRecord> added;
  Observer observer;
  {
    std::lock_guard lock(mutex_);
    const std::int64_t now = now_();
    for (const Frame& frame : parser_.Feed(bytes, now)) {
      RequestRecord record;
      replies.push_back(HandleLocked(frame, now, record));
      requests_.push_back(record);
      added.push_back(std::move(record));
    }
    observer = observer_;
  }
  if (!added.empty()) {
    requestAdded_.notify_all();
    if (observer) {
      for (const RequestRecord& r : added) observer(r);
    }
  }
  return replies;
}

void FlowSimulator::Poll() {
  std::lock_guard lock(mutex_);
  parser_.Expire(now_());
}

std::optional<std::int64_t> FlowSimulator::PartialFrameDeadline() const {
  std::lock_guard lock(mutex_);
  return parser_.Deadline();
}

std::size_t FlowSimulator::DiscardedBytes() const {
  std::lock_guard lock(mutex_);
  return parser_.DiscardedBytes();
}

void FlowSimulator::InjectFault(FaultKind kind, int count, int delayMs) {
  if (count == 0) return;
  std::lock_guard lock(mutex_);
  faults_.push_back(PendingFault{kind, std::nullopt, count, delayMs});
}

void FlowSimulator::InjectFaultAt(FaultKind kind, std::uint16_t address, int count, int delayMs) {
  if (count == 0) return;
  std::lock_guard lock(mutex_);
  faults_.push_back(PendingFault{kind, address, count, delayMs});
}

void FlowSimulator::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::size_t FlowSimulator::PendingFaults() const {
  std::lock_guard lock(mutex_);
  return faults_.size();
}

void FlowSimulator::SetPacing(int baud) {
  std::lock_guard lock(mutex_);
  paceBaud_ = std::max(baud, 0);
}

int FlowSimulator::PacingBaud() const {
  std::lock_guard lock(mutex_);
  return paceBaud_;
}

void FlowSimulator::SetTurnaround(int ms) {
  std::lock_guard lock(mutex_);
  turnaroundMs_ = std::max(ms, 0);
}

int FlowSimulator::Turnaround() const {
  std::lock_guard lock(mutex_);
  return turnaroundMs_;
}

void FlowSimulator::EnablePassword(std::string_view text) {
  std::lock_guard lock(mutex_);
  PutPasswordLocked(text);
}

void FlowSimulator::DisablePassword() {
  std::lock_guard lock(mutex_);
  PutPasswordLocked(std::nullopt);
}

std::vector<RequestRecord> FlowSimulator::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t FlowSimulator::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void FlowSimulator::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool FlowSimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return requestAdded_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void FlowSimulator::SetObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

std::vector<std::uint8_t> FlowSimulator::ReadMemory(std::uint16_t address, std::size_t count) {
  std::lock_guard lock(mutex_);
  UpdateLocked(now_());
  return image_.Read(address, count);
}

void FlowSimulator::WriteMemory(std::uint16_t address, std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  UpdateLocked(now_());
  image_.Write(address, data);
  if (Overlaps(address, data.size(), map::kClock, map::kClockDigits)) StoreLocked(address, data);
}

CivilTime FlowSimulator::DeviceTime() {
  std::lock_guard lock(mutex_);
  const std::int64_t nowMs = now_();
  UpdateLocked(nowMs);
  return CivilFromSeconds(clockBaseSeconds_ +
                          (clockRunning_ ? FloorDiv(nowMs - clockBaseMs_, 1000) : 0));
}

bool FlowSimulator::ClockRunning() {
  std::lock_guard lock(mutex_);
  return clockRunning_;
}

void FlowSimulator::RecordTrendSample() {
  std::lock_guard lock(mutex_);
  const std::int64_t nowMs = now_();
  UpdateLocked(nowMs);
  int newest = image_.Get8(static_cast<std::uint16_t>(map::kTrendHeader + 1));
  if (newest >= map::kTrendBlockCount) newest = map::kTrendBlockCount - 1;
  std::uint16_t block = map::TrendBlock(newest);
  int count = image_.Get8(static_cast<std::uint16_t>(block + 7));
  if (count >= map::kTrendSamples || image_.Get8(block) > 2) {
    newest = (newest + 1) % map::kTrendBlockCount;
    block = map::TrendBlock(newest);
    if (newest == 0) image_.Put8(map::kTrendHeader, 2);
    image_.Put8(static_cast<std::uint16_t>(map::kTrendHeader + 1),
                static_cast<std::uint8_t>(newest));
    const int interval = std::clamp<int>(image_.Get8(map::kTrendSettings + 3), 1, 100);
    const CivilTime t = CivilFromSeconds(
        clockBaseSeconds_ + (clockRunning_ ? FloorDiv(nowMs - clockBaseMs_, 1000) : 0));
    image_.Fill(block, map::kTrendBlockSize, 0xFF);
    const std::uint8_t stamp[8] = {0,
                                   static_cast<std::uint8_t>(interval),
                                   static_cast<std::uint8_t>(t.year % 100),
                                   static_cast<std::uint8_t>(t.month),
                                   static_cast<std::uint8_t>(t.day),
                                   static_cast<std::uint8_t>(t.hour),
                                   static_cast<std::uint8_t>(t.minute),
                                   0};
    image_.Write(block, stamp);
    count = 0;
  }
  const CircuitSnapshot s = processes_[0].At(static_cast<double>(nowMs - startMs_) / 1000.0);
  const bool gas = processes_[0].process().model == DeviceModel::Gas;
  image_.Put16(static_cast<std::uint16_t>(block + 8 + 2 * count),
               static_cast<std::uint16_t>(std::lround(s.temperatureK * 10)));
  image_.Put16(static_cast<std::uint16_t>(block + 128 + 2 * count),
               static_cast<std::uint16_t>(std::lround(s.pressureKpa)));
  image_.PutFloat(static_cast<std::uint16_t>(block + 248 + 4 * count),
                  static_cast<float>(gas ? s.flowOrPower : s.operatingFlow));
  image_.PutFloat(static_cast<std::uint16_t>(block + 488 + 4 * count),
                  static_cast<float>(s.massFlow));
  image_.Put8(static_cast<std::uint16_t>(block + 7), static_cast<std::uint8_t>(count + 1));
}

void FlowSimulator::SetDeviceTime(const CivilTime& time) {
  std::lock_guard lock(mutex_);
  clockBaseSeconds_ = SecondsFromCivil(time);
  clockBaseMs_ = now_();
  clockRunning_ = true;
  UpdateLocked(clockBaseMs_);
}

}  // namespace flowsim
