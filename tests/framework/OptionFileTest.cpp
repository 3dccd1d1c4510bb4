#include "framework/OptionFile.h"

#include "core/CError.h"
#include "framework/SettingsKey.h"
#include "platform/SettingsStore.h"
#include "tests/support/Sandbox.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace vltrx {
namespace {

using platform::SettingsStore;
using platform::ValueType;
using namespace std::string_literals;

std::string dword(uint32_t v) {
  return std::string{static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                     static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const std::string kUserSection = "[HKEY_CURRENT_USER\\Software\\Kestrava\\Velmora\\vltrx]\r\n";
const std::string kMachineSection = "[HKEY_LOCAL_MACHINE\\Software\\Kestrava\\Velmora\\vltrx]\r\n";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

class OptionFileTest : public ::testing::Test {
 protected:
  // The machine-wide store is the installation's: made here, read by the key.
  void SetUp() override {
    m_machine = SettingsStore::open(m_box.machineSettings(), SettingsStore::Mode::Create);
    ASSERT_NE(m_machine, nullptr);
    ASSERT_TRUE(m_machine->createKey(kProgramKeyPath));
    ASSERT_TRUE(m_key.create(kProgramKeyPath));
  }

  SettingsStore& user() { return *m_key.userStore(); }
  SettingsStore& machine() { return *m_machine; }
  std::filesystem::path file(const char* name) const { return m_box.tmp() / name; }

  test::Sandbox m_box;
  std::unique_ptr<SettingsStore> m_machine;
  SettingsKey m_key;
};

TEST_F(OptionFileTest, SavesEveryValueFormInStoreOrder) {
  m_box.set("VLTRX_OPT_DIR", "/data/survey");
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Swap", ValueType::Dword, dword(255)));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Path", ValueType::String, "C:\\out \"x\""));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Dir", ValueType::ExpandString, "%VLTRX_OPT_DIR%\\%NOPE%"));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Blob", ValueType::Binary, "\x00\x0f\xa0"s));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Empty", ValueType::Binary, ""));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Zero", ValueType::Dword, dword(0)));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Odd", ValueType::Dword, "\x01"));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Multi", static_cast<ValueType>(7), "a\0b\0"s));
  ASSERT_TRUE(user().write(kProgramKeyPath, "CSV_Out_Max", ValueType::Dword, dword(0xFFFFFFFF)));
  ASSERT_TRUE(user().write(kProgramKeyPath, "csv_out_swap", ValueType::Dword, dword(0x1a)));  // overwrite
  ASSERT_TRUE(machine().write(kProgramKeyPath, "CSV_In_Delimiter", ValueType::String, ";"));

  ASSERT_TRUE(saveOptionFile(m_key, file("all.trxopt"), kFormatAll, kFormatAll));
  EXPECT_EQ(readFile(file("all.trxopt")),
            kHeader + kUserSection +
                "\"CSV_Out_Swap\"=dword:1a\r\n"
                "\"CSV_Out_Path\"=\"C:\\out \"x\"\"\r\n"
                "\"CSV_Out_Dir\"=\"/data/survey\\%NOPE%\"\r\n"
                "\"CSV_Out_Blob\"=hex:00,0f,a0\r\n"
                "\"CSV_Out_Empty\"=hex:\r\n"
                "\"CSV_Out_Zero\"=dword:0\r\n"
                "\"CSV_Out_Max\"=dword:ffffffff\r\n" +
                kMachineSection + "\"CSV_In_Delimiter\"=\";\"\r\n");
}

TEST_F(OptionFileTest, SectionLineEvenWithoutStore) {
  m_key.close();
  m_box.set("VLTRX_MACHINE_SETTINGS", "/dev/null/settings.db");
  ASSERT_TRUE(m_key.create(kProgramKeyPath));
  ASSERT_EQ(m_key.machineStore(), nullptr);
  ASSERT_TRUE(m_key.writeDword("XML_Out_Swap", 1));
  EXPECT_EQ(optionFileText(m_key, optionFilter(kFormatXml, kFormatXml)),
            kHeader + kUserSection + "\"XML_Out_Swap\"=dword:1\r\n" + kMachineSection);
  EXPECT_FALSE(saveOptionFile(m_key, m_box.root() / "no" / "such" / "dir.trxopt", kFormatAll, kFormatAll));
}

