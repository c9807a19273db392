// The live result of a search by tag name. It is rebuilt (one linear walk of
// the root's subtree) on the first length()/item() after any insertion or
// removal in the document, and never includes its root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "html/dom_node_list.h"

namespace orvix {

class TDocument;

class TSearchNodeList : public TNodeList {
 public:
  // `namespaceURI` and `name` are exact filters, "*" matching everything.
  // The name filter is compared with the local name.
  TSearchNodeList(TNode* root, const std::u16string& namespaceURI, const std::u16string& name);
  ~TSearchNodeList() override;

  int length() const override;
  TNode* item(int index) const override;
  TNode* root() const { return owner_; }

 private:
  friend class TDocument;
  void Rebuild() const;
  // The document or the root went away: the list is empty from now on.
  void Orphan();

  // The matches of the last walk, in document order.
  std::vector<TNode*> found_;
  std::u16string namespaceFilter_;
  std::u16string nameFilter_;
  TDocument* document_ = nullptr;
  mutable std::uint64_t builtAt_ = 0;
  mutable bool valid_ = false;
};

}  // namespace orvix
