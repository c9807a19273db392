#include "html/dom_attr.h"

#include "html/dom_document.h"
#include "html/html_tables.h"

namespace orvix {

bool TAttr::allowsChild(const TNode& child) const {
  const int type = child.nodeType();
  return type == TEXT_NODE || type == ENTITY_REFERENCE_NODE;
}

std::u16string TAttr::nodeValue() const {
  std::u16string value;
  for (const TNode* child : childNodes_.items_) {
    switch (child->nodeType()) {
      case TEXT_NODE:
        value += static_cast<const TCharacterData*>(child)->data();
        break;
      case ENTITY_REFERENCE_NODE:
        value += EntityCode(child->nodeName());
        break;
      default:
        break;
    }
  }
  return value;
}

void TAttr::setNodeValue(const std::u16string& value) {
  std::unique_ptr<TTextNode> text = ownerDocument_->createTextNode(value);
  NodeArray old(std::move(childNodes_.items_));
  for (TNode* child : old) {
    std::unique_ptr<TNode> doomed(child);
  }
  old.Free(childNodes_.Arena());
  appendChild(std::move(text));
}

TElement* TAttr::ownerElement() const {
  return parent_ != nullptr && parent_->nodeType() == ELEMENT_NODE ? static_cast<TElement*>(parent_)
                                                                    : nullptr;
}

std::unique_ptr<TNode> TAttr::ShallowCopy(TDocument& doc) const {
  return doc.createAttribute(nodeName());
}

std::unique_ptr<TNode> TAttr::importInto(TDocument& doc, bool) const {
  std::unique_ptr<TNode> copy = ShallowCopy(doc);
  CopyChildrenTo(*copy, doc);
  return copy;
}

std::unique_ptr<TNode> TAttr::cloneNode(bool deep) const {
  return importInto(*ownerDocument_, deep);
}

}  // namespace orvix
