// The modulation matrix: velocity to volume, mod wheel to cutoff, one slot's amount driven
// by another, bypass, the five destination kinds (factors multiply, additions add, the
// pitch kind cuts to cents, the volume kind's two formulas), sources that stay 0, the
// one-sample delay of amount modulation, effect outputs as sources, and the accessors the
// editor reads (slot queries, getTagDest, getModValue, getCurChord).
#include "test_mod_util.h"

using namespace enginetest;
using namespace modtest;

namespace {

class ModMatrix : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("mod-matrix")); }
};

// The level of one held note at `velocity` through the offline host (a sine at 440 Hz).
double heldLevel(const Params& patch, int velocity) {
    const auto ev = std::vector<tavhost::TimedMidiEvent>{midi(0, 0x90, 81, (uint8_t)velocity)};
    const Rendered r = render(patch, ev, (int64_t)(0.5 * kRate));
    EXPECT_TRUE(r.clean) << r.faults;
    return rms(r.left, (size_t)(0.2 * kRate), (size_t)(0.25 * kRate));
}

struct Bench {
    Engine e;
    explicit Bench(const Params& params) {
        e.set(params);
        e.render(256);
    }
    APlugin& p() { return e.p(); }
};

}  // namespace

TEST_F(ModMatrix, VelocityToVolumeScalesTheLevelAndBypassRemovesIt) {
    const Params on = with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 1.0f));
    const double loud = heldLevel(on, 127), soft = heldLevel(on, 32);
    ASSERT_GT(loud, 0.01);
    EXPECT_NEAR(soft / loud, 32.0 / 127.0, 0.01) << "volume x velocity";

    const Params half = with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 0.75f));
    EXPECT_NEAR(heldLevel(half, 32) / heldLevel(half, 127), 0.5 * (32.0 / 127.0) + 0.5, 0.01)
        << "amount 0.5: x (v a + 1 - a)";

    const Params bypassed = with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 1.0f, true));
    const double a = heldLevel(bypassed, 127), b = heldLevel(bypassed, 32);
    EXPECT_NEAR(b / a, 1.0, 0.005) << "a bypassed slot does nothing";
    EXPECT_NEAR(a, loud, loud * 0.005);

    const Params none = with(dryPatch(0), slot(0, kSrcVelocity, 0, 1.0f));
    EXPECT_NEAR(heldLevel(none, 32) / heldLevel(none, 127), 1.0, 0.005)
        << "no destination: not evaluated";
}

TEST_F(ModMatrix, ModWheelOpensTheFilter) {
    // A saw through layer 1's 12 dB low-pass, nearly closed; the wheel adds up to +1 to the
    // cutoff.
    const Params lowPass = {{FILTER_FREQ_TAGS[0], 0.25f}, {FILTER_MODE_TAGS[0], stepped(3, 34.99f)}};
    const Params patch = with(dryPatch(1), with(lowPass, slot(0, kSrcModWheel, kDestLayer1Cutoff, 1.0f)));
    std::vector<tavhost::TimedMidiEvent> ev = {midi(0, 0x90, 57, 100),
                                               midi((int64_t)(0.5 * kRate), 0xB0, 1, 127)};
    const Rendered r = render(patch, ev, (int64_t)(1.2 * kRate));
    ASSERT_TRUE(r.clean) << r.faults;
    // Harmonics of 110 Hz well above the closed cutoff (20 x 2^2.5 = 113 Hz).
    auto bright = [&](size_t start) {
        double sum = 0.0;
        for (int h = 10; h <= 20; ++h) sum += amplitudeAt(r.left, start, 8192, 110.0 * h, kRate);
        return sum;
    };
    const double closed = bright((size_t)(0.2 * kRate));
    const double open = bright((size_t)(0.95 * kRate));
    EXPECT_GT(open, 10.0 * closed + 1e-4) << closed << " -> " << open;

    // Without the slot the wheel leaves the tone alone.
    const Params plain = with(dryPatch(1), lowPass);
    const Rendered q = render(plain, ev, (int64_t)(1.2 * kRate));
    double a = 0.0, b = 0.0;
    for (int h = 10; h <= 20; ++h) {
        a += amplitudeAt(q.left, (size_t)(0.2 * kRate), 8192, 110.0 * h, kRate);
        b += amplitudeAt(q.left, (size_t)(0.95 * kRate), 8192, 110.0 * h, kRate);
    }
    EXPECT_NEAR(b, a, 0.05 * a + 1e-6);
}

