// Writer of scalable vector graphics (".svg", format "SVG", export only):
// one group per category in its colour, polygons and polylines, point
// symbols and labels, SVG 1.1 in ISO-8859-1 with CR LF line ends.
#pragma once

#include "core/BlockStore.h"
#include "core/CategoryEntry.h"

#include <span>

namespace vltrx {

class Sink;
class Ui;
struct ConversionContext;
struct SvgOptions;

/// Largest distance from the best plane (metres) at which a closed polygon
/// on a planar category still counts as planar and is filled.
inline constexpr double kSvgPlanarTolerance = 0.01;

/// Writes layout as SVG to sink, with one group per category of categories
/// (a category list, flattened in pre-order) that the layout uses. Throws
/// CError when the sink fails.
void writeSvgLayout(BlockId layout, Sink& sink, const SvgOptions& options, std::span<const CategoryEntry> categories,
                    Ui& ui);

/// The writer of the format table: SVG options, the category list in force.
void writeSvg(BlockId layout, Sink& sink, ConversionContext& context);

}  // namespace vltrx
