// The effect section of the plug-in driven directly, one host sample at a time, the way
// the render loop drives it: layer outputs in, the distortion stage, the chain in its path
// order (or Bypass All), the output sum out. The engine's voices play no part here.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_fx_util.h"

using namespace fxtest;

// --- distortion and amp stage --------------------------------------------------------------

TEST(DistortionStage, EveryModelChangesASineAndStaysBoundedAtFourTimesOverdrive) {
    // Two tones at a combined peak near 4: four times full scale.
    std::vector<float> x(16384);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = (float)(2.0 * std::sin(2.0 * kPi * 220.0 * i / 44100.0) +
                       2.0 * std::sin(2.0 * kPi * 3300.0 * i / 44100.0));
    for (int mode = 0; mode < 26; ++mode) {
        Rig r;
        r.route(0, kLayerDestDistortion);
        r.set(104, 1.0f);  // wet only
        r.set(105, 0.8f);
        r.set(106, 0.7f);
        r.p().distortOn = 1;
        r.p().distortMode = mode;
        r.init();
        const std::vector<float> y = r.run(x);
        bool finite = true;
        for (float v : y) finite = finite && std::isfinite(v);
        EXPECT_TRUE(finite) << "mode " << mode;
        EXPECT_LT(peakAbs(y, 0, y.size()), 64.0) << "mode " << mode;
        EXPECT_GT(rms(y, 4096, y.size()), 1e-3) << "mode " << mode;
        EXPECT_GT(changeOf(x, y, 4096), 0.05) << "mode " << mode;
    }
}

TEST(DistortionStage, TheSpeakerModelsShapeAndStayStable) {
    for (int mode : {0, 4}) {
        for (int model = 0; model < (mode == 0 ? 6 : 4); ++model) {
            Rig r;
            r.route(0, kLayerDestDistortion);
            r.set(104, 1.0f);
            r.set(105, steppedValue(model, mode == 0 ? 5.99f : 3.99f));
            r.set(106, 0.0f);  // no extra drive: the clip only limits to +-1
            r.p().distortOn = 1;
            r.p().distortMode = mode;
            r.init();
            std::vector<float> noise(22050);
            uint32_t s = 5;
            for (float& v : noise) {
                s = s * 1664525u + 1013904223u;
                v = 0.3f * (float)((int32_t)s) * 4.656613e-10f;
            }
            const std::vector<float> y = r.run(noise);
            for (float v : y) ASSERT_TRUE(std::isfinite(v));
            EXPECT_LE(peakAbs(y, 0, y.size()), 2.0) << mode << "/" << model;
            if (model == 0) {
                EXPECT_LT(changeOf(noise, y, 2048), 0.05) << "model 0 is a bypass: " << mode;
            } else {
                EXPECT_GT(changeOf(noise, y, 2048), 0.2) << mode << "/" << model;
            }
        }
    }
}

TEST(DistortionStage, MixHalfIsDryPlusWet) {
    // "Limit" with A = 0, B = 1: the wet signal is the input clamped to 1/64.
    auto render = [](float mix) {
        Rig r;
        r.route(0, kLayerDestDistortion);
        r.set(104, mix);
        r.set(105, 0.0f);
        r.set(106, 1.0f);
        r.p().distortOn = 1;
        r.p().distortMode = 13;
        r.init();
        return r.run(sine(8192, 500.0, 0.5));
    };
    const std::vector<float> dry = render(0.0f), wet = render(1.0f), half = render(0.5f);
    EXPECT_GT(rms(dry, 4096, 8192), 0.3);
    EXPECT_LT(rms(wet, 4096, 8192), 0.02);
    for (std::size_t i = 4096; i < 8192; ++i) ASSERT_NEAR(half[i], dry[i] + wet[i], 1e-4f) << i;
    // Mix 0 is the dry signal exactly.
    const std::vector<float> x = sine(8192, 500.0, 0.5);
    for (std::size_t i = 0; i < 8192; ++i) ASSERT_NEAR(dry[i], x[i], 1e-6f) << i;
}

