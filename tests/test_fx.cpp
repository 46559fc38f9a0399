// The effects: the distortion and amp stage, the effect chain and its routing, the delay, the
// equaliser, the Mod FX and the output stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/TAmpModels.h"
#include "dsp/TDelay.h"
#include "dsp/TParaEQ.h"
#include "test_fx_util.h"

using namespace fxtest;

namespace {

// --- distortion and amp stage --------------------------------------------------------------

// Layer 0 into the distortion, on, in `mode` with the mix and the two knobs given.
void setDistortion(Rig& r, int mode, float mix, float a, float b) {
    r.route(0, kLayerDestDistortion);
    r.set(104, mix);
    r.set(105, a);
    r.set(106, b);
    r.p().distortOn = 1;
    r.p().distortMode = mode;
}

TEST(DistortionStage, EveryModelChangesASineAndStaysBoundedAtFourTimesOverdrive) {
    // Two tones at a combined peak near 4: four times full scale.
    std::vector<float> x(16384);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (float)(2.0 * std::sin(2.0 * kPi * 220.0 * i / 44100.0) + 2.0 * std::sin(2.0 * kPi * 3300.0 * i / 44100.0));
    for (int mode = 0; mode < 26; ++mode) {
        Rig r;
        setDistortion(r, mode, 1.0f, 0.8f, 0.7f);
        r.init();
        const std::vector<float> y = r.run(x);
        EXPECT_TRUE(allFinite(y)) << "mode " << mode;
        EXPECT_LT(peakAbs(y, 0, y.size()), 64.0) << "mode " << mode;
        EXPECT_GT(rms(y, 4096, y.size()), 1e-3) << "mode " << mode;
        EXPECT_GT(changeOf(x, y, 4096), 0.05) << "mode " << mode;
    }
}

TEST(DistortionStage, TheSpeakerModelsShapeStayStableAndResetClean) {
    const std::vector<float> x = noise(22050, 5, 0.3f);
    for (int mode : {0, 4}) {
        for (int model = 0; model < (mode == 0 ? 6 : 4); ++model) {
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " model " << model);
            Rig r;
            setDistortion(r, mode, 1.0f, steppedValue(model, mode == 0 ? 5.99f : 3.99f), 0.0f);
            r.init();
            const std::vector<float> y = r.run(x);
            ASSERT_TRUE(allFinite(y));
            EXPECT_LE(peakAbs(y, 0, y.size()), 2.0);
            const double change = changeOf(x, y, 2048);
            EXPECT_TRUE(model == 0 ? change < 0.05 : change > 0.2) << change << " (model 0 is a bypass)";
            // A reset leaves nothing of the speaker's history: the same input sounds the same.
            r.init();
            const std::vector<float> again = r.run(x);
            for (std::size_t i = 0; i < y.size(); ++i) ASSERT_NEAR(again[i], y[i], 1e-6f) << i;
        }
    }
    // The cabinet rows: the high-rate ones above 88.2 kHz, bad models held to the ends.
    EXPECT_EQ(ampmodels::cabRow(2, 96000.0f), 6);
    EXPECT_EQ(ampmodels::cabRow(9, 44100.0f), 3);
    EXPECT_EQ(ampmodels::cabRow(-1, 192000.0f), 4);
}

TEST(DistortionStage, MixHalfIsDryPlusWet) {
    // "Limit" with A = 0, B = 1: the wet signal is the input clamped to 1/64.
    const std::vector<float> x = sine(8192, 500.0, 0.5);
    auto render = [&](float mix) {
        Rig r;
        setDistortion(r, 13, mix, 0.0f, 1.0f);
        r.init();
        return r.run(x);
    };
    const std::vector<float> dry = render(0.0f), wet = render(1.0f), half = render(0.5f);
    EXPECT_LT(rms(wet, 4096, 8192), 0.02);
    for (std::size_t i = 0; i < 8192; ++i) ASSERT_NEAR(dry[i], x[i], 1e-6f) << i;
    for (std::size_t i = 4096; i < 8192; ++i) ASSERT_NEAR(half[i], dry[i] + wet[i], 1e-4f) << i;
}

TEST(DistortionStage, OnOrOffTheBusCarriesNoDC) {
    // "Rectify" at full amount turns a sine into its positive half: a strong DC that the DC
    // blocker removes. Off, the stage only removes DC.
    Rig r;
    setDistortion(r, 21, 1.0f, 1.0f, 0.5f);
    r.init();
    const std::vector<float> y = r.run(sine(44100 * 3, 441.0, 0.8));
    double mean = 0.0;
    for (std::size_t i = 88200; i < y.size(); ++i) mean += y[i];
    EXPECT_GT(rms(y, 88200, y.size()), 0.1);
    EXPECT_LT(std::fabs(mean / (double)(y.size() - 88200)), 1e-3);
    Rig off;
    off.route(0, kLayerDestDistortion);
    off.init();
    std::vector<float> x = sine(44100, 1000.0, 0.5);
    for (float& v : x) v += 0.25f;
    const std::vector<float> z = off.run(x);
    for (std::size_t i = 30000; i < 44100; ++i) ASSERT_NEAR(z[i], x[i] - 0.25f, 5e-3f) << i;
}

// --- the chain and its path orders ------------------------------------------------------------

// Mod FX of the given type on layer 0, wet only, knobs 108.. as given.
void setModFX(Rig& r, int type, std::initializer_list<float> knobs = {}) {
    r.route(0, kLayerDestModFX);
    r.p().modFXOn = 1;
    r.p().modFXMode = type;
    r.set(107, 1.0f);
    int tag = 108;
    for (float k : knobs) r.set(tag++, k);
}

