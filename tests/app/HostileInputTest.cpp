// The built executable against what a hostile or unlucky user does: names
// that climb out of the output folder, settings shared between users, an
// output that is its own input, numbers beyond a double, stored options the
// command line refuses, special files, broken settings stores, interrupting
// signals, a foreign category folder and control characters. Every run has
// its own sandbox, the machine-wide store included.
#include "core/MessageTable.h"
#include "platform/SettingsStore.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using vltrx::platform::SettingsStore;
using vltrx::platform::ValueType;
using vltrx::test::Process;
using vltrx::test::Result;
using vltrx::test::slurp;
using vltrx::test::spit;

namespace {

std::string fixture(const std::string& name) { return std::string(VLTRX_TEST_DATA) + "/" + name; }

const char* const kPlan =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora version=\"2.12\">\r\n"
    "<measurements preferred_system=\"XYZ\">\r\n<mfolder name=\"Plan\">\r\n<polygon>\r\n"
    "<point id=\"1\" x=\"10.5000\" y=\"20.2500\" z=\"1.0000\"/>\r\n"
    "</polygon>\r\n</mfolder>\r\n</measurements>\r\n</velmora>\r\n";

std::string errorLine(int code) { return "Error " + std::to_string(code) + ": "; }

class HostileInput : public ::testing::Test {
 protected:
  Result run(std::vector<std::string> args, const std::string& answers = {}) {
    // Run in the sandbox, so that "/proc/self/cwd/..." names a place in it.
    return vltrx::test::runProgram(box.root(), std::move(args),
                                   vltrx::test::RunOptions().typed(answers).inFolder(box.root()));
  }

  /// A path in the test's work folder.
  fs::path work(const std::string& name) { return vltrx::test::workPath(box.root()) / name; }

  /// Every regular file below folder, relative to it.
  static std::set<std::string> filesBelow(const fs::path& folder) {
    std::set<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file()) out.insert(fs::relative(it->path(), folder).string());
    return out;
  }

  std::string optionFile(const std::string& key, const std::string& lines) {
    return "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + "]\r\n" + lines;
  }

  vltrx::test::Sandbox box;
};

}  // namespace

// --- names become safe path components ---------------------------------------

