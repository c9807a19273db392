// One JSON object on one line, built field by field: the driver's replies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace uidriver {

// A JSON string literal of UTF-8 text: quotes, backslashes and control
// characters escaped, everything else passed through as it is.
inline std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

class JsonLine {
 public:
  JsonLine& Int(std::string_view key, std::int64_t v) { return Raw(key, std::to_string(v)); }
  JsonLine& Bool(std::string_view key, bool v) { return Raw(key, v ? "true" : "false"); }
  JsonLine& Str(std::string_view key, std::string_view utf8) { return Raw(key, JsonString(utf8)); }
  JsonLine& Ints(std::string_view key, std::initializer_list<std::int64_t> values) {
    std::string a = "[";
    for (const auto v : values) {
      if (a.size() > 1) a += ',';
      a += std::to_string(v);
    }
    return Raw(key, a + "]");
  }
  // A value that is JSON already.
  JsonLine& Raw(std::string_view key, std::string_view json) {
    if (!body_.empty()) body_ += ',';
    body_ += JsonString(key);
    body_ += ':';
    body_ += json;
    return *this;
  }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

inline JsonLine Error(std::string_view what) { return JsonLine().Str("error", what); }

}  // namespace uidriver
