// Measuring helpers for the filter tests: sines and noise through a filter at twice the host
// rate, as the voice path runs them, and gain / level readings of the output.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "dsp/FilterTables.h"
#include "dsp/StereoTypes.h"
#include "dsp/TFilter.h"
#include "dsp/TLayerFilters.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace filtertest {

constexpr double kPi = 3.14159265358979323846;

// The multimode voice filter in one mode at one rate.
inline std::unique_ptr<TFilter> makeFilter(int mode, float rate = 44100.0f) {
    auto f = std::make_unique<TFilter>();
    f->init(rate);
    f->setType(mode, true);
    return f;
}

inline bool sameBits(const stereoOverStruct& a, const stereoOverStruct& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The normalised cutoff value that maps to f Hz (20 x 2^(10 v)).
inline float cutoffFor(double hz) { return (float)(std::log2(hz / 20.0) / 10.0); }

inline double dB(double gain) { return 20.0 * std::log10(gain); }

// Turns off flush-to-zero and denormals-are-zero, so that a subnormal state shows.
inline void exactDenormals() {
#if defined(__SSE__)
    _mm_setcsr(_mm_getcsr() & ~0x8040u);
#endif
}

// One host sample of a stereo sine pair at f Hz (host rate fs), sample index n.
inline stereoOverStruct sineRecord(double f, double fs, long n, double ampL = 1.0,
                                   double ampR = 1.0) {
    stereoOverStruct r;
    for (int s = 0; s < 2; ++s) {
        const double ph = 2.0 * kPi * f * (2.0 * (double)n + s) / (2.0 * fs);
        r.sub[s].left = (float)(ampL * std::sin(ph));
        r.sub[s].right = (float)(ampR * std::sin(ph));
    }
    return r;
}

// Runs `steps` host samples of a sine through `run` (which filters one record into
// another) and returns the RMS gain of the left and right outputs over the last `measure`
// host samples.
struct Gain {
    double left = 0, right = 0;
};

inline Gain sineGain(const std::function<void(const stereoOverStruct&, stereoOverStruct&)>& run,
                     double f, double fs, long steps, long measure) {
    double inL = 0, inR = 0, outL = 0, outR = 0;
    for (long n = 0; n < steps; ++n) {
        const stereoOverStruct in = sineRecord(f, fs, n);
        stereoOverStruct out{};
        run(in, out);
        if (n >= steps - measure) {
            for (int s = 0; s < 2; ++s) {
                inL += (double)in.sub[s].left * in.sub[s].left;
                inR += (double)in.sub[s].right * in.sub[s].right;
                outL += (double)out.sub[s].left * out.sub[s].left;
                outR += (double)out.sub[s].right * out.sub[s].right;
            }
        }
    }
    return {std::sqrt(outL / inL), std::sqrt(outR / inR)};
}

// The gain of a TFilter voice entry point in `mode` at cutoff fc, for a sine at f.
struct VoiceSetup {
    int mode = 3;
    double fs = 44100;
    double fc = 1000;
    float resonance = 0;
    float morph = 0;
    float separation = 1;
    float trackAmount = 0;
    float trackKey = 0;
    int copies = 1;
};

inline Gain voiceGain(const VoiceSetup& s, double f) {
    auto flt = std::make_unique<TFilter>();
    flt->init((float)s.fs);
    flt->setType(s.mode, true);
    flt->setTrack(s.trackAmount, s.trackKey);
    const float v = cutoffFor(s.fc);
    // Long enough for the lowest test tones and the slowest resonances to settle.
    const long steps = (long)(s.fs * 0.35), measure = (long)(s.fs * 0.15);
    std::vector<stereoOverStruct> in(s.copies), out(s.copies);
    return sineGain(
        [&](const stereoOverStruct& x, stereoOverStruct& y) {
            for (auto& r : in) r = x;
            flt->process({v, v}, {0, 0}, s.separation, s.resonance, s.morph, s.copies, in.data(),
                         out.data());
            y = out[0];
        },
        f, s.fs, steps, measure);
}

// The amplitude of frequency f in a sequence sampled at rate sr (single-bin DFT).
inline double toneAmplitude(const std::vector<double>& x, double f, double sr) {
    double re = 0, im = 0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double ph = 2.0 * kPi * f * (double)n / sr;
        re += x[n] * std::cos(ph);
        im += x[n] * std::sin(ph);
    }
    return 2.0 * std::sqrt(re * re + im * im) / (double)x.size();
}

// Deterministic full-scale white noise in [-1, 1].
struct Noise {
    uint32_t state = 22222;
    float next() {
        state = state * 1664525u + 1013904223u;
        return (float)((double)(state >> 8) / 8388608.0 - 1.0);
    }
    stereoOverStruct record(float amp = 1.0f) {
        stereoOverStruct r;
        for (int s = 0; s < 2; ++s) r.sub[s] = {amp * next(), amp * next()};
        return r;
    }
};

// True when every float in [begin, end) is zero or of normal magnitude.
inline bool noSubnormals(const float* begin, const float* end) {
    for (const float* p = begin; p < end; ++p)
        if (std::fpclassify(*p) == FP_SUBNORMAL) return false;
    return true;
}

}  // namespace filtertest
