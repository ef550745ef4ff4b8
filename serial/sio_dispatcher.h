// The device-independent half of an open serial port: line settings, modem and
// line status, the receive ring that the dispatch thread fills, output
// accounting, flow control, triggers and their delivery, the trace and the
// dispatch log.
// A device layer derives from TSioBaseDispatcher and supplies the device slots;
// its destructor must call ShutdownDispatcher() first, while its slots still work.
//
// Locks: the line lock (line settings, modem and line status, triggers, handler
// lists, log file), the output lock (output ring and accounting) and
// the ring lock (receive ring, get counts). None of the three is ever taken while
// another of them is held; the queues' own locks and the port list lock are taken
// inside them only. Handlers are always called with no lock held.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/sio_buffers.h"
#include "serial/sio_event.h"
#include "serial/sio_misc.h"
#include "serial/sio_trace_buffer.h"

namespace serial {

constexpr uint32_t kReceiveRingSize = 8192;

// Line settings in the layout the device layer reads and writes.
constexpr uint32_t dcbBinary = 0x0001;
constexpr uint32_t dcbParity = 0x0002;
constexpr uint32_t dcbOutxCtsFlow = 0x0004;
constexpr uint32_t dcbOutxDsrFlow = 0x0008;
constexpr uint32_t dcbDtrControlMask = 0x0030;
constexpr uint32_t dcbDtrEnable = 0x0010;
constexpr uint32_t dcbDtrHandshake = 0x0020;
constexpr uint32_t dcbDsrSensitivity = 0x0040;
constexpr uint32_t dcbTXContinueOnXoff = 0x0080;
constexpr uint32_t dcbOutX = 0x0100;
constexpr uint32_t dcbInX = 0x0200;
constexpr uint32_t dcbErrorChar = 0x0400;
constexpr uint32_t dcbNull = 0x0800;
constexpr uint32_t dcbRtsControlMask = 0x3000;
constexpr uint32_t dcbRtsEnable = 0x1000;
constexpr uint32_t dcbRtsHandshake = 0x2000;
constexpr uint32_t dcbRtsToggle = 0x3000;
constexpr uint32_t dcbAbortOnError = 0x4000;

// Parity codes; 5 in SetLineParams keeps the current one.
constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
// Stop-bit codes of TDCB::StopBits.
constexpr uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;

struct TDCB {
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // dcb* bits
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = kNoParity;
  uint8_t StopBits = kOneStopBit;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  bool operator==(const TDCB&) const = default;
};

struct TComStat {
  uint32_t Flags = 0;
  uint32_t InQueue = 0;   // bytes in the input queue
  uint32_t OutQueue = 0;  // bytes waiting to be sent
};

// Line-error bits of the error word.
constexpr int32_t ceRxOver = 0x01;
constexpr int32_t ceOverrun = 0x02;
constexpr int32_t ceRxParity = 0x04;
constexpr int32_t ceFrame = 0x08;
constexpr int32_t ceBreak = 0x10;

// Modem status byte: line states in the high nibble, deltas in the low one.
constexpr uint32_t msDCTS = 0x01, msDDSR = 0x02, msTERI = 0x04, msDDCD = 0x08;
constexpr uint32_t msCTS = 0x10, msDSR = 0x20, msRI = 0x40, msDCD = 0x80;

// EscapeLine functions.
constexpr int32_t escSetRts = 3, escClrRts = 4, escSetDtr = 5, escClrDtr = 6;

// OpenDevice option flags.
constexpr uint32_t doDtrOn = 0x01, doRtsOn = 0x02, doDtrHandshake = 0x10, doRtsHandshake = 0x20;

// Flow option bits.
constexpr uint32_t hfUseDTR = 0x01, hfUseRTS = 0x02, hfRequireDSR = 0x04, hfRequireCTS = 0x08;
constexpr uint32_t sfTransmitFlow = 0x01, sfReceiveFlow = 0x02;

// Trigger messages: wParam = trigger handle or count, lParam = data + handle << 16.
constexpr uint32_t TriggerAvailMessage = 0x7E01;
constexpr uint32_t TriggerDataMessage = 0x7E02;
constexpr uint32_t TriggerTimerMessage = 0x7E03;
constexpr uint32_t TriggerStatusMessage = 0x7E04;
constexpr uint32_t kWindowSendTimeoutMs = 3000;

// Status trigger types; a status trigger's handle carries its type in bits 0-2.
constexpr uint8_t stNotActive = 0, stModem = 1, stLine = 2, stOutBuffFree = 3, stOutBuffUsed = 4,
                  stOutSent = 5;

// Dispatch log entry types and subtypes.
constexpr uint8_t ltNoEvent = 0, ltDispatch = 1, ltTrigger = 2, ltError = 3, ltThread = 4,
                  ltTrigAllc = 5, ltTrigDisp = 6, ltTrgHdAlc = 7, ltTrgHdDsp = 8, ltTrDatChg = 9,
                  ltTelnet = 10, ltFax = 11, ltUser = 19, ltScript = 20;
constexpr uint16_t lstNone = 0, lstReadCom = 1, lstWriteCom = 2, lstLineStatus = 3,
                   lstModemStatus = 4, lstAvail = 5, lstTimer = 6, lstData = 7, lstStatus = 8,
                   lstStart = 9, lstExit = 10, lstSleep = 11, lstWake = 12, lstTrigData = 13,
                   lstTrigTimer = 14, lstTrigStatus = 15, lstTrigAvail = 16, lstWindow = 17,
                   lstProcedure = 18, lstMethod = 19;

constexpr uint32_t kMaxLogSize = 16000000;
constexpr int kMaxDataTriggerLength = 22;

// A receiver of trigger messages on the UI thread (the port's hidden window). Its
// handle is a small number unique in the process.
class TSioWindow {
 public:
  TSioWindow();
  virtual ~TSioWindow() = default;
  uint32_t Handle() const { return handle_; }
  virtual void WindowProc(uint32_t msg, uint32_t wparam, uint32_t lparam) = 0;

