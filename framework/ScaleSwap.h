// The common scale and axis-swap options applied to the points of a layout
// between reading and writing.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/BlockStore.h"
#include "framework/FormatTable.h"

namespace vltrx {

struct FormatOptions;

/// Source index of x, y and z: the point becomes (v[ix], v[iy], v[iz]).
using AxisOrder = std::array<int, 3>;
inline constexpr AxisOrder kIdentityOrder{0, 1, 2};

/// Parses a swap order letter by letter ("YXZ": x from position 1, y from
/// 0, z from 2); X/x, Y/y, Z/z only. An axis whose
/// letter does not occur keeps index 0. Only the first three characters
/// count; nullopt when one of them is missing or not an axis letter.
std::optional<AxisOrder> parseSwapOrder(std::string_view order);

/// The effective transformation of one conversion.
struct ScaleSwap {
  double scale = 1.0;
  std::string inOrder = "XYZ";
  std::string outOrder = "XYZ";
  AxisOrder inIndices = kIdentityOrder;   ///< identity when inOrder fails to parse
  AxisOrder outIndices = kIdentityOrder;

  bool isIdentity() const;
  /// Scales and reorders one point.
  void apply(double& x, double& y, double& z) const;
};

/// Whether the common options of a format count on the import side.
bool honoursInputSide(FormatType type);
/// Whether the common options of a format count on the export side.
bool honoursOutputSide(FormatType type);

/// Whether a scale factor is one the command line's -scale: accepts: a
/// finite number whose absolute value is at least 0.000001.
bool isValidScaleFactor(double factor);

/// Combines the input record's import side and the output record's export
/// side (either may be null). scaleOverride other than 0 replaces the product
/// of the scales; a swapOverride becomes the output order and makes the input
/// order "XYZ". A stored scale factor that is used and that -scale: would
/// refuse (or a product of two that is not finite) throws CError -2104, as
/// the same value on the command line does: a factor of 0, 1e-300 or 1e400
/// from an option file would otherwise turn every coordinate into 0 or NaN.
ScaleSwap combineScaleSwap(FormatType inType, const FormatOptions* inOptions, FormatType outType,
                           const FormatOptions* outOptions, double scaleOverride = 0,
                           std::optional<std::string_view> swapOverride = std::nullopt);

/// A point as x, y, z.
struct Xyz {
  double x = 0, y = 0, z = 0;
};

/// Applies the transformation to every point, in order.
void applyScaleSwap(const ScaleSwap& transform, std::span<Xyz> points);

/// Applies the transformation to every point of a layout in storage order,
/// and to the layout's offsets, so that offset plus point transforms as one
/// coordinate. 0, or -613 when layout names no layout.
int applyScaleSwapToLayout(const ScaleSwap& transform, BlockId layout);

/// Applies the transformation to every layout below node (a folder or a
/// layout). 0, or -613 for an unknown node.
int applyScaleSwapToTree(const ScaleSwap& transform, BlockId node);

}  // namespace vltrx
