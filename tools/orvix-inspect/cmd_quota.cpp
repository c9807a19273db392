// Quota commands: the transfer page parser, the report step, byte
// formatting, the portal's error text and the session cookie rule, run on
// saved pages the way the quota query runs them. A saved page is read as a
// portal answer: decoded by the charset of --content-type VALUE (the
// answer's Content-Type header) or of its own <meta>, else Windows-1254.
#include <charconv>
#include <exception>
#include <iostream>
#include <string>

#include "net/charset.h"
#include "parser/adsl_parser.h"
#include "quota/report.h"
#include "quota/session.h"
#include "text/platform.h"
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {
namespace {

constexpr int kParseRaised = 3;

// Plain base64 on one line (JSON output has no use for line breaks).
std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) v |= bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// "--decimal C" and "--group C": one character each (UTF-8 on the command
// line). Returns false on a usage error.
bool ApplySeparators(Args& args) {
  bool usage = false;
  const auto decimal = TakeOption(args, "--decimal", usage);
  const auto group = TakeOption(args, "--group", usage);
  if (usage) return false;
  if (!decimal && !group) return true;
  auto one = [](const std::optional<std::string>& text, char16_t fallback, bool& ok) -> char16_t {
    if (!text) return fallback;
    const std::u16string wide = FromUtf8(*text);
    if (wide.size() != 1) ok = false;
    return wide.empty() ? fallback : wide[0];
  };
  bool ok = true;
  const char16_t d = one(decimal, platform::DecimalSeparator(), ok);
  const char16_t g = one(group, platform::GroupSeparator(), ok);
  if (!ok) return false;
  platform::SetSeparatorsOverride(d, g);
  return true;
}

bool ReadPlainNumber(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  auto res = std::from_chars(text.data(), end, value);
  return res.ec == std::errc() && res.ptr == end;
}

std::string AnsiToUtf8(const std::string& ansi) { return ToUtf8(platform::AnsiToWide(ansi)); }

// The text of a saved answer, decoded as the dialog decodes what arrives.
std::optional<std::u16string> ReadAnswer(const std::string& path, const std::optional<std::string>& contentType) {
  const auto bytes = ReadFileBytes(path);
  if (!bytes) {
    std::cerr << "orvix-inspect: cannot read " << path << "\n";
    return std::nullopt;
  }
  return DecodePortalText(*bytes, contentType ? *contentType : std::string());
}

int RunTransfer(const Args& given) {
  Args args = given;
  bool usage = false;
  const auto contentType = TakeOption(args, "--content-type", usage);
  if (usage || args.size() != 1) return UsageError("transfer FILE [--content-type VALUE]");
  const auto page = ReadAnswer(args[0], contentType);
  if (!page) return kCannotRead;
  TAdslParser parser;
  try {
    parser.Parse(*page);
  } catch (const std::exception& e) {
    std::cout << "{\"error\":" << JsonStringUtf8(e.what()) << "}\n";
    return kParseRaised;
  }
  std::string out = "{\"status\":" + std::to_string(parser.Status()) + ",\"count\":" + std::to_string(parser.Count()) +
                    ",\"serverMessage\":" + JsonString(parser.ServerMessage()) +
                    ",\"recordTime\":" + JsonString(parser.RecordTime()) +
                    ",\"detailText\":" + JsonString(parser.DetailText()) +
                    ",\"headerText\":" + JsonString(parser.HeaderText()) +
                    ",\"headerLastWord\":" + JsonString(parser.HeaderLastWord()) + ",\"items\":[";
  for (int i = 0; i < parser.Count(); ++i) {
    if (i) out += ",";
    out += "{\"year\":" + JsonString(parser.YearOf(i)) + ",\"monthName\":" + JsonString(parser.MonthNameOf(i)) +
           ",\"upload\":" + JsonNumber(parser.UploadOf(i)) + ",\"download\":" + JsonNumber(parser.DownloadOf(i)) + "}";
  }
  std::cout << out << "]}\n";
  return kOk;
}

int RunReportCommand(const Args& given) {
  static const char kUsageText[] =
      "report FILE --stored-download X --stored-upload Y [--content-type VALUE] [--decimal C] [--group C]";
  Args args = given;
  bool usage = false;
  const auto download = TakeOption(args, "--stored-download", usage);
  const auto upload = TakeOption(args, "--stored-upload", usage);
  const auto contentType = TakeOption(args, "--content-type", usage);
  if (usage || !download || !upload || !ApplySeparators(args) || args.size() != 1) return UsageError(kUsageText);
  StoredTotals stored;
  if (!ReadPlainNumber(*download, stored.download) || !ReadPlainNumber(*upload, stored.upload)) {
    return UsageError(kUsageText);
  }
  const auto page = ReadAnswer(args[0], contentType);
  if (!page) return kCannotRead;
  // The dialog runs the report after the agreement step, so LoggedIn is set.
  const ReportOutcome r = RunReport(*page, stored);
  const std::string outcome = r.serverError ? "\"server-error\"" : std::to_string(r.parserStatus);
  std::cout << "{\"outcome\":" << outcome << ",\"status\":" << JsonString(r.statusText)
            << ",\"reply\":{\"tag\":" << r.replyTag << ",\"bytes\":" << r.replyData.size() << ",\"data\":\""
            << Base64(r.replyData) << "\"}}\n";
  return kOk;
}

int RunFormatBytes(const Args& given) {
  static const char kUsageText[] = "format-bytes VALUE [--decimal C] [--group C]";
  Args args = given;
  if (!ApplySeparators(args) || args.size() != 1) return UsageError(kUsageText);
  double value = 0;
  if (!ReadPlainNumber(args[0], value)) return UsageError(kUsageText);
  std::cout << AnsiToUtf8(FormatBytes(value)) << "\n";
  return kOk;
}

int RunErrorText(const Args& given) {
  Args args = given;
  bool usage = false;
  const auto contentType = TakeOption(args, "--content-type", usage);
  if (usage || args.size() != 1) return UsageError("error-text FILE [--content-type VALUE]");
  const auto page = ReadAnswer(args[0], contentType);
  if (!page) return kCannotRead;
  std::cout << ToUtf8(ServerErrorText(*page)) << "\n";
  return kOk;
}

int RunCookie(const Args& args) {
  if (args.size() != 1) return UsageError("cookie TEXT");
  const std::string setCookie = platform::WideToAnsi(FromUtf8(args[0]));
  std::cout << AnsiToUtf8(SessionCookieFrom(setCookie)) << "\n";
  return kOk;
}

}  // namespace

std::vector<Command> QuotaCommands() {
  return {
      {"transfer", "transfer FILE [--content-type VALUE]",
       "parse a transfer page: status, texts and month items as JSON (exit 3 when the parse raised)", RunTransfer},
      {"report", "report FILE --stored-download X --stored-upload Y [--content-type VALUE] [--decimal C] [--group C]",
       "the report step on a transfer page: outcome, status text and the reply to the parent (JSON)",
       RunReportCommand},
      {"format-bytes", "format-bytes VALUE [--decimal C] [--group C]", "a byte count as the report shows it",
       RunFormatBytes},
      {"error-text", "error-text FILE [--content-type VALUE]", "the portal's error text of a refused page",
       RunErrorText},
      {"cookie", "cookie TEXT", "the session cookie taken from a Set-Cookie value", RunCookie},
  };
}

}  // namespace orvix::inspect
