// TWMemIniFile: loading rules, escapes, lookups, typed values and the saved
// file's exact bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "store/ini_file.h"
#include "store/number_text.h"
#include "tests/store/test_files.h"

namespace orvix {
namespace {

using scratch::ReadBytes;
using scratch::ScratchFile;
using scratch::Utf16Le;
using scratch::WriteBytes;

// A store loaded from a file holding text (UTF-16 LE with the mark).
std::unique_ptr<TWMemIniFile> Load(std::string_view name, std::u16string_view text, bool mark = true) {
  return std::make_unique<TWMemIniFile>(scratch::ScratchUtf16File(name, text, mark));
}

std::u16string Dump(const TWMemIniFile& ini) {
  TWStringList lines;
  ini.GetStrings(lines);
  return lines.GetText();
}

TEST(IniLoad, TrimsJoinsAndSkips) {
  auto ini = Load("load.ini",
                  u"orphan=1\r\n"
                  u"  [ update ]  \r\n"
                  u"; comment\r\n"
                  u"\r\n"
                  u"download = 1234.5\r\n"
                  u"\tbare line \n"
                  u"[broken\r"
                  u"[]\r\n"
                  u"k=v\0ignored=1\r\n",
                  false);
  ASSERT_EQ(ini->SectionCount(), 2);
  EXPECT_EQ(ini->SectionName(0), u"update");
  EXPECT_EQ(ini->SectionName(1), u"");
  TWStringList lines;
  ini->ReadSectionValues(u"update", lines);
  EXPECT_EQ(lines.GetText(), u"download=1234.5\r\nbare line\r\n[broken\r\n");
  EXPECT_EQ(ini->ReadFloat(u"update", u"download", 0), 1234.5);
  EXPECT_EQ(ini->ReadString(u"", u"k", u"-"), u"v");
  EXPECT_EQ(ini->ReadString(u"", u"ignored", u"-"), u"-");
  EXPECT_EQ(ini->ReadString(u"update", u"orphan", u"-"), u"-");
}

TEST(IniLoad, MissingFileOrNameGivesEmptyStore) {
  TWMemIniFile unnamed(u"");
  EXPECT_EQ(unnamed.SectionCount(), 0);
  TWMemIniFile missing(ScratchFile("absent.ini"));
  EXPECT_EQ(missing.SectionCount(), 0);
  EXPECT_EQ(missing.ReadString(u"a", u"b", u"dflt"), u"dflt");
  // A folder exists but is no file: still an empty store, no error.
  TWMemIniFile folder(scratch::ScratchDir().u16string());
  EXPECT_EQ(folder.SectionCount(), 0);
}

TEST(IniEscapes, RoundTripThroughTheFile) {
  const std::u16string file = ScratchFile("escapes.ini");
  const std::u16string tricky = u"C:\\path\tcol\r\nnext\nlone";
  {
    TWMemIniFile ini(file);
    ini.WriteString(u"s", u"v", tricky);
    ini.WriteString(u"s", u"back\\slash", u"x");
    ini.UpdateFile();
  }
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes, Utf16Le(u"[s]\r\nv=C:\\\\path\\tcol\\r\\nnext\\nlone\r\nback\\\\slash=x\r\n\r\n", true));
  TWMemIniFile back(file);
  EXPECT_EQ(back.ReadString(u"s", u"v", u""), tricky);
  EXPECT_EQ(back.ReadString(u"s", u"back\\slash", u""), u"x");
}

TEST(IniEscapes, UnknownAndTrailingEscapesAreDropped) {
  EXPECT_EQ(TWMemIniFile::Unescape(u"a\\xb"), u"ab");
  EXPECT_EQ(TWMemIniFile::Unescape(u"end\\"), u"end");
  EXPECT_EQ(TWMemIniFile::Unescape(u"\\\\n"), u"\\n");
  auto ini = Load("xescape.ini", u"[s]\r\nk=1\\x2\\\r\n");
  EXPECT_EQ(ini->ReadString(u"s", u"k", u""), u"12");
}

TEST(IniLookup, CaseInsensitiveAndLaterDuplicatesWin) {
  auto ini = Load("dups.ini",
                  u"[update]\r\nDownload=5\r\n"
                  u"[price]\r\nquota=1\r\nQUOTA=2\r\n"
                  u"[PRICE]\r\nquota=3\r\nquota=4\r\n");
  EXPECT_EQ(ini->ReadString(u"UPDATE", u"download", u""), u"5");
  EXPECT_EQ(ini->ReadString(u"Price", u"Quota", u""), u"4");  // later section, later line
  ini->WriteString(u"price", u"QUOTA", u"9");                  // replaces that later line
  TWStringList lines;
  ini->ReadSectionValues(u"price", lines);
  EXPECT_EQ(lines.GetText(), u"quota=3\r\nQUOTA=9\r\n");
  ini->DeleteKey(u"price", u"quota");
  EXPECT_EQ(ini->ReadString(u"price", u"quota", u""), u"3");
  ini->EraseSection(u"price");
  EXPECT_EQ(ini->ReadString(u"price", u"quota", u""), u"2");  // the first section shows again
  EXPECT_EQ(ini->SectionCount(), 2);

  ini->SetCaseSensitive(true);
  EXPECT_EQ(ini->ReadString(u"update", u"download", u"-"), u"-");
  EXPECT_EQ(ini->ReadString(u"update", u"Download", u"-"), u"5");
}

TEST(IniSections, ReadSectionNamesAndWriteAppends) {
  auto ini = Load("sections.ini", u"[a]\r\nx=1\r\nplain\r\n[b]\r\n");
  TWStringList list;
  list.Add(u"stale");
  ini->ReadSection(u"a", list);
  EXPECT_EQ(list.GetText(), u"x\r\n\r\n");
  ini->ReadSections(list);
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\n");
  ini->ReadSectionValues(u"missing", list);
  EXPECT_EQ(list.Count(), 0);
  ini->WriteString(u"c", u"k", u"v");
  ini->WriteString(u"a", u"y", u"2");
  EXPECT_EQ(Dump(*ini), u"[a]\r\nx=1\r\nplain\r\ny=2\r\n\r\n[b]\r\n\r\n[c]\r\nk=v\r\n\r\n");
  EXPECT_TRUE(ini->SectionExists(u"C"));
  EXPECT_TRUE(ini->ValueExists(u"a", u"Y"));
  EXPECT_FALSE(ini->ValueExists(u"a", u"z"));
}

TEST(IniSave, ExactBytesAndCreateError) {
  const std::u16string file = ScratchFile("saved.ini");
  TWMemIniFile ini(file);
  ini.WriteString(u"update", u"download", u"1234.5");
  ini.UpdateFile();
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes, Utf16Le(u"[update]\r\ndownload=1234.5\r\n\r\n", true));
  EXPECT_EQ(bytes.substr(bytes.size() - 8), Utf16Le(u"\r\n\r\n"));

