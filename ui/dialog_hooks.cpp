#include "ui/dialog_hooks.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSplitter>
#include <QString>
#include <QTreeView>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/text_encoding.h"
#include "services/app_window.h"
#include "services/data_folders.h"
#include "services/file_messages.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"

namespace ui {

namespace {
TModalGuard* g_modal_guard = nullptr;
TMessageBoxHook g_message_box_hook;
TModalHook g_modal_hook;
TFileDialogHook g_file_dialog_hook;
TPrintDialogHook g_print_dialog_hook;

// The file list's sizes and dates in the program's language: the file system
// model writes them in the system's locale, which a program cannot change.
class TLocalFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    constexpr int kSize = 1;
    constexpr int kDate = 3;
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || files == nullptr ||
        (index.column() != kSize && index.column() != kDate)) {
      return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex source = mapToSource(index);
    const QLocale locale;  // the dialog's, see TDialogLocaleScope
    if (index.column() == kDate) {
      return locale.toString(files->lastModified(source), QLocale::ShortFormat);
    }
    if (files->isDir(source)) return QString();
    return locale.formattedDataSize(files->size(source));
  }
};

// Columns as wide as what they show, once the folder is listed, the names taking
// what is left; the window and its list of places wide enough for them.
void FitFileColumns(QFileDialog& dialog, TLocalFileColumns& columns) {
  auto* tree = dialog.findChild<QTreeView*>("treeView");
  auto* files = qobject_cast<QFileSystemModel*>(columns.sourceModel());
  if (tree == nullptr || files == nullptr) return;
  const auto fit = [tree] {
    QHeaderView* header = tree->header();
    int others = 0;
    for (int c = 1; c < header->count(); ++c) {
      tree->resizeColumnToContents(c);
      others += header->sectionSize(c);
    }
    tree->resizeColumnToContents(0);
    const int left = tree->viewport()->width() - others;
    if (header->sectionSize(0) < left) header->resizeSection(0, left);
  };
  QObject::connect(files, &QFileSystemModel::directoryLoaded, tree, fit);
  dialog.resize(std::max(dialog.width(), 960), std::max(dialog.height(), 520));
  if (auto* splitter = dialog.findChild<QSplitter*>("splitter")) {
    const int places = dialog.fontMetrics().horizontalAdvance(QString(24, QChar('x')));
    splitter->setSizes({places, dialog.width() - places});
  }
}

// A name a file of that kind can be written to; else the reason is shown.
bool WriteTargetAccepted(QWidget* parent, const std::string& name, platform::FileKind kind) {
  try {
    platform::CheckWriteTarget(name, kind);
  } catch (const platform::FileError& e) {
    ShowMessageBox(parent, services::FileErrorText(e), "vandrel2",
                   services::kMbOk | services::kMbIconError);
    return false;
  }
  return true;
}

// A printer that writes a file: the name must be one a file can be written to.
bool PrintTargetWritable(QWidget* parent, const QPrinter& printer) {
  if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty()) {
    return true;
  }
  return WriteTargetAccepted(parent, printer.outputFileName().toStdString(),
                             platform::FileKind::kReportFile);
}

// Qt's file dialog, which looks at a save's name before it asks whether to
// replace the file there.
class TFileDialog : public QFileDialog {
 public:
  TFileDialog(QWidget* parent, const TFileRequest& request)
      : QFileDialog(parent, Q(request.caption), Q(request.initial_dir), Q(request.filter)),
        write_kind_(request.write_kind) {}

 protected:
  void accept() override {
    const QStringList chosen = selectedFiles();
    if (write_kind_ && !chosen.isEmpty() && !QFileInfo(chosen.first()).isDir() &&
        !WriteTargetAccepted(this, chosen.first().toStdString(), *write_kind_)) {
      return;
    }
    QFileDialog::accept();
  }

 private:
  std::optional<platform::FileKind> write_kind_;
};

// Qt's print dialog, which looks at a print file's name before it asks whether
// to replace the file there.
class TPrintDialog : public QPrintDialog {
 public:
  using QPrintDialog::QPrintDialog;
  void accept() override {
    const auto* field = findChild<QLineEdit*>("filename");
    if (field != nullptr && field->isEnabled() && !field->text().isEmpty() &&
        !WriteTargetAccepted(this, field->text().toStdString(), platform::FileKind::kReportFile)) {
      return;
    }
    QPrintDialog::accept();
  }
};
// A modal window's time, told to the guard however it ends.
class TModalTime {
 public:
  explicit TModalTime(std::function<void()> dismiss) {
    if (g_modal_guard != nullptr) g_modal_guard->ModalBegins(std::move(dismiss));
  }
  ~TModalTime() {
    if (g_modal_guard != nullptr) g_modal_guard->ModalEnds();
  }
  TModalTime(const TModalTime&) = delete;
  TModalTime& operator=(const TModalTime&) = delete;
};