 private:
  uint32_t handle_;
};

// Procedure and event handlers get (message, trigger handle or count, lParam).
using TSioTriggerProc = std::function<void(uint32_t msg, uint32_t value, uint32_t lparam)>;

// A timer in ticks of 55 ms of the millisecond clock.
struct TTickTimer {
  uint32_t StartTicks = 0;
  uint32_t ExpireTicks = 0;
  void Start(uint32_t ticks);
  bool Expired() const;
};

struct TTimerTrigger {
  int32_t Handle = 0;
  TTickTimer Timer;
  bool Active = false;
};

struct TDataTrigger {
  int32_t Handle = 0;
  uint32_t Length = 0;
  std::array<uint32_t, kMaxDataTriggerLength> Counters{};
  uint32_t Matched = 0;
  uint32_t IgnoreCase = 0;
  std::string Pattern;  // upper case when IgnoreCase
};

struct TStatusTrigger {
  int32_t Handle = 0;
  uint8_t Type = stNotActive;
  uint16_t Data = 0;
  bool Active = false;
  bool Fired = false;
};

// Triggers kept across a close and reopen of the port.
struct TTriggerSave {
  uint32_t AvailLength = 0;
  std::optional<std::vector<TTimerTrigger>> Timers;
  std::optional<std::vector<TDataTrigger>> Data;
  std::optional<std::vector<TStatusTrigger>> Status;
};

enum class TSioThreadKind { Read = 0, Dispatch = 1, Write = 2, Status = 3 };

// The six events of an open device.
enum TSioEventIndex {
  evStart = 0,        // thread start-ups and the writer's flush acknowledgement
  evOutputReady = 1,  // WriteDevice wakes the writer
  evFlush = 2,        // discard output / stop
  evSpare3 = 3,
  evManual = 4,  // the manual-reset one
  evSpare5 = 5,
  kEventCount = 6
};

class TSioBaseDispatcher {
 public:
  explicit TSioBaseDispatcher(TSioBaseComponent* owner);
  virtual ~TSioBaseDispatcher();
  TSioBaseDispatcher(const TSioBaseDispatcher&) = delete;
  TSioBaseDispatcher& operator=(const TSioBaseDispatcher&) = delete;

