// The signals by which a session asks a program to end (SIGTERM at logout or
// shutdown, SIGHUP when its terminal goes, SIGINT from the keyboard) ask for
// the program's close as the window's close button does: a started write run
// completes, the settings are written, the port is closed, and the program
// ends with status 0. The handler only writes a byte to a pipe; the main
// thread reads it and calls the close there.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace ui {

class TCloseSignals : public QObject {
 public:
  // Installs the handlers for as long as the object lives (the previous ones
  // come back after); close is called on the main thread, once per signal.
  TCloseSignals(QObject* parent, std::function<void()> close);
  ~TCloseSignals() override;
  TCloseSignals(const TCloseSignals&) = delete;
  TCloseSignals& operator=(const TCloseSignals&) = delete;

 private:
  void Arrived();

  std::function<void()> close_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ui
