#include "html/dom_processing_instruction.h"

#include "html/dom_document.h"

namespace orvix {

std::unique_ptr<TNode> TProcessingInstruction::ShallowCopy(TDocument& doc) const {
  return doc.createProcessingInstruction(localName(), nodeValue_);
}

std::unique_ptr<TNode> TProcessingInstruction::cloneNode(bool) const {
  return ShallowCopy(*ownerDocument_);
}

}  // namespace orvix
