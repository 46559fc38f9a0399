// The host's state file: round trips of both kinds, and all-or-nothing loading that
// refuses truncated, padded or foreign files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "hostlib/StateFile.h"
#include "support/host_test_support.h"

using namespace tavhost;

namespace {

PluginState chunkState() {
    PluginState s;
    s.kind = StateKind::Chunk;
    s.uniqueID = vstFourCC('T', 'e', 's', 't');
    for (int i = 0; i < 300; ++i) s.chunk.push_back((uint8_t)(i * 37));
    return s;
}

PluginState paramState() {
    PluginState s;
    s.kind = StateKind::Parameters;
    s.uniqueID = -12345;
    s.params = {0.0f, 1.0f, 0.25f, 1e-7f, 0.999f};
    return s;
}

}  // namespace

TEST(HostStateFile, BothKindsRoundTripThroughAFile) {
    std::string dir = tavtest::hostScratchDir("state");
    for (const PluginState& s : {chunkState(), paramState()}) {
        std::string path = dir + "/s.tvst";
        std::string error;
        ASSERT_TRUE(saveStateFile(path, s, error)) << error;
        PluginState back;
        ASSERT_TRUE(loadStateFile(path, back, error)) << error;
        EXPECT_EQ(back.kind, s.kind);
        EXPECT_EQ(back.uniqueID, s.uniqueID);
        EXPECT_EQ(back.chunk, s.chunk);
        ASSERT_EQ(back.params.size(), s.params.size());
        for (size_t i = 0; i < s.params.size(); ++i) EXPECT_EQ(back.params[i], s.params[i]);
    }
}

TEST(HostStateFile, LayoutIsTheDocumentedOne) {
    std::vector<uint8_t> b = encodeState(paramState());
    ASSERT_EQ(b.size(), kStateHeaderBytes + 5 * 4);
    EXPECT_EQ(std::memcmp(b.data(), "TVST", 4), 0);
    EXPECT_EQ(b[4], kStateFileVersion);
    EXPECT_EQ(b[8], 2);   // parameters
    EXPECT_EQ(b[16], 5);  // count
    float v;
    std::memcpy(&v, &b[kStateHeaderBytes + 8], 4);  // little-endian hosts
    EXPECT_EQ(v, 0.25f);
}

TEST(HostStateFile, TruncatedOrPaddedFilesAreRefused) {
    for (const PluginState& s : {chunkState(), paramState()}) {
        std::vector<uint8_t> b = encodeState(s);
        for (size_t len = 0; len < b.size(); ++len) {
            PluginState out;
            out.uniqueID = 77;
            std::string error;
            EXPECT_FALSE(decodeState(b.data(), len, out, error)) << len;
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(out.uniqueID, 77) << "a refused file changed the output";
        }
        std::vector<uint8_t> longer = b;
        longer.push_back(0);
        PluginState out;
        std::string error;
        EXPECT_FALSE(decodeState(longer.data(), longer.size(), out, error));
    }
}

TEST(HostStateFile, ForeignHeadersAreRefused) {
    std::vector<uint8_t> good = encodeState(chunkState());
    std::string error;
    PluginState out;
    ASSERT_TRUE(decodeState(good.data(), good.size(), out, error));
    std::vector<uint8_t> badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(decodeState(badMagic.data(), badMagic.size(), out, error));
    EXPECT_NE(error.find("magic"), std::string::npos);
    std::vector<uint8_t> badVersion = good;
    badVersion[4] = 9;
    EXPECT_FALSE(decodeState(badVersion.data(), badVersion.size(), out, error));
    std::vector<uint8_t> badKind = good;
    badKind[8] = 3;
    EXPECT_FALSE(decodeState(badKind.data(), badKind.size(), out, error));
    // A count that would overflow a naive size computation.
    std::vector<uint8_t> hugeCount = encodeState(paramState());
    hugeCount[16] = hugeCount[17] = hugeCount[18] = hugeCount[19] = 0xff;
    EXPECT_FALSE(decodeState(hugeCount.data(), hugeCount.size(), out, error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
}

TEST(HostStateFile, MissingFileIsAnError) {
    PluginState out;
    std::string error;
    EXPECT_FALSE(loadStateFile("/nonexistent-dir/x.tvst", out, error));
    EXPECT_FALSE(error.empty());
}
