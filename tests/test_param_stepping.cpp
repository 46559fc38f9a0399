// Stepping parameters by a signed number of steps, as the mouse wheel, the arrow ends of
// option menus and the "Increase/Decrease Value" menu entries do, by kind of parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugin/uPluginTags.h"
#include "support/FakeEditor.h"
#include "support/PluginHarness.h"
#include "vst/AEffEditor.h"

namespace {




struct Stepping : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();
    void SetUp() override {
        h.run(1);  // the start-up program is applied
        h.host().automated.clear();
    }
    bool toldHost(int tag) {
        for (const auto& a : h.host().automated)
            if (a.first == tag) return true;
        return false;
    }
    // The semitone a "Semi" value plays and shows.
    static int semitone(float v) { return (int)(v * 96.99f) - 48; }
};

}  // namespace

// --- semitones ---------------------------------------------------------------------------

TEST_F(Stepping, SemitoneKnobsMoveOneShownSemitonePerDeltaWithoutTellingTheHost) {
    for (int layer = 0; layer < 3; ++layer)
        for (int tag : {SEMI_TAGS[layer], FM_1_SEMI_TAGS[layer], FM_2_SEMI_TAGS[layer]}) {
            p.setParameter(tag, 0.5f);
            ASSERT_EQ(semitone(p.getParameter(tag)), 0) << tag;
            p.changeDelta(tag, 1, false, 1.0f);
            EXPECT_EQ(semitone(p.getParameter(tag)), 1) << tag;
            p.changeDelta(tag, 1, true, 6.0f);  // neither Shift nor the scale changes the step
            EXPECT_EQ(semitone(p.getParameter(tag)), 2) << tag;
            p.changeDelta(tag, -5, false, 1.0f);
            EXPECT_EQ(semitone(p.getParameter(tag)), -3) << tag;
        }
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Stepping, ValuesStopAtBothEnds) {
    const int semi = SEMI_TAGS[0];
    p.setParameter(semi, 1.0f);
    p.changeDelta(semi, 1, false, 1.0f);
    EXPECT_EQ(p.getParameter(semi), 1.0f);
    p.setParameter(semi, 0.0f);
    p.changeDelta(semi, -1, false, 1.0f);
    EXPECT_EQ(p.getParameter(semi), 0.0f);

    p.setParameter(1, 1.0f);  // Main Volume, continuous
    p.changeDelta(1, 1, false, 1.0f);
    EXPECT_EQ(p.getParameter(1), 1.0f);
    p.setParameter(1, 0.0f);
    p.changeDelta(1, -3, false, 1.0f);
    EXPECT_EQ(p.getParameter(1), 0.0f);

    const int fadeOut = LAYER_VEL_SPLIT_FADE_OUT_TAGS[0];
    p.setParameter(fadeOut, 1.0f);
    p.changeDelta(fadeOut, 1, false, 1.0f);
    EXPECT_EQ(p.getParameter(fadeOut), 1.0f);
    const int fadeIn = LAYER_VEL_SPLIT_FADE_IN_TAGS[0];
    p.setParameter(fadeIn, 0.0f);
    p.changeDelta(fadeIn, -1, false, 1.0f);
    EXPECT_EQ(p.getParameter(fadeIn), 0.0f);
}

// --- continuous, stepped and switch records -------------------------------------------------

TEST_F(Stepping, ContinuousStepsAreAutomatedAndFineOrScaled) {
    p.setParameter(1, 0.5f);
    p.changeDelta(1, 1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.51f);
    p.changeDelta(1, -2, true, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.508f);
    p.changeDelta(1, 1, true, 6.0f);
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.514f);
    p.changeDelta(1, 1, false, 6.0f);
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.574f);
    EXPECT_EQ(h.host().automated.size(), 4u);
    EXPECT_TRUE(toldHost(1));
    // A step of nothing (a NaN scale) leaves the value where it is.
    p.changeDelta(1, 1, false, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.574f);
}

TEST_F(Stepping, SteppedRecordsMoveWholeStepsAndStopAtTheEnds) {
    p.setSteppedValue(244, 5);  // Play Mode, 9 choices
    p.changeDelta(244, 1, true, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 6);
    p.changeDelta(244, 2, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 8);
    p.changeDelta(244, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 8);
    p.changeDelta(244, -100, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 0);
    p.changeDelta(244, std::numeric_limits<int>::max(), false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 8);
    p.changeDelta(244, std::numeric_limits<int>::min(), false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 0);
    EXPECT_TRUE(toldHost(244));
}

