// The play lock (arp and play-mode group held across program changes) and the program
// commands (A/B compare between the loaded program and the edits, clearing the program).
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/FakeEditor.h"
#include "support/PluginHarness.h"
#include "vst/AEffEditor.h"

namespace {

// The tags the lock holds: portamento amount, play and portamento modes, pitch bend
// ranges and the whole arpeggiator with its grid.
bool isHeld(int tag) { return tag == 4 || (tag >= 244 && tag <= 247) || (tag >= 394 && tag <= 539); }




struct Fixture : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();
    void SetUp() override {
        h.run(1);  // the start-up program is applied
        h.host().automated.clear();
    }
    // Loads the current program record again with some values changed, as a host's
    // program change does, and lets the audio thread apply it.
    void changeProgram(const std::vector<std::pair<int, float>>& values) {
        for (const auto& v : values) p.currentProgram().values[v.first] = v.second;
        p.setProgram(0);
        h.run(4096);
        ASSERT_EQ((int)p.presetPending, 0);
    }
};

using Lock = Fixture;
using ProgramCommands = Fixture;

}  // namespace

// --- the lock ----------------------------------------------------------------------------

TEST_F(Lock, HoldsExactlyThePlayAndArpGroup) {
    for (int tag = 0; tag < kNumParams; ++tag) EXPECT_EQ(p.lockedTag[tag] != 0, isHeld(tag)) << tag;
    EXPECT_FALSE(p.getLocked());
    EXPECT_FALSE(p.isTagLocked(244));
    p.setLockState(1);
    EXPECT_TRUE(p.getLocked());
    EXPECT_EQ(p.getLockState(), 1);
    EXPECT_TRUE(p.isTagLocked(4));
    EXPECT_TRUE(p.isTagLocked(539));
    EXPECT_FALSE(p.isTagLocked(540));
    EXPECT_FALSE(p.isTagLocked(347));
    EXPECT_FALSE(p.isTagLocked(-1));
    EXPECT_FALSE(p.isTagLocked(1024));
}

TEST_F(Lock, OnProgramChangeThenSetKeepsTheHeldGroup) {
    p.setSteppedValue(244, 3);   // Play Mode
    p.setParameter(4, 0.3f);     // Portamento Amount
    p.setSteppedValue(407, 5);   // Arp Mode
    p.setOff(412);               // arp grid, step 1 on/off
    p.setSteppedValue(347, 2);   // Distort Mode: not held
    const float playMode = p.paramValue[244], arpMode = p.paramValue[407];

    p.setLockState(1);
    changeProgram({{244, 0.0f}, {4, 0.9f}, {407, 0.0f}, {412, 1.0f}, {347, 10.1f / 26.99f}});

    // The program already reports its own values ...
    EXPECT_EQ(p.getParameter(244), 0.0f);
    EXPECT_EQ(p.getParameter(4), 0.9f);
    EXPECT_EQ(p.getParameter(412), 1.0f);
    // ... while the held group still sounds as before the change.
    EXPECT_EQ(p.getLockVar(244), playMode);
    EXPECT_EQ(p.getLockVarStepped(244), 3);
    EXPECT_EQ(p.getLockVar(4), 0.3f);
    EXPECT_EQ(p.getArpMode(), 5);
    EXPECT_FALSE(p.getLockVarOnOff(412));
    EXPECT_EQ(p.getLockVar(407), arpMode);
    // A tag the lock does not hold reads its live value through every locked reader.
    EXPECT_EQ(p.getLockVarStepped(347), 10);
    EXPECT_EQ(p.getLockVar(347), p.paramValue[347]);

    h.host().automated.clear();
    p.editorRefreshRequest = 0;
    p.setLockState(2);
    EXPECT_EQ(p.getLockState(), 0);
    EXPECT_EQ((int)p.editorRefreshRequest, 1);
    EXPECT_EQ(p.getParameter(244), playMode);
    EXPECT_EQ(p.paramValue[244], playMode);
    EXPECT_EQ(p.paramEdited[244], playMode);
    EXPECT_EQ(p.getParameter(4), 0.3f);
    EXPECT_EQ(p.getParameter(412), 0.0f);
    EXPECT_EQ(p.getSteppedValue(407), 5);
    EXPECT_EQ(p.getSteppedValue(347), 10);  // not held: the new program's value stays
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Lock, OffLetsTheHeldGroupFollowTheProgramAgain) {
    p.setSteppedValue(244, 3);
    p.setLockState(1);
    changeProgram({{244, 6.1f / 8.99f}});
    EXPECT_EQ(p.getLockVarStepped(244), 3);
    p.setLockState(0);
    EXPECT_EQ(p.getLockVarStepped(244), 6);
    EXPECT_FALSE(p.isTagLocked(244));
}

