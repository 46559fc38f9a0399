// The four layer sound models ("Wire", "String", "FM", "Wave"), the layers' controls and
// their note start; the filters and tails that follow the models are in
// uPluginLayerFinish.cpp. The voice path runs at
// twice the host rate: each stacked note of a voice layer yields one stereoOverStruct (two
// stereo sub-samples) per host sample. Control values are refreshed every 16 samples of the
// voice, pitch-envelope scaling every 4; the per-sample path is table reads, integer phase
// arithmetic and multiply-adds.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dsp/LaneDispatch.h"
#include "engine/RandSeed.h"
#include "engine/VoiceKey.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// ---------------------------------------------------------------------------------------
// Voice filters: each call stands where the note start and the voice controls set up one of
// the layer's filters (the multimode filter of a Wave layer, the band-pass and low-pass of a
// Wire layer, the high-pass of every layer); the render loop runs them in finishLayer.
// ---------------------------------------------------------------------------------------

// At note start: the voice filter takes the layer's mode (a change of mode clears it), starts
// from silence and takes its velocity tracking.
// (reset: false where the filter already holds what its reset leaves, see voiceFiltersClean)
inline void voiceFilterStart(APlugin& p, int layer, int voice, int mode, float track,
                             float velocity, bool reset) {
    TFilter& f = p.voiceFilter[layer][voice];
    f.setType(mode, true);
    if (reset) f.reset();
    f.setVel(track, velocity);
}
inline void lowPassSetVel(APlugin& p, int layer, int v, float amount, float velocity) {
    p.voiceLPFilter[layer][v].setVel(amount, velocity);
}
inline void bandPassStart(APlugin& p, int layer, int v, float amount, float velocity, bool reset) {
    if (reset) p.voiceBPFilter[layer][v].reset();
    p.voiceBPFilter[layer][v].setVel(amount, velocity);
}
inline void highPassReset(APlugin& p, int layer, int v) { p.voiceHPFilter[layer][v].reset(); }
inline void lowPassReset(APlugin& p, int layer, int v) { p.voiceLPFilter[layer][v].reset(); }
// Filter key tracking (amount -1..1, the voice's pitch in octaves) of the voice filter and
// the Wire low-pass; the Wire band-pass has its own.
inline void filterSetTrack(APlugin& p, int layer, int v, float amount, float key) {
    p.voiceFilter[layer][v].setTrack(amount, key);
    p.voiceLPFilter[layer][v].setTrack(amount, key);
}
inline void bandPassSetTrack(APlugin& p, int layer, int v, float amount, float key) {
    p.voiceBPFilter[layer][v].setTrack(amount, key);
}

// ---------------------------------------------------------------------------------------
// Numeric helpers: conversions that saturate or wrap instead of overflowing.
// ---------------------------------------------------------------------------------------

constexpr double kPhaseScale = 16777215.0;

inline float clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;  // NaN too
    return x < 1.0f ? x : 1.0f;
}

// A phase step from a double: 0 for NaN or negative, saturated below 2^31.
// Without branches where SSE2 is at hand: a max with 0 (which gives 0 for NaN and -0) and a
// min with the saturation value; a value between truncates exactly as before.
inline uint32_t toStep(double x) {
#if defined(__SSE2__)
    const __m128d low = _mm_max_sd(_mm_set_sd(x), _mm_setzero_pd());
    return (uint32_t)_mm_cvttsd_si32(_mm_min_sd(low, _mm_set_sd(2147483647.0)));
#else
    if (!(x > 0.0)) return 0u;
    if (x >= 2147483647.0) return 2147483647u;
    return (uint32_t)x;
#endif
}

// int(x) wrapped into mask (a power of two minus one); NaN and absurd values give 0.
inline uint32_t wrapTrunc(double x, uint32_t mask) {
    if (!(std::fabs(x) < 9.0e18)) return 0u;
    return (uint32_t)(uint64_t)(int64_t)x & mask;
}

// The same for a float of ordinary size, without the trip through 64 bits.
inline uint32_t wrapTruncF(float x, uint32_t mask) {
#if defined(__SSE2__) && defined(__x86_64__)
    // One 64-bit truncation covers every float: below 2^63 it is exact (and a float of
    // 9e18 or more is a multiple of 2^39, so its low 32 bits are 0, as wrapTrunc gives),
    // and NaN or 2^63 and beyond give 2^63, whose low 32 bits are 0 too.
    return (uint32_t)_mm_cvttss_si64(_mm_set_ss(x)) & mask;
#else
    if (std::fabs(x) < 2147483520.0f) return (uint32_t)(int32_t)x & mask;
    return wrapTrunc((double)x, mask);
#endif
}

// int(x) limited to lo..hi; NaN gives lo.
inline int clampInt(double x, int lo, int hi) {
    if (!(x > (double)lo)) return lo;
    if (x >= (double)hi) return hi;
    return (int)x;
}

// 2^x kept finite.
inline double exp2Safe(double x) {
    if (!(x > -1000.0)) return 0.0;
    if (x > 1000.0) x = 1000.0;
    return std::exp2(x);
}

// Whether a note's memo slot holds 2^x (a result of 0 marks it empty).
inline bool noteMemoHolds(const TLayerNote& n, int slot, double x) {
    return n.expOut[slot] != 0.0 && n.expIn[slot] == x;
}
// 2^x through one memo slot of a note.
inline double exp2NoteMemo(TLayerNote& n, int slot, double x) {
    if (noteMemoHolds(n, slot, x)) return n.expOut[slot];
    n.expIn[slot] = x;
    n.expOut[slot] = exp2Safe(x);
    return n.expOut[slot];
}

// 2^x through one memo slot of a voice layer's controls.
inline double exp2Memo(TLayerVoice& c, int slot, double x) {
    TLayerVoice::Memo& m = c.memo[slot];
    if (m.out != 0.0 && m.in == x) return m.out;
    m.in = x;
    m.out = exp2Safe(x);
    return m.out;
}

// Wire's noise mix (and its complement) and excitation table offset, from the mix and
// offset destinations, kept in the voice layer's controls with the bits they came from: a
// destination that stands (the usual case) costs a comparison instead of the clamp and the
// conversions.
inline void wireTakeDests(TLayerVoice& c, float mixDest, float offsetDest) {
    std::memcpy(&c.wireKey[0], &mixDest, sizeof(uint32_t));
    std::memcpy(&c.wireKey[1], &offsetDest, sizeof(uint32_t));
    const float mix = clamp01(mixDest);
    c.wireMix = mix;
    c.wireKeep = 1.0f - mix;
    c.wireOffset = wrapTrunc((double)offsetDest * 65535.99, 0xFFFFu);
}

// The same for the phase offset (without feedback) of Wave's or FM's oscillator from its
// phase destination.
inline void takePhaseOffset(TLayerVoice& c, float phaseDest) {
    std::memcpy(&c.phaseOffset[0], &phaseDest, sizeof(uint32_t));
    c.phaseOffset[1] = wrapTrunc((double)phaseDest * kPhaseScale, kPhaseMask);
}
// The phase offset of a Wave or FM voice layer (phaseDest: its phase destination).
inline uint32_t fixedPhaseOffset(TLayerVoice& c, float phaseDest) {
    uint32_t bits;
    std::memcpy(&bits, &phaseDest, sizeof bits);
    if (__builtin_expect(bits != c.phaseOffset[0], 0)) takePhaseOffset(c, phaseDest);
    return c.phaseOffset[1];
}

// Whether a voice layer's filters (pair 0: multimode and low-pass, 1: band-pass) would take
// a new key tracking from these arguments: they keep the last bits they took and ignore the
// same bits again, so a call with them can be spared (and the filters' lines with it).
inline bool trackMoved(TLayerVoice& c, int pair, float amount, float key) {
    uint32_t a, k;
    std::memcpy(&a, &amount, sizeof a);
    std::memcpy(&k, &key, sizeof k);
    if (c.trackKnown[pair] && c.trackBits[pair][0] == a && c.trackBits[pair][1] == k)
        return false;
    c.trackBits[pair][0] = a;
    c.trackBits[pair][1] = k;
    c.trackKnown[pair] = 1;
    return true;
}

// Whether a float has the bits of a word.
inline bool sameBits(float x, uint32_t word) {
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b == word;
}

// Whether N 32-bit words at a and b (16-byte aligned) have the same bits.
template <int N>
inline bool sameWords(const uint32_t* a, const uint32_t* b) {
    static_assert(N % 4 == 0, "whole vectors");
#if defined(__SSE2__)
    const auto at = [](const uint32_t* x) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(x));
    };
    __m128i diff = _mm_setzero_si128();
    for (int i = 0; i < N; i += 4) diff = _mm_or_si128(diff, _mm_xor_si128(at(a + i), at(b + i)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(diff, _mm_setzero_si128())) == 0xFFFF;
#else
    return std::memcmp(a, b, N * sizeof(uint32_t)) == 0;
#endif
}

// Makes the compiler hold a pointer as it is rather than work it out again from its
// indices at each use (which, short of registers, it prefers to a reload).
template <class T>
__attribute__((always_inline)) inline void keepPointer(T*& ptr) {
    asm("" : "+r"(ptr));
}

// i x Size as one multiply by an immediate (which the compiler would build from shifts and
// adds, three or four instructions for the row sizes of the voice arrays). An unsigned i
// widens by the zero extension every 32-bit load or sum makes anyway, where a signed one
// costs an instruction of its own.
template <long Size, class Index>
__attribute__((always_inline)) inline long rowBytes(Index i) {
    static_assert(sizeof(Index) == 4, "a 32-bit index");
#if defined(__x86_64__)
    long r;
    asm("imul %2, %1, %0" : "=r"(r) : "r"((long)i), "i"(Size) : "cc");
    return r;
#else
    return (long)i * Size;
#endif
}

