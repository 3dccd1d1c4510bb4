// The format cards, the built-in list entries made from them, lookup by id
// and extension, and the published "ImportFileFormats" / "ExportFileFormats"
// values.
#include "framework/FormatTable.h"

#include <utility>

#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/SettingsKey.h"

namespace vltrx {
namespace {

// Option-file names of the formats that kept older value names beside their
// prefixed ones.
constexpr const char* kXmlInNames[] = {"XML_InScaleFactor"};
constexpr const char* kXmlOutNames[] = {"XML_OutScaleFactor"};
constexpr const char* kDxfInNames[] = {
    "DXF_Approx", "DXF_Epsilon", "DXF_PID_Import", "DXF_PID_ImportSource", "DXF_PID_ImportEpsilon",
    "DXF_PID_BlockAttribute", "DXF_PID_BlockTextNumber", "DXF_PID_ImportLayer", "DXF_PID_LineNumber",
    "DXF_ImportAllLayers", "DXF_ImportAllLayersWithoutAssignment", "DXF_ImportBlocks",
    "DXF_ImportBlocksAnchorPoints", "DXF_CPMethod", "DXF_CPFactor"};
constexpr const char* kDxfOutNames[] = {
    "DXF_PDMODE", "DXF_PDSIZE", "DXF_Coord", "DXF_Coord_Layer", "DXF_Coord_Orientation",
    "DXF_Coord_OrigLayer", "DXF_CoordFormat", "DXF_CoordHeight", "DXF_Text", "DXF_Text_ForceHeight",
    "DXF_TextHeight", "DXF_Comment", "DXF_Comment_Height", "DXF_Comment_Layer",
    "DXF_Comment_Orientation", "DXF_Comment_OrgLayer", "DXF_PID", "DXF_PID_Layer", "DXF_PID_OrgLayer",
    "DXF_PID_Orientation", "DXF_PIDHeight"};
constexpr const char* kGsiInNames[] = {"GSI_InScaleFactor"};
constexpr const char* kGsiOutNames[] = {"GSI_OutScaleFactor"};
constexpr const char* kRebInNames[] = {"REB_InScaleFactor"};
constexpr const char* kRebOutNames[] = {"REB_OutType"};
constexpr const char* kDatOutNames[] = {"DAT_OutScaleFactor"};

// The cards. The order is the lookup order of the lists: "ml_in" finds XML
// before anything else. ESRI input and SVG and DAT output apply their own
// scale and swap; SVG's import side counts although it has no reader, as
// does DAT's. A row names only what differs from the defaults of
// FormatCard; g++ 12 warns about every member a designated initializer
// leaves to its default, so that warning is off for the table.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
const FormatCard kCards[] = {
    {.type = kFormatXml, .stem = "xml_", .filter = "*.xml;*.vlxml;", .descriptionText = 132,
     .import = true, .exportable = true, .keyPrefix = "XML", .helpText = 25,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.xml; },
     .scaleSwapIn = true, .scaleSwapOut = true,
     .inKeys = {"XML_In_", kXmlInNames}, .outKeys = {"XML_Out_", kXmlOutNames}},
    {.type = kFormatDxf, .stem = "dxf_", .filter = "*.dxf;", .descriptionText = 134,
     .import = true, .exportable = true, .keyPrefix = "DXF", .helpText = 19, .moreHelpText = 20,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.dxf; },
     .scaleSwapIn = true, .scaleSwapOut = true, .keepsOffsets = true, .toleratesDuplicateIds = true,
     .inKeys = {"DXF_In_", kDxfInNames}, .outKeys = {"DXF_Out_", kDxfOutNames}},
    {.type = kFormatEsri, .stem = "grid_", .filter = "*.grid;*.asc;", .descriptionText = 133,
     .import = true, .keyPrefix = "ESRI", .helpText = 30,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.esri; },
     .inKeys = {"ESRI_In_"}},
    {.type = kFormatCsv, .stem = "csv_", .filter = "*.csv;", .descriptionText = 135,
     .import = true, .exportable = true, .keyPrefix = "CSV", .helpText = 21,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.csv; },
     .scaleSwapIn = true, .scaleSwapOut = true, .toleratesDuplicateIds = true,
     .inKeys = {"CSV_In_"}, .outKeys = {"CSV_Out_"}},
    {.type = kFormatTxt, .stem = "txt_", .filter = "*.txt;", .descriptionText = 136,
     .import = true, .exportable = true, .keyPrefix = "TXT", .helpText = 22,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.txt; },
     .scaleSwapIn = true, .scaleSwapOut = true, .toleratesDuplicateIds = true,
     .inKeys = {"TXT_In_"}, .outKeys = {"TXT_Out_"}},
    {.type = kFormatGsi, .stem = "gsi_", .filter = "*.gsi;", .descriptionText = 137,
     .import = true, .exportable = true, .keyPrefix = "GSI", .helpText = 24,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.gsi; },
     .scaleSwapIn = true, .scaleSwapOut = true,
     .inKeys = {"GSI_In_", kGsiInNames}, .outKeys = {"GSI_Out_", kGsiOutNames}},
    {.type = kFormatReb, .stem = "reb_", .filter = "*.reb;", .descriptionText = 139,
     .import = true, .exportable = true, .keyPrefix = "REB", .helpText = 27,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.reb; },
     .scaleSwapIn = true, .scaleSwapOut = true,
     .inKeys = {"REB_In_", kRebInNames}, .outKeys = {"REB_Out_", kRebOutNames}},
    {.type = kFormatDat, .stem = "dat_", .filter = "*.dat;*.d11;", .descriptionText = 138,
     .exportable = true, .keyPrefix = "DAT", .helpText = 26,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.dat; },
     .scaleSwapIn = true,
     .outKeys = {"DAT_Out_", kDatOutNames}},
    // SVG keeps nothing in the registry, so option files carry none of it.
    {.type = kFormatSvg, .stem = "svg_", .filter = "*.svg;", .descriptionText = 140,
     .exportable = true, .hidden = true, .keyPrefix = "SVG", .helpText = 28,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.svg; },
     .scaleSwapIn = true, .keepsOffsets = true, .toleratesDuplicateIds = true},
    // Plug-in formats bring their list entries from their scripts and share
    // one option record.
    {.type = kFormatXslt, .import = true, .exportable = true, .keyPrefix = "XSLT", .helpText = 29,
     .options = [](AllFormatOptions& o) -> FormatOptions& { return o.xslt; },
     .scaleSwapIn = true, .scaleSwapOut = true,
     .inKeys = {"XSLT_In_"}, .outKeys = {"XSLT_Out_"}},
};
#pragma GCC diagnostic pop

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

