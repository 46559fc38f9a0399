// Voice allocation and play modes: which voice a note takes and which one is forced out
// when the voices run short, release to silence, the mono modes' retrigger and note
// priority, legato glide without retrigger, and the hand-over of UI-thread resets.
#include "test_engine_util.h"

using namespace enginetest;

namespace {

class EngineVoices : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("engine-voices")); }
};

// Short release so released voices fall silent within a few thousand samples.
Params quickRelease(int playMode = 0) {
    return with(plainWave(0), {{8, 0.1f}, {244, playModeValue(playMode)}});
}

int voiceOf(APlugin& p, int note) {
    for (int v = 0; v < kNumVoices; ++v)
        if (p.voiceNote[v] == note && p.voiceKeyOn[v]) return v;
    return -1;
}

}  // namespace

TEST_F(EngineVoices, NewNotesTakeTheLowestSilentVoice) {
    Engine e(quickRelease());
    APlugin& p = e.p();
    for (int i = 0; i < 5; ++i) e.noteOn(60 + i);
    e.render(64);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(voiceOf(p, 60 + i), i);
    e.noteOff(61);
    e.render(20000);
    EXPECT_FALSE(p.isVoiceSounding(1)) << "released and faded";
    e.noteOn(70);
    e.render(1);
    EXPECT_EQ(voiceOf(p, 70), 1);
    EXPECT_EQ(p.curVoice, 1);
    EXPECT_EQ(p.lastVoice, 1);
}

TEST_F(EngineVoices, FifteenSoundingVoicesKeepOneFree) {
    // 15 held, the silent one is not the current voice: the 16th note takes it, nothing fades.
    {
        Engine e(quickRelease());
        APlugin& p = e.p();
        for (int i = 0; i < 15; ++i) e.noteOn(40 + i);
        e.render(64);
        ASSERT_EQ(p.getNotesPlaying(), 15);
        ASSERT_EQ(p.curVoice, 14);
        e.noteOn(80);
        e.render(1);
        EXPECT_EQ(voiceOf(p, 80), 15);
        for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(p.voiceStolen[v]) << v;
        EXPECT_EQ(p.getNotesOn(), 16);
    }
    // 15 held and the current voice is the silent one: the quietest held voice is faded
    // out fast and the current voice is taken again.
    {
        Engine e(quickRelease());
        APlugin& p = e.p();
        for (int i = 0; i < 16; ++i) e.noteOn(40 + i);
        e.render(64);
        ASSERT_EQ(p.curVoice, 15);
        e.noteOff(55);  // voice 15, the current one
        e.render(20000);
        ASSERT_FALSE(p.isVoiceSounding(15));
        ASSERT_EQ(p.getNotesPlaying(), 15);
        e.noteOn(81);
        e.render(1);
        EXPECT_EQ(voiceOf(p, 81), 15);
        int stolen = -1;
        for (int v = 0; v < kNumVoices; ++v)
            if (p.voiceStolen[v]) stolen = v;
        EXPECT_EQ(stolen, 0) << "equal levels: the lowest-numbered held voice";
        EXPECT_FALSE(p.voiceKeyOn[0]);
        e.render(4000);
        EXPECT_FALSE(p.isVoiceSounding(0)) << "the stolen voice fades fast";
    }
}

