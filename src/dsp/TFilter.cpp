// The multimode voice filter: cutoff tracking, coefficient updates from the shared tables,
// and the kernels of the 35 modes on four-lane copy pairs.
#include "dsp/TFilter.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "dsp/FilterTables.h"
#include "dsp/LaneDispatch.h"
#include "dsp/TFilterKernels.h"

using namespace filtermath;

#if TAV_WIDE_LANES
// GCC notes that functions taking or returning eight-lane values pass them differently
// without AVX. The eight-lane kernels here are always inlined into the AVX2 functions and
// never called, so nothing is ever passed that way. (The note comes where the templates
// are instantiated, at the end of the file, so it is switched off for the whole file.)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

const int UNI_SPLIT_NUM[kFilterMaxCopies + 1] = {1, 1, 1, 2, 2, 3, 3};

// Eight filters' comb lines to a slab: three 2 MB pages exactly.
largepages::Slabs TFilter::combSlabs{sizeof(TFilter::CombLines), kCombLinesPerSlab};

namespace {


// Formant frequencies in Hz of the vowels A, E, I, O, U.
constexpr float kVowels[5][4] = {
    {650.0f, 1080.0f, 2650.0f, 2900.0f},
    {400.0f, 1700.0f, 2600.0f, 3200.0f},
    {290.0f, 1870.0f, 2800.0f, 3250.0f},
    {400.0f, 800.0f, 2800.0f, 3000.0f},
    {350.0f, 600.0f, 2700.0f, 2900.0f},
};

// Cutoff inputs are normalised around 0..1; anything not finite or absurdly large would
// poison the smoothed cutoff for the rest of the note.
inline float saneCutoff(float c) { return clampNaN(c, -16.0f, 16.0f); }

inline float saneResonance(float r) { return clampNaN(r, 0.0f, 1.0f) * 0.95f; }

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

// The resonant state-variable modes of one section (coefficients: tuning and damping).
bool isStateVariable(int mode) { return mode >= kFilterLow12 && mode <= kFilterNotch12; }

bool isComb(int mode) { return mode >= kFilterCombPositive && mode <= kFilterCombPingPong; }

bool isZeroDelay(int mode) {
    return (mode >= kFilterZeroLow12 && mode <= kFilterZeroLowBandHigh12) ||
           (mode >= kFilterZeroLow24 && mode <= kFilterZeroLowBandHigh24);
}

// Modes whose coefficients are functions of the table entry of the cutoff, the resonance
// and the mode alone, as one bit per mode: the test runs on every moving-cutoff call.
constexpr uint64_t modeBits(int first, int last) {
    uint64_t m = 0;
    for (int i = first; i <= last; ++i) m |= uint64_t{1} << i;
    return m;
}
constexpr uint64_t kByTableEntry =
    modeBits(kFilterLow12, kFilterNotch12) | modeBits(kFilterZeroLow12, kFilterZeroLowBandHigh12) |
    modeBits(kFilterZeroLow24, kFilterZeroLowBandHigh24) | modeBits(kFilterLow24, kFilterNotch24) |
    modeBits(kFilterLow36, kFilterHigh36);
bool byTableEntry(int mode) { return (kByTableEntry >> mode) & 1u; }

uint32_t floatBits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

}  // namespace

// --- set-up --------------------------------------------------------------------------

void TFilter::init(float sampleRate) {
    releaseHeld();
    if (!(sampleRate >= 1000.0f) || !std::isfinite(sampleRate)) sampleRate = 44100.0f;
    rate = sampleRate;
    halfInvRate = 1.0f / (2.0f * rate);
    tableScale = 262143.0f / (2.0f * rate);
    ceiling = 0.38f * rate;
    rateLanes = Lanes4{ceiling, ceiling, halfInvRate, halfInvRate};
    keyFactor = 1.0f;
    trackMemo.known = false;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    smoothCutoff[0] = smoothCutoff[1] = 0.0f;
    lastMod = {0.0f, 0.0f};
    res = 0.0f;
    morph = 0.0f;
    for (int p = 0; p < kFilterMaxPairs; ++p) cut[p].fTarget = cut[p].fUsed = splat(0.0f);
    std::memset(combDelay, 0, sizeof combDelay);
    reset();
    updatePairKey();
}

void TFilter::reset() {
    releaseHeld();
    std::memset(&pairs[0], 0, sizeof pairs[0]);
    cut[0].lastV = splat(std::nanf(""));  // no cutoff mapped yet
    pairsCleared = 1;
    std::memset(combPos, 0, sizeof combPos);
    // The comb lines themselves are not touched: a frame reads as zero until it has been
    // written again, which gives the output of cleared lines without clearing 768 KiB per
    // filter at every note start.
    std::memset(combWritten, 0, sizeof combWritten);
    lastMode = -1;
    lastEffectMode = -1;
    lastPairs = 0;
    direct = true;
    unsettle();
}

// What reset() would have left in the pairs a larger note count now reaches.
void TFilter::clearPairsFrom(int pairCount) {
    for (int p = pairsCleared; p < pairCount; ++p) {
        std::memset(&pairs[p], 0, sizeof pairs[p]);
        cut[p].lastV = splat(std::nanf(""));
    }
    pairsCleared = pairCount;
}

void TFilter::setType(int newMode, bool clear) {
    newMode = newMode < 0 ? 0 : (newMode >= kFilterModeCount ? kFilterModeCount - 1 : newMode);
    if (newMode == mode) return;
    if (clear) reset();
    mode = newMode;
    unsettle();
    updatePairKey();
}

