#include "app/settings_paths.h"

#include <mutex>

namespace orvix::app {

namespace {

struct Paths {
  std::u16string folder;
  std::u16string config;
  std::u16string account;
};

std::once_flag g_once;
Paths g_paths;

}  // namespace

void InitSettingsPaths(std::u16string_view appDataFolder) {
  std::call_once(g_once, [&] {
    g_paths.folder = std::u16string(appDataFolder) + u"\\Dalvenor\\Plumo!";
    g_paths.config = g_paths.folder + ConfigFileName();
    g_paths.account = g_paths.folder + u"\\" + u"account.ini";
  });
}

const std::u16string& SettingsFolder() {
  InitSettingsPaths(u"");  // no-op after start-up; bare suffixes if it never ran
  return g_paths.folder;
}

std::u16string SettingsFolderWithSeparator() { return SettingsFolder() + u"\\"; }

const std::u16string& ConfigFileName() {
  static const std::u16string kName = u"\\config.ini";
  return kName;
}

const std::u16string& ConfigFilePath() {
  InitSettingsPaths(u"");
  return g_paths.config;
}

const std::u16string& AccountFilePath() {
  InitSettingsPaths(u"");
  return g_paths.account;
}

}  // namespace orvix::app
