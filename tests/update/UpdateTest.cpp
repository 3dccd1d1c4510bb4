#include "update/UpdateCheck.h"

#include "framework/SettingsKey.h"
#include "platform/SettingsStore.h"
#include "tests/support/Sandbox.h"
#include "tests/support/UpdateService.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace vltrx::update {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::closedPort;
using test::ReferenceService;
using test::SilentServer;

// Collects the events of one check.
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> lines;
  std::vector<UpdateOffer> offers;
  std::vector<int> results;
  bool finished = false;

  UpdateCallback callback() {
    return [this](const UpdateEvent& e) {
      std::lock_guard lock(mutex);
      switch (e.kind) {
        case UpdateEvent::Kind::Line: lines.push_back(e.text); break;
        case UpdateEvent::Kind::Offer: offers.push_back(e.offer); break;
        case UpdateEvent::Kind::Finished:
          results = e.results;
          finished = true;
          break;
      }
    };
  }
};

ProgramEntry vltrxEntry(int version = 3400, std::string language = "en") {
  return {std::string(kProgramKeyPath), "vltrx", std::move(language), version, "vltrx", 7};
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void useService(const std::string& url, uint32_t timeoutSeconds = 0) {
    SettingsKey maker;
    ASSERT_TRUE(maker.create(kMakerKeyPath));
    ASSERT_TRUE(maker.writeString("UpdateServiceUrl", url));
    ASSERT_TRUE(maker.writeString("UpdateDownloadUrl", "http://127.0.0.1:1/download"));
    if (timeoutSeconds) {
      ASSERT_TRUE(maker.writeDword("UpdateTimeout", timeoutSeconds));
    }
  }

  // One whole check of the vltrx entry; the recorder holds what came back.
  void check(UpdateChecker& checker, Recorder& r, bool withProgress) {
    ASSERT_TRUE(withProgress ? checker.checkWithProgress(r.callback()) : checker.checkInBackground(r.callback()));
    checker.wait();
    ASSERT_TRUE(r.finished);
    EXPECT_FALSE(checker.running());
  }

  test::Sandbox m_box;
};

TEST_F(UpdateCheckTest, NewerVersionIsOfferedWithTheSpecifiedQuery) {
  ReferenceService service(m_box.root(), {"--program", "other=9000", "--program", "vltrx=3500"});
  ASSERT_GT(service.port(), 0);
  useService(service.url());
  UpdateChecker checker;
  ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
  Recorder r;
  check(checker, r, true);

  EXPECT_EQ(r.results, std::vector<int>{3500});
  EXPECT_EQ(r.lines, (std::vector<std::string>{"Looking for update of vltrx...", "     New version 3.500 available"}));
  ASSERT_EQ(r.offers.size(), 1u);
  EXPECT_EQ(r.offers[0].newVersion, 3500);
  EXPECT_EQ(r.offers[0].title, "vltrx Update");
  EXPECT_EQ(r.offers[0].question,
            "A new version V3.500 of vltrx is available. Do you want to visit the download website for the new "
            "version ?");
  EXPECT_EQ(r.offers[0].dontRemind, "Don't remind again for this version");

  // env is the stored installation id; os the kernel's numbers.
  OsVersion os = osVersion();
  std::string query = "/versions.xml?env=" + std::to_string(installationId()) + "&lang=en&ver=3400&os=" +
                      std::to_string(os.major) + "." + std::to_string(os.minor) + "." +
                      std::to_string(os.build) + "&pgr=vltrx&serno=7 ";
  EXPECT_NE(service.log().find("GET " + query), std::string::npos) << service.log();
}

