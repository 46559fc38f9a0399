// LFOs: LFO 1 and LFO 2 exist once globally and once in every voice. Each is updated every
// 4 samples (the global ones on the sample counter, a voice's on its own counter) and its two
// outputs are interpolated linearly in between. Everything that shapes an LFO (rate factor,
// phase, symmetry, shape, smoothing, bias, bits, hold rate, humanize, key tracking) is a
// modulation destination, so the matrix can move all of it. An LFO that no slot uses costs
// nothing and outputs 0.
#include <cmath>
#include <cstddef>
#include <cstring>

#include <emmintrin.h>

#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// First destination of each LFO's twelve; the others follow in this order.
constexpr int kLFODestBase[2] = {366, 378};
enum LFODest : int {
    kLFOSpeed = 0,
    kLFOPhase,
    kLFOSym,
    kLFOShape,
    kLFOSmooth,
    kLFOSmoothAttack,
    kLFOSmoothDecay,
    kLFOBias,
    kLFOBits,
    kLFOHold,
    kLFOHumanize,
    kLFOKeyTrack,
};

constexpr int kDestGlobalSpeed = 23;
constexpr int kDestLFOSpeed = 25;
constexpr int kSrcCentreNote = 6;
constexpr int kSrcLFO = 98;  // 98..101: LFO 1 bipolar, unipolar, LFO 2 bipolar, unipolar
constexpr int kModePoly = 0;
constexpr int kWaveSampleHold = 8;

// Tempo-synced periods in whole notes, one per choice of the synced speed.
constexpr double LFO_TEMPO_SYNCED_PERIOD_D[34] = {
    96.0,       48.0,  32.0,       64.0 / 3.0, 24.0,      16.0,        32.0 / 3.0, 12.0, 8.0,
    16.0 / 3.0, 6.0,   4.0,        8.0 / 3.0,  3.0,       2.0,         4.0 / 3.0,  1.5,  1.0,
    2.0 / 3.0,  0.75,  0.5,        1.0 / 3.0,  0.375,     0.25,        1.0 / 6.0,  0.1875,
    0.125,      1.0 / 12.0, 0.09375, 0.0625,   1.0 / 24.0, 0.046875,  0.03125,    1.0 / 48.0,
};

// 2^(14 x speed) x this is the free rate in cycles per sample: 0.0067 Hz to 110 Hz.
constexpr double kFreeRateScale = 1.71875 / 256.0;

inline float clampf(float x, float lo, float hi) {
    if (!(x > lo)) return lo;  // NaN too
    return x < hi ? x : hi;
}

// 2^x kept finite whatever the modulation does.
inline double exp2Safe(double x) {
    if (!(x > -126.0)) return x != x ? 1.0 : std::exp2(-126.0);
    if (x > 126.0) x = 126.0;
    return std::exp2(x);
}

// x - floor(x): never negative, never 1, 0 for a value that is not a number.
inline double fractionOf(double x) {
    const double f = x - std::floor(x);
    return (f >= 0.0 && f < 1.0) ? f : 0.0;
}

// The read position of a phase moved by the phase destination and bent by the symmetry:
// the first half of the table takes the share s of the cycle, the second half the rest.
inline double readPosition(double phase, float phaseDest, float symDest) {
    const double p = fractionOf(phase + (double)phaseDest + 10.0);
    const double s = (double)clampf(symDest * 0.5f + 0.5f, 0.0f, 1.0f) * 0.998 + 0.001;
    return p < s ? p * 0.5 / s : 0.5 + (p - s) * 0.5 / (1.0 - s);
}

inline int tableIndex(double q) {
    const double i = q * 65535.99;
    if (!(i > 0.0)) return 0;
    return i < 65535.0 ? (int)i : 65535;
}

inline int clampWave(int w) { return w < 0 ? 0 : (w > 8 ? 8 : w); }

}  // namespace

// A new value for the "Sample and Hold" wave, -1..1 in steps of 1/32767.
static float nextLFORandom(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    const int r = (int)((state >> 16) & 0x7FFFu);
    return (float)r / 32767.0f * 2.0f - 1.0f;
}

// Restart: phase, hold counter and humanize start over, a new random value is drawn, and
// every output value jumps to the wave's value at the start position.
static void restartLFO(APlugin& p, APlugin::TLFOState& s, int lfo, const float* dest) {
    const float* d = dest + kLFODestBase[lfo];
    s.phase = 0.0;
    s.holdCounter = 0.0;
    s.humanize = 1.0;
    s.random = nextLFORandom(p.lfoRandomState);
    const int wave = clampWave(p.getSteppedValue(LFO_WAVE_TAGS[lfo]));
    const float v = p.lfoWave[wave][tableIndex(readPosition(0.0, d[kLFOPhase], d[kLFOSym]))];
    s.smoothed = s.held = v;
    s.biTarget = s.biPrev = s.biRun = v;
    const float u = v * 0.5f + 0.5f;
    s.uniTarget = s.uniPrev = s.uniRun = u;
    s.biInc = s.uniInc = 0.0f;
}

