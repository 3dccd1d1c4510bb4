// REB, DA11 and ESRI grid conversions run through the built executable:
// the command lines a user types, exit status and the files left behind.
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using vltrx::test::Result;
using vltrx::test::slurp;
using vltrx::test::spit;

// The exit status a negative error code leaves with the shell.
int statusOf(int code) { return code & 0xFF; }

class RebEndToEnd : public ::testing::Test {
 protected:
  Result run(std::vector<std::string> args, bool noDialog = true) {
    if (noDialog) args.push_back("-nodialog");
    return vltrx::test::runProgram(box.root(), std::move(args),
                                   vltrx::test::RunOptions().inFolder(work()));
  }

  /// The test's work folder, or a path in it.
  fs::path work(const std::string& name = {}) { return vltrx::test::workPath(box.root(), name); }

  vltrx::test::Sandbox box;
};

// A layout of one closed lot of four points and a single point, as CSV.
const char* kSiteCsv =
    "Velmora CSV Version 2.1\r\nSystem: XYZ\r\n\r\n"
    "1;3445419.119;5423311.25;412.5;;\"corner\";closed;;\"OZ=00000007K\"\r\n"
    "2;3445429.119;5423311.25;412.5;;\r\n"
    "3;3445429.119;5423321.25;412.5;;\r\n"
    "4;3445419.119;5423321.25;412.5;;\r\n"
    "9;3445400;5423300;400;;;open;;\r\n";

}  // namespace

TEST_F(RebEndToEnd, SiteToRebWithChosenRecordsAndKzAndBack) {
  spit(work("site.csv"), kSiteCsv);
  ASSERT_EQ(run({"site.csv", "site.xml"}).status, 0);
  Result r = run({"site.xml", "site.reb", "-out:DA45,da49", "-kz:12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(work("site.reb")),
            "45      1 34454191195423311250    412500\r\n"
            "45      2 34454291195423311250    412500\r\n"
            "45      3 34454291195423321250    412500\r\n"
            "45      4 34454191195423321250    412500\r\n"
            "45      9 34454000005423300000    400000\r\n"
            "49  1  12  1       1       2       3       4       1\r\n");

  // A KZ outside 10..89 keeps the stored one.
  ASSERT_EQ(run({"site.xml", "kz.reb", "-out:da30", "-kz:90"}).status, 0);
  EXPECT_EQ(slurp(work("kz.reb")).substr(0, 4), "3010");

  Result back = run({"site.reb", "back.csv", "-out:csv"});
  ASSERT_EQ(back.status, 0) << back.err;
  const std::string csv = slurp(work("back.csv"));
  EXPECT_NE(csv.find("1;3445419.1190;5423311.2500;412.5000;;;closed;;\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("9;3445400.0000;5423300.0000;400.0000;;;open;;\r\n"), std::string::npos) << csv;
}

TEST_F(RebEndToEnd, BadRebFilesEndWithTheirCodeAndLeaveNoOutput) {
  spit(work("short30.reb"), "3010               1                           abc      1235      2000      300\r\n");
  spit(work("short45.reb"), "45      1          0         0\r\n");
  spit(work("unknown.reb"), "45      1          0         0         0\r\n49  1  10  1       1       2\r\n");
  struct Case {
    const char* file;
    int code;
  };
  for (const Case& c : {Case{"short30.reb", -2003}, Case{"short45.reb", -2003}, Case{"unknown.reb", -2001}}) {
    SCOPED_TRACE(c.file);
    Result r = run({c.file, "out.csv"});
    EXPECT_EQ(r.status, statusOf(c.code)) << r.err;
    EXPECT_NE(r.err.find("Error " + std::to_string(c.code)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.file), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work("out.csv")));
  }
  // With dialogs, a short DA45 record shows its box and ends the run.
  Result boxed = run({"short45.reb", "out.csv"}, false);
  EXPECT_EQ(boxed.status, statusOf(-2003));
  EXPECT_NE(boxed.err.find("Error -2003: "), std::string::npos) << boxed.err;
  EXPECT_FALSE(fs::exists(work("out.csv")));
}

TEST_F(RebEndToEnd, LotsToDa11AndItsErrors) {
  spit(work("lots.csv"), kSiteCsv);
  ASSERT_EQ(run({"lots.csv", "lots.xml"}).status, 0);
  Result r = run({"lots.xml", "lots.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Shifted to the lower left corner of the layout (the single point).
  EXPECT_EQ(slurp(work("lots.dat")),
            "1100000007K                  22           19119  11250  29119  11250 0000B001001\r\n"
            "1100000007K                  22           29119  21250  19119  21250 0000C001001\r\n"
            "1100000007K                  22           19119  11250=              0000D001001\r\n"
            "\r\n");

  spit(work("plain.csv"), "1;1;1;0\r\n2;2;1;0\r\n");
  ASSERT_EQ(run({"plain.csv", "plain.xml"}).status, 0);
  Result none = run({"plain.xml", "plain.d11"});
  EXPECT_EQ(none.status, statusOf(-2204)) << none.err;
  EXPECT_NE(none.err.find("-2204"), std::string::npos) << none.err;
  EXPECT_FALSE(fs::exists(work("plain.d11")));
}

TEST_F(RebEndToEnd, GridToCsvAndGridFolders) {
  const std::string grid =
      "NCOLS 2\r\nNROWS 2\r\nXLLCENTER 5\r\nYLLCENTER 5\r\nCELLSIZE 10\r\nNODATA_value -9999\r\n1 -9999\r\n3 nan\r\n";
  spit(work("dem.asc"), grid);
  Result r = run({"dem.asc", "dem.csv", "-in:grid"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = slurp(work("dem.csv"));
  EXPECT_NE(csv.find("0;5.0000;15.0000;1.0000;;;open;;\r\n0;5.0000;5.0000;3.0000;;;open;;\r\n"), std::string::npos)
      << csv;

  // A folder run with -in:grid takes ".asc" and ".grid" files.
  spit(work("tiles/a.asc"), grid);
  spit(work("tiles/b.grid"), grid);
  spit(work("tiles/c.txt"), grid);
  Result folder = run({"tiles", "out/", "-in:grid", "-out:csv"});
  ASSERT_EQ(folder.status, 0) << folder.err;
  EXPECT_TRUE(fs::exists(work("out/a.csv")));
  EXPECT_TRUE(fs::exists(work("out/b.csv")));
  EXPECT_FALSE(fs::exists(work("out/c.csv")));

  spit(work("bad.asc"), "ncols 4\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n");
  Result bad = run({"bad.asc", "bad.csv", "-in:grid"});
  EXPECT_EQ(bad.status, statusOf(-2402)) << bad.err;
  EXPECT_NE(bad.err.find("bad.asc"), std::string::npos) << bad.err;
  EXPECT_FALSE(fs::exists(work("bad.csv")));
}
