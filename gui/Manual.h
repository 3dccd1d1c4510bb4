// Where the user manual is: beside the program under the names of the
// message table, in the installed documentation folder, or in the source
// tree of a program run from its build folder.
#pragma once

#include <filesystem>

namespace vltrx::gui {

/// The first manual that exists: <programFolder>/<text 4>/<text 5> (the
/// names of the message table), then in <programFolder>/../share/doc/vltrx
/// (installed, or the pages a build makes) and in sourceDocs (unless it is
/// empty) manual-<language>.html, manual-<language>.md ("manual-de.html",
/// "manual-de.md"), manual.html and manual.md (English). Empty when there
/// is none.
std::filesystem::path findManual(const std::filesystem::path& programFolder,
                                 const std::filesystem::path& sourceDocs);

/// The source tree's docs folder this program was built from (found only
/// while that tree exists).
std::filesystem::path sourceDocsFolder();

}  // namespace vltrx::gui
