// The modulation effects: one stereo effect of eleven types (chorus, flanger, ensemble,
// phaser, wah-wah, talk box, tremolo, vibrato, auto-pan, ring modulator and the 16-step
// Gator), sharing one effect LFO, five knobs whose meaning depends on the type, and a final
// low-pass and high-pass.
#include <cmath>
#include <cstring>
#include <type_traits>

#include <immintrin.h>

#include "dsp/LaneDispatch.h"
#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"

namespace {

constexpr float kDenormal = 1e-15f;
constexpr double kTwoPi = 6.283185307179586;

enum ModFXType : int {
    kChorus = 0,
    kFlanger,
    kEnsemble,
    kPhaser,
    kWahWah,
    kTalkBox,
    kTremolo,
    kVibrato,
    kAutoPan,
    kRing,
    kGator,
};

// LFO periods in whole notes for the synced speeds (index 0 stops the LFO).
constexpr float LFO_PERIOD_ARRAY[36] = {
    0.0f,         48.0f,  32.0f,        64.0f / 3.0f, 24.0f,         16.0f,
    32.0f / 3.0f, 12.0f,  8.0f,         16.0f / 3.0f, 6.0f,          4.0f,
    8.0f / 3.0f,  3.0f,   2.0f,         4.0f / 3.0f,  1.5f,          1.0f,
    2.0f / 3.0f,  0.75f,  0.5f,         1.0f / 3.0f,  0.375f,        0.25f,
    1.0f / 6.0f,  0.1875f, 0.125f,      1.0f / 12.0f, 0.09375f,      0.0625f,
    1.0f / 24.0f, 0.046875f, 0.03125f,  1.0f / 48.0f, 0.0f,          0.0f,
};

// Gate speeds: twice the entry is the number of gate steps per sixteenth note.
constexpr double GATER_SPEED_TIME[36] = {
    0.0,       1.0 / 64,  1.0 / 48, 1.0 / 32, 1.0 / 24, 1.0 / 16, 3.0 / 32, 1.0 / 12, 1.0 / 8,
    3.0 / 16,  1.0 / 6,   1.0 / 4,  3.0 / 8,  1.0 / 3,  1.0 / 2,  3.0 / 4,  2.0 / 3,  1.0,
    1.5,       4.0 / 3,   2.0,      3.0,      8.0 / 3,  4.0,      6.0,      16.0 / 3, 8.0,
    12.0,      32.0 / 3,  16.0,     24.0,     64.0 / 3, 32.0,     48.0,     64.0,     0.0,
};

constexpr float kEnsembleGains[6][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 1}, {1, 1}, {1, 0}};

inline float clamp01(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }  // NaN: 0
inline float clampf(float x, float lo, float hi) { return x > lo ? (x < hi ? x : hi) : lo; }
// x - floor(x). On 0 < x < 2^23, where the phases live, truncation is the floor and both
// conversions are exact, which spares the general rounding sequence (zeros take it too, so
// -0 still gives +0).
inline float fractionOf(float x) {
    if (x > 0.0f && x < 8388608.0f) return x - (float)(int32_t)x;
    return x - std::floor(x);
}

// The effect LFO's phases moved on by one sample of step r (the second one spread times as
// fast); a wrap of the first draws a new humanize factor (by `humanize` octaves at most) and
// sample-and-hold value from the shared generator.
// The first phase's wrap (it has left 0..1): back into 0..1, new humanize factor and
// sample-and-hold value.
inline void wrapModFXPhase(float& ph0, float& hum0, float& hum1, float& random, float humanize) {
    ph0 = fractionOf(ph0);
    if (!(ph0 < 1.0f)) ph0 = 0.0f;
    const float u = (RandSeed.next() + 1.0f) * 0.5f * 4.0f - 2.0f;
    hum0 = hum1 = std::exp2(u * humanize);
    random = (RandSeed.next() + 1.0f) * 0.5f;
}

inline void stepModFXPhases(float& ph0, float& ph1, float& hum0, float& hum1, float& random,
                            float r, float spread, float humanize) {
    ph0 += hum0 * r;
    ph1 += spread * r * hum1;
    if (ph0 >= 1.0f || ph0 < 0.0f) wrapModFXPhase(ph0, hum0, hum1, random, humanize);
    ph1 = fractionOf(ph1);
    if (!(ph1 < 1.0f)) ph1 = 0.0f;
}

// APlugin::getSteppedValue(value, range, count), here where the LFO asks for it every
// sample.
inline int steppedIndex(float value, float range, int count) {
    const float x = value * range + 0.1f;
    if (!(x > 0.0f)) return 0;
    if (x >= (float)count) return count - 1;
    return (int)x;
}

// Table index of a 0..1 position scaled by 65535.99, held inside the table.
inline int waveIndex(float q) {
    const float v = q * 65535.99f;
    if (!(v > 0.0f)) return 0;
    if (v >= 65535.0f) return 65535;
    return (int)v;
}