// The answer of a box closed with Escape or its close box.
int EscapeAnswer(uint32_t flags) {
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

}  // namespace

void SetModalGuard(TModalGuard* guard) {
  g_modal_guard = guard;
}

bool ModalsRefused() {
  return g_modal_guard != nullptr && g_modal_guard->ModalRefused();
}

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

namespace {

int ShowBox(QWidget* parent, const std::string& text, const std::string& caption,
            uint32_t flags) {
  if (g_message_box_hook) {
    TModalTime time(nullptr);
    return g_message_box_hook(text, caption, flags);
  }
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
  {
    TModalTime time([&box] { box.reject(); });
    box.exec();
  }
  for (auto& [button, id] : buttons) {
    if (box.clickedButton() == button) return id;
  }
  // Closed with Escape or the close box.
  return EscapeAnswer(flags);
}

}  // namespace

int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   uint32_t flags) {
  if (ModalsRefused()) return EscapeAnswer(flags);
  return ShowBox(parent, text, caption, flags);
}

int ShowMessageBoxAfterClose(QWidget* parent, const std::string& text,
                             const std::string& caption, uint32_t flags) {
  return ShowBox(parent, text, caption, flags);
}

int ExecModal(QDialog& dialog) {
  if (ModalsRefused()) return QDialog::Rejected;
  TModalTime time([&dialog] { dialog.reject(); });
  if (g_modal_hook) return g_modal_hook(dialog);
  return dialog.exec();
}

std::string ExecFileDialog(QWidget* parent, const TFileRequest& request) {
  if (ModalsRefused()) return {};
  if (g_file_dialog_hook) {
    std::string name;
    {
      TModalTime time(nullptr);
      name = g_file_dialog_hook(request);
    }
    // The hook stands for the dialog, which refuses such a name itself.
    if (!name.empty() && request.write_kind &&
        !WriteTargetAccepted(parent, name, *request.write_kind))
      return {};
    return name;
  }
  TDialogLocaleScope locale;
  TFileDialog dialog(parent, request);
  // Qt's own dialog, which speaks the program's language (a desktop's dialog
  // speaks the desktop's).
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  // Owned by the dialog, which uses it up to its end.
  auto* columns = new TLocalFileColumns(&dialog);
  dialog.setProxyModel(columns);
  FitFileColumns(dialog, *columns);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.default_ext.empty()) dialog.setDefaultSuffix(Q(request.default_ext));
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
  if (request.save && !request.overwrite_prompt) {
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  }
  bool chosen;
  {
    TModalTime time([&dialog] { dialog.reject(); });
    chosen = dialog.exec() == QDialog::Accepted;
  }
  if (!chosen || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first().toStdString();
}

bool ExecPrintDialog(QWidget* parent, QPrinter& printer, const std::string& file_name) {
  if (ModalsRefused()) return false;
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
  if (g_print_dialog_hook) {
    bool chosen;
    {
      TModalTime time(nullptr);
      chosen = g_print_dialog_hook(printer);
    }
    return chosen && PrintTargetWritable(parent, printer);
  }
  TDialogLocaleScope locale;
  TPrintDialog dialog(&printer, parent);
  if (auto* field = dialog.findChild<QLineEdit*>("filename")) {
    if (start_name) field->setText(Q(file_name));
    // Wide enough for the whole name it starts with, within reason.
    const QFontMetrics metrics = field->fontMetrics();
    const int wanted = metrics.horizontalAdvance(field->text()) + 2 * metrics.height();
    field->setMinimumWidth(std::clamp(wanted, metrics.horizontalAdvance(QString(40, QChar('x'))),
                                      metrics.horizontalAdvance(QString(100, QChar('x')))));
  }
  bool chosen;
  {
    TModalTime time([&dialog] { dialog.reject(); });
    chosen = dialog.exec() == QDialog::Accepted;
  }
  return chosen && PrintTargetWritable(parent, printer);
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
