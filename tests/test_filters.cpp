// The filters: responses of the multimode voice filter and the layer filters measured with
// sines, the same filters in the voice path, and their robustness (their pair and quad entry
// points: test_filter_pairs.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dsp/HeldMultimode.h"
#include "dsp/LaneDispatch.h"
#include "test_engine_util.h"
#include "test_filters_util.h"

using namespace filtertest;

namespace {

constexpr double kFc = 1000.0;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The three layer filters, initialised at one rate.
struct LayerTrio {
    TBPFilter bp;
    TLPFilter lp;
    THPFilter hp;
    explicit LayerTrio(float rate) {
        bp.init(rate);
        lp.init(rate);
        hp.init(rate);
    }
};

// --- responses of the voice entry point, at two rates ------------------------------------

class VoiceFilterResponse : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { initFilterTables(); }
    double gainDb(int mode, double fc, double f, float resonance = 0, float morph = 0) const {
        return dB(voiceGain({mode, GetParam(), fc, resonance, morph}, f).left);
    }
};

TEST_P(VoiceFilterResponse, GainsAtTheCutoffAndInThePassBand) {
    // Gain of `mode` at f = ratio x 1 kHz within [lo, hi] dB.
    struct Point {
        int mode;
        double ratio;
        float morph;
        double lo, hi;
    };
    const double k18 = dB(std::sqrt(2.0) / std::sqrt(1.0 + kPi * kPi));
    const Point points[] = {
        // Q = 1 state-variable (3-6) and zero-delay (7-10) two-poles: 0 dB at the cutoff,
        // flat pass bands, notches that null the cutoff.
        {3, 1, 0, -1, 1},      {3, 1.0 / 16, 0, -.5, .5}, {4, 1, 0, -1, 1},   {4, 8, 0, -1, 1},
        {5, 1, 0, -1, 1},      {6, 1, 0, -200, -20},      {6, 8, 0, -1, 1},   {7, 1, 0, -1, 1},
        {8, 8, 0, -1, 1},      {9, 1, 0, -1, 1},          {10, 1, 0, -200, -20}, {10, 0.125, 0, -1, 1},
        // One-pole y = a x + (1 - a) y, a = 2 nf: -3 dB at fc / pi.
        {1, 1 / kPi, 0, -3.6, -2.4}, {2, 1 / kPi, 0, -3.6, -2.4}, {1, 8 / kPi, 0, -19.1, -17.1},
        // 18 dB: that one-pole, the state-variable low-pass, times sqrt 2.
        {13, 1, 0, k18 - 1, k18 + 1},
        // 24 dB: -6 dB at the cutoff, +3 dB in the pass band; the zero-delay pair 0 dB.
        {15, 1, 0, -7, -5},    {16, 1, 0, -7, -5},        {15, 1.0 / 16, 0, 2.5, 3.5}, {16, 16, 0, 2, 4},
        {19, 1, 0, -1, 1},     {20, 1, 0, -1, 1},         {21, 1, 0, -1, 1},  {22, 1, 0, -200, -40},
        {22, 8, 0, -1, 1},
        // 36 dB: the ladder's low-pass doubled; the high-pass passes above the cutoff.
        {25, 1.0 / 16, 0, 5, 7}, {26, 16, 0, -1, 1},
        // Low/high morph half way: each -6 dB far from the cutoff.
        {11, 1.0 / 16, 0.5f, -6.2, -5.8},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(::testing::Message() << "mode " << p.mode << " at " << p.ratio << " fc");
        const double g = gainDb(p.mode, kFc, kFc * p.ratio, 0, p.morph);
        EXPECT_GE(g, p.lo);
        EXPECT_LE(g, p.hi);
    }
}

