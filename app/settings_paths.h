// Where the parent application keeps the settings this program reads.
//
// One per-user folder under the roaming application-data folder holds
// config.ini and account.ini. The paths are fixed once at start-up
// (InitSettingsPaths); the folder is neither created nor tested, since a
// missing file simply reads as empty.
#pragma once

#include <string>
#include <string_view>

namespace orvix::app {

// Sets the paths from the application-data folder (without a trailing
// backslash; empty when the shell could not name it, which leaves the bare
// relative suffixes). Only the first call counts: the paths never move
// while the process runs.
void InitSettingsPaths(std::u16string_view appDataFolder);

// The application-data folder + "\Dalvenor\Plumo!".
const std::u16string& SettingsFolder();
// SettingsFolder() + "\".
std::u16string SettingsFolderWithSeparator();
// The constant "\config.ini", leading backslash included.
const std::u16string& ConfigFileName();
// SettingsFolder() + "\config.ini".
const std::u16string& ConfigFilePath();
// SettingsFolder() + "\account.ini".
const std::u16string& AccountFilePath();

}  // namespace orvix::app
