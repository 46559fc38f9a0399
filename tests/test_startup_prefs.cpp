// A new instance builds its start-up state from the user's real preferences: folder
// defaults written back, the controller map, the MIDI channel, machine-wide values; and
// the store survives a writer killed in the middle of a save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/platform.h"
#include "support/PluginHarness.h"

namespace fs = std::filesystem;

namespace {

class StartupPrefs : public ::testing::Test {
protected:
    void SetUp() override {
        useScratchHome();
        root = fs::path(std::getenv("HOME")).parent_path() /
               ("startup-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "config");
        fs::create_directories(root / "system");
        fs::create_directories(root / "data");
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        platform::prefsUseFolders((root / "config").string(), {(root / "system").string()});
    }
    void TearDown() override { platform::prefsUseDefaultFolders(); }

    void writeSystemPrefs(const std::string& text) {
        const fs::path file = fs::path(platform::prefsSystemFilePaths().at(0));
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    static std::string pref(const char* key) {
        std::string value;
        loadStringFromPrefs(key, value, 1 << 20);
        return value;
    }

    fs::path root;
};

}  // namespace

TEST_F(StartupPrefs, EmptyStoreGetsFolderDefaultsUnderTheDataRoot) {
    PluginHarness h;
    const std::string base = (root / "data").string() + "/Vantorix/Tavrolune/";
    EXPECT_EQ(pref("ECSDir"), base + "ECS/");
    EXPECT_EQ(pref("ModDir"), base + "Mod/");
    EXPECT_EQ(pref("ArpDir"), base + "Arp/");
    EXPECT_EQ(pref("ChordDir"), base + "Chord/");
    EXPECT_EQ(pref("LayerDirWire"), base + "Layer/Wire");
    EXPECT_EQ(pref("LayerDirString"), base + "Layer/String");
    EXPECT_EQ(pref("LayerDirFM"), base + "Layer/FM");
    EXPECT_EQ(pref("LayerDirWave"), base + "Layer/Wave");
    EXPECT_EQ(pref("VelSplitDir"), base + "VelSplit/");
    EXPECT_EQ(pref("Help"), "");
    EXPECT_EQ(pref("Tuning"), "");
    EXPECT_EQ(pref("TuningName"), "");
    EXPECT_EQ(h->tuningDir, base + "Tuning");
    EXPECT_EQ(h->helpPath, base + "Manual/Vantorix_Tavrolune_Manual.pdf");
    EXPECT_EQ(h->layerDir[3], base + "Layer/Wave");
}

TEST_F(StartupPrefs, StoredValuesAreUsedWholeAndHelpIsFixed) {
    const std::string longFolder = "/music/" + std::string(300, 'x') + "/";
    saveStringToPrefs("ArpDir", longFolder);
    saveStringToPrefs("Tuning", "/tunings");
    saveStringToPrefs("TuningName", "Werckmeister");
    saveStringToPrefs("Help", "/elsewhere/manual.pdf");
    PluginHarness h;
    EXPECT_EQ(h->arpDir, longFolder);
    EXPECT_EQ(h->tuningDir, "/tunings");
    EXPECT_EQ(h->tuningName, "Werckmeister");
    EXPECT_NE(h->helpPath.find("Manual/Vantorix_Tavrolune_Manual.pdf"), std::string::npos);
    EXPECT_EQ(pref("Help"), "/elsewhere/manual.pdf") << "nothing is written under Help";
}

TEST_F(StartupPrefs, ControllerMapAndMidiChannelComeFromTheStore) {
    saveIntToPrefs("74", 29);
    saveIntToPrefs("0", 1);
    saveIntToPrefs("MIDIChannel", 5);
    {
        PluginHarness h;
        EXPECT_EQ(h->midiCCMap[74], 29);
        EXPECT_EQ(h->midiCCMap[0], 1);
        EXPECT_EQ(h->midiCCMap[75], 0);
        EXPECT_EQ(h->midiChannel, 4);
    }
    saveIntToPrefs("MIDIChannel", 20);  // out of range: all channels
    PluginHarness h;
    EXPECT_EQ(h->midiChannel, -1);
}

TEST_F(StartupPrefs, KilledWriterLeavesOldOrNewStoreNeverABrokenOne) {
    saveIntToPrefs("Seed", 1);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                saveStringToPrefs("Key" + std::to_string(i % 50), std::string(200 + i % 97, 'v'));
                saveIntToPrefs("Counter", i);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300 + 700 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        platform::prefsReload();
        EXPECT_EQ(platform::prefsSkippedLines(), 0) << "round " << round;
        EXPECT_EQ(loadIntFromPrefs("Seed"), 1) << "round " << round;
    }
    // The temporary files of killed writers never replace the store.
    int stores = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(platform::prefsFilePath()).parent_path()))
        stores += entry.path().filename() == "preferences";
    EXPECT_EQ(stores, 1);
}

TEST_F(StartupPrefs, FirstStartWritesTheFileOnce) {
    const fs::path folder = fs::path(platform::prefsFilePath()).parent_path();
    fs::create_directories(folder);
    // Every replacement of the file is a rename into the folder; the kernel queues one
    // event for each before the rename returns.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CREATE), 0);
    { PluginHarness h; }
    int writes = 0;
    alignas(inotify_event) char buf[1 << 16];
    for (ssize_t n; (n = ::read(watch, buf, sizeof buf)) > 0;)
        for (char* p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len) {
            const inotify_event* e = reinterpret_cast<inotify_event*>(p);
            writes += e->len > 0 && std::string(e->name) == "preferences";
        }
    ::close(watch);
    EXPECT_EQ(writes, 1);
    EXPECT_FALSE(pref("VelSplitDir").empty());
}
