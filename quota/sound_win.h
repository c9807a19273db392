// Placeholder until the player lands.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <string>
namespace orvix {
class TSoundPlayer {
 public:
  void PlaySoundFile(HWND, HWND, const std::string&) { ::MessageBeep(MB_OK); }
  void StopSound() {}
  bool OnNotify(WPARAM, LPARAM) { return false; }
  MCIDEVICEID Device() const { return 0; }
};
}
