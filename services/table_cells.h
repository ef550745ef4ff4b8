// What the two table editors' grids have in common: a cell that keeps the exact
// single it stands for beside its text, the value dialog's parameters for a
// cell, the grid's file name and change flags and the operator's edits, the
// strict number reading of pasted and loaded texts, and the error of a table
// file that cannot be taken.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace services {

// The text the operator sees and the exact single it stands for: a value read
// from the device shows 7 digits but goes back with all its bits as long as
// nobody changes the text.
struct TGridCell {
  std::string text;  // empty: an empty cell, 0 on the device
  float value = 0;

  bool operator==(const TGridCell&) const = default;
};

// A table value as the grids show it: 7 significant digits ("1.234568E7").
TGridCell ValueCell(float value);
// An axis value as the grids show it: a decimal integer.
TGridCell IntegerCell(uint16_t value);

// What the value dialog is given for one cell.
struct TCellInput {
  bool integer_only = false;
  uint8_t quantity = 255;  // quantity kind; 255 a plain number
  float min = 0;
  float max = 0;
  int32_t precision = 7;
  float value = 0;  // the value it starts with
};

// What a paste did.
enum class TPasteResult { kChanged, kUnchanged, kRefused };

// The file type of a table: extension with its dot, the dialogs' default
// extension and their filter ("description|patterns", both spellings, the
// description in the current language).
struct TTableFileKind {
  const char* extension;
  const char* default_ext;
  std::string filter;
};

// A table editor's working copy. Nothing here changes a cell whose text the
// operator did not change: an untouched cell goes back to the device with the
// exact bits it was read or loaded with.
class TTableGrid {
 public:
  virtual ~TTableGrid() = default;

  virtual int Rows() const = 0;
  virtual int Columns() const = 0;
  // Throws std::out_of_range outside the grid (or on a heading).
  virtual const TGridCell& Cell(int column, int row) const = 0;
  // Whether the cell holds a table value or an axis value (not the corner or a heading).
  virtual bool HoldsValue(int column, int row) const = 0;
  // The value dialog's parameters for a cell that holds a value.
  virtual TCellInput InputFor(int column, int row) const = 0;

  // The operator's edits. Each sets both change flags when, and only when, the
  // cell's text changes, and returns whether it did.
  // The dialog's value.
  virtual bool Enter(int column, int row, float value) = 0;
  // Clipboard text: the whole text must be a number within the single's range.
  virtual TPasteResult Paste(int column, int row, std::string_view text) = 0;
  // The cell becomes "0".
  virtual bool Delete(int column, int row) = 0;
  // A fresh table, no file name, both flags clear.
  virtual void New() = 0;

  virtual TTableFileKind FileKind() const = 0;
  // Loads the whole file or nothing (throws TTableFileError for its content,
  // platform::FileError for a file that cannot be read); then the file name is
  // that file, the grid matches it and differs from the device.
  virtual void LoadFile(const std::string& path) = 0;
  // Writes the file once (throws platform::FileError); only then the file
  // name is that file and the grid matches it.
  virtual void SaveFile(const std::string& path) = 0;
  // The device has the grid's table.
  void Sent() { ChangedSinceTransfer = false; }

  std::string FileName;
  bool ChangedSinceTransfer = false;  // the grid holds changes not sent to the device
  bool ChangedSinceSave = false;      // the grid holds edits not saved to a file

 protected:
  // The cell takes the new one when its text differs, and both flags are set.
  bool Put(TGridCell& target, TGridCell cell);
  // After a file was loaded or saved.
  void Loaded(const std::string& path);
  void Saved(const std::string& path);
};

// The value as a grid shows it after an edit, and as the device then gets it:
// 7 digits, and the single that the shown text stands for, so that device and
// file agree.
TGridCell EnteredValueCell(float value);

// The whole text as a number that a single holds: one "," may stand for the
// point, blanks (also tabs and line ends, as a copied spreadsheet cell brings
// them) around it and one leading "+" are allowed. Nothing else: no trailing
// text, no "nan" or "inf", nothing beyond the single's range and nothing so
// small that it would become 0.
std::optional<float> ParseSingleText(std::string_view text);

// A table file whose content cannot be loaded; the grid and its file name stay as
// they were.
class TTableFileError : public std::runtime_error {
 public:
  enum class Kind {
    kNoTable,     // none of the sections of this kind of table
    kNotANumber,  // the value is not a number
    kOutOfRange,  // beyond the single's range, or an axis value outside 0..65535
    kNotWhole,    // an axis value with a fraction
  };
  TTableFileError(Kind kind, std::string file, std::string section = {}, std::string key = {},
                  std::string value = {});

  Kind ErrorKind() const { return kind_; }
  const std::string& File() const { return file_; }
  const std::string& Section() const { return section_; }
  const std::string& Key() const { return key_; }
  const std::string& Value() const { return value_; }

 private:
  Kind kind_;
  std::string file_;
  std::string section_;
  std::string key_;
  std::string value_;
};

// For the readers of both kinds of table file: the file read whole
// (platform::FileError when it is missing, no regular file, larger than
// platform::kMaxTableFileBytes or unreadable), and one value of it checked. A
// missing key reads as `missing`; an empty value is an empty cell.
platform::TIniFile ReadTableIniFile(const std::string& path);
// A value in the grid's form, 7 significant digits.
TGridCell ReadValueCell(const platform::TIniFile& ini, const std::string& section,
                        const std::string& key, std::string_view missing);
// A whole number 0..65535 ("273.0" is 273), as a decimal integer.
TGridCell ReadAxisCell(const platform::TIniFile& ini, const std::string& section,
                       const std::string& key, std::string_view missing);

}  // namespace services
