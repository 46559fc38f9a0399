// Envelopes on the plug-in object: stage times and curves against the time mapping, the
// sustain level, the release shape and its end, the hold at the top of the layer envelopes,
// the sustain pedal, strummed sub-elements, the per-sample interpolation, retrigger, the
// fast fade of a stolen voice, note start and the published sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kVoice = 3;

// Phase step per 16-sample update of a stage with time t at speed 1.
// Parameters are floats: the formulas take the value the parameter actually holds.
double stageStep(double t) {
    return 16000.0 / (std::exp2(14.0 * (double)(float)t) * kRate + 32.0);
}
double f32(double x) {
    return (double)(float)x;
}

class Envelopes : public ::testing::Test {
protected:
    void SetUp() override {
        p().setSampleRate((float)kRate);
        p().voiceLevelCount[kVoice] = 1;
        for (int i = 0; i < 8; ++i) p().voiceElemAge[kVoice][i] = 0;
        p().voiceKeyOn[kVoice] = 1;
        p().voiceStolen[kVoice] = 0;
        p().sustainPedal = 0;
        p().voicePitch[kVoice] = 0.0f;
        p().voiceFirstElement[kVoice] = 0;
        std::memcpy(p().modDestVoice[kVoice], p().modDestDefault, sizeof(p().modDestDefault));
        // Layer 1 alone, a Wave layer: Amp, then its filter, pitch and volume envelopes.
        p().paramValue[LAYER_ON_TAGS[0]] = 1.0f;
        p().paramValue[LAYER_ON_TAGS[1]] = 0.0f;
        p().paramValue[LAYER_ON_TAGS[2]] = 0.0f;
        p().paramValue[LAYER_SOURCE_TAGS[0]] = 3.1f / 3.99f;
        for (int s = 0; s < 8; ++s) p().paramValue[MOD_DEST_TAGS[s]] = 0.0f;
        rebuild();
    }
    APlugin& p() { return h.plugin(); }
    void rebuild() {
        p().updateLayerState();
        p().buildEnvList();
    }
    double target(int env, int sub = 0) { return p().env.work.target[kVoice][sub][env]; }
    double phase(int env, int sub = 0) { return p().env.work.phase[kVoice][sub][env]; }
    double level(int env, int sub = 0) { return p().env.envLevel(env, kVoice, sub); }
    int stage(int env, int sub = 0) { return p().env.envStage(env, kVoice, sub); }
    void update(int n = 1) {
        for (int i = 0; i < n; ++i) p().setEnvs(kVoice);
    }
    void setSlot(int slot, int source, int dest, bool bypass = false) {
        p().paramValue[MOD_SRC_TAGS[slot]] = ((float)source + 0.1f) / 199.99f;
        p().paramValue[MOD_DEST_TAGS[slot]] = ((float)dest + 0.1f) / 499.99f;
        p().paramValue[MOD_BY_TAGS[slot]] = bypass ? 1.0f : 0.0f;
    }
    PluginHarness h;
};

TEST_F(Envelopes, ListHoldsAmpThenTheEnvelopesOfEachModel) {
    EXPECT_EQ(p().env.listCount, 4);
    EXPECT_EQ(p().env.list[0], 0);
    EXPECT_EQ(p().env.list[1], 1);
    EXPECT_EQ(p().env.list[3], 3);
    // Layer 2 as FM adds its filter, pitch, volume and four operator envelopes; layer 3 as
    // Wire adds four.
    p().paramValue[LAYER_ON_TAGS[1]] = 1.0f;
    p().paramValue[LAYER_SOURCE_TAGS[1]] = 2.1f / 3.99f;
    p().paramValue[LAYER_ON_TAGS[2]] = 1.0f;
    p().paramValue[LAYER_SOURCE_TAGS[2]] = 0.0f;
    rebuild();
    const int expected[] = {0, 1, 2, 3, 9, 10, 11, 13, 14, 15, 16, 17, 18, 19, 20};
    ASSERT_EQ(p().env.listCount, 15);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(p().env.list[i], expected[i]) << i;
}

