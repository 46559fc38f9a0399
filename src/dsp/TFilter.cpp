// The multimode voice filter: cutoff tracking, coefficient updates from the shared tables,
// and the kernels of the 35 modes on four-lane copy pairs.
#include "dsp/TFilter.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "dsp/FilterTables.h"

using namespace filtermath;

const int UNI_SPLIT_NUM[kFilterMaxCopies + 1] = {1, 1, 1, 2, 2, 3, 3};

namespace {

constexpr float kGuard = 1e-15f;
constexpr float kSqrt2 = 1.41421356f;

// Formant frequencies in Hz of the vowels A, E, I, O, U.
constexpr float kVowels[5][4] = {
    {650.0f, 1080.0f, 2650.0f, 2900.0f},
    {400.0f, 1700.0f, 2600.0f, 3200.0f},
    {290.0f, 1870.0f, 2800.0f, 3250.0f},
    {400.0f, 800.0f, 2800.0f, 3000.0f},
    {350.0f, 600.0f, 2700.0f, 2900.0f},
};

// The band state of the resonant state-variable filter passes the soft limit b - 0.001 b^3,
// which rises only up to |b| = sqrt(1000 / 3) and runs away past about 44.7; the state is
// held inside the rising part, so the limit saturates instead of exploding.
constexpr float kBandLimit = 18.2574186f;
// The same for the ladder's last stage and its limit b - 0.16666 b^3.
constexpr float kLadderLimit = 1.41422236f;

// Cutoff inputs are normalised around 0..1; anything not finite or absurdly large would
// poison the smoothed cutoff for the rest of the note.
inline float saneCutoff(float c) { return clampNaN(c, -16.0f, 16.0f); }

inline float saneResonance(float r) { return clampNaN(r, 0.0f, 1.0f) * 0.95f; }

// Weights of the low, band and high outputs of the zero-delay kernel for modes 7-12 and
// 19-24 (mode - 12 for the latter), and for other modes the low-pass tap.
struct Taps {
    float low, band, high;
};

Taps zeroDelayTaps(int mode, float m) {
    if (mode >= kFilterZeroLow24 && mode <= kFilterZeroLowBandHigh24) mode -= 12;
    switch (mode) {
        case kFilterZeroHigh12: return {0.0f, 0.0f, 1.0f};
        case kFilterZeroBand12: return {0.0f, 1.0f, 0.0f};
        case kFilterZeroNotch12: return {1.0f, 0.0f, 1.0f};
        case kFilterZeroLowHigh12: return {1.0f - m, 0.0f, m};
        case kFilterZeroLowBandHigh12:
            if (m < 0.5f) return {1.0f - 2.0f * m, 2.0f * m, 0.0f};
            return {0.0f, 2.0f - 2.0f * m, 2.0f * m - 1.0f};
        default: return {1.0f, 0.0f, 0.0f};
    }
}

bool isComb(int mode) { return mode >= kFilterCombPositive && mode <= kFilterCombPingPong; }

bool isZeroDelay(int mode) {
    return (mode >= kFilterZeroLow12 && mode <= kFilterZeroLowBandHigh12) ||
           (mode >= kFilterZeroLow24 && mode <= kFilterZeroLowBandHigh24);
}


}  // namespace

// --- set-up --------------------------------------------------------------------------

void TFilter::init(float sampleRate) {
    if (!(sampleRate >= 1000.0f) || !std::isfinite(sampleRate)) sampleRate = 44100.0f;
    rate = sampleRate;
    halfInvRate = 1.0f / (2.0f * rate);
    tableScale = 262143.0f / (2.0f * rate);
    ceiling = 0.38f * rate;
    keyFactor = 1.0f;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    smoothCutoff[0] = smoothCutoff[1] = 0.0f;
    lastMod = {0.0f, 0.0f};
    res = 0.0f;
    morph = 0.0f;
    for (int p = 0; p < kFilterMaxPairs; ++p) fTarget[p] = fUsed[p] = splat(0.0f);
    std::memset(combDelay, 0, sizeof combDelay);
    reset();
}

void TFilter::reset() {
    std::memset(pairs, 0, sizeof pairs);
    std::memset(combPos, 0, sizeof combPos);
    // The comb lines themselves are not touched: a frame reads as zero until it has been
    // written again, which gives the output of cleared lines without clearing 768 KiB per
    // filter at every note start.
    std::memset(combWritten, 0, sizeof combWritten);
    for (Lanes4& v : lastV) v = splat(std::nanf(""));  // no cutoff mapped yet
    lastMode = -1;
    lastEffectMode = -1;
    lastPairs = 0;
    direct = true;
}

void TFilter::setType(int newMode, bool clear) {
    newMode = newMode < 0 ? 0 : (newMode >= kFilterModeCount ? kFilterModeCount - 1 : newMode);
    if (clear && newMode != mode) reset();
    mode = newMode;
}

