#include "app/application_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace tav {
namespace {

namespace fs = std::filesystem;

TEST(ApplicationFolder, TheExecutablesFolderWhenWritableElseThePrivateCacheFolder)
{
    std::string pattern = (fs::temp_directory_path() / "tavrenix-appdir.XXXXXX").string();
    const fs::path root = mkdtemp(pattern.data());
    EXPECT_EQ(applicationFolder(root), root);

    // A "folder" that is a file cannot hold files, whoever runs the test (root included).
    const fs::path notAFolder = root / "file";
    std::ofstream(notAFolder) << "x";
    EXPECT_FALSE(folderIsWritable(notAFolder));

    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    EXPECT_EQ(applicationFolder(notAFolder), root / "cache" / "tavrenix");
    EXPECT_TRUE(fs::is_directory(root / "cache" / "tavrenix"));
    setenv("XDG_CACHE_HOME", (notAFolder / "cache").c_str(), 1);
    EXPECT_ANY_THROW(applicationFolder(notAFolder));
    if (old)
        setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
    fs::remove_all(root);
}

TEST(ApplicationFolder, ExecutableFolderHoldsThisTestProgram)
{
    EXPECT_TRUE(fs::exists(executableFolder()));
    EXPECT_TRUE(fs::is_directory(executableFolder()));
}

}  // namespace
}  // namespace tav
