// The option grammar: prefixes, switches, errors, and the checks after parsing.
#include "app/CommandLine.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"

#include <gtest/gtest.h>

using namespace vltrx;

namespace {

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(Language::En);
    buildFormatList(FormatDirection::Import);
    buildFormatList(FormatDirection::Export);
  }

  /// Parses "vltrx" + args into a fresh job and fresh option records.
  int parse(std::vector<std::string> args) {
    args.insert(args.begin(), "vltrx");
    job = ConversionJob{};
    options = AllFormatOptions{};
    return parseArguments(args, job, options);
  }

  /// The error code parse throws, 0 when it does not throw.
  int errorOf(std::vector<std::string> args) {
    try {
      parse(std::move(args));
    } catch (const CError& e) {
      return e.code();
    }
    return 0;
  }

  ConversionJob job;
  AllFormatOptions options;
};

}  // namespace

TEST_F(CommandLine, MalformedArgumentsFailWithTheirCodes) {
  struct Case { std::vector<std::string> args; int code; };
  const Case cases[] = {
      {{"a", "b", "c"}, -2118},
      {{"-in:nosuch"}, -2130},
      {{"-out:da30,xyz"}, -2130},
      {{"-scale:0"}, -2104},
      {{"-scale:1e-7"}, -2104},
      {{"-scale:2x"}, -2104},
      {{"-scale:"}, -2104},
      {{"-swap:xxy"}, -2129},
      {{"-swap:xy"}, -2129},
      {{"-swap:xyzz"}, -2129},
      {{"-approx:0.0005"}, -2106},
      {{"-epsilon:-1"}, -2107},
      {{"-pidin:3"}, -2115},
      {{"-pstyle:6,1"}, -2134},
      {{"-del:ab"}, -2108},
      {{"-delin:"}, -2108},
      {{"-dec:;"}, -2109},
      {{"-format:#XQZ"}, -2110},
      {{"-format:#XZ"}, -2110},
      {{"-formatin:#XYZC"}, -2110},
      {{"-cp:-1"}, -2111},
      {{"-cp:abc"}, -2111},
      {{"-pid:abc"}, -2112},
      {{"-coord:x"}, -2114},
      {{"-comment:1,VL,9"}, -2116},
      {{"-text:1,bogus"}, -2116},
      {{"-help:nosuch"}, -2113},
      {{"-opendlg"}, -2138},
      {{"-opendlg", "a", "b", "c"}, -2118},
      {{"-savedlg", "a", "b"}, -2138},
      {{"*categories", "out.xml", "-in:*"}, -2138},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(errorOf(c.args), c.code);
  }
}

TEST_F(CommandLine, AcceptedEdgeValues) {
  const std::vector<std::vector<std::string>> accepted = {
      {"-approx:0.001"}, {"-epsilon:0"}, {"-pstyle:34,0.5"}, {"-swap:xzy"}, {"-swap:YXZ"},
      {"-scale:0.000001"}, {"-scale:-2"}, {"-opendlg", "in.csv"}, {"-opendlg", "in.csv", "-delsource"},
      {"-in:*", "-out:*", "-saveopt:x.trxopt"}, {"-IN:csv"}, {"-format:#NEZ"}, {"-formatout:#XYZC"},
  };
  for (const auto& args : accepted) {
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_EQ(errorOf(args), 0);
  }
}

TEST_F(CommandLine, PrefixesAreCaseSensitiveAndUnknownOptionsIgnored) {
  ASSERT_EQ(parse({"in.csv", "-IN:csv", "-whatever"}), 0);
  EXPECT_EQ(job.inputFormat, 0);
  EXPECT_EQ(job.inputPath, "in.csv");
}

TEST_F(CommandLine, FormatsAndRebList) {
  ASSERT_EQ(parse({"-in:csv", "-out:DA30,da49"}), 0);
  EXPECT_EQ(job.inputFormat, kFormatCsv);
  EXPECT_EQ(job.outputFormat, kFormatReb);
  EXPECT_EQ(job.rebKinds, 5u);
  ASSERT_EQ(parse({"-in:xml_in", "-out:xml"}), 0);
  EXPECT_EQ(job.inputFormat, kFormatXml);
  EXPECT_EQ(job.outputFormat, kFormatXml);
  ASSERT_EQ(parse({"-in:*"}), 0);
  EXPECT_EQ(job.inputFormat, kAllFormats);
}

