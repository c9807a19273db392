// Fuzzes the text formatters over parsed pages: the plain-text rendering of
// the document element and of the first cells, and the base formatter's
// rendering of the whole document.
#include <algorithm>

#include "html/dom.h"
#include "html/html_parser.h"
#include "html/text_formatter.h"
#include "tests/fuzz/html/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvix;
  THtmlParser parser;
  std::unique_ptr<TDocument> doc = parser.Parse(fuzz::FuzzText(data, size));
  if (TElement* root = doc->documentElement()) (void)root->text();
  // Each element's text covers its subtree; the first few keep runs fast.
  auto all = doc->getElementsByTagName(u"*");
  for (int i = 0, n = std::min(all->length(), 4); i < n; ++i) (void)all->item(i)->text();
  TBaseFormatter base;
  (void)base.RenderDocument(doc.get());
  return 0;
}
