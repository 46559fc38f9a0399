// Before/after renders of the plug-in, for changes that must keep the sound:
//
//   tavrolune-render-compare patches PLUGIN.so OUTDIR
//       renders the comparison cases into OUTDIR/<name>.wav, 48 kHz: one patch per layer
//       model ("Wire", "String", "FM", "Wave", every layer on that model), the modulation
//       patch and the effect patch, each a phrase of chords and single notes (with an
//       eight-note chord and a burst of notes in one block) in blocks of 512; then the
//       cases that guard the order of the render loop: the start-up chord, the phrase of
//       the start-up program in blocks of 1, 7, 64 and 512, notes entering mid-block and in
//       bursts with voice steals, strummed and stacked chords, noise waves, modulation from
//       every kind of source to per-voice and to global destinations, routes made and
//       bypassed while notes sound, layers switched on, off and between models while notes
//       sound, a program change while notes sound, and a long silence that lets the
//       instance sleep and wake
//   tavrolune-render-compare diff DIR_A DIR_B
//       for every WAV in DIR_A, the peak difference against the same file in DIR_B in dBFS;
//       exit status 1 when one differs by -100 dBFS or more, or is missing or of another
//       length
//
// scripts/compare-renders.sh renders the demo and these cases through a baseline build
// and the current one and compares them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostlib/ModSlotParams.h"
#include "hostlib/Renderer.h"
#include "hostlib/VstPluginLoader.h"
#include "hostlib/WavFile.h"

using namespace tavhost;

namespace {

constexpr double kRate = 48000.0;
constexpr double kLimitDb = -100.0;
using Params = std::vector<std::pair<int, float>>;

float stepped(int index, float range) { return ((float)index + 0.1f) / range; }

Params modelPatch(int model) {
    Params p = {{1, 0.4f}};
    const int on[3] = {248, 280, 312}, source[3] = {249, 281, 313}, volume[3] = {39, 70, 101};
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({on[layer], 1.0f});
        p.push_back({source[layer], stepped(model, 3.99f)});
        p.push_back({volume[layer], 0.55f});
    }
    return p;
}

Params modPatch() {
    Params p = modelPatch(3);
    const int slots[8][2] = {{98, 38}, {100, 44}, {17, 1}, {1, 136},
                             {96, 142}, {102, 228}, {7, 51}, {99, 109}};
    const float amounts[8] = {0.51f, 0.7f, 0.9f, 0.8f, 0.6f, 0.3f, 0.7f, 0.6f};
    for (int i = 0; i < 8; ++i) {
        const Params slot = modSlotParams(i, slots[i][0], slots[i][1], amounts[i]);
        p.insert(p.end(), slot.begin(), slot.end());
    }
    const Params lfo = {{102, 0.55f}, {103, 0.6f}, {357, 0.0f}, {360, 0.0f},
                        {356, stepped(0, 3.99f)}, {359, stepped(0, 3.99f)}};
    p.insert(p.end(), lfo.begin(), lfo.end());
    return p;
}

Params effectPatch() {
    Params p = modelPatch(0);
    const Params fx = {{345, 0.0f}, {346, 1.0f}, {347, stepped(4, 26.99f)},
                       {105, stepped(2, 3.99f)}, {348, 1.0f}, {349, stepped(2, 10.99f)},
                       {351, 1.0f}, {354, 1.0f}, {344, stepped(5, 5.99f)},
                       {250, stepped(0, 4.99f)}, {282, stepped(3, 4.99f)},
                       {314, stepped(1, 4.99f)}};
    p.insert(p.end(), fx.begin(), fx.end());
    return p;
}

// Wave layers through the two formant modes (with the resonance terms only they read) and a
// zero-delay mode (with the damping table).
Params formantPatch() {
    Params p = modelPatch(3);
    const int modes[3] = {28, 29, 21};
    const int tags[3] = {272, 304, 336};
    for (int layer = 0; layer < 3; ++layer) p.push_back({tags[layer], stepped(modes[layer], 34.99f)});
    return p;
}

// Wave layers whose pitch envelope moves through the notes: one layer's pitch follows it
// up, one's down and one's not at all.
Params wavePitchPatch() {
    Params p = modelPatch(3);
    const float amounts[3] = {0.62f, 0.5f, 0.4f};
    for (int layer = 0; layer < 3; ++layer) p.push_back({35 + 31 * layer, amounts[layer]});
    return p;
}

