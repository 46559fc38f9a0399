// The render loop's layer filters and tails: after a layer's sound models have written every
// voice's note records, its filters run over them (voices of one note side by side, the
// others alone), then each voice's tail (amp, volume, chord gains and pan) adds it into the
// layer's output.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "dsp/LaneDispatch.h"
#include "engine/RowStride.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// The normalised cutoff pair of the Wire band-pass; its destination moves it from there.
constexpr float kWireBaseCutoff = 0.15f;

// The voice destinations of the main volume and pan: the copies the render loop reads.
constexpr int DEST_VOLUME = kHotVoiceVolume;
constexpr int DEST_PAN = kHotVoicePan;
static_assert(hotDestSlot(1) == DEST_VOLUME && hotDestSlot(12) == DEST_PAN, "main volume, pan");
static_assert(DEST_PAN == DEST_VOLUME + 1, "the main pan's copy next to the volume's");

// How many of the first `listed` voices have one note each before one that has not: four
// counts to a compare.
inline int leadingOnes(int listed, const int* counts) {
    int n = 0;
#if defined(__SSE2__)
    for (; n + 4 <= listed; n += 4) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + n));
        const int ones = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(c, _mm_set1_epi32(1))));
        if (ones != 0xf) return n + __builtin_ctz(~ones);
    }
#endif
    while (n < listed && counts[n] == 1) ++n;
    return n;
}

inline float clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;  // NaN too
    return x < 1.0f ? x : 1.0f;
}

// Wire: the band-pass (its on/off switch, base cutoff, frequency destination, separation and
// Q) from the notes into a scratch buffer, then the low-pass (filter frequency, its
// destination and the filter Q) back into the notes.
inline void wireBandPass(APlugin& p, int layer, int v, bool on, int count,
                         const stereoOverStruct* notes, stereoOverStruct* band) {
    const TLayerVoice& c = p.layerVoice[layer][v];
    p.voiceBPFilter[layer][v].process(on, {kWireBaseCutoff, kWireBaseCutoff},
                                      p.modDestVoice[v][hotLayerSlot(layer, kHotWireFreq)],
                                      c.wireSep, c.wireQ, count, notes, band);
}
inline void wireLowPass(APlugin& p, int layer, int v, int count, const stereoOverStruct* band,
                        stereoOverStruct* notes) {
    p.voiceLPFilter[layer][v].process(p.paramValue[FILTER_FREQ_TAGS[layer]],
                                      p.modDestVoice[v][hotLayerSlot(layer, kHotFilterFreq)],
                                      p.layerVoice[layer][v].filterQ, count, band, notes);
}
// Wave: the multimode filter at the layer's filter frequency (both sides), its destination,
// separation, Q and vowel / mix, in place.
inline void multimodeFilter(APlugin& p, int layer, int v, int count, stereoOverStruct* notes) {
    const float cutoff = p.paramValue[FILTER_FREQ_TAGS[layer]];
    const float mod = p.modDestVoice[v][hotLayerSlot(layer, kHotFilterFreq)];
    const TLayerVoice& c = p.layerVoice[layer][v];
    p.voiceFilter[layer][v].process({cutoff, cutoff}, {mod, mod}, c.filterSep, c.filterQ, c.vowel,
                                    count, notes, notes);
}
// Every layer: the high-pass at the layer's HP frequency, its destination and the HP Q
// destination, in place.
inline void highPass(APlugin& p, int layer, int v, int count, stereoOverStruct* notes) {
    const float* dest = p.modDestVoice[v];
    p.voiceHPFilter[layer][v].process(p.paramValue[HP_FREQ_TAGS[layer]],
                                      dest[hotLayerSlot(layer, kHotHPFreq)],
                                      dest[hotLayerSlot(layer, kHotHPQ)], count, notes, notes);
}

#include "engine/LayerTails.h"

// The filters and tails of one layer over its rendered voices. A voice of one note pairs
// up with the next such voice in the list: the pair's notes run through the layer's
// filters side by side in one vector (the filters' pair entry points). Each filter stage
// runs over all pairs before the next one starts: a filter is a recursion whose every step
// waits for the one before, and back-to-back stages of independent pairs let the processor
// overlap those waits. Other voices run alone. The tails follow in list order, which the
// layer sum depends on.
class LayerFinisher {
public:
    // The prepares of the stages' pairs.
    struct BandPassPrepare {
        LayerFinisher* f;
        void operator()(TBPFilter& x, int v, const float* dest) const {
            f->prepareBandPass(x, v, dest);
        }
    };
    struct LowPassPrepare {
        LayerFinisher* f;
        void operator()(TLPFilter& x, int v, const float* dest) const {
            f->prepareLowPass(x, v, dest);
        }
    };
    struct HighPassPrepare {
        LayerFinisher* f;
        void operator()(THPFilter& x, int, const float* dest) const { f->prepareHighPass(x, dest); }
    };

    LayerFinisher(APlugin& p, int layer, SourceMode model)
        : p_(p),
          layer_(layer),
          model_(model),
          wireOn_(model == kSourceWire && APlugin::getOnOff(p.paramValue[WIRE_ON_TAGS[layer]])),
          cutoff_(p.paramValue[FILTER_FREQ_TAGS[layer]]),
          hpFreq_(p.paramValue[HP_FREQ_TAGS[layer]]),
          voices_(p.layerVoice[layer]),
          wireFreqDest_(hotLayerSlot(layer, kHotWireFreq)),
          filterFreqDest_(hotLayerSlot(layer, kHotFilterFreq)),
          hpFreqDest_(hotLayerSlot(layer, kHotHPFreq)),
          hpQDest_(hotLayerSlot(layer, kHotHPQ)) {}
    LayerFinisher(const LayerFinisher&) = delete;
    LayerFinisher& operator=(const LayerFinisher&) = delete;

