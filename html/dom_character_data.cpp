#include "html/dom_character_data.h"

#include "html/dom_document.h"

namespace orvix {

std::unique_ptr<TNode> TComment::ShallowCopy(TDocument& doc) const { return doc.createComment(nodeValue_); }
std::unique_ptr<TNode> TComment::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

std::unique_ptr<TNode> TTextNode::ShallowCopy(TDocument& doc) const { return doc.createTextNode(nodeValue_); }
std::unique_ptr<TNode> TTextNode::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

std::unique_ptr<TNode> TCDATASection::ShallowCopy(TDocument& doc) const {
  return doc.createCDATASection(nodeValue_);
}
std::unique_ptr<TNode> TCDATASection::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

// Importing character data is its shallow copy made by the target document.
}  // namespace orvix