TEST_F(HostileInput, NamesFromAFileStayInsideTheOutputFolder) {
  // The subfolder name is an absolute path that leads into the sandbox (the
  // program runs there), so that a regression writes where the test sees it.
  const fs::path absolute = box.root() / "absolute";
  std::string doc = slurp(fixture("xml/names-that-climb.xml"));
  doc.replace(doc.find("@ABSOLUTE@"), 10, "/proc/self/cwd/absolute");
  spit(work("climb.xml"), doc);
  const std::string flat = "_proc_self_cwd_absolute";

  struct Case {
    const char* format;
    const char* ext;
  };
  for (const Case& c : {Case{"xml", ".xml"}, Case{"csv", ".csv"}}) {
    SCOPED_TRACE(c.format);
    const fs::path out = work(std::string("out-") + c.format);
    Result r = run({work("climb.xml").string(), out.string() + "/", "-in:xml", std::string("-out:") + c.format,
                    "-nodialog"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::set<std::string> expected = {flat + "/.._escaped" + c.ext, std::string("_") + c.ext,
                                            std::string("clear_[2Jscreen") + c.ext};
    EXPECT_EQ(filesBelow(out), expected);
    EXPECT_FALSE(fs::exists(absolute));
    EXPECT_FALSE(fs::exists(work("escaped") += c.ext));
  }
}

// --- settings that hold for every user ---------------------------------------

TEST_F(HostileInput, EveryUserGetsItsOwnFirstStartAndCategoryFolders) {
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  // Two users on one machine: the first (root in CI) runs, then the second.
  struct User {
    const char* name;
  };
  std::vector<fs::path> myCategories;
  for (const User& u : {User{"first"}, User{"second"}}) {
    SCOPED_TRACE(u.name);
    const fs::path home = box.root() / "users" / u.name;
    fs::create_directories(home);
    box.set("HOME", home);
    box.set("XDG_DATA_HOME", home / "data");
    box.set("XDG_CONFIG_HOME", home / "config");
    box.set("VLTRX_USER_SETTINGS", home / "config" / "vltrx" / "settings.db");
    ASSERT_EQ(run({"-version"}).status, 3400 & 0xFF);
    Result conversion = run({work("plan.csv").string(), work(std::string(u.name) + ".xml").string(), "-nodialog"});
    ASSERT_EQ(conversion.status, 0) << conversion.err;

    // Nothing of this run reaches the machine-wide store.
    EXPECT_FALSE(fs::exists(box.machineSettings()));
    auto store = SettingsStore::open(home / "config" / "vltrx" / "settings.db", SettingsStore::Mode::Read);
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->read("Software\\Kestrava\\Velmora\\vltrx", "Version"));
    auto value = store->read("Software\\Kestrava\\Velmora", "MyCategories");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, ValueType::ExpandString);
    EXPECT_EQ(value->data, "$XDG_DATA_HOME/vltrx/MyCategories");
    myCategories.push_back(home / "data" / "vltrx" / "MyCategories");
    EXPECT_TRUE(fs::is_directory(myCategories.back()));
  }
  // The first user's private category is not exported by the second.
  spit(myCategories[0] / "Private.vlcat",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora>\r\n"
       "<category encoding=\"CP_65001\" name=\"Private\" color=\"808080\"/>\r\n</velmora>\r\n");
  Result exported = run({"*categories", work("cats.xml").string(), "-in:xml", "-out:xml", "-nodialog"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(slurp(work("cats.xml")).find("Private"), std::string::npos);

  // A machine-wide value in the expandable form means each user's folder.
  {
    auto machine = SettingsStore::open(box.machineSettings(), SettingsStore::Mode::Create);
    ASSERT_NE(machine, nullptr);
    ASSERT_TRUE(machine->write("Software\\Kestrava\\Velmora", "StandardCategories", ValueType::ExpandString,
                               "~/standard"));
  }
  auto user = SettingsStore::open(box.root() / "users" / "second" / "config" / "vltrx" / "settings.db",
                                  SettingsStore::Mode::Create);
  ASSERT_TRUE(user->remove("Software\\Kestrava\\Velmora", "StandardCategories"));
  spit(box.root() / "users" / "second" / "standard" / "Shared.vlcat",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora>\r\n"
       "<category id=\"12000\" encoding=\"CP_65001\" name=\"Shared\" color=\"808080\"/>\r\n</velmora>\r\n");
  spit(work("shared.csv"), "1;10.5;20.25;1;Shared\r\n");
  Result shared = run({work("shared.csv").string(), work("shared.xml").string(), "-nodialog"});
  ASSERT_EQ(shared.status, 0) << shared.err;
  EXPECT_NE(slurp(work("shared.xml")).find("id=\"12000\""), std::string::npos) << slurp(work("shared.xml"));
}

// --- -delsource and an output that is the input -----------------------------

TEST_F(HostileInput, DeleteSourceKeepsAnInputThatWasOverwritten) {
  struct Case {
    const char* what;
    std::string input;
    std::vector<std::string> args;  // after the input
    std::string kept;               // the file that must remain
  };
  const std::string csv = work("a.csv").string();
  const std::string xml = work("b.xml").string();
  const std::string other = work("other.csv").string();
  const Case cases[] = {
      {"output is the input", csv, {csv, "-out:csv"}, csv},
      {"output is the input spelled differently", csv, {work("").string() + "./a.csv", "-out:csv"}, csv},
      {"the native XML copy is the input", xml, {work("b.csv").string(), "-xmlcopy"}, xml},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.input == csv)
      spit(csv, "1;10.5;20.25;1\r\n2;11.5;21.25;1\r\n");
    else
      spit(xml, kPlan);
    std::vector<std::string> args = {c.input};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("-delsource");
    args.push_back("-nodialog");
    Result r = run(args, "y\n");  // Yes to the overwrite question
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(c.kept));
    EXPECT_GT(fs::file_size(c.kept), 0u);
  }
  // A different output: the source goes, as asked.
  spit(csv, "1;10.5;20.25;1\r\n");
  Result moved = run({csv, other, "-out:csv", "-delsource", "-nodialog"});
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_FALSE(fs::exists(csv));
  EXPECT_TRUE(fs::exists(other));
}

// --- numbers beyond a double --------------------------------------------------