// Read position of the LFO bent by the symmetry: the first half of the cycle takes sym.
inline float warp(float q, float sym) {
    return q <= sym ? q * 0.5f / sym : 0.5f + (q - sym) * 0.5f / (1.0f - sym);
}

// Gate step for a position (in steps), step count and swing destination.
int gateStepAt(double phase, int count, float swingDest) {
    if (count < 1) count = 1;
    if (!(phase >= 0.0)) phase = 0.0;
    const double s = (double)clampf(swingDest, -1.0f, 1.0f) * 0.49 + 0.5;
    const double e = 2.0 * std::trunc(phase / 2.0);
    const double u = (phase - e) / 2.0;
    const double v = u <= s ? u * 0.5 / s : 0.5 + (u - s) * 0.5 / (1.0 - s);
    const double k = std::trunc(2.0 * v + e);
    const long step = k < 0.0 ? 0 : (long)std::fmod(k, (double)count);
    return (int)step;
}

// The wave values of n samples of the effect LFO from its phases before each step (the
// first loop of stepModFXLFORun without the state), eight samples at a time on eight lanes:
// x - floor(x) is fractionOf(x) for every x, and the warp's two sides and the index's
// limits are chosen per lane with the one-value operations.
__attribute__((target("avx2"))) void modFXWaveWide(int n, const float* ph0, const float* ph1, float o, float offsetR,
                                                   float sym, const float* table, float* vL, float* vR) {
    const __m256 oV = _mm256_set1_ps(o), offsetV = _mm256_set1_ps(offsetR);
    const __m256 symV = _mm256_set1_ps(sym), restV = _mm256_set1_ps(1.0f - sym);
    const __m256 half = _mm256_set1_ps(0.5f), scale = _mm256_set1_ps(65535.99f);
    const __m256 zero = _mm256_setzero_ps(), top = _mm256_set1_ps(65535.0f);
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        for (int ch = 0; ch < 2; ++ch) {
            const __m256 ph = _mm256_loadu_ps((ch == 0 ? ph0 : ph1) + j);
            const __m256 x = ch == 0 ? _mm256_add_ps(ph, oV) : _mm256_add_ps(_mm256_add_ps(oV, ph), offsetV);
            const __m256 f = _mm256_sub_ps(x, _mm256_floor_ps(x));
            const __m256 low = _mm256_div_ps(_mm256_mul_ps(f, half), symV);
            const __m256 high = _mm256_add_ps(half, _mm256_div_ps(_mm256_mul_ps(_mm256_sub_ps(f, symV), half), restV));
            const __m256 q = _mm256_blendv_ps(high, low, _mm256_cmp_ps(f, symV, _CMP_LE_OQ));
            // maxps takes its second operand for NaN: !(v > 0) gives 0, as waveIndex.
            const __m256 v = _mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(q, scale), zero), top);
            const __m256 w = _mm256_i32gather_ps(table, _mm256_cvttps_epi32(v), 4);
            _mm256_storeu_ps((ch == 0 ? vL : vR) + j, w);
        }
    }
    for (; j < n; ++j) {
        vL[j] = table[waveIndex(warp(fractionOf(ph0[j] + o), sym))];
        vR[j] = table[waveIndex(warp(fractionOf(o + ph1[j] + offsetR), sym))];
    }
}

}  // namespace

void APlugin::decodeGatePattern() {
    const float l = clamp01(paramValue[111]), r = clamp01(paramValue[112]);
    const uint32_t maskL = (uint32_t)(l * 65535.9f);
    const uint32_t maskR = (uint32_t)(r * 65535.9f);
    for (int k = 0; k < kGateSteps; ++k) {
        gateGain[k][0] = (maskL >> k) & 1u ? 1.0f : 0.0f;
        gateGain[k][1] = (maskR >> k) & 1u ? 1.0f : 0.0f;
    }
}

void APlugin::initModFX() {
    modFXMixSmooth = paramValue[107];
    limiterLevel = 1.0f;
    modFXLFO.random = 0.0f;
    modFXLFO.ringPhase = 0.0f;
    modFXDelay.init(curSampleRate);
    std::memset(ensemblePhase, 0, sizeof(ensemblePhase));
    std::memset(ensembleLine, 0, sizeof(ensembleLine));
    std::memset(phaserLine, 0, sizeof(phaserLine));
    for (int k = 0; k < kEnsembleVoices; ++k) {
        ensembleLen[k] = 1.0f;
        ensembleInc[k] = 0.0f;
        ensembleDepth[k] = 0.0f;
        ensembleOffset[k] = 1.0f;
        ensembleGain[k][0] = kEnsembleGains[k][0];
        ensembleGain[k][1] = kEnsembleGains[k][1];
    }
    phaserPrev[0] = phaserPrev[1] = 0.0f;
    std::memset(phaserHist, 0, sizeof(phaserHist));
    for (TFilter& f : modFXFilter) f.init(curSampleRate);
    modFXFilter[1].setType(kFilterZeroLow12, true);
    modFXFilter[2].setType(kFilterZeroHigh12, true);
    decodeGatePattern();
    gaterPhase = 0.0;
    gateCurrent[0] = gateGain[0][0];
    gateCurrent[1] = gateGain[0][1];
}

