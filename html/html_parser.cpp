#include "html/html_parser.h"

#include <initializer_list>
#include <new>

namespace orvix {

namespace {

using Tags = std::initializer_list<int>;

// Where a restructuring start tag may stand: the candidates of its parent.
constexpr Tags kParagraphContainers = {tag::Address, tag::BlockQuote, tag::Center, tag::Div,     tag::Dl,
                                       tag::FieldSet, tag::H1,        tag::H2,     tag::H3,      tag::H4,
                                       tag::H5,      tag::H6,         tag::Hr,     tag::Li,      tag::NoScript,
                                       tag::Ol,      tag::Pre,        tag::Td,     tag::Th,      tag::Ul};
constexpr Tags kListContainers = {tag::Dir, tag::Menu, tag::Ol, tag::Ul};
constexpr Tags kDefinitionLists = {tag::Dl};
constexpr Tags kRows = {tag::Tr};
constexpr Tags kRowGroups = {tag::Table, tag::TBody, tag::TFoot, tag::THead};
constexpr Tags kColumnGroups = {tag::ColGroup};
constexpr Tags kTables = {tag::Table};
constexpr Tags kOptionGroups = {tag::OptGroup, tag::Select};

Tags ParentCandidates(int number) {
  switch (number) {
    case tag::Li: return kListContainers;
    case tag::Dd:
    case tag::Dt: return kDefinitionLists;
    case tag::Td:
    case tag::Th: return kRows;
    case tag::Tr: return kRowGroups;
    case tag::Col: return kColumnGroups;
    case tag::ColGroup:
    case tag::TBody:
    case tag::TFoot:
    case tag::THead: return kTables;
    case tag::Option: return kOptionGroups;
    default: return kParagraphContainers;  // p and the block-level tags
  }
}

}  // namespace

THtmlParser::THtmlParser() : reader_(std::make_unique<THtmlReader>()), byTag_(tag::Count + 1) {
  reader_->SetListener(this);
}

THtmlParser::~THtmlParser() = default;

void THtmlParser::Reset() {
  attribute_ = nullptr;
  attributeOwner_ = nullptr;
  pendingAttributes_.clear();
  pendingSlots_.clear();
  pendingNames_ = 0;
  startTag_ = nullptr;
  path_.clear();
  for (auto& s : byTag_) s.clear();
  byName_.clear();
  documentElement_ = nullptr;
  body_ = nullptr;
}

std::unique_ptr<TDocument> THtmlParser::Parse(const std::u16string& text) {
  Reset();
  // The text outlives the parse, so the reader works on it in place and
  // token values stay slices of it until a node takes its own copy.
  reader_->SetSourceView(text);
  reader_->ResetState();
  document_ = DomImplementation::createEmptyDocument(nullptr);
  try {
    while (reader_->Read()) {
    }
  } catch (const std::bad_alloc&) {
    // Out of memory is no refusal of the page: what was built so far is
    // only part of it, and must not pass for the whole.
    Reset();
    reader_->ReleaseSource();
    document_.reset();
    throw;
  } catch (const std::exception&) {
    // A refusal of the DOM (say a second top-level element) ends the parse;
    // the caller gets what was built up to there.
  }
  // A text that ends inside a start tag still gives its element the
  // attributes read so far.
  FlushAttributes();
  Reset();
  reader_->ReleaseSource();
  return std::move(document_);
}

TNode& THtmlParser::Current() const {
  if (attribute_ != nullptr) return *attribute_;
  if (!path_.empty()) return *path_.back().element;
  return *document_;
}

std::vector<std::uint32_t>& THtmlParser::StackFor(int tagNumber, const std::u16string& name) {
  if (tagNumber > 0 && tagNumber <= tag::Count) return byTag_[tagNumber];
  return byName_[name];
}

void THtmlParser::Push(TElement* element, int tagNumber, const std::u16string& name) {
  auto& stack = StackFor(tagNumber, name);
  stack.push_back(static_cast<std::uint32_t>(path_.size()));
  path_.push_back({element, &stack});
}

void THtmlParser::PopTo(std::size_t depth) {
  while (path_.size() > depth) {
    path_.back().sameName->pop_back();
    path_.pop_back();
  }
}

// The nearest open element of the candidate names becomes the current node.
// An attribute as current node is no element, so the search fails at once.
void THtmlParser::MoveToParentOfRestructuring(int tagNumber) {
  if (attribute_ == nullptr) {
    std::int64_t nearest = -1;
    for (int candidate : ParentCandidates(tagNumber)) {
      const auto& stack = byTag_[candidate];
      if (!stack.empty() && static_cast<std::int64_t>(stack.back()) > nearest) nearest = stack.back();
    }
    if (nearest >= 0) {
      PopTo(static_cast<std::size_t>(nearest) + 1);
      return;
    }
  }
  MoveToBody();
}

// No candidate is open: the element goes into the body, made up when the
// page has none (and the html element too when there is no document element).
void THtmlParser::MoveToBody() {
  if (documentElement_ == nullptr) documentElement_ = document_->documentElement();
  if (documentElement_ == nullptr) {
    documentElement_ = document_->appendChild(document_->createElement(u"html"));
  }
  if (body_ == nullptr) {
    for (int i = 0, n = documentElement_->childCount(); i < n; ++i) {
      TNode* child = documentElement_->childAt(i);
      if (child->nodeType() == ELEMENT_NODE && child->nodeName() == u"body") {
        body_ = static_cast<TElement*>(child);
        break;
      }
    }
    if (body_ == nullptr) body_ = documentElement_->appendChild(document_->createElement(u"body"));
  }
  attribute_ = nullptr;
  PopTo(0);
  Push(documentElement_, documentElement_->tagNumber(), documentElement_->nodeName());
  Push(body_, tag::Body, u"body");
}

void THtmlParser::ElementStart(THtmlReader& r) {
  const std::u16string_view name = r.qualifiedNameView();
  startTag_ = &r.tag();
  const int number = startTag_->number;
  if (IsRestructuringTag(number)) MoveToParentOfRestructuring(number);
  TElement* element = Current().appendChild(document_->createElement(name, number));
  Push(element, number, element->localName());
}

void THtmlParser::ElementEnd(THtmlReader& r) {
  FlushAttributes();
  const bool closes = r.isEmptyElement() || (startTag_ != nullptr && IsEmptyElementTag(startTag_->number));
  startTag_ = nullptr;
  if (closes && attribute_ == nullptr && !path_.empty()) PopTo(path_.size() - 1);
}

void THtmlParser::EndElement(THtmlReader& r) {
  if (attribute_ != nullptr) return;  // the walk starts at a non-element
  const int number = r.tag().number;
  std::vector<std::uint32_t>* stack;
  if (number > 0) {
    stack = &byTag_[number];
  } else {
    auto it = byName_.find(std::u16string(r.qualifiedNameView()));
    if (it == byName_.end()) return;
    stack = &it->second;
  }
  if (stack->empty()) return;  // nothing open by that name: ignored
  PopTo(stack->back());
}

void THtmlParser::AttributeStart(THtmlReader& r) {
  // The reader only reports attributes right after an element start, so the
  // current node is that element.
  if (attribute_ != nullptr || path_.empty()) throw DomException(dom_error::HierarchyRequest);
  TElement* element = path_.back().element;
  if (element != attributeOwner_) {
    FlushAttributes();
    attributeOwner_ = element;
  }
  auto attr = document_->createAttribute(r.qualifiedNameView());
  TAttr* raw = attr.get();
  const std::u16string_view name = raw->localName();
  // A namesake read earlier in the same tag is displaced: freed, its slot
  // left empty, so the survivors keep the order the map would give them.
  constexpr std::size_t kScanLimit = 8;
  std::size_t earlier = SIZE_MAX;
  std::uint64_t* slot = nullptr;
  std::uint32_t hash = 0;
  if (pendingAttributes_.size() <= kScanLimit && pendingSlots_.empty()) {
    for (std::size_t i = 0; i < pendingAttributes_.size(); ++i) {
      if (pendingAttributes_[i] && pendingAttributes_[i]->localName() == name) {
        earlier = i;
        break;
      }
    }
  } else {
    // At most half the slots used, so probes stay short.
    if ((pendingNames_ + 1) * 2 > pendingSlots_.size()) IndexPendingAttributes();
    hash = NameHash(name);
    slot = &PendingSlot(name, hash);
    if (const std::uint32_t used = static_cast<std::uint32_t>(*slot)) earlier = used - 1;
  }
  pendingAttributes_.push_back(std::move(attr));  // the one step that may fail
  if (slot != nullptr) {
    if (static_cast<std::uint32_t>(*slot) == 0) ++pendingNames_;
    *slot = std::uint64_t{hash} << 32 | pendingAttributes_.size();
  }
  if (earlier != SIZE_MAX) pendingAttributes_[earlier].reset();
  attribute_ = raw;
}

std::uint64_t& THtmlParser::PendingSlot(std::u16string_view name, std::uint32_t hash) {
  const std::size_t mask = pendingSlots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    std::uint64_t& slot = pendingSlots_[i];
    const auto used = static_cast<std::uint32_t>(slot);
    if (used == 0) return slot;
    if (slot >> 32 == hash && pendingAttributes_[used - 1]->localName() == name) return slot;
  }
}