// Delay on, a quarter note at the tempo, mix as given, no feedback, filter off.
void setQuarterDelay(Rig& r, float mix) {
    r.p().delayOn = 1;
    r.set(113, mix);
    r.set(352, 1.0f);                     // synced
    r.set(114, (10.0f + 0.5f) / 14.99f);  // 1/4
    r.set(115, (10.0f + 0.5f) / 14.99f);
    r.set(116, 0.5f);  // feedback 0
    r.set(117, 0.5f);  // cross-feedback 0
    r.set(118, 1.0f);  // feedback filter off
    r.set(119, 0.0f);
}

TEST(EffectChain, ALayerEntersJustBeforeItsEffect) {
    // Path 0 (Mod FX > Delay > Reverb): a Mod FX layer passes the delay; path 3 (Delay >
    // Reverb > Mod FX): it misses it. Path 5 (Reverb > Delay > Mod FX): a reverb layer
    // passes the delay; path 0: it does not. Mix 0.5 keeps dry and wet at full level. The
    // echo comes a quarter note later, at 120 and 60 BPM.
    struct Case {
        LayerDest dest;
        int path;
        float echo, tempo;
    };
    for (const Case& c : {Case{kLayerDestModFX, 0, 0.9f, 120}, Case{kLayerDestModFX, 3, 0.0f, 120},
                          Case{kLayerDestReverb, 5, 0.9f, 120}, Case{kLayerDestReverb, 0, 0.0f, 120},
                          Case{kLayerDestDelay, 0, 0.9f, 60}}) {
        Rig r;
        r.route(0, c.dest);
        setQuarterDelay(r, 0.5f);
        r.p().tempo = c.tempo;
        r.p().reverbOn = c.dest == kLayerDestReverb;
        r.set(120, 0.0f);  // the reverb dry
        r.set(344, steppedValue(c.path, 5.99f));
        r.init();
        const int quarter = (int)(44100.0f * 60.0f / c.tempo) + 1;
        const std::vector<float> y = r.run(impulse(quarter + 10));
        EXPECT_NEAR(y[0], 1.0f, 1e-3f) << c.dest << " path " << c.path;
        EXPECT_NEAR(y[quarter], c.echo, 1e-3f) << c.dest << " path " << c.path;
        EXPECT_LT(peakAbs(y, 1, quarter), 1e-3) << c.dest << " path " << c.path;
    }
}

TEST(EffectChain, BypassAllSumsTheLayersDry) {
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.route(1, kLayerDestDelay);
    r.route(2, kLayerDestReverb);
    setDistortion(r, 13, 1.0f, 0.0f, 1.0f);  // would clamp to 1/64
    r.p().modFXOn = r.p().reverbOn = 1;
    setQuarterDelay(r, 1.0f);
    r.set(120, 1.0f);
    r.p().bypassAllFX = 1;
    r.init();
    const std::vector<float> a = sine(44100, 440.0, 0.3), b = sine(44100, 660.0, 0.3), c = sine(44100, 990.0, 0.3);
    double err = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const stereoStruct o = r.step({a[i], a[i]}, {b[i], b[i]}, {c[i], c[i]});
        if (i > 22050) err = std::fmax(err, std::fabs(o.left - (a[i] + b[i] + c[i])));
    }
    EXPECT_LT(err, 0.01);
}

TEST(EffectChain, EveryEffectOffPassesTheDistortionOutputAndTheRoutedLayers) {
    Rig r;
    r.route(0, kLayerDestModFX);
    r.route(1, kLayerDestDelay);
    r.route(2, kLayerDestReverb);
    r.init();
    for (int i = 0; i < 1000; ++i) {
        const float a = (float)std::sin(0.01 * i), b = (float)std::cos(0.02 * i), c = 0.1f;
        const stereoStruct o = r.step({a, -a}, {b, b}, {c, c});
        ASSERT_NEAR(o.left, a + b + c, 1e-5f);
        ASSERT_NEAR(o.right, -a + b + c, 1e-5f);
    }
}

TEST(EffectChain, MixEndsPanAndOutputSources) {
    for (float mix : {0.0f, 1.0f}) {
        Rig r;
        r.route(0, kLayerDestDelay);
        setQuarterDelay(r, mix);
        r.set(116, 0.9f);  // feedback, so the delay holds plenty
        r.init();
        const std::vector<float> x = sine(30000, 700.0, 0.5);
        const std::vector<float> y = r.run(x);
        // Mix 0: the echoes do not leak in; mix 1: nothing of the dry signal.
        for (std::size_t i = 0; i < (mix == 0.0f ? y.size() : 22051); ++i)
            ASSERT_NEAR(y[i], mix == 0.0f ? x[i] : 0.0f, 1e-6f) << i;
        EXPECT_TRUE(mix == 0.0f || rms(y, 23000, 30000) > 0.2);
    }
    Rig r;
    r.route(0, kLayerDestDelay);
    setQuarterDelay(r, 1.0f);
    r.init();
    r.p().modDestGlobal[320] = -1.0f;  // Delay Pan hard left
    const std::vector<float> y = r.run(impulse(22051 + 10));
    EXPECT_NEAR(y[22051], 0.9f, 1e-3f);
    EXPECT_NEAR(r.lastRight[22051], 0.0f, 1e-6f);
    // The distortion and delay outputs are modulation sources, written only when used.
    Rig s;
    s.route(0, kLayerDestDistortion);
    s.route(1, kLayerDestDelay);
    setDistortion(s, 1, 0.0f, 0.0f, 0.0f);
    setQuarterDelay(s, 0.5f);
    s.init();
    s.step({0.5f, 0.25f}, {0.5f, 0.5f});
    EXPECT_EQ(s.p().modSrcGlobal[125], 0.0f);
    EXPECT_EQ(s.p().modSrcGlobal[127], 0.0f);
    s.p().fxOutSrcUsed[0] = s.p().fxOutSrcUsed[2] = 1;
    s.step({0.5f, 0.25f}, {0.5f, 0.5f});
    EXPECT_NEAR(s.p().modSrcGlobal[125], 3.0f, 1e-3f);
    EXPECT_NEAR(s.p().modSrcGlobal[127], 4.0f * (0.75f + 1.0f), 1e-2f);  // with the distortion's
}

