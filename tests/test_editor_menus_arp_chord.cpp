// The arpeggiator, chord and strum menus, driven through the scripted menu presenter, the
// scripted entry boxes and file selections.
#include "test_editor_menu_util.h"

#include <cstdlib>
#include <fstream>

#include "plugin/uPluginTags.h"

using namespace menutest;

namespace {

constexpr int kTune = 460, kTie = 428, kOn = 412;
const char* const kCells = "Step / Row / Cell Commands";

void setActiveSteps(Bench& b, int n) { b.set(395, (n - 1 + 0.1f) / b.p().getSteppedRange(395)); }

// Tune row: a distinct value per step; tie row: step 1 tied, steps 5..16 tied.
void fillArp(Bench& b) {
    for (int s = 0; s < 16; ++s) {
        b.set(kTune + s, 0.05f * s + 0.1f);
        b.set(kTie + s, s == 0 || s >= 4 ? 1.0f : 0.0f);
    }
}

void arpMenu(Bench& b, const std::vector<std::string>& path, const char* typed = nullptr, int row = -1,
             int step = -1) {
    if (typed) platform::dialogScriptOk(typed);
    b.menus.choose(path);
    b.ed->showArpMenu(row, step, row >= 0);
}

}  // namespace

TEST(ArpMenu, MovesAndReverseActOnTheActiveStepsOfEveryRow) {
    const struct {
        const char* command;
        const char* typed;
        int from[4];  // new step i takes old step from[i]
    } rows[] = {
        {"Move Arp Right", nullptr, {3, 0, 1, 2}}, {"Move Arp Left", nullptr, {1, 2, 3, 0}},
        {"Move Arp", "10", {2, 3, 0, 1}},          {"Move Arp", "-10", {2, 3, 0, 1}},
        {"Move Arp", "20", {1, 2, 3, 0}},          {"Move Arp", "15", {1, 2, 3, 0}},
        {"Move Arp", "abc", {0, 1, 2, 3}},         {"Reverse Arp", nullptr, {3, 2, 1, 0}},
    };
    Bench b;
    setActiveSteps(b, 4);
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + (r.typed ? r.typed : ""));
        fillArp(b);
        float tune[16], tie[16];
        for (int s = 0; s < 16; ++s) tune[s] = b.get(kTune + s), tie[s] = b.get(kTie + s);
        arpMenu(b, {r.command}, r.typed);
        for (int s = 0; s < 16; ++s) {
            const int from = s < 4 ? r.from[s] : s;
            EXPECT_EQ(b.get(kTune + s), tune[from]) << s;
            EXPECT_EQ(b.get(kTie + s), tie[from]) << s;
        }
    }
}

TEST(ArpMenu, TransposeRandomiseResetAndTheCellMenu) {
    Bench b;
    setActiveSteps(b, 3);
    b.set(kTune, 0.0f);
    b.set(kTune + 1, 0.9f);
    b.set(kTune + 3, 0.0f);
    arpMenu(b, {"Transpose Arp"}, "40");
    const float t0 = b.get(kTune);
    EXPECT_NEAR(t0, 36.0f / 72.99f, 1e-6f);
    EXPECT_EQ(b.get(kTune + 1), 1.0f) << "stops at the end of the range";
    EXPECT_EQ(b.get(kTune + 3), 0.0f) << "past the active steps";
    arpMenu(b, {"Undo"});
    arpMenu(b, {"Transpose Arp"}, "36");
    EXPECT_EQ(b.get(kTune), t0);

    // "Randomize Step" leaves the step's on/off and tie; its writes are plain.
    b.set(kOn + 2, 1.0f);
    b.set(kTie + 2, 1.0f);
    const float before = b.get(kTune + 2);
    b.h.host().automated.clear();
    arpMenu(b, {kCells, "Randomize Step"}, nullptr, 5, 2);
    EXPECT_EQ(b.get(kOn + 2), 1.0f);
    EXPECT_EQ(b.get(kTie + 2), 1.0f);
    EXPECT_NE(b.get(kTune + 2), before);
    EXPECT_EQ(b.heard(), std::vector<int>{394}) << "only the arp switch, which is always sent";

    // Reset and original values keep the arp switch.
    for (const char* c : {"Reset Arp", "Set Arp to Original Value"}) {
        b.set(394, 1.0f);
        b.set(kTune, 0.77f);
        arpMenu(b, {c});
        EXPECT_EQ(b.get(394), 1.0f) << c;
        EXPECT_NE(b.get(kTune), 0.77f) << c;
    }

    // The cell commands are offered on grid cells only.
    const struct {
        int row, step;
        bool offered;
    } cells[] = {{7, 15, true}, {0, 0, true}, {8, 3, false}, {2, 16, false}, {-1, 4, false}, {3, -1, false}};
    for (const auto& c : cells) {
        b.menus.dismiss();
        b.ed->showArpMenu(c.row, c.step, true);
        EXPECT_EQ(b.shows(std::string(kCells) + " >"), c.offered) << c.row << "," << c.step;
    }
}