TEST_F(HostileInput, NumbersThatAreNotFiniteAreRefusedWithTheirLine) {
  struct Case {
    const char* file;
    const char* detail;
    int line;
  };
  const Case cases[] = {
      {"xml/infinite-coordinate.xml", "x", 7},
      {"xml/infinite-offset.xml", "y_offset", 4},
      {"xml/infinite-observation.xml", "phi", 6},
      {"csv/infinite-coordinate.csv", "y", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path out = work("out.xml");
    Result r = run({fixture(c.file), out.string(), "-out:xml", "-nodialog"});
    EXPECT_EQ(r.status, -701 & 0xFF);
    EXPECT_NE(r.err.find(errorLine(-701)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"" + std::string(c.detail) + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[line " + std::to_string(c.line) + "]"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
  // Finite numbers keep their prefix reading: "1e-400" is 0, "12.5m" is 12.5.
  spit(work("finite.csv"), "1;12.5m;1e-400;1\r\n");
  Result finite = run({work("finite.csv").string(), work("finite.xml").string(), "-nodialog"});
  ASSERT_EQ(finite.status, 0) << finite.err;
  EXPECT_NE(slurp(work("finite.xml")).find("x=\"12.5000\" y=\"0.0000\""), std::string::npos)
      << slurp(work("finite.xml"));
}

// --- stored options the command line refuses ------------------------------------

TEST_F(HostileInput, StoredScaleFactorsAreHeldToTheCommandLineRule) {
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  for (const char* value : {"1e400", "0", "1e-300", "-0.0000001"}) {
    SCOPED_TRACE(value);
    spit(work("scale.trxopt"), optionFile("Software\\Kestrava\\Velmora\\vltrx",
                                          std::string("\"CSV_In_ScaleFactor\"=\"") + value + "\"\r\n"));
    Result load = run({"-loadopt:" + work("scale.trxopt").string()});
    ASSERT_EQ(load.status, 0) << load.err;
    const fs::path out = work("out.xml");
    Result r = run({work("plan.csv").string(), out.string(), "-nodialog"});
    EXPECT_EQ(r.status, -2104 & 0xFF);
    EXPECT_NE(r.err.find(errorLine(-2104)), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    // -scale: replaces the stored factor for one run.
    Result given = run({work("plan.csv").string(), out.string(), "-scale:2", "-nodialog"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_NE(slurp(out).find("x=\"21.0000\""), std::string::npos);
    fs::remove(out);
  }
}

// --- special files ------------------------------------------------------------------

TEST_F(HostileInput, SpecialFilesAreRefusedInsteadOfHanging) {
  ASSERT_EQ(run({"-version"}).status, 3400 & 0xFF);
  ASSERT_EQ(::mkfifo(work("fifo.csv").c_str(), 0644), 0);
  ASSERT_EQ(::mkfifo(work("fifo.trxopt").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", work("zero.xml"));
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string named;
    int code;
  };
  const Case cases[] = {
      {"FIFO as input", {work("fifo.csv").string(), work("o.xml").string()}, "fifo.csv", -2101},
      {"symlink to /dev/zero as input", {work("zero.xml").string(), work("o.csv").string()}, "zero.xml", -2101},
      {"FIFO as option file", {"-loadopt:" + work("fifo.trxopt").string()}, "fifo.trxopt", -2101},
      {"/dev/zero as option file", {"-loadopt:/dev/zero"}, "/dev/zero", -2101},
      {"FIFO as option file to save", {"-saveopt:" + work("fifo.trxopt").string()}, "fifo.trxopt", -2126},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.args;
    args.push_back("-nodialog");
    Result r = run(args);
    EXPECT_EQ(r.status, c.code & 0xFF) << r.err;
    EXPECT_NE(r.err.find(errorLine(c.code)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
  }
  // In a category folder they are skipped like any unreadable category file.
  const fs::path mine = box.root() / "data" / "vltrx" / "MyCategories";
  ASSERT_EQ(::mkfifo((mine / "Fifo.vlcat").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", mine / "Zero.vlcat");
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  Result converted = run({work("plan.csv").string(), work("plan.xml").string(), "-nodialog"});
  EXPECT_EQ(converted.status, 0) << converted.err;
}

// --- settings stores that cannot take a write ------------------------------------------

TEST_F(HostileInput, SettingsThatCannotBeStoredOrReadAreReported) {
  spit(work("opts.trxopt"), optionFile("Software\\Kestrava\\Velmora\\vltrx", "\"CSV_In_Delimiter\"=\",\"\r\n"));
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  struct Case {
    const char* what;
    void (*damage)(const fs::path& store);
    std::vector<std::string> args;
    int code;
  };
  const std::string load = "-loadopt:" + work("opts.trxopt").string();
  const std::string in = work("plan.csv").string(), out = work("plan.xml").string();
  const Case cases[] = {
      {"read-only store, load", [](const fs::path& s) { fs::permissions(s, fs::perms::owner_read); }, {load}, -2126},
      {"not a database, load", [](const fs::path& s) { spit(s, std::string(4096, 'x')); }, {load}, -2101},
      {"not a database, conversion", [](const fs::path& s) { spit(s, std::string(4096, 'x')); }, {in, out}, -2101},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ec;
    fs::remove_all(box.userSettings().parent_path(), ec);
    ASSERT_EQ(run({"-version"}).status, 3400 & 0xFF);
    c.damage(box.userSettings());
    std::vector<std::string> args = c.args;
    args.push_back("-nodialog");
    Result r = run(args);
    EXPECT_EQ(r.status, c.code & 0xFF) << r.err;
    EXPECT_NE(r.err.find(errorLine(c.code)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(box.userSettings().string()), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    fs::permissions(box.userSettings(), fs::perms::owner_all, ec);
  }
}

// --- interrupting signals ---------------------------------------------------------------

TEST_F(HostileInput, InterruptingSignalsLeaveNoTemporaryFile) {
  // About 12 MB of points: writing them takes long enough to be caught.
  {
    std::ofstream big(work("big.csv"), std::ios::binary);
    char line[96];
    for (int i = 1; i <= 300000; ++i) {
      int n = std::snprintf(line, sizeof line, "%d;%.4f;%.4f;%.3f\r\n", i, 512000 + i * 0.013, 5401000 + i * 0.007,
                            300 + (i % 97) * 0.01);
      big.write(line, n);
    }
  }
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const fs::path out = work("out-" + std::to_string(sig));
    fs::create_directories(out);
    Process p(box.root(), {work("big.csv").string(), (out / "big.xml").string(), "-nodialog"},
              vltrx::test::RunOptions().inFolder(box.root()));
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!seen && p.running() && std::chrono::steady_clock::now() < deadline) {
      for (const auto& e : fs::directory_iterator(out))
        if (e.path().filename().string().rfind(".vltrx-tmp-", 0) == 0) seen = true;
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(seen) << "the temporary file never appeared";
    ::kill(p.pid(), sig);
    Result r = p.wait();
    EXPECT_EQ(r.status, 1000 + sig) << r.err;
    EXPECT_TRUE(filesBelow(out).empty()) << *filesBelow(out).begin();
  }
}

// --- the received-categories tidy step --------------------------------------------------

TEST_F(HostileInput, TidyingReceivedCategoriesTouchesOnlyCategoryFiles) {
  ASSERT_EQ(run({"-version"}).status, 3400 & 0xFF);
  struct Case {
    const char* what;
    int categoryFiles;
    int otherFiles;
    size_t categoriesLeft;
  };
  const Case cases[] = {
      {"a folder of other files", 0, 601, 1},
      {"more than 512 category files among others", 520, 50, 512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = work(std::string("received-") + std::to_string(c.categoryFiles));
    fs::create_directories(folder);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    for (int i = 0; i < c.otherFiles; ++i) {
      spit(folder / ("note" + std::to_string(i) + ".txt"), "keep");
      fs::last_write_time(folder / ("note" + std::to_string(i) + ".txt"), old);
    }
    for (int i = 0; i < c.categoryFiles; ++i) {
      spit(folder / ("Cat" + std::to_string(i) + ".vlcat"), "x");
      fs::last_write_time(folder / ("Cat" + std::to_string(i) + ".vlcat"), old + std::chrono::minutes(i));
    }
    spit(work("received.trxopt"),
         optionFile("Software\\Kestrava\\Velmora", "\"ReceivedCategories\"=\"" + folder.string() + "\"\r\n"));
    ASSERT_EQ(run({"-loadopt:" + work("received.trxopt").string()}).status, 0);
    Result r = run({fixture("xml/category-list.xml"), "*categories", "-in:xml", "-out:xml", "-nodialog"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t categories = 0, others = 0;
    for (const auto& e : fs::directory_iterator(folder))
      (e.path().extension() == ".vlcat" ? categories : others)++;
    EXPECT_EQ(others, size_t(c.otherFiles));
    EXPECT_EQ(categories, c.categoriesLeft);  // the imported Kerb.vlcat included
    EXPECT_TRUE(fs::exists(folder / "Kerb.vlcat"));
  }
}

// --- control characters --------------------------------------------------------------------

TEST_F(HostileInput, ControlCharactersAreEscapedOnTheTerminal) {
  std::string doc = kPlan;
  doc.replace(doc.find("\"Plan\""), 6, "\"clear\x1b[2Jscreen\"");
  spit(work("clear.xml"), doc);
  const std::string out = work("out").string() + "/";
  ASSERT_EQ(run({work("clear.xml").string(), out, "-in:xml", "-out:xml", "-nodialog"}).status, 0);
  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* shown;
  };
  const Case cases[] = {
      {"layout name in the overwrite question", {work("clear.xml").string(), out, "-in:xml", "-out:xml"},
       "clear_[2Jscreen.xml"},
      {"input name in an error", {work("in\x1b[2J.csv").string(), work("o.xml").string()}, "in\\x1B[2J.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = run(c.args);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
  }
}

// --- smaller points ------------------------------------------------------------------------

TEST_F(HostileInput, ErrorsQuoteWhatTheInputHolds) {
  struct Case {
    const char* file;
    int code;
    std::string shown;
  };
  const Case cases[] = {
      {"xml/point-number-beyond-32-bits.xml", -921, "99999999999"},
      {"csv/point-number-beyond-64-bits.csv", -921, "99999999999999999999999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Result r = run({fixture(c.file), work("o.xml").string(), "-out:xml", "-nodialog"});
    EXPECT_EQ(r.status, c.code & 0xFF);
    EXPECT_NE(r.err.find(errorLine(c.code)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" " + c.shown + " "), std::string::npos) << r.err;
  }
  // More than 1024 categories: the message names the limit.
  std::string many;
  for (int i = 1; i <= 1100; ++i) many += std::to_string(i) + ";10.5;20.25;1;Cat" + std::to_string(i) + "\r\n";
  spit(work("many.csv"), many);
  Result r = run({work("many.csv").string(), work("many.xml").string(), "-nodialog"});
  EXPECT_EQ(r.status, -611 & 0xFF);
  EXPECT_NE(r.err.find(errorLine(-611) + vltrx::text(127, vltrx::Language::En)), std::string::npos) << r.err;
}

TEST_F(HostileInput, SeparatorsAndLanguageCodesAreTakenAsTheyStand) {
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  for (const char* separator : {"1", ".", "-", "+", "\""}) {
    SCOPED_TRACE(separator);
    const fs::path out = work("out.csv");
    fs::remove(out);
    Result r = run({work("plan.csv").string(), out.string(), "-delout:" + std::string(separator), "-nodialog"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(out).find("10.5000"), std::string::npos);
  }
  Result english = run({"-help:nosuch"});
  Result deutsch = run({"-help:nosuch", "-lang:deutsch"});
  Result german = run({"-help:nosuch", "-lang:DE"});
  EXPECT_EQ(deutsch.err, english.err);
  EXPECT_NE(german.err, english.err);
}

TEST_F(HostileInput, DeclinedOverwriteEndsAfterItsQuestion) {
  spit(work("plan.csv"), "1;10.5;20.25;1\r\n");
  spit(work("plan.xml"), "keep me");
  for (const char* answers : {"", "n\n"}) {
    SCOPED_TRACE(*answers ? "answered No" : "no terminal");
    Result r = run({work("plan.csv").string(), work("plan.xml").string(), "-nodialog"}, answers);
    EXPECT_EQ(r.status, -2137 & 0xFF);
    EXPECT_NE(r.err.find("plan.xml"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(work("plan.xml")), "keep me");
  }
}
