// The play lock (play and arp group held across program changes) and the program commands.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "support/FakeEditor.h"
#include "support/PluginHarness.h"

namespace {

struct Fixture : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();
    void SetUp() override {
        h.run(1);  // the start-up program is applied
        h.host().automated.clear();
    }
    // Loads the program again with some values changed, as a host does, and applies it.
    void changeProgram(const std::vector<std::pair<int, float>>& values) {
        for (const auto& v : values) p.currentProgram().values[v.first] = v.second;
        p.setProgram(0);
        h.run(4096);
        ASSERT_EQ((int)p.presetPending, 0);
    }
    std::vector<float> values(const float* from) { return {from, from + kNumParams}; }
    std::vector<float> values(const SharedFloat* from) { return {from, from + kNumParams}; }
};

using Lock = Fixture;
using ProgramCommands = Fixture;

}  // namespace

TEST_F(Lock, HoldsExactlyThePlayAndArpGroup) {
    // Portamento amount, play and portamento modes, pitch-bend ranges and the whole arp.
    for (int tag = 0; tag < kNumParams; ++tag)
        EXPECT_EQ(p.lockedTag[tag] != 0, tag == 4 || (tag >= 244 && tag <= 247) || (tag >= 394 && tag <= 539)) << tag;
    EXPECT_FALSE(p.getLocked() || p.isTagLocked(244));
    p.setLockState(1);
    EXPECT_TRUE(p.getLocked() && p.getLockState() == 1 && p.isTagLocked(4) && p.isTagLocked(247) && p.isTagLocked(539));
    for (int tag : {540, 347, -1, 1024}) EXPECT_FALSE(p.isTagLocked(tag)) << tag;
}

TEST_F(Lock, OnProgramChangeThenSetKeepsTheHeldGroupAndOffFollowsTheProgram) {
    p.setSteppedValue(244, 3);  // Play Mode
    p.setParameter(4, 0.3f);    // Portamento Amount
    p.setSteppedValue(407, 5);  // Arp Mode
    p.setOff(412);              // arp grid, step 1 on/off
    const float playMode = p.paramValue[244];
    p.setLockState(1);
    changeProgram({{244, 0.0f}, {4, 0.9f}, {407, 0.0f}, {412, 1.0f}, {347, 10.1f / 26.99f}});
    // The program already reports its own values while the held group sounds as before.
    EXPECT_TRUE(p.getParameter(244) == 0.0f && p.getParameter(412) == 1.0f);
    EXPECT_EQ(p.getLockVarStepped(244), 3);
    EXPECT_EQ(p.getLockVar(4), 0.3f);
    EXPECT_EQ(p.getArpMode(), 5);
    EXPECT_FALSE(p.getLockVarOnOff(412));
    // A tag the lock does not hold reads its live value through every locked reader.
    EXPECT_EQ(p.getLockVarStepped(347), 10);
    EXPECT_EQ(p.getLockVar(347), p.paramValue[347]);

    p.editorRefreshRequest = 0;
    h.host().automated.clear();
    p.setLockState(2);  // Set: the held values become the program's, without telling the host
    EXPECT_EQ(p.getLockState(), 0);
    EXPECT_EQ((int)p.editorRefreshRequest, 1);
    EXPECT_TRUE(p.getParameter(244) == playMode && p.paramValue[244] == playMode && p.paramEdited[244] == playMode);
    EXPECT_TRUE(p.getParameter(4) == 0.3f && p.getParameter(412) == 0.0f && p.getSteppedValue(407) == 5);
    EXPECT_EQ(p.getSteppedValue(347), 10);  // not held: the new program's value stays
    EXPECT_TRUE(h.host().automated.empty());
    p.setLockState(1);
    changeProgram({{244, 6.1f / 8.99f}});
    EXPECT_EQ(p.getLockVarStepped(244), 3);
    p.setLockState(0);  // Off: the held group follows the program again
    EXPECT_EQ(p.getLockVarStepped(244), 6);
}

TEST_F(Lock, MenuStatesTakeNoNewSnapshotWithoutCause) {
    const std::vector<float> before = values(p.paramValue);
    p.setLockState(2);  // Set without a snapshot writes nothing
    EXPECT_TRUE(p.getLockState() == 0 && values(p.paramValue) == before);
    p.setParameter(4, 0.2f);
    p.setLockState(1);
    p.paramValue[4] = 0.8f;
    p.setLockState(1);  // picking the current state changes nothing
    EXPECT_EQ(p.getLockVar(4), 0.2f);
    p.setLockState(0);
    p.editorRefreshRequest = 0;
    for (int state : {0, 5, -1}) p.setLockState(state);  // only the three menu states exist
    EXPECT_TRUE(p.getLockState() == 0 && p.editorRefreshRequest == 0);
    p.setParameter(4, 0.6f);
    p.setLockState(2);  // Set from Off writes back the last snapshot
    EXPECT_EQ(p.getParameter(4), 0.2f);
}

