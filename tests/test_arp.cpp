// The arpeggiator: the preset browser and preset files, the player's modes, steps and
// ratchets, the arp as a modulator, and the steps on the host's grid through the offline host.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "engine/ArpPresetFile.h"
#include "platform/dialogs.h"
#include "plugin/uPluginTags.h"
#include "support/TestFiles.h"
#include "test_arp_util.h"

using namespace arptest;

// The arp preset browser: folders and "*.arp" files listed sorted, presets loaded all or
// nothing, the loaded folder and preset kept in the program and found again when the
// program is applied (on the audio thread, from what was read ahead); and the parser.
namespace part_arp_browser {
namespace {

// The 146 values of an arp setting in mode 5 with every step on and tuned alike.
std::string presetText(float tune = 0.5f) {
    std::vector<float> v(arpfile::kValues, 0.25f);
    v[407 - 394] = arpModeValue(5);
    v[405 - 394] = v[406 - 394] = 0.0f;
    for (int s = 0; s < 16; ++s) {
        v[kRowOn - 394 + s] = 1.0f;
        v[kRowTie - 394 + s] = 0.0f;
        v[kRowTune - 394 + s] = tune;
    }
    return arpfile::write(v.data());
}

int problems() {
    int n = 0;
    for (const auto& r : platform::dialogTranscript())
        n += r.kind == platform::DialogRecord::Kind::Message && r.text == "Problem with Preset";
    return n;
}

class ArpBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        root = testfiles::makeScratchFolder("arpdir") + "/";
        ASSERT_NE(root, "/");
    }
    void TearDown() override { platform::dialogSetMode(platform::DialogMode::Automatic); }
    void write(const std::string& path, const std::string& text) { testfiles::writeFile(root + path, text); }
    void use() {
        e.p().arpDir = root;
        e.p().scanArpFolders();
    }
    int folderIndex(const std::string& name) {
        for (int i = 0; i < e.p().arpFolderCount; ++i)
            if (e.p().getArpFolder(i) == name) return i;
        return -1;
    }
    int presetIndex(const std::string& name) {
        int i = e.p().arpPresetCount - 1;
        while (i >= 0 && e.p().getArpPreset(i) != name) --i;
        return i;
    }
    std::vector<float> arpValues() { return std::vector<float>(&e.p().paramValue[394], &e.p().paramValue[540]); }
    std::string text(int tag) { return e.p().getStringFromParamStr(tag, tag == 850 ? 80 : 28, false, false); }
    // Applies the program again the way a host's program change does: on the audio thread.
    void reapplyProgram() {
        e.p().setProgram(0);
        e.render(8192);
    }
    std::string root;
    Engine e;
};

}  // namespace

TEST_F(ArpBrowser, FoldersAndPresetsAreListedSortedWithoutHiddenOrForeignFiles) {
    write("loose.arp", presetText());  // not in a sub-folder: without sub-folders there is nothing to choose
    use();
    EXPECT_EQ(e.p().arpFolderCount, 0);
    EXPECT_EQ(e.p().getArpFolder(0) + e.p().getArpPreset(0), "------");
    e.p().loadArpPreset(0);
    EXPECT_EQ(problems(), 0);
    for (const char* folder : {"Bass", "arp", "Lead", ".hidden", "~backup"}) write(folder + std::string("/keep.arp"), presetText());
    for (const char* file : {"Walk.arp", "x.arp", "UP.ARP", "notes.txt", ".secret.arp", "b.arp"})
        write(std::string("Bass/") + file, presetText());
    write("Bass/dir.arp/inside.arp", "");  // a folder, not a preset
    use();
    APlugin& p = e.p();
    ASSERT_EQ(p.arpFolderCount, 3);
    EXPECT_EQ(p.getArpFolder(0) + p.getArpFolder(1) + p.getArpFolder(2) + p.getArpFolder(3) + p.getArpFolder(-1),
              "arpBassLead------");
    p.changeArpFolder(1);
    ASSERT_EQ(p.arpPresetCount, 4);
    EXPECT_EQ(p.getArpPreset(0) + p.getArpPreset(1) + p.getArpPreset(2) + p.getArpPreset(3) + p.getArpPreset(4),
              "bkeepWalkx---");
    p.changeArpFolder(7);  // no such folder: nothing changes
    EXPECT_EQ(p.curArpFolder, 1);
}

