// The table-file readers on any bytes: the property tables (".KTB", ".DTB",
// ".ETB") when the first input byte is even, the saturation table (".STB") when
// it is odd; the rest is the file. A file either loads whole or is refused with
// its error, and a loaded table written out loads again with the same texts (the
// file keeps 7 digits, so a value given with more comes back as its 7-digit text).
#include <cstdlib>
#include <string>

#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "services/sat_table_files.h"
#include "services/table_cells.h"
#include "services/table_files.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

template <class Cells, class Read, class Content>
void RoundTrip(const std::string& path, Read read, Content content) {
  Cells cells;
  try {
    cells = read(path);
  } catch (const services::TTableFileError&) {
    return;  // refused, as it may be
  } catch (const platform::FileError&) {
    return;  // too large for a table file
  }
  // The file as the editor saves it; written plainly, since the atomic save has
  // tests of its own and its rename and clean-up would take most of each run.
  const std::string text = content(cells);
  fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const Cells again = read(path);
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t c = 0; c < cells[r].size(); ++c) {
      if (again[r][c].text != cells[r][c].text) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool saturation = data[0] & 1;
  const std::string path = fuzz::Folder() + (saturation ? "/input.STB" : "/input.KTB");
  fuzz::WriteFile(path, data + 1, size - 1);
  if (saturation) {
    RoundTrip<services::TSatCells>(path, services::ReadSatTableFile, services::SatTableFileContent);
  } else {
    RoundTrip<services::TPropertyCells>(path, services::ReadPropertyTableFile,
                                        services::PropertyTableFileContent);
  }
  return 0;
}
