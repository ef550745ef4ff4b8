// Every modal thing the program shows goes through these calls, so that tests can
// answer message boxes, modal dialogs and file dialogs without a user.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/file_limits.h"

class QDialog;
class QPrinter;
class QWidget;

namespace ui {

// A box whose only button is Yes (the error of a missing language module).
constexpr uint32_t kMbYesOnly = 0x08;

// services::kMb* flags (or kMbYesOnly) in, services::kId* out.
using TMessageBoxHook =
    std::function<int(const std::string& text, const std::string& caption, uint32_t flags)>;
// Runs the dialog modal; returns its QDialog result.
using TModalHook = std::function<int(QDialog& dialog)>;
// Asks for a file; returns the chosen name or empty for cancel.
struct TFileRequest {
  bool save = false;
  std::string caption;
  std::string initial_dir;
  std::string file_name;  // default name, maybe without folder
  std::string default_ext;
  std::string filter;  // Qt form: "Text (*.txt);;All (*)"
  bool overwrite_prompt = false;
  // A save of a file of this kind: a name the program may not write to (see
  // platform::CheckWriteTarget: no regular file, write-protected) is refused
  // with the reason before the dialog asks whether to replace a file.
  std::optional<platform::FileKind> write_kind;
};
using TFileDialogHook = std::function<std::string(const TFileRequest& request)>;
// Asks where and how to print: configures the printer (a test points it at a PDF
// file); true to print, false for cancel.
using TPrintDialogHook = std::function<bool(QPrinter& printer)>;

// What learns of every modal window the calls below show (the gate of
// commands): whether none may open now, and each one's time, with how to
// close it as Cancel would.
class TModalGuard {
 public:
  virtual ~TModalGuard() = default;
  virtual bool ModalRefused() const = 0;
  virtual void ModalBegins(std::function<void()> dismiss) = 0;
  virtual void ModalEnds() = 0;
};
void SetModalGuard(TModalGuard* guard);
// Once the program closes nothing opens: a message box answers as Escape would
// (No, Cancel or OK), a dialog as cancelled, without showing anything.
bool ModalsRefused();

void SetMessageBoxHook(TMessageBoxHook hook);
void SetModalHook(TModalHook hook);
void SetFileDialogHook(TFileDialogHook hook);
void SetPrintDialogHook(TPrintDialogHook hook);

int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   uint32_t flags);
// The one box the close may still show: what may not have reached the device.
int ShowMessageBoxAfterClose(QWidget* parent, const std::string& text,
                             const std::string& caption, uint32_t flags);
int ExecModal(QDialog& dialog);
std::string ExecFileDialog(QWidget* parent, const TFileRequest& request);
// The print dialog on the printer; true when the user chose to print. Printing to
// a file starts with `file_name` (a full path) when given, rather than with a
// "print.pdf" in the home folder.
bool ExecPrintDialog(QWidget* parent, QPrinter& printer, const std::string& file_name = {});
// "<documents folder>/<name>_<yyyy-mm-dd>.pdf", where printing to a file starts.
std::string PrintFileName(const std::string& name);

// "desc|pattern|desc|pattern" as the program's filters are written, in Qt's form.
std::string QtFilter(const std::string& filter);

}  // namespace ui