void TFilter::setTrack(float amount, float key) { keyFactor = std::exp2(amount * key); }

void TFilter::setVel(float amount, float velocity) { velOffset = (velocity - 0.5f) * amount; }


float TFilter::smoothTarget(float target, float state) const {
    target = saneCutoff(target);
    return direct ? target : 0.01f * target + 0.99f * state;
}

// --- coefficients ------------------------------------------------------------------------

// The terms every lane shares, after a change of mode, resonance or morph.
void TFilter::updateShared(int pairCount) {
    const float r = res;
    const float m = morph;
    if (mode >= kFilterZeroLow24 && mode <= kFilterZeroLowBandHigh24)
        sharedR = 0.5f * std::exp2(-3.0f * 0.995f * r);
    else
        sharedR = FilterZQ[(int)(r * 0.995f * 131071.0f)];
    const Taps t = zeroDelayTaps(mode, m);
    tapLow = t.low;
    tapBand = t.band;
    tapHigh = t.high;
    if (mode == kFilterFormant1) {
        shifts[0] = shifts[1] = std::exp2(-2.0f * m);
        shifts[2] = shifts[3] = std::exp2(2.0f * m);
    } else if (mode == kFilterFormant2) {
        for (int k = 0; k < 4; ++k) shifts[k] = std::exp2(2.0f * m * (2.0f * (float)k / 3.0f - 1.0f));
    }
    const int tq = (int)(r * 131071.0f);
    formantInv = FilterInvTmpq[tq];
    formantQs = FilterTmpqs[tq];
    if (mode == kFilterVocal) {
        float p = m * 4.99f;
        if (p >= 4.99f) p -= 4.99f;
        const int k = (int)p;
        const float fr = p - (float)k;
        const int k2 = (k + 1) % 5;
        for (int j = 0; j < 4; ++j) vowel[j] = kVowels[k][j] * (1.0f - fr) + kVowels[k2][j] * fr;
    }
    combGain = std::sqrt(std::sqrt(r)) + kGuard;
    if (mode == kFilterCombNegative) combGain = -combGain;

    coefRes = r;
    coefMorph = m;
    lastMode = mode;
    lastPairs = pairCount;
    lastEffectMode = -1;
}

// Coefficients of one copy pair from its target cutoffs. The frequency- and resonance-
// dependent terms are table reads; the arithmetic runs on the four lanes at once.
void TFilter::recomputePair(int p) {
    Pair& P = pairs[p];
    const Lanes4 f = fTarget[p];
    fUsed[p] = f;
    const float r = res;
    const Lanes4 nf = (f + 0.001f) * halfInvRate + kGuard;
    const LaneInts4 idx = tableIndexes(nf);
    const Lanes4 one = splat(1.0f);

    switch (mode) {
        case kFilterLow6:
        case kFilterHigh6:
            P.opA = 2.0f * nf;
            P.opB = 1.0f - 2.0f * nf;
            break;
        case kFilterLow12:
        case kFilterHigh12:
        case kFilterBand12:
        case kFilterNotch12:
            P.svF = gather(FilterSine, idx);
            P.svD = splat(1.0f - r + kGuard);
            break;
        case kFilterLow18:
        case kFilterHigh18:
            P.opA = 2.0f * nf;
            P.opB = 1.0f - 2.0f * nf;
            P.svF = gather(FilterSine, idx);
            P.svD = splat(1.0f - r + kGuard);
            break;
        case kFilterLow24:
        case kFilterHigh24:
        case kFilterLow36:
        case kFilterHigh36: {
            const bool low = mode == kFilterLow24 || mode == kFilterLow36;
            const float k = 2.828427f;
            const Lanes4 c = gather(low ? Filter12Lo2 : Filter12Hi2, idx);
            const Lanes4 c2 = c * c;
            const Lanes4 a0 = one / (c2 + k * c + (low ? 1.001f : 1.0001f));
            P.bqB0 = P.bqB2 = a0;
            P.bqB1 = (low ? 2.0f : -2.0f) * a0;
            P.bqA1 = (low ? 2.0f * (1.0f - c2) : 2.0f * c2 - 2.0f) * a0;
            P.bqA2 = (c2 - k * c + 1.0f) * a0;
            if (mode == kFilterLow24 || mode == kFilterHigh24) {
                P.svF = gather(FilterSine, idx);
                P.svD = splat(1.0f - r + kGuard);
            } else {
                P.ldP = gather(FilterMFP, idx);
                P.ldK = gather(FilterMFF, idx);
                P.ldQ = gather(FilterMFQ, idx) * r;
            }
            break;
        }
        case kFilterBand24:
        case kFilterNotch24:
            P.ldP = gather(FilterMFP, idx);
            P.ldK = gather(FilterMFF, idx);
            P.ldQ = gather(FilterMFQ, idx) * r;
            break;
        case kFilterVocal:
            for (int l = 0; l < 4; ++l) {
                for (int j = 0; j < 4; ++j) {
                    const float nF =
                        clampNaN(vowel[j] * f[l] * (1.0f / 440.0f) * halfInvRate, 0.0f, 0.4f);
                    const float V = FilterVoxC[filterTableIndex(nF * (r * 0.399f + 0.2f))];
                    const float D = FilterVoxD[filterTableIndex(nF)];
                    const float k = 1.0f / (V + 1.0f);
                    P.fmB0[j][l] = k;
                    P.fmA1[j][l] = -V * D * k;
                    P.fmA2[j][l] = (V - 1.0f) * k;
                }
            }
            break;
        case kFilterFormant1:
        case kFilterFormant2:
            for (int j = 0; j < 4; ++j) {
                const Lanes4 pos =
                    clampNaN(shifts[j] * (f + 0.001f) * halfInvRate + kGuard, 0.0f, 0.4f);
                const LaneInts4 w = tableIndexes(pos);
                const Lanes4 alpha = gather(Filter2Sine, w) * formantInv;
                const Lanes4 n = one / (1.0f + alpha);
                P.fmB0[j] = 2.0f * alpha * formantQs * n + kGuard;
                P.fmA1[j] = -2.0f * gather(Filter2Cos, w) * n + kGuard;
                P.fmA2[j] = (1.0f - alpha) * n + kGuard;
            }
            break;
        case kFilterCombPositive:
        case kFilterCombNegative:
        case kFilterCombPingPong:
            for (int l = 0; l < 4; ++l) {
                // One period at the oversampled rate in 1/256 samples, held inside the lines
                // (2 to 8192 frames) before the conversion; a cutoff of 0 gives the longest.
                const float d = clampNaN(512.0f * rate / f[l], 513.0f, 2097151.0f);
                combDelay[4 * p + l] = (uint32_t)d;
            }
            break;
        case kFilterRingMod:
        case kFilterAmpMod:
            P.rmInc = f * halfInvRate;
            break;
        default: {  // the zero-delay modes
            zeroDelayCoefficients(gather(FilterZTan, idx), sharedR, P.zdA1, P.zdA2, P.zdA3);
            P.zdK = splat(2.0f * sharedR);
            break;
        }
    }
}

