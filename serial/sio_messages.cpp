#include "serial/sio_messages.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/win_errors.h"

namespace serial {
namespace {

// Ascending by absolute code, no absolute code twice. Negative rows are error
// codes, positive rows the texts of the dispatch log.
constexpr TSioMessage kMessages[] = {
    {0, "No error"},
    {-2, "File not found"},
    {-3, "Path not found"},
    {-4, "Too many open files"},
    {-5, "File access denied"},
    {-6, "Invalid file handle"},
    {-8, "Insufficient memory"},
    {-15, "Invalid drive number"},
    {-18, "No more files"},
    {-100, "Disk read error"},
    {-101, "Disk is full"},
    {-102, "File not assigned"},
    {-103, "File not open"},
    {-104, "File not open for input"},
    {-105, "File not open for output"},
    {-150, "Disk is write-protected"},
    {-151, "Unknown unit"},
    {-152, "Drive not ready"},
    {-153, "Unknown command"},
    {-154, "CRC error in data"},
    {-155, "Bad drive request structure length"},
    {-156, "Disk seek error"},
    {-157, "Unknown media type"},
    {-158, "Sector not found"},
    {-159, "Printer out of paper"},
    {-160, "Device write error"},
    {-161, "Device read error"},
    {-162, "Hardware failure"},
    {-1001, "Unspecified serial port error"},
    {-1002, "Bad argument passed to function"},
    {-1003, "Quit message received"},
    {-1004, "Buffer too big"},
    {-1005, "No port assigned"},
    {-1006, "Internal error"},
    {-1007, "No modem assigned"},
    {-1008, "No phonebook assigned"},
    {-1009, "Cannot be used with the network device layer"},
    {-2001, "ie_BadId - Specified comport doesn't exist"},
    {-2002, "ie_Baudrate - unsupported baud rate"},
    {-2003, "ie_ByteSize - invalid byte size"},
    {-2004, "ie_Default - error in default parameters"},
    {-2005, "ie_Hardware - hardware not present"},
    {-2006, "ie_Memory - unable to allocate queues"},
    {-2007, "ie_NOpen - device not open"},
    {-2008, "ie_Open - device already open"},
    {-2009, "No more handles"},
    {-2010, "No more timers"},
    {-2011, "The ComNumber property of the TSioComPort has not been set"},
    {-2012, "The port was not opened by the telephony layer"},
    {-3001, "No device layer specified"},
    {-3002, "Device layer not supported"},
    {-3003, "Failed to register the handler"},
    {-3004, "Failed to put entire block"},
    {-3005, "Failed to get entire block"},
    {-3006, "Output buffer too small for block"},
    {-3007, "Buffer is empty"},
    {-3008, "Tracing not enabled"},
    {-3009, "Logging not enabled"},
    {-3010, "Base address not set"},
    {-4001, "Modem not started"},
    {-4002, "Modem is busy"},
    {-4003, "Modem is not dialing"},
    {-4004, "Not dialing"},
    {-4005, "Already dialing"},
    {-4006, "Modem not responding"},
    {-4007, "Modem rejected the command"},
    {-4008, "Modem status mismatch"},
    {-5001, "No more triggers available"},
    {-5002, "Trigger string too long"},
    {-5003, "Bad trigger handle"},
    {-6006, "Protocol error"},
    {-6008, "Protocol error"},
    {-6009, "Protocol error"},
    {-7001, "Key too long"},
    {-7002, "Data too large"},
    {-7003, "Internal database error"},
    {-7004, "Ini file write error"},
    {-7005, "Ini file read error"},
    {-7006, "Internal database error"},
    {-7007, "Record already exists"},
    {-7008, "Record not found"},
    {-7010, "Database full"},
    {-7011, "Database empty"},
    {-7012, "Internal database error"},
    {-7013, "Bad field list"},
    {-7014, "Bad field for index"},
    {-8001, "Bad fax format"},
    {-8002, "Bad graphics format"},
    {-8003, "Conversion aborted"},
    {-8004, "Unpacking aborted"},
    {-8005, "Cannot make bitmap"},
    {-8053, "Invalid page number"},
    {-8060, "Bad fax machine"},
    {-8061, "Bad modem result"},
    {-8062, "Fax training error"},
    {-8063, "Fax initialisation error"},
    {-8064, "Fax line busy"},
    {-8065, "Voice call"},
    {-8066, "Data call"},
    {-8067, "No dial tone"},
    {-8068, "No carrier"},
    {-8069, "Fax session error"},
    {-8070, "Fax page error"},
    {-13801, "Line already allocated"},
    {-13802, "Bad device ID"},
    {-13803, "Bearer mode unavailable"},
    {-13805, "Call unavailable"},
    {-13806, "Completion overrun"},
    {-13807, "Conference full"},
    {-13808, "Waiting for billing tone"},
    {-13809, "No dial tone while dialling"},
    {-13810, "Dial prompt"},
    {-13811, "Waiting for quiet"},
    {-13812, "Incompatible API version"},
    {-13813, "Incompatible extension version"},
    {-13814, "Telephony configuration corrupt"},
    {-13815, "In use"},
    {-13816, "Invalid address"},
    {-13817, "Invalid address ID"},
    {-13818, "Invalid address mode"},
    {-13819, "Invalid address state"},
    {-13820, "Invalid application handle"},
    {-13821, "Invalid application name"},
    {-13822, "Invalid bearer mode"},
    {-13823, "Invalid call completion mode"},
    {-13824, "Invalid call handle"},
    {-13825, "Invalid call parameters"},
    {-13826, "Invalid call privilege"},
    {-13827, "Invalid call select"},
    {-13828, "Invalid call state"},
    {-13829, "Invalid call state list"},
    {-13830, "Invalid card"},
    {-13831, "Invalid completion ID"},
    {-13832, "Invalid conference call handle"},
    {-13833, "Invalid consult call handle"},
    {-13834, "Invalid country code"},
    {-13835, "Invalid device class"},
    {-13836, "Invalid device handle"},
    {-13837, "Invalid dial parameters"},
    {-13838, "Invalid digit list"},
    {-13839, "Invalid digit mode"},
    {-13840, "Invalid digits"},
    {-13841, "Invalid extension version"},
    {-13842, "Invalid group ID"},
    {-13843, "Invalid line handle"},
    {-13844, "Invalid line state"},
    {-13845, "Invalid location"},
    {-13846, "Invalid media list"},
    {-13847, "Invalid media mode"},
    {-13848, "Invalid message ID"},
    {-13850, "Invalid parameter"},
    {-13851, "Invalid park ID"},
    {-13852, "Invalid park mode"},
    {-13853, "Invalid pointer"},
    {-13854, "Invalid privilege select"},
    {-13855, "Invalid rate"},
    {-13856, "Invalid request mode"},
    {-13857, "Invalid terminal ID"},
    {-13858, "Invalid terminal mode"},
    {-13859, "Invalid timeout"},
    {-13860, "Invalid tone"},
    {-13861, "Invalid tone list"},
    {-13862, "Invalid tone mode"},
    {-13863, "Invalid transfer mode"},
    {-13864, "Line mapper failed"},
    {-13865, "No conference"},
    {-13866, "No device"},
    {-13867, "No driver"},
    {-13868, "No memory"},
    {-13869, "No request"},
    {-13870, "Not owner"},
    {-13871, "Not registered"},
    {-13872, "Operation failed"},
    {-13873, "Operation unavailable"},
    {-13874, "Rate unavailable"},
    {-13875, "Resource unavailable"},
    {-13876, "Request overrun"},
    {-13877, "Structure too small"},
    {-13878, "Target not found"},
    {-13879, "Target is self"},
    {-13880, "Telephony not initialised"},
    {-13881, "User-to-user information too big"},
    {-13882, "Reinitialisation needed"},
    {-13883, "Address blocked"},
    {-13884, "Billing rejected"},
    {-13885, "Invalid feature"},
    {-13886, "Multiple instances not allowed"},
    {-13928, "Telephony busy"},
    {-13929, "Telephony not set"},
    {-13930, "No telephony device selected"},
    {-13931, "Telephony library load failed"},
    {-13932, "Failed to get address"},
    {-13935, "Voice not supported"},
    {-13936, "Wave device failure"},
    {-13942, "Address translation failed"},
    {-13980, "Remote access library load failed"},
    {15001, "No event"},
    {15002, "Dispatch"},
    {15003, "Trigger"},
    {15004, "Error"},
    {15005, "Thread"},
    {15006, "TrigAllc"},
    {15007, "TrigDisp"},
    {15008, "TrgHdAlc"},
    {15009, "TrgHdDsp"},
    {15010, "TrDatChg"},
    {15011, "Telnet"},
    {15012, "Fax"},
    {15013, "XModem"},
    {15014, "YModem"},
    {15015, "ZModem"},
    {15016, "Kermit"},
    {15017, "Ascii"},
    {15018, "BPlus"},
    {15019, "Packet"},
    {15020, "User"},
    {15021, "Script"},
    {15101, "ReadCom"},
    {15102, "WriteCom"},
    {15103, "Line status"},
    {15104, "Modem status"},
    {15105, "Avail"},
    {15106, "Timer"},
    {15107, "Data"},
    {15108, "Status"},
    {15109, "Start"},
    {15110, "Exit"},
    {15111, "Sleep"},
    {15112, "Wake"},
    {15113, "Data"},
    {15114, "Timer"},
    {15115, "Status"},
    {15116, "Avail"},
    {15117, "Window"},
    {15118, "Procedure"},
    {15119, "Method"},
    {15501, "Time      Type      SubType       Data      OtherData"},
    {15502, "--------  --------  ------------  --------  ---------"},
    {15601, "DCTS "},
    {15602, "DDSR "},
    {15603, "TERI "},
    {15604, "DDCD "},
    {15605, "CTS "},
    {15606, "DSR "},
    {15607, "RI "},
    {15608, "DCD "},
    {15700, "Binary"},
    {15701, "Echo"},
    {15702, "Reconnection"},
    {15703, "Suppress go ahead"},
    {15704, "Message size"},
    {15705, "Status"},
    {15706, "Timing mark"},
    {15707, "Remote controlled transmission"},
    {15708, "Output line width"},
    {15709, "Output page size"},
    {15710, "Output CR disposition"},
    {15711, "Output horizontal tabs"},
    {15712, "Output horizontal tab disposition"},
    {15713, "Output formfeed disposition"},
    {15714, "Output vertical tabs"},
    {15715, "Output vertical tab disposition"},
    {15716, "Output linefeed disposition"},
    {15717, "Extended ASCII"},
    {15718, "Logout"},
    {15719, "Byte macro"},
    {15720, "Data entry terminal"},
    {15721, "SUPDUP"},
    {15722, "SUPDUP output"},
    {15723, "Send location"},
    {15724, "Terminal type"},
    {15725, "End of record"},
    {15726, "User identification"},
    {15727, "Output marking"},
    {15728, "Terminal location number"},
    {15729, "3270 regime"},
    {15730, "X.3 PAD"},
    {15731, "Window size"},
    {15732, "Terminal speed"},
    {15733, "Remote flow control"},
    {15734, "Linemode"},
    {15735, "X display location"},
    {15736, "Environment"},
    {15737, "Authentication"},
    {15738, "Encryption"},
    {15739, "New environment"},
    {15740, "TN3270E"},
    {15741, "XAUTH"},
    {15742, "Charset"},
};

std::mutex g_source_mutex;
TSystemMessageSource g_source;

std::string StrErrorText(uint32_t win_error) {
  int err = platform::ErrnoFromWinError(win_error);
  if (err == 0) return {};
  char buffer[256];
  // The GNU strerror_r returns its text, which need not be in buffer.
  const char* text = strerror_r(err, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}

// Banker's rounding of (lo + hi) / 2.
int Middle(int lo, int hi) {
  int sum = lo + hi;
  int half = sum / 2;
  if (sum % 2 != 0 && half % 2 != 0) ++half;
  return half;
}

}  // namespace

std::span<const TSioMessage> MessageTable() {
  return kMessages;
}

void SetSystemMessageSource(TSystemMessageSource source) {
  std::lock_guard lock(g_source_mutex);
  g_source = std::move(source);
}

std::string SystemMessageText(uint32_t error) {
  TSystemMessageSource source;
  {
    std::lock_guard lock(g_source_mutex);
    source = g_source;
  }
  std::string text = source ? source(error) : StrErrorText(error);
  if (text.size() > 255) text.resize(255);
  return text;
}

std::string LookupMessage(int32_t code) {
  const int64_t k = code < 0 ? -static_cast<int64_t>(code) : code;
  int lo = 0;
  int hi = static_cast<int>(std::size(kMessages)) - 1;
  while (hi >= lo) {
    int mid = Middle(lo, hi);
    int64_t c =
        kMessages[mid].Code < 0 ? -static_cast<int64_t>(kMessages[mid].Code) : kMessages[mid].Code;
    if (c == k) {
      std::string text = kMessages[mid].Text;
      if (text.size() > 255) text.resize(255);
      return text;
    }
    if (k < c) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  if (k > 0xFFFFFFFFLL) return {};
  std::string text = SystemMessageText(static_cast<uint32_t>(k));
  // System texts end in line breaks; make them one line with single blanks.
  for (char& ch : text) {
    if (static_cast<unsigned char>(ch) < 32) ch = ' ';
  }
  std::string cleaned;
  for (char ch : text) {
    if (ch == ' ' && !cleaned.empty() && cleaned.back() == ' ') continue;
    cleaned.push_back(ch);
  }
  return cleaned;
}

}  // namespace serial
