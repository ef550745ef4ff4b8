#include "ui/table_editor_base.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QShowEvent>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>
#include <QTimer>

#include <array>
#include <filesystem>

#include "devicelink/device_run.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/text_encoding.h"
#include "services/app_window.h"
#include "services/data_folders.h"
#include "services/file_messages.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace ui {

// The grid as the view shows it: the editor says which cell sits where.
class TTableGridModel : public QAbstractTableModel {
 public:
  explicit TTableGridModel(TTableEditorBase& editor) : QAbstractTableModel(&editor), e_(editor) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : e_.ViewRows();
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : e_.ViewColumns();
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto [column, row] = e_.GridCellAt(index.row(), index.column());
    return Q(e_.Grid().Cell(column, row).text);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return e_.HeaderText(orientation, section);
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
  }

  void Reset() {
    beginResetModel();
    endResetModel();
  }
  void Changed() {
    if (rowCount({}) == 0 || columnCount({}) == 0) return;
    emit dataChanged(index(0, 0), index(rowCount({}) - 1, columnCount({}) - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount({}) - 1);
    emit headerDataChanged(Qt::Vertical, 0, rowCount({}) - 1);
  }

 private:
  TTableEditorBase& e_;
};

namespace {

constexpr uint16_t kFileMenuTexts = 1280;
constexpr uint16_t kEditMenuTexts = 1296;

enum Message {
  kAskSend = 0,
  kAskSave = 1,
  kReadFailed = 2,
  kSendFailed = 3,
  kAskDropUnsent = 4,
  kAskDropUnsaved = 5,
  kLoadFailed = 6,
  kSaveFailed = 7,
  kNoTable = 8,
  kNotANumber = 9,
  kOutOfRange = 10,
  kNotWhole = 11,
};

void SetText(QAction* action, const std::string& text) {
  if (action != nullptr && !text.empty()) action->setText(Q(text));
}

// A file name without an extension gets the table's, as the dialogs' default
// extension gives it.
std::string WithExtension(const std::string& path, const char* default_ext) {
  if (std::filesystem::path(path).has_extension()) return path;
  return path + "." + default_ext;
}

}  // namespace

// A transfer from start to end: commands are ignored, the hourglass shows; a
// close of the editor asked for meanwhile is carried out afterwards. (The main
// window's commands wait anyway: the editor is part of one of them.)
class TTransferScope {
 public:
  explicit TTransferScope(TTableEditorBase& editor) : e_(editor) { e_.transfer_running_ = true; }
  ~TTransferScope() {
    e_.transfer_running_ = false;
    if (e_.close_pending_ && !e_.closing_) {
      QTimer::singleShot(0, &e_, [editor = &e_] {
        if (editor->isVisible()) editor->reject();
      });
    }
  }
  TTransferScope(const TTransferScope&) = delete;
  TTransferScope& operator=(const TTransferScope&) = delete;

 private:
  TTableEditorBase& e_;
  devicelink::TCursorScope cursor_;
};

TTableEditorBase::TTableEditorBase(QWidget* parent) : QDialog(parent) {}

TTableEditorBase::~TTableEditorBase() = default;

void TTableEditorBase::Init(const TTableEditorControls& controls) {
  c_ = controls;
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMaximizeButtonHint);
  layout()->setMenuBar(c_.MainMenu1);
  c_.N1->setSeparator(true);

  model_ = new TTableGridModel(*this);
  QTableView* grid = c_.TabGrid;
  grid->setModel(model_);
  grid->horizontalHeader()->setDefaultSectionSize(100);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
  grid->horizontalHeader()->setSectionsClickable(false);
  grid->verticalHeader()->setSectionsClickable(false);
  grid->viewport()->installEventFilter(this);
  if (auto* corner = grid->findChild<QAbstractButton*>()) corner->installEventFilter(this);

  popup_ = new QMenu(this);
  popup_->setObjectName("PopupMenu1");
  popup_->addAction(c_.mnu_Kopieren);
  popup_->addAction(c_.mnu_Einfuegen);
  popup_->addAction(c_.mnu_Loeschen);
  connect(grid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popup_->popup(c_.TabGrid->viewport()->mapToGlobal(at)); });

  connect(c_.mnu_Neu, &QAction::triggered, this, &TTableEditorBase::mnu_NeuClick);
  connect(c_.mnu_Load, &QAction::triggered, this, &TTableEditorBase::mnu_LoadClick);
  connect(c_.mnu_Store1, &QAction::triggered, this, &TTableEditorBase::mnu_Store1Click);
  connect(c_.mnu_Receive, &QAction::triggered, this, &TTableEditorBase::mnu_ReceiveClick);
  connect(c_.mnu_Transmit, &QAction::triggered, this, &TTableEditorBase::mnu_TransmitClick);
  connect(c_.mnu_Kopieren, &QAction::triggered, this, &TTableEditorBase::mnu_KopierenClick);
  connect(c_.mnu_Einfuegen, &QAction::triggered, this, &TTableEditorBase::mnu_EinfuegenClick);
  connect(c_.mnu_Loeschen, &QAction::triggered, this, &TTableEditorBase::mnu_LoeschenClick);
}

