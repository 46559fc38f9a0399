// The offline host's files and command line: MIDI files and the tempo map, WAV files,
// state files, and the command-line program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <sstream>
#include <tuple>

#include "hostlib/MidiFile.h"
#include "hostlib/StateFile.h"
#include "hostlib/TempoMap.h"
#include "hostlib/WavFile.h"
#include "support/TestFiles.h"
#include "support/host_test_support.h"

using namespace tavhost;
using tavtest::ProcessResult;

namespace {

// --- Standard MIDI Files, built byte by byte ---------------------------------------------

typedef std::vector<uint8_t> Bytes;

void append(Bytes& b, std::initializer_list<int> v) {
    for (int x : v) b.push_back((uint8_t)x);
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
        for (int shift = 21; shift > 0; shift -= 7)  // a variable-length quantity
            if (e.first >> shift) b.push_back((uint8_t)(0x80 | ((e.first >> shift) & 0x7f)));
        b.push_back((uint8_t)(e.first & 0x7f));
        b.insert(b.end(), e.second.begin(), e.second.end());
    }
    append(b, {0, 0xFF, 0x2F, 0});
    return b;
}

// A format 0 file of one track with this body.
Bytes oneTrack(const Bytes& body, int division = 480, int format = 0) {
    Bytes b = header(format, 1, division);
    appendTrack(b, body);
    return b;
}

Bytes tempoMeta(uint32_t usPerQuarter) {
    return {0xFF, 0x51, 0x03, (uint8_t)(usPerQuarter >> 16), (uint8_t)(usPerQuarter >> 8), (uint8_t)usPerQuarter};
}

bool parse(const Bytes& b, MidiFile& f, std::string& error) { return parseMidiFile(b.data(), b.size(), f, error); }

// Format 1, 480 ticks per quarter, an unknown chunk to skip: 120 bpm, then 240 bpm from
// tick 960; notes in track 1.
Bytes tempoChangeFile() {
    Bytes file = header(1, 2, 480);
    append(file, {'X', 'Y', 'Z', 'W', 0, 0, 0, 3, 1, 2, 3});
    appendTrack(file, trackBody({{0, tempoMeta(500000)}, {960, tempoMeta(250000)}}));
    appendTrack(file, trackBody({{0, {0x90, 60, 100}},
                                 {480, {0x80, 60, 0}},
                                 {480, {0x90, 62, 90}},   // tick 960: the change itself
                                 {480, {0x80, 62, 0}},    // tick 1440
                                 {960, {0x90, 64, 80}}}));  // tick 2400
    return file;
}

// --- WAV and state files ------------------------------------------------------------------

void put32(Bytes& b, uint32_t v) { append(b, {(int)(v & 0xff), (int)((v >> 8) & 0xff), (int)((v >> 16) & 0xff), (int)(v >> 24)}); }

// A 16-bit PCM stereo file, with an odd-sized extra chunk (and its pad byte) before the data.
Bytes pcm16File(const std::vector<int16_t>& interleaved, uint32_t rate) {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    for (uint32_t v : {16u, 1u | (2u << 16), rate, rate * 4, 4u | (16u << 16)}) put32(b, v);
    append(b, {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0, 'd', 'a', 't', 'a'});
    put32(b, (uint32_t)interleaved.size() * 2);
    for (int16_t s : interleaved) append(b, {s & 0xff, (s >> 8) & 0xff});
    const uint32_t riff = (uint32_t)b.size() - 8;
    std::memcpy(&b[4], &riff, 4);
    return b;
}

PluginState chunkState() {
    PluginState s{StateKind::Chunk, vstFourCC('T', 'e', 's', 't'), {}, {}};
    for (int i = 0; i < 300; ++i) s.chunk.push_back((uint8_t)(i * 37));
    return s;
}
PluginState paramState() { return {StateKind::Parameters, -12345, {}, {0.0f, 1.0f, 0.25f, 1e-7f, 0.999f}}; }

// --- the host program ----------------------------------------------------------------------

class HostCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tavtest::hostScratchDir("cli");
        tavtest::isolatePluginHome(dir_);
    }
    ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), TAV_HOST_PATH);
        return tavtest::runProcess(args, dir_);
    }
    void needAmsynth() {
        if (!tavtest::haveAmsynth()) GTEST_SKIP() << tavtest::amsynthPath() << " is not installed";
        const char* asan = std::getenv("ASAN_OPTIONS");  // the host would report the plug-in's own leaks
        std::string options = asan && *asan ? std::string(asan) + ":detect_leaks=0" : "detect_leaks=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
    }
    std::string demo() const { return std::string(TAV_SOURCE_DIR) + "/tools/demo/demo.mid"; }
    std::string dir_;
};

// The lines of a text that start with one of the prefixes.
std::vector<std::string> linesStarting(const std::string& text, std::initializer_list<const char*> prefixes) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line))
        for (const char* p : prefixes)
            if (line.rfind(p, 0) == 0) out.push_back(line);
    return out;
}

double rmsOf(const std::vector<float>& v) { return std::sqrt(std::inner_product(v.begin(), v.end(), v.begin(), 0.0) / v.size()); }

}  // namespace

TEST(HostTempoMap, ConvertsBothWaysThroughChanges) {
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);   // 2 s in
    map.addChange(6.0, 240.0);  // 2 + 2 = 4 s in
    map.addChange(7.0, 0.0);    // nonsense: ignored
    map.addChange(7.0, NAN);
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(5.0), 3.0);
    EXPECT_DOUBLE_EQ(map.ppqAtSeconds(4.5), 8.0);
    EXPECT_DOUBLE_EQ(map.bpmAtSeconds(3.99), 60.0);
    EXPECT_DOUBLE_EQ(map.bpmAtSeconds(4.0), 240.0);
    map.addChange(6.0, 120.0);  // the same position: replaces the last
    EXPECT_DOUBLE_EQ(map.secondsAtPpq(8.0), 5.0);
}

TEST(HostMidiFile, Format1MergesTracksInTimeOrderAndTempoCountsFromAnyTrack) {
    Bytes file = header(1, 3, 100);
    appendTrack(file, trackBody({{0, tempoMeta(500000)}}));
    appendTrack(file, trackBody({{0, {0x90, 60, 1}}, {100, {0x80, 60, 0}}, {100, {0x90, 61, 1}}}));
    appendTrack(file, trackBody({{50, {0x91, 70, 1}}, {50, {0x81, 70, 0}}, {100, tempoMeta(1000000)}, {50, {0x91, 71, 1}}}));
    MidiFile f;
    std::string error;
    ASSERT_TRUE(parse(file, f, error)) << error;
    std::vector<std::pair<int64_t, int>> got;
    for (const MidiFileEvent& e : f.events) got.emplace_back(e.tick, e.bytes[1]);
    EXPECT_EQ(got, (std::vector<std::pair<int64_t, int>>{{0, 60}, {50, 70}, {100, 60}, {100, 70}, {200, 61}, {250, 71}}));
    EXPECT_EQ(f.events[2].track, 1) << "at equal ticks the earlier track comes first";
    EXPECT_NEAR(f.events[5].seconds, 1.0 + 0.5, 1e-9) << "60 bpm from tick 200";

    ASSERT_TRUE(parse(tempoChangeFile(), f, error)) << error;
    ASSERT_EQ(f.events.size(), 5u);
    const double seconds[] = {0.0, 0.5, 1.0, 1.25, 1.75};
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(f.events[i].seconds, seconds[i], 1e-9) << i;
    EXPECT_NEAR(f.ppqAtTick(2400), 5.0, 1e-12);
    EXPECT_NEAR(f.lengthSeconds, 1.75, 1e-9);
}

