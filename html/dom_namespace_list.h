// Per-document table of namespace URIs; nodes keep an index into it. Index 0
// is the empty string ("no namespace") from creation on.
#pragma once

#include <string>

#include "text/wide_strings.h"

namespace orvix {

class TNamespaceURIList : public TWStringList {
 public:
  TNamespaceURIList();
  const char* ClassName() const override { return "TNamespaceURIList"; }
  // Index of the first entry equal to `uri` (exact, case-sensitive
  // comparison), appending it when absent. Tables hold a handful of entries,
  // so a linear search it is.
  int add(const std::u16string& uri);
  // The entry at `index`; the empty string for an index out of range.
  const std::u16string& item(int index) const;
  int count() const { return GetCount(); }
};

}  // namespace orvix
