// The attribute list of an element with lookup by name. The map owns the
// attributes it holds.
#pragma once

#include <memory>
#include <string>

#include "html/dom_node_list.h"

namespace orvix {

class TAttr;
class TElement;

class TNamedNodeMap : public TNodeList {
 public:
  explicit TNamedNodeMap(TElement* owner);
  ~TNamedNodeMap() override;

  // The first attribute whose nodeName equals `name` exactly, or nullptr.
  TAttr* getNamedItem(const std::u16string& name) const;
  // Appends `attr`, taking it over, and hands back the attribute of the same
  // name that it displaces (or nullptr). Raises WrongDocument for a node of
  // another document, InUseAttribute when `attr` belongs to another element;
  // the caller keeps `attr` then.
  std::unique_ptr<TAttr> setNamedItem(std::unique_ptr<TAttr>&& attr);

 private:
  friend class TNode;
  friend class TElement;
};

}  // namespace orvix
