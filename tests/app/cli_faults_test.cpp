// Faults injected into the real tavrenix-cli: destinations and work folders that cannot be
// written, destinations that are missing or are folders, a destination file system that fills
// up, output files over the process's file-size limit, and a picture that changes between the
// header read and the decode. In every case the program must say what went wrong, exit non-zero,
// leave no half-written, temporary or stale-tailed file where the user looks, and leave earlier
// good files as they were.
//
// The faults hold for root too, who is not stopped by permission bits: a read-only folder is
// also made immutable (chattr +i) when the tests run as root; a full disk is a small tmpfs
// mounted in a user and mount namespace of the test's own (unshare -rm, no privileges needed;
// skipped where user namespaces are not allowed); a file-size limit (prlimit --fsize, with
// SIGXFSZ ignored as a full disk sends no signal) makes every write past it fail; the changing
// picture is done by cli_fault_preload.cpp, loaded into the program with LD_PRELOAD.
#include "app/jpeg_export.h"
#include "app/ozj_container.h"
#include "app/production_table.h"
#include "app_test_support.h"
#include "cli_runner.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

namespace tav {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::quoted;
using test::slurp;
using test::TempDir;

using Bytes = std::vector<std::uint8_t>;

// The command line of tavrenix-cli (or a copy of it) with the arguments, quoted for sh.
std::string cliLine(const std::vector<std::string>& args, const std::string& program = TAVRENIX_CLI)
{
    std::string line = quoted(program);
    for (const std::string& a : args)
        line += " " + quoted(a);
    return line;
}

// Runs an sh script; its standard output and error are kept apart, its exit status returned.
CliRun runScript(const TempDir& dir, const std::string& script)
{
    const fs::path outFile = dir / "stdout.txt";
    const fs::path errFile = dir / "stderr.txt";
    const std::string command = "sh -c " + quoted(script) + " >" + quoted(outFile.string()) + " 2>"
        + quoted(errFile.string()) + " </dev/null";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(outFile);
    run.err = slurp(errFile);
    return run;
}

Bytes readBytes(const fs::path& path)
{
    const std::string s = slurp(path);
    return Bytes(s.begin(), s.end());
}

std::map<std::string, Bytes> filesIn(const fs::path& folder)
{
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = e.is_regular_file() ? readBytes(e.path()) : Bytes {};
    return files;
}

std::string fileName(std::string_view tableName) { return pathIn("", tableName).string(); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Checks what the user finds in `folder` after a failed run: no temporary file, every file
// either the earlier one of its name, unchanged, or the complete file a good run writes.
void checkNothingHalfWritten(const fs::path& folder, const std::map<std::string, Bytes>& earlier,
    const std::map<std::string, Bytes>& good, const std::string& label)
{
    for (const auto& [name, bytes] : filesIn(folder)) {
        EXPECT_NE(name.front(), '.') << label << ": temporary file left behind: " << name;
        const auto before = earlier.find(name);
        const auto complete = good.find(name);
        const bool asBefore = before != earlier.end() && before->second == bytes;
        const bool whole = complete != good.end() && complete->second == bytes;
        EXPECT_TRUE(asBefore || whole) << label << ": " << name << " is neither the earlier file nor a whole new one ("
                                       << bytes.size() << " bytes)";
    }
    for (const auto& [name, bytes] : earlier) {
        if (!good.count(name)) {
            EXPECT_EQ(readBytes(folder / name), bytes) << label << ": earlier file " << name << " changed";
        }
    }
}

// A folder that the program cannot write in, whoever runs it: no write permission, and for
// root (whom permissions do not stop) the immutable attribute as well.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(fs::path path) : m_path(std::move(path))
    {
        fs::permissions(m_path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
            fs::perm_options::remove);
        if (::geteuid() == 0)
            m_immutable = std::system(("chattr +i " + quoted(m_path.string()) + " 2>/dev/null").c_str()) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable)
            std::system(("chattr -i " + quoted(m_path.string())).c_str());
        fs::permissions(m_path, fs::perms::owner_write, fs::perm_options::add);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when running as root on a file system without the immutable attribute.
    bool effective() const { return ::geteuid() != 0 || m_immutable; }

private:
    fs::path m_path;
    bool m_immutable = false;
};

class CliFaultsTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path work = dir / "work";
    fs::path out = dir / "out";
    fs::path picture;
    const SeasonLayout& season0 = seasonLayout(0);

