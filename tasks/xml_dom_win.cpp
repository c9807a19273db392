#include "tasks/xml_dom_win.h"

#include <oleauto.h>

#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "text/platform.h"
#include "text/win_text.h"

namespace orvix::tasks {
namespace {

constexpr wchar_t kProgId[] = L"Microsoft.XMLDOM";

// A VARIANT that is cleared when it goes out of scope.
struct Variant {
  VARIANT v;
  Variant() { VariantInit(&v); }
  ~Variant() { VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

// A BSTR argument owned for the duration of one call.
struct BstrArg {
  BSTR s;
  explicit BstrArg(const std::u16string& text)
      : s(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()))) {
    if (!s) throw std::bad_alloc();
  }
  ~BstrArg() { SysFreeString(s); }
  BstrArg(const BstrArg&) = delete;
  BstrArg& operator=(const BstrArg&) = delete;
};

std::string HresultText(HRESULT hr) {
  char code[32];
  std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(hr));
  const std::string text = win::SystemMessage(static_cast<DWORD>(hr));
  return text.rfind("System error ", 0) == 0 ? std::string(code) : text;
}

// Calls a method or reads a property by name. Arguments in natural order.
// Returns false when the name is unknown or the call fails.
bool Invoke(IDispatch* obj, const wchar_t* name, WORD flags, std::vector<VARIANT>& args, VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  if (FAILED(obj->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
  // IDispatch takes its arguments last to first.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(reversed.size());
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  return SUCCEEDED(obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr));
}

bool GetProperty(IDispatch* obj, const wchar_t* name, VARIANT* result) {
  std::vector<VARIANT> none;
  return Invoke(obj, name, DISPATCH_PROPERTYGET, none, result);
}

}  // namespace

XmlDom::XmlDom() {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          doc_.put_void());
  }
  if (FAILED(hr) || !doc_) {
    doc_.reset();
    throw std::runtime_error(HresultText(hr) + ", ProgID: \"Microsoft.XMLDOM\"");
  }
}

bool XmlDom::LoadXml(const std::u16string& xml) {
  BstrArg text(xml);
  std::vector<VARIANT> args(1);
  VariantInit(&args[0]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = text.s;
  Variant result;
  if (!Invoke(doc_.get(), L"LoadXml", DISPATCH_METHOD, args, &result.v)) return false;
  if (FAILED(VariantChangeType(&result.v, &result.v, 0, VT_BOOL))) return false;
  return result.v.boolVal != VARIANT_FALSE;
}

std::optional<std::u16string> XmlDom::SelectText(const std::u16string& path) {
  Variant root;
  if (!GetProperty(doc_.get(), L"documentElement", &root.v) || root.v.vt != VT_DISPATCH || !root.v.pdispVal)
    return std::nullopt;
  BstrArg query(path);
  std::vector<VARIANT> args(1);
  VariantInit(&args[0]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = query.s;
  Variant node;
  if (!Invoke(root.v.pdispVal, L"selectSingleNode", DISPATCH_METHOD, args, &node.v) ||
      node.v.vt != VT_DISPATCH || !node.v.pdispVal)
    return std::nullopt;
  Variant text;
  if (!GetProperty(node.v.pdispVal, L"Text", &text.v)) return std::nullopt;
  if (FAILED(VariantChangeType(&text.v, &text.v, 0, VT_BSTR)) || !text.v.bstrVal) return std::u16string();
  return FromWide(text.v.bstrVal, SysStringLen(text.v.bstrVal));
}

std::string ReadXmlText(const std::string& xml, const std::u16string& path) {
  XmlDom dom;
  if (!dom.LoadXml(platform::AnsiToWide(xml))) return {};
  auto text = dom.SelectText(path);
  if (!text) return {};
  return platform::WideToAnsi(*text);
}

}  // namespace orvix::tasks
