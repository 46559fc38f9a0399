// Responses of the multimode voice filter, measured with sines through the voice entry
// point at twice the host rate: each mode family at its cutoff, the slopes past it, the
// vocal and formant peaks, the comb echoes, the ring and amplitude sidebands, bypass,
// separation, key tracking and the cutoff range; then the effect entry points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "test_filters_util.h"

using namespace filtertest;

namespace {

class VoiceFilterResponse : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { initFilterTables(); }
    double rate() const { return GetParam(); }
    double gainDb(int mode, double fc, double f, float resonance = 0, float morph = 0) const {
        VoiceSetup s;
        s.mode = mode;
        s.fs = rate();
        s.fc = fc;
        s.resonance = resonance;
        s.morph = morph;
        return dB(voiceGain(s, f).left);
    }
};

constexpr double kFc = 1000.0;

TEST_P(VoiceFilterResponse, TwelveDbFamiliesMeetTheirCutoff) {
    // State-variable (3-6) and zero-delay (7-10) two-poles at resonance 0 have Q = 1: low-
    // and high-pass pass 0 dB at the cutoff, the band-pass peaks there at 0 dB, the notch
    // nulls it.
    for (int base : {3, 7}) {
        SCOPED_TRACE(base);
        const int low = base, high = base + 1, band = base + 2, notch = base + 3;
        EXPECT_NEAR(gainDb(low, kFc, kFc), 0.0, 1.0);
        EXPECT_NEAR(gainDb(low, kFc, kFc / 16), 0.0, 0.5);
        EXPECT_NEAR(gainDb(high, kFc, kFc), 0.0, 1.0);
        EXPECT_NEAR(gainDb(high, kFc, kFc * 8), 0.0, 1.0);
        const double peak = gainDb(band, kFc, kFc);
        EXPECT_NEAR(peak, 0.0, 1.0);
        EXPECT_GT(peak, gainDb(band, kFc, kFc / 2) + 4.0);
        EXPECT_GT(peak, gainDb(band, kFc, kFc * 2) + 4.0);
        EXPECT_LT(gainDb(notch, kFc, kFc), -20.0);
        EXPECT_GT(gainDb(notch, kFc, kFc / 8), -1.0);
        EXPECT_GT(gainDb(notch, kFc, kFc * 8), -1.0);
    }
}