TEST_P(VoiceFilterResponse, SlopesAnOctavePastTheCutoff) {
    // Attenuation gained over 2 fc..4 fc (low-pass) or fc/2..fc/4 (high-pass).
    struct Case {
        int mode;
        bool low;
        double minDb, maxDb;
    };
    const Case cases[] = {
        {3, true, 10, 14.5},  {8, false, 10, 14.5}, {13, true, 15, 21.5}, {14, false, 14.5, 21.5},
        {15, true, 20, 28},   {19, true, 20, 28},   {16, false, 20, 28},  {20, false, 20, 28},
        {25, true, 27, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const double slope = c.low ? gainDb(c.mode, kFc, 2 * kFc) - gainDb(c.mode, kFc, 4 * kFc)
                                   : gainDb(c.mode, kFc, kFc / 2) - gainDb(c.mode, kFc, kFc / 4);
        EXPECT_GE(slope, c.minDb);
        EXPECT_LE(slope, c.maxDb);
    }
    // The 36 dB high-pass falls faster than the 12 dB one below the cutoff.
    EXPECT_GT(gainDb(26, kFc, kFc / 4) - gainDb(26, kFc, kFc / 8),
              gainDb(4, kFc, kFc / 4) - gainDb(4, kFc, kFc / 8) + 2.0);
}

TEST_P(VoiceFilterResponse, PeaksStandAboveTheirNeighbours) {
    // Gain at f exceeds the gains at `below` and `above` by `margin` dB.
    struct Peak {
        int mode;
        double fc, f;
        float res, morph;
        double below, above, margin;
    };
    const double r2 = std::sqrt(2.0);
    const Peak peaks[] = {
        {5, kFc, kFc, 0, 0, kFc / 2, kFc * 2, 4},
        {9, kFc, kFc, 0, 0, kFc / 2, kFc * 2, 4},
        {21, kFc, kFc, 0, 0, kFc * 2, kFc * 2, 8},
        {17, kFc, kFc, 0.5f, 0, kFc / 8, kFc / 8, 12},
        // Vowel A at a 440 Hz cutoff: formants at 650 and 1080 Hz, the pair near 2750 Hz
        // far above the valley; morph 0.8 is almost U, its first formant at 350 Hz.
        {27, 440, 650, 0, 0, 520, 812, 3},
        {27, 440, 1080, 0, 0, 864, 1350, 3},
        {27, 440, 2750, 0, 0, 1650, 1650, 10},
        {27, 440, 350, 0, 0.8f, 260, 440, 3},
        // Formant 1 at morph 0.5: resonators at fc / 2 and 2 fc.
        {28, kFc, kFc / 2, 0.5f, 0.5f, kFc, kFc, 6},
        {28, kFc, kFc * 2, 0.5f, 0.5f, kFc, kFc, 6},
        // Formant 2 at morph 0.75: resonators at fc x 2^(1.5 (2k/3 - 1)).
        {29, kFc, kFc / 2 / r2, 0.8f, 0.75f, kFc / 2, kFc / 2, 1},
        {29, kFc, kFc / r2, 0.8f, 0.75f, kFc, kFc, 1},
        {29, kFc, kFc * r2, 0.8f, 0.75f, kFc * 2, kFc * 2, 1},
        {29, kFc, kFc * 2 * r2, 0.8f, 0.75f, kFc * 4, kFc * 4, 1},
    };
    for (const Peak& p : peaks) {
        SCOPED_TRACE(::testing::Message() << "mode " << p.mode << " at " << p.f << " Hz");
        const double g = gainDb(p.mode, p.fc, p.f, p.res, p.morph);
        EXPECT_GT(g, gainDb(p.mode, p.fc, p.below, p.res, p.morph) + p.margin);
        EXPECT_GT(g, gainDb(p.mode, p.fc, p.above, p.res, p.morph) + p.margin);
    }
    // The morph moves the vowel, and doubling the cutoff doubles every formant.
    EXPECT_GT(gainDb(27, 440, 350, 0, 0.8f), gainDb(27, 440, 350) + 6.0);
    EXPECT_NEAR(gainDb(27, 880, 1300), gainDb(27, 440, 650), 1.5);
    // The ladder notch lies near the cutoff.
    double notch = 1e9;
    for (int k = -6; k <= 3; ++k) notch = std::fmin(notch, gainDb(18, kFc, kFc * std::pow(2.0, k / 6.0)));
    EXPECT_LT(notch, -10.0);
}

TEST_P(VoiceFilterResponse, ResonanceAndMorph) {
    for (int mode : {3, 7, 19}) {
        SCOPED_TRACE(mode);
        const double g5 = gainDb(mode, kFc, kFc, 0.5f);
        EXPECT_GT(g5, gainDb(mode, kFc, kFc) + 3.0);
        EXPECT_GT(gainDb(mode, kFc, kFc, 1.0f), g5 + 6.0);
    }
    // The mixing modes at the ends of their morph are the plain outputs.
    struct Same {
        int mode;
        float morph;
        int plain;
        double ratio;
    };
    const Same same[] = {{11, 0, 7, 1.0 / 16}, {11, 1, 8, 4}, {12, 0.5f, 9, 2}, {12, 1, 8, 4}, {24, 0.5f, 21, 2}};
    for (const Same& s : same)
        EXPECT_NEAR(gainDb(s.mode, kFc, kFc * s.ratio, 0, s.morph), gainDb(s.plain, kFc, kFc * s.ratio), 0.01)
            << s.mode << " at " << s.morph;
}

INSTANTIATE_TEST_SUITE_P(Rates, VoiceFilterResponse, ::testing::Values(44100.0, 96000.0));

// --- features of the voice and effect entry points ---------------------------------------

class VoiceFilter : public ::testing::Test {
protected:
    void SetUp() override { initFilterTables(); }
    // One silent call with the given cutoff and separation; returns lane `lane`'s cutoff.
    static float cutoffAfter(TFilter& f, float v, float sep = 1.0f, int lane = 0) {
        stereoOverStruct in{}, out{};
        f.process({v, v}, {0, 0}, sep, 0, 0, 1, &in, &out);
        return f.getLaneCutoff(lane);
    }
};

TEST_F(VoiceFilter, BypassIsBitExact) {
    auto f = makeFilter(0);
    Noise noise;
    std::vector<stereoOverStruct> in(6), out(6);
    for (int n = 0; n < 1000; ++n) {
        for (auto& r : in) r = noise.record(3.0f);
        f->process({0.3f, 0.3f}, {0, 0}, 1.0f, 0.5f, 0.5f, 6, in.data(), out.data());
        ASSERT_EQ(0, std::memcmp(in.data(), out.data(), sizeof(stereoOverStruct) * 6));
    }
}

TEST_F(VoiceFilter, SeparationAndKeyTrackingMoveTheCutoff) {
    const Gain g = voiceGain({7, 44100, 1000, 0, 0, 2.0f}, 1000);  // separation 2: sides an octave apart
    EXPECT_NEAR(dB(g.left), dB(voiceGain({7, 44100, 500}, 1000).left), 0.3);
    EXPECT_NEAR(dB(g.right), dB(voiceGain({7, 44100, 2000}, 1000).left), 0.3);
    // Full tracking an octave up equals a filter an octave up.
    EXPECT_NEAR(dB(voiceGain({3, 44100, 1000, 0, 0, 1, 1.0f, 1.0f}, 2000).left), dB(voiceGain({3, 44100, 2000}, 2000).left), 0.05);
    auto f = makeFilter(3);
    const float v = cutoffFor(1000);
    const float base = cutoffAfter(*f, v);
    f->setTrack(0.5f, 2.0f);  // half tracking, two octaves up
    EXPECT_NEAR(cutoffAfter(*f, v) / base, 2.0f, 1e-5f);
    f->setTrack(1.0f, -1.0f);
    EXPECT_NEAR(cutoffAfter(*f, v) / base, 0.5f, 1e-6f);
}

TEST_F(VoiceFilter, CutoffRangeCeilingAndSmoothing) {
    auto f = makeFilter(7, 96000.0f);
    EXPECT_NEAR(cutoffAfter(*f, 0), 20.0f, 1e-3f);
    f->setDirect();
    EXPECT_NEAR(cutoffAfter(*f, 1), 20480.0f, 0.1f);
    // Two octaves of tracking pass 0.38 x 96000 Hz: the ceiling holds.
    f->setTrack(1.0f, 2.0f);
    EXPECT_FLOAT_EQ(cutoffAfter(*f, 1), 0.38f * 96000.0f);
    // Velocity and envelope add to the normalised value, which is held to 0..1.
    stereoOverStruct in{}, out{};
    f->setTrack(0, 0);
    f->setVel(1.0f, 1.0f);  // +0.5
    f->setEnv(0, 0.1f);
    f->setDirect();
    f->process({0.2f, 0.2f}, {0.05f, 0.05f}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(10.0f * 0.85f), 0.05f);
    f->setEnv(0, 5.0f);
    f->process({0.2f, 0.2f}, {0.05f, 0.05f}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20480.0f, 0.1f);
    // The first call jumps, later calls move 1 % of the way, a reset jumps again.
    auto g = makeFilter(7);
    EXPECT_NEAR(cutoffAfter(*g, 0.2f), 20.0f * std::exp2(2.0f), 1e-3f);
    EXPECT_NEAR(cutoffAfter(*g, 0.6f), 20.0f * std::exp2(10.0f * 0.204f), 1e-3f);
    g->reset();
    EXPECT_NEAR(cutoffAfter(*g, 0.6f), 20.0f * std::exp2(6.0f), 1e-2f);
}

TEST_F(VoiceFilter, CopiesAreIndependentLanes) {
    // Six notes in one call give, note for note, what each gives alone in its own filter.
    for (int mode : {3, 15, 17, 25, 27, 29, 30, 33}) {
        SCOPED_TRACE(mode);
        auto all = makeFilter(mode);
        std::vector<std::unique_ptr<TFilter>> alone;
        for (int c = 0; c < 6; ++c) alone.push_back(makeFilter(mode));
        Noise noise;
        std::vector<stereoOverStruct> in(6), out(6);
        stereoOverStruct one;
        for (int n = 0; n < 2000; ++n) {
            for (int c = 0; c < 6; ++c) {
                in[c] = noise.record();
                all->setEnv(c, 0.05f * c);
                alone[c]->setEnv(0, 0.05f * c);
            }
            all->process({0.5f, 0.45f}, {0.01f, 0}, 1.3f, 0.7f, 0.3f, 6, in.data(), out.data());
            for (int c = 0; c < 6; ++c) {
                alone[c]->process({0.5f, 0.45f}, {0.01f, 0}, 1.3f, 0.7f, 0.3f, 1, &in[c], &one);
                ASSERT_TRUE(sameBits(one, out[c])) << "note " << c << " sample " << n;
            }
        }
    }
}

TEST_F(VoiceFilter, ModeChangeKeepsOrClearsTheStates) {
    // Modes 7 and 8 share the zero-delay states: without a clear, the switch continues
    // exactly where a filter that ran mode 8 throughout stands; with one, it does not.
    auto a = makeFilter(7), b = makeFilter(8);
    Noise noise;
    stereoOverStruct in, outA, outB;
    bool differs = false;
    for (int n = 0; n < 2010; ++n) {
        if (n == 1000) a->setType(8, false);
        if (n == 2000) {
            a->setType(7, true);
            b->setType(7, false);
        }
        in = noise.record();
        a->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outA);
        b->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outB);
        ASSERT_TRUE(n < 1000 || n >= 2000 || sameBits(outA, outB)) << n;
        if (n >= 2000) differs |= !sameBits(outA, outB);
    }
    EXPECT_TRUE(differs);
}

