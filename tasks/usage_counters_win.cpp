#include <random>

#include "net/encoding.h"
#include "tasks/jobs_win.h"
#include "tasks/network_job_win.h"

namespace orvix::tasks {
namespace {

// A fresh value on every run, also for two runs started in the same
// millisecond: the performance counter and the process id feed the seed.
std::uint32_t FreshRandom() {
  LARGE_INTEGER ticks{};
  QueryPerformanceCounter(&ticks);
  std::seed_seq seed{static_cast<std::uint32_t>(ticks.QuadPart), static_cast<std::uint32_t>(ticks.QuadPart >> 32),
                     static_cast<std::uint32_t>(GetCurrentProcessId()), static_cast<std::uint32_t>(GetTickCount())};
  std::mt19937 gen(seed);
  return std::uniform_int_distribution<std::uint32_t>(0, 2147483646u)(gen);
}

}  // namespace

void CountHit(HitKind kind, const std::string& pageName) {
  RunNetworkJob([&] {
    PlainGet get;
    switch (kind) {
      case HitKind::kTracker:
        get = TrackerHit(pageName);
        break;
      case HitKind::kPageCounter:
        get = PageCounterHit(FreshRandom());
        break;
      case HitKind::kNewUser:
        get = NewUserHit(pageName, UnixTimeMs(), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                         GetSystemMetrics(SM_CYVIRTUALSCREEN));
        break;
    }
    std::string ignored;
    FetchPlain(get, ignored);
  });
}

}  // namespace orvix::tasks
