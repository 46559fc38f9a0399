// The arpeggiator's note players in process, without host time (so it starts at once and
// runs at 120 BPM): note orders, octaves, transposition, ratchets, ties, off steps, swing,
// loops, ping-pong, note length, latch, the sequencer and chord modes.
#include <gtest/gtest.h>

#include <set>

#include "test_arp_util.h"

using namespace arptest;

namespace {

constexpr double kStep44 = 5512.5;  // one sixteenth at 120 BPM and 44.1 kHz

class ArpPlayer : public ::testing::Test {
protected:
    // An engine at 44.1 kHz in the Arp play mode with `mode`, the keys pressed in order.
    void start(int mode, const std::vector<int>& keys, const Params& more = {}) {
        e.p().setSampleRate(44100.0f);
        e.set(arpSetup(mode, more));
        e.render(256);
        ASSERT_EQ(e.p().playMode, 8);
        ASSERT_EQ(e.p().arpMode, mode);
        for (int k : keys) e.noteOn(k, 100);
    }
    std::vector<NoteStart> record(double steps) {
        StartRecorder r(e);
        return r.run((int)(steps * kStep44));
    }
    Engine e;
};

std::vector<int> repeatPattern(const std::vector<int>& pattern, size_t n) {
    std::vector<int> out;
    for (size_t i = 0; i < n; ++i) out.push_back(pattern[i % pattern.size()]);
    return out;
}

}  // namespace

TEST_F(ArpPlayer, UpPlaysTheHeldKeysByPitchOneSixteenthApart) {
    start(0, {67, 60, 64});
    const auto starts = record(9.5);
    ASSERT_GE(starts.size(), 9u);
    EXPECT_EQ(notesOf(starts), repeatPattern({60, 64, 67}, starts.size()));
    for (size_t k = 1; k < starts.size(); ++k) {
        const double at = (double)(starts[k].sample - starts[0].sample);
        EXPECT_NEAR(at, k * kStep44, 16.0) << "step " << k;
    }
}

TEST_F(ArpPlayer, OrderedModesFollowTheOrderTheKeysWerePressed) {
    start(5, {67, 60, 64});
    EXPECT_EQ(notesOf(record(6.5)), repeatPattern({67, 60, 64}, 7));
}

TEST_F(ArpPlayer, ReverseOrderPlaysTheKeysLastPressedFirst) {
    start(6, {67, 60, 64});
    EXPECT_EQ(notesOf(record(5.5)), repeatPattern({64, 60, 67}, 6));
}

TEST_F(ArpPlayer, DownPlaysByFallingPitch) {
    start(1, {64, 67, 60});
    EXPECT_EQ(notesOf(record(5.5)), repeatPattern({67, 64, 60}, 6));
}

TEST_F(ArpPlayer, UpDownAndDownUpTurnWithoutRepeatingTheEnds) {
    start(2, {67, 60, 64});
    EXPECT_EQ(notesOf(record(8.5)), (std::vector<int>{60, 64, 67, 64, 60, 64, 67, 64, 60}));
}

TEST_F(ArpPlayer, DownUpStartsAtTheTop) {
    start(3, {60, 64, 67});
    EXPECT_EQ(notesOf(record(6.5)), (std::vector<int>{67, 64, 60, 64, 67, 64, 60}));
}

TEST_F(ArpPlayer, OrderedUpDownUsesTheKeyOrder) {
    start(7, {64, 60, 67});
    EXPECT_EQ(notesOf(record(6.5)), (std::vector<int>{64, 60, 67, 60, 64, 60, 67}));
}

