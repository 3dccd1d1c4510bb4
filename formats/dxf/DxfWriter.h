// Writer of ASCII DXF drawings, release R12 ("AC1009"): header, tables with
// one layer per category, and the entities of one layout (POINT, POLYLINE,
// LINE, 3DFACE, TEXT).
#pragma once

#include "core/BlockStore.h"
#include "core/CategoryEntry.h"

#include <cstdint>
#include <span>
#include <string>

namespace vltrx {

class Sink;
class Ui;
struct ConversionContext;
struct DxfOptions;

/// What the DXF writer needs besides the layout and the DXF options.
struct DxfWriteSettings {
  uint32_t codePage = 0;            ///< code page of the written texts, 0 = ANSI (no $DWGCODEPAGE)
  bool alphaNumIds = false;         ///< point-id texts show the points' id texts
  std::string pointIdPrefix = "#";  ///< before the number of a point without id text
  std::string originalLayer = "Original Layer";  ///< the localized layer name meaning "the element's own"
};

/// The DXF colour number (1..255) nearest to an RGB colour: 1 + the index of
/// the entry of the standard 255-colour palette at the least RGB distance.
int nearestDxfColour(uint8_t red, uint8_t green, uint8_t blue);

/// Writes layout as DXF R12 to sink, with one layer per category of
/// categories (a category list, flattened in pre-order) that the layout
/// uses. Throws CError when the sink fails.
void writeDxfLayout(BlockId layout, Sink& sink, const DxfOptions& options, const DxfWriteSettings& settings,
                    std::span<const CategoryEntry> categories, Ui& ui);

/// The writer of the format table: DXF options, output code page and
/// point-id prefix from the context, the category list in force.
void writeDxf(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