// Rows of the plug-in's per-voice arrays from `self`, the object's address as a loop holds it:
// each array's start is then a constant offset from it, and each row one multiply.
struct ObjectRows {
    const APlugin& p;
    char* self;
    template <class Row>
    __attribute__((always_inline)) Row* operator()(Row* array, unsigned i) const {
        return reinterpret_cast<Row*>(
            self + (reinterpret_cast<const char*>(array) - reinterpret_cast<const char*>(&p)) +
            rowBytes<sizeof(Row)>(i));
    }
};

// A note's record written whole (one store, which the filters' wider loads can take
// straight from the store queue): sub-sample 0 and 1 on both sides.
inline void storeRecord(stereoOverStruct& r, float s0, float s1) {
    filtermath::storeNote(r, Lanes4{s0, s0, s1, s1});
}

// The phase offset of the oscillator's own output fed back (feed) plus the phase
// destination. Without feedback it is the same every sample of the call: computed once, it
// also spares the next sample's table reads from waiting for this one's.
struct FeedOffset {
    double feed;
    float dest;
    uint32_t fixed;
    // fixedOffset: wrapTrunc(phaseDest x kPhaseScale) (see fixedPhaseOffset).
    FeedOffset(float feedAmount, float phaseDest, uint32_t fixedOffset)
        : feed(feedAmount), dest(phaseDest), fixed(fixedOffset) {}
    uint32_t operator()(float feedPrev) const {
        if (feed == 0.0) return fixed;  // feedPrev * 0 + dest is dest: the same value
        return wrapTrunc(((double)feedPrev * feed + dest) * kPhaseScale, kPhaseMask);
    }
};

// Symmetry row index of a 0..1 value.
inline int symRow(float x) {
    return clampInt((double)clamp01(x) * 511.99, 0, 511);
}

// Two wavetable shapes blended by a wave-mix value: shapes int(x * 4 + 40) mod 4 and the
// next one, weight of the second = the fraction.
struct ShapeBlend {
    int a, b;
    float f;
};
inline ShapeBlend shapeBlend(float mix) {
    double x = (double)mix * 4.0 + 40.0;
    if (!(std::fabs(x) < 1.0e9)) x = 40.0;
    const double fl = std::floor(x);
    const int64_t i = (int64_t)fl;
    ShapeBlend s;
    s.a = (int)(((i % 4) + 4) % 4);
    s.b = (s.a + 1) & 3;
    s.f = (float)(x - fl);
    return s;
}

// shapeBlend of the sub-oscillator's wave mix through its memo in a voice layer's controls.
inline ShapeBlend subShapeBlend(TLayerVoice& c, float mix) {
    if (!(c.subBlendValid && c.subBlendIn == mix)) {
        const ShapeBlend s = shapeBlend(mix);
        c.subBlendIn = mix;
        c.subBlendA = s.a;
        c.subBlendB = s.b;
        c.subBlendF = s.f;
        c.subBlendValid = true;
    }
    return ShapeBlend{c.subBlendA, c.subBlendB, c.subBlendF};
}

// FM's carrier blend from its wave-mix destination, kept in the voice layer's controls
// with the destination's bits (the second shape is the one after the first).
inline void fmTakeBlend(TLayerVoice& c, float mixDest) {
    const ShapeBlend s = shapeBlend(mixDest);
    std::memcpy(&c.fmBlendKey, &mixDest, sizeof(uint32_t));
    c.fmBlendA = s.a;
    c.fmBlendF = s.f;
}
inline ShapeBlend fmShapeBlend(TLayerVoice& c, float mixDest) {
    uint32_t bits;
    std::memcpy(&bits, &mixDest, sizeof bits);
    if (__builtin_expect(bits != c.fmBlendKey, 0)) fmTakeBlend(c, mixDest);
    return ShapeBlend{c.fmBlendA, (c.fmBlendA + 1) & 3, c.fmBlendF};
}

// Reads a wavetable oscillator: a 24-bit phase through a symmetry row (skipped for the
// identity row) into one shape, or two shapes blended (the second skipped at weight 0).
struct WaveReader {
    const int32_t* warp;  // null: identity
    const float* a;
    const float* b;
    float f;
    float read(uint32_t phase) const {
        const uint32_t j = (phase & kPhaseMask) >> 12;
        const int32_t idx = warp ? warp[j] : (int32_t)j;
        const float va = a[idx];
        return f == 0.0f ? va : va * (1.0f - f) + b[idx] * f;
    }
};
// The same reader with both choices made beforehand (Warp: warp is not null; Blend: f is
// not 0), for loops whose every read makes the same ones.
template <bool Warp, bool Blend>
struct FixedWaveReader {
    const int32_t* warp;
    const float* a;
    const float* b;
    float f;
    float read(uint32_t phase) const {
        const uint32_t j = (phase & kPhaseMask) >> 12;
        const int32_t idx = Warp ? warp[j] : (int32_t)j;
        const float va = a[idx];
        if constexpr (Blend)
            return va * (1.0f - f) + b[idx] * f;
        else
            return va;
    }
};
// Calls fn with a FixedWaveReader value of the kind that reads as WaveReader{warp, .., f}.
template <class Fn>
__attribute__((always_inline)) inline void withWaveReaderKind(const int32_t* warp, float f, Fn&& fn) {
    if (warp) {
        if (f == 0.0f)
            fn(FixedWaveReader<true, false>{});
        else
            fn(FixedWaveReader<true, true>{});
    } else {
        if (f == 0.0f)
            fn(FixedWaveReader<false, false>{});
        else
            fn(FixedWaveReader<false, true>{});
    }
}
// Calls fn with the voice's note count: a constant for the common single note (whose loops
// then become straight code), a run-time value otherwise.
template <class Fn>
__attribute__((always_inline)) inline void withNoteCount(int count, Fn&& fn) {
    if (count == 1)
        fn(std::integral_constant<int, 1>{});
    else
        fn(count);
}
constexpr int kIdentityWarpRow = 255;

// The wavetable of a shape for a band. A sine has no harmonics to limit: every band of it is
// the same wave, so all notes share the one short sine table and stay in cache.
inline const float* shapeTable(const APlugin& p, int shape, int band) {
    return shape == 0 ? p.sinTable4096 : p.oscWave[shape][band];
}

// The wavetables of one shape over the bands: band b's table at base + b x stride (the
// sine's one table for every band: stride 0). The same tables as shapeTable, found by
// arithmetic rather than by a choice per note.
struct ShapeRows {
    const float* base;
    int stride;
    const float* table(int band) const { return base + (ptrdiff_t)band * stride; }
};
inline ShapeRows shapeRows(const APlugin& p, int shape) {
    if (shape == 0) return ShapeRows{p.sinTable4096, 0};
    return ShapeRows{p.oscWave[shape][0], APlugin::kOscWaveSize};
}

// Level curve of the volume-like controls: 80 dB over 0..1, silence below 1e-5.
inline float levelGain(float v) {
    if (v < 1e-5f) return 0.0f;
    return (float)std::pow(10.0, (80.0 * (double)v - 60.0) / 20.0);
}

// One step of a level smoother; whether the smoothed level moved (in any bit). A gain taken
// from a level that stands is the gain it gave last time, so the power is skipped then.
inline bool stepLevel(float& smooth, float value) {
    const float next = 0.1f * value + 0.9f * smooth;
    uint32_t a, b;
    std::memcpy(&a, &next, sizeof a);
    std::memcpy(&b, &smooth, sizeof b);
    smooth = next;
    return a != b;
}

// Semitones of a 96-step "Semi" value, in octaves.
inline float semiOctaves(float value) {
    return (float)(clampInt((double)value * 96.99, 0, 96) - 48) / 12.0f;
}

constexpr int SRC_VEL_SPLIT[3] = {58, 76, 94};  // the inverse split follows each

