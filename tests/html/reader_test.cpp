// THtmlReader: the token stream of small inputs, written as one line per
// event so that a wrong kind, name, value or order shows in the diff.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "html/html_reader.h"
#include "html/html_tables.h"
#include "text/platform.h"

namespace orvix {
namespace {

std::string U8(const std::u16string& s) { return platform::Utf16ToUtf8(s); }

// Passes each event on to the reader's handler of its kind, checking on the
// way that the copy-free name accessors agree with the strings.
class ForwardingListener final : public THtmlReader::Listener {
 public:
  void AttributeEnd(THtmlReader& r) override { Pass(r, r.OnAttributeEnd); }
  void AttributeStart(THtmlReader& r) override { Pass(r, r.OnAttributeStart); }
  void CDataSection(THtmlReader& r) override { Pass(r, r.OnCDataSection); }
  void Comment(THtmlReader& r) override { Pass(r, r.OnComment); }
  void DocType(THtmlReader& r) override { Pass(r, r.OnDocType); }
  void ElementEnd(THtmlReader& r) override { Pass(r, r.OnElementEnd); }
  void ElementStart(THtmlReader& r) override { Pass(r, r.OnElementStart); }
  void EndElement(THtmlReader& r) override { Pass(r, r.OnEndElement); }
  void EntityReference(THtmlReader& r) override { Pass(r, r.OnEntityReference); }
  void TextNode(THtmlReader& r) override { Pass(r, r.OnTextNode); }

 private:
  static void Pass(THtmlReader& r, const THtmlReader::Handler& h) {
    EXPECT_EQ(r.qualifiedNameView(), r.QualifiedName());
    EXPECT_EQ(r.prefixView(), r.prefix());
    EXPECT_EQ(r.localNameView(), r.localName());
    h(r);
  }
};

// Reads `input` to the end and returns the events:
//   start:NAME  attr:NAME  /attr  >  />  end:NAME  text:VALUE  &NAME;
//   cdata:VALUE  comment:VALUE  doctype:NAME|PUBLIC|SYSTEM
// With `viaListener` the events go through a listener instead.
std::vector<std::string> Tokens(const std::u16string& input, bool viaListener = false) {
  THtmlReader r;
  ForwardingListener forward;
  if (viaListener) r.SetListener(&forward);
  std::vector<std::string> out;
  r.OnElementStart = [&](THtmlReader& x) { out.push_back("start:" + U8(x.QualifiedName())); };
  r.OnAttributeStart = [&](THtmlReader& x) { out.push_back("attr:" + U8(x.QualifiedName())); };
  r.OnAttributeEnd = [&](THtmlReader& x) {
    EXPECT_EQ(x.nodeType(), 2);
    out.push_back("/attr");
  };
  r.OnElementEnd = [&](THtmlReader& x) {
    EXPECT_EQ(x.nodeType(), 1);
    out.push_back(x.isEmptyElement() ? "/>" : ">");
  };
  r.OnEndElement = [&](THtmlReader& x) {
    EXPECT_EQ(x.nodeType(), 255);
    out.push_back("end:" + U8(x.QualifiedName()));
  };
  r.OnTextNode = [&](THtmlReader& x) {
    EXPECT_EQ(x.nodeType(), 3);
    out.push_back("text:" + U8(x.nodeValue()));
  };
  r.OnEntityReference = [&](THtmlReader& x) {
    EXPECT_EQ(x.nodeType(), 5);
    out.push_back(std::string("&").append(U8(x.QualifiedName())).append(";"));
  };
  r.OnCDataSection = [&](THtmlReader& x) { out.push_back("cdata:" + U8(x.nodeValue())); };
  r.OnComment = [&](THtmlReader& x) { out.push_back("comment:" + U8(x.nodeValue())); };
  r.OnDocType = [&](THtmlReader& x) {
    out.push_back("doctype:" + U8(x.QualifiedName()) + "|" + U8(x.publicId()) + "|" + U8(x.systemId()));
  };
  r.SetSource(input);
  int guard = 0;
  while (r.Read()) {
    if (++guard > 100000) {
      ADD_FAILURE() << "reader does not advance";
      break;
    }
  }
  return out;
}

using V = std::vector<std::string>;

TEST(HtmlReader, ContentTextAndStrayDelimiters) {
  EXPECT_EQ(Tokens(u"a < b"), (V{"text:a ", "&lt;", "text: b"}));
  EXPECT_EQ(Tokens(u"AT&T"), (V{"text:AT", "&amp;", "text:T"}));
  // Line breaks and blanks are kept as written.
  EXPECT_EQ(Tokens(u" x\r\n\ty "), (V{"text: x\r\n\ty "}));
  // "<" with one letter at the very end is no tag.
  EXPECT_EQ(Tokens(u"<b"), (V{"&lt;", "text:b"}));
  EXPECT_EQ(Tokens(u"<"), (V{"&lt;"}));
  EXPECT_EQ(Tokens(u"&"), (V{"&amp;"}));
  // Names cannot be empty.
  EXPECT_EQ(Tokens(u"< a>"), (V{"&lt;", "text: a>"}));
  EXPECT_EQ(Tokens(u"<>"), (V{"&lt;", "text:>"}));
  EXPECT_EQ(Tokens(u""), V{});
}

TEST(HtmlReader, CharacterAndEntityReferences) {
  EXPECT_EQ(Tokens(u"&#65;&#x41;&#X61;&copy;"), (V{"text:A", "text:A", "text:a", "&copy;"}));
  // Names keep their case and may be empty or carry a prefix.
  EXPECT_EQ(Tokens(u"&AMP;&;&a:b;"), (V{"&AMP;", "&;", "&a:b;"}));
  // No digits give U+0000; codes wrap at 16 bits.
  auto t = Tokens(u"&#;&#65601;&#x1F600;");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], std::string("text:") + std::string(1, '\0'));
  EXPECT_EQ(t[1], "text:A");  // 65601 - 65536 = 65
  EXPECT_EQ(t[2], "text:" + U8(std::u16string(1, char16_t(0xF600))));
  // Without the closing ";" the "&" is stray.
  EXPECT_EQ(Tokens(u"&#65 x"), (V{"&amp;", "text:#65 x"}));
  EXPECT_EQ(Tokens(u"&nbsp x"), (V{"&amp;", "text:nbsp x"}));
  EXPECT_EQ(Tokens(u"&#"), (V{"&amp;", "text:#"}));
  EXPECT_EQ(Tokens(u"&#x4G;"), (V{"&amp;", "text:#x4G;"}));
  // Only blanks, "&", ";" and "<" end an entity name.
  EXPECT_EQ(Tokens(u"&a>b;"), (V{"&a>b;"}));
}

