// vltrx: start-up and dispatch.
#include "app/Program.h"
#include "ui/TerminalUi.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
  // A child of the main dialog (VLTRX_UI=qt) shows its progress window and
  // message boxes as Qt dialogs: the graphical program beside this one runs
  // the same command line. Without it, or without a display, the terminal
  // view serves.
  if (const char* view = std::getenv("VLTRX_UI");
      view && std::string_view(view) == "qt" && vltrx::displayAvailable()) {
    std::filesystem::path gui = vltrx::guiProgram();
    if (!gui.empty()) {
      argv[0] = const_cast<char*>(gui.c_str());
      execv(gui.c_str(), argv);
    }
  }
  std::vector<std::string> args(argv, argv + argc);
  vltrx::TerminalUi ui;
  return vltrx::exitStatusFor(vltrx::runProgram(args, ui));
}
