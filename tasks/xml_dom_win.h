// The system's XML DOM component ("Microsoft.XMLDOM"), used through late-bound
// IDispatch calls by name, as the address lookup and the version check need
// it: load a text, find a node by XPath, read its text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "text/win_handles.h"

namespace orvix::tasks {

class XmlDom {
 public:
  // Creates the component. Throws std::runtime_error with the system's
  // message and the identifier ("<message>, ProgID: \"Microsoft.XMLDOM\"")
  // when it cannot be created. COM must be initialised on this thread.
  XmlDom();
  XmlDom(const XmlDom&) = delete;
  XmlDom& operator=(const XmlDom&) = delete;

  // "LoadXml" with the text; false when the component refuses it.
  bool LoadXml(const std::u16string& xml);

  // The "Text" of the node that "selectSingleNode" of the "documentElement"
  // returns for the path; nothing when there is no such node.
  std::optional<std::u16string> SelectText(const std::u16string& path);

 private:
  win::ComPtr<IDispatch> doc_;
};

// Loads xml (single-byte text in the system code page) and returns the text
// of the node at path converted to the system code page, or empty text.
// Throws when the component cannot be created.
std::string ReadXmlText(const std::string& xml, const std::u16string& path);

}  // namespace orvix::tasks
