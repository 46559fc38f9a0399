// Modulation: the LFOs, the matrix and its destination kinds, the ribbon, and extreme slots
// under stress.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/RandSeed.h"
#include "test_mod_util.h"

using namespace enginetest;
using namespace modtest;

namespace {

// A test engine: the dry patch, its slots and LFO settings applied, effects bypassed.
struct Bench {
    Engine e;
    explicit Bench(const Params& params) {
        e.set(params);
        e.render(256);
    }
    APlugin& p() { return e.p(); }
    // Samples until the ribbon parameter reaches `rest`, -1 when it does not within `limit`.
    int samplesToRest(float rest, int limit) {
        for (int n = 1; n <= limit; ++n) {
            e.render(1, 1);
            if (p().paramValue[kRibbonValueTag] == rest) return n;
        }
        return -1;
    }
};

class Mod : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("mod")); }
};
using ModLFO = Mod;
using ModMatrix = Mod;
using ModRibbon = Mod;
using ModStress = Mod;

}  // namespace

// The LFOs: a vibrato through the matrix at the free rate and at the host tempo (measured
// from the rendered pitch), per-voice LFOs apart in Poly mode and shared in Mono mode, and
// the shaping destinations, the random wave and the restarts.
namespace part_mod_lfo {
namespace {

constexpr int kNote = 81;  // 440 Hz by the voice pitch formula

// LFO 1 as a sine at `speed`, driving layer 1's semitones by +-1 semitone.
Params vibratoPatch(float speed, bool synced, int mode = 0) {
    return with(dryPatch(0), with(slot(0, kSrcLFO1, kDestLayer1Semi, pitchAmount(1.0)),
                                  {{102, speed}, {357, synced ? 1.0f : 0.0f}, {355, lfoWaveValue(0)},
                                   {356, lfoModeValue(mode)}}));
}

// Values of a global source over `n` samples, one per sample.
std::vector<float> trace(Engine& e, int n, int src = kSrcLFO1) {
    std::vector<float> out;
    for (int i = 0; i < n; ++i, out.push_back(e.p().modSrcGlobal[src])) e.render(1, 1);
    return out;
}
float span(const std::vector<float>& a) {
    return *std::max_element(a.begin(), a.end()) - *std::min_element(a.begin(), a.end());
}

// LFO 1 as a free wave in mode 1, in use on a slot that adds nothing, and more slots.
Params shapedLFO(int wave, float hz, const Params& slots) {
    const Params p = with(dryPatch(0), {{102, freeSpeed(hz)}, {357, 0.0f}, {355, lfoWaveValue(wave)}, {356, lfoModeValue(1)}});
    return with(with(p, slot(0, kSrcLFO1, 16, 0.5f)), slots);
}

}  // namespace

TEST_F(ModLFO, VibratoFollowsTheFreeRateAndTheHostTempo) {
    // Synced: choice 26 is an eighth note, 29 a sixteenth (in whole notes).
    const struct { float speed; bool synced; double tempo, hz; } cases[] = {
        {freeSpeed(5.0), false, 120.0, std::exp2(14.0 * (double)freeSpeed(5.0)) * 1.71875 / 256.0},
        {freeSpeed(7.3), false, 120.0, std::exp2(14.0 * (double)freeSpeed(7.3)) * 1.71875 / 256.0},
        {syncedSpeed(26), true, 150.0, 150.0 / (240.0 * 0.125)},
        {syncedSpeed(29), true, 90.0, 90.0 / (240.0 * 0.0625)}};
    for (const auto& c : cases) {
        HostRun run;
        run.rate = kRate;
        run.tempo = c.tempo;
        const Rendered r = render(vibratoPatch(c.speed, c.synced), {midi(0, 0x90, kNote, 100)}, (int64_t)(3.0 * kRate), run);
        ASSERT_TRUE(r.clean) << r.faults;
        const size_t from = (size_t)(0.25 * kRate);
        const PitchTrack track = pitchTrack(r.left, from, r.left.size() - from, kRate);
        ASSERT_GE(track.freq.size(), 100u) << "no tone to track";
        EXPECT_NEAR(vibratoRate(track, 0.5, 12.0), c.hz, c.hz * 0.005) << c.hz;
        // One semitone either side of the note.
        EXPECT_NEAR(cents(maxOf(track.freq), 440.0), 100.0, 12.0);
        EXPECT_NEAR(cents(minOf(track.freq), 440.0), -100.0, 12.0);
    }
}

TEST_F(ModLFO, PolyVoicesRunApartAndMonoVoicesShareTheGlobalLFO) {
    for (int mode : {0, 2}) {
        Bench b(with(vibratoPatch(freeSpeed(2.0), false, mode), {{MOD_AMT_TAGS[0], 0.5f}}));
        APlugin& p = b.p();
        b.e.noteOn(60);
        b.e.render(3000);
        b.e.noteOn(64);
        b.e.render(mode == 0 ? 1000 : 64);
        const int va = voiceOf(p, 60), vb = voiceOf(p, 64);
        ASSERT_TRUE(va >= 0 && vb >= 0);
        if (mode == 0) {
            // The first voice is 3000 samples ahead: an eighth of a cycle at 2 Hz.
            const double lead = p.voiceLFO[va][0].phase - p.voiceLFO[vb][0].phase;
            EXPECT_NEAR(lead - std::floor(lead), 3000.0 * 2.0 / kRate, 0.003);
        } else {
            EXPECT_LT(p.globalLFO[0].phase, 0.01) << "a Mono LFO restarts at every note";
        }
        double apart = 0.0, swing = 0.0;
        for (int k = 0; k < 40; ++k) {
            b.e.render(97);
            apart = std::fmax(apart, std::fabs(p.modSrcVoice[va][kSrcLFO1] - p.modSrcVoice[vb][kSrcLFO1]));
            swing = std::fmax(swing, std::fabs(p.modSrcVoice[vb][kSrcLFO1]));
            EXPECT_TRUE(mode == 0 || p.modSrcVoice[va][kSrcLFO1] == p.modSrcGlobal[kSrcLFO1]);
        }
        EXPECT_GT(swing, 0.3) << mode;
        EXPECT_EQ(apart > 0.3, mode == 0) << "Poly voices swing apart, Mono ones share one LFO: " << apart;
    }
}

TEST_F(ModLFO, BiasBitsSymmetrySmoothingAndHoldShapeTheWave) {
    const int cycle = (int)(kRate / 20.0);
    // Bias +1 silences the negative half, -1 the positive half.
    for (float bias : {1.0f, 0.0f}) {
        Bench b(shapedLFO(0, 20.0f, slot(1, kSrcOffset, 373, bias)));
        std::vector<float> a = trace(b.e, 2 * cycle);
        if (bias == 0.0f) for (float& x : a) x = -x;
        EXPECT_GE(*std::min_element(a.begin(), a.end()), -1e-4f) << bias;
        EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.95f) << bias;
    }
    // Bits at 1: only -1, 0 and 1 are left (the targets, before the smoother's 1e-15).
    Bench bits(shapedLFO(0, 20.0f, slot(1, kSrcOffset, 374, 1.0f)));
    std::set<int> levels;
    for (int i = 0; i < 2 * cycle; ++i) {
        bits.e.render(1, 1);
        const float t = bits.p().globalLFO[0].biTarget;
        ASSERT_LT(std::fabs(t - std::round(t)), 1e-6f) << t;
        levels.insert((int)std::round(t));
    }
    EXPECT_EQ(levels, (std::set<int>{-1, 0, 1}));
    // Symmetry +1: a triangle rises for 99.9 % of its cycle and falls, with a finite slope, in the rest.
    Bench sym(shapedLFO(2, 20.0f, slot(1, kSrcOffset, 368, 1.0f)));
    const std::vector<float> a = trace(sym.e, 4 * cycle);
    int rising = 0, falling = 0;
    for (size_t i = 1; i < a.size(); ++i) {
        rising += a[i] > a[i - 1];
        falling += a[i] < a[i - 1];
        ASSERT_LE(std::fabs(a[i]), 1.0f);
    }
    EXPECT_GT(rising, 40 * falling);
    EXPECT_GT(falling, 0);
    // Full smoothing all but freezes a square wave.
    Bench smooth(shapedLFO(6, 20.0f, slot(1, kSrcOffset, 370, 1.0f))), plain(shapedLFO(6, 20.0f, {}));
    smooth.e.render(cycle);
    EXPECT_LT(span(trace(smooth.e, 2 * cycle)), 0.3f);
    EXPECT_GT(span(trace(plain.e, 2 * cycle)), 1.9f);
    // Sample-and-hold rate 1: a new held value only every 2^14 updates.
    Bench hold(shapedLFO(4, 20.0f, slot(1, kSrcOffset, 375, 1.0f)));
    const std::vector<float> h = trace(hold.e, 20000);
    int changes = 0;
    for (size_t i = 1; i < h.size(); ++i) changes += h[i] != h[i - 1];
    EXPECT_LE(changes, 8) << "at most one held step (interpolated over 4 samples)";
}