TEST_F(Envelopes, AttackTimeAndCurveFollowTheTimeMapping) {
    const double t = 0.3;
    p().paramValue[5] = (float)t;
    p().modDestVoice[kVoice][5] = 0.25f;  // attack curve: exponent 2^-1
    p().startEnvs(kVoice, 100);
    ASSERT_EQ(stage(0), 0);
    ASSERT_EQ(level(0), 0.0);
    const double d = stageStep(t);
    const int updates = (int)std::floor(1.0 / d) + 1;
    for (int k = 1; k < updates; ++k) {
        update();
        ASSERT_EQ(stage(0), 0) << k;
        EXPECT_NEAR(phase(0), k * d, 1e-9);
        EXPECT_NEAR(target(0), std::sqrt(k * d), 1e-9) << k;
    }
    update();
    EXPECT_EQ(stage(0), 1);
    EXPECT_DOUBLE_EQ(target(0), 1.0);
    // A full stage lasts (2^(14 t) rate + 32) / 1000 samples.
    const double samples = (std::exp2(14.0 * t) * kRate + 32.0) / 1000.0;
    EXPECT_NEAR(updates * 16.0, samples, 16.0);
}

TEST_F(Envelopes, LinearAttackWithoutCurveAndSpeedDestinationsScaleTime) {
    p().paramValue[5] = 0.2f;
    p().modDestVoice[kVoice][3] = 2.0f;   // Amp Envelope Speed
    p().modDestVoice[kVoice][24] = 1.5f;  // Global Envelope Speed
    p().startEnvs(kVoice, 100);
    update(3);
    EXPECT_NEAR(phase(0), 3.0 * stageStep(0.2) * 3.0, 1e-9);
    EXPECT_NEAR(target(0), phase(0), 1e-12);
}

TEST_F(Envelopes, DecayCurveOfTheLayerVolumeEnvelope) {
    const double t = 0.25, c = 0.3;
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = (float)t;
    p().paramValue[VOL_ENV_CRV_TAGS[0]] = (float)c;
    p().startEnvs(kVoice, 100);
    ASSERT_EQ(stage(3), 1);
    ASSERT_EQ(level(3), 1.0);
    const double d = stageStep(t);
    const double e = std::exp2(4.0 * f32(c));
    for (int k = 1; k * d < 1.0; ++k) {
        update();
        EXPECT_NEAR(phase(3), 1.0 - k * d, 1e-9);
        EXPECT_NEAR(target(3), std::pow(1.0 - k * d, e), 1e-7) << k;
    }
    update();
    EXPECT_EQ(stage(3), 2);  // sustain 0 reached
    EXPECT_EQ(target(3), 0.0);
}

TEST_F(Envelopes, SustainLevelIsFrozenWhenReached) {
    p().paramValue[6] = 0.1f;  // amp decay
    p().paramValue[7] = 0.4f;  // amp sustain
    p().startEnvs(kVoice, 100);
    const double d = stageStep(0.1);
    const int n = (int)std::ceil(0.6 / d) + 1;
    for (int k = 1; k < n; ++k) {
        update();
        if (stage(0) == 1) {
            EXPECT_NEAR(target(0), 0.4 + 0.6 * ((phase(0) - 0.4) / 0.6), 1e-9);
        }
    }
    update(2);
    ASSERT_EQ(stage(0), 2);
    EXPECT_NEAR(target(0), 0.4, 1e-6);
    p().paramValue[7] = 0.9f;
    update(5);
    EXPECT_NEAR(target(0), 0.4, 1e-6);
}

TEST_F(Envelopes, SustainOneEndsTheDecayAtOnce) {
    p().paramValue[6] = 0.5f;
    p().paramValue[7] = 1.0f;
    p().startEnvs(kVoice, 100);
    update();
    EXPECT_EQ(stage(0), 2);
    EXPECT_EQ(target(0), 1.0);
}