// --- kernels -----------------------------------------------------------------------------
//
// Each kernel runs one sub-sample of one copy pair on four-lane vectors: x holds the four
// scaled inputs, the result is returned. Outputs are chosen by weights, not branches.

namespace {

using Pair = TFilter::Pair;

inline Lanes4 onePole(Pair& P, Lanes4 x) {
    P.opY = P.opA * x + P.opB * P.opY + kGuard;
    return P.opY;
}

// The resonant state-variable filter on FilterSine: wl low + wb band + wh high.
inline Lanes4 stateVariable(Pair& P, Lanes4 x, float wl, float wb, float wh) {
    Lanes4 b = clampNaN(P.svBand, -kBandLimit, kBandLimit);
    b = b - (0.001f * b) * (b * b);
    const Lanes4 high = x - P.svLow - P.svD * b;
    b = P.svF * high + b;
    const Lanes4 low = P.svF * b + P.svLow;
    P.svLow = low;
    P.svBand = b;
    return wl * low + wb * b + wh * high;
}

// One zero-delay section (s = 0 or 1): the tapped mix.
inline Lanes4 zeroDelay(Pair& P, int s, Lanes4 x, const Taps& t) {
    const Lanes4 s1 = P.zdS1[s], s2 = P.zdS2[s];
    const Lanes4 v3 = x - s2;
    const Lanes4 band = P.zdA1 * s1 + P.zdA2 * v3;
    const Lanes4 low = s2 + P.zdA2 * s1 + P.zdA3 * v3;
    P.zdS1[s] = 2.0f * band - s1;
    P.zdS2[s] = 2.0f * low - s2;
    return t.low * low + t.band * band + t.high * (x - P.zdK * band - low);
}

// The four-pole ladder: wx x + wd (b3 - b4) + w4 b4.
inline Lanes4 ladder(Pair& P, Lanes4 x, float wx, float wd, float w4) {
    const Lanes4 p = P.ldP, k = P.ldK;
    const Lanes4 in = x - P.ldQ * P.ldB[4];
    const Lanes4 o1 = P.ldB[1], o2 = P.ldB[2], o3 = P.ldB[3];
    const Lanes4 b1 = (in + P.ldB[0]) * p - o1 * k;
    const Lanes4 b2 = (b1 + o1) * p - o2 * k;
    const Lanes4 b3 = (b2 + o2) * p - o3 * k;
    Lanes4 b4 = clampNaN((b3 + o3) * p - P.ldB[4] * k, -kLadderLimit, kLadderLimit);
    b4 = b4 * (1.0f - 0.16666f * b4 * b4);
    P.ldB[0] = in;
    P.ldB[1] = b1;
    P.ldB[2] = b2;
    P.ldB[3] = b3;
    P.ldB[4] = b4;
    return wx * x + wd * (b3 - b4) + w4 * b4;
}

// The last two inputs and outputs of a biquad, newest first, held in registers over the
// sub-samples of a call.
struct History {
    Lanes4 x1, x2, y1, y2;
    History(const Lanes4 (&x)[2], const Lanes4 (&y)[2]) : x1(x[0]), x2(x[1]), y1(y[0]), y2(y[1]) {}
    void push(Lanes4 x, Lanes4 y) {
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    void store(Lanes4 (&x)[2], Lanes4 (&y)[2]) {
        dropTiny(x1);
        dropTiny(x2);
        dropTiny(y1);
        dropTiny(y2);
        x[0] = x1;
        x[1] = x2;
        y[0] = y1;
        y[1] = y2;
    }
};

// The fixed-Q biquad; output held in [-2, 2].
inline Lanes4 biquad(const Pair& P, History& h, Lanes4 x) {
    const Lanes4 v = clampNaN(P.bqB0 * x + P.bqB1 * h.x1 + P.bqB2 * h.x2 - P.bqA1 * h.y1 -
                                  P.bqA2 * h.y2,
                              -2.0f, 2.0f);
    h.push(x, v);
    return v;
}

// Four band-pass resonators in parallel on the difference of the input and the input two
// sub-samples back, each held in [-2, 2]: gain x their sum.
inline Lanes4 resonators(Pair& P, Lanes4 x, float gain) {
    const Lanes4 d = x - P.fmX[1];
    P.fmX[1] = P.fmX[0];
    P.fmX[0] = x;
    Lanes4 sum = splat(0.0f);
    for (int j = 0; j < 4; ++j) {
        const Lanes4 v = clampNaN(P.fmB0[j] * d - P.fmA1[j] * P.fmY[j][0] - P.fmA2[j] * P.fmY[j][1],
                                  -2.0f, 2.0f);
        P.fmY[j][1] = P.fmY[j][0];
        P.fmY[j][0] = v;
        sum += v;
    }
    return gain * sum + kGuard;
}

// Ring (ws = 1, wc = 0) or amplitude (ws = wc = 0.5) modulation by a sine at the cutoff.
inline Lanes4 modulate(Pair& P, Lanes4 x, float depth, float ws, float wc) {
    Lanes4 ph = P.rmPhase + P.rmInc;
    ph = ph >= 1.0f ? ph - 1.0f : ph;
    P.rmPhase = ph;
    Lanes4 w;
    for (int l = 0; l < 4; ++l) w[l] = std::sin(6.28318531f * ph[l]);
    w = ws * w + wc;
    return x * (w * depth + 1.0f - depth);
}

inline Lanes4 scaleOut(Lanes4 v) { return 10.0f * v + kGuard; }

}  // namespace

// Both sub-samples of one copy pair in the current mode (everything but bypass and combs),
// then the states of the mode that decayed below the floor are dropped (see dropTiny).
void TFilter::runPair(Pair& P, const Lanes4 (&x)[2], Lanes4 (&y)[2]) const {
    switch (mode) {
        case kFilterLow6:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(onePole(P, x[s]));
            dropTiny(P.opY);
            break;
        case kFilterHigh6:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(x[s] - onePole(P, x[s]));
            dropTiny(P.opY);
            break;
        case kFilterLow12:
        case kFilterHigh12:
        case kFilterBand12:
        case kFilterNotch12: {
            const float wl = (mode == kFilterLow12 || mode == kFilterNotch12) ? 1.0f : 0.0f;
            const float wb = mode == kFilterBand12 ? 1.0f : 0.0f;
            const float wh = (mode == kFilterHigh12 || mode == kFilterNotch12) ? 1.0f : 0.0f;
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(stateVariable(P, x[s], wl, wb, wh));
            dropTiny(P.svLow);
            dropTiny(P.svBand);
            break;
        }
        case kFilterLow18:
            for (int s = 0; s < 2; ++s)
                y[s] = scaleOut(kSqrt2 * stateVariable(P, onePole(P, x[s]), 1, 0, 0));
            dropTiny(P.opY);
            dropTiny(P.svLow);
            dropTiny(P.svBand);
            break;
        case kFilterHigh18:
            for (int s = 0; s < 2; ++s)
                y[s] = scaleOut(stateVariable(P, x[s] - onePole(P, x[s]), 0, 0, 1));
            dropTiny(P.opY);
            dropTiny(P.svLow);
            dropTiny(P.svBand);
            break;
        case kFilterLow24:
        case kFilterHigh24: {
            const float wl = mode == kFilterLow24 ? 1.0f : 0.0f;
            History h(P.bqX, P.bqY);
            for (int s = 0; s < 2; ++s) {
                const Lanes4 b = biquad(P, h, x[s]);
                y[s] = scaleOut(kSqrt2 * stateVariable(P, b, wl, 0, 1.0f - wl));
            }
            h.store(P.bqX, P.bqY);
            dropTiny(P.svLow);
            dropTiny(P.svBand);
            break;
        }
        case kFilterBand24:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(ladder(P, x[s], 0, 6, 0));
            dropTiny(P.ldB, 5);
            break;
        case kFilterNotch24:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(ladder(P, x[s], 1, -3, 0));
            dropTiny(P.ldB, 5);
            break;
        case kFilterLow36:
        case kFilterHigh36: {
            const bool low = mode == kFilterLow36;
            History h(P.bqX, P.bqY);
            for (int s = 0; s < 2; ++s) {
                const Lanes4 b = biquad(P, h, x[s]);
                y[s] = scaleOut(low ? ladder(P, b, 0, 0, 2) : ladder(P, b, 1, 0, -1));
            }
            h.store(P.bqX, P.bqY);
            dropTiny(P.ldB, 5);
            break;
        }
        case kFilterVocal:
        case kFilterFormant1:
        case kFilterFormant2: {
            const float g = mode == kFilterVocal ? 28.3f : 1.5f;
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(resonators(P, x[s], g));
            dropTiny(P.fmX, 2);
            dropTiny(&P.fmY[0][0], 8);
            break;
        }
        case kFilterRingMod:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(modulate(P, x[s], res + kGuard, 1.0f, 0.0f));
            break;
        case kFilterAmpMod:
            for (int s = 0; s < 2; ++s) y[s] = scaleOut(modulate(P, x[s], res + kGuard, 0.5f, 0.5f));
            break;
        default: {  // the zero-delay modes, one or two sections
            const Taps k = {tapLow, tapBand, tapHigh};
            if (mode >= kFilterZeroLow24) {
                for (int s = 0; s < 2; ++s) y[s] = scaleOut(zeroDelay(P, 1, zeroDelay(P, 0, x[s], k), k));
            } else {
                for (int s = 0; s < 2; ++s) y[s] = scaleOut(zeroDelay(P, 0, x[s], k));
            }
            dropTiny(P.zdS1, 2);
            dropTiny(P.zdS2, 2);
            break;
        }
    }
}

// Both sub-samples of every active pair in a comb mode. The combs work at the outer level:
// the feed line takes 10 x (the scaled input) and the result is not scaled again.
void TFilter::runComb(int pairCount, const Lanes4 (*x)[2], Lanes4 (*y)[2]) {
    const int laneCount = 4 * pairCount;
    const float fb = combGain;
    const bool pingPong = mode == kFilterCombPingPong;
    for (int s = 0; s < 2; ++s) {
        // All reads first: with the longest delay a lane reads the frame that this
        // sub-sample overwrites, and the ping-pong mode reads the other side's lines.
        float result[kFilterLanes];
        for (int lane = 0; lane < laneCount; ++lane) {
            const int copy = lane >> 1;
            const int side = lane & 1;
            const int src = pingPong ? side ^ 1 : side;
            const uint32_t frame = ((combPos[lane] - combDelay[lane]) & kCombPositionMask) >> 8;
            float feed = 0.0f, back = 0.0f;
            if ((int32_t)frame < combWritten[lane]) {
                feed = combFeed[copy][frame][src];
                back = combBack[copy][frame][src];
            }
            const float v = (pingPong && side == 0) ? feed - fb * back : feed + fb * back;
            result[lane] = clampNaN(v, -100.0f, 100.0f);
        }
        for (int lane = 0; lane < laneCount; ++lane) {
            const int copy = lane >> 1;
            const int side = lane & 1;
            const uint32_t pos = combPos[lane];
            const uint32_t frame = pos >> 8;
            combFeed[copy][frame][side] = 10.0f * x[lane >> 2][s][lane & 3] + kGuard;
            combBack[copy][frame][side] = result[lane];
            y[lane >> 2][s][lane & 3] = result[lane];
            if ((int32_t)frame >= combWritten[lane]) combWritten[lane] = (int32_t)frame + 1;
            combPos[lane] = (pos + 256u) & kCombPositionMask;
        }
    }
}

// --- voice entry point ---------------------------------------------------------------------

// Everything of a voice call but the filtering: the notes beyond six and a bypassed call
// pass through, the cutoffs are smoothed and mapped, coefficients recomputed where they
// moved. Returns the number of notes left to filter (0: done).
int TFilter::prepare(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                     float morphValue, int copies, const stereoOverStruct* in,
                     stereoOverStruct* out) {
    if (copies <= 0) return 0;
    if (mode == kFilterBypass) {
        if (out != in)
            for (int c = 0; c < copies; ++c) out[c] = in[c];
        return 0;
    }
    // More notes than the filter has lanes for pass unfiltered.
    for (int c = kFilterMaxCopies; c < copies; ++c) out[c] = in[c];
    const int n = copies < kFilterMaxCopies ? copies : kFilterMaxCopies;
    const int pairCount = UNI_SPLIT_NUM[n];

    const float r = saneResonance(resonance);
    const float m = clampNaN(morphValue, 0.0f, 1.0f);
    const float s0 = smoothTarget(cutoff.left, smoothCutoff[0]);
    const float s1 = smoothTarget(cutoff.right, smoothCutoff[1]);
    assignChanged(lastMod.left, mod.left);
    assignChanged(lastMod.right, mod.right);
    assignChanged(res, r);
    assignChanged(morph, m);
    assignChanged(smoothCutoff[0], s0);
    assignChanged(smoothCutoff[1], s1);
    if (direct) direct = false;

    const bool shared = mode != lastMode || pairCount > lastPairs ||
                        std::fabs(r - coefRes) > 1e-5f || std::fabs(m - coefMorph) > 1e-5f;
    if (shared) updateShared(pairCount);

    // Normalised cutoff per lane (a lane beyond the copy count mirrors the last copy), mapped
    // to Hz only when it, the key factor or the separation moved.
    const float cl = mod.left + velOffset + s0;
    const float cr = mod.right + velOffset + s1;
    const Lanes4 common = {cl, cr, cl, cr};
    const bool sameMap = keyFactor == lastKey && separation == lastSep;
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != lastV[p])) {
            const float base = 20.0f * keyFactor;
            const Lanes4 sideGain = {base / separation, base * separation, base / separation,
                                     base * separation};
            lastV[p] = v;
            fTarget[p] = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
            const Lanes4 d = fTarget[p] - fUsed[p];
            moved |= anyLane(d > 1e-5f || d < -1e-5f);
        }
        if (moved) recomputePair(p);
    }
    assignChanged(lastKey, keyFactor);
    assignChanged(lastSep, separation);
    return n;
}

