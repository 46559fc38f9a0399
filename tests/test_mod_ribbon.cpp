// The ribbon controller: moved and released it springs back in the tempo-synced time (and
// faster with the speed destinations), "Instant" and "Off", a learned controller arms the
// countdown, the quantisation steps (heard as pitch through the offline host), the bipolar
// rest, and the smoothing held stable for any destination value.
#include "test_mod_util.h"

using namespace enginetest;
using namespace modtest;

namespace {

class ModRibbon : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("mod-ribbon")); }
};

constexpr float kWholeNotes[18] = {0.0f,         0.0f,         1.0f / 48.0f, 1.0f / 32.0f,
                                   3.0f / 64.0f, 1.0f / 24.0f, 1.0f / 16.0f, 3.0f / 32.0f,
                                   1.0f / 12.0f, 1.0f / 8.0f,  3.0f / 16.0f, 1.0f / 6.0f,
                                   1.0f / 4.0f,  3.0f / 8.0f,  1.0f / 3.0f,  1.0f / 2.0f,
                                   3.0f / 4.0f,  1.0f};

struct Bench {
    Engine e;
    explicit Bench(const Params& params) {
        e.set(params);
        e.render(256);
    }
    APlugin& p() { return e.p(); }
    // Samples until the ribbon parameter reaches `rest`, -1 when it does not within `limit`.
    int samplesToRest(float rest, int limit) {
        for (int n = 1; n <= limit; ++n) {
            e.render(1, 1);
            if (p().paramValue[kRibbonValueTag] == rest) return n;
        }
        return -1;
    }
};

}  // namespace

TEST_F(ModRibbon, ReleasedRibbonSpringsBackInTheSyncedTime) {
    for (int index : {9, 12, 15}) {
        for (double tempo : {120.0, 150.0}) {
            Bench b(with(dryPatch(0), {{666, springTimeValue(index)}, {665, 0.0f}}));
            APlugin& p = b.p();
            p.tempo = (float)tempo;  // the in-process host reports no time: the engine keeps it
            p.tempoD = tempo;
            p.setParameter(kRibbonValueTag, 1.0f);  // moved to the top
            p.setRibbonSpringOn();                  // and let go
            const double expected = kWholeNotes[index] * 240.0 * kRate / tempo;
            b.e.render((int)(expected / 2.0));
            EXPECT_NEAR(p.paramValue[kRibbonValueTag], 0.5f, 0.002f) << "half way at half time";
            const int rest = b.samplesToRest(0.0f, (int)expected);
            ASSERT_GT(rest, 0) << index << " at " << tempo;
            EXPECT_NEAR(rest + expected / 2.0, expected, 2.0) << index << " at " << tempo;
            EXPECT_FALSE(p.ribbonSpringOn);
        }
    }
}

TEST_F(ModRibbon, SpeedDestinationsHalveTheTimeInstantAndOff) {
    const int index = 12;  // a quarter note: 24000 samples at 120 BPM
    const double expected = 0.25 * 240.0 * kRate / 120.0;
    // Ribbon spring speed x 2 (destination 398) halves the time; so does Global Speed (23).
    for (int dest : {398, 23}) {
        Bench b(with(dryPatch(0), with({{666, springTimeValue(index)}},
                                       slot(0, kSrcOffset, dest, 0.625f))));
        b.p().setParameter(kRibbonValueTag, 0.8f);
        b.p().setRibbonSpringOn();
        // The spring covers whatever distance it starts from in the synced time.
        const int n = b.samplesToRest(0.0f, (int)expected);
        EXPECT_NEAR(n, expected / 2.0, 3.0) << "destination " << dest;
    }
    {
        Bench b(with(dryPatch(0), {{666, springTimeValue(1)}, {665, 1.0f}}));
        b.p().setParameter(kRibbonValueTag, 0.1f);
        b.p().setRibbonSpringOn();
        EXPECT_EQ(b.samplesToRest(0.5f, 4), 1) << "Instant reaches rest within one sample";
    }
    {
        Bench b(with(dryPatch(0), {{666, springTimeValue(0)}}));
        b.p().setParameter(kRibbonValueTag, 0.7f);
        b.p().setRibbonSpringOn();
        EXPECT_FALSE(b.p().ribbonSpringOn);
        b.e.render(20000);
        EXPECT_FLOAT_EQ(b.p().paramValue[kRibbonValueTag], 0.7f) << "Off leaves it where it is";
    }
    {
        Bench b(with(dryPatch(0), {{666, springTimeValue(9)}, {665, 1.0f}}));
        b.p().setParameter(kRibbonValueTag, 0.50005f);
        b.p().setRibbonSpringOn();
        EXPECT_FALSE(b.p().ribbonSpringOn) << "within 0.0001 of rest: no spring";
    }
}