TEST_F(ArpBrowser, LoadingAPresetChangesTheGridAndKeepsItsNamesInTheProgram) {
    const std::string longFolder(95, 'F'), longPreset = "A very long preset name: with odd? characters";
    write("Bass/Walk.arp", presetText(tuneValue(7)));
    write("Bass/Other.arp", presetText(tuneValue(-5)));
    write("Lead/Run.arp", presetText(tuneValue(3)));
    write(longFolder + "/" + longPreset + ".arp", presetText(tuneValue(2)));
    write(longFolder + "/" + longPreset.substr(0, 20) + ".arp", presetText());
    use();
    APlugin& p = e.p();
    p.changeArpFolder(folderIndex("Bass"));
    const int walk = presetIndex("Walk");
    p.loadArpPreset(walk);
    EXPECT_EQ(problems(), 0);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(p.getArpStepTuneForDisplay(s), 7) << s;
    EXPECT_EQ(p.getArpMode(), 5);
    EXPECT_EQ(text(850) + "/" + text(930), "Bass/Walk");
    // Browse elsewhere, then apply the program again on the audio thread.
    p.changeArpFolder(folderIndex("Lead"));
    p.curArpPreset = -1;
    reapplyProgram();
    EXPECT_EQ(p.curArpFolder, folderIndex("Bass"));
    EXPECT_EQ(p.getArpPreset(p.curArpPreset), "Walk");

    // Names longer than the program keeps still find their preset again.
    p.changeArpFolder(folderIndex(longFolder));
    const int index = presetIndex(longPreset);
    p.loadArpPreset(index);
    EXPECT_EQ(text(930).size(), 27u);
    p.changeArpFolder(folderIndex("Lead"));
    reapplyProgram();
    EXPECT_EQ(p.curArpFolder, folderIndex(longFolder));
    EXPECT_EQ(p.curArpPreset, index);
}

TEST_F(ArpBrowser, BadMissingOrLockedLoadsChangeNothing) {
    std::vector<std::string> bad = {"just some text\n", "", "V1.0\n"};
    const std::string good = presetText(tuneValue(7));
    bad.push_back(good.substr(0, good.rfind('\n', good.size() - 2) + 1));  // 145 values
    for (const char* value : {"nan", "1.5", "-0.1", "0.5x", "1e400"}) {
        std::string t = good;
        size_t at = 0;
        for (int line = 0; line < 1 + (kRowTune - 394) + 3; ++line) at = t.find('\n', at) + 1;
        bad.push_back(t.replace(at, t.find('\n', at) - at, value));
    }
    for (size_t i = 0; i < bad.size(); ++i) write("Set/bad" + std::to_string(100 + i) + ".arp", bad[i]);
    write("Set/zz.arp", good);
    use();
    APlugin& p = e.p();
    p.changeArpFolder(0);
    ASSERT_EQ(p.arpPresetCount, (int)bad.size() + 1);
    std::remove((root + "Set/zz.arp").c_str());  // listed, then gone
    p.setStringFromParam("Before", 930, 28, false);
    const std::vector<float> before = arpValues();
    for (size_t i = 0; i <= bad.size(); ++i) {
        platform::dialogTranscriptClear();
        p.loadArpPreset((int)i);
        EXPECT_TRUE(problems() == 1 && platform::dialogTranscript().size() == 1u) << "one message, file " << i;
        EXPECT_TRUE(arpValues() == before && text(930) == "Before") << "nothing changes, file " << i;
    }
    write("Set/zz.arp", good);
    p.setLockState(1);
    platform::dialogTranscriptClear();
    p.loadArpPreset((int)bad.size());
    EXPECT_EQ(arpValues(), before) << "the lock keeps the arp";
    EXPECT_TRUE(platform::dialogTranscript().empty());
    p.setLockState(0);
}