void TFilter::setTrack(float amount, float key) {
    if (!trackMemo.changed(amount, key)) return;
    if (assignChanged(keyFactor, std::exp2(amount * key))) unsettle();
}

void TFilter::setVel(float amount, float velocity) {
    if (assignChanged(velOffset, (velocity - 0.5f) * amount)) unsettle();
}

// Kept after every change of the mode, the taps or the resonance.
void TFilter::updatePairKey() {
    LaneInts4 k = {mode, 0, 0, 0};
    if (isComb(mode))
        k[0] = -1;
    else if (isZeroDelay(mode))
        k = LaneInts4{mode, (int32_t)floatBits(tapLow), (int32_t)floatBits(tapBand),
                      (int32_t)floatBits(tapHigh)};
    else if (mode == kFilterRingMod || mode == kFilterAmpMod)
        k[1] = (int32_t)floatBits(res);
    pairKey = k;
    entryHolds0 = byTableEntry(mode) && res == entryRes0;
    sineHolds0 = entryHolds0 && isStateVariable(mode);
}


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
    // (read by the formant modes alone; any change of mode brings a new shared update)
    if (mode == kFilterFormant1 || mode == kFilterFormant2) {
        const int tq = (int)(r * 131071.0f);
        formantInv = FilterInvTmpq[tq];
        formantQs = FilterTmpqs[tq];
    }
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
    updatePairKey();
}

// Coefficients of one copy pair from its target cutoffs. The frequency- and resonance-
// dependent terms are table reads; the arithmetic runs on the four lanes at once. In the
// modes whose coefficients depend on the cutoff only through the table entry, a cutoff that
// moved within its entry (an envelope moves it a little every sample) at the same resonance
// leaves them as they are, unless `shared` (mode, resonance, morph or a reset) asks for all.
//
// The entry check is inlined into the voice calls; the update itself is not.
// The pair's cutoff in use takes its target; returns the target's table entries, and its
// normalised frequency in nf.
inline __attribute__((always_inline)) LaneInts4 TFilter::useTargetEntries(int p, Lanes4& nf) {
    // The vector constants as memory operands (see opaqueConstants); the values and so the
    // results are those of (f + 0.001f) * halfInvRate + kGuard and tableIndexes(nf).
    const CutoffConstants& k = cutoffConstants();
    const Lanes4 f = cut[p].fTarget;
    cut[p].fUsed = f;
    nf = (f + k.milli) * rateLanes[2] + k.guard;  // halfInvRate, from the line read here
    return __builtin_convertvector(minLanes(maxLanes(nf * k.top, Lanes4{}), k.top), LaneInts4);
}

inline __attribute__((always_inline)) void TFilter::recomputePair(int p, bool shared) {
    Lanes4 nf;
    const LaneInts4 idx = useTargetEntries(p, nf);
    if (!shared && byTableEntry(mode) && res == entryResOf(p) &&
        sameLanes(idx, cut[p].lastEntry))
        return;
    recomputeCoefficients(p, nf, idx);
}

