// Parses the same pages with THtmlParser, gumbo and libxml2's HTML parser:
// a realistic 20 KB page, a 2 MB page, and pathological shapes at N and 2N
// elements. After the usual table it prints MB/s per parser, our speed
// relative to the other two, and for each pathological shape the time ratio
// 2N/N (about 2 for linear work, about 4 for quadratic).
//
// A counting allocator (the global operator new and libxml2's and gumbo's
// allocation hooks all count the usable size of each block) measures the
// heap one parse of the 2 MB page holds at its peak, for all three parsers.
//
// Throughput counts the UTF-8 bytes of the page for every parser. Our parser
// reads UTF-16; the page is converted once beforehand, since the program
// decodes response bodies before parsing them. Each iteration includes
// destroying the tree.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <memory>
#include <string>
#include <vector>

#include "html/dom.h"
#include "html/html_parser.h"
#include "text/platform.h"

// Heap accounting. Only the thread that measures turns it on; the benchmark
// runs single-threaded.
namespace heap {
bool counting = false;
std::size_t current = 0;
std::size_t peak = 0;
std::size_t blocks = 0;

void* Counted(void* p) {
  if (p != nullptr && counting) {
    current += malloc_usable_size(p);
    if (current > peak) peak = current;
    ++blocks;
  }
  return p;
}
void Uncount(void* p) {
  if (p != nullptr && counting) current -= std::min(current, malloc_usable_size(p));
}
// Out of line, so the compiler does not pair the inlined free() with the
// replaced operator new and warn of a mismatch.
[[gnu::noinline]] void* Malloc(std::size_t n) { return Counted(std::malloc(n)); }
[[gnu::noinline]] void Free(void* p) {
  Uncount(p);
  std::free(p);
}
void* Realloc(void* p, std::size_t n) {
  Uncount(p);
  return Counted(std::realloc(p, n));
}
char* Strdup(const char* s) { return static_cast<char*>(Counted(strdup(s))); }
void Start() {
  current = peak = blocks = 0;
  counting = true;
}
}  // namespace heap

