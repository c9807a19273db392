// Text encodings of the network jobs: the form encoding of request values,
// the dotted-address test and the time stamp of the counters (base64, which
// the account store shares, is in text/base64.h; the clock itself is the
// platform's).
//
// All of them work on single-byte text in the system code page (or raw
// bytes) and keep no state, so they are safe on any thread.
#pragma once

#include <string>
#include <string_view>

#include "text/base64.h"
#include "text/platform.h"

namespace orvix {

// Form-encodes text for a query string or an x-www-form-urlencoded body.
// Reads the bytes up to the first NUL (or the end). A-Z, a-z, 0-9 and
// ! $ ' ( ) * - . @ _ are copied, a space becomes "+", every other byte
// becomes "%XX" with two upper-case hex digits. The portal decodes with the
// same table, so the set of copied characters must not grow.
std::string UrlEncode(std::string_view text);

// True when the text is non-empty, holds only digits and ".", and has
// exactly three "." characters. Octet values are not checked: this only
// tells an address answer from an error page.
bool IsDottedQuad(std::string_view text);

// Milliseconds since 1970-01-01 00:00 UTC (the counters' time stamp).
using platform::UnixTimeMs;

}  // namespace orvix
