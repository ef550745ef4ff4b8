#include "serial/sio_port.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <stdexcept>

#include "platform/main_thread.h"
#include "serial/sio_errors.h"
#include "serial/sio_win32_dispatcher.h"

namespace serial {
namespace {

std::mutex g_dialog_mutex;
TPortSelectionDialog g_dialog;

// Raises the exception of a code whatever the loading state.
[[noreturn]] void Raise(int32_t code) {
  RaiseForCode(nullptr, code);
  throw ESioException(code);  // not reached: every negative code raises
}

TTraceLogState ClosedRule(TTraceLogState v) {
  return v == tlOff || v == tlOn ? v : tlOff;
}

struct PortListGuard {
  PortListGuard() { LockPortList(); }
  ~PortListGuard() { UnlockPortList(); }
};

std::string ComName(uint16_t n) {
  return "\\\\.\\COM" + std::to_string(n);
}

}  // namespace

void SetPortSelectionDialog(TPortSelectionDialog dialog) {
  std::lock_guard lock(g_dialog_mutex);
  g_dialog = std::move(dialog);
}

// The port's receiver of trigger messages on the UI thread.
class TSioCustomComPort::TComWindow : public TSioWindow {
 public:
  explicit TComWindow(TSioCustomComPort& port) : port_(port) {}
  void WindowProc(uint32_t msg, uint32_t wparam, uint32_t lparam) override {
    port_.ComWindowProc(msg, wparam, lparam);
  }