TEST_P(VoiceFilterResponse, SlopesAnOctavePastTheCutoff) {
    struct Case {
        int mode;
        bool low;
        double minDb, maxDb;
    };
    // Attenuation gained over the octave 2 fc..4 fc (low-pass) or fc/2..fc/4 (high-pass).
    const Case cases[] = {
        {3, true, 10, 14.5},  {7, true, 10, 14.5},  {4, false, 10, 14.5},  {8, false, 10, 14.5},
        {13, true, 15, 21.5}, {14, false, 14.5, 21.5},
        {15, true, 20, 28},   {19, true, 20, 28},   {16, false, 20, 28},   {20, false, 20, 28},
        {25, true, 27, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const double slope = c.low ? gainDb(c.mode, kFc, 2 * kFc) - gainDb(c.mode, kFc, 4 * kFc)
                                   : gainDb(c.mode, kFc, kFc / 2) - gainDb(c.mode, kFc, kFc / 4);
        EXPECT_GE(slope, c.minDb);
        EXPECT_LE(slope, c.maxDb);
    }
    // The 36 dB high-pass is the biquad high-pass minus the ladder's low-pass of it: it
    // falls faster than the 12 dB high-pass below the cutoff and passes above it.
    const double slope26 = gainDb(26, kFc, kFc / 4) - gainDb(26, kFc, kFc / 8);
    EXPECT_GT(slope26, gainDb(4, kFc, kFc / 4) - gainDb(4, kFc, kFc / 8) + 2.0);
    EXPECT_NEAR(gainDb(26, kFc, kFc * 16), 0.0, 1.0);
}

TEST_P(VoiceFilterResponse, SteeperModesAtTheirCutoff) {
    // One-pole: y = a x + (1 - a) y with a = 2 nf is -3 dB at fc / pi.
    EXPECT_NEAR(gainDb(1, kFc, kFc / kPi), -3.0, 0.6);
    EXPECT_NEAR(gainDb(2, kFc, kFc / kPi), -3.0, 0.6);
    EXPECT_NEAR(gainDb(1, kFc, 8 * kFc / kPi), -18.1, 1.0);
    // 18 dB: that one-pole, then the Q = 1 state-variable low-pass, times sqrt 2.
    EXPECT_NEAR(gainDb(13, kFc, kFc), dB(std::sqrt(2.0) / std::sqrt(1.0 + kPi * kPi)), 1.0);
    // 24 dB: the Q = 1/(2 sqrt 2) biquad (-9 dB at fc), the Q = 1 state-variable filter,
    // times sqrt 2: -6 dB at the cutoff, +3 dB in the pass band.
    EXPECT_NEAR(gainDb(15, kFc, kFc), -6.0, 1.0);
    EXPECT_NEAR(gainDb(16, kFc, kFc), -6.0, 1.0);
    EXPECT_NEAR(gainDb(15, kFc, kFc / 16), 3.0, 0.5);
    EXPECT_NEAR(gainDb(16, kFc, kFc * 16), 3.0, 1.0);
    // 24 dB zero delay: two Q = 1 sections, 0 dB at the cutoff.
    EXPECT_NEAR(gainDb(19, kFc, kFc), 0.0, 1.0);
    EXPECT_NEAR(gainDb(20, kFc, kFc), 0.0, 1.0);
    EXPECT_NEAR(gainDb(21, kFc, kFc), 0.0, 1.0);
    EXPECT_GT(gainDb(21, kFc, kFc), gainDb(21, kFc, 2 * kFc) + 8.0);
    EXPECT_LT(gainDb(22, kFc, kFc), -40.0);
    EXPECT_GT(gainDb(22, kFc, kFc * 8), -1.0);
    // 36 dB low-pass: twice the ladder output, +6 dB in the pass band.
    EXPECT_NEAR(gainDb(25, kFc, kFc / 16), 6.0, 1.0);
}

TEST_P(VoiceFilterResponse, LadderBandAndNotchSitNearTheCutoff) {
    double bestGain = -1e9, bestF = 0, notchGain = 1e9, notchF = 0;
    for (int k = -12; k <= 12; ++k) {
        const double f = kFc * std::pow(2.0, k / 6.0);
        const double b = gainDb(17, kFc, f, 0.5f);
        if (b > bestGain) bestGain = b, bestF = f;
        const double n = gainDb(18, kFc, f, 0.0f);
        if (n < notchGain) notchGain = n, notchF = f;
    }
    EXPECT_GE(bestF, kFc / 2);
    EXPECT_LE(bestF, kFc * 2);
    EXPECT_GT(bestGain, gainDb(17, kFc, kFc / 8, 0.5f) + 12.0);
    EXPECT_GE(notchF, kFc / 3);
    EXPECT_LE(notchF, kFc * 2);
    EXPECT_LT(notchGain, -10.0);
}

TEST_P(VoiceFilterResponse, ResonanceRaisesThePeak) {
    for (int mode : {3, 7, 19}) {
        SCOPED_TRACE(mode);
        const double g0 = gainDb(mode, kFc, kFc, 0.0f);
        const double g5 = gainDb(mode, kFc, kFc, 0.5f);
        const double g1 = gainDb(mode, kFc, kFc, 1.0f);
        EXPECT_GT(g5, g0 + 3.0);
        EXPECT_GT(g1, g5 + 6.0);
        EXPECT_TRUE(std::isfinite(g1));
    }
}

TEST_P(VoiceFilterResponse, MorphBlendsTheOutputs) {
    // Mode 11 at 0 is the low-pass, at 1 the high-pass; mode 12 at 0.5 is the band-pass.
    EXPECT_NEAR(gainDb(11, kFc, kFc / 16, 0, 0.0f), gainDb(7, kFc, kFc / 16), 0.01);
    EXPECT_NEAR(gainDb(11, kFc, kFc * 4, 0, 1.0f), gainDb(8, kFc, kFc * 4), 0.01);
    EXPECT_NEAR(gainDb(12, kFc, kFc * 2, 0, 0.5f), gainDb(9, kFc, kFc * 2), 0.01);
    EXPECT_NEAR(gainDb(12, kFc, kFc * 4, 0, 1.0f), gainDb(8, kFc, kFc * 4), 0.01);
    EXPECT_NEAR(gainDb(24, kFc, kFc * 2, 0, 0.5f), gainDb(21, kFc, kFc * 2), 0.01);
    // Half way between low and high: each -6 dB far from the cutoff.
    EXPECT_NEAR(gainDb(11, kFc, kFc / 16, 0, 0.5f), -6.0, 0.2);
}

TEST_P(VoiceFilterResponse, VocalModeShowsItsFormants) {
    // Vowel A (morph 0) at a cutoff of 440 Hz puts the formants at their table values:
    // 650 and 1080 Hz stand out from their surroundings.
    for (double f : {650.0, 1080.0}) {
        SCOPED_TRACE(f);
        const double peak = gainDb(27, 440, f, 0.0f, 0.0f);
        EXPECT_GT(peak, gainDb(27, 440, f * 0.8, 0.0f, 0.0f) + 3.0);
        EXPECT_GT(peak, gainDb(27, 440, f * 1.25, 0.0f, 0.0f) + 3.0);
    }
    // The pair at 2650 / 2900 Hz rises far above the valley between 1080 and 2650 Hz.
    EXPECT_GT(gainDb(27, 440, 2750, 0.0f, 0.0f), gainDb(27, 440, 1650, 0.0f, 0.0f) + 10.0);
    // Morph 0.8 (p = 3.992) is almost all U: the first formant moves down to 350 Hz.
    const double u = gainDb(27, 440, 350, 0.0f, 0.8f);
    EXPECT_GT(u, gainDb(27, 440, 440, 0.0f, 0.8f) + 3.0);
    EXPECT_GT(u, gainDb(27, 440, 260, 0.0f, 0.8f) + 3.0);
    EXPECT_GT(u, gainDb(27, 440, 350, 0.0f, 0.0f) + 6.0);
    // Doubling the cutoff doubles every formant.
    EXPECT_NEAR(gainDb(27, 880, 1300, 0.0f, 0.0f), gainDb(27, 440, 650, 0.0f, 0.0f), 1.5);
}

TEST_P(VoiceFilterResponse, FormantModesPeakAtTheirShifts) {
    // Formant 1 at morph 0.5 tunes its resonators at fc / 2 and 2 fc.
    const double lowPeak = gainDb(28, kFc, kFc / 2, 0.5f, 0.5f);
    const double highPeak = gainDb(28, kFc, kFc * 2, 0.5f, 0.5f);
    const double middle = gainDb(28, kFc, kFc, 0.5f, 0.5f);
    EXPECT_GT(lowPeak, middle + 6.0);
    EXPECT_GT(highPeak, middle + 6.0);
    // Formant 2 at morph 0.75: four resonators at fc x 2^(1.5 (2k/3 - 1)), k = 0..3.
    for (int k = 0; k < 4; ++k) {
        const double f = kFc * std::pow(2.0, 1.5 * (2.0 * k / 3.0 - 1.0));
        SCOPED_TRACE(f);
        EXPECT_GT(gainDb(29, kFc, f, 0.8f, 0.75f),
                  gainDb(29, kFc, f * std::pow(2.0, 0.5), 0.8f, 0.75f) + 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, VoiceFilterResponse, ::testing::Values(44100.0, 96000.0));

// --- features of the voice entry point -------------------------------------------------

class VoiceFilterFeatures : public ::testing::Test {
protected:
    void SetUp() override { initFilterTables(); }
    std::unique_ptr<TFilter> make(int mode, float rate = 44100.0f) {
        auto f = std::make_unique<TFilter>();
        f->init(rate);
        f->setType(mode, true);
        return f;
    }
};

TEST_F(VoiceFilterFeatures, BypassIsBitExact) {
    auto f = make(0);
    Noise noise;
    std::vector<stereoOverStruct> in(6), out(6);
    for (int n = 0; n < 1000; ++n) {
        for (auto& r : in) r = noise.record(3.0f);
        f->process({0.3f, 0.3f}, {0, 0}, 1.0f, 0.5f, 0.5f, 6, in.data(), out.data());
        ASSERT_EQ(0, std::memcmp(in.data(), out.data(), sizeof(stereoOverStruct) * 6));
    }
}

TEST_F(VoiceFilterFeatures, SeparationSplitsTheCutoffs) {
    auto f = make(7);
    const float v = cutoffFor(1000);
    stereoOverStruct in{}, out{};
    f->process({v, v}, {0, 0}, 2.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 500.0f, 0.05f);
    EXPECT_NEAR(f->getLaneCutoff(1), 2000.0f, 0.2f);
    // And audibly: the left side is darker than the right.
    VoiceSetup s;
    s.mode = 7;
    s.separation = 2.0f;
    const Gain g = voiceGain(s, 1000);
    EXPECT_NEAR(dB(g.left), dB(voiceGain({7, 44100, 500}, 1000).left), 0.3);
    EXPECT_NEAR(dB(g.right), dB(voiceGain({7, 44100, 2000}, 1000).left), 0.3);
    EXPECT_LT(g.left, g.right * 0.5);
}

TEST_F(VoiceFilterFeatures, KeyTrackingDoublesTheCutoffAnOctaveUp) {
    auto f = make(3);
    const float v = cutoffFor(1000);
    stereoOverStruct in{}, out{};
    f->process({v, v}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    const float base = f->getLaneCutoff(0);
    f->setTrack(1.0f, 1.0f);  // full tracking, one octave up
    f->process({v, v}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0) / base, 2.0f, 1e-5f);
    f->setTrack(0.5f, 2.0f);  // half tracking, two octaves up
    f->process({v, v}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0) / base, 2.0f, 1e-5f);
    f->setTrack(1.0f, -1.0f);
    f->process({v, v}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0) / base, 0.5f, 1e-6f);
    // The response moves with it: a tracked 1 kHz filter at 2 kHz equals a 2 kHz filter.
    VoiceSetup s;
    s.mode = 3;
    s.trackAmount = 1.0f;
    s.trackKey = 1.0f;
    EXPECT_NEAR(dB(voiceGain(s, 2000).left), dB(voiceGain({3, 44100, 2000}, 2000).left), 0.05);
}

TEST_F(VoiceFilterFeatures, CutoffRangeAndCeiling) {
    auto f = make(7, 96000.0f);
    stereoOverStruct in{}, out{};
    f->process({0, 0}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f, 1e-3f);
    f->setDirect();
    f->process({1, 1}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20480.0f, 0.1f);
    // Two octaves of key tracking pass 0.38 x 96000 = 36480 Hz: the ceiling holds.
    f->setTrack(1.0f, 2.0f);
    f->process({1, 1}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_FLOAT_EQ(f->getLaneCutoff(0), 0.38f * 96000.0f);
    // Velocity and envelope add to the normalised value, which is held to 0..1.
    f->setTrack(0, 0);
    f->setVel(1.0f, 1.0f);  // +0.5
    f->setEnv(0, 0.1f);
    f->setDirect();
    f->process({0.2f, 0.2f}, {0.05f, 0.05f}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(10.0f * 0.85f), 0.05f);
    f->setEnv(0, 5.0f);
    f->process({0.2f, 0.2f}, {0.05f, 0.05f}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20480.0f, 0.1f);
}

TEST_F(VoiceFilterFeatures, CutoffIsSmoothedAfterTheFirstCall) {
    auto f = make(7);
    stereoOverStruct in{}, out{};
    f->process({0.2f, 0.2f}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);  // jump
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(2.0f), 1e-3f);
    f->process({0.6f, 0.6f}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);  // 1 % of the way
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(10.0f * 0.204f), 1e-3f);
    f->reset();  // the next call jumps again
    f->process({0.6f, 0.6f}, {0, 0}, 1.0f, 0, 0, 1, &in, &out);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(6.0f), 1e-2f);
}