TEST_F(ArpBrowser, ProgramNamesFindTheirPresetOrFallBackToTheFirst) {
    write("A/one.arp", presetText());
    write("B/two.arp", presetText());
    use();
    APlugin& p = e.p();
    p.changeArpFolder(1);
    p.setStringFromParam("Nowhere", 850, 80, false);
    p.setStringFromParam("none", 930, 28, false);
    p.getArpPreset();
    EXPECT_EQ(p.curArpFolder, 0);
    EXPECT_FALSE(p.hasLoadedArpPreset());
    EXPECT_EQ(p.curArpPreset, -1);

    // Made after the read-ahead, and named by the program: the audio thread reads no disk
    // and shows the first folder for now, the UI side finds it.
    write("New/Fresh.arp", presetText());
    p.setStringFromParam("New", 850, 80, false);
    p.setStringFromParam("Fresh", 930, 28, false);
    reapplyProgram();
    EXPECT_TRUE(p.hasLoadedArpPreset());
    EXPECT_EQ(p.getArpFolder(p.curArpFolder) + "/" + p.getArpPreset(p.curArpPreset), "New/Fresh");
}

TEST_F(ArpBrowser, AnArpFileLoadedFromElsewhereIsNamedRelativeToTheArpFolder) {
    use();
    const struct { std::string path, folder, name; } cases[] = {
        {root + "Bass/Walk.arp", "Bass", "Walk"},
        {root + "Top.arp", "", "Top"},
        {"/somewhere/else/Song.arp", "", "Song"},
        {root.substr(0, root.size() - 1) + "x/Near.arp", "", "Near"},  // a sibling named alike
        {"", "", ""}};
    for (const auto& c : cases) {
        e.p().setArpPresetName(c.path);
        EXPECT_EQ(text(850), c.folder) << c.path;
        EXPECT_EQ(text(930), c.name) << c.path;
    }
}

TEST(ArpPresetFile, ReadsTheFirstWordThen146ValuesAllOrNothing) {
    std::vector<float> v(arpfile::kValues), out(arpfile::kValues);
    for (int i = 0; i < arpfile::kValues; ++i) v[i] = (float)i / 145.0f;
    const std::string text = arpfile::write(v.data()) + "0.5\nanything else\n";
    EXPECT_EQ(text.substr(0, 5), "V1.0\n");
    ASSERT_TRUE(arpfile::parse(text.data(), text.size(), out.data()));
    for (int i = 0; i < arpfile::kValues; i += 29) EXPECT_NEAR(out[i], v[i], 1e-6f) << i;
    // Whitespace of any kind between values, any first word, CR LF line ends.
    std::string loose = "Whatever";
    for (int i = 0; i < arpfile::kValues; ++i) loose += (i % 3 == 0 ? " \t" : "\r\n") + std::string("0.25");
    ASSERT_TRUE(arpfile::parse(loose.data(), loose.size(), out.data()));
    EXPECT_EQ(out[100], 0.25f);

    const std::string good = arpfile::write(std::vector<float>(arpfile::kValues, 0.5f).data());
    std::vector<std::string> bad = {"", "V1.0", good.substr(0, good.rfind("0.5"))};
    for (const char* value : {"1.000001", "nan", "-inf", "+", ".", "1,5", "0.5.5", "1e-400x"})
        bad.push_back(std::string(good).replace(good.find("0.500000"), 8, value));
    for (const auto& b : bad) {
        std::vector<float> probe(arpfile::kValues, -1.0f);
        EXPECT_FALSE(arpfile::parse(b.data(), b.size(), probe.data())) << b.substr(0, 40);
        EXPECT_EQ(probe, std::vector<float>(arpfile::kValues, -1.0f)) << "nothing written when refused";
    }
    const std::string minusZero = std::string(good).replace(good.find("0.500000"), 8, "-0");
    EXPECT_TRUE(arpfile::parse(minusZero.data(), minusZero.size(), out.data()));
    EXPECT_FALSE(arpfile::parse(nullptr, 0, out.data()));
}

}  // namespace part_arp_browser

