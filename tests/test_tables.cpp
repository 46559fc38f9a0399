// Lookup tables, pink noise, the shared random generator and the Fourier transform: the
// properties a golden render hides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <set>
#include <thread>
#include <vector>

#include "dsp/FilterTables.h"
#include "engine/Fft.h"
#include "engine/RandSeed.h"
#include "support/PluginHarness.h"

namespace {

constexpr double kTwoPiD = 6.283185307179586476925;

// One engine-table build per test program: the object is large and building it costs a
// few tens of milliseconds.
APlugin& built() {
    static PluginHarness* h = [] {
        auto* made = new PluginHarness;  // kept until the process ends
        APlugin& p = made->plugin();
        p.initSineNoiseTables();
        p.initPhaseWarpTable();
        initFilterTables();
        p.initLFOWaves();
        p.initWaveTables();
        return made;
    }();
    return h->plugin();
}

// Magnitudes of harmonics 0 .. upTo of a real table, through a plain DFT in double.
std::vector<double> harmonicMagnitudes(const float* x, int n, int upTo) {
    std::vector<double> mag(upTo + 1);
    for (int h = 0; h <= upTo; ++h) {
        std::complex<double> acc = 0.0;
        for (int i = 0; i < n; ++i) acc += (double)x[i] * std::polar(1.0, -kTwoPiD * h * i / n);
        mag[h] = std::abs(acc) / (n / 2);
    }
    return mag;
}

}  // namespace

TEST(FilterTables, FiniteFilledOncePerProcessAndSaturatedIndex) {
    // Several threads ask at once: all return with complete tables.
    std::vector<std::thread> threads;
    std::vector<int> ready(4, 0);
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&ready, k] {
            initFilterTables();
            ready[k] = filterTablesReady() && FilterTmpqs[kFilterTableLast] > 22.0f;
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(ready, std::vector<int>(4, 1));
    const float* tables[] = {FilterSine, Filter2Sine, Filter2Cos, Filter12Lo2, Filter12Hi2,
                             FilterZTan, FilterMFF,   FilterMFQ,  FilterMFP,
                             FilterVoxC, FilterVoxD,  FilterTmpqs, FilterInvTmpq, FilterTanBP};
    for (const float* t : tables)
        for (int i = 0; i < kFilterTableSize; ++i) ASSERT_TRUE(std::isfinite(t[i])) << i;
    for (int i = 0; i < kFilterDampingSize; ++i) ASSERT_TRUE(std::isfinite(FilterZQ[i])) << i;
    // What a note start reads of the damping, tan and sine tables lies on one 2 MB page.
    const auto page = [](const float* t) { return reinterpret_cast<std::uintptr_t>(t) >> 21; };
    EXPECT_EQ(page(FilterZQ), page(FilterSine + kFilterTableSize / 2 - 1));
    // A later call (a second instance) does not fill again.
    const float saved = FilterMFP[12345];
    FilterMFP[12345] = -7.0f;
    initFilterTables();
    EXPECT_EQ(FilterMFP[12345], -7.0f);
    FilterMFP[12345] = saved;

    const std::pair<float, int> indices[] = {
        {0.0f, 0}, {-3.0f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), kFilterTableLast}, {1e30f, kFilterTableLast}, {0.5f, 131071},
        {(0.0f + 0.001f) / (2.0f * 44100.0f) + 1e-15f, 0}};  // a cutoff of 0 Hz
    for (const auto& [position, index] : indices) EXPECT_EQ(filterTableIndex(position), index) << position;
}

TEST(EngineTables, SineAndPhaseWarpRows) {
    APlugin& p = built();
    EXPECT_EQ(p.sinTable[0], 0.0f);
    EXPECT_EQ(p.cosTable[0], 1.0f);
    EXPECT_NEAR(p.sinTable[16384], 1.0f, 1e-6);
    EXPECT_NEAR(p.cosTable[32768], -1.0f, 1e-6);
    EXPECT_LT(p.sinTable[65535], 0.0f);  // the last entry is just short of the full turn
    EXPECT_GT(p.sinTable[65535], -2e-4f);
    // Each warp row runs from 0 to 4095 without falling and reaches the middle of the
    // cycle where the phase passes its bend point; the last row is the identity.
    for (int j = 0; j < APlugin::kWarpSize; ++j) ASSERT_EQ(p.phaseWarpTable[255][j], j);
    for (int k = 0; k < APlugin::kWarpRows; ++k) {
        const int32_t* row = p.phaseWarpTable[k];
        ASSERT_EQ(row[0], 0) << k;
        ASSERT_EQ(row[4095], 4095) << k;
        for (int j = 1; j < APlugin::kWarpSize; ++j) ASSERT_GE(row[j], row[j - 1]) << k << " " << j;
        if (k == 255) continue;
        const int firstHigh = (int)(std::lower_bound(row, row + APlugin::kWarpSize, 2047) - row);
        EXPECT_NEAR(firstHigh / 4095.0, 0.01 + 0.98 * k / 512.0, 1.0 / 4095.0 + 1e-6) << k;
    }
}

