// The document: owner and factory of its nodes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "html/dom_attr.h"
#include "html/dom_character_data.h"
#include "html/dom_document_type.h"
#include "html/dom_element.h"
#include "html/dom_entity_reference.h"
#include "html/dom_namespace_list.h"
#include "html/dom_node.h"
#include "html/dom_node_arena.h"
#include "html/dom_processing_instruction.h"

namespace orvix {

class TSearchNodeList;

class TDocument : public TNode {
 public:
  TDocument();
  // Disconnects every live search list still registered (they belong to
  // their callers and read as empty afterwards), then frees the tree.
  ~TDocument() override;

  std::u16string nodeName() const override { return u"#document"; }
  int nodeType() const override { return DOCUMENT_NODE; }
  // Text, comments, processing instructions, and one element.
  bool allowsChild(const TNode& child) const override;
  std::unique_ptr<TNode> importInto(TDocument& doc, bool deep) const override;
  // A new document with a copy of the document type and an empty element of
  // the document element's name; nothing below it is copied.
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  // The first child element, or nullptr.
  TElement* documentElement() const;

  std::unique_ptr<TElement> createElement(std::u16string_view tagName);
  // For the tree builder, which has looked the name up in the tag table.
  std::unique_ptr<TElement> createElement(std::u16string_view tagName, int tagNumber);
  std::unique_ptr<TElement> createElementNS(const std::u16string& namespaceURI,
                                            const std::u16string& qualifiedName);
  std::unique_ptr<TTextNode> createTextNode(std::u16string_view data);
  std::unique_ptr<TComment> createComment(std::u16string_view data);
  std::unique_ptr<TCDATASection> createCDATASection(std::u16string_view data);
  std::unique_ptr<TProcessingInstruction> createProcessingInstruction(const std::u16string& target,
                                                                      const std::u16string& data);
  std::unique_ptr<TAttr> createAttribute(std::u16string_view name);
  std::unique_ptr<TEntityReference> createEntityReference(std::u16string_view name);
  // A copy of `node` made by this document.
  std::unique_ptr<TNode> importNode(const TNode& node, bool deep) { return node.importInto(*this, deep); }

  TDocumentType* doctype() const { return doctype_.get(); }
  // Destroys the previous document type and takes `doctype` (may be null),
  // which becomes owned by this document. Raises WrongDocument when it
  // belongs to another document; the caller keeps it then.
  void setDoctype(std::unique_ptr<TDocumentType>&& doctype);

  TNamespaceURIList& namespaceURIs() { return namespaces_; }
  const TNamespaceURIList& namespaceURIs() const { return namespaces_; }

 private:
  friend class TNode;
  friend class TSearchNodeList;
  void Register(TSearchNodeList* list);
  void Unregister(TSearchNodeList* list);
  void OrphanListsRootedAt(const TNode* root);
  // A new node of this document, placed in its arena.
  template <class T, class... Args>
  std::unique_ptr<T> Make(Args&&... args);

  std::unique_ptr<TNodeArena> arena_ = std::make_unique<TNodeArena>();

  std::unique_ptr<TDocumentType> doctype_;
  TNamespaceURIList namespaces_;
  std::vector<TSearchNodeList*> searchLists_;
  // Bumped by every insertion and removal; a search list built at another
  // count is stale. One counter instead of touching every registered list.
  std::uint64_t mutations_ = 1;
};

// Stateless factory of documents and document types.
class DomImplementation {
 public:
  // A document type with no owner document.
  static std::unique_ptr<TDocumentType> createDocumentType(const std::u16string& qualifiedName,
                                                           const std::u16string& publicId,
                                                           const std::u16string& systemId);
  // A new document that takes `doctype` (may be null). Raises WrongDocument
  // when the document type already has an owner document (the caller keeps
  // it then).
  static std::unique_ptr<TDocument> createEmptyDocument(std::unique_ptr<TDocumentType>&& doctype);
  // createEmptyDocument, then createElementNS(namespaceURI, qualifiedName)
  // appended as the document element.
  static std::unique_ptr<TDocument> createDocument(const std::u16string& namespaceURI,
                                                   const std::u16string& qualifiedName,
                                                   std::unique_ptr<TDocumentType>&& doctype);
};

}  // namespace orvix
