// Note start: an allocated voice gets its note. Pitch and glide always; on a (re)trigger
// also its modulation defaults, velocity split, the chord and strum layout of its stacked
// notes, the layer models' start state, the envelopes, LFOs and the note-level sources.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// One position of a chord-mode cycle: the chord (0..3) and whether it strums in reverse.
struct ChordStep {
    int8_t chord;
    int8_t reverse;
};

struct ChordCycle {
    int length;
    ChordStep steps[16];
};

constexpr ChordStep F(int chord) { return ChordStep{(int8_t)(chord - 1), 0}; }
constexpr ChordStep R(int chord) { return ChordStep{(int8_t)(chord - 1), 1}; }

// Per chord mode, the chords played in turn; an "ALT" mode plays its cycle forward and
// then strummed in reverse.
const ChordCycle kChordCycles[] = {
    {1, {F(1)}},
    {1, {F(2)}},
    {1, {F(3)}},
    {1, {F(4)}},
    {2, {F(1), R(1)}},
    {2, {F(1), F(2)}},
    {4, {F(1), F(2), R(1), R(2)}},
    {3, {F(1), F(2), F(1)}},
    {6, {F(1), F(2), F(1), R(1), R(2), R(1)}},
    {4, {F(1), F(2), R(2), R(1)}},
    {8, {F(1), F(2), F(2), F(1), R(1), R(2), R(2), R(1)}},
    {3, {F(1), F(2), F(3)}},
    {6, {F(1), F(2), F(3), R(1), R(2), R(3)}},
    {5, {F(1), F(2), F(3), F(2), F(1)}},
    {10, {F(1), F(2), F(3), F(2), F(1), R(1), R(2), R(3), R(2), R(1)}},
    {6, {F(1), F(2), F(3), F(3), F(2), F(1)}},
    {12, {F(1), F(2), F(3), F(3), F(2), F(1), R(1), R(2), R(3), R(3), R(2), R(1)}},
    {4, {F(1), F(2), F(3), F(4)}},
    {8, {F(1), F(2), F(3), F(4), R(1), R(2), R(3), R(4)}},
    {7, {F(1), F(2), F(3), F(4), F(3), F(2), F(1)}},
    {14, {F(1), F(2), F(3), F(4), F(3), F(2), F(1), R(1), R(2), R(3), R(4), R(3), R(2), R(1)}},
    {8, {F(1), F(2), F(3), F(4), F(4), F(3), F(2), F(1)}},
    {16, {F(1), F(2), F(3), F(4), F(4), F(3), F(2), F(1), R(1), R(2), R(3), R(4), R(4), R(3), R(2), R(1)}},
};
constexpr int kChordModes = (int)(sizeof(kChordCycles) / sizeof(kChordCycles[0]));

const ChordCycle& cycleOf(int mode) {
    return kChordCycles[mode < 0 ? 0 : (mode >= kChordModes ? kChordModes - 1 : mode)];
}

// Tempo-synced strum lengths in whole notes, in the order of the length menu.
constexpr double kChordLen[19] = {
    0.0,        1.0 / 48.0, 1.0 / 32.0, 3.0 / 64.0, 1.0 / 24.0, 1.0 / 16.0, 3.0 / 32.0,
    1.0 / 12.0, 1.0 / 8.0,  3.0 / 16.0, 1.0 / 6.0,  1.0 / 4.0,  3.0 / 8.0,  1.0 / 3.0,
    1.0 / 2.0,  3.0 / 4.0,  2.0 / 3.0,  1.0,        1.5,
};

// The arpeggiator's chord presets: note count and semitone offsets.
struct ChordPreset {
    int notes;
    int8_t offsets[4];
};
constexpr ChordPreset kChordPresets[20] = {
    {2, {0, 12}},       {3, {0, 12, 24}},    {4, {0, 12, 24, 36}}, {3, {0, 4, 7}},
    {2, {0, 7}},        {3, {0, 5, 7}},      {3, {0, 2, 7}},       {4, {0, 4, 7, 14}},
    {4, {0, 4, 7, 9}},  {4, {0, 4, 7, 11}},  {3, {0, 3, 7}},       {4, {0, 3, 7, 14}},
    {4, {0, 3, 7, 9}},  {4, {0, 3, 7, 8}},   {4, {0, 3, 7, 10}},   {4, {0, 3, 6, 10}},
    {4, {0, 4, 7, 10}}, {4, {0, 5, 7, 10}},  {3, {0, 3, 6}},       {4, {0, 3, 6, 9}},
};

