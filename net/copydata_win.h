// Replies to the parent window go out as WM_COPYDATA, sent synchronously so
// the payload only has to live until the call returns.
//
//   tag  sender                 wParam                payload
//   15   -getmyip               InstanceWindow (0)    external address, 8-bit, empty on failure
//   16   -getversion            InstanceWindow (0)    "version|news|", 8-bit (only when not empty)
//    0   -geturl                InstanceWindow (0)    the fetched body, bytes as received
//   -1   -geturl                InstanceWindow (0)    nothing: the URL could not be split
//    0   quota query success    quota dialog          the 1576-byte QuotaResult record
//   -1   quota query failure    quota dialog          failure message, UTF-16, 2 bytes a character
// Strings are sent without a terminating zero.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "net/copydata_tags.h"

namespace orvix {

// Sends WM_COPYDATA to target with wParam = sender and the record {tag,
// bytes, data}; returns the target's answer (0 also when target is no
// window). The tag goes out as the 32-bit pattern of a signed value, so -1
// arrives with all bits set.
LRESULT SendCopyData(HWND target, HWND sender, std::int32_t tag, const void* data, std::size_t bytes);

}  // namespace orvix
