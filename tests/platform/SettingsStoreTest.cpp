#include "platform/SettingsStore.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

using vltrx::platform::SettingsStore;
using vltrx::platform::ValueType;
using Mode = SettingsStore::Mode;

namespace {

constexpr const char* kKey = "Software\\Kestrava\\Velmora\\vltrx";

std::vector<std::string> names(const SettingsStore& store, std::string_view key) {
  std::vector<std::string> out;
  for (const auto& v : store.values(key)) out.push_back(v.name);
  return out;
}

}  // namespace

TEST(SettingsStore, ReadModeNeedsExistingFileCreateMakesFolderAndFile) {
  vltrx::test::Sandbox box;
  EXPECT_EQ(SettingsStore::open(box.userSettings(), Mode::Read), nullptr);
  auto store = SettingsStore::open(box.userSettings(), Mode::Create);
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(store->writable());
  EXPECT_TRUE(std::filesystem::exists(box.userSettings()));
  EXPECT_NE(SettingsStore::openRoot(SettingsStore::Root::User, Mode::Read), nullptr);
  EXPECT_EQ(SettingsStore::openRoot(SettingsStore::Root::Machine, Mode::Read), nullptr);
}

TEST(SettingsStore, ValuesKeepTypeAndBytesAndIgnoreCase) {
  vltrx::test::Sandbox box;
  auto store = SettingsStore::open(box.userSettings(), Mode::Create);
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(store->keyExists(kKey));
  ASSERT_TRUE(store->createKey(kKey));
  EXPECT_TRUE(store->keyExists("software\\KESTRAVA\\velmora\\VLTRX\\"));

  const std::string binary("\x00\xff\x01\"\\", 5);
  const std::string dword("\xff\x00\x00\x00", 4);
  ASSERT_TRUE(store->write(kKey, "CSV_In_Delimiter", ValueType::String, ";"));
  ASSERT_TRUE(store->write(kKey, "Path", ValueType::ExpandString, "%HOME%\\x"));
  ASSERT_TRUE(store->write(kKey, "Blob", ValueType::Binary, binary));
  ASSERT_TRUE(store->write(kKey, "Count", ValueType::Dword, dword));
  ASSERT_TRUE(store->write(kKey, "Empty", ValueType::String, ""));

  auto v = store->read("SOFTWARE\\kestrava\\velmora\\vltrx", "csv_in_delimiter");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->name, "CSV_In_Delimiter");
  EXPECT_EQ(v->type, ValueType::String);
  EXPECT_EQ(v->data, ";");
  EXPECT_EQ(store->read(kKey, "Path")->type, ValueType::ExpandString);
  EXPECT_EQ(store->read(kKey, "Blob")->data, binary);
  EXPECT_EQ(store->read(kKey, "Count")->data, dword);
  EXPECT_EQ(store->read(kKey, "Empty")->data, "");
  EXPECT_FALSE(store->read(kKey, "Missing"));
  EXPECT_FALSE(store->read("Software\\Other", "Count"));

  // Another connection sees the same data.
  auto second = SettingsStore::open(box.userSettings(), Mode::Read);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(second->writable());
  EXPECT_EQ(second->read(kKey, "Blob")->data, binary);
  EXPECT_FALSE(second->write(kKey, "X", ValueType::String, "y"));
}

TEST(SettingsStore, EnumerationKeepsFirstWriteOrder) {
  vltrx::test::Sandbox box;
  auto store = SettingsStore::open(box.userSettings(), Mode::Create);
  ASSERT_NE(store, nullptr);
  for (const char* n : {"Zeta", "Alpha", "Mid"})
    ASSERT_TRUE(store->write(kKey, n, ValueType::String, "1"));
  // Overwrite with another spelling and type: position and spelling stay.
  ASSERT_TRUE(store->write(kKey, "ZETA", ValueType::Dword, std::string(4, '\0')));
  EXPECT_EQ(names(*store, kKey), (std::vector<std::string>{"Zeta", "Alpha", "Mid"}));
  EXPECT_EQ(store->read(kKey, "zeta")->type, ValueType::Dword);
  // A deleted and rewritten value goes to the end.
  EXPECT_TRUE(store->remove(kKey, "alpha"));
  EXPECT_FALSE(store->remove(kKey, "alpha"));
  ASSERT_TRUE(store->write(kKey, "Alpha", ValueType::String, "2"));
  EXPECT_EQ(names(*store, kKey), (std::vector<std::string>{"Zeta", "Mid", "Alpha"}));
  // Keys are separate.
  EXPECT_TRUE(store->values("Software\\Kestrava").empty());
}

