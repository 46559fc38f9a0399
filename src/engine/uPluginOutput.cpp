// The last steps of every sample: the scope rings of the three layers, and the output
// stage (brick-wall master filter, master gain, clip, stereo width).
#include <cmath>
#include <cstring>

#include <immintrin.h>

#include "dsp/LaneDispatch.h"
#include "plugin/uPlugin.h"

namespace {

constexpr float kClip = 0.99f;
constexpr float kPi = 3.14159265358979f;
constexpr uint32_t kScopeMask = (uint32_t)APlugin::kScopeRingSize - 1u;
// The filter runs at four times the host rate; its cutoff is kept below that rate's
// Nyquist frequency, where the tangent-like coefficient would turn negative and the
// filter unstable (high Brick Filter Frequency settings at low host rates).
constexpr float kMaxBrickAngle = 0.49f * kPi;

typedef float Lanes __attribute__((vector_size(16)));
static_assert(sizeof(APlugin::brickState[0]) == sizeof(Lanes), "one channel's state is one vector");

// One host sample of the brick filter in double precision: two state-variable low-pass
// sections in series, run four times on the same input at four times the host rate; st
// holds s1, s2 of the first section and s1, s2 of the second. Returns the mean of the
// four outputs.
double brickSample(double g, double k, double st[4], double x) {
    double sum = 0.0;
    for (int step = 0; step < 4; ++step) {
        double in = x;
        for (int section = 0; section < 2; ++section) {
            double& s1 = st[2 * section];
            double& s2 = st[2 * section + 1];
            const double hp = (in - ((1.0 + g) * s1 + s2)) * k;
            const double t = g * hp;
            const double bp = s1 + t;
            const double lp = s2 + g * bp;
            s1 = bp + t;
            s2 = lp + g * bp;
            in = lp;
        }
        sum += in;
    }
    return sum * 0.25;
}

// x where it is finite, +0 elsewhere.
__attribute__((always_inline, target("avx2"))) inline __m256 finite(__m256 x) {
    const __m256 magnitude = _mm256_and_ps(x, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
    return _mm256_and_ps(x, _mm256_cmp_ps(magnitude, _mm256_set1_ps(3.40282347e38f), _CMP_LE_OQ));
}

// The finite test, the brick filter (when map is given) and the gain and clip of the output
// stage on eight lanes: the tests and the clip four samples at a time, the filter's two
// channels side by side, every lane of a channel's half doing that channel's operations.
__attribute__((target("avx2"))) void outputStageWide(int n, stereoStruct* io, const APlugin::TBrickMap* map,
                                                     float* state, float gain) {
    float* const f = reinterpret_cast<float*>(io);
    const int floats = 2 * n;
    int i = 0;
    for (; i + 8 <= floats; i += 8) _mm256_storeu_ps(f + i, finite(_mm256_loadu_ps(f + i)));
    for (; i < floats; ++i)
        if (!std::isfinite(f[i])) f[i] = 0.0f;

    if (map) {
        const __m256 c0 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(map->column[0]));
        const __m256 c1 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(map->column[1]));
        const __m256 c2 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(map->column[2]));
        const __m256 c3 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(map->column[3]));
        const __m256 cIn = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(map->input));
        const __m256 o0 = _mm256_set1_ps(map->out[0]), o1 = _mm256_set1_ps(map->out[1]);
        const __m256 o2 = _mm256_set1_ps(map->out[2]), o3 = _mm256_set1_ps(map->out[3]);
        const __m256 oIn = _mm256_set1_ps(map->outInput);
        const __m256 tiny = _mm256_set1_ps(1e-15f);
        const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
        const __m256i gather = _mm256_setr_epi32(0, 4, 0, 4, 0, 4, 0, 4);
        __m256 st = _mm256_loadu_ps(state);  // left's s1, s2, s1, s2, then right's
        for (int j = 0; j < n; ++j) {
            // Left's input in the first half, right's in the second.
            const __m256 x = _mm256_permutevar8x32_ps(
                _mm256_castpd_ps(_mm256_broadcast_sd(reinterpret_cast<const double*>(f + 2 * j))), spread);
            const __m256 b0 = _mm256_permute_ps(st, 0x00);
            const __m256 b1 = _mm256_permute_ps(st, 0x55);
            const __m256 b2 = _mm256_permute_ps(st, 0xaa);
            const __m256 b3 = _mm256_permute_ps(st, 0xff);
            const __m256 y = _mm256_add_ps(
                _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(o0, b0), _mm256_mul_ps(o1, b1)),
                              _mm256_add_ps(_mm256_mul_ps(o2, b2), _mm256_mul_ps(o3, b3))),
                _mm256_mul_ps(oIn, x));
            st = _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(c0, b0), _mm256_mul_ps(c1, b1)),
                                             _mm256_add_ps(_mm256_mul_ps(c2, b2), _mm256_mul_ps(c3, b3))),
                               _mm256_mul_ps(cIn, x));
            const __m256 out = _mm256_permutevar8x32_ps(_mm256_add_ps(y, tiny), gather);
            _mm_storel_pi(reinterpret_cast<__m64*>(f + 2 * j), _mm256_castps256_ps128(out));
        }
        _mm256_storeu_ps(state, st);
    }

    const __m256 gainV = _mm256_set1_ps(gain);
    const __m256 clipHigh = _mm256_set1_ps(kClip), clipLow = _mm256_set1_ps(-kClip);
    i = 0;
    for (; i + 8 <= floats; i += 8) {
        const __m256 x = finite(_mm256_mul_ps(_mm256_loadu_ps(f + i), gainV));
        _mm256_storeu_ps(f + i, _mm256_min_ps(_mm256_max_ps(x, clipLow), clipHigh));
    }
    for (; i < floats; ++i) {
        float x = f[i] * gain;
        if (!std::isfinite(x)) x = 0.0f;
        f[i] = x > kClip ? kClip : (x < -kClip ? -kClip : x);
    }
}

}  // namespace