  // ---- Device slots. Results: 0 or a count on success, negative on failure.
  virtual int32_t EscapeLine(int32_t function) = 0;
  // 0 discards output, 1 input.
  virtual int32_t FlushDevice(int32_t which) = 0;
  // Fills the status record; returns the line-error bits.
  virtual int32_t GetDeviceErrors(TComStat& stat) = 0;
  virtual int32_t GetDeviceEventMask(int32_t mask) = 0;
  virtual int32_t GetDeviceState(TDCB& dcb) = 0;
  virtual int32_t ReadDevice(uint8_t* buffer, int32_t count) = 0;
  virtual int32_t SetDeviceState(const TDCB& dcb) = 0;
  // Queues count bytes for sending; the count taken (0 or negative: failure).
  virtual int32_t WriteDevice(const uint8_t* data, int32_t count) = 0;
  virtual bool QueryDeviceExtra(int32_t& value) = 0;
  virtual bool SetupDevice(uint32_t input_size, uint32_t output_size) = 0;
  // Stops the threads if they run, frees the output and receive rings.
  virtual void ReleaseBuffers();
  virtual void StartThreads() = 0;
  virtual void StopThreads() = 0;
  virtual int32_t OutputBytesUsed() = 0;
  // Bytes waiting to be moved into the receive ring (the first queued buffer).
  virtual int32_t InputBytesQueued();
  // A handle (not negative), or negative with the last error set.
  virtual int32_t OpenDeviceHandle(const std::string& name, uint32_t input_size,
                                   uint32_t output_size) = 0;
  virtual int32_t CloseDeviceHandle() = 0;
  virtual int32_t YieldDevice() = 0;
  virtual void SetPriorityBoost(uint8_t boost);
  // 0 recompute, 1 port handler on, 2 port handler off.
  virtual void SetHandlerMode(int32_t mode);
  // The modem lines (msCTS, msDSR, msRI, msDCD); false when they cannot be read.
  virtual bool GetDeviceModemStatus(uint32_t& lines) = 0;
  // Applies the priority boost and the RS485 mode to the running threads.
  virtual void ApplyThreadPriorities() {}

  // ---- Opening and closing.
  int32_t OpenDevice(const std::string& name, uint32_t baud, uint32_t parity, uint32_t data_bits,
                     uint32_t stop_bits, uint32_t input_size, uint32_t output_size,
                     uint32_t options);
  void CloseDevice();

  // ---- Line settings. Keep-values: baud 0, parity 5, data bits 9, stop bits 3.
  int32_t SetLineParams(uint32_t baud, uint32_t parity, uint32_t data_bits, uint32_t stop_bits);
  int32_t GetLineParams(uint32_t& baud, uint32_t& parity, uint32_t& data_bits, uint32_t& stop_bits);
  static uint32_t ActualBaud(uint32_t code);
  int32_t SetDTR(bool on);
  int32_t SetRTS(bool on);

  // ---- Modem and line status.
  uint32_t GetModemStatus(uint32_t mask);
  uint32_t PollModemStatus() { return GetModemStatus(0xF0); }
  void UpdateModemStatus();
  void RefreshLineErrors();
  int32_t GetLineError();
  bool CheckLineBreak();
  int32_t ErrorWord() const { return error_word_.load(); }

