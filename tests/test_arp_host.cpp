// The arpeggiator through the built plug-in and the offline host, which gives the host's
// tempo, position and transport: the steps fall on the host's sixteenth notes.
#include <gtest/gtest.h>

#include "test_arp_util.h"

using namespace arptest;

namespace {

constexpr double kRate = 44100.0;
constexpr double kStep = 5512.5;  // a sixteenth at 120 BPM
// The arpeggiator steps on its 16-sample tick, and a note needs a few samples to pass the
// onset threshold.
constexpr double kLate = 40.0;

// Where each note starts: the first sample above `threshold` after at least `gap` quiet
// samples.
std::vector<int64_t> onsets(const std::vector<float>& x, float threshold = 0.01f, int gap = 400) {
    std::vector<int64_t> out;
    int quiet = gap;
    for (size_t i = 0; i < x.size(); ++i) {
        if (std::fabs(x[i]) > threshold) {
            if (quiet >= gap) out.push_back((int64_t)i);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return out;
}

// Pitches are measured from 1000 samples (600 for short notes) into a note, once its start
// has settled.
// Each step sounds for half its length and then releases quickly, so the notes stand apart.
Params hostSetup(int mode, const Params& more = {}) { return arpSetup(mode, with({{400, 0.5f}}, more)); }

std::vector<tavhost::TimedMidiEvent> keys(int64_t frame, const std::vector<int>& notes) {
    std::vector<tavhost::TimedMidiEvent> events;
    for (int n : notes) events.push_back(midi(frame, 0x90, (uint8_t)n, 100));
    return events;
}

HostRun at44() {
    HostRun run;
    run.rate = kRate;
    run.block = 512;
    run.tempo = 120.0;
    return run;
}

}  // namespace

TEST(ArpHost, UpPlaysSixteenthsOnTheHostsGrid) {
    const Rendered r = render(hostSetup(0), keys(1000, {67, 60, 64}), (int64_t)(11.2 * kStep), at44());
    ASSERT_TRUE(r.clean) << r.faults;
    const auto on = onsets(r.left);
    ASSERT_GE(on.size(), 10u);
    // Keys pressed in the middle of the first sixteenth wait for the second one.
    const int expected[3] = {60, 64, 67};
    for (size_t k = 0; k < 10; ++k) {
        const double grid = (double)(k + 1) * kStep;
        EXPECT_GE((double)on[k], grid - 1.0) << "step " << k;
        EXPECT_LE((double)on[k], grid + kLate) << "step " << k;
        const double f = zeroCrossingFrequency(r.left, (size_t)on[k] + 1000, 1500, kRate);
        EXPECT_NEAR(cents(f, formulaFrequency(expected[k % 3])), 0.0, 10.0) << "step " << k;
    }
}

TEST(ArpHost, TheStepsStayOnTheGridWhereverTheKeysFall) {
    std::vector<std::vector<int64_t>> runs;
    for (int64_t pressed : {(int64_t)300, (int64_t)3500, (int64_t)8000}) {
        const Rendered r = render(hostSetup(5), keys(pressed, {60, 67}), (int64_t)(6.2 * kStep), at44());
        const auto on = onsets(r.left);
        ASSERT_GE(on.size(), 3u) << pressed;
        // The first step is the first sixteenth after the keys.
        const double first = std::ceil((double)pressed / kStep) * kStep;
        for (size_t k = 0; k < 3; ++k) {
            const double grid = first + (double)k * kStep;
            EXPECT_GE((double)on[k], grid - 1.0) << pressed << " step " << k;
            EXPECT_LE((double)on[k], grid + kLate) << pressed << " step " << k;
        }
        // "Ordered": 60 then 67.
        const double f0 = zeroCrossingFrequency(r.left, (size_t)on[0] + 1000, 1500, kRate);
        const double f1 = zeroCrossingFrequency(r.left, (size_t)on[1] + 1000, 1500, kRate);
        EXPECT_NEAR(cents(f0, formulaFrequency(60)), 0.0, 10.0) << pressed;
        EXPECT_NEAR(cents(f1, formulaFrequency(67)), 0.0, 10.0) << pressed;
        runs.push_back(on);
    }
    // Keys anywhere in the first sixteenth give the very same onsets.
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR((double)runs[0][k], (double)runs[1][k], 2.0) << k;
}

TEST(ArpHost, WithoutHostSyncThePatternStartsWithTheKeys) {
    const Rendered r = render(hostSetup(0, {{404, 0.0f}}), keys(1000, {60}), (int64_t)(3.2 * kStep), at44());
    const auto on = onsets(r.left);
    ASSERT_GE(on.size(), 3u);
    EXPECT_GE(on[0], 1000);
    EXPECT_LE(on[0], 1000 + 40);
    EXPECT_NEAR((double)(on[1] - on[0]), kStep, 24.0);
}

TEST(ArpHost, DoubleSpeedPlaysThirtySecondsOnTheGrid) {
    const Rendered r = render(hostSetup(0, {{397, speedValue(10)}}), keys(1000, {60}), (int64_t)(3.2 * kStep), at44());
    const auto on = onsets(r.left, 0.01f, 200);
    ASSERT_GE(on.size(), 5u);
    // The pattern starts on the next sixteenth after the keys, then runs in 32nd notes.
    for (int k = 0; k < 5; ++k) {
        const double grid = kStep + (double)k * kStep / 2.0;
        EXPECT_GE((double)on[k], grid - 1.0) << k;
        EXPECT_LE((double)on[k], grid + kLate) << k;
    }
}

TEST(ArpHost, SwingAndPingPongAreHeardOnTheGrid) {
    // Four steps tuned 0, 2, 4, 7 played ping-pong, with full swing.
    const Rendered r = render(hostSetup(0, {{395, stepsValue(4)}, {410, loopModeValue(2)}, {398, 1.0f},
                                            {kRowTune + 1, tuneValue(2)}, {kRowTune + 2, tuneValue(4)},
                                            {kRowTune + 3, tuneValue(7)}, {400, 0.45f}}),
                              keys(1000, {60}), (int64_t)(9.2 * kStep), at44());
    const auto on = onsets(r.left);
    ASSERT_GE(on.size(), 8u);
    const int offsets[8] = {0, 2, 4, 7, 7, 4, 2, 0};
    for (int k = 0; k < 8; ++k) {
        const double f = zeroCrossingFrequency(r.left, (size_t)on[k] + 600, 900, kRate);
        EXPECT_NEAR(cents(f, formulaFrequency(60 + offsets[k])), 0.0, 10.0) << "step " << k;
        // Pairs of steps keep the grid: every other onset is on a sixteenth boundary pair.
        if (k % 2 == 0) {
            const double grid = kStep * (double)(k + 1);
            EXPECT_GE((double)on[k], grid - 1.0) << k;
            EXPECT_LE((double)on[k], grid + kLate) << k;
        } else {
            // Swing 1: the off-beat comes 4/3 of a sixteenth after the on-beat.
            EXPECT_NEAR((double)(on[k] - on[k - 1]), kStep * 4.0 / 3.0, kLate) << k;
        }
    }
}
