// Staging model commit and layout creation.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/Staging.h"
#include "tests/support/Failure.h"
#include "tests/support/Languages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vltrx {
namespace {

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  static StagedPoint point(double x, int32_t number, std::string comment = {}, std::string name = {}) {
    StagedPoint p;
    p.x = x;
    p.y = x + 1;
    p.z = x + 2;
    p.sourceNumber = number;
    p.comment = std::move(comment);
    p.name = std::move(name);
    return p;
  }
};

TEST_F(StagingTest, CommitWritesPointsThenPolygonsAndSkipsEmptyPolygons) {
  BlockId layout = createLayout(rootFolder(), "Plan");
  StagedPlan plan;
  StagedPolygon line;
  line.comment = "Bordstein";
  line.categories = {4, 9};
  line.closed = true;
  line.points.push_back(point(1, 11, "first", "A1"));
  line.points.push_back(point(2, 12));
  line.points.back().mode = true;
  line.points.back().categories = {7};
  plan.polygons.push_back(line);
  plan.polygons.push_back(StagedPolygon{});  // no points: skipped
  StagedPolygon single;
  single.points.push_back(point(3, 13));
  single.points.back().categories = {2, 3, 5};
  plan.polygons.push_back(single);

  commitStagedPlan(layout, plan);
  ASSERT_EQ(pointCount(layout), 3u);
  ASSERT_EQ(polygonCount(layout), 2u);

  const MPoint& p0 = *pointAt(layout, 0);
  EXPECT_EQ(p0.x, 1);
  EXPECT_EQ(p0.y, 2);
  EXPECT_EQ(p0.z, 3);
  EXPECT_EQ(p0.number, 11u);
  EXPECT_EQ(p0.mode, 128);
  EXPECT_EQ(pointExtra(p0).temperature, -128);
  EXPECT_EQ(pointComment(p0), "first");
  EXPECT_EQ(pointName(p0), "A1");
  EXPECT_TRUE(categoryIds(p0).empty());
  const MPoint& p1 = *pointAt(layout, 1);
  EXPECT_EQ(p1.mode, 225);
  // Nothing out of line: no extra fields at all.
  EXPECT_EQ(p1.extra, 0u);
  EXPECT_EQ(pointExtra(p1).temperature, -128);
  EXPECT_EQ(p1.categories, 7);
  EXPECT_EQ(p1.categoriesIsList, 0);
  EXPECT_EQ(categoryIds(*pointAt(layout, 2)).toSet(), (CategorySet{2, 3, 5}));

  const MPolygon& g0 = *polygonAt(layout, 0);
  EXPECT_EQ(g0.pointCount, 2);
  EXPECT_EQ(g0.closed, 1);
  EXPECT_EQ(polygonComment(g0), "Bordstein");
  EXPECT_EQ(categoryIds(g0).toSet(), (CategorySet{4, 9}));
  const MPolygon& g1 = *polygonAt(layout, 1);
  EXPECT_EQ(g1.pointCount, 1);
  EXPECT_EQ(g1.closed, 0);

  EXPECT_EQ(checkPointNumbers(layout), 0);
  EXPECT_EQ(mFolder(layout)->highestPointNumber, 13u);

  // A second commit appends.
  commitStagedPlan(layout, plan);
  EXPECT_EQ(pointCount(layout), 6u);
  EXPECT_EQ(polygonCount(layout), 4u);
  EXPECT_EQ(polygonAt(layout, 2)->pointCount, 2);
}

