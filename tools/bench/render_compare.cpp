// Before/after renders of the plug-in, for changes that must keep the sound:
//
//   tavrolune-render-compare patches PLUGIN.so OUTDIR
//       renders one patch per layer model ("Wire", "String", "FM", "Wave", every layer on
//       that model), the modulation patch and the effect patch, each a phrase of chords and
//       single notes (with an eight-note chord and a burst of notes in one block), 48 kHz,
//       blocks of 512, into OUTDIR/<name>.wav
//   tavrolune-render-compare diff DIR_A DIR_B
//       for every WAV in DIR_A, the peak difference against the same file in DIR_B in dBFS;
//       exit status 1 when one differs by -100 dBFS or more, or is missing or of another
//       length
//
// scripts/compare-renders.sh renders the demo and these patches through a baseline build
// and the current one and compares them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
        p.push_back({361 + i, 0.0f});
        p.push_back({369 + i, stepped(slots[i][0], 199.99f)});
        p.push_back({377 + i, stepped(slots[i][1], 499.99f)});
        p.push_back({385 + i, amounts[i]});
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

TimedMidiEvent midi(int64_t frame, int status, int a, int b) {
    TimedMidiEvent e;
    e.frame = frame;
    e.bytes[0] = (uint8_t)status;
    e.bytes[1] = (uint8_t)a;
    e.bytes[2] = (uint8_t)b;
    return e;
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
    std::stable_sort(ev.begin(), ev.end(), [](const TimedMidiEvent& a, const TimedMidiEvent& b) {
        return a.frame < b.frame;
    });
    return ev;
}

int renderPatches(const std::string& pluginPath, const std::string& dir) {
    const std::pair<const char*, Params> patches[] = {
        {"wire", modelPatch(0)}, {"string", modelPatch(1)}, {"fm", modelPatch(2)},
        {"wave", modelPatch(3)}, {"modulation", modPatch()}, {"effects", effectPatch()}};
    std::filesystem::create_directories(dir);
    const std::vector<TimedMidiEvent> events = phrase();
    for (const auto& patch : patches) {
        std::string error;
        std::unique_ptr<VstPlugin> plugin = VstPlugin::load(pluginPath, HostIdentity(), error);
        if (!plugin) {
            std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), error.c_str());
            return 2;
        }
        RenderOptions ro;
        ro.sampleRate = kRate;
        ro.blockSize = 512;
        ro.lengthFrames = (int64_t)(4.5 * kRate);
        const Params& params = patch.second;
        ro.beforeResume = [&params](VstPlugin& p, std::string&) {
            for (const auto& kv : params) p.setParameter(kv.first, kv.second);
            return true;
        };
        RenderResult rr;
        const std::string out = dir + "/" + patch.first + ".wav";
        if (!renderSession(*plugin, events, ro, rr, error) ||
            !writeWavFloat(out, rr.audio, (int)kRate, error)) {
            std::fprintf(stderr, "%s: %s\n", patch.first, error.c_str());
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
