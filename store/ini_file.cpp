#include "store/ini_file.h"


#include <algorithm>
#include <cstdio>

#include "store/number_text.h"
#include "text/file_io.h"
#include "text/text_utils.h"

namespace orvix {

namespace {

std::u16string_view Trim(std::u16string_view text) { return TrimBlanks(text); }

// Number texts are ASCII; anything else cannot be a number.
std::string NumberText(const TWCustomIniFile& ini, std::u16string_view section, std::u16string_view key,
                       bool& present) {
  const std::u16string text = ini.ReadString(section, key, u"");
  std::string ascii;
  present = !text.empty() && numtext::NarrowAscii(text, ascii);
  return ascii;
}

}  // namespace

// ---- TWCustomIniFile ------------------------------------------------------

std::int32_t TWCustomIniFile::ReadInteger(std::u16string_view section, std::u16string_view key,
                                          std::int32_t defaultValue) const {
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  std::int32_t value = 0;
  return present && numtext::ParseInteger(text, value) ? value : defaultValue;
}

void TWCustomIniFile::WriteInteger(std::u16string_view section, std::u16string_view key, std::int32_t value) {
  WriteString(section, key, numtext::WidenAscii(std::to_string(value)));
}

bool TWCustomIniFile::ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TWCustomIniFile::WriteBool(std::u16string_view section, std::u16string_view key, bool value) {
  WriteString(section, key, value ? u"1" : u"0");
}

void TWCustomIniFile::WriteHexInteger(std::u16string_view section, std::u16string_view key, std::int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%.8X", static_cast<unsigned>(value));
  WriteString(section, key, numtext::WidenAscii(buffer));
}

int TWCustomIniFile::ReadBinaryStream(std::u16string_view section, std::u16string_view key,
                                      std::string& bytes) const {
  bytes.clear();
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  if (!present || text.size() % 2 != 0) return 0;
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = nibble(text[i]);
    const int low = nibble(text[i + 1]);
    if (high < 0 || low < 0) return 0;
    out += static_cast<char>(high << 4 | low);
  }
  bytes = std::move(out);
  return static_cast<int>(bytes.size());
}

void TWCustomIniFile::WriteBinaryStream(std::u16string_view section, std::u16string_view key,
                                        std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::u16string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += static_cast<char16_t>(kHex[b >> 4]);
    text += static_cast<char16_t>(kHex[b & 15]);
  }
  WriteString(section, key, text);
}

double TWCustomIniFile::ReadFloat(std::u16string_view section, std::u16string_view key, double defaultValue) const {
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  double value = 0;
  return present && numtext::ParseFloat(text, value) ? value : defaultValue;
}

void TWCustomIniFile::WriteFloat(std::u16string_view section, std::u16string_view key, double value) {
  WriteString(section, key, numtext::WidenAscii(numtext::FormatFloat(value)));
}

TDateTime TWCustomIniFile::ReadDate(std::u16string_view section, std::u16string_view key,
                                    TDateTime defaultValue) const {
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  double value = 0;
  return present && numtext::ParseDate(text, value) ? value : defaultValue;
}

TDateTime TWCustomIniFile::ReadDateTime(std::u16string_view section, std::u16string_view key,
                                        TDateTime defaultValue) const {
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  double value = 0;
  return present && numtext::ParseDateTime(text, value) ? value : defaultValue;
}

TDateTime TWCustomIniFile::ReadTime(std::u16string_view section, std::u16string_view key,
                                    TDateTime defaultValue) const {
  bool present = false;
  const std::string text = NumberText(*this, section, key, present);
  double value = 0;
  return present && numtext::ParseTime(text, value) ? value : defaultValue;
}

void TWCustomIniFile::WriteDate(std::u16string_view section, std::u16string_view key, TDateTime value) {
  WriteString(section, key, numtext::WidenAscii(numtext::FormatDate(value)));
}

