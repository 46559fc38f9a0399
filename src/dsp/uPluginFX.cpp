// The effect chain: after the distortion stage, the Mod FX, the stereo delay and the
// reverb in one of six orders. A layer routed to an effect enters the bus just before that
// effect, so its entry point moves with the effect's place in the order. Each stage has an
// on/off switch, a smoothed dry/wet mix and a pan of its wet signal.
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "plugin/uPlugin.h"

namespace {

constexpr float kDenormal = 1e-15f;
constexpr float kMixKeep = 0.999f;
constexpr float kMixTake = 0.0009999871f;

// Stage order per path: 0 Mod FX, 1 Delay, 2 Reverb.
constexpr int32_t FX_PATH_NO[8][3] = {
    {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}, {0, 0, 0}, {0, 0, 0},
};

// Per stage: on flag index, mix parameter, mix and pan destinations, output source.
struct StageInfo {
    int mixParam;
    int mixDest;
    int panDest;
    int outSource;
};
constexpr StageInfo kStages[3] = {
    {107, 338, 339, 126},  // Mod FX
    {113, 319, 320, 127},  // Delay
    {120, 329, 330, 128},  // Reverb
};

// Widen tap maxima in milliseconds, their per-update phase increments and depths.
constexpr float kWidenMaxMs[4] = {4.278032f, 17.379171f, 63.0f, 41.224243f};
constexpr float kWidenIncrement[4] = {5.642177e-5f, 3.706845e-5f, 6.4e-5f, 4.573257e-5f};
constexpr float kWidenDepth[4] = {5.0f / 99.0f, 3.0f / 99.0f, 3.0f / 99.0f, 6.0f / 99.0f};

inline float clamp01(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }  // NaN: 0
inline float clampf(float x, float lo, float hi) { return x > lo ? (x < hi ? x : hi) : lo; }
// std::fmin(1.0f, x) without the library call: x when below 1, else 1 (NaN gives 1 too).
inline float min1(float x) { return x < 1.0f ? x : 1.0f; }

// A float truncated toward zero into lo..hi (NaN gives lo).
// std::exp2(x) through a memo of the last argument and its power: the settings that the
// reverb's control update takes the powers of mostly stand.
inline float exp2Memo(float (&memo)[2], float x) {
    if (std::memcmp(&x, &memo[0], sizeof(x)) != 0) {
        memo[0] = x;
        memo[1] = std::exp2(x);
    }
    return memo[1];
}

inline int32_t saturate(float x, int32_t lo, int32_t hi) {
    if (!(x > (float)lo)) return lo;
    if (x >= (float)hi) return hi;
    return (int32_t)x;
}

}  // namespace

void APlugin::setFXSampleRate() {
    distortDCCoef = 30.0f / (2.0f * curSampleRate);
    distortDCState[0] = distortDCState[1] = 0.0f;
    modFXRateCoef = 1.71875 / (double)curSampleRate / 256.0;
    modFXRateCache.valid = false;
    gaterPhase = 0.0;
    gateCurrent[0] = gateGain[0][0];
    gateCurrent[1] = gateGain[0][1];
}

constexpr int kFXInitParts = 3;

