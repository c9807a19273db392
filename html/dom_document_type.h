// The document type declaration; its name is the local name.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TDocumentType : public TNode {
 public:
  TDocumentType(TDocument* owner, const std::u16string& name, const std::u16string& publicId,
                const std::u16string& systemId)
      : TNode(owner), publicId_(publicId), systemId_(systemId) {
    // Not shared: a document type can move to another document.
    SetLocalName(name, false);
  }
  int nodeType() const override { return DOCUMENT_TYPE_NODE; }
  std::unique_ptr<TNode> importInto(TDocument& doc, bool deep) const override;
  // Same name and identifiers, same owner document.
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  std::u16string name() const { return nodeName(); }
  const std::u16string& publicId() const { return publicId_; }
  const std::u16string& systemId() const { return systemId_; }

 private:
  friend class TDocument;
  friend class DomImplementation;
  std::u16string publicId_;
  std::u16string systemId_;
};

// The public and system identifiers of the HTML 4.01 and XHTML 1.0 document
// types, for callers that want to name one.
struct TKnownDocType {
  const char16_t* publicId;
  const char16_t* systemId;
};
extern const TKnownDocType kKnownDocTypes[6];

}  // namespace orvix
