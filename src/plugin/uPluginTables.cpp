// The engine's lookup tables: sine and cosine, white and pink noise, the phase-warp maps,
// the LFO waves and the band-limited oscillator wavetables. Built once per instance at
// start-up so that the audio thread only reads them by index.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"

namespace {

// Single precision throughout, with pi rounded down to the float just below it, the same
// constant the filter tables use.
constexpr float kPi = 3.14159250f;
constexpr float kTwoPi = 6.28318501f;
static_assert(kTwoPi == 2.0f * kPi, "2 pi is exactly twice the single-precision pi");

// ---------------------------------------------------------------------------------------
// Harmonic amplitudes and phases of the four oscillator shapes (sine, rising saw, square,
// triangle), entry h for harmonic h, entry 0 unused. Amplitudes are relative to the
// fundamental; phases are in cycles, harmonic h being A cos(2 pi (P - 0.5) - 2 pi h t)
// after the inverse transform. Values are rounded to five decimals.
//
// Band 0 of each shape is the wave sampled directly at t = i / 4096, whose jumps fall
// between two entries. The saw and square phases therefore run half a table step ahead
// (0.5 / 4096 cycles per harmonic), which puts the band-limited jumps at the same place;
// the triangle and sine need no such shift.
// ---------------------------------------------------------------------------------------

constexpr int kHarmonics = 2048;

struct THarmonicTable {
    float v[APlugin::kOscShapes][kHarmonics];
};

constexpr double roundTo5(double x) {
    return x >= 0.0 ? (double)(long long)(x * 100000.0 + 0.5) / 100000.0
                    : -(double)(long long)(-x * 100000.0 + 0.5) / 100000.0;
}

constexpr THarmonicTable makeAmplitudes() {
    THarmonicTable t{};
    t.v[0][1] = 1.0f;
    for (int h = 1; h < kHarmonics; ++h) {
        const bool odd = (h & 1) != 0;
        t.v[1][h] = (float)roundTo5(1.0 / h);
        t.v[2][h] = odd ? (float)roundTo5(1.0 / h) : 0.0f;
        t.v[3][h] = odd ? (float)roundTo5(1.0 / ((double)h * h)) : 0.0f;
    }
    return t;
}

constexpr THarmonicTable makePhases() {
    THarmonicTable t{};
    t.v[0][1] = 0.75f;
    for (int h = 1; h < kHarmonics; ++h) {
        const bool odd = (h & 1) != 0;
        const float ahead = (float)roundTo5(0.25 - 0.5 * h / (double)APlugin::kOscWaveSize);
        t.v[1][h] = ahead;
        t.v[2][h] = odd ? ahead : 0.5f;
        t.v[3][h] = odd ? 0.0f : 0.5f;
    }
    return t;
}

constexpr THarmonicTable kAmplitudes = makeAmplitudes();
constexpr THarmonicTable kPhases = makePhases();
constexpr const float (&ADDA_WAVE)[APlugin::kOscShapes][kHarmonics] = kAmplitudes.v;
constexpr const float (&ADDP_WAVE)[APlugin::kOscShapes][kHarmonics] = kPhases.v;

// Highest harmonic kept per band: band 0 is the ideal wave; the bands after it are about
// a sixth of an octave apart (two semitones per band in noteBand), each keeping what
// stays below the Nyquist frequency of the oversampled voice path for its top note.
constexpr int kBandLimit[APlugin::kOscBands] = {
    2047, 149, 133, 118, 105, 94, 83, 74, 66, 59, 52, 47, 41, 37, 33, 29, 26,
    23,   20,  18,  16,  14,  13, 11, 10, 9,  8,  7,  6,  5,  5,  4,  4,  3};

// Sample and hold: a value in -1..1 from the platform's rand.
float randomBipolar() { return 2.0f * (float)(std::rand() & 0x7FFF) / 32767.0f - 1.0f; }

// A float table position saturated to 0..last before its conversion to an index.
int32_t saturatedIndex(float v, int last) {
    if (!(v > 0.0f)) return 0;
    if (v >= (float)last) return last;
    return (int32_t)v;
}

}  // namespace

// Sine, cosine, white and pink noise in one pass: per entry one white draw and then one
// pink sample, so the shared generator advances the same way on every start.
void APlugin::initSineNoiseTables() {
    const float period = 65535.98828125f;  // slightly below 65536
    for (int i = 0; i < kSinTableSize; ++i) {
        const float a = kTwoPi * (float)i / period;
        sinTable[i] = std::sin(a);
        cosTable[i] = std::cos(a);
        const float r = RandSeed.next();
        whiteNoiseTable[i] = 2.0f * (0.5f * (r + 1.0f)) - 1.0f;
        pinkNoiseTable[i] = doPinkNoise(0);
    }
    for (int i = 0; i < kNoiseTableSize; ++i) {
        const int j = (i + 1) & (kNoiseTableSize - 1);
        noisePairTable[i][0] = pinkNoiseTable[i] + pinkNoiseTable[j];
        noisePairTable[i][1] = whiteNoiseTable[i] + whiteNoiseTable[j];
    }
    // The entries past the end repeat the start, so that a read of entry i + 2 needs no wrap.
    constexpr int kPairs = (int)(sizeof noisePairTable / sizeof noisePairTable[0]);
    for (int i = kNoiseTableSize; i < kPairs; ++i)
        for (int k = 0; k < 2; ++k) noisePairTable[i][k] = noisePairTable[i - kNoiseTableSize][k];
}

