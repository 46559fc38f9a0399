// Shared helpers of the effect tests: an in-process plug-in whose effect section a test
// drives one host sample at a time, the way the render loop drives it (layer outputs in,
// distortion stage, chain or Bypass All, output sum out), and a few measurements.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/PluginHarness.h"

namespace fxtest {

inline constexpr double kPi = 3.14159265358979323846;

inline float steppedValue(int index, float range) { return ((float)index + 0.1f) / range; }

// An in-process plug-in whose effect section a test drives sample by sample.
class Rig {
public:
    explicit Rig(float rate = 44100.0f) : h_(std::make_unique<PluginHarness>()) {
        APlugin& q = p();
        q.setSampleRate(rate);
        for (int tag = 104; tag <= 125; ++tag) q.paramValue[tag] = 0.0f;
        for (int tag = 344; tag <= 354; ++tag) q.paramValue[tag] = 0.0f;
        for (int d = 313; d <= 365; ++d) q.modDestGlobal[d] = 0.0f;
        q.distortOn = q.modFXOn = q.delayOn = q.reverbOn = q.bypassAllFX = 0;
        q.distortMode = 0;
        q.modFXMode = 0;
        for (int l = 0; l < kNumLayers; ++l) q.layerDest[l] = kLayerDestOutput;
        q.tempo = 120.0f;
        q.blockCounter = 0;
        q.sampleCounter = 0;
    }
    APlugin& p() { return h_->plugin(); }
    void set(int tag, float v) { p().paramValue[tag] = v; }
    void route(int layer, LayerDest dest) { p().layerDest[layer] = dest; }
    // After the settings: the state the render loop would start from.
    void init() { p().initFX(); }

    // One host sample: each layer's value held over both sub-samples.
    stereoStruct step(stereoStruct l0, stereoStruct l1 = {0, 0}, stereoStruct l2 = {0, 0}) {
        APlugin& q = p();
        const stereoStruct in[3] = {l0, l1, l2};
        for (int l = 0; l < 3; ++l) q.layerOut[l] = stereoOverStruct{{in[l], in[l]}};
        q.outSample = stereoStruct{0.0f, 0.0f};
        q.mixEffectsToOutput();
        ++q.sampleCounter;
        ++q.blockCounter;
        return q.outSample;
    }
    // n samples of one mono signal on layer 0; returns the left (right in lastRight).
    std::vector<float> run(const std::vector<float>& x) {
        std::vector<float> out(x.size());
        lastRight.resize(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) {
            const stereoStruct o = step({x[i], x[i]});
            out[i] = o.left;
            lastRight[i] = o.right;
        }
        return out;
    }
    std::vector<float> lastRight;

private:
    std::unique_ptr<PluginHarness> h_;
};

inline std::vector<float> sine(int n, double freq, double amp, double rate = 44100.0) {
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) v[i] = (float)(amp * std::sin(2.0 * kPi * freq * i / rate));
    return v;
}

// Deterministic white noise in [-amp, amp].
inline std::vector<float> noise(int n, uint32_t seed, float amp) {
    std::vector<float> v((std::size_t)n);
    for (float& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = amp * (float)((int32_t)seed) * 4.656613e-10f;
    }
    return v;
}

inline bool allFinite(const std::vector<float>& x) {
    for (float v : x)
        if (!std::isfinite(v)) return false;
    return true;
}

inline std::vector<float> impulse(int n) {
    std::vector<float> v(n, 0.0f);
    v[0] = 1.0f;
    return v;
}

inline double rms(const std::vector<float>& x, std::size_t from, std::size_t to) {
    double s = 0.0;
    for (std::size_t i = from; i < to; ++i) s += (double)x[i] * x[i];
    return std::sqrt(s / (double)(to - from));
}

inline double peakAbs(const std::vector<float>& x, std::size_t from, std::size_t to) {
    double m = 0.0;
    for (std::size_t i = from; i < to; ++i) m = std::fmax(m, std::fabs(x[i]));
    return m;
}

inline std::size_t argMaxAbs(const std::vector<float>& x, std::size_t from, std::size_t to) {
    std::size_t best = from;
    for (std::size_t i = from; i < to; ++i)
        if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
    return best;
}

// Mean frequency over a window by upward zero crossings.
inline double frequencyAt(const std::vector<float>& x, std::size_t from, std::size_t n, double rate) {
    double first = -1.0, last = -1.0;
    int count = 0;
    for (std::size_t i = from + 1; i < from + n && i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = (double)(i - 1) + (double)(-x[i - 1]) / (double)(x[i] - x[i - 1]);
            if (first < 0.0) first = t; else ++count;
            last = t;
        }
    }
    return count > 0 ? rate * count / (last - first) : 0.0;
}

// Residual of y against the best scaled copy of x, relative to y's level: 0 when y is
// only a gain change of x.
inline double changeOf(const std::vector<float>& x, const std::vector<float>& y, std::size_t from) {
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        xy += (double)x[i] * y[i];
        xx += (double)x[i] * x[i];
        yy += (double)y[i] * y[i];
    }
    const double g = xx > 0.0 ? xy / xx : 0.0;
    double e = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        const double r = (double)y[i] - g * x[i];
        e += r * r;
    }
    return yy > 0.0 ? std::sqrt(e / yy) : 0.0;
}


}  // namespace fxtest
