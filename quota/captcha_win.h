// Placeholder until the image renderings land.
#pragma once
#include <windows.h>
#include <string>
namespace orvix {
void ShowCaptcha(HWND dialog, const std::string& imagePath, bool grey, bool blackWhite);
}
