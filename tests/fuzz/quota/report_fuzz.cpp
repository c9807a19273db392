// Fuzzes the transfer page all the way through the report: the answer's
// bytes and Content-Type, their decoding by the declared charset, the
// refusal test, the portal's error text, the transfer page parser and the
// 1576-byte record for the parent window. An input that starts with "CT:"
// carries its Content-Type value up to the first line break, the page after
// it. The decoded text has one unit per byte unless the answer is valid
// UTF-8, and valid UTF-8 goes back to the same bytes. The record never
// grows or overruns, its count field stays within 0..12 and matches the
// parser, every text is the parser's text (cut if need be, never in the
// middle of a surrogate pair) and ends with a zero inside its field, and
// unused month items stay zero. A page that starts with FF FE is also
// parsed as UTF-16, so that the record meets characters the code page
// cannot produce.
#include <cmath>
#include <cstring>
#include <exception>

#include "net/charset.h"
#include "parser/adsl_parser.h"
#include "quota/report.h"
#include "quota/session.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/platform.h"
#include "text/text_utils.h"

namespace {

using namespace orvix;
using fuzz::Check;

char16_t UnitAt(const std::uint8_t* record, std::size_t offset) {
  return static_cast<char16_t>(record[offset] | record[offset + 1] << 8);
}

double DoubleAt(const std::uint8_t* record, std::size_t offset) {
  double v = 0;
  std::memcpy(&v, record + offset, sizeof v);  // little-endian hosts only
  return v;
}

void CheckText(const std::uint8_t* record, std::size_t offset, std::size_t size, std::u16string_view text) {
  const std::size_t room = size / 2 - 1;
  Check(UnitAt(record, offset + size - 2) == 0, "a text field ends with a zero");
  std::size_t units = 0;
  while (units < room && units < text.size() && UnitAt(record, offset + 2 * units) == text[units]) ++units;
  // Everything after the copied part is zero.
  for (std::size_t i = units; i <= room; ++i) Check(UnitAt(record, offset + 2 * i) == 0, "text copied, then zeros");
  const std::size_t whole = text.size() < room ? text.size() : room;
  if (units == whole) return;
  // Only a cut may end early, by the one high surrogate whose partner did
  // not fit.
  Check(text.size() > room && units + 1 == room && text[units] >= 0xD800 && text[units] <= 0xDBFF,
        "a text is cut only at its field's end, never inside a surrogate pair");
}

void CheckRecord(const std::uint8_t* record, const QuotaSummary& s) {
  std::int32_t count = 0;
  std::memcpy(&count, record + 16, sizeof count);
  Check(count >= 0 && count <= 12, "the count field is 0..12");
  Check(static_cast<std::size_t>(count) == (s.items.size() < 12 ? s.items.size() : 12), "count of the items");
  Check(DoubleAt(record, 0) == s.lastDownload && DoubleAt(record, 8) == s.lastUpload, "newest totals");
  CheckText(record, 20, 64, s.recordTime);
  CheckText(record, 84, 64, s.lastMonthName);
  CheckText(record, 148, 64, s.lastYear);
  CheckText(record, 212, 64, s.detailText);
  CheckText(record, 276, 532, s.headerText);
  for (std::size_t i = 0; i < 12; ++i) {
    const std::size_t base = 808 + 64 * i;
    if (i < static_cast<std::size_t>(count)) {
      CheckText(record, base, 16, s.items[i].year);
      CheckText(record, base + 16, 32, s.items[i].monthName);
      Check(DoubleAt(record, base + 48) == s.items[i].download && DoubleAt(record, base + 56) == s.items[i].upload,
            "month totals");
    } else {
      for (std::size_t b = 0; b < 64; ++b) Check(record[base + b] == 0, "unused month items stay zero");
    }
  }
}

void CheckSummary(const QuotaSummary& s) {
  for (double v : {s.lastDownload, s.lastUpload}) Check(std::isfinite(v), "totals are finite");
  for (const QuotaMonth& m : s.items) Check(std::isfinite(m.download) && std::isfinite(m.upload), "totals are finite");
  Check(s.items.size() <= 12, "at most twelve months");
}

// The text of the answer, checked against what its charset allows.
std::u16string DecodedAnswer(std::string_view body, std::string_view contentType) {
  const std::u16string text = DecodePortalText(body, contentType);
  const PortalCharset charset = DeclaredCharset(body, contentType);
  const std::string meta = MetaCharset(body);
  Check(meta.empty() || CharsetFromLabel(meta).has_value(), "a meta charset is one the program knows");
  std::string_view bytes = body;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    Check(charset == PortalCharset::kUtf8, "a byte order mark means UTF-8");
    bytes.remove_prefix(3);
  }
  std::u16string strict;
  const bool valid = DecodeUtf8Strict(bytes, strict);
  if (valid) Check(platform::Utf16ToUtf8(strict) == bytes, "valid UTF-8 goes back to the same bytes");
  if (charset == PortalCharset::kUtf8 && valid) {
    Check(text == strict, "a UTF-8 answer reads as UTF-8");
  } else {
    Check(text.size() == bytes.size(), "a single-byte answer has one unit per byte");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (static_cast<unsigned char>(bytes[i]) < 0x80) Check(text[i] == static_cast<unsigned char>(bytes[i]), "ASCII");
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view page = fuzz::Bytes(data, size);
  std::string_view contentType;
  if (page.starts_with("CT:")) {
    const std::size_t eol = page.find('\n');
    contentType = page.substr(3, eol == std::string_view::npos ? std::string_view::npos : eol - 3);
    page = eol == std::string_view::npos ? std::string_view() : page.substr(eol + 1);
  }
  const StoredTotals stored{1234567, 98765432};

  const std::u16string text = DecodedAnswer(page, contentType);
  const bool refused = IsRefusalPage(text);
  const ReportOutcome r = RunReport(text, stored);
  Check(r.serverError == refused, "a refusal page is a server error");
  if (r.succeeded()) {
    Check(r.replyTag == 0 && r.replyData.size() == kQuotaResultSize, "the record is exactly 1576 bytes");
    TAdslParser parser;
    parser.Parse(text);
    Check(parser.Status() == 0 && parser.Count() > 0 && parser.Count() <= 12, "the parser agrees");
    const QuotaSummary summary = SummaryOf(parser);
    CheckSummary(summary);
    CheckRecord(r.replyData.data(), summary);
  } else {
    Check(r.replyTag == -1 && r.replyData.size() % 2 == 0, "the failure text goes as UTF-16");
    const std::u16string tail = ResourceText(IDS_TRY_REFRESH);
    Check(r.statusText.size() >= tail.size() && r.statusText.ends_with(tail), "failure text ends with the hint");
  }

  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    TAdslParser wide;
    try {
      wide.Parse(DecodeUtf16Le(page.substr(2)));
    } catch (const std::exception&) {
      return 0;  // the report turns this into its own failure
    }
    if (wide.Status() == 0) {
      const QuotaSummary summary = SummaryOf(wide);
      CheckSummary(summary);
      const QuotaResultBytes record = BuildQuotaResult(summary);
      CheckRecord(record.data(), summary);
    }
    (void)ServerErrorText(DecodeUtf16Le(page.substr(2)));
  }
  return 0;
}
