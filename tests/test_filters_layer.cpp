// The layer filters: the Wire band-pass rings at its centre and splits its sides by the
// separation, the layer low-pass and high-pass meet their cutoffs with the resonance of
// their table, the high-pass adds its low cut; tracking, envelopes, rate bounds and notes
// processed two by two.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "test_filters_util.h"

using namespace filtertest;

namespace {

class LayerFilters : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { initFilterTables(); }
    double rate() const { return GetParam(); }

    Gain bandPass(double fc, double f, float res, float sep = 1.0f) const {
        TBPFilter bp;
        bp.init((float)rate());
        const float v = cutoffFor(fc);
        return sineGain(
            [&](const stereoOverStruct& x, stereoOverStruct& y) {
                bp.process(true, {v, v}, 0, sep, res, 1, &x, &y);
            },
            f, rate(), (long)(rate() * 0.3), (long)(rate() * 0.1));
    }
    double lowPassDb(double fc, double f, float res) const {
        TLPFilter lp;
        lp.init((float)rate());
        const float v = cutoffFor(fc);
        return dB(sineGain([&](const stereoOverStruct& x,
                               stereoOverStruct& y) { lp.process(v, 0, res, 1, &x, &y); },
                           f, rate(), (long)(rate() * 0.3), (long)(rate() * 0.1))
                      .left);
    }
    double highPassDb(double fc, double f, float res, double seconds = 0.3) const {
        THPFilter hp;
        hp.init((float)rate());
        const float v = cutoffFor(fc);
        return dB(sineGain([&](const stereoOverStruct& x,
                               stereoOverStruct& y) { hp.process(v, 0, res, 1, &x, &y); },
                           f, rate(), (long)(rate() * seconds), (long)(rate() * seconds / 3))
                      .left);
    }
};

TEST_P(LayerFilters, WireBandPassRingsAtItsCentre) {
    for (float res : {0.0f, 0.5f}) {
        SCOPED_TRACE(res);
        const double fc = 1200;
        // Peak gain of the band output: 1/D at the 0.1 level, times the output gain 20.
        const double expected = dB(2.0 / (1.0 - 0.95 * res));
        double best = -1e9, bestF = 0;
        for (int k = -6; k <= 6; ++k) {
            const double f = fc * std::pow(2.0, k / 12.0);
            const double g = dB(bandPass(fc, f, res).left);
            if (g > best) best = g, bestF = f;
        }
        EXPECT_NEAR(bestF, fc, fc * 0.03);
        EXPECT_NEAR(best, expected, 1.0);
        EXPECT_LT(dB(bandPass(fc, fc * 4, res).left), best - 10.0);
        EXPECT_LT(dB(bandPass(fc, fc / 4, res).left), best - 10.0);
    }
}

TEST_P(LayerFilters, WireSeparationSplitsTheSides) {
    TBPFilter bp;
    bp.init((float)rate());
    stereoOverStruct in{}, out{};
    bp.process(true, {cutoffFor(1000), cutoffFor(1000)}, 0, 2.0f, 0.5f, 1, &in, &out);
    EXPECT_NEAR(bp.getLaneCutoff(0), 500.0f, 0.05f);
    EXPECT_NEAR(bp.getLaneCutoff(1), 2000.0f, 0.2f);
    // The left side now rings an octave lower than the right.
    const Gain at500 = bandPass(1000, 500, 0.5f, 2.0f);
    const Gain at2000 = bandPass(1000, 2000, 0.5f, 2.0f);
    EXPECT_GT(at500.left, 3.0 * at500.right);
    EXPECT_GT(at2000.right, 3.0 * at2000.left);
}

