// The engine: MIDI events and their timing, voices and their allocation in every play mode,
// chords and strums, and the output stage (clip, brick filter, spread, pending programs).
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <algorithm>

#include "platform/prefs.h"
#include "test_mod_util.h"

using namespace enginetest;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("engine")); }
};
using EngineMidi = EngineTest;
using EngineNotes = EngineTest;
using EngineOutput = EngineTest;
using EngineVoices = EngineTest;
using EngineTimes = EngineTest;

int pendingSlots(APlugin& p) {
    int n = 0;
    for (int i = 1; i < kMidiQueueSize; ++i)
        if (p.midiQueue[i]->deltaFrames != -99) ++n;
    return n;
}

int64_t divergence(const std::vector<float>& a, const std::vector<float>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return (int64_t)i;
    return -1;
}

int voiceOf(APlugin& p, int note) {
    for (int v = 0; v < kNumVoices; ++v)
        if (p.voiceNote[v] == note && p.voiceKeyOn[v]) return v;
    return -1;
}

// Short release so released voices fall silent within a few thousand samples.
Params quickRelease(int playMode = 0) {
    return with(plainWave(0), {{8, 0.1f}, {244, playModeValue(playMode)}});
}

float chordNotes(int count) { return stepped(count - 1, 5.99f); }

// Chord 1 on with the given notes (semitones), strum value and chord mode.
Params chordPatch(const std::vector<int>& semis, float strum, int mode = 0) {
    Params p = with(plainWave(1), {{554, 1.0f},
                                   {555, stepped(mode, 23.99f)},
                                   {CHORD_NOTES_TAGS[0], chordNotes((int)semis.size())},
                                   {CHORD_STRUM_TAGS[0], strum},
                                   {CHORD_STRUM_SYNC_ON_TAGS[0], 0.0f}});
    for (size_t i = 0; i < semis.size(); ++i)
        p.push_back({CHORD_SEMI_TAGS[0] + (int)i, ((float)(semis[i] + 48) + 0.1f) / 96.99f});
    return p;
}

// All three layers, one per model, full volume, a six-note chord per key.
Params loudPatch() {
    Params p = {{1, 1.0f},           {5, 0.0f},          {7, 1.0f},  {541, 0.0f},
                {554, 1.0f},         {CHORD_NOTES_TAGS[0], chordNotes(6)},
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

// --- MIDI input ---------------------------------------------------------------------------

TEST_F(EngineMidi, NotesStartAtTheSampleOfTheirEvent) {
    const Params params = plainWave(1);
    HostRun irregular, rate44;
    irregular.block = 512;
    irregular.randomBlockSeed = 7;
    rate44.rate = 44100.0;
    rate44.block = 1000;
    const std::pair<int64_t, HostRun> cases[] = {{0, HostRun()}, {3333, irregular}, {777, rate44}};
    for (const auto& c : cases) {
        const Rendered r = render(params, {midi(c.first, 0x90, 60, 100)}, c.first + 2000, c.second);
        ASSERT_TRUE(r.clean) << r.faults;
        EXPECT_EQ(firstAbove(r.left, 1e-4f), c.first) << "block " << c.second.block;
    }
    // A second note in the same block starts at its own sample.
    const Rendered one = render(params, {midi(100, 0x90, 60, 100)}, 1000);
    const Rendered two = render(params, {midi(100, 0x90, 60, 100), midi(170, 0x90, 67, 100)}, 1000);
    EXPECT_EQ(divergence(one.left, two.left), 170);
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
    e.render(1);
    EXPECT_EQ(p.midiQueueCount, 1);
    EXPECT_TRUE(p.voiceKeyOn[0] && p.voiceKeyOn[1]);
    e.render(8192);
    EXPECT_EQ(pendingSlots(p), 0) << "every slot came due and was freed";
    EXPECT_EQ(p.getNotesOn(), 3);

    // 300 events in one block: 250 are kept, the rest dropped, and all kept ones play.
    std::vector<std::vector<uint8_t>> many;
    for (int i = 0; i < 300; ++i) many.push_back({0xB0, 1, (uint8_t)(i % 128)});
    e.send(many, 10);
    EXPECT_EQ(pendingSlots(p), 250);
    e.render(11);
    EXPECT_EQ(pendingSlots(p), 0);
    EXPECT_FLOAT_EQ(p.modWheelValue, (float)(249 % 128) / 127.0f) << "kept in arrival order";
}

TEST_F(EngineMidi, ChannelPreferenceFiltersNotesAndNegativeMeansAll) {
    Engine e;
    APlugin& p = e.p();
    saveIntToPrefs("MIDIChannel", 40);
    p.updateMIDIChannel(false);
    EXPECT_EQ(p.midiChannel, -1) << "an unusable preference means every channel";
    saveIntToPrefs("MIDIChannel", 4);
    p.updateMIDIChannel(false);
    e.noteOn(60, 100, 4);
    e.noteOn(61, 100, 3);
    e.render(16);
    EXPECT_EQ(p.getNotesOn(), 1);
    saveIntToPrefs("MIDIChannel", -1);
    p.updateMIDIChannel(false);
    EXPECT_EQ(p.getNotesOn(), 0) << "a channel change switches everything off";
    e.noteOn(61, 100, 9);
    e.render(16);
    EXPECT_EQ(p.getNotesOn(), 1);
}

TEST_F(EngineMidi, BendsAreHeardGloballyAndPerChannelInPolyMpe) {
    const double rate = 48000.0;
    // Range up "2" semitones; the full bend arrives before the note.
    const Rendered r = render(with(plainWave(0), {{247, bendRangeValue(2)}}),
                              {midi(0, 0xE0, 127, 127), midi(10, 0x90, 57, 100)}, 28800);
    ASSERT_TRUE(r.clean);
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 4800, 19200, rate), formulaFrequency(59)), 0.0, 1.0);

    // Poly MPE: only the note of the bent channel moves.
    const Params mpe = with(plainWave(0), {{244, playModeValue(1)}, {247, bendRangeValue(2)}});
    const Rendered m = render(mpe, {midi(0, 0x90, 57, 100), midi(0, 0x91, 64, 100), midi(100, 0xE1, 127, 127)},
                              48000);
    ASSERT_TRUE(m.clean);
    const auto at = [&](int note) { return amplitudeAt(m.left, 9600, 32768, formulaFrequency(note), rate); };
    EXPECT_GT(at(57), 0.01) << "the channel 1 note keeps its pitch";
    EXPECT_GT(at(66), 0.01) << "the channel 2 note is bent a whole tone";
    EXPECT_LT(at(64), 0.05 * at(66));
}

