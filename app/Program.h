// The program as a whole: start-up, argument parsing, dispatch of the one
// action, and the top-level error report.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vltrx {

class Ui;

/// Runs the program on args (args[0] is the program name) and returns the
/// program's result code: 0 success, 1 help/usage or a cancelled warning,
/// 3400 for -version, otherwise the negative error code.
int runProgram(const std::vector<std::string>& args, Ui& ui);

/// Exit status for a result code. POSIX keeps only the low 8 bits of a
/// status, so the code's low byte is used; a failure whose low byte is 0
/// (e.g. -2304) exits with 255 so that no failure ever exits 0.
int exitStatusFor(int code);

/// The language of this run: -lang: of args, else the stored
/// "PreferredLanguage", else the system's; stored when save is true.
void chooseLanguage(const std::vector<std::string>& args, bool save);

/// The graphical program "vltrx-gui" beside this one when it is installed
/// and executable, else an empty path.
std::filesystem::path guiProgram();

/// True when a graphical program can show windows here: DISPLAY,
/// WAYLAND_DISPLAY or QT_QPA_PLATFORM (offscreen in tests) is set.
bool displayAvailable();

}  // namespace vltrx
