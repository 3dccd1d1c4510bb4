#include "platform/Paths.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace platform = vltrx::platform;

TEST(Paths, FollowTheEnvironment) {
  vltrx::test::Sandbox box;
  box.set("TMPDIR", "/some/where");
  box.set("XDG_CONFIG_HOME", "/cfg");
  box.set("XDG_DATA_HOME", "/share");
  box.set("VLTRX_USER_SETTINGS", "/u/settings.db");
  box.set("VLTRX_MACHINE_SETTINGS", "/m/settings.db");
  EXPECT_EQ(platform::tempPath(), "/some/where");
  EXPECT_EQ(platform::userConfigDir(), "/cfg/vltrx");
  EXPECT_EQ(platform::userDataDir(), "/share/vltrx");
  EXPECT_EQ(platform::userSettingsPath(), "/u/settings.db");
  EXPECT_EQ(platform::machineSettingsPath(), "/m/settings.db");
}

TEST(Paths, DefaultsWhenUnsetEmptyOrRelative) {
  vltrx::test::Sandbox box;
  box.set("HOME", "/home/surveyor");
  box.set("TMPDIR", "");
  box.set("XDG_CONFIG_HOME", "relative/config");
  box.set("XDG_DATA_HOME", "");
  box.set("VLTRX_USER_SETTINGS", "");
  box.set("VLTRX_MACHINE_SETTINGS", "");
  EXPECT_EQ(platform::tempPath(), "/tmp");
  EXPECT_EQ(platform::userConfigDir(), "/home/surveyor/.config/vltrx");
  EXPECT_EQ(platform::userDataDir(), "/home/surveyor/.local/share/vltrx");
  EXPECT_EQ(platform::userSettingsPath(), "/home/surveyor/.config/vltrx/settings.db");
  EXPECT_EQ(platform::machineSettingsPath(), "/etc/vltrx/settings.db");
}

TEST(Paths, FolderValuesExpandForTheUserWhoReadsThem) {
  vltrx::test::Sandbox box;
  box.set("HOME", "/home/surveyor");
  box.set("XDG_DATA_HOME", "");
  struct Case {
    const char* value;
    const char* expanded;
  };
  for (const Case& c : {Case{"$XDG_DATA_HOME/vltrx/MyCategories", "/home/surveyor/.local/share/vltrx/MyCategories"},
                        Case{"~/cats", "/home/surveyor/cats"}, Case{"~", "/home/surveyor"},
                        Case{"$HOME/cats", "/home/surveyor/cats"}, Case{"/srv/cats", "/srv/cats"},
                        Case{"~other/cats", "~other/cats"}, Case{"$XDG_DATA_HOMEx/y", "$XDG_DATA_HOMEx/y"}}) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(platform::expandUserPath(c.value), c.expanded);
  }
  box.set("XDG_DATA_HOME", "/data/");
  EXPECT_EQ(platform::expandUserPath("$XDG_DATA_HOME/vltrx"), "/data/vltrx");
}
