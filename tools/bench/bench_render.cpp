// Render cost of the built plug-in: 10 s at 48 kHz of held notes, one per voice, with all
// three layers on and set to one sound model ("Wire", "String", "FM", "Wave"), in blocks of
// 64 and 512 samples. Prints the real-time factor, the share of one core, and the cost of
// one layer-voice (the slope over runs with 1, 4 and 16 voices). The same notes are then
// rendered through a third-party VST 2.4 synth (Debian's amsynth) for comparison. First,
// both synths play an eight-note chord with their start-up sounds, and the start-up sound
// takes bursts of sixteen note-ons in one block (the dearest block against the median, and
// the first burst, into an instance that has rendered only silence, apart from the later
// ones), and both render silence with their start-up sounds (the idle cost of an instance).
//
// usage: tavrolune-bench-render [PLUGIN.so [PEER.so]] [--seconds S] [--model NAME] [--main]
//                               [--chord] [--idle] [--ratio] [--callgrind [--d1 KB,WAYS]]
//                               [--pairs N] [--same-patches] [--per-second]
//                               [--burst-child] [--first-bursts N] [--route SRC,DEST[,AMOUNT]]
//   --model NAME  only that layer model ("Wire", "String", "FM" or "Wave")
//   --main        only the per-model table (no full patch, modulation or peer runs)
//   --chord       only the 8-note chord beside the peer, the burst and the idle figures
//   --idle        only the idle figures
//   --ratio       only the interleaved time ratios, ours / peer, median of 3 pairs (--pairs),
//                 with the lowest and highest pair's: the 8-note chord against the peer's,
//                 and 16 voices x 3 layers of each model against the peer's 16-note chord
//   --callgrind   only instruction and cache counts per output sample of the 8-note chord
//                 (with --model NAME: of 16 voices x 3 layers of that model, beside the
//                 peer's 16-note chord),
//                 ours and the peer's, from callgrind's cache simulation (valgrind must be
//                 installed; --seconds defaults to 1 here); collection covers the rendering
//                 alone, not loading, program application or the pre-roll; the simulated
//                 L1 data cache is this machine's unless --d1 KB,WAYS sets it (the miss
//                 count depends on it: compare figures of one geometry only)
//   --pairs N     with --ratio, N pairs of runs (odd, default 3) for each median
//   --same-patches with --ratio, the second plug-in is another build of this one: it plays
//                 the same patches and notes as the first (ratios of two builds, every row
//                 against its own case)
//   --per-second  only the 8-note chord's cost second by second, ours and the peer's (the
//                 quickest of five runs for each second, the two taking turns) and its
//                 output RMS in each: the envelopes' first seconds against the held notes
//                 after them; with --callgrind, the counts of each second
//   --first-bursts N  the first burst alone, over N fresh instances, ours and the peer's
//                 taking turns, as made and with code and tables warmed by another instance
//                 (see benchFirstBursts); with --same-patches, the ratio of two builds
//   --route SRC,DEST[,AMOUNT]  with --ratio or --callgrind, our 8-note chord plays with
//                 modulation slot 1 routing source SRC to destination DEST (their indices
//                 in the modulation menus; amount 0 to 1, default 0.75): what one route
//                 costs a chord
//   --burst-child the burst figures alone; run under valgrind --tool=callgrind
//                 --collect-atstart=no, only the blocks with a burst of note-ons are counted
//                 (three runs: divide by three times the bursts; with --steady, the block
//                 before each burst instead)
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostlib/ModSlotParams.h"
#include "hostlib/VstPluginLoader.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define TAV_COLLECT() CALLGRIND_TOGGLE_COLLECT
#define TAV_DUMP() CALLGRIND_DUMP_STATS
#else
#define TAV_COLLECT() ((void)0)
#define TAV_DUMP() ((void)0)
#endif

using namespace tavhost;

namespace {

constexpr double kRate = 48000.0;
constexpr int kPreRoll = 8192;  // lets the plug-in apply its start-up program first
const int kVoiceCounts[] = {1, 4, 16};
const int kBlocks[] = {64, 512};

using Params = std::vector<std::pair<int, float>>;

// Under callgrind, a counted render writes its counts out after each second of audio (each
// dump holds that second's alone), for the counts second by second.
bool countedDumpsEachSecond = false;

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + 1e-9 * (double)ts.tv_nsec;
}

struct Run {
    double cpuSeconds = 0.0;
    double audioSeconds = 0.0;
    double rms = 0.0;
    bool ok = false;
    double realTime() const { return cpuSeconds > 0.0 ? audioSeconds / cpuSeconds : 0.0; }
    double corePercent() const { return 100.0 * cpuSeconds / audioSeconds; }
};

// MIDI messages of one block in the form the plug-in takes.
class EventList {
public:
    void add(int status, int key, int velocity) {
        VstMidiEvent e;
        std::memset(&e, 0, sizeof(e));
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.midiData[0] = (char)status;
        e.midiData[1] = (char)key;
        e.midiData[2] = (char)velocity;
        events_.push_back(e);
    }
    bool empty() const { return events_.empty(); }
    void clear() { events_.clear(); }
    // Valid until the next add or clear.
    VstEvents* get() {
        list_.assign(sizeof(VstEvents) + sizeof(VstEvent*) * (events_.size() + 2), 0);
        VstEvents* events = reinterpret_cast<VstEvents*>(list_.data());
        events->numEvents = (VstInt32)events_.size();
        for (size_t i = 0; i < events_.size(); ++i)
            events->events[i] = reinterpret_cast<VstEvent*>(&events_[i]);
        return events;
    }

private:
    std::vector<VstMidiEvent> events_;
    std::vector<unsigned char> list_;
};

// Silent inputs and an output of one block, as processReplacing takes them.
struct BlockBuffers {
    std::vector<float> inL, inR, outL, outR;
    float* in[2];
    float* out[2];
    explicit BlockBuffers(int block)
        : inL((size_t)block, 0.0f), inR((size_t)block, 0.0f), outL((size_t)block),
          outR((size_t)block), in{inL.data(), inR.data()}, out{outL.data(), outR.data()} {}
    void render(VstPlugin& plugin) { plugin.processReplacing(in, out, (int)outL.size()); }
};

