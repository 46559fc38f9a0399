// The arpeggiator as a modulation source (the three Mod modes): the pattern plays no notes
// and drives the sources 112 "Arp On/Off", 113 "Arp Tune", 114 "Arp Velocity" and 115/116
// (the free value and its smoothed form), globally or per voice.
#include <gtest/gtest.h>

#include <cmath>

#include "plugin/uPluginTags.h"
#include "test_arp_util.h"

using namespace arptest;

namespace {

constexpr double kStep48 = 6000.0;  // one sixteenth at 120 BPM and 48 kHz
constexpr int kSrcOnOff = 112, kSrcTune = 113, kSrcVelocity = 114, kSrcFree = 115, kSrcFreeSmoothed = 116;

// Poly play mode, a Mod arp mode and a four-step pattern whose steps carry the tunes
// -36, -12, +12, +36 and free values 0, 1/3, 2/3, 1.
Params modSetup(int mode, const Params& more = {}) {
    Params p = arpSetup(mode, {{244, playModeValue(0)}, {394, 0.0f}, {395, stepsValue(4)}});
    const int tunes[4] = {-36, -12, 12, 36};
    for (int s = 0; s < 4; ++s) {
        p.push_back({kRowTune + s, tuneValue(tunes[s])});
        p.push_back({kRowFree + s, (float)s / 3.0f});
    }
    return with(p, more);
}

// Source 113 of the global row sampled every step, in the middle of the step.
std::vector<float> tunePerStep(Engine& e, int steps, int voice = -1) {
    std::vector<float> out;
    for (int s = 0; s < steps; ++s) {
        e.render((int)kStep48);
        out.push_back(voice < 0 ? e.p().modSrcGlobal[kSrcTune] : e.p().modSrcVoice[voice][kSrcTune]);
    }
    return out;
}

}  // namespace

TEST(ArpMod, ModFreeRunsThePatternWithNoNoteHeldAndMovesAFilter) {
    Engine e;
    APlugin& p = e.p();
    e.set(modSetup(13));
    // Slot 1: "Arp Tune" moves the cutoff of layer 1's filter.
    p.setModSlotVar(0, false, 1.0f, kSrcTune, DEST_L_FILTER_FREQ[0]);
    e.render(256);
    ASSERT_EQ(p.playMode, 0);
    ASSERT_EQ(p.arpMode, 13);
    // A key pressed and let go: the pattern starts with it and goes on without it.
    e.noteOn(60);
    e.render(64);
    e.noteOff(60);
    e.render(3000);  // into the middle of step 0
    std::vector<float> tune, cutoff;
    for (int s = 0; s < 8; ++s) {
        tune.push_back(p.modSrcGlobal[kSrcTune]);
        cutoff.push_back(p.modDestGlobal[DEST_L_FILTER_FREQ[0]]);
        e.render((int)kStep48);
    }
    const float expected[4] = {-1.0f, -1.0f / 3.0f, 1.0f / 3.0f, 1.0f};
    for (int s = 0; s < 8; ++s) EXPECT_NEAR(tune[s], expected[s % 4], 0.02f) << s;
    for (int s = 1; s < 8; ++s) EXPECT_NE(cutoff[s], cutoff[s - 1]) << "the filter moves at every step " << s;
    EXPECT_NEAR(cutoff[3] - cutoff[0], 2.0f, 0.05f) << "by the source's full swing";
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(p.voiceKeyOn[v]);
    EXPECT_GE(p.getArpLedPos(), 0);
}

TEST(ArpMod, TheFreeValueIsPublishedAndSmoothed) {
    Engine e;
    APlugin& p = e.p();
    e.set(modSetup(13, {{402, 0.5f}}));  // "Arp Smooth"
    e.render(256);
    e.noteOn(60);
    e.noteOff(60);
    e.render(3 * (int)kStep48 + 100);  // just into step 3 (free 1.0)
    EXPECT_NEAR(p.modSrcGlobal[kSrcFree], 1.0f, 1e-5f);
    const float early = p.modSrcGlobal[kSrcFreeSmoothed];
    EXPECT_LT(early, 0.95f) << "the smoothed form lags";
    e.render(2500);
    EXPECT_GT(p.modSrcGlobal[kSrcFreeSmoothed], early) << "and follows";
    EXPECT_NEAR(p.modSrcVoice[5][kSrcFree], 1.0f, 1e-5f) << "every voice carries the value";
}

