// The serial port component: the one object through which the program uses a
// serial port. It holds the port's settings as properties, opens and closes the
// port, and forwards reads, writes, flushes and log requests to a dispatcher that
// exists only while the port is open. Used from the UI thread only; trigger
// notifications reach it as calls posted to the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "serial/sio_dispatcher.h"
#include "serial/sio_misc.h"

namespace serial {

class TSioWin32Dispatcher;
class TSioCustomComPort;

enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue };
enum TDeviceLayer { dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum THWFlowOption { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };

// A set of hardware flow options; its bits are the ones the dispatcher takes
// (hwfUseDTR 0x01, hwfUseRTS 0x02, hwfRequireDSR 0x04, hwfRequireCTS 0x08).
class THWFlowOptionSet {
 public:
  constexpr THWFlowOptionSet() = default;
  constexpr THWFlowOptionSet(std::initializer_list<THWFlowOption> options) {
    for (THWFlowOption o : options) bits_ |= Bit(o);
  }
  constexpr bool Contains(THWFlowOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr THWFlowOptionSet With(THWFlowOption o) const { return FromBits(bits_ | Bit(o)); }
  constexpr THWFlowOptionSet Without(THWFlowOption o) const { return FromBits(bits_ & ~Bit(o)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint32_t Bits() const { return bits_; }
  static constexpr THWFlowOptionSet FromBits(uint32_t bits) {
    THWFlowOptionSet s;
    s.bits_ = bits & 0x0F;
    return s;
  }
  constexpr bool operator==(const THWFlowOptionSet&) const = default;

 private:
  static constexpr uint32_t Bit(THWFlowOption o) { return 1u << static_cast<uint32_t>(o); }
  uint32_t bits_ = 0;
};

enum TPortPhase { ppClosed, ppClosing, ppOpen };

using TNotifyEvent = std::function<void(TSioCustomComPort* sender)>;
using TTriggerEvent = std::function<void(TSioCustomComPort* sender, uint16_t msg,
                                         uint16_t trigger_handle, uint16_t data)>;
using TTriggerAvailEvent = std::function<void(TSioCustomComPort* sender, uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TSioCustomComPort* sender, uint16_t trigger_handle)>;
using TTriggerLineErrorEvent =
    std::function<void(TSioCustomComPort* sender, uint16_t error, bool line_break)>;

// The port selection dialog, shown when a port is opened without a number while
// PromptForPort is set. True (OK) with the chosen number, false for any other
// result. The desktop installs it; without one such an open raises ENoPortSelected.
using TPortSelectionDialog = std::function<bool(uint16_t& com_number)>;
void SetPortSelectionDialog(TPortSelectionDialog dialog);

// Makes the dispatcher of a port instead of the built-in device layer.
using TDispatcherFactory =
    std::function<std::unique_ptr<TSioBaseDispatcher>(TSioCustomComPort& port)>;

constexpr uint32_t kComWindowCloseMessage = 0x7E0A;
constexpr uint32_t kPortOpenedMessage = 0x7E08;
constexpr uint32_t kPortClosedMessage = 0x7E09;

class TSioCustomComPort : public TSioBaseComponent {
 public:
  explicit TSioCustomComPort(void* owner = nullptr);
  // Never throws; closes the port when it is open.
  ~TSioCustomComPort() override;
  TSioCustomComPort(const TSioCustomComPort&) = delete;
  TSioCustomComPort& operator=(const TSioCustomComPort&) = delete;

  void* Owner() const { return owner_; }

  // ---- Properties. Setters may raise ESioException-family or EInOutError.
  TDeviceLayer DeviceLayer() const { return device_layer_; }
  void SetDeviceLayer(TDeviceLayer layer);
  uint16_t ComNumber() const { return com_number_; }
  void SetComNumber(uint16_t n);
  int32_t Baud() const { return baud_; }
  void SetBaud(int32_t baud);
  bool PromptForPort() const { return prompt_for_port_; }
  void SetPromptForPort(bool on) { prompt_for_port_ = on; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  uint16_t DataBits() const { return data_bits_; }
  void SetDataBits(uint16_t bits);
  uint16_t StopBits() const { return stop_bits_; }
  void SetStopBits(uint16_t bits);
  uint16_t InSize() const { return in_size_; }
  void SetInSize(uint16_t size);
  uint16_t OutSize() const { return out_size_; }
  void SetOutSize(uint16_t size);
  bool AutoOpen() const { return auto_open_; }
  void SetAutoOpen(bool on) { auto_open_ = on; }
  bool Open() const { return open_; }
  void SetOpen(bool value);
  // Counts the opens of this port object: a run of exchanges knows by it that
  // the port was closed and opened again (perhaps on another device) meanwhile.
  uint32_t OpenCount() const { return open_count_; }
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptionSet HWFlowOptions() const { return hw_flow_options_; }
  void SetHWFlowOptions(THWFlowOptionSet options);
  TSWFlowOptions SWFlowOptions() const { return sw_flow_options_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  char XOnChar() const { return xon_char_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xoff_char_; }
  void SetXOffChar(char c);
  uint16_t BufferFull() const { return buffer_full_; }
  void SetBufferFull(uint16_t n);
  uint16_t BufferResume() const { return buffer_resume_; }
  void SetBufferResume(uint16_t n);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  uint32_t TraceSize() const { return trace_size_; }
  void SetTraceSize(uint32_t size);
  std::string TraceName = "SERIAL.TRC";
  bool TraceHex = true;
  bool TraceAllHex = false;
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  uint32_t LogSize() const { return log_size_; }
  void SetLogSize(uint32_t size);
  std::string LogName = "SERIAL.LOG";
  bool LogHex = true;
  bool LogAllHex = false;
  bool UseMSRShadow() const { return true; }
  virtual void SetUseMSRShadow(bool on);  // no effect
  bool UseEventWord() const { return use_event_word_; }
  void SetUseEventWord(bool on);
  uint16_t CommNotificationLevel() const { return comm_notification_level_; }
  void SetCommNotificationLevel(uint16_t level);
  TTapiMode TapiMode() const { return tapi_mode_; }
  void SetTapiMode(TTapiMode mode) { tapi_mode_ = mode; }
  bool RS485Mode() const { return rs485_mode_; }
  void SetRS485Mode(bool on);
  uint8_t PriorityBoost() const { return priority_boost_; }
  void SetPriorityBoost(uint8_t boost);
  uint16_t AvailTriggerLength() const { return avail_trigger_length_; }
  void SetAvailTriggerLength(uint16_t length);

  // ---- Events. OnPortOpen and OnPortClose are plain; the trigger events switch
  // the dispatcher's port handler on or off.
  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;
  // On the UI thread once the open port's device has failed (its threads have
  // ended; the port still reads as open until it is closed).
  TNotifyEvent OnDeviceFailure;
  const TTriggerEvent& OnTrigger() const { return on_trigger_; }
  void SetOnTrigger(TTriggerEvent e);
  const TTriggerAvailEvent& OnTriggerAvail() const { return on_trigger_avail_; }
  void SetOnTriggerAvail(TTriggerAvailEvent e);
  const TTriggerHandleEvent& OnTriggerData() const { return on_trigger_data_; }
  void SetOnTriggerData(TTriggerHandleEvent e);
  const TTriggerHandleEvent& OnTriggerStatus() const { return on_trigger_status_; }
  void SetOnTriggerStatus(TTriggerHandleEvent e);
  const TTriggerHandleEvent& OnTriggerTimer() const { return on_trigger_timer_; }
  void SetOnTriggerTimer(TTriggerHandleEvent e);
  const TTriggerLineErrorEvent& OnTriggerLineError() const { return on_trigger_line_error_; }
  void SetOnTriggerLineError(TTriggerLineErrorEvent e);
  const TNotifyEvent& OnTriggerModemStatus() const { return on_trigger_modem_status_; }
  void SetOnTriggerModemStatus(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutbuffFree() const { return on_trigger_outbuff_free_; }
  void SetOnTriggerOutbuffFree(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutbuffUsed() const { return on_trigger_outbuff_used_; }
  void SetOnTriggerOutbuffUsed(TNotifyEvent e);
  const TNotifyEvent& OnTriggerOutSent() const { return on_trigger_out_sent_; }
  void SetOnTriggerOutSent(TNotifyEvent e);

  // ---- Data operations. While the port is closing, and after its device failed
  // (an adapter unplugged), they do nothing and the counts read 0.
  uint16_t BytesAvailable();
  uint16_t BytesPending();
  // Never raise for the purge result.
  void FlushInBuffer();
  void FlushOutBuffer();
  // UTF-8; nothing when logging is off.
  void AddLogText(std::string_view text);
  // Takes count bytes into buffer; count > buffer.size() raises std::length_error
  // and writes nothing; fewer than count held raises EBufferIsEmpty (-3007) and
  // takes nothing.
  void ReadBlock(std::span<uint8_t> buffer, uint32_t count);
  // Raw bytes; a text that does not fit the output ring raises
  // EOutputBufferTooSmall (-3006), a short write EPutBlockFail (-3004).
  void WriteText(std::string_view bytes);
  virtual void YieldToDevice();
  // Open: the line error code (raised when negative); else 0.
  int32_t LineError();
  bool LineBreak();

  // Copies every property but Open, the events and the open source port's
  // triggers (restored at this port's next open).
  void Assign(const TSioCustomComPort& source);
  // After streaming: an Open of true opens; a failure sets Open false and goes
  // to the application's exception display.
  void Loaded();
  void DeviceFailureNotice() override;

  // ---- State for callers and tests.
  TPortPhase PortPhase() const { return phase_; }
  // The threads ended on a device failure; the port still reads as open.
  bool DeviceFailed() const;
  // The dispatcher while the port is open or closing, else null; never opens.
  TSioBaseDispatcher* Dispatcher() const { return dispatcher_.get(); }
  void SetDispatcherFactory(TDispatcherFactory factory) { factory_ = std::move(factory); }
  // The descriptor of a port opened elsewhere (TapiMode tmOn); not used here.
  void SetTapiHandle(int32_t handle) { tapi_handle_ = handle; }

 protected:
  // ---- Virtual operations.
  virtual void CreateDispatcher();
  virtual void NotifyLayerChange() {}
  virtual void OpenDispatcher();
  virtual void ManageComWindow(bool create);
  virtual void CheckComNumber();
  virtual void FireTrigger(uint16_t msg, uint16_t trigger_handle, uint16_t data);
  virtual void FireTriggerAvail(uint16_t count);
  virtual void FireTriggerData(uint16_t trigger_handle);
  virtual void FireTriggerStatus(uint16_t trigger_handle);
  virtual void FireTriggerTimer(uint16_t trigger_handle);
  virtual void UpdateHandlerMode();
  virtual void FireTriggerLineError(uint16_t error, bool line_break);
  virtual void FireTriggerModemStatus();
  virtual void FireTriggerOutbuffFree();
  virtual void FireTriggerOutbuffUsed();
  virtual void FireTriggerOutSent();
  virtual void FireWaitChar() {}
  virtual void ClosePort();
  virtual void NotifyPortOpened();
  virtual void NotifyPortClosed();
  virtual void NotifyPortClosing();
  virtual void OpenPort();

  // The dispatcher, opening the port first when AutoOpen allows; null when the
  // port is closing or failed. Raises ECommNotOpen when there is none.
  TSioBaseDispatcher* RequireDispatcher();
  TSioBaseDispatcher* ActiveDispatcher();

 private:
  class TComWindow;
  friend class TComWindow;

  void ComWindowProc(uint32_t msg, uint32_t wparam, uint32_t lparam);
  void FinishClose();
  bool Force() const { return force_; }
  void ApplyFlowLimits(bool hardware);
  // Sends the four line settings to the device while open.
  void ApplyLineParams();
  // Both flow options again with the force flag, after a limit changed.
  void ReapplyFlowOptions();
  void ApplyLogState(TTraceLogState value, bool tracing);
  bool DataOperationsBlocked() const;

  void* owner_;
  TDeviceLayer device_layer_ = dlWin32;
  uint16_t com_number_ = 0;
  int32_t baud_ = 19200;
  bool prompt_for_port_ = true;
  TParity parity_ = pNone;
  uint16_t data_bits_ = 8;
  uint16_t stop_bits_ = 1;
  uint16_t in_size_ = 4096;
  uint16_t out_size_ = 4096;
  bool auto_open_ = true;
  bool open_ = false;
  uint32_t open_count_ = 0;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptionSet hw_flow_options_;
  TSWFlowOptions sw_flow_options_ = swfNone;
  char xon_char_ = 17;
  char xoff_char_ = 19;
  uint16_t buffer_full_ = 0;
  uint16_t buffer_resume_ = 0;
  TTraceLogState tracing_ = tlOff;
  uint32_t trace_size_ = 10000;
  TTraceLogState logging_ = tlOff;
  uint32_t log_size_ = 10000;
  bool use_event_word_ = true;
  uint16_t comm_notification_level_ = 10;
  TTapiMode tapi_mode_ = tmAuto;
  bool rs485_mode_ = false;
  uint8_t priority_boost_ = 0;
  uint16_t avail_trigger_length_ = 1;

  TTriggerEvent on_trigger_;
  TTriggerAvailEvent on_trigger_avail_;
  TTriggerHandleEvent on_trigger_data_;
  TTriggerHandleEvent on_trigger_status_;
  TTriggerHandleEvent on_trigger_timer_;
  TTriggerLineErrorEvent on_trigger_line_error_;
  TNotifyEvent on_trigger_modem_status_;
  TNotifyEvent on_trigger_outbuff_free_;
  TNotifyEvent on_trigger_outbuff_used_;
  TNotifyEvent on_trigger_out_sent_;

  TPortPhase phase_ = ppClosed;
  bool force_ = false;
  bool open_pending_ = false;
  bool open_after_load_ = false;
  bool restore_triggers_ = false;
  TTriggerSave saved_triggers_;
  std::unique_ptr<TSioBaseDispatcher> dispatcher_;
  std::unique_ptr<TComWindow> window_;
  TDispatcherFactory factory_;
  int32_t tapi_handle_ = 0;
};

// Publishes the properties and events; adds nothing else.
class TSioComPort : public TSioCustomComPort {
 public:
  explicit TSioComPort(void* owner = nullptr) : TSioCustomComPort(owner) {}
  ~TSioComPort() override = default;
};

}  // namespace serial
