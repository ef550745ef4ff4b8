#include "ui/dialog_hooks.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QString>

#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "services/app_window.h"
#include "services/data_folders.h"
#include "ui/qt_text.h"

namespace ui {

namespace {
TMessageBoxHook g_message_box_hook;
TModalHook g_modal_hook;
TFileDialogHook g_file_dialog_hook;
TPrintDialogHook g_print_dialog_hook;
}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) {
  g_message_box_hook = std::move(hook);
}
void SetModalHook(TModalHook hook) {
  g_modal_hook = std::move(hook);
}
void SetFileDialogHook(TFileDialogHook hook) {
  g_file_dialog_hook = std::move(hook);
}
void SetPrintDialogHook(TPrintDialogHook hook) {
  g_print_dialog_hook = std::move(hook);
}

int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   uint32_t flags) {
  if (g_message_box_hook) return g_message_box_hook(text, caption, flags);
  QMessageBox box(parent);
  box.setWindowTitle(Q(caption.empty() ? std::string("vandrel2") : caption));
  box.setText(Q(text));
  switch (flags & 0xF0) {
    case services::kMbIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case services::kMbIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case services::kMbIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case services::kMbIconInformation:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  std::vector<std::pair<QAbstractButton*, int>> buttons;
  switch (flags & 0x0F) {
    case services::kMbOkCancel:
      buttons.emplace_back(box.addButton(QMessageBox::Ok), services::kIdOk);
      buttons.emplace_back(box.addButton(QMessageBox::Cancel), services::kIdCancel);
      break;
    case services::kMbYesNo:
      buttons.emplace_back(box.addButton(QMessageBox::Yes), services::kIdYes);
      buttons.emplace_back(box.addButton(QMessageBox::No), services::kIdNo);
      break;
    case services::kMbYesNoCancel:
      buttons.emplace_back(box.addButton(QMessageBox::Yes), services::kIdYes);
      buttons.emplace_back(box.addButton(QMessageBox::No), services::kIdNo);
      buttons.emplace_back(box.addButton(QMessageBox::Cancel), services::kIdCancel);
      break;
    case kMbYesOnly:
      buttons.emplace_back(box.addButton(QMessageBox::Yes), services::kIdYes);
      break;
    default:
      buttons.emplace_back(box.addButton(QMessageBox::Ok), services::kIdOk);
      break;
  }
  if ((flags & services::kMbDefButton2) != 0 && buttons.size() >= 2) {
    box.setDefaultButton(static_cast<QPushButton*>(buttons[1].first));
  }
  box.exec();
  for (auto& [button, id] : buttons) {
    if (box.clickedButton() == button) return id;
  }
  // Closed with Escape or the close box.
  switch (flags & 0x0F) {
    case services::kMbYesNo:
      return services::kIdNo;
    case services::kMbOkCancel:
    case services::kMbYesNoCancel:
      return services::kIdCancel;
    default:
      return services::kIdOk;
  }
}

int ExecModal(QDialog& dialog) {
  if (g_modal_hook) return g_modal_hook(dialog);
  return dialog.exec();
}

std::string ExecFileDialog(QWidget* parent, const TFileRequest& request) {
  if (g_file_dialog_hook) return g_file_dialog_hook(request);
  QFileDialog dialog(parent, Q(request.caption), Q(request.initial_dir), Q(request.filter));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.default_ext.empty()) dialog.setDefaultSuffix(Q(request.default_ext));
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
  if (request.save && !request.overwrite_prompt) {
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

bool ExecPrintDialog(QWidget* parent, QPrinter& printer, const std::string& file_name) {
  const bool start_name = !file_name.empty() && printer.outputFileName().isEmpty();
  // Without a printer queue only a file can be printed to. A printer that writes a
  // file takes the name at once; for a queue the dialog's field of its "print to
  // file" entry gets it.
  if (start_name && QPrinterInfo::availablePrinters().isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
  }
  if (start_name && printer.outputFormat() == QPrinter::PdfFormat) {
    printer.setOutputFileName(Q(file_name));
  }
  if (g_print_dialog_hook) return g_print_dialog_hook(printer);
  QPrintDialog dialog(&printer, parent);
  if (start_name) {
    if (auto* field = dialog.findChild<QLineEdit*>("filename")) field->setText(Q(file_name));
  }
  return dialog.exec() == QDialog::Accepted;
}

std::string PrintFileName(const std::string& name) {
  const platform::LocalDateTime now = platform::Now();
  return services::GetDocumentsFolder() + "/" + name + "_" + platform::ZeroPad(now.year, 4) + "-" +
         platform::ZeroPad(now.month, 2) + "-" + platform::ZeroPad(now.day, 2) + ".pdf";
}

std::string QtFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    size_t bar = filter.find('|', start);
    if (bar == std::string::npos) bar = filter.size();
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (!out.empty()) out += ";;";
    std::string patterns = parts[i + 1];
    for (char& c : patterns) {
      if (c == ';') c = ' ';
    }
    // The description of the program's filters already names the pattern.
    out += parts[i].find('(') != std::string::npos ? parts[i] : parts[i] + " (" + patterns + ")";
  }
  return out;
}

}  // namespace ui
