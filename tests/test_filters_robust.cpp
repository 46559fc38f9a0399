// Robustness of the voice and layer filters: bounded output for every mode, resonance,
// cutoff, separation and rate under full-scale noise; hostile controls (NaN, infinities,
// huge modulation, zero separation); no subnormal state after long silence without
// flush-to-zero; the cheap reset that clears only what a note reads; the four-lane layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_filters_util.h"

using namespace filtertest;

namespace {

class FilterRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        initFilterTables();
        exactDenormals();
    }
};

// Largest |output| a mode can reach from full-scale input: the combs hold ±100, the vowel
// resonators ±2 each times 28.3, every other kernel is far below.
float outputBound(int mode) {
    if (mode == kFilterVocal) return 10.0f * (28.3f * 8.0f + 1.0f);
    if (mode >= kFilterCombPositive && mode <= kFilterCombPingPong) return 100.0f;
    return 200.0f;
}

// Two seconds of full-scale noise through one mode at one rate, for every resonance,
// cutoff and separation of the sweep; returns an empty string or the first failure.
std::string sweepMode(int mode, float rate) {
    const float resonances[] = {0.0f, 0.5f, 1.0f};
    const float cutoffs[] = {0.0f, 0.5f, 1.0f};
    const float separations[] = {0.5f, 1.0f, 2.0f};
    auto f = std::make_unique<TFilter>();
    const int steps = (int)(2 * rate);
    for (float r : resonances) {
        for (float c : cutoffs) {
            for (float sep : separations) {
                f->init(rate);
                f->setType(mode, true);
                Noise noise;
                noise.state = (uint32_t)(mode * 7919 + 13);
                stereoOverStruct in, out;
                float peak = 0;
                for (int n = 0; n < steps; ++n) {
                    in = noise.record();
                    f->process({c, c}, {0, 0}, sep, r, 0.5f, 1, &in, &out);
                    for (int s = 0; s < 2; ++s)
                        peak = std::fmax(peak, std::fmax(std::fabs(out.sub[s].left),
                                                         std::fabs(out.sub[s].right)));
                    if (!std::isfinite(out.sub[0].left + out.sub[0].right + out.sub[1].left +
                                       out.sub[1].right))
                        peak = std::numeric_limits<float>::infinity();
                }
                if (!(peak <= outputBound(mode))) {
                    std::ostringstream msg;
                    msg << "mode " << mode << " rate " << rate << " r " << r << " cutoff " << c
                        << " sep " << sep << " peak " << peak;
                    return msg.str();
                }
            }
        }
    }
    return {};
}

TEST_F(FilterRobustness, EveryModeStaysFiniteAndBoundedUnderNoise) {
    // Every mode x resonance {0, 0.5, 1} x cutoff {0, 0.5, 1} x separation {0.5, 1, 2} x
    // rate {44.1, 96, 192 kHz}; the (mode, rate) jobs are spread over a few threads.
    const float rates[] = {44100.0f, 96000.0f, 192000.0f};
    std::vector<std::pair<int, float>> jobs;
    for (float rate : rates)
        for (int mode = 0; mode < kFilterModeCount; ++mode) jobs.push_back({mode, rate});
    std::vector<std::string> failures(jobs.size());
    std::atomic<size_t> next{0};
    const unsigned hw = std::thread::hardware_concurrency();
    const unsigned workers = hw == 0 ? 2 : (hw > 8 ? 8 : hw);
    std::vector<std::thread> pool;
    for (unsigned w = 0; w < workers; ++w)
        pool.emplace_back([&] {
            for (size_t j = next++; j < jobs.size(); j = next++)
                failures[j] = sweepMode(jobs[j].first, jobs[j].second);
        });
    for (auto& t : pool) t.join();
    for (const std::string& failure : failures) EXPECT_TRUE(failure.empty()) << failure;
}

