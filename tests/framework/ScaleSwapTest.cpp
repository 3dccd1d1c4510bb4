// Swap-order parsing, which side of a conversion counts, the command-line
// overrides and the per-point transformation.
#include "framework/ScaleSwap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "framework/FormatOptions.h"

namespace vltrx {
namespace {

TEST(ScaleSwap, ParseSwapOrder) {
  struct Case {
    const char* order;
    bool ok;
    AxisOrder indices;
  } cases[] = {
      {"XYZ", true, {0, 1, 2}}, {"xyz", true, {0, 1, 2}}, {"YXZ", true, {1, 0, 2}},
      {"yxz", true, {1, 0, 2}}, {"yXz", true, {1, 0, 2}}, {"ZXY", true, {1, 2, 0}},
      {"XZY", true, {0, 2, 1}},
      // An axis whose letter does not occur keeps index 0.
      {"XXZ", true, {1, 0, 2}}, {"ZZZ", true, {0, 0, 2}},
      {"XY", false, {}},        {"", false, {}},           {"XYW", false, {}},
      {"NEZ", false, {}},       {"X Z", false, {}},
      // Characters after the third do not count.
      {"XYZW", true, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    const auto parsed = parseSwapOrder(c.order);
    ASSERT_EQ(parsed.has_value(), c.ok);
    if (c.ok) {
      EXPECT_EQ(*parsed, c.indices);
    }
  }
}

TEST(ScaleSwap, XxzActsLikeYxz) {
  EXPECT_EQ(parseSwapOrder("XXZ"), parseSwapOrder("YXZ"));
  EXPECT_EQ(parseSwapOrder("yxz"), parseSwapOrder("YXZ"));
}

FormatOptions sides(double inScale, const char* inOrder, bool inSwap, double outScale, const char* outOrder,
                    bool outSwap) {
  FormatOptions o;
  o.inScaleFactor = inScale;
  o.inSwapOrder = inOrder;
  o.inSwap = inSwap;
  o.outScaleFactor = outScale;
  o.outSwapOrder = outOrder;
  o.outSwap = outSwap;
  return o;
}

TEST(ScaleSwap, WhichSideCounts) {
  for (FormatType t = 0; t <= 14; ++t) {
    SCOPED_TRACE(t);
    const bool in = t == 3 || (t >= 5 && t <= 12);
    const bool out = t == 3 || (t >= 5 && t <= 9) || t == 12;
    EXPECT_EQ(honoursInputSide(t), in);
    EXPECT_EQ(honoursOutputSide(t), out);
  }
  const FormatOptions in = sides(2.0, "YXZ", true, 100.0, "ZXY", true);
  const FormatOptions out = sides(100.0, "ZXY", true, 3.0, "XZY", true);

  // ESRI input and SVG or DAT output contribute 1.0 and "XYZ".
  ScaleSwap t = combineScaleSwap(kFormatEsri, &in, kFormatSvg, &out);
  EXPECT_EQ(t.scale, 1.0);
  EXPECT_EQ(t.inIndices, kIdentityOrder);
  EXPECT_EQ(t.outIndices, kIdentityOrder);
  EXPECT_TRUE(t.isIdentity());

  t = combineScaleSwap(kFormatCsv, &in, kFormatDat, &out);
  EXPECT_EQ(t.scale, 2.0);
  EXPECT_EQ(t.inOrder, "YXZ");
  EXPECT_EQ(t.outOrder, "XYZ");

  t = combineScaleSwap(kFormatDxf, &in, kFormatXml, &out);
  EXPECT_EQ(t.scale, 6.0);
  EXPECT_EQ(t.inIndices, (AxisOrder{1, 0, 2}));
  EXPECT_EQ(t.outIndices, (AxisOrder{0, 2, 1}));

  // Null records count as defaults.
  t = combineScaleSwap(kFormatDxf, nullptr, kFormatXml, nullptr);
  EXPECT_TRUE(t.isIdentity());
}

TEST(ScaleSwap, SwapOrderCountsOnlyWithItsFlag) {
  const FormatOptions in = sides(1.0, "YXZ", false, 1.0, "ZYX", false);
  const ScaleSwap t = combineScaleSwap(kFormatCsv, &in, kFormatCsv, &in);
  EXPECT_EQ(t.inOrder, "XYZ");
  EXPECT_EQ(t.outOrder, "XYZ");
}

TEST(ScaleSwap, StoredFactorsTheCommandLineRefusesFailWhenUsed) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    double inScale, outScale;
    bool refused;
  };
  const Case cases[] = {
      {"infinite (1e400)", inf, 1.0, true},   {"zero", 0.0, 1.0, true},
      {"below 0.000001", 1e-300, 1.0, true},  {"not a number", std::nan(""), 1.0, true},
      {"output side", 1.0, -1e-7, true},      {"product beyond a double", 1e300, 1e300, true},
      {"smallest allowed", 0.000001, 1.0, false}, {"negative", -2.0, 1.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FormatOptions in = sides(c.inScale, "XYZ", false, 1.0, "XYZ", false);
    const FormatOptions out = sides(1.0, "XYZ", false, c.outScale, "XYZ", false);
    int code = 0;
    try {
      combineScaleSwap(kFormatCsv, &in, kFormatCsv, &out);
    } catch (const CError& e) {
      code = e.code();
    }
    EXPECT_EQ(code, c.refused ? +ErrorCode::InvalidScaleFactor : 0);
    // A -scale: for the run takes their place; an unused side is not checked.
    EXPECT_EQ(combineScaleSwap(kFormatCsv, &in, kFormatCsv, &out, 2.0).scale, 2.0);
  }
  const FormatOptions zero = sides(0.0, "XYZ", false, 0.0, "XYZ", false);
  EXPECT_EQ(combineScaleSwap(kFormatEsri, &zero, kFormatSvg, &zero).scale, 1.0);
}

TEST(ScaleSwap, CommandLineOverrides) {
  const FormatOptions in = sides(2.0, "YXZ", true, 1.0, "XYZ", false);
  const FormatOptions out = sides(1.0, "XYZ", false, 5.0, "ZYX", true);

  ScaleSwap t = combineScaleSwap(kFormatTxt, &in, kFormatGsi, &out, 0.5);
  EXPECT_EQ(t.scale, 0.5);  // replaces the product, not multiplied
  EXPECT_EQ(t.inOrder, "YXZ");

  t = combineScaleSwap(kFormatTxt, &in, kFormatGsi, &out, 0.0);
  EXPECT_EQ(t.scale, 10.0);  // 0 means no override

  t = combineScaleSwap(kFormatTxt, &in, kFormatGsi, &out, 0.0, "zxy");
  EXPECT_EQ(t.inOrder, "XYZ");
  EXPECT_EQ(t.outOrder, "zxy");
  EXPECT_EQ(t.inIndices, kIdentityOrder);
  EXPECT_EQ(t.outIndices, (AxisOrder{1, 2, 0}));
}

TEST(ScaleSwap, AppliesScaleThenInputThenOutputOrder) {
  const FormatOptions in = sides(2.0, "YXZ", true, 1.0, "XYZ", false);
  const FormatOptions out = sides(1.0, "XYZ", false, 1.0, "ZXY", true);
  const ScaleSwap t = combineScaleSwap(kFormatCsv, &in, kFormatCsv, &out);

  std::vector<Xyz> points{{1, 2, 3}, {-1, 0, 0.5}};
  applyScaleSwap(t, points);
  // (1,2,3) * 2 = (2,4,6); YXZ gives (4,2,6); ZXY takes x from 1, y from 2,
  // z from 0: (2,6,4).
  EXPECT_EQ(points[0].x, 2);
  EXPECT_EQ(points[0].y, 6);
  EXPECT_EQ(points[0].z, 4);
  EXPECT_EQ(points[1].x, -2);
  EXPECT_EQ(points[1].y, 1);
  EXPECT_EQ(points[1].z, 0);
}

TEST(ScaleSwap, OrderThatFailsLeavesCoordinates) {
  const FormatOptions in = sides(1.0, "XY", true, 1.0, "ABC", true);
  const ScaleSwap t = combineScaleSwap(kFormatCsv, &in, kFormatCsv, &in);
  std::vector<Xyz> points{{1, 2, 3}};
  applyScaleSwap(t, points);
  EXPECT_EQ(points[0].x, 1);
  EXPECT_EQ(points[0].y, 2);
  EXPECT_EQ(points[0].z, 3);
}

// A layout with the points (1,2,3) and (4,5,6) and the given offsets.
BlockId makeLayout(const char* name, double ox, double oy, double oz) {
  const BlockId layout = createNode(name, false);
  EXPECT_NE(layout, 0u);
  MPoint p = blankPoint();
  p.x = 1, p.y = 2, p.z = 3;
  EXPECT_EQ(addPoint(layout, 0, p), 0);
  p.x = 4, p.y = 5, p.z = 6;
  EXPECT_EQ(addPoint(layout, 1, p), 0);
  MFolder* f = mFolder(layout);
  f->xOffset = ox, f->yOffset = oy, f->zOffset = oz;
  return layout;
}

TEST(ScaleSwap, LayoutPointsAndOffsetsTransformTogether) {
  resetMeasurementStore();
  const BlockId root = rootFolder();
  const BlockId a = makeLayout("a", 0, 0, 0);
  const BlockId b = makeLayout("b", 1000, 2000, 0);
  ASSERT_EQ(linkChild(root, 0, a), 0);
  ASSERT_EQ(linkChild(root, 1, b), 0);

  FormatOptions in;
  in.inScaleFactor = 10;
  in.inSwap = true;
  in.inSwapOrder = "YXZ";
  const ScaleSwap t = combineScaleSwap(kFormatCsv, &in, kFormatXml, nullptr);
  ASSERT_EQ(applyScaleSwapToTree(t, root), 0);

  for (BlockId layout : {a, b}) {
    SCOPED_TRACE(nodeName(layout));
    ASSERT_EQ(pointCount(layout), 2u);
    // Packed records: copy the fields before comparing.
    const double x0 = pointAt(layout, 0)->x, y0 = pointAt(layout, 0)->y, z0 = pointAt(layout, 0)->z;
    const double x1 = pointAt(layout, 1)->x, y1 = pointAt(layout, 1)->y;
    EXPECT_EQ(x0, 20);
    EXPECT_EQ(y0, 10);
    EXPECT_EQ(z0, 30);
    EXPECT_EQ(x1, 50);
    EXPECT_EQ(y1, 40);
  }
  // The evaluated coordinate of b's first point was (1001, 2002, 3); it is
  // now (20020, 10010, 30).
  const BoundingBox box = boundingBox(b);
  EXPECT_EQ(box.minX, 20020);
  EXPECT_EQ(box.minY, 10010);
  EXPECT_EQ(box.minZ, 30);

  EXPECT_EQ(applyScaleSwapToLayout(t, root), static_cast<int>(ErrorCode::InvalidBlockId));
  resetMeasurementStore();
}

}  // namespace
}  // namespace vltrx
