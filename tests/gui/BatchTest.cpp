// The dialog's batch without Qt: which files, which outputs, which command
// lines, and the count of children that ended with 0.
#include "gui/Batch.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

void spit(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

const char kGoodCsv[] = "1;10.5;20.25;30.125\r\n2;11.5;21.25;31.125\r\n";
// A non-finite coordinate: the reader refuses the file with its bad-value error.
const char kBadCsv[] = "1;10.5;1e400;30.125\r\n";

std::vector<std::string> sortedInputs(const BatchPlan& plan) {
  std::vector<std::string> names;
  for (const BatchItem& i : plan.items) names.push_back(fs::path(i.input).filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Batch, FileModePlaceholderWritesBesideInputWithOutputExtension) {
  BatchRequest r;
  r.inputPath = "/data/site/plan.dxf";
  r.outputIsPlaceholder = true;
  r.inputExtension = "dxf";
  r.outputExtension = "csv";
  BatchPlan plan = planBatch(r);
  ASSERT_EQ(plan.items.size(), 1u);
  EXPECT_EQ(plan.items[0].input, "/data/site/plan.dxf");
  EXPECT_EQ(plan.items[0].output, "/data/site/plan.csv");

  r.outputIsPlaceholder = false;
  r.outputPath = "/out/other name.xml";
  plan = planBatch(r);
  ASSERT_EQ(plan.items.size(), 1u);
  EXPECT_EQ(plan.items[0].output, "/out/other name.xml");
}

TEST(Batch, CommandLineIsOneArgumentPerFieldWithFirstExtensions) {
  BatchItem item{"/in/a b;c.csv", "/out/$(x) \"q\".dxf"};
  std::vector<std::string> argv = conversionArguments("/opt/vltrx/bin/vltrx", item, "csv", "dxf");
  std::vector<std::string> expected = {"/opt/vltrx/bin/vltrx", "/in/a b;c.csv", "/out/$(x) \"q\".dxf", "-in:csv",
                                       "-out:dxf"};
  EXPECT_EQ(argv, expected);
}

TEST(Batch, FolderModeEmptyFilterTakesInputExtensionCaseInsensitively) {
  test::Sandbox box;
  fs::path in = box.root() / "in";
  for (const char* name : {"a.csv", "B.CSV", "c.txt", "d.csv.bak", ".hidden.csv"}) spit(in / name, kGoodCsv);
  fs::create_directories(in / "sub.csv");
  BatchRequest r;
  r.folderMode = true;
  r.inputPath = in.string();
  r.outputIsPlaceholder = true;
  r.inputExtension = "csv";
  r.outputExtension = "xml";
  BatchPlan plan = planBatch(r);
  EXPECT_EQ(sortedInputs(plan), (std::vector<std::string>{"B.CSV", "a.csv"}));
  for (const BatchItem& i : plan.items) EXPECT_EQ(fs::path(i.output).parent_path(), in) << i.output;

  struct Case {
    const char* filter;
    std::vector<std::string> names;
  };
  for (const Case& c : {Case{"*.txt", {"c.txt"}}, Case{"a*", {"a.csv"}}, Case{"?.csv", {"B.CSV", "a.csv"}},
                        Case{"*.none", {}}}) {
    SCOPED_TRACE(c.filter);
    r.inputFilter = c.filter;
    EXPECT_EQ(sortedInputs(planBatch(r)), c.names);
  }
}

TEST(Batch, FolderModeWithoutOutputFolderIsRefused) {
  test::Sandbox box;
  spit(box.root() / "in" / "a.csv", kGoodCsv);
  BatchRequest r;
  r.folderMode = true;
  r.inputPath = (box.root() / "in").string();
  r.inputExtension = "csv";
  r.outputExtension = "xml";
  BatchPlan plan = planBatch(r);
  EXPECT_EQ(plan.errorText, 83);
  EXPECT_TRUE(plan.items.empty());

  r.outputPath = (box.root() / "out").string();  // no trailing slash
  plan = planBatch(r);
  ASSERT_EQ(plan.items.size(), 1u);
  EXPECT_EQ(plan.items[0].output, (box.root() / "out" / "a.xml").string());
}

TEST(Batch, FiveFilesTwoFailingCountsThreeThroughTheRealProgram) {
  test::Sandbox box;
  fs::path in = box.root() / "in", out = box.root() / "out";
  for (const char* name : {"p1.csv", "p2.csv", "p3.csv"}) spit(in / name, kGoodCsv);
  for (const char* name : {"bad1.csv", "bad2.csv"}) spit(in / name, kBadCsv);
  fs::create_directories(out);
  BatchRequest r;
  r.folderMode = true;
  r.inputPath = in.string();
  r.outputPath = out.string();
  r.inputExtension = "csv";
  r.outputExtension = "xml";
  BatchPlan plan = planBatch(r);
  ASSERT_EQ(plan.items.size(), 5u);
  EXPECT_EQ(runBatch(plan, VLTRX_EXE, "csv", "xml", runChild), 3);
  for (const char* name : {"p1.xml", "p2.xml", "p3.xml"}) EXPECT_TRUE(fs::is_regular_file(out / name)) << name;
  EXPECT_FALSE(fs::exists(out / "bad1.xml"));
  EXPECT_FALSE(fs::exists(out / "bad2.xml"));
}

TEST(Batch, ProgramThatCannotStartCountsAsFailure) {
  BatchPlan plan;
  plan.items.push_back({"/nonexistent/a.csv", "/nonexistent/a.xml"});
  EXPECT_EQ(runBatch(plan, "/nonexistent/vltrx", "csv", "xml", runChild), 0);
}

}  // namespace
}  // namespace vltrx::gui