TEST_P(LayerFilters, LowPassMeetsItsCutoff) {
    const double fc = 1000;
    EXPECT_NEAR(lowPassDb(fc, fc, 0.0f), 0.0, 1.0);  // R = 0.5: Q = 1
    EXPECT_NEAR(lowPassDb(fc, fc / 16, 0.0f), 0.0, 0.3);
    const double slope = lowPassDb(fc, 2 * fc, 0) - lowPassDb(fc, 4 * fc, 0);
    EXPECT_NEAR(slope, 12.0, 2.0);
    // Resonance 1 gives q = 0.949, R = 0.5 x 2^(-5 q): a peak of 1 / (2R) at the cutoff.
    const double R = 0.5 * std::pow(2.0, -5.0 * 0.949);
    EXPECT_NEAR(lowPassDb(fc, fc, 1.0f), dB(1.0 / (2.0 * R)), 1.0);
}

TEST_P(LayerFilters, HighPassMeetsItsCutoffAndCutsLower) {
    const double fc = 1000;
    EXPECT_NEAR(highPassDb(fc, fc, 0.0f), 0.0, 1.0);
    EXPECT_NEAR(highPassDb(fc, fc * 8, 0.0f), 0.0, 0.5);
    const double slope = highPassDb(fc, fc / 2, 0) - highPassDb(fc, fc / 4, 0);
    EXPECT_NEAR(slope, 12.0, 2.0);
    // The lowest setting (20 Hz) at 5 Hz: the Q = 1 high-pass alone gives (f/fc)^2 /
    // |1 - (f/fc)^2 + j f/fc|; the one-pole low cut at 30 / (2 pi) Hz takes ~3 dB more.
    const double u = 5.0 / 20.0;
    const double hpOnly = u * u / std::sqrt((1 - u * u) * (1 - u * u) + u * u);
    const double corner = 30.0 / (2.0 * kPi);
    const double lowCut = 5.0 / std::sqrt(25.0 + corner * corner);
    EXPECT_NEAR(highPassDb(20, 5, 0.0f, 3.0), dB(hpOnly * lowCut), 0.7);
}

INSTANTIATE_TEST_SUITE_P(Rates, LayerFilters, ::testing::Values(44100.0, 96000.0));

class LayerFilterControls : public ::testing::Test {
protected:
    void SetUp() override { initFilterTables(); }
};

TEST_F(LayerFilterControls, WireOffPassesTheNotesUnchanged) {
    TBPFilter bp;
    bp.init(44100.0f);
    Noise noise;
    stereoOverStruct in[5], out[5];
    for (int n = 0; n < 200; ++n) {
        for (auto& x : in) x = noise.record(2.0f);
        bp.process(false, {0.5f, 0.5f}, 0, 1.0f, 0.5f, 5, in, out);
        ASSERT_EQ(0, std::memcmp(in, out, sizeof in));
    }
}

TEST_F(LayerFilterControls, TrackingVelocityAndEnvelopes) {
    TBPFilter bp;
    TLPFilter lp;
    bp.init(44100.0f);
    lp.init(44100.0f);
    stereoOverStruct in[2] = {}, out[2];
    const float v = 0.4f;
    bp.process(true, {v, v}, 0, 1.0f, 0, 2, in, out);
    lp.process(v, 0, 0, 2, in, out);
    const float base = 20.0f * std::exp2(4.0f);
    EXPECT_NEAR(bp.getLaneCutoff(0), base, 1e-3f);
    EXPECT_NEAR(lp.getCopyCutoff(0), base, 1e-3f);
    bp.setTrack(1.0f, 1.0f);
    lp.setTrack(-1.0f, 1.0f);
    bp.setVel(1.0f, 0.6f);  // +0.1
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
    THPFilter hp;
    hp.init(44100.0f);
    EXPECT_FLOAT_EQ(hp.getCutoff(), 640.0f);
    hp.process(0.3f, 0.1f, 0, 2, in, out);
    EXPECT_NEAR(hp.getCutoff(), 20.0f * std::exp2(4.0f), 1e-3f);
}