TEST_F(Lock, PickingTheCurrentStateChangesNothing) {
    p.setParameter(4, 0.2f);
    p.setLockState(1);
    p.editorRefreshRequest = 0;
    p.paramValue[4] = 0.8f;
    p.setLockState(1);
    EXPECT_EQ((int)p.editorRefreshRequest, 0);
    EXPECT_EQ(p.getLockVar(4), 0.2f);  // no new snapshot
    p.setLockState(0);
    p.editorRefreshRequest = 0;
    p.setLockState(0);
    EXPECT_EQ((int)p.editorRefreshRequest, 0);
    // Only the three menu states exist.
    p.setLockState(5);
    p.setLockState(-1);
    EXPECT_EQ(p.getLockState(), 0);
    EXPECT_EQ((int)p.editorRefreshRequest, 0);
}

TEST_F(Lock, SetWithoutASnapshotWritesNothing) {
    std::vector<float> before(p.paramValue, p.paramValue + kNumParams);
    p.editorRefreshRequest = 0;
    p.setLockState(2);
    EXPECT_EQ(p.getLockState(), 0);
    EXPECT_EQ((int)p.editorRefreshRequest, 1);
    for (int tag = 0; tag < kNumParams; ++tag) ASSERT_EQ(p.paramValue[tag], before[tag]) << tag;

    // Once a snapshot exists, Set from Off writes it back.
    p.setSteppedValue(245, 2);
    p.setLockState(1);
    p.setLockState(0);
    p.setSteppedValue(245, 4);
    p.setLockState(2);
    EXPECT_EQ(p.getSteppedValue(245), 2);
}

TEST_F(Lock, SettersRefuseWhileLockedForEveryTag) {
    p.setParameter(1, 0.4f);
    p.setSteppedValue(244, 1);
    p.setLockState(1);
    h.host().automated.clear();
    for (int tag : {1, 244, 394, 412, 347}) {
        const float v = p.paramValue[tag];
        p.setLockVar(tag, 0.77f);
        p.setLockVarOnOff(tag, true);
        p.setLockVarStepped(tag, 2);
        EXPECT_EQ(p.paramValue[tag], v) << tag;
    }
    EXPECT_TRUE(h.host().automated.empty());

    p.setLockState(0);
    p.setLockVar(1, 0.77f);
    EXPECT_EQ(p.getParameter(1), 0.77f);
    p.setLockVarOnOff(394, true);
    EXPECT_EQ(p.getParameter(394), 1.0f);
    p.setLockVarOnOff(394, false);
    EXPECT_EQ(p.getParameter(394), 0.0f);
    EXPECT_EQ(h.host().automated.size(), 3u);
}