TEST(ArpMenu, PresetFilesRoundTripAndABadFileChangesNothing) {
    Bench b;
    const std::string dir = std::string(std::getenv("XDG_DATA_HOME")) + "/";
    fillArp(b);
    arpMenu(b, {"Save Arp Preset"});  // cancelled: no file
    platform::fileSelectScriptChoose(dir + "a.arp");
    arpMenu(b, {"Save Arp Preset"});
    std::vector<float> saved;
    for (int tag = 394; tag <= 539; ++tag) saved.push_back(b.get(tag));
    for (int s = 0; s < 16; ++s) b.set(kTune + s, 0.5f);
    platform::fileSelectScriptChoose(dir + "a.arp");
    arpMenu(b, {"Load Arp Preset"});
    for (int tag = 394; tag <= 539; ++tag) EXPECT_NEAR(b.get(tag), saved[tag - 394], 1e-6f) << tag;

    // One value too few, a value out of range, a word: refused whole.
    for (const char* tail : {"", "1.000001\n", "x\n"}) {
        std::ofstream f(dir + "bad.arp");
        f << "V1.0\n";
        for (int i = 0; i < 145; ++i) f << "0.250000\n";
        f << tail;
        f.close();
        for (int s = 0; s < 16; ++s) b.set(kTune + s, 0.5f);
        platform::dialogTranscriptClear();
        platform::fileSelectScriptChoose(dir + "bad.arp");
        arpMenu(b, {"Load Arp Preset"});
        EXPECT_EQ(b.get(kTune), 0.5f) << tail;
        EXPECT_EQ(b.get(394), saved[0]) << tail;
        ASSERT_FALSE(platform::dialogTranscript().empty());
        EXPECT_EQ(platform::dialogTranscript().back().text, "Problem with Preset");
    }
}

TEST(ChordMenu, PresetOnASixNoteChordAndUndoOfChordFour) {
    for (int c : {0, 3}) {
        SCOPED_TRACE(c);
        Bench b;
        b.ed->selectChord(c);
        const int semi = CHORD_SEMI_TAGS[c], fine = CHORD_FINE_TAGS[c], vol = CHORD_VEL_TAGS[c],
                  pan = CHORD_PAN_TAGS[c];
        b.set(CHORD_NOTES_TAGS[c], 5.1f / 5.99f);
        for (int i = 0; i < 6; ++i)
            for (int row : {semi, fine, vol, pan}) b.set(row + i, 0.03f * i + 0.2f + 0.01f * (row - semi));
        std::vector<float> before;
        for (int tag = 554; tag <= 663; ++tag) before.push_back(b.get(tag));
        b.h.host().automated.clear();
        b.menus.choose({"Chord Presets", "Major 7"});
        b.ed->showChordMenu(-1);
        const int semis[4] = {0, 4, 7, 11};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(b.get(semi + i), (semis[i] + 48.1f) / 96.99f);
            for (int row : {fine, vol, pan}) EXPECT_EQ(b.get(row + i), b.p().getDefaultValue(row + i));
        }
        for (int i = 4; i < 6; ++i) EXPECT_EQ(b.get(pan + i), before[pan + i - 554]);
        EXPECT_EQ(b.p().getSteppedValue(CHORD_NOTES_TAGS[c]), 3);
        EXPECT_FALSE(b.heardOf(semi)) << "the semitones are computed, written plainly";
        EXPECT_TRUE(b.heardOf(CHORD_NOTES_TAGS[c]));
        b.menus.choose({"Undo"});
        b.ed->showChordMenu(-1);
        for (int tag = 554; tag <= 663; ++tag) EXPECT_EQ(b.get(tag), before[tag - 554]) << tag;
    }
}

