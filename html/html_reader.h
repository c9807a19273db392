// THtmlReader: a tolerant pull tokenizer over one UTF-16 HTML text.
//
// Each Read consumes one token and reports it through exactly one event: to
// the Listener when one is set (the tree builder sets itself, one virtual
// call per token), otherwise to the matching Handler member. The caller
// calls Read until it returns false. Nothing here ever fails: whatever does not form a token is
// reported as text or as an "lt"/"amp" entity reference, and junk inside a
// start tag is skipped up to the next ">".
//
// The reader works in a single forward pass. Searches that can fail (the
// closing ">" of an end tag, "-->", "]]>", a DOCTYPE quote) remember where
// they failed, and name scans remember where the next delimiter is, so a page
// made of thousands of unterminated constructs is still read in linear time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orvix {

struct THtmlTag;
class THtmlTagList;

class THtmlReader {
 public:
  // Token kinds reported in nodeType().
  enum : std::int32_t {
    kNone = 0,
    kElement = 1,       // start tag name, and the end of the start tag
    kAttributeEnd = 2,
    kText = 3,
    kCData = 4,
    kEntityReference = 5,
    kComment = 8,
    kEndTag = 255,
  };

  // Where the reader stands relative to tags.
  enum : std::uint8_t {
    kContent = 0,
    kInStartTag = 1,       // after the tag name, between attributes
    kAfterAttrName = 2,
    kUnquotedValue = 3,
    kQuotedValue = 4,
  };

  using Handler = std::function<void(THtmlReader&)>;

  // Receives every event when set with SetListener, in place of the Handler
  // members: one virtual call per token instead of a std::function call
  // through a lambda, which matters to the tree builder on large pages.
  class Listener {
   public:
    virtual void AttributeEnd(THtmlReader& r) = 0;
    virtual void AttributeStart(THtmlReader& r) = 0;
    virtual void CDataSection(THtmlReader& r) = 0;
    virtual void Comment(THtmlReader& r) = 0;
    virtual void DocType(THtmlReader& r) = 0;
    virtual void ElementEnd(THtmlReader& r) = 0;
    virtual void ElementStart(THtmlReader& r) = 0;
    virtual void EndElement(THtmlReader& r) = 0;
    virtual void EntityReference(THtmlReader& r) = 0;
    virtual void TextNode(THtmlReader& r) = 0;

   protected:
    ~Listener() = default;
  };

  THtmlReader();
  virtual ~THtmlReader() = default;
  THtmlReader(const THtmlReader&) = delete;
  THtmlReader& operator=(const THtmlReader&) = delete;

  // Events go to `listener` (which must outlive its use here) instead of the
  // Handler members; nullptr goes back to the Handler members.
  void SetListener(Listener* listener);

  // Stores the text and rewinds to its start. State, quote and token fields
  // keep their values (a fresh reader starts in content).
  void SetSource(std::u16string text);
  // The same without a copy: the reader reads `text` in place, which must
  // stay unchanged and alive while the reader reads it.
  void SetSourceView(std::u16string_view text);
  // Lets go of a text given to SetSourceView: the current token's name and
  // value become the reader's own copies, and reading ends.
  void ReleaseSource();
  // Back to content outside any tag. A text that ended inside a tag (say an
  // open quoted value) leaves the reader there; a new document must not
  // start in that state.
  void ResetState() {
    state_ = kContent;
    quoteChar_ = 0;
  }

  // Consumes one token and fires its event; false once the input is used up.
  bool Read();

  // prefix ":" localName, or localName when there is no prefix.
  std::u16string QualifiedName() const { return std::u16string(qualifiedNameView()); }

  // The current name without copies: slices of the input, or of the
  // reader's own buffer when the name had to be lower-cased. They stay valid
  // until the next Read.
  std::u16string_view qualifiedNameView() const { return colon_ == 0 ? name_.substr(1) : name_; }
  std::u16string_view prefixView() const {
    return colon_ == std::u16string_view::npos ? std::u16string_view() : name_.substr(0, colon_);
  }
  std::u16string_view localNameView() const {
    return colon_ == std::u16string_view::npos ? name_ : name_.substr(colon_ + 1);
  }
  // The entry of the tag table for the name of a start or end tag (the
  // sentinel, number 0, for an unknown name).
  const THtmlTag& tag() const;

