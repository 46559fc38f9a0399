// WAV writing and reading: float round trip, PCM reading, refusal of broken files, and
// saves that go through a temporary file.
#include <gtest/gtest.h>
#include <dirent.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "hostlib/WavFile.h"
#include "support/host_test_support.h"

using namespace tavhost;

namespace {

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    return names;
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}
void tag(std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + 4); }

// A 16-bit PCM stereo file, with an odd-sized extra chunk before the data.
std::vector<uint8_t> pcm16File(const std::vector<int16_t>& interleaved, uint32_t rate) {
    std::vector<uint8_t> b;
    tag(b, "RIFF");
    put32(b, 0);  // patched below
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, 2);
    put32(b, rate);
    put32(b, rate * 4);
    put16(b, 4);
    put16(b, 16);
    tag(b, "LIST");
    put32(b, 3);
    b.insert(b.end(), {'a', 'b', 'c', 0});  // odd chunk plus its pad byte
    tag(b, "data");
    put32(b, (uint32_t)interleaved.size() * 2);
    for (int16_t s : interleaved) put16(b, (uint16_t)s);
    uint32_t riff = (uint32_t)b.size() - 8;
    std::memcpy(&b[4], &riff, 4);
    return b;
}

}  // namespace

TEST(HostWavFile, FloatRoundTripIsExact) {
    std::string dir = tavtest::hostScratchDir("wav");
    std::vector<std::vector<float>> audio(2);
    for (int i = 0; i < 1000; ++i) {
        audio[0].push_back(std::sin(i * 0.01f) * 0.9f);
        audio[1].push_back(i % 7 == 0 ? -1.0f : 1e-3f * (float)i);
    }
    audio[1][3] = std::numeric_limits<float>::denorm_min();
    std::string path = dir + "/out.wav";
    std::string error;
    ASSERT_TRUE(writeWavFloat(path, audio, 48000, error)) << error;
    // Only the finished file is left: the temporary one was renamed.
    EXPECT_EQ(listDir(dir), std::vector<std::string>{"out.wav"});

    WavData wav;
    ASSERT_TRUE(readWav(path, wav, error)) << error;
    EXPECT_EQ(wav.sampleRate, 48000);
    EXPECT_TRUE(wav.isFloat);
    EXPECT_EQ(wav.bitsPerSample, 32);
    ASSERT_EQ(wav.channels.size(), 2u);
    ASSERT_EQ(wav.frames(), 1000u);
    for (int c = 0; c < 2; ++c)
        for (size_t i = 0; i < 1000; ++i)
            ASSERT_EQ(std::memcmp(&wav.channels[c][i], &audio[c][i], 4), 0) << c << " " << i;
}

TEST(HostWavFile, OverwritesAnExistingFileWhole) {
    std::string dir = tavtest::hostScratchDir("wav-over");
    std::string path = dir + "/out.wav";
    std::string error;
    ASSERT_TRUE(writeWavFloat(path, {std::vector<float>(5000, 0.5f), std::vector<float>(5000, 0.5f)}, 44100, error));
    ASSERT_TRUE(writeWavFloat(path, {std::vector<float>(10, 0.25f), std::vector<float>(10, -0.25f)}, 22050, error));
    WavData wav;
    ASSERT_TRUE(readWav(path, wav, error)) << error;
    EXPECT_EQ(wav.frames(), 10u);
    EXPECT_EQ(wav.sampleRate, 22050);
    EXPECT_EQ(wav.channels[1][9], -0.25f);
}

TEST(HostWavFile, WriteFailuresAreReported) {
    std::string error;
    EXPECT_FALSE(writeWavFloat("/nonexistent-dir/x.wav", {std::vector<float>(4), std::vector<float>(4)}, 44100, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    std::string dir = tavtest::hostScratchDir("wav-bad");
    EXPECT_FALSE(writeWavFloat(dir + "/x.wav", {std::vector<float>(4), std::vector<float>(3)}, 44100, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(listDir(dir).empty());
}

TEST(HostWavFile, ReadsSixteenBitPcm) {
    std::vector<int16_t> samples = {0, 0, 16384, -16384, 32767, -32768, -1, 1};
    std::vector<uint8_t> bytes = pcm16File(samples, 44100);
    WavData wav;
    std::string error;
    ASSERT_TRUE(parseWav(bytes.data(), bytes.size(), wav, error)) << error;
    EXPECT_FALSE(wav.isFloat);
    EXPECT_EQ(wav.bitsPerSample, 16);
    ASSERT_EQ(wav.frames(), 4u);
    EXPECT_FLOAT_EQ(wav.channels[0][1], 0.5f);
    EXPECT_FLOAT_EQ(wav.channels[1][1], -0.5f);
    EXPECT_FLOAT_EQ(wav.channels[1][2], -1.0f);
    EXPECT_NEAR(wav.channels[0][2], 1.0f, 1e-4);
    EXPECT_FLOAT_EQ(wav.channels[0][3], -1.0f / 32768.0f);
}

TEST(HostWavFile, BrokenFilesAreRefused) {
    std::vector<uint8_t> good = pcm16File({1, 2, 3, 4, 5, 6}, 8000);
    WavData wav;
    std::string error;
    ASSERT_TRUE(parseWav(good.data(), good.size(), wav, error));
    // Cutting into the data chunk (or anything before it) leaves a chunk longer than the file.
    for (size_t len = 0; len < good.size(); ++len) {
        WavData w;
        EXPECT_FALSE(parseWav(good.data(), len, w, error)) << "prefix " << len;
        EXPECT_EQ(w.frames(), 0u);
    }
    std::vector<uint8_t> eightBit = good;
    eightBit[34] = 8;  // bits per sample
    EXPECT_FALSE(parseWav(eightBit.data(), eightBit.size(), wav, error));
    std::vector<uint8_t> noFormat = good;
    std::memcpy(&noFormat[12], "junk", 4);
    EXPECT_FALSE(parseWav(noFormat.data(), noFormat.size(), wav, error));
    EXPECT_FALSE(readWav("/nonexistent-dir/none.wav", wav, error));
}
