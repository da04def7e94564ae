#include "platform/RunMemory.h"

#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kp {

void prepareMemoryForRun() {
#ifdef __GLIBC__
    // The first step holds most of what a store of a million files needs; the address space
    // is only reserved, pages are made as they are first touched. (Larger, the large pages'
    // coarser grain costs more memory than it saves time.)
    constexpr int kFirstStep = 256 << 20;
    constexpr int kHeapStep = 64 << 20;
    constexpr std::uintptr_t kLargePage = 2u << 20;
    constexpr std::size_t kProbe = 1 << 20;
    mallopt(M_ARENA_MAX, 1);              // one heap: the workers' objects go where the large pages are
    mallopt(M_MMAP_THRESHOLD, 4 << 20);   // blocks of a megabyte or so are reused, not mapped anew
    mallopt(M_TRIM_THRESHOLD, 1 << 30);   // nothing given back before the run ends
    mallopt(M_TOP_PAD, kFirstStep);
    auto* const before = static_cast<char*>(sbrk(0));
    // Grows the heap by the first step now (volatile: a compiler may drop a block freed unused).
    // Of the block, malloc touches only the first bytes and those just past its end.
    void* volatile probe = std::malloc(kProbe);
    const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(probe);
    std::free(probe);
    auto* const after = static_cast<char*>(sbrk(0));
    mallopt(M_TOP_PAD, kHeapStep);
    if (before == reinterpret_cast<char*>(-1) || !block) return;
    // Large pages only from the first whole one that nothing has touched yet: a page touched
    // before the hint makes its whole stretch of two megabytes small pages for good.
    const std::uintptr_t from = (block + kProbe + kLargePage) & ~(kLargePage - 1);
    const std::uintptr_t to = std::uintptr_t(after) & ~(kLargePage - 1);
    if (to <= from) return;
    // Only a hint: a system without large pages or with them turned off ignores or refuses it.
    madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    // Every object of the run would otherwise begin below that page, in small pages, a page
    // fault each four kilobytes (slow under virtualization). One block, never used nor freed,
    // takes the stretch up to it (only its first page is ever touched), so that the run's
    // objects begin in large pages.
    constexpr std::uintptr_t kChunkHeaders = 48;
    [[maybe_unused]] void* volatile skipped = std::malloc(from - block - kChunkHeaders);
#endif
}

} // namespace kp
