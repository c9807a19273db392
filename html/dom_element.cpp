#include "html/dom_element.h"

#include "html/dom_document.h"
#include "html/dom_named_node_map.h"
#include "html/html_tables.h"

namespace orvix {

TElement::TElement(TDocument* owner, std::u16string name) : TNode(owner) {
  SetLocalName(name);
  isElement_ = true;
  tagNumber_ = HtmlTagNumber(*localName_);
}

TElement::TElement(TDocument* owner, std::u16string name, int tagNumber) : TNode(owner) {
  SetLocalName(name);
  isElement_ = true;
  tagNumber_ = tagNumber;
}

TElement::TElement(TDocument* owner, int namespaceIndex, const std::u16string& qualifiedName)
    : TNode(owner) {
  namespaceIndex_ = namespaceIndex;
  const std::size_t colon = qualifiedName.find(u':');
  if (colon == std::u16string::npos) {
    SetLocalName(qualifiedName);
  } else {
    prefix_ = std::make_unique<std::u16string>(qualifiedName.substr(0, colon));
    SetLocalName(std::u16string_view(qualifiedName).substr(colon + 1));
  }
  isElement_ = true;
  tagNumber_ = HtmlTagNumber(nodeName());
}

TElement::~TElement() = default;

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
  TAttr* added = attr.get();
  std::unique_ptr<TAttr> displaced = attributes()->setNamedItem(std::move(attr));
  if (displaced) displaced->parent_ = nullptr;
  added->parent_ = this;
  return displaced;
}

void TElement::AdoptDistinctAttributes(std::vector<std::unique_ptr<TAttr>>& attrs) {
  auto& items = attributes()->items_;
  items.reserve(items.size() + attrs.size());
  for (auto& attr : attrs) {
    if (!attr) continue;
    attr->parent_ = this;
    items.push_back(attr.release());
  }
}

TAttr* TElement::getAttributeNode(const std::u16string& name) const {
  return attributes_ ? attributes_->getNamedItem(name) : nullptr;
}

bool TElement::hasAttribute(const std::u16string& name) const {
  return getAttributeNode(name) != nullptr;
}

std::u16string TElement::getAttribute(const std::u16string& name) const {
  const TAttr* attr = getAttributeNode(name);
  return attr ? attr->nodeValue() : std::u16string();
}

}  // namespace orvix