constexpr float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

// Asks for the cache lines of bytes about to be written, all at once. On x86 an asm
// statement: the link-time pass drops the prefetches of __builtin_prefetch here.
inline void prefetchForWrite(const void* from, size_t bytes) {
    const uintptr_t first = reinterpret_cast<uintptr_t>(from) & ~(uintptr_t)63;
    const uintptr_t end = reinterpret_cast<uintptr_t>(from) + bytes;
    for (uintptr_t at = first; at < end; at += 64) {
        const char* p = reinterpret_cast<const char*>(at);
#if defined(__x86_64__) || defined(__i386__)
        asm volatile("prefetcht0 %0" : : "m"(*p));
#else
        __builtin_prefetch(p, 1, 3);
#endif
    }
}
template <typename T>
inline void prefetchForWrite(const T& object) {
    prefetchForWrite(&object, sizeof(T));
}

}  // namespace

// A (re)triggered note writes some 13 KB of the voice's state: its filters, note records,
// envelopes and modulation rows, most of which the sounding notes leave untouched, so it
// has left the caches since the voice's last start. Written in order, every line would be
// fetched in turn; asked for together, they arrive together. That holds for the filters
// that need no reset (see voiceFiltersClean) as well: their setters still touch a line or
// two, spread over as many small pages as there are filters, and a burst of note starts
// would otherwise wait on each of them in turn.
void APlugin::prefetchVoiceStart(int voice) {
    prefetchForWrite(modDestVoice[voice]);
    for (int layer = 0; layer < kNumLayers; ++layer) {
        const unsigned dirty = ~voiceFiltersClean[layer][voice];
        const TFilter& multimode = voiceFilter[layer][voice];
        if (dirty & kUsesMultimode) {
            TFilter::Bytes filter[3];
            multimode.startBytes(filter);
            for (const TFilter::Bytes& b : filter) prefetchForWrite(b.from, b.size);
        } else {
            prefetchForWrite(&multimode, multimode.setterBytes());
        }
        const TBPFilter& bandPass = voiceBPFilter[layer][voice];
        prefetchForWrite(&bandPass,
                         dirty & kUsesBandPass ? bandPass.startBytes() : bandPass.setterBytes());
        if (dirty & kUsesHighPass)
            prefetchForWrite(&voiceHPFilter[layer][voice], voiceHPFilter[layer][voice].startBytes());
        const TLPFilter& lowPass = voiceLPFilter[layer][voice];
        prefetchForWrite(&lowPass,
                         dirty & kUsesLowPass ? lowPass.startBytes() : lowPass.setterBytes());
    }
}

// The note records and envelope state a start writes: those of the voice's sub-elements
// (known once the chord is laid out).
void APlugin::prefetchElementStart(int voice) {
    const int subs = std::clamp(voiceLevelCount[voice], 0, kEnvSubs);
    if (subs == 0) return;
    const size_t notes = (size_t)std::min(subs, kLayerNotes);
    for (int layer = 0; layer < kNumLayers; ++layer)
        prefetchForWrite(layerNote[layer][voice], notes * sizeof(TLayerNote));
    prefetchForWrite(env.work.run[voice], (size_t)subs * sizeof(env.work.run[voice][0]));
    for (const TEnvState::Slot& slot : env.work.slot[voice])
        prefetchForWrite(&slot.sub[0], (size_t)subs * sizeof(slot.sub[0]));
    for (const int n : ENV_VOL) prefetchForWrite(env.work.slot[voice][n].rate);
}