// A fresh instance with the parameters set, resumed and past its pre-roll.
std::unique_ptr<VstPlugin> startInstance(const std::shared_ptr<VstModule>& module,
                                         const Params& params, int block) {
    std::string error;
    std::unique_ptr<VstPlugin> plugin = VstPlugin::create(module, HostIdentity(), error);
    if (!plugin) {
        std::fprintf(stderr, "cannot create an instance: %s\n", error.c_str());
        return plugin;
    }
    plugin->open();
    plugin->setSampleRate(kRate);
    plugin->setBlockSize(block);
    for (const auto& kv : params) plugin->setParameter(kv.first, kv.second);
    plugin->resume();
    BlockBuffers io(block);
    for (int done = 0; done < kPreRoll; done += block) io.render(*plugin);
    return plugin;
}

// Notes a whole tone apart from 40 upward: distinct pitches across the keyboard.
std::vector<int> spreadNotes(int voices) {
    std::vector<int> keys;
    for (int i = 0; i < voices; ++i) keys.push_back(40 + 2 * i);
    return keys;
}

// One instance plays the held notes for `seconds`; only the rendering after the pre-roll
// is timed (thread CPU time, so other load on the machine counts less).
Run renderHeld(const std::shared_ptr<VstModule>& module, const Params& params,
               const std::vector<int>& keys, int block, double seconds, double settle = 0.0,
               bool counted = false) {
    Run run;
    std::unique_ptr<VstPlugin> plugin = startInstance(module, params, block);
    if (!plugin) return run;
    BlockBuffers io(block);
    for (int64_t done = 0; done < (int64_t)(settle * kRate); done += block)
        io.render(*plugin);
    EventList notes;
    for (int key : keys) notes.add(0x90, key, 100);

    const int64_t frames = (int64_t)(seconds * kRate);
    double sum = 0.0;
    const double start = threadSeconds();
    if (counted) TAV_COLLECT();
    plugin->dispatch(effProcessEvents, 0, 0, notes.get());
    const int64_t second = (int64_t)kRate;
    for (int64_t done = 0; done < frames; done += block) {
        io.render(*plugin);
        sum += (double)io.outL[0] * io.outL[0] +
               (double)io.outR[(size_t)block - 1] * io.outR[(size_t)block - 1];
        if (counted && countedDumpsEachSecond && (done + block) / second != done / second)
            TAV_DUMP();
    }
    if (counted) TAV_COLLECT();
    run.cpuSeconds = threadSeconds() - start;
    run.audioSeconds = (double)frames / kRate;
    run.rms = std::sqrt(sum / (2.0 * (double)(frames / block)));
    run.ok = true;
    plugin->suspend();
    plugin->close();
    return run;
}

// The quickest of three runs: the first may pay for cold caches and page faults, and on a
// shared machine any one of them may lose its core's caches or execution units to another
// process for a while (thread CPU time counts those stalls too).
Run best(const std::shared_ptr<VstModule>& module, const Params& params,
         const std::vector<int>& keys, int block, double seconds) {
    Run fastest;
    for (int i = 0; i < 3; ++i) {
        const Run run = renderHeld(module, params, keys, block, seconds);
        if (run.ok && (!fastest.ok || run.cpuSeconds < fastest.cpuSeconds)) fastest = run;
    }
    return fastest;
}
Run best(const std::shared_ptr<VstModule>& module, const Params& params, int voices, int block,
         double seconds) {
    return best(module, params, spreadNotes(voices), block, seconds);
}

// Least-squares slope of CPU seconds per audio second over the voice counts: the cost of
// one more voice as a share of one core.
double slope(const Run runs[3]) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < 3; ++i) {
        const double x = kVoiceCounts[i];
        const double y = runs[i].cpuSeconds / runs[i].audioSeconds;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    return (3.0 * sxy - sx * sy) / (3.0 * sxx - sx * sx);
}

double nsPerSample(double coreShare) { return coreShare / kRate * 1e9; }

// Tags of the plug-in's parameters used here.
constexpr int kLayerOn[3] = {248, 280, 312};
constexpr int kLayerSource[3] = {249, 281, 313};
constexpr int kVolume[3] = {39, 70, 101};

Params modelPatch(int model) {
    Params p;
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({kLayerOn[layer], 1.0f});
        p.push_back({kLayerSource[layer], ((float)model + 0.1f) / 3.99f});
        p.push_back({kVolume[layer], 0.55f});
    }
    p.push_back({1, 0.4f});  // main volume: sixteen voices stay below the clip
    return p;
}

// The full patch: every layer of every voice sounding through the whole effect section
// (distortion, Mod FX, delay and reverb all on, FX Path "Reverb > Delay > Mod FX"), the
// layers entering the chain at three different points.
Params fullPatch(int model, bool effects) {
    Params p = modelPatch(model);
    auto stepped = [](int index, float range) { return ((float)index + 0.1f) / range; };
    p.push_back({345, effects ? 0.0f : 1.0f});    // Bypass All FX
    p.push_back({346, 1.0f});                     // Distort on
    p.push_back({347, stepped(4, 26.99f)});       // "Cab"
    p.push_back({105, stepped(2, 3.99f)});        // "Marshall"
    p.push_back({348, 1.0f});                     // Mod FX on
    p.push_back({349, stepped(2, 10.99f)});       // "Ensemble"
    p.push_back({351, 1.0f});                     // Delay on
    p.push_back({354, 1.0f});                     // Reverb on
    p.push_back({344, stepped(5, 5.99f)});        // Reverb > Delay > Mod FX
    const int dest[3] = {0, 3, 1};                // Distortion FX, Reverb, Mod FX
    const int destTag[3] = {250, 282, 314};
    for (int layer = 0; layer < 3; ++layer)
        p.push_back({destTag[layer], stepped(dest[layer], 4.99f)});
    return p;
}

void benchFullPatch(const std::shared_ptr<VstModule>& module, double seconds,
                    const std::string& onlyModel) {
    const char* models[4] = {"Wire", "String", "FM", "Wave"};
    std::printf("Full patch: 16 voices x 3 layers, all effects on, path 5 "
                "(target: under 6 %% of a core)\n");
    std::printf("%-7s %5s %12s %12s %12s\n", "model", "block", "% core", "bypassed", "effects");
    for (int m = 0; m < 4; ++m) {
        if (!onlyModel.empty() && onlyModel != models[m]) continue;
        for (int b = 0; b < 2; ++b) {
            const Run on = best(module, fullPatch(m, true), 16, kBlocks[b], seconds);
            const Run off = best(module, fullPatch(m, false), 16, kBlocks[b], seconds);
            if (!on.ok || !off.ok) return;
            std::printf("%-7s %5d %12.2f %12.2f %12.2f%s\n", models[m], kBlocks[b],
                        on.corePercent(), off.corePercent(), on.corePercent() - off.corePercent(),
                        on.corePercent() < 6.0 ? "" : "   (above the 6 % target)");
        }
    }
    std::printf("\n");
}

