// The two-band peaking equaliser of the "EQ" distortion model, measured on sines at the
// oversampled rate it runs at.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp/TParaEQ.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Gain in dB of the equaliser on a sine of freq Hz, after the transient has died out.
// The signal runs at twice the rate given to init.
double gainDb(TParaEQ& eq, float rate, double freq, float g1, float g2, float f1 = 200.0f,
              float f2 = 4000.0f) {
    const double over = 2.0 * rate;
    const int settle = (int)(over * 0.5);
    const int measure = (int)(over * 0.5);
    double inSum = 0.0, outSum[2] = {0.0, 0.0};
    long n = 0;
    for (int i = 0; i < (settle + measure) / 2; ++i) {
        eq.setFXParameters(f1, g1, f2, g2);
        stereoOverStruct in, out;
        for (int k = 0; k < 2; ++k) {
            const float v = (float)(0.5 * std::sin(2.0 * kPi * freq * (double)n / over));
            in.sub[k].left = v;
            in.sub[k].right = -v;
            ++n;
        }
        eq.processFX(in, out);
        if (2 * i >= settle) {
            for (int k = 0; k < 2; ++k) {
                inSum += (double)in.sub[k].left * in.sub[k].left;
                outSum[0] += (double)out.sub[k].left * out.sub[k].left;
                outSum[1] += (double)out.sub[k].right * out.sub[k].right;
            }
        }
    }
    // Both channels get the same treatment.
    EXPECT_NEAR(outSum[0], outSum[1], 1e-3 * outSum[0] + 1e-12);
    return 10.0 * std::log10(outSum[0] / inSum);
}

}  // namespace

TEST(ParaEQ, BassBandAtFullGainLiftsTwoHundredHertzByTwentyDecibels) {
    TParaEQ eq;
    eq.init(44100.0f);
    EXPECT_NEAR(gainDb(eq, 44100.0f, 200.0, 1.0f, 0.5f), 20.0, 0.3);
}

TEST(ParaEQ, BassBandAtZeroCutsTwentyDecibels) {
    TParaEQ eq;
    eq.init(44100.0f);
    EXPECT_NEAR(gainDb(eq, 44100.0f, 200.0, 0.0f, 0.5f), -20.0, 0.3);
}

TEST(ParaEQ, TrebleBandLiftsFourKilohertz) {
    TParaEQ eq;
    eq.init(44100.0f);
    EXPECT_NEAR(gainDb(eq, 44100.0f, 4000.0, 0.5f, 1.0f), 20.0, 0.3);
    // The bass band at 0 dB leaves a high tone alone; the broad treble band reaches down.
    TParaEQ flat;
    flat.init(44100.0f);
    EXPECT_NEAR(gainDb(flat, 44100.0f, 4000.0, 0.5f, 0.5f), 0.0, 0.01);
}

TEST(ParaEQ, MiddleGainPassesTheSignalUnchanged) {
    TParaEQ eq;
    eq.init(44100.0f);
    eq.setFXParameters(200.0f, 0.5f, 4000.0f, 0.5f);
    for (int i = 0; i < 2000; ++i) {
        stereoOverStruct in, out;
        for (int k = 0; k < 2; ++k) {
            in.sub[k].left = (float)std::sin(0.01 * (2 * i + k));
            in.sub[k].right = (float)std::cos(0.037 * (2 * i + k));
        }
        eq.processFX(in, out);
        for (int k = 0; k < 2; ++k) {
            ASSERT_NEAR(out.sub[k].left, in.sub[k].left, 1e-4f);
            ASSERT_NEAR(out.sub[k].right, in.sub[k].right, 1e-4f);
        }
    }
}

TEST(ParaEQ, GainsOutsideTheRangeActAsTheEnds) {
    TParaEQ a, b;
    a.init(44100.0f);
    b.init(44100.0f);
    EXPECT_NEAR(gainDb(a, 44100.0f, 200.0, 3.0f, 0.5f), gainDb(b, 44100.0f, 200.0, 1.0f, 0.5f),
                1e-6);
    TParaEQ c, d;
    c.init(44100.0f);
    d.init(44100.0f);
    EXPECT_NEAR(gainDb(c, 44100.0f, 200.0, -2.0f, 0.5f), gainDb(d, 44100.0f, 200.0, 0.0f, 0.5f),
                1e-6);
}

TEST(ParaEQ, FrequenciesAreTakenAtTwiceTheRate) {
    // At 96 kHz the centre stays at 200 Hz of the 192 kHz signal.
    TParaEQ eq;
    eq.init(96000.0f);
    EXPECT_NEAR(gainDb(eq, 96000.0f, 200.0, 1.0f, 0.5f), 20.0, 0.3);
    // A rate below 1000 Hz is taken as 44100 Hz.
    TParaEQ low;
    low.init(10.0f);
    EXPECT_EQ(low.getRate(), 44100.0f);
}

TEST(ParaEQ, ResetClearsOneBandsHistory) {
    TParaEQ eq;
    eq.init(44100.0f);
    eq.setFXParameters(200.0f, 1.0f, 4000.0f, 0.5f);
    stereoOverStruct in{{{1.0f, 1.0f}, {1.0f, 1.0f}}}, out;
    for (int i = 0; i < 10; ++i) eq.processFX(in, out);
    eq.reset(0);
    eq.reset(1);
    eq.reset(7);  // no such band: nothing happens
    stereoOverStruct zero{{{0.0f, 0.0f}, {0.0f, 0.0f}}};
    eq.processFX(zero, out);
    EXPECT_NEAR(out.sub[0].left, 0.0f, 1e-6f);
    EXPECT_NEAR(out.sub[1].right, 0.0f, 1e-6f);
}