TEST_F(EngineMidi, ABendAtRestIsMinusZeroOctavesAtEveryRange) {
    // A bend source of 0 is taken as -0 octaves without asking the ranges: the bits the
    // downward range gives for it.
    Engine e;
    APlugin& p = e.p();
    for (int range = 0; range < 16; ++range) {
        p.setParameter(246, bendRangeValue(range));
        p.setParameter(247, bendRangeValue(15 - range));
        const float scaled = -p.getPitchBendValue(246, 0.5f);
        for (float rest : {0.0f, -0.0f}) {
            const float octaves = p.pitchBendOctaves(rest);
            EXPECT_TRUE(octaves == 0.0f && std::signbit(octaves)) << "range step " << range;
            EXPECT_EQ(std::signbit(octaves), std::signbit(scaled)) << "range step " << range;
            EXPECT_EQ(octaves, scaled) << "range step " << range;
        }
    }
}

TEST_F(EngineMidi, PolyMpeNotesHeldAcrossThePedalStillRelease) {
    Engine e(with(plainWave(), {{244, playModeValue(1)}}));
    APlugin& p = e.p();
    e.noteOn(60, 100, 2);
    e.noteOn(64, 100, 5);
    e.render(16);
    e.send({{0xB2, 64, 127}});
    e.send({{0xB2, 64, 0}}, 5);
    e.render(16);
    const int v = voiceOf(p, 60);
    ASSERT_GE(v, 0);
    e.noteOff(60, 5);
    e.render(4);
    EXPECT_TRUE(p.voiceKeyOn[v]) << "a note-off on another channel leaves it";
    e.noteOff(60, 2);
    e.render(4);
    EXPECT_FALSE(p.voiceKeyOn[v]);
    EXPECT_EQ(p.getNotesOn(), 1);
}

TEST_F(EngineMidi, SustainPedalHoldsReleasedNotesUntilItRises) {
    // The key is released by a velocity-0 note-on; a program change does nothing.
    const Rendered r = render(with(plainWave(0), {{8, 0.2f}}),
                              {midi(0, 0x90, 69, 100), midi(600, 0xC0, 5, 0), midi(1000, 0xB0, 64, 127),
                               midi(2000, 0x90, 69, 0), midi(12000, 0xB0, 64, 0)},
                              24000);
    ASSERT_TRUE(r.clean);
    const double held = rms(r.left, 500, 400);
    EXPECT_GT(held, 0.01);
    EXPECT_NEAR(rms(r.left, 10000, 1000), held, 0.05 * held) << "still sustaining";
    EXPECT_LT(peak(r.left, 16000, 8000), 1e-5) << "released once the pedal rose";
}

TEST_F(EngineMidi, AllNotesOffControllersSilenceEverything) {
    for (uint8_t cc : {120, 121, 123}) {
        Engine e(plainWave());
        APlugin& p = e.p();
        e.noteOn(60);
        e.play(64, 32);
        p.midiCCMap[cc] = 3;  // never learned or mapped
        const float pan = p.paramValue[3];
        e.send({{0xB0, cc, 100}});
        e.render(1);
        EXPECT_EQ(p.getNotesOn(), 0) << "controller " << (int)cc;
        EXPECT_FLOAT_EQ(p.paramValue[3], pan);
    }
}

TEST_F(EngineMidi, ModWheelPressureAndControllerSources) {
    Engine e(plainWave());
    APlugin& p = e.p();
    e.play(60, 16);
    e.send({{0xB0, 1, 127}, {0xB0, 74, 64}, {0xD0, 100, 0}});
    e.render(12000);  // the smoothers move 1 % toward the value every 16 samples
    EXPECT_NEAR(p.modSrcGlobal[1], 1.0f, 0.01f) << "smoothed global mod wheel";
    EXPECT_NEAR(p.modSrcVoice[0][32], 64.0f / 127.0f, 0.01f) << "CC74 feeds source 32";
    EXPECT_NEAR(p.modSrcVoice[0][3], 100.0f / 127.0f, 0.01f) << "channel pressure";
    EXPECT_NEAR(p.modSrcVoice[0][2], 1.0f, 0.01f) << "the larger of wheel and pressure";
    // Poly pressure for a note nobody plays reaches every voice; for a playing note its own.
    e.send({{0xA0, 99, 127}});
    e.send({{0xA0, 60, 0}}, 1);
    e.render(2);
    EXPECT_FLOAT_EQ(p.voicePolyPressure[0], 0.0f);
    EXPECT_FLOAT_EQ(p.voicePolyPressure[1], 1.0f);
}

// --- chords and strums ----------------------------------------------------------------------

TEST_F(EngineNotes, ThreeNoteChordStrumsAtItsSpacing) {
    // Strum 0.5: (2^5 - 1) ms = 31 ms between notes, 1488 samples at 48 kHz.
    const int64_t start = 300, spacing = 1488;
    const std::vector<tavhost::TimedMidiEvent> ev{midi(start, 0x90, 57, 100)};
    const Rendered one = render(chordPatch({0}, 0.5f), ev, 6000);
    const Rendered two = render(chordPatch({0, 4}, 0.5f), ev, 6000);
    const Rendered three = render(chordPatch({0, 4, 7}, 0.5f), ev, 6000);
    EXPECT_EQ(firstAbove(three.left, 1e-4f), start);
    EXPECT_EQ(divergence(one.left, two.left), start + spacing);
    EXPECT_EQ(divergence(two.left, three.left), start + 2 * spacing);
    // Without strum all three start together.
    EXPECT_EQ(divergence(render(chordPatch({0}, 0.0f), ev, 3000).left,
                         render(chordPatch({0, 4, 7}, 0.0f), ev, 3000).left), start);
}

