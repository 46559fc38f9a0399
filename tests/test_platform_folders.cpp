// The system's folders (data root and the "/Applications/" mapping), file operations and
// the millisecond clock.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "support/TestFiles.h"

namespace {

using testfiles::listFolder;
using testfiles::readFile;
using testfiles::writeFile;



class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::makeScratchFolder("folders");
        ASSERT_FALSE(dir.empty());
        setenv("HOME", (dir + "/home").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
};

TEST_F(FoldersTest, DataAndConfigRootsFollowTheXdgVariables) {
    EXPECT_EQ(platform::dataRoot(), dir + "/data/");
    EXPECT_EQ(platform::configRoot(), dir + "/config/");
    setenv("XDG_DATA_HOME", (dir + "/data/").c_str(), 1);
    EXPECT_EQ(platform::dataRoot(), dir + "/data/");

    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::dataRoot(), dir + "/home/.local/share/");
    EXPECT_EQ(platform::configRoot(), dir + "/home/.config/");
    // Relative values do not count.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(platform::dataRoot(), dir + "/home/.local/share/");

    setenv("XDG_CONFIG_DIRS", "/one:relative::/two/", 1);
    EXPECT_EQ(platform::systemConfigRoots(), (std::vector<std::string>{"/one/", "/two/"}));
    unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(platform::systemConfigRoots(), std::vector<std::string>{"/etc/xdg/"});
}

TEST_F(FoldersTest, ApplicationsFolderMapsToTheDataRoot) {
    const std::string data = dir + "/data/";
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/ECS/"),
              data + "Vantorix/Tavrolune/ECS/");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/Layer/Wire"),
              data + "Vantorix/Tavrolune/Layer/Wire");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/Manual/Vantorix_Tavrolune_Manual.pdf"),
              data + "Vantorix/Tavrolune/Manual/Vantorix_Tavrolune_Manual.pdf");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications"), dir + "/data");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/"), data);
    // Anything else is left alone.
    EXPECT_EQ(platform::mapApplicationsPath("/ApplicationsX/a"), "/ApplicationsX/a");
    EXPECT_EQ(platform::mapApplicationsPath("/usr/Applications/a"), "/usr/Applications/a");
    EXPECT_EQ(platform::mapApplicationsPath("relative/a"), "relative/a");
    EXPECT_EQ(platform::mapApplicationsPath(""), "");

    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/Arp/"),
              dir + "/home/.local/share/Vantorix/Tavrolune/Arp/");

    char out[kTextBufSize];
    platform::mapApplicationsPath("/Applications/V/T/Mod/", out);
    EXPECT_EQ(std::string(out), dir + "/home/.local/share/V/T/Mod/");
    char small[12 + 8];
    std::memset(small, '#', sizeof small);
    platform::mapApplicationsPath("/Applications/V/T/Mod/", small, 12);
    EXPECT_STREQ(small, "");
    for (std::size_t i = 12; i < sizeof small; ++i) ASSERT_EQ(small[i], '#') << i;
}

TEST_F(FoldersTest, MakeDirectoryCreatesParents) {
    const std::string deep = dir + "/a/b/c/";
    EXPECT_FALSE(platform::folderExists(deep));
    EXPECT_TRUE(makeDirectory(deep));
    EXPECT_TRUE(platform::folderExists(deep));
    EXPECT_TRUE(makeDirectory(deep.c_str())); // already there
    EXPECT_FALSE(platform::fileExists(deep));
    EXPECT_FALSE(makeDirectory(""));

    std::ofstream(dir + "/plain") << "x";
    EXPECT_TRUE(platform::fileExists(dir + "/plain"));
    EXPECT_FALSE(platform::folderExists(dir + "/plain"));
    EXPECT_FALSE(makeDirectory(dir + "/plain/sub"));
}

TEST_F(FoldersTest, CopyRenameAndDeleteKeepFilesWhole) {
    const std::string src = dir + "/src.lyr";
    std::string data;
    for (int i = 0; i < 5000; ++i) data += std::to_string(i) + '\n';
    std::ofstream(src, std::ios::binary) << data;

    EXPECT_TRUE(fileCopy(src, dir + "/copy.lyr"));
    EXPECT_EQ(readFile(dir + "/copy.lyr"), data);
    std::ofstream(dir + "/copy2.lyr") << "old contents";
    EXPECT_TRUE(CopyFileFromTo(src.c_str(), (dir + "/copy2.lyr").c_str()));
    EXPECT_EQ(readFile(dir + "/copy2.lyr"), data);
    EXPECT_FALSE(fileCopy(dir + "/missing", dir + "/never"));
    EXPECT_FALSE(platform::fileExists(dir + "/never"));
    EXPECT_FALSE(fileCopy(src, dir + "/no/such/folder/x"));

    EXPECT_TRUE(renameFile(dir + "/copy.lyr", dir + "/moved.lyr"));
    EXPECT_TRUE(platform::fileExists(dir + "/moved.lyr"));
    EXPECT_FALSE(platform::fileExists(dir + "/copy.lyr"));

    // Deleting keeps the file under another extension.
    EXPECT_TRUE(deleteFile((dir + "/moved.lyr").c_str()));
    EXPECT_FALSE(platform::fileExists(dir + "/moved.lyr"));
    EXPECT_EQ(readFile(dir + "/moved.~fx"), data);
    EXPECT_TRUE(deleteFileStr(dir + "/copy2.lyr", ".bak"));
    EXPECT_TRUE(platform::fileExists(dir + "/copy2.bak"));
    EXPECT_FALSE(deleteFileStr(dir + "/missing.lyr"));

    EXPECT_TRUE(platform::writeFileAtomically(dir + "/atomic.txt", "one"));
    EXPECT_TRUE(platform::writeFileAtomically(dir + "/atomic.txt", "two"));
    EXPECT_EQ(readFile(dir + "/atomic.txt"), "two");
    EXPECT_EQ(listFolder(dir), (std::vector<std::string>{"atomic.txt", "copy2.bak", "moved.~fx",
                                                         "src.lyr"}));
}

TEST_F(FoldersTest, ResourcePathIsTheFolderBesideTheModule) {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = 0;
    std::string folder(exe);
    folder = folder.substr(0, folder.rfind('/') + 1) + platform::kResourceFolderName + "/";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);

    char out[4096] = "untouched";
    getResourcePath(out, sizeof out);
    EXPECT_STREQ(out, "untouched");

    ASSERT_TRUE(makeDirectory(folder));
    getResourcePath(out, sizeof out);
    EXPECT_EQ(std::string(out), folder);
    char small[8] = "x";
    getResourcePath(small, sizeof small);
    EXPECT_STREQ(small, "");
    std::filesystem::remove_all(folder, ec);
}

TEST(PlatformClock, TickCountIsAMonotonicMillisecondCounter) {
    const uint32_t t0 = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint32_t elapsed = GetTickCount() - t0;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

} // namespace