void TTableEditorBase::FormCreate() {
  services::TextBlock t;
  if (services::GetTextBlock(kFileMenuTexts, 1, t)) {
    if (!t[0].empty()) c_.Datei1->setTitle(Q(t[0]));
    SetText(c_.mnu_Neu, t[1]);
    SetText(c_.mnu_Load, t[2]);
    SetText(c_.mnu_Store1, t[3]);
    // String 5 belongs to the separator N1, which shows no text.
    SetText(c_.mnu_Receive, t[6]);
    SetText(c_.mnu_Transmit, t[7]);
  }
  if (services::GetTextBlock(kEditMenuTexts, 1, t)) {
    SetText(c_.mnu_Kopieren, t[4]);
    SetText(c_.mnu_Einfuegen, t[5]);
    SetText(c_.mnu_Loeschen, t[6]);
  }
  LoadOwnTexts();
}

std::string TTableEditorBase::Text(int index) const {
  return services::ProgramText(
      static_cast<uint16_t>(services::text_id::kTableEditorMessages + index));
}

int TTableEditorBase::Ask(int index, uint32_t buttons) {
  return ShowMessageBox(this, Text(index), windowTitle().toStdString(),
                        buttons | services::kMbIconWarning);
}

void TTableEditorBase::Tell(const std::string& text) {
  ShowMessageBox(this, text, windowTitle().toStdString(), services::kMbOk | services::kMbIconError);
}

void TTableEditorBase::RefreshGrid(bool layout) {
  if (model_ == nullptr) return;
  if (layout) {
    model_->Reset();
  } else {
    model_->Changed();
  }
  // The corner text (also where it stands as a header) must fit.
  const QString corner = CornerText();
  if (!corner.isEmpty()) {
    const int width = c_.TabGrid->fontMetrics().horizontalAdvance(corner) + 12;
    c_.TabGrid->verticalHeader()->setMinimumWidth(width);
  }
  c_.TabGrid->viewport()->update();
}

std::optional<std::pair<int, int>> TTableEditorBase::SelectedCell() const {
  const QModelIndex current = c_.TabGrid->currentIndex();
  if (!current.isValid() || !c_.TabGrid->selectionModel()->isSelected(current)) return std::nullopt;
  return GridCellAt(current.row(), current.column());
}

bool TTableEditorBase::SelectCell(int column, int row) {
  const std::optional<std::pair<int, int>> at = ViewPositionOf(column, row);
  if (!at) return false;
  c_.TabGrid->setCurrentIndex(model_->index(at->first, at->second));
  return true;
}

void TTableEditorBase::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // restored from the task bar, not a new opening
  AsCommand([this] { FormActivate(); });
}

// The editor's commands are commands of the one that opened it: one at a
// time, none once the program closes.
void TTableEditorBase::AsCommand(const std::function<void()>& body) {
  if (frm_Main != nullptr) {
    frm_Main->Gate().DialogCommand(body);
  } else {
    body();
  }
}

void TTableEditorBase::FormActivate() {
  FormCreate();  // the language or the medium may have changed since
  PrepareOpening();
  // A file of another spelling or type is not offered as this table's file.
  std::string& name = Grid().FileName;
  if (std::filesystem::path(name).extension().string() != Grid().FileKind().extension) name.clear();
  RefreshGrid(true);
  const bool online = devicelink::DeviceOnline;
  c_.mnu_Receive->setEnabled(online);
  c_.mnu_Transmit->setEnabled(online);
  if (!SelectedCell()) c_.TabGrid->setCurrentIndex(model_->index(0, 0));
  if (online) Receive();
}

