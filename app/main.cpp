// vltrx: start-up and dispatch.
#include "app/Program.h"
#include "ui/TerminalUi.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  vltrx::TerminalUi ui;
  return vltrx::exitStatusFor(vltrx::runProgram(args, ui));
}