  // ---- Receive ring and output.
  static uint32_t RingCount(uint32_t write, uint32_t read, bool full);
  int32_t InBuffUsed();
  int32_t OutBuffUsed();
  int32_t OutBuffFree();
  int32_t GetBlock(uint8_t* buffer, int32_t count);
  int32_t PeekRing(uint8_t* buffer, uint32_t offset, uint32_t& new_read, int32_t count);
  int32_t PutBlock(const uint8_t* data, int32_t count);
  int32_t FlushInQueue();
  int32_t FlushOutQueue();

  // ---- Flow control.
  int32_t SetHWFlowOptions(uint32_t buffer_full, uint32_t buffer_resume, uint32_t options);
  int32_t SetSWFlowOptions(uint32_t buffer_full, uint32_t buffer_resume, uint32_t options);
  int32_t SWFlowDisable();
  int32_t SetFlowChars(char xon, char xoff);
  int32_t GetFlowOptions(uint32_t& hw_options, uint32_t& sw_options, char& xoff, char& xon);

  void SetRS485Mode(bool on);
  bool RS485Mode() const { return rs485_mode_; }
  void SetDispatcherFlags(uint32_t bits) { option_word_ |= bits; }
  void ClearDispatcherFlags(uint32_t bits) { option_word_ &= ~bits; }
  uint32_t DispatcherFlags() const { return option_word_.load(); }
  uint8_t PriorityBoost() const { return priority_boost_; }

  // ---- Called by the port threads.
  void ThreadStarted(TSioThreadKind kind);
  void ThreadFinished(TSioThreadKind kind, int32_t result);
  bool ThreadPresent(TSioThreadKind kind) const;

  // ---- Filling the ring and triggers (dispatch thread).
  // Moves queued input into the ring. True when the ring is full while input
  // waits: the caller then waits for room (WaitForRingRoom) instead of spinning.
  bool FillReceiveBuffer();
  // Waits until the ring has room, is released or the threads stop.
  bool WaitForRingRoom(uint32_t timeout_ms);
  bool CheckReceivedData();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  void ResetStatusTriggers();
  void ResetDataTriggers();
  bool DispatchEvent(uint32_t msg, uint32_t value, uint32_t data);
  static uint8_t StatusTriggerType(int32_t handle) { return static_cast<uint8_t>(handle & 7); }

  // ---- Receivers.
  void RegisterWindowHandler(TSioWindow* window);
  void DeregisterWindowHandler(TSioWindow* window);
  // Procedures run on the dispatch thread; events run there too unless
  // synchronize, then on the UI thread. Each returns an id for deregistering.
  int32_t RegisterProcHandler(TSioTriggerProc proc);
  void DeregisterProcHandler(int32_t id);
  int32_t RegisterEventHandler(TSioTriggerProc method, bool synchronize);
  void DeregisterEventHandler(int32_t id);

  // ---- Triggers.
  void SetAvailTriggerLength(uint32_t n);
  uint32_t AvailTriggerLength() const;
  // Handles, or ecNoMoreTriggers / ecTriggerTooLong / ecBadArgument.
  int32_t AddDataTrigger(std::string_view pattern, bool ignore_case);
  int32_t AddTimerTrigger();
  int32_t AddStatusTrigger(uint8_t type);
  // 0 or ecBadTriggerHandle.
  int32_t SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate);
  int32_t SetStatusTrigger(int32_t handle, uint16_t data, bool activate);
  int32_t RemoveTrigger(int32_t handle);
  void RemoveAllTriggers();
  void SaveTriggers(TTriggerSave& record);
  void RestoreTriggers(const TTriggerSave& record);
  static void FreeSavedTriggers(TTriggerSave& record);

