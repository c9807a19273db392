#include "app/process_state_win.h"

namespace orvix {

HWND ParentWindow = nullptr;
std::string PageName;
HWND InstanceWindow = nullptr;

void ClearProcessState() {
  ParentWindow = nullptr;
  PageName.clear();
  PageName.shrink_to_fit();
  InstanceWindow = nullptr;
}

}  // namespace orvix