TEST(OptionFilter, SelectsByFormatAndDirection) {
  struct Case {
    FormatType in, out;
    const char* name;
    bool saved;
  };
  const Case cases[] = {
      {kFormatXml, kFormatCsv, "XML_In_ScaleFactor", true},
      {kFormatXml, kFormatCsv, "CSV_Out_Delimiter", true},
      {kFormatXml, kFormatCsv, "CSV_In_Delimiter", false},
      {kFormatXml, kFormatCsv, "InFileType", false},
      {kFormatXml, kFormatCsv, "Version", false},
      {kFormatXml, kFormatCsv, "XML_InScaleFactor", true},
      {kFormatXml, kFormatCsv, "XML_Out_Swap", false},
      {kFormatXml, kFormatCsv, "csv_out_delimiter", false},  // case-sensitive
      {kFormatDxf, kFormatNone, "DXF_Approx", true},
      {kFormatDxf, kFormatNone, "DXF_In_KeepVl", true},
      {kFormatDxf, kFormatNone, "DXF_PDMODE", false},
      {kFormatNone, kFormatDxf, "DXF_PDMODE", true},
      {kFormatGsi, kFormatReb, "GSI_InScaleFactor", true},
      {kFormatGsi, kFormatReb, "REB_OutType", true},
      {kFormatGsi, kFormatReb, "REB_InScaleFactor", false},
      {kFormatEsri, kFormatDat, "ESRI_In_NoData", true},
      {kFormatEsri, kFormatDat, "DAT_OutScaleFactor", true},
      {kFormatDat, kFormatEsri, "DAT_Out_X", false},
      {kFormatSvg, kFormatSvg, "SVG_Out_X", false},
      {kFormatAll, kFormatAll, "DXF_CPFactor", true},
      {kFormatAll, kFormatAll, "XSLT_Out_Swap", true},
      {kFormatAll, kFormatAll, "TXT_In_Format", true},
      {kFormatAll, kFormatAll, "InFileType", false},
      {kFormatAll, kFormatAll, "CatDir", false},
      {kFormatAll, kFormatAll, "Version", false},
      {kFormatAll, kFormatAll, "ImportFileFormats", false},
      {kFormatAll, kFormatAll, "PointID_Prefix", false},
      {kFormatAll, kFormatNone, "CSV_Out_Delimiter", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.in) + "/" + std::to_string(c.out) + " " + c.name);
    EXPECT_EQ(optionFilter(c.in, c.out).accepts(c.name), c.saved);
  }
}