TEST_F(Envelopes, ReleaseShapeAndEndAtSilence) {
    p().paramValue[6] = 0.0f;
    p().paramValue[7] = 0.5f;
    p().paramValue[8] = 0.35f;            // amp release
    p().modDestVoice[kVoice][10] = 0.2f;  // release curve: exponent 2^0.8
    p().startEnvs(kVoice, 100);
    update(3);
    ASSERT_EQ(stage(0), 2);
    p().voiceKeyOn[kVoice] = 0;
    const double d = stageStep(0.35);
    const double e = std::exp2(4.0 * f32(0.2));
    int k = 1;
    for (; 0.5 - k * d > 0.0; ++k) {
        update();
        ASSERT_EQ(stage(0), 3);
        const double ph = 0.5 - k * d;
        EXPECT_NEAR(phase(0), ph, 1e-9);
        EXPECT_NEAR(target(0), 0.5 * std::pow(ph / 0.5, e), 1e-7);
    }
    update();
    EXPECT_EQ(phase(0), 0.0);
    EXPECT_EQ(target(0), 0.0);
    // The running level follows down to silence within the next 16 samples.
    for (int s = 0; s < 16; ++s) p().advanceEnvs(kVoice);
    EXPECT_NEAR(level(0), 0.0, 1e-12);
    EXPECT_LE(p().getVoiceAmpLevel(kVoice), 1e-5);
}

TEST_F(Envelopes, ReleaseFromPhaseZeroIsSilent) {
    // Released before its attack moved: the release starts at phase 0 and gives 0.
    p().paramValue[5] = 0.5f;
    p().startEnvs(kVoice, 100);
    p().voiceKeyOn[kVoice] = 0;
    update();
    EXPECT_EQ(stage(0), 3);
    EXPECT_EQ(target(0), 0.0);
    // The release shape: from a start point it falls with the phase, at curve 0 linearly.
    EXPECT_NEAR(p().getShapedEnv(0, kVoice, 3, false, 0.25, 0.5, 0.8, 0.0), 0.4, 1e-12);
    p().modDestVoice[kVoice][10] = 0.25f;  // exponent 2
    EXPECT_NEAR(p().getShapedEnv(0, kVoice, 3, false, 0.25, 0.5, 0.8, 0.0), 0.2, 1e-12);
}

TEST_F(Envelopes, LayerEnvelopeAtTheTopHoldsButAmpDoesNot) {
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 1.0f;
    p().paramValue[6] = 1.0f;
    p().paramValue[7] = 0.0f;
    p().startEnvs(kVoice, 100);
    update(200);
    EXPECT_EQ(stage(3), 1);
    EXPECT_EQ(target(3), 1.0);
    EXPECT_LT(phase(0), 1.0);  // the Amp decay still moves, however slowly
    EXPECT_NEAR(phase(0), 1.0 - 200 * stageStep(1.0), 1e-12);
    // With the release at the top too, a layer envelope never fades.
    p().voiceKeyOn[kVoice] = 0;
    update(200);
    EXPECT_EQ(stage(3), 3);
    EXPECT_EQ(target(3), 1.0);
}

TEST_F(Envelopes, SustainPedalHoldsAReleasedKey) {
    p().paramValue[6] = 0.0f;
    p().paramValue[7] = 0.6f;
    p().startEnvs(kVoice, 100);
    update(5);
    p().voiceKeyOn[kVoice] = 0;
    p().sustainPedal = 1;
    update(20);
    EXPECT_EQ(stage(0), 2);
    EXPECT_NEAR(target(0), f32(0.6), 1e-9);
    p().sustainPedal = 0;
    update();
    EXPECT_EQ(stage(0), 3);
    EXPECT_LT(target(0), f32(0.6));
}

