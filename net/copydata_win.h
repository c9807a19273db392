// Replies to the parent window go out as WM_COPYDATA, sent synchronously so
// the payload only has to live until the call returns. The tags and what
// each carries are in net/parent_protocol.h.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "net/parent_protocol.h"

namespace orvix {

// Sends WM_COPYDATA to target with wParam = sender and the record {tag,
// bytes, data}; returns the target's answer (0 also when target is no
// window). The tag goes out as the 32-bit pattern of a signed value, so -1
// arrives with all bits set.
LRESULT SendCopyData(HWND target, HWND sender, std::int32_t tag, const void* data, std::size_t bytes);

}  // namespace orvix
