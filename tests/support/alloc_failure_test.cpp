// Every allocation of a whole run fails in turn, the 1st, the 2nd, ... up to
// the last, for the portable steps of the quota query: the report on the
// bundled transfer page, the transfer page parser, the INI store and the
// account record. Each run must end either exactly as the undisturbed run
// did, or with a clean error (std::bad_alloc or one of our own exceptions,
// or the step's own failure outcome), and must leave the files as they were
// or wholly written. Each sweep prints how many allocation points it covered
// and how many failures took which path.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "html/dom_exception.h"
#include "net/charset.h"
#include "parser/adsl_parser.h"
#include "quota/report.h"
#include "store/account.h"
#include "store/ini_file.h"
#include "tests/store/test_files.h"
#include "tests/support/alloc_fail.h"
#include "text/errors.h"
#include "text/platform.h"

namespace orvix {
namespace {

using alloc_fail::AllocFailureFired;
using alloc_fail::AllocFailurePause;
using alloc_fail::AllocFailureScope;
using alloc_fail::AllocationsCounted;
using scratch::ReadBytes;
using scratch::ScratchFile;
using scratch::WriteBytes;

std::string PortalPage(std::string_view name) {
  const char* src = std::getenv("ORVIX_SOURCE_DIR");
  const std::string dir = src ? std::string(src) + "/tools/fake-network/scenarios/portal/" : ORVIX_PORTAL_PAGES "/";
  std::ifstream in(dir + std::string(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One run: returns how it ended, "ok" for the undisturbed result, a name of
// the step's own failure outcome, or a text starting with "fault". Only
// constant texts, so that naming the outcome allocates nothing.
using Run = std::function<const char*()>;

char g_faultText[512];

const char* Guarded(const Run& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    return "bad_alloc";
  } catch (const EFileError&) {
    return "file error";
  } catch (const EListError&) {
    return "list error";
  } catch (const EConvertError&) {
    return "convert error";
  } catch (const DomException&) {
    return "DOM exception";
  } catch (const std::exception& e) {
    std::snprintf(g_faultText, sizeof g_faultText, "fault: %s: %s", typeid(e).name(), e.what());
    return g_faultText;
  } catch (...) {
    return "fault: an unknown exception";
  }
}

// Runs `run` once undisturbed to count its allocations, then once for every
// N from 1 to that count with the N-th allocation failing. `run` compares
// its own result with the undisturbed one.
void Sweep(const char* name, const Run& run) {
  long total = 0;
  {
    const AllocFailureScope counting(0);
    const std::string outcome = Guarded(run);
    total = AllocationsCounted();
    ASSERT_EQ(outcome, "ok") << name << ": the undisturbed run";
  }
  ASSERT_GT(total, 0) << name;
  std::map<std::string, long> paths;
  long notReached = 0;
  for (long n = 1; n <= total; ++n) {
    const char* outcome = nullptr;
    bool fired = false;
    {
      const AllocFailureScope failing(n);
      outcome = Guarded(run);
      fired = AllocFailureFired();
    }
    if (!fired) ++notReached;  // an earlier failure took a shorter way
    const std::string path = outcome;
    EXPECT_FALSE(path.starts_with("fault")) << name << ": allocation " << n << " of " << total << ": " << path;
    ++paths[path];
  }
  // Nothing the failures left behind changes a later undisturbed run.
  EXPECT_STREQ(Guarded(run), "ok") << name << ": the undisturbed run after the sweep";
  std::printf("[alloc] %s: %ld allocation points;", name, total);
  for (const auto& [path, count] : paths) std::printf(" %s %ld;", path.c_str(), count);
  std::printf(" failure not reached %ld\n", notReached);
  std::fflush(stdout);
}

class AllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetAnsiCodePageOverride(1254); }
  void TearDown() override { platform::SetAnsiCodePageOverride(0); }
};

TEST_F(AllocationFailure, ReportOnTheBundledTransferPage) {
  const std::string body = PortalPage("transfer.html");
  ASSERT_FALSE(body.empty());
  const StoredTotals stored{1000, 2000};
  const ReportOutcome expected = RunReport(DecodePortalText(body, "text/html;charset=windows-1254"), stored);
  ASSERT_TRUE(expected.succeeded());
  ASSERT_EQ(expected.replyData.size(), kQuotaResultSize);

  Sweep("report", [&] {
    const ReportOutcome r = RunReport(DecodePortalText(body, "text/html;charset=windows-1254"), stored);
    if (r.succeeded()) {
      // A success carries the whole record and the whole text, never part.
      if (r.replyTag != expected.replyTag || r.replyData != expected.replyData) return "fault: another record";
      if (r.statusText != expected.statusText) return "fault: another report text";
      return "ok";
    }
    // The step's failure outcome: the parent gets tag -1 and no record.
    if (r.replyTag == expected.replyTag || r.replyData.size() == kQuotaResultSize) return "fault: a failure with a record";
    if (r.statusText.empty()) return "fault: a failure without its text";
    return "failure outcome";
  });
}

TEST_F(AllocationFailure, TransferPageParser) {
  const std::u16string page = DecodePortalText(PortalPage("transfer.html"), "text/html;charset=windows-1254");
  TAdslParser reference;
  reference.Parse(page);
  ASSERT_EQ(reference.Status(), 0);
  ASSERT_GT(reference.Count(), 0);
  const QuotaSummary want = SummaryOf(reference);

  Sweep("parser", [&] {
    TAdslParser parser;
    parser.Parse(page);
    if (parser.Status() != 0) return "failure status";
    const QuotaSummary got = SummaryOf(parser);
    if (got.items.size() != want.items.size() || got.lastDownload != want.lastDownload ||
        got.lastUpload != want.lastUpload || got.recordTime != want.recordTime || got.headerText != want.headerText ||
        got.detailText != want.detailText || got.lastMonthName != want.lastMonthName) {
      return "fault: a success with other figures";
    }
    for (std::size_t i = 0; i < got.items.size(); ++i) {
      if (got.items[i].year != want.items[i].year || got.items[i].monthName != want.items[i].monthName ||
          got.items[i].download != want.items[i].download || got.items[i].upload != want.items[i].upload) {
        return "fault: a success with another month";
      }
    }
    return "ok";
  });
}

const std::u16string kIniText =
    u"[update]\r\ndownload = 1234.5\r\nmonth=Mart\r\n[price]\r\nquota=-5\r\nnote=a\\tb\\\\c\r\n\r\n[account]\r\n"
    u"hash=abc=\r\n";

// A store file in the scratch folder: after each run it must hold either
// what it held before or all of what a whole save writes, and it is put back
// for the next run. Its checks run with the injector paused.
class StoreFile {
 public:
  StoreFile(const char* name, const std::function<void(const std::u16string&)>& change)
      : path_(ScratchFile(name)), original_(scratch::Utf16Le(kIniText, true)) {
    WriteBytes(path_, original_);
    change(path_);
    saved_ = ReadBytes(path_);
    WriteBytes(path_, original_);
  }
  const std::u16string& path() const { return path_; }
  bool changed() const { return saved_ != original_; }

