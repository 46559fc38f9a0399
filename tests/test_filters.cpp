// The filters: responses of the multimode voice filter and the layer filters measured with
// sines, the same filters in the voice path, their pair and quad entry points against plain
// calls, and their robustness.
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

std::unique_ptr<TFilter> makeFilter(int mode, float rate = 44100.0f) {
    auto f = std::make_unique<TFilter>();
    f->init(rate);
    f->setType(mode, true);
    return f;
}

bool sameBits(const stereoOverStruct& a, const stereoOverStruct& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

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

// --- pair and quad entry points, skipped updates: bit for bit as plain calls ---------------

constexpr float kRate = 48000.0f;

// A reproducible signal per voice: a detuned saw and noise, different on each side.
struct Source {
    uint32_t seed;
    float phase = 0.0f, step;
    explicit Source(int voice) : seed(12345u + 977u * (uint32_t)voice), step(0.003f + 0.0011f * voice) {}
    float noise() {
        seed = seed * 1664525u + 1013904223u;
        return (float)(seed >> 8) / 8388608.0f - 1.0f;
    }
    stereoOverStruct next() {
        stereoOverStruct r;
        for (int s = 0; s < 2; ++s) {
            phase += step;
            if (phase >= 1.0f) phase -= 1.0f;
            r.sub[s].left = 2.0f * phase - 1.0f + 0.2f * noise();
            r.sub[s].right = 0.5f * noise() - (2.0f * phase - 1.0f);
        }
        return r;
    }
};

// Per-voice arguments that change over time: each voice's own envelope sweep (held still
// for a while: the settled case) and a modulation step half way.
struct Args {
    float env, mod, q, sep, cutoff;
};
Args argsAt(int voice, int n) {
    Args a;
    a.env = (n > 1500 && n < 2500) ? 0.1f : 0.3f * std::sin(0.002f * (float)n * (1.0f + 0.3f * (float)voice));
    a.mod = n < 2000 ? 0.0f : 0.05f * (float)(voice % 3);
    a.q = voice % 2 ? 0.3f : 0.8f;
    a.sep = 1.0f + 0.1f * (float)voice;
    a.cutoff = voice < 4 ? 0.45f : 0.4f + 0.05f * (float)voice;  // shared by a quad
    return a;
}

// Voices 0-3 as a quad, 4-5 as a pair and 6 alone against process() one voice at a time,
// whose zero modulation alternates its sign so that it never skips an update. The one-note
// updates keep values between calls (the band-pass side gains, the table entries read), so
// separations of +0, -0 and NaN, resonance, tracking and velocity steps, resets and calls of
// two notes through process() in between must all leave them where process() alone is.
TEST(FilterPairs, LayerFiltersInPairsAndQuadsMatchProcessBitForBit) {
    initFilterTables();
    constexpr int kVoices = 7;
    const float seps[] = {1.0f, 0.0f, -0.0f, 0.0f, kNaN, 1.5f, -0.0f, 0.7f};
    TBPFilter bp[2][kVoices];  // [0] the reference, [1] the batched voices
    TLPFilter lp[2][kVoices];
    THPFilter hp[2][kVoices];
    std::vector<Source> src[2];
    for (int k = 0; k < 2; ++k)
        for (int v = 0; v < kVoices; ++v) {
            bp[k][v].init(kRate);
            bp[k][v].setTrack(0.5f, 0.1f * (float)v);
            bp[k][v].setVel(0.4f, 0.6f);
            lp[k][v].init(kRate);
            lp[k][v].setTrack(-0.3f, 0.1f * (float)v);
            hp[k][v].init(kRate);
            src[k].emplace_back(v);
        }
    double energy = 0.0;
    for (int n = 0; n < 4000; ++n) {
        // both lane widths, taking over each other's state
        lanes::setWidth((n / 450) % 2 ? lanes::Width::Baseline : lanes::widest());
        const bool twoNotes = (n / 170) % 5 == 4;
        const float zero = (n & 1) ? -0.0f : 0.0f;
        Args args[kVoices];
        stereoOverStruct io[2][kVoices];
        for (int v = 0; v < kVoices; ++v) {
            args[v] = argsAt(v, n);
            if (n < 1500 || n >= 2500) args[v].sep *= seps[(n / 50) % 8];  // envelopes moving
            args[v].q = (n / 300 + v) % 2 ? 0.2f : 0.9f;
        }
        for (int k = 0; k < 2; ++k) {
            if (n == 1333) {
                bp[k][2].reset();
                lp[k][5].reset();
                lp[k][1].reset();
                hp[k][6].reset();
            }
            if (n % 700 == 350) {
                bp[k][1].setTrack(0.9f, 0.05f * (float)(n / 700));
                lp[k][4].setVel(0.5f, 0.05f * (float)(n / 700));
                lp[k][2].setTrack(0.2f, 0.05f * (float)(n / 700));
            }
            for (int v = 0; v < kVoices; ++v) {
                bp[k][v].setEnv(0, args[v].env);
                bp[k][v].setEnv(1, -args[v].env);
                lp[k][v].setEnv(0, -args[v].env);
                lp[k][v].setEnv(1, args[v].env);
                io[k][v] = src[k][v].next();
            }
        }
        auto plain = [&](int k, int v, int notes) {
            const Args& a = args[v];
            const float mod = (k == 0 && a.mod == 0.0f) ? zero : a.mod;
            stereoOverStruct in[2] = {io[k][v], io[k][v]}, band[2], low[2], high[2];
            bp[k][v].process(true, {0.15f, 0.15f}, mod, a.sep, a.q, notes, in, band);
            lp[k][v].process(a.cutoff, mod, a.q, notes, band, low);
            hp[k][v].process(0.2f, mod, a.q, notes, low, high);
            io[k][v] = high[0];  // with two notes the second one's result is dropped
        };
        for (int v = 0; v < kVoices; ++v) plain(0, v, twoNotes ? 2 : 1);
        if (twoNotes) {
            for (int v = 0; v < kVoices; ++v) plain(1, v, 2);
        } else {
            stereoOverStruct* out = io[1];
            Lanes4 lanes[3][2];
            for (int p = 0; p < 3; ++p) filtermath::loadNotePair(out[2 * p], out[2 * p + 1], lanes[p]);
            const float mods[4] = {args[0].mod, args[1].mod, args[2].mod, args[3].mod};
            const float sepsNow[4] = {args[0].sep, args[1].sep, args[2].sep, args[3].sep};
            const float qs[4] = {args[0].q, args[1].q, args[2].q, args[3].q};
            TBPFilter::prepareNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3], {0.15f, 0.15f}, mods,
                                       sepsNow, qs);
            for (int v = 4; v < 6; ++v) bp[1][v].prepareNote({0.15f, 0.15f}, args[v].mod, args[v].sep, args[v].q);
            TBPFilter::runNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3], lanes[0], lanes[1]);
            TBPFilter::runNotePair(bp[1][4], bp[1][5], lanes[2]);
            TLPFilter::prepareNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], args[0].cutoff, mods, qs);
            for (int v = 4; v < 6; ++v) lp[1][v].prepareNote(args[v].cutoff, args[v].mod, args[v].q);
            TLPFilter::runNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], lanes[0], lanes[1]);
            TLPFilter::runNotePair(lp[1][4], lp[1][5], lanes[2]);
            for (int v = 0; v < 6; ++v) hp[1][v].prepareNote(0.2f, args[v].mod, args[v].q);
            THPFilter::runNoteQuad(hp[1][0], hp[1][1], hp[1][2], hp[1][3], lanes[0], lanes[1]);
            THPFilter::runNotePair(hp[1][4], hp[1][5], lanes[2]);
            for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], out[2 * p], out[2 * p + 1]);
            plain(1, 6, 1);
        }
        for (int v = 0; v < kVoices; ++v) {
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
            for (int l = 0; l < kFilterLanes; ++l)
                ASSERT_EQ(bp[0][v].getLaneCutoff(l), bp[1][v].getLaneCutoff(l)) << "lane " << l;
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(lp[0][v].getCopyCutoff(c), lp[1][v].getCopyCutoff(c)) << "copy " << c;
            if (std::isfinite(io[0][v].sub[1].right)) energy += std::pow(io[0][v].sub[1].right, 2.0);
        }
        // The side gains follow the separation, also where only its sign changed: the left
        // side's cutoff / separation is +inf (held at the ceiling) for +0, -inf (held at 0) for -0.
        const float sep = args[0].sep, left = bp[1][0].getLaneCutoff(0), right = bp[1][0].getLaneCutoff(1);
        if (!twoNotes && n % 50 == 49 && sep == 0.0f) {
            EXPECT_TRUE(left == (std::signbit(sep) ? 0.0f : 0.4f * kRate) && right == 0.0f)
                << "sample " << n << ": " << left << ", " << right;
        } else if (!twoNotes && n % 50 == 49 && std::isfinite(sep)) {
            EXPECT_NEAR(right / left, sep * sep, 1e-4f * sep * sep) << "sample " << n;
        }
    }
    lanes::setWidth(lanes::widest());
    EXPECT_GT(energy / (kVoices * 4000), 1e-4);
}

