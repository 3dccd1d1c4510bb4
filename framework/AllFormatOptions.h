// The option records of every format, one instance each, and the access by
// format number.
#pragma once

#include <string>
#include <vector>

#include "framework/DxfOptions.h"
#include "framework/FormatOptions.h"
#include "framework/FormatTable.h"
#include "framework/SurveyOptions.h"
#include "framework/TableOptions.h"

namespace vltrx {

class SettingsKey;

struct AllFormatOptions {
  XmlOptions xml;
  EsriOptions esri;
  DxfOptions dxf;
  CsvOptions csv;
  TxtOptions txt;
  GsiOptions gsi;
  RebOptions reb;
  SvgOptions svg;
  DatOptions dat;
  XsltOptions xslt;

  /// Loads every record: defaults first, the registry only when readRegistry.
  void loadAll(const SettingsKey& key, bool readRegistry);
  /// Saves every record; true when all writes succeeded.
  bool saveAll(SettingsKey& key) const;

  /// Record of a format (3..12); nullptr for any other number.
  FormatOptions* find(FormatType type);
  const FormatOptions* find(FormatType type) const;
  /// Record of a format in a direction; nullptr when the format has no such
  /// direction (ESRI export, SVG and DAT import) or is unknown. XSLT plug-ins
  /// share one record.
  FormatOptions* find(FormatType type, FormatDirection direction);

  /// Every record, in format-number order.
  std::vector<FormatOptions*> records();
};

/// The records of the process.
AllFormatOptions& formatOptions();

/// Listing of the options of one format and direction for "-opt:": one line
/// per registry value, "name = current (default: value)". Empty when the
/// format has no such direction.
std::vector<std::string> describeOptions(FormatType type, FormatDirection direction,
                                         const AllFormatOptions& options = formatOptions());

}  // namespace vltrx