// Slots from sources to destinations, each with its amount; the other slots stay off.
Params withSlots(Params p, const int (*routes)[2], const float* amounts, int count) {
    for (int i = 0; i < count; ++i) {
        const Params slot = modSlotParams(i, routes[i][0], routes[i][1], amounts[i]);
        p.insert(p.end(), slot.begin(), slot.end());
    }
    return p;
}

// Envelope, LFO, layer-output, effect-output, audio and noise sources on per-voice
// destinations (cutoffs, pans, volumes, pitch), through the effect chain so that the
// effect outputs carry sound.
Params voiceSourcesPatch() {
    const int routes[8][2] = {{42, 44}, {98, 136}, {118, 228}, {125, 51},
                              {129, 50}, {131, 139}, {135, 53}, {117, 38}};
    const float amounts[8] = {0.7f, 0.65f, 0.6f, 0.7f, 0.4f, 0.6f, 0.55f, 0.8f};
    return withSlots(effectPatch(), routes, amounts, 8);
}

// The same kinds of source on global destinations: effect settings, the main volume and
// pan, the global LFO speed and an LFO's own speed.
Params globalSourcesPatch() {
    const int routes[8][2] = {{96, 313}, {100, 334}, {124, 341}, {128, 319},
                              {129, 1},  {132, 12},  {82, 25},   {136, 366}};
    const float amounts[8] = {0.7f, 0.6f, 0.65f, 0.7f, 0.4f, 0.6f, 0.7f, 0.6f};
    Params p = withSlots(effectPatch(), routes, amounts, 8);
    p.push_back({359, stepped(1, 3.99f)});  // LFO 2 global
    return p;
}

// Chord 1 on every key: three notes stacked in each voice, strummed or together.
Params chordPatch(float strum) {
    Params p = modelPatch(3);
    const Params chord = {{554, 1.0f}, {555, stepped(4, 23.99f)}, {556, stepped(2, 5.99f)},
                          {557, strum}, {558, 0.0f}, {559, (48.1f) / 96.99f},
                          {560, (52.1f) / 96.99f}, {561, (55.1f) / 96.99f}};
    p.insert(p.end(), chord.begin(), chord.end());
    return p;
}

// Free-running layers draw their start positions and phases from the shared generators at
// every note start, for the notes a voice renders and for those it does not: a Wire and a
// Wave layer with random phases, an FM layer without, and chords stacked within the voices.
Params freeRunPatch() {
    Params p = chordPatch(0.0f);
    const Params free = {{249, stepped(0, 3.99f)}, {281, stepped(2, 3.99f)},
                         {1014, 1.0f}, {1015, 1.0f}, {1016, 1.0f}};
    p.insert(p.end(), free.begin(), free.end());
    return p;
}

// Wave layers on white and pink noise, beside a Wire layer: every voice draws from the
// shared generators.
Params noisePatch() {
    Params p = modelPatch(3);
    p.push_back({26, 4.1f / 5.0f});   // layer 1 white
    p.push_back({57, 5.1f / 5.0f});   // layer 2 pink
    p.push_back({281, stepped(0, 3.99f)});  // layer 3 Wire
    return p;
}

TimedMidiEvent midi(int64_t frame, int status, int a, int b) {
    TimedMidiEvent e;
    e.frame = frame;
    e.bytes[0] = (uint8_t)status;
    e.bytes[1] = (uint8_t)a;
    e.bytes[2] = (uint8_t)b;
    return e;
}

std::vector<TimedMidiEvent> sorted(std::vector<TimedMidiEvent> ev) {
    std::stable_sort(ev.begin(), ev.end(), [](const TimedMidiEvent& a, const TimedMidiEvent& b) {
        return a.frame < b.frame;
    });
    return ev;
}

// The eight-note chord of the render benchmark, held for two seconds.
std::vector<TimedMidiEvent> startupChord() {
    const int chord[8] = {48, 52, 55, 59, 60, 64, 67, 71};
    std::vector<TimedMidiEvent> ev;
    for (int key : chord) {
        ev.push_back(midi(0, 0x90, key, 100));
        ev.push_back(midi((int64_t)(2.0 * kRate), 0x80, key, 0));
    }
    return ev;
}

