// Lookup tables: the process-wide filter tables, the engine tables of the plug-in object,
// the pink noise, the shared random generator and the Fourier transform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "dsp/FilterTables.h"
#include "engine/Fft.h"
#include "engine/RandSeed.h"
#include "support/PluginHarness.h"

namespace {

// The single-precision pi the tables are defined with (the float just below pi).
constexpr float kPiF = 3.14159250f;
constexpr double kTwoPiD = 6.283185307179586476925;

void buildEngineTables(APlugin& p) {
    p.initSineNoiseTables();
    p.initPhaseWarpTable();
    initFilterTables();
    p.initLFOWaves();
    p.initWaveTables();
}

// One engine-table build per test program: the object is large and building it costs a
// few tens of milliseconds.
struct Built {
    PluginHarness h;
    Built() { buildEngineTables(h.plugin()); }
};
APlugin& built() {
    static Built* b = new Built;  // kept until the process ends
    return b->h.plugin();
}

bool near(double a, double b, double rel, double abs) {
    return std::fabs(a - b) <= abs + rel * std::fabs(b);
}

// Magnitudes of harmonics 0 .. n/2 of a real table, through a plain DFT in double.
std::vector<double> harmonicMagnitudes(const float* x, int n, int upTo) {
    std::vector<double> mag(upTo + 1);
    for (int h = 0; h <= upTo; ++h) {
        std::complex<double> acc = 0.0;
        for (int i = 0; i < n; ++i)
            acc += (double)x[i] * std::polar(1.0, -kTwoPiD * h * i / n);
        mag[h] = std::abs(acc) / (n / 2);
    }
    return mag;
}

double sumAbs(const float* x, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += std::fabs(x[i]);
    return s;
}

double noteHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Filter tables
// ---------------------------------------------------------------------------------------

TEST(FilterTables, EntriesFollowTheirFormulasAtBothEndsAndInBetween) {
    initFilterTables();
    ASSERT_TRUE(filterTablesReady());
    const int probes[] = {0, 1, 2, 1000, 65536, 131071, 131073, 200000, 262142, 262143};
    for (int i : probes) {
        SCOPED_TRACE(i);
        const float x = (float)i / 262144.0f;
        // The trigonometric arguments as single precision forms them, evaluated in double.
        const double a1 = (double)(kPiF * x);
        const double a2 = (double)(2.0f * kPiF * x);
        const double s = std::sin(a1), c = std::cos(a1), s2 = std::sin(a2), c2 = std::cos(a2);
        const double f = 2.0 * x, q = 1.0 - f, p = f + f * q;
        const double t = std::exp2(1.0 + 3.98 * f);
        const double rel = 2e-5, abs = 1e-6;
        EXPECT_TRUE(near(FilterSine[i], 2.0 * s + 1e-15, rel, abs)) << FilterSine[i];
        EXPECT_TRUE(near(Filter2Sine[i], s2, rel, abs)) << Filter2Sine[i];
        EXPECT_TRUE(near(Filter2Cos[i], c2, rel, abs)) << Filter2Cos[i];
        EXPECT_TRUE(near(Filter12Lo2[i], c / (s + 0.0015), rel, abs)) << Filter12Lo2[i];
        EXPECT_TRUE(near(Filter12Hi2[i], s / (c + 0.0015), rel, abs)) << Filter12Hi2[i];
        EXPECT_TRUE(near(FilterZTan[i], std::tan(a1), rel, abs)) << FilterZTan[i];
        EXPECT_TRUE(near(FilterZQ[i], 0.5 * std::exp2(-5.0 * f), rel, 1e-9)) << FilterZQ[i];
        EXPECT_TRUE(near(FilterMFF[i], 2.0 * p - 1.0, rel, abs)) << FilterMFF[i];
        EXPECT_TRUE(near(FilterMFQ[i], 1.0 + 0.5 * q * (1.0 - q + 5.6 * q * q), rel, abs))
            << FilterMFQ[i];
        EXPECT_TRUE(near(FilterMFP[i], p, rel, abs)) << FilterMFP[i];
        EXPECT_TRUE(near(FilterVoxC[i], 1.0 / (s / c + 0.001), 1e-4, abs)) << FilterVoxC[i];
        EXPECT_TRUE(near(FilterVoxD[i], 2.0 * c2, rel, abs)) << FilterVoxD[i];
        EXPECT_TRUE(near(FilterTmpqs[i], std::sqrt(1.0 + t), rel, abs)) << FilterTmpqs[i];
        EXPECT_TRUE(near(FilterInvTmpq[i], 1.0 / t, rel, 1e-9)) << FilterInvTmpq[i];
        if (i > 0) {
            EXPECT_TRUE(near(FilterTanBP[i], 1.0 / std::tan(a1), 1e-4, abs)) << i;
        }
    }
}

TEST(FilterTables, DocumentedValuesAtTheEnds) {
    initFilterTables();
    const int top = kFilterTableLast;
    EXPECT_EQ(FilterVoxC[0], 1.0f / 0.001f);  // the guard is added before the division
    EXPECT_NEAR(Filter12Lo2[0], 666.6667f, 1e-3);
    EXPECT_FLOAT_EQ(FilterSine[0], 1e-15f);
    EXPECT_EQ(Filter2Cos[0], 1.0f);
    EXPECT_EQ(Filter2Sine[0], 0.0f);
    EXPECT_EQ(FilterZTan[0], 0.0f);
    EXPECT_EQ(FilterZQ[0], 0.5f);
    EXPECT_EQ(FilterZQ[131072], 0.015625f);
    EXPECT_NEAR(FilterZQ[top], 0.00048829417f, 1e-10);
    EXPECT_FLOAT_EQ(FilterMFF[0], -1.0f);
    EXPECT_FLOAT_EQ(FilterMFF[131072], 1.0f);
    EXPECT_NEAR(FilterMFF[top], -0.99996948f, 1e-6);
    EXPECT_FLOAT_EQ(FilterMFQ[0], 3.8f);
    EXPECT_FLOAT_EQ(FilterMFQ[131072], 1.0f);
    EXPECT_NEAR(FilterMFQ[top], -2.7999241f, 1e-5);
    EXPECT_FLOAT_EQ(FilterTmpqs[0], std::sqrt(3.0f));
    EXPECT_EQ(FilterInvTmpq[0], 0.5f);
    EXPECT_NEAR(FilterInvTmpq[top], 0.0020080772f, 1e-8);
    EXPECT_NEAR(FilterTmpqs[top], 22.338057f, 1e-4);
    EXPECT_EQ(FilterVoxD[0], 2.0f);
    EXPECT_EQ(FilterVoxD[top], 2.0f);
    EXPECT_EQ(FilterTanBP[0], 1.0f);
    // The single-precision pi keeps the top entries at these small values.
    EXPECT_NEAR(FilterSine[top], 2.414385e-05f, 2e-10);
    EXPECT_NEAR(Filter2Sine[top], -2.414385e-05f, 2e-10);
    EXPECT_NEAR(FilterZTan[top], -1.207193e-05f, 2e-10);
    EXPECT_NEAR(Filter12Hi2[top], -1.209006e-05f, 2e-10);
    EXPECT_NEAR(Filter12Lo2[top], -661.34418f, 1e-3);
    EXPECT_NEAR(FilterVoxC[top], 1012.2194f, 1e-2);
    for (int i = 0; i < kFilterTableSize; ++i) ASSERT_EQ(FilterFreqPow2[i], 0.0f) << i;
}

TEST(FilterTables, EveryEntryIsFinite) {
    initFilterTables();
    const float* tables[] = {FilterSine,  Filter2Sine, Filter2Cos, Filter12Lo2,
                             Filter12Hi2, FilterZTan,  FilterZQ,   FilterMFF,
                             FilterMFQ,   FilterMFP,   FilterVoxC, FilterVoxD,
                             FilterTmpqs, FilterInvTmpq, FilterTanBP};
    for (const float* t : tables)
        for (int i = 0; i < kFilterTableSize; ++i) ASSERT_TRUE(std::isfinite(t[i])) << i;
}

TEST(FilterTables, FilledOncePerProcessAndNeverRewritten) {
    // Several threads ask at once: all return with complete tables.
    std::vector<std::thread> threads;
    std::vector<int> ready(4, 0);
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&ready, k] {
            initFilterTables();
            ready[k] = filterTablesReady() && FilterTmpqs[kFilterTableLast] > 22.0f;
        });
    for (std::thread& t : threads) t.join();
    for (int r : ready) EXPECT_EQ(r, 1);

    // A later call (a second instance) does not fill again.
    const float saved = FilterMFP[12345];
    FilterMFP[12345] = -7.0f;
    initFilterTables();
    EXPECT_EQ(FilterMFP[12345], -7.0f);
    FilterMFP[12345] = saved;
}

