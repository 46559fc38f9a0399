// The output stage and the render loop's host boundary: the clip and a clean output under
// load at every rate and block size, the brick-wall filter (and its stability at low
// rates), stereo width, silence while a program is pending, zero-length and null blocks,
// the caller's floating-point mode, the host tempo, and the scope rings.
#include "test_engine_util.h"

#if defined(__x86_64__) || defined(__SSE__)
#include <xmmintrin.h>
#endif

using namespace enginetest;

namespace {

class EngineOutput : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("engine-output")); }
};

// All three layers, one per model, full volume, a six-note chord per key.
Params loudPatch() {
    Params p = {{1, 1.0f},           {5, 0.0f},          {7, 1.0f},  {541, 0.0f},
                {554, 1.0f},         {CHORD_NOTES_TAGS[0], stepped(5, 5.99f)},
                {LAYER_ON_TAGS[0], 1.0f}, {LAYER_ON_TAGS[1], 1.0f}, {LAYER_ON_TAGS[2], 1.0f},
                {LAYER_SOURCE_TAGS[0], sourceValue(0)}, {LAYER_SOURCE_TAGS[1], sourceValue(1)},
                {LAYER_SOURCE_TAGS[2], sourceValue(3)}, {WAVE_TAGS[2], waveValue(2)}};
    for (int layer = 0; layer < 3; ++layer) p.push_back({VOL_TAGS[layer], 1.0f});
    for (int i = 1; i < 6; ++i) p.push_back({CHORD_SEMI_TAGS[0] + i, ((float)(48 + 3 * i) + 0.1f) / 96.99f});
    return p;
}

std::vector<tavhost::TimedMidiEvent> busyPhrase(double rate) {
    std::vector<tavhost::TimedMidiEvent> ev;
    for (int i = 0; i < 24; ++i) {
        const int64_t t = (int64_t)(i * 0.05 * rate);
        ev.push_back(midi(t, 0x90, (uint8_t)(30 + 3 * i), 127));
        ev.push_back(midi(t + (int64_t)(0.6 * rate), 0x80, (uint8_t)(30 + 3 * i), 0));
    }
    ev.push_back(midi((int64_t)(0.3 * rate), 0xE0, 0, 127));
    ev.push_back(midi((int64_t)(0.4 * rate), 0xB0, 1, 127));
    return ev;
}

}  // namespace

TEST_F(EngineOutput, LoadedOutputStaysWithinTheClipAndClean) {
    for (double rate : {22050.0, 44100.0, 96000.0, 192000.0}) {
        for (int32_t block : {1, 64, 1000, 8192}) {
            HostRun run;
            run.rate = rate;
            run.block = block;
            run.randomBlockSeed = block == 1000 ? 99u : 0u;
            if (block == 1 && rate > 50000.0) continue;  // slow and adds nothing
            const Rendered r = render(loudPatch(), busyPhrase(rate), (int64_t)(1.5 * rate), run);
            ASSERT_TRUE(r.clean) << r.faults << " at " << rate << " Hz, block " << block;
            const double top = std::fmax(peak(r.left, 0, r.left.size()), peak(r.right, 0, r.right.size()));
            EXPECT_LE(top, (double)0.99f) << rate << " Hz, block " << block;
            EXPECT_GT(top, 0.5) << "the patch is loud enough to reach the clip";
        }
    }
}

TEST_F(EngineOutput, BrickFilterCutsAHighToneAndPassesALowOne) {
    const double rate = 48000.0;
    // Cutoff 20 x 2^(12 x 0.3) = 242 Hz.
    const Params base = with(plainWave(0), {{1019, 0.3f}});
    for (int note : {105, 45}) {
        const double f = formulaFrequency(note);
        const Rendered off = render(with(base, {{1018, 0.0f}}), {midi(0, 0x90, (uint8_t)note, 100)}, 24000);
        const Rendered on = render(with(base, {{1018, 1.0f}}), {midi(0, 0x90, (uint8_t)note, 100)}, 24000);
        ASSERT_TRUE(off.clean && on.clean);
        const double aOff = amplitudeAt(off.left, 4000, 16384, f, rate);
        const double aOn = amplitudeAt(on.left, 4000, 16384, f, rate);
        ASSERT_GT(aOff, 0.01);
        // Two two-pole low-pass sections: far above the cutoff the level falls as (fc / f)^4,
        // 24 dB per octave; at 1760 Hz against 242 Hz that is about -69 dB.
        const double fc = 20.0 * std::exp2(12.0 * 0.3);
        if (note == 105)
            EXPECT_NEAR(std::log2(aOn / aOff), std::log2(std::pow(fc / f, 4.0)), 1.0)
                << "a tone at " << f << " Hz, almost three octaves above the cutoff";
        else
            EXPECT_NEAR(aOn, aOff, 0.1 * aOff) << "a tone two octaves below the cutoff";
    }
}

