// The tape-style stereo delay: timing free and at tempo, gliding length changes, feedback
// and cross-feedback, the equal-decay rule, the feedback filter and the fixed history.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "dsp/TDelay.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Synced 0..1 value that selects entry `index` of the note-length table.
float syncedValue(int index) { return ((float)index + 0.5f) / 14.99f; }

struct Echoes {
    std::vector<float> left, right;
};

// Feeds `input` (left, right) sample by sample; samples beyond the input are silence.
Echoes runDelay(TDelay& d, int samples, float impulseLeft, float impulseRight) {
    Echoes r;
    r.left.resize(samples);
    r.right.resize(samples);
    for (int i = 0; i < samples; ++i) {
        stereoStruct in{i == 0 ? impulseLeft : 0.0f, i == 0 ? impulseRight : 0.0f};
        stereoStruct out;
        d.process(in, out);
        r.left[i] = out.left;
        r.right[i] = out.right;
    }
    return r;
}

int argMaxAbs(const std::vector<float>& v, int from, int to) {
    int best = from;
    for (int i = from; i < to; ++i)
        if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
    return best;
}

std::unique_ptr<TDelay> makeDelay(float rate = 44100.0f) {
    auto d = std::make_unique<TDelay>();
    d->init(rate);
    return d;
}

}  // namespace

// --- timing ---------------------------------------------------------------------------

TEST(DelayTiming, AQuarterNoteAtOneTwentyIsTwentyTwoThousandFiftyOneSamples) {
    auto d = makeDelay();
    d->setTempo(120.0f);
    d->setTimeSync(1.0f);
    d->setDelayLen({syncedValue(10), syncedValue(10)}, {0.0f, 0.0f}, 1.0f);  // 1/4
    EXPECT_EQ(d->getNominalLength(0), 22051.0f);
    Echoes r = runDelay(*d, 30000, 1.0f, 0.5f);
    EXPECT_EQ(argMaxAbs(r.left, 0, 30000), 22051);
    EXPECT_NEAR(r.left[22051], 1.0f, 1e-4f);
    EXPECT_NEAR(r.right[22051], 0.5f, 1e-4f);
    // Silence before the echo.
    for (int i = 0; i < 22051; ++i) ASSERT_NEAR(r.left[i], 0.0f, 1e-6f) << i;
}

TEST(DelayTiming, HalfTheTempoDelaysTwiceAsLong) {
    auto d = makeDelay();
    d->setTempo(60.0f);
    d->setTimeSync(1.0f);
    d->setDelayLen({syncedValue(10), syncedValue(10)}, {0.0f, 0.0f}, 1.0f);
    Echoes r = runDelay(*d, 50000, 1.0f, 1.0f);
    EXPECT_EQ(argMaxAbs(r.left, 0, 50000), 2 * 22050 + 1);
}

TEST(DelayTiming, SyncedFullValueIsThreeQuartersOfAWholeNotePlusOne) {
    auto d = makeDelay();
    d->setTempo(120.0f);
    d->setTimeSync(1.0f);
    d->setDelayLen({1.0f, 1.0f}, {0.0f, 0.0f}, 1.0f);
    EXPECT_EQ(d->getNominalLength(0), 0.75f * 88200.0f + 1.0f);
}

TEST(DelayTiming, FreeLengthsSpanOneMillisecondToFourSeconds) {
    auto d = makeDelay();
    d->setDelayLen({0.0f, 0.5f}, {0.0f, 0.0f}, 1.0f);
    EXPECT_NEAR(d->getNominalLength(0), 44.1f + 1.0f, 1e-3f);
    EXPECT_NEAR(d->getNominalLength(1), 64.0f * 44.1f + 1.0f, 1e-2f);
    Echoes r = runDelay(*d, 4000, 1.0f, 1.0f);
    // 45.1 samples: the impulse is spread over samples 45 and 46.
    EXPECT_GT(std::fabs(r.left[45]) + std::fabs(r.left[46]), 0.99f);
    EXPECT_EQ(argMaxAbs(r.right, 0, 4000), 2823);  // 2823.4 samples
    // Extra samples and the factor apply to the actual length only.
    d->setDelayLen({0.5f, 0.5f}, {100.0f, 0.0f}, 2.0f);
    EXPECT_NEAR(d->getActualLength(0), (64.0f * 44.1f + 1.0f + 100.0f) * 2.0f, 0.05f);
    EXPECT_NEAR(d->getNominalLength(0), 64.0f * 44.1f + 1.0f, 1e-2f);
}