TEST_F(EngineNotes, ChordModeAlternatesForwardAndReverseStrums) {
    Engine e(chordPatch({0, 4, 7}, 0.5f, 4));  // "1 ALT": chord 1, then chord 1 reversed
    APlugin& p = e.p();
    const int32_t s = 1488;
    e.play(60);
    EXPECT_EQ(p.voiceElemAge[p.curVoice][2], -2 * s + 1);
    e.noteOff(60);
    e.play(62);
    const int v = p.curVoice;
    EXPECT_EQ(p.voiceFirstElement[v], 2) << "reversed";
    EXPECT_EQ(p.voiceElemAge[v][0], -2 * s + 1);
    EXPECT_EQ(p.voiceElemAge[v][2], 1);
    // A reset starts the cycle again at its first position.
    e.play(64);
    p.reset();
    e.play(65);
    EXPECT_EQ(p.voiceFirstElement[p.curVoice], 0);
}

TEST_F(EngineNotes, ChordTableFollowsEachOfItsParametersOnceBuilt) {
    Engine e(chordPatch({0, 4, 7}, 0.0f));
    APlugin& p = e.p();
    const float ratio = p.chordRatio[3][2], gain = p.chordGain[3][2][1];
    e.set({{CHORD_SEMI_TAGS[3] + 2, stepped(55, 96.99f)}, {CHORD_PAN_TAGS[3] + 2, 0.25f}});
    e.render(16);
    EXPECT_NE(p.chordRatio[3][2], ratio);
    EXPECT_FLOAT_EQ(p.chordSemi[3][2], 7.0f);
    EXPECT_NE(p.chordGain[3][2][1], gain);
    e.set({{CHORD_FINE_TAGS[0] + 1, 1.0f}});
    e.render(16);
    EXPECT_FLOAT_EQ(p.chordRatio[0][1], std::exp2(1.0f / 12.0f + p.chordSemi[0][1] / 12.0f));
}

TEST_F(EngineNotes, EveryChordModeCyclesThroughItsChords) {
    // The longest cycle, "12344321 ALT": chords 1-4-1 forward, then the same reversed.
    Params patch = chordPatch({0, 7}, 0.2f, 22);
    for (int c = 1; c < 4; ++c) {
        patch.push_back({CHORD_NOTES_TAGS[c], chordNotes(2)});
        patch.push_back({CHORD_STRUM_TAGS[c], 0.2f});
    }
    Engine e(patch);
    APlugin& p = e.p();
    const int expected[16] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 3, 2, 1, 0};
    for (int i = 0; i < 18; ++i) {
        e.play(60);
        EXPECT_EQ(p.voiceChord[p.curVoice], expected[i % 16]) << "position " << i;
        EXPECT_EQ(p.voiceFirstElement[p.curVoice], i % 16 < 8 ? 0 : 1) << "position " << i;
        e.lift(60);
    }
}

TEST_F(EngineNotes, SyncedAndHugeStrumsStayInRange) {
    Params patch = chordPatch({0, 4, 7}, stepped(8, 18.99f));  // "1/8 QB"
    patch.push_back({CHORD_STRUM_SYNC_ON_TAGS[0], 1.0f});
    Engine e(patch);
    APlugin& p = e.p();
    e.play(60);
    // 120 BPM at 48 kHz: an eighth is 12000 samples.
    EXPECT_EQ(p.voiceElemAge[p.curVoice][2], -24000 + 1);

    // A strum-speed factor far beyond any real one saturates instead of wrapping.
    p.modDestGlobal[17] = 1e30f;
    e.play(62);
    const int v = p.curVoice;
    EXPECT_EQ(p.voiceElemAge[v][0], 1);
    EXPECT_LT(p.voiceElemAge[v][1], -1000000000);
    e.render(256);
    EXPECT_LT(p.voiceElemAge[v][2], 0) << "still waiting, not wrapped to a start";
}

// --- the output stage and the host boundary -------------------------------------------------

TEST_F(EngineOutput, LoadedOutputStaysWithinTheClipAndClean) {
    for (double rate : {22050.0, 44100.0, 96000.0, 192000.0}) {
        for (int32_t block : {1, 64, 1000, 8192}) {
            if (block == 1 && rate > 50000.0) continue;  // slow and adds nothing
            HostRun run;
            run.rate = rate;
            run.block = block;
            run.randomBlockSeed = block == 1000 ? 99u : 0u;
            // At the lowest rate the brick filter runs at its top setting, where it must stay stable.
            const Params patch = rate < 30000.0 ? with(loudPatch(), {{1018, 1.0f}, {1019, 1.0f}}) : loudPatch();
            const Rendered r = render(patch, busyPhrase(rate), (int64_t)(1.5 * rate), run);
            ASSERT_TRUE(r.clean) << r.faults << " at " << rate << " Hz, block " << block;
            const double top = std::fmax(peak(r.left, 0, r.left.size()), peak(r.right, 0, r.right.size()));
            EXPECT_LE(top, (double)0.99f) << rate << " Hz, block " << block;
            EXPECT_GT(top, 0.5) << "the patch is loud enough to reach the clip";
        }
    }
}

TEST_F(EngineOutput, BrickFilterCutsAHighToneAndPassesALowOne) {
    // Cutoff 20 x 2^(12 x 0.3) = 242 Hz; two two-pole sections fall 24 dB per octave.
    const double fc = 20.0 * std::exp2(12.0 * 0.3);
    const auto level = [&](int note, float on) {
        const Rendered r = render(with(plainWave(0), {{1019, 0.3f}, {1018, on}}),
                                  {midi(0, 0x90, (uint8_t)note, 100)}, 24000);
        return amplitudeAt(r.left, 4000, 16384, formulaFrequency(note), 48000.0);
    };
    EXPECT_NEAR(std::log2(level(105, 1.0f) / level(105, 0.0f)), 4.0 * std::log2(fc / formulaFrequency(105)), 1.0);
    EXPECT_NEAR(level(45, 1.0f), level(45, 0.0f), 0.1 * level(45, 0.0f)) << "two octaves below the cutoff";
}

