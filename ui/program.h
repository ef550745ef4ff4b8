// The program block: the single-instance guard, the eight windows in their order,
// the message loop.
#pragma once

#include <optional>
#include <string>

namespace ui {

class Tfrm_Main;

// The guard's message when another copy runs; false then.
bool CheckSingleInstance();

class TProgram {
 public:
  // program_folder: where the text modules are; empty for the program's folder.
  explicit TProgram(std::string program_folder = {});
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Creates the windows, the main window first (its start-up runs inside).
  // An exit code when the program must end at once.
  std::optional<int> Start();
  Tfrm_Main* MainWindow() const { return main_; }

 private:
  std::string program_folder_;
  Tfrm_Main* main_ = nullptr;
};

// Makes the settings file say online on port COM<com>, keeping every other key;
// the program's option --online-com N. 0 on success, else 1 with a message.
int WriteOnlineSettings(int com);

// The whole program: guard, application object, windows, message loop.
// Option --online-com N only edits the settings file and ends.
int ProgramMain(int argc, char** argv);

}  // namespace ui
