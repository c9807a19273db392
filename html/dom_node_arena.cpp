#include "html/dom_node_arena.h"

// Under AddressSanitizer, storage that is free or not yet handed out is
// marked unusable, so a node used after it was freed is reported as it
// would be with the general heap.
#ifdef ORVIX_ARENA_CHECKED
#include <sanitizer/asan_interface.h>
#define ORVIX_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ORVIX_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ORVIX_POISON(p, n) ((void)(p), (void)(n))
#define ORVIX_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <mutex>

#include "html/html_tables.h"

namespace orvix {

namespace {

// Chunks grow with the document (8 KiB, doubling up to 256 KiB), so a small
// page stays small and a large one needs few chunks.
constexpr std::size_t kChunkClasses = 6;
constexpr std::size_t ChunkSize(std::size_t cls) { return std::size_t{8 * 1024} << cls; }
constexpr std::size_t ChunkClass(std::size_t index) { return std::min(index, kChunkClasses - 1); }
// What the spare store keeps at most; beyond that chunks go back at once.
constexpr std::size_t kSpareLimit = 64 * 1024 * 1024;

using Chunk = std::unique_ptr<std::byte[]>;

// Set once the store is gone at exit: a document freed later frees its
// chunks directly. A plain flag outlives every object with a destructor.
std::atomic<bool> gSparesGone{false};

struct SpareChunks {
  std::mutex lock;
  std::vector<Chunk> byClass[kChunkClasses];
  std::size_t bytes = 0;
  ~SpareChunks() { gSparesGone = true; }
};

SpareChunks& Spares() {
  static SpareChunks spares;
  return spares;
}

Chunk TakeChunk(std::size_t cls) {
  if (!gSparesGone) {
    SpareChunks& s = Spares();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.byClass[cls].empty()) {
      Chunk chunk = std::move(s.byClass[cls].back());
      s.byClass[cls].pop_back();
      s.bytes -= ChunkSize(cls);
      return chunk;
    }
  }
  return std::make_unique_for_overwrite<std::byte[]>(ChunkSize(cls));
}

void GiveChunk(std::size_t cls, Chunk chunk) noexcept {
  if (gSparesGone) return;  // freed here
  SpareChunks& s = Spares();
  std::lock_guard<std::mutex> hold(s.lock);
  if (s.bytes + ChunkSize(cls) > kSpareLimit) return;
  try {
    s.byClass[cls].push_back(std::move(chunk));
    s.bytes += ChunkSize(cls);
  } catch (...) {
    // No room to keep it: it is freed instead.
  }
}

}  // namespace

TNodeArena::~TNodeArena() {
  while (large_ != nullptr) {
    LargeBlock* doomed = large_;
    large_ = doomed->next;
    ::operator delete(doomed);
  }
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    ORVIX_POISON(chunks_[i].get(), ChunkSize(ChunkClass(i)));
    GiveChunk(ChunkClass(i), std::move(chunks_[i]));
  }
}

void TNodeArena::ReleaseSpareChunks() noexcept {
  if (gSparesGone) return;
  SpareChunks& s = Spares();
  std::lock_guard<std::mutex> hold(s.lock);
  for (auto& chunks : s.byClass) std::vector<Chunk>().swap(chunks);
  s.bytes = 0;
}

const std::u16string* TNodeArena::Name(std::u16string_view name) {
  // Names seen before first: the table never holds a tag name, so the order
  // of the two lookups does not change the answer, and the tree builder
  // names its elements of known tags itself, so most names asked for here
  // are attribute names.
  if (nameSlots_.empty()) nameSlots_.assign(64, nullptr);
  const std::uint32_t hash = NameHash(name);
  std::size_t mask = nameSlots_.size() - 1;
  std::size_t i = hash & mask;
  for (; nameSlots_[i] != nullptr; i = (i + 1) & mask)
    if (*nameSlots_[i] == name) return nameSlots_[i];
  const THtmlTag& tag = FindHtmlTag(name);
  if (tag.number != 0 && tag.name == name) return &tag.name;
  // A real page uses a few hundred names; a page with thousands of made-up
  // ones gains nothing from sharing and would only pay for the lookups, so
  // past this its nodes keep their own.
  if (names_.size() >= kSharedNames) return nullptr;
  names_.reserve(names_.size() + 1);
  if ((names_.size() + 1) * 2 > nameSlots_.size()) {
    std::vector<const std::u16string*> wider(nameSlots_.size() * 2, nullptr);
    mask = wider.size() - 1;
    for (const auto& known : names_) {
      std::size_t j = NameHash(*known) & mask;
      while (wider[j] != nullptr) j = (j + 1) & mask;
      wider[j] = known.get();
    }
    nameSlots_.swap(wider);
    for (i = hash & mask; nameSlots_[i] != nullptr; i = (i + 1) & mask) {
    }
  }
  names_.push_back(std::make_unique<const std::u16string>(name));
  nameSlots_[i] = names_.back().get();
  return nameSlots_[i];
}

void* TNodeArena::AllocateLarge(std::size_t size) {
  static_assert(sizeof(LargeBlock) % kAlign == 0);
  // 0 is what a size past the address space becomes when rounded up.
  if (size == 0 || size > SIZE_MAX - sizeof(LargeBlock)) throw std::bad_alloc();
  auto* block = static_cast<LargeBlock*>(::operator new(sizeof(LargeBlock) + size));
  block->prev = nullptr;
  block->next = large_;
  if (large_ != nullptr) large_->prev = block;
  large_ = block;
  ++live_;
  return block + 1;
}

void TNodeArena::ReleaseLarge(void* p) noexcept {
  LargeBlock* block = static_cast<LargeBlock*>(p) - 1;
  (block->prev != nullptr ? block->prev->next : large_) = block->next;
  if (block->next != nullptr) block->next->prev = block->prev;
  ::operator delete(block);
}

void* TNodeArena::AllocateSlow(std::size_t size) {
  if (!Serves(size)) return AllocateLarge(size);
  const std::size_t cls = size / kAlign;
  void* block;
  if (free_[cls] != nullptr) {
    FreeBlock* f = free_[cls];
    ORVIX_UNPOISON(f, size);
    free_[cls] = f->next;
    block = f;
  } else {
    if (static_cast<std::size_t>(end_ - next_) < size) {
      const std::size_t chunkClass = ChunkClass(chunks_.size());
      chunks_.reserve(chunks_.size() + 1);
      chunks_.push_back(TakeChunk(chunkClass));
      next_ = chunks_.back().get();
      end_ = next_ + ChunkSize(chunkClass);
      ORVIX_POISON(next_, ChunkSize(chunkClass));
    }
    block = next_;
    next_ += size;
    ORVIX_UNPOISON(block, size);
  }
  ++live_;
  return block;
}

void TNodeArena::Release(void* block, std::size_t size) noexcept {
  if (Serves(size)) {
    FreeBlock* f = static_cast<FreeBlock*>(block);
    f->next = free_[size / kAlign];
    free_[size / kAlign] = f;
    ORVIX_POISON(block, size);
  } else {
    ReleaseLarge(block);
  }
  if (--live_ == 0 && documentGone_) std::unique_ptr<TNodeArena> doomed(this);
}

void TNodeArena::DocumentGone(std::unique_ptr<TNodeArena> arena) noexcept {
  if (!arena || arena->live_ == 0) return;  // freed here
  arena->documentGone_ = true;
  arena.release();  // the last node's release frees it
}

}  // namespace orvix