TEST_F(EngineOutput, MonoSpreadNarrowsTheStereoImage) {
    Engine e(with(plainWave(1), {{PAN_TAGS[0], 0.0f}}));  // layer 1 hard left
    e.play(60, 2000);
    std::vector<float> left = e.render(256);
    EXPECT_GT(peak(left, 0, 256), 0.01);
    EXPECT_LT(peak(e.lastRight, 0, 256), 1e-6);
    // Mono Spread through a slot: Offset (source 130) adds 2 x amount - 1.
    const auto spread = [](float amount) {
        return Params{{361, 0.0f}, {369, (130 + 0.1f) / 199.99f}, {377, (11 + 0.1f) / 499.99f}, {385, amount}};
    };
    e.set(spread(1.0f));
    left = e.render(256);
    for (size_t i = 0; i < left.size(); ++i) ASSERT_FLOAT_EQ(left[i], e.lastRight[i]);
    EXPECT_GT(peak(left, 0, 256), 0.005);
    e.set(spread(0.75f));
    left = e.render(256);
    EXPECT_GT(peak(e.lastRight, 0, 256), 0.001);
    EXPECT_LT(peak(e.lastRight, 0, 256), peak(left, 0, 256));
    // Left of centre (L = 1, R = 0.6): narrowing keeps the mid (L + R) and scales the side
    // (L - R) by the width, sample for sample against the same note unnarrowed.
    const auto take = [&](float amount) {
        Engine c(with(with(plainWave(1), {{PAN_TAGS[0], 0.4f}}), spread(amount)));
        c.play(60, 2000);
        std::vector<float> l = c.render(512);
        return std::make_pair(l, c.lastRight);
    };
    const auto wide = take(0.0f);
    ASSERT_GT(peak(wide.second, 0, 512), 0.3 * peak(wide.first, 0, 512));
    for (float amount : {0.75f, 1.0f}) {
        const auto narrow = take(amount);
        const float w = 2.0f - 2.0f * amount;
        for (size_t i = 0; i < 512; ++i) {
            ASSERT_NEAR(narrow.first[i] + narrow.second[i], wide.first[i] + wide.second[i], 1e-5f) << i;
            ASSERT_NEAR(narrow.first[i] - narrow.second[i], w * (wide.first[i] - wide.second[i]), 1e-5f) << i;
        }
    }
}

TEST_F(EngineOutput, AProgramChangeFadesAChordOutOverAFewMilliseconds) {
    const std::vector<tavhost::TimedMidiEvent> chord = {midi(0, 0x90, 60, 100), midi(0, 0x90, 64, 100),
                                                        midi(0, 0x90, 67, 100), midi(0, 0x90, 72, 100)};
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        HostRun run;
        run.rate = rate;
        run.block = 64;
        const size_t change = (size_t)(0.3 * rate) / 64 * 64, ms = (size_t)(rate / 1000.0);
        const int64_t frames = (int64_t)(change + 20 * ms);
        const Rendered plain = render(plainWave(0), chord, frames, run);
        run.beforeBlock = [&](tavhost::VstPlugin& p, int64_t frame, int32_t) {
            if (frame == 8192 + (int64_t)change) p.dispatch(effSetProgram, 0, 0);
        };
        const Rendered changed = render(plainWave(0), chord, frames, run);
        ASSERT_EQ(changed.left.size(), plain.left.size());
        for (size_t i = 0; i < change; ++i) ASSERT_EQ(changed.left[i], plain.left[i]) << rate << " Hz, sample " << i;
        // Over the change: no step beyond what the chord itself makes from sample to sample; still
        // sounding 2 ms on, silent (its voices stopped) from 5 ms on.
        double chordStep = 0.0, step = 0.0;
        for (size_t i = change - 5 * ms; i < change + 6 * ms; ++i) {
            chordStep = std::fmax(chordStep, std::fabs(plain.left[i] - plain.left[i - 1]));
            step = std::fmax(step, std::fabs(changed.left[i] - changed.left[i - 1]));
        }
        const double before = rms(plain.left, change - 5 * ms, 5 * ms);
        ASSERT_GT(before, 0.05) << rate;
        EXPECT_LE(step, 1.05 * chordStep) << rate << " Hz";
        EXPECT_GT(rms(changed.left, change, ms / 2), 0.8 * rms(plain.left, change, ms / 2)) << rate << " Hz";
        EXPECT_GT(rms(changed.left, change + 3 * ms / 2, ms / 2), 0.1 * rms(plain.left, change + 3 * ms / 2, ms / 2))
            << rate << " Hz";
        EXPECT_LT(peak(changed.left, change + 5 * ms, 10 * ms), 1e-6) << rate << " Hz";
    }
}

TEST_F(EngineOutput, PendingProgramSilencesUntilTheNextBoundary) {
    Engine e(plainWave(1));
    APlugin& p = e.p();
    e.play(60, 1000);
    const uint32_t untilBoundary = (4096u - (p.blockCounter & 4095u)) & 4095u;
    ASSERT_GT(untilBoundary, 200u);
    const uint32_t samplesBefore = p.sampleCounter;
    e.render(100);
    p.setParameter(kPresetTriggerTag, 0.0f);  // half way through a block
    std::vector<float> out = e.render((int)untilBoundary - 100 + 1);
    EXPECT_LT(peak(out, 0, out.size()), 1e-9) << "silent until the boundary";
    EXPECT_FALSE(p.presetPending) << "applied at the boundary";
    EXPECT_EQ(p.sampleCounter, samplesBefore + untilBoundary + 1) << "it keeps counting";
    e.noteOn(60);
    EXPECT_GT(peak(e.render(256), 0, 256), 0.01) << "playing again after the boundary";
}

TEST_F(EngineOutput, EmptyAndNullBlocksAreHarmless) {
    Engine e(plainWave(1));
    APlugin& p = e.p();
    e.play(60, 300);
    const uint32_t samples = p.sampleCounter;
    float l[8] = {7.0f}, r[8] = {7.0f};
    float* out[2] = {l, r};
    p.processReplacing(nullptr, out, -5);
    EXPECT_EQ(std::make_pair(p.sampleCounter, l[0]), std::make_pair(samples, 7.0f));
    p.processReplacing(nullptr, nullptr, 64);
    float* half[2] = {l, nullptr};
    p.processReplacing(nullptr, half, 8);
    EXPECT_EQ(p.sampleCounter, samples + 72);
    EXPECT_TRUE(l[0] != 7.0f && std::fabs(l[0]) <= 0.99f);
}

TEST_F(EngineOutput, DenormalModeIsSetInsideAndRestoredAfterwards) {
    Engine e;
    const unsigned before = _mm_getcsr();
    for (unsigned mode : {before & ~0x8040u, before | 0x8040u}) {
        _mm_setcsr(mode);
        e.render(64);
        EXPECT_EQ(_mm_getcsr(), mode);
    }
    _mm_setcsr(before);
}

