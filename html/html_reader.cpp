#include "html/html_reader.h"

#include <algorithm>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "html/html_tables.h"

namespace orvix {

namespace {

bool IsBlank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

// Delimiters are all ASCII, so characters above U+00FF never end a name.
// One bit per delimiter set for each character below 256.
constexpr std::uint8_t DelimBits(unsigned c) {
  std::uint8_t bits = 0;
  if (c == '\t' || c == '\n' || c == '\r' || c == ' ') bits = 0xF;  // blanks end every kind
  if (c == '/' || c == '>') bits |= 1 | 2 | 4;                       // names, attribute names, values
  if (c == '=') bits |= 2;
  if (c == '"' || c == '\'') bits |= 4;
  if (c == '&' || c == ';' || c == '<') bits |= 8;                  // entity names
  return bits;
}

struct DelimTable {
  std::uint8_t bits[256];
  constexpr DelimTable() : bits() {
    for (unsigned c = 0; c < 256; ++c) bits[c] = DelimBits(c);
  }
};
constexpr DelimTable kDelims;

// Index of the first `a` or `b` in `text` at or after `from`, or its size.
// Text runs and quoted values are most of a page's characters, so they are
// searched eight at a time where the processor allows it.
std::size_t FindEither(std::u16string_view text, std::size_t from, char16_t a, char16_t b) {
  const char16_t* p = text.data();
  const std::size_t n = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, wantA), _mm_cmpeq_epi16(v, wantB)));
    if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(hits))) / 2;
  }
#endif
  for (; i < n; ++i)
    if (p[i] == a || p[i] == b) return i;
  return n;
}

// Passes each event to the Handler member of its kind, when assigned.
class HandlerListener final : public THtmlReader::Listener {
 public:
  void AttributeEnd(THtmlReader& r) override { Fire(r.OnAttributeEnd, r); }
  void AttributeStart(THtmlReader& r) override { Fire(r.OnAttributeStart, r); }
  void CDataSection(THtmlReader& r) override { Fire(r.OnCDataSection, r); }
  void Comment(THtmlReader& r) override { Fire(r.OnComment, r); }
  void DocType(THtmlReader& r) override { Fire(r.OnDocType, r); }
  void ElementEnd(THtmlReader& r) override { Fire(r.OnElementEnd, r); }
  void ElementStart(THtmlReader& r) override { Fire(r.OnElementStart, r); }
  void EndElement(THtmlReader& r) override { Fire(r.OnEndElement, r); }
  void EntityReference(THtmlReader& r) override { Fire(r.OnEntityReference, r); }
  void TextNode(THtmlReader& r) override { Fire(r.OnTextNode, r); }

 private:
  static void Fire(const THtmlReader::Handler& h, THtmlReader& r) {
    if (h) h(r);
  }
};

constinit HandlerListener handlerListener;

}  // namespace

THtmlReader::THtmlReader() : listener_(&handlerListener), tags_(&HtmlTags()) {}

void THtmlReader::SetListener(Listener* listener) {
  listener_ = listener != nullptr ? listener : &handlerListener;
}

void THtmlReader::SetSource(std::u16string text) {
  source_ = std::move(text);
  SetSourceView(source_);
}

void THtmlReader::SetSourceView(std::u16string_view text) {
  text_ = text;
  pos_ = 0;
  for (auto& s : scans_) s = ScanCache{};
  charScans_.clear();
  gtAbsentFrom_ = commentEndAbsentFrom_ = cdataEndAbsentFrom_ = SIZE_MAX;
}

void THtmlReader::ReleaseSource() {
  nodeValue();
  MakeNameStrings();
  // The name may be a slice of the text let go of.
  std::u16string held(name_);
  heldName_.swap(held);
  name_ = heldName_;
  valueView_ = {};
  text_ = {};
}

const THtmlTag& THtmlReader::tag() const {
  return tagKey_ != 0 ? tags_->FindKey(tagKey_) : tags_->Find(qualifiedNameView());
}

bool THtmlReader::Matches(std::u16string_view s) const {
  return text_.size() - std::min(pos_, text_.size()) >= s.size() &&
         std::u16string_view(text_).substr(pos_, s.size()) == s;
}

bool THtmlReader::MatchesNoCase(std::u16string_view s) const {
  if (text_.size() - std::min(pos_, text_.size()) < s.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = text_[pos_ + i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != s[i]) return false;
  }
  return true;
}

void THtmlReader::SkipBlanks() {
  while (!AtEnd() && IsBlank(Cur())) ++pos_;
}

