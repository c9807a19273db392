// A processing instruction: target in the local name, data in the value.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TProcessingInstruction : public TNode {
 public:
  TProcessingInstruction(TDocument* owner, const std::u16string& target, const std::u16string& data)
      : TNode(owner), nodeValue_(data) {
    NeedDestructor();  // the value is a string of its own
    SetLocalName(target);
  }
  std::u16string nodeValue() const override { return nodeValue_; }
  int nodeType() const override { return PROCESSING_INSTRUCTION_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

  const std::u16string& target() const { return localName(); }
  const std::u16string& data() const { return nodeValue_; }

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;

 private:
  std::u16string nodeValue_;
};

}  // namespace orvix