TEST_F(EngineOutput, HostTempoIsClampedAndNonFiniteTempoIgnored) {
    Engine e;
    APlugin& p = e.p();
    VstTimeInfo ti{};
    p.timeInfo = &ti;
    const struct { int flags; double tempo; float expected; } steps[] = {
        {kVstTempoValid, 90.0, 90.0f},        {kVstTempoValid, std::nan(""), 90.0f},
        {kVstTempoValid, INFINITY, 90.0f},    {kVstTempoValid, 0.5, 1.0f},
        {kVstTempoValid, 40000.0, 30000.0f},  {0, 60.0, 30000.0f}};
    for (const auto& s : steps) {
        ti.flags = s.flags;
        ti.tempo = s.tempo;
        p.updateTempo();
        EXPECT_FLOAT_EQ(p.tempo, s.expected) << "host tempo " << s.tempo;
    }
    p.timeInfo = nullptr;
}

TEST_F(EngineOutput, SampleRateChangesOnlyForRealRates) {
    Engine e(plainWave(1));
    APlugin& p = e.p();
    e.play(60, 64);
    p.setSampleRate(4.0f);
    p.setSampleRate(600000.0f);
    p.setSampleRate(48000.0f);
    EXPECT_FLOAT_EQ(p.curSampleRate, 48000.0f);
    EXPECT_EQ(p.getNotesOn(), 1) << "the same rate again does not reset";
    p.setSampleRate(96000.0f);
    EXPECT_DOUBLE_EQ(p.baseNoteIncrement, 110.0 / 96000.0);
    EXPECT_EQ(p.getNotesOn(), 0);
}

TEST_F(EngineOutput, LayerOutputSourcesOfEveryVoiceAreCurrentAfterEachBlock) {
    // Unrouted, they are written for most voices only where a later pass could read them;
    // a host block's end (here of odd lengths) is such a place, and so is a voice's end (a
    // release long enough to leave it sounding until the list drops it).
    Engine e(with(plainWave(1), {{ENV_TAGS[3][0], 0.45f}}));
    APlugin& p = e.p();
    e.render(5);  // the voices' 16-sample steps off the engine's
    e.noteOn(48);
    e.noteOn(55);
    e.noteOn(64);
    for (int block : {37, 5, 64, 13}) {
        e.render(block, block);
        ASSERT_GE(p.activeVoiceCount, 3);
        for (int a = 0; a < p.activeVoiceCount; ++a) {
            const int v = p.activeVoiceList[a];
            const float* src = p.modSrcVoice[v];
            EXPECT_EQ(src[118], p.layerOn[0] ? p.getLayerVoiceOutput(0, v) : 0.0f) << block;
            EXPECT_EQ(src[119], p.layerOn[1] ? p.getLayerVoiceOutput(1, v) : 0.0f) << block;
            EXPECT_EQ(src[120], src[118] + src[119]) << block;
        }
    }
    // Voices that end inside a block keep those of their last sample.
    const std::vector<int> voices(p.activeVoiceList, p.activeVoiceList + p.activeVoiceCount);
    for (int note : {48, 55, 64}) e.noteOff(note);
    e.render(96000, 512);
    ASSERT_EQ(p.activeVoiceCount, 0);
    for (int v : voices) {
        EXPECT_EQ(p.modSrcVoice[v][118], p.layerOn[0] ? p.getLayerVoiceOutput(0, v) : 0.0f);
        EXPECT_EQ(p.modSrcVoice[v][119], p.layerOn[1] ? p.getLayerVoiceOutput(1, v) : 0.0f);
    }
}

TEST_F(EngineOutput, ScopeRingsHoldTheLastVoiceAndReadOutAsDisplayPoints) {
    float pts[2];
    Engine e(plainWave(1));
    APlugin& p = e.p();
    e.play(60, 20000);
    const uint32_t newest = (p.sampleCounter - 1u) & (APlugin::kScopeRingSize - 1);
    EXPECT_NE(p.scopeBuffer[newest], 0.0f);
    EXPECT_FLOAT_EQ(p.scopeBuffer[newest], p.modSrcVoice[p.lastVoice][118]);
    p.scopeBuffer[newest] = 3.0f;
    p.scopeBuffer[(p.sampleCounter - 1u - 16384u) & (APlugin::kScopeRingSize - 1)] = -3.0f;
    p.getWaveDisplay(0, 2, 1.0f, pts);
    EXPECT_EQ(std::make_pair(pts[0], pts[1]), std::make_pair(0.0f, 1.0f));

    // Past 2^31 samples the display still reads the rings.
    p.sampleCounter = 0x80001000u;
    e.play(60, 512);
    p.getWaveDisplay(0, 2, 1.0f / 64.0f, pts);
    EXPECT_NE(pts[1], 0.5f);
}

// --- voice allocation and play modes ------------------------------------------------------

TEST_F(EngineVoices, NewNotesTakeTheLowestSilentVoice) {
    Engine e(quickRelease());
    APlugin& p = e.p();
    for (int i = 0; i < 5; ++i) e.noteOn(60 + i);
    e.render(64);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(voiceOf(p, 60 + i), i);
    e.lift(61, 20000);
    e.play(70);
    EXPECT_EQ(voiceOf(p, 70), 1);
    EXPECT_EQ(p.lastVoice, 1);
}

TEST_F(EngineVoices, FifteenSoundingVoicesKeepOneFree) {
    // 15 held and the current voice is the silent one: the quietest held voice is faded
    // out fast and the current voice is taken again.
    Engine e(quickRelease());
    APlugin& p = e.p();
    for (int i = 0; i < 16; ++i) e.noteOn(40 + i);
    e.render(64);
    e.noteOff(55);  // voice 15, the current one
    e.render(20000);
    ASSERT_EQ(p.getNotesPlaying(), 15);
    e.play(81);
    EXPECT_EQ(voiceOf(p, 81), 15);
    EXPECT_TRUE(p.voiceStolen[0]) << "equal levels: the lowest-numbered held voice";
    e.render(4000);
    EXPECT_FALSE(p.isVoiceSounding(0)) << "the stolen voice fades fast";
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
    const auto level = [&](size_t at, int note) {
        return amplitudeAt(r.left, at, 16384, formulaFrequency(note), rate);
    };
    EXPECT_GT(level(4000, 36), 0.001);
    EXPECT_LT(level(28000, 36), 0.01 * level(4000, 36)) << "the first note's voice went to the 17th note";
    EXPECT_NEAR(level(28000, 40), level(4000, 40), 0.02 * level(4000, 40)) << "the others play on";
    EXPECT_GT(level(28000, 98), 0.5 * level(4000, 36));
}

