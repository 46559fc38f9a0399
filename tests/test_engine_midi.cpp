// MIDI input of the engine: sample-accurate note starts through the offline host, the
// event queue's limits (offsets out of the block, overflow, null lists), the channel
// filter, pitch bend (exact full range, per channel in Poly MPE), the sustain pedal,
// controllers and the controller map with soft takeover and learning.
#include "test_engine_util.h"

#include "platform/prefs.h"

using namespace enginetest;

namespace {

class EngineMidi : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("engine-midi")); }
};

int pendingSlots(APlugin& p) {
    int n = 0;
    for (int i = 1; i < kMidiQueueSize; ++i)
        if (p.midiQueue[i]->deltaFrames != -99) ++n;
    return n;
}

}  // namespace

TEST_F(EngineMidi, NotesStartAtTheSampleOfTheirEvent) {
    const Params params = plainWave(1);
    struct Case {
        int64_t frame;
        HostRun run;
    };
    HostRun irregular;
    irregular.block = 512;
    irregular.randomBlockSeed = 7;
    HostRun small;
    small.block = 64;
    HostRun rate44;
    rate44.rate = 44100.0;
    rate44.block = 1000;
    const Case cases[] = {{0, HostRun()}, {1000, HostRun()}, {4097, small},
                          {3333, irregular}, {12345, irregular}, {777, rate44}};
    for (const Case& c : cases) {
        const Rendered r = render(params, {midi(c.frame, 0x90, 60, 100)}, c.frame + 2000, c.run);
        ASSERT_TRUE(r.clean) << r.faults;
        EXPECT_EQ(firstAbove(r.left, 1e-4f), c.frame)
            << "note at frame " << c.frame << ", block " << c.run.block;
        EXPECT_GT(peak(r.left, (size_t)c.frame, 200), 0.01);
    }
}

TEST_F(EngineMidi, TwoNotesInOneBlockStartAtTheirOwnSamples) {
    // The second note's onset shows as the first sample where the two-note render leaves
    // the one-note render.
    const Params params = plainWave(1);
    const Rendered one = render(params, {midi(100, 0x90, 60, 100)}, 1000);
    const Rendered two = render(params, {midi(100, 0x90, 60, 100), midi(170, 0x90, 67, 100)}, 1000);
    ASSERT_EQ(one.left.size(), two.left.size());
    int64_t diverge = -1;
    for (size_t i = 0; i < one.left.size() && diverge < 0; ++i)
        if (one.left[i] != two.left[i]) diverge = (int64_t)i;
    EXPECT_EQ(diverge, 170);
}

TEST_F(EngineMidi, QueueClampsOffsetsDropsOverflowAndSurvivesNull) {
    Engine e;
    APlugin& p = e.p();
    EXPECT_EQ(p.processEvents(nullptr), 1);
    VstEvents empty{};
    empty.numEvents = -3;
    EXPECT_EQ(p.processEvents(&empty), 1);

    // Negative offsets play in the first sample; a huge one within the largest block.
    e.send({{0x90, 60, 100}}, -5);
    e.send({{0x90, 62, 100}}, -99);
    e.send({{0x90, 64, 100}}, 2000000000);
    EXPECT_EQ(p.midiQueueCount, 3);
    e.render(1);
    EXPECT_EQ(p.midiQueueCount, 1);
    EXPECT_TRUE(p.voiceKeyOn[0] && p.voiceKeyOn[1]);
    e.render(8192);
    EXPECT_EQ(p.midiQueueCount, 0);
    EXPECT_EQ(pendingSlots(p), 0) << "every slot came due and was freed";
    EXPECT_EQ(p.getNotesOn(), 3);

    // 300 events in one block: 250 are kept, the rest dropped, and all kept ones play.
    std::vector<std::vector<uint8_t>> many;
    for (int i = 0; i < 300; ++i) many.push_back({0xB0, 1, (uint8_t)(i % 128)});
    e.send(many, 10);
    EXPECT_EQ(p.midiQueueCount, 250);
    EXPECT_EQ(pendingSlots(p), 250);
    e.render(11);
    EXPECT_EQ(p.midiQueueCount, 0);
    EXPECT_EQ(pendingSlots(p), 0);
    EXPECT_FLOAT_EQ(p.modWheelValue, (float)(249 % 128) / 127.0f) << "kept in arrival order";

    // An event later than the block plays in a later block at its own sample.
    e.send({{0x80, 60, 0}}, 300);
    e.render(256);
    EXPECT_TRUE(p.voiceKeyOn[0]);
    e.render(44);
    EXPECT_TRUE(p.voiceKeyOn[0]);
    e.render(1);
    EXPECT_FALSE(p.voiceKeyOn[0]);
}