TEST_F(ArpPlayer, RandomPlaysOnlyHeldKeysAndReachesEveryOne) {
    start(4, {60, 64, 67});
    const auto starts = record(60.5);
    ASSERT_GE(starts.size(), 60u);
    std::set<int> seen;
    for (const auto& s : starts) {
        EXPECT_TRUE(s.note == 60 || s.note == 64 || s.note == 67) << s.note;
        seen.insert(s.note);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(ArpPlayer, OctavesRiseEachTimeThePatternOfKeysComesRound) {
    start(0, {60, 64}, {{408, octaveValue(2)}});
    const auto starts = record(8.5);
    ASSERT_GE(starts.size(), 8u);
    const float expected[8] = {60, 64, 72, 76, 60, 64, 72, 76};
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(starts[k].semitones, expected[k], 1e-3) << k;
}

TEST_F(ArpPlayer, TheTuneRowTransposesEachStep) {
    start(0, {60}, {{kRowTune + 1, tuneValue(7)}, {kRowTune + 2, tuneValue(-12)}});
    const auto starts = record(3.5);
    ASSERT_GE(starts.size(), 3u);
    EXPECT_NEAR(starts[0].semitones, 60.0f, 1e-3);
    EXPECT_NEAR(starts[1].semitones, 67.0f, 1e-3);
    EXPECT_NEAR(starts[2].semitones, 48.0f, 1e-3);
}

TEST_F(ArpPlayer, ARatchetOfFourSoundsTheStepFourTimes) {
    start(0, {60}, {{411, ratchetModeValue(1)}, {kRowRatchet + 0, ratchetValue(3)}, {kRowRatchet + 2, ratchetValue(1)}});
    const auto starts = record(3.5);
    // Step 0: four hits a quarter step apart; step 1: one; step 2: two, half a step apart.
    ASSERT_EQ(starts.size(), 4u + 1u + 2u + 1u);
    const uint32_t t0 = starts[0].sample;
    for (int k = 0; k < 4; ++k) EXPECT_NEAR((double)(starts[k].sample - t0), k * kStep44 / 4.0, 16.0) << k;
    EXPECT_NEAR((double)(starts[4].sample - t0), kStep44, 16.0);
    EXPECT_NEAR((double)(starts[5].sample - t0), 2.0 * kStep44, 16.0);
    EXPECT_NEAR((double)(starts[6].sample - t0), 2.5 * kStep44, 16.0);
    EXPECT_NEAR((double)(starts[7].sample - t0), 3.0 * kStep44, 16.0);
}

TEST_F(ArpPlayer, RatchetsFollowTheirCycleAcrossPasses) {
    // "Off/On Cycle" over a two-step pattern: ratchets only on odd passes.
    start(0, {60}, {{395, stepsValue(2)}, {411, ratchetModeValue(2)}, {kRowRatchet + 0, ratchetValue(1)}});
    const auto starts = record(8.5);
    std::vector<int> perStep(9, 0);
    const uint32_t t0 = starts.at(0).sample;
    for (const auto& s : starts) {
        const int step = (int)((double)(s.sample - t0 + 20) / kStep44);
        if (step < 9) ++perStep[step];
    }
    EXPECT_EQ(perStep, (std::vector<int>{1, 1, 2, 1, 1, 1, 2, 1, 1}));
}

TEST_F(ArpPlayer, OffStepsAndOffRatchetModePlayNothingExtra) {
    start(0, {60}, {{kRowOn + 1, 0.0f}, {kRowRatchet + 0, ratchetValue(3)}});  // ratchet mode Off
    const auto starts = record(2.5);
    ASSERT_EQ(starts.size(), 2u) << "step 0 once (ratchets off), step 1 silent, step 2";
    EXPECT_NEAR((double)(starts[1].sample - starts[0].sample), 2.0 * kStep44, 16.0);
}

TEST_F(ArpPlayer, AnOffStepAfterARatchetDoesNotRatchet) {
    start(0, {60}, {{411, ratchetModeValue(1)}, {kRowRatchet + 0, ratchetValue(1)}, {kRowOn + 1, 0.0f}});
    StartRecorder r(e);
    EXPECT_EQ(r.run((int)(0.9 * kStep44)).size(), 2u) << "two hits in step 0";
    EXPECT_TRUE(r.run((int)(1.0 * kStep44)).empty()) << "none in the off step 1";
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(e.p().voiceKeyOn[v]) << v;
    EXPECT_EQ(r.run((int)(1.0 * kStep44)).size(), 1u) << "one in step 2";
}

TEST_F(ArpPlayer, ATiedStepHoldsTheNoteAndSpecialMovesItToTheStepsTune) {
    {
        start(0, {60, 64}, {{kRowTie + 1, 1.0f}, {kRowTune + 1, tuneValue(5)}});
        const auto starts = record(3.5);
        ASSERT_EQ(starts.size(), 3u);
        EXPECT_NEAR((double)(starts[1].sample - starts[0].sample), 2.0 * kStep44, 16.0) << "no start on the tie";
        EXPECT_EQ(starts[1].note, 64) << "the tie does not advance the note";
    }
    Engine other;
    APlugin& p = other.p();
    p.setSampleRate(44100.0f);
    other.set(arpSetup(0, {{kRowTie + 1, 1.0f}, {kRowTune + 1, tuneValue(5)}, {409, tiedModeValue(1)}}));
    other.render(256);
    other.noteOn(60);
    StartRecorder r(other);
    const auto first = r.run((int)(0.5 * kStep44));
    ASSERT_EQ(first.size(), 1u);
    const int voice = first[0].voice;
    const auto more = r.run((int)(1.0 * kStep44));
    EXPECT_TRUE(more.empty()) << "a tie starts no voice";
    EXPECT_TRUE(p.voiceKeyOn[voice]);
    EXPECT_NEAR(p.voicePitch[voice] * 12.0f + 57.0f, 65.0f, 1e-3) << "Special: the held note takes the tie's tune";
}

TEST_F(ArpPlayer, SwingLengthensTheOnBeatsAndShortensTheOffBeats) {
    start(0, {60}, {{398, 1.0f}});
    const auto starts = record(6.5);
    ASSERT_GE(starts.size(), 6u);
    // Swing 1: the steps take 4/3 and 2/3 of a sixteenth in turn, two steps still two sixteenths.
    for (size_t k = 1; k < 6; ++k) {
        const double gap = (double)(starts[k].sample - starts[k - 1].sample);
        // The phase carried into a step of the other speed shifts it by up to two ticks.
        EXPECT_NEAR(gap, (k % 2 == 1 ? 4.0 / 3.0 : 2.0 / 3.0) * kStep44, 34.0) << k;
    }
}

TEST_F(ArpPlayer, TheLoopReturnsToItsStartStep) {
    Params tunes;
    for (int s = 0; s < 4; ++s) tunes.push_back({kRowTune + s, tuneValue(s)});
    start(0, {60}, with(tunes, {{395, stepsValue(4)}, {396, loopStartValue(2)}}));
    const auto starts = record(8.5);
    ASSERT_GE(starts.size(), 8u);
    const float expected[8] = {60, 61, 62, 63, 62, 63, 62, 63};
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(starts[k].semitones, expected[k], 1e-3) << k;
}

TEST_F(ArpPlayer, PingPongSoundsTheLastStepTwiceAndTheFirstOnce) {
    Params tunes;
    for (int s = 0; s < 4; ++s) tunes.push_back({kRowTune + s, tuneValue(s)});
    start(0, {60}, with(tunes, {{395, stepsValue(4)}, {410, loopModeValue(2)}}));
    const auto starts = record(12.5);
    ASSERT_GE(starts.size(), 12u);
    const int expected[12] = {0, 1, 2, 3, 3, 2, 1, 0, 1, 2, 3, 3};
    for (int k = 0; k < 12; ++k) EXPECT_NEAR(starts[k].semitones, 60.0f + expected[k], 1e-3) << k;
}

TEST_F(ArpPlayer, LoopOffPlaysOnePassThenForgetsTheKeys) {
    start(0, {60, 64}, {{395, stepsValue(4)}, {410, loopModeValue(1)}});
    const auto starts = record(8.5);
    EXPECT_EQ(notesOf(starts), (std::vector<int>{60, 64, 60, 64}));
    EXPECT_EQ(e.p().arpHeldCount, 0);
    EXPECT_FALSE(e.p().arpRunning);
    // A new key starts a new pass.
    e.noteOff(60);
    e.noteOff(64);
    e.render(64);
    e.noteOn(67);
    StartRecorder r(e);
    EXPECT_EQ(notesOf(r.run((int)(1.5 * kStep44))), (std::vector<int>{67, 67}));
}

TEST_F(ArpPlayer, NoteLengthReleasesWithinTheStep) {
    start(0, {60}, {{400, 0.5f}});
    StartRecorder r(e);
    const auto starts = r.run((int)(0.4 * kStep44));
    ASSERT_EQ(starts.size(), 1u);
    const int v = starts[0].voice;
    EXPECT_TRUE(e.p().voiceKeyOn[v]);
    r.run((int)(0.2 * kStep44));
    EXPECT_FALSE(e.p().voiceKeyOn[v]) << "released after half the step";
}

TEST_F(ArpPlayer, WithNoKeyHeldThePlayerStops) {
    start(0, {60, 64});
    record(2.5);
    e.noteOff(60);
    e.noteOff(64);
    e.render(64);
    EXPECT_FALSE(e.p().arpRunning);
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(e.p().voiceKeyOn[v]);
    EXPECT_TRUE(record(2.0).empty());
}

TEST_F(ArpPlayer, LatchHoldsAfterReleaseAndStopsWhenTurnedOff) {
    start(0, {60, 64}, {{405, 1.0f}});
    e.render(64);  // the slow controls see the latch
    record(1.5);
    e.noteOff(60);
    e.noteOff(64);
    e.render(64);
    const auto held = record(4.0);
    EXPECT_EQ(notesOf(held).size(), 4u) << "the latched keys keep playing";
    EXPECT_EQ(e.p().arpHeldCount, 2);
    e.set({{405, 0.0f}});
    e.render(64);
    EXPECT_EQ(e.p().arpHeldCount, 0) << "turning the latch off releases what it held";
    EXPECT_TRUE(record(3.0).empty());
}

TEST_F(ArpPlayer, SequencerModesTransposeThePatternToTheNewestKey) {
    Params tunes{{kRowTune + 0, tuneValue(0)}, {kRowTune + 1, tuneValue(2)}, {kRowTune + 2, tuneValue(4)},
                 {kRowTune + 3, tuneValue(5)}, {395, stepsValue(4)}};
    start(10, {60}, tunes);
    const auto first = record(4.5);
    ASSERT_GE(first.size(), 4u);
    const float a[4] = {60, 62, 64, 65};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(first[k].semitones, a[k], 1e-3) << k;
    // A second key while the first is held: the pattern goes on from where it is, on 67.
    e.noteOn(67);
    const auto second = record(4.0);
    ASSERT_GE(second.size(), 3u);
    for (const auto& s : second) EXPECT_EQ(s.note, 67);
    EXPECT_NEAR(second[0].semitones - 67.0f, first[1].semitones - 60.0f, 1e-3)
        << "Sequencer keeps its step: the fifth step is step 1 again";

    // "Sequencer Reset" starts the pattern over on the new key.
    Engine other;
    other.p().setSampleRate(44100.0f);
    other.set(arpSetup(11, tunes));
    other.render(256);
    other.noteOn(60);
    StartRecorder r(other);
    r.run((int)(2.5 * kStep44));  // steps 0, 1, 2
    other.noteOn(67);
    const auto reset = r.run((int)(1.0 * kStep44));
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_NEAR(reset[0].semitones, 67.0f, 1e-3) << "step 0 on the new key";
}

TEST_F(ArpPlayer, ChordModeSoundsEveryHeldKeyEachStepAtMostSixteen) {
    start(9, {60, 64, 67});
    const auto starts = record(2.5);
    ASSERT_EQ(starts.size(), 9u);
    for (int step = 0; step < 3; ++step) {
        std::set<int> notes;
        for (int i = 0; i < 3; ++i) {
            notes.insert(starts[step * 3 + i].note);
            EXPECT_EQ(starts[step * 3 + i].sample, starts[step * 3].sample);
        }
        EXPECT_EQ(notes, (std::set<int>{60, 64, 67}));
    }

    Engine many;
    many.p().setSampleRate(44100.0f);
    many.set(arpSetup(9));
    many.render(256);
    for (int n = 0; n < 20; ++n) many.noteOn(40 + n);
    StartRecorder r(many);
    const auto big = r.run((int)(2.5 * kStep44));
    EXPECT_EQ(many.p().arpChordVoiceCount, 16);
    int keyOn = 0;
    for (int v = 0; v < kNumVoices; ++v) keyOn += many.p().voiceKeyOn[v];
    EXPECT_LE(keyOn, 16);
    EXPECT_GE(big.size(), 16u);
}

TEST_F(ArpPlayer, InChordModeAKeyJoiningInTheFirstStepSoundsAtOnce) {
    start(9, {60});
    StartRecorder r(e);
    ASSERT_EQ(r.run(1000).size(), 1u);
    e.noteOn(64);
    const auto joined = r.run(64);
    ASSERT_EQ(joined.size(), 1u) << "the new key sounds within the first step";
    EXPECT_EQ(joined[0].note, 64);
    r.run((int)(1.5 * kStep44));  // into step 1
    e.noteOn(67);
    EXPECT_TRUE(r.run(64).empty()) << "after the first step a new key waits for the next step";
    const auto next = r.run((int)kStep44);
    EXPECT_EQ(next.size(), 3u);
}

TEST_F(ArpPlayer, TheLedFollowsTheStepWhilePlaying) {
    start(0, {60}, {{395, stepsValue(4)}});
    record(2.5);
    EXPECT_EQ(e.p().getArpLedPos(), 2);
    record(2.0);
    EXPECT_EQ(e.p().getArpLedPos(), 0);
    e.noteOff(60);
    e.render(20000);
    EXPECT_EQ(e.p().getArpLedPos(), -1);
}
