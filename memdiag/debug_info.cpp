#include "memdiag/debug_info.h"

#include <cxxabi.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <elfutils/libdwfl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

namespace memdiag {
namespace {

// Any read outside the loaded bytes; the whole load is then dropped.
struct TMalformed {};

// Little-endian reads from a window of bytes, every one checked against its end.
class TBytes {
 public:
  TBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Size() const { return size_; }
  TBytes Sub(uint64_t offset, uint64_t size) const {
    if (offset > size_ || size > size_ - offset) throw TMalformed{};
    return TBytes(data_ + offset, size);
  }
  uint8_t U8(uint64_t offset) const { return Sub(offset, 1).data_[0]; }
  uint16_t U16(uint64_t offset) const {
    const uint8_t* p = Sub(offset, 2).data_;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  uint32_t U32(uint64_t offset) const {
    const uint8_t* p = Sub(offset, 4).data_;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  }
  std::string Text(uint64_t offset, uint64_t size) const {
    TBytes t = Sub(offset, size);
    return std::string(reinterpret_cast<const char*>(t.data_), t.size_);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

class TFile {
 public:
  explicit TFile(const std::string& name) : fd_(::open(name.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~TFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  std::optional<uint64_t> Size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
  }
  // Exactly size bytes at offset, or nothing.
  bool Read(uint64_t offset, uint64_t size, std::vector<uint8_t>& out) const {
    out.assign(size, 0);
    uint64_t done = 0;
    while (done < size) {
      ssize_t n = ::pread(fd_, out.data() + done, size - done, static_cast<off_t>(offset + done));
      if (n <= 0) return false;
      done += static_cast<uint64_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

constexpr uint16_t kNamesSubsection = 0x130;
constexpr uint16_t kSymbolsSubsection = 0x125;
constexpr uint16_t kLinesSubsection = 0x127;
constexpr uint16_t kRoutineRecord = 0x204;
constexpr uint16_t kRoutineRecord2 = 0x205;

bool IsSignature(const std::string& s) {
  return s == "FB09" || s == "FB0A";
}

struct TDirectoryEntry {
  uint16_t Type;
  TBytes Bytes;
};

std::vector<std::string> ReadNames(TBytes sub) {
  const uint32_t count = sub.U32(0);
  // Each name takes at least its length byte and its zero byte.
  if (count > (sub.Size() - 4) / 2) throw TMalformed{};
  std::vector<std::string> names;
  names.reserve(count);
  uint64_t pos = 4;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t length = sub.U8(pos);
    names.push_back(sub.Text(pos + 1, length));
    if (sub.U8(pos + 1 + length) != 0) throw TMalformed{};
    pos += length + 2u;
  }
  return names;
}

const std::string& NameAt(const std::vector<std::string>& names, uint32_t index) {
  if (index > names.size()) throw TMalformed{};
  return names[index - 1];
}

void ReadSymbolSubsection(TBytes sub, const std::vector<std::string>& names,
                          std::vector<TRoutineDebugInfos>& routines) {
  uint64_t pos = 4;
  while (pos + 2 <= sub.Size()) {
    const uint16_t length = sub.U16(pos);
    if (length == 0) break;
    TBytes record = sub.Sub(pos, 2u + length);
    const uint16_t kind = record.U16(2);
    if (kind == kRoutineRecord || kind == kRoutineRecord2) {
      const uint32_t size = record.U32(16);
      const uint32_t start = record.U32(28);
      const uint32_t name_index = record.U32(40);
      if (name_index > 0 && size > 0) {
        routines.push_back({NameAt(names, name_index), start, uint64_t{start} + size - 1});
      }
    }
    pos += 2u + length;
  }
}

std::string FileNamePart(const std::string& name) {
  const size_t slash = name.find_last_of("\\/:");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

void ReadLineSubsection(TBytes sub, const std::vector<std::string>& names,
                        std::vector<TUnitDebugInfos>& units) {
  const uint16_t files = sub.U16(0);
  for (uint16_t f = 0; f < files; ++f) {
    TBytes record = sub.Sub(sub.U32(4 + 4u * f), 10);
    const uint32_t name_index = record.U32(2);
    if (name_index == 0) continue;
    const uint32_t segment_offset = record.U32(6);
    const uint16_t n = sub.U16(uint64_t{segment_offset} + 2);
    TBytes segment = sub.Sub(uint64_t{segment_offset} + 4, 6u * n);
    TUnitDebugInfos unit{FileNamePart(NameAt(names, name_index)), {}};
    unit.Lines.reserve(n);
    for (uint16_t i = 0; i < n; ++i) {
      unit.Lines.push_back({segment.U32(4u * i), segment.U16(4u * n + 2u * i)});
    }
    // A unit without lines encloses no address.
    if (unit.Lines.empty()) continue;
    // The searches halve: the file order is no promise of sorted addresses.
    std::stable_sort(
        unit.Lines.begin(), unit.Lines.end(),
        [](const TAddressToLine& a, const TAddressToLine& b) { return a.Address < b.Address; });
    units.push_back(std::move(unit));
  }
}

void SortRoutines(std::vector<TRoutineDebugInfos>& routines) {
  std::stable_sort(routines.begin(), routines.end(),
                   [](const TRoutineDebugInfos& a, const TRoutineDebugInfos& b) {
                     return a.StartAddress < b.StartAddress;
                   });
}

std::string Demangled(const std::string& name) {
  if (name.rfind("_Z", 0) != 0) return name;
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(
      abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : name;
}

int FindMainProgram(dl_phdr_info* info, size_t, void* data) {
  auto* range = static_cast<std::pair<uintptr_t, uintptr_t>*>(data);
  range->first = info->dlpi_addr;
  uintptr_t end = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type == PT_LOAD) end = std::max<uintptr_t>(end, ph.p_vaddr + ph.p_memsz);
  }
  range->second = info->dlpi_addr + end;
  return 1;  // the main program comes first
}

}  // namespace

// The modules of the running process as elfutils reports them, each with its
// symbol table and, where the module has it, its DWARF line table.
class TProcessModules {
 public:
  TProcessModules() = default;
  ~TProcessModules() {
    if (dwfl_) dwfl_end(dwfl_);
  }
  TProcessModules(const TProcessModules&) = delete;
  TProcessModules& operator=(const TProcessModules&) = delete;

  bool Load() {
    dwfl_ = dwfl_begin(&callbacks_);
    if (!dwfl_) return false;
    if (dwfl_linux_proc_report(dwfl_, ::getpid()) != 0) return false;
    return dwfl_report_end(dwfl_, nullptr, nullptr) == 0;
  }

  bool Find(uintptr_t address, TModuleLocation& location) const {
    std::lock_guard<std::mutex> lock(lock_);  // libdwfl reads lazily
    Dwfl_Module* module = dwfl_addrmodule(dwfl_, address);
    if (!module) return false;
    const char* name = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
    Dwarf_Addr bias = 0;
    if (!name || !dwfl_module_getelf(module, &bias)) return false;
    location = TModuleLocation{};
    location.Module = FileNamePart(name);
    location.Offset = address - bias;
    GElf_Sym symbol;
    GElf_Off offset = 0;
    if (const char* routine = dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr,
                                                   nullptr, nullptr)) {
      location.Routine = routine;
    }
    if (Dwfl_Line* line = dwfl_module_getsrc(module, address)) {
      int number = 0;
      if (const char* file = dwfl_lineinfo(line, nullptr, &number, nullptr, nullptr, nullptr)) {
        location.File = FileNamePart(file);
        location.Line = number;
      }
    }
    return true;
  }

 private:
  char* debuginfo_path_ = nullptr;  // the standard places of separate debug files
  Dwfl_Callbacks callbacks_{dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo, nullptr,
                            &debuginfo_path_};
  Dwfl* dwfl_ = nullptr;
  mutable std::mutex lock_;
};

std::string HexAddressText(uintptr_t address) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int shift = sizeof(uintptr_t) * 8 - 4; shift >= 0; shift -= 4) {
    const unsigned digit = (address >> shift) & 0xF;
    if (digit != 0 || !text.empty() || shift < 32) text.push_back(kDigits[digit]);
  }
  return text;
}

void TDebugInfo::SetCodeBase(uintptr_t base, uintptr_t image_end) {
  code_base_ = base;
  image_end_ = image_end;
}

void TDebugInfo::ComputeCodeBase() {
  std::pair<uintptr_t, uintptr_t> range{0, 0};
  dl_iterate_phdr(FindMainProgram, &range);
  SetCodeBase(range.first, range.second);
}

bool TDebugInfo::LoadDebugInfo(const std::string& program_file) {
  units_.clear();
  routines_.clear();
  std::vector<TRoutineDebugInfos> routines;
  std::vector<TUnitDebugInfos> units;
  TFile file(program_file);
  const std::optional<uint64_t> file_size = file.Size();
  if (!file_size || *file_size < 8) return false;
  std::vector<uint8_t> trailer;
  if (!file.Read(*file_size - 8, 8, trailer)) return false;
  try {
    TBytes tail(trailer.data(), trailer.size());
    const std::string signature = tail.Text(0, 4);
    if (!IsSignature(signature)) return false;
    const uint32_t distance = tail.U32(4);
    if (distance < 8 || distance > *file_size) return false;
    std::vector<uint8_t> bytes;
    if (!file.Read(*file_size - distance, distance, bytes)) return false;
    TBytes info(bytes.data(), bytes.size());
    if (info.Text(0, 4) != signature) return false;

    const uint32_t directory = info.U32(4);
    const uint16_t header_size = info.U16(directory);
    const uint16_t entry_size = info.U16(uint64_t{directory} + 2);
    const uint16_t count = info.U16(uint64_t{directory} + 4);
    if (header_size < 6 || entry_size < 12) throw TMalformed{};
    std::vector<TDirectoryEntry> entries;
    for (uint16_t i = 0; i < count; ++i) {
      TBytes entry = info.Sub(uint64_t{directory} + header_size + uint64_t{entry_size} * i, 12);
      entries.push_back({entry.U16(0), info.Sub(entry.U32(4), entry.U32(8))});
    }
    std::vector<std::string> names;
    for (const TDirectoryEntry& e : entries) {
      if (e.Type != kNamesSubsection) continue;
      std::vector<std::string> more = ReadNames(e.Bytes);
      names.insert(names.end(), more.begin(), more.end());
    }
    for (const TDirectoryEntry& e : entries) {
      if (e.Type == kSymbolsSubsection) ReadSymbolSubsection(e.Bytes, names, routines);
      if (e.Type == kLinesSubsection) ReadLineSubsection(e.Bytes, names, units);
    }
  } catch (const TMalformed&) {
    return false;
  }
  std::stable_sort(units.begin(), units.end(),
                   [](const TUnitDebugInfos& a, const TUnitDebugInfos& b) {
                     return a.Lines.front().Address < b.Lines.front().Address;
                   });
  units_ = std::move(units);
  SortRoutines(routines);
  routines_ = std::move(routines);
  return true;
}

bool TDebugInfo::LoadProcessModules() {
  auto modules = std::make_shared<TProcessModules>();
  if (!modules->Load()) {
    modules_.reset();
    return false;
  }
  modules_ = std::move(modules);
  return true;
}

bool TDebugInfo::FindModuleLocation(uintptr_t address, TModuleLocation& location) const {
  return modules_ && modules_->Find(address, location);
}

bool TDebugInfo::IsProgramCode(uintptr_t address) const {
  if (image_end_ == 0) return true;
  return address > code_base_ && address < image_end_;
}

const TUnitDebugInfos* TDebugInfo::FindUnitForAddress(uint64_t offset) const {
  auto it = std::upper_bound(
      units_.begin(), units_.end(), offset,
      [](uint64_t o, const TUnitDebugInfos& u) { return o < u.Lines.front().Address; });
  if (it == units_.begin()) return nullptr;
  --it;
  return offset <= it->Lines.back().Address ? &*it : nullptr;
}

const TRoutineDebugInfos* TDebugInfo::FindRoutineForAddress(uint64_t offset) const {
  auto it =
      std::upper_bound(routines_.begin(), routines_.end(), offset,
                       [](uint64_t o, const TRoutineDebugInfos& r) { return o < r.StartAddress; });
  if (it == routines_.begin()) return nullptr;
  // Aliases share a start and may differ in length.
  const uint64_t start = (it - 1)->StartAddress;
  while (it != routines_.begin() && (it - 1)->StartAddress == start) {
    --it;
    if (offset <= it->EndAddress) return &*it;
  }
  return nullptr;
}

uint16_t TDebugInfo::FindLineForAddress(const TUnitDebugInfos& unit, uint64_t offset) {
  auto it = std::upper_bound(unit.Lines.begin(), unit.Lines.end(), offset,
                             [](uint64_t o, const TAddressToLine& l) { return o < l.Address; });
  return it == unit.Lines.begin() ? 0 : (it - 1)->Line;
}

std::string TDebugInfo::LocationText(uintptr_t address) const {
  const bool in_image = address > code_base_ && (image_end_ == 0 || address < image_end_);
  const TRoutineDebugInfos* routine = nullptr;
  const TUnitDebugInfos* unit = nullptr;
  if (in_image) {
    const uint64_t offset = address - code_base_;
    routine = FindRoutineForAddress(offset);
    unit = FindUnitForAddress(offset);
  }
  TModuleLocation module;
  const bool in_module = FindModuleLocation(address, module);

  std::string routine_name = routine ? routine->Name : module.Routine;
  std::string unit_name = unit ? unit->Name : module.File;
  int line = unit ? FindLineForAddress(*unit, address - code_base_) : module.Line;
  const std::string routine_text =
      routine_name.empty() ? std::string("(no debug info)") : " Routine " + Demangled(routine_name);
  std::string text = routine_text;
  if (!unit_name.empty()) {
    text = "Module " + unit_name + routine_text;
    if (line > 0) text += " Line " + std::to_string(line);
  }
  text += " Find error: ";
  if (in_module) return text + module.Module + "+" + HexAddressText(module.Offset);
  return text + HexAddressText(in_image ? address - code_base_ : address);
}

std::string TDebugInfo::CallStackText(const TCallStack& stack, std::string_view header) const {
  std::string text;
  for (int i = 0; i < kCallStackDepth && stack[i] != 0; ++i) {
    text.append(header);
    text += "call stack - " + std::to_string(i) + " : " + LocationText(stack[i]) + "\r\n";
  }
  return text;
}

}  // namespace memdiag
