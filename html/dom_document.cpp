#include "html/dom_document.h"

#include <algorithm>

#include "html/dom_search_node_list.h"

namespace orvix {

TDocument::TDocument() : TNode(this) {}

template <class T, class... Args>
std::unique_ptr<T> TDocument::Make(Args&&... args) {
  // The one place nodes are placed in the arena; the unique_ptr's delete
  // finds the arena again through TNode's operator delete.
  return std::unique_ptr<T>(new (*arena_) T(std::forward<Args>(args)...));
}

TDocument::~TDocument() {
  // The lists belong to their callers: disconnect them rather than free them.
  for (TSearchNodeList* list : searchLists_) list->Orphan();
  searchLists_.clear();
  // When every node of the arena hangs in this tree (none is held by a
  // caller) and none holds memory outside the arena, the arena goes as a
  // whole: a large page's nodes are far more than the caches hold, and
  // visiting each one only to free it costs as much as building the page.
  if (arena_->LooseNodes() == 0 && !arena_->NodesNeedDestructors()) {
    childNodes_.items_.Free(childNodes_.Arena());
    arena_.reset();
    return;
  }
  // Otherwise free the tree while the document's members are still intact;
  // the base destructor then finds nothing left. The lists are orphaned
  // already, so no node needs to look for them.
  std::vector<TNode*> pending;
  ReleaseOwned(pending);
  FreeReleased(pending);
  // Nodes the callers still hold keep the arena until they are freed.
  TNodeArena::DocumentGone(std::move(arena_));
}

bool TDocument::allowsChild(const TNode& child) const {
  switch (child.nodeType()) {
    case TEXT_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
      return true;
    case ELEMENT_NODE:
      return documentElement() == nullptr;
    default:
      return false;
  }
}

std::unique_ptr<TNode> TDocument::importInto(TDocument&, bool) const {
  throw DomException(dom_error::NotSupported);
}

std::unique_ptr<TNode> TDocument::cloneNode(bool) const {
  std::unique_ptr<TDocumentType> type;
  if (doctype_)
    type = DomImplementation::createDocumentType(doctype_->nodeName(), doctype_->publicId(),
                                                 doctype_->systemId());
  const TElement* root = documentElement();
  if (root == nullptr) return DomImplementation::createEmptyDocument(std::move(type));
  return DomImplementation::createDocument(u"", root->nodeName(), std::move(type));
}

TElement* TDocument::documentElement() const {
  for (TNode* child : childNodes_.items_)
    if (child->nodeType() == ELEMENT_NODE) return static_cast<TElement*>(child);
  return nullptr;
}

std::unique_ptr<TElement> TDocument::createElement(std::u16string_view tagName) {
  return Make<TElement>(this, tagName);
}

std::unique_ptr<TElement> TDocument::createElement(std::u16string_view tagName, int tagNumber) {
  return Make<TElement>(this, tagName, tagNumber);
}

std::unique_ptr<TElement> TDocument::createElementNS(const std::u16string& namespaceURI,
                                                     const std::u16string& qualifiedName) {
  const int index = namespaceURI.empty() ? 0 : namespaces_.add(namespaceURI);
  return Make<TElement>(this, index, qualifiedName);
}

std::unique_ptr<TTextNode> TDocument::createTextNode(std::u16string_view data) {
  return Make<TTextNode>(this, data);
}

std::unique_ptr<TComment> TDocument::createComment(std::u16string_view data) {
  return Make<TComment>(this, data);
}

std::unique_ptr<TCDATASection> TDocument::createCDATASection(std::u16string_view data) {
  return Make<TCDATASection>(this, data);
}

std::unique_ptr<TProcessingInstruction> TDocument::createProcessingInstruction(
    const std::u16string& target, const std::u16string& data) {
  return Make<TProcessingInstruction>(this, target, data);
}

std::unique_ptr<TAttr> TDocument::createAttribute(std::u16string_view name) {
  return Make<TAttr>(this, name);
}

std::unique_ptr<TEntityReference> TDocument::createEntityReference(std::u16string_view name) {
  return Make<TEntityReference>(this, name);
}

void TDocument::setDoctype(std::unique_ptr<TDocumentType>&& doctype) {
  if (doctype && doctype->ownerDocument_ != nullptr && doctype->ownerDocument_ != this)
    throw DomException(dom_error::WrongDocument);
  doctype_.reset();
  doctype_ = std::move(doctype);
  if (doctype_) doctype_->ownerDocument_ = this;
}

void TDocument::Register(TSearchNodeList* list) { searchLists_.push_back(list); }

void TDocument::Unregister(TSearchNodeList* list) {
  const auto it = std::find(searchLists_.begin(), searchLists_.end(), list);
  if (it != searchLists_.end()) searchLists_.erase(it);
}

void TDocument::OrphanListsRootedAt(const TNode* root) {
  auto keep = searchLists_.begin();
  for (TSearchNodeList* list : searchLists_) {
    if (list->root() == root) list->Orphan();
    else *keep++ = list;
  }
  searchLists_.erase(keep, searchLists_.end());
}

std::unique_ptr<TDocumentType> DomImplementation::createDocumentType(const std::u16string& qualifiedName,
                                                                     const std::u16string& publicId,
                                                                     const std::u16string& systemId) {
  return std::make_unique<TDocumentType>(nullptr, qualifiedName, publicId, systemId);
}

std::unique_ptr<TDocument> DomImplementation::createEmptyDocument(std::unique_ptr<TDocumentType>&& doctype) {
  if (doctype && doctype->ownerDocument() != nullptr) throw DomException(dom_error::WrongDocument);
  auto document = std::make_unique<TDocument>();
  document->setDoctype(std::move(doctype));
  return document;
}

std::unique_ptr<TDocument> DomImplementation::createDocument(const std::u16string& namespaceURI,
                                                             const std::u16string& qualifiedName,
                                                             std::unique_ptr<TDocumentType>&& doctype) {
  std::unique_ptr<TDocument> document = createEmptyDocument(std::move(doctype));
  document->appendChild(document->createElementNS(namespaceURI, qualifiedName));
  return document;
}

}  // namespace orvix
