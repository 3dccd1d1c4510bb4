// Writer of text tables with a user field layout (".txt", format "TXT"):
// one line per point in the columns of a layout string such as "#XYZ",
// exact duplicates left out, ordered by point id.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <string>

namespace vltrx {

class Sink;
class TableCategories;
class Ui;
struct ConversionContext;

/// What the TXT writer needs besides the layout.
struct TxtWriteSettings {
  char delimiter = 9;            ///< code: 11 = WS (written as one blank), 9 = TAB, else the character
  char decimal = '.';            ///< '.' or ','
  std::string layout = "#XYZ";   ///< column letters "#XYZNEICPK", either case
  bool alphaNumIds = false;      ///< write the points' id texts
  uint32_t codePage = 0;         ///< code page of the written texts, 0 = ANSI
  std::string pointIdPrefix = "#";  ///< before the number of a point without id text
};

/// Writes the points of layout to sink. Throws CError -2110 for a layout
/// that is not valid for output, and CError when the sink fails.
void writeTxtLayout(BlockId layout, Sink& sink, const TxtWriteSettings& settings, TableCategories& categories,
                    Ui& ui);

/// The writer of the format table: TXT options, output code page and point-id
/// prefix from the context, the category list in force.
void writeTxt(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
