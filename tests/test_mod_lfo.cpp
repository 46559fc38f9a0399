// The LFOs: a vibrato through the matrix at the free rate and at the host tempo (measured
// from the rendered pitch), per-voice LFOs apart in Poly mode and shared in Mono mode, and
// the shaping destinations: bias, bits, symmetry, phase, smoothing, sample-and-hold rate,
// key tracking, the combinations, the random wave and the restarts.
#include "test_mod_util.h"

using namespace enginetest;
using namespace modtest;

namespace {

class ModLFO : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("mod-lfo")); }
};

constexpr int kNote = 81;  // 440 Hz by the voice pitch formula
constexpr double kNoteHz = 440.0;

// LFO 1 as a free-running sine at `speed`, driving layer 1's semitones by +-1 semitone.
Params vibratoPatch(float speed, bool synced, int mode = 0) {
    return with(dryPatch(0), with(slot(0, kSrcLFO1, kDestLayer1Semi, pitchAmount(1.0)),
                                  {{102, speed},
                                   {357, synced ? 1.0f : 0.0f},
                                   {355, lfoWaveValue(0)},
                                   {356, lfoModeValue(mode)}}));
}

struct Vibrato {
    double rate = 0.0;
    double high = 0.0;
    double low = 0.0;
};

Vibrato measureVibrato(const Params& patch, double tempo, double seconds = 3.0) {
    HostRun run;
    run.rate = kRate;
    run.tempo = tempo;
    const auto ev = std::vector<tavhost::TimedMidiEvent>{midi(0, 0x90, kNote, 100)};
    const Rendered r = render(patch, ev, (int64_t)(seconds * kRate), run);
    EXPECT_TRUE(r.clean) << r.faults;
    Vibrato v;
    const size_t from = (size_t)(0.25 * kRate);
    const PitchTrack track = pitchTrack(r.left, from, r.left.size() - from, kRate);
    if (track.freq.size() < 100) {
        ADD_FAILURE() << "no tone to track";
        return v;
    }
    v.rate = vibratoRate(track, 0.5, 12.0);
    v.high = maxOf(track.freq);
    v.low = minOf(track.freq);
    return v;
}

// A test engine: the dry patch, its slots and LFO settings applied, effects bypassed.
struct Bench {
    Engine e;
    explicit Bench(const Params& params) {
        e.set(params);
        e.render(256);
    }
    APlugin& p() { return e.p(); }
};

}  // namespace

TEST_F(ModLFO, VibratoRateMatchesTheFreeRate) {
    for (double hz : {5.0, 7.3}) {
        const float speed = freeSpeed(hz);
        const double expected = std::exp2(14.0 * (double)speed) * 1.71875 / 256.0;
        const Vibrato v = measureVibrato(vibratoPatch(speed, false), 120.0);
        EXPECT_NEAR(v.rate, expected, expected * 0.005) << hz << " Hz asked";
        // One semitone either side of the note.
        EXPECT_NEAR(cents(v.high, kNoteHz), 100.0, 12.0);
        EXPECT_NEAR(cents(v.low, kNoteHz), -100.0, 12.0);
    }
}

TEST_F(ModLFO, SyncedVibratoFollowsTheHostTempo) {
    struct Case {
        int index;       // synced speed choice
        double period;   // whole notes
        double tempo;
    };
    for (const Case c : {Case{26, 0.125, 120.0}, Case{26, 0.125, 150.0}, Case{23, 0.25, 120.0},
                         Case{29, 0.0625, 90.0}}) {
        const double expected = c.tempo / (240.0 * c.period);
        const Vibrato v = measureVibrato(vibratoPatch(syncedSpeed(c.index), true), c.tempo);
        EXPECT_NEAR(v.rate, expected, expected * 0.005)
            << "choice " << c.index << " at " << c.tempo << " BPM";
    }
}

