// Controller-map files ("*.ecs"): saved and loaded back identically, refused whole with
// one message when malformed, and a failed save (read-only or missing folder, full disk)
// reports the problem and keeps the old file. Also the parser on its own.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ControllerMapFile.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/prefs.h"
#include "support/TestFiles.h"
#include "test_engine_util.h"

using namespace enginetest;

namespace {

constexpr const char* kProblem = "Problem with ECS File";

int messagesShown() {
    int n = 0;
    for (const auto& r : platform::dialogTranscript())
        if (r.kind == platform::DialogRecord::Kind::Message && r.text == kProblem) ++n;
    return n;
}

std::string mapText(const std::vector<int>& entries) {
    std::string s;
    for (int v : entries) s += std::to_string(v) + "\n";
    return s;
}

std::vector<int> sampleMap() {
    std::vector<int> m(128, 0);
    m[1] = 126;
    m[7] = 1;
    m[20] = 394;
    m[74] = 1023;
    m[127] = 2;
    return m;
}

class ControllerMapFiles : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
        dir = testfiles::makeScratchFolder("ecs");
        ASSERT_FALSE(dir.empty());
        e.p().resetMIDI();
    }
    void TearDown() override {
        e.p().resetMIDI();
        platform::fileSelectScriptClear();
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
    void setMap(const std::vector<int>& m) {
        for (int c = 0; c < 128; ++c) {
            e.p().midiCCMap[c] = m[c];
            setMIDICC(c, m[c]);
        }
    }
    std::vector<int> map() { return std::vector<int>(e.p().midiCCMap, e.p().midiCCMap + 128); }
    std::vector<int> stored() {
        std::vector<int> m(128);
        for (int c = 0; c < 128; ++c) m[c] = getMIDICC(c);
        return m;
    }
    void save(const std::string& path) {
        platform::fileSelectScriptChoose(path);
        e.p().saveECS();
    }
    void load(const std::string& path) {
        platform::fileSelectScriptChoose(path);
        e.p().loadECS();
    }
    std::string dir;
    Engine e;
};

}  // namespace

TEST_F(ControllerMapFiles, AMapSavesAndLoadsBackIdentically) {
    setMap(sampleMap());
    save(dir + "/mine.ecs");
    EXPECT_EQ(messagesShown(), 0);
    EXPECT_EQ(testfiles::readFile(dir + "/mine.ecs"), mapText(sampleMap()));
    const auto t = platform::fileSelectTranscript();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].request.kind, platform::FileSelectKind::Save);
    EXPECT_EQ(t[0].request.title, "Save ECS");
    EXPECT_EQ(t[0].request.initialDir, e.p().ecsDir);
    EXPECT_EQ(t[0].request.defaultName, "Tavrolune.ecs");

    e.p().resetMIDI();
    ASSERT_EQ(map(), std::vector<int>(128, 0));
    e.p().setParameter(394, 1.0f);
    load(dir + "/mine.ecs");
    EXPECT_EQ(messagesShown(), 0);
    EXPECT_EQ(map(), sampleMap());
    EXPECT_EQ(stored(), sampleMap()) << "and the preference store holds it";
    EXPECT_FLOAT_EQ(e.p().midiCaptured[394], 1.0f) << "capture starts from the program's values";
    const auto lt = platform::fileSelectTranscript();
    ASSERT_EQ(lt.size(), 2u);
    EXPECT_EQ(lt[1].request.title, "Load ECS");
    ASSERT_EQ(lt[1].request.filters.size(), 1u);
    EXPECT_EQ(lt[1].request.filters[0].extension, "ecs");
}

TEST_F(ControllerMapFiles, SavingForcesTheExtension) {
    setMap(sampleMap());
    save(dir + "/plain");
    EXPECT_EQ(testfiles::readFile(dir + "/plain.ecs"), mapText(sampleMap()));
}

TEST_F(ControllerMapFiles, CancelChangesNothing) {
    setMap(sampleMap());
    platform::fileSelectScriptCancel();
    e.p().loadECS();
    platform::fileSelectScriptCancel();
    e.p().saveECS();
    EXPECT_EQ(map(), sampleMap());
    EXPECT_TRUE(platform::dialogTranscript().empty());
}

TEST_F(ControllerMapFiles, TrailingBlankLinesAreFine) {
    testfiles::writeFile(dir + "/blank.ecs", mapText(sampleMap()) + "\n  \n");
    load(dir + "/blank.ecs");
    EXPECT_EQ(messagesShown(), 0);
    EXPECT_EQ(map(), sampleMap());
    std::string noFinalBreak = mapText(sampleMap());
    noFinalBreak.pop_back();
    testfiles::writeFile(dir + "/nobreak.ecs", noFinalBreak);
    e.p().resetMIDI();
    load(dir + "/nobreak.ecs");
    EXPECT_EQ(map(), sampleMap());
    testfiles::writeFile(dir + "/bom.ecs", "\xEF\xBB\xBF" + mapText(sampleMap()));
    e.p().resetMIDI();
    load(dir + "/bom.ecs");
    EXPECT_EQ(map(), sampleMap()) << "a byte-order mark is no obstacle";
    EXPECT_EQ(messagesShown(), 0);
}