    // Kept out of line: inlined into renderLayers it would crowd the registers of the sound
    // models' loops.
    __attribute__((noinline)) void run(int listed, const int* list, const int* counts,
                                       bool single) {
        int pending = -1;  // a voice of one note waiting for a partner
        pairs_ = straight_ = 0;
        // Wire quads hold their chains' states only while the Wire stages below run them
        // (see WireQuads): else every filter is run through its own entry points.
        const bool heldWire = TAV_WIDE_LANES && model_ == kSourceWire && lanes::wide();
        if (!heldWire && __builtin_expect(p_.wireQuads[layer_].live(), 0))
            p_.wireQuads[layer_].release();
        if (heldWire && p_.wireQuads[layer_].steadyNow && single && steadyWire(listed, list, counts))
            return;
        // the voices of one note before any other: most often all of them
        const int ones = single ? listed : leadingOnes(listed, counts);
        // the voices' one filter the high-pass, their records mono (as a rule)
        const bool mono =
            TAV_WIDE_LANES && lanes::wide() && (highPassOnly() || monoWave(listed, list));
        if (mono) {
            // (a high-pass a multimode quad holds goes back before an octet takes it)
            if (!highPassOnly() && __builtin_expect(p_.mmQuads[layer_].highPassHeld != 0, 0))
                p_.mmQuads[layer_].releaseHighPass(~0u);
            pending = monoVoices(listed, list, counts, ones);
#if TAV_WIDE_LANES
            if (monoHeld_ && monoTails(listed, list)) return;
#endif
        } else {
            // no octet holds its voices' high-pass states past this point (see
            // HighPassOctets): every filter is run through its own entry points
            if (__builtin_expect(p_.hpOctets[layer_].live(), 0)) p_.hpOctets[layer_].release();
            // while the voices come two of one note at a time, they pair up as they come
            const int paired = ones >> 1;
            int k = 0;
            {
                APlugin& p = p_;
                stereoOverStruct(*const notes)[kLayerNotes] = p.noteOut[layer_];
                const intptr_t destRow = opaqueStride(p.modDestVoice);
                const intptr_t noteRow = opaqueStride(notes);
                // (held Wire quads keep their voices' destination rows: the pairs' are
                // found only where wanted, see keepDests)
                const auto take = [&](auto dests) __attribute__((always_inline)) {
                    int j = 0;
                    for (; j < paired; k += 2, ++j) {
                        const int a = list[k], b = list[k + 1];
                        a_[j] = a;
                        b_[j] = b;
                        if constexpr (decltype(dests)::value) {
                            destA_[j] = *rowAt(p.modDestVoice, destRow, a);
                            destB_[j] = *rowAt(p.modDestVoice, destRow, b);
                        }
                        filtermath::loadNotePair((*rowAt(notes, noteRow, a))[0],
                                                 (*rowAt(notes, noteRow, b))[0], lanes_[j]);
                    }
                    pairs_ = straight_ = j;
                };
                destsDue_ = heldWire;
                if (heldWire)
                    take(std::false_type{});
                else
                    take(std::true_type{});
            }
            for (; k < listed; ++k) {
                const int v = list[k];
                if (counts[k] != 1)
                    alone(v, counts[k]);
                else
                    pairUp(pending, v);
            }
        }
        if (pending >= 0) alone(pending, 1);

        int highPassDone = 0;  // the pairs whose high-passes ran held
        if (heldWire) {
            WireQuads& held = p_.wireQuads[layer_];
            // (the voices' pass said whether they all stayed plain: see renderWireVoices)
            const bool plain = held.steadyFor == p_.sampleCounter;
            const bool mapped = heldWireStages(list);
            held.steadyFor = p_.sampleCounter + (plain && mapped && 2 * pairs_ == listed ? 1u : -1u);
        } else {
            if (model_ == kSourceWire) {
                if (wireOn_) stage(p_.voiceBPFilter[layer_], BandPassPrepare{this});
                stage(p_.voiceLPFilter[layer_], LowPassPrepare{this});
            } else if (!mono && !highPassOnly()) {
                // (the pairs whose high-passes ran in their quads' steps are not run again;
                // with four lanes the bank holds none)
                const int done = multimodeStage();
                if (TAV_WIDE_LANES && lanes::wide()) {
                    if (done != pairs_) heldHighPasses(done);
                    highPassDone = pairs_ & ~1;
                } else if (__builtin_expect(p_.mmQuads[layer_].highPassHeld != 0, 0)) {
                    p_.mmQuads[layer_].releaseHighPass(~0u);
                }
            }
            stage(p_.voiceHPFilter[layer_], HighPassPrepare{this}, highPassDone);
        }
        if (pairs_ > 0) {
            tails(listed, list, counts);
            return;
        }
        Lanes4 sum;
        std::memcpy(&sum, &p_.layerOut[layer_], sizeof sum);
        const LayerTailParams t = tailParams(p_, layer_);
        // While the voices come two of one note at a time, each two take their terms
        // together from their records.
        APlugin& p = p_;
        const int layer = layer_;
        stereoOverStruct(*const notes)[kLayerNotes] = p.noteOut[layer];
        const int pairable = ones & ~1;
        const intptr_t destRow = opaqueStride(p.modDestVoice);
        int k = 0;
        for (; k < pairable; k += 2) {
            const int a = list[k], b = list[k + 1];
            Lanes4 ra, rb;
            std::memcpy(&ra, &notes[a][0], sizeof ra);
            std::memcpy(&rb, &notes[b][0], sizeof rb);
            Lanes4 ca, cb;
            bool started;
            pairTerms(pairGains(p, t, layer, a, b, *rowAt(p.modDestVoice, destRow, a),
                                *rowAt(p.modDestVoice, destRow, b), started),
                      ra, rb, ca, cb);
            addPairTerms(p, a, b, started, ca, cb, sum);
        }
        for (; k < listed; ++k) layerTail(p, t, layer, list[k], counts[k], sum);
        std::memcpy(&p.layerOut[layer], &sum, sizeof sum);
    }

private:
    // The pairs' records written back from their lanes, and every voice's tail added to the
    // layer's sum in list order. A pair's two terms come from its lanes, both at once,
    // before the adds, which stay in order.
    __attribute__((always_inline)) void tails(int listed, const int* list, const int* counts) {
        APlugin& p = p_;
        const int layer = layer_;
        const int pairs = pairs_;
        const LayerTailParams t = tailParams(p, layer);
        // every voice in a pair, the pairs in list order: the gains from the octets' lanes
        // where they stand
#if TAV_WIDE_LANES
        if (2 * pairs == listed && lanes::wide() && pairTailsInLanes(t, listed, list)) return;
#endif
        keepDests();
        stereoOverStruct(*const notes)[kLayerNotes] = p.noteOut[layer];
        Lanes4 sum;
        std::memcpy(&sum, &p.layerOut[layer], sizeof sum);
        if (2 * pairs == listed) {
            // (the pairs' terms go straight in, in list order)
            for (int j = 0; j < pairs; ++j) {
                const int a = a_[j], b = b_[j];
                const Lanes4 ra = filtermath::lowHalves(lanes_[j][0], lanes_[j][1]);
                const Lanes4 rb = filtermath::highHalves(lanes_[j][0], lanes_[j][1]);
                filtermath::storeNote(notes[a][0], ra);
                filtermath::storeNote(notes[b][0], rb);
                Lanes4 ca, cb;
                bool started;
                pairTerms(pairGains(p, t, layer, a, b, destA_[j], destB_[j], started), ra, rb,
                          ca, cb);
                addPairTerms(p, a, b, started, ca, cb, sum);
            }
        } else {
            Lanes4 terms[kNumVoices];
            for (int j = 0; j < pairs; ++j) {
                const int a = a_[j], b = b_[j];
                const Lanes4 ra = filtermath::lowHalves(lanes_[j][0], lanes_[j][1]);
                const Lanes4 rb = filtermath::highHalves(lanes_[j][0], lanes_[j][1]);
                filtermath::storeNote(notes[a][0], ra);
                filtermath::storeNote(notes[b][0], rb);
                bool started;  // (the adds below look at the ages)
                pairTerms(pairGains(p, t, layer, a, b, destA_[j], destB_[j], started), ra, rb,
                          terms[2 * j], terms[2 * j + 1]);
            }
            // The paired voices come in the list in the order a0, b0, a1, b1, ... (a voice
            // is listed once).
            int next = 0;
            const int paired = 2 * pairs;
            for (int k = 0; k < listed; ++k) {
                const int v = list[k];
                if (next < paired && v == ((next & 1) ? b_[next >> 1] : a_[next >> 1])) {
                    if (p.voiceElemAge[v][0] >= 0) sum += terms[next];
                    ++next;
                } else {
                    layerTail(p, t, layer, v, counts[k], sum);
                }
            }
        }
        std::memcpy(&p.layerOut[layer], &sum, sizeof sum);
    }

    // String and FM: the high-pass is the layer's only filter.
    bool highPassOnly() const { return model_ == kSourceString || model_ == kSourceFM; }
    // A Wave layer whose every listed voice has its multimode filter bypassed: the high-pass
    // is then its one filter too. Without the sub-oscillator (whose pan may part the sides)
    // its voices' records are as mono as those of String and FM.
    bool monoWave(int listed, const int* list) const {
        static_assert(kFilterBypass == 0, "a bypassed filter's mode is 0");
        if (model_ == kSourceWire || p_.subVolGain[layer_] > 0.0001f) return false;
        const TFilter* const filters = p_.voiceFilter[layer_];
        for (int k = 0; k < listed; ++k)
            if (filters[list[k]].getType() != 0) return false;
        return true;
    }

    // The next voice of one note: it waits for a partner (pending) or pairs up with the
    // waiting one. Forced inline and without an early return: so run()'s loop compiles to
    // what it was when written out there (out of line it cost mispredicts).
    __attribute__((always_inline)) void pairUp(int& pending, int v) {
        if (pending < 0) {
            pending = v;
        } else {
            addPair(pending, v);
            pending = -1;
        }
    }
    // The next pair: voices a and b, of one note each.
    __attribute__((always_inline)) void addPair(int a, int b) {
        a_[pairs_] = a;
        b_[pairs_] = b;
        destA_[pairs_] = p_.modDestVoice[a];
        destB_[pairs_] = p_.modDestVoice[b];
        filtermath::loadNotePair(p_.noteOut[layer_][a][0], p_.noteOut[layer_][b][0],
                                 lanes_[pairs_]);
        ++pairs_;
    }