// Through the built plug-in and the offline host, which gives the host's tempo, position and
// transport: the steps fall on the host's sixteenth notes wherever the keys fall.
namespace part_arp_host {

constexpr double kRate = 44100.0, kStep = 5512.5;  // a sixteenth at 120 BPM
// The arpeggiator steps on its 16-sample tick, and a note needs a few samples to pass the
// onset threshold.
constexpr double kLate = 40.0;

// Where each note starts: the first sample above `threshold` after at least `gap` quiet samples.
std::vector<int64_t> onsets(const std::vector<float>& x, int gap) {
    std::vector<int64_t> out;
    for (int64_t i = 0, quiet = gap; i < (int64_t)x.size(); ++i, ++quiet) {
        if (std::fabs(x[i]) <= 0.01f) continue;
        if (quiet >= gap) out.push_back(i);
        quiet = -1;
    }
    return out;
}

TEST(ArpHost, StepsFollowTheHostsGridSpeedAndSwing) {
    const struct { int64_t pressed; int speed; float swing; double stepLength, offBeat; } cases[] = {
        {1000, 8, 0.0f, kStep, 1.0}, {3500, 8, 0.0f, kStep, 1.0}, {8000, 8, 0.0f, kStep, 1.0},
        {1000, 10, 0.0f, kStep / 2.0, 1.0},  // double speed: 32nd notes
        {1000, 8, 1.0f, kStep, 4.0 / 3.0}};   // full swing: the off-beat comes 4/3 of a step late
    for (const auto& c : cases) {
        HostRun run;
        run.rate = kRate;
        run.block = 512;
        std::vector<tavhost::TimedMidiEvent> keys;
        for (int n : {67, 60, 64}) keys.push_back(midi(c.pressed, 0x90, (uint8_t)n, 100));
        const Rendered r =
            render(arpSetup(0, {{400, 0.45f}, {397, speedValue(c.speed)}, {398, c.swing}}), keys,
                   c.pressed + (int64_t)(7 * c.stepLength), run);
        ASSERT_TRUE(r.clean) << r.faults;
        const auto on = onsets(r.left, c.speed == 10 ? 200 : 400);
        ASSERT_GE(on.size(), 6u) << c.pressed;
        // The first step is the first sixteenth after the keys.
        const double first = std::ceil((double)c.pressed / kStep) * kStep;
        for (size_t k = 0; k < 6; ++k) {
            const double grid = first + (double)(k & ~1u) * c.stepLength + (k & 1) * c.offBeat * c.stepLength;
            EXPECT_NEAR((double)on[k], grid + kLate / 2.0, kLate / 2.0 + 1.0) << c.pressed << " step " << k;
        }
        if (c.stepLength < kStep || c.swing > 0.0f) continue;
        const int expected[3] = {60, 64, 67};  // "Up"
        for (size_t k = 0; k < 3; ++k) {
            const double f = zeroCrossingFrequency(r.left, (size_t)on[k] + 1000, 1200, kRate);
            EXPECT_NEAR(cents(f, formulaFrequency(expected[k])), 0.0, 10.0) << c.pressed << " step " << k;
        }
    }
}

}  // namespace part_arp_host

