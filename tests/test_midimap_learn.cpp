// MIDI learn and soft takeover: a learned controller moves its parameter only once it has
// come near the parameter's value; typed controller numbers; unlearning; clearing the map;
// the capture state set back to the program's values.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "test_engine_util.h"

using namespace enginetest;

namespace {

constexpr int kTag = 2;  // "Velocity > Volume", a continuous parameter

class MidiLearn : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        saveBoolToPrefs("MIDICapture", true);
        e.p().resetMIDI();
    }
    void TearDown() override {
        e.p().resetMIDI();
        saveBoolToPrefs("MIDICapture", true);
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
    void cc(int controller, int value) {
        e.send({{0xB0, (uint8_t)controller, (uint8_t)value}});
        e.render(1);
    }
    float value(int tag) { return e.p().getParameter(tag); }
    Engine e;
};

}  // namespace

TEST_F(MidiLearn, ALearnedControllerTakesOverOnlyOnceItReachesTheValue) {
    APlugin& p = e.p();
    p.setParameter(kTag, 0.8f);
    p.setMIDILatch(kTag, true);
    cc(20, 0);  // learns controller 20 for the tag
    EXPECT_EQ(p.midiCCMap[20], kTag);
    EXPECT_FLOAT_EQ(value(kTag), 0.8f) << "far from the value: no jump";
    for (int v : {10, 40, 80, 95}) {
        cc(20, v);
        EXPECT_FLOAT_EQ(value(kTag), 0.8f) << "controller at " << v;
    }
    cc(20, 100);  // 0.787: within 0.025 of 0.8
    EXPECT_NEAR(value(kTag), 100.0f / 127.0f, 1e-6f);
    cc(20, 30);  // from now on it follows
    EXPECT_NEAR(value(kTag), 30.0f / 127.0f, 1e-6f);

    // The assignment outlives the plug-in: it reaches the preference store off the audio
    // thread.
    p.flushMIDILearnPrefs();
    EXPECT_EQ(getMIDICC(20), kTag);
}

TEST_F(MidiLearn, WithoutSoftTakeoverTheControllerMovesTheParameterAtOnce) {
    APlugin& p = e.p();
    saveBoolToPrefs("MIDICapture", false);
    p.resetMIDICapture();  // what toggling the setting does
    p.setParameter(kTag, 0.8f);
    p.setMIDILatch(kTag, true);
    cc(21, 0);
    EXPECT_FLOAT_EQ(value(kTag), 0.0f);
    cc(21, 64);
    EXPECT_NEAR(value(kTag), 64.0f / 127.0f, 1e-6f);
}

TEST_F(MidiLearn, UnlearningClearsEveryControllerOfTheTagAndOnlyItsTakeover) {
    APlugin& p = e.p();
    p.setParameter(kTag, 0.5f);
    p.setParameter(3, 0.5f);
    p.setMIDILatch(kTag, true);
    cc(30, 64);
    platform::dialogScriptOk("31");
    p.setMIDICCNum(kTag);
    EXPECT_EQ(p.midiCCMap[30], kTag);
    EXPECT_EQ(p.midiCCMap[31], kTag);
    p.setMIDILatch(3, true);
    cc(32, 64);  // pan, near 0.5: taken over
    ASSERT_TRUE(p.midiLatched[3]);
    ASSERT_TRUE(p.midiLatched[kTag]);

    const float held = value(kTag);
    p.setMIDILatch(kTag, false);
    EXPECT_EQ(p.midiCCMap[30], 0);
    EXPECT_EQ(p.midiCCMap[31], 0);
    EXPECT_EQ(getMIDICC(30), 0);
    EXPECT_EQ(getMIDICC(31), 0);
    EXPECT_FALSE(p.midiLatched[kTag]);
    EXPECT_EQ(p.midiCaptured[kTag], 0.0f);
    EXPECT_EQ(p.midiCCMap[32], 3) << "other assignments stay";
    EXPECT_TRUE(p.midiLatched[3]);
    cc(30, 0);
    EXPECT_FLOAT_EQ(value(kTag), held) << "an unlearned controller does nothing";
}