// Impulse response of one copy, both sides, as oversampled sequences.
struct Impulse {
    std::vector<double> left, right;
};

Impulse impulseResponse(TFilter& f, double cutoffHz, float resonance, long hostSamples, bool leftOnly) {
    Impulse r;
    const float v = cutoffFor(cutoffHz);
    for (long n = 0; n < hostSamples; ++n) {
        stereoOverStruct in{}, out{};
        if (n == 0) in.sub[0] = {1.0f, leftOnly ? 0.0f : 1.0f};
        f.process({v, v}, {0, 0}, 1.0f, resonance, 0, 1, &in, &out);
        for (int s = 0; s < 2; ++s) {
            r.left.push_back(out.sub[s].left);
            r.right.push_back(out.sub[s].right);
        }
    }
    return r;
}

TEST_F(VoiceFilter, CombsEchoAtOnePeriodOfTheCutoff) {
    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        // 441 Hz: one period is 2 rate / 441 oversampled samples.
        const int period = (int)std::ceil(2.0 * rate / 441.0 - 1e-9);
        const double fb = std::pow(0.5 * 0.95, 0.25);
        for (int mode : {30, 31}) {
            auto f = makeFilter(mode, (float)rate);
            const Impulse p = impulseResponse(*f, 441.0, 0.5f, (long)(3.5 * period / 2), false);
            const double sign = mode == 30 ? 1.0 : -1.0;
            EXPECT_NEAR(p.left[period], 1.0, 1e-5);
            EXPECT_NEAR(p.right[period], 1.0, 1e-5);
            EXPECT_NEAR(p.left[2 * period], sign * fb, 1e-5);
            EXPECT_NEAR(p.left[3 * period], fb * fb, 1e-5);
            EXPECT_LT(std::fabs(p.left[period - 1]) + std::fabs(p.left[period + period / 2]), 1e-6);
        }
    }
    // The ping-pong comb: a left impulse comes out right after one period, left after two.
    auto f = makeFilter(32);
    const Impulse r = impulseResponse(*f, 441.0, 1.0f, 400, true);
    const double fb = std::pow(0.95, 0.25);
    EXPECT_NEAR(r.right[200], 1.0, 1e-5);
    EXPECT_LT(std::fabs(r.left[200]) + std::fabs(r.right[400]), 1e-6);
    EXPECT_NEAR(r.left[400], -fb, 1e-5);
    EXPECT_NEAR(r.right[600], -fb * fb, 1e-5);
}

TEST_F(VoiceFilter, CombDelayStaysInsideItsLines) {
    auto f = makeFilter(30);
    stereoOverStruct in{}, out{};
    // Cutoff 0 with the key factor driven far down: the longest delay.
    f->setTrack(1.0f, -20.0f);
    f->process({0, 0}, {0, 0}, 1.0f, 0.5f, 0, 1, &in, &out);
    EXPECT_EQ(f->getCombDelay(0), 2097151u);
    // Separation 0: the left cutoff is infinite (the shortest delay), the right one zero.
    f->setTrack(0, 0);
    f->process({0.5f, 0.5f}, {0, 0}, 0.0f, 0.5f, 0, 1, &in, &out);
    EXPECT_EQ(f->getCombDelay(0), (uint32_t)(512.0f * 44100.0f / (0.38f * 44100.0f)));
    EXPECT_EQ(f->getCombDelay(1), 2097151u);
    // A cutoff at the ceiling of a low rate; then NaN everywhere: still inside.
    auto g = makeFilter(30, 1000.0f);
    g->setTrack(1.0f, 20.0f);
    g->process({1, 1}, {0, 0}, 1.0f, 0.5f, 0, 1, &in, &out);
    EXPECT_GE(g->getCombDelay(0), 513u);
    f->setTrack(kNaN, kNaN);
    f->process({kNaN, kNaN}, {kNaN, kNaN}, kNaN, kNaN, kNaN, 1, &in, &out);
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_GE(f->getCombDelay(lane), 513u);
        EXPECT_LE(f->getCombDelay(lane), 2097151u);
    }
}