// The arpeggiator as a modulation source (the three Mod modes): the pattern plays no notes
// and drives the sources 112 "Arp On/Off", 113 "Arp Tune" and 115 (the free value).
namespace part_arp_mod {

constexpr int kStep48 = 6000;  // one sixteenth at 120 BPM and 48 kHz
constexpr int kSrcOnOff = 112, kSrcTune = 113;

// Poly play mode, a Mod arp mode and a four-step pattern tuned -36, -12, +12, +36.
Params modSetup(int mode, const Params& more = {}) {
    Params p = arpSetup(mode, {{244, playModeValue(0)}, {394, 0.0f}, {395, stepsValue(4)}});
    const int tunes[4] = {-36, -12, 12, 36};
    for (int s = 0; s < 4; ++s) p.push_back({kRowTune + s, tuneValue(tunes[s])});
    return with(p, more);
}

TEST(ArpMod, ModFreeRunsThePatternWithNoNoteHeldAndMovesAFilter) {
    Engine e(modSetup(13), 256);
    APlugin& p = e.p();
    p.setModSlotVar(0, false, 1.0f, kSrcTune, DEST_L_FILTER_FREQ[0]);  // "Arp Tune" -> cutoff
    // A key pressed and let go: the pattern starts with it and goes on without it.
    e.noteOn(60);
    e.render(64);
    e.noteOff(60);
    e.render(3000);  // into the middle of step 0
    const float expected[4] = {-1.0f, -1.0f / 3.0f, 1.0f / 3.0f, 1.0f};
    float cutoff[8];
    for (int s = 0; s < 8; ++s, e.render(kStep48)) {
        EXPECT_NEAR(p.modSrcGlobal[kSrcTune], expected[s % 4], 0.02f) << s;
        cutoff[s] = p.modDestGlobal[DEST_L_FILTER_FREQ[0]];
    }
    EXPECT_NEAR(cutoff[3] - cutoff[0], 2.0f, 0.05f) << "the filter moves by the source's full swing";
    for (int v = 0; v < kNumVoices; ++v) EXPECT_FALSE(p.voiceKeyOn[v]);
}

TEST(ArpMod, OnStepsOpenTheGateAndMarkTheRetrigger) {
    Engine e(modSetup(13, {{kRowOn + 1, 0.0f}, {kRowTie + 2, 1.0f}}), 256);
    APlugin& p = e.p();
    e.noteOn(60);
    e.noteOff(60);
    e.render(3000);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 1.0f) << "step 0 on";
    std::memset(p.env.arpGateMark, 0, sizeof(p.env.arpGateMark));
    e.render(kStep48);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 0.0f) << "step 1 off";
    e.render(kStep48);
    EXPECT_EQ(p.modSrcGlobal[kSrcOnOff], 1.0f) << "step 2 on";
    EXPECT_EQ(p.env.arpGateMark[3], 0) << "but tied: no retrigger";
    EXPECT_NEAR(p.modSrcGlobal[kSrcTune], -1.0f, 0.02f) << "and a held tie keeps the tune of step 0";
    e.render(kStep48);
    EXPECT_EQ(p.env.arpGateMark[3], 1) << "step 3 retriggers";
}

TEST(ArpMod, ModMonoStartsOverWithEveryKeyModFreeDoesNot) {
    for (int mode : {14, 13}) {
        Engine e(modSetup(mode), 256);
        e.noteOn(60);
        e.render(2 * kStep48 + 3000);
        EXPECT_EQ(e.p().arpModStep, 2);
        e.noteOn(64);  // a second key while the first is held
        e.render(4000);
        EXPECT_EQ(e.p().arpModStep, mode == 14 ? 0 : 3) << mode;
    }
}

TEST(ArpMod, LoopModesStepTheModulator) {
    const struct { int loop; std::vector<int> steps; } cases[] = {
        {2, {0, 1, 2, 3, 3, 2, 1, 0, 1, 2}},  // ping-pong turns at both ends
        {1, {0, 1, 2, 3}}};                   // off: one pass, then it stops
    for (const auto& c : cases) {
        Engine e(modSetup(13, {{410, loopModeValue(c.loop)}}), 256);
        e.noteOn(60);
        e.noteOff(60);
        e.render(3000);
        std::vector<int> steps;
        for (size_t s = 0; s < c.steps.size(); ++s, e.render(kStep48)) steps.push_back(e.p().arpModStep);
        EXPECT_EQ(steps, c.steps) << c.loop;
        if (c.loop != 1) continue;
        const float tune = e.p().modSrcGlobal[kSrcTune];
        e.render(2 * kStep48);
        EXPECT_FALSE(e.p().arpModRunning);
        EXPECT_EQ(e.p().modSrcGlobal[kSrcTune], tune) << "nothing moves after the pass";
        EXPECT_EQ(e.p().getArpLedPos(), -1);
    }
}

}  // namespace part_arp_mod