    // Mono notes (String and FM): the one-note voices eight at a time through the
    // high-pass in one lane each, their states held in the octet's lanes from one sample to
    // the next (see HighPassOctets); the voices of a group that is not mono pair up, and the
    // one left without a partner is returned (-1: none). Others run alone.
    // (ones: the voices of one note before any other)
    __attribute__((noinline)) int monoVoices(int listed, const int* list, const int* counts,
                                             int ones) {
        // the voices of one note: the list itself while every voice has one note
        int n = ones;
        const int* mono = list;
        monoHeld_ = n == listed;
        int others[kNumVoices];
        int many[kNumVoices];  // the places of the others in the list
        int manyCount = 0;
        if (n < listed) {
            std::copy(list, list + n, others);
            for (int k = n; k < listed; ++k) {
                if (counts[k] != 1)
                    many[manyCount++] = k;
                else
                    others[n++] = list[k];
            }
            mono = others;
        }
        // Before any filter runs, the octets that no longer stand give their states back,
        // so that a filter run otherwise below (alone, in a pair) holds its own.
        HighPassOctets& held = p_.hpOctets[layer_];
        if (held.live()) settleOctets(held, mono, n);
        for (int i = 0; i < manyCount; ++i) alone(list[many[i]], counts[many[i]]);
        // (an octet that holds its voices, the rule past a note's first sample, takes none)
        for (int s = 0; 8 * s < n; ++s)
            if (__builtin_expect(held.octet[s].count == 0, 0))
                takeOctet(mono + 8 * s, std::min(8, n - 8 * s), s);
        // the voices' destinations as places from the first voice's
        const float* const dest = p_.modDestVoice[0];
        const unsigned ran = THPFilter::runNoteOctetsHeld(held, n, hpFreq_, dest + hpFreqDest_,
                                                          dest + hpQDest_, monoY_);
        int pending = -1;
        // (most often every octet ran held)
        const unsigned all = (1u << ((n + 7) >> 3)) - 1;
        if (__builtin_expect((ran & all) == all, 1)) return pending;
        for (int g = 0; g < n; g += 8) {
            if (ran >> (g >> 3) & 1) continue;
            monoHeld_ = false;
            held.release(g >> 3);
            for (int i = 0; i < std::min(8, n - g); ++i) pairUp(pending, mono[g + i]);
        }
        return pending;
    }
    static_assert(kNumVoices <= 8 * HighPassOctets::kOctets, "an octet for every eight voices");

    // Each octet that holds states but not those of the voices in its place among the n
    // listed (mono) releases them.
    void settleOctets(HighPassOctets& held, const int* mono, int n) {
#pragma GCC unroll 2
        for (int s = 0; s < HighPassOctets::kOctets; ++s) {
            const HighPassOctet& o = held.octet[s];
            if (o.count == 0) continue;
            const int g = 8 * s;
            const int want = g < n ? std::min(8, n - g) : 0;
            bool stands = o.count == want;
#if defined(__SSE2__)
            if (stands && want == 8) {
                // a full octet's voices in two compares
                const __m128i lo = _mm_cmpeq_epi32(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(mono + g)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(o.voice)));
                const __m128i hi = _mm_cmpeq_epi32(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(mono + g + 4)),
                    _mm_load_si128(reinterpret_cast<const __m128i*>(o.voice + 4)));
                stands = _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(lo, hi))) == 0xf;
                if (!stands) held.release(s);
                continue;
            }
#endif
            {
                for (int i = 0; stands && i < want; ++i) stands = o.voice[i] == mono[g + i];
            }
            if (!stands) held.release(s);
        }
    }

    // Octet s set for up to eight voices of one note (count of them) where it holds
    // nothing: their filters, records and the places of their arguments (see
    // THPFilter::runNoteOctetHeld).
    __attribute__((noinline, cold)) void takeOctet(const int* voices, int count, int s) {
        HighPassOctet& o = p_.hpOctets[layer_].octet[s];
        if (o.count != 0) return;
        // a full octet as it is (the common case), a short one with its last voice repeated
        int padded[8];
        if (count < 8) {
            padOctet(voices, count, padded);
            voices = padded;
        }
        const float* const dest = p_.modDestVoice[0];
        THPFilter* const filters = p_.voiceHPFilter[layer_];
        stereoOverStruct(*const notes)[kLayerNotes] = p_.noteOut[layer_];
        const intptr_t filterRow = opaqueStride(filters);
        const intptr_t noteRow = opaqueStride(notes);
        const intptr_t destRow = opaqueStride(p_.modDestVoice);
        for (int i = 0; i < 8; ++i) {
            o.voice[i] = voices[i];
            o.f[i] = rowAt(filters, filterRow, voices[i]);
            o.rec[i] = *rowAt(notes, noteRow, voices[i]);
            o.at[i] = (int32_t)(*rowAt(p_.modDestVoice, destRow, voices[i]) - dest);
        }
    }

