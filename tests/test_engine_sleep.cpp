// Sleep: an idle instance stops rendering sound and keeps its time. The same MIDI rendered
// with sleeping allowed and with it forced off must give the same output (within -120 dBFS):
// a note after a long silence, with the start-up sounds (a flanger whose LFO runs on), with
// a Gator pattern, a synced global LFO and a decaying reverb tail running through the
// silence; a delay at full feedback never falls asleep.
#include <algorithm>
#include <cmath>

#include "engine/RandSeed.h"
#include "test_mod_util.h"

using namespace enginetest;

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 256;

struct Take {
    std::vector<float> left, right;
    uint64_t slept = 0;
};

// A short note, 20 s of silence, a second note at 20 s (mid-block) and 1.5 s after it.
Take renderTake(const Params& params, bool allowSleep) {
    RandSeed.reset();  // the engine's shared generator: both takes draw the same values
    Engine e(params);
    e.p().setSleepAllowed(allowSleep);
    Take t;
    auto add = [&](int n) {
        const std::vector<float> l = e.render(n, kBlock);
        t.left.insert(t.left.end(), l.begin(), l.end());
        t.right.insert(t.right.end(), e.lastRight.begin(), e.lastRight.end());
    };
    e.noteOn(60, 100);
    add(kRate / 5);
    e.noteOff(60);
    add(20 * kRate - kRate / 5);
    e.noteOn(64, 110, 0, 100);
    add(kRate / 2);
    e.noteOff(64);
    add(kRate);
    t.slept = e.p().getSleptSamples();
    return t;
}

Params gatorLfoReverb() {
    using namespace modtest;
    Params p = with(noSlots(), slot(0, kSrcLFO1, kDestLayer1Semi, 0.6f));
    return with(p, {{LFO_SYNC_ON_TAGS[0], 1.0f}, {LFO_SPEED_TAGS[0], syncedSpeed(20)},
                    {LFO_MODE_TAGS[0], lfoModeValue(1)},               // one global LFO
                    {348, 1.0f}, {349, stepped(10, 10.99f)},           // Mod FX: Gator
                    {108, stepped(17, 33.99f)}, {110, stepped(7, 15.99f)},
                    {111, 0.3f}, {112, 0.7f}, {107, 0.5f},
                    {351, 0.0f}, {354, 1.0f}, {122, 0.6f}, {123, 0.7f}});  // long reverb
}

Params fullFeedbackDelay() {
    return with(modtest::noSlots(), {{351, 1.0f}, {116, 1.0f}, {117, 0.5f}, {114, 0.4f}});
}

struct Case {
    const char* name;
    Params params;
    bool sleeps;
};

TEST(EngineSleep, SleepingRendersWhatAlwaysRunningRenders) {
    const Case cases[] = {{"start-up sounds (flanger, reverb)", Params(), true},
                          {"Gator, synced LFO, reverb", gatorLfoReverb(), true},
                          {"delay at full feedback", fullFeedbackDelay(), false}};
    for (const Case& c : cases) {
        const Take awake = renderTake(c.params, false);
        const Take asleep = renderTake(c.params, true);
        ASSERT_EQ(awake.left.size(), asleep.left.size()) << c.name;
        double diff = 0.0;
        for (size_t i = 0; i < awake.left.size(); ++i)
            diff = std::max({diff, (double)std::fabs(awake.left[i] - asleep.left[i]),
                             (double)std::fabs(awake.right[i] - asleep.right[i])});
        EXPECT_LT(diff, 1e-6) << c.name;  // -120 dBFS
        EXPECT_EQ(awake.slept, 0u) << c.name;
        if (c.sleeps)
            EXPECT_GT(asleep.slept, (uint64_t)(2 * kRate)) << c.name;
        else
            EXPECT_EQ(asleep.slept, 0u) << c.name;
        // The second note sounds: the comparison covers real sound after the silence.
        EXPECT_GT(peak(asleep.left, 20 * kRate, kRate / 2), 1e-3) << c.name;
    }
}

}  // namespace