// Every layer of the "Wave" patch through a 24 dB low-pass at a middle cutoff.
Params wave24Patch() {
    Params p = modelPatch(3);
    const int mode[3] = {272, 304, 336};
    const int freq[3] = {29, 60, 91};
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({mode[layer], (15.0f + 0.1f) / 34.99f});  // "24dB LowPass"
        p.push_back({freq[layer], 0.5f});
    }
    return p;
}

void benchWave24(const std::shared_ptr<VstModule>& module, double seconds) {
    std::printf("Wave through a 24 dB low-pass: 16 voices x 3 layers (target: under 15 %% of a "
                "core)\n");
    std::printf("%-7s %5s %12s\n", "model", "block", "% core");
    for (int b = 0; b < 2; ++b) {
        const Run run = best(module, wave24Patch(), 16, kBlocks[b], seconds);
        if (!run.ok) return;
        std::printf("%-7s %5d %12.2f%s\n", "Wave", kBlocks[b], run.corePercent(),
                    run.corePercent() < 15.0 ? "" : "   (above the 15 % target)");
    }
    std::printf("\n");
}

// The modulation patch: the model patch with all eight slots active, every one on a
// per-voice destination, both LFOs running per voice (Poly) at a free rate.
Params modPatch(int model) {
    Params p = modelPatch(model);
    auto stepped = [](int index, float range) { return ((float)index + 0.1f) / range; };
    // source, destination, amount: pitch, cutoffs, volumes, pan and an envelope speed.
    const int slots[8][2] = {{98, 38},  {100, 44},  {17, 1},   {1, 136},
                             {96, 142}, {102, 228}, {7, 51},   {99, 109}};
    const float amounts[8] = {0.51f, 0.7f, 0.9f, 0.8f, 0.6f, 0.3f, 0.7f, 0.6f};
    for (int i = 0; i < 8; ++i) {
        const Params slot = modSlotParams(i, slots[i][0], slots[i][1], amounts[i]);
        p.insert(p.end(), slot.begin(), slot.end());
    }
    p.push_back({102, 0.55f});                    // LFO 1: about 2.8 Hz, free
    p.push_back({103, 0.6f});                     // LFO 2: about 4.4 Hz, free
    p.push_back({357, 0.0f});
    p.push_back({360, 0.0f});
    p.push_back({356, stepped(0, 3.99f)});        // both Poly: every voice runs its own
    p.push_back({359, stepped(0, 3.99f)});
    return p;
}

void benchModPatch(const std::shared_ptr<VstModule>& module, double seconds,
                    const std::string& onlyModel) {
    const char* models[4] = {"Wire", "String", "FM", "Wave"};
    std::printf("Modulation: 16 voices x 3 layers, all eight slots on per-voice destinations\n");
    std::printf("%-7s %5s %12s %12s %12s\n", "model", "block", "plain %", "8 slots %", "matrix %");
    for (int m = 0; m < 4; ++m) {
        if (!onlyModel.empty() && onlyModel != models[m]) continue;
        for (int b = 0; b < 2; ++b) {
            const Run plain = best(module, modelPatch(m), 16, kBlocks[b], seconds);
            const Run mod = best(module, modPatch(m), 16, kBlocks[b], seconds);
            if (!plain.ok || !mod.ok) return;
            std::printf("%-7s %5d %12.2f %12.2f %12.2f\n", models[m], kBlocks[b],
                        plain.corePercent(), mod.corePercent(),
                        mod.corePercent() - plain.corePercent());
        }
    }
    std::printf("\n");
}


// The eight-note chord both synths play with their start-up sounds (no parameter set).
const std::vector<int> kChord = {48, 52, 55, 59, 60, 64, 67, 71};

void benchChord(const std::shared_ptr<VstModule>& ours, const std::shared_ptr<VstModule>& peer,
                double seconds) {
    std::printf("8-note chord, start-up sounds, block 512 (target: ours / peer <= 1.0)\n");
    const Run a = best(ours, Params(), kChord, 512, seconds);
    if (!a.ok) return;
    std::printf("ours  %8.2f %% of a core, out RMS %.4f\n", a.corePercent(), a.rms);
    if (!peer) return;
    const Run b = best(peer, Params(), kChord, 512, seconds);
    if (!b.ok) return;
    std::printf("peer  %8.2f %% of a core, out RMS %.4f\n", b.corePercent(), b.rms);
    std::printf("ratio %8.2f\n\n", a.corePercent() / b.corePercent());
}

// A fresh instance with its start-up sound, the chord's keys just pressed.
std::unique_ptr<VstPlugin> startChord(const std::shared_ptr<VstModule>& module, int block) {
    std::unique_ptr<VstPlugin> plugin = startInstance(module, Params(), block);
    if (!plugin) return plugin;
    EventList notes;
    for (int key : kChord) notes.add(0x90, key, 100);
    plugin->dispatch(effProcessEvents, 0, 0, notes.get());
    return plugin;
}

// The chord's output RMS level (left channel) in each of `whole` seconds, rendered untimed
// in an instance of its own.
void levelsPerSecond(const std::shared_ptr<VstModule>& module, int block, int whole,
                     int64_t perSecond, std::vector<double>& level) {
    std::unique_ptr<VstPlugin> plugin = startChord(module, block);
    if (!plugin) return;
    BlockBuffers io(block);
    for (int s = 0; s < whole; ++s) {
        double sum = 0.0;
        for (int64_t b = 0; b < perSecond; ++b) {
            io.render(*plugin);
            for (float x : io.outL) sum += (double)x * x;
        }
        level[(size_t)s] = std::sqrt(sum / (double)(perSecond * block));
    }
    plugin->suspend();
    plugin->close();
}