TEST(DistortionStage, TheWetPathHasNoDC) {
    // "Rectify" at full amount turns a sine into its positive half: a strong DC that the
    // DC blocker removes.
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.set(104, 1.0f);
    r.set(105, 1.0f);
    r.set(106, 0.5f);
    r.p().distortOn = 1;
    r.p().distortMode = 21;
    r.init();
    const std::vector<float> y = r.run(sine(44100 * 3, 441.0, 0.8));
    double mean = 0.0;
    for (std::size_t i = 88200; i < y.size(); ++i) mean += y[i];
    mean /= (double)(y.size() - 88200);
    EXPECT_GT(rms(y, 88200, y.size()), 0.1);
    EXPECT_LT(std::fabs(mean), 1e-3);
}

TEST(DistortionStage, TheEQModelLiftsTwoHundredHertzByTwentyDecibels) {
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.set(104, 1.0f);
    r.set(105, 1.0f);  // bass +20 dB
    r.set(106, 0.5f);  // treble 0 dB
    r.p().distortOn = 1;
    r.p().distortMode = 8;
    r.init();
    const std::vector<float> y = r.run(sine(44100, 200.0, 0.01));
    EXPECT_NEAR(20.0 * std::log10(rms(y, 22050, 44100) / (0.01 / std::sqrt(2.0))), 20.0, 0.3);
}

TEST(DistortionStage, TheOffStageOnlyRemovesDC) {
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.init();
    std::vector<float> x = sine(44100, 1000.0, 0.5);
    for (float& v : x) v += 0.25f;
    const std::vector<float> y = r.run(x);
    for (std::size_t i = 30000; i < 44100; ++i) ASSERT_NEAR(y[i], x[i] - 0.25f, 5e-3f) << i;
}

TEST(DistortionStage, TheOutputDrivesItsModulationSourceOnlyWhenUsed) {
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.set(104, 0.0f);
    r.p().distortOn = 1;
    r.p().distortMode = 1;
    r.init();
    r.p().modSrcGlobal[125] = 0.0f;
    r.step({0.5f, 0.25f});
    EXPECT_EQ(r.p().modSrcGlobal[125], 0.0f);
    r.p().fxOutSrcUsed[0] = 1;
    r.step({0.5f, 0.25f});
    EXPECT_NEAR(r.p().modSrcGlobal[125], 3.0f, 1e-3f);
}

// --- the chain and its path orders ------------------------------------------------------------

namespace {

// Delay on, a quarter note at the tempo, mix as given, no feedback.
void setQuarterDelay(Rig& r, float mix) {
    r.p().delayOn = 1;
    r.set(113, mix);
    r.set(352, 1.0f);                              // synced
    r.set(114, (10.0f + 0.5f) / 14.99f);           // 1/4
    r.set(115, (10.0f + 0.5f) / 14.99f);
    r.set(116, 0.5f);                              // feedback 0
    r.set(117, 0.5f);                              // cross-feedback 0
    r.set(118, 1.0f);                              // feedback filter off
    r.set(119, 0.0f);
}

}  // namespace

TEST(EffectChain, TheDelayEchoesAfterAQuarterNote) {
    for (float tempo : {120.0f, 60.0f}) {
        Rig r;
        r.route(0, kLayerDestDelay);
        setQuarterDelay(r, 1.0f);
        r.p().tempo = tempo;
        r.init();
        const int quarter = (int)(44100.0f * 60.0f / tempo) + 1;
        const std::vector<float> y = r.run(impulse(quarter + 100));
        EXPECT_EQ(argMaxAbs(y, 0, y.size()), (std::size_t)quarter) << tempo;
        EXPECT_NEAR(y[quarter], 0.9f, 1e-3f) << tempo;
    }
}