void TTableEditorBase::Receive() {
  if (transfer_running_) return;
  if (Grid().ChangedSinceTransfer && Ask(kAskDropUnsent, services::kMbYesNo) != services::kIdYes) {
    return;
  }
  bool ok;
  bool stopped;
  {
    // The window's close ends a read; what the grid holds stays as it was.
    TTransferScope transfer(*this);
    ok = ReadFromDevice();
    stopped = devicelink::RunEnded();
  }
  RefreshGrid();
  if (!ok && !stopped) Tell(Text(kReadFailed));
}

bool TTableEditorBase::Transmit() {
  if (transfer_running_ || !devicelink::DeviceOnline) return false;
  bool ok;
  {
    TTransferScope transfer(*this);
    ok = WriteToDevice();
  }
  if (ok) {
    Grid().Sent();
  } else {
    Tell(Text(kSendFailed));
  }
  return ok;
}

void TTableEditorBase::done(int result) {
  if (closing_) return;  // the closing questions are open already
  if (transfer_running_) {
    close_pending_ = true;
    return;
  }
  close_pending_ = false;
  // The program closes: no question may be asked, and the editor goes.
  if (isVisible() && !ModalsRefused()) {
    closing_ = true;
    bool may_close = false;
    AsCommand([&] { may_close = FormDeactivate(); });
    closing_ = false;
    if (!may_close) return;
  }
  QDialog::done(result);
}

bool TTableEditorBase::FormDeactivate() {
  const auto answer = [this](int index) {
    const int a = Ask(index, services::kMbYesNoCancel);
    return a == services::kIdYes || a == services::kIdNo ? a : services::kIdCancel;
  };
  if (devicelink::DeviceOnline && Grid().ChangedSinceTransfer) {
    const int a = answer(kAskSend);
    if (a == services::kIdCancel) return false;
    if (a == services::kIdYes && !Transmit()) return false;
  }
  if (Grid().ChangedSinceSave) {
    const int a = answer(kAskSave);
    if (a == services::kIdCancel) return false;
    if (a == services::kIdYes && !SaveAs()) return false;
  }
  return true;
}

std::string TTableEditorBase::StartFolder() const {
  const std::string& name = Grid().FileName;
  if (!name.empty()) return std::filesystem::path(name).parent_path().string();
  return services::GetDocumentsFolder();
}

bool TTableEditorBase::SaveAs() {
  const services::TTableFileKind kind = Grid().FileKind();
  TFileRequest request;
  request.save = true;
  request.initial_dir = StartFolder();
  request.file_name = Grid().FileName;
  request.default_ext = kind.default_ext;
  request.filter = QtFilter(kind.filter);
  request.overwrite_prompt = true;
  request.write_kind = platform::FileKind::kTableFile;
  const std::string chosen = ExecFileDialog(this, request);
  if (chosen.empty()) return false;
  const std::string path = WithExtension(chosen, kind.default_ext);
  try {
    devicelink::TCursorScope cursor;
    Grid().SaveFile(path);
  } catch (const platform::FileError& e) {
    Tell(Text(kSaveFailed) + "\n" + services::FileErrorText(e));
    return false;
  }
  return true;
}

bool TTableEditorBase::DiscardUnsaved() {
  return !Grid().ChangedSinceSave || Ask(kAskDropUnsaved, services::kMbYesNo) == services::kIdYes;
}

void TTableEditorBase::mnu_NeuClick() {
  AsCommand([this] {
    if (transfer_running_ || !DiscardUnsaved()) return;
    devicelink::TCursorScope cursor;
    Grid().New();
    RefreshGrid();
  });
}

void TTableEditorBase::mnu_LoadClick() {
  AsCommand([this] { LoadFile(); });
}

void TTableEditorBase::LoadFile() {
  if (transfer_running_ || !DiscardUnsaved()) return;
  const services::TTableFileKind kind = Grid().FileKind();
  TFileRequest request;
  request.initial_dir = StartFolder();
  request.file_name = Grid().FileName;
  request.default_ext = kind.default_ext;
  request.filter = QtFilter(kind.filter);
  const std::string path = ExecFileDialog(this, request);
  if (path.empty()) return;
  try {
    devicelink::TCursorScope cursor;
    Grid().LoadFile(path);
  } catch (const services::TTableFileError& e) {
    using K = services::TTableFileError::Kind;
    const Message reason = e.ErrorKind() == K::kNoTable      ? kNoTable
                           : e.ErrorKind() == K::kNotANumber ? kNotANumber
                           : e.ErrorKind() == K::kOutOfRange ? kOutOfRange
                                                             : kNotWhole;
    std::string text = Text(kLoadFailed) + "\n" + e.File() + "\n";
    if (!e.Section().empty()) {
      text += "[" + e.Section() + "] " + e.Key() + " = \"" + platform::QuotedExcerpt(e.Value()) +
              "\"\n";
    }
    Tell(text + Text(reason));
  } catch (const platform::FileError& e) {
    Tell(Text(kLoadFailed) + "\n" + services::FileErrorText(e));
  }
  RefreshGrid();
}