// Clearing the effect lines takes a few hundred microseconds in all, too much for one block
// of a program's application: part 0 the delay and the pre-delay, part 1 the reverb, part 2
// the distortion and the modulation effects, each in the order of the whole reset.
void APlugin::initFX(int part) {
    if (part < 0) {
        for (int p = 0; p < kFXInitParts; ++p) initFX(p);
        return;
    }
    if (part == 1) {
        fxReverb.mute();
        reverbControl.mixSmooth = paramValue[120];
        decodeFXPath();
        return;
    }
    if (part == 2) {
        initDistort();
        initModFX();
        return;
    }
    fxBusIn = stereoStruct{0.0f, 0.0f};
    fxBusOut = stereoStruct{0.0f, 0.0f};
    distortDCCoef = 30.0f / (2.0f * curSampleRate);
    fxDelay.init(curSampleRate);
    delayMixSmooth = paramValue[113];
    fxReverb.setSampleRate(curSampleRate);

    TReverbControl& rc = reverbControl;
    rc.preDelayL = 1;
    rc.preDelayR = 1;
    rc.preFeed = 0.0f;
    std::memset(preDelayLine, 0, sizeof(preDelayLine));
    rc.modRate[0] = 0.015197279f / curSampleRate;
    rc.modRate[1] = 0.015409426f / curSampleRate;
    rc.modPhase[0] = rc.modPhase[1] = 0.0;
    for (int i = 0; i < 4; ++i) {
        rc.widenPhase[i] = 0.0f;
        rc.widenIncrement[i] = kWidenIncrement[i];
        rc.widenDepth[i] = kWidenDepth[i];
        rc.widenTap[i] = (int32_t)(44.1f * kWidenMaxMs[i]);  // the 44.1 kHz values until the first update
    }
}

// --- stages -------------------------------------------------------------------------------

// Every 4 samples: tempo, lengths, feedback and its filter from the settings.
void APlugin::updateDelayControls() {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    fxDelay.setTempo(tempo);
    fxDelay.setTimeSync(p[352]);
    const stereoStruct len{clamp01(p[114] + d[321] + d[323]), clamp01(p[115] + d[322] + d[323])};
    const float extra = std::fabs(d[324] * 0.1f * curSampleRate);
    fxDelay.setDelayLen(len, stereoStruct{extra, extra}, 1.0f);
    fxDelay.setEqual(p[353]);
    fxDelay.setFeed(p[116] * 1.98f - 0.99f + d[325], p[117] * 1.98f - 0.99f + d[326]);
    fxDelay.setFeedFilter(clamp01(p[118] + d[327]), clamp01(p[119] + d[328]));
}

void APlugin::runDelayStage(stereoStruct in, stereoStruct& wet) {
    if ((blockCounter & 3) == 0) updateDelayControls();
    stereoStruct out;
    fxDelay.process(in, out);
    wet.left = out.left * 0.9f;
    wet.right = out.right * 0.9f;
}

// Every 16 samples: the widen taps and the slow comb-length modulation move on, and room,
// damping, filter, size and pre-delay are taken from the settings.
void APlugin::updateReverbControls() {
    advanceReverbPhases();
    applyReverbControls(reverbInputsNow());
}

APlugin::TReverbInputs APlugin::reverbInputsNow() const {
    TReverbInputs in;
    for (int i = 0; i < 5; ++i) in.p[i] = paramValue[121 + i];
    for (int i = 0; i < 7; ++i) in.d[i] = modDestGlobal[331 + i];
    return in;
}

namespace {

// The widen taps' step of advanceReverbPhases one tap at a time.
void advanceWidenApart(APlugin::TReverbControl& rc, float ms) {
    for (int i = 0; i < 4; ++i) {
        float ph = rc.widenPhase[i] + rc.widenIncrement[i];
        // Above 0 and below 2^23, where the phases live, truncation is the floor and both
        // conversions are exact.
        ph -= ph > 0.0f && ph < 8388608.0f ? (float)(int32_t)ph : std::floor(ph);
        rc.widenPhase[i] = ph;
        const float tri = 1.0f - std::fabs(2.0f * ph - 1.0f);
        const float depth = rc.widenDepth[i];
        rc.widenTap[i] = saturate((tri * depth + 1.0f - depth) * kWidenMaxMs[i] * ms + 1.0f, 0,
                                  TBasicReverb::kRingMask);
    }
}

}  // namespace

