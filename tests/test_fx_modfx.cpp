// The modulation effects through the chain: the effect LFO's rate, the Gator's steps and
// swing, the pitch motion of the delay-based types, and every type at its extremes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_fx_util.h"

using namespace fxtest;

namespace {

// Mod FX of the given type on layer 0, wet only.
void setModFX(Rig& r, int type) {
    r.route(0, kLayerDestModFX);
    r.p().modFXOn = 1;
    r.p().modFXMode = type;
    r.set(107, 1.0f);
}

// Free LFO rate in Hz of a Speed value.
double freeRateHz(float speed) { return std::exp2(14.0 * speed) * 1.71875 / 256.0; }

// Period in samples of the swing of y around its mean, from upward crossings.
double periodOf(const std::vector<float>& y, std::size_t from) {
    double mean = 0.0;
    for (std::size_t i = from; i < y.size(); ++i) mean += y[i];
    mean /= (double)(y.size() - from);
    std::vector<float> c(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) c[i] = (float)(y[i] - mean);
    const double f = frequencyAt(c, from, y.size() - from, 1.0);
    return f > 0.0 ? 1.0 / f : 0.0;
}

float maskValue(unsigned mask) { return ((float)mask + 0.5f) / 65535.9f; }

}  // namespace

TEST(ModFX, TremoloPeriodEqualsTheSetSpeed) {
    const float speed = 0.6581f;  // about 4 Hz
    Rig r;
    setModFX(r, 6);
    r.set(108, speed);
    r.set(109, 0.0f);  // sine
    r.set(110, 1.0f);  // full amount
    r.set(111, 0.5f);  // symmetric
    r.set(112, 0.0f);  // no smoothing
    r.init();
    const std::vector<float> y = r.run(std::vector<float>(44100 * 3, 1.0f));
    EXPECT_NEAR(periodOf(y, 1000), 44100.0 / freeRateHz(speed), 44100.0 / freeRateHz(speed) * 0.01);
    // Full depth: the gain swings from 0 to 1.
    EXPECT_LT(peakAbs(y, 0, y.size()) - 1.0, 0.01);
    double low = 1.0;
    for (float v : y) low = std::fmin(low, v);
    EXPECT_LT(low, 0.01);
}

TEST(ModFX, SyncedTremoloFollowsTheTempo) {
    Rig r;
    setModFX(r, 6);
    r.set(350, 1.0f);
    r.set(108, steppedValue(23, 33.99f));  // a quarter note
    r.set(110, 1.0f);
    r.set(111, 0.5f);
    r.init();
    const std::vector<float> y = r.run(std::vector<float>(44100 * 4, 1.0f));
    const double expected = (0.25 * 15.0 * 44100.0 / 120.0 + 1.0) * 16.0;  // 22066 samples
    EXPECT_NEAR(periodOf(y, 1000), expected, expected * 0.005);
    // Speed index 0 stops the LFO.
    Rig s;
    setModFX(s, 6);
    s.set(350, 1.0f);
    s.set(108, 0.0f);
    s.set(110, 1.0f);
    s.init();
    const std::vector<float> z = s.run(std::vector<float>(20000, 1.0f));
    EXPECT_NEAR(z[19999], z[10000], 1e-6f);
}

TEST(ModFX, TheGatorFollowsItsPatternOnSixteenthNotes) {
    const unsigned maskL = 0xACF0, maskR = 0x5F0F;
    Rig r;
    setModFX(r, 10);
    r.set(108, steppedValue(14, 33.99f));  // one step per sixteenth note
    r.set(109, 0.0f);                      // switches within a few samples
    r.set(110, steppedValue(15, 15.99f));  // 16 steps
    r.set(111, maskValue(maskL));
    r.set(112, maskValue(maskR));
    r.init();
    const double step = 44100.0 * 60.0 / 120.0 / 4.0;  // 5512.5 samples
    std::vector<float> left, right;
    std::vector<int> shown;
    for (int i = 0; i < (int)(step * 16) + 10; ++i) {
        const stereoStruct o = r.step({1.0f, 1.0f});
        left.push_back(o.left);
        right.push_back(o.right);
        shown.push_back(r.p().getGaterPos());
    }
    for (int k = 0; k < 16; ++k) {
        const std::size_t mid = (std::size_t)((k + 0.5) * step);
        EXPECT_NEAR(left[mid], (maskL >> k) & 1 ? 1.0f : 0.0f, 1e-3f) << "step " << k;
        EXPECT_NEAR(right[mid], (maskR >> k) & 1 ? 1.0f : 0.0f, 1e-3f) << "step " << k;
        EXPECT_EQ(shown[mid], k);
    }
    // The gains are published as modulation sources.
    EXPECT_NEAR(r.p().modSrcGlobal[108], left.back(), 1e-6f);
    EXPECT_NEAR(r.p().modSrcGlobal[109], right.back(), 1e-6f);
    EXPECT_NEAR(r.p().modSrcGlobal[110], 0.5f * (left.back() + right.back()), 1e-6f);
}

