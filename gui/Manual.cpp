// Finding the user manual.
#include "gui/Manual.h"

#include "core/MessageTable.h"

#include <system_error>

namespace vltrx::gui {

namespace fs = std::filesystem;

fs::path findManual(const fs::path& programFolder, const fs::path& sourceDocs) {
  const std::string translated = std::string("manual-") + storedLanguageCode(currentLanguage()) + ".md";
  const fs::path installed = programFolder.parent_path() / "share" / "doc" / "vltrx";
  const fs::path candidates[] = {
      programFolder / text(4) / text(5),
      installed / translated,
      installed / "manual.md",
      sourceDocs.empty() ? fs::path() : sourceDocs / translated,
      sourceDocs.empty() ? fs::path() : sourceDocs / "manual.md",
  };
  for (const fs::path& p : candidates) {
    std::error_code ec;
    if (!p.empty() && fs::is_regular_file(p, ec)) return p;
  }
  return {};
}

fs::path sourceDocsFolder() { return VLTRX_SOURCE_DOCS; }

}  // namespace vltrx::gui
