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

// Each file: whether it parses, and the pitch of some notes afterwards (every other note
// stays equal-tempered).
TEST(TuningFile, ParsesEntriesSectionsCommentsLineEndsAndBadInput) {
    const std::string longLine = "[Tuning]\nnote 69=6950" + std::string(5000, ' ') + "x\nnote 70=7050\n";
    const std::string longComment = "[Tuning]\n;" + std::string(300, 'c') + "note 60=6100\nnote 61=6150\n";
    const struct {
        std::string text;
        std::vector<std::pair<int, float>> pitches;
    } rows[] = {
        {"[Tuning]\nnote 69=6900\nnote 70=7050.5\nnote 0=-100\n", {{69, 69.f}, {70, 70.505f}, {0, -1.f}}},
        // Only the last exact section counts; a header is known by five characters.
        {"[Exact Tuning]\nnote 60=6010\n[Tuning]\nnote 60=6050\nnote 61=6150\n; end\n[Exact Tuning]\nnote 62=6220\n",
         {{62, 62.2f}}},
        {"[Tuning Old]\nnote 60=6050\n[Tuni]\nnote 61=6150\n", {{61, 61.5f}}},
        // A comment ends the section; other lines and "Note" are skipped.
        {"[Tuning]\n; comment\nnote 69=6950\n", {}},
        {"[Tuning]\r\n\r\nbase=5\r\n[Other]\r\nNote 60=6100\r\nnote 69=6950\r\n", {{69, 69.5f}}},
        {"[Tuning]\nnote 128=100\nnote -1=100\nnote 5=\nnote =100\nnote x=100\nnote 6=nan\nnote 7=inf\n"
         "note 8=abc\nnote 99999999999999999999=1\nnote 9==950\nnote 10=1000=77\nnote\nnote 1\n",
         {{9, 9.5f}}},
        {"[Tuning]\nnote 1=1e30\nnote 2=-1e30\n", {{1, tunfile::kHighestPitch}, {2, tunfile::kLowestPitch}}},
        {longLine, {{69, 69.5f}, {70, 70.5f}}},
        {longComment, {}},
        {"\xEF\xBB\xBF[Tuning]\nnote 69=6950\n", {{69, 69.5f}}},
        {"; old\n[Tuning]\nnote 69=6950\nnote 70=7050\n;\nnote 71=7150\n", {{69, 69.5f}, {70, 70.5f}}},
        {"; old\r\n[Tuning]\r\nnote 69=6950\r\nnote 70=7050\r\n;\r\nnote 71=7150\r\n", {{69, 69.5f}, {70, 70.5f}}},
        {"; old\r[Tuning]\rnote 69=6950\rnote 70=7050\r;\rnote 71=7150\r", {{69, 69.5f}, {70, 70.5f}}},
    };
    for (const auto& r : rows) {
        float t[128];
        ASSERT_TRUE(parse(r.text, t)) << r.text.substr(0, 40);
        for (int n = 0; n < 128; ++n) {
            float want = (float)n;
            for (const auto& p : r.pitches)
                if (p.first == n) want = p.second;
            EXPECT_FLOAT_EQ(t[n], want) << "note " << n << " of " << r.text.substr(0, 40);
        }
    }
    // Without a section nothing is written.
    float t[128];
    for (float& v : t) v = -5.0f;
    for (const char* text : {"", "note 69=6950\n", "[Tun\nnote 69=6950\n"}) EXPECT_FALSE(parse(text, t)) << text;
    for (float v : t) EXPECT_EQ(v, -5.0f);
}