void* operator new(std::size_t n) {
  void* p = heap::Malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { heap::Free(p); }
void operator delete[](void* p) noexcept { heap::Free(p); }
void operator delete(void* p, std::size_t) noexcept { heap::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::Free(p); }

namespace {

using orvix::platform::Utf16ToUtf8;
using orvix::platform::Utf8ToUtf16;

// One table row of a transfer page: month, upload, download, total.
std::string MonthRow(int i) {
  static const char* months[] = {"Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran",
                                 "Temmuz", "Ağustos", "Eylül", "Ekim", "Kasım", "Aralık"};
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "<tr class=\"%s\"><td align=left>%s 2009</td><td align=\"right\">%d,%02d&nbsp;GB</td>"
                "<td align=\"right\">%d,%02d&nbsp;GB</td><td align=right><b>%d,%02d GB</b></td></tr>\n",
                i % 2 ? "odd" : "even", months[i % 12], 1 + i % 7, (i * 37) % 100, 10 + i % 13,
                (i * 53) % 100, 12 + i % 17, (i * 71) % 100);
  return buf;
}

// A page like the quota portal's: a head with style and script, a menu, a
// form, a table of months, paragraphs with entities, comments and images.
std::string BodyBlock(int k) {
  std::string s;
  s += "<div id=\"menu\"><ul>\n";
  for (int i = 0; i < 8; ++i)
    s += "  <li><a href=\"/portal/page" + std::to_string(i) + ".jsp?id=" + std::to_string(k) +
         "&amp;lang=tr\">Bağlantı " + std::to_string(i) + "</a>\n";
  s += "</ul></div>\n<!-- içerik -->\n<div class=content>\n<h2>Aylık Kullanım</h2>\n";
  s += "<p>Sayın abonemiz, son on iki ayın <i>kota</i> bilgileri aşağıdadır &mdash; "
       "değerler &quot;GB&quot; cinsindendir.<br>\n";
  s += "<table width=\"100%\" border=0 cellpadding=2>\n<tr><th>Ay<th>Gönderilen<th>Alınan<th>Toplam\n";
  for (int i = 0; i < 12; ++i) s += MonthRow(k * 12 + i);
  s += "</table>\n<form method=post action=\"/portal/logout.jsp\"><input type=hidden name=t value=\"" +
       std::to_string(k) + "\"><input type=submit value=\"Çıkış\"></form>\n";
  s += "<p>Ayrıntılar için <a href='http://www.example.com/yardim'>yardım</a> sayfasına bakınız. "
       "<img src=\"img/logo.gif\" alt=\"logo\" width=120 height=40>\n</div>\n";
  return s;
}

std::string Page(std::size_t targetBytes) {
  std::string s =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
      "\"http://www.w3.org/TR/html4/loose.dtd\">\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1254\">\n"
      "<title>ADSL Kota Sorgulama</title>\n"
      "<style type=\"text/css\">body { font-family: Tahoma; font-size: 11px } td { padding: 2px }</style>\n"
      "<script type=\"text/javascript\">function ac(u) { window.open(u, 'p', 'width=400'); }</script>\n"
      "</head>\n<body bgcolor=\"#ffffff\">\n";
  int k = 0;
  while (s.size() + 40 < targetBytes) s += BodyBlock(k++);
  s += "</body>\n</html>\n";
  return s;
}

std::string Repeat(const std::string& piece, int n) {
  std::string s;
  s.reserve(piece.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) s += piece;
  return s;
}

struct Shape {
  const char* name;
  std::string (*make)(int n);
};

const Shape kShapes[] = {
    {"inline_then_end_tags", [](int n) { return "<p>" + Repeat("<b>", n) + Repeat("</i>", n); }},
    {"inline_then_paragraphs", [](int n) { return Repeat("<b>", n) + Repeat("<p>x", n); }},
    {"deep_nesting", [](int n) { return Repeat("<div>", n) + "x"; }},
    {"list_items_without_list", [](int n) { return Repeat("<li><i>", n); }},
    {"cells_after_spans", [](int n) { return "<table><tr>" + Repeat("<span>", n) + Repeat("<td>x", n); }},
    {"unterminated_comments", [](int n) { return Repeat("<!--", n); }},
    {"attributes_on_one_tag",
     [](int n) {
       std::string s = "<p";
       for (int i = 0; i < n; ++i) s += " a" + std::to_string(i) + "=v";
       return s + ">x";
     }},
};

// gumbo takes seconds on several shapes already at a few thousand elements.
constexpr int kShapeN = 4000;
// Our parser alone also runs the shapes at a size where quadratic work would
// stand out plainly.
constexpr int kLargeShapeN = 100000;

// Parsers under test. Each parses and frees the tree.
void ParseOrvix(benchmark::State& state, const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  orvix::THtmlParser parser;
  for (auto _ : state) {
    auto doc = parser.Parse(text);
    benchmark::DoNotOptimize(doc.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(utf8.size()));
}

void* GumboAlloc(void*, std::size_t n) { return heap::Malloc(n); }
void GumboFree(void*, void* p) { heap::Free(p); }

GumboOptions GumboCountingOptions() {
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = GumboAlloc;
  options.deallocator = GumboFree;
  return options;
}

void ParseGumbo(benchmark::State& state, const std::string& utf8) {
  const GumboOptions options = GumboCountingOptions();
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
    benchmark::DoNotOptimize(out);
    gumbo_destroy_output(&options, out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(utf8.size()));
}

void ParseLibxml2(benchmark::State& state, const std::string& utf8) {
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
  for (auto _ : state) {
    htmlDocPtr doc = htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options);
    benchmark::DoNotOptimize(doc);
    if (doc != nullptr) xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(utf8.size()));
}

// Peak heap of one parse of `utf8` (the tree still held), with the number
// of elements and of all nodes in the tree each parser built.
struct HeapFigures {
  std::size_t peak = 0;
  std::size_t blocks = 0;
  std::size_t elements = 0;
  std::size_t nodes = 0;
};

HeapFigures HeapOrvix(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  orvix::THtmlParser parser;
  HeapFigures f;
  // Count the document's own chunks, not spares left by the timed runs.
  orvix::TNodeArena::ReleaseSpareChunks();
  heap::Start();
  auto doc = parser.Parse(text);
  heap::counting = false;
  f.peak = heap::peak;
  f.blocks = heap::blocks;
  std::vector<const orvix::TNode*> stack{doc.get()};
  while (!stack.empty()) {
    const orvix::TNode* n = stack.back();
    stack.pop_back();
    ++f.nodes;
    if (n->nodeType() == orvix::ELEMENT_NODE) {
      ++f.elements;
      const orvix::TNamedNodeMap* attrs = n->attributes();
      for (int i = 0; attrs != nullptr && i < attrs->length(); ++i) stack.push_back(attrs->item(i));
    }
    for (int i = 0; i < n->childCount(); ++i) stack.push_back(n->childAt(i));
  }
  return f;
}

HeapFigures HeapGumbo(const std::string& utf8) {
  const GumboOptions options = GumboCountingOptions();
  HeapFigures f;
  heap::Start();
  GumboOutput* out = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  heap::counting = false;
  f.peak = heap::peak;
  f.blocks = heap::blocks;
  std::vector<const GumboNode*> stack{out->document};
  while (!stack.empty()) {
    const GumboNode* n = stack.back();
    stack.pop_back();
    ++f.nodes;
    const GumboVector* children = nullptr;
    if (n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE) {
      ++f.elements;
      f.nodes += n->v.element.attributes.length;
      children = &n->v.element.children;
    } else if (n->type == GUMBO_NODE_DOCUMENT) {
      children = &n->v.document.children;
    }
    for (unsigned i = 0; children != nullptr && i < children->length; ++i)
      stack.push_back(static_cast<const GumboNode*>(children->data[i]));
  }
  gumbo_destroy_output(&options, out);
  return f;
}

HeapFigures HeapLibxml2(const std::string& utf8) {
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
  HeapFigures f;
  heap::Start();
  htmlDocPtr doc = htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options);
  heap::counting = false;
  f.peak = heap::peak;
  f.blocks = heap::blocks;
  std::vector<const xmlNode*> stack{reinterpret_cast<const xmlNode*>(doc)};
  while (!stack.empty()) {
    const xmlNode* n = stack.back();
    stack.pop_back();
    ++f.nodes;
    if (n->type == XML_ELEMENT_NODE) {
      ++f.elements;
      for (const xmlAttr* a = n->properties; a != nullptr; a = a->next) stack.push_back(reinterpret_cast<const xmlNode*>(a));
    }
    for (const xmlNode* c = n->children; c != nullptr; c = c->next) stack.push_back(c);
  }
  xmlFreeDoc(doc);
  return f;
}

