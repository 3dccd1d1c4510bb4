// Plug-in formats run as a user runs them: the shipped GeoJSON and KML
// stylesheets checked with GDAL's ogrinfo and xmllint, the shipped point-list
// recipe, recipes and stylesheets of the user filter folder with their
// failures, and the temporary files that no run may leave behind. The rules
// of the recipe steps are tested directly.
#include "app/PluginDriver.h"

#include "app/Program.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace vltrx {
namespace {

const fs::path kData = fs::path(VLTRX_TEST_DATA);
const fs::path kSample = fs::path(VLTRX_TEST_DATA).parent_path().parent_path() / "samples" / "site-plan.xml";

TEST(RecipeRules, ExitCodesCompareAsUnsigned32BitNumbers) {
  struct Case {
    uint32_t code;
    const char* op;
    uint32_t success;
    bool ok;
  };
  const Case cases[] = {
      {0, "==", 0, true},        {1, "==", 0, false},        {1, "!=", 0, true},       {3, "<", 4, true},
      {4, "<", 4, false},        {5, ">", 4, true},          {3, "=<", 3, true},       {4, "=<", 3, false},
      {3, "<=", 3, true},        {3, "=>", 3, true},         {2, ">=", 3, false},      {7, "", 0, true},
      {7, "~", 8, false},        // unknown operator: ">="
      {0, "<", 0xFFFFFFFFu, true},  // success_code -1 is 4294967295
      {0xFFFFFFFFu, "==", 0xFFFFFFFFu, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " " + c.op + " " + std::to_string(c.success));
    EXPECT_EQ(exitCodeSucceeds(c.code, c.op, c.success), c.ok);
  }
}

TEST(RecipeRules, LoadCommandLinesSplitAtBlanksOutsideQuotes) {
  EXPECT_EQ(splitLoadCommandLine(R"(  a "b c"  'd "e'  f"g h"i -default)"),
            (std::vector<std::string>{"a", "b c", "d \"e", "fg hi", "-default"}));
  EXPECT_EQ(splitLoadCommandLine(R"(x "" y)"), (std::vector<std::string>{"x", "", "y"}));
  EXPECT_EQ(splitLoadCommandLine(std::string(300, 'z'))[0].size(), 128u);
  EXPECT_TRUE(splitLoadCommandLine(" \t ").empty());
}

TEST(RecipeRules, PlaceholdersAreReplacedOnceFromLeftToRight) {
  RecipePlaceholders v{"/in/%INFILE%.rcp", "%INFNAME%", "/tmp/Trx_Temp/run-1", "-pidred"};
  EXPECT_EQ(substitutePlaceholders("%TRXTMP%/%INFNAME%.xml", v), "/tmp/Trx_Temp/run-1/%INFNAME%.xml");
  EXPECT_EQ(substitutePlaceholders("%INFILE%|%PID_IMP_OPT%|%OTHER%|%", v), "/in/%INFILE%.rcp|-pidred|%OTHER%|%");
}

using test::Result;
using test::slurp;
using test::spit;

/// The names in folder that a run must not leave: our temporary files.
std::vector<std::string> leftovers(const fs::path& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(".trx_") || name.find(".tmp-") != std::string::npos || name.starts_with("run-"))
      out.push_back(e.path().string());
  }
  return out;
}

class PluginRun : public ::testing::Test {
 protected:
  PluginRun() {
    box.set("VLTRX_USER_FILTERS", box.root() / "filters");
    fs::create_directories(work());
  }

  fs::path work(const std::string& name = {}) { return test::workPath(box.root(), name); }
  fs::path userFilter(const std::string& direction, const std::string& name) {
    return box.root() / "filters" / direction / name;
  }

  Result run(std::vector<std::string> args, const std::map<std::string, std::string>& env = {}) {
    return test::runProgram(box.root(), std::move(args), test::RunOptions().setting(env));
  }