void APlugin::resetModFXTransport() {
    modFXLFO.phase[0] = modFXLFO.phase[1] = 0.0f;
    modFXLFO.out[0] = modFXLFO.out[1] = 0.0f;
    modFXLFO.held[0] = modFXLFO.held[1] = 0.0f;
    modFXLFO.holdCounter = 0.0f;
    modFXLFO.random = 0.0f;
    modFXLFO.ringPhase = 0.0f;
    modFXLFO.hum[0] = modFXLFO.hum[1] = 1.0f;
    gaterPhase = 0.0;
    gateCurrent[0] = gateGain[0][0];
    gateCurrent[1] = gateGain[0][1];
}

int APlugin::getGaterPos() {
    if (readsEngineView()) return engineView.gaterPos.load(std::memory_order_relaxed);
    return gateStepAt(gaterPhase, gateStepCount, modDestGlobal[363]);
}

// The effect LFO's rate in cycles per sample, before the speed destination.
float APlugin::getModFXRate(int type) {
    (void)type;
    const float speed = paramValue[108];
    const bool sync = getOnOff(paramValue[350]);
    // Asked for every sample; worked out again only when one of its inputs has changed.
    TModFXRateCache& cache = modFXRateCache;
    if (cache.valid && cache.sync == sync && cache.speed == speed && cache.tempo == tempo &&
        cache.sampleRate == curSampleRate)
        return cache.value;
    float value;
    if (!sync) {
        value = (float)(std::exp2(14.0 * (double)clamp01(speed)) * modFXRateCoef);
    } else {
        const int i = getSteppedValue(clamp01(speed), 33.99f, 34);
        if (i == 0) {
            value = 0.0f;
        } else {
            const double samples =
                ((double)LFO_PERIOD_ARRAY[i] * 15.0 * (double)curSampleRate / (double)tempo + 1.0) * 16.0;
            value = (float)(1.0 / samples);
        }
    }
    cache = TModFXRateCache{true, sync, speed, tempo, curSampleRate, value};
    return value;
}

float APlugin::getModFXSpeedFactor() {
    return modFXSpeedFactor.get(modDestGlobal[341], [](float d) { return std::exp2(4.0f * d); });
}

// The effect LFO's phases move on by one sample; a wrap draws a new humanize factor and
// sample-and-hold value.
inline void APlugin::advanceModFXPhases(float rate) {
    const float* d = modDestGlobal;
    TModFXLFO& lfo = modFXLFO;
    const float r = rate * getModFXSpeedFactor();
    const float spread = clamp01(d[342]) * 3.0f + 1.0f;  // 1 .. 4
    stepModFXPhases(lfo.phase[0], lfo.phase[1], lfo.hum[0], lfo.hum[1], lfo.random, r, spread, d[349]);
}

// Whether the effect LFO's first phase may wrap (and draw from the shared generator) within
// the next `samples` steps at the rate it has now; any doubt counts as a wrap.
bool APlugin::modFXWrapsWithin(int samples) {
    const float step = modFXLFO.hum[0] * (getModFXRate(modFXMode) * getModFXSpeedFactor());
    const float phase = modFXLFO.phase[0];
    if (!(step >= 0.0f) || !(phase >= 0.0f)) return true;
    return !(phase + 2.0f * (float)(samples + 1) * step < 0.99f);
}

void APlugin::stepModFXLFO(int type, float rate, float& lfoL, float& lfoR) {
    stepModFXLFORun(type, rate, 1, &lfoL, &lfoR);
}

void APlugin::setupEnsemble(float rate) {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    const float length = clamp01(p[109] + d[351]);
    const float width = clamp01(p[110] + d[352]);
    const float base = curSampleRate * 0.05f * length + 1.0f;
    const float E = -2.0f * clamp01(1.0f - (p[111] + d[355]));
    for (int k = 0; k < kEnsembleVoices; ++k) {
        const float len = clampf(base * std::exp2((float)k * E / 5.0f), 0.0f, (float)(kEnsembleSize - 1));
        const float wd = 0.99f * width * std::exp2((float)k * E / 8.3f);
        ensembleLen[k] = len;
        ensembleInc[k] = rate * std::exp2((float)k * E / 5.3f);
        ensembleDepth[k] = wd * len;
        ensembleOffset[k] = (1.0f - wd) * len;
    }
}