TEST_F(EngineOutput, BrickFilterStaysStableAtLowRatesAndHighSettings) {
    for (double rate : {22050.0, 32000.0}) {
        HostRun run;
        run.rate = rate;
        const Params p = with(loudPatch(), {{1018, 1.0f}, {1019, 1.0f}});
        const Rendered r = render(p, busyPhrase(rate), (int64_t)(1.0 * rate), run);
        ASSERT_TRUE(r.clean) << r.faults;
        EXPECT_GT(rms(r.left, 0, r.left.size()), 0.01) << "sound passes at " << rate << " Hz";
        EXPECT_LE(peak(r.left, 0, r.left.size()), (double)0.99f);
    }
    Engine e;
    APlugin& p = e.p();
    p.setParameter(1019, 1.0f);
    p.setSampleRate(22050.0f);
    EXPECT_GT(p.brickG, 0.0f) << "the coefficient keeps its sign";
    EXPECT_TRUE(std::isfinite(p.brickG));
}

TEST_F(EngineOutput, MonoSpreadNarrowsTheStereoImage) {
    Engine e;
    APlugin& p = e.p();
    e.set(with(plainWave(1), {{PAN_TAGS[0], 0.0f}}));  // layer 1 hard left
    e.noteOn(60);
    e.render(2000);
    std::vector<float> left = e.render(256);
    EXPECT_GT(peak(left, 0, 256), 0.01);
    EXPECT_LT(peak(e.lastRight, 0, 256), 1e-6);
    // Mono Spread through a slot: Offset (source 130) adds 2 x amount - 1.
    const auto spread = [](float amount) {
        return Params{{361, 0.0f}, {369, (130 + 0.1f) / 199.99f}, {377, (11 + 0.1f) / 499.99f},
                      {385, amount}};
    };
    e.set(spread(1.0f));
    left = e.render(256);
    EXPECT_FLOAT_EQ(p.modDestGlobal[11], 1.0f);
    for (size_t i = 0; i < left.size(); ++i) ASSERT_FLOAT_EQ(left[i], e.lastRight[i]);
    EXPECT_GT(peak(left, 0, 256), 0.005);
    e.set(spread(0.75f));
    left = e.render(256);
    EXPECT_FLOAT_EQ(p.modDestGlobal[11], 0.5f);
    EXPECT_GT(peak(e.lastRight, 0, 256), 0.001);
    EXPECT_LT(peak(e.lastRight, 0, 256), peak(left, 0, 256));
}

TEST_F(EngineOutput, PendingProgramSilencesUntilTheNextBoundary) {
    Engine e;
    APlugin& p = e.p();
    e.set(plainWave(1));
    e.noteOn(60);
    e.render(1000);
    ASSERT_GT(peak(e.render(64), 0, 64), 0.01);
    // Raise the trigger half way through a block.
    const uint32_t untilBoundary = (4096u - (p.blockCounter & 4095u)) & 4095u;
    ASSERT_GT(untilBoundary, 200u);
    const uint32_t samplesBefore = p.sampleCounter;
    std::vector<float> out = e.render(100);
    EXPECT_GT(peak(out, 0, 100), 0.01);
    p.setParameter(kPresetTriggerTag, 0.0f);
    ASSERT_TRUE(p.presetPending);
    out = e.render((int)untilBoundary - 100 + 1);
    EXPECT_LT(peak(out, 0, out.size()), 1e-9) << "silent until the boundary";
    EXPECT_FALSE(p.presetPending) << "applied at the boundary";
    EXPECT_EQ(p.sampleCounter, samplesBefore + untilBoundary + 1) << "it keeps counting";
    e.noteOn(60);
    out = e.render(256);
    EXPECT_GT(peak(out, 0, 256), 0.01) << "playing again after the boundary";
}

TEST_F(EngineOutput, EmptyAndNullBlocksAreHarmless) {
    Engine e;
    APlugin& p = e.p();
    e.set(plainWave(1));
    e.noteOn(60);
    e.render(300);
    const uint32_t samples = p.sampleCounter;
    const uint32_t blocks = p.blockCounter;
    const int counter = p.voiceCounter[0];
    float l[8], r[8];
    for (float& x : l) x = 7.0f;
    for (float& x : r) x = 7.0f;
    float* out[2] = {l, r};
    p.processReplacing(nullptr, out, 0);
    p.processReplacing(nullptr, out, -5);
    EXPECT_EQ(p.sampleCounter, samples);
    EXPECT_EQ(p.blockCounter, blocks);
    EXPECT_EQ(p.voiceCounter[0], counter);
    for (float x : l) EXPECT_EQ(x, 7.0f);

    p.processReplacing(nullptr, nullptr, 64);
    float* half[2] = {l, nullptr};
    p.processReplacing(nullptr, half, 8);
    EXPECT_EQ(p.sampleCounter, samples + 72);
    EXPECT_NE(l[0], 7.0f);
    EXPECT_LE(std::fabs(l[0]), 0.99f);
}