TEST_F(VoiceFilter, RingAndAmplitudeModulationSidebands) {
    const double rate = 44100, carrier = 3000, modulator = 500, d = 0.95;
    for (int mode : {33, 34}) {
        SCOPED_TRACE(mode);
        auto f = makeFilter(mode);
        const float v = cutoffFor(modulator);
        std::vector<double> y;
        for (long n = 0; n < 44100; ++n) {
            stereoOverStruct in = sineRecord(carrier, rate, n), out{};
            f->process({v, v}, {0, 0}, 1.0f, 1.0f, 0, 1, &in, &out);
            y.push_back(out.sub[0].left);
            y.push_back(out.sub[1].left);
        }
        // Ring: in x (d sin + 1 - d); amplitude: in x (d (0.5 sin + 0.5) + 1 - d).
        const double side = mode == 33 ? d / 2 : d / 4;
        EXPECT_NEAR(toneAmplitude(y, carrier, 2 * rate), mode == 33 ? 1 - d : 1 - d / 2, 0.01);
        EXPECT_NEAR(toneAmplitude(y, carrier + modulator, 2 * rate), side, 0.01);
        EXPECT_NEAR(toneAmplitude(y, carrier - modulator, 2 * rate), side, 0.01);
    }
}

TEST_F(VoiceFilter, EffectEntryPointsRunTheZeroDelayKernel) {
    for (int mode : {7, 8, 9}) {
        for (double f : {250.0, 4000.0}) {
            auto a = makeFilter(mode), b = makeFilter(mode);
            const float v = cutoffFor(1000);
            const Gain fx = sineGain([&](const stereoOverStruct& x, stereoOverStruct& y) {
                a->process(v, 1.0f, stereoStruct{0, 0}, 0.3f, 0.0f, x, y);
            }, f, 44100, 15000, 6000);
            const Gain voice = sineGain([&](const stereoOverStruct& x, stereoOverStruct& y) {
                b->process({v, v}, {0, 0}, 1.0f, 0.3f, 0.0f, 1, &x, &y);
            }, f, 44100, 15000, 6000);
            EXPECT_NEAR(dB(fx.left), dB(voice.left), 0.01) << mode << " at " << f;
            EXPECT_NEAR(dB(fx.right), dB(voice.right), 0.01) << mode << " at " << f;
        }
    }
    // Separation and smoothing of the single form; the pair form smooths each side alone;
    // the kernel alone keeps the last cutoffs and still filters.
    auto f = makeFilter(7);
    stereoOverStruct in{}, out{};
    f->process(0.3f, 2.0f, stereoStruct{0.1f, 0.0f}, 0, 0, in, out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(4.0f) / 2.0f, 1e-3f);
    EXPECT_NEAR(f->getLaneCutoff(1), 20.0f * std::exp2(3.0f) * 2.0f, 1e-3f);
    f->process(0.5f, 1.0f, stereoStruct{0.0f, 0.0f}, 0, 0, in, out);
    EXPECT_NEAR(f->getFreq(), 0.302f, 1e-6f);
    auto g = makeFilter(8);
    g->process(stereoStruct{0.2f, 0.6f}, stereoStruct{0, 0}, 0, 0, in, out);
    g->process(stereoStruct{0.4f, 0.6f}, stereoStruct{0, 0}, 0, 0, in, out);
    EXPECT_NEAR(g->getLaneCutoff(0), 20.0f * std::exp2(2.02f), 1e-3f);
    EXPECT_NEAR(g->getLaneCutoff(1), 20.0f * std::exp2(6.0f), 1e-2f);
    Noise noise;
    double sum = 0;
    for (int n = 0; n < 1000; ++n) {
        in = noise.record();
        g->process(in, out);
        sum += std::fabs(out.sub[0].left);
    }
    EXPECT_GT(sum, 1.0);
    EXPECT_NEAR(g->getLaneCutoff(0), 20.0f * std::exp2(2.02f), 1e-3f);
}

// Prepared filters pair only when their kernels agree: the mode, the output taps of the
// zero-delay modes (which follow the morph in the mixing modes) and the depth of ring and
// amplitude modulation; combs never pair.
TEST_F(VoiceFilter, PairsRunOnlyWithTheSameKernel) {
    struct Case {
        int modeA, modeB;
        float resA, resB, morphA, morphB;
        bool pair;
    };
    const Case cases[] = {
        {3, 3, 0.2f, 0.7f, 0.1f, 0.9f, true},     {3, 4, 0.2f, 0.2f, 0.1f, 0.1f, false},
        {7, 7, 0.2f, 0.2f, 0.3f, 0.6f, true},     {11, 11, 0.2f, 0.2f, 0.3f, 0.3f, true},
        {11, 11, 0.2f, 0.2f, 0.3f, 0.6f, false},  {24, 24, 0.5f, 0.5f, 0.7f, 0.2f, false},
        {33, 33, 0.5f, 0.5f, 0.1f, 0.8f, true},   {33, 33, 0.5f, 0.7f, 0.1f, 0.1f, false},
        {30, 30, 0.5f, 0.5f, 0.1f, 0.1f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.modeA << "/" << c.modeB << " res " << c.resA << "/"
                                          << c.resB << " morph " << c.morphA << "/" << c.morphB);
        auto a = makeFilter(c.modeA), b = makeFilter(c.modeB);
        stereoOverStruct na{}, nb{};
        ASSERT_TRUE(a->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, c.resA, c.morphA, &na, &na));
        ASSERT_TRUE(b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, c.resB, c.morphB, &nb, &nb));
        EXPECT_EQ(c.pair, TFilter::canRunPair(*a, *b));
        EXPECT_EQ(c.pair, TFilter::canRunPair(*b, *a));
    }
    // Ring modulation takes its depth from the last call, whichever entry point made it;
    // a change of mode is seen at once.
    auto a = makeFilter(33), b = makeFilter(33);
    stereoOverStruct n{}, o{};
    a->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    EXPECT_TRUE(TFilter::canRunPair(*a, *b));
    b->process(stereoStruct{0.5f, 0.5f}, stereoStruct{0, 0}, 0.9f, 0.0f, n, o);
    EXPECT_FALSE(TFilter::canRunPair(*a, *b));
    b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    a->setType(3, false);
    EXPECT_FALSE(TFilter::canRunPair(*a, *b));
}

// --- the layer filters ---------------------------------------------------------------------