TEST(FilterTables, IndexOfAPositionIsSaturated) {
    EXPECT_EQ(filterTableIndex(0.0f), 0);
    EXPECT_EQ(filterTableIndex(-3.0f), 0);
    EXPECT_EQ(filterTableIndex(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(filterTableIndex(std::numeric_limits<float>::infinity()), kFilterTableLast);
    EXPECT_EQ(filterTableIndex(1.0f), kFilterTableLast);
    EXPECT_EQ(filterTableIndex(1e30f), kFilterTableLast);
    EXPECT_EQ(filterTableIndex(0.5f), 131071);
    // A cutoff of 0 Hz still reads a non-negative index.
    EXPECT_EQ(filterTableIndex((0.0f + 0.001f) / (2.0f * 44100.0f) + 1e-15f), 0);
}

// ---------------------------------------------------------------------------------------
// Engine tables
// ---------------------------------------------------------------------------------------

TEST(EngineTables, SineAndCosineCoverOnePeriod) {
    APlugin& p = built();
    for (int i = 0; i < APlugin::kSinTableSize; i += 97) {
        const double a = kTwoPiD * i / 65535.98828125;
        ASSERT_NEAR(p.sinTable[i], std::sin(a), 2e-6) << i;
        ASSERT_NEAR(p.cosTable[i], std::cos(a), 2e-6) << i;
    }
    EXPECT_EQ(p.sinTable[0], 0.0f);
    EXPECT_EQ(p.cosTable[0], 1.0f);
    EXPECT_NEAR(p.sinTable[16384], 1.0f, 1e-6);
    EXPECT_NEAR(p.cosTable[32768], -1.0f, 1e-6);
    // The last entry is just short of the full turn.
    EXPECT_LT(p.sinTable[65535], 0.0f);
    EXPECT_GT(p.sinTable[65535], -2e-4f);
}

TEST(EngineTables, PhaseWarpRowsBendAtTheirPoint) {
    APlugin& p = built();
    for (int j = 0; j < APlugin::kWarpSize; ++j) ASSERT_EQ(p.phaseWarpTable[255][j], j);
    const int32_t* row0 = p.phaseWarpTable[0];
    EXPECT_EQ(row0[0], 0);
    EXPECT_EQ(row0[1], 50);
    EXPECT_EQ(row0[2], 100);
    EXPECT_EQ(row0[40], 2000);
    EXPECT_EQ(row0[41], 2047);
    for (int k = 0; k < APlugin::kWarpRows; ++k) {
        const int32_t* row = p.phaseWarpTable[k];
        ASSERT_EQ(row[0], 0) << k;
        ASSERT_EQ(row[4095], 4095) << k;
        for (int j = 1; j < APlugin::kWarpSize; ++j) {
            ASSERT_GE(row[j], row[j - 1]) << k << " " << j;
            ASSERT_LE(row[j], 4095) << k << " " << j;
        }
        if (k == 255) continue;
        // The bend point maps to the middle of the cycle; entries follow the two lines.
        const double s = 0.01 + 0.98 * k / 512.0;
        for (int j = 0; j < APlugin::kWarpSize; j += 37) {
            const double u = j / 4095.0;
            const double v = u < s ? 4095.0 * 0.5 * u / s
                                   : 4095.0 * ((u - s) * 0.5 / (1.0 - s) + 0.5);
            ASSERT_NEAR(row[j], v, 1.01) << k << " " << j;
        }
        // The second half of the table begins where the phase passes the bend point.
        int firstHigh = 0;
        while (row[firstHigh] < 2047) ++firstHigh;
        EXPECT_NEAR(firstHigh / 4095.0, s, 1.0 / 4095.0 + 1e-6) << k;
    }
}

TEST(EngineTables, LFOWavesFollowTheirShapes) {
    APlugin& p = built();
    const auto& w = p.lfoWave;
    for (int i = 0; i < APlugin::kLFOWaveSize; i += 61) {
        const double t = i / 65536.0;
        ASSERT_NEAR(w[0][i], std::sin(kTwoPiD * t), 2e-6) << i;
        ASSERT_EQ(w[1][i], -w[0][i]) << i;
        ASSERT_NEAR(w[2][i], 1.0 - std::fabs(2.0 - 4.0 * t), 1e-6) << i;
        ASSERT_EQ(w[3][i], -w[2][i]) << i;
        ASSERT_NEAR(w[4][i], 2.0 * t - 1.0, 1e-6) << i;
        ASSERT_EQ(w[5][i], -w[4][i]) << i;
    }
    EXPECT_EQ(w[2][0], -1.0f);
    EXPECT_EQ(w[2][16384], 0.0f);
    EXPECT_EQ(w[2][32768], 1.0f);
    EXPECT_EQ(w[4][0], -1.0f);
    EXPECT_EQ(w[4][32768], 0.0f);
    for (int i = 0; i < APlugin::kLFOWaveSize; ++i) {
        ASSERT_EQ(w[6][i], i <= 32767 ? -1.0f : 1.0f) << i;
        ASSERT_EQ(w[7][i], -w[6][i]) << i;
    }
    // Sample and hold: a new value only at multiples of 512, each within -1..1, and the
    // 128 held values are not all the same.
    std::vector<float> held;
    for (int i = 0; i < APlugin::kLFOWaveSize; ++i) {
        ASSERT_GE(w[8][i], -1.0f);
        ASSERT_LE(w[8][i], 1.0f);
        if (i % 512 == 0)
            held.push_back(w[8][i]);
        else
            ASSERT_EQ(w[8][i], w[8][i - 1]) << i;
    }
    ASSERT_EQ(held.size(), 128u);
    std::sort(held.begin(), held.end());
    EXPECT_GT(std::unique(held.begin(), held.end()) - held.begin(), 64);
}

TEST(EngineTables, NoteBandsTwoSemitonesApart) {
    APlugin& p = built();
    for (int n = 0; n < 128; ++n) {
        const int expect = n < 60 ? 0 : n <= 125 ? (n - 60) / 2 + 1 : 33;
        ASSERT_EQ(p.noteBand[n], expect) << n;
    }
    EXPECT_EQ(p.noteBand[59], 0);
    EXPECT_EQ(p.noteBand[60], 1);
    EXPECT_EQ(p.noteBand[61], 1);
    EXPECT_EQ(p.noteBand[62], 2);
    for (int n = 124; n < 128; ++n) EXPECT_EQ(p.noteBand[n], 33);
}

TEST(EngineTables, BandZeroIsTheIdealWave) {
    APlugin& p = built();
    for (int i = 0; i < APlugin::kOscWaveSize; ++i) {
        const double t = i * (double)0.00024414124f;
        ASSERT_NEAR(p.oscWave[0][0][i], std::sin(kTwoPiD * t), 2e-6) << i;
        ASSERT_NEAR(p.oscWave[1][0][i], 2.0 * t - 1.0, 1e-6) << i;
        ASSERT_EQ(p.oscWave[2][0][i], t < 0.5 ? -1.0f : 1.0f) << i;
        ASSERT_NEAR(p.oscWave[3][0][i], 1.0 - std::fabs(2.0 - 4.0 * t), 1e-6) << i;
        ASSERT_EQ(p.sinTable4096[i], p.oscWave[0][0][i]) << i;
    }
}

TEST(EngineTables, EveryBandHasTheLevelOfItsBandZero) {
    APlugin& p = built();
    for (int shape = 0; shape < APlugin::kOscShapes; ++shape) {
        const double target = sumAbs(p.oscWave[shape][0], APlugin::kOscWaveSize);
        for (int band = 1; band < APlugin::kOscBands; ++band)
            EXPECT_NEAR(sumAbs(p.oscWave[shape][band], APlugin::kOscWaveSize), target,
                        target * 1e-4)
                << shape << " " << band;
    }
}

TEST(EngineTables, HighBandHasNoHarmonicsAboveNyquist) {
    APlugin& p = built();
    const int n = APlugin::kOscWaveSize;
    for (int shape = 1; shape < APlugin::kOscShapes; ++shape) {
        SCOPED_TRACE(shape);
        const std::vector<double> top = harmonicMagnitudes(p.oscWave[shape][33], n, 64);
        const std::vector<double> ideal = harmonicMagnitudes(p.oscWave[shape][0], n, 64);
        ASSERT_GT(top[1], 0.1);
        EXPECT_LT(top[0], 1e-4 * top[1]);
        for (int h = 4; h <= 64; ++h) EXPECT_LT(top[h], 1e-4 * top[1]) << h;
        // The ideal saw and square have strong harmonics far above the third.
        if (shape != 3) {
            EXPECT_GT(ideal[9], 0.05 * ideal[1]);
        }
        EXPECT_GT(ideal[7], 0.01 * ideal[1]);
    }
    // The top note of every band keeps its highest harmonic below the Nyquist frequency
    // of the oversampled voice path at 44.1 kHz.
    for (int band = 1; band < APlugin::kOscBands; ++band) {
        int topNote = 0;
        for (int note = 0; note < 128; ++note)
            if (p.noteBand[note] == band) topNote = note;
        const std::vector<double> mag = harmonicMagnitudes(p.oscWave[1][band], n, 160);
        int highest = 0;
        for (int h = 1; h <= 160; ++h)
            if (mag[h] > 1e-4 * mag[1]) highest = h;
        EXPECT_LT(noteHz(topNote) * highest, 44100.0) << "band " << band;
    }
}

TEST(EngineTables, BandLimitedWavesLineUpWithBandZero) {
    APlugin& p = built();
    const int n = APlugin::kOscWaveSize;
    // Removing harmonics must not shift the wave: band 1 follows band 0 closely.
    for (int shape = 0; shape < APlugin::kOscShapes; ++shape) {
        double dot = 0.0, e0 = 0.0, e1 = 0.0;
        for (int i = 0; i < n; ++i) {
            dot += (double)p.oscWave[shape][0][i] * p.oscWave[shape][1][i];
            e0 += (double)p.oscWave[shape][0][i] * p.oscWave[shape][0][i];
            e1 += (double)p.oscWave[shape][1][i] * p.oscWave[shape][1][i];
        }
        EXPECT_GT(dot / std::sqrt(e0 * e1), 0.995) << shape;
    }
    // The sine stays a sine in every band.
    for (int band = 1; band < APlugin::kOscBands; ++band)
        for (int i = 0; i < n; i += 7)
            ASSERT_NEAR(p.oscWave[0][band][i], p.oscWave[0][0][i], 1e-3) << band << " " << i;
    // The jumps of the saw and the square stay where band 0 has them, half-way between
    // two entries: each band is odd-symmetric about the point between the last and the
    // first entry (x[k] = -x[n-1-k]), so no band is shifted against another.
    for (int shape = 1; shape <= 2; ++shape)
        for (int band = 1; band < APlugin::kOscBands; ++band) {
            const float* x = p.oscWave[shape][band];
            EXPECT_LT(x[0], 0.0f) << shape << " " << band;
            for (int k = 0; k < n; k += 5)
                ASSERT_NEAR(x[k], -x[n - 1 - k], 1e-3) << shape << " " << band << " " << k;
        }
}

// ---------------------------------------------------------------------------------------
// Random generator and noise
// ---------------------------------------------------------------------------------------

TEST(RandSeedGenerator, SequenceFromSeedOne) {
    TRandSeed g;  // a private generator: the shared one may have been advanced
    EXPECT_EQ(g.state(), 1u);
    EXPECT_EQ(g.nextRaw(), 16807);
    EXPECT_EQ(g.state(), 16808u);
    EXPECT_EQ(g.nextRaw(), 282492056);
    uint64_t seed = 282492057;
    for (int k = 0; k < 1000; ++k) {
        const uint32_t x = (uint32_t)((seed * 16807u) & 0xFFFFFFFFu);
        seed = (uint64_t)x + 1u;
        const float expected = (float)(int32_t)x * 4.656613e-10f;
        ASSERT_EQ(g.next(), expected) << k;
    }
    g.reset();
    EXPECT_EQ(g.next(), 16807.0f * 4.656613e-10f);
    EXPECT_NEAR(g.nextUnipolar(), (282492056.0 / 2147483648.0 + 1.0) * 0.5, 1e-7);
}

TEST(RandSeedGenerator, DrawsStayInRangeAndAverageOut) {
    TRandSeed g(12345u);
    double sum = 0.0, sq = 0.0;
    const int count = 200000;
    for (int k = 0; k < count; ++k) {
        const float v = g.next();
        ASSERT_GE(v, -1.0f);
        ASSERT_LE(v, 1.0f);
        sum += v;
        sq += (double)v * v;
    }
    EXPECT_NEAR(sum / count, 0.0, 0.01);
    EXPECT_NEAR(sq / count, 1.0 / 3.0, 0.01);
    for (int k = 0; k < 10000; ++k) {
        const float u = g.nextUnipolar();
        ASSERT_GE(u, 0.0f);
        ASSERT_LE(u, 1.0f);
    }
}

TEST(EngineTables, NoiseTablesDrawFromTheSharedGeneratorInterleaved) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[0] = APlugin::TPinkNoise{};
    RandSeed.reset(777u);
    p.initSineNoiseTables();

    // Replay: per entry one white draw, then one pink sample of generator 0.
    p.pinkNoise[0] = APlugin::TPinkNoise{};
    RandSeed.reset(777u);
    for (int i = 0; i < APlugin::kNoiseTableSize; ++i) {
        const float r = RandSeed.next();
        ASSERT_EQ(p.whiteNoiseTable[i], 2.0f * (0.5f * (r + 1.0f)) - 1.0f) << i;
        ASSERT_EQ(p.pinkNoiseTable[i], p.doPinkNoise(0)) << i;
    }
    double sum = 0.0, sq = 0.0;
    for (float v : p.whiteNoiseTable) {
        ASSERT_GE(v, -1.0f);
        ASSERT_LE(v, 1.0f);
        sum += v;
        sq += (double)v * v;
    }
    EXPECT_NEAR(sum / APlugin::kNoiseTableSize, 0.0, 0.02);
    EXPECT_NEAR(sq / APlugin::kNoiseTableSize, 1.0 / 3.0, 0.02);
}

TEST(PinkNoise, EveryOtherCallRepeatsAndValuesStayBounded) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[3] = APlugin::TPinkNoise{};
    float prev = p.doPinkNoise(3);
    EXPECT_EQ(prev, -1.0f);  // nothing drawn yet
    double sum = 0.0;
    const int count = 1 << 18;
    for (int k = 1; k < count; ++k) {
        const float v = p.doPinkNoise(3);
        ASSERT_GE(v, -1.0f - 1e-5f) << k;
        ASSERT_LE(v, 1.0f + 1e-5f) << k;
        if (k % 2 == 0) {
            ASSERT_EQ(v, prev) << k;  // the first of each pair is unchanged
        }
        prev = v;
        if (k >= 1024) sum += v;
    }
    EXPECT_NEAR(sum / (count - 1024), 0.0, 0.05);
}

