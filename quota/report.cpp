#include "quota/report.h"


#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

#include "parser/adsl_parser.h"
#include "quota/session.h"
#include "resources/resource_ids.h"
#include "resources/resource_texts.h"
#include "text/platform.h"
#include "text/text_utils.h"

namespace orvix {
namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;

// value with `decimals` decimals, rounded half away from zero, the integer
// part grouped by threes. Wide, so that any separator the user chose fits.
std::u16string FormatGrouped(double value, int decimals) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";

  double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  // round() rounds halves away from zero, as people expect of a shown figure
  // (printf's round-half-even would turn 2.5 KB into "2 KB").
  const double scaled = std::round(std::fabs(value) * scale);

  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", scaled);
  std::string digits = buf;
  if (digits.size() <= static_cast<std::size_t>(decimals)) {
    digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
  }
  const std::size_t intLen = digits.size() - static_cast<std::size_t>(decimals);

  std::u16string out;
  if (value < 0 && scaled != 0) out += u'-';
  const char16_t group = platform::GroupSeparator();
  for (std::size_t i = 0; i < intLen; ++i) {
    if (i > 0 && (intLen - i) % 3 == 0) out += group;
    out += static_cast<char16_t>(digits[i]);
  }
  if (decimals > 0) {
    out += platform::DecimalSeparator();
    for (std::size_t i = intLen; i < digits.size(); ++i) out += static_cast<char16_t>(digits[i]);
  }
  return out;
}

class RecordWriter {
 public:
  explicit RecordWriter(QuotaResultBytes& bytes) : bytes_(bytes) {}

  void Double(std::size_t offset, double value) {
    std::uint64_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes_.at(offset + i) = static_cast<std::uint8_t>(bits >> (8 * i));
  }

  void Int32(std::size_t offset, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<std::uint8_t>(bits >> (8 * i));
  }

  // UTF-16LE text in a field of `size` bytes that always ends with a zero
  // unit. A text that does not fit is cut; a high surrogate whose partner
  // would be cut off goes too, so the parent never sees half a character.
  void Text(std::size_t offset, std::size_t size, std::u16string_view text) {
    std::size_t units = text.size();
    const std::size_t room = size / 2 - 1;
    if (units > room) {
      units = room;
      if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    }
    for (std::size_t i = 0; i < units; ++i) {
      bytes_.at(offset + 2 * i) = static_cast<std::uint8_t>(text[i] & 0xFF);
      bytes_.at(offset + 2 * i + 1) = static_cast<std::uint8_t>(text[i] >> 8);
    }
    // The rest of the field, the terminator included, is still zero.
  }

 private:
  QuotaResultBytes& bytes_;
};

std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view text) {
  const std::string bytes = EncodeUtf16Le(text);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::u16string Wide(const std::string& ansi) { return platform::AnsiToWide(ansi); }

}  // namespace

std::string FormatBytes(double value) {
  std::u16string text;
  if (value < kKilo) {
    text = FormatGrouped(value, 0) + u" B";
  } else if (value < kMega) {
    text = FormatGrouped(value / kKilo, 0) + u" KB";
  } else if (value >= kGiga) {
    text = FormatGrouped(value / kGiga, 2) + u" GB";
  } else if (std::isnan(value)) {
    text = FormatGrouped(value, 0);
  } else {
    text = FormatGrouped(value / kMega, 0) + u" MB";
  }
  return platform::WideToAnsi(text);
}

QuotaSummary SummaryOf(const TAdslParser& parser) {
  QuotaSummary s;
  s.lastDownload = parser.LastDownload();
  s.lastUpload = parser.LastUpload();
  s.recordTime = parser.RecordTime();
  s.lastMonthName = parser.LastMonthName();
  s.lastYear = parser.LastYear();
  s.detailText = parser.DetailText();
  s.headerText = parser.HeaderText();
  for (int i = 0; i < parser.Count(); ++i) {
    s.items.push_back({parser.YearOf(i), parser.MonthNameOf(i), parser.DownloadOf(i), parser.UploadOf(i)});
  }
  return s;
}

