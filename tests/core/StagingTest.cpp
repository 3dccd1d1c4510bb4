// Staging model commit, layout creation and the point numberer with its
// renumbering prompt.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/PointNumberer.h"
#include "core/Staging.h"
#include "ui/RenumberPrompt.h"
#include "ui/Ui.h"

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

int errorCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const CError& e) {
    return e.code();
  }
  return 0;
}

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
  EXPECT_EQ(p0.temperature, -128);
  EXPECT_EQ(pointComment(p0), "first");
  EXPECT_EQ(pointName(p0), "A1");
  EXPECT_TRUE(categoryIds(p0).empty());
  const MPoint& p1 = *pointAt(layout, 1);
  EXPECT_EQ(p1.mode, 225);
  EXPECT_EQ(p1.comment, 0u);
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
  EXPECT_EQ(errorCode([&] { commitStagedPlan(layout, plan); }), +ErrorCode::StorageExceeded);
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
  EXPECT_EQ(errorCode([&] { commitStagedPlan(layout, plan); }), +ErrorCode::StorageExceeded);
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
  try {
    createLayout(root, "PLAN");
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::LayoutExists);
    if (text(62).find("%s") != std::string::npos) {
      EXPECT_NE(e.message().find("PLAN"), std::string::npos);
    }
  }
  // A folder of that name does not collide with a layout.
  BlockId folder = createNode("Plan2", true);
  ASSERT_EQ(linkChild(root, 0, folder), 0);
  EXPECT_NO_THROW(createLayout(root, "Plan2"));
  EXPECT_EQ(subFolder(root)->childCount, 4);
}

// --- PointNumberer ----------------------------------------------------------------

TEST(PointNumbererTest, NumbersFromSourceIds) {
  struct Case {
    const char* id;
    uint32_t number;
    NumberOutcome outcome;
  };
  // One numberer for the whole sequence: later rows see the numbers used before.
  const Case cases[] = {
      {"17", 17, NumberOutcome::Kept},
      {"17", 10001, NumberOutcome::RenumberedNotUnique},
      {"20000", 10002, NumberOutcome::Kept},  // remainder 0
      {"12345", 2345, NumberOutcome::Kept},
      {"2345", 10003, NumberOutcome::RenumberedNotUnique},
      {"A12", 10004, NumberOutcome::RenumberedAlphanumeric},
      {"12 ", 10005, NumberOutcome::RenumberedAlphanumeric},
      {"-5", 10006, NumberOutcome::RenumberedAlphanumeric},
      {"0009999", 9999, NumberOutcome::Kept},
      {"0", 10007, NumberOutcome::RenumberedNotUnique},
      {"123456789012345678901234567890", 7890, NumberOutcome::Kept},  // beyond 64 bits
      {"18446744073709551616", 1616, NumberOutcome::Kept},
  };
  PointNumberer numberer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    PointNumber n = numberer.assign(c.id);
    EXPECT_EQ(n.number, c.number);
    EXPECT_EQ(n.outcome, c.outcome);
    EXPECT_FALSE(n.keepName);
  }
}

TEST(PointNumbererTest, NextFreeSkipsNumbersInUse) {
  PointNumberer numberer(5);
  numberer.markUsed(6);
  EXPECT_EQ(numberer.assign("5").number, 5u);
  EXPECT_EQ(numberer.assign("x").number, 7u);  // 5 and 6 are taken
  EXPECT_EQ(numberer.assign("8").number, 8u);
  EXPECT_EQ(numberer.assign("y").number, 9u);
  EXPECT_EQ(numberer.assign("7").outcome, NumberOutcome::RenumberedNotUnique);
}

TEST(PointNumbererTest, StopsAboveTheLargestPointNumber) {
  PointNumberer numberer(2147483600);
  EXPECT_EQ(numberer.assign("P1").number, 2147483600u);
  EXPECT_EQ(numberer.assign("5").number, 5u);  // direct numbers still work
  try {
    numberer.assign("P2");
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::TooManyPoints);
  }
  PointNumberer alnum(2147483601);
  alnum.setAlphanumeric(true);
  EXPECT_EQ(errorCode([&] { alnum.assign("1"); }), +ErrorCode::TooManyPoints);
}

