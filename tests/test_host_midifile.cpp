// Standard MIDI File reading and the tempo map: timing through tempo changes, running
// status, formats 0 and 1, and refusal of truncated or corrupt files without crashing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "hostlib/MidiFile.h"
#include "hostlib/TempoMap.h"

using namespace tavhost;

namespace {

typedef std::vector<uint8_t> Bytes;

void append(Bytes& b, std::initializer_list<int> v) {
    for (int x : v) b.push_back((uint8_t)x);
}

void appendVlq(Bytes& b, uint32_t value) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = value & 0x7f;
    while (value >>= 7) tmp[n++] = 0x80 | (value & 0x7f);
    while (n) b.push_back(tmp[--n]);
}

void append32(Bytes& b, uint32_t v) { append(b, {(int)(v >> 24), (int)((v >> 16) & 0xff), (int)((v >> 8) & 0xff), (int)(v & 0xff)}); }

Bytes header(int format, int tracks, int division) {
    Bytes b = {'M', 'T', 'h', 'd'};
    append32(b, 6);
    append(b, {0, format, tracks >> 8, tracks & 0xff, (division >> 8) & 0xff, division & 0xff});
    return b;
}

void appendTrack(Bytes& file, const Bytes& body) {
    append(file, {'M', 'T', 'r', 'k'});
    append32(file, (uint32_t)body.size());
    file.insert(file.end(), body.begin(), body.end());
}

// A track body from (delta, raw bytes) pairs, ended with End of Track.
Bytes trackBody(const std::vector<std::pair<uint32_t, Bytes>>& events) {
    Bytes b;
    for (const auto& e : events) {
        appendVlq(b, e.first);
        b.insert(b.end(), e.second.begin(), e.second.end());
    }
    append(b, {0, 0xFF, 0x2F, 0});
    return b;
}

Bytes tempoMeta(uint32_t usPerQuarter) {
    return {0xFF, 0x51, 0x03, (uint8_t)(usPerQuarter >> 16), (uint8_t)(usPerQuarter >> 8), (uint8_t)usPerQuarter};
}

bool parse(const Bytes& b, MidiFile& f, std::string& error) { return parseMidiFile(b.data(), b.size(), f, error); }

// Format 1, 480 ticks per quarter: 120 bpm, then 240 bpm from tick 960; notes in track 1.
Bytes tempoChangeFile() {
    Bytes file = header(1, 2, 480);
    appendTrack(file, trackBody({{0, tempoMeta(500000)}, {960, tempoMeta(250000)}}));
    appendTrack(file, trackBody({{0, {0x90, 60, 100}},
                                 {480, {0x80, 60, 0}},
                                 {480, {0x90, 62, 90}},   // tick 960: the change itself
                                 {480, {0x80, 62, 0}},    // tick 1440
                                 {960, {0x90, 64, 80}}}));  // tick 2400
    return file;
}

}  // namespace

TEST(HostTempoMap, ConvertsBothWaysThroughChanges) {
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);    // 2 s in
    map.addChange(6.0, 240.0);   // 2 + 2 = 4 s in
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(2.0), 1.0);
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(5.0), 3.0);
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(8.0), 4.5);
    EXPECT_DOUBLE_EQ(map.ppqAtSeconds(4.5), 8.0);
    EXPECT_DOUBLE_EQ(map.ppqAtSeconds(3.0), 5.0);
    EXPECT_DOUBLE_EQ(map.bpmAtSeconds(3.99), 60.0);
    EXPECT_DOUBLE_EQ(map.bpmAtSeconds(4.0), 240.0);
    // Nonsense changes are ignored, and a change at the same position replaces the last.
    map.addChange(7.0, 0.0);
    map.addChange(5.0, 100.0);
    map.addChange(7.0, NAN);
    EXPECT_EQ(map.size(), 3u);
    map.addChange(6.0, 120.0);
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(8.0), 5.0);
}

TEST(HostMidiFile, TempoMapTimesEventsInAllTracks) {
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(tempoChangeFile(), f, error)) << error;
    EXPECT_EQ(f.format, 1);
    EXPECT_EQ(f.trackCount, 2);
    EXPECT_EQ(f.ticksPerQuarter, 480);
    ASSERT_EQ(f.events.size(), 5u);
    const double expected[] = {0.0, 0.5, 1.0, 1.25, 1.75};
    const int64_t ticks[] = {0, 480, 960, 1440, 2400};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(f.events[i].tick, ticks[i]);
        EXPECT_NEAR(f.events[i].seconds, expected[i], 1e-9) << "event " << i;
        EXPECT_EQ(f.events[i].track, 1);
    }
    ASSERT_EQ(f.tempoChanges.size(), 2u);
    EXPECT_EQ(f.tempoChanges[1].tick, 960);
    EXPECT_EQ(f.tempoChanges[1].microsPerQuarter, 250000u);
    EXPECT_NEAR(f.ppqAtTick(2400), 5.0, 1e-12);
    EXPECT_NEAR(f.lengthSeconds, 1.75, 1e-9);
}