TEST(EffectChain, ThePreDelayHoldsTheReverbBackAndARateChangeRebuilds) {
    Rig r;
    r.route(0, kLayerDestReverb);
    r.p().reverbOn = 1;
    r.set(120, 1.0f);
    r.set(121, 0.7f);  // 2^7 / 2000 s = 64 ms
    r.set(122, 0.5f);
    r.set(123, 0.75f);
    r.init();
    const std::vector<float> y = r.run(impulse(20000));
    const std::size_t pre = (std::size_t)(std::exp2(7.0) / 2000.0 * 44100.0 + 1.0);
    EXPECT_LT(peakAbs(y, 0, pre), 1e-6);
    EXPECT_GT(peakAbs(y, pre, y.size()), 1e-3);
    r.p().setSampleRate(48000.0f);
    EXPECT_EQ(r.p().fxReverb.getCombLength(0), 1215);
    EXPECT_EQ(r.p().fxDelay.getRate(), 48000.0f);
    EXPECT_NEAR(r.p().distortDCCoef, 30.0f / 96000.0f, 1e-9f);
}

TEST(EffectChain, TheSoundDoesNotChangeWhenTheCountersWrap) {
    // The reverb (pre-delay) and the Ensemble read their lines at positions taken from the
    // block counter: from just below 2^31 and 2^32 they sound as from a small value.
    auto render = [](uint32_t start, bool ensemble) {
        Rig r;
        if (ensemble) {
            setModFX(r, 2, {0.6f, 0.5f, 0.8f, 0.3f, 0.7f});
        } else {
            r.route(0, kLayerDestReverb);
            r.p().reverbOn = 1;
            const float knobs[4] = {1.0f, 0.5f, 0.8f, 0.7f};
            for (int k = 0; k < 4; ++k) r.set(120 + k, knobs[k]);
        }
        r.init();
        r.p().blockCounter = r.p().sampleCounter = start;
        return r.run(sine(30000, 300.0, 0.5));
    };
    for (bool ensemble : {false, true}) {
        const std::vector<float> ref = render(4096u, ensemble);
        EXPECT_GT(rms(ref, 20000, 30000), 0.01) << ensemble;
        for (uint32_t start : {0x80000000u - 8192u, 0u - 8192u})
            EXPECT_EQ(render(start, ensemble), ref) << "ensemble " << ensemble << " from " << start;
    }
}

// The pre- and post-boost gains are remembered between samples; a destination that moves
// must change the level at once. With the distortion on and fully dry only the pre-boost
// reaches the output.
TEST(EffectChain, BoostDestinationsTakeEffectAtOnce) {
    for (uint8_t on : {0, 1}) {
        Rig r;
        r.route(0, kLayerDestDistortion);
        r.p().distortOn = on;
        r.init();
        const std::vector<float> x = sine(8000, 440.0, 0.01);
        const double plain = rms(r.run(x), 4000, 8000);
        r.p().modDestGlobal[318] = 1.0f;  // post-boost +20 dB
        const double post = rms(r.run(x), 4000, 8000);
        r.p().modDestGlobal[318] = 0.0f;
        r.p().modDestGlobal[317] = -1.0f;  // pre-boost -20 dB
        const double pre = rms(r.run(x), 4000, 8000);
        r.p().modDestGlobal[317] = 0.0f;
        const double back = rms(r.run(x), 4000, 8000);
        EXPECT_NEAR(post / plain, on ? 1.0 : 10.0, 0.02 * (on ? 1.0 : 10.0)) << (int)on;
        EXPECT_NEAR(pre / plain, 0.1, 0.002) << (int)on;
        EXPECT_NEAR(back / plain, 1.0, 0.002) << (int)on;
    }
}

// --- the tape-style delay ---------------------------------------------------------------

struct Echoes {
    std::vector<float> left, right;
};

// `samples` outputs of `d` for the inputs in(0), in(1), ...
template <class In>
Echoes drive(TDelay& d, long samples, In in) {
    Echoes r;
    stereoStruct out;
    for (long i = 0; i < samples; ++i) {
        d.process(in(i), out);
        r.left.push_back(out.left);
        r.right.push_back(out.right);
    }
    return r;
}

// An impulse (left, right) at sample 0, then silence.
Echoes runDelay(TDelay& d, long samples, float left, float right) {
    return drive(d, samples, [&](long i) { return stereoStruct{i ? 0.0f : left, i ? 0.0f : right}; });
}

std::unique_ptr<TDelay> makeDelay(float len = 0.0f, float feed = 0.0f, float cross = 0.0f) {
    auto d = std::make_unique<TDelay>();
    d->init(44100.0f);
    if (len > 0.0f) d->setDelayLenDirect(len);
    d->setFeed(feed, cross);
    return d;
}

