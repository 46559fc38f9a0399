// Sleep: an idle instance stops rendering sound and keeps its time. The same MIDI rendered
// with sleeping allowed and with it forced off must give the same output (within -120 dBFS):
// a note after a long silence, with the start-up sounds (a flanger whose LFO runs on), with
// a Gator pattern, a synced global LFO and a decaying reverb tail running through the
// silence; a delay at full feedback never falls asleep. Each effect at its longest, with
// feedback below 1, falls asleep only after its tail and still gives the second note's
// tail in full.
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

// A short note, silence, a second note at `gap` seconds (mid-block) and `tail` seconds
// after it.
Take renderTake(const Params& params, bool allowSleep, int gap, double tail) {
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
    add(gap * kRate - kRate / 5);
    e.noteOn(64, 110, 0, 100);
    add(kRate / 2);
    e.noteOff(64);
    add((int)(tail * kRate) - kRate / 2);
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

// One layer's saw, released at once, into one effect; the others off.
Params only(int onTag, const Params& more) {
    Params p = with(with(plainWave(1), modtest::noSlots()), {{8, 0.0f}, {onTag, 1.0f}});
    return with(p, more);
}

Params longDelay(float length, float feed) {
    return only(351, {{352, 0.0f}, {113, 0.5f}, {114, length}, {115, length},
                      {116, (feed + 0.99f) / 1.98f}, {117, 0.5f}});
}

// All wet, longest length (or highest pitch), full width and widening, feedback 0.9, the
// Chorus's low pass open (a closed one keeps the engine awake).
Params longModFX(int mode) {
    return only(348, {{349, stepped(mode, 10.99f)}, {350, 0.0f}, {107, 1.0f}, {108, 0.4f},
                      {109, 1.0f}, {110, 1.0f}, {111, 1.0f}, {112, mode == 0 ? 1.0f : 0.9f}});
}

struct Case {
    const char* name;
    Params params;
    bool sleeps;
    int gap = 20;         // seconds to the second note
    double tail = 1.5;    // seconds rendered from it
    double echo = 0.0;    // where its last echo sounds, seconds after it
};

TEST(EngineSleep, SleepingRendersWhatAlwaysRunningRenders) {
    const Case cases[] = {{"start-up sounds (flanger, reverb)", Params(), true},
                          {"Gator, synced LFO, reverb", gatorLfoReverb(), true},
                          {"delay at full feedback", fullFeedbackDelay(), false},
                          {"free delay at 4 s, one echo", longDelay(1.0f, 0.0f), true, 12, 4.6, 4.0},
                          {"delay at 128 ms, feedback 0.7", longDelay(7.0f / 12.0f, 0.7f), true, 8, 3.0},
                          {"reverb at its longest, all wet behind 512 ms of pre-delay",
                           only(354, {{120, 1.0f}, {121, 1.0f}, {122, 0.0f}, {123, 1.0f}}), true, 10, 3.0},
                          {"chorus", longModFX(0), true, 6, 2.0},
                          {"flanger", longModFX(1), true, 10, 3.0},
                          {"ensemble", longModFX(2), true, 6, 3.0},
                          {"phaser", longModFX(3), true, 6, 2.0},
                          {"distortion (keeps running)", only(346, {{104, 1.0f}}), false, 4, 1.0}};
    for (const Case& c : cases) {
        const Take awake = renderTake(c.params, false, c.gap, c.tail);
        const Take asleep = renderTake(c.params, true, c.gap, c.tail);
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
        EXPECT_GT(peak(asleep.left, c.gap * kRate, kRate), 1e-3) << c.name;
        if (c.echo > 0.0)
            EXPECT_GT(peak(asleep.left, (size_t)((c.gap + c.echo) * kRate), kRate / 4), 1e-3) << c.name;
    }
}

}  // namespace