TEST_F(VoiceFilterFeatures, CopiesAreIndependentLanes) {
    // Six notes in one call give, note for note, what each gives alone in its own filter.
    for (int mode : {3, 9, 15, 17, 19, 25, 27, 29, 30, 32, 33}) {
        SCOPED_TRACE(mode);
        auto all = make(mode);
        std::vector<std::unique_ptr<TFilter>> alone;
        for (int c = 0; c < 6; ++c) alone.push_back(make(mode));
        Noise noise;
        std::vector<stereoOverStruct> in(6), out(6), one(1);
        for (int n = 0; n < 3000; ++n) {
            for (int c = 0; c < 6; ++c) {
                in[c] = noise.record();
                all->setEnv(c, 0.05f * c);
                alone[c]->setEnv(0, 0.05f * c);
            }
            all->process({0.5f, 0.45f}, {0.01f, 0}, 1.3f, 0.7f, 0.3f, 6, in.data(), out.data());
            for (int c = 0; c < 6; ++c) {
                alone[c]->process({0.5f, 0.45f}, {0.01f, 0}, 1.3f, 0.7f, 0.3f, 1, &in[c],
                                  one.data());
                ASSERT_EQ(0, std::memcmp(&one[0], &out[c], sizeof(stereoOverStruct)))
                    << "note " << c << " sample " << n;
            }
        }
    }
}

