// The built executable on TXT and GSI files: conversions in both directions,
// the layout switches, folder runs and the errors a user meets.
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

class TxtGsiEndToEnd : public ::testing::Test {
 protected:
  Result run(std::vector<std::string> args) {
    args.push_back("-nodialog");
    return vltrx::test::runProgram(box.root(), std::move(args));
  }

  fs::path work(const std::string& name) { return vltrx::test::workPath(box.root()) / name; }

  vltrx::test::Sandbox box;
};

const char* kCsvHeader =
    "Velmora CSV Version 2.1\r\nSystem: XYZ\r\n\r\n"
    "Point No.;X;Y;Z;Point Categories;Point Comment;New Poly;Poly Categories;Poly Comment\r\n\r\n";

}  // namespace

TEST_F(TxtGsiEndToEnd, TxtWithNezLayoutToCsv) {
  spit(work("points.txt"), "Nr N E H\r\n12 200.5 100.25 3.5\r\n\r\n5 201.5 101.25\r\n");
  Result r = run({work("points.txt").string(), work("points.csv").string(), "-format:#nez"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(work("points.csv")), std::string(kCsvHeader) +
                                           "12;100.2500;200.5000;3.5000;;;open;;\r\n"
                                           "5;101.2500;201.5000;0.0000;;;open;;\r\n");
}

TEST_F(TxtGsiEndToEnd, CsvToTxtWithLayoutAndDelimiter) {
  spit(work("pts.csv"), std::string(kCsvHeader) +
                            "3;10.5;20.5;1;\"kerb\";;open;;\r\n1;30.5;40.5;2;;\r\n2;10.5;20.5;1;\"kerb\";;open;;\r\n");
  Result r = run({work("pts.csv").string(), work("pts.txt").string(), "-formatout:#YXIZK", "-delout:;"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Point 3 repeats point 2 exactly (position and category): written once.
  EXPECT_EQ(slurp(work("pts.txt")), "1;40.5000;30.5000;;2.0000;;\r\n2;20.5000;10.5000;;1.0000;kerb;\r\n");
}

TEST_F(TxtGsiEndToEnd, TxtFolderRun) {
  spit(work("in/a.txt"), "1 0.5 1.5 2\n");
  spit(work("in/sub/b.txt"), "1\t0.5\t1.5\t2\n2\t0.5\t2.5\t2\n");
  Result r = run({work("in").string(), work("out").string(), "-in:txt", "-out:csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(slurp(work("out/a.csv")).find("\r\n1;0.5000;1.5000;2.0000;;;open;;\r\n"), std::string::npos);
  EXPECT_NE(slurp(work("out/sub/b.csv")).find("\r\n2;0.5000;2.5000;2.0000;;;open;;\r\n"), std::string::npos);
}

TEST_F(TxtGsiEndToEnd, TxtErrors) {
  spit(work("p.txt"), "1 0.5 1.5 2\n2 0.5 1e400 2\n");
  struct Case {
    std::vector<std::string> args;
    int code;
  };
  const Case cases[] = {
      {{work("p.txt").string(), work("o.csv").string(), "-format:#XZ"}, -2110},
      {{work("p.txt").string(), work("o.csv").string(), "-formatin:#XYZC"}, -2110},
      {{work("p.txt").string(), work("o.csv").string()}, -701},
      {{work("none.txt").string(), work("o.csv").string()}, -2101},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Result r = run(c.args);
    EXPECT_EQ(r.status, c.code & 0xFF);
    EXPECT_NE(r.err.find("Error " + std::to_string(c.code) + ": "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work("o.csv")));
  }
}

TEST_F(TxtGsiEndToEnd, GsiFieldFileToCsv) {
  fs::copy_file(fs::path(VLTRX_TEST_DATA) / "gsi" / "gsi8-field.gsi", work("field.gsi"));
  Result r = run({work("field.gsi").string(), work("field.csv").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = slurp(work("field.csv"));
  EXPECT_NE(csv.find("\r\n10001;5.3870;-0.9920;0.1040;;;open;;\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n13;12.3456;65.4321;-0.1000;;;open;;\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n15;2.0000;3.0000;0.0000;;\"WALL\";open;;\r\n"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("\r\n17;"), std::string::npos) << csv;  // incomplete polar block
}

TEST_F(TxtGsiEndToEnd, TxtWithNezLayoutToGsi) {
  spit(work("points.txt"), "12 200.5 100.25 3.5\n5 201.5 101.25 -1\n");
  Result r = run({work("points.txt").string(), work("points.gsi").string(), "-format:#NEZ"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(work("points.gsi")),
            "*110001+0000000000000005 71....+0000000000000000 81..10+0000000000101250 "
            "82..10+0000000000201500 83..10-0000000000001000 \r\n"
            "*110002+0000000000000012 71....+0000000000000000 81..10+0000000000100250 "
            "82..10+0000000000200500 83..10+0000000000003500 \r\n");
}

TEST_F(TxtGsiEndToEnd, GsiFolderRunWithWordIndexes) {
  fs::create_directories(work("in"));
  fs::copy_file(fs::path(VLTRX_TEST_DATA) / "gsi" / "gsi16-mixed.gsi", work("in/mixed.gsi"));
  Result r = run({work("in").string(), work("out").string(), "-in:gsi", "-out:txt", "-formatout:#XYZK",
                  "-alphanum:1", "-wi:code,41"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string txt = slurp(work("out/mixed.txt"));
  EXPECT_NE(txt.find("w1\t1234.5670\t7654.3210\t1.0000\t\t\r\n"), std::string::npos) << txt;
  EXPECT_NE(txt.find("w7\t1234.5679\t9876.5432\t1.0000\tTREE\t\r\n"), std::string::npos) << txt;
}

TEST_F(TxtGsiEndToEnd, GsiToGsiKeepsPointsAndComments) {
  spit(work("a.gsi"), "*110001+0000000000000042 71....+000000000000WALL 81..10+0000000001234567 "
                      "82..10-0000000000000500 83..10+0000000000000000 \r\n");
  Result r = run({work("a.gsi").string(), work("b.gsi").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(work("b.gsi")), slurp(work("a.gsi")));
}
