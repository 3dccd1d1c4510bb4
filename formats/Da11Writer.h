// Writer of REB DA11 coordinate files (".dat", ".d11", format "DAT", output
// only): the polygons whose comment carries an order number "OZ=", two 2-D
// points per 80-column record, in millimetres within a 1000 m window.
#pragma once

#include "core/BlockStore.h"

#include <cstdint>

namespace vltrx {

class Sink;
class Ui;
struct ConversionContext;

/// Writes layout to sink. Throws CError -2201 when the layout spans 1000 m
/// or more in x or y, -2202 for a polygon with crossing edges, -2203 with the
/// comment for an OZ that is not eight digits, -2204 when no polygon carries
/// an OZ, or the sink's error.
void writeDa11Layout(BlockId layout, Sink& sink, uint32_t codePage, Ui& ui);

/// The writer of the format table (output code page from the context).
void writeDa11(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