TEST_F(VoiceFilterFeatures, OddCountsLeaveTheSlotBeyondAlone) {
    for (int copies : {1, 3, 5}) {
        auto f = make(19);
        std::vector<stereoOverStruct> in(8), out(8);
        Noise noise;
        const stereoOverStruct sentinel = {{{123.0f, -456.0f}, {789.0f, -1.0f}}};
        for (int n = 0; n < 100; ++n) {
            for (auto& r : in) r = noise.record();
            out[copies] = sentinel;
            f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.2f, 0, copies, in.data(), out.data());
            ASSERT_EQ(0, std::memcmp(&out[copies], &sentinel, sizeof sentinel));
        }
    }
}

TEST_F(VoiceFilterFeatures, ModeChangeWithoutClearKeepsTheStates) {
    // Modes 7 and 8 share the zero-delay states and coefficients: switching without a clear
    // continues exactly where a filter that ran mode 8 throughout stands.
    auto a = make(7);
    auto b = make(8);
    Noise noise;
    stereoOverStruct in, outA, outB;
    for (int n = 0; n < 2000; ++n) {
        if (n == 1000) a->setType(8, false);
        in = noise.record();
        a->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outA);
        b->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outB);
        if (n >= 1000) {
            ASSERT_EQ(0, std::memcmp(&outA, &outB, sizeof outA)) << n;
        }
    }
    // With a clear, the switch restarts from silence: the outputs differ.
    a->setType(7, true);
    b->setType(7, false);
    bool differs = false;
    for (int n = 0; n < 10; ++n) {
        in = noise.record();
        a->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outA);
        b->process({0.4f, 0.4f}, {0, 0}, 1.0f, 0.6f, 0, 1, &in, &outB);
        differs |= std::memcmp(&outA, &outB, sizeof outA) != 0;
    }
    EXPECT_TRUE(differs);
}

