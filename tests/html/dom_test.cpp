// DOM core: insertion and removal rules, attributes, live searches, copies.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "html/dom.h"

namespace orvix {
namespace {

// Runs `f` and returns the DomException code it raised (0 when none).
template <class F>
int CodeOf(F&& f) {
  try {
    f();
  } catch (const DomException& e) {
    return e.code();
  }
  return 0;
}

class DomTest : public ::testing::Test {
 protected:
  std::unique_ptr<TDocument> doc = DomImplementation::createEmptyDocument(nullptr);
  TElement* AddElement(TNode* parent, const std::u16string& name) {
    return parent->appendChild(doc->createElement(name));
  }
  static std::u16string ChildNames(const TNode* node) {
    std::u16string names;
    for (int i = 0; i < node->childNodes()->length(); ++i) {
      if (i) names += u',';
      names += node->childNodes()->item(i)->nodeName();
    }
    return names;
  }
};

TEST(DomExceptionTest, MessagesFollowTheCode) {
  EXPECT_STREQ(DomException(3).what(), "Node is inserted somewhere it doesn't belong ");
  EXPECT_STREQ(DomException(1).what(), "Index or size is negative, or greater than the allowed value");
  EXPECT_STREQ(DomException(15).what(), "A parameter or an operation is not supported by the underlying object");
  EXPECT_EQ(DomException(10).code(), 10);
  EXPECT_STREQ(DomException(16).what(), "");
}

TEST_F(DomTest, NodeListIndexOutOfRangeGivesNull) {
  TElement* root = AddElement(doc.get(), u"html");
  AddElement(root, u"body");
  EXPECT_EQ(root->childNodes()->item(-1), nullptr);
  EXPECT_EQ(root->childNodes()->item(1), nullptr);
  EXPECT_NE(root->childNodes()->item(0), nullptr);
  EXPECT_EQ(root->firstChild(), root->childNodes()->item(0));
  EXPECT_FALSE(root->firstChild()->hasChildNodes());
  EXPECT_EQ(root->firstChild()->firstChild(), nullptr);
}

TEST_F(DomTest, HierarchyRefusalsLeaveTreeUnchanged) {
  TElement* root = AddElement(doc.get(), u"html");
  TElement* body = AddElement(root, u"body");
  TElement* div = AddElement(body, u"div");
  EXPECT_EQ(CodeOf([&] { body->appendChild(body); }), 3);
  EXPECT_EQ(CodeOf([&] { div->appendChild(root); }), 3);     // ancestor
  EXPECT_EQ(CodeOf([&] { div->insertBefore(body, nullptr); }), 3);
  EXPECT_EQ(ChildNames(body), u"div");
  EXPECT_EQ(div->parentNode(), body);

  TTextNode* text = div->appendChild(doc->createTextNode(u"x"));
  auto other = doc->createTextNode(u"y");
  EXPECT_EQ(CodeOf([&] { text->appendChild(std::move(other)); }), 3);
  ASSERT_NE(other, nullptr);  // a refused node stays with the caller

  auto foreign = DomImplementation::createEmptyDocument(nullptr);
  auto stranger = foreign->createElement(u"p");
  EXPECT_EQ(CodeOf([&] { div->appendChild(std::move(stranger)); }), 4);
  EXPECT_NE(stranger, nullptr);

  auto attr = doc->createAttribute(u"id");
  EXPECT_EQ(CodeOf([&] { div->appendChild(std::move(attr)); }), 3);
  EXPECT_EQ(CodeOf([&] { attr->appendChild(doc->createElement(u"b")); }), 3);
  EXPECT_EQ(CodeOf([&] { attr->appendChild(doc->createComment(u"c")); }), 3);
  attr->appendChild(doc->createEntityReference(u"amp"));
}

TEST_F(DomTest, DocumentAcceptsOneElementAndNoReferences) {
  doc->appendChild(doc->createTextNode(u"\n"));
  doc->appendChild(doc->createComment(u"c"));
  doc->appendChild(doc->createProcessingInstruction(u"xml", u"version=\"1.0\""));
  TElement* root = AddElement(doc.get(), u"html");
  EXPECT_EQ(doc->documentElement(), root);
  EXPECT_EQ(CodeOf([&] { AddElement(doc.get(), u"body"); }), 3);
  EXPECT_EQ(CodeOf([&] { doc->appendChild(doc->createCDATASection(u"x")); }), 3);
  EXPECT_EQ(CodeOf([&] { doc->appendChild(doc->createEntityReference(u"nbsp")); }), 3);
  EXPECT_EQ(ChildNames(doc.get()), u"#text,#comment,xml,html");
  // After the element leaves, another may come.
  auto removed = doc->removeChild(root);
  EXPECT_EQ(doc->documentElement(), nullptr);
  AddElement(doc.get(), u"body");
}

TEST_F(DomTest, InsertBeforeMovesAndOrders) {
  TElement* ul = AddElement(doc.get(), u"ul");
  TElement* a = AddElement(ul, u"a");
  TElement* b = AddElement(ul, u"b");
  TElement* c = AddElement(ul, u"c");
  ul->insertBefore(c, a);  // move within the same parent
  EXPECT_EQ(ChildNames(ul), u"c,a,b");
  ul->insertBefore(c, b);  // move forward: the reference keeps its place
  EXPECT_EQ(ChildNames(ul), u"a,c,b");
  EXPECT_EQ(ul->insertBefore(b, b), b);  // no-op
  EXPECT_EQ(ChildNames(ul), u"a,c,b");
  ul->appendChild(a);
  EXPECT_EQ(ChildNames(ul), u"c,b,a");

  TElement* li = AddElement(b, u"li");  // move across parents
  a->appendChild(li);
  EXPECT_EQ(b->hasChildNodes(), false);
  EXPECT_EQ(li->parentNode(), a);

  auto orphan = doc->createElement(u"x");
  TElement* stranger = orphan.get();
  EXPECT_EQ(CodeOf([&] { ul->insertBefore(doc->createElement(u"y"), li); }), 8);  // li is a grandchild
  EXPECT_EQ(CodeOf([&] { ul->insertBefore(stranger, nullptr); }), 8);  // unowned raw node refused
  EXPECT_EQ(ChildNames(ul), u"c,b,a");
}

TEST_F(DomTest, RemoveChildHandsBackTheNode) {
  TElement* root = AddElement(doc.get(), u"div");
  TElement* p = AddElement(root, u"p");
  TElement* inner = AddElement(p, u"span");
  EXPECT_EQ(CodeOf([&] { root->removeChild(inner); }), 8);
  std::unique_ptr<TNode> taken = root->removeChild(p);
  EXPECT_EQ(taken.get(), p);
  EXPECT_EQ(p->parentNode(), nullptr);
  EXPECT_EQ(inner->parentNode(), p);  // the subtree comes along
  EXPECT_EQ(CodeOf([&] { root->removeChild(p); }), 8);
  root->appendChild(std::move(taken));  // and can go back
  EXPECT_EQ(ChildNames(root), u"p");
}

TEST_F(DomTest, AttributeMapRules) {
  TElement* e = AddElement(doc.get(), u"td");
  auto first = doc->createAttribute(u"class");
  first->setNodeValue(u"a");
  TAttr* firstRaw = first.get();
  EXPECT_EQ(e->setAttributeNode(std::move(first)), nullptr);
  EXPECT_EQ(firstRaw->ownerElement(), e);
  EXPECT_EQ(firstRaw->parentNode(), nullptr);  // attributes have no parent

  auto second = doc->createAttribute(u"class");
  second->setNodeValue(u"b");
  std::unique_ptr<TAttr> displaced = e->setAttributeNode(std::move(second));
  EXPECT_EQ(displaced.get(), firstRaw);
  EXPECT_EQ(displaced->ownerElement(), nullptr);
  EXPECT_EQ(e->attributes()->length(), 1);
  EXPECT_EQ(e->getAttribute(u"class"), u"b");
  EXPECT_FALSE(e->hasAttribute(u"CLASS"));
  EXPECT_EQ(e->getAttributeNode(u"id"), nullptr);
  // The displaced attribute is free again and may go elsewhere.
  TElement* other = AddElement(e, u"span");
  other->setAttributeNode(std::move(displaced));
  EXPECT_EQ(other->getAttribute(u"class"), u"a");

  auto foreign = DomImplementation::createEmptyDocument(nullptr);
  auto alien = foreign->createAttribute(u"id");
  EXPECT_EQ(CodeOf([&] { e->attributes()->setNamedItem(std::move(alien)); }), 4);
  EXPECT_NE(alien, nullptr);
  EXPECT_EQ(doc->createTextNode(u"t")->attributes(), nullptr);
}

// A document freed while its caller still holds some of its nodes, held in
// each way there is: they stay whole and usable, and go cleanly later (the
// ASan build checks the memory and that nothing leaks).
TEST_F(DomTest, HeldNodesOutliveTheirDocument) {
  const std::u16string longText(3000, u'x');  // past the arena's block sizes
  struct Case {
    const char* name;
    std::function<std::unique_ptr<TNode>(TDocument&, TElement& body)> hold;
    std::u16string expected;  // text() of an element, else nodeValue()
  };
  const Case cases[] = {
      {"removed subtree",
       [](TDocument&, TElement& body) { return body.removeChild(body.firstChild()); }, longText},
      {"created, never inserted",
       [&](TDocument& d, TElement&) {
         auto div = d.createElement(u"div");
         div->appendChild(d.createTextNode(longText));
         return std::unique_ptr<TNode>(std::move(div));
       },
       longText},
      {"attribute displaced through the map",
       [](TDocument& d, TElement& body) {
         auto* p = static_cast<TElement*>(body.childAt(1));
         auto other = d.createAttribute(u"class");
         TAttr* added = other.get();
         std::unique_ptr<TAttr> displaced = p->attributes()->setNamedItem(std::move(other));
         EXPECT_EQ(added->ownerElement(), p);
         EXPECT_EQ(displaced->ownerElement(), nullptr);
         return std::unique_ptr<TNode>(std::move(displaced));
       },
       u"c"},
      {"element on the heap holding the document's nodes",
       [&](TDocument& d, TElement&) {
         auto div = std::make_unique<TElement>(&d, u"div");
         div->appendChild(d.createTextNode(longText));
         return std::unique_ptr<TNode>(std::move(div));
       },
       longText},
      {"removed and put back: nothing held", [](TDocument&, TElement& body) {
         body.appendChild(body.removeChild(body.firstChild()));
         return std::unique_ptr<TNode>();
       },
       u""},
  };
  // Plain nodes only, or one with a name or a value of its own.
  for (const char* extra : {"plain", "own name", "processing instruction"})
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", " + extra);
    auto d = DomImplementation::createDocument(u"", u"html", nullptr);
    TElement* body = d->documentElement()->appendChild(d->createElement(u"body"));
    body->appendChild(d->createElement(u"div"))->appendChild(d->createTextNode(longText));
    TElement* p = body->appendChild(d->createElement(u"p"));
    for (int i = 0; i < 200; ++i) p->appendChild(d->createTextNode(u"t"));  // a wide child list
    auto cls = d->createAttribute(u"class");
    cls->setNodeValue(u"c");
    p->setAttributeNode(std::move(cls));
    if (extra[0] == 'o') body->appendChild(d->createElementNS(u"urn:x", u"x:" + longText));
    if (extra[0] == 'p') body->appendChild(d->createProcessingInstruction(u"pi", longText));
    std::unique_ptr<TNode> held = c.hold(*d, *body);
    d.reset();
    TNodeArena::ReleaseSpareChunks();  // so a string left behind in them shows as a leak
    if (!held) continue;
    EXPECT_EQ(held->nodeType() == ELEMENT_NODE ? held->text() : held->nodeValue(), c.expected);
  }
}

