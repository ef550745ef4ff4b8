// What the main window carries out later: the commands chosen and the page
// changes made while a handler or an exchange ran, and the calls it posts to
// itself. They meet here with one closing state: once the window closes,
// nothing kept runs, nothing more is kept, and a posted call that comes round
// finds the state and returns.
#pragma once

#include <QObject>

#include <functional>
#include <utility>
#include <vector>

class QTimer;

namespace ui {

class TCommandQueue : public QObject {
 public:
  // busy: a handler or an exchange runs now, so nothing kept may start.
  TCommandQueue(QObject* parent, std::function<bool()> busy);

  // Keeps the command until nothing runs. A key kept already keeps its first
  // command: chosen twice, it is carried out once. Nothing is kept once closing.
  void Keep(const void* key, std::function<void()> command);
  bool Keeps(const void* key) const;
  // The kept command of the key is carried out otherwise (or not at all).
  void Drop(const void* key);

  // Runs the call in a later round of the event loop, unless the window is
  // closing by then.
  void Post(std::function<void()> call);

  // Something that ran has ended: the kept commands run one after the other,
  // in the order they were kept, each once nothing runs; while something still
  // runs, the queue looks again shortly.
  void Resume();

  // The window closes: everything kept is dropped, and nothing posted, kept or
  // resumed runs from now on.
  void Close();
  bool Closing() const { return closing_; }

 private:
  void RunNext();

  std::function<bool()> busy_;
  std::vector<std::pair<const void*, std::function<void()>>> kept_;
  QTimer* retry_;
  bool run_posted_ = false;
  bool closing_ = false;
};

}  // namespace ui
