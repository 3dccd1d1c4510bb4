// The option grammar: prefixes, switches, errors, and the checks after parsing.
#include "app/CommandLine.h"

#include "core/CError.h"
#include "core/MessageTable.h"
#include "framework/AllFormatOptions.h"
#include "framework/FormatTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

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

namespace {

// Everything a parse leaves behind, as "name=value" lines for the fields
// that differ from a parse of no arguments: the job's fields, every stored
// option value and the option fields that are set for one run only.
std::vector<std::string> stateLines(const ConversionJob& job, AllFormatOptions& options) {
  std::vector<std::string> lines;
  auto add = [&](const std::string& name, const std::string& value) { lines.push_back(name + "=" + value); };
  auto number = [](double v) {
    std::ostringstream s;
    s << v;
    return s.str();
  };
  add("action", std::to_string(static_cast<int>(job.action)));
  add("inputPath", job.inputPath);
  add("outputPath", job.outputPath);
  add("pathCount", std::to_string(job.pathCount));
  add("inputFormat", std::to_string(job.inputFormat));
  add("outputFormat", std::to_string(job.outputFormat));
  add("inputFormatName", job.inputFormatName);
  add("outputFormatName", job.outputFormatName);
  add("optionFormatName", job.optionFormatName);
  add("deleteSource", std::to_string(job.deleteSource));
  add("xmlCopy", std::to_string(job.xmlCopy));
  add("rebKinds", std::to_string(job.rebKinds));
  add("swapText", job.swapText);
  add("scale", number(job.scale));
  add("inputCodePage", std::to_string(job.inputCodePage) + (job.inputCodePageAuto ? " auto" : ""));
  add("outputCodePage", std::to_string(job.outputCodePage) + (job.outputCodePageAuto ? " auto" : ""));
  std::string ids;
  for (int id : job.categoryIds) ids += std::to_string(id) + ",";
  add("categoryIds", ids);
  add("noDialog", std::to_string(job.noDialog));
  add("output", job.output.substr(0, std::min(job.output.find('\n'), size_t{40})));
  for (FormatOptions* r : options.records()) {
    OptionBindings bindings;
    r->bind(bindings);
    for (const OptionBinding& b : bindings) add(b.name, bindingValueText(b));
    add(r->keyPrefix + ".title", r->title);
    add(r->keyPrefix + ".keyPrefix", r->keyPrefix);
    add(r->keyPrefix + ".alphaNumIdsNotOffered", std::to_string(r->alphaNumIdsNotOffered));
  }
  add("DXF.keepVlPrefix", std::to_string(options.dxf.keepVlPrefix));
  add("XML.preferredSystem", std::to_string(options.xml.preferredSystem));
  const SvgOptions& svg = options.svg;
  for (const auto& [name, label] : {std::pair{"pid", &svg.pid}, std::pair{"coord", &svg.coord},
                                    std::pair{"comment", &svg.comment}, std::pair{"text", &svg.text}}) {
    add(std::string("SVG.") + name,
        std::to_string(label->enabled) + " " + number(label->height) + " " + std::to_string(label->relative) + " " +
            std::to_string(label->origLayer) + " " + label->layer + " " + std::to_string(label->orientation));
  }
  add("SVG.coordFormat", svg.coordFormat);
  add("SVG.textForceHeight", std::to_string(svg.textForceHeight));
  add("SVG.svgVersion", number(svg.svgVersion));
  return lines;
}

}  // namespace