// The String model reads a note's line and excitation history as what the note wrote into
// them from its start (a slot it has not reached reads as 0). A note that was already
// sounding when its layer became String (switched from another model, or turned on) and
// that never rendered through String wrote nothing there: the slots hold an earlier note's
// string, or nothing ever written, which would sound in it. Its string starts at rest
// instead, as that of a note started on String is past its excitation. (Only at such a
// change of the layer, for the listed voices; see stringLinesOwn.)
__attribute__((noinline, cold)) void clearForeignStrings(APlugin& p, int layer) {
    for (int a = 0; a < p.activeVoiceCount; ++a) {
        const int v = p.activeVoiceList[a];
        if (!APlugin::isValidVoice(v) || p.stringLinesOwn[layer][v]) continue;
        p.stringLinesOwn[layer][v] = 1;
        const int notes = std::clamp(p.voiceLevelCount[v], 0, kLayerNotes);
        for (int i = 0; i < notes; ++i) {
            if (p.voiceElemAge[v][i] <= 0) continue;  // (from age 0 on it writes before it reads)
            std::memset(p.strings->line[layer][v][i], 0, sizeof p.strings->line[layer][v][i]);
            std::memset(p.strings->hist[layer][v][i], 0, sizeof p.strings->hist[layer][v][i]);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Control rates
// ---------------------------------------------------------------------------------------

// Every 128 samples: which layers are on, their model, destination, wave and FM routing.
void APlugin::updateLayerState() {
    activeLayerCount = 0;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        const bool stringBefore = layerOn[layer] && layerSource[layer] == kSourceString;
        const bool on = getOnOff(LAYER_ON_TAGS[layer]);
        layerOn[layer] = on ? 1 : 0;
        if (on) activeLayers[activeLayerCount++] = layer;
        layerDest[layer] = (LayerDest)getSteppedValue(LAYER_DEST_TAGS[layer]);
        const int w = clampInt((double)paramValue[WAVE_TAGS[layer]] * 5.0 + 0.001, 0, 5);
        layerWave[layer] = w;
        layerWaveGroup[layer][0] = w & 3;
        layerWaveGroup[layer][1] = (w + 1) & 3;
        layerSource[layer] = (SourceMode)getSteppedValue(LAYER_SOURCE_TAGS[layer]);
        if (on && layerSource[layer] == kSourceString && !stringBefore)
            clearForeignStrings(*this, layer);
        // (finishLayer: a Wire layer runs its band-pass, low-pass and high-pass, the other
        // models the multimode filter and the high-pass)
        uint8_t use = 0;
        if (on)
            use = layerSource[layer] == kSourceWire ? kUsesBandPass | kUsesLowPass | kUsesHighPass
                                                    : kUsesMultimode | kUsesHighPass;
        if (use != layerFilterUse[layer]) {
            layerFilterUse[layer] = use;
            for (int a = 0; a < activeVoiceCount; ++a)
                voiceFiltersClean[layer][activeVoiceList[a] & 15] &= (uint8_t)~use;
        }
        // (the multimode quads hold high-passes only while a Wave layer's stages run them)
        if (layerSource[layer] != kSourceWave && mmQuads[layer].highPassHeld != 0)
            mmQuads[layer].releaseHighPass(~0u);
        layerFMChain[layer] = getSteppedValue(FM_MODE_TAGS[layer]) != 0 ? 1 : 0;
    }
}

// Every 16 samples: the smoothed levels and the pitches of each layer. Each gain is the
// level curve of its smoother's value (resetLayerLevels and the zero start keep it so), so
// it is taken anew only when that value moved.
void APlugin::updateLayerLevels() {
    for (int layer = 0; layer < kNumLayers; ++layer) {
        if (stepLevel(layerVolSmooth[layer], paramValue[VOL_TAGS[layer]]))
            layerVolGain[layer] = levelGain(layerVolSmooth[layer]);
        if (stepLevel(impVolSmooth[layer], paramValue[STRING_IMP_VOL_TAGS[layer]]))
            impVolGain[layer] = levelGain(impVolSmooth[layer]);
        if (stepLevel(fm1VolSmooth[layer], paramValue[FM_1_VOL_TAGS[layer]]))
            fm1VolGain[layer] = levelGain(fm1VolSmooth[layer]) * (float)kPhaseScale;
        if (stepLevel(fm2VolSmooth[layer], paramValue[FM_2_VOL_TAGS[layer]]))
            fm2VolGain[layer] = levelGain(fm2VolSmooth[layer]) * (float)kPhaseScale;
        if (stepLevel(subVolSmooth[layer], paramValue[SUB_VOL_TAGS[layer]]))
            subVolGain[layer] = levelGain(subVolSmooth[layer]);
        // The pitches are functions of these values alone, each read once: taken anew only
        // when one of them moved.
        const float in[6] = {paramValue[SEMI_TAGS[layer]],      paramValue[FINE_TAGS[layer]],
                             paramValue[FM_1_FINE_TAGS[layer]], paramValue[FM_1_SEMI_TAGS[layer]],
                             paramValue[FM_2_FINE_TAGS[layer]], paramValue[FM_2_SEMI_TAGS[layer]]};
        const bool fm = layerSource[layer] == kSourceFM;
        uint32_t key[7];
        std::memcpy(key, in, sizeof(in));
        key[6] = fm ? 1u : 0u;
        // (Word by word: a wider read of the key just written would wait for its stores.)
        uint32_t moved = 0;
        for (int k = 0; k < 7; ++k) moved |= key[k] ^ layerPitchKey[layer][k];
        if (moved == 0) continue;
        std::memcpy(layerPitchKey[layer], key, sizeof(key));
        layerSemi[layer] = semiOctaves(in[0]);
        layerFine[layer] = fm ? 0.0f : (2.0f * in[1] - 1.0f) / 12.0f;
        fm1Pitch[layer] = (2.0f * in[2] + (float)clampInt((double)in[3] * 96.99, 0, 96) - 48.0f - 1.0f) / 12.0f;
        fm2Pitch[layer] = (2.0f * in[4] + (float)clampInt((double)in[5] * 96.99, 0, 96) - 48.0f - 1.0f) / 12.0f;
    }
}

// After a reset the level smoothers start at the live values, so nothing fades in. The
// engine reset sets the voice filters up anew right after this, and they forget the key
// tracking they took: so do the voice layers' records of it.
void APlugin::resetLayerLevels() {
    for (TTailLevels& t : tailLevels) t.ctlSharedKnown = 0;  // the sample counter starts over
    for (int layer = 0; layer < kNumLayers; ++layer)
        for (int v = 0; v < kNumVoices; ++v)
            layerVoice[layer][v].trackKnown[0] = layerVoice[layer][v].trackKnown[1] = 0;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        layerVolSmooth[layer] = paramValue[VOL_TAGS[layer]];
        layerVolGain[layer] = levelGain(layerVolSmooth[layer]);
        impVolSmooth[layer] = paramValue[STRING_IMP_VOL_TAGS[layer]];
        impVolGain[layer] = levelGain(impVolSmooth[layer]);
        fm1VolSmooth[layer] = paramValue[FM_1_VOL_TAGS[layer]];
        fm1VolGain[layer] = levelGain(fm1VolSmooth[layer]) * (float)kPhaseScale;
        fm2VolSmooth[layer] = paramValue[FM_2_VOL_TAGS[layer]];
        fm2VolGain[layer] = levelGain(fm2VolSmooth[layer]) * (float)kPhaseScale;
        subVolSmooth[layer] = paramValue[SUB_VOL_TAGS[layer]];
        subVolGain[layer] = levelGain(subVolSmooth[layer]);
    }
}

namespace {

constexpr int kCtlVoiceKey = TLayerVoice::kCtlVoiceKey;
constexpr int kCtlLayerKey = TLayerVoice::kCtlLayerKey;

// A voice layer's values from its inputs (in, in the order of its key) and the voice's
// (voiceKey), which are then kept as its key. Out of line: a held note without modulation
// finds every input standing and never comes here.
__attribute__((noinline)) void refreshLayerControls(APlugin& p, int layer, int v, bool fresh,
                                                    const uint32_t* voiceKey, const float* in) {
    const float* dest = p.modDestVoice[v];
    const int count = std::clamp(p.voiceLevelCount[v], 0, kLayerNotes);
    const double bend = p.voicePitchBend[v];
    const double glide = p.glidePitch[v];
    const double pitchFactor = p.voicePitchFactor[v];
    const float pitch = p.voicePitch[v];
    const float rate = p.curSampleRate;
    const int dl = kLayerDestStride * layer;
    const auto d = [&](int layer1Dest) { return dest[layer1Dest + dl]; };
    TLayerVoice& c = p.layerVoice[layer][v];
    const SourceMode source = p.layerSource[layer];
    const float* const m = in + 10;

    double octaveValue = (double)in[0] * 8.0 + 0.1;
    if (!(octaveValue > -64.0)) octaveValue = -64.0;
    if (octaveValue > 64.0) octaveValue = 64.0;
    const int octave = (int)octaveValue;  // truncates toward zero
    c.pitchEnvAmount = (2.0f * in[5] - 1.0f + in[4]) * 4.0f;
    const double semi = in[8];
    const double fine = in[9];
    const double layerInc =
        exp2Memo(c, 0, octave + semi + fine + bend + glide) * pitchFactor * kPhaseScale * 0.5;
    const double layerShift = (double)in[2] / 12.0 + (double)in[1];
    c.layerFineSemi = (float)exp2Memo(c, 1, layerShift);
    const double layerIncMod = layerInc * (double)c.layerFineSemi;

    const float filterTrack = 2.0f * in[6] - 1.0f;
    if (trackMoved(c, 0, filterTrack, pitch)) filterSetTrack(p, layer, v, filterTrack, pitch);
    c.filterEnvAmount = 2.0f * in[7] - 1.0f + in[3];
    const double keyBase = (semi + octave + bend + glide) * 12.0 + 57.0;
    for (int i = 0; i < count; ++i) {
        const int k = clampInt(keyBase + (double)p.voiceElemSemi[v][i], 0, 127);
        p.layerNote[layer][v][i].band = p.noteBand[k];
        p.layerNote[layer][v][i].subBand = p.noteBand[k >= 12 ? k - 12 : 0];
    }

    switch (source) {
        case kSourceWire: {
            const float wireTrack = 2.0f * m[0] - 1.0f;
            if (trackMoved(c, 1, wireTrack, pitch)) bandPassSetTrack(p, layer, v, wireTrack, pitch);
            c.wireSep = (float)exp2Memo(c, 2, 2.0 * m[1] - 1.0 + m[4]);
            c.wireQ = clamp01(m[2] + m[5]);
            c.wireEnvAmount = m[3] + m[6];
            c.filterQ = clamp01(m[7]);
            // (Without a pitch envelope every note's step starts from the step times the
            // fine/semi factor: that product, taken once here.)
            c.layerInc = c.pitchEnvAmount == 0.0f ? layerIncMod : layerInc;
            if (fresh) wireTakeDests(c, d(40), d(43));
            break;
        }
        case kSourceString: {
            c.stringInc = exp2Memo(c, 5, semi + octave + fine + bend + glide) * pitchFactor;
            const float len = clamp01(m[0] + m[5] + m[10]);
            c.feedback = (float)(std::sqrt(std::sqrt((double)len)) * 0.999999);
            const float damp = clamp01(m[1] + m[6] + m[11]);
            c.damping = clamp01((float)(exp2Memo(c, 6, 12.0 - 5.0 * damp) * 20.0 / rate));
            c.impulseLength = (float)(exp2Memo(c, 7, 3.6 * clamp01(m[2] + m[7]) + 0.4) - 1.0);
            c.impulseShape = (float)exp2Memo(c, 8, 2.0 * clamp01(m[3] + m[8]));
            c.pluck = (float)exp2Memo(c, 9, 5.0 * clamp01(m[4] + m[9] + m[12]) - 6.0);
            break;
        }
        case kSourceFM: {
            c.layerIncMod = layerIncMod;
            if (fresh) {
                takePhaseOffset(c, d(43));
                fmTakeBlend(c, d(40));
            }
            c.op1PitchEnvAmount = (2.0f * m[0] - 1.0f + m[2]) * 4.0f;
            c.op2PitchEnvAmount = (2.0f * m[1] - 1.0f + m[3]) * 4.0f;
            const double base1 = exp2Memo(c, 10, m[10] + bend + glide) *
                                 exp2Memo(c, 11, (double)m[4] / 12.0 + (double)m[5] + layerShift) *
                                 pitchFactor * 0.5;
            const double base2 = exp2Memo(c, 12, m[11] + bend + glide) *
                                 exp2Memo(c, 13, (double)m[6] / 12.0 + (double)m[7] + layerShift) *
                                 pitchFactor * 0.5;
            for (int i = 0; i < count; ++i) {
                const double ratio = p.voiceElemRatio[v][i];
                p.layerNote[layer][v][i].opBase[0] = ratio * base1;
                p.layerNote[layer][v][i].opBase[1] = ratio * base2;
            }
            c.symIndex = symRow(m[8] + 0.5f);
            c.feed = m[9] * 0.75f;
            break;
        }
        case kSourceWave:
        default: {
            c.layerIncMod = layerIncMod;
            if (fresh) takePhaseOffset(c, d(43));
            c.symIndex = symRow(m[0] + m[5]);
            c.feed = clamp01(m[1] + m[6]) * 0.75f;
            c.filterSep = (float)exp2Memo(c, 3, 2.0 * m[2] - 1.0 + m[7]);
            c.filterQ = clamp01(m[3] + m[8]);
            c.vowel = clamp01(m[4] + m[9]);
            c.subSymIndex = symRow(m[10] + 0.5f);
            c.subRatio = (float)(exp2Memo(c, 4, (double)m[11] / 12.0 + (double)m[12]) * 0.5);
            break;
        }
    }
    std::memcpy(c.ctlKey, voiceKey, kCtlVoiceKey * sizeof(uint32_t));
    std::memcpy(c.ctlKey + kCtlVoiceKey, in, kCtlLayerKey * sizeof(uint32_t));
    c.ctlKeyKnown = 1;
}

// Layer L of setLayerControls: its inputs are gathered and compared with its key, and the
// values computed anew only when one of them moved. The layer is a constant here, so each
// parameter is read straight from its place.
template <int L>
__attribute__((always_inline)) inline void layerControls(APlugin& p, int v, const uint32_t* voiceKey,
                                                         bool voiceSame) {
    TLayerVoice& c = p.layerVoice[L][v];
    if (!p.layerOn[L]) {
        c.model = 0;
        return;
    }
    const float* dest = p.modDestVoice[v] + kLayerDestStride * L;
    const auto d = [dest](int layer1Dest) { return dest[layer1Dest]; };
    const auto val = [&p](const int32_t* tags) { return loadValue(p.paramValue[tags[L]]); };
    const SourceMode source = p.layerSource[L];

    // (The values a model keeps from its destinations are taken at a change of model;
    // after that the model takes them anew when the destinations move.)
    const bool fresh = c.model != (int32_t)source + 1;
    c.model = (int32_t)source + 1;
    // (The filters' key tracking stands while they keep what they took.)
    const bool known = !fresh && voiceSame && c.ctlKeyKnown && c.trackKnown[0] &&
                       (source != kSourceWire || c.trackKnown[1]);
    // The layer's own inputs (its parameters and pitches, the same for every voice) in the
    // order of ctlShared, the words a model leaves 0.
    TTailLevels& t = p.tailLevels[L];
    const auto shared = [&](uint32_t (&w)[TTailLevels::kCtlShared]) {
        float x[TTailLevels::kCtlShared] = {val(PITCH_ENV_AMT_TAGS), val(FILTER_KEY_TRACK_TAGS),
                                            val(FILTER_ENV_AMT_TAGS), p.layerSemi[L], p.layerFine[L]};
        switch (source) {
            case kSourceWire:
                x[5] = val(WIRE_KEY_TRACK_TAGS); x[6] = val(WIRE_SEP_TAGS); x[7] = val(WIRE_Q_TAGS);
                x[8] = val(WIRE_ENV_AMT_TAGS);
                break;
            case kSourceString:
                x[5] = val(STRING_LEN_TAGS); x[6] = val(STRING_DAMP_TAGS); x[7] = val(STRING_IMP_LEN_TAGS);
                x[8] = val(STRING_IMP_SHP_TAGS); x[9] = val(STRING_PLUCK_TAGS);
                break;
            case kSourceFM:
                x[5] = val(FM_1_PITCH_ENV_AMT_TAGS); x[6] = val(FM_2_PITCH_ENV_AMT_TAGS);
                x[7] = p.fm1Pitch[L]; x[8] = p.fm2Pitch[L];
                break;
            case kSourceWave:
            default:
                x[5] = val(WAVE_SYM_TAGS); x[6] = val(WAVE_FEED_TAGS); x[7] = val(FILTER_SEP_TAGS);
                x[8] = val(FILTER_Q_TAGS); x[9] = val(FILTER_VOWEL_TAGS);
                break;
        }
        std::memcpy(w, x, sizeof w);
    };
    // A voice whose bit stands has the layer's inputs as ctlShared holds them, and its row:
    // only the notes' string values and the layer's inputs can have moved. The layer's are
    // compared with ctlShared once a sample, by the first such voice.
    const uint32_t bit = 1u << v;
    const uint32_t now = p.sampleCounter;
    if (known && (t.ctlStands & bit) &&
        (source != kSourceString ||
         (sameBits(p.stringLenMod[L][v], c.ctlKey[kCtlVoiceKey + 20]) &&
          sameBits(p.stringDampMod[L][v], c.ctlKey[kCtlVoiceKey + 21]) &&
          sameBits(p.stringPluckMod[L][v], c.ctlKey[kCtlVoiceKey + 22])))) {
        if (t.ctlSharedKnown && t.ctlSharedAt == now) return;
        uint32_t w[TTailLevels::kCtlShared];
        shared(w);
        if (std::memcmp(w, t.ctlShared, sizeof w) == 0) {
            t.ctlSharedAt = now;
            t.ctlSharedKnown = 1;
            return;
        }
    }
    // The layer's inputs: the destinations octave (37), semi, fine, filter envelope and
    // pitch envelope amounts, the parameters of the pitch envelope amount, filter key
    // tracking and filter envelope amount, the layer's semi and fine; then the model's.
    // The words a model leaves are 0 in its key; every model writes the words before 16.
    static_assert(kCtlLayerKey == 24, "the last two vectors are cleared");
    alignas(16) float in[kCtlLayerKey];
    std::memset(in + 16, 0, 8 * sizeof(float));
    in[0] = d(37); in[1] = d(38); in[2] = d(39); in[3] = d(108); in[4] = d(115);
    in[5] = val(PITCH_ENV_AMT_TAGS); in[6] = val(FILTER_KEY_TRACK_TAGS);
    in[7] = val(FILTER_ENV_AMT_TAGS); in[8] = p.layerSemi[L]; in[9] = p.layerFine[L];
    float* const m = in + 10;
    switch (source) {
        case kSourceWire:  // key tracking, separation, Q, envelope amount; 53, 54, 55, 46
            m[0] = val(WIRE_KEY_TRACK_TAGS); m[1] = val(WIRE_SEP_TAGS); m[2] = val(WIRE_Q_TAGS);
            m[3] = val(WIRE_ENV_AMT_TAGS); m[4] = d(53); m[5] = d(54); m[6] = d(55);
            m[7] = d(46);
            break;
        case kSourceString:  // length, damping, impulse length and shape, pluck; their
                             // destinations; the note start's length, damping, pluck
            m[0] = val(STRING_LEN_TAGS); m[1] = val(STRING_DAMP_TAGS);
            m[2] = val(STRING_IMP_LEN_TAGS); m[3] = val(STRING_IMP_SHP_TAGS);
            m[4] = val(STRING_PLUCK_TAGS); m[5] = d(65); m[6] = d(67); m[7] = d(62);
            m[8] = d(64); m[9] = d(66); m[10] = p.stringLenMod[L][v];
            m[11] = p.stringDampMod[L][v]; m[12] = p.stringPluckMod[L][v];
            break;
        case kSourceFM:  // the operators' pitch envelope amounts; 70, 86, 69, 68, 85, 84,
                         // 41, 42; the operators' pitches
            m[0] = val(FM_1_PITCH_ENV_AMT_TAGS); m[1] = val(FM_2_PITCH_ENV_AMT_TAGS);
            m[2] = d(70); m[3] = d(86); m[4] = d(69); m[5] = d(68); m[6] = d(85); m[7] = d(84);
            m[8] = d(41); m[9] = d(42); m[10] = p.fm1Pitch[L]; m[11] = p.fm2Pitch[L];
            break;
        case kSourceWave:  // symmetry, feedback, filter separation, Q, vowel; 41, 42, 45,
        default:           // 46, 47, 105, 101, 100
            m[0] = val(WAVE_SYM_TAGS); m[1] = val(WAVE_FEED_TAGS); m[2] = val(FILTER_SEP_TAGS);
            m[3] = val(FILTER_Q_TAGS); m[4] = val(FILTER_VOWEL_TAGS); m[5] = d(41);
            m[6] = d(42); m[7] = d(45); m[8] = d(46); m[9] = d(47); m[10] = d(105);
            m[11] = d(101); m[12] = d(100);
            break;
    }
    if (!known || !sameWords<kCtlLayerKey>(reinterpret_cast<const uint32_t*>(in), c.ctlKey + kCtlVoiceKey))
        refreshLayerControls(p, L, v, fresh, voiceKey, in);
    // The key now holds the layer's inputs as read above: so does ctlShared from here on
    // (every other voice's bit drops if they moved). They are taken from the key, not read
    // again: another thread may set a parameter in between.
    // (Wire's fifth word there is a destination's, in its place 0.)
    uint32_t w[TTailLevels::kCtlShared];
    std::memcpy(w, in + 5, sizeof w);
    if (source == kSourceFM) {
        std::memcpy(&w[7], &m[10], 2 * sizeof(float));
        w[9] = 0;
    } else if (source == kSourceWire) {
        w[9] = 0;
    }
    if (std::memcmp(w, t.ctlShared, sizeof w) != 0) {
        std::memcpy(t.ctlShared, w, sizeof w);
        t.ctlStands = 0;
    }
    t.ctlSharedAt = now;
    t.ctlSharedKnown = 1;
    t.ctlStands = (uint16_t)(t.ctlStands | bit);
}

}  // namespace

// Every 16 samples of the voice, after its glide and pitch factor: each layer's pitch
// steps, envelope amounts and model controls. A held note without modulation finds every
// input as it was at the last refresh: the inputs' bits are compared with those kept then,
// and the values computed from them stand.
void APlugin::setLayerControls(int v) {
    if (!isValidVoice(v)) return;
    const double pitchFactor = voicePitchFactor[v];
    const float pitch = voicePitch[v];
    const float rate = curSampleRate;
    // What every layer reads of the voice: bend, glide, pitch factor, pitch, note count,
    // the sample rate and the notes' semitone offsets and ratios (past the count too).
    alignas(16) uint32_t voiceKey[kCtlVoiceKey];
    putVoiceKey(voiceKey, VoiceKeyInputs{&voicePitchBend[v], &glidePitch[v], pitchFactor, pitch,
                                         voiceLevelCount[v], rate, voiceElemSemi[v],
                                         voiceElemRatio[v]});
    // The voice's inputs are compared once, with the first layer's record of them: every
    // layer whose values stand took them from those (a layer that was off, or whose model
    // changed, takes its values anew), and a voice whose inputs moved refreshes every layer
    // and leaves its new inputs there, the first layer on or off.
    uint32_t* const voiceRecord = layerVoice[0][v].ctlKey;
    const bool voiceSame = sameWords<kCtlVoiceKey>(voiceKey, voiceRecord);
    static_assert(kNumLayers == 3, "one call per layer");
    layerControls<0>(*this, v, voiceKey, voiceSame);
    layerControls<1>(*this, v, voiceKey, voiceSame);
    layerControls<2>(*this, v, voiceKey, voiceSame);
    if (!voiceSame) std::memcpy(voiceRecord, voiceKey, sizeof voiceKey);
}

// ---------------------------------------------------------------------------------------
// Note start
// ---------------------------------------------------------------------------------------

// Velocity split: per layer a gain from the four handles (fade in, start, end, fade out),
// published as the layer's split sources; the layer's velocity gain is it times base.
void APlugin::setVelocitySplit(int v, int velocity, float base) {
    if (!isValidVoice(v)) return;
    velocity = std::clamp(velocity, 0, 127);
    const float vel = (float)velocity / 127.0f;
    const bool splitOn = getOnOff(541);
    for (int layer = 0; layer < kNumLayers; ++layer) {
        const float f = paramValue[LAYER_VEL_TAGS[4 * layer + 0]];
        const float a = paramValue[LAYER_VEL_TAGS[4 * layer + 1]];
        const float b = paramValue[LAYER_VEL_TAGS[4 * layer + 2]];
        const float o = paramValue[LAYER_VEL_TAGS[4 * layer + 3]];
        const int fi = clampInt((double)f * 127.0, 0, 127);
        const int ai = clampInt((double)a * 127.0, 0, 127);
        const int bi = clampInt((double)b * 127.0, 0, 127);
        const int oi = clampInt((double)o * 127.0, 0, 127);
        float g = (fi <= velocity && velocity <= oi) ? 1.0f : 0.0f;
        if (fi <= velocity && velocity <= ai && a - f > 0.001f) g = (vel - f) / (a - f);
        if (bi <= velocity && velocity <= oi && o - b > 0.001f) g = 1.0f - (vel - b) / (o - b);
        // A velocity that rounds onto a handle may fall a hair outside the ramp.
        g = clamp01(g);
        const int src = SRC_VEL_SPLIT[layer];
        modSrcVoice[v][src] = g;
        modSrcVoice[v][src + 1] = 1.0f - g;
        modSrcGlobal[src] = g;
        modSrcGlobal[src + 1] = 1.0f - g;
        layerVelGain[layer][v] = (splitOn ? g : 1.0f) * base;
    }
    dropTailLevels(tailLevels, v);
}

// A new note's layer set-up: filters, string and FM tracking, and the start state of each
// stacked note (excitation positions, drift step, oscillator phases).
void APlugin::startLayerSound(int v, int velocity) {
    if (!isValidVoice(v)) return;
    velocity = std::clamp(velocity, 0, 127);
    const float vel = (float)velocity / 127.0f;
    const float pitch = voicePitch[v];
    // The records of the voice's notes alone: every reader stops at the voice's count,
    // which changes only with a new start.
    const int notes = std::clamp(voiceLevelCount[v], 0, kLayerNotes);
    for (int layer = 0; layer < kNumLayers; ++layer) {
        layerVoice[layer][v].ctlKeyKnown = 0;  // the notes' operator steps are cleared below
        const auto val = [&](const int32_t* tags) { return paramValue[tags[layer]]; };
        const float f = val(FILTER_VEL_TRACK_TAGS);
        const float w = val(WIRE_VEL_TRACK_TAGS);
        // The filters the layer's model will not run and that hold what a reset leaves need
        // none; all but the ones it runs are then such.
        uint8_t& clean = voiceFiltersClean[layer][v];
        const unsigned dirty = ~clean;
        voiceFilterStart(*this, layer, v, getSteppedValue(FILTER_MODE_TAGS[layer]), 2.0f * f - 1.0f,
                         vel, dirty & kUsesMultimode);
        lowPassSetVel(*this, layer, v, 2.0f * f - 1.0f, vel);
        bandPassStart(*this, layer, v, 2.0f * w - 1.0f, vel, dirty & kUsesBandPass);
        if (dirty & kUsesHighPass) highPassReset(*this, layer, v);
        if (dirty & kUsesLowPass) lowPassReset(*this, layer, v);
        clean = (uint8_t)(kUsesAllFilters & ~layerFilterUse[layer]);
        stringLinesOwn[layer][v] = layerOn[layer] && layerSource[layer] == kSourceString;

        stringLenMod[layer][v] = (2.0f * val(STRING_LEN_VEL_TRACK_TAGS) - 1.0f) * vel +
                                 (2.0f * val(STRING_LEN_KEY_TRACK_TAGS) - 1.0f) * pitch;
        stringDampMod[layer][v] = -((2.0f * val(STRING_DAMP_VEL_TRACK_TAGS) - 1.0f) * vel +
                                    (2.0f * val(STRING_DAMP_KEY_TRACK_TAGS) - 1.0f) * pitch);
        stringPluckMod[layer][v] = (2.0f * val(STRING_PLUCK_VEL_TRACK_TAGS) - 1.0f) * vel +
                                   (2.0f * val(STRING_PLUCK_KEY_TRACK_TAGS) - 1.0f) * pitch;
        const float t1 = val(FM_1_VEL_TRACK_TAGS);
        const float t2 = val(FM_2_VEL_TRACK_TAGS);
        fmVelGain[layer][v][0] = t1 * vel + (1.0f - t1);
        fmVelGain[layer][v][1] = t2 * vel + (1.0f - t2);

        const bool freeRun = getOnOff(FREE_ON_TAGS[layer]);
        const bool randomPhase = freeRun && layerSource[layer] != kSourceFM;
        // Eight sub-elements draw from the shared generator, so the sequence does not
        // depend on how many notes the layer renders. (Those past the voice's notes only
        // move the generators on: see below.)
        for (int i = 0; i < notes; ++i) {
            int32_t start = 0;
            if (freeRun)
                start = clampInt(((double)RandSeed.next() + 1.0) * 0.5 * 65535.0, 0, 65535);
            const int32_t excite =
                clampInt(((double)RandSeed.next() + 1.0) * 0.5 * 65535.0, 0, 65535);
            const uint32_t driftStep =
                (uint32_t)clampInt(((double)RandSeed.next() + 1.0) * 0.5 * 23.0 + 100.0, 100, 123);
            uint32_t phase = 0;
            if (randomPhase) {
                soundRandState = soundRandState * 1103515245u + 12345u;
                const uint32_t r = (soundRandState >> 16) & 0x7FFFu;
                phase = (uint32_t)((double)r / 32767.0 * kPhaseScale);
            }
            TLayerNote& n = layerNote[layer][v][i];
            const int32_t band = n.band, subBand = n.subBand;
            std::memset(&n, 0, sizeof(n));
            n.band = band;
            n.subBand = subBand;
            n.wirePos = start;
            n.wireStart = start;
            n.excitePos = excite;
            n.driftStep = driftStep;
            n.phase = phase & kPhaseMask;
            n.subPhase = (phase / 2u) & kPhaseMask;
            // The string line and excitation history need no clearing: the loop only reads
            // what this note has written (an unwritten slot reads as 0).
        }
        // The sub-elements past the voice's notes draw as well, and throw their values away.
        const int unused = kEnvSubs - notes;
        RandSeed.skip(unused * (freeRun ? 3 : 2));
        if (randomPhase)
            for (int i = 0; i < unused; ++i) soundRandState = soundRandState * 1103515245u + 12345u;
    }
}

// ---------------------------------------------------------------------------------------
// Per-sample rendering
// ---------------------------------------------------------------------------------------

namespace {

struct VoiceCtx {
    APlugin& p;
    int layer;
    int v;
    int count;
    bool quarter;  // voice counter & 3 == 0: rescale the notes' steps
    const float* dest;  // the voice's destinations from the layer's first
    TLayerVoice& c;  // the voice layer's controls (the models keep memos in them)
    stereoOverStruct* out;
    TLayerNote* notes;              // the voice layer's notes
    const double (*run)[kNumEnvs];  // the voice's envelope levels by note
    // A destination of the layer by its number for layer 1.
    float d(int layer1Dest) const { return dest[layer1Dest]; }
    // The copy of one read every sample (HotLayerDest), from the same start.
    float hot(int k) const { return dest[hotLayerSlot(layer, k) - kLayerDestStride * layer]; }
    // The level of note i's envelope at `place` (ENV_RUN_PLACE).
    float envLevel(int place, int i) const { return (float)run[i][place]; }
    bool started(int i) const { return p.voiceElemAge[v][i] >= 0; }
    // The record of note i while it has not started (a strummed note yet to sound). Stored
    // as a vector: written as a copy of a constant, it would become two 64-bit stores
    // which the compiler may then share with the models' own record stores, sending their
    // vectors through the stack into integer registers.
    void rest(int i) const {
#if defined(__SSE2__)
        _mm_storeu_ps(reinterpret_cast<float*>(&out[i]), _mm_set1_ps(1e-15f));
#else
        filtermath::storeNote(out[i], filtermath::splat(1e-15f));
#endif
    }
    // Pitch-envelope factor of note i. (Inline: a call would need the context in memory.)
    __attribute__((always_inline)) double pitchEnvFactor(int i) const {
        if (c.pitchEnvAmount == 0.0f) return 1.0;
        return exp2NoteMemo(notes[i], 0,
                            (double)envLevel(ENV_RUN_PLACE[ENV_PITCH[layer]], i) *
                                (double)c.pitchEnvAmount);
    }
};

// A Wire note's host sample with a restart in its four steps (once a period): out of line,
// so that the common path keeps its values in registers, and away from the hot code.
__attribute__((noinline, cold)) void wireStepsRestarting(const APlugin& p, TLayerNote& n,
                                                         uint32_t offset, float keep, float mix,
                                                         stereoOverStruct& out) {
    float sub[2];
    for (int s = 0; s < 2; ++s) {
        // Without a restart in its two steps, a sub-sample reads two neighbouring
        // entries: their sums are in the pair table.
        const uint32_t stepped = n.phase + 2u * n.inc;  // no overflow: inc < 2^30
        if (stepped <= kPhaseMask) {
            n.phase = stepped;
            const uint32_t first = ((uint32_t)n.wirePos + 1u + offset) & 0xFFFFu;
            n.wirePos = (int32_t)(((uint32_t)n.wirePos + 2u) & 0xFFFFu);
            const float* pair = p.noisePairTable[first];
            sub[s] = (pair[0] * keep + pair[1] * mix) * 0.5f;
            continue;
        }
        uint32_t idx[2];
        for (int k = 0; k < 2; ++k) {
            n.phase += n.inc;
            if (n.phase > kPhaseMask) {
                n.phase &= kPhaseMask;
                n.wirePos = n.wireStart;
            } else {
                n.wirePos = (int32_t)(((uint32_t)n.wirePos + 1u) & 0xFFFFu);
            }
            idx[k] = ((uint32_t)n.wirePos + offset) & 0xFFFFu;
        }
        const float* A = p.pinkNoiseTable;
        const float* B = p.whiteNoiseTable;
        sub[s] = ((A[idx[0]] + A[idx[1]]) * keep + (B[idx[0]] + B[idx[1]]) * mix) * 0.5f;
    }
    storeRecord(out, sub[0], sub[1]);
}

#if defined(__SSE2__)
alignas(16) constexpr Lanes4 kWireHalves = {0.5f, 0.5f, 0.5f, 0.5f};
#endif

// A Wire note's host sample without a restart in its four steps (the common case): both
// sub-samples read from the pair table at once, the same reads and arithmetic as the steps
// of wireStepsRestarting. False, having done nothing, where a step restarts.
// weights: {keep, mix, keep, mix}; halves: kWireHalves (see renderWire). out(): the
// note's record, found only where it is stored (its address then folds into the store);
// offset likewise read only where it is added (by reference: a memory operand of the sum).
template <class Out>
__attribute__((always_inline)) inline bool wireSteps(TLayerNote& n, const float (*P)[2],
                                                   const uint32_t& offset, Lanes4 weights,
                                                   const Lanes4* halves, Out out) {
    // (The sum that decides is the phase stored: one sum, not two.)
    const uint64_t stepped4 = (uint64_t)n.phase + 4u * (uint64_t)n.inc;
    if (__builtin_expect(stepped4 > kPhaseMask, 0)) return false;
    const uint32_t pos = (uint32_t)n.wirePos;
    n.phase = (uint32_t)stepped4;
#if defined(__x86_64__)
    // (every read masks it; added in place: the sum needs no register of its own)
    asm("addl $4, %0" : "+m"(n.wirePos) : : "cc");
#else
    n.wirePos = (int32_t)(pos + 4u);  // (every read masks it)
#endif
    // Entries (pos + 1 + offset) & 0xFFFF and two on: read as entries 1 and 3 past the
    // masked sum without the 1, which past the end repeat the start (see noisePairTable):
    // the same values, the 1 a displacement of the reads.
    const uint32_t first = (pos + offset) & 0xFFFFu;
    const float *pair0 = P[(size_t)first + 1], *pair1 = P[(size_t)first + 3];
#if defined(__SSE2__)
    // {a0 keep, b0 mix, a1 keep, b1 mix} plus itself with each two lanes swapped (by an
    // integer shuffle, which needs no copy first): both lanes of a sub-sample hold its sum
    // (the same two products, added either way round), which halved is the note's record.
    // The table's entries are only float-aligned: each pair is copied as 64 bits.
    long long bits0, bits1;
    std::memcpy(&bits0, pair0, sizeof bits0);
    std::memcpy(&bits1, pair1, sizeof bits1);
    const __m128 pairs = _mm_castsi128_ps(_mm_set_epi64x(bits1, bits0));
    const Lanes4 products = (Lanes4)pairs * weights;
    const Lanes4 swapped = (Lanes4)_mm_shuffle_epi32((__m128i)products, 0xB1);
    filtermath::storeNote(out(), (products + swapped) * *halves);
#else
    (void)halves;
    const float keep = weights[0], mix = weights[1];
    storeRecord(out(), (pair0[0] * keep + pair0[1] * mix) * 0.5f,
                (pair1[0] * keep + pair1[1] * mix) * 0.5f);
#endif
    return true;
}

// {keep, mix, keep, mix}, the weights of a pair table entry's two sums.
__attribute__((always_inline)) inline Lanes4 wireWeights(const TLayerVoice& c) {
#if defined(__SSE2__)
    // the adjacent mix and keep (and the two values after them) spread by one memory operand
    static_assert(offsetof(TLayerVoice, wireKeep) == offsetof(TLayerVoice, wireMix) + 4 &&
                      offsetof(TLayerVoice, wireMix) % 16 == 0,
                  "mix and keep side by side in one aligned vector");
    const __m128i mixKeep = _mm_load_si128(reinterpret_cast<const __m128i*>(&c.wireMix));
    return (Lanes4)_mm_castsi128_ps(_mm_shuffle_epi32(mixKeep, 0x11));
#else
    return Lanes4{c.wireKeep, c.wireMix, c.wireKeep, c.wireMix};
#endif
}

// Wire: a blend of the pink and white excitation tables, walked at four times the host
// rate and restarted at the start position once per period of the note.
// wireEnv, filterEnv: the places (ENV_RUN_PLACE) of the layer's Wire and filter envelopes.
// P: the plug-in's noisePairTable as the caller finds it (see renderModelVoices' start).
__attribute__((always_inline)) inline void renderWire(VoiceCtx& x, TBPFilter& bandPass,
                                                    TLPFilter& lowPass, int wireEnv,
                                                    int filterEnv, const float (*P)[2]) {
    APlugin& p = x.p;
    {
        // (compared as bits loaded as such, the values taken only when they moved): the two
        // destinations side by side against the two keys, as one word each
        static_assert(kHotPhase == kHotMix + 1, "the mix and phase copies side by side");
        static_assert(sizeof x.c.wireKey == sizeof(uint64_t), "the keys as one word");
        uint64_t destBits, keyBits;
        const float* hot = &x.dest[hotLayerSlot(x.layer, 0) - kLayerDestStride * x.layer];
        std::memcpy(&destBits, &hot[kHotMix], sizeof destBits);
        std::memcpy(&keyBits, x.c.wireKey, sizeof keyBits);
        if (__builtin_expect(destBits != keyBits, 0))
            wireTakeDests(x.c, hot[kHotMix], hot[kHotPhase]);
    }
    const uint32_t offset = x.c.wireOffset;
    const Lanes4 weights = wireWeights(x.c);
    const float mix = weights[1], keep = weights[0];
#if defined(__SSE2__)
    // (a memory operand: a halving built in a register is built again for every voice)
    const Lanes4* halves = &kWireHalves;
    keepPointer(halves);
#else
    const Lanes4* halves = nullptr;
#endif
    // The envelope contributions of the notes, before the notes' own work (which neither
    // reads nor writes the filters). Both levels of a note are read before its stores: the
    // filters live in the plug-in object, so each store would otherwise make the compiler
    // read everything again.
    const float wireAmount = x.c.wireEnvAmount, filterAmount = x.c.filterEnvAmount;
    withNoteCount(x.count, [&](auto count) __attribute__((always_inline)) {
        const auto run = x.run;
        for (int i = 0; i < count; ++i) {
            const float wire = (float)run[i][wireEnv] * wireAmount;
            const float filter = (float)run[i][filterEnv] * filterAmount;
            bandPass.setEnv(i, wire);
            lowPass.setEnv(i, filter);
        }
        TLayerNote* const notesOf = x.notes;
        for (int i = 0; i < count; ++i) {
            TLayerNote& n = notesOf[i];
            if (x.quarter) {
                // (Without a pitch envelope the step holds the fine/semi factor already.)
                const double step =
                    x.c.pitchEnvAmount == 0.0f
                        ? x.c.layerInc
                        : x.pitchEnvFactor(i) * (double)x.c.layerFineSemi * x.c.layerInc;
                n.inc = toStep(step * (double)p.voiceElemRatio[x.v][i]) / 2u;
            }
            if (!x.started(i)) {
                x.rest(i);
                continue;
            }
            const auto out = [&]() -> stereoOverStruct& { return x.out[i]; };
            if (wireSteps(n, P, offset, weights, halves, out)) continue;
            wireStepsRestarting(p, n, offset, keep, mix, x.out[i]);
        }
    });
}

// The first steps of rendering a voice ahead (see TRunAhead): where its note has started,
// the note's record and its state where the samples begin, the place of its first 4-sample
// step among them and (in incQ, for the model's step to overwrite) its step as it stands.
// False, having changed nothing, for a note not started yet.
inline bool startAheadVoice(APlugin& p, TRunAhead::Voice& s, int layer, int v) {
    if (p.voiceElemAge[v][0] < 0) return false;
    TLayerNote& n = p.layerNote[layer][v][0];
    s.note = &n;
    s.out = &p.noteOut[layer][v][0];
    s.quarter = (int32_t)(-(uint32_t)p.voiceCounter[v] & 3u);
    s.phase = n.phase;
    s.inc = n.inc;
    s.incQ = n.inc;
    return true;
}

#include "engine/FMModel.h"
#include "engine/StringModel.h"
#include "engine/WaveModel.h"
#include "engine/WireModel.h"

// The sound model of one layer over the listed voices (the active ones, in voice order,
// which the shared noise generators depend on) with their note counts. single: every count
// is 1, the usual case, rendered by a loop of its own with the count a constant (the loop
// then keeps what it needs in registers). One instance per model keeps the choice of model
// out of the voice loop.
template <SourceMode Model>
void renderModelVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                       bool single) {
    // A voice layer's rows of the per-layer voice arrays are found from its place among all
    // layers' voices, whose start the compiler does not see: each row is then a fixed offset
    // from the plug-in object rather than from a start of its own kept per layer.
    int layerStart = layer * kNumVoices;
    asm("" : "+r"(layerStart));
    const int dl = kLayerDestStride * layer;  // the layer's first destination
    WaveLayer wl{};
    if constexpr (Model == kSourceWave) {
        wl.wave = p.layerWave[layer];
        wl.subGain = p.subVolGain[layer];
        wl.rows1 = shapeRows(p, p.layerWaveGroup[layer][0]);
        wl.rows2 = shapeRows(p, p.layerWaveGroup[layer][1]);
        wl.filterEnv = ENV_RUN_PLACE[ENV_FILTER[layer]];
    }
    const FMLayer fmLayer(p, layer);
    const int wireEnv = ENV_RUN_PLACE[ENV_WIRE[layer]],
              wireFilterEnv = ENV_RUN_PLACE[ENV_FILTER[layer]];
    bool stringDrift = false;
    if constexpr (Model == kSourceString)
        stringDrift = APlugin::getOnOff(p.paramValue[DRIFT_ON_TAGS[layer]]);
    // noise: Wave's choice of noise (wl.wave >= 4), a constant in the loops of Wave.
    // subOn: Wave's sub-oscillator is on (wl.subGain > 0.0001), likewise.
    const auto voice = [&](int v, int count, bool noise, bool subOn)
                           __attribute__((always_inline)) {
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        // A layer switched on or to another model since the voice's last control
        // update gets its controls now rather than at the voice's next 16th sample.
        const int lv = layerStart + v;
        // The arrays' starts as offsets from the plug-in object, which the compiler takes for
        // a new value each voice: it then adds them into the addresses rather than keeping
        // each start in a register of its own (or, short of registers, on the stack).
        char* self = reinterpret_cast<char*>(&p);
        asm("" : "+r"(self));
        const auto start = [&](auto* array) __attribute__((always_inline)) {
            return reinterpret_cast<decltype(array)>(
                self + (reinterpret_cast<char*>(array) - reinterpret_cast<char*>(&p)));
        };
        // Row i of an array from its start: the row's offset as one multiply by an
        // immediate, where the compiler would build each product from shifts and adds.
        const auto row = [&](auto* array, int i) __attribute__((always_inline)) {
            return reinterpret_cast<decltype(array)>(
                reinterpret_cast<char*>(start(array)) + rowBytes<sizeof *array>(i));
        };
        TLayerVoice& c = *row(&p.layerVoice[0][0], lv);
        if (c.model != (int32_t)Model + 1) p.setLayerControls(v);
        VoiceCtx x{p,
                   layer,
                   v,
                   count,
                   (p.voiceCounter[v] & 3) == 0,
                   *row(&p.modDestVoice[0], v) + dl,
                   c,
                   *row(&p.noteOut[0][0], lv),
                   *row(&p.layerNote[0][0], lv),
                   *row(&p.env.work.run[0], v)};
        if constexpr (Model == kSourceWire) {
            TBPFilter* bandPass = row(&p.voiceBPFilter[0][0], lv);
            TLPFilter* lowPass = row(&p.voiceLPFilter[0][0], lv);
            keepPointer(bandPass);
            keepPointer(lowPass);
            renderWire(x, *bandPass, *lowPass, wireEnv, wireFilterEnv, start(p.noisePairTable));
        } else if constexpr (Model == kSourceString) {
            renderString(x, stringDrift);
        } else if constexpr (Model == kSourceFM) {
            renderFM(x, fmLayer);
        } else {
            // One noise draw per voice layer and sample, shared by its notes.
            float white = 0.0f, pink = 0.0f;
            if (noise) {
                p.soundRandState = p.soundRandState * 1103515245u + 12345u;
                white = (float)((p.soundRandState >> 16) & 0x7FFFu) / 32767.0f * 2.0f - 1.0f;
                pink = p.doPinkNoise(v);
            }
            renderWave(x, *row(&p.voiceFilter[0][0], lv), white, pink, wl, noise, subOn);
        }
    };
    const auto plainWaves = [&](auto sine) __attribute__((always_inline)) {
        const PlainWaveLayer L = plainWaveLayer(p, layer, layerStart, wl.rows1.base);
        for (int vi = 0; vi < voices; ++vi)
            if (!plainWaveVoice<false, sine>(p, L, list[vi])) voice(list[vi], 1, false, false);
    };
    const bool noise = wl.wave >= 4;
    const bool subOn = wl.subGain > 0.0001f;
    if (Model == kSourceWave && single) {
        // (Wave's choices of noise and sub-oscillator out of the loop too.)
        if (noise) {
            for (int vi = 0; vi < voices; ++vi) voice(list[vi], 1, true, subOn);
        } else if (subOn) {
            for (int vi = 0; vi < voices; ++vi) voice(list[vi], 1, false, true);
        } else if constexpr (Model == kSourceWave) {
            if (wl.rows1.stride == 0)
                plainWaves(std::true_type{});
            else
                plainWaves(std::false_type{});
        }
    } else if (single) {
        for (int vi = 0; vi < voices; ++vi) voice(list[vi], 1, noise, subOn);
    } else {
        for (int vi = 0; vi < voices; ++vi) voice(list[vi], counts[vi], noise, subOn);
    }
}

// A Wave layer's voices: those of the usual layer (single notes, no noise or
// sub-oscillator) through plainWaveVoices, which has none of renderModelVoices' set-up;
// the first voice it leaves, the voices after it and every other layer through
// renderModelVoices (so does the per-sample reference path, forced).
// Where the layer's last pass was on the sample before and left every voice plain
// (HeldMultimode::steadyFor), and this sample's voice pass was left out with none of the
// envelopes the voices read moving (TEnvState::stillNow), the plain voices are steady ones.
void renderWaveVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                      bool single) {
    HeldMultimode& bank = p.mmQuads[layer];
    const bool steady = bank.steadyFor == p.sampleCounter &&
                        p.env.stillNow(1u << ENV_FILTER[layer] | 1u << ENV_PITCH[layer]);
    int vi = 0;
    bool plain = false;
    if (single && p.layerWave[layer] < 4 && !(p.subVolGain[layer] > 0.0001f) &&
        !p.renderPerSample) {
        int layerStart = layer * kNumVoices;  // (as in renderModelVoices)
        asm("" : "+r"(layerStart));
        const ShapeRows rows = shapeRows(p, p.layerWaveGroup[layer][0]);
        const PlainWaveLayer L = plainWaveLayer(p, layer, layerStart, rows.base);
        // All plain on the sample before, through more samples of the run that stand: the
        // voices rendered ahead through them all (unless a voice would leave the plain loop
        // on one of them, or its pitch follows a moving pitch envelope there; then not again
        // in this run).
        TRunAhead& ahead = p.runAhead[layer];
        const bool aheadable = bank.steadyFor == p.sampleCounter && p.standLeft > 0;
        const bool pitchMoves = !p.env.stillNow(1u << ENV_PITCH[layer]);
        const bool filterMoves = !p.env.stillNow(1u << ENV_FILTER[layer]);
        const bool handed =
            aheadable &&
            ahead.handOverOrRender(
                p.sampleCounter, voices, p.voiceListGeneration, p.standLeft,
                [&] {
                    const int n = p.standLeft;
                    return rows.stride == 0
                               ? waveAheadRender<true>(p, L, list, voices, n, pitchMoves)
                               : waveAheadRender<false>(p, L, list, voices, n, pitchMoves);
                },
                [&] {
                    if (filterMoves) waveAheadFilterLevels(ahead);
                });
        if (handed) {
            vi = voices;
        } else {
            ahead.settle();
            const int* const end = list + voices;
            const int* const at =
                steady ? (rows.stride == 0 ? plainWaveVoices<true, true>(p, L, list, end)
                                           : plainWaveVoices<false, true>(p, L, list, end))
                       : (rows.stride == 0 ? plainWaveVoices<true>(p, L, list, end)
                                           : plainWaveVoices<false>(p, L, list, end));
            vi = (int)(at - list);
        }
        plain = vi == voices;
    } else {
        p.runAhead[layer].settle();
    }
    bank.steadyFor = p.sampleCounter + (plain ? 1u : -1u);
    if (vi < voices)
        renderModelVoices<kSourceWave>(p, layer, voices - vi, list + vi, counts + vi, single);
}

