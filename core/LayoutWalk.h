// The walk of the writers over a layout: its polygons in store order and
// each polygon's points, with the layout's offsets added or left out.
#pragma once

#include "core/BlockStore.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"

#include <cstdint>

namespace vltrx {

/// Whether the walk adds the layout's x, y and z offsets to the points.
enum class LayoutOffsets { Apply, Leave };

/// One point of the walk.
struct WalkedPoint {
  const MPoint& record;
  const MPolygon& polygon;
  double x, y, z;           ///< the record's coordinates, offsets added if asked
  uint32_t index;           ///< in the layout's point array
  uint32_t indexInPolygon;  ///< 0 for the polygon's first point
};

/// Calls onPolygon(const MPolygon&, uint32_t polygonIndex), then
/// onPoint(const WalkedPoint&) for each of its points, then
/// onPolygonEnd(const MPolygon&, uint32_t polygonIndex), for every polygon of
/// layout in store order. A point count beyond the point array (a broken
/// layout) walks the points that are there. The callbacks must not insert or
/// remove records of the layout. Nothing is walked for an id that is no
/// layout.
template <typename OnPolygon, typename OnPoint, typename OnPolygonEnd>
void walkLayout(BlockId layout, LayoutOffsets offsets, OnPolygon&& onPolygon, OnPoint&& onPoint,
                OnPolygonEnd&& onPolygonEnd) {
  const MFolder* folder = mFolder(layout);
  if (!folder) return;
  const bool apply = offsets == LayoutOffsets::Apply;
  const double dx = folder->xOffset, dy = folder->yOffset, dz = folder->zOffset;
  const uint32_t polygonTotal = polygonCount(layout);
  const uint32_t pointTotal = pointCount(layout);
  // The callbacks change no records, so the arrays stay where they are.
  const uint32_t polygonRecords = blockStore().count(folder->polygons);
  const MPolygon* records0 = polygonRecords > 0 ? polygonView(layout, 0) : nullptr;
  const MPolygon* bare = polygonRecords < polygonTotal ? polygonView(layout, polygonRecords) : nullptr;
  const MPoint* records = points(layout);
  uint32_t next = 0;
  for (uint32_t i = 0; i < polygonTotal; ++i) {
    const MPolygon* polygon = i < polygonRecords ? records0 + i : bare;
    if (!polygon) break;
    onPolygon(*polygon, i);
    const uint32_t count = polygon->pointCount > 0 ? static_cast<uint32_t>(polygon->pointCount) : 0;
    const uint32_t end = count <= pointTotal - next ? next + count : pointTotal;
    for (uint32_t k = 0; next < end; ++next, ++k) {
      const MPoint& p = records[next];
      // Left out, the coordinates are the record's own: adding a zero offset
      // would turn -0.0 into 0.0.
      if (apply)
        onPoint(WalkedPoint{p, *polygon, p.x + dx, p.y + dy, p.z + dz, next, k});
      else
        onPoint(WalkedPoint{p, *polygon, p.x, p.y, p.z, next, k});
    }
    onPolygonEnd(*polygon, i);
  }
}

/// The walk without a call at the end of each polygon.
template <typename OnPolygon, typename OnPoint>
void walkLayout(BlockId layout, LayoutOffsets offsets, OnPolygon&& onPolygon, OnPoint&& onPoint) {
  walkLayout(layout, offsets, onPolygon, onPoint, [](const MPolygon&, uint32_t) {});
}

}  // namespace vltrx
