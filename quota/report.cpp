#include "quota/report.h"


#include <cmath>
#include <cstdio>
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

std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view text) {
  const std::string bytes = EncodeUtf16Le(text);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// A figure of FormatBytes for the wide report text.
std::u16string Figure(double value) { return platform::AnsiToWide(FormatBytes(value)); }

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
                                           Figure(summary.lastDownload), Figure(summary.lastUpload),
                                                  summary.recordTime, Figure(c.download), Figure(c.upload)});
  return text;
}

std::u16string FailureText(std::u16string_view message) {
  return std::u16string(message) + ResourceText(IDS_TRY_REFRESH);
}

ReportOutcome RunReport(const std::u16string& page, const StoredTotals& stored) {
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
      r.replyTag = copydata::kOk;
      r.replyData.assign(record.begin(), record.end());
      r.statusText = ReportText(summary, stored);
      return r;
    }
  }
  r.replyTag = copydata::kFailure;
  r.replyData = Utf16LeBytes(message);
  r.statusText = FailureText(message);
  return r;
}

}  // namespace orvix
