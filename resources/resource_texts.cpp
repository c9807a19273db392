#include "resources/resource_texts.h"

#include <algorithm>

namespace orvix {

std::u16string ResourceText(int id) {
  const ResourceTextEntry* begin = kResourceTexts;
  const ResourceTextEntry* end = kResourceTexts + kResourceTextCount;
  const auto it = std::lower_bound(begin, end, id,
                                   [](const ResourceTextEntry& e, int key) { return e.id < key; });
  if (it == end || it->id != id) return {};
  return it->text;
}

}  // namespace orvix