TEST(EffectChain, ALayerEntersJustBeforeItsEffect) {
    // A layer routed to "Mod FX" passes the delay when the Mod FX comes first, and misses
    // it when the Mod FX comes last.
    auto echo = [](int path) {
        Rig r;
        r.route(0, kLayerDestModFX);
        setQuarterDelay(r, 0.5f);  // dry and wet at full level
        r.set(344, steppedValue(path, 5.99f));
        r.init();
        const std::vector<float> y = r.run(impulse(22051 + 100));
        return std::make_pair(y[0], y[22051]);
    };
    const auto first = echo(0);  // Mod FX > Delay > Reverb
    const auto last = echo(3);   // Delay > Reverb > Mod FX
    EXPECT_NEAR(first.first, 1.0f, 1e-3f);
    EXPECT_NEAR(first.second, 0.9f, 1e-3f);
    EXPECT_NEAR(last.first, 1.0f, 1e-3f);
    EXPECT_NEAR(last.second, 0.0f, 1e-6f);
}

TEST(EffectChain, ALayerRoutedToTheReverbPassesWhatFollowsIt) {
    // Reverb > Delay > Mod FX: a reverb layer passes all three; Mod FX > Delay > Reverb: only
    // the reverb. With the reverb at mix 0 (dry) the delay's echo tells which.
    auto echo = [](int path) {
        Rig r;
        r.route(0, kLayerDestReverb);
        setQuarterDelay(r, 0.5f);
        r.p().reverbOn = 1;
        r.set(120, 0.0f);
        r.set(344, steppedValue(path, 5.99f));
        r.init();
        const std::vector<float> y = r.run(impulse(22051 + 10));
        return y[22051];
    };
    EXPECT_NEAR(echo(5), 0.9f, 1e-3f);
    EXPECT_NEAR(echo(0), 0.0f, 1e-6f);
}