TEST(HtmlReader, StartTagsAndEndTags) {
  EXPECT_EQ(Tokens(u"<BR/>"), (V{"start:br", "/>"}));
  EXPECT_EQ(Tokens(u"<P Class=X>t</P >"), (V{"start:p", "attr:class", "text:X", "/attr", ">", "text:t", "end:p"}));
  // Only A-Z are lower-cased; other letters keep their case.
  EXPECT_EQ(Tokens(u"<DİV>"), (V{"start:dİv", ">"}));
  // Junk after the end tag name is ignored; junk in a start tag is skipped.
  EXPECT_EQ(Tokens(u"</td junk=\"x\">"), (V{"end:td"}));
  EXPECT_EQ(Tokens(u"<a =x y>z"), (V{"start:a", ">", "text:z"}));
  EXPECT_EQ(Tokens(u"<a / junk>z"), (V{"start:a", "/>", "text:z"}));
  // A name with ":" is split at its first colon.
  EXPECT_EQ(Tokens(u"<o:p:q>"), (V{"start:o:p:q", ">"}));
  // Characters above U+00FF never end a name.
  EXPECT_EQ(Tokens(u"<a\u00A0b>"), (V{"start:a\u00A0b", ">"}));
  // An unterminated end tag is stray text.
  EXPECT_EQ(Tokens(u"x</b"), (V{"text:x", "&lt;", "text:/b"}));
  EXPECT_EQ(Tokens(u"</>"), (V{"&lt;", "text:/>"}));
}

TEST(HtmlReader, Attributes) {
  EXPECT_EQ(Tokens(u"<input disabled>"), (V{"start:input", "attr:disabled", "/attr", ">"}));
  // Unquoted values only stop at blanks, quotes, "/" and ">".
  EXPECT_EQ(Tokens(u"<a href=x&amp;y>"), (V{"start:a", "attr:href", "text:x&amp;y", "/attr", ">"}));
  EXPECT_EQ(Tokens(u"<a href=&amp;x>"), (V{"start:a", "attr:href", "&amp;", "text:x", "/attr", ">"}));
  // Quoted values split at references.
  EXPECT_EQ(Tokens(u"<a t=\"&amp;\">"), (V{"start:a", "attr:t", "&amp;", "/attr", ">"}));
  EXPECT_EQ(Tokens(u"<a t='x&#65;y & z'>"),
            (V{"start:a", "attr:t", "text:x", "text:A", "text:y ", "&amp;", "text: z", "/attr", ">"}));
  // The other quote is an ordinary character; empty values give no text.
  EXPECT_EQ(Tokens(u"<a t='\"' u=\"\" v = w>"),
            (V{"start:a", "attr:t", "text:\"", "/attr", "attr:u", "/attr", "attr:v", "text:w", "/attr", ">"}));
  // "/" after an unquoted value ends it and marks the element empty.
  EXPECT_EQ(Tokens(u"<img src=a.gif/>"), (V{"start:img", "attr:src", "text:a.gif", "/attr", "/>"}));
  EXPECT_EQ(Tokens(u"<A HREF=1 HREF=2>"),
            (V{"start:a", "attr:href", "text:1", "/attr", "attr:href", "text:2", "/attr", ">"}));
}

