// A wide string list whose IndexOf and IndexOfName go through hash tables.
//
// The INI store keeps its section names and each section's lines in these
// lists. The two indexes (whole entries; name parts before the first "=")
// are built lazily by the first lookup after a change and rebuilt in index
// order, so among equal keys the highest index is found.
//
// Case-insensitive lists hash the non-linguistic upper-case form of the
// keys: on a Turkish system "displayname" and "DISPLAYNAME" still meet
// (a linguistic mapping would turn "i" into the dotted capital).
#pragma once

#include <memory>

#include "store/string_hash.h"
#include "text/wide_strings.h"

namespace orvix {

class TWHashedStringList : public TWStringList {
 public:
  TWHashedStringList() = default;
  ~TWHashedStringList() override = default;

  const char* ClassName() const override { return "TWHashedStringList"; }

  // Exact match of the whole entry (upper-cased in a case-insensitive
  // list); the later of equal entries. -1 when absent.
  int IndexOf(std::u16string_view text) const override;
  // The same for the part before the first "=" of entries that hold one.
  int IndexOfName(std::u16string_view name) const override;
  void Changed() override;

 private:
  std::u16string HashKey(std::u16string_view text) const;
  void UpdateValueHash() const;
  void UpdateNameHash() const;

  // Lookups are logically const; the indexes are caches of the entries.
  mutable std::unique_ptr<TWStringHash> valueHash_;
  mutable std::unique_ptr<TWStringHash> nameHash_;
  mutable bool valueHashValid_ = false;
  mutable bool nameHashValid_ = false;
  // The case mode the indexes were built in; changing the list's mode
  // sends no change event, so the lookups compare it themselves.
  mutable bool valueHashCaseSensitive_ = false;
  mutable bool nameHashCaseSensitive_ = false;
};

}  // namespace orvix
