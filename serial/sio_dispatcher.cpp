#include "serial/sio_dispatcher.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/clock.h"
#include "platform/main_thread.h"
#include "platform/win_errors.h"
#include "serial/sio_errors.h"

namespace serial {
namespace {

std::recursive_mutex g_port_list_lock;
std::vector<TSioBaseDispatcher*> g_port_list;
TSioBaseDispatcher* g_last_dispatcher = nullptr;
int32_t g_last_handle = -1;

std::atomic<uint32_t> g_next_window_handle{1};

constexpr uint32_t kTickMs = 55;
constexpr uint32_t kMaxTicks = 39045157;  // 2^32 ms in 55-ms ticks

uint32_t NowTicks() {
  return platform::GetTickCount() / kTickMs;
}

}  // namespace

void LockPortList() {
  g_port_list_lock.lock();
}
void UnlockPortList() {
  g_port_list_lock.unlock();
}

TSioBaseDispatcher* LookupDispatcher(int32_t handle) {
  std::lock_guard lock(g_port_list_lock);
  if (handle >= 0 && handle == g_last_handle && g_last_dispatcher) return g_last_dispatcher;
  if (handle < 0 || handle >= static_cast<int32_t>(g_port_list.size())) return nullptr;
  TSioBaseDispatcher* d = g_port_list[handle];
  if (d) {
    g_last_dispatcher = d;
    g_last_handle = handle;
  }
  return d;
}

int32_t PortListCount() {
  std::lock_guard lock(g_port_list_lock);
  return static_cast<int32_t>(g_port_list.size());
}

TSioWindow::TSioWindow() : handle_(g_next_window_handle.fetch_add(1)) {}

void TTickTimer::Start(uint32_t ticks) {
  StartTicks = NowTicks();
  ExpireTicks = StartTicks + std::min(ticks, kMaxTicks);
}

bool TTickTimer::Expired() const {
  uint32_t now = NowTicks();
  if (now > ExpireTicks && now >= StartTicks) return true;
  // The millisecond counter wrapped since the start.
  return now < StartTicks && now + kMaxTicks > ExpireTicks;
}

// ---------------------------------------------------------------------------
// Construction and destruction

TSioBaseDispatcher::TSioBaseDispatcher(TSioBaseComponent* owner) : owner_(owner) {
  std::lock_guard lock(g_port_list_lock);
  auto it = std::find(g_port_list.begin(), g_port_list.end(), nullptr);
  if (it == g_port_list.end()) {
    g_port_list.push_back(this);
    handle_ = static_cast<int32_t>(g_port_list.size()) - 1;
  } else {
    *it = this;
    handle_ = static_cast<int32_t>(it - g_port_list.begin());
  }
}

void TSioBaseDispatcher::ShutdownDispatcher() {
  if (shut_down_) return;
  shut_down_ = true;
  if (close_pending_) {
    ReleaseBuffers();
  } else {
    CloseDevice();
  }
  // A thread may be inside a call to the UI thread; keep serving it until all end.
  while (active_threads_ > 0) {
    if (platform::GetMainThread().IsUiThread()) platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TSioBaseDispatcher::~TSioBaseDispatcher() {
  std::lock_guard lock(g_port_list_lock);
  if (handle_ >= 0 && handle_ < static_cast<int32_t>(g_port_list.size()) &&
      g_port_list[handle_] == this) {
    g_port_list[handle_] = nullptr;
  }
  while (!g_port_list.empty() && g_port_list.back() == nullptr) g_port_list.pop_back();
  if (g_last_dispatcher == this) {
    g_last_dispatcher = nullptr;
    g_last_handle = -1;
  }
}

// ---------------------------------------------------------------------------
// Base behaviour of the slots

void TSioBaseDispatcher::ReleaseBuffers() {
  release_after_dispatch_thread_ = false;
  if (threads_running_) StopThreads();
  ReleaseRings();
}

void TSioBaseDispatcher::ReleaseRings() {
  {
    std::lock_guard lock(output_lock_);
    out_ring_.reset();
    out_head_ = out_tail_ = 0;
    out_full_ = false;
  }
  {
    std::lock_guard lock(ring_lock_);
    ring_.reset();
  }
  ring_room_.notify_all();
}

int32_t TSioBaseDispatcher::InputBytesQueued() {
  return 0;
}

void TSioBaseDispatcher::SetPriorityBoost(uint8_t boost) {
  if (priority_boost_ == boost) return;
  priority_boost_ = boost;
  ApplyThreadPriorities();
}

void TSioBaseDispatcher::SetRS485Mode(bool on) {
  {
    std::lock_guard lock(line_lock_);
    rs485_mode_ = on;
  }
  ApplyThreadPriorities();
}

// ---------------------------------------------------------------------------
// Opening and closing

int32_t TSioBaseDispatcher::DeviceFailureCode(int32_t result) const {
  if (result == ecOutOfMemory) return ecOutOfMemory;
  int32_t code = -static_cast<int32_t>(platform::GetLastError());
  // A layer that failed without naming a reason must not look like success.
  if (code == 0) code = result < 0 ? result : -1;
  return code;
}

int32_t TSioBaseDispatcher::OpenDevice(const std::string& name, uint32_t baud, uint32_t parity,
                                       uint32_t data_bits, uint32_t stop_bits, uint32_t input_size,
                                       uint32_t output_size, uint32_t options) {
  ring_pending_ = false;
  ReleaseRings();
  dispatching_ = false;
  deregistration_pending_ = false;
  device_name_ = name;

  for (int i = 0; i < kEventCount; ++i) {
    events_[i] = std::make_unique<TSioEvent>(i == evManual, false);
  }

  platform::SetLastError(0);
  int32_t h = OpenDeviceHandle(name, input_size, output_size);
  int32_t code = 0;
  if (h < 0) {
    code = DeviceFailureCode(h);
  } else {
    device_handle_ = h;
    platform::SetLastError(0);
    if (!SetupDevice(input_size, output_size)) code = DeviceFailureCode(-1);
  }
  if (code == 0) {
    {
      std::lock_guard lock(output_lock_);
      out_ring_.reset(new uint8_t[output_size > 0 ? output_size : 1]());
      out_head_ = out_tail_ = 0;
      out_full_ = false;
    }
    {
      std::lock_guard lock(ring_lock_);
      ring_.reset(new uint8_t[kReceiveRingSize]());
      get_count_ = 0;
      max_get_count_ = 0;
      dispatch_full_ = false;
    }
    input_size_ = input_size;
    output_size_ = output_size;
    error_word_ = 0;
    output_sent_ = false;
    close_pending_ = false;
    last_modem_status_ = 0;
    last_line_error_ = 0;
    rs485_mode_ = false;

    {
      std::lock_guard lock(line_lock_);
      GetDeviceState(dcb_);
    }

    if (options & doDtrHandshake) {
      dtr_auto_ = true;
    } else {
      dtr_auto_ = false;
      SetDTR((options & doDtrOn) != 0);
    }
    if (options & doRtsHandshake) {
      rts_auto_ = true;
    } else {
      rts_auto_ = false;
      SetRTS((options & doRtsOn) != 0);
    }

    RemoveAllTriggers();
    {
      std::lock_guard lock(ring_lock_);
      last_tail_data_ = 0;
      last_tail_length_ = 1;
      ring_write_ = ring_read_ = 0;
      ring_full_ = false;
      notify_tail_ = 0;
      in_avail_notification_ = false;
    }
    ResetStatusTriggers();
    {
      std::lock_guard lock(line_lock_);
      modem_status_ = 0;
    }
    GetModemStatus(0xF0);
    last_baud_ = 115200;

    code = SetLineParams(baud, parity, data_bits, stop_bits);
  }
  if (code != 0) {
    CloseDevice();
    return code;
  }
  RefreshLineErrors();
  trace_.AbortTracing();
  open_time_ = platform::GetTickCount();
  logging_on_ = false;
  log_budget_ = 0;
  StartThreads();
  return 0;
}

void TSioBaseDispatcher::CloseDevice() {
  if (device_handle_ >= 0) {
    FlushOutQueue();
    FlushInQueue();
    CloseDeviceHandle();
  }
  if (dispatching_ && ThreadPresent(TSioThreadKind::Dispatch)) {
    // The dispatch thread is inside a handler; it releases the buffers after it.
    close_pending_ = true;
  } else {
    ReleaseBuffers();
  }
}

// ---------------------------------------------------------------------------
// Line settings

uint32_t TSioBaseDispatcher::ActualBaud(uint32_t code) {
  static constexpr uint32_t kTable[24] = {110,   300, 600, 1200,   2400, 4800, 9600, 14400,
                                          19200, 0,   0,   38400,  0,    0,    0,    56000,
                                          0,     0,   0,   128000, 0,    0,    0,    256000};
  if (code == 0xFEFF) return 115200;
  if (code >= 0xFF10 && code <= 0xFF27) {
    uint32_t v = kTable[code - 0xFF10];
    if (v != 0) return v;
  }
  return code;
}

int32_t TSioBaseDispatcher::SetLineParams(uint32_t baud, uint32_t parity, uint32_t data_bits,
                                          uint32_t stop_bits) {
  TDCB wanted;
  {
    std::lock_guard lock(line_lock_);
    GetDeviceState(dcb_);
    if (stop_bits < 1) stop_bits = 1;
    if (stop_bits > 3) stop_bits = 2;
    wanted = dcb_;
    if (baud != 0) wanted.BaudRate = baud;
    if (parity != 5) wanted.Parity = static_cast<uint8_t>(parity);
    if (data_bits != 9) wanted.ByteSize = static_cast<uint8_t>(data_bits);
    if (wanted.ByteSize == 5) {
      wanted.StopBits = kOne5StopBits;
    } else if (stop_bits != 3) {
      wanted.StopBits = stop_bits == 1 ? kOneStopBit : kTwoStopBits;
    }
    wanted.Flags |= dcbBinary | dcbTXContinueOnXoff;
    wanted.Flags &= ~(dcbParity | dcbDsrSensitivity | dcbNull);
    if (wanted.BaudRate == dcb_.BaudRate && wanted.Parity == dcb_.Parity &&
        wanted.ByteSize == dcb_.ByteSize && wanted.StopBits == dcb_.StopBits &&
        wanted.Flags == dcb_.Flags) {
      return 0;
    }
  }
  DrainAndSettle();
  std::lock_guard lock(line_lock_);
  GetDeviceState(dcb_);
  dcb_.BaudRate = wanted.BaudRate;
  dcb_.Parity = wanted.Parity;
  dcb_.ByteSize = wanted.ByteSize;
  dcb_.StopBits = wanted.StopBits;
  dcb_.Flags = wanted.Flags;
  return ApplyLineState(dcb_);
}

int32_t TSioBaseDispatcher::GetLineParams(uint32_t& baud, uint32_t& parity, uint32_t& data_bits,
                                          uint32_t& stop_bits) {
  std::lock_guard lock(line_lock_);
  int32_t r = GetDeviceState(dcb_);
  baud = ActualBaud(dcb_.BaudRate);
  parity = dcb_.Parity;
  data_bits = dcb_.ByteSize;
  stop_bits = dcb_.StopBits != kOneStopBit ? 2 : 1;
  return r;
}

void TSioBaseDispatcher::DrainAndSettle() {
  for (int polls = 0; polls < 5000 && OutBuffUsed() != 0; ++polls) platform::Sleep(2);
  TDCB dcb;
  {
    std::lock_guard lock(line_lock_);
    GetDeviceState(dcb_);
    dcb = dcb_;
  }
  uint32_t rate = ActualBaud(last_baud_);
  // Nothing was sent at speed 0, so there is nothing to wait for.
  if (rate == 0) return;
  uint64_t bits = dcb.ByteSize + 2u + (dcb.Parity != kNoParity ? 1u : 0u) +
                  (dcb.StopBits != kOneStopBit ? 1u : 0u);
  uint64_t t = (10000000ull / rate) * bits * 18;  // 100-ns units for 18 characters
  if (t < 10000) t *= 2;
  platform::Sleep(static_cast<uint32_t>((t + 9999) / 10000));
}

int32_t TSioBaseDispatcher::ApplyLineState(TDCB& dcb) {
  // Speed 0 hangs the line up; keep the speed last in force instead.
  if (dcb.BaudRate == 0) dcb.BaudRate = last_baud_;
  if (!dtr_auto_) {
    dcb.Flags = (dcb.Flags & ~dcbDtrControlMask) | (dtr_state_ ? dcbDtrEnable : 0);
  }
  if (!rts_auto_) {
    dcb.Flags = (dcb.Flags & ~dcbRtsControlMask) | (rts_state_ ? dcbRtsEnable : 0);
  }
  int32_t r = SetDeviceState(dcb);
  last_baud_ = dcb.BaudRate;
  SetDTR(dtr_state_);
  if (!rs485_mode_) SetRTS(rts_state_);
  return r;
}

int32_t TSioBaseDispatcher::SetDTR(bool on) {
  if (dtr_auto_) return 1;
  int32_t r = EscapeLine(on ? escSetDtr : escClrDtr);
  dtr_state_ = on;
  return r < 0 ? ecBadArgument : r;
}

int32_t TSioBaseDispatcher::SetRTS(bool on) {
  if (rts_auto_) return 1;
  int32_t r = EscapeLine(on ? escSetRts : escClrRts);
  rts_state_ = on;
  return r < 0 ? ecBadArgument : r;
}

// ---------------------------------------------------------------------------
// Modem and line status

uint32_t TSioBaseDispatcher::GetModemStatus(uint32_t mask) {
  uint32_t lines = 0;
  if (!GetDeviceModemStatus(lines)) lines = 0;
  std::lock_guard lock(line_lock_);
  modem_status_ = (lines & 0xF0) | (modem_status_ & 0x0F);
  if (ring_pending_.exchange(false)) modem_status_ |= msTERI;
  uint32_t result = modem_status_ & 0xFF;
  modem_status_ &= mask;
  return result;
}

void TSioBaseDispatcher::UpdateModemStatus() {
  uint32_t old;
  {
    std::lock_guard lock(line_lock_);
    old = modem_status_;
  }
  GetModemStatus(0xFF);
  std::lock_guard lock(line_lock_);
  modem_status_ |= ((old ^ modem_status_) & 0xF0) >> 4;
}

void TSioBaseDispatcher::RefreshLineErrors() {
  int32_t bits;
  {
    std::lock_guard lock(output_lock_);
    bits = GetDeviceErrors(comstat_);
  }
  error_word_.fetch_or(bits & 0x1F);
}

int32_t TSioBaseDispatcher::GetLineError() {
  std::lock_guard lock(line_lock_);
  int32_t word = error_word_.load();
  for (;;) {
    if (word == -1) {
      if (error_word_.compare_exchange_weak(word, 0)) return 10;
      continue;
    }
    int32_t code = 0;
    if (word & ceRxOver) {
      code = 1;
    } else if (word & ceOverrun) {
      code = 2;
    } else if (word & ceRxParity) {
      code = 3;
    } else if (word & ceFrame) {
      code = 4;
    } else if (word & ceBreak) {
      code = 9;
    }
    if (code == 0) return 0;
    // The break bit stays for CheckLineBreak.
    if (error_word_.compare_exchange_weak(word, word & ~0x0F)) return code;
  }
}

bool TSioBaseDispatcher::CheckLineBreak() {
  return (error_word_.fetch_and(~ceBreak) & ceBreak) != 0;
}

// ---------------------------------------------------------------------------
// Receive ring

uint32_t TSioBaseDispatcher::RingCount(uint32_t write, uint32_t read, bool full) {
  if (write == read) return full ? kReceiveRingSize : 0;
  if (write > read) return write - read;
  return write + kReceiveRingSize - read;
}

uint32_t TSioBaseDispatcher::RingCountLocked() const {
  return RingCount(ring_write_, ring_read_, ring_full_);
}

int32_t TSioBaseDispatcher::InBuffUsed() {
  std::lock_guard lock(ring_lock_);
  if (!ring_) return 0;
  uint32_t n = RingCountLocked();
  if (in_avail_notification_) {
    // A receiver sees what it has not taken yet; anyone else what no receiver
    // has taken so far.
    const uint32_t taken = InReceiver() ? get_count_ : std::max(get_count_, max_get_count_);
    n = n > taken ? n - taken : 0;
  }
  return static_cast<int32_t>(n);
}

int32_t TSioBaseDispatcher::PeekRingLocked(uint8_t* buffer, uint32_t offset, uint32_t& new_read,
                                           int32_t count) {
  if (!ring_ || count < 0) return ecBufferIsEmpty;
  uint32_t start = ring_read_ + offset;
  if (start > kReceiveRingSize - 1) start -= kReceiveRingSize;
  if (RingCountLocked() < static_cast<uint32_t>(count)) return ecBufferIsEmpty;
  uint32_t first = std::min<uint32_t>(count, kReceiveRingSize - start);
  std::memcpy(buffer, ring_.get() + start, first);
  std::memcpy(buffer + first, ring_.get(), count - first);
  new_read = start + count;
  if (new_read >= kReceiveRingSize) new_read -= kReceiveRingSize;
  return count;
}

int32_t TSioBaseDispatcher::PeekRing(uint8_t* buffer, uint32_t offset, uint32_t& new_read,
                                     int32_t count) {
  std::lock_guard lock(ring_lock_);
  return PeekRingLocked(buffer, offset, new_read, count);
}

void TSioBaseDispatcher::NoteRingRoomLocked() {
  ring_full_ = false;
  ring_room_.notify_all();
}

int32_t TSioBaseDispatcher::GetBlock(uint8_t* buffer, int32_t count) {
  int32_t r;
  {
    std::unique_lock lock(ring_lock_);
    // A read from outside the receivers of a notification in progress waits for
    // its end: the bytes receivers take are consumed only then, and taking them
    // here as well would deliver them twice. A receiver may be waiting for the UI
    // thread, so the UI thread keeps processing messages meanwhile.
    const bool ui = platform::GetMainThread().IsUiThread();
    while (in_avail_notification_ && !InReceiver()) {
      if (ui) {
        lock.unlock();
        platform::ProcessMessages();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        lock.lock();
      } else {
        notification_done_.wait_for(lock, std::chrono::milliseconds(5));
      }
    }
    uint32_t new_read = 0;
    if (in_avail_notification_) {
      r = PeekRingLocked(buffer, get_count_, new_read, count);
      if (r >= 0) get_count_ += count;
    } else {
      r = PeekRingLocked(buffer, 0, new_read, count);
      if (r >= 0) {
        ring_read_ = new_read;
        if (count > 0) NoteRingRoomLocked();
      }
    }
  }
  if (r > 0 && trace_.TracingOn()) trace_.Add('R', buffer, static_cast<size_t>(r));
  return r;
}

bool TSioBaseDispatcher::WaitForRingRoom(uint32_t timeout_ms) {
  std::unique_lock lock(ring_lock_);
  return ring_room_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] {
    return !ring_ || !ring_full_ || kill_threads_ || close_pending_;
  });
}

int32_t TSioBaseDispatcher::FlushInQueue() {
  int32_t r;
  {
    std::lock_guard lock(ring_lock_);
    r = FlushDevice(1);
    if (ring_) {
      if (in_avail_notification_) {
        max_get_count_ = RingCountLocked();
      } else {
        ring_read_ = ring_write_;
        get_count_ = 0;
      }
    }
    NoteRingRoomLocked();
  }
  ResetDataTriggers();
  return r;
}

int32_t TSioBaseDispatcher::FlushOutQueue() {
  return FlushDevice(0);
}

// ---------------------------------------------------------------------------
// Output

int32_t TSioBaseDispatcher::PutBlock(const uint8_t* data, int32_t count) {
  if (count == 0) return 0;
  if (count < 0) return ecBadArgument;
  int32_t written;
  int32_t result = 0;
  {
    // Room check, copy and full flag in one step, so the writer never sees a
    // full ring whose bytes are not there yet.
    std::lock_guard lock(output_lock_);
    if (!out_ring_) return ecCommNotOpen;
    int32_t free = static_cast<int32_t>(output_size_) - OutputBytesUsed();
    if (free < count) return ecOutputBufferTooSmall;
    written = WriteDevice(data, count);
    if (written < count) {
      error_word_ = GetDeviceErrors(comstat_);
      result = ecPutBlockFail;
    }
    if (written > 0 && written == free) out_full_ = true;
    output_sent_ = true;
  }
  int32_t logged = std::max(written, 0);
  if (logging_on_) AddLogEntry(ltDispatch, lstWriteCom, logged, data, logged);
  if (logged > 0 && trace_.TracingOn()) trace_.Add('T', data, static_cast<size_t>(logged));
  return result;
}

int32_t TSioBaseDispatcher::OutBuffUsed() {
  std::lock_guard lock(output_lock_);
  RefreshLineErrors();
  return static_cast<int32_t>(comstat_.OutQueue);
}

int32_t TSioBaseDispatcher::OutBuffFree() {
  return static_cast<int32_t>(output_size_) - OutBuffUsed();
}

// ---------------------------------------------------------------------------
// Flow control

int32_t TSioBaseDispatcher::SetHWFlowOptions(uint32_t buffer_full, uint32_t buffer_resume,
                                             uint32_t options) {
  if (buffer_full < buffer_resume || buffer_full > input_size_) return ecBadArgument;
  std::lock_guard lock(line_lock_);
  GetDeviceState(dcb_);
  dcb_.Flags &= ~(dcbOutxCtsFlow | dcbOutxDsrFlow | dcbDtrControlMask | dcbRtsControlMask);
  dtr_auto_ = false;
  rts_auto_ = false;
  if (options & hfUseDTR) {
    dcb_.Flags |= dcbDtrHandshake;
    dtr_auto_ = true;
  } else if (dtr_state_) {
    dcb_.Flags |= dcbDtrEnable;
  }
  if (options & hfUseRTS) {
    dcb_.Flags |= dcbRtsHandshake;
    rts_auto_ = true;
  } else if (rts_state_) {
    dcb_.Flags |= dcbRtsEnable;
  }
  if (rs485_mode_) {
    dcb_.Flags = (dcb_.Flags & ~dcbRtsControlMask) | dcbRtsToggle;
    rts_auto_ = true;
  }
  dcb_.XoffLim = static_cast<uint16_t>(input_size_ - buffer_full);
  dcb_.XonLim = static_cast<uint16_t>(buffer_resume);
  if (options & hfRequireDSR) dcb_.Flags |= dcbOutxDsrFlow;
  if (options & hfRequireCTS) dcb_.Flags |= dcbOutxCtsFlow;
  return ApplyLineState(dcb_);
}

int32_t TSioBaseDispatcher::SetSWFlowOptions(uint32_t buffer_full, uint32_t buffer_resume,
                                             uint32_t options) {
  if (buffer_full < buffer_resume || buffer_full > input_size_) return ecBadArgument;
  std::lock_guard lock(line_lock_);
  GetDeviceState(dcb_);
  if (options & sfReceiveFlow) {
    dcb_.Flags |= dcbInX;
    dcb_.XoffLim = static_cast<uint16_t>(input_size_ - buffer_full);
    dcb_.XonLim = static_cast<uint16_t>(buffer_resume);
    dcb_.XonChar = 17;
    dcb_.XoffChar = 19;
  }
  if (options & sfTransmitFlow) {
    dcb_.Flags |= dcbOutX;
    dcb_.XonChar = 17;
    dcb_.XoffChar = 19;
  }
  return ApplyLineState(dcb_);
}

int32_t TSioBaseDispatcher::SWFlowDisable() {
  std::lock_guard lock(line_lock_);
  GetDeviceState(dcb_);
  dcb_.Flags &= ~(dcbInX | dcbOutX);
  return ApplyLineState(dcb_);
}

int32_t TSioBaseDispatcher::SetFlowChars(char xon, char xoff) {
  std::lock_guard lock(line_lock_);
  GetDeviceState(dcb_);
  dcb_.XonChar = xon;
  dcb_.XoffChar = xoff;
  return ApplyLineState(dcb_);
}

int32_t TSioBaseDispatcher::GetFlowOptions(uint32_t& hw_options, uint32_t& sw_options, char& xoff,
                                           char& xon) {
  std::lock_guard lock(line_lock_);
  int32_t r = GetDeviceState(dcb_);
  hw_options = 0;
  if ((dcb_.Flags & dcbDtrControlMask) == dcbDtrHandshake) hw_options |= hfUseDTR;
  if ((dcb_.Flags & dcbRtsControlMask) == dcbRtsHandshake) hw_options |= hfUseRTS;
  if (dcb_.Flags & dcbOutxDsrFlow) hw_options |= hfRequireDSR;
  if (dcb_.Flags & dcbOutxCtsFlow) hw_options |= hfRequireCTS;
  sw_options = 0;
  if (dcb_.Flags & dcbInX) sw_options |= sfReceiveFlow;
  if (dcb_.Flags & dcbOutX) sw_options |= sfTransmitFlow;
  xoff = dcb_.XoffChar;
  xon = dcb_.XonChar;
  return r;
}

// ---------------------------------------------------------------------------
// Threads

void TSioBaseDispatcher::MarkThreadCreated(TSioThreadKind kind) {
  thread_present_[static_cast<int>(kind)] = true;
}

bool TSioBaseDispatcher::ThreadPresent(TSioThreadKind kind) const {
  return thread_present_[static_cast<int>(kind)];
}

void TSioBaseDispatcher::ThreadStarted(TSioThreadKind kind) {
  thread_present_[static_cast<int>(kind)] = true;
  ++active_threads_;
  if (events_[evStart]) events_[evStart]->Set();
}

void TSioBaseDispatcher::ThreadFinished(TSioThreadKind kind, int32_t result) {
  if (result == ecDeviceRead || result == ecDeviceWrite) {
    error_word_ = -1;
    CheckStatusTriggers();
  } else if (result < 0) {
    try {
      RaiseForCode(owner_, result);
    } catch (...) {
      // No caller can catch it here; the UI thread shows it.
      std::exception_ptr error = std::current_exception();
      platform::GetMainThread().Post([error] { ShowException(error); });
    }
  }
  thread_present_[static_cast<int>(kind)] = false;
  if (kind == TSioThreadKind::Dispatch && release_after_dispatch_thread_) {
    ReleaseBuffers();
    release_after_dispatch_thread_ = false;
  }
  if (--active_threads_ == 0) threads_running_ = false;
}

}  // namespace serial