    void SetUp() override
    {
        fs::create_directories(work);
        fs::create_directories(out);
        picture = test::writeBmp(dir, "picture.bmp", 333, 211,
            [](int x, int y) { return RGB((x * 3) % 256, (y * 5 + x) % 256, (x * y) % 256); });
    }

    std::vector<std::string> makeScreens(const fs::path& folder, const fs::path& source) const
    {
        return {"make", "--season", "0", "--loading-screen", folder.string(), "--work-dir", work.string(),
            source.string()};
    }

    // The files a good run of season 0 writes for the picture, by name.
    std::map<std::string, Bytes> goodFiles()
    {
        const fs::path good = dir / "good";
        fs::create_directories(good);
        const CliRun run = runScript(dir, cliLine(makeScreens(good, picture)));
        EXPECT_EQ(run.status, 0) << run.err;
        auto files = filesIn(good);
        fs::remove_all(good);
        fs::remove_all(work);
        fs::create_directories(work);
        return files;
    }

    // An earlier good container under the name of the season's part `part`.
    std::map<std::string, Bytes> placeEarlierFile(const fs::path& folder, int part) const
    {
        const std::string name = fileName(season0.parts[std::size_t(part)].ozjName);
        Bytes jpeg = readBytes(picture);  // any bytes do; it only has to stay as it is
        jpeg.resize(100);
        dir.write(fs::relative(folder / name, dir.path()).string(), jpeg);
        return {{name, jpeg}};
    }
};

TEST_F(CliFaultsTest, AReadOnlyDestinationWritesNothingAndNamesEveryFile)
{
    const auto good = goodFiles();
    const auto earlier = placeEarlierFile(out, 1);
    const fs::path logo = out / "IntroLogo.ozj";
    {
        ReadOnlyFolder readOnly(out);
        if (!readOnly.effective())
            GTEST_SKIP() << "running as root on a file system without the immutable attribute";
        const CliRun screens = runScript(dir, cliLine(makeScreens(out, picture)));
        EXPECT_EQ(screens.status, 1);
        EXPECT_TRUE(contains(screens.err, "These files were not written:")) << screens.err;
        for (const PartLayout& part : season0.parts)
            EXPECT_TRUE(contains(screens.err, pathIn(out, part.ozjName).string())) << screens.err;
        EXPECT_FALSE(contains(screens.out, std::string(completionTitle()) + ":")) << screens.out;

        const CliRun startup = runScript(dir,
            cliLine({"make", "--season", "0", "--startup-logo", logo.string(), "--work-dir", work.string(),
                picture.string()}));
        EXPECT_EQ(startup.status, 1);
        EXPECT_TRUE(contains(startup.err, logo.string())) << startup.err;
    }
    EXPECT_EQ(filesIn(out), earlier);
    // The intermediates of the failed parts are gone.
    EXPECT_TRUE(filesIn(work).empty());
    checkNothingHalfWritten(out, earlier, good, "read-only");
}

// The program's own folder cannot be written: the intermediates go to the cache folder, or the
// run stops before anything is written when that cannot be had either.
TEST_F(CliFaultsTest, AReadOnlyProgramFolderFallsBackToTheCacheFolder)
{
    const auto good = goodFiles();
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    const fs::path cli = bin / "tavrenix-cli";
    fs::copy_file(TAVRENIX_CLI, cli);
    const fs::path cache = dir / "cache";
    const fs::path notAFolder = dir.write("cache-is-a-file", {'x'});
    const std::vector<std::string> args = {"make", "--season", "0", "--loading-screen", out.string(), picture.string()};

    ReadOnlyFolder readOnly(bin);
    if (!readOnly.effective())
        GTEST_SKIP() << "running as root on a file system without the immutable attribute";

    const auto earlier = placeEarlierFile(out, 0);
    const CliRun failed = runScript(dir, "XDG_CACHE_HOME=" + quoted(notAFolder.string()) + " " + cliLine(args, cli));
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(contains(failed.err, "no folder for intermediate files")) << failed.err;
    EXPECT_TRUE(contains(failed.err, bin.string())) << failed.err;
    EXPECT_EQ(filesIn(out), earlier);

    const CliRun run = runScript(dir, "XDG_CACHE_HOME=" + quoted(cache.string()) + " " + cliLine(args, cli));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(out), good);
    EXPECT_EQ(filesIn(bin).size(), 1u) << "something was written beside the program";
    // The intermediates went to the cache folder, made for them, and were removed there.
    EXPECT_TRUE(fs::is_directory(cache / "tavrenix"));
    EXPECT_TRUE(filesIn(cache / "tavrenix").empty());

    // A work folder given on the command line is used as it is, never replaced by the fallback.
    ReadOnlyFolder readOnlyWork(work);
    const CliRun explicitWork = runScript(dir, cliLine(makeScreens(out, picture), cli));
    EXPECT_EQ(explicitWork.status, 1);
    EXPECT_TRUE(contains(explicitWork.err, work.string() + ": the work folder cannot be written")) << explicitWork.err;
}

