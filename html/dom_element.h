// An element with its attribute map.
#pragma once

#include <memory>
#include <vector>

#include "html/dom_named_node_map.h"
#include "html/dom_node.h"

namespace orvix {

class TAttr;

class TElement : public TNode {
 public:
  // createElement: the whole `name` is the local name, even with a ":".
  TElement(TDocument* owner, std::u16string_view name);
  // The same with the tag number already looked up (by the tree builder).
  TElement(TDocument* owner, std::u16string_view name, int tagNumber);
  // createElementNS: `name` split at its first ":" into prefix and local
  // name; `namespaceIndex` points into the document's namespace table.
  TElement(TDocument* owner, int namespaceIndex, const std::u16string& qualifiedName);
  ~TElement() override;

  int nodeType() const override { return ELEMENT_NODE; }
  bool allowsChild(const TNode& child) const override;
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  // Attaches `attr` and hands back the attribute of the same name it
  // displaces (or nullptr). Raises InUseAttribute when `attr` already has an
  // owner element; the caller keeps it then.
  std::unique_ptr<TAttr> setAttributeNode(std::unique_ptr<TAttr>&& attr);
  TAttr* getAttributeNode(const std::u16string& name) const;
  bool hasAttribute(const std::u16string& name) const;
  // The value of the named attribute, or empty when there is none.
  std::u16string getAttribute(const std::u16string& name) const;

  std::u16string tagName() const { return nodeName(); }
  // The number of nodeName in the tag table (0 for an unknown name), fixed at
  // creation so the tree builder and the formatter need no lookups.
  int tagNumber() const { return tagNumber_; }

  // For the tree builder: appends the attributes of one start tag in order,
  // skipping empty slots. Their names are distinct and none of them is in
  // the map yet, so no namesake search is needed.
  void AdoptDistinctAttributes(std::vector<std::unique_ptr<TAttr>>& attrs);

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;

 private:
  friend class TNode;
  // Part of the element: three quarters of a page's elements have
  // attributes, and a separate map would cost them a block of its own.
  mutable TNamedNodeMap attributes_{this};
};

}  // namespace orvix