TEST_F(FilterRobustness, HostileControlsNeverReachTheOutput) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = {nan, inf, -inf, 1e30f, -1e30f, 0.0f, 1.0f, -3.0f};
    auto f = std::make_unique<TFilter>();
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        for (float v : values) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " value " << v);
            f->init(44100.0f);
            f->setType(mode, true);
            f->setTrack(v, 1.0f);
            f->setVel(v, 1.0f);
            Noise noise;
            stereoOverStruct in[2], out[2];
            for (int n = 0; n < 2000; ++n) {
                for (auto& x : in) x = noise.record();
                f->setEnv(0, v);
                f->setEnv(1, 0.3f);
                f->process({v, 0.5f}, {v, v}, v, v, v, 2, in, out);
                for (const auto& y : out)
                    for (int s = 0; s < 2; ++s)
                        ASSERT_TRUE(std::isfinite(y.sub[s].left) && std::isfinite(y.sub[s].right))
                            << n;
            }
            // A hostile call leaves no lasting damage: sane controls filter normally again.
            f->setTrack(0, 0);
            f->setVel(0, 0);
            f->setEnv(0, 0);
            for (int n = 0; n < 2000; ++n) {
                for (auto& x : in) x = noise.record();
                f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0.5f, 2, in, out);
            }
            for (const auto& y : out) ASSERT_TRUE(std::isfinite(y.sub[1].left));
            // The smoothed cutoff has recovered from whatever the hostile value did to it.
            if (mode != kFilterBypass) {
                EXPECT_NEAR(f->getLaneCutoff(0), 20.0f * std::exp2(5.0f), 1.0f);
            }
            // The effect entry points take the same values.
            stereoOverStruct e{}, eo{};
            f->process(v, v, stereoStruct{v, v}, v, v, e, eo);
            f->process(stereoStruct{v, v}, stereoStruct{v, v}, v, v, e, eo);
            f->process(e, eo);
            ASSERT_TRUE(std::isfinite(eo.sub[0].left) && std::isfinite(eo.sub[1].right));
        }
    }
    // Unusual rates and copy counts.
    for (float rate : {nan, -5.0f, 0.0f, 999.0f, inf}) {
        f->init(rate);
        EXPECT_EQ(f->getRate(), 44100.0f);
    }
    f->setType(99, true);
    EXPECT_EQ(f->getType(), kFilterModeCount - 1);
    f->setType(-4, true);
    EXPECT_EQ(f->getType(), 0);
    f->setType(7, true);
    stereoOverStruct many[8], manyOut[8];
    Noise noise;
    for (auto& x : many) x = noise.record();
    f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0, 8, many, manyOut);
    EXPECT_EQ(0, std::memcmp(&many[6], &manyOut[6], 2 * sizeof(stereoOverStruct)));
    f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0, 0, many, manyOut);
    f->process({0.5f, 0.5f}, {0, 0}, 1.0f, 0.5f, 0, -3, many, manyOut);
    f->setEnv(-1, 1.0f);
    f->setEnv(6, 1.0f);
}

TEST_F(FilterRobustness, LoudInputSaturatesInsteadOfExploding) {
    // Noise at forty times full scale, and sines at four hundred times full scale at high
    // cutoffs with full resonance: the soft limits of the band and ladder states are held on
    // their rising branch, so the resonant modes saturate instead of running away.
    auto f = std::make_unique<TFilter>();
    struct Drive {
        double fc;
        bool sine;
        double amp;
    };
    const Drive drives[] = {{400, false, 40}, {4000, true, 400}, {12000, true, 400}};
    for (int mode = 1; mode < kFilterModeCount; ++mode) {
        for (const Drive& d : drives) {
            f->init(44100.0f);
            f->setType(mode, true);
            const float v = cutoffFor(d.fc);
            Noise noise;
            stereoOverStruct in, out;
            for (int n = 0; n < 20000; ++n) {
                in = d.sine ? sineRecord(d.fc, 44100.0, n, d.amp, d.amp) : noise.record((float)d.amp);
                f->process({v, v}, {0, 0}, 1.0f, 1.0f, 0.5f, 1, &in, &out);
                ASSERT_TRUE(std::isfinite(out.sub[0].left) && std::isfinite(out.sub[1].right) &&
                            std::fabs(out.sub[0].left) < 1e5f)
                    << "mode " << mode << " fc " << d.fc << " sample " << n;
            }
        }
    }
}