// Destinations that do not exist, lie under a file, or are folders are refused before anything
// is cut or written; a part whose name is taken by a folder fails alone.
TEST_F(CliFaultsTest, MissingAndMisplacedDestinationsAreRefusedUpFront)
{
    const fs::path aFile = dir.write("a-file", {'k', 'e', 'e', 'p'});
    const fs::path aFolder = dir / "a-folder";
    fs::create_directories(aFolder);
    struct Row {
        const char* name;
        std::string option;
        fs::path destination;
        std::string expected;
    };
    const Row rows[] = {
        {"missing folder", "--loading-screen", dir / "missing", "no such folder"},
        {"folder under a file", "--loading-screen", aFile / "sub", "no such folder"},
        {"logo in a missing folder", "--startup-logo", dir / "missing" / "IntroLogo.ozj", "no such folder"},
        {"logo under a file", "--startup-logo", aFile / "IntroLogo.ozj", "no such folder"},
        {"logo is a folder", "--startup-logo", aFolder, "is a folder, not a file name"},
        {"folder is a file", "--loading-screen", aFile, "is a file, not a folder"},
        {"folder is a pipe", "--loading-screen", dir / "pipe", "is not a folder"},
        {"logo is a pipe", "--startup-logo", dir / "pipe", "is not a regular file"},
    };
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const Row& row : rows) {
        const CliRun run = runScript(dir,
            cliLine({"make", "--season", "0", row.option, row.destination.string(), "--work-dir", work.string(),
                picture.string()}));
        EXPECT_EQ(run.status, 1) << row.name;
        EXPECT_TRUE(contains(run.err, "tavrenix-cli: error: " + row.destination.string())) << row.name << run.err;
        EXPECT_TRUE(contains(run.err, row.expected)) << row.name << run.err;
        EXPECT_TRUE(filesIn(work).empty()) << row.name;
        EXPECT_FALSE(fs::exists(dir / "missing")) << row.name;
        EXPECT_EQ(readBytes(aFile), (Bytes {'k', 'e', 'e', 'p'})) << row.name;
        EXPECT_TRUE(fs::is_empty(aFolder)) << row.name;
    }

    const auto good = goodFiles();
    const std::string blocked = fileName(season0.parts[1].ozjName);
    fs::create_directories(out / blocked / "inside");
    const CliRun run = runScript(dir, cliLine(makeScreens(out, picture)));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, (out / blocked).string() + " (is a folder, not a file)")) << run.err;
    EXPECT_TRUE(fs::is_directory(out / blocked / "inside"));
    for (const auto& [name, bytes] : good)
        if (name != blocked) {
            EXPECT_EQ(readBytes(out / name), bytes) << name;
        }
}

