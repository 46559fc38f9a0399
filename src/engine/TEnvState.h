// Envelope working state of every voice: 25 envelopes (the Amp envelope, then eight per
// layer: filter, pitch, volume, wire, FM 1 pitch, FM 1 volume, FM 2 pitch, FM 2 volume)
// times 16 voices times up to 8 stacked sub-elements (chord notes and unison copies).
//
// Envelopes are computed once per 16 samples of the voice; between two updates the running
// level moves linearly toward the new target by one increment per sample.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr int kNumEnvs = 25;
constexpr int kEnvSubs = 8;
constexpr int kEnvVoices = 16;
constexpr int kEnvLayers = 3;

// Stages of one envelope; Release at phase 0 is also "ended".
enum EnvStage : int32_t {
    kEnvAttack = 0,
    kEnvDecay = 1,
    kEnvSustain = 2,
    kEnvRelease = 3,
};

// Envelope numbers of each layer's eight envelopes.
constexpr int ENV_FILTER[3] = {1, 9, 17};
constexpr int ENV_PITCH[3] = {2, 10, 18};
constexpr int ENV_VOL[3] = {3, 11, 19};
constexpr int ENV_WIRE[3] = {4, 12, 20};
constexpr int ENV_FM_1_PITCH[3] = {5, 13, 21};
constexpr int ENV_FM_1_VOL[3] = {6, 14, 22};
constexpr int ENV_FM_2_PITCH[3] = {7, 15, 23};
constexpr int ENV_FM_2_VOL[3] = {8, 16, 24};

// The modulation source slot of each envelope's level; its inverse is the next slot.
constexpr int ENV_SOURCE_SLOT[kNumEnvs] = {96, 42, 44, 46, 48, 50, 52, 54, 56, 60, 62, 64, 66,
                                           68, 70, 72, 74, 78, 80, 82, 84, 86, 88, 90, 92};

// The place of each envelope's running level in a sub-element's row of them. What a voice
// reads every sample sits in the row's first cache line: the filter, pitch, volume and wire
// envelopes of layer 1, the Amp envelope, then those of layer 3, whose wire envelope opens
// the next line with layer 2's four; the operator envelopes follow. (The pairs that publish
// together, 2k - 1 and 2k, stay neighbours.)
constexpr int ENV_RUN_PLACE[kNumEnvs] = {4,  0,  1,  2,  3,  13, 14, 15, 16, 9,  10, 11, 12,
                                         17, 18, 19, 20, 5,  6,  7,  8,  21, 22, 23, 24};
constexpr int kAmpRunPlace = 4;

struct TEnvState {
    // One envelope of one sub-element of a voice, its fields side by side: an update
    // reads and writes them together.
    struct Sub {
        double target;        // level at the end of the block
        double step;          // per-sample increment
        double phase;         // position within the stage, 0..1
        double releasePhase;  // where a release would start
        double releaseLevel;
        int32_t stage;  // EnvStage
        int32_t unused;
    };
    // The last stage time t and 2^(14 t), and the last curve argument c and 2^c, so
    // that settings standing still cost no exp2 (a power of 0 marks an empty entry).
    struct Memo {
        double timeIn, timePow;
        double curveIn, curvePow;
    };
    // The last power a curve of one envelope took, x^y, shared by every voice: notes struck
    // together move through their stages in step, and all but the first find it here.
    // (x is above 0 in every power taken: the zeros never match.) Kept by the plug-in
    // object (envShapePow).
    struct PowMemo {
        double x, y, value;
    };
    // One envelope of a voice: the sustain level and curve argument a decay standing
    // still was left with (see settledOnInputs), then its sub-elements; an update of a
    // voice with one sub-element touches the slot's first cache line alone, unless it
    // needs the time factor. The tail holds what is read less often.
    struct alignas(64) Slot {
        double heldSustain, heldCurve;
        Sub sub[kEnvSubs];
        // The time factor set at note start (1.0 but for the layer volume envelopes,
        // which follow key and velocity); needed only for a stage step.
        double rate;
        // Voice 0's slot of each envelope: the memo of the envelope's settings, shared by
        // every voice (they mostly have the same settings, and a tick of some voice
        // keeps the line close at hand). Unused in the other voices' slots.
        Memo memo;
    };
    static_assert(2 * sizeof(double) + sizeof(Sub) <= 64 && sizeof(Slot) == 7 * 64,
                  "a slot's first sub-element shares its first cache line");
    // The working values. The running levels sit apart, indexed [voice][sub-element]
    // [place of the envelope, ENV_RUN_PLACE]: the audio path reads them every sample. Read
    // one with envLevel().
    struct Work {
        double run[kEnvVoices][kEnvSubs][kNumEnvs];  // running level, read per sample
        Slot slot[kEnvVoices][kNumEnvs];
    } work;

