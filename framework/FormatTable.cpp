// Built-in format entries, lookup by id and extension, and the published
// "ImportFileFormats" / "ExportFileFormats" values.
#include "framework/FormatTable.h"

#include <utility>

#include "core/MessageTable.h"
#include "framework/SettingsKey.h"

namespace vltrx {
namespace {

struct BuiltInFormat {
  const char* stem;
  FormatType type;
  const char* filter;
  int descriptionText;
  bool import;
  bool exportable;
  bool hidden;
};

// The table order is the lookup order: "ml_in" finds XML before anything else.
constexpr BuiltInFormat kBuiltIns[] = {
    {"xml_", kFormatXml, "*.xml;*.vlxml;", 132, true, true, false},
    {"dxf_", kFormatDxf, "*.dxf;", 134, true, true, false},
    {"grid_", kFormatEsri, "*.grid;", 133, true, false, false},
    {"csv_", kFormatCsv, "*.csv;", 135, true, true, false},
    {"txt_", kFormatTxt, "*.txt;", 136, true, true, false},
    {"gsi_", kFormatGsi, "*.gsi;", 137, true, true, false},
    {"reb_", kFormatReb, "*.reb;", 139, true, true, false},
    {"dat_", kFormatDat, "*.dat;*.d11;", 138, false, true, false},
    {"svg_", kFormatSvg, "*.svg;", 140, false, true, true},
};

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

void appendBuiltInFormats(FormatList& list, FormatDirection direction) {
  const bool import = direction == FormatDirection::Import;
  for (const BuiltInFormat& b : kBuiltIns) {
    if (import ? !b.import : !b.exportable) continue;
    FileFormat f;
    f.direction = import;
    f.hidden = b.hidden;
    f.type = b.type;
    f.id = std::string(b.stem) + (import ? "in" : "out");
    f.description = text(b.descriptionText);
    f.filter = b.filter;
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

FormatType formatTypeFromName(const FormatList& list, std::string_view name, FormatDirection direction) {
  // An empty name would become "_in" and match the first entry of the list.
  if (name.empty()) return kFormatNone;
  const std::string_view suffix = direction == FormatDirection::Import ? "_in" : "_out";
  std::string key(name);
  if (!key.ends_with(suffix)) key += suffix;
  const FileFormat* f = findFormat(list, key);
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
  switch (type) {
    case kFormatXml: return "XML";
    case kFormatEsri: return "ESRI";
    case kFormatDxf: return "DXF";
    case kFormatCsv: return "CSV";
    case kFormatTxt: return "TXT";
    case kFormatGsi: return "GSI";
    case kFormatReb: return "REB";
    case kFormatSvg: return "SVG";
    case kFormatDat: return "DAT";
    case kFormatXslt: return "XSLT";
    default: return {};
  }
}

}  // namespace vltrx