// Each second of the chord on its own (--per-second), ours and the peer's: the quickest of
// five runs for each second, in ms of CPU time, and the output's RMS level in that second
// (left channel, from an untimed run). The runs alternate, ours then the peer's, so that a
// spell of load on a shared machine falls on both rather than on whichever ran through it.
// The first seconds, while the envelopes move, cost more than the held notes after them;
// the ratio's ten seconds hold both. A start-up sound that dies away while its keys are
// held goes on costing its voices: the RMS row tells how much of the timed chord is such a
// tail.
using NamedSynths = std::vector<std::pair<const char*, std::shared_ptr<VstModule>>>;
void benchChordSeconds(const NamedSynths& synths, double seconds) {
    constexpr int block = 512;
    const int whole = std::max(1, (int)seconds);
    const int64_t perSecond = (int64_t)kRate / block;
    std::vector<std::vector<double>> quickest(synths.size(), std::vector<double>((size_t)whole));
    for (int run = 0; run < 5; ++run) {
        for (size_t k = 0; k < synths.size(); ++k) {
            std::unique_ptr<VstPlugin> plugin = startChord(synths[k].second, block);
            if (!plugin) return;
            BlockBuffers io(block);
            for (int s = 0; s < whole; ++s) {
                const double start = threadSeconds();
                for (int64_t b = 0; b < perSecond; ++b) io.render(*plugin);
                const double cost = threadSeconds() - start;
                double& q = quickest[k][(size_t)s];
                if (run == 0 || cost < q) q = cost;
            }
            plugin->suspend();
            plugin->close();
        }
    }
    for (size_t k = 0; k < synths.size(); ++k) {
        std::vector<double> level((size_t)whole, 0.0);
        levelsPerSecond(synths[k].second, block, whole, perSecond, level);
        std::printf("%-5s", synths[k].first);
        for (double q : quickest[k]) std::printf(" %6.2f", 1e3 * q);
        std::printf("  ms per second of the chord\n");
        std::printf("%-5s", "");
        for (double l : level) std::printf(" %6.4f", l);
        std::printf("  output RMS in each second\n");
    }
}

// Idle: no note at all, block 512, start-up sounds; what a silent instance in a project
// costs once it has been silent for a few seconds (its effect tails have died away). The
// quickest of five runs: the figure is small and easily disturbed.
constexpr double kIdleTarget = 0.2;     // % of a core
constexpr double kIdleOverPeer = 0.05;  // % of a core above the peer's
constexpr double kIdleSettle = 4.0;     // seconds of silence before the timing

double idleCost(const std::shared_ptr<VstModule>& module, double seconds) {
    Run fastest;
    for (int i = 0; i < 5; ++i) {
        const Run run =
            renderHeld(module, Params(), std::vector<int>(), 512, seconds, kIdleSettle);
        if (run.ok && (!fastest.ok || run.cpuSeconds < fastest.cpuSeconds)) fastest = run;
    }
    return fastest.ok ? fastest.corePercent() : -1.0;
}

void benchIdle(const std::shared_ptr<VstModule>& ours, const std::shared_ptr<VstModule>& peer,
               double seconds) {
    std::printf("Idle, no note, start-up sounds, block 512 (target: ours <= %.2f %% of a core "
                "and <= peer + %.2f %%)\n", kIdleTarget, kIdleOverPeer);
    const double a = idleCost(ours, seconds);
    if (a < 0.0) return;
    const double b = peer ? idleCost(peer, seconds) : -1.0;
    std::printf("ours  %8.3f %% of a core%s\n", a, a <= kIdleTarget ? "" : "   (above the target)");
    if (b < 0.0) {
        std::printf("\n");
        return;
    }
    std::printf("peer  %8.3f %% of a core\n", b);
    const bool met = a <= kIdleTarget && a <= b + kIdleOverPeer;
    std::printf("idle  %s\n\n", met ? "within the target" : "ABOVE the target");
}

// The start-up sound at block 64 with a burst of sixteen note-ons in one block every
// second (released 0.7 s later): the dearest block against the median block, each timed
// on its own (thread CPU time). The quickest of three runs is kept for each figure. On a
// shared machine a single interrupted block decides that worst block in every run, so the
// same figures follow from each block's quickest time over the three runs as well: the
// blocks are the same work in every run, and what a block costs of itself is in each run.
bool burstCounts = false;
bool burstSteady = false;  // count the block before each burst instead

void benchBursts(const std::shared_ptr<VstModule>& module, const char* name, double seconds) {
    constexpr int block = 64;
    const int64_t blocks = (int64_t)(seconds * kRate) / block;
    const int64_t period = (int64_t)kRate / block;  // blocks per second
    const int64_t release = (int64_t)(0.7 * kRate) / block;
    double worst = 0.0, median = 0.0;
    int64_t worstAt = 0;  // the block of that worst run's dearest block
    std::vector<double> quickest((size_t)blocks, 0.0);  // each block's, over the runs
    for (int run = 0; run < 3; ++run) {
        std::unique_ptr<VstPlugin> plugin = startInstance(module, Params(), block);
        if (!plugin) return;
        BlockBuffers io(block);
        std::vector<double> cost((size_t)blocks);
        EventList events;
        for (int64_t b = 0; b < blocks; ++b) {
            events.clear();
            const int64_t burst = b / period;
            if (b % period == 0)
                for (int i = 0; i < 16; ++i) events.add(0x90, 36 + 3 * i + (int)(burst % 3), 100);
            if (b % period == release)
                for (int i = 0; i < 16; ++i) events.add(0x80, 36 + 3 * i + (int)(burst % 3), 0);
            const double start = threadSeconds();
            // Under callgrind (--burst-child) only the burst blocks are counted (with
            // --steady, the block before each burst: sixteen voices in their release).
            const bool counted = burstCounts && b % period == (burstSteady ? period - 1 : 0);
            if (counted) TAV_COLLECT();
            if (!events.empty()) plugin->dispatch(effProcessEvents, 0, 0, events.get());
            io.render(*plugin);
            if (counted) TAV_COLLECT();
            cost[(size_t)b] = threadSeconds() - start;
            double& q = quickest[(size_t)b];
            if (run == 0 || cost[(size_t)b] < q) q = cost[(size_t)b];
        }
        plugin->suspend();
        plugin->close();
        std::vector<double> sorted = cost;
        std::nth_element(sorted.begin(), sorted.begin() + (long)(sorted.size() / 2), sorted.end());
        const double m = sorted[sorted.size() / 2];
        const auto dearest = std::max_element(cost.begin(), cost.end());
        const double w = *dearest;
        if (run == 0 || w < worst) {
            worst = w;
            worstAt = dearest - cost.begin();
        }
        if (run == 0 || m < median) median = m;
    }
    std::printf("%-5s worst block %7.1f us, median block %7.1f us, worst / median %.2f\n", name,
                1e6 * worst, 1e6 * median, median > 0.0 ? worst / median : 0.0);
    // A dearest block with neither a burst nor a release in it is most often time the
    // machine took from the thread (a virtual machine's stolen time counts as the thread's
    // own); the figures below, from each block's quickest run, leave such time out.
    const auto whatIn = [&](int64_t b) {
        const int64_t after = b % period;
        return after == 0         ? "a burst"
               : after == release ? "a release of sixteen notes"
                                  : "no burst or release";
    };
    std::printf("%-5s   (its block %lld: %s)\n", name, (long long)worstAt, whatIn(worstAt));
    if (quickest.empty()) return;
    std::vector<double> sorted = quickest;
    std::nth_element(sorted.begin(), sorted.begin() + (long)(sorted.size() / 2), sorted.end());
    const double m = sorted[sorted.size() / 2];
    const auto dearest = std::max_element(quickest.begin(), quickest.end());
    const double w = *dearest;
    const int64_t dearestAt = dearest - quickest.begin();
    std::printf("%-5s each block's quickest of 3: worst %7.1f us, median %7.1f us, "
                "worst / median %.2f (its block %lld: %s)\n",
                name, 1e6 * w, 1e6 * m, m > 0.0 ? w / m : 0.0, (long long)dearestAt,
                whatIn(dearestAt));
    // The first burst meets an instance that has rendered silence alone (its code and the
    // voices' state all cold); the later ones, voices in their release.
    std::vector<double> later;
    for (int64_t b = period; b < blocks; b += period) later.push_back(quickest[(size_t)b]);
    if (later.empty() || !(m > 0.0)) return;
    std::nth_element(later.begin(), later.begin() + (long)(later.size() / 2), later.end());
    const double l = later[later.size() / 2];
    std::printf("%-5s first burst %7.1f us (%.2f x median), later bursts' median %7.1f us "
                "(%.2f x median)\n",
                name, 1e6 * quickest[0], quickest[0] / m, 1e6 * l, l / m);
}