TEST(PinkNoise, CounterWrapsAndBadGeneratorGivesSilence) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[7] = APlugin::TPinkNoise{};
    for (int k = 0; k < 600; ++k) p.doPinkNoise(7);
    p.pinkNoise[7].counter = 0xFFFFFFF0u;
    for (int k = 0; k < 64; ++k) {
        const float v = p.doPinkNoise(7);
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_GE(v, -1.0f - 1e-5f);
        ASSERT_LE(v, 1.0f + 1e-5f);
    }
    EXPECT_EQ(p.pinkNoise[7].counter, 0x30u);

    const uint32_t before = RandSeed.state();
    EXPECT_EQ(p.doPinkNoise(-1), 0.0f);
    EXPECT_EQ(p.doPinkNoise(APlugin::kPinkGenerators), 0.0f);
    EXPECT_EQ(p.doPinkNoise(1 << 30), 0.0f);
    EXPECT_EQ(RandSeed.state(), before);
}

TEST(PinkNoise, SpectrumFallsAboutThreeDecibelsPerOctave) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[1] = APlugin::TPinkNoise{};
    for (int k = 0; k < 4096; ++k) p.doPinkNoise(1);  // past the start-up fill of the rows

    // Averaged power spectrum over 256 frames of 4096 samples (Hann window).
    const int n = 4096, frames = 256;
    std::vector<double> power(n / 2, 0.0);
    std::vector<float> re(n), out_re(n), out_im(n);
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(kTwoPiD * i / n);
            re[i] = (float)(p.doPinkNoise(1) * w);
        }
        ASSERT_TRUE(fft::fourierTransform(kTwoPiD, n, re.data(), nullptr, out_re.data(),
                                          out_im.data()));
        for (int k = 0; k < n / 2; ++k)
            power[k] += (double)out_re[k] * out_re[k] + (double)out_im[k] * out_im[k];
    }
    // Mean power per octave band from bin 4 to bin 512, and the least-squares slope.
    std::vector<double> octave, level;
    for (int lo = 4, o = 0; lo < 512; lo *= 2, ++o) {
        double s = 0.0;
        for (int k = lo; k < 2 * lo; ++k) s += power[k];
        octave.push_back(o);
        level.push_back(10.0 * std::log10(s / lo));
    }
    const double m = (double)octave.size();
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < octave.size(); ++i) {
        sx += octave[i];
        sy += level[i];
        sxx += octave[i] * octave[i];
        sxy += octave[i] * level[i];
    }
    const double slope = (m * sxy - sx * sy) / (m * sxx - sx * sx);
    EXPECT_LT(slope, -2.0);
    EXPECT_GT(slope, -4.0);
}