// The neutral state of a never-run LFO: no bias, no smoothing, no shaping, rate factors 1.
static void clearLFO(APlugin::TLFOState& s) {
    std::memset(&s, 0, sizeof(s));
    s.humanize = 1.0;
    s.keyTrack = 1.0;
    s.shapeExp = 1.0f;
    s.biasScale[0] = s.biasScale[1] = s.biasScale[2] = 1.0f;
    // No input matches a NaN: every cached power is taken anew at the first update.
    s.fallIn = s.riseIn = s.shapeIn = std::nanf("");
    s.keyIn = s.holdIn = s.bitsIn = std::nan("");
}

static void silenceLFO(APlugin::TLFOState& s) {
    s.biTarget = s.biPrev = s.biRun = s.biInc = 0.0f;
    s.uniTarget = s.uniPrev = s.uniRun = s.uniInc = 0.0f;
}

// The eight values silenceLFO sets, as two vectors of their bits.
static __m128i silencedBits(const APlugin::TLFOState& s) {
    using S = APlugin::TLFOState;
    static_assert(offsetof(S, uniInc) == offsetof(S, biTarget) + 7 * sizeof(float), "eight floats in a row");
    const char* const from = reinterpret_cast<const char*>(&s) + offsetof(S, biTarget);
    return _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16)));
}

// One update of an LFO in use: `dest` is the destination row (global or the voice's),
// `centreNote` source 6 of the same row, `slow` the 16-sample refresh of the settings.
static void runLFO(APlugin& p, APlugin::TLFOState& s, int lfo, const float* dest,
                   float centreNote, bool slow) {
    const float* d = dest + kLFODestBase[lfo];
    if (slow) {
        const float b = clampf(d[kLFOBias], -1.0f, 1.0f);
        s.biasScale[0] = s.biasScale[1] = s.biasScale[2] = 1.0f;
        if (b > 0.0f)
            s.biasScale[0] = 1.0f - b;
        else
            s.biasScale[2] = 1.0f - std::fabs(b);
        // Each power of two is taken anew only when its input moved.
        const float fall = clampf(d[kLFOSmooth] + d[kLFOSmoothAttack], 0.0f, 1.0f);
        // (A coefficient of 0 is the smoothing of input 0, so an all-zero state is consistent.)
        if (!(fall == s.fallIn)) {
            s.fallCoef = 1.0f - std::exp2(-13.0f * fall);
            s.fallIn = fall;
        }
        const float rise = clampf(d[kLFOSmooth] + d[kLFOSmoothDecay], 0.0f, 1.0f);
        if (!(rise == s.riseIn)) {
            s.riseCoef = 1.0f - std::exp2(-13.0f * rise);
            s.riseIn = rise;
        }
        const double key = (double)d[kLFOKeyTrack] * (double)centreNote;
        if (!(key == s.keyIn && s.keyOut != 0.0)) {
            s.keyOut = exp2Safe(key);
            s.keyIn = key;
        }
        s.keyTrack = s.keyOut;
        const float h = clampf(d[kLFOShape] + 0.5f, 0.0f, 1.0f);
        if (std::fabs(h - 0.5f) > 1e-5f) {
            if (!(h == s.shapeIn && s.shapeExp != 0.0f)) {
                s.shapeExp = std::exp2(4.0f - 8.0f * h);
                s.shapeIn = h;
            }
            s.shapeOn = 1;
        } else {
            s.shapeOn = 0;
        }
    }

    s.biPrev = s.biRun = s.biTarget;
    s.uniPrev = s.uniRun = s.uniTarget;

    // Every rate factor is a product of powers of two, so the step is never negative; one
    // that is not a number (an overflow met a zero) stops the LFO instead of poisoning it.
    double step = p.lfoBaseIncrement[lfo] * 4.0 * s.humanize * (double)dest[kDestGlobalSpeed] *
                  (double)dest[kDestLFOSpeed] * (double)d[kLFOSpeed] * s.keyTrack;
    if (!(step >= 0.0)) step = 0.0;
    s.phase += step;
    if (!(s.phase < 1.0)) {
        s.phase = fractionOf(s.phase);
        s.random = nextLFORandom(p.lfoRandomState);
        const double r = 2.0 * (double)RandSeed.next();  // uniform in -2..2
        s.humanize = exp2Safe(r * (double)d[kLFOHumanize]);
    }

    const int wave = p.lfoWaveSel[lfo];
    const float w = wave == kWaveSampleHold
                        ? s.random
                        : p.lfoWave[wave][tableIndex(readPosition(s.phase, d[kLFOPhase], d[kLFOSym]))];

    // Sample and hold with bit reduction: rate 0 takes a new value at every update.
    const float holdRate = d[kLFOHold];
    if (holdRate > 0.0f) {
        const double x = (double)clampf(holdRate, 0.0f, 1.0f);
        if (!(x == s.holdIn && s.holdOut != 0.0)) {
            s.holdOut = 4.0 * std::exp2(-16.0 * x);
            s.holdIn = x;
        }
        s.holdCounter += s.holdOut;
    } else {
        s.holdCounter += 4.0;
    }
    if (s.holdCounter >= 1.0) {
        const float bits = d[kLFOBits];
        const float scale = w < 0.0f ? s.biasScale[0] : (w > 0.0f ? s.biasScale[2] : s.biasScale[1]);
        const double y = (double)w * (double)scale + 1.0;
        double held;
        if (bits > 0.0f) {
            const double x = (double)clampf(bits, 0.0f, 1.0f);
            if (!(x == s.bitsIn && s.bitsOut != 0.0)) {
                s.bitsOut = std::exp2(17.0 - 17.0 * x);
                s.bitsIn = x;
            }
            const double n = s.bitsOut;
            held = std::floor((n + 0.999) * y) / n - 1.0;
        } else {
            // Full resolution, 2^17 steps: dividing by a power of two is an exact scaling.
            held = std::floor((131072.0 + 0.999) * y) * (1.0 / 131072.0) - 1.0;
        }
        s.held = held < -1.0 ? -1.0f : (held > 1.0 ? 1.0f : (float)held);
        s.holdCounter = fractionOf(s.holdCounter);
    }

    const float c = s.smoothed > s.held ? s.fallCoef : s.riseCoef;
    s.smoothed = s.smoothed * c + s.held * (1.0f - c) + 1e-15f;

    const float y = s.smoothed;
    float bi = y;
    float uni = y * 0.5f + 0.5f;
    if (s.shapeOn) {
        const float m = std::pow(std::fabs(y), s.shapeExp);
        bi = y > 0.0f ? m : (y < 0.0f ? -m : 0.0f);
        uni = std::pow(std::fabs(uni), s.shapeExp);
    }
    s.biTarget = bi;
    s.uniTarget = uni;
    s.biInc = (bi - s.biPrev) * 0.25f;
    s.uniInc = (uni - s.uniPrev) * 0.25f;
}

