// Shared helpers of the engine tests: rendering MIDI through the built plug-in with the
// offline host library, and an in-process plug-in that a test drives block by block while
// it looks at the engine's state.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "hostlib/Renderer.h"
#include "hostlib/VstPluginLoader.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"
#include "support/host_test_support.h"

namespace enginetest {

constexpr double kPi = 3.14159265358979323846;
using Params = std::vector<std::pair<int, float>>;

// Stepped values as the parameter model stores them: (index + 0.1) / range.
inline float stepped(int index, float range) { return ((float)index + 0.1f) / range; }
inline float playModeValue(int mode) { return stepped(mode, 8.99f); }
inline float portModeValue(int mode) { return stepped(mode, 4.99f); }
inline float sourceValue(int model) { return stepped(model, 3.99f); }  // Wire, String, FM, Wave
inline float waveValue(int w) { return ((float)w + 0.1f) / 5.0f; }     // Sine .. Pink
inline float bendRangeValue(int index) { return stepped(index, 15.99f); }

// Layer 1 alone as a Wave oscillator of the given shape (0 sine, 1 saw, 2 square), an
// instant Amp attack and full sustain, no velocity split, the brick filter and the
// effects off.
inline Params plainWave(int shape = 0) {
    return {{LAYER_ON_TAGS[0], 1.0f},       {LAYER_ON_TAGS[1], 0.0f},   {LAYER_ON_TAGS[2], 0.0f},
            {LAYER_SOURCE_TAGS[0], sourceValue(3)}, {WAVE_TAGS[0], waveValue(shape)},
            {FREE_ON_TAGS[0], 0.0f},        {DRIFT_ON_TAGS[0], 0.0f},   {5, 0.0f},
            {7, 1.0f},                      {541, 0.0f},                {1018, 0.0f},
            {554, 0.0f},                    {346, 0.0f},                {348, 0.0f},
            {351, 0.0f},                    {354, 0.0f}};
}

inline Params with(Params base, const Params& more) {
    for (const auto& kv : more) base.push_back(kv);
    return base;
}

inline tavhost::TimedMidiEvent midi(int64_t frame, uint8_t status, uint8_t a, uint8_t b) {
    tavhost::TimedMidiEvent e;
    e.frame = frame;
    e.bytes[0] = status;
    e.bytes[1] = a;
    e.bytes[2] = b;
    return e;
}

struct Rendered {
    std::vector<float> left, right;
    bool clean = false;
    std::string faults;
};

struct HostRun {
    double rate = 48000.0;
    int32_t block = 256;
    uint32_t randomBlockSeed = 0;
    double tempo = 120.0;
    // Called before each block with its first frame (the 8192-frame pre-roll included).
    std::function<void(tavhost::VstPlugin&, int64_t frame, int32_t frames)> beforeBlock;
};

// Renders the events through a fresh instance of the built plug-in, the parameters set
// before it is resumed. The result starts at frame 0 of the events (the pre-roll is cut).
inline Rendered render(const Params& params, const std::vector<tavhost::TimedMidiEvent>& events,
                       int64_t frames, const HostRun& run = HostRun()) {
    Rendered out;
    std::string error;
    std::unique_ptr<tavhost::VstPlugin> plugin =
        tavhost::VstPlugin::load(TAV_PLUGIN_PATH, tavhost::HostIdentity(), error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return out;
    tavhost::RenderOptions ro;
    ro.sampleRate = run.rate;
    ro.blockSize = run.block;
    ro.randomBlockSeed = run.randomBlockSeed;
    ro.tempo = run.tempo;
    ro.lengthFrames = frames;
    ro.beforeBlock = run.beforeBlock;
    ro.beforeResume = [&](tavhost::VstPlugin& p, std::string&) {
        for (const auto& kv : params) p.setParameter(kv.first, kv.second);
        return true;
    };
    tavhost::RenderResult rr;
    EXPECT_TRUE(tavhost::renderSession(*plugin, events, ro, rr, error)) << error;
    if (rr.audio.size() < 2) return out;
    out.left = rr.audio[0];
    out.right = rr.audio[1];
    out.clean = rr.clean();
    for (const auto& f : rr.faults) out.faults += f.describe() + " ";
    return out;
}

// First index at or after `from` whose magnitude exceeds the threshold; -1 when none.
inline int64_t firstAbove(const std::vector<float>& x, float threshold, size_t from = 0) {
    for (size_t i = from; i < x.size(); ++i)
        if (std::fabs(x[i]) > threshold) return (int64_t)i;
    return -1;
}

inline double rms(const std::vector<float>& x, size_t start, size_t n) {
    double s = 0.0;
    size_t count = 0;
    for (size_t i = start; i < start + n && i < x.size(); ++i, ++count) s += (double)x[i] * x[i];
    return count ? std::sqrt(s / (double)count) : 0.0;
}

inline double peak(const std::vector<float>& x, size_t start, size_t n) {
    double p = 0.0;
    for (size_t i = start; i < start + n && i < x.size(); ++i) p = std::fmax(p, std::fabs(x[i]));
    return p;
}

// Hann-windowed DFT of x[start .. start + n) at frequency f.
inline std::complex<double> dft(const std::vector<float>& x, size_t start, size_t n, double f,
                                double rate) {
    std::complex<double> acc = 0.0;
    const double w = 2.0 * kPi * f / rate;
    for (size_t i = 0; i < n && start + i < x.size(); ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * (double)i / (double)n);
        const double t = (double)(start + i);
        acc += hann * (double)x[start + i] * std::complex<double>(std::cos(w * t), -std::sin(w * t));
    }
    return acc;
}

inline double amplitudeAt(const std::vector<float>& x, size_t start, size_t n, double f,
                          double rate) {
    return std::abs(dft(x, start, n, f, rate)) * 4.0 / (double)n;
}

// Frequency of a clean tone in x[start .. start + n): upward zero crossings, interpolated.
inline double zeroCrossingFrequency(const std::vector<float>& x, size_t start, size_t n,
                                    double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = start + 1; i < start + n && i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = (double)(i - 1) + (double)(-x[i - 1]) / (double)(x[i] - x[i - 1]);
            if (first < 0.0) first = t; else ++crossings;
            last = t;
        }
    }
    if (crossings < 1) return 0.0;
    return rate * (double)crossings / (last - first);
}