TEST_F(ModRibbon, LearnedControllerArmsTheCountdown) {
    Bench b(with(dryPatch(0), {{666, springTimeValue(1)}, {665, 0.0f}}));
    APlugin& p = b.p();
    p.midiCCMap[20] = kRibbonValueTag;
    p.midiLatched[kRibbonValueTag] = 1;  // no soft takeover to wait for
    // One sample past a 4096 boundary, move the ribbon with the controller.
    b.e.render(4096 - (int)(p.sampleCounter & 4095) + 1);
    b.e.send({{0xB0, 20, 100}});
    b.e.render(1, 1);
    EXPECT_NEAR(p.paramValue[kRibbonValueTag], 100.0f / 127.0f, 1e-6f);
    EXPECT_EQ(p.ribbonCountdown, 4);
    const int n = b.samplesToRest(0.0f, 5 * 4096);
    EXPECT_GT(n, 3 * 4096 - 2);
    EXPECT_LE(n, 4 * 4096 + 2);
}

TEST_F(ModRibbon, QuantisationStepsTheSource) {
    struct Case {
        bool bipolar;
        int quant;
        float value;
        float expected;
    };
    const Case cases[] = {
        {false, 12, 0.3f, 0.0f},  {false, 12, 0.7f, 1.0f},   // "2": 0 or 1
        {true, 12, 0.1f, -1.0f},  {true, 12, 0.4f, 0.0f},   {true, 12, 0.8f, 1.0f},
        {false, 10, 0.3f, 1.0f / 3.0f},                       // "4": 0, 1/3, 2/3, 1
        {false, 3, 0.3f, 6.0f / 19.0f},                       // "20"
        {false, 0, 0.3f, 0.3f},                               // off
        {true, 0, 0.5f, 0.0f},                                // bipolar rest
    };
    for (const Case& c : cases) {
        Bench b(with(dryPatch(0), {{665, c.bipolar ? 1.0f : 0.0f}, {667, quantValue(c.quant)},
                                   {kRibbonValueTag, c.value}}));
        b.e.render(1000);
        EXPECT_NEAR(b.p().modSrcGlobal[kSrcRibbon], c.expected, 1e-5f)
            << c.bipolar << " " << c.quant << " " << c.value;
        EXPECT_EQ(b.p().modSrcVoice[3][kSrcRibbon], b.p().modSrcGlobal[kSrcRibbon]);
    }
}

TEST_F(ModRibbon, QuantisedRibbonIsHeardAsPitchSteps) {
    // The ribbon moves layer 1 by 36 semitones x a (a = 1/3) x its value; with "4" the
    // value 0.3 becomes 1/3: four semitones instead of 3.6.
    for (int quant : {0, 10}) {
        Params patch = with(dryPatch(0), slot(0, kSrcRibbon, kDestLayer1Semi, 0.5f + 1.0f / 6.0f));
        patch = with(patch, {{667, quantValue(quant)}, {kRibbonValueTag, 0.3f}});
        const auto ev = std::vector<tavhost::TimedMidiEvent>{midi(0, 0x90, 69, 100)};
        const Rendered r = render(patch, ev, (int64_t)(0.6 * kRate));
        ASSERT_TRUE(r.clean) << r.faults;
        const double f = zeroCrossingFrequency(r.left, (size_t)(0.3 * kRate), (size_t)(0.25 * kRate), kRate);
        const double semis = quant ? std::trunc((1.0f / 3.0f) * 3600.0f) * 0.01 / 3.0
                                   : std::trunc(0.3f * 3600.0f) * 0.01 / 3.0;
        EXPECT_NEAR(cents(f, 220.0), 100.0 * semis, 1.5) << "quantisation " << quant;
    }
}

TEST_F(ModRibbon, SmoothingFollowsItsDestinationAndStaysStable) {
    // Smoothing 1: the source creeps; any amount on the destination keeps it bounded.
    Bench slow(with(dryPatch(0), with({{665, 0.0f}}, slot(0, kSrcOffset, 399, 1.0f))));
    slow.e.render(300);
    slow.p().setParameter(kRibbonValueTag, 1.0f);
    slow.e.render(1000);
    const float crept = slow.p().modSrcGlobal[kSrcRibbon];
    EXPECT_GT(crept, 0.01f);
    EXPECT_LT(crept, 0.2f);

    // A negative smoothing destination would make the coefficient leave 0..1; it is held.
    Bench wild(with(dryPatch(0), with({{665, 0.0f}}, with(slot(0, kSrcOffset, 399, 0.0f),
                                                          slot(1, kSrcOffset, 399, 0.0f)))));
    for (int k = 0; k < 20; ++k) {
        wild.p().setParameter(kRibbonValueTag, (k & 1) ? 1.0f : 0.0f);
        wild.e.render(500);
        const float s = wild.p().modSrcGlobal[kSrcRibbon];
        ASSERT_TRUE(std::isfinite(s));
        ASSERT_LE(std::fabs(s), 1.0f);
        ASSERT_TRUE(std::isfinite(wild.p().ribbonSmoothed));
        ASSERT_LE(std::fabs(wild.p().ribbonSmoothed), 1.0 + 1e-6);
    }
    // The value destination adds to the output, clamped to -1..1.
    Bench add(with(dryPatch(0), with({{665, 0.0f}, {kRibbonValueTag, 0.6f}},
                                     slot(0, kSrcOffset, 400, 1.0f))));
    add.e.render(1000);
    EXPECT_FLOAT_EQ(add.p().modSrcGlobal[kSrcRibbon], 1.0f);
}