TEST_F(EngineMidi, ChannelPreferenceFiltersNotesAndNegativeMeansAll) {
    Engine e;
    APlugin& p = e.p();
    for (const auto& c : std::vector<std::pair<int, int>>{{0, -1}, {1, 0}, {16, 15}, {17, 16},
                                                         {40, -1}, {-3, -1}}) {
        saveIntToPrefs("MIDIChannel", c.first);
        p.updateMIDIChannel(false);
        EXPECT_EQ(p.midiChannel, c.second) << "preference " << c.first;
    }
    saveIntToPrefs("MIDIChannel", 4);
    p.updateMIDIChannel(false);
    e.noteOn(60, 100, 4);
    e.render(16);
    EXPECT_EQ(p.getNotesOn(), 0);
    e.noteOn(60, 100, 3);
    e.render(16);
    EXPECT_EQ(p.getNotesOn(), 1);

    saveIntToPrefs("MIDIChannel", -1);
    p.updateMIDIChannel(false);
    EXPECT_EQ(p.getNotesOn(), 0) << "a channel change switches everything off";
    e.noteOn(61, 100, 9);
    e.render(16);
    EXPECT_EQ(p.getNotesOn(), 1);
}

TEST_F(EngineMidi, VelocityZeroReleasesAndProgramChangeDoesNothing) {
    Engine e;
    APlugin& p = e.p();
    e.set(plainWave());
    e.noteOn(60);
    e.send({{0xC0, 5, 0}});
    e.render(64);
    EXPECT_TRUE(p.voiceKeyOn[0]);
    e.noteOn(60, 0);
    e.render(1);
    EXPECT_FALSE(p.voiceKeyOn[0]);
}

