// THtmlParser: builds a DOM document from HTML text with the small repair
// rules of sloppy pages: implicit html and body, paragraphs, list items,
// table cells and rows that close when the next one starts, void elements,
// and end tags that close everything opened inside them. It never reports an
// error; a refusal of the DOM ends the parse with the document built so far.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/dom.h"
#include "html/html_reader.h"
#include "html/html_tables.h"

namespace orvix {

// The builder listens to its reader directly (see THtmlReader::Listener);
// the reader's Handler members are not used.
class THtmlParser : private THtmlReader::Listener {
 public:
  THtmlParser();
  virtual ~THtmlParser();
  THtmlParser(const THtmlParser&) = delete;
  THtmlParser& operator=(const THtmlParser&) = delete;

  // A new document for `text`, complete or as far as it could be built. The
  // document belongs to the caller.
  std::unique_ptr<TDocument> Parse(const std::u16string& text);

  THtmlReader& reader() { return *reader_; }

 private:
  // One element on the path from the document down to the current node,
  // with the stack of open elements of the same name it is listed in.
  struct OpenElement {
    TElement* element;
    std::vector<std::uint32_t>* sameName;
  };

  void AttributeEnd(THtmlReader& r) override;
  void AttributeStart(THtmlReader& r) override;
  void CDataSection(THtmlReader& r) override;
  void Comment(THtmlReader& r) override;
  void DocType(THtmlReader& r) override;
  void ElementEnd(THtmlReader& r) override;
  void ElementStart(THtmlReader& r) override;
  void EndElement(THtmlReader& r) override;
  void EntityReference(THtmlReader& r) override;
  void TextNode(THtmlReader& r) override;

  TNode& Current() const;
  std::vector<std::uint32_t>& StackFor(int tagNumber, const std::u16string& name);
  void Push(TElement* element, int tagNumber, const std::u16string& name);
  void PopTo(std::size_t depth);
  void MoveToParentOfRestructuring(int tagNumber);
  void MoveToBody();
  void Reset();
  // Hands the attributes of the start tag just read to their element.
  void FlushAttributes();

  std::unique_ptr<TDocument> document_;
  std::unique_ptr<THtmlReader> reader_;
  // The current node is the attribute being read when there is one, else
  // the innermost open element, else the document.
  TAttr* attribute_ = nullptr;
  const THtmlTag* startTag_ = nullptr;

  // The attributes of the current start tag, kept here until the tag ends:
  // the map's own rule (a later namesake displaces the earlier one and goes
  // to the end) costs a scan of the map per attribute, quadratic for a tag
  // with thousands of them. Here a displaced attribute leaves a hole, and a
  // hash of the names answers once the tag has more than a few.
  TElement* attributeOwner_ = nullptr;
  std::vector<std::unique_ptr<TAttr>> pendingAttributes_;
  // Open addressing by name: each used slot holds the name's hash (high
  // half) and 1 + the position of the latest attribute of that name (low
  // half; 0 for an empty slot). One flat array, no block per attribute, and
  // a probe looks at a name only when the hashes agree.
  std::vector<std::uint64_t> pendingSlots_;
  std::size_t pendingNames_ = 0;
  // The slot of `name` (whose hash is `hash`): its entry, or the empty slot
  // where it belongs.
  std::uint64_t& PendingSlot(std::u16string_view name, std::uint32_t hash);
  void IndexPendingAttributes();

  // The open elements from the top down. Every element on the current path
  // is also listed, by its depth, in the stack of its name, so "the nearest
  // open element of these names" is a look at a few stack tops and closing by
  // an end tag costs only what it closes.
  std::vector<OpenElement> path_;
  std::vector<std::vector<std::uint32_t>> byTag_;
  std::unordered_map<std::u16string, std::vector<std::uint32_t>> byName_;
  // Found once, then fixed: nodes are only ever appended, so the document
  // element and the first body child of it never change during a parse.
  TElement* documentElement_ = nullptr;
  TElement* body_ = nullptr;
};

}  // namespace orvix