TEST_F(Envelopes, StrummedSubElementIsLeftAlone) {
    p().voiceLevelCount[kVoice] = 2;
    p().voiceElemAge[kVoice][1] = -500;
    p().paramValue[5] = 0.3f;
    p().startEnvs(kVoice, 100);
    update(10);
    EXPECT_GT(target(0, 0), 0.0);
    EXPECT_EQ(target(0, 1), 0.0);
    EXPECT_EQ(phase(0, 1), 0.0);
    EXPECT_EQ(stage(0, 1), 0);
    EXPECT_EQ(p().env.work.step[kVoice][1][0], 0.0);
}

TEST_F(Envelopes, RunningLevelInterpolatesToTheTarget) {
    p().paramValue[5] = 0.25f;
    p().startEnvs(kVoice, 100);
    update(4);
    const double from = level(0), to = target(0);
    ASSERT_GT(to, from);
    for (int s = 1; s <= 16; ++s) {
        p().advanceEnvs(kVoice);
        EXPECT_NEAR(level(0), from + (to - from) * s / 16.0, 1e-12);
    }
}

TEST_F(Envelopes, RetriggerFiresOnARisingCrossingOnce) {
    setSlot(0, 19, 128);  // "Note On" -> layer 1 retrigger
    rebuild();
    ASSERT_EQ(p().env.retrigSource[0], 19);
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 0.2f;
    p().startEnvs(kVoice, 100);
    p().modSrcVoice[kVoice][19] = 0.0f;
    p().checkRetrigger(kVoice);
    update(30);
    ASSERT_LT(target(3), 0.9);
    p().modSrcVoice[kVoice][19] = 0.995f;
    EXPECT_FLOAT_EQ(p().checkRetrigger(kVoice), 0.99f);
    EXPECT_EQ(stage(3), 1);
    EXPECT_EQ(target(3), 1.0);
    EXPECT_EQ(phase(3), 1.0);
    update(30);
    const double afterDecay = target(3);
    ASSERT_LT(afterDecay, 0.9);
    p().checkRetrigger(kVoice);  // still above 0.99: no new retrigger
    EXPECT_EQ(target(3), afterDecay);
    p().modSrcVoice[kVoice][19] = 0.5f;
    p().checkRetrigger(kVoice);
    p().modSrcVoice[kVoice][19] = 1.0f;
    p().checkRetrigger(kVoice);
    EXPECT_EQ(target(3), 1.0);
}

TEST_F(Envelopes, BypassedSlotDoesNotRetrigger) {
    setSlot(2, 19, 128, true);
    rebuild();
    EXPECT_EQ(p().env.retrigSource[0], -1);
}

TEST_F(Envelopes, StolenVoiceFadesFastAndOtherEnvelopesWait) {
    p().paramValue[6] = 0.0f;
    p().paramValue[7] = 0.5f;
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 0.3f;
    p().startEnvs(kVoice, 100);
    update(3);
    p().voiceKeyOn[kVoice] = 0;
    p().voiceStolen[kVoice] = 1;
    const double volTarget = target(3), volPhase = phase(3);
    int updates = 0;
    while (p().voiceStolen[kVoice] && updates < 1000) {
        update();
        ++updates;
        EXPECT_EQ(target(3), volTarget);
        EXPECT_EQ(phase(3), volPhase);
    }
    // 0.5 falls by 0.01 per update: the update that takes it to or below 1e-5 ends it.
    EXPECT_EQ(updates, 50);
    EXPECT_EQ(stage(0), 3);
    EXPECT_EQ(level(0), 0.0);
    EXPECT_EQ(p().env.work.step[kVoice][0][0], 0.0);
}

