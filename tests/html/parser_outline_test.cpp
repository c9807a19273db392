// Table-driven tree tests: every page tests/html/data/NAME.html is run
// through `orvix-inspect dom` and compared with NAME.dom; where NAME.text or
// NAME.tags exist, the `text` and `tags` commands are compared with them too.
// The expected outlines are written by hand from the tree-building rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs the tool built with this test and returns its stdout; the exit status goes to `status`.
std::string RunInspect(const std::string& command, const fs::path& page, int& status) {
  const std::string tool = ORVIX_INSPECT_PATH;
  const std::string cmd = "'" + tool + "' " + command + " '" + page.string() + "'";
  std::string out;
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  status = pclose(pipe);
  return out;
}

TEST(HtmlParserOutline, FixturePages) {
  const fs::path data = fs::path(Env("ORVIX_SOURCE_DIR")) / "tests/html/data";
  ASSERT_TRUE(fs::is_directory(data)) << data;
  int pages = 0;
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".html") continue;
    ++pages;
    SCOPED_TRACE(entry.path().filename().string());
    for (const char* command : {"dom", "text", "tags"}) {
      fs::path expected = entry.path();
      expected.replace_extension(command);
      if (!fs::exists(expected)) continue;
      int status = 0;
      const std::string actual = RunInspect(command, entry.path(), status);
      EXPECT_EQ(status, 0) << command;
      EXPECT_EQ(actual, ReadAll(expected)) << command;
    }
  }
  EXPECT_GE(pages, 10);
}

TEST(HtmlParserOutline, UnreadableFileAndUsage) {
  int status = 0;
  RunInspect("dom", "/nonexistent/page.html", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  RunInspect("tags", "", status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}

}  // namespace
