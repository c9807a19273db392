// The tree builder keeps per-name stacks of open elements instead of walking
// up through parentNode. This test builds the same pages with the plain
// upward walks (a slow reference kept here) and checks that both give the
// same tree, on many random pages made of the tags the rules care about.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "html/dom.h"
#include "html/html_parser.h"
#include "html/html_reader.h"
#include "html/html_tables.h"

namespace orvix {
namespace {

// The reference: every rule as a walk over the current node's ancestors.
class ReferenceBuilder {
 public:
  std::unique_ptr<TDocument> Parse(const std::u16string& text) {
    THtmlReader r;
    doc_ = DomImplementation::createEmptyDocument(nullptr);
    current_ = doc_.get();
    r.OnElementStart = [this](THtmlReader& x) { Start(x); };
    r.OnElementEnd = [this](THtmlReader& x) {
      if (x.isEmptyElement() || IsEmptyElementTag(startTag_)) current_ = current_->parentNode();
    };
    r.OnEndElement = [this](THtmlReader& x) {
      for (TNode* n = current_; n != nullptr && n->nodeType() == ELEMENT_NODE; n = n->parentNode()) {
        if (n->nodeName() == x.QualifiedName()) {
          current_ = n->parentNode();
          return;
        }
      }
    };
    r.OnAttributeStart = [this](THtmlReader& x) {
      auto attr = doc_->createAttribute(x.QualifiedName());
      TAttr* raw = attr.get();
      static_cast<TElement*>(current_)->setAttributeNode(std::move(attr));
      current_ = raw;
    };
    r.OnAttributeEnd = [this](THtmlReader&) { current_ = static_cast<TAttr*>(current_)->ownerElement(); };
    r.OnTextNode = [this](THtmlReader& x) { current_->appendChild(doc_->createTextNode(x.nodeValue())); };
    r.OnEntityReference = [this](THtmlReader& x) {
      current_->appendChild(doc_->createEntityReference(x.QualifiedName()));
    };
    r.OnComment = [this](THtmlReader& x) { current_->appendChild(doc_->createComment(x.nodeValue())); };
    r.OnCDataSection = [this](THtmlReader& x) { current_->appendChild(doc_->createCDATASection(x.nodeValue())); };
    r.SetSource(text);
    try {
      while (r.Read()) {
      }
    } catch (const std::exception&) {
    }
    return std::move(doc_);
  }

 private:
  TNode* Nearest(std::initializer_list<int> set) {
    for (TNode* n = current_; n != nullptr && n->nodeType() == ELEMENT_NODE; n = n->parentNode()) {
      const int number = HtmlTagNumber(n->nodeName());
      for (int t : set)
        if (t == number) return n;
    }
    return nullptr;
  }

  void Start(THtmlReader& x) {
    const std::u16string name = x.QualifiedName();
    startTag_ = HtmlTagNumber(name);
    if (IsRestructuringTag(startTag_)) {
      TNode* parent = nullptr;
      switch (startTag_) {
        case tag::Li: parent = Nearest({tag::Dir, tag::Menu, tag::Ol, tag::Ul}); break;
        case tag::Dd:
        case tag::Dt: parent = Nearest({tag::Dl}); break;
        case tag::Td:
        case tag::Th: parent = Nearest({tag::Tr}); break;
        case tag::Tr: parent = Nearest({tag::Table, tag::TBody, tag::TFoot, tag::THead}); break;
        case tag::Col: parent = Nearest({tag::ColGroup}); break;
        case tag::ColGroup:
        case tag::TBody:
        case tag::TFoot:
        case tag::THead: parent = Nearest({tag::Table}); break;
        case tag::Option: parent = Nearest({tag::OptGroup, tag::Select}); break;
        default:
          parent = Nearest({tag::Address, tag::BlockQuote, tag::Center, tag::Div, tag::Dl, tag::FieldSet, tag::H1,
                            tag::H2, tag::H3, tag::H4, tag::H5, tag::H6, tag::Hr, tag::Li, tag::NoScript, tag::Ol,
                            tag::Pre, tag::Td, tag::Th, tag::Ul});
      }
      if (parent == nullptr) {
        TElement* root = doc_->documentElement();
        if (root == nullptr) root = doc_->appendChild(doc_->createElement(u"html"));
        for (int i = 0; i < root->childCount() && parent == nullptr; ++i) {
          TNode* c = root->childAt(i);
          if (c->nodeType() == ELEMENT_NODE && c->nodeName() == u"body") parent = c;
        }
        if (parent == nullptr) parent = root->appendChild(doc_->createElement(u"body"));
      }
      current_ = parent;
    }
    current_ = current_->appendChild(doc_->createElement(name));
  }

  std::unique_ptr<TDocument> doc_;
  TNode* current_ = nullptr;
  int startTag_ = 0;
};

// The tree as text, attributes included (iterative pre-order).
std::u16string Dump(const TDocument& doc) {
  std::u16string out;
  std::vector<std::pair<const TNode*, int>> stack{{&doc, 0}};
  while (!stack.empty()) {
    auto [n, level] = stack.back();
    stack.pop_back();
    out.append(static_cast<std::size_t>(level), u' ');
    out += n->nodeName() + u"=" + n->nodeValue();
    if (const TNodeList* attrs = n->attributes())
      for (int i = 0; i < attrs->length(); ++i)
        ((out += u' ') += attrs->item(i)->nodeName() + u"=") += attrs->item(i)->nodeValue();
    out += u'\n';
    for (int i = n->childCount() - 1; i >= 0; --i) stack.emplace_back(n->childAt(i), level + 1);
  }
  return out;
}

TEST(HtmlParserEquivalence, RandomPagesGiveTheTreeOfThePlainWalks) {
  const std::u16string pieces[] = {
      u"<p>", u"</p>", u"<div>", u"</div>", u"<ul>", u"</ul>", u"<ol>", u"<li>", u"</li>", u"<dl>", u"<dt>",
      u"<dd>", u"</dl>", u"<table>", u"</table>", u"<tbody>", u"<tr>", u"</tr>", u"<td>", u"</td>", u"<th>",
      u"<colgroup>", u"<col>", u"<select>", u"<option>", u"<optgroup>", u"</select>", u"<b>", u"</b>",
      u"<i>", u"</i>", u"<x:y>", u"</x:y>", u"<br>", u"<hr>", u"<img src=a>", u"<span/>", u"<html>",
      u"</html>", u"<body>", u"</body>", u"<head>", u"</head>", u"<pre>", u"<h1>", u"</h1>", u"<nobr>",
      u"<a href='x&amp;y'>", u"</a>", u"t", u" ", u"\n", u"&amp;", u"<!--c-->", u"<![CDATA[d]]>", u"<td class=c>",
  };
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 80);
  THtmlParser parser;
  ReferenceBuilder reference;
  for (int round = 0; round < 3000; ++round) {
    std::u16string page;
    // Most pages start inside a block so that the refusals at the top level
    // do not end them early.
    if (round % 4 != 0) page = u"<div>";
    for (int i = length(rng); i > 0; --i) page += pieces[pick(rng)];
    auto fast = parser.Parse(page);
    auto slow = reference.Parse(page);
    ASSERT_EQ(Dump(*fast), Dump(*slow)) << std::string(page.begin(), page.end());
  }
}

}  // namespace
}  // namespace orvix