// A layer's voices while every voice has one note and `plain` holds: through its model's
// plain loop (Plain, on the layer's values MakeLayer gives), which has none of
// renderModelVoices' set-up; each voice it leaves through renderModelVoices alone (as is every
// voice of the per-sample reference path, forced), the plain loop going on after it.
// Returns whether every voice went through the plain loop. (Steady, where given, is the plain
// loop of a voice known to be plain on the sample before with nothing moved since: the first
// voices go through it.)
template <SourceMode Model, class Layer, Layer (*MakeLayer)(APlugin&, int, int),
          const int* (*Plain)(APlugin&, const Layer, const int*, const int*),
          const int* (*Steady)(APlugin&, const Layer, const int*, const int*) = nullptr>
bool renderPlainVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                       bool single, bool plain, bool steady = false) {
    if (!single || !plain || p.renderPerSample) {
        renderModelVoices<Model>(p, layer, voices, list, counts, single);
        return false;
    }
    int layerStart = layer * kNumVoices;  // (as in renderModelVoices)
    asm("" : "+r"(layerStart));
    const Layer L = MakeLayer(p, layer, layerStart);
    const int* at = list;
    const int* const end = list + voices;
    if constexpr (Steady != nullptr) {
        if (steady) {
            at = Steady(p, L, at, end);
            if (at == end) return true;
            renderModelVoices<Model>(p, layer, 1, at, counts + (at - list), true);
            ++at;
        }
    }
    bool all = at == list;
    for (; at < end; ++at) {
        at = Plain(p, L, at, end);
        if (at == end) break;
        all = false;
        renderModelVoices<Model>(p, layer, 1, at, counts + (at - list), true);
    }
    return all;
}

