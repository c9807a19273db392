// Reading the command line the parent application gives us.
//
// Plumo starts the program as
//   orvix.exe -switch ARG2 ARG3 ARG4
// with the switch first and its arguments after it (the numbers below count
// the switch as argument 1, the way the switch table does). The text is
// 8-bit, in the system code page; nothing here converts it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvix::app {

// Splits a raw command line into its words, the program name included as
// the first. White space (any character up to and including ' ') separates
// words; a double quote starts or ends a group in which white space is part
// of the word, and the quote itself is dropped. Each word that after that
// still begins with a double quote is dequoted once more (DequoteArgument).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The second dequote: a text that begins with a double quote becomes the
// text up to the matching closing quote, with each doubled quote inside
// standing for one; what follows the closing quote is dropped, and a missing
// closing quote takes the rest. A text that yields nothing that way, or
// does not begin with a quote, is returned unchanged.
std::string DequoteArgument(std::string_view text);

// The jobs, one per switch.
enum class Job { kNone, kGetMyIp, kTracker, kPageCounter, kNewUser, kGetVersion, kGetUrl, kMessage, kQuery, kExit };

// What the dispatcher runs for the given arguments (the program name left
// out): kNone with fewer than two arguments or an unknown switch. Switches
// match exactly, case included.
Job SelectJob(const std::vector<std::string>& args);

// A window handle given in decimal on the command line, as an integer: 0
// for a missing, empty or non-numeric text, or one outside the 32-bit range
// (signed or unsigned) that window handles live in.
std::int64_t ParseWindowArgument(std::string_view text);

// The page name of -getmyip, -tracker, -newuser and -getversion: argument 3,
// or "newuserid" when it is missing or empty.
std::string PageNameArgument(const std::vector<std::string>& args);

// Argument n counted from the switch as 1 (args holds no program name);
// empty when it is missing.
const std::string& Argument(const std::vector<std::string>& args, std::size_t n);

}  // namespace orvix::app
