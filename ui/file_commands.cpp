// The commands of the "Parameter" menu on the whole parameter set: new, load,
// save, page preview and print. Online, a new or loaded set goes to the device
// after a question, and saving or printing reads the device's set first.
#include <QPrinter>
#include <QPrinterInfo>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "services/app_state.h"
#include "services/block_names.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/parameter_file.h"
#include "services/text_modules.h"
#include "ui/dialog_hooks.h"
#include "ui/main_window.h"
#include "ui/print_preview.h"
#include "ui/report_canvas.h"
#include "ui_main_window.h"

namespace ui {
namespace {

namespace dl = devicelink;

constexpr uint16_t kSendAllQuestion = 16;
// Messages of the file commands, a block of their own.
constexpr uint16_t kSaveAnyway = 13312;
constexpr uint16_t kPrintAnyway = 13313;
constexpr uint16_t kNotSent = 13314;
constexpr uint16_t kPrintFailed = 13315;

// A text of the module with "#" replaced by what it counts or names.
std::string Counted(uint16_t id, const std::string& what) {
  std::string text = services::GetText(id);
  const size_t mark = text.find('#');
  if (mark != std::string::npos) text.replace(mark, 1, what);
  return text;
}

// The printer a print job or the preview starts from. Without a printer queue it
// writes a PDF file, so the preview has a page to measure.
void PreparePrinter(QPrinter& printer) {
  if (QPrinterInfo::availablePrinters().isEmpty()) printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setCopyCount(1);
}

}  // namespace

// Printed to a file, the report is named after the parameter file it shows
// (offline, one loaded or saved), else "Parameter" with the day.
std::string Tfrm_Main::ReportFileName() const {
  const std::string& set_file = services::ParameterSetFile;
  if (!dl::DeviceOnline && !set_file.empty()) {
    const std::filesystem::path path(set_file);
    return services::GetDocumentsFolder() + "/" + path.stem().string() + ".pdf";
  }
  return PrintFileName("Parameter");
}

bool Tfrm_Main::AskYesNo(const std::string& text, uint32_t flags) {
  return MessageBox(text, "vandrel2", services::kMbYesNo | flags) == services::kIdYes;
}

// A set read with failures holds the program's values where the device did not
// answer: saved or printed, it would pass for the device's set.
// A read ended by the window's close asks nothing: the command ends there.
bool Tfrm_Main::ReadDeviceSet(uint16_t question) {
  int32_t failed = 0;
  {
    dl::TCursorScope cursor;
    failed = services::ReadAllParameters();
  }
  if (dl::RunEnded()) return false;
  if (failed == 0) return true;
  return AskYesNo(Counted(question, std::to_string(failed)),
                  services::kMbIconWarning | services::kMbDefButton2);
}

// The blocks that may not have reached the device are named as the pages
// name them; the device may hold them or not.
void Tfrm_Main::SendWholeSet() {
  dl::TRun* run = dl::CurrentRun();
  const size_t before = run != nullptr ? run->NotSent().size() : 0;
  services::WriteAllParameters();
  if (run == nullptr || run->NotSent().size() == before) return;
  const std::vector<uint16_t> blocks(run->NotSent().begin() + static_cast<std::ptrdiff_t>(before),
                                     run->NotSent().end());
  MessageBox(Counted(kNotSent, services::BlockNames(blocks)), "vandrel2",
             services::kMbOk | services::kMbIconWarning);
}

void Tfrm_Main::mnu_NeuClick() {
  gate_->Command(form_->mnu_Neu, [this] {
    if (!dl::CheckDeviceIdent()) return;
    if (dl::DeviceOnline) {
      if (!AskYesNo(services::GetText(kSendAllQuestion), services::kMbIconInformation)) return;
      // Without the device's system block the defaults would not fit the device.
      if (dl::ReadSystemParams()) {
        services::ResetParameters();
        SendWholeSet();
      }
    } else {
      services::ResetParameters();
    }
    RefreshShownPage();
  });
}

void Tfrm_Main::mnu_LadenClick() {
  gate_->Command(form_->mnu_Laden, [this] {
    if (!dl::CheckDeviceIdent()) return;
    const bool online = dl::DeviceOnline;
    if (online && !AskYesNo(services::GetText(kSendAllQuestion), services::kMbIconInformation)) {
      return;
    }
    // The operator's set as it is: a cancelled dialog, a failed read or a bad
    // file puts it back whole, remarks and file name included, before the page
    // is drawn again.
    struct Restore {
      Tfrm_Main& w;
      dl::TParameterRecords records = dl::TParameterRecords::Capture();
      std::vector<std::string> memo = w.MemoLines();
      std::string file = w.StatusPanel(0);
      std::string set_file = services::ParameterSetFile;
      bool keep = false;
      void Finish() {
        if (keep) return;
        keep = true;
        records.Commit();
        w.SetMemoLines(memo);
        w.SetStatusPanel(0, file);
        services::ParameterSetFile = set_file;
      }
      ~Restore() { Finish(); }
    } restore{*this};

    // The device's gas values and check bytes, to keep the check's result when
    // the file brings the same gas.
    const bool gas = online && services::Medium == 0;
    bool device_read = false;
    dl::TGasComposition device_gas{};
    std::array<uint8_t, 2> device_ready{};
    if (gas) {
      device_read = dl::ReadGasCommon();
      device_gas = dl::GasCommon;
      for (int c = 0; c < 2; ++c) {
        device_read = dl::ReadMediumParams(c) && device_read;
        device_ready.at(static_cast<size_t>(c)) = dl::MediumParams.at(static_cast<size_t>(c)).Ready;
      }
    }

    services::ResetParameters();
    if (online) {
      if (dl::ReadSystemParams() && services::LoadParameterFile()) {
        restore.keep = true;
        if (gas) {
          const dl::TGasComposition& g = dl::GasCommon;
          const bool same = device_read && g.Ho == device_gas.Ho && g.CO2 == device_gas.CO2 &&
                            g.H2 == device_gas.H2 && g.Rho == device_gas.Rho;
          for (size_t c = 0; c < 2; ++c)
            dl::MediumParams.at(c).Ready = same ? device_ready.at(c) : 0;
        }
        SendWholeSet();
      }
    } else {
      restore.keep = services::LoadParameterFile();
    }
    restore.Finish();
    // Refreshed also when nothing was loaded: the page shows the set as it stands.
    RefreshShownPage();
  });
}

void Tfrm_Main::mnu_SpeichernClick() {
  gate_->Command(form_->mnu_Speichern, [this] {
    if (!dl::CheckDeviceIdent()) return;
    if (dl::DeviceOnline && !ReadDeviceSet(kSaveAnyway)) return;
    services::SaveParameterFile();
  });
}

void Tfrm_Main::mnu_DruckenClick(QAction* sender) {
  const bool preview = sender == form_->mnu_Seitenansicht;
  // One command from the read to the preview's end: the report's stages let
  // window messages through, and the command chosen again meanwhile must not
  // start a second report.
  gate_->Command(sender, [this, preview] {
    if (!dl::CheckDeviceIdent()) return;
    if (dl::DeviceOnline && !ReadDeviceSet(kPrintAnyway)) return;
    QPrinter printer(QPrinter::HighResolution);
    PreparePrinter(printer);
    if (preview) {
      if (sansicht == nullptr) return;
      sansicht->ShowPage(PreviewReport(printer));
      ExecModal(*sansicht);
      return;
    }
    if (!ExecPrintDialog(this, printer, ReportFileName())) return;
    if (!PrintReport(printer)) ShowError(services::GetText(kPrintFailed));
  });
}

}  // namespace ui
