#include "framework/SettingsKey.h"

#include "platform/SettingsStore.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
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

class SettingsKeyTest : public ::testing::Test {
 protected:
  // The machine-wide store is the installation's: made here, read by the key.
  void SetUp() override {
    m_machine = SettingsStore::open(m_box.machineSettings(), SettingsStore::Mode::Create);
    ASSERT_NE(m_machine, nullptr);
    ASSERT_TRUE(m_machine->createKey(kProgramKeyPath));
    ASSERT_TRUE(m_key.create(kProgramKeyPath));
    ASSERT_NE(m_key.machineStore(), nullptr);
  }

  SettingsStore& user() { return *m_key.userStore(); }
  SettingsStore& machine() { return *m_machine; }

  test::Sandbox m_box;
  std::unique_ptr<SettingsStore> m_machine;
  SettingsKey m_key;
};

TEST_F(SettingsKeyTest, MachineOnlyValueIsReadAndAWriteReachesTheUser) {
  ASSERT_TRUE(machine().write(kProgramKeyPath, "CSV_In_Swap", ValueType::Dword, dword(1)));
  bool swap = false;
  EXPECT_TRUE(m_key.readBool("CSV_In_Swap", swap, false));
  EXPECT_TRUE(swap);
  EXPECT_FALSE(user().read(kProgramKeyPath, "CSV_In_Swap"));

  ASSERT_TRUE(m_key.writeBool("CSV_In_Swap", false));
  ASSERT_TRUE(user().read(kProgramKeyPath, "CSV_In_Swap"));
  EXPECT_EQ(user().read(kProgramKeyPath, "CSV_In_Swap")->data, dword(0));
  // The per-user value now wins.
  EXPECT_TRUE(m_key.readBool("CSV_In_Swap", swap, true));
  EXPECT_FALSE(swap);
}

TEST_F(SettingsKeyTest, ApplyDefaultsDecidesWhatAMissingValueDoes) {
  double approx = 5.0;
  EXPECT_FALSE(m_key.readDouble("DXF_Approx", approx, 0.01));
  EXPECT_EQ(approx, 0.01);

  m_key.applyDefaults = false;
  approx = 5.0;
  EXPECT_FALSE(m_key.readDouble("DXF_Approx", approx, 0.01));
  EXPECT_EQ(approx, 5.0);
  std::string s = "kept";
  uint32_t n = 7;
  char c = 'k';
  bool b = true;
  EXPECT_FALSE(m_key.readString("Missing", s, "def"));
  EXPECT_FALSE(m_key.readDword("Missing", n, 1));
  EXPECT_FALSE(m_key.readChar("Missing", c, ';'));
  EXPECT_FALSE(m_key.readBool("Missing", b, false));
  EXPECT_EQ(s, "kept");
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(c, 'k');
  EXPECT_TRUE(b);
}

