// The DXF and SVG writers run through the built executable: from native XML
// and CSV input, single files and folder runs, checked with the independent
// readers (ezdxf, GDAL, xmllint, chromium).
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using vltrx::test::slurp;

std::string tool(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

const std::string kData = VLTRX_TEST_DATA;

class WritersEndToEnd : public ::testing::Test {
 protected:
  // Runs the executable; returns its exit status.
  int run(std::vector<std::string> args) {
    args.push_back("-nodialog");
    const vltrx::test::Result r = vltrx::test::runProgram(box.root(), std::move(args));
    err = r.err;
    return r.status;
  }

  fs::path work(const std::string& name) { return vltrx::test::workPath(box.root()) / name; }

  // What ezdxf reads from a DXF (see tests/formats/check-dxf.py).
  static std::string ezdxf(const fs::path& file) {
    return tool("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + kData + "/../formats/check-dxf.py '" + file.string() +
                "' 2>&1");
  }

  vltrx::test::Sandbox box;
  std::string err;
};

TEST_F(WritersEndToEnd, NativeXmlToDxf) {
  const fs::path out = work("plan.dxf");
  ASSERT_EQ(run({kData + "/dxf-out/plan.xml", out.string(), "-pid:0.5"}), 0) << err;
  const std::string ez = ezdxf(out);
  EXPECT_NE(ez.find("errors 0\n"), std::string::npos) << ez;
  // Category colours from the file: C00000 -> 12, 00A000 -> 92, 0000FF -> 5.
  EXPECT_NE(ez.find("layer VL_Building 12\nlayer VL_Terrain 92\nlayer VL_Control point 5\n"), std::string::npos)
      << ez;
  EXPECT_NE(ez.find("POLYLINE VL_Building closed 512340.118000 5401210.442000 312.215000 "), std::string::npos);
  EXPECT_NE(ez.find("POLYLINE VL_Terrain closed 512330.000000 5401200.000000 311.000000 "), std::string::npos);
  EXPECT_NE(ez.find("LINE VL_Building 512330.005000 5401200.120000 311.980000 512345.317000 5401200.544000 "
                    "311.962000\n"),
            std::string::npos);
  EXPECT_NE(ez.find("POINT VL_Control point 512335.500000 5401215.250000 312.480000\n"), std::string::npos);
  EXPECT_NE(ez.find("TEXT VL_PID 512335.500000 5401215.250000 312.480000 0.5000 '100'\n"), std::string::npos);
  const std::string ogr = tool("ogrinfo -ro -al -so '" + out.string() + "' 2>&1");
  // 4 geometries and 10 point-id texts.
  EXPECT_NE(ogr.find("Feature Count: 14\n"), std::string::npos) << ogr;
}

TEST_F(WritersEndToEnd, DxfWrittenReadsBackThroughOurReader) {
  const fs::path dxf = work("round.dxf");
  ASSERT_EQ(run({kData + "/dxf-out/plan.xml", dxf.string()}), 0) << err;
  const fs::path csv = work("round.csv");
  ASSERT_EQ(run({dxf.string(), csv.string(), "-nodialog"}), 0) << err;
  const std::string back = slurp(csv);
  // Every point of the plan comes back with its coordinates, polygons with
  // their closure and their category from the layer.
  for (const char* xyz : {"512340.1180;5401210.4420;312.2150", "512352.6040;5401210.3980;312.1870",
                          "512352.6510;5401222.9130;312.2400", "512340.1700;5401222.9570;312.2620",
                          "512330.0000;5401200.0000;311.0000", "512331.0000;5401200.0000;311.0000",
                          "512330.0000;5401201.0000;311.5000", "512330.0050;5401200.1200;311.9800",
                          "512345.3170;5401200.5440;311.9620", "512335.5000;5401215.2500;312.4800"}) {
    SCOPED_TRACE(xyz);
    EXPECT_NE(back.find(std::string(";") + xyz + ";"), std::string::npos) << back;
  }
  EXPECT_NE(back.find(";closed;\"Building\";"), std::string::npos) << back;
  EXPECT_NE(back.find(";open;\"Building\";"), std::string::npos) << back;
  EXPECT_NE(back.find("\"Control point\""), std::string::npos) << back;
}

TEST_F(WritersEndToEnd, CsvToDxfWithTextOptions) {
  const fs::path out = work("survey.dxf");
  ASSERT_EQ(run({kData + "/../../samples/site-survey.csv", out.string(), "-pid:-2,,1", "-coord:0.3,origlayer",
                 "-comment:0.2,Notes", "-addvl", "-pstyle:3,0.2"}),
            0)
      << err;
  const std::string dxf = slurp(out);
  EXPECT_NE(dxf.find("  9\r\n$PDMODE\r\n 70\r\n3\r\n  9\r\n$PDSIZE\r\n 40\r\n0.20\r\n"), std::string::npos);
  const std::string ez = ezdxf(out);
  EXPECT_NE(ez.find("errors 0\n"), std::string::npos) << ez;
  // 2 % of the plan's 22.837 m in y, on the configured layer.
  EXPECT_NE(ez.find("TEXT VL_PID 512335.500000 5401215.250000 312.480000 0.4567 '100'\n"), std::string::npos) << ez;
  EXPECT_NE(ez.find("TEXT 0 512335.500000 5401215.250000 312.480000 0.3000 '(512335.5000 5401215.2500)'\n"),
            std::string::npos);
  EXPECT_NE(ez.find("TEXT Notes 512376.449000 5401201.488000 311.930000 0.2000 'Drain cover, \"DN 400\"'\n"),
            std::string::npos);
  EXPECT_NE(dxf.find("  8\r\nVL_PID\r\n 10\r\n512335.500000\r\n 20\r\n5401215.250000\r\n 30\r\n312.480000\r\n"
                     " 11\r\n512335.500000\r\n 21\r\n5401215.250000\r\n 31\r\n312.480000\r\n"
                     " 72\r\n0\r\n 73\r\n1\r\n 40\r\n0.4567\r\n  1\r\n100\r\n"),
            std::string::npos);
}

TEST_F(WritersEndToEnd, FolderRunsWriteOneDrawingPerLayout) {
  const fs::path out = work("out/");
  ASSERT_EQ(run({kData + "/../../samples/site-plan.xml", out.string(), "-out:dxf"}), 0) << err;
  for (const char* name : {"Lot 12/As-built.dxf", "Lot 12/Stakeout.dxf"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(out / name));
    EXPECT_NE(ezdxf(out / name).find("errors 0\n"), std::string::npos);
  }
}

TEST_F(WritersEndToEnd, CsvAndNativeXmlToSvg) {
  const fs::path out = work("points.svg");
  ASSERT_EQ(run({kData + "/../../samples/site-survey.csv", out.string(), "-pid:2"}), 0) << err;
  const std::string svg = slurp(out);
  EXPECT_EQ(tool("xmllint --noout --nonet '" + out.string() + "' 2>&1"), "");
  EXPECT_NE(svg.find("\t<g id=\"VL_PID\" "), std::string::npos);
  EXPECT_NE(svg.find("font-size:2.000000mm;"), std::string::npos);
  EXPECT_NE(svg.find("\t\t\t101\r\n"), std::string::npos);

  const fs::path plan = work("plan.svg");
  ASSERT_EQ(run({kData + "/dxf-out/plan.xml", plan.string()}), 0) << err;
  const std::string p = slurp(plan);
  EXPECT_EQ(tool("xmllint --noout --nonet '" + plan.string() + "' 2>&1"), "");
  EXPECT_NE(p.find("\t<g id=\"VL_Building\" style=\"stroke:rgb(192, 0, 0);"), std::string::npos);
  EXPECT_NE(p.find("<use xlink:href=\"#VL_Control_point_PointDef\" x=\"512335.500000\" y=\"5401215.250000\"/>"),
            std::string::npos);

  const fs::path folder = work("svg/");
  ASSERT_EQ(run({kData + "/../../samples/site-plan.xml", folder.string(), "-out:svg"}), 0) << err;
  for (const char* name : {"Lot 12/As-built.svg", "Lot 12/Stakeout.svg"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(tool("xmllint --noout --nonet '" + (folder / name).string() + "' 2>&1"), "");
  }
}

}  // namespace
