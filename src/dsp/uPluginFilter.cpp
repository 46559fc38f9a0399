// The distortion and amp stage: the first station of the effect chain. Once per host
// sample it takes the layers routed to "Distortion FX" at twice the host rate, runs one of
// 26 models, mixes wet and dry, pans the wet signal, removes DC, and leaves one stereo
// sample on the effect bus.
#include <cmath>
#include <cstring>
#include <type_traits>

#include <emmintrin.h>

#include "dsp/TAmpModels.h"
#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"

namespace {

constexpr float kDenormal = 1e-15f;
constexpr float kMixKeep = 0.999f;
constexpr float kMixTake = 0.0009999871f;

enum DistortMode : int {
    kDistAmp = 0,
    kDistAtan,
    kDistBits,
    kDistBP,
    kDistCab,
    kDistCos1,
    kDistCos2,
    kDistCross1,
    kDistEQ,
    kDistFold,
    kDistFuzz,
    kDistGapper,
    kDistHP,
    kDistLimit,
    kDistLP,
    kDistNoise,
    kDistOctave1,
    kDistOctave2,
    kDistOver,
    kDistPower,
    kDistRate,
    kDistRectify,
    kDistRez,
    kDistSaturate,
    kDistSquare,
    kDistValve,
    kDistModeCount,
};

inline float clamp01(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }  // NaN: 0
inline float clampf(float x, float lo, float hi) { return x > lo ? (x < hi ? x : hi) : lo; }
inline float signOf(float x) { return x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f); }

// Index of a 65536-entry table for a position counted in entries: truncated toward zero,
// then taken modulo 65536 (negative positions wrap to the top). Works for any finite value;
// a value that is not finite reads entry 0.
inline int wrapIndex(float position) {
    if (!std::isfinite(position)) return 0;
    double t = std::trunc((double)position);
    t -= 65536.0 * std::floor(t / 65536.0);
    return (int)t & 0xffff;
}

// Lanes of an oversampled stereo sample: left 0, right 0, left 1, right 1.
inline float& lane(stereoOverStruct& s, int l) {
    return (l & 1) ? s.sub[l >> 1].right : s.sub[l >> 1].left;
}
inline float lane(const stereoOverStruct& s, int l) {
    return (l & 1) ? s.sub[l >> 1].right : s.sub[l >> 1].left;
}

// Gain of a +-20 dB modulation destination: 0 dB without modulation.
inline float boostGain(float d) {
    const float v = clamp01(0.5f * d + 0.5f);
    return std::pow(10.0f, (40.0f * v - 20.0f) / 20.0f);
}

}  // namespace

stereoStruct APlugin::doFilterDistort(stereoStruct x, float drive) {
    auto clip = [drive](float v) {
        const float y = drive * v + kDenormal;
        const float z = (v + y) / (std::fabs(y) + 1.0f);
        if (z != z) return 0.0f;
        if (z < -1.0f) return -1.0f;
        return (z < 1.0f ? z : 1.0f) + kDenormal;
    };
    return stereoStruct{clip(x.left), clip(x.right)};
}

void APlugin::doLimiter(stereoStruct& x) {
    const float peak = std::fmax(std::fabs(x.left), std::fabs(x.right));
    limiterLevel = kMixKeep * limiterLevel + kMixTake * peak + kDenormal;
    if (!(limiterLevel < 1e30f)) limiterLevel = 1e30f;  // a non-finite input cannot stick
    if (limiterLevel >= 1.2f) {
        x.left = x.left / limiterLevel * 1.2f + kDenormal;
        x.right = x.right / limiterLevel * 1.2f + kDenormal;
    }
}

void APlugin::initDistort() {
    distortRateCounter = 0.0f;
    distortRateHeld = stereoOverStruct{};
    distortMixSmooth = paramValue[104];
    std::memset(ampRing, 0, sizeof(ampRing));
    ampIndex = 0;
    std::memset(cabIn, 0, sizeof(cabIn));
    std::memset(cabOut, 0, sizeof(cabOut));
    cabIndex = 0;
    static const int kModes[3] = {kFilterZeroLow12, kFilterZeroBand12, kFilterZeroHigh12};
    for (int f = 0; f < 3; ++f) {
        distortFilter[f].init(curSampleRate);
        distortFilter[f].setType(kModes[f], true);
    }
    distortEQ.init(curSampleRate);
    distortDCState[0] = distortDCState[1] = 0.0f;
    distortInLevel = 0.0f;
    distortOutLevel = 0.0f;
}

