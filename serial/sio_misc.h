// Small helpers of the serial layer: the component base of the port, the text
// file that the log and trace writers and the trend export write through, and
// flag tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace serial {

// The layer's version text, also printed in the dispatch log header.
inline constexpr const char* kSioVersion = "v1.00";

// Base of the port component: its Version property and the loading and design
// states during which the port stores settings instead of acting on them.
class TSioBaseComponent {
 public:
  virtual ~TSioBaseComponent() = default;
  std::string Version() const { return kSioVersion; }
  void SetVersion(const std::string&) {}  // read-only property; writing does nothing
  bool Loading() const { return loading_; }
  bool Designing() const { return designing_; }
  void SetLoading(bool on) { loading_ = on; }
  void SetDesigning(bool on) { designing_ = on; }
  // On the UI thread, soon after a port thread found the device gone (a line
  // that hung up, an adapter unplugged); the port's threads have ended then.
  virtual void DeviceFailureNotice() {}

 private:
  bool loading_ = false;
  bool designing_ = false;
};

// A text file bound to a name, written as bytes through a 512-byte buffer. Every
// operation gives an I/O result: 0, or the Windows error number of the failure
// (the writers return it negated). Once an operation failed, writes are skipped
// and Close reports the first failure.
class TTextFile {
 public:
  TTextFile() = default;
  ~TTextFile();
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;

  const std::string& Name() const { return name_; }
  void AssignName(std::string name) { name_ = std::move(name); }
  int Rewrite();  // create or truncate
  int Append();   // open for appending; the file must exist
  void Write(std::string_view bytes);
  void WriteLn(std::string_view bytes = {});  // bytes, then CR LF
  int IOResult() const { return error_; }
  int Close();

 private:
  int Open(const char* mode);
  std::string name_;
  std::FILE* file_ = nullptr;
  char buffer_[512];
  int error_ = 0;
};

// Binds a text file to a name; opens nothing.
void AssignTextFile(TTextFile& file, const std::string& name);
bool FileExistsZ(const char* name);
inline bool TestFlags(uint32_t value, uint32_t bits) {
  return (value & bits) != 0;
}

}  // namespace serial