// The coefficients of pair p from its target cutoffs f (fTarget), their normalised
// positions nf and table entries idx.
void TFilter::recomputeCoefficients(int p, Lanes4 nf, LaneInts4 idx) {
    Pair& P = pairs[p];
    const Lanes4 f = cut[p].fTarget;
    const float r = res;
    cut[p].lastEntry = idx;
    entryResOf(p) = r;
    if (p == 0) {
        entryHolds0 = byTableEntry(mode) && r == r;
        sineHolds0 = entryHolds0 && isStateVariable(mode);
    }
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
            P.bqB0 = a0;
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


// Both sub-samples of one copy pair in the current mode (everything but bypass and combs).
void TFilter::runPair(Pair& P, const Lanes4 (&x)[2], Lanes4 (&y)[2]) const {
    const KernelParams k{mode, {tapLow, tapBand, tapHigh}, res + kGuard};
    switch (mode) {
        case kFilterLow6:
        case kFilterHigh6: runOnePoleFamily(P, k, x, y); break;
        case kFilterLow12:
        case kFilterHigh12:
        case kFilterBand12:
        case kFilterNotch12: runStateVariableFamily(P, k, x, y); break;
        case kFilterLow18:
        case kFilterHigh18: run18Family(P, k, x, y); break;
        case kFilterLow24: run24Family<kFilterLow24>(P, k, x, y); break;
        case kFilterHigh24: run24Family<kFilterHigh24>(P, k, x, y); break;
        case kFilterBand24:
        case kFilterNotch24: runLadderFamily(P, k, x, y); break;
        case kFilterLow36:
        case kFilterHigh36: run36Family(P, k, x, y); break;
        case kFilterVocal:
        case kFilterFormant1:
        case kFilterFormant2: runResonatorFamily(P, k, x, y); break;
        case kFilterRingMod:
        case kFilterAmpMod: runModulateFamily(P, k, x, y); break;
        default: runZeroDelayFamily(P, k, x, y); break;
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
    releaseHeld();
    if (mode == kFilterBypass) {
        if (out != in)
            for (int c = 0; c < copies; ++c) out[c] = in[c];
        return 0;
    }
    // More notes than the filter has lanes for pass unfiltered.
    for (int c = kFilterMaxCopies; c < copies; ++c) out[c] = in[c];
    const int n = copies < kFilterMaxCopies ? copies : kFilterMaxCopies;
    const int pairCount = UNI_SPLIT_NUM[n];
    clearPairs(pairCount);
    const float args[7] = {cutoff.left, cutoff.right, mod.left,   mod.right,
                           separation,  resonance,    morphValue};
    if ((memo.quiet || steady) && memo.same(args, n)) {
        if (!memo.quiet) prepareEnvelopes(n);
        return n;
    }

    const float r = saneResonance(resonance);
    const float m = clampNaN(morphValue, 0.0f, 1.0f);
    const bool wasDirect = direct;
    const float s0 = smoothTarget(cutoff.left, smoothCutoff[0]);
    const float s1 = smoothTarget(cutoff.right, smoothCutoff[1]);
    bool changed = assignChanged(lastMod.left, mod.left);
    changed |= assignChanged(lastMod.right, mod.right);
    const bool resMoved = assignChanged(res, r);
    changed |= resMoved;
    changed |= assignChanged(morph, m);
    bool smoothing = assignChanged(smoothCutoff[0], s0);
    smoothing |= assignChanged(smoothCutoff[1], s1);
    changed |= smoothing;
    if (wasDirect) {
        direct = false;
        changed = true;
    }

    const bool shared = mode != lastMode || pairCount > lastPairs ||
                        std::fabs(r - coefRes) > 1e-5f || std::fabs(m - coefMorph) > 1e-5f;
    changed |= shared;
    if (shared)
        updateShared(pairCount);
    else if (resMoved)
        updatePairKey();

    // Normalised cutoff per lane (a lane beyond the copy count mirrors the last copy), mapped
    // to Hz only when it, the key factor or the separation moved.
    const float cl = mod.left + velOffset + s0;
    const float cr = mod.right + velOffset + s1;
    const Lanes4 common = {cl, cr, cl, cr};
    lastCommon = common;
    const bool sameMap = keyFactor == lastKey && separation == lastSep;
    // The side gains, divisions included, only when the key factor or separation moved.
    const uint32_t keyBits = floatBits(keyFactor), sepBits = floatBits(separation);
    if (keyBits != gainKeyBits || sepBits != gainSepBits) {
        const float base = 20.0f * keyFactor;
        sideGain = Lanes4{base / separation, base * separation, base / separation,
                          base * separation};
        gainKeyBits = keyBits;
        gainSepBits = sepBits;
    }
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != cut[p].lastV)) {
            changed = true;
            cut[p].lastV = v;
            cut[p].fTarget = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
            const Lanes4 d = cut[p].fTarget - cut[p].fUsed;
            moved |= anyLane(d > 1e-5f || d < -1e-5f);
        }
        if (moved) recomputePair(p, shared);
    }
    changed |= assignChanged(lastKey, keyFactor);
    changed |= assignChanged(lastSep, separation);
    memo.record(args, n, changed);
    // The same arguments next time find the smoothing where it is now (a step from a
    // settled value gives that value again) and map with the same key factor and
    // separation (equal to themselves, so not NaN): only the envelopes can move then.
    steady = !wasDirect && !smoothing && keyFactor == keyFactor && separation == separation;
    return n;
}

// The rest of a voice call whose arguments are those of the last one, after a call that
// left the filter steady: prepare() would find every scalar as it is, so only the envelope
// part of each pair's cutoffs is mapped again, with the kept common lanes and side gains.
// The result is that of prepare(), bit for bit.
__attribute__((always_inline)) inline void TFilter::prepareEnvelopes(int n) {
    // The arithmetic of prepare() with its vector constants as memory operands.
    const CutoffConstants& k = cutoffConstants();
    const int pairCount = UNI_SPLIT_NUM[n];
    bool changed = false;
    for (int p = 0; p < pairCount; ++p) {
        // One note: its envelope slot holds its value in every lane, which is already
        // pairEnvelopes(env, 0, 1).
        const Lanes4 e = n == 1 ? env[0] : pairEnvelopes(env, p, n);
        const Lanes4 v = minLanes(maxLanes(e + lastCommon, Lanes4{}), k.one);
        if (!anyLane(v != cut[p].lastV)) continue;
        changed = true;
        cut[p].lastV = v;
        cut[p].fTarget = boundCutoff(exp2CutoffInRange(k.ten * v, k) * sideGain, rateLanes[0]);
        // |d| > step, which is d > step || d < -step for every d (NaN included)
        const Lanes4 d = cut[p].fTarget - cut[p].fUsed;
        const Lanes4 size = (Lanes4)((LaneInts4)d & (LaneInts4)k.absMask);
        if (anyLane(k.step < size)) retunePair(p, n);
    }
    memo.quiet = !changed;
}

// recomputePair(p, false) after an envelope step of n notes. In the state-variable modes of
// one section the table entries are the only input that moves here: at the resonance the
// coefficients were computed for, damping (a function of the resonance alone) is already
// what recomputeCoefficients() would write, so only the tuning is read again.
__attribute__((always_inline)) inline void TFilter::retunePair(int p, int n) {
    Lanes4 nf;
    const LaneInts4 idx = useTargetEntries(p, nf);
    if (p == 0 ? entryHolds0 : byTableEntry(mode) && res == entryResOf(p)) {
        if (sameLanes(idx, cut[p].lastEntry)) return;
        if (p == 0 ? sineHolds0 : mode >= kFilterLow12 && mode <= kFilterNotch12) {
            cut[p].lastEntry = idx;
            // One note: lanes 2 and 3 repeat lanes 0 and 1 (the same envelope and common
            // lanes), so two reads give all four. (The entries are 0..262143: read as
            // unsigned, they need no sign extension.)
            if (n == 1) {
                const float t0 = FilterSine[(uint32_t)idx[0]], t1 = FilterSine[(uint32_t)idx[1]];
                pairs[p].svF = Lanes4{t0, t1, t0, t1};
            } else {
                pairs[p].svF = gather(FilterSine, idx);
            }
            return;
        }
    }
    recomputeCoefficients(p, nf, idx);
}

