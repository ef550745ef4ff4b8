// The texts of the program's own messages (files, the port, the link) and of the
// captions the forms fix in German, ids 100 to 199 and 13344 to 13375 of the
// text modules, and the table editors' messages of block 14336. Each comes from
// the module of the current Medium and Language; where the module lacks it, or
// cannot be read at all, the program's own wording in that language stands in,
// so that even a text module that cannot be read is reported in words.
//
// A text may hold the marks %1 .. %9 for the arguments given.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace services {

namespace text_id {
inline constexpr uint16_t kFileMessage = 100;  // %1 "%2": %3 (kind, name, reason)
inline constexpr uint16_t kParameterFile = 101;
inline constexpr uint16_t kTableFile = 102;
inline constexpr uint16_t kSettingsFile = 103;
inline constexpr uint16_t kTextModule = 104;
inline constexpr uint16_t kExportFile = 105;
inline constexpr uint16_t kReportFile = 106;
inline constexpr uint16_t kLogFile = 107;
inline constexpr uint16_t kOtherFile = 108;
inline constexpr uint16_t kFileMissing = 110;
inline constexpr uint16_t kNotRegularRead = 111;   // %1 what it is
inline constexpr uint16_t kNotRegularWrite = 112;  // %1 what it is
inline constexpr uint16_t kFileTooLarge = 113;     // %1 the limit
inline constexpr uint16_t kFileUnreadable = 114;   // %1 why
inline constexpr uint16_t kFileUnwritable = 115;   // %1 why
inline constexpr uint16_t kNoParameterSection = 116;
inline constexpr uint16_t kParameterNotANumber = 117;  // %1 section, %2 key, %3 value
inline constexpr uint16_t kParameterOutOfRange = 118;  // %1 section, %2 key, %3 value
inline constexpr uint16_t kNodeDirectory = 120;        // what stands there, 120..125
inline constexpr uint16_t kNodeFifo = 121;
inline constexpr uint16_t kNodeCharDevice = 122;
inline constexpr uint16_t kNodeBlockDevice = 123;
inline constexpr uint16_t kNodeSocket = 124;
inline constexpr uint16_t kNodeOther = 125;
inline constexpr uint16_t kErrAccess = 130;  // the system's reasons, 130..142
inline constexpr uint16_t kErrNoEntry = 131;
inline constexpr uint16_t kErrNotFolder = 132;
inline constexpr uint16_t kErrNoSpace = 133;
inline constexpr uint16_t kErrReadOnly = 134;
inline constexpr uint16_t kErrIo = 135;
inline constexpr uint16_t kErrNameTooLong = 136;
inline constexpr uint16_t kErrLinkLoop = 137;
inline constexpr uint16_t kErrFileTooBig = 138;
inline constexpr uint16_t kErrIsFolder = 139;
inline constexpr uint16_t kErrTooManyFiles = 140;
inline constexpr uint16_t kErrOther = 141;       // %1 number, %2 the system's own words
inline constexpr uint16_t kPortDenied = 150;     // %1 port and device
inline constexpr uint16_t kPortInUse = 151;      // %1 port and device
inline constexpr uint16_t kPortUnplugged = 152;  // %1 port, %2 device, %3 link
inline constexpr uint16_t kPortMissing = 153;    // %1 port, %2 device, %3 link
inline constexpr uint16_t kPortFailed = 154;     // %1 port and device
inline constexpr uint16_t kPortFailedWhy = 155;  // %1 port and device, %2 the port's words
inline constexpr uint16_t kLinkLost = 156;       // %1 since when
// "Select Port": caption, two lines, two buttons, the note on refused ports (%1).
inline constexpr uint16_t kSelectPortCaption = 160;
inline constexpr uint16_t kSelectPortLine1 = 161;
inline constexpr uint16_t kSelectPortLine2 = 162;
inline constexpr uint16_t kSelectPortOk = 163;
inline constexpr uint16_t kSelectPortCancel = 164;
inline constexpr uint16_t kSelectPortRefused = 165;
// Captions and messages the forms and the program fix in German, here in both
// languages.
inline constexpr uint16_t kCancel = 170;
inline constexpr uint16_t kDateTime = 171;               // the clock group of the system page
inline constexpr uint16_t kChartButton = 172;            // the trend page's button to the chart
inline constexpr uint16_t kChartCaption = 173;           // the chart window
inline constexpr uint16_t kPrintItem = 174;              // the charts' context menu
inline constexpr uint16_t kSaveItem = 175;               // the error list's context menu
inline constexpr uint16_t kTrendListCircuit = 176;       // %1 the circuit, heads a trend list line
inline constexpr uint16_t kUnknownDevice = 177;          // a device of neither model
inline constexpr uint16_t kOverwriteQuestion = 178;      // before a file is saved over
inline constexpr uint16_t kWarningCaption = 179;         // of the overwrite question
inline constexpr uint16_t kPrinterCannotPrint = 180;     // a printout that cannot begin
inline constexpr uint16_t kPrintFailed = 181;            // a printout that cannot end
inline constexpr uint16_t kTextFileFilter = 182;         // the file dialog's, in Qt's form
inline constexpr uint16_t kCompressibilityTables = 183;  // file types of the table editors
inline constexpr uint16_t kDensityTables = 184;
inline constexpr uint16_t kEnthalpyTables = 185;
inline constexpr uint16_t kSaturationTables = 186;
inline constexpr uint16_t kPrintPreviewCaption = 187;
inline constexpr uint16_t kPasswordCaption = 188;
inline constexpr uint16_t kUnknownError = 189;  // an error that carries no words
// The table editors' questions and messages, 14336 .. 14347.
inline constexpr uint16_t kTableEditorMessages = 14336;
// The close and the runs of exchanges.
inline constexpr uint16_t kClosingAfterTransfer = 190;
inline constexpr uint16_t kNotSentAtClose = 191;  // %1 the blocks
inline constexpr uint16_t kBlockPreset = 192;     // %1 number
inline constexpr uint16_t kBlockDisplayEnable = 193;
inline constexpr uint16_t kBlockClock = 194;
inline constexpr uint16_t kBlockOther = 195;       // %1 address
inline constexpr uint16_t kUnreportedBlock = 196;  // %1 the block
inline constexpr uint16_t kPageBlocksNotRead = 197;  // %1 page, %2 the blocks
inline constexpr uint16_t kPageNotRead = 198;        // %1 page
inline constexpr uint16_t kTrendReadStopped = 199;   // %1 records read, %2 of all
// Files: write protection, what stands where a file was to be made, a settings
// file without a setting, and a parameter file that lacks parts of a set.
inline constexpr uint16_t kWriteProtected = 13344;
inline constexpr uint16_t kErrExists = 13345;  // %1 what stands there
inline constexpr uint16_t kNodeFile = 13346;
inline constexpr uint16_t kSettingsNoSetting = 13347;
inline constexpr uint16_t kMissingPartsLoad = 13348;  // %1 the parts; offline
inline constexpr uint16_t kMissingPartsSend = 13349;  // %1 the parts; online
inline constexpr uint16_t kLastLineCut = 13350;       // %1 the part
// The parts of a parameter set as the operator knows them, in the order a file
// holds them; %1 the circuit, relay, output or unit number(s).
inline constexpr uint16_t kPartTemperature = 13352;
inline constexpr uint16_t kPartPressure = 13353;
inline constexpr uint16_t kPartFlow = 13354;
inline constexpr uint16_t kPartDpDesign = 13355;
inline constexpr uint16_t kPartMedium = 13356;
inline constexpr uint16_t kPartGas = 13357;
inline constexpr uint16_t kPartSupply = 13358;
inline constexpr uint16_t kPartPulse = 13359;
inline constexpr uint16_t kPartRelay = 13360;
inline constexpr uint16_t kPartOutput = 13361;
inline constexpr uint16_t kPartUnits = 13362;
inline constexpr uint16_t kPartUserUnit = 13363;
inline constexpr uint16_t kPartTrend = 13364;
inline constexpr uint16_t kPartCorrection = 13365;
inline constexpr uint16_t kPartLimits = 13366;
inline constexpr uint16_t kPartSystem = 13367;
inline constexpr uint16_t kPartPresets = 13368;
inline constexpr uint16_t kPartDisplay = 13369;
inline constexpr uint16_t kPartRemarks = 13370;
}  // namespace text_id

// The text, with %1 .. %9 replaced by the arguments in one pass (a mark inside an
// argument stays as it is; a mark without an argument is removed).
std::string ProgramText(uint16_t id, std::initializer_list<std::string_view> args = {});

// The program's own wording of a text, German (0) or English (1); empty when it
// has none for that id. For comparing with the shipped modules.
std::string BuiltInProgramText(uint16_t id, int32_t language);
std::vector<uint16_t> BuiltInProgramTextIds();

}  // namespace services