// One model on the pre-gained input xp, result in v (four lanes). A and B are the knobs.
void APlugin::runDistortModel(stereoOverStruct& v, const stereoOverStruct& xp, float A, float B) {
    // Symmetry: B scales the negative side below 0.5 and the positive side above it.
    const float sNeg = clamp01(2.0f - 2.0f * B);
    const float sPos = clamp01(2.0f * B);
    v = xp;  // lanes a model leaves alone keep the pre-gained input
    const float* cosTab = cosTable;
    const float* sinTab = sinTable;

    switch (distortMode) {
        case kDistAmp:
        case kDistCab: {
            const float drive = std::exp2(8.0f * B) - 1.0f;
            stereoStruct u{0.5f * (xp.sub[0].left + xp.sub[1].left),
                           0.5f * (xp.sub[0].right + xp.sub[1].right)};
            if (distortMode == kDistAmp) {
                const int k = getSteppedValue(paramValue[105], 5.99f, 6);
                if (k >= 1) {
                    // Convolution with the speaker response: tap t weights the input of t
                    // samples ago.
                    const float* h = ampmodels::AMP_RESPONSE[k];
                    const int i = ampIndex;
                    ampRing[i][0] = u.left;
                    ampRing[i][1] = u.right;
                    float l = kDenormal, r = kDenormal;
                    for (int t = 0; t < kAmpRingSize; ++t) {
                        const int j = (i - t) & (kAmpRingSize - 1);
                        l += h[t] * ampRing[j][0];
                        r += h[t] * ampRing[j][1];
                    }
                    u = stereoStruct{l, r};
                    ampIndex = (i + 1) & (kAmpRingSize - 1);
                }
            } else {
                const int m = getSteppedValue(paramValue[105], 3.99f, 4);
                const int row = ampmodels::cabRow(m, curSampleRate);
                if (row != 0 && row != 4) {
                    const float* aa = ampmodels::CAB_AA[row];
                    const float* bb = ampmodels::CAB_BB[row];
                    const int i = cabIndex;
                    cabIn[i][0] = u.left;
                    cabIn[i][1] = u.right;
                    float l = 0.0f, r = 0.0f;
                    for (int t = 0; t < kCabRingSize; ++t) {
                        const int j = (i - t) & (kCabRingSize - 1);
                        l += aa[t] * cabIn[j][0] + bb[t] * cabOut[j][0];
                        r += aa[t] * cabIn[j][1] + bb[t] * cabOut[j][1];
                    }
                    cabOut[i][0] = l + kDenormal;
                    cabOut[i][1] = r + kDenormal;
                    cabIndex = (i + 1) & (kCabRingSize - 1);
                    u = stereoStruct{l, r};
                }
            }
            const stereoStruct y = doFilterDistort(u, drive);
            v.sub[0] = y;
            v.sub[1] = y;
            break;
        }
        case kDistAtan: {
            const float kPos = std::exp2(5.0f * A * sPos) - 0.99f;
            const float kNeg = std::exp2(5.0f * A * sNeg) - 0.99f;
            const float nPos = std::atan(kPos), nNeg = std::atan(kNeg);
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                if (std::fabs(x) > 0.001f) {
                    const bool pos = x > 0.0f;
                    lane(v, l) = std::atan((pos ? kPos : kNeg) * x) / (pos ? nPos : nNeg) + kDenormal;
                }
            }
            break;
        }
        case kDistBits: {
            const float k = std::exp2(16.5f - 16.0f * A);
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                lane(v, l) = signOf(x) * std::floor(std::fabs(x) * k) / k;
            }
            break;
        }
        case kDistBP:
        case kDistHP:
        case kDistLP: {
            const int f = distortMode == kDistLP ? 0 : (distortMode == kDistBP ? 1 : 2);
            distortFilter[f].process(A, 1.0f, stereoStruct{0.0f, 0.0f}, B, 0.0f, xp, v);
            break;
        }
        case kDistCos1: {
            const float scale = (std::exp2(5.0f * A) - 1.0f) * 32767.994f;
            const float shift = 65535.988f * B;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                lane(v, l) = x * cosTab[wrapIndex(scale * x + shift)];
            }
            break;
        }
        case kDistCos2: {
            const float s = (std::exp2(5.0f * A) - 1.0f) * 32767.994f;
            const float e = (std::exp2(5.0f * B) - 1.0f) * 32767.994f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                lane(v, l) = x * cosTab[wrapIndex((s + (e - s) * std::fabs(x)) * x)];
            }
            break;
        }
        case kDistCross1: {
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float d = std::fabs(x) - 0.2f * A;
                const float r = d >= 0.0f ? d : 2.0f * d;
                lane(v, l) = x >= 0.0f ? r : -r * (1.0f - 2.0f * B);
            }
            break;
        }
        case kDistEQ:
            distortEQ.setFXParameters(200.0f, A, 4000.0f, B);
            distortEQ.processFX(xp, v);
            break;
        case kDistFold: {
            const float tPos = 1.0f - 0.99f * A * sPos;
            const float tNeg = 1.0f - 0.99f * A * sNeg;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float T = x > 0.0f ? tPos : tNeg;
                const float y = x - T;
                const float folded = std::fabs(y - 4.0f * T * std::trunc(y / (4.0f * T)));
                lane(v, l) = (std::fabs(folded - 2.0f * T) - T) / T;
            }
            break;
        }
        case kDistFuzz: {
            const float scale = (std::exp2(4.0f * B) - 1.0f) * 32768.0f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                lane(v, l) = x + A * (1.0f - x * x) * sinTab[wrapIndex(scale * x)];
            }
            break;
        }
        case kDistGapper: {
            const float g = std::exp2(4.0f * B + 2.0f) - 1.0f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float p = std::fabs(x) * g;
                if (p - std::floor(p) > 0.5f) lane(v, l) = x * (1.0f - A);
            }
            break;
        }
        case kDistLimit: {
            const float k = std::exp2(6.0f * A);
            const float L = std::exp2(-6.0f * B);
            for (int l = 0; l < 4; ++l) lane(v, l) = clampf(k * lane(xp, l), -L, L);
            break;
        }
        case kDistNoise: {
            const float a = A * A * A;
            for (int l = 0; l < 4; ++l) {
                const float r = RandSeed.nextUnipolar();
                lane(v, l) = lane(xp, l) * (1.0f - a + a * r);
            }
            break;
        }
        case kDistOctave1: {
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float c = x > 0.0f ? 1.0f - B : 1.0f - A;
                float f = 2.0f * std::fabs(x);
                if (f > 1.0f) f = 2.0f - f;
                lane(v, l) = c * x - (1.0f - c) * f;
            }
            break;
        }
        case kDistOctave2: {
            const float gPos = std::exp2(4.0f * A * sPos);
            const float gNeg = std::exp2(4.0f * A * sNeg);
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                float u = (x > 0.0f ? gPos : gNeg) * std::fabs(x);
                u = u - 2.0f * std::trunc(u * 0.5f);
                if (u > 1.0f) u = 2.0f - u;
                lane(v, l) = signOf(x) * u;
            }
            break;
        }
        case kDistOver: {
            const float k = std::exp2(6.0f * A) - 1.0f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                // The positive-side factor applies only above 1.0.
                const float kk = k * (x > 1.0f ? sPos : sNeg);
                const float ax = std::fabs(x);
                lane(v, l) = x * (ax + kk) / (x * x + (kk - 1.0f) * ax + 1.0f);
            }
            break;
        }
        case kDistPower: {
            const float aPos = 0.999f * A * sPos, aNeg = 0.999f * A * sNeg;
            const float kPos = 2.0f * aPos / (1.0f - aPos), kNeg = 2.0f * aNeg / (1.0f - aNeg);
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float k = x > 0.0f ? kPos : kNeg;
                lane(v, l) = (1.0f + k) * x / (1.0f + k * std::fabs(x));
            }
            break;
        }
        case kDistRate: {
            const float period = std::exp2(5.0f * A);
            distortRateCounter += 1.0f;
            if (distortRateCounter > period) {
                distortRateCounter -= period;
                distortRateHeld = xp;
            }
            v = distortRateHeld;
            break;
        }
        case kDistRectify: {
            const float g = std::exp2(4.0f * B);
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float y = g * x + kDenormal;
                const float z = (x + y) / (std::fabs(y) + 1.0f) + kDenormal;
                lane(v, l) = z < 0.0f ? z * (1.0f - 2.0f * A) : z;
            }
            break;
        }
        case kDistRez: {
            const float scale = std::exp2(8.0f * B - 4.0f) * 65535.988f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float ax = std::fabs(x);
                // Never below 0: beyond full scale the resonance term vanishes instead of
                // turning the divisor toward zero.
                float r = 1.0f - ax < ax ? 1.0f - ax : ax;
                if (!(r > 0.0f)) r = 0.0f;
                const float c = cosTab[wrapIndex(r * scale + 65535.988f)];
                lane(v, l) = signOf(x) * clamp01((ax + A * r * c) / (r + 1.0f));
            }
            break;
        }
        case kDistSaturate: {
            const float gPos = std::exp2(4.0f * A * sPos) - 1.0f;
            const float gNeg = std::exp2(4.0f * A * sNeg) - 1.0f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float y = (x > 0.0f ? gPos : gNeg) * x + kDenormal;
                lane(v, l) = (x + y) / (std::fabs(y) + 1.0f) + kDenormal;
            }
            break;
        }
        case kDistSquare: {
            const float aPos = sPos * A, aNeg = sNeg * A;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                if (std::fabs(x) <= 0.001f)
                    lane(v, l) = 0.0f;
                else if (x > 0.0f)
                    lane(v, l) = (1.0f - aPos) * x + aPos;
                else
                    lane(v, l) = (1.0f - aNeg) * x - aNeg;  // the mirror image
            }
            break;
        }
        case kDistValve: {
            const float gPos = std::exp2(5.0f * A * sPos) - 0.99f;
            const float gNeg = std::exp2(5.0f * A * sNeg) + 0.99f;
            for (int l = 0; l < 4; ++l) {
                const float x = lane(xp, l);
                const float ax = std::fabs(x);
                const float u = ((x > 0.0f ? gPos : gNeg) + ax) * ax;
                lane(v, l) = signOf(x) * clamp01(u / (u + 1.0f));
            }
            break;
        }
        default:
            break;  // no such model: the pre-gained input passes
    }

    if (distortMode == kDistBits || distortMode == kDistNoise || distortMode == kDistRate) {
        stereoOverStruct in = v;
        distortFilter[0].process(B, 1.0f, stereoStruct{0.0f, 0.0f}, 0.0f, 0.0f, in, v);
    }
}