TEST(PointNumbererTest, AlphanumericModeMapsSourceTexts) {
  PointNumberer numberer;
  numberer.setAlphanumeric(true);
  struct Case {
    const char* id;
    uint32_t number;
    NumberOutcome outcome;
    bool keepName;
  };
  const Case cases[] = {
      {"A1", 10001, NumberOutcome::Kept, true},
      {"17", 10002, NumberOutcome::Kept, true},
      {"A1", 10003, NumberOutcome::RenumberedNotUnique, false},
      {"a1", 10004, NumberOutcome::Kept, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    PointNumber n = numberer.assign(c.id);
    EXPECT_EQ(n.number, c.number);
    EXPECT_EQ(n.outcome, c.outcome);
    EXPECT_EQ(n.keepName, c.keepName);
  }
  EXPECT_EQ(numberer.numberOfSource("A1"), 10001u);
  EXPECT_EQ(numberer.numberOfSource("B"), 0u);
}

// A ui that records the renumbering prompts and answers from a script.
class ScriptedUi : public SilentUi {
 public:
  std::vector<std::string> messages;
  std::vector<unsigned> previous;
  std::vector<int> answers;  // -1 = Cancel
  bool offered = false;

 protected:
  int doRenumberPrompt(std::string_view, std::string_view message, bool commentOffered,
                       unsigned previousBits) override {
    messages.emplace_back(message);
    previous.push_back(previousBits);
    offered = commentOffered;
    int answer = answers.empty() ? static_cast<int>(previousBits) : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return answer;
  }
};

TEST(PointNumbererTest, PromptOffersTheRightTextAndRemembersDoNotAskAgain) {
  ScriptedUi ui;
  ui.answers = {kRenumberIdAsComment, kRenumberDontAsk | kRenumberIdAsComment};
  PointNumberer numberer(10001, "CSV", true);
  EXPECT_EQ(numberPoint(numberer, "17", ui).number, 17u);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(numberPoint(numberer, "17", ui).number, 10001u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], numberer.promptMessage({10001, NumberOutcome::RenumberedNotUnique}, "17"));
  EXPECT_TRUE(ui.offered);
  EXPECT_TRUE(numberer.useIdAsComment());
  numberPoint(numberer, "B7", ui);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.previous[1], unsigned(kRenumberIdAsComment));  // preset from the previous answer
  numberPoint(numberer, "B8", ui);  // "do not ask again" was chosen
  EXPECT_EQ(ui.messages.size(), 2u);
  EXPECT_TRUE(numberer.useIdAsComment());
}

TEST(PointNumbererTest, QuietUiShowsNoPromptAndCancelEndsTheRun) {
  ScriptedUi quiet;
  quiet.setQuiet(true);
  PointNumberer numberer;
  numberPoint(numberer, "X", quiet);
  EXPECT_TRUE(quiet.messages.empty());

  ScriptedUi ui;
  ui.answers = {-1};
  try {
    numberPoint(numberer, "Y", ui);
    FAIL() << "no exit";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, -2137);
  }
}

TEST(PointNumbererTest, PromptMessageFillsFormatIdAndNumber) {
  PointNumberer numberer(10001, "DXF");
  for (int id : {10, 11}) {
    SCOPED_TRACE(id);
    const std::string& format = text(id);
    if (format.find("%s") == std::string::npos) GTEST_SKIP() << "message table not filled";
    NumberOutcome outcome = id == 10 ? NumberOutcome::RenumberedNotUnique : NumberOutcome::RenumberedAlphanumeric;
    std::string m = numberer.promptMessage({10042, outcome}, "P%s1");
    EXPECT_NE(m.find("DXF"), std::string::npos);
    EXPECT_NE(m.find("P%s1"), std::string::npos);
    EXPECT_NE(m.find("10042"), std::string::npos);
    EXPECT_EQ(m.find("%u"), std::string::npos);
  }
}

}  // namespace
}  // namespace vltrx
