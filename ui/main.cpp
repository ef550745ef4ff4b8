#include "memdiag/leak_tracker.h"
#include "services/settings_file.h"
#include "ui/program.h"

int main(int argc, char** argv) {
  // "MemDiag" in the settings starts the leak tracker while they are read.
  services::SetMemDiagStarter(memdiag::StartFromSettings);
  return ui::ProgramMain(argc, argv);
}
