#include "html/dom_namespace_list.h"

namespace orvix {

int TNamespaceURIList::add(const std::u16string& uri) {
  for (std::size_t i = 0; i < uris_.size(); ++i)
    if (uris_[i] == uri) return static_cast<int>(i);
  uris_.push_back(uri);
  return static_cast<int>(uris_.size()) - 1;
}

const std::u16string& TNamespaceURIList::item(int index) const {
  static const std::u16string kEmpty;
  return index < 0 || index >= count() ? kEmpty : uris_[index];
}

}  // namespace orvix
