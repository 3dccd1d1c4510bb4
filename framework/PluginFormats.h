// Plug-in formats: XSLT scripts in the filter folders that declare
// themselves in a "<?vltrx" header line and become entries of type 12 in the
// import or export list. This unit finds and reads the scripts; running an
// import recipe or an export stylesheet is the driver's (app/PluginDriver).
#pragma once

#include "framework/FormatTable.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// The four attributes of a plug-in header line.
struct PluginHeader {
  std::string type;     ///< "in-filter..." or "out-filter..."
  std::string name;     ///< display name
  std::string fileExt;  ///< file pattern list, "*.geojson;"
  std::string cmdExt;   ///< command-line id stem
};

/// The value of attribute name on line, cut to limit bytes: the first
/// occurrence not directly preceded by a letter and followed by optional
/// blanks, "=", optional blanks and a value that starts after a quote (or,
/// without one, at a digit, "+" or "-") and ends at the next quote or the end
/// of the line. The entities &lt; &gt; &amp; &quot; &apos; and decimal
/// references "&#65;" are decoded (a reference without ";" is dropped, as is
/// one naming byte 0). nullopt when the line has no such attribute.
std::optional<std::string> pluginAttribute(std::string_view line, std::string_view name, size_t limit);

/// The header of a script: the first line that starts with "<?vltrx" in its
/// first column, read with a 256-byte line buffer (longer lines are cut);
/// nullopt when the file is not a regular file, has no such line, or the
/// line lacks one of the four attributes.
std::optional<PluginHeader> readPluginHeader(const std::filesystem::path& script);

/// The list entry of a script found in a folder of direction; nullopt when
/// the header is missing or its type does not begin with "in-filter"
/// (import) or "out-filter" (export).
std::optional<FileFormat> pluginEntry(const std::filesystem::path& script, FormatDirection direction);

/// Appends the plug-ins of one folder: every regular file whose extension is
/// ".xsl" in any letter case, in name order, with a valid header. A missing
/// folder adds nothing. Returns how many were added.
int scanPluginFolder(FormatList& list, const std::filesystem::path& folder, FormatDirection direction);

/// The filter folders of a direction, in scan order: the system folder
/// ($VLTRX_SYSTEM_FILTERS, else share/vltrx/filters beside the program's
/// bin folder: <program folder>/../share/vltrx/filters) and the user folder
/// ($VLTRX_USER_FILTERS, else $XDG_DATA_HOME/vltrx/filters), each followed by
/// "in-filter" or "out-filter".
std::vector<std::filesystem::path> pluginFolders(FormatDirection direction);

/// Appends the plug-ins of both folders of the direction (the scanner that
/// start-up installs with setPluginScanner); returns how many were added.
int scanPlugins(FormatList& list, FormatDirection direction);

/// The plug-in entries of a list ("-help" lists them).
std::vector<const FileFormat*> pluginEntries(const FormatList& list);

}  // namespace vltrx