TEST_F(ModMatrix, ASlotAmountModulatesAnotherSlot) {
    // Slot 2 has amount 0.5 (adds nothing) until slot 1 puts +1 on its amount destination.
    const Params slot2 = with(dryPatch(0), slot(1, kSrcVelocity, kDestVolume, 0.5f));
    EXPECT_NEAR(heldLevel(slot2, 32) / heldLevel(slot2, 127), 1.0, 0.005);
    const Params both = with(slot2, slot(0, kSrcOffset, DEST_MOD_AMT[1], 1.0f));
    EXPECT_NEAR(heldLevel(both, 32) / heldLevel(both, 127), 32.0 / 127.0, 0.01);

    // In the engine: the amount destination holds +1 globally and in the voice, and a change
    // of slot 1 reaches slot 2 one sample later.
    Bench b(both);
    APlugin& p = b.p();
    b.e.noteOn(81, 64);
    b.e.render(300);
    const int v = voiceOf(p, 81);
    ASSERT_GE(v, 0);
    EXPECT_FLOAT_EQ(p.modDestGlobal[DEST_MOD_AMT[1]], 1.0f);
    EXPECT_FLOAT_EQ(p.modDestVoice[v][DEST_MOD_AMT[1]], 1.0f);
    EXPECT_NEAR(p.modDestVoice[v][kDestVolume], 64.0f / 127.0f, 1e-6f);
    p.paramValue[MOD_AMT_TAGS[0]] = 0.5f;  // slot 1 now adds nothing
    b.e.render(1, 1);
    EXPECT_FLOAT_EQ(p.modDestGlobal[DEST_MOD_AMT[1]], 0.0f);
    EXPECT_NEAR(p.modDestVoice[v][kDestVolume], 64.0f / 127.0f, 1e-6f) << "one sample late";
    b.e.render(1, 1);
    EXPECT_FLOAT_EQ(p.modDestVoice[v][kDestVolume], 1.0f);
}

TEST_F(ModMatrix, DestinationKindsCombineAsSpecified) {
    // Two factor slots multiply; two additive slots add; sources 135/136 read 0.
    Params p = with(dryPatch(0), slot(0, kSrcOffset, 23, 0.75f));        // x 2^(4 x 0.5)
    p = with(p, slot(1, kSrcOffset, 23, 0.625f));                         // x 2^(4 x 0.25)
    p = with(p, slot(2, kSrcOffset, 29, 0.75f));                          // + 0.5
    p = with(p, slot(3, kSrcOffset, 29, 0.375f));                         // - 0.25
    p = with(p, slot(4, 135, 30, 1.0f));                                  // pink noise: 0
    p = with(p, slot(5, 0, 2, 1.0f));                                     // no source: + 0
    p = with(p, slot(6, 136, 1, 0.75f));                                  // volume x (1 - 0.5)
    p = with(p, slot(7, kSrcOffset, 63, 0.25f));                          // a = -0.5: x 0.5
    Bench b(p);
    const float* d = b.p().modDestGlobal;
    EXPECT_FLOAT_EQ(d[23], 4.0f * 2.0f);
    EXPECT_FLOAT_EQ(d[29], 0.25f);
    EXPECT_FLOAT_EQ(d[30], 0.0f);
    EXPECT_FLOAT_EQ(d[2], 0.0f);
    EXPECT_FLOAT_EQ(d[1], 0.5f) << "a multiplying destination is scaled by 1 - a";
    EXPECT_FLOAT_EQ(d[63], 0.5f) << "a <= 1e-6: (1 - |s|) |a| + 1 - |a|";
    EXPECT_EQ(b.p().modSrcGlobal[135], 0.0f);
    EXPECT_EQ(b.p().modSrcGlobal[136], 0.0f);
}