TEST_F(FilterRobustness, TenSecondsOfSilenceLeaveNoSubnormalState) {
    // After a burst of noise and ten seconds of silence, with flush-to-zero off, every state
    // is zero or of normal size, and so is every output.
    const float rate = 44100.0f;
    const int silence = (int)(10 * rate);
    auto f = std::make_unique<TFilter>();
    for (int mode = 1; mode < kFilterModeCount; ++mode) {
        for (float cutoff : {0.0f, 0.4f, 1.0f}) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " cutoff " << cutoff);
            f->init(rate);
            f->setType(mode, true);
            Noise noise;
            stereoOverStruct in[3], out[3];
            for (int n = 0; n < 2000; ++n) {
                for (auto& x : in) x = noise.record();
                f->process({cutoff, cutoff}, {0, 0}, 1.5f, 0.7f, 0.4f, 3, in, out);
            }
            bool outputsNormal = true;
            for (auto& x : in) x = stereoOverStruct{};
            for (int n = 0; n < silence; ++n) {
                f->process({cutoff, cutoff}, {0, 0}, 1.5f, 0.7f, 0.4f, 3, in, out);
                for (const auto& y : out)
                    outputsNormal &= noSubnormals(&y.sub[0].left, &y.sub[0].left + 4);
            }
            EXPECT_TRUE(outputsNormal);
            EXPECT_TRUE(noSubnormals(f->stateBegin(), f->stateEnd()));
            for (int c = 0; c < 4; ++c) {
                EXPECT_TRUE(noSubnormals(f->combFeedLine(c), f->combFeedLine(c) + 2 * kCombFrames));
                EXPECT_TRUE(
                    noSubnormals(f->combFeedbackLine(c), f->combFeedbackLine(c) + 2 * kCombFrames));
            }
        }
    }
    // The effect kernel and the layer filters likewise.
    TBPFilter bp;
    TLPFilter lp;
    THPFilter hp;
    bp.init(rate);
    lp.init(rate);
    hp.init(rate);
    f->init(rate);
    f->setType(8, true);
    Noise noise;
    stereoOverStruct in[3], out[3];
    for (int n = 0; n < silence + 2000; ++n) {
        for (auto& x : in) x = n < 2000 ? noise.record() : stereoOverStruct{};
        bp.process(true, {0.5f, 0.5f}, 0, 1.5f, 0.8f, 3, in, out);
        lp.process(0.2f, 0, 0.7f, 3, in, out);
        hp.process(0.5f, 0, 0.7f, 3, in, out);
        f->process(0.5f, 1.0f, stereoStruct{0, 0}, 0.7f, 0, in[0], out[0]);
    }
    EXPECT_TRUE(noSubnormals(bp.stateBegin(), bp.stateEnd()));
    EXPECT_TRUE(noSubnormals(lp.stateBegin(), lp.stateEnd()));
    EXPECT_TRUE(noSubnormals(hp.stateBegin(), hp.stateEnd()));
    EXPECT_TRUE(noSubnormals(f->stateBegin(), f->stateEnd()));
}

// Runs `steps` host samples of noise (seeded) with six notes and returns every output.
std::vector<stereoOverStruct> runNotes(TFilter& f, uint32_t seed, int steps, float cutoff,
                                       float res) {
    Noise noise;
    noise.state = seed;
    std::vector<stereoOverStruct> all;
    stereoOverStruct in[6], out[6];
    for (int n = 0; n < steps; ++n) {
        for (auto& x : in) x = noise.record();
        f.process({cutoff, cutoff * 0.9f}, {0, 0}, 1.7f, res, 0.3f, 6, in, out);
        all.insert(all.end(), out, out + 6);
    }
    return all;
}