// The first burst alone, over many fresh instances (each after its pre-roll of silence):
// quicker and steadier than one 10 s render's block 0, for weighing a change against it.
// Each instance is measured twice over: as made (its code, the process's tables and its own
// state all as making it left them), and after a second instance, made after it, has just
// taken the same burst and the first has rendered a block of silence. The second case finds
// the code and the process's tables in the caches, and the first instance's state written at
// a note start not; the gap is what the cold code and tables cost the first burst. (Where
// tavrolune-page-touch finds the first read of a large page beside mapping churn dear, part
// of the gap is the first read of the filter tables' page, not of its cache lines.)
// The synths (ours, then the peer or another build) take turns instance by instance, so that
// a slow spell of a shared machine falls on all of them alike; with two builds of ours, the
// ratio of their medians follows.
void benchFirstBursts(const NamedSynths& synths, int instances, bool sameSynth) {
    constexpr int block = 64;
    struct Cases {
        std::vector<double> cold, warmed;
    };
    std::vector<Cases> cases(synths.size());
    for (int k = 0; k < 2 * instances; ++k) {
        const bool warm = k % 2 == 1;  // the two cases take turns
        for (size_t s = 0; s < synths.size(); ++s) {
            const std::shared_ptr<VstModule>& module = synths[s].second;
            std::unique_ptr<VstPlugin> plugin = startInstance(module, Params(), block);
            if (!plugin) return;
            BlockBuffers io(block);
            EventList events;  // the first burst of benchBursts
            for (int i = 0; i < 16; ++i) events.add(0x90, 36 + 3 * i, 100);
            std::unique_ptr<VstPlugin> other;
            if (warm) {
                other = startInstance(module, Params(), block);
                if (!other) return;
                other->dispatch(effProcessEvents, 0, 0, events.get());
                io.render(*other);
                io.render(*plugin);
            }
            const double start = threadSeconds();
            plugin->dispatch(effProcessEvents, 0, 0, events.get());
            io.render(*plugin);
            (warm ? cases[s].warmed : cases[s].cold).push_back(threadSeconds() - start);
        }
    }
    const auto quartiles = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        std::printf("median %7.1f us (quartiles %.1f, %.1f)", 1e6 * v[n / 2], 1e6 * v[n / 4],
                    1e6 * v[(3 * n) / 4]);
        return v[n / 2];
    };
    std::vector<double> made(synths.size()), warmed(synths.size());
    for (size_t s = 0; s < synths.size(); ++s) {
        const char* name = synths[s].first;
        std::printf("%-5s first burst, %d instances: as made ", name, instances);
        made[s] = quartiles(cases[s].cold);
        std::printf("\n%-5s   code and tables warmed by another instance ", name);
        warmed[s] = quartiles(cases[s].warmed);
        std::printf("\n%-5s   cold code and tables: %.1f us\n", name, 1e6 * (made[s] - warmed[s]));
    }
    if (sameSynth && synths.size() == 2 && made[1] > 0.0 && warmed[1] > 0.0)
        std::printf("first / second build: as made %.3f, warmed %.3f\n", made[0] / made[1],
                    warmed[0] / warmed[1]);
}

// --- interleaved ratios --------------------------------------------------------------------

// Ours and the peer in turn, three pairs (or --pairs); the median of the pair ratios holds
// when the machine's speed drifts during the run. The lowest and highest pair ratio come
// with it: on a shared machine a pair that met load on one side only can move the ratio by
// more than the margin a target leaves, and the spread tells how far to trust the median.
int ratioPairs = 3;
struct PairRatios {
    double median = 0.0, lowest = 0.0, highest = 0.0;
};
PairRatios interleavedRatio(const std::shared_ptr<VstModule>& ours, const Params& params,
                            const std::vector<int>& ourKeys, const std::shared_ptr<VstModule>& peer,
                            const std::vector<int>& peerKeys, double seconds,
                            const Params& peerParams = Params()) {
    std::vector<double> ratios((size_t)ratioPairs);
    for (double& r : ratios) {
        const Run a = renderHeld(ours, params, ourKeys, 512, seconds);
        const Run b = renderHeld(peer, peerParams, peerKeys, 512, seconds);
        if (!a.ok || !b.ok || !(b.cpuSeconds > 0.0)) return {};
        r = a.cpuSeconds / b.cpuSeconds;
    }
    std::sort(ratios.begin(), ratios.end());
    return {ratios[ratios.size() / 2], ratios.front(), ratios.back()};
}

