#include "quota/captcha_win.h"
namespace orvix {
void ShowCaptcha(HWND, const std::string&, bool, bool) {}
}
