// Fuzzes the DOM's ownership: the bytes drive a sequence of creations,
// insertions, moves, removals, attribute changes, copies and value changes
// on one document, with the nodes a caller may hold (created, removed,
// displaced or copied) kept in a list. Now and then the document is freed
// while nodes are still held; every held node is then read through and
// freed. A document that frees its storage too early, or a node freed
// twice, shows up under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html/dom.h"

namespace {

using namespace orvix;

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool more() const { return pos_ < size_; }
  unsigned next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Reads every node under `node` (children and attributes), without
// recursion.
std::size_t Touch(const TNode* node) {
  std::size_t total = 0;
  std::vector<const TNode*> pending{node};
  while (!pending.empty()) {
    const TNode* n = pending.back();
    pending.pop_back();
    total += n->nodeName().size() + n->nodeValue().size();
    for (int i = 0; i < n->childCount(); ++i) pending.push_back(n->childAt(i));
    if (const TNamedNodeMap* attrs = n->attributes())
      for (int i = 0; i < attrs->length(); ++i) pending.push_back(attrs->item(i));
  }
  return total;
}

// A node of the tree picked by the bytes: a walk down from the document.
TNode* Pick(TDocument& doc, Bytes& in) {
  TNode* node = &doc;
  for (unsigned steps = in.next() % 6; steps > 0 && node->childCount() > 0; --steps)
    node = node->childAt(static_cast<int>(in.next() % static_cast<unsigned>(node->childCount())));
  return node;
}

std::u16string Text(Bytes& in) {
  const unsigned n = in.next();
  // Now and then past the arena's block sizes.
  return std::u16string(n < 16 ? n * 40 : n % 8, static_cast<char16_t>(u'a' + n % 26));
}

struct Session {
  std::unique_ptr<TDocument> doc = DomImplementation::createEmptyDocument(nullptr);
  std::vector<std::unique_ptr<TNode>> held;

  void Hold(std::unique_ptr<TNode> node) {
    if (node) held.push_back(std::move(node));
  }
  std::unique_ptr<TNode> Take(Bytes& in) {
    if (held.empty()) return nullptr;
    const std::size_t i = in.next() % held.size();
    std::unique_ptr<TNode> node = std::move(held[i]);
    held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
    return node;
  }
  // Frees the document first, then reads and frees what was held.
  void EndDocument() {
    doc.reset();
    for (const auto& node : held) (void)Touch(node.get());
    held.clear();
    doc = DomImplementation::createEmptyDocument(nullptr);
  }

  void Step(Bytes& in) {
    TDocument& d = *doc;
    switch (in.next() % 12) {
      case 0: Hold(d.createElement(in.next() % 2 ? u"div" : u"x" + Text(in))); break;
      case 1: Hold(d.createTextNode(Text(in))); break;
      case 2: {
        auto attr = d.createAttribute(in.next() % 2 ? u"class" : u"id");
        attr->setNodeValue(Text(in));
        Hold(std::move(attr));
        break;
      }
      case 3:
        switch (in.next() % 4) {
          case 0: Hold(d.createComment(Text(in))); break;
          case 1: Hold(d.createProcessingInstruction(u"pi", Text(in))); break;
          case 2: Hold(d.createElementNS(u"urn:x", u"x:" + Text(in) + u"e")); break;
          default: Hold(std::make_unique<TElement>(&d, u"heap")); break;
        }
        break;
      case 4: {  // insert a held node somewhere
        std::unique_ptr<TNode> node = Take(in);
        if (!node) break;
        TNode* parent = Pick(d, in);
        TNode* ref = parent->childCount() > 0 && in.next() % 2 ? parent->firstChild() : nullptr;
        try {
          parent->insertBefore(std::move(node), ref);
        } catch (const DomException&) {
          Hold(std::move(node));
        }
        break;
      }
      case 5: {  // move a node of the tree
        TNode* node = Pick(d, in);
        TNode* parent = Pick(d, in);
        try {
          parent->insertBefore(node, nullptr);
        } catch (const DomException&) {
        }
        break;
      }
      case 6: {  // remove a node of the tree
        TNode* node = Pick(d, in);
        if (TNode* parent = node->parentNode()) Hold(parent->removeChild(node));
        break;
      }
      case 7: {  // set a held attribute on an element, through the element or the map
        TNode* target = Pick(d, in);
        if (target->nodeType() != ELEMENT_NODE || held.empty()) break;
        std::unique_ptr<TNode> node = Take(in);
        if (node->nodeType() != ATTRIBUTE_NODE) {
          Hold(std::move(node));
          break;
        }
        std::unique_ptr<TAttr> attr(static_cast<TAttr*>(node.release()));
        auto* element = static_cast<TElement*>(target);
        try {
          Hold(in.next() % 2 ? element->setAttributeNode(std::move(attr))
                             : element->attributes()->setNamedItem(std::move(attr)));
        } catch (const DomException&) {
          Hold(std::move(attr));
        }
        break;
      }
      case 8: {  // change a value in the tree or of a held node
        TNode* node = in.next() % 2 || held.empty() ? Pick(d, in) : held[in.next() % held.size()].get();
        if (node->nodeType() == ELEMENT_NODE) {
          if (const TNamedNodeMap* attrs = node->attributes(); attrs->length() > 0) node = attrs->item(0);
        }
        try {
          node->setNodeValue(Text(in));
        } catch (const DomException&) {
        }
        break;
      }
      case 9: {  // copy a node of the tree
        TNode* node = Pick(d, in);
        try {
          Hold(node->cloneNode(in.next() % 2 != 0));
        } catch (const DomException&) {
        }
        break;
      }
      case 10:
        (void)Take(in);  // freed here
        break;
      default:
        if (in.next() % 4 == 0) EndDocument();
        else (void)Touch(doc.get());
        break;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  Session session;
  for (int steps = 0; in.more() && steps < 4000; ++steps) session.Step(in);
  session.EndDocument();
  return 0;
}
