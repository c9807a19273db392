#include "html/dom_named_node_map.h"

#include "html/dom_attr.h"
#include "html/dom_element.h"

namespace orvix {

TNamedNodeMap::TNamedNodeMap(TElement* owner) : TNodeList(owner, owner->ArenaOf(owner->ownerDocument())) {}

TNamedNodeMap::~TNamedNodeMap() {
  // Normally the element has already taken its attributes out; this covers a
  // map that still holds some.
  for (TNode* attr : items_) {
    attr->parent_ = nullptr;
    std::unique_ptr<TNode> doomed(attr);
  }
}

TAttr* TNamedNodeMap::getNamedItem(const std::u16string& name) const {
  for (TNode* node : items_) {
    // Cheap pre-test on the local name before building the full node name.
    if (node->prefix().empty() ? node->localName() == name : node->nodeName() == name)
      return static_cast<TAttr*>(node);
  }
  return nullptr;
}

std::unique_ptr<TAttr> TNamedNodeMap::setNamedItem(std::unique_ptr<TAttr>&& attr) {
  if (!attr) throw DomException(dom_error::NotFound);
  if (attr->ownerDocument() != owner_->ownerDocument()) throw DomException(dom_error::WrongDocument);
  TElement* ownerElement = attr->ownerElement();
  if (ownerElement != nullptr && ownerElement != owner_) throw DomException(dom_error::InUseAttribute);
  std::unique_ptr<TAttr> displaced;
  const std::u16string name = attr->nodeName();
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->nodeName() == name) {
      displaced.reset(static_cast<TAttr*>(*it));
      items_.erase(it);
      break;
    }
  }
  items_.push_back(attr.release());
  return displaced;
}

}  // namespace orvix