class LayerFilters : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { initFilterTables(); }
    double rate() const { return GetParam(); }
    // Gain of a fresh filter of kind F for a sine at f, cutoff fc; `run` filters one record.
    template <class F, class Run>
    Gain gain(double fc, double f, Run run, double seconds = 0.3) const {
        F filter;
        filter.init((float)rate());
        const float v = cutoffFor(fc);
        return sineGain([&](const stereoOverStruct& x, stereoOverStruct& y) { run(filter, v, x, y); }, f,
                        rate(), (long)(rate() * seconds), (long)(rate() * seconds / 3));
    }
    Gain wire(double fc, double f, float res, float sep = 1.0f) const {
        return gain<TBPFilter>(fc, f, [&](TBPFilter& b, float v, const stereoOverStruct& x, stereoOverStruct& y) {
            b.process(true, {v, v}, 0, sep, res, 1, &x, &y);
        });
    }
    double lowDb(double fc, double f, float res) const {
        return dB(gain<TLPFilter>(fc, f, [&](TLPFilter& l, float v, const stereoOverStruct& x, stereoOverStruct& y) {
            l.process(v, 0, res, 1, &x, &y);
        }).left);
    }
    double highDb(double fc, double f, double seconds = 0.3) const {
        return dB(gain<THPFilter>(fc, f, [&](THPFilter& h, float v, const stereoOverStruct& x, stereoOverStruct& y) {
            h.process(v, 0, 0, 1, &x, &y);
        }, seconds).left);
    }
};

TEST_P(LayerFilters, WireBandPassRingsAtItsCentreAndSplitsItsSides) {
    for (float res : {0.0f, 0.5f}) {
        SCOPED_TRACE(res);
        const double fc = 1200;
        // Peak gain of the band output: 1/D at the 0.1 level, times the output gain 20.
        const double best = dB(wire(fc, fc, res).left);
        EXPECT_NEAR(best, dB(2.0 / (1.0 - 0.95 * res)), 1.0);
        for (double ratio : {std::exp2(-1.0 / 12), std::exp2(1.0 / 12)})
            EXPECT_LT(dB(wire(fc, fc * ratio, res).left), best);
        EXPECT_LT(dB(wire(fc, fc * 4, res).left), best - 10.0);
        EXPECT_LT(dB(wire(fc, fc / 4, res).left), best - 10.0);
    }
    // Separation 2: the left side rings an octave lower than the right.
    const Gain at500 = wire(1000, 500, 0.5f, 2.0f), at2000 = wire(1000, 2000, 0.5f, 2.0f);
    EXPECT_GT(at500.left, 3.0 * at500.right);
    EXPECT_GT(at2000.right, 3.0 * at2000.left);
}

TEST_P(LayerFilters, LowAndHighPassMeetTheirCutoffs) {
    const double fc = 1000;
    EXPECT_NEAR(lowDb(fc, fc, 0), 0.0, 1.0);  // R = 0.5: Q = 1
    EXPECT_NEAR(lowDb(fc, fc / 16, 0), 0.0, 0.3);
    EXPECT_NEAR(lowDb(fc, 2 * fc, 0) - lowDb(fc, 4 * fc, 0), 12.0, 2.0);
    // Resonance 1 gives q = 0.949, R = 0.5 x 2^(-5 q): a peak of 1 / (2R) at the cutoff.
    EXPECT_NEAR(lowDb(fc, fc, 1.0f), dB(1.0 / std::pow(2.0, -5.0 * 0.949)), 1.0);
    EXPECT_NEAR(highDb(fc, fc), 0.0, 1.0);
    EXPECT_NEAR(highDb(fc, fc * 8), 0.0, 0.5);
    EXPECT_NEAR(highDb(fc, fc / 2) - highDb(fc, fc / 4), 12.0, 2.0);
    // The lowest setting (20 Hz) at 5 Hz: the Q = 1 high-pass, and the one-pole low cut at
    // 30 / (2 pi) Hz takes ~3 dB more.
    const double u = 5.0 / 20.0, corner = 30.0 / (2.0 * kPi);
    const double hpOnly = u * u / std::sqrt((1 - u * u) * (1 - u * u) + u * u);
    EXPECT_NEAR(highDb(20, 5, 3.0), dB(hpOnly * 5.0 / std::sqrt(25.0 + corner * corner)), 0.7);
}

INSTANTIATE_TEST_SUITE_P(Rates, LayerFilters, ::testing::Values(44100.0, 96000.0));

// A layer filter that ran six notes, reset, plays one note and then six exactly as a fresh
// filter does: the pairs the one note leaves alone are cleared when six reach them again.
template <class F, class Run>
void expectResetLikeFresh(Run run) {
    F used, fresh;
    used.init(44100.0f);
    fresh.init(44100.0f);
    Noise noise;
    stereoOverStruct in[6], out[6];
    const auto play = [&](F& f, uint32_t seed, int steps, int notes) {
        noise.state = seed;
        std::vector<stereoOverStruct> all;
        for (int n = 0; n < steps; ++n) {
            for (auto& x : in) x = noise.record();
            run(f, notes, in, out);
            all.insert(all.end(), out, out + notes);
        }
        return all;
    };
    play(used, 3, 500, 6);
    used.reset();
    for (const auto& [notes, steps] : {std::pair{1, 200}, std::pair{6, 500}}) {
        const auto a = play(used, 9, steps, notes), b = play(fresh, 9, steps, notes);
        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(stereoOverStruct))) << notes;
    }
}

TEST(LayerFilterControls, ResetGivesTheOutputOfAFreshFilter) {
    initFilterTables();
    expectResetLikeFresh<TBPFilter>([](TBPFilter& f, int n, const stereoOverStruct* in, stereoOverStruct* out) {
        f.process(true, {0.45f, 0.5f}, 0.0f, 1.3f, 0.7f, n, in, out);
    });
    expectResetLikeFresh<TLPFilter>([](TLPFilter& f, int n, const stereoOverStruct* in, stereoOverStruct* out) {
        f.process(0.4f, 0.0f, 0.6f, n, in, out);
    });
    expectResetLikeFresh<THPFilter>([](THPFilter& f, int n, const stereoOverStruct* in, stereoOverStruct* out) {
        f.process(0.3f, 0.0f, 0.5f, n, in, out);
    });
}

