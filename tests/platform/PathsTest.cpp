#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Paths, TempPathFollowsTmpdir) {
  setenv("TMPDIR", "/some/where", 1);
  EXPECT_EQ(vltrx::platform::tempPath(), "/some/where");
}
