// Process-wide lookup tables of the HTML unit: the known tag names with their
// numbers and classes, the HTML 4.01 character entities, and the URL schemes.
//
// The tables are immutable once built. They are built on first use (a
// function-local static, so the first use is thread-safe) and InitHtmlTables()
// forces that at start-up, before any HTML is parsed; they live until the
// program ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

// A known tag: lower-case name and its number (1..92; 0 for the sentinel).
struct THtmlTag {
  std::u16string name;
  int number = 0;
};

// Tag numbers the tree builder and the formatter test by name.
namespace tag {
enum : int {
  Unknown = 0,
  A = 1, Abbr, Acronym, Address, Applet, Area, B, Base, BaseFont, Bdo, Big,
  BlockQuote, Body, Br, Button, Caption, Center, Cite, Code, Col, ColGroup,
  Dd, Del, Dfn, Dir, Div, Dl, Dt, Em, FieldSet, Font, Form, Frame, FrameSet,
  H1, H2, H3, H4, H5, H6, Head, Hr, Html, I, IFrame, Img, Input, Ins,
  IsIndex, Kbd, Label, Legend, Li, Link, Map, Menu, Meta, NoBr, NoFrames,
  NoScript, Object, Ol, OptGroup, Option, P, Param, Pre, Q, S, Samp, Script,
  Select, Small, Span, Strike, Strong, Style, Sub, Sup, Table, TBody, Td,
  TextArea, TFoot, Th, THead, Title, Tr, Tt, U, Ul, Var,
  Count = Var
};
}  // namespace tag

// The sorted tag table with a sentinel for every unlisted name.
class THtmlTagList {
 public:
  THtmlTagList();
  // The tag whose name equals `name` exactly (case-sensitive: callers pass
  // lower-case names), or the sentinel (empty name, number 0). The returned
  // reference lives as long as the table.
  const THtmlTag& Find(std::u16string_view name) const;
  // Find for a name already packed the way PackKey does it (a reader packs
  // tag names while it scans them); a key no name of the table packs to,
  // say one with a byte above 0x7F, finds the sentinel. `key` must not be 0.
  const THtmlTag& FindKey(std::uint64_t key) const {
    for (std::size_t slot = Slot(key); keys_[slot] != 0; slot = (slot + 1) % kSlots)
      if (keys_[slot] == key) return tags_[slots_[slot]];
    return sentinel_;
  }
  // The characters of a name of one to eight ASCII characters (none of
  // them U+0000), one per byte; 0 for any other name.
  static std::uint64_t PackKey(std::u16string_view name);
  int Count() const { return static_cast<int>(tags_.size()); }
  const THtmlTag& Item(int index) const { return tags_[index]; }

 private:
  // Every name of up to eight ASCII characters packed into one integer,
  // and an open-addressed table from those keys to indexes in tags_: one
  // probe or two per lookup instead of a halving search over strings. The
  // longer names go through the halving search.
  static constexpr std::size_t kSlots = 256;
  static std::size_t Slot(std::uint64_t key) { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 56); }
  std::uint64_t keys_[kSlots] = {};
  std::uint8_t slots_[kSlots] = {};
  const THtmlTag& Search(std::u16string_view name) const;

  std::vector<THtmlTag> tags_;
  THtmlTag sentinel_;
};

// Classes of tags, tested by number; 0 and unknown numbers are in none.
bool IsEmptyElementTag(int number);       // closes at the end of its start tag
bool IsRestructuringTag(int number);      // its start tag picks its parent
bool IsBlockLevelTag(int number);         // placed like p
bool IsParagraphContainer(int number);    // where p and blocks may stand
bool IsListContainer(int number);         // parent of li
bool IsFormatterBlock(int number);        // paragraph breaks in plain text

// One named character entity of HTML 4.01.
struct TEntity {
  const char* name;
  char16_t code;
};

// The 252 entities sorted by name (ordinal, case-sensitive).
class TEntList {
 public:
  TEntList();
  // The code of the entity named exactly `name`, or 32 (a blank) when the
  // name is unknown.
  char16_t Find(std::u16string_view name) const;
  int Count() const { return static_cast<int>(entries_.size()); }
  const TEntity& Item(int index) const { return entries_[index]; }

 private:
  std::vector<TEntity> entries_;
};

// The known URL schemes and the length of the longest one.
class TURLSchemes {
 public:
  TURLSchemes();
  void Add(std::string scheme);
  int IndexOf(std::string_view scheme) const;
  int MaxLength() const { return maxLength_; }
  int Count() const { return static_cast<int>(schemes_.size()); }
  const std::string& Item(int index) const { return schemes_[index]; }

 private:
  std::vector<std::string> schemes_;
  int maxLength_ = 0;
};

// Builds the three tables (entities, tags, schemes in that order). Calling it
// is optional but keeps the first parse from paying for it.
void InitHtmlTables();

const THtmlTagList& HtmlTags();
const TEntList& HtmlEntities();
const TURLSchemes& UrlSchemes();

// Shorthands over the tables.
inline const THtmlTag& FindHtmlTag(std::u16string_view name) { return HtmlTags().Find(name); }
inline int HtmlTagNumber(std::u16string_view name) { return HtmlTags().Find(name).number; }
inline char16_t EntityCode(std::u16string_view name) { return HtmlEntities().Find(name); }

// A hash of a tag or attribute name for the parser's own tables: FNV-1a
// over the code units, then mixed, because FNV's low bits (which pick a
// slot) follow only the low bits of the characters and names such as "a1",
// "a2" ... would crowd together.
inline std::uint32_t NameHash(std::u16string_view name) {
  std::uint32_t h = 2166136261u;
  for (char16_t c : name) h = (h ^ c) * 16777619u;
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h;
}

// True when `scheme`, lower-cased, is a known scheme.
bool IsUrlScheme(std::u16string_view scheme);
// The scheme of `url` as written ("HTTP" stays upper case), or empty when
// its first ':' is not within the longest scheme length + 1 characters or
// the text before it is not a known scheme.
std::u16string UrlScheme(std::u16string_view url);

}  // namespace orvix