// The note players in process, without host time (so it starts at once and runs at 120 BPM).
namespace part_arp_player {

constexpr double kStep44 = 5512.5;  // one sixteenth at 120 BPM and 44.1 kHz

class ArpPlayer : public ::testing::Test {
protected:
    // A fresh engine at 44.1 kHz in the Arp play mode with `mode`, the keys pressed in order.
    void start(int mode, const std::vector<int>& keys, const Params& more = {}) {
        Engine fresh;
        std::swap(e, fresh);
        e.p().setSampleRate(44100.0f);
        e.set(arpSetup(mode, more));
        e.render(256);
        ASSERT_EQ(e.p().arpMode, mode);
        for (int k : keys) e.noteOn(k, 100);
    }
    std::vector<NoteStart> record(double steps) { return StartRecorder(e).run((int)(steps * kStep44)); }
    int keysOn() {
        int n = 0;
        for (int v = 0; v < kNumVoices; ++v) n += e.p().voiceKeyOn[v];
        return n;
    }
    Engine e;
};

Params tunedSteps(int steps, const Params& more) {
    Params p{{395, stepsValue(steps)}};
    for (int s = 0; s < steps; ++s) p.push_back({kRowTune + s, tuneValue(s)});
    return with(p, more);
}

TEST_F(ArpPlayer, EachOrderModePlaysTheKeysInItsOrderOneSixteenthApart) {
    const struct { int mode; std::vector<int> keys, expected; } cases[] = {
        {0, {67, 60, 64}, {60, 64, 67, 60, 64, 67, 60}},          // up, by pitch
        {5, {67, 60, 64}, {67, 60, 64, 67, 60, 64, 67}},          // as pressed
        {6, {67, 60, 64}, {64, 60, 67, 64, 60, 67}},              // last pressed first
        {1, {64, 67, 60}, {67, 64, 60, 67, 64, 60}},              // down
        {2, {67, 60, 64}, {60, 64, 67, 64, 60, 64, 67, 64, 60}},  // up-down, ends once
        {3, {60, 64, 67}, {67, 64, 60, 64, 67, 64, 60}},          // down-up from the top
        {7, {64, 60, 67}, {64, 60, 67, 60, 64, 60, 67}}};         // up-down in key order
    for (const auto& c : cases) {
        start(c.mode, c.keys);
        const auto starts = record((double)c.expected.size() - 0.5);
        EXPECT_EQ(notesOf(starts), c.expected) << "mode " << c.mode;
        for (size_t k = 1; k < starts.size(); ++k)
            EXPECT_NEAR((double)(starts[k].sample - starts[0].sample), k * kStep44, 16.0) << c.mode << " " << k;
    }
    // Random plays only the held keys and reaches every one.
    start(4, {60, 64, 67});
    const std::vector<int> played = notesOf(record(60.5));
    EXPECT_EQ(std::set<int>(played.begin(), played.end()), (std::set<int>{60, 64, 67}));
}

TEST_F(ArpPlayer, OctavesTuneRowLoopStartAndPingPongSetThePitches) {
    const struct { const char* what; std::vector<int> keys; Params more; std::vector<float> expected; } cases[] = {
        {"octaves", {60, 64}, {{408, octaveValue(2)}}, {60, 64, 72, 76, 60, 64, 72, 76}},
        {"tune row", {60}, {{kRowTune + 1, tuneValue(7)}, {kRowTune + 2, tuneValue(-12)}}, {60, 67, 48, 60}},
        {"loop start", {60}, tunedSteps(4, {{396, loopStartValue(2)}}), {60, 61, 62, 63, 62, 63, 62, 63}},
        {"ping-pong", {60}, tunedSteps(4, {{410, loopModeValue(2)}}), {60, 61, 62, 63, 63, 62, 61, 60, 61, 62, 63, 63}}};
    for (const auto& c : cases) {
        start(0, c.keys, c.more);
        const auto starts = record((double)c.expected.size() - 0.5);
        ASSERT_EQ(starts.size(), c.expected.size()) << c.what;
        for (size_t k = 0; k < starts.size(); ++k) EXPECT_NEAR(starts[k].semitones, c.expected[k], 1e-3) << c.what << k;
    }
}

TEST_F(ArpPlayer, RatchetsRepeatTheStepInTheirModeAndCycle) {
    const auto hitsAt = [&](double steps) {
        std::vector<double> at;
        const auto starts = record(steps);
        for (const auto& s : starts) at.push_back((double)(s.sample - starts.at(0).sample) / kStep44);
        return at;
    };
    const auto near = [](const std::vector<double>& got, const std::vector<double>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], 0.003) << k;
    };
    // Step 0: four hits; step 1: one; step 2: two.
    start(0, {60}, {{411, ratchetModeValue(1)}, {kRowRatchet + 0, ratchetValue(3)}, {kRowRatchet + 2, ratchetValue(1)}});
    near(hitsAt(3.5), {0, 0.25, 0.5, 0.75, 1, 2, 2.5, 3});
    // Ratchet mode Off plays none; an off step plays nothing.
    start(0, {60}, {{kRowOn + 1, 0.0f}, {kRowRatchet + 0, ratchetValue(3)}});
    near(hitsAt(2.5), {0, 2});
    // An off step after a ratchet does not ratchet, and its voice is let go.
    start(0, {60}, {{411, ratchetModeValue(1)}, {kRowRatchet + 0, ratchetValue(1)}, {kRowOn + 1, 0.0f}});
    near(hitsAt(1.9), {0, 0.5});
    EXPECT_EQ(keysOn(), 0);
    // "Off/On Cycle" over a two-step pattern: ratchets only on odd passes.
    start(0, {60}, {{395, stepsValue(2)}, {411, ratchetModeValue(2)}, {kRowRatchet + 0, ratchetValue(1)}});
    near(hitsAt(6.9), {0, 1, 2, 2.5, 3, 4, 5, 6, 6.5});
}

