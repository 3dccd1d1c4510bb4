// Commit of a staged plan to a layout and creation of the layout.
#include "core/Staging.h"

#include "core/CError.h"
#include "core/MeasurementTree.h"

namespace vltrx {
namespace {

// Fills one point record in place from its staged form.
int fillPoint(MPoint& record, const StagedPoint& staged) {
  record.x = staged.x;
  record.y = staged.y;
  record.z = staged.z;
  record.number = staged.sourceNumber > 0 ? static_cast<uint32_t>(staged.sourceNumber) : 0;
  record.mode = staged.mode ? kModeStaged : kModeNone;
  // Temperature -128 and the other fields of no extra: nothing to store.
  // The record is fresh and zero: only what the staged point holds is set.
  int rc = 0;
  if (!staged.comment.empty()) rc = setText(record, PointText::Comment, staged.comment);
  if (rc >= 0 && !staged.name.empty()) rc = setText(record, PointText::Name, staged.name);
  if (rc >= 0 && !staged.categories.empty()) rc = setCategories(record, staged.categories);
  return rc;
}

// One point, no comment, no categories, open: a polygon without a record.
bool isBare(const StagedPolygon& polygon) {
  return polygon.points.size() == 1 && polygon.comment.empty() && polygon.categories.empty() && !polygon.closed;
}

}  // namespace

void commitStagedPlan(BlockId layout, const StagedPlan& plan) { commitStagedPolygons(layout, plan.polygons); }

void commitStagedPolygons(BlockId layout, std::span<const StagedPolygon> staged) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  uint64_t totalPoints = 0;
  uint32_t totalPolygons = 0;
  for (const StagedPolygon& polygon : staged) {
    if (polygon.points.empty()) continue;
    // The point count of a polygon record is an i16.
    if (polygon.points.size() > kMaxPolygonPoints) throw makeError(ErrorCode::StorageExceeded);
    totalPoints += polygon.points.size();
    ++totalPolygons;
  }
  if (totalPolygons == 0) return;
  if (totalPoints > UINT32_MAX - pointCount(layout)) throw makeError(ErrorCode::StorageExceeded);

  // Bare single-point polygons at the end of the plan need no records: they
  // follow the layout's polygon records as a count. Those before a polygon
  // with a record of its own (and those already counted, when this plan
  // brings such a polygon) are given records.
  uint32_t bareTail = 0;
  for (size_t i = staged.size(); i-- > 0;) {
    const StagedPolygon& polygon = staged[i];
    if (polygon.points.empty()) continue;
    if (!isBare(polygon)) break;
    ++bareTail;
  }
  const uint32_t recordPolygons = totalPolygons - bareTail;
  if (recordPolygons > 0) {
    if (int rc = materializePolygons(layout); rc < 0) throw makeError(rc);
  }

  // Both arrays grow once, by the whole plan; the records are then filled in
  // place. Text and list blocks are separate blocks, so filling never moves
  // the arrays.
  const uint32_t firstPoint = pointCount(layout);
  const uint32_t firstPolygon = polygonCount(layout);
  int rc = insertPoints(layout, firstPoint, static_cast<uint32_t>(totalPoints));
  if (rc < 0) throw makeError(rc);
  if (recordPolygons > 0) rc = insertPolygons(layout, firstPolygon, recordPolygons);
  if (rc < 0) {
    removePoints(layout, firstPoint, static_cast<uint32_t>(totalPoints));
    throw makeError(rc);
  }

  MPoint* pts = points(layout) + firstPoint;
  MPolygon* pgs = recordPolygons > 0 ? polygons(layout) + firstPolygon : nullptr;
  uint32_t pointIndex = 0;
  uint32_t polygonIndex = 0;
  for (const StagedPolygon& polygon : staged) {
    if (polygon.points.empty()) continue;
    const uint32_t polygonStart = pointIndex;
    for (const StagedPoint& staged : polygon.points) {
      rc = fillPoint(pts[pointIndex], staged);
      ++pointIndex;
      if (rc < 0) break;
    }
    if (polygonIndex >= recordPolygons) {
      // A bare polygon of the tail: counted once its point is in place.
      if (rc < 0) {
        removePoints(layout, firstPoint + polygonStart, UINT32_MAX);
        appendSinglePolygons(layout, polygonIndex - recordPolygons);
        throw makeError(rc);
      }
      ++polygonIndex;
      continue;
    }
    MPolygon& record = pgs[polygonIndex++];
    if (rc >= 0) {
      record.pointCount = static_cast<int16_t>(polygon.points.size());
      record.closed = polygon.closed ? 1 : 0;
      if (!polygon.comment.empty()) rc = setText(record, polygon.comment);
      if (rc >= 0 && !polygon.categories.empty()) rc = setCategories(record, polygon.categories);
    }
    if (rc < 0) {
      // Keep the polygons committed before this one; drop this polygon and
      // the unfilled tail (their blocks are freed with them).
      removePoints(layout, firstPoint + polygonStart, UINT32_MAX);
      removePolygons(layout, firstPolygon + polygonIndex - 1, UINT32_MAX);
      throw makeError(rc);
    }
  }
  if (bareTail > 0) {
    if (int rc2 = appendSinglePolygons(layout, bareTail); rc2 < 0) {
      removePoints(layout, firstPoint + pointIndex - bareTail, UINT32_MAX);
      throw makeError(rc2);
    }
  }
}

BlockId createLayout(BlockId parent, std::string_view name) {
  if (!subFolder(parent)) throw makeError(ErrorCode::InvalidBlockId);
  int position = findChildPosition(parent, name, false);
  if (position < 0) throw makeError(ErrorCode::LayoutExists, name);
  BlockId layout = createNode(name, false);
  if (layout == 0) throw makeError(ErrorCode::StorageExceeded);
  int rc = linkChild(parent, static_cast<uint32_t>(position), layout);
  if (rc < 0) {
    deleteNode(layout);
    throw makeError(rc);
  }
  return layout;
}

}  // namespace vltrx