TEST(HostMidiFile, TempoEventsOutsideTheFirstTrackCount) {
    Bytes file = header(1, 2, 96);
    appendTrack(file, trackBody({{0, {0x90, 60, 100}}, {192, {0x80, 60, 0}}}));
    appendTrack(file, trackBody({{96, tempoMeta(1000000)}}));  // 60 bpm after one beat
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    ASSERT_EQ(f.events.size(), 2u);
    EXPECT_NEAR(f.events[1].seconds, 0.5 + 1.0, 1e-9);
}

TEST(HostMidiFile, RunningStatusAndMessageSizes) {
    Bytes file = header(0, 1, 480);
    appendTrack(file, trackBody({{0, {0x90, 60, 100}},
                                 {10, {64, 90}},          // running status: note on 64
                                 {10, {67, 0}},           // note on velocity 0
                                 {0, {0xC3, 5}},          // program change: one data byte
                                 {0, {7}},                // running program change
                                 {5, {0xE1, 0x00, 0x40}},
                                 {0, {0xF0, 0x03, 0x7E, 0x01, 0xF7}},  // sysex skipped
                                 {0, {0xFF, 0x01, 0x02, 'h', 'i'}},     // text meta skipped
                                 {5, {0x10, 0x41}}}));    // pitch bend status still running
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    ASSERT_EQ(f.events.size(), 7u);
    struct Want {
        int64_t tick;
        uint8_t b0, b1, b2, size;
    } want[] = {{0, 0x90, 60, 100, 3}, {10, 0x90, 64, 90, 3}, {20, 0x90, 67, 0, 3}, {20, 0xC3, 5, 0, 2},
                {20, 0xC3, 7, 0, 2},   {25, 0xE1, 0, 0x40, 3}, {30, 0xE1, 0x10, 0x41, 3}};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(f.events[i].tick, want[i].tick) << i;
        EXPECT_EQ(f.events[i].bytes[0], want[i].b0) << i;
        EXPECT_EQ(f.events[i].bytes[1], want[i].b1) << i;
        if (want[i].size == 3) {
            EXPECT_EQ(f.events[i].bytes[2], want[i].b2) << i;
        }
        EXPECT_EQ(f.events[i].size, want[i].size) << i;
    }
    // 120 bpm by default: 480 ticks are half a second.
    EXPECT_NEAR(f.events[6].seconds, 30.0 / 960.0, 1e-12);
}

TEST(HostMidiFile, Format1MergesTracksInTimeOrder) {
    Bytes file = header(1, 3, 100);
    appendTrack(file, trackBody({{0, tempoMeta(500000)}}));
    appendTrack(file, trackBody({{0, {0x90, 60, 1}}, {100, {0x80, 60, 0}}, {100, {0x90, 61, 1}}}));
    appendTrack(file, trackBody({{50, {0x91, 70, 1}}, {50, {0x81, 70, 0}}, {150, {0x91, 71, 1}}}));
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    ASSERT_EQ(f.events.size(), 6u);
    const int64_t ticks[] = {0, 50, 100, 100, 200, 250};
    const int keys[] = {60, 70, 60, 70, 61, 71};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(f.events[i].tick, ticks[i]) << i;
        EXPECT_EQ(f.events[i].bytes[1], keys[i]) << i;
    }
    // At equal ticks the earlier track comes first.
    EXPECT_EQ(f.events[2].track, 1);
    EXPECT_EQ(f.events[3].track, 2);
}

TEST(HostMidiFile, SmpteDivisionCountsTicksPerSecond) {
    // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
    Bytes file = header(0, 1, ((256 - 25) << 8) | 40);
    appendTrack(file, trackBody({{0, tempoMeta(250000)}, {1500, {0x90, 60, 100}}}));
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    EXPECT_EQ(f.ticksPerQuarter, 0);
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_NEAR(f.events[0].seconds, 1.5, 1e-12);
}

TEST(HostMidiFile, UnknownChunksAreSkipped) {
    Bytes file = header(0, 1, 480);
    append(file, {'X', 'Y', 'Z', 'W', 0, 0, 0, 3, 1, 2, 3});
    appendTrack(file, trackBody({{0, {0x90, 60, 100}}}));
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    EXPECT_EQ(f.events.size(), 1u);
}

TEST(HostMidiFile, EveryTruncationIsRefused) {
    Bytes full = tempoChangeFile();
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(full, f, error));
    for (size_t len = 0; len < full.size(); ++len) {
        Bytes cut(full.begin(), full.begin() + len);
        MidiFile g;
        error.clear();
        EXPECT_FALSE(parse(cut, g, error)) << "prefix of " << len << " bytes accepted";
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(g.events.empty()) << "a refused file left events behind";
    }
}

