// The dispatch log: entries kept in memory and written to a text file on demand.
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "serial/sio_dispatcher.h"
#include "serial/sio_messages.h"

namespace serial {
namespace {

constexpr int kFirstPayloadColumn = 45;
constexpr int kLineLimit = 79;
constexpr int kTelnetOptionMax = 42;

std::string Hex2(uint8_t b) {
  char s[3];
  std::snprintf(s, sizeof s, "%02X", b);
  return s;
}

std::string Trim(std::string s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

std::string PadRight(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

std::string PadLeft(std::string s, size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

// Writes the payload items, wrapping before column 79 onto lines indented by 44.
class PayloadWriter {
 public:
  explicit PayloadWriter(TTextFile& file) : file_(file) {}
  void Item(const std::string& text) {
    column_ += static_cast<int>(text.size());
    if (column_ >= kLineLimit) {
      file_.WriteLn();
      file_.Write(std::string(kFirstPayloadColumn - 1, ' '));
      column_ = kFirstPayloadColumn + static_cast<int>(text.size());
    }
    file_.Write(text);
  }

 private:
  TTextFile& file_;
  int column_ = kFirstPayloadColumn;
};

std::string ByteItem(uint8_t b, bool user_entry, bool hex, bool all_hex) {
  if (all_hex) {
    if (user_entry) return std::string(1, static_cast<char>(b));
    return "[" + Hex2(b) + "]";
  }
  const uint8_t threshold = hex ? 33 : 32;
  if (b >= threshold && b <= '~') return std::string(1, static_cast<char>(b));
  if (hex) return "[" + Hex2(b) + "]";
  return "[" + std::to_string(b) + "]";
}

}  // namespace

void TSioBaseDispatcher::AddLogEntry(uint8_t type, uint16_t subtype, int32_t length,
                                     const void* payload, uint32_t data) {
  if (!logging_on_) return;
  const uint32_t budget = log_budget_;
  while (budget != 0 && log_queue_.Count() > 0 &&
         static_cast<uint32_t>(log_queue_.BytesQueued()) > budget) {
    log_queue_.Pop();
  }
  log_queue_.Push(std::make_unique<TLogBuffer>(type, subtype, ElapsedSinceOpen(), data, payload,
                                               payload ? length : 0));
}

void TSioBaseDispatcher::LogUserText(std::string_view text) {
  if (!logging_on_) return;
  // The log file is Windows-1252; text that is not UTF-8 is taken as bytes.
  std::string bytes =
      platform::IsValidUtf8(text) ? platform::Utf8ToCp1252(text) : std::string(text);
  AddLogEntry(ltUser, lstNone, static_cast<int32_t>(bytes.size()), bytes.data(), 0);
}

void TSioBaseDispatcher::InitLogging(uint32_t budget) {
  log_queue_.Clear();
  log_budget_ = budget;
  logging_on_ = true;
}

void TSioBaseDispatcher::AbortLogging() {
  logging_on_ = false;
  log_queue_.Clear();
}

void TSioBaseDispatcher::ClearLogging() {
  log_queue_.Clear();
}

int32_t TSioBaseDispatcher::DumpLog(const std::string& file_name, bool hex, bool all_hex) {
  return WriteLogFile(file_name, false, hex, all_hex);
}

int32_t TSioBaseDispatcher::AppendLog(const std::string& file_name, bool hex, bool all_hex) {
  return WriteLogFile(file_name, true, hex, all_hex);
}

uint32_t TSioBaseDispatcher::ElapsedSinceOpen() const {
  return platform::GetTickCount() - open_time_.load();
}

std::string TSioBaseDispatcher::LogTypeText(uint8_t type) {
  return LookupMessage(15001 + type);
}

std::string TSioBaseDispatcher::LogSubtypeText(uint16_t subtype) {
  if (subtype == lstNone) return {};
  return LookupMessage(15100 + subtype);
}

std::string TSioBaseDispatcher::LogTimeText(uint32_t milliseconds) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", milliseconds);
  std::string s = digits;
  s.insert(s.size() - 3, ".");
  return s;
}

std::string TSioBaseDispatcher::OSVersionText() {
  struct utsname u;
  if (::uname(&u) != 0) return "Unknown";
  return std::string(u.sysname) + " " + u.release;
}

int32_t TSioBaseDispatcher::WriteLogFile(const std::string& file_name, bool append, bool hex,
                                         bool all_hex) {
  if (log_queue_.Count() == 0) return 0;
  std::lock_guard lock(line_lock_);
  TTextFile f;
  AssignTextFile(f, file_name);
  int io = append && FileExistsZ(file_name.c_str()) ? f.Append() : f.Rewrite();
  if (io != 0) {
    f.Close();
    return -io;
  }

  auto cut = [](std::string s) {
    if (s.size() > 80) s.resize(80);
    return s;
  };
  const platform::LocalDateTime now = platform::Now();
  char date[40];
  std::snprintf(date, sizeof date, "%02d/%02d/%02d, %02d:%02d:%02d", now.day, now.month,
                now.year % 100, now.hour, now.minute, now.second);
  f.WriteLn(std::string("SIO ") + kSioVersion);
  f.WriteLn("Compiler : g++ " __VERSION__);
  f.WriteLn("Operating System : " + cut(OSVersionText()));
  f.WriteLn("Device: " + device_name_);
  f.WriteLn("Date/time: " + cut(date));
  f.WriteLn(LookupMessage(15501));
  f.WriteLn(LookupMessage(15502));

  while (std::unique_ptr<TIOBuffer> b = log_queue_.Pop()) {
    auto* e = dynamic_cast<TLogBuffer*>(b.get());
    if (!e) continue;
    char data[16];
    std::snprintf(data, sizeof data, "%08X", e->Data);
    f.Write(PadLeft(LogTimeText(e->Time), 8) + "  " + PadRight(LogTypeText(e->Type), 8) + "  " +
            PadRight(LogSubtypeText(e->Subtype), 12) + "  " + data + "  ");
    PayloadWriter out(f);
    const bool user_entry = e->Type == ltUser;
    if ((e->Type == ltTrigAllc || e->Type == ltTrigDisp) && e->Subtype == lstTrigStatus) {
      static const char* const kStatusTypes[] = {"(Not active)",         "(Modem status)",
                                                 "(Line status)",        "(Output buffer free)",
                                                 "(Output buffer used)", "(Output sent)"};
      if (e->Size > 0 && e->Payload[0] < std::size(kStatusTypes)) {
        f.Write(kStatusTypes[e->Payload[0]]);
      }
    } else {
      for (int32_t i = 0; i < e->Size; ++i) {
        out.Item(ByteItem(e->Payload[i], user_entry, hex, all_hex));
      }
      if (e->Size > 0 && e->Subtype == lstModemStatus) {
        std::string names;
        for (int bit = 0; bit < 8; ++bit) {
          if (e->Data & (1u << bit)) names += LookupMessage(15601 + bit);
        }
        f.Write("(" + Trim(names) + ")");
      }
      if (e->Size == 0 && e->Type == ltTelnet) {
        std::string name;
        if (e->Data <= static_cast<uint32_t>(kTelnetOptionMax)) {
          name = LookupMessage(15700 + static_cast<int32_t>(e->Data & 0xFFFF));
        }
        f.Write("[" + Trim(name) + "]");
      }
    }
    f.WriteLn();
  }
  return -f.Close();
}

}  // namespace serial
