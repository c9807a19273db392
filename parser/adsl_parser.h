// TAdslParser: reads the monthly transfer totals out of the quota portal's
// transfer page.
//
// The page layout is positional. The page's "table" elements are numbered
// from 0 in document order (nested tables count too); table 1 holds the
// header line, table 2 the record time and a detail line, table 3 one row
// per month (year; month name; upload; download). Anything the portal
// changes in that layout shows up as a non-zero Status, never as a crash:
// a missing node is never dereferenced.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

class TNode;
class TDocument;
class THtmlParser;

// Raised where the page breaks the layout in a way that the status codes do
// not cover (a cell the layout needs is missing). Inside the table walks it
// becomes status -5; on a message page it leaves Parse and the report turns
// it into its own failure.
class TransferPageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One month of the transfer table.
struct TTableItem {
  bool Used = false;          // filled by the last parse
  std::string Year;           // first cell, trimmed, in the system code page
  std::u16string MonthName;   // rebuilt from the month number; empty if unknown
  double Upload = 0;          // bytes sent
  double Download = 0;        // bytes received
};

class TAdslParser {
 public:
  static constexpr int kMaxItems = 12;

  // Status codes of the last Parse.
  static constexpr int kOk = 0;
  static constexpr int kNoDocument = -1;
  static constexpr int kTooFewTables = -2;
  static constexpr int kMessageWithoutCells = -3;
  static constexpr int kMessagePage = -4;
  static constexpr int kLayoutError = -5;

  TAdslParser();
  ~TAdslParser();
  TAdslParser(const TAdslParser&) = delete;
  TAdslParser& operator=(const TAdslParser&) = delete;

  // Parses the whole page (already decoded to UTF-16) and reads its tables.
  // Status tells the outcome. Throws TransferPageError for a message page
  // whose table 1 has fewer than three cells, and passes on errors of the
  // HTML parse itself; errors inside the table walks become status -5.
  void Parse(const std::u16string& page);

  int Status() const { return status_; }
  int Count() const { return count_; }
  const std::u16string& ServerMessage() const { return serverMessage_; }
  const std::u16string& RecordTime() const { return recordTime_; }
  const std::u16string& DetailText() const { return detailText_; }
  const std::u16string& HeaderText() const { return headerText_; }
  const std::u16string& HeaderLastWord() const { return headerLastWord_; }

  // Item i, oldest month first; empty text and 0 unless 0 <= i < Count.
  std::u16string YearOf(int i) const;
  std::u16string MonthNameOf(int i) const;
  double UploadOf(int i) const;
  double DownloadOf(int i) const;

  // The newest month (item Count-1); empty text and 0 when Count is 0.
  std::u16string LastYear() const { return YearOf(count_ - 1); }
  std::u16string LastMonthName() const { return MonthNameOf(count_ - 1); }
  double LastUpload() const { return UploadOf(count_ - 1); }
  double LastDownload() const { return DownloadOf(count_ - 1); }

  // The document of the last parse (nullptr before the first); owned here.
  const TDocument* Document() const { return document_.get(); }

 private:
  void Reset();
  void Analyse();
  void WalkHeader(TNode* table);
  void WalkInfo(TNode* table);
  void WalkMonths(TNode* table);
  const TTableItem* ItemAt(int i) const;

  std::unique_ptr<THtmlParser> html_;
  std::u16string recordTime_;
  std::u16string detailText_;
  std::u16string headerText_;
  std::u16string headerLastWord_;
  std::array<TTableItem, kMaxItems> items_;
  int32_t status_ = kNoDocument;
  std::u16string serverMessage_;
  int32_t count_ = 0;
  std::unique_ptr<TDocument> document_;
};

// The concatenated text of every node below the element, in document order
// (each child's descendants before the child's own value). The element's own
// value is not included. Iterative, so deep pages cannot exhaust the stack.
std::u16string ElementText(const TNode* element);

// "01".."12" for the month names exactly as the portal writes them
// (case-sensitive); "0" for anything else.
std::string MonthToNumber(std::u16string_view name);

// The month name for a decimal number 1..12; empty text otherwise.
std::u16string NumberToMonth(std::string_view number);

// A byte count as the portal writes it: every "." is a digit-group mark and
// is removed, the rest is read with the user's decimal separator. Empty or
// unreadable text gives 0.
double ParseAmount(std::u16string_view text);

}  // namespace orvix