TEST(HostMidiFile, CorruptFilesAreRefusedWithAReason) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, trackBody({{0, {60, 100}}}));
        cases.push_back({"data byte without status", b});
    }
    {
        Bytes b = header(2, 1, 480);
        appendTrack(b, trackBody({}));
        cases.push_back({"format 2", b});
    }
    {
        Bytes b = header(0, 2, 480);
        appendTrack(b, trackBody({}));
        appendTrack(b, trackBody({}));
        cases.push_back({"format 0 with two tracks", b});
    }
    {
        Bytes b = header(0, 1, 0);
        appendTrack(b, trackBody({}));
        cases.push_back({"division 0", b});
    }
    {
        Bytes b = header(0, 1, 480);
        append(b, {'M', 'T', 'r', 'k', 0x7f, 0xff, 0xff, 0xff, 0, 0xFF, 0x2F, 0});
        cases.push_back({"chunk length past the end", b});
    }
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, {0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100});
        cases.push_back({"five-byte delta time", b});
    }
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, trackBody({{0, {0xF1, 0x10}}}));
        cases.push_back({"system common status in a file", b});
    }
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, trackBody({{0, {0x90, 60, 0x90}}}));
        cases.push_back({"status byte inside a message", b});
    }
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, {0, 0xFF, 0x51, 0x7f, 1, 2, 3});
        cases.push_back({"meta event longer than its track", b});
    }
    {
        Bytes b = header(0, 1, 480);
        appendTrack(b, {0, 0xF0, 0x20, 1, 2});
        cases.push_back({"sysex longer than its track", b});
    }
    cases.push_back({"not a MIDI file", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0}});
    for (const Case& c : cases) {
        MidiFile f;
        std::string error;
        EXPECT_FALSE(parse(c.bytes, f, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(HostMidiFile, RandomCorruptionNeverYieldsMalformedEvents) {
    Bytes base = tempoChangeFile();
    std::mt19937 rng(20240611u);
    int accepted = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        Bytes b = base;
        int flips = 1 + (int)(rng() % 4);
        for (int k = 0; k < flips; ++k) b[rng() % b.size()] = (uint8_t)rng();
        if (rng() % 4 == 0) b.resize(rng() % b.size());
        MidiFile f;
        std::string error;
        if (!parse(b, f, error)) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ++accepted;
        for (const MidiFileEvent& e : f.events) {
            ASSERT_GE(e.bytes[0], 0x80);
            ASSERT_LT(e.bytes[0], 0xF0);
            ASSERT_TRUE(e.size == 2 || e.size == 3);
            ASSERT_LT(e.bytes[1], 0x80);
            ASSERT_LT(e.bytes[2], 0x80);
            ASSERT_TRUE(std::isfinite(e.seconds));
            ASSERT_GE(e.seconds, 0.0);
        }
    }
    // Corruption in note data or velocities leaves a valid file: both paths are exercised.
    EXPECT_GT(accepted, 0);
}

TEST(HostMidiFile, ReadingAMissingFileFails) {
    MidiFile f;
    std::string error;
    EXPECT_FALSE(readMidiFile("/nonexistent/dir/none.mid", f, error));
    EXPECT_NE(error.find("none.mid"), std::string::npos);
}

// The demo phrase shipped for trying instruments: format 1 with a tempo track, chords,
// held notes, pitch bend and mod-wheel movement, about eight seconds, no stuck notes.
TEST(HostMidiFile, DemoPhraseIsWellFormed) {
    MidiFile f;
    std::string error;
    ASSERT_TRUE(readMidiFile(std::string(TAV_SOURCE_DIR) + "/tools/demo/demo.mid", f, error)) << error;
    EXPECT_EQ(f.format, 1);
    EXPECT_GE(f.trackCount, 2);
    EXPECT_FALSE(f.tempoChanges.empty());
    EXPECT_GT(f.lengthSeconds, 7.0);
    EXPECT_LT(f.lengthSeconds, 10.0);
    int held[16][128] = {};
    int maxPolyphony = 0, polyphony = 0, bends = 0, modWheel = 0;
    for (const MidiFileEvent& e : f.events) {
        int kind = e.bytes[0] & 0xF0, ch = e.bytes[0] & 0x0F;
        if (kind == 0x90 && e.bytes[2] > 0) {
            ++held[ch][e.bytes[1]];
            ++polyphony;
        } else if (kind == 0x80 || (kind == 0x90 && e.bytes[2] == 0)) {
            ASSERT_GT(held[ch][e.bytes[1]], 0) << "note-off without note-on at tick " << e.tick;
            --held[ch][e.bytes[1]];
            --polyphony;
        } else if (kind == 0xE0) {
            ++bends;
        } else if (kind == 0xB0 && e.bytes[1] == 1) {
            ++modWheel;
        }
        maxPolyphony = std::max(maxPolyphony, polyphony);
    }
    EXPECT_EQ(polyphony, 0) << "notes left sounding at the end";
    EXPECT_GE(maxPolyphony, 4) << "no chords";
    EXPECT_GE(bends, 4);
    EXPECT_GE(modWheel, 4);
}