// A band-pass resonance nudged within the tolerance of its coefficients while the cutoff
// stands still leaves the damping of the update before; once the envelope moves, the quad
// path must damp with the new resonance, as process() does.
TEST(FilterPairs, BandPassQuadAfterAResonanceNudgeMatchesProcess) {
    initFilterTables();
    for (const lanes::Width width : {lanes::Width::Baseline, lanes::widest()}) {
        lanes::setWidth(width);
        TBPFilter ref[4], quad[4];
        std::vector<Source> src;
        for (int k = 0; k < 4; ++k) {
            ref[k].init(kRate);
            quad[k].init(kRate);
            src.emplace_back(k);
        }
        const float mods[4] = {0.1f, 0.2f, 0.3f, 0.4f}, seps[4] = {1.0f, 1.2f, 0.8f, 1.0f};
        for (int n = 0; n < 60; ++n) {
            const float q = n < 20 ? 0.5f : 0.5f + 1e-5f;  // damping terms 9.5e-6 apart
            const float qs[4] = {q, q, q, q};
            const float env = n < 30 ? 0.2f : 0.2f + 0.002f * (float)n;  // still, then moving
            stereoOverStruct want[4], got[4];
            for (int k = 0; k < 4; ++k) {
                ref[k].setEnv(0, env);
                quad[k].setEnv(0, env);
                got[k] = src[k].next();
                ref[k].process(true, {0.15f, 0.15f}, mods[k], seps[k], q, 1, &got[k], &want[k]);
            }
            Lanes4 lanes[2][2];
            for (int p = 0; p < 2; ++p) filtermath::loadNotePair(got[2 * p], got[2 * p + 1], lanes[p]);
            TBPFilter::prepareNoteQuad(quad[0], quad[1], quad[2], quad[3], {0.15f, 0.15f}, mods,
                                       seps, qs);
            TBPFilter::runNoteQuad(quad[0], quad[1], quad[2], quad[3], lanes[0], lanes[1]);
            for (int p = 0; p < 2; ++p) filtermath::storeNotePair(lanes[p], got[2 * p], got[2 * p + 1]);
            for (int k = 0; k < 4; ++k)
                ASSERT_TRUE(sameBits(want[k], got[k])) << "voice " << k << " sample " << n;
        }
    }
    lanes::setWidth(lanes::widest());
}