void APlugin::advanceReverbPhases() {
    TReverbControl& rc = reverbControl;
    const float ms = curSampleRate / 1000.0f;
    // The four taps side by side, each lane with its tap's operations below, wherever every
    // phase stays inside the range where truncation is the floor (always, but for absurd
    // increments).
    const __m128 next = _mm_add_ps(_mm_loadu_ps(rc.widenPhase), _mm_loadu_ps(rc.widenIncrement));
    const __m128 inside =
        _mm_and_ps(_mm_cmpgt_ps(next, _mm_setzero_ps()), _mm_cmplt_ps(next, _mm_set1_ps(8388608.0f)));
    if (_mm_movemask_ps(inside) == 0xf) {
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 ph = _mm_sub_ps(next, _mm_cvtepi32_ps(_mm_cvttps_epi32(next)));
        _mm_storeu_ps(rc.widenPhase, ph);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        const __m128 tri =
            _mm_sub_ps(one, _mm_and_ps(_mm_sub_ps(_mm_mul_ps(_mm_set1_ps(2.0f), ph), one), magnitude));
        const __m128 depth = _mm_loadu_ps(rc.widenDepth);
        const __m128 span = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(tri, depth), one), depth);
        const __m128 at =
            _mm_add_ps(_mm_mul_ps(_mm_mul_ps(span, _mm_loadu_ps(kWidenMaxMs)), _mm_set1_ps(ms)), one);
        // saturate(at, 0, kRingMask): 0 unless above 0 (NaN too), the limit from it on.
        const __m128 limit = _mm_set1_ps((float)TBasicReverb::kRingMask);
        const __m128i atLimit = _mm_castps_si128(_mm_cmpge_ps(at, limit));
        const __m128i whole = _mm_or_si128(_mm_andnot_si128(atLimit, _mm_cvttps_epi32(at)),
                                           _mm_and_si128(atLimit, _mm_set1_epi32(TBasicReverb::kRingMask)));
        const __m128i tap = _mm_and_si128(whole, _mm_castps_si128(_mm_cmpgt_ps(at, _mm_setzero_ps())));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rc.widenTap), tap);
    } else {
        advanceWidenApart(rc, ms);
    }
    // Slow comb-length modulation. The phases run on their own accumulators rather than
    // on the sample counter, so they keep full precision however long the host runs.
    for (int i = 0; i < 2; ++i) {
        double ph = rc.modPhase[i] + 16.0 * (double)rc.modRate[i];
        ph -= ph > 0.0 && ph < 4503599627370496.0 ? (double)(int64_t)ph : std::floor(ph);
        rc.modPhase[i] = ph;
    }
}

// Everything here is set anew from the phases and the inputs, whatever was set before.
void APlugin::applyReverbControls(const TReverbInputs& in) {
    // p[k] is parameter 121 + k, d[k] destination 331 + k.
    const float* p = in.p;
    const float* d = in.d;
    TReverbControl& rc = reverbControl;
    const float rate = curSampleRate;
    constexpr int32_t kLineMask = kPreDelaySize - 1;
    fxReverb.setWiden(rc.widenTap[0], rc.widenTap[1], rc.widenTap[2], rc.widenTap[3]);
    float m[2];
    for (int i = 0; i < 2; ++i) m[i] = 1.0f + 0.002f * (float)std::sin(6.283185307179586 * rc.modPhase[i]);
    fxReverb.setMod(m[0], m[1], m[0], m[1]);

    fxReverb.setRoomSize(clamp01(p[1] + d[3]));
    fxReverb.setDamp(clamp01(p[3] + d[5]));
    fxReverb.setFilter(1.0f, clamp01(p[4] + d[6]));
    const float z = exp2Memo(reverbExp2[0], 8.0f * clamp01(p[2] + d[4]) - 6.0f);
    fxReverb.setSize(z, 1.1f * z);

    // Pre-delay: 0.5 ms .. 0.512 s plus one sample, the right side one sample (or the
    // widen destination's amount) longer; both held inside the line.
    float pre = p[0] + d[0];
    if (!(pre > 0.0f)) pre = 0.0f;
    if (pre > 2.0f) pre = 2.0f;
    rc.preDelayL = saturate(exp2Memo(reverbExp2[1], 10.0f * pre) / 2000.0f * rate + 1.0f, 1, kLineMask);
    const int32_t widen = saturate(exp2Memo(reverbExp2[2], clampf(d[2], -64.0f, 64.0f)), 0, kLineMask);
    const int64_t right = (int64_t)rc.preDelayL + widen;
    rc.preDelayR = right > kLineMask ? kLineMask : (int32_t)right;
    rc.preFeed = -0.95f * clampf(d[1], -1.0f, 1.0f);
}