TEST_F(EngineVoices, SeventeenthNoteReusesTheQuietestVoice) {
    const double rate = 48000.0;
    // Notes a major third apart, so each one's level can be read from the spectrum.
    std::vector<tavhost::TimedMidiEvent> ev;
    for (int i = 0; i < 16; ++i) ev.push_back(midi(0, 0x90, (uint8_t)(36 + 4 * i), 100));
    ev.push_back(midi(24000, 0x90, 98, 100));
    // Quiet enough that sixteen notes never reach the clip.
    const Rendered r = render(with(quickRelease(), {{1, 0.4f}}), ev, 48000);
    ASSERT_TRUE(r.clean) << r.faults;
    const size_t n = 16384;
    const double before36 = amplitudeAt(r.left, 4000, n, formulaFrequency(36), rate);
    const double after36 = amplitudeAt(r.left, 28000, n, formulaFrequency(36), rate);
    const double before40 = amplitudeAt(r.left, 4000, n, formulaFrequency(40), rate);
    const double after40 = amplitudeAt(r.left, 28000, n, formulaFrequency(40), rate);
    const double after98 = amplitudeAt(r.left, 28000, n, formulaFrequency(98), rate);
    EXPECT_GT(before36, 0.001);
    EXPECT_LT(after36, 0.01 * before36) << "the first note's voice went to the 17th note";
    EXPECT_NEAR(after40, before40, 0.02 * before40) << "the others play on";
    EXPECT_GT(after98, 0.5 * before36);

    Engine e(quickRelease());
    APlugin& p = e.p();
    for (int i = 0; i < 16; ++i) e.noteOn(36 + 4 * i);
    e.render(64);
    e.noteOn(98);
    e.render(1);
    EXPECT_EQ(voiceOf(p, 98), 0);
    EXPECT_EQ(p.getNotesOn(), 16);
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(p.voiceStolen[v]);
}

TEST_F(EngineVoices, NoteOffDecaysToSilenceAndFreesTheVoice) {
    const Rendered r = render(quickRelease(), {midi(0, 0x90, 60, 100), midi(4800, 0x80, 60, 0)},
                              48000);
    ASSERT_TRUE(r.clean);
    EXPECT_GT(rms(r.left, 1000, 2000), 0.01);
    EXPECT_LT(peak(r.left, 9600, 4800), 1e-3) << "released";
    EXPECT_LT(peak(r.left, 36000, 12000), 1e-6) << "silent";

    Engine e(quickRelease());
    APlugin& p = e.p();
    e.noteOn(60);
    e.render(4800);
    EXPECT_EQ(p.activeVoiceCount, 1);
    e.noteOff(60);
    e.render(8000);
    EXPECT_FALSE(p.getIsVoicePlaying(0));
    EXPECT_FALSE(p.getIsAnyVoicePlaying());
    EXPECT_EQ(p.activeVoiceCount, 0);
}

TEST_F(EngineVoices, MonoRetriggersAndFallsBackToTheHeldNote) {
    const double rate = 48000.0;
    const Params params = quickRelease(2);
    const Rendered r = render(params,
                              {midi(0, 0x90, 60, 100), midi(9600, 0x90, 64, 100),
                               midi(19200, 0x90, 67, 100), midi(28800, 0x80, 67, 0)},
                              48000);
    ASSERT_TRUE(r.clean);
    const size_t n = 4800;
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 2400, n, rate), formulaFrequency(60)), 0, 2);
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 12000, n, rate), formulaFrequency(64)), 0, 2);
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 21600, n, rate), formulaFrequency(67)), 0, 2);
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 36000, n, rate), formulaFrequency(64)), 0, 2)
        << "back to the held note";
    EXPECT_NEAR(rms(r.left, 36000, n), rms(r.left, 12000, n), 0.05 * rms(r.left, 12000, n));

    Engine e(params);
    APlugin& p = e.p();
    e.noteOn(60);
    e.render(100);
    const int first = p.curVoice;
    e.noteOn(64);
    e.render(100);
    const int second = p.curVoice;
    EXPECT_NE(first, second) << "each note retriggers on a fresh voice";
    EXPECT_FALSE(p.voiceKeyOn[first]);
    EXPECT_EQ(p.getNotesOn(), 2);
    e.noteOff(64);
    e.render(1);
    EXPECT_EQ(p.voiceNote[p.curVoice], 60);
    EXPECT_TRUE(p.voiceKeyOn[p.curVoice]);
    EXPECT_EQ(p.voiceCounter[p.curVoice], 1) << "retriggered";
    e.noteOff(60);
    e.render(1);
    EXPECT_EQ(p.getNotesOn(), 0);
    EXPECT_EQ(p.noteStackTop, -1);
}