TEST_F(ModMatrix, PitchKindCutsToCentsInTheVoiceAndAddsGlobally) {
    // Velocity 100/127 x 36 semitones, cut to whole cents, times a = 0.25.
    Bench b(with(dryPatch(0), slot(0, kSrcVelocity, kDestLayer1Semi, 0.625f)));
    APlugin& p = b.p();
    b.e.noteOn(60, 100);
    b.e.render(64);
    const int v = voiceOf(p, 60);
    ASSERT_GE(v, 0);
    const float s = 100.0f / 127.0f;
    const float expected = std::trunc(s * 3600.0f) * 0.01f * 0.25f / 12.0f;
    EXPECT_FLOAT_EQ(p.modDestVoice[v][kDestLayer1Semi], expected);
    EXPECT_FLOAT_EQ(p.modDestGlobal[kDestLayer1Semi], 0.25f * p.modSrcGlobal[kSrcVelocity]);
}

TEST_F(ModMatrix, FactorOverflowStaysFiniteAndSourceNumbersAreChecked) {
    // Eight slots of factor 2^(4 x 1 x 4) on one destination would overflow a float.
    Params p = dryPatch(0);
    for (int i = 0; i < 8; ++i) p = with(p, slot(i, 117, 366, 1.0f));
    Bench b(p);
    std::vector<float> in(256, 1.0f);  // input source (L + R) x 4 = 8
    float* ins[2] = {in.data(), in.data()};
    std::vector<float> oL(256), oR(256);
    float* outs[2] = {oL.data(), oR.data()};
    b.p().processReplacing(ins, outs, 256);
    EXPECT_TRUE(std::isfinite(b.p().modDestGlobal[366]));
    EXPECT_GT(b.p().modDestGlobal[366], 1e6f);
    for (float x : oL) EXPECT_TRUE(std::isfinite(x));
    // setModSrc ignores numbers outside 1..136.
    b.p().setModSrc(0, 5.0f);
    b.p().setModSrc(137, 5.0f);
    b.p().setModSrc(-3, 5.0f);
    EXPECT_EQ(b.p().modSrcGlobal[0], 0.0f);
}

TEST_F(ModMatrix, EffectOutputsReachTheMatrix) {
    // The reverb's output as a source: the control block marks it used and the stage
    // fills it; the passes read the previous sample's value.
    Params p = with(dryPatch(1), {{345, 0.0f}, {354, 1.0f}, {LAYER_DEST_TAGS[0], stepped(3, 4.99f)}});
    p = with(p, slot(0, 128, 16, 0.75f));
    Bench b(p);
    APlugin& pl = b.p();
    EXPECT_EQ(pl.fxOutSrcUsed[3], 1);
    EXPECT_EQ(pl.fxOutSrcUsed[0] + pl.fxOutSrcUsed[1] + pl.fxOutSrcUsed[2], 0);
    b.e.noteOn(60);
    bool moved = false;
    for (int i = 0; i < 20000 && !moved; ++i) {
        b.e.render(1, 1);
        const float src = pl.modSrcGlobal[128];
        if (i < 300 || src == 0.0f) continue;
        moved = true;
        b.e.render(1, 1);
        // This sample's global pass used the value the reverb left one sample earlier.
        EXPECT_FLOAT_EQ(pl.modDestGlobal[16], 0.5f * src);
    }
    EXPECT_TRUE(moved);
}