TEST(ModFX, SwingMovesTheBoundaryInsideEachPairOfSteps) {
    auto gainAt = [](float swing, double fractionOfPair) {
        Rig r;
        setModFX(r, 10);
        r.set(108, steppedValue(14, 33.99f));
        r.set(110, steppedValue(15, 15.99f));
        r.set(111, maskValue(0x5555));  // even steps open, odd steps closed
        r.set(112, maskValue(0x5555));
        r.init();
        r.p().modDestGlobal[363] = swing;
        const int n = (int)(fractionOfPair * 11025.0);
        float last = 0.0f;
        for (int i = 0; i <= n; ++i) last = r.step({1.0f, 1.0f}).left;
        return last;
    };
    // Straight: the pair splits in the middle.
    EXPECT_NEAR(gainAt(0.0f, 0.45), 1.0f, 1e-3f);
    EXPECT_NEAR(gainAt(0.0f, 0.55), 0.0f, 1e-3f);
    // Swing +0.5: the first step takes 0.745 of the pair.
    EXPECT_NEAR(gainAt(0.5f, 0.70), 1.0f, 1e-3f);
    EXPECT_NEAR(gainAt(0.5f, 0.80), 0.0f, 1e-3f);
    // Swing -0.5: 0.255.
    EXPECT_NEAR(gainAt(-0.5f, 0.20), 1.0f, 1e-3f);
    EXPECT_NEAR(gainAt(-0.5f, 0.30), 0.0f, 1e-3f);
}

TEST(ModFX, AOneStepGateStaysOnStepZero) {
    Rig r;
    setModFX(r, 10);
    r.set(108, steppedValue(30, 33.99f));  // fast
    r.set(110, 0.0f);                      // one step
    r.set(111, maskValue(0x0001));
    r.set(112, maskValue(0x0000));
    r.init();
    for (int i = 0; i < 20000; ++i) {
        const stereoStruct o = r.step({1.0f, 1.0f});
        if (i > 100) {
            ASSERT_NEAR(o.left, 1.0f, 1e-3f);
            ASSERT_NEAR(o.right, 0.0f, 1e-3f);
        }
        ASSERT_EQ(r.p().getGaterPos(), 0);
    }
}

TEST(ModFX, ChorusFlangerAndVibratoMovePitch) {
    const std::vector<float> x = sine(44100 * 2, 1000.0, 0.5);
    auto spread = [&](int type) {
        Rig r;
        setModFX(r, type);
        r.set(108, 0.5156f);  // about 1 Hz
        r.set(109, 0.3f);
        r.set(110, type == 6 ? 0.5f : 1.0f);  // tremolo: half depth, never silent
        r.set(111, 0.0f);
        r.set(112, type == 0 ? 1.0f : 0.0f);  // chorus: low-pass open; others: no feedback
        r.init();
        const std::vector<float> y = r.run(x);
        double lo = 1e9, hi = 0.0;
        for (std::size_t w = 4410; w + 2205 <= y.size(); w += 2205) {
            const double f = frequencyAt(y, w, 2205, 44100.0);
            lo = std::fmin(lo, f);
            hi = std::fmax(hi, f);
        }
        return (hi - lo) / 1000.0;
    };
    EXPECT_GT(spread(0), 0.02);  // chorus
    EXPECT_GT(spread(1), 0.02);  // flanger
    EXPECT_GT(spread(7), 0.02);  // vibrato
    EXPECT_LT(spread(6), 0.003);  // tremolo moves no pitch
}

TEST(ModFX, FlangerAndPhaserAtFullFeedbackStayBounded) {
    std::vector<float> noise(44100 * 5);
    uint32_t s = 17;
    for (std::size_t i = 0; i < noise.size(); ++i) {
        s = s * 1664525u + 1013904223u;
        noise[i] = 0.8f * (float)((int32_t)s) * 4.656613e-10f + 0.5f * (float)std::sin(0.05 * (double)i);
    }
    for (int type : {1, 3}) {
        for (float feedDest : {0.0f, -2.0f}) {  // the parameter at 1, or pushed to -1
            Rig r;
            setModFX(r, type);
            r.set(108, 0.4f);
            r.set(109, 0.5f);
            r.set(110, 1.0f);
            r.set(111, 0.5f);
            r.set(112, 1.0f);
            r.init();
            r.p().modDestGlobal[354] = feedDest;
            const std::vector<float> y = r.run(noise);
            for (float v : y) ASSERT_TRUE(std::isfinite(v));
            EXPECT_LT(peakAbs(y, 0, y.size()), 10.0) << type << " " << feedDest;
            EXPECT_GT(rms(y, 44100, y.size()), 0.05) << type << " " << feedDest;
        }
    }
}