TEST(SettingsStore, LimitsAndInvalidKeyPaths) {
  vltrx::test::Sandbox box;
  auto store = SettingsStore::open(box.userSettings(), Mode::Create);
  ASSERT_NE(store, nullptr);
  EXPECT_TRUE(store->write(kKey, std::string(16383, 'n'), ValueType::String, "x"));
  EXPECT_FALSE(store->write(kKey, std::string(16384, 'n'), ValueType::String, "x"));
  EXPECT_TRUE(store->write(kKey, "Big", ValueType::Binary, std::string(1048576, 'd')));
  EXPECT_FALSE(store->write(kKey, "Bigger", ValueType::Binary, std::string(1048577, 'd')));
  EXPECT_EQ(store->read(kKey, "Big")->data.size(), 1048576u);

  for (const char* bad : {"", "\\", "\\Software", "Software\\\\Kestrava"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(store->createKey(bad));
    EXPECT_FALSE(store->write(bad, "x", ValueType::String, "y"));
  }
  EXPECT_FALSE(store->createKey(std::string(256, 'k')));
  EXPECT_TRUE(store->createKey(std::string(255, 'k')));
}

TEST(SettingsStore, ReadOnlyFileOpensReadOnlyAndWritesFail) {
  vltrx::test::Sandbox box;
  {
    auto store = SettingsStore::open(box.machineSettings(), Mode::Create);
    ASSERT_NE(store, nullptr);
    ASSERT_TRUE(store->write(kKey, "CSV_In_Swap", ValueType::Dword, std::string("\x01\0\0\0", 4)));
  }
  std::filesystem::permissions(box.machineSettings(), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
  auto store = SettingsStore::open(box.machineSettings(), Mode::Create);
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(store->writable());
  EXPECT_TRUE(store->keyExists(kKey));
  EXPECT_TRUE(store->read(kKey, "CSV_In_Swap"));
  EXPECT_FALSE(store->createKey("Software\\New"));
  EXPECT_FALSE(store->write(kKey, "CSV_In_Swap", ValueType::String, "x"));
  EXPECT_FALSE(store->remove(kKey, "CSV_In_Swap"));
  EXPECT_EQ(store->read(kKey, "CSV_In_Swap")->type, ValueType::Dword);
}

TEST(SettingsStore, DamagedFilesAreUnavailableOrFailQuietly) {
  vltrx::test::Sandbox box;
  std::filesystem::create_directories(box.userSettings().parent_path());
  {
    std::ofstream junk(box.userSettings(), std::ios::binary);
    junk << std::string(5000, '\x5a') << "not a database";
  }
  EXPECT_EQ(SettingsStore::open(box.userSettings(), Mode::Read), nullptr);
  EXPECT_EQ(SettingsStore::open(box.userSettings(), Mode::Create), nullptr);

  // A real database cut in half: opening may work, nothing may crash.
  std::filesystem::path cut = box.root() / "cut.db";
  {
    auto store = SettingsStore::open(cut, Mode::Create);
    ASSERT_NE(store, nullptr);
    for (int i = 0; i < 500; ++i)
      store->write(kKey, "Value" + std::to_string(i), ValueType::String, std::string(200, 'v'));
  }
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  if (auto store = SettingsStore::open(cut, Mode::Create)) {
    store->values(kKey);
    store->read(kKey, "Value499");
    store->write(kKey, "Value600", ValueType::String, "x");
  }
  // A folder in place of the file.
  std::filesystem::create_directories(box.root() / "dir.db");
  EXPECT_EQ(SettingsStore::open(box.root() / "dir.db", Mode::Create), nullptr);
}

TEST(SettingsStore, ConcurrentProcessesLoseNoWrite) {
  vltrx::test::Sandbox box;
  // The writers also race to create the database.
  constexpr int kWriters = 3;
  constexpr int kValues = 150;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      auto store = SettingsStore::open(box.userSettings(), Mode::Create);
      for (int i = 0; store && i < kValues; ++i) {
        std::string name = "W" + std::to_string(w) + "_" + std::to_string(i);
        if (!store->write(kKey, name, ValueType::String, name)) ++failures;
        // Everybody also overwrites one shared value.
        if (!store->write(kKey, "Shared", ValueType::String, name)) ++failures;
      }
      _exit(store && failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto store = SettingsStore::open(box.userSettings(), Mode::Read);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->values(kKey).size(), size_t{kWriters * kValues + 1});
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kValues; ++i) {
      std::string name = "W" + std::to_string(w) + "_" + std::to_string(i);
      auto v = store->read(kKey, name);
      ASSERT_TRUE(v) << name;
      EXPECT_EQ(v->data, name);
    }
}