TEST(DelayTiming, LengthsAreClampedAndNonsenseIsHarmless) {
    auto d = makeDelay();
    d->setDelayLenDirect(1.0f);
    EXPECT_EQ(d->getActualLength(0), 5.0f);
    d->setDelayLenDirect(1e9f, NAN);
    EXPECT_EQ(d->getActualLength(0), 262143.0f);
    EXPECT_EQ(d->getActualLength(1), 5.0f);
    d->setDelayLen({NAN, 7.0f}, {1e30f, -1e30f}, 1.0f);
    EXPECT_EQ(d->getActualLength(0), 262143.0f);
    EXPECT_EQ(d->getActualLength(1), 5.0f);
    d->setTempo(0.0f);  // no division by zero
    EXPECT_TRUE(std::isfinite(d->getSamplesPerWholeNote()));
    stereoStruct out;
    d->process({NAN, INFINITY}, out);
    for (int i = 0; i < 300000; ++i) d->process({0.0f, 0.0f}, out);
    EXPECT_TRUE(std::isfinite(out.left));
    EXPECT_TRUE(std::isfinite(out.right));
}

TEST(DelayTiming, NothingComesOutUntilALengthIsSet) {
    auto d = makeDelay();
    stereoStruct out;
    for (int i = 0; i < 5000; ++i) {
        d->process({1.0f, 1.0f}, out);
        ASSERT_EQ(out.left, 0.0f);
    }
    // A length set now: the write time starts moving, output follows one length later.
    d->setDelayLenDirect(100.0f);
    for (int i = 0; i < 99; ++i) {
        d->process({0.25f, 0.25f}, out);
        ASSERT_EQ(out.left, 0.0f) << i;
    }
    for (int i = 0; i < 10; ++i) d->process({0.25f, 0.25f}, out);
    EXPECT_NEAR(out.left, 0.25f, 1e-5f);
}

TEST(DelayTiming, TheLongestDelayFitsTheHistoryRightAfterAReset) {
    auto d = makeDelay();
    d->setDelayLenDirect(262143.0f);
    Echoes r = runDelay(*d, 262143 + 10, 1.0f, -1.0f);
    EXPECT_EQ(argMaxAbs(r.left, 0, 262153), 262143);
    EXPECT_NEAR(r.left[262143], 1.0f, 1e-4f);
    EXPECT_NEAR(r.right[262143], -1.0f, 1e-4f);
    EXPECT_LE(d->getHistorySize(0), TDelay::kHistoryCapacity);
}

TEST(DelayTiming, ALongRunKeepsExactTimingAcrossTheTimeRebase) {
    // At 5 samples the write time grows by 20 units a sample: it passes 2^24 within a
    // million samples, where the history times are moved back.
    auto d = makeDelay();
    d->setDelayLenDirect(5.0f);
    stereoStruct out;
    std::vector<float> in(1200000);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = (float)std::sin(0.001 * (double)i * (i % 7));
    for (std::size_t i = 0; i < in.size(); ++i) {
        d->process({in[i], in[i]}, out);
        if (i >= 5) {
            ASSERT_NEAR(out.left, in[i - 5], 1e-5f) << i;
        }
    }
}

// --- length changes -------------------------------------------------------------------

TEST(DelayGlide, HalvingTheLengthRaisesThePitchWithoutAJump) {
    auto d = makeDelay();
    d->setDelayLenDirect(4000.0f);
    const double f = 441.0;
    const double slope = 2.0 * kPi * f / 44100.0;  // largest step of a unit sine
    stereoStruct out;
    float prev = 0.0f;
    double maxStep = 0.0;
    int crossingsBefore = 0, crossingsAfter = 0;
    long n = 0;
    auto step = [&](int count, int* crossings) {
        for (int i = 0; i < count; ++i, ++n) {
            const float x = (float)std::sin(2.0 * kPi * f * (double)n / 44100.0);
            d->process({x, x}, out);
            if (n > 4100) {
                maxStep = std::max(maxStep, (double)std::fabs(out.left - prev));
                if (crossings && (prev < 0.0f) != (out.left < 0.0f)) ++*crossings;
            }
            prev = out.left;
        }
    };
    step(8000, nullptr);
    step(2000, &crossingsBefore);
    d->setDelayLenDirect(2000.0f);
    // While the read catches up (4000 samples of history read in 2000 samples) the pitch
    // is doubled.
    step(2000, &crossingsAfter);
    EXPECT_NEAR((double)crossingsAfter / crossingsBefore, 2.0, 0.1);
    // No click: the output moves at most as fast as a sine of twice the pitch.
    EXPECT_LT(maxStep, 2.0 * slope * 1.05);
}

