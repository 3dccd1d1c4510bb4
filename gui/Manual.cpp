// Finding the user manual.
#include "gui/Manual.h"

#include "core/MessageTable.h"

#include <string>
#include <system_error>
#include <vector>

namespace vltrx::gui {

namespace fs = std::filesystem;

fs::path findManual(const fs::path& programFolder, const fs::path& sourceDocs) {
  const std::string language = storedLanguageCode(currentLanguage());
  // In each folder the page of the user's language first, the HTML before
  // the Markdown it is made from; English when that language has none.
  const std::string names[] = {"manual-" + language + ".html", "manual-" + language + ".md", "manual.html",
                               "manual.md"};
  std::vector<fs::path> candidates{programFolder / text(4) / text(5)};
  for (const fs::path& folder : {programFolder.parent_path() / "share" / "doc" / "vltrx", sourceDocs}) {
    if (folder.empty()) continue;
    for (const std::string& name : names) candidates.push_back(folder / name);
  }
  for (const fs::path& p : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(p, ec)) return p;
  }
  return {};
}

fs::path sourceDocsFolder() { return VLTRX_SOURCE_DOCS; }

}  // namespace vltrx::gui