TEST_F(EngineVoices, WithEveryVoiceSoundingTheQuietestReleasedVoiceGoes) {
    // Keys on voices 0..13 at sustain, three of them released one after another (voice 3 has
    // decayed furthest), then a key on voice 14 still in its slow attack, quieter than any.
    // The next note takes the silent voice 15, the one after it the quietest released voice,
    // not the quieter held one; the held keys and the other releases play on.
    for (int mode : {0, 1}) {  // Poly, Poly MPE (one channel per key)
        Engine e(with(plainWave(0), {{1, 0.3f}, {5, 0.6f}, {8, 0.7f}, {244, playModeValue(mode)}}));
        APlugin& p = e.p();
        const auto key = [&](int i, bool on) {
            const int ch = mode == 1 ? i % 15 : 0;
            on ? e.noteOn(40 + i, 100, ch) : e.noteOff(40 + i, ch);
        };
        for (int i = 0; i < 14; ++i) key(i, true);
        e.render(24000);
        for (int i : {3, 7, 11}) key(i, false), e.render(4000);
        key(14, true), e.render(64);
        ASSERT_EQ(voiceOf(p, 54), 14);
        ASSERT_LT(p.getVoiceLevel(14), p.getVoiceLevel(3)) << "the held voice is the quietest";
        ASSERT_LT(p.getVoiceLevel(3), p.getVoiceLevel(7)) << mode;
        ASSERT_LT(p.getVoiceLevel(7), p.getVoiceLevel(11));
        ASSERT_LT(p.getVoiceLevel(11), p.getVoiceLevel(0)) << "released below sustained";
        ASSERT_GT(p.getVoiceLevel(3), 1e-3f) << "every voice still sounds";
        key(20, true), e.render(1);
        EXPECT_EQ(voiceOf(p, 60), 15) << mode;
        key(21, true), e.render(1);
        EXPECT_EQ(voiceOf(p, 61), 3) << mode;
        EXPECT_FALSE(p.voiceStolen[3]);
        e.render(4000);
        for (int i = 0; i < 15; ++i)
            if (i != 3 && i != 7 && i != 11) EXPECT_EQ(voiceOf(p, 40 + i), i) << mode;
        for (int v : {7, 11}) EXPECT_TRUE(p.isVoiceSounding(v) && !p.voiceKeyOn[v]) << v;
        EXPECT_EQ(p.getNotesPlaying(), 16);
    }
}

TEST_F(EngineVoices, MonoAndLegatoFallBackThroughThreeHeldKeysInAnyReleaseOrder) {
    // Keys pressed in order, then released in order; after each release the note heard
    // (0: silence). Hi and Lo modes refuse a key on the wrong side of the newest one.
    const struct { std::vector<int> modes, press, release, heard; } rows[] = {
        {{2, 5}, {60, 64, 67}, {64, 67, 60}, {67, 60, 0}},
        {{2, 5}, {60, 64, 67}, {67, 60, 64}, {64, 64, 0}},
        {{2, 5}, {60, 64, 67}, {60, 67, 64}, {67, 64, 0}},
        {{3, 6}, {60, 67, 64}, {67, 64, 60}, {60, 60, 0}},
        {{4, 7}, {67, 64, 60}, {60, 67, 64}, {64, 64, 0}},
        {{4, 7}, {64, 60, 67}, {60, 67, 64}, {64, 64, 0}}};
    for (int mode = 2; mode <= 7; ++mode) {
        const bool legato = mode >= 5;
        Engine e(with(quickRelease(mode), {{245, portModeValue(0)}}));
        APlugin& p = e.p();
        for (const auto& r : rows) {
            if (std::find(r.modes.begin(), r.modes.end(), mode) == r.modes.end()) continue;
            for (int n : r.press) e.play(n, 1000);
            int voice = p.curVoice;
            for (size_t i = 0; i < r.release.size(); ++i) {
                SCOPED_TRACE(testing::Message() << "mode " << mode << " release " << r.release[i]);
                const int heard = p.voiceNote[p.curVoice];
                e.lift(r.release[i]);
                if (!r.heard[i]) {
                    EXPECT_EQ(p.getNotesOn(), 0);
                    continue;
                }
                const std::vector<float> out = e.render(4800);
                EXPECT_NEAR(cents(zeroCrossingFrequency(out, 2400, 2400, 48000.0), formulaFrequency(r.heard[i])), 0, 5);
                // Mono retriggers on a new voice when the sounding key goes; legato never does.
                EXPECT_EQ(p.curVoice != voice, !legato && heard != r.heard[i]);
                voice = p.curVoice;
            }
            e.render(4800);
        }
        // More keys than voices: twenty held, one key-on voice; back down to the first.
        if (mode != 2 && mode != 5) continue;
        for (int n = 40; n < 60; ++n) e.play(n, 200);
        for (int n = 59; n > 40; --n) e.lift(n, 64);
        const std::vector<float> out = e.render(4800);
        int keyOn = 0;
        for (int v = 0; v < kNumVoices; ++v) keyOn += p.voiceKeyOn[v];
        EXPECT_EQ(keyOn, 1) << "mode " << mode;
        EXPECT_NEAR(cents(zeroCrossingFrequency(out, 2400, 2400, 48000.0), formulaFrequency(40)), 0, 5) << mode;
    }
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
    const std::pair<size_t, int> heard[] = {{2400, 60}, {12000, 64}, {21600, 67}, {36000, 64}};
    for (const auto& h : heard)
        EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, h.first, n, rate), formulaFrequency(h.second)), 0, 2)
            << "at " << h.first;
    EXPECT_NEAR(rms(r.left, 36000, n), rms(r.left, 12000, n), 0.05 * rms(r.left, 12000, n));
}

