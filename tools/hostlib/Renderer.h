// Offline rendering: drives one plug-in instance through a session the way a real host
// does (open, rate and block size, resume, start, blocks of events and audio, stop,
// suspend, close) and collects the stereo output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostlib/HostContext.h"
#include "hostlib/TempoMap.h"
#include "hostlib/VstPluginLoader.h"

namespace tavhost {

// A MIDI message at a frame counted from the start of the music (after the pre-roll).
struct TimedMidiEvent {
    int64_t frame = 0;
    uint8_t bytes[3] = {0, 0, 0};
    uint8_t size = 3;
};

// What was wrong in one output channel over all processed frames.
struct ChannelFaults {
    int64_t nan = 0;
    int64_t inf = 0;
    int64_t subnormal = 0;
    int64_t unwritten = 0;      // still holding the host's fill pattern after processing
    int64_t firstBadFrame = -1; // rendered-frame index of the first fault of any kind
    bool clean() const { return nan == 0 && inf == 0 && subnormal == 0 && unwritten == 0; }
    std::string describe() const;
};

struct ChannelLevels {
    double peak = 0.0;
    double rms = 0.0;
};
ChannelLevels measureLevels(const std::vector<float>& samples);

struct RenderOptions {
    double sampleRate = 44100.0;
    int32_t blockSize = 512;
    // The transport's tempo; a tempo map, when given, takes its place.
    double tempo = 120.0;
    const TempoMap* tempoMap = nullptr;
    // Silence processed before the music starts, so a plug-in that settles its start-up
    // state at some sample boundary is ready; cut from the output unless kept.
    int64_t preRollFrames = 8192;
    bool keepPreRoll = false;
    // Music length: lengthFrames when not negative, else up to the last event plus the tail.
    int64_t lengthFrames = -1;
    double tailSeconds = 2.0;
    // Non-zero: process blocks of pseudo-random sizes 1..blockSize from this seed, as hosts
    // with irregular buffers do.
    uint32_t randomBlockSeed = 0;
    // Sent to the plug-in after effOpen and before it is resumed; effClose at the end.
    bool closeWhenDone = true;
    // Called after the sample rate and block size are set, before resuming (e.g. to
    // restore a state). Returning false aborts the render with the error set.
    std::function<bool(VstPlugin&, std::string& error)> beforeResume;
    // Called before each block with its first rendered frame (pre-roll included) and size.
    std::function<void(VstPlugin&, int64_t frame, int32_t frames)> beforeBlock;
};

struct RenderResult {
    // Stereo output (a mono plug-in's output is copied to both), pre-roll cut unless kept.
    std::vector<std::vector<float>> audio;
    std::vector<ChannelFaults> faults;  // one per plug-in output, over every processed frame
    int64_t framesProcessed = 0;        // pre-roll included
    int64_t blocks = 0;
    int64_t eventsSent = 0;
    double wallSeconds = 0.0;
    double realTimeFactor = 0.0;  // audio seconds / wall seconds
    bool clean() const;
};

// Renders `events` (any order; stable-sorted by frame) through the plug-in. False with a
// message when the session cannot run (no outputs, no processReplacing, hook failure).
bool renderSession(VstPlugin& plugin, const std::vector<TimedMidiEvent>& events,
                   const RenderOptions& options, RenderResult& result, std::string& error);

}  // namespace tavhost