TEST(HtmlReader, Declarations) {
  EXPECT_EQ(Tokens(u"<!-- a -- b -->x"), (V{"comment: a -- b ", "text:x"}));
  EXPECT_EQ(Tokens(u"<!---->"), (V{"comment:"}));
  // "<!-->" does not close itself.
  EXPECT_EQ(Tokens(u"<!-->x-->"), (V{"comment:>x"}));
  EXPECT_EQ(Tokens(u"<![CDATA[a<b]]>"), (V{"cdata:a<b"}));
  // CDATA is case-sensitive, DOCTYPE is not.
  EXPECT_EQ(Tokens(u"<![cdata[a]]>"), (V{"&lt;", "text:![cdata[a]]>"}));
  EXPECT_EQ(Tokens(u"<!doctype HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"http://www.w3.org/TR/html4/strict.dtd\">x"),
            (V{"doctype:HTML|-//W3C//DTD HTML 4.01//EN|http://www.w3.org/TR/html4/strict.dtd", "text:x"}));
  // The public identifier takes whatever character follows as its quote;
  // the system identifier only a double quote.
  EXPECT_EQ(Tokens(u"<!DOCTYPE html PUBLIC 'a' 'b'>"), (V{"doctype:html|a|"}));
  EXPECT_EQ(Tokens(u"<!DOCTYPE html x |a b| >"), (V{"doctype:html|a b|"}));
  // Without identifiers the declaration still stands.
  EXPECT_EQ(Tokens(u"<!DOCTYPE html><p>"), (V{"doctype:html||", "start:p", ">"}));
  EXPECT_EQ(Tokens(u"<!x>"), (V{"&lt;", "text:!x>"}));
}

TEST(HtmlReader, UnterminatedConstructsBecomeText) {
  EXPECT_EQ(Tokens(u"<!-- x"), (V{"&lt;", "text:!-- x"}));
  EXPECT_EQ(Tokens(u"<![CDATA[x]]"), (V{"&lt;", "text:![CDATA[x]]"}));
  EXPECT_EQ(Tokens(u"<!DOCTYPE html PUBLIC \"x"), (V{"&lt;", "text:!DOCTYPE html PUBLIC \"x"}));
  EXPECT_EQ(Tokens(u"<!DOCTYPE html PUBLIC \"x\""), (V{"&lt;", "text:!DOCTYPE html PUBLIC \"x\""}));
  EXPECT_EQ(Tokens(u"<!"), (V{"&lt;", "text:!"}));
  // An open quoted value runs to the end: no attribute or element end.
  EXPECT_EQ(Tokens(u"<a href=\"x>y"), (V{"start:a", "attr:href", "text:x>y"}));
  // A start tag without ">" swallows the rest.
  EXPECT_EQ(Tokens(u"<a b/ c"), (V{"start:a", "attr:b", "/attr", "/>"}));
}

TEST(HtmlReader, SetSourceRestartsAndKeepsState) {
  THtmlReader r;
  std::vector<std::string> seen;
  r.OnTextNode = [&](THtmlReader& x) { seen.push_back(U8(x.nodeValue())); };
  r.SetSource(u"ab");
  EXPECT_EQ(r.position(), 1);
  EXPECT_TRUE(r.Read());
  EXPECT_EQ(r.position(), 3);
  EXPECT_FALSE(r.Read());
  EXPECT_EQ(r.nodeType(), 0);
  r.SetSource(u"cd");
  EXPECT_TRUE(r.Read());
  EXPECT_EQ(seen, (V{"ab", "cd"}));
  // Unassigned handlers are simply not called.
  THtmlReader bare;
  bare.SetSource(u"<a b='c'>&x;<!--y-->");
  int reads = 0;
  while (bare.Read()) ++reads;
  EXPECT_EQ(reads, 7);
}

TEST(HtmlReader, ListenerGetsTheSameEvents) {
  const std::u16string inputs[] = {
      u"<P Class=X>t</P >", u"<o:P A:b=1 :c>", u"</:TD>", u"<DİV>", u"&AMP;&#65;&a:b;<a",
      u"<!DOCTYPE html PUBLIC 'a' \"b\"><!--c--><![CDATA[d]]>", u"<a =x y>z", u"<a b/ c", u"<a href=\"x>y"};
  for (const auto& input : inputs) EXPECT_EQ(Tokens(input, true), Tokens(input)) << U8(input);
}

// Text runs and quoted values are searched several characters at a time:
// stops on either side of those blocks, and runs ending at the text's end.
TEST(HtmlReader, StopsAtEveryOffset) {
  for (int n = 0; n < 20; ++n) {
    const std::u16string run(static_cast<std::size_t>(n), u'x');
    const std::string r8(static_cast<std::size_t>(n), 'x');
    V text;
    for (const char* token : {"", "start:b", ">", "", "&amp;", ""}) {
      if (*token != 0) text.push_back(token);
      else if (n > 0) text.push_back("text:" + r8);
    }
    EXPECT_EQ(Tokens(run + u"<b>" + run + u"&amp;" + run), text) << n;
    V quoted = {"start:a", "attr:t"};
    if (n > 0) quoted.push_back("text:" + r8);
    quoted.push_back("&lt;");
    if (n > 0) quoted.push_back("text:" + r8);
    quoted.insert(quoted.end(), {"/attr", "attr:u", "text:" + r8 + "'", "/attr", ">"});
    EXPECT_EQ(Tokens(u"<a t='" + run + u"&lt;" + run + u"' u=\"" + run + u"'\">"), quoted) << n;
  }
}

// tag() answers from the key packed while the name was read; it must agree
// with the table's own search, including the names the key cannot hold.
TEST(HtmlReader, TagOfStartAndEndTags) {
  const std::pair<std::u16string, int> cases[] = {
      {u"<TD>", tag::Td},           {u"</Table>", tag::Table},    {u"<:p>", tag::P},
      {u"<x:p>", tag::Unknown},     {u"<BlockQuote>", tag::BlockQuote}, {u"<blockquotes>", tag::Unknown},
      {u"<BaseFont>", tag::BaseFont}, {u"<tdx>", tag::Unknown},   {u"<td\u0080>", tag::Unknown},
      {u"<p\u0130>", tag::Unknown}, {std::u16string(u"<\0p>", 4), tag::Unknown}, {std::u16string(u"<p\0>", 4), tag::Unknown}};
  for (const auto& [input, number] : cases) {
    THtmlReader r;
    int seen = -1;
    r.OnElementStart = r.OnEndElement = [&](THtmlReader& x) {
      seen = x.tag().number;
      EXPECT_EQ(&x.tag(), &FindHtmlTag(x.QualifiedName()));
    };
    r.SetSource(input);
    while (r.Read()) {
    }
    EXPECT_EQ(seen, number) << U8(input);
  }
}

// The tree builder reads the caller's text in place and lets go of it at
// the end; the last token's name must not point into it afterwards.
TEST(HtmlReader, ReleaseSourceKeepsTheLastName) {
  std::u16string page = u"<o:td>";
  THtmlReader r;
  r.SetSourceView(page);
  ASSERT_TRUE(r.Read());
  r.ReleaseSource();
  page.assign(page.size(), u'#');
  EXPECT_EQ(r.qualifiedNameView(), u"o:td");
  EXPECT_EQ(r.prefix(), u"o");
  EXPECT_EQ(r.localNameView(), u"td");
  EXPECT_EQ(r.tag().number, tag::Unknown);
  EXPECT_FALSE(r.Read());
}

// Runs of unterminated constructs must not make the reader quadratic: each
// failed search is remembered.
TEST(HtmlReader, UnterminatedRunsStayLinear) {
  const std::u16string pieces[] = {u"<!--", u"</a", u"<![CDATA[", u"<!DOCTYPE", u"<!DOCTYPE x y \u00A7", u"&#1"};
  for (const auto& piece : pieces) {
    auto timeFor = [&](int n) {
      std::u16string text;
      for (int i = 0; i < n; ++i) text += piece;
      THtmlReader r;
      r.SetSource(text);
      const auto t0 = std::chrono::steady_clock::now();
      while (r.Read()) {
      }
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    // 200,000 pieces take milliseconds when linear and minutes otherwise.
    EXPECT_LT(timeFor(200000), 2.0) << U8(piece);
  }
}

}  // namespace
}  // namespace orvix