TEST(LayerFilterControls, WireOffTrackingEnvelopesAndRates) {
    initFilterTables();
    LayerTrio trio(44100.0f);
    auto& [bp, lp, hp] = trio;
    // Switched off, the Wire passes the notes unchanged.
    Noise noise;
    stereoOverStruct notes[5], passed[5];
    for (auto& x : notes) x = noise.record(2.0f);
    bp.process(false, {0.5f, 0.5f}, 0, 1.0f, 0.5f, 5, notes, passed);
    EXPECT_EQ(0, std::memcmp(notes, passed, sizeof notes));
    stereoOverStruct in[2] = {}, out[2];
    const float v = 0.4f;
    bp.setTrack(1.0f, 1.0f);
    lp.setTrack(-1.0f, 1.0f);
    bp.setVel(1.0f, 0.6f);   // +0.1
    lp.setVel(-1.0f, 0.6f);  // -0.1
    bp.setEnv(1, 0.1f);
    lp.setEnv(1, 0.1f);
    bp.process(true, {v, v}, 0.02f, 1.0f, 0, 2, in, out);
    lp.process(v, 0.02f, 0, 2, in, out);
    EXPECT_NEAR(bp.getLaneCutoff(0), 2.0f * 20.0f * std::exp2(10.0f * 0.52f), 3e-3f);
    EXPECT_NEAR(bp.getLaneCutoff(2), 2.0f * 20.0f * std::exp2(10.0f * 0.62f), 5e-3f);
    EXPECT_NEAR(lp.getCopyCutoff(0), 0.5f * 20.0f * std::exp2(10.0f * 0.32f), 1e-3f);
    EXPECT_NEAR(lp.getCopyCutoff(1), 0.5f * 20.0f * std::exp2(10.0f * 0.42f), 1e-3f);
    // The exponent is held to 0..1 and the frequency to 0.4 x rate.
    lp.setTrack(1.0f, 3.0f);
    lp.setEnv(0, 5.0f);
    lp.process(v, 0, 0, 2, in, out);
    EXPECT_FLOAT_EQ(lp.getCopyCutoff(0), 0.4f * 44100.0f);
    lp.setEnv(0, -5.0f);
    lp.setTrack(0, 0);
    lp.process(v, 0, 0, 2, in, out);
    EXPECT_NEAR(lp.getCopyCutoff(0), 20.0f, 1e-4f);
    hp.process(0.3f, 0.1f, 0, 2, in, out);
    EXPECT_NEAR(hp.getCutoff(), 20.0f * std::exp2(4.0f), 1e-3f);
    // Rates out of range fall back or are held.
    for (float r : {500.0f, -1.0f, kNaN}) {
        bp.init(r);
        hp.init(r);
        EXPECT_EQ(bp.getRate(), 44100.0f);
        EXPECT_EQ(hp.getRate(), 44100.0f);
    }
    lp.init(250000.0f);
    hp.init(250000.0f);
    EXPECT_EQ(lp.getRate(), 196000.0f);
    EXPECT_EQ(hp.getRate(), 192000.0f);
}

// --- the layer filters in the voice path, through the offline host -------------------------

namespace enginepath {

using namespace enginetest;

constexpr double kRate = 48000.0;

class FiltersInVoicePath : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("filters-engine")); }
};

// Layer 1 as a Wave saw with its filter in `mode` at the normalised cutoff, no tracking, no
// envelope and no resonance, the high-pass at `hp`.
Params sawThrough(int mode, float cutoff, float hp = 0.0f) {
    return with(plainWave(1), {{FILTER_MODE_TAGS[0], stepped(mode, 34.99f)},
                               {FILTER_FREQ_TAGS[0], cutoff},
                               {FILTER_Q_TAGS[0], 0.0f},
                               {FILTER_SEP_TAGS[0], 0.5f},
                               {FILTER_ENV_AMT_TAGS[0], 0.5f},
                               {FILTER_KEY_TRACK_TAGS[0], 0.5f},
                               {FILTER_VEL_TRACK_TAGS[0], 0.5f},
                               {HP_FREQ_TAGS[0], hp}});
}

TEST_F(FiltersInVoicePath, LowAndHighPassShapeASaw) {
    // A 110 Hz saw: the closed 24 dB low-pass (160 Hz) takes harmonics 20-40, the open one
    // passes them with its gain of sqrt 2; the high-pass at 640 Hz takes the fundamental.
    const auto note = std::vector<tavhost::TimedMidiEvent>{midi(0, 0x90, 57, 100)};
    const Rendered open = render(sawThrough(15, 1.0f), note, 24000);
    const Rendered closed = render(sawThrough(15, 0.3f), note, 24000);
    const Rendered bypass = render(sawThrough(0, 0.3f), note, 24000);
    const Rendered high = render(sawThrough(0, 1.0f, 0.5f), note, 24000);
    ASSERT_TRUE(open.clean && closed.clean && bypass.clean && high.clean);
    auto amp = [](const Rendered& r, double f) { return amplitudeAt(r.left, 4000, 16384, f, kRate); };
    double hOpen = 0, hClosed = 0, hBypass = 0;
    for (int k = 20; k <= 40; ++k) {
        hOpen += std::pow(amp(open, 110.0 * k), 2);
        hClosed += std::pow(amp(closed, 110.0 * k), 2);
        hBypass += std::pow(amp(bypass, 110.0 * k), 2);
    }
    EXPECT_LT(hClosed, 1e-6 * hOpen);
    EXPECT_NEAR(hOpen / hBypass, 2.0, 0.4);
    EXPECT_GT(amp(closed, 110.0), 0.5 * amp(bypass, 110.0));
    const double u = 110.0 / 640.0;
    EXPECT_NEAR(amp(high, 110.0) / amp(bypass, 110.0), u * u / std::sqrt((1 - u * u) * (1 - u * u) + u * u), 0.01);
    EXPECT_NEAR(amp(high, 2200.0) / amp(bypass, 2200.0), 1.0, 0.05);
}

TEST_F(FiltersInVoicePath, NoteStartClearsTheVoiceFilters) {
    // A loud note rings a resonant comb, then falls silent with the comb lines still full.
    // The next note takes the same voice and sounds as in a fresh instance.
    const Params comb = with(sawThrough(30, 0.25f), {{FILTER_Q_TAGS[0], 1.0f}, {8, 0.05f}});
    Engine used;
    used.set(comb);
    used.render(16);
    used.noteOn(60, 127);
    used.render(9000);
    used.noteOff(60);
    used.render(12000);
    ASSERT_FALSE(used.p().isVoiceSounding(0));
    Engine fresh;
    fresh.set(comb);
    fresh.render(16 + 9000 + 12000);
    used.noteOn(48, 90);
    fresh.noteOn(48, 90);
    const std::vector<float> a = used.render(6000), b = fresh.render(6000);
    ASSERT_EQ(used.p().voiceNote[0], 48) << "the new note takes the voice of the old one";
    const double top = peak(b, 0, b.size());
    ASSERT_GT(top, 0.01);
    double worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::fmax(worst, std::fabs((double)a[i] - b[i]));
    EXPECT_LT(worst, 1e-4 * top);
}

}  // namespace enginepath

