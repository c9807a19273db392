#include "quota/sound_win.h"

#include <utility>

#include "net/win_utils_win.h"
#include "quota/mci_drivers_win.h"
#include "resources/resource_ids.h"

namespace orvix {

namespace {

MCIERROR CloseDevice(MCIDEVICEID device, DWORD flags) {
  return ::mciSendCommandA(device, MCI_CLOSE, flags, 0);
}

}  // namespace

void MciCloseFn::operator()(MCIDEVICEID device) const noexcept { CloseDevice(device, MCI_WAIT); }

void TSoundPlayer::PlaySoundFile(HWND dialog, HWND link, const std::string& path) {
  if (!AnsiFileExists(path)) {
    ::MessageBeep(MB_OK);
    return;
  }
  // One device at a time: one that will not close is not joined by another.
  if (!StopSound()) return;

  // No device type: the system picks the device from the file name, and
  // opens it without waiting for anything but the open itself.
  MCI_OPEN_PARMSA open{};
  open.lpstrElementName = path.c_str();
  if (::mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) != 0) return;
  UniqueMciDevice device(open.wDeviceID);
  // The driver's playback thread can outlive the close: keep its code mapped.
  KeepMciDriversLoaded();

  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(dialog);
  if (::mciSendCommandA(device.get(), MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) != 0) {
    CloseDevice(device.release(), 0);
    return;
  }
  device_ = std::move(device);
  link_ = link;
  if (link_) {
    SetLinkText(link_, LoadResText(IDS_LINK_PLAYING));
    ::EnableWindow(link_, FALSE);
  }
}

bool TSoundPlayer::StopSound() {
  if (!device_) return true;
  if (CloseDevice(device_.get(), MCI_WAIT) != 0) return false;
  device_.release();
  // The closed device's own end notice no longer counts (it is not the open
  // device any more), so the links come back here.
  RestoreLink();
  return true;
}

bool TSoundPlayer::OnNotify(WPARAM how, LPARAM device) {
  // An aborted or superseded play, or a notice of a device closed earlier,
  // says nothing about the sound playing now.
  if (!device_ || how != MCI_NOTIFY_SUCCESSFUL || static_cast<MCIDEVICEID>(device) != device_.get()) return false;
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
  SetLinkText(link_, LoadResText(IDS_LINK_TEXT));
}

}  // namespace orvix
