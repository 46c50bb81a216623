// The one way files are opened, read and replaced: what is refused (and that it is refused at
// once, never waiting on a pipe), what a reader sees of a file that changes, and what a
// replaced file keeps of the one before it.
#include "picture_test_support.h"
#include "platform/file_access.h"
#include "platform/run_time_error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <numeric>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::readFile;
using test::ScratchDir;
using test::writeFile;

Bytes counting(std::size_t size)
{
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t(7));
    return bytes;
}

// The number and message of what `open` raises for `path`, or 0 when it opens.
std::pair<int, std::string> openError(const fs::path& path)
{
    try {
        InputFile file(path);
        return {0, ""};
    } catch (const RunTimeError& e) {
        return {e.number(), e.what()};
    }
}

std::vector<std::string> hiddenNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    return names;
}

TEST(InputFile, OnlyARegularFileOpensAndNothingWaits)
{
    ScratchDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    writeFile(dir / "file", {1, 2});
    struct Row {
        fs::path path;
        int number;
        std::string message;
    };
    const Row rows[] = {
        {dir / "missing", kErrFileNotFound, "File not found"},
        {dir / "file" / "under-a-file", kErrFileNotFound, "File not found"},
        {dir.path(), kErrPathFileAccess, "Path/File access error: is a folder, not a file"},
        // A pipe without a writer would keep a plain open waiting for ever.
        {dir / "pipe", kErrPathFileAccess, "Path/File access error: is not a regular file (a pipe, device or socket)"},
        {"/dev/null", kErrPathFileAccess, "Path/File access error: is not a regular file (a pipe, device or socket)"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(openError(row.path), std::make_pair(row.number, row.message)) << row.path;
    EXPECT_EQ(openError(dir / "file").first, 0);

    // The names the whole-file reader gives its errors.
    try {
        readWholeFile(dir / "pipe");
        ADD_FAILURE() << "a pipe was read";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(std::string(e.what()), (dir / "pipe").string() + ": " + rows[3].message);
    }
}

TEST(InputFile, ReadsWhatIsThereNowAndHoldsToItsLimit)
{
    ScratchDir dir;
    const fs::path path = dir / "data";
    writeFile(path, counting(3000));
    const InputFile file(path);
    EXPECT_EQ(file.size(), 3000u);
    Bytes part(10);
    EXPECT_EQ(file.readAt(2995, part), 5u);
    const Bytes all = counting(3000);
    EXPECT_EQ(Bytes(part.begin(), part.begin() + 5), Bytes(all.end() - 5, all.end()));
    EXPECT_EQ(file.readRest(0, 3000, kErrOverflow, "too long"), counting(3000));
    EXPECT_EQ(file.readRest(2990, 3000, kErrOverflow, "too long").size(), 10u);

    // The file grows after it was opened: the reader reads on to its new end, and refuses
    // once that passes its limit.
    writeFile(path, counting(5000));
    EXPECT_EQ(file.readRest(0, 5000, kErrOverflow, "too long"), counting(5000));
    try {
        file.readRest(0, 4999, kErrOverflow, "too long");
        ADD_FAILURE() << "read past the limit";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
    // And it shrinks.
    writeFile(path, counting(100));
    EXPECT_EQ(file.readRest(0, 5000, kErrOverflow, "too long"), counting(100));
}

TEST(ReplaceFile, SwapsTheFileWholeAndKeepsItsPermissions)
{
    ScratchDir dir;
    const fs::path out = dir / "IntroLogo.ozj";
    writeFile(out, Bytes(3000, 0x11));
    ASSERT_EQ(::chmod(out.c_str(), 0640), 0);
    // A second name of the older file keeps the older bytes: the file is replaced, not rewritten.
    fs::create_hard_link(out, dir / "kept.ozj");
    replaceFile(out, counting(100));
    EXPECT_EQ(readFile(out), counting(100));
    EXPECT_EQ(readFile(dir / "kept.ozj"), Bytes(3000, 0x11));
    EXPECT_EQ(unsigned(fs::status(out).permissions() & fs::perms::mask), 0640u);

    // A new file has the permissions of any new file, not those of the temporary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    replaceFile(dir / "new.ozj", counting(10));
    EXPECT_EQ(unsigned(fs::status(dir / "new.ozj").permissions() & fs::perms::mask), 0666u & ~unsigned(mask));
    EXPECT_TRUE(hiddenNames(dir.path()).empty());
}

TEST(ReplaceFile, WritesThroughSymbolicLinks)
{
    ScratchDir dir;
    fs::create_directories(dir / "real");
    const fs::path target = dir / "real" / "target.ozj";
    writeFile(target, {1, 2, 3});
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    // An absolute link, a relative one, and a link to that link.
    fs::create_symlink(target, dir / "absolute.ozj");
    fs::create_symlink("real/target.ozj", dir / "relative.ozj");
    fs::create_symlink("relative.ozj", dir / "chain.ozj");
    std::uint8_t value = 40;
    for (const char* name : {"absolute.ozj", "relative.ozj", "chain.ozj"}) {
        const Bytes bytes(50, value++);
        replaceFile(dir / name, bytes);
        EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
        EXPECT_EQ(readFile(target), bytes) << name;
        EXPECT_EQ(unsigned(fs::status(target).permissions() & fs::perms::mask), 0604u) << name;
    }
    // A link to a file not there yet makes the file where it points.
    fs::create_symlink("real/later.ozj", dir / "dangling.ozj");
    replaceFile(dir / "dangling.ozj", Bytes{9});
    EXPECT_EQ(readFile(dir / "real" / "later.ozj"), Bytes{9});
    EXPECT_TRUE(hiddenNames(dir.path()).empty());
    EXPECT_TRUE(hiddenNames(dir / "real").empty());
}

TEST(ReplaceFile, RefusesWhatIsNotAFileAndLeavesNothingBehind)
{
    ScratchDir dir;
    fs::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("pipe", dir / "to-pipe");
    struct Row {
        fs::path path;
        std::string reason;
    };
    const Row rows[] = {
        {dir / "folder", "is a folder, not a file"},
        {dir / "pipe", "is not a regular file (a pipe, device or socket)"},
        {dir / "to-pipe", "is not a regular file (a pipe, device or socket)"},
        {dir / "missing" / "x.ozj", "cannot write in its folder (No such file or directory)"},
    };
    for (const Row& row : rows) {
        try {
            replaceFile(row.path, Bytes{1});
            ADD_FAILURE() << row.path << ": written";
        } catch (const RunTimeError& e) {
            EXPECT_EQ(e.number(), kErrPathFileAccess);
            EXPECT_EQ(std::string(e.what()), row.path.string() + ": " + row.reason);
        }
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
    EXPECT_TRUE(hiddenNames(dir.path()).empty());
}

}  // namespace
}  // namespace tav
