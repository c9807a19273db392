#include "text/wide_strings.h"

#include "text/text_utils.h"

#include <algorithm>
#include <iterator>
#include <istream>
#include <ostream>
#include <utility>

#include "text/file_io.h"
#include "text/platform.h"

namespace orvix {

namespace {

constexpr const char* kIndexError = "List index out of bounds (%d)";
constexpr const char* kDuplicateError = "String list does not allow duplicates";
constexpr const char* kSortedError = "Operation not allowed on sorted list";

}  // namespace

// ---- TWStrings ------------------------------------------------------------

void TWStrings::Error(const char* format, int value) {
  std::string message = format;
  const auto pos = message.find("%d");
  if (pos != std::string::npos) message.replace(pos, 2, std::to_string(value));
  throw EListError(message);
}

void TWStrings::Assign(const TPersistent* source) {
  if (const auto* strings = dynamic_cast<const TWStrings*>(source)) {
    // Clearing first would empty the source too.
    if (strings == this) return;
    TWStringsUpdate update(*this);
    Clear();
    AddStrings(*strings);
    return;
  }
  TPersistent::Assign(source);
}

TObject* TWStrings::GetObject(int) const { return nullptr; }

std::u16string TWStrings::GetText() const {
  const int count = GetCount();
  std::u16string text;
  for (int i = 0; i < count; ++i) {
    text += Get(i);
    text += u"\r\n";
  }
  return text;
}

void TWStrings::Put(int index, std::u16string text) {
  TObject* object = GetObject(index);
  TWStringsUpdate update(*this);
  Delete(index);
  InsertObject(index, std::move(text), object);
}

void TWStrings::PutObject(int, TObject*) {}

void TWStrings::SetCapacity(int) {}

void TWStrings::SetText(std::u16string_view text) {
  TWStringsUpdate update(*this);
  Clear();
  const std::size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  std::size_t pos = 0;
  const std::size_t end = text.size();
  while (pos < end) {
    std::size_t stop = pos;
    while (stop < end && text[stop] != u'\r' && text[stop] != u'\n') ++stop;
    Add(std::u16string(text.substr(pos, stop - pos)));
    pos = stop;
    if (pos < end && text[pos] == u'\r') ++pos;
    if (pos < end && text[pos] == u'\n') ++pos;
  }
}

void TWStrings::SetUpdateState(bool) {}

int TWStrings::CompareStrings(std::u16string_view a, std::u16string_view b) const {
  return platform::CompareText(a, b, false);
}

int TWStrings::Add(std::u16string text) {
  const int index = GetCount();
  Insert(index, std::move(text));
  return index;
}

int TWStrings::AddObject(std::u16string text, TObject* object) {
  const int index = Add(std::move(text));
  PutObject(index, object);
  return index;
}

void TWStrings::AddStrings(const TWStrings& strings) {
  TWStringsUpdate update(*this);
  const int count = strings.GetCount();  // fixed: adding a list to itself doubles it
  for (int i = 0; i < count; ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

void TWStrings::Exchange(int index1, int index2) {
  TWStringsUpdate update(*this);
  std::u16string text1 = Get(index1);
  std::u16string text2 = Get(index2);
  TObject* object1 = GetObject(index1);
  TObject* object2 = GetObject(index2);
  Put(index1, std::move(text2));
  Put(index2, std::move(text1));
  PutObject(index1, object2);
  PutObject(index2, object1);
}

int TWStrings::IndexOf(std::u16string_view text) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    if (CompareStrings(Get(i), text) == 0) return i;
  }
  return -1;
}

int TWStrings::IndexOfName(std::u16string_view name) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    const std::u16string entry = Get(i);
    const auto eq = entry.find(u'=');
    if (eq != std::u16string::npos && CompareStrings(std::u16string_view(entry).substr(0, eq), name) == 0) {
      return i;
    }
  }
  return -1;
}

int TWStrings::IndexOfObject(const TObject* object) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    if (GetObject(i) == object) return i;
  }
  return -1;
}

void TWStrings::LoadFromFile(const std::u16string& fileName) {
  const std::string bytes = fileio::ReadWholeFile(fileName);
  std::string_view view(bytes);
  if (view.size() >= 2 && static_cast<unsigned char>(view[0]) == 0xFF &&
      static_cast<unsigned char>(view[1]) == 0xFE) {
    view.remove_prefix(2);
  }
  SetText(DecodeUtf16Le(view));
}

void TWStrings::LoadFromStream(std::istream& stream) {
  const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  SetText(DecodeUtf16Le(bytes));
}

void TWStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  // Check the target first: failing after the Delete would lose the entry.
  if (newIndex < 0 || newIndex >= GetCount()) Error(kIndexError, newIndex);
  TWStringsUpdate update(*this);
  std::u16string text = Get(curIndex);
  TObject* object = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, std::move(text), object);
}

void TWStrings::SaveToFile(const std::u16string& fileName) const {
  fileio::WriteWholeFile(fileName, EncodeUtf16Le(GetText(), std::string("\xFF\xFE")));
}