  /// Runs a tool (ogrinfo, xmllint) and returns its standard output.
  Result tool(std::vector<std::string> argv) {
    std::vector<char*> pointers;
    for (auto& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (box.root() / "tool.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (box.root() / "tool.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    Result r;
    if (posix_spawnp(&pid, pointers[0], &actions, nullptr, pointers.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = slurp(box.root() / "tool.out");
    r.err = slurp(box.root() / "tool.err");
    return r;
  }

  vltrx::test::Sandbox box;
};

TEST_F(PluginRun, HelpListsThePluginsFound) {
  Result r = run({"-help"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("-out:geojson_out"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("GeoJSON (.geojson) \xC2\xB9"), std::string::npos);
  EXPECT_NE(r.out.find("-out:kml_out"), std::string::npos);
  EXPECT_NE(r.out.find("-in:pointlist_in"), std::string::npos);
  EXPECT_EQ(run({"-help:geojson"}).status, 1);
}

TEST_F(PluginRun, GeoJsonOpensInGdalWithEveryFeatureAtItsStoredCoordinates) {
  fs::copy_file(kSample, work("plan.xml"));
  Result r = run({work("plan.xml"), work("plan.geojson")});
  ASSERT_EQ(r.status, 0) << r.err;

  Result summary = tool({"ogrinfo", "-ro", "-so", "-al", work("plan.geojson")});
  ASSERT_EQ(summary.status, 0) << "ogrinfo (Debian gdal-bin) must read the output: " << summary.err;
  EXPECT_NE(summary.out.find("Feature Count: 4"), std::string::npos) << summary.out;
  Result features = tool({"ogrinfo", "-ro", "-al", "-q", work("plan.geojson")});
  for (const char* expected : {
           "POLYGON Z ((512340.118 5401210.442 312.215,512352.604 5401210.398 312.187,"
           "512352.651 5401222.913 312.24,512340.17 5401222.957 312.262,512340.118 5401210.442 312.215))",
           "LINESTRING Z (512330.005 5401200.12 311.98,512345.317 5401200.544 311.962,512360.902 5401201.013 311.947)",
           "POINT Z (512335.5 5401215.25 312.48)",
           "categories (StringList) = (1:Control point)",
           "comment (String) = Nail in asphalt",
           "layout (String) = Stakeout",
           "folder (String) = Lot 12",
           "point_id (Integer) = 100",
       }) {
    EXPECT_NE(features.out.find(expected), std::string::npos) << expected << "\n" << features.out;
  }
  EXPECT_TRUE(leftovers(work()).empty());
}

TEST_F(PluginRun, KmlIsWellFormedAndReadByGdalWithTheStoredCoordinates) {
  fs::copy_file(kSample, work("plan.xml"));
  Result r = run({work("plan.xml"), work("plan.kml")});
  ASSERT_EQ(r.status, 0) << r.err;
  Result lint = tool({"xmllint", "--noout", work("plan.kml")});
  EXPECT_EQ(lint.status, 0) << lint.err;
  Result features = tool({"ogrinfo", "-ro", "-al", "-q", work("plan.kml")});
  ASSERT_EQ(features.status, 0) << features.err;
  for (const char* expected : {
           "Layer name: As-built",
           "POINT Z (512335.5 5401215.25 312.48)",
           "LINESTRING Z (512330.005 5401200.12 311.98,512345.317 5401200.544 311.962,512360.902 5401201.013 311.947)",
           "POLYGON Z ((512340.118 5401210.442 312.215,",
           "categories (String) = Building",
       }) {
    EXPECT_NE(features.out.find(expected), std::string::npos) << expected << "\n" << features.out;
  }
}

TEST_F(PluginRun, StylesheetGetsAlphanumericIdsAndEscapesTexts) {
  // -alphanum: passes alpha=1 and the point-id prefix; quotes and
  // backslashes in a comment stay valid JSON.
  Result r = run({kData / "plugins" / "escapes.xml", work("e.geojson"), "-alphanum:"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string json = slurp(work("e.geojson"));
  EXPECT_NE(json.find(R"("point_id":"#5")"), std::string::npos) << json;
  Result features = tool({"ogrinfo", "-ro", "-al", "-q", work("e.geojson")});
  EXPECT_NE(features.out.find(R"(comment (String) = a "b" \c)"), std::string::npos) << features.out << features.err;
}

TEST_F(PluginRun, ShippedPointListRecipeImportsThroughXsltproc) {
  Result r = run({kData / "plugins" / "site.pointlist", work("site.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = slurp(work("site.csv"));
  EXPECT_NE(csv.find("100;512335.5000;5401215.2500;312.4800;;\"Nail in asphalt\";open"), std::string::npos) << csv;
  EXPECT_NE(csv.find("3;512352.6510;5401222.9130;312.2400"), std::string::npos);
  EXPECT_NE(csv.find("closed;;\"House 12\""), std::string::npos);
  // The recipe's own files went with its run folder.
  EXPECT_TRUE(leftovers(box.tmp()).empty());
}

TEST_F(PluginRun, RecipeArgumentsReachTheToolUnchangedWithoutAShell) {
  spit(userFilter("in-filter", "copy.xsl"),
       "<?vltrx type=\"in-filter\" name=\"Copy\" file-ext=\"*.rcp;\" cmd-ext=\"copy\"?>\n"
       "<?exec cmdline=\"cp %INFILE% %TRXTMP%/%INFNAME%.csv\" success_operator=\"==\"?>\n"
       "  <?load cmdline=\"%TRXTMP%/%INFNAME%.csv -in:csv -default\"?>\n");
  const std::string odd = "a b; $(touch pwned) `touch pwned` \"q\" 'x' %INFILE%.rcp";
  fs::copy_file(kData / "plugins" / "one-point.csv", work(odd));
  Result r = run({work(odd), work("out.xml")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(slurp(work("out.xml")).find("x=\"100.5000\" y=\"200.2500\""), std::string::npos);
  EXPECT_FALSE(fs::exists(work("pwned")));
  EXPECT_FALSE(fs::exists(fs::path(VLTRX_EXE).parent_path() / "pwned"));
  EXPECT_TRUE(leftovers(box.tmp()).empty());
}

TEST_F(PluginRun, ExecStepsSucceedByTheirOperatorAndCodeElseTheImportFails) {
  struct Case {
    const char* exec;  // attributes of the exec line
    bool ok;
  };
  const Case cases[] = {
      {R"(cmdline="false")", true},  // no operator: ">=" 0, every code passes
      {R"(cmdline="false" success_operator="==")", false},
      {R"(cmdline="sh -c &quot;exit 3&quot;" success_operator="=<" success_code="3")", true},
      {R"(cmdline="sh -c &quot;exit 4&quot;" success_operator="=<" success_code="3")", false},
      {R"(cmdline="true" success_operator="<" success_code="-1")", true},
      {R"(cmdline="no-such-tool-vltrx --version")", false},
      {R"(cmdline="")", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec);
    spit(userFilter("in-filter", "step.xsl"),
         std::string("<?vltrx type=\"in-filter\" name=\"Step\" file-ext=\"*.step;\" cmd-ext=\"step\"?>\n<?exec ") +
             c.exec + "?>\n<?load cmdline=\"" + (kData / "plugins" / "one-point.csv").string() + " -in:csv\"?>\n");
    fs::copy_file(kData / "plugins" / "one-point.csv", work("in.step"), fs::copy_options::overwrite_existing);
    fs::remove(work("out.xml"));
    Result r = run({work("in.step"), work("out.xml")});
    if (c.ok) {
      EXPECT_EQ(r.status, 0) << r.err;
    } else {
      EXPECT_EQ(r.status, -2135 & 0xFF);
      EXPECT_NE(r.err.find("Error -2135: "), std::string::npos) << r.err;
      EXPECT_FALSE(fs::exists(work("out.xml")));
    }
  }
}

TEST_F(PluginRun, RecipeThatLoadsItselfEndsInsteadOfRecursingForever) {
  spit(userFilter("in-filter", "self.xsl"),
       "<?vltrx type=\"in-filter\" name=\"Self\" file-ext=\"*.self;\" cmd-ext=\"self\"?>\n"
       "<?load cmdline=\"%INFILE%\"?>\n");
  spit(work("a.self"), "");
  Result r = run({work("a.self"), work("out.xml")});
  EXPECT_EQ(r.status, -2135 & 0xFF);
  EXPECT_NE(r.err.find("Error -2135: "), std::string::npos) << r.err;
  EXPECT_TRUE(leftovers(box.tmp()).empty());
}

TEST_F(PluginRun, FolderOutputNamesEachLayoutWithThePluginsExtension) {
  Result r = run({kSample, work("out") / "", "-out:kml"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(work("out") / "Lot 12" / "As-built.kml"));
  EXPECT_TRUE(fs::is_regular_file(work("out") / "Lot 12" / "Stakeout.kml"));
  EXPECT_EQ(tool({"xmllint", "--noout", work("out") / "Lot 12" / "Stakeout.kml"}).status, 0);
}

TEST_F(PluginRun, FailedExportsNameTheProcessorCodeAndLeaveNoFileBehind) {
  fs::create_directories(userFilter("out-filter", ""));
  fs::copy_file(kData / "plugins" / "broken.xsl", userFilter("out-filter", "broken.xsl"));
  struct Case {
    const char* what;
    std::string output;
    std::map<std::string, std::string> env;
    std::string code;  // the exit code the message names
  };
  const Case cases[] = {
      {"processor missing", "plan.geojson", {{"VLTRX_XSLT_PROCESSOR", (box.root() / "none" / "msxsl").string()}}, "-1"},
      {"xsltproc not on PATH", "plan.geojson", {{"PATH", (box.root() / "none").string()}}, "127"},
      {"stylesheet fails", "plan.broken", {}, "11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = run({kSample, work(c.output)}, c.env);
    EXPECT_EQ(r.status, -2135 & 0xFF);
    EXPECT_NE(r.err.find("Error -2135: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" " + c.code + " "), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work(c.output)));
    EXPECT_TRUE(leftovers(work()).empty()) << ::testing::PrintToString(leftovers(work()));
  }
}

TEST_F(PluginRun, DeclinedOverwriteWritesNothing) {
  spit(work("plan.kml"), "old");
  Result r = run({kSample, work("plan.kml")});
  EXPECT_EQ(r.status, -2137 & 0xFF);
  EXPECT_EQ(slurp(work("plan.kml")), "old");
  EXPECT_TRUE(leftovers(work()).empty());
}

TEST_F(PluginRun, SignalDuringTheProcessorRunRemovesTheTemporaryFiles) {
  // A processor that hangs: the run is ended by SIGTERM while it waits.
  const fs::path slow = box.root() / "slow-msxsl";
  const fs::path pidFile = box.root() / "processor.pid";
  spit(slow, "#!/bin/sh\necho $$ > '" + pidFile.string() + "'\nexec sleep 30\n");
  fs::permissions(slow, fs::perms::owner_all);
  test::Process p(box.root(), {kSample, work("plan.geojson")},
                  test::RunOptions().setting({{"VLTRX_XSLT_PROCESSOR", slow.string()}}));
  ASSERT_GT(p.pid(), 0);
  bool seen = false;
  for (int i = 0; i < 200 && !seen; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    seen = !leftovers(work()).empty() && fs::exists(pidFile) && fs::file_size(pidFile) > 0;
  }
  ASSERT_TRUE(seen) << "the processor never started";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  kill(p.pid(), SIGTERM);
  Result r = p.wait();
  EXPECT_EQ(r.status, 1000 + SIGTERM);
  EXPECT_TRUE(leftovers(work()).empty()) << ::testing::PrintToString(leftovers(work()));
  EXPECT_FALSE(fs::exists(work("plan.geojson")));
  // The processor got the signal too and was waited for: it cannot write
  // its result after the files were removed.
  const pid_t processor = std::stoi(slurp(pidFile));
  EXPECT_EQ(kill(processor, 0), -1);
}

}  // namespace
}  // namespace vltrx