TEST_F(ArpPlayer, ATiedStepHoldsTheNoteAndSpecialMovesItToTheStepsTune) {
    start(0, {60, 64}, {{kRowTie + 1, 1.0f}, {kRowTune + 1, tuneValue(5)}});
    const auto starts = record(3.5);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_NEAR((double)(starts[1].sample - starts[0].sample), 2.0 * kStep44, 16.0) << "no start on the tie";
    EXPECT_EQ(starts[1].note, 64) << "the tie does not advance the note";

    start(0, {60}, {{kRowTie + 1, 1.0f}, {kRowTune + 1, tuneValue(5)}, {409, tiedModeValue(1)}});
    StartRecorder r(e);
    const auto first = r.run((int)(0.5 * kStep44));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(r.run((int)kStep44).empty()) << "a tie starts no voice";
    EXPECT_TRUE(e.p().voiceKeyOn[first[0].voice]);
    EXPECT_NEAR(e.p().voicePitch[first[0].voice] * 12.0f + 57.0f, 65.0f, 1e-3) << "Special takes the tie's tune";
}

TEST_F(ArpPlayer, SwingLengthensTheOnBeatsAndShortensTheOffBeats) {
    start(0, {60}, {{398, 1.0f}});
    const auto starts = record(6.5);
    ASSERT_GE(starts.size(), 6u);
    // The phase carried into a step of the other speed shifts it by up to two ticks.
    for (size_t k = 1; k < 6; ++k)
        EXPECT_NEAR((double)(starts[k].sample - starts[k - 1].sample), (k % 2 ? 4.0 : 2.0) / 3.0 * kStep44, 34.0) << k;
}

TEST_F(ArpPlayer, LoopOffPlaysOnePassThenForgetsTheKeys) {
    start(0, {60, 64}, {{395, stepsValue(4)}, {410, loopModeValue(1)}});
    EXPECT_EQ(notesOf(record(8.5)), (std::vector<int>{60, 64, 60, 64}));
    EXPECT_EQ(e.p().arpHeldCount, 0);
    EXPECT_FALSE(e.p().arpRunning);
    e.noteOff(60);
    e.noteOff(64);
    e.render(64);
    e.noteOn(67);
    EXPECT_EQ(notesOf(record(1.5)), (std::vector<int>{67, 67})) << "a new key starts a new pass";
}

TEST_F(ArpPlayer, NoteLengthReleasesWithinTheStepAndNoKeyStopsThePlayer) {
    start(0, {60, 64}, {{400, 0.5f}});
    StartRecorder r(e);
    ASSERT_EQ(r.run((int)(0.4 * kStep44)).size(), 1u);
    EXPECT_EQ(keysOn(), 1);
    r.run((int)(0.2 * kStep44));
    EXPECT_EQ(keysOn(), 0) << "released after half the step";
    record(2.0);
    e.noteOff(60);
    e.noteOff(64);
    e.render(64);
    EXPECT_FALSE(e.p().arpRunning);
    EXPECT_TRUE(record(2.0).empty());
}