// The filtering of a prepared call of n notes.
void TFilter::run(int n, const stereoOverStruct* in, stereoOverStruct* out) {
    const int pairCount = UNI_SPLIT_NUM[n];
    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    if (isComb(mode)) {
        runComb(pairCount, x, y);
    } else {
        for (int p = 0; p < pairCount; ++p) runPair(pairs[p], x[p], y[p]);
    }
    scatterPairs(y, n, out);
}

void TFilter::process(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                      float morphValue, int copies, const stereoOverStruct* in,
                      stereoOverStruct* out) {
    const int n = prepare(cutoff, mod, separation, resonance, morphValue, copies, in, out);
    if (n > 0) run(n, in, out);
}

// --- several voices at once ----------------------------------------------------------------

namespace {

// The Lanes4 fields of a Pair that a mode's kernel reads, as indexes into the Pair seen as
// an array of Lanes4: coefficients (read only) and states (read and written).
constexpr uint8_t at(size_t offset) { return (uint8_t)(offset / sizeof(Lanes4)); }
#define TAV_PAIR(field) at(offsetof(TFilter::Pair, field))

struct KernelFields {
    uint8_t coef[12];
    uint8_t coefCount;
    uint8_t state[10];
    uint8_t stateCount;
};

const KernelFields kOnePole = {{TAV_PAIR(opA), TAV_PAIR(opB)}, 2, {TAV_PAIR(opY)}, 1};
const KernelFields kStateVariable = {
    {TAV_PAIR(svF), TAV_PAIR(svD)}, 2, {TAV_PAIR(svLow), TAV_PAIR(svBand)}, 2};
const KernelFields k18 = {{TAV_PAIR(opA), TAV_PAIR(opB), TAV_PAIR(svF), TAV_PAIR(svD)},
                          4,
                          {TAV_PAIR(opY), TAV_PAIR(svLow), TAV_PAIR(svBand)},
                          3};
const KernelFields k24 = {{TAV_PAIR(bqB0), TAV_PAIR(bqB1), TAV_PAIR(bqB2), TAV_PAIR(bqA1),
                           TAV_PAIR(bqA2), TAV_PAIR(svF), TAV_PAIR(svD)},
                          7,
                          {TAV_PAIR(svLow), TAV_PAIR(svBand), TAV_PAIR(bqX[0]), TAV_PAIR(bqX[1]),
                           TAV_PAIR(bqY[0]), TAV_PAIR(bqY[1])},
                          6};
const KernelFields kLadder = {{TAV_PAIR(ldP), TAV_PAIR(ldK), TAV_PAIR(ldQ)},
                              3,
                              {TAV_PAIR(ldB[0]), TAV_PAIR(ldB[1]), TAV_PAIR(ldB[2]),
                               TAV_PAIR(ldB[3]), TAV_PAIR(ldB[4])},
                              5};
const KernelFields k36 = {{TAV_PAIR(bqB0), TAV_PAIR(bqB1), TAV_PAIR(bqB2), TAV_PAIR(bqA1),
                           TAV_PAIR(bqA2), TAV_PAIR(ldP), TAV_PAIR(ldK), TAV_PAIR(ldQ)},
                          8,
                          {TAV_PAIR(ldB[0]), TAV_PAIR(ldB[1]), TAV_PAIR(ldB[2]), TAV_PAIR(ldB[3]),
                           TAV_PAIR(ldB[4]), TAV_PAIR(bqX[0]), TAV_PAIR(bqX[1]), TAV_PAIR(bqY[0]),
                           TAV_PAIR(bqY[1])},
                          9};
const KernelFields kResonators = {
    {TAV_PAIR(fmB0[0]), TAV_PAIR(fmB0[1]), TAV_PAIR(fmB0[2]), TAV_PAIR(fmB0[3]),
     TAV_PAIR(fmA1[0]), TAV_PAIR(fmA1[1]), TAV_PAIR(fmA1[2]), TAV_PAIR(fmA1[3]),
     TAV_PAIR(fmA2[0]), TAV_PAIR(fmA2[1]), TAV_PAIR(fmA2[2]), TAV_PAIR(fmA2[3])},
    12,
    {TAV_PAIR(fmX[0]), TAV_PAIR(fmX[1]), TAV_PAIR(fmY[0][0]), TAV_PAIR(fmY[0][1]),
     TAV_PAIR(fmY[1][0]), TAV_PAIR(fmY[1][1]), TAV_PAIR(fmY[2][0]), TAV_PAIR(fmY[2][1]),
     TAV_PAIR(fmY[3][0]), TAV_PAIR(fmY[3][1])},
    10};
const KernelFields kModulate = {{TAV_PAIR(rmInc)}, 1, {TAV_PAIR(rmPhase)}, 1};
const KernelFields kZeroDelay = {
    {TAV_PAIR(zdA1), TAV_PAIR(zdA2), TAV_PAIR(zdA3), TAV_PAIR(zdK)},
    4,
    {TAV_PAIR(zdS1[0]), TAV_PAIR(zdS1[1]), TAV_PAIR(zdS2[0]), TAV_PAIR(zdS2[1])},
    4};
#undef TAV_PAIR

const KernelFields& kernelFields(int mode) {
    switch (mode) {
        case kFilterLow6:
        case kFilterHigh6: return kOnePole;
        case kFilterLow12:
        case kFilterHigh12:
        case kFilterBand12:
        case kFilterNotch12: return kStateVariable;
        case kFilterLow18:
        case kFilterHigh18: return k18;
        case kFilterLow24:
        case kFilterHigh24: return k24;
        case kFilterBand24:
        case kFilterNotch24: return kLadder;
        case kFilterLow36:
        case kFilterHigh36: return k36;
        case kFilterVocal:
        case kFilterFormant1:
        case kFilterFormant2: return kResonators;
        case kFilterRingMod:
        case kFilterAmpMod: return kModulate;
        default: return kZeroDelay;
    }
}

}  // namespace