// The noise model draws from the shared generator on every sample.
bool APlugin::distortDrawsRandom() const {
    return distortOn && !bypassAllFX && distortMode == kDistNoise;
}

void APlugin::doDistort() {
    // 1. The layers routed here, at the oversampled rate.
    stereoOverStruct x{{{kDenormal, kDenormal}, {kDenormal, kDenormal}}};
    for (int layer = 0; layer < kNumLayers; ++layer) {
        if (layerDest[layer] != kLayerDestDistortion) continue;
        const stereoOverStruct& o = layerOut[layer];
        for (int k = 0; k < 2; ++k) {
            x.sub[k].left += o.sub[k].left;
            x.sub[k].right += o.sub[k].right;
        }
    }

    // 2. Pre- and post-boost.
    const float* d = modDestGlobal;
    const float P = distortPreBoost.get(d[317], boostGain);
    const float Q = distortPostBoost.get(d[318], boostGain);
    stereoOverStruct xp;
    for (int l = 0; l < 4; ++l) lane(xp, l) = P * lane(x, l);

    stereoOverStruct out;
    // Bypass All FX bypasses the model too, so every layer reaches the output dry.
    if (!distortOn || bypassAllFX) {
        // 3. Off: only the DC blocker.
        for (int k = 0; k < 2; ++k) {
            float w[2] = {Q * xp.sub[k].left, Q * xp.sub[k].right};
            for (int c = 0; c < 2; ++c) {
                distortDCState[c] = distortDCState[c] + (w[c] - distortDCState[c]) * distortDCCoef + kDenormal;
                w[c] -= distortDCState[c];
            }
            out.sub[k] = stereoStruct{w[0], w[1]};
        }
    } else {
        // 4. Input follower.
        distortInLevel = 0.98f * distortInLevel +
                         0.02f * std::fmax(std::fabs(xp.sub[0].left), std::fabs(xp.sub[0].right));

        // 5, 6. The model.
        const float A = clamp01(paramValue[105] + d[315]);
        const float B = clamp01(paramValue[106] + d[316]);
        stereoOverStruct w;
        runDistortModel(w, xp, A, B);

        // 7. Pan, post-boost (applied once, to every lane) and the DC blocker.
        const float p = clamp01(0.5f * d[314] + 0.5f);
        const float gl = std::fmin(1.0f, 2.0f - 2.0f * p) * Q;
        const float gr = std::fmin(1.0f, 2.0f * p) * Q;
        for (int k = 0; k < 2; ++k) {
            float wv[2] = {w.sub[k].left * gl, w.sub[k].right * gr};
            for (int c = 0; c < 2; ++c) {
                distortDCState[c] = distortDCState[c] + (wv[c] - distortDCState[c]) * distortDCCoef + kDenormal;
                wv[c] -= distortDCState[c];
            }
            w.sub[k] = stereoStruct{wv[0], wv[1]};
        }

        // 8. Output follower; the speaker models keep the level near the input's.
        distortOutLevel = 0.98f * distortOutLevel +
                          0.02f * std::fmax(std::fabs(w.sub[0].left), std::fabs(w.sub[0].right));
        if ((distortMode == kDistAmp || distortMode == kDistCab) && distortOutLevel > 0.0001f) {
            const float g = 0.5f + 0.5f * distortInLevel / distortOutLevel;
            for (int l = 0; l < 4; ++l) lane(w, l) *= g;
        }

        // 9. Wet/dry mix.
        distortMixSmooth = kMixKeep * distortMixSmooth + kMixTake * paramValue[104] + kDenormal;
        const float m = clamp01(distortMixSmooth + d[313]);
        const float wetGain = std::fmin(1.0f, 2.0f * m);
        const float dryGain = std::fmin(1.0f, 2.0f - 2.0f * m);
        for (int l = 0; l < 4; ++l) lane(out, l) = lane(w, l) * wetGain + lane(xp, l) * dryGain + kDenormal;

        // 10. Output as a modulation source.
        if (fxOutSrcUsed[0]) setModSrc(125, 4.0f * (out.sub[0].left + out.sub[0].right));
    }

    // 11. One host-rate sample on the effect bus.
    fxBusIn.left = (out.sub[0].left + out.sub[1].left) * 0.5f + kDenormal;
    fxBusIn.right = (out.sub[0].right + out.sub[1].right) * 0.5f + kDenormal;
    fxBusOut = fxBusIn;
}

