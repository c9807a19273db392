// The program's Turkish texts by resource id, for the portable core.
//
// The single source is resources/strings.txt; scripts/gen_strings.py turns
// it into the string table compiled into orvix.exe and into the table behind
// this accessor, so code that formats a text natively (and its tests) sees
// exactly the text the Windows program loads with LoadStringW.
#pragma once

#include <string>

namespace orvix {

// The text of a string resource; empty when the id is unknown. Texts are
// UTF-16 with the escapes of strings.txt already applied (\r\n line ends).
// The one way the program reads its texts, on Windows too: the string table
// in orvix.exe holds the same texts (a Windows test compares the two).
std::u16string ResourceText(int id);

// The generated table, sorted by id.
struct ResourceTextEntry {
  int id;
  const char16_t* text;
};
extern const ResourceTextEntry kResourceTexts[];
extern const int kResourceTextCount;

}  // namespace orvix
