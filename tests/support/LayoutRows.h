// Test helper: a layout's polygons and points as comparable rows, and the
// number of layouts in the store.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"

namespace vltrx::test {

/// A point as the tests compare it.
struct PointRow {
  double x, y, z;
  uint32_t number;
  std::string name, comment;
  CategorySet categories;
  bool operator==(const PointRow&) const = default;
};
/// A polygon as the tests compare it.
struct PolygonRow {
  int count;
  bool closed;
  CategorySet categories;
  std::string comment;
  bool operator==(const PolygonRow&) const = default;
};
inline void PrintTo(const PointRow& p, std::ostream* os) {
  *os << "{" << p.x << ", " << p.y << ", " << p.z << ", #" << p.number << ", name \"" << p.name << "\", comment \""
      << p.comment << "\", " << p.categories.size() << " categories}";
}
inline void PrintTo(const PolygonRow& p, std::ostream* os) {
  *os << "{" << p.count << " points, " << (p.closed ? "closed" : "open") << ", " << p.categories.size()
      << " categories, comment \"" << p.comment << "\"}";
}
struct LayoutRows {
  std::vector<PolygonRow> polygons;
  std::vector<PointRow> points;
};

/// The polygons and points of a layout, in storage order.
inline LayoutRows rowsOf(BlockId layout) {
  LayoutRows rows;
  for (uint32_t i = 0; i < polygonCount(layout); ++i) {
    const MPolygon& p = *polygonAt(layout, i);
    rows.polygons.push_back({p.pointCount, p.closed != 0, categoryIds(p).toSet(), std::string(polygonComment(p))});
  }
  for (uint32_t i = 0; i < pointCount(layout); ++i) {
    const MPoint& p = *pointAt(layout, i);
    rows.points.push_back({p.x, p.y, p.z, p.number, std::string(pointName(p)), std::string(pointComment(p)),
                           categoryIds(p).toSet()});
  }
  return rows;
}

/// Layouts in the whole measurement tree.
inline int layoutCount() {
  int n = 0;
  visit(rootFolder(), [&](BlockId, int phase) {
    if (phase == 0) ++n;
    return 1;
  });
  return n;
}

}  // namespace vltrx::test