// An empty destination is a usage error that says what is missing, never a run of the other
// kind; a picture whose name begins with a dash gets the hint how to name it.
TEST_F(CliFaultsTest, EmptyDestinationsAndDashedPictureNamesAreExplained)
{
    for (const char* option : {"--startup-logo", "--loading-screen"}) {
        const CliRun run = runScript(dir,
            cliLine({"make", "--season", "0", option, "", "--work-dir", work.string(), picture.string()}));
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_TRUE(contains(run.err, std::string("tavrenix-cli: error: ") + option + ": the ")) << run.err;
        EXPECT_TRUE(contains(run.err, "name is empty")) << run.err;
        EXPECT_TRUE(filesIn(work).empty()) << option;
        EXPECT_TRUE(filesIn(out).empty()) << option;
    }
    // An empty picture name is said to be one, whatever the command.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"make", "--season", "0", "--loading-screen", out.string(), ""}, {"info", ""}, {"wrap", "", "x.ozj"},
             {"unwrap", "x.ozj", ""}, {"encode", "", "x.jpg"}}) {
        const CliRun run = runScript(dir, cliLine(args));
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_TRUE(contains(run.err, "the name is empty")) << args[0] << run.err;
    }
    fs::copy_file(picture, dir / "-photo.bmp");
    const CliRun dashed = runScript(dir, "cd " + quoted(dir.path().string()) + " && "
            + cliLine({"make", "--season", "0", "--loading-screen", out.string(), "-photo.bmp"}));
    EXPECT_EQ(dashed.status, 2);
    EXPECT_TRUE(contains(dashed.err, "-photo.bmp was taken for an option")) << dashed.err;
    EXPECT_TRUE(contains(dashed.err, "after -- or as ./-photo.bmp")) << dashed.err;
    const CliRun given = runScript(dir, "cd " + quoted(dir.path().string()) + " && "
            + cliLine({"make", "--season", "0", "--loading-screen", out.string(), "--work-dir", work.string(), "--",
                "-photo.bmp"}));
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(filesIn(out).size(), season0.parts.size());
}

