// ui-driver: drives a dialog of another process for the Wine tests.
//
// A long-lived console program: it reads one command a line on stdin and
// answers each with one JSON line on stdout (see kHelp). The dialog is found
// by its title among the top-level windows of every process; control ids are
// the dialog's own.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "capture_win.h"
#include "json_line.h"
#include "syslink_win.h"
#include "text/win_handles.h"

namespace {

using uidriver::Error;
using uidriver::JsonLine;

const char kHelp[] =
    "usage: ui-driver            (commands on stdin, one JSON reply a line on stdout)\n"
    "\n"
    "  wait-window TITLE TIMEOUT_MS   find a visible top-level window titled TITLE\n"
    "                                 -> {hwnd, pid} | {error:\"timeout\"}\n"
    "  gone TIMEOUT_MS                wait until that window no longer exists -> {gone:true}\n"
    "  get ID                         -> {id, class, text, visible, enabled, focused, rect:[x,y,w,h]}\n"
    "                                    (rect in the dialog's client coordinates)\n"
    "  get-window                     -> {hwnd, pid, title, rect, client, topmost, visible, enabled,\n"
    "                                     foreground, owner, focus}\n"
    "  settext ID TEXT                WM_SETTEXT, TEXT is the rest of the line -> {result}\n"
    "  click ID                       BM_CLICK, sent; returns when the dialog has handled it\n"
    "                                 -> {done:true} | {error:\"disabled\"|\"hidden\"|\"timeout\"}\n"
    "  command ID                     posts WM_COMMAND (ID, BN_CLICKED) to the dialog -> {posted:true}\n"
    "  key ID VK                      posts WM_KEYDOWN and WM_KEYUP of VK to the control -> {posted:true}\n"
    "  link ID INDEX                  clicks link INDEX (0-based) of a SysLink control\n"
    "                                 -> {index, link_id, method:\"click\", point:[x,y], probes}:\n"
    "                                    the left button pressed and released at a point LM_HITTEST\n"
    "                                    puts in the link, as a person clicks it\n"
    "  enable ID 0|1                  EnableWindow on the control, so that a control the program\n"
    "                                 disabled can be pressed anyway -> {was_disabled}\n"
    "  send MSG WPARAM LPARAM         SendMessage to the dialog -> {result}\n"
    "  send-class CLASS NAME MSG WPARAM LPARAM\n"
    "                                 to the top-level window FindWindow(CLASS, NAME) finds\n"
    "                                 ('-' for either means any, #N a class atom; a name with\n"
    "                                 spaces in double quotes) -> {hwnd, result}\n"
    "  dpi-changed OLD NEW            WM_DPICHANGED to the dialog as Windows sends it: the window's\n"
    "                                 rectangle, its size scaled by NEW / OLD, as the suggested one\n"
    "                                 -> {result, suggested:[x,y,w,h]}\n"
    "  pixels ID FILE.bmp             the control's image (client area, border excluded)\n"
    "                                 -> {width, height, source:\"bitmap\"|\"screen\"}\n"
    "  screenshot FILE.bmp            the dialog's window rectangle from the screen -> {width, height}\n"
    "  focus-window                   bring the dialog to the foreground -> {foreground}\n"
    "\n"
    "Real input (SendInput: the system routes it as a person's mouse and keyboard, by the\n"
    "pointer's position, the capture and the focus; keys go to the foreground window):\n"
    "  point ID DX DY                 the screen point DX, DY from the control's client origin\n"
    "                                 -> {point:[x,y]}\n"
    "  link-point ID INDEX            the screen point of link INDEX of a SysLink control\n"
    "                                 -> {point:[x,y]}\n"
    "  mouse-move X Y                 the pointer to the screen point -> {point:[x,y]}\n"
    "  mouse-down | mouse-up          the left button pressed or released where the pointer is\n"
    "  mouse-click | dblclick         one press and release, or two quickly -> {sent}\n"
    "  keydown VK | keyup VK          a key pressed (again: autorepeat) or released -> {sent}\n"
    "  keypress VK                    a key pressed and released -> {sent}\n"
    "  exit                           -> {exit:true}, then ends\n"
    "\n"
    "Numbers are decimal or 0x hexadecimal. Sent messages time out after 10 s.\n";

constexpr UINT kSendTimeoutMs = 10000;
constexpr DWORD kPollMs = 25;

struct Target {
  HWND dialog = nullptr;
  DWORD pid = 0;
} g_target;

std::wstring Widen(std::string_view s) {
  if (s.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(std::wstring_view w) {
  if (w.empty()) return {};
  const int n =
      ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::int64_t Handle(HWND h) { return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(h)); }

// The first word of `rest` (split at spaces, or in double quotes when it
// starts with one), removed from it.
std::string NextWord(std::string_view& rest) {
  const auto start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  if (rest.front() == '"') {
    const auto close = rest.find('"', 1);
    std::string word(rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    rest = close == std::string_view::npos ? std::string_view{} : rest.substr(close + 1);
    return word;
  }
  const auto end = rest.find(' ');
  std::string word(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return word;
}

bool ParseInt(const std::string& s, long long& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 0);
  return errno == 0 && end && *end == '\0';
}

// Reads the numbers of a command; false when one is missing or is no number.
bool Numbers(std::string_view& rest, std::vector<long long*> outs) {
  for (long long* o : outs)
    if (!ParseInt(NextWord(rest), *o)) return false;
  return true;
}

std::wstring WindowTitle(HWND w) {
  wchar_t buf[512];
  const int n = ::GetWindowTextW(w, buf, 512);
  return std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The text of a window, through WM_GETTEXT (the system carries the buffer
// across processes for this message). The window may change its text
// between the length and the text: a text that filled the buffer is read
// again until the length stays put, so a longer new text is never cut.
bool WindowText(HWND w, std::wstring& text) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return false;
    std::vector<wchar_t> buf(length + 2, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                               kSendTimeoutMs, &got))
      return false;
    text.assign(buf.data(), std::min<std::size_t>(got, buf.size() - 1));
    // One spare place: a text that fits with room to spare is whole.
    if (got <= length) return true;
  }
  return true;
}

std::string Rect(const RECT& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right - r.left) + "," +
         std::to_string(r.bottom - r.top) + "]";
}

HWND FocusOfDialogThread() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(g_target.dialog, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

struct FindByTitle {
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<FindByTitle*>(lp);
  try {  // nothing may leave a callback of user32
    if (::IsWindowVisible(w) && WindowTitle(w) == *f->title) {
      f->found = w;
      return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

JsonLine WaitWindow(std::string_view rest) {
  // The title may hold spaces: the timeout is the last word.
  const auto lastSpace = rest.rfind(' ');
  long long timeout = 0;
  if (lastSpace == std::string_view::npos || !ParseInt(std::string(rest.substr(lastSpace + 1)), timeout))
    return Error("usage: wait-window TITLE TIMEOUT_MS");
  const std::wstring title = Widen(rest.substr(0, lastSpace));
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeout);
  for (;;) {
    FindByTitle f{&title, nullptr};
    ::EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&f));
    if (f.found) {
      g_target.dialog = f.found;
      ::GetWindowThreadProcessId(f.found, &g_target.pid);
      return JsonLine().Int("hwnd", Handle(f.found)).Int("pid", g_target.pid);
    }
    if (::GetTickCount64() >= deadline) return Error("timeout");
    ::Sleep(kPollMs);
  }
}

JsonLine Gone(std::string_view rest) {
  long long timeout = 0;
  if (!Numbers(rest, {&timeout})) return Error("usage: gone TIMEOUT_MS");
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeout);
  while (g_target.dialog && ::IsWindow(g_target.dialog)) {
    if (::GetTickCount64() >= deadline) return Error("timeout");
    ::Sleep(kPollMs);
  }
  return JsonLine().Bool("gone", true);
}

// The control of a command's first word, or an error reply.
HWND Control(std::string_view& rest, JsonLine& error) {
  long long id = 0;
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) {
    error = Error("no window");
    return nullptr;
  }
  if (!ParseInt(NextWord(rest), id)) {
    error = Error("bad control id");
    return nullptr;
  }
  HWND control = ::GetDlgItem(g_target.dialog, static_cast<int>(id));
  if (!control) error = Error("no control");
  return control;
}

// A control as a user meets it: one that is hidden or disabled takes no click.
bool Clickable(HWND control, JsonLine& error) {
  if (!::IsWindowVisible(control)) {
    error = Error("hidden");
    return false;
  }
  if (!::IsWindowEnabled(control)) {
    error = Error("disabled");
    return false;
  }
  return true;
}

JsonLine Get(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  std::wstring text;
  if (!WindowText(control, text)) return Error("timeout");
  wchar_t cls[256];
  const int clsLen = ::GetClassNameW(control, cls, 256);
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(HWND_DESKTOP, g_target.dialog, reinterpret_cast<POINT*>(&r), 2);
  return JsonLine()
      .Int("id", ::GetDlgCtrlID(control))
      .Str("class", Narrow(std::wstring_view(cls, clsLen > 0 ? clsLen : 0)))
      .Str("text", Narrow(text))
      .Bool("visible", ::IsWindowVisible(control))
      .Bool("enabled", ::IsWindowEnabled(control))
      .Bool("focused", FocusOfDialogThread() == control)
      .Raw("rect", Rect(r));
}

JsonLine GetWindow() {
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  HWND d = g_target.dialog;
  RECT r{};
  ::GetWindowRect(d, &r);
  RECT c{};
  ::GetClientRect(d, &c);
  ::MapWindowPoints(d, HWND_DESKTOP, reinterpret_cast<POINT*>(&c), 2);
  HWND focus = FocusOfDialogThread();
  return JsonLine()
      .Int("hwnd", Handle(d))
      .Int("pid", g_target.pid)
      .Str("title", Narrow(WindowTitle(d)))
      .Raw("rect", Rect(r))
      .Raw("client", Rect(c))
      .Bool("topmost", (::GetWindowLongPtrW(d, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
      .Bool("visible", ::IsWindowVisible(d))
      .Bool("enabled", ::IsWindowEnabled(d))
      .Bool("foreground", ::GetForegroundWindow() == d)
      .Int("owner", Handle(::GetWindow(d, GW_OWNER)))
      .Int("focus", focus && ::IsChild(d, focus) ? ::GetDlgCtrlID(focus) : 0);
}

JsonLine SetText(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  const std::wstring text = Widen(rest);
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result))
    return Error("timeout");
  return JsonLine().Int("result", static_cast<std::int64_t>(result));
}

JsonLine Click(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control || !Clickable(control, error)) return error;
  // The button presses and releases itself and notifies the dialog with
  // WM_COMMAND BN_CLICKED, all inside this message, so the reply comes after
  // the dialog's handler has run (or after the timeout if that handler
  // blocks).
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    return Error("timeout");
  return JsonLine().Bool("done", true);
}

JsonLine Command(std::string_view rest) {
  long long id = 0;
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  if (!Numbers(rest, {&id})) return Error("usage: command ID");
  HWND control = ::GetDlgItem(g_target.dialog, static_cast<int>(id));
  if (!::PostMessageW(g_target.dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                      reinterpret_cast<LPARAM>(control)))
    return Error("post failed");
  return JsonLine().Bool("posted", true);
}

JsonLine Enable(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  long long on = 0;
  if (!Numbers(rest, {&on}) || (on != 0 && on != 1)) return Error("usage: enable ID 0|1");
  return JsonLine().Bool("was_disabled", ::EnableWindow(control, on ? TRUE : FALSE) != FALSE);
}

JsonLine Key(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  long long vk = 0;
  if (!Numbers(rest, {&vk})) return Error("usage: key ID VK");
  const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  const LPARAM up = down | (1LL << 30) | (1LL << 31);
  if (!::PostMessageW(control, WM_KEYDOWN, static_cast<WPARAM>(vk), down) ||
      !::PostMessageW(control, WM_KEYUP, static_cast<WPARAM>(vk), up))
    return Error("post failed");
  return JsonLine().Bool("posted", true);
}

JsonLine Link(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  long long index = 0;
  if (!Numbers(rest, {&index})) return Error("usage: link ID INDEX");
  if (!Clickable(control, error)) return error;
  uidriver::LinkSpot spot;
  std::string why;
  if (uidriver::FindLink(control, static_cast<int>(index), spot, why)) {
    // A person's click: the button goes down and comes up on the link, and
    // the control sends its parent WM_NOTIFY NM_CLICK from the release, with
    // the NMLINK in its own memory. What the parent makes of that notice is
    // the program's business (Wine's NM_CLICK counts the text pieces between
    // the links in its index too).
    const LPARAM at = MAKELPARAM(spot.point.x, spot.point.y);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(control, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) ||
        !::SendMessageTimeoutW(control, WM_LBUTTONUP, 0, at, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
      return Error("timeout");
    return JsonLine()
        .Int("index", index)
        .Str("link_id", Narrow(spot.id))
        .Str("method", "click")
        .Ints("point", {spot.point.x, spot.point.y})
        .Int("probes", spot.probes);
  }
  if (spot.anyLink) return Error(why);
  // No point of the control is a link: it shows its markup as plain text.
  // Wine's SysLink does so for <a> tags with attributes when the break
  // character of its window's default font is not a space (code page 1254).
  return Error("no link to click: the control shows its markup as text");
}

JsonLine SendTo(HWND window, std::string_view rest, const char* usage, bool withHandle) {
  long long msg = 0, wp = 0, lp = 0;
  if (!Numbers(rest, {&msg, &wp, &lp})) return Error(usage);
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, static_cast<UINT>(msg), static_cast<WPARAM>(wp), static_cast<LPARAM>(lp),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    return Error("timeout");
  JsonLine reply;
  if (withHandle) reply.Int("hwnd", Handle(window));
  return reply.Int("result", static_cast<std::int64_t>(static_cast<LRESULT>(result)));
}

JsonLine Send(std::string_view rest) {
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  return SendTo(g_target.dialog, rest, "usage: send MSG WPARAM LPARAM", false);
}

// WM_DPICHANGED as Windows sends it when the window moves to a monitor of
// another scale: the new DPI in both halves of wParam, and in lParam a
// suggested rectangle, the window's own with its size scaled by NEW / OLD.
// The rectangle is written into the target's memory, as the message's
// pointer must point there.
JsonLine DpiChanged(std::string_view rest) {
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  long long oldDpi = 0, newDpi = 0;
  if (!Numbers(rest, {&oldDpi, &newDpi}) || oldDpi <= 0 || newDpi <= 0 || oldDpi > 0xFFFF || newDpi > 0xFFFF)
    return Error("usage: dpi-changed OLD_DPI NEW_DPI");
  const int from = static_cast<int>(oldDpi), to = static_cast<int>(newDpi);
  RECT r{};
  ::GetWindowRect(g_target.dialog, &r);
  const RECT suggested{r.left, r.top, r.left + ::MulDiv(r.right - r.left, to, from),
                       r.top + ::MulDiv(r.bottom - r.top, to, from)};
  const orvix::win::UniqueHandleNull process(
      ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, g_target.pid));
  if (!process) return Error("no process");
  void* remote =
      ::VirtualAllocEx(process.get(), nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return Error("no memory");
  SIZE_T written = 0;
  DWORD_PTR result = 0;
  const bool sent = ::WriteProcessMemory(process.get(), remote, &suggested, sizeof suggested, &written) &&
                    written == sizeof suggested &&
                    ::SendMessageTimeoutW(g_target.dialog, WM_DPICHANGED, MAKEWPARAM(to, to),
                                          reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  ::VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
  if (!sent) return Error("timeout");
  return JsonLine()
      .Int("result", static_cast<std::int64_t>(static_cast<LRESULT>(result)))
      .Raw("suggested", Rect(suggested));
}

JsonLine SendClass(std::string_view rest) {
  const std::wstring cls = Widen(NextWord(rest));
  const std::wstring name = Widen(NextWord(rest));
  if (cls.empty() || name.empty()) return Error("usage: send-class CLASS NAME MSG WPARAM LPARAM");
  // "#32770" and the like name a class by its atom.
  const wchar_t* clsArg = cls == L"-" ? nullptr : cls.c_str();
  if (cls.size() > 1 && cls[0] == L'#') clsArg = MAKEINTRESOURCEW(std::wcstoul(cls.c_str() + 1, nullptr, 10));
  HWND w = ::FindWindowW(clsArg, name == L"-" ? nullptr : name.c_str());
  if (!w) return Error("no window");
  return SendTo(w, rest, "usage: send-class CLASS NAME MSG WPARAM LPARAM", true);
}

JsonLine Pixels(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  const std::wstring path = Widen(rest);
  if (path.empty()) return Error("usage: pixels ID FILE.bmp");
  uidriver::Image image;
  const char* source = "bitmap";
  DWORD_PTR handle = 0;
  ::SendMessageTimeoutW(control, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &handle);
  if (!uidriver::ReadBitmap(reinterpret_cast<HBITMAP>(handle), image)) {
    // The handle belongs to the control's process: take what the control
    // shows instead, its client area (the sunken edge is non-client).
    source = "screen";
    RECT r{};
    ::GetClientRect(control, &r);
    ::MapWindowPoints(control, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    if (!uidriver::CaptureScreenSettled(r, image)) return Error("capture failed");
  }
  if (!uidriver::WriteBmp(path, image)) return Error("cannot write the file");
  return JsonLine().Int("width", image.width).Int("height", image.height).Str("source", source);
}

JsonLine Screenshot(std::string_view rest) {
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  const std::wstring path = Widen(rest);
  if (path.empty()) return Error("usage: screenshot FILE.bmp");
  RECT r{};
  ::GetWindowRect(g_target.dialog, &r);
  uidriver::Image image;
  if (!uidriver::CaptureScreenSettled(r, image)) return Error("capture failed");
  if (!uidriver::WriteBmp(path, image)) return Error("cannot write the file");
  return JsonLine().Int("width", image.width).Int("height", image.height);
}

JsonLine FocusWindow() {
  if (!g_target.dialog || !::IsWindow(g_target.dialog)) return Error("no window");
  HWND d = g_target.dialog;
  if (!::SetForegroundWindow(d) || ::GetForegroundWindow() != d) {
    // Borrow the foreground thread's input state, which may hand on the
    // foreground.
    const DWORD self = ::GetCurrentThreadId();
    const DWORD fore = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const bool attached = fore && fore != self && ::AttachThreadInput(self, fore, TRUE);
    ::BringWindowToTop(d);
    ::SetForegroundWindow(d);
    if (attached) ::AttachThreadInput(self, fore, FALSE);
  }
  return JsonLine().Bool("foreground", ::GetForegroundWindow() == d);
}

// Real input: what SendInput queued, or an error when the system refused
// some of it (another desktop, say).
JsonLine Sent(std::vector<INPUT>& inputs) {
  const UINT n = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (n != inputs.size()) return Error("SendInput refused");
  return JsonLine().Int("sent", n);
}

INPUT MouseInput(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  return in;
}

INPUT VirtualKey(long long vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = static_cast<WORD>(vk);
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(in.ki.wVk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

JsonLine Point(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  long long dx = 0, dy = 0;
  if (!Numbers(rest, {&dx, &dy})) return Error("usage: point ID DX DY");
  POINT p{static_cast<LONG>(dx), static_cast<LONG>(dy)};
  ::ClientToScreen(control, &p);
  return JsonLine().Ints("point", {p.x, p.y});
}

JsonLine LinkPoint(std::string_view rest) {
  JsonLine error;
  HWND control = Control(rest, error);
  if (!control) return error;
  long long index = 0;
  if (!Numbers(rest, {&index})) return Error("usage: link-point ID INDEX");
  uidriver::LinkSpot spot;
  std::string why;
  if (!uidriver::FindLink(control, static_cast<int>(index), spot, why)) return Error(why);
  ::ClientToScreen(control, &spot.point);
  return JsonLine().Ints("point", {spot.point.x, spot.point.y});
}

// The pointer to a screen point, as a mouse moves it. Absolute input is in
// 1/65536 of the virtual screen; a point its rounding missed is reached
// with a relative step.
JsonLine MouseMove(std::string_view rest) {
  long long x = 0, y = 0;
  if (!Numbers(rest, {&x, &y})) return Error("usage: mouse-move X Y");
  const LONG left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const LONG width = std::max(2, ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
  const LONG height = std::max(2, ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
  std::vector<INPUT> inputs{MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK)};
  inputs[0].mi.dx = static_cast<LONG>(((x - left) * 65535 + (width - 1) / 2) / (width - 1));
  inputs[0].mi.dy = static_cast<LONG>(((y - top) * 65535 + (height - 1) / 2) / (height - 1));
  JsonLine reply = Sent(inputs);
  POINT at{};
  for (int attempt = 0; attempt < 3 && ::GetCursorPos(&at) && (at.x != x || at.y != y); ++attempt) {
    std::vector<INPUT> step{MouseInput(MOUSEEVENTF_MOVE)};
    step[0].mi.dx = static_cast<LONG>(x - at.x);
    step[0].mi.dy = static_cast<LONG>(y - at.y);
    ::SendInput(1, step.data(), sizeof(INPUT));
  }
  ::GetCursorPos(&at);
  return reply.Ints("point", {at.x, at.y});
}

JsonLine MouseButtons(const std::string& command) {
  std::vector<INPUT> inputs;
  const int clicks = command == "dblclick" ? 2 : 1;
  for (int i = 0; i < clicks; ++i) {
    if (command != "mouse-up") inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
    if (command != "mouse-down") inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
  }
  return Sent(inputs);
}

JsonLine Keys(const std::string& command, std::string_view rest) {
  long long vk = 0;
  if (!Numbers(rest, {&vk}) || vk <= 0 || vk > 0xFE) return Error("usage: " + command + " VK");
  std::vector<INPUT> inputs;
  if (command != "keyup") inputs.push_back(VirtualKey(vk, false));
  if (command != "keydown") inputs.push_back(VirtualKey(vk, true));
  return Sent(inputs);
}

void Reply(const JsonLine& line) {
  const std::string s = line.str() + "\n";
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::fputs(kHelp, std::string_view(argv[1]) == "--help" ? stdout : stderr);
    return std::string_view(argv[1]) == "--help" ? 0 : 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  std::string line;
  while (std::getline(std::cin, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    std::string_view rest = line;
    const std::string command = NextWord(rest);
    if (command.empty()) continue;
    if (command == "exit") {
      Reply(JsonLine().Bool("exit", true));
      return 0;
    }
    if (command == "wait-window") Reply(WaitWindow(rest));
    else if (command == "gone") Reply(Gone(rest));
    else if (command == "get") Reply(Get(rest));
    else if (command == "get-window") Reply(GetWindow());
    else if (command == "settext") Reply(SetText(rest));
    else if (command == "click") Reply(Click(rest));
    else if (command == "command") Reply(Command(rest));
    else if (command == "key") Reply(Key(rest));
    else if (command == "enable") Reply(Enable(rest));
    else if (command == "link") Reply(Link(rest));
    else if (command == "send") Reply(Send(rest));
    else if (command == "send-class") Reply(SendClass(rest));
    else if (command == "dpi-changed") Reply(DpiChanged(rest));
    else if (command == "pixels") Reply(Pixels(rest));
    else if (command == "screenshot") Reply(Screenshot(rest));
    else if (command == "focus-window") Reply(FocusWindow());
    else if (command == "point") Reply(Point(rest));
    else if (command == "link-point") Reply(LinkPoint(rest));
    else if (command == "mouse-move") Reply(MouseMove(rest));
    else if (command == "mouse-down" || command == "mouse-up" || command == "mouse-click" || command == "dblclick")
      Reply(MouseButtons(command));
    else if (command == "keydown" || command == "keyup" || command == "keypress") Reply(Keys(command, rest));
    else Reply(Error("unknown command: " + command));
  }
  return 0;
}
