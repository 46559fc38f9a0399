// The tavrolune-host program as users and scripts run it: usage errors, missing or broken
// files, and info, render, state and validate against a third-party plug-in.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "hostlib/MidiFile.h"
#include "hostlib/WavFile.h"
#include "support/host_test_support.h"

using namespace tavhost;
using tavtest::ProcessResult;

namespace {

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
        // In sanitizer builds the host would report the plug-in's own leaks at exit.
        const char* asan = std::getenv("ASAN_OPTIONS");
        std::string options = asan && *asan ? std::string(asan) + ":detect_leaks=0" : "detect_leaks=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
    }
    std::string demo() const { return std::string(TAV_SOURCE_DIR) + "/tools/demo/demo.mid"; }
    std::string dir_;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) out.push_back(line);
    return out;
}

// "N passed, M failed" exactly; false otherwise.
bool parseSummary(const std::string& line, int& passed, int& failed) {
    if (std::sscanf(line.c_str(), "%d passed, %d failed", &passed, &failed) != 2) return false;
    return line == std::to_string(passed) + " passed, " + std::to_string(failed) + " failed";
}

bool isResultLine(const std::string& line) {
    int p, f;
    return line.rfind("PASS ", 0) == 0 || line.rfind("FAIL ", 0) == 0 || line.rfind("SKIP ", 0) == 0 ||
           parseSummary(line, p, f);
}

// A parameter row of `info`: leading spaces, the index, two spaces, a quoted name.
bool parameterRow(const std::string& line, int& index) {
    size_t i = line.find_first_not_of(' ');
    if (i == 0 || i == std::string::npos || !std::isdigit((unsigned char)line[i])) return false;
    size_t end = line.find_first_not_of("0123456789", i);
    if (end == std::string::npos || line.compare(end, 3, "  \"") != 0) return false;
    index = std::atoi(line.c_str() + i);
    return true;
}

double rmsOf(const std::vector<float>& v) {
    double sum = 0;
    for (float x : v) sum += (double)x * x;
    return v.empty() ? 0.0 : std::sqrt(sum / (double)v.size());
}

}  // namespace

