#include "html/dom_namespace_list.h"

namespace orvix {

TNamespaceURIList::TNamespaceURIList() { Add(std::u16string()); }

int TNamespaceURIList::add(const std::u16string& uri) {
  const int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (Strings(i) == uri) return i;
  return Add(uri);
}

const std::u16string& TNamespaceURIList::item(int index) const {
  static const std::u16string kEmpty;
  return index < 0 || index >= count() ? kEmpty : Strings(index);
}

}  // namespace orvix