// Two prepared voices of one note each and the same kernel (mode, output taps and depth)
// through one run: the fields of their pairs that the kernel uses are merged into one pair,
// voice a in lanes 0 and 1, voice b in lanes 2 and 3, run, and the states split again.
void TFilter::runTwo(TFilter& a, TFilter& b, const stereoOverStruct& inA,
                     const stereoOverStruct& inB, stereoOverStruct& outA, stereoOverStruct& outB) {
    const KernelFields& k = kernelFields(a.mode);
    Pair merged;
    Lanes4* m = reinterpret_cast<Lanes4*>(&merged);
    const Lanes4* pa = reinterpret_cast<const Lanes4*>(&a.pairs[0]);
    const Lanes4* pb = reinterpret_cast<const Lanes4*>(&b.pairs[0]);
    for (int i = 0; i < k.coefCount; ++i) m[k.coef[i]] = mergeNotes(pa[k.coef[i]], pb[k.coef[i]]);
    for (int i = 0; i < k.stateCount; ++i)
        m[k.state[i]] = mergeNotes(pa[k.state[i]], pb[k.state[i]]);

    Lanes4 x[2], y[2];
    gatherTwoNotes(inA, inB, x);
    a.runPair(merged, x, y);

    Lanes4* wa = reinterpret_cast<Lanes4*>(&a.pairs[0]);
    Lanes4* wb = reinterpret_cast<Lanes4*>(&b.pairs[0]);
    for (int i = 0; i < k.stateCount; ++i) splitNotes(m[k.state[i]], wa[k.state[i]], wb[k.state[i]]);
    scatterTwoNotes(y, outA, outB);
}