// Notes at odd frames inside blocks, bursts a few samples apart, and more notes held than
// there are voices, so that voices are stolen while they sound.
std::vector<TimedMidiEvent> notesMidBlock() {
    std::vector<TimedMidiEvent> ev;
    const int64_t at[5] = {3, 130, 517, 1001, 4099};
    for (int i = 0; i < 5; ++i) ev.push_back(midi(at[i], 0x90, 50 + 5 * i, 70 + 9 * i));
    for (int i = 0; i < 20; ++i)
        ev.push_back(midi((int64_t)(0.5 * kRate) + 3 * i + (i % 4), 0x90, 40 + 2 * i, 60 + 3 * i));
    for (int i = 0; i < 12; ++i) {
        const int64_t t = (int64_t)(1.2 * kRate) + 77 * i;
        ev.push_back(midi(t, 0x80, 40 + 2 * i, 0));
        ev.push_back(midi(t + 5, 0x90, 84 - i, 100));
    }
    for (int i = 0; i < 16; ++i) ev.push_back(midi((int64_t)(2.0 * kRate) + i, 0x90, 30 + 5 * i, 90));
    for (int i = 0; i < 128; ++i) ev.push_back(midi((int64_t)(2.6 * kRate) + 2 * i, 0x80, i, 0));
    return ev;
}

// A short note, then 20 s without sound (the instance falls asleep), then a note mid-block.
std::vector<TimedMidiEvent> sleepAndWake() {
    return {midi(0, 0x90, 60, 100), midi((int64_t)(0.2 * kRate), 0x80, 60, 0),
            midi((int64_t)(20.0 * kRate) + 100, 0x90, 64, 110),
            midi((int64_t)(20.5 * kRate), 0x80, 64, 0)};
}

// An eight-note chord, single notes over it, then sixteen notes in one block.
std::vector<TimedMidiEvent> phrase() {
    std::vector<TimedMidiEvent> ev;
    for (int i = 0; i < 8; ++i) ev.push_back(midi(0, 0x90, 40 + 3 * i, 60 + 8 * i));
    for (int i = 0; i < 6; ++i) {
        const int64_t t = (int64_t)((0.4 + 0.25 * i) * kRate);
        ev.push_back(midi(t, 0x90, 72 + 2 * i, 100));
        ev.push_back(midi(t + (int64_t)(0.2 * kRate), 0x80, 72 + 2 * i, 0));
    }
    for (int i = 0; i < 8; ++i) ev.push_back(midi((int64_t)(2.0 * kRate), 0x80, 40 + 3 * i, 0));
    for (int i = 0; i < 16; ++i) ev.push_back(midi((int64_t)(2.2 * kRate) + i, 0x90, 36 + 4 * i, 90));
    for (int i = 0; i < 16; ++i) ev.push_back(midi((int64_t)(3.2 * kRate), 0x80, 36 + 4 * i, 0));
    return sorted(ev);
}

// A program record with every layer on String and a slow attack, handed over as a host
// restores a state: applied by the audio thread while the phrase sounds.
void changeProgram(VstPlugin& plugin) {
    std::vector<uint8_t> record(1024 * sizeof(float) + 32, 0);
    std::vector<float> values = plugin.getAllParameters();
    values.resize(1024, 0.0f);
    for (const auto& kv : modelPatch(1)) values[(size_t)kv.first] = kv.second;
    values[5] = 0.3f;
    std::memcpy(record.data(), values.data(), 1024 * sizeof(float));
    std::memcpy(record.data() + 1024 * sizeof(float), "Changed", 7);
    plugin.setChunk(record.data(), record.size(), true);
}

struct Edit {
    double at;  // seconds into the music
    Params params;
};

// Routes made, changed and bypassed while notes sound: envelope, layer-output and
// effect-output sources start and stop being read, and a retrigger follows an envelope.
std::vector<Edit> routeEdits() {
    const auto slot = modSlotParams;
    return {{0.31, slot(0, 96, 44, 0.8f)},  {0.77, slot(1, 82, 128, 0.9f)},
            {1.13, slot(2, 118, 136, 0.7f)}, {1.61, slot(3, 126, 51, 0.75f)},
            {2.05, {{361, 1.0f}}},           {2.52, slot(0, 60, 313, 0.7f)},
            {3.01, {{362, 1.0f}, {363, 1.0f}, {364, 1.0f}}}};
}

