// Shared category-set list blocks: records with the same set share one block,
// replacing a set never changes another record's, every path that drops a
// record gives its reference back exactly once, and the 16-bit id ceiling.
#include "core/BlockStore.h"
#include "core/CError.h"
#include "core/CategoryLists.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Staging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vltrx {
namespace {

class CategoryListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    root = rootFolder();
    baseline = blockStore().blockCount();
  }
  void TearDown() override { resetMeasurementStore(); }

  // A plan of n points in polygons of up to 1000 points; every point carries
  // pointSet, every polygon polygonSet.
  static StagedPlan plan(uint32_t n, const CategorySet& pointSet, const CategorySet& polygonSet = {}) {
    StagedPlan plan;
    for (uint32_t i = 0; i < n; ++i) {
      if (i % 1000 == 0) {
        plan.polygons.emplace_back();
        plan.polygons.back().categories = polygonSet;
      }
      StagedPoint p;
      p.x = i;
      p.categories = pointSet;
      plan.polygons.back().points.push_back(std::move(p));
    }
    return plan;
  }

  static int commitCode(BlockId layout, const StagedPlan& plan) {
    try {
      commitStagedPlan(layout, plan);
    } catch (const CError& e) {
      return e.code();
    }
    return 0;
  }

  BlockId root = 0;
  size_t baseline = 0;
};

TEST_F(CategoryListsTest, PointsAndPolygonsWithTheSameSetShareOneBlock) {
  const BlockId layout = createLayout(root, "Survey");
  const CategorySet both{3, 5};
  commitStagedPlan(layout, plan(200000, both, both));

  ASSERT_EQ(pointCount(layout), 200000u);
  const MPoint* pts = points(layout);
  const uint16_t list = pts[0].categories;
  ASSERT_EQ(pts[0].categoriesIsList, 1);
  for (uint32_t i = 0; i < 200000; ++i) {
    if (pts[i].categories != list || pts[i].categoriesIsList != 1) FAIL() << "point " << i;
  }
  EXPECT_EQ(polygonAt(layout, 199)->categories, list);
  EXPECT_EQ(categoryIds(pts[123456]).toSet(), both);
  EXPECT_EQ(categoryListCount(), 1u);
  EXPECT_EQ(categoryListReferences(list), 200000u + 200u);
  // The layout node, its two arrays and the single list.
  EXPECT_EQ(blockStore().blockCount(), baseline + 4);
}

TEST_F(CategoryListsTest, ReplacingOneSetLeavesTheOthersAlone) {
  const BlockId layout = createLayout(root, "Survey");
  commitStagedPlan(layout, plan(10, {3, 5}));
  MPoint* pts = points(layout);
  const uint16_t shared = pts[0].categories;

  // Same size as the shared block: the point gets a block of its own, the
  // shared one is not written.
  const uint16_t other[] = {3, 6};
  ASSERT_EQ(setCategories(pts[7], other), 0);
  const uint16_t own = pts[7].categories;
  EXPECT_NE(own, shared);
  EXPECT_EQ(categoryListReferences(shared), 9u);
  for (uint32_t i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(categoryIds(pts[i]).toSet(), i == 7 ? (CategorySet{3, 6}) : (CategorySet{3, 5}));
  }

  // A block the point holds alone is rewritten in place and found under its
  // new set; its old set is no longer in the table.
  const uint16_t moved[] = {4, 6};
  ASSERT_EQ(setCategories(pts[7], moved), 0);
  EXPECT_EQ(pts[7].categories, own);
  ASSERT_EQ(setCategories(pts[8], moved), 0);
  EXPECT_EQ(pts[8].categories, own);
  EXPECT_EQ(categoryListReferences(own), 2u);
  ASSERT_EQ(setCategories(pts[9], other), 0);
  EXPECT_NE(pts[9].categories, own);
  EXPECT_NE(pts[9].categories, shared);
  EXPECT_EQ(categoryListCount(), 3u);

  // Back to a set that exists: shared again; dropping to one id or none
  // gives the reference back, and the emptied blocks go.
  const uint16_t back[] = {5, 3, 3};
  ASSERT_EQ(setCategories(pts[7], back), 0);
  EXPECT_EQ(pts[7].categories, shared);
  const uint16_t single[] = {4};
  ASSERT_EQ(setCategories(pts[8], single), 0);
  EXPECT_EQ(pts[8].categories, 4);
  EXPECT_EQ(pts[8].categoriesIsList, 0);
  ASSERT_EQ(setCategories(pts[9], {}), 0);
  EXPECT_EQ(categoryListReferences(own), 0u);
  EXPECT_EQ(categoryListCount(), 1u);
  EXPECT_EQ(categoryListReferences(shared), 8u);  // points 0-7
  EXPECT_EQ(blockStore().blockCount(), baseline + 4);
}

