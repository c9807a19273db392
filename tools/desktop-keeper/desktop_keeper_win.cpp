// desktop-keeper: holds the Wine bench's desktop open while the tests run.
//
// Wine closes its desktop a moment after the last program using it ends,
// and the next program that opens a window starts it again. Tests that run
// many short processes one after another would pay for that start every
// time, and would run on a desktop that comes and goes, which a real
// Windows session never does. This program only has to exist: its one
// message-only window ties it to the desktop without showing anything or
// taking the activation from the programs under test. It runs until the
// bench kills it.
#include <windows.h>

int main() {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