stereoStruct APlugin::runEnsemble(stereoStruct in) {
    const float f = -0.99f * clampf(paramValue[112] + modDestGlobal[354], -1.0f, 1.0f);
    const uint32_t c = blockCounter;
    constexpr uint32_t kMask = kEnsembleSize - 1;
    stereoStruct wet{0.0f, 0.0f};
    for (int k = 0; k < kEnsembleVoices; ++k) {
        float ph = ensemblePhase[k] + ensembleInc[k];
        ph = fractionOf(ph);
        if (!(ph < 1.0f)) ph = 0.0f;
        ensemblePhase[k] = ph;
        float delay = (sinTable[waveIndex(ph)] * 0.5f + 0.5f) * ensembleDepth[k] + ensembleOffset[k];
        // At least one sample back, and the older neighbour still inside the line: neither
        // read may land on the slot this sample is about to write.
        delay = clampf(delay, 1.0f, (float)(kEnsembleSize - 2));
        const uint32_t whole = (uint32_t)delay;
        const float frac = delay - (float)whole;
        // Positions modulo the line length, so the counter's wrap changes nothing.
        const float* a = ensembleLine[k][(c - whole) & kMask];
        const float* b = ensembleLine[k][(c - whole - 1u) & kMask];
        const float vl = a[0] + (b[0] - a[0]) * frac;
        const float vr = a[1] + (b[1] - a[1]) * frac;
        float* w = ensembleLine[k][c & kMask];
        w[0] = f * vl + in.left;
        w[1] = f * vr + in.right;
        wet.left += ensembleGain[k][0] * vl;
        wet.right += ensembleGain[k][1] * vr;
    }
    wet.left *= 0.5f;
    wet.right *= 0.5f;
    return wet;
}

stereoStruct APlugin::runPhaser(stereoStruct in, float lfoUL, float lfoUR) {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    const float pitch = clamp01(p[109] + d[351]);
    const float wd = 0.99f * clamp01(p[110] + d[352]);
    const float W = 4.0f * std::exp2(8.0f * clamp01(p[111] + d[353])) + 1.0f;
    const float f = -0.95f * clampf(p[112] + d[354], -1.0f, 1.0f) + kDenormal;
    const float qDiv = 2.0f * (0.05f + 0.9f * clamp01(d[359]));
    const float rate = curSampleRate;
    const float lfoU[2] = {lfoUL, lfoUR};
    const float x[2] = {in.left, in.right};
    float y[2];
    for (int c = 0; c < 2; ++c) {
        float freq = 15.0f * std::exp2(10.0f * pitch * (0.5f + 0.45f * wd * lfoU[c]));
        // Below Nyquist with a margin: the all-pass stays a proper all-pass.
        if (freq > 0.45f * rate) freq = 0.45f * rate;
        const float w = (float)kTwoPi * freq / rate;
        const float alpha = std::sin(w) / qDiv;
        const float b0 = (1.0f - alpha) / (1.0f + alpha);
        const float b1 = -2.0f * std::cos(w) / (1.0f + alpha);
        const float b2 = 1.0f;
        float s = x[c] - f * phaserPrev[c] + kDenormal;
        for (int st = 0; st < kPhaserStages; ++st) {
            float* h = phaserHist[st][c];  // x1, x2, y1, y2
            float out = b0 * s + b1 * h[0] + b2 * h[1] - b1 * h[2] - b0 * h[3] + kDenormal;
            out = clampf(out, -100.0f, 100.0f);
            h[1] = h[0];
            h[0] = s;
            h[3] = h[2];
            h[2] = out;
            s = out;
        }
        phaserPrev[c] = s;
        y[c] = s;
    }
    // The left side is delayed by the widen amount.
    const uint32_t c = blockCounter;
    constexpr uint32_t kMask = kPhaserSize - 1;
    phaserLine[c & kMask] = y[0];
    const uint32_t delay = (uint32_t)W;
    return stereoStruct{phaserLine[(c - delay) & kMask], y[1]};
}

void APlugin::runGator(stereoStruct in, stereoStruct& wet) {
    stepGator();
    wet.left = in.left * gateCurrent[0];
    wet.right = in.right * gateCurrent[1];
}

// The gate's time keeping of one sample: the pattern, the gains gliding to the current
// step's, the position moving on, and the gate sources.
void APlugin::stepGator() {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    if ((blockCounter & 15) == 0) decodeGatePattern();

    const int i = getSteppedValue(clamp01(p[108]), 33.99f, 34);
    gateFactor = 2.0 * GATER_SPEED_TIME[i];
    gateIncrement = (double)tempo / 15.0 / (double)curSampleRate * gateFactor;
    const int n = getSteppedValue(clamp01(p[110]), 15.99f, 16) + 1;
    gateStepCount = n;

    const int k = gateStepAt(gaterPhase, n, d[363]);
    const float c = std::exp2(12.0f - 20.0f * (1.0f - clamp01(p[109] + d[350])));
    for (int ch = 0; ch < 2; ++ch)
        gateCurrent[ch] = (c * gateCurrent[ch] + gateGain[k][ch]) / (c + 1.0f) + kDenormal;

    double phase = gaterPhase + gateIncrement * std::exp2((double)d[341] * 4.0);
    if (!(phase >= 0.0) || !std::isfinite(phase)) phase = 0.0;
    if (phase >= (double)n) phase = std::fmod(phase, (double)n);
    gaterPhase = phase;

    setModSrc(108, gateCurrent[0]);
    setModSrc(109, gateCurrent[1]);
    setModSrc(110, (gateCurrent[0] + gateCurrent[1]) * 0.5f);
}

