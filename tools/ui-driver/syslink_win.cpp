#include "syslink_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <vector>

#include "text/win_handles.h"

namespace uidriver {

namespace {

constexpr int kStep = 3;                 // grid spacing in pixels
constexpr UINT kMessageTimeoutMs = 2000;

// A block of memory in another process, freed with it.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::size_t size)
      : process_(process), p_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory() {
    if (p_) ::VirtualFreeEx(process_, p_, 0, MEM_RELEASE);
  }
  void* get() const { return p_; }
  bool Write(std::size_t offset, const void* data, std::size_t n) const {
    SIZE_T done = 0;
    return ::WriteProcessMemory(process_, static_cast<char*>(p_) + offset, data, n, &done) && done == n;
  }
  bool Read(std::size_t offset, void* data, std::size_t n) const {
    SIZE_T done = 0;
    return ::ReadProcessMemory(process_, static_cast<char*>(p_) + offset, data, n, &done) && done == n;
  }

 private:
  HANDLE process_;
  void* p_;
};

}  // namespace

bool FindLink(HWND link, int index, LinkSpot& spot, std::string& error) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(link, &pid);
  orvix::win::UniqueHandleNull process(
      ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process) {
    error = "cannot open the control's process";
    return false;
  }
  RemoteMemory remote(process.get(), sizeof(LHITTESTINFO));
  if (!remote.get()) {
    error = "cannot allocate memory in the control's process";
    return false;
  }
  LHITTESTINFO blank{};
  if (!remote.Write(0, &blank, sizeof blank)) {
    error = "cannot write the control's process memory";
    return false;
  }

  RECT client{};
  ::GetClientRect(link, &client);
  std::vector<POINT> hits;
  std::wstring id;
  bool anyLink = false;
  int probes = 0;
  for (int y = kStep / 2; y < client.bottom; y += kStep) {
    for (int x = kStep / 2; x < client.right; x += kStep) {
      const POINT pt{x, y};
      if (!remote.Write(offsetof(LHITTESTINFO, pt), &pt, sizeof pt)) {
        error = "cannot write the control's process memory";
        return false;
      }
      ++probes;
      DWORD_PTR hit = 0;
      if (!::SendMessageTimeoutW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(remote.get()), SMTO_ABORTIFHUNG,
                                 kMessageTimeoutMs, &hit)) {
        error = "the control does not answer";
        return false;
      }
      if (!hit) continue;
      anyLink = true;
      LITEM item{};
      if (!remote.Read(offsetof(LHITTESTINFO, item), &item, offsetof(LITEM, szUrl))) {
        error = "cannot read the control's process memory";
        return false;
      }
      if (item.iLink != index) continue;
      hits.push_back(pt);
      if (id.empty()) id.assign(item.szID, wcsnlen(item.szID, MAX_LINKID_TEXT));
    }
  }
  spot.probes = probes;
  spot.anyLink = anyLink;
  if (hits.empty()) {
    error = "no such link";
    return false;
  }
  // The row with most hits (the first of equals), and the middle hit on it.
  std::map<LONG, std::vector<LONG>> rows;
  for (const POINT& p : hits) rows[p.y].push_back(p.x);
  auto best = rows.begin();
  for (auto it = rows.begin(); it != rows.end(); ++it)
    if (it->second.size() > best->second.size()) best = it;
  spot.point = POINT{best->second[best->second.size() / 2], best->first};
  spot.id = std::move(id);
  return true;
}

}  // namespace uidriver
