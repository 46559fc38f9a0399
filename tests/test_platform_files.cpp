// Reading whole files: only regular files of a sane size are read, and never with a wait,
// so a FIFO in the place of any file the plug-in reads (tuning, arp preset, controller
// map, preferences) neither hangs nor crashes it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/platform.h"
#include "support/PluginHarness.h"
#include "support/TestFiles.h"

namespace {

// A regression blocks in open(): the alarm ends the test program instead of hanging it.
struct HangGuard {
    HangGuard() { ::alarm(30); }
    ~HangGuard() { ::alarm(0); }
};

void makeFifo(const std::string& path) {
    ::unlink(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

class PlainFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::makeScratchFolder("files");
        ASSERT_FALSE(dir.empty());
    }
    std::string dir;
};

}  // namespace

TEST_F(PlainFiles, OnlyRegularFilesWithinTheLimitAreRead) {
    HangGuard guard;
    testfiles::writeFile(dir + "/small", "abc");
    testfiles::writeFile(dir + "/big", std::string(100, 'x'));
    makeFifo(dir + "/fifo");
    ::symlink("small", (dir + "/link").c_str());
    struct Case {
        std::string path;
        platform::FileRead expected;
        std::string text;
    } cases[] = {
        {dir + "/small", platform::FileRead::ok, "abc"},
        {dir + "/link", platform::FileRead::ok, "abc"},
        {dir + "/big", platform::FileRead::tooLarge, ""},
        {dir + "/fifo", platform::FileRead::notRegular, ""},
        {dir, platform::FileRead::notRegular, ""},
        {dir + "/none", platform::FileRead::missing, ""},
        {dir + "/small/below", platform::FileRead::missing, ""},
    };
    for (const Case& c : cases) {
        std::string out = "stale";
        EXPECT_EQ(platform::readRegularFile(c.path, 64, out), c.expected) << c.path;
        EXPECT_EQ(out, c.text) << c.path;
        const bool regular = c.expected == platform::FileRead::ok || c.expected == platform::FileRead::tooLarge;
        EXPECT_EQ(platform::canReadRegularFile(c.path), regular) << c.path;
    }
    EXPECT_EQ(platform::linkTarget(dir + "/link"), dir + "/small");
    EXPECT_EQ(platform::linkTarget(dir + "/small"), dir + "/small");
}

TEST_F(PlainFiles, AFifoInThePlaceOfAnyFileThePluginReadsIsRefusedAtOnce) {
    HangGuard guard;
    useScratchHome();
    platform::dialogSetMode(platform::DialogMode::Scripted);
    platform::dialogTranscriptClear();
    platform::fileSelectScriptClear();
    platform::prefsUseFolders(dir + "/config", {});

    // Preferences: read as defaults, and never replaced by a write.
    makeDirectory(dir + "/config/com.ZELQ.Tavrolune");
    makeFifo(platform::prefsFilePath());
    platform::prefsReload();
    saveIntToPrefs("K", 3);
    EXPECT_EQ(loadIntFromPrefs("K"), 3);
    struct stat st;
    ASSERT_EQ(::lstat(platform::prefsFilePath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A tuning named in the preferences: plug-in creation reads it.
    platform::prefsUseFolders(dir + "/config2", {});
    saveStringToPrefs("Tuning", dir);
    saveStringToPrefs("TuningName", "Pipe");
    makeFifo(dir + "/Pipe.tun");
    PluginHarness h;
    h->setProgram(0);
    h.run(1024);
    for (int n = 0; n < 128; ++n) ASSERT_FLOAT_EQ(h->tuneTable[n], (float)n) << n;
    platform::fileSelectScriptChoose(dir + "/Pipe.tun");
    h->loadTuning();
    EXPECT_EQ(h->tuningName, "Pipe");  // the stored name, no table read

    // A controller map chosen in the dialog.
    makeFifo(dir + "/Pipe.ecs");
    platform::fileSelectScriptChoose(dir + "/Pipe.ecs");
    h->loadECS();

    // An arp preset that became a FIFO after the folder was listed.
    makeDirectory(dir + "/Arp/Set");
    testfiles::writeFile(dir + "/Arp/Set/Pipe.arp", "V1.0\n");
    h->arpDir = dir + "/Arp/";
    h->scanArpFolders();
    h->changeArpFolder(0);
    ASSERT_EQ(h->getArpPreset(0), "Pipe");
    makeFifo(dir + "/Arp/Set/Pipe.arp");
    h->loadArpPreset(0);

    std::vector<std::string> messages;
    for (const auto& r : platform::dialogTranscript()) messages.push_back(r.text);
    EXPECT_EQ(messages, (std::vector<std::string>{"Problem with ECS File", "Problem with Preset"}));
    platform::dialogSetMode(platform::DialogMode::Automatic);
    platform::prefsUseDefaultFolders();
}