// A table of single points costs no polygon records: bare single-point
// polygons at the end of the layout are only counted, and get records as
// soon as a polygon with a record of its own follows them.
TEST_F(StagingTest, BareSinglePointPolygonsAreCountedWithoutRecords) {
  BlockId layout = createLayout(rootFolder(), "Plan");
  auto records = [&] { return blockStore().count(mFolder(layout)->polygons); };
  StagedPlan singles;
  for (int i = 0; i < 3; ++i) {
    singles.polygons.emplace_back().points.push_back(point(i, 0, "point comment"));
  }
  StagedPolygon closedSingle;  // closed: not bare
  closedSingle.closed = true;
  closedSingle.points.push_back(point(9, 0));
  singles.polygons.push_back(closedSingle);
  singles.polygons.emplace_back().points.push_back(point(10, 0));
  commitStagedPlan(layout, singles);
  EXPECT_EQ(polygonCount(layout), 5u);
  EXPECT_EQ(records(), 4u);  // the three before the closed one and it

  std::vector<int> counts;
  std::vector<int> closed;
  walkLayout(layout, LayoutOffsets::Leave, [&](const MPolygon& g, uint32_t) {
    counts.push_back(g.pointCount);
    closed.push_back(g.closed);
  }, [](const WalkedPoint&) {});
  EXPECT_EQ(counts, (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_EQ(closed, (std::vector<int>{0, 0, 0, 1, 0}));

  StagedPlan line;
  line.polygons.emplace_back().points = {point(20, 0), point(21, 0)};
  line.polygons.back().categories = {3};
  commitStagedPlan(layout, line);
  EXPECT_EQ(records(), 6u);
  ASSERT_EQ(polygonCount(layout), 6u);
  EXPECT_EQ(polygonView(layout, 4)->pointCount, 1);
  EXPECT_EQ(polygonView(layout, 5)->pointCount, 2);
  EXPECT_EQ(categoryIds(*polygonView(layout, 5)).toSet(), (CategorySet{3}));

  commitStagedPlan(layout, singles);
  EXPECT_EQ(polygonCount(layout), 11u);
  EXPECT_EQ(records(), 10u);
  EXPECT_EQ(polygonView(layout, 11), nullptr);
  // A writable polygon gives the counted ones their records.
  ASSERT_NE(polygonAt(layout, 10), nullptr);
  EXPECT_EQ(polygonAt(layout, 10)->pointCount, 1);
  EXPECT_EQ(records(), 11u);
  EXPECT_EQ(pointCount(layout), 12u);
  deleteNode(layout);
  EXPECT_EQ(blockStore().extraCount(), 0u);
}

TEST_F(StagingTest, CommitFailureKeepsWhatWasStoredBefore) {
  BlockId layout = createLayout(rootFolder(), "Plan");
  StagedPlan plan;
  StagedPolygon ok;
  ok.points.push_back(point(1, 1, "kept"));
  plan.polygons.push_back(ok);
  commitStagedPlan(layout, plan);
  const size_t blocks = blockStore().blockCount();

  // A polygon's point count is an i16: 32768 points cannot be stored.
  StagedPolygon huge;
  huge.points.resize(32768);
  plan.polygons = {ok, huge};
  EXPECT_EQ(test::failure([&] { commitStagedPlan(layout, plan); }), +ErrorCode::StorageExceeded);
  EXPECT_EQ(pointCount(layout), 1u);
  EXPECT_EQ(blockStore().blockCount(), blocks);

  // With no id below 65536 left for a list, the plan fails in the middle:
  // the polygons before it stay, the rest is gone with its blocks.
  std::vector<BlockId> fill;
  for (BlockId id; (id = blockStore().allocateSmall(1)) != 0;) fill.push_back(id);
  StagedPolygon listed;
  listed.points.push_back(point(2, 2, "gone"));
  listed.points.back().categories = {1, 2};
  plan.polygons = {ok, listed, ok};
  const size_t before = blockStore().blockCount();
  EXPECT_EQ(test::failure([&] { commitStagedPlan(layout, plan); }), +ErrorCode::StorageExceeded);
  EXPECT_EQ(pointCount(layout), 2u);
  EXPECT_EQ(polygonCount(layout), 2u);
  EXPECT_EQ(pointComment(*pointAt(layout, 1)), "kept");
  EXPECT_EQ(blockStore().blockCount(), before + 1);  // the comment of the kept point
}

TEST_F(StagingTest, CreateLayoutRefusesAnExistingName) {
  BlockId root = rootFolder();
  BlockId a = createLayout(root, "Plan");
  EXPECT_TRUE(isLayout(a));
  EXPECT_EQ(nodeHeader(a)->parent, root);
  createLayout(root, "Alpha");
  EXPECT_EQ(nodeName(childAt(root, 0)), "Alpha");
  for (Language language : test::kLanguages) {
    SCOPED_TRACE(storedLanguageCode(language));
    setLanguage(language);
    try {
      createLayout(root, "PLAN");
      ADD_FAILURE() << "no error";
    } catch (const CError& e) {
      EXPECT_EQ(e.code(), +ErrorCode::LayoutExists);
      EXPECT_NE(e.message().find("\"PLAN\""), std::string::npos) << e.message();
    }
  }
  setLanguage(Language::En);
  // A folder of that name does not collide with a layout.
  BlockId folder = createNode("Plan2", true);
  ASSERT_EQ(linkChild(root, 0, folder), 0);
  EXPECT_NO_THROW(createLayout(root, "Plan2"));
  EXPECT_EQ(subFolder(root)->childCount, 4);
}

}  // namespace
}  // namespace vltrx