TEST_F(Stepping, SwitchesGoOnForZeroAndUpOffForDown) {
    const int delayOn = 351;
    p.setParameter(delayOn, 0.0f);
    p.changeDelta(delayOn, 1, false, 1.0f);
    EXPECT_EQ(p.getParameter(delayOn), 1.0f);
    p.changeDelta(delayOn, -1, false, 1.0f);
    EXPECT_EQ(p.getParameter(delayOn), 0.0f);
    p.changeDelta(delayOn, 0, false, 1.0f);
    EXPECT_EQ(p.getParameter(delayOn), 1.0f);
    EXPECT_EQ(h.host().automated.size(), 3u);
}

// --- knobs that become lists ------------------------------------------------------------------

TEST_F(Stepping, LfoSpeedStepsOverPeriodsOnlyWhileSynced) {
    for (int i = 0; i < 2; ++i) {
        const int speed = LFO_SPEED_TAGS[i];
        const int sync = LFO_SYNC_ON_TAGS[i];
        p.setOn(sync);
        p.setSteppedValue(speed, 10, 33.99f, 34);
        p.changeDelta(speed, 1, true, 1.0f);
        EXPECT_EQ(p.getSteppedValue(speed, 33.99f, 34), 11);
        EXPECT_FLOAT_EQ(p.getParameter(speed), 11.1f / 33.99f);
        p.changeDelta(speed, 50, false, 1.0f);
        EXPECT_EQ(p.getSteppedValue(speed, 33.99f, 34), 33);

        p.setOff(sync);
        p.setParameter(speed, 0.5f);
        p.changeDelta(speed, 1, false, 1.0f);
        EXPECT_FLOAT_EQ(p.getParameter(speed), 0.51f);
        p.changeDelta(speed, 1, true, 1.0f);
        EXPECT_FLOAT_EQ(p.getParameter(speed), 0.511f);
    }
}

TEST_F(Stepping, ModFXKnobsFollowSyncAndTheCachedMode) {
    // Knob 1 steps over the periods while synced, whether the section is on or not.
    p.setOff(348);
    p.setOn(350);
    p.setSteppedValue(108, 3, 33.99f, 34);
    p.changeDelta(108, -1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(108, 33.99f, 34), 2);
    p.setOff(350);
    p.setParameter(108, 0.3f);
    p.changeDelta(108, -1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(108), 0.29f);

    // Knob 2: continuous for Chorus, one of nine waves on the grid for Tremolo.
    p.modFXMode = 0;
    p.setParameter(109, 0.3f);
    p.changeDelta(109, 1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(109), 0.31f);
    for (int mode : {6, 7, 8}) {
        p.modFXMode = mode;
        p.setSteppedValue(109, 4, 8.99f, 9);
        p.changeDelta(109, 1, false, 1.0f);
        EXPECT_EQ(p.getSteppedValue(109, 8.99f, 9), 5);
        EXPECT_FLOAT_EQ(p.getParameter(109), 5.1f / 8.99f);
    }
}

TEST_F(Stepping, DistortKnobListsFollowTheCachedMode) {
    p.distortMode = 4;  // Cab: 4 models
    p.setSteppedValue(105, 2, 3.99f, 4);
    p.changeDelta(105, 5, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(105, 3.99f, 4), 3);
    EXPECT_FLOAT_EQ(p.getParameter(105), 3.1f / 3.99f);
    p.distortMode = 0;  // Amp: 6 models
    p.changeDelta(105, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(105, 5.99f, 6), 5);
    p.distortMode = 1;  // Atan: continuous
    p.setParameter(105, 0.5f);
    p.changeDelta(105, 1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(105), 0.51f);
}

TEST_F(Stepping, DelayTimesAndStrumLengthsStepWhileSynced) {
    p.setOn(352);
    for (int tag : {114, 115}) {
        p.setSteppedValue(tag, 14, 14.99f, 15);
        p.changeDelta(tag, 1, false, 1.0f);
        EXPECT_EQ(p.getSteppedValue(tag, 14.99f, 15), 14);
        p.changeDelta(tag, -4, false, 1.0f);
        EXPECT_EQ(p.getSteppedValue(tag, 14.99f, 15), 10);
    }
    p.setOff(352);
    p.setParameter(114, 0.5f);
    p.changeDelta(114, 1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(114), 0.51f);

    for (int chord = 0; chord < 4; ++chord) {
        const int strum = CHORD_STRUM_TAGS[chord];
        p.setOn(CHORD_STRUM_SYNC_ON_TAGS[chord]);
        p.setSteppedValue(strum, 0, 18.99f, 19);
        p.changeDelta(strum, 1, false, 1.0f);
        EXPECT_EQ(p.getSteppedValue(strum, 18.99f, 19), 1);
        p.setOff(CHORD_STRUM_SYNC_ON_TAGS[chord]);
        p.setParameter(strum, 0.2f);
        p.changeDelta(strum, 1, false, 1.0f);
        EXPECT_FLOAT_EQ(p.getParameter(strum), 0.21f);
    }
}