// The eight-lane paths for one test; the width in use before comes back after it.
struct WideLanes {
    lanes::Width saved = lanes::width();
    WideLanes() { lanes::setWidth(lanes::Width::Wide); }
    ~WideLanes() { lanes::setWidth(saved); }
};

// Eleven voices of mono notes through the high-pass eight lanes at a time (eight, then
// three with the last repeated; an octet a call, or on odd samples both in one) against
// process() one voice at a time; a stretch of
// stereo input into voice 9 leaves its state with two sides, and its group must then be
// declined untouched (and run through process() instead, its states given back) until
// the sides agree again. The octets hold their states between calls; a reset in a held
// octet gives them back first.
TEST(FilterPairs, MonoHighPassMatchesProcessAndDeclinesStereoStates) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    constexpr int kVoices = 11;
    THPFilter hp[2][kVoices];
    std::vector<Source> src;
    for (int v = 0; v < kVoices; ++v) {
        hp[0][v].init(kRate);
        hp[1][v].init(kRate);
        src.emplace_back(v);
    }
    HighPassOctets bank;
    stereoOverStruct io[2][kVoices];
    int ran = 0, declined = 0;
    for (int n = 0; n < 3000; ++n) {
        if (n == 2000) {
            hp[0][3].reset();
            hp[1][3].reset();
        }
        float mod[16] = {}, q[16] = {};
        for (int v = 0; v < kVoices; ++v) {
            stereoOverStruct x = src[v].next();
            if (v != 9 || n < 1000 || n >= 1100)
                for (int s = 0; s < 2; ++s) x.sub[s].right = x.sub[s].left;
            io[0][v] = io[1][v] = x;
            mod[v] = 0.1f * (float)((n / 400 + v) % 4);
            q[v] = (n / 250 + v) % 2 ? 0.3f : 0.9f;
        }
        for (int v = 0; v < kVoices; ++v) hp[0][v].process(0.2f, mod[v], q[v], 1, &io[0][v], &io[0][v]);
        // odd samples: both octets in one call
        stereoOverStruct before[2];
        for (int g = 0; g < kVoices; g += 8) {
            const int count = std::min(8, kVoices - g);
            HighPassOctet& o = bank.octet[g / 8];
            if (o.count == 0)
                for (int i = 0; i < 8; ++i) {
                    o.f[i] = &hp[1][g + std::min(i, count - 1)];
                    o.rec[i] = &io[1][g + std::min(i, count - 1)];
                    o.at[i] = g + std::min(i, count - 1);
                }
            before[g / 8] = *o.rec[1];
        }
        const unsigned both =
            n % 2 ? THPFilter::runNoteOctetsHeld(bank, kVoices, 0.2f, mod, q) : 0u;
        for (int g = 0; g < kVoices; g += 8) {
            const int count = std::min(8, kVoices - g);
            THPFilter* const(&f)[8] = bank.octet[g / 8].f;
            stereoOverStruct* const(&rec)[8] = bank.octet[g / 8].rec;
            if (n % 2 ? (both >> (g / 8) & 1) != 0
                      : THPFilter::runNoteOctetHeld(bank, g / 8, count, 0.2f, mod, q)) {
                ASSERT_TRUE(bank.live());
                ++ran;
                continue;
            }
            ++declined;
            ASSERT_TRUE(g == 8 && n >= 1000) << "sample " << n << " group " << g;
            ASSERT_TRUE(sameBits(before[g / 8], *rec[1]));
            bank.release(g / 8);
            for (int i = 0; i < count; ++i)
                f[i]->process(0.2f, mod[g + i], q[g + i], 1, rec[i], rec[i]);
        }
        for (int v = 0; v < kVoices; ++v)
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
    }
    bank.release();  // the held states back where process() keeps its own
    EXPECT_FALSE(bank.live());
    for (int v = 0; v < kVoices; ++v)
        EXPECT_EQ(0, std::memcmp(hp[0][v].stateBegin(), hp[1][v].stateBegin(),
                                 sizeof(float) * (hp[0][v].stateEnd() - hp[0][v].stateBegin())));
    EXPECT_GE(declined, 100);
    EXPECT_GT(ran, 3000);
}