TEST_F(EngineVoices, MonoHiAndLoIgnoreTheOtherSide) {
    for (int mode : {3, 4}) {
        Engine e(quickRelease(mode));
        APlugin& p = e.p();
        e.noteOn(64);
        e.render(64);
        const int voice = p.curVoice;
        const int ignored = mode == 3 ? 60 : 67;
        const int accepted = mode == 3 ? 67 : 60;
        e.noteOn(ignored);
        e.render(64);
        EXPECT_EQ(p.curVoice, voice) << "mode " << mode;
        EXPECT_EQ(p.voiceNote[voice], 64);
        e.noteOff(ignored);
        e.render(64);
        EXPECT_TRUE(p.voiceKeyOn[voice]) << "its release does nothing either";
        e.noteOn(accepted);
        e.render(1);
        EXPECT_NE(p.curVoice, voice);
        EXPECT_EQ(p.voiceNote[p.curVoice], accepted);
    }
}

TEST_F(EngineVoices, LegatoGlidesWithoutRetrigger) {
    const double rate = 48000.0;
    // Legato with a constant-time glide of 2^(12 x 0.75) = 512 ticks of 16 samples.
    const Params params = with(quickRelease(5), {{245, portModeValue(2)}, {4, 0.75f}});
    const Rendered r = render(params,
                              {midi(0, 0x90, 57, 100), midi(9600, 0x90, 69, 20)}, 30000);
    ASSERT_TRUE(r.clean);
    const double early = zeroCrossingFrequency(r.left, 9600, 1600, rate);
    const double middle = zeroCrossingFrequency(r.left, 9600 + 3400, 1600, rate);
    const double late = zeroCrossingFrequency(r.left, 9600 + 8192 + 400, 4800, rate);
    EXPECT_LT(early, formulaFrequency(59));
    EXPECT_NEAR(cents(middle, formulaFrequency(63)), 0.0, 100.0) << "half way after half the time";
    EXPECT_NEAR(cents(late, formulaFrequency(69)), 0.0, 2.0);
    EXPECT_NEAR(rms(r.left, 20000, 4800), rms(r.left, 4000, 4800), 0.05 * rms(r.left, 4000, 4800))
        << "the soft second note keeps the first note's level";

    Engine e(params);
    APlugin& p = e.p();
    e.noteOn(57);
    e.render(1000);
    const int voice = p.curVoice;
    e.noteOn(69, 20);
    e.render(1);
    EXPECT_EQ(p.curVoice, voice);
    EXPECT_EQ(p.voiceCounter[voice], 1001) << "no retrigger";
    EXPECT_EQ(p.getNotesOn(), 2);
    EXPECT_FLOAT_EQ(p.voicePitch[voice], 1.0f);
    e.noteOff(69);
    e.render(1);
    EXPECT_EQ(p.curVoice, voice);
    EXPECT_EQ(p.voiceNote[voice], 57) << "back to the held note, still without retrigger";
    e.noteOff(57);
    e.render(1);
    EXPECT_FALSE(p.voiceKeyOn[voice]);
}

TEST_F(EngineVoices, HeldPortamentoGlidesOnlyWhileTwoKeysAreHeld) {
    Engine e(with(quickRelease(0), {{245, portModeValue(3)}, {4, 0.5f}}));
    APlugin& p = e.p();
    e.noteOn(57);
    e.render(200);
    e.noteOff(57);
    e.render(8000);  // until the released note has faded
    e.noteOn(69);
    e.render(64);
    const int v = p.curVoice;
    EXPECT_FLOAT_EQ(p.glidePitch[v], p.voicePitch[v]) << "one key: no glide";
    e.noteOn(72);
    e.render(64);
    const int w = p.curVoice;
    EXPECT_LT(p.glidePitch[w], p.voicePitch[w]) << "two keys: glides up";
    EXPECT_GT(p.glidePitch[w], p.voicePitch[v]);
}

TEST_F(EngineVoices, NotesOnCountsKeysPerMode) {
    Engine poly(quickRelease(0));
    for (int n : {60, 64, 67}) poly.noteOn(n);
    poly.render(8);
    EXPECT_EQ(poly.p().getNotesOn(), 3);

    Engine legato(quickRelease(5));
    legato.noteOn(60);
    legato.noteOn(64);
    legato.render(8);
    EXPECT_EQ(legato.p().getNotesOn(), 2);
}

