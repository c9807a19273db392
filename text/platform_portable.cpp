// Portable half of the platform seam, for the native build. It behaves like a
// Turkish Windows system: code page 1254, "," as decimal and "." as group
// separator, unless a tool or test overrides them.
#include <atomic>
#include <chrono>

#include "text/codepage.h"
#include "text/platform.h"

namespace orvix::platform {
namespace {

std::atomic<unsigned> g_codePage{0};
std::atomic<char16_t> g_decimal{0};
std::atomic<char16_t> g_group{0};

// Case-insensitive order first; between texts equal but for case, lower case
// sorts before upper case, as the Windows locale comparison does.
int CompareUnits(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  const int folded = CompareUnits(UpperCase(a), UpperCase(b));
  if (folded != 0 || !caseSensitive) return folded;
  // Same letters: the lower-case form comes first.
  return -CompareUnits(a, b);
}

int CompareAnsiText(std::string_view a, std::string_view b, bool caseSensitive) {
  return CompareText(AnsiToWide(a), AnsiToWide(b), caseSensitive);
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = codepage::SimpleUpper(c);
  return out;
}

unsigned AnsiCodePage() {
  const unsigned cp = g_codePage.load();
  return cp ? cp : 1254;
}

std::u16string AnsiToWide(std::string_view text) { return codepage::Decode(AnsiCodePage(), text); }

std::string WideToAnsi(std::u16string_view text) { return codepage::Encode(AnsiCodePage(), text); }

char16_t DecimalSeparator() {
  const char16_t c = g_decimal.load();
  return c ? c : u',';
}

char16_t GroupSeparator() {
  const char16_t c = g_group.load();
  return c ? c : u'.';
}

std::int64_t UnixTimeMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void SetAnsiCodePageOverride(unsigned codePage) {
  g_codePage.store(codepage::IsSupported(codePage) ? codePage : 0);
}

void SetSeparatorsOverride(char16_t decimal, char16_t group) {
  g_decimal.store(decimal);
  g_group.store(group);
}

}  // namespace orvix::platform