std::size_t THtmlReader::ScanUntil(std::size_t from, DelimSet set) {
  ScanCache& c = scans_[set];
  if (from >= c.from && from <= c.at) return c.at;
  const char16_t* p = text_.data();
  const std::size_t n = text_.size();
  const unsigned bit = 1u << set;
  std::size_t i = from;
  while (i < n && !(p[i] < 256 && (kDelims.bits[p[i]] & bit) != 0)) ++i;
  c.from = from;
  c.at = i;
  return i;
}

std::size_t THtmlReader::FindFrom(std::size_t from, std::u16string_view s, std::size_t& absentFrom) {
  // Once a search failed from some index, it fails from every later one:
  // remembering that keeps runs of unterminated constructs linear.
  if (from >= absentFrom) return std::u16string::npos;
  std::size_t at = std::u16string_view(text_).find(s, from);
  if (at == std::u16string::npos) absentFrom = from;
  return at;
}

std::size_t THtmlReader::FindGreaterFrom(std::size_t from) {
  if (from >= gtAbsentFrom_) return std::u16string::npos;
  const std::size_t at = FindEither(text_, from, u'>', u'>');
  if (at < text_.size()) return at;
  gtAbsentFrom_ = from;
  return std::u16string::npos;
}

std::size_t THtmlReader::FindCharFrom(std::size_t from, char16_t ch) {
  ScanCache& c = charScans_[ch];
  if (from >= c.from && from <= c.at) return c.at;
  std::size_t at = std::u16string_view(text_).find(ch, from);
  if (at == std::u16string::npos) at = text_.size();
  c.from = from;
  c.at = at;
  return at;
}

void THtmlReader::SetName(std::u16string_view name) {
  name_ = name;
  colon_ = name.find(u':');
  tagKey_ = 0;
  nameStringsMade_ = false;
}

std::size_t THtmlReader::ScanName(std::size_t from, DelimSet set) {
  // One pass finds the end, the colon, whether anything needs lower-casing,
  // and the packed key the tag table is searched by: the characters
  // lower-cased one per byte, with the OR of each character minus one to
  // tell whether all are in U+0001..U+0080 (U+0080 is in no tag name, so its
  // byte matches no key). Every delimiter, capital and colon is below 'a',
  // so lower-case letters take the short way.
  std::size_t colon = std::u16string_view::npos;
  bool upper = false;
  std::uint64_t key = 0;
  unsigned bits = 0;
  auto take = [&](unsigned c, std::size_t at) {
    if (c < u'a') {
      if (c - u'A' < 26u) {
        c += u'a' - u'A';
        upper = true;
      } else if (c == u':' && colon == std::u16string_view::npos) {
        colon = at - from;
      }
    }
    bits |= c - 1;
    key = key << 8 | c;
  };
  const char16_t* p = text_.data();
  ScanCache& cache = scans_[set];
  std::size_t end;
  if (from >= cache.from && from <= cache.at) {
    // Known from an earlier scan (input that keeps failing to form tags):
    // the name is consumed now, so looking at it once more stays linear.
    end = cache.at;
    for (std::size_t i = from; i < end; ++i) take(p[i], i);
  } else {
    const std::size_t n = text_.size();
    const unsigned bit = 1u << set;
    std::size_t i = from;
    for (; i < n; ++i) {
      const unsigned c = p[i];
      if (c < u'a' && (kDelims.bits[c] & bit) != 0) break;
      take(c, i);
    }
    end = i;
    cache.from = from;
    cache.at = end;
  }
  const std::u16string_view raw(p + from, end - from);
  if (upper) {
    lowerName_.assign(raw);
    for (char16_t& c : lowerName_)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    name_ = lowerName_;
  } else {
    name_ = raw;
  }
  colon_ = colon;
  // A leading colon is dropped from the qualified name; such a name takes
  // the table's own search.
  const bool packable = !raw.empty() && raw.size() <= 8 && bits < 0x80 && colon != 0;
  tagKey_ = packable ? key : 0;
  nameStringsMade_ = false;
  return end;
}

void THtmlReader::MakeNameStrings() const {
  if (nameStringsMade_) return;
  prefix_.assign(prefixView());
  localName_.assign(localNameView());
  nameStringsMade_ = true;
}