// (Re)builds the name index over the attributes still pending, with room
// for twice as many names.
void THtmlParser::IndexPendingAttributes() {
  std::size_t size = 32;
  while (size < (pendingNames_ + 1) * 4) size *= 2;
  pendingSlots_.assign(size, 0);
  pendingNames_ = 0;
  for (std::size_t i = 0; i < pendingAttributes_.size(); ++i) {
    if (!pendingAttributes_[i]) continue;
    const std::u16string_view name = pendingAttributes_[i]->localName();
    const std::uint32_t hash = NameHash(name);
    PendingSlot(name, hash) = std::uint64_t{hash} << 32 | (i + 1);
    ++pendingNames_;
  }
}

void THtmlParser::FlushAttributes() {
  if (attributeOwner_ != nullptr && !pendingAttributes_.empty())
    attributeOwner_->AdoptDistinctAttributes(pendingAttributes_);
  attributeOwner_ = nullptr;
  pendingAttributes_.clear();
  pendingSlots_.clear();
  pendingNames_ = 0;
}

void THtmlParser::AttributeEnd(THtmlReader&) { attribute_ = nullptr; }

void THtmlParser::TextNode(THtmlReader& r) {
  Current().appendChild(document_->createTextNode(r.nodeValueView()));
}

void THtmlParser::EntityReference(THtmlReader& r) {
  Current().appendChild(document_->createEntityReference(r.qualifiedNameView()));
}

void THtmlParser::Comment(THtmlReader& r) {
  Current().appendChild(document_->createComment(r.nodeValueView()));
}

void THtmlParser::CDataSection(THtmlReader& r) {
  Current().appendChild(document_->createCDATASection(r.nodeValueView()));
}

void THtmlParser::DocType(THtmlReader& r) {
  document_->setDoctype(DomImplementation::createDocumentType(r.QualifiedName(), r.publicId(), r.systemId()));
}

}  // namespace orvix
