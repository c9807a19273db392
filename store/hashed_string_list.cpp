#include "store/hashed_string_list.h"

#include "text/platform.h"

namespace orvix {

std::u16string TWHashedStringList::HashKey(std::u16string_view text) const {
  return CaseSensitive() ? std::u16string(text) : platform::UpperCase(text);
}

void TWHashedStringList::UpdateValueHash() const {
  if (valueHashValid_ && valueHashCaseSensitive_ == CaseSensitive()) return;
  if (!valueHash_) {
    valueHash_ = std::make_unique<TWStringHash>();
  } else {
    valueHash_->Clear();
  }
  const int count = GetCount();
  for (int i = 0; i < count; ++i) valueHash_->Add(HashKey(Strings(i)), i);
  valueHashValid_ = true;
  valueHashCaseSensitive_ = CaseSensitive();
}

void TWHashedStringList::UpdateNameHash() const {
  if (nameHashValid_ && nameHashCaseSensitive_ == CaseSensitive()) return;
  if (!nameHash_) {
    nameHash_ = std::make_unique<TWStringHash>();
  } else {
    nameHash_->Clear();
  }
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    const std::u16string& entry = Strings(i);
    const auto eq = entry.find(u'=');
    if (eq != std::u16string::npos) nameHash_->Add(HashKey(std::u16string_view(entry).substr(0, eq)), i);
  }
  nameHashValid_ = true;
  nameHashCaseSensitive_ = CaseSensitive();
}

int TWHashedStringList::IndexOf(std::u16string_view text) const {
  UpdateValueHash();
  return valueHash_->ValueOf(HashKey(text));
}

int TWHashedStringList::IndexOfName(std::u16string_view name) const {
  UpdateNameHash();
  return nameHash_->ValueOf(HashKey(name));
}

void TWHashedStringList::Changed() {
  TWStringList::Changed();
  valueHashValid_ = false;
  nameHashValid_ = false;
}

}  // namespace orvix