// The voices of a Wire layer. Where the layer's last pass was on the sample before and left
// every voice plain and every quad held (WireQuads::steadyFor), and this sample's voice pass
// was left out with none of the envelopes the voices and maps read moving
// (TEnvState::stillNow: the tails read theirs anew), nothing a voice's pass sets has moved
// since: the voices go through the steady plain loop, and the filters find their maps as
// they are (WireQuads::steadyNow, when every voice stays plain).
void renderWireVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                      bool single) {
    WireQuads& held = p.wireQuads[layer];
    const bool steady =
        held.steadyFor == p.sampleCounter &&
        p.env.stillNow(1u << ENV_WIRE[layer] | 1u << ENV_FILTER[layer] | 1u << ENV_PITCH[layer]);
    const bool plain =
        renderPlainVoices<kSourceWire, PlainWireLayer, plainWireLayer, plainWireVoices<false>,
                          plainWireVoices<true>>(p, layer, voices, list, counts, single, true,
                                                 steady);
    held.steadyNow = steady && plain;
    // (a pass that leaves its quads held and mapped says so at its end)
    held.steadyFor = p.sampleCounter - (plain ? 0u : 1u);
}

// (An FM layer's operators in a chain go through renderModelVoices.) Where the layer's last
// pass was on the sample before and left every voice plain (HighPassOctets::steadyFor), and
// this sample's voice pass was left out, nothing a voice's checks look at has moved since:
// the voices go through the steady plain loop.
void renderFMVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                    bool single) {
    HighPassOctets& bank = p.hpOctets[layer];
    const bool steady = bank.steadyFor == p.sampleCounter && p.env.passLeftOut();
    // Through more samples of the run that stand, with the pitch and operator envelopes
    // still: the voices rendered ahead through them all (as a Wave layer's).
    TRunAhead& ahead = p.runAhead[layer];
    const uint32_t envelopes = 1u << ENV_PITCH[layer] | 1u << ENV_FM_1_PITCH[layer] |
                               1u << ENV_FM_2_PITCH[layer] | 1u << ENV_FM_1_VOL[layer] |
                               1u << ENV_FM_2_VOL[layer];
    if (steady && single && p.layerFMChain[layer] == 0 && !p.renderPerSample && p.standLeft > 0 &&
        p.env.stillNow(envelopes)) {
        const auto render = [&] {
            int layerStart = layer * kNumVoices;  // (as in renderModelVoices)
            asm("" : "+r"(layerStart));
            return fmAheadRender(p, plainFMLayer(p, layer, layerStart), layer, list, voices,
                                 p.standLeft);
        };
        if (ahead.handOverOrRender(p.sampleCounter, voices, p.voiceListGeneration, p.standLeft,
                                   render, [] {})) {
            bank.steadyFor = p.sampleCounter + 1u;
            return;
        }
    } else {
        ahead.settle();
    }
    const bool plain =
        renderPlainVoices<kSourceFM, PlainFMLayer, plainFMLayer, plainFMVoices<false>,
                          plainFMVoices<true>>(p, layer, voices, list, counts, single,
                                               p.layerFMChain[layer] == 0, steady);
    bank.steadyFor = p.sampleCounter + (plain ? 1u : -1u);
}

