// TWStringList: text splitting, files, sorted lists, errors and events.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/store/test_files.h"
#include "text/wide_strings.h"

namespace orvix {
namespace {

using scratch::ReadBytes;
using scratch::ScratchFile;
using scratch::Utf16Le;
using scratch::WriteBytes;

std::vector<std::u16string> Entries(const TWStrings& list) {
  std::vector<std::u16string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

template <typename Fn>
std::string ErrorText(Fn&& fn) {
  try {
    fn();
  } catch (const EListError& e) {
    return e.what();
  }
  return "(no EListError)";
}

TEST(WideStringsText, LineBreakKindsAndNul) {
  TWStringList list;
  list.SetText(std::u16string(u"a\rb\nc\r\nd\n\re\0f\r\ng", 17));
  // LF then CR is two breaks; everything after the NUL is gone.
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"", u"e"}));

  list.SetText(u"x\r\n");  // a final break adds no empty line
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"x"}));
  list.SetText(u"\r\n\r\n");
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"", u""}));
  list.SetText(u"");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetText(), u"");

  list.SetText(u"a\nb");
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\n");
}

TEST(WideStringsFiles, LoadsWithAndWithoutMarkAndSavesExactBytes) {
  const std::u16string withMark = ScratchFile("mark.txt");
  const std::u16string noMark = ScratchFile("nomark.txt");
  WriteBytes(withMark, Utf16Le(u"a\r\nb\r\n", true));
  WriteBytes(noMark, Utf16Le(u"a\r\nb\r\n") + "\x41");  // odd trailing byte ignored
  TWStringList list;
  list.LoadFromFile(withMark);
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"a", u"b"}));
  list.LoadFromFile(noMark);
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"a", u"b"}));

  // Letters outside Latin-1 pass through as UTF-16 units.
  list.Add(u"\u011F\u0130");
  const std::u16string saved = ScratchFile("saved.txt");
  list.SaveToFile(saved);
  EXPECT_EQ(ReadBytes(saved), std::string("\xFF\xFE"
                                          "a\0\r\0\n\0b\0\r\0\n\0\x1F\x01\x30\x01\r\0\n\0",
                                          22));

  std::ostringstream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(stream.str(), Utf16Le(u"a\r\nb\r\n\u011F\u0130\r\n"));  // no mark in a stream
  std::istringstream in(stream.str());
  TWStringList back;
  back.LoadFromStream(in);
  EXPECT_EQ(Entries(back), Entries(list));
}

TEST(WideStringsFiles, FileErrorsNameTheFile) {
  TWStringList list;
  const std::u16string missing = ScratchFile("no-such-folder/x.txt");
  try {
    list.LoadFromFile(missing);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + platform::Utf16ToUtf8(missing) + "\". ", 0), 0u)
        << e.what();
    EXPECT_EQ(e.FileName(), missing);
  }
  try {
    list.SaveToFile(missing);
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u) << e.what();
  }
}