// The chord table, rebuilt by the control block: per chord and note its pitch ratio, its
// semitone offset and its left/right gains. It follows from its parameters alone, so while
// every one of them keeps its bits the table stands as it was built.
void APlugin::updateChordTable() {
    constexpr int kWords = 4 * kNumChords * kMaxChordNotes;
    static_assert(sizeof(chordTableKey) == (kWords + 1) * sizeof(uint32_t), "a word per parameter and a flag");
    const int32_t* const tags[4] = {CHORD_SEMI_TAGS, CHORD_FINE_TAGS, CHORD_VEL_TAGS, CHORD_PAN_TAGS};
    // The key holds each chord's four rows of parameters in turn, each value read once, as
    // one access; its last word is 1 once the table is built.
    uint32_t diff = chordTableKey[kWords] ^ 1u;
    uint32_t* k = chordTableKey;
    for (int c = 0; c < kNumChords; ++c)
        for (int row = 0; row < 4; ++row, k += kMaxChordNotes) {
            const SharedWord* const src = reinterpret_cast<const SharedWord*>(&paramValue[tags[row][c]]);
#pragma GCC unroll 8
            for (int n = 0; n < kMaxChordNotes; ++n) {
                const uint32_t w = __atomic_load_n(src + n, __ATOMIC_RELAXED);
                diff |= w ^ k[n];
                k[n] = w;
            }
        }
    chordTableKey[kWords] = 1;
    if (diff == 0) return;
    const auto value = [this](int c, int row, int n) {
        float v;
        std::memcpy(&v, &chordTableKey[(c * 4 + row) * kMaxChordNotes + n], sizeof(v));
        return v;
    };
    for (int c = 0; c < kNumChords; ++c) {
        for (int n = 0; n < kMaxChordNotes; ++n) {
            const float semiValue = value(c, 0, n);
            const float semi = n == 0 ? 0.0f : (float)((int)(semiValue * 96.99f) - 48) / 12.0f;
            const float fine = value(c, 1, n);
            chordRatio[c][n] = std::exp2((2.0f * fine - 1.0f) / 12.0f + semi);
            chordSemi[c][n] = semi * 12.0f;
            const float volume = value(c, 2, n);
            const float pan = value(c, 3, n);
            chordGain[c][n][0] = volume * (2.0f - 2.0f * pan);
            chordGain[c][n][1] = volume * 2.0f * pan;
        }
    }
}

void APlugin::setNotePressed(int voice, int note, int velocity, float semitoneOffset, int arpChord,
                             bool retrigger, bool fromArp, bool glide) {
    if (!isValidVoice(voice)) return;
    if (retrigger) prefetchVoiceStart(voice);
    note &= 0x7F;
    if (velocity < 0) velocity = 0;
    if (velocity > 127) velocity = 127;

    // Pitch and glide.
    voiceNote[voice] = note;
    voicePitch[voice] = (semitoneOffset + tuneTable[note] - 57.0f) / 12.0f;
    if (std::fabs(lastPitch - kPitchNone) < 1e-4f) lastPitch = voicePitch[voice];
    float timeFactor = 1.0f;
    if (!fromArp || glide) {
        const float amount = fromArp ? getLockVar(401) + modDestGlobal[30]
                                     : getLockVar(4) + modDestGlobal[13];
        timeFactor = std::exp2(12.0f * clamp01(amount));
    }
    const float interval = voicePitch[voice] - lastPitch;
    switch (portMode) {
        case 1:
        case 3:
            glideStep[voice] = (interval > 0.0f ? 1.0f : (interval < 0.0f ? -1.0f : 0.0f)) / timeFactor;
            glidePitch[voice] = lastPitch;
            break;
        case 2:
        case 4:
            glideStep[voice] = interval / timeFactor;
            glidePitch[voice] = lastPitch;
            break;
        default:
            glideStep[voice] = 0.0f;
            glidePitch[voice] = voicePitch[voice];
            break;
    }
    glideDir[voice] = glideStep[voice] > 0.0f ? 1.0f : (glideStep[voice] < 0.0f ? -1.0f : 0.0f);
    lastPitch = voicePitch[voice];

    if (retrigger) startVoiceNote(voice, note, velocity, arpChord, fromArp);
    setLastVoice();
}