stereoStruct APlugin::filterModFXWet(stereoStruct wet, float lowCut, float highCut) {
    stereoOverStruct s{{wet, wet}};
    if (lowCut < 0.99f) {
        stereoOverStruct o;
        modFXFilter[1].process(lowCut, 1.0f, stereoStruct{0.0f, 0.0f}, 0.0f, 0.0f, s, o);
        s = o;
    }
    if (highCut > 0.01f) {
        stereoOverStruct o;
        modFXFilter[2].process(highCut, 1.0f, stereoStruct{0.0f, 0.0f}, 0.0f, 0.0f, s, o);
        s = o;
    }
    return stereoStruct{0.5f * (s.sub[0].left + s.sub[1].left), 0.5f * (s.sub[0].right + s.sub[1].right)};
}

void APlugin::runModFXStage(stereoStruct x, stereoStruct& wet) {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    const int type = modFXMode;
    const float rate = getModFXRate(type);
    float lfoL, lfoR;
    stepModFXLFO(type, rate, lfoL, lfoR);
    const float lfoUL = lfoL * 0.5f + 0.5f;
    const float lfoUR = lfoR * 0.5f + 0.5f;
    const float r = rate * getModFXSpeedFactor();
    const float length = clamp01(p[109] + d[351]);
    const float width = clamp01(p[110] + d[352]);
    const float amount = clamp01(p[110] + d[361]);
    const float sr = curSampleRate;

    switch (type) {
        case kChorus:
        case kFlanger: {
            const float D = length * 0.05f * sr + 1.0f;
            const float wd = 0.99f * width;
            const float W = modFXWidenFactor.get(clamp01(p[111] + d[353]),
                                                 [](float x) { return 4.0f * std::exp2(8.0f * x) + 1.0f; });
            modFXDelay.setDelayLenDirect((wd * lfoUL + 1.0f - wd) * D, (wd * lfoUR + 1.0f - wd) * D + W);
            modFXDelay.setFeed(type == kChorus ? 0.0f : -clampf(p[112] + d[354], -1.0f, 1.0f));
            modFXDelay.process(x, wet);
            if (type == kFlanger) doLimiter(wet);
            break;
        }
        case kEnsemble:
            if ((blockCounter & 3) == 0) setupEnsemble(r);
            wet = runEnsemble(x);
            break;
        case kPhaser:
            wet = runPhaser(x, lfoUL, lfoUR);
            doLimiter(wet);
            break;
        case kWahWah:
        case kTalkBox: {
            const float low = clamp01(p[110] + d[357]);
            const float high = clamp01(p[111] + d[358]);
            const float q = clamp01(p[112] + d[359]);
            const stereoOverStruct in{{x, x}};
            stereoOverStruct out;
            if (type == kWahWah) {
                const float morph = clamp01(p[109] + d[356]);
                modFXFilter[0].setType(kFilterZeroLowBandHigh12, true);
                const stereoStruct cutoff{low + (high - low) * lfoUL, low + (high - low) * lfoUR};
                modFXFilter[0].process(cutoff, stereoStruct{0.0f, 0.0f}, q, morph, in, out);
            } else {
                const float freq = clamp01(p[109] + d[360]);
                const float vowel = low + (high - low) * lfoUL;
                modFXFilter[0].setType(kFilterVocal, true);
                modFXFilter[0].process(stereoStruct{freq, freq}, stereoStruct{0.0f, 0.0f}, 1.0f, q, vowel,
                                       1, &in, &out);
            }
            wet.left = 0.5f * (out.sub[0].left + out.sub[1].left);
            wet.right = 0.5f * (out.sub[0].right + out.sub[1].right);
            break;
        }
        case kTremolo:
            wet.left = x.left * ((1.0f - amount) + amount * lfoUL);
            wet.right = x.right * ((1.0f - amount) + amount * lfoUR);
            break;
        case kVibrato: {
            float reference;
            if (getOnOff(350))
                reference = (float)(1.0 / (((double)LFO_PERIOD_ARRAY[17] * 15.0 * (double)sr / (double)tempo + 1.0) * 16.0));
            else
                reference = (float)(128.0 * modFXRateCoef);
            float depth = amount * 0.2f * sr + 1.0f;
            // The same pitch swing at any speed.
            if (r > 1e-5f) depth = reference * depth / r;
            if (depth > 65535.0f) depth = 65535.0f;
            modFXDelay.setDelayLenDirect(lfoUL * depth + 1.0f, lfoUR * depth + 1.0f);
            modFXDelay.setFeed(0.0f);
            modFXDelay.process(x, wet);
            break;
        }
        case kAutoPan: {
            const float q = amount * lfoL + 1.0f;
            wet.left = x.left * clamp01(2.0f - q);
            wet.right = x.right * clamp01(q);
            break;
        }
        case kRing: {
            const float ph = modFXLFO.ringPhase;
            const float sl = (float)std::sin(kTwoPi * ph);
            const float sr2 = (float)std::sin(kTwoPi * fractionOf(ph + clamp01(p[111] + d[353])));
            const float hz = 20.0f * std::exp2(10.0f * clamp01(p[108] + d[360])) + 100.0f * (p[109] + d[362]);
            float next = fractionOf(ph + hz / sr);
            if (!(next >= 0.0f && next < 1.0f)) next = 0.0f;
            modFXLFO.ringPhase = next;
            wet.left = amount * sl * x.left + (1.0f - amount) * x.left;
            wet.right = amount * sr2 * x.right + (1.0f - amount) * x.right;
            break;
        }
        case kGator:
            runGator(x, wet);
            break;
        default:
            wet = x;
            break;
    }

    // Output filters on the pair (wet, wet).
    const float lowCut = (type == kChorus || type == kRing) ? clamp01(p[112] - d[364]) : clamp01(1.0f - d[364]);
    const float highCut = clamp01(d[365]);
    if (lowCut < 0.99f || highCut > 0.01f) {
        wet = filterModFXWet(wet, lowCut, highCut);
    }
}

