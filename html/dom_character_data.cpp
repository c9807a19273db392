#include "html/dom_character_data.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "html/dom_document.h"

namespace orvix {

TCharacterData::~TCharacterData() {
  if (chars_ != nullptr) ReleaseData(chars_, length_ * sizeof(char16_t));
}

void TCharacterData::SetData(std::u16string_view data) {
  char16_t* chars = nullptr;
  if (!data.empty()) {
    if (data.size() > SIZE_MAX / sizeof(char16_t)) throw std::length_error("text too long");
    chars = static_cast<char16_t*>(AllocateData(data.size() * sizeof(char16_t)));
    std::memcpy(chars, data.data(), data.size() * sizeof(char16_t));
  }
  if (chars_ != nullptr) ReleaseData(chars_, length_ * sizeof(char16_t));
  chars_ = chars;
  length_ = data.size();
}

std::unique_ptr<TNode> TComment::ShallowCopy(TDocument& doc) const { return doc.createComment(data()); }
std::unique_ptr<TNode> TComment::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

std::unique_ptr<TNode> TTextNode::ShallowCopy(TDocument& doc) const { return doc.createTextNode(data()); }
std::unique_ptr<TNode> TTextNode::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

std::unique_ptr<TNode> TCDATASection::ShallowCopy(TDocument& doc) const {
  return doc.createCDATASection(data());
}
std::unique_ptr<TNode> TCDATASection::cloneNode(bool) const { return ShallowCopy(*ownerDocument_); }

// Importing character data is its shallow copy made by the target document.
}  // namespace orvix
