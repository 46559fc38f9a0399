// The layer filters in the voice path, through the built plug-in and the offline host
// library: a "Wave" saw through a closed 24 dB low-pass loses its high harmonics, a "Wire"
// note rings at its band-pass centre, the high-pass takes the lows away, and a note start
// clears the filters of the voice it takes.
#include <cmath>
#include <vector>

#include "test_engine_util.h"

using namespace enginetest;

namespace {

class FiltersInVoicePath : public ::testing::Test {
protected:
    void SetUp() override {
        tavtest::isolatePluginHome(tavtest::hostScratchDir("filters-engine"));
    }
};

constexpr double kRate = 48000.0;

// Layer 1 as a Wave saw with its filter in `mode` at the normalised cutoff, no tracking, no
// envelope and no resonance, the high-pass at its lowest.
Params sawThrough(int mode, float cutoff) {
    return with(plainWave(1), {{FILTER_MODE_TAGS[0], stepped(mode, 34.99f)},
                               {FILTER_FREQ_TAGS[0], cutoff},
                               {FILTER_Q_TAGS[0], 0.0f},
                               {FILTER_SEP_TAGS[0], 0.5f},
                               {FILTER_ENV_AMT_TAGS[0], 0.5f},
                               {FILTER_KEY_TRACK_TAGS[0], 0.5f},
                               {FILTER_VEL_TRACK_TAGS[0], 0.5f},
                               {HP_FREQ_TAGS[0], 0.0f}});
}

// Energy of x[start .. start + n) between f1 and f2, summed over DFT bins 5 Hz apart.
double bandEnergy(const std::vector<float>& x, size_t start, size_t n, double f1, double f2) {
    double e = 0;
    for (double f = f1; f <= f2; f += 5.0) e += std::norm(dft(x, start, n, f, kRate));
    return e;
}

TEST_F(FiltersInVoicePath, ClosedLowPassTakesTheHighHarmonicsOfASaw) {
    const int note = 57;  // 110 Hz
    const Rendered open = render(sawThrough(15, 1.0f), {midi(0, 0x90, note, 100)}, 24000);
    const Rendered closed = render(sawThrough(15, 0.3f), {midi(0, 0x90, note, 100)}, 24000);
    const Rendered bypass = render(sawThrough(0, 0.3f), {midi(0, 0x90, note, 100)}, 24000);
    ASSERT_TRUE(open.clean && closed.clean && bypass.clean);
    // Harmonics 20 to 40 (2.2 to 4.4 kHz), far above a 160 Hz cutoff.
    double hOpen = 0, hClosed = 0, hBypass = 0;
    for (int k = 20; k <= 40; ++k) {
        hOpen += std::pow(amplitudeAt(open.left, 4000, 16384, 110.0 * k, kRate), 2);
        hClosed += std::pow(amplitudeAt(closed.left, 4000, 16384, 110.0 * k, kRate), 2);
        hBypass += std::pow(amplitudeAt(bypass.left, 4000, 16384, 110.0 * k, kRate), 2);
    }
    ASSERT_GT(hOpen, 0.0);
    EXPECT_LT(hClosed, 1e-6 * hOpen) << "24 dB per octave, more than four octaves up";
    // The open filter passes them, with the 24 dB low-pass's gain of sqrt 2.
    EXPECT_NEAR(hOpen / hBypass, 2.0, 0.4);
    // The fundamental, below the cutoff, passes the closed filter (+3 dB of its gain).
    const double f1Closed = amplitudeAt(closed.left, 4000, 16384, 110.0, kRate);
    const double f1Bypass = amplitudeAt(bypass.left, 4000, 16384, 110.0, kRate);
    EXPECT_GT(f1Closed, 0.5 * f1Bypass);
}

TEST_F(FiltersInVoicePath, WireNoteRingsAtItsBandPassCentre) {
    // Layer 1 as Wire: full velocity tracking raises the base cutoff 0.15 by 0.5 at velocity
    // 127: a centre at 20 x 2^6.5 = 1810 Hz; no key tracking, no envelope, Q 0.8, the
    // low-pass after it open. A low note makes the noise bursts' harmonics dense.
    const Params wire = with(plainWave(0), {{LAYER_SOURCE_TAGS[0], sourceValue(0)},
                                            {WIRE_ON_TAGS[0], 1.0f},
                                            {WIRE_Q_TAGS[0], 0.8f},
                                            {WIRE_SEP_TAGS[0], 0.5f},
                                            {WIRE_ENV_AMT_TAGS[0], 0.0f},
                                            {WIRE_KEY_TRACK_TAGS[0], 0.5f},
                                            {WIRE_VEL_TRACK_TAGS[0], 1.0f},
                                            {FILTER_FREQ_TAGS[0], 1.0f},
                                            {FILTER_ENV_AMT_TAGS[0], 0.5f},
                                            {FILTER_KEY_TRACK_TAGS[0], 0.5f},
                                            {FILTER_VEL_TRACK_TAGS[0], 0.5f},
                                            {HP_FREQ_TAGS[0], 0.0f}});
    const Rendered r = render(wire, {midi(0, 0x90, 33, 127)}, 36000);
    ASSERT_TRUE(r.clean);
    const double centre = 20.0 * std::exp2(6.5);
    const size_t n = 16384;
    const double atCentre = bandEnergy(r.left, 8000, n, centre / 1.12, centre * 1.12);
    const double below = bandEnergy(r.left, 8000, n, centre / 2 / 1.12, centre / 2 * 1.12);
    const double above = bandEnergy(r.left, 8000, n, centre * 2 / 1.12, centre * 2 * 1.12);
    // Switched off, the same bursts pass unfiltered: the band-pass lifts its centre over both
    // neighbouring octaves by far more than the bursts themselves differ there.
    const Rendered off = render(with(wire, {{WIRE_ON_TAGS[0], 0.0f}}), {midi(0, 0x90, 33, 127)},
                                36000);
    ASSERT_TRUE(off.clean);
    const double offCentre = bandEnergy(off.left, 8000, n, centre / 1.12, centre * 1.12);
    const double offBelow = bandEnergy(off.left, 8000, n, centre / 2 / 1.12, centre / 2 * 1.12);
    const double offAbove = bandEnergy(off.left, 8000, n, centre * 2 / 1.12, centre * 2 * 1.12);
    EXPECT_GT(atCentre / below, 4.0 * offCentre / offBelow);
    EXPECT_GT(atCentre / above, 4.0 * offCentre / offAbove);
    EXPECT_GT(atCentre, below);
    EXPECT_GT(atCentre, above);
}

TEST_F(FiltersInVoicePath, HighPassTakesTheLows) {
    // HP frequency 0.5: 640 Hz. A 110 Hz saw loses its fundamental, keeps 2.2 kHz.
    const Rendered low = render(sawThrough(0, 1.0f), {midi(0, 0x90, 57, 100)}, 24000);
    const Rendered high =
        render(with(sawThrough(0, 1.0f), {{HP_FREQ_TAGS[0], 0.5f}}), {midi(0, 0x90, 57, 100)}, 24000);
    ASSERT_TRUE(low.clean && high.clean);
    const double f1 = amplitudeAt(high.left, 4000, 16384, 110.0, kRate) /
                      amplitudeAt(low.left, 4000, 16384, 110.0, kRate);
    const double f20 = amplitudeAt(high.left, 4000, 16384, 2200.0, kRate) /
                       amplitudeAt(low.left, 4000, 16384, 2200.0, kRate);
    // Q = 1 at 640 Hz: (110/640)^2 / |1 - (110/640)^2 + j 110/640| at 110 Hz.
    const double u = 110.0 / 640.0;
    EXPECT_NEAR(f1, u * u / std::sqrt((1 - u * u) * (1 - u * u) + u * u), 0.01);
    EXPECT_NEAR(f20, 1.0, 0.05);
}

TEST_F(FiltersInVoicePath, NoteStartClearsTheVoiceFilters) {
    // A loud note rings a resonant comb filter, then falls silent with the comb lines still
    // full. The next note takes the same voice and must sound exactly as the same note in a
    // fresh instance that waited as long.
    const Params comb = with(sawThrough(30, 0.25f), {{FILTER_Q_TAGS[0], 1.0f}, {8, 0.05f}});
    const int pre = 16 + 9000 + 12000;
    Engine used;
    APlugin& p = used.p();
    used.set(comb);
    used.render(16);
    used.noteOn(60, 127);
    used.render(9000);
    used.noteOff(60);
    used.render(12000);
    ASSERT_FALSE(p.isVoiceSounding(0));
    Engine fresh;
    fresh.set(comb);
    fresh.render(pre);

    used.noteOn(48, 90);
    fresh.noteOn(48, 90);
    const std::vector<float> a = used.render(6000);
    const std::vector<float> b = fresh.render(6000);
    ASSERT_EQ(p.voiceNote[0], 48) << "the new note takes the voice of the old one";
    const double top = peak(b, 0, b.size());
    ASSERT_GT(top, 0.01);
    double worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::fmax(worst, std::fabs((double)a[i] - b[i]));
    EXPECT_LT(worst, 1e-4 * top);
}

}  // namespace
