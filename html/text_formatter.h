// HTML-to-text rendering of DOM content.
//
// TBaseFormatter walks the nodes (iteratively, so any depth is safe) and
// dispatches by node type; TTextFormatter supplies the plain-text rules:
// collapsed whitespace, entities as characters, "* " before list items,
// preformatted text kept. TStringBuilder collects the output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvix {

class TAttr;
class TCDATASection;
class TComment;
class TDocument;
class TElement;
class TEntityReference;
class TNode;
class TProcessingInstruction;
class TTextNode;

// Append-only wide text buffer that grows by doubling its capacity.
class TStringBuilder {
 public:
  explicit TStringBuilder(int capacity = 65530);
  void Append(std::u16string_view text);
  void Append(char16_t c);
  bool EndsWith(std::u16string_view text) const;
  // True when the last character is U+0009, U+000A, U+000D or U+0020.
  bool LastIsBlank() const;
  bool IsEmpty() const { return length_ == 0; }
  int Length() const { return static_cast<int>(length_); }
  int Capacity() const { return static_cast<int>(capacity_); }
  std::u16string Contents() const { return buffer_.substr(0, length_); }

 private:
  void Grow(std::size_t needed);
  std::size_t capacity_;
  std::size_t length_ = 0;
  std::u16string buffer_;
};

// Bits of TBaseFormatter::nodeFilter. Elements are always rendered.
namespace format_filter {
enum : int {
  Element = 1,
  Attribute = 2,
  Text = 4,
  CData = 8,
  EntityReference = 16,
  ProcessingInstruction = 64,
  Comment = 128,
  All = -1,
};
}  // namespace format_filter

class TBaseFormatter {
 public:
  TBaseFormatter() = default;
  virtual ~TBaseFormatter() = default;
  TBaseFormatter(const TBaseFormatter&) = delete;
  TBaseFormatter& operator=(const TBaseFormatter&) = delete;

  // The rendering of the element's children (its own tag adds nothing);
  // empty for nullptr.
  std::u16string Render(const TElement* element);
  // The rendering of the document element itself; empty without one.
  std::u16string RenderDocument(const TDocument* document);

  int nodeFilter = format_filter::All;
  bool resolveEntities = false;
  bool preformatted = false;
  // Paragraph and line breaks around block elements. No caller sets it.
  bool lineBreaks = false;
  int depth() const { return depth_; }

 protected:
  virtual void Write(std::u16string_view text);
  virtual void RenderAttributes(const TElement& element);
  virtual void RenderCData(const TCDATASection& node);
  virtual void RenderComment(const TComment& node);
  // The element's own part before and after its children; the walk between
  // them is the formatter's, without recursion.
  virtual void EnterElement(const TElement& element);
  virtual void LeaveElement(const TElement& element);
  virtual void RenderEntityReference(const TEntityReference& node);
  virtual void RenderProcessingInstruction(const TProcessingInstruction& node);
  virtual void RenderText(const TTextNode& node);

  TStringBuilder& Builder() { return *builder_; }

 private:
  // Renders the children of `root` (and, with `includeRoot`, root's own
  // enter and leave parts), walking with an explicit stack.
  void Walk(const TElement& root, bool includeRoot);
  // Renders one non-element node according to the filter.
  void RenderLeaf(const TNode& node);

  const TDocument* document_ = nullptr;
  TStringBuilder* builder_ = nullptr;
  int depth_ = 0;
};

class TTextFormatter : public TBaseFormatter {
 public:
  TTextFormatter();

  // The texts of a link and of an image: the "href" and "alt" attribute
  // values of the element (empty when absent).
  virtual std::u16string LinkText(const TElement& element) const;
  virtual std::u16string AltText(const TElement& element) const;

 protected:
  // Drops leading U+0020 when the output is empty or ends with a blank, so
  // at most one blank stands between pieces.
  void Write(std::u16string_view text) override;
  void EnterElement(const TElement& element) override;
  void LeaveElement(const TElement& element) override;
  // "nbsp" is an ordinary blank; every other name its character.
  void RenderEntityReference(const TEntityReference& node) override;
  // Runs of blanks become one U+0020, except inside pre.
  void RenderText(const TTextNode& node) override;

 private:
  void ParagraphBreak();
  void LineBreak();
};

}  // namespace orvix