TEST_F(EngineMidi, PitchBendValuesAndExactFullRange) {
    Engine e;
    APlugin& p = e.p();
    const struct {
        uint8_t lsb, msb;
        float value;
    } bends[] = {{0, 64, 0.0f}, {0, 0, -1.0f}, {127, 127, 16383.0f / 8192.0f - 1.0f}};
    for (const auto& b : bends) {
        e.send({{0xE0, b.lsb, b.msb}});
        e.render(1);
        EXPECT_FLOAT_EQ(p.pitchBendValue, b.value);
        EXPECT_FLOAT_EQ(p.modSrcGlobal[21], b.value);
    }
    // A full bend is the named range: "12" is one octave, "48" four, "Off" none.
    p.setParameter(247, bendRangeValue(12));
    EXPECT_FLOAT_EQ(p.getPitchBendValue(247, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(p.pitchBendOctaves(16383.0f / 8192.0f - 1.0f), 1.0f);
    p.setParameter(246, bendRangeValue(15));
    EXPECT_FLOAT_EQ(p.pitchBendOctaves(-1.0f), -4.0f);
    p.setParameter(247, bendRangeValue(0));
    EXPECT_FLOAT_EQ(p.pitchBendOctaves(0.9f), 0.0f);
}

TEST_F(EngineMidi, FullBendPlaysTheNamedIntervalThroughTheHost) {
    const double rate = 48000.0;
    // Bend range up "2" semitones; the full bend arrives before the note.
    const Params params = with(plainWave(0), {{247, bendRangeValue(2)}});
    const Rendered r = render(params, {midi(0, 0xE0, 127, 127), midi(10, 0x90, 57, 100)},
                              (int64_t)(0.6 * rate));
    ASSERT_TRUE(r.clean);
    const double f = zeroCrossingFrequency(r.left, 4800, 19200, rate);
    EXPECT_NEAR(cents(f, formulaFrequency(59)), 0.0, 1.0) << "measured " << f << " Hz";
}

TEST_F(EngineMidi, PolyMpeBendsOnlyTheVoicesOfItsChannel) {
    const double rate = 48000.0;
    const Params params =
        with(plainWave(0), {{244, playModeValue(1)}, {247, bendRangeValue(2)}, {1018, 0.0f}});
    const Rendered r = render(params,
                              {midi(0, 0x90, 57, 100), midi(0, 0x91, 64, 100),
                               midi(100, 0xE1, 127, 127)},
                              (int64_t)(1.0 * rate));
    ASSERT_TRUE(r.clean);
    const size_t start = 9600, n = 32768;
    const double a57 = amplitudeAt(r.left, start, n, formulaFrequency(57), rate);
    const double a64 = amplitudeAt(r.left, start, n, formulaFrequency(64), rate);
    const double a66 = amplitudeAt(r.left, start, n, formulaFrequency(66), rate);
    EXPECT_GT(a57, 0.01) << "the channel 1 note keeps its pitch";
    EXPECT_GT(a66, 0.01) << "the channel 2 note is bent a whole tone";
    EXPECT_LT(a64, 0.05 * a66);
}

TEST_F(EngineMidi, PolyMpeNotesHeldAcrossThePedalStillRelease) {
    Engine e(with(plainWave(), {{244, playModeValue(1)}}));
    APlugin& p = e.p();
    ASSERT_EQ(p.playMode, 1);
    e.noteOn(60, 100, 2);
    e.noteOn(64, 100, 5);
    e.render(16);
    e.send({{0xB2, 64, 127}});
    e.send({{0xB2, 64, 0}}, 5);
    e.render(16);
    int voice60 = -1;
    for (int v = 0; v < kNumVoices; ++v)
        if (p.voiceNote[v] == 60) voice60 = v;
    ASSERT_GE(voice60, 0);
    EXPECT_EQ(p.voiceChannel[voice60], 2) << "the pedal keeps the voice's channel";
    e.noteOff(60, 5);
    e.render(4);
    EXPECT_TRUE(p.voiceKeyOn[voice60]) << "a note-off on another channel leaves it";
    e.noteOff(60, 2);
    e.render(4);
    EXPECT_FALSE(p.voiceKeyOn[voice60]);
    EXPECT_EQ(p.getNotesOn(), 1);
}

TEST_F(EngineMidi, SustainPedalHoldsReleasedNotesUntilItRises) {
    // A short release so the end is plain to see.
    const Params params = with(plainWave(0), {{8, 0.2f}});
    const Rendered r = render(params,
                              {midi(0, 0x90, 69, 100), midi(1000, 0xB0, 64, 127),
                               midi(2000, 0x80, 69, 0), midi(12000, 0xB0, 64, 0)},
                              24000);
    ASSERT_TRUE(r.clean);
    const double held = rms(r.left, 500, 400);
    EXPECT_GT(held, 0.01);
    EXPECT_NEAR(rms(r.left, 10000, 1000), held, 0.05 * held) << "still sustaining";
    EXPECT_LT(peak(r.left, 16000, 8000), 1e-5) << "released once the pedal rose";
}

TEST_F(EngineMidi, AllNotesOffControllersSilenceEverything) {
    for (uint8_t cc : {120, 121, 123}) {
        Engine e;
        APlugin& p = e.p();
        e.set(plainWave());
        e.noteOn(60);
        e.noteOn(64);
        e.render(32);
        ASSERT_EQ(p.getNotesOn(), 2);
        p.midiCCMap[cc] = 3;  // never learned or mapped
        const float pan = p.paramValue[3];
        e.send({{0xB0, cc, 100}});
        e.render(1);
        EXPECT_EQ(p.getNotesOn(), 0) << "controller " << (int)cc;
        EXPECT_FLOAT_EQ(p.paramValue[3], pan);
    }
}

TEST_F(EngineMidi, ModWheelPressureAndControllerSources) {
    Engine e;
    APlugin& p = e.p();
    e.set(plainWave());
    e.noteOn(60);
    e.render(16);
    e.send({{0xB0, 1, 127}, {0xB0, 74, 64}, {0xD0, 100, 0}});
    e.render(12000);  // the smoothers move 1 % toward the value every 16 samples
    EXPECT_FLOAT_EQ(p.modWheelValue, 1.0f);
    EXPECT_NEAR(p.modSrcGlobal[1], 1.0f, 0.01f) << "smoothed global mod wheel";
    EXPECT_NEAR(p.modSrcVoice[0][1], 1.0f, 0.01f);
    EXPECT_NEAR(p.modSrcVoice[0][32], 64.0f / 127.0f, 0.01f) << "CC74 feeds source 32";
    EXPECT_NEAR(p.modSrcVoice[0][3], 100.0f / 127.0f, 0.01f) << "channel pressure";
    EXPECT_NEAR(p.modSrcVoice[0][2], 1.0f, 0.01f) << "the larger of wheel and pressure";

    // Poly pressure for a note nobody plays reaches every voice.
    e.send({{0xA0, 99, 127}});
    e.render(1);
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FLOAT_EQ(p.voicePolyPressure[v], 1.0f);
    // For a playing note only its voice.
    e.send({{0xA0, 60, 0}});
    e.render(1);
    EXPECT_FLOAT_EQ(p.voicePolyPressure[0], 0.0f);
    EXPECT_FLOAT_EQ(p.voicePolyPressure[1], 1.0f);
}

TEST_F(EngineMidi, MappedControllerTakesOverSoftlyAndLearningIsStoredOffTheAudioThread) {
    Engine e;
    APlugin& p = e.p();
    p.midiCCMap[20] = 1;
    p.setParameter(1, 0.8f);
    p.midiCaptured[1] = 0.8f;
    p.midiLatched[1] = 0;
    for (int value : {0, 40, 80, 98}) {
        e.send({{0xB0, 20, (uint8_t)value}});
        e.render(1);
        EXPECT_FLOAT_EQ(p.paramValue[1], 0.8f) << "not near the captured value yet: " << value;
    }
    e.send({{0xB0, 20, 102}});  // 0.803
    e.render(1);
    EXPECT_FLOAT_EQ(p.paramValue[1], 102.0f / 127.0f);
    e.send({{0xB0, 20, 10}});
    e.render(1);
    EXPECT_FLOAT_EQ(p.paramValue[1], 10.0f / 127.0f) << "latched: follows every value";

    // Learning maps the controller at once but writes the preference only off the audio
    // thread.
    p.midiLearnTag = 3;
    p.midiLearnArmed = 1;
    e.send({{0xB0, 21, 64}});
    e.render(1);
    EXPECT_EQ(p.midiCCMap[21], 3);
    EXPECT_FALSE(p.midiLearnArmed);
    EXPECT_EQ(getMIDICC(21), 0);
    p.flushMIDILearnPrefs();
    EXPECT_EQ(getMIDICC(21), 3);
}

TEST_F(EngineMidi, DeprecatedProcessCallMovesTheQueueAndAddsNothing) {
    Engine e(plainWave());
    APlugin& p = e.p();
    e.noteOn(60, 100, 0, 3);
    float l[8], r[8];
    for (int i = 0; i < 8; ++i) l[i] = r[i] = 0.25f * (float)i;
    float* out[2] = {l, r};
    AEffect* effect = p.getAeffect();
    effect->process(effect, nullptr, out, 3);
    EXPECT_EQ(p.getNotesOn(), 0) << "due at the fourth sample";
    effect->process(effect, nullptr, out, 8);
    EXPECT_EQ(p.getNotesOn(), 1);
    EXPECT_EQ(p.midiQueueCount, 0);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(l[i], 0.25f * (float)i) << "an accumulating call adds nothing";
        EXPECT_EQ(r[i], 0.25f * (float)i);
    }
}