// Whether two prepared filters run the same kernel: the mode, and what the kernel takes
// from the filter besides its pair.
bool TFilter::sameKernel(const TFilter& a, const TFilter& b) {
    if (a.mode != b.mode) return false;
    switch (a.mode) {
        case kFilterRingMod:
        case kFilterAmpMod: return a.res == b.res;
        default:
            if (isZeroDelay(a.mode))
                return a.tapLow == b.tapLow && a.tapBand == b.tapBand && a.tapHigh == b.tapHigh;
            return true;
    }
}

void TFilter::runNotes(TFilter* const* filters, const stereoOverStruct* const* in,
                       stereoOverStruct* const* out, int count) {
    int pending = -1;  // a voice waiting for a partner
    for (int k = 0; k < count; ++k) {
        TFilter& f = *filters[k];
        if (isComb(f.mode)) {
            f.run(1, in[k], out[k]);
        } else if (pending < 0) {
            pending = k;
        } else if (sameKernel(*filters[pending], f)) {
            runTwo(*filters[pending], f, *in[pending], *in[k], *out[pending], *out[k]);
            pending = -1;
        } else {
            filters[pending]->run(1, in[pending], out[pending]);
            pending = k;
        }
    }
    if (pending >= 0) filters[pending]->run(1, in[pending], out[pending]);
}

