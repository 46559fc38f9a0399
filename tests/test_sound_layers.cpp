// Layer control values on the plug-in object: the layer state of the control block, the
// smoothed level curve, the per-voice pitch steps and model controls, the velocity split,
// the note-start state of the stacked notes, and a voice rendered in isolation (strummed
// notes silent until they start, a very low String within its line, extreme pitches).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/RandSeed.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kVoice = 5;

class Layers : public ::testing::Test {
protected:
    void SetUp() override {
        p().setSampleRate((float)kRate);
        for (int l = 0; l < 3; ++l) p().paramValue[LAYER_ON_TAGS[l]] = 0.0f;
        p().paramValue[LAYER_ON_TAGS[0]] = 1.0f;
        model(0, 3);
        std::memcpy(p().modDestVoice[kVoice], p().modDestDefault, sizeof(p().modDestDefault));
        p().voiceLevelCount[kVoice] = 1;
        for (int i = 0; i < 8; ++i) {
            p().voiceElemAge[kVoice][i] = 0;
            p().voiceElemRatio[kVoice][i] = 1.0f;
            p().voiceElemSemi[kVoice][i] = 0.0f;
            p().voiceElemGain[kVoice][i][0] = 1.0f;
            p().voiceElemGain[kVoice][i][1] = 1.0f;
        }
        p().voiceKeyOn[kVoice] = 1;
        p().voicePitch[kVoice] = 0.0f;
        p().glidePitch[kVoice] = 0.0f;
        p().voicePitchBend[kVoice] = 0.0f;
        p().voicePitchFactor[kVoice] = 110.0 / kRate;
        p().voiceCounter[kVoice] = 0;
        p().voiceFirstElement[kVoice] = 0;
        p().mainPanSmooth = 0.5f;  // centre
        p().paramValue[5] = 0.0f;  // instant Amp attack
        p().paramValue[7] = 1.0f;  // full Amp sustain
        p().activeVoiceList[0] = kVoice;
        p().activeVoiceCount = 1;
    }
    APlugin& p() { return h.plugin(); }
    void model(int layer, int m) {
        p().paramValue[LAYER_SOURCE_TAGS[layer]] = ((float)m + 0.1f) / 3.99f;
        p().updateLayerState();
        p().buildEnvList();
    }
    void startNote(int velocity = 100) {
        p().startLayerSound(kVoice, velocity);
        p().startEnvs(kVoice, velocity);
        p().setVelocitySplit(kVoice, velocity, 1.0f);
        p().updateLayerLevels();
    }
    // One host sample of the voice as the render loop runs it.
    void step() {
        const int cv = p().voiceCounter[kVoice];
        if ((cv & 15) == 0) {
            p().setEnvs(kVoice);
            p().setLayerControls(kVoice);
        }
        p().renderLayers();
        for (int i = 0; i < p().voiceLevelCount[kVoice]; ++i) ++p().voiceElemAge[kVoice][i];
        p().advanceEnvs(kVoice);
        ++p().voiceCounter[kVoice];
    }
    PluginHarness h;
};

TEST_F(Layers, ControlBlockReadsTheLayerSettings) {
    p().paramValue[LAYER_ON_TAGS[2]] = 1.0f;
    p().paramValue[LAYER_SOURCE_TAGS[2]] = 2.1f / 3.99f;
    p().paramValue[LAYER_DEST_TAGS[2]] = 3.1f / 4.99f;
    p().paramValue[FM_MODE_TAGS[2]] = 1.1f / 1.99f;
    p().paramValue[WAVE_TAGS[0]] = 0.61f;  // int(0.61 x 5 + 0.001) = 3, Triangle
    p().updateLayerState();
    ASSERT_EQ(p().activeLayerCount, 2);
    EXPECT_EQ(p().activeLayers[0], 0);
    EXPECT_EQ(p().activeLayers[1], 2);
    EXPECT_EQ(p().layerSource[2], kSourceFM);
    EXPECT_EQ(p().layerDest[2], kLayerDestReverb);
    EXPECT_EQ(p().layerFMChain[2], 1);
    EXPECT_EQ(p().layerFMChain[0], 0);
    EXPECT_EQ(p().layerWave[0], 3);
    EXPECT_EQ(p().layerWaveGroup[0][0], 3);
    EXPECT_EQ(p().layerWaveGroup[0][1], 0);
    EXPECT_EQ(p().layerOn[1], 0);
}

