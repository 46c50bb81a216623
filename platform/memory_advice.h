// Large buffers touched for the first time cost a page fault for every 4 KB page: about
// 1.4 ms per MB on a quiet machine here and several times that on a busy one. Transparent huge
// pages make that one fault per 2 MB, which measured 30 to 50 times faster. Three tools:
//  - adviseHugePages asks for them on memory already allocated (vectors, malloc'd blocks) before
//    it is first touched; the 2 MB-aligned spans inside it get huge pages;
//  - allocateLarge maps memory aligned to 2 MB for the whole of it (blocks of kOwnMappingBytes
//    and more);
//  - prefaultPages maps in the 4 KB pages of a smaller block about to be written in full, in
//    one system call instead of a fault per page.
// UninitialisedAllocator gives vectors the last two.
// Only advice: where the kernel has no huge pages to give, everything works as before, and the
// contents of the memory never depend on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <sys/mman.h>

namespace tav {

// Below this a buffer is not worth a system call.
inline constexpr std::size_t kHugePageAdviceBytes = std::size_t(1) << 20;
inline constexpr std::uintptr_t kHugePageBytes = std::uintptr_t(2) << 20;

// Advice on the whole 4 KB pages that hold a block, rounded outwards. Advice changes no
// contents: the neighbours sharing the first and last page lie in the same mapping and stay as
// they were, and a range stopping short of the mapping's first page would split it where a huge
// page could have started.
inline void adviseWholePages(const void* memory, std::size_t bytes, int advice)
{
    constexpr std::uintptr_t kPage = 4096;
    const auto begin = reinterpret_cast<std::uintptr_t>(memory) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(memory) + bytes + kPage - 1) & ~(kPage - 1);
    ::madvise(reinterpret_cast<void*>(begin), end - begin, advice);
}

inline void adviseHugePages(const void* memory, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (!memory || bytes < kHugePageAdviceBytes)
        return;
    adviseWholePages(memory, bytes, MADV_HUGEPAGE);
#else
    (void)memory;
    (void)bytes;
#endif
}

// Below this a block has too few pages to be worth a system call.
inline constexpr std::size_t kPrefaultBytes = std::size_t(32) << 10;

// Maps in every page of a block that is about to be written in full. One call took half the
// time of the faults it replaced (25 fresh pages: about 160 us instead of 330 us, measured
// here), and next to nothing for pages already mapped in. The contents never change; before
// Linux 5.14 the call is refused and the pages fault in on first touch as before.
inline void prefaultPages(void* memory, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    if (!memory || bytes < kPrefaultBytes)
        return;
    adviseWholePages(memory, bytes, MADV_POPULATE_WRITE);
#else
    (void)memory;
    (void)bytes;
#endif
}

// Zeroed memory of `bytes` (rounded up to whole huge pages), aligned to 2 MB, with huge pages
// asked for; null when it cannot be had. Pages never touched cost nothing. Free with freeLarge.
inline void* allocateLarge(std::size_t bytes)
{
    const std::size_t size = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    if (size < bytes)
        return nullptr;
    // Linux aligns a mapping of whole huge pages by itself (since 6.7); where it did not, the
    // memory is mapped again with room to spare and trimmed to the aligned part. Each trim is a
    // system call of tens of microseconds here.
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    auto aligned = reinterpret_cast<std::uintptr_t>(memory);
    if ((aligned & (kHugePageBytes - 1)) != 0) {
        ::munmap(memory, size);
        void* raw = ::mmap(nullptr, size + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            return nullptr;
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        aligned = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        if (aligned > start)
            ::munmap(raw, aligned - start);
        const std::uintptr_t tail = start + size + kHugePageBytes - (aligned + size);
        if (tail > 0)
            ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

inline void freeLarge(void* memory, std::size_t bytes)
{
    if (memory)
        ::munmap(memory, (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1));
}

// From this size on a block gets a mapping of its own (allocateLarge); smaller ones come from
// the heap.
inline constexpr std::size_t kOwnMappingBytes = std::size_t(4) << 20;

// An allocator for vectors whose every element is written before it is read (coefficient
// arrays, file contents, decoded rows): resize leaves new elements as the memory holds them, so
// fresh memory is not touched twice; a large vector gets a mapping of its own, a smaller one has
// its pages mapped in at once.
template <typename T> struct UninitialisedAllocator : std::allocator<T> {
    template <typename U> struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n * sizeof(T) < kOwnMappingBytes) {
            T* memory = std::allocator<T>::allocate(n);
            prefaultPages(memory, n * sizeof(T));
            return memory;
        }
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        if (void* memory = allocateLarge(n * sizeof(T)))
            return static_cast<T*>(memory);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t n)
    {
        if (n * sizeof(T) < kOwnMappingBytes)
            std::allocator<T>::deallocate(p, n);
        else
            freeLarge(p, n * sizeof(T));
    }
    template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Bytes of that kind.
using UninitialisedBytes = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

}  // namespace tav
