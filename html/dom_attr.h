// An attribute. Its value is held as child nodes (text and entity
// references), as the HTML reader delivers it.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TAttr : public TNode {
 public:
  // The whole `name` is the local name (no namespace handling).
  TAttr(TDocument* owner, std::u16string_view name) : TNode(owner) { SetLocalName(name); }

  int nodeType() const override { return ATTRIBUTE_NODE; }
  // Always nullptr: an attribute is not a child of its element.
  TNode* parentNode() const override { return nullptr; }
  bool allowsChild(const TNode& child) const override;
  // Text children as written, entity references as their characters (a
  // blank for a name outside the entity table), other children nothing.
  std::u16string nodeValue() const override;
  // Replaces the children by one text node holding `value`.
  void setNodeValue(const std::u16string& value) override;
  std::unique_ptr<TNode> importInto(TDocument& doc, bool deep) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  TElement* ownerElement() const;
  std::u16string name() const { return nodeName(); }
  std::u16string value() const { return nodeValue(); }

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;

 private:
  friend class TElement;
  friend class TNamedNodeMap;
};

}  // namespace orvix