bool THtmlReader::Read() {
  nodeType_ = kNone;
  name_ = {};
  colon_ = std::u16string_view::npos;
  tagKey_ = 0;
  nameStringsMade_ = false;
  valueView_ = {};
  nodeValueMade_ = false;
  if (hasIds_) {
    publicId_.clear();
    systemId_.clear();
    hasIds_ = false;
  }
  isEmptyElement_ = false;
  if (AtEnd()) return false;

  if (state_ == kAfterAttrName || state_ == kUnquotedValue || state_ == kQuotedValue) {
    if (AttributeValueStep()) return true;
    if (state_ == kQuotedValue && !AtEnd()) ++pos_;  // the closing quote
    nodeType_ = kAttributeEnd;
    listener_->AttributeEnd(*this);
    state_ = kInStartTag;
    return true;
  }

  if (state_ == kInStartTag) {
    if (!AttributeNameStep()) EndStartTag();
    return true;
  }

  const char16_t c = Cur();
  if (c == u'<') {
    if (!TagStep()) {
      ++pos_;
      nodeType_ = kEntityReference;
      SetName(u"lt");
      listener_->EntityReference(*this);
    }
  } else if (c == u'&') {
    if (!EntityStep()) {
      ++pos_;
      nodeType_ = kEntityReference;
      SetName(u"amp");
      listener_->EntityReference(*this);
    }
  } else {
    const std::size_t end = FindEither(text_, pos_, u'<', u'&');
    valueView_ = text_.substr(pos_, end - pos_);
    pos_ = end;
    nodeType_ = kText;
    listener_->TextNode(*this);
  }
  return true;
}

void THtmlReader::EndStartTag() {
  SkipBlanks();
  if (!AtEnd() && Cur() == u'/') {
    isEmptyElement_ = true;
    ++pos_;
  }
  // Anything else up to ">" is junk that is skipped; a missing ">" leaves
  // the reader at the end of the input.
  const std::size_t gt = !AtEnd() && Cur() == u'>' ? pos_ : FindGreaterFrom(pos_);
  pos_ = gt == std::u16string::npos ? text_.size() : gt + 1;
  nodeType_ = kElement;
  listener_->ElementEnd(*this);
  state_ = kContent;
}

bool THtmlReader::TagStep() {
  const std::size_t start = pos_;
  ++pos_;  // "<"
  bool ok = false;
  if (!AtEnd()) {
    if (Cur() == u'/') {
      ok = EndTag();
    } else if (Cur() == u'!') {
      ++pos_;
      if (!AtEnd()) {
        if (MatchesNoCase(u"DOCTYPE")) ok = DocType();
        else if (Matches(u"[CDATA[")) ok = CDataSection();
        else if (Matches(u"--")) ok = Comment();
      }
    } else if (pos_ + 1 < text_.size()) {
      // A start tag: its name may not begin at the very last character.
      std::size_t end = ScanName(pos_, kNameDelims);
      if (end > pos_) {
        pos_ = end;
        nodeType_ = kElement;
        state_ = kInStartTag;
        listener_->ElementStart(*this);
        ok = true;
      }
    }
  }
  if (!ok) pos_ = start;
  return ok;
}

bool THtmlReader::EndTag() {
  ++pos_;  // "/"
  if (AtEnd()) return false;
  const std::size_t nameEnd = ScanName(pos_, kNameDelims);
  if (nameEnd == pos_) return false;
  const std::size_t gt = FindGreaterFrom(nameEnd);
  if (gt == std::u16string::npos) return false;
  pos_ = gt + 1;
  nodeType_ = kEndTag;
  listener_->EndElement(*this);
  return true;
}