// --- waves, sources, modes ------------------------------------------------------------------

TEST_F(Stepping, WaveStepResetsItsLayersSymmetryEvenAtTheEnd) {
    const int wave = WAVE_TAGS[1];
    const int sym = WAVE_SYM_TAGS[1];
    p.setSteppedValue(wave, 4);
    p.setParameter(sym, 0.9f);
    p.setParameter(WAVE_SYM_TAGS[0], 0.9f);
    p.changeDelta(wave, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(wave), 5);
    EXPECT_EQ(p.getParameter(sym), 0.5f);
    EXPECT_EQ(p.getParameter(WAVE_SYM_TAGS[0]), 0.9f);
    p.setParameter(sym, 0.2f);
    h.host().automated.clear();
    p.changeDelta(wave, 1, false, 1.0f);  // already the last wave
    EXPECT_EQ(p.getSteppedValue(wave), 5);
    EXPECT_EQ(p.getParameter(sym), 0.5f);
    EXPECT_TRUE(toldHost(wave));
    EXPECT_TRUE(toldHost(sym));
}

TEST_F(Stepping, ModSourcesFollowTheMenuOrder) {
    struct Case {
        int from, delta, to;
    };
    const Case cases[] = {
        {6, 1, 133},   {133, 1, 134}, {134, 1, 7},   {7, -1, 134},  {134, -1, 133},
        {133, -1, 6},  {132, 1, 135}, {135, 1, 136}, {136, 1, 136}, {135, -1, 132},
        {6, 3, 133},   {7, -5, 134},  {10, 2, 12},   {0, -1, 0},    {5, 1, 6},
        {131, 1, 132}, {136, -1, 135}};
    for (int slot = 0; slot < 8; ++slot) {
        const int tag = MOD_SRC_TAGS[slot];
        for (const Case& c : cases) {
            p.setSteppedValue(tag, c.from);
            ASSERT_EQ(p.getSteppedValue(tag), c.from);
            p.changeDelta(tag, c.delta, false, 1.0f);
            EXPECT_EQ(p.getSteppedValue(tag), c.to)
                << "slot " << slot << " from " << c.from << " by " << c.delta;
        }
    }
}

TEST_F(Stepping, SectionModesAndLayerSourcesUpdateAnOpenEditor) {
    p.setSteppedValue(281, 0);
    p.changeDelta(281, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(281), 1);
    p.changeDelta(347, 1, false, 1.0f);
    p.changeDelta(349, 1, false, 1.0f);

    FakeEditor* editor = openFakeEditor(h);
    ASSERT_TRUE(p.isEditorOpen());
    p.changeDelta(281, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(281), 2);
    EXPECT_EQ(editor->layer, 1);
    p.setSteppedValue(347, 3);
    p.changeDelta(347, -1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(347), 2);
    EXPECT_EQ(editor->distort, 1);
    p.setSteppedValue(349, 10);
    p.changeDelta(349, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(349), 10);
    EXPECT_EQ(editor->modFX, 1);
    EXPECT_EQ(editor->layer, 1);

    // While the editor is still being opened it is not asked.
    p.editorOpening = 1;
    p.setSteppedValue(313, 0);
    p.changeDelta(313, 1, false, 1.0f);
    EXPECT_EQ(editor->layer, 1);
    EXPECT_EQ(p.getSteppedValue(313), 1);
}

// --- velocity split handles -------------------------------------------------------------------

