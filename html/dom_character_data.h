// Nodes whose content is their value: comments, text and CDATA sections.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TCharacterData : public TNode {
 public:
  ~TCharacterData() override;
  std::u16string nodeValue() const override { return std::u16string(data()); }
  void setNodeValue(const std::u16string& value) override { SetData(value); }
  std::u16string_view data() const { return {chars_, length_}; }
  // Number of UTF-16 code units of the value.
  int length() const { return static_cast<int>(length_); }

 protected:
  TCharacterData(TDocument* owner, std::u16string_view data) : TNode(owner) { SetData(data); }

 private:
  void SetData(std::u16string_view data);

  // The value is stored with the node (in its arena when it has one), not
  // as a string of its own: a page has a hundred thousand texts, most of
  // them a few characters long.
  char16_t* chars_ = nullptr;
  std::size_t length_ = 0;
};

class TComment : public TCharacterData {
 public:
  TComment(TDocument* owner, std::u16string_view data) : TCharacterData(owner, data) {}
  std::u16string nodeName() const override { return u"#comment"; }
  int nodeType() const override { return COMMENT_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

class TTextNode : public TCharacterData {
 public:
  TTextNode(TDocument* owner, std::u16string_view data) : TCharacterData(owner, data) {}
  std::u16string nodeName() const override { return u"#text"; }
  int nodeType() const override { return TEXT_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

class TCDATASection : public TTextNode {
 public:
  TCDATASection(TDocument* owner, std::u16string_view data) : TTextNode(owner, data) {}
  std::u16string nodeName() const override { return u"#cdata-section"; }
  int nodeType() const override { return CDATA_SECTION_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

}  // namespace orvix