TEST_F(OptionFileTest, SaveAndLoadRoundTrip) {
  ASSERT_TRUE(m_key.writeString("CSV_Out_Path", "C:\\data\\\"quoted\" ä"));
  ASSERT_TRUE(m_key.writeDword("CSV_Out_Swap", 255));
  ASSERT_TRUE(m_key.writeDouble("CSV_Out_ScaleFactor", 0.001));
  ASSERT_TRUE(m_key.writeString("InFileType", "csv_in"));
  ASSERT_TRUE(machine().write(kProgramKeyPath, "CSV_Out_Path", ValueType::String, "machine"));
  const auto path = file("roundtrip.trxopt");
  ASSERT_TRUE(saveOptionFile(m_key, path, kFormatAll, kFormatAll));
  const std::string text = readFile(path);
  EXPECT_NE(text.find("\"CSV_Out_Swap\"=dword:ff\r\n"), std::string::npos);
  EXPECT_EQ(text.find("InFileType"), std::string::npos);

  // A fresh pair of stores.
  m_key.close();
  test::Sandbox other;
  ASSERT_EQ(loadOptionFile(path), 0);
  ASSERT_TRUE(m_key.create(kProgramKeyPath));
  std::string s;
  uint32_t n = 0;
  double d = 0;
  EXPECT_TRUE(m_key.readString("CSV_Out_Path", s, ""));
  EXPECT_EQ(s, "C:\\data\\\"quoted\" ä");
  EXPECT_TRUE(m_key.readDword("CSV_Out_Swap", n, 0));
  EXPECT_EQ(n, 255u);
  EXPECT_TRUE(m_key.readDouble("CSV_Out_ScaleFactor", d, 1));
  EXPECT_EQ(d, 0.001);
  EXPECT_FALSE(m_key.readString("InFileType", s, ""));
  // Both sections were loaded into their own stores.
  ASSERT_NE(m_key.machineStore(), nullptr);
  EXPECT_EQ(m_key.machineStore()->read(kProgramKeyPath, "CSV_Out_Path")->data, "machine");
  m_key.close();
}

TEST_F(OptionFileTest, LoadReadsLinesTheRegistryExportWay) {
  struct Case {
    const char* line;
    const char* name;  // nullptr: nothing stored
    ValueType type;
    std::string data;
  };
  const Case cases[] = {
      {"\"A\"=dword:ff", "A", ValueType::Dword, dword(255)},
      {"\"A\"=dword:FF", "A", ValueType::Dword, dword(0)},
      {"\"A\"=dword:1fz9", "A", ValueType::Dword, dword(0x1f)},
      {"\"A\"=dword:", "A", ValueType::Dword, dword(0)},
      {"\"A\"=dword:0000000a\r", "A", ValueType::Dword, dword(10)},
      {"\"A\"=dword:123456789", "A", ValueType::Dword, dword(0x23456789)},
      {"\"A\"=\"plain\"\r", "A", ValueType::String, "plain"},
      {"\"A\"=\"C:\\dir\\\"", "A", ValueType::String, "C:\\dir\\"},
      {"\"A\"=\"say \"hi\"\"", "A", ValueType::String, "say \"hi\""},
      {"\"A\"=\"unclosed", "A", ValueType::String, "unclosed"},
      {"\"A\"=\"\"", "A", ValueType::String, ""},
      {" \t \"A\"=\"indented\"", "A", ValueType::String, "indented"},
      {"\"A=B\"=\"x\"", "A=B", ValueType::String, "x"},
      {"\"\"=\"unnamed\"", "", ValueType::String, "unnamed"},
      {"\"A\"=hex:01,02", nullptr, ValueType::String, ""},
      {"\"A\"=-", nullptr, ValueType::String, ""},
      {"\"A\"= \"space\"", nullptr, ValueType::String, ""},
      {"A=\"no quotes\"", nullptr, ValueType::String, ""},
      {"@=\"default\"", nullptr, ValueType::String, ""},
      {"; comment", nullptr, ValueType::String, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SettingsStore::open(m_box.userSettings(), SettingsStore::Mode::Create)->remove(kProgramKeyPath, c.name ? c.name : "A");
    writeFile(file("case.trxopt"), kHeader + kUserSection + c.line + "\n");
    ASSERT_EQ(loadOptionFile(file("case.trxopt")), 0);
    auto values = user().values(kProgramKeyPath);
    if (!c.name) {
      EXPECT_TRUE(values.empty());
      continue;
    }
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, c.name);
    EXPECT_EQ(values[0].type, c.type);
    EXPECT_EQ(values[0].data, c.data);
    user().remove(kProgramKeyPath, c.name);
  }
}

