// The command table. Each area's commands live in cmd_<area>.cpp; list
// them here.
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

// cmd_*.cpp files define these tables.
// (declare yours here, then append it below)
std::vector<Command> HtmlCommands();
std::vector<Command> StoreCommands();
std::vector<Command> NetCommands();
std::vector<Command> AppCommands();
#ifdef ORVIX_INSPECT_QUOTA
std::vector<Command> QuotaCommands();
#endif

const std::vector<Command>& Commands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> v;
    // Append each area's commands: v.insert(v.end(), ...);
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
#ifdef ORVIX_INSPECT_QUOTA
    {
      auto quota = QuotaCommands();
      v.insert(v.end(), quota.begin(), quota.end());
    }
#endif
    return v;
  }();
  return all;
}

}  // namespace orvix::inspect
