// Standard base64, shared by the account store and the network layer. Works
// on raw bytes and keeps no state, so it is safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

// Standard base64 (RFC 2045 alphabet, "=" fill). A CR LF pair follows every
// 76 output characters, including after a last line that is exactly full.
std::string Base64Encode(std::string_view bytes);

// Decodes base64. Characters outside the alphabet ("A-Z a-z 0-9 + / =") are
// skipped, so the line breaks Base64Encode inserts do no harm. Each group of
// four useful characters gives three bytes, two when the fourth is "=", one
// when the third is "=". A trailing group of fewer than four characters is
// ignored, and a group that starts with "=" in its first two places gives
// nothing: stored values may be truncated or hand-edited.
std::string Base64Decode(std::string_view text);

}  // namespace orvix