TEST(EngineTables, NoisePairsSumNeighboursAndRepeatTheStartPastTheEnd) {
    APlugin& p = built();
    const int n = APlugin::kNoiseTableSize;
    for (int i : {0, 1, n - 1}) {  // (the last sums with the first)
        EXPECT_EQ(p.noisePairTable[i][0], p.pinkNoiseTable[i] + p.pinkNoiseTable[(i + 1) % n]);
        EXPECT_EQ(p.noisePairTable[i][1], p.whiteNoiseTable[i] + p.whiteNoiseTable[(i + 1) % n]);
    }
    // Wire reads the entry two on from its first without a wrap.
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 2; ++k) EXPECT_EQ(p.noisePairTable[n + i][k], p.noisePairTable[i][k]);
}

TEST(EngineTables, LFOWavesFollowTheirShapes) {
    APlugin& p = built();
    const auto& w = p.lfoWave;
    // Sine, triangle, saw and square each start low or at zero, peak where they should, and
    // each is followed by its inverse.
    const std::pair<int, float> at[][3] = {{{0, 0.0f}, {16384, 1.0f}, {49152, -1.0f}},
                                           {{0, -1.0f}, {32768, 1.0f}, {49152, 0.0f}},
                                           {{0, -1.0f}, {32768, 0.0f}, {65535, 1.0f}},
                                           {{0, -1.0f}, {32767, -1.0f}, {32768, 1.0f}}};
    for (int shape = 0; shape < 4; ++shape) {
        for (const auto& [i, v] : at[shape]) EXPECT_NEAR(w[2 * shape][i], v, 1e-4) << shape << " " << i;
        for (int i = 0; i < APlugin::kLFOWaveSize; i += 61) ASSERT_EQ(w[2 * shape + 1][i], -w[2 * shape][i]) << i;
    }
    // Sample and hold: a new value only at multiples of 512, each within -1..1, and the
    // 128 held values are not all the same.
    std::set<float> held;
    for (int i = 0; i < APlugin::kLFOWaveSize; ++i) {
        ASSERT_LE(std::fabs(w[8][i]), 1.0f);
        if (i % 512 == 0) held.insert(w[8][i]);
        ASSERT_TRUE(i % 512 == 0 || w[8][i] == w[8][i - 1]) << i;
    }
    EXPECT_GT(held.size(), 64u);
}

TEST(EngineTables, EveryBandHasTheLevelOfItsIdealWaveAndLinesUpWithIt) {
    APlugin& p = built();
    const int n = APlugin::kOscWaveSize;
    auto sumAbs = [](const float* x) {
        double s = 0.0;
        for (int i = 0; i < APlugin::kOscWaveSize; ++i) s += std::fabs(x[i]);
        return s;
    };
    for (int shape = 0; shape < APlugin::kOscShapes; ++shape)
        for (int band = 1; band < APlugin::kOscBands; ++band)
            EXPECT_NEAR(sumAbs(p.oscWave[shape][band]), sumAbs(p.oscWave[shape][0]), sumAbs(p.oscWave[shape][0]) * 1e-4)
                << shape << " " << band;
    // Removing harmonics must not shift the wave. The sine stays a sine in every band; the
    // jumps of the saw and the square stay half-way between two entries as in band 0: each
    // band is odd-symmetric about the point between the last and the first entry.
    for (int band = 1; band < APlugin::kOscBands; ++band) {
        for (int i = 0; i < n; i += 7) ASSERT_NEAR(p.oscWave[0][band][i], p.oscWave[0][0][i], 1e-3) << band << " " << i;
        for (int shape = 1; shape <= 2; ++shape) {
            const float* x = p.oscWave[shape][band];
            EXPECT_LT(x[0], 0.0f) << shape << " " << band;
            for (int k = 0; k < n; k += 5) ASSERT_NEAR(x[k], -x[n - 1 - k], 1e-3) << shape << " " << band << " " << k;
        }
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
        EXPECT_TRUE(shape == 3 || ideal[9] > 0.05 * ideal[1]);
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
        EXPECT_LT(440.0 * std::pow(2.0, (topNote - 69) / 12.0) * highest, 44100.0) << "band " << band;
    }
}

TEST(RandSeedGenerator, SequenceFromSeedOneAndEvenWhiteNoise) {
    TRandSeed g;  // a private generator: the shared one may have been advanced
    EXPECT_EQ(g.nextRaw(), 16807);
    EXPECT_EQ(g.nextRaw(), 282492056);
    g.reset();
    EXPECT_EQ(g.next(), 16807.0f * 4.656613e-10f);
    EXPECT_NEAR(g.nextUnipolar(), (282492056.0 / 2147483648.0 + 1.0) * 0.5, 1e-7);
    double sum = 0.0, sq = 0.0;  // the white noise table is even in -1..1
    const std::vector<float> white(built().whiteNoiseTable, built().whiteNoiseTable + APlugin::kNoiseTableSize);
    for (float v : white) {
        ASSERT_LE(std::fabs(v), 1.0f);
        sum += v;
        sq += (double)v * v;
    }
    EXPECT_NEAR(sum / white.size(), 0.0, 0.02);
    EXPECT_NEAR(sq / white.size(), 1.0 / 3.0, 0.02);
}