TEST_F(UpdateCheckTest, SameOlderOrOtherProgramGivesNoNewVersion) {
  // One service; its --versions document is read again for every request.
  const fs::path document = m_box.root() / "versions.xml";
  std::ofstream(document) << "";
  ReferenceService service(m_box.root(), {"--versions", document.string()});
  useService(service.url());
  const char* cases[] = {"<VerInfo Id=\"vltrx\" Version=\"3400\"/>", "<VerInfo Id=\"vltrx\" Version=\"3000\"/>",
                         "<VerInfo Id=\"vltrx2\" Version=\"9000\"/>", "<VerInfo Id=\"Vltrx\" Version=\"9000\"/>",
                         "<Versions/>"};
  for (const char* c : cases) {
    SCOPED_TRACE(c);
    std::ofstream(document, std::ios::trunc) << "<Versions>\r\n" << c << "\r\n</Versions>\r\n";
    UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
    Recorder r;
    check(checker, r, true);
    EXPECT_EQ(r.results, std::vector<int>{kNothingNewer});
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[1], "     No new version of vltrx available.");
    EXPECT_TRUE(r.offers.empty());
  }
}

TEST_F(UpdateCheckTest, DisableValueSilencesOnlyTheBackgroundCheck) {
  ReferenceService service(m_box.root(), {"--program", "vltrx=3500"});
  useService(service.url());
  UpdateChecker checker;
  ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
  Recorder first;
  check(checker, first, false);
  ASSERT_EQ(first.offers.size(), 1u);
  EXPECT_TRUE(first.lines.empty());  // the silent run shows no progress list

  // "Don't remind again" ticked, No pressed: the value holds the version, no page.
  EXPECT_EQ(answerOffer(first.offers[0], false, true), "");
  SettingsKey program;
  ASSERT_TRUE(program.open(kProgramKeyPath));
  uint32_t disabled = 0;
  ASSERT_TRUE(program.readDword("DisableVltrxUpdateVersion", disabled, 0));
  EXPECT_EQ(disabled, 3500u);

  Recorder silent;
  check(checker, silent, false);
  EXPECT_EQ(silent.results, std::vector<int>{3500});
  EXPECT_TRUE(silent.offers.empty());

  Recorder menu;
  check(checker, menu, true);
  ASSERT_EQ(menu.offers.size(), 1u);

  // Yes without the check box: the value is reset to 0 and the page opens.
  EXPECT_EQ(answerOffer(menu.offers[0], true, false),
            "http://127.0.0.1:1/download?lang=en&curver=3400&newver=3500&prog=vltrx");
  ASSERT_TRUE(program.readDword("DisableVltrxUpdateVersion", disabled, 1));
  EXPECT_EQ(disabled, 0u);
}

TEST_F(UpdateCheckTest, ReplyIsCutAfter32767Bytes) {
  struct Case {
    int padding;
    int expected;
  } cases[] = {{30000, 3500}, {40000, kNothingNewer}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.padding);
    ReferenceService service(m_box.root(), {"--program", "vltrx=3500", "--padding", std::to_string(c.padding)});
    useService(service.url());
    UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
    Recorder r;
    check(checker, r, false);
    EXPECT_EQ(r.results, std::vector<int>{c.expected});
  }
}

TEST_F(UpdateCheckTest, RefusedConnectionGivesServiceUnreachable) {
  useService("http://127.0.0.1:" + std::to_string(closedPort()) + "/versions.xml");
  UpdateChecker checker;
  ASSERT_TRUE(checker.registerProgram(vltrxEntry(3400, "fr")));
  Recorder r;
  check(checker, r, true);
  EXPECT_EQ(r.results, std::vector<int>{kServiceUnreachable});
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[1], updateText(UpdateText::ServiceDown, UpdateLanguage::Fr));
  EXPECT_TRUE(r.offers.empty());
}

TEST_F(UpdateCheckTest, HttpErrorAndMissingServiceGiveServiceUnreachable) {
  ReferenceService service(m_box.root(), {"--program", "vltrx=3500"});
  for (std::string url : {"http://127.0.0.1:" + std::to_string(service.port()) + "/nothing-here.xml",
                          std::string("ftp://127.0.0.1:1/versions.xml")}) {
    SCOPED_TRACE(url);
    useService(url);
    UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
    Recorder r;
    check(checker, r, false);
    EXPECT_EQ(r.results, std::vector<int>{kServiceUnreachable});
  }
}

