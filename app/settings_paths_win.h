#pragma once

namespace orvix::app {

// Fixes the settings paths from the shell's roaming application-data folder
// (CSIDL_APPDATA, default path). When the shell cannot name it the paths are
// the bare suffixes. Call once at start-up.
void InitSettingsPathsFromShell();

}  // namespace orvix::app