TEST_F(OptionFileTest, LoadFollowsSections) {
  writeFile(file("sections.trxopt"),
            "\"Before\"=\"no key open yet\"\n"
            "[HKEY_CURRENT_USER\\Software\\Kestrava\\Velmora\\vltrx]\n"
            "\"One\"=\"1\"\r\n"
            "[HKEY_CLASSES_ROOT\\Software\\Kestrava\\Velmora\\vltrx]\n"
            "\"Classes\"=\"ignored\"\n"
            "  [HKEY_CURRENT_USER\\Software\\Kestrava\\Other]]]\r\n"
            "\"Two\"=dword:2\n"
            "[HKEY_BOGUS\\Software\\Kestrava\\Velmora\\vltrx]\n"
            "\"Bogus\"=\"ignored\"\n"
            "[HKEY_CURRENT_USER]\n"
            "\"Root\"=\"ignored\"\n"
            "[HKEY_USERS\\S-1-5-21\\Software]\n"
            "\"Users\"=\"ignored\"\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Kestrava\\Velmora\\vltrx]\n"
            "\"Three\"=\"3\"");  // no line end at the end of the file
  ASSERT_EQ(loadOptionFile(file("sections.trxopt")), 0);
  std::vector<std::string> userNames;
  for (const auto& v : user().values(kProgramKeyPath)) userNames.push_back(v.name);
  EXPECT_EQ(userNames, std::vector<std::string>{"One"});
  ASSERT_TRUE(user().read("Software\\Kestrava\\Other", "Two"));
  EXPECT_EQ(user().read("Software\\Kestrava\\Other", "Two")->data, dword(2));
  ASSERT_EQ(machine().values(kProgramKeyPath).size(), 1u);
  EXPECT_EQ(machine().read(kProgramKeyPath, "Three")->data, "3");
}

TEST_F(OptionFileTest, ReadOnlyMachineSectionIsIgnoredUserSectionLoads) {
  ASSERT_TRUE(machine().write(kProgramKeyPath, "CSV_In_Swap", ValueType::Dword, dword(0)));
  m_key.close();
  std::filesystem::permissions(m_box.machineSettings(), std::filesystem::perms::owner_read);
  writeFile(file("both.trxopt"), kHeader + kUserSection + "\"CSV_In_Swap\"=dword:1\r\n" + kMachineSection +
                                     "\"CSV_In_Swap\"=dword:1\r\n\"CSV_In_New\"=\"x\"\r\n");
  ASSERT_EQ(loadOptionFile(file("both.trxopt")), 0);
  ASSERT_TRUE(m_key.create(kProgramKeyPath));
  EXPECT_EQ(user().read(kProgramKeyPath, "CSV_In_Swap")->data, dword(1));
  EXPECT_EQ(machine().read(kProgramKeyPath, "CSV_In_Swap")->data, dword(0));
  EXPECT_FALSE(machine().read(kProgramKeyPath, "CSV_In_New"));
}

TEST_F(OptionFileTest, MissingFileFailsEmptyFileLoadsNothing) {
  EXPECT_EQ(loadOptionFile(file("missing.trxopt")), +ErrorCode::OptionsFileMissing);
  EXPECT_EQ(loadOptionFile(m_box.root()), +ErrorCode::CannotOpenFile);  // a folder
  writeFile(file("empty.trxopt"), "");
  EXPECT_EQ(loadOptionFile(file("empty.trxopt")), 0);
  EXPECT_TRUE(user().values(kProgramKeyPath).empty());
}

TEST_F(OptionFileTest, ValuesThatCannotBeStoredAreReportedWithTheStore) {
  writeFile(file("one.trxopt"), kHeader + kUserSection + "\"CSV_In_Swap\"=dword:1\r\n");
  // Another process holds the write lock past the busy time-out (10 s).
  {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_box.userSettings().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(loadOptionFile(file("one.trxopt"), &user(), nullptr), +ErrorCode::CannotCreateFile);
    EXPECT_TRUE(pendingDetail().set);
    EXPECT_EQ(pendingDetail().text, m_box.userSettings().string());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }
  EXPECT_FALSE(user().read(kProgramKeyPath, "CSV_In_Swap"));
  // No per-user store at all: the section has nowhere to go.
  EXPECT_EQ(loadOptionFile(file("one.trxopt"), nullptr, nullptr), +ErrorCode::CannotCreateFile);
  // A machine-wide section this user may not write is skipped quietly.
  writeFile(file("machine.trxopt"), kHeader + kMachineSection + "\"CSV_In_Swap\"=dword:1\r\n");
  EXPECT_EQ(loadOptionFile(file("machine.trxopt"), &user(), nullptr), 0);
  setPendingDetail(0);
}