TEST(Delay, LengthsFreeSyncedAndClamped) {
    auto d = makeDelay();
    d->setTempo(120.0f);
    d->setTimeSync(1.0f);
    d->setDelayLen({1.0f, 1.0f}, {0.0f, 0.0f}, 1.0f);  // the longest note: 3/4 of a whole
    EXPECT_EQ(d->getNominalLength(0), 0.75f * 88200.0f + 1.0f);
    // Free lengths span 1 ms to 4 s; 45.1 samples spread the impulse over 45 and 46.
    d->setTimeSync(0.0f);
    d->setDelayLen({0.0f, 0.5f}, {0.0f, 0.0f}, 1.0f);
    Echoes r = runDelay(*d, 4000, 1.0f, 1.0f);
    EXPECT_GT(std::fabs(r.left[45]) + std::fabs(r.left[46]), 0.99f);
    EXPECT_EQ(argMaxAbs(r.right, 0, 4000), 2823u);  // 2823.4 samples
    // Extra samples and the factor apply to the actual length only.
    d->setDelayLen({0.5f, 0.5f}, {100.0f, 0.0f}, 2.0f);
    EXPECT_NEAR(d->getActualLength(0), (64.0f * 44.1f + 1.0f + 100.0f) * 2.0f, 0.05f);
    EXPECT_NEAR(d->getNominalLength(0), 64.0f * 44.1f + 1.0f, 1e-2f);
    // Nonsense is held to 5 .. 262143 samples and never reaches the output.
    d->setDelayLenDirect(1e9f, NAN);
    EXPECT_TRUE(d->getActualLength(0) == 262143.0f && d->getActualLength(1) == 5.0f);
    d->setDelayLen({NAN, 7.0f}, {1e30f, -1e30f}, 1.0f);
    EXPECT_TRUE(d->getActualLength(0) == 262143.0f && d->getActualLength(1) == 5.0f);
    d->setTempo(0.0f);
    EXPECT_TRUE(std::isfinite(d->getSamplesPerWholeNote()));
    r = runDelay(*d, 300000, NAN, INFINITY);
    EXPECT_TRUE(std::isfinite(r.left.back()) && std::isfinite(r.right.back()));
    // The longest delay fits the history right after a reset.
    r = runDelay(*makeDelay(262143.0f), 262143 + 10, 1.0f, -1.0f);
    EXPECT_EQ(argMaxAbs(r.left, 0, r.left.size()), 262143u);
    EXPECT_NEAR(r.right[262143], -1.0f, 1e-4f);
}

// Init silences the history; nothing comes out until a length is set, then the input follows
// one length later. At 5 samples the write time passes 2^24 within a million samples, where
// the history times are moved back: the timing stays exact.
TEST(Delay, TheHistoryStartsSilentAndKeepsExactTimingAcrossTheTimeRebase) {
    auto d = makeDelay(1000.0f, 0.9f);
    runDelay(*d, 3000, 1.0f, 1.0f);
    d->init(48000.0f);
    EXPECT_TRUE(d->getFeedback(0) == 0.0f && d->getSamplesPerWholeNote() == 96000.0f);
    d->setDelayLenDirect(1000.0f);
    EXPECT_LT(peakAbs(runDelay(*d, 3000, 0.0f, 0.0f).left, 0, 3000), 1e-12);
    d = makeDelay();
    auto in = [](long i) { return i < 5000 ? 1.0f : (float)std::sin(0.001 * (double)i * (i % 7)); };
    const std::vector<float> y = drive(*d, 1200000, [&](long i) {
        if (i == 5000) d->setDelayLenDirect(5.0f);
        return stereoStruct{in(i), in(i)};
    }).left;
    for (long i = 0; i < 1200000; ++i) ASSERT_NEAR(y[i], i < 5004 ? 0.0f : in(i - 5), 1e-5f) << i;
}

TEST(Delay, HalvingTheLengthRaisesThePitchWithoutAJump) {
    auto d = makeDelay(4000.0f);
    const double slope = 2.0 * kPi * 441.0 / 44100.0;  // largest step of a unit sine
    const std::vector<float> y = drive(*d, 12000, [&](long i) {
        if (i == 10000) d->setDelayLenDirect(2000.0f);  // 4000 samples read in 2000: twice the pitch
        return stereoStruct{(float)std::sin((double)i * slope), 0.0f};
    }).left;
    int crossings[2] = {0, 0};  // in the 2000 samples before the change and after it
    double maxStep = 0.0;
    for (long n = 4101; n < 12000; ++n) {
        maxStep = std::max(maxStep, (double)std::fabs(y[n] - y[n - 1]));
        if (n >= 8000 && (y[n - 1] < 0.0f) != (y[n] < 0.0f)) ++crossings[n >= 10000];
    }
    EXPECT_NEAR((double)crossings[1] / crossings[0], 2.0, 0.1);
    EXPECT_LT(maxStep, 2.0 * slope * 1.05);  // no click
}

