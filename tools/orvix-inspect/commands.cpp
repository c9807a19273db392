// The command table. Each area's commands live in cmd_<area>.cpp; list
// them here.
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

// Each cmd_<area>.cpp defines one of these tables.
std::vector<Command> HtmlCommands();
std::vector<Command> StoreCommands();
std::vector<Command> NetCommands();
std::vector<Command> AppCommands();
std::vector<Command> QuotaCommands();

const std::vector<Command>& Commands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> v;
    {
      auto html = HtmlCommands();
      v.insert(v.end(), html.begin(), html.end());
    }
    {
      auto store = StoreCommands();
      v.insert(v.end(), store.begin(), store.end());
    }
    {
      auto net = NetCommands();
      v.insert(v.end(), net.begin(), net.end());
    }
    {
      auto app = AppCommands();
      v.insert(v.end(), app.begin(), app.end());
    }
    {
      auto quota = QuotaCommands();
      v.insert(v.end(), quota.begin(), quota.end());
    }
    return v;
  }();
  return all;
}

}  // namespace orvix::inspect
