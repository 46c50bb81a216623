// The file module's rules that need no system call: reading the rest of a file, and the errors
// that name the file.
#include "file_access.h"
#include "program_environment.h"
#include "file_access_internal.h"

#include "run_time_error.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace tav {

namespace fs = std::filesystem;

namespace file_access {

void accessError(const std::string& reason)
{
    throw RunTimeError(kErrPathFileAccess, std::string(kMsgPathFileAccess) + ": " + reason);
}

void destinationError(const fs::path& path, const std::string& reason)
{
    throw RunTimeError(kErrPathFileAccess, utf8(path) + ": " + reason);
}

void newFileError(const fs::path& path)
{
    throw RunTimeError(kErrPathFileAccess, utf8(path) + ": " + kMsgPathFileAccess);
}

fs::path linkTarget(const fs::path& path)
{
    fs::path target = path;
    // As many links as the system follows in one open.
    for (int links = 0; links < 40; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec)))
            return target;
        const fs::path next = fs::read_symlink(target, ec);
        if (ec)
            destinationError(path, ec.message());
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    destinationError(path, "too many levels of symbolic links");
}

}  // namespace file_access

InputFile::InputFile(InputFile&& other) noexcept
    : m_native(other.m_native), m_size(other.m_size), m_path(std::move(other.m_path))
{
    other.m_native = -1;
}

std::vector<std::uint8_t> InputFile::readRest(std::uint64_t offset, std::uint64_t maxBytes, int tooLongNumber,
    const char* tooLongText) const
{
    // The length at opening is only a hint: the file is read until it ends, in one read when
    // the hint holds, then in chunks.
    constexpr std::uint64_t kChunk = 1 << 20;
    const std::uint64_t hint = m_size > offset ? m_size - offset : 0;
    std::vector<std::uint8_t> bytes;
    if (hint <= maxBytes)
        bytes.reserve(std::size_t(hint));
    for (;;) {
        const std::size_t used = bytes.size();
        if (used == hint && used > 0) {
            // Just as long as at opening, the usual case: one byte more tells whether it grew.
            std::uint8_t probe = 0;
            if (readAt(offset + used, std::span(&probe, 1)) == 0)
                return bytes;
            bytes.push_back(probe);
            continue;
        }
        const std::uint64_t want = std::min(used < hint ? hint - used : kChunk, maxBytes + 1 - used);
        bytes.resize(used + std::size_t(want));
        const std::size_t got = readAt(offset + used, std::span(bytes).subspan(used));
        bytes.resize(used + got);
        if (bytes.size() > maxBytes)
            throw RunTimeError(tooLongNumber, tooLongText);
        if (got < want)
            return bytes;
    }
}

InputFile openNamed(const fs::path& path)
{
    try {
        return InputFile(path);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), utf8(path) + ": " + e.what());
    }
}

std::vector<std::uint8_t> readWholeFile(const fs::path& path)
{
    const InputFile file = openNamed(path);
    try {
        return file.readRest(0, std::uint64_t(PTRDIFF_MAX), kErrOutOfMemory, kMsgOutOfMemory);
    } catch (const RunTimeError& e) {
        throw RunTimeError(e.number(), utf8(path) + ": " + e.what());
    }
}

}  // namespace tav