// What a (re)triggered note sets up beyond its pitch: modulation, velocity, the chord, the
// layers' sound, envelopes and LFOs, and the voice's place in the active list. Kept out of
// line: inlined into setNotePressed, this path lost its branch counts in the compiler's
// profile and was laid out with the code that never runs, optimised for size and far from
// the render loop.
__attribute__((noinline)) void APlugin::startVoiceNote(int voice, int note, int velocity,
                                                       int arpChord, bool fromArp) {
    if (!isValidVoice(voice)) return;
    voiceCounter[voice] = 0;
    std::memcpy(modDestVoice[voice], modDestDefault, sizeof(modDestVoice[voice]));
    dropTailLevels(tailLevels, voice);

    // Velocity: the base gain, then each layer's velocity split.
    const float s = clamp01(paramValue[2] + modDestGlobal[2]);
    const float base = (1.0f - s) + s * (float)velocity / 127.0f;
    setVelocitySplit(voice, velocity, base);

    layoutChord(voice, arpChord, fromArp);
    prefetchElementStart(voice);
    startLayerSound(voice, velocity);
    startEnvs(voice, velocity);

    initVoiceLFO(voice, 0);
    initVoiceLFO(voice, 1);
    setVoiceLFOS(voice);
    for (int n = 0; n < 2; ++n) {
        const int mode = getSteppedValue(n == 0 ? 356 : 359);
        if (mode == 2 || (mode == 3 && noKeyHeld && !fromArp)) initGlobalLFO(n);
    }

    voiceNew[voice] = 1;
    updateArpMod(voice);
    setNoteSources(voice, note, velocity);

    // The voice renders from this very sample, not from the next rebuild of the list.
    addActiveVoice(voice);
}

void APlugin::layoutChord(int voice, int arpChord, bool fromArp) {
    const bool chordsOn = getOnOff(554);
    const bool single = fromArp ? (arpChord == 1 || (arpChord == 0 && !chordsOn)) : !chordsOn;
    const ChordCycle& cycle = cycleOf(chordMode);
    const int position = chordStep % cycle.length;

    if (single) {
        voiceChord[voice] = cycle.steps[position].chord;
        voiceLevelCount[voice] = 1;
        // A single note starts at the sample its event came due, like the first note of
        // a chord.
        voiceElemAge[voice][0] = 0;
        voiceElemRatio[voice][0] = 1.0f;
        voiceElemSemi[voice][0] = 0.0f;
        voiceElemGain[voice][0][0] = 1.0f;
        voiceElemGain[voice][0][1] = 1.0f;
        voiceFirstElement[voice] = 0;
        return;
    }

    int chord = 0;
    bool reverse = false;
    int preset = -1;
    if (!fromArp || arpChord == 0) {
        chord = cycle.steps[position].chord;
        reverse = cycle.steps[position].reverse != 0;
    } else if (arpChord >= 2 && arpChord <= 5) {
        chord = arpChord - 2;
    } else if (arpChord >= 6 && arpChord <= 9) {
        chord = arpChord - 6;
        reverse = true;
    } else if (arpChord >= 10 && arpChord <= 29) {
        preset = arpChord - 10;
    }

    int count = preset >= 0 ? kChordPresets[preset].notes : getSteppedValue(CHORD_NOTES_TAGS[chord]) + 1;
    if (count < 1) count = 1;
    if (count > kMaxChordNotes) count = kMaxChordNotes;

    // Strum length in samples.
    const float x = paramValue[CHORD_STRUM_TAGS[chord]];
    double strum = 0.0;
    if (x >= 0.001f) {
        if (getOnOff(CHORD_STRUM_SYNC_ON_TAGS[chord]))
            strum = kChordLen[getSteppedValue(x, 18.99f, 19)] * samplesPerBar;
        else
            strum = (std::exp2(10.0 * (double)x) - 1.0) * (double)curSampleRate / 1000.0;
        strum *= (double)modDestGlobal[17] * (double)modDestGlobal[DEST_CHORD_STRUMS[chord]];
    }
    if (!(strum >= 0.0)) strum = 0.0;

    for (int i = 0; i < count; ++i) {
        const double h = ((double)(engineRand() & 0x7FFF) / 32767.0 * 2.0 - 1.0) *
                             (double)modDestGlobal[18] * 0.1 + 1.0;
        const int k = reverse ? count - 1 - i : i;
        double delay = h * (double)k * strum;
        // Saturated: a long synced strum at a very slow tempo must not wrap around.
        if (!(delay < 1073741824.0)) delay = 1073741824.0;
        if (delay < 0.0) delay = 0.0;
        voiceElemAge[voice][i] = -(int32_t)delay;
        if (preset >= 0) {
            const float offset = (float)kChordPresets[preset].offsets[i < 4 ? i : 3];
            voiceElemSemi[voice][i] = offset;
            voiceElemRatio[voice][i] = std::exp2(offset / 12.0f);
            voiceElemGain[voice][i][0] = 1.0f;
            voiceElemGain[voice][i][1] = 1.0f;
        } else {
            voiceElemSemi[voice][i] = chordSemi[chord][i];
            voiceElemRatio[voice][i] = chordRatio[chord][i];
            voiceElemGain[voice][i][0] = chordGain[chord][i][0];
            voiceElemGain[voice][i][1] = chordGain[chord][i][1];
        }
    }
    voiceChord[voice] = chord;
    voiceLevelCount[voice] = count;
    voiceFirstElement[voice] = reverse ? count - 1 : 0;
    curChord = chord;
    chordStep = (chordStep + 1) % cycle.length;
}

