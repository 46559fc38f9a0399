// A host's audio thread for an instance whose editor is open: blocks rendered one after the
// other on a thread of their own, a looping phrase of notes sent before the blocks it falls
// in, the transport moving, every output sample checked. Real-time pacing sleeps until each
// block is due, as a sound card would ask for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "hostlib/VstPluginLoader.h"

namespace tavhost {

struct LiveAudioOptions {
    double sampleRate = 44100.0;
    int32_t blockSize = 256;
    bool realTime = true;
    bool notes = true;
    double loopSeconds = 2.0;
    // Called on the audio thread before each block (e.g. automation from the audio thread).
    std::function<void(VstPlugin&, int64_t block)> beforeBlock;
};

class LiveAudio {
public:
    explicit LiveAudio(VstPlugin& plugin, LiveAudioOptions options = LiveAudioOptions());
    ~LiveAudio();
    LiveAudio(const LiveAudio&) = delete;
    LiveAudio& operator=(const LiveAudio&) = delete;

    // Sets the rate and block size, resumes and starts the thread. False with a message.
    bool start(std::string& error);
    // Ends the thread, then stops processing and suspends.
    void stop();
    bool running() const { return thread_.joinable(); }

    int64_t blocks() const { return blocks_.load(); }
    int64_t badSamples() const { return bad_.load(); }  // NaN or infinite
    int64_t eventsSent() const { return events_.load(); }
    float peak() const { return peak_.load(); }
    // "N blocks, M events, peak P" or the fault.
    std::string summary() const;

private:
    void run();

    VstPlugin& plugin_;
    LiveAudioOptions options_;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<int64_t> blocks_{0};
    std::atomic<int64_t> bad_{0};
    std::atomic<int64_t> events_{0};
    std::atomic<float> peak_{0.0f};
};

}  // namespace tavhost