TEST_F(ArpPlayer, TheLedFollowsTheStepWhilePlaying) {
    start(0, {60}, {{395, stepsValue(4)}});
    record(2.5);
    EXPECT_EQ(e.p().getArpLedPos(), 2);
    record(2.0);
    EXPECT_EQ(e.p().getArpLedPos(), 0);
    e.noteOff(60);
    e.render(20000);
    EXPECT_EQ(e.p().getArpLedPos(), -1);
}

TEST_F(ArpPlayer, LatchHoldsAfterReleaseAndStopsWhenTurnedOff) {
    start(0, {60, 64}, {{405, 1.0f}});
    record(1.5);
    e.noteOff(60);
    e.noteOff(64);
    EXPECT_EQ(record(4.0).size(), 4u) << "the latched keys keep playing";
    EXPECT_EQ(e.p().arpHeldCount, 2);
    e.set({{405, 0.0f}});
    e.render(64);
    EXPECT_EQ(e.p().arpHeldCount, 0) << "turning the latch off releases what it held";
    EXPECT_TRUE(record(3.0).empty());
}

TEST_F(ArpPlayer, SequencerModesTransposeThePatternToTheNewestKey) {
    const Params tunes = tunedSteps(4, {{kRowTune + 1, tuneValue(2)}, {kRowTune + 2, tuneValue(4)}, {kRowTune + 3, tuneValue(5)}});
    start(10, {60}, tunes);
    const auto first = record(4.5);
    ASSERT_GE(first.size(), 4u);
    const float a[4] = {60, 62, 64, 65};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(first[k].semitones, a[k], 1e-3) << k;
    e.noteOn(67);  // "Sequencer" goes on from where it is, on 67: the fifth step is step 1
    const auto second = record(4.0);
    ASSERT_GE(second.size(), 3u);
    for (const auto& s : second) EXPECT_EQ(s.note, 67);
    EXPECT_NEAR(second[0].semitones, 69.0f, 1e-3);

    start(11, {60}, tunes);  // "Sequencer Reset" starts the pattern over on the new key
    record(2.5);
    e.noteOn(67);
    const auto reset = record(1.0);
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_NEAR(reset[0].semitones, 67.0f, 1e-3);
}

TEST_F(ArpPlayer, ChordModeSoundsEveryHeldKeyEachStepAtMostSixteen) {
    start(9, {60, 64, 67});
    const auto starts = record(2.5);
    ASSERT_EQ(starts.size(), 9u);
    for (int step = 0; step < 3; ++step) {
        std::set<int> notes;
        for (int i = 0; i < 3; ++i) {
            notes.insert(starts[step * 3 + i].note);
            EXPECT_EQ(starts[step * 3 + i].sample, starts[step * 3].sample);
        }
        EXPECT_EQ(notes, (std::set<int>{60, 64, 67}));
    }
    std::vector<int> twenty;
    for (int n = 0; n < 20; ++n) twenty.push_back(40 + n);
    start(9, twenty);
    EXPECT_GE(record(2.5).size(), 16u);
    EXPECT_EQ(e.p().arpChordVoiceCount, 16);
    EXPECT_LE(keysOn(), 16);

    // A key joining in the first step sounds at once, later it waits for the next step.
    start(9, {60});
    StartRecorder r(e);
    ASSERT_EQ(r.run(1000).size(), 1u);
    e.noteOn(64);
    const auto joined = r.run(64);
    ASSERT_EQ(joined.size(), 1u) << "the new key sounds within the first step";
    EXPECT_EQ(joined[0].note, 64);
    r.run((int)(1.5 * kStep44));  // into step 1
    e.noteOn(67);
    EXPECT_TRUE(r.run(64).empty()) << "after the first step a new key waits for the next step";
    EXPECT_EQ(r.run((int)kStep44).size(), 3u);
}

}  // namespace part_arp_player