TEST_F(OptionFileTest, DamagedFilesLoadWhatIsValid) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) & 0xff);
  const std::string longLine = "\"Long\"=\"" + std::string(1100000, 'x') + "\"\n";
  const std::string hugeIndent = std::string(3000000, ' ') + "\"Indented\"=\"far\"\n";
  writeFile(file("damaged.trxopt"),
            junk + "\n" + kUserSection + "\"Nul\0Name\"=\"a\0b\"\n"s + longLine + "\"Bad\xff\xfe\"=\"\xc3(\"\n" +
                junk + "\n\"After\"=dword:7\n" + hugeIndent + "\"Cut\"=\"half");
  ASSERT_EQ(loadOptionFile(file("damaged.trxopt")), 0);
  EXPECT_EQ(user().read(kProgramKeyPath, "Nul\0Name"s)->data, "a\0b"s);
  EXPECT_FALSE(user().read(kProgramKeyPath, "Long"));
  EXPECT_EQ(user().read(kProgramKeyPath, "Bad\xff\xfe")->data, "\xc3(");
  EXPECT_EQ(user().read(kProgramKeyPath, "After")->data, dword(7));
  EXPECT_EQ(user().read(kProgramKeyPath, "Indented")->data, "far");
  EXPECT_EQ(user().read(kProgramKeyPath, "Cut")->data, "half");
}

TEST(OptionFile, ExpandsEnvironmentReferences) {
  test::Sandbox box;
  box.set("VLTRX_A", "alpha");
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"%VLTRX_A%", "alpha"},     {"x%VLTRX_A%y%VLTRX_A%", "xalphayalpha"},
      {"%VLTRX_NONE%", "%VLTRX_NONE%"}, {"100%", "100%"},
      {"%%VLTRX_A%", "%alpha"},   {"%VLTRX_NONE%VLTRX_A%", "%VLTRX_NONEalpha"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(expandEnvironment(c.in), c.out);
  }
}

}  // namespace
}  // namespace vltrx

namespace vltrx {
namespace {

TEST(OptionFileFixtures, EveryFixtureLoadsAndTheSampleHoldsItsValues) {
  test::Sandbox box;
  for (const auto& entry : std::filesystem::directory_iterator(VLTRX_TEST_DATA "/trxopt")) {
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(loadOptionFile(entry.path()), 0);
  }
  test::Sandbox fresh;
  ASSERT_EQ(loadOptionFile(VLTRX_TEST_DATA "/trxopt/all-forms.trxopt"), 0);
  SettingsKey key;
  ASSERT_TRUE(key.create(kProgramKeyPath));
  std::string s;
  uint32_t n = 0;
  EXPECT_TRUE(key.readString("XML_In_ScaleFactor", s, ""));
  EXPECT_EQ(s, "1.0000000000");
  EXPECT_TRUE(key.readDword("CSV_Out_Swap", n, 0));
  EXPECT_EQ(n, 255u);
  EXPECT_TRUE(key.readString("CSV_Out_Path", s, ""));
  EXPECT_EQ(s, "C:\\data\\\"x\"");
  EXPECT_FALSE(key.readString("DXF_Blob", s, ""));
  EXPECT_FALSE(key.userStore()->read(kProgramKeyPath, "DXF_Approx"));
  EXPECT_TRUE(key.machineStore()->read(kProgramKeyPath, "DXF_Approx"));
}

}  // namespace
}  // namespace vltrx
