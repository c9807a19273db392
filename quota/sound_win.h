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

// An open media-control device: 0 means none. Closed (waiting for it) when
// the owner goes; Close closes it earlier with the flags a caller needs.
class UniqueMciDevice {
 public:
  UniqueMciDevice() noexcept = default;
  explicit UniqueMciDevice(MCIDEVICEID device) noexcept : device_(device) {}

  MCIDEVICEID get() const noexcept { return device_.get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(device_); }

  // Sends the close command with the given flags. When it succeeds (or no
  // device is open) the device is forgotten and the answer is 0; a device
  // that would not close stays held, and the answer is the system's error.
  MCIERROR Close(DWORD flags) noexcept;

 private:
  win::UniqueHandle<MCIDEVICEID, MciCloseFn, 0> device_;
};

// Plays one sound at a time: starting a new one closes the old device first.
class TSoundPlayer {
 public:
  // Plays the wave file (a wide path), notifying dialog when it ends, and shows the
  // "listening" text in link while it plays. A missing file beeps; a file
  // that cannot be opened or played is skipped silently.
  void PlaySoundFile(HWND dialog, HWND link, const std::u16string& path);

  // Closes the open device, if any; on success the link control gets its
  // links back. False when a device is open and would not close.
  bool StopSound();

  // The dialog's MM_MCINOTIFY (wParam: how the command ended; lParam: the
  // device). A completed or failed play of the device open now ends the
  // sound (it is closed and the links come back); true when it did.
  bool OnNotify(WPARAM how, LPARAM device);

  // The open device; 0 when none.
  MCIDEVICEID Device() const { return device_.get(); }

 private:
  void RestoreLink();

  UniqueMciDevice device_;
  HWND link_ = nullptr;
};

}  // namespace orvix