TEST_F(ModLFO, PhaseDestinationWrapsBothWays) {
    // A phase offset of -0.25 reads the same wave as +0.75; -3.25 as well.
    std::vector<float> ref;
    for (float amount : {0.875f, 0.375f}) {
        Bench b(shapedLFO(4, 20.0f, slot(1, kSrcOffset, 367, amount)));
        const std::vector<float> a = trace(b.e, 2000);
        if (ref.empty()) {
            ref = a;
            continue;
        }
        for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], ref[i], 2e-4f) << i;
    }
    // Far below zero through a second slot on the same destination: still a clean wave.
    Bench far(shapedLFO(4, 20.0f, with(slot(1, kSrcOffset, 367, 0.0f), slot(2, kSrcOffset, 367, 0.0f))));
    EXPECT_GT(span(trace(far.e, 3000)), 1.8f);
}

TEST_F(ModLFO, KeyTrackingDoublesTheRateAnOctaveUp) {
    Bench b(with(vibratoPatch(freeSpeed(3.0), false, 0),
                 with({{MOD_AMT_TAGS[0], 0.5f}}, slot(1, kSrcOffset, 377, 1.0f))));
    APlugin& p = b.p();
    b.e.noteOn(57);  // centre note 0: factor 1
    b.e.noteOn(69);  // one octave up: factor 2
    b.e.render(32);
    const int lo = voiceOf(p, 57), hi = voiceOf(p, 69);
    ASSERT_GE(lo, 0);
    ASSERT_GE(hi, 0);
    const double lo0 = p.voiceLFO[lo][0].phase, hi0 = p.voiceLFO[hi][0].phase;
    b.e.render(4000);
    const double dLo = p.voiceLFO[lo][0].phase - lo0, dHi = p.voiceLFO[hi][0].phase - hi0;
    EXPECT_NEAR(dLo, 4000.0 * 3.0 / kRate, 0.002);
    EXPECT_NEAR(dHi / dLo, 2.0, 0.01);
}