// The same for one note, with the count known here.
void TFilter::prepareNoteEnvelope() {
    releaseHeld();
    prepareEnvelopes(1);
}

// --- the envelope steps of two voices ----------------------------------------------------
//
// A one-note voice's cutoff lanes 2 and 3 repeat lanes 0 and 1 in the step (its envelope
// slot holds one value, its common lanes and side gains are {left, right, left, right}), so
// two voices' lanes 0 and 1 side by side go through the mapping of prepareEnvelopes() in
// one vector, lane for lane the same arithmetic; each voice then takes its half back in
// both places for the comparisons and stores of its own.

// The rest of prepareEnvelopes(1) from the mapped lanes: v (the normalised cutoff), f (the
// target in Hz), and f's normalised position nf and table entries idx (what
// useTargetEntries() finds).
// Returns whether the coefficients are left to recompute (recomputeCoefficients(0, nf,
// idx), which reads nothing written after it here): two voices' steps take their common
// parts first and the rare recomputations last, so the common path makes no call.
template <bool Gather>
__attribute__((always_inline)) inline bool TFilter::followEnvelope(Lanes4 v, Lanes4 f,
                                                                   LaneInts4 idx) {
    const CutoffConstants& k = cutoffConstants();
    if (!anyLane(v != cut[0].lastV)) {
        memo.quiet = true;
        return false;
    }
    cut[0].lastV = v;
    cut[0].fTarget = f;
    const Lanes4 d = f - cut[0].fUsed;
    const Lanes4 size = (Lanes4)((LaneInts4)d & (LaneInts4)k.absMask);
    memo.quiet = false;
    return anyLane(k.step < size) && retuneNote<Gather>(idx);
}

// retunePair(0, 1) with the target's position and entries already found. With Gather (only
// where the processor has AVX2), the tuning of the state-variable modes of one section is
// read without a branch: one masked gather reads the table where an entry moved and keeps
// the tuning where it did not. While sineHolds0 holds, the tuning is the table read at the
// kept entries (every write of either writes both, and whatever breaks that - a reset, a
// mode change - sends the next call through prepare(), which recomputes), so the lanes it
// keeps are what a read would give: the result is that of the test below, whose outcome
// goes either way from one sample to the next as the envelope crosses entries.
template <bool Gather>
__attribute__((always_inline)) inline bool TFilter::retuneNote(LaneInts4 idx) {
    cut[0].fUsed = cut[0].fTarget;
    if (Gather && sineHolds0) {
        LaneInts4 moved = idx != cut[0].lastEntry;  // all bits set where an entry moved
        Lanes4 tuning = pairs[0].svF;
        asm("vgatherdps %[moved], (%[table],%[idx],4), %[tuning]"
            : [tuning] "+&x"(tuning), [moved] "+&x"(moved)
            : [table] "r"(FilterSine), [idx] "x"(idx),
              "m"(*reinterpret_cast<const float(*)[kFilterTableSize]>(FilterSine)));
        cut[0].lastEntry = idx;
        pairs[0].svF = tuning;
        return false;
    }
    if (entryHolds0) {
        if (sameLanes(idx, cut[0].lastEntry)) return false;
        if (sineHolds0) {
            cut[0].lastEntry = idx;
            const float t0 = FilterSine[(uint32_t)idx[0]], t1 = FilterSine[(uint32_t)idx[1]];
            pairs[0].svF = Lanes4{t0, t1, t0, t1};
            return false;
        }
    }
    return true;
}

template <bool Gather>
__attribute__((always_inline)) inline void TFilter::followTwo(TFilter& a, TFilter& b) {
    const CutoffConstants& k = cutoffConstants();
    const Lanes4 common = lowHalves(a.lastCommon, b.lastCommon);
    const Lanes4 v = minLanes(maxLanes(lowHalves(a.env[0], b.env[0]) + common, Lanes4{}), k.one);
    const Lanes4 gain = lowHalves(a.sideGain, b.sideGain);
    const Lanes4 ceilings = lowHalves(a.rateLanes, b.rateLanes);
    const Lanes4 f = minLanes(maxLanes(exp2CutoffInRange(k.ten * v, k) * gain, Lanes4{}), ceilings);
    const Lanes4 halfInv = highHalves(a.rateLanes, b.rateLanes);
    const Lanes4 nf = (f + k.milli) * halfInv + k.guard;
    const LaneInts4 idx =
        __builtin_convertvector(minLanes(maxLanes(nf * k.top, Lanes4{}), k.top), LaneInts4);
    const LaneInts4 idxA = (LaneInts4)dupLow((Lanes4)idx), idxB = (LaneInts4)dupHigh((Lanes4)idx);
    const bool recomputeA = a.followEnvelope<Gather>(dupLow(v), dupLow(f), idxA);
    const bool recomputeB = b.followEnvelope<Gather>(dupHigh(v), dupHigh(f), idxB);
    if (__builtin_expect(recomputeA, 0)) a.recomputeCoefficients(0, dupLow(nf), idxA);
    if (__builtin_expect(recomputeB, 0)) b.recomputeCoefficients(0, dupHigh(nf), idxB);
}

