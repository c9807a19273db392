// Tag table, tag classes, entity table and URL schemes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "html/html_tables.h"

namespace orvix {
namespace {

TEST(HtmlTags, LookupIsExactAndLowerCase) {
  EXPECT_EQ(HtmlTagNumber(u"td"), 82);
  EXPECT_EQ(HtmlTagNumber(u"TD"), 0);
  EXPECT_EQ(HtmlTagNumber(u"nobr"), 58);
  EXPECT_EQ(FindHtmlTag(u"blink").name, u"");
  EXPECT_EQ(HtmlTagNumber(u""), 0);
  EXPECT_EQ(HtmlTagNumber(u"t"), 0);        // prefix of several names
  EXPECT_EQ(HtmlTagNumber(u"tdx"), 0);      // extension of a name
  EXPECT_EQ(HtmlTagNumber(u"t\u0064"), 82);  // same code units, other spelling
  EXPECT_EQ(HtmlTagNumber(u"\uFF54d"), 0);   // wide look-alikes never match
}

TEST(HtmlTags, EveryNameFindsItsOwnNumberInOrder) {
  // The binary search must reach both ends and every slot between; numbers
  // follow ascending character order.
  const THtmlTagList& tags = HtmlTags();
  ASSERT_EQ(tags.Count(), 92);
  for (int i = 0; i < tags.Count(); ++i) {
    EXPECT_EQ(tags.Item(i).number, i + 1);
    EXPECT_EQ(&tags.Find(tags.Item(i).name), &tags.Item(i)) << i;
    if (i > 0) {
      EXPECT_LT(tags.Item(i - 1).name, tags.Item(i).name);
    }
  }
  const std::pair<const char16_t*, int> fixed[] = {
      {u"a", 1},      {u"body", 13}, {u"br", 14},  {u"col", 20},   {u"colgroup", 21},
      {u"dd", 22},    {u"dt", 28},   {u"head", 41}, {u"html", 43},  {u"img", 46},
      {u"li", 53},    {u"option", 64}, {u"p", 65},  {u"pre", 67},   {u"table", 80},
      {u"tbody", 81}, {u"tfoot", 84}, {u"th", 85},  {u"thead", 86}, {u"tr", 88},
      {u"var", 92}};
  for (const auto& [name, number] : fixed) EXPECT_EQ(HtmlTagNumber(name), number) << number;
}

TEST(HtmlTags, ClassesHoldTheirMembersOnly) {
  auto members = [](bool (*test)(int)) {
    std::set<std::u16string> names;
    for (int n = -1; n <= 100; ++n)
      if (test(n)) names.insert(HtmlTags().Item(n - 1).name);
    return names;
  };
  using S = std::set<std::u16string>;
  EXPECT_EQ(members(IsEmptyElementTag),
            (S{u"area", u"base", u"basefont", u"br", u"col", u"frame", u"hr", u"img", u"input",
               u"isindex", u"link", u"meta", u"param"}));
  EXPECT_EQ(members(IsListContainer), (S{u"dir", u"menu", u"ol", u"ul"}));
  EXPECT_EQ(members(IsBlockLevelTag),
            (S{u"address", u"blockquote", u"center", u"div", u"dl", u"fieldset", u"h1", u"h2",
               u"h3", u"h4", u"h5", u"h6", u"hr", u"nobr", u"noscript", u"ol", u"pre", u"table",
               u"ul"}));
  EXPECT_EQ(members(IsParagraphContainer),
            (S{u"address", u"blockquote", u"center", u"div", u"dl", u"fieldset", u"h1", u"h2",
               u"h3", u"h4", u"h5", u"h6", u"hr", u"li", u"noscript", u"ol", u"pre", u"td",
               u"th", u"ul"}));
  EXPECT_EQ(members(IsRestructuringTag).size(), 32u);
  EXPECT_TRUE(IsRestructuringTag(tag::Option));
  EXPECT_FALSE(IsRestructuringTag(tag::Span));
  EXPECT_EQ(members(IsFormatterBlock).size(), 30u);
  EXPECT_TRUE(IsFormatterBlock(tag::Title));
  EXPECT_FALSE(IsFormatterBlock(tag::Br));
}

TEST(HtmlEntities, CodesAndUnknownNames) {
  EXPECT_EQ(EntityCode(u"nbsp"), 160);
  EXPECT_EQ(EntityCode(u"euro"), 8364);
  EXPECT_EQ(EntityCode(u"apos"), 32);   // XML only
  EXPECT_EQ(EntityCode(u"AMP"), 32);    // case-sensitive
  EXPECT_EQ(EntityCode(u""), 32);
  EXPECT_EQ(EntityCode(u"amp"), u'&');
  EXPECT_EQ(EntityCode(u"Dagger"), 8225);
  EXPECT_EQ(EntityCode(u"dagger"), 8224);
  EXPECT_EQ(EntityCode(u"Prime"), 8243);
  EXPECT_EQ(EntityCode(u"sigmaf"), 962);
  EXPECT_EQ(EntityCode(u"yuml"), 255);
  EXPECT_EQ(EntityCode(u"Yuml"), 376);
  EXPECT_EQ(EntityCode(u"AElig"), 198);
  EXPECT_EQ(EntityCode(u"zwj"), 8205);
}

TEST(HtmlEntities, TableIsTheFullSetSortedAndUnique) {
  const TEntList& list = HtmlEntities();
  ASSERT_EQ(list.Count(), 252);
  int latin1 = 0;
  for (int i = 0; i < list.Count(); ++i) {
    const TEntity& e = list.Item(i);
    if (i > 0) {
      EXPECT_LT(std::string(list.Item(i - 1).name), std::string(e.name));
    }
    std::u16string wide(e.name, e.name + std::char_traits<char>::length(e.name));
    EXPECT_EQ(list.Find(wide), e.code) << e.name;
    if (e.code >= 160 && e.code <= 255) ++latin1;
  }
  EXPECT_EQ(latin1, 96);  // one name for each Latin-1 code point, no more
}

TEST(UrlSchemes, SchemeOfUrl) {
  EXPECT_EQ(UrlSchemes().MaxLength(), 6);
  EXPECT_EQ(UrlScheme(u"mailto:destek@orvix.com.tr"), u"mailto");
  EXPECT_EQ(UrlScheme(u"HTTP://www.orvix.com.tr/"), u"HTTP");
  EXPECT_EQ(UrlScheme(u"gopher:x"), u"gopher");       // ':' is the 7th character
  EXPECT_EQ(UrlScheme(u"unknown:x"), u"");
  EXPECT_EQ(UrlScheme(u"javascript:alert(1)"), u"");  // ':' after the 7th character
  EXPECT_EQ(UrlScheme(u"index.html"), u"");
  EXPECT_EQ(UrlScheme(u":"), u"");
  EXPECT_TRUE(IsUrlScheme(u"HtTpS"));
  EXPECT_FALSE(IsUrlScheme(u"file"));
  EXPECT_FALSE(IsUrlScheme(u"\u0130ttp"));
}

}  // namespace
}  // namespace orvix