// --- feedback -------------------------------------------------------------------------

TEST(DelayFeedback, EchoesDecayByTheFeedbackFactor) {
    auto d = makeDelay();
    d->setDelayLenDirect(1000.0f);
    d->setFeed(0.5f, 0.0f);
    Echoes r = runDelay(*d, 4100, 1.0f, 1.0f);
    EXPECT_NEAR(r.left[1000], 1.0f, 1e-4f);
    EXPECT_NEAR(r.left[2000], 0.5f, 1e-4f);
    EXPECT_NEAR(r.left[3000], 0.25f, 1e-4f);
    EXPECT_NEAR(r.left[4000], 0.125f, 1e-4f);
    EXPECT_NEAR(r.left[2500], 0.0f, 1e-6f);
}

TEST(DelayFeedback, NegativeFeedbackAlternatesTheSign) {
    auto d = makeDelay();
    d->setDelayLenDirect(500.0f);
    d->setFeed(-0.8f, 0.0f);
    Echoes r = runDelay(*d, 1600, 1.0f, 1.0f);
    EXPECT_NEAR(r.left[500], 1.0f, 1e-4f);
    EXPECT_NEAR(r.left[1000], -0.8f, 1e-4f);
    EXPECT_NEAR(r.left[1500], 0.64f, 1e-4f);
}

TEST(DelayFeedback, CrossFeedbackPingPongs) {
    auto d = makeDelay();
    d->setDelayLenDirect(1000.0f);
    d->setFeed(0.0f, 0.9f);
    Echoes r = runDelay(*d, 4100, 1.0f, 0.0f);  // impulse on the left only
    EXPECT_NEAR(r.left[1000], 1.0f, 1e-4f);
    EXPECT_NEAR(r.right[1000], 0.0f, 1e-6f);
    EXPECT_NEAR(r.right[2000], 0.9f, 1e-3f);
    EXPECT_NEAR(r.left[2000], 0.0f, 1e-6f);
    EXPECT_NEAR(r.left[3000], 0.81f, 1e-3f);
    EXPECT_NEAR(r.right[3000], 0.0f, 1e-6f);
    EXPECT_NEAR(r.right[4000], 0.729f, 1e-3f);
}

TEST(DelayFeedback, FeedAndCrossTogetherStayBelowOne) {
    auto d = makeDelay();
    d->setFeed(0.9f, 0.9f);
    const float sum = std::fabs(d->getFeedback(0)) + std::fabs(d->getCrossFeedback(0));
    EXPECT_LT(sum, 1.0f);
    EXPECT_GT(sum, 0.999f);
    // Out of range values count as 0.999.
    d->setFeed(5.0f, -5.0f);
    EXPECT_LT(std::fabs(d->getFeedback(1)) + std::fabs(d->getCrossFeedback(1)), 1.0f);
    EXPECT_GT(d->getFeedback(0), 0.0f);
    EXPECT_LT(d->getCrossFeedback(0), 0.0f);
    // At the strongest settings a long run of loud input stays bounded.
    d->setDelayLenDirect(37.0f, 53.0f);
    d->setFeed(0.999f, 0.999f);
    stereoStruct out;
    float peak = 0.0f;
    for (int i = 0; i < 200000; ++i) {
        d->process({(i & 64) ? 1.0f : -1.0f, 1.0f}, out);
        peak = std::max(peak, std::max(std::fabs(out.left), std::fabs(out.right)));
    }
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LE(peak, 100.0f);
}