void APlugin::runReverbStage(stereoStruct in, stereoStruct& wet) {
    TReverbControl& rc = reverbControl;
    constexpr int32_t kLineMask = kPreDelaySize - 1;
    if ((blockCounter & 15) == 0) updateReverbControls();

    // The pre-delay lines, indexed modulo their length by the block counter; the lines start
    // cleared, so the reverb hears zeros until the clock has passed the pre-delay.
    const uint32_t c = blockCounter;
    const float pL = preDelayLine[0][(c - (uint32_t)rc.preDelayL) & kLineMask];
    const float pR = preDelayLine[1][(c - (uint32_t)rc.preDelayR) & kLineMask];
    preDelayLine[0][c & kLineMask] = in.left - rc.preFeed * pL;
    preDelayLine[1][c & kLineMask] = in.right - rc.preFeed * pR;

    float o1, o2, o3, o4;
    fxReverb.process(pL, pR, o1, o2, o3, o4);
    wet.left = (o1 + o3) * 0.707f * 0.9f + kDenormal;
    wet.right = (o2 + o4) * 0.707f * 0.9f + kDenormal;
}

// --- the chain --------------------------------------------------------------------------------

// The path setting and the layer destinations change only at the control block (and when
// the chain is set up), so they are decoded there rather than on every sample.
void APlugin::decodeFXPath() {
    int path = getSteppedValue(344);
    if (path < 0 || path > 5) path = 0;
    for (int k = 0; k < 3; ++k) {
        const int s = FX_PATH_NO[path][k];
        fxPathStage[k] = (uint8_t)s;
        int n = 0;
        for (int layer = 0; layer < kNumLayers; ++layer)
            if ((int)layerDest[layer] == s + 1) fxEntryLayers[k][n++] = (uint8_t)layer;
        fxEntryCount[k] = (uint8_t)n;
    }
}

void APlugin::doFX() {
    const uint8_t on[3] = {modFXOn, delayOn, reverbOn};
    float* mixSmooth[3] = {&modFXMixSmooth, &delayMixSmooth, &reverbControl.mixSmooth};
    const float* d = modDestGlobal;

    // The bus between the stages; no stage reads fxBusIn or fxBusOut, so it stays local.
    stereoStruct bus = fxBusIn;
    for (int k = 0; k < 3; ++k) {
        const int s = fxPathStage[k];
        // Layers routed to this stage enter just before it.
        for (int i = 0; i < fxEntryCount[k]; ++i) {
            const stereoOverStruct& o = layerOut[fxEntryLayers[k][i]];
            bus.left += 0.5f * (o.sub[0].left + o.sub[1].left);
            bus.right += 0.5f * (o.sub[0].right + o.sub[1].right);
        }
        if (!on[s]) continue;

        stereoStruct wet;
        if (s == 0)
            runModFXStage(bus, wet);
        else if (s == 1)
            runDelayStage(bus, wet);
        else
            runReverbStage(bus, wet);

        // What the watch for a decayed tail looks at (the sleep).
        fxQuietPeak = std::fmax(fxQuietPeak, std::fmax(std::fabs(wet.left), std::fabs(wet.right)));

        const StageInfo& info = kStages[s];
        float& m0 = *mixSmooth[s];
        m0 = m0 * kMixKeep + paramValue[info.mixParam] * kMixTake + kDenormal;
        const float m = clamp01(m0 + d[info.mixDest]);
        const float pan = clamp01(d[info.panDest] * 0.5f + 0.5f);
        const float wetGain = clamp01(2.0f * m);
        const float dryGain = clamp01(2.0f - 2.0f * m);
        const float panL = min1(2.0f - 2.0f * pan);
        const float panR = min1(2.0f * pan);
        bus.left = wet.left * panL * wetGain + bus.left * dryGain;
        bus.right = wet.right * panR * wetGain + bus.right * dryGain;
        if (fxOutSrcUsed[s + 1]) setModSrc(info.outSource, (bus.left + bus.right) * 4.0f);
    }
    fxBusIn = bus;
    fxBusOut = bus;
}