void TFilter::followTwoEnvelopes(TFilter& a, TFilter& b) {
    a.releaseHeld();
    b.releaseHeld();
#if TAV_WIDE_LANES
    if (lanes::wide()) return followTwo<true>(a, b);
#endif
    followTwo<false>(a, b);
}

// The filtering of a prepared call of n notes.
void TFilter::run(int n, const stereoOverStruct* in, stereoOverStruct* out) {
    releaseHeld();
    const int pairCount = UNI_SPLIT_NUM[n];
    clearPairs(pairCount);
    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    if (isComb(mode)) {
        runComb(pairCount, x, y);
        // The comb lanes were written one float at a time: read them back the same way (a
        // wide load of narrow stores still in flight would wait for them).
        for (int c = 0; c < n; ++c) {
            const int l = (c & 1) * 2;
            const Lanes4* yp = y[c >> 1];
            out[c].sub[0] = {yp[0][l], yp[0][l + 1]};
            out[c].sub[1] = {yp[1][l], yp[1][l + 1]};
        }
        return;
    }
    for (int p = 0; p < pairCount; ++p) runPair(pairs[p], x[p], y[p]);
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

constexpr KernelFields kOnePole = {{TAV_PAIR(opA), TAV_PAIR(opB)}, 2, {TAV_PAIR(opY)}, 1};
constexpr KernelFields kStateVariable = {
    {TAV_PAIR(svF), TAV_PAIR(svD)}, 2, {TAV_PAIR(svLow), TAV_PAIR(svBand)}, 2};
constexpr KernelFields k18 = {{TAV_PAIR(opA), TAV_PAIR(opB), TAV_PAIR(svF), TAV_PAIR(svD)},
                          4,
                          {TAV_PAIR(opY), TAV_PAIR(svLow), TAV_PAIR(svBand)},
                          3};
constexpr KernelFields k24 = {{TAV_PAIR(bqB0), TAV_PAIR(bqB1), TAV_PAIR(bqA1), TAV_PAIR(bqA2),
                           TAV_PAIR(svF), TAV_PAIR(svD)},
                          6,
                          {TAV_PAIR(svLow), TAV_PAIR(svBand), TAV_PAIR(bqX[0]), TAV_PAIR(bqX[1]),
                           TAV_PAIR(bqY[0]), TAV_PAIR(bqY[1])},
                          6};
constexpr KernelFields kLadder = {{TAV_PAIR(ldP), TAV_PAIR(ldK), TAV_PAIR(ldQ)},
                              3,
                              {TAV_PAIR(ldB[0]), TAV_PAIR(ldB[1]), TAV_PAIR(ldB[2]),
                               TAV_PAIR(ldB[3]), TAV_PAIR(ldB[4])},
                              5};
constexpr KernelFields k36 = {{TAV_PAIR(bqB0), TAV_PAIR(bqB1), TAV_PAIR(bqA1), TAV_PAIR(bqA2),
                           TAV_PAIR(ldP), TAV_PAIR(ldK), TAV_PAIR(ldQ)},
                          7,
                          {TAV_PAIR(ldB[0]), TAV_PAIR(ldB[1]), TAV_PAIR(ldB[2]), TAV_PAIR(ldB[3]),
                           TAV_PAIR(ldB[4]), TAV_PAIR(bqX[0]), TAV_PAIR(bqX[1]), TAV_PAIR(bqY[0]),
                           TAV_PAIR(bqY[1])},
                          9};
constexpr KernelFields kResonators = {
    {TAV_PAIR(fmB0[0]), TAV_PAIR(fmB0[1]), TAV_PAIR(fmB0[2]), TAV_PAIR(fmB0[3]),
     TAV_PAIR(fmA1[0]), TAV_PAIR(fmA1[1]), TAV_PAIR(fmA1[2]), TAV_PAIR(fmA1[3]),
     TAV_PAIR(fmA2[0]), TAV_PAIR(fmA2[1]), TAV_PAIR(fmA2[2]), TAV_PAIR(fmA2[3])},
    12,
    {TAV_PAIR(fmX[0]), TAV_PAIR(fmX[1]), TAV_PAIR(fmY[0][0]), TAV_PAIR(fmY[0][1]),
     TAV_PAIR(fmY[1][0]), TAV_PAIR(fmY[1][1]), TAV_PAIR(fmY[2][0]), TAV_PAIR(fmY[2][1]),
     TAV_PAIR(fmY[3][0]), TAV_PAIR(fmY[3][1])},
    10};
constexpr KernelFields kModulate = {{TAV_PAIR(rmInc)}, 1, {TAV_PAIR(rmPhase)}, 1};
constexpr KernelFields kZeroDelay = {
    {TAV_PAIR(zdA1), TAV_PAIR(zdA2), TAV_PAIR(zdA3), TAV_PAIR(zdK)},
    4,
    {TAV_PAIR(zdS1[0]), TAV_PAIR(zdS1[1]), TAV_PAIR(zdS2[0]), TAV_PAIR(zdS2[1])},
    4};
#undef TAV_PAIR

// Two pairs' fields merged into one (a in lanes 0 and 1, b in 2 and 3), one kernel run,
// the states split back. With the field list and the kernel known here the compiler keeps
// the merged pair in registers.
template <const KernelFields& F, class Family>
inline void runMerged(Pair& a, Pair& b, const KernelParams& k, const Lanes4 (&x)[2],
                      Lanes4 (&y)[2]) {
    Pair merged;
    Lanes4* m = reinterpret_cast<Lanes4*>(&merged);
    const Lanes4* pa = reinterpret_cast<const Lanes4*>(&a);
    const Lanes4* pb = reinterpret_cast<const Lanes4*>(&b);
    for (int i = 0; i < F.coefCount; ++i) m[F.coef[i]] = mergeNotes(pa[F.coef[i]], pb[F.coef[i]]);
    for (int i = 0; i < F.stateCount; ++i)
        m[F.state[i]] = mergeNotes(pa[F.state[i]], pb[F.state[i]]);
    Family::go(merged, k, x, y);
    Lanes4* wa = reinterpret_cast<Lanes4*>(&a);
    Lanes4* wb = reinterpret_cast<Lanes4*>(&b);
    for (int i = 0; i < F.stateCount; ++i) splitNotes(m[F.state[i]], wa[F.state[i]], wb[F.state[i]]);
}

// Calls run.template go<F, Family>() for the family of a mode. (A macro, so that the AVX2
// functions below expand it in their own body: a function of the baseline target in
// between could not inline their eight-lane kernels.)
#define TAV_FOR_FAMILY(mode, run)                                                           \
    switch (mode) {                                                                         \
        case kFilterLow6:                                                                   \
        case kFilterHigh6: run.template go<kOnePole, OnePoleFamily>(); break;               \
        case kFilterLow12:                                                                  \
        case kFilterHigh12:                                                                 \
        case kFilterBand12:                                                                 \
        case kFilterNotch12: run.template go<kStateVariable, StateVariableFamily>(); break; \
        case kFilterLow18:                                                                  \
        case kFilterHigh18: run.template go<k18, Family18>(); break;                        \
        case kFilterLow24: run.template go<k24, FamilyLow24>(); break;                      \
        case kFilterHigh24: run.template go<k24, FamilyHigh24>(); break;                    \
        case kFilterBand24:                                                                 \
        case kFilterNotch24: run.template go<kLadder, LadderFamily>(); break;               \
        case kFilterLow36:                                                                  \
        case kFilterHigh36: run.template go<k36, Family36>(); break;                        \
        case kFilterVocal:                                                                  \
        case kFilterFormant1:                                                               \
        case kFilterFormant2: run.template go<kResonators, ResonatorFamily>(); break;       \
        case kFilterRingMod:                                                                \
        case kFilterAmpMod: run.template go<kModulate, ModulateFamily>(); break;            \
        default: run.template go<kZeroDelay, ZeroDelayFamily>(); break;                     \
    }

template <class Run>
inline void forFamily(int mode, Run&& run) {
    TAV_FOR_FAMILY(mode, run)
}

struct PairRun {
    Pair& a;
    Pair& b;
    const KernelParams& k;
    const Lanes4 (&x)[2];
    Lanes4 (&y)[2];
    template <const KernelFields& F, class Family>
    void go() {
        runMerged<F, Family>(a, b, k, x, y);
    }
};

#if TAV_WIDE_LANES
// Four pairs' fields merged into eight lanes (a, b, c, d, two lanes each), one kernel run,
// the states split back: runMerged for two pairs of pairs at once.
template <const KernelFields& F, class Family>
__attribute__((always_inline, target("avx2"))) inline void runMergedQuad(Pair& a, Pair& b, Pair& c, Pair& d,
                                                   const KernelParams& k, Lanes4 (&ab)[2],
                                                   Lanes4 (&cd)[2]) {
    TFilter::PairT<Lanes8> merged;
    Lanes8* m = reinterpret_cast<Lanes8*>(&merged);
    Lanes4* w[4] = {reinterpret_cast<Lanes4*>(&a), reinterpret_cast<Lanes4*>(&b),
                    reinterpret_cast<Lanes4*>(&c), reinterpret_cast<Lanes4*>(&d)};
    for (int i = 0; i < F.coefCount; ++i) {
        const int f = F.coef[i];
        loadNoteHalves(m[f], w[0][f], w[1][f], w[2][f], w[3][f]);
    }
    for (int i = 0; i < F.stateCount; ++i) {
        const int f = F.state[i];
        loadNoteHalves(m[f], w[0][f], w[1][f], w[2][f], w[3][f]);
    }
    Lanes8 x[2], y[2];
    for (int s = 0; s < 2; ++s)
        x[s] = __builtin_shufflevector(ab[s], cd[s], 0, 1, 2, 3, 4, 5, 6, 7) *
                   lanesOf<Lanes8>(kernelConstants().tenth) +
               lanesOf<Lanes8>(kernelConstants().guard);
    Family::go(merged, k, x, y);
    for (int i = 0; i < F.stateCount; ++i) {
        const int f = F.state[i];
        storeNoteHalves(m[f], w[0][f], w[1][f], w[2][f], w[3][f]);
    }
    for (int s = 0; s < 2; ++s) {
        ab[s] = __builtin_shufflevector(y[s], y[s], 0, 1, 2, 3);
        cd[s] = __builtin_shufflevector(y[s], y[s], 4, 5, 6, 7);
    }
}

// The kernel parameters are built in go(), the taps and depth only for the families that
// read them (the others read the mode alone).
struct QuadRun {
    Pair& a;
    Pair& b;
    Pair& c;
    Pair& d;
    int mode;
    const float& tapLow;
    const float& tapBand;
    const float& tapHigh;
    const float& res;
    Lanes4 (&ab)[2];
    Lanes4 (&cd)[2];
    template <const KernelFields& F, class Family>
    __attribute__((always_inline, target("avx2"))) void go() {
        if constexpr (&F == &kZeroDelay || &F == &kModulate) {
            const KernelParams k{mode, {tapLow, tapBand, tapHigh}, res + kGuard};
            runMergedQuad<F, Family>(a, b, c, d, k, ab, cd);
        } else {
            const KernelParams k{mode, {0.0f, 0.0f, 0.0f}, 0.0f};
            runMergedQuad<F, Family>(a, b, c, d, k, ab, cd);
        }
    }
};

#endif

}  // namespace