TEST(DelayFeedback, EqualFeedbackGivesBothSidesTheSameDecayPerSecond) {
    auto d = makeDelay();
    d->setEqual(1.0f);
    d->setDelayLenDirect(20000.0f, 10000.0f);
    d->setFeed(0.5f, 0.0f);
    EXPECT_NEAR(d->getFeedback(0), 0.5f, 1e-6f);
    EXPECT_NEAR(d->getFeedback(1), std::sqrt(0.5f), 1e-3f);
    EXPECT_EQ(d->getCrossFeedback(0), 0.0f);
    // Measured: over the same 20000 samples both sides fall by the same factor.
    Echoes r = runDelay(*d, 40001, 1.0f, 1.0f);
    EXPECT_NEAR(r.left[40000] / r.left[20000], 0.5f, 2e-3f);
    EXPECT_NEAR(r.right[30000] / r.right[10000], 0.5f, 2e-3f);
    // Negative feed keeps its sign; equal lengths recompute the left side.
    d->setDelayLenDirect(1000.0f, 1000.0f);
    d->setFeed(-0.5f, 0.0f);
    EXPECT_LT(d->getFeedback(0), 0.0f);
    EXPECT_NEAR(d->getFeedback(1), -0.5f, 1e-6f);
    // With cross-feedback the equal rule does not apply.
    d->setDelayLenDirect(20000.0f, 10000.0f);
    d->setFeed(0.5f, 0.3f);
    EXPECT_NEAR(d->getFeedback(0), d->getFeedback(1), 1e-6f);
}

TEST(DelayFeedback, FlagsReportChanges) {
    auto d = makeDelay();
    EXPECT_FALSE(d->setEqual(0.2f));
    EXPECT_TRUE(d->setEqual(0.8f));
    EXPECT_FALSE(d->setEqual(0.9f));
    EXPECT_TRUE(d->setTimeSync(1.0f));
    EXPECT_TRUE(d->getTimeSync());
    bool changed = false;
    EXPECT_TRUE(TDelay::getStateAndChanged(0.7f, false, changed));
    EXPECT_TRUE(changed);
}

// --- feedback filter ------------------------------------------------------------------

TEST(DelayFilter, OpenEndsTurnTheFilterOff) {
    auto d = makeDelay();
    d->setFeedFilter(1.0f, 0.0f);
    EXPECT_FALSE(d->getFeedFilterOn());
    d->setFeedFilter(0.9f, 0.0f);
    EXPECT_TRUE(d->getFeedFilterOn());
    EXPECT_NEAR(d->getFeedFilterFreq(0.0f), 20.0f / 44100.0f, 1e-7f);
    EXPECT_NEAR(d->getFeedFilterFreq(1.0f), 0.2f, 1e-7f);
}

TEST(DelayFilter, TheBandPassShapesTheRepeats) {
    // A tone outside the band comes out of the delay much weaker than with the filter off.
    auto level = [](float low, float high, double freq) {
        auto d = makeDelay();
        d->setDelayLenDirect(100.0f);
        d->setFeedFilter(low, high);
        stereoStruct out;
        double sum = 0.0;
        for (int i = 0; i < 44100; ++i) {
            const float x = (float)std::sin(2.0 * kPi * freq * i / 44100.0);
            d->process({x, x}, out);
            if (i > 22050) sum += (double)out.left * out.left;
        }
        return std::sqrt(sum / 22050.0);
    };
    const double open = level(1.0f, 0.0f, 60.0);
    EXPECT_NEAR(open, std::sqrt(0.5), 0.01);
    // High-pass fraction 20 * 2^8 / 44100: a one-pole corner near 1.8 kHz; 60 Hz loses
    // more than 20 dB.
    EXPECT_LT(level(0.99f, 0.8f, 60.0), open * 0.1);
    // Low-pass fraction 20 * 2^3 / 44100: a corner near 50 Hz; 5 kHz loses more than 20 dB.
    EXPECT_LT(level(0.3f, 0.0f, 5000.0), open * 0.1);
}

// --- reset ----------------------------------------------------------------------------

TEST(DelayReset, InitSilencesTheHistory) {
    auto d = makeDelay();
    d->setDelayLenDirect(1000.0f);
    d->setFeed(0.9f);
    runDelay(*d, 3000, 1.0f, 1.0f);
    d->init(48000.0f);
    EXPECT_EQ(d->getRate(), 48000.0f);
    EXPECT_FALSE(d->getFeedFilterOn());
    EXPECT_EQ(d->getFeedback(0), 0.0f);
    EXPECT_EQ(d->getSamplesPerWholeNote(), 96000.0f);
    d->setDelayLenDirect(1000.0f);
    Echoes r = runDelay(*d, 5000, 0.0f, 0.0f);
    for (float v : r.left) ASSERT_NEAR(v, 0.0f, 1e-12f);
}