TEST_F(EngineVoices, ArpPedalLatchHoldsReleasedKeysUntilThePedalRises) {
    Engine e(with(quickRelease(8), {{394, 1.0f}}), 256);
    APlugin& p = e.p();
    ASSERT_EQ(p.playMode, 8);
    for (int n : {60, 64, 67}) e.noteOn(n);
    e.send({{0xB0, 64, 127}});
    e.render(1);
    EXPECT_EQ(p.arpHeldCount, 3);
    for (int n : {60, 64, 67}) e.noteOff(n);
    e.render(1);
    EXPECT_EQ(p.arpHeldCount, 3) << "the pedal keeps the notes in the arp";
    EXPECT_EQ(p.arpPedalNotes[0], 3);
    e.send({{0xB0, 64, 0}});
    e.render(1);
    EXPECT_EQ(p.arpHeldCount, 0);
    EXPECT_EQ(p.arpPedalNotes[0], 0);
}

TEST_F(EngineVoices, UiResetsWaitForTheNextBlockWhileProcessing) {
    Engine e(quickRelease());
    APlugin& p = e.p();
    // Suspended (never resumed): a reset acts at once.
    e.noteOn(60);
    e.render(16);
    ASSERT_EQ(p.getNotesOn(), 1);
    p.reset();
    EXPECT_EQ(p.getNotesOn(), 0);

    p.resume();
    e.noteOn(62);
    e.render(16);
    ASSERT_EQ(p.getNotesOn(), 1);
    p.reset();
    p.previewNoteOn();
    EXPECT_EQ(p.getNotesOn(), 1) << "handed to the audio thread";
    EXPECT_GE(voiceOf(p, 62), 0);
    e.render(1);
    EXPECT_EQ(p.getNotesOn(), 1) << "reset, then the preview note";
    EXPECT_EQ(p.voiceNote[p.curVoice], 60);
    p.previewNoteReleased();
    EXPECT_EQ(p.getNotesOn(), 1);
    e.render(1);
    EXPECT_EQ(p.getNotesOn(), 0);

    // Suspending runs what is still pending.
    e.noteOn(64);
    e.render(4);
    p.reset();
    EXPECT_EQ(p.getNotesOn(), 1);
    p.engineSuspend();
    EXPECT_EQ(p.getNotesOn(), 0);
}

TEST_F(EngineVoices, ArpOnAndTheArpPlayModeFollowEachOther) {
    Engine e;
    APlugin& p = e.p();
    const auto arpModeValue = [](int m) { return stepped(m, 19.99f); };
    e.set(quickRelease(0));
    e.render(256);
    e.noteOn(60);
    e.render(16);
    ASSERT_EQ(p.getNotesOn(), 1);

    p.setParameter(394, 1.0f);  // Arp On
    e.render(128);
    EXPECT_EQ(p.playMode, 8);
    EXPECT_EQ(p.getLockVarStepped(244), 8);
    EXPECT_EQ(p.getNotesOn(), 0) << "the mode change resets the engine";

    p.setParameter(407, arpModeValue(13));  // a modulation-only arp mode
    e.render(128);
    EXPECT_FALSE(p.getOnOff(394));
    EXPECT_EQ(p.playMode, 0);

    p.setParameter(407, arpModeValue(2));  // back to a playing mode with Arp On off
    e.render(128);
    EXPECT_TRUE(p.getOnOff(394));
    EXPECT_EQ(p.playMode, 8);

    p.setParameter(394, 0.0f);
    e.render(128);
    EXPECT_EQ(p.playMode, 0);
    p.setParameter(407, arpModeValue(14));
    e.render(128);
    EXPECT_FALSE(p.getOnOff(394)) << "a Mod mode with Arp On off stays as it is";
    p.setParameter(244, playModeValue(8));  // choosing the Arp play mode turns Arp On on
    e.render(128);
    EXPECT_TRUE(p.getOnOff(394));
    EXPECT_EQ(p.getArpMode(), 0) << "and a Mod mode cannot run as the arpeggiator: Up";
}
