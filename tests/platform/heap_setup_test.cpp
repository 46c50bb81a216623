#include "platform/heap_setup.h"

#include "platform/memory_advice.h"  // kHugePageBytes

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

extern "C" char end;

namespace tav {
namespace {

struct Mapping {
    std::uintptr_t begin = 0, end = 0;
    bool hugePagesAdvised = false;
};

// The mapping of this process that holds `address`, from /proc/self/smaps.
Mapping mappingOf(std::uintptr_t address)
{
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    Mapping current;
    bool found = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0, last = 0;
        char dash = 0;
        std::istringstream fields(line);
        if (fields >> std::hex >> begin >> dash >> last && dash == '-') {
            if (found)
                return current;
            current = {begin, last, false};
            found = address >= begin && address < last;
        } else if (found && line.rfind("VmFlags:", 0) == 0) {
            current.hugePagesAdvised = line.find(" hg") != std::string::npos;
        }
    }
    return found ? current : Mapping{};
}

// After the set-up, a middling block (a picture file, a surface) comes from the heap, from whole
// huge pages of it.
TEST(HeapSetupTest, MiddlingBlocksLieOnHugePagesOfTheHeap)
{
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
        GTEST_SKIP() << "no transparent huge pages on this system";
    setUpHeap();
    constexpr std::size_t kBytes = std::size_t(3) << 20;
    void* block = std::malloc(kBytes);
    ASSERT_NE(block, nullptr);
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const auto heapEnd = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    if (at < reinterpret_cast<std::uintptr_t>(&end) || at >= heapEnd) {
        std::free(block);
        GTEST_SKIP() << "blocks do not come from the C library's heap here (a checker's allocator)";
    }
    const Mapping mapping = mappingOf(at);
    EXPECT_TRUE(mapping.hugePagesAdvised);
    // From its start on, not only in whole huge pages further up.
    EXPECT_LE(mapping.begin, at);
    EXPECT_EQ(mapping.begin % kHugePageBytes, 0u);
    EXPECT_GE(mapping.end, at + kBytes);
    std::free(block);
}

}  // namespace
}  // namespace tav
