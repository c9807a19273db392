// Ordered list of node references. The list never owns its nodes: a node's
// child list is managed by the node itself, which owns the children.
#pragma once

#include <vector>

namespace orvix {

class TNode;

class TNodeList {
 public:
  explicit TNodeList(TNode* owner) : owner_(owner) {}
  virtual ~TNodeList() = default;
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;

  virtual int length() const { return static_cast<int>(items_.size()); }
  // The node at `index`, or nullptr when index < 0 or index >= length().
  virtual TNode* item(int index) const {
    return index < 0 || index >= static_cast<int>(items_.size()) ? nullptr : items_[index];
  }
  TNode* owner() const { return owner_; }

 protected:
  friend class TNode;
  friend class TAttr;
  friend class TElement;
  friend class TDocument;
  friend class TSearchNodeList;
  // Position of `node` in the list, or -1.
  int IndexOf(const TNode* node) const;

  TNode* owner_;
  std::vector<TNode*> items_;
};

}  // namespace orvix
