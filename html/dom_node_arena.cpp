#include "html/dom_node_arena.h"

namespace orvix {

void* TNodeArena::Allocate(std::size_t size) {
  if (!Serves(size)) return nullptr;
  const std::size_t cls = size / kAlign;
  void* block;
  if (free_[cls] != nullptr) {
    FreeBlock* f = free_[cls];
    free_[cls] = f->next;
    block = f;
  } else {
    if (static_cast<std::size_t>(end_ - next_) < size) {
      // Chunks grow with the document, so a small page stays small and a
      // large one needs few chunks.
      chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(chunkSize_));
      next_ = chunks_.back().get();
      end_ = next_ + chunkSize_;
      if (chunkSize_ < 1024 * 1024) chunkSize_ *= 2;
    }
    block = next_;
    next_ += size;
  }
  ++live_;
  return block;
}

void TNodeArena::Release(void* block, std::size_t size) noexcept {
  FreeBlock* f = static_cast<FreeBlock*>(block);
  f->next = free_[size / kAlign];
  free_[size / kAlign] = f;
  if (--live_ == 0 && documentGone_) std::unique_ptr<TNodeArena> doomed(this);
}

void TNodeArena::DocumentGone(std::unique_ptr<TNodeArena> arena) noexcept {
  if (!arena || arena->live_ == 0) return;  // freed here
  arena->documentGone_ = true;
  arena.release();  // the last node's release frees it
}

}  // namespace orvix
