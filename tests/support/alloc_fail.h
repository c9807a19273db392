// A failure injector for the allocation-failure runs of the tests: it
// replaces the global operator new and new[] (every form: plain, nothrow,
// aligned) and, once armed, fails exactly the N-th allocation made after
// arming, on any thread. The plain forms throw std::bad_alloc there, the
// nothrow forms return null. Every allocation is counted while armed.
//
// Link alloc_fail.cpp into a test program (the CMake target
// orvix_alloc_fail) to get the replacement; nothing else of the program
// changes while the injector is disarmed.
//
// The program's own code calls no malloc, calloc or realloc directly (the
// C runtime does, inside fopen, the wide conversions and the like; those
// are the runtime's and are not failed here).
#pragma once

namespace orvix::alloc_fail {

// Starts counting from 0; the nth allocation from now fails (n >= 1), or
// none when n is 0 (a counting run, to learn a whole run's number).
void ArmAllocFailure(long nth) noexcept;

// Stops failing and counting. Returns how many allocations were counted
// since arming (the failed one included).
long DisarmAllocFailure() noexcept;

// Whether the armed failure has happened.
bool AllocFailureFired() noexcept;

// Allocations counted so far since the last arming.
long AllocationsCounted() noexcept;

// Stops failing and counting for its scope and then goes on where it
// stopped: for a test's own checks in the middle of a run.
class AllocFailurePause {
 public:
  AllocFailurePause() noexcept;
  ~AllocFailurePause();
  AllocFailurePause(const AllocFailurePause&) = delete;
  AllocFailurePause& operator=(const AllocFailurePause&) = delete;

 private:
  bool wasArmed_;
};

// Arms for its scope; the destructor disarms (also when the run throws).
class AllocFailureScope {
 public:
  explicit AllocFailureScope(long nth) noexcept { ArmAllocFailure(nth); }
  ~AllocFailureScope() { DisarmAllocFailure(); }
  AllocFailureScope(const AllocFailureScope&) = delete;
  AllocFailureScope& operator=(const AllocFailureScope&) = delete;
};

}  // namespace orvix::alloc_fail
