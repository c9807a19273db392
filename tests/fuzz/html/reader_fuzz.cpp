// Fuzzes THtmlReader alone: every input is read to its end, each event sees
// consistent fields, and the reader always advances.
#include <cstdlib>

#include "html/html_reader.h"
#include "tests/fuzz/html/fuzz_input.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvix::THtmlReader;
  const std::u16string text = orvix::fuzz::FuzzText(data, size);
  THtmlReader reader;
  std::size_t events = 0;
  auto count = [&](int expectedType) {
    return [&events, expectedType](THtmlReader& r) {
      ++events;
      Check(expectedType < 0 || r.nodeType() == expectedType);
    };
  };
  reader.OnAttributeEnd = count(THtmlReader::kAttributeEnd);
  reader.OnAttributeStart = count(THtmlReader::kNone);
  reader.OnCDataSection = count(THtmlReader::kCData);
  reader.OnComment = count(THtmlReader::kComment);
  reader.OnDocType = count(-1);
  reader.OnElementEnd = count(THtmlReader::kElement);
  reader.OnElementStart = count(THtmlReader::kElement);
  reader.OnEndElement = count(THtmlReader::kEndTag);
  reader.OnEntityReference = count(THtmlReader::kEntityReference);
  reader.OnTextNode = [&](THtmlReader& r) {
    ++events;
    Check(r.nodeType() == THtmlReader::kText && !r.nodeValue().empty());
  };
  reader.SetSource(text);
  std::size_t reads = 0;
  while (reader.Read()) {
    ++reads;
    // Every token consumes a character except the ends of an attribute and
    // of a start tag, which only change the state: a bound that a reader
    // stuck in place would break.
    Check(reads <= 3 * text.size() + 3);
    Check(reader.position() >= 1 && static_cast<std::size_t>(reader.position()) <= text.size() + 1);
  }
  Check(events == reads);
  return 0;
}