TEST_F(FilterRobustness, ResetGivesTheOutputOfClearedLines) {
    // A filter whose comb lines are full of an earlier note, reset, plays a new note exactly
    // as a freshly cleared filter does, in every mode, while the lines themselves are not
    // rewritten by the reset.
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        SCOPED_TRACE(mode);
        auto used = std::make_unique<TFilter>();
        used->init(44100.0f);
        used->setType(31, true);
        runNotes(*used, 7, 30000, 0.15f, 0.9f);  // long delays: most of every line written
        used->setType(mode, true);
        used->reset();
        auto fresh = std::make_unique<TFilter>();
        fresh->init(44100.0f);
        fresh->setType(mode, true);
        // Longer than the longest delay, so reads run over frames written before the reset.
        const auto a = runNotes(*used, 99, 12000, 0.1f, 0.6f);
        const auto b = runNotes(*fresh, 99, 12000, 0.1f, 0.6f);
        ASSERT_EQ(a.size(), b.size());
        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(stereoOverStruct)));
    }
    auto f = std::make_unique<TFilter>();
    f->init(44100.0f);
    f->setType(30, true);
    runNotes(*f, 5, 20000, 0.2f, 0.5f);
    std::vector<float> before(f->combFeedLine(0), f->combFeedLine(0) + 2 * kCombFrames);
    f->reset();
    EXPECT_EQ(0, std::memcmp(before.data(), f->combFeedLine(0), before.size() * sizeof(float)));
}

TEST_F(FilterRobustness, ResetsAndModeChangesLeaveTheCombLinesAlone) {
    // Three layers of a six-note chord start in one sample: the resets of their voice
    // filters must touch only the hot state, never the 768 KiB of comb lines each (frames
    // not written since the reset read as 0 instead). A filter whose lines hold a comb's
    // echoes keeps every line byte through mode changes and resets.
    auto f = std::make_unique<TFilter>();
    f->init(44100.0f);
    f->setType(kFilterCombPositive, true);
    f->reset();
    stereoOverStruct in[6], out[6];
    uint32_t seed = 7;
    for (int n = 0; n < 20000; ++n) {
        for (auto& r : in)
            for (auto& s : r.sub) {
                seed = seed * 1664525u + 1013904223u;
                s.left = s.right = (float)(seed >> 8) / 8388608.0f - 1.0f;
            }
        f->process({0.3f, 0.3f}, {0.0f, 0.0f}, 1.0f, 0.8f, 0.5f, 6, in, out);
    }
    const char* lines = reinterpret_cast<const char*>(f->combFeedLine(0));
    const size_t lineBytes = reinterpret_cast<const char*>(f.get()) + sizeof(TFilter) - lines;
    ASSERT_GT(lineBytes, (size_t)(512 * 1024));
    std::vector<char> before(lines, lines + lineBytes);
    ASSERT_NE(std::count(before.begin(), before.end(), 0), (ptrdiff_t)lineBytes)
        << "the comb run wrote nothing into the lines";

    for (int mode : {kFilterZeroLow24, kFilterCombNegative, kFilterCombPositive}) {
        f->setType(mode, true);
        f->reset();
    }
    EXPECT_EQ(std::memcmp(before.data(), lines, lineBytes), 0);
}

TEST_F(FilterRobustness, FourLaneLayout) {
    static_assert(sizeof(Lanes4) == 16, "a lane vector is four packed floats");
    static_assert(sizeof(TFilter::Pair) % 64 == 0, "pair blocks fill whole cache lines");
    static_assert(alignof(TFilter::Pair) == 64, "pair blocks start on a cache line");
    // Each state is one four-lane vector per pair; the pairs lie in a row, ahead of the
    // comb lines, and the whole hot state stays within a few kilobytes.
    auto f = std::make_unique<TFilter>();
    const char* hotBegin = reinterpret_cast<const char*>(f->stateBegin());
    const char* hotEnd = reinterpret_cast<const char*>(f->stateEnd());
    const char* lines = reinterpret_cast<const char*>(f->combFeedLine(0));
    EXPECT_EQ(hotEnd - hotBegin, (ptrdiff_t)(3 * sizeof(TFilter::Pair)));
    EXPECT_LT(hotEnd, lines);
    EXPECT_LT(hotEnd - reinterpret_cast<const char*>(f.get()), 8192);
    EXPECT_EQ(offsetof(TFilter::Pair, svLow) % 16, 0u);
    EXPECT_EQ(offsetof(TFilter::Pair, zdS1) + 2 * sizeof(Lanes4), offsetof(TFilter::Pair, zdS2));
    EXPECT_EQ(f->combFeedLine(1) - f->combFeedLine(0), 2 * kCombFrames);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(hotBegin) % 64, 0u);
}

}  // namespace
