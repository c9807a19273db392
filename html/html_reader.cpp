#include "html/html_reader.h"

#include <algorithm>

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

bool IsDelim(char16_t c, int set) { return c < 256 && (kDelims.bits[c] >> set & 1) != 0; }

}  // namespace

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

std::u16string THtmlReader::QualifiedName() const {
  if (prefix_.empty()) return localName_;
  std::u16string name;
  name.reserve(prefix_.size() + 1 + localName_.size());
  name += prefix_;
  name += u':';
  name += localName_;
  return name;
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
  std::size_t i = from;
  while (i < text_.size() && !IsDelim(text_[i], set)) ++i;
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

std::size_t THtmlReader::FindCharFrom(std::size_t from, char16_t ch) {
  ScanCache& c = charScans_[ch];
  if (from >= c.from && from <= c.at) return c.at;
  std::size_t at = std::u16string_view(text_).find(ch, from);
  if (at == std::u16string::npos) at = text_.size();
  c.from = from;
  c.at = at;
  return at;
}

void THtmlReader::SetLowerName(std::u16string_view name) {
  // Lower-cased in place: no temporary string per tag or attribute name.
  SetName(name);
  for (char16_t& c : prefix_)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  for (char16_t& c : localName_)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
}

void THtmlReader::SetName(std::u16string_view name) {
  std::size_t colon = name.find(u':');
  if (colon == std::u16string_view::npos) {
    prefix_.clear();
    localName_.assign(name);
  } else {
    prefix_.assign(name.substr(0, colon));
    localName_.assign(name.substr(colon + 1));
  }
}

bool THtmlReader::Read() {
  nodeType_ = kNone;
  prefix_.clear();
  localName_.clear();
  valueView_ = {};
  nodeValueMade_ = false;
  publicId_.clear();
  systemId_.clear();
  isEmptyElement_ = false;
  if (AtEnd()) return false;

  if (state_ == kAfterAttrName || state_ == kUnquotedValue || state_ == kQuotedValue) {
    if (AttributeValueStep()) return true;
    if (state_ == kQuotedValue && !AtEnd()) ++pos_;  // the closing quote
    nodeType_ = kAttributeEnd;
    Fire(OnAttributeEnd, *this);
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
      Fire(OnEntityReference, *this);
    }
  } else if (c == u'&') {
    if (!EntityStep()) {
      ++pos_;
      nodeType_ = kEntityReference;
      SetName(u"amp");
      Fire(OnEntityReference, *this);
    }
  } else {
    std::size_t end = std::u16string_view(text_).find_first_of(u"&<", pos_);
    if (end == std::u16string::npos) end = text_.size();
    valueView_ = text_.substr(pos_, end - pos_);
    pos_ = end;
    nodeType_ = kText;
    Fire(OnTextNode, *this);
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
  std::size_t gt = FindFrom(pos_, u">", gtAbsentFrom_);
  pos_ = gt == std::u16string::npos ? text_.size() : gt + 1;
  nodeType_ = kElement;
  Fire(OnElementEnd, *this);
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
      std::size_t end = ScanUntil(pos_, kNameDelims);
      if (end > pos_) {
        SetLowerName(text_.substr(pos_, end - pos_));
        pos_ = end;
        nodeType_ = kElement;
        state_ = kInStartTag;
        Fire(OnElementStart, *this);
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
  const std::size_t nameEnd = ScanUntil(pos_, kNameDelims);
  if (nameEnd == pos_) return false;
  const std::size_t gt = FindFrom(nameEnd, u">", gtAbsentFrom_);
  if (gt == std::u16string::npos) return false;
  SetLowerName(text_.substr(pos_, nameEnd - pos_));
  pos_ = gt + 1;
  nodeType_ = kEndTag;
  Fire(OnEndElement, *this);
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
    const std::size_t gt = FindFrom(pos_, u">", gtAbsentFrom_);
    if (gt == std::u16string::npos) return false;
    pos_ = gt + 1;
  }
  SetName(std::u16string_view(text_).substr(nameStart, nameEnd - nameStart));
  publicId_ = std::move(publicId);
  systemId_ = std::move(systemId);
  Fire(OnDocType, *this);
  return true;
}

bool THtmlReader::CDataSection() {
  pos_ += 7;  // "[CDATA["
  const std::size_t close = FindFrom(pos_, u"]]>", cdataEndAbsentFrom_);
  if (close == std::u16string::npos) return false;
  valueView_ = text_.substr(pos_, close - pos_);
  pos_ = close + 3;
  nodeType_ = kCData;
  Fire(OnCDataSection, *this);
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
  Fire(OnComment, *this);
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
    Fire(OnTextNode, *this);
    return true;
  }
  const std::size_t nameEnd = ScanUntil(pos_, kEntityDelims);
  if (nameEnd >= text_.size() || text_[nameEnd] != u';') {
    pos_ = start;
    return false;
  }
  nodeType_ = kEntityReference;
  SetName(std::u16string_view(text_).substr(pos_, nameEnd - pos_));
  pos_ = nameEnd + 1;
  Fire(OnEntityReference, *this);
  return true;
}

bool THtmlReader::AttributeNameStep() {
  SkipBlanks();
  const std::size_t end = ScanUntil(pos_, kAttrNameDelims);
  if (end == pos_) return false;
  SetLowerName(text_.substr(pos_, end - pos_));
  pos_ = end;
  Fire(OnAttributeStart, *this);
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
      Fire(OnEntityReference, *this);
    }
    return true;
  }
  std::size_t end;
  if (state_ == kQuotedValue) {
    const char16_t stops[] = {quoteChar_, u'&'};
    end = std::u16string_view(text_).find_first_of(std::u16string_view(stops, 2), pos_);
    if (end == std::u16string::npos) end = text_.size();
  } else {
    end = ScanUntil(pos_, kValueDelims);
  }
  if (end == pos_) return false;
  valueView_ = text_.substr(pos_, end - pos_);
  pos_ = end;
  nodeType_ = kText;
  Fire(OnTextNode, *this);
  return true;
}

}  // namespace orvix