TEST_F(LayerFilterControls, RatesAreBounded) {
    TBPFilter bp;
    TLPFilter lp;
    THPFilter hp;
    for (float r : {500.0f, 0.0f, -1.0f, std::nanf("")}) {
        bp.init(r);
        lp.init(r);
        hp.init(r);
        EXPECT_EQ(bp.getRate(), 44100.0f);
        EXPECT_EQ(lp.getRate(), 44100.0f);
        EXPECT_EQ(hp.getRate(), 44100.0f);
    }
    bp.init(250000.0f);
    lp.init(250000.0f);
    hp.init(250000.0f);
    EXPECT_EQ(bp.getRate(), 196000.0f);
    EXPECT_EQ(lp.getRate(), 196000.0f);
    EXPECT_EQ(hp.getRate(), 192000.0f);
    bp.init(48000.0f);
    EXPECT_EQ(bp.getRate(), 48000.0f);
}

TEST_F(LayerFilterControls, NotesAreIndependentAndHostileValuesHarmless) {
    // Five notes in one call give what each gives alone; the odd last note's partner lane
    // writes nothing.
    TBPFilter bpAll, bpOne[5];
    TLPFilter lpAll, lpOne[5];
    THPFilter hpAll, hpOne[5];
    bpAll.init(48000.0f);
    lpAll.init(48000.0f);
    hpAll.init(48000.0f);
    for (int c = 0; c < 5; ++c) {
        bpOne[c].init(48000.0f);
        lpOne[c].init(48000.0f);
        hpOne[c].init(48000.0f);
    }
    Noise noise;
    stereoOverStruct in[6], a[6], b[6], one, tmp;
    const stereoOverStruct sentinel = {{{5.0f, 6.0f}, {7.0f, 8.0f}}};
    for (int n = 0; n < 2000; ++n) {
        for (auto& x : in) x = noise.record();
        a[5] = b[5] = sentinel;
        for (int c = 0; c < 5; ++c) {
            bpAll.setEnv(c, 0.03f * c);
            lpAll.setEnv(c, -0.02f * c);
            bpOne[c].setEnv(0, 0.03f * c);
            lpOne[c].setEnv(0, -0.02f * c);
        }
        bpAll.process(true, {0.5f, 0.4f}, 0.01f, 1.2f, 0.7f, 5, in, a);
        lpAll.process(0.6f, 0, 0.5f, 5, a, b);
        hpAll.process(0.2f, 0.05f, 0.3f, 5, b, b);
        ASSERT_EQ(0, std::memcmp(&b[5], &sentinel, sizeof sentinel));
        for (int c = 0; c < 5; ++c) {
            bpOne[c].process(true, {0.5f, 0.4f}, 0.01f, 1.2f, 0.7f, 1, &in[c], &tmp);
            lpOne[c].process(0.6f, 0, 0.5f, 1, &tmp, &one);
            hpOne[c].process(0.2f, 0.05f, 0.3f, 1, &one, &one);
            ASSERT_EQ(0, std::memcmp(&one, &b[c], sizeof one)) << "note " << c << " sample " << n;
        }
    }
    const float nan = std::nanf("");
    const float inf = INFINITY;
    for (float v : {nan, inf, -inf, 1e30f}) {
        bpAll.setTrack(v, 1);
        bpAll.setVel(v, 1);
        bpAll.setEnv(0, v);
        lpAll.setTrack(v, 1);
        lpAll.setVel(v, 1);
        lpAll.setEnv(0, v);
        for (int n = 0; n < 500; ++n) {
            for (auto& x : in) x = noise.record();
            bpAll.process(true, {v, v}, v, v, v, 6, in, a);
            lpAll.process(v, v, v, 6, a, b);
            hpAll.process(v, v, v, 6, b, b);
            for (const auto& y : b)
                ASSERT_TRUE(std::isfinite(y.sub[0].left) && std::isfinite(y.sub[1].right));
        }
    }
}

}  // namespace