TEST(HostMidiFile, RunningStatusAndMessageSizes) {
    const Bytes file = oneTrack(trackBody({{0, {0x90, 60, 100}},
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
    const int want[7][5] = {{0, 0x90, 60, 100, 3}, {10, 0x90, 64, 90, 3}, {20, 0x90, 67, 0, 3}, {20, 0xC3, 5, 0, 2},
                            {20, 0xC3, 7, 0, 2},   {25, 0xE1, 0, 0x40, 3}, {30, 0xE1, 0x10, 0x41, 3}};
    for (size_t i = 0; i < 7; ++i) {
        const MidiFileEvent& e = f.events[i];
        EXPECT_EQ((std::vector<int>{(int)e.tick, e.bytes[0], e.bytes[1], e.size == 3 ? e.bytes[2] : 0, e.size}),
                  std::vector<int>(want[i], want[i] + 5)) << i;
    }
    EXPECT_NEAR(f.events[6].seconds, 30.0 / 960.0, 1e-12) << "120 bpm by default";

    // SMPTE division: 25 frames per second, 40 ticks per frame, 1000 ticks per second.
    ASSERT_TRUE(parse(oneTrack(trackBody({{0, tempoMeta(250000)}, {1500, {0x90, 60, 100}}}), ((256 - 25) << 8) | 40), f, error));
    EXPECT_EQ(f.ticksPerQuarter, 0);
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_NEAR(f.events[0].seconds, 1.5, 1e-12);
}

TEST(HostMidiFile, TruncatedOrCorruptFilesAreRefusedWithAReason) {
    const Bytes full = tempoChangeFile();
    std::vector<std::pair<std::string, Bytes>> cases;
    for (size_t len = 0; len < full.size(); ++len)
        cases.push_back({"prefix of " + std::to_string(len) + " bytes", Bytes(full.begin(), full.begin() + len)});
    Bytes twoTracks = header(0, 2, 480);
    appendTrack(twoTracks, trackBody({}));
    appendTrack(twoTracks, trackBody({}));
    Bytes longChunk = header(0, 1, 480);
    append(longChunk, {'M', 'T', 'r', 'k', 0x7f, 0xff, 0xff, 0xff, 0, 0xFF, 0x2F, 0});
    const std::pair<std::string, Bytes> more[] = {
        {"data byte without status", oneTrack(trackBody({{0, {60, 100}}}))},
        {"format 2", oneTrack(trackBody({}), 480, 2)},
        {"format 0 with two tracks", twoTracks},
        {"division 0", oneTrack(trackBody({}), 0)},
        {"chunk length past the end", longChunk},
        {"five-byte delta time", oneTrack({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100})},
        {"system common status in a file", oneTrack(trackBody({{0, {0xF1, 0x10}}}))},
        {"status byte inside a message", oneTrack(trackBody({{0, {0x90, 60, 0x90}}}))},
        {"meta event longer than its track", oneTrack({0, 0xFF, 0x51, 0x7f, 1, 2, 3})},
        {"sysex longer than its track", oneTrack({0, 0xF0, 0x20, 1, 2})},
        {"not a MIDI file", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0}},
    };
    cases.insert(cases.end(), std::begin(more), std::end(more));
    for (const auto& c : cases) {
        MidiFile f;
        std::string error;
        EXPECT_FALSE(parse(c.second, f, error)) << c.first;
        EXPECT_FALSE(error.empty()) << c.first;
        EXPECT_TRUE(f.events.empty()) << c.first << ": a refused file left events behind";
    }
    MidiFile f;
    std::string error;
    EXPECT_FALSE(readMidiFile("/nonexistent/dir/none.mid", f, error));
    EXPECT_NE(error.find("none.mid"), std::string::npos);
}

TEST(HostMidiFile, RandomCorruptionNeverYieldsMalformedEvents) {
    const Bytes base = tempoChangeFile();
    std::mt19937 rng(20240611u);
    int accepted = 0;
    for (int iter = 0; iter < 3000; ++iter) {
        Bytes b = base;
        for (int k = 1 + (int)(rng() % 4); k > 0; --k) b[rng() % b.size()] = (uint8_t)rng();
        if (rng() % 4 == 0) b.resize(rng() % b.size());
        MidiFile f;
        std::string error;
        if (!parse(b, f, error)) continue;
        ++accepted;
        for (const MidiFileEvent& e : f.events) {
            ASSERT_TRUE(e.bytes[0] >= 0x80 && e.bytes[0] < 0xF0 && (e.size == 2 || e.size == 3));
            ASSERT_TRUE(e.bytes[1] < 0x80 && e.bytes[2] < 0x80);
            ASSERT_TRUE(std::isfinite(e.seconds) && e.seconds >= 0.0);
        }
    }
    // Corruption in note data or velocities leaves a valid file: both paths are exercised.
    EXPECT_GT(accepted, 0);
}

TEST(HostWavFile, FloatRoundTripIsExactAndReplacesAnOldFileWhole) {
    std::string dir = tavtest::hostScratchDir("wav");
    std::vector<std::vector<float>> audio(2);
    for (int i = 0; i < 1000; ++i) {
        audio[0].push_back(std::sin(i * 0.01f) * 0.9f);
        audio[1].push_back(i % 7 == 0 ? -1.0f : 1e-3f * (float)i);
    }
    audio[1][3] = std::numeric_limits<float>::denorm_min();
    std::string path = dir + "/out.wav";
    std::string error;
    ASSERT_TRUE(writeWavFloat(path, {std::vector<float>(5000, 0.5f), std::vector<float>(5000, 0.5f)}, 44100, error));
    ASSERT_TRUE(writeWavFloat(path, audio, 48000, error)) << error;
    // Only the finished file is left: the temporary one was renamed.
    EXPECT_EQ(testfiles::listFolder(dir), std::vector<std::string>{"out.wav"});

    WavData wav;
    ASSERT_TRUE(readWav(path, wav, error)) << error;
    EXPECT_TRUE(wav.sampleRate == 48000 && wav.isFloat);
    EXPECT_EQ(wav.channels, audio);  // bit-exact, the denormal too

    // Failures: a missing folder, channels of different lengths.
    EXPECT_FALSE(writeWavFloat("/nonexistent-dir/x.wav", {std::vector<float>(4), std::vector<float>(4)}, 44100, error));
    EXPECT_FALSE(writeWavFloat(dir + "/x.wav", {std::vector<float>(4), std::vector<float>(3)}, 44100, error));
    EXPECT_EQ(testfiles::listFolder(dir), std::vector<std::string>{"out.wav"});
}

TEST(HostWavFile, ReadsSixteenBitPcmAndRefusesBrokenFiles) {
    const std::vector<uint8_t> good = pcm16File({0, 0, 16384, -16384, 32767, -32768, -1, 1}, 44100);
    WavData wav;
    std::string error;
    ASSERT_TRUE(parseWav(good.data(), good.size(), wav, error)) << error;
    EXPECT_TRUE(!wav.isFloat && wav.bitsPerSample == 16);
    EXPECT_EQ(wav.channels, (std::vector<std::vector<float>>{{0.f, 0.5f, 32767 / 32768.f, -1 / 32768.f}, {0.f, -0.5f, -1.f, 1 / 32768.f}}));

    // Cutting into the data chunk (or anything before it) leaves a chunk longer than the file.
    for (size_t len = 0; len < good.size(); ++len) {
        WavData w;
        EXPECT_FALSE(parseWav(good.data(), len, w, error)) << "prefix " << len;
        EXPECT_EQ(w.frames(), 0u);
    }
    std::vector<uint8_t> eightBit = good, noFormat = good;
    eightBit[34] = 8;  // bits per sample
    EXPECT_FALSE(parseWav(eightBit.data(), eightBit.size(), wav, error));
    std::memcpy(&noFormat[12], "junk", 4);
    EXPECT_FALSE(parseWav(noFormat.data(), noFormat.size(), wav, error));
    EXPECT_FALSE(readWav("/nonexistent-dir/none.wav", wav, error));
}

TEST(HostStateFile, BothKindsRoundTripAndBrokenFilesAreRefusedWithoutChangingAnything) {
    const std::string path = tavtest::hostScratchDir("state") + "/s.tvst";
    std::vector<std::vector<uint8_t>> bad;
    for (const PluginState& s : {chunkState(), paramState()}) {
        std::string error;
        ASSERT_TRUE(saveStateFile(path, s, error)) << error;
        PluginState back;
        ASSERT_TRUE(loadStateFile(path, back, error)) << error;
        EXPECT_EQ(std::make_tuple(back.kind, back.uniqueID, back.chunk, back.params),
                  std::make_tuple(s.kind, s.uniqueID, s.chunk, s.params));
        const std::vector<uint8_t> b = encodeState(s);
        for (size_t len = 0; len < b.size(); ++len) bad.emplace_back(b.begin(), b.begin() + len);
        bad.push_back(b);
        bad.back().push_back(0);
    }
    const std::vector<uint8_t> good = encodeState(chunkState());
    for (size_t at : {0, 4, 8}) {  // magic, version, kind
        bad.push_back(good);
        bad.back()[at] = at == 0 ? 'X' : 9;
    }
    // A count that would overflow a naive size computation.
    bad.push_back(encodeState(paramState()));
    std::memset(&bad.back()[16], 0xff, 4);
    for (size_t i = 0; i < bad.size(); ++i) {
        PluginState out;
        out.uniqueID = 77;
        std::string error;
        EXPECT_FALSE(decodeState(bad[i].data(), bad[i].size(), out, error)) << i;
        EXPECT_FALSE(error.empty()) << i;
        EXPECT_EQ(out.uniqueID, 77) << "a refused file changed the output, case " << i;
    }
    PluginState out;
    std::string error;
    EXPECT_FALSE(loadStateFile("/nonexistent-dir/x.tvst", out, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(HostCli, UsageErrorsExitWithStatusTwo) {
    ProcessResult r = run({"help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("render PLUGIN --midi IN.mid --out OUT.wav"), std::string::npos);
    const std::vector<std::string> render = {"render", "a.so", "--midi", "x.mid", "--out", "x.wav"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = render;
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "usage: tavrolune-host"},
        {{"frobnicate"}, "unknown command"},
        {{"info", "a.so", "--bogus"}, "--bogus"},
        {{"render", "a.so", "--out", "x.wav"}, "--midi"},
        {with({"--rate", "44100.5"}), "--rate"},
        {with({"--block", "0"}), "--block"},
        {with({"--tail"}), "needs a value"},
        {with({"--midi", "y.mid"}), "more than once"},
        {{"state", "a.so", "--save", "x", "--host-product", std::string(80, 'p')}, "63"},
        {{"validate", "a.so", "--only", "no-such-check"}, "unknown check"},
    };
    for (const auto& c : cases) {
        r = run(c.first);
        EXPECT_EQ(r.exitCode, 2) << c.second;
        EXPECT_NE(r.err.find(c.second), std::string::npos) << r.err;
    }
}

TEST_F(HostCli, MissingOrForeignFilesFailClearly) {
    const std::string junk = dir_ + "/junk.mid", out = dir_ + "/never.wav";
    tavtest::writeBinaryFile(junk, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 9});
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"info", "/nonexistent/plugin.so"}, "cannot load"},
        {{"info", "/lib/x86_64-linux-gnu/libm.so.6"}, "neither VSTPluginMain nor main"},  // no plug-in
        {{"render", "/nonexistent/plugin.so", "--midi", junk, "--out", out}, "junk.mid"},
        {{"render", "/nonexistent/plugin.so", "--midi", dir_ + "/none.mid", "--out", out}, "none.mid"},
        {{"state", "/nonexistent/plugin.so", "--load", dir_ + "/none.tvst"}, "none.tvst"},
    };
    for (const auto& c : cases) {
        ProcessResult r = run(c.first);
        EXPECT_EQ(r.exitCode, 1) << c.second;
        EXPECT_NE(r.err.find(c.second), std::string::npos) << r.err;
    }
    EXPECT_FALSE(tavtest::fileExists(out));
}

TEST_F(HostCli, InfoListsIdentityAndEveryParameter) {
    needAmsynth();
    ProcessResult r = run({"info", tavtest::amsynthPath(), "--cando", "myOwnCapability"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* field : {"VST version:    2400", "Category:       2 (synth)", "IsSynth", "myOwnCapability"})
        EXPECT_NE(r.out.find(field), std::string::npos) << field;
    const std::vector<std::string> count = linesStarting(r.out, {"Parameters:"});
    const int n = count.size() == 1 ? std::atoi(count[0].c_str() + 11) : 0;
    ASSERT_GT(n, 0) << r.out;
    // One row per parameter: leading spaces, the index, two spaces, a quoted name.
    for (int i = 0; i < n; ++i)
        EXPECT_NE(r.out.find(" " + std::to_string(i) + "  \""), std::string::npos) << i;
    EXPECT_EQ(r.out.find(" " + std::to_string(n) + "  \""), std::string::npos);
}

TEST_F(HostCli, RendersTheDemoPhrase) {
    needAmsynth();
    MidiFile midi;
    WavData wav;
    std::string error, out = dir_ + "/demo.wav";
    ASSERT_TRUE(readMidiFile(demo(), midi, error)) << error;
    const std::vector<std::string> render = {"render", tavtest::amsynthPath(), "--midi", demo(), "--out", out, "--tail", "1"};
    ProcessResult r = run(render);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Real-time factor:"), std::string::npos);
    ASSERT_TRUE(readWav(out, wav, error)) << error;
    ASSERT_TRUE(wav.sampleRate == 44100 && wav.channels.size() == 2u);
    EXPECT_NEAR((double)wav.frames(), (midi.lengthSeconds + 1.0) * 44100.0, 2.0);
    EXPECT_GT(rmsOf(wav.channels[0]), 0.01);
    for (const auto& ch : wav.channels) ASSERT_TRUE(std::all_of(ch.begin(), ch.end(), [](float v) { return std::isfinite(v); }));
    // Kept pre-roll, another rate, and a slower tempo (one second per beat) that stretches the phrase.
    std::vector<std::string> slow = render;
    slow.insert(slow.end(), {"--keep-preroll", "--rate", "48000", "--block", "100", "--tempo", "60"});
    ASSERT_EQ(run(slow).exitCode, 0);
    ASSERT_TRUE(readWav(out, wav, error)) << error;
    EXPECT_EQ(wav.sampleRate, 48000);
    EXPECT_NEAR((double)wav.frames(), 8192.0 + ((double)midi.lengthTicks / midi.ticksPerQuarter + 1.0) * 48000.0, 2.0);
}

TEST_F(HostCli, StateSavesLoadsAndRefusesTruncatedFiles) {
    needAmsynth();
    const std::string plug = tavtest::amsynthPath(), s1 = dir_ + "/s1.tvst", s2 = dir_ + "/s2.tvst", cut = dir_ + "/cut.tvst";
    ASSERT_EQ(run({"state", plug, "--save", s1}).exitCode, 0);
    const std::string bytes = tavtest::readTextFile(s1);
    ProcessResult r = run({"state", plug, "--load", s1, "--save", s2});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Loaded"), std::string::npos);
    EXPECT_EQ(tavtest::readTextFile(s2).substr(0, 4), "TVST");  // the plug-in's own chunk may differ
    EXPECT_EQ(run({"render", plug, "--midi", demo(), "--out", dir_ + "/w.wav", "--state", s1, "--tail", "0"}).exitCode, 0);
    // A file cut by one byte is refused by both commands, and nothing is written.
    tavtest::writeBinaryFile(cut, std::vector<unsigned char>(bytes.begin(), bytes.end() - 1));
    r = run({"state", plug, "--load", cut, "--save", dir_ + "/s3.tvst"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    EXPECT_EQ(run({"render", plug, "--midi", demo(), "--out", dir_ + "/w2.wav", "--state", cut}).exitCode, 1);
    EXPECT_FALSE(tavtest::fileExists(dir_ + "/s3.tvst") || tavtest::fileExists(dir_ + "/w2.wav"));
}

TEST_F(HostCli, ValidateSummaryMatchesItsLinesAndExitStatus) {
    needAmsynth();
    ProcessResult r = run({"validate", tavtest::amsynthPath()});
    int passed = -1, failed = -1;
    const std::vector<std::string> summary = linesStarting(r.out, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    ASSERT_EQ(summary.size(), 1u) << r.out;
    ASSERT_EQ(std::sscanf(summary[0].c_str(), "%d passed, %d failed", &passed, &failed), 2) << summary[0];
    EXPECT_EQ((int)linesStarting(r.out, {"PASS "}).size(), passed);
    EXPECT_EQ((int)linesStarting(r.out, {"FAIL "}).size(), failed);
    EXPECT_EQ(r.exitCode, failed > 0 ? 1 : 0);
    EXPECT_GE(passed + failed, 15);
    EXPECT_NE(r.out.find("PASS render-44100:"), std::string::npos);

    // Selected checks run after loading, in their own order, and a clean run exits 0.
    r = run({"validate", tavtest::amsynthPath(), "--only", "render-48000,open-close"});
    const std::vector<std::string> lines = linesStarting(r.out, {"PASS ", "FAIL ", "3 passed"});
    ASSERT_EQ(lines.size(), 4u) << r.out;
    const char* starts[] = {"PASS load:", "PASS open-close:", "PASS render-48000:"};  // then the details
    for (int i = 0; i < 3; ++i) EXPECT_EQ(lines[i].rfind(starts[i], 0), 0u) << lines[i];
    EXPECT_EQ(lines[3], "3 passed, 0 failed");
    EXPECT_EQ(r.exitCode, 0);
}