TEST_F(ModMatrix, SlotQueriesAndSetModSlotVar) {
    Bench b(dryPatch(0));
    APlugin& p = b.p();
    p.setModSlotVar(2, true, 0.8f, 98, 44);
    EXPECT_EQ(p.getModSlotDest(2), 44);
    EXPECT_TRUE(p.getModSlotBypass(2));
    EXPECT_EQ(p.getDestTypeForSlot(2), 1);
    EXPECT_EQ(p.getModSrcByModStr(2), "LFO 1");
    EXPECT_FLOAT_EQ(p.paramValue[MOD_AMT_TAGS[2]], 0.8f);
    EXPECT_EQ(p.getModDest(MOD_DEST_TAGS[2]), 44);
    p.setModSlotVar(5, false, 0.5f, 17, 1);
    EXPECT_EQ(p.getDestTypeForSlot(5), 5);
    EXPECT_FALSE(p.getModSlotBypass(5));
    p.setModSlotVar(4, false, 0.5f, 1, 23);
    EXPECT_EQ(p.getDestTypeForSlot(4), 2);
    p.setModSlotVar(4, false, 0.5f, 1, 38);
    EXPECT_EQ(p.getDestTypeForSlot(4), 3);
    p.setModSlotVar(4, false, 0.5f, 1, 221);
    EXPECT_EQ(p.getDestTypeForSlot(4), 4);
    // Out of range: nothing written, neutral answers.
    p.setModSlotVar(8, true, 1.0f, 98, 44);
    p.setModSlotVar(-1, true, 1.0f, 98, 44);
    for (int s : {-1, 8, 1000}) {
        EXPECT_EQ(p.getModSlotDest(s), 0);
        EXPECT_FALSE(p.getModSlotBypass(s));
        EXPECT_EQ(p.getDestTypeForSlot(s), 0);
        EXPECT_EQ(p.getModSrcByModStr(s), "");
    }
    EXPECT_FALSE(APlugin::isValidModSlot(-1));
    EXPECT_TRUE(APlugin::isValidModSlot(7));
    EXPECT_FALSE(APlugin::isValidSrc(0));
    EXPECT_TRUE(APlugin::isValidSrc(136));
    EXPECT_FALSE(APlugin::isValidSrc(137));
    EXPECT_EQ(p.getDestTypeForDest(401), 0);
    EXPECT_EQ(p.getDestTypeForDest(-1), 0);
    EXPECT_EQ(p.getModDest(-5), 0);
    // The control block caches what the parameters say.
    p.forceControlUpdate = 1;
    b.e.render(1, 1);
    EXPECT_EQ(p.modSlotDest[2], 44);
    EXPECT_EQ(p.modSlotSrc[2], 98);
    EXPECT_EQ(p.modSlotBypass[2], 1);
    EXPECT_EQ(p.lfoUsed[0], 1) << "a bypassed slot's source still counts as used";
    for (int i = 0; i < p.modActiveCount; ++i) EXPECT_NE(p.modActiveSlots[i], 2);
}

TEST_F(ModMatrix, TagDestFollowsTheModFXMode) {
    Bench b(dryPatch(0));
    APlugin& p = b.p();
    const int expected[11][5] = {
        {341, 351, 352, 353, 364}, {341, 351, 352, 353, 354}, {341, 351, 352, 355, 354},
        {341, 351, 352, 353, 354}, {341, 356, 357, 358, 359}, {341, 360, 357, 358, 359},
        {341, 340, 352, 345, 350}, {341, 340, 361, 345, 350}, {341, 340, 352, 345, 350},
        {360, 362, 361, 353, 364}, {341, 350, 352, 353, 354},
    };
    for (int mode = 0; mode < 11; ++mode) {
        p.setParameter(349, stepped(mode, 10.99f));
        p.forceControlUpdate = 1;
        b.e.render(1, 1);
        ASSERT_EQ(p.modFXMode, mode);
        for (int k = 0; k < 5; ++k) EXPECT_EQ(p.getTagDest(108 + k), expected[mode][k]) << mode;
    }
    EXPECT_EQ(p.getTagDest(102), 366);
    EXPECT_EQ(p.getTagDest(126), 400);
    EXPECT_EQ(p.getTagDest(-1), 0);
    EXPECT_EQ(p.getTagDest(1024), 0);
}

