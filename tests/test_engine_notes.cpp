// Note start: chords and their strum through the offline host, the chord-mode cycles with
// reversed strums, tempo-synced strums, saturation of huge strum lengths, and the chord
// table's tuning and pan gains.
#include "test_engine_util.h"

using namespace enginetest;

namespace {

class EngineNotes : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("engine-notes")); }
};

float chordSemi(int semitones) { return ((float)(semitones + 48) + 0.1f) / 96.99f; }
float chordNotes(int count) { return stepped(count - 1, 5.99f); }

// Chord 1 on with the given notes (semitones), strum value and chord mode.
Params chordPatch(const std::vector<int>& semis, float strum, int mode = 0) {
    Params p = with(plainWave(1), {{554, 1.0f},
                                   {555, stepped(mode, 23.99f)},
                                   {CHORD_NOTES_TAGS[0], chordNotes((int)semis.size())},
                                   {CHORD_STRUM_TAGS[0], strum},
                                   {CHORD_STRUM_SYNC_ON_TAGS[0], 0.0f}});
    for (size_t i = 0; i < semis.size(); ++i)
        p.push_back({CHORD_SEMI_TAGS[0] + (int)i, chordSemi(semis[i])});
    return p;
}

int64_t divergence(const std::vector<float>& a, const std::vector<float>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return (int64_t)i;
    return -1;
}

}  // namespace

TEST_F(EngineNotes, ThreeNoteChordStrumsAtItsSpacing) {
    // Strum 0.5: (2^5 - 1) ms = 31 ms between notes, 1488 samples at 48 kHz.
    const int64_t start = 300;
    const int64_t spacing = 1488;
    const std::vector<tavhost::TimedMidiEvent> ev{midi(start, 0x90, 57, 100)};
    const Rendered one = render(chordPatch({0}, 0.5f), ev, 6000);
    const Rendered two = render(chordPatch({0, 4}, 0.5f), ev, 6000);
    const Rendered three = render(chordPatch({0, 4, 7}, 0.5f), ev, 6000);
    ASSERT_TRUE(one.clean && two.clean && three.clean);
    EXPECT_EQ(firstAbove(three.left, 1e-4f), start) << "the first chord note starts at its event";
    EXPECT_EQ(divergence(one.left, two.left), start + spacing) << "second note";
    EXPECT_EQ(divergence(two.left, three.left), start + 2 * spacing) << "third note";

    // Without strum all three start together.
    const Rendered flat1 = render(chordPatch({0}, 0.0f), ev, 3000);
    const Rendered flat3 = render(chordPatch({0, 4, 7}, 0.0f), ev, 3000);
    EXPECT_EQ(divergence(flat1.left, flat3.left), start);
}

TEST_F(EngineNotes, ChordModeAlternatesForwardAndReverseStrums) {
    Engine e;
    APlugin& p = e.p();
    e.set(chordPatch({0, 4, 7}, 0.5f, 4));  // "1 ALT": chord 1, then chord 1 reversed
    e.render(16);
    ASSERT_EQ(p.chordMode, 4);
    const int32_t s = 1488;
    for (int round = 0; round < 2; ++round) {
        e.noteOn(60);
        e.render(1);
        int v = p.curVoice;
        EXPECT_EQ(p.voiceLevelCount[v], 3);
        EXPECT_EQ(p.voiceFirstElement[v], 0);
        EXPECT_EQ(p.voiceElemAge[v][0], 1);
        EXPECT_EQ(p.voiceElemAge[v][1], -s + 1);
        EXPECT_EQ(p.voiceElemAge[v][2], -2 * s + 1);
        e.noteOff(60);
        e.noteOn(62);
        e.render(1);
        v = p.curVoice;
        EXPECT_EQ(p.voiceFirstElement[v], 2) << "reversed";
        EXPECT_EQ(p.voiceElemAge[v][0], -2 * s + 1);
        EXPECT_EQ(p.voiceElemAge[v][2], 1);
        e.noteOff(62);
        e.render(1);
    }
    // A reset starts the cycle again at its first position.
    e.noteOn(64);
    e.render(1);
    p.reset();
    e.noteOn(65);
    e.render(1);
    EXPECT_EQ(p.voiceFirstElement[p.curVoice], 0);
}