TEST_F(DomTest, AttributeValueResolvesEntities) {
  auto attr = doc->createAttribute(u"title");
  attr->appendChild(doc->createTextNode(u"a"));
  TEntityReference* ref = attr->appendChild(doc->createEntityReference(u"amp"));
  attr->appendChild(doc->createTextNode(u"b"));
  EXPECT_EQ(attr->nodeValue(), u"a&b");
  attr->removeChild(ref);
  attr->insertBefore(doc->createEntityReference(u"bogus"), attr->lastChild());
  EXPECT_EQ(attr->nodeValue(), u"a b");
  attr->setNodeValue(u"new");
  EXPECT_EQ(attr->childNodes()->length(), 1);
  EXPECT_EQ(attr->nodeValue(), u"new");
}

TEST_F(DomTest, NodeValueSetterPerKind) {
  auto text = doc->createTextNode(u"x");
  text->setNodeValue(u"yz");
  EXPECT_EQ(text->length(), 2);
  EXPECT_EQ(CodeOf([&] { doc->createElement(u"p")->setNodeValue(u"v"); }), 7);
  EXPECT_EQ(CodeOf([&] { doc->createEntityReference(u"amp")->setNodeValue(u"v"); }), 7);
  EXPECT_EQ(CodeOf([&] { doc->setNodeValue(u"v"); }), 7);
}

