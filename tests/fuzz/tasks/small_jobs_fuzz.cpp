// Fuzzes what the small jobs take from outside: the command line the parent
// starts the program with (split into words, the job chosen, the window
// handle and the page name read), the requests built from the page name,
// the answer of an IP-echo service and the reply of the version check.
// A job is chosen only by an exact switch with its arguments, a window
// handle is 0 or within 32 bits, nothing from the command line puts a line
// break into a request, and an echo answer becomes XML only around a bare
// dotted address.
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "net/encoding.h"
#include "tasks/requests.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/text_utils.h"

namespace {

using namespace orvix;
using fuzz::Check;

bool NoLineBreak(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

void CheckRequest(const tasks::PlainGet& r) {
  Check(NoLineBreak(r.host) && NoLineBreak(r.path) && NoLineBreak(r.referer), "no line break in a request");
  Check(r.path.find_first_of(" \t") == std::string::npos, "no blank in the request path");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::Bytes(data, size);

  // The command line: a C string, so it ends at a NUL.
  const std::string_view line = input.substr(0, input.find('\0'));
  const std::vector<std::string> words = app::SplitCommandLine(line);
  std::size_t letters = 0;
  for (const std::string& w : words) letters += w.size();
  Check(letters <= line.size(), "words hold no more than the line");
  const std::vector<std::string> args(words.begin() + (words.empty() ? 0 : 1), words.end());
  const app::Job job = app::SelectJob(args);
  Check(job == app::Job::kNone || (args.size() >= 2 && args[0].size() > 1 && args[0][0] == '-'),
        "a job needs its switch and an argument");
  const std::int64_t window = app::ParseWindowArgument(app::Argument(args, 2));
  Check(window >= INT32_MIN && window <= static_cast<std::int64_t>(UINT32_MAX), "window handles fit 32 bits");
  const std::string page = app::PageNameArgument(args);
  Check(!page.empty(), "a page name is never empty");
  Check(app::DequoteArgument(line).size() <= line.size(), "dequoting never adds");

  // Requests built from the page name.
  CheckRequest(tasks::AddressRequest(tasks::AddressSource::kProductSite, page));
  CheckRequest(tasks::VersionRequest(page));
  CheckRequest(tasks::TrackerHit(page));
  CheckRequest(tasks::NewUserHit(page, 1700000000000, 1280, 800));

  // An IP-echo answer: XML around a dotted address, or nothing.
  const std::string xml = tasks::WrapEchoAnswer(input);
  const std::string_view bare = TrimBlanks(input);
  if (IsDottedQuad(bare)) {
    Check(xml == "<?xml version=\"1.0\" encoding=\"utf-8\"?><data><ip>" + std::string(bare) + "</ip></data>",
          "a dotted address is wrapped");
  } else {
    Check(xml.empty(), "anything else gives no XML");
  }

  // The version reply from the two node texts, split at the first NUL.
  const std::size_t nul = input.find('\0');
  const std::string_view version = input.substr(0, nul);
  const std::string_view notes = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const std::string reply = tasks::VersionReply(version, notes);
  Check(reply.size() == version.size() + notes.size() + 2 && reply.ends_with('|') &&
            reply.starts_with(version) && reply[version.size()] == '|',
        "version | notes |");
  return 0;
}
