// The desktop side of the Qt program, through separate processes (gui_probe):
// Cancel in a child's progress window while it writes, and the start-up
// check of the category file type with its restoration for the user, and
// where the manual is found.
#include "core/MessageTable.h"
#include "gui/Manual.h"
#include "platform/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace vltrx::gui {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> folderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DesktopTest, CancelWhileWritingLeavesNeitherTemporaryFileNorOutput) {
  test::Sandbox box;
  fs::path work = box.root() / "work", out = box.root() / "out";
  fs::create_directories(work);
  fs::create_directories(out);
  {
    // Large enough that the writer runs for a while (about a second here).
    std::ofstream csv(work / "big.csv", std::ios::binary);
    for (int i = 1; i <= 150000; ++i) csv << i << ';' << i * 0.5 << ';' << i * 0.25 << ";1.5\r\n";
  }
  test::RunOptions options;
  options.program = GUI_PROBE;
  options.env["QT_QPA_PLATFORM"] = "offscreen";
  // Over the previous result, as a batch run twice does: that file stays whole.
  test::spit(out / "big.xml", "earlier result");
  test::Result r = test::Process(work, {"cancel", out.string(), VLTRX_EXE, (work / "big.csv").string(),
                                        (out / "big.xml").string(), "-in:csv", "-out:xml"},
                                 options)
                       .wait(120);
  ASSERT_NE(r.out.find("CANCEL"), std::string::npos) << "no temporary file was seen: " << r.status << r.err;
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(folderEntries(out), std::vector<std::string>{"big.xml"});
  EXPECT_EQ(test::slurp(out / "big.xml"), "earlier result");
}

TEST(DesktopTest, GraphicalProgramOpensTheDialogWithALanguageAloneAndConvertsOtherwise) {
  // "vltrx-gui -lang:de" is the dialog in German, not a conversion without
  // an input file; with a file it is the conversion.
  test::Sandbox box;
  test::RunOptions options;
  options.program = fs::path(VLTRX_EXE).parent_path() / "vltrx-gui";
  options.env["QT_QPA_PLATFORM"] = "offscreen";
  {
    test::Process dialog(box.root(), {"-lang:de"}, options);
    for (int i = 0; i < 20 && dialog.running(); ++i) ::usleep(100 * 1000);
    EXPECT_TRUE(dialog.running()) << "the dialog did not stay open";
  }
  EXPECT_EQ(test::slurp(box.root() / "stderr.txt").find("-2121"), std::string::npos);
  test::Result r = test::Process(box.root(), {"-lang:en", "missing.csv", "out.xml", "-nodialog"}, options).wait(60);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("missing.csv"), std::string::npos) << r.err;
}

TEST(DesktopTest, CategoryTypeAskedWhileMissingAndRestoredForTheUserOnYes) {
  test::Sandbox box;
  fs::path data = box.root() / "data", system = box.root() / "system";
  fs::create_directories(system);
  test::RunOptions options;
  options.program = GUI_PROBE;
  options.env["QT_QPA_PLATFORM"] = "offscreen";
  // The machine's own MIME folders stay out of it, whatever is installed.
  options.env["XDG_DATA_DIRS"] = system.string();
  const std::string gui = "/opt/vltrx 3/bin/vltrx-gui";
  auto run = [&](const std::vector<std::string>& args) {
    test::Result r = test::Process(box.root(), args, options).wait(60);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  };
  const std::string question = "ASKED Some important file links for Geodata Converter are missing! Restore?\n";

  // No: nothing written, nothing remembered, asked again next time.
  EXPECT_EQ(run({"filelinks", "No", gui}), question);
  EXPECT_FALSE(fs::exists(data / "mime"));
  EXPECT_EQ(run({"filelinks", "No", gui}), question);
  EXPECT_FALSE(fs::exists(data / "mime"));

  EXPECT_EQ(run({"filelinks", "Yes", gui}), question);
  EXPECT_EQ(run({"mimetype", "Site 4.vlcat"}), "application/x-velmora-category\n");
  EXPECT_NE(test::slurp(data / "mime" / "packages" / "vltrx-category.xml").find("*.vlcat"), std::string::npos);
  std::string entry = test::slurp(data / "applications" / "vltrx-gui.desktop");
  EXPECT_NE(entry.find("\nExec=\"" + gui + "\"\n"), std::string::npos) << entry;
  EXPECT_TRUE(fs::is_regular_file(data / "icons" / "hicolor" / "scalable" / "apps" / "vltrx.svg"));
  // Known now: no question.
  EXPECT_EQ(run({"filelinks", "Yes", gui}), "");
}