TEST_F(Envelopes, NoteStartStates) {
    p().paramValue[5] = 0.0f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(stage(0), 1);
    EXPECT_EQ(level(0), 1.0);
    p().paramValue[5] = 0.2f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(stage(0), 0);
    EXPECT_EQ(level(0), 0.0);
    for (int e = 1; e < 25; ++e) {
        EXPECT_EQ(stage(e), 1) << e;
        EXPECT_EQ(level(e), 1.0) << e;
    }
    // A slot on the layer 1 volume envelope's attack makes it run its attack from 0; a slot
    // on the Amp attack makes the Amp envelope run its attack even when it is instant.
    setSlot(1, 17, 123);
    setSlot(4, 17, 4, true);
    rebuild();
    p().paramValue[5] = 0.0f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(stage(3), 0);
    EXPECT_EQ(level(3), 0.0);
    EXPECT_EQ(stage(2), 1);
    EXPECT_EQ(stage(0), 0);
}

TEST_F(Envelopes, VolumeEnvelopeTimeFactorFollowsKeyAndVelocity) {
    p().paramValue[VOL_ENV_KEY_TRACK_TAGS[1]] = 0.25f;
    p().paramValue[VOL_ENV_VEL_TRACK_TAGS[1]] = 0.75f;
    p().voicePitch[kVoice] = 1.5f;
    p().startEnvs(kVoice, 64);
    const double expected =
        std::exp2((4 * 0.75 - 2) * (1.0 - 64.0 / 127.0)) * std::exp2((2 * 0.25 - 1) * 1.5);
    EXPECT_NEAR(p().env.rate[11][kVoice], expected, 1e-6);
    EXPECT_EQ(p().env.rate[3][kVoice], 1.0);
    EXPECT_EQ(p().env.rate[0][kVoice], 1.0);
    EXPECT_EQ(p().env.rate[10][kVoice], 1.0);
}

TEST_F(Envelopes, SourcesArePublishedForTheVoiceAndTheLastVoice) {
    p().paramValue[5] = 0.3f;
    p().startEnvs(kVoice, 100);
    update(6);
    for (int s = 0; s < 16; ++s) p().advanceEnvs(kVoice);
    p().lastVoice = kVoice;
    p().publishEnvSources(kVoice);
    const float amp = (float)level(0);
    ASSERT_GT(amp, 0.0f);
    EXPECT_FLOAT_EQ(p().modSrcVoice[kVoice][96], amp);
    EXPECT_FLOAT_EQ(p().modSrcVoice[kVoice][97], 1.0f - amp);
    EXPECT_FLOAT_EQ(p().modSrcGlobal[96], amp);
    EXPECT_FLOAT_EQ(p().modSrcVoice[kVoice][46], (float)level(3));
    p().modSrcGlobal[96] = -1.0f;
    p().lastVoice = kVoice + 1;
    p().publishEnvSources(kVoice);
    EXPECT_EQ(p().modSrcGlobal[96], -1.0f);
}

TEST_F(Envelopes, StageStepQueryMatchesTheMapping) {
    p().paramValue[6] = 0.4f;
    p().paramValue[7] = 0.3f;
    EXPECT_NEAR(p().getEnvVar(kVoice, 0, 1), stageStep(0.4), 1e-12);
    EXPECT_NEAR(p().getEnvVar(kVoice, 0, 2), f32(0.3), 1e-12);
    p().paramValue[FILTER_ENV_DEC_TAGS[0]] = 1.0f;
    EXPECT_EQ(p().getEnvVar(kVoice, 1, 1), 0.0);
}

}  // namespace