// The filter is linear and its input is held over the four steps, so one host sample maps
// the state and the input to the new state and the output by a fixed matrix: applying that
// map is a short chain of independent multiply-adds instead of eight sections run one after
// the other. The map's columns are the responses to each unit state and to a unit input.
void APlugin::buildBrickMap(TBrickMap& map, float g, float k) {
    for (int j = 0; j < 5; ++j) {
        double st[4] = {0.0, 0.0, 0.0, 0.0};
        if (j < 4) st[j] = 1.0;
        const double out = brickSample(g, k, st, j < 4 ? 0.0 : 1.0);
        float* dest = j < 4 ? map.column[j] : map.input;
        for (int i = 0; i < 4; ++i) dest[i] = (float)st[i];
        if (j < 4)
            map.out[j] = (float)out;
        else
            map.outInput = (float)out;
    }
    map.g = g;
    map.k = k;
    map.valid = true;
}

void APlugin::updateMasterFilter() {
    const float v = paramValue[1019];
    float w = 20.0f * kPi * std::exp2(12.0f * v) / (4.0f * curSampleRate);
    if (!(w < kMaxBrickAngle)) w = kMaxBrickAngle;
    if (w < 0.0f) w = 0.0f;
    brickG = std::sin(w) / (std::cos(w) + 0.0015f);
    brickK = 1.0f / (brickG * brickG + brickG + 1.0f);
}

void APlugin::runOutputStage(float& left, float& right) {
    stereoStruct io{left, right};
    runOutputStageRun(1, &io);
    left = io.left;
    right = io.right;
}

// runOutputStage over n samples in turn, the settings and the brick filter's map taken once.
void APlugin::runOutputStageRun(int n, stereoStruct* io) {
    if (lanes::wide()) {
        const TBrickMap* map = nullptr;
        if (brickFilterOn) {
            if (!brickMap.valid || brickMap.g != brickG || brickMap.k != brickK) buildBrickMap(brickMap, brickG, brickK);
            map = &brickMap;
        }
        static_assert(sizeof(brickState) == 8 * sizeof(float), "both channels' states are eight floats");
        outputStageWide(n, io, map, &brickState[0][0][0], mainVolGain);
    } else {
        runOutputStageBaseline(n, io);
    }
    float w = 1.0f - modDestGlobal[11];
    w = w < 0.0f ? 0.0f : (w > 1.0f ? 1.0f : w);
    if (w < 1.0f) {
        for (int j = 0; j < n; ++j) {
            const float m = (1.0f - w) * (io[j].left + io[j].right) * 0.5f;
            io[j].left = w * io[j].left + m;
            io[j].right = w * io[j].right + m;
        }
    }
}

// The finite test, brick filter, gain and clip of runOutputStageRun on four lanes.
void APlugin::runOutputStageBaseline(int n, stereoStruct* io) {
    for (int j = 0; j < n; ++j) {
        if (!std::isfinite(io[j].left)) io[j].left = 0.0f;
        if (!std::isfinite(io[j].right)) io[j].right = 0.0f;
    }

    if (brickFilterOn) {
        TBrickMap& map = brickMap;
        if (!map.valid || map.g != brickG || map.k != brickK) buildBrickMap(map, brickG, brickK);
        Lanes column[4];
        std::memcpy(column, map.column, sizeof(column));
        Lanes input;
        std::memcpy(&input, map.input, sizeof(input));
        const float out0 = map.out[0], out1 = map.out[1], out2 = map.out[2], out3 = map.out[3];
        const float outInput = map.outInput;
        for (int ch = 0; ch < 2; ++ch) {
            Lanes st;
            std::memcpy(&st, brickState[ch], sizeof(st));
            for (int j = 0; j < n; ++j) {
                float& x = ch == 0 ? io[j].left : io[j].right;
                const float y = (out0 * st[0] + out1 * st[1]) + (out2 * st[2] + out3 * st[3]) + outInput * x;
                st = (column[0] * st[0] + column[1] * st[1]) + (column[2] * st[2] + column[3] * st[3]) +
                     input * x;
                x = y + 1e-15f;
            }
            std::memcpy(brickState[ch], &st, sizeof(st));
        }
    }

    const float gain = mainVolGain;
    for (int j = 0; j < n; ++j) {
        float* pair[2] = {&io[j].left, &io[j].right};
        for (float* px : pair) {
            float x = *px * gain;
            if (!std::isfinite(x)) x = 0.0f;
            *px = x > kClip ? kClip : (x < -kClip ? -kClip : x);
        }
    }
}

