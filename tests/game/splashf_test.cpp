// The program entry when a copy of the game already runs.
#include "game/splashf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/instancelock.h"

TEST(ProgramEntry, SecondCopySaysWhyAndEndsWithStatusZero) {
    char buf[4096];
    const std::string cwd = getcwd(buf, sizeof buf) ? buf : ".";
    const char* old = std::getenv("SOLVANE_INSTANCE_NAME");
    const std::string saved = old ? old : "";
    setenv("SOLVANE_INSTANCE_NAME", ("solvane_entry_" + std::to_string(getpid())).c_str(), 1);
    {
        plat::InstanceLock first("SOLVANE_NOVEL");
        ASSERT_TRUE(first.Acquire());
        testing::internal::CaptureStderr();
        const int status = WinMain();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, 0);
        EXPECT_EQ(err, "solvane: the game is already running; this copy ends\n");
        first.Release();
    }
    if (old)
        setenv("SOLVANE_INSTANCE_NAME", saved.c_str(), 1);
    else
        unsetenv("SOLVANE_INSTANCE_NAME");
    ASSERT_EQ(chdir(cwd.c_str()), 0);
}