TEST_F(Envelopes, ADecayStandingStillFollowsItsSustainAndCurve) {
    // The Amp envelope decays until its speed destination drops to 0; from then on its phase
    // stands, but its level still follows the sustain level and the decay curve.
    p().paramValue[6] = 0.25f;                 // decay time
    p().paramValue[7] = 0.2f;                  // sustain
    p().modDestVoice[kVoice][7] = 0.3f;        // decay curve
    p().startEnvs(kVoice, 100);
    ASSERT_EQ(stage(0), 1);
    update(int(0.5 / stageStep(0.25)));
    ASSERT_EQ(stage(0), 1);
    p().modDestVoice[kVoice][3] = 0.0f;  // Amp Envelope Speed
    update();
    const double ph = phase(0);
    ASSERT_GT(ph, 0.3);
    ASSERT_LT(ph, 0.9);
    const auto expected = [&](double s, double c) {
        return s + (1.0 - s) * std::pow((ph - s) / (1.0 - s), std::exp2(4.0 * c));
    };
    for (int k = 0; k < 4; ++k) {
        update();
        EXPECT_EQ(phase(0), ph);
        EXPECT_NEAR(target(0), expected(f32(0.2), f32(0.3)), 1e-12) << k;
        EXPECT_EQ(p().env.work.step[kVoice][0][0], 0.0) << k;
    }
    p().modDestVoice[kVoice][7] = 0.1f;
    update();
    EXPECT_NEAR(target(0), expected(f32(0.2), f32(0.1)), 1e-12) << "the curve moved";
    update(3);
    p().paramValue[7] = 0.1f;
    update();
    EXPECT_NEAR(target(0), expected(f32(0.1), f32(0.1)), 1e-12) << "the sustain moved";
    p().modDestVoice[kVoice][3] = 1.0f;
    update();
    EXPECT_NEAR(phase(0), ph - stageStep(0.25), 1e-12) << "the decay moves on with its speed";
}

TEST_F(Envelopes, PublishedSourcesFollowTheRunningLevelsThroughEveryChange) {
    // The render order per sample: every 16th an update, then publish, then advance. After
    // every publish each listed envelope's source holds its running level, and the global
    // row too while the voice is the last voice, whatever happens in between.
    p().paramValue[5] = 0.2f;
    p().paramValue[6] = 0.25f;
    p().paramValue[7] = 0.5f;
    p().paramValue[FILTER_ENV_DEC_TAGS[0]] = 0.2f;
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 0.3f;
    p().lastVoice = kVoice + 1;
    p().startEnvs(kVoice, 100);
    std::vector<int> listed = {0, 1, 2, 3};
    int checks = 0;
    for (int s = 0; s < 4000; ++s) {
        switch (s) {
            case 600: p().paramValue[7] = 0.3f; break;  // no effect once in the sustain
            case 700: p().lastVoice = kVoice; break;
            case 900: p().lastVoice = kVoice + 1; break;
            case 1000: p().modDestVoice[kVoice][122] = 4.0f; break;
            case 1100:
                p().lastVoice = kVoice;
                p().paramValue[LAYER_ON_TAGS[1]] = 1.0f;  // layer 2 as a Wave layer
                p().paramValue[LAYER_SOURCE_TAGS[1]] = 3.1f / 3.99f;
                rebuild();
                listed = {0, 1, 2, 3, 9, 10, 11};
                break;
            case 1800: p().voiceKeyOn[kVoice] = 0; break;
            case 2500:
                p().voiceKeyOn[kVoice] = 1;
                p().startEnvs(kVoice, 64);
                break;
            case 3000:  // a chord of two, published from its second note
                p().voiceLevelCount[kVoice] = 2;
                p().voiceFirstElement[kVoice] = 1;
                p().startEnvs(kVoice, 90);
                break;
            default: break;
        }
        if (s % 16 == 0) update();
        p().publishEnvSources(kVoice);
        const int sub = p().voiceFirstElement[kVoice];
        for (int n : listed) {
            // Amp, layer 1's filter, pitch and volume, layer 2's filter, pitch and volume.
            const int slot = n == 0 ? 96 : (n < 9 ? 40 + 2 * n : 42 + 2 * n);
            const float want = (float)level(n, sub);
            ASSERT_EQ(p().modSrcVoice[kVoice][slot], want) << "env " << n << " sample " << s;
            ASSERT_EQ(p().modSrcVoice[kVoice][slot + 1], 1.0f - want) << n << " " << s;
            if (p().lastVoice == kVoice) {
                ASSERT_EQ(p().modSrcGlobal[slot], want) << "global, env " << n << " sample " << s;
            }
            ++checks;
        }
        p().advanceEnvs(kVoice);
    }
    EXPECT_GT(checks, 4000 * 4);
}