TEST(Delay, FeedbackCrossFeedbackAndTheFeedbackFilter) {
    // Echoes at the multiples of 1000 samples, nothing in between.
    struct Case {
        float feed, cross, impulseRight;
        float left[4], right[4];
    };
    const Case cases[] = {
        {0.5f, 0.0f, 1.0f, {1.0f, 0.5f, 0.25f, 0.125f}, {1.0f, 0.5f, 0.25f, 0.125f}},
        {-0.8f, 0.0f, 1.0f, {1.0f, -0.8f, 0.64f, -0.512f}, {1.0f, -0.8f, 0.64f, -0.512f}},
        {0.0f, 0.9f, 0.0f, {1.0f, 0.0f, 0.81f, 0.0f}, {0.0f, 0.9f, 0.0f, 0.729f}},  // ping-pong
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.feed << "/" << c.cross);
        const Echoes r = runDelay(*makeDelay(1000.0f, c.feed, c.cross), 4100, 1.0f, c.impulseRight);
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(r.left[1000 * (k + 1)], c.left[k], 1e-3f) << "echo " << k;
            EXPECT_NEAR(r.right[1000 * (k + 1)], c.right[k], 1e-3f) << "echo " << k;
        }
        EXPECT_NEAR(r.left[2500], 0.0f, 1e-6f);
    }
    // Feed and cross together stay below one, also out of range; loud input stays bounded.
    auto d = makeDelay(0.0f, 5.0f, -5.0f);
    EXPECT_LT(std::fabs(d->getFeedback(1)) + std::fabs(d->getCrossFeedback(1)), 1.0f);
    EXPECT_TRUE(d->getFeedback(0) > 0.0f && d->getCrossFeedback(0) < 0.0f);
    d->setDelayLenDirect(37.0f, 53.0f);
    d->setFeed(0.999f, 0.999f);
    const Echoes loud = drive(*d, 200000, [](long i) { return stereoStruct{(i & 64) ? 1.0f : -1.0f, 1.0f}; });
    EXPECT_TRUE(allFinite(loud.left) && allFinite(loud.right));
    EXPECT_LE(std::max(peakAbs(loud.left, 0, 200000), peakAbs(loud.right, 0, 200000)), 100.0);
    // Equal feedback gives both sides the same decay per second; negative feed keeps its
    // sign; with cross-feedback the equal rule does not apply.
    d = makeDelay();
    d->setEqual(1.0f);
    d->setDelayLenDirect(20000.0f, 10000.0f);
    d->setFeed(0.5f, 0.0f);
    const Echoes r = runDelay(*d, 40001, 1.0f, 1.0f);
    EXPECT_NEAR(r.left[40000] / r.left[20000], 0.5f, 2e-3f);
    EXPECT_NEAR(r.right[30000] / r.right[10000], 0.5f, 2e-3f);
    d->setFeed(0.5f, 0.3f);
    EXPECT_NEAR(d->getFeedback(0), d->getFeedback(1), 1e-6f);
    d->setDelayLenDirect(1000.0f, 1000.0f);
    d->setFeed(-0.5f, 0.0f);
    EXPECT_TRUE(d->getFeedback(0) < 0.0f && std::fabs(d->getFeedback(1) + 0.5f) < 1e-6f);
    // The feedback filter: a tone outside the band comes out much weaker than with it off.
    auto level = [](float low, float high, double freq) {
        auto f = makeDelay(100.0f);
        f->setFeedFilter(low, high);
        return rms(drive(*f, 44100, [x = sine(44100, freq, 1.0)](long i) { return stereoStruct{x[i], x[i]}; }).left,
                   22051, 44100);
    };
    const double open = level(1.0f, 0.0f, 60.0);
    EXPECT_NEAR(open, std::sqrt(0.5), 0.01);
    EXPECT_LT(level(0.99f, 0.8f, 60.0), open * 0.1);   // high-pass corner near 1.8 kHz
    EXPECT_LT(level(0.3f, 0.0f, 5000.0), open * 0.1);  // low-pass corner near 50 Hz
}

TEST(Delay, ARunGivesProcessSamplesBitForBitAlsoWhereTheHistoryWraps) {
    // Past the history's capacity, so its indices wrap within some run; moving lengths with
    // nonsense among them, cross-feedback, and inputs that are not numbers now and then.
    auto one = makeDelay(0.0f, 0.7f, -0.25f);
    auto run = makeDelay(0.0f, 0.7f, -0.25f);
    const long total = TDelay::kHistoryCapacity + 40000;
    uint32_t noise = 12345u;
    auto next = [&noise] { return (noise = noise * 1664525u + 1013904223u) >> 8; };
    long mismatches = 0;
    for (long i = 0; i < total;) {
        const int n = 1 + (int)(next() % 16);
        stereoStruct in[16], ran[16];
        float lenL[16], lenR[16];
        for (int j = 0; j < n; ++j) {
            const double t = (double)(i + j);
            lenL[j] = (float)(9.0 + 6.0 * std::sin(t * 1e-3));
            lenR[j] = (float)(40.0 + 36.0 * std::sin(t * 7e-4));
            if (next() % 5000 == 0) lenL[j] = NAN;
            if (next() % 5000 == 0) lenR[j] = 1e9f;
            in[j] = {(float)(next() % 2001) * 1e-3f - 1.0f, (float)(next() % 2001) * 1e-3f - 1.0f};
            if (next() % 7000 == 0) in[j].left = NAN;
            if (next() % 7000 == 0) in[j].right = INFINITY;
        }
        run->processRun(n, in, lenL, lenR, ran);
        for (int j = 0; j < n; ++j) {
            stereoStruct out;
            one->setDelayLenDirect(lenL[j], lenR[j]);
            one->process(in[j], out);
            mismatches += std::memcmp(&out, &ran[j], sizeof(out)) != 0;
        }
        i += n;
    }
    EXPECT_EQ(mismatches, 0);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(one->getHistorySize(c), run->getHistorySize(c));
        EXPECT_EQ(one->getActualLength(c), run->getActualLength(c));
    }
}

// The history's ring grows and shrinks with the entries it holds, moving none: a delay of
// 1500 samples (its entries wrapping round a small ring), then of 6500 (the ring grows
// while they wrap) and of 300 (it shrinks) plays each input one length later, as before.
TEST(Delay, TheHistorysRingSizeChangesNoSample) {
    auto d = makeDelay(1500.0f);
    const auto in = [](long i) {
        return (float)std::sin(0.01 * (double)i) * (float)std::cos(3e-4 * (double)i);
    };
    const std::vector<float> y = drive(*d, 60000, [&](long i) {
        if (i == 20000) d->setDelayLenDirect(6500.0f);
        if (i == 40000) d->setDelayLenDirect(300.0f);
        return stereoStruct{in(i), 0.0f};
    }).left;
    const struct {
        long from, to, length;
    } spans[] = {{2000, 20000, 1500}, {26600, 40000, 6500}, {47000, 60000, 300}};
    for (const auto& s : spans)
        for (long i = s.from; i < s.to; ++i) ASSERT_NEAR(y[i], in(i - s.length), 1e-5f) << i;
}

