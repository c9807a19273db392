#include "html/dom_node_arena.h"

// Under AddressSanitizer, storage that is free or not yet handed out is
// marked unusable, so a node used after it was freed is reported as it
// would be with the general heap.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVIX_ARENA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVIX_ARENA_ASAN 1
#endif
#ifdef ORVIX_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#define ORVIX_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ORVIX_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ORVIX_POISON(p, n) ((void)(p), (void)(n))
#define ORVIX_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

#include "html/html_tables.h"

namespace orvix {

const std::u16string* TNodeArena::Name(std::u16string_view name) {
  const THtmlTag& tag = FindHtmlTag(name);
  if (tag.number != 0 && tag.name == name) return &tag.name;
  // A real page uses a few hundred names; a page with thousands of made-up
  // ones gains nothing from sharing and would only pay for the lookups, so
  // past this its nodes keep their own.
  if (names_.size() >= kSharedNames) return nullptr;
  const auto it = names_.find(name);
  if (it != names_.end()) return &*it;
  return &*names_.emplace(name).first;
}

void* TNodeArena::Allocate(std::size_t size) {
  if (!Serves(size)) return nullptr;
  const std::size_t cls = size / kAlign;
  void* block;
  if (free_[cls] != nullptr) {
    FreeBlock* f = free_[cls];
    ORVIX_UNPOISON(f, size);
    free_[cls] = f->next;
    block = f;
  } else {
    if (static_cast<std::size_t>(end_ - next_) < size) {
      // Chunks grow with the document, so a small page stays small and a
      // large one needs few chunks.
      chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(chunkSize_));
      next_ = chunks_.back().get();
      end_ = next_ + chunkSize_;
      ORVIX_POISON(next_, chunkSize_);
      if (chunkSize_ < 1024 * 1024) chunkSize_ *= 2;
    }
    block = next_;
    next_ += size;
    ORVIX_UNPOISON(block, size);
  }
  ++live_;
  return block;
}

void TNodeArena::Release(void* block, std::size_t size) noexcept {
  FreeBlock* f = static_cast<FreeBlock*>(block);
  f->next = free_[size / kAlign];
  free_[size / kAlign] = f;
  ORVIX_POISON(block, size);
  if (--live_ == 0 && documentGone_) std::unique_ptr<TNodeArena> doomed(this);
}

void TNodeArena::DocumentGone(std::unique_ptr<TNodeArena> arena) noexcept {
  if (!arena || arena->live_ == 0) return;  // freed here
  arena->documentGone_ = true;
  arena.release();  // the last node's release frees it
}

}  // namespace orvix
