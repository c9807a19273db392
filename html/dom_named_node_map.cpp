#include "html/dom_named_node_map.h"

#include "html/dom_attr.h"
#include "html/dom_element.h"

namespace orvix {

TNamedNodeMap::TNamedNodeMap(TElement* owner) : TNodeList(owner) {}

TNamedNodeMap::~TNamedNodeMap() {
  // Normally the element has already taken its attributes out; this covers a
  // map that still holds some.
  for (TNode* attr : items_) {
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
  const std::u16string name = attr->nodeName();
  int index = -1;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->nodeName() == name) {
      index = static_cast<int>(i);
      break;
    }
  }
  // Room first, so a failure to grow leaves the map as it was.
  if (index < 0) items_.Reserve(items_.size() + 1, Arena());
  std::unique_ptr<TAttr> displaced;
  if (index >= 0) {
    displaced.reset(static_cast<TAttr*>(items_[static_cast<std::size_t>(index)]));
    items_.Erase(static_cast<std::size_t>(index));
    displaced->SetParent(nullptr);
  }
  attr->SetParent(owner_);
  items_.PushBack(attr.release(), Arena());
  return displaced;
}

}  // namespace orvix