bool THtmlReader::DocType() {
  pos_ += 7;  // "DOCTYPE"
  SkipBlanks();
  const std::size_t nameStart = pos_;
  const std::size_t nameEnd = ScanUntil(pos_, kNameDelims);
  if (nameEnd == nameStart) return false;
  pos_ = nameEnd;
  SkipBlanks();
  pos_ = ScanUntil(pos_, kNameDelims);  // PUBLIC / SYSTEM, not kept
  SkipBlanks();

  std::u16string publicId, systemId;
  if (!AtEnd() && Cur() == u'>') {
    // "<!DOCTYPE html>" has no identifiers. Reading its ">" as a quote would
    // turn the declaration into stray text at the top of the document, which
    // ends the whole parse before the first element.
    ++pos_;
  } else {
    // A quoted string takes whatever character stands here as its quote.
    if (AtEnd()) return false;
    const char16_t quote = Cur();
    const std::size_t close = FindCharFrom(pos_ + 1, quote);
    if (close >= text_.size()) return false;
    publicId.assign(text_, pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    SkipBlanks();
    if (!AtEnd() && Cur() == u'"') {
      const std::size_t sysClose = FindCharFrom(pos_ + 1, u'"');
      if (sysClose >= text_.size()) return false;
      systemId.assign(text_, pos_ + 1, sysClose - pos_ - 1);
      pos_ = sysClose + 1;
    }
    const std::size_t gt = FindGreaterFrom(pos_);
    if (gt == std::u16string::npos) return false;
    pos_ = gt + 1;
  }
  SetName(text_.substr(nameStart, nameEnd - nameStart));
  publicId_ = std::move(publicId);
  systemId_ = std::move(systemId);
  hasIds_ = true;
  listener_->DocType(*this);
  return true;
}

bool THtmlReader::CDataSection() {
  pos_ += 7;  // "[CDATA["
  const std::size_t close = FindFrom(pos_, u"]]>", cdataEndAbsentFrom_);
  if (close == std::u16string::npos) return false;
  valueView_ = text_.substr(pos_, close - pos_);
  pos_ = close + 3;
  nodeType_ = kCData;
  listener_->CDataSection(*this);
  return true;
}

bool THtmlReader::Comment() {
  // The search starts after the opening "--", so "<!-->" does not close
  // itself.
  pos_ += 2;
  const std::size_t close = FindFrom(pos_, u"-->", commentEndAbsentFrom_);
  if (close == std::u16string::npos) return false;
  valueView_ = text_.substr(pos_, close - pos_);
  pos_ = close + 3;
  nodeType_ = kComment;
  listener_->Comment(*this);
  return true;
}

bool THtmlReader::EntityStep() {
  const std::size_t start = pos_;
  ++pos_;  // "&"
  if (AtEnd()) {
    pos_ = start;
    return false;
  }
  if (Cur() == u'#') {
    ++pos_;
    bool hex = false;
    if (!AtEnd() && (Cur() == u'x' || Cur() == u'X')) {
      hex = true;
      ++pos_;
    }
    // The code wraps modulo 65536 like the 16-bit character it becomes.
    std::uint16_t code = 0;
    for (; !AtEnd(); ++pos_) {
      const char16_t c = Cur();
      unsigned digit;
      if (c >= u'0' && c <= u'9') digit = c - u'0';
      else if (hex && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
      else if (hex && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
      else break;
      code = static_cast<std::uint16_t>(code * (hex ? 16u : 10u) + digit);
    }
    if (AtEnd() || Cur() != u';') {
      pos_ = start;
      return false;
    }
    ++pos_;
    nodeType_ = kText;
    charRef_ = static_cast<char16_t>(code);
    valueView_ = std::u16string_view(&charRef_, 1);
    listener_->TextNode(*this);
    return true;
  }
  const std::size_t nameEnd = ScanUntil(pos_, kEntityDelims);
  if (nameEnd >= text_.size() || text_[nameEnd] != u';') {
    pos_ = start;
    return false;
  }
  nodeType_ = kEntityReference;
  SetName(text_.substr(pos_, nameEnd - pos_));
  pos_ = nameEnd + 1;
  listener_->EntityReference(*this);
  return true;
}

bool THtmlReader::AttributeNameStep() {
  SkipBlanks();
  // The usual end of a start tag: no name to scan.
  if (!AtEnd() && (Cur() == u'>' || Cur() == u'/')) return false;
  const std::size_t end = ScanName(pos_, kAttrNameDelims);
  if (end == pos_) return false;
  pos_ = end;
  listener_->AttributeStart(*this);
  state_ = kAfterAttrName;
  quoteChar_ = 0;
  return true;
}

bool THtmlReader::AttributeValueStep() {
  if (state_ == kAfterAttrName) {
    SkipBlanks();
    if (AtEnd() || Cur() != u'=') return false;
    ++pos_;
    SkipBlanks();
    if (AtEnd()) return false;
    if (Cur() == u'"' || Cur() == u'\'') {
      quoteChar_ = Cur();
      ++pos_;
      state_ = kQuotedValue;
    } else {
      state_ = kUnquotedValue;
    }
  }
  if (AtEnd()) return false;
  if (Cur() == u'&') {
    if (!EntityStep()) {
      ++pos_;
      nodeType_ = kEntityReference;
      SetName(u"amp");
      listener_->EntityReference(*this);
    }
    return true;
  }
  const std::size_t end =
      state_ == kQuotedValue ? FindEither(text_, pos_, quoteChar_, u'&') : ScanUntil(pos_, kValueDelims);
  if (end == pos_) return false;
  valueView_ = text_.substr(pos_, end - pos_);
  pos_ = end;
  nodeType_ = kText;
  listener_->TextNode(*this);
  return true;
}

}  // namespace orvix