TEST_F(SettingsKeyTest, ReadersTakeOnlyUsableValues) {
  struct Case {
    const char* what;
    ValueType type;
    std::string data;
    bool dwordFound;
    uint32_t dwordValue;
    bool doubleFound;
    double doubleValue;
    bool charFound;
    char charValue;
    bool stringFound;
    std::string stringValue;
  };
  const Case cases[] = {
      {"dword", ValueType::Dword, dword(0x12345678), true, 0x12345678, false, -1, false, '-', false, "-"},
      {"short dword", ValueType::Dword, "\x01\x02\x03", false, 99, false, -1, false, '-', false, "-"},
      {"long dword", ValueType::Dword, "\x01\0\0\0\0"s, false, 99, false, -1, false, '-', false, "-"},
      {"number text", ValueType::String, "2.5000000000", false, 99, true, 2.5, true, '2', true, "2.5000000000"},
      {"number with tail", ValueType::String, " -1.5e2mm", false, 99, true, -150, true, ' ', true, " -1.5e2mm"},
      {"no number", ValueType::String, "abc", false, 99, false, -1, true, 'a', true, "abc"},
      {"empty", ValueType::String, "", false, 99, false, -1, false, '-', true, ""},
      {"NUL inside", ValueType::String, "ab\0cd"s, false, 99, false, -1, true, 'a', true, "ab"},
      {"expandable", ValueType::ExpandString, "%HOME%", false, 99, false, -1, true, '%', true, "%HOME%"},
      {"binary", ValueType::Binary, "1.5", false, 99, false, -1, false, '-', false, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(user().write(kProgramKeyPath, "V", c.type, c.data));
    uint32_t n = 1;
    double d = 0;
    char ch = 0;
    std::string s;
    EXPECT_EQ(m_key.readDword("V", n, 99), c.dwordFound);
    EXPECT_EQ(n, c.dwordValue);
    EXPECT_EQ(m_key.readDouble("V", d, -1), c.doubleFound);
    EXPECT_EQ(d, c.doubleValue);
    EXPECT_EQ(m_key.readChar("V", ch, '-'), c.charFound);
    EXPECT_EQ(ch, c.charValue);
    EXPECT_EQ(m_key.readString("V", s, "-"), c.stringFound);
    EXPECT_EQ(s, c.stringValue);
  }
  // An unusable per-user value gives way to a usable machine-wide one.
  ASSERT_TRUE(user().write(kProgramKeyPath, "Scale", ValueType::String, "x"));
  ASSERT_TRUE(machine().write(kProgramKeyPath, "Scale", ValueType::String, "2.0"));
  double scale = 0;
  EXPECT_TRUE(m_key.readDouble("scale", scale, 1.0));
  EXPECT_EQ(scale, 2.0);
}

TEST_F(SettingsKeyTest, WritersStoreTypesAndFormats) {
  ASSERT_TRUE(m_key.writeDouble("XML_In_ScaleFactor", 1.25));
  ASSERT_TRUE(m_key.writeDouble("Big", 1e20));
  ASSERT_TRUE(m_key.writeDouble("Tiny", -0.00000000004));
  ASSERT_TRUE(m_key.writeDword("Count", 255));
  ASSERT_TRUE(m_key.writeBool("Flag", true));
  ASSERT_TRUE(m_key.writeChar("Delimiter", '\t'));
  ASSERT_TRUE(m_key.writeString("Text", "a\\b\"c ä"));
  // Writes never reach the machine-wide store.
  EXPECT_TRUE(machine().values(kProgramKeyPath).empty());
  for (SettingsStore* store : {&user()}) {
    EXPECT_EQ(store->read(kProgramKeyPath, "XML_In_ScaleFactor")->data, "1.2500000000");
    EXPECT_EQ(store->read(kProgramKeyPath, "XML_In_ScaleFactor")->type, ValueType::String);
    EXPECT_EQ(store->read(kProgramKeyPath, "Big")->data, "100000000000000000000.0000000000");
    EXPECT_EQ(store->read(kProgramKeyPath, "Tiny")->data, "-0.0000000000");
    EXPECT_EQ(store->read(kProgramKeyPath, "Count")->data, dword(255));
    EXPECT_EQ(store->read(kProgramKeyPath, "Flag")->data, dword(1));
    EXPECT_EQ(store->read(kProgramKeyPath, "Delimiter")->data, "\t");
    EXPECT_EQ(store->read(kProgramKeyPath, "Text")->data, "a\\b\"c ä");
  }
  double big = 0;
  EXPECT_TRUE(m_key.readDouble("Big", big, 0));
  EXPECT_EQ(big, 1e20);

  EXPECT_TRUE(m_key.writeString(std::string(16383, 'n'), "x"));
  EXPECT_FALSE(m_key.writeString(std::string(16384, 'n'), "x"));
  EXPECT_TRUE(m_key.writeString("Large", std::string(1048576, 'x')));
  EXPECT_FALSE(m_key.writeString("Larger", std::string(1048577, 'x')));
}

TEST_F(SettingsKeyTest, DeleteReachesThePerUserStoreOnly) {
  ASSERT_TRUE(m_key.writeString("Both", "user"));
  ASSERT_TRUE(machine().write(kProgramKeyPath, "Both", ValueType::String, "machine"));
  ASSERT_TRUE(machine().write(kProgramKeyPath, "MachineOnly", ValueType::String, "1"));
  EXPECT_TRUE(m_key.deleteValue("both"));
  EXPECT_FALSE(user().read(kProgramKeyPath, "Both"));
  // The machine-wide value stays and is the fallback again.
  std::string value;
  EXPECT_TRUE(m_key.readString("Both", value, ""));
  EXPECT_EQ(value, "machine");
  EXPECT_FALSE(m_key.deleteValue("MachineOnly"));
  EXPECT_TRUE(machine().read(kProgramKeyPath, "MachineOnly"));
}

TEST(SettingsKey, CreateNeverMakesTheMachineWideStore) {
  test::Sandbox box;
  SettingsKey key;
  ASSERT_TRUE(key.create(kProgramKeyPath));
  EXPECT_EQ(key.machineStore(), nullptr);
  ASSERT_TRUE(key.writeString("Version", "x"));
  key.close();
  EXPECT_TRUE(std::filesystem::exists(box.userSettings()));
  EXPECT_FALSE(std::filesystem::exists(box.machineSettings()));
}

TEST(SettingsKey, AnUnreadablePerUserStoreIsNamed) {
  test::Sandbox box;
  std::filesystem::create_directories(box.userSettings().parent_path());
  { std::ofstream(box.userSettings(), std::ios::binary) << std::string(4096, 'x'); }
  SettingsKey key;
  EXPECT_FALSE(key.create(kProgramKeyPath));
  EXPECT_EQ(key.unreadableUserStore(), box.userSettings());
  std::filesystem::remove(box.userSettings());
  ASSERT_TRUE(key.create(kProgramKeyPath));
  EXPECT_TRUE(key.unreadableUserStore().empty());
}

TEST(SettingsKey, OpenNeedsExistingStoresCreateMakesThem) {
  test::Sandbox box;
  SettingsKey key;
  EXPECT_FALSE(key.open(kProgramKeyPath));
  EXPECT_FALSE(key.valid());
  ASSERT_TRUE(key.create(kProgramKeyPath));
  EXPECT_EQ(key.path(), kProgramKeyPath);
  ASSERT_TRUE(key.writeString("InFileType", "csv_in"));
  key.close();
  EXPECT_FALSE(key.valid());
  EXPECT_TRUE(key.path().empty());

  // Read access: readable, not writable; another key of the same store is absent.
  ASSERT_TRUE(key.open(kProgramKeyPath));
  std::string value;
  EXPECT_TRUE(key.readString("InFileType", value, ""));
  EXPECT_EQ(value, "csv_in");
  EXPECT_FALSE(key.writeString("InFileType", "dxf_in"));
  EXPECT_FALSE(key.deleteValue("InFileType"));
  EXPECT_FALSE(key.open(kMakerKeyPath));
  EXPECT_TRUE(key.create(kProgramKeyPath, SettingsKey::Access::Read));
  EXPECT_FALSE(key.writeString("InFileType", "dxf_in"));
}

TEST(SettingsKey, ReadOnlyMachineStoreIsReadAndWritesStillReachTheUser) {
  test::Sandbox box;
  {
    auto machine = SettingsStore::open(box.machineSettings(), SettingsStore::Mode::Create);
    ASSERT_TRUE(machine->write(kProgramKeyPath, "CatDir", ValueType::String, "/srv/categories"));
  }
  std::filesystem::permissions(box.machineSettings(), std::filesystem::perms::owner_read);
  SettingsKey key;
  ASSERT_TRUE(key.create(kProgramKeyPath));
  ASSERT_NE(key.machineStore(), nullptr);
  std::string dir;
  EXPECT_TRUE(key.readString("CatDir", dir, ""));
  EXPECT_EQ(dir, "/srv/categories");
  EXPECT_TRUE(key.writeString("CatDir", "/home/me/cat"));
  EXPECT_TRUE(key.readString("CatDir", dir, ""));
  EXPECT_EQ(dir, "/home/me/cat");
  EXPECT_EQ(key.machineStore()->read(kProgramKeyPath, "CatDir")->data, "/srv/categories");

  // Neither store writable: writes fail without harm.
  key.close();
  box.set("VLTRX_USER_SETTINGS", box.machineSettings());
  ASSERT_TRUE(key.create(kProgramKeyPath));
  EXPECT_FALSE(key.writeString("CatDir", "x"));
}

TEST(SettingsKey, ProcessKeyReopensAfterTheEnvironmentChanges) {
  SettingsKey& key = settingsKey();
  {
    test::Sandbox first;
    ASSERT_TRUE(key.create(kProgramKeyPath));
    ASSERT_TRUE(key.writeString("Marker", "first"));
    key.close();
  }
  test::Sandbox second;
  ASSERT_TRUE(key.create(kProgramKeyPath));
  std::string marker;
  EXPECT_FALSE(key.readString("Marker", marker, ""));
  EXPECT_TRUE(std::filesystem::exists(second.userSettings()));
  key.close();
}

}  // namespace
}  // namespace vltrx