// HTTPS checks the certificate: the service's own certificate is refused
// until the settings name it as trusted.
TEST_F(UpdateCheckTest, HttpsVerifiesTheCertificate) {
  const std::string data = VLTRX_TEST_DATA "/update/";
  ReferenceService service(m_box.root(), {"--program", "vltrx=3500", "--tls-cert", data + "service-cert.pem",
                                          "--tls-key", data + "service-key.pem"});
  ASSERT_GT(service.port(), 0);
  useService(service.httpsUrl());
  for (bool trusted : {false, true}) {
    SCOPED_TRACE(trusted);
    if (trusted) {
      SettingsKey maker;
      ASSERT_TRUE(maker.create(kMakerKeyPath));
      ASSERT_TRUE(maker.writeString("UpdateCaFile", data + "service-cert.pem"));
    }
    UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
    Recorder r;
    check(checker, r, false);
    EXPECT_EQ(r.results, std::vector<int>{trusted ? 3500 : kServiceUnreachable});
  }
}

TEST_F(UpdateCheckTest, StalledServerTimesOutAndSecondStartIsRefused) {
  SilentServer silent;
  useService(silent.url(), 2);
  UpdateChecker checker;
  ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
  Recorder r;
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(checker.checkInBackground(r.callback()));
  EXPECT_TRUE(checker.running());
  EXPECT_FALSE(checker.checkInBackground(r.callback()));
  EXPECT_FALSE(checker.checkWithProgress(r.callback()));
  // The worker has its own copy: a program added now is not checked.
  EXPECT_TRUE(checker.registerProgram(vltrxEntry(1000)));
  checker.wait();
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(r.results, std::vector<int>{kServiceUnreachable});
  EXPECT_GE(took, 1900ms);
  EXPECT_LT(took, 6s);
}

// A callback may use the checker: register, wait (returns at once) and
// start (refused while its own check runs); nothing deadlocks.
TEST_F(UpdateCheckTest, CallbackMayUseTheChecker) {
  useService("http://127.0.0.1:" + std::to_string(closedPort()) + "/versions.xml");
  UpdateChecker checker;
  ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
  std::vector<bool> restarted;
  ASSERT_TRUE(checker.checkWithProgress([&](const UpdateEvent&) {
    checker.registerProgram(vltrxEntry());
    checker.wait();
    restarted.push_back(checker.checkInBackground(nullptr));
  }));
  checker.wait();
  EXPECT_EQ(restarted, (std::vector<bool>{false, false, false}));  // two lines, then Finished
}