TEST_F(Lock, SteppedSetterClampsAndIgnoresContinuousTags) {
    p.setLockVarStepped(244, 99);
    EXPECT_FLOAT_EQ(p.getParameter(244), 8.1f / 8.99f);
    p.setLockVarStepped(244, -3);
    EXPECT_FLOAT_EQ(p.getParameter(244), 0.1f / 8.99f);
    p.setLockVarStepped(244, std::numeric_limits<int>::max());
    EXPECT_EQ(p.getLockVarStepped(244), 8);
    ASSERT_EQ(h.host().automated.size(), 3u);

    p.setParameter(4, 0.35f);
    h.host().automated.clear();
    p.setLockVarStepped(4, 3);
    EXPECT_EQ(p.getParameter(4), 0.35f);
    EXPECT_EQ(p.getLockVarStepped(4), 0);  // continuous: no step index
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Lock, InvalidTagsGiveNeutralAnswers) {
    p.setLockState(1);
    for (int tag : {2000, -1, 1024, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(p.getLockVar(tag), 0.0f);
        EXPECT_FALSE(p.getLockVarOnOff(tag));
        EXPECT_EQ(p.getLockVarStepped(tag), 0);
    }
    p.setLockState(0);
    h.host().automated.clear();
    for (int tag : {2000, -1, 1024}) {
        p.setLockVar(tag, 0.5f);
        p.setLockVarOnOff(tag, true);
        p.setLockVarStepped(tag, 1);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

// --- program commands -----------------------------------------------------------------------

TEST_F(ProgramCommands, CompareGoesBackAndForthWithoutTellingTheHost) {
    std::vector<float> loaded(p.programs[0].values, p.programs[0].values + kNumParams);
    ASSERT_EQ((int)p.editChanged, 0);

    // Right after loading, the edits are the program itself.
    p.editProgram();
    EXPECT_EQ((int)p.editChanged, 1);
    for (int tag = 0; tag < kNumParams; ++tag) ASSERT_EQ(p.programs[0].values[tag], loaded[tag]);

    p.setParameter(1, 0.11f);
    p.setSteppedValue(347, 7);
    p.setParameter(930, 0.3f);
    const float edited1 = p.getParameter(1), edited347 = p.getParameter(347);
    h.host().automated.clear();

    p.origProgram();
    EXPECT_EQ((int)p.editChanged, 0);
    for (int tag = 0; tag < kNumParams; ++tag) {
        ASSERT_EQ(p.programs[0].values[tag], loaded[tag]) << tag;
        ASSERT_EQ(p.paramValue[tag], loaded[tag]) << tag;
    }
    EXPECT_EQ(p.getParameter(1), loaded[1]);

    p.editProgram();
    EXPECT_EQ((int)p.editChanged, 1);
    EXPECT_EQ(p.getParameter(1), edited1);
    EXPECT_EQ(p.paramValue[347], edited347);
    EXPECT_EQ(p.getParameter(930), 0.3f);

    // Any number of times: the snapshots themselves are left alone.
    p.origProgram();
    p.editProgram();
    EXPECT_EQ(p.getParameter(1), edited1);
    EXPECT_EQ(p.paramOrig[1], loaded[1]);
    EXPECT_TRUE(h.host().automated.empty());
    EXPECT_EQ((int)p.presetPending, 0);
}

TEST_F(ProgramCommands, ClearSetsEveryRecordDefaultTextsIncluded) {
    p.setStringFromParam("Folder", 850, 80, false);
    p.setStringFromParam("Preset", 930, 28, false);
    p.setParameter(1, 0.11f);
    h.host().automated.clear();
    p.clearProgram();
    for (int tag = 0; tag < kNumParams; ++tag) {
        ASSERT_EQ(p.getParameter(tag), p.paramDefault[tag]) << tag;
        ASSERT_EQ(p.paramValue[tag], p.paramDefault[tag]) << tag;
    }
    for (int tag = 128; tag <= 243; ++tag) EXPECT_EQ(p.getParameter(tag), 0.0f) << tag;
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "");
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "");
    EXPECT_EQ((int)p.editChanged, 1);
    EXPECT_TRUE(h.host().automated.empty());
    EXPECT_EQ((int)p.presetPending, 0);
    // The edits are still there to go back to.
    p.editProgram();
    EXPECT_EQ(p.getParameter(1), 0.11f);
}

TEST_F(ProgramCommands, NumberedCommandsMatchTheNamedOnes) {
    p.setParameter(1, 0.11f);
    const float orig = p.paramOrig[1];
    p.doFileCommands(11);
    EXPECT_EQ(p.getParameter(1), orig);
    EXPECT_EQ((int)p.editChanged, 0);
    p.doFileCommands(12);
    EXPECT_EQ(p.getParameter(1), 0.11f);
    EXPECT_EQ((int)p.editChanged, 1);
    p.doFileCommands(13);
    EXPECT_EQ(p.getParameter(1), p.paramDefault[1]);

    p.doFileCommands(12);
    p.editChanged = 0;
    for (int command : {10, 14, 0, -11, std::numeric_limits<int>::max()}) p.doFileCommands(command);
    EXPECT_EQ(p.getParameter(1), 0.11f);
    EXPECT_EQ((int)p.editChanged, 0);
}

TEST_F(ProgramCommands, EditorRedrawsOnlyWhenOpen) {
    p.editorRedrawRequest = 0;
    p.clearProgram();
    EXPECT_EQ((int)p.editorRedrawRequest, 0);
    openFakeEditor(h);
    ASSERT_TRUE(p.isEditorOpen());
    p.origProgram();
    EXPECT_EQ((int)p.editorRedrawRequest, 1);
}

// --- the file test ---------------------------------------------------------------------------

namespace {

int openDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

}  // namespace

TEST(FileExists, OnlyReadableFiles) {
    useScratchHome();
    const std::filesystem::path dir = std::filesystem::path(std::getenv("HOME")) / "fileexists";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "preset.arp").string();
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fputs("V1.0\n", f);
        std::fclose(f);
    }
    EXPECT_FALSE(APlugin::fileExists(""));
    EXPECT_FALSE(APlugin::fileExists((dir / "missing.arp").string()));
    EXPECT_FALSE(APlugin::fileExists(dir.string()));  // a folder is no file to load

    const int before = openDescriptors();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(APlugin::fileExists(file));
    EXPECT_EQ(openDescriptors(), before);  // left closed

    if (::geteuid() != 0) {
        std::filesystem::permissions(file, std::filesystem::perms::none);
        EXPECT_FALSE(APlugin::fileExists(file));
    }
}
