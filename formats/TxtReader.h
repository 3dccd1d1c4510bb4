// Reader of text tables with a user field layout (".txt", format "TXT"):
// one point per line, the columns named by a layout string such as "#XYZ",
// committed as one new layout of single points.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vltrx {

class LineReader;
class TableCategories;
class Ui;
struct ConversionContext;

/// What the TXT reader needs besides its input.
struct TxtReadSettings {
  char delimiter = 11;           ///< code: 11 = WS, 9 = TAB, else the character
  char decimal = '.';            ///< '.' or ','
  std::string layout = "#XYZ";   ///< column letters "#XYZNEIPK", either case
  bool pidReduce = false;        ///< point-id reduction
  bool alphaNumIds = false;      ///< alphanumeric point ids
  uint32_t codePage = 0;         ///< code page of the file's texts, 0 = ANSI
  bool acceptDuplicateIds = false;  ///< skip the -907 failure of the final check
};

/// Columns of a layout string: the index of each role's field, or -1 when
/// the layout has no such letter. A letter given twice takes its last place.
struct TxtColumns {
  int id = -1, x = -1, y = -1, z = -1, pointCategory = -1, polygonCategory = -1;
  /// Fields a line needs to be split into to reach every role.
  size_t fieldCount = 0;
};

/// The column map of layout (either case; letters without a role, "I" and
/// on output "C", only take their place).
TxtColumns txtColumns(std::string_view layout);

/// Reads the lines of reader into a new layout named layoutName below parent
/// and returns it. Throws CError -2110 for a layout that is not valid for
/// input, the point-id errors of the table formats, -701 with the
/// coordinate and line for a number beyond the range of a double (and
/// ExitRequest from a cancelled warning or prompt); on any failure the
/// layout is deleted again.
BlockId readTxtLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const TxtReadSettings& settings, TableCategories& categories, Ui& ui);

/// Reads file into a new layout below parent, named after the file without
/// folder and extension. Throws CError -2101 when the file cannot be opened.
BlockId readTxtFile(const std::filesystem::path& file, BlockId parent, const TxtReadSettings& settings,
                    TableCategories& categories, Ui& ui);

/// The reader of the format table: TXT options, input code page and the
/// duplicate-id tolerance from the context, the category list in force.
void readTxt(const std::filesystem::path& file, BlockId parent, ConversionContext& context);

}  // namespace vltrx
