// Ordered list of node references. The list never owns its nodes: a node's
// child list is managed by the node itself, which owns the children.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include "html/dom_node_arena.h"

namespace orvix {

class TNode;
class TNodeArena;

// Allocator of the node arrays of child lists and attribute maps: from the
// arena of the nodes' document when there is one, else from the heap. A
// page's elements each have such an array, and most are small.
template <class T>
class ArenaAllocator {
 public:
  using value_type = T;
  ArenaAllocator() = default;
  explicit ArenaAllocator(TNodeArena* arena) : arena_(arena) {}
  template <class U>
  ArenaAllocator(const ArenaAllocator<U>& other) : arena_(other.arena()) {}
  T* allocate(std::size_t n);
  void deallocate(T* p, std::size_t n) noexcept;
  TNodeArena* arena() const { return arena_; }
  friend bool operator==(const ArenaAllocator& a, const ArenaAllocator& b) { return a.arena_ == b.arena_; }

 private:
  TNodeArena* arena_ = nullptr;
};

template <class T>
T* ArenaAllocator<T>::allocate(std::size_t n) {
  const std::size_t bytes = (n * sizeof(T) + TNodeArena::kAlign - 1) / TNodeArena::kAlign * TNodeArena::kAlign;
  if (arena_ != nullptr && TNodeArena::Serves(bytes)) return static_cast<T*>(arena_->Allocate(bytes));
  return static_cast<T*>(::operator new(n * sizeof(T)));
}

template <class T>
void ArenaAllocator<T>::deallocate(T* p, std::size_t n) noexcept {
  const std::size_t bytes = (n * sizeof(T) + TNodeArena::kAlign - 1) / TNodeArena::kAlign * TNodeArena::kAlign;
  if (arena_ != nullptr && TNodeArena::Serves(bytes)) arena_->Release(p, bytes);
  else ::operator delete(p);
}

// The array behind a node list.
using NodeArray = std::vector<TNode*, ArenaAllocator<TNode*>>;

class TNodeList {
 public:
  explicit TNodeList(TNode* owner) : owner_(owner) {}
  TNodeList(TNode* owner, TNodeArena* arena) : owner_(owner), items_(ArenaAllocator<TNode*>(arena)) {}
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
  NodeArray items_;
};

}  // namespace orvix