TEST_F(ModMatrix, ModValueShowsTheLastVoicesModulation) {
    Params patch = with(dryPatch(0), slot(0, kSrcOffset, kDestLayer1Cutoff, 0.75f));  // +0.5
    patch = with(patch, slot(1, kSrcOffset, 366, 0.625f));  // LFO 1 speed x 2
    patch = with(patch, slot(2, kSrcOffset, DEST_L_VOL[0], 0.25f));  // layer volume x 0.5
    patch = with(patch, {{FILTER_FREQ_TAGS[0], 0.3f}, {102, 0.4f}, {VOL_TAGS[0], 0.8f}});
    Bench b(patch);
    APlugin& p = b.p();
    // Nothing plays: the parameter itself.
    EXPECT_FLOAT_EQ(p.getModValue(FILTER_FREQ_TAGS[0]), 0.3f);
    EXPECT_FLOAT_EQ(p.getModValue(102), 0.4f);
    EXPECT_EQ(p.getModValue(-1), 0.0f);
    EXPECT_FLOAT_EQ(p.getModValue(5), p.paramValue[5]) << "not a destination: the value";

    b.e.noteOn(60);
    b.e.render(512);
    EXPECT_NEAR(p.getModValue(FILTER_FREQ_TAGS[0]), 0.8f, 1e-6f);
    EXPECT_NEAR(p.getModValue(102), 0.4f + 1.0f / 14.0f, 1e-4f) << "log2 of the factor / 14";
    // The level knob shows |x 0.5| times the layer's gain on the 80 dB scale.
    const float g = 0.5f * p.layerVolGain[0];
    EXPECT_NEAR(p.getModValue(VOL_TAGS[0]), (20.0f * std::log10(g) + 60.0f) / 80.0f, 1e-4f);
    EXPECT_LT(p.getModValue(VOL_TAGS[0]), 0.8f);
    p.setParameter(FILTER_FREQ_TAGS[0], 0.9f);
    EXPECT_FLOAT_EQ(p.getModValue(FILTER_FREQ_TAGS[0]), 1.0f) << "clamped";
}

TEST_F(ModMatrix, CurChordOnlyWithChordsOnAndNotesPlaying) {
    Bench b(with(dryPatch(0), {{554, 1.0f}}));
    APlugin& p = b.p();
    EXPECT_EQ(p.getCurChord(), -1) << "nothing playing";
    b.e.noteOn(60);
    b.e.render(64);
    EXPECT_EQ(p.getCurChord(), p.curChord);
    EXPECT_GE(p.getCurChord(), 0);
    p.setParameter(554, 0.0f);
    EXPECT_EQ(p.getCurChord(), -1) << "chords off";
}

TEST_F(ModMatrix, SharedAndInterleavedDestinationsTakeTheirSlotsInOrder) {
    // Two destinations, each moved by two slots, the slots interleaved, in the global row and
    // in the voice; a factor on the velocity follows each new note.
    Params patch = with(dryPatch(0), slot(0, kSrcOffset, 29, 0.75f));  // + 0.5
    patch = with(patch, slot(1, kSrcOffset, 23, 0.75f));               // x 2^(4 x 0.5)
    patch = with(patch, slot(2, kSrcOffset, 29, 0.3f));                // + (-0.4)
    patch = with(patch, slot(3, kSrcVelocity, 23, 0.625f));            // x 2^(4 x 0.25 x vel)
    Bench b(patch);
    APlugin& p = b.p();
    const float* d = p.modDestGlobal;
    float add = p.modDestDefault[29];
    add += (2.0f * 0.75f - 1.0f) * 1.0f;
    add += (2.0f * 0.3f - 1.0f) * 1.0f;
    EXPECT_EQ(d[29], add);
    for (int velocity : {127, 32, 90, 90}) {
        b.e.noteOn(60, velocity);
        b.e.render(64);
        const int v = voiceOf(p, 60);
        ASSERT_GE(v, 0);
        const float vel = p.modSrcVoice[v][kSrcVelocity];
        ASSERT_NEAR(vel, velocity / 127.0f, 1e-6f);
        float factor = p.modDestDefault[23];
        factor *= std::exp2(4.0f * (2.0f * 0.75f - 1.0f) * 1.0f);
        factor *= std::exp2(4.0f * (2.0f * 0.625f - 1.0f) * vel);
        EXPECT_EQ(p.modDestVoice[v][23], factor) << velocity;
        EXPECT_EQ(p.modDestVoice[v][29], add);
        b.e.noteOff(60);
        b.e.render(64);
    }
}
