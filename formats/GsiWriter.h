// Writer of total-station GSI files (".gsi", format "GSI"): one GSI-16
// block per point with point number, comment and coordinates in
// millimetres, near-duplicates left out, ordered by point id.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <string>

namespace vltrx {

class Sink;
class Ui;
struct ConversionContext;

/// What the GSI writer needs besides the layout.
struct GsiWriteSettings {
  bool alphaNumIds = false;         ///< write the points' id texts
  uint32_t codePage = 0;            ///< code page of the written texts, 0 = ANSI
  std::string pointIdPrefix = "#";  ///< before the number of a point without id text
};

/// Writes the points of layout to sink. Throws CError -701 naming the
/// coordinate when one does not fit the 16 digits of a word (1e13 m and
/// more), and CError when the sink fails.
void writeGsiLayout(BlockId layout, Sink& sink, const GsiWriteSettings& settings, Ui& ui);

/// The writer of the format table: the alphanumeric-id option, output code
/// page and point-id prefix from the context.
void writeGsi(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