// --- combs, ring and amplitude modulation --------------------------------------------------

// Impulse response of one copy, both sides, as oversampled sequences.
struct Impulse {
    std::vector<double> left, right;
};

Impulse impulseResponse(TFilter& f, double cutoffHz, float resonance, float separation,
                        long hostSamples, bool leftOnly) {
    Impulse r;
    const float v = cutoffFor(cutoffHz);
    for (long n = 0; n < hostSamples; ++n) {
        stereoOverStruct in{}, out{};
        if (n == 0) in.sub[0] = {1.0f, leftOnly ? 0.0f : 1.0f};
        f.process({v, v}, {0, 0}, separation, resonance, 0, 1, &in, &out);
        for (int s = 0; s < 2; ++s) {
            r.left.push_back(out.sub[s].left);
            r.right.push_back(out.sub[s].right);
        }
    }
    return r;
}

int firstPeak(const std::vector<double>& x, double above) {
    for (size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > above) return (int)i;
    return -1;
}

TEST_F(VoiceFilterFeatures, CombsEchoAtOnePeriodOfTheCutoff) {
    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        // 441 Hz at 44100: one period is 100 host samples, 200 oversampled.
        const double fc = 441.0;
        const int period = (int)std::ceil(2.0 * rate / fc - 1e-9);
        auto pos = make(30, (float)rate);
        const Impulse p = impulseResponse(*pos, fc, 0.5f, 1.0f, (long)(3.5 * period / 2), false);
        const double fb = std::pow(0.5 * 0.95, 0.25);
        const int first = firstPeak(p.left, 1e-6);
        EXPECT_NEAR(first, period, 1);
        ASSERT_GT(first, 0);
        EXPECT_NEAR(p.left[first], 1.0, 1e-5);
        EXPECT_NEAR(p.left[2 * first], fb, 1e-5);
        EXPECT_NEAR(p.left[3 * first], fb * fb, 1e-5);
        EXPECT_NEAR(p.right[first], 1.0, 1e-5);
        // Nothing in between.
        EXPECT_LT(std::fabs(p.left[first + first / 2]), 1e-6);

        auto neg = make(31, (float)rate);
        const Impulse q = impulseResponse(*neg, fc, 0.5f, 1.0f, (long)(3.5 * period / 2), false);
        EXPECT_NEAR(q.left[first], 1.0, 1e-5);
        EXPECT_NEAR(q.left[2 * first], -fb, 1e-5);
        EXPECT_NEAR(q.left[3 * first], fb * fb, 1e-5);
    }
}

