#include "app/command_line.h"

#include <array>
#include <charconv>
#include <utility>

namespace orvix::app {

namespace {

bool IsSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string DequoteArgument(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::string(text);
  std::string out;
  std::size_t i = 1;
  while (i < text.size()) {
    if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        out += '"';
        i += 2;
        continue;
      }
      break;  // the closing quote: the rest is dropped
    }
    out += text[i++];
  }
  return out.empty() ? std::string(text) : out;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsSpace(line[i])); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        word += line[i];
      }
    }
    words.push_back(DequoteArgument(word));
  }
  return words;
}

Job SelectJob(const std::vector<std::string>& args) {
  if (args.size() < 2) return Job::kNone;
  // Checked in this order, exactly as the parent spells them.
  static const std::array<std::pair<std::string_view, Job>, 9> kSwitches{{
      {"-getmyip", Job::kGetMyIp},
      {"-tracker", Job::kTracker},
      {"-sayyac", Job::kPageCounter},
      {"-newuser", Job::kNewUser},
      {"-getversion", Job::kGetVersion},
      {"-geturl", Job::kGetUrl},
      {"-message", Job::kMessage},
      {"-query", Job::kQuery},
      {"-exit", Job::kExit},
  }};
  for (const auto& [name, job] : kSwitches)
    if (args[0] == name) return job;
  return Job::kNone;
}

std::int64_t ParseWindowArgument(std::string_view text) {
  if (text.empty()) return 0;
  std::size_t start = text.front() == '+' ? 1 : 0;
  std::int64_t value = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || first == last) return 0;
  if (value < INT32_MIN || value > static_cast<std::int64_t>(UINT32_MAX)) return 0;
  return value;
}

const std::string& Argument(const std::vector<std::string>& args, std::size_t n) {
  static const std::string kEmpty;
  return n >= 1 && n - 1 < args.size() ? args[n - 1] : kEmpty;
}

std::string PageNameArgument(const std::vector<std::string>& args) {
  const std::string& name = Argument(args, 3);
  return name.empty() ? std::string("newuserid") : name;
}

}  // namespace orvix::app
