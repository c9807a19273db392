#include "net/copydata_win.h"

#include <limits>

namespace orvix {

LRESULT SendCopyData(HWND target, HWND sender, std::int32_t tag, const void* data, std::size_t bytes) {
  if (bytes > std::numeric_limits<DWORD>::max()) return 0;
  COPYDATASTRUCT cds{};
  // Through uint32_t so that -1 is 0xFFFFFFFF in the parent's 32-bit view,
  // not a sign-extended value in a 64-bit build.
  cds.dwData = static_cast<ULONG_PTR>(static_cast<std::uint32_t>(tag));
  cds.cbData = static_cast<DWORD>(bytes);
  cds.lpData = const_cast<void*>(data);
  return ::SendMessageW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&cds));
}

}  // namespace orvix