TEST_F(VoiceFilterFeatures, PingPongCombCrossesTheSides) {
    auto f = make(32);
    const double fc = 441.0;
    const int period = 200;
    const Impulse r = impulseResponse(*f, fc, 1.0f, 1.0f, 400, true);
    const double fb = std::pow(0.95, 0.25);
    // The left impulse comes out on the right after one period, then on the left after two.
    EXPECT_NEAR(r.right[period], 1.0, 1e-5);
    EXPECT_LT(std::fabs(r.left[period]), 1e-6);
    EXPECT_NEAR(r.left[2 * period], -fb, 1e-5);
    EXPECT_LT(std::fabs(r.right[2 * period]), 1e-6);
    EXPECT_NEAR(r.right[3 * period], -fb * fb, 1e-5);
}

TEST_F(VoiceFilterFeatures, CombDelayStaysInsideItsLines) {
    auto f = make(30);
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
    // The shortest delay: a cutoff at the ceiling of a low rate.
    auto g = make(30, 1000.0f);
    g->setTrack(1.0f, 20.0f);
    g->process({1, 1}, {0, 0}, 1.0f, 0.5f, 0, 1, &in, &out);
    EXPECT_GE(g->getCombDelay(0), 513u);
    // NaN everywhere: still inside.
    const float nan = std::nanf("");
    f->setTrack(nan, nan);
    f->process({nan, nan}, {nan, nan}, nan, nan, nan, 1, &in, &out);
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_GE(f->getCombDelay(lane), 513u);
        EXPECT_LE(f->getCombDelay(lane), 2097151u);
    }
}

TEST_F(VoiceFilterFeatures, RingAndAmplitudeModulationSidebands) {
    const double rate = 44100, carrier = 3000, modulator = 500;
    for (int mode : {33, 34}) {
        SCOPED_TRACE(mode);
        auto f = make(mode);
        const float v = cutoffFor(modulator);
        std::vector<double> y;
        for (long n = 0; n < 44100; ++n) {
            stereoOverStruct in = sineRecord(carrier, rate, n), out{};
            f->process({v, v}, {0, 0}, 1.0f, 1.0f, 0, 1, &in, &out);
            y.push_back(out.sub[0].left);
            y.push_back(out.sub[1].left);
        }
        const double d = 0.95;
        const double c = toneAmplitude(y, carrier, 2 * rate);
        const double up = toneAmplitude(y, carrier + modulator, 2 * rate);
        const double down = toneAmplitude(y, carrier - modulator, 2 * rate);
        if (mode == 33) {  // in x (d sin + 1 - d)
            EXPECT_NEAR(c, 1 - d, 0.01);
            EXPECT_NEAR(up, d / 2, 0.01);
            EXPECT_NEAR(down, d / 2, 0.01);
        } else {  // in x (d (0.5 sin + 0.5) + 1 - d)
            EXPECT_NEAR(c, 1 - d / 2, 0.01);
            EXPECT_NEAR(up, d / 4, 0.01);
            EXPECT_NEAR(down, d / 4, 0.01);
        }
    }
}

// --- effect entry points ---------------------------------------------------------------------

TEST_F(VoiceFilterFeatures, EffectEntryPointsRunTheZeroDelayKernel) {
    const double rate = 44100;
    for (int mode : {7, 8, 9}) {
        SCOPED_TRACE(mode);
        for (double f : {250.0, 1000.0, 4000.0}) {
            auto a = make(mode);
            auto b = make(mode);
            const float v = cutoffFor(1000);
            const Gain fx = sineGain(
                [&](const stereoOverStruct& x, stereoOverStruct& y) {
                    a->process(v, 1.0f, stereoStruct{0, 0}, 0.3f, 0.0f, x, y);
                },
                f, rate, 15000, 6000);
            const Gain voice = sineGain(
                [&](const stereoOverStruct& x, stereoOverStruct& y) {
                    b->process({v, v}, {0, 0}, 1.0f, 0.3f, 0.0f, 1, &x, &y);
                },
                f, rate, 15000, 6000);
            EXPECT_NEAR(dB(fx.left), dB(voice.left), 0.01);
            EXPECT_NEAR(dB(fx.right), dB(voice.right), 0.01);
        }
    }
}

