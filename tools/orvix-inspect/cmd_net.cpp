// Network encoding commands: the form encoding of a value as the login form
// sends it, and base64 as the account record and the counters use it.
#include <iostream>
#include <string>

#include "net/encoding.h"
#include "text/platform.h"
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

namespace {

// The value is taken in the system code page (--codepage), as the program
// encodes its 8-bit form values.
int RunUrlEncode(const Args& args) {
  if (args.size() != 1) return UsageError("urlencode TEXT");
  std::cout << UrlEncode(platform::WideToAnsi(FromUtf8(args[0]))) << "\n";
  return kOk;
}

int RunBase64(const Args& args) {
  if (args.size() != 2 || (args[0] != "encode" && args[0] != "decode")) {
    return UsageError("base64 encode|decode FILE");
  }
  const auto bytes = ReadFileBytes(args[1]);
  if (!bytes) {
    std::cerr << "orvix-inspect: cannot read " << args[1] << "\n";
    return kCannotRead;
  }
  if (args[0] == "encode") {
    const std::string encoded = Base64Encode(*bytes);
    std::cout << encoded;
    // Full last lines already end in CR LF; finish a short one for the terminal.
    if (!encoded.empty() && encoded.back() != '\n') std::cout << "\n";
  } else {
    const std::string decoded = Base64Decode(*bytes);
    std::cout.write(decoded.data(), static_cast<std::streamsize>(decoded.size()));
  }
  return kOk;
}

}  // namespace

std::vector<Command> NetCommands() {
  return {
      {"urlencode", "urlencode TEXT",
       "form-encode TEXT (taken in the system code page) as the login form does", RunUrlEncode},
      {"base64", "base64 encode|decode FILE",
       "base64 of a file's bytes with CR LF every 76 characters, or the bytes of a base64 file "
       "(incomplete tail ignored)",
       RunBase64},
  };
}

}  // namespace orvix::inspect