TEST(PinkNoise, PairsRepeatValuesStayBoundedCounterWrapsAndBadGeneratorIsSilent) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[3] = APlugin::TPinkNoise{};
    float prev = p.doPinkNoise(3);
    EXPECT_EQ(prev, -1.0f);  // nothing drawn yet
    double sum = 0.0;
    const int count = 1 << 18;
    for (int k = 1; k < count; ++k) {
        const float v = p.doPinkNoise(3);
        ASSERT_LE(std::fabs(v), 1.0f + 1e-5f) << k;
        ASSERT_TRUE(k % 2 == 1 || v == prev) << k;  // the first of each pair is unchanged
        prev = v;
        if (k >= 1024) sum += v;
    }
    EXPECT_NEAR(sum / (count - 1024), 0.0, 0.05);

    p.pinkNoise[3].counter = 0xFFFFFFF0u;
    for (int k = 0; k < 64; ++k) ASSERT_LE(std::fabs(p.doPinkNoise(3)), 1.0f + 1e-5f);
    EXPECT_EQ(p.pinkNoise[3].counter, 0x30u);
    const uint32_t before = RandSeed.state();
    for (int bad : {-1, APlugin::kPinkGenerators, 1 << 30}) EXPECT_EQ(p.doPinkNoise(bad), 0.0f);
    EXPECT_EQ(RandSeed.state(), before);
}

TEST(PinkNoise, SpectrumFallsAboutThreeDecibelsPerOctave) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.pinkNoise[1] = APlugin::TPinkNoise{};
    for (int k = 0; k < 4096; ++k) p.doPinkNoise(1);  // past the start-up fill of the rows
    // Averaged power spectrum over 256 frames of 4096 samples (Hann window).
    const int n = 4096;
    std::vector<double> power(n / 2, 0.0);
    std::vector<float> re(n), outRe(n), outIm(n);
    for (int f = 0; f < 256; ++f) {
        for (int i = 0; i < n; ++i) re[i] = (float)(p.doPinkNoise(1) * (0.5 - 0.5 * std::cos(kTwoPiD * i / n)));
        ASSERT_TRUE(fft::fourierTransform(kTwoPiD, n, re.data(), nullptr, outRe.data(), outIm.data()));
        for (int k = 0; k < n / 2; ++k) power[k] += (double)outRe[k] * outRe[k] + (double)outIm[k] * outIm[k];
    }
    // Mean power per octave band from bin 4 to bin 512, and the least-squares slope.
    double m = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int lo = 4, o = 0; lo < 512; lo *= 2, ++o, ++m) {
        double s = 0.0;
        for (int k = lo; k < 2 * lo; ++k) s += power[k];
        const double level = 10.0 * std::log10(s / lo);
        sx += o;
        sy += level;
        sxx += o * o;
        sxy += o * level;
    }
    const double slope = (m * sxy - sx * sy) / (m * sxx - sx * sx);
    EXPECT_LT(slope, -2.0);
    EXPECT_GT(slope, -4.0);
}

TEST(FourierTransform, MatchesADirectTransformBothWays) {
    const int n = 64;
    std::vector<float> re(n), im(n), oRe(n), oIm(n);
    TRandSeed g(99u);
    for (int i = 0; i < n; ++i) re[i] = g.next(), im[i] = g.next();
    for (double angle : {kTwoPiD, -kTwoPiD}) {
        ASSERT_TRUE(fft::fourierTransform(angle, n, re.data(), im.data(), oRe.data(), oIm.data()));
        for (int k = 0; k < n; ++k) {
            std::complex<double> acc = 0.0;
            for (int j = 0; j < n; ++j) acc += std::complex<double>(re[j], im[j]) * std::polar(1.0, angle * j * k / n);
            ASSERT_NEAR(oRe[k], acc.real(), 1e-4) << k;
            ASSERT_NEAR(oIm[k], acc.imag(), 1e-4) << k;
        }
    }
}

TEST(FourierTransform, InvalidSizesWriteNothing) {
    std::vector<float> in(8192, 1.0f), oRe(8192, 5.0f), oIm(8192, 5.0f);
    for (int n : {0, 1, 3, 6, 100, 8192, -4})
        EXPECT_FALSE(fft::fourierTransform(kTwoPiD, n, in.data(), in.data(), oRe.data(), oIm.data())) << n;
    EXPECT_TRUE(std::all_of(oRe.begin(), oRe.end(), [](float v) { return v == 5.0f; }));
    EXPECT_TRUE(std::all_of(oIm.begin(), oIm.end(), [](float v) { return v == 5.0f; }));
    PluginHarness h;
    h->fftRealOut[0] = 3.0f;
    h->fourierTransform(kTwoPiD, 5000);
    EXPECT_EQ(h->fftRealOut[0], 3.0f);
}