TEST_F(MidiLearn, TypedControllerNumbersAreHeldToTheRangeAndTextWithoutANumberDoesNothing) {
    APlugin& p = e.p();
    platform::dialogScriptOk("200");
    p.setMIDICCNum(kTag);
    EXPECT_EQ(p.midiCCMap[127], kTag);
    EXPECT_EQ(getMIDICC(127), kTag);
    const auto t = platform::dialogTranscript();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].title, "MIDI CC (0 - 127)");
    EXPECT_EQ(t[0].text, "MIDI CC: " + p.getParameterNameStr(kTag));
    EXPECT_EQ(t[0].initial, "");

    platform::dialogScriptOk("-5");
    p.setMIDICCNum(5);
    EXPECT_EQ(p.midiCCMap[0], 5);
    platform::dialogScriptOk("99999999999999999999999");
    p.setMIDICCNum(6);
    EXPECT_EQ(p.midiCCMap[127], 6);

    int32_t before[128];
    std::memcpy(before, p.midiCCMap, sizeof(before));
    platform::dialogScriptOk("abc");
    p.setMIDICCNum(7);
    platform::dialogScriptOk("");
    p.setMIDICCNum(7);
    platform::dialogScriptCancel();
    p.setMIDICCNum(7);
    p.setMIDICCNum(5000);  // not a tag: no box at all
    EXPECT_EQ(std::memcmp(before, p.midiCCMap, sizeof(before)), 0);
    EXPECT_EQ(platform::dialogTranscript().size(), 6u);
}

TEST_F(MidiLearn, ClearingTheMapEmptiesItAndTheStore) {
    APlugin& p = e.p();
    platform::dialogScriptOk("40");
    p.setMIDICCNum(kTag);
    platform::dialogScriptOk("41");
    p.setMIDICCNum(3);
    ASSERT_EQ(getMIDICC(40), kTag);
    p.setParameter(kTag, 0.3f);
    p.resetMIDI();
    for (int c = 0; c < 128; ++c) {
        EXPECT_EQ(p.midiCCMap[c], 0) << c;
        EXPECT_EQ(getMIDICC(c), 0) << c;
    }
    EXPECT_FLOAT_EQ(p.midiCaptured[kTag], 0.3f);
}

TEST_F(MidiLearn, CaptureStartsAgainFromTheProgramsValues) {
    APlugin& p = e.p();
    p.setParameter(kTag, 0.6f);
    p.setParameter(3, 0.2f);
    p.midiLatched[kTag] = 1;
    p.resetMIDICapture();
    EXPECT_FLOAT_EQ(p.midiCaptured[kTag], 0.6f);
    EXPECT_FLOAT_EQ(p.midiCaptured[3], 0.2f);
    EXPECT_FALSE(p.midiLatched[kTag]);
    // A controller mapped now picks the parameter up near its value.
    platform::dialogScriptOk("50");
    p.setMIDICCNum(kTag);
    cc(50, 0);
    EXPECT_FLOAT_EQ(value(kTag), 0.6f);
    cc(50, 76);  // 0.598
    EXPECT_NEAR(value(kTag), 76.0f / 127.0f, 1e-6f);
}

TEST_F(MidiLearn, ArmingWithoutAValidTagLearnsNothingAndAllNotesOffIsNeverLearned) {
    APlugin& p = e.p();
    p.setMIDILatch(-3, true);
    EXPECT_FALSE(p.midiLearnArmed);
    p.setMIDILatch(kTag, true);
    cc(123, 0);  // all notes off: not a controller to learn
    EXPECT_EQ(p.midiCCMap[123], 0);
    EXPECT_TRUE(p.midiLearnArmed) << "still waiting for a controller";
    cc(60, 10);
    EXPECT_EQ(p.midiCCMap[60], kTag);
    EXPECT_FALSE(p.midiLearnArmed);
}