#if TAV_WIDE_LANES
    // The gains of the tails of the first `listed` voices of the list, each voice's in its
    // lane (eight at a time: gl[s] and gr[s] the left and right of voices 8s to 8s + 7),
    // each as layerTail() forms it, from the layer's octets of lanes (see
    // TTailLevels::Octet), which take their voices' levels anew where these do not stand.
    // False where they cannot (a note has not started): then nothing is formed.
    __attribute__((always_inline, target("avx2"))) bool laneGains(const LayerTailParams& t,
                                                                 int listed, const int* list,
                                                                 __m256 (&gl)[2],
                                                                 __m256 (&gr)[2]) {
        APlugin& p = p_;
        TTailLevels& kept = p.tailLevels[layer_];
        const int octets = (listed + 7) >> 3;
        for (int s = 0; s < octets; ++s) {
            const TTailLevels::Octet& q = kept.octet[s];
            // (the lanes past the listed voices are not compared)
            const unsigned same =
                (unsigned)_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(list + 8 * s)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(q.voice))))) |
                (0xffu << std::min(8, listed - 8 * s));
            if (__builtin_expect(!q.taken || (same & 0xffu) != 0xffu ||
                                     (kept.dropped & q.voices) != 0,
                                 0) &&
                !takeTailOctet(t, s, list + 8 * s, std::min(8, listed - 8 * s)))
                return false;
        }
        const double* const amps = &p.env.work.run[0][0][kAmpRunPlace];
        const double* const vols = &p.env.work.run[0][0][t.volEnv];
        // An octet that stood on the sample before, where it formed its gains, forms the
        // same again while neither the Amp envelope (number 0) nor the layer's volume
        // envelope moves (TEnvState::stillNow): every input has its bits of then.
        const bool still = p.env.stillNow(1u | 1u << ENV_VOL[layer_]);
        for (int s = 0; s < octets; ++s) {
            TTailLevels::Octet& q = kept.octet[s];
            if (still && q.gainsFor == p.sampleCounter) {
                gl[s] = _mm256_load_ps(q.gainL);
                gr[s] = _mm256_load_ps(q.gainR);
            } else {
                // the envelope levels of the eight voices, each as its float
                const __m256 level = _mm256_mul_ps(
                    _mm256_mul_ps(levelsLoaded(amps, q.rows), levelsLoaded(vols, q.rows)),
                    _mm256_load_ps(q.gain));
                gl[s] = _mm256_mul_ps(_mm256_mul_ps(level, _mm256_load_ps(q.chordL)),
                                      _mm256_load_ps(q.panL));
                gr[s] = _mm256_mul_ps(_mm256_mul_ps(level, _mm256_load_ps(q.chordR)),
                                      _mm256_load_ps(q.panR));
                _mm256_store_ps(q.gainL, gl[s]);
                _mm256_store_ps(q.gainR, gr[s]);
            }
            q.gainsFor = p.sampleCounter + 1u;
        }
        return true;
    }
    // Octet s's lanes taken for the `count` voices from `voices` on (the lanes after them
    // repeat the last): their kept levels (each kept anew where it does not stand) and
    // chord gains; false where a voice's note has not started.
    __attribute__((noinline, cold)) bool takeTailOctet(const LayerTailParams& t, int s,
                                                       const int* voices, int count) {
        APlugin& p = p_;
        TTailLevels& kept = p.tailLevels[layer_];
        TTailLevels::Octet& q = kept.octet[s];
        q.taken = 0;
        q.gainsFor = p.sampleCounter - 1u;
        uint32_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            const int v = voices[i < count ? i : count - 1];
            const TTailLevels::Voice& k = kept.voice[v];
            if (!k.fresh) {
                __m128 la, lb;
                const float* const dest = p.modDestVoice[v];
                keepPairLevels(p, t, layer_, v, v, dest, dest, la, lb);
                if (!k.fresh) return false;
            }
            q.gain[i] = k.gain;
            q.panL[i] = k.panL;
            q.panR[i] = k.panR;
            q.chordL[i] = p.voiceElemGain[v][0][0];
            q.chordR[i] = p.voiceElemGain[v][0][1];
            q.rows[i] = v * (kEnvSubs * kNumEnvs);
            q.voice[i] = v;
            bits |= 1u << v;
        }
        q.voices = bits;
        q.taken = 1;
        kept.dropped &= ~bits;
        return true;
    }
    // The tails of a layer whose voices all ran in its held octets (monoVoices), eight at a
    // time from the octets' lanes (monoY_): the terms lane by lane as layerTail() forms
    // them, then added to the sum one voice after the other in list order. False, with
    // nothing done, where laneGains() is.
    __attribute__((target("avx2"))) bool monoTails(int listed, const int* list) {
        APlugin& p = p_;
        const LayerTailParams t = tailParams(p, layer_);
        __m256 gl[2], gr[2];
        if (!laneGains(t, listed, list, gl, gr)) return false;
        Lanes4 sum;
        std::memcpy(&sum, &p.layerOut[layer_], sizeof sum);
        const __m256 tiny = _mm256_set1_ps(1e-15f);
        for (int s = 0; s < (listed + 7) >> 3; ++s) {
            // {left 0, right 0, left 1, right 1} of each voice: its record {y0, y0, y1, y1}
            // times {gl, gr, gl, gr}, plus the guard
            const __m256 y0 = _mm256_load_ps(monoY_[s]), y1 = _mm256_load_ps(monoY_[s] + 8);
            const __m256 l0 = _mm256_add_ps(_mm256_mul_ps(y0, gl[s]), tiny);
            const __m256 r0 = _mm256_add_ps(_mm256_mul_ps(y0, gr[s]), tiny);
            const __m256 l1 = _mm256_add_ps(_mm256_mul_ps(y1, gl[s]), tiny);
            const __m256 r1 = _mm256_add_ps(_mm256_mul_ps(y1, gr[s]), tiny);
            const __m256 u0 = _mm256_unpacklo_ps(l0, r0), u1 = _mm256_unpackhi_ps(l0, r0);
            const __m256 w0 = _mm256_unpacklo_ps(l1, r1), w1 = _mm256_unpackhi_ps(l1, r1);
            // voices i and i + 4
            const __m256 v04 = _mm256_shuffle_ps(u0, w0, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 v15 = _mm256_shuffle_ps(u0, w0, _MM_SHUFFLE(3, 2, 3, 2));
            const __m256 v26 = _mm256_shuffle_ps(u1, w1, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 v37 = _mm256_shuffle_ps(u1, w1, _MM_SHUFFLE(3, 2, 3, 2));
            const __m128 terms[8] = {
                _mm256_castps256_ps128(v04),   _mm256_castps256_ps128(v15),
                _mm256_castps256_ps128(v26),   _mm256_castps256_ps128(v37),
                _mm256_extractf128_ps(v04, 1), _mm256_extractf128_ps(v15, 1),
                _mm256_extractf128_ps(v26, 1), _mm256_extractf128_ps(v37, 1)};
            const int count = std::min(8, listed - 8 * s);
            if (count == 8) {
                for (const __m128 x : terms) sum += (Lanes4)x;
            } else {
                for (int i = 0; i < count; ++i) sum += (Lanes4)terms[i];
            }
        }
        std::memcpy(&p.layerOut[layer_], &sum, sizeof sum);
        return true;
    }
    // Pair j's sub-samples {a left, a right, b left, b right} as {a's record | b's}, written
    // back, then each times {its left, its right} twice (g: the pair's gains as {a's | b's},
    // each twice) plus the guard, and added to the sum, a's then b's.
    __attribute__((always_inline, target("avx2"))) void pairTail(
        stereoOverStruct (*notes)[kLayerNotes], int j, __m256d g, __m256 tiny, __m128& sum) {
        const __m256d r = _mm256_permute4x64_pd(
            _mm256_loadu_pd(reinterpret_cast<const double*>(lanes_[j])), _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storeu_pd(reinterpret_cast<double*>(&notes[a_[j]][0]), _mm256_castpd256_pd128(r));
        _mm_storeu_pd(reinterpret_cast<double*>(&notes[b_[j]][0]), _mm256_extractf128_pd(r, 1));
        const __m256 c =
            _mm256_add_ps(_mm256_mul_ps(_mm256_castpd_ps(r), _mm256_castpd_ps(g)), tiny);
        // (the upper half taken first: the lower one is then c's last use, without a copy)
        const __m128 cb = _mm256_extractf128_ps(c, 1);
        sum = _mm_add_ps(sum, _mm256_castps256_ps128(c));
        sum = _mm_add_ps(sum, cb);
    }
    // The first `count` (1 to 4) pairs of octet s (pairs 4s on) by pairTail(), their gains
    // from the octet's lanes gl and gr.
    __attribute__((always_inline, target("avx2"))) void octetTails(
        stereoOverStruct (*notes)[kLayerNotes], int s, int count, __m256 gl, __m256 gr,
        __m256 tiny, __m128& sum) {
        // {left, right} of voices 8s, 8s + 1, 8s + 4, 8s + 5 (even), and the four between
        // (odd): pairs 4s and 4s + 2, then 4s + 1 and 4s + 3
        const __m256d even = _mm256_castps_pd(_mm256_unpacklo_ps(gl, gr));
        const __m256d odd = _mm256_castps_pd(_mm256_unpackhi_ps(gl, gr));
        const int j = 4 * s;
        pairTail(notes, j, _mm256_permute4x64_pd(even, _MM_SHUFFLE(1, 1, 0, 0)), tiny, sum);
        if (count == 1) return;
        pairTail(notes, j + 1, _mm256_permute4x64_pd(odd, _MM_SHUFFLE(1, 1, 0, 0)), tiny, sum);
        if (count == 2) return;
        pairTail(notes, j + 2, _mm256_permute4x64_pd(even, _MM_SHUFFLE(3, 3, 2, 2)), tiny, sum);
        if (count == 3) return;
        pairTail(notes, j + 3, _mm256_permute4x64_pd(odd, _MM_SHUFFLE(3, 3, 2, 2)), tiny, sum);
    }
    // tails() where every listed voice is in a pair (a_[j], b_[j] the list's voices 2j and
    // 2j + 1), with the gains from the octets' lanes: each pair's records written back and
    // its two terms formed in one vector, {a's | b's}, as pairTerms() forms them, then
    // added in order. False, with nothing done, where laneGains() is.
    __attribute__((noinline, target("avx2"))) bool pairTailsInLanes(const LayerTailParams& t,
                                                                   int listed, const int* list) {
        __m256 gl[2], gr[2];
        if (!laneGains(t, listed, list, gl, gr)) return false;
        APlugin& p = p_;
        stereoOverStruct(*const notes)[kLayerNotes] = p.noteOut[layer_];
        __m128 sum = _mm_loadu_ps(reinterpret_cast<const float*>(&p.layerOut[layer_]));
        const __m256 tiny = _mm256_set1_ps(1e-15f);
        const int pairs = pairs_;
        // (whole octets without a test between their pairs, then the pairs left)
        int s = 0;
        for (; 4 * s + 4 <= pairs; ++s) octetTails(notes, s, 4, gl[s], gr[s], tiny, sum);
        if (4 * s < pairs) octetTails(notes, s, pairs - 4 * s, gl[s], gr[s], tiny, sum);
        _mm_storeu_ps(reinterpret_cast<float*>(&p.layerOut[layer_]), sum);
        return true;
    }
#endif

    __attribute__((noinline, cold)) static void padOctet(const int* voices, int count,
                                                        int (&padded)[8]) {
        for (int i = 0; i < 8; ++i) padded[i] = voices[i < count ? i : count - 1];
    }

    // A Wire layer's pass where nothing its quads' maps and prepares read has moved since
    // the last one, on the sample before, which left them all held (see
    // WireQuads::steadyNow): its voices paired straight from the list and, where those are
    // the quads' own, run through the quads' chains with no map or prepare (each would find
    // what it keeps), then the tails. False, with nothing done, where the quads do not stand.
    bool steadyWire(int listed, const int* list, const int* counts) {
        WireQuads& held = p_.wireQuads[layer_];
        const int quads = listed >> 2;
        if ((listed & 3) != 0 || held.held != (1u << quads) - 1u) return false;
        for (int s = 0; s < quads; ++s)
            if (!quadStands(held.quad[s], list + 4 * s)) return false;
        stereoOverStruct(*const notes)[kLayerNotes] = p_.noteOut[layer_];
        for (int j = 0; j < 2 * quads; ++j) {
            a_[j] = list[2 * j];
            b_[j] = list[2 * j + 1];
            filtermath::loadNotePair(notes[a_[j]][0], notes[b_[j]][0], lanes_[j]);
        }
        pairs_ = straight_ = 2 * quads;
        destsDue_ = true;
        held.runChains(quads, wireOn_, lanes_);
        tails(listed, list, counts);
        held.steadyFor = p_.sampleCounter + 1u;
        return true;
    }

    // Wire on a processor with AVX2: every two pairs (j and j + 1) as a quad whose chain
    // states the layer's WireQuads hold from one sample to the next while the quad's voices
    // stand (one compare per quad), each stage over all quads before the next; a pair left
    // over runs as in stage(). Returns whether every pair was in a held quad whose band-pass
    // took the usual map (the quads' maps then hold what their inputs give).
    bool heldWireStages(const int* list) {
        WireQuads& held = p_.wireQuads[layer_];
        const int quads = pairs_ >> 1;
        // Before any filter runs here, the quads that no longer stand give their states back
        // (found first without a branch for each quad: most often all stand), then the quads
        // wanted and not held take theirs (most often none). Where every quad's pairs came
        // straight from the list (the rule), its four names are the list's, in a row.
        const unsigned wanted = (1u << quads) - 1;
        unsigned fallen = ~wanted;
        if (2 * quads <= straight_) {
#pragma GCC unroll 4
            for (int s = 0; s < quads; ++s)
                fallen |= (unsigned)!quadStands(held.quad[s], list + 4 * s) << s;
        } else {
            for (int s = 0; s < quads; ++s)
                fallen |= (unsigned)!quadStands(held.quad[s], 2 * s) << s;
        }
        for (unsigned m = fallen & held.held; m; m &= m - 1) held.release(__builtin_ctz(m));
        for (unsigned m = wanted & ~held.held; m; m &= m - 1) takeQuad(held, __builtin_ctz(m));
        // Every quad's three prepares (and the coefficients they changed taken again), then
        // the chains side by side (a prepare reads no state a chain writes, and every quad
        // keeps its own coefficients); the pair left over after. The band-pass's usual maps
        // come first, all in one call (no prepare reads what another quad's changes); the
        // quads they leave are prepared with the others.
        static_assert(offsetof(TLayerVoice, wireQ) == offsetof(TLayerVoice, wireSep) + 4);
        const unsigned apart =
            wireOn_ ? held.mapBandPasses(quads, {kWireBaseCutoff, kWireBaseCutoff}, wireFreqDest_,
                                         offsetof(TLayerVoice, wireSep))
                    : 0;
        for (int s = 0; s < quads; ++s) {
            const WireQuad& q = held.quad[s];
            // (the voices' controls as the quad keeps them)
            const auto controls = [&q](int i) {
                return static_cast<const TLayerVoice*>(q.owner[i]);
            };
            const TLayerVoice* const c[4] = {controls(0), controls(1), controls(2), controls(3)};
            int band = wireOn_ ? 0 : WireQuads::kNoBandPass;
            if (__builtin_expect(apart & (1u << s), 0))
                band = prepareBandPassQuad(*q.bp[0], *q.bp[1], *q.bp[2], *q.bp[3], q.dest, c,
                                           &held, s);
            const bool low =
                prepareLowPassQuad(*q.lp[0], *q.lp[1], *q.lp[2], *q.lp[3], q.dest, c, &held, s);
            const bool high =
                prepareHighPassQuad(*q.hp[0], *q.hp[1], *q.hp[2], *q.hp[3], q.dest);
            held.takeDue(s, band, low, high);
        }
        held.runChains(quads, wireOn_, lanes_);
        if (pairs_ & 1) {
            keepDests();
            if (wireOn_) stage(p_.voiceBPFilter[layer_], BandPassPrepare{this}, 2 * quads);
            stage(p_.voiceLPFilter[layer_], LowPassPrepare{this}, 2 * quads);
            stage(p_.voiceHPFilter[layer_], HighPassPrepare{this}, 2 * quads);
            return false;
        }
        return apart == 0 && 2 * quads <= straight_ && held.held == wanted;
    }
    static_assert(kNumVoices <= 4 * WireQuads::kQuads, "a quad for every four voices");
    // Whether quad q holds the voices of pairs j and j + 1 (a_[j], b_[j], a_[j + 1],
    // b_[j + 1], as WireQuad::voice orders them).
    bool quadStands(const WireQuad& q, int j) const {
        // (each name read on its own: the names were just stored one at a time, and a read
        // across two of those stores would wait for them to reach the cache)
        const __m128i now = _mm_setr_epi32(a_[j], b_[j], a_[j + 1], b_[j + 1]);
        return quadStands(q, now);
    }
    // The same of the four names at `names` (the list, which stands through the pass: read
    // at once).
    static bool quadStands(const WireQuad& q, const int* names) {
        return quadStands(q, _mm_loadu_si128(reinterpret_cast<const __m128i*>(names)));
    }
    static bool quadStands(const WireQuad& q, __m128i now) {
        const __m128i was = _mm_load_si128(reinterpret_cast<const __m128i*>(q.voice));
        return _mm_movemask_epi8(_mm_cmpeq_epi32(now, was)) == 0xFFFF;
    }
    __attribute__((noinline)) void takeQuad(WireQuads& held, int s) {
        const int j = 2 * s;
        const int32_t voice[4] = {a_[j], b_[j], a_[j + 1], b_[j + 1]};
        const int lane[4] = {a_[j], b_[j], a_[j + 1], b_[j + 1]};
        TBPFilter* bp[4];
        TLPFilter* lp[4];
        THPFilter* hp[4];
        for (int i = 0; i < 4; ++i) {
            bp[i] = &p_.voiceBPFilter[layer_][lane[i]];
            lp[i] = &p_.voiceLPFilter[layer_][lane[i]];
            hp[i] = &p_.voiceHPFilter[layer_][lane[i]];
        }
        held.take(s, voice, bp, lp, hp);
        for (int i = 0; i < 4; ++i) {
            held.quad[s].owner[i] = &voices_[voice[i]];
            held.quad[s].dest[i] = p_.modDestVoice[voice[i]];
        }
    }
    // The destination rows of the pairs taken straight from the list, where run() left them
    // to find (destsDue_): before anything but the held Wire quads reads them.
    void keepDests() {
        if (!destsDue_) return;
        destsDue_ = false;
        for (int j = 0; j < straight_; ++j) {
            destA_[j] = p_.modDestVoice[a_[j]];
            destB_[j] = p_.modDestVoice[b_[j]];
        }
    }

    stereoOverStruct& noteA(int j) { return p_.noteOut[layer_][a_[j]][0]; }
    stereoOverStruct& noteB(int j) { return p_.noteOut[layer_][b_[j]][0]; }

    // One layer-filter stage over all pairs (filters: the layer's filters of every voice):
    // each voice's filter prepared (prepare(filter, voice, the voice's destinations)), then
    // two pairs at a time through the filter's quad entry point and a pair left over
    // through its pair entry point (from pair `from` on).
    template <class Filter, class Prepare>
    void stage(Filter (&filters)[kNumVoices], Prepare prepare, int from = 0) {
        const intptr_t row = opaqueStride(filters);
        int j = from;
        for (; j + 1 < pairs_; j += 2) {
            Filter& fa = *rowAt(filters, row, a_[j]);
            Filter& fb = *rowAt(filters, row, b_[j]);
            Filter& fc = *rowAt(filters, row, a_[j + 1]);
            Filter& fd = *rowAt(filters, row, b_[j + 1]);
            if constexpr (std::is_same_v<Filter, TBPFilter>) {
                prepareBandPassQuad(fa, fb, fc, fd, j);
            } else if constexpr (std::is_same_v<Filter, TLPFilter>) {
                prepareLowPassQuad(fa, fb, fc, fd, j);
            } else if constexpr (std::is_same_v<Filter, THPFilter>) {
                prepareHighPassQuad(fa, fb, fc, fd, j);
            } else {
                prepare(fa, a_[j], destA_[j]);
                prepare(fb, b_[j], destB_[j]);
                prepare(fc, a_[j + 1], destA_[j + 1]);
                prepare(fd, b_[j + 1], destB_[j + 1]);
            }
            Filter::runNoteQuad(fa, fb, fc, fd, lanes_[j], lanes_[j + 1]);
        }
        if (j < pairs_) {
            Filter& fa = filters[a_[j]];
            Filter& fb = filters[b_[j]];
            prepare(fa, a_[j], destA_[j]);
            prepare(fb, b_[j], destB_[j]);
            Filter::runNotePair(fa, fb, lanes_[j]);
        }
    }

    // One voice through its filters with their process() calls.
    __attribute__((noinline)) void alone(int v, int count) {
        count = std::clamp(count, 0, kLayerNotes);  // the band records below hold that many
        stereoOverStruct* notes = p_.noteOut[layer_][v];
        if (model_ == kSourceWire) {
            stereoOverStruct band[kLayerNotes];
            wireBandPass(p_, layer_, v, wireOn_, count, notes, band);
            wireLowPass(p_, layer_, v, count, band, notes);
        } else if (model_ != kSourceString && model_ != kSourceFM) {
            multimodeFilter(p_, layer_, v, count, notes);
        }
        highPass(p_, layer_, v, count, notes);
    }

    // The multimode filters. A pair whose two filters run the same kernel runs side by
    // side, two such pairs at once when all four voices share it; a pair that cannot runs
    // its voices alone on their records. Where the processor has AVX2, two pairs of one
    // kernel that stand from one sample to the next run held (see HeldMultimode). Returns
    // the pairs whose high-passes ran too (see standingQuads).
    __attribute__((noinline)) int multimodeStage() {
        // each pair's two filters, found once
        TFilter* const filters = p_.voiceFilter[layer_];
        // The quads that stand, from the first, step here: most often all of them, and then
        // nothing else is looked at.
        int j = 0, done = 0;
        if (TAV_WIDE_LANES && lanes::wide()) {
            HeldMultimode& bank = p_.mmQuads[layer_];
            if (bank.standFor == p_.sampleCounter && p_.env.stillNow(1u << ENV_FILTER[layer_]) &&
                standsAsBefore(bank)) {
                const unsigned still[HeldMultimode::kQuads] = {};
                stepQuads(pairs_, pairs_, still);
                bank.standFor = p_.sampleCounter + 1u;
                return pairs_;
            }
            unsigned steps[HeldMultimode::kQuads];
            j = standingQuads(done, steps);
            unsigned stepping = 0;
            for (int q = 0; q < j >> 1; ++q) stepping |= steps[q];
            bank.standFor = p_.sampleCounter +
                            (j == pairs_ && done == pairs_ && stepping == 0 ? 1u : -1u);
            if (j == pairs_) return done;
        }
        // A layer whose filters are all bypassed leaves its notes as they are (each filter's
        // input is its output): found without fetching any voice's arguments. (A held quad
        // runs a mode that filters.)
        static_assert(kFilterBypass == 0, "the test below ors the modes");
        if (j == 0) {
            int first = 0;
            while (first < pairs_ &&
                   (filters[a_[first]].getType() | filters[b_[first]].getType()) == 0)
                ++first;
            if (first == pairs_) return done;
        }
        TFilter* fa[kNumVoices / 2];
        TFilter* fb[kNumVoices / 2];
        bool together[kNumVoices / 2];
        int follow[kNumVoices / 2];  // the pairs whose envelope steps were left to take
        int following = 0;
        // (the layer's records found once, not for each voice)
        stereoOverStruct(*const notes)[kLayerNotes] = p_.noteOut[layer_];
        for (int i = 0; i < j; ++i) together[i] = false;
        if (TAV_WIDE_LANES && lanes::wide())
            j = multimodeQuads(j, fa, fb, together, follow, following);
        for (; j < pairs_; ++j) {
            fa[j] = &filters[a_[j]];
            fb[j] = &filters[b_[j]];
            together[j] = settlePair(j, *fa[j], *fb[j],
                                     prepareMultimode(*fa[j], a_[j], destA_[j], notes),
                                     prepareMultimode(*fb[j], b_[j], destB_[j], notes), follow,
                                     following);
        }
        // two such pairs' steps at a time in one vector
        int k = 0;
        for (; k + 1 < following; k += 2) {
            const int i = follow[k], n = follow[k + 1];
            TFilter::followFourEnvelopes(*fa[i], *fb[i], *fa[n], *fb[n]);
        }
        if (k < following)
            TFilter::followNotePair(*fa[follow[k]], TFilter::kNoteFollow, *fb[follow[k]],
                                    TFilter::kNoteFollow);
        for (j = 0; j < pairs_; ++j) {
            if (!together[j]) continue;
            if (j + 1 < pairs_ && together[j + 1] && TFilter::canRunPair(*fa[j], *fa[j + 1])) {
                TFilter::runNoteQuad(*fa[j], *fb[j], *fa[j + 1], *fb[j + 1], lanes_[j],
                                     lanes_[j + 1]);
                ++j;
            } else {
                TFilter::runNotePair(*fa[j], *fb[j], lanes_[j]);
            }
        }
        return done;
    }

    // HeldMultimode::key(a_[j], b_[j], a_[j + 1], b_[j + 1]): the four voices narrowed to a
    // byte each in one vector.
    int32_t quadKey(int j) const {
        static_assert(kNumVoices <= 256, "a voice to a byte of the key");
#if defined(__SSE2__)
        const __m128i v = _mm_unpacklo_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a_ + j)),
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b_ + j)));
        const __m128i words = _mm_packs_epi32(v, v);  // (voices are 0 to 255: no saturation)
        return _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