TEST_F(DomTest, NamingAtCreation) {
  auto ns = doc->createElementNS(u"", u"x:td");
  EXPECT_EQ(ns->prefix(), u"x");
  EXPECT_EQ(ns->localName(), u"td");
  EXPECT_EQ(ns->nodeName(), u"x:td");
  EXPECT_EQ(ns->namespaceURI(), u"");
  auto plain = doc->createElement(u"x:td");
  EXPECT_EQ(plain->prefix(), u"");
  EXPECT_EQ(plain->localName(), u"x:td");
  auto a = doc->createElementNS(u"urn:a", u"td");
  auto b = doc->createElementNS(u"urn:b", u"td");
  auto a2 = doc->createElementNS(u"urn:a", u"a:td");
  EXPECT_EQ(a->namespaceURI(), u"urn:a");
  EXPECT_EQ(b->namespaceURI(), u"urn:b");
  EXPECT_EQ(doc->namespaceURIs().count(), 3);  // "", urn:a, urn:b
  EXPECT_EQ(doc->namespaceURIs().add(u"urn:a"), 1);
  EXPECT_EQ(a2->namespaceURI(), u"urn:a");
  EXPECT_EQ(doc->nodeName(), u"#document");
  EXPECT_EQ(doc->ownerDocument(), doc.get());
}

