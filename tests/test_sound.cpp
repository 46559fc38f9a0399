// The sound models, their layers and envelopes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"
#include "test_engine_util.h"

// The four layer models through the offline host, measured from the output.
namespace part_sound_models {

using namespace enginetest;

namespace {

constexpr double kRate = 48000.0;
float semi(int semitones) { return ((float)(48 + semitones) + 0.5f) / 96.99f; }

// Layer 1 alone with the given model (0 Wire, 1 String, 2 FM, 3 Wave), plain settings around
// it, layers 1 and 2 routed straight to the output past the effects.
Params layerOne(int model) {
    return {{LAYER_ON_TAGS[0], 1.0f}, {LAYER_DEST_TAGS[0], stepped(4, 4.99f)}, {LAYER_DEST_TAGS[1], stepped(4, 4.99f)},
            {LAYER_ON_TAGS[1], 0.0f}, {LAYER_ON_TAGS[2], 0.0f}, {LAYER_SOURCE_TAGS[0], sourceValue(model)},
            {WAVE_TAGS[0], waveValue(0)}, {DRIFT_ON_TAGS[0], 0.0f}, {5, 0.0f}, {7, 1.0f}, {541, 0.0f}};
}

// One note through a fresh instance of the plug-in, released at `releaseAt` seconds when
// that is not negative.
Rendered playNote(const Params& params, int note, int velocity, double seconds, double rate = kRate,
                  double releaseAt = -1.0) {
    std::vector<tavhost::TimedMidiEvent> ev{midi(0, 0x90, (uint8_t)note, (uint8_t)velocity)};
    if (releaseAt >= 0.0) ev.push_back(midi((int64_t)(releaseAt * rate), 0x80, (uint8_t)note, 0));
    HostRun run;
    run.rate = rate;
    return render(params, ev, (int64_t)(seconds * rate), run);
}

// Frequency of the component near `guess`: the phase advance of the windowed DFT between
// two windows hop samples apart (the kernel runs on absolute time), over longer and longer hops.
double measureFrequency(const std::vector<float>& x, double rate, double guess, size_t start) {
    double f = guess;
    for (size_t hop : {512u, 2048u, 8192u, 32768u}) {
        if (start + hop + 8192 > x.size()) break;
        const double advance = std::arg(dft(x, start + hop, 8192, f, rate) / dft(x, start, 8192, f, rate));
        f += std::remainder(advance, 2.0 * kPi) * rate / (2.0 * kPi * (double)hop);
    }
    return f;
}

// Layer 1 with `model` and the extra settings, one note at velocity 100.
Rendered playModel(int model, const Params& extra, int note, double seconds) {
    return playNote(with(layerOne(model), extra), note, 100, seconds);
}

// Amplitude of the component at f in the 16384 samples from `at` seconds on.
double amplitude(const Rendered& r, double f, double at) {
    return amplitudeAt(r.left, (size_t)(at * kRate), 16384, f, kRate);
}
double harmonicRatio(const Rendered& r, double f, double multiple, double at) {
    return amplitude(r, multiple * f, at) / amplitude(r, f, at);
}
// How much of a ring is left late in the note: RMS at 0.9 s over RMS at 0.05 s.
double ringDecay(const Rendered& r) {
    return rms(r.left, (size_t)(0.9 * kRate), 4800) / rms(r.left, (size_t)(0.05 * kRate), 4800);
}

class SoundModels : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("sound-models")); }
};

TEST_F(SoundModels, EachModelPlaysItsFormulaPitchWithinOneCent) {
    // String: the loop feeds back -feedback x y, so its period is two line lengths and it
    // sounds an octave below the frequency its period is set from.
    const double factor[4] = {1.0, 0.5, 1.0, 1.0};
    for (double rate : {48000.0, 44100.0})
        for (int model = 0; model < 4; ++model)
            for (int note : {45, 81}) {
                const Rendered r = playNote(layerOne(model), note, 100, 1.6, rate);
                ASSERT_TRUE(r.clean) << model;
                const double expected = formulaFrequency(note) * factor[model];
                const double f = measureFrequency(r.left, rate, expected, (size_t)(0.1 * rate));
                EXPECT_NEAR(cents(f, expected), 0.0, 1.0) << model << " note " << note << " at " << rate;
            }
    // String: odd harmonics of its loop only.
    const Rendered r = playModel(1, {}, 57, 1.0);
    const double f = formulaFrequency(57) * 0.5;
    EXPECT_GT(amplitude(r, 3.0 * f, 0.2), 1e-4);
    EXPECT_LT(amplitude(r, 2.0 * f, 0.2), 0.01 * amplitude(r, f, 0.2));
}

TEST_F(SoundModels, StartUpProgramPlaysA) {
    // As the plug-in loads it, with the time-based effects bypassed (a chorus would wobble
    // the pitch). Its filters sweep for seconds and turn the phase a little: within a few cents.
    const Rendered r = render({{345, 1.0f}}, {midi(0, 0x90, 69, 100)}, (int64_t)(1.6 * kRate));
    ASSERT_TRUE(r.clean);
    const double f = measureFrequency(r.left, kRate, formulaFrequency(69), (size_t)(0.1 * kRate));
    EXPECT_NEAR(cents(f, formulaFrequency(69)), 0.0, 3.0);
}

