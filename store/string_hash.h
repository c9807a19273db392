// The chained hash table behind TWHashedStringList's lookups.
//
// 256 buckets, fixed. An added item goes to the head of its bucket's chain
// and a lookup returns the first exact match from the head, so when a key is
// added several times the last addition wins: the INI store relies on that
// to find the later of two sections or keys with the same name.
//
// The chains are linked by index into one pool rather than by pointer, so
// clearing or destroying a table never walks a chain recursively, however
// many equal keys it holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/persistent.h"

namespace orvix {

struct THashItemW {
  int next = -1;  // pool index of the next item in the chain, -1 at its end
  std::u16string key;
  int value = 0;
};

class TWStringHash : public TObject {
 public:
  static constexpr std::uint32_t kBucketCount = 256;

  TWStringHash() : buckets_(kBucketCount, -1) {}
  const char* ClassName() const override { return "TWStringHash"; }

  // h := rol(h, 2) xor c over the UTF-16 code units.
  static std::uint32_t HashOf(std::u16string_view key);

  void Add(std::u16string key, int value);
  void Clear();
  // The value of the most recently added item with exactly this key, or -1.
  int ValueOf(std::u16string_view key) const;
  // Changes the value of that item; false when the key is absent.
  bool Modify(std::u16string_view key, int value);
  // Unlinks that item; its pool slot is reclaimed on the next Clear.
  void Remove(std::u16string_view key);

 private:
  int Find(std::u16string_view key) const;

  std::vector<int> buckets_;        // head item index per bucket, -1 when empty
  std::vector<THashItemW> items_;   // the pool
};

}  // namespace orvix