// A String layer's voices. Through more samples of the run that stand, with the pitch
// envelope still and drift off: the voices rendered ahead through them all (as an FM
// layer's), unless one is not past its excitation.
void renderStringVoices(APlugin& p, int layer, int voices, const int* list, const int* counts,
                        bool single) {
    TRunAhead& ahead = p.runAhead[layer];
    if (single && !p.renderPerSample && p.standLeft > 0 &&
        p.env.stillNow(1u << ENV_PITCH[layer]) &&
        !APlugin::getOnOff(p.paramValue[DRIFT_ON_TAGS[layer]])) {
        const auto render = [&] {
            return stringAheadRender(p, layer, list, voices, p.standLeft);
        };
        if (ahead.handOverOrRender(p.sampleCounter, voices, p.voiceListGeneration, p.standLeft,
                                   render, [] {}))
            return;
    } else {
        ahead.settle();
    }
    renderModelVoices<kSourceString>(p, layer, voices, list, counts, single);
}

}  // namespace

// Each layer in two passes over its voices: the sound models (in voice order, which the
// shared noise generators depend on), then the filters and tails (see finishLayer). The
// models of all voices come first so that the filters of neighbouring voices can run side
// by side. Returns whether every voice has one note (knownSingle: that answer where the
// caller knows it, 0 or 1).
bool APlugin::renderLayers(int knownSingle) {
    std::memset(layerOut, 0, sizeof(layerOut));
    if (activeLayerCount <= 0) return false;
    // The voices rendered in every layer, in order (the active list itself, which stands
    // through the pass: no copy of it to take room on the stack), and their note counts
    // (clamped to 0..kLayerNotes; a count outside never occurs): a row of ones, with nothing
    // to write, when every voice has one note (the rule).
    const int* const list = activeVoiceList;
    const int voices = std::clamp(activeVoiceCount, 0, kNumVoices);
    bool single = knownSingle != 0;
    for (int vi = 0; knownSingle < 0 && vi < voices; ++vi) {
        const int v = list[vi];
        if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        single &= voiceLevelCount[v] == 1;
    }
    static constexpr int kOnes[kNumVoices] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    int written[kNumVoices];
    for (int vi = 0; !single && vi < voices; ++vi)
        written[vi] = std::clamp(voiceLevelCount[list[vi]], 0, kLayerNotes);
    const int* const counts = single ? kOnes : written;
    for (int li = 0; li < activeLayerCount; ++li) {
        const int layer = activeLayers[li];
        if ((unsigned)layer >= (unsigned)kNumLayers) continue;
        const SourceMode model = layerSource[layer];
        switch (model) {
            case kSourceWire:
                renderWireVoices(*this, layer, voices, list, counts, single);
                break;
            case kSourceString:
                renderStringVoices(*this, layer, voices, list, counts, single);
                break;
            case kSourceFM:
                renderFMVoices(*this, layer, voices, list, counts, single);
                break;
            case kSourceWave:
            default:
                renderWaveVoices(*this, layer, voices, list, counts, single);
                break;
        }
        finishLayer(layer, model, voices, list, counts, single);
    }
    return single;
}

static_assert(TRunAhead::kVoices == kNumVoices, "a row of records for every voice");
void APlugin::settleRunAhead() {
    for (TRunAhead& a : runAhead)
        if (a.at > 0 || a.left > 0) a.settle();
}

float APlugin::getLayerVoiceOutput(int layer, int v) {
    if ((unsigned)layer >= (unsigned)kNumLayers || !isValidVoice(v)) return 0.0f;
    int i = voiceFirstElement[v];
    if ((unsigned)i >= (unsigned)kLayerNotes) i = 0;
    return noteRecordLevel(noteOut[layer][v][i]);
}
