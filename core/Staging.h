// The staging model that text and CAD readers fill before they commit a whole
// layout to the measurement store in one step, and the creation of that layout.
#pragma once

#include "core/BlockStore.h"
#include "core/Layout.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

struct StagedPoint {
  double x = 0, y = 0, z = 0;
  int32_t sourceNumber = 0;  // the point number to store (0 = not numbered)
  bool mode = false;         // stored as mode 225 when set, else 128
  CategorySet categories;    // sorted
  std::string comment;       // UTF-8
  std::string name;          // UTF-8, the source point id
  uint32_t indexInPolygon = 0;
};

struct StagedPolygon {
  CategorySet categories;
  std::string comment;
  std::vector<StagedPoint> points;
  bool closed = false;
};

struct StagedPlan {
  std::vector<StagedPolygon> polygons;
};

/// Appends the plan to the layout: for each polygon with at least one point
/// its points (x, y, z, number, mode 225/128, temperature -128, comment, name,
/// categories) and then one MPolygon (point count, comment, categories,
/// closed). Polygons without points are skipped. Each array grows once.
/// Throws CError: -602 when memory or list ids run out or a polygon has more
/// than 32767 points, -613 for an unknown layout. What was stored before the
/// failing polygon stays; the caller deletes the half-built layout.
void commitStagedPlan(BlockId layout, const StagedPlan& plan);
/// The same for a run of staged polygons.
void commitStagedPolygons(BlockId layout, std::span<const StagedPolygon> polygons);

/// Creates a layout named name (UTF-8) below parent at its sorted place.
/// Throws CError -2102 with the name as detail when a layout of that name
/// exists there, -602 when memory runs out, -613 for an unknown parent.
BlockId createLayout(BlockId parent, std::string_view name);

}  // namespace vltrx
