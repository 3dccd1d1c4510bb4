// Writer of REB files (".reb", format "REB"): DA30 point records with
// comment, DA45 short point records and DA49 line records, in that order,
// tagged with one horizon id (KZ).
#pragma once

#include "core/BlockStore.h"

#include <cstdint>
#include <string>

namespace vltrx {

class Sink;
class Ui;
struct ConversionContext;

/// What the REB writer needs besides the layout.
struct RebWriteSettings {
  uint32_t kinds = 1;         ///< bit set of RebRecordKind (1 = DA30, 2 = DA45, 4 = DA49)
  int kz = 10;                ///< horizon id, 10..89
  bool alphaNumIds = false;   ///< write the points' id texts
  uint32_t codePage = 0;      ///< code page of the written texts, 0 = ANSI
  std::string pointIdPrefix = "#";  ///< before the number of a point without id text
};

/// Writes layout to sink: the DA30, DA45 and DA49 sections that settings
/// selects. Throws CError when the sink fails.
void writeRebLayout(BlockId layout, Sink& sink, const RebWriteSettings& settings, Ui& ui);

/// The writer of the format table: REB options, output code page and point-id
/// prefix from the context.
void writeReb(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
