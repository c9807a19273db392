// orvix-inspect: a maintainer's tool that runs the portable core on files
// and prints the results as UTF-8 on stdout.
//
// Exit status: 0 success, 1 a file cannot be read, 2 bad usage; commands may
// define further codes (documented in their help line).
//
// Each area of the program adds its commands in a file of its own
// (cmd_<area>.cpp) and lists them in commands.cpp.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix::inspect {

constexpr int kOk = 0;
constexpr int kCannotRead = 1;
constexpr int kUsage = 2;

// The command's arguments after its name, with the global options
// (--codepage N) already applied and removed.
using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // e.g. "ini FILE"
  const char* help;   // one line
  int (*run)(const Args& args);
};

// All commands, in the order --help lists them.
const std::vector<Command>& Commands();

// Reads a whole file as bytes. Returns nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Reads a file and decodes it with the system code page (the --codepage
// option) into UTF-16, as the program decodes response bodies. Prints the
// error and returns nothing when it cannot be read.
std::optional<std::u16string> ReadFileText(const std::string& path);

// A JSON string literal (with quotes) of UTF-16 or UTF-8 text: UTF-8 output
// with \" \\ \n \r \t and \u00XX for the other control characters.
std::string JsonString(std::u16string_view text);
std::string JsonStringUtf8(std::string_view text);

// A double in the shortest form that reads back exactly ("1234.5",
// "4294967296", "0.009248").
std::string JsonNumber(double value);

// Takes the value of "--name VALUE" out of args; nothing when absent.
// Sets usageError when the option is given without a value.
std::optional<std::string> TakeOption(Args& args, const std::string& name, bool& usageError);

// Prints "usage: orvix-inspect <usage>" to stderr and returns kUsage.
int UsageError(const Command& cmd);
int UsageError(const char* usage);

// UTF-8 text from the command line to UTF-16 and back.
std::u16string FromUtf8(std::string_view text);
std::string ToUtf8(std::u16string_view text);

}  // namespace orvix::inspect