// Voices 0-3 as a quad when they can, 4-5 as a pair, against process() one voice at a time,
// whose zero modulation alternates its sign so that it never skips an update. Tracking,
// velocity and mode steps, direct takes, resets, effect calls (the wah and the talk box are
// one object) and calls of two notes in between reach both alike. Holding, the quad runs
// held (HeldMultimode) where it can.
TEST(FilterPairs, MultimodeFilterInPairsAndQuadsMatchesProcessInEveryMode) {
    initFilterTables();
    constexpr int kN = 6;
    const stereoOverStruct effectIn = Source(9).next();
    for (const bool holding : {false, true})
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        HeldMultimode held;
        int heldSteps = 0;
        std::vector<std::unique_ptr<TFilter>> ref, batch;
        std::vector<Source> srcRef, src;
        for (int v = 0; v < kN; ++v) {
            // Voice 5 runs another mode for a while, so that its pair cannot run side by side.
            for (auto* list : {&ref, &batch}) {
                list->push_back(makeFilter(v == 5 ? (mode + 7) % kFilterModeCount : mode, kRate));
                list->back()->setTrack(0.4f, 0.1f * (float)v);
                list->back()->setVel(0.3f, 0.8f);
            }
            srcRef.emplace_back(v);
            src.emplace_back(v);
        }
        double energy = 0.0;
        int quads = 0;
        for (int n = 0; n < 1500; ++n) {
            for (auto* list : {&ref, &batch}) {
                auto& f = *list;
                if (n == 300) f[0]->setTrack(0.5f, 0.7f);
                if (n == 700) f[2]->reset();
                if (n == 800) f[4]->setDirect();
                if (n == 999) {
                    stereoOverStruct o;
                    f[5]->process(stereoStruct{0.4f, 0.4f}, stereoStruct{0, 0}, 0.2f, 0.6f, effectIn, o);
                }
                if (n == 1000) f[5]->setType(mode, false);
                if (n == 1200) f[1]->setVel(0.7f, 0.9f);
            }
            const float zero = (n & 1) ? -0.0f : 0.0f;
            const bool twoNotes = (n / 170) % 5 == 4;
            // Voice 1 morphs away (other output taps than voice 0 in some zero-delay modes).
            const float morph[kN] = {0.2f, n < 700 ? 0.2f : 0.7f, 0.2f, 0.2f, 0.5f, 0.5f};
            stereoOverStruct r[kN], o[kN];
            bool run[kN];
            TFilter::NoteState state[kN] = {};
            Lanes4 lanesHeld[2][2];
            float rows[4][4] = {}, mods[4] = {}, cut = 0.0f;
            for (int v = 0; v < kN; ++v) {
                const Args a = argsAt(v, n + 1000);  // the envelopes held still for n in 500-1500
                const float m = a.mod == 0.0f ? zero : a.mod;
                ref[v]->setEnv(0, a.env);
                batch[v]->setEnv(0, a.env);
                stereoOverStruct in[2] = {srcRef[v].next(), srcRef[v].next()}, two[2];
                ref[v]->process({a.cutoff, a.cutoff}, {m, m}, a.sep, a.q, morph[v], twoNotes ? 2 : 1, in, two);
                r[v] = two[0];  // with two notes the second one's result is dropped
                o[v] = src[v].next();
                in[1] = src[v].next();
                if (twoNotes) {
                    in[0] = o[v];
                    batch[v]->process({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q, morph[v], 2, in, two);
                    o[v] = two[0];
                }
                if (holding && v < 4 && !twoNotes) {  // prepared below
                    rows[v][0] = a.sep, rows[v][1] = a.q, rows[v][2] = morph[v], mods[v] = a.mod, cut = a.cutoff;
                    continue;
                }
                run[v] = !twoNotes && batch[v]->prepareNote({a.cutoff, a.cutoff}, {a.mod, a.mod}, a.sep, a.q,
                                                            morph[v], &o[v], &o[v]);
            }
            bool quadHeld = false;
            const int32_t ids = HeldMultimode::key(0, 1, 2, 3);
            unsigned steps = 0;
            if (holding && !twoNotes && held.holds(0, ids) &&
                held.stands(0, cut, &mods[0], &mods[1], &mods[2], &mods[3], rows[0], rows[1], rows[2], rows[3], steps)) {
                filtermath::loadNotePair(o[0], o[1], lanesHeld[0]);
                filtermath::loadNotePair(o[2], o[3], lanesHeld[1]);
                held.step(0, steps, lanesHeld[0], lanesHeld[1]);
                quadHeld = true;
                ++heldSteps;
                run[0] = run[1] = run[2] = run[3] = false;
            } else if (holding && !twoNotes) {
                for (int v = 0; v < 4; ++v) {
                    state[v] = batch[v]->prepareNoteLater({cut, cut}, {mods[v], mods[v]}, rows[v], &o[v], &o[v]);
                    run[v] = state[v] != TFilter::kNoteBypass;
                }
            }
            if (!quadHeld && holding && run[0] && run[1] && run[2] && run[3]) {
                TFilter* const f[4] = {batch[0].get(), batch[1].get(), batch[2].get(), batch[3].get()};
                quadHeld = held.holds(0, ids) ||
                           (TFilter::canRunPair(*f[0], *f[1]) && TFilter::canRunPair(*f[2], *f[3]) &&
                            TFilter::canRunPair(*f[0], *f[2]) && held.take(0, f, ids));
                if (quadHeld) {
                    filtermath::loadNotePair(o[0], o[1], lanesHeld[0]);
                    filtermath::loadNotePair(o[2], o[3], lanesHeld[1]);
                    for (int v = 0; v < 4; ++v) steps |= (state[v] == TFilter::kNoteFollow ? 1u : 0u) << v;
                    held.step(0, steps, lanesHeld[0], lanesHeld[1]);
                    ++heldSteps;
                }
            }
            if (holding && !quadHeld)
                for (int p = 0; p < 2; ++p)
                    TFilter::followNotePair(*batch[2 * p], state[2 * p], *batch[2 * p + 1], state[2 * p + 1]);
            Lanes4 lanes[3][2];
            bool together[3];
            if (quadHeld) run[0] = run[1] = run[2] = run[3] = false;
            for (int p = 0; p < 3; ++p) {
                TFilter &fa = *batch[2 * p], &fb = *batch[2 * p + 1];
                together[p] = run[2 * p] && run[2 * p + 1] && TFilter::canRunPair(fa, fb);
                if (!together[p]) {
                    if (run[2 * p]) fa.runNote(&o[2 * p], &o[2 * p]);
                    if (run[2 * p + 1]) fb.runNote(&o[2 * p + 1], &o[2 * p + 1]);
                }
                filtermath::loadNotePair(o[2 * p], o[2 * p + 1], lanes[p]);
            }
            if (together[0] && together[1] && TFilter::canRunPair(*batch[0], *batch[2])) {
                TFilter::runNoteQuad(*batch[0], *batch[1], *batch[2], *batch[3], lanes[0], lanes[1]);
                ++quads;
            } else {
                for (int p = 0; p < 2; ++p)
                    if (together[p]) TFilter::runNotePair(*batch[2 * p], *batch[2 * p + 1], lanes[p]);
            }
            if (together[2]) TFilter::runNotePair(*batch[4], *batch[5], lanes[2]);
            for (int p = 0; p < 3; ++p) filtermath::storeNotePair(lanes[p], o[2 * p], o[2 * p + 1]);
            if (quadHeld) {
                for (int p = 0; p < 2; ++p)
                    filtermath::storeNotePair(lanesHeld[p], o[2 * p], o[2 * p + 1]);
            }
            for (int v = 0; v < kN; ++v) {
                ASSERT_TRUE(sameBits(r[v], o[v])) << "mode " << mode << " voice " << v << " sample " << n;
                if (!held.live()) {
                    ASSERT_EQ(ref[v]->getLaneCutoff(1), batch[v]->getLaneCutoff(1)) << mode << " " << v;
                }
                energy += (double)r[v].sub[0].left * r[v].sub[0].left;
            }
        }
        EXPECT_GT(energy, 1e-6) << "mode " << mode;
        held.release();  // the held lanes back where the filters keep their own
        for (int v = 0; v < 4; ++v) EXPECT_EQ(ref[v]->getLaneCutoff(1), batch[v]->getLaneCutoff(1)) << mode;
        // The state-variable modes of one section ran held much of the time (with AVX2).
        EXPECT_TRUE(!holding || !lanes::wide() || mode < kFilterLow12 || mode > kFilterNotch12 || heldSteps > 600)
            << mode << ": " << heldSteps;
        // Every filtering mode but the combs and ring and amplitude modulation (whose depth
        // differs between neighbours here) ran as a quad much of the time.
        EXPECT_TRUE(mode == kFilterBypass || mode >= kFilterCombPositive || quads + heldSteps > 600) << mode << ": " << quads;
    }
}

