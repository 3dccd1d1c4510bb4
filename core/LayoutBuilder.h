// Building one new layout from staged polygons, the way every file reader
// does: create it, stage and commit polygons in batches, delete the
// half-built layout on any failure, check the point numbers at the end.
#pragma once

#include "core/BlockStore.h"
#include "core/Staging.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vltrx {

/// Deletes a node (a layout being read) when it goes out of scope unless
/// released: a layout read half-way never stays in the store.
class LayoutGuard {
 public:
  explicit LayoutGuard(BlockId node) : m_node(node) {}
  ~LayoutGuard();
  LayoutGuard(const LayoutGuard&) = delete;
  LayoutGuard& operator=(const LayoutGuard&) = delete;
  /// The node stays.
  void release() { m_node = 0; }

 private:
  BlockId m_node;
};

class LayoutBuilder {
 public:
  /// Staged points after which finished polygons are committed, so that the
  /// staged copy never holds more than one batch besides the store.
  static constexpr size_t kCommitBatchPoints = 16 * 1024;
  /// Fractional parts up to this are taken for whole numbers.
  static constexpr double kFractionLimit = 1e-7;

  /// Creates a layout named name (UTF-8) below parent. Throws CError as
  /// createLayout does (-2102 when the name is taken).
  LayoutBuilder(BlockId parent, std::string_view name);
  /// Deletes the layout again unless finish() succeeded: no half-built
  /// layout stays behind, whatever ended the reading.
  ~LayoutBuilder();
  LayoutBuilder(const LayoutBuilder&) = delete;
  LayoutBuilder& operator=(const LayoutBuilder&) = delete;

  BlockId layout() const { return m_layout; }

  /// True once a polygon has been started.
  bool hasPolygon() const { return m_used > 0; }
  /// The polygon being filled (hasPolygon() must be true).
  StagedPolygon& polygon() { return m_plan.polygons[m_used - 1]; }

  /// Starts a new, empty polygon after the current one, which is finished as
  /// it stands. When a batch of points is staged, the staged polygons are
  /// committed first. Throws CError as commitStagedPlan does.
  StagedPolygon& startPolygon();

  /// Appends a point at x, y, z to the current polygon (hasPolygon() must be
  /// true) and returns it for the reader to fill in. Throws CError -602 when
  /// the polygon already holds one point more than a polygon record can
  /// count: that one more is staged, because a reader may still drop a
  /// closing point that repeats the first.
  StagedPoint& addPoint(double x, double y, double z);

  /// Points so far whose x or y has a fractional part (for the warning that
  /// a file holds whole numbers only).
  uint64_t fractionalPoints() const { return m_fractionalPoints; }
  /// Points staged or committed so far.
  uint64_t points() const { return m_points; }
  /// Points staged and not yet committed (0 right after a batch went to
  /// the store).
  size_t stagedPoints() const { return m_staged; }

  /// Commits the staged polygons and checks the layout's point numbers
  /// (checkPointNumbers); its -907 for duplicate numbers is accepted when
  /// acceptDuplicateIds. Throws CError. After it, the layout is the
  /// caller's and stays in the store.
  BlockId finish(bool acceptDuplicateIds = false);

 private:
  void commitStaged();

  BlockId m_layout = 0;
  LayoutGuard m_guard;
  // Polygons of committed batches are kept and refilled (their point
  // vectors keep their memory): a table of single points would otherwise
  // allocate and free one vector per point. m_used of them are staged.
  StagedPlan m_plan;
  size_t m_used = 0;
  size_t m_staged = 0;
  uint64_t m_points = 0;
  uint64_t m_fractionalPoints = 0;
};

}  // namespace vltrx
