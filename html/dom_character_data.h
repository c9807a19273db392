// Nodes whose content is their value: comments, text and CDATA sections.
#pragma once

#include "html/dom_node.h"

namespace orvix {

class TCharacterData : public TNode {
 public:
  std::u16string nodeValue() const override { return nodeValue_; }
  void setNodeValue(const std::u16string& value) override { nodeValue_ = value; }
  const std::u16string& data() const { return nodeValue_; }
  // Number of UTF-16 code units of the value.
  int length() const { return static_cast<int>(nodeValue_.size()); }

 protected:
  TCharacterData(TDocument* owner, std::u16string data) : TNode(owner), nodeValue_(std::move(data)) {}

  friend class TAttr;
  std::u16string nodeValue_;
};

class TComment : public TCharacterData {
 public:
  TComment(TDocument* owner, std::u16string data) : TCharacterData(owner, std::move(data)) {}
  std::u16string nodeName() const override { return u"#comment"; }
  int nodeType() const override { return COMMENT_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

class TTextNode : public TCharacterData {
 public:
  TTextNode(TDocument* owner, std::u16string data) : TCharacterData(owner, std::move(data)) {}
  std::u16string nodeName() const override { return u"#text"; }
  int nodeType() const override { return TEXT_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

class TCDATASection : public TTextNode {
 public:
  TCDATASection(TDocument* owner, std::u16string data) : TTextNode(owner, std::move(data)) {}
  std::u16string nodeName() const override { return u"#cdata-section"; }
  int nodeType() const override { return CDATA_SECTION_NODE; }
  std::unique_ptr<TNode> cloneNode(bool deep) const override;

 protected:
  std::unique_ptr<TNode> ShallowCopy(TDocument& doc) const override;
};

}  // namespace orvix
