// Loading a 10,000-line settings file: the INI store against the inih C
// library on the same content. The store reads UTF-16 (its file format);
// inih reads the same text as UTF-8, byte for byte the ASCII equivalent.
// Both keep every section, key and value in memory, so the comparison is
// load-and-keep, not parse-and-discard.
#include <benchmark/benchmark.h>
#include <ini.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/ini_file.h"
#include "store/number_text.h"

namespace {

constexpr int kSections = 500;
constexpr int kKeysPerSection = 18;  // + header + blank line = 20 lines a section

struct Files {
  std::filesystem::path utf16;
  std::filesystem::path utf8;
  Files() {
    const auto dir = std::filesystem::temp_directory_path() / "orvix-ini-bench";
    std::filesystem::create_directories(dir);
    utf16 = dir / "load16.ini";
    utf8 = dir / "load8.ini";
    std::string text;
    for (int s = 0; s < kSections; ++s) {
      text += "[section" + std::to_string(s) + "]\r\n";
      for (int k = 0; k < kKeysPerSection; ++k) {
        text += "key" + std::to_string(k) + " = value " + std::to_string(s * 100 + k) + ".25\r\n";
      }
      text += "\r\n";
    }
    std::ofstream(utf8, std::ios::binary) << text;
    std::string wide = "\xFF\xFE";
    for (const char c : text) {
      wide += c;
      wide += '\0';
    }
    std::ofstream(utf16, std::ios::binary) << wide;
  }
};

const Files& TestFiles() {
  static const Files files;
  return files;
}

void BM_StoreLoad(benchmark::State& state) {
  const std::u16string name = TestFiles().utf16.u16string();
  for (auto _ : state) {
    orvix::TWMemIniFile ini(name);
    benchmark::DoNotOptimize(ini.SectionCount());
  }
  state.SetItemsProcessed(state.iterations() * kSections * (kKeysPerSection + 2));
}
BENCHMARK(BM_StoreLoad)->Unit(benchmark::kMillisecond);

struct Entry {
  std::string section, name, value;
};

int KeepEntry(void* user, const char* section, const char* name, const char* value) {
  static_cast<std::vector<Entry>*>(user)->push_back({section, name, value});
  return 1;
}

void BM_InihLoad(benchmark::State& state) {
  const std::string name = TestFiles().utf8.string();
  for (auto _ : state) {
    std::vector<Entry> entries;
    if (ini_parse(name.c_str(), KeepEntry, &entries) != 0) state.SkipWithError("inih failed");
    benchmark::DoNotOptimize(entries.size());
  }
  state.SetItemsProcessed(state.iterations() * kSections * (kKeysPerSection + 2));
}
BENCHMARK(BM_InihLoad)->Unit(benchmark::kMillisecond);

// What the quota query does after loading: a few dozen lookups, here every
// key once, so the lazily built hash indexes are part of the cost.
void BM_StoreLoadAndReadAll(benchmark::State& state) {
  const std::u16string name = TestFiles().utf16.u16string();
  std::vector<std::u16string> sections, keys;
  for (int s = 0; s < kSections; ++s) sections.push_back(u"SECTION" + orvix::numtext::WidenAscii(std::to_string(s)));
  for (int k = 0; k < kKeysPerSection; ++k) keys.push_back(u"Key" + orvix::numtext::WidenAscii(std::to_string(k)));
  for (auto _ : state) {
    orvix::TWMemIniFile ini(name);
    double sum = 0;
    for (const auto& s : sections) {
      for (const auto& k : keys) sum += ini.ReadFloat(s, k, 0);
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_StoreLoadAndReadAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
