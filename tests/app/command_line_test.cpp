// How the program reads Plumo's command line: splitting, quotes, the second
// dequote, switch selection and the numeric and page-name arguments.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace orvix::app {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, WhiteSpaceSeparatesAndRunsOfItCount) {
  EXPECT_EQ(SplitCommandLine("orvix.exe -query 1234"), (Words{"orvix.exe", "-query", "1234"}));
  EXPECT_EQ(SplitCommandLine("  a \t b\r\n c  "), (Words{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine(""), Words{});
  EXPECT_EQ(SplitCommandLine(" \t "), Words{});
}

TEST(SplitCommandLine, QuotesGroupWordsAndAreRemoved) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Plumo\\orvix.exe\" -message \"Plumo Uyarı\" \"İki kelime\" 64"),
            (Words{"C:\\Program Files\\Plumo\\orvix.exe", "-message", "Plumo Uyarı", "İki kelime", "64"}));
  // A quote in the middle of a word opens a group that runs on past spaces.
  EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Words{"ab cd", "e"}));
  // An empty group is an empty word only when something else is there.
  EXPECT_EQ(SplitCommandLine("-tracker 0 \"\""), (Words{"-tracker", "0", ""}));
  // An unclosed group takes the rest of the line.
  EXPECT_EQ(SplitCommandLine("-geturl 0 \"http://x/a b"), (Words{"-geturl", "0", "http://x/a b"}));
  // Backslashes are ordinary characters, also before a quote.
  EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" x"), (Words{"C:\\dir\\", "x"}));
}

TEST(DequoteArgument, DoubledQuotesStandForOneAndTheRestIsDropped) {
  EXPECT_EQ(DequoteArgument("\"abc\""), "abc");
  EXPECT_EQ(DequoteArgument("\"say \"\"hi\"\" now\""), "say \"hi\" now");
  EXPECT_EQ(DequoteArgument("\"abc\"tail"), "abc");
  EXPECT_EQ(DequoteArgument("\"unclosed"), "unclosed");
  // Nothing inside: the text stays as it was.
  EXPECT_EQ(DequoteArgument("\"\""), "\"\"");
  EXPECT_EQ(DequoteArgument("plain \"x\""), "plain \"x\"");
  EXPECT_EQ(DequoteArgument(""), "");
}

TEST(SelectJob, NeedsTwoArgumentsAndAnExactSwitch) {
  EXPECT_EQ(SelectJob({}), Job::kNone);
  EXPECT_EQ(SelectJob({"-exit"}), Job::kNone);
  EXPECT_EQ(SelectJob({"-sayyac"}), Job::kNone);
  EXPECT_EQ(SelectJob({"-exit", "0"}), Job::kExit);
  EXPECT_EQ(SelectJob({"-sayyac", "0"}), Job::kPageCounter);
  EXPECT_EQ(SelectJob({"-EXIT", "0"}), Job::kNone);
  EXPECT_EQ(SelectJob({"exit", "0"}), Job::kNone);
  EXPECT_EQ(SelectJob({"-exit ", "0"}), Job::kNone);
  EXPECT_EQ(SelectJob({"-getmyip", "1", "page"}), Job::kGetMyIp);
  EXPECT_EQ(SelectJob({"-tracker", "0"}), Job::kTracker);
  EXPECT_EQ(SelectJob({"-newuser", "0"}), Job::kNewUser);
  EXPECT_EQ(SelectJob({"-getversion", "0"}), Job::kGetVersion);
  EXPECT_EQ(SelectJob({"-geturl", "0", "http://x/"}), Job::kGetUrl);
  EXPECT_EQ(SelectJob({"-message", "a", "b", "64"}), Job::kMessage);
  EXPECT_EQ(SelectJob({"-query", "0"}), Job::kQuery);
}

TEST(ParseWindowArgument, DecimalHandlesOnlyElseZero) {
  EXPECT_EQ(ParseWindowArgument("131234"), 131234);
  EXPECT_EQ(ParseWindowArgument("+42"), 42);
  EXPECT_EQ(ParseWindowArgument("-2"), -2);
  EXPECT_EQ(ParseWindowArgument("4294967295"), 4294967295LL);
  EXPECT_EQ(ParseWindowArgument("-2147483648"), -2147483648LL);
  for (const char* bad : {"", "abc", "12abc", " 12", "12 ", "0x10", "1.5", "+", "-", "4294967296", "-2147483649",
                          "99999999999999999999999"})
    EXPECT_EQ(ParseWindowArgument(bad), 0) << bad;
}

TEST(PageNameArgument, ThirdArgumentOrNewuserid) {
  EXPECT_EQ(PageNameArgument({"-tracker", "0"}), "newuserid");
  EXPECT_EQ(PageNameArgument({"-tracker", "0", ""}), "newuserid");
  EXPECT_EQ(PageNameArgument({"-tracker", "0", "anasayfa"}), "anasayfa");
  // Through the splitter: a quoted page name loses its quotes.
  Words words = SplitCommandLine("orvix.exe -newuser 0 \"kota sayfası\"");
  words.erase(words.begin());
  EXPECT_EQ(PageNameArgument(words), "kota sayfası");
  EXPECT_EQ(Argument(words, 4), "");
  EXPECT_EQ(Argument(words, 0), "");
}

}  // namespace
}  // namespace orvix::app
