// The built executable, run as a user would: exit status, what it prints,
// and the files it leaves. Every run gets its own sandboxed settings, data
// and temp folders; stdin is not a terminal, so every question takes the
// answer that loses nothing.
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

class EndToEnd : public ::testing::Test {
 protected:
  Result run(std::vector<std::string> args) { return vltrx::test::runProgram(box.root(), std::move(args)); }

  /// A path in the test's work folder (created on first use).
  fs::path work(const std::string& name) { return vltrx::test::workPath(box.root()) / name; }

  vltrx::test::Sandbox box;
};

}  // namespace

TEST_F(EndToEnd, UsageVersionAndHelp) {
  Result usage = run({});
  EXPECT_EQ(usage.status, 1);
  EXPECT_NE(usage.out.find("3.40"), std::string::npos);

  Result version = run({"-version"});
  EXPECT_EQ(version.status, 3400 & 0xFF);
  EXPECT_NE(version.out.find("3.40"), std::string::npos);

  Result help = run({"-help:csv"});
  EXPECT_EQ(help.status, 1);
  EXPECT_FALSE(help.out.empty());
  EXPECT_TRUE(help.err.empty());
}

TEST_F(EndToEnd, ErrorsPrintTheirCodeAndNeverExitZero) {
  struct Case { std::vector<std::string> args; int code; };
  const Case cases[] = {
      {{"-help:nosuch"}, -2113},
      {{"a.csv", "b.xml", "-in:nosuch"}, -2130},
      {{"a", "b", "c"}, -2118},
      {{"-swap:xxy", "a.xml", "b.xml"}, -2129},
      {{"-opt:nosuch"}, -2115},
      {{"in.csv", "out.grid"}, -2113},  // grids are read only: fails before reading
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Result r = run(c.args);
    EXPECT_EQ(r.status, c.code & 0xFF);
    EXPECT_NE(r.err.find("Error " + std::to_string(c.code) + ": "), std::string::npos) << r.err;
  }
}

TEST_F(EndToEnd, LanguageSwitchChangesTheMessages) {
  Result en = run({"-help:nosuch"});
  Result de = run({"-help:nosuch", "-lang:de"});
  EXPECT_EQ(en.status, de.status);
  EXPECT_NE(en.err, de.err);
  EXPECT_NE(de.err.find("-2113"), std::string::npos);
}

TEST_F(EndToEnd, OptionsListingAndOptionFiles) {
  // Without a display -opt: lists on the terminal (with one it opens the dialog).
  Result list = vltrx::test::runProgram(
      box.root(), {"-opt:csv_out"},
      vltrx::test::RunOptions().setting({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}));
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("CSV_Out_Delimiter"), std::string::npos);

  fs::path file = work("opts.trxopt");
  fs::create_directories(file.parent_path());
  Result save = run({"-saveopt:" + file.string(), "-in:xml", "-out:csv"});
  EXPECT_EQ(save.status, 0) << save.err;
  std::string text = slurp(file);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("\"XML_In_ScaleFactor\"="), std::string::npos);
  EXPECT_NE(text.find("\"CSV_Out_Delimiter\"="), std::string::npos);
  EXPECT_EQ(text.find("\"CSV_In_Delimiter\"="), std::string::npos);
  EXPECT_EQ(text.find("\"Version\""), std::string::npos);

  Result load = run({"-loadopt:" + file.string()});
  EXPECT_EQ(load.status, 0) << load.err;
  Result missing = run({"-loadopt:" + work("none.trxopt").string()});
  EXPECT_NE(missing.status, 0);
}

namespace {

const char* kPlan =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
    "<velmora version=\"2.12\">\r\n"
    "<measurements preferred_system=\"XYZ\">\r\n"
    "<mfolder name=\"Plan\">\r\n"
    "<polygon closed=\"1\" comment=\"House\">\r\n"
    "<point id=\"1\" x=\"10.0000\" y=\"20.0000\" z=\"1.0000\"/>\r\n"
    "<point id=\"2\" x=\"30.0000\" y=\"20.0000\" z=\"1.0000\"/>\r\n"
    "<point id=\"3\" x=\"30.0000\" y=\"40.0000\" z=\"1.0000\"/>\r\n"
    "</polygon>\r\n"
    "</mfolder>\r\n"
    "</measurements>\r\n"
    "</velmora>\r\n";

}  // namespace