TEST_F(EngineOutput, DenormalModeIsSetInsideAndRestoredAfterwards) {
#if defined(__x86_64__) || defined(__SSE__)
    Engine e;
    APlugin& p = e.p();
    const unsigned before = _mm_getcsr();
    _mm_setcsr(before & ~0x8040u);
    const unsigned plain = _mm_getcsr();
    e.render(64);
    EXPECT_EQ(_mm_getcsr(), plain);
    _mm_setcsr(plain | 0x8040u);
    e.render(64);
    EXPECT_EQ(_mm_getcsr(), plain | 0x8040u);
    _mm_setcsr(before);
    (void)p;
#else
    GTEST_SKIP() << "no MXCSR on this machine";
#endif
}

TEST_F(EngineOutput, HostTempoIsClampedAndNonFiniteTempoIgnored) {
    Engine e;
    APlugin& p = e.p();
    VstTimeInfo ti{};
    ti.flags = kVstTempoValid;
    p.timeInfo = &ti;
    ti.tempo = 90.0;
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 90.0f);
    EXPECT_DOUBLE_EQ(p.samplesPerBar, 240.0 * 48000.0 / 90.0);
    ti.tempo = std::nan("");
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 90.0f);
    ti.tempo = INFINITY;
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 90.0f);
    ti.tempo = 0.5;
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 1.0f);
    ti.tempo = 40000.0;
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 30000.0f);
    ti.flags = 0;
    ti.tempo = 60.0;
    p.updateTempo();
    EXPECT_FLOAT_EQ(p.tempo, 30000.0f) << "no valid tempo: the last one stays";
    p.timeInfo = nullptr;
}

TEST_F(EngineOutput, SampleRateChangesOnlyForRealRates) {
    Engine e;
    APlugin& p = e.p();
    e.set(plainWave(1));
    e.noteOn(60);
    e.render(64);
    p.setSampleRate(4.0f);
    p.setSampleRate(600000.0f);
    p.setSampleRate(48000.0f);
    EXPECT_FLOAT_EQ(p.curSampleRate, 48000.0f);
    EXPECT_EQ(p.getNotesOn(), 1) << "the same rate again does not reset";
    p.setSampleRate(96000.0f);
    EXPECT_FLOAT_EQ(p.curSampleRate, 96000.0f);
    EXPECT_DOUBLE_EQ(p.baseNoteIncrement, 110.0 / 96000.0);
    EXPECT_EQ(p.getNotesOn(), 0);
}

TEST_F(EngineOutput, ScopeRingsHoldTheLastVoiceAndReadOutAsDisplayPoints) {
    Engine e;
    APlugin& p = e.p();
    float pts[2];
    // A fresh plug-in reads the mid line before its first rendered sample.
    {
        PluginHarness fresh;
        fresh->getWaveDisplay(0, 2, 1.0f, pts);
        EXPECT_FLOAT_EQ(pts[0], 0.5f);
        EXPECT_FLOAT_EQ(pts[1], 0.5f);
    }
    e.set(plainWave(1));
    e.noteOn(60);
    e.render(20000);
    const uint32_t newest = (p.sampleCounter - 1u) & (APlugin::kScopeRingSize - 1);
    EXPECT_NE(p.scopeBuffer[newest], 0.0f);
    EXPECT_FLOAT_EQ(p.scopeBuffer[newest], p.modSrcVoice[p.lastVoice][118]);
    EXPECT_FLOAT_EQ(p.scopeBuffer[APlugin::kScopeRingSize + newest], 0.0f) << "layer 2 is off";

    p.scopeBuffer[newest] = 3.0f;
    const uint32_t older = (p.sampleCounter - 1u - 16384u) & (APlugin::kScopeRingSize - 1);
    p.scopeBuffer[older] = -3.0f;
    p.getWaveDisplay(0, 2, 1.0f, pts);
    EXPECT_FLOAT_EQ(pts[1], 1.0f);
    EXPECT_FLOAT_EQ(pts[0], 0.0f);
    p.getWaveDisplay(0, 0, 1.0f, pts);

    e.noteOff(60);
    e.render(200000);
    for (int i = 0; i < 3; ++i) {
        p.getWaveDisplay(i, 2, 1.0f, pts);
        EXPECT_FLOAT_EQ(pts[0], 0.5f);
        EXPECT_FLOAT_EQ(pts[1], 0.5f);
    }

    // Past 2^31 samples the display still reads the rings.
    p.sampleCounter = 0x80001000u;
    e.noteOn(60);
    e.render(512);
    p.getWaveDisplay(0, 2, 1.0f / 64.0f, pts);
    EXPECT_NE(pts[1], 0.5f);
}