  TWMemIniFile nowhere(ScratchFile("no-such-folder/x.ini"));
  nowhere.WriteString(u"a", u"b", u"c");
  try {
    nowhere.UpdateFile();
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u) << e.what();
  }
}

TEST(IniTyped, Integers) {
  auto ini = Load("ints.ini",
                  u"[n]\r\nhex=0x1F\r\nHX=0XfF\r\nshort=0x\r\ndollar=$10\r\nneg=-42\r\nbig=2147483648\r\n"
                  u"word=yes\r\ntwo=2\r\nzero=0\r\nspace= \r\nall=0xFFFFFFFF\r\n");
  EXPECT_EQ(ini->ReadInteger(u"n", u"hex", 0), 31);
  EXPECT_EQ(ini->ReadInteger(u"n", u"hx", 0), 255);
  EXPECT_EQ(ini->ReadInteger(u"n", u"short", 7), 7);
  EXPECT_EQ(ini->ReadInteger(u"n", u"dollar", 0), 16);
  EXPECT_EQ(ini->ReadInteger(u"n", u"neg", 0), -42);
  EXPECT_EQ(ini->ReadInteger(u"n", u"big", 7), 7);
  EXPECT_EQ(ini->ReadInteger(u"n", u"all", 0), -1);
  EXPECT_EQ(ini->ReadInteger(u"n", u"missing", 5), 5);
  EXPECT_TRUE(ini->ReadBool(u"n", u"two", false));
  EXPECT_FALSE(ini->ReadBool(u"n", u"zero", true));
  EXPECT_TRUE(ini->ReadBool(u"n", u"word", true));
  EXPECT_FALSE(ini->ReadBool(u"n", u"word", false));
  EXPECT_TRUE(ini->ReadBool(u"n", u"space", true));

  ini->WriteHexInteger(u"n", u"h", -2);
  EXPECT_EQ(ini->ReadString(u"n", u"h", u""), u"0xFFFFFFFE");
  EXPECT_EQ(ini->ReadInteger(u"n", u"h", 0), -2);
  ini->WriteInteger(u"n", u"i", -2147483647 - 1);
  EXPECT_EQ(ini->ReadInteger(u"n", u"i", 0), -2147483647 - 1);
  ini->WriteBool(u"n", u"b", true);
  EXPECT_EQ(ini->ReadString(u"n", u"b", u""), u"1");
}

