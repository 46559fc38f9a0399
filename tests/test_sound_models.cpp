// The four layer models through the offline host: the built plug-in plays MIDI notes and
// the output is measured. Pitch of each model against the voice pitch formulas (110 Hz at
// MIDI note 57 on the reference increment, the oversampled phase steps, the String loop's
// inverting feedback), the start-up program's A, each model's response to its own
// settings, the velocity split crossfade, pan, and the release to silence.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <utility>
#include <vector>

#include "hostlib/Renderer.h"
#include "hostlib/VstPluginLoader.h"
#include "plugin/uPluginTags.h"
#include "support/host_test_support.h"

using namespace tavhost;

namespace {

constexpr double kPi = 3.14159265358979323846;

using Params = std::vector<std::pair<int, float>>;

// Stepped values as the parameter model stores them: (index + 0.1) / range.
float stepped(int index, float range) {
    return ((float)index + 0.1f) / range;
}
float source(int model) {
    return stepped(model, 3.99f);
}  // 0 Wire, 1 String, 2 FM, 3 Wave
float wave(int w) {
    return ((float)w + 0.1f) / 5.0f;
}  // 0 Sine .. 5 Pink
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

TimedMidiEvent midi(int64_t frame, uint8_t status, uint8_t a, uint8_t b) {
    TimedMidiEvent e;
    e.frame = frame;
    e.bytes[0] = status;
    e.bytes[1] = a;
    e.bytes[2] = b;
    return e;
}

struct Rendered {
    std::vector<float> left, right;
    bool clean = false;
};

// Renders the events through a fresh instance of the plug-in with the parameters set
// before it starts. The first sample of the result is frame 0 of the events.
Rendered render(const Params& params, const std::vector<TimedMidiEvent>& events, double rate,
                int64_t frames) {
    Rendered out;
    std::string error;
    std::unique_ptr<VstPlugin> plugin = VstPlugin::load(TAV_PLUGIN_PATH, HostIdentity(), error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return out;
    RenderOptions ro;
    ro.sampleRate = rate;
    ro.blockSize = 256;
    ro.lengthFrames = frames;
    ro.beforeResume = [&](VstPlugin& p, std::string&) {
        for (const auto& kv : params) p.setParameter(kv.first, kv.second);
        return true;
    };
    RenderResult rr;
    EXPECT_TRUE(renderSession(*plugin, events, ro, rr, error)) << error;
    if (rr.audio.size() < 2) return out;
    out.left = rr.audio[0];
    out.right = rr.audio[1];
    out.clean = rr.clean();
    return out;
}

Rendered playNote(const Params& params, int note, int velocity, double rate, double seconds,
                  double releaseAt = -1.0) {
    std::vector<TimedMidiEvent> ev{midi(0, 0x90, (uint8_t)note, (uint8_t)velocity)};
    if (releaseAt >= 0.0) ev.push_back(midi((int64_t)(releaseAt * rate), 0x80, (uint8_t)note, 0));
    return render(params, ev, rate, (int64_t)(seconds * rate));
}

// Hann-windowed DFT of x[start .. start + n) at frequency f.
std::complex<double> dft(const std::vector<float>& x, size_t start, size_t n, double f,
                         double rate) {
    std::complex<double> acc = 0.0;
    const double w = 2.0 * kPi * f / rate;
    for (size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * (double)i / (double)n);
        const double t = (double)(start + i);
        acc +=
            hann * (double)x[start + i] * std::complex<double>(std::cos(w * t), -std::sin(w * t));
    }
    return acc;
}

// Amplitude of a sinusoid at f in the window (Hann gain n / 4).
double amplitudeAt(const std::vector<float>& x, size_t start, size_t n, double f, double rate) {
    return std::abs(dft(x, start, n, f, rate)) * 4.0 / (double)n;
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

double cents(double f, double ref) {
    return 1200.0 * std::log2(f / ref);
}

double rms(const std::vector<float>& x, size_t start, size_t n) {
    double s = 0.0;
    for (size_t i = start; i < start + n && i < x.size(); ++i) s += (double)x[i] * x[i];
    return std::sqrt(s / (double)n);
}

// The voice pitch formulas: MIDI note 57 steps the oscillators at the reference increment
// 110 / rate, the oversampled path advancing twice its per-sub-sample step per host
// sample; each octave of key doubles it.
double formulaFrequency(int note) {
    return 110.0 * std::exp2((note - 57) / 12.0);
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
    const double rate = 48000.0;
    const Rendered r = playNote(layerOne(1), 57, 100, rate, 1.0);
    const double f = formulaFrequency(57) * 0.5;
    const size_t start = (size_t)(0.2 * rate);
    const double fundamental = amplitudeAt(r.left, start, 16384, f, rate);
    const double second = amplitudeAt(r.left, start, 16384, 2.0 * f, rate);
    const double third = amplitudeAt(r.left, start, 16384, 3.0 * f, rate);
    EXPECT_GT(fundamental, 1e-3);
    EXPECT_GT(third, 1e-4);
    EXPECT_LT(second, 0.01 * fundamental);
}

TEST_F(SoundModels, StartUpProgramPlaysA) {
    // The start-up program as the plug-in loads it, with the time-based effects bypassed
    // (a chorus would wobble the pitch being measured).
    const double rate = 48000.0;
    const Rendered r =
        render({{345, 1.0f}}, {midi(0, 0x90, 69, 100)}, rate, (int64_t)(1.6 * rate));
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
        Params p = layerOne(1);
        p.push_back({STRING_DAMP_TAGS[0], damp});
        const Rendered r = playNote(p, 57, 100, rate, 1.2);
        Ring g;
        g.decay =
            rms(r.left, (size_t)(0.9 * rate), 4800) / rms(r.left, (size_t)(0.05 * rate), 4800);
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
    const double rate = 48000.0;
    auto decayRatio = [&](float len) {
        Params p = layerOne(1);
        p.push_back({STRING_LEN_TAGS[0], len});
        const Rendered r = playNote(p, 57, 100, rate, 1.2);
        return rms(r.left, (size_t)(0.9 * rate), 4800) / rms(r.left, (size_t)(0.05 * rate), 4800);
    };
    EXPECT_LT(decayRatio(0.3f), 0.01 * decayRatio(1.0f));
}

TEST_F(SoundModels, FMOperatorRatioShapesTheSpectrum) {
    const double rate = 48000.0;
    auto evenToFundamental = [&](int opSemis) {
        Params p = layerOne(2);
        p.push_back({FM_1_SEMI_TAGS[0], semi(opSemis)});
        p.push_back({FM_2_VOL_TAGS[0], 0.0f});
        p.push_back({FM_1_VOL_ENV_SUST_TAGS[0], 1.0f});
        const Rendered r = playNote(p, 57, 100, rate, 1.0);
        const double f = formulaFrequency(57);
        const size_t start = (size_t)(0.3 * rate);
        return amplitudeAt(r.left, start, 16384, 2.0 * f, rate) /
               amplitudeAt(r.left, start, 16384, f, rate);
    };
    // Operator at the carrier frequency: sidebands on every harmonic. An octave up: only
    // odd multiples of the carrier.
    EXPECT_GT(evenToFundamental(0), 0.1);
    EXPECT_LT(evenToFundamental(12), 0.01);
}

TEST_F(SoundModels, FMWithoutOperatorsIsThePlainCarrier) {
    const double rate = 48000.0;
    Params p = layerOne(2);
    p.push_back({FM_1_VOL_TAGS[0], 0.0f});
    p.push_back({FM_2_VOL_TAGS[0], 0.0f});
    const Rendered r = playNote(p, 57, 100, rate, 1.0);
    const double f = formulaFrequency(57);
    const size_t start = (size_t)(0.2 * rate);
    const double a1 = amplitudeAt(r.left, start, 16384, f, rate);
    EXPECT_GT(a1, 1e-3);
    for (int h = 2; h <= 4; ++h)
        EXPECT_LT(amplitudeAt(r.left, start, 16384, h * f, rate), 3e-3 * a1);
}

TEST_F(SoundModels, WaveSymmetryBendsTheSine) {
    const double rate = 48000.0;
    auto secondHarmonic = [&](float sym) {
        Params p = layerOne(3);
        p.push_back({WAVE_SYM_TAGS[0], sym});
        const Rendered r = playNote(p, 57, 100, rate, 0.8);
        const double f = formulaFrequency(57);
        const size_t start = (size_t)(0.2 * rate);
        return amplitudeAt(r.left, start, 16384, 2.0 * f, rate) /
               amplitudeAt(r.left, start, 16384, f, rate);
    };
    EXPECT_LT(secondHarmonic(0.5f), 3e-3);
    EXPECT_GT(secondHarmonic(0.85f), 0.05);
}

TEST_F(SoundModels, WaveShapesHaveTheirHarmonics) {
    const double rate = 48000.0;
    auto harmonics = [&](int w) {
        Params p = layerOne(3);
        p.push_back({WAVE_TAGS[0], wave(w)});
        const Rendered r = playNote(p, 57, 100, rate, 0.8);
        const double f = formulaFrequency(57);
        const size_t start = (size_t)(0.2 * rate);
        const double a1 = amplitudeAt(r.left, start, 16384, f, rate);
        return std::make_pair(amplitudeAt(r.left, start, 16384, 2 * f, rate) / a1,
                              amplitudeAt(r.left, start, 16384, 3 * f, rate) / a1);
    };
    const auto saw = harmonics(1), square = harmonics(2), tri = harmonics(3);
    EXPECT_NEAR(saw.first, 0.5, 0.02);
    EXPECT_NEAR(saw.second, 1.0 / 3.0, 0.02);
    EXPECT_LT(square.first, 0.01);
    EXPECT_NEAR(square.second, 1.0 / 3.0, 0.02);
    EXPECT_NEAR(tri.second, 1.0 / 9.0, 0.01);
}

TEST_F(SoundModels, WaveSubOscillatorSoundsAnOctaveBelow) {
    const double rate = 48000.0;
    auto amplitudes = [&](float subVolume) {
        Params p = layerOne(3);
        p.push_back({SUB_VOL_TAGS[0], subVolume});
        const Rendered r = playNote(p, 69, 100, rate, 0.8);
        const double f = formulaFrequency(69);
        const size_t start = (size_t)(0.2 * rate);
        return std::make_pair(amplitudeAt(r.left, start, 16384, 0.5 * f, rate),
                              amplitudeAt(r.left, start, 16384, f, rate));
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
        Params p = layerOne(3);
        p.push_back({WAVE_TAGS[0], wave(w)});
        const Rendered r = playNote(p, note, 100, rate, 0.6);
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
        std::vector<TimedMidiEvent> ev{midi(0, 0x90, 57, 100), midi(second - 4800, 0x80, 57, 0),
                                       midi(second, 0x90, 57, 100)};
        ev.push_back(midi(second + 9600, 0x80, 57, 0));
        return std::make_pair(render(p, ev, rate, second + 9600), second);
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
        const size_t start = (size_t)(0.1 * rate);
        return amplitudeAt(r.left, start, 16384, f1, rate) /
               amplitudeAt(r.left, start, 16384, f2, rate);
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
    Params p = layerOne(3);
    p.push_back({PAN_TAGS[0], 0.0f});
    const Rendered r = playNote(p, 57, 100, rate, 0.5);
    const size_t start = (size_t)(0.1 * rate);
    EXPECT_GT(rms(r.left, start, 8192), 1e-3);
    EXPECT_LT(rms(r.right, start, 8192), 1e-6);
}

TEST_F(SoundModels, LayerVolumeFollowsTheLevelCurve) {
    const double rate = 48000.0;
    auto level = [&](float vol) {
        Params p = layerOne(3);
        p.push_back({VOL_TAGS[0], vol});
        const Rendered r = playNote(p, 57, 100, rate, 0.5);
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
