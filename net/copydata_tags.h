// The tags (dwData) of the copy-data replies to the parent window. The parent
// tells the answers apart by these numbers: they never change.
#pragma once

#include <cstdint>

namespace orvix::copydata {

inline constexpr std::int32_t kAddressReply = 15;  // -getmyip: external address, 8-bit text
inline constexpr std::int32_t kVersionReply = 16;  // -getversion: "version|news|", 8-bit text
inline constexpr std::int32_t kOk = 0;             // -geturl body, or the quota result record
inline constexpr std::int32_t kFailure = -1;       // -geturl: bad URL (no bytes); quota: the message, UTF-16

}  // namespace orvix::copydata