TEST(DesktopTest, ManualBesideTheProgramThenInstalledThenInTheSourceTree) {
  test::Sandbox box;
  const fs::path bin = box.root() / "usr" / "bin";
  const fs::path sourceDocs = fs::path(VLTRX_TEST_DATA).parent_path().parent_path() / "docs";
  fs::create_directories(bin);
  EXPECT_EQ(findManual(bin, {}), fs::path()) << "none: the dialog says text 6";
  EXPECT_EQ(findManual(bin, sourceDocs), sourceDocs / "manual.md");
  EXPECT_EQ(sourceDocsFolder(), sourceDocs);
  const fs::path installed = box.root() / "usr" / "share" / "doc" / "vltrx" / "manual.md";
  test::spit(installed, "# manual");
  EXPECT_EQ(findManual(bin, sourceDocs), installed);
  setLanguage(Language::De);
  EXPECT_EQ(findManual(bin, {}), installed) << "no German one installed: the English one";
  const fs::path german = installed.parent_path() / "manual-de.md";
  test::spit(german, "# Handbuch");
  EXPECT_EQ(findManual(bin, sourceDocs), german);
  EXPECT_EQ(findManual(box.root(), sourceDocs), sourceDocs / "manual-de.md");
  const fs::path local = bin / text(4) / text(5);
  test::spit(local, "%PDF");
  EXPECT_EQ(findManual(bin, sourceDocs), local);
  setLanguage(Language::En);
  EXPECT_EQ(findManual(bin, sourceDocs), installed) << "the German manual is not the English one";
  fs::remove(local);

  // The HTML pages made from the Markdown come first, each in its language.
  const fs::path html = installed.parent_path() / "manual.html", germanHtml = installed.parent_path() / "manual-de.html";
  test::spit(html, "<html lang=\"en\">");
  struct Case {
    Language language;
    bool germanHtmlThere;
    fs::path expected;
    const char* why;
  };
  const Case cases[] = {
      {Language::En, false, html, "the English page before manual.md"},
      {Language::De, false, german, "a German manual before an English page"},
      {Language::Ru, false, html, "no Russian manual: the English page"},
      {Language::De, true, germanHtml, "the German page before manual-de.md"},
      {Language::En, true, html, "the German page is not the English one"},
      {Language::Fr, true, html, "no French manual: the English page"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.germanHtmlThere) test::spit(germanHtml, "<html lang=\"de\">");
    setLanguage(c.language);
    EXPECT_EQ(findManual(bin, sourceDocs), c.expected);
  }
  setLanguage(Language::En);
}

TEST(DesktopTest, BuildFolderProgramFindsTheBuildsManualPages) {
  // vltrx-gui run from the build folder (app/) opens the pages the build
  // made in share/doc/vltrx, not the Markdown of the source tree.
  const fs::path build = fs::path(VLTRX_EXE).parent_path().parent_path();
  const fs::path pages = build / "share" / "doc" / "vltrx";
  if (!fs::exists(pages / "manual.html")) GTEST_SKIP() << "this build makes no HTML manual";
  const fs::path sourceDocs = fs::path(VLTRX_TEST_DATA).parent_path().parent_path() / "docs";
  EXPECT_EQ(findManual(build / "app", sourceDocs), pages / "manual.html");
  setLanguage(Language::De);
  EXPECT_EQ(findManual(build / "app", sourceDocs), pages / "manual-de.html");
  setLanguage(Language::En);
}

}  // namespace
}  // namespace vltrx::gui