TEST_F(ControllerMapFiles, AMalformedMapIsRefusedWithOneMessageAndChangesNothing) {
    const std::vector<int> before = sampleMap();
    std::vector<std::string> bad;
    std::vector<int> m = sampleMap();
    bad.push_back(mapText(std::vector<int>(m.begin(), m.end() - 1)));  // 127 lines
    bad.push_back(mapText(m) + "5\n");                                   // a 129th value
    for (const char* v : {"1024", "-1", "12abc", "x", "4294967298", "99999999999999999999", "1.5", "+"}) {
        std::string text;
        for (int c = 0; c < 128; ++c) text += (c == 9 ? std::string(v) : std::to_string(m[c])) + "\n";
        bad.push_back(text);
    }
    bad.push_back("");
    bad.push_back(mapText(m) + "trailing words\n");
    for (size_t i = 0; i < bad.size(); ++i) {
        setMap(before);
        e.p().midiLatched[126] = 1;
        const std::string path = dir + "/bad" + std::to_string(i) + ".ecs";
        testfiles::writeFile(path, bad[i]);
        platform::dialogTranscriptClear();
        load(path);
        EXPECT_EQ(messagesShown(), 1) << "file " << i;
        EXPECT_EQ(platform::dialogTranscript().size(), 1u) << "file " << i;
        EXPECT_EQ(map(), before) << "file " << i;
        EXPECT_EQ(stored(), before) << "file " << i;
        EXPECT_TRUE(e.p().midiLatched[126]) << "takeover state untouched, file " << i;
    }
    // A path that names nothing.
    platform::dialogTranscriptClear();
    load(dir + "/missing.ecs");
    EXPECT_EQ(messagesShown(), 1);
    EXPECT_EQ(map(), before);
}

TEST_F(ControllerMapFiles, AFailedSaveReportsItAndKeepsTheOldFile) {
    const std::string oldText = mapText(std::vector<int>(128, 3));
    setMap(sampleMap());

    // A folder that does not exist.
    platform::dialogTranscriptClear();
    save(dir + "/no/such/folder/x.ecs");
    EXPECT_EQ(messagesShown(), 1);

    // A folder nobody may write to (root may write anywhere: then only the other cases).
    const std::string locked = dir + "/locked";
    testfiles::writeFile(locked + "/map.ecs", oldText);
    ::chmod(locked.c_str(), 0555);
    if (::geteuid() != 0) {
        platform::dialogTranscriptClear();
        save(locked + "/map.ecs");
        EXPECT_EQ(messagesShown(), 1);
        EXPECT_EQ(testfiles::readFile(locked + "/map.ecs"), oldText);
    }
    ::chmod(locked.c_str(), 0755);

    // A full disk: the process may not write more than a few bytes to a file.
    const std::string full = dir + "/full.ecs";
    testfiles::writeFile(full, oldText);
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    platform::dialogTranscriptClear();
    save(full);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(messagesShown(), 1);
    EXPECT_EQ(testfiles::readFile(full), oldText) << "the old map is whole";
    for (const std::string& name : testfiles::listFolder(dir))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << "no temporary file left: " << name;

    // A path that is a folder.
    ASSERT_EQ(::mkdir((dir + "/folder.ecs").c_str(), 0755), 0);
    platform::dialogTranscriptClear();
    save(dir + "/folder.ecs");
    EXPECT_EQ(messagesShown(), 1);
}

// --- the parser on its own ---------------------------------------------------------------------

TEST(ControllerMapFile, ParsesExactly128TagsAllOrNothing) {
    int32_t out[128];
    for (int32_t& v : out) v = -7;
    std::vector<int> m = sampleMap();
    const std::string text = mapText(m);
    ASSERT_TRUE(ecsfile::parse(text.data(), text.size(), out));
    for (int c = 0; c < 128; ++c) EXPECT_EQ(out[c], m[c]);
    int32_t in[128];
    for (int c = 0; c < 128; ++c) in[c] = m[c];
    EXPECT_EQ(ecsfile::write(in), text);

    int32_t probe[128];
    for (int32_t& v : probe) v = -7;
    const std::string shortText = mapText(std::vector<int>(100, 1));
    EXPECT_FALSE(ecsfile::parse(shortText.data(), shortText.size(), probe));
    for (int32_t v : probe) EXPECT_EQ(v, -7);
    const std::string negativeZero = "-0\n" + mapText(std::vector<int>(127, 0));
    EXPECT_TRUE(ecsfile::parse(negativeZero.data(), negativeZero.size(), probe));
    const std::string nul = std::string("1\0", 2) + mapText(std::vector<int>(127, 0));
    EXPECT_FALSE(ecsfile::parse(nul.data(), nul.size(), probe));
    // Lines ended the old Mac way.
    std::string cr = mapText(m);
    for (char& c : cr) c = c == '\n' ? '\r' : c;
    ASSERT_TRUE(ecsfile::parse(cr.data(), cr.size(), probe));
    for (int c = 0; c < 128; ++c) EXPECT_EQ(probe[c], m[c]);
}
