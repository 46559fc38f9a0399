#include "dsp/TParaEQ.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float kDenormal = 1e-15f;
// Three-slot history: slots of x[n], x[n-1], x[n-2] for history index t, and the next t.
constexpr int kNF0[3] = {2, 1, 0};
constexpr int kNF1[3] = {0, 2, 1};
constexpr int kNF2[3] = {1, 0, 2};
constexpr int kNext[3] = {1, 2, 0};

}  // namespace

void TParaEQ::init(float newRate) {
    rate = newRate < 1000.0f ? 44100.0f : newRate;
    hist = 0;
    std::memset(bands, 0, sizeof(bands));
    // No value has been seen yet: the first setFXParameters computes both bands.
    for (Band& b : bands) {
        b.lastFreq = -1.0f;
        b.lastGain = -1.0f;
    }
}

void TParaEQ::reset(int band) {
    if (band < 0 || band >= kBands) return;
    std::memset(bands[band].x, 0, sizeof(bands[band].x));
    std::memset(bands[band].y, 0, sizeof(bands[band].y));
}

void TParaEQ::computeBand(Band& band, float freq, float gain) {
    if (freq == band.lastFreq && gain == band.lastGain) return;
    band.lastFreq = freq;
    band.lastGain = gain;
    const float w = 6.283185f * freq / (2.0f * rate);
    const float s = std::sin(w);
    const float c = std::cos(w);
    float g = gain;
    if (!(g >= 0.0f)) g = 0.0f;  // NaN acts as the low end
    if (g > 1.0f) g = 1.0f;
    const float db = g * 40.0f - 20.0f;
    const float A = std::pow(10.0f, db / 40.0f);
    // Peaking biquad with alpha = sin(w): a fixed Q of 0.5.
    const float a0 = 1.0f + s / A;
    band.b0 = (1.0f + s * A) / a0 + kDenormal;
    band.b1 = -2.0f * c / a0 + kDenormal;
    band.a1 = band.b1;
    band.b2 = (1.0f - s * A) / a0 + kDenormal;
    band.a2 = (1.0f - s / A) / a0 + kDenormal;
}

void TParaEQ::setFXParameters(float freq1, float gain1, float freq2, float gain2) {
    computeBand(bands[0], freq1, gain1);
    computeBand(bands[1], freq2, gain2);
}

void TParaEQ::processFX(stereoOverStruct in, stereoOverStruct& out) {
    for (int k = 0; k < 2; ++k) {
        float lane[kLanes] = {0.1f * in.sub[k].left + kDenormal, 0.1f * in.sub[k].right + kDenormal};
        hist = kNext[hist];
        const int s0 = kNF0[hist], s1 = kNF1[hist], s2 = kNF2[hist];
        for (Band& b : bands) {
            for (int c = 0; c < kLanes; ++c) {
                float* x = b.x[c];
                float* y = b.y[c];
                x[s0] = lane[c];
                const float v = b.b0 * x[s0] + b.b1 * x[s1] + b.b2 * x[s2] - b.a1 * y[s1] - b.a2 * y[s2];
                y[s0] = v;
                lane[c] = v;
            }
        }
        out.sub[k].left = 10.0f * lane[0] + kDenormal;
        out.sub[k].right = 10.0f * lane[1] + kDenormal;
    }
}