inline double cents(double f, double ref) { return 1200.0 * std::log2(f / ref); }

// Frequency of MIDI note n by the voice pitch formulas: 110 Hz at note 57.
inline double formulaFrequency(double note) { return 110.0 * std::exp2((note - 57.0) / 12.0); }

// An in-process plug-in: MIDI goes in through processEvents, audio comes out of
// processReplacing, and the test reads the engine state in between.
class Engine {
public:
    Engine() {
        harness_ = std::make_unique<PluginHarness>();
        p().setSampleRate(48000.0f);
        // Past the first program boundary, so the start-up program is applied.
        render(4096);
    }
    // An engine with `params` set and seen by a first run of `settle` samples.
    explicit Engine(const Params& params, int settle = 16) : Engine() {
        set(params);
        render(settle);
    }
    APlugin& p() { return harness_->plugin(); }
    PluginHarness& harness() { return *harness_; }

    // Sets parameters and lets the control block see them.
    void set(const Params& params) {
        for (const auto& kv : params) p().setParameter(kv.first, kv.second);
        p().forceControlUpdate = 1;
    }

    void send(std::vector<std::vector<uint8_t>> messages, int delta = 0) {
        std::vector<VstMidiEvent> events(messages.size());
        std::vector<VstEvent*> pointers;
        for (size_t i = 0; i < messages.size(); ++i) {
            VstMidiEvent& e = events[i];
            std::memset(&e, 0, sizeof(e));
            e.type = kVstMidiType;
            e.byteSize = sizeof(VstMidiEvent);
            e.deltaFrames = delta;
            for (size_t b = 0; b < messages[i].size() && b < 3; ++b) e.midiData[b] = (char)messages[i][b];
            pointers.push_back(reinterpret_cast<VstEvent*>(&e));
        }
        sendRaw(pointers);
    }
    void sendRaw(std::vector<VstEvent*>& pointers) {
        std::vector<unsigned char> buffer(sizeof(VstEvents) + sizeof(VstEvent*) * (pointers.size() + 2));
        VstEvents* list = reinterpret_cast<VstEvents*>(buffer.data());
        list->numEvents = (VstInt32)pointers.size();
        for (size_t i = 0; i < pointers.size(); ++i) list->events[i] = pointers[i];
        p().processEvents(list);
    }
    void noteOn(int note, int velocity = 100, int channel = 0, int delta = 0) {
        send({{(uint8_t)(0x90 | channel), (uint8_t)note, (uint8_t)velocity}}, delta);
    }
    void noteOff(int note, int channel = 0, int delta = 0) {
        send({{(uint8_t)(0x80 | channel), (uint8_t)note, 0}}, delta);
    }
    // A key pressed or released, then n samples rendered.
    std::vector<float> play(int note, int n = 1) { noteOn(note); return render(n); }
    std::vector<float> lift(int note, int n = 1) { noteOff(note); return render(n); }

    // Renders n samples in blocks; returns the left channel (right kept in lastRight).
    std::vector<float> render(int n, int block = 256) {
        std::vector<float> left;
        lastRight.clear();
        std::vector<float> inL(block, 0.0f), inR(block, 0.0f), outL(block), outR(block);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        while (n > 0) {
            const int m = n < block ? n : block;
            p().processReplacing(in, out, m);
            left.insert(left.end(), outL.begin(), outL.begin() + m);
            lastRight.insert(lastRight.end(), outR.begin(), outR.begin() + m);
            n -= m;
        }
        return left;
    }
    std::vector<float> lastRight;

private:
    std::unique_ptr<PluginHarness> harness_;
};

}  // namespace enginetest