// --- the two-band equaliser of the "EQ" distortion model ------------------------------------

// Gain in dB on a sine of freq Hz, settled; the signal runs at twice the rate given to init.
double eqGainDb(TParaEQ& eq, float rate, double freq, float g1, float g2) {
    const double over = 2.0 * rate;
    double inSum = 0.0, outSum[2] = {0.0, 0.0};
    long n = 0;
    for (int i = 0; i < (int)over / 2; ++i) {
        eq.setFXParameters(200.0f, g1, 4000.0f, g2);
        stereoOverStruct in, out;
        for (int k = 0; k < 2; ++k, ++n) {
            const float v = (float)(0.5 * std::sin(2.0 * kPi * freq * (double)n / over));
            in.sub[k] = {v, -v};
        }
        eq.processFX(in, out);
        if (2 * i >= (int)over / 2)
            for (int k = 0; k < 2; ++k) {
                inSum += (double)in.sub[k].left * in.sub[k].left;
                outSum[0] += (double)out.sub[k].left * out.sub[k].left;
                outSum[1] += (double)out.sub[k].right * out.sub[k].right;
            }
    }
    EXPECT_NEAR(outSum[0], outSum[1], 1e-3 * outSum[0] + 1e-12);  // both channels alike
    return 10.0 * std::log10(outSum[0] / inSum);
}

TEST(ParaEQ, BandsLiftAndCutByTwentyDecibelsAndResetClean) {
    struct Case {
        float rate;
        double freq;
        float g1, g2;
        double want;
    };
    const Case cases[] = {
        {44100, 200, 1, 0.5f, 20},  {44100, 200, 0, 0.5f, -20}, {44100, 4000, 0.5f, 1, 20},
        {44100, 4000, 0.5f, 0.5f, 0}, {44100, 200, 3, 0.5f, 20},  {44100, 200, -2, 0.5f, -20},
        {96000, 200, 1, 0.5f, 20},  // centres taken at twice the rate
    };
    for (const Case& c : cases) {
        TParaEQ eq;
        eq.init(c.rate);
        EXPECT_NEAR(eqGainDb(eq, c.rate, c.freq, c.g1, c.g2), c.want, 0.3) << c.rate << " " << c.freq << " " << c.g1 << " " << c.g2;
    }
    // A gain change at the same frequency takes effect; a rate below 1 kHz is 44.1 kHz.
    TParaEQ eq;
    eq.init(10.0f);
    EXPECT_EQ(eq.getRate(), 44100.0f);
    EXPECT_NEAR(eqGainDb(eq, 44100.0f, 200.0, 1.0f, 0.5f), 20.0, 0.3);
    EXPECT_NEAR(eqGainDb(eq, 44100.0f, 200.0, 0.0f, 0.5f), -20.0, 0.3);
    // A reset clears each band's history; a band that does not exist is ignored.
    stereoOverStruct in{{{1.0f, 1.0f}, {1.0f, 1.0f}}}, out;
    for (int i = 0; i < 10; ++i) eq.processFX(in, out);
    eq.reset(0);
    eq.reset(1);
    eq.reset(7);
    eq.processFX(stereoOverStruct{}, out);
    EXPECT_TRUE(std::fabs(out.sub[0].left) < 1e-6f && std::fabs(out.sub[1].right) < 1e-6f);
}

// --- the modulation effects through the chain ---------------------------------------------

// Period in samples of the swing of y around its mean, from upward crossings.
double periodOf(const std::vector<float>& y, std::size_t from) {
    double mean = 0.0;
    for (std::size_t i = from; i < y.size(); ++i) mean += y[i];
    mean /= (double)(y.size() - from);
    std::vector<float> c(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) c[i] = (float)(y[i] - mean);
    const double f = frequencyAt(c, from, y.size() - from, 1.0);
    return f > 0.0 ? 1.0 / f : 0.0;
}

float maskValue(unsigned mask) { return ((float)mask + 0.5f) / 65535.9f; }

TEST(ModFX, TremoloPeriodFollowsSpeedTempoAndDestination) {
    const float speed = 0.6581f;  // about 4 Hz
    const double period = 44100.0 * 256.0 / (std::exp2(14.0 * speed) * 1.71875);
    Rig r;
    setModFX(r, 6, {speed, 0.0f, 1.0f, 0.5f, 0.0f});  // sine, full, symmetric, no smoothing
    r.init();
    const std::vector<float> ones(44100 * 2, 1.0f);
    const std::vector<float> y = r.run(ones);
    EXPECT_NEAR(periodOf(y, 1000), period, period * 0.01);
    EXPECT_LT(peakAbs(y, 0, y.size()), 1.01);  // full depth: from 0 to 1
    EXPECT_LT(*std::min_element(y.begin(), y.end()), 0.01f);
    r.p().modDestGlobal[341] = 0.25f;  // the Speed destination moves: twice the rate at once
    EXPECT_NEAR(periodOf(r.run(ones), 1000), period / 2, period * 0.02);
    // Synced to a quarter note at 120 BPM; speed index 0 stops the LFO.
    Rig s;
    setModFX(s, 6, {steppedValue(23, 33.99f), 0.0f, 1.0f, 0.5f});
    s.set(350, 1.0f);
    s.init();
    const double expected = (0.25 * 15.0 * 44100.0 / 120.0 + 1.0) * 16.0;
    EXPECT_NEAR(periodOf(s.run(std::vector<float>(44100 * 4, 1.0f)), 1000), expected, expected * 0.005);
    s.set(108, 0.0f);
    const std::vector<float> z = s.run(std::vector<float>(20000, 1.0f));
    EXPECT_NEAR(z[19999], z[10000], 1e-6f);
}