// The note-level modulation sources of a started voice.
void APlugin::setNoteSources(int voice, int note, int velocity) {
    // Alternation, for every voice and globally.
    const int c = alternateCounter;
    static constexpr float kAlt4[4] = {-1.0f, 0.0f, 1.0f, 0.0f};
    setModSrc(11, (float)(2 * (c % 2) - 1));
    setModSrc(12, (float)(c % 2));
    setModSrc(13, (float)((c % 3) - 1));
    setModSrc(14, (float)(c % 3) * 0.5f);
    setModSrc(15, kAlt4[c % 4]);
    setModSrc(16, kAlt4[c % 4] * 0.5f + 0.5f);
    alternateCounter = (c + 1) % 12;

    float* src = modSrcVoice[voice];
    float* cc = modSrcVoiceCC[voice];
    const float noteValue = (float)note / 127.0f;
    const float centre = ((float)note - 57.0f) / 12.0f;
    src[17] = (float)velocity / 127.0f;
    src[5] = noteValue;
    src[6] = centre;
    src[133] = noteValue;
    src[134] = centre;
    modSrcGlobal[133] = noteValue;
    modSrcGlobal[134] = centre;
    const float r1 = (float)(engineRand() & 0x7FFF) / 32767.0f;
    const float r2 = (float)(engineRand() & 0x7FFF) / 32767.0f;
    src[7] = 2.0f * r1 - 1.0f;
    src[8] = r1;
    src[9] = 2.0f * r2 - 1.0f;
    src[10] = r2;

    const int channel = voiceChannel[voice];
    if (playMode == 1 && channel >= 0 && channel < kMidiChannels) {
        voiceModWheel[voice] = voiceModWheelSmoothed[voice] = channelModWheel[channel];
        voicePolyPressure[voice] = voicePolyPressureSmoothed[voice] = channelPolyPressure[channel];
        voiceChannelPressure[voice] = voiceChannelPressureSmoothed[voice] =
            channelChannelPressure[channel];
        for (int s = 21; s <= kLastCCSource; ++s) src[s] = cc[s] = modSrcChannel[channel][s];
    } else {
        voiceModWheelSmoothed[voice] = voiceModWheel[voice];
        voicePolyPressureSmoothed[voice] = voicePolyPressure[voice];
        voiceChannelPressureSmoothed[voice] = voiceChannelPressure[voice];
        for (int s = kFirstCCSource; s <= kLastCCSource; ++s) src[s] = cc[s];
        src[21] = pitchBendValue;
    }
    src[1] = voiceModWheelSmoothed[voice];
    src[3] = voiceChannelPressureSmoothed[voice];
    src[4] = voicePolyPressureSmoothed[voice];
    src[2] = src[1] > src[3] ? src[1] : src[3];
    for (int s = 2; s <= 4; ++s) modSrcGlobal[s] = src[s];
    for (int s = kFirstCCSource; s <= kLastCCSource; ++s) modSrcGlobal[s] = src[s];

    voicePitchBend[voice] = pitchBendOctaves(src[21]);
}