TEST(ArpMod, OnStepsOpenTheGateAndMarkTheRetrigger) {
    Engine e(modSetup(13, {{kRowOn + 1, 0.0f}, {kRowTie + 2, 1.0f}}), 256);
    APlugin& p = e.p();
    e.noteOn(60);
    e.noteOff(60);
    e.render(3000);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 1.0f) << "step 0 on";
    std::memset(p.env.arpGateMark, 0, sizeof(p.env.arpGateMark));
    e.render((int)kStep48);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 0.0f) << "step 1 off";
    EXPECT_EQ(p.env.arpGateMark[3], 0);
    e.render((int)kStep48);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 1.0f) << "step 2 on";
    EXPECT_EQ(p.env.arpGateMark[3], 0) << "but tied: no retrigger";
    EXPECT_NEAR(p.modSrcGlobal[kSrcTune], -1.0f, 0.02f) << "and a held tie keeps the tune of step 0";
    e.render((int)kStep48);
    EXPECT_EQ(p.env.arpGateMark[3], 1) << "step 3 retriggers";
}

TEST(ArpMod, ModMonoStartsOverWithEveryKey) {
    Engine e(modSetup(14), 256);
    APlugin& p = e.p();
    e.noteOn(60);
    e.render(2 * (int)kStep48 + 3000);
    EXPECT_EQ(p.arpModStep, 2);
    e.noteOn(64);  // a second key while the first is held
    e.render(3000);
    EXPECT_EQ(p.arpModStep, 0);
    EXPECT_NEAR(p.modSrcGlobal[kSrcTune], -1.0f, 0.02f);

    // In Mod Free only a key pressed while nothing sounds starts it over.
    Engine f(modSetup(13), 256);
    f.noteOn(60);
    f.render(2 * (int)kStep48 + 3000);
    f.noteOn(64);
    f.render(4000);
    EXPECT_EQ(f.p().arpModStep, 3);
}

TEST(ArpMod, ModPolyRunsAPatternPerVoice) {
    Engine e(modSetup(15), 256);
    APlugin& p = e.p();
    e.noteOn(60);
    e.render(64);
    const int first = p.curVoice;
    e.render(2 * (int)kStep48);
    e.noteOn(64);
    e.render(64);
    const int second = p.curVoice;
    ASSERT_NE(first, second);
    e.render(2000);
    EXPECT_NEAR(p.modSrcVoice[first][kSrcTune], 1.0f / 3.0f, 0.02f) << "the first voice is in step 2";
    EXPECT_NEAR(p.modSrcVoice[second][kSrcTune], -1.0f, 0.02f) << "the second in step 0";
    EXPECT_EQ(p.arpVoiceModStep[first], 2);
    EXPECT_EQ(p.arpVoiceModStep[second], 0);
}

TEST(ArpMod, LoopOffStopsTheModulatorAfterOnePass) {
    Engine e(modSetup(13, {{410, loopModeValue(1)}}), 256);
    APlugin& p = e.p();
    e.noteOn(60);
    e.noteOff(60);
    const auto tunes = tunePerStep(e, 6);
    EXPECT_FALSE(p.arpModRunning);
    EXPECT_NEAR(tunes[5], tunes[4], 1e-6f) << "nothing moves after the pass";
    EXPECT_EQ(p.getArpLedPos(), -1);
}

TEST(ArpMod, PingPongTurnsTheModulatorAtBothEnds) {
    Engine e(modSetup(13, {{410, loopModeValue(2)}}), 256);
    e.noteOn(60);
    e.noteOff(60);
    e.render(3000);
    std::vector<int> steps;
    for (int s = 0; s < 10; ++s) {
        steps.push_back(e.p().arpModStep);
        e.render((int)kStep48);
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 3, 2, 1, 0, 1, 2}));
}