TEST(ModFX, TheGatorFollowsItsPatternOnSixteenthNotes) {
    const unsigned maskL = 0xACF0, maskR = 0x5F0F;
    Rig r;
    // One step per sixteenth, switching within a few samples, 16 steps.
    setModFX(r, 10, {steppedValue(14, 33.99f), 0.0f, steppedValue(15, 15.99f), maskValue(maskL), maskValue(maskR)});
    r.init();
    const double step = 44100.0 * 60.0 / 120.0 / 4.0;
    for (int i = 0, k = 0; k < 16; ++i) {
        const stereoStruct o = r.step({1.0f, 1.0f});
        if (i != (int)((k + 0.5) * step)) continue;
        EXPECT_NEAR(o.left, (maskL >> k) & 1 ? 1.0f : 0.0f, 1e-3f) << "step " << k;
        EXPECT_NEAR(o.right, (maskR >> k) & 1 ? 1.0f : 0.0f, 1e-3f) << "step " << k;
        EXPECT_EQ(r.p().getGaterPos(), k);
        // The gains are published as modulation sources.
        EXPECT_NEAR(r.p().modSrcGlobal[110], 0.5f * (o.left + o.right), 1e-6f);
        ++k;
    }
    // A one-step gate at speed stays on step 0.
    Rig one;
    setModFX(one, 10, {steppedValue(30, 33.99f), 0.0f, 0.0f, maskValue(1), maskValue(0)});
    one.init();
    for (int i = 0; i < 20000; ++i) {
        const stereoStruct o = one.step({1.0f, 1.0f});
        ASSERT_TRUE(i <= 100 || (std::fabs(o.left - 1.0f) < 1e-3f && std::fabs(o.right) < 1e-3f)) << i;
        ASSERT_EQ(one.p().getGaterPos(), 0);
    }
}

TEST(ModFX, SwingMovesTheBoundaryInsideEachPairOfSteps) {
    auto gainAt = [](float swing, double fractionOfPair) {
        Rig r;  // even steps open, odd steps closed
        setModFX(r, 10, {steppedValue(14, 33.99f), 0.0f, steppedValue(15, 15.99f), maskValue(0x5555), maskValue(0x5555)});
        r.init();
        r.p().modDestGlobal[363] = swing;
        float last = 0.0f;
        for (int i = 0; i <= (int)(fractionOfPair * 11025.0); ++i) last = r.step({1.0f, 1.0f}).left;
        return last;
    };
    // Straight: the pair splits in the middle; +0.5: at 0.745; -0.5: at 0.255.
    const float cases[3][3] = {{0.0f, 0.45f, 0.55f}, {0.5f, 0.70f, 0.80f}, {-0.5f, 0.20f, 0.30f}};
    for (const auto& c : cases) {
        EXPECT_NEAR(gainAt(c[0], c[1]), 1.0f, 1e-3f) << c[0];
        EXPECT_NEAR(gainAt(c[0], c[2]), 0.0f, 1e-3f) << c[0];
    }
}

TEST(ModFX, ChorusFlangerAndVibratoMovePitchTheTremoloDoesNot) {
    const std::vector<float> x = sine(44100 * 2, 1000.0, 0.5);
    auto spread = [&](int type) {
        Rig r;  // about 1 Hz; chorus: low-pass open; others: no feedback
        setModFX(r, type, {0.5156f, 0.3f, type == 6 ? 0.5f : 1.0f, 0.0f, type == 0 ? 1.0f : 0.0f});
        r.init();
        const std::vector<float> y = r.run(x);
        double lo = 1e9, hi = 0.0;
        for (std::size_t w = 4410; w + 2205 <= y.size(); w += 2205) {
            const double f = frequencyAt(y, w, 2205, 44100.0);
            lo = std::fmin(lo, f);
            hi = std::fmax(hi, f);
        }
        return (hi - lo) / 1000.0;
    };
    for (int type : {0, 1, 7}) EXPECT_GT(spread(type), 0.02) << type;
    EXPECT_LT(spread(6), 0.003);
}

TEST(ModFX, FlangerAndPhaserAtFullFeedbackStayBounded) {
    std::vector<float> x = noise(44100 * 5, 17, 0.8f);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += 0.5f * (float)std::sin(0.05 * (double)i);
    for (int type : {1, 3}) {
        for (float feedDest : {0.0f, -2.0f}) {  // the parameter at 1, or pushed to -1
            Rig r;
            setModFX(r, type, {0.4f, 0.5f, 1.0f, 0.5f, 1.0f});
            r.init();
            r.p().modDestGlobal[354] = feedDest;
            const std::vector<float> y = r.run(x);
            ASSERT_TRUE(allFinite(y));
            EXPECT_LT(peakAbs(y, 0, y.size()), 10.0) << type << " " << feedDest;
            EXPECT_GT(rms(y, 44100, y.size()), 0.05) << type << " " << feedDest;
        }
    }
}

TEST(ModFX, AutoPanMovesBetweenTheSides) {
    Rig r;
    setModFX(r, 8, {0.6f, 0.0f, 1.0f, 0.5f});
    r.init();
    const std::vector<float> y = r.run(std::vector<float>(44100, 1.0f));
    double ml = 0.0, mr = 0.0, cov = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        ml += y[i] / (double)y.size();
        mr += r.lastRight[i] / (double)y.size();
    }
    for (std::size_t i = 0; i < y.size(); ++i) cov += (y[i] - ml) * (r.lastRight[i] - mr);
    EXPECT_LT(cov, 0.0);
    EXPECT_GT(std::min(peakAbs(y, 0, y.size()), peakAbs(r.lastRight, 0, y.size())), 0.99);  // both sides reached
}