// doDistort over a run of samples (see mixEffectsRun): each sample's bus value into bus[].
// With the model off (or bypassed) only the boosts and the DC blocker run, their gains taken
// once; a model keeps its sample-by-sample step.
void APlugin::doDistortRun(int n, stereoStruct* bus) {
    if (distortOn && !bypassAllFX) {
        for (int j = 0; j < n; ++j) {
            std::memcpy(layerOut, subLayerOut[j], sizeof(layerOut));
            doDistort();
            bus[j] = fxBusIn;
        }
        return;
    }
    int layers[kNumLayers];
    int count = 0;
    for (int layer = 0; layer < kNumLayers; ++layer)
        if (layerDest[layer] == kLayerDestDistortion) layers[count++] = layer;
    const float* d = modDestGlobal;
    const float P = distortPreBoost.get(d[317], boostGain);
    const float Q = distortPostBoost.get(d[318], boostGain);
    // Left and right side by side in the two low lanes: the DC blocker's two channels take
    // the same operations, each lane its channel's, in their order; the routed layers' sum
    // of a sample is its four values in one register, the layers taken in order.
    const __m128 dn = _mm_set1_ps(kDenormal), half = _mm_set1_ps(0.5f);
    const __m128 pre = _mm_set1_ps(P), post = _mm_set1_ps(Q), coef = _mm_set1_ps(distortDCCoef);
    __m128 s = _mm_setr_ps(distortDCState[0], distortDCState[1], 0.0f, 0.0f);
    static_assert(sizeof(stereoOverStruct) == 4 * sizeof(float), "a layer's output is four floats");
    // (The layer count a constant of each loop: no loop inside it to leave on every sample.)
    const auto run = [&](auto layerCount) {
        for (int j = 0; j < n; ++j) {
            __m128 x = dn;
            for (int i = 0; i < decltype(layerCount)::value; ++i)
                x = _mm_add_ps(x, _mm_loadu_ps(&subLayerOut[j][layers[i]].sub[0].left));
            // (wl, wr) of both halves.
            const __m128 w = _mm_mul_ps(post, _mm_mul_ps(pre, x));
            const __m128 w1 = _mm_movehl_ps(w, w);
            s = _mm_add_ps(_mm_add_ps(s, _mm_mul_ps(_mm_sub_ps(w, s), coef)), dn);
            const __m128 out0 = _mm_sub_ps(w, s);
            s = _mm_add_ps(_mm_add_ps(s, _mm_mul_ps(_mm_sub_ps(w1, s), coef)), dn);
            const __m128 out1 = _mm_sub_ps(w1, s);
            _mm_storel_pi(reinterpret_cast<__m64*>(bus + j), _mm_add_ps(_mm_mul_ps(_mm_add_ps(out0, out1), half), dn));
        }
    };
    static_assert(kNumLayers == 3, "a loop per layer count");
    if (count == 0)
        run(std::integral_constant<int, 0>{});
    else if (count == 1)
        run(std::integral_constant<int, 1>{});
    else if (count == 2)
        run(std::integral_constant<int, 2>{});
    else
        run(std::integral_constant<int, 3>{});
    float st[4];
    _mm_storeu_ps(st, s);
    distortDCState[0] = st[0];
    distortDCState[1] = st[1];
    fxBusIn = fxBusOut = bus[n - 1];
}