// --- while the engine sleeps ---------------------------------------------------------------

// Whether the current type keeps all of its time in what advanceModFXAsleep moves on: the
// wah-wah and talk box, and the output filters, glide their cutoffs inside their filters.
bool APlugin::modFXCanSleep() {
    const int type = modFXMode;
    if (type == kWahWah || type == kTalkBox) return false;
    for (int i = 0; i < modActiveCount; ++i)
        if (modRoutes[i].dest == 364 || modRoutes[i].dest == 365) return false;
    const float* d = modDestGlobal;
    const float lowCut = (type == kChorus || type == kRing) ? clamp01(paramValue[112] - d[364])
                                                            : clamp01(1.0f - d[364]);
    return !(lowCut < 0.99f || clamp01(d[365]) > 0.01f);
}

// One sample of runModFXStage without its sound: the effect LFO, the ensemble's and the ring
// modulator's phases, the gate; the lines indexed by the block counter take silence.
void APlugin::advanceModFXAsleep() {
    const int type = modFXMode;
    const float rate = getModFXRate(type);
    // When the LFO's held value is taken every sample and not smoothed, its output is a
    // function of the phases alone: between the sleep's control steps only the phases (and
    // the hold counter) need to move, and the step before the next one reads the wave.
    const float* d = modDestGlobal;
    const bool shaped = type >= kTremolo && type <= kAutoPan;
    if (sleepLightStep && d[348] <= 0.0f && clamp01((shaped ? paramValue[112] : 0.0f) + d[350]) <= 0.001f) {
        advanceModFXPhases(rate);
        TModFXLFO& lfo = modFXLFO;
        lfo.holdCounter += 1.0f;
        if (lfo.holdCounter >= 1.0f) lfo.holdCounter = fractionOf(lfo.holdCounter);
    } else {
        float lfoL, lfoR;
        stepModFXLFO(type, rate, lfoL, lfoR);
    }
    const uint32_t c = blockCounter;
    switch (type) {
        case kEnsemble: {
            if ((c & 3) == 0) setupEnsemble(rate * getModFXSpeedFactor());
            for (int k = 0; k < kEnsembleVoices; ++k) {
                float ph = ensemblePhase[k] + ensembleInc[k];
                ph = fractionOf(ph);
                if (!(ph < 1.0f)) ph = 0.0f;
                ensemblePhase[k] = ph;
                float* w = ensembleLine[k][c & (kEnsembleSize - 1)];
                w[0] = w[1] = 0.0f;
            }
            break;
        }
        case kPhaser:
            phaserLine[c & (kPhaserSize - 1)] = 0.0f;
            break;
        case kRing: {
            const float* d = modDestGlobal;
            const SharedFloat* p = paramValue;
            const float ph = modFXLFO.ringPhase;
            const float hz = 20.0f * std::exp2(10.0f * clamp01(p[108] + d[360])) + 100.0f * (p[109] + d[362]);
            float next = fractionOf(ph + hz / curSampleRate);
            if (!(next >= 0.0f && next < 1.0f)) next = 0.0f;
            modFXLFO.ringPhase = next;
            break;
        }
        case kGator:
            stepGator();
            break;
        default:
            break;
    }
}