#else
        return HeldMultimode::key(a_[j], b_[j], a_[j + 1], b_[j + 1]);
#endif
    }
    // Whether the held quad of pairs j and j + 1 stands (see HeldMultimode::stands): its
    // voices, their arguments and filters as the last sample left them, tested at once (no
    // filter need be found for it); steps: its filters that follow their envelopes.
    // (h: that quad, held.quad[j / 2])
    __attribute__((always_inline)) bool quadStands(const HeldMultimodeQuad& h, int j,
                                                   intptr_t voiceRow, unsigned& steps) const {
        return h.voices == quadKey(j) && quadStandsWith<false>(h, j, voiceRow, steps);
    }
    // HeldMultimode::stands() of held quad h (its voices those of pairs j and j + 1), and
    // WithHighPass its high-passes' too.
    template <bool WithHighPass>
    __attribute__((always_inline)) bool quadStandsWith(const HeldMultimodeQuad& h, int j,
                                                       intptr_t voiceRow,
                                                       unsigned& steps) const {
        // (the high-pass's modulation and resonance follow the multimode filter's in a row)
        static_assert(kHotHPFreq == kHotFilterFreq + 1 && kHotHPQ == kHotFilterFreq + 2 &&
                      kHotFilterFreq + 4 <= kHotLayerStride);
        return HeldMultimode::stands<WithHighPass>(
            h, cutoff_, destA_[j] + filterFreqDest_, destB_[j] + filterFreqDest_,
            destA_[j + 1] + filterFreqDest_, destB_[j + 1] + filterFreqDest_,
            &rowAt(voices_, voiceRow, a_[j])->filterSep,
            &rowAt(voices_, voiceRow, b_[j])->filterSep,
            &rowAt(voices_, voiceRow, a_[j + 1])->filterSep,
            &rowAt(voices_, voiceRow, b_[j + 1])->filterSep, steps, hpFreq_);
    }
    // Whether held quad h stands (pairs j and j + 1, see quadStands), and where it does, its
    // high-passes' prepares (it holds them). Where all four skip, each memo holds the
    // arguments with nothing moving: the quad keeps them with the multimode filters'
    // modulations (which it stands on) for stands<true>(); otherwise it is not settled.
    // (out of line: inlined, what it needs would be kept at hand for the test before it)
    __attribute__((noinline)) bool standsSettling(HeldMultimodeQuad& h, int j,
                                                  unsigned& steps) {
        if (!quadStands(h, j, opaqueStride(voices_), steps)) return false;
        h.hpSettled = !prepareHighPassQuad(*h.hp[0], *h.hp[1], *h.hp[2], *h.hp[3], j);
        if (!h.hpSettled) {
            HeldMultimode::highPassUpdated(h);
            return true;
        }
        const float* const rows[4] = {destA_[j], destB_[j], destA_[j + 1], destB_[j + 1]};
        for (int i = 0; i < 4; ++i)
            h.hpRows[i] = (LaneInts4)_mm_loadu_si128(
                reinterpret_cast<const __m128i*>(rows[i] + filterFreqDest_));
        std::memcpy(&h.hpFreq, &hpFreq_, sizeof h.hpFreq);
        return true;
    }
    // The held quads that stand, from the first on, each one's step taken, and where it
    // holds its voices' high-passes as well (from the first on: done, the pairs) theirs in
    // the same call; returns the pairs done (up to the first quad that does not stand).
    // Every quad is found standing before any steps (a step touches only its own voices),
    // so that two of one mode then step at once (HeldMultimode::stepTwo).
    __attribute__((always_inline)) int standingQuads(int& done,
                                                     unsigned (&steps)[HeldMultimode::kQuads]) {
        HeldMultimodeQuad* h = p_.mmQuads[layer_].quad;
        const intptr_t voiceRow = opaqueStride(voices_);
        int j = 0;
        for (; j + 1 < pairs_; j += 2, ++h) {
            unsigned& s = steps[j >> 1];
            if (done == j && h->hpVoices == h->voices) {
                // a settled quad's high-passes would skip their prepares where it stands
                if (!(h->hpSettled && h->voices == quadKey(j) &&
                      quadStandsWith<true>(*h, j, voiceRow, s)) &&
                    !standsSettling(*h, j, s))
                    break;
                done = j + 2;
            } else {
                if (!quadStands(*h, j, voiceRow, s)) break;
            }
        }
        stepQuads(j, done, steps);
        return j;
    }
    // Where the bank's quads all stood with their high-passes and nothing to step on the
    // sample before (HeldMultimode::standFor), and the voices' pass since was left out with
    // the filter envelope still: whether each quad still holds the voices of its pairs, and
    // the layer's cutoff and high-pass frequency have the bits it stood on. Nothing else
    // that stands() compares can have moved: a pass left out sets no destination, control
    // or envelope level, and a step with nothing to follow leaves every memo as it was.
    bool standsAsBefore(const HeldMultimode& bank) const {
        if ((pairs_ & 1) != 0) return false;
        int32_t cutoff, hpFreq;
        std::memcpy(&cutoff, &cutoff_, sizeof cutoff);
        std::memcpy(&hpFreq, &hpFreq_, sizeof hpFreq);
        for (int j = 0; j < pairs_; j += 2) {
            const HeldMultimodeQuad& h = bank.quad[j >> 1];
            if (h.voices != quadKey(j) || h.hpVoices != h.voices || !h.hpSettled ||
                h.cutoff != cutoff || h.hpFreq != hpFreq)
                return false;
        }
        return true;
    }
    // The steps of the first j pairs' quads (found standing), with their high-passes for the
    // first `done` pairs; steps: each quad's filters that follow their envelopes.
    __attribute__((always_inline)) void stepQuads(int j, int done,
                                                  const unsigned (&steps)[HeldMultimode::kQuads]) {
        HeldMultimodeQuad* const quads = p_.mmQuads[layer_].quad;
        for (int i = 0; i < j;) {
            HeldMultimodeQuad* const q = quads + (i >> 1);
            const unsigned* const s = steps + (i >> 1);
            const bool withHighPass = i < done;
            if (i + 2 < j && (i + 2 < done) == withHighPass && q[0].heldMode == q[1].heldMode) {
                if (withHighPass)
                    HeldMultimode::stepTwo<true>(q, s[0], s[1], lanes_ + i);
                else
                    HeldMultimode::stepTwo<false>(q, s[0], s[1], lanes_ + i);
                i += 4;
            } else {
                if (withHighPass)
                    HeldMultimode::stepWithHighPass(*q, s[0], lanes_[i], lanes_[i + 1]);
                else
                    HeldMultimode::step(*q, s[0], lanes_[i], lanes_[i + 1]);
                i += 2;
            }
        }
    }

    // The high-pass stage of a layer's multimode quads, from pair `from` on (the pairs before
    // ran theirs): two pairs at a time through their quad of the bank, which takes them
    // where it holds other voices or none; a pair left over is the stage's.
    void heldHighPasses(int from) {
        HeldMultimode& held = p_.mmQuads[layer_];
        // Whatever a quad holds that is not its voices now goes back first, as do the quads
        // past those in use: a filter a quad takes is then held by no one.
        unsigned fallen = ~0u << (pairs_ >> 1);
        for (int j = from; j + 1 < pairs_; j += 2)
            fallen |= (unsigned)(held.quad[j >> 1].hpVoices != quadKey(j)) << (j >> 1);
        if (__builtin_expect((fallen & held.highPassHeld) != 0, 0)) held.releaseHighPass(fallen);
        for (int j = from; j + 1 < pairs_; j += 2) {
            HeldMultimodeQuad& h = held.quad[j >> 1];
            if (__builtin_expect(h.hpVoices == -1, 0)) takeHighPass(held, j);
            // (an update moves a memo away from what a settled quad keeps)
            if (__builtin_expect(prepareHighPassQuad(*h.hp[0], *h.hp[1], *h.hp[2], *h.hp[3], j),
                                 0)) {
                h.hpSettled = false;
                HeldMultimode::highPassUpdated(h);
            }
            HeldMultimode::highPass(h, lanes_[j], lanes_[j + 1]);
        }
    }
    __attribute__((noinline, cold)) void takeHighPass(HeldMultimode& held, int j) {
        THPFilter* const hp = p_.voiceHPFilter[layer_];
        THPFilter* const f[4] = {&hp[a_[j]], &hp[b_[j]], &hp[a_[j + 1]], &hp[b_[j + 1]]};
        held.takeHighPass(j >> 1, f, quadKey(j));
    }

    // multimodeStage() of the pairs two at a time from pair j on, each two through their
    // held quad where they can run held (see heldQuad), the others prepared as alone;
    // returns the pairs done. Out of line: inlined, its registers would crowd the other
    // layers' stages.
    __attribute__((noinline)) int multimodeQuads(int j, TFilter** fa, TFilter** fb,
                                                 bool* together, int* follow, int& following) {
        TFilter* const filters = p_.voiceFilter[layer_];
        stereoOverStruct(*const notes)[kLayerNotes] = p_.noteOut[layer_];
        HeldMultimode& held = p_.mmQuads[layer_];
        const intptr_t voiceRow = opaqueStride(voices_);
        for (; j + 1 < pairs_; j += 2) {
            unsigned steps;
            if (quadStands(held.quad[j >> 1], j, voiceRow, steps)) {
                held.step(j >> 1, steps, lanes_[j], lanes_[j + 1]);
                together[j] = together[j + 1] = false;
                continue;
            }
            fa[j] = &filters[a_[j]];
            fb[j] = &filters[b_[j]];
            fa[j + 1] = &filters[a_[j + 1]];
            fb[j + 1] = &filters[b_[j + 1]];
            const TFilter::NoteState sa = prepareMultimode(*fa[j], a_[j], destA_[j], notes);
            const TFilter::NoteState sb = prepareMultimode(*fb[j], b_[j], destB_[j], notes);
            const TFilter::NoteState sc =
                prepareMultimode(*fa[j + 1], a_[j + 1], destA_[j + 1], notes);
            const TFilter::NoteState sd =
                prepareMultimode(*fb[j + 1], b_[j + 1], destB_[j + 1], notes);
            if (heldQuad(j, fa, fb, sa, sb, sc, sd)) {
                together[j] = together[j + 1] = false;
                continue;
            }
            together[j] = settlePair(j, *fa[j], *fb[j], sa, sb, follow, following);
            together[j + 1] =
                settlePair(j + 1, *fa[j + 1], *fb[j + 1], sc, sd, follow, following);
        }
        return j;
    }

    // Pairs j and j + 1 (prepared: states sa to sd) through their quad held from the last
    // sample, or through the quad taken now where all four filters follow their envelopes or
    // have settled and share a kernel it holds; false, with nothing done, where they do not.
    bool heldQuad(int j, TFilter* const* fa, TFilter* const* fb, TFilter::NoteState sa,
                  TFilter::NoteState sb, TFilter::NoteState sc, TFilter::NoteState sd) {
        if (sa == TFilter::kNoteBypass || sb == TFilter::kNoteBypass ||
            sc == TFilter::kNoteBypass || sd == TFilter::kNoteBypass)
            return false;
        static_assert(kNumVoices <= 4 * HeldMultimode::kQuads, "a quad for every four voices");
        HeldMultimode& held = p_.mmQuads[layer_];
        const int q = j >> 1;
        const int32_t voice = quadKey(j);
        if (!held.holds(q, voice)) {
            TFilter* const f[4] = {fa[j], fb[j], fa[j + 1], fb[j + 1]};
            if (!TFilter::canRunPair(*f[0], *f[1]) || !TFilter::canRunPair(*f[2], *f[3]) ||
                !TFilter::canRunPair(*f[0], *f[2]) || !held.take(q, f, voice))
                return false;
        }
        const unsigned steps = (sa == TFilter::kNoteFollow ? 1u : 0u) |
                               (sb == TFilter::kNoteFollow ? 2u : 0u) |
                               (sc == TFilter::kNoteFollow ? 4u : 0u) |
                               (sd == TFilter::kNoteFollow ? 8u : 0u);
        held.step(q, steps, lanes_[j], lanes_[j + 1]);
        return true;
    }

    // The rest of the preparing of the multimode filters a and b of pair j (states sa and
    // sb); true when they can run side by side, else whichever filters have work run alone
    // here. Where both only follow their envelopes and run side by side, their envelope
    // steps are left for later (j joins the follow list), so that two such pairs' steps can
    // share one vector. (Following an envelope leaves the kernel's identity as it is:
    // whether a pair runs side by side is known before.)
    bool settlePair(int j, TFilter& a, TFilter& b, TFilter::NoteState sa,
                    TFilter::NoteState sb, int* follow, int& following) {
        const bool runA = sa != TFilter::kNoteBypass;
        const bool runB = sb != TFilter::kNoteBypass;
        const bool together = runA && runB && TFilter::canRunPair(a, b);
        // kNoteFollow is the one state with its bit: the and keeps it only when both follow
        static_assert((TFilter::kNoteFollow & (TFilter::kNoteReady | TFilter::kNoteBypass)) == 0);
        if (together && (sa & sb) == TFilter::kNoteFollow) {
            follow[following++] = j;
            return true;
        }
        TFilter::followNotePair(a, sa, b, sb);
        if (together) return true;
        if (runA || runB) {
            filtermath::storeNotePair(lanes_[j], noteA(j), noteB(j));
            if (runA) a.runNote(&noteA(j), &noteA(j));
            if (runB) b.runNote(&noteB(j), &noteB(j));
            filtermath::loadNotePair(noteA(j), noteB(j), lanes_[j]);
        }
        return false;
    }

    TFilter::NoteState prepareMultimode(TFilter& f, int v, const float* dest,
                                        stereoOverStruct (*notes)[kLayerNotes]) {
        // A bypassed filter leaves its note as it is (its input is its output): decided
        // before any argument is fetched.
        if (f.getType() == kFilterBypass) return TFilter::kNoteBypass;
        const float mod = dest[filterFreqDest_];
        const TLayerVoice& c = voices_[v];
        // (the record's place is wanted only where the arguments moved)
        stereoOverStruct* const note = &notes[v][0];
        // (separation, resonance and vowel in a row, read as one vector with the word after)
        static_assert(offsetof(TLayerVoice, filterQ) == offsetof(TLayerVoice, filterSep) + 4 &&
                      offsetof(TLayerVoice, vowel) == offsetof(TLayerVoice, filterSep) + 8 &&
                      offsetof(TLayerVoice, vowel) + 8 <= sizeof(TLayerVoice));
        return f.prepareNoteLater({cutoff_, cutoff_}, {mod, mod}, &c.filterSep, note, note);
    }
    // The prepares take the voice's filter from the stage, which keeps it at hand for the
    // run that follows.
    void prepareBandPass(TBPFilter& f, int v, const float* dest) {
        const TLayerVoice& c = voices_[v];
        f.prepareNote({kWireBaseCutoff, kWireBaseCutoff}, dest[wireFreqDest_],
                      c.wireSep, c.wireQ);
    }
    // prepareBandPass() of pairs j and j + 1 in one call; which coefficients may have
    // changed (see TBPFilter::prepareNoteQuad, and for held and s its quads).
    int prepareBandPassQuad(TBPFilter& fa, TBPFilter& fb, TBPFilter& fc, TBPFilter& fd, int j) {
        const TLayerVoice* c[4];
        quadControls(j, c);
        const float* const dest[4] = {destA_[j], destB_[j], destA_[j + 1], destB_[j + 1]};
        return prepareBandPassQuad(fa, fb, fc, fd, dest, c);
    }
    // (dest and c: the destination rows and controls of the quad's voices, see quadControls)
    int prepareBandPassQuad(TBPFilter& fa, TBPFilter& fb, TBPFilter& fc, TBPFilter& fd,
                            const float* const (&dest)[4], const TLayerVoice* const (&c)[4],
                            WireQuads* held = nullptr, int s = 0) {
        // (each voice's separation and resonance side by side, taken as one pair)
        static_assert(offsetof(TLayerVoice, wireQ) == offsetof(TLayerVoice, wireSep) + 4);
        float mod[4];
        const float* sepRes[4];
        for (int i = 0; i < 4; ++i) {
            mod[i] = dest[i][wireFreqDest_];
            sepRes[i] = &c[i]->wireSep;
        }
        return TBPFilter::prepareNoteQuad(fa, fb, fc, fd, {kWireBaseCutoff, kWireBaseCutoff}, mod,
                                          sepRes, held, s);
    }
    // The controls of the voices of pairs j and j + 1, in the order of the prepares' filters
    // (a_[j], b_[j], a_[j + 1], b_[j + 1]): found once for a Wire quad's two prepares.
    void quadControls(int j, const TLayerVoice* (&c)[4]) const {
        const intptr_t row = opaqueStride(voices_);
        const int v[4] = {a_[j], b_[j], a_[j + 1], b_[j + 1]};
        for (int i = 0; i < 4; ++i) c[i] = rowAt(voices_, row, v[i]);
    }
    void prepareLowPass(TLPFilter& f, int v, const float* dest) {
        f.prepareNote(cutoff_, dest[filterFreqDest_], voices_[v].filterQ);
    }
    // prepareLowPass() of pairs j and j + 1 in one call (for held and s see
    // TLPFilter::prepareNoteQuad).
    bool prepareLowPassQuad(TLPFilter& fa, TLPFilter& fb, TLPFilter& fc, TLPFilter& fd, int j) {
        const TLayerVoice* c[4];
        quadControls(j, c);
        const float* const dest[4] = {destA_[j], destB_[j], destA_[j + 1], destB_[j + 1]};
        return prepareLowPassQuad(fa, fb, fc, fd, dest, c);
    }
    bool prepareLowPassQuad(TLPFilter& fa, TLPFilter& fb, TLPFilter& fc, TLPFilter& fd,
                            const float* const (&dest)[4], const TLayerVoice* const (&c)[4],
                            WireQuads* held = nullptr, int s = 0) {
        const float mod[4] = {dest[0][filterFreqDest_], dest[1][filterFreqDest_],
                              dest[2][filterFreqDest_], dest[3][filterFreqDest_]};
        const float q[4] = {c[0]->filterQ, c[1]->filterQ, c[2]->filterQ, c[3]->filterQ};
        return TLPFilter::prepareNoteQuad(fa, fb, fc, fd, cutoff_, mod, q, held, s);
    }
    void prepareHighPass(THPFilter& f, const float* dest) {
        f.prepareNote(hpFreq_, dest[hpFreqDest_], dest[hpQDest_]);
    }
    // prepareHighPass() of pairs j and j + 1 in one call: the four memos tested at once, and
    // only where one would not skip the four prepares (out of line, so that the test keeps
    // nothing at hand for them).
    bool prepareHighPassQuad(THPFilter& fa, THPFilter& fb, THPFilter& fc, THPFilter& fd, int j) {
        const float* const dest[4] = {destA_[j], destB_[j], destA_[j + 1], destB_[j + 1]};
        return prepareHighPassQuad(fa, fb, fc, fd, dest);
    }
    // (dest: the destination rows of the quad's voices)
    bool prepareHighPassQuad(THPFilter& fa, THPFilter& fb, THPFilter& fc, THPFilter& fd,
                             const float* const (&dest)[4]) {
        // (each filter's mod and resonance copies are neighbours, as quadHeld() takes them)
        static_assert(kHotHPQ == kHotHPFreq + 1, "the HP Q's copy after the HP frequency's");
        const int fq = hpFreqDest_;
        if (__builtin_expect(THPFilter::quadHeld(fa, fb, fc, fd, hpFreq_, dest[0] + fq,
                                                 dest[1] + fq, dest[2] + fq, dest[3] + fq),
                             1))
            return false;
        prepareHighPassApart(fa, fb, fc, fd, dest);
        return true;
    }
    __attribute__((noinline)) void prepareHighPassApart(THPFilter& fa, THPFilter& fb,
                                                        THPFilter& fc, THPFilter& fd,
                                                        const float* const (&dest)[4]) {
        prepareHighPass(fa, dest[0]);
        prepareHighPass(fb, dest[1]);
        prepareHighPass(fc, dest[2]);
        prepareHighPass(fd, dest[3]);
    }

    APlugin& p_;
    const int layer_;
    const SourceMode model_;
    const bool wireOn_;
    const float cutoff_;  // the layer's filter frequency (multimode filter, Wire low-pass)
    const float hpFreq_;
    const TLayerVoice* const voices_;  // the layer's controls of every voice
    // the slots of the layer's destinations of the filter arguments (their copies)
    const int wireFreqDest_, filterFreqDest_, hpFreqDest_, hpQDest_;
    // the pairs of one-note voices and their notes' lanes; the first straight_ of them the
    // list's voices 2j and 2j + 1
    int pairs_ = 0;
    int straight_ = 0;
    // whether the destination rows of those straight pairs are still to find (keepDests)
    bool destsDue_ = false;
    // whether every listed voice ran in a held octet (monoVoices), and the octets' filtered
    // sub-samples (see THPFilter::runNoteOctetHeld)
    bool monoHeld_ = false;
    alignas(32) float monoY_[HighPassOctets::kOctets][16];
    int a_[kNumVoices / 2], b_[kNumVoices / 2];
    // and their destinations
    const float* destA_[kNumVoices / 2];
    const float* destB_[kNumVoices / 2];
    Lanes4 lanes_[kNumVoices / 2][2];
};

}  // namespace

// One layer's filters and tails over the voices its model rendered (listed of them, with
// their note counts), in list order; single: every count is one (known to the caller, which
// clamped them, for all its layers at once). The list has room for kNumVoices (the tails
// read it eight at a time).
void APlugin::finishLayer(int layer, SourceMode model, int listed, const int* list,
                          const int* counts, bool single) {
    LayerFinisher(*this, layer, model).run(listed, list, counts, single);
}