TEST_F(Layers, LevelsSmoothTowardTheEightyDecibelCurve) {
    p().paramValue[VOL_TAGS[1]] = 0.75f;
    p().layerVolSmooth[1] = 0.0f;
    p().updateLayerLevels();
    EXPECT_NEAR(p().layerVolSmooth[1], 0.075f, 1e-6f);
    EXPECT_NEAR(p().layerVolGain[1], std::pow(10.0, (80.0 * 0.075 - 60.0) / 20.0), 1e-7);
    for (int i = 0; i < 300; ++i) p().updateLayerLevels();
    EXPECT_NEAR(p().layerVolGain[1], 1.0, 1e-4);
    // FM operator gains are phase offsets: a full-scale operator swings a whole cycle.
    p().paramValue[FM_1_VOL_TAGS[0]] = 0.75f;
    p().resetLayerLevels();
    EXPECT_NEAR(p().fm1VolGain[0], 16777215.0, 2.0);
    p().paramValue[SUB_VOL_TAGS[0]] = 0.0f;
    p().resetLayerLevels();
    EXPECT_EQ(p().subVolGain[0], 0.0f);
}

TEST_F(Layers, PitchesOfTheSlowControls) {
    p().paramValue[SEMI_TAGS[0]] = (48.0f + 5.0f + 0.5f) / 96.99f;
    p().paramValue[FINE_TAGS[0]] = 0.75f;
    p().paramValue[FM_1_SEMI_TAGS[0]] = (48.0f + 12.0f + 0.5f) / 96.99f;
    p().paramValue[FM_1_FINE_TAGS[0]] = 0.5f;
    p().updateLayerLevels();
    EXPECT_NEAR(p().layerSemi[0], 5.0f / 12.0f, 1e-6f);
    EXPECT_NEAR(p().layerFine[0], 0.5f / 12.0f, 1e-6f);
    EXPECT_NEAR(p().fm1Pitch[0], 1.0f, 1e-6f);
    model(0, 2);
    p().updateLayerLevels();
    EXPECT_EQ(p().layerFine[0], 0.0f);  // an FM layer has no layer fine
}

TEST_F(Layers, VoiceControlsFollowThePitchFormulas) {
    p().paramValue[SEMI_TAGS[0]] = (48.0f + 3.0f + 0.5f) / 96.99f;
    p().updateLayerLevels();
    p().glidePitch[kVoice] = 1.0f;
    p().voicePitchBend[kVoice] = 0.25f;
    p().modDestVoice[kVoice][37] = 0.125f;  // layer octave +1
    p().setLayerControls(kVoice);
    const TLayerVoice& c = p().layerVoice[0][kVoice];
    const double pitch = 1.0 + 3.0 / 12.0 + 0.25 + 1.0;
    EXPECT_NEAR(c.layerInc, std::exp2(pitch) * 110.0 / kRate * 16777215.0 * 0.5, 1e-6);
    // Key index from semitone, octave, bend and glide: 57 + 12 x 2.5 = 87 -> band 14.
    EXPECT_EQ(p().layerNote[0][kVoice][0].band, p().noteBand[87]);
    EXPECT_EQ(p().layerNote[0][kVoice][0].subBand, p().noteBand[75]);
}

TEST_F(Layers, StringControls) {
    model(0, 1);
    p().paramValue[STRING_LEN_TAGS[0]] = 0.5f;
    p().paramValue[STRING_DAMP_TAGS[0]] = 0.6f;
    p().paramValue[STRING_IMP_LEN_TAGS[0]] = 0.25f;
    p().paramValue[STRING_IMP_SHP_TAGS[0]] = 0.75f;
    p().paramValue[STRING_PLUCK_TAGS[0]] = 0.4f;
    p().stringLenMod[0][kVoice] = 0.1f;
    p().stringDampMod[0][kVoice] = 0.0f;
    p().stringPluckMod[0][kVoice] = 0.0f;
    p().setLayerControls(kVoice);
    const TLayerVoice& c = p().layerVoice[0][kVoice];
    EXPECT_NEAR(c.feedback, std::pow(0.6, 0.25) * 0.999999, 1e-6);
    EXPECT_NEAR(c.damping, std::exp2(12.0 - 3.0) * 20.0 / kRate, 1e-6);
    EXPECT_NEAR(c.impulseLength, std::exp2(0.9 + 0.4) - 1.0, 1e-5);
    EXPECT_NEAR(c.impulseShape, std::exp2(1.5), 1e-5);
    EXPECT_NEAR(c.pluck, std::exp2(2.0 - 6.0), 1e-6);
    EXPECT_NEAR(c.stringInc, 110.0 / kRate, 1e-12);
}

