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

void NodeArray::Reserve(std::size_t n, TNodeArena* arena) {
  if (n <= cap_) return;
  if (n == 1) {  // held in place
    cap_ = 1;
    return;
  }
  const std::size_t bytes = Bytes(n);
  void* block = arena != nullptr ? arena->Allocate(bytes) : ::operator new(bytes);
  TNode** items = static_cast<TNode**>(block);
  if (size_ != 0) std::memcpy(items, begin(), size_ * sizeof(TNode*));
  const std::size_t size = size_;
  Free(arena);
  many_ = items;
  size_ = static_cast<std::uint32_t>(size);
  cap_ = static_cast<std::uint32_t>(n);
}

void NodeArray::Free(TNodeArena* arena) noexcept {
  if (cap_ > 1) {
    const std::size_t bytes = Bytes(cap_);
    if (arena != nullptr) arena->Release(many_, bytes);
    else ::operator delete(many_);
  }
  one_ = nullptr;
  size_ = cap_ = 0;
}

TNodeList::~TNodeList() {
  if (items_.HasBlock()) items_.Free(Arena());
}

TNodeArena* TNodeList::Arena() const { return owner_ != nullptr ? TNode::StorageArena(owner_) : nullptr; }

int TNodeList::IndexOf(const TNode* node) const {
  const auto it = std::find(items_.begin(), items_.end(), node);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

namespace {

// The word in front of every node: its arena, or null for the heap. Every
// node class derives from TNode alone, so a TNode pointer is the start of
// the object and the word is right before it.
constexpr std::size_t kHeader = TNode::kStorageHeader;
static_assert(sizeof(TNodeArena*) <= kHeader && kHeader == TNodeArena::kAlign);

std::size_t BlockSize(std::size_t size) {
  return TNodeArena::RoundUp(size) + kHeader;
}

void* Stamp(void* block, TNodeArena* arena) {
  std::memcpy(block, &arena, sizeof arena);
  return static_cast<std::byte*>(block) + kHeader;
}

}  // namespace

void* TNode::operator new(std::size_t size) { return Stamp(::operator new(BlockSize(size)), nullptr); }

void* TNode::operator new(std::size_t size, TNodeArena& arena) {
  return Stamp(arena.Allocate(BlockSize(size)), &arena);
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

void TNode::NoteBirthOnHeap() noexcept {
  if (ownerDocument_ != nullptr && ownerDocument_ != this) ownerDocument_->arena_->NeedDestructors();
}

TNode::~TNode() {
  if (parent_ == nullptr)
    if (TNodeArena* arena = StorageArena(this)) arena->CountLoose(-1);
  FreeOwnName();
  if (searchRoot_ && ownerDocument_ != nullptr && ownerDocument_ != this)
    ownerDocument_->OrphanListsRootedAt(this);
  // Free the subtree without recursion: each node is stripped of its
  // children and attributes before it is deleted, so its own destructor
  // finds nothing left to walk. (An element's attributes are gone with its
  // own part by now.)
  if (childNodes_.items_.empty()) return;
  std::vector<TNode*> pending;
  ReleaseOwned(pending);
  FreeReleased(pending);
}

void TNode::ReleaseOwned(std::vector<TNode*>& out) {
  for (TNode* child : childNodes_.items_) out.push_back(child);
  childNodes_.items_.Clear();
  if (isElement_) {
    NodeArray& attrs = static_cast<TElement*>(this)->attributes_.items_;
    for (TNode* attr : attrs) out.push_back(attr);
    attrs.Clear();
  }
}

void TNode::FreeReleased(std::vector<TNode*>& pending) noexcept {
  // The nodes keep their parent pointers: each dies still counted as
  // attached (see SetParent), as it was while its parent lived.
  while (!pending.empty()) {
    TNode* node = pending.back();
    pending.pop_back();
    if (node->HoldsNodes()) node->ReleaseOwned(pending);
    std::unique_ptr<TNode> doomed(node);
  }
}

void* TNode::AllocateData(std::size_t bytes) const {
  const std::size_t rounded = TNodeArena::RoundUp(bytes);
  TNodeArena* arena = StorageArena(this);
  if (arena != nullptr) return arena->Allocate(rounded);
  return ::operator new(bytes);
}

void TNode::ReleaseData(void* block, std::size_t bytes) const noexcept {
  const std::size_t rounded = TNodeArena::RoundUp(bytes);
  TNodeArena* arena = StorageArena(this);
  if (arena != nullptr) arena->Release(block, rounded);
  else ::operator delete(block);
}

void TNode::FreeOwnName() noexcept {
  if (!ownsName_) return;
  ownName_->~TOwnName();
  ReleaseData(ownName_, sizeof(TOwnName));
  ownsName_ = false;
  sharedName_ = &EmptyName();
}

const std::u16string TNode::kEmptyName;

void TNode::SetLocalName(std::u16string_view name, bool shared) {
  if (!name.empty() && shared) {
    if (TNodeArena* arena = StorageArena(this)) {
      if (const std::u16string* common = arena->Name(name)) {
        FreeOwnName();
        sharedName_ = common;
        return;
      }
    }
  }
  if (name.empty()) {
    FreeOwnName();
    return;
  }
  SetQualifiedName({}, name);
}

void TNode::SetQualifiedName(std::u16string_view prefix, std::u16string_view localName) {
  if (prefix.empty() && localName.empty()) {
    FreeOwnName();
    return;
  }
  // Built before the old name goes, so a failure leaves the node as it was.
  // Its strings may live on the heap.
  NeedDestructor();
  void* block = AllocateData(sizeof(TOwnName));
  TOwnName* own;
  try {
    own = new (block) TOwnName{std::u16string(localName), std::u16string(prefix)};
  } catch (...) {
    ReleaseData(block, sizeof(TOwnName));
    throw;
  }
  FreeOwnName();
  ownName_ = own;
  ownsName_ = true;
}

TNamedNodeMap* TNode::attributes() const {
  return isElement_ ? &static_cast<const TElement*>(this)->attributes_ : nullptr;
}

std::u16string TNode::nodeName() const {
  const std::u16string& pre = prefix();
  if (pre.empty()) return localName();
  std::u16string name;
  name.reserve(pre.size() + 1 + localName().size());
  name.append(pre).append(1, u':').append(localName());
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

void TNode::CheckNewChild(const TNode* newChild) const {
  if (newChild == nullptr) throw DomException(dom_error::NotFound);
  if (newChild->ownerDocument_ != ownerDocument_) throw DomException(dom_error::WrongDocument);
  if (!allowsChild(*newChild) || newChild == this) throw DomException(dom_error::HierarchyRequest);
  // Only a node with children can be an ancestor of this one; skipping the
  // walk for leaves keeps building deep trees linear.
  if (newChild->hasChildNodes()) {
    for (const TNode* n = parentNode(); n != nullptr; n = n->parentNode())
      if (n == newChild) throw DomException(dom_error::HierarchyRequest);
  }
}

void TNode::InsertChecked(TNode* newChild, TNode* refChild, bool detached) {
  CheckNewChild(newChild);
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
    const int oldIndex = oldParent->childNodes_.IndexOf(newChild);
    if (oldIndex < 0) throw DomException(dom_error::NotFound);
    // Room first, so a failure to grow leaves both lists as they were.
    childNodes_.items_.Reserve(childNodes_.items_.size() + 1, childNodes_.Arena());
    oldParent->childNodes_.items_.Erase(static_cast<std::size_t>(oldIndex));
    if (oldParent == this && refIndex > oldIndex) --refIndex;
  }
  if (refIndex < 0) childNodes_.PushBack(newChild);
  else childNodes_.Insert(static_cast<std::size_t>(refIndex), newChild);
  newChild->SetParent(this);
  NoteMutation();
}

void TNode::AppendDetached(TNode* newChild) {
  CheckNewChild(newChild);
  if (newChild->parent_ != nullptr) throw DomException(dom_error::NotFound);
  childNodes_.PushBack(newChild);
  newChild->SetParent(this);
  NoteMutation();
}

TNode* TNode::insertBefore(TNode* newChild, TNode* refChild) {
  InsertChecked(newChild, refChild, false);
  return newChild;
}

std::unique_ptr<TNode> TNode::removeChild(TNode* oldChild) {
  if (oldChild == nullptr || oldChild->parent_ != this || oldChild->nodeType() == ATTRIBUTE_NODE)
    throw DomException(dom_error::NotFound);
  const int index = childNodes_.IndexOf(oldChild);
  if (index < 0) throw DomException(dom_error::NotFound);
  childNodes_.items_.Erase(static_cast<std::size_t>(index));
  oldChild->SetParent(nullptr);
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