TEST_F(ModLFO, RandomWaveChangesOncePerCycleAndRestartsReset) {
    Bench b(shapedLFO(8, 50.0f, {}));
    const std::vector<float> a = trace(b.e, 10 * (int)(kRate / 50.0));
    int steps = 0;
    for (size_t i = 1; i < a.size(); ++i) {
        ASSERT_LE(std::fabs(a[i]), 1.0f);
        // A new value moves over the 4 samples between two updates.
        steps += a[i] != a[i - 1] && (i < 2 || a[i - 1] == a[i - 2]);
    }
    EXPECT_GE(steps, 7);
    EXPECT_LE(steps, 11);
    // The arpeggiator's start restarts every LFO, global and per voice.
    APlugin& p = b.p();
    b.e.noteOn(60);
    b.e.render(777);
    const int v = voiceOf(p, 60);
    ASSERT_GE(v, 0);
    p.restartLFOsForArp();
    EXPECT_EQ(p.globalLFO[0].phase + p.globalLFO[1].phase + p.voiceLFO[v][0].phase, 0.0);
    EXPECT_EQ(p.voiceLFO[v][0].humanize, 1.0);
    EXPECT_EQ(p.globalLFO[0].biInc, 0.0f);
}

}  // namespace part_mod_lfo

// The modulation matrix: velocity to volume, mod wheel to cutoff, one slot's amount driven
// by another, bypass, the destination kinds, sources that stay 0, the one-sample delay of
// amount modulation and effect outputs as sources.
namespace part_mod_matrix {
namespace {

// The level of one held note at `velocity` through the offline host (a sine at 440 Hz).
double heldLevel(const Params& patch, int velocity) {
    const Rendered r = render(patch, {midi(0, 0x90, 81, (uint8_t)velocity)}, (int64_t)(0.5 * kRate));
    EXPECT_TRUE(r.clean) << r.faults;
    return rms(r.left, (size_t)(0.2 * kRate), (size_t)(0.25 * kRate));
}
double softOverLoud(const Params& patch) { return heldLevel(patch, 32) / heldLevel(patch, 127); }

}  // namespace

TEST_F(ModMatrix, VelocityToVolumeScalesTheLevelAndBypassRemovesIt) {
    const Params on = with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 1.0f));
    const Params bypassed = with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 1.0f, true));
    EXPECT_NEAR(softOverLoud(on), 32.0 / 127.0, 0.01) << "volume x velocity";
    EXPECT_NEAR(softOverLoud(with(dryPatch(0), slot(0, kSrcVelocity, kDestVolume, 0.75f))), 0.5 * (32.0 / 127.0) + 0.5, 0.01)
        << "amount 0.5: x (v a + 1 - a)";
    EXPECT_NEAR(softOverLoud(bypassed), 1.0, 0.005) << "a bypassed slot does nothing";
    EXPECT_NEAR(heldLevel(bypassed, 127), heldLevel(on, 127), heldLevel(on, 127) * 0.005);
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
}

