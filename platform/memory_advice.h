// Large buffers touched for the first time cost a page fault for every 4 KB page: about
// 1.4 ms per MB on a quiet machine here and several times that on a busy one. Transparent huge
// pages make that one fault per 2 MB, which measured 30 to 50 times faster. Three tools:
//  - adviseHugePages asks for them on memory already allocated (vectors, malloc'd blocks) before
//    it is first touched; the 2 MB-aligned spans inside it get huge pages;
//  - allocateLarge maps memory aligned to 2 MB for the whole of it (DIB sections), and keeps
//    a few freed blocks for the next ones;
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

// Large blocks: memory of `bytes` (rounded up to whole huge pages), aligned to 2 MB, with huge
// pages asked for; null when it cannot be had. Pages never touched cost nothing.
//
// A freed block of one huge page is kept for the next block or array of the run that fits in
// it, rather than given back: its pages are mapped in already, and a fresh page costs a fault
// (about 10 us per 4 KB here, and at times milliseconds for a 2 MB page the host has to back
// anew). The startup logo's encoder takes its arrays and surface from the blocks the decoder
// freed: 30 page faults and 0.3 to 0.4 ms less. Nothing is mapped while blocks lie kept: a
// block that no kept one holds gives them back first.
enum class LargeContents { Zeroed, AsLeft };
void* allocateLarge(std::size_t bytes, LargeContents contents = LargeContents::Zeroed);
// A kept block for `bytes`, its contents as left, or null when none is kept or `bytes` is more
// than one holds: for smaller arrays, which are not worth a fresh block of their own.
void* reuseLarge(std::size_t bytes);
// Frees a block of allocateLarge or reuseLarge. False, with nothing done, for memory that is
// not one (null included).
bool freeLarge(void* memory);

// An allocator for vectors whose every element is written before it is read (coefficient
// arrays, file contents, decoded rows): resize leaves new elements as the memory holds them, so
// fresh memory is not touched twice; a large vector gets memory aligned for huge pages, a
// smaller one has its pages mapped in at once.
inline constexpr std::size_t kLargeArrayBytes = std::size_t(256) << 10;
template <typename T> struct UninitialisedAllocator : std::allocator<T> {
    template <typename U> struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n * sizeof(T) >= kPrefaultBytes && n * sizeof(T) < kLargeArrayBytes)
            if (void* memory = reuseLarge(n * sizeof(T)))
                return static_cast<T*>(memory);
        if (n * sizeof(T) < kLargeArrayBytes) {
            T* memory = std::allocator<T>::allocate(n);
            prefaultPages(memory, n * sizeof(T));
            return memory;
        }
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        if (void* memory = allocateLarge(n * sizeof(T), LargeContents::AsLeft))
            return static_cast<T*>(memory);
        throw std::bad_alloc();
    }
    void deallocate(T* p, std::size_t n)
    {
        if (n * sizeof(T) < kPrefaultBytes || !freeLarge(p))
            std::allocator<T>::deallocate(p, n);
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