TEST(WideStringsErrors, IndexAndSortedListErrors) {
  TWStringList list;
  list.Add(u"a");
  list.Insert(1, u"b");  // at count: appends
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(ErrorText([&] { list.Insert(3, u"c"); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorText([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorText([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorText([&] { list.Exchange(0, 5); }), "List index out of bounds (5)");

  list.SetSorted(true);
  EXPECT_EQ(ErrorText([&] { list.Insert(0, u"c"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorText([&] { list.Put(0, u"c"); }), "Operation not allowed on sorted list");
  // A refused move must not lose the entry.
  EXPECT_EQ(ErrorText([&] { list.Move(0, 1); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorText([&] { list.Move(0, 7); }), "List index out of bounds (7)");
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"a", u"b"}));

  TWStringList unsortedMove;
  unsortedMove.SetText(u"a\nb\nc");
  EXPECT_THROW(unsortedMove.TWStrings::Move(0, 3), EListError);
  EXPECT_EQ(unsortedMove.Count(), 3);
  unsortedMove.Move(0, 2);
  EXPECT_EQ(Entries(unsortedMove), (std::vector<std::u16string>{u"b", u"c", u"a"}));
}

TEST(WideStringsSorted, DuplicatesAndFind) {
  TWStringList list;
  list.SetSorted(true);
  for (const char16_t* s : {u"pear", u"Apple", u"fig", u"apple"}) list.Add(s);
  // Ignore: "apple" equals "Apple" without case, and is not added.
  EXPECT_EQ(Entries(list), (std::vector<std::u16string>{u"Apple", u"fig", u"pear"}));
  EXPECT_EQ(list.Add(u"FIG"), 1);
  EXPECT_EQ(list.IndexOf(u"PEAR"), 2);
  EXPECT_EQ(list.IndexOf(u"kiwi"), -1);
  int index = -1;
  EXPECT_FALSE(list.Find(u"grape", index));
  EXPECT_EQ(index, 2);

  TObject marker;
  list.AddObject(u"pear", &marker);  // ignored add leaves the existing object alone
  EXPECT_EQ(list.GetObject(2), nullptr);

  list.SetDuplicates(TDuplicates::Error);
  EXPECT_EQ(ErrorText([&] { list.Add(u"fig"); }), "String list does not allow duplicates");
  list.SetDuplicates(TDuplicates::Accept);
  list.Add(u"fig");
  list.Add(u"Fig");
  EXPECT_EQ(list.Count(), 5);
  EXPECT_TRUE(list.Find(u"fig", index));
  EXPECT_EQ(index, 1);  // the first of the equal entries
}

TEST(WideStringsSorted, SortAndCaseSensitivityResort) {
  TWStringList list;
  list.SetText(u"b\nC\na\nB\nc\nA");
  TObject objects[6];
  for (int i = 0; i < list.Count(); ++i) list.PutObject(i, &objects[i]);
  TObject* objectOfC = list.GetObject(1);
  list.SetSorted(true);
  for (int i = 1; i < list.Count(); ++i) EXPECT_LE(list.CompareStrings(list.Get(i - 1), list.Get(i)), 0);
  EXPECT_NE(list.IndexOfObject(objectOfC), -1);  // objects travel with their entries

  list.SetCaseSensitive(true);
  for (int i = 1; i < list.Count(); ++i) EXPECT_LT(list.CompareStrings(list.Get(i - 1), list.Get(i)), 0);
  EXPECT_EQ(list.Get(list.IndexOf(u"C")), u"C");
  EXPECT_EQ(list.Get(list.IndexOf(u"c")), u"c");
}

TEST(WideStringsSorted, LargeInputsSortWithoutDeepRecursion) {
  TWStringList list;
  std::u16string text;
  for (int i = 0; i < 20000; ++i) ((text += u'k') += platform::Utf8ToUtf16(std::to_string(i % 7))) += u'\n';
  list.SetText(text);
  list.CustomSort([](TWStringList& l, int a, int b) { return l.Strings(a).compare(l.Strings(b)); });
  for (int i = 1; i < list.Count(); ++i) ASSERT_LE(list.Strings(i - 1), list.Strings(i));
}

TEST(WideStringsNames, IndexOfNameAndNames) {
  TWStringList list;
  list.SetText(u"key\nother=2\nkey=1\nKEY=3");
  EXPECT_EQ(list.IndexOfName(u"Key"), 2);  // not the entry without "="
  EXPECT_EQ(list.IndexOfName(u"missing"), -1);
  EXPECT_EQ(list.Names(0), u"");
  EXPECT_EQ(list.Names(1), u"other");
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOfName(u"KEY"), 3);
}

TEST(WideStringsEvents, UpdatesBatchEventsAndClearOfEmptyIsSilent) {
  TWStringList list;
  int changing = 0;
  int changed = 0;
  list.OnChanging = [&](TWStringList&) { ++changing; };
  list.OnChange = [&](TWStringList&) { ++changed; };
  list.Add(u"a");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);

  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(u"b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);

  list.SetText(u"x\ny\nz");  // one update for the whole text
  EXPECT_EQ(changed, 3);
  list.Clear();
  list.Clear();
  EXPECT_EQ(changed, 4);
}

TEST(WideStringsAssign, CopiesEntriesAndRefusesOtherKinds) {
  TWStringList source;
  TObject object;
  source.AddObject(u"a", &object);
  source.Add(u"b");
  TWStringList target;
  target.Add(u"old");
  target.Assign(&source);
  EXPECT_EQ(Entries(target), Entries(source));
  EXPECT_EQ(target.GetObject(0), &object);
  target.Assign(&target);  // assigning to itself keeps the entries
  EXPECT_EQ(target.Count(), 2);

  TPersistent other;
  try {
    target.Assign(&other);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TPersistent to a TWStringList");
  }
  EXPECT_THROW(target.Assign(nullptr), EConvertError);
}

TEST(WideStringsCapacity, GrowsByTheDocumentedSteps) {
  TWStringList list;
  std::vector<int> capacities;
  for (int i = 0; i < 100; ++i) {
    list.Add(u"x");
    if (capacities.empty() || capacities.back() != list.GetCapacity()) capacities.push_back(list.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

}  // namespace
}  // namespace orvix