// Layers turned on and off and switched between models while notes sound, so that filters
// a note start left alone (their layer off, or run by another model) start to sound mid-note
// and later notes start over filters that sounded.
std::vector<Edit> layerSwitches() {
    const auto model = [](int m) { return stepped(m, 3.99f); };
    return {{0.3, {{280, 1.0f}, {281, model(3)}}},
            {0.9, {{249, model(2)}}},
            {1.5, {{312, 0.0f}}},
            {2.1, {{312, 1.0f}, {313, model(0)}, {281, model(1)}}},
            {2.7, {{249, model(0)}, {280, 0.0f}}},
            {3.0, {{313, model(3)}}}};
}

// Sixteen notes, a change of the chord mode that resets the engine while they sound (every
// voice releasing and still rendering), then sixteen notes over those voices.
std::vector<TimedMidiEvent> notesOverReset() {
    std::vector<TimedMidiEvent> ev;
    for (int i = 0; i < 16; ++i) {
        ev.push_back(midi((int64_t)(0.5 * kRate) + i, 0x90, 36 + 4 * i, 90));
        ev.push_back(midi((int64_t)(1.05 * kRate) + 2 * i, 0x90, 38 + 4 * i, 100));
        ev.push_back(midi((int64_t)(2.0 * kRate), 0x80, 38 + 4 * i, 0));
    }
    return sorted(ev);
}

struct Case {
    const char* name;
    Params params;
    std::vector<TimedMidiEvent> events;
    int block;
    double seconds;
    double changeAt;  // seconds into the music of a program change; negative: none
    std::vector<Edit> edits = {};
};

std::vector<Case> cases() {
    const std::vector<TimedMidiEvent> p = phrase();
    return {{"wire", modelPatch(0), p, 512, 4.5, -1.0},
            {"string", modelPatch(1), p, 512, 4.5, -1.0},
            {"fm", modelPatch(2), p, 512, 4.5, -1.0},
            {"wave", modelPatch(3), p, 512, 4.5, -1.0},
            {"modulation", modPatch(), p, 512, 4.5, -1.0},
            {"effects", effectPatch(), p, 512, 4.5, -1.0},
            {"formants", formantPatch(), p, 64, 4.5, -1.0},
            {"wave-pitch", wavePitchPatch(), p, 64, 4.5, -1.0},
            {"startup-chord", Params(), startupChord(), 512, 3.0, -1.0},
            {"startup-block1", Params(), p, 1, 4.5, -1.0},
            {"startup-block7", Params(), p, 7, 4.5, -1.0},
            {"startup-block64", Params(), p, 64, 4.5, -1.0},
            {"startup-block512", Params(), p, 512, 4.5, -1.0},
            {"notes-midblock", Params(), sorted(notesMidBlock()), 64, 3.5, -1.0},
            {"wave-midblock", modelPatch(3), sorted(notesMidBlock()), 7, 3.5, -1.0},
            {"chord-strum", chordPatch(0.45f), p, 64, 4.5, -1.0},
            {"chord-stacked", chordPatch(0.0f), p, 512, 4.5, -1.0},
            {"noise", noisePatch(), p, 64, 4.5, -1.0},
            {"free-run", freeRunPatch(), p, 64, 4.5, -1.0},
            {"sources-voice", voiceSourcesPatch(), p, 64, 4.5, -1.0},
            {"sources-global", globalSourcesPatch(), p, 64, 4.5, -1.0},
            {"program-change", Params(), p, 512, 4.5, 1.1},
            {"program-change-b64", modelPatch(0), p, 64, 4.5, 0.45},
            {"sleep-wake", Params(), sleepAndWake(), 256, 21.5, -1.0},
            {"route-edits", Params(), p, 64, 4.5, -1.0, routeEdits()},
            {"route-edits-b7", effectPatch(), p, 7, 4.5, -1.0, routeEdits()},
            {"layer-switches", Params(), p, 64, 4.5, -1.0, layerSwitches()},
            {"reset-while-sounding", Params(), notesOverReset(), 64, 3.0, -1.0,
             {{1.0, {{555, stepped(3, 23.99f)}}}}}};
}

