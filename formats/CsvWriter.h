// Writer of spreadsheet tables (".csv", format "CSV"): a fixed header, then
// one line per point with the polygon columns on each polygon's first point.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <string>

namespace vltrx {

class Sink;
class TableCategories;
class Ui;
struct ConversionContext;

/// What the CSV writer needs besides the layout.
struct CsvWriteSettings {
  char delimiter = ';';       ///< code: 11 = WS (written as one blank), 9 = TAB, else the character
  char decimal = '.';         ///< '.' or ','
  bool alphaNumIds = false;   ///< write the points' id texts
  uint32_t codePage = 0;      ///< code page of the written texts, 0 = ANSI
  std::string pointIdPrefix = "#";  ///< before the number of a point without id text
};

/// Writes layout to sink: the header for the preferred system, then every
/// polygon's points in store order. Throws CError when the sink fails.
void writeCsvLayout(BlockId layout, Sink& sink, const CsvWriteSettings& settings, TableCategories& categories,
                    Ui& ui);

/// The writer of the format table: CSV options, output code page and point-id
/// prefix from the context, the category list in force.
void writeCsv(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
