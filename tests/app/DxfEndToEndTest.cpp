// DXF input through the built executable: a drawing to CSV and to the
// native XML format, the -all switch, and a malformed drawing that fails
// with its code and leaves no output behind.
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kSample = fs::path(VLTRX_TEST_DATA).parent_path().parent_path() / "samples" / "site-plan.dxf";
const fs::path kSurvey = fs::path(VLTRX_TEST_DATA) / "dxf";

using vltrx::test::slurp;

class DxfEndToEnd : public ::testing::Test {
 protected:
  // Runs the executable with stdin from /dev/null; returns the exit status
  // and keeps stderr in m_err.
  int run(std::vector<std::string> args) {
    const vltrx::test::Result r = vltrx::test::runProgram(box.root(), std::move(args));
    m_err = r.err;
    return r.status;
  }

  fs::path work(const std::string& name) { return vltrx::test::workPath(box.root()) / name; }

  vltrx::test::Sandbox box;
  std::string m_err;
};

TEST_F(DxfEndToEnd, DrawingToCsvAndXml) {
  const fs::path plan = work("plan.dxf");
  fs::copy_file(kSample, plan);
  ASSERT_EQ(run({plan.string(), work("plan.csv").string(), "-in:dxf", "-out:csv", "-nodialog"}), 0) << m_err;
  const std::string csv = slurp(work("plan.csv"));
  // The building corners, as POINTs and as the closed outline.
  EXPECT_NE(csv.find(";505120.0000;5405240.0000;101.3200;"), std::string::npos) << csv;
  EXPECT_NE(csv.find(";505138.5000;5405252.2500;"), std::string::npos);
  EXPECT_NE(csv.find(";closed;\"BUILDING\";"), std::string::npos);
  // The manhole is a circle too small to draw: one point with its radius.
  EXPECT_NE(csv.find("\"R=0.004m\""), std::string::npos);

  ASSERT_EQ(run({plan.string(), work("plan.xml").string()}), 0) << m_err;
  const std::string xml = slurp(work("plan.xml"));
  EXPECT_NE(xml.find("<mfolder name=\"plan\">"), std::string::npos);
  EXPECT_NE(xml.find("name=\"KERB\""), std::string::npos);
}

TEST_F(DxfEndToEnd, AllReadsADrawingWithoutPlanLayers) {
  // Stored setting: only plan layers (VL, VL_...) are imported.
  const fs::path options = work("vl-only.trxopt");
  std::ofstream(options, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                              "[HKEY_CURRENT_USER\\Software\\Kestrava\\Velmora\\vltrx]\r\n"
                                              "\"DXF_ImportAllLayers\"=dword:00000000\r\n";
  ASSERT_EQ(run({"-loadopt:" + options.string()}), 0) << m_err;
  const fs::path plan = work("walls.dxf");
  std::ofstream(plan, std::ios::binary) << "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\nWALLS\n10\n1.5\n20\n2.5\n"
                                           "0\nENDSEC\n0\nEOF\n";
  const fs::path out = work("walls.csv");
  // -nodialog: the question of text 90 is not asked, the drawing gives no layout.
  EXPECT_NE(run({plan.string(), out.string(), "-out:csv", "-nodialog"}), 0);
  EXPECT_FALSE(fs::exists(out));
  // Without a terminal nobody can answer the question: reading every layer
  // is the answer that loses nothing.
  ASSERT_EQ(run({plan.string(), out.string(), "-out:csv"}), 0) << m_err;
  EXPECT_NE(slurp(out).find(";1.5000;2.5000;"), std::string::npos) << slurp(out);
  fs::remove(out);
  ASSERT_EQ(run({"-loadopt:" + options.string()}), 0) << m_err;
  // -all takes every layer, without categories for layers that are not VL_.
  ASSERT_EQ(run({plan.string(), out.string(), "-out:csv", "-all", "-nodialog"}), 0) << m_err;
  EXPECT_NE(slurp(out).find("1;1.5000;2.5000;0.0000;;;open;;"), std::string::npos) << slurp(out);
}

TEST_F(DxfEndToEnd, MalformedDrawingFailsAndLeavesNoOutput) {
  const fs::path bad = work("bad.dxf");
  std::ofstream(bad, std::ios::binary) << "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\nVL\n10\nabc\n0\nENDSEC\n0\nEOF\n";
  const fs::path out = work("bad.csv");
  EXPECT_EQ(run({bad.string(), out.string(), "-out:csv", "-nodialog"}), (-2302) & 0xFF);
  EXPECT_NE(m_err.find("-2302"), std::string::npos) << m_err;
  EXPECT_NE(m_err.find("10]"), std::string::npos) << m_err;  // the line of the value
  EXPECT_FALSE(fs::exists(out));
}

// Survey drawings carry their point numbers in block attributes or in texts
// beside the points; the CSV has those numbers.
TEST_F(DxfEndToEnd, PointNumbersFromAttributesAndLabelsReachTheCsv) {
  struct Case {
    const char* what;
    const char* drawing;
    std::vector<std::string> switches;
  } cases[] = {
      {"attribute PNR of the point blocks, anchors only", "survey-attributes.dxf", {"-block:bp", "-pidin:2,0.01,,PNR"}},
      {"attribute PNR of the point blocks, expanded", "survey-attributes.dxf", {"-block:", "-pidin:2,0.01,,PNR"}},
      {"TEXT labels on their own layer, 0.36 m away and at height 0", "survey-labels.dxf",
       {"-pidin:0,-0.5,PNR_TEXT"}},
  };
  const char* rows[] = {"\n1001;505120.0000;5405240.0000;101.3200;", "\n1002;505138.5000;5405240.0000;101.3500;",
                        "\n1003;505138.5000;5405252.2500;101.4100;", "\n2047;505120.0000;5405252.2500;101.3800;"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path out = work("points.csv");
    std::vector<std::string> args = {(kSurvey / c.drawing).string(), out.string(), "-in:dxf", "-out:csv", "-nodialog"};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    ASSERT_EQ(run(args), 0) << m_err;
    const std::string csv = slurp(out);
    for (const char* row : rows) EXPECT_NE(csv.find(row), std::string::npos) << row << "\n" << csv;
    fs::remove(out);
  }
}

}  // namespace