TEST_F(EngineNotes, EveryChordModeCyclesThroughItsChords) {
    // The longest cycle, "12344321 ALT": chords 1-4-1 forward, then the same reversed.
    Engine e;
    APlugin& p = e.p();
    Params patch = chordPatch({0, 7}, 0.2f, 22);
    for (int c = 1; c < 4; ++c) {
        patch.push_back({554, 1.0f});
        patch.push_back({CHORD_NOTES_TAGS[c], chordNotes(2)});
        patch.push_back({CHORD_STRUM_TAGS[c], 0.2f});
    }
    e.set(patch);
    e.render(16);
    ASSERT_EQ(p.chordMode, 22);
    const int expected[16] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 16; ++i) {
            e.noteOn(60);
            e.render(1);
            EXPECT_EQ(p.voiceChord[p.curVoice], expected[i]) << "position " << i;
            EXPECT_EQ(p.voiceFirstElement[p.curVoice], i < 8 ? 0 : 1) << "position " << i;
            e.noteOff(60);
            e.render(1);
        }
    }
    for (int mode = 0; mode < 23; ++mode) {
        p.setParameter(555, stepped(mode, 23.99f));
        p.forceControlUpdate = 1;
        e.render(1);
        for (int i = 0; i < 20; ++i) {
            e.noteOn(60);
            e.render(1);
            EXPECT_GE(p.voiceChord[p.curVoice], 0);
            EXPECT_LT(p.voiceChord[p.curVoice], 4);
            e.noteOff(60);
        }
    }
}

TEST_F(EngineNotes, SyncedAndHugeStrumsStayInRange) {
    Engine e;
    APlugin& p = e.p();
    Params patch = chordPatch({0, 4, 7}, stepped(8, 18.99f));  // "1/8 QB"
    patch.push_back({CHORD_STRUM_SYNC_ON_TAGS[0], 1.0f});
    e.set(patch);
    e.render(16);
    e.noteOn(60);
    e.render(1);
    // 120 BPM at 48 kHz: a whole note is 96000 samples, an eighth 12000.
    EXPECT_EQ(p.voiceElemAge[p.curVoice][1], -12000 + 1);
    EXPECT_EQ(p.voiceElemAge[p.curVoice][2], -24000 + 1);

    // A strum-speed factor far beyond any real one saturates instead of wrapping.
    p.modDestGlobal[17] = 1e30f;
    e.noteOn(62);
    e.render(1);
    const int v = p.curVoice;
    EXPECT_EQ(p.voiceElemAge[v][0], 1);
    EXPECT_LT(p.voiceElemAge[v][1], -1000000000);
    EXPECT_LT(p.voiceElemAge[v][2], -1000000000);
    e.render(256);
    EXPECT_LT(p.voiceElemAge[v][2], 0) << "still waiting, not wrapped to a start";
}

TEST_F(EngineNotes, ChordTableTunesAndPansItsNotes) {
    Engine e;
    APlugin& p = e.p();
    Params patch = chordPatch({0, 12, -5}, 0.0f);
    patch.push_back({CHORD_FINE_TAGS[0] + 1, 1.0f});  // +1 semitone of fine tune
    patch.push_back({CHORD_PAN_TAGS[0] + 2, 0.0f});
    patch.push_back({CHORD_VEL_TAGS[0] + 2, 0.5f});
    e.set(patch);
    e.render(1);
    EXPECT_FLOAT_EQ(p.chordRatio[0][0], 1.0f);
    EXPECT_NEAR(p.chordRatio[0][1], std::exp2(13.0f / 12.0f), 1e-5);
    EXPECT_NEAR(p.chordRatio[0][2], std::exp2(-5.0f / 12.0f), 1e-5);
    EXPECT_FLOAT_EQ(p.chordSemi[0][1], 12.0f);
    EXPECT_FLOAT_EQ(p.chordGain[0][2][0], 1.0f);
    EXPECT_FLOAT_EQ(p.chordGain[0][2][1], 0.0f);
    EXPECT_FLOAT_EQ(p.chordGain[0][0][0], 1.0f);
    EXPECT_FLOAT_EQ(p.chordGain[0][0][1], 1.0f);
    e.noteOn(60);
    e.render(1);
    const int v = p.curVoice;
    EXPECT_EQ(p.voiceLevelCount[v], 3);
    EXPECT_FLOAT_EQ(p.voiceElemSemi[v][2], -5.0f);
    EXPECT_FLOAT_EQ(p.voiceElemGain[v][2][1], 0.0f);
}