TEST_F(VoiceFilterFeatures, EffectEntryPointsSmoothAndSplit) {
    auto f = make(7);
    stereoOverStruct in{}, out{};
    f->process(0.3f, 2.0f, stereoStruct{0.1f, 0.0f}, 0, 0, in, out);  // jump
    EXPECT_NEAR(f->getFreq(), 0.4f, 1e-6f);
    EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(4.0f) / 2.0f, 1e-3f);
    EXPECT_NEAR(f->getLaneCutoff(1), 20.0f * std::exp2(3.0f) * 2.0f, 1e-3f);
    f->process(0.5f, 1.0f, stereoStruct{0.0f, 0.0f}, 0, 0, in, out);
    EXPECT_NEAR(f->getFreq(), 0.302f, 1e-6f);
    // The pair form smooths each side on its own.
    auto g = make(8);
    g->process(stereoStruct{0.2f, 0.6f}, stereoStruct{0, 0}, 0, 0, in, out);
    EXPECT_NEAR(g->getLaneCutoff(0), 20.0f * std::exp2(2.0f), 1e-3f);
    EXPECT_NEAR(g->getLaneCutoff(1), 20.0f * std::exp2(6.0f), 1e-2f);
    g->process(stereoStruct{0.4f, 0.6f}, stereoStruct{0, 0}, 0, 0, in, out);
    EXPECT_NEAR(g->getLaneCutoff(0), 20.0f * std::exp2(2.02f), 1e-3f);
    // The kernel alone keeps the cutoffs of the last call and still filters.
    Noise noise;
    double sum = 0;
    for (int n = 0; n < 1000; ++n) {
        in = noise.record();
        g->process(in, out);
        sum += std::fabs(out.sub[0].left);
        EXPECT_TRUE(std::isfinite(out.sub[1].right));
    }
    EXPECT_GT(sum, 1.0);
    EXPECT_NEAR(g->getLaneCutoff(0), 20.0f * std::exp2(2.02f), 1e-3f);
}

TEST_F(VoiceFilterFeatures, EffectAndVoiceEntryPointsShareOneFilter) {
    // The wah filter runs the effect entry point, the talk box the voice entry point of the
    // same object; switching between them recomputes the right coefficients.
    auto f = make(12);
    auto ref = make(12);
    const float v = cutoffFor(800);
    stereoOverStruct in{}, out{}, outRef{};
    Noise noise;
    for (int n = 0; n < 500; ++n) {
        in = noise.record();
        f->process(stereoStruct{v, v}, stereoStruct{0, 0}, 0.5f, 0.5f, in, out);
    }
    f->setType(27, true);
    ref->setType(27, true);
    for (int n = 0; n < 500; ++n) {
        in = noise.record();
        f->process({v, v}, {0, 0}, 1.0f, 0.5f, 0.3f, 1, &in, &out);
        ref->process({v, v}, {0, 0}, 1.0f, 0.5f, 0.3f, 1, &in, &outRef);
        ASSERT_EQ(0, std::memcmp(&out, &outRef, sizeof out)) << n;
    }
}

// A filter whose arguments repeat maps only its moving envelope; a twin given arguments that
// differ bit for bit but not in value (a zero modulation of either sign) updates in full on
// every call. Tracking, velocity, cutoff steps (smoothing), mode changes, direct takes,
// resets, effect calls on the same object and separation steps must reach both alike, in
// the one-note pair entry points and in process() with three notes.
TEST_F(VoiceFilterFeatures, EnvelopeOnlyUpdatesMatchFullUpdates) {
    for (int mode : {3, 9, 11, 15, 16, 17, 21, 25, 27, 29, 31, 33}) {
        SCOPED_TRACE(mode);
        auto one = make(mode), oneRef = make(mode), three = make(mode), threeRef = make(mode);
        Noise noise;
        float cutoff = 0.5f, separation = 1.0f;
        for (int n = 0; n < 4000; ++n) {
            const stereoOverStruct effectIn = noise.record();
            for (TFilter* f : {one.get(), oneRef.get(), three.get(), threeRef.get()}) {
                for (int c = 0; c < 3; ++c)
                    f->setEnv(c, 0.3f * std::sin(0.01f * (float)(n + 50 * c)));
                if (n == 600) f->setTrack(0.5f, 0.7f);
                if (n == 1300) f->setType(mode == 19 ? 3 : 19, false);
                if (n == 1700) f->setDirect();
                if (n == 2100) f->reset();
                if (n == 2500) f->setVel(0.7f, 0.9f);
                if (n == 2900) {
                    stereoOverStruct o;
                    f->process(stereoStruct{0.4f, 0.4f}, stereoStruct{0, 0}, 0.2f, 0.6f, effectIn, o);
                }
            }
            if (n == 900) cutoff = 0.55f;
            if (n == 3300) separation = 0.8f;
            const float zero = (n & 1) ? -0.0f : 0.0f;
            stereoOverStruct in[3];
            for (auto& r : in) r = noise.record();

            stereoOverStruct a = in[0], b;
            if (one->prepareNote({cutoff, cutoff}, {0, 0}, separation, 0.4f, 0.3f, &a, &a))
                one->runNote(&a, &a);
            oneRef->process({cutoff, cutoff}, {zero, zero}, separation, 0.4f, 0.3f, 1, &in[0], &b);
            ASSERT_EQ(0, std::memcmp(&a, &b, sizeof a)) << "one note, sample " << n;
            ASSERT_EQ(oneRef->getLaneCutoff(0), one->getLaneCutoff(0)) << n;
            ASSERT_EQ(oneRef->getLaneCutoff(1), one->getLaneCutoff(1)) << n;

            stereoOverStruct out3[3], ref3[3];
            three->process({cutoff, cutoff}, {0, 0}, separation, 0.4f, 0.3f, 3, in, out3);
            threeRef->process({cutoff, cutoff}, {zero, zero}, separation, 0.4f, 0.3f, 3, in, ref3);
            ASSERT_EQ(0, std::memcmp(out3, ref3, sizeof out3)) << "three notes, sample " << n;
        }
    }
}

