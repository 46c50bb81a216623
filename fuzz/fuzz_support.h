// Shared pieces of the fuzz harnesses: a check that stops the run loudly (the harnesses are also
// built with NDEBUG, where assert would vanish), and an in-memory file for the readers that take
// a path rather than bytes.
//
// Every harness defines the libFuzzer entry point LLVMFuzzerTestOneInput. With the fuzzing engine
// (-fsanitize=fuzzer, the fuzz preset) libFuzzer drives it; in every other build replay_main.cpp
// calls it once per file of fuzz/corpus/<target>/, so the corpus is a plain test.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tav::fuzz {

// A broken expectation is a finding: report it and abort, so libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: FUZZ_CHECK failed: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// An anonymous memory file whose /proc/self/fd path opens as a regular file: the readers see a
// real file without a disk write per input.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("tavrenix-fuzz", 0))
    {
        if (m_fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the file's contents; returns its path.
    const std::string& fill(const std::uint8_t* data, std::size_t size)
    {
        FUZZ_CHECK(::ftruncate(m_fd, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, off_t(done));
            FUZZ_CHECK(n > 0);
            done += std::size_t(n);
        }
        return m_path;
    }

private:
    int m_fd;
    std::string m_path;
};

}  // namespace tav::fuzz
