// The program's Turkish texts by resource id, for the portable core.
//
// The single source is resources/strings.txt; scripts/gen_strings.py turns
// it into the string table compiled into orvix.exe and into the table behind
// this accessor, so code that formats a text natively (and its tests) sees
// exactly the text the Windows program loads with LoadStringW.
#pragma once

#include <string>
#include <string_view>

namespace orvix {

// The text of a string resource; empty when the id is unknown. Texts are
// UTF-16 with the escapes of strings.txt already applied (\r\n line ends).
std::u16string ResourceText(int id);

// A text of the dialog template that is no string resource (a button
// caption, the status group's caption), by its name in strings.txt; empty
// when unknown.
std::u16string NamedText(std::string_view name);

// The generated tables: numbered ones sorted by id.
struct ResourceTextEntry {
  int id;
  const char16_t* text;
};
extern const ResourceTextEntry kResourceTexts[];
extern const int kResourceTextCount;
struct NamedTextEntry {
  const char* name;
  const char16_t* text;
};
extern const NamedTextEntry kNamedTexts[];
extern const int kNamedTextCount;

}  // namespace orvix
