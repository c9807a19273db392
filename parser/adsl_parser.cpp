// Conventions of this file: the tables, rows and cells are found with one
// bounded pre-order walk each (FindElements) instead of the DOM's live
// search lists, so that a page with thousands of rows costs one pass, and
// every lookup by index goes through At(), which gives nullptr instead of
// touching a node that is not there.
#include "parser/adsl_parser.h"


#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>
#include <numeric>
#include <utility>

#include "html/dom.h"
#include "html/html_parser.h"
#include "text/platform.h"
#include "text/text_utils.h"

namespace orvix {
namespace {

constexpr int kElementNode = 1;

const char16_t* const kMonthNames[12] = {u"Ocak",   u"Şubat",   u"Mart",  u"Nisan", u"Mayıs", u"Haziran",
                                         u"Temmuz", u"Ağustos", u"Eylül", u"Ekim",  u"Kasım", u"Aralık"};

bool IsElement(const TNode* node, std::u16string_view name) {
  return node && node->nodeType() == kElementNode && node->localName() == name;
}

// The elements named `name` below `root` (not root itself) in document
// order, nested ones included; the walk stops once `limit` are found.
std::vector<TNode*> FindElements(const TNode* root, std::u16string_view name, std::size_t limit = std::numeric_limits<std::size_t>::max()) {
  std::vector<TNode*> found;
  if (!root || limit == 0) return found;
  std::vector<std::pair<const TNode*, int>> stack;  // node, next child index
  stack.emplace_back(root, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    TNodeList* children = node->childNodes();
    TNode* child = children ? children->item(next) : nullptr;
    if (!child) {
      stack.pop_back();
      continue;
    }
    ++next;
    if (IsElement(child, name)) {
      found.push_back(child);
      if (found.size() >= limit) break;
    }
    if (child->hasChildNodes()) stack.emplace_back(child, 0);
  }
  return found;
}

TNode* At(const std::vector<TNode*>& nodes, std::size_t i) { return i < nodes.size() ? nodes[i] : nullptr; }

// The trimmed text of a cell the layout requires. A missing cell means the
// page is not laid out as expected.
std::u16string RequiredCellText(const std::vector<TNode*>& cells, std::size_t i) {
  TNode* cell = At(cells, i);
  if (!cell) throw TransferPageError("transfer page: a table cell is missing");
  return TrimBlanks(ElementText(cell));
}

std::u16string CutBeforeBracket(const std::u16string& text) {
  // The cell reads "1.234.567 (1,18 MB)": the byte count is what stands
  // before the bracket. Without a bracket there is no byte count at all.
  const std::size_t bracket = text.find(u'(');
  if (bracket == std::u16string::npos) return {};
  return std::u16string(TrimBlanks(std::u16string_view(text).substr(0, bracket)));
}

// One qualifying row of the month table: the texts that make its sort key.
struct MonthRow {
  std::string key;  // year|month|upload|download| in the system code page
  std::string year;
  std::string month;
  std::string upload;
  std::string download;
};

}  // namespace


std::u16string ElementText(const TNode* element) {
  std::u16string out;
  if (!element) return out;
  // Each child's descendants come before the child's own value, so a node's
  // value is appended when its subtree is done: a post-order walk, kept on
  // an explicit stack.
  std::vector<std::pair<const TNode*, int>> stack;
  stack.emplace_back(element, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    TNodeList* children = node->childNodes();
    TNode* child = children ? children->item(next) : nullptr;
    if (child) {
      ++next;
      if (child->hasChildNodes()) {
        stack.emplace_back(child, 0);
      } else {
        out += child->nodeValue();
      }
      continue;
    }
    const TNode* done = node;
    stack.pop_back();
    if (!stack.empty()) out += done->nodeValue();
  }
  return out;
}

std::string MonthToNumber(std::u16string_view name) {
  for (int i = 0; i < 12; ++i) {
    if (name == kMonthNames[i]) {
      const char digits[3] = {static_cast<char>('0' + (i + 1) / 10), static_cast<char>('0' + (i + 1) % 10), 0};
      return digits;
    }
  }
  return "0";
}

std::u16string NumberToMonth(std::string_view number) {
  // A decimal integer, optionally signed, nothing else; anything unreadable
  // counts as no month.
  std::string_view digits = number;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.size() > 9) return {};
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return {};
    value = value * 10 + (c - '0');
  }
  if (negative || value < 1 || value > 12) return {};
  return kMonthNames[value - 1];
}

double ParseAmount(std::u16string_view text) {
  const char16_t decimal = platform::DecimalSeparator();
  // Build a C-locale number text, accepting only what a plain number may
  // hold: sign, digits, one decimal separator, an exponent.
  std::string plain;
  bool seenDecimal = false;
  bool seenExponent = false;
  bool seenDigit = false;
  std::u16string_view body = text;
  while (!body.empty() && body.front() <= 32) body.remove_prefix(1);
  while (!body.empty() && body.back() <= 32) body.remove_suffix(1);
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char16_t c = body[i];
    if (c == u'.') continue;  // the portal's digit-group mark, whatever the locale
    if (c >= u'0' && c <= u'9') {
      plain += static_cast<char>(c);
      seenDigit = true;
    } else if (c == decimal && !seenDecimal && !seenExponent) {
      plain += '.';
      seenDecimal = true;
    } else if ((c == u'+' || c == u'-') &&
               (plain.empty() || plain.back() == 'e')) {
      plain += static_cast<char>(c);
    } else if ((c == u'e' || c == u'E') && seenDigit && !seenExponent) {
      plain += 'e';
      seenExponent = true;
    } else {
      return 0;
    }
  }
  if (!seenDigit || plain.back() == 'e' || plain.back() == '+' || plain.back() == '-') return 0;
  char* end = nullptr;
  const double value = std::strtod(plain.c_str(), &end);
  if (end != plain.c_str() + plain.size() || !std::isfinite(value)) return 0;
  return value;
}

