#include "store/string_hash.h"

namespace orvix {

std::uint32_t TWStringHash::HashOf(std::u16string_view key) {
  std::uint32_t h = 0;
  for (const char16_t c : key) h = ((h << 2) | (h >> 30)) ^ c;
  return h;
}

void TWStringHash::Add(std::u16string key, int value) {
  const std::uint32_t bucket = HashOf(key) % kBucketCount;
  items_.push_back(THashItemW{buckets_[bucket], std::move(key), value});
  buckets_[bucket] = static_cast<int>(items_.size() - 1);
}

void TWStringHash::Clear() {
  buckets_.assign(kBucketCount, -1);
  items_.clear();
}

int TWStringHash::Find(std::u16string_view key) const {
  for (int i = buckets_[HashOf(key) % kBucketCount]; i >= 0; i = items_[static_cast<std::size_t>(i)].next) {
    if (items_[static_cast<std::size_t>(i)].key == key) return i;
  }
  return -1;
}

int TWStringHash::ValueOf(std::u16string_view key) const {
  const int i = Find(key);
  return i < 0 ? -1 : items_[static_cast<std::size_t>(i)].value;
}

bool TWStringHash::Modify(std::u16string_view key, int value) {
  const int i = Find(key);
  if (i < 0) return false;
  items_[static_cast<std::size_t>(i)].value = value;
  return true;
}

void TWStringHash::Remove(std::u16string_view key) {
  int* link = &buckets_[HashOf(key) % kBucketCount];
  while (*link >= 0) {
    THashItemW& item = items_[static_cast<std::size_t>(*link)];
    if (item.key == key) {
      *link = item.next;
      return;
    }
    link = &item.next;
  }
}

}  // namespace orvix