constexpr float kRate = 48000.0f;

// --- robustness --------------------------------------------------------------------------

class FilterRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        initFilterTables();
        exactDenormals();
    }
};

// Two seconds of full-scale noise through one mode at one rate, for every resonance,
// cutoff and separation of the sweep, then loud drives; returns an empty string or the
// first failure. The combs hold +-100, the vowel resonators +-2 each times 28.3.
std::string sweepMode(int mode, float rate) {
    const float bound = mode == kFilterVocal ? 10.0f * (28.3f * 8.0f + 1.0f)
                        : (mode >= kFilterCombPositive && mode <= kFilterCombPingPong) ? 100.0f : 200.0f;
    auto f = std::make_unique<TFilter>();
    for (float r : {0.0f, 0.5f, 1.0f})
        for (float c : {0.0f, 0.5f, 1.0f})
            for (float sep : {0.5f, 1.0f, 2.0f}) {
                f->init(rate);
                f->setType(mode, true);
                Noise noise;
                noise.state = (uint32_t)(mode * 7919 + 13);
                stereoOverStruct in, out;
                float peak = 0;
                for (int n = 0; n < (int)(2 * rate); ++n) {
                    in = noise.record();
                    f->process({c, c}, {0, 0}, sep, r, 0.5f, 1, &in, &out);
                    for (int s = 0; s < 2; ++s)
                        peak = std::fmax(peak, std::fmax(std::fabs(out.sub[s].left), std::fabs(out.sub[s].right)));
                    if (!std::isfinite(out.sub[0].left + out.sub[0].right + out.sub[1].left + out.sub[1].right))
                        peak = kInf;
                }
                if (!(peak <= bound))
                    return ::testing::PrintToString(std::vector<float>{(float)mode, rate, r, c, sep, peak}) +
                           " (mode, rate, resonance, cutoff, separation, peak)";
            }
    // Loud input saturates instead of exploding: noise at forty times full scale, sines at
    // four hundred times at high cutoffs with full resonance.
    const double drives[3][3] = {{400, 0, 40}, {4000, 1, 400}, {12000, 1, 400}};
    for (const auto& d : drives) {
        f->init(rate);
        f->setType(mode, true);
        const float v = cutoffFor(d[0]);
        Noise noise;
        stereoOverStruct in, out;
        for (int n = 0; n < 20000; ++n) {
            in = d[1] > 0 ? sineRecord(d[0], rate, n, d[2], d[2]) : noise.record((float)d[2]);
            f->process({v, v}, {0, 0}, 1.0f, 1.0f, 0.5f, 1, &in, &out);
            if (!(std::isfinite(out.sub[1].right) && std::fabs(out.sub[0].left) < 1e5f))
                return "mode " + std::to_string(mode) + " driven at " + std::to_string(d[0]) + " Hz";
        }
    }
    return {};
}

TEST_F(FilterRobustness, EveryModeStaysFiniteAndBoundedUnderNoise) {
    // Every mode x rate {44.1, 96, 192 kHz}, the jobs spread over a few threads.
    std::vector<std::pair<int, float>> jobs;
    for (float rate : {44100.0f, 96000.0f, 192000.0f})
        for (int mode = 0; mode < kFilterModeCount; ++mode) jobs.push_back({mode, rate});
    std::vector<std::string> failures(jobs.size());
    std::atomic<size_t> next{0};
    const unsigned hw = std::thread::hardware_concurrency();
    std::vector<std::thread> pool;
    for (unsigned w = 0; w < (hw == 0 ? 2 : (hw > 8 ? 8 : hw)); ++w)
        pool.emplace_back([&] {
            for (size_t j = next++; j < jobs.size(); j = next++) failures[j] = sweepMode(jobs[j].first, jobs[j].second);
        });
    for (auto& t : pool) t.join();
    for (const std::string& failure : failures) EXPECT_TRUE(failure.empty()) << failure;
}

TEST_F(FilterRobustness, HostileControlsNeverReachTheOutput) {
    auto f = std::make_unique<TFilter>();
    Noise noise;
    stereoOverStruct in[2], out[2];
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        for (float v : {kNaN, kInf, -kInf, 1e30f, -3.0f}) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " value " << v);
            f->init(44100.0f);
            f->setType(mode, true);
            f->setTrack(v, 1.0f);
            f->setVel(v, 1.0f);
            for (int n = 0; n < 1000; ++n) {
                for (auto& x : in) x = noise.record();
                f->setEnv(0, v);
                f->setEnv(1, 0.3f);
                f->process({v, 0.5f}, {v, v}, v, v, v, 2, in, out);
                for (const auto& y : out)
                    for (int s = 0; s < 2; ++s)
                        ASSERT_TRUE(std::isfinite(y.sub[s].left) && std::isfinite(y.sub[s].right)) << n;
            }
            // No lasting damage: sane controls filter normally again, the cutoff recovers.
            f->setTrack(0, 0);
            f->setVel(0, 0);
            f->setEnv(0, 0);
            for (int n = 0; n < 2000; ++n) {
                for (auto& x : in) x = noise.record();
                f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.5f, 2, in, out);
            }
            ASSERT_TRUE(std::isfinite(out[1].sub[1].left));
            EXPECT_TRUE(mode == kFilterBypass || std::fabs(f->getLaneCutoff(0) - 20.0f * std::exp2(5.0f)) < 1.0f);
            // The effect entry points take the same values.
            stereoOverStruct e{}, eo{};
            f->process(v, v, stereoStruct{v, v}, v, v, e, eo);
            f->process(stereoStruct{v, v}, stereoStruct{v, v}, v, v, e, eo);
            f->process(e, eo);
            ASSERT_TRUE(std::isfinite(eo.sub[0].left) && std::isfinite(eo.sub[1].right));
        }
    }
    // Unusual rates, modes and copy counts: copies beyond six are left alone.
    for (float rate : {kNaN, -5.0f, 999.0f, kInf}) {
        f->init(rate);
        EXPECT_EQ(f->getRate(), 44100.0f);
    }
    f->setType(99, true);
    EXPECT_EQ(f->getType(), kFilterModeCount - 1);
    f->setType(-4, true);
    EXPECT_EQ(f->getType(), 0);
    f->setType(7, true);
    stereoOverStruct many[8], manyOut[8];
    for (auto& x : many) x = noise.record();
    f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0, 8, many, manyOut);
    EXPECT_EQ(0, std::memcmp(&many[6], &manyOut[6], 2 * sizeof(stereoOverStruct)));
    f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0, -3, many, manyOut);
    f->setEnv(-1, 1.0f);
    f->setEnv(6, 1.0f);
    // The layer filters likewise.
    LayerTrio trio(48000.0f);
    auto& [bp, lp, hp] = trio;
    stereoOverStruct notes[6], a[6], b[6];
    for (float v : {kNaN, kInf, -kInf, 1e30f}) {
        bp.setTrack(v, 1);
        bp.setVel(v, 1);
        bp.setEnv(0, v);
        lp.setTrack(v, 1);
        lp.setVel(v, 1);
        lp.setEnv(0, v);
        for (int n = 0; n < 500; ++n) {
            for (auto& x : notes) x = noise.record();
            bp.process(true, {v, v}, v, v, v, 6, notes, a);
            lp.process(v, v, v, 6, a, b);
            hp.process(v, v, v, 6, b, b);
            for (const auto& y : b) ASSERT_TRUE(std::isfinite(y.sub[0].left) && std::isfinite(y.sub[1].right)) << v;
        }
    }
}