    // The envelopes updated and advanced: Amp first, then each layer's in use, in order.
    int32_t list[kNumEnvs];
    int32_t listCount;
    uint32_t listMask;  // bit n: envelope n is listed
    // The same list for the per-sample work (kept by setList): the listed envelopes as
    // publishing groups of one or two neighbours whose source slots follow each other.
    // (Not char-sized: the float stores of publishing could otherwise alias these fields and
    // make the compiler reload them after every store.)
    struct PublishGroup {
        int32_t env;    // the place of the group's first envelope's running level
        int32_t slot;   // its source slot; level and 1 - level go to slot and slot + 1
        int32_t count;  // 1 or 2 (then the next envelope's level goes to slot + 2 and + 3)
    };
    PublishGroup publish[kNumEnvs];
    int32_t publishCount;

    // Per voice, what its update every 16 samples keeps besides the envelopes, in one cache
    // line: a tick of the voice reads and writes it, and a publish reads its lists.
    struct alignas(64) VoiceBook {
        // Bit n: envelope n stands at a fixed point of a held update in each of the voice's
        // settledSubs sub-elements (in its sustain with the level it entered it at, or
        // ended while the key is held again), so such an update would rewrite exactly what
        // it holds and is left out. Anything else that writes a voice's envelopes clears its
        // bits. A bit also set in settledOnInputs marks a decay standing still: it stays at
        // its fixed point only while its step is zero and its sustain level and curve
        // argument are the heldSustain and heldCurve of its slot.
        uint32_t settled;
        uint32_t settledOnInputs;
        int32_t settledSubs;
        // The listed envelopes with a step other than zero in some sub-element, the only
        // ones whose running levels move between two updates (a held note in its sustain
        // has none; most notes have one or two). Kept by setEnvs; a stale mark in moves[v]
        // (or another sub-element count) asks the next advance to rebuild it from the steps.
        uint8_t movingCount;
        // The envelopes the last update computed (the others kept their levels).
        uint8_t updatedCount;
        uint8_t movingList[kNumEnvs];
        uint8_t updatedList[kNumEnvs];
    };
    static_assert(sizeof(VoiceBook) == 64, "a voice's book is one cache line");
    VoiceBook book[kEnvVoices];
    // The envelopes (bit n: envelope n) that moved in some listed voice (its movingList)
    // when the voice pass last marked the samples after it as needing no pass (see
    // APlugin::voicesStandFrom). movingNow: the same on such a sample, every envelope on any
    // other. On such a sample, the level of each envelope outside movingNow, and everything
    // else a voice's pass would set, is what it was on the sample before.
    uint32_t movingMarked = 0;
    uint32_t movingNow = ~0u;
    // Whether none of the envelopes of `mask` moves on this sample (see movingNow).
    bool stillNow(uint32_t mask) const { return (movingNow & mask) == 0; }
    // Whether this sample's voice pass was left out, whatever moves (no envelope has bit 31).
    bool passLeftOut() const { return movingNow != ~0u; }
    // Per voice, built with the moving list: what one sample's advance adds, as the step
    // of each moving envelope's sub-element with a step other than zero and the place of
    // its running level in the voice's rows of work.run (sub-element * kNumEnvs + place,
    // below 200). The steps are copies, so whatever writes a step without
    // rebuilding the list sets builtFor to kMovesStale. Those of sub-element 0's first
    // kLinePlaces places (where the Amp envelope and most moving ones run) sit in `line`,
    // -0.0 in the others, and are added to all of those places as three pairs: a sum with
    // -0.0 is its other term, bit for bit, whatever it is. The entries hold the rest. A
    // voice's advance reads the line, its header and its first entry from one cache line.
    // A voice of one sub-element with many entries (a note whose envelopes all still move)
    // has them spread over a wide line instead, one step per place past the line, -0.0 in
    // the places that stand, and no entries: that part of its row is then added pair by
    // pair, with no place to look up. builtFor carries kWideMark then, so that the check
    // every advance makes already sends it aside.
    static constexpr int kLinePlaces = 6;
    static constexpr int kLineEntries = 3;  // entries whose places sit in the header
    static constexpr int kWidePlaces = kNumEnvs - kLinePlaces;
    // Entries from which the wide line is cheaper: an entry is a place to load besides its
    // add, the wide line a fixed ten adds.
    static constexpr int kWideFrom = 6;
    static constexpr int32_t kWideMark = 0x40000000;
    static constexpr int kWideAt = 1;  // where the wide line sits in step (on a 16-byte boundary)
    struct alignas(64) VoiceMoves {
        alignas(16) double line[kLinePlaces];
        int32_t builtFor;  // the voice's sub-element count (unclamped) they were built for
        uint8_t count;     // entries
        uint8_t at[kLineEntries];  // the places of the first entries
        double step[kEnvSubs * kNumEnvs];
        uint8_t atMore[kEnvSubs * kNumEnvs - kLineEntries];  // those of the others
        void set(int k, double s, int place) {
            step[k] = s;
            if (k < kLineEntries)
                at[k] = (uint8_t)place;
            else
                atMore[k - kLineEntries] = (uint8_t)place;
        }
        // The first `entries` entries as written by the updates, those of the line moved
        // into it.
        void split(int entries) {
            for (double& s : line) s = -0.0;
            int kept = 0;
            for (int k = 0; k < entries; ++k) {
                const int place = k < kLineEntries ? at[k] : atMore[k - kLineEntries];
                if (place < kLinePlaces)
                    line[place] = step[k];
                else
                    set(kept++, step[k], place);
            }
            count = (uint8_t)kept;
        }
        // The first `entries` entries, all of sub-element 0 past the line, as a wide line if
        // there are enough of them; returns the mark for builtFor.
        int32_t widen(int entries) {
            if (__builtin_expect(entries < kWideFrom, 1)) return 0;
            return spread(entries);
        }
        // widen's work (rare: out of line).
        __attribute__((noinline)) int32_t spread(int entries) {
            double steps[kWidePlaces];
            uint8_t places[kWidePlaces];
            for (int k = 0; k < entries; ++k) {
                steps[k] = step[k];
                places[k] = k < kLineEntries ? at[k] : atMore[k - kLineEntries];
            }
            double* wide = step + kWideAt;
            for (int i = 0; i < kWidePlaces; ++i) wide[i] = -0.0;
            for (int k = 0; k < entries; ++k) wide[places[k] - kLinePlaces] = steps[k];
            count = 0;
            return kWideMark;
        }
    };
    static_assert(offsetof(VoiceMoves, step) + sizeof(double) <= 64,
                  "the line, the header and the first step share a cache line");
    static_assert(kEnvSubs * kNumEnvs <= 256, "a place fits a byte");
    static_assert(kWidePlaces <= kEnvSubs * kNumEnvs - kWideAt, "the wide line fits the steps");
    static_assert((offsetof(VoiceMoves, step) + kWideAt * sizeof(double)) % 16 == 0 &&
                      kLinePlaces % 2 == 0 && kWidePlaces % 2 == 1,
                  "the wide line is added in pairs and a last single place");
    // Where an update writes its advance entries: a step of one of the line's places into
    // the line (set to -0.0 before the update), any other as entry `first` + k of a voice's;
    // returns the entries it took (the line lives in the advance's cache line, the entries
    // past the first few do not).
    struct MoveSlots {
        VoiceMoves* m;
        int first;
        int put(int k, double s, int place) const {
            if (place < kLinePlaces) {
                m->line[place] = s;
                return 0;
            }
            m->set(first + k, s, place);
            return 1;
        }
    };
    VoiceMoves moves[kEnvVoices];
    static constexpr int32_t kMovesStale = INT32_MIN;  // no sub-element count, marked or not
    // Publishing: the voice's source row holds the levels of sub-element publishedSub as
    // they were at its last publish, and since then only the moving envelopes changed,
    // unless publishAll is set (an update, a note start or a new list rewrote the levels).
    // globalFrom is the voice whose levels the global row holds that way, -1 for none.
    // Per voice: the envelopes the last update computed are to be published at the next
    // publish (publishUpdated, see updatedList). What a sample reads and writes of these
    // sits in one cache line.
    alignas(64) uint8_t publishAll[kEnvVoices];
    uint8_t publishUpdated[kEnvVoices];
    int32_t globalFrom;
    int32_t publishedSub[kEnvVoices];