TEST(ChordMenu, InterpolationCopyAndSwap) {
    Bench b;
    const int vol = CHORD_VEL_TAGS[0];
    b.set(CHORD_NOTES_TAGS[0], 2.1f / 5.99f);  // three notes
    for (int i = 0; i < 6; ++i) b.set(vol + i, 0.1f * i + 0.05f);
    b.menus.choose({"Interpolate Volume Values"});
    b.ed->showChordMenu(-1);
    EXPECT_EQ(b.get(vol), 0.05f);
    EXPECT_FLOAT_EQ(b.get(vol + 1), 0.15f);
    EXPECT_EQ(b.get(vol + 2), 0.25f);
    EXPECT_FLOAT_EQ(b.get(vol + 3), 0.35f);
    b.set(CHORD_NOTES_TAGS[0], 0.1f / 5.99f);  // one note: nothing to interpolate
    b.set(vol + 1, 0.9f);
    b.menus.choose({"Interpolate Volume Values"});
    b.ed->showChordMenu(-1);
    EXPECT_EQ(b.get(vol + 1), 0.9f);

    // Copy and swap with chord 3 act; 0, 5, a word, nothing or the chord itself do nothing.
    const struct {
        const char* command;
        const char* typed;
        bool acts;
    } rows[] = {{"Copy Chord", "3", true}, {"Swap Chords", "3", true}, {"Copy Chord", "0", false},
                {"Copy Chord", "5", false}, {"Swap Chords", "three", false}, {"Swap Chords", "", false},
                {"Copy Chord", "1", false}, {"Swap Chords", "1", false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + r.typed);
        float one[27], three[27];
        for (int i = 0; i < 27; ++i) {
            b.set(556 + i, 0.3f + 0.02f * i);
            b.set(610 + i, 0.9f - 0.02f * i);
            one[i] = b.get(556 + i);
            three[i] = b.get(610 + i);
        }
        platform::dialogScriptOk(r.typed);
        b.menus.choose({r.command});
        b.ed->showChordMenu(-1);
        const bool swap = std::string(r.command) == "Swap Chords";
        for (int i = 0; i < 27; ++i) {
            EXPECT_EQ(b.get(556 + i), r.acts && swap ? three[i] : one[i]) << i;
            EXPECT_EQ(b.get(610 + i), r.acts ? one[i] : three[i]) << i;
        }
    }
}

TEST(StrumMenu, EntriesFollowTheSyncSwitchAndNoUndoIsTaken) {
    Bench b;
    b.ed->selectChord(2);
    const int strum = CHORD_STRUM_TAGS[2], sync = CHORD_STRUM_SYNC_ON_TAGS[2];
    b.set(sync, 0.0f);
    b.menus.dismiss();
    b.ed->showStrumMenu(strum);
    EXPECT_TRUE(b.shows("(grey) User Chord 3 Strum Command Menu"));
    EXPECT_TRUE(b.shows("Set Strum Length"));
    EXPECT_FALSE(b.shows("Set to Off"));
    b.set(sync, 1.0f);
    b.h.host().automated.clear();
    b.menus.choose({"Set to 1 QB*"});
    b.ed->showStrumMenu(strum);
    EXPECT_FALSE(b.shows("Set Strum Length"));
    EXPECT_EQ(b.p().getSteppedValue(strum, 18.99f, 19), 18);
    EXPECT_EQ(b.heard(), std::vector<int>{strum});
    // Spreading the strum: plain here, heard by the host from the chord menu.
    b.h.host().automated.clear();
    b.menus.choose({"Set Current Strum to All"});
    b.ed->showStrumMenu(strum);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(b.get(CHORD_STRUM_TAGS[j]), b.get(strum));
    EXPECT_TRUE(b.heard().empty());
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionAllChords), -1);
    b.menus.choose({"Set Current Strum to All"});
    b.ed->showChordMenu(-1);
    EXPECT_EQ(b.heard().size(), 8u);
}