TEST_F(SoundModels, StringDampingDullsAndShortensTheRingAndLengthSetsTheFeedback) {
    // Brightness: RMS of the sample-to-sample difference over RMS, 0.3 s into the note.
    const auto ring = [&](const Params& extra) {
        const Rendered r = playModel(1, extra, 57, 1.2);
        std::vector<float> diff(r.left.size(), 0.0f);
        for (size_t i = 1; i < diff.size(); ++i) diff[i] = r.left[i] - r.left[i - 1];
        const size_t at = (size_t)(0.3 * kRate);
        return std::make_pair(ringDecay(r), rms(diff, at, 4800) / rms(r.left, at, 4800));
    };
    const auto open = ring({{STRING_DAMP_TAGS[0], 0.0f}}), some = ring({{STRING_DAMP_TAGS[0], 0.6f}}),
               much = ring({{STRING_DAMP_TAGS[0], 1.0f}});
    EXPECT_GT(open.first, 0.5);  // the undamped loop barely loses anything in a second
    EXPECT_LT(some.second, 0.5 * open.second);
    EXPECT_LT(much.second, some.second);
    EXPECT_LT(much.first, 0.7 * open.first);
    EXPECT_LT(ring({{STRING_LEN_TAGS[0], 0.3f}}).first, 0.01 * ring({{STRING_LEN_TAGS[0], 1.0f}}).first);
}

TEST_F(SoundModels, WaveShapesSymmetrySubAndNoise) {
    const double f = formulaFrequency(57);
    const auto ratios = [&](const Params& extra, int note = 57) {
        const Rendered r = playModel(3, extra, note, 0.8);
        return std::make_pair(harmonicRatio(r, f, 2.0, 0.2), harmonicRatio(r, f, 3.0, 0.2));
    };
    // Second and third harmonic against the fundamental: saw, square, triangle, bent sine.
    const struct { Params extra; double second, third, tolerance; } cases[] = {
        {{{WAVE_TAGS[0], waveValue(1)}}, 0.5, 1.0 / 3.0, 0.02},
        {{{WAVE_TAGS[0], waveValue(2)}}, 0.0, 1.0 / 3.0, 0.01},
        {{{WAVE_TAGS[0], waveValue(3)}}, 0.0, 1.0 / 9.0, 0.01},
        {{{WAVE_SYM_TAGS[0], 0.5f}}, 0.0, 0.0, 3e-3}};
    for (const auto& c : cases) {
        const auto got = ratios(c.extra);
        EXPECT_NEAR(got.first, c.second, c.tolerance) << &c - cases;
        EXPECT_NEAR(got.second, c.third, c.tolerance) << &c - cases;
    }
    EXPECT_GT(ratios({{WAVE_SYM_TAGS[0], 0.85f}}).first, 0.05) << "symmetry bends the sine";

    // The sub-oscillator at 0 dB sounds an octave below, as loud as the oscillator.
    const auto sub = [&](float volume) {
        const Rendered r = playModel(3, {{SUB_VOL_TAGS[0], volume}}, 69, 0.8);
        return std::make_pair(amplitude(r, 0.5 * 2.0 * f, 0.2), amplitude(r, 2.0 * f, 0.2));
    };
    const auto off = sub(0.0f), on = sub(0.75f);
    EXPECT_LT(off.first, 1e-3 * off.second);
    EXPECT_NEAR(on.first / on.second, 1.0, 0.02);
    EXPECT_NEAR(on.second / off.second, 1.0, 0.02);

    // The noises ignore the pitch.
    for (int w : {4, 5}) {
        const auto level = [&](int note) {
            return rms(playModel(3, {{WAVE_TAGS[0], waveValue(w)}}, note, 0.6).left, (size_t)(0.1 * kRate), 16384);
        };
        const double low = level(45);
        EXPECT_GT(low, 1e-3) << w;
        EXPECT_NEAR(level(93) / low, 1.0, 0.2) << w;
    }
}

TEST_F(SoundModels, FMOperatorRatioShapesTheSpectrum) {
    const double f = formulaFrequency(57);
    const auto evenToFundamental = [&](int opSemis) {
        return harmonicRatio(playModel(2, {{FM_1_SEMI_TAGS[0], semi(opSemis)}, {FM_2_VOL_TAGS[0], 0.0f},
                                           {FM_1_VOL_ENV_SUST_TAGS[0], 1.0f}}, 57, 1.0), f, 2.0, 0.3);
    };
    // At the carrier frequency: sidebands on every harmonic; an octave up: odd multiples only.
    EXPECT_GT(evenToFundamental(0), 0.1);
    EXPECT_LT(evenToFundamental(12), 0.01);
    // Without operators: the plain carrier.
    const Rendered r = playModel(2, {{FM_1_VOL_TAGS[0], 0.0f}, {FM_2_VOL_TAGS[0], 0.0f}}, 57, 1.0);
    const double a1 = amplitude(r, f, 0.2);
    EXPECT_GT(a1, 1e-3);
    for (int h = 2; h <= 4; ++h) EXPECT_LT(amplitude(r, h * f, 0.2), 3e-3 * a1);
}

TEST_F(SoundModels, WireFreeRunningDrawsAFreshBurstPerNote) {
    // Without free running every note restarts the same walk through the tables: its first
    // period equals the first period of the earlier note.
    const int64_t second = (int64_t)(0.5 * kRate);
    const auto differs = [&](float freeRun) {
        const Rendered r = render(with(layerOne(0), {{FREE_ON_TAGS[0], freeRun}, {8, 0.0f}}),
                                  {midi(0, 0x90, 57, 100), midi(second - 4800, 0x80, 57, 0), midi(second, 0x90, 57, 100)},
                                  second + 9600);
        double diff = 0.0, sum = 0.0;
        for (int64_t i = 100; i < 400; ++i) {
            diff += std::fabs((double)r.left[i] - r.left[second + i]);
            sum += std::fabs((double)r.left[i]);
        }
        return diff / (sum + 1e-20);
    };
    EXPECT_LT(differs(0.0f), 1e-4);
    EXPECT_GT(differs(1.0f), 0.3);
}

