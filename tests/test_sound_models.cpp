// The four layer models through the offline host: the built plug-in plays MIDI notes and
// the output is measured. Pitch of each model against the voice pitch formulas (110 Hz at
// MIDI note 57 on the reference increment, the oversampled phase steps, the String loop's
// inverting feedback), the start-up program's A, each model's response to its own
// settings, the velocity split crossfade, pan, and the release to silence.
#include <cstdio>
#include <utility>
#include <vector>

#include "test_engine_util.h"

using namespace enginetest;

namespace {

float source(int model) { return sourceValue(model); }  // 0 Wire, 1 String, 2 FM, 3 Wave
float wave(int w) { return waveValue(w); }              // 0 Sine .. 5 Pink
float semi(int semitones) {
    return ((float)(48 + semitones) + 0.5f) / 96.99f;
}

// Layer 1 alone with the given model, plain settings around it, layers 1 and 2 routed
// straight to the output past the effects.
Params layerOne(int model) {
    return {{LAYER_ON_TAGS[0], 1.0f},
            {LAYER_DEST_TAGS[0], stepped(4, 4.99f)},
            {LAYER_DEST_TAGS[1], stepped(4, 4.99f)},
            {LAYER_ON_TAGS[1], 0.0f},
            {LAYER_ON_TAGS[2], 0.0f},
            {LAYER_SOURCE_TAGS[0], source(model)},
            {WAVE_TAGS[0], wave(0)},
            {DRIFT_ON_TAGS[0], 0.0f},
            {5, 0.0f},
            {7, 1.0f},
            {541, 0.0f}};
}

// One note through a fresh instance of the plug-in at `rate`, released at `releaseAt`
// seconds when that is not negative.
Rendered playNote(const Params& params, int note, int velocity, double rate, double seconds,
                  double releaseAt = -1.0) {
    std::vector<tavhost::TimedMidiEvent> ev{midi(0, 0x90, (uint8_t)note, (uint8_t)velocity)};
    if (releaseAt >= 0.0) ev.push_back(midi((int64_t)(releaseAt * rate), 0x80, (uint8_t)note, 0));
    HostRun run;
    run.rate = rate;
    return render(params, ev, (int64_t)(seconds * rate), run);
}

double wrapPi(double a) {
    while (a > kPi) a -= 2.0 * kPi;
    while (a <= -kPi) a += 2.0 * kPi;
    return a;
}

// Frequency of the component near `guess`: the phase advance of the windowed DFT between
// two windows hop samples apart, refined over longer and longer hops.
double measureFrequency(const std::vector<float>& x, double rate, double guess, size_t start) {
    const size_t n = 8192;
    double f = guess;
    for (size_t hop : {512u, 2048u, 8192u, 32768u}) {
        if (start + hop + n > x.size()) break;
        const std::complex<double> a = dft(x, start, n, f, rate);
        const std::complex<double> b = dft(x, start + hop, n, f, rate);
        // The kernel runs on absolute time, so a component at f0 turns by
        // 2 pi (f0 - f) hop / rate between the windows.
        const double advance = std::arg(b / a);
        f += wrapPi(advance) * rate / (2.0 * kPi * (double)hop);
    }
    return f;
}

constexpr double kRate = 48000.0;

// Layer 1 with `model` and the extra settings, one note at velocity 100 at kRate.
Rendered playModel(int model, const Params& extra, int note, double seconds) {
    Params p = layerOne(model);
    p.insert(p.end(), extra.begin(), extra.end());
    return playNote(p, note, 100, kRate, seconds);
}

// Amplitude of the component at f in the 16384 samples from `at` seconds on.
double amplitude(const Rendered& r, double f, double at) {
    return amplitudeAt(r.left, (size_t)(at * kRate), 16384, f, kRate);
}

// Amplitude of the component at `multiple` x f relative to the one at f.
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

struct PitchCase {
    int model;
    const char* name;
    double factor;  // measured fundamental / formula frequency
};

// String: the loop feeds back -feedback x y, so its period is two line lengths and it
// sounds an octave below the frequency its period is set from (odd harmonics only).
const PitchCase kPitchCases[] = {
    {0, "Wire", 1.0}, {1, "String", 0.5}, {2, "FM", 1.0}, {3, "Wave", 1.0}};

TEST_F(SoundModels, EachModelPlaysItsFormulaPitchWithinOneCent) {
    for (double rate : {48000.0, 44100.0}) {
        for (const PitchCase& pc : kPitchCases) {
            for (int note : {45, 69, 81}) {
                const Rendered r = playNote(layerOne(pc.model), note, 100, rate, 1.6);
                ASSERT_TRUE(r.clean) << pc.name;
                const double expected = formulaFrequency(note) * pc.factor;
                const double f = measureFrequency(r.left, rate, expected, (size_t)(0.1 * rate));
                EXPECT_NEAR(cents(f, expected), 0.0, 1.0)
                    << pc.name << " note " << note << " at " << rate << " Hz: measured " << f
                    << " Hz, formula " << expected << " Hz";
                std::printf(
                    "[pitch] %-6s note %3d rate %6.0f: measured %9.4f Hz, formula %9.4f Hz\n",
                    pc.name, note, rate, f, expected);
            }
        }
    }
}

TEST_F(SoundModels, StringHasOnlyOddHarmonicsOfItsLoop) {
    const Rendered r = playModel(1, {}, 57, 1.0);
    const double f = formulaFrequency(57) * 0.5;
    const double fundamental = amplitude(r, f, 0.2);
    const double second = amplitude(r, 2.0 * f, 0.2);
    const double third = amplitude(r, 3.0 * f, 0.2);
    EXPECT_GT(fundamental, 1e-3);
    EXPECT_GT(third, 1e-4);
    EXPECT_LT(second, 0.01 * fundamental);
}

TEST_F(SoundModels, StartUpProgramPlaysA) {
    // The start-up program as the plug-in loads it, with the time-based effects bypassed
    // (a chorus would wobble the pitch being measured).
    const double rate = 48000.0;
    const Rendered r =
        render({{345, 1.0f}}, {midi(0, 0x90, 69, 100)}, (int64_t)(1.6 * rate));
    ASSERT_TRUE(r.clean);
    const double expected = formulaFrequency(69);
    const double f = measureFrequency(r.left, rate, expected, (size_t)(0.1 * rate));
    std::printf(
        "[pitch] start-up program, MIDI 69: measured %.4f Hz (formula %.4f Hz, concert "
        "pitch 440 Hz)\n",
        f, expected);
    // The program's filters sweep with their envelopes for many seconds; a moving filter
    // turns the phase of what passes it, which reads as a fraction of a cent to a cent or
    // two here. What matters is that the program plays the formula's A, not another note.
    EXPECT_NEAR(cents(f, expected), 0.0, 3.0);
}

TEST_F(SoundModels, StringDampingDullsAndShortensTheRing) {
    const double rate = 48000.0;
    struct Ring {
        double decay;       // RMS late / early
        double brightness;  // RMS of the sample-to-sample difference / RMS
    };
    auto ring = [&](float damp) {
        const Rendered r = playModel(1, {{STRING_DAMP_TAGS[0], damp}}, 57, 1.2);
        Ring g;
        g.decay = ringDecay(r);
        std::vector<float> diff(r.left.size(), 0.0f);
        for (size_t i = 1; i < diff.size(); ++i) diff[i] = r.left[i] - r.left[i - 1];
        const size_t at = (size_t)(0.3 * rate);
        g.brightness = rms(diff, at, 4800) / rms(r.left, at, 4800);
        return g;
    };
    const Ring open = ring(0.0f), some = ring(0.6f), much = ring(1.0f);
    EXPECT_GT(open.decay, 0.5);  // the undamped loop barely loses anything in a second
    EXPECT_LT(some.brightness, 0.5 * open.brightness);
    EXPECT_LT(much.brightness, some.brightness);
    EXPECT_LT(much.decay, 0.7 * open.decay);
}

TEST_F(SoundModels, StringLengthSetsTheFeedback) {
    auto decayRatio = [&](float len) {
        const Rendered r = playModel(1, {{STRING_LEN_TAGS[0], len}}, 57, 1.2);
        return ringDecay(r);
    };
    EXPECT_LT(decayRatio(0.3f), 0.01 * decayRatio(1.0f));
}

TEST_F(SoundModels, FMOperatorRatioShapesTheSpectrum) {
    auto evenToFundamental = [&](int opSemis) {
        const Rendered r = playModel(2,
                                     {{FM_1_SEMI_TAGS[0], semi(opSemis)},
                                      {FM_2_VOL_TAGS[0], 0.0f},
                                      {FM_1_VOL_ENV_SUST_TAGS[0], 1.0f}},
                                     57, 1.0);
        return harmonicRatio(r, formulaFrequency(57), 2.0, 0.3);
    };
    // Operator at the carrier frequency: sidebands on every harmonic. An octave up: only
    // odd multiples of the carrier.
    EXPECT_GT(evenToFundamental(0), 0.1);
    EXPECT_LT(evenToFundamental(12), 0.01);
}

TEST_F(SoundModels, FMWithoutOperatorsIsThePlainCarrier) {
    const Rendered r = playModel(2, {{FM_1_VOL_TAGS[0], 0.0f}, {FM_2_VOL_TAGS[0], 0.0f}}, 57, 1.0);
    const double f = formulaFrequency(57);
    const double a1 = amplitude(r, f, 0.2);
    EXPECT_GT(a1, 1e-3);
    for (int h = 2; h <= 4; ++h) EXPECT_LT(amplitude(r, h * f, 0.2), 3e-3 * a1);
}

TEST_F(SoundModels, WaveSymmetryBendsTheSine) {
    auto secondHarmonic = [&](float sym) {
        const Rendered r = playModel(3, {{WAVE_SYM_TAGS[0], sym}}, 57, 0.8);
        return harmonicRatio(r, formulaFrequency(57), 2.0, 0.2);
    };
    EXPECT_LT(secondHarmonic(0.5f), 3e-3);
    EXPECT_GT(secondHarmonic(0.85f), 0.05);
}

TEST_F(SoundModels, WaveShapesHaveTheirHarmonics) {
    auto harmonics = [&](int w) {
        const Rendered r = playModel(3, {{WAVE_TAGS[0], wave(w)}}, 57, 0.8);
        const double f = formulaFrequency(57);
        return std::make_pair(harmonicRatio(r, f, 2.0, 0.2), harmonicRatio(r, f, 3.0, 0.2));
    };
    const auto saw = harmonics(1), square = harmonics(2), tri = harmonics(3);
    EXPECT_NEAR(saw.first, 0.5, 0.02);
    EXPECT_NEAR(saw.second, 1.0 / 3.0, 0.02);
    EXPECT_LT(square.first, 0.01);
    EXPECT_NEAR(square.second, 1.0 / 3.0, 0.02);
    EXPECT_NEAR(tri.second, 1.0 / 9.0, 0.01);
}

TEST_F(SoundModels, WaveSubOscillatorSoundsAnOctaveBelow) {
    auto amplitudes = [&](float subVolume) {
        const Rendered r = playModel(3, {{SUB_VOL_TAGS[0], subVolume}}, 69, 0.8);
        const double f = formulaFrequency(69);
        return std::make_pair(amplitude(r, 0.5 * f, 0.2), amplitude(r, f, 0.2));
    };
    const auto off = amplitudes(0.0f);
    const auto on = amplitudes(0.75f);  // 0 dB: the sub as loud as the oscillator
    EXPECT_LT(off.first, 1e-3 * off.second);
    EXPECT_NEAR(on.first / on.second, 1.0, 0.02);
    EXPECT_NEAR(on.second / off.second, 1.0, 0.02);
}

TEST_F(SoundModels, WaveNoiseIgnoresPitch) {
    const double rate = 48000.0;
    auto level = [&](int w, int note) {
        const Rendered r = playModel(3, {{WAVE_TAGS[0], wave(w)}}, note, 0.6);
        EXPECT_TRUE(r.clean);
        return rms(r.left, (size_t)(0.1 * rate), 16384);
    };
    for (int w : {4, 5}) {
        const double low = level(w, 45), high = level(w, 93);
        EXPECT_GT(low, 1e-3) << w;
        EXPECT_NEAR(high / low, 1.0, 0.2) << w;
    }
}

TEST_F(SoundModels, WireFreeRunningDrawsAFreshBurstPerNote) {
    const double rate = 48000.0;
    auto twoNotes = [&](float freeRun) {
        Params p = layerOne(0);
        p.push_back({FREE_ON_TAGS[0], freeRun});
        p.push_back({8, 0.0f});  // the first note is gone before the second starts
        const int64_t second = (int64_t)(0.5 * rate);
        std::vector<tavhost::TimedMidiEvent> ev{midi(0, 0x90, 57, 100), midi(second - 4800, 0x80, 57, 0),
                                       midi(second, 0x90, 57, 100)};
        ev.push_back(midi(second + 9600, 0x80, 57, 0));
        return std::make_pair(render(p, ev, second + 9600), second);
    };
    // Without free running every note restarts the same walk through the tables; its
    // first period equals the first period of the earlier note.
    auto differs = [&](const Rendered& r, int64_t second) {
        double diff = 0.0, sum = 0.0;
        for (int64_t i = 100; i < 400; ++i) {
            diff += std::fabs((double)r.left[i] - r.left[second + i]);
            sum += std::fabs((double)r.left[i]);
        }
        return diff / (sum + 1e-20);
    };
    const auto fixed = twoNotes(0.0f);
    const auto fresh = twoNotes(1.0f);
    EXPECT_LT(differs(fixed.first, fixed.second), 1e-4);
    EXPECT_GT(differs(fresh.first, fresh.second), 0.3);
}

TEST_F(SoundModels, VelocitySplitCrossfadesTheLayers) {
    const double rate = 48000.0;
    // Layer 1 a sine at the note, split over 0.2 .. 0.8; layer 2 a sine a fifth up over
    // the whole range.
    Params p = layerOne(3);
    p.push_back({LAYER_ON_TAGS[1], 1.0f});
    p.push_back({LAYER_SOURCE_TAGS[1], source(3)});
    p.push_back({WAVE_TAGS[1], wave(0)});
    p.push_back({SEMI_TAGS[1], semi(7)});
    p.push_back({541, 1.0f});
    const float handles[2][4] = {{0.2f, 0.4f, 0.6f, 0.8f}, {0.0f, 0.0f, 1.0f, 1.0f}};
    for (int layer = 0; layer < 2; ++layer)
        for (int k = 0; k < 4; ++k) p.push_back({LAYER_VEL_TAGS[4 * layer + k], handles[layer][k]});
    const double f1 = formulaFrequency(57), f2 = formulaFrequency(64);
    auto ratio = [&](const Params& params, int velocity) {
        const Rendered r = playNote(params, 57, velocity, rate, 0.6);
        return amplitude(r, f1, 0.1) / amplitude(r, f2, 0.1);
    };
    // Layer 2's semitone moves its pitch by the 2^(7/12) of the formula, not exactly
    // the equal-tempered fifth of the two formula frequencies: same thing here.
    EXPECT_NEAR(ratio(p, 38), (38.0 / 127.0 - 0.2) / 0.2, 0.02);
    EXPECT_NEAR(ratio(p, 64), 1.0, 0.02);
    EXPECT_NEAR(ratio(p, 90), 1.0 - (90.0 / 127.0 - 0.6) / 0.2, 0.02);
    EXPECT_LT(ratio(p, 120), 0.01);
    // Split off: both layers at full gain whatever the velocity.
    Params off = p;
    off.push_back({541, 0.0f});
    EXPECT_NEAR(ratio(off, 120), 1.0, 0.02);
}

TEST_F(SoundModels, LayerPanMovesTheLayer) {
    const double rate = 48000.0;
    const Rendered r = playModel(3, {{PAN_TAGS[0], 0.0f}}, 57, 0.5);
    const size_t start = (size_t)(0.1 * rate);
    EXPECT_GT(rms(r.left, start, 8192), 1e-3);
    EXPECT_LT(rms(r.right, start, 8192), 1e-6);
}

TEST_F(SoundModels, LayerVolumeFollowsTheLevelCurve) {
    const double rate = 48000.0;
    auto level = [&](float vol) {
        const Rendered r = playModel(3, {{VOL_TAGS[0], vol}}, 57, 0.5);
        return amplitudeAt(r.left, (size_t)(0.1 * rate), 8192, formulaFrequency(57), rate);
    };
    // 80 dB over the range: 0.125 apart is 10 dB.
    EXPECT_NEAR(20.0 * std::log10(level(0.625f) / level(0.5f)), 10.0, 0.05);
    EXPECT_LT(level(0.0f), 1e-9);
}

TEST_F(SoundModels, ReleaseDecaysToSilence) {
    const double rate = 48000.0;
    for (int model = 0; model < 4; ++model) {
        Params p = layerOne(model);
        p.push_back({8, 0.3f});  // amp release: (2^4.2 x 48000 + 32) / 1000 samples
        const double releaseStart = 0.3;
        const Rendered r = playNote(p, 57, 100, rate, 1.0, releaseStart);
        ASSERT_TRUE(r.clean) << model;
        const size_t off = (size_t)(releaseStart * rate);
        EXPECT_GT(rms(r.left, off - 4800, 4800), 1e-3) << model;
        const double releaseSamples = (std::exp2(14.0 * 0.3) * rate + 32.0) / 1000.0;
        // Silent from the end of the release (plus the 16-sample update grid).
        const size_t silentFrom = off + (size_t)releaseSamples + 64;
        double peak = 0.0;
        for (size_t i = silentFrom; i < r.left.size(); ++i)
            peak = std::max(peak, (double)std::fabs(r.left[i]));
        EXPECT_LT(peak, 1e-5) << model;
        // And not before: half way through the release it still sounds.
        EXPECT_GT(rms(r.left, off + (size_t)(releaseSamples * 0.4), 256), 1e-4) << model;
    }
}

}  // namespace