TEST_F(ModMatrix, ASlotAmountModulatesAnotherSlot) {
    // Slot 2 has amount 0.5 (adds nothing) until slot 1 puts +1 on its amount destination.
    const Params slot2 = with(dryPatch(0), slot(1, kSrcVelocity, kDestVolume, 0.5f));
    EXPECT_NEAR(softOverLoud(slot2), 1.0, 0.005);
    const Params both = with(slot2, slot(0, kSrcOffset, DEST_MOD_AMT[1], 1.0f));
    EXPECT_NEAR(softOverLoud(both), 32.0 / 127.0, 0.01);

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

TEST_F(ModMatrix, TheInputSourceIsTheSameInOneBlockAsSampleBySample) {
    // The input (with values that are not finite and denormal ones among them) moves a layer
    // cutoff: one host block and blocks of one sample give the same bits.
    const Params lowPass = {{FILTER_FREQ_TAGS[0], 0.25f}, {FILTER_MODE_TAGS[0], stepped(3, 34.99f)}};
    const Params patch = with(dryPatch(1), with(lowPass, slot(0, 117, kDestLayer1Cutoff, 0.5f)));
    Bench whole(patch), single(patch);
    // The note starts off the 16-sample cadence, so its control steps fall inside runs.
    whole.e.render(5, 5);
    single.e.render(5, 1);
    whole.e.noteOn(57, 100);
    single.e.noteOn(57, 100);
    constexpr int kFrames = 1024;
    std::vector<float> inL(kFrames), inR(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        inL[i] = 0.3f * std::sin(0.05f * (float)i);
        inR[i] = i % 41 == 2 ? 1e-40f : -0.2f * std::cos(0.07f * (float)i);
        if (i % 37 == 5) inL[i] = NAN;
        if (i % 53 == 7) inR[i] = INFINITY;
        if (i % 61 == 3) inL[i] = -INFINITY;
    }
    std::vector<float> wholeL(kFrames), wholeR(kFrames), singleL(kFrames), singleR(kFrames);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {wholeL.data(), wholeR.data()};
    whole.p().processReplacing(ins, outs, kFrames);
    for (int i = 0; i < kFrames; ++i) {
        float* in1[2] = {inL.data() + i, inR.data() + i};
        float* out1[2] = {singleL.data() + i, singleR.data() + i};
        single.p().processReplacing(in1, out1, 1);
    }
    EXPECT_EQ(std::memcmp(wholeL.data(), singleL.data(), sizeof(float) * kFrames), 0);
    EXPECT_EQ(std::memcmp(wholeR.data(), singleR.data(), sizeof(float) * kFrames), 0);
    EXPECT_EQ(whole.p().modSrcGlobal[117], single.p().modSrcGlobal[117]);
}

TEST_F(ModMatrix, WithoutARouteTheInputSourceStillEndsABlockOnItsLastSample) {
    // No slot reads the input: a block leaves the source as its last sample set it.
    Bench b(dryPatch(1));
    b.e.noteOn(57, 100);
    constexpr int kFrames = 203;  // runs of every length, the last one cut short
    std::vector<float> inL(kFrames, 0.25f), inR(kFrames, 0.5f), oL(kFrames), oR(kFrames);
    inL[kFrames - 1] = 0.125f;
    inR[kFrames - 1] = NAN;
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {oL.data(), oR.data()};
    b.p().processReplacing(ins, outs, kFrames);
    EXPECT_EQ(b.p().modSrcGlobal[117], 0.5f);
    EXPECT_EQ(b.p().inSample.left, 0.125f);
    EXPECT_EQ(b.p().inSample.right, 0.0f);
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

TEST_F(ModMatrix, AVoiceFactorFollowsEachNotesVelocity) {
    // Two slots on one factor destination, one of them scaled by the velocity, interleaved
    // with two on an additive one.
    Params patch = with(dryPatch(0), slot(0, kSrcOffset, 29, 0.75f));  // + 0.5
    patch = with(patch, slot(1, kSrcOffset, 23, 0.75f));               // x 2^(4 x 0.5)
    patch = with(patch, slot(2, kSrcOffset, 29, 0.3f));                // + (-0.4)
    patch = with(patch, slot(3, kSrcVelocity, 23, 0.625f));            // x 2^(4 x 0.25 x vel)
    Bench b(patch);
    APlugin& p = b.p();
    EXPECT_NEAR(p.modDestGlobal[29], p.modDestDefault[29] + 0.1f, 1e-6f);
    for (int velocity : {127, 32}) {
        b.e.noteOn(60, velocity);
        b.e.render(64);
        const int v = voiceOf(p, 60);
        ASSERT_GE(v, 0);
        EXPECT_NEAR(p.modDestVoice[v][23], p.modDestDefault[23] * 4.0f * std::exp2(velocity / 127.0f), 1e-4f) << velocity;
        EXPECT_EQ(p.modDestVoice[v][29], p.modDestGlobal[29]);
        b.e.noteOff(60);
        b.e.render(64);
    }
}

TEST_F(ModMatrix, AStandingVoicePassStillFollowsItsSourceAndRestoresItsDestination) {
    // A held note whose pass has nothing new to do: whatever moves one of its inputs, or
    // sets the voices' rows back to their defaults while they sound on, is seen on the next
    // sample.
    Bench b(with(dryPatch(0), slot(0, kSrcModWheel, kDestLayer1Cutoff, 1.0f)));
    APlugin& p = b.p();
    b.e.noteOn(81, 64);
    b.e.render(300);
    const int v = voiceOf(p, 81);
    ASSERT_GE(v, 0);
    const float* dest = p.modDestVoice[v];
    const auto expected = [&] { return p.modDestDefault[kDestLayer1Cutoff] + p.modSrcVoice[v][kSrcModWheel]; };
    EXPECT_EQ(dest[kDestLayer1Cutoff], expected());
    p.modSrcVoice[v][kSrcModWheel] = 0.375f;
    b.e.render(1, 1);
    EXPECT_NE(dest[kDestLayer1Cutoff], p.modDestDefault[kDestLayer1Cutoff]);
    EXPECT_EQ(dest[kDestLayer1Cutoff], expected());
    p.setEverythingOff(false);
    ASSERT_TRUE(p.isVoiceSounding(v)) << "released, not silent";
    b.e.render(1, 1);
    EXPECT_EQ(dest[kDestLayer1Cutoff], expected());
    EXPECT_EQ(dest[hotDestSlot(kDestLayer1Cutoff)], expected()) << "the copy the filters read";
}

TEST_F(ModMatrix, ADestinationARouteLeavesGoesBackToItsDefault) {
    // A held note's slot moved to another destination: the one it left, and its copy, are
    // set back at the next 128-sample reset although no route writes them any more.
    Bench b(with(dryPatch(0), slot(0, kSrcModWheel, kDestLayer1Cutoff, 1.0f)));
    APlugin& p = b.p();
    b.e.render(5);  // the voice's resets away from the control blocks
    b.e.noteOn(81, 64);
    b.e.render(300);
    const int v = voiceOf(p, 81);
    ASSERT_GE(v, 0);
    p.modSrcVoice[v][kSrcModWheel] = p.voiceModWheel[v] = p.voiceModWheelSmoothed[v] = 0.375f;
    b.e.render(1, 1);
    const float* dest = p.modDestVoice[v];
    ASSERT_NE(dest[kDestLayer1Cutoff], p.modDestDefault[kDestLayer1Cutoff]);
    p.setModSlotVar(0, false, 1.0f, kSrcModWheel, kDestLayer1Semi);
    b.e.render(300);
    ASSERT_TRUE(p.isVoiceSounding(v));
    EXPECT_EQ(dest[kDestLayer1Cutoff], p.modDestDefault[kDestLayer1Cutoff]);
    EXPECT_EQ(dest[hotDestSlot(kDestLayer1Cutoff)], p.modDestDefault[kDestLayer1Cutoff]);
}

TEST_F(ModMatrix, AVolumeOrPanMovedMidNoteReachesThePairedVoicesAtOnce) {
    // Two voices of one note run side by side while a route moves the main or the layer's
    // volume or pan, then the layer's pan moves, and the two voices start again, once
    // silent, at other velocities: every sample is as where the tails keep nothing from one
    // to the next.
    for (int dest : {kDestVolume, 12, 50, 51}) {
        std::vector<float> out[2];
        for (int keep = 0; keep < 2; ++keep) {
            // (velocity response on, a quick Amp release)
            Bench b(with(with(dryPatch(0), {{2, 1.0f}, {8, 0.1f}}), slot(0, kSrcOffset, dest, 0.5f)));
            APlugin& p = b.p();
            const auto step = [&](int n) {
                for (int i = 0; i < n; ++i) {
                    for (int v = 0; v < kNumVoices && !keep; ++v) dropTailLevels(p.tailLevels, v);
                    out[keep].push_back(b.e.render(1, 1)[0]);
                    out[keep].push_back(b.e.lastRight[0]);
                }
            };
            b.e.noteOn(69, 100);
            b.e.noteOn(76, 40);
            step(200);
            const int va = voiceOf(p, 69), vb = voiceOf(p, 76);
            p.paramValue[MOD_AMT_TAGS[0]] = 0.2f;
            step(200);
            p.paramValue[PAN_TAGS[0]] = 0.3f;
            step(200);
            b.e.noteOff(69);
            b.e.noteOff(76);
            for (int n = 0; n < 100 && (p.isVoiceSounding(va) || p.isVoiceSounding(vb)); ++n)
                b.e.render(480);
            b.e.noteOn(69, 20);
            b.e.noteOn(76, 120);
            step(200);
            ASSERT_EQ(voiceOf(p, 69), va);  // (the voices' levels kept from before)
            ASSERT_EQ(voiceOf(p, 76), vb);
        }
        EXPECT_EQ(out[0], out[1]) << "destination " << dest;
    }
}

}  // namespace part_mod_matrix

// The ribbon controller: moved and released it springs back in the tempo-synced time (and
// faster with the speed destinations), "Instant" and "Off", a learned controller arms the
// countdown, the quantisation steps (heard as pitch through the offline host), the bipolar
// rest, and the smoothing held stable for any destination value.
namespace part_mod_ribbon {

TEST_F(ModRibbon, ReleasedRibbonSpringsBackInTheSyncedTime) {
    const float wholeNotes[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f / 8.0f, 0, 0, 1.0f / 4.0f, 0, 0, 1.0f / 2.0f};
    for (int index : {9, 12, 15}) {
        for (double tempo : {120.0, 150.0}) {
            Bench b(with(dryPatch(0), {{666, springTimeValue(index)}, {665, 0.0f}}));
            APlugin& p = b.p();
            p.tempo = (float)tempo;  // the in-process host reports no time: the engine keeps it
            p.tempoD = tempo;
            p.setParameter(kRibbonValueTag, 1.0f);  // moved to the top
            p.setRibbonSpringOn();                  // and let go
            const double expected = wholeNotes[index] * 240.0 * kRate / tempo;
            b.e.render((int)(expected / 2.0));
            EXPECT_NEAR(p.paramValue[kRibbonValueTag], 0.5f, 0.002f) << "half way at half time";
            EXPECT_NEAR(b.samplesToRest(0.0f, (int)expected) + expected / 2.0, expected, 2.0) << index << " at " << tempo;
            EXPECT_FALSE(p.ribbonSpringOn);
        }
    }
}

TEST_F(ModRibbon, SpeedDestinationsHalveTheTimeInstantAndOff) {
    // Ribbon spring speed x 2 (destination 398) halves the time; so does Global Speed (23).
    // The spring covers whatever distance it starts from in the synced time: a quarter note.
    for (int dest : {398, 23}) {
        Bench b(with(dryPatch(0), with({{666, springTimeValue(12)}}, slot(0, kSrcOffset, dest, 0.625f))));
        b.p().setParameter(kRibbonValueTag, 0.8f);
        b.p().setRibbonSpringOn();
        EXPECT_NEAR(b.samplesToRest(0.0f, 24000), 12000.0, 3.0) << "destination " << dest;
    }
    Bench instant(with(dryPatch(0), {{666, springTimeValue(1)}, {665, 1.0f}}));  // bipolar: rest at the centre
    instant.p().setParameter(kRibbonValueTag, 0.1f);
    instant.p().setRibbonSpringOn();
    EXPECT_EQ(instant.samplesToRest(0.5f, 4), 1) << "Instant reaches rest within one sample";
    Bench off(with(dryPatch(0), {{666, springTimeValue(0)}}));
    off.p().setParameter(kRibbonValueTag, 0.7f);
    off.p().setRibbonSpringOn();
    EXPECT_FALSE(off.p().ribbonSpringOn);
    off.e.render(20000);
    EXPECT_FLOAT_EQ(off.p().paramValue[kRibbonValueTag], 0.7f) << "Off leaves it where it is";
}

TEST_F(ModRibbon, LearnedControllerArmsTheCountdown) {
    Bench b(with(dryPatch(0), {{666, springTimeValue(1)}, {665, 0.0f}}));
    APlugin& p = b.p();
    p.midiCCMap[20] = kRibbonValueTag;
    p.midiLatched[kRibbonValueTag] = 1;  // no soft takeover to wait for
    // One sample past a 4096 boundary, move the ribbon with the controller.
    b.e.render(4096 - (int)(p.sampleCounter & 4095) + 1);
    b.e.send({{0xB0, 20, 100}});
    b.e.render(1, 1);
    EXPECT_NEAR(p.paramValue[kRibbonValueTag], 100.0f / 127.0f, 1e-6f);
    EXPECT_EQ(p.ribbonCountdown, 4);
    const int n = b.samplesToRest(0.0f, 5 * 4096);
    EXPECT_GT(n, 3 * 4096 - 2);
    EXPECT_LE(n, 4 * 4096 + 2);
}

TEST_F(ModRibbon, QuantisationStepsTheSource) {
    struct Case {
        bool bipolar;
        int quant;
        float value;
        float expected;
    };
    const Case cases[] = {
        {false, 12, 0.3f, 0.0f},  {false, 12, 0.7f, 1.0f},   // "2": 0 or 1
        {true, 12, 0.1f, -1.0f},  {true, 12, 0.4f, 0.0f},   {true, 12, 0.8f, 1.0f},
        {false, 10, 0.3f, 1.0f / 3.0f},                       // "4": 0, 1/3, 2/3, 1
        {false, 3, 0.3f, 6.0f / 19.0f},                       // "20"
        {false, 0, 0.3f, 0.3f},                               // off
        {true, 0, 0.5f, 0.0f},                                // bipolar rest
    };
    for (const Case& c : cases) {
        Bench b(with(dryPatch(0), {{665, c.bipolar ? 1.0f : 0.0f}, {667, quantValue(c.quant)},
                                   {kRibbonValueTag, c.value}}));
        b.e.render(1000);
        EXPECT_NEAR(b.p().modSrcGlobal[kSrcRibbon], c.expected, 1e-5f)
            << c.bipolar << " " << c.quant << " " << c.value;
        EXPECT_EQ(b.p().modSrcVoice[3][kSrcRibbon], b.p().modSrcGlobal[kSrcRibbon]);
    }
}

TEST_F(ModRibbon, QuantisedRibbonIsHeardAsPitchSteps) {
    // The ribbon moves layer 1 by 36 semitones x a (a = 1/3) x its value; with "4" the
    // value 0.3 becomes 1/3: four semitones instead of 3.6.
    for (int quant : {0, 10}) {
        Params patch = with(dryPatch(0), slot(0, kSrcRibbon, kDestLayer1Semi, 0.5f + 1.0f / 6.0f));
        patch = with(patch, {{667, quantValue(quant)}, {kRibbonValueTag, 0.3f}});
        const auto ev = std::vector<tavhost::TimedMidiEvent>{midi(0, 0x90, 69, 100)};
        const Rendered r = render(patch, ev, (int64_t)(0.6 * kRate));
        ASSERT_TRUE(r.clean) << r.faults;
        const double f = zeroCrossingFrequency(r.left, (size_t)(0.3 * kRate), (size_t)(0.25 * kRate), kRate);
        const double semis = quant ? std::trunc((1.0f / 3.0f) * 3600.0f) * 0.01 / 3.0
                                   : std::trunc(0.3f * 3600.0f) * 0.01 / 3.0;
        EXPECT_NEAR(cents(f, 220.0), 100.0 * semis, 1.5) << "quantisation " << quant;
    }
}

TEST_F(ModRibbon, SmoothingFollowsItsDestinationAndStaysStable) {
    // Smoothing 1: the source creeps.
    Bench slow(with(dryPatch(0), with({{665, 0.0f}}, slot(0, kSrcOffset, 399, 1.0f))));
    slow.p().setParameter(kRibbonValueTag, 1.0f);
    slow.e.render(1000);
    EXPECT_GT(slow.p().modSrcGlobal[kSrcRibbon], 0.01f);
    EXPECT_LT(slow.p().modSrcGlobal[kSrcRibbon], 0.2f);
    // A negative smoothing destination would make the coefficient leave 0..1; it is held.
    Bench wild(with(dryPatch(0), with({{665, 0.0f}}, with(slot(0, kSrcOffset, 399, 0.0f), slot(1, kSrcOffset, 399, 0.0f)))));
    for (int k = 0; k < 20; ++k) {
        wild.p().setParameter(kRibbonValueTag, (k & 1) ? 1.0f : 0.0f);
        wild.e.render(500);
        ASSERT_LE(std::fabs(wild.p().modSrcGlobal[kSrcRibbon]), 1.0f);  // false for NaN too
        ASSERT_LE(std::fabs(wild.p().ribbonSmoothed), 1.0 + 1e-6);
    }
    // The value destination adds to the output, clamped to -1..1.
    Bench add(with(dryPatch(0), with({{665, 0.0f}, {kRibbonValueTag, 0.6f}}, slot(0, kSrcOffset, 400, 1.0f))));
    add.e.render(1000);
    EXPECT_FLOAT_EQ(add.p().modSrcGlobal[kSrcRibbon], 1.0f);
}

// Inside a run of the render loop a voice's pass whose inputs stood at its last step is not
// checked again, so a source that moves there must say so: a springing ribbon (moving every
// sample) and a mod wheel (moving at the voices' steps) move a held note's layer volume,
// read every sample: the same bit for bit in runs as sample by sample.
TEST_F(ModRibbon, MovingSourcesSoundTheSameInRunsAsSampleBySample) {
    std::vector<float> out[2];
    uint64_t inRuns[2] = {0, 0};
    for (int perSample = 0; perSample < 2; ++perSample) {
        RandSeed.reset();
        Bench b(with(dryPatch(0), with({{666, springTimeValue(12)}, {665, 0.0f}},
                                       with(slot(0, kSrcRibbon, 50, 0.25f),
                                            slot(1, kSrcModWheel, 50, 0.75f)))));
        APlugin& p = b.p();
        p.renderPerSample = (uint8_t)perSample;
        b.e.play(69, 1000);
        p.subBlockSamples = 0;
        p.setParameter(kRibbonValueTag, 1.0f);
        p.setRibbonSpringOn();
        b.e.send({{0xB0, 1, 127}});
        out[perSample] = b.e.render(40000, 509);  // (the ribbon at rest after 24000)
        // A host's change between blocks reaches the first sample after it, at any step.
        for (int k = 0; k < 4; ++k) {
            p.setParameter(MOD_AMT_TAGS[1], 0.1f + 0.2f * (float)k);
            const std::vector<float> more = b.e.render(1001, 509);
            out[perSample].insert(out[perSample].end(), more.begin(), more.end());
        }
        inRuns[perSample] = p.subBlockSamples;
    }
    EXPECT_GT(inRuns[0], 6000u) << "most samples rendered in runs";
    EXPECT_EQ(inRuns[1], 0u);
    ASSERT_EQ(out[0].size(), out[1].size());
    EXPECT_TRUE(out[0] == out[1]);
}

// Voices whose 16-sample ticks fall on different samples of a run (notes started 4, 8 and
// 12 samples apart): a run leaves a standing voice alone only up to the next voice's tick.
// The same bits in runs as sample by sample.
TEST_F(ModRibbon, StaggeredTicksSoundTheSameInRunsAsSampleBySample) {
    std::vector<float> out[2];
    for (int perSample = 0; perSample < 2; ++perSample) {
        RandSeed.reset();
        // (An Amp envelope that moves all along: a slow attack and decay to half.)
        Bench b(with(dryPatch(0), {{5, 0.6f}, {6, 0.7f}, {7, 0.5f}}));
        b.p().renderPerSample = (uint8_t)perSample;
        for (int k = 0; k < 4; ++k) b.e.noteOn(57 + 5 * k, 100, 0, 4 * k + 1);
        out[perSample] = b.e.render(6000, 509);
    }
    ASSERT_EQ(out[0].size(), out[1].size());
    EXPECT_TRUE(out[0] == out[1]);
}

}  // namespace part_mod_ribbon

// All eight slots at extreme amounts on voice and global destinations, both LFOs shaped and
// at their fastest, notes, bends and the wheel throughout: 20 s through the offline host stay
// finite, within the clip and sounding; in the engine every destination, source and LFO value
// stays finite.
namespace part_mod_stress {

namespace {

Params stressPatch() {
    Params p = {{1, 0.8f}, {5, 0.0f}, {7, 1.0f}, {541, 0.0f}, {554, 0.0f}, {345, 0.0f},
                {346, 1.0f}, {348, 1.0f}, {351, 1.0f}, {354, 1.0f}, {666, springTimeValue(0)}};
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({LAYER_ON_TAGS[layer], 1.0f});
        p.push_back({LAYER_SOURCE_TAGS[layer], sourceValue(layer == 0 ? 3 : layer - 1)});
        p.push_back({VOL_TAGS[layer], 0.7f});
    }
    // Both LFOs free at the top rate, a square and a saw.
    p = with(p, {{102, 1.0f}, {103, 1.0f}, {357, 0.0f}, {360, 0.0f},
                 {355, lfoWaveValue(6)}, {358, lfoWaveValue(4)}, {356, lfoModeValue(0)},
                 {359, lfoModeValue(2)}});
    p = with(p, slot(0, kSrcLFO1, kDestLayer1Semi, 1.0f));  // +-36 semitones per voice
    p = with(p, slot(1, 106, kDestLayer1Cutoff, 0.0f));     // LFO 1*2, full down
    p = with(p, slot(2, 101, kDestVolume, 1.0f));           // volume x uni LFO 2
    p = with(p, slot(3, kSrcOffset, 369, 1.0f));            // LFO 1 shape +1
    p = with(p, slot(4, kSrcOffset, 381, 0.0f));            // LFO 2 shape -1
    p = with(p, slot(5, 131, DEST_MOD_AMT[0], 1.0f));       // noise on slot 1's amount
    p = with(p, slot(6, kSrcLFO12, 23, 0.0f));              // global speed x 2^(-4 (l1 + l2))
    p = with(p, slot(7, 129, 378, 1.0f));                   // the output drives LFO 2's rate
    return p;
}

std::vector<tavhost::TimedMidiEvent> stressPhrase(double seconds) {
    std::vector<tavhost::TimedMidiEvent> ev;
    const int chords = (int)(seconds / 0.5);
    for (int i = 0; i < chords; ++i) {
        const int64_t t = (int64_t)(i * 0.5 * kRate);
        for (int k = 0; k < 4; ++k) {
            const uint8_t note = (uint8_t)(36 + (i * 7 + k * 5) % 60);
            ev.push_back(midi(t + k, 0x90, note, (uint8_t)(40 + 20 * k)));
            ev.push_back(midi(t + (int64_t)(0.45 * kRate) + k, 0x80, note, 0));
        }
        ev.push_back(midi(t + 100, 0xE0, 0, (uint8_t)((i * 37) & 127)));
        ev.push_back(midi(t + 200, 0xB0, 1, (uint8_t)((i * 53) & 127)));
    }
    std::stable_sort(ev.begin(), ev.end(),
                     [](const tavhost::TimedMidiEvent& a, const tavhost::TimedMidiEvent& b) {
                         return a.frame < b.frame;
                     });
    return ev;
}

bool finiteRow(const float* row, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(row[i])) return false;
    return true;
}

// Whether the copy of every destination the render loop reads holds the destination's bits.
bool copiesStand(const float* row) {
    for (int d = 0; d < kNumModDests; ++d)
        if (hotDestSlot(d) >= 0 && std::memcmp(&row[d], &row[hotDestSlot(d)], sizeof(float)) != 0)
            return false;
    return true;
}

bool finiteLFO(const APlugin::TLFOState& s) {
    return std::isfinite(s.phase) && std::isfinite(s.humanize) && std::isfinite(s.keyTrack) &&
           std::isfinite(s.smoothed) && std::isfinite(s.biRun) && std::isfinite(s.uniRun) &&
           s.phase >= 0.0 && s.phase < 1.0;
}

}  // namespace

