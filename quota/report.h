// The quota report: what happens to the transfer page once it has arrived.
//
// Everything here is free of windows so that the dialog only has to send
// the reply and show the text; whether the query succeeded picks the
// dialog's phase, and the phase alone sets the buttons, the focus and the
// alert sound. The diagnostic tool and the tests run the same steps on
// saved pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quota/quota_record.h"

namespace orvix {

class TAdslParser;

// A byte count for people, with the user's digit grouping and decimal
// separator, rounded to the nearest shown digit (halves away from zero):
// below 1024 in B, below 1048576 in KB, from 1073741824 on in GB with two
// decimals, otherwise in MB. Single-byte text in the system code page.
std::string FormatBytes(double value);

// The figures and texts of a successful parse, for the record and the report.
QuotaSummary SummaryOf(const TAdslParser& parser);

// The totals of the account record, read when the query started.
struct StoredTotals {
  double download = 0;
  double upload = 0;
};

struct TransferChanges {
  double download = 0;
  double upload = 0;
};

// The change since the stored totals. A total that went down means a new
// month has begun, and then the new total itself is the change.
TransferChanges ChangesSince(const StoredTotals& stored, double newDownload, double newUpload);

// Resource 106 when either total differs from the stored one (exactly),
// else 107; followed by resource 108 filled in.
std::u16string ReportText(const QuotaSummary& summary, const StoredTotals& stored);

// The status text of a failure: the message (may be empty) and resource 109.
std::u16string FailureText(std::u16string_view message);

// Replaces each "%s" of the template with the next argument, in order;
// missing arguments leave "%s" alone, "%%" stays as written.
std::u16string FillTemplate(std::u16string_view pattern, const std::vector<std::u16string>& args);

// The outcome of the report step, for the dialog to apply.
struct ReportOutcome {
  bool serverError = false;   // the portal answered with its error page
  int parserStatus = 0;       // 0 success; the parser status, or -1 when Parse raised
  bool noMonths = false;      // parsed, but the page held no month: a failure
  std::u16string statusText;  // for the status control
  std::int32_t replyTag = copydata::kOk;  // copy-data tag for the parent window
  std::vector<std::uint8_t> replyData;

  bool succeeded() const { return !serverError && parserStatus == 0 && !noMonths; }
};

// The report of a transfer page (its text, decoded by DecodePortalText,
// net/charset.h), compared with the stored totals.
ReportOutcome RunReport(const std::u16string& page, const StoredTotals& stored);

}  // namespace orvix