TEST_F(SoundModels, VelocitySplitCrossfadesTheLayers) {
    // Layer 1 a sine at the note, split over 0.2 .. 0.8; layer 2 a sine a fifth up over the
    // whole range.
    Params p = with(layerOne(3), {{LAYER_ON_TAGS[1], 1.0f}, {LAYER_SOURCE_TAGS[1], sourceValue(3)},
                                  {WAVE_TAGS[1], waveValue(0)}, {SEMI_TAGS[1], semi(7)}, {541, 1.0f}});
    const float handles[8] = {0.2f, 0.4f, 0.6f, 0.8f, 0.0f, 0.0f, 1.0f, 1.0f};
    for (int k = 0; k < 8; ++k) p.push_back({LAYER_VEL_TAGS[k], handles[k]});
    const auto ratio = [&](const Params& params, int velocity) {
        const Rendered r = playNote(params, 57, velocity, 0.6);
        return amplitude(r, formulaFrequency(57), 0.1) / amplitude(r, formulaFrequency(64), 0.1);
    };
    EXPECT_NEAR(ratio(p, 38), (38.0 / 127.0 - 0.2) / 0.2, 0.02);
    EXPECT_NEAR(ratio(p, 64), 1.0, 0.02);
    EXPECT_NEAR(ratio(p, 90), 1.0 - (90.0 / 127.0 - 0.6) / 0.2, 0.02);
    EXPECT_LT(ratio(p, 120), 0.01);
    EXPECT_NEAR(ratio(with(p, {{541, 0.0f}}), 120), 1.0, 0.02) << "split off: both layers at full gain";
}

TEST_F(SoundModels, LayerPanAndVolumeFollowTheirCurves) {
    const Rendered r = playModel(3, {{PAN_TAGS[0], 0.0f}}, 57, 0.5);
    EXPECT_GT(rms(r.left, 4800, 8192), 1e-3);
    EXPECT_LT(rms(r.right, 4800, 8192), 1e-6);
    const auto level = [&](float vol) { return amplitude(playModel(3, {{VOL_TAGS[0], vol}}, 57, 0.5), formulaFrequency(57), 0.1); };
    // 80 dB over the range: 0.125 apart is 10 dB.
    EXPECT_NEAR(20.0 * std::log10(level(0.625f) / level(0.5f)), 10.0, 0.05);
    EXPECT_LT(level(0.0f), 1e-9);
}

TEST_F(SoundModels, ReleaseDecaysToSilence) {
    const size_t off = (size_t)(0.3 * kRate);
    const double releaseSamples = (std::exp2(14.0 * 0.3) * kRate + 32.0) / 1000.0;  // amp release 0.3
    for (int model = 0; model < 4; ++model) {
        const Rendered r = playNote(with(layerOne(model), {{8, 0.3f}}), 57, 100, 1.0, kRate, 0.3);
        ASSERT_TRUE(r.clean) << model;
        EXPECT_GT(rms(r.left, off - 4800, 4800), 1e-3) << model;
        // Half way through the release it still sounds; silent from its end (plus the 16-sample grid).
        EXPECT_GT(rms(r.left, off + (size_t)(releaseSamples * 0.4), 256), 1e-4) << model;
        double peak = 0.0;
        for (size_t i = off + (size_t)releaseSamples + 64; i < r.left.size(); ++i) peak = std::max(peak, (double)std::fabs(r.left[i]));
        EXPECT_LT(peak, 1e-5) << model;
    }
}

}  // namespace
}  // namespace part_sound_models

