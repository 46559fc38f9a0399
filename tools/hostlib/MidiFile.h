// Standard MIDI File reading (formats 0 and 1). Every read is bounded by the data; a
// truncated or corrupt file gives an error message, never a crash or a partial result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hostlib/TempoMap.h"

namespace tavhost {

// One channel message with its position in the piece.
struct MidiFileEvent {
    int64_t tick = 0;
    double seconds = 0.0;
    int track = 0;
    uint8_t bytes[3] = {0, 0, 0};
    uint8_t size = 0;  // 2 or 3
};

struct MidiTempoChange {
    int64_t tick = 0;
    uint32_t microsPerQuarter = 500000;
};

struct MidiFile {
    int format = 0;
    int trackCount = 0;
    // Ticks per quarter note; 0 for SMPTE timing, which counts ticks per second instead.
    int ticksPerQuarter = 0;
    double smpteTicksPerSecond = 0.0;

    // Channel messages of all tracks, in time order (ties keep track, then file, order).
    std::vector<MidiFileEvent> events;
    std::vector<MidiTempoChange> tempoChanges;
    // The file's tempo map in quarter notes; 120 bpm until the first tempo event.
    TempoMap tempoMap;
    // The end of the longest track (its last event, meta events included).
    int64_t lengthTicks = 0;
    double lengthSeconds = 0.0;

    // Musical position of a tick; SMPTE files have none and map through 120 bpm.
    double ppqAtTick(int64_t tick) const;
    // Time of a tick following this file's own tempo map.
    double secondsAtTick(int64_t tick) const;
};

// Upper bounds that keep a hostile file from exhausting memory.
constexpr size_t kMaxMidiFileBytes = 64u * 1024u * 1024u;
constexpr size_t kMaxMidiEvents = 4u * 1024u * 1024u;

bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error);
bool readMidiFile(const std::string& path, MidiFile& out, std::string& error);

}  // namespace tavhost
