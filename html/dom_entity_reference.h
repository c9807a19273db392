// A reference to a named character entity; its name is the local name.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TEntityReference : public TNode {
 public:
  TEntityReference(TDocument* owner, std::u16string_view name) : TNode(owner) { SetLocalName(name); }
  int nodeType() const override { return ENTITY_REFERENCE_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

}  // namespace orvix
