// orvix-inspect commands of app/: how the program reads its command line.
#include <iostream>

#include "app/command_line.h"
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

namespace {

// args -- TEXT...: the words after "--", joined with single spaces, are one
// raw command line; prints the words the program splits it into (program
// name first) as one JSON array of strings.
int RunArgs(const Args& args) {
  if (args.empty() || args[0] != "--") return UsageError("args -- COMMAND-LINE");
  std::string line;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (i > 1) line += ' ';
    line += args[i];
  }
  std::string out = "[";
  bool first = true;
  for (const std::string& word : app::SplitCommandLine(line)) {
    if (!first) out += ',';
    first = false;
    out += JsonStringUtf8(word);
  }
  std::cout << out << "]\n";
  return kOk;
}

}  // namespace

std::vector<Command> AppCommands() {
  return {
      {"args", "args -- COMMAND-LINE",
       "splits the text after -- as the program splits its command line; prints a JSON array of strings", RunArgs},
  };
}

}  // namespace orvix::inspect
