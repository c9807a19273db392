// Everything the parent program (Plumo) sees of us, in one place: the
// messages between its window, our hidden window and the quota dialog, the
// tags of the copy-data replies, and the layout of the quota result record.
// The parent relies on every number here: none of them may change.
//
// Copy-data replies (WM_COPYDATA sent to the parent, payload without a
// terminating zero):
//
//   tag  sender                 wParam                payload
//   15   -getmyip               InstanceWindow (0)    external address, 8-bit, empty on failure
//   16   -getversion            InstanceWindow (0)    "version|news|", 8-bit (only when not empty)
//    0   -geturl                InstanceWindow (0)    the fetched body, bytes as received
//   -1   -geturl                InstanceWindow (0)    nothing: the URL could not be split
//    0   quota query success    quota dialog          the 1576-byte quota result record
//   -1   quota query failure    quota dialog          failure message, UTF-16, 2 bytes a character
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvix {

// ---- window messages --------------------------------------------------------

// To the hidden window of a running quota query (from the parent).
inline constexpr unsigned kMsgBringDialogToFront = 5938;  // answer 0
inline constexpr unsigned kMsgNothing = 5939;             // answer 0
// To the hidden window, which forwards it to the quota dialog: the dialog
// closes with result 2, and its answer is the hidden window's.
inline constexpr unsigned kMsgCloseDialog = 6040;
// To the parent, from the quota dialog, while the parent is a window.
inline constexpr unsigned kMsgQuotaOpened = 6041;  // wParam 2, lParam the hidden window
inline constexpr unsigned kMsgQuotaClosed = 6042;  // wParam 2, lParam 0
inline constexpr unsigned kQuotaMessageWParam = 2;

// ---- copy-data tags (dwData) --------------------------------------------------

namespace copydata {
inline constexpr std::int32_t kAddressReply = 15;  // -getmyip: external address, 8-bit text
inline constexpr std::int32_t kVersionReply = 16;  // -getversion: "version|news|", 8-bit text
inline constexpr std::int32_t kOk = 0;             // -geturl body, or the quota result record
inline constexpr std::int32_t kFailure = -1;       // -geturl: bad URL (no bytes); quota: the message, UTF-16
}  // namespace copydata

// ---- the quota result record (tag 0 of a successful query) --------------------

// Little-endian, zero-filled; texts are UTF-16 and end with a zero unit
// inside their field.
namespace quota_record {
inline constexpr std::size_t kLastDownload = 0;    // double
inline constexpr std::size_t kLastUpload = 8;      // double
inline constexpr std::size_t kCount = 16;          // int32, month items used (0..12)
inline constexpr std::size_t kRecordTime = 20;     // text, 64 bytes
inline constexpr std::size_t kLastMonthName = 84;  // text, 64 bytes
inline constexpr std::size_t kLastYear = 148;      // text, 64 bytes
inline constexpr std::size_t kDetailText = 212;    // text, 64 bytes
inline constexpr std::size_t kHeaderText = 276;    // text, 532 bytes
inline constexpr std::size_t kShortTextSize = 64;
inline constexpr std::size_t kHeaderTextSize = 532;
inline constexpr std::size_t kItems = 808;         // kMaxItems month items of kItemSize bytes
inline constexpr std::size_t kMaxItems = 12;
inline constexpr std::size_t kItemSize = 64;
// Inside a month item.
inline constexpr std::size_t kItemYear = 0;        // text, 16 bytes
inline constexpr std::size_t kItemYearSize = 16;
inline constexpr std::size_t kItemMonthName = 16;  // text, 32 bytes
inline constexpr std::size_t kItemMonthNameSize = 32;
inline constexpr std::size_t kItemDownload = 48;   // double
inline constexpr std::size_t kItemUpload = 56;     // double
inline constexpr std::size_t kSize = 1576;

// The fields follow each other without a gap and fill the record exactly.
static_assert(kLastUpload == kLastDownload + 8 && kCount == kLastUpload + 8 && kRecordTime == kCount + 4);
static_assert(kLastMonthName == kRecordTime + kShortTextSize && kLastYear == kLastMonthName + kShortTextSize);
static_assert(kDetailText == kLastYear + kShortTextSize && kHeaderText == kDetailText + kShortTextSize);
static_assert(kItems == kHeaderText + kHeaderTextSize);
static_assert(kItemMonthName == kItemYear + kItemYearSize && kItemDownload == kItemMonthName + kItemMonthNameSize);
static_assert(kItemUpload == kItemDownload + 8 && kItemSize == kItemUpload + 8);
static_assert(kSize == kItems + kMaxItems * kItemSize);
}  // namespace quota_record

}  // namespace orvix
