// The common node state and the tree operations of the DOM.
//
// Ownership: a node owns its children and (for elements) its attributes. A
// node that is not in a tree is held by a std::unique_ptr of its caller; the
// factories of TDocument return one, appendChild/insertBefore take it over,
// removeChild hands it back. Nodes must be destroyed before their document.
//
// Nothing here recurses over the tree: destruction, copying and searching
// walk it with explicit stacks, so a tree of any depth is safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/dom_exception.h"
#include "html/dom_named_node_map.h"
#include "html/dom_node_list.h"

namespace orvix {

class TDocument;
class TElement;
class TNamedNodeMap;
class TSearchNodeList;

// nodeType() codes of DOM Level 2. 6, 11 and 12 have no class here.
enum NodeType : int {
  ELEMENT_NODE = 1,
  ATTRIBUTE_NODE = 2,
  TEXT_NODE = 3,
  CDATA_SECTION_NODE = 4,
  ENTITY_REFERENCE_NODE = 5,
  ENTITY_NODE = 6,
  PROCESSING_INSTRUCTION_NODE = 7,
  COMMENT_NODE = 8,
  DOCUMENT_NODE = 9,
  DOCUMENT_TYPE_NODE = 10,
  DOCUMENT_FRAGMENT_NODE = 11,
  NOTATION_NODE = 12,
};

class TNodeArena;

class TNode {
 public:
  // Storage: a document's factories place their nodes in the document's
  // arena; any other node (a document, a free-standing document type) comes
  // from the heap. Each block starts with a word naming its arena, so
  // deleting a node through any owner finds its way back.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, TNodeArena& arena);
  static void operator delete(void* p, std::size_t size) noexcept;
  static void operator delete(void* p, TNodeArena& arena) noexcept;

  virtual ~TNode();
  TNode(const TNode&) = delete;
  TNode& operator=(const TNode&) = delete;

  // prefix ":" localName, or localName when the prefix is empty.
  virtual std::u16string nodeName() const;
  // Empty here; the kinds that hold data override it.
  virtual std::u16string nodeValue() const { return {}; }
  virtual int nodeType() const = 0;
  // nullptr for a detached node, an attribute and the document.
  virtual TNode* parentNode() const { return parent_; }
  // May a node of `child`'s kind become a child of this node?
  virtual bool allowsChild(const TNode& child) const;
  // A copy of this node made by `doc` (children copied when `deep`, for an
  // attribute always; copies never include attributes). Raises NotSupported
  // for documents and document types.
  virtual std::unique_ptr<TNode> importInto(TDocument& doc, bool deep) const;
  // Raises NoModificationAllowed unless the node holds data.
  virtual void setNodeValue(const std::u16string& value);
  // A copy made by this node's own document.
  virtual std::unique_ptr<TNode> cloneNode(bool deep) const = 0;

  TNodeList* childNodes() const { return &childNodes_; }
  // The attribute map of an element; nullptr for every other node.
  TNamedNodeMap* attributes() const;
  TDocument* ownerDocument() const { return ownerDocument_; }
  const std::u16string& prefix() const { return ownsName_ ? ownName_->prefix : EmptyName(); }
  const std::u16string& localName() const { return ownsName_ ? ownName_->local : *sharedName_; }
  std::u16string namespaceURI() const;

  TNode* firstChild() const { return childNodes_.items_.empty() ? nullptr : childNodes_.items_.front(); }
  TNode* lastChild() const { return childNodes_.items_.empty() ? nullptr : childNodes_.items_.back(); }
  bool hasChildNodes() const { return !childNodes_.items_.empty(); }
  // Fast child access for walkers (no bounds check beyond the vector's).
  int childCount() const { return static_cast<int>(childNodes_.items_.size()); }
  TNode* childAt(int index) const { return childNodes_.items_[static_cast<std::size_t>(index)]; }

  // The arena `node` was placed in, or null for a node on the heap: the
  // word in front of every node's storage.
  static TNodeArena* StorageArena(const TNode* node) {
    TNodeArena* arena;
    std::memcpy(&arena, reinterpret_cast<const std::byte*>(node) - kStorageHeader, sizeof arena);
    return arena;
  }
  static constexpr std::size_t kStorageHeader = 8;

  // Inserts a detached node before `refChild` (at the end when nullptr) and
  // takes it over. On a refusal (DomException) the caller keeps the node and
  // the tree is unchanged. Returns the inserted node.
  template <class T>
  T* insertBefore(std::unique_ptr<T>&& newChild, TNode* refChild) {
    InsertChecked(newChild.get(), refChild, true);
    return newChild.release();
  }
  template <class T>
  T* appendChild(std::unique_ptr<T>&& newChild) {
    AppendDetached(newChild.get());
    return newChild.release();
  }
  // Moves a node that is already in a tree (it is owned by its parent). A
  // node without a parent must be passed as a unique_ptr: raises NotFound.
  TNode* insertBefore(TNode* newChild, TNode* refChild);
  TNode* appendChild(TNode* newChild) { return insertBefore(newChild, nullptr); }
  // Takes `oldChild` out of the child list and hands it to the caller.
  // Raises NotFound when it is not a child of this node.
  std::unique_ptr<TNode> removeChild(TNode* oldChild);