void APlugin::mixEffectsToOutput() {
    doDistort();
    fxQuietPeak = std::fmax(fxQuietPeak, std::fmax(std::fabs(fxBusIn.left), std::fabs(fxBusIn.right)));
    if (!bypassAllFX) {
        doFX();
    } else {
        // The chain is skipped and its states freeze; its layers join the sum dry.
        for (int layer = 0; layer < kNumLayers; ++layer) {
            const int dest = (int)layerDest[layer];
            if (dest < kLayerDestModFX || dest > kLayerDestReverb) continue;
            const stereoOverStruct& o = layerOut[layer];
            fxBusOut.left += 0.5f * (o.sub[0].left + o.sub[1].left);
            fxBusOut.right += 0.5f * (o.sub[0].right + o.sub[1].right);
        }
    }
    outSample.left += fxBusOut.left + kDenormal;
    outSample.right += fxBusOut.right + kDenormal;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        if (layerDest[layer] != kLayerDestOutput) continue;
        const stereoOverStruct& o = layerOut[layer];
        outSample.left += 0.5f * (o.sub[0].left + o.sub[1].left);
        outSample.right += 0.5f * (o.sub[0].right + o.sub[1].right);
    }
}

// One sample of the chain's time keeping while the engine sleeps (see uPluginSleep.cpp): what
// doFX would have moved on besides its sound. The sleep is only entered with the distortion
// off or bypassed and no slot on an effect output, so the stages' sound and the distortion's
// DC blocker stand still; the pre-delay lines, indexed by the block counter, take the
// silence they would have been written.
void APlugin::advanceEffectsAsleep() {
    if (bypassAllFX) return;
    const uint8_t on[3] = {modFXOn, delayOn, reverbOn};
    float* mixSmooth[3] = {&modFXMixSmooth, &delayMixSmooth, &reverbControl.mixSmooth};
    for (int s = 0; s < 3; ++s) {
        if (!on[s]) continue;
        if (s == 0) {
            advanceModFXAsleep();
        } else if (s == 1) {
            if ((blockCounter & 3) == 0) updateDelayControls();
        } else {
            // The phases move on; the settings they make are applied once, when the sleep
            // ends (applyPendingReverbControls), from the inputs of the last step: the same
            // state as applying them at every step.
            if ((blockCounter & 15) == 0) {
                advanceReverbPhases();
                sleepReverbInputs = reverbInputsNow();
                sleepReverbPending = 1;
            }
            constexpr uint32_t kLineMask = kPreDelaySize - 1;
            preDelayLine[0][blockCounter & kLineMask] = 0.0f;
            preDelayLine[1][blockCounter & kLineMask] = 0.0f;
        }
        float& m0 = *mixSmooth[s];
        m0 = m0 * kMixKeep + paramValue[kStages[s].mixParam] * kMixTake + kDenormal;
    }
}

void APlugin::applyPendingReverbControls() {
    if (!sleepReverbPending) return;
    sleepReverbPending = 0;
    applyReverbControls(sleepReverbInputs);
}

// --- over a run of samples -------------------------------------------------------------------
//
// The chain of a run of samples whose layer outputs are in subLayerOut, when the render loop
// runs it after their voices (effectsCanFollow): no route moves what the chain reads within
// the run and no route reads what it writes. Each stage runs over the whole run before the
// next one, with its settings taken once; every value takes the operations of the per-sample
// path in the same order, and the stages' states end the run as they would have.

