#include "ui/program.h"

int main(int argc, char** argv) {
  return ui::ProgramMain(argc, argv);
}