TEST_F(EndToEnd, NativeXmlToFileRoundTripsByteForByte) {
  spit(work("plan.xml"), kPlan);
  Result r = run({work("plan.xml").string(), work("out.xml").string(), "-nodialog"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(work("out.xml")), kPlan);
}

TEST_F(EndToEnd, ScaleAndSwapApplyToTheOutput) {
  spit(work("plan.xml"), kPlan);
  Result r = run({work("plan.xml").string(), work("out.csv").string(), "-scale:2", "-swap:yxz", "-nodialog"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(slurp(work("out.csv")).find("1;40.0000;20.0000;2.0000;"), std::string::npos) << slurp(work("out.csv"));
}

TEST_F(EndToEnd, FolderInFolderOutKeepsSubfolders) {
  spit(work("in/a.xml"), kPlan);
  std::string b = kPlan;
  b.replace(b.find("\"Plan\""), 6, "\"Other\"");
  spit(work("in/sub/b.xml"), b);
  spit(work("in/notes.txt"), "not a plan");
  Result r = run({work("in").string(), work("out").string(), "-in:xml", "-out:xml", "-nodialog"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(work("out/Plan.xml")));
  EXPECT_TRUE(fs::exists(work("out/sub/Other.xml")));

  Result empty = run({work("in/sub").string(), work("out2").string(), "-in:csv", "-out:xml", "-nodialog"});
  EXPECT_EQ(empty.status, -2123 & 0xFF);
}

TEST_F(EndToEnd, OverwriteIsDeclinedWithoutATerminal) {
  spit(work("plan.xml"), kPlan);
  spit(work("out.xml"), "keep me");
  Result r = run({work("plan.xml").string(), work("out.xml").string(), "-nodialog"});
  EXPECT_EQ(r.status, -2137 & 0xFF);
  EXPECT_EQ(slurp(work("out.xml")), "keep me");
  EXPECT_NE(r.err.find("out.xml"), std::string::npos);
}

TEST_F(EndToEnd, FailedConversionLeavesNoOutputAndKeepsTheSource) {
  std::string broken = kPlan;
  broken.replace(broken.find(" z=\"1.0000\"/>\r\n<point id=\"3\""), 12, "/>");
  spit(work("broken.xml"), broken);
  Result r = run({work("broken.xml").string(), work("out.csv").string(), "-delsource", "-nodialog"});
  EXPECT_EQ(r.status, -505 & 0xFF);
  EXPECT_NE(r.err.find("-505"), std::string::npos);
  EXPECT_FALSE(fs::exists(work("out.csv")));
  EXPECT_TRUE(fs::exists(work("broken.xml")));
  for (const auto& e : fs::directory_iterator(work("")))
    EXPECT_EQ(e.path().filename().string().find(".out.csv"), std::string::npos) << e.path();

  spit(work("plan.xml"), kPlan);
  Result ok = run({work("plan.xml").string(), work("out.csv").string(), "-delsource", "-nodialog"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_FALSE(fs::exists(work("plan.xml")));
}

TEST_F(EndToEnd, CategoriesExportAndImport) {
  // The first start makes the category folders; put one category file in
  // the user's own folder, export, and import the result elsewhere.
  ASSERT_EQ(run({"-version"}).status, 3400 & 0xFF);
  fs::path mine = box.root() / "data" / "vltrx" / "MyCategories";
  ASSERT_TRUE(fs::is_directory(mine));
  spit(mine / "Roads" / "Kerb.vlcat",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora>\r\n"
       "<category encoding=\"CP_65001\" name=\"Kerb\" color=\"808080\"/>\r\n</velmora>\r\n");
  Result out = run({"*categories", work("cats.xml").string(), "-in:xml", "-out:xml", "-nodialog"});
  ASSERT_EQ(out.status, 0) << out.err;
  std::string doc = slurp(work("cats.xml"));
  EXPECT_NE(doc.find("<subfolder name=\"Roads\">"), std::string::npos) << doc;
  EXPECT_NE(doc.find("name=\"Kerb\""), std::string::npos) << doc;

  Result in = run({work("cats.xml").string(), "*categories", "-in:xml", "-out:xml", "-nodialog"});
  ASSERT_EQ(in.status, 0) << in.err;
  EXPECT_TRUE(fs::exists(box.root() / "data" / "vltrx" / "ReceivedCategories" / "Roads" / "Kerb.vlcat"));

  Result noOutput = run({"*categories"});
  EXPECT_EQ(noOutput.status, -2119 & 0xFF);
}

TEST_F(EndToEnd, CsvToNativeXmlAndBack) {
  spit(work("pts.csv"),
       "Velmora CSV Version 2.1\r\nSystem: XYZ\r\n\r\n"
       "1;100,5;200,25;3,125;;\"first\";closed;;\"Lot\"\r\n2;110,5;200,25;3;;\r\n3;110,5;210,25;3;;\r\n"
       "9;5,5;6,5;7;;\"single\";open;;\r\n");
  Result r = run({work("pts.csv").string(), work("pts.xml").string(), "-dec:,", "-nodialog"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string xml = slurp(work("pts.xml"));
  EXPECT_NE(xml.find("<point id=\"1\" x=\"100.5000\" y=\"200.2500\" z=\"3.1250\" comment=\"first\"/>"),
            std::string::npos)
      << xml;
  Result back = run({work("pts.xml").string(), work("back.csv").string(), "-out:csv", "-del:TAB", "-nodialog"});
  ASSERT_EQ(back.status, 0) << back.err;
  std::string csv = slurp(work("back.csv"));
  EXPECT_NE(csv.find("1\t100.5000\t200.2500\t3.1250\t\t\"first\"\tclosed\t\t\"Lot\"\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("9\t5.5000\t6.5000\t7.0000\t\t\"single\"\topen\t\t\r\n"), std::string::npos) << csv;
}