void TWStrings::SaveToStream(std::ostream& stream) const {
  const std::string bytes = EncodeUtf16Le(GetText());
  // Into the stream's buffer directly. ostream::write, or setting the
  // stream's state, would link the whole iostream and locale machinery of
  // the runtime (about 600 KB of orvix.exe, which never calls this) for
  // these few lines. So a stream that is not good gets nothing, and a short
  // write is not marked on the stream.
  std::streambuf* buffer = stream.rdbuf();
  if (stream.good() && buffer != nullptr) {
    buffer->sputn(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

void TWStrings::InsertObject(int index, std::u16string text, TObject* object) {
  TWStringsUpdate update(*this);
  Insert(index, std::move(text));
  PutObject(index, object);
}

void TWStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TWStrings::EndUpdate() {
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

std::u16string TWStrings::Names(int index) const {
  std::u16string text = Get(index);
  const auto eq = text.find(u'=');
  if (eq == std::u16string::npos) return {};
  text.resize(eq);
  return text;
}

// ---- TWStringList ---------------------------------------------------------

void TWStringList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) Error(kIndexError, index);
}

std::u16string TWStringList::Get(int index) const { return Strings(index); }

const std::u16string& TWStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

TObject* TWStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TWStringList::Put(int index, std::u16string text) {
  if (sorted_) Error(kSortedError, 0);
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].text = std::move(text);
  Changed();
}

void TWStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].object = object;
  Changed();
}

void TWStringList::SetCapacity(int capacity) {
  capacity_ = std::max(capacity, GetCount());
  if (static_cast<std::size_t>(capacity_) < items_.capacity()) {
    items_.shrink_to_fit();
  }
  items_.reserve(static_cast<std::size_t>(capacity_));
}

void TWStringList::Grow() {
  int delta = 4;
  if (capacity_ > 64) {
    delta = capacity_ / 4;
  } else if (capacity_ > 8) {
    delta = 16;
  }
  SetCapacity(capacity_ + delta);
}

void TWStringList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TWStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(*this);
}

void TWStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(*this);
}

int TWStringList::CompareStrings(std::u16string_view a, std::u16string_view b) const {
  return platform::CompareText(a, b, caseSensitive_);
}

int TWStringList::Add(std::u16string text) { return AddObject(std::move(text), nullptr); }

int TWStringList::AddObject(std::u16string text, TObject* object) {
  int index = GetCount();
  if (sorted_ && Find(text, index)) {
    switch (duplicates_) {
      case TDuplicates::Ignore:
        return index;  // nothing added, the existing entry keeps its object
      case TDuplicates::Error:
        Error(kDuplicateError, 0);
      case TDuplicates::Accept:
        break;
    }
  }
  InsertItem(index, std::move(text), object);
  return index;
}

void TWStringList::InsertItem(int index, std::u16string text, TObject* object) {
  Changing();
  if (GetCount() == capacity_) Grow();
  items_.insert(items_.begin() + index, TWStringItem{std::move(text), object});
  Changed();
}

void TWStringList::Insert(int index, std::u16string text) {
  if (sorted_) Error(kSortedError, 0);
  if (index < 0 || index > GetCount()) Error(kIndexError, index);
  InsertItem(index, std::move(text), nullptr);
}

void TWStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<TWStringItem>().swap(items_);
  capacity_ = 0;
  Changed();
}

void TWStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TWStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  Changed();
}

void TWStringList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  if (sorted_) Error(kSortedError, 0);
  Changing();
  const auto first = items_.begin();
  if (curIndex < newIndex) {
    std::rotate(first + curIndex, first + curIndex + 1, first + newIndex + 1);
  } else {
    std::rotate(first + newIndex, first + curIndex, first + curIndex + 1);
  }
  Changed();
}

int TWStringList::IndexOf(std::u16string_view text) const {
  if (!sorted_) return TWStrings::IndexOf(text);
  int index = 0;
  return Find(text, index) ? index : -1;
}

bool TWStringList::Find(std::u16string_view text, int& index) const {
  bool found = false;
  int low = 0;
  int high = GetCount() - 1;
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int c = CompareStrings(items_[static_cast<std::size_t>(middle)].text, text);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::Accept) low = middle;
      }
    }
  }
  index = low;
  return found;
}

void TWStringList::Sort() {
  CustomSort([](TWStringList& list, int a, int b) {
    return list.CompareStrings(list.items_[static_cast<std::size_t>(a)].text,
                               list.items_[static_cast<std::size_t>(b)].text);
  });
}

void TWStringList::CustomSort(const TWStringListSortCompare& compare) {
  if (sorted_ || GetCount() < 2) return;
  SortUnconditionally(compare);
}

void TWStringList::SortUnconditionally(const TWStringListSortCompare& compare) {
  Changing();
  QuickSort(0, GetCount() - 1, compare);
  Changed();
}

// Quicksort with the middle entry as pivot. The smaller part is sorted by a
// recursive call and the larger one by the loop, so the depth stays below
// log2(count) whatever the input.
void TWStringList::QuickSort(int low, int high, const TWStringListSortCompare& compare) {
  while (low < high) {
    int i = low;
    int j = high;
    int pivot = low + (high - low) / 2;
    do {
      while (compare(*this, i, pivot) < 0) ++i;
      while (compare(*this, j, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
        // The pivot entry moved with the swap; follow it.
        if (pivot == i) {
          pivot = j;
        } else if (pivot == j) {
          pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - low < high - i) {
      if (low < j) QuickSort(low, j, compare);
      low = i;
    } else {
      if (i < high) QuickSort(i, high, compare);
      high = j;
    }
  }
}

void TWStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TWStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  // A sorted list must follow the new order, or Find would bisect wrongly.
  if (sorted_ && GetCount() > 1) {
    SortUnconditionally([](TWStringList& list, int a, int b) {
      return list.CompareStrings(list.items_[static_cast<std::size_t>(a)].text,
                                 list.items_[static_cast<std::size_t>(b)].text);
    });
  }
}

}  // namespace orvix