  // Runs body; a run that failed must have left the file untouched, one that
  // succeeded must have written all of it.
  const char* Check(const Run& body) {
    const char* outcome = nullptr;
    bool failed = false;
    try {
      outcome = body();
    } catch (...) {
      failed = true;
      if (!Holds(original_)) return "fault: a failed run changed the file";
      throw;
    }
    if (!failed && std::string_view(outcome) == "ok" && !Holds(saved_)) return "fault: a partial file";
    return outcome;
  }

 private:
  bool Holds(const std::string& bytes) {
    const AllocFailurePause pause;
    const bool same = ReadBytes(path_) == bytes;
    WriteBytes(path_, original_);
    return same;
  }

  std::u16string path_;
  std::string original_;
  std::string saved_;
};

TEST_F(AllocationFailure, IniFileLoadReadAndSave) {
  const auto change = [](const std::u16string& path) {
    TWMemIniFile ini(path);
    ini.WriteFloat(u"update", u"download", 26.81);
    ini.WriteString(u"new", u"key", u"değer\r\n");
    ini.UpdateFile();
  };
  StoreFile file("alloc-store.ini", change);
  ASSERT_TRUE(file.changed());

  Sweep("INI file", [&] {
    return file.Check([&] {
      const TWMemIniFile ini(file.path());
      if (ini.ReadFloat(u"update", u"download", 0) != 1234.5 || ini.ReadString(u"update", u"month", u"") != u"Mart" ||
          ini.ReadString(u"price", u"note", u"") != u"a\tb\\c" || ini.ReadString(u"account", u"hash", u"") != u"abc=" ||
          ini.ReadInteger(u"price", u"quota", 0) != -5) {
        return "fault: read other values";
      }
      change(file.path());
      return "ok";
    });
  });
}

TEST_F(AllocationFailure, AccountRecordLoadAndSave) {
  const auto change = [](const std::u16string& path) {
    TAccountManager manager(path);
    manager.AccountFile().Download = 99;
    manager.AccountFile().UpdateFile();
  };
  StoreFile file("alloc-account.ini", change);
  ASSERT_TRUE(file.changed());

  Sweep("account record", [&] {
    return file.Check([&] {
      {
        const TAccountManager manager(file.path());
        const TAccountFile& a = const_cast<TAccountManager&>(manager).AccountFile();
        if (a.Hash != u"abc=" || a.Download != 1234.5 || a.Month != u"Mart" || a.Quota != 4294967296.0 ||
            a.MonthlyPay != 26.81) {
          return "fault: loaded other values";
        }
      }
      // The program itself never writes account.ini; the record's own save
      // still writes all of the file or none of it.
      change(file.path());
      return "ok";
    });
  });
}

}  // namespace
}  // namespace orvix