namespace {

// std::fmax of two values without the library call; the same result for every input,
// NaN included (the peaks compared here are never -0).
inline float peakOf(float a, float b) { return b != b ? a : (a > b ? a : b); }

// peak taken through peakOf with the magnitudes of both sides of x[0..n) in turn: the
// largest of peak and every magnitude that is not NaN. From a peak that is neither NaN nor
// negative (-0 included), the order of the comparisons cannot change that largest value,
// so it is found four values at a time.
float runPeakOf(float peak, const stereoStruct* x, int n) {
    if (!(peak >= 0.0f) || std::signbit(peak)) {
        for (int j = 0; j < n; ++j) peak = peakOf(peak, peakOf(std::fabs(x[j].left), std::fabs(x[j].right)));
        return peak;
    }
    static_assert(sizeof(stereoStruct) == 2 * sizeof(float), "a run of pairs is a run of floats");
    const float* f = reinterpret_cast<const float*>(x);
    const int count = 2 * n;
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 acc = _mm_set1_ps(peak), acc2 = acc;
    int i = 0;
    // maxps takes its second operand when the first is NaN. Two chains, eight values a step.
    for (; i + 8 <= count; i += 8) {
        acc = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(f + i), absMask), acc);
        acc2 = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(f + i + 4), absMask), acc2);
    }
    for (; i + 4 <= count; i += 4) acc = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(f + i), absMask), acc);
    // Every lane is a number of at least +0 (never -0): their largest is one in any order.
    acc = _mm_max_ps(acc, acc2);
    acc = _mm_max_ps(acc, _mm_movehl_ps(acc, acc));
    acc = _mm_max_ss(acc, _mm_shuffle_ps(acc, acc, _MM_SHUFFLE(1, 1, 1, 1)));
    float m = _mm_cvtss_f32(acc);
    for (; i < count; ++i) m = peakOf(m, std::fabs(f[i]));
    return m;
}

}  // namespace

void APlugin::mixEffectsRun(int n, stereoStruct* out) {
    clearFXOutSources();
    stereoStruct bus[kSubBlock];
    doDistortRun(n, bus);
    float peak = runPeakOf(fxQuietPeak, bus, n);
    if (!bypassAllFX) {
        doFXRun(n, bus, peak);
        fxBusIn = bus[n - 1];
    } else {
        for (int layer = 0; layer < kNumLayers; ++layer) {
            const int dest = (int)layerDest[layer];
            if (dest < kLayerDestModFX || dest > kLayerDestReverb) continue;
            for (int j = 0; j < n; ++j) {
                const stereoOverStruct& o = subLayerOut[j][layer];
                bus[j].left += 0.5f * (o.sub[0].left + o.sub[1].left);
                bus[j].right += 0.5f * (o.sub[0].right + o.sub[1].right);
            }
        }
    }
    fxQuietPeak = peak;
    fxBusOut = bus[n - 1];
    for (int j = 0; j < n; ++j) {
        float left = 0.0f, right = 0.0f;
        left += bus[j].left + kDenormal;
        right += bus[j].right + kDenormal;
        out[j] = stereoStruct{left, right};
    }
    for (int layer = 0; layer < kNumLayers; ++layer) {
        if (layerDest[layer] != kLayerDestOutput) continue;
        for (int j = 0; j < n; ++j) {
            const stereoOverStruct& o = subLayerOut[j][layer];
            out[j].left += 0.5f * (o.sub[0].left + o.sub[1].left);
            out[j].right += 0.5f * (o.sub[0].right + o.sub[1].right);
        }
    }
}

