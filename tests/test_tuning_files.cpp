// Microtuning: ".tun" files parsed all or nothing, loaded through the file selector into
// the note table (so the measured pitch moves), remembered by name and restored when a
// program is applied, also in a fresh instance; and the parser on its own.
#include <gtest/gtest.h>

#include <string>

#include "engine/TuningFile.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/platform.h"
#include "support/TestFiles.h"
#include "test_engine_util.h"

using namespace enginetest;

namespace {

std::string tuningFolder() {
    return platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/Tuning");
}

// Note 69 half a semitone up (6950 cents), everything else equal-tempered.
const char* kHalfUp = "; a test tuning\n[Tuning]\nnote 69=6950.000000\n";

// The frequency of note 69 as the plug-in plays it: a plain sine, no effects.
double measuredA(Engine& e) {
    e.set(with(plainWave(0), {{345, 1.0f}, {8, 0.0f}}));
    e.render(256);
    e.noteOn(69, 100);
    const std::vector<float> out = e.render(24000);
    e.noteOff(69);
    e.render(9000);
    return zeroCrossingFrequency(out, 4800, 19000, 48000.0);
}

class Tuning : public ::testing::Test {
protected:
    void SetUp() override {
        useScratchHome();  // the default tuning folder lies under the scratch data folder
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
        dir = testfiles::makeScratchFolder("tuning");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        Engine cleanup;
        cleanup.p().resetTuning();
        platform::fileSelectScriptClear();
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
    void load(Engine& e, const std::string& path) {
        platform::fileSelectScriptChoose(path);
        e.p().loadTuning();
    }
    std::string dir;
};

}  // namespace

TEST_F(Tuning, AFileThatMovesAHalfASemitoneUpMovesTheMeasuredPitch) {
    Engine plain;
    const double before = measuredA(plain);
    ASSERT_GT(before, 0.0);

    Engine e;
    testfiles::writeFile(dir + "/Half.tun", kHalfUp);
    load(e, dir + "/Half.tun");
    EXPECT_EQ(e.p().getTuningName(), "Half");
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.5f);
    EXPECT_FLOAT_EQ(e.p().tuneTable[68], 68.0f);
    const double after = measuredA(e);
    EXPECT_NEAR(cents(after, before), 50.0, 1.0);
    const auto t = platform::fileSelectTranscript();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].request.title, "Tuning Files");
    ASSERT_EQ(t[0].request.filters.size(), 1u);
    EXPECT_EQ(t[0].request.filters[0].extension, "tun");
}

TEST_F(Tuning, AProgramAppliedInAFreshInstanceRestoresTheTuningByName) {
    testfiles::writeFile(tuningFolder() + "/Restore.tun", kHalfUp);
    std::vector<char> chunk;
    {
        Engine a;
        load(a, tuningFolder() + "/Restore.tun");
        ASSERT_EQ(a.p().getTuningName(), "Restore");
        void* data = nullptr;
        const VstInt32 size = a.p().getChunk(&data, true);
        if (size > 0) chunk.assign((char*)data, (char*)data + size);
    }
    Engine b;  // reads the name from the preferences and the table ahead
    APlugin& p = b.p();
    EXPECT_EQ(p.getTuningName(), "Restore");
    for (float& t : p.tuneTable) t = 0.0f;  // only a program application fills it again
    if (!chunk.empty()) {
        p.setChunk(chunk.data(), (VstInt32)chunk.size(), true);
    } else {
        p.setProgram(0);
    }
    b.render(8192);
    EXPECT_FLOAT_EQ(p.tuneTable[69], 69.5f);
    EXPECT_FLOAT_EQ(p.tuneTable[60], 60.0f);

    Engine plain;
    plain.p().resetTuning();
    const double reference = measuredA(plain);
    // The reference instance cleared the stored name for new instances; b keeps its own.
    EXPECT_NEAR(cents(measuredA(b), reference), 50.0, 1.0);
}