// ---------------------------------------------------------------------------------------
// Fourier transform
// ---------------------------------------------------------------------------------------

TEST(FourierTransform, BitHelpers) {
    EXPECT_EQ(fft::numberOfBitsNeeded(2), 1);
    EXPECT_EQ(fft::numberOfBitsNeeded(4096), 12);
    EXPECT_EQ(fft::numberOfBitsNeeded(0), 0);
    EXPECT_EQ(fft::numberOfBitsNeeded(-8), 0);
    EXPECT_EQ(fft::reverseBits(1, 12), 2048);
    EXPECT_EQ(fft::reverseBits(0b011, 3), 0b110);
    EXPECT_EQ(fft::reverseBits(0b1011, 4), 0b1101);
    EXPECT_EQ(APlugin::numberOfBitsNeeded(64), 6);
    EXPECT_EQ(APlugin::reverseBits(2047, 12), 4094);
}

TEST(FourierTransform, MatchesADirectTransformBothWays) {
    const int n = 64;
    std::vector<float> re(n), im(n), oRe(n), oIm(n);
    TRandSeed g(99u);
    for (int i = 0; i < n; ++i) {
        re[i] = g.next();
        im[i] = g.next();
    }
    for (double angle : {kTwoPiD, -kTwoPiD}) {
        ASSERT_TRUE(fft::fourierTransform(angle, n, re.data(), im.data(), oRe.data(), oIm.data()));
        for (int k = 0; k < n; ++k) {
            std::complex<double> acc = 0.0;
            for (int j = 0; j < n; ++j)
                acc += std::complex<double>(re[j], im[j]) * std::polar(1.0, angle * j * k / n);
            ASSERT_NEAR(oRe[k], acc.real(), 1e-4) << k;
            ASSERT_NEAR(oIm[k], acc.imag(), 1e-4) << k;
        }
    }
}