#if TAV_WIDE_LANES
// Helpers of the eight-lane envelope steps, forced inline into them: the halves.
#define TAV_WIDE_HELPER __attribute__((always_inline, target("avx2"))) inline
namespace {
TAV_WIDE_HELPER Lanes4 low(const Lanes8& v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
TAV_WIDE_HELPER Lanes4 high(const Lanes8& v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
}  // namespace
#undef TAV_WIDE_HELPER

// The eight-lane run of one mode, the mode known to the kernel (its output weights and
// branches fold away); picked from a table by the mode, so a quad run is one indirect call.
// The taps and depth are read only by the families that use them.
struct TFilterQuadRuns {
    using Fn = void (*)(TFilter&, TFilter&, TFilter&, TFilter&, Lanes4 (&)[2], Lanes4 (&)[2]);

    template <int Mode>
    __attribute__((target("avx2"))) static void run(TFilter& a, TFilter& b, TFilter& c, TFilter& d,
                                                    Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
        QuadRun q{a.pairs[0], b.pairs[0], c.pairs[0], d.pairs[0], Mode,
                  a.tapLow,   a.tapBand,  a.tapHigh,  a.res,      ab, cd};
        TAV_FOR_FAMILY(Mode, q)
    }

    // The rare recomputations after follow(), out of line.
    __attribute__((noinline)) static void recompute(TFilter& a, TFilter& b, TFilter& c,
                                                    TFilter& d, bool ra, bool rb, bool rc,
                                                    bool rd, Lanes4 n0, Lanes4 n1,
                                                    LaneInts4 ia, LaneInts4 ib, LaneInts4 ic,
                                                    LaneInts4 id) {
        using filtermath::dupLow;
        using filtermath::dupHigh;
        if (ra) a.recomputeCoefficients(0, dupLow(n0), ia);
        if (rb) b.recomputeCoefficients(0, dupHigh(n0), ib);
        if (rc) c.recomputeCoefficients(0, dupLow(n1), ic);
        if (rd) d.recomputeCoefficients(0, dupHigh(n1), id);
    }

    // followTwoEnvelopes(a, b) and (c, d) in one: the four voices' note lanes side by side
    // (as loadNoteHalves places them) through the same arithmetic, lane for lane, then each
    // voice's half back in both places for the steps of its own.
    __attribute__((target("avx2"))) static void follow(TFilter& a, TFilter& b, TFilter& c,
                                                       TFilter& d) {
        using namespace filtermath;
        using Ints8 = decltype(Lanes8{} < Lanes8{});
        Lanes8 common, env, gain;
        loadNoteHalves(common, a.lastCommon, b.lastCommon, c.lastCommon, d.lastCommon);
        loadNoteHalves(env, a.env[0], b.env[0], c.env[0], d.env[0]);
        loadNoteHalves(gain, a.sideGain, b.sideGain, c.sideGain, d.sideGain);
        Lanes8 ceilings;
        loadNoteHalves(ceilings, a.rateLanes, b.rateLanes, c.rateLanes, d.rateLanes);
        // the high halves of the rate lanes: {halfInvRate, halfInvRate} of each voice
        const Lanes4 ha = highHalves(a.rateLanes, b.rateLanes);
        const Lanes4 hc = highHalves(c.rateLanes, d.rateLanes);
        const Lanes8 halfInv = __builtin_shufflevector(ha, hc, 0, 1, 2, 3, 4, 5, 6, 7);
        const WideCutoff m = wideCutoff(env, common, gain, ceilings, halfInv);
        const Lanes8 v = m.level, f = m.cutoff, nf = m.normal;
        const Ints8 idx = m.entry;
        const Lanes4 v0 = low(v), v1 = high(v), f0 = low(f), f1 = high(f);
        const Lanes4 n0 = low(nf), n1 = high(nf);
        const Lanes4 i0 = low((Lanes8)idx), i1 = high((Lanes8)idx);
        const LaneInts4 ia = (LaneInts4)dupLow(i0), ib = (LaneInts4)dupHigh(i0);
        const LaneInts4 ic = (LaneInts4)dupLow(i1), id = (LaneInts4)dupHigh(i1);
        const bool ra = a.followEnvelope<true>(dupLow(v0), dupLow(f0), ia);
        const bool rb = b.followEnvelope<true>(dupHigh(v0), dupHigh(f0), ib);
        const bool rc = c.followEnvelope<true>(dupLow(v1), dupLow(f1), ic);
        const bool rd = d.followEnvelope<true>(dupHigh(v1), dupHigh(f1), id);
        if (__builtin_expect(ra | rb | rc | rd, 0))
            recompute(a, b, c, d, ra, rb, rc, rd, n0, n1, ia, ib, ic, id);
    }

    template <int... M>
    static constexpr std::array<Fn, sizeof...(M)> table(std::integer_sequence<int, M...>) {
        return {&run<M>...};
    }
};

namespace {
constexpr auto kQuadRuns =
    TFilterQuadRuns::table(std::make_integer_sequence<int, kFilterModeCount>{});
}  // namespace
#endif
#undef TAV_FOR_FAMILY

// followTwoEnvelopes(a, b) and (c, d); with AVX2 one eight-lane mapping (TFilterQuadRuns).
namespace {
// The four-lane form, kept out of line so that the eight-lane one is a plain jump.
__attribute__((noinline)) void followTwoPairs(TFilter& a, TFilter& b, TFilter& c, TFilter& d) {
    TFilter::followNotePair(a, TFilter::kNoteFollow, b, TFilter::kNoteFollow);
    TFilter::followNotePair(c, TFilter::kNoteFollow, d, TFilter::kNoteFollow);
}
}  // namespace

void TFilter::followFourEnvelopes(TFilter& a, TFilter& b, TFilter& c, TFilter& d) {
    releaseFour(a, b, c, d);
#if TAV_WIDE_LANES
    if (lanes::wide()) return TFilterQuadRuns::follow(a, b, c, d);
#endif
    followTwoPairs(a, b, c, d);
}

// Two prepared voices of one note each and the same kernel (mode, output taps and depth)
// through one run: the fields of their pairs that the kernel uses are merged into one pair,
// voice a in lanes 0 and 1, voice b in lanes 2 and 3, run, and the states split again.
void TFilter::runNotePair(TFilter& a, TFilter& b, Lanes4 (&lanes)[2]) {
    a.releaseHeld();
    b.releaseHeld();
    const KernelParams k{a.mode, {a.tapLow, a.tapBand, a.tapHigh}, a.res + kGuard};
    Lanes4 x[2];
    scaleIn(lanes, x);
    forFamily(a.mode, PairRun{a.pairs[0], b.pairs[0], k, x, lanes});
}

namespace {
// The four-lane form of a quad run: two pair runs. Kept out of line, so that the eight-lane
// form is a plain jump.
__attribute__((noinline)) void runTwoPairs(TFilter& a, TFilter& b, TFilter& c, TFilter& d,
                                           Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
    TFilter::runNotePair(a, b, ab);
    TFilter::runNotePair(c, d, cd);
}
}  // namespace

void TFilter::runNoteQuad(TFilter& a, TFilter& b, TFilter& c, TFilter& d, Lanes4 (&ab)[2],
                          Lanes4 (&cd)[2]) {
    releaseFour(a, b, c, d);
#if TAV_WIDE_LANES
    if (lanes::wide()) {
        // a.mode is a valid mode (setType clamps it)
        kQuadRuns[a.mode](a, b, c, d, ab, cd);
        return;
    }
#endif
    runTwoPairs(a, b, c, d, ab, cd);
}



// --- effect entry points -----------------------------------------------------------------

// Target cutoffs of the effect kernel (lanes 0 and 1; 2 and 3 mirror them).
void TFilter::setEffectTargets(float left, float right, float sep) {
    const float base = 20.0f * keyFactor;
    const Lanes4 v = clampNaN(Lanes4{left, right, left, right} + velOffset, 0.0f, 1.0f);
    const Lanes4 sideGain = {base / sep, base * sep, base / sep, base * sep};
    cut[0].fTarget = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
    cut[0].lastV = splat(std::nanf(""));  // the voice entry point maps its own cutoffs again
}

void TFilter::process(float cutoff, float separation, stereoStruct mod, float resonance,
                      float morphValue, stereoOverStruct in, stereoOverStruct& out) {
    lastMod = mod;
    if (assignChanged(res, saneResonance(resonance))) updatePairKey();
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
    if (assignChanged(res, saneResonance(resonance))) updatePairKey();
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
    releaseHeld();
    unsettle();  // the voice entry point's state is shared with this kernel
    if (mode == kFilterBypass) {
        out = in;
        return;
    }
    Pair& P = pairs[0];
    const Lanes4 d = cut[0].fTarget - cut[0].fUsed;
    if (mode != lastEffectMode || std::fabs(res - coefRes) > 1e-5f ||
        std::fabs(morph - coefMorph) > 1e-5f || anyLane(d > 1e-5f || d < -1e-5f)) {
        const float R = FilterZQ[(int)(res * 0.995f * 131071.0f)];
        const Lanes4 g =
            gather(FilterZTan, tableIndexes((cut[0].fTarget + 0.001f) * halfInvRate + kGuard));
        cut[0].fUsed = cut[0].fTarget;
        zeroDelayCoefficients(g, R, P.zdA1, P.zdA2, P.zdA3);
        P.zdK = splat(2.0f * R);
        const Taps t = zeroDelayTaps(mode, morph);
        tapLow = t.low;
        tapBand = t.band;
        tapHigh = t.high;
        updatePairKey();
        coefRes = res;
        coefMorph = morph;
        lastEffectMode = mode;
        lastMode = -1;  // the voice entry point recomputes its own coefficients
        lastPairs = 0;
    }
    const Taps taps = {tapLow, tapBand, tapHigh};
    ZeroDelay z(P, 0);
    for (int s = 0; s < 2; ++s) {
        const Lanes4 x =
            Lanes4{in.sub[s].left, in.sub[s].right, in.sub[s].left, in.sub[s].right} * 0.1f + kGuard;
        const Lanes4 y = scaleOut(z(x, taps));
        out.sub[s].left = y[0];
        out.sub[s].right = y[1];
    }
    dropTiny(z.s1);
    dropTiny(z.s2);
    z.store(P, 0);
}
