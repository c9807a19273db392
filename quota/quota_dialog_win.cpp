#include "quota/quota_dialog_win.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

#include "net/charset.h"
#include "net/copydata_win.h"
#include "net/inet_thread_win.h"
#include "net/request_win.h"
#include "net/dialog_controls_win.h"
#include "net/folders_win.h"
#include "quota/captcha_win.h"
#include "quota/dialog_layout.h"
#include "quota/portal.h"
#include "quota/portal_win.h"
#include "quota/session.h"
#include "quota/sound_win.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"
#include "text/platform.h"
#include "text/text_utils.h"
#include "text/win_handles.h"
#include "text/win_text.h"

namespace orvix {

HWND QuotaDialog = nullptr;

namespace {

using portal::Step;

// What the user sees, one phase at a time. SetPhase is the one place that
// sets a phase's layout, its buttons and the focus; Conclude, the one way
// into kReport and kFailure, plays their alert sound:
//
//   phase      layout   Kapat  Tekrar  Yinele      focus      alert
//   kWaiting   status   on     off     logged in   unchanged  -
//   kEntry     entry    -      -       -           code box   -
//   kReport    status   on     on      logged in   Kapat      ok
//   kFailure   status   on     on      logged in   Tekrar     fail
//   kClosed    (the window is gone: nothing is shown or started)
//
// In the status layout the group box is taller and titled " Durum ", and
// the status text and the three buttons show; in the entry layout the
// picture, the code box, "Giriş" and the links show. A step runs in
// kWaiting, except "Yinele" on a report or a failure, which keeps that
// phase's buttons while the transfer page is fetched again (every button
// does nothing while a step runs).
enum class Phase { kWaiting, kEntry, kReport, kFailure, kClosed };

// How the security-code picture is drawn (the links "renkli", "Gri
// Tonlarında", "Siyah-Beyaz"); kept to draw it again at a new DPI.
enum class Rendering { kColour, kGrey, kBlackWhite };

// Posted to itself after a DPI change, once the dialog manager has done
// what it does for the new DPI.
constexpr UINT kMsgDpiSettled = WM_APP + 1;

// The template's controls, every one laid out again on a DPI change.
constexpr std::array kLaidOut = {IDC_GROUP,    IDC_CAPTCHA_IMAGE, IDC_STATUS, IDC_CODE_EDIT, IDOK,
                                 IDC_LINK,     IDC_RESTART,       IDC_CLOSE,  IDC_REFRESH};

// The template as the dialog manager laid it out, in dialog units.
struct TemplateLayout {
  struct Units {
    int x, y, cx, cy;
  };
  bool known = false;
  int fontPoints = 0;  // the dialog font's size
  SIZE client{};
  std::array<Units, kLaidOut.size()> controls{};
};

// Everything the dialog keeps for its life. Lives in RunQuotaDialog's frame,
// so it outlasts the window: a handler that finds the window destroyed
// under it (a sent WM_CLOSE while it waited) still has its state.
struct DialogState {
  const QuotaSettings* settings = nullptr;
  HWND owner = nullptr;
  HWND parent = nullptr;
  HWND dialog = nullptr;
  HWND link = nullptr;
  SIZE groupSize{};  // the group box: its template size at the dialog's DPI, with the room below
  int room = 0;      // how far the controls below the picture were moved down for it
  int dpi = kBaseDpi;
  DialogMetrics metrics = MetricsForDpi(kBaseDpi);
  TemplateLayout layout;
  win::UniqueFont dialogFont;  // the controls' font after a DPI change
  RECT suggested{};  // where a DPI change asks the dialog to go
  bool hasSuggested = false;
  Rendering rendering = Rendering::kColour;
  Phase phase = Phase::kWaiting;
  bool announced = false;  // the parent was told of the dialog (6041): it is told of its end
  bool moving = false;     // the move by the body runs
  bool dropping = false;   // input queued before a phase change is being dropped
  // The keys that press a button (Enter, and the letters "&" marks in the
  // buttons' captions), each as it was at the last phase change: held down,
  // and the toggle bit, which flips at each new press (not at a repeat).
  struct KeyAtPhase {
    int key;
    SHORT state;
  };
  std::array<KeyAtPhase, 5> pressingKeys{};
  std::size_t pressingKeyCount = 0;
  bool loggedIn = false;
  PortalCookies cookies;  // the portal's, the session among them
  std::u16string imagePath;  // the saved security-code files; empty when none
  std::u16string soundPath;
  win::UniqueFont codeFont;
  TSoundPlayer sound;
};

bool ParentIsWindow(const DialogState& s) { return s.parent && ::IsWindow(s.parent); }

HWND Item(const DialogState& s, int id) { return ::GetDlgItem(s.dialog, id); }

void Show(const DialogState& s, int id, bool show) { ::ShowWindow(Item(s, id), show ? SW_SHOW : SW_HIDE); }

void Enable(const DialogState& s, int id, bool enable) { ::EnableWindow(Item(s, id), enable ? TRUE : FALSE); }

// Focus inside a dialog goes through the dialog manager, so the default
// button follows.
void Focus(const DialogState& s, int id) {
  if (HWND item = Item(s, id)) ::SendMessageW(s.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

void SetStatus(const DialogState& s, const std::u16string& text) { SetItemText(s.dialog, IDC_STATUS, text); }

void SetStatusText(const DialogState& s, int id) { SetStatus(s, ResourceText(id)); }

// Writes the bytes to a new file; false when any of it failed (a partial
// file is removed).
bool SaveFile(const std::u16string& path, const std::string& bytes) {
  bool ok = false;
  {
    const win::UniqueFile file(::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    ok = bytes.empty() ||
         (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
          written == bytes.size());
  }
  if (!ok) ::DeleteFileW(Wide(path));
  return ok;
}

void Forget(std::u16string& path) {
  if (FileExists(path)) ::DeleteFileW(Wide(path));
  path.clear();
}

// The security-code files in the user's temporary folder, under wide names
// (the folder holds the user's name, which the system code page may not
// write). The folder text normally ends in a backslash already; the doubled
// separator is harmless.
std::u16string TempFile(const char16_t* name) { return TempFolder() + u"\\" + name; }

// An item's window rectangle in the dialog's client coordinates.
RECT ItemRect(const DialogState& s, int id) {
  RECT r{};
  ::GetWindowRect(Item(s, id), &r);
  ::MapWindowPoints(HWND_DESKTOP, s.dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The group box at its saved size, or in the status layout taller by the
// extra (45 pixels at 96 DPI) and ending at least the gap above the buttons.
void SizeGroup(const DialogState& s, bool status) {
  int height = s.groupSize.cy;
  if (status) {
    height = StatusGroupHeight(s.metrics, height, ItemRect(s, IDC_GROUP).top, ItemRect(s, IDC_CLOSE).top);
  }
  ::SetWindowPos(Item(s, IDC_GROUP), nullptr, 0, 0, s.groupSize.cx, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MeasureGroup(DialogState& s) {
  const RECT group = ItemRect(s, IDC_GROUP);
  s.groupSize = {group.right - group.left, group.bottom - group.top};
}

// Moves the controls below the picture down by delta (up when negative);
// the dialog and the saved group box grow with them.
void MoveBelowPicture(DialogState& s, int delta) {
  if (delta == 0) return;
  for (int id : {IDC_CODE_EDIT, IDOK, IDC_LINK, IDC_RESTART, IDC_CLOSE, IDC_REFRESH}) {
    const RECT r = ItemRect(s, id);
    ::SetWindowPos(Item(s, id), nullptr, r.left, r.top + delta, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  s.groupSize.cy += delta;
  RECT window{};
  ::GetWindowRect(s.dialog, &window);
  ::SetWindowPos(s.dialog, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + delta,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  s.room += delta;
}

// Where the template's code box or "Giriş" would hide part of the scaled
// picture (its units grow slower than the DPI), they and what lies below
// them move down. The picture control will be the picture and its edge.
void MakeRoomForPicture(DialogState& s) {
  const RECT frame = ItemRect(s, IDC_CAPTCHA_IMAGE);
  RECT client{};
  ::GetClientRect(Item(s, IDC_CAPTCHA_IMAGE), &client);
  const int edges = (frame.bottom - frame.top) - (client.bottom - client.top);
  const int bottom = frame.top + edges + s.metrics.pictureHeight;
  const int below = std::min(ItemRect(s, IDC_CODE_EDIT).top, ItemRect(s, IDOK).top);
  MoveBelowPicture(s, RoomForPicture(s.dpi, bottom, below));
}

// The status layout: the group box its saved size and taller.
void StatusLayout(DialogState& s) {
  SizeGroup(s, true);
  SetItemText(s.dialog, IDC_GROUP, ResourceText(IDS_GROUP_STATUS));
  SetItemText(s.dialog, IDC_CODE_EDIT, u"");
  for (int id : {IDC_STATUS, IDC_CLOSE, IDC_RESTART, IDC_REFRESH}) Show(s, id, true);
  for (int id : {IDC_CAPTCHA_IMAGE, IDC_CODE_EDIT, IDOK, IDC_LINK}) Show(s, id, false);
}

// The entry layout: the group box back to its saved size.
void EntryLayout(DialogState& s) {
  SizeGroup(s, false);
  SetItemText(s.dialog, IDC_GROUP, ResourceText(IDS_GROUP_CODE));
  for (int id : {IDC_CODE_EDIT, IDOK, IDC_LINK, IDC_CAPTCHA_IMAGE}) Show(s, id, true);
  for (int id : {IDC_STATUS, IDC_CLOSE, IDC_RESTART, IDC_REFRESH}) Show(s, id, false);
}

// The system gives a queued mouse press or key to the window under the
// pointer, or with the focus, when the dialog takes it from its queue, not
// when the user made it. Presses and keys still queued when a phase
// changes the controls were aimed at the old ones (a click on the status
// text made while a handler waited would land on the link the entry layout
// shows there, a click on a disabled "Tekrar" on the enabled one): they are
// dropped. Commands sent meanwhile count for nothing either. The move by
// the body (whose loop hands on the completions) ends at the button's
// release: a release dropped under it ends it still.
void DropQueuedInput(DialogState& s) {
  if (s.dropping) return;
  s.dropping = true;
  // By message range, not PM_QS_INPUT: Wine's input filter misses a press
  // that a wait's PM_NOREMOVE peek has looked at already.
  MSG msg;
  bool released = false;
  while (::PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
         ::PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    if (msg.message == WM_LBUTTONUP) released = true;
  }
  s.dropping = false;
  if (s.moving && released) ::PostMessageW(s.dialog, WM_LBUTTONUP, 0, 0);
  // After the drop: a dropped press is held now too.
  for (std::size_t i = 0; i < s.pressingKeyCount; ++i) {
    s.pressingKeys[i].state = ::GetKeyState(s.pressingKeys[i].key);
  }
}

// A key that presses buttons, held down since before the last phase change,
// was pressed for the controls that were there, but its repeats press what
// the new phase shows: Enter the focused button (one press that logged in
// would close the report, one that was refused would start again), a
// button's letter that button ("T" held through a failed query would start
// one query after another). Such a key counts for nothing until it is
// released and pressed anew (which flips its toggle bit).
bool KeyHeldAcrossPhase(const DialogState& s) {
  for (std::size_t i = 0; i < s.pressingKeyCount; ++i) {
    const SHORT then = s.pressingKeys[i].state;
    const SHORT now = ::GetKeyState(s.pressingKeys[i].key);
    if ((then & 0x8000) && (now & 0x8000) && ((now ^ then) & 1) == 0) return true;
  }
  return false;
}

// Enter and the keys of the letters "&" marks in the buttons' captions,
// which the dialog manager takes for a press of that button.
void FindPressingKeys(DialogState& s) {
  s.pressingKeys[0] = {VK_RETURN, 0};
  s.pressingKeyCount = 1;
  for (int id : {IDOK, IDC_RESTART, IDC_CLOSE, IDC_REFRESH}) {
    const std::u16string caption = GetItemText(s.dialog, id);
    std::size_t at = caption.find(u'&');
    while (at != std::u16string::npos && at + 1 < caption.size() && caption[at + 1] == u'&') {
      at = caption.find(u'&', at + 2);
    }
    if (at == std::u16string::npos || at + 1 >= caption.size()) continue;
    const SHORT scan = ::VkKeyScanW(static_cast<WCHAR>(caption[at + 1]));
    if (scan == -1 || s.pressingKeyCount == s.pressingKeys.size()) continue;
    s.pressingKeys[s.pressingKeyCount++] = {LOBYTE(scan), 0};
  }
}

// Moves the dialog into a phase (see the table at Phase).
void SetPhase(DialogState& s, Phase phase) {
  s.phase = phase;
  switch (phase) {
    case Phase::kEntry:
      EntryLayout(s);
      Focus(s, IDC_CODE_EDIT);
      DropQueuedInput(s);
      return;
    case Phase::kWaiting:
    case Phase::kReport:
    case Phase::kFailure:
      StatusLayout(s);
      Enable(s, IDC_CLOSE, true);
      Enable(s, IDC_RESTART, phase != Phase::kWaiting);
      Enable(s, IDC_REFRESH, s.loggedIn);
      if (phase == Phase::kReport) Focus(s, IDC_CLOSE);
      if (phase == Phase::kFailure) Focus(s, IDC_RESTART);
      DropQueuedInput(s);
      return;
    case Phase::kClosed:
      return;
  }
}

bool Closed(const DialogState& s) { return s.phase == Phase::kClosed; }

// The saved picture in the current rendering, at the dialog's DPI.
void DrawPicture(const DialogState& s) {
  ShowCaptcha(s.dialog, s.imagePath, s.rendering != Rendering::kColour, s.rendering == Rendering::kBlackWhite,
              SIZE{s.metrics.pictureWidth, s.metrics.pictureHeight});
}

// The code box's bold 14-point font at the dialog's DPI. The old font goes
// once the box uses the new one.
void MakeCodeFont(DialogState& s) {
  win::UniqueFont font = CreateDialogFontOfHeight(s.dialog, true, s.metrics.codeFontPixels, false);
  if (!font) return;
  SetItemFont(s.dialog, IDC_CODE_EDIT, font.get());
  s.codeFont = std::move(font);
}

void PlayAlert(DialogState& s, const std::string& file) {
  if (s.settings->querySound) s.sound.PlaySoundFile(s.dialog, s.link, platform::AnsiToWide(file));
}

// Every step does nothing while a request runs, including while a finished
// one is waited for: messages sent meanwhile are handled inside that wait.
bool Busy() { return InetThreadBusy(); }

// A control the user can press now: shown and enabled. Commands and link
// notices count only from such a control: a button or link that was hidden
// or disabled under a held key or mouse button, or that the layout of a new
// phase put under the pointer, starts nothing.
bool Pressable(const DialogState& s, int id) {
  HWND item = Item(s, id);
  return item && ::IsWindowVisible(item) && ::IsWindowEnabled(item);
}

// Sends one portal request on the worker; 0 when it started.
std::int32_t StartStep(DialogState& s, Step step, std::string body = {}) {
  const std::int32_t started = StartInetThread(s.dialog, portal::InfoOf(step).message, [&](TRequest& r) {
    portal::FillRequest(r, step, s.cookies, std::move(body));
  });
  WipeText(body);  // a login form the worker never took
  return started;
}

// The query ends in kReport or kFailure, with a text for the user and the
// phase's alert sound (see the table at Phase).
void Conclude(DialogState& s, Phase phase, const std::u16string& text) {
  SetPhase(s, phase);
  SetStatus(s, text);
  PlayAlert(s, phase == Phase::kReport ? s.settings->okSound : s.settings->failSound);
}

void Fail(DialogState& s, const std::u16string& text) { Conclude(s, Phase::kFailure, text); }

// A request failed (or could not start): the query stops here.
void CommonFailure(DialogState& s) {
  FinishInetThread();
  if (Closed(s)) return;
  Fail(s, ResourceText(IDS_STATUS_FAILED));
}

// Starts a step, showing its status text.
void RunStep(DialogState& s, Step step, std::string body = {}) {
  SetStatusText(s, portal::InfoOf(step).statusText);
  if (StartStep(s, step, std::move(body)) != 0) CommonFailure(s);
}

// The start of a query: login page, then image.
void StartQuery(DialogState& s) {
  if (Busy()) return;
  // A sound still playing holds the old file and would tell the old code.
  s.sound.StopSound();
  s.loggedIn = false;
  Forget(s.imagePath);
  Forget(s.soundPath);
  s.cookies.Clear();
  OpenInternet();
  SetPhase(s, Phase::kWaiting);
  RunStep(s, Step::kLoginPage);
}

void SendLoginForm(DialogState& s) {
  if (Busy()) return;
  const std::string code = platform::WideToAnsi(GetItemText(s.dialog, IDC_CODE_EDIT));
  if (code.empty()) return;
  const TCredentials& c = s.settings->credentials;
  if (c.userName.empty() || c.password.empty()) return;
  s.sound.StopSound();
  SetPhase(s, Phase::kWaiting);
  std::string body = portal::LoginFormBody(c.userName, c.password, code);
  RunStep(s, Step::kLoginForm, std::move(body));
  WipeText(body);
}

// The spoken code could not be fetched or saved. It is only a help: the
// picture, the session and the typed code stay, and the user hears a beep.
// (No sound plays while it is fetched, so the links never stopped
// answering.)
void SoundFetchFailed(DialogState& s) {
  FinishInetThread();
  if (Closed(s)) return;
  if (s.phase != Phase::kEntry) {
    CommonFailure(s);
    return;
  }
  ::MessageBeep(MB_OK);
}

void RequestSound(DialogState& s) {
  if (Busy()) return;
  SetStatusText(s, portal::InfoOf(Step::kSound).statusText);
  if (StartStep(s, Step::kSound) != 0) SoundFetchFailed(s);
}

void ApplyReport(DialogState& s, const ReportOutcome& outcome) {
  if (ParentIsWindow(s)) {
    SendCopyData(s.parent, s.dialog, outcome.replyTag, outcome.replyData.data(), outcome.replyData.size());
  }
  // The parent's answer may have taken a while, and -exit may have come in.
  if (Closed(s)) return;
  Conclude(s, outcome.succeeded() ? Phase::kReport : Phase::kFailure, outcome.statusText);
}

void OnCompleted(DialogState& s, UINT message, LPARAM result) {
  // Sent, not posted, while another handler waits for its worker: no
  // worker of ours sent it, and the waiting handler carries the step on.
  if (Busy() && !CurrentInetThread()) return;
  // Out of the slot before the wait: a handler that runs during it (the
  // window destroyed by -exit) must not free this worker a second time.
  std::unique_ptr<TInetThread> worker = TakeInetThread();
  if (Closed(s)) return;
  if (!worker || result != 0 || worker->NotifyMessage != message) {
    worker.reset();
    if (message == portal::kSoundDone) {
      SoundFetchFailed(s);
    } else {
      CommonFailure(s);
    }
    return;
  }
  const TResponse& response = worker->Request().Response();
  for (const std::string& setCookie : response.SetCookies) s.cookies.Take(setCookie);
  switch (message) {
    case portal::kLoginPageDone:
      worker.reset();
      RunStep(s, Step::kImage);
      return;
    case portal::kImageDone:
    case portal::kSoundDone: {
      // The picture and the sound: saved in the temporary folder, else the
      // query fails.
      const bool image = message == portal::kImageDone;
      const std::u16string path = TempFile(image ? u"jcaptcha.jpg" : u"jcaptcha.wav");
      const bool saved = SaveFile(path, response.Content);
      worker.reset();
      if (!saved) {
        if (image) {
          CommonFailure(s);
        } else {
          SoundFetchFailed(s);
        }
        return;
      }
      if (image) {
        s.imagePath = path;
        s.rendering = Rendering::kColour;
        DrawPicture(s);
        SetPhase(s, Phase::kEntry);
      } else {
        s.soundPath = path;
        s.sound.PlaySoundFile(s.dialog, s.link, s.soundPath);
      }
      return;
    }
    case portal::kLoginFormDone: {
      const std::u16string page = DecodePortalText(response.GetText(), response.GetField(response_field::kContentType));
      worker.reset();
      if (IsRefusalPage(page)) {
        Fail(s, ResourceText(IDS_SERVER_SAID) + ServerErrorText(page));
        return;
      }
      RunStep(s, Step::kAgreement);
      return;
    }
    case portal::kAgreementDone:
      worker.reset();
      s.loggedIn = true;
      RunStep(s, Step::kTransfer);
      return;
    case portal::kTransferDone: {
      const std::u16string page = DecodePortalText(response.GetText(), response.GetField(response_field::kContentType));
      worker.reset();
      ApplyReport(s, RunReport(page, s.settings->stored));
      return;
    }
    default:
      worker.reset();
      CommonFailure(s);
  }
}

void OnLink(DialogState& s, int index) {
  switch (index) {
    case 0:  // "yineleyin": a new image means a new login
      StartQuery(s);
      Focus(s, IDC_CODE_EDIT);
      return;
    case 1:  // "buraya tıklatın": hear the code
      if (s.imagePath.empty()) return;
      Focus(s, IDC_CODE_EDIT);
      if (FileExists(s.soundPath)) {
        s.sound.PlaySoundFile(s.dialog, s.link, s.soundPath);
      } else {
        RequestSound(s);
      }
      return;
    case 2:  // colour, grey tones, black and white
    case 3:
    case 4:
      if (!FileExists(s.imagePath)) return;
      s.rendering = index == 2 ? Rendering::kColour : index == 3 ? Rendering::kGrey : Rendering::kBlackWhite;
      DrawPicture(s);
      Focus(s, IDC_CODE_EDIT);
      return;
    default:
      return;
  }
}

// The link a notice of the link control is about. Enter's notice names the
// focused link rightly everywhere; a mouse click's index counts the plain
// text pieces between the links too in some link controls (Wine's), so for
// a click the link is the one the press focused, which is the clicked one
// on every system. The notice's own index only when no link has the focus.
int NotifiedLink(HWND link, const NMLINK& notice) {
  if (notice.hdr.code != static_cast<UINT>(NM_CLICK)) return notice.item.iLink;
  for (int i = 0;; ++i) {
    LITEM item{};
    item.mask = LIF_ITEMINDEX | LIF_STATE;
    item.iLink = i;
    item.stateMask = LIS_FOCUSED;
    if (!::SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item))) break;
    if (item.state & LIS_FOCUSED) return i;
  }
  return notice.item.iLink;
}

// The dialog base units of a font as the dialog manager measures them:
// the average width of the 52 Latin letters, rounded, and the character
// height.
SIZE BaseUnitsOf(HFONT font) {
  const win::WindowDc screen(nullptr);
  if (!screen || !font) return {};
  const win::ScopedSelectObject selected(screen.get(), font);
  TEXTMETRICW metrics{};
  SIZE letters{};
  const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (!::GetTextMetricsW(screen.get(), &metrics) || !::GetTextExtentPoint32W(screen.get(), kLetters, 52, &letters))
    return {};
  return {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

// Where the dialog manager put the template's controls and how large it
// made the client area, in dialog units, read back before any move of our
// own; and the dialog font's size in points.
void RememberTemplate(DialogState& s) {
  RECT units{0, 0, 4, 8};
  if (!::MapDialogRect(s.dialog, &units) || units.right <= 0 || units.bottom <= 0) return;
  const auto across = [&](LONG pixels) { return ::MulDiv(pixels, 4, units.right); };
  const auto down = [&](LONG pixels) { return ::MulDiv(pixels, 8, units.bottom); };
  RECT client{};
  ::GetClientRect(s.dialog, &client);
  s.layout.client = {across(client.right), down(client.bottom)};
  for (std::size_t i = 0; i < kLaidOut.size(); ++i) {
    const RECT r = ItemRect(s, kLaidOut[i]);
    s.layout.controls[i] = {across(r.left), down(r.top), across(r.right - r.left), down(r.bottom - r.top)};
  }
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(s.dialog, WM_GETFONT, 0, 0));
  if (!current || !::GetObjectW(current, sizeof font, &font) || font.lfHeight == 0) return;
  s.layout.fontPoints = ::MulDiv(font.lfHeight < 0 ? -font.lfHeight : font.lfHeight, 72, s.dpi);
  s.layout.known = s.layout.fontPoints > 0;
}

// Sets the window's client area to the size, its top left corner at the
// point, whatever the frame around it.
void SetClientSize(const DialogState& s, POINT at, SIZE client) {
  RECT window{}, inner{};
  ::GetWindowRect(s.dialog, &window);
  ::GetClientRect(s.dialog, &inner);
  ::SetWindowPos(s.dialog, nullptr, at.x, at.y, client.cx + (window.right - window.left) - inner.right,
                 client.cy + (window.bottom - window.top) - inner.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The template laid out at the dialog's DPI, as the dialog manager lays it
// out when it creates the dialog there: the dialog font at that DPI gives
// the base units, the base units every control's rectangle and the client
// size, and the controls take that font. The window goes to the suggested
// position; first at the suggested size too, so that its frame is the frame
// at the new DPI.
void LayOutTemplate(DialogState& s) {
  RECT window{};
  ::GetWindowRect(s.dialog, &window);
  POINT at{window.left, window.top};
  if (s.hasSuggested) {
    const RECT& r = s.suggested;
    at = {r.left, r.top};
    ::SetWindowPos(s.dialog, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    s.hasSuggested = false;
  }
  if (!s.layout.known) return;
  win::UniqueFont font =
      CreateDialogFontOfHeight(s.dialog, false, ::MulDiv(s.layout.fontPoints, s.dpi, 72), false);
  const SIZE base = BaseUnitsOf(font.get());
  if (base.cx <= 0 || base.cy <= 0) return;
  const auto across = [&](int units) { return ::MulDiv(units, base.cx, 4); };
  const auto down = [&](int units) { return ::MulDiv(units, base.cy, 8); };
  for (std::size_t i = 0; i < kLaidOut.size(); ++i) {
    const TemplateLayout::Units& u = s.layout.controls[i];
    ::SetWindowPos(Item(s, kLaidOut[i]), nullptr, across(u.x), down(u.y), across(u.cx), down(u.cy),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetClientSize(s, at, {across(s.layout.client.cx), down(s.layout.client.cy)});
  // The controls' texts in that font too (the code box has its own): in
  // the old one a caption reaches into the control below it. The old font
  // goes once no control uses it.
  for (int id : kLaidOut) {
    if (id != IDC_CODE_EDIT) SetItemFont(s.dialog, id, font.get());
  }
  s.dialogFont = std::move(font);
}

void OnInitDialog(DialogState& s, HWND dialog) {
  s.dialog = dialog;
  QuotaDialog = dialog;
  // The template is laid out at the dialog's DPI already; every pixel
  // figure of our own is scaled to it.
  s.dpi = WindowDpi(dialog);
  s.metrics = MetricsForDpi(s.dpi);
  RememberTemplate(s);
  MeasureGroup(s);
  MakeRoomForPicture(s);
  MakeCodeFont(s);
  s.imagePath.clear();
  s.soundPath.clear();
  s.link = Item(s, IDC_LINK);
  FindPressingKeys(s);
  SetLinkText(s.link, ResourceText(IDS_LINK_TEXT));
  ::SetWindowTextW(dialog, Wide(ResourceText(IDS_TITLE)));
  if (ParentIsWindow(s)) {
    s.announced = true;
    ::SendMessageW(s.parent, kMsgQuotaOpened, kQuotaMessageWParam, reinterpret_cast<LPARAM>(s.owner));
  }
  // The parent may close the query while it is told about it (-exit, or a
  // WM_CLOSE to the hidden window, during the send): then nothing starts.
  if (Closed(s)) return;
  ::SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
  CenterWindow(dialog);
  StartQuery(s);
}

// WM_DPICHANGED (the dialog moved to a monitor of another scale), before
// the dialog manager's own handling: the suggested rectangle is kept, and
// the rest waits for kMsgDpiSettled.
void OnDpiChanging(DialogState& s, WPARAM wParam, LPARAM lParam) {
  if (Closed(s)) return;
  s.hasSuggested = lParam != 0;
  if (s.hasSuggested) s.suggested = *reinterpret_cast<const RECT*>(lParam);
  ::PostMessageW(s.dialog, kMsgDpiSettled, HIWORD(wParam), 0);
}

// After a DPI change: the template laid out again at the new DPI at the
// suggested position, the code font, the saved group box size measured
// again, the room for the picture, the layout of the phase, and the picture
// drawn again at the new size from the saved file: the dialog opened at
// that DPI. (The suggested size is the old one scaled, room below the
// picture included, which does not scale with the DPI.)
void OnDpiSettled(DialogState& s, int dpi) {
  if (Closed(s)) return;
  s.dpi = dpi > 0 ? dpi : WindowDpi(s.dialog);
  s.metrics = MetricsForDpi(s.dpi);
  LayOutTemplate(s);
  MakeCodeFont(s);
  s.room = 0;
  MeasureGroup(s);
  MakeRoomForPicture(s);
  SizeGroup(s, s.phase != Phase::kEntry);
  if (FileExists(s.imagePath)) DrawPicture(s);
}

// Nothing here may fail half-way: the parent hears of the end, the worker
// is waited for and the session closed whatever happened before.
void OnDestroy(DialogState& s) {
  SetPhase(s, Phase::kClosed);
  if (s.announced && ParentIsWindow(s)) ::SendMessageW(s.parent, kMsgQuotaClosed, kQuotaMessageWParam, 0);
  // A running request cannot be cancelled: wait for it (its time-outs bound
  // the wait).
  FinishInetThread();
  s.codeFont.reset();
  try {
    s.sound.StopSound();  // gives the links their text back, which may fail to load
  } catch (...) {
  }
  CloseInternet();
  if (QuotaDialog == s.dialog) QuotaDialog = nullptr;
  // Destroyed without EndDialog (its owner, the hidden window, went away):
  // the modal loop only notices at its next message, so give it one.
  ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
}

INT_PTR HandleMessage(DialogState* s, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    OnInitDialog(*s, dialog);
    return TRUE;
  }
  if (!s) return FALSE;
  if (s->dropping && (message == WM_COMMAND || message == WM_NOTIFY || message == WM_LBUTTONDOWN)) return FALSE;
  switch (message) {
    case WM_SHOWWINDOW:
      // Only a shown code box takes the focus: a hidden one would pass Enter
      // on to whatever the default button is.
      if (wParam && s->phase == Phase::kEntry) Focus(*s, IDC_CODE_EDIT);
      return TRUE;
    case WM_LBUTTONDOWN:
      if (wParam & MK_LBUTTON) {
        ::ReleaseCapture();
        s->moving = true;
        ::SendMessageW(dialog, WM_SYSCOMMAND, 0xF012, 0);  // move by the body
        s->moving = false;
      }
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED || KeyHeldAcrossPhase(*s)) return TRUE;
      switch (LOWORD(wParam)) {
        case IDOK:
          if (s->phase == Phase::kEntry && Pressable(*s, IDOK)) SendLoginForm(*s);
          break;
        case IDCANCEL:
        case IDC_CLOSE:
          ::EndDialog(dialog, 2);
          break;
        case IDC_RESTART:
          if (Pressable(*s, IDC_RESTART)) StartQuery(*s);
          break;
        case IDC_REFRESH:
          if (!Pressable(*s, IDC_REFRESH)) break;
          if (s->loggedIn) {
            if (!Busy()) RunStep(*s, Step::kTransfer);
          } else {
            StartQuery(*s);
          }
          break;
      }
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == s->link && s->phase == Phase::kEntry && Pressable(*s, IDC_LINK) &&
          (header->code == static_cast<UINT>(NM_CLICK) ||
           (header->code == static_cast<UINT>(NM_RETURN) && !KeyHeldAcrossPhase(*s)))) {
        OnLink(*s, NotifiedLink(s->link, *reinterpret_cast<const NMLINK*>(lParam)));
      }
      return FALSE;
    }
    case WM_COPYDATA:
      return TRUE;
    case MM_MCINOTIFY:
      s->sound.OnNotify(wParam, lParam);
      return FALSE;
    case portal::kLoginPageDone:
    case portal::kImageDone:
    case portal::kLoginFormDone:
    case portal::kAgreementDone:
    case portal::kTransferDone:
    case portal::kSoundDone:
      OnCompleted(*s, message, lParam);
      return FALSE;
    case WM_DPICHANGED:
      OnDpiChanging(*s, wParam, lParam);
      return FALSE;  // the dialog manager scales the dialog and its controls
    case kMsgDpiSettled:
      OnDpiSettled(*s, static_cast<int>(wParam));
      return TRUE;
    case kMsgCloseDialog:
      ::EndDialog(dialog, 2);
      return TRUE;
    case WM_DESTROY:
      OnDestroy(*s);
      return TRUE;
  }
  return FALSE;
}

// A fault in handling a message (an exception: memory ran out, say) ends
// the step under way as a failed request ends it: status 216 and "Tekrar",
// the dialog still answering. When even that cannot be shown, the dialog
// ends; its destruction still waits for the worker and tells the parent.
INT_PTR OnFault(DialogState* s, HWND dialog, UINT message) noexcept {
  try {
    if (s) CommonFailure(*s);
    return message == WM_INITDIALOG ? TRUE : FALSE;
  } catch (...) {
  }
  if (!s || !Closed(*s)) ::EndDialog(dialog, 2);
  return FALSE;
}

// Windows calls this through user32, whose frames no exception may cross
// (on 32-bit builds it would end the process there): every fault stops here.
INT_PTR CALLBACK QuotaDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    s = reinterpret_cast<DialogState*>(lParam);
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  }
  try {
    return HandleMessage(s, dialog, message, wParam, lParam);
  } catch (...) {
    return OnFault(s, dialog, message);
  }
}

}  // namespace

INT_PTR RunQuotaDialog(HWND owner, HWND parent, const QuotaSettings& settings) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  DialogState state;
  state.settings = &settings;
  state.owner = owner;
  state.parent = parent;
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QUOTA), owner,
                                           QuotaDialogProc, reinterpret_cast<LPARAM>(&state));
  // Whatever happened to the window, no worker outlives the dialog.
  FinishInetThread();
  if (QuotaDialog == state.dialog) QuotaDialog = nullptr;
  return result;
}

}  // namespace orvix
