// The MIDI controller map: learning, soft takeover, typed controller numbers and the map
// files ("*.ecs"), which load all-or-nothing and are saved through a temporary file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/prefs.h"
#include "support/TestFiles.h"
#include "test_engine_util.h"

using namespace enginetest;

namespace {

constexpr int kTag = 2;  // "Velocity > Volume", a continuous parameter
constexpr const char* kProblem = "Problem with ECS File";

std::string mapText(const std::vector<int>& entries) {
    std::string s;
    for (int v : entries) s += std::to_string(v) + "\n";
    return s;
}

std::vector<int> sampleMap() {
    std::vector<int> m(128, 0);
    for (auto [c, tag] : {std::pair<int, int>{1, 126}, {7, 1}, {20, 394}, {74, 1023}, {127, 2}}) m[c] = tag;
    return m;
}

class MidiMap : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
        saveBoolToPrefs("MIDICapture", true);
        dir = testfiles::makeScratchFolder("ecs");
        ASSERT_FALSE(dir.empty());
        e.p().resetMIDI();
    }
    void TearDown() override {
        e.p().resetMIDI();
        saveBoolToPrefs("MIDICapture", true);
        platform::fileSelectScriptClear();
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
    void cc(int controller, int value) { e.send({{0xB0, (uint8_t)controller, (uint8_t)value}}); e.render(1); }
    float value(int tag) { return e.p().getParameter(tag); }
    void typeCC(int tag, const std::string& text) { platform::dialogScriptOk(text); e.p().setMIDICCNum(tag); }
    void setMap(const std::vector<int>& m) {
        for (int c = 0; c < 128; ++c) setMIDICC(c, e.p().midiCCMap[c] = m[c]);
    }
    std::vector<int> map() { return std::vector<int>(e.p().midiCCMap, e.p().midiCCMap + 128); }
    std::vector<int> stored() {
        std::vector<int> m(128);
        for (int c = 0; c < 128; ++c) m[c] = getMIDICC(c);
        return m;
    }
    void save(const std::string& path) { platform::fileSelectScriptChoose(path); e.p().saveECS(); }
    void load(const std::string& path) { platform::fileSelectScriptChoose(path); e.p().loadECS(); }
    int messagesShown() {
        int n = 0;
        for (const auto& r : platform::dialogTranscript())
            n += r.kind == platform::DialogRecord::Kind::Message && r.text == kProblem;
        return n;
    }
    std::string dir;
    Engine e;
};

}  // namespace

TEST_F(MidiMap, ALearnedControllerTakesOverOnlyOnceItReachesTheValue) {
    APlugin& p = e.p();
    p.setParameter(kTag, 0.8f);
    p.setMIDILatch(-3, true);
    EXPECT_FALSE(p.midiLearnArmed) << "no valid tag: nothing armed";
    p.setMIDILatch(kTag, true);
    cc(123, 0);  // all notes off is never learned
    EXPECT_EQ(p.midiCCMap[123], 0);
    cc(20, 0);
    EXPECT_EQ(p.midiCCMap[20], kTag);
    EXPECT_FALSE(p.midiLearnArmed);
    for (int v : {0, 95}) {
        cc(20, v);
        EXPECT_FLOAT_EQ(value(kTag), 0.8f) << "far from the value: no jump at " << v;
    }
    cc(20, 100);  // 0.787: within reach of 0.8
    EXPECT_NEAR(value(kTag), 100.0f / 127.0f, 1e-6f);
    cc(20, 30);
    EXPECT_NEAR(value(kTag), 30.0f / 127.0f, 1e-6f);
    // The assignment reaches the preference store, but only off the audio thread.
    EXPECT_NE(getMIDICC(20), kTag);
    p.flushMIDILearnPrefs();
    EXPECT_EQ(getMIDICC(20), kTag);

    // Without soft takeover the controller moves the parameter at once.
    saveBoolToPrefs("MIDICapture", false);
    p.resetMIDICapture();
    p.setParameter(kTag, 0.8f);
    cc(20, 64);
    EXPECT_NEAR(value(kTag), 64.0f / 127.0f, 1e-6f);
}

TEST_F(MidiMap, UnlearningClearsEveryControllerOfTheTagAndOnlyItsTakeover) {
    APlugin& p = e.p();
    p.setParameter(kTag, 0.5f);
    p.setParameter(3, 0.5f);
    p.setMIDILatch(kTag, true);
    cc(30, 64);
    typeCC(kTag, "31");
    p.setMIDILatch(3, true);
    cc(32, 64);  // pan, near 0.5: taken over
    ASSERT_TRUE(p.midiLatched[3] && p.midiLatched[kTag]);

    const float held = value(kTag);
    p.setMIDILatch(kTag, false);
    EXPECT_EQ(p.midiCCMap[30] | p.midiCCMap[31] | getMIDICC(30) | getMIDICC(31), 0) << "both forgotten, stored too";
    EXPECT_FALSE(p.midiLatched[kTag]);
    EXPECT_EQ(p.midiCCMap[32], 3) << "other assignments stay";
    EXPECT_TRUE(p.midiLatched[3]);
    cc(30, 0);
    EXPECT_FLOAT_EQ(value(kTag), held) << "an unlearned controller does nothing";
}

