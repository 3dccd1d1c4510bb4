// The process-wide option records and the option listing of "-opt:".
#include "framework/AllFormatOptions.h"

#include "framework/SettingsKey.h"

namespace vltrx {

std::vector<FormatOptions*> AllFormatOptions::records() {
  return {&xml, &esri, &dxf, &csv, &txt, &gsi, &reb, &svg, &dat, &xslt};
}

void AllFormatOptions::loadAll(const SettingsKey& key, bool readRegistry) {
  for (FormatOptions* r : records()) r->load(key, readRegistry);
}

bool AllFormatOptions::saveAll(SettingsKey& key) const {
  bool ok = true;
  for (FormatOptions* r : const_cast<AllFormatOptions*>(this)->records()) ok = r->save(key) && ok;
  return ok;
}

FormatOptions* AllFormatOptions::find(FormatType type) {
  switch (type) {
    case kFormatXml: return &xml;
    case kFormatEsri: return &esri;
    case kFormatDxf: return &dxf;
    case kFormatCsv: return &csv;
    case kFormatTxt: return &txt;
    case kFormatGsi: return &gsi;
    case kFormatReb: return &reb;
    case kFormatSvg: return &svg;
    case kFormatDat: return &dat;
    case kFormatXslt: return &xslt;
    default: return nullptr;
  }
}

const FormatOptions* AllFormatOptions::find(FormatType type) const {
  return const_cast<AllFormatOptions*>(this)->find(type);
}

FormatOptions* AllFormatOptions::find(FormatType type, FormatDirection direction) {
  const bool import = direction == FormatDirection::Import;
  if (import && (type == kFormatSvg || type == kFormatDat)) return nullptr;
  if (!import && type == kFormatEsri) return nullptr;
  return find(type);
}

AllFormatOptions& formatOptions() {
  static AllFormatOptions options;
  return options;
}

std::vector<std::string> describeOptions(FormatType type, FormatDirection direction,
                                         const AllFormatOptions& options) {
  std::vector<std::string> lines;
  auto& current = const_cast<AllFormatOptions&>(options);
  AllFormatOptions defaults;
  FormatOptions* record = current.find(type, direction);
  FormatOptions* defaultRecord = defaults.find(type, direction);
  if (!record || !defaultRecord) return lines;

  OptionBindings now, def;
  record->bind(now);
  defaultRecord->bind(def);
  const bool import = direction == FormatDirection::Import;
  for (size_t i = 0; i < now.size() && i < def.size(); ++i) {
    if (now[i].input != import) continue;
    lines.push_back(now[i].name + " = " + bindingValueText(now[i]) + " (default: " + bindingValueText(def[i]) +
                    ")");
  }
  return lines;
}

}  // namespace vltrx
