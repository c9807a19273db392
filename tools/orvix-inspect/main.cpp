#include <charconv>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "text/platform.h"
#include "tools/orvix-inspect/inspect.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace orvix::inspect {

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return ss.str();
}

std::optional<std::u16string> ReadFileText(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) {
    std::cerr << "orvix-inspect: cannot read " << path << "\n";
    return std::nullopt;
  }
  return platform::AnsiToWide(*bytes);
}

std::u16string FromUtf8(std::string_view text) { return platform::Utf8ToUtf16(text); }
std::string ToUtf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string JsonStringUtf8(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonString(std::u16string_view text) { return JsonStringUtf8(ToUtf8(text)); }

std::string JsonNumber(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::optional<std::string> TakeOption(Args& args, const std::string& name, bool& usageError) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name) {
      if (i + 1 >= args.size()) {
        usageError = true;
        return std::nullopt;
      }
      std::string value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      return value;
    }
  }
  return std::nullopt;
}

int UsageError(const char* usage) {
  std::cerr << "usage: orvix-inspect " << usage << "\n";
  return kUsage;
}

int UsageError(const Command& cmd) { return UsageError(cmd.usage); }

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: orvix-inspect [--codepage 1254|1252|utf-8] COMMAND ARGS...\n\n"
         "Runs the program's portable core on files and prints the results (UTF-8).\n"
         "Exit status: 0 success, 1 a file cannot be read, 2 bad usage.\n"
         "--codepage selects the single-byte system code page used to decode input\n"
         "pages and single-byte texts (default 1254).\n\ncommands:\n";
  for (const Command& c : Commands()) out << "  " << c.usage << "\n      " << c.help << "\n";
}

}  // namespace
}  // namespace orvix::inspect

int main(int argc, char** argv) {
  using namespace orvix::inspect;
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  Args args(argv + 1, argv + argc);
  bool usage = false;
  if (auto cp = TakeOption(args, "--codepage", usage)) {
    unsigned value = 0;
    if (*cp == "utf-8" || *cp == "utf8" || *cp == "65001") value = 65001;
    else if (*cp == "1254") value = 1254;
    else if (*cp == "1252") value = 1252;
    else return UsageError("--codepage 1254|1252|utf-8 COMMAND ...");
    orvix::platform::SetAnsiCodePageOverride(value);
  }
  if (usage) return UsageError("--codepage 1254|1252|utf-8 COMMAND ...");
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(args.empty() ? std::cerr : std::cout);
    return args.empty() ? kUsage : kOk;
  }
  const std::string name = args[0];
  args.erase(args.begin());
  for (const Command& c : Commands()) {
    if (name == c.name) {
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        std::cerr << "orvix-inspect: " << e.what() << "\n";
        return 3;
      }
    }
  }
  std::cerr << "orvix-inspect: unknown command " << name << " (see --help)\n";
  return kUsage;
}
