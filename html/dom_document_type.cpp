#include "html/dom_document_type.h"

namespace orvix {

const TKnownDocType kKnownDocTypes[6] = {
    {u"-//W3C//DTD HTML 4.01//EN", u"http://www.w3.org/TR/html4/strict.dtd"},
    {u"-//W3C//DTD HTML 4.01 Transitional//EN", u"http://www.w3.org/TR/html4/loose.dtd"},
    {u"-//W3C//DTD HTML 4.01 Frameset//EN", u"http://www.w3.org/TR/html4/frameset.dtd"},
    {u"-//W3C//DTD XHTML 1.0 Strict//EN", u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd"},
    {u"-//W3C//DTD XHTML 1.0 Transitional//EN",
     u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd"},
    {u"-//W3C//DTD XHTML 1.0 Frameset//EN", u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-frameset.dtd"},
};

std::unique_ptr<TNode> TDocumentType::importInto(TDocument&, bool) const {
  throw DomException(dom_error::NotSupported);
}

std::unique_ptr<TNode> TDocumentType::cloneNode(bool) const {
  return std::make_unique<TDocumentType>(ownerDocument_, localName(), publicId_, systemId_);
}

}  // namespace orvix