// Four high-passes held by a multimode quad against the same four run through the quad
// entry point, their modulation stepping and one of them reset (which gives the states back,
// to be taken again): the same output bits, and the same states once released.
TEST(FilterPairs, HighPassesHeldByAQuadMatchTheQuadEntryPoint) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    THPFilter ref[4], hp[4];
    std::vector<Source> src;
    for (int v = 0; v < 4; ++v) {
        ref[v].init(kRate);
        hp[v].init(kRate);
        src.emplace_back(v);
    }
    HeldMultimode held;
    THPFilter* const f[4] = {&hp[0], &hp[1], &hp[2], &hp[3]};
    int takes = 0;
    for (int n = 0; n < 900; ++n) {
        if (n == 500) ref[2].reset(), hp[2].reset();
        if ((held.highPassHeld & 1) == 0) {
            held.takeHighPass(0, f, HeldMultimode::key(0, 1, 2, 3));
            ++takes;
        }
        stereoOverStruct in[4];
        for (int v = 0; v < 4; ++v) {
            in[v] = src[v].next();
            const float mod = 0.1f * (float)((n / 150 + v) % 3), q = v == 1 ? 0.8f : 0.2f;
            ref[v].prepareNote(0.3f, mod, q);
            hp[v].prepareNote(0.3f, mod, q);
        }
        HeldMultimode::highPassUpdated(held.quad[0]);
        Lanes4 a[2][2], b[2][2];
        for (auto* l : {&a, &b}) {
            filtermath::loadNotePair(in[0], in[1], (*l)[0]);
            filtermath::loadNotePair(in[2], in[3], (*l)[1]);
        }
        THPFilter::runNoteQuad(ref[0], ref[1], ref[2], ref[3], a[0], a[1]);
        HeldMultimode::highPass(held.quad[0], b[0], b[1]);
        ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "sample " << n;
    }
    held.release();
    EXPECT_EQ(0u, held.highPassHeld);
    EXPECT_EQ(2, takes);
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(0, std::memcmp(ref[v].stateBegin(), hp[v].stateBegin(),
                                 sizeof(float) * (ref[v].stateEnd() - ref[v].stateBegin())));
}

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

