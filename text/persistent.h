// The root of the program's class tree.
//
// The containers and the INI store follow one object model: single
// inheritance from TObject, virtual destructor, explicit ownership. Lists
// pair their entries with TObject references they never own, and Assign
// copies between persistent objects of compatible kinds.
#pragma once

#include "text/errors.h"

namespace orvix {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The class name used in error texts ("Cannot assign a %s to a %s").
  virtual const char* ClassName() const { return "TObject"; }
};

class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }

  // Copies the contents of source into this object. The default asks the
  // source to do it (AssignTo); when neither side knows the other, raises
  // EConvertError "Cannot assign a <source> to a <this>". A null source
  // is named "nil".
  virtual void Assign(const TPersistent* source) {
    if (source != nullptr) {
      source->AssignTo(this);
    } else {
      AssignError(nullptr, this);
    }
  }

 protected:
  virtual void AssignTo(TPersistent* dest) const { AssignError(this, dest); }

  [[noreturn]] static void AssignError(const TPersistent* source, const TPersistent* dest) {
    throw EConvertError(std::string("Cannot assign a ") + (source ? source->ClassName() : "nil") +
                        " to a " + (dest ? dest->ClassName() : "nil"));
  }
};

}  // namespace orvix