TEST(ModFX, EveryTypeAtItsExtremesStaysFiniteAndATypeChangeStartsClean) {
    const std::vector<float> x = noise(20000, 3, 1.0f);
    for (int type = 0; type < 11; ++type) {
        for (float knob : {0.0f, 1.0f}) {
            for (float dest : {1.0f, -1.0f}) {
                Rig r;
                setModFX(r, type, {knob, knob, knob, knob, knob});
                r.init();
                for (int d = 340; d <= 365; ++d) r.p().modDestGlobal[d] = dest;
                const std::vector<float> y = r.run(x);
                ASSERT_TRUE(allFinite(y) && allFinite(r.lastRight)) << "type " << type << " knob " << knob << " dest " << dest;
                EXPECT_LT(peakAbs(y, 0, y.size()), 200.0) << "type " << type;
            }
        }
    }
    Rig r;
    setModFX(r, 2, {0.5f, 0.5f, 1.0f, 0.0f, 0.9f});  // ensemble with feedback
    r.init();
    r.run(sine(10000, 300.0, 0.8));
    r.p().initModFX();
    const std::vector<float> y = r.run(std::vector<float>(5000, 0.0f));
    EXPECT_LT(peakAbs(y, 0, y.size()), 1e-6);
}

// The LFO rate and the speed factor are remembered between samples; a new rate, tempo or
// speed destination must still reach them at once.
TEST(ModFX, TheLFORateFollowsEveryInputAtOnce) {
    Rig r;
    APlugin& p = r.p();
    r.set(108, 0.5f);
    const float at44 = p.getModFXRate(0);
    p.setSampleRate(88200.0f);
    EXPECT_NEAR(p.getModFXRate(0) / at44, 0.5f, 1e-5f);
    r.set(350, 1.0f);
    r.set(108, steppedValue(23, 33.99f));  // a quarter note
    const float at120 = p.getModFXRate(0);
    p.tempo = 90.0f;
    EXPECT_NEAR(p.getModFXRate(0) / at120, (0.25f * 15.0f * 88200.0f / 120.0f + 1.0f) / (0.25f * 15.0f * 88200.0f / 90.0f + 1.0f), 1e-5f);
    p.modDestGlobal[341] = -0.25f;
    EXPECT_FLOAT_EQ(p.getModFXSpeedFactor(), 0.5f);
}

// --- the output stage's brick-wall filter -------------------------------------------------

// Two state-variable low-pass sections in series, four steps per host sample on the held
// input, the mean of the four outputs; one channel.
struct ReferenceBrick {
    float st[2][2] = {};
    float process(float x, float g, float k) {
        float sum = 0.0f;
        for (int step = 0; step < 4; ++step) {
            float in = x;
            for (auto& s : st) {
                const float hp = (in - ((1.0f + g) * s[0] + s[1])) * k;
                const float t = g * hp;
                const float bp = s[0] + t;
                const float lp = s[1] + g * bp;
                s[0] = bp + t;
                s[1] = lp + g * bp;
                in = lp;
            }
            sum += in;
        }
        return sum * 0.25f + 1e-15f;
    }
};

// The plug-in's output stage with only the filter acting: unit gain, no width change.
struct Stage {
    std::unique_ptr<PluginHarness> h = std::make_unique<PluginHarness>();
    ReferenceBrick ref[2];
    APlugin& p() { return h->plugin(); }
    Stage(float rate, float setting) {
        p().setSampleRate(rate);
        p().paramValue[1019] = setting;
        p().updateMasterFilter();
        p().brickFilterOn = 1;
        p().mainVolGain = 1.0f;
        p().modDestGlobal[11] = 0.0f;
    }
    // A burst of two noises then silence, against the reference; the largest difference.
    double compare(int n, uint32_t seed, double& level) {
        const std::vector<float> l = noise(n, seed, 0.4f), r = noise(n, seed + 1, 0.3f);
        double worst = 0.0;
        for (int i = 0; i < n; ++i) {
            const float inL = i < n / 2 ? l[i] : 0.0f, inR = i < n / 2 ? r[i] : 0.0f;
            float outL = inL, outR = inR;
            p().runOutputStage(outL, outR);
            const float wantL = ref[0].process(inL, p().brickG, p().brickK);
            const float wantR = ref[1].process(inR, p().brickG, p().brickK);
            worst = std::fmax(worst, std::fmax(std::fabs((double)outL - wantL), std::fabs((double)outR - wantR)));
            level += (double)wantL * wantL + (double)wantR * wantR;
        }
        return worst;
    }
};

TEST(OutputStage, TheBrickFilterMatchesItsSectionsRunStepByStep) {
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        for (float setting : {0.3f, 0.795f, 1.0f}) {
            Stage s(rate, setting);
            double level = 0.0;
            EXPECT_LT(s.compare(20000, 5u, level), 1e-5) << rate << " Hz, setting " << setting;
            EXPECT_GT(level, 1.0) << rate << " Hz, setting " << setting;
        }
    }
    // A reset writes the coefficients directly, a new setting recomputes them: both take
    // effect at once, with the state carried over.
    Stage s(44100.0f, 0.5f);
    double level = 0.0;
    EXPECT_LT(s.compare(4000, 9u, level), 1e-5);
    s.p().brickG = 0.0f;
    s.p().brickK = 1.0f;
    EXPECT_LT(s.compare(4000, 10u, level), 1e-5);
    s.p().paramValue[1019] = 0.9f;
    s.p().updateMasterFilter();
    EXPECT_LT(s.compare(4000, 11u, level), 1e-5);
    // An input that is not a number leaves the filter clean.
    float l = NAN, r = INFINITY;
    s.p().runOutputStage(l, r);
    EXPECT_TRUE(std::isfinite(l) && std::isfinite(r));
    for (const auto& ch : s.p().brickState)
        for (const auto& sec : ch)
            for (float v : sec) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