// --- over a run of samples -------------------------------------------------------------------

// stepModFXLFO over n samples with its settings taken once: the same steps in the same order
// on the LFO's state, the outputs of each sample into lfoL[], lfoR[].
void APlugin::stepModFXLFORun(int type, float rate, int n, float* lfoL, float* lfoR) {
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    TModFXLFO& lfo = modFXLFO;
    const bool shaped = type >= kTremolo && type <= kAutoPan;

    const float o = d[344] + 10.0f;
    const float sym = clamp01((shaped ? p[111] : 0.5f) + d[345]) * 0.998f + 0.001f;
    const float offsetR = d[343];
    const int wave = steppedIndex(clamp01((shaped ? p[109] : 0.0f) + d[340]), 8.99f, 9);
    const float* table = wave < 8 ? lfoWave[wave] : nullptr;
    const float r = rate * getModFXSpeedFactor();
    const float spread = clamp01(d[342]) * 3.0f + 1.0f;
    const float b = clampf(d[346], -1.0f, 1.0f);
    const float bNeg = 1.0f - b;
    const float bPos = 1.0f - std::fabs(b);
    const bool bits = d[347] > 0.001f;
    const float levels = bits ? std::exp2(17.0f - 17.0f * std::fmin(d[347], 1.0f)) : 0.0f;
    const float holdStep = d[348] <= 0.0f ? 1.0f : std::exp2(-16.0f * clamp01(d[348]));
    const float s = clamp01((shaped ? p[112] : 0.0f) + d[350]);
    const bool smooth = !(s <= 0.001f);
    const float c = smooth ? std::exp2(-13.0f * s) : 0.0f;

    // The LFO's state in locals over the run (the output arrays could alias the members).
    float ph0 = lfo.phase[0], ph1 = lfo.phase[1];
    float hum0 = lfo.hum[0], hum1 = lfo.hum[1];
    float random = lfo.random;
    float hold = lfo.holdCounter;
    float held0 = lfo.held[0], held1 = lfo.held[1];
    float out0 = lfo.out[0], out1 = lfo.out[1];
    // The usual run reads a wave table and has no bend, bit reduction or smoothing: its loop
    // is made without their tests (each would skip its step); any other takes the loop with
    // all tests.
    auto loop = [&](auto tests) {
        for (int j = 0; j < n; ++j) {
            const float qL = warp(fractionOf(ph0 + o), sym);
            const float qR = warp(fractionOf(o + ph1 + offsetR), sym);
            float v[2];
            if (!decltype(tests)::value || table) {
                v[0] = table[waveIndex(qL)];
                v[1] = table[waveIndex(qR)];
            } else {
                v[0] = v[1] = 2.0f * random - 1.0f;
            }

            stepModFXPhases(ph0, ph1, hum0, hum1, random, r, spread, d[349]);

            if constexpr (decltype(tests)::value) {
                for (float& x : v) {
                    if (b > 0.0f && x < 0.0f) x *= bNeg;
                    if (b < 0.0f && x > 0.0f) x *= bPos;
                }
            }
            if constexpr (decltype(tests)::value) {
                if (bits)
                    for (float& x : v)
                        x = clampf(std::floor((x + 1.0f) * (levels + 0.999f)) / levels - 1.0f, -1.0f, 1.0f);
            }

            hold += holdStep;
            if (hold >= 1.0f) {
                held0 = v[0];
                held1 = v[1];
                hold = fractionOf(hold);
            }

            if (!decltype(tests)::value || !smooth) {
                out0 = held0;
                out1 = held1;
            } else {
                out0 = (1.0f - c) * out0 + c * held0;
                out1 = (1.0f - c) * out1 + c * held1;
            }
            lfoL[j] = out0;
            lfoR[j] = out1;
        }
    };
    // b is never NaN (clampf gives -1 for it); at 0 (either sign) neither bend applies.
    const bool bend = b != 0.0f;
    if (table && !bend && !bits && !smooth && n >= 8 && n <= kSubBlock && lanes::wide()) {
        // The phases first (they do not depend on the wave), the wave values of all the
        // samples at once, then the hold.
        float pre0[kSubBlock], pre1[kSubBlock], v0[kSubBlock], v1[kSubBlock];
        // stepModFXPhases with its steps taken anew only where a wrap changes the factors.
        float step0 = hum0 * r, step1 = spread * r * hum1;
        // Adding a step of at least 0 never lowers a phase: phases that start inside (the
        // second above 0) and end the run below 1 were inside at every sample, where the loop
        // below finds no wrap and no fraction to take. Else the run is taken again there.
        bool inside = step0 >= 0.0f && step1 >= 0.0f && ph0 >= 0.0f && ph1 > 0.0f;
        if (inside) {
            float a = ph0, b = ph1;
            for (int j = 0; j < n; ++j) {
                pre0[j] = a;
                pre1[j] = b;
                a += step0;
                b += step1;
            }
            inside = a < 1.0f && b < 1.0f;
            if (inside) {
                ph0 = a;
                ph1 = b;
            }
        }
        if (!inside)
            for (int j = 0; j < n; ++j) {
                pre0[j] = ph0;
                pre1[j] = ph1;
                ph0 += step0;
                ph1 += step1;
                if (ph0 >= 1.0f || ph0 < 0.0f) {
                    wrapModFXPhase(ph0, hum0, hum1, random, d[349]);
                    step0 = hum0 * r;
                    step1 = spread * r * hum1;
                }
                // (Inside 0..1, where the phase mostly stays, the fraction is the phase itself.)
                if (!(ph1 > 0.0f && ph1 < 1.0f)) {
                    ph1 = fractionOf(ph1);
                    if (!(ph1 < 1.0f)) ph1 = 0.0f;
                }
            }
        if (holdStep == 1.0f && hold == 0.0f) {
            // No hold: the counter steps from 0 to 1 and back to +0 on every sample, and every
            // sample takes its wave values.
            modFXWaveWide(n, pre0, pre1, o, offsetR, sym, table, lfoL, lfoR);
            held0 = lfoL[n - 1];
            held1 = lfoR[n - 1];
            hold = 0.0f;
        } else {
            modFXWaveWide(n, pre0, pre1, o, offsetR, sym, table, v0, v1);
            for (int j = 0; j < n; ++j) {
                hold += holdStep;
                if (hold >= 1.0f) {
                    held0 = v0[j];
                    held1 = v1[j];
                    hold = fractionOf(hold);
                }
                lfoL[j] = held0;
                lfoR[j] = held1;
            }
        }
        out0 = held0;
        out1 = held1;
    } else if (table && !bend && !bits && !smooth) {
        loop(std::false_type{});
    } else {
        loop(std::true_type{});
    }
    lfo.phase[0] = ph0;
    lfo.phase[1] = ph1;
    lfo.hum[0] = hum0;
    lfo.hum[1] = hum1;
    lfo.random = random;
    lfo.holdCounter = hold;
    lfo.held[0] = held0;
    lfo.held[1] = held1;
    lfo.out[0] = out0;
    lfo.out[1] = out1;
}