TEST_F(EngineVoices, MonoHiAndLoIgnoreTheOtherSide) {
    for (int mode : {3, 4}) {
        Engine e(quickRelease(mode));
        APlugin& p = e.p();
        e.play(64, 64);
        const int voice = p.curVoice;
        const int ignored = mode == 3 ? 60 : 67;
        const int accepted = mode == 3 ? 67 : 60;
        e.play(ignored, 64);
        EXPECT_EQ(p.voiceNote[p.curVoice], 64) << "mode " << mode;
        e.lift(ignored, 64);
        EXPECT_TRUE(p.voiceKeyOn[voice]) << "its release does nothing either";
        e.play(accepted);
        EXPECT_EQ(p.voiceNote[p.curVoice], accepted);
    }
}

TEST_F(EngineVoices, LegatoGlidesWithoutRetrigger) {
    const double rate = 48000.0;
    // Legato with a constant-time glide of 2^(12 x 0.75) = 512 ticks of 16 samples.
    const Params params = with(quickRelease(5), {{245, portModeValue(2)}, {4, 0.75f}});
    const Rendered r = render(params, {midi(0, 0x90, 57, 100), midi(9600, 0x90, 69, 20)}, 30000);
    ASSERT_TRUE(r.clean);
    EXPECT_LT(zeroCrossingFrequency(r.left, 9600, 1600, rate), formulaFrequency(59));
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 13000, 1600, rate), formulaFrequency(63)), 0.0, 100.0)
        << "half way after half the time";
    EXPECT_NEAR(cents(zeroCrossingFrequency(r.left, 18192, 4800, rate), formulaFrequency(69)), 0.0, 2.0);
    EXPECT_NEAR(rms(r.left, 20000, 4800), rms(r.left, 4000, 4800), 0.05 * rms(r.left, 4000, 4800))
        << "the soft second note keeps the first note's level";

    Engine e(params);
    APlugin& p = e.p();
    e.play(57, 1000);
    const int voice = p.curVoice;
    e.noteOn(69, 20);
    e.render(1);
    EXPECT_EQ(p.voiceCounter[voice], 1001) << "no retrigger";
    e.lift(69);
    EXPECT_EQ(p.curVoice, voice);
    EXPECT_EQ(p.voiceNote[voice], 57) << "back to the held note, still without retrigger";
}

TEST_F(EngineVoices, HeldPortamentoGlidesOnlyWhileTwoKeysAreHeld) {
    Engine e(with(quickRelease(0), {{245, portModeValue(3)}, {4, 0.5f}}));
    APlugin& p = e.p();
    e.play(57, 200);
    e.lift(57, 8000);  // until the released note has faded
    e.play(69, 64);
    const int v = p.curVoice;
    EXPECT_FLOAT_EQ(p.glidePitch[v], p.voicePitch[v]) << "one key: no glide";
    e.play(72, 64);
    const int w = p.curVoice;
    EXPECT_LT(p.glidePitch[w], p.voicePitch[w]) << "two keys: glides up";
    EXPECT_GT(p.glidePitch[w], p.voicePitch[v]);
}

TEST_F(EngineVoices, ArpPedalLatchHoldsReleasedKeysUntilThePedalRises) {
    Engine e(with(quickRelease(8), {{394, 1.0f}}), 256);
    APlugin& p = e.p();
    for (int n : {60, 64, 67}) e.noteOn(n);
    e.send({{0xB0, 64, 127}});
    e.render(1);
    for (int n : {60, 64, 67}) e.lift(n);
    EXPECT_EQ(p.arpHeldCount, 3) << "the pedal keeps the notes in the arp";
    e.send({{0xB0, 64, 0}});
    e.render(1);
    EXPECT_EQ(p.arpHeldCount, 0);
    EXPECT_EQ(p.arpPedalNotes[0], 0);
}

TEST_F(EngineVoices, UiResetsWaitForTheNextBlockWhileProcessing) {
    Engine e(quickRelease());
    APlugin& p = e.p();
    // Suspended (never resumed): a reset acts at once.
    e.play(60, 16);
    p.reset();
    EXPECT_EQ(p.getNotesOn(), 0);

    p.resume();
    e.play(62, 16);
    p.reset();
    p.previewNoteOn();
    EXPECT_GE(voiceOf(p, 62), 0) << "handed to the audio thread";
    e.render(1);
    EXPECT_EQ(p.getNotesOn(), 1) << "reset, then the preview note";
    EXPECT_EQ(p.voiceNote[p.curVoice], 60);
    p.previewNoteReleased();
    EXPECT_EQ(p.getNotesOn(), 1);
    e.render(1);
    EXPECT_EQ(p.getNotesOn(), 0);

    // Suspending runs what is still pending.
    e.play(64, 4);
    p.reset();
    EXPECT_EQ(p.getNotesOn(), 1);
    p.engineSuspend();
    EXPECT_EQ(p.getNotesOn(), 0);
}

TEST_F(EngineVoices, ArpOnAndTheArpPlayModeFollowEachOther) {
    Engine e(quickRelease(0), 256);
    APlugin& p = e.p();
    const auto arpMode = [](int m) { return stepped(m, 19.99f); };
    e.play(60, 16);
    // Each step: a parameter change, then Arp On and the play mode it must leave.
    const struct { int tag; float value; bool arpOn; int playMode; } steps[] = {
        {394, 1.0f, true, 8},          // Arp On switches to the Arp play mode
        {407, arpMode(13), false, 0},  // a modulation-only arp mode
        {407, arpMode(2), true, 8},    // back to a playing mode with Arp On off
        {394, 0.0f, false, 0},
        {407, arpMode(14), false, 0},  // a Mod mode with Arp On off stays as it is
        {244, playModeValue(8), true, 8}};
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        p.setParameter(steps[i].tag, steps[i].value);
        e.render(128);
        EXPECT_EQ(p.getOnOff(394), steps[i].arpOn) << "step " << i;
        EXPECT_EQ(p.playMode, steps[i].playMode) << "step " << i;
        if (i == 0) {
            EXPECT_EQ(p.getNotesOn(), 0) << "the mode change resets the engine";
        }
    }
    EXPECT_EQ(p.getArpMode(), 0) << "a Mod mode cannot run as the arpeggiator: Up";
}

// --- time settings heard as times ------------------------------------------------------------

