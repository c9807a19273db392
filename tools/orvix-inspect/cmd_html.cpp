// HTML commands: the document tree of a page as an indented outline, the
// plain text of its document element, and the texts of its table cells as
// the quota steps read them.
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html/dom.h"
#include "html/html_parser.h"
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

namespace {

std::unique_ptr<TDocument> ParseFile(const std::string& path) {
  auto text = ReadFileText(path);
  if (!text) return nullptr;
  THtmlParser parser;
  return parser.Parse(*text);
}

// One line of the outline, without indentation or line end.
// The pieces joined in one buffer. (GCC 12 at -O2 warns wrongly about
// -Wrestrict on "literal" + std::string&&, so no operator+ chains here.)
std::string Joined(std::initializer_list<std::string_view> parts) {
  std::string line;
  for (std::string_view part : parts) line += part;
  return line;
}

std::string NodeLine(const TNode& node) {
  switch (node.nodeType()) {
    case ELEMENT_NODE: {
      std::string line = Joined({"<", ToUtf8(node.nodeName())});
      if (const TNodeList* attrs = node.attributes()) {
        for (int i = 0; i < attrs->length(); ++i) {
          const TNode* a = attrs->item(i);
          line += Joined({" ", ToUtf8(a->nodeName()), "=", JsonString(a->nodeValue())});
        }
      }
      line += '>';
      return line;
    }
    case TEXT_NODE: return Joined({"#text ", JsonString(node.nodeValue())});
    case CDATA_SECTION_NODE: return Joined({"#cdata-section ", JsonString(node.nodeValue())});
    case COMMENT_NODE: return Joined({"#comment ", JsonString(node.nodeValue())});
    case ENTITY_REFERENCE_NODE: return Joined({"&", ToUtf8(node.nodeName()), ";"});
    case PROCESSING_INSTRUCTION_NODE: {
      const auto& pi = static_cast<const TProcessingInstruction&>(node);
      return Joined({"<?", ToUtf8(pi.target()), " ", ToUtf8(pi.data()), "?>"});
    }
    case DOCUMENT_NODE: return "#document";
    default: return Joined({"#", std::to_string(node.nodeType())});
  }
}

// Pre-order walk with an explicit stack: pages may nest a million deep.
void PrintOutline(const TDocument& doc, std::ostream& out) {
  std::string buffer = "#document\n";
  if (const TDocumentType* dt = doc.doctype()) {
    buffer += "  <!DOCTYPE " + ToUtf8(dt->nodeName()) + " " + JsonString(dt->publicId()) + " " +
              JsonString(dt->systemId()) + ">\n";
  }
  std::vector<std::pair<const TNode*, int>> stack;
  for (int i = doc.childCount() - 1; i >= 0; --i) stack.emplace_back(doc.childAt(i), 1);
  while (!stack.empty()) {
    auto [node, level] = stack.back();
    stack.pop_back();
    buffer.append(static_cast<std::size_t>(level) * 2, ' ');
    buffer += NodeLine(*node);
    buffer += '\n';
    for (int i = node->childCount() - 1; i >= 0; --i) stack.emplace_back(node->childAt(i), level + 1);
    if (buffer.size() > (1u << 16)) {
      out << buffer;
      buffer.clear();
    }
  }
  out << buffer;
}

int RunDom(const Args& args) {
  if (args.size() != 1) return UsageError("dom FILE");
  auto doc = ParseFile(args[0]);
  if (!doc) return kCannotRead;
  PrintOutline(*doc, std::cout);
  return kOk;
}

int RunText(const Args& args) {
  if (args.size() != 1) return UsageError("text FILE");
  auto doc = ParseFile(args[0]);
  if (!doc) return kCannotRead;
  if (TElement* root = doc->documentElement()) std::cout << ToUtf8(root->text());
  return kOk;
}

int RunTags(const Args& args) {
  if (args.size() != 1) return UsageError("tags FILE");
  auto doc = ParseFile(args[0]);
  if (!doc) return kCannotRead;
  auto cells = doc->getElementsByTagName(u"td");
  for (int i = 0, n = cells->length(); i < n; ++i) {
    std::cout << i << " " << JsonString(cells->item(i)->text()) << "\n";
  }
  return kOk;
}

}  // namespace

std::vector<Command> HtmlCommands() {
  return {
      {"dom", "dom FILE", "the document tree of an HTML page, one node per line", RunDom},
      {"text", "text FILE", "the plain text of the page's document element", RunText},
      {"tags", "tags FILE", "index and text of every td element, in document order", RunTags},
  };
}

}  // namespace orvix::inspect