TEST_F(ModLFO, PolyVoicesRunApartAndMonoVoicesShareTheGlobalLFO) {
    const double hz = 2.0;
    {
        Bench b(with(vibratoPatch(freeSpeed(hz), false, 0), {{MOD_AMT_TAGS[0], 0.5f}}));
        APlugin& p = b.p();
        b.e.noteOn(60);
        b.e.render(3000);
        b.e.noteOn(64);
        b.e.render(1000);
        const int va = voiceOf(p, 60), vb = voiceOf(p, 64);
        ASSERT_GE(va, 0);
        ASSERT_GE(vb, 0);
        ASSERT_NE(va, vb);
        // The first voice is 3000 samples ahead: an eighth of a cycle at 2 Hz.
        double lead = p.voiceLFO[va][0].phase - p.voiceLFO[vb][0].phase;
        lead -= std::floor(lead);
        EXPECT_NEAR(lead, 3000.0 * hz / kRate, 0.003);
        double apart = 0.0;
        for (int k = 0; k < 40; ++k) {
            b.e.render(97);
            apart = std::fmax(apart, std::fabs(p.modSrcVoice[va][kSrcLFO1] - p.modSrcVoice[vb][kSrcLFO1]));
        }
        EXPECT_GT(apart, 0.3) << "two Poly voices swing apart";
    }
    {
        Bench b(with(vibratoPatch(freeSpeed(hz), false, 2), {{MOD_AMT_TAGS[0], 0.5f}}));
        APlugin& p = b.p();
        b.e.noteOn(60);
        b.e.render(3000);
        EXPECT_GT(p.globalLFO[0].phase, 0.1);
        b.e.noteOn(64);
        b.e.render(64);
        EXPECT_LT(p.globalLFO[0].phase, 0.01) << "a Mono LFO restarts at every note";
        const int va = voiceOf(p, 60), vb = voiceOf(p, 64);
        ASSERT_GE(va, 0);
        ASSERT_GE(vb, 0);
        double spread = 0.0;
        for (int k = 0; k < 40; ++k) {
            b.e.render(97);
            EXPECT_EQ(p.modSrcVoice[va][kSrcLFO1], p.modSrcGlobal[kSrcLFO1]);
            EXPECT_EQ(p.modSrcVoice[vb][kSrcLFO1], p.modSrcGlobal[kSrcLFO1]);
            EXPECT_EQ(p.modSrcVoice[vb][kSrcLFO1 + 1], p.modSrcGlobal[kSrcLFO1 + 1]);
            spread = std::fmax(spread, std::fabs(p.modSrcGlobal[kSrcLFO1]));
        }
        EXPECT_GT(spread, 0.3) << "the shared LFO moves";
    }
}

// Values of global source 98 over `n` samples, one per sample.
static std::vector<float> trace(Engine& e, int n, int src = kSrcLFO1) {
    std::vector<float> out;
    for (int i = 0; i < n; ++i) {
        e.render(1, 1);
        out.push_back(e.p().modSrcGlobal[src]);
    }
    return out;
}

static Params shapedLFO(int wave, float hz, const Params& slots) {
    Params p = with(dryPatch(0), {{102, freeSpeed(hz)}, {357, 0.0f}, {355, lfoWaveValue(wave)},
                                  {356, lfoModeValue(1)}});
    p = with(p, slot(0, kSrcLFO1, 16, 0.5f));  // in use, adds nothing
    return with(p, slots);
}

TEST_F(ModLFO, BiasBitsAndSymmetryShapeTheWave) {
    const int cycle = (int)(kRate / 20.0);
    {
        // Bias +1 silences the negative half, -1 the positive half.
        Bench up(shapedLFO(0, 20.0f, slot(1, kSrcOffset, 373, 1.0f)));
        const std::vector<float> a = trace(up.e, 2 * cycle);
        EXPECT_GE(*std::min_element(a.begin(), a.end()), -1e-4f);
        EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.95f);
        Bench down(shapedLFO(0, 20.0f, slot(1, kSrcOffset, 373, 0.0f)));
        const std::vector<float> b = trace(down.e, 2 * cycle);
        EXPECT_LE(*std::max_element(b.begin(), b.end()), 1e-4f);
        EXPECT_LT(*std::min_element(b.begin(), b.end()), -0.95f);
    }
    {
        // Bits at 1: only -1, 0 and 1 are left (the targets; check at update points).
        Bench bits(shapedLFO(0, 20.0f, slot(1, kSrcOffset, 374, 1.0f)));
        bool sawZero = false, sawOne = false;
        for (int i = 0; i < 2 * cycle; ++i) {
            bits.e.render(1, 1);
            // The smoother adds 1e-15 against denormals; nothing else comes between.
            const float t = bits.p().globalLFO[0].biTarget;
            const bool zero = std::fabs(t) < 1e-12f;
            EXPECT_TRUE(std::fabs(t + 1.0f) < 1e-6f || zero || std::fabs(t - 1.0f) < 1e-6f) << t;
            sawZero |= zero;
            sawOne |= std::fabs(t - 1.0f) < 1e-6f;
        }
        EXPECT_TRUE(sawZero && sawOne);
    }
    {
        // Symmetry +1: a triangle rises for 99.9 % of its cycle and falls in the rest.
        Bench sym(shapedLFO(2, 20.0f, slot(1, kSrcOffset, 368, 1.0f)));
        const std::vector<float> a = trace(sym.e, 4 * cycle);
        int rising = 0, falling = 0;
        for (size_t i = 1; i < a.size(); ++i) {
            if (a[i] > a[i - 1]) ++rising;
            if (a[i] < a[i - 1]) ++falling;
        }
        EXPECT_GT(rising, 40 * falling);
        EXPECT_GT(falling, 0) << "the falling edge keeps a finite slope";
        for (float x : a) ASSERT_TRUE(std::isfinite(x) && std::fabs(x) <= 1.0f);
    }
}