// The destination is a file system of 3 pages more than the first part needs: the first part
// is written whole, a later one does not fit; the earlier file of its name stays as it was.
TEST_F(CliFaultsTest, AFullDestinationKeepsWholeFilesOnly)
{
    if (std::system("unshare -rm true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "user and mount namespaces are not available here";
    const auto good = goodFiles();
    const fs::path mount = dir / "mount";
    const fs::path seen = dir / "seen";
    fs::create_directories(mount);
    fs::create_directories(seen);
    const fs::path earlierFile = dir.write("earlier.ozj", Bytes(3000, 0x5A));
    const std::string earlierName = fileName(season0.parts[1].ozjName);

    constexpr std::uintmax_t kPage = 4096;
    const std::uintmax_t firstPart = good.at(fileName(season0.parts[0].ozjName)).size();
    const std::uintmax_t size = (firstPart + kPage - 1) / kPage * kPage + 3 * kPage;
    ASSERT_GT(good.at(earlierName).size(), 2 * kPage) << "the second part must not fit in the pages left";
    const std::string script = "mount -t tmpfs -o size=" + std::to_string(size) + " tavrenix-test "
        + quoted(mount.string()) + " || exit 97\n" + "cp " + quoted(earlierFile.string()) + " "
        + quoted((mount / earlierName).string()) + "\n" + cliLine(makeScreens(mount, picture)) + "\nstatus=$?\n"
        + "cp -a " + quoted(mount.string() + "/.") + " " + quoted(seen.string()) + "\nexit $status\n";
    const CliRun run = runScript(dir, "exec unshare -rm sh -c " + quoted(script));
    if (run.status == 97)
        GTEST_SKIP() << "no tmpfs in a user namespace: " << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(contains(run.err, "No space left on device")) << run.err;
    EXPECT_TRUE(contains(run.err, (mount / earlierName).string())) << run.err;
    const auto files = filesIn(seen);
    EXPECT_EQ(files.at(fileName(season0.parts[0].ozjName)), good.at(fileName(season0.parts[0].ozjName)));
    EXPECT_EQ(files.at(earlierName), readBytes(earlierFile));
    checkNothingHalfWritten(seen, {{earlierName, readBytes(earlierFile)}}, good, "full disk");
    // Whatever was written is reported, and only that.
    for (const auto& [name, bytes] : files)
        if (name != earlierName) {
            EXPECT_TRUE(contains(run.out, (mount / name).string() + " (" + std::to_string(bytes.size()) + " bytes)"))
                << name << run.out;
        }
}

// Every write past the process's file-size limit fails (EFBIG): the output of wrap, and the
// scratch bitmap of make, which comes before any container.
TEST_F(CliFaultsTest, AFileSizeLimitFailsTheWriteAndKeepsTheEarlierFile)
{
    const auto good = goodFiles();
    const Bytes jpeg = unwrapOzj(good.begin()->second);
    const fs::path jpegPath = dir.write("part.jpg", jpeg);
    const fs::path ozj = out / "part.ozj";
    const Bytes earlier(500, 0x33);
    dir.write("out/part.ozj", earlier);
    const auto limited = [&](const std::vector<std::string>& args) {
        // A full disk sends no signal: SIGXFSZ is ignored, so the write itself reports the error.
        return runScript(dir, "trap '' XFSZ; exec prlimit --fsize=4096 " + cliLine(args));
    };

    const CliRun wrap = limited({"wrap", jpegPath.string(), ozj.string()});
    EXPECT_EQ(wrap.status, 1);
    EXPECT_TRUE(contains(wrap.err, ozj.string() + ": cannot be written (File too large)")) << wrap.err;
    EXPECT_EQ(filesIn(out), (std::map<std::string, Bytes> {{"part.ozj", earlier}}));

    const auto earlierPart = placeEarlierFile(out, 2);
    const CliRun make = limited(makeScreens(out, picture));
    EXPECT_EQ(make.status, 1);
    EXPECT_TRUE(contains(make.err, "These files were not written:")) << make.err;
    for (const PartLayout& part : season0.parts)
        EXPECT_TRUE(contains(make.err, pathIn(out, part.ozjName).string())) << make.err;
    auto expected = earlierPart;
    expected["part.ozj"] = earlier;
    EXPECT_EQ(filesIn(out), expected);
    EXPECT_TRUE(filesIn(work).empty()) << "a partial scratch bitmap or intermediate was left";
}

// The picture is changed right after its header was read and before it is decoded. The file is
// opened once, so the header and the pixels come from the file that was opened: removing or
// replacing the name changes nothing, cutting the file itself short is found.
TEST_F(CliFaultsTest, APictureChangedAfterTheHeaderReadIsReadAsItWasOpened)
{
    const fs::path other = dir / "other.bmp";
    const fs::path unchanged = dir / "unchanged";
    struct Row {
        const char* name;
        std::string action;
        const char* problem;  // null: the run succeeds
    };
    const Row rows[] = {
        {"deleted", "delete", nullptr},
        {"cut short", "truncate", "BMP: pixel data truncated"},
        {"replaced by a red picture of another size", "replace=" + other.string(), nullptr},
    };
    const auto writePicture = [&] {
        picture = test::writeBmp(dir, "picture.bmp", 333, 211, [](int x, int y) { return RGB(x % 256, y, 9); });
    };
    writePicture();
    fs::create_directories(unchanged);
    ASSERT_EQ(runScript(dir, cliLine(makeScreens(unchanged, picture))).status, 0);
    for (const Row& row : rows) {
        fs::remove_all(out);
        fs::create_directories(out);
        writePicture();
        test::writeBmp(dir, "other.bmp", 40, 25, [](int, int) { return RGB(250, 0, 0); });
        const auto earlier = placeEarlierFile(out, 0);
        const std::string script = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" "
                                   "LD_PRELOAD="
            + quoted(TAVRENIX_FAULT_PRELOAD) + " TAVRENIX_FAULT_PATH=" + quoted(picture.string())
            + " TAVRENIX_FAULT_ACTION=" + quoted(row.action) + " "
            + cliLine(makeScreens(out, picture), TAVRENIX_CLI_DYNAMIC);
        const CliRun run = runScript(dir, script);
        ASSERT_NE(run.status, 99) << row.name << ": the fault was not injected: " << run.err;
        if (row.problem) {
            EXPECT_EQ(run.status, 1) << row.name << run.err;
            EXPECT_TRUE(contains(run.err, "The picture cannot be read, so nothing was written:"))
                << row.name << run.err;
            EXPECT_TRUE(contains(run.err, picture.string() + ": " + row.problem)) << row.name << run.err;
            EXPECT_EQ(filesIn(out), earlier) << row.name;
        } else {
            EXPECT_EQ(run.status, 0) << row.name << run.err;
            EXPECT_EQ(filesIn(out), filesIn(unchanged)) << row.name;
        }
        EXPECT_TRUE(filesIn(work).empty()) << row.name;
    }
    EXPECT_FALSE(fs::exists(other));
}

}  // namespace
}  // namespace tav
