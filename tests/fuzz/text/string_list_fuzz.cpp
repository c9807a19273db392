// Fuzzes the wide string list loading from bytes: a file with or without
// FF FE and a stream give the same entries, no entry holds a line break or
// a NUL, saving and loading again gives the same list, the text form
// round-trips, and a sorted copy is in order and finds every entry.
#include <sstream>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "text/wide_strings.h"

namespace {

using namespace orvix;
using fuzz::Check;

bool SameEntries(const TWStringList& a, const TWStringList& b) {
  if (a.GetCount() != b.GetCount()) return false;
  for (int i = 0; i < a.GetCount(); ++i)
    if (a.Strings(i) != b.Strings(i)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFile file;
  std::string_view bytes = fuzz::Bytes(data, size);

  TWStringList fromFile;
  fromFile.LoadFromFile(file.Write(bytes));
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
  std::istringstream stream{std::string(bytes)};
  TWStringList fromStream;
  fromStream.LoadFromStream(stream);
  Check(SameEntries(fromFile, fromStream), "file and stream give the same entries");
  Check(static_cast<std::size_t>(fromFile.GetCount()) <= bytes.size() / 2, "an entry per line at most");
  for (int i = 0; i < fromFile.GetCount(); ++i)
    Check(fromFile.Strings(i).find_first_of(u"\r\n", 0, 3) == std::u16string::npos, "no CR, LF or NUL in an entry");

  // The text form and the file round-trip.
  TWStringList again;
  again.SetText(fromFile.GetText());
  Check(SameEntries(fromFile, again), "SetText of GetText");
  fromFile.SaveToFile(file.Name());
  TWStringList reloaded;
  reloaded.LoadFromFile(file.Name());
  Check(SameEntries(fromFile, reloaded), "save and load again");

  // Sorted: in order without duplicates, and every entry is found.
  TWStringList sorted;
  sorted.AddStrings(fromFile);
  sorted.SetSorted(true);
  TWStringList unique;
  unique.SetSorted(true);
  for (int i = 0; i < fromFile.GetCount() && i < 512; ++i) {
    unique.Add(fromFile.Strings(i));
    int index = -1;
    Check(sorted.Find(fromFile.Strings(i), index) && sorted.CompareStrings(sorted.Strings(index), fromFile.Strings(i)) == 0,
          "a sorted list finds every entry");
  }
  for (int i = 1; i < sorted.GetCount(); ++i)
    Check(sorted.CompareStrings(sorted.Strings(i - 1), sorted.Strings(i)) <= 0, "sorted order");
  for (int i = 1; i < unique.GetCount(); ++i)
    Check(unique.CompareStrings(unique.Strings(i - 1), unique.Strings(i)) < 0, "no duplicates when ignored");
  return 0;
}