// Prepared filters pair only when their kernels agree: the mode, the output taps of the
// zero-delay modes (which follow the morph in the mixing modes) and the depth of ring and
// amplitude modulation; combs never pair.
TEST_F(VoiceFilterFeatures, PairsRunOnlyWithTheSameKernel) {
    struct Case {
        int modeA, modeB;
        float resA, resB, morphA, morphB;
        bool pair;
    };
    const Case cases[] = {
        {3, 3, 0.2f, 0.7f, 0.1f, 0.9f, true},     // state-variable: all per pair
        {3, 4, 0.2f, 0.2f, 0.1f, 0.1f, false},    // another mode
        {15, 15, 0.2f, 0.8f, 0.0f, 0.0f, true},   // 24 dB low-pass
        {7, 7, 0.2f, 0.2f, 0.3f, 0.6f, true},     // zero-delay low-pass: fixed taps
        {11, 11, 0.2f, 0.2f, 0.3f, 0.3f, true},   // low/high mix, same morph
        {11, 11, 0.2f, 0.2f, 0.3f, 0.6f, false},  // low/high mix, other morph
        {24, 24, 0.5f, 0.2f, 0.7f, 0.7f, true},   // low/band/high, 24 dB
        {24, 24, 0.5f, 0.5f, 0.7f, 0.2f, false},
        {33, 33, 0.5f, 0.5f, 0.1f, 0.8f, true},   // ring modulation, same depth
        {33, 33, 0.5f, 0.7f, 0.1f, 0.1f, false},  // other depth
        {34, 34, 0.3f, 0.6f, 0.1f, 0.1f, false},
        {30, 30, 0.5f, 0.5f, 0.1f, 0.1f, false},  // combs never
        {32, 32, 0.5f, 0.5f, 0.1f, 0.1f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.modeA << "/" << c.modeB << " res " << c.resA
                                          << "/" << c.resB << " morph " << c.morphA << "/"
                                          << c.morphB);
        auto a = make(c.modeA), b = make(c.modeB);
        stereoOverStruct na{}, nb{};
        ASSERT_TRUE(a->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, c.resA, c.morphA, &na, &na));
        ASSERT_TRUE(b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, c.resB, c.morphB, &nb, &nb));
        EXPECT_EQ(c.pair, TFilter::canRunPair(*a, *b));
        EXPECT_EQ(c.pair, TFilter::canRunPair(*b, *a));
        // Given the other's settings, each pairs (except the combs).
        b->setType(c.modeA, false);
        b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, c.resA, c.morphA, &nb, &nb);
        EXPECT_EQ(c.modeA < 30 || c.modeA > 32, TFilter::canRunPair(*a, *b));
    }
    // Ring modulation takes its depth from the resonance of the last call, whichever entry
    // point made it.
    auto a = make(33), b = make(33);
    stereoOverStruct n{}, o{};
    a->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    EXPECT_TRUE(TFilter::canRunPair(*a, *b));
    b->process(stereoStruct{0.5f, 0.5f}, stereoStruct{0, 0}, 0.9f, 0.0f, n, o);
    EXPECT_FALSE(TFilter::canRunPair(*a, *b));
    b->prepareNote({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.0f, &n, &n);
    EXPECT_TRUE(TFilter::canRunPair(*a, *b));
    // A change of mode is seen at once.
    a->setType(3, false);
    EXPECT_FALSE(TFilter::canRunPair(*a, *b));
}

}  // namespace