// Names are shared among a document's nodes up to a limit and copied past
// it; either way a node keeps its name after the document is gone.
TEST_F(DomTest, NamesSurviveManyDistinctNamesAndTheDocument) {
  std::vector<std::unique_ptr<TNode>> held;
  for (int i = 0; i < 3000; ++i) {
    const std::u16string n = u"name" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                             std::u16string(i / 26 + 1, u'x');
    held.push_back(i % 2 ? std::unique_ptr<TNode>(doc->createAttribute(n)) : doc->createElement(n));
  }
  held.push_back(doc->createElement(u"div"));
  held.push_back(doc->createElement(u"DIV"));
  doc.reset();
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(held[i]->localName(), u"name" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                                        std::u16string(i / 26 + 1, u'x'));
  EXPECT_EQ(held[3000]->nodeName(), u"div");
  EXPECT_EQ(held[3001]->nodeName(), u"DIV");
}

TEST_F(DomTest, SearchListIsLivePreOrderWithoutRoot) {
  TElement* table = AddElement(doc.get(), u"td");
  TElement* tr1 = AddElement(table, u"tr");
  TElement* cell1 = AddElement(tr1, u"td");
  TElement* nested = AddElement(cell1, u"td");
  TElement* tr2 = AddElement(table, u"tr");
  TElement* cell2 = AddElement(tr2, u"td");
  auto cells = table->getElementsByTagName(u"td");
  ASSERT_EQ(cells->length(), 3);
  EXPECT_EQ(cells->item(0), cell1);
  EXPECT_EQ(cells->item(1), nested);
  EXPECT_EQ(cells->item(2), cell2);
  EXPECT_EQ(cells->item(3), nullptr);

  auto everything = doc->getElementsByTagName(u"*");
  EXPECT_EQ(everything->length(), 6);

  TElement* late = AddElement(tr2, u"td");  // anywhere in the document
  EXPECT_EQ(cells->length(), 4);
  EXPECT_EQ(cells->item(3), late);
  auto removed = table->removeChild(tr1);
  EXPECT_EQ(cells->length(), 2);
  EXPECT_EQ(everything->length(), 4);
  // A node moved in from a detached subtree counts as soon as it arrives.
  tr2->appendChild(std::move(removed));
  EXPECT_EQ(cells->length(), 4);

  // Case and namespace prefix: the local name is what counts.
  auto prefixed = doc->createElementNS(u"urn:x", u"x:td");
  late->appendChild(std::move(prefixed));
  EXPECT_EQ(cells->length(), 5);
  EXPECT_EQ(table->getElementsByTagName(u"TD")->length(), 0);
}

TEST_F(DomTest, SearchListsOutlivingTheirTreeReadEmpty) {
  TElement* root = AddElement(doc.get(), u"div");
  TElement* p = AddElement(root, u"p");
  AddElement(p, u"b");
  auto underP = p->getElementsByTagName(u"b");
  auto underDoc = doc->getElementsByTagName(u"b");
  EXPECT_EQ(underP->length(), 1);
  {
    auto taken = root->removeChild(p);
  }  // the root of underP is gone
  EXPECT_EQ(underP->length(), 0);
  EXPECT_EQ(underP->item(0), nullptr);
  EXPECT_EQ(underDoc->length(), 0);
  doc.reset();  // lists still held by the caller are disconnected, not freed
  EXPECT_EQ(underDoc->length(), 0);
  EXPECT_EQ(underDoc->root(), nullptr);
}

