// Shared helpers of the modulation tests: slot settings as parameter values, a dry patch
// whose only sound is layer 1, and a pitch track of a rendered tone with the rate of its
// vibrato.
#pragma once

#include "test_engine_util.h"

namespace modtest {

using enginetest::Params;
using enginetest::stepped;
using enginetest::with;

constexpr double kRate = 48000.0;

// Sources and destinations used by the tests.
constexpr int kSrcModWheel = 1;
constexpr int kSrcVelocity = 17;
constexpr int kSrcLFO1 = 98;
constexpr int kSrcLFO2 = 100;
constexpr int kSrcLFO12 = 102;
constexpr int kSrcRibbon = 111;
constexpr int kSrcOffset = 130;
constexpr int kDestVolume = 1;
constexpr int kDestLayer1Semi = 38;
constexpr int kDestLayer1Cutoff = 44;

inline float srcValue(int src) { return stepped(src, 199.99f); }
inline float destValue(int dest) { return stepped(dest, 499.99f); }
inline float lfoWaveValue(int wave) { return stepped(wave, 8.99f); }
inline float lfoModeValue(int mode) { return stepped(mode, 3.99f); }
inline float syncedSpeed(int index) { return stepped(index, 33.99f); }
inline float springTimeValue(int index) { return stepped(index, 17.99f); }
inline float quantValue(int index) { return stepped(index, 12.99f); }

// One slot: source, destination, amount (0.5 adds nothing, 1.0 is a full +1), bypass.
inline Params slot(int i, int src, int dest, float amount, bool bypass = false) {
    return {{MOD_BY_TAGS[i], bypass ? 1.0f : 0.0f},
            {MOD_SRC_TAGS[i], srcValue(src)},
            {MOD_DEST_TAGS[i], destValue(dest)},
            {MOD_AMT_TAGS[i], amount}};
}

// Every slot empty: no source, no destination, amount 0.5.
inline Params noSlots() {
    Params p;
    for (int i = 0; i < 8; ++i) {
        const Params s = slot(i, 0, 0, 0.5f);
        p.insert(p.end(), s.begin(), s.end());
    }
    return p;
}

// Layer 1 alone as a sine (or another Wave shape), no velocity response, every effect
// bypassed, the ribbon at rest without spring, no slots.
inline Params dryPatch(int shape = 0) {
    Params p = with(enginetest::plainWave(shape), noSlots());
    return with(p, {{345, 1.0f}, {2, 0.0f}, {666, springTimeValue(0)}, {665, 0.0f}, {126, 0.0f}});
}

// An amount giving the pitch destination a swing of `semitones` for a source of +-1.
inline float pitchAmount(double semitones) { return (float)(0.5 + semitones / 72.0); }

// The free LFO speed value for a rate in Hz: 2^(14 v) x 1.71875 / 256 Hz.
inline float freeSpeed(double hz) { return (float)(std::log2(hz * 256.0 / 1.71875) / 14.0); }

// Instantaneous frequency between successive upward zero crossings.
struct PitchTrack {
    std::vector<double> time;  // seconds, at the middle of each period
    std::vector<double> freq;  // Hz
};

inline PitchTrack pitchTrack(const std::vector<float>& x, size_t start, size_t n, double rate) {
    PitchTrack out;
    double last = -1.0;
    for (size_t i = start + 1; i < start + n && i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = (double)(i - 1) + (double)(-x[i - 1]) / (double)(x[i] - x[i - 1]);
            if (last >= 0.0) {
                out.time.push_back(0.5 * (t + last) / rate);
                out.freq.push_back(rate / (t - last));
            }
            last = t;
        }
    }
    return out;
}

// The magnitude of the track's swing at frequency nu (Hann-weighted, mean removed).
inline double trackMagnitude(const PitchTrack& p, double nu) {
    if (p.freq.size() < 4) return 0.0;
    double mean = 0.0;
    for (double f : p.freq) mean += f;
    mean /= (double)p.freq.size();
    const double t0 = p.time.front(), span = p.time.back() - t0;
    std::complex<double> acc = 0.0;
    for (size_t i = 0; i < p.freq.size(); ++i) {
        const double u = (p.time[i] - t0) / span;
        const double w = 0.5 - 0.5 * std::cos(2.0 * enginetest::kPi * u);
        const double ph = 2.0 * enginetest::kPi * nu * p.time[i];
        acc += w * (p.freq[i] - mean) * std::complex<double>(std::cos(ph), -std::sin(ph));
    }
    return std::abs(acc);
}

// The strongest vibrato rate between lo and hi Hz: a coarse scan, then a fine one.
inline double vibratoRate(const PitchTrack& p, double lo, double hi) {
    double best = lo, bestMag = -1.0;
    for (double nu = lo; nu <= hi; nu += 0.02) {
        const double m = trackMagnitude(p, nu);
        if (m > bestMag) bestMag = m, best = nu;
    }
    const double a = best - 0.03, b = best + 0.03;
    for (double nu = a; nu <= b; nu += 0.0005) {
        const double m = trackMagnitude(p, nu);
        if (m > bestMag) bestMag = m, best = nu;
    }
    return best;
}

inline double minOf(const std::vector<double>& v) {
    double m = 1e300;
    for (double x : v) m = std::fmin(m, x);
    return m;
}
inline double maxOf(const std::vector<double>& v) {
    double m = -1e300;
    for (double x : v) m = std::fmax(m, x);
    return m;
}

// The voice playing a note, -1 when none does.
inline int voiceOf(APlugin& p, int note) {
    for (int v = 0; v < kNumVoices; ++v)
        if (p.voiceNote[v] == note && p.voiceKeyOn[v]) return v;
    return -1;
}

}  // namespace modtest
