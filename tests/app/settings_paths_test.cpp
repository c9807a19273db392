// The settings paths are fixed once per process, so each case runs in a
// death-test child of its own where the first InitSettingsPaths call is the
// case's.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/settings_paths.h"
#include "text/platform.h"

namespace orvix::app {
namespace {

std::string U8(const std::u16string& s) { return platform::Utf16ToUtf8(s); }

// Runs body in a child process and passes when it exits 0.
#define IN_FRESH_PROCESS(body) EXPECT_EXIT({ body; std::exit(::testing::Test::HasFailure() ? 1 : 0); }, ::testing::ExitedWithCode(0), "")

TEST(SettingsPaths, BuiltFromTheApplicationDataFolder) {
  IN_FRESH_PROCESS({
    InitSettingsPaths(u"C:\\Users\\Ayşe\\AppData\\Roaming");
    EXPECT_EQ(U8(SettingsFolder()), "C:\\Users\\Ayşe\\AppData\\Roaming\\Dalvenor\\Plumo!");
    EXPECT_EQ(U8(SettingsFolderWithSeparator()), "C:\\Users\\Ayşe\\AppData\\Roaming\\Dalvenor\\Plumo!\\");
    EXPECT_EQ(U8(ConfigFileName()), "\\config.ini");
    EXPECT_EQ(U8(ConfigFilePath()), "C:\\Users\\Ayşe\\AppData\\Roaming\\Dalvenor\\Plumo!\\config.ini");
    EXPECT_EQ(U8(AccountFilePath()), "C:\\Users\\Ayşe\\AppData\\Roaming\\Dalvenor\\Plumo!\\account.ini");
  });
}

TEST(SettingsPaths, FailedShellLookupLeavesTheBareSuffixes) {
  IN_FRESH_PROCESS({
    InitSettingsPaths(u"");
    EXPECT_EQ(U8(AccountFilePath()), "\\Dalvenor\\Plumo!\\account.ini");
    EXPECT_EQ(U8(ConfigFilePath()), "\\Dalvenor\\Plumo!\\config.ini");
  });
}

TEST(SettingsPaths, ComputedOnceAndNeverMoved) {
  IN_FRESH_PROCESS({
    InitSettingsPaths(u"C:\\first");
    InitSettingsPaths(u"D:\\second");
    EXPECT_EQ(U8(SettingsFolder()), "C:\\first\\Dalvenor\\Plumo!");
  });
  // Read before start-up set them: the bare suffixes, and they stay.
  IN_FRESH_PROCESS({
    EXPECT_EQ(U8(AccountFilePath()), "\\Dalvenor\\Plumo!\\account.ini");
    InitSettingsPaths(u"C:\\late");
    EXPECT_EQ(U8(SettingsFolder()), "\\Dalvenor\\Plumo!");
  });
}

}  // namespace
}  // namespace orvix::app