void TWCustomIniFile::WriteDateTime(std::u16string_view section, std::u16string_view key, TDateTime value) {
  WriteString(section, key, numtext::WidenAscii(numtext::FormatDateTime(value)));
}

void TWCustomIniFile::WriteTime(std::u16string_view section, std::u16string_view key, TDateTime value) {
  WriteString(section, key, numtext::WidenAscii(numtext::FormatTime(value)));
}

bool TWCustomIniFile::SectionExists(std::u16string_view section) const {
  TWStringList names;
  ReadSection(section, names);
  return names.GetCount() > 0;
}

bool TWCustomIniFile::ValueExists(std::u16string_view section, std::u16string_view key) const {
  TWStringList names;
  ReadSection(section, names);
  return names.IndexOf(key) >= 0;
}

// ---- TWMemIniFile ---------------------------------------------------------

TWMemIniFile::TWMemIniFile(std::u16string fileName) : TWCustomIniFile(std::move(fileName)) {
  LoadFileIntoStore();
}

TWMemIniFile::~TWMemIniFile() = default;

void TWMemIniFile::LoadValues() { LoadFileIntoStore(); }

void TWMemIniFile::LoadFileIntoStore() {
  if (!FileName().empty() && fileio::FileExists(FileName())) {
    TWStringList lines;
    lines.LoadFromFile(FileName());
    SetStrings(lines);
  } else {
    Clear();
  }
}

void TWMemIniFile::Clear() {
  sections_.Clear();
  sectionLists_.clear();
}

TWHashedStringList* TWMemIniFile::AddSection(std::u16string name) {
  auto lines = std::make_unique<TWHashedStringList>();
  lines->SetCaseSensitive(sections_.CaseSensitive());
  TWHashedStringList* raw = lines.get();
  sectionLists_.push_back(std::move(lines));
  sections_.AddObject(std::move(name), raw);
  return raw;
}

TWHashedStringList* TWMemIniFile::FindSection(std::u16string_view section) const {
  const int index = sections_.IndexOf(section);
  if (index < 0) return nullptr;
  return static_cast<TWHashedStringList*>(sections_.GetObject(index));
}

const TWHashedStringList& TWMemIniFile::SectionLines(int index) const {
  return *static_cast<TWHashedStringList*>(sections_.GetObject(index));
}

void TWMemIniFile::SetCaseSensitive(bool caseSensitive) {
  sections_.SetCaseSensitive(caseSensitive);
  for (const auto& lines : sectionLists_) lines->SetCaseSensitive(caseSensitive);
}

void TWMemIniFile::SetStrings(const TWStrings& lines) {
  Clear();
  TWHashedStringList* current = nullptr;
  // A plain string list hands out references; other kinds copy each line.
  const auto* list = dynamic_cast<const TWStringList*>(&lines);
  std::u16string copy;
  const int count = lines.GetCount();
  for (int i = 0; i < count; ++i) {
    if (list == nullptr) copy = lines.Get(i);
    const std::u16string_view line = Trim(list != nullptr ? list->Strings(i) : copy);
    if (line.empty() || line.front() == u';') continue;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
      current = AddSection(std::u16string(Trim(line.substr(1, line.size() - 2))));
      continue;
    }
    if (current == nullptr) continue;  // before the first section
    const auto eq = line.find(u'=');
    if (eq == std::u16string_view::npos) {
      current->Add(Unescape(line));
    } else if (eq == 0 || (line[eq - 1] > u' ' && eq + 1 < line.size() && line[eq + 1] > u' ')) {
      current->Add(Unescape(line));  // nothing to trim around the "="
    } else {
      std::u16string joined(Trim(line.substr(0, eq)));
      joined += u'=';
      joined += Trim(line.substr(eq + 1));
      current->Add(Unescape(joined));
    }
  }
}