void TTableEditorBase::mnu_Store1Click() {
  AsCommand([this] {
    if (!transfer_running_) SaveAs();
  });
}

void TTableEditorBase::mnu_ReceiveClick() {
  AsCommand([this] { Receive(); });
}

void TTableEditorBase::mnu_TransmitClick() {
  AsCommand([this] { Transmit(); });
}

void TTableEditorBase::mnu_KopierenClick() {
  const auto cell = SelectedCell();
  if (!cell || !Grid().HoldsValue(cell->first, cell->second)) return;
  QApplication::clipboard()->setText(Q(Grid().Cell(cell->first, cell->second).text));
}

void TTableEditorBase::mnu_EinfuegenClick() {
  const auto cell = SelectedCell();
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  if (transfer_running_ || !cell || clip == nullptr || !clip->hasText()) return;
  if (!Grid().HoldsValue(cell->first, cell->second)) return;
  const std::string text = clip->text().toStdString();
  if (Grid().Paste(cell->first, cell->second, text) == services::TPasteResult::kRefused) {
    platform::Beep(platform::kBeepDefault);
  }
  RefreshGrid();
}

void TTableEditorBase::mnu_LoeschenClick() {
  const auto cell = SelectedCell();
  if (transfer_running_ || !cell || !Grid().HoldsValue(cell->first, cell->second)) return;
  Grid().Delete(cell->first, cell->second);
  RefreshGrid();
}

std::optional<std::pair<int, int>> TTableEditorBase::NextEntryCell(int, int) const {
  return std::nullopt;
}

void TTableEditorBase::TabGridDblClick() {
  AsCommand([this] {
    const auto cell = SelectedCell();
    if (transfer_running_ || !cell || !Grid().HoldsValue(cell->first, cell->second)) return;
    EditCell(cell->first, cell->second);
  });
}

void TTableEditorBase::EditCell(int column, int row) {
  TInputDlg* dialog = InputDlg;
  if (dialog == nullptr) return;
  // The dialog is shared with the main window: leave it as it was.
  struct Restore {
    TInputDlg* d;
    int32_t precision;
    ~Restore() {
      d->Precision = precision;
      d->IntegerOnly = false;
    }
  } restore{dialog, dialog->Precision};
  for (;;) {
    const services::TCellInput in = Grid().InputFor(column, row);
    dialog->IntegerOnly = in.integer_only;
    dialog->Quantity = in.quantity;
    dialog->MinValue = in.min;
    dialog->MaxValue = in.max;
    dialog->Precision = in.precision;
    dialog->Value = in.value;
    // The result, not a flag of the dialog: its close box is a cancel too.
    if (ExecModal(*dialog) != QDialog::Accepted) return;
    Grid().Enter(column, row, dialog->Value);
    RefreshGrid();
    const std::optional<std::pair<int, int>> next = NextEntryCell(column, row);
    if (!next) return;
    std::tie(column, row) = *next;
    SelectCell(column, row);
  }
}

bool TTableEditorBase::eventFilter(QObject* watched, QEvent* event) {
  if (watched == c_.TabGrid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // Anywhere in the grid, as for the selected cell.
    TabGridDblClick();
    return true;
  }
  if (event->type() == QEvent::Paint && qobject_cast<QAbstractButton*>(watched) != nullptr &&
      watched->parent() == c_.TabGrid) {
    PaintCorner(static_cast<QWidget*>(watched));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TTableEditorBase::PaintCorner(QWidget* corner) {
  QStylePainter painter(corner);
  QStyleOptionHeader option;
  option.initFrom(corner);
  option.rect = corner->rect();
  option.position = QStyleOptionHeader::OnlyOneSection;
  option.text = CornerText();
  option.textAlignment = Qt::AlignCenter;
  painter.drawControl(QStyle::CE_Header, option);
}

}  // namespace ui