TEST_F(Stepping, VelocityHandlesNeverPassTheirNeighbours) {
    const int* t = &LAYER_VEL_TAGS[0];
    p.setParameter(t[0], 0.2f);
    p.setParameter(t[1], 0.205f);
    p.setParameter(t[2], 0.6f);
    p.setParameter(t[3], 0.605f);
    h.host().automated.clear();

    p.changeDelta(t[0], 1, false, 1.0f);  // fade in up: stops at start
    EXPECT_FLOAT_EQ(p.getParameter(t[0]), 0.205f);
    p.changeDelta(t[3], -1, false, 1.0f);  // fade out down: stops at end
    EXPECT_FLOAT_EQ(p.getParameter(t[3]), 0.6f);
    p.changeDelta(t[1], -1, false, 1.0f);  // start down: stops at fade in
    EXPECT_FLOAT_EQ(p.getParameter(t[1]), 0.205f);
    p.changeDelta(t[2], 1, false, 1.0f);  // end up: stops at fade out
    EXPECT_FLOAT_EQ(p.getParameter(t[2]), 0.6f);
    p.changeDelta(t[1], 1, false, 1.0f);  // free to move inside its neighbours
    EXPECT_FLOAT_EQ(p.getParameter(t[1]), 0.215f);
    p.changeDelta(t[1], 1, true, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(t[1]), 0.216f);
    EXPECT_TRUE(h.host().automated.empty());

    // Other layers keep to their own handles.
    const int* t3 = &LAYER_VEL_TAGS[8];
    p.setParameter(t3[0], 0.0f);
    p.setParameter(t3[1], 0.5f);
    p.changeDelta(t3[0], 3, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(t3[0]), 0.03f);
}

// --- the arp preset browser ---------------------------------------------------------------

TEST_F(Stepping, ArpFolderSelectorStopsAtTheEndsAndWritesNoValue) {
    const float folderValue = p.getParameter(848);
    p.arpFolderCount = 3;
    p.curArpFolder = 2;
    p.changeDelta(848, 1, false, 1.0f);
    EXPECT_EQ(p.curArpFolder, 2);
    p.curArpFolder = 0;
    p.changeDelta(848, -1, false, 1.0f);
    EXPECT_EQ(p.curArpFolder, 0);
    p.editorRefreshRequest = 0;
    p.changeDelta(848, 2, false, 1.0f);
    EXPECT_EQ(p.curArpFolder, 2);
    EXPECT_EQ((int)p.editorRefreshRequest, 1);
    EXPECT_EQ(p.getParameter(848), folderValue);
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Stepping, ArpPresetSelectorMovesOnlyToPresetsThatExist) {
    const float presetValue = p.getParameter(849);
    p.arpPresetCount = 0;  // nothing browsed yet
    p.curArpPreset = 0;
    p.changeDelta(849, 1, false, 1.0f);
    p.changeDelta(849, -1, false, 1.0f);
    EXPECT_EQ(p.curArpPreset, 0);
    EXPECT_EQ(p.getParameter(849), presetValue);
    EXPECT_TRUE(h.host().automated.empty());
}

// --- lock and guards --------------------------------------------------------------------------

TEST_F(Stepping, LockedTagsDoNotMoveUntilTheLockIsOff) {
    p.setSteppedValue(244, 2);
    p.setParameter(4, 0.5f);
    p.setLockState(1);
    p.changeDelta(244, 1, false, 1.0f);
    p.changeDelta(4, 1, false, 1.0f);
    p.changeDelta(400, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 2);
    EXPECT_EQ(p.getParameter(4), 0.5f);
    // Tags the lock does not hold still move.
    p.setParameter(1, 0.5f);
    p.changeDelta(1, 1, false, 1.0f);
    EXPECT_FLOAT_EQ(p.getParameter(1), 0.51f);
    p.setLockState(0);
    p.changeDelta(244, 1, false, 1.0f);
    EXPECT_EQ(p.getSteppedValue(244), 3);
}

TEST_F(Stepping, InvalidTagsAreIgnored) {
    for (int tag : {-1, 1024, 99999, std::numeric_limits<int>::min()}) {
        p.changeDelta(tag, 1, false, 1.0f);
        p.changeDeltaStepped(tag, 1, 8.99f, 9);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Stepping, CallerListsStopAtBothEnds) {
    p.setSteppedValue(557, 17, 18.99f, 19);
    p.changeDeltaStepped(557, 1, 18.99f, 19);
    p.changeDeltaStepped(557, 1, 18.99f, 19);
    EXPECT_EQ(p.getSteppedValue(557, 18.99f, 19), 18);
    p.changeDeltaStepped(557, -30, 18.99f, 19);
    EXPECT_EQ(p.getSteppedValue(557, 18.99f, 19), 0);
    EXPECT_TRUE(toldHost(557));
}