// The base rate of a global LFO in cycles per sample; the voice copies use it too.
static double lfoBaseRate(APlugin& p, int lfo) {
    const double rate = (double)p.curSampleRate;
    if (p.getOnOff(LFO_SYNC_ON_TAGS[lfo])) {
        const int i = APlugin::getSteppedValue(p.paramValue[LFO_SPEED_TAGS[lfo]], 33.99f, 34);
        return p.tempoD / (240.0 * LFO_TEMPO_SYNCED_PERIOD_D[i] * rate);
    }
    const double speed = (double)clampf(p.paramValue[LFO_SPEED_TAGS[lfo]], 0.0f, 1.0f);
    return std::exp2(14.0 * speed) * kFreeRateScale / rate;
}

void APlugin::setGlobalLFOS() {
    // Neither LFO in use, and both silenced already (every bit of their values 0): nothing
    // moves them but a restart, so silencing them again would change nothing.
    if (!(lfoUsed[0] | lfoUsed[1])) {
        const __m128i bits = _mm_or_si128(silencedBits(globalLFO[0]), silencedBits(globalLFO[1]));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(bits, _mm_setzero_si128())) == 0xffff) return;
    }
    const bool slow = (sampleCounter & 15) == 0 || forceControlUpdate;
    for (int n = 0; n < kNumLFOs; ++n) {
        TLFOState& s = globalLFO[n];
        if (!lfoUsed[n]) {
            silenceLFO(s);
            continue;
        }
        if (slow) lfoBaseIncrement[n] = lfoBaseRate(*this, n);
        runLFO(*this, s, n, modDestGlobal, modSrcGlobal[kSrcCentreNote], slow);
    }
}

// A voice's LFOs moved on (or silenced); out of line, so the usual case with both LFOs
// unused and silent is a check without a frame.
__attribute__((noinline)) static void stepVoiceLFOs(APlugin& p, int voice) {
    const bool slow = (p.voiceCounter[voice] & 15) == 0;
    for (int n = 0; n < APlugin::kNumLFOs; ++n) {
        APlugin::TLFOState& s = p.voiceLFO[voice][n];
        if (!p.lfoUsed[n]) {
            // (Advancing a silenced LFO adds +0 to +0: it stays silent.)
            if (!p.voiceLFOSilent[voice][n]) silenceLFO(s);
            p.voiceLFOSilent[voice][n] = 1;
            continue;
        }
        p.voiceLFOSilent[voice][n] = 0;
        runLFO(p, s, n, p.modDestVoice[voice], p.modSrcVoice[voice][kSrcCentreNote], slow);
    }
}

