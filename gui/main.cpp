// vltrx-gui: the main dialog, the option dialog of one format (-opt:), or
// (with a conversion on the command line) one conversion whose progress
// window and message boxes are Qt dialogs.
#include "app/Program.h"
#include "gui/FileLinks.h"
#include "gui/MainDialog.h"
#include "gui/OptionDialogs.h"
#include "gui/QtUi.h"
#include "platform/Paths.h"

#include <QApplication>

#include <string>
#include <string_view>
#include <vector>

namespace {

/// The dialog opens without arguments, with a language alone
/// ("vltrx-gui -lang:de") and for -gui; anything else is a command line of
/// the converter.
bool wantsDialog(const std::vector<std::string>& args) {
  bool onlyLanguage = true;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string_view a(args[i]);
    if (a.starts_with("-gui")) return true;
    if (!a.starts_with("-lang:")) onlyLanguage = false;
  }
  return onlyLanguage;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  QApplication app(argc, argv);
  if (vltrx::gui::wantsOptionDialog(args)) return vltrx::exitStatusFor(vltrx::gui::runOptionDialogCommand(args));
  if (!wantsDialog(args)) return vltrx::exitStatusFor(vltrx::gui::runConversionWithDialogs(args));

  vltrx::gui::startGui(args);
  // The children show their own progress window and boxes as Qt dialogs.
  setenv("VLTRX_UI", "qt", 1);
  vltrx::gui::MainDialog dialog(vltrx::platform::programFolder() / "vltrx");
  dialog.show();
  vltrx::gui::offerFileLinks(&dialog, vltrx::platform::programFolder() / "vltrx-gui");
  dialog.exec();
  dialog.saveSelection();
  return 0;
}
