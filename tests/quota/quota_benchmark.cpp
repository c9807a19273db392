// Time of the report step on a transfer page as the portal sends it: about
// 18 KB of Windows-1254 markup with a style sheet, scripts, a navigation
// table with nested tables, and twelve month rows.
#include <benchmark/benchmark.h>

#include <string>

#include "net/charset.h"
#include "parser/adsl_parser.h"
#include "quota/report.h"
#include "text/platform.h"

namespace orvix {
namespace {

std::string RealisticPage() {
  static const char* const kMonths[] = {"Nisan",  "Mayıs", "Haziran", "Temmuz", "Ağustos", "Eylül",
                                        "Ekim",   "Kasım", "Aralık",  "Ocak",   "Şubat",   "Mart"};
  std::string html =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1254\">\r\n"
      "<title>ADSL Kota Sorgulama</title>\r\n<style type=\"text/css\">\r\n";
  for (int i = 0; i < 60; ++i) {
    html += ".cls" + std::to_string(i) + " { font-family: Tahoma, Verdana; font-size: 11px; color: #33" +
            std::to_string(10 + i) + "66; }\r\n";
  }
  html += "</style>\r\n<script type=\"text/javascript\">\r\n";
  for (int i = 0; i < 40; ++i) {
    html += "function f" + std::to_string(i) + "(a, b) { if (a < b && b > 0) { return a + '&' + b; } }\r\n";
  }
  html += "</script>\r\n</head>\r\n<body leftmargin=0 topmargin=0>\r\n"
          "<table width=\"100%\" cellpadding=0 cellspacing=0><tr><td><img src=\"/img/logo.gif\" alt=\"Orvix\">\r\n";
  // Table 0: logo and menu links, never read.
  for (int i = 0; i < 30; ++i) {
    html += "<a href=\"/adslkota/page" + std::to_string(i) + ".do\" class=\"cls" + std::to_string(i) +
            "\">Men&uuml; &ouml;&#287;esi " + std::to_string(i) + "</a> | \r\n";
  }
  html += "</td></tr></table>\r\n";
  html += "<table class=\"cls1\"><tr><td class=\"baslik\">  AHMET YILMAZ   Giriş </td></tr></table>\r\n";
  html += "<table class=\"cls2\">\r\n<tr><td>Kayıt Zamanı</td><td> 14.03.2013 10:22:31 </td></tr>\r\n"
          "<tr><td>Paket</td><td> ADSL 8 Mbps Limitsiz <b>(Kota: 50 GB)</b></td></tr>\r\n</table>\r\n";
  html += "<table class=\"cls3\" border=1>\r\n<tr><th>Yıl</th><th>Ay</th><th>Upload</th><th>Download</th></tr>\r\n";
  for (int i = 11; i >= 0; --i) {
    const int year = i >= 9 ? 2013 : 2012;
    const double up = 123456789.0 * (i + 1);
    const double down = 2345678901.0 * (i + 1);
    auto grouped = [](double v) {
      std::string d = std::to_string(static_cast<long long>(v));
      for (int at = static_cast<int>(d.size()) - 3; at > 0; at -= 3) d.insert(static_cast<std::size_t>(at), ".");
      return d;
    };
    html += "<tr>\r\n  <td align=center>" + std::to_string(year) + "</td>\r\n  <td align=center>" + kMonths[i] +
            "</td>\r\n  <td align=right>" + grouped(up) + " (" + std::to_string(static_cast<int>(up / 1048576)) +
            ",12 MB)</td>\r\n  <td align=right>" + grouped(down) + " (" +
            std::to_string(static_cast<int>(down / 1073741824)) + ",34 GB)</td>\r\n</tr>\r\n";
  }
  html += "</table>\r\n<table><tr><td>&copy; Orvix &nbsp; T&uuml;m haklar&#305; sakl&#305;d&#305;r.</td></tr></table>\r\n";
  for (int i = 0; i < 40; ++i) {
    html += "<div class=\"cls" + std::to_string(i) + "\"><p>Kota kullanımınızla ilgili bilgi satırı " +
            std::to_string(i) + ". Ayrıntılar için <a href=\"/yardim\">yardım</a> sayfasına bakınız.</p></div>\r\n";
  }
  html += "</body>\r\n</html>\r\n";
  return platform::WideToAnsi(platform::Utf8ToUtf16(html));
}

void BM_ParseTransferPage(benchmark::State& state) {
  const std::u16string page = platform::AnsiToWide(RealisticPage());
  TAdslParser parser;
  for (auto _ : state) {
    parser.Parse(page);
    if (parser.Status() != 0 || parser.Count() != 12) state.SkipWithError("page not understood");
    benchmark::DoNotOptimize(parser.LastDownload());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()) * 2);
}
BENCHMARK(BM_ParseTransferPage);

void BM_ReportOnTransferPage(benchmark::State& state) {
  const std::string page = RealisticPage();
  for (auto _ : state) {
    // Decoded by its declared charset, as the dialog does.
    ReportOutcome r =
        RunReport(DecodePortalText(page, "text/html;charset=windows-1254"), {2345678901.0 * 12, 123456789.0 * 11});
    if (!r.succeeded()) state.SkipWithError("report failed");
    benchmark::DoNotOptimize(r.replyData.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_ReportOnTransferPage);

}  // namespace
}  // namespace orvix

BENCHMARK_MAIN();