namespace {

// A 10 ms saw at frame 0 into one effect set all wet: the frame a channel first sounds.
int64_t onsetThrough(const Params& effect, bool right, double tempo = 120.0, int64_t frames = 30000) {
    HostRun run;
    run.tempo = tempo;
    const Params p = with(with(plainWave(1), modtest::noSlots()), {{8, 0.0f}});
    const Rendered r = render(with(p, effect), {midi(0, 0x90, 60, 100), midi(480, 0x80, 60, 0)}, frames, run);
    EXPECT_TRUE(r.clean) << r.faults;
    return firstAbove(right ? r.right : r.left, 1e-3f);
}

// Reverb pre-delay in samples at 48 kHz: 2^(10 v) / 2000 s plus one sample.
int64_t preDelay(float v) { return (int64_t)(std::exp2(10.0 * v) / 2000.0 * 48000.0 + 1.0); }

float delaySynced(int index) { return ((float)index + 0.5f) / 14.99f; }

}  // namespace

TEST_F(EngineTimes, DelayEchoesAndTheReverbsFirstReflectionLandAtTheirLengths) {
    // Delay, feedback off, all wet: free lengths 2^(12 v) ms, synced ones in whole notes of
    // 240 / tempo seconds; one sample more each. Within 2 samples.
    const struct { float left, right; bool synced; double tempo; int64_t l, r; } delays[] = {
        {0.5f, 0.75f, false, 120.0, 3072 + 1, 24576 + 1},
        {delaySynced(10), delaySynced(4), true, 120.0, 24000 + 1, 6000 + 1},  // 1/4, 1/16
        {delaySynced(10), delaySynced(7), true, 150.0, 19200 + 1, 9600 + 1}};   // 1/4, 1/8
    for (const auto& d : delays) {
        const Params p = {{351, 1.0f}, {352, d.synced ? 1.0f : 0.0f}, {113, 1.0f}, {114, d.left},
                          {115, d.right}, {116, 0.5f}, {117, 0.5f}, {118, 1.0f}, {119, 0.0f}};
        EXPECT_NEAR(onsetThrough(p, false, d.tempo), d.l, 2) << d.left << " at " << d.tempo;
        EXPECT_NEAR(onsetThrough(p, true, d.tempo), d.r, 2) << d.right << " at " << d.tempo;
    }
    // Reverb, all wet: the first reflection moves with the pre-delay, sample for sample.
    const auto reverb = [](float pre) { return Params{{354, 1.0f}, {120, 1.0f}, {121, pre}, {122, 0.5f}, {123, 0.5f}}; };
    const int64_t base = onsetThrough(reverb(0.0f), false);
    ASSERT_GT(base, preDelay(0.0f));
    for (float v : {0.5f, 0.8f, 1.0f})
        EXPECT_NEAR(onsetThrough(reverb(v), false) - base, preDelay(v) - preDelay(0.0f), 2) << v;
}

TEST_F(EngineTimes, GatorStepsSyncedStrumsAndGlidesTakeTheirTimes) {
    // Gator, one open step in four, a step per sixteenth: the gate opens every quarter note
    // (within half a millisecond).
    const auto maskValue = [](unsigned m) { return ((float)m + 0.5f) / 65535.9f; };
    for (double tempo : {120.0, 150.0}) {
        const Params gator = {{348, 1.0f}, {349, stepped(10, 10.99f)}, {350, 1.0f}, {107, 1.0f},
                              {108, stepped(14, 33.99f)}, {109, 0.0f}, {110, stepped(3, 15.99f)},
                              {111, maskValue(1)}, {112, maskValue(1)}};
        HostRun run;
        run.tempo = tempo;
        const int64_t quarter = (int64_t)(60.0 / tempo * 48000.0);
        const Rendered r = render(with(plainWave(1), gator), {midi(0, 0x90, 60, 100)}, 3 * quarter + 2000, run);
        for (int k = 1; k <= 3; ++k)
            EXPECT_NEAR(firstAbove(r.left, 1e-3f, (size_t)(k * quarter - quarter / 2)), k * quarter, 24)
                << "opening " << k << " at " << tempo;
    }
    // A strum synced to an eighth: the second note of the chord an eighth after the first.
    for (double tempo : {120.0, 150.0}) {
        HostRun run;
        run.tempo = tempo;
        Params one = chordPatch({0}, stepped(8, 18.99f)), two = chordPatch({0, 4}, stepped(8, 18.99f));
        one.push_back({CHORD_STRUM_SYNC_ON_TAGS[0], 1.0f});
        two.push_back({CHORD_STRUM_SYNC_ON_TAGS[0], 1.0f});
        const int64_t eighth = (int64_t)(30.0 / tempo * 48000.0), length = eighth + 2000;
        const std::vector<tavhost::TimedMidiEvent> ev{midi(100, 0x90, 57, 100)};
        EXPECT_EQ(divergence(render(one, ev, length, run).left, render(two, ev, length, run).left), 100 + eighth)
            << tempo;
    }
    // Legato glides of two octaves, a = 0.75: T = 2^9 ticks of 16 samples. Constant time
    // takes 16 T samples for any interval, constant rate 16 T per octave; the held modes
    // glide alike while both keys are held. The pitch passes the middle octave half way.
    const struct { int mode; double middle; } glides[] = {{1, 8192.0}, {2, 4096.0}, {3, 8192.0}, {4, 4096.0}};
    for (const auto& g : glides) {
        const Params p = with(quickRelease(5), {{245, portModeValue(g.mode)}, {4, 0.75f}});
        const Rendered r = render(p, {midi(0, 0x90, 81, 100), midi(4800, 0x90, 105, 100)}, 4800 + 20000);
        const modtest::PitchTrack t = modtest::pitchTrack(r.left, 4800, 20000, 48000.0);
        double crossed = -1.0;
        for (size_t i = 0; i < t.freq.size() && crossed < 0.0; ++i)
            if (t.freq[i] >= formulaFrequency(93)) crossed = t.time[i] * 48000.0 - 4800.0;
        EXPECT_NEAR(crossed, g.middle, 0.01 * g.middle) << "mode " << g.mode;
        EXPECT_NEAR(cents(t.freq.back(), formulaFrequency(105)), 0.0, 3.0) << "mode " << g.mode;
    }
}