// --- effect entry points -----------------------------------------------------------------

// Target cutoffs of the effect kernel (lanes 0 and 1; 2 and 3 mirror them).
void TFilter::setEffectTargets(float left, float right, float sep) {
    const float base = 20.0f * keyFactor;
    const Lanes4 v = clampNaN(Lanes4{left, right, left, right} + velOffset, 0.0f, 1.0f);
    const Lanes4 sideGain = {base / sep, base * sep, base / sep, base * sep};
    fTarget[0] = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
    lastV[0] = splat(std::nanf(""));  // the voice entry point maps its own cutoffs again
}

void TFilter::process(float cutoff, float separation, stereoStruct mod, float resonance,
                      float morphValue, stereoOverStruct in, stereoOverStruct& out) {
    lastMod = mod;
    res = saneResonance(resonance);
    morph = clampNaN(morphValue, 0.0f, 1.0f);
    smoothCutoff[0] = smoothTarget(cutoff, smoothCutoff[0]);
    smoothCutoff[1] = smoothCutoff[0];
    direct = false;
    setEffectTargets(smoothCutoff[0] + mod.left, smoothCutoff[0] + mod.right, separation);
    runEffectKernel(in, out);
}

void TFilter::process(stereoStruct cutoff, stereoStruct mod, float resonance, float morphValue,
                      stereoOverStruct in, stereoOverStruct& out) {
    lastMod = mod;
    res = saneResonance(resonance);
    morph = clampNaN(morphValue, 0.0f, 1.0f);
    smoothCutoff[0] = smoothTarget(cutoff.left, smoothCutoff[0]);
    smoothCutoff[1] = smoothTarget(cutoff.right, smoothCutoff[1]);
    direct = false;
    setEffectTargets(smoothCutoff[0] + mod.left, smoothCutoff[1] + mod.right, 1.0f);
    runEffectKernel(in, out);
}

