// The desktop's file link of the category file type: shared-mime-info must
// know ".vlcat" files. At start-up the program checks it and, when the user
// agrees, registers the type and the program's menu entry for this user.
#pragma once

#include <filesystem>

class QWidget;

namespace vltrx::gui {

/// The type of category files, as gui/vltrx-category.xml declares it.
inline constexpr char kCategoryMimeType[] = "application/x-velmora-category";

/// True when the shared MIME database (user and system folders) gives a
/// "*.vlcat" name the category type.
bool categoryTypeRegistered();

/// Writes the MIME package, the desktop entry (starting guiProgram) and the
/// icon below the user's data home ($XDG_DATA_HOME, else ~/.local/share),
/// then runs update-mime-database and update-desktop-database on those
/// folders when they are installed (no shell). Returns false, with the file
/// in failedFile, when a file cannot be written.
bool restoreFileLinks(const std::filesystem::path& guiProgram, std::filesystem::path* failedFile = nullptr);

/// Start-up: when the category type is missing, asks "Some important file
/// links ... Restore?" (text 31) with Yes and No, and restores on Yes. No
/// answer is stored: the question comes again at the next start while the
/// type is missing.
void offerFileLinks(QWidget* parent, const std::filesystem::path& guiProgram);

}  // namespace vltrx::gui