TEST_F(DomTest, CloneAndImportCopyWithoutAttributes) {
  TElement* root = AddElement(doc.get(), u"div");
  auto attr = doc->createAttribute(u"id");
  attr->setNodeValue(u"x");
  root->setAttributeNode(std::move(attr));
  TElement* p = AddElement(root, u"p");
  p->appendChild(doc->createTextNode(u"t"));
  root->appendChild(doc->createComment(u"c"));

  auto shallow = root->cloneNode(false);
  EXPECT_EQ(shallow->nodeName(), u"div");
  EXPECT_FALSE(shallow->hasChildNodes());
  EXPECT_EQ(shallow->attributes()->length(), 0);
  EXPECT_EQ(shallow->ownerDocument(), doc.get());

  auto other = DomImplementation::createEmptyDocument(nullptr);
  auto imported = other->importNode(*root, true);
  EXPECT_EQ(imported->ownerDocument(), other.get());
  EXPECT_EQ(ChildNames(imported.get()), u"p,#comment");
  EXPECT_EQ(imported->firstChild()->firstChild()->nodeValue(), u"t");
  EXPECT_EQ(imported->firstChild()->firstChild()->ownerDocument(), other.get());
  other->appendChild(std::move(imported));

  auto attrCopy = root->getAttributeNode(u"id")->cloneNode(false);  // children always copied
  EXPECT_EQ(attrCopy->nodeValue(), u"x");

  EXPECT_EQ(CodeOf([&] { other->importNode(*doc, true); }), 9);
  auto type = DomImplementation::createDocumentType(u"html", u"p", u"s");
  EXPECT_EQ(CodeOf([&] { other->importNode(*type, false); }), 9);
}

TEST_F(DomTest, DocumentsAndDocumentTypes) {
  auto type = DomImplementation::createDocumentType(u"html", kKnownDocTypes[1].publicId,
                                                    kKnownDocTypes[1].systemId);
  EXPECT_EQ(type->ownerDocument(), nullptr);
  auto d = DomImplementation::createDocument(u"", u"html", std::move(type));
  ASSERT_NE(d->doctype(), nullptr);
  EXPECT_EQ(d->doctype()->ownerDocument(), d.get());
  EXPECT_EQ(d->doctype()->publicId(), u"-//W3C//DTD HTML 4.01 Transitional//EN");
  EXPECT_EQ(d->documentElement()->nodeName(), u"html");

  // A document type already taken cannot start another document.
  auto owned = d->doctype()->cloneNode(false);
  EXPECT_EQ(owned->ownerDocument(), d.get());
  std::unique_ptr<TDocumentType> ownedType(static_cast<TDocumentType*>(owned.release()));
  EXPECT_EQ(CodeOf([&] { DomImplementation::createEmptyDocument(std::move(ownedType)); }), 4);
  EXPECT_NE(ownedType, nullptr);

  d->documentElement()->appendChild(d->createElement(u"body"));
  auto copy = d->cloneNode(true);
  auto* copyDoc = static_cast<TDocument*>(copy.get());
  EXPECT_EQ(copyDoc->documentElement()->nodeName(), u"html");
  EXPECT_FALSE(copyDoc->documentElement()->hasChildNodes());
  EXPECT_EQ(copyDoc->doctype()->systemId(), u"http://www.w3.org/TR/html4/loose.dtd");
  EXPECT_NE(copyDoc->doctype(), d->doctype());

  auto bare = DomImplementation::createEmptyDocument(nullptr)->cloneNode(true);
  EXPECT_EQ(static_cast<TDocument*>(bare.get())->documentElement(), nullptr);

  d->setDoctype(DomImplementation::createDocumentType(u"x", u"", u""));
  EXPECT_EQ(d->doctype()->name(), u"x");
}

TEST_F(DomTest, TextIsEmptyForNonElements) {
  TElement* td = AddElement(doc.get(), u"td");
  td->appendChild(doc->createTextNode(u" 12,5  GB "));
  EXPECT_EQ(td->text(), u"12,5 GB ");
  EXPECT_EQ(td->firstChild()->text(), u"");
  EXPECT_EQ(doc->text(), u"");
}

}  // namespace
}  // namespace orvix