    // Per envelope: its attack destination is the target of some modulation slot, so it
    // runs an attack from 0 at note start instead of starting at full level.
    uint8_t attackModded[kNumEnvs];
    // The Amp attack destination is the target of some modulation slot.
    uint8_t ampAttackModded;
    // Per layer: the source of the (not bypassed) slot that targets the layer's
    // retrigger destination, -1 when none does.
    int32_t retrigSource[kEnvLayers];
    // Per layer and voice: the retrigger source's value at the previous update.
    float retrigPrev[kEnvLayers][kEnvVoices];
    // Per voice: a step of the arpeggiator started (source 112 as retrigger); cleared
    // when seen.
    uint8_t arpGateMark[kEnvVoices];

    // A sample whose envelope sources nothing reads: the voice's rows are left as they
    // are, and its next publish writes them whole.
    void skipSources(int v) {
        publishAll[v] = 1;
        publishUpdated[v] = 0;
        if (globalFrom == v) globalFrom = -1;
    }
    // skipSources for every voice.
    void skipAllSources() {
        std::memset(publishAll, 1, sizeof(publishAll));
        std::memset(publishUpdated, 0, sizeof(publishUpdated));
        globalFrom = -1;
    }
    // Every moving envelope's running level of voice v takes one step in each
    // sub-element (subs: the voice's sub-element count). The listed envelopes left out
    // have a zero step everywhere, and adding it would leave their levels exactly as they
    // are (a running level is never -0.0).
    void advance(int v, int subs) { advanceRows(v, subs, moves[v], work.run[v][0]); }
    // advance with the voice's rows found by the caller: its moves m and its running levels'
    // first row.
    void advanceRows(int v, int subs, const VoiceMoves& m, double* level) {
        // (The row's address in one register: each entry then costs a load, an add and a
        // store.)
        asm("" : "+r"(level));
        if (__builtin_expect(m.builtFor != subs, 0)) {
            // (Read again from memory here, so that the check above stays one compare.)
            asm("" ::: "memory");
            if (m.builtFor != (subs ^ kWideMark)) rebuildMoves(v, subs);
            if (m.builtFor == (subs ^ kWideMark)) addWide(m, level);
        }
        static_assert(kLinePlaces % 2 == 0, "the line is added in pairs");
        for (int i = 0; i < kLinePlaces; i += 2)
            _mm_store_pd(level + i, _mm_add_pd(_mm_load_pd(level + i), _mm_load_pd(m.line + i)));
        const int count = m.count;  // none for a held note in its sustain
        const int head = count < kLineEntries ? count : kLineEntries;
        // One entry a turn: a voice has few, most often none.
        int k = 0;
        for (; k < head; ++k) level[m.at[k]] += m.step[k];
        for (; k < count; ++k) level[m.atMore[k - kLineEntries]] += m.step[k];
    }
    // The moving list and advance entries of voice v anew from the steps of every listed
    // envelope.
    void rebuildMoves(int v, int subs);
    // The wide line of moves m added to the running levels of sub-element 0 from `level`.
    static void addWide(const VoiceMoves& m, double* level) {
        const double* wide = m.step + kWideAt;
        double* row = level + kLinePlaces;
        for (int i = 0; i + 1 < kWidePlaces; i += 2)
            _mm_store_pd(row + i, _mm_add_pd(_mm_load_pd(row + i), _mm_load_pd(wide + i)));
        row[kWidePlaces - 1] += wide[kWidePlaces - 1];
    }
    // Every envelope of every voice at rest and silent (stage Attack, levels 0).
    void silenceAll();
    // Every voice's levels to be published whole at its next publish.
    void republishAll();
    // Sets list and listCount (and what is kept with them) to `count` envelopes.
    void setList(const int32_t* envs, int count);
    // Everything, the per-voice time factors included, to its start-up state.
    void clearAll();
    // The running level of one envelope of a voice's sub-element.
    double envLevel(int envNum, int voice, int sub) const {
        return work.run[voice][sub][ENV_RUN_PLACE[envNum]];
    }
    int32_t envStage(int envNum, int voice, int sub) const {
        return work.slot[voice][envNum].sub[sub].stage;
    }
    double envTarget(int envNum, int voice, int sub) const {
        return work.slot[voice][envNum].sub[sub].target;
    }
    double envPhase(int envNum, int voice, int sub) const {
        return work.slot[voice][envNum].sub[sub].phase;
    }
    double envStep(int envNum, int voice, int sub) const {
        return work.slot[voice][envNum].sub[sub].step;
    }
};
