// Storage of the nodes of one document.
//
// A page of a few megabytes makes hundreds of thousands of nodes; taking
// each from the general heap costs a call to the allocator and its
// bookkeeping per node, at creation and again at destruction. The document
// hands out node storage from large blocks instead, and reuses freed nodes'
// storage for new nodes of the same size.
//
// Ownership does not change: a node is still destroyed by whoever owns it
// (its parent, or the caller holding it). A node that outlives its document
// keeps the storage alive; the last such node frees it. When a document goes
// while every node of its arena hangs in its tree and none holds memory
// outside the arena, which is the case for a parsed page, the arena goes
// whole without a visit to each node.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Under AddressSanitizer every block goes through the arena's source file,
// which marks free storage unusable.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVIX_ARENA_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(ORVIX_ARENA_CHECKED)
#define ORVIX_ARENA_CHECKED 1
#endif

namespace orvix {

class TNodeArena {
 public:
  static constexpr std::size_t kClasses = 64;  // sizes below 64 * kAlign

  TNodeArena() = default;
  // Its chunks go to a process-wide store of spare chunks (bounded), from
  // which the next document takes its own: giving tens of megabytes back to
  // the system after each page and faulting them in again for the next one
  // costs more than building the page.
  ~TNodeArena();
  TNodeArena(const TNodeArena&) = delete;
  TNodeArena& operator=(const TNodeArena&) = delete;

  // Room for `size` bytes (a multiple of kAlign, not 0). Sizes past the
  // size classes get a heap block of their own, which the arena frees on
  // release or with itself.
  void* Allocate(std::size_t size) {
    // The common cases inline: a freed block of the size, or room left in
    // the current chunk.
    if (!Serves(size)) return AllocateLarge(size);
#ifndef ORVIX_ARENA_CHECKED
    const std::size_t cls = size / kAlign;
    if (FreeBlock* f = free_[cls]) {
      free_[cls] = f->next;
      ++live_;
      return f;
    }
    if (static_cast<std::size_t>(end_ - next_) >= size) {
      void* block = next_;
      next_ += size;
      ++live_;
      return block;
    }
#endif
    return AllocateSlow(size);
  }
  // Takes back what Allocate gave for the same size. Frees the arena when
  // the document is gone and this was its last block.
  void Release(void* block, std::size_t size) noexcept;
  // The document no longer uses the arena. It is freed at once when no node
  // is left, otherwise by the release of the last one.
  static void DocumentGone(std::unique_ptr<TNodeArena> arena) noexcept;
  // A block whose node was never built (its constructor threw) is given up
  // without knowing its size; its room returns with the arena.
  void Abandon() noexcept { --live_; }

  // The arena's one copy of `name`, kept as long as the arena, or nullptr
  // when the table of shared names is full. Nodes name themselves with
  // these, so a page's thousands of "p" and "class" share one string each;
  // known tag names come from the tag table.
  const std::u16string* Name(std::u16string_view name);
  static constexpr std::size_t kSharedNames = 1024;

  // Nodes of the arena that have no parent: those created and not yet
  // inserted, and those taken out of a tree. Each is held by a caller (or
  // is the root of a subtree that is), so the arena must outlive it.
  void CountLoose(int delta) noexcept { loose_ += static_cast<std::size_t>(delta); }
  std::size_t LooseNodes() const { return loose_; }
  // Some node of the arena holds memory outside it (a string of its own),
  // or a node on the heap belongs to the arena's document: freeing the
  // document must then run each node's destructor. It stays set.
  void NeedDestructors() noexcept { needDestructors_ = true; }
  bool NodesNeedDestructors() const { return needDestructors_; }

  // Frees the spare chunks kept for later documents (for measurements of a
  // document's own memory, and for a process that is done with pages).
  static void ReleaseSpareChunks() noexcept;

  // Node storage is handed out in multiples of this (nodes hold pointers
  // and integers, nothing aligned wider).
  static constexpr std::size_t kAlign = 8;
  // `bytes` rounded up to the arena's unit.
  static constexpr std::size_t RoundUp(std::size_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }
  // Whether blocks of `size` bytes come from the chunks (one of the size
  // classes) rather than from a heap block of their own.
  static bool Serves(std::size_t size) { return size != 0 && size % kAlign == 0 && size / kAlign < kClasses; }

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  void* AllocateSlow(std::size_t size);
  // Blocks past the size classes, linked through a header in front of each.
  struct LargeBlock {
    LargeBlock* prev;
    LargeBlock* next;
  };
  void* AllocateLarge(std::size_t size);
  void ReleaseLarge(void* block) noexcept;

  // The shared names, and an open-addressing index of them (at most half
  // full; null for an empty slot).
  std::vector<std::unique_ptr<const std::u16string>> names_;
  std::vector<const std::u16string*> nameSlots_;
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::byte* next_ = nullptr;
  std::byte* end_ = nullptr;
  FreeBlock* free_[kClasses] = {};
  LargeBlock* large_ = nullptr;
  std::size_t live_ = 0;
  std::size_t loose_ = 0;
  bool documentGone_ = false;
  bool needDestructors_ = false;
};

}  // namespace orvix