// The chord's modulation route (--route): slot 1's parameters, or none.
Params chordRoute;
std::string chordRouteText;  // SRC,DEST[,AMOUNT] as given

void benchRatios(const std::shared_ptr<VstModule>& ours, const std::shared_ptr<VstModule>& peer,
                 double seconds, bool samePatches) {
    if (!peer) {
        std::printf("no peer synth: no ratios\n");
        return;
    }
    // With samePatches: two builds of this plug-in, each case against itself (no targets).
    std::printf("Interleaved time ratios, %s, block 512, median of %d pairs (lowest to highest pair)\n",
                samePatches ? "first build / second" : "ours / peer", ratioPairs);
    const auto row = [samePatches](const std::string& name, PairRatios r, const char* target) {
        if (samePatches)
            std::printf("%-22s %8.3f   (%.3f to %.3f)\n", name.c_str(), r.median, r.lowest,
                        r.highest);
        else
            std::printf("%-22s %8.2f   (%.2f to %.2f; %s)\n", name.c_str(), r.median, r.lowest,
                        r.highest, target);
    };
    row(chordRoute.empty() ? "8-note chord" : "8-note chord, route " + chordRouteText,
        interleavedRatio(ours, chordRoute, kChord, peer, kChord, seconds,
                         samePatches ? chordRoute : Params()),
        "target <= 1.0");
    const char* models[4] = {"Wire", "String", "FM", "Wave"};
    for (int m = 0; m < 4; ++m) {
        const Params patch = modelPatch(m);
        row(std::string("16 x 3 ") + models[m],
            interleavedRatio(ours, patch, spreadNotes(16), peer, spreadNotes(16), seconds,
                             samePatches ? patch : Params()),
            "target <= 1.5, against 16 notes");
    }
    std::printf("\n");
}

// --- callgrind counts ----------------------------------------------------------------------

// The index of a model name ("Wire", "String", "FM", "Wave"), -1 for none.
int modelIndex(const std::string& name) {
    const char* models[4] = {"Wire", "String", "FM", "Wave"};
    for (int m = 0; m < 4; ++m)
        if (name == models[m]) return m;
    return -1;
}

// The child side: render the chord (or, given a model, 16 voices x 3 layers of it; the peer
// gets 16 notes of its own start-up sound) once with collection switched on around it alone.
int callgrindChild(const std::shared_ptr<VstModule>& module, double seconds, int model,
                   bool peer) {
    const Run run =
        model < 0 ? renderHeld(module, peer ? Params() : chordRoute, kChord, 512, seconds, 0.0, true)
                  : renderHeld(module, peer ? Params() : modelPatch(model), spreadNotes(16), 512,
                               seconds, 0.0, true);
    return run.ok ? 0 : 1;
}

struct Counts {
    bool ok = false;
    double ir = 0, d1 = 0, i1 = 0, bm = 0;
    std::string d1Cache;  // the simulated L1 data cache, as callgrind describes it
};

// The totals of one callgrind output file, per output sample of `frames`.
Counts readCounts(const std::string& path, int64_t frames) {
    Counts c;
    FILE* f = std::fopen(path.c_str(), "r");
    std::vector<std::string> names;
    std::vector<double> totals;
    char line[4096];
    while (f && std::fgets(line, sizeof line, f)) {
        const std::string l = line;
        if (l.rfind("desc: D1 cache:", 0) == 0) c.d1Cache = l.substr(16, l.find('\n') - 16);
        const bool events = l.rfind("events:", 0) == 0;
        const bool sums = l.rfind("totals:", 0) == 0 || l.rfind("summary:", 0) == 0;
        if (!events && !sums) continue;
        size_t pos = l.find(':') + 1;
        std::vector<std::string> words;
        while (pos < l.size()) {
            const size_t end = l.find_first_of(" \n", pos);
            if (end != pos) words.push_back(l.substr(pos, end == std::string::npos ? end : end - pos));
            if (end == std::string::npos) break;
            pos = end + 1;
        }
        if (events) names = words;
        else {
            totals.clear();
            for (const std::string& w : words) totals.push_back(std::atof(w.c_str()));
        }
    }
    if (f) std::fclose(f);
    auto value = [&](const char* name) {
        for (size_t i = 0; i < names.size() && i < totals.size(); ++i)
            if (names[i] == name) return totals[i];
        return 0.0;
    };
    c.ir = value("Ir") / (double)frames;
    c.d1 = (value("D1mr") + value("D1mw")) / (double)frames;
    c.i1 = value("I1mr") / (double)frames;
    c.bm = (value("Bcm") + value("Bim")) / (double)frames;
    c.ok = !totals.empty() && frames > 0;
    return c;
}

// The output samples rendered up to the end of second k (whole blocks of 512: a second's
// counts are written after the block that ends in it or past it).
int64_t framesThrough(double k) { return ((int64_t)(k * kRate) + 511) / 512 * 512; }

// Runs this program under callgrind for one plug-in and reads the totals of its output: one
// entry for the whole render, or with eachSecond one per second of it.
std::vector<Counts> callgrindCounts(const std::string& self, const std::string& plugin,
                                    double seconds, const std::string& model, bool peer,
                                    const std::string& d1, bool eachSecond) {
    std::vector<Counts> counts;
    char out[] = "/tmp/tavrolune-callgrind-XXXXXX";
    const int fd = mkstemp(out);
    if (fd < 0) return counts;
    close(fd);
    const std::string secs = std::to_string(seconds);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string file = std::string("--callgrind-out-file=") + out;
        // (an empty --D1 would be refused: the cache option is repeated instead)
        const std::string cache = d1.empty() ? "--cache-sim=yes" : "--D1=" + d1;
        std::vector<const char*> args = {
            "valgrind", "--tool=callgrind", "--cache-sim=yes", cache.c_str(), "--branch-sim=yes",
            "--collect-atstart=no", "-q", file.c_str(), self.c_str(), plugin.c_str(),
            "--callgrind-child", "--seconds", secs.c_str(), "--model",
            model.empty() ? "-" : model.c_str(), peer ? "--as-peer" : "--as-ours"};
        if (eachSecond) args.push_back("--per-second");
        if (!chordRouteText.empty()) {
            args.push_back("--route");
            args.push_back(chordRouteText.c_str());
        }
        args.push_back(nullptr);
        execvp("valgrind", const_cast<char* const*>(args.data()));
        _exit(127);
    }
    int status = 0;
    const bool ran =
        pid >= 0 && waitpid(pid, &status, 0) >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // (Each dump goes to OUT.1, OUT.2, ...; the end of the program writes OUT itself, which
    // holds the last part of a second when the render ends within one.)
    const int seconds1 = (int)std::ceil(seconds);
    for (int k = 1; k <= seconds1 && eachSecond; ++k) {
        std::string path = std::string(out) + "." + std::to_string(k);
        if (k == seconds1 && !std::filesystem::exists(path)) path = out;
        if (ran)
            counts.push_back(readCounts(path, framesThrough(std::min<double>(k, seconds)) -
                                                  framesThrough(k - 1)));
        if (path != out) std::remove(path.c_str());
    }
    if (ran && !eachSecond) counts.push_back(readCounts(out, framesThrough(seconds)));
    std::remove(out);
    return counts;
}