// doLimiter on each of n samples in turn.
void APlugin::doLimiterRun(int n, stereoStruct* x) {
    // Each sample's share of its peak does not depend on the level: those of a piece of the
    // run first, four samples at a time, then the level's steps in turn.
    // std::fmax(a, b) without the library call (the same value, NaN included).
    const auto peakOf = [](float a, float b) { return b != b ? a : (a > b ? a : b); };
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)), take = _mm_set1_ps(kMixTake);
    float level = limiterLevel;
    for (int from = 0; from < n; from += kSubBlock, x += kSubBlock) {
        const int m = n - from < kSubBlock ? n - from : kSubBlock;
        float share[kSubBlock];
        const float* const f = reinterpret_cast<const float*>(x);
        int j = 0;
        for (; j + 4 <= m; j += 4) {
            const __m128 p0 = _mm_loadu_ps(f + 2 * j), p1 = _mm_loadu_ps(f + 2 * j + 4);
            const __m128 a = _mm_and_ps(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(2, 0, 2, 0)), magnitude);
            const __m128 b = _mm_and_ps(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(3, 1, 3, 1)), magnitude);
            // maxps gives b where either is NaN: a where b is.
            const __m128 bNaN = _mm_cmpunord_ps(b, b);
            const __m128 peak = _mm_or_ps(_mm_and_ps(bNaN, a), _mm_andnot_ps(bNaN, _mm_max_ps(a, b)));
            _mm_storeu_ps(share + j, _mm_mul_ps(take, peak));
        }
        for (; j < m; ++j) share[j] = kMixTake * peakOf(std::fabs(x[j].left), std::fabs(x[j].right));
        // The levels in turn (into share), then the samples they hold down, four at a time.
        for (j = 0; j < m; ++j) {
            level = kMixKeep * level + share[j] + kDenormal;
            if (!(level < 1e30f)) level = 1e30f;
            share[j] = level;
        }
        const __m128 limit = _mm_set1_ps(1.2f), denormal = _mm_set1_ps(kDenormal);
        float* const g = reinterpret_cast<float*>(x);
        j = 0;
        for (; j + 4 <= m; j += 4) {
            const __m128 l = _mm_loadu_ps(share + j);
            const __m128 lo = _mm_unpacklo_ps(l, l), hi = _mm_unpackhi_ps(l, l);
            const __m128 p0 = _mm_loadu_ps(g + 2 * j), p1 = _mm_loadu_ps(g + 2 * j + 4);
            const __m128 held0 = _mm_cmpge_ps(lo, limit), held1 = _mm_cmpge_ps(hi, limit);
            const __m128 y0 = _mm_add_ps(_mm_mul_ps(_mm_div_ps(p0, lo), limit), denormal);
            const __m128 y1 = _mm_add_ps(_mm_mul_ps(_mm_div_ps(p1, hi), limit), denormal);
            _mm_storeu_ps(g + 2 * j, _mm_or_ps(_mm_and_ps(held0, y0), _mm_andnot_ps(held0, p0)));
            _mm_storeu_ps(g + 2 * j + 4, _mm_or_ps(_mm_and_ps(held1, y1), _mm_andnot_ps(held1, p1)));
        }
        for (; j < m; ++j) {
            if (share[j] >= 1.2f) {
                x[j].left = x[j].left / share[j] * 1.2f + kDenormal;
                x[j].right = x[j].right / share[j] * 1.2f + kDenormal;
            }
        }
    }
    limiterLevel = level;
}
