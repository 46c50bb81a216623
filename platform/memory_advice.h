// Large buffers touched for the first time cost a page fault for every 4 KB page (about 1.4 ms
// per MB here). Asking the kernel for transparent huge pages before the first touch makes that
// one fault per 2 MB. Only advice: where the kernel has no huge pages to give, nothing changes,
// and the contents of the memory never do.
#pragma once

#include <cstddef>
#include <cstdint>

#include <sys/mman.h>

namespace tav {

// Below this a buffer is not worth a system call.
inline constexpr std::size_t kHugePageAdviceBytes = std::size_t(4) << 20;

inline void adviseHugePages(const void* memory, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (!memory || bytes < kHugePageAdviceBytes)
        return;
    // madvise wants a range of whole pages; the huge pages that fit inside it are the ones used.
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(memory) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes) & ~(kPage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)bytes;
#endif
}

}  // namespace tav
