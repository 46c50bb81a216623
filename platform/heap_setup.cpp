#include "platform/heap_setup.h"

#include "platform/memory_advice.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#if defined(__GLIBC__)
extern "C" char end;  // the linker's: the end of the program's data, below the heap
#endif

namespace tav {

namespace {

#if defined(__GLIBC__)
// The room the heap reserves for huge pages. Untouched, it costs no memory. Below the C
// library's largest mapping threshold, so that one block can reserve it.
constexpr std::size_t kHugeHeapBytes = std::size_t(30) << 20;
constexpr int kLargestMappingThreshold = 32 << 20;
// Later growth, a megabyte at a time (each move of the heap's end is a system call of some tens
// of microseconds here).
constexpr std::size_t kHeapGrowthBytes = std::size_t(1) << 20;
// A block's header before it: the size of the block before and its own.
constexpr std::size_t kHeaderBytes = 2 * sizeof(std::size_t);

// Holds the heap's free end up to a huge page boundary. Never touched beyond its header, so it
// costs no memory; kept for the program's life. Volatile, as is the block below: blocks that are
// never read could otherwise be left out by the compiler, allocation and all.
void* volatile g_alignment = nullptr;
#endif

}  // namespace

void setUpHeap()
{
#if defined(__GLIBC__)
    // One heap for every thread: the helper threads allocate little (a decoder's tables), and
    // an arena of their own is fresh memory (the startup logo's run took 175 page faults with
    // one arena per thread, 143 with one in all, 0.35 ms less).
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, int(kHeapGrowthBytes));
    // What is freed stays for the next blocks: given back, it would be fresh memory again, and
    // the room reserved for huge pages would go with it.
    mallopt(M_TRIM_THRESHOLD, int(2 * kHugeHeapBytes + kHeapGrowthBytes));

    // The free end of the heap starts with the top block, the one the heap can give back. A
    // huge page is only had where no page of its 2 MB has been touched, and the heap writes a
    // header before every block it carves: the blocks below are sized so that no header lands
    // in the reserved room before the advice is given.
    const auto heapEnd = [] { return reinterpret_cast<std::uintptr_t>(::sbrk(0)); };
    const std::uintptr_t top = heapEnd() - mallinfo2().keepcost;
    std::uintptr_t aligned = (top + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    if (aligned - top < 4 * kHeaderBytes)
        aligned += kHugePageBytes;
    // Both blocks come from the heap, however large.
    mallopt(M_MMAP_THRESHOLD, kLargestMappingThreshold);
    // Ends a header short of the boundary: the next block's header lies just below it.
    g_alignment = std::malloc(aligned - top - 2 * kHeaderBytes);
    // Reserves the room by taking it whole (the heap grows to hold it) and giving it back; the
    // heap's free end then starts just below the boundary.
    void* volatile room = std::malloc(kHugeHeapBytes);
    const bool fromHeap = reinterpret_cast<std::uintptr_t>(room) == aligned;
    std::free(room);
    mallopt(M_MMAP_THRESHOLD, int(kOwnMappingBytes));
    // Not the program's heap (an allocator of a checker's): nothing to advise.
    if (!fromHeap || top < reinterpret_cast<std::uintptr_t>(&end) || heapEnd() < aligned + kHugeHeapBytes)
        return;
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), kHugeHeapBytes, MADV_HUGEPAGE);
#endif
#endif
}

}  // namespace tav
