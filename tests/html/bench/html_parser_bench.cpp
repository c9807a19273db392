// Parses the same pages with THtmlParser, gumbo and libxml2's HTML parser:
// a realistic 20 KB page, a 2 MB page, and pathological shapes at N and 2N
// elements. After the usual table it prints MB/s per parser, our speed
// relative to the other two, and for each pathological shape the time ratio
// 2N/N (about 2 for linear work, about 4 for quadratic).
//
// Throughput counts the UTF-8 bytes of the page for every parser. Our parser
// reads UTF-16; the page is converted once beforehand, since the program
// decodes response bodies before parsing them. Each iteration includes
// destroying the tree.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "html/dom.h"
#include "html/html_parser.h"
#include "text/platform.h"

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

void ParseGumbo(benchmark::State& state, const std::string& utf8) {
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.data(), utf8.size());
    benchmark::DoNotOptimize(out);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
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

struct Parser {
  const char* name;
  void (*run)(benchmark::State&, const std::string&);
};
const Parser kParsers[] = {{"orvix", ParseOrvix}, {"gumbo", ParseGumbo}, {"libxml2", ParseLibxml2}};

// Collects real time and throughput per benchmark name for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      Result& res = results_[r.run_name.function_name];
      res.seconds = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) res.mbPerSecond = it->second.value / 1e6;
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
    std::fflush(stdout);
  }

 private:
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

void RegisterAll() {
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
  for (const Shape& shape : kShapes) {
    for (int n : {kShapeN, 2 * kShapeN})
      add(std::string("shape/") + shape.name, shape.make(n), "/" + std::to_string(n), 0.2, false);
    for (int n : {kLargeShapeN, 2 * kLargeShapeN})
      add(std::string("shape/") + shape.name, shape.make(n), "/" + std::to_string(n), 0.5, true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  xmlInitParser();
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  xmlCleanupParser();
  return 0;
}
