// The quota result record: the newest totals and the month items of a
// successful query, in the fixed layout the parent reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/parent_protocol.h"

namespace orvix {

// The record a successful query sends to the parent window (copy-data tag
// 0), 1576 bytes; its layout is in net/parent_protocol.h.
constexpr std::size_t kQuotaResultSize = quota_record::kSize;
using QuotaResultBytes = std::array<std::uint8_t, kQuotaResultSize>;

struct QuotaMonth {
  std::u16string year;
  std::u16string monthName;
  double download = 0;
  double upload = 0;
};

// What the report takes from a successful parse.
struct QuotaSummary {
  double lastDownload = 0;
  double lastUpload = 0;
  std::u16string recordTime;
  std::u16string lastMonthName;
  std::u16string lastYear;
  std::u16string detailText;
  std::u16string headerText;
  std::vector<QuotaMonth> items;  // oldest first
};

// Texts longer than their field are cut so that the field still ends with a
// zero (never in the middle of a surrogate pair); at most 12 items are
// written, and the count field says how many.
QuotaResultBytes BuildQuotaResult(const QuotaSummary& summary);

}  // namespace orvix