// Every option of the table, its prefix neighbours and the table order:
// what each argument list changes, or the error it ends with.
TEST_F(CommandLine, ArgumentCasesAndTheStateTheyLeave) {
  struct Case {
    std::vector<std::string> args;
    int result;  // parse result, or the CError code
    std::vector<std::string> changed;
  };
  const Case cases[] = {
      {{"in.csv"}, 0, {"inputPath=in.csv", "pathCount=1"}},
      {{"in.csv", "out.xml"}, 0, {"inputPath=in.csv", "outputPath=out.xml", "pathCount=2"}},
      {{""}, 0, {"pathCount=1"}},
      {{"in.csv", "-", "--in:csv", "-IN:csv", "-whatever"}, 0, {"inputPath=in.csv", "pathCount=1"}},
      {{"-in:csv"}, 0, {"inputFormat=6", "inputFormatName=csv"}},
      {{"-in:CSV"}, 0, {"inputFormat=6", "inputFormatName=CSV"}},
      {{"-in:xml_in"}, 0, {"inputFormat=3", "inputFormatName=xml_in"}},
      {{"-in:ml_in"}, 0, {"inputFormat=3", "inputFormatName=ml_in"}},
      {{"-in:*"}, 0, {"inputFormat=13", "inputFormatName=*"}},
      {{"-in:"}, -2130, {}},
      {{"-in:svg"}, -2130, {}},
      {{"-out:xml"}, 0, {"outputFormat=3", "outputFormatName=xml"}},
      {{"-out:*"}, 0, {"outputFormat=13", "outputFormatName=*"}},
      {{"-out:da45"}, 0, {"outputFormat=9", "outputFormatName=da45", "rebKinds=2", "REB_OutType=2"}},
      {{"-out:DA30,da49"}, 0, {"outputFormat=9", "outputFormatName=DA30,da49", "rebKinds=5", "REB_OutType=5"}},
      {{"-out:da30,da30"}, 0, {"outputFormat=9", "outputFormatName=da30,da30", "rebKinds=1"}},
      {{"-out:"}, -2130, {}},
      {{"-out:grid"}, -2130, {}},
      {{"-incp:1251", "-incp:850"}, 0, {"inputCodePage=1251"}},
      {{"-incp:abc", "-incp:5"}, 0, {"inputCodePage=5"}},
      {{"-incp:12x"}, 0, {"inputCodePage=12"}},
      {{"-outcp:65001", "-outcp:1252"}, 0, {"outputCodePage=65001"}},
      {{"-alphanum:"}, 0, {"XML_In_PID_AlphaNum=1", "ESRI_In_PID_AlphaNum=1", "DXF_In_PID_AlphaNum=1", "CSV_In_PID_AlphaNum=1", "TXT_In_PID_AlphaNum=1", "GSI_In_PID_AlphaNum=1", "REB_In_PID_AlphaNum=1", "DAT_In_PID_AlphaNum=1", "XSLT_In_PID_AlphaNum=1"}},
      {{"-alphanum"}, 0, {}},
      {{"-nodialog"}, 0, {"noDialog=1"}},
      {{"-nodialogs"}, 0, {"noDialog=1"}},
      {{"-saveopt:x.trxopt"}, 0, {"action=3", "inputPath=x.trxopt"}},
      {{"in.csv", "-saveopt:"}, 0, {"action=3", "pathCount=1"}},
      {{"-loadopt:y.trxopt"}, 0, {"action=4", "inputPath=y.trxopt"}},
      {{"-delsource"}, 0, {"deleteSource=1"}},
      {{"-delsourcex"}, 0, {"deleteSource=1"}},
      {{"-opendlg", "in.csv"}, 0, {"action=1", "inputPath=in.csv", "pathCount=1"}},
      {{"-savedlg", "in.csv", "-delsource"}, 0, {"action=2", "inputPath=in.csv", "pathCount=1", "deleteSource=1"}},
      {{"-savedlg", "in.csv", "out.csv"}, -2138, {}},
      {{"-scale:2.5"}, 0, {"scale=2.5"}},
      {{"-scale:-2"}, 0, {"scale=-2"}},
      {{"-scale:0.000001"}, 0, {"scale=1e-06"}},
      {{"-scale:inf"}, -2104, {}},
      {{"-scale:nan"}, -2104, {}},
      {{"-all"}, 0, {"DXF_ImportAllLayersWithoutAssignment=1"}},
      {{"-all:create"}, 0, {}},
      {{"-allx"}, 0, {"DXF_ImportAllLayersWithoutAssignment=1"}},
      {{"-xmlcopy"}, 0, {"xmlCopy=1"}},
      {{"-approx:0.5"}, 0, {"DXF_Approx=0.5000000000"}},
      {{"-approx:0.5abc"}, 0, {"DXF_Approx=0.5000000000"}},
      {{"-approx:0.001"}, 0, {"DXF_Approx=0.0010000000"}},
      {{"-approx:inf"}, -2106, {}},
      {{"-epsilon:0"}, 0, {"DXF_Epsilon=0.0000000000"}},
      {{"-epsilon:"}, -2107, {}},
      {{"-pidin:"}, 0, {"DXF_PID_Import=1"}},
      {{"-pidin:1,-0.5,LAY,ATT,7"}, 0, {"DXF_PID_Import=1", "DXF_PID_ImportSource=1", "DXF_PID_ImportEpsilon=-0.5000000000", "DXF_PID_BlockAttribute=\"ATT\"", "DXF_PID_BlockTextNumber=7", "DXF_PID_ImportLayer=\"LAY\""}},
      {{"-pidin:2,0.25"}, 0, {"DXF_PID_Import=1", "DXF_PID_ImportSource=2", "DXF_PID_ImportEpsilon=0.2500000000"}},
      {{"-pidin:,,,,0"}, 0, {"DXF_PID_Import=1"}},
      {{"-pidin:,,,,5000000"}, 0, {"DXF_PID_Import=1", "DXF_PID_BlockTextNumber=1000000"}},
      {{"-pidin:x"}, -2115, {}},
      {{"-pidin:-1"}, -2115, {}},
      {{"-block:"}, 0, {"DXF_ImportBlocksAnchorPoints=0"}},
      {{"-block:bp"}, 0, {}},
      {{"-block:BP"}, 0, {"DXF_ImportBlocksAnchorPoints=0"}},
      {{"-block"}, 0, {}},
      {{"-proxy"}, 0, {"DXF_In_ImportProxyGraphicsAnchorPoints=1"}},
      {{"-pstyle:34,0.5"}, 0, {"DXF_PDMODE=34", "DXF_PDSIZE=0.5000000000"}},
      {{"-pstyle:,2"}, 0, {"DXF_PDSIZE=2.0000000000"}},
      {{"-pstyle:100"}, 0, {"DXF_PDMODE=100"}},
      {{"-pstyle:35,x"}, -2134, {}},
      {{"-pstyle:x"}, -2134, {}},
      {{"-pp"}, 0, {"DXF_Out_AddPolyPoints=1"}},
      {{"-addvl"}, 0, {"DXF_Out_AddVLLayerPrefix=0"}},
      {{"-keepvl"}, 0, {"DXF.keepVlPrefix=1"}},
      {{"-pidred"}, 0, {"CSV_In_PIDReduce=1", "TXT_In_PIDReduce=1"}},
      {{"-del:;"}, 0, {"TXT_In_Delimiter=\";\"", "TXT_Out_Delimiter=\";\""}},
      {{"-del:ws"}, 0, {"CSV_In_Delimiter=WS", "CSV_Out_Delimiter=WS", "TXT_Out_Delimiter=WS"}},
      {{"-del:WS"}, 0, {"CSV_In_Delimiter=WS", "CSV_Out_Delimiter=WS", "TXT_Out_Delimiter=WS"}},
      {{"-del:Tab"}, 0, {"CSV_In_Delimiter=TAB", "CSV_Out_Delimiter=TAB", "TXT_In_Delimiter=TAB"}},
      {{"-del:\t"}, 0, {"CSV_In_Delimiter=TAB", "CSV_Out_Delimiter=TAB", "TXT_In_Delimiter=TAB"}},
      {{"-del:,"}, 0, {"CSV_In_Delimiter=\",\"", "CSV_Out_Delimiter=\",\"", "TXT_In_Delimiter=\",\"", "TXT_Out_Delimiter=\",\""}},
      {{"-del:1"}, 0, {"CSV_In_Delimiter=\"1\"", "CSV_Out_Delimiter=\"1\"", "TXT_In_Delimiter=\"1\"", "TXT_Out_Delimiter=\"1\""}},
      {{"-del:."}, 0, {"CSV_In_Delimiter=\".\"", "CSV_Out_Delimiter=\".\"", "TXT_In_Delimiter=\".\"", "TXT_Out_Delimiter=\".\""}},
      {{"-delout:\""}, 0, {"CSV_Out_Delimiter=\"\"\"", "TXT_Out_Delimiter=\"\"\""}},
      {{"-del:"}, -2108, {}},
      {{"-delin:TAB"}, 0, {"CSV_In_Delimiter=TAB", "TXT_In_Delimiter=TAB"}},
      {{"-delout:,"}, 0, {"CSV_Out_Delimiter=\",\"", "TXT_Out_Delimiter=\",\""}},
      {{"-delout:"}, -2108, {}},
      {{"-delx:;"}, 0, {}},
      {{"-dec:,"}, 0, {"CSV_In_Decimal=\",\"", "CSV_Out_Decimal=\",\"", "TXT_In_Decimal=\",\"", "TXT_Out_Decimal=\",\""}},
      {{"-dec:."}, 0, {}},
      {{"-dec:"}, -2109, {}},
      {{"-decin:,"}, 0, {"CSV_In_Decimal=\",\"", "TXT_In_Decimal=\",\""}},
      {{"-decout:."}, 0, {}},
      {{"-decout:x"}, -2109, {}},
      {{"-decimal"}, 0, {}},
      {{"-format:#NEZ"}, 0, {"TXT_In_Format=\"#NEZ\"", "TXT_Out_Format=\"#NEZ\""}},
      {{"-format:#XYZC"}, -2110, {}},
      {{"-format:"}, -2110, {}},
      {{"-formatin:#XYZK"}, 0, {"TXT_In_Format=\"#XYZK\""}},
      {{"-formatin:#XYZC"}, -2110, {}},
      {{"-formatout:#xyzc"}, 0, {"TXT_Out_Format=\"#xyzc\""}},
      {{"-formatout:#XYYZ"}, -2110, {}},
      {{"-formats"}, 0, {}},
      {{"-kz:50"}, 0, {"REB_Out_KZ=50"}},
      {{"-kz:95"}, 0, {}},
      {{"-kz:10"}, 0, {}},
      {{"-kz:89"}, 0, {"REB_Out_KZ=89"}},
      {{"-kz:abc"}, 0, {}},
      {{"-wi:comment,5"}, 0, {"GSI_In_WordIndex_Comment=5"}},
      {{"-wi:comment,x"}, 0, {"GSI_In_WordIndex_Comment=0"}},
      {{"-wi:code,100"}, 0, {}},
      {{"-wi:code,99"}, 0, {"GSI_In_WordIndex_Category=99"}},
      {{"-wi:codex"}, 0, {}},
      {{"-cat:5,7,9"}, 0, {"categoryIds=5,7,"}},
      {{"-cat:x,3"}, 0, {"categoryIds=3,"}},
      {{"-cat:"}, 0, {}},
      {{"-gui"}, 0, {"action=5"}},
      {{"-guix"}, 0, {"action=5"}},
      {{"-cp:all"}, 0, {"DXF_CPMethod=1"}},
      {{"-cp:none"}, 0, {"DXF_CPMethod=0"}},
      {{"-cp:2"}, 0, {"DXF_CPFactor=2.0000000000"}},
      {{"-cp:0"}, 0, {"DXF_CPFactor=0.0000000000"}},
      {{"-cp:allx"}, 0, {"DXF_CPMethod=1"}},
      {{"-cp:"}, -2111, {}},
      {{"out.dxf", "-pid:"}, 0, {"inputPath=out.dxf", "pathCount=1"}},
      {{"a", "out.dxf", "-pid:2.5,origlayer,3"}, 0, {"inputPath=a", "outputPath=out.dxf", "pathCount=2", "DXF_PID=1", "DXF_PIDHeight=2.5000000000", "DXF_PID_OrgLayer=1", "DXF_PID_Orientation=3"}},
      {{"a", "out.DXF", "-pid:,PIDS"}, 0, {"inputPath=a", "outputPath=out.DXF", "pathCount=2", "DXF_PID=1", "DXF_PID_Layer=\"PIDS\""}},
      {{"a", "out", "-out:dxf", "-pid:-3"}, 0, {"inputPath=a", "outputPath=out", "pathCount=2", "outputFormat=5", "outputFormatName=dxf", "DXF_PID=1", "DXF_PIDHeight=-3.0000000000"}},
      {{"a", "out.svg", "-pid:1,,4"}, 0, {"inputPath=a", "outputPath=out.svg", "pathCount=2", "SVG.pid=1 1 0 0 VL_PID 4"}},
      {{"a", "out.svg", "-pid:1,,5"}, -2112, {}},
      {{"a", "out.csv", "-pid:2"}, 0, {"inputPath=a", "outputPath=out.csv", "pathCount=2"}},
      {{"-pid:inf"}, -2112, {}},
      {{"-help"}, 1, {"output=vltrx 3.40 - Velmora Geodata Converter"}},
      {{"-helpme"}, 1, {"output=vltrx 3.40 - Velmora Geodata Converter"}},
      {{"-help:csv"}, 1, {"output=CSV (-in:csv, -out:csv): spreadsheet tab"}},
      {{"-help:dxf_in"}, 1, {"output=DXF import (-in:dxf): ASCII drawings of "}},
      {{"-help:"}, -2113, {}},
      {{"-help", "-in:nosuch"}, 1, {"output=vltrx 3.40 - Velmora Geodata Converter"}},
      {{"-in:csv", "-help", "a", "b", "c"}, 1, {"inputFormat=6", "inputFormatName=csv", "output=vltrx 3.40 - Velmora Geodata Converter"}},
      {{"-lang:de"}, 0, {}},
      {{"-default"}, 0, {}},
      {{"-default:csv"}, 0, {}},
      {{"-version"}, 0, {}},
      {{"-opt:csv_in"}, 0, {"action=6", "optionFormatName=csv_in"}},
      {{"-opt:"}, 0, {"action=6"}},
      {{"a", "b.dxf", "-coord:-5,COORDS,(%x, %y),2"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Coord=1", "DXF_CoordHeight=-5.0000000000", "DXF_Coord_Layer=\"COORDS\"", "DXF_CoordFormat=\"(%x, %y)\"", "DXF_Coord_Orientation=2"}},
      {{"a", "b.dxf", "-coord:1,L,%x;%y"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Coord=1", "DXF_CoordHeight=1.0000000000", "DXF_Coord_Layer=\"L\"", "DXF_CoordFormat=\"%x;%y\""}},
      {{"a", "b.dxf", "-coord:1,origlayer"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Coord=1", "DXF_CoordHeight=1.0000000000", "DXF_Coord_OrigLayer=1"}},
      {{"a", "b.dxf", "-coord:,,,"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Coord=1", "DXF_CoordFormat=\",\""}},
      {{"a", "b.svg", "-coord:2,,(%x %y %z)"}, 0, {"inputPath=a", "outputPath=b.svg", "pathCount=2", "SVG.coord=1 2 0 0 VL_COORD 0", "SVG.coordFormat=(%x %y %z)"}},
      {{"-coord:1,L,f,9"}, -2114, {}},
      {{"-swap:yxz"}, 0, {"swapText=yxz"}},
      {{"-swap:XZY"}, 0, {"swapText=XZY"}},
      {{"-swap:xyy"}, -2129, {}},
      {{"a", "b.dxf", "-comment:1,VL_C,2"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Comment=1", "DXF_Comment_Layer=\"VL_C\"", "DXF_Comment_Height=1.0000000000", "DXF_Comment_Orientation=2"}},
      {{"a", "b.svg", "-comment:-2,origlayer"}, 0, {"inputPath=a", "outputPath=b.svg", "pathCount=2", "SVG.comment=1 2 1 1 VL_COMMENT 0"}},
      {{"-comment:x"}, -2116, {}},
      {{"a", "b.dxf", "-text:3,forceheight"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Text=1", "DXF_TextHeight=3.0000000000", "DXF_Text_ForceHeight=1"}},
      {{"a", "b.svg", "-text:,ForceHeight"}, 0, {"inputPath=a", "outputPath=b.svg", "pathCount=2", "SVG.text=1 0.01 0 0  0", "SVG.textForceHeight=1"}},
      {{"a", "b.svg", "-text:-4"}, 0, {"inputPath=a", "outputPath=b.svg", "pathCount=2", "SVG.text=1 4 1 0  0"}},
      {{"a", "b.dxf", "-text:"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Text=1"}},
      {{"-text:x"}, -2116, {}},
      {{"a", "b.dxf", "-pid:1", "-coord:2", "-comment:3", "-text:4"}, 0, {"inputPath=a", "outputPath=b.dxf", "pathCount=2", "DXF_Coord=1", "DXF_CoordHeight=2.0000000000", "DXF_Text=1", "DXF_TextHeight=4.0000000000", "DXF_PID=1", "DXF_PIDHeight=1.0000000000", "DXF_Comment=1", "DXF_Comment_Height=3.0000000000"}},
      {{"-del:;", "-delin:TAB", "-dec:,", "-decout:.", "-format:#NEZ", "-formatout:#XYZC"}, 0, {"CSV_In_Delimiter=TAB", "CSV_In_Decimal=\",\"", "TXT_In_Delimiter=TAB", "TXT_In_Decimal=\",\"", "TXT_In_Format=\"#NEZ\"", "TXT_Out_Delimiter=\";\"", "TXT_Out_Format=\"#XYZC\""}},
      {{"*categories", "out.xml", "-in:*"}, -2138, {}},
      {{"*categories", "out.xml", "-out:*", "-saveopt:x"}, 0, {"action=3", "inputPath=x", "outputPath=out.xml", "pathCount=2", "outputFormat=13", "outputFormatName=*"}},
      {{"*categories", "out.xml", "-in:*", "-loadopt:x"}, 0, {"action=4", "inputPath=x", "outputPath=out.xml", "pathCount=2", "inputFormat=13", "inputFormatName=*"}},
      {{"in.xml", "*categories", "-in:*"}, 0, {"inputPath=in.xml", "outputPath=*categories", "pathCount=2", "inputFormat=13", "inputFormatName=*"}},
      {{"-opendlg"}, -2138, {}},
      {{"-opendlg", "a", "-xmlcopy"}, -2138, {}},
      {{"-gui", "-opendlg", "a"}, -2138, {}},
      {{"-saveopt:a", "-loadopt:b"}, 0, {"action=4", "inputPath=b"}},
      {{"a", "b", "c"}, -2118, {}},
  };
  parse({});
  const std::vector<std::string> base = stateLines(job, options);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    int result = 0;
    try {
      result = parse(c.args);
    } catch (const CError& e) {
      result = e.code();
    }
    EXPECT_EQ(result, c.result);
    if (result < 0) continue;
    std::vector<std::string> now = stateLines(job, options), changed;
    ASSERT_EQ(now.size(), base.size());
    for (size_t i = 0; i < now.size(); ++i)
      if (now[i] != base[i]) changed.push_back(now[i]);
    EXPECT_EQ(changed, c.changed);
  }
}