// runModFXStage over a run (see mixEffectsRun). The Chorus and the Flanger run each step over
// the whole run: the LFO, the delay lengths it sets, the delay line, the limiter; the other
// types keep their sample-by-sample step.
void APlugin::runModFXRun(int n, const stereoStruct* in, stereoStruct* wet) {
    const int type = modFXMode;
    if (type != kChorus && type != kFlanger) {
        const uint32_t c0 = blockCounter;
        for (int j = 0; j < n; ++j) {
            blockCounter = c0 + (uint32_t)j;
            runModFXStage(in[j], wet[j]);
        }
        blockCounter = c0;
        return;
    }
    const float* d = modDestGlobal;
    const SharedFloat* p = paramValue;
    const float rate = getModFXRate(type);
    float lfoL[kSubBlock], lfoR[kSubBlock];
    stepModFXLFORun(type, rate, n, lfoL, lfoR);

    const float length = clamp01(p[109] + d[351]);
    const float width = clamp01(p[110] + d[352]);
    const float D = length * 0.05f * curSampleRate + 1.0f;
    const float wd = 0.99f * width;
    const float W = modFXWidenFactor.get(clamp01(p[111] + d[353]),
                                         [](float x) { return 4.0f * std::exp2(8.0f * x) + 1.0f; });
    float lenL[kSubBlock], lenR[kSubBlock];
    for (int j = 0; j < n; ++j) {
        const float lfoUL = lfoL[j] * 0.5f + 0.5f;
        const float lfoUR = lfoR[j] * 0.5f + 0.5f;
        lenL[j] = (wd * lfoUL + 1.0f - wd) * D;
        lenR[j] = (wd * lfoUR + 1.0f - wd) * D + W;
    }
    // The feedback is set from the same inputs on every sample: once is the same.
    modFXDelay.setFeed(type == kChorus ? 0.0f : -clampf(p[112] + d[354], -1.0f, 1.0f));
    modFXDelay.processRun(n, in, lenL, lenR, wet);
    if (type == kFlanger) doLimiterRun(n, wet);

    const float lowCut = type == kChorus ? clamp01(p[112] - d[364]) : clamp01(1.0f - d[364]);
    const float highCut = clamp01(d[365]);
    if (lowCut < 0.99f || highCut > 0.01f) {
        for (int j = 0; j < n; ++j) wet[j] = filterModFXWet(wet[j], lowCut, highCut);
    }
}
