// tavrolune-host render: a MIDI file through a plug-in into a WAV file.
#include <cmath>
#include <cstdio>

#include "CommandLine.h"
#include "Commands.h"
#include "hostlib/MidiFile.h"
#include "hostlib/Renderer.h"
#include "hostlib/StateFile.h"
#include "hostlib/TextUtil.h"
#include "hostlib/WavFile.h"

namespace tavhost {

namespace {

std::string dbText(double level) {
    if (level <= 0.0) return "-inf dBFS";
    return formatFixed(20.0 * std::log10(level), 1) + " dBFS";
}

}  // namespace

int commandRender(int argc, char** argv) {
    std::vector<OptionSpec> specs = hostOptionSpecs();
    for (const char* name : {"midi", "out", "rate", "block", "tempo", "state", "tail", "preroll"})
        specs.push_back({name, true, false});
    specs.push_back({"keep-preroll", false, false});
    ParsedArgs args;
    std::string error;
    if (!parseArgs(argc, argv, 2, specs, args, error)) return reportError(kExitUsage, error);
    if (args.positional.size() != 1) return reportError(kExitUsage, "render wants exactly one plug-in file");
    if (!args.has("midi")) return reportError(kExitUsage, "render needs --midi IN.mid");
    if (!args.has("out")) return reportError(kExitUsage, "render needs --out OUT.wav");
    HostIdentity identity;
    double rate = 0, tempo = 0, tail = 0;
    int64_t block = 0, preroll = 0;
    if (!hostIdentityFromArgs(args, identity, error) ||
        !numberOption(args, "rate", 8000, 768000, 44100, rate, error) ||
        !integerOption(args, "block", 1, 65536, 512, block, error) ||
        !numberOption(args, "tempo", 1, 999, 120, tempo, error) ||
        !numberOption(args, "tail", 0, 600, 2, tail, error) ||
        !integerOption(args, "preroll", 0, 10000000, 8192, preroll, error))
        return reportError(kExitUsage, error);
    if (rate != std::floor(rate)) return reportError(kExitUsage, "--rate wants a whole number of Hz");

    // Everything read from disk is checked before the plug-in is even loaded.
    MidiFile midi;
    if (!readMidiFile(args.value("midi"), midi, error)) return reportError(kExitFailure, error);
    PluginState state;
    bool haveState = args.has("state");
    if (haveState && !loadStateFile(args.value("state"), state, error)) return reportError(kExitFailure, error);

    // MIDI lives in beats: an explicit tempo replaces the file's tempo map, as changing a
    // project's tempo does in a sequencer. SMPTE-timed files keep their absolute times.
    TempoMap tempoMap = args.has("tempo") ? TempoMap(tempo) : midi.tempoMap;
    bool beats = midi.ticksPerQuarter > 0;
    auto secondsOf = [&](int64_t tick) {
        return beats ? tempoMap.secondsAtPpq((double)tick / midi.ticksPerQuarter) : midi.secondsAtTick(tick);
    };
    std::vector<TimedMidiEvent> events;
    events.reserve(midi.events.size());
    for (const MidiFileEvent& m : midi.events) {
        TimedMidiEvent e;
        e.frame = (int64_t)std::llround(secondsOf(m.tick) * rate);
        for (int i = 0; i < 3; ++i) e.bytes[i] = m.bytes[i];
        e.size = m.size;
        events.push_back(e);
    }
    int64_t musicEnd = (int64_t)std::llround(secondsOf(midi.lengthTicks) * rate);
    if (!events.empty()) musicEnd = std::max(musicEnd, events.back().frame + 1);

    std::unique_ptr<VstPlugin> plugin = VstPlugin::load(args.positional[0], identity, error);
    if (!plugin) return reportError(kExitFailure, error);

    RenderOptions ro;
    ro.sampleRate = rate;
    ro.blockSize = (int32_t)block;
    ro.tempoMap = &tempoMap;
    ro.preRollFrames = preroll;
    ro.keepPreRoll = args.has("keep-preroll");
    ro.lengthFrames = musicEnd + (int64_t)std::llround(tail * rate);
    if (haveState) {
        ro.beforeResume = [&state](VstPlugin& p, std::string& err) { return applyPluginState(p, state, err); };
    }
    RenderResult result;
    if (!renderSession(*plugin, events, ro, result, error)) return reportError(kExitFailure, error);
    plugin.reset();

    if (!writeWavFloat(args.value("out"), result.audio, (int)rate, error)) return reportError(kExitFailure, error);

    size_t frames = result.audio[0].size();
    std::printf("Rendered %zu frames (%s s) at %d Hz, block %d, %zu MIDI events, pre-roll %lld frames %s\n",
                frames, formatFixed((double)frames / rate, 3).c_str(), (int)rate, (int)block,
                events.size(), (long long)preroll, ro.keepPreRoll ? "kept" : "cut");
    const char* names[2] = {"left", "right"};
    for (int c = 0; c < 2; ++c) {
        ChannelLevels lv = measureLevels(result.audio[(size_t)c]);
        std::printf("  %-5s peak %s (%s), RMS %s (%s)\n", names[c], formatFixed(lv.peak, 6).c_str(),
                    dbText(lv.peak).c_str(), formatFixed(lv.rms, 6).c_str(), dbText(lv.rms).c_str());
    }
    std::printf("Real-time factor: %sx (%s s of audio in %s s)\n", formatFixed(result.realTimeFactor, 1).c_str(),
                formatFixed((double)result.framesProcessed / rate, 3).c_str(),
                formatFixed(result.wallSeconds, 3).c_str());
    std::printf("Wrote %s\n", args.value("out").c_str());
    for (size_t c = 0; c < result.faults.size(); ++c) {
        if (!result.faults[c].clean())
            std::fprintf(stderr, "tavrolune-host: warning: plug-in output %zu: %s\n", c,
                         result.faults[c].describe().c_str());
    }
    return kExitOk;
}

}  // namespace tavhost