// A million nested elements: parse, search, plain text and free, on a
// thread with a 1 MiB stack, so any recursion over the depth would crash.
constexpr int kDeepN = 1000000;
struct DeepRun {
  int depth;
  double seconds = 0;
  int found = 0;
  std::size_t textLength = 0;
};

void* DeepThread(void* arg) {
  auto* run = static_cast<DeepRun*>(arg);
  const std::u16string text = Utf8ToUtf16(Repeat("<div>", run->depth) + "x");
  const auto start = std::chrono::steady_clock::now();
  {
    orvix::THtmlParser parser;
    auto doc = parser.Parse(text);
    auto divs = doc->getElementsByTagName(u"div");
    run->found = divs->length();
    run->textLength = doc->documentElement()->text().size();
  }
  run->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return nullptr;
}

DeepRun RunDeep(int depth) {
  DeepRun run{depth};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 1 << 20);
  pthread_t thread;
  if (pthread_create(&thread, &attr, DeepThread, &run) == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  return run;
}

struct Parser {
  const char* name;
  void (*run)(benchmark::State&, const std::string&);
};
const Parser kParsers[] = {{"orvix", ParseOrvix}, {"gumbo", ParseGumbo}, {"libxml2", ParseLibxml2}};

// Collects real time and throughput per benchmark name for the summary.
// With --benchmark_repetitions it keeps the best repetition of each: on a
// shared machine other load only ever slows a run down, and the parsers
// run one after another, so a slow spell would otherwise skew one ratio.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      Result& res = results_[r.run_name.function_name];
      const double seconds = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      if (res.seconds == 0 || seconds < res.seconds) res.seconds = seconds;
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) res.mbPerSecond = std::max(res.mbPerSecond, it->second.value / 1e6);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nThroughput (MB/s of UTF-8 input) and orvix's speed relative to the others:\n");
    for (const char* page : {"page_20k", "page_2m"}) {
      const double o = Mb(std::string(page) + "/orvix");
      const double g = Mb(std::string(page) + "/gumbo");
      const double x = Mb(std::string(page) + "/libxml2");
      std::printf("  %-10s orvix %8.1f  gumbo %8.1f  libxml2 %8.1f   orvix/gumbo %5.2fx  orvix/libxml2 %5.2fx\n",
                  page, o, g, x, g > 0 ? o / g : 0.0, x > 0 ? o / x : 0.0);
    }
    std::printf("\nPathological shapes: time at 2N / time at N (N = %d; ~2 linear, ~4 quadratic):\n", kShapeN);
    for (const Shape& shape : kShapes) {
      std::printf("  %-26s", shape.name);
      for (const Parser& p : kParsers) {
        const std::string base = std::string("shape/") + shape.name + "/" + p.name + "/";
        const double t1 = Sec(base + std::to_string(kShapeN));
        const double t2 = Sec(base + std::to_string(2 * kShapeN));
        if (t1 > 0 && t2 > 0) std::printf("  %s %5.2f (%.2f ms)", p.name, t2 / t1, t2 * 1e3);
        else std::printf("  %s   n/a", p.name);
      }
      const std::string large = std::string("shape/") + shape.name + "/orvix/";
      const double l1 = Sec(large + std::to_string(kLargeShapeN));
      const double l2 = Sec(large + std::to_string(2 * kLargeShapeN));
      if (l1 > 0 && l2 > 0) std::printf("  orvix at N=%d: %5.2f (%.1f ms)", kLargeShapeN, l2 / l1, l2 * 1e3);
      std::printf("\n");
    }
    PrintHeap();
    std::printf("\nA page %d elements deep on a 1 MiB stack (parse, getElementsByTagName, text, free):\n", kDeepN);
    const DeepRun half = RunDeep(kDeepN / 2);
    const DeepRun full = RunDeep(kDeepN);
    std::printf("  orvix %.0f ms (%d div found, %zu characters of text); 2N/N %.2f\n", full.seconds * 1e3,
                full.found, full.textLength, half.seconds > 0 ? full.seconds / half.seconds : 0.0);
    std::fflush(stdout);
  }

  const std::string* page2m = nullptr;

 private:
  void PrintHeap() const {
    if (page2m == nullptr) return;
    std::printf("\nHeap of one parse of the 2 MB page (peak while the tree is held):\n");
    const std::pair<const char*, HeapFigures (*)(const std::string&)> runs[] = {
        {"orvix", HeapOrvix}, {"gumbo", HeapGumbo}, {"libxml2", HeapLibxml2}};
    for (const auto& [name, measure] : runs) {
      const HeapFigures f = measure(*page2m);
      std::printf("  %-8s %7.2f MiB in %8zu blocks; %7zu elements, %8zu nodes; %6.1f bytes/element, %6.1f bytes/node\n",
                  name, f.peak / 1048576.0, f.blocks, f.elements, f.nodes,
                  f.elements ? double(f.peak) / double(f.elements) : 0.0, f.nodes ? double(f.peak) / double(f.nodes) : 0.0);
    }
  }

  struct Result {
    double seconds = 0;
    double mbPerSecond = 0;
  };
  double Mb(const std::string& name) const {
    auto it = results_.find(name);
    return it == results_.end() ? 0 : it->second.mbPerSecond;
  }
  double Sec(const std::string& name) const {
    auto it = results_.find(name);
    return it == results_.end() ? 0 : it->second.seconds;
  }
  std::map<std::string, Result> results_;
};

