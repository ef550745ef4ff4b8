// The pages of the main window. The window is the frame (form, status bar,
// timers, menus, busy flag, deferred close); each group of pages is a TPage
// that owns its handlers and list builders and reaches the frame through a
// TPageContext. The frame finds the group of a notebook page in its page table
// and dispatches to it: text loading, refresh, entry and tab navigation.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

class QWidget;

namespace Ui {
class Tfrm_Main;
}

namespace ui {

// What a page group may use of the main window.
class TPageContext {
 public:
  virtual ~TPageContext() = default;
  // The one form: every control under its name.
  virtual Ui::Tfrm_Main& Form() const = 0;
  // Parent of the dialogs and message boxes a page opens.
  virtual QWidget* DialogParent() = 0;
  // The circuit of the parameter pages: 1 while the parameter notebook shows
  // circuit 2's page, else 0.
  virtual int ShownCircuit() const = 0;
  // An operator's command from a control of the window, through the frame's
  // one gate: run now when nothing runs, kept under the control and run after
  // whatever runs (chosen twice, once), dropped once the program closes
  // (false). The body runs later when kept: it captures what it needs by
  // value. Errors end in a message box; cursor, progress bar and busy state
  // come back however it ends.
  virtual bool Command(const QObject* control, std::function<void()> body) = 0;
  // An operator's event on a parameter page, a Command of its own: when it
  // runs, the page it was chosen on is still shown (else it is dropped), the
  // page acts on the device's values (online, the page's Records() are read
  // first when the device did not report them, and the event goes on only when
  // the records are then what they were; else status panel 0 says why), and
  // the control shows the operator's choice as it was made.
  virtual bool OperatorEvent(const QObject* control, std::function<void()> body) = 0;
  // The shown parameter page read and shown again.
  virtual void RefreshParameterPage() = 0;
};

// Where a tab click leads: the page to show (the clicked one or another) and
// whether that page is then refreshed.
struct TNavigation {
  QWidget* show;
  bool refresh;
};

class TPage : public QObject {
  Q_OBJECT

 public:
  explicit TPage(TPageContext& context) : context_(context) {}

  // The notebook pages of this group.
  virtual std::vector<QWidget*> Pages() const = 0;
  // Captions and choice lists from the text module of the current medium and
  // language.
  virtual void LoadTexts() {}
  // Reads what the page shows when online and shows it; never writes to the
  // device.
  virtual void Refresh(QWidget* /*page*/) {}
  // The keyboard focus came into the page from another control of the window.
  virtual void Enter(QWidget* /*page*/) {}
  // A tick of the refresh timer while the page is shown.
  virtual void Tick(QWidget* /*page*/) {}
  // The operator clicked the page's tab (the notebook already shows it).
  virtual TNavigation Navigate(QWidget* page) { return {page, true}; }
  // Empties what the pages show of values read from the device, beyond the
  // parameter records (a device no longer accepted).
  virtual void ClearDeviceValues() {}
  // The device blocks of the parameter records the page shows and its edits
  // send (devicelink::BlockAddressOf). Before an operator's event on the page
  // each must hold what the device reported; the page is read first when one
  // does not.
  virtual std::vector<uint16_t> Records(QWidget* /*page*/) const { return {}; }

 protected:
  TPageContext& Context() const { return context_; }
  // Context().OperatorEvent for the control; false when the event was dropped
  // (the program closes), so a control the operator already changed can be
  // shown from the record again.
  bool Operator(const QObject* control, std::function<void()> body) {
    return context_.OperatorEvent(control, std::move(body));
  }
  Ui::Tfrm_Main& Form() const { return context_.Form(); }

 private:
  TPageContext& context_;
};

// The page groups of the window and the group of each notebook page.
class TPageTable {
 public:
  void Add(TPage* group);  // owned by its Qt parent
  // The group that shows the page; nullptr for a page no group fills.
  TPage* Owner(QWidget* page) const;
  const std::vector<TPage*>& Groups() const { return groups_; }
  std::vector<QWidget*> AllPages() const;

 private:
  std::vector<TPage*> groups_;
};

}  // namespace ui