void APlugin::setVoiceLFOS(int voice) {
    if (!isValidVoice(voice)) return;
    if (!(lfoUsed[0] | lfoUsed[1]) && (voiceLFOSilent[voice][0] & voiceLFOSilent[voice][1])) return;
    stepVoiceLFOs(*this, voice);
}

void APlugin::initGlobalLFO(int lfo) {
    if (lfo < 0 || lfo >= kNumLFOs) return;
    restartLFO(*this, globalLFO[lfo], lfo, modDestGlobal);
}

void APlugin::initVoiceLFO(int voice, int lfo) {
    if (!isValidVoice(voice) || lfo < 0 || lfo >= kNumLFOs) return;
    voiceLFOSilent[voice][lfo] = 0;
    restartLFO(*this, voiceLFO[voice][lfo], lfo, modDestVoice[voice]);
}

void APlugin::initAllVoiceLFO(int lfo) {
    for (int v = 0; v < kNumVoices; ++v) initVoiceLFO(v, lfo);
}

void APlugin::restartLFOsForArp() {
    for (int n = 0; n < kNumLFOs; ++n) {
        initGlobalLFO(n);
        initAllVoiceLFO(n);
    }
}

void APlugin::initLFOState() {
    std::memset(lfoUsed, 0, sizeof(lfoUsed));
    lfoRandomState = 1;
    for (int n = 0; n < kNumLFOs; ++n) {
        lfoWaveSel[n] = clampWave(getSteppedValue(LFO_WAVE_TAGS[n]));
        lfoModeSel[n] = getSteppedValue(LFO_MODE_TAGS[n]);
        lfoBaseIncrement[n] = 0.0;
        clearLFO(globalLFO[n]);
        initGlobalLFO(n);
        for (int v = 0; v < kNumVoices; ++v) {
            clearLFO(voiceLFO[v][n]);
            initVoiceLFO(v, n);
        }
    }
}

// Per sample: the global LFO sources take their running values, which then move on by their
// increments; the combinations follow when a slot uses one.
static void publishLFOPair(const APlugin::TLFOState& s0, const APlugin::TLFOState& s1, float* src) {
    src[kSrcLFO] = s0.biRun;
    src[kSrcLFO + 1] = s0.uniRun;
    src[kSrcLFO + 2] = s1.biRun;
    src[kSrcLFO + 3] = s1.uniRun;
}

static void advanceLFO(APlugin::TLFOState& s) {
    s.biRun += s.biInc;
    s.uniRun += s.uniInc;
}

static void publishCombinations(float* src) {
    const float b1 = src[98], u1 = src[99], b2 = src[100], u2 = src[101];
    src[102] = b1 + b2;
    src[103] = u1 + u2;
    src[104] = b1 - b2;
    src[105] = u1 - u2;
    src[106] = b1 * b2;
    src[107] = u1 * u2;
}

// With neither LFO in use no slot reads their sources, and their silenced states have
// nothing to move.
void APlugin::publishGlobalLFOs() {
    if (!lfoUsed[0] && !lfoUsed[1]) return;
    publishLFOPair(globalLFO[0], globalLFO[1], modSrcGlobal);
    advanceLFO(globalLFO[0]);
    advanceLFO(globalLFO[1]);
    if (lfoUsed[2]) publishCombinations(modSrcGlobal);
}

// Per sample for an active voice: its own LFOs' running values, or outside Poly mode the
// global LFO's, then the combinations from the voice's values.
void APlugin::publishVoiceLFOs(int voice) {
    if (!isValidVoice(voice) || (!lfoUsed[0] && !lfoUsed[1])) return;
    float* src = modSrcVoice[voice];
    TLFOState* lfo = voiceLFO[voice];
    publishLFOPair(lfo[0], lfo[1], src);
    advanceLFO(lfo[0]);
    advanceLFO(lfo[1]);
    for (int n = 0; n < kNumLFOs; ++n) {
        if (lfoModeSel[n] == kModePoly) continue;
        src[kSrcLFO + 2 * n] = modSrcGlobal[kSrcLFO + 2 * n];
        src[kSrcLFO + 2 * n + 1] = modSrcGlobal[kSrcLFO + 2 * n + 1];
    }
    if (lfoUsed[2]) publishCombinations(src);
}