TEST_F(Lock, SettersRefuseWhileLockedClampStepsAndIgnoreInvalidTags) {
    p.setParameter(1, 0.4f);
    p.setLockState(1);
    h.host().automated.clear();
    for (int tag : {1, 244, 394, 412, 347}) {
        const float v = p.paramValue[tag];
        p.setLockVar(tag, 0.77f);
        p.setLockVarOnOff(tag, true);
        p.setLockVarStepped(tag, 2);
        EXPECT_EQ(p.paramValue[tag], v) << tag;
    }
    for (int tag : {2000, -1, 1024, std::numeric_limits<int>::min()})
        EXPECT_TRUE(p.getLockVar(tag) == 0.0f && !p.getLockVarOnOff(tag) && p.getLockVarStepped(tag) == 0) << tag;
    p.setLockState(0);
    p.setLockVar(1, 0.77f);
    p.setLockVarOnOff(394, true);
    EXPECT_TRUE(p.getParameter(1) == 0.77f && p.getParameter(394) == 1.0f);
    EXPECT_EQ(h.host().automated.size(), 2u);
    // Steps are clamped.
    for (const auto& [index, value] : {std::pair{99, 8.1f / 8.99f}, {-3, 0.1f / 8.99f}}) {
        p.setLockVarStepped(244, index);
        EXPECT_FLOAT_EQ(p.getParameter(244), value) << index;
    }
    p.setParameter(4, 0.35f);
    h.host().automated.clear();
    p.setLockVarStepped(4, 3);  // a continuous tag has no step index
    for (int tag : {2000, -1, 1024}) {
        p.setLockVar(tag, 0.5f);
        p.setLockVarOnOff(tag, true);
        p.setLockVarStepped(tag, 1);
    }
    EXPECT_TRUE(p.getParameter(4) == 0.35f && p.getLockVarStepped(4) == 0 && h.host().automated.empty());
}

TEST_F(ProgramCommands, CompareGoesBackAndForthWithoutTellingTheHost) {
    const std::vector<float> loaded = values(p.programs[0].values);
    p.editProgram();  // right after loading, the edits are the program itself
    EXPECT_TRUE(p.editChanged == 1 && values(p.programs[0].values) == loaded);
    p.setParameter(1, 0.11f);
    p.setSteppedValue(347, 7);
    p.setParameter(930, 0.3f);
    const float edited347 = p.getParameter(347);
    h.host().automated.clear();
    // Any number of times: the snapshots themselves are left alone.
    for (int round = 0; round < 2; ++round) {
        p.origProgram();
        EXPECT_EQ((int)p.editChanged, 0);
        EXPECT_TRUE(values(p.programs[0].values) == loaded && values(p.paramValue) == loaded);
        p.editProgram();
        EXPECT_EQ((int)p.editChanged, 1);
        EXPECT_TRUE(p.getParameter(1) == 0.11f && p.paramValue[347] == edited347 && p.getParameter(930) == 0.3f);
    }
    EXPECT_TRUE(p.paramOrig[1] == loaded[1] && h.host().automated.empty() && p.presetPending == 0);
    // The editor redraws only when open.
    p.editorRedrawRequest = 0;
    p.clearProgram();
    EXPECT_EQ((int)p.editorRedrawRequest, 0);
    openFakeEditor(h);
    p.origProgram();
    EXPECT_EQ((int)p.editorRedrawRequest, 1);
}

TEST_F(ProgramCommands, ClearSetsEveryRecordDefaultTextsIncludedAndNumberedCommandsMatch) {
    p.setStringFromParam("Folder", 850, 80, false);
    p.setStringFromParam("Preset", 930, 28, false);
    p.setParameter(1, 0.11f);
    h.host().automated.clear();
    p.doFileCommands(13);  // clear
    EXPECT_EQ(values(p.programs[0].values), values(p.paramDefault));
    EXPECT_EQ(values(p.paramValue), values(p.paramDefault));
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false) + p.getStringFromParamStr(930, 28, false, false), "");
    EXPECT_TRUE(p.editChanged == 1 && h.host().automated.empty() && p.presetPending == 0);
    p.doFileCommands(11);  // the original
    EXPECT_EQ(p.getParameter(1), p.paramOrig[1]);
    EXPECT_EQ((int)p.editChanged, 0);
    p.doFileCommands(12);  // the edits are still there to go back to
    EXPECT_EQ(p.getParameter(1), 0.11f);
    p.editChanged = 0;
    for (int command : {10, 14, 0, -11, std::numeric_limits<int>::max()}) p.doFileCommands(command);
    EXPECT_EQ(p.getParameter(1), 0.11f);
    EXPECT_EQ((int)p.editChanged, 0);
}

TEST(FileExists, OnlyReadableFilesAndLeftClosed) {
    useScratchHome();
    const std::filesystem::path dir = std::filesystem::path(std::getenv("HOME")) / "fileexists";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "preset.arp").string();
    if (FILE* f = std::fopen(file.c_str(), "wb")) std::fclose(f);
    for (const std::string& no : {std::string(), (dir / "missing.arp").string(), dir.string()})  // a folder is no file
        EXPECT_FALSE(APlugin::fileExists(no)) << no;
    auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const int before = openDescriptors();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(APlugin::fileExists(file));
    EXPECT_EQ(openDescriptors(), before);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    EXPECT_TRUE(::geteuid() == 0 || !APlugin::fileExists(file));
}
