// send-copydata TARGET SENDER TAG HEX: sends one WM_COPYDATA through the
// program's own reply helper, so a test can see what a parent receives.
// TARGET and SENDER are window handles in decimal, TAG a signed 32-bit
// number, HEX the payload bytes ("-" for none). Exit 0 when the target
// answered TRUE, 1 otherwise, 2 on bad usage.
// send-copydata --sleep MS only sleeps (a child that outlives a timeout).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/copydata_win.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--sleep") {
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    return 0;
  }
  if (argc != 5) {
    std::fputs("usage: send-copydata TARGET SENDER TAG HEX\n", stderr);
    return 2;
  }
  const auto target = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[1], nullptr, 10)));
  const auto sender = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
  const auto tag = static_cast<std::int32_t>(std::strtol(argv[3], nullptr, 10));
  std::string bytes;
  const std::string hex = argv[4];
  if (hex != "-") {
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
  }
  return orvix::SendCopyData(target, sender, tag, bytes.data(), bytes.size()) == TRUE ? 0 : 1;
}