TEST(EffectChain, BypassAllSumsTheLayersDry) {
    Rig r;
    r.route(0, kLayerDestDistortion);
    r.route(1, kLayerDestDelay);
    r.route(2, kLayerDestReverb);
    r.p().distortOn = r.p().modFXOn = r.p().delayOn = r.p().reverbOn = 1;
    r.p().distortMode = 10;
    r.set(104, 1.0f);
    r.set(105, 1.0f);
    setQuarterDelay(r, 1.0f);
    r.set(120, 1.0f);
    r.p().bypassAllFX = 1;
    r.init();
    const std::vector<float> a = sine(44100, 440.0, 0.3), b = sine(44100, 660.0, 0.3),
                             c = sine(44100, 990.0, 0.3);
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

TEST(EffectChain, PanDestinationsSilenceOneWetSide) {
    Rig r;
    r.route(0, kLayerDestDelay);
    setQuarterDelay(r, 1.0f);
    r.init();
    r.p().modDestGlobal[320] = -1.0f;  // Delay Pan hard left
    const std::vector<float> y = r.run(impulse(22051 + 10));
    EXPECT_NEAR(y[22051], 0.9f, 1e-3f);
    EXPECT_NEAR(r.lastRight[22051], 0.0f, 1e-6f);
}

TEST(EffectChain, OutputSourcesAreWrittenOnlyWhenUsed) {
    Rig r;
    r.route(0, kLayerDestDelay);
    setQuarterDelay(r, 0.5f);
    r.init();
    r.p().modSrcGlobal[127] = 0.0f;
    r.step({0.5f, 0.5f});
    EXPECT_EQ(r.p().modSrcGlobal[127], 0.0f);
    r.p().fxOutSrcUsed[2] = 1;
    r.step({0.5f, 0.5f});
    EXPECT_NEAR(r.p().modSrcGlobal[127], 4.0f, 1e-3f);
}

// --- reverb through the chain -------------------------------------------------------------------

TEST(EffectChain, ThePreDelayHoldsTheReverbBack) {
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
}

TEST(EffectChain, TheSoundDoesNotChangeWhenTheCountersWrap) {
    // The reverb (pre-delay) and the Ensemble read their lines at positions taken from the
    // block counter. From just below 2^31, and from just below 2^32, they must sound exactly
    // as they do from a small counter value.
    auto render = [](uint32_t start, bool ensemble) {
        Rig r;
        if (ensemble) {
            r.route(0, kLayerDestModFX);
            r.p().modFXOn = 1;
            r.p().modFXMode = 2;
            r.set(107, 1.0f);
            r.set(108, 0.6f);
            r.set(109, 0.5f);
            r.set(110, 0.8f);
            r.set(111, 0.3f);
            r.set(112, 0.7f);
        } else {
            r.route(0, kLayerDestReverb);
            r.p().reverbOn = 1;
            r.set(120, 1.0f);
            r.set(121, 0.5f);
            r.set(122, 0.8f);
            r.set(123, 0.7f);
        }
        r.init();
        r.p().blockCounter = start;
        r.p().sampleCounter = start;
        return r.run(sine(30000, 300.0, 0.5));
    };
    for (bool ensemble : {false, true}) {
        const std::vector<float> ref = render(4096u, ensemble);
        const std::vector<float> a = render(0x80000000u - 8192u, ensemble);
        const std::vector<float> b = render(0u - 8192u, ensemble);
        EXPECT_GT(rms(ref, 20000, 30000), 0.01) << ensemble;
        for (std::size_t i = 0; i < ref.size(); ++i) {
            ASSERT_EQ(a[i], ref[i]) << "2^31, ensemble " << ensemble << " at " << i;
            ASSERT_EQ(b[i], ref[i]) << "2^32, ensemble " << ensemble << " at " << i;
        }
    }
}

TEST(EffectChain, ARateChangeRebuildsTheReverb) {
    Rig r;
    EXPECT_EQ(r.p().fxReverb.getCombLength(0), 1116);
    r.p().setSampleRate(48000.0f);
    EXPECT_EQ(r.p().fxReverb.getRate(), 48000.0f);
    EXPECT_EQ(r.p().fxReverb.getCombLength(0), 1215);
    EXPECT_EQ(r.p().fxDelay.getRate(), 48000.0f);
    EXPECT_NEAR(r.p().distortDCCoef, 30.0f / 96000.0f, 1e-9f);
}

TEST(EffectChain, MixZeroIsTheDrySignalAndMixOneTheWetOnly) {
    for (float mix : {0.0f, 1.0f}) {
        Rig r;
        r.route(0, kLayerDestDelay);
        setQuarterDelay(r, mix);
        r.set(116, 0.9f);  // feedback, so the delay holds plenty
        r.init();
        const std::vector<float> x = sine(30000, 700.0, 0.5);
        const std::vector<float> y = r.run(x);
        for (std::size_t i = 0; i < y.size(); ++i) {
            if (mix == 0.0f) {
                ASSERT_NEAR(y[i], x[i], 1e-6f) << i;  // the echoes do not leak in
            } else if (i < 22051) {
                ASSERT_NEAR(y[i], 0.0f, 1e-6f) << i;  // nothing of the dry signal
            }
        }
        if (mix == 1.0f) {
            EXPECT_GT(rms(y, 23000, 30000), 0.2);
        }
    }
}

// The pre- and post-boost gains are remembered between samples; a destination that moves
// must change the level at once. With the distortion on and its mix fully dry only the
// pre-boost reaches the output.
TEST(FXChain, BoostDestinationsTakeEffectAtOnce) {
    for (uint8_t on : {0, 1}) {
        Rig r;
        r.route(0, kLayerDestDistortion);
        r.p().distortOn = on;
        r.set(104, 0.0f);  // dry when on
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
        ASSERT_GT(plain, 1e-3) << "distortion " << (int)on;
        EXPECT_NEAR(post / plain, on ? 1.0 : 10.0, 0.02 * (on ? 1.0 : 10.0)) << "distortion " << (int)on;
        EXPECT_NEAR(pre / plain, 0.1, 0.002) << "distortion " << (int)on;
        EXPECT_NEAR(back / plain, 1.0, 0.002) << "distortion " << (int)on;
    }
}
