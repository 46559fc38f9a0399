// Helpers of the arpeggiator tests: an in-process engine set to the Arp play mode, and a
// recorder of the notes the arpeggiator starts (voice, sample, note and pitch), read from
// the engine's voice state while it renders in 16-sample pieces.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "test_engine_util.h"

namespace arptest {

using namespace enginetest;

inline float arpModeValue(int mode) { return stepped(mode, 19.99f); }
inline float loopModeValue(int mode) { return stepped(mode, 2.99f); }
inline float tiedModeValue(int mode) { return stepped(mode, 3.0f); }
inline float ratchetModeValue(int mode) { return stepped(mode, 9.99f); }
inline float stepsValue(int steps) { return stepped(steps - 1, 15.0f); }
inline float loopStartValue(int step) { return stepped(step, 15.0f); }
inline float speedValue(int index) { return stepped(index, 16.99f); }
inline float octaveValue(int octaves) { return stepped(octaves - 1, 3.0f); }
inline float ratchetValue(int index) { return stepped(index, 3.99f); }
// A tune row value that reads back as the given semitones (-36..36).
inline float tuneValue(int semitones) { return ((float)semitones + 36.0f + 0.5f) / 72.0f; }

constexpr int kRowOn = 412, kRowTie = 428, kRowSlide = 444, kRowTune = 460, kRowVel = 476, kRowChord = 492,
              kRowFree = 508, kRowRatchet = 524;

// The Arp play mode with the given arp mode, a plain sine layer with a quick release, and
// the grid as the start-up program has it (every step on, no tie, no transposition).
inline Params arpSetup(int mode, const Params& more = {}) {
    Params p = with(plainWave(0), {{8, 0.0f},
                                   {345, 1.0f},
                                   {244, playModeValue(8)},
                                   {394, 1.0f},
                                   {407, arpModeValue(mode)},
                                   {395, stepsValue(16)},
                                   {396, loopStartValue(0)},
                                   {397, speedValue(8)},
                                   {398, 0.0f},
                                   {399, 0.0f},
                                   {400, 1.0f},
                                   {403, 0.0f},
                                   {404, 1.0f},
                                   {405, 0.0f},
                                   {408, octaveValue(1)},
                                   {409, tiedModeValue(0)},
                                   {410, loopModeValue(0)},
                                   {411, ratchetModeValue(0)}});
    for (int s = 0; s < 16; ++s) {
        p.push_back({kRowOn + s, 1.0f});
        p.push_back({kRowTie + s, 0.0f});
        p.push_back({kRowSlide + s, 0.0f});
        p.push_back({kRowTune + s, tuneValue(0)});
        p.push_back({kRowVel + s, 1.0f});
        p.push_back({kRowRatchet + s, ratchetValue(0)});
        p.push_back({kRowFree + s, 0.5f});
    }
    return with(p, more);
}

struct NoteStart {
    uint32_t sample;  // sampleCounter when the voice was taken
    int voice;
    int note;
    float semitones;  // the voice's pitch: tuning-table semitones plus the arp's transposition
};

// Renders `samples` samples in 16-sample pieces and returns every voice start in order.
class StartRecorder {
public:
    explicit StartRecorder(Engine& e) : e_(e) {
        for (int v = 0; v < kNumVoices; ++v) seen_[v] = e_.p().voiceStartStamp[v];
    }
    std::vector<NoteStart> run(int samples) {
        std::vector<NoteStart> starts;
        APlugin& p = e_.p();
        for (int done = 0; done < samples; done += 16) {
            e_.render(16, 16);
            for (int v = 0; v < kNumVoices; ++v) {
                if (p.voiceStartStamp[v] == seen_[v] || !p.voiceKeyOn[v]) continue;
                seen_[v] = p.voiceStartStamp[v];
                starts.push_back({(uint32_t)p.voiceStartStamp[v], v, p.voiceNote[v],
                                  p.voicePitch[v] * 12.0f + 57.0f});
            }
        }
        std::stable_sort(starts.begin(), starts.end(),
                         [](const NoteStart& a, const NoteStart& b) { return a.sample < b.sample; });
        return starts;
    }

private:
    Engine& e_;
    int32_t seen_[kNumVoices];
};

inline std::vector<int> notesOf(const std::vector<NoteStart>& starts) {
    std::vector<int> notes;
    for (const NoteStart& s : starts) notes.push_back(s.note);
    return notes;
}

}  // namespace arptest
