#include "html/dom_element.h"

#include "html/dom_document.h"
#include "html/dom_named_node_map.h"
#include "html/html_tables.h"

namespace orvix {

static_assert(tag::Count <= 255, "tag numbers are kept in one byte");

TElement::TElement(TDocument* owner, std::u16string_view name) : TNode(owner) {
  SetLocalName(name);
  isElement_ = true;
  tagNumber_ = static_cast<std::uint8_t>(HtmlTagNumber(localName()));
}

TElement::TElement(TDocument* owner, std::u16string_view name, int tagNumber) : TNode(owner) {
  // A known tag is named by the tag table's own string (kept for the whole
  // run), which spares the lookup of the name.
  const THtmlTagList& tags = HtmlTags();
  const THtmlTag* tag = tagNumber > 0 && tagNumber <= tags.Count() ? &tags.Item(tagNumber - 1) : nullptr;
  if (tag != nullptr && tag->number == tagNumber && tag->name == name) sharedName_ = &tag->name;
  else SetLocalName(name);
  isElement_ = true;
  tagNumber_ = static_cast<std::uint8_t>(tagNumber);
}

TElement::TElement(TDocument* owner, int namespaceIndex, const std::u16string& qualifiedName)
    : TNode(owner) {
  namespaceIndex_ = namespaceIndex;
  const std::size_t colon = qualifiedName.find(u':');
  if (colon == std::u16string::npos) {
    SetLocalName(qualifiedName);
  } else {
    const std::u16string_view q(qualifiedName);
    SetQualifiedName(q.substr(0, colon), q.substr(colon + 1));
  }
  isElement_ = true;
  tagNumber_ = static_cast<std::uint8_t>(HtmlTagNumber(nodeName()));
}

TElement::~TElement() {
  // The attribute map goes with this part of the node (it frees what it
  // still holds); what remains of the node is no element any more.
  isElement_ = false;
}

bool TElement::allowsChild(const TNode& child) const {
  switch (child.nodeType()) {
    case ELEMENT_NODE:
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case ENTITY_REFERENCE_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
    case DOCUMENT_FRAGMENT_NODE:
      return true;
    default:  // attributes are never children either
      return false;
  }
}

std::unique_ptr<TNode> TElement::ShallowCopy(TDocument& doc) const {
  return doc.createElement(nodeName());
}

std::unique_ptr<TNode> TElement::cloneNode(bool deep) const {
  return importInto(*ownerDocument_, deep);
}

std::unique_ptr<TAttr> TElement::setAttributeNode(std::unique_ptr<TAttr>&& attr) {
  if (attr && attr->parent_ != nullptr) throw DomException(dom_error::InUseAttribute);
  return attributes()->setNamedItem(std::move(attr));
}

void TElement::AdoptDistinctAttributes(std::vector<std::unique_ptr<TAttr>>& attrs) {
  NodeArray& items = attributes_.items_;
  std::size_t count = 0;
  for (const auto& attr : attrs) count += attr ? 1 : 0;
  TNodeArena* arena = attributes_.Arena();
  items.Reserve(items.size() + count, arena);
  for (auto& attr : attrs) {
    if (!attr) continue;
    attr->SetParent(this);
    items.PushBack(attr.release(), arena);  // never grows: room was made above
  }
}

TAttr* TElement::getAttributeNode(const std::u16string& name) const {
  return attributes_.getNamedItem(name);
}

bool TElement::hasAttribute(const std::u16string& name) const {
  return getAttributeNode(name) != nullptr;
}

std::u16string TElement::getAttribute(const std::u16string& name) const {
  const TAttr* attr = getAttributeNode(name);
  return attr ? attr->nodeValue() : std::u16string();
}

}  // namespace orvix
