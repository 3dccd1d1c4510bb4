// The XML writer: escaping, attribute forms, printf-exact numbers, lines,
// and that what it writes reads back through the parser.
#include "xml/XmlWriter.h"

#include "xml/XmlReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

using namespace vltrx;

TEST(XmlWriter, EscapesTheFiveMarkupCharacters) {
  StringSink sink;
  XmlWriter w(sink);
  w.escaped("a<b>c&d'e\"f");
  w.attributeText("name", "\"x\" & <y>");
  EXPECT_EQ(sink.str(), "a&lt;b&gt;c&amp;d&apos;e&quot;f name=\"&quot;x&quot; &amp; &lt;y&gt;\"");
}

TEST(XmlWriter, NumbersMatchPrintfFormats) {
  struct Case {
    double value;
    int precision;  // -1: "%g"
    const char* expected;
  };
  const Case cases[] = {
      {1234.56786, 4, "1234.5679"}, {-0.00004, 4, "-0.0000"},  {0.5, 0, "0"},        {1.5, 0, "2"},
      {2500.5, 0, "2500"},          {3.14159265, 5, "3.14159"}, {1e20, 4, "100000000000000000000.0000"},
      {12.5, -1, "12.5"},           {100000, -1, "100000"},     {1e6, -1, "1e+06"},   {0.0001, -1, "0.0001"},
      {0.00001, -1, "1e-05"},       {-123.456789, -1, "-123.457"}, {0, -1, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    StringSink sink;
    XmlWriter w(sink);
    if (c.precision < 0)
      w.general(c.value);
    else
      w.fixed(c.value, c.precision);
    EXPECT_EQ(sink.str(), c.expected);
  }
}

TEST(XmlWriter, FixedMatchesPrintfNearRoundingHalves) {
  // Decimal halves and their neighbours are where a shortcut through
  // value * 10^N would round the wrong way.
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> any(-2e10, 2e10);
  std::uniform_int_distribution<int64_t> digits(-999999999, 999999999);
  StringSink sink;
  XmlWriter w(sink);
  std::string expected;
  char buf[400];
  auto add = [&](double v, int precision) {
    w.fixed(v, precision);
    w.raw(" ");
    std::snprintf(buf, sizeof buf, "%.*f ", precision, v);
    expected += buf;
  };
  for (int i = 0; i < 20000; ++i) {
    int precision = i % 7;
    double half = (static_cast<double>(digits(random)) + 0.5) / std::pow(10.0, precision);
    for (double v : {half, std::nextafter(half, 0.0), std::nextafter(half, 1e300), -half, any(random),
                     any(random) / 1e6})
      add(v, precision);
  }
  for (double v : {0.0, -0.0, 0.00005, -0.00005, 0.000049999, 9999999999.99995, 1e10, -1e10, 0.125, 2.5, 1e-300})
    for (int precision = 0; precision <= 6; ++precision) add(v, precision);
  EXPECT_EQ(sink.str(), expected);
}

TEST(XmlWriter, AttributeForms) {
  StringSink sink;
  XmlWriter w(sink);
  w.raw("<point");
  w.attribute("id", -2147483647);
  w.attributeFixed("x", 5, 4);
  w.attributeShortText("comment", std::string(250, 'c'));
  w.raw("/>");
  w.endLine();
  EXPECT_EQ(sink.str(), "<point id=\"-2147483647\" x=\"5.0000\" comment=\"" + std::string(199, 'c') + "\"/>\r\n");
}

TEST(XmlWriter, CountsLines) {
  StringSink sink;
  XmlWriter w(sink);
  EXPECT_EQ(w.line(), 1u);
  w.raw("<a>\r\n<b>\r\n");
  w.endLine();
  w.attributeText("c", "two\nlines");
  EXPECT_EQ(w.line(), 5u);
}

TEST(XmlWriter, TicksOnRequest) {
  StringSink sink;
  XmlWriter w(sink);
  int ticks = 0;
  w.tick();
  w.setTick([&] { ++ticks; });
  w.tick();
  w.tick();
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(sink.str(), "");
}

TEST(XmlWriter, WrittenTextReadsBack) {
  const std::string tricky = "<&>'\" \xE4\xF6\xFC end";
  StringSink sink;
  XmlWriter w(sink);
  w.raw("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<root");
  w.attributeText("s", tricky);
  w.attributeFixed("x", -12.25, 4);
  w.raw(">\r\n<v>");
  w.general(6.5e-7);
  w.raw("</v>\r\n</root>\r\n");

  XmlReader r;
  r.openMemory(sink.str());
  std::array<std::string_view, 2> names = {"root", "v"};
  std::array<std::string_view, 2> attrs = {"S!s", "R!x"};
  char s[64];
  std::array<XmlSlot, 2> slots = {XmlSlot::textSlot(s), XmlSlot::realSlot(0)};
  ASSERT_EQ(r.checkDocumentStart(), 0);
  ASSERT_EQ(r.nextElement(names), 0);
  ASSERT_EQ(r.readAttributes(attrs, slots), 0);
  EXPECT_EQ(std::string(s), tricky);
  EXPECT_EQ(slots[1].real, -12.25);
  ASSERT_EQ(r.nextElement(names), 1);
  char text[20];
  ASSERT_EQ(r.elementText(text), 7);
  EXPECT_EQ(std::string(text), "6.5e-07");
  ASSERT_EQ(r.endDocument(), 0);
}