// With eachSecond, one row per second of the render for each synth.
void benchCallgrind(const std::string& self, const std::string& ours, const std::string& peer,
                    double seconds, const std::string& model, const std::string& d1,
                    bool eachSecond) {
    if (model.empty())
        std::printf("8-note chord, start-up sounds%s%s, block 512, %.2f s: callgrind counts per "
                    "output sample (collection around the rendering only)\n",
                    chordRoute.empty() ? "" : ", ours with route ", chordRouteText.c_str(), seconds);
    else
        std::printf("16 voices x 3 layers of %s (peer: 16 notes), block 512, %.2f s: callgrind "
                    "counts per output sample (collection around the rendering only)\n",
                    model.c_str(), seconds);
    std::printf("%-9s %12s %12s %12s %12s\n", "", "instr", "L1D misses", "L1I misses",
                "mispredicts");
    const std::pair<const char*, std::string> runs[2] = {{"ours", ours}, {"peer", peer}};
    std::string cache;
    for (const auto& r : runs) {
        if (r.second.empty() || !std::filesystem::exists(r.second)) continue;
        const std::vector<Counts> counts =
            callgrindCounts(self, r.second, seconds, model, &r == &runs[1], d1, eachSecond);
        if (counts.empty() || !counts[0].ok) {
            std::printf("%-9s callgrind failed (is valgrind installed?)\n", r.first);
            continue;
        }
        for (size_t k = 0; k < counts.size(); ++k) {
            const Counts& c = counts[k];
            const std::string name =
                eachSecond ? std::string(r.first) + " s" + std::to_string(k + 1) : r.first;
            std::printf("%-9s %12.0f %12.1f %12.1f %12.1f\n", name.c_str(), c.ir, c.d1, c.i1,
                        c.bm);
        }
        cache = counts[0].d1Cache;
    }
    if (!cache.empty()) std::printf("simulated L1 data cache: %s\n", cache.c_str());
    std::printf("\n");
}
}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath = TAV_PLUGIN_PATH;
    std::string peerPath = "/usr/lib/vst/amsynth_vst.so";
    double seconds = 10.0;
    std::string onlyModel;
    bool mainOnly = false;
    bool chordOnly = false;
    bool idleOnly = false;
    bool perSecond = false;
    int firstBursts = 0;
    bool ratioOnly = false;
    bool samePatches = false;
    bool callgrind = false;
    bool callgrindChildRun = false;
    std::string d1Spec;  // --d1: the simulated L1 data cache, callgrind's SIZE,ASSOC,LINE
    bool secondsGiven = false;
    bool asPeer = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
            secondsGiven = true;
        } else if (a == "--ratio") {
            ratioOnly = true;
        } else if (a == "--same-patches") {
            samePatches = true;
        } else if (a == "--pairs" && i + 1 < argc) {
            ratioPairs = std::max(1, std::atoi(argv[++i]) | 1);  // odd: a middle ratio
        } else if (a == "--callgrind") {
            callgrind = true;
        } else if (a == "--d1" && i + 1 < argc) {
            // KB,WAYS as callgrind's SIZE,ASSOC,LINE
            const std::string geometry = argv[++i];
            const size_t comma = geometry.find(',');
            const long kb = std::atol(geometry.c_str());
            const long ways = comma == std::string::npos ? 0 : std::atol(geometry.c_str() + comma + 1);
            if (kb <= 0 || ways <= 0) {
                std::fprintf(stderr, "--d1 wants KB,WAYS (e.g. 48,12)\n");
                return 1;
            }
            d1Spec = std::to_string(kb * 1024) + "," + std::to_string(ways) + ",64";
        } else if (a == "--callgrind-child") {
            callgrindChildRun = true;
        } else if (a == "--first-bursts" && i + 1 < argc) {
            firstBursts = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--route" && i + 1 < argc) {
            int src = 0, dest = 0;
            float amount = 0.75f;
            if (std::sscanf(argv[++i], "%d,%d,%f", &src, &dest, &amount) < 2) {
                std::fprintf(stderr, "--route takes SRC,DEST[,AMOUNT]\n");
                return 2;
            }
            chordRoute = modSlotParams(0, src, dest, amount);
            chordRouteText = argv[i];
        } else if (a == "--burst-child") {
            burstCounts = true;
        } else if (a == "--steady") {
            burstSteady = true;
        } else if (a == "--model" && i + 1 < argc) {
            onlyModel = argv[++i];
        } else if (a == "--as-peer" || a == "--as-ours") {
            asPeer = a == "--as-peer";
        } else if (a == "--main") {
            mainOnly = true;
        } else if (a == "--chord") {
            chordOnly = true;
        } else if (a == "--per-second") {
            perSecond = true;
        } else if (a == "--idle") {
            idleOnly = true;
        } else if (positional == 0) {
            pluginPath = a;
            ++positional;
        } else {
            peerPath = a;
            ++positional;
        }
    }
    if (!(seconds > 0.0)) seconds = 10.0;
    if (callgrind && !secondsGiven) seconds = 1.0;

    // Plug-ins write settings under the user's folders: keep them in a scratch home.
    const std::string home =
        (std::filesystem::temp_directory_path() / "tavrolune-bench-home").string();
    for (const char* sub : {"", "/.config", "/.local/share", "/.cache"})
        std::filesystem::create_directories(home + sub);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);

    std::string error;
    if (callgrind) {
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        if (!onlyModel.empty() && modelIndex(onlyModel) < 0) {
            std::fprintf(stderr, "unknown model %s\n", onlyModel.c_str());
            return 1;
        }
        benchCallgrind(self, pluginPath,
                       std::filesystem::exists(peerPath) ? peerPath : std::string(), seconds,
                       onlyModel, d1Spec, perSecond);
        return 0;
    }
    std::shared_ptr<VstModule> ours = VstModule::open(pluginPath, error);
    if (!ours) {
        std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), error.c_str());
        return 1;
    }
    if (callgrindChildRun) {
        countedDumpsEachSecond = perSecond;
        return callgrindChild(ours, seconds, modelIndex(onlyModel), asPeer);
    }
    if (burstCounts) {
        benchBursts(ours, "ours", seconds);
        return 0;
    }
    if (firstBursts > 0) {
        NamedSynths synths = {{"ours", ours}};
        std::string ignored;
        if (std::filesystem::exists(peerPath))
            if (std::shared_ptr<VstModule> peer = VstModule::open(peerPath, ignored))
                synths.push_back({"peer", peer});
        benchFirstBursts(synths, firstBursts, samePatches);
        return 0;
    }
    std::printf("Render cost: %.0f s at %.0f Hz, held notes, one per voice\n", seconds, kRate);
    std::printf("plug-in: %s\n\n", pluginPath.c_str());

    std::shared_ptr<VstModule> peerForChord;
    if (std::filesystem::exists(peerPath)) peerForChord = VstModule::open(peerPath, error);
    if (perSecond) {
        if (peerForChord)
            benchChordSeconds({{"ours", ours}, {"peer", peerForChord}}, seconds);
        else
            benchChordSeconds({{"ours", ours}}, seconds);
        return 0;
    }
    if (idleOnly) {
        benchIdle(ours, peerForChord, seconds);
        return 0;
    }
    if (ratioOnly) {
        benchRatios(ours, peerForChord, seconds, samePatches);
        return 0;
    }
    if (onlyModel.empty()) {
        benchIdle(ours, peerForChord, seconds);
        benchChord(ours, peerForChord, seconds);
        std::printf("Bursts of 16 note-ons in one block, start-up sounds, block 64 "
                    "(target: worst <= 3 x median)\n");
        benchBursts(ours, "ours", seconds);
        if (peerForChord) benchBursts(peerForChord, "peer", seconds);
        std::printf("\n");
    }
    if (chordOnly) return 0;

    const char* models[4] = {"Wire", "String", "FM", "Wave"};
    double ourLayerVoice[2] = {0.0, 0.0};  // worst model, per block size (share of a core)
    std::printf("%-7s %5s %7s %9s %8s %14s %10s\n", "model", "block", "voices", "RT factor",
                "% core", "ns/sample", "out RMS");
    for (int m = 0; m < 4; ++m) {
        if (!onlyModel.empty() && onlyModel != models[m]) continue;
        for (int b = 0; b < 2; ++b) {
            Run runs[3];
            for (int k = 0; k < 3; ++k) {
                runs[k] = best(ours, modelPatch(m), kVoiceCounts[k], kBlocks[b], seconds);
                if (!runs[k].ok) return 1;
                std::printf("%-7s %5d %7d %9.1f %8.2f %14.0f %10.4f\n", models[m], kBlocks[b],
                            kVoiceCounts[k] * 3, runs[k].realTime(), runs[k].corePercent(),
                            nsPerSample(runs[k].cpuSeconds / runs[k].audioSeconds), runs[k].rms);
            }
            const double perLayerVoice = slope(runs) / 3.0;
            ourLayerVoice[b] = std::max(ourLayerVoice[b], perLayerVoice);
            std::printf("%-7s %5d  one layer-voice: %.3f %% of a core, %.1f ns per sample%s\n",
                        models[m], kBlocks[b], 100.0 * perLayerVoice, nsPerSample(perLayerVoice),
                        runs[2].corePercent() < 3.5 ? "" : "   (16 x 3 above 3.5 % of a core)");
        }
        std::printf("\n");
    }
    std::printf("16 voices x 3 layers are shown as voices = 48 above.\n\n");
    if (onlyModel.empty() || onlyModel == "Wave") benchWave24(ours, seconds);
    if (mainOnly) return 0;
    benchFullPatch(ours, seconds, onlyModel);
    benchModPatch(ours, seconds, onlyModel);

    if (!std::filesystem::exists(peerPath)) {
        std::printf("peer synth %s is not installed: no comparison (apt-get install amsynth)\n",
                    peerPath.c_str());
        return 0;
    }
    std::shared_ptr<VstModule> peer = VstModule::open(peerPath, error);
    if (!peer) {
        std::printf("peer synth %s could not be loaded (%s): no comparison\n", peerPath.c_str(),
                    error.c_str());
        return 0;
    }
    std::printf("peer: %s (its own default patch)\n", peerPath.c_str());
    std::printf("%-7s %5s %7s %9s %8s %14s %10s\n", "", "block", "voices", "RT factor", "% core",
                "ns/sample", "out RMS");
    for (int b = 0; b < 2; ++b) {
        Run runs[3];
        for (int k = 0; k < 3; ++k) {
            runs[k] = best(peer, Params(), kVoiceCounts[k], kBlocks[b], seconds);
            if (!runs[k].ok) return 1;
            std::printf("%-7s %5d %7d %9.1f %8.2f %14.0f %10.4f\n", "peer", kBlocks[b],
                        kVoiceCounts[k], runs[k].realTime(), runs[k].corePercent(),
                        nsPerSample(runs[k].cpuSeconds / runs[k].audioSeconds), runs[k].rms);
        }
        // A synth that caps its polyphony below 16 voices makes the 16-voice run cheap; the
        // slope over 1 and 4 voices is the fair figure then.
        const double s14 = (runs[1].cpuSeconds / runs[1].audioSeconds -
                            runs[0].cpuSeconds / runs[0].audioSeconds) / 3.0;
        const double s = slope(runs);
        const bool capped = runs[2].cpuSeconds / runs[2].audioSeconds <
                            0.8 * (runs[0].cpuSeconds / runs[0].audioSeconds + 15.0 * s14);
        const double perVoice = capped ? s14 : s;
        std::printf("peer    %5d  one voice: %.3f %% of a core, %.1f ns per sample%s\n", kBlocks[b],
                    100.0 * perVoice, nsPerSample(perVoice),
                    capped ? " (16 voices cost less than expected: polyphony capped; slope of 1-4)"
                           : "");
        std::printf("ratio   %5d  our dearest layer-voice / peer voice = %.2f\n\n", kBlocks[b],
                    perVoice > 0.0 ? ourLayerVoice[b] / perVoice : 0.0);
    }
    return 0;
}
