// The message table: quoted English texts, completeness of all six columns,
// placeholders and accelerators kept by every translation, language choice.
#include "core/CError.h"
#include "core/MessageTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

using namespace vltrx;

namespace {

constexpr Language kAll[] = {Language::De, Language::En, Language::Fr, Language::It, Language::Es, Language::Ru};

// The printf conversions of a text in order ("%s", "%.3f", "%%"). Kept apart
// from the build-time generator on purpose: this test also catches a table
// that was produced without its check.
std::vector<std::string> placeholders(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    if (i + 1 < s.size() && s[i + 1] == '%') {
      out.emplace_back("%%");
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j < s.size() && std::string("-+#0").find(s[j]) != std::string::npos) ++j;
    while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.' || s[j] == '*')) ++j;
    while (j < s.size() && std::string("hlLzjt").find(s[j]) != std::string::npos) ++j;
    if (j < s.size() && std::string("diouxXeEfgGcs").find(s[j]) != std::string::npos) {
      out.push_back(s.substr(i, j + 1 - i));
      i = j;
    }
  }
  return out;
}

class MessageTable : public ::testing::Test {
 protected:
  void SetUp() override { setLanguage(Language::En); }
  void TearDown() override { setLanguage(Language::En); }
};

}  // namespace

TEST_F(MessageTable, EnglishTextsAreTheQuotedOnes) {
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {2, "Without categories "},
      {15, "Geodata Converter"},
      {39, " [line %d]"},
      {63, "Invalid point numbers (duplicate or missing numbers)"},
      {68, "Name is missing "},
      {74, "Unknown data format: %s"},
      {84, "File \"%s\": Unknown data format"},
      {103, "Number of points is bigger than\nthe maximum number of available point id's"},
      {112, "Invalid coord interpretation. Only interpretations like xyz|yxz|zxy|... are valid."},
      {116, "Invalid REB file "},
      {119, "An error occured while reading coordiantes"},
      {121,
       "Some points of the plan diverge more than %i m!\n\nIf necessary please check the input data and "
       "configuration (such as scale factor)."},
      {127, "To many categories / layers!"},
      {285, "Error %i occured during execution of MSXSL"},
      {329, "&Yes"},
      {330, "&No"},
      {338, "%i of %i file(s) converted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(text(c.id), c.text);
    EXPECT_EQ(text(c.id, Language::En), c.text);
  }
}

TEST_F(MessageTable, EveryIdHasATextInEveryLanguage) {
  for (Language l : kAll)
    for (int id = 0; id < kMessageCount; ++id) {
      SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(l) << ", id " << id);
      EXPECT_FALSE(text(id, l).empty());
    }
  EXPECT_TRUE(text(kMessageCount).empty());
  EXPECT_TRUE(text(-1).empty());
}

TEST_F(MessageTable, TranslationsKeepPlaceholdersAndAccelerators) {
  for (int id = 0; id < kMessageCount; ++id) {
    const std::string& en = text(id, Language::En);
    for (Language l : kAll) {
      SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(l) << ", id " << id);
      const std::string& t = text(id, l);
      EXPECT_EQ(placeholders(t), placeholders(en));
      EXPECT_EQ(std::count(t.begin(), t.end(), '&'), std::count(en.begin(), en.end(), '&'));
    }
  }
  // The usage text is filled with the version and then the year.
  EXPECT_EQ(placeholders(text(18, Language::En)), (std::vector<std::string>{"%s", "%s"}));
}

TEST_F(MessageTable, TranslationsDifferFromEnglish) {
  // A column that is a copy of the English one is a forgotten translation.
  for (Language l : kAll) {
    if (l == Language::En) continue;
    SCOPED_TRACE(static_cast<int>(l));
    int same = 0;
    for (int id = 0; id < kMessageCount; ++id) same += text(id, l) == text(id, Language::En);
    EXPECT_LT(same, 40);
  }
}

TEST_F(MessageTable, LanguageSelection) {
  struct Case {
    std::optional<std::string> stored;
    std::vector<std::string> args;
    Language expected;
  };
  const Case cases[] = {
      {std::nullopt, {"vltrx"}, Language::En},
      {"es", {"vltrx"}, Language::En},  // only "sp" selects Spanish from the stored value
      {"sp", {"vltrx"}, Language::Es},
      {"GE", {"vltrx"}, Language::De},
      {"Russian", {"vltrx"}, Language::Ru},
      {std::nullopt, {"vltrx", "-lang:es"}, Language::Es},
      {std::nullopt, {"vltrx", "-LANG:sp"}, Language::Es},
      {"de", {"vltrx", "-lang:xx"}, Language::En},  // unlisted code: English
      {"de", {"vltrx", "a.csv", "-lang:fr", "-lang:ru"}, Language::Fr},
      {"fr", {"vltrx", "-langx"}, Language::Fr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.value_or("(none)") << " " << c.args.back());
    EXPECT_EQ(selectLanguage(c.stored, c.args), c.expected);
  }
  EXPECT_STREQ(storedLanguageCode(Language::Es), "sp");
}

TEST_F(MessageTable, ErrorsCarryTheTextOfTheCurrentLanguage) {
  EXPECT_EQ(makeError(-2130, "abc").message(), "Unknown data format: abc");
  EXPECT_EQ(makeError(-613).message(), "Internal error");
  setLanguage(Language::De);
  CError e = makeError(-2130, "abc");
  EXPECT_EQ(e.code(), -2130);
  EXPECT_NE(e.message(), "Unknown data format: abc");
  EXPECT_NE(e.message().find("abc"), std::string::npos);
}