void TFilter::process(stereoOverStruct in, stereoOverStruct& out) { runEffectKernel(in, out); }

// One oversampled stereo sample through the two-pole zero-delay kernel (lanes 0 and 1; the
// other two mirror them). Its coefficients are kept apart from the voice entry point's.
void TFilter::runEffectKernel(const stereoOverStruct& in, stereoOverStruct& out) {
    if (mode == kFilterBypass) {
        out = in;
        return;
    }
    Pair& P = pairs[0];
    const Lanes4 d = fTarget[0] - fUsed[0];
    if (mode != lastEffectMode || std::fabs(res - coefRes) > 1e-5f ||
        std::fabs(morph - coefMorph) > 1e-5f || anyLane(d > 1e-5f || d < -1e-5f)) {
        const float R = FilterZQ[(int)(res * 0.995f * 131071.0f)];
        const Lanes4 g = gather(FilterZTan, tableIndexes((fTarget[0] + 0.001f) * halfInvRate + kGuard));
        fUsed[0] = fTarget[0];
        zeroDelayCoefficients(g, R, P.zdA1, P.zdA2, P.zdA3);
        P.zdK = splat(2.0f * R);
        const Taps t = zeroDelayTaps(mode, morph);
        tapLow = t.low;
        tapBand = t.band;
        tapHigh = t.high;
        coefRes = res;
        coefMorph = morph;
        lastEffectMode = mode;
        lastMode = -1;  // the voice entry point recomputes its own coefficients
        lastPairs = 0;
    }
    const Taps taps = {tapLow, tapBand, tapHigh};
    for (int s = 0; s < 2; ++s) {
        const Lanes4 x =
            Lanes4{in.sub[s].left, in.sub[s].right, in.sub[s].left, in.sub[s].right} * 0.1f + kGuard;
        const Lanes4 y = scaleOut(zeroDelay(P, 0, x, taps));
        out.sub[s].left = y[0];
        out.sub[s].right = y[1];
    }
    dropTiny(P.zdS1[0]);
    dropTiny(P.zdS2[0]);
}