TEST_F(UpdateCheckTest, DestroyingTheCheckerEndsARunningCheck) {
  SilentServer silent;
  useService(silent.url(), 60);
  auto started = std::chrono::steady_clock::now();
  {
    UpdateChecker checker;
    ASSERT_TRUE(checker.registerProgram(vltrxEntry()));
    ASSERT_TRUE(checker.checkInBackground(nullptr));
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

// Runs a shell command line (the test's own, fixed text), stdout and stderr
// together; status receives the exit status.
std::string runCommand(const std::string& command, int* status) {
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  *status = WEXITSTATUS(pclose(p));
  return out;
}

// The command line: the progress lines on stdout, exit 0 when the service
// answered, the low byte of -2 when it cannot be reached.
TEST_F(UpdateCheckTest, CommandLineCheckPrintsTheProgressLines) {
  ReferenceService service(m_box.root(), {"--program", "vltrx=3500"});
  auto run = [&](int* status) { return runCommand(std::string(VLTRX_EXE) + " -checkupdate -lang:en", status); };
  useService(service.url());
  int status = -1;
  std::string out = run(&status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("Looking for update of vltrx...\n     New version 3.500 available\nvltrx Update\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("/download?lang=en&curver=3400&newver=3500&prog=vltrx"), std::string::npos) << out;

  useService("http://127.0.0.1:" + std::to_string(closedPort()) + "/versions.xml");
  out = run(&status);
  EXPECT_EQ(status, 254);
  EXPECT_NE(out.find("Unable to search for updates since the Update Server is not available."), std::string::npos)
      << out;
}

// In a network namespace of its own the program sees no interface but a
// loopback one that is down: no Internet connection, -1, before any request.
TEST_F(UpdateCheckTest, CommandLineCheckWithoutNetworkGivesNoInternet) {
  int status = -1;
  std::string probe = runCommand("unshare -n true", &status);
  if (status != 0) GTEST_SKIP() << "no network namespace here (unshare -n needs root): " << probe;
  // A documentation address (TEST-NET-1): nothing would answer it anyway.
  useService("http://192.0.2.1/versions.xml");
  std::string out = runCommand("unshare -n " + std::string(VLTRX_EXE) + " -checkupdate -lang:en", &status);
  EXPECT_EQ(status, 255) << out;  // the low byte of -1
  EXPECT_NE(out.find("Looking for update of vltrx...\nUnable to search for updates since there is no Internet "
                     "connection.\n"),
            std::string::npos)
      << out;
}

TEST(UpdateTable, HoldsAtMostNinePrograms) {
  UpdateChecker checker;
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(checker.registerProgram(vltrxEntry(i)));
  EXPECT_FALSE(checker.registerProgram(vltrxEntry()));
  ProgramEntry tooLong = vltrxEntry();
  tooLong.name = std::string(65, 'a');
  EXPECT_FALSE(UpdateChecker().registerProgram(tooLong));
}

TEST(InstallationId, CreatedOnceWithTheByteRule) {
  test::Sandbox box;
  uint32_t id = installationId();
  uint8_t b1 = id >> 8 & 0xff, b2 = id >> 16 & 0xff, b3 = id >> 24;
  EXPECT_EQ(id & 0xff, static_cast<uint8_t>(static_cast<uint8_t>(~b2) + b3 + b1));
  EXPECT_EQ(installationId(), id);
  auto store = platform::SettingsStore::open(box.userSettings(), platform::SettingsStore::Mode::Read);
  ASSERT_NE(store, nullptr);
  auto value = store->read(kMakerKeyPath, "Environment");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, platform::ValueType::Binary);
  ASSERT_EQ(value->data.size(), 4u);
  EXPECT_EQ(static_cast<uint8_t>(value->data[0]), id & 0xff);
  // ~0x20 = 0xDF; 0xDF + 0x30 + 0x10 = 0x11F -> 0x1F.
  EXPECT_EQ(makeInstallationId(0x10, 0x20, 0x30), 0x3020101Fu);
}

TEST(VersionScan, ReadsVerInfoLines) {
  struct Case {
    const char* reply;
    int expected;
  } cases[] = {
      {"<VerInfo Id=\"vltrx\" Version=\"3500\"/>", 3500},
      {"<x>\r  \t<VerInfo Version='3600' Id='vltrx'>\n", 3600},
      {"<VerInfo Id=\"other\" Version=\"9000\"/>\n<VerInfo Id=\"vltrx\" Version=\"3401\"/>\n"
       "<VerInfo Id=\"vltrx\" Version=\"9999\"/>",
       3401},
      {"<VerInfo Id=\"vltrx\" MinVersion=\"5000\" Version=\"3000\"/>", 0},
      {"<VerInfo Id=\"vltrx\" Version=\"-5\"/>", 0},
      {"<VerInfo Id=\"vltrx\" Version=\"35x\"/>", 0},
      {"<VerInfo Id=\"vltrx\" Version=\"99999999999\"/>", 0},
      {"x <VerInfo Id=\"vltrx\" Version=\"3500\"/>", 0},
      {"<verinfo Id=\"vltrx\" Version=\"3500\"/>", 0},
      {"<VerInfo Id=\"vltrx\" Version=\"3500", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    EXPECT_EQ(scanVersions(c.reply, "vltrx", 3400), c.expected);
  }
  std::string longId(64, 'v');
  EXPECT_EQ(scanVersions("<VerInfo Id=\"" + longId + "\" Version=\"3500\"/>", longId, 3400), 0);
  std::string id63(63, 'v');
  EXPECT_EQ(scanVersions("<VerInfo Id=\"" + id63 + "\" Version=\"3500\"/>", id63, 3400), 3500);
}

TEST(UpdateRequest, QueryOsNumbersAndDownloadPage) {
  RequestQuery q{4294967295u, "pl", 3400, {6, 1, 0}, "vltrx", -1};
  EXPECT_EQ(requestUrl("https://u.example/v.xml", q),
            "https://u.example/v.xml?env=4294967295&lang=pl&ver=3400&os=6.1.0&pgr=vltrx&serno=-1");
  q.programName = "a b&c";
  EXPECT_EQ(requestUrl("https://u.example/v?site=1", q),
            "https://u.example/v?site=1&env=4294967295&lang=pl&ver=3400&os=6.1.0&pgr=a%20b%26c&serno=-1");
  EXPECT_EQ(downloadPageUrl("https://u.example/d", "de", 3400, 3500, "vltrx"),
            "https://u.example/d?lang=de&curver=3400&newver=3500&prog=vltrx");
  struct Case {
    const char* release;
    int major, minor, build;
  } cases[] = {{"6.1.0-18-amd64", 6, 1, 0}, {"5.15.153.1-microsoft", 5, 15, 153}, {"4.19", 4, 19, 0}, {"", 0, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    OsVersion v = parseOsRelease(c.release);
    EXPECT_EQ(v.major, c.major);
    EXPECT_EQ(v.minor, c.minor);
    EXPECT_EQ(v.build, c.build);
  }
  EXPECT_EQ(disableValueName("vltrx"), "DisableVltrxUpdateVersion");
}

TEST(UpdateTexts, LanguageCodesAndFields) {
  struct Case {
    const char* code;
    UpdateLanguage language;
  } cases[] = {{"de", UpdateLanguage::De}, {"en", UpdateLanguage::En}, {"fr", UpdateLanguage::Fr},
               {"ru", UpdateLanguage::Ru}, {"pl", UpdateLanguage::Pl}, {"it", UpdateLanguage::En},
               {"sp", UpdateLanguage::En}, {"xx", UpdateLanguage::De}, {"", UpdateLanguage::De}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(languageFromCode(c.code), c.language);
  }
  // Every text exists in every language with the same fields.
  for (int t = 0; t <= static_cast<int>(UpdateText::No); ++t) {
    const std::string& en = updateText(static_cast<UpdateText>(t), UpdateLanguage::En);
    for (UpdateLanguage l : {UpdateLanguage::De, UpdateLanguage::Fr, UpdateLanguage::Ru, UpdateLanguage::Pl}) {
      SCOPED_TRACE(t);
      const std::string& s = updateText(static_cast<UpdateText>(t), l);
      EXPECT_FALSE(s.empty());
      EXPECT_EQ(s.find("%s") != std::string::npos, en.find("%s") != std::string::npos);
      EXPECT_EQ(s.find("%.3f") != std::string::npos, en.find("%.3f") != std::string::npos);
      if (l != UpdateLanguage::De || t != static_cast<int>(UpdateText::OfferTitle)) {
        EXPECT_NE(s, en);
      }
    }
  }
  EXPECT_EQ(formatText("%s: %.3f 100%%", "vltrx", 3405), "vltrx: 3.405 100%");
  EXPECT_EQ(versionText(12), "0.012");
}

}  // namespace
}  // namespace vltrx::update