TEST_F(ModLFO, PhaseDestinationWrapsBothWays) {
    // A phase offset of -0.25 reads the same wave as +0.75; -3.25 as well.
    std::vector<float> ref;
    for (float amount : {0.875f, 0.375f}) {
        Bench b(shapedLFO(4, 20.0f, slot(1, kSrcOffset, 367, amount)));
        const std::vector<float> a = trace(b.e, 2000);
        if (ref.empty()) {
            ref = a;
            continue;
        }
        for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], ref[i], 2e-4f) << i;
    }
    // Far below zero through a second slot on the same destination: still a clean wave.
    Bench far(shapedLFO(4, 20.0f, with(slot(1, kSrcOffset, 367, 0.0f), slot(2, kSrcOffset, 367, 0.0f))));
    const std::vector<float> a = trace(far.e, 3000);
    EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.9f);
    EXPECT_LT(*std::min_element(a.begin(), a.end()), -0.9f);
}

TEST_F(ModLFO, SmoothingHoldAndUnusedLFOs) {
    const int cycle = (int)(kRate / 20.0);
    {
        // Full smoothing all but freezes a square wave.
        Bench s(shapedLFO(6, 20.0f, slot(1, kSrcOffset, 370, 1.0f)));
        s.e.render(cycle);
        const std::vector<float> a = trace(s.e, 2 * cycle);
        EXPECT_LT(*std::max_element(a.begin(), a.end()) - *std::min_element(a.begin(), a.end()), 0.3f);
        Bench plain(shapedLFO(6, 20.0f, {}));
        const std::vector<float> b = trace(plain.e, 2 * cycle);
        EXPECT_GT(*std::max_element(b.begin(), b.end()) - *std::min_element(b.begin(), b.end()), 1.9f);
    }
    {
        // Sample-and-hold rate 1: a new held value only every 2^14 updates.
        Bench h(shapedLFO(4, 20.0f, slot(1, kSrcOffset, 375, 1.0f)));
        h.e.render(64);
        const std::vector<float> a = trace(h.e, 20000);
        int changes = 0;
        for (size_t i = 1; i < a.size(); ++i) changes += a[i] != a[i - 1];
        EXPECT_LE(changes, 8) << "at most one held step (interpolated over 4 samples)";
    }
    {
        // LFO 2 is used by no slot: its sources stay 0, globally and in the voices.
        Bench u(shapedLFO(0, 20.0f, {}));
        u.e.noteOn(60);
        for (int k = 0; k < 20; ++k) {
            u.e.render(50);
            EXPECT_EQ(u.p().modSrcGlobal[kSrcLFO2], 0.0f);
            EXPECT_EQ(u.p().modSrcGlobal[kSrcLFO2 + 1], 0.0f);
            const int v = voiceOf(u.p(), 60);
            ASSERT_GE(v, 0);
            EXPECT_EQ(u.p().modSrcVoice[v][kSrcLFO2], 0.0f);
        }
    }
}

