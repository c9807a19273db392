// Text encodings of the network jobs: the form encoding of request values
// and the dotted-address test (base64, which the account store shares, is in
// text/base64.h).
//
// All of them work on single-byte text in the system code page (or raw
// bytes) and keep no state, so they are safe on any thread.
#pragma once

#include <string>
#include <string_view>

#include "text/base64.h"

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

}  // namespace orvix