TEST_F(ModStress, TwentySecondsOfExtremeSlotsStayFiniteAndBounded) {
    const double seconds = 20.0;
    const Rendered r = render(stressPatch(), stressPhrase(seconds), (int64_t)(seconds * kRate));
    ASSERT_TRUE(r.clean) << r.faults;
    ASSERT_EQ(r.left.size(), (size_t)(seconds * kRate));
    for (size_t i = 0; i < r.left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(r.left[i]) && std::isfinite(r.right[i])) << i;
        ASSERT_LE(std::fabs(r.left[i]), 1.0f) << i;
        ASSERT_LE(std::fabs(r.right[i]), 1.0f) << i;
    }
    // Still sounding in every two-second stretch: nothing stuck at silence.
    for (double t = 0.0; t + 2.0 <= seconds; t += 2.0)
        EXPECT_GT(rms(r.left, (size_t)(t * kRate), (size_t)(2.0 * kRate)), 1e-3) << t << " s";
}

TEST_F(ModStress, EngineStateStaysFinite) {
    Engine e;
    APlugin& p = e.p();
    e.set(stressPatch());
    const auto phrase = stressPhrase(6.0);
    size_t next = 0;
    for (int64_t frame = 0; frame < (int64_t)(6.0 * kRate); frame += 512) {
        while (next < phrase.size() && phrase[next].frame < frame + 512) {
            const auto& m = phrase[next++];
            e.send({{m.bytes[0], m.bytes[1], m.bytes[2]}});
        }
        e.render(512, 512);
        ASSERT_TRUE(finiteRow(p.modDestGlobal, kNumModDests)) << frame;
        ASSERT_TRUE(finiteRow(p.modSrcGlobal, kNumModSources)) << frame;
        for (int v = 0; v < kNumVoices; ++v) {
            ASSERT_TRUE(finiteRow(p.modDestVoice[v], kNumModDests)) << frame << " voice " << v;
            ASSERT_TRUE(copiesStand(p.modDestVoice[v])) << frame << " voice " << v;
            ASSERT_TRUE(finiteRow(p.modSrcVoice[v], kNumModSources)) << frame << " voice " << v;
            for (int n = 0; n < 2; ++n) ASSERT_TRUE(finiteLFO(p.voiceLFO[v][n])) << frame;
        }
        for (int n = 0; n < 2; ++n) ASSERT_TRUE(finiteLFO(p.globalLFO[n])) << frame;
        ASSERT_TRUE(std::isfinite(p.lfoBaseIncrement[0]));
    }
    EXPECT_EQ(p.modActiveCount, 8);
    EXPECT_EQ(p.lfoUsed[2], 1);
    EXPECT_EQ(p.modNoiseUsed, 1);
}

}  // namespace part_mod_stress