int renderPatches(const std::string& pluginPath, const std::string& dir) {
    std::filesystem::create_directories(dir);
    for (const Case& c : cases()) {
        std::string error;
        std::unique_ptr<VstPlugin> plugin = VstPlugin::load(pluginPath, HostIdentity(), error);
        if (!plugin) {
            std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), error.c_str());
            return 2;
        }
        RenderOptions ro;
        ro.sampleRate = kRate;
        ro.blockSize = c.block;
        ro.lengthFrames = (int64_t)(c.seconds * kRate);
        const Params& params = c.params;
        ro.beforeResume = [&params](VstPlugin& p, std::string&) {
            for (const auto& kv : params) p.setParameter(kv.first, kv.second);
            return true;
        };
        bool changed = c.changeAt < 0.0;
        const int64_t changeFrame = ro.preRollFrames + (int64_t)(c.changeAt * kRate);
        size_t edit = 0;
        ro.beforeBlock = [&](VstPlugin& p, int64_t frame, int32_t) {
            while (edit < c.edits.size() &&
                   frame >= ro.preRollFrames + (int64_t)(c.edits[edit].at * kRate)) {
                for (const auto& kv : c.edits[edit].params) p.setParameter(kv.first, kv.second);
                ++edit;
            }
            if (changed || frame < changeFrame) return;
            changed = true;
            changeProgram(p);
        };
        RenderResult rr;
        const std::string out = dir + "/" + c.name + ".wav";
        if (!renderSession(*plugin, c.events, ro, rr, error) ||
            !writeWavFloat(out, rr.audio, (int)kRate, error)) {
            std::fprintf(stderr, "%s: %s\n", c.name, error.c_str());
            return 2;
        }
        std::printf("wrote %s\n", out.c_str());
    }
    return 0;
}

std::string dbText(double x) {
    if (x <= 0.0) return "identical";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(x));
    return text;
}

int diff(const std::string& a, const std::string& b) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(a))
        if (entry.path().extension() == ".wav") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        std::fprintf(stderr, "no WAV files in %s\n", a.c_str());
        return 2;
    }
    bool ok = true;
    for (const std::string& name : names) {
        WavData x, y;
        std::string error;
        if (!readWav(a + "/" + name, x, error) || !readWav(b + "/" + name, y, error)) {
            std::printf("%-16s %s\n", name.c_str(), error.c_str());
            ok = false;
            continue;
        }
        if (x.channels.size() != y.channels.size() || x.frames() != y.frames()) {
            std::printf("%-16s lengths or channels differ\n", name.c_str());
            ok = false;
            continue;
        }
        double peak = 0.0, level = 0.0;
        int64_t at = -1;
        for (size_t c = 0; c < x.channels.size(); ++c) {
            for (size_t i = 0; i < x.frames(); ++i) {
                const double d = std::fabs((double)x.channels[c][i] - (double)y.channels[c][i]);
                level = std::max(level, (double)std::fabs(x.channels[c][i]));
                if (d > peak || std::isnan(d)) {
                    peak = std::isnan(d) ? 1.0 : d;
                    at = (int64_t)i;
                }
            }
        }
        const bool pass = peak == 0.0 || 20.0 * std::log10(peak) < kLimitDb;
        ok = ok && pass;
        std::printf("%-16s peak %s, difference %s%s\n", name.c_str(), dbText(level).c_str(),
                    dbText(peak).c_str(),
                    pass ? "" : ("   FAIL (first worst at frame " + std::to_string(at) + ")").c_str());
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "patches" && argc == 4) {
        const std::string home =
            (std::filesystem::temp_directory_path() / "tavrolune-compare-home").string();
        std::filesystem::create_directories(home);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
        return renderPatches(argv[2], argv[3]);
    }
    if (cmd == "diff" && argc == 4) return diff(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: tavrolune-render-compare patches PLUGIN.so OUTDIR\n"
                 "       tavrolune-render-compare diff DIR_A DIR_B\n");
    return 2;
}