void APlugin::doFXRun(int n, stereoStruct* bus, float& peak) {
    const uint8_t on[3] = {modFXOn, delayOn, reverbOn};
    float* mixSmooth[3] = {&modFXMixSmooth, &delayMixSmooth, &reverbControl.mixSmooth};
    const float* d = modDestGlobal;
    for (int k = 0; k < 3; ++k) {
        const int s = fxPathStage[k];
        for (int i = 0; i < fxEntryCount[k]; ++i) {
            const int layer = fxEntryLayers[k][i];
            for (int j = 0; j < n; ++j) {
                const stereoOverStruct& o = subLayerOut[j][layer];
                bus[j].left += 0.5f * (o.sub[0].left + o.sub[1].left);
                bus[j].right += 0.5f * (o.sub[0].right + o.sub[1].right);
            }
        }
        if (!on[s]) continue;

        stereoStruct wet[kSubBlock];
        if (s == 0)
            runModFXRun(n, bus, wet);
        else if (s == 1)
            runDelayRun(n, bus, wet);
        else
            runReverbRun(n, bus, wet);
        peak = runPeakOf(peak, wet, n);

        const StageInfo& info = kStages[s];
        const float take = paramValue[info.mixParam];
        const float mixDest = d[info.mixDest];
        const float pan = clamp01(d[info.panDest] * 0.5f + 0.5f);
        const float panL = min1(2.0f - 2.0f * pan);
        const float panR = min1(2.0f * pan);
        float m0 = *mixSmooth[s];
        const float next = m0 * kMixKeep + take * kMixTake + kDenormal;
        if (std::memcmp(&next, &m0, sizeof(m0)) == 0) {
            // The smoothing has settled: every sample of the run takes the same mix.
            const float m = clamp01(m0 + mixDest);
            const float wetGain = clamp01(2.0f * m);
            const float dryGain = clamp01(2.0f - 2.0f * m);
            for (int j = 0; j < n; ++j) {
                bus[j].left = wet[j].left * panL * wetGain + bus[j].left * dryGain;
                bus[j].right = wet[j].right * panR * wetGain + bus[j].right * dryGain;
            }
            if (fxOutSrcUsed[s + 1]) setModSrc(info.outSource, (bus[n - 1].left + bus[n - 1].right) * 4.0f);
            continue;
        }
        for (int j = 0; j < n; ++j) {
            m0 = m0 * kMixKeep + take * kMixTake + kDenormal;
            const float m = clamp01(m0 + mixDest);
            const float wetGain = clamp01(2.0f * m);
            const float dryGain = clamp01(2.0f - 2.0f * m);
            bus[j].left = wet[j].left * panL * wetGain + bus[j].left * dryGain;
            bus[j].right = wet[j].right * panR * wetGain + bus[j].right * dryGain;
        }
        *mixSmooth[s] = m0;
        // Nothing reads an effect output within a run: the last sample's value is the one left.
        if (fxOutSrcUsed[s + 1]) setModSrc(info.outSource, (bus[n - 1].left + bus[n - 1].right) * 4.0f);
    }
}

// The delay's settings are set anew from the same inputs at every fourth sample of the run:
// the first time sets what the others would set again.
void APlugin::runDelayRun(int n, const stereoStruct* in, stereoStruct* wet) {
    const uint32_t c0 = blockCounter;
    bool updated = false;
    for (int j = 0; j < n; ++j) {
        if (!updated && ((c0 + (uint32_t)j) & 3) == 0) {
            updateDelayControls();
            updated = true;
        }
        stereoStruct out;
        fxDelay.process(in[j], out);
        wet[j].left = out.left * 0.9f;
        wet[j].right = out.right * 0.9f;
    }
}