// Row k bends the phase at s = 0.01 + 0.98 k / 512: the part of the cycle before s maps
// onto the first half of the table, the rest onto the second half.
void APlugin::initPhaseWarpTable() {
    const int last = kWarpSize - 1;
    for (int k = 0; k < kWarpRows; ++k) {
        const float s = 0.01f + 0.98f * (float)k / (float)kWarpRows;
        int32_t* row = phaseWarpTable[k];
        for (int j = 0; j < kWarpSize; ++j) {
            const float u = (float)j / (float)last;
            float v;
            if (u < s)
                v = (float)last * 0.5f * u / s;
            else
                v = (float)last * ((u - s) * 0.5f / (1.0f - s) + 0.5f);
            row[j] = saturatedIndex(v, last);
        }
    }
    // The middle row is exactly the identity.
    for (int j = 0; j < kWarpSize; ++j) phaseWarpTable[255][j] = j;
}

void APlugin::initLFOWaves() {
    const float step = 1.0f / (float)kLFOWaveSize;  // exact
    float held = 0.0f;
    for (int i = 0; i < kLFOWaveSize; ++i) {
        const float t = (float)i * step;
        const float sine = std::sin(kTwoPi * t);
        const float triangle = 1.0f - std::fabs(2.0f - 4.0f * t);
        const float square = t < 0.5f ? -1.0f : 1.0f;
        lfoWave[0][i] = sine;
        lfoWave[1][i] = -sine;
        lfoWave[2][i] = triangle;
        lfoWave[3][i] = -triangle;
        lfoWave[4][i] = 2.0f * t - 1.0f;
        lfoWave[5][i] = 1.0f - 2.0f * t;
        lfoWave[6][i] = square;
        lfoWave[7][i] = -square;
        if ((i & 511) == 0) held = randomBipolar();
        lfoWave[8][i] = held;
    }
}

void APlugin::initWaveTables() {
    // Band per note: the ideal wave up to note 59, then one band per two semitones.
    for (int n = 0; n < 128; ++n) {
        if (n < 60)
            noteBand[n] = 0;
        else if (n <= 125)
            noteBand[n] = (n - 60) / 2 + 1;
        else
            noteBand[n] = kOscBands - 1;
    }

    // Band 0: the waves sampled directly. Each shape's sum of absolute values is the
    // level every band-limited band of it is scaled to.
    double target[kOscShapes] = {};
    const float tStep = 0.00024414124f;
    for (int i = 0; i < kOscWaveSize; ++i) {
        const float t = (float)i * tStep;
        oscWave[0][0][i] = std::sin(kTwoPi * t);
        oscWave[1][0][i] = 2.0f * t - 1.0f;
        oscWave[2][0][i] = t < 0.5f ? -1.0f : 1.0f;
        oscWave[3][0][i] = 1.0f - std::fabs(2.0f - 4.0f * t);
        for (int shape = 0; shape < kOscShapes; ++shape)
            target[shape] += std::fabs(oscWave[shape][0][i]);
    }
    std::memcpy(sinTable4096, oscWave[0][0], sizeof(sinTable4096));

    // Bands 1..33: the kept harmonics through the inverse transform.
    for (int shape = 0; shape < kOscShapes; ++shape) {
        for (int band = 1; band < kOscBands; ++band) {
            std::memset(fftRealIn, 0, sizeof(fftRealIn));
            std::memset(fftImagIn, 0, sizeof(fftImagIn));
            float largest = 0.0f;
            for (int h = 1; h <= kBandLimit[band]; ++h) {
                const float a = ADDA_WAVE[shape][h];
                const float angle = kTwoPi * (ADDP_WAVE[shape][h] - 0.5f);
                fftRealIn[h] = a * std::cos(angle);
                fftImagIn[h] = a * std::sin(angle);
                largest = std::max(largest, a);
            }
            if (largest < 0.0001f) largest = 0.0f;
            ifft(kOscWaveSize);

            double sum = 0.0;
            for (int i = 0; i < kOscWaveSize; ++i) sum += std::fabs(fftRealOut[i]);
            // A band with nothing in it stays silent instead of dividing by zero.
            const float scale = sum > 1e-20 ? (float)(largest * target[shape] / sum) : 0.0f;
            float* out = oscWave[shape][band];
            for (int i = 0; i < kOscWaveSize; ++i) out[i] = fftRealOut[i] * scale;
        }
    }
}