TEST(ModFX, AutoPanMovesBetweenTheSides) {
    Rig r;
    setModFX(r, 8);
    r.set(108, 0.6f);
    r.set(110, 1.0f);
    r.set(111, 0.5f);
    r.init();
    const std::vector<float> y = r.run(std::vector<float>(44100, 1.0f));
    double cov = 0.0, ml = 0.0, mr = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        ml += y[i];
        mr += r.lastRight[i];
    }
    ml /= (double)y.size();
    mr /= (double)y.size();
    for (std::size_t i = 0; i < y.size(); ++i) cov += (y[i] - ml) * (r.lastRight[i] - mr);
    EXPECT_LT(cov, 0.0);
    EXPECT_GT(peakAbs(y, 0, y.size()), 0.99);
    EXPECT_GT(peakAbs(r.lastRight, 0, y.size()), 0.99);
}

TEST(ModFX, EveryTypeAtItsExtremesStaysFinite) {
    std::vector<float> x(20000);
    uint32_t s = 3;
    for (float& v : x) {
        s = s * 1664525u + 1013904223u;
        v = (float)((int32_t)s) * 4.656613e-10f;
    }
    for (int type = 0; type < 11; ++type) {
        for (float knob : {0.0f, 1.0f}) {
            for (float dest : {0.0f, 1.0f, -1.0f}) {
                Rig r;
                setModFX(r, type);
                for (int tag = 108; tag <= 112; ++tag) r.set(tag, knob);
                r.init();
                for (int d = 340; d <= 365; ++d) r.p().modDestGlobal[d] = dest;
                const std::vector<float> y = r.run(x);
                for (std::size_t i = 0; i < y.size(); ++i) {
                    ASSERT_TRUE(std::isfinite(y[i]) && std::isfinite(r.lastRight[i]))
                        << "type " << type << " knob " << knob << " dest " << dest;
                }
                EXPECT_LT(peakAbs(y, 0, y.size()), 200.0) << "type " << type;
            }
        }
    }
}

TEST(ModFX, ATypeChangeStartsTheEffectClean) {
    Rig r;
    setModFX(r, 2);  // ensemble with feedback
    r.set(108, 0.5f);
    r.set(109, 0.5f);
    r.set(110, 1.0f);
    r.set(112, 0.9f);
    r.init();
    r.run(sine(10000, 300.0, 0.8));
    r.p().initModFX();
    const std::vector<float> y = r.run(std::vector<float>(5000, 0.0f));
    EXPECT_LT(peakAbs(y, 0, y.size()), 1e-6);
}

// The LFO rate and the speed factor are remembered between samples; every input they come
// from must still reach them at once.
TEST(ModFX, TheLFORateFollowsEveryInputAtOnce) {
    Rig r;
    APlugin& p = r.p();
    auto freeRate = [&p](float speed) {
        return (float)(std::exp2(14.0 * (double)speed) * 1.71875 / (double)p.curSampleRate / 256.0);
    };
    auto syncedRate = [&p](double wholeNotes) {
        return (float)(1.0 / ((wholeNotes * 15.0 * (double)p.curSampleRate / (double)p.tempo + 1.0) * 16.0));
    };
    r.set(108, 0.5f);
    EXPECT_FLOAT_EQ(p.getModFXRate(0), freeRate(0.5f));
    r.set(108, 0.25f);
    EXPECT_FLOAT_EQ(p.getModFXRate(0), freeRate(0.25f));
    p.setSampleRate(96000.0f);
    EXPECT_FLOAT_EQ(p.getModFXRate(0), freeRate(0.25f));
    r.set(350, 1.0f);
    r.set(108, steppedValue(23, 33.99f));  // a quarter note
    EXPECT_FLOAT_EQ(p.getModFXRate(0), syncedRate(0.25));
    p.tempo = 90.0f;
    EXPECT_FLOAT_EQ(p.getModFXRate(0), syncedRate(0.25));
    r.set(108, 0.0f);  // index 0 stops the LFO
    EXPECT_EQ(p.getModFXRate(0), 0.0f);
    r.set(350, 0.0f);
    EXPECT_FLOAT_EQ(p.getModFXRate(0), freeRate(0.0f));

    p.modDestGlobal[341] = 0.5f;
    EXPECT_FLOAT_EQ(p.getModFXSpeedFactor(), 4.0f);
    p.modDestGlobal[341] = -0.25f;
    EXPECT_FLOAT_EQ(p.getModFXSpeedFactor(), 0.5f);
    p.modDestGlobal[341] = 0.0f;
    EXPECT_FLOAT_EQ(p.getModFXSpeedFactor(), 1.0f);
}

// A Speed destination that moves while the Tremolo runs changes its period right away.
TEST(ModFX, ASpeedDestinationChangeReachesTheRunningLFO) {
    const float speed = 0.6581f;
    Rig r;
    setModFX(r, 6);
    r.set(108, speed);
    r.set(110, 1.0f);
    r.set(111, 0.5f);
    r.init();
    const std::vector<float> ones(44100 * 2, 1.0f);
    const std::vector<float> y = r.run(ones);
    r.p().modDestGlobal[341] = 0.25f;  // twice the rate
    const std::vector<float> z = r.run(ones);
    const double slow = periodOf(y, 1000), fast = periodOf(z, 1000);
    EXPECT_NEAR(slow / fast, 2.0, 0.04);
}