  // ---- Dispatch log.
  void AddLogEntry(uint8_t type, uint16_t subtype, int32_t length, const void* payload,
                   uint32_t data);
  void LogUserText(std::string_view text);
  void InitLogging(uint32_t budget);
  void StartLogging() { logging_on_ = true; }
  void StopLogging() { logging_on_ = false; }
  void AbortLogging();
  void ClearLogging();
  bool LoggingOn() const { return logging_on_; }
  int32_t DumpLog(const std::string& file_name, bool hex, bool all_hex);
  int32_t AppendLog(const std::string& file_name, bool hex, bool all_hex);
  uint32_t ElapsedSinceOpen() const;
  TIOQueue& LogQueue() { return log_queue_; }
  static std::string LogTypeText(uint8_t type);
  static std::string LogSubtypeText(uint16_t subtype);
  static std::string LogTimeText(uint32_t milliseconds);
  static std::string OSVersionText();

  // ---- Trace of the bytes GetBlock takes and PutBlock hands over.
  TSioTraceBuffer& Trace() { return trace_; }

  // ---- State.
  TSioBaseComponent* Owner() const { return owner_; }
  int32_t Handle() const { return handle_; }
  int32_t DeviceHandle() const { return device_handle_.load(); }
  const std::string& DeviceName() const { return device_name_; }
  void SetDeviceName(std::string name) { device_name_ = std::move(name); }
  bool Dispatching() const { return dispatching_; }
  bool ClosePending() const { return close_pending_; }
  bool ThreadsRunning() const { return threads_running_; }
  int32_t ActiveThreadCount() const { return active_threads_; }
  uint32_t InputSize() const { return input_size_; }
  uint32_t OutputSize() const { return output_size_; }
  uint32_t LastBaud() const { return last_baud_; }
  bool DtrState() const { return dtr_state_; }
  bool RtsState() const { return rts_state_; }
  bool DtrAuto() const { return dtr_auto_; }
  bool RtsAuto() const { return rts_auto_; }
  TIOQueue& InputQueue() { return input_queue_; }
  TSioEvent* Event(TSioEventIndex index) { return events_[index].get(); }

 protected:
  // The device layer's destructor calls this first: closes the device and waits,
  // processing UI messages, until the threads have ended.
  void ShutdownDispatcher();
  // The device layer marks a thread from its creation until ThreadFinished.
  void MarkThreadCreated(TSioThreadKind kind);
  void SetDeviceHandle(int32_t handle) { device_handle_ = handle; }
  void SetThreadsRunning(bool on) { threads_running_ = on; }

  // Receive ring (ring lock).
  std::mutex ring_lock_;
  std::condition_variable ring_room_;
  // Signalled when an avail notification has ended.
  std::condition_variable notification_done_;
  std::unique_ptr<uint8_t[]> ring_;
  uint32_t ring_write_ = 0;
  uint32_t ring_read_ = 0;
  bool ring_full_ = false;
  uint32_t get_count_ = 0;
  uint32_t max_get_count_ = 0;
  bool in_avail_notification_ = false;
  bool dispatch_full_ = false;  // the full ring was logged in this episode

  // Output ring (output lock); the device layer works it.
  std::recursive_mutex output_lock_;
  std::unique_ptr<uint8_t[]> out_ring_;
  uint32_t out_head_ = 0;
  uint32_t out_tail_ = 0;
  bool out_full_ = false;
  TComStat comstat_;
  std::atomic<uint32_t> input_count_{0};

  // Line lock.
  mutable std::recursive_mutex line_lock_;
  TDCB dcb_;

  std::atomic<bool> kill_threads_{false};
  std::atomic<bool> release_after_dispatch_thread_{false};
  std::atomic<bool> output_sent_{false};
  std::atomic<bool> ring_pending_{false};
  std::atomic<bool> global_status_hit_{false};
  std::atomic<uint32_t> last_status_event_{0};

 private:
  struct WindowEntry {
    TSioWindow* Window;
    bool Deleted = false;
  };
  struct ProcEntry {
    int32_t Id;
    TSioTriggerProc Proc;
    bool Deleted = false;
    bool Synchronize = false;
  };

