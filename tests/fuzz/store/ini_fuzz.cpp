// Fuzzes the INI store on raw file bytes (UTF-16 with and without the byte
// order mark, odd lengths, lone surrogates, 8-bit text read as UTF-16):
// loading never fails, every section and key can be read with every typed
// read, the hashed lookups agree with a plain search (the later section and
// the later key win, letter case aside), the account record loads with sane
// numbers and leaves the file as it was, and values and numbers written with
// the store read back unchanged after a save and a reload.
#include <cmath>
#include <map>
#include <string>

#include "store/account.h"
#include "store/ini_file.h"
#include "store/number_text.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/file_io.h"
#include "text/platform.h"

namespace {

using namespace orvix;
using fuzz::Check;

// Reads that a settings file may hold any text at.
constexpr std::u16string_view kAbsent = u"\xFFFF<absent>";

bool Representable(std::u16string_view value) {
  // The format trims lines, and only TAB, CR and LF have escapes: a value
  // that starts or ends with another blank cannot survive a save.
  auto blank = [](char16_t c) { return c <= 32 && c != u'\t' && c != u'\r' && c != u'\n'; };
  return value.empty() || (!blank(value.front()) && !blank(value.back()));
}

void CheckTypedReads(const TWMemIniFile& ini, std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) {
  std::string ascii;
  const bool isAscii = numtext::NarrowAscii(value, ascii);
  double d = 0;
  const double f = ini.ReadFloat(section, key, 0.25);
  Check(std::isfinite(f), "ReadFloat gives a finite number");
  if (isAscii && numtext::ParseFloat(ascii, d)) Check(f == d, "ReadFloat reads what ParseFloat reads");
  std::int32_t n = 0;
  const std::int32_t i = ini.ReadInteger(section, key, 77);
  if (isAscii && numtext::ParseInteger(ascii, n)) Check(i == n, "ReadInteger reads what ParseInteger reads");
  (void)ini.ReadBool(section, key, true);
  (void)ini.ReadDate(section, key, 0);
  (void)ini.ReadTime(section, key, 0);
  (void)ini.ReadDateTime(section, key, 0);
  std::string bytes;
  Check(ini.ReadBinaryStream(section, key, bytes) == static_cast<int>(bytes.size()), "ReadBinaryStream count");
}

bool Has(const TWMemIniFile& ini, std::u16string_view section, std::u16string_view key) {
  return ini.ReadString(section, key, kAbsent) != kAbsent;
}

// Values and numbers read from the file, written into a fresh store, saved
// and loaded again.
void CheckRoundTrip(const fuzz::ScratchFile& file, const std::vector<std::u16string>& values) {
  file.Write("");
  TWMemIniFile out(file.Name());
  std::vector<double> floats;
  std::vector<std::int32_t> integers;
  std::vector<double> dates;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::u16string key = u"k" + numtext::WidenAscii(std::to_string(i));
    out.WriteString(u"text", key, values[i]);
    std::string ascii;
    if (!numtext::NarrowAscii(values[i], ascii)) continue;
    double d = 0;
    std::int32_t n = 0;
    if (numtext::ParseFloat(ascii, d)) {
      out.WriteFloat(u"float", key, d);
      floats.push_back(d);
    }
    if (numtext::ParseInteger(ascii, n)) {
      out.WriteInteger(u"int", key, n);
      out.WriteHexInteger(u"hex", key, n);
      integers.push_back(n);
    }
    if (numtext::ParseDateTime(ascii, d)) {
      out.WriteDateTime(u"date", key, d);
      dates.push_back(d);
    }
  }
  out.UpdateFile();
  const TWMemIniFile back(file.Name());
  std::size_t fi = 0, ii = 0, di = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::u16string key = u"k" + numtext::WidenAscii(std::to_string(i));
    if (Representable(values[i]))
      Check(back.ReadString(u"text", key, kAbsent) == values[i], "a written value reads back unchanged");
    if (Has(back, u"float", key)) {
      const double want = floats.at(fi++);
      const double got = back.ReadFloat(u"float", key, NAN);
      Check(std::fabs(got - want) <= std::fmax(1e-14 * std::fabs(want), 1e-323), "WriteFloat then ReadFloat");
    }
    if (Has(back, u"int", key)) {
      const std::int32_t want = integers.at(ii++);
      Check(back.ReadInteger(u"int", key, want ^ 1) == want, "WriteInteger then ReadInteger");
      Check(back.ReadInteger(u"hex", key, want ^ 1) == want, "WriteHexInteger then ReadInteger");
    }
    if (Has(back, u"date", key)) {
      const double want = dates.at(di++);
      Check(std::fabs(back.ReadDateTime(u"date", key, NAN) - want) < 1e-6, "WriteDateTime then ReadDateTime");
    }
  }
  Check(fi == floats.size() && ii == integers.size() && di == dates.size(), "every number was written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::ScratchFile file;
  const std::string_view bytes = fuzz::Bytes(data, size);
  const std::u16string& name = file.Write(bytes);

  std::vector<std::u16string> values;  // for the round trip, bounded
  {
    const TWMemIniFile ini(name);
    TWStringList sections;
    ini.ReadSections(sections);
    Check(sections.GetCount() == ini.SectionCount(), "ReadSections lists every section");

    // The section a lookup must find: the later one of each name.
    std::map<std::u16string, int> lastSection;
    for (int i = 0; i < ini.SectionCount(); ++i) lastSection[platform::UpperCase(ini.SectionName(i))] = i;

    for (const auto& [upper, index] : lastSection) {
      const std::u16string& section = ini.SectionName(index);
      const TWHashedStringList& lines = ini.SectionLines(index);
      TWStringList keys;
      TWStringList stored;
      ini.ReadSection(section, keys);
      ini.ReadSectionValues(section, stored);
      Check(keys.GetCount() == lines.GetCount() && stored.GetCount() == lines.GetCount(),
            "the later section of a name is the one read");
      std::map<std::u16string, std::u16string> lastValue;  // upper-cased key -> value of its later line
      for (int j = 0; j < lines.GetCount(); ++j) {
        const std::u16string& line = lines.Strings(j);
        Check(line.find(u'\0') == std::u16string::npos, "a NUL ends the file text");
        Check(stored.Strings(j) == line && keys.Strings(j) == lines.Names(j), "section reads give the lines");
        const std::size_t eq = line.find(u'=');
        if (eq != std::u16string::npos) lastValue[platform::UpperCase(line.substr(0, eq))] = line.substr(eq + 1);
      }
      for (int j = 0; j < lines.GetCount(); ++j) {
        const std::u16string key = lines.Names(j);
        const auto it = lastValue.find(platform::UpperCase(key));
        if (it == lastValue.end()) continue;  // a line without "="
        const std::u16string value = ini.ReadString(section, key, kAbsent);
        Check(value == it->second, "ReadString finds the later line of a key");
        if (j < 16) Check(ini.ValueExists(section, key), "ValueExists of a stored key");
        CheckTypedReads(ini, section, key, value);
        if (values.size() < 256) values.push_back(value);
      }
    }
  }

  // The account record on the same bytes: numbers it computes with are
  // sane, the credentials can be decoded, and loading writes nothing.
  {
    const TAccountFile account(name);
    for (double v : {account.Download, account.Upload, account.DownloadSpeed, account.PayPercent,
                     account.MonthlyPay, account.UploadSpeed, account.StaticIp, account.PayPerMb,
                     account.MaxPay, account.Quota, account.LastUpdate}) {
      Check(std::isfinite(v), "account numbers are finite");
    }
    Check(account.Quota > 0, "the quota is positive");
    (void)DecodeCredentials(account.Hash);
    Check(fileio::ReadWholeFile(name) == bytes, "loading leaves the file as it was");
  }

  CheckRoundTrip(file, values);
  return 0;
}