// The chain and the output stage of a run of samples whose voices have run (see
// processReplacing): what renderEngineEffects and finishSample do sample by sample, with the
// same results, outputs and counters at the end.
void APlugin::finishRun(VstInt32 first, int n, float* outL, float* outR) {
    stereoStruct io[kSubBlock];
    mixEffectsRun(n, io);
    std::memcpy(layerOut, subLayerOut[n - 1], sizeof(layerOut));
    outSample = io[n - 1];
    runOutputStageRun(n, io);
    modSrcGlobal[129] = (io[n - 1].left + io[n - 1].right) * 4.0f;
    for (int j = 0; j < n; ++j) {
        if (outL) outL[first + j] = io[j].left;
        if (outR) outR[first + j] = io[j].right;
    }
    forceControlUpdate = 0;
    sampleCounter += (uint32_t)n;
    blockCounter += (uint32_t)n;
}

namespace {

// The scope rings' sample and the global layer-output sources from the last voice's row, or
// silence when no voice sounds (voice -1).
__attribute__((always_inline)) inline void writeScopes(APlugin& p, int voice) {
    const uint32_t pos = p.sampleCounter & kScopeMask;
    SharedFloat* ring0 = p.scopeBuffer;
    SharedFloat* ring1 = p.scopeBuffer + APlugin::kScopeRingSize;
    SharedFloat* ring2 = p.scopeBuffer + 2 * APlugin::kScopeRingSize;
    if (voice < 0) {
        ring0[pos] = ring1[pos] = ring2[pos] = 0.0f;
        for (int s = 118; s <= 124; ++s) p.modSrcGlobal[s] = 0.0f;
        return;
    }
    const float* src = p.modSrcVoice[voice];
    // Sources 118 .. 124 as a run of three and one of four. The voice's row was most often
    // written just before, as 118 .. 121 and 121 .. 124 (LayerOutWriter): a read within one
    // of those stores takes its value straight from it, where one across both would wait
    // for them to reach the cache.
    std::memcpy(&p.modSrcGlobal[118], &src[118], 3 * sizeof(float));
    std::memcpy(&p.modSrcGlobal[121], &src[121], 4 * sizeof(float));
    ring0[pos] = src[118];
    ring1[pos] = src[119];
    ring2[pos] = src[121];
}

// captureScopes where the first listed voice is not held: whether any voice sounds, the
// active voices asked first, since one of them almost always does.
__attribute__((noinline)) void captureScopesAsking(APlugin& p) {
    const int last = p.lastVoice;
    bool playing = false;
    if (last >= 0 && last < kNumVoices) {
        for (int a = 0; a < p.activeVoiceCount && !playing; ++a) playing = p.isVoiceSounding(p.activeVoiceList[a]);
        if (!playing) playing = p.getIsAnyVoicePlaying();
    }
    writeScopes(p, playing ? last : -1);
}

}  // namespace

void APlugin::captureScopes() {
    // Most often the first listed voice is held: then a voice sounds.
    const int last = lastVoice;
    const int first = activeVoiceCount > 0 ? activeVoiceList[0] : -1;
    if (isValidVoice(last) && isValidVoice(first) && voiceKeyOn[first])
        writeScopes(*this, last);
    else
        captureScopesAsking(*this);
}

void APlugin::getWaveDisplay(int ring, int n, float zoom, float* out) {
    if (n <= 0 || !out) return;
    if (ring < 0 || ring >= kNumLayers) {
        for (int i = 0; i < n; ++i) out[i] = 0.5f;
        return;
    }
    const SharedFloat* data = scopeBuffer + ring * kScopeRingSize;
    const uint32_t counter = readsEngineView() ? engineView.sampleCounter.load(std::memory_order_acquire) : sampleCounter;
    const double span = 8.0 * 2048.0 * (double)zoom;
    for (int i = 0; i < n; ++i) {
        // With a single point the newest sample is shown.
        const double fraction = n > 1 ? 1.0 - (double)i / (double)(n - 1) : 0.0;
        double backD = fraction * span;
        if (!(backD < 2147483647.0)) backD = 2147483647.0;
        if (backD < 0.0) backD = 0.0;
        // Counted without sign, so the display keeps working once the sample counter has
        // passed 2^31; only points older than the first rendered sample show the mid line.
        const uint32_t back = (uint32_t)backD;
        if (back >= counter) {
            out[i] = 0.5f;
            continue;
        }
        const float v = data[(counter - 1u - back) & kScopeMask] * 0.5f + 0.5f;
        out[i] = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }
}