TEST_F(FilterRobustness, TenSecondsOfSilenceLeaveNoSubnormalState) {
    // After a burst of noise and ten seconds of silence, with flush-to-zero off, every state
    // is zero or of normal size, and so is every output.
    const float rate = 44100.0f;
    const int silence = (int)(10 * rate);
    auto f = std::make_unique<TFilter>();
    for (int mode = 1; mode < kFilterModeCount; ++mode) {
        for (float cutoff : {0.0f, 0.4f, 1.0f}) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " cutoff " << cutoff);
            f->init(rate);
            f->setType(mode, true);
            Noise noise;
            stereoOverStruct in[3], out[3];
            bool outputsNormal = true;
            for (int n = 0; n < 2000 + silence; ++n) {
                for (auto& x : in) x = n < 2000 ? noise.record() : stereoOverStruct{};
                f->process({cutoff, cutoff}, {0, 0}, 1.5f, 0.7f, 0.4f, 3, in, out);
                if (n >= 2000)
                    for (const auto& y : out) outputsNormal &= noSubnormals(&y.sub[0].left, &y.sub[0].left + 4);
            }
            EXPECT_TRUE(outputsNormal);
            EXPECT_TRUE(noSubnormals(f->stateBegin(), f->stateEnd()));
            for (int c = 0; c < 4; ++c) {
                EXPECT_TRUE(noSubnormals(f->combFeedLine(c), f->combFeedLine(c) + 2 * kCombFrames));
                EXPECT_TRUE(noSubnormals(f->combFeedbackLine(c), f->combFeedbackLine(c) + 2 * kCombFrames));
            }
        }
    }
    // The effect kernel and the layer filters likewise.
    LayerTrio trio(rate);
    auto& [bp, lp, hp] = trio;
    f->init(rate);
    f->setType(8, true);
    Noise noise;
    stereoOverStruct in[3], out[3];
    for (int n = 0; n < silence + 2000; ++n) {
        for (auto& x : in) x = n < 2000 ? noise.record() : stereoOverStruct{};
        bp.process(true, {0.5f, 0.5f}, 0, 1.5f, 0.8f, 3, in, out);
        lp.process(0.2f, 0, 0.7f, 3, in, out);
        hp.process(0.5f, 0, 0.7f, 3, in, out);
        f->process(0.5f, 1.0f, stereoStruct{0, 0}, 0.7f, 0, in[0], out[0]);
    }
    EXPECT_TRUE(noSubnormals(bp.stateBegin(), bp.stateEnd()));
    EXPECT_TRUE(noSubnormals(lp.stateBegin(), lp.stateEnd()));
    EXPECT_TRUE(noSubnormals(hp.stateBegin(), hp.stateEnd()));
    EXPECT_TRUE(noSubnormals(f->stateBegin(), f->stateEnd()));
}

// `steps` host samples of seeded noise as `notes` notes (six unless given); every output.
std::vector<stereoOverStruct> runNotes(TFilter& f, uint32_t seed, int steps, float cutoff, float res,
                                       int notes = 6) {
    Noise noise;
    noise.state = seed;
    std::vector<stereoOverStruct> all;
    stereoOverStruct in[6], out[6];
    for (int n = 0; n < steps; ++n) {
        for (auto& x : in) x = noise.record();
        f.process({cutoff, cutoff * 0.9f}, {0, 0}, 1.7f, res, 0.3f, notes, in, out);
        all.insert(all.end(), out, out + notes);
    }
    return all;
}

TEST_F(FilterRobustness, ResetGivesTheOutputOfClearedLines) {
    // A filter whose comb lines are full of an earlier note, reset, plays a new note exactly
    // as a fresh filter does, in every mode, while the reset leaves the lines themselves
    // alone (a chord on three layers resets eighteen filters in one sample).
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        SCOPED_TRACE(mode);
        auto used = makeFilter(31);
        runNotes(*used, 7, 30000, 0.15f, 0.9f);  // long delays: most of every line written
        used->setType(mode, false);
        runNotes(*used, 3, 500, 0.4f, 0.7f);  // every pair's states of this mode in use
        const std::vector<float> before(used->combFeedLine(0), used->combFeedLine(0) + 2 * kCombFrames);
        used->reset();
        EXPECT_TRUE(mode > 0 || !std::memcmp(before.data(), used->combFeedLine(0), before.size() * sizeof(float)));
        auto fresh = makeFilter(mode);
        // One note first: the pairs of the earlier six stay untouched until six come again,
        // and must then play as cleared.
        const auto a1 = runNotes(*used, 5, 300, 0.3f, 0.8f, 1);
        const auto b1 = runNotes(*fresh, 5, 300, 0.3f, 0.8f, 1);
        ASSERT_EQ(0, std::memcmp(a1.data(), b1.data(), a1.size() * sizeof(stereoOverStruct)));
        // Longer than the longest delay, so reads run over frames written before the reset.
        const auto a = runNotes(*used, 99, 12000, 0.1f, 0.6f);
        const auto b = runNotes(*fresh, 99, 12000, 0.1f, 0.6f);
        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(stereoOverStruct)));
    }
}

}  // namespace
