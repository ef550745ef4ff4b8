#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/block_names.h"
#include "services/data_folders.h"
#include "services/file_messages.h"
#include "services/parameter_edit.h"
#include "services/parameter_file.h"
#include "services/port_opening.h"
#include "services/program_texts.h"
#include "services/settings_file.h"
#include "services/status_note.h"
#include "services/text_modules.h"
#include "services/value_format.h"
#include "ui/about_box.h"
#include "ui/busy_flags.h"
#include "ui/busy_scopes.h"
#include "ui/dialog_hooks.h"
#include "ui/pages/circuit_pages.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/operating_pages.h"
#include "ui/pages/page_controls.h"
#include "ui/pages/relay_output_pages.h"
#include "ui/pages/system_pages.h"
#include "ui/pages/trend_page.h"
#include "ui/pages/units_page.h"
#include "ui/password_dialog.h"
#include "ui/program.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"
#include "ui/settings_dialog.h"
#include "ui/tab_rows.h"
#include "ui_main_window.h"

namespace ui {

Tfrm_Main* frm_Main = nullptr;

namespace {

constexpr uint32_t kSplashMs = 3000;

QColor ColourOf(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace

Tfrm_Main::Tfrm_Main(std::string program_folder, QWidget* parent)
    : QMainWindow(parent),
      form_(std::make_unique<Ui::Tfrm_Main>()),
      program_folder_(std::move(program_folder)),
      refresh_timer_(new QTimer(this)),
      system_timer_(new QTimer(this)),
      panel_texts_(4) {
  form_->setupUi(this);
  frm_Main = this;
  gate_ = new TCommandGate(this);
  gate_->SetErrorHandler([this](std::exception_ptr error) { ShowCommandError(error); });
  gate_->SetCommandHooks([this] { notes_before_command_ = services::StatusNotesShown(); },
                         [this] { ShowWhatTheDeviceReported(); });
  setAttribute(Qt::WA_QuitOnClose, true);

  // Fixed-pitch lists: their lines are laid out in columns of characters.
  QFont fixed("Courier New");
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setPixelSize(13);
  for (QListWidget* list : {form_->ListeK1, form_->ListeK2, form_->ErrorListe,
                            form_->ListeIntegrator1, form_->ListeIntegrator2}) {
    list->setFont(fixed);
  }
  form_->Trendgrid->setFont(fixed);
  form_->Trendgrid->verticalHeader()->setDefaultSectionSize(18);
  form_->Ed_DateTime->setFont(fixed);

  refresh_timer_->setObjectName("RefreshTimer");
  system_timer_->setObjectName("SystemTimer");
  system_timer_->setInterval(1000);

  // The separators of the file menu are items with names of their own.
  mnu_N1_ = new QAction(this);
  mnu_N1_->setObjectName("mnu_N1");
  mnu_N1_->setSeparator(true);
  mnu_N2_ = new QAction(this);
  mnu_N2_->setObjectName("mnu_N2");
  mnu_N2_->setSeparator(true);
  form_->mnu_Parameter->insertAction(form_->mnu_Seitenansicht, mnu_N1_);
  form_->mnu_Parameter->insertAction(form_->mnu_Beenden, mnu_N2_);

  open_dialog_.DefaultExt = services::kParameterFileExt;
  save_dialog_ = open_dialog_;
  open_dialog_.Filter = services::kParameterOpenFilter;
  save_dialog_.Filter = services::kParameterFileFilter;

  // The page groups, in the order their texts load.
  for (TPage* group : std::initializer_list<TPage*>{
           new TCircuitPages(*this), operating_ = new TOperatingPages(*this),
                                     trend_ = new TTrendPage(*this), new TRelayOutputPages(*this),
                                     units_ = new TUnitsPage(*this), new TSystemPages(*this)}) {
    group->setParent(this);
    pages_.Add(group);
  }
  parameter_tabs_ = new TTabRows(form_->NBParameter);

  ConnectHandlers();
  // Fixed size: the lines of the lists are laid out for this width.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(630, menuBar()->sizeHint().height() + 484);

  devicelink::SetWindowLink(this);
  services::SetAppWindow(this);
}

Tfrm_Main::~Tfrm_Main() {
  // The widget base class still moves the focus while it goes; this part of the
  // window must not hear of it any more.
  disconnect(qApp, nullptr, this, nullptr);
  refresh_timer_->stop();
  system_timer_->stop();
  devicelink::SetComPort(nullptr);
  if (port_) {
    try {
      port_->SetOpen(false);
    } catch (const std::exception&) {
    }
  }
  port_.reset();
  if (services::HasAppWindow() && &services::AppWindow() == this) services::SetAppWindow(nullptr);
  if (&devicelink::WindowLink() == this) devicelink::SetWindowLink(nullptr);
  if (frm_Main == this) frm_Main = nullptr;
}

void Tfrm_Main::ConnectHandlers() {
  connect(refresh_timer_, &QTimer::timeout, this, &Tfrm_Main::RefreshTimerTimer);
  connect(system_timer_, &QTimer::timeout, this, &Tfrm_Main::SystemTimerTimer);
  // The notebook's own handling switches the page on the press; ours follows
  // it. A click on the tab already shown reads the page again; a page reached
  // by the keyboard or by the program is read as a clicked one.
  for (QTabWidget* nb : {form_->Notebook, form_->NBBetrieb}) {
    connect(nb, &QTabWidget::tabBarClicked, this, [this](int) { RequestNavigation(); });
  }
  connect(parameter_tabs_, &TTabRows::TabClicked, this, [this](int) { RequestNavigation(); });
  for (QTabWidget* nb : {form_->Notebook, form_->NBBetrieb, form_->NBParameter}) {
    connect(nb, &QTabWidget::currentChanged, this, [this](int) { RequestNavigation(); });
  }
  connect(qApp, &QApplication::focusChanged, this, &Tfrm_Main::FocusChanged);
  connect(form_->mnu_Beenden, &QAction::triggered, this, &Tfrm_Main::mnu_BeendenClick);
  connect(form_->mnu_Einstellungen, &QAction::triggered, this, &Tfrm_Main::mnu_EinstellungenClick);
  connect(form_->mnu_Deutsch, &QAction::triggered, this,
          [this] { mnu_SpracheClick(form_->mnu_Deutsch); });
  connect(form_->mnu_Englisch, &QAction::triggered, this,
          [this] { mnu_SpracheClick(form_->mnu_Englisch); });
  connect(form_->mnu_Info, &QAction::triggered, this, &Tfrm_Main::mnu_InfoClick);
  connect(form_->mnu_Neu, &QAction::triggered, this, &Tfrm_Main::mnu_NeuClick);
  connect(form_->mnu_Laden, &QAction::triggered, this, &Tfrm_Main::mnu_LadenClick);
  connect(form_->mnu_Speichern, &QAction::triggered, this, &Tfrm_Main::mnu_SpeichernClick);
  for (QAction* a : {form_->mnu_Seitenansicht, form_->mnu_Drucken}) {
    connect(a, &QAction::triggered, this, [this, a] { mnu_DruckenClick(a); });
  }
}

// ---- Start-up and shutdown

void Tfrm_Main::PrepareStatusBar() {
  // Panels 0 to 2 have their widths; the last one takes what is left of the bar,
  // so none is cut at the window's fixed width.
  static constexpr int kWidths[3] = {400, 150, 60};
  QStatusBar* bar = form_->StatusBar;
  auto* row = new QWidget(bar);
  row->setObjectName("StatusPanels");
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  panel0_ = new QLabel(row);
  panel0_->setObjectName("StatusPanel0");
  // A reason with what to do about it takes more than one line of the panel.
  panel0_->setWordWrap(true);
  for (int i = 0; i < 4; ++i) {
    auto* panel = i == 0 ? panel0_ : new QFrame(row);
    if (i != 0) panel->setObjectName("StatusPanel" + QString::number(i));
    panel->setFrameShape(QFrame::StyledPanel);
    if (i < 3) panel->setFixedWidth(kWidths[i]);
    panel->installEventFilter(this);
    layout->addWidget(panel, i == 3 ? 1 : 0);
    panels_.push_back(panel);
  }
  bar->addWidget(row, 1);
  // The progress bar and the label live in their panels' rectangles.
  for (QWidget* w :
       {static_cast<QWidget*>(form_->Zeitmesser), static_cast<QWidget*>(form_->Label_Online)}) {
    w->setParent(row);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    w->setGeometry(0, 0, 0, 0);
    w->show();
  }
  form_->Zeitmesser->setMinimum(0);
  form_->Zeitmesser->hide();
}

bool Tfrm_Main::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
    for (size_t i = 0; i < panels_.size(); ++i) {
      if (panels_[i] == watched) StatusBarDrawPanel(static_cast<int>(i), panels_[i]->geometry());
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void Tfrm_Main::StatusBarDrawPanel(int panel, const QRect& rect) {
  if (panel == 1) {
    form_->Zeitmesser->setGeometry(rect);
    form_->Zeitmesser->raise();
  } else if (panel == 2) {
    form_->Label_Online->setGeometry(rect);
    form_->Label_Online->raise();
  }
}

bool Tfrm_Main::FormCreate() {
  // Start-up exchanges with the device as a command does: a close meanwhile
  // waits for its end. Its errors end the start as they come.
  bool started = false;
  std::exception_ptr error;
  gate_->RunNow([&] {
    try {
      started = StartUp();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
  return started;
}

bool Tfrm_Main::StartUp() {
  FormReady = 0;
  port_ = std::make_unique<serial::TSioComPort>(this);
  devicelink::SetComPort(port_.get());
  form_->Notebook->setCurrentWidget(form_->TabBetrieb);
  form_->NBBetrieb->setCurrentWidget(form_->TabKreis1);
  form_->NBParameter->setCurrentWidget(form_->TabPar1);
  PrepareStatusBar();

  std::string folder = program_folder_.empty() ? platform::ProgramFolder() : program_folder_;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  services::ProgramFolder = folder;
  const std::string documents = services::GetDocumentsFolder();
  save_dialog_.InitialDir = documents;
  open_dialog_.InitialDir = documents;

  services::ReadSettings();
  // What the start-up asks before the texts are loaded asks in their language.
  UseQtLanguage(services::Language);
  services::IdentifyDevice();
  form_->mnu_Deutsch->setChecked(services::Language == 0);
  form_->mnu_Englisch->setChecked(services::Language == 1);

  const std::string marker = services::GetText(0);
  if (marker != services::kGasModuleMarker && marker != services::kSteamModuleMarker) {
    ShowMessageBox(this, services::MissingModuleMessage(), "vandrel2",
                   services::kMbOk | services::kMbIconError);
    return false;
  }
  const uint32_t t0 = platform::GetTickCount();
  // Numbers are written and read with "." whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());

  about_box_ = new TAboutBox(this);
  about_box_->show();
  {
    // However the steps below end, the splash goes and the clock runs.
    struct SplashEnd {
      Tfrm_Main& w;
      ~SplashEnd() {
        if (w.about_box_ != nullptr) w.about_box_->hide();
        w.system_timer_->start(1000);
      }
    } splash_end{*this};
    // The window shows below the splash, but the dialogs its handlers open are
    // made only once the start-up is over: the operator's input waits till then.
    TInputBlockScope input_waits(this);
    platform::ProcessMessages();

    ApplyLanguageTexts();
    form_->Notebook->setCurrentWidget(form_->TabBetrieb);
    devicelink::TrendStore = std::make_unique<devicelink::TTrendStore>();
    devicelink::TableData = std::make_unique<devicelink::TPropertyTable>();
    for (size_t i = 0; i < devicelink::TrendStore->Records.size(); ++i) {
      devicelink::TrendStore->Records[i].Status = 0;
      devicelink::TrendStore->ListMap[i] = -1;
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    }
    show();
    repaint();
    units_->SelectUnitChoices();
    FormReady = 1;
    if (devicelink::DeviceOnline) {
      operating_->RefreshCircuitValues(0);
    } else {
      services::ResetParameters();
      // Offline as the settings or the device decided, but a port that could
      // not be opened, a device of neither model or a locked device says why
      // (the reset has emptied the panel).
      if (services::PortFailure().kind != services::TPortFailureKind::kNone) {
        services::ShowStatusNote(services::TStatusNote::PortFailed(services::PortFailure()));
      } else if (services::UnknownDevice()) {
        services::ShowStatusNote(services::TStatusNote::Text(services::kUnknownDeviceText));
      } else if (services::DeviceLocked()) {
        // A device whose password is in force is connected through the settings.
        services::ShowStatusNote(services::TStatusNote::Text(services::kDeviceLockedText));
      }
    }
    while (static_cast<uint32_t>(platform::GetTickCount() - t0) <= kSplashMs) {
      platform::ProcessMessages();
      platform::Sleep(10);
    }
  }
  form_->NBBetrieb->setFocus();
  return true;
}

void Tfrm_Main::FormClose() {
  try {
    if (port_) port_->SetOpen(false);
  } catch (const std::exception&) {
    // Closing never leaves the port half open.
  }
  // No exchange opens the port again from now on.
  devicelink::SetComPort(nullptr);
  delete about_box_;
  about_box_ = nullptr;
  if (FormReady == 1) {
    devicelink::TableData.reset();
    devicelink::TrendStore.reset();
    services::WriteSettings();
  }
  ReportNotSentAtClose();
}

void Tfrm_Main::ReportNotSentAtClose() {
  const std::vector<uint16_t>& blocks = gate_->NotSentAtClose();
  if (blocks.empty()) return;
  const std::string text =
      services::ProgramText(services::text_id::kNotSentAtClose, {services::BlockNames(blocks)});
  try {
    services::AppendErrorLog(text);
  } catch (const std::exception& e) {
    std::cerr << "vandrel2: " << text << " (" << e.what() << ")\n";
  }
  // Nobody may be at the screen after a signal (the session ends).
  if (!close_by_signal_) {
    ShowMessageBoxAfterClose(this, text, "vandrel2", services::kMbOk | services::kMbIconWarning);
  }
}

void Tfrm_Main::CloseBySignal() {
  if (!gate_->Closing()) close_by_signal_ = true;
  close();
}

void Tfrm_Main::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (!gate_->Closing()) {
    refresh_timer_->stop();
    system_timer_->stop();
    // Nothing kept starts any more; runs of reads end at their next exchange,
    // a write run goes on while the device answers; the window closes once
    // nothing runs.
    gate_->Close([this] { QTimer::singleShot(0, this, [this] { close(); }); });
  }
  if (gate_->Busy()) {
    if (!closing_hourglass_) closing_hourglass_.emplace();
    SetStatusPanel(0, services::ProgramText(services::text_id::kClosingAfterTransfer));
    event->ignore();
    return;
  }
  FormClose();
  closed_ = true;
  closing_hourglass_.reset();
  event->accept();
}

void Tfrm_Main::ShowCommandError(std::exception_ptr error) {
  std::string text;
  try {
    std::rethrow_exception(error);
  } catch (const platform::FileError& e) {
    text = services::FileErrorText(e);
  } catch (const devicelink::TUnreportedBlock& e) {
    text = services::ProgramText(services::text_id::kUnreportedBlock,
                                 {services::BlockName(e.Address())});
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    text = services::ProgramText(services::text_id::kUnknownError);
  }
  // After the close no box opens: the error goes to the terminal, if any.
  if (gate_->Closing()) {
    std::cerr << "vandrel2: " << text << "\n";
    return;
  }
  ShowError(text);
}

// Online, a control of the shown page whose record the device on the open
// port has not reported shows no values, and the status bar names the page
// and what it lacks until a read fills it; offline every page shows the set
// as it is. Run after every command, whatever it did to the page.
void Tfrm_Main::ShowWhatTheDeviceReported() {
  if (FormReady != 1) return;
  QTabWidget* nb = ShownNotebook();
  QWidget* page = nb->currentWidget();
  TPage* group = pages_.Owner(page);
  std::vector<uint16_t> unread;
  bool failed = false;
  if (group != nullptr) {
    for (const auto& [block, control] : group->RecordControls(page)) {
      if (!devicelink::DeviceOnline || devicelink::Reported(block)) {
        ShowWithValues(control);
        continue;
      }
      ShowWithoutValues(control);
      if (std::find(unread.begin(), unread.end(), block) == unread.end()) unread.push_back(block);
    }
    failed = devicelink::DeviceOnline && group->ReadFailed(page);
  }
  const services::TStatusNote* shown = services::ShownStatusNote();
  if (unread.empty() && !failed) {
    if (shown != nullptr && shown->kind == services::TStatusNote::Kind::kUnread) {
      SetStatusPanel(0, "");
    }
    return;
  }
  // Why an edit of this command sent nothing says as much: it stays.
  const bool not_sent = shown != nullptr && shown->kind == services::TStatusNote::Kind::kText &&
                        (shown->text == services::kNotSentUnread ||
                         shown->text == services::kNotSentReadAnew);
  if (not_sent && services::StatusNotesShown() > notes_before_command_) return;
  const QString caption = nb->tabText(nb->indexOf(page)).remove('&');
  services::ShowStatusNote(services::TStatusNote::Unread(caption.toStdString(), unread));
}

// ---- Commands

bool Tfrm_Main::Command(const QObject* control, std::function<void()> body) {
  return gate_->Command(control, std::move(body));
}

// An edit sends its blocks as the device on the open port reported them, with
// the operator's change. The choice as the operator made it (the entry, the
// button, the line) is kept with the event, since reading the page first, or
// a command that ran before, draws the page anew.
bool Tfrm_Main::OperatorEvent(const QObject* control, std::function<void()> body) {
  // The page the control stands on (the operator reaches only the shown one).
  QWidget* page = form_->NBParameter->currentWidget();
  const auto* widget = qobject_cast<const QWidget*>(control);
  for (int i = 0; widget != nullptr && i < form_->NBParameter->count(); ++i) {
    if (form_->NBParameter->widget(i)->isAncestorOf(widget)) page = form_->NBParameter->widget(i);
  }
  auto choice = std::make_shared<TOperatorChoice>(control);
  auto selection = std::make_shared<TShownSelection>(page);
  return gate_->Command(control, [this, page, choice, selection, body = std::move(body)] {
    // The operator has gone to another page meanwhile: the event was the old
    // page's, whose controls no longer show what it would act on.
    if (form_->NBParameter->currentWidget() != page) return;
    TPage* group = pages_.Owner(page);
    if (group != nullptr) {
      const services::TActedOn acted =
          services::ActedOnDeviceValues(group->Records(page), [&] { group->Refresh(page); });
      if (acted != services::TActedOn::kDeviceValues) return;
    }
    choice->Restore();
    selection->Restore();
    body();
  });
}

int Tfrm_Main::ShownCircuit() const {
  return form_->NBParameter->currentWidget() == form_->TabPar2 ? 1 : 0;
}

// ---- Timers and navigation

QTabWidget* Tfrm_Main::ShownNotebook() const {
  return form_->Notebook->currentWidget() == form_->TabBetrieb ? form_->NBBetrieb
                                                               : form_->NBParameter;
}

void Tfrm_Main::RefreshTimerTimer() {
  gate_->Tick([&] {
    if (!devicelink::DeviceOnline) return;
    if (form_->Notebook->currentWidget() != form_->TabBetrieb) return;
    QWidget* page = form_->NBBetrieb->currentWidget();
    if (TPage* group = pages_.Owner(page)) group->Tick(page);
  });
}

void Tfrm_Main::SystemTimerTimer() {
  gate_->Tick([&] {
    if (!devicelink::DeviceOnline) return;
    devicelink::TDeviceClock& clock = devicelink::DeviceClock;
    if (clock.Month == 0 || clock.Day == 0) return;
    const platform::LocalDateTime now = platform::Now();
    const TClockFields t = AdvanceClock(now.year, now.month, now.day, now.hour, now.minute,
                                        now.second, now.millisecond, devicelink::ClockOffset);
    clock.Year = static_cast<uint16_t>(t.year);
    clock.Month = static_cast<uint16_t>(t.month);
    clock.Day = static_cast<uint16_t>(t.day);
    clock.Hour = static_cast<uint16_t>(t.hour);
    clock.Minute = static_cast<uint16_t>(t.minute);
    clock.Second = static_cast<uint16_t>(t.second);
    form_->Ed_DateTime->setText(Q(services::DeviceTimeToText(clock)));
  });
}

void Tfrm_Main::ClearClockField() {
  form_->Ed_DateTime->clear();
}

// A page is entered when the focus moves into it from another control of this
// window. The focus coming back to the window (a dialog or message box closed,
// the operator back from another program) enters nothing: it would cost a full
// read of the page each time.
void Tfrm_Main::FocusChanged(QWidget* old_widget, QWidget* now) {
  if (old_widget == nullptr || now == nullptr) return;
  if (old_widget->window() != this || now->window() != this) return;
  for (QWidget* page : pages_.AllPages()) {
    const bool now_inside = page->isAncestorOf(now);
    const bool was_inside = page->isAncestorOf(old_widget);
    if (now_inside && !was_inside) {
      // The focus follows a page change; the page change reads the page.
      gate_->Post([this, page, seen = navigations_] {
        if (gate_->Keeps(form_->Notebook) || navigations_ != seen) return;
        gate_->Tick([&] {
          if (TPage* group = pages_.Owner(page)) group->Enter(page);
        });
      });
    }
  }
}

// Kept under the main notebook's key: one navigation covers all three notebooks,
// as it reads whatever page they show by then.
void Tfrm_Main::RequestNavigation() {
  // Start-up chooses and reads its first page itself; a redirect of the handler
  // below is part of the navigation it handles.
  if (navigating_ || FormReady != 1) return;
  // Read once the notebooks have settled, and inside a running command (a
  // refresh, a trend read, a transfer) only once that has ended.
  gate_->Later(form_->Notebook, [this] { Navigate(); });
}

// The navigation itself: now when nothing runs (a navigation kept for later
// is this one), else once whatever runs has ended.
void Tfrm_Main::NotebookMouseDown(QTabWidget* /*notebook*/) {
  gate_->Command(form_->Notebook, [this] { Navigate(); });
}

void Tfrm_Main::Navigate() {
  ++navigations_;
  devicelink::TCursorScope cursor;
  QTabWidget* nb = ShownNotebook();
  QWidget* page = nb->currentWidget();
  TPage* group = pages_.Owner(page);
  const TNavigation to = group != nullptr ? group->Navigate(page) : TNavigation{page, true};
  if (to.show != page) {
    navigating_ = true;
    nb->setCurrentWidget(to.show);
    navigating_ = false;
  }
  if (!to.refresh) return;
  if (nb == form_->NBParameter) {
    RefreshParameterPage();
  } else if (TPage* shown = pages_.Owner(to.show)) {
    shown->Refresh(to.show);
  }
}

void Tfrm_Main::RefreshShownPage() {
  if (form_->Notebook->currentWidget() != form_->TabBetrieb) {
    RefreshParameterPage();
    return;
  }
  QWidget* page = form_->NBBetrieb->currentWidget();
  if (TPage* group = pages_.Owner(page)) group->Refresh(page);
}

void Tfrm_Main::RefreshParameterPage() {
  QWidget* page = form_->NBParameter->currentWidget();
  if (TPage* group = pages_.Owner(page)) group->Refresh(page);
}

// ---- Menus

// The close itself: asked at once, whatever runs.
void Tfrm_Main::mnu_BeendenClick() {
  close();
}

void Tfrm_Main::mnu_EinstellungenClick() {
  gate_->Command(form_->mnu_Einstellungen, [this] {
    if (Einst != nullptr) ExecModal(*Einst);
  });
}

void Tfrm_Main::mnu_InfoClick() {
  gate_->Command(form_->mnu_Info, [this] {
    if (about_box_ != nullptr) ExecModal(*about_box_);
  });
}

void Tfrm_Main::mnu_SpracheClick(QAction* sender) {
  gate_->Command(sender, [this, sender] {
    services::Language = sender == form_->mnu_Englisch ? 1 : 0;
    const std::string marker = services::GetText(0);
    if (marker != services::kGasModuleMarker && marker != services::kSteamModuleMarker) {
      ShowMessageBox(this, services::MissingModuleMessage(), "vandrel2",
                     kMbYesOnly | services::kMbIconError);
      services::Language = 0;
      form_->mnu_Deutsch->setChecked(true);
      form_->mnu_Englisch->setChecked(false);
      return;
    }
    form_->mnu_Deutsch->setChecked(services::Language == 0);
    form_->mnu_Englisch->setChecked(services::Language == 1);
    if (about_box_ != nullptr) about_box_->show();
    platform::ProcessMessages();
    struct Hide {
      TAboutBox* box;
      ~Hide() {
        if (box != nullptr) box->hide();
      }
    } hide{about_box_};
    ApplyLanguageTexts();
    repaint();
  });
}

// ---- Window link and application window

void Tfrm_Main::SetOnlineLabel(const std::string& caption, uint32_t colour) {
  if (devicelink::DeviceOnline) link_lost_since_.reset();
  QLabel* label = form_->Label_Online;
  label->setText(Q(caption));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ColourOf(colour));
  label->setPalette(palette);
}

void Tfrm_Main::LinkLost() {
  link_lost_since_ = platform::Now();
  services::ShowStatusNote(services::TStatusNote::LinkLost(*link_lost_since_));
}

void Tfrm_Main::SetProgressVisible(bool visible) {
  form_->Zeitmesser->setVisible(visible);
}
void Tfrm_Main::SetProgressMax(int max) {
  form_->Zeitmesser->setMaximum(max);
}
void Tfrm_Main::SetProgressPosition(int position) {
  QProgressBar* bar = form_->Zeitmesser;
  bar->setValue(std::min(position, bar->maximum()));
  bar->setProperty("position", position);
}
int Tfrm_Main::ProgressPosition() const {
  const QVariant p = form_->Zeitmesser->property("position");
  return p.isValid() ? p.toInt() : form_->Zeitmesser->value();
}

void Tfrm_Main::SetCursor(devicelink::TCursorShape shape) {
  // One screen cursor, as the program knows it: not a stack.
  if (shape == devicelink::TCursorShape::HourGlass) {
    if (QApplication::overrideCursor() == nullptr) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::changeOverrideCursor(Qt::WaitCursor);
    }
  } else {
    while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  }
}

void Tfrm_Main::SetStatusPanel(int panel, const std::string& text) {
  panel_texts_.at(static_cast<size_t>(panel)) = text;
  if (panel == 0 && panel0_ != nullptr) {
    panel0_->setText(Q(text));
    panel0_->setToolTip(Q(text));
    // The bar grows for a text that needs several lines and shrinks back after
    // (the height for the width counts the minimum height in).
    panel0_->setMinimumHeight(0);
    panel0_->setMinimumHeight(std::max(0, panel0_->heightForWidth(panel0_->width())));
  }
}

std::string Tfrm_Main::StatusPanel(int panel) const {
  return panel_texts_.at(static_cast<size_t>(panel));
}

int Tfrm_Main::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  return ShowMessageBox(this, text, caption, flags);
}

void Tfrm_Main::ShowError(const std::string& text) {
  ShowMessageBox(this, text, "vandrel2", services::kMbOk | services::kMbIconError);
}

bool Tfrm_Main::ExecuteOpenDialog(services::TFileDialogState& dialog) {
  TFileRequest request;
  request.initial_dir = dialog.InitialDir;
  request.file_name = dialog.FileName;
  request.default_ext = dialog.DefaultExt;
  request.filter = QtFilter(dialog.Filter);
  const std::string name = ExecFileDialog(this, request);
  if (name.empty()) return false;
  dialog.FileName = name;
  return true;
}

bool Tfrm_Main::ExecuteSaveDialog(services::TFileDialogState& dialog) {
  TFileRequest request;
  request.save = true;
  request.initial_dir = dialog.InitialDir;
  request.file_name = dialog.FileName;
  request.default_ext = dialog.DefaultExt;
  request.filter = QtFilter(dialog.Filter);
  const std::string name = ExecFileDialog(this, request);
  if (name.empty()) return false;
  dialog.FileName = name;
  return true;
}

std::vector<std::string> Tfrm_Main::MemoLines() const {
  std::vector<std::string> lines;
  const QString text = form_->Param_Memo->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
  return lines;
}

void Tfrm_Main::SetMemoLines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << Q(line);
  form_->Param_Memo->setPlainText(list.join('\n'));
}

void Tfrm_Main::StartRefreshTimer() {
  refresh_timer_->start();
}

std::string Tfrm_Main::PasswordEntry() const {
  return PasswordDlg != nullptr ? PasswordDlg->Text().toStdString() : std::string();
}

void Tfrm_Main::AskPassword() {
  if (PasswordDlg == nullptr) return;
  PasswordDlg->SetText("");
  ExecModal(*PasswordDlg);
}

void Tfrm_Main::ClearDeviceValues() {
  for (TPage* group : pages_.Groups()) group->ClearDeviceValues();
  ClearClockField();
  RefreshShownPage();
}

}  // namespace ui
