// WAV files: the host writes 32-bit float; tests read float and 16/24-bit PCM back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavhost {

struct WavData {
    int sampleRate = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    // One vector per channel, all of the same length.
    std::vector<std::vector<float>> channels;
    size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// 32-bit float WAV of the given channels (equal lengths), written to a temporary file and
// renamed into place.
bool writeWavFloat(const std::string& path, const std::vector<std::vector<float>>& channels,
                   int sampleRate, std::string& error);

// The bytes of such a file, for callers that write elsewhere.
bool encodeWavFloat(const std::vector<std::vector<float>>& channels, int sampleRate,
                    std::vector<uint8_t>& out, std::string& error);

constexpr size_t kMaxWavFileBytes = 1024u * 1024u * 1024u;

bool parseWav(const uint8_t* data, size_t size, WavData& out, std::string& error);
bool readWav(const std::string& path, WavData& out, std::string& error);

}  // namespace tavhost
