// Scale and axis swap: which format side counts, how the command-line
// overrides combine with the records, and the per-point transformation.
#include "framework/ScaleSwap.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "framework/FormatOptions.h"

#include <cmath>

namespace vltrx {

std::optional<AxisOrder> parseSwapOrder(std::string_view order) {
  AxisOrder indices{0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (static_cast<size_t>(i) >= order.size()) return std::nullopt;
    switch (order[static_cast<size_t>(i)]) {
      case 'X': case 'x': indices[0] = i; break;
      case 'Y': case 'y': indices[1] = i; break;
      case 'Z': case 'z': indices[2] = i; break;
      default: return std::nullopt;
    }
  }
  return indices;
}

bool isValidScaleFactor(double factor) { return std::isfinite(factor) && std::fabs(factor) >= 0.000001; }

bool ScaleSwap::isIdentity() const {
  return scale == 1.0 && inIndices == kIdentityOrder && outIndices == kIdentityOrder;
}

void ScaleSwap::apply(double& x, double& y, double& z) const {
  double v[3] = {x * scale, y * scale, z * scale};
  if (inIndices != kIdentityOrder) {
    const double w[3] = {v[inIndices[0]], v[inIndices[1]], v[inIndices[2]]};
    v[0] = w[0], v[1] = w[1], v[2] = w[2];
  }
  if (outIndices != kIdentityOrder) {
    const double w[3] = {v[outIndices[0]], v[outIndices[1]], v[outIndices[2]]};
    v[0] = w[0], v[1] = w[1], v[2] = w[2];
  }
  x = v[0], y = v[1], z = v[2];
}

bool honoursInputSide(FormatType type) {
  const FormatCard* c = formatCard(type);
  return c && c->scaleSwapIn;
}

bool honoursOutputSide(FormatType type) {
  const FormatCard* c = formatCard(type);
  return c && c->scaleSwapOut;
}

ScaleSwap combineScaleSwap(FormatType inType, const FormatOptions* inOptions, FormatType outType,
                           const FormatOptions* outOptions, double scaleOverride,
                           std::optional<std::string_view> swapOverride) {
  ScaleSwap t;
  double inScale = 1.0, outScale = 1.0;
  if (inOptions && honoursInputSide(inType)) {
    inScale = inOptions->inScaleFactor;
    if (inOptions->inSwap) t.inOrder = inOptions->inSwapOrder;
  }
  if (outOptions && honoursOutputSide(outType)) {
    outScale = outOptions->outScaleFactor;
    if (outOptions->outSwap) t.outOrder = outOptions->outSwapOrder;
  }
  if (scaleOverride != 0) {
    t.scale = scaleOverride;
  } else {
    t.scale = inScale * outScale;
    if (!isValidScaleFactor(inScale) || !isValidScaleFactor(outScale) || !std::isfinite(t.scale))
      throw makeError(ErrorCode::InvalidScaleFactor);
  }
  if (swapOverride) {
    t.outOrder = std::string(*swapOverride);
    t.inOrder = "XYZ";
  }
  // An order that does not parse leaves the coordinates in their order.
  t.inIndices = parseSwapOrder(t.inOrder).value_or(kIdentityOrder);
  t.outIndices = parseSwapOrder(t.outOrder).value_or(kIdentityOrder);
  return t;
}

void applyScaleSwap(const ScaleSwap& transform, std::span<Xyz> points) {
  for (Xyz& p : points) transform.apply(p.x, p.y, p.z);
}

int applyScaleSwapToLayout(const ScaleSwap& transform, BlockId layout) {
  MFolder* folder = mFolder(layout);
  if (!folder) return static_cast<int>(ErrorCode::InvalidBlockId);
  if (transform.isIdentity()) return 0;
  // Scale and axis order are linear, so transforming the offsets along with
  // the stored coordinates transforms their sum, the evaluated coordinate.
  double ox = folder->xOffset, oy = folder->yOffset, oz = folder->zOffset;
  transform.apply(ox, oy, oz);
  folder->xOffset = ox, folder->yOffset = oy, folder->zOffset = oz;

  const uint32_t n = pointCount(layout);
  MPoint* p = points(layout);
  for (uint32_t i = 0; i < n; ++i) {
    double x = p[i].x, y = p[i].y, z = p[i].z;  // packed record: no references
    transform.apply(x, y, z);
    p[i].x = x, p[i].y = y, p[i].z = z;
  }
  return 0;
}

int applyScaleSwapToTree(const ScaleSwap& transform, BlockId node) {
  if (isLayout(node)) return applyScaleSwapToLayout(transform, node);
  return visit(node, [&transform](BlockId id, int phase) {
    if (phase != 0) return 1;
    const int rc = applyScaleSwapToLayout(transform, id);
    return rc < 0 ? rc : 1;
  });
}

}  // namespace vltrx