// Four voices' Wire chains held in a quad's lanes from one sample to the next against
// process() one voice at a time, with envelopes (standing now and then), modulation,
// resonance and the band-pass's switch moving; a reset and a process() call on held filters give the states back first,
// and the quad takes them again.
TEST(FilterPairs, WireQuadMatchesProcessAcrossReleases) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    TBPFilter bp[2][4];
    TLPFilter lp[2][4];
    THPFilter hp[2][4];
    std::vector<Source> src;
    for (int v = 0; v < 4; ++v) {
        for (int k = 0; k < 2; ++k) {
            bp[k][v].init(kRate);
            lp[k][v].init(kRate);
            hp[k][v].init(kRate);
        }
        src.emplace_back(v);
    }
    WireQuads held;
    const int32_t voices[4] = {0, 2, 1, 3};
    TBPFilter* const bpq[4] = {&bp[1][0], &bp[1][1], &bp[1][2], &bp[1][3]};
    TLPFilter* const lpq[4] = {&lp[1][0], &lp[1][1], &lp[1][2], &lp[1][3]};
    THPFilter* const hpq[4] = {&hp[1][0], &hp[1][1], &hp[1][2], &hp[1][3]};
    const float seps[4] = {1.0f, 1.2f, 0.8f, 1.0f};
    int takes = 0;
    for (int n = 0; n < 1600; ++n) {
        float mods[4], qs[4];
        stereoOverStruct io[2][4];
        const bool wireOn = n % 400 < 330;  // the band-pass off now and then
        // and its envelope standing before that, its modulation moving once meanwhile
        const int at = n % 400 >= 250 && n % 400 < 330 ? n - n % 400 + 250 : n;
        for (int v = 0; v < 4; ++v) {
            mods[v] = 0.05f * (float)v + 0.1f * (float)(n / 400) +
                      (n % 400 >= 290 ? 0.01f : 0.0f);
            qs[v] = (n / 300 + v) % 2 ? 0.2f : 0.9f;
            io[0][v] = io[1][v] = src[v].next();
            for (int k = 0; k < 2; ++k) {
                if (n == 700 && v == 2) bp[k][v].reset();
                bp[k][v].setEnv(0, 0.3f * std::sin(0.01f * (float)(at + 50 * v)));
                lp[k][v].setEnv(0, n < 1000 ? 0.1f : 0.2f * std::sin(0.02f * (float)n));
            }
        }
        const auto chain = [&](int k, int v) {
            stereoOverStruct band, low;
            bp[k][v].process(wireOn, {0.15f, 0.15f}, mods[v], seps[v], qs[v], 1, &io[k][v],
                             &band);
            lp[k][v].process(0.4f, mods[v], qs[v], 1, &band, &low);
            hp[k][v].process(0.2f, mods[v], qs[v], 1, &low, &io[k][v]);
        };
        for (int v = 0; v < 4; ++v) chain(0, v);
        if (n == 1200 || n >= 1500) {
            for (int v = 0; v < 4; ++v) chain(1, v);  // alone, as voices of many notes
            ASSERT_FALSE(held.live());
        } else {
            if (!held.live()) {
                held.take(0, voices, bpq, lpq, hpq);
                ++takes;
            }
            Lanes4 lanes[2][2];
            for (int p = 0; p < 2; ++p)
                filtermath::loadNotePair(io[1][2 * p], io[1][2 * p + 1], lanes[p]);
            // on even samples (as when a resonance moves) the band-pass maps of all quads in
            // one call (the quad's voices' records and destination rows hold their
            // separation and resonance, and mod), the quads it leaves prepared one by one
            struct { float sep, q; } rec[4];
            for (int v = 0; v < 4; ++v) {
                rec[v] = {seps[v], qs[v]};
                held.quad[0].owner[v] = &rec[v];
                held.quad[0].dest[v] = &mods[v];
            }
            int bpMoved = wireOn ? 0 : WireQuads::kNoBandPass;
            if (wireOn && (n % 2 == 1 || held.mapBandPasses(1, {0.15f, 0.15f}, 0, 0)))
                bpMoved = TBPFilter::prepareNoteQuad(bp[1][0], bp[1][1], bp[1][2], bp[1][3],
                                                     {0.15f, 0.15f}, mods, seps, qs, &held, 0);
            const bool lpMoved =
                TLPFilter::prepareNoteQuad(lp[1][0], lp[1][1], lp[1][2], lp[1][3], 0.4f, mods, qs,
                                           &held, 0);
            for (int v = 0; v < 4; ++v) hp[1][v].prepareNote(0.2f, mods[v], qs[v]);
            held.takeDue(0, bpMoved, lpMoved, true);
            held.runChains(1, wireOn, lanes);
            for (int p = 0; p < 2; ++p)
                filtermath::storeNotePair(lanes[p], io[1][2 * p], io[1][2 * p + 1]);
        }
        for (int v = 0; v < 4; ++v)
            ASSERT_TRUE(sameBits(io[0][v], io[1][v])) << "voice " << v << " sample " << n;
        if (held.live() && n % 100 == 50) {
            // the cutoff map's values the quad keeps, back in its filters, as process() left
            // them in the filters run alone
            held.syncBandPass(0);
            held.syncLowPass(0);
            for (int v = 0; v < 4; ++v) {
                for (int lane = 0; lane < 4; ++lane)
                    ASSERT_EQ(bp[0][v].getLaneCutoff(lane), bp[1][v].getLaneCutoff(lane))
                        << "voice " << v << " lane " << lane << " sample " << n;
                ASSERT_EQ(lp[0][v].getCopyCutoff(0), lp[1][v].getCopyCutoff(0)) << v << " " << n;
            }
        }
    }
    EXPECT_EQ(3, takes);  // at the start, after the reset and after the lone run
}