const std::string* RegisterAll() {
  static std::vector<std::unique_ptr<std::string>> inputs;  // outlive the runs
  auto add = [](const std::string& name, std::string text, const std::string& suffix, double minTime,
                bool orvixOnly) {
    inputs.push_back(std::make_unique<std::string>(std::move(text)));
    const std::string* input = inputs.back().get();
    for (const Parser& p : kParsers) {
      if (orvixOnly && p.run != ParseOrvix) continue;
      auto* b = benchmark::RegisterBenchmark((name + "/" + p.name + suffix).c_str(),
                                             [run = p.run, input](benchmark::State& s) { run(s, *input); });
      b->Unit(benchmark::kMillisecond)->UseRealTime();
      if (minTime > 0) b->MinTime(minTime);
    }
  };
  add("page_20k", Page(20 * 1024), "", 0, false);
  // Several runs, so the first one's page faults do not dominate.
  add("page_2m", Page(2 * 1024 * 1024), "", 2.0, false);
  const std::string* page2m = inputs.back().get();
  for (const Shape& shape : kShapes) {
    for (int n : {kShapeN, 2 * kShapeN})
      add(std::string("shape/") + shape.name, shape.make(n), "/" + std::to_string(n), 0.2, false);
    for (int n : {kLargeShapeN, 2 * kLargeShapeN})
      add(std::string("shape/") + shape.name, shape.make(n), "/" + std::to_string(n), 0.5, true);
  }
  return page2m;
}

}  // namespace

int main(int argc, char** argv) {
  xmlMemSetup(heap::Free, heap::Malloc, heap::Realloc, heap::Strdup);
  xmlInitParser();
  const std::string* page2m = RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  reporter.page2m = page2m;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  xmlCleanupParser();
  return 0;
}