TEST_F(HostCli, UsageErrorsExitWithStatusTwo) {
    ProcessResult r = run({});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage: tavrolune-host"), std::string::npos);
    r = run({"help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("render PLUGIN --midi IN.mid --out OUT.wav"), std::string::npos);
    struct Case {
        std::vector<std::string> args;
        const char* mention;
    } cases[] = {
        {{"frobnicate"}, "unknown command"},
        {{"info"}, "exactly one plug-in"},
        {{"info", "a.so", "b.so"}, "exactly one plug-in"},
        {{"info", "a.so", "--bogus"}, "--bogus"},
        {{"render", "a.so", "--out", "x.wav"}, "--midi"},
        {{"render", "a.so", "--midi", "x.mid"}, "--out"},
        {{"render", "a.so", "--midi", "x.mid", "--out", "x.wav", "--rate", "abc"}, "--rate"},
        {{"render", "a.so", "--midi", "x.mid", "--out", "x.wav", "--rate", "44100.5"}, "--rate"},
        {{"render", "a.so", "--midi", "x.mid", "--out", "x.wav", "--block", "0"}, "--block"},
        {{"render", "a.so", "--midi", "x.mid", "--out", "x.wav", "--tempo", "-3"}, "--tempo"},
        {{"render", "a.so", "--midi", "x.mid", "--out", "x.wav", "--tail"}, "needs a value"},
        {{"render", "a.so", "--midi", "x.mid", "--midi", "y.mid", "--out", "x.wav"}, "more than once"},
        {{"state", "a.so"}, "--save"},
        {{"state", "a.so", "--save", "x", "--host-product", std::string(80, 'p')}, "63"},
        {{"validate", "a.so", "--only", "no-such-check"}, "unknown check"},
        {{"validate", "a.so", "--seed", "x"}, "--seed"},
    };
    for (const Case& c : cases) {
        r = run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[0] << " ... " << c.mention;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << r.err;
    }
}

TEST_F(HostCli, MissingOrForeignFilesFailClearly) {
    ProcessResult r = run({"info", "/nonexistent/plugin.so"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot load"), std::string::npos) << r.err;
    // A shared object that is no plug-in.
    r = run({"info", "/lib/x86_64-linux-gnu/libm.so.6"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("neither VSTPluginMain nor main"), std::string::npos) << r.err;

    std::string junk = dir_ + "/junk.mid";
    tavtest::writeBinaryFile(junk, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 9});
    std::string out = dir_ + "/never.wav";
    r = run({"render", "/nonexistent/plugin.so", "--midi", junk, "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("junk.mid"), std::string::npos) << r.err;
    EXPECT_FALSE(tavtest::fileExists(out));
    r = run({"render", "/nonexistent/plugin.so", "--midi", dir_ + "/none.mid", "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("none.mid"), std::string::npos);
    r = run({"state", "/nonexistent/plugin.so", "--load", dir_ + "/none.tvst"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("none.tvst"), std::string::npos);
}

TEST_F(HostCli, InfoListsIdentityAndEveryParameter) {
    needAmsynth();
    ProcessResult r = run({"info", tavtest::amsynthPath(), "--cando", "myOwnCapability"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* field : {"Effect name:", "Vendor version: 0x", "Unique ID:", "VST version:    2400",
                              "Category:       2 (synth)", "IsSynth", "Output pins:", "Can do:", "myOwnCapability"})
        EXPECT_NE(r.out.find(field), std::string::npos) << field;
    int count = -1;
    for (const std::string& line : lines(r.out))
        if (line.rfind("Parameters:", 0) == 0) count = std::atoi(line.c_str() + 11);
    ASSERT_GT(count, 0);
    int listed = 0, index = 0;
    for (const std::string& line : lines(r.out)) {
        if (parameterRow(line, index)) {
            EXPECT_EQ(index, listed);
            ++listed;
        }
    }
    EXPECT_EQ(listed, count);
}

TEST_F(HostCli, RendersTheDemoPhrase) {
    needAmsynth();
    MidiFile midi;
    std::string error;
    ASSERT_TRUE(readMidiFile(demo(), midi, error)) << error;
    std::string out = dir_ + "/demo.wav";
    ProcessResult r = run({"render", tavtest::amsynthPath(), "--midi", demo(), "--out", out, "--tail", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Real-time factor:"), std::string::npos);
    EXPECT_NE(r.out.find("left  peak"), std::string::npos);
    WavData wav;
    ASSERT_TRUE(readWav(out, wav, error)) << error;
    EXPECT_EQ(wav.sampleRate, 44100);
    ASSERT_EQ(wav.channels.size(), 2u);
    double expected = (midi.lengthSeconds + 1.0) * 44100.0;
    EXPECT_NEAR((double)wav.frames(), expected, 2.0);
    EXPECT_GT(rmsOf(wav.channels[0]), 0.01);
    for (const auto& ch : wav.channels)
        for (float v : ch) ASSERT_TRUE(std::isfinite(v));

    // Kept pre-roll, another rate, and a slower tempo that stretches the phrase.
    std::string out2 = dir_ + "/demo2.wav";
    r = run({"render", tavtest::amsynthPath(), "--midi", demo(), "--out", out2, "--tail", "1", "--keep-preroll",
             "--rate", "48000", "--block", "100", "--tempo", "60"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    WavData slow;
    ASSERT_TRUE(readWav(out2, slow, error)) << error;
    EXPECT_EQ(slow.sampleRate, 48000);
    double musicAt60 = (double)midi.lengthTicks / midi.ticksPerQuarter;  // one second per beat
    EXPECT_NEAR((double)slow.frames(), 8192.0 + (musicAt60 + 1.0) * 48000.0, 2.0);
}

TEST_F(HostCli, StateSavesLoadsAndRefusesTruncatedFiles) {
    needAmsynth();
    std::string s1 = dir_ + "/s1.tvst", s2 = dir_ + "/s2.tvst", s3 = dir_ + "/s3.tvst";
    ProcessResult r = run({"state", tavtest::amsynthPath(), "--save", s1});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string bytes = tavtest::readTextFile(s1);
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(bytes.substr(0, 4), "TVST");
    r = run({"state", tavtest::amsynthPath(), "--load", s1, "--save", s2});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Loaded"), std::string::npos);
    EXPECT_TRUE(tavtest::fileExists(s2));

    std::string cut = dir_ + "/cut.tvst";
    tavtest::writeBinaryFile(cut, std::vector<unsigned char>(bytes.begin(), bytes.end() - 1));
    r = run({"state", tavtest::amsynthPath(), "--load", cut, "--save", s3});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
    EXPECT_FALSE(tavtest::fileExists(s3));

    std::string out = dir_ + "/with-state.wav";
    r = run({"render", tavtest::amsynthPath(), "--midi", demo(), "--out", out, "--state", s1, "--tail", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = run({"render", tavtest::amsynthPath(), "--midi", demo(), "--out", out + "2", "--state", cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(tavtest::fileExists(out + "2"));
}

TEST_F(HostCli, ValidateListsItsChecks) {
    ProcessResult r = run({"validate", "--list"});
    ASSERT_EQ(r.exitCode, 0);
    for (const char* name : {"load", "basics", "open-close", "param-strings", "render-22050", "render-192000",
                             "automation", "param-range", "state-roundtrip", "bad-chunks", "bad-param-index"})
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
}

TEST_F(HostCli, ValidateSummaryMatchesItsLinesAndExitStatus) {
    needAmsynth();
    ProcessResult r = run({"validate", tavtest::amsynthPath()});
    std::vector<std::string> out = lines(r.out);
    ASSERT_FALSE(out.empty());
    int passed = -1, failed = -1;
    ASSERT_TRUE(parseSummary(out.back(), passed, failed)) << out.back();
    int passLines = 0, failLines = 0;
    for (const std::string& line : out) {
        passLines += line.rfind("PASS ", 0) == 0;
        failLines += line.rfind("FAIL ", 0) == 0;
    }
    EXPECT_EQ(passLines, passed);
    EXPECT_EQ(failLines, failed);
    EXPECT_EQ(r.exitCode, failed > 0 ? 1 : 0);
    EXPECT_GE(passed + failed, 15);
    EXPECT_NE(r.out.find("PASS load:"), std::string::npos);
    EXPECT_NE(r.out.find("PASS render-44100:"), std::string::npos);

    // A single selected check runs after loading, and a clean one exits 0.
    r = run({"validate", tavtest::amsynthPath(), "--only", "render-48000,open-close"});
    out.clear();
    for (const std::string& line : lines(r.out))  // the plug-in may print too
        if (isResultLine(line)) out.push_back(line);
    ASSERT_EQ(out.size(), 4u) << r.out;
    EXPECT_EQ(out[0].rfind("PASS load:", 0), 0u);
    EXPECT_EQ(out[1].rfind("PASS open-close:", 0), 0u);
    EXPECT_EQ(out[2].rfind("PASS render-48000:", 0), 0u);
    EXPECT_EQ(out[3], "3 passed, 0 failed");
    EXPECT_EQ(r.exitCode, 0);
}