TEST_F(Tuning, ANamedFileThatCannotBeUsedGivesEqualTemperament) {
    saveStringToPrefs("TuningName", "Nowhere To Be Found");
    Engine e;
    EXPECT_EQ(e.p().getTuningName(), "Nowhere To Be Found");
    e.p().setProgram(0);
    e.render(8192);
    for (int n = 0; n < 128; ++n) EXPECT_FLOAT_EQ(e.p().tuneTable[n], (float)n) << n;
}

TEST_F(Tuning, CancelOrAFileWithoutASectionChangesNothing) {
    Engine e;
    testfiles::writeFile(dir + "/Keep.tun", kHalfUp);
    load(e, dir + "/Keep.tun");
    ASSERT_FLOAT_EQ(e.p().tuneTable[69], 69.5f);

    platform::fileSelectScriptCancel();
    e.p().loadTuning();
    EXPECT_EQ(e.p().getTuningName(), "Keep");
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.5f) << "the name and the table stay together";

    testfiles::writeFile(dir + "/NoSection.tun", "note 69=7000\n[Other]\nnote 60=6100\n");
    load(e, dir + "/NoSection.tun");
    EXPECT_EQ(e.p().getTuningName(), "Keep");
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.5f);
    EXPECT_FLOAT_EQ(e.p().tuneTable[60], 60.0f);

    load(e, dir + "/DoesNotExist.tun");
    EXPECT_EQ(e.p().getTuningName(), "Keep");
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.5f);

    // A program change keeps the loaded tuning, wherever the file came from.
    e.p().setProgram(0);
    e.render(8192);
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.5f);
}

TEST_F(Tuning, ResettingGivesEqualTemperamentAndForgetsTheName) {
    Engine e;
    testfiles::writeFile(dir + "/Gone.tun", kHalfUp);
    load(e, dir + "/Gone.tun");
    e.p().resetTuning();
    EXPECT_EQ(e.p().getTuningName(), "Standard Tuning");
    for (int n = 0; n < 128; ++n) EXPECT_FLOAT_EQ(e.p().tuneTable[n], (float)n) << n;
    std::string stored = "x";
    loadStringFromPrefs("TuningName", stored, 256);
    EXPECT_EQ(stored, "");
    e.p().setProgram(0);
    e.render(8192);
    EXPECT_FLOAT_EQ(e.p().tuneTable[69], 69.0f);
}

// --- the parser on its own ---------------------------------------------------------------------

namespace {

bool parse(const std::string& text, float* table) { return tunfile::parse(text.data(), text.size(), table); }

}  // namespace

TEST(TuningFile, EntriesGiveCentsAboveNoteZero) {
    float t[128];
    ASSERT_TRUE(parse("[Tuning]\nnote 69=6900\nnote 70=7050.5\nnote 0=-100\n", t));
    EXPECT_FLOAT_EQ(t[69], 69.0f);
    EXPECT_FLOAT_EQ(t[70], 70.505f);
    EXPECT_FLOAT_EQ(t[0], -1.0f);
    EXPECT_FLOAT_EQ(t[71], 71.0f) << "notes without an entry stay equal-tempered";
}

TEST(TuningFile, TheExactSectionWinsAndTheLastHeaderOfAKindCounts) {
    float t[128];
    ASSERT_TRUE(parse("[Exact Tuning]\nnote 60=6010\n[Tuning]\nnote 60=6050\nnote 61=6150\n"
                      "; end\n[Exact Tuning]\nnote 62=6220\n",
                      t));
    EXPECT_FLOAT_EQ(t[62], 62.2f);
    EXPECT_FLOAT_EQ(t[60], 60.0f) << "only the last exact section is read";
    EXPECT_FLOAT_EQ(t[61], 61.0f);
    ASSERT_TRUE(parse("[Tuning Old]\nnote 60=6050\n[Tuni]\nnote 61=6150\n", t));
    EXPECT_FLOAT_EQ(t[61], 61.5f) << "a header is known by five characters";
    EXPECT_FLOAT_EQ(t[60], 60.0f);
}

