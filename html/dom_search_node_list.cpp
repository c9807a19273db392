#include "html/dom_search_node_list.h"

#include "html/dom_document.h"

namespace orvix {

TSearchNodeList::TSearchNodeList(TNode* root, const std::u16string& namespaceURI,
                                 const std::u16string& name)
    : TNodeList(root), namespaceFilter_(namespaceURI), nameFilter_(name) {
  Rebuild();
}

TSearchNodeList::~TSearchNodeList() {
  if (document_ != nullptr) document_->Unregister(this);
}

void TSearchNodeList::Orphan() {
  owner_ = nullptr;
  document_ = nullptr;
  found_.clear();
  found_.shrink_to_fit();
  valid_ = true;
}

int TSearchNodeList::length() const {
  Rebuild();
  return static_cast<int>(found_.size());
}

TNode* TSearchNodeList::item(int index) const {
  Rebuild();
  return index < 0 || index >= static_cast<int>(found_.size()) ? nullptr : found_[static_cast<std::size_t>(index)];
}

void TSearchNodeList::Rebuild() const {
  if (owner_ == nullptr) return;  // orphaned: stays empty
  TDocument* document = owner_->ownerDocument();
  if (valid_ && document != nullptr && builtAt_ == document->mutations_) return;
  auto& self = const_cast<TSearchNodeList&>(*this);
  self.found_.clear();
  if (document == nullptr) return;

  const bool anyName = nameFilter_ == u"*";
  const bool anyNamespace = namespaceFilter_ == u"*";
  // Pre-order walk with an explicit stack: children are pushed in reverse
  // so they pop in document order. The root itself is never a match.
  std::vector<TNode*> stack;
  const auto pushChildren = [&stack](const TNode* parent) {
    const NodeArray& children = parent->childNodes_.items_;
    for (std::size_t i = children.size(); i-- > 0;) stack.push_back(children[i]);
  };
  pushChildren(owner_);
  while (!stack.empty()) {
    TNode* node = stack.back();
    stack.pop_back();
    if (node->nodeType() == ELEMENT_NODE &&
        (anyNamespace || node->namespaceURI() == namespaceFilter_) &&
        (anyName || node->localName() == nameFilter_))
      self.found_.push_back(node);
    pushChildren(node);
  }

  if (document_ == nullptr) {
    self.document_ = document;
    document->Register(&self);
    owner_->searchRoot_ = true;
  }
  builtAt_ = document->mutations_;
  valid_ = true;
}

}  // namespace orvix