TEST(FourierTransform, RoundTripOnThePluginBuffers) {
    PluginHarness h;
    APlugin& p = h.plugin();
    const int n = 4096;
    TRandSeed g(4242u);
    std::vector<float> re(n), im(n);
    for (int i = 0; i < n; ++i) {
        re[i] = p.fftRealIn[i] = g.next();
        im[i] = p.fftImagIn[i] = g.next();
    }
    p.fft(n);
    for (int i = 0; i < n; ++i) {
        p.fftRealIn[i] = p.fftRealOut[i];
        p.fftImagIn[i] = p.fftImagOut[i];
    }
    p.ifft(n);
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(p.fftRealOut[i] / n, re[i], 1e-5) << i;
        ASSERT_NEAR(p.fftImagOut[i] / n, im[i], 1e-5) << i;
    }
}

TEST(FourierTransform, InvalidSizesWriteNothing) {
    std::vector<float> in(8192, 1.0f), oRe(8192, 5.0f), oIm(8192, 5.0f);
    for (int n : {0, 1, 3, 6, 100, 8192, -4}) {
        EXPECT_FALSE(fft::fourierTransform(kTwoPiD, n, in.data(), in.data(), oRe.data(),
                                           oIm.data()))
            << n;
        EXPECT_TRUE(std::all_of(oRe.begin(), oRe.end(), [](float v) { return v == 5.0f; }));
        EXPECT_TRUE(std::all_of(oIm.begin(), oIm.end(), [](float v) { return v == 5.0f; }));
    }
    PluginHarness h;
    h->fftRealOut[0] = 3.0f;
    h->fourierTransform(kTwoPiD, 5000);
    EXPECT_EQ(h->fftRealOut[0], 3.0f);
}