TEST_F(CommandLine, SwitchesSetTheOptionRecords) {
  ASSERT_EQ(parse({"-del:TAB", "-decout:,", "-pidred", "-cp:2", "-all", "-block:bp", "-kz:95", "-wi:comment,5",
                   "-wi:code,100", "-alphanum:", "-pstyle:34,0.5", "-incp:1251", "-incp:850", "-cat:5,7,9"}),
            0);
  EXPECT_EQ(options.csv.inDelimiter, kDelimiterTab);
  EXPECT_EQ(options.txt.outDelimiter, kDelimiterTab);
  EXPECT_EQ(options.csv.outDecimal, ',');
  EXPECT_TRUE(options.csv.inPidReduce && options.txt.inPidReduce);
  EXPECT_EQ(options.dxf.cpMethod, kCentrePointsByFactor);  // kept; only the factor changes
  EXPECT_DOUBLE_EQ(options.dxf.cpFactor, 2.0);
  EXPECT_TRUE(options.dxf.importAllLayers && options.dxf.importAllLayersWithoutAssignment);
  EXPECT_TRUE(options.dxf.importBlocksAnchorPoints);
  EXPECT_EQ(options.reb.outKz, 10);  // 95 is out of range: kept as configured
  EXPECT_EQ(options.gsi.wordIndexComment, 5);
  EXPECT_EQ(options.gsi.wordIndexCategory, 0);
  EXPECT_TRUE(options.csv.inAlphaNumIds && options.dxf.inAlphaNumIds);
  EXPECT_EQ(options.dxf.pdMode, 34);
  EXPECT_EQ(job.inputCodePage, 1251u);  // only the first -incp: counts
  EXPECT_EQ(job.categoryIds, (std::vector<int>{5, 7}));
  ASSERT_EQ(parse({"-all:create"}), 0);
  EXPECT_FALSE(options.dxf.importAllLayersWithoutAssignment);
}

TEST_F(CommandLine, ExportTextsGoToDxfOrSvgOrNowhere) {
  ASSERT_EQ(parse({"in.xml", "out.SVG", "-out:csv", "-pid:2.5,origlayer,3"}), 0);
  EXPECT_TRUE(options.svg.pid.enabled);
  EXPECT_DOUBLE_EQ(options.svg.pid.height, 2.5);
  EXPECT_TRUE(options.svg.pid.origLayer);
  EXPECT_EQ(options.svg.pid.orientation, 3);
  EXPECT_FALSE(options.dxf.pid.enabled);

  ASSERT_EQ(parse({"in.xml", "out", "-out:dxf", "-coord:-5,COORDS,(%x, %y),2", "-text:,forceheight"}), 0);
  EXPECT_TRUE(options.dxf.coord.enabled);
  EXPECT_TRUE(options.dxf.coord.relative);
  EXPECT_DOUBLE_EQ(options.dxf.coord.height, 5.0);
  EXPECT_EQ(options.dxf.coord.layer, "COORDS");
  EXPECT_EQ(options.dxf.coordFormat, "(%x, %y)");
  EXPECT_EQ(options.dxf.coord.orientation, 2);
  EXPECT_TRUE(options.dxf.text.enabled && options.dxf.textForceHeight);

  ASSERT_EQ(parse({"in.xml", "out.csv", "-pid:2"}), 0);
  EXPECT_FALSE(options.dxf.pid.enabled);
  EXPECT_FALSE(options.svg.pid.enabled);
}

TEST_F(CommandLine, HelpEndsWithOne) {
  EXPECT_EQ(parse({"-help"}), 1);
  EXPECT_EQ(parse({"-help:csv"}), 1);
  EXPECT_EQ(job.output.find(text(21)), 0u);
  EXPECT_EQ(parse({"-help:dxf"}), 1);
  EXPECT_EQ(job.output.find(text(19) + text(20)), 0u);
}

TEST_F(CommandLine, HelpOfEveryListedFormatIsItsTextThenTheCommonText) {
  const struct {
    const char* name;
    std::string help;
  } cases[] = {
      {"xml", text(25)}, {"dxf", text(19) + text(20)}, {"grid", text(30)}, {"csv", text(21)},
      {"txt", text(22)}, {"gsi", text(24)},            {"reb", text(27)},  {"dat", text(26)},
      {"svg", text(28)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string expected = c.help;
    if (expected.back() != '\n') expected += '\n';
    EXPECT_EQ(formatHelpText(c.name), expected + text(23));
  }
}

TEST_F(CommandLine, PrescanSeesDefaultVersionAndGui) {
  ConversionJob j;
  prescanArguments({"vltrx", "-default", "-version", "-gui"}, j);
  EXPECT_FALSE(j.loadSavedSettings);
  EXPECT_TRUE(j.versionQuery && j.guiRequested);
  ConversionJob k;
  prescanArguments({"vltrx", "-default:csv"}, k);
  EXPECT_TRUE(k.loadSavedSettings);
  EXPECT_EQ(k.defaultFormatName, "csv");
}