  // Marks the calling thread as running a receiver of this dispatcher's
  // notifications: only its reads are the notification's own.
  class TReceiverScope {
   public:
    explicit TReceiverScope(const TSioBaseDispatcher* d);
    ~TReceiverScope();
    TReceiverScope(const TReceiverScope&) = delete;
    TReceiverScope& operator=(const TReceiverScope&) = delete;

   private:
    const TSioBaseDispatcher* previous_;
  };
  bool InReceiver() const;

  int32_t DeviceFailureCode(int32_t result) const;
  void DrainAndSettle();
  int32_t ApplyLineState(TDCB& dcb);
  uint32_t RingCountLocked() const;
  int32_t PeekRingLocked(uint8_t* buffer, uint32_t offset, uint32_t& new_read, int32_t count);
  void NoteRingRoomLocked();
  void ReleaseRings();
  int32_t WriteLogFile(const std::string& file_name, bool append, bool hex, bool all_hex);
  bool MatchDataTrigger(TDataTrigger& trigger, uint8_t ch);
  int32_t NewTriggerHandle(uint8_t low_bits);
  void SetHandlerModeLocked(int32_t mode);
  bool CallHandler(ProcEntry* entry, uint32_t msg, uint32_t value, uint32_t lparam);
  void NoteGetCount();

  TSioBaseComponent* owner_;
  int32_t handle_ = -1;
  std::atomic<int32_t> device_handle_{-1};
  std::atomic<int32_t> error_word_{0};
  uint32_t input_size_ = 0;
  uint32_t output_size_ = 0;
  uint32_t modem_status_ = 0;  // line lock
  uint32_t last_baud_ = 115200;
  std::atomic<uint32_t> option_word_{0};
  bool dtr_state_ = false;
  bool dtr_auto_ = false;
  bool rts_state_ = false;
  bool rts_auto_ = false;
  uint32_t last_modem_status_ = 0;
  uint32_t last_line_error_ = 0;
  bool rs485_mode_ = false;
  std::atomic<uint8_t> priority_boost_{0};

  // Handlers and triggers (line lock).
  bool port_handler_installed_ = false;
  std::atomic<bool> handler_service_needed_{false};
  std::vector<std::unique_ptr<WindowEntry>> window_handlers_;
  std::vector<std::unique_ptr<ProcEntry>> proc_handlers_;
  std::vector<std::unique_ptr<ProcEntry>> event_handlers_;
  int32_t next_handler_id_ = 1;
  std::vector<TTimerTrigger> timer_triggers_;
  std::vector<TDataTrigger> data_triggers_;
  std::vector<TStatusTrigger> status_triggers_;
  int32_t next_trigger_handle_ = 1;
  uint32_t avail_trigger_length_ = 0;
  // Scan state of the dispatch thread (ring lock).
  uint32_t last_tail_data_ = 0;
  uint32_t last_tail_length_ = 1;
  uint32_t notify_tail_ = 0;

  std::array<std::atomic<bool>, 4> thread_present_{};
  std::atomic<bool> threads_running_{false};
  std::atomic<int32_t> active_threads_{0};
  std::atomic<bool> dispatching_{false};
  std::atomic<bool> deregistration_pending_{false};
  std::atomic<bool> close_pending_{false};
  std::array<std::unique_ptr<TSioEvent>, kEventCount> events_;

  TIOQueue input_queue_;

  TSioTraceBuffer trace_;

  // Log.
  std::atomic<bool> logging_on_{false};
  std::atomic<uint32_t> log_budget_{0};
  TIOQueue log_queue_;
  std::atomic<uint32_t> open_time_{0};

  std::string device_name_;
  bool shut_down_ = false;
};

// The process-wide list of dispatchers; a dispatcher's handle is its index.
void LockPortList();
void UnlockPortList();
// Under the list lock: the dispatcher of a handle, or null.
TSioBaseDispatcher* LookupDispatcher(int32_t handle);
// Number of slots (for tests and the port's window procedure).
int32_t PortListCount();

}  // namespace serial