  // A live list of the descendant elements with local name `name` ("*" for
  // all), in document order, never including this node.
  std::unique_ptr<TSearchNodeList> getElementsByTagName(const std::u16string& name);
  // Plain text of the content of an element; empty for other nodes.
  std::u16string text() const;

 protected:
  explicit TNode(TDocument* ownerDocument) : ownerDocument_(ownerDocument), childNodes_(this) {
    if (TNodeArena* arena = StorageArena(this)) arena->CountLoose(1);
    else NoteBirthOnHeap();
  }
  // Memory for the node's own data (texts, name copies): from the arena the
  // node lives in, or from the heap. Blocks of one node's arena outlive it.
  void* AllocateData(std::size_t bytes) const;
  void ReleaseData(void* block, std::size_t bytes) const noexcept;
  // The node holds memory outside its arena (a string of its own), so its
  // document must run its destructor rather than drop the arena whole.
  void NeedDestructor() const noexcept {
    if (TNodeArena* arena = StorageArena(this)) arena->NeedDestructors();
  }

  // Appends deep copies of this node's children to `target`, made by `doc`
  // (the target document of an import, the own document of a clone).
  void CopyChildrenTo(TNode& target, TDocument& doc) const;
  // The copy of this node alone (no children), made by `doc`; raises
  // NotSupported for kinds that cannot be copied that way.
  virtual std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const;

  // The checks and the insertion of insertBefore. `detached` says the node
  // comes from the caller (it must then have no parent).
  void InsertChecked(TNode* newChild, TNode* refChild, bool detached);
  // The refusals every insertion makes first, in this order.
  void CheckNewChild(const TNode* newChild) const;
  // InsertChecked for a detached node at the end, the tree builder's one
  // case: the same checks in the same order, without the rest.
  void AppendDetached(TNode* newChild);
  void NoteMutation();

  static const std::u16string& EmptyName() { return kEmptyName; }
  static const std::u16string kEmptyName;
  // Names the node. Nodes made in an arena share one copy of each distinct
  // name, kept by the arena (which outlives every such node); a node on the
  // heap, one whose document may change, and a page with thousands of
  // made-up names keep their own copy.
  void SetLocalName(std::u16string_view name, bool shared = true);
  // The same for a name with a prefix, always a copy of its own.
  void SetQualifiedName(std::u16string_view prefix, std::u16string_view localName);

  // A name of the node's own, with its prefix (almost always empty).
  struct TOwnName {
    std::u16string local;
    std::u16string prefix;
  };

  // A page has hundreds of thousands of nodes, so the fields are laid out
  // to keep a node small: the flags share a word with the namespace index,
  // the name is one pointer, the attribute map lives only in elements and
  // the value only in the kinds that hold data.
  TDocument* ownerDocument_;
  // The parent; for an attribute its owner element.
  TNode* parent_ = nullptr;
  int namespaceIndex_ = 0;
  bool isElement_ = false;
  // Set while some search list is rooted here, so destruction can tell it.
  bool searchRoot_ = false;
  // Which member of the union below names the node.
  bool ownsName_ = false;
  // For elements, the number of the name in the tag table (1..92, 0 for an
  // unknown name); here because it fits the word's last byte.
  std::uint8_t tagNumber_ = 0;
  union {
    // Most nodes point at a name shared with the other nodes of their
    // document, which saves a string per node. Never null.
    const std::u16string* sharedName_ = &EmptyName();
    TOwnName* ownName_;
  };
  mutable TNodeList childNodes_;

 private:
  friend class TDocument;
  friend class TElement;
  friend class TAttr;
  friend class TNamedNodeMap;
  friend class TSearchNodeList;
  // Every change of parent_ between null and a node goes through here: the
  // arena counts its nodes without a parent (see TNodeArena::LooseNodes).
  void SetParent(TNode* parent) noexcept {
    if ((parent_ == nullptr) != (parent == nullptr))
      if (TNodeArena* arena = StorageArena(this)) arena->CountLoose(parent == nullptr ? 1 : -1);
    parent_ = parent;
  }
  // A new node starts without a parent (counted by the constructor); one on
  // the heap that belongs to a document keeps that document from freeing
  // its arena wholesale.
  void NoteBirthOnHeap() noexcept;
  // Moves this node's children and attributes to `out`, leaving it bare.
  void ReleaseOwned(std::vector<TNode*>& out);
  // Deletes the nodes ReleaseOwned listed, and everything under them.
  static void FreeReleased(std::vector<TNode*>& pending) noexcept;
  // Whether ReleaseOwned has anything to move.
  bool HoldsNodes() const { return isElement_ || !childNodes_.items_.empty(); }
  void FreeOwnName() noexcept;
};

}  // namespace orvix
