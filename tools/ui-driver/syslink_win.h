// Where the links of a SysLink control of another process are.
#pragma once

#include <windows.h>

#include <string>

namespace uidriver {

struct LinkSpot {
  POINT point{};      // in the control's client coordinates, inside the link
  std::wstring id;    // the link's id attribute, as the control reports it
  int probes = 0;     // hit tests made to find it
  bool anyLink = false;  // whether any point hit a link at all
};

// Finds a point inside link `index` (0-based, document order) of `link` by
// hit-testing the control's client area on a grid with LM_HITTEST. The
// message carries a pointer, so its LHITTESTINFO lives in memory allocated in
// the control's process. Of the points that hit the link, the one in the
// middle of the text row with most hits is chosen, so a wrapped link is
// clicked on its longer part. False with `error` set when the link is not
// found or the process cannot be reached.
bool FindLink(HWND link, int index, LinkSpot& spot, std::string& error);

}  // namespace uidriver