TAdslParser::TAdslParser() : html_(std::make_unique<THtmlParser>()) {}

TAdslParser::~TAdslParser() = default;

void TAdslParser::Reset() {
  status_ = kOk;
  count_ = 0;
  for (TTableItem& item : items_) item.Used = false;
  serverMessage_.clear();
}

void TAdslParser::Parse(const std::u16string& page) {
  Reset();
  // Drop the old document first, so that two whole pages are never held at
  // once.
  document_.reset();
  document_ = html_->Parse(page);
  Analyse();
}

void TAdslParser::Analyse() {
  status_ = kNoDocument;
  if (!document_) return;
  const std::vector<TNode*> tables = FindElements(document_.get(), u"table");
  const std::size_t n = tables.size();

  if (n == 2 || n == 3) {
    // A message page: the portal's text stands in the third cell.
    const std::vector<TNode*> cells = FindElements(tables[1], u"td", 3);
    if (cells.empty()) {
      status_ = kMessageWithoutCells;
      return;
    }
    TNode* cell = At(cells, 2);
    if (!cell) throw TransferPageError("message page: the message cell is missing");
    serverMessage_ = ElementText(cell);
    status_ = kMessagePage;
    return;
  }
  if (n < 2) {
    status_ = kTooFewTables;
    return;
  }
  try {
    WalkHeader(tables[1]);
    WalkInfo(tables[2]);
    WalkMonths(tables[3]);
    status_ = kOk;
  } catch (const std::exception&) {
    // Whatever the walks stored before the failure stays.
    status_ = kLayoutError;
  }
}

void TAdslParser::WalkHeader(TNode* table) {
  const std::vector<TNode*> rows = FindElements(table, u"tr", 1);
  if (rows.empty()) return;
  const std::vector<TNode*> cells = FindElements(rows[0], u"td", 1);
  if (cells.empty()) return;
  const std::u16string s = TrimBlanks(ElementText(cells[0]));
  // "Ad Soyad Giriş": the last word is a label of its own.
  const std::size_t space = s.rfind(u' ');
  if (space == std::u16string::npos) {
    headerLastWord_.clear();
    headerText_ = s;
    return;
  }
  headerLastWord_ = TrimBlanks(std::u16string_view(s).substr(space + 1));
  headerText_ = TrimBlanks(std::u16string_view(s).substr(0, space));
}

void TAdslParser::WalkInfo(TNode* table) {
  const std::vector<TNode*> rows = FindElements(table, u"tr", 2);
  if (rows.empty()) return;
  const std::vector<TNode*> first = FindElements(rows[0], u"td", 2);
  if (!first.empty()) recordTime_ = RequiredCellText(first, 1);
  if (TNode* second = At(rows, 1)) {
    const std::vector<TNode*> cells = FindElements(second, u"td", 2);
    if (!cells.empty()) detailText_ = RequiredCellText(cells, 1);
  }
}

void TAdslParser::WalkMonths(TNode* table) {
  const std::vector<TNode*> rows = FindElements(table, u"tr");
  std::vector<MonthRow> collected;
  for (TNode* row : rows) {
    if (collected.size() >= kMaxItems) break;  // later rows are ignored
    const std::vector<TNode*> cells = FindElements(row, u"td", 4);
    if (cells.size() < 4) continue;  // not a month row; does not count
    MonthRow m;
    m.year = platform::WideToAnsi(TrimBlanks(ElementText(cells[0])));
    m.month = MonthToNumber(TrimBlanks(ElementText(cells[1])));
    m.upload = platform::WideToAnsi(CutBeforeBracket(TrimBlanks(ElementText(cells[2]))));
    m.download = platform::WideToAnsi(CutBeforeBracket(TrimBlanks(ElementText(cells[3]))));
    m.key = m.year + "|" + m.month + "|" + m.upload + "|" + m.download + "|";
    collected.push_back(std::move(m));
    ++count_;
  }
  // Four-digit years and two-digit month numbers at the front of the key
  // put the months in calendar order, oldest first. The fields are kept
  // beside the key rather than split out of it again, so a stray "|" in a
  // cell cannot shift them.
  std::vector<std::size_t> order(collected.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return platform::CompareAnsiText(collected[a].key, collected[b].key, false) < 0;
  });
  for (std::size_t c = 0; c < order.size(); ++c) {
    const MonthRow& m = collected[order[c]];
    TTableItem& item = items_[c];
    item.Used = true;
    item.Year = m.year;
    item.MonthName = NumberToMonth(m.month);
    item.Upload = ParseAmount(platform::AnsiToWide(m.upload));
    item.Download = ParseAmount(platform::AnsiToWide(m.download));
  }
}

const TTableItem* TAdslParser::ItemAt(int i) const {
  if (i < 0 || i >= count_ || i >= kMaxItems) return nullptr;
  return &items_[static_cast<std::size_t>(i)];
}

std::u16string TAdslParser::YearOf(int i) const {
  const TTableItem* item = ItemAt(i);
  return item ? platform::AnsiToWide(item->Year) : std::u16string();
}

std::u16string TAdslParser::MonthNameOf(int i) const {
  const TTableItem* item = ItemAt(i);
  return item ? item->MonthName : std::u16string();
}

double TAdslParser::UploadOf(int i) const {
  const TTableItem* item = ItemAt(i);
  return item ? item->Upload : 0;
}

double TAdslParser::DownloadOf(int i) const {
  const TTableItem* item = ItemAt(i);
  return item ? item->Download : 0;
}

}  // namespace orvix