TEST_F(CategoryListsTest, EveryWayOfDroppingRecordsGivesTheReferenceBackOnce) {
  const CategorySet both{3, 5};
  const BlockId a = createLayout(root, "A");
  const BlockId b = createLayout(root, "B");
  commitStagedPlan(a, plan(3000, both, both));
  commitStagedPlan(b, plan(2000, both, {7, 8, 9}));
  const uint16_t list = points(a)[0].categories;
  ASSERT_EQ(points(b)[0].categories, list);
  EXPECT_EQ(categoryListReferences(list), 3000u + 3u + 2000u);

  ASSERT_EQ(removePoints(a, 100, 900), 0);
  ASSERT_EQ(removePolygons(a, 0, 1), 0);
  releaseBlocks(*pointAt(a, 0));
  EXPECT_EQ(pointAt(a, 0)->categories, 0);
  EXPECT_EQ(categoryListReferences(list), 2100u - 1u + 2u + 2000u);

  // Deleting one layout leaves the other's sets intact.
  ASSERT_EQ(deleteNode(a), 0);
  EXPECT_EQ(categoryListReferences(list), 2000u);
  EXPECT_EQ(categoryIds(points(b)[1999]).toSet(), both);
  EXPECT_EQ(categoryIds(*polygonAt(b, 1)).toSet(), (CategorySet{7, 8, 9}));

  // The last reference frees the block exactly once: the store is back to
  // the bare root, and the table forgot the set.
  ASSERT_EQ(deleteNode(b), 0);
  EXPECT_EQ(blockStore().blockCount(), baseline);
  EXPECT_EQ(categoryListCount(), 0u);
  EXPECT_EQ(categoryListReferences(list), 0u);
  MPoint p = blankPoint();
  const uint16_t again[] = {3, 5};
  ASSERT_EQ(setCategories(p, again), 0);
  EXPECT_EQ(categoryListReferences(p.categories), 1u);
  EXPECT_EQ(categoryIds(p).toSet(), both);
  releaseBlocks(p);
  EXPECT_EQ(blockStore().blockCount(), baseline);
}

TEST_F(CategoryListsTest, ResetForgetsAllLists) {
  commitStagedPlan(createLayout(root, "A"), plan(10, {1, 2}));
  resetMeasurementStore();
  EXPECT_EQ(categoryListCount(), 0u);
  EXPECT_EQ(blockStore().blockCount(), 0u);
  // Ids start again: a new list with the same set is a new block, not a stale one.
  const BlockId layout = createLayout(rootFolder(), "B");
  commitStagedPlan(layout, plan(10, {1, 2}));
  EXPECT_EQ(categoryIds(points(layout)[9]).toSet(), (CategorySet{1, 2}));
  EXPECT_EQ(categoryListReferences(points(layout)[0].categories), 10u);
}

TEST_F(CategoryListsTest, ListsFindIdsAfterManyTextBlocks) {
  // 70,000 named points use up the open part of the small id range before
  // the first point with two categories comes.
  const BlockId layout = createLayout(root, "Named");
  StagedPlan named = plan(70000, {});
  for (StagedPolygon& polygon : named.polygons)
    for (StagedPoint& p : polygon.points) p.name = "P" + std::to_string(static_cast<int>(p.x));
  named.polygons.back().points.back().categories = {2, 4};
  ASSERT_EQ(commitCode(layout, named), 0);
  const MPoint& last = *pointAt(layout, 69999);
  EXPECT_EQ(last.categoriesIsList, 1);
  EXPECT_GE(last.categories, BlockStore::kFirstReservedId);
  EXPECT_EQ(categoryIds(last).toSet(), (CategorySet{2, 4}));
}

TEST_F(CategoryListsTest, DistinctSetsBeyondTheSixteenBitIdsFail) {
  // Every distinct set needs an id below 65536: the root, the layout node and
  // its point array hold three of them (single points without polygon
  // categories need no polygon records), so 65,276 distinct lists fit.
  const BlockId layout = createLayout(root, "Distinct");
  const size_t fit = (BlockStore::kMaxSmallId + 1) - BlockStore::kFirstId - 3;
  StagedPlan distinct;
  for (size_t i = 0; i <= fit; ++i) {
    StagedPolygon polygon;
    polygon.points.emplace_back();
    polygon.points.back().categories = {1, static_cast<uint16_t>(2 + i)};
    distinct.polygons.push_back(std::move(polygon));
  }
  EXPECT_EQ(commitCode(layout, distinct), +ErrorCode::StorageExceeded);
  EXPECT_EQ(pointCount(layout), fit);
  EXPECT_EQ(categoryListCount(), fit);

  // A set that exists still fits (it takes no id); a new one does not.
  MPoint p = blankPoint();
  const uint16_t existing[] = {1, 2};
  const uint16_t fresh[] = {1, 3, 5};
  EXPECT_EQ(setCategories(p, existing), 0);
  EXPECT_EQ(setCategories(p, fresh), +ErrorCode::StorageExceeded);
  EXPECT_EQ(p.categories, 0);
  EXPECT_EQ(p.categoriesIsList, 0);

  ASSERT_EQ(deleteNode(layout), 0);
  EXPECT_EQ(blockStore().blockCount(), baseline);
  EXPECT_EQ(categoryListCount(), 0u);
}

}  // namespace
}  // namespace vltrx