void TWMemIniFile::GetStrings(TWStrings& lines) const {
  TWStringsUpdate update(lines);
  lines.Clear();
  const int count = sections_.GetCount();
  for (int i = 0; i < count; ++i) {
    lines.Add(u"[" + sections_.Strings(i) + u"]");
    const TWHashedStringList& section = SectionLines(i);
    const int lineCount = section.GetCount();
    for (int j = 0; j < lineCount; ++j) lines.Add(Escape(section.Strings(j)));
    lines.Add(u"");
  }
}

std::u16string TWMemIniFile::Escape(std::u16string_view line) {
  std::u16string out;
  out.reserve(line.size());
  for (const char16_t c : line) {
    switch (c) {
      case u'\\': out += u"\\\\"; break;
      case u'\r': out += u"\\r"; break;
      case u'\n': out += u"\\n"; break;
      case u'\t': out += u"\\t"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string TWMemIniFile::Unescape(std::u16string_view line) {
  if (line.find(u'\\') == std::u16string_view::npos) return std::u16string(line);
  std::u16string out;
  out.reserve(line.size());
  bool pending = false;
  for (const char16_t c : line) {
    if (!pending) {
      if (c == u'\\') {
        pending = true;
      } else {
        out += c;
      }
      continue;
    }
    pending = false;
    switch (c) {
      case u'\\': out += u'\\'; break;
      case u'n': out += u'\n'; break;
      case u'r': out += u'\r'; break;
      case u't': out += u'\t'; break;
      default: break;  // an unknown escape drops both characters
    }
  }
  return out;
}

std::u16string TWMemIniFile::ReadString(std::u16string_view section, std::u16string_view key,
                                        std::u16string_view defaultValue) const {
  const TWHashedStringList* lines = FindSection(section);
  if (lines != nullptr) {
    const int index = lines->IndexOfName(key);
    if (index >= 0) {
      const std::u16string& line = lines->Strings(index);
      return line.substr(line.find(u'=') + 1);
    }
  }
  return std::u16string(defaultValue);
}

void TWMemIniFile::WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  TWHashedStringList* lines = FindSection(section);
  if (lines == nullptr) lines = AddSection(std::u16string(section));
  std::u16string line(key);
  line += u'=';
  line += value;
  const int index = lines->IndexOfName(key);
  if (index >= 0) {
    lines->Put(index, std::move(line));
  } else {
    lines->Add(std::move(line));
  }
}

void TWMemIniFile::ReadSection(std::u16string_view section, TWStrings& strings) const {
  TWStringsUpdate update(strings);
  strings.Clear();
  if (const TWHashedStringList* lines = FindSection(section)) {
    const int count = lines->GetCount();
    for (int i = 0; i < count; ++i) strings.Add(lines->Names(i));
  }
}

void TWMemIniFile::ReadSections(TWStrings& strings) const {
  TWStringsUpdate update(strings);
  strings.Clear();
  const int count = sections_.GetCount();
  for (int i = 0; i < count; ++i) strings.Add(sections_.Strings(i));
}

void TWMemIniFile::ReadSectionValues(std::u16string_view section, TWStrings& strings) const {
  TWStringsUpdate update(strings);
  strings.Clear();
  if (const TWHashedStringList* lines = FindSection(section)) {
    const int count = lines->GetCount();
    for (int i = 0; i < count; ++i) strings.Add(lines->Strings(i));
  }
}

void TWMemIniFile::EraseSection(std::u16string_view section) {
  const int index = sections_.IndexOf(section);
  if (index < 0) return;
  const TObject* lines = sections_.GetObject(index);
  sections_.Delete(index);
  std::erase_if(sectionLists_, [lines](const auto& owned) { return owned.get() == lines; });
}

void TWMemIniFile::DeleteKey(std::u16string_view section, std::u16string_view key) {
  if (TWHashedStringList* lines = FindSection(section)) {
    const int index = lines->IndexOfName(key);
    if (index >= 0) lines->Delete(index);
  }
}

void TWMemIniFile::UpdateFile() {
  TWStringList lines;
  GetStrings(lines);
  lines.SaveToFile(FileName());
}

}  // namespace orvix
