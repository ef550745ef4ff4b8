// The one gate through which every command of the operator and every timer
// tick that exchanges with the device enters. It owns the one busy state and
// the one closing state of the program:
// - a command runs only when nothing runs; chosen while something runs, it is
//   kept and runs after it (chosen twice, once); a tick then does nothing;
// - the commands of a modal window that a running command waits on (a
//   dialog's buttons) run as commands of their own inside it, one at a time;
// - once the close is asked, nothing new starts: nothing kept runs, no
//   command, tick or posted call, no message box or dialog (see
//   dialog_hooks.h); every run of exchanges is stopped (devicelink::TRun), and
//   the modal window waited on is dismissed.
// Every command runs with a run of exchanges of its own and with its errors
// caught: no exception crosses the event loop.
#pragma once

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

#include "ui/dialog_hooks.h"

class QTimer;

namespace devicelink {
class TRun;
}

namespace ui {

class TCommandGate : public QObject, private TModalGuard {
 public:
  explicit TCommandGate(QObject* parent);
  ~TCommandGate() override;

  // An operator's command, keyed by its control: runs now when nothing runs;
  // while something runs it is kept until nothing does (a key kept already
  // keeps its first command); dropped once the close is asked. False when it
  // was dropped.
  bool Command(const void* key, std::function<void()> body);
  // As Command, but run in a later round of the event loop even when nothing
  // runs now (a page change settles before the page is read).
  bool Later(const void* key, std::function<void()> body);
  bool Keeps(const void* key) const;
  // The kept command of the key is carried out otherwise (or not at all).
  void Drop(const void* key);

  // What the program does by itself (a timer tick, the focus entering a page):
  // runs now when nothing runs and the close is not asked, else not at all.
  void Tick(const std::function<void()>& body);

  // A command of the modal window the running command waits on: runs now when
  // that command waits for the operator there and nothing else runs inside
  // it; else (another of its commands runs, the close is asked) not at all.
  void DialogCommand(const std::function<void()>& body);

  // Start-up, which exchanges with the device before the window takes input:
  // run now as a command, whatever the state.
  void RunNow(const std::function<void()>& body);

  // The call runs in a later round of the event loop, unless the close has
  // been asked by then.
  void Post(std::function<void()> call);

  // A command runs (or waits in a modal window it opened), or a modal window
  // is open.
  bool Busy() const { return depth_ > 0 || !modals_.empty(); }
  bool Closing() const { return closing_; }

  // The close is asked (see above). ended runs once, as soon as nothing runs
  // any more (at once when nothing does). A second close changes nothing.
  void Close(std::function<void()> ended);

  // Blocks the runs of exchanges reported as possibly not sent once the close
  // was asked (a write run ended at its first failed block).
  const std::vector<uint16_t>& NotSentAtClose() const { return not_sent_at_close_; }

  // How an error that ends a command reaches the operator (a message box).
  void SetErrorHandler(std::function<void(std::exception_ptr)> handler) {
    error_handler_ = std::move(handler);
  }

 private:
  struct TModal {
    int depth;
    uint64_t id;
    std::function<void()> dismiss;
  };

  // TModalGuard
  bool ModalRefused() const override { return closing_; }
  void ModalBegins(std::function<void()> dismiss) override;
  void ModalEnds() override;

  void Run(const std::function<void()>& body);
  void AfterRun();
  void ResumeLater();
  void RunNext();
  void DismissWaitedModal();

  std::vector<std::pair<const void*, std::function<void()>>> kept_;
  std::vector<TModal> modals_;
  int depth_ = 0;
  uint64_t modal_ids_ = 0;
  bool closing_ = false;
  bool run_posted_ = false;
  std::function<void()> ended_;
  std::vector<uint16_t> not_sent_at_close_;
  std::function<void(std::exception_ptr)> error_handler_;
};

}  // namespace ui
