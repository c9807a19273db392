#include "quota/sound_win.h"

#include <utility>

#include "net/dialog_controls_win.h"
#include "net/folders_win.h"
#include "quota/mci_drivers_win.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"
#include "text/win_text.h"

namespace orvix {

namespace {

MCIERROR CloseDevice(MCIDEVICEID device, DWORD flags) {
  return ::mciSendCommandA(device, MCI_CLOSE, flags, 0);
}

}  // namespace

void MciCloseFn::operator()(MCIDEVICEID device) const noexcept { CloseDevice(device, MCI_WAIT); }

MCIERROR UniqueMciDevice::Close(DWORD flags) noexcept {
  if (!device_) return 0;
  const MCIERROR result = CloseDevice(device_.get(), flags);
  if (result == 0) device_.release();  // closed: nothing left to release
  return result;
}

void TSoundPlayer::PlaySoundFile(HWND dialog, HWND link, const std::u16string& path) {
  if (!FileExists(path)) {
    ::MessageBeep(MB_OK);
    return;
  }
  // One device at a time: one that will not close is not joined by another.
  if (!StopSound()) return;

  // No device type: the system picks the device from the file name, and
  // opens it without waiting for anything but the open itself.
  MCI_OPEN_PARMSW open{};
  open.lpstrElementName = Wide(path);
  if (::mciSendCommandW(0, MCI_OPEN, MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) != 0) return;
  UniqueMciDevice device(open.wDeviceID);
  // The driver's playback thread can outlive the close: keep its code mapped.
  KeepMciDriversLoaded();

  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(dialog);
  if (::mciSendCommandA(device.get(), MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) != 0) {
    device.Close(0);
    return;
  }
  device_ = std::move(device);
  link_ = link;
  if (link_) {
    SetLinkText(link_, ResourceText(IDS_LINK_PLAYING));
    ::EnableWindow(link_, FALSE);
  }
}

bool TSoundPlayer::StopSound() {
  if (!device_) return true;
  if (device_.Close(MCI_WAIT) != 0) return false;
  // The closed device's own end notice no longer counts (it is not the open
  // device any more), so the links come back here.
  RestoreLink();
  return true;
}

bool TSoundPlayer::OnNotify(WPARAM how, LPARAM device) {
  // A notice of a device closed earlier says nothing about the sound
  // playing now, nor does an aborted or superseded play.
  if (!device_ || static_cast<MCIDEVICEID>(device) != device_.get()) return false;
  // The open device failed while playing: the sound is over, and the user
  // gets the links back.
  if (how == MCI_NOTIFY_FAILURE) return StopSound();
  if (how != MCI_NOTIFY_SUCCESSFUL) return false;
  // The system may give a new device the id of one just closed, whose
  // completion notice can still be queued: a device that is still playing
  // has not finished, whatever the notice says.
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_MODE;
  if (::mciSendCommandA(device_.get(), MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&status)) == 0 &&
      status.dwReturn == MCI_MODE_PLAY)
    return false;
  return StopSound();
}

void TSoundPlayer::RestoreLink() {
  if (!link_ || !::IsWindow(link_)) return;
  // Enabled first: the link control gives the links of a text it takes
  // while disabled a disabled state of their own, which enabling the
  // control later does not clear, so they would never answer a press.
  ::EnableWindow(link_, TRUE);
  SetLinkText(link_, ResourceText(IDS_LINK_TEXT));
}

}  // namespace orvix