// A voice rendered in isolation on the plug-in object.
namespace part_sound_layers {
namespace {

constexpr double kRate = 48000.0;
constexpr int kVoice = 5;

class Layers : public ::testing::Test {
protected:
    void SetUp() override {
        APlugin& q = p();
        q.setSampleRate((float)kRate);
        for (int l = 0; l < 3; ++l) q.paramValue[LAYER_ON_TAGS[l]] = l == 0 ? 1.0f : 0.0f;
        model(0, 3);
        std::memcpy(q.modDestVoice[kVoice], q.modDestDefault, sizeof(q.modDestDefault));
        for (int i = 0; i < 8; ++i) {
            q.voiceElemAge[kVoice][i] = 0;
            q.voiceElemRatio[kVoice][i] = q.voiceElemGain[kVoice][i][0] = q.voiceElemGain[kVoice][i][1] = 1.0f;
            q.voiceElemSemi[kVoice][i] = 0.0f;
        }
        q.voiceLevelCount[kVoice] = q.voiceKeyOn[kVoice] = q.activeVoiceCount = 1;
        q.voicePitch[kVoice] = q.glidePitch[kVoice] = q.voicePitchBend[kVoice] = 0.0f;
        q.voicePitchFactor[kVoice] = 110.0 / kRate;
        q.voiceCounter[kVoice] = q.voiceFirstElement[kVoice] = 0;
        q.mainPanSmooth = 0.5f;  // centre
        q.paramValue[5] = 0.0f;  // instant Amp attack, full sustain
        q.paramValue[7] = 1.0f;
        q.activeVoiceList[0] = kVoice;
    }
    APlugin& p() { return h.plugin(); }
    void model(int layer, int m) {
        p().paramValue[LAYER_SOURCE_TAGS[layer]] = ((float)m + 0.1f) / 3.99f;
        p().updateLayerState(), p().buildEnvList();
    }
    void startNote(int velocity = 100) {
        p().startLayerSound(kVoice, velocity);
        p().startEnvs(kVoice, velocity);
        p().setVelocitySplit(kVoice, velocity, 1.0f);
        p().updateLayerLevels();
    }
    // One host sample of the voice as the render loop runs it.
    void step() {
        if ((p().voiceCounter[kVoice] & 15) == 0) {
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

TEST_F(Layers, VelocitySplitGains) {
    for (int k = 0; k < 4; ++k) p().paramValue[LAYER_VEL_TAGS[k]] = 0.2f + 0.2f * (float)k;
    p().paramValue[541] = 1.0f;
    p().setVelocitySplit(kVoice, 90, 0.5f);
    EXPECT_NEAR(p().modSrcVoice[kVoice][58], 0.457f, 0.004f) << "the split is a source too";
    // A velocity on the fade-in handle itself: the ramp would give a hair below zero.
    p().setVelocitySplit(kVoice, 25, 1.0f);  // int(0.2 x 127) = 25, 25/127 < 0.2
    EXPECT_GE(p().layerVelGain[0][kVoice], 0.0f);
    // Split off: full gain, the sources still tell the split.
    p().paramValue[541] = 0.0f;
    p().setVelocitySplit(kVoice, 120, 0.5f);
    EXPECT_EQ(p().layerVelGain[0][kVoice], 0.5f);
    EXPECT_EQ(p().modSrcVoice[kVoice][58], 0.0f);
}

TEST_F(Layers, StrummedNoteIsSilentUntilItStarts) {
    for (int m = 0; m < 4; ++m) {
        model(0, m);
        p().voiceLevelCount[kVoice] = 2;
        p().voiceElemAge[kVoice][0] = 0;
        p().voiceElemAge[kVoice][1] = -200;
        p().voiceElemRatio[kVoice][1] = 1.5f;
        p().voiceCounter[kVoice] = 0;
        startNote();
        // Whatever the record held before (a loud note of the last voice), a note that has
        // not started rests.
        stereoOverStruct& rest = p().noteOut[0][kVoice][1];
        rest.sub[0].left = rest.sub[0].right = rest.sub[1].left = rest.sub[1].right = 1.0f;
        double second = 0.0;
        for (int s = 0; s < 590; ++s) {
            step();
            second += std::fabs(rest.sub[0].left);
            if (s == 189) {
                EXPECT_LT(second, 1e-10) << m;
            }
        }
        EXPECT_GT(second, 1e-3) << m;
    }
}

TEST_F(Layers, ExtremePitchesStayFiniteAndAVeryLowStringInItsLine) {
    model(0, 1);
    p().paramValue[SEMI_TAGS[0]] = 0.0f;                                     // -48 semitones
    p().voicePitchFactor[kVoice] = 110.0 / kRate * std::exp2(-57.0 / 12.0);  // MIDI note 0
    startNote();
    for (int s = 0; s < 40000; ++s) step();
    EXPECT_FLOAT_EQ(p().layerNote[0][kVoice][0].period, 16383.0f);
    EXPECT_TRUE(std::isfinite(p().layerOut[0].sub[0].left));
    for (int m = 0; m < 4; ++m) {
        model(0, m);
        p().paramValue[SEMI_TAGS[0]] = 1.0f;                                    // +48 semitones
        p().voicePitchFactor[kVoice] = 110.0 / kRate * std::exp2(70.0 / 12.0);  // MIDI 127
        p().modDestVoice[kVoice][37] = 1e9f;                                    // absurd octave,
        p().modDestVoice[kVoice][43] = -3.7e12f;                                // phase
        p().modDestVoice[kVoice][hotDestSlot(43)] = -3.7e12f;                   // (its copy)
        p().modDestVoice[kVoice][42] = 1e30f;                                   // and feed modulation
        startNote();
        for (int s = 0; s < 2000; ++s) {
            step();
            ASSERT_TRUE(std::isfinite(p().layerOut[0].sub[0].left) && std::isfinite(p().layerOut[0].sub[1].right)) << m << " " << s;
        }
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

// A layer switched to String while its note sounds starts the note's string at rest: what an
// earlier String note left in the voice's line does not ring in it. A String note whose layer
// is turned off and on again rings on from its own line.
TEST_F(Layers, StringTakingOverASoundingNoteStartsAtRest) {
    model(0, 1);
    startNote();
    for (int s = 0; s < 4000; ++s) step();
    ASSERT_GT(std::fabs(p().layerNote[0][kVoice][0].loopState), 1e-4f) << "the first note rings";
    p().paramValue[LAYER_ON_TAGS[0]] = 0.0f;
    model(0, 1);
    step();
    p().paramValue[LAYER_ON_TAGS[0]] = 1.0f;
    model(0, 1);
    for (int s = 0; s < 200; ++s) step();
    EXPECT_GT(std::fabs(p().layerNote[0][kVoice][0].loopState), 1e-4f) << "back on, it rings on";
    model(0, 3);
    p().voiceElemAge[kVoice][0] = 0;
    p().voiceCounter[kVoice] = 0;
    startNote();
    for (int s = 0; s < 3000; ++s) step();  // (past the String excitation's burst)
    model(0, 1);
    float loudest = 0.0f;
    for (int s = 0; s < 200; ++s) {
        step();
        loudest = std::max(loudest, std::fabs(p().layerNote[0][kVoice][0].loopState));
    }
    EXPECT_LT(loudest, 1e-9f);
}

// A Wave voice without feedback still keeps the product that feedback turned on at the next
// sample would take: its two sub-samples' table values x 0.5.
TEST_F(Layers, WaveWithoutFeedbackKeepsWhatFeedbackWouldTake) {
    APlugin& q = p();
    startNote();
    const TLayerVoice& c = q.layerVoice[0][kVoice];
    const TLayerNote& n = q.layerNote[0][kVoice][0];
    for (int s = 0; s < 40; ++s) {
        const uint32_t phase = n.phase;
        step();
        ASSERT_TRUE(c.feed == 0.0f && q.layerWave[0] < 4 && q.subVolGain[0] <= 0.0001f);
        const int shape = q.layerWaveGroup[0][0];
        const float* table = shape == 0 ? q.sinTable4096 : q.oscWave[shape][n.band];
        const auto read = [&](uint32_t x) {
            const uint32_t j = (x & kPhaseMask) >> 12;
            return table[c.symIndex == 255 ? (int32_t)j : q.phaseWarpTable[c.symIndex][j]];
        };
        const uint32_t at = phase + c.phaseOffset[1];
        EXPECT_EQ(n.feedPrev, read(at) * read(at + n.inc) * 0.5f) << s;
    }
}

// A refresh of the voice controls after one input moved gives what a full refresh gives:
// every destination, parameter and voice or layer value of the refresh moved in turn.
TEST_F(Layers, RefreshTakesEveryMovedInput) {
    APlugin& q = p();
    for (int l = 0; l < 3; ++l) q.paramValue[LAYER_ON_TAGS[l]] = 1.0f;
    q.voiceLevelCount[kVoice] = 2;
    const auto controls = [&] {  // the voice's layer controls and notes, as bytes
        std::vector<char> out;
        const auto add = [&](const auto& x) {
            out.insert(out.end(), (const char*)&x, (const char*)&x + sizeof x);
        };
        for (int l = 0; l < 3; ++l) add(q.layerVoice[l][kVoice]), add(q.layerNote[l][kVoice]);
        return out;
    };
    std::vector<float*> inputs{&q.voicePitch[kVoice], &q.glidePitch[kVoice],
                               &q.voicePitchBend[kVoice], &q.voiceElemSemi[kVoice][1],
                               &q.voiceElemRatio[kVoice][1]};
    for (float& d : q.modDestVoice[kVoice]) inputs.push_back(&d);
    for (int l = 0; l < 3; ++l)
        for (float* x : {&q.layerSemi[l], &q.layerFine[l], &q.fm1Pitch[l], &q.fm2Pitch[l],
                         &q.stringLenMod[l][kVoice], &q.stringDampMod[l][kVoice],
                         &q.stringPluckMod[l][kVoice]})
            inputs.push_back(x);
    for (int m = 0; m < 4; ++m) {
        for (int l = 0; l < 3; ++l) model(l, m);
        startNote();
        q.setLayerControls(kVoice);
        // (A layer's own inputs are looked at once a sample: each call is a sample of its own.)
        const auto refresh = [&] {
            ++q.sampleCounter;
            q.setLayerControls(kVoice);
        };
        const auto moved = [&](const char* what, int i, auto move) {
            move(0.0137f);
            refresh();
            const std::vector<char> kept = controls();
            for (int l = 0; l < 3; ++l) q.layerVoice[l][kVoice].ctlKeyKnown = 0;
            refresh();
            EXPECT_EQ(kept, controls()) << "model " << m << ", " << what << " " << i;
            move(-0.0137f);
            refresh();
        };
        startNote();  // (which clears the notes' operator steps)
        moved("note start", 0, [](float) {});
        // (Whatever writes a destination row clears the voice's marks of it as well.)
        const auto inRow = [&](const float* x) {
            return x >= q.modDestVoice[kVoice] && x < q.modDestVoice[kVoice] + kModDestSlots;
        };
        for (size_t i = 0; i < inputs.size(); ++i)
            moved("input", (int)i, [&](float by) {
                *inputs[i] += by;
                if (inRow(inputs[i])) dropTailLevels(q.tailLevels, kVoice);
            });
        q.voicePitchFactor[kVoice] *= 1.5;
        moved("pitch factor", 0, [&](float by) { q.voicePitchFactor[kVoice] *= by > 0 ? 2 : 0.5; });
        for (int j = 0; j < kNumParams; ++j)
            moved("parameter", j, [&](float by) { q.paramValue[j] = (float)q.paramValue[j] + by; });
    }
}

// A layer that was off while the voice's inputs moved takes them when it is on again, and the
// layers that stayed on took them at once: each ends as a full refresh leaves it.
TEST_F(Layers, ALayerOffWhileTheVoiceMovedTakesItsInputsBack) {
    APlugin& q = p();
    const auto controls = [&] {
        std::vector<char> out;
        for (int l = 0; l < 3; ++l) {
            const char* c = (const char*)&q.layerVoice[l][kVoice];
            const char* n = (const char*)&q.layerNote[l][kVoice];
            out.insert(out.end(), c, c + sizeof q.layerVoice[l][kVoice]);
            out.insert(out.end(), n, n + sizeof q.layerNote[l][kVoice]);
        }
        return out;
    };
    for (int off = 0; off < 3; ++off) {
        const auto setOn = [&](float on) {
            q.paramValue[LAYER_ON_TAGS[off]] = on;
            q.updateLayerState();
            q.setLayerControls(kVoice);
        };
        for (int l = 0; l < 3; ++l) q.paramValue[LAYER_ON_TAGS[l]] = 1.0f, model(l, (l + off) % 4);
        startNote();
        q.setLayerControls(kVoice);
        setOn(0.0f);
        q.voicePitch[kVoice] += 0.25f;
        q.setLayerControls(kVoice);
        setOn(1.0f);
        const std::vector<char> kept = controls();
        for (int l = 0; l < 3; ++l) q.layerVoice[l][kVoice].ctlKeyKnown = 0;
        q.setLayerControls(kVoice);
        EXPECT_EQ(kept, controls()) << "layer " << off << " off";
    }
}

}  // namespace
}  // namespace part_sound_layers

// Envelopes on the plug-in object.
namespace part_sound_envelopes {

namespace {

constexpr double kRate = 48000.0;
constexpr int kVoice = 3;

// Phase step per 16-sample update of a stage with time t at speed 1.
// Parameters are floats: the formulas take the value the parameter actually holds.
double stageStep(double t) { return 16000.0 / (std::exp2(14.0 * (double)(float)t) * kRate + 32.0); }
double f32(double x) { return (double)(float)x; }

class Envelopes : public ::testing::Test {
protected:
    void SetUp() override {
        APlugin& q = p();
        q.setSampleRate((float)kRate);
        for (int i = 0; i < 8; ++i) q.voiceElemAge[kVoice][i] = 0;
        q.voiceLevelCount[kVoice] = q.voiceKeyOn[kVoice] = 1;
        q.voiceStolen[kVoice] = q.sustainPedal = q.voiceFirstElement[kVoice] = 0;
        q.voicePitch[kVoice] = 0.0f;
        std::memcpy(q.modDestVoice[kVoice], q.modDestDefault, sizeof(q.modDestDefault));
        // Layer 1 alone, a Wave layer: Amp, then its filter, pitch and volume envelopes.
        for (int l = 0; l < 3; ++l) q.paramValue[LAYER_ON_TAGS[l]] = l == 0 ? 1.0f : 0.0f;
        q.paramValue[LAYER_SOURCE_TAGS[0]] = 3.1f / 3.99f;
        for (int s = 0; s < 8; ++s) q.paramValue[MOD_DEST_TAGS[s]] = 0.0f;
        rebuild();
    }
    APlugin& p() { return h.plugin(); }
    void rebuild() { p().updateLayerState(), p().buildEnvList(); }
    double target(int env, int sub = 0) { return p().env.envTarget(env, kVoice, sub); }
    double phase(int env, int sub = 0) { return p().env.envPhase(env, kVoice, sub); }
    double level(int env, int sub = 0) { return p().env.envLevel(env, kVoice, sub); }
    int stage(int env, int sub = 0) { return p().env.envStage(env, kVoice, sub); }
    void update(int n = 1) { for (int i = 0; i < n; ++i) p().setEnvs(kVoice); }
    void setSlot(int slot, int source, int dest, bool bypass = false) {
        p().paramValue[MOD_SRC_TAGS[slot]] = ((float)source + 0.1f) / 199.99f;
        p().paramValue[MOD_DEST_TAGS[slot]] = ((float)dest + 0.1f) / 499.99f;
        p().paramValue[MOD_BY_TAGS[slot]] = bypass ? 1.0f : 0.0f;
    }
    PluginHarness h;
};

TEST_F(Envelopes, StagesTakeTheirTimesCurvesAndSustain) {
    // Attack 0.3 with curve exponent 2^-1: a full stage lasts (2^(14 t) rate + 32) / 1000 samples.
    p().paramValue[5] = 0.3f;
    p().paramValue[6] = 0.1f;
    p().paramValue[7] = 0.4f;
    p().paramValue[8] = 0.35f;
    p().modDestVoice[kVoice][5] = 0.25f;
    p().modDestVoice[kVoice][10] = 0.2f;  // release curve: exponent 2^0.8
    p().startEnvs(kVoice, 100);
    ASSERT_EQ(level(0), 0.0);
    const int updates = (int)std::floor(1.0 / stageStep(0.3)) + 1;
    update(updates / 2);
    EXPECT_NEAR(target(0), std::sqrt(phase(0)), 1e-9) << "the curve";
    update(updates - 1 - updates / 2);
    EXPECT_EQ(stage(0), 0);
    update();
    EXPECT_EQ(stage(0), 1);
    EXPECT_NEAR(updates * 16.0, (std::exp2(14.0 * 0.3) * kRate + 32.0) / 1000.0, 16.0);
    // The decay falls to the sustain level, which is frozen once reached.
    update((int)std::ceil(0.6 / stageStep(0.1)) + 2);
    ASSERT_EQ(stage(0), 2);
    EXPECT_NEAR(target(0), 0.4, 1e-6);
    p().paramValue[7] = 0.9f;
    update(5);
    EXPECT_NEAR(target(0), 0.4, 1e-6);
    // The release falls from there along its curve and ends at silence.
    p().paramValue[7] = 0.4f;
    p().voiceKeyOn[kVoice] = 0;
    const double d = stageStep(0.35), e = std::exp2(4.0 * f32(0.2));
    const int steps = (int)std::ceil(0.4 / d);
    update(steps / 2);
    EXPECT_NEAR(target(0), 0.4 * std::pow((0.4 - (steps / 2) * d) / 0.4, e), 1e-6);
    update(steps - steps / 2);
    EXPECT_EQ(target(0), 0.0);
    for (int s = 0; s < 16; ++s) p().advanceEnvs(kVoice);
    EXPECT_NEAR(level(0), 0.0, 1e-12) << "the running level follows within 16 samples";
    EXPECT_LE(p().getVoiceAmpLevel(kVoice), 1e-5);

    // Released before its attack moved: the release starts at phase 0 and gives 0.
    p().voiceKeyOn[kVoice] = 1;
    p().startEnvs(kVoice, 100);
    p().voiceKeyOn[kVoice] = 0;
    update();
    EXPECT_EQ(stage(0), 3);
    EXPECT_EQ(target(0), 0.0);
}

TEST_F(Envelopes, LayerEnvelopeAtTheTopHoldsButAmpDoesNot) {
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 1.0f;
    p().paramValue[6] = 1.0f;
    p().paramValue[7] = 0.0f;
    p().startEnvs(kVoice, 100);
    update(200);
    EXPECT_EQ(stage(3), 1);
    EXPECT_EQ(target(3), 1.0);
    EXPECT_NEAR(phase(0), 1.0 - 200 * stageStep(1.0), 1e-12) << "the Amp decay still moves, however slowly";
    // With the release at the top too, a layer envelope never fades.
    p().voiceKeyOn[kVoice] = 0;
    update(200);
    EXPECT_EQ(stage(3), 3);
    EXPECT_EQ(target(3), 1.0);
}

TEST_F(Envelopes, RetriggerFiresOnARisingCrossingOnce) {
    setSlot(0, 19, 128);  // "Note On" -> layer 1 retrigger
    rebuild();
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 0.2f;
    p().startEnvs(kVoice, 100);
    float& source = p().modSrcVoice[kVoice][19];
    source = 0.0f;
    p().checkRetrigger(kVoice);
    update(30);
    ASSERT_LT(target(3), 0.9);
    source = 0.995f;
    EXPECT_FLOAT_EQ(p().checkRetrigger(kVoice), 0.99f);
    EXPECT_EQ(stage(3), 1);
    EXPECT_EQ(phase(3), 1.0);
    update(30);
    const double afterDecay = target(3);
    p().checkRetrigger(kVoice);  // still above 0.99: no new retrigger
    EXPECT_EQ(target(3), afterDecay);
    source = 0.5f;
    p().checkRetrigger(kVoice);
    source = 1.0f;
    p().checkRetrigger(kVoice);
    EXPECT_EQ(target(3), 1.0);
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
    for (; p().voiceStolen[kVoice] && updates < 1000; ++updates) update();
    EXPECT_EQ(target(3), volTarget);
    EXPECT_EQ(phase(3), volPhase);
    // 0.5 falls by 0.01 per update: the update that takes it to or below 1e-5 ends it.
    EXPECT_EQ(updates, 50);
    EXPECT_EQ(level(0), 0.0);
    EXPECT_EQ(p().env.envStep(0, kVoice, 0), 0.0);
}

TEST_F(Envelopes, NoteStartStates) {
    p().paramValue[5] = 0.0f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(stage(0), 1);
    EXPECT_EQ(level(0), 1.0);
    p().paramValue[5] = 0.2f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(stage(0), 0);
    for (int e = 1; e < 25; e += 3) EXPECT_EQ(level(e), 1.0) << e;
    // A slot on the layer 1 volume envelope's attack makes it run its attack from 0; a slot
    // on the Amp attack makes the Amp envelope run its attack even when it is instant.
    setSlot(1, 17, 123);
    setSlot(4, 17, 4, true);
    rebuild();
    p().paramValue[5] = 0.0f;
    p().startEnvs(kVoice, 100);
    EXPECT_EQ(level(3), 0.0);
    EXPECT_EQ(stage(2), 1);
    EXPECT_EQ(stage(0), 0);
}

}  // namespace

TEST_F(Envelopes, ADecayStandingStillFollowsItsSustainAndCurve) {
    // The Amp envelope decays until its speed destination drops to 0; from then on its phase
    // stands, but its level still follows the sustain level and the decay curve.
    p().paramValue[6] = 0.25f;           // decay time
    p().paramValue[7] = 0.2f;            // sustain
    p().modDestVoice[kVoice][7] = 0.3f;  // decay curve
    p().startEnvs(kVoice, 100);
    update(int(0.5 / stageStep(0.25)));
    p().modDestVoice[kVoice][3] = 0.0f;  // Amp Envelope Speed
    update();
    const double ph = phase(0);
    ASSERT_EQ(stage(0), 1);
    ASSERT_GT(ph, 0.3);
    const auto expected = [&](double s, double c) {
        return s + (1.0 - s) * std::pow((ph - s) / (1.0 - s), std::exp2(4.0 * c));
    };
    update(4);
    EXPECT_EQ(phase(0), ph);
    EXPECT_NEAR(target(0), expected(f32(0.2), f32(0.3)), 1e-12);
    EXPECT_EQ(p().env.envStep(0, kVoice, 0), 0.0);
    p().modDestVoice[kVoice][7] = 0.1f;
    update();
    EXPECT_NEAR(target(0), expected(f32(0.2), f32(0.1)), 1e-12) << "the curve moved";
    p().paramValue[7] = 0.1f;
    update();
    EXPECT_NEAR(target(0), expected(f32(0.1), f32(0.1)), 1e-12) << "the sustain moved";
    p().modDestVoice[kVoice][3] = 1.0f;
    update();
    EXPECT_NEAR(phase(0), ph - stageStep(0.25), 1e-12) << "the decay moves on with its speed";
}

TEST_F(Envelopes, EveryRunningLevelStepsTowardItsTargetAndARetriggerStopsIt) {
    // Three stacked notes, the third not started yet; a retrigger of layer 1 part way.
    setSlot(0, 19, 128);  // "Note On" -> layer 1 retrigger
    rebuild();
    p().paramValue[6] = 0.2f;
    p().paramValue[VOL_ENV_DEC_TAGS[0]] = 0.25f;
    p().voiceLevelCount[kVoice] = 3;
    p().startEnvs(kVoice, 100);
    p().voiceElemAge[kVoice][2] = -500;
    float& source = p().modSrcVoice[kVoice][19];
    source = 0.0f;
    const int listed[] = {0, 1, 2, 3};
    double want[4][3];
    int moving = 0;
    for (int s = 0; s < 1600; ++s) {
        if (s % 16 == 0) {
            update();
            if (s == 800) source = 1.0f;
            p().checkRetrigger(kVoice);
            if (s == 800) ASSERT_EQ(target(3), 1.0) << "the retrigger fired";
            for (int k = 0; k < 4; ++k)
                for (int i = 0; i < 3; ++i) want[k][i] = level(listed[k], i);
        }
        p().advanceEnvs(kVoice);
        ++p().voiceElemAge[kVoice][2];
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < 3; ++i) {
                // (A retrigger zeroes the layer's steps: its levels stand until the next
                // update.)
                const int n = listed[k];
                want[k][i] += p().env.envStep(n, kVoice, i);
                ASSERT_EQ(level(n, i), want[k][i]) << "env " << n << " sub " << i << " " << s;
                if (p().env.envStep(n, kVoice, i) != 0.0) ++moving;
            }
        }
    }
    EXPECT_GT(moving, 0);
}

TEST_F(Envelopes, EveryRunningLevelStepsWhenMostOfTheRowMoves) {
    // One note of three FM layers, every envelope decaying at its own pace to the same
    // sustain level, so that all, then fewer and fewer, move; a retrigger of layer 2 part
    // way stops a third of them at once.
    setSlot(0, 19, 220);  // "Note On" -> layer 2 retrigger
    for (int l = 0; l < 3; ++l) {
        p().paramValue[LAYER_ON_TAGS[l]] = 1.0f;
        p().paramValue[LAYER_SOURCE_TAGS[l]] = 2.1f / 3.99f;
    }
    rebuild();
    p().paramValue[5] = 0.0f;
    for (int n = 0; n < kNumEnvs; ++n) {
        if (ENV_TAGS[1][n] >= 0) p().paramValue[ENV_TAGS[1][n]] = 0.1f + 0.015f * (float)n;
        if (ENV_TAGS[2][n] >= 0) p().paramValue[ENV_TAGS[2][n]] = 0.3f;
    }
    p().startEnvs(kVoice, 100);
    float& source = p().modSrcVoice[kVoice][19];
    source = 0.0f;
    double want[kNumEnvs];
    for (int s = 0; s < 1600; ++s) {
        if (s % 16 == 0) {
            update();
            if (s == 0) ASSERT_GE(p().env.book[kVoice].movingCount, 20);
            if (s == 800) source = 1.0f;
            p().checkRetrigger(kVoice);
            for (int n = 0; n < kNumEnvs; ++n) want[n] = level(n);
        }
        p().advanceEnvs(kVoice);
        for (int n = 0; n < kNumEnvs; ++n) {
            want[n] += p().env.envStep(n, kVoice, 0);
            ASSERT_EQ(level(n), want[n]) << "env " << n << " sample " << s;
        }
    }
    EXPECT_EQ(stage(1), kEnvSustain) << "the fastest decay ended";
    EXPECT_EQ(stage(24), kEnvDecay) << "the slowest one still runs";
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
    for (int s = 0; s < 4000; ++s) {
        if (s == 600) p().paramValue[7] = 0.3f;  // no effect once in the sustain
        if (s == 700 || s == 1100) p().lastVoice = kVoice;
        if (s == 900) p().lastVoice = kVoice + 1;
        if (s == 1000) p().modDestVoice[kVoice][122] = 4.0f;
        if (s == 1100) {  // layer 2 as a Wave layer
            p().paramValue[LAYER_ON_TAGS[1]] = 1.0f;
            p().paramValue[LAYER_SOURCE_TAGS[1]] = 3.1f / 3.99f;
            rebuild();
            listed = {0, 1, 2, 3, 9, 10, 11};
        }
        if (s == 1800) p().voiceKeyOn[kVoice] = 0;
        if (s == 2500 || s == 3000) {  // a new note, then a chord of two published from its second note
            p().voiceKeyOn[kVoice] = 1;
            p().voiceLevelCount[kVoice] = p().voiceFirstElement[kVoice] = s == 3000 ? 1 : 0;
            p().voiceLevelCount[kVoice] += 1;
            p().startEnvs(kVoice, s == 3000 ? 90 : 64);
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
                ASSERT_EQ(p().modSrcGlobal[slot], want) << "global " << n << " " << s;
            }
        }
        p().advanceEnvs(kVoice);
    }
}

}  // namespace part_sound_envelopes
