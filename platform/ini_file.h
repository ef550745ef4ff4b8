// The ini-file class with the semantics of the Windows profile functions, held in
// memory and written back whole.
//
// Reading: a file that does not exist is empty. Lines end in CRLF or LF; the text may
// be Windows-1252 or UTF-8 (with or without byte-order mark). A line "[name]" starts a
// section (blanks around the name are ignored, text after the "]" too); a line with
// "=" whose first non-blank character is not ";" is a key line: the key is the text
// before the first "=", the value the text after it, both trimmed of blanks and tabs
// (quotes are kept). Every other line (comments, blank lines, lines before the first
// section) is kept in place but never read.
//
// Names: sections and keys match case-insensitively (ASCII, the Latin-1 letters such
// as "Ä"/"ä", Latin Extended-A, basic Greek and Cyrillic); names given by the caller
// are trimmed too. When a section or a key appears twice, the first one is read and
// written; the later one is kept untouched.
//
// Writing: an existing key gets its new value on its own line ("key=value", key spelt
// as in the file); a new key goes at the end of its section, right after the
// section's last key line (so before blank or comment lines that end the section);
// a new section goes at the end of the file. Everything not changed stays byte for
// byte (apart from line ends and the encoding). A CR or LF inside a written key or
// value is written as a blank, so the file keeps its structure.
//
// Persistence: the file is written whole as Windows-1252 (characters it lacks become
// "?") with CRLF line ends, through WriteFileAtomically, so a failed write leaves the
// old file as it was and a target that is not a regular file is never replaced. By
// default every change is written through at once, as the Windows profile functions
// do (a call that changes nothing writes nothing). With auto-flush off the changes
// stay in memory until UpdateFile(); the destructor never writes.
//
// Not thread-safe: one object belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_limits.h"

namespace platform {

class TIniFile {
 public:
  // Reads the file (a UTF-8 path) when it exists; an empty name is an ini held in
  // memory only. Throws FileError (see ReadFileIfExists) when something of that name
  // exists but cannot be read as a file of its kind, so that a later write cannot
  // replace content never seen.
  explicit TIniFile(std::string file_name, bool auto_flush = true,
                    FileKind kind = FileKind::kOther);
  // The ini of `content`, the bytes of the file as its caller already read them
  // (who looks at the bytes too reads the file once); written back to file_name.
  TIniFile(std::string file_name, FileKind kind, std::string_view content);

  const std::string& FileName() const { return file_name_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // Strictly decimal: optional sign and digits, within 32 bits; anything else
  // (empty, "1.5", "0x10", "12abc") gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Keys of the section in file order, each once, spelt as in the file.
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Section names in file order, each once, spelt as in the file.
  std::vector<std::string> ReadSections() const;
  // Removes every section of that name: header and all lines up to the next section.
  void EraseSection(std::string_view section);
  // Removes the key (every line of it) from the section that reads see.
  void DeleteKey(std::string_view section, std::string_view key);

  // Writes the whole content now (also when nothing changed), see
  // WriteFileAtomically. Throws FileError.
  void UpdateFile();
  bool AutoFlush() const { return auto_flush_; }
  // Switching auto-flush on writes pending changes at once.
  void SetAutoFlush(bool on);
  // Changes not yet written.
  bool Modified() const { return modified_; }
  // The content as it would be written (Windows-1252, CRLF).
  std::string FileContent() const;

 private:
  enum class Kind { kOther, kSection, kKey };
  struct Line {
    Kind kind = Kind::kOther;
    std::string text;    // the line as read or as last written (UTF-8); a run of
                         // kOther lines is one entry, its lines joined by CRLF
    std::string name;    // section or key name, trimmed, as spelt
    std::string folded;  // name after case folding
    std::string value;   // key lines: trimmed value
  };
  struct Range {
    size_t header;  // index of the section line, npos when missing
    size_t end;     // one past its last line
  };

  void Parse(std::string_view text);
  Range FindSection(std::string_view folded_section) const;
  size_t FindKey(const Range& range, std::string_view folded_key) const;
  void Changed();
  // A line was inserted at `at`: the index follows without a rebuild.
  void Inserted(size_t at);
  void BuildIndex() const;

  std::string file_name_;
  bool auto_flush_;
  FileKind kind_;
  bool modified_ = false;
  std::vector<Line> lines_;
  // A section and a key name, looked up as the text "section\nkey" without
  // building that text (neither name can hold a line break).
  struct KeyRef {
    std::string_view section;
    std::string_view key;
  };
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
    size_t operator()(const KeyRef& ref) const;
  };
  struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
    bool operator()(const KeyRef& ref, std::string_view joined) const;
    bool operator()(std::string_view joined, const KeyRef& ref) const {
      return (*this)(ref, joined);
    }
  };
  using NameMap = std::unordered_map<std::string, size_t, NameHash, NameEqual>;
  // Where the sections and their keys are, so that a lookup does not walk every
  // line (a file of many lines would take seconds for a few hundred reads).
  // Built on the first lookup after lines were removed.
  struct Index {
    NameMap sections;            // folded name: its first header
    NameMap keys;                // folded section, '\n', folded key: first line
    std::vector<size_t> headers; // every section line, in file order
  };
  mutable Index index_;
  mutable bool index_valid_ = false;
};

}  // namespace platform