 private:
  TSioCustomComPort& port_;
};

// ---------------------------------------------------------------------------
// Construction

TSioCustomComPort::TSioCustomComPort(void* owner) : owner_(owner) {}

TSioCustomComPort::~TSioCustomComPort() {
  try {
    if (phase_ == ppOpen) ClosePort();
  } catch (...) {
    // The close itself has completed; what failed on the way is only reported.
    try {
      ShowException(std::current_exception());
    } catch (...) {
    }
  }
  // A deferred close still in progress ends here: the dispatcher joins its threads.
  try {
    if (window_ && dispatcher_) dispatcher_->DeregisterWindowHandler(window_.get());
    dispatcher_.reset();
  } catch (...) {
  }
  window_.reset();
  TSioBaseDispatcher::FreeSavedTriggers(saved_triggers_);
}

// ---------------------------------------------------------------------------
// Helpers

bool TSioCustomComPort::DeviceFailed() const {
  auto* d = dynamic_cast<TSioWin32Dispatcher*>(dispatcher_.get());
  return d && d->DeviceFailed();
}

bool TSioCustomComPort::DataOperationsBlocked() const {
  return phase_ == ppClosing;
}

TSioBaseDispatcher* TSioCustomComPort::ActiveDispatcher() {
  if (!dispatcher_ && !Designing() && !Loading() && !open_ && auto_open_) SetOpen(true);
  return dispatcher_.get();
}

TSioBaseDispatcher* TSioCustomComPort::RequireDispatcher() {
  TSioBaseDispatcher* d = ActiveDispatcher();
  if (!d) Raise(ecCommNotOpen);
  return d;
}

// ---------------------------------------------------------------------------
// Opening

void TSioCustomComPort::SetOpen(bool value) {
  if (value == open_) return;
  if (Designing() || Loading()) {
    open_ = value;
    open_after_load_ = value;
    return;
  }
  if (!value) {
    ClosePort();
  } else if (phase_ != ppClosed) {
    open_pending_ = true;
  } else {
    OpenPort();
  }
}

void TSioCustomComPort::Loaded() {
  SetLoading(false);
  if (!open_after_load_) return;
  open_after_load_ = false;
  open_ = false;
  try {
    OpenPort();
  } catch (...) {
    open_ = false;
    ShowException(std::current_exception());
  }
}

void TSioCustomComPort::CheckComNumber() {
  if (com_number_ != 0) return;
  if (!prompt_for_port_) Raise(ecNoPortSelected);
  TPortSelectionDialog dialog;
  {
    std::lock_guard lock(g_dialog_mutex);
    dialog = g_dialog;
  }
  uint16_t chosen = 0;
  if (!dialog || !dialog(chosen) || chosen == 0) Raise(ecNoPortSelected);
  com_number_ = chosen;
}

void TSioCustomComPort::CreateDispatcher() {
  if (factory_) {
    dispatcher_ = factory_(*this);
    if (!dispatcher_) Raise(ecNullApi);
  } else if (device_layer_ != dlWin32) {
    Raise(ecNullApi);
  } else if (tapi_mode_ == tmOn) {
    // A port opened by a telephony program has no counterpart here.
    Raise(ecNotOpenedByTapi);
  } else {
    dispatcher_ = std::make_unique<TSioWin32Dispatcher>(this);
  }
  dispatcher_->SetDeviceName(ComName(com_number_));
}

void TSioCustomComPort::OpenDispatcher() {
  uint32_t flags = 0;
  if (dtr_) flags |= doDtrOn;
  if (rts_) flags |= doRtsOn;
  if (hw_flow_options_.Contains(hwfUseDTR)) flags |= doDtrHandshake;
  if (hw_flow_options_.Contains(hwfUseRTS)) flags |= doRtsHandshake;
  const std::string name = tapi_mode_ == tmOn ? std::string() : dispatcher_->DeviceName();
  int32_t r = dispatcher_->OpenDevice(name, static_cast<uint32_t>(baud_), parity_, data_bits_,
                                      stop_bits_, in_size_, out_size_, flags);
  if (r == 0) return;
  if (r == ecAccessDenied) {
    auto* d = dynamic_cast<TSioWin32Dispatcher*>(dispatcher_.get());
    if (d && d->OpenFailure() == platform::CommOpenFailure::kPermissionDenied) {
      throw EInOutError("Access to the serial port COM" + std::to_string(com_number_) + " (" +
                            d->DevicePath() +
                            ") was denied. Check that your user is a member of the group "
                            "\"dialout\" and log in again.",
                        5);
    }
    r = ecAlreadyOpen;
  } else if (r == ecFileNotFound || r == ecPathNotFound) {
    r = ecBadId;
  }
  Raise(r);
}

void TSioCustomComPort::OpenPort() {
  if (tapi_mode_ != tmOn) CheckComNumber();
  try {
    CreateDispatcher();
    if (tapi_mode_ == tmOn && tapi_handle_ == 0) Raise(ecNotOpenedByTapi);
    OpenDispatcher();
    phase_ = ppOpen;
    UpdateHandlerMode();
    force_ = true;
    SetTracing(tracing_);
    SetLogging(logging_);
    SetHWFlowOptions(hw_flow_options_);
    SetSWFlowOptions(sw_flow_options_);
    SetXOnChar(xon_char_);
    SetXOffChar(xoff_char_);
    SetAvailTriggerLength(avail_trigger_length_);
    SetDTR(dtr_);
    SetRTS(rts_);
    SetUseEventWord(use_event_word_);
    SetRS485Mode(rs485_mode_);
    SetPriorityBoost(priority_boost_);
    force_ = false;
    open_ = true;
    ++open_count_;
    ManageComWindow(true);
    if (restore_triggers_) {
      restore_triggers_ = false;
      dispatcher_->RestoreTriggers(saved_triggers_);
    }
    NotifyPortOpened();
  } catch (...) {
    force_ = false;
    open_ = false;
    phase_ = ppClosed;
    ManageComWindow(false);
    dispatcher_.reset();
    throw;
  }
}

// ---------------------------------------------------------------------------
// Closing

void TSioCustomComPort::ClosePort() {
  if (phase_ != ppOpen) return;
  // A trace or log that cannot be written must not leave the port half closed:
  // the close completes and the first failure is raised afterwards.
  std::exception_ptr failure;
  try {
    SetTracing(tlDump);
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    // Appending: the log file may be the day's trace that earlier exchanges wrote.
    SetLogging(tlAppend);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  phase_ = ppClosing;
  try {
    NotifyPortClosing();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  dispatcher_->SaveTriggers(saved_triggers_);
  restore_triggers_ = true;
  dispatcher_->CloseDevice();
  if (dispatcher_->Dispatching()) {
    // Closed from inside a trigger delivery: the dispatch thread finishes it
    // first; the posted message completes the close once the threads are gone.
    const uint32_t lparam = static_cast<uint32_t>(dispatcher_->Handle()) << 16;
    TSioCustomComPort* self = this;
    const int32_t handle = dispatcher_->Handle();
    platform::GetMainThread().Post([self, handle, lparam] {
      PortListGuard guard;
      TSioBaseDispatcher* d = LookupDispatcher(handle);
      if (d && d->Owner() == self) self->ComWindowProc(kComWindowCloseMessage, 0, lparam);
    });
    PumpOneMessage();
  } else {
    FinishClose();
  }
  try {
    NotifyPortClosed();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TSioCustomComPort::FinishClose() {
  ManageComWindow(false);
  dispatcher_.reset();
  phase_ = ppClosed;
  open_ = false;
}

void TSioCustomComPort::ManageComWindow(bool create) {
  if (create) {
    if (window_ || !dispatcher_) return;
    window_ = std::make_unique<TComWindow>(*this);
    dispatcher_->RegisterWindowHandler(window_.get());
  } else {
    if (!window_) return;
    if (dispatcher_) dispatcher_->DeregisterWindowHandler(window_.get());
    window_.reset();
  }
}

// ---------------------------------------------------------------------------
// Notifications

void TSioCustomComPort::ComWindowProc(uint32_t msg, uint32_t wparam, uint32_t lparam) {
  const bool trigger = msg >= TriggerAvailMessage && msg <= TriggerStatusMessage;
  if (!trigger && msg != kComWindowCloseMessage) return;
  try {
    PortListGuard guard;
    TSioBaseDispatcher* d = LookupDispatcher(static_cast<int32_t>(lparam >> 16));
    if (!d || d->Owner() != this) return;
    if (msg == kComWindowCloseMessage) {
      if (d->ThreadsRunning()) {
        const int32_t handle = d->Handle();
        TSioCustomComPort* self = this;
        platform::GetMainThread().Post([self, handle, lparam] {
          PortListGuard inner;
          TSioBaseDispatcher* again = LookupDispatcher(handle);
          if (again && again->Owner() == self) {
            self->ComWindowProc(kComWindowCloseMessage, 0, lparam);
          }
        });
        return;
      }
      FinishClose();
      if (open_pending_) {
        open_pending_ = false;
        OpenPort();
      }
      return;
    }
    // The dispatch thread waits for this delivery; a close from a handler must
    // not wait for that thread.
    auto* w = dynamic_cast<TSioWin32Dispatcher*>(d);
    struct Delivery {
      TSioWin32Dispatcher* d;
      explicit Delivery(TSioWin32Dispatcher* x) : d(x) {
        if (d) d->NoteUiDelivery(true);
      }
      ~Delivery() {
        if (d) d->NoteUiDelivery(false);
      }
    } delivery(w);
    const uint16_t data =
        static_cast<uint16_t>(msg == TriggerAvailMessage ? wparam : (lparam & 0xFFFF));
    FireTrigger(static_cast<uint16_t>(msg), static_cast<uint16_t>(wparam), data);
    switch (msg) {
      case TriggerAvailMessage:
        FireTriggerAvail(static_cast<uint16_t>(wparam));
        break;
      case TriggerDataMessage:
        FireTriggerData(static_cast<uint16_t>(wparam));
        break;
      case TriggerTimerMessage:
        FireTriggerTimer(static_cast<uint16_t>(wparam));
        break;
      case TriggerStatusMessage:
        FireTriggerStatus(static_cast<uint16_t>(wparam));
        // The handler may have closed the port.
        if (dispatcher_.get() != d || phase_ != ppOpen) break;
        switch (TSioBaseDispatcher::StatusTriggerType(static_cast<int32_t>(wparam))) {
          case stModem:
            FireTriggerModemStatus();
            break;
          case stLine: {
            int32_t error = d->GetLineError();
            FireTriggerLineError(static_cast<uint16_t>(error), d->CheckLineBreak());
            break;
          }
          case stOutBuffFree:
            FireTriggerOutbuffFree();
            break;
          case stOutBuffUsed:
            FireTriggerOutbuffUsed();
            break;
          case stOutSent:
            FireTriggerOutSent();
            break;
          default:
            break;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    if (platform::GetMainThread().IsUiThread()) ShowException(std::current_exception());
  }
}

void TSioCustomComPort::UpdateHandlerMode() {
  if (phase_ != ppOpen || !dispatcher_) return;
  const bool any = on_trigger_ || on_trigger_avail_ || on_trigger_data_ || on_trigger_status_ ||
                   on_trigger_timer_ || on_trigger_line_error_ || on_trigger_modem_status_ ||
                   on_trigger_outbuff_free_ || on_trigger_outbuff_used_ || on_trigger_out_sent_;
  dispatcher_->SetHandlerMode(any ? 1 : 2);
}

void TSioCustomComPort::NotifyPortOpened() {
  if (OnPortOpen) OnPortOpen(this);
}

void TSioCustomComPort::NotifyPortClosed() {
  if (OnPortClose) OnPortClose(this);
}

void TSioCustomComPort::DeviceFailureNotice() {
  // A notice that was on its way while the port closed or reopened is stale.
  if (phase_ != ppOpen || !DeviceFailed() || !OnDeviceFailure) return;
  try {
    OnDeviceFailure(this);
  } catch (...) {
    ShowException(std::current_exception());
  }
}

void TSioCustomComPort::NotifyPortClosing() {
  // Only registered users hear of it, and nothing registers one.
}

void TSioCustomComPort::FireTrigger(uint16_t msg, uint16_t handle, uint16_t data) {
  if (on_trigger_) on_trigger_(this, msg, handle, data);
}
void TSioCustomComPort::FireTriggerAvail(uint16_t count) {
  if (on_trigger_avail_) on_trigger_avail_(this, count);
}
void TSioCustomComPort::FireTriggerData(uint16_t handle) {
  if (on_trigger_data_) on_trigger_data_(this, handle);
}
void TSioCustomComPort::FireTriggerStatus(uint16_t handle) {
  if (on_trigger_status_) on_trigger_status_(this, handle);
}
void TSioCustomComPort::FireTriggerTimer(uint16_t handle) {
  if (on_trigger_timer_) on_trigger_timer_(this, handle);
}
void TSioCustomComPort::FireTriggerLineError(uint16_t error, bool line_break) {
  if (on_trigger_line_error_) on_trigger_line_error_(this, error, line_break);
}
void TSioCustomComPort::FireTriggerModemStatus() {
  if (on_trigger_modem_status_) on_trigger_modem_status_(this);
}
void TSioCustomComPort::FireTriggerOutbuffFree() {
  if (on_trigger_outbuff_free_) on_trigger_outbuff_free_(this);
}
void TSioCustomComPort::FireTriggerOutbuffUsed() {
  if (on_trigger_outbuff_used_) on_trigger_outbuff_used_(this);
}
void TSioCustomComPort::FireTriggerOutSent() {
  if (on_trigger_out_sent_) on_trigger_out_sent_(this);
}

#define SIO_EVENT_SETTER(Name, Type, field)   \
  void TSioCustomComPort::Set##Name(Type e) { \
    field = std::move(e);                     \
    UpdateHandlerMode();                      \
  }
SIO_EVENT_SETTER(OnTrigger, TTriggerEvent, on_trigger_)
SIO_EVENT_SETTER(OnTriggerAvail, TTriggerAvailEvent, on_trigger_avail_)
SIO_EVENT_SETTER(OnTriggerData, TTriggerHandleEvent, on_trigger_data_)
SIO_EVENT_SETTER(OnTriggerStatus, TTriggerHandleEvent, on_trigger_status_)
SIO_EVENT_SETTER(OnTriggerTimer, TTriggerHandleEvent, on_trigger_timer_)
SIO_EVENT_SETTER(OnTriggerLineError, TTriggerLineErrorEvent, on_trigger_line_error_)
SIO_EVENT_SETTER(OnTriggerModemStatus, TNotifyEvent, on_trigger_modem_status_)
SIO_EVENT_SETTER(OnTriggerOutbuffFree, TNotifyEvent, on_trigger_outbuff_free_)
SIO_EVENT_SETTER(OnTriggerOutbuffUsed, TNotifyEvent, on_trigger_outbuff_used_)
SIO_EVENT_SETTER(OnTriggerOutSent, TNotifyEvent, on_trigger_out_sent_)
#undef SIO_EVENT_SETTER

// ---------------------------------------------------------------------------
// Data operations

uint16_t TSioCustomComPort::BytesAvailable() {
  if (phase_ != ppOpen || !dispatcher_ || DeviceFailed()) return 0;
  return static_cast<uint16_t>(std::clamp(dispatcher_->InBuffUsed(), 0, 0xFFFF));
}

uint16_t TSioCustomComPort::BytesPending() {
  if (phase_ != ppOpen || !dispatcher_ || DeviceFailed()) return 0;
  return static_cast<uint16_t>(std::clamp(dispatcher_->OutBuffUsed(), 0, 0xFFFF));
}

void TSioCustomComPort::FlushInBuffer() {
  if (DataOperationsBlocked()) return;
  TSioBaseDispatcher* d = RequireDispatcher();
  if (DeviceFailed()) return;
  // The result is the purge outcome, not an error code.
  d->FlushInQueue();
}

void TSioCustomComPort::FlushOutBuffer() {
  if (DataOperationsBlocked()) return;
  TSioBaseDispatcher* d = RequireDispatcher();
  if (DeviceFailed()) return;
  d->FlushOutQueue();
}

void TSioCustomComPort::AddLogText(std::string_view text) {
  if (DataOperationsBlocked()) return;
  // Opening a port just to log into a log that is off would be pointless.
  if (!dispatcher_ && logging_ == tlOff) return;
  RequireDispatcher()->LogUserText(text);
}

void TSioCustomComPort::ReadBlock(std::span<uint8_t> buffer, uint32_t count) {
  if (count > buffer.size()) {
    throw std::length_error("ReadBlock: " + std::to_string(count) +
                            " bytes asked for a buffer of " + std::to_string(buffer.size()));
  }
  if (DataOperationsBlocked()) return;
  TSioBaseDispatcher* d = RequireDispatcher();
  if (count == 0) return;
  // A failed port holds nothing, as its count says.
  if (DeviceFailed()) Raise(ecBufferIsEmpty);
  RaiseForCode(this, d->GetBlock(buffer.data(), static_cast<int32_t>(count)));
}

void TSioCustomComPort::WriteText(std::string_view bytes) {
  if (DataOperationsBlocked()) return;
  TSioBaseDispatcher* d = RequireDispatcher();
  if (DeviceFailed()) return;
  RaiseForCode(this, d->PutBlock(reinterpret_cast<const uint8_t*>(bytes.data()),
                                 static_cast<int32_t>(bytes.size())));
}

void TSioCustomComPort::YieldToDevice() {
  if (DataOperationsBlocked()) return;
  RaiseForCode(this, RequireDispatcher()->YieldDevice());
}

int32_t TSioCustomComPort::LineError() {
  if (phase_ != ppOpen || !dispatcher_) return 0;
  return RaiseForCode(this, dispatcher_->GetLineError());
}

bool TSioCustomComPort::LineBreak() {
  if (phase_ != ppOpen || !dispatcher_) return false;
  return dispatcher_->CheckLineBreak();
}

// ---------------------------------------------------------------------------
// Setters

void TSioCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
  if (layer == device_layer_ || phase_ == ppOpen) return;
  if (layer != dlWin32) return;
  device_layer_ = layer;
  NotifyLayerChange();
}

void TSioCustomComPort::SetComNumber(uint16_t n) {
  if (n == com_number_) return;
  if (phase_ != ppOpen) {
    com_number_ = n;
    return;
  }
  TTriggerSave triggers;
  dispatcher_->SaveTriggers(triggers);
  const TTraceLogState tracing = tracing_;
  const TTraceLogState logging = logging_;
  std::exception_ptr close_failure;
  try {
    SetOpen(false);
  } catch (...) {
    // The close completed; the new port is opened all the same.
    close_failure = std::current_exception();
  }
  com_number_ = n;
  SetTracing(tracing);
  SetLogging(logging);
  SetOpen(true);
  if (dispatcher_) dispatcher_->RestoreTriggers(triggers);
  TSioBaseDispatcher::FreeSavedTriggers(triggers);
  if (close_failure) std::rethrow_exception(close_failure);
}

void TSioCustomComPort::ApplyLineParams() {
  if (phase_ != ppOpen) return;
  RaiseForCode(this, dispatcher_->SetLineParams(static_cast<uint32_t>(baud_), parity_, data_bits_,
                                                stop_bits_));
}

void TSioCustomComPort::SetBaud(int32_t baud) {
  if (baud == baud_) return;
  baud_ = baud;
  ApplyLineParams();
}

void TSioCustomComPort::SetParity(TParity parity) {
  if (parity == parity_) return;
  parity_ = parity;
  ApplyLineParams();
}

void TSioCustomComPort::SetDataBits(uint16_t bits) {
  if (bits == data_bits_) return;
  data_bits_ = bits;
  ApplyLineParams();
}

void TSioCustomComPort::SetStopBits(uint16_t bits) {
  if (bits == stop_bits_) return;
  stop_bits_ = bits;
  ApplyLineParams();
}

void TSioCustomComPort::SetInSize(uint16_t size) {
  if (size == in_size_) return;
  in_size_ = size;
  if (phase_ == ppOpen) dispatcher_->SetupDevice(in_size_, out_size_);
}

void TSioCustomComPort::SetOutSize(uint16_t size) {
  if (size == out_size_) return;
  out_size_ = size;
  if (phase_ == ppOpen) dispatcher_->SetupDevice(in_size_, out_size_);
}

void TSioCustomComPort::SetDTR(bool on) {
  if (on == dtr_ && !force_) return;
  if (phase_ != ppOpen) {
    dtr_ = on;
    return;
  }
  // A handshake line (result 1) keeps its old value.
  if (RaiseForCode(this, dispatcher_->SetDTR(on)) == 0) dtr_ = on;
}

void TSioCustomComPort::SetRTS(bool on) {
  if (on == rts_ && !force_) return;
  if (phase_ != ppOpen) {
    rts_ = on;
    return;
  }
  if (RaiseForCode(this, dispatcher_->SetRTS(on)) == 0) rts_ = on;
}

void TSioCustomComPort::ApplyFlowLimits(bool hardware) {
  const double full = hardware ? 0.9 : 0.75;
  const double resume = hardware ? 0.1 : 0.25;
  if (buffer_full_ == 0 || buffer_full_ > in_size_) {
    buffer_full_ = static_cast<uint16_t>(in_size_ * full);
  }
  if (buffer_resume_ == 0 || buffer_resume_ > buffer_full_) {
    buffer_resume_ = static_cast<uint16_t>(in_size_ * resume);
  }
}

void TSioCustomComPort::SetHWFlowOptions(THWFlowOptionSet options) {
  if (options == hw_flow_options_ && !force_) return;
  if (!options.Empty()) ApplyFlowLimits(true);
  if ((options.Contains(hwfUseRTS) || options.Contains(hwfRequireCTS)) && rs485_mode_) {
    SetRS485Mode(false);
  }
  if (phase_ == ppOpen) {
    RaiseForCode(this, dispatcher_->SetHWFlowOptions(buffer_full_, buffer_resume_, options.Bits()));
  }
  hw_flow_options_ = options;
}

void TSioCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
  if (options == sw_flow_options_ && !force_) return;
  if (options != swfNone) ApplyFlowLimits(false);
  if (phase_ == ppOpen) {
    if (options == swfNone) {
      RaiseForCode(this, dispatcher_->SWFlowDisable());
    } else {
      uint32_t bits = 0;
      if (options == swfTransmit || options == swfBoth) bits |= sfTransmitFlow;
      if (options == swfReceive || options == swfBoth) bits |= sfReceiveFlow;
      RaiseForCode(this, dispatcher_->SetSWFlowOptions(buffer_full_, buffer_resume_, bits));
    }
  }
  sw_flow_options_ = options;
}

void TSioCustomComPort::SetXOnChar(char c) {
  if (c == xon_char_ && !force_) return;
  xon_char_ = c;
  if (phase_ == ppOpen) RaiseForCode(this, dispatcher_->SetFlowChars(xon_char_, xoff_char_));
}

void TSioCustomComPort::SetXOffChar(char c) {
  if (c == xoff_char_ && !force_) return;
  xoff_char_ = c;
  if (phase_ == ppOpen) RaiseForCode(this, dispatcher_->SetFlowChars(xon_char_, xoff_char_));
}

void TSioCustomComPort::ReapplyFlowOptions() {
  const bool saved = force_;
  force_ = true;
  try {
    SetHWFlowOptions(hw_flow_options_);
    SetSWFlowOptions(sw_flow_options_);
  } catch (...) {
    force_ = saved;
    throw;
  }
  force_ = saved;
}

void TSioCustomComPort::SetBufferFull(uint16_t n) {
  if (n == buffer_full_ && !force_) return;
  if (n > in_size_) n = static_cast<uint16_t>(n * 0.9);
  buffer_full_ = n;
  ReapplyFlowOptions();
}

void TSioCustomComPort::SetBufferResume(uint16_t n) {
  if (n == buffer_resume_ && !force_) return;
  if (n > buffer_full_) n = static_cast<uint16_t>(buffer_full_ * 0.1);
  buffer_resume_ = n;
  ReapplyFlowOptions();
}

void TSioCustomComPort::SetRS485Mode(bool on) {
  if (on == rs485_mode_ && !force_) return;
  rs485_mode_ = on;
  if (phase_ == ppOpen) dispatcher_->SetRS485Mode(on);
  if (on) {
    hw_flow_options_ = hw_flow_options_.Without(hwfUseRTS).Without(hwfRequireCTS);
    SetRTS(false);
  }
}

void TSioCustomComPort::SetUseMSRShadow(bool) {}

void TSioCustomComPort::SetUseEventWord(bool on) {
  if (on == use_event_word_ && !force_) return;
  use_event_word_ = on;
  if (phase_ != ppOpen) return;
  if (on) {
    dispatcher_->SetDispatcherFlags(4);
  } else {
    dispatcher_->ClearDispatcherFlags(4);
  }
}

void TSioCustomComPort::SetCommNotificationLevel(uint16_t level) {
  if (level == comm_notification_level_ && !force_) return;
  comm_notification_level_ = level;
}

void TSioCustomComPort::SetPriorityBoost(uint8_t boost) {
  if (boost == priority_boost_ && !force_) return;
  priority_boost_ = boost;
  if (phase_ == ppOpen) dispatcher_->SetPriorityBoost(boost);
}

void TSioCustomComPort::SetAvailTriggerLength(uint16_t length) {
  if (length == avail_trigger_length_ && !force_) return;
  avail_trigger_length_ = length;
  if (phase_ == ppOpen) dispatcher_->SetAvailTriggerLength(length);
}

// ---------------------------------------------------------------------------
// Trace and log state machine

void TSioCustomComPort::ApplyLogState(TTraceLogState v, bool tracing) {
  TTraceLogState& state = tracing ? tracing_ : logging_;
  const TTraceLogState c = state;
  const bool live = c == tlOn || c == tlPause;
  TSioBaseDispatcher* d = dispatcher_.get();
  TSioTraceBuffer& trace = d->Trace();
  const std::string& name = tracing ? TraceName : LogName;
  const bool hex = tracing ? TraceHex : LogHex;
  const bool all_hex = tracing ? TraceAllHex : LogAllHex;
  auto start = [&] { tracing ? trace.StartTracing() : d->StartLogging(); };
  auto write = [&](bool append) -> int32_t {
    if (tracing) {
      return append ? trace.AppendTrace(name, hex, all_hex) : trace.DumpTrace(name, hex, all_hex);
    }
    return append ? d->AppendLog(name, hex, all_hex) : d->DumpLog(name, hex, all_hex);
  };
  switch (v) {
    case tlOff:
      if (!live) return;
      if (tracing) {
        trace.AbortTracing();
      } else {
        d->AbortLogging();
      }
      state = tlOff;
      return;
    case tlOn:
      if (c == tlPause) {
        start();
      } else if (tracing) {
        RaiseForCode(this, trace.InitTracing(trace_size_));
      } else {
        d->InitLogging(log_size_);
      }
      state = tlOn;
      return;
    case tlDump:
    case tlAppend:
    case tlAppendAndContinue: {
      if (!live) return;
      start();
      // The state follows before a failure is raised: the entries have gone.
      int32_t r = write(v != tlDump);
      state = v == tlAppendAndContinue ? tlOn : tlOff;
      RaiseForCode(this, r);
      return;
    }
    case tlClear:
      if (!live) return;
      if (tracing) {
        trace.ClearTracing();
      } else {
        d->ClearLogging();
      }
      return;
    case tlPause:
      if (c != tlOn) return;
      if (tracing) {
        trace.StopTracing();
      } else {
        d->StopLogging();
      }
      state = tlPause;
      return;
  }
}

void TSioCustomComPort::SetTracing(TTraceLogState state) {
  if (state == tracing_ && !force_) return;
  if (phase_ != ppOpen) {
    tracing_ = ClosedRule(state);
    return;
  }
  ApplyLogState(state, true);
}

void TSioCustomComPort::SetLogging(TTraceLogState state) {
  if (state == logging_ && !force_) return;
  if (phase_ != ppOpen) {
    logging_ = ClosedRule(state);
    return;
  }
  ApplyLogState(state, false);
}

void TSioCustomComPort::SetTraceSize(uint32_t size) {
  size = std::min(size, kMaxTraceSize);
  if (size == trace_size_) return;
  trace_size_ = size;
  if (phase_ == ppOpen && (tracing_ == tlOn || tracing_ == tlPause)) {
    const TTraceLogState old = tracing_;
    SetTracing(tlOff);
    SetTracing(old);
  }
}

void TSioCustomComPort::SetLogSize(uint32_t size) {
  size = std::min(size, kMaxLogSize);
  if (size == log_size_) return;
  log_size_ = size;
  if (phase_ == ppOpen && (logging_ == tlOn || logging_ == tlPause)) {
    const TTraceLogState old = logging_;
    SetLogging(tlOff);
    SetLogging(old);
  }
}

// ---------------------------------------------------------------------------
// Assign

void TSioCustomComPort::Assign(const TSioCustomComPort& source) {
  if (&source == this) return;
  SetDeviceLayer(source.device_layer_);
  SetComNumber(source.com_number_);
  SetBaud(source.baud_);
  prompt_for_port_ = source.prompt_for_port_;
  SetParity(source.parity_);
  SetDataBits(source.data_bits_);
  SetStopBits(source.stop_bits_);
  SetInSize(source.in_size_);
  SetOutSize(source.out_size_);
  auto_open_ = source.auto_open_;
  SetDTR(source.dtr_);
  SetRTS(source.rts_);
  SetHWFlowOptions(source.hw_flow_options_);
  SetSWFlowOptions(source.sw_flow_options_);
  SetXOnChar(source.xon_char_);
  SetXOffChar(source.xoff_char_);
  SetBufferFull(source.buffer_full_);
  SetBufferResume(source.buffer_resume_);
  SetTracing(source.tracing_);
  SetTraceSize(source.trace_size_);
  TraceName = source.TraceName;
  TraceHex = source.TraceHex;
  TraceAllHex = source.TraceAllHex;
  SetLogging(source.logging_);
  SetLogSize(source.log_size_);
  LogName = source.LogName;
  LogHex = source.LogHex;
  LogAllHex = source.LogAllHex;
  SetUseEventWord(source.use_event_word_);
  SetCommNotificationLevel(source.comm_notification_level_);
  SetRS485Mode(source.rs485_mode_);
  SetOnTrigger(source.on_trigger_);
  SetOnTriggerAvail(source.on_trigger_avail_);
  SetOnTriggerData(source.on_trigger_data_);
  SetOnTriggerStatus(source.on_trigger_status_);
  SetOnTriggerTimer(source.on_trigger_timer_);
  OnPortOpen = source.OnPortOpen;
  OnPortClose = source.OnPortClose;
  tapi_mode_ = source.tapi_mode_;
  if (source.phase_ == ppOpen && source.dispatcher_) {
    source.dispatcher_->SaveTriggers(saved_triggers_);
    restore_triggers_ = true;
  }
}

}  // namespace serial
