#include "tests/support/alloc_fail.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace orvix::alloc_fail {

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_count{0};
std::atomic<long> g_nth{0};
std::atomic<bool> g_fired{false};

// True when this allocation is the one to fail.
bool FailThisOne() noexcept {
  if (!g_armed.load(std::memory_order_acquire)) return false;
  const long n = g_count.fetch_add(1, std::memory_order_acq_rel) + 1;
  if (n != g_nth.load(std::memory_order_acquire)) return false;
  g_fired.store(true, std::memory_order_release);
  return true;
}

void* Plain(std::size_t size) noexcept {
  if (FailThisOne()) return nullptr;
  return std::malloc(size ? size : 1);
}

void* Aligned(std::size_t size, std::align_val_t align) noexcept {
  if (FailThisOne()) return nullptr;
  const auto a = static_cast<std::size_t>(align);
  if (size == 0) size = 1;
#ifdef _WIN32
  return _aligned_malloc(size, a);
#else
  size = (size + a - 1) / a * a;  // aligned_alloc wants a multiple of the alignment
  return std::aligned_alloc(a, size);
#endif
}

void FreeAligned(void* p) noexcept {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}

}  // namespace

void ArmAllocFailure(long nth) noexcept {
  g_armed.store(false, std::memory_order_release);
  g_count.store(0, std::memory_order_release);
  g_fired.store(false, std::memory_order_release);
  g_nth.store(nth, std::memory_order_release);
  g_armed.store(true, std::memory_order_release);
}

long DisarmAllocFailure() noexcept {
  g_armed.store(false, std::memory_order_release);
  return g_count.load(std::memory_order_acquire);
}

bool AllocFailureFired() noexcept { return g_fired.load(std::memory_order_acquire); }

long AllocationsCounted() noexcept { return g_count.load(std::memory_order_acquire); }

AllocFailurePause::AllocFailurePause() noexcept : wasArmed_(g_armed.exchange(false, std::memory_order_acq_rel)) {}

AllocFailurePause::~AllocFailurePause() {
  if (wasArmed_) g_armed.store(true, std::memory_order_release);
}

}  // namespace orvix::alloc_fail

using orvix::alloc_fail::Aligned;
using orvix::alloc_fail::FreeAligned;
using orvix::alloc_fail::Plain;

void* operator new(std::size_t size) {
  if (void* p = Plain(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = Plain(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Plain(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Plain(size); }
void* operator new(std::size_t size, std::align_val_t align) {
  if (void* p = Aligned(size, align)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) {
  if (void* p = Aligned(size, align)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return Aligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return Aligned(size, align);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { FreeAligned(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(p); }
