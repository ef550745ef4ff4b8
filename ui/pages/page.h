// The pages of the main window. The window is the frame (form, status bar,
// timers, menus, busy flag, deferred close); each group of pages is a TPage
// that owns its handlers and list builders and reaches the frame through a
// TPageContext. The frame finds the group of a notebook page in its page table
// and dispatches to it: text loading, refresh, entry and tab navigation.
#pragma once

#include <QObject>

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
  // Runs a handler body: an exception ends in a message box; cursor, progress
  // bar and busy flag come back; a close asked for meanwhile follows afterwards.
  virtual void Guarded(const std::function<void()>& body) = 0;
  // An operator's event on a parameter page: does nothing while the busy flag
  // is set, an exchange waits for its reply or the window closes; otherwise
  // runs the body guarded, with the busy flag set, so no other handler reads or
  // writes meanwhile. Online, the shown page's Records() are read first when the
  // device did not report them, and the body runs only when the page still
  // shows what it showed (else status panel 0 says why nothing was sent).
  // Handlers that call each other call their bodies directly.
  virtual void OperatorEvent(const std::function<void()>& body) = 0;
  // The shown parameter page read and shown again.
  virtual void RefreshParameterPage() = 0;
  // True when the caller must not go on now: while the window closes (the
  // command is dropped), and while a handler or an exchange runs (the command
  // is kept, under the control as its key, and carried out once nothing runs:
  // once, however often the control was used meanwhile). False when nothing
  // runs, and the caller goes on at once.
  virtual bool DeferWhileBusy(const QObject* control, std::function<void()> command) = 0;
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
  // The parameter records the page shows and its edits send (addresses of
  // records of devicelink::CurrentParameters). Before an operator's event on
  // the page each must hold what the device reported; the page is read first
  // when one does not.
  virtual std::vector<const void*> Records(QWidget* /*page*/) const { return {}; }

 protected:
  TPageContext& Context() const { return context_; }
  // Context().OperatorEvent(body); false when the event was refused (busy), so
  // a control the operator already changed can be shown from the record again.
  bool Operator(const std::function<void()>& body) {
    bool ran = false;
    context_.OperatorEvent([&] {
      ran = true;
      body();
    });
    return ran;
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
