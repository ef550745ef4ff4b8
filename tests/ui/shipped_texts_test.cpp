// The four shipped text modules against the program's contract with the device
// codes: a choice list has exactly as many entries as the device has codes, a
// row label fits its column, no choice list offers one entry twice, and German
// and English carry the same ids. A page that loads a block adds a row to
// kBlocks, and to kChoiceLists when the block fills a list to choose from.
#include <QTest>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/program_texts.h"
#include "services/text_modules.h"

namespace {

// Which modules a row applies to.
enum Modules { kGas = 1, kSteam = 2, kBoth = 3 };

struct Block {
  uint16_t base;
  size_t first;    // the list starts at s(first)
  size_t count;    // strings from s(first) up to the first missing one
  size_t width;    // longest string allowed from s(first) on; 0: any
  Modules modules;
  const char* what;
};

constexpr size_t kLabel = 18;

// clang-format off
const Block kBlocks[] = {
    // Connect messages in status panel 0: wrong password, no answer, locked.
    {48, 0, 3, 60,       kBoth,  "connect messages"},
    // Circuit pages: modes and kinds, then the row labels of each mode.
    {2048, 1, 7, 0,      kBoth,  "temperature modes, other circuit last"},
    {2064, 0, 1, kLabel, kBoth,  "temperature fixed value"},
    {2080, 0, 2, kLabel, kBoth,  "temperature range"},
    {3072, 1, 4, 0,      kBoth,  "pressure modes, other circuit last"},
    {3088, 0, 1, kLabel, kBoth,  "pressure fixed value"},
    {3104, 0, 3, kLabel, kBoth,  "gauge pressure range and ambient pressure"},
    {3120, 0, 2, kLabel, kBoth,  "absolute pressure range"},
    {4096, 1, 6, 0,      kBoth,  "flow modes"},
    {4128, 0, 9, kLabel, kBoth,  "differential pressure"},
    {4144, 0, 9, kLabel, kBoth,  "differential pressure"},
    {4160, 0, 3, kLabel, kBoth,  "mass flow"},
    {4176, 0, 5, kLabel, kBoth,  "operating volume flow"},
    {4192, 0, 4, kLabel, kBoth,  "pulse input"},
    {5120, 1, 9, 0,      kGas,   "gas kinds 0..8"},
    {5232, 0, 4, kLabel, kGas,   "gas composition (the check line has no label)"},
    {5248, 0, 4, kLabel, kGas,   "gas kind 7"},
    {5264, 0, 3, kLabel, kGas,   "gas kind 8 with its table"},
    {5120, 1, 7, 0,      kSteam, "steam kinds 9..15"},
    {5136, 0, 1, kLabel, kSteam, "steam kind 9"},
    {5152, 0, 1, kLabel, kSteam, "steam kind 10"},
    {5168, 0, 1, kLabel, kSteam, "steam kind 11"},
    {5184, 0, 2, kLabel, kSteam, "steam kind 12"},
    {5200, 0, 5, kLabel, kSteam, "steam kind 13"},
    {5216, 0, 2, kLabel, kSteam, "steam kind 14: the two property tables"},
    {5232, 0, 1, kLabel, kSteam, "steam kind 15: the saturation table"},
    {6144, 1, 3, 0,      kBoth,  "pulse sources; 6148 absent"},
    {6144, 0, 4, kLabel, kBoth,  "s0 also labels the pulse value"},
    {6149, 0, 1, 0,      kBoth,  "name of a pulse source without entry"},
    {20480, 1, 3, kLabel, kBoth, "supply values"},
    // Relay and output pages: 34 alarm and 22 output sources in code order.
    {7168, 1, 15, 0,  kBoth, "alarm sources 0..14"},
    {7184, 0, 16, 0,  kBoth, "alarm sources 15..30"},
    {7200, 0, 3, 0,   kBoth, "alarm sources 31..33"},
    {7216, 0, 3, 0,   kBoth, "alarm kinds; s0 and s1 also label the limits"},
    {8192, 1, 15, 0,  kBoth, "output sources 0..14"},
    {8208, 0, 7, 0,   kBoth, "output sources 15..21"},
    {8224, 0, 4, 13,  kBoth, "output list labels"},
    {15888, 0, 16, 34, kBoth, "output sources 0..15 on the operating page"},
    {15904, 0, 6, 34, kBoth, "output sources 16..21 on the operating page"},
    // Trend settings, system, correction and user unit pages.
    {9216, 0, 1, 0,   kBoth, "user unit page marker"},
    {9232, 0, 1, 0,   kBoth, "user unit page marker"},
    {9248, 1, 10, 0,  kBoth, "user unit sheets, kinds 0..9"},
    {10240, 1, 2, 0,  kBoth, "trend of circuit 1 or 2"},
    {10256, 1, 12, 0, kBoth, "trend intervals"},
    {11264, 1, 4, 0,  kBoth, "system types 0, 1, 2, 4"},
    {11280, 1, 2, 0,  kBoth, "2 or 3 transmitters"},
    {11296, 1, 2, 0,  kBoth, "current limit sets"},
    {11312, 1, 8, 0,  kBoth, "preset labels"},
    {11328, 0, 1, 0,  kBoth, "system factor"},
    {12288, 1, 8, 0,  kBoth, "correction factor rows"},
};
// clang-format on

// A list the operator chooses from: its blocks in the order of the list, each
// from s(first) up to its first missing string.
struct ListPart {
  uint16_t base;
  size_t first;
};
struct ChoiceList {
  std::vector<ListPart> parts;
  bool both_media;  // the gas module's entries, then the steam module's
  const char* what;
};

const ChoiceList kChoiceLists[] = {
    {{{2048, 1}}, false, "temperature modes"},
    {{{3072, 1}}, false, "pressure modes"},
    {{{4096, 1}}, false, "flow modes"},
    {{{5120, 1}}, true, "medium kinds"},
    {{{6144, 1}}, false, "pulse sources"},
    {{{7168, 1}, {7184, 0}, {7200, 0}}, false, "alarm sources"},
    {{{7216, 0}}, false, "alarm kinds"},
    {{{8192, 1}, {8208, 0}}, false, "output sources"},
    {{{10240, 1}}, false, "trend quantities"},
    {{{10256, 1}}, false, "trend intervals"},
    {{{11264, 1}}, false, "system types"},
    {{{11280, 1}}, false, "number of transmitters"},
    {{{11296, 1}}, false, "current limit sets"},
    {{{21520, 0}}, false, "settings: ports"},
    {{{21536, 0}}, false, "settings: baud rates"},
    {{{21552, 0}}, false, "settings: connection"},
    {{{21568, 0}}, false, "settings: transfer on connect"},
    {{{21584, 0}}, false, "settings: refresh"},
};

struct Module {
  const char* name;
  int32_t medium;
  int32_t language;
};
const Module kModules[] = {{"Ltx1de.txt", 0, 0}, {"Ltx1en.txt", 0, 1},
                           {"Ltx2de.txt", 1, 0}, {"Ltx2en.txt", 1, 1}};

std::set<int> Ids(const std::string& file) {
  std::set<int> ids;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    ids.insert(std::stoi(line.substr(0, line.find('='))));
  }
  return ids;
}

}  // namespace

class ShippedTextsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { services::ProgramFolder = platform::ProgramFolder() + "/"; }
  void cleanup() {
    services::Medium = 0;
    services::Language = 0;
  }

  void listsHaveTheirLengths() {
    for (const Module& m : kModules) {
      services::Medium = m.medium;
      services::Language = m.language;
      const Modules which = m.medium == 0 ? kGas : kSteam;
      for (const Block& b : kBlocks) {
        if ((b.modules & which) == 0) continue;
        const QString where = QString("%1 block %2 (%3)").arg(m.name).arg(b.base).arg(b.what);
        services::TextBlock t;
        QVERIFY2(services::GetTextBlock(b.base, 1, t), qPrintable(where));
        size_t count = 0;
        while (b.first + count < t.size() && !t[b.first + count].empty()) {
          const std::string& s = t[b.first + count];
          if (b.width != 0) {
            QVERIFY2(platform::Utf8Length(s) <= b.width, qPrintable(where + ": " + s.c_str()));
          }
          ++count;
        }
        QVERIFY2(count == b.count,
                 qPrintable(where + QString(": %1 strings, expected %2").arg(count).arg(b.count)));
      }
    }
  }

  // Two equal entries would let the operator pick one code for another unseen.
  void choiceListsHaveNoTwoEqualEntries() {
    for (int32_t language : {0, 1}) {
      services::Language = language;
      for (const ChoiceList& list : kChoiceLists) {
        // A list of one medium is checked in each module; the medium kinds of
        // both modules are one list.
        const std::vector<std::vector<int32_t>> lists =
            list.both_media ? std::vector<std::vector<int32_t>>{{0, 1}}
                            : std::vector<std::vector<int32_t>>{{0}, {1}};
        for (const std::vector<int32_t>& media : lists) {
          const QString where =
              QString("%1 (language %2, medium %3)").arg(list.what).arg(language).arg(media[0]);
          std::set<std::string> seen;
          size_t count = 0;
          for (int32_t medium : media) {
            services::Medium = medium;
            for (const ListPart& part : list.parts) {
              services::TextBlock t;
              QVERIFY2(services::GetTextBlock(part.base, 1, t), qPrintable(where));
              for (size_t i = part.first; i < t.size() && !t[i].empty(); ++i, ++count) {
                QVERIFY2(seen.insert(t[i]).second,
                         qPrintable(where + ": \"" + QString::fromStdString(t[i]) + "\" twice"));
              }
            }
          }
          QVERIFY2(count > 1, qPrintable(where + ": no list"));
        }
      }
    }
  }

  // The program's own wording stands in for a module that lacks a text or cannot
  // be read: it says what the shipped modules say.
  void programTextsAreThoseOfTheModules() {
    for (const Module& m : kModules) {
      services::Medium = m.medium;
      services::Language = m.language;
      for (uint16_t id : services::BuiltInProgramTextIds()) {
        const std::string shipped = services::GetText(id);
        const std::string own = services::BuiltInProgramText(id, m.language);
        QVERIFY2(shipped == own, qPrintable(QString("%1 id %2: \"%3\" in the module, \"%4\" in "
                                                    "the program")
                                                .arg(m.name)
                                                .arg(id)
                                                .arg(QString::fromStdString(shipped))
                                                .arg(QString::fromStdString(own))));
      }
    }
  }

  void germanAndEnglishCarryTheSameIds() {
    const std::string folder = platform::ProgramFolder() + "/";
    for (const char* medium : {"Ltx1", "Ltx2"}) {
      const std::set<int> de = Ids(folder + medium + "de.txt");
      const std::set<int> en = Ids(folder + medium + "en.txt");
      QVERIFY(!de.empty());
      std::set<int> only;
      for (int id : de) {
        if (!en.count(id)) only.insert(id);
      }
      for (int id : en) {
        if (!de.count(id)) only.insert(id);
      }
      QString missing;
      for (int id : only) missing += QString(" %1").arg(id);
      QVERIFY2(only.empty(), qPrintable(QString(medium) + " ids in one language only:" + missing));
    }
  }
};

QTEST_MAIN(ShippedTextsTest)
#include "shipped_texts_test.moc"