TEST_F(Layers, VelocitySplitGains) {
    const float handles[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    for (int k = 0; k < 4; ++k) p().paramValue[LAYER_VEL_TAGS[k]] = handles[k];
    p().paramValue[541] = 1.0f;
    const struct {
        int velocity;
        float gain;
    } cases[] = {{38, 0.496f}, {64, 1.0f}, {90, 0.457f}, {120, 0.0f}, {10, 0.0f}};
    for (const auto& c : cases) {
        p().setVelocitySplit(kVoice, c.velocity, 0.5f);
        EXPECT_NEAR(p().layerVelGain[0][kVoice], 0.5f * c.gain, 0.002f) << c.velocity;
        EXPECT_NEAR(p().modSrcVoice[kVoice][58], c.gain, 0.004f) << c.velocity;
        EXPECT_NEAR(p().modSrcVoice[kVoice][59], 1.0f - c.gain, 0.004f) << c.velocity;
        EXPECT_NEAR(p().modSrcGlobal[58], c.gain, 0.004f) << c.velocity;
    }
    // A velocity on the fade-in handle itself: the ramp would give a hair below zero.
    p().setVelocitySplit(kVoice, 25, 1.0f);  // int(0.2 x 127) = 25, 25/127 < 0.2
    EXPECT_GE(p().layerVelGain[0][kVoice], 0.0f);
    // Split off: full gain, the sources still tell the split.
    p().paramValue[541] = 0.0f;
    p().setVelocitySplit(kVoice, 120, 0.5f);
    EXPECT_EQ(p().layerVelGain[0][kVoice], 0.5f);
    EXPECT_EQ(p().modSrcVoice[kVoice][58], 0.0f);
}

TEST_F(Layers, NoteStartDrawsPositionsFromTheSharedGenerator) {
    p().paramValue[FREE_ON_TAGS[0]] = 1.0f;
    p().paramValue[FREE_ON_TAGS[1]] = 0.0f;
    p().paramValue[FREE_ON_TAGS[2]] = 0.0f;
    TRandSeed copy(RandSeed.state());
    p().startLayerSound(kVoice, 100);
    // Layer 1 free running: per sub-element a start, an excitation position and a drift step.
    for (int i = 0; i < 8; ++i) {
        const int start = (int)(((double)copy.next() + 1.0) * 0.5 * 65535.0);
        const int excite = (int)(((double)copy.next() + 1.0) * 0.5 * 65535.0);
        const int drift = (int)(((double)copy.next() + 1.0) * 0.5 * 23.0 + 100.0);
        if (i < kLayerNotes) {
            const TLayerNote& n = p().layerNote[0][kVoice][i];
            EXPECT_EQ(n.wirePos, start) << i;
            EXPECT_EQ(n.wireStart, start) << i;
            EXPECT_EQ(n.excitePos, excite) << i;
            EXPECT_EQ((int)n.driftStep, drift) << i;
            EXPECT_EQ(n.subPhase, n.phase / 2u) << i;
        }
    }
    // Layer 2 not free running: starts at 0 and no random phase.
    const TLayerNote& n2 = p().layerNote[1][kVoice][0];
    EXPECT_EQ(n2.wirePos, 0);
    EXPECT_EQ(n2.phase, 0u);
    const int excite2 = (int)(((double)copy.next() + 1.0) * 0.5 * 65535.0);
    EXPECT_EQ(n2.excitePos, excite2);
}

TEST_F(Layers, NoteStartTrackingValues) {
    p().paramValue[FM_1_VEL_TRACK_TAGS[0]] = 0.5f;
    p().paramValue[STRING_LEN_VEL_TRACK_TAGS[0]] = 1.0f;
    p().paramValue[STRING_LEN_KEY_TRACK_TAGS[0]] = 0.0f;
    p().paramValue[STRING_DAMP_VEL_TRACK_TAGS[0]] = 1.0f;
    p().voicePitch[kVoice] = 1.0f;
    p().startLayerSound(kVoice, 127);
    EXPECT_NEAR(p().fmVelGain[0][kVoice][0], 1.0f, 1e-6f);
    p().startLayerSound(kVoice, 0);
    EXPECT_NEAR(p().fmVelGain[0][kVoice][0], 0.5f, 1e-6f);
    EXPECT_NEAR(p().stringLenMod[0][kVoice], -1.0f, 1e-6f);   // 0 x v - 1 x pitch
    EXPECT_NEAR(p().stringDampMod[0][kVoice], -0.0f, 1e-6f);  // -(1 x 0 + 0 x pitch)
}

TEST_F(Layers, StrummedNoteIsSilentUntilItStarts) {
    for (int m = 0; m < 4; ++m) {
        SCOPED_TRACE(m);
        model(0, m);
        p().voiceLevelCount[kVoice] = 2;
        p().voiceElemAge[kVoice][0] = 0;
        p().voiceElemAge[kVoice][1] = -200;
        p().voiceElemRatio[kVoice][1] = 1.5f;
        p().voiceCounter[kVoice] = 0;
        startNote();
        // Whatever the record held before (a loud note of the last voice), a note that
        // has not started rests.
        stereoOverStruct& rest = p().noteOut[0][kVoice][1];
        rest.sub[0].left = rest.sub[0].right = rest.sub[1].left = rest.sub[1].right = 1.0f;
        double second = 0.0;
        for (int s = 0; s < 190; ++s) {
            step();
            second += std::fabs(rest.sub[0].left);
        }
        EXPECT_LT(second, 1e-10);
        for (int s = 0; s < 400; ++s) {
            step();
            second += std::fabs(rest.sub[0].left);
        }
        EXPECT_GT(second, 1e-3);
    }
}

TEST_F(Layers, LayerOutputIsTheEnvelopedSumOfItsNotes) {
    startNote();
    for (int s = 0; s < 64; ++s) step();
    const stereoOverStruct& note = p().noteOut[0][kVoice][0];
    const stereoOverStruct& out = p().layerOut[0];
    const float gain = p().layerVolGain[0] * p().layerVelGain[0][kVoice];
    ASSERT_GT(gain, 0.0f);
    EXPECT_NEAR(out.sub[0].left, note.sub[0].left * gain, 1e-6f);
    EXPECT_NEAR(out.sub[1].right, note.sub[1].right * gain, 1e-6f);
    EXPECT_NEAR(p().getLayerVoiceOutput(0, kVoice),
                (note.sub[0].left + note.sub[0].right + note.sub[1].left + note.sub[1].right) / 4,
                1e-7f);
}

TEST_F(Layers, VeryLowStringStaysInItsLine) {
    model(0, 1);
    p().paramValue[SEMI_TAGS[0]] = 0.0f;                                     // -48 semitones
    p().voicePitchFactor[kVoice] = 110.0 / kRate * std::exp2(-57.0 / 12.0);  // MIDI note 0
    startNote();
    for (int s = 0; s < 40000; ++s) step();
    EXPECT_FLOAT_EQ(p().layerNote[0][kVoice][0].period, 16383.0f);
    EXPECT_TRUE(std::isfinite(p().layerOut[0].sub[0].left));
}

TEST_F(Layers, ExtremePitchAndModulationStayFinite) {
    for (int m = 0; m < 4; ++m) {
        model(0, m);
        p().paramValue[SEMI_TAGS[0]] = 1.0f;                                    // +48 semitones
        p().voicePitchFactor[kVoice] = 110.0 / kRate * std::exp2(70.0 / 12.0);  // MIDI 127
        p().modDestVoice[kVoice][37] = 1e9f;      // absurd octave modulation
        p().modDestVoice[kVoice][43] = -3.7e12f;  // absurd phase modulation
        p().modDestVoice[kVoice][42] = 1e30f;     // feed
        startNote();
        for (int s = 0; s < 2000; ++s) {
            step();
            ASSERT_TRUE(std::isfinite(p().layerOut[0].sub[0].left)) << m << " " << s;
            ASSERT_TRUE(std::isfinite(p().layerOut[0].sub[1].right)) << m << " " << s;
        }
        std::memcpy(p().modDestVoice[kVoice], p().modDestDefault, sizeof(p().modDestDefault));
    }
}

TEST_F(Layers, ModelSwitchTakesFreshControls) {
    startNote();
    for (int s = 0; s < 20; ++s) step();
    // Switch to String between two control updates of the voice: the next sample still
    // renders with String controls, not the Wave ones.
    model(0, 1);
    step();
    EXPECT_EQ(p().layerVoice[0][kVoice].model, kSourceString + 1);
    EXPECT_GT(p().layerVoice[0][kVoice].stringInc, 0.0);
}

}  // namespace
