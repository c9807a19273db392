#include "html/dom_node.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "html/dom_document.h"
#include "html/dom_named_node_map.h"
#include "html/dom_node_arena.h"
#include "html/dom_search_node_list.h"
#include "html/text_formatter.h"

namespace orvix {

int TNodeList::IndexOf(const TNode* node) const {
  const auto it = std::find(items_.begin(), items_.end(), node);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

namespace {

// The word in front of every node: its arena, or null for the heap.
constexpr std::size_t kHeader = TNodeArena::kAlign;
static_assert(sizeof(TNodeArena*) <= kHeader);

std::size_t BlockSize(std::size_t size) {
  return (size + TNodeArena::kAlign - 1) / TNodeArena::kAlign * TNodeArena::kAlign + kHeader;
}

void* Stamp(void* block, TNodeArena* arena) {
  std::memcpy(block, &arena, sizeof arena);
  return static_cast<std::byte*>(block) + kHeader;
}

}  // namespace

void* TNode::operator new(std::size_t size) { return Stamp(::operator new(BlockSize(size)), nullptr); }

void* TNode::operator new(std::size_t size, TNodeArena& arena) {
  void* block = arena.Allocate(BlockSize(size));
  if (block == nullptr) return operator new(size);
  return Stamp(block, &arena);
}

void TNode::operator delete(void* p, std::size_t size) noexcept {
  if (p == nullptr) return;
  std::byte* block = static_cast<std::byte*>(p) - kHeader;
  TNodeArena* arena;
  std::memcpy(&arena, block, sizeof arena);
  if (arena != nullptr) arena->Release(block, BlockSize(size));
  else ::operator delete(block);
}

void TNode::operator delete(void* p, TNodeArena&) noexcept {
  std::byte* block = static_cast<std::byte*>(p) - kHeader;
  TNodeArena* arena;
  std::memcpy(&arena, block, sizeof arena);
  if (arena != nullptr) arena->Abandon();
  else ::operator delete(block);
}

TNode::~TNode() {
  if (ownsName_) std::unique_ptr<const std::u16string> doomed(localName_);
  if (searchRoot_ && ownerDocument_ != nullptr && ownerDocument_ != this)
    ownerDocument_->OrphanListsRootedAt(this);
  // Free the subtree without recursion: each node is stripped of its
  // children and attributes before it is deleted, so its own destructor
  // finds nothing left to walk.
  std::vector<TNode*> pending;
  ReleaseOwned(pending);
  while (!pending.empty()) {
    TNode* node = pending.back();
    pending.pop_back();
    node->ReleaseOwned(pending);
    std::unique_ptr<TNode> doomed(node);
  }
}

void TNode::ReleaseOwned(std::vector<TNode*>& out) {
  for (TNode* child : childNodes_.items_) {
    child->parent_ = nullptr;
    out.push_back(child);
  }
  childNodes_.items_.clear();
  if (attributes_) {
    for (TNode* attr : attributes_->items_) {
      attr->parent_ = nullptr;
      out.push_back(attr);
    }
    attributes_->items_.clear();
  }
}

TNodeArena* TNode::ArenaOf(TDocument* document) const {
  return document != nullptr && document != this ? document->arena_.get() : nullptr;
}

const std::u16string& TNode::EmptyName() {
  static const std::u16string empty;
  return empty;
}

void TNode::SetLocalName(std::u16string_view name, bool shared) {
  if (ownsName_) {
    std::unique_ptr<const std::u16string> doomed(localName_);
    ownsName_ = false;
  }
  localName_ = &EmptyName();
  if (name.empty()) return;
  if (TNodeArena* arena = shared ? ArenaOf(ownerDocument_) : nullptr) {
    if (const std::u16string* common = arena->Name(name)) {
      localName_ = common;
      return;
    }
  }
  localName_ = std::make_unique<const std::u16string>(name).release();
  ownsName_ = true;
}

TNamedNodeMap* TNode::attributes() const {
  if (!attributes_ && isElement_)
    attributes_ = std::make_unique<TNamedNodeMap>(static_cast<TElement*>(const_cast<TNode*>(this)));
  return attributes_.get();
}

std::u16string TNode::nodeName() const {
  if (!prefix_ || prefix_->empty()) return *localName_;
  std::u16string name;
  name.reserve(prefix_->size() + 1 + localName_->size());
  name.append(*prefix_).append(1, u':').append(*localName_);
  return name;
}

bool TNode::allowsChild(const TNode&) const { return false; }

std::unique_ptr<TNode> TNode::importInto(TDocument& doc, bool deep) const {
  std::unique_ptr<TNode> copy = ShallowCopy(doc);
  if (deep) CopyChildrenTo(*copy, doc);
  return copy;
}

void TNode::setNodeValue(const std::u16string&) {
  throw DomException(dom_error::NoModificationAllowed);
}

std::unique_ptr<TNode> TNode::ShallowCopy(TDocument&) const {
  throw DomException(dom_error::NotSupported);
}

std::u16string TNode::namespaceURI() const {
  if (namespaceIndex_ == 0 || ownerDocument_ == nullptr) return {};
  return ownerDocument_->namespaceURIs().item(namespaceIndex_);
}

void TNode::NoteMutation() {
  if (ownerDocument_ != nullptr) ++ownerDocument_->mutations_;
}

void TNode::InsertChecked(TNode* newChild, TNode* refChild, bool detached) {
  if (newChild == nullptr) throw DomException(dom_error::NotFound);
  if (newChild->ownerDocument_ != ownerDocument_) throw DomException(dom_error::WrongDocument);
  if (!allowsChild(*newChild) || newChild == this) throw DomException(dom_error::HierarchyRequest);
  // Only a node with children can be an ancestor of this one; skipping the
  // walk for leaves keeps building deep trees linear.
  if (newChild->hasChildNodes()) {
    for (const TNode* n = parentNode(); n != nullptr; n = n->parentNode())
      if (n == newChild) throw DomException(dom_error::HierarchyRequest);
  }
  if (newChild == refChild) return;
  int refIndex = -1;
  if (refChild != nullptr) {
    if (refChild->parent_ != this || refChild->nodeType() == ATTRIBUTE_NODE ||
        (refIndex = childNodes_.IndexOf(refChild)) < 0)
      throw DomException(dom_error::NotFound);
  }
  if (detached) {
    if (newChild->parent_ != nullptr) throw DomException(dom_error::NotFound);
  } else {
    TNode* oldParent = newChild->parentNode();
    if (oldParent == nullptr) throw DomException(dom_error::NotFound);
    auto& siblings = oldParent->childNodes_.items_;
    const auto it = std::find(siblings.begin(), siblings.end(), newChild);
    if (it == siblings.end()) throw DomException(dom_error::NotFound);
    const int oldIndex = static_cast<int>(it - siblings.begin());
    siblings.erase(it);
    if (oldParent == this && refIndex > oldIndex) --refIndex;
  }
  auto& items = childNodes_.items_;
  // Room for three from the start spares most parents the regrowth from
  // one child to two and three.
  if (items.capacity() == 0) items.reserve(3);
  if (refIndex < 0) items.push_back(newChild);
  else items.insert(items.begin() + refIndex, newChild);
  newChild->parent_ = this;
  NoteMutation();
}

TNode* TNode::insertBefore(TNode* newChild, TNode* refChild) {
  InsertChecked(newChild, refChild, false);
  return newChild;
}

std::unique_ptr<TNode> TNode::removeChild(TNode* oldChild) {
  if (oldChild == nullptr || oldChild->parent_ != this || oldChild->nodeType() == ATTRIBUTE_NODE)
    throw DomException(dom_error::NotFound);
  auto& items = childNodes_.items_;
  const auto it = std::find(items.begin(), items.end(), oldChild);
  if (it == items.end()) throw DomException(dom_error::NotFound);
  items.erase(it);
  oldChild->parent_ = nullptr;
  NoteMutation();
  return std::unique_ptr<TNode>(oldChild);
}

std::unique_ptr<TSearchNodeList> TNode::getElementsByTagName(const std::u16string& name) {
  return std::make_unique<TSearchNodeList>(this, u"*", name);
}

std::u16string TNode::text() const {
  if (nodeType() != ELEMENT_NODE) return {};
  TTextFormatter formatter;
  return formatter.Render(static_cast<const TElement*>(this));
}

void TNode::CopyChildrenTo(TNode& target, TDocument& doc) const {
  // Pairs of (source node, its copy) whose children are still to be copied.
  // Copies are made by `doc`; for a clone that is the node's own document.
  struct Pending {
    const TNode* source;
    TNode* copy;
  };
  std::vector<Pending> pending{{this, &target}};
  while (!pending.empty()) {
    const Pending p = pending.back();
    pending.pop_back();
    for (const TNode* child : p.source->childNodes_.items_) {
      std::unique_ptr<TNode> copy = child->ShallowCopy(doc);
      TNode* placed = p.copy->appendChild(std::move(copy));
      if (child->hasChildNodes()) pending.push_back({child, placed});
    }
  }
}

}  // namespace orvix
