// Reader of spreadsheet tables (".csv", format "CSV"): one point per line,
// consecutive lines grouped into polygons, committed as one new layout.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vltrx {

class LineReader;
class TableCategories;
class Ui;
struct ConversionContext;

/// What the CSV reader needs besides its input.
struct CsvReadSettings {
  char delimiter = ';';          ///< code: 11 = WS, 9 = TAB, else the character
  char decimal = '.';            ///< '.' or ','
  bool pidReduce = false;        ///< point-id reduction
  bool alphaNumIds = false;      ///< alphanumeric point ids
  uint32_t codePage = 0;         ///< code page of the file's texts, 0 = ANSI
  bool acceptDuplicateIds = false;  ///< skip the -907 failure of the final check
};

/// Reads the lines of reader into a new layout named layoutName below parent
/// and returns the layout. Throws CError (and ExitRequest from a cancelled
/// warning or prompt); on any failure the layout is deleted again.
BlockId readCsvLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const CsvReadSettings& settings, TableCategories& categories, Ui& ui);

/// Reads file into a new layout below parent, named after the file without
/// folder and extension. Throws CError -2101 when the file cannot be opened.
BlockId readCsvFile(const std::filesystem::path& file, BlockId parent, const CsvReadSettings& settings,
                    TableCategories& categories, Ui& ui);

/// The reader of the format table: CSV options, input code page and the
/// duplicate-id tolerance from the context, the category list in force.
void readCsv(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