QuotaResultBytes BuildQuotaResult(const QuotaSummary& summary) {
  QuotaResultBytes bytes{};
  RecordWriter w(bytes);
  const std::size_t count = summary.items.size() < 12 ? summary.items.size() : 12;
  w.Double(0, summary.lastDownload);
  w.Double(8, summary.lastUpload);
  w.Int32(16, static_cast<std::int32_t>(count));
  w.Text(20, 64, summary.recordTime);
  w.Text(84, 64, summary.lastMonthName);
  w.Text(148, 64, summary.lastYear);
  w.Text(212, 64, summary.detailText);
  w.Text(276, 532, summary.headerText);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t base = 808 + 64 * i;
    const QuotaMonth& m = summary.items[i];
    w.Text(base, 16, m.year);
    w.Text(base + 16, 32, m.monthName);
    w.Double(base + 48, m.download);
    w.Double(base + 56, m.upload);
  }
  return bytes;
}

TransferChanges ChangesSince(const StoredTotals& stored, double newDownload, double newUpload) {
  TransferChanges c;
  c.download = newDownload - stored.download;
  if (c.download < 0) c.download = newDownload;
  c.upload = newUpload - stored.upload;
  if (c.upload < 0) c.upload = newUpload;
  return c;
}

std::u16string FillTemplate(std::u16string_view pattern, const std::vector<std::u16string>& args) {
  std::u16string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == u's' && next < args.size()) {
        out += args[next++];
        ++i;
        continue;
      }
      if (pattern[i + 1] == u'%') {
        out += u'%';
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

std::u16string ReportText(const QuotaSummary& summary, const StoredTotals& stored) {
  // Exact comparison on purpose: the stored totals are the portal's own
  // figures from an earlier query, so any difference is a real change.
  const bool changed = summary.lastDownload != stored.download || summary.lastUpload != stored.upload;
  const TransferChanges c = ChangesSince(stored, summary.lastDownload, summary.lastUpload);
  std::u16string text = ResourceText(changed ? IDS_UPDATED : IDS_UNCHANGED);
  text += FillTemplate(ResourceText(IDS_REPORT), {summary.lastYear, summary.lastMonthName,
                                           Wide(FormatBytes(summary.lastDownload)),
                                           Wide(FormatBytes(summary.lastUpload)), summary.recordTime,
                                           Wide(FormatBytes(c.download)), Wide(FormatBytes(c.upload))});
  return text;
}

std::u16string FailureText(std::u16string_view message) {
  return std::u16string(message) + ResourceText(IDS_TRY_REFRESH);
}

ReportOutcome RunReport(const std::u16string& page, const StoredTotals& stored, bool loggedIn) {
  ReportOutcome r;
  std::u16string message;
  if (IsRefusalPage(page)) {
    r.serverError = true;
    r.parserStatus = -1;
    message = ResourceText(IDS_SERVER_SAID) + ServerErrorText(page);
  } else {
    TAdslParser parser;
    try {
      parser.Parse(page);
      r.parserStatus = parser.Status();
      message = parser.ServerMessage();
    } catch (...) {
      r.parserStatus = -1;
    }
    // A page without a single month is no result: reporting it would hand
    // the parent zeros as this month's totals.
    r.noMonths = r.parserStatus == 0 && parser.Count() == 0;
    if (r.parserStatus == 0 && !r.noMonths) {
      const QuotaSummary summary = SummaryOf(parser);
      const QuotaResultBytes record = BuildQuotaResult(summary);
      r.replyTag = 0;
      r.replyData.assign(record.begin(), record.end());
      r.statusText = ReportText(summary, stored);
      r.yineleEnabled = loggedIn;
      r.tekrarEnabled = true;
      r.focus = ReportOutcome::Focus::Kapat;
      r.sound = ReportOutcome::Sound::Ok;
      return r;
    }
  }
  r.replyTag = -1;
  r.replyData = Utf16LeBytes(message);
  r.statusText = FailureText(message);
  r.yineleEnabled = loggedIn;
  r.tekrarEnabled = true;
  r.focus = ReportOutcome::Focus::Tekrar;
  r.sound = ReportOutcome::Sound::Fail;
  return r;
}

}  // namespace orvix
