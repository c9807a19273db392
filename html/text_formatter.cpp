#include "html/text_formatter.h"

#include <algorithm>
#include <vector>

#include "html/dom.h"
#include "html/html_tables.h"

namespace orvix {

namespace {

bool IsBlank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

}  // namespace

TStringBuilder::TStringBuilder(int capacity)
    : capacity_(static_cast<std::size_t>(std::max(capacity, 1))), buffer_(capacity_, u'\0') {}

void TStringBuilder::Grow(std::size_t needed) {
  while (capacity_ < needed) capacity_ *= 2;
  buffer_.resize(capacity_);
}

void TStringBuilder::Append(std::u16string_view text) {
  if (length_ + text.size() > capacity_) Grow(length_ + text.size());
  std::copy(text.begin(), text.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(length_));
  length_ += text.size();
}

void TStringBuilder::Append(char16_t c) { Append(std::u16string_view(&c, 1)); }

bool TStringBuilder::EndsWith(std::u16string_view text) const {
  return text.size() <= length_ &&
         std::u16string_view(buffer_).substr(length_ - text.size(), text.size()) == text;
}

bool TStringBuilder::LastIsBlank() const { return length_ > 0 && IsBlank(buffer_[length_ - 1]); }

// --- TBaseFormatter ---------------------------------------------------------

std::u16string TBaseFormatter::Render(const TElement* element) {
  if (element == nullptr) return {};
  TStringBuilder builder;
  builder_ = &builder;
  depth_ = 0;
  Walk(*element, false);
  builder_ = nullptr;
  return builder.Contents();
}

std::u16string TBaseFormatter::RenderDocument(const TDocument* document) {
  document_ = document;
  const TElement* root = document ? document->documentElement() : nullptr;
  if (root == nullptr) return {};
  TStringBuilder builder;
  builder_ = &builder;
  depth_ = 0;
  Walk(*root, true);
  builder_ = nullptr;
  return builder.Contents();
}

void TBaseFormatter::Walk(const TElement& root, bool includeRoot) {
  // The elements whose children are being rendered, each with the index of
  // its next child. Depth of the tree costs heap, not stack.
  struct Frame {
    const TNode* node;
    int next;
  };
  std::vector<Frame> stack;
  if (includeRoot) {
    ++depth_;
    EnterElement(root);
  }
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.node->childCount()) {
      const TNode* done = top.node;
      stack.pop_back();
      if (done != &root || includeRoot) {
        LeaveElement(static_cast<const TElement&>(*done));
        --depth_;
      }
      continue;
    }
    const TNode* child = top.node->childAt(top.next++);
    if (child->nodeType() == ELEMENT_NODE) {
      ++depth_;
      EnterElement(static_cast<const TElement&>(*child));
      stack.push_back({child, 0});  // `top` is not used after this
    } else {
      RenderLeaf(*child);
    }
  }
}

void TBaseFormatter::RenderLeaf(const TNode& node) {
  switch (node.nodeType()) {
    case TEXT_NODE:
      if (nodeFilter & format_filter::Text) RenderText(static_cast<const TTextNode&>(node));
      break;
    case CDATA_SECTION_NODE:
      if (nodeFilter & format_filter::CData) RenderCData(static_cast<const TCDATASection&>(node));
      break;
    case ENTITY_REFERENCE_NODE:
      if (nodeFilter & format_filter::EntityReference)
        RenderEntityReference(static_cast<const TEntityReference&>(node));
      break;
    case PROCESSING_INSTRUCTION_NODE:
      if (nodeFilter & format_filter::ProcessingInstruction)
        RenderProcessingInstruction(static_cast<const TProcessingInstruction&>(node));
      break;
    case COMMENT_NODE:
      if (nodeFilter & format_filter::Comment) RenderComment(static_cast<const TComment&>(node));
      break;
    default:
      break;
  }
}

void TBaseFormatter::Write(std::u16string_view text) { builder_->Append(text); }
void TBaseFormatter::RenderAttributes(const TElement&) {}
void TBaseFormatter::RenderCData(const TCDATASection&) {}

void TBaseFormatter::RenderComment(const TComment& node) {
  Write(u"<!--");
  Write(node.data());
  Write(u"-->");
}

void TBaseFormatter::EnterElement(const TElement&) {}
void TBaseFormatter::LeaveElement(const TElement&) {}

void TBaseFormatter::RenderEntityReference(const TEntityReference& node) {
  const std::u16string name = node.nodeName();
  if (resolveEntities) {
    const char16_t c = EntityCode(name);
    Write(std::u16string_view(&c, 1));
  } else {
    std::u16string text;
    text.reserve(name.size() + 2);
    text.append(1, u'&').append(name).append(1, u';');
    Write(text);
  }
}

void TBaseFormatter::RenderProcessingInstruction(const TProcessingInstruction&) {}

void TBaseFormatter::RenderText(const TTextNode& node) { Write(node.data()); }

// --- TTextFormatter ---------------------------------------------------------

TTextFormatter::TTextFormatter() {
  nodeFilter = format_filter::Element | format_filter::Text | format_filter::EntityReference;
  resolveEntities = true;
}

std::u16string TTextFormatter::LinkText(const TElement& element) const {
  return element.getAttribute(u"href");
}

std::u16string TTextFormatter::AltText(const TElement& element) const {
  return element.getAttribute(u"alt");
}

void TTextFormatter::Write(std::u16string_view text) {
  if (Builder().IsEmpty() || Builder().LastIsBlank()) {
    const std::size_t first = text.find_first_not_of(u' ');
    text = first == std::u16string_view::npos ? std::u16string_view() : text.substr(first);
  }
  if (!text.empty()) Builder().Append(text);
}

void TTextFormatter::RenderText(const TTextNode& node) {
  const std::u16string_view data = node.data();
  if (preformatted) {
    Write(data);
    return;
  }
  std::u16string collapsed;
  collapsed.reserve(data.size());
  bool inBlanks = false;
  for (char16_t c : data) {
    if (IsBlank(c)) {
      if (!inBlanks) collapsed.push_back(u' ');
      inBlanks = true;
    } else {
      collapsed.push_back(c);
      inBlanks = false;
    }
  }
  Write(collapsed);
}

void TTextFormatter::RenderEntityReference(const TEntityReference& node) {
  if (node.prefix().empty() && node.localName() == u"nbsp") Write(u" ");
  else TBaseFormatter::RenderEntityReference(node);
}

void TTextFormatter::EnterElement(const TElement& element) {
  const int number = element.tagNumber();
  if (lineBreaks && IsFormatterBlock(number)) ParagraphBreak();
  if (number == tag::Li) Write(u"* ");
  if (number == tag::Pre) preformatted = true;
}

void TTextFormatter::LeaveElement(const TElement& element) {
  const int number = element.tagNumber();
  if (number == tag::Pre) preformatted = false;
  if (lineBreaks) {
    if (number == tag::Br) LineBreak();
    if (IsFormatterBlock(number)) ParagraphBreak();
  }
}

void TTextFormatter::ParagraphBreak() {
  TStringBuilder& b = Builder();
  if (b.IsEmpty()) return;
  if (b.EndsWith(u"\r\n")) {
    if (!b.EndsWith(u"\r\n\r\n")) b.Append(u"\r\n");
  } else {
    b.Append(u"\r\n\r\n");
  }
}

void TTextFormatter::LineBreak() {
  TStringBuilder& b = Builder();
  if (!b.IsEmpty() && !b.EndsWith(u"\r\n")) b.Append(u"\r\n");
}

}  // namespace orvix