TEST(TuningFile, ACommentEndsTheSectionOtherLinesAreSkipped) {
    float t[128];
    ASSERT_TRUE(parse("[Tuning]\n; comment\nnote 69=6950\n", t));
    EXPECT_FLOAT_EQ(t[69], 69.0f);
    ASSERT_TRUE(parse("[Tuning]\r\n\r\nbase=5\r\n[Other]\r\nNote 60=6100\r\nnote 69=6950\r\n", t));
    EXPECT_FLOAT_EQ(t[69], 69.5f);
    EXPECT_FLOAT_EQ(t[60], 60.0f) << "\"Note\" is not \"note\"";
}

TEST(TuningFile, BadEntriesAreIgnored) {
    float t[128];
    ASSERT_TRUE(parse("[Tuning]\nnote 128=100\nnote -1=100\nnote 5=\nnote =100\nnote x=100\n"
                      "note 6=nan\nnote 7=inf\nnote 8=abc\nnote 99999999999999999999=1\nnote 9==950\n"
                      "note 10=1000=77\nnote\nnote 1\n",
                      t));
    for (int n = 0; n < 128; ++n) {
        if (n == 9 || n == 10) continue;
        EXPECT_FLOAT_EQ(t[n], (float)n) << n;
    }
    EXPECT_FLOAT_EQ(t[9], 9.5f) << "further '=' are dropped";
    EXPECT_FLOAT_EQ(t[10], 10.0f);
}

TEST(TuningFile, ValuesAreHeldToASaneRange) {
    float t[128];
    ASSERT_TRUE(parse("[Tuning]\nnote 1=1e30\nnote 2=-1e30\n", t));
    EXPECT_FLOAT_EQ(t[1], tunfile::kHighestPitch);
    EXPECT_FLOAT_EQ(t[2], tunfile::kLowestPitch);
}

TEST(TuningFile, LongLinesAreReadWhole) {
    float t[128];
    const std::string longComment = "[Tuning]\nnote 69=6950" + std::string(5000, ' ') + "x\nnote 70=7050\n";
    ASSERT_TRUE(parse(longComment, t));
    EXPECT_FLOAT_EQ(t[69], 69.5f);
    EXPECT_FLOAT_EQ(t[70], 70.5f);
    // A long line is one line: its tail does not start a new entry.
    const std::string tail = "[Tuning]\n;" + std::string(300, 'c') + "note 60=6100\nnote 61=6150\n";
    ASSERT_TRUE(parse(tail, t));
    EXPECT_FLOAT_EQ(t[60], 60.0f);
    EXPECT_FLOAT_EQ(t[61], 61.0f) << "the comment ends the section";
}

TEST(TuningFile, WithoutASectionNothingIsWritten) {
    float t[128];
    for (float& v : t) v = -5.0f;
    EXPECT_FALSE(parse("", t));
    EXPECT_FALSE(parse("note 69=6950\n", t));
    EXPECT_FALSE(parse("[Tun\nnote 69=6950\n", t));
    for (float v : t) EXPECT_EQ(v, -5.0f);
    EXPECT_TRUE(parse("\xEF\xBB\xBF[Tuning]\nnote 69=6950\n", t)) << "a byte-order mark is no obstacle";
    EXPECT_FLOAT_EQ(t[69], 69.5f);
}

TEST(TuningFile, EveryKindOfLineEndReadsAlike) {
    for (const char* br : {"\n", "\r\n", "\r"}) {
        const std::string text = std::string("; old Mac file") + br + "[Tuning]" + br + "note 69=6950" + br +
                                 "note 70=7050" + br + ";" + br + "note 71=7150" + br;
        float t[128];
        ASSERT_TRUE(parse(text, t)) << (int)br[0];
        EXPECT_FLOAT_EQ(t[69], 69.5f) << (int)br[0];
        EXPECT_FLOAT_EQ(t[70], 70.5f) << (int)br[0];
        EXPECT_FLOAT_EQ(t[71], 71.0f) << "the comment ends the section";
    }
}
