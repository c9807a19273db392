#include "quota/quota_record.h"

#include <cstring>

namespace orvix {
namespace {

// Writes little-endian fields into the record; at() keeps every write inside
// it.
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

}  // namespace

QuotaResultBytes BuildQuotaResult(const QuotaSummary& summary) {
  QuotaResultBytes bytes{};
  RecordWriter w(bytes);
  using namespace quota_record;
  const std::size_t count = summary.items.size() < kMaxItems ? summary.items.size() : kMaxItems;
  w.Double(kLastDownload, summary.lastDownload);
  w.Double(kLastUpload, summary.lastUpload);
  w.Int32(kCount, static_cast<std::int32_t>(count));
  w.Text(kRecordTime, kShortTextSize, summary.recordTime);
  w.Text(kLastMonthName, kShortTextSize, summary.lastMonthName);
  w.Text(kLastYear, kShortTextSize, summary.lastYear);
  w.Text(kDetailText, kShortTextSize, summary.detailText);
  w.Text(kHeaderText, kHeaderTextSize, summary.headerText);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t base = kItems + kItemSize * i;
    const QuotaMonth& m = summary.items[i];
    w.Text(base + kItemYear, kItemYearSize, m.year);
    w.Text(base + kItemMonthName, kItemMonthNameSize, m.monthName);
    w.Double(base + kItemDownload, m.download);
    w.Double(base + kItemUpload, m.upload);
  }
  return bytes;
}

}  // namespace orvix
