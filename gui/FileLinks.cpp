// Checking and restoring the category file type in shared-mime-info.
#include "gui/FileLinks.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <QFile>
#include <QMessageBox>
#include <QMimeDatabase>

#include <fstream>
#include <string>
#include <system_error>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

/// A file of the program's resources (gui/CMakeLists.txt embeds them, so
/// the program restores the links wherever it runs from).
QByteArray resource(const char* name) {
  QFile file(QString(":/vltrx/") + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const fs::path& path, const QByteArray& data, fs::path* failedFile) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.constData(), data.size());
  out.close();
  if (!data.isEmpty() && out) return true;
  if (failedFile) *failedFile = path;
  return false;
}

/// The desktop entry with Exec naming this program by its full path: a
/// program run from its build or unpack folder is not on PATH.
QByteArray desktopEntry(const fs::path& guiProgram) {
  QByteArray entry = resource("vltrx-gui.desktop");
  // Quoted as the desktop entry format wants: "\\" before a quote, `, $
  // and \ (the string escape and the Exec escape on top of each other), and
  // "%%" for a percent sign.
  QByteArray exec = "Exec=\"";
  for (char c : guiProgram.string()) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') exec += "\\\\";
    if (c == '%') exec += '%';
    exec += c;
  }
  exec += '"';
  int at = static_cast<int>(entry.indexOf("\nExec="));
  if (at < 0) return entry;
  int end = static_cast<int>(entry.indexOf('\n', at + 1));
  return entry.left(at + 1) + exec + (end < 0 ? QByteArray("\n") : entry.mid(end));
}

/// Runs a database tool when it is installed; a missing tool is no failure
/// (the desktop then reads the files at its next scan).
void runTool(const char* tool, const fs::path& folder) {
  int code = 0;
  platform::runProgram({tool, folder.string()}, &code);
}

}  // namespace

bool categoryTypeRegistered() {
  return QMimeDatabase().mimeTypeForFile("category.vlcat", QMimeDatabase::MatchExtension).name() ==
         QLatin1String(kCategoryMimeType);
}

bool restoreFileLinks(const fs::path& guiProgram, fs::path* failedFile) {
  const fs::path data = platform::dataHomePath();
  if (!writeFile(data / "mime" / "packages" / "vltrx-category.xml", resource("vltrx-category.xml"), failedFile) ||
      !writeFile(data / "applications" / "vltrx-gui.desktop", desktopEntry(guiProgram), failedFile) ||
      !writeFile(data / "icons" / "hicolor" / "scalable" / "apps" / "vltrx.svg", resource("vltrx.svg"), failedFile))
    return false;
  runTool("update-mime-database", data / "mime");
  runTool("update-desktop-database", data / "applications");
  return true;
}

void offerFileLinks(QWidget* parent, const fs::path& guiProgram) {
  if (categoryTypeRegistered()) return;
  if (QMessageBox::question(parent, QString::fromStdString(text(0)), QString::fromStdString(text(31)),
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
    return;
  fs::path failed;
  if (!restoreFileLinks(guiProgram, &failed))
    QMessageBox::critical(parent, QString::fromStdString(text(0)),
                          QString::fromStdString(makeError(ErrorCode::CannotCreateFile, failed.string()).message()));
}

}  // namespace vltrx::gui