TEST_F(ModLFO, CombinationsFollowBothLFOs) {
    Params p = shapedLFO(0, 20.0f, slot(1, kSrcLFO12, 16, 0.5f));
    p = with(p, {{103, freeSpeed(7.0)}, {360, 0.0f}, {358, lfoWaveValue(4)}});
    Bench b(p);
    bool lfo2Moves = false;
    for (int i = 0; i < 3000; ++i) {
        b.e.render(1, 1);
        const float* s = b.p().modSrcGlobal;
        ASSERT_FLOAT_EQ(s[102], s[98] + s[100]);
        ASSERT_FLOAT_EQ(s[103], s[99] + s[101]);
        ASSERT_FLOAT_EQ(s[104], s[98] - s[100]);
        ASSERT_FLOAT_EQ(s[105], s[99] - s[101]);
        ASSERT_FLOAT_EQ(s[106], s[98] * s[100]);
        ASSERT_FLOAT_EQ(s[107], s[99] * s[101]);
        ASSERT_NEAR(s[99], s[98] * 0.5f + 0.5f, 1e-5f);
        lfo2Moves |= std::fabs(s[100]) > 0.5f;
    }
    EXPECT_TRUE(lfo2Moves) << "a combination puts both LFOs to work";
}

TEST_F(ModLFO, KeyTrackingDoublesTheRateAnOctaveUp) {
    Bench b(with(vibratoPatch(freeSpeed(3.0), false, 0),
                 with({{MOD_AMT_TAGS[0], 0.5f}}, slot(1, kSrcOffset, 377, 1.0f))));
    APlugin& p = b.p();
    b.e.noteOn(57);  // centre note 0: factor 1
    b.e.noteOn(69);  // one octave up: factor 2
    b.e.render(32);
    const int lo = voiceOf(p, 57), hi = voiceOf(p, 69);
    ASSERT_GE(lo, 0);
    ASSERT_GE(hi, 0);
    const double lo0 = p.voiceLFO[lo][0].phase, hi0 = p.voiceLFO[hi][0].phase;
    b.e.render(4000);
    const double dLo = p.voiceLFO[lo][0].phase - lo0, dHi = p.voiceLFO[hi][0].phase - hi0;
    EXPECT_NEAR(dLo, 4000.0 * 3.0 / kRate, 0.002);
    EXPECT_NEAR(dHi / dLo, 2.0, 0.01);
}

TEST_F(ModLFO, RandomWaveChangesOncePerCycleAndRestartsReset) {
    const int cycle = (int)(kRate / 50.0);
    Bench b(shapedLFO(8, 50.0f, {}));
    const std::vector<float> a = trace(b.e, 10 * cycle);
    int steps = 0;
    for (size_t i = 1; i < a.size(); ++i) {
        ASSERT_LE(std::fabs(a[i]), 1.0f);
        // A new value moves over the 4 samples between two updates.
        if (a[i] != a[i - 1] && (i < 2 || a[i - 1] == a[i - 2])) ++steps;
    }
    EXPECT_GE(steps, 7);
    EXPECT_LE(steps, 11);

    // The arpeggiator's start restarts every LFO, global and per voice.
    APlugin& p = b.p();
    b.e.noteOn(60);
    b.e.render(777);
    const int v = voiceOf(p, 60);
    ASSERT_GE(v, 0);
    p.restartLFOsForArp();
    EXPECT_EQ(p.globalLFO[0].phase, 0.0);
    EXPECT_EQ(p.globalLFO[1].phase, 0.0);
    EXPECT_EQ(p.voiceLFO[v][0].phase, 0.0);
    EXPECT_EQ(p.voiceLFO[v][0].humanize, 1.0);
    EXPECT_EQ(p.globalLFO[0].biInc, 0.0f);
}

TEST_F(ModLFO, HumanizeVariesTheRatePerCycle) {
    // Humanize 1: every cycle draws a rate factor 2^(-2..2); the LFO still runs and its
    // factor stays within that range.
    Bench b(shapedLFO(0, 40.0f, slot(1, kSrcOffset, 376, 1.0f)));
    double lo = 10.0, hi = 0.0;
    for (int k = 0; k < 200; ++k) {
        b.e.render(240);
        const double h = b.p().globalLFO[0].humanize;
        lo = std::fmin(lo, h);
        hi = std::fmax(hi, h);
    }
    EXPECT_GE(lo, 0.25 - 1e-9);
    EXPECT_LE(hi, 4.0 + 1e-9);
    EXPECT_GT(hi / lo, 2.0) << "the factor varies from cycle to cycle";
}
