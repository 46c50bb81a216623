// Large blocks and the ones kept for reuse (see memory_advice.h).
#include "platform/memory_advice.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tav {

namespace {

// Only blocks of one huge page are kept, four at most: the working arrays of an image's
// encoding fit in them, and what a run keeps adds no more than 8 MB to its peak. Larger blocks
// (a whole picture) go back as before: kept, they would stay resident while the run touches
// other memory for the first time (the loading screen's part surfaces after the decode), which
// raised the season-3 run's peak from 26 to 40 MB.
constexpr std::size_t kKeptBlocks = 4;

std::size_t wholeHugePages(std::size_t bytes) { return (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1); }

void* mapLarge(std::size_t size)
{
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

// The blocks handed out and the ones kept. Any thread may allocate or free.
class LargeBlocks {
public:
    static LargeBlocks& instance()
    {
        static LargeBlocks blocks;
        return blocks;
    }

    // A kept block, now lent, for `bytes` of at most one huge page; null when none is kept.
    void* reuse(std::size_t bytes)
    {
        const std::lock_guard lock(m_mutex);
        if (bytes > kHugePageBytes || m_kept.empty())
            return nullptr;
        void* memory = m_kept.back();
        m_kept.pop_back();
        m_lent.push_back({memory, kHugePageBytes});
        return memory;
    }

    void* map(std::size_t size)
    {
        const std::lock_guard lock(m_mutex);
        for (void* kept : m_kept)
            ::munmap(kept, kHugePageBytes);
        m_kept.clear();
        void* memory = mapLarge(size);
        if (memory)
            m_lent.push_back({memory, size});
        return memory;
    }

    bool free(void* memory)
    {
        const std::lock_guard lock(m_mutex);
        const auto lent = std::find_if(m_lent.begin(), m_lent.end(), [&](const Block& b) { return b.memory == memory; });
        if (memory == nullptr || lent == m_lent.end())
            return false;
        const Block block = *lent;
        m_lent.erase(lent);
        if (block.size == kHugePageBytes && m_kept.size() < kKeptBlocks)
            m_kept.push_back(block.memory);
        else
            ::munmap(block.memory, block.size);
        return true;
    }

private:
    struct Block {
        void* memory;
        std::size_t size;  // whole huge pages
    };
    std::mutex m_mutex;
    std::vector<Block> m_lent;
    std::vector<void*> m_kept;  // each one huge page
};

}  // namespace

void* allocateLarge(std::size_t bytes, LargeContents contents)
{
    const std::size_t size = wholeHugePages(bytes);
    if (size < bytes)
        return nullptr;
    LargeBlocks& blocks = LargeBlocks::instance();
    if (void* memory = blocks.reuse(size)) {
        if (contents == LargeContents::Zeroed)
            std::memset(memory, 0, bytes);
        return memory;
    }
    return blocks.map(size);
}

void* reuseLarge(std::size_t bytes) { return LargeBlocks::instance().reuse(bytes); }

bool freeLarge(void* memory) { return LargeBlocks::instance().free(memory); }

}  // namespace tav
