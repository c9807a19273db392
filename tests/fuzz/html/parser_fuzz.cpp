// Fuzzes the tree builder: any input gives a document whose tree is sound
// (parents and owners agree), can be searched, and is destroyed cleanly.
#include <cstdlib>
#include <vector>

#include "html/dom.h"
#include "html/html_parser.h"
#include "tests/fuzz/html/fuzz_input.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvix;
  static THtmlParser parser;  // reused, as the program may reuse one
  std::unique_ptr<TDocument> doc = parser.Parse(fuzz::FuzzText(data, size));
  Check(doc != nullptr);

  // Walk the tree iteratively and check the links; count the elements.
  int elements = 0;
  std::vector<const TNode*> stack{doc.get()};
  while (!stack.empty()) {
    const TNode* node = stack.back();
    stack.pop_back();
    Check(node->ownerDocument() == doc.get());
    if (node->nodeType() == ELEMENT_NODE) {
      ++elements;
      const TNodeList* attrs = node->attributes();
      Check(attrs != nullptr);
      for (int i = 0; i < attrs->length(); ++i) {
        const TNode* a = attrs->item(i);
        Check(a->nodeType() == ATTRIBUTE_NODE && a->parentNode() == nullptr);
        (void)a->nodeValue();
      }
    }
    for (int i = 0; i < node->childCount(); ++i) {
      const TNode* child = node->childAt(i);
      Check(child->parentNode() == node);
      stack.push_back(child);
    }
  }
  auto all = doc->getElementsByTagName(u"*");
  Check(all->length() == elements);
  return 0;
}
