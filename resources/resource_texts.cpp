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

std::u16string NamedText(std::string_view name) {
  for (int i = 0; i < kNamedTextCount; ++i) {
    if (name == kNamedTexts[i].name) return kNamedTexts[i].text;
  }
  return {};
}

}  // namespace orvix