// The run is cut where the 16-sample update falls; each piece runs the pre-delay lines, then
// the reverb.
void APlugin::runReverbRun(int n, const stereoStruct* in, stereoStruct* wet) {
    TReverbControl& rc = reverbControl;
    constexpr int32_t kLineMask = kPreDelaySize - 1;
    const uint32_t c0 = blockCounter;
    float* lineL = preDelayLine[0];
    float* lineR = preDelayLine[1];
    for (int from = 0; from < n;) {
        const uint32_t start = c0 + (uint32_t)from;
        if ((start & 15) == 0) updateReverbControls();
        // Up to the next multiple of 16 of the counter.
        int to = from + 16 - (int)(start & 15);
        if (to > n) to = n;
        const uint32_t preL = (uint32_t)rc.preDelayL, preR = (uint32_t)rc.preDelayR;
        const float feed = rc.preFeed;
        float pL[kSubBlock], pR[kSubBlock];
        const uint32_t first = start & kLineMask;
        const uint32_t m = (uint32_t)(to - from);
        const uint32_t readL = (start - preL) & kLineMask, readR = (start - preR) & kLineMask;
        if (preL >= m && preR >= m && first + m <= (uint32_t)kPreDelaySize && readL + m <= (uint32_t)kPreDelaySize &&
            readR + m <= (uint32_t)kPreDelaySize) {
            // No row of the piece is read after the piece writes it and no row wraps: four
            // samples at a time, each value taking the operations of the loop below.
            const __m128 feedV = _mm_set1_ps(feed);
            const float* const inF = reinterpret_cast<const float*>(in + from);
            uint32_t q = 0;
            for (; q + 4 <= m; q += 4) {
                const __m128 a = _mm_loadu_ps(inF + 2 * q), b = _mm_loadu_ps(inF + 2 * q + 4);
                const __m128 inLeft = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
                const __m128 inRight = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
                const __m128 l = _mm_loadu_ps(lineL + readL + q), r = _mm_loadu_ps(lineR + readR + q);
                _mm_storeu_ps(lineL + first + q, _mm_sub_ps(inLeft, _mm_mul_ps(feedV, l)));
                _mm_storeu_ps(lineR + first + q, _mm_sub_ps(inRight, _mm_mul_ps(feedV, r)));
                _mm_storeu_ps(pL + q, l);
                _mm_storeu_ps(pR + q, r);
            }
            for (; q < m; ++q) {
                const float l = lineL[readL + q], r = lineR[readR + q];
                lineL[first + q] = in[from + (int)q].left - feed * l;
                lineR[first + q] = in[from + (int)q].right - feed * r;
                pL[q] = l;
                pR[q] = r;
            }
        } else {
        for (int j = from; j < to; ++j) {
            const uint32_t c = c0 + (uint32_t)j;
            const float l = lineL[(c - preL) & kLineMask];
            const float r = lineR[(c - preR) & kLineMask];
            lineL[c & kLineMask] = in[j].left - feed * l;
            lineR[c & kLineMask] = in[j].right - feed * r;
            pL[j - from] = l;
            pR[j - from] = r;
        }
        }
        RevLanes x[kSubBlock];
        fxReverb.processRunUngained(to - from, pL, pR, x);
        // x holds (o1, o3, o2, o4) of process() before its output gain, which is taken here.
        // Two samples at a time: the lanes' sums (o1 + o3, o2 + o4 of each) side by side, in
        // the order of the wet pair, with the operations of the loop below.
        const float gain = fxReverb.outputGain();
        const __m128 gainV = _mm_set1_ps(gain);
        int j = from;
        for (; j + 2 <= to; j += 2) {
            __m128 a, b;
            std::memcpy(&a, &x[j - from], sizeof(a));
            std::memcpy(&b, &x[j - from + 1], sizeof(b));
            a = _mm_mul_ps(a, gainV);
            b = _mm_mul_ps(b, gainV);
            const __m128 sum = _mm_add_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)),
                                          _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128 w = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(sum, _mm_set1_ps(0.707f)), _mm_set1_ps(0.9f)),
                                        _mm_set1_ps(kDenormal));
            std::memcpy(&wet[j], &w, sizeof(w));  // samples j and j + 1
        }
        for (; j < to; ++j) {
            const RevLanes o = x[j - from] * gain;
            wet[j].left = (o[0] + o[1]) * 0.707f * 0.9f + kDenormal;
            wet[j].right = (o[2] + o[3]) * 0.707f * 0.9f + kDenormal;
        }
        from = to;
    }
}
