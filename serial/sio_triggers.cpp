// Filling the receive ring, the trigger checks and the delivery of trigger events.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/main_thread.h"
#include "serial/sio_dispatcher.h"
#include "serial/sio_errors.h"

namespace serial {
namespace {

constexpr int32_t kMaxTriggerNumber = 0xFFFF >> 3;  // handles travel as 16-bit values

// The dispatcher whose receiver the calling thread is running, if any.
thread_local const TSioBaseDispatcher* t_receiver_of = nullptr;

}  // namespace

TSioBaseDispatcher::TReceiverScope::TReceiverScope(const TSioBaseDispatcher* d)
    : previous_(t_receiver_of) {
  t_receiver_of = d;
}

TSioBaseDispatcher::TReceiverScope::~TReceiverScope() {
  t_receiver_of = previous_;
}

bool TSioBaseDispatcher::InReceiver() const {
  return t_receiver_of == this;
}

// ---------------------------------------------------------------------------
// Filling the ring

bool TSioBaseDispatcher::FillReceiveBuffer() {
  std::lock_guard lock(ring_lock_);
  if (!ring_) return false;
  if (ring_full_) {
    int32_t waiting = InputBytesQueued();
    // Once per episode: a full ring lasts for many cycles.
    if (!dispatch_full_ && logging_on_) {
      static constexpr char kText[] = "Dispatch buffer full.";
      AddLogEntry(ltDispatch, lstStatus, sizeof kText - 1, kText, 0);
    }
    dispatch_full_ = true;
    return waiting > 0;
  }
  dispatch_full_ = false;
  int32_t n = InputBytesQueued();
  input_count_ = static_cast<uint32_t>(std::max(n, 0));
  if (n <= 0) return false;

  uint32_t first;
  uint32_t total;
  if (ring_write_ == ring_read_) {
    first = kReceiveRingSize - ring_write_;
    total = kReceiveRingSize;
  } else if (ring_read_ > ring_write_) {
    first = total = ring_read_ - ring_write_;
  } else {
    first = kReceiveRingSize - ring_write_;
    total = ring_read_ + kReceiveRingSize - ring_write_;
  }
  total = std::min<uint32_t>(total, static_cast<uint32_t>(n));
  first = std::min(first, total);
  uint32_t second = total - first;

  auto read_piece = [this](uint32_t count) -> uint32_t {
    uint8_t* at = ring_.get() + ring_write_;
    int32_t got = ReadDevice(at, static_cast<int32_t>(count));
    if (got < 0) {
      GetDeviceEventMask(-1);
      got = 0;  // a failed read moved nothing
    }
    uint32_t moved = std::min<uint32_t>(static_cast<uint32_t>(got), count);
    if (logging_on_) AddLogEntry(ltDispatch, lstReadCom, moved, at, moved);
    ring_write_ += moved;
    return moved;
  };

  if (first > 0) {
    uint32_t got = read_piece(first);
    if (got < first) second = 0;
    if (ring_write_ >= kReceiveRingSize) ring_write_ = 0;
    if (got > 0) ring_full_ = ring_write_ == ring_read_;
  }
  if (second > 0) {
    uint32_t got = read_piece(second);
    if (got > 0) ring_full_ = ring_write_ == ring_read_;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Data triggers

bool TSioBaseDispatcher::MatchDataTrigger(TDataTrigger& t, uint8_t ch) {
  if (t.IgnoreCase) ch = static_cast<uint8_t>(std::toupper(ch));
  const uint32_t len = std::min<uint32_t>(t.Length, kMaxDataTriggerLength);
  const uint8_t first = static_cast<uint8_t>(t.Pattern[0]);
  bool started = false;
  bool restarted = false;
  for (uint32_t i = 0; i < len; ++i) {
    if (i > 0 && t.Counters[i] == 0 && (started || ch != first)) continue;
    uint32_t& c = t.Counters[i];
    if (ch == static_cast<uint8_t>(t.Pattern[c])) {
      if (c == 0) started = true;
      if (++c == len) {
        t.Counters.fill(0);
        return true;
      }
    } else if (ch == first && !restarted) {
      c = 1;
      restarted = true;
      started = true;
    } else {
      c = 0;
    }
  }
  return false;
}

bool TSioBaseDispatcher::CheckReceivedData() {
  uint32_t pos;
  uint32_t write;
  uint32_t read;
  std::vector<uint8_t> fresh;
  {
    std::lock_guard lock(ring_lock_);
    if (!ring_) return false;
    pos = last_tail_data_;
    write = ring_write_;
    read = ring_read_;
    uint32_t n = (write + kReceiveRingSize - pos) % kReceiveRingSize;
    fresh.resize(n);
    for (uint32_t i = 0; i < n; ++i) fresh[i] = ring_[(pos + i) % kReceiveRingSize];
  }
  bool result = false;
  bool have_data_triggers;
  {
    std::lock_guard lock(line_lock_);
    have_data_triggers = !data_triggers_.empty();
  }
  const uint32_t avail_length = AvailTriggerLength();
  if (have_data_triggers) {
    for (uint32_t i = 0; i < fresh.size(); ++i) {
      const uint32_t at = (pos + i) % kReceiveRingSize;
      struct Hit {
        int32_t handle;
        uint32_t length;
      };
      std::vector<Hit> hits;
      uint32_t longest = 0;
      {
        std::lock_guard lock(line_lock_);
        for (auto& t : data_triggers_) {
          if (t.Length == 0) continue;
          if (MatchDataTrigger(t, fresh[i])) t.Matched = 1;
          if (t.Matched) longest = std::max(longest, t.Length);
        }
        for (auto it = data_triggers_.rbegin(); it != data_triggers_.rend(); ++it) {
          if (it->Matched) {
            hits.push_back({it->Handle, it->Length});
            it->Matched = 0;
          }
        }
      }
      if (hits.empty()) continue;
      uint32_t notify_tail;
      {
        std::lock_guard lock(ring_lock_);
        notify_tail = notify_tail_;
      }
      uint32_t held = (at + 1 + kReceiveRingSize - read) % kReceiveRingSize;
      if (held == 0) held = kReceiveRingSize;
      uint32_t before = held > longest ? held - longest : 0;
      if (avail_length != 0 && at != notify_tail && before >= avail_length) {
        AddLogEntry(ltTrigger, lstAvail, 0, nullptr, before);
        {
          std::lock_guard lock(ring_lock_);
          last_tail_data_ = notify_tail_ = at;
        }
        result = DispatchEvent(TriggerAvailMessage, before, 0);
      }
      for (const Hit& h : hits) {
        AddLogEntry(ltTrigger, lstData, 0, nullptr, static_cast<uint32_t>(h.handle));
        result = DispatchEvent(TriggerDataMessage, static_cast<uint32_t>(h.handle), h.length);
      }
      std::lock_guard lock(ring_lock_);
      last_tail_data_ = (at + 1) % kReceiveRingSize;
    }
  }
  uint32_t notify_tail;
  {
    std::lock_guard lock(ring_lock_);
    last_tail_data_ = write;
    notify_tail = notify_tail_;
  }
  if (avail_length != 0 && write != notify_tail) {
    int32_t used = InBuffUsed();
    if (used >= static_cast<int32_t>(avail_length)) {
      AddLogEntry(ltTrigger, lstAvail, 0, nullptr, static_cast<uint32_t>(used));
      {
        std::lock_guard lock(ring_lock_);
        notify_tail_ = write;
      }
      result = DispatchEvent(TriggerAvailMessage, static_cast<uint32_t>(used), 0);
    }
  }
  return result;
}

void TSioBaseDispatcher::ResetDataTriggers() {
  std::lock_guard lock(line_lock_);
  for (auto& t : data_triggers_) {
    t.Counters.fill(0);
    t.Matched = 0;
  }
}

// ---------------------------------------------------------------------------
// Status and timer triggers

bool TSioBaseDispatcher::CheckStatusTriggers() {
  bool need_levels = false;
  {
    std::lock_guard lock(line_lock_);
    for (const auto& t : status_triggers_) {
      if (t.Active && !t.Fired && (t.Type == stOutBuffFree || t.Type == stOutBuffUsed)) {
        need_levels = true;
      }
    }
  }
  // The output levels take the output lock, so read them before the line lock.
  int32_t used = need_levels ? OutBuffUsed() : 0;
  int32_t free = static_cast<int32_t>(output_size_) - used;
  int32_t handle = 0;
  uint32_t data = 0;
  {
    std::lock_guard lock(line_lock_);
    TStatusTrigger* hit = nullptr;
    for (auto& t : status_triggers_) {
      if (!t.Active || t.Fired) continue;
      bool holds = false;
      switch (t.Type) {
        case stModem:
          holds = (((t.Data & 0xFF) ^ modem_status_) & (t.Data >> 8)) != 0;
          break;
        case stLine: {
          int32_t word = error_word_.load();
          if ((t.Data & word) != 0) {
            holds = true;
            t.Data = static_cast<uint16_t>(word);
          }
          break;
        }
        case stOutBuffFree:
          holds = free >= static_cast<int32_t>(t.Data);
          if (holds) data = static_cast<uint32_t>(free);
          break;
        case stOutBuffUsed:
          holds = used <= static_cast<int32_t>(t.Data);
          if (holds) data = static_cast<uint32_t>(used);
          break;
        case stOutSent:
          holds = output_sent_.exchange(false);
          break;
        default:
          break;
      }
      if (holds) {
        hit = &t;
        break;
      }
    }
    if (!hit) return false;
    hit->Active = false;
    hit->Fired = true;
    global_status_hit_ = true;
    handle = hit->Handle;
  }
  AddLogEntry(ltTrigger, lstStatus, 0, nullptr, static_cast<uint32_t>(handle));
  return DispatchEvent(TriggerStatusMessage, static_cast<uint32_t>(handle), data);
}

bool TSioBaseDispatcher::CheckTimerTriggers() {
  int32_t handle = 0;
  {
    std::lock_guard lock(line_lock_);
    auto it = std::find_if(timer_triggers_.begin(), timer_triggers_.end(),
                           [](const TTimerTrigger& t) { return t.Active && t.Timer.Expired(); });
    if (it == timer_triggers_.end()) return false;
    it->Active = false;
    handle = it->Handle;
  }
  AddLogEntry(ltTrigger, lstTimer, 0, nullptr, static_cast<uint32_t>(handle));
  return DispatchEvent(TriggerTimerMessage, static_cast<uint32_t>(handle), 0);
}

void TSioBaseDispatcher::ResetStatusTriggers() {
  std::lock_guard lock(line_lock_);
  for (auto& t : status_triggers_) t.Fired = false;
  global_status_hit_ = false;
}

// ---------------------------------------------------------------------------
// Delivery

void TSioBaseDispatcher::NoteGetCount() {
  std::lock_guard lock(ring_lock_);
  max_get_count_ = std::max(max_get_count_, get_count_);
}

bool TSioBaseDispatcher::CallHandler(ProcEntry* entry, uint32_t msg, uint32_t value,
                                     uint32_t lparam) {
  {
    std::lock_guard lock(line_lock_);
    if (entry->Deleted) return false;
  }
  {
    std::lock_guard lock(ring_lock_);
    get_count_ = 0;
  }
  if (entry->Synchronize) {
    platform::GetMainThread().Send(
        [this, entry, msg, value, lparam] {
          {
            std::lock_guard lock(line_lock_);
            if (entry->Deleted) return;
          }
          TReceiverScope receiver(this);
          entry->Proc(msg, value, lparam);
        },
        kInfinite);
  } else {
    TReceiverScope receiver(this);
    entry->Proc(msg, value, lparam);
  }
  NoteGetCount();
  return true;
}

bool TSioBaseDispatcher::DispatchEvent(uint32_t msg, uint32_t value, uint32_t data) {
  if (!handler_service_needed_) return true;
  std::vector<ProcEntry*> events;
  std::vector<ProcEntry*> procs;
  std::vector<WindowEntry*> windows;
  bool send_to_windows;
  {
    std::lock_guard lock(line_lock_);
    dispatching_ = true;
    // Entries are not freed while dispatching, so the copies stay valid.
    for (auto& e : event_handlers_) events.push_back(e.get());
    for (auto& e : proc_handlers_) procs.push_back(e.get());
    for (auto& e : window_handlers_) windows.push_back(e.get());
    send_to_windows = window_handlers_.size() > 1 || port_handler_installed_;
    // Nobody to tell: no notification, so that no read is taken as a receiver's.
    if (events.empty() && procs.empty() && (!send_to_windows || windows.empty())) {
      dispatching_ = false;
      return true;
    }
  }
  const bool avail = msg == TriggerAvailMessage || msg == TriggerDataMessage;
  {
    std::lock_guard lock(ring_lock_);
    max_get_count_ = 0;
    in_avail_notification_ = avail;
  }
  const uint32_t lparam = data + (static_cast<uint32_t>(handle_) << 16);
  bool result = true;
  bool stopped = false;

  for (ProcEntry* e : events) {
    if (CallHandler(e, msg, value, lparam) && close_pending_) {
      stopped = true;
      break;
    }
  }
  if (!stopped) {
    for (ProcEntry* e : procs) {
      if (CallHandler(e, msg, value, lparam) && close_pending_) {
        stopped = true;
        break;
      }
    }
  }
  if (!stopped && send_to_windows) {
    for (WindowEntry* w : windows) {
      {
        std::lock_guard lock(line_lock_);
        if (w->Deleted) continue;
      }
      {
        std::lock_guard lock(ring_lock_);
        get_count_ = 0;
      }
      // A window that does not answer in time is skipped. One deregistered
      // meanwhile is not called: it may be gone by the time the call runs.
      platform::GetMainThread().Send(
          [this, w, msg, value, lparam] {
            {
              std::lock_guard lock(line_lock_);
              if (w->Deleted) return;
            }
            TReceiverScope receiver(this);
            w->Window->WindowProc(msg, value, lparam);
          },
          kWindowSendTimeoutMs);
      NoteGetCount();
      if (close_pending_) {
        stopped = true;
        break;
      }
    }
  }

  {
    std::lock_guard lock(ring_lock_);
    if (stopped) {
      result = false;
    } else if (in_avail_notification_) {
      if (ring_) {
        ring_read_ += max_get_count_;
        if (ring_read_ >= kReceiveRingSize) ring_read_ -= kReceiveRingSize;
        if (max_get_count_ != 0) NoteRingRoomLocked();
      }
      if (msg == TriggerAvailMessage && max_get_count_ != value) result = false;
    }
    in_avail_notification_ = false;
  }
  notification_done_.notify_all();
  {
    std::lock_guard lock(line_lock_);
    dispatching_ = false;
    if (deregistration_pending_) {
      auto drop_deleted = [](auto& list) {
        for (size_t i = list.size(); i-- > 0;) {
          if (list[i]->Deleted) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        }
      };
      drop_deleted(window_handlers_);
      drop_deleted(proc_handlers_);
      drop_deleted(event_handlers_);
      deregistration_pending_ = false;
      SetHandlerMode(0);
    }
  }
  {
    std::lock_guard lock(ring_lock_);
    get_count_ = 0;
  }
  return result;
}

// ---------------------------------------------------------------------------
// Receivers

void TSioBaseDispatcher::SetHandlerMode(int32_t mode) {
  std::lock_guard lock(line_lock_);
  SetHandlerModeLocked(mode);
}

void TSioBaseDispatcher::SetHandlerModeLocked(int32_t mode) {
  const bool others =
      window_handlers_.size() > 1 || !proc_handlers_.empty() || !event_handlers_.empty();
  switch (mode) {
    case 0:
      handler_service_needed_ = others || port_handler_installed_;
      break;
    case 1:
      port_handler_installed_ = true;
      handler_service_needed_ = true;
      break;
    case 2:
      port_handler_installed_ = false;
      handler_service_needed_ = others;
      break;
    default:
      break;
  }
}

void TSioBaseDispatcher::RegisterWindowHandler(TSioWindow* window) {
  std::lock_guard lock(line_lock_);
  window_handlers_.push_back(std::make_unique<WindowEntry>(WindowEntry{window}));
  handler_service_needed_ = true;
  AddLogEntry(ltTrgHdAlc, lstWindow, 0, nullptr, window->Handle());
}

void TSioBaseDispatcher::DeregisterWindowHandler(TSioWindow* window) {
  std::lock_guard lock(line_lock_);
  auto it = std::find_if(window_handlers_.begin(), window_handlers_.end(),
                         [&](const auto& e) { return e->Window == window && !e->Deleted; });
  if (it == window_handlers_.end()) {
    SetHandlerMode(0);
    return;
  }
  AddLogEntry(ltTrgHdDsp, lstWindow, 0, nullptr, window->Handle());
  if (dispatching_) {
    (*it)->Deleted = true;
    deregistration_pending_ = true;
  } else {
    window_handlers_.erase(it);
  }
}

int32_t TSioBaseDispatcher::RegisterProcHandler(TSioTriggerProc proc) {
  std::lock_guard lock(line_lock_);
  int32_t id = next_handler_id_++;
  proc_handlers_.push_back(std::make_unique<ProcEntry>(ProcEntry{id, std::move(proc)}));
  SetHandlerMode(0);
  return id;
}

int32_t TSioBaseDispatcher::RegisterEventHandler(TSioTriggerProc method, bool synchronize) {
  std::lock_guard lock(line_lock_);
  int32_t id = next_handler_id_++;
  event_handlers_.push_back(
      std::make_unique<ProcEntry>(ProcEntry{id, std::move(method), false, synchronize}));
  SetHandlerMode(0);
  return id;
}

void TSioBaseDispatcher::DeregisterProcHandler(int32_t id) {
  std::lock_guard lock(line_lock_);
  for (auto* list : {&proc_handlers_, &event_handlers_}) {
    auto it = std::find_if(list->begin(), list->end(),
                           [&](const auto& e) { return e->Id == id && !e->Deleted; });
    if (it == list->end()) continue;
    if (dispatching_) {
      (*it)->Deleted = true;
      deregistration_pending_ = true;
    } else {
      list->erase(it);
      SetHandlerMode(0);
    }
    return;
  }
}

void TSioBaseDispatcher::DeregisterEventHandler(int32_t id) {
  DeregisterProcHandler(id);
}

// ---------------------------------------------------------------------------
// Trigger lists

void TSioBaseDispatcher::SetAvailTriggerLength(uint32_t n) {
  std::lock_guard lock(line_lock_);
  avail_trigger_length_ = n;
  AddLogEntry(ltTrDatChg, lstAvail, 0, nullptr, n);
}

uint32_t TSioBaseDispatcher::AvailTriggerLength() const {
  std::lock_guard lock(line_lock_);
  return avail_trigger_length_;
}

int32_t TSioBaseDispatcher::NewTriggerHandle(uint8_t low_bits) {
  if (next_trigger_handle_ > kMaxTriggerNumber) return ecNoMoreTriggers;
  return (next_trigger_handle_++ << 3) | low_bits;
}

int32_t TSioBaseDispatcher::AddDataTrigger(std::string_view pattern, bool ignore_case) {
  if (pattern.empty()) return ecBadArgument;
  if (pattern.size() > static_cast<size_t>(kMaxDataTriggerLength)) return ecTriggerTooLong;
  std::lock_guard lock(line_lock_);
  int32_t handle = NewTriggerHandle(0);
  if (handle < 0) return handle;
  TDataTrigger t;
  t.Handle = handle;
  t.Length = static_cast<uint32_t>(pattern.size());
  t.IgnoreCase = ignore_case ? 1 : 0;
  t.Pattern.assign(pattern);
  if (ignore_case) {
    for (char& c : t.Pattern) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  data_triggers_.push_back(std::move(t));
  return handle;
}

int32_t TSioBaseDispatcher::AddTimerTrigger() {
  std::lock_guard lock(line_lock_);
  int32_t handle = NewTriggerHandle(0);
  if (handle < 0) return handle;
  TTimerTrigger t;
  t.Handle = handle;
  timer_triggers_.push_back(t);
  return handle;
}

int32_t TSioBaseDispatcher::AddStatusTrigger(uint8_t type) {
  if (type < stModem || type > stOutSent) return ecBadArgument;
  std::lock_guard lock(line_lock_);
  int32_t handle = NewTriggerHandle(type);
  if (handle < 0) return handle;
  TStatusTrigger t;
  t.Handle = handle;
  t.Type = type;
  status_triggers_.push_back(t);
  return handle;
}

int32_t TSioBaseDispatcher::SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate) {
  std::lock_guard lock(line_lock_);
  for (auto& t : timer_triggers_) {
    if (t.Handle != handle) continue;
    if (activate) t.Timer.Start(ticks);
    t.Active = activate;
    return 0;
  }
  return ecBadTriggerHandle;
}

int32_t TSioBaseDispatcher::SetStatusTrigger(int32_t handle, uint16_t data, bool activate) {
  std::lock_guard lock(line_lock_);
  for (auto& t : status_triggers_) {
    if (t.Handle != handle) continue;
    t.Data = data;
    t.Active = activate;
    t.Fired = false;
    // An output-sent trigger waits for output after it was armed.
    if (activate && t.Type == stOutSent) output_sent_ = false;
    return 0;
  }
  return ecBadTriggerHandle;
}

int32_t TSioBaseDispatcher::RemoveTrigger(int32_t handle) {
  std::lock_guard lock(line_lock_);
  auto drop = [handle](auto& list) {
    auto it = std::find_if(list.begin(), list.end(),
                           [handle](const auto& t) { return t.Handle == handle; });
    if (it == list.end()) return false;
    list.erase(it);
    return true;
  };
  if (drop(timer_triggers_) || drop(data_triggers_) || drop(status_triggers_)) return 0;
  return ecBadTriggerHandle;
}

void TSioBaseDispatcher::RemoveAllTriggers() {
  std::lock_guard lock(line_lock_);
  avail_trigger_length_ = 0;
  timer_triggers_.clear();
  data_triggers_.clear();
  status_triggers_.clear();
  next_trigger_handle_ = 1;
}

void TSioBaseDispatcher::SaveTriggers(TTriggerSave& record) {
  std::lock_guard lock(line_lock_);
  FreeSavedTriggers(record);
  record.AvailLength = avail_trigger_length_;
  record.Timers = timer_triggers_;
  record.Data = data_triggers_;
  record.Status = status_triggers_;
}

void TSioBaseDispatcher::RestoreTriggers(const TTriggerSave& record) {
  std::lock_guard lock(line_lock_);
  avail_trigger_length_ = record.AvailLength;
  timer_triggers_.clear();
  data_triggers_.clear();
  status_triggers_.clear();
  int32_t highest = 0;
  if (record.Timers) {
    for (const auto& t : *record.Timers) {
      timer_triggers_.push_back(t);
      highest = std::max(highest, t.Handle >> 3);
    }
  }
  if (record.Data) {
    for (const auto& t : *record.Data) {
      data_triggers_.push_back(t);
      highest = std::max(highest, t.Handle >> 3);
    }
  }
  if (record.Status) {
    for (const auto& t : *record.Status) {
      status_triggers_.push_back(t);
      highest = std::max(highest, t.Handle >> 3);
    }
  }
  // New triggers must not reuse the handles of restored ones.
  next_trigger_handle_ = std::max(next_trigger_handle_, highest + 1);
}

void TSioBaseDispatcher::FreeSavedTriggers(TTriggerSave& record) {
  record.Timers.reset();
  record.Data.reset();
  record.Status.reset();
}

}  // namespace serial
