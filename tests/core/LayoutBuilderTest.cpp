// Layout builder: batched commit, the half-built layout deleted on failure,
// the final point-number check and the count of fractional coordinates.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/MeasurementTree.h"
#include "tests/support/ThrownCode.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace vltrx {
namespace {

class LayoutBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }
};

// Children of the root folder.
uint32_t children() { return subFolder(rootFolder())->childCount; }

using test::thrownCode;

TEST_F(LayoutBuilderTest, CommitsFinishedPolygonsInBatchesInOrder) {
  LayoutBuilder builder(rootFolder(), "Plan");
  const BlockId layout = builder.layout();
  // Polygons of 1,000 points: the batch is committed when the polygon after
  // the one that fills it starts, never in the middle of a polygon.
  const uint32_t perPolygon = 1000;
  const uint32_t polygonsPerBatch = (LayoutBuilder::kCommitBatchPoints + perPolygon - 1) / perPolygon;
  uint32_t number = 0;
  for (uint32_t g = 0; g < 2 * polygonsPerBatch + 1; ++g) {
    StagedPolygon& polygon = builder.startPolygon();
    polygon.closed = g % 2 == 1;
    const uint32_t committed = g < polygonsPerBatch ? 0 : g < 2 * polygonsPerBatch ? polygonsPerBatch * perPolygon
                                                                                   : 2 * polygonsPerBatch * perPolygon;
    EXPECT_EQ(pointCount(layout), committed) << "polygon " << g;
    for (uint32_t k = 0; k < perPolygon; ++k) {
      StagedPoint& point = builder.addPoint(number, 2.0 * number, 0);
      EXPECT_EQ(point.indexInPolygon, k);
      point.sourceNumber = static_cast<int32_t>(++number);
    }
  }
  EXPECT_EQ(builder.points(), number);
  EXPECT_EQ(builder.finish(), layout);

  ASSERT_EQ(pointCount(layout), number);
  ASSERT_EQ(polygonCount(layout), 2 * polygonsPerBatch + 1);
  for (uint32_t i = 0; i < number; i += 997) {
    EXPECT_EQ(pointAt(layout, i)->number, i + 1);
    EXPECT_EQ(pointAt(layout, i)->y, 2.0 * i);
  }
  EXPECT_EQ(polygonAt(layout, 3)->closed, 1);
  EXPECT_EQ(polygonAt(layout, 3)->pointCount, static_cast<int16_t>(perPolygon));
  EXPECT_EQ(mFolder(layout)->highestPointNumber, number);
  EXPECT_EQ(children(), 1u);
}

TEST_F(LayoutBuilderTest, FailureDeletesTheHalfBuiltLayout) {
  struct Case {
    const char* name;
    std::function<void(LayoutBuilder&)> fail;
  };
  const Case cases[] = {
      {"reader throws after a batch was committed",
       [](LayoutBuilder& b) {
         for (size_t i = 0; i <= LayoutBuilder::kCommitBatchPoints; ++i) {
           b.startPolygon();
           b.addPoint(1, 2, 3);
         }
         b.startPolygon();
         ASSERT_GT(pointCount(b.layout()), 0u);
         throw std::runtime_error("stop");
       }},
      {"duplicate point numbers in the final check",
       [](LayoutBuilder& b) {
         b.startPolygon();
         b.addPoint(1, 2, 3).sourceNumber = 5;
         b.addPoint(4, 5, 6).sourceNumber = 5;
         b.finish();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    EXPECT_ANY_THROW({
      LayoutBuilder builder(rootFolder(), "Plan");
      c.fail(builder);
    });
    EXPECT_EQ(children(), 0u);
  }
}

TEST_F(LayoutBuilderTest, DuplicateNumbersFailUnlessAccepted) {
  for (bool accept : {false, true}) {
    SCOPED_TRACE(accept);
    resetMeasurementStore();
    int code = thrownCode([&] {
      LayoutBuilder builder(rootFolder(), "Plan");
      builder.startPolygon();
      builder.addPoint(0, 0, 0).sourceNumber = 7;
      builder.addPoint(1, 0, 0).sourceNumber = 7;
      builder.finish(accept);
    });
    EXPECT_EQ(code, accept ? 0 : +ErrorCode::InvalidPointNumbers);
    EXPECT_EQ(children(), accept ? 1u : 0u);
  }
}

TEST_F(LayoutBuilderTest, TakenNameFailsAndKeepsTheExistingLayout) {
  LayoutBuilder first(rootFolder(), "Plan");
  first.finish();
  EXPECT_EQ(thrownCode([] { LayoutBuilder second(rootFolder(), "Plan"); }), +ErrorCode::LayoutExists);
  EXPECT_EQ(children(), 1u);
}

TEST_F(LayoutBuilderTest, CountsPointsWithFractionalXOrY) {
  struct Case {
    double x, y, z;
    bool fractional;
  };
  const Case cases[] = {
      {1000, 2000, 0.5, false},  // the height does not count
      {1000.25, 2000, 0, true},  {1000, -2000.5, 0, true},
      {1e-8, 3, 0, false},       // below the limit of 1e-7: whole
      {-1e-8, 3, 0, false},      {2 - 1e-6, 3, 0, true},
  };
  LayoutBuilder builder(rootFolder(), "Plan");
  uint64_t expected = 0;
  for (const Case& c : cases) {
    builder.startPolygon();
    builder.addPoint(c.x, c.y, c.z);
    if (c.fractional) ++expected;
    EXPECT_EQ(builder.fractionalPoints(), expected) << c.x << " " << c.y;
  }
}

TEST_F(LayoutBuilderTest, PolygonBeyondItsRecordLimitFails) {
  LayoutBuilder builder(rootFolder(), "Plan");
  builder.startPolygon();
  // One more than a polygon record counts may be staged (a closing point
  // that repeats the first may still be dropped); the next fails.
  for (uint32_t i = 0; i <= kMaxPolygonPoints; ++i) builder.addPoint(i, 0, 0);
  EXPECT_EQ(thrownCode([&] { builder.addPoint(0, 0, 0); }), +ErrorCode::StorageExceeded);
  // Unless the reader drops one, the commit fails too.
  EXPECT_EQ(thrownCode([&] { builder.finish(); }), +ErrorCode::StorageExceeded);
  builder.polygon().points.pop_back();
  EXPECT_EQ(thrownCode([&] { builder.finish(); }), 0);
  EXPECT_EQ(pointCount(builder.layout()), kMaxPolygonPoints);
}

}  // namespace
}  // namespace vltrx
