// The security-code sound and the alert sounds, played through the media
// control interface with the end of playback reported to the dialog
// (MM_MCINOTIFY). While a sound plays, the dialog's link control tells the
// user to type what they hear and is disabled; when it ends, or is stopped,
// the links come back.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "text/win_handles.h"

namespace orvix {

// Closes a media-control device and waits until it has.
struct MciCloseFn {
  void operator()(MCIDEVICEID device) const noexcept;
};
// An open media-control device: 0 means none.
using UniqueMciDevice = win::UniqueHandle<MCIDEVICEID, MciCloseFn, 0>;

// Plays one sound at a time: starting a new one closes the old device first.
class TSoundPlayer {
 public:
  // Plays the wave file, notifying dialog when it ends, and shows the
  // "listening" text in link while it plays. A missing file beeps; a file
  // that cannot be opened or played is skipped silently.
  void PlaySoundFile(HWND dialog, HWND link, const std::string& path);

  // Closes the open device, if any; on success the link control gets its
  // links back. False when a device is open and would not close.
  bool StopSound();

  // The dialog's MM_MCINOTIFY (wParam: how the command ended; lParam: the
  // device). Only a completed play of the device open now ends the sound;
  // true when it did.
  bool OnNotify(WPARAM how, LPARAM device);

  // The open device; 0 when none.
  MCIDEVICEID Device() const { return device_.get(); }

 private:
  void RestoreLink();

  UniqueMciDevice device_;
  HWND link_ = nullptr;
};

}  // namespace orvix