TEST(IniTyped, FloatsUseDotInGeneralForm) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {26.81, "26.81"},        {4294967296.0, "4294967296"}, {0.009248, "0.009248"}, {-1, "-1"},
      {0, "0"},                {0.00001, "0.00001"},         {0.000001, "1E-6"},     {1.5e-7, "1.5E-7"},
      {1e15, "1E15"},          {999999999999999.0, "999999999999999"},              {1e20, "1E20"},
      {0.1 + 0.2, "0.3"},      {1234.5, "1234.5"},           {-0.000123, "-0.000123"},
      {123456789012345678.0, "1.23456789012346E17"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(numtext::FormatFloat(c.value), c.text) << c.text;
    double back = 0;
    EXPECT_TRUE(numtext::ParseFloat(c.text, back)) << c.text;
  }

  auto ini = Load("floats.ini", u"[f]\r\nc=1,5\r\nx=12abc\r\ne=\r\nexp=2.5E3\r\nnan=nan\r\nsp= 7.25 \r\n");
  EXPECT_EQ(ini->ReadFloat(u"f", u"c", -1), -1);  // a comma is not a decimal point here
  EXPECT_EQ(ini->ReadFloat(u"f", u"x", -1), -1);
  EXPECT_EQ(ini->ReadFloat(u"f", u"e", -1), -1);
  EXPECT_EQ(ini->ReadFloat(u"f", u"exp", -1), 2500);
  EXPECT_EQ(ini->ReadFloat(u"f", u"nan", -1), -1);
  EXPECT_EQ(ini->ReadFloat(u"f", u"sp", -1), 7.25);
  ini->WriteFloat(u"f", u"w", 26.81);
  EXPECT_EQ(ini->ReadString(u"f", u"w", u""), u"26.81");
  EXPECT_EQ(ini->ReadFloat(u"f", u"w", 0), 26.81);
}

TEST(IniTyped, FloatsIgnoreTheProcessLocale) {
  // Whatever the C and C++ locales say, the store keeps using ".".
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  bool switched = false;
  for (const char* name : {"tr_TR.UTF-8", "tr_TR.utf8", "de_DE.UTF-8", "Turkish_Turkey.1254"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      switched = true;
      break;
    }
  }
  auto ini = Load("locale.ini", u"[update]\r\ndownload = 1234.5\r\n");
  EXPECT_EQ(ini->ReadFloat(u"update", u"download", 0), 1234.5);
  ini->WriteFloat(u"update", u"upload", 0.5);
  EXPECT_EQ(ini->ReadString(u"update", u"upload", u""), u"0.5");
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no comma locale installed; checked under the C locale only";
}

TEST(IniTyped, DatesAndBinaryRoundTrip) {
  TWMemIniFile ini(u"");
  ini.WriteDate(u"d", u"date", 41275.0);  // 2013-01-01
  EXPECT_EQ(ini.ReadString(u"d", u"date", u""), u"2013-01-01");
  EXPECT_EQ(ini.ReadDate(u"d", u"date", 0), 41275.0);
  ini.WriteDateTime(u"d", u"dt", 41275.75);
  EXPECT_EQ(ini.ReadString(u"d", u"dt", u""), u"2013-01-01 18:00:00");
  EXPECT_EQ(ini.ReadDateTime(u"d", u"dt", 0), 41275.75);
  ini.WriteTime(u"d", u"t", 0.5);
  EXPECT_EQ(ini.ReadTime(u"d", u"t", 0), 0.5);
  ini.WriteString(u"d", u"bad", u"2013-02-30");
  EXPECT_EQ(ini.ReadDate(u"d", u"bad", -7), -7);

  ini.WriteBinaryStream(u"b", u"k", std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(ini.ReadString(u"b", u"k", u""), u"00FF10");
  std::string bytes;
  EXPECT_EQ(ini.ReadBinaryStream(u"b", u"k", bytes), 3);
  EXPECT_EQ(bytes, std::string("\x00\xFF\x10", 3));
}

TEST(IniHash, ChainsFindTheLastAddedKey) {
  EXPECT_EQ(TWStringHash::HashOf(u""), 0u);
  EXPECT_EQ(TWStringHash::HashOf(u"ab"), ((0x61u << 2) ^ 0x62u));
  // Long keys: rotation, not shift, so early characters still count.
  EXPECT_EQ(TWStringHash::HashOf(u"abcdefghijklmnopqrstuvwxyz"), 0xC695554Du);
  TWStringHash hash;
  hash.Add(u"k", 1);
  hash.Add(u"k", 2);
  EXPECT_EQ(hash.ValueOf(u"k"), 2);
  hash.Remove(u"k");
  EXPECT_EQ(hash.ValueOf(u"k"), 1);
  EXPECT_TRUE(hash.Modify(u"k", 5));
  EXPECT_EQ(hash.ValueOf(u"k"), 5);
  EXPECT_EQ(hash.ValueOf(u"K"), -1);

  // Many equal keys in one chain: clearing must not recurse per item.
  for (int i = 0; i < 200000; ++i) hash.Add(u"same", i);
  EXPECT_EQ(hash.ValueOf(u"same"), 199999);
  hash.Clear();
  EXPECT_EQ(hash.ValueOf(u"same"), -1);
}

}  // namespace
}  // namespace orvix
