// Ordered list of node references. The list never owns its nodes: a node's
// child list is managed by the node itself, which owns the children.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "html/dom_node_arena.h"

namespace orvix {

class TNode;

// The array behind a child list or an attribute map. A page has hundreds of
// thousands of nodes, each with such an array, so it is kept to two words:
// a single entry is held in place (most parents of a page have one child,
// most attributes one text), more live in a block taken from the arena of
// the node that owns the array, or from the heap past the arena's sizes.
// The arena is passed in by the owner; the array does not keep it.
class NodeArray {
 public:
  NodeArray() = default;
  NodeArray(NodeArray&& other) noexcept : size_(other.size_), cap_(other.cap_) {
    one_ = other.one_;
    other.size_ = other.cap_ = 0;
    other.one_ = nullptr;
  }
  NodeArray(const NodeArray&) = delete;
  NodeArray& operator=(const NodeArray&) = delete;
  NodeArray& operator=(NodeArray&&) = delete;
  // The owner frees the storage with Free, which needs its arena.
  ~NodeArray() = default;

  TNode** begin() { return cap_ <= 1 ? &one_ : many_; }
  TNode** end() { return begin() + size_; }
  TNode* const* begin() const { return cap_ <= 1 ? &one_ : many_; }
  TNode* const* end() const { return begin() + size_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TNode* operator[](std::size_t i) const { return begin()[i]; }
  TNode* front() const { return begin()[0]; }
  TNode* back() const { return begin()[size_ - 1]; }

  void Reserve(std::size_t n, TNodeArena* arena);
  void Insert(std::size_t index, TNode* node, TNodeArena* arena) {
    if (size_ == cap_) Reserve(cap_ == 0 ? 1 : cap_ < 3 ? 3 : static_cast<std::size_t>(cap_) * 2, arena);
    TNode** items = begin();
    if (index < size_) std::memmove(items + index + 1, items + index, (size_ - index) * sizeof(TNode*));
    items[index] = node;
    ++size_;
  }
  void PushBack(TNode* node, TNodeArena* arena) { Insert(size_, node, arena); }
  void Erase(std::size_t index) {
    TNode** items = begin();
    std::memmove(items + index, items + index + 1, (size_ - index - 1) * sizeof(TNode*));
    --size_;
  }
  void Clear() { size_ = 0; }
  // Whether the entries live in a block that Free must give back.
  bool HasBlock() const { return cap_ > 1; }
  // Gives the storage back; the array is empty afterwards.
  void Free(TNodeArena* arena) noexcept;

 private:
  static std::size_t Bytes(std::size_t n) {
    return TNodeArena::RoundUp(n * sizeof(TNode*));
  }

  union {
    TNode* one_ = nullptr;  // while cap_ <= 1
    TNode** many_;
  };
  std::uint32_t size_ = 0;
  std::uint32_t cap_ = 0;
};

class TNodeList {
 public:
  explicit TNodeList(TNode* owner) : owner_(owner) {}
  virtual ~TNodeList();
  TNodeList(const TNodeList&) = delete;
  TNodeList& operator=(const TNodeList&) = delete;

  virtual int length() const { return static_cast<int>(items_.size()); }
  // The node at `index`, or nullptr when index < 0 or index >= length().
  virtual TNode* item(int index) const {
    return index < 0 || index >= static_cast<int>(items_.size()) ? nullptr : items_[static_cast<std::size_t>(index)];
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
  // The arena the owner node was placed in (null for the heap); the array
  // takes its storage from there.
  TNodeArena* Arena() const;
  void Insert(std::size_t index, TNode* node) { items_.Insert(index, node, Arena()); }
  void PushBack(TNode* node) { items_.PushBack(node, Arena()); }

  TNode* owner_;
  NodeArray items_;
};

}  // namespace orvix
