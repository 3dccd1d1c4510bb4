// The table of formats, one card per format, and the import and export
// lists built from it: format numbers, command-line ids, file filters and
// display texts, their lookup and their publication in the settings store
// for other programs.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

class SettingsKey;
struct AllFormatOptions;
struct FormatOptions;

/// Number that names a format throughout the program.
using FormatType = int32_t;
inline constexpr FormatType kFormatNone = 0;
inline constexpr FormatType kFormatXml = 3;
inline constexpr FormatType kFormatEsri = 4;
inline constexpr FormatType kFormatDxf = 5;
inline constexpr FormatType kFormatCsv = 6;
inline constexpr FormatType kFormatTxt = 7;
inline constexpr FormatType kFormatGsi = 8;
inline constexpr FormatType kFormatReb = 9;
inline constexpr FormatType kFormatSvg = 10;
inline constexpr FormatType kFormatDat = 11;
inline constexpr FormatType kFormatXslt = 12;
inline constexpr FormatType kFormatAll = 13;  ///< selects option keys of every format

enum class FormatDirection : bool { Export = false, Import = true };

/// What an option file saves of a format in one direction: every value whose
/// name begins with the prefix, and the names listed (older value names).
struct OptionFileKeys {
  const char* prefix = nullptr;  ///< nullptr: none
  std::span<const char* const> names;
};

/// Everything the program knows about one format, in one row of the format
/// table; the import and export lists, key prefixes, option records, help
/// texts, scale and swap sides, the driver's offset and duplicate-id rules
/// and the option-file filter are all read from these rows. The reader and
/// writer functions sit in the driver's table above this layer, one row per
/// card in the same order.
struct FormatCard {
  FormatType type = kFormatNone;
  /// Id stem of the built-in list entries: "xml_" gives xml_in and xml_out.
  /// nullptr for a format without a built-in entry (XSLT plug-ins).
  const char* stem = nullptr;
  const char* filter = nullptr;   ///< "*.xml;*.vlxml;"
  int descriptionText = -1;       ///< text id of the display text
  bool import = false;            ///< an import entry, and an import side of the option record
  bool exportable = false;        ///< an export entry, and an export side of the option record
  bool hidden = false;            ///< left out of the published list and the dialog's combo box
  const char* keyPrefix = "";     ///< prefix of the option values: "XML", "DXF", ...
  int helpText = -1;              ///< text id of -help:<format>
  int moreHelpText = -1;          ///< text id appended to helpText, -1: none
  /// The format's option record among all records.
  FormatOptions& (*options)(AllFormatOptions&) = nullptr;
  bool scaleSwapIn = false;       ///< the common scale and swap count on the import side
  bool scaleSwapOut = false;      ///< ... and on the export side
  /// As output format: it takes the layout offsets as they are, so the
  /// native XML reader keeps them instead of adding them to the points.
  bool keepsOffsets = false;
  /// As output format: it tolerates duplicate point numbers, so readers skip
  /// the failure of the final number check.
  bool toleratesDuplicateIds = false;
  OptionFileKeys inKeys;          ///< option-file filter, import direction
  OptionFileKeys outKeys;         ///< option-file filter, export direction
};

/// Every card; the order is the order of the built-in list entries.
std::span<const FormatCard> formatCards();
/// The card of a format number, nullptr when there is none.
const FormatCard* formatCard(FormatType type);

/// One entry of a format list.
struct FileFormat {
  bool direction = true;     ///< true in the import list
  bool hidden = false;       ///< left out of the published list and the dialog's combo box
  FormatType type = kFormatNone;
  std::string scriptPath;    ///< plug-in .xsl file; empty for built-in formats
  std::string id;            ///< command-line id, "xml_in", "csv_out", ...
  std::string description;   ///< display text in the current language
  std::string filter;        ///< "*.xml;*.vlxml;"
};
using FormatList = std::vector<FileFormat>;

/// The process-wide lists.
FormatList& importFormats();
FormatList& exportFormats();
FormatList& formatList(FormatDirection direction);

/// Appends the built-in entries of a direction in table order (descriptions
/// in the current language).
void appendBuiltInFormats(FormatList& list, FormatDirection direction);

/// Appends plug-in formats to a list; returns how many were added.
using PluginScanner = std::function<int(FormatList& list, FormatDirection direction)>;
/// Installs the plug-in scanner that buildFormatList calls; an empty one
/// (the default) adds nothing.
void setPluginScanner(PluginScanner scanner);

/// Clears the process-wide list of a direction, appends the built-in entries
/// and then the plug-ins; returns the number of plug-ins added.
int buildFormatList(FormatDirection direction);

/// Published text of a list: for every entry that is not hidden, in list
/// order, "D" + description + "|F" + filter + "|C" + id, entries joined by "|".
std::string publishedFormatsText(const FormatList& list);

/// Writes "ImportFileFormats" or "ExportFileFormats" with the text of the
/// process-wide list of that direction; true when the write succeeded.
bool publishFormatList(SettingsKey& key, FormatDirection direction);

/// Name of the published value of a direction.
std::string_view publishedValueName(FormatDirection direction);

/// First entry, in list order, whose id contains the lower-cased key.
const FileFormat* findFormat(const FormatList& list, std::string_view key);
/// Entry of a command-line name ("csv", "csv_in"): "_in" or "_out" is
/// appended unless the name ends with it; nullptr when no entry matches or
/// the name is empty.
const FileFormat* findFormatByName(const FormatList& list, std::string_view name, FormatDirection direction);
/// First entry, in list order, whose filter contains the lower-cased
/// extension (with its dot: ".csv").
const FileFormat* findFormatByExtension(const FormatList& list, std::string_view extension);

/// Format of a command-line name ("csv", "csv_in"): "_in" or "_out" is
/// appended unless the name ends with it; 0 when no entry matches or the
/// name is empty.
FormatType formatTypeFromName(const FormatList& list, std::string_view name, FormatDirection direction);
/// As above on the process-wide list of the direction.
FormatType formatTypeFromName(std::string_view name, FormatDirection direction);

/// Filter up to the first ";" without "." and "*": "*.xml;*.vlxml;" gives "xml".
std::string firstExtension(const FileFormat& format);
/// Id up to the first "_": "xml_in" gives "xml".
std::string shortId(const FileFormat& format);
/// "XML", "ESRI", "DXF", "CSV", "TXT", "GSI", "REB", "SVG", "DAT", "XSLT";
/// empty for any other number.
std::string_view keyPrefix(FormatType type);

}  // namespace vltrx