PluginScanner& pluginScanner() {
  static PluginScanner scanner;
  return scanner;
}

}  // namespace

FormatList& importFormats() {
  static FormatList list;
  return list;
}

FormatList& exportFormats() {
  static FormatList list;
  return list;
}

FormatList& formatList(FormatDirection direction) {
  return direction == FormatDirection::Import ? importFormats() : exportFormats();
}

std::span<const FormatCard> formatCards() { return kCards; }

const FormatCard* formatCard(FormatType type) {
  for (const FormatCard& c : kCards)
    if (c.type == type) return &c;
  return nullptr;
}

void appendBuiltInFormats(FormatList& list, FormatDirection direction) {
  const bool import = direction == FormatDirection::Import;
  for (const FormatCard& c : kCards) {
    if (!c.stem || (import ? !c.import : !c.exportable)) continue;
    FileFormat f;
    f.direction = import;
    f.hidden = c.hidden;
    f.type = c.type;
    f.id = std::string(c.stem) + (import ? "in" : "out");
    f.description = text(c.descriptionText);
    f.filter = c.filter;
    list.push_back(std::move(f));
  }
}

void setPluginScanner(PluginScanner scanner) { pluginScanner() = std::move(scanner); }

int buildFormatList(FormatDirection direction) {
  FormatList& list = formatList(direction);
  list.clear();
  appendBuiltInFormats(list, direction);
  const PluginScanner& scan = pluginScanner();
  return scan ? scan(list, direction) : 0;
}

std::string publishedFormatsText(const FormatList& list) {
  std::string out;
  bool first = true;
  for (const FileFormat& f : list) {
    if (f.hidden) continue;
    if (!first) out += '|';
    first = false;
    out += 'D';
    out += f.description;
    out += "|F";
    out += f.filter;
    out += "|C";
    out += f.id;
  }
  return out;
}

std::string_view publishedValueName(FormatDirection direction) {
  return direction == FormatDirection::Import ? "ImportFileFormats" : "ExportFileFormats";
}

bool publishFormatList(SettingsKey& key, FormatDirection direction) {
  return key.writeString(publishedValueName(direction), publishedFormatsText(formatList(direction)));
}

const FileFormat* findFormat(const FormatList& list, std::string_view key) {
  const std::string needle = lowerAscii(key);
  for (const FileFormat& f : list)
    if (f.id.find(needle) != std::string::npos) return &f;
  return nullptr;
}

const FileFormat* findFormatByExtension(const FormatList& list, std::string_view extension) {
  const std::string needle = lowerAscii(extension);
  for (const FileFormat& f : list)
    if (f.filter.find(needle) != std::string::npos) return &f;
  return nullptr;
}

const FileFormat* findFormatByName(const FormatList& list, std::string_view name, FormatDirection direction) {
  // An empty name would become "_in" and match the first entry of the list.
  if (name.empty()) return nullptr;
  const std::string_view suffix = direction == FormatDirection::Import ? "_in" : "_out";
  std::string key(name);
  if (!key.ends_with(suffix)) key += suffix;
  return findFormat(list, key);
}

FormatType formatTypeFromName(const FormatList& list, std::string_view name, FormatDirection direction) {
  const FileFormat* f = findFormatByName(list, name, direction);
  return f ? f->type : kFormatNone;
}

FormatType formatTypeFromName(std::string_view name, FormatDirection direction) {
  return formatTypeFromName(formatList(direction), name, direction);
}

std::string firstExtension(const FileFormat& format) {
  std::string out;
  for (char c : format.filter) {
    if (c == ';') break;
    if (c != '.' && c != '*') out += c;
  }
  return out;
}

std::string shortId(const FileFormat& format) { return format.id.substr(0, format.id.find('_')); }

std::string_view keyPrefix(FormatType type) {
  const FormatCard* c = formatCard(type);
  return c ? c->keyPrefix : std::string_view{};
}

}  // namespace vltrx