  std::u16string_view source() const { return text_; }
  // 1-based index of the next character.
  std::int32_t position() const { return static_cast<std::int32_t>(pos_ + 1); }
  std::int32_t nodeType() const { return nodeType_; }
  // The name parts as strings, made when first asked for.
  const std::u16string& prefix() const {
    MakeNameStrings();
    return prefix_;
  }
  const std::u16string& localName() const {
    MakeNameStrings();
    return localName_;
  }
  // The value of a text, CDATA or comment token. The reader keeps it as a
  // slice of the input (or of its own one-character buffer for a character
  // reference) and makes the string only when asked for it.
  const std::u16string& nodeValue() const {
    if (!nodeValueMade_) {
      nodeValue_.assign(valueView_);
      nodeValueMade_ = true;
    }
    return nodeValue_;
  }
  std::u16string_view nodeValueView() const { return valueView_; }
  const std::u16string& publicId() const { return publicId_; }
  const std::u16string& systemId() const { return systemId_; }
  bool isEmptyElement() const { return isEmptyElement_; }
  std::uint8_t state() const { return state_; }
  char16_t quoteChar() const { return quoteChar_; }

  Handler OnAttributeEnd;
  Handler OnAttributeStart;
  Handler OnCDataSection;
  Handler OnComment;
  Handler OnDocType;
  Handler OnElementEnd;
  Handler OnElementStart;
  Handler OnEndElement;
  Handler OnEntityReference;
  Handler OnTextNode;

 private:
  // The delimiter sets of the different name and value scans.
  enum DelimSet { kNameDelims, kAttrNameDelims, kValueDelims, kEntityDelims, kDelimSetCount };

  // A remembered scan result: from `from`, the first delimiter (or the end)
  // is at `at`. It answers for every start in [from, at].
  struct ScanCache {
    std::size_t from = 1;
    std::size_t at = 0;
  };

  bool AtEnd() const { return pos_ >= text_.size(); }
  char16_t Cur() const { return text_[pos_]; }
  bool Matches(std::u16string_view s) const;
  bool MatchesNoCase(std::u16string_view s) const;
  void SkipBlanks();
  // Index of the first character of `set` at or after `from` (or the size).
  std::size_t ScanUntil(std::size_t from, DelimSet set);
  // ScanUntil for a tag or attribute name, which also makes the characters
  // passed the current name, lower-cased (an empty name when there are
  // none). Callers that then find no tag overwrite it before any event.
  std::size_t ScanName(std::size_t from, DelimSet set);
  // Index of the next occurrence of `s` at or after `from`, npos when absent.
  std::size_t FindFrom(std::size_t from, std::u16string_view s, std::size_t& absentFrom);
  // The same for the ">" that ends a tag.
  std::size_t FindGreaterFrom(std::size_t from);
  std::size_t FindCharFrom(std::size_t from, char16_t c);
  // The name as written.
  void SetName(std::u16string_view name);
  void MakeNameStrings() const;

  bool TagStep();
  bool EndTag();
  bool DocType();
  bool CDataSection();
  bool Comment();
  bool EntityStep();
  bool AttributeNameStep();
  bool AttributeValueStep();
  void EndStartTag();

  Listener* listener_;
  const THtmlTagList* tags_;
  std::u16string source_;  // owned copy given to SetSource
  std::u16string_view text_;  // what is read: source_, or the caller's text
  std::size_t pos_ = 0;  // 0-based; position() reports it 1-based
  std::int32_t nodeType_ = kNone;
  // The current name (prefix ":" localName as written, or lower-cased), the
  // index of its first colon (npos without one), and for names of up to
  // eight ASCII characters the packed key of the tag table (0 otherwise).
  std::u16string_view name_;
  std::size_t colon_ = std::u16string_view::npos;
  std::uint64_t tagKey_ = 0;
  std::u16string lowerName_;  // holds name_ when it was lower-cased
  std::u16string heldName_;   // holds name_ after ReleaseSource
  mutable std::u16string prefix_;
  mutable std::u16string localName_;
  mutable bool nameStringsMade_ = true;
  std::u16string_view valueView_;
  mutable std::u16string nodeValue_;
  mutable bool nodeValueMade_ = true;
  char16_t charRef_ = 0;  // the character of a numeric reference
  std::u16string publicId_;
  std::u16string systemId_;
  bool hasIds_ = false;  // publicId_ or systemId_ may be non-empty
  bool isEmptyElement_ = false;
  std::uint8_t state_ = kContent;
  char16_t quoteChar_ = 0;

  ScanCache scans_[kDelimSetCount];
  std::unordered_map<char16_t, ScanCache> charScans_;
  std::size_t gtAbsentFrom_ = SIZE_MAX;
  std::size_t commentEndAbsentFrom_ = SIZE_MAX;
  std::size_t cdataEndAbsentFrom_ = SIZE_MAX;
};

}  // namespace orvix
