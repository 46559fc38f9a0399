#include "hostlib/WavFile.h"

#include <cstring>

#include "hostlib/FileUtil.h"

namespace tavhost {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}
void putTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

uint16_t get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

}  // namespace

bool encodeWavFloat(const std::vector<std::vector<float>>& channels, int sampleRate,
                    std::vector<uint8_t>& out, std::string& error) {
    if (channels.empty() || channels.size() > 64) {
        error = "a WAV file needs 1 to 64 channels";
        return false;
    }
    size_t frames = channels[0].size();
    for (const auto& c : channels) {
        if (c.size() != frames) {
            error = "channels of different lengths";
            return false;
        }
    }
    if (sampleRate <= 0) {
        error = "bad sample rate";
        return false;
    }
    uint64_t dataBytes = (uint64_t)frames * channels.size() * 4;
    // RIFF sizes are 32-bit: header and chunks must fit under 4 GiB.
    if (dataBytes > 0xFFFFFFFFull - 64) {
        error = "too much audio for a WAV file";
        return false;
    }
    uint32_t nch = (uint32_t)channels.size();
    std::vector<uint8_t> b;
    b.reserve((size_t)dataBytes + 64);
    putTag(b, "RIFF");
    put32(b, (uint32_t)(4 + (8 + 18) + (8 + 4) + 8 + dataBytes));
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, 18);
    put16(b, kFormatFloat);
    put16(b, nch);
    put32(b, (uint32_t)sampleRate);
    put32(b, (uint32_t)sampleRate * nch * 4);
    put16(b, nch * 4);
    put16(b, 32);
    put16(b, 0);
    putTag(b, "fact");
    put32(b, 4);
    put32(b, (uint32_t)frames);
    putTag(b, "data");
    put32(b, (uint32_t)dataBytes);
    for (size_t i = 0; i < frames; ++i) {
        for (const auto& c : channels) {
            uint32_t bits;
            std::memcpy(&bits, &c[i], 4);
            put32(b, bits);
        }
    }
    out = std::move(b);
    return true;
}

bool writeWavFloat(const std::string& path, const std::vector<std::vector<float>>& channels,
                   int sampleRate, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!encodeWavFloat(channels, sampleRate, bytes, error)) return false;
    return writeFileAtomically(path, bytes.data(), bytes.size(), error);
}

bool parseWav(const uint8_t* data, size_t size, WavData& out, std::string& error) {
    out = WavData();
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    size_t pos = 12;
    bool haveFormat = false;
    uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
    uint32_t rate = 0;
    const uint8_t* samples = nullptr;
    size_t sampleBytes = 0;
    while (pos + 8 <= size) {
        const uint8_t* chunk = data + pos;
        uint32_t len = get32(chunk + 4);
        size_t body = pos + 8;
        if (len > size - body) {
            error = "truncated WAV file: chunk '" + std::string((const char*)chunk, 4) + "' claims " +
                    std::to_string(len) + " bytes, " + std::to_string(size - body) + " left";
            return false;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (len < 16) {
                error = "WAV format chunk too short";
                return false;
            }
            const uint8_t* f = data + body;
            format = get16(f);
            channels = get16(f + 2);
            rate = get32(f + 4);
            blockAlign = get16(f + 12);
            bits = get16(f + 14);
            if (format == kFormatExtensible) {
                if (len < 40) {
                    error = "WAV extensible format chunk too short";
                    return false;
                }
                format = get16(f + 24);  // first two bytes of the sub-format GUID
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            samples = data + body;
            sampleBytes = len;
        }
        pos = body + len + (len & 1);  // chunks are padded to an even size
    }
    if (!haveFormat) {
        error = "WAV file without a format chunk";
        return false;
    }
    if (!samples) {
        error = "WAV file without a data chunk";
        return false;
    }
    bool supported = (format == kFormatFloat && bits == 32) ||
                     (format == kFormatPcm && (bits == 16 || bits == 24));
    if (!supported) {
        error = "unsupported WAV sample format " + std::to_string(format) + " with " +
                std::to_string(bits) + " bits";
        return false;
    }
    if (channels == 0 || rate == 0 || blockAlign != channels * (bits / 8)) {
        error = "inconsistent WAV format chunk";
        return false;
    }
    size_t frames = sampleBytes / blockAlign;
    size_t bytesPerSample = bits / 8;
    WavData wav;
    wav.sampleRate = (int)rate;
    wav.bitsPerSample = bits;
    wav.isFloat = format == kFormatFloat;
    wav.channels.assign(channels, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i) {
        for (size_t c = 0; c < channels; ++c) {
            const uint8_t* s = samples + i * blockAlign + c * bytesPerSample;
            float v;
            if (wav.isFloat) {
                uint32_t u = get32(s);
                std::memcpy(&v, &u, 4);
            } else if (bits == 16) {
                v = (float)(int16_t)get16(s) / 32768.0f;
            } else {
                int32_t x = (int32_t)(((uint32_t)s[0] << 8) | ((uint32_t)s[1] << 16) | ((uint32_t)s[2] << 24)) >> 8;
                v = (float)x / 8388608.0f;
            }
            wav.channels[c][i] = v;
        }
    }
    out = std::move(wav);
    return true;
}

bool readWav(const std::string& path, WavData& out, std::string& error) {
    std::vector<uint8_t> data;
    if (!readWholeFile(path, kMaxWavFileBytes, data, error)) return false;
    if (!parseWav(data.data(), data.size(), out, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

}  // namespace tavhost
