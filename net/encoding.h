// Text encodings shared by the network jobs and the account store: the form
// encoding of request values, base64, and the dotted-address test.
//
// All of them work on single-byte text in the system code page (or raw
// bytes) and keep no state, so they are safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

// Form-encodes text for a query string or an x-www-form-urlencoded body.
// Reads the bytes up to the first NUL (or the end). A-Z, a-z, 0-9 and
// ! $ ' ( ) * - . @ _ are copied, a space becomes "+", every other byte
// becomes "%XX" with two upper-case hex digits. The portal decodes with the
// same table, so the set of copied characters must not grow.
std::string UrlEncode(std::string_view text);

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

// True when the text is non-empty, holds only digits and ".", and has
// exactly three "." characters. Octet values are not checked: this only
// tells an address answer from an error page.
bool IsDottedQuad(std::string_view text);

}  // namespace orvix
