#include "html/dom_entity_reference.h"

#include "html/dom_document.h"

namespace orvix {

std::unique_ptr<TNode> TEntityReference::ShallowCopy(TDocument& doc) const {
  return doc.createEntityReference(nodeName());
}

std::unique_ptr<TNode> TEntityReference::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

}  // namespace orvix
