// Layout walk of the writers: order, offsets added or left out, empty
// polygons and point counts beyond the point array.
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/Staging.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vltrx {
namespace {

class LayoutWalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    m_layout = createLayout(rootFolder(), "Plan");
    StagedPlan plan;
    // Polygons of 2, 1 and 3 points numbered 1 to 6 at x = number.
    int number = 0;
    for (int size : {2, 1, 3}) {
      StagedPolygon& polygon = plan.polygons.emplace_back();
      for (int k = 0; k < size; ++k) {
        StagedPoint& p = polygon.points.emplace_back();
        ++number;
        p.x = number;
        p.y = -0.0;
        p.z = 0.5;
        p.sourceNumber = number;
      }
    }
    commitStagedPlan(m_layout, plan);
    MFolder* folder = mFolder(m_layout);
    folder->xOffset = 1000;
    folder->yOffset = 2000;
    folder->zOffset = 0;
  }
  void TearDown() override { resetMeasurementStore(); }

  // "[" polygon, "number@x,y,z" per point, "]" at a polygon's end.
  std::string trace(LayoutOffsets offsets) {
    std::string out;
    walkLayout(
        m_layout, offsets, [&](const MPolygon& g, uint32_t i) { out += "[" + std::to_string(i) + ":"; },
        [&](const WalkedPoint& p) {
          out += std::to_string(p.record.number) + "@" + number(p.x) + "," + number(p.y) + "," + number(p.z);
          out += "#" + std::to_string(p.index) + "." + std::to_string(p.indexInPolygon) + " ";
        },
        [&](const MPolygon&, uint32_t) { out += "]"; });
    return out;
  }

  static std::string number(double v) { return (std::signbit(v) ? "-" : "") + std::to_string(std::lround(std::fabs(v))); }

  BlockId m_layout = 0;
};

TEST_F(LayoutWalkTest, WalksPolygonsAndPointsInStoreOrderWithOrWithoutOffsets) {
  EXPECT_EQ(trace(LayoutOffsets::Apply),
            "[0:1@1001,2000,1#0.0 2@1002,2000,1#1.1 ][1:3@1003,2000,1#2.0 ][2:4@1004,2000,1#3.0 5@1005,2000,1#4.1 "
            "6@1006,2000,1#5.2 ]");
  // Left out, the records' own values come through, -0.0 included.
  EXPECT_EQ(trace(LayoutOffsets::Leave),
            "[0:1@1,-0,1#0.0 2@2,-0,1#1.1 ][1:3@3,-0,1#2.0 ][2:4@4,-0,1#3.0 5@5,-0,1#4.1 6@6,-0,1#5.2 ]");
}

TEST_F(LayoutWalkTest, BrokenPointCountsWalkWhatIsThere) {
  // Counts of 0, 1 and 9 for the six points: the empty polygon is still
  // walked, the last one ends at the array's end.
  polygonAt(m_layout, 0)->pointCount = 0;
  polygonAt(m_layout, 1)->pointCount = 1;
  polygonAt(m_layout, 2)->pointCount = 9;
  EXPECT_EQ(trace(LayoutOffsets::Leave),
            "[0:][1:1@1,-0,1#0.0 ][2:2@2,-0,1#1.0 3@3,-0,1#2.1 4@4,-0,1#3.2 5@5,-0,1#4.3 6@6,-0,1#5.4 ]");
  polygonAt(m_layout, 2)->pointCount = -3;
  EXPECT_EQ(trace(LayoutOffsets::Leave), "[0:][1:1@1,-0,1#0.0 ][2:]");
}

TEST_F(LayoutWalkTest, NothingIsWalkedForAFolder) {
  int calls = 0;
  walkLayout(
      rootFolder(), LayoutOffsets::Apply, [&](const MPolygon&, uint32_t) { ++calls; },
      [&](const WalkedPoint&) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace vltrx
