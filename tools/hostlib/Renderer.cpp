#include "hostlib/Renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

namespace tavhost {

namespace {

// A quiet NaN with a payload no arithmetic produces: outputs are filled with it before
// each call, so a sample still holding it was never written.
constexpr uint32_t kUnwrittenBits = 0x7FC0DEADu;

float unwrittenPattern() {
    float f;
    std::memcpy(&f, &kUnwrittenBits, 4);
    return f;
}

bool isUnwritten(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits == kUnwrittenBits;
}

void scanFaults(const float* samples, int32_t frames, int64_t firstFrame, ChannelFaults& faults) {
    for (int32_t i = 0; i < frames; ++i) {
        float v = samples[i];
        bool bad = true;
        if (isUnwritten(v)) {
            ++faults.unwritten;
        } else {
            switch (std::fpclassify(v)) {
                case FP_NAN: ++faults.nan; break;
                case FP_INFINITE: ++faults.inf; break;
                case FP_SUBNORMAL: ++faults.subnormal; break;
                default: bad = false; break;
            }
        }
        if (bad && faults.firstBadFrame < 0) faults.firstBadFrame = firstFrame + i;
    }
}

void updateTransport(VstTimeInfo& ti, const TempoMap& map, double rate, int64_t frame,
                     int64_t preRoll, bool& wasPlaying, bool first) {
    bool playing = frame >= preRoll;
    int64_t musicFrame = playing ? frame - preRoll : 0;
    double seconds = (double)musicFrame / rate;
    double ppq = map.ppqAtSeconds(seconds);
    ti.samplePos = (double)musicFrame;
    ti.sampleRate = rate;
    ti.nanoSeconds = seconds * 1e9;
    ti.ppqPos = ppq;
    ti.tempo = map.bpmAtSeconds(seconds);
    ti.barStartPos = std::floor(ppq / 4.0) * 4.0;
    ti.cycleStartPos = 0.0;
    ti.cycleEndPos = 0.0;
    ti.timeSigNumerator = 4;
    ti.timeSigDenominator = 4;
    ti.smpteOffset = 0;
    ti.smpteFrameRate = 0;
    ti.samplesToNextClock = 0;
    int32_t flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                    kVstTimeSigValid;
    if (playing) flags |= kVstTransportPlaying;
    if (first || playing != wasPlaying) flags |= kVstTransportChanged;
    ti.flags = flags;
    wasPlaying = playing;
}

}  // namespace

std::string ChannelFaults::describe() const {
    if (clean()) return "clean";
    std::string s;
    auto add = [&](int64_t n, const char* what) {
        if (n == 0) return;
        if (!s.empty()) s += ", ";
        s += std::to_string(n) + " " + what;
    };
    add(nan, "NaN");
    add(inf, "infinite");
    add(subnormal, "subnormal");
    add(unwritten, "unwritten");
    s += " (first at frame " + std::to_string(firstBadFrame) + ")";
    return s;
}

ChannelLevels measureLevels(const std::vector<float>& samples) {
    ChannelLevels levels;
    double sum = 0.0;
    size_t counted = 0;
    for (float v : samples) {
        if (!std::isfinite(v)) continue;
        double a = std::fabs((double)v);
        if (a > levels.peak) levels.peak = a;
        sum += (double)v * v;
        ++counted;
    }
    levels.rms = counted ? std::sqrt(sum / (double)counted) : 0.0;
    return levels;
}

bool RenderResult::clean() const {
    for (const ChannelFaults& f : faults)
        if (!f.clean()) return false;
    return true;
}

bool renderSession(VstPlugin& plugin, const std::vector<TimedMidiEvent>& events,
                   const RenderOptions& options, RenderResult& result, std::string& error) {
    result = RenderResult();
    AEffect* effect = plugin.effect();
    if (!effect || plugin.isClosed()) {
        error = "the plug-in instance is closed";
        return false;
    }
    if (!(options.sampleRate > 0.0) || options.blockSize < 1 || options.preRollFrames < 0) {
        error = "bad render settings";
        return false;
    }
    if (!effect->processReplacing) {
        error = "the plug-in has no processReplacing";
        return false;
    }
    if (effect->numOutputs < 1 || effect->numOutputs > 64 || effect->numInputs < 0 ||
        effect->numInputs > 64) {
        error = "the plug-in reports " + std::to_string(effect->numInputs) + " inputs and " +
                std::to_string(effect->numOutputs) + " outputs";
        return false;
    }

    TempoMap constantTempo(options.tempo);
    const TempoMap& tempoMap = options.tempoMap ? *options.tempoMap : constantTempo;

    std::vector<TimedMidiEvent> sorted(events);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
    int64_t musicFrames = options.lengthFrames;
    if (musicFrames < 0) {
        int64_t last = sorted.empty() ? 0 : std::max<int64_t>(0, sorted.back().frame) + 1;
        double tail = std::max(0.0, options.tailSeconds) * options.sampleRate;
        musicFrames = last + (int64_t)std::llround(tail);
    }
    const int64_t preRoll = options.preRollFrames;
    const int64_t total = preRoll + musicFrames;

    // Session set-up, in a real host's order.
    if (plugin.isResumed()) plugin.suspend();
    plugin.open();
    plugin.setSampleRate(options.sampleRate);
    plugin.setBlockSize(options.blockSize);
    if (options.beforeResume && !options.beforeResume(plugin, error)) {
        if (options.closeWhenDone) plugin.close();
        return false;
    }
    plugin.resume();
    plugin.dispatch(effStartProcess);

    // Buffers. The plug-in may have changed its pin counts while resuming.
    const size_t numIn = (size_t)std::max<int32_t>(2, std::clamp<int32_t>(effect->numInputs, 0, 64));
    const size_t numOut = (size_t)std::clamp<int32_t>(effect->numOutputs, 1, 64);
    const size_t block = (size_t)options.blockSize;
    std::vector<std::vector<float>> inBuf(numIn, std::vector<float>(block, 0.0f));
    std::vector<std::vector<float>> outBuf(numOut, std::vector<float>(block, 0.0f));
    std::vector<float*> inPtr(numIn), outPtr(numOut);
    for (size_t c = 0; c < numIn; ++c) inPtr[c] = inBuf[c].data();
    for (size_t c = 0; c < numOut; ++c) outPtr[c] = outBuf[c].data();

    std::vector<VstMidiEvent> midi(sorted.size());
    // VstEvents ends in a pointer array of numEvents entries.
    std::vector<uint64_t> eventsStore(2 + std::max<size_t>(2, sorted.size()));
    VstEvents* vstEvents = reinterpret_cast<VstEvents*>(eventsStore.data());
    static_assert(offsetof(VstEvents, events) == 2 * sizeof(uint64_t), "VstEvents layout");

    int64_t keepFrom = options.keepPreRoll ? 0 : preRoll;
    result.audio.assign(2, std::vector<float>());
    result.audio[0].reserve((size_t)(total - keepFrom));
    result.audio[1].reserve((size_t)(total - keepFrom));
    result.faults.assign(numOut, ChannelFaults());

    std::mt19937 blockRng(options.randomBlockSeed);
    std::uniform_int_distribution<int32_t> blockDist(1, options.blockSize);
    const float fill = unwrittenPattern();
    size_t nextEvent = 0;
    bool wasPlaying = false;
    HostContext& host = plugin.host();
    host.setProcessLevel(kProcessLevelRealtime);

    auto started = std::chrono::steady_clock::now();
    for (int64_t frame = 0; frame < total;) {
        int32_t n = options.randomBlockSeed ? blockDist(blockRng) : options.blockSize;
        if ((int64_t)n > total - frame) n = (int32_t)(total - frame);
        if (options.beforeBlock) options.beforeBlock(plugin, frame, n);
        updateTransport(host.timeInfo(), tempoMap, options.sampleRate, frame, preRoll, wasPlaying,
                        frame == 0);

        int32_t count = 0;
        while (nextEvent < sorted.size()) {
            int64_t at = std::max<int64_t>(0, sorted[nextEvent].frame) + preRoll;
            if (at >= frame + n) break;
            VstMidiEvent& ev = midi[(size_t)count];
            std::memset(&ev, 0, sizeof(ev));
            ev.type = kVstMidiType;
            ev.byteSize = (VstInt32)sizeof(VstMidiEvent);
            ev.deltaFrames = (VstInt32)std::max<int64_t>(0, at - frame);
            const TimedMidiEvent& src = sorted[nextEvent];
            for (int i = 0; i < 3; ++i) ev.midiData[i] = (char)(i < src.size ? src.bytes[i] : 0);
            vstEvents->events[count] = reinterpret_cast<VstEvent*>(&ev);
            ++count;
            ++nextEvent;
        }
        if (count > 0) {
            vstEvents->numEvents = count;
            vstEvents->reserved = 0;
            plugin.dispatch(effProcessEvents, 0, 0, vstEvents);
            result.eventsSent += count;
        }

        for (size_t c = 0; c < numIn; ++c) std::fill(inBuf[c].begin(), inBuf[c].begin() + n, 0.0f);
        for (size_t c = 0; c < numOut; ++c) std::fill(outBuf[c].begin(), outBuf[c].begin() + n, fill);
        plugin.processReplacing(inPtr.data(), outPtr.data(), n);

        for (size_t c = 0; c < numOut; ++c) scanFaults(outBuf[c].data(), n, frame, result.faults[c]);
        int64_t from = std::max<int64_t>(frame, keepFrom) - frame;
        if (from < n) {
            const std::vector<float>& left = outBuf[0];
            const std::vector<float>& right = numOut > 1 ? outBuf[1] : outBuf[0];
            result.audio[0].insert(result.audio[0].end(), left.begin() + from, left.begin() + n);
            result.audio[1].insert(result.audio[1].end(), right.begin() + from, right.begin() + n);
        }
        frame += n;
        ++result.blocks;
    }
    auto finished = std::chrono::steady_clock::now();
    host.setProcessLevel(kProcessLevelUser);

    plugin.dispatch(effStopProcess);
    plugin.suspend();
    if (options.closeWhenDone) plugin.close();

    result.framesProcessed = total;
    result.wallSeconds = std::chrono::duration<double>(finished - started).count();
    double audioSeconds = (double)total / options.sampleRate;
    result.realTimeFactor = result.wallSeconds > 0.0 ? audioSeconds / result.wallSeconds : 0.0;
    return true;
}

}  // namespace tavhost
