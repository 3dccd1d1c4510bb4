// The point numberer: numbers from source ids, reduction, alphanumeric ids,
// the largest number, and the renumbering prompt with its texts.
#include "core/PointNumberer.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "tests/support/Failure.h"
#include "tests/support/Languages.h"
#include "tests/support/ScriptedUi.h"
#include "ui/RenumberPrompt.h"
#include "ui/Ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vltrx {
namespace {

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
  EXPECT_EQ(test::failure([&] { alnum.assign("1"); }), +ErrorCode::TooManyPoints);
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

TEST(PointNumbererTest, PromptOffersTheRightTextAndRemembersDoNotAskAgain) {
  test::ScriptedUi ui;
  ui.answers = {kRenumberIdAsComment, kRenumberDontAsk | kRenumberIdAsComment};
  PointNumberer numberer(10001, "CSV", true);
  EXPECT_EQ(numberPoint(numberer, "17", ui).number, 17u);
  EXPECT_TRUE(ui.prompts.empty());
  EXPECT_EQ(numberPoint(numberer, "17", ui).number, 10001u);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0], numberer.promptMessage({10001, NumberOutcome::RenumberedNotUnique}, "17"));
  EXPECT_TRUE(ui.commentOffered);
  EXPECT_TRUE(numberer.useIdAsComment());
  numberPoint(numberer, "B7", ui);
  ASSERT_EQ(ui.prompts.size(), 2u);
  EXPECT_EQ(ui.previousBits[1], unsigned(kRenumberIdAsComment));  // preset from the previous answer
  numberPoint(numberer, "B8", ui);  // "do not ask again" was chosen
  EXPECT_EQ(ui.prompts.size(), 2u);
  EXPECT_TRUE(numberer.useIdAsComment());
}

TEST(PointNumbererTest, QuietUiShowsNoPromptAndCancelEndsTheRun) {
  test::ScriptedUi quiet;
  quiet.setQuiet(true);
  PointNumberer numberer;
  numberPoint(numberer, "X", quiet);
  EXPECT_TRUE(quiet.prompts.empty());

  test::ScriptedUi ui;
  ui.answers = {-1};
  try {
    numberPoint(numberer, "Y", ui);
    FAIL() << "no exit";
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, -2137);
  }
}

TEST(PointNumbererTest, PromptMessageFillsFormatIdAndNumber) {
  // Texts 10 and 11 hold the format name, the source id and the new number
  // in this order in every language.
  PointNumberer numberer(10001, "DXF");
  for (Language language : test::kLanguages) {
    setLanguage(language);
    for (int id : {10, 11}) {
      SCOPED_TRACE(std::string(storedLanguageCode(language)) + " " + std::to_string(id));
      NumberOutcome outcome = id == 10 ? NumberOutcome::RenumberedNotUnique : NumberOutcome::RenumberedAlphanumeric;
      std::string m = numberer.promptMessage({10042, outcome}, "P%s1");
      const size_t format = m.find("DXF"), source = m.find("P%s1"), number = m.find("10042");
      ASSERT_NE(format, std::string::npos) << m;
      ASSERT_NE(source, std::string::npos) << m;
      ASSERT_NE(number, std::string::npos) << m;
      EXPECT_LT(format, source) << m;
      EXPECT_EQ(m.find("%u"), std::string::npos) << m;
      EXPECT_EQ(m.find("%s", source + 4), std::string::npos) << m;
    }
  }
  setLanguage(Language::En);
}

}  // namespace
}  // namespace vltrx
