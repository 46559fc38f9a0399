#include "hostlib/LiveAudio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "hostlib/TextUtil.h"
#include "hostlib/Validator.h"

namespace tavhost {

LiveAudio::LiveAudio(VstPlugin& plugin, LiveAudioOptions options) : plugin_(plugin), options_(std::move(options)) {}

LiveAudio::~LiveAudio() { stop(); }

bool LiveAudio::start(std::string& error) {
    AEffect* e = plugin_.effect();
    if (!e || plugin_.isClosed() || !e->processReplacing) {
        error = "the plug-in cannot process";
        return false;
    }
    if (e->numOutputs < 1 || e->numOutputs > 64 || e->numInputs < 0 || e->numInputs > 64) {
        error = "the plug-in reports unusable pin counts";
        return false;
    }
    if (running()) return true;
    if (plugin_.isResumed()) plugin_.suspend();
    plugin_.setSampleRate(options_.sampleRate);
    plugin_.setBlockSize(options_.blockSize);
    plugin_.resume();
    plugin_.dispatch(effStartProcess);
    quit_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void LiveAudio::stop() {
    if (!thread_.joinable()) return;
    quit_ = true;
    thread_.join();
    plugin_.dispatch(effStopProcess);
    plugin_.suspend();
}

std::string LiveAudio::summary() const {
    std::string s = std::to_string(blocks()) + " blocks, " + std::to_string(eventsSent()) + " MIDI events, peak " +
                    formatFixed(peak(), 3);
    if (badSamples() > 0) s += ", " + std::to_string(badSamples()) + " NaN/infinite samples";
    return s;
}

void LiveAudio::run() {
    AEffect* e = plugin_.effect();
    const size_t numIn = (size_t)std::max<int32_t>(2, e->numInputs);
    const size_t numOut = (size_t)e->numOutputs;
    const int32_t n = options_.blockSize;
    std::vector<std::vector<float>> in(numIn, std::vector<float>((size_t)n, 0.0f));
    std::vector<std::vector<float>> out(numOut, std::vector<float>((size_t)n, 0.0f));
    std::vector<float*> inPtr(numIn), outPtr(numOut);
    for (size_t c = 0; c < numIn; ++c) inPtr[c] = in[c].data();
    for (size_t c = 0; c < numOut; ++c) outPtr[c] = out[c].data();

    const double rate = options_.sampleRate;
    const int64_t loop = std::max<int64_t>(n, (int64_t)std::llround(options_.loopSeconds * rate));
    std::vector<TimedMidiEvent> phrase;
    if (options_.notes) phrase = validationPhrase(rate, options_.loopSeconds * 0.9);
    std::vector<VstMidiEvent> midi(phrase.size() + 1);
    std::vector<uint64_t> store(2 + phrase.size() + 1);
    auto* events = reinterpret_cast<VstEvents*>(store.data());
    // The pointer array that follows numEvents and reserved (numEvents entries long).
    VstEvent** list = reinterpret_cast<VstEvent**>(store.data() + 2);

    HostContext& host = plugin_.host();
    VstTimeInfo& ti = host.timeInfo();
    auto due = std::chrono::steady_clock::now();
    const auto period = std::chrono::duration<double>((double)n / rate);
    float peak = 0.0f;
    for (int64_t block = 0; !quit_.load(std::memory_order_relaxed); ++block) {
        const int64_t frame = block * n;
        if (options_.beforeBlock) options_.beforeBlock(plugin_, block);
        std::memset(&ti, 0, sizeof(ti));
        ti.samplePos = (double)frame;
        ti.sampleRate = rate;
        ti.tempo = 120.0;
        ti.ppqPos = (double)frame / rate * 2.0;
        ti.barStartPos = std::floor(ti.ppqPos / 4.0) * 4.0;
        ti.timeSigNumerator = ti.timeSigDenominator = 4;
        ti.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid |
                   (block == 0 ? kVstTransportChanged : 0);

        // The phrase's events that fall in this block, counted from the start of its loop.
        const int64_t start = frame % loop;
        int32_t count = 0;
        for (const TimedMidiEvent& ev : phrase) {
            const int64_t at = ev.frame % loop;
            const int64_t delta = at >= start ? at - start : at + loop - start;
            if (delta >= n) continue;
            VstMidiEvent& m = midi[(size_t)count];
            std::memset(&m, 0, sizeof(m));
            m.type = kVstMidiType;
            m.byteSize = (VstInt32)sizeof(VstMidiEvent);
            m.deltaFrames = (VstInt32)delta;
            for (int i = 0; i < 3; ++i) m.midiData[i] = (char)ev.bytes[i];
            list[count++] = reinterpret_cast<VstEvent*>(&m);
        }
        if (count > 0) {
            // Sorted by time, as hosts send them.
            std::stable_sort(list, list + count, [](VstEvent* a, VstEvent* b) {
                return a->deltaFrames < b->deltaFrames;
            });
            events->numEvents = count;
            events->reserved = 0;
            plugin_.dispatch(effProcessEvents, 0, 0, events);
            events_ += count;
        }
        for (auto& ch : out) std::fill(ch.begin(), ch.end(), 0.0f);
        plugin_.processReplacing(inPtr.data(), outPtr.data(), n);
        int64_t bad = 0;
        for (const auto& ch : out)
            for (float v : ch) {
                if (!std::isfinite(v)) ++bad;
                else peak = std::max(peak, std::fabs(v));
            }
        if (bad) bad_ += bad;
        peak_.store(peak, std::memory_order_relaxed);
        ++blocks_;
        if (options_.realTime) {
            due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
            const auto now = std::chrono::steady_clock::now();
            // A thread that fell far behind starts again from now instead of racing.
            if (due < now - std::chrono::milliseconds(200)) due = now;
            std::this_thread::sleep_until(due);
        }
    }
}

}  // namespace tavhost
