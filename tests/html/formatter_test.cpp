// Plain-text rendering of element content and the string builder.
#include <gtest/gtest.h>

#include "html/dom.h"
#include "html/text_formatter.h"

namespace orvix {
namespace {

class FormatterTest : public ::testing::Test {
 protected:
  std::unique_ptr<TDocument> doc = DomImplementation::createEmptyDocument(nullptr);
  TElement* root = doc->appendChild(doc->createElement(u"td"));

  TElement* El(TNode* parent, const std::u16string& name) {
    return parent->appendChild(doc->createElement(name));
  }
  void Text(TNode* parent, const std::u16string& s) { parent->appendChild(doc->createTextNode(s)); }
  void Ref(TNode* parent, const std::u16string& s) {
    parent->appendChild(doc->createEntityReference(s));
  }
};

TEST_F(FormatterTest, WhitespaceCollapsesToSingleBlanks) {
  Text(root, u"\n  12,5\t\r\n GB ");
  EXPECT_EQ(root->text(), u"12,5 GB ");
  Text(root, u"   next");  // a piece after a blank loses its leading blanks
  EXPECT_EQ(root->text(), u"12,5 GB next");
}

TEST_F(FormatterTest, EntitiesBecomeCharacters) {
  Text(root, u"a");
  Ref(root, u"nbsp");
  Ref(root, u"nbsp");
  Text(root, u"b");
  Ref(root, u"euro");
  Ref(root, u"unknown");
  Text(root, u"c");
  Ref(root, u"copy");
  EXPECT_EQ(root->text(), u"a b\u20AC c\u00A9");
}

TEST_F(FormatterTest, ListItemsAndSkippedNodes) {
  TElement* ul = El(root, u"ul");
  Text(El(ul, u"li"), u"x");
  Text(El(ul, u"li"), u"y");
  root->appendChild(doc->createComment(u"hidden"));
  root->appendChild(doc->createCDATASection(u"cdata"));
  root->appendChild(doc->createProcessingInstruction(u"t", u"d"));
  EXPECT_EQ(root->text(), u"* x* y");
  // The element's own tag adds nothing, its descendants' tags do.
  EXPECT_EQ(ul->firstChild()->text(), u"x");
}

TEST_F(FormatterTest, PreKeepsLayoutUntilItCloses) {
  Text(root, u"a ");
  TElement* pre = El(root, u"pre");
  Text(pre, u"  1  2\n\t3");
  Text(pre, u" 4");
  Text(root, u"  z   z");
  EXPECT_EQ(root->text(), u"a 1  2\n\t3 4 z z");
}

TEST_F(FormatterTest, LineBreaksWhenEnabled) {
  // No caller enables them, but the rules must not double up breaks.
  class BreakingFormatter : public TTextFormatter {
   public:
    BreakingFormatter() { lineBreaks = true; }
  };
  Text(El(root, u"p"), u"one");
  Text(root, u"two");
  El(root, u"br");
  El(root, u"br");
  Text(El(root, u"div"), u"three");
  BreakingFormatter f;
  EXPECT_EQ(f.Render(root), u"one\r\n\r\ntwo\r\n\r\nthree\r\n\r\n");
}

TEST_F(FormatterTest, BaseFormatterWritesMarkupOfEverything) {
  Text(root, u"a ");
  Ref(root, u"amp");
  root->appendChild(doc->createComment(u"c"));
  TBaseFormatter base;
  EXPECT_EQ(base.Render(root), u"a &amp;<!--c-->");
  base.resolveEntities = true;
  EXPECT_EQ(base.Render(root), u"a &<!--c-->");
  EXPECT_EQ(base.Render(nullptr), u"");
  EXPECT_EQ(base.RenderDocument(doc.get()), u"a &<!--c-->");
}

TEST(StringBuilder, GrowsByDoublingAndKeepsContent) {
  TStringBuilder b(4);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_FALSE(b.LastIsBlank());
  EXPECT_FALSE(b.EndsWith(u"x"));
  b.Append(u"abc");
  EXPECT_EQ(b.Capacity(), 4);
  b.Append(u"defghijklm");  // 13 characters: 4 -> 8 -> 16
  EXPECT_EQ(b.Capacity(), 16);
  EXPECT_EQ(b.Contents(), u"abcdefghijklm");
  b.Append(u'\t');
  EXPECT_TRUE(b.LastIsBlank());
  EXPECT_TRUE(b.EndsWith(u"m\t"));
  EXPECT_FALSE(b.EndsWith(u"abcdefghijklm\t-"));
  EXPECT_EQ(TStringBuilder().Capacity(), 65530);
}

TEST_F(FormatterTest, LargeOutputBeyondInitialCapacity) {
  const std::u16string piece(1000, u'x');
  for (int i = 0; i < 100; ++i) Text(El(root, u"span"), piece + u" ");
  EXPECT_EQ(root->text().size(), 100u * 1001u);
}

}  // namespace
}  // namespace orvix