TEST_F(MidiMap, TypedControllerNumbersAreHeldToTheRangeAndJunkDoesNothing) {
    APlugin& p = e.p();
    for (auto [text, controller] : {std::pair<const char*, int>{"200", 127}, {"-5", 0}, {"99999999999999999999", 127}}) {
        p.resetMIDI();
        typeCC(kTag, text);
        EXPECT_EQ(p.midiCCMap[controller], kTag) << text;
        EXPECT_EQ(getMIDICC(controller), kTag) << text;
    }
    EXPECT_EQ(platform::dialogTranscript()[0].title, "MIDI CC (0 - 127)");

    const std::vector<int> before = map();
    typeCC(7, "abc");
    typeCC(7, "");
    platform::dialogScriptCancel();
    p.setMIDICCNum(7);
    p.setMIDICCNum(5000);  // not a tag: no box at all
    EXPECT_EQ(map(), before);
    EXPECT_EQ(platform::dialogTranscript().size(), 6u);
}

TEST_F(MidiMap, ClearingEmptiesTheStoreAndCaptureStartsFromTheProgramsValues) {
    APlugin& p = e.p();
    typeCC(kTag, "40");
    typeCC(3, "41");
    p.setParameter(kTag, 0.6f);
    p.midiLatched[kTag] = 1;
    p.resetMIDI();
    EXPECT_EQ(map(), std::vector<int>(128, 0));
    EXPECT_EQ(stored(), std::vector<int>(128, 0));
    EXPECT_FLOAT_EQ(p.midiCaptured[kTag], 0.6f);
    EXPECT_FALSE(p.midiLatched[kTag]);
    // A controller mapped now picks the parameter up near its value.
    typeCC(kTag, "50");
    cc(50, 0);
    EXPECT_FLOAT_EQ(value(kTag), 0.6f);
    cc(50, 76);  // 0.598
    EXPECT_NEAR(value(kTag), 76.0f / 127.0f, 1e-6f);
}

TEST_F(MidiMap, AMapSavesWithItsExtensionAndLoadsBackInEveryLineForm) {
    setMap(sampleMap());
    save(dir + "/mine");
    EXPECT_EQ(testfiles::readFile(dir + "/mine.ecs"), mapText(sampleMap()));
    EXPECT_EQ(platform::fileSelectTranscript()[0].request.defaultName, "Tavrolune.ecs");
    platform::fileSelectScriptCancel();
    e.p().loadECS();
    EXPECT_EQ(map(), sampleMap()) << "cancel changes nothing";

    std::string noBreak = mapText(sampleMap()), cr = noBreak;
    noBreak.pop_back();
    for (char& c : cr) c = c == '\n' ? '\r' : c;
    for (const std::string& text : {mapText(sampleMap()), mapText(sampleMap()) + "\n  \n", noBreak, cr,
                                    "\xEF\xBB\xBF" + mapText(sampleMap())}) {
        testfiles::writeFile(dir + "/in.ecs", text);
        e.p().resetMIDI();
        e.p().setParameter(394, 1.0f);
        load(dir + "/in.ecs");
        EXPECT_EQ(map(), sampleMap()) << text.size();
        EXPECT_EQ(stored(), sampleMap());
        EXPECT_FLOAT_EQ(e.p().midiCaptured[394], 1.0f) << "capture starts from the program's values";
    }
    EXPECT_EQ(platform::fileSelectTranscript().back().request.title, "Load ECS");
    EXPECT_EQ(messagesShown(), 0);
}

TEST_F(MidiMap, AMalformedMapIsRefusedWithOneMessageAndChangesNothing) {
    const std::vector<int> m = sampleMap();
    std::vector<std::string> bad = {mapText(std::vector<int>(m.begin(), m.end() - 1)), mapText(m) + "5\n", "",
                                    mapText(m) + "trailing words\n",
                                    std::string("1\0", 2) + mapText(std::vector<int>(127, 0))};
    for (const char* v : {"1024", "-1", "12abc", "4294967298", "1.5", "+"}) {
        std::string text;
        for (int c = 0; c < 128; ++c) text += (c == 9 ? std::string(v) : std::to_string(m[c])) + "\n";
        bad.push_back(text);
    }
    for (size_t i = 0; i <= bad.size(); ++i) {
        setMap(m);
        e.p().midiLatched[126] = 1;
        const std::string path = dir + "/bad" + std::to_string(i) + ".ecs";
        if (i < bad.size()) testfiles::writeFile(path, bad[i]);  // the last names nothing
        platform::dialogTranscriptClear();
        load(path);
        EXPECT_EQ(messagesShown(), 1) << "file " << i;
        EXPECT_EQ(platform::dialogTranscript().size(), 1u) << "file " << i;
        EXPECT_EQ(map(), m) << "file " << i;
        EXPECT_EQ(stored(), m) << "file " << i;
        EXPECT_TRUE(e.p().midiLatched[126]) << "takeover state untouched, file " << i;
    }
}

TEST_F(MidiMap, AFailedSaveReportsItAndKeepsTheOldFile) {
    const std::string oldText = mapText(std::vector<int>(128, 3));
    setMap(sampleMap());
    ASSERT_EQ(::mkdir((dir + "/folder.ecs").c_str(), 0755), 0);
    for (const std::string& path : {dir + "/no/such/folder/x.ecs", dir + "/folder.ecs"}) {
        platform::dialogTranscriptClear();
        save(path);
        EXPECT_EQ(messagesShown(), 1) << path;
    }

    // A full disk: the process may not write more than a few bytes to a file.
    const std::string full = dir + "/full.ecs";
    testfiles::writeFile(full, oldText);
    struct rlimit saved, small;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    small = saved;
    small.rlim_cur = 64;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    platform::dialogTranscriptClear();
    save(full);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(messagesShown(), 1);
    EXPECT_EQ(testfiles::readFile(full), oldText) << "the old map is whole";
    for (const std::string& name : testfiles::listFolder(dir))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "no temporary file left: " << name;
}
