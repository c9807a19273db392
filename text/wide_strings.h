// Ordered lists of UTF-16 strings, each paired with an object reference.
//
// TWStrings is the abstract interface: text, name=value and file operations
// expressed through a few storage primitives. TWStringList is the
// array-backed list with optional sorting, duplicate control and change
// events; the INI store and the DOM build on it.
//
// Conventions of these classes:
// - Indices are 0-based ints; a bad index raises EListError
//   "List index out of bounds (<index>)".
// - Objects attached to entries are never owned by the list.
// - Comparison is the user's locale order (platform::CompareText), ignoring
//   case unless the list is case sensitive.
// - Text form: every entry followed by CR LF. Reading splits at CR, LF or a
//   CR LF pair; a NUL ends the text.
// - Files: UTF-16 little-endian; written with FF FE first, read with or
//   without it.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "text/errors.h"
#include "text/persistent.h"

namespace orvix {

class TWStrings : public TPersistent {
 public:
  TWStrings() = default;
  ~TWStrings() override = default;

  const char* ClassName() const override { return "TWStrings"; }

  // From another TWStrings: clear, then AddStrings of the source, inside one
  // update. Any other source raises EConvertError.
  void Assign(const TPersistent* source) override;

  // Storage primitives, in the order of the class's virtual table.
  virtual std::u16string Get(int index) const = 0;
  virtual int GetCapacity() const { return GetCount(); }
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int index) const;
  virtual std::u16string GetText() const;
  virtual void Put(int index, std::u16string text);
  virtual void PutObject(int index, TObject* object);
  virtual void SetCapacity(int capacity);
  virtual void SetText(std::u16string_view text);
  virtual void SetUpdateState(bool updating);
  // <0, 0, >0 in the list's order.
  virtual int CompareStrings(std::u16string_view a, std::u16string_view b) const;

  // Appends (or, in a sorted list, inserts in order); returns the index.
  virtual int Add(std::u16string text);
  virtual int AddObject(std::u16string text, TObject* object);
  virtual void AddStrings(const TWStrings& strings);
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Exchange(int index1, int index2);
  // First index whose text compares equal, else -1.
  virtual int IndexOf(std::u16string_view text) const;
  // First index whose text holds "=" and whose part before the first "="
  // compares equal to name, else -1.
  virtual int IndexOfName(std::u16string_view name) const;
  virtual int IndexOfObject(const TObject* object) const;
  // 0 <= index <= count.
  virtual void Insert(int index, std::u16string text) = 0;
  // Raises EFOpenError when the file cannot be opened.
  virtual void LoadFromFile(const std::u16string& fileName);
  // Reads the remaining bytes of stream as UTF-16 LE (an odd last byte is
  // ignored) and SetTexts them.
  virtual void LoadFromStream(std::istream& stream);
  virtual void Move(int curIndex, int newIndex);
  // Raises EFCreateError when the file cannot be created.
  virtual void SaveToFile(const std::u16string& fileName) const;
  // The GetText text as UTF-16 LE, no mark, no terminator, into the
  // stream's buffer; a stream that is not good gets nothing.
  virtual void SaveToStream(std::ostream& stream) const;

  void InsertObject(int index, std::u16string text, TObject* object);

  // Nestable; the change events fire only outside an update.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  int Count() const { return GetCount(); }
  // The text before the first "=", empty when there is none.
  std::u16string Names(int index) const;

 protected:
  [[noreturn]] static void Error(const char* format, int value);

 private:
  int updateCount_ = 0;
};

// Keeps a list inside one BeginUpdate/EndUpdate for the lifetime of a scope,
// also when an operation inside it raises, so the change events fire once.
class TWStringsUpdate {
 public:
  explicit TWStringsUpdate(TWStrings& list) : list_(list) { list_.BeginUpdate(); }
  ~TWStringsUpdate() { list_.EndUpdate(); }
  TWStringsUpdate(const TWStringsUpdate&) = delete;
  TWStringsUpdate& operator=(const TWStringsUpdate&) = delete;

 private:
  TWStrings& list_;
};

struct TWStringItem {
  std::u16string text;
  TObject* object = nullptr;  // not owned
};

enum class TDuplicates { Ignore, Accept, Error };

class TWStringList;
// Order of the entries at two indices for CustomSort: <0, 0, >0.
using TWStringListSortCompare = std::function<int(TWStringList& list, int index1, int index2)>;
using TWNotifyEvent = std::function<void(TWStringList& sender)>;

class TWStringList : public TWStrings {
 public:
  TWStringList() = default;
  ~TWStringList() override = default;

  const char* ClassName() const override { return "TWStringList"; }

  std::u16string Get(int index) const override;
  int GetCapacity() const override { return capacity_; }
  int GetCount() const override { return static_cast<int>(items_.size()); }
  TObject* GetObject(int index) const override;
  void Put(int index, std::u16string text) override;
  void PutObject(int index, TObject* object) override;
  // Values below the count are taken as the count.
  void SetCapacity(int capacity) override;
  void SetUpdateState(bool updating) override;
  int CompareStrings(std::u16string_view a, std::u16string_view b) const override;

  int Add(std::u16string text) override;
  int AddObject(std::u16string text, TObject* object) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(std::u16string_view text) const override;
  void Insert(int index, std::u16string text) override;
  void Move(int curIndex, int newIndex) override;

  virtual void Changed();
  virtual void Changing();
  // Sorted lists: bisection. Returns true when an equal entry exists; index
  // is the first equal entry (unless duplicates are accepted) or the place
  // where text would be inserted.
  virtual bool Find(std::u16string_view text, int& index) const;
  virtual void Sort();
  virtual void CustomSort(const TWStringListSortCompare& compare);

  // Fast access without copying; index must be valid (checked).
  const std::u16string& Strings(int index) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool CaseSensitive() const { return caseSensitive_; }
  // Re-sorts a sorted list in the new order.
  void SetCaseSensitive(bool caseSensitive);

  TWNotifyEvent OnChange;
  TWNotifyEvent OnChanging;

 protected:
  // Inserts without the sorted check (used by Add on sorted lists).
  void InsertItem(int index, std::u16string text, TObject* object);
  void CheckIndex(int index) const;

 private:
  void Grow();
  void QuickSort(int low, int high, const TWStringListSortCompare& compare);
  void SortUnconditionally(const TWStringListSortCompare& compare);

  std::vector<TWStringItem> items_;
  int capacity_ = 0;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::Ignore;
  bool caseSensitive_ = false;
};

}  // namespace orvix
