// Reading and changing parameters by meaning: stepped choices, switches, texts kept in
// parameters, defaults and originals, copies and swaps, and the editor window questions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "plugin/uPluginTags.h"
#include "support/FakeEditor.h"
#include "support/PluginHarness.h"
#include "vst/AEffEditor.h"

namespace {

// A plug-in with its start-up program applied; every suite here starts from one.
struct StartedPlugin : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();
    void SetUp() override { h.run(1); }
};

using CopyAndSwap = StartedPlugin;
using DefaultValues = StartedPlugin;
using EditorQueries = StartedPlugin;
using OnOffValues = StartedPlugin;
using ParameterTexts = StartedPlugin;
using SteppedValues = StartedPlugin;

// Live, program and edited copies of a tag all hold v.
void expectStored(APlugin& p, int tag, float v) {
    EXPECT_EQ(p.paramValue[tag], v) << "tag " << tag;
    EXPECT_EQ(p.getParameter(tag), v) << "tag " << tag;
    EXPECT_EQ(p.paramEdited[tag], v) << "tag " << tag;
}

const int kInvalidTags[] = {-1, -1000, 1024, 5000, std::numeric_limits<int>::min(),
                            std::numeric_limits<int>::max()};

}  // namespace

// --- stepped values ----------------------------------------------------------------------

TEST_F(SteppedValues, EveryIndexOfEveryRecordReadsBack) {
    int records = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const int count = p.getSteppedNum(tag);
        if (count == -1) continue;
        ++records;
        for (int i = 0; i < count; ++i) {
            p.setSteppedValue(tag, i);
            ASSERT_EQ(p.getSteppedValue(tag), i) << "tag " << tag << " index " << i;
            ASSERT_EQ(p.getSteppedValue(tag, p.paramValue[tag]), i) << "tag " << tag;
        }
    }
    // Layer waves, sources, modes, the mod matrix, the arp and chord menus at least.
    EXPECT_GT(records, 100);
}

TEST_F(SteppedValues, RangesBelowTheCountStillReachTheLastIndex) {
    // "Arp Number of Steps": 16 choices over a range of 15, so the last value is past 1.0.
    ASSERT_EQ(p.getSteppedNum(395), 16);
    ASSERT_EQ(p.getSteppedRange(395), 15.0f);
    p.setSteppedValue(395, 15);
    EXPECT_EQ(p.paramValue[395], 1.0f);
    EXPECT_EQ(p.getSteppedValue(395), 15);
    p.setSteppedValue(395, 14);
    EXPECT_FLOAT_EQ(p.paramValue[395], 14.1f / 15.0f);
}

TEST_F(SteppedValues, IndicesAreClampedAndContinuousTagsUntouched) {
    const int count = p.getSteppedNum(244);  // Play Mode
    ASSERT_EQ(count, 9);
    p.setSteppedValue(244, -3);
    EXPECT_EQ(p.getSteppedValue(244), 0);
    EXPECT_FLOAT_EQ(p.paramValue[244], 0.1f / 8.99f);
    p.setSteppedValue(244, count + 5);
    EXPECT_EQ(p.getSteppedValue(244), count - 1);
    p.setSteppedValue(244, std::numeric_limits<int>::max());
    EXPECT_EQ(p.getSteppedValue(244), count - 1);
    p.setSteppedValue(244, std::numeric_limits<int>::min());
    EXPECT_EQ(p.getSteppedValue(244), 0);

    // A continuous record takes no stepped write in its own record form.
    p.setParameter(1, 0.37f);
    h.host().automated.clear();
    p.setSteppedValue(1, 3);
    p.setSteppedValueMax(1);
    EXPECT_EQ(p.paramValue[1], 0.37f);
    EXPECT_TRUE(h.host().automated.empty());
    EXPECT_EQ(p.getSteppedValue(1), 0);

    // ... but the caller's own list steps it: 19 strum lengths over 18.99.
    p.setSteppedValue(557, 7, 18.99f, 19);
    EXPECT_FLOAT_EQ(p.paramValue[557], 7.1f / 18.99f);
    EXPECT_EQ(p.getSteppedValue(557, 18.99f, 19), 7);
}

TEST_F(SteppedValues, WritesAreAutomated) {
    h.host().automated.clear();
    p.setSteppedValue(347, 5);
    p.setSteppedValue(557, 2, 18.99f, 19);
    p.setSteppedValueMax(349);
    ASSERT_EQ(h.host().automated.size(), 3u);
    EXPECT_EQ(h.host().automated[0].first, 347);
    EXPECT_FLOAT_EQ(h.host().automated[0].second, 5.1f / 26.99f);
    EXPECT_EQ(h.host().automated[1].first, 557);
    EXPECT_EQ(h.host().automated[2].first, 349);
    EXPECT_EQ(p.getSteppedValue(349), 10);
}

TEST_F(SteppedValues, MaxOfASingleChoiceRecordIsIndexZero) {
    p.setParameterVars(1000, 0.0f, false, 0.99f, 1, 0, kTypeByTag, "One Choice", 0.0f);
    p.setParameter(1000, 0.8f);
    p.setSteppedValueMax(1000);
    EXPECT_FLOAT_EQ(p.paramValue[1000], 0.1f / 0.99f);
    EXPECT_EQ(p.getSteppedValue(1000), 0);
}

TEST_F(SteppedValues, ReadingIsTruncationWithClamp) {
    EXPECT_EQ(APlugin::getSteppedValue(0.0f, 8.99f, 9), 0);
    EXPECT_EQ(APlugin::getSteppedValue(1.0f, 8.99f, 9), 8);
    EXPECT_EQ(APlugin::getSteppedValue(2.5f, 8.99f, 9), 8);
    EXPECT_EQ(APlugin::getSteppedValue(-0.5f, 8.99f, 9), 0);
    // 0.1 below the next step boundary still belongs to the lower index.
    EXPECT_EQ(APlugin::getSteppedValue(2.89f / 8.99f, 8.99f, 9), 2);
    EXPECT_EQ(APlugin::getSteppedValue(2.91f / 8.99f, 8.99f, 9), 3);
    EXPECT_EQ(APlugin::getSteppedValue(std::numeric_limits<float>::quiet_NaN(), 8.99f, 9), 0);
    EXPECT_EQ(APlugin::getSteppedValue(std::numeric_limits<float>::infinity(), 8.99f, 9), 8);
    EXPECT_EQ(APlugin::getSteppedValue(3.0e38f, 199.99f, 137), 136);
    EXPECT_EQ(APlugin::getSteppedValue(0.5f, 1.0f, 0), 0);
}

TEST_F(SteppedValues, InvalidTagsGiveNeutralAnswers) {
    h.host().automated.clear();
    for (int tag : kInvalidTags) {
        EXPECT_EQ(p.getSteppedValue(tag), 0);
        EXPECT_EQ(p.getSteppedValue(tag, 8.99f, 9), 0);
        EXPECT_EQ(p.getSteppedValue(tag, 0.7f), 0);
        EXPECT_EQ(p.getSteppedRange(tag), 1.0f);
        EXPECT_EQ(p.getSteppedNum(tag), -1);
        p.setSteppedValue(tag, 1);
        p.setSteppedValue(tag, 1, 8.99f, 9);
        p.setSteppedValueMax(tag);
    }
    EXPECT_TRUE(h.host().automated.empty());
    EXPECT_EQ(p.getSteppedRange(1), p.paramStepRange[1]);
}

// --- on/off ------------------------------------------------------------------------------

TEST_F(OnOffValues, HalfIsOnAndWritersStoreWholeValues) {
    EXPECT_TRUE(APlugin::getOnOff(0.5f));
    EXPECT_FALSE(APlugin::getOnOff(0.4999f));

    const int tag = 126;  // continuous, not a switch record: the writers decide the value
    h.host().automated.clear();
    p.setOnOff(tag, 0.7f);
    EXPECT_EQ(p.paramValue[tag], 1.0f);
    EXPECT_TRUE(p.getOnOff(tag));
    p.setOnOff(tag, 0.49f);
    EXPECT_EQ(p.paramValue[tag], 0.0f);
    p.setOnOff(tag, true);
    EXPECT_EQ(p.paramValue[tag], 1.0f);
    p.setOff(tag);
    EXPECT_EQ(p.paramValue[tag], 0.0f);
    p.setOn(tag);
    EXPECT_EQ(p.paramValue[tag], 1.0f);
    p.toggleValue(tag);
    EXPECT_EQ(p.paramValue[tag], 0.0f);
    p.setParameter(tag, 0.6f);
    h.host().automated.clear();
    p.toggleValue(tag);
    EXPECT_EQ(p.paramValue[tag], 0.0f);
    ASSERT_EQ(h.host().automated.size(), 1u);
    EXPECT_EQ(h.host().automated[0], std::make_pair(tag, 0.0f));

    h.host().automated.clear();
    for (int bad : kInvalidTags) {
        EXPECT_FALSE(p.getOnOff(bad));
        p.setOnOff(bad, true);
        p.setOnOff(bad, 1.0f);
        p.setOn(bad);
        p.setOff(bad);
        p.toggleValue(bad);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

// --- defaults, originals, zero and random --------------------------------------------------

TEST_F(DefaultValues, RibbonRestsAtTheBottomWhenUnipolar) {
    ASSERT_EQ(p.getDefaultValue(126), 0.5f);
    p.setParameter(126, 0.9f);
    p.setOff(665);
    p.setToDefault(126);
    EXPECT_EQ(p.paramValue[126], 0.0f);
    p.setOn(665);
    p.setToDefault(126);
    EXPECT_EQ(p.paramValue[126], 0.5f);
    p.setOff(665);
    p.setParameter(126, 0.9f);
    p.setToDefaultRange(126, 126);
    EXPECT_EQ(p.paramValue[126], 0.5f);
}

TEST_F(DefaultValues, RangeWritesEveryRecordDefaultAutomated) {
    for (int tag = 9; tag <= 20; ++tag) p.setParameter(tag, 0.123f);
    h.host().automated.clear();
    p.setToDefaultRange(9, 20);
    for (int tag = 9; tag <= 20; ++tag) EXPECT_EQ(p.paramValue[tag], p.paramDefault[tag]) << tag;
    ASSERT_EQ(h.host().automated.size(), 12u);
    EXPECT_EQ(h.host().automated.front().first, 9);
    EXPECT_EQ(h.host().automated.back().first, 20);

    h.host().automated.clear();
    p.setToDefaultRange(20, 9);
    p.setToDefaultRange(-1, 5);
    p.setToDefaultRange(1020, 1024);
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(DefaultValues, OriginalZeroAndRandom) {
    const float orig = p.getOrigValue(1);
    EXPECT_EQ(orig, p.paramOrig[1]);
    p.setParameter(1, 0.2f);
    EXPECT_EQ(p.getOrigValue(1), orig);
    h.host().automated.clear();
    p.setToOrig(1);
    EXPECT_EQ(p.paramValue[1], orig);
    EXPECT_EQ(h.host().automated.size(), 1u);

    // The zero value is written without telling the host.
    h.host().automated.clear();
    p.setParameter(1, 0.2f);
    p.setZeroValue(1);
    EXPECT_EQ(p.paramValue[1], p.paramZeroValue[1]);
    EXPECT_EQ(p.paramValue[1], 0.75f);
    EXPECT_TRUE(h.host().automated.empty());

    // Random values lie on the grid of 32768 steps from 0 to 1 and are automated.
    bool differs = false;
    float first = -1.0f;
    for (int i = 0; i < 50; ++i) {
        p.setRandomValue(1);
        const float v = p.paramValue[1];
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 1.0f);
        const float k = std::round(v * 32767.0f);
        ASSERT_EQ(v, k / 32767.0f);
        if (first < 0.0f) first = v;
        differs |= v != first;
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(h.host().automated.size(), 50u);

    h.host().automated.clear();
    for (int bad : kInvalidTags) {
        EXPECT_EQ(p.getDefaultValue(bad), 0.0f);
        EXPECT_EQ(p.getOrigValue(bad), 0.0f);
        p.setToDefault(bad);
        p.setToOrig(bad);
        p.setZeroValue(bad);
        p.setRandomValue(bad);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

// --- copies and swaps ----------------------------------------------------------------------

TEST_F(CopyAndSwap, LayerCopyIsPlain) {
    for (int i = 0; i < 31; ++i) p.setParameter(9 + i, 0.01f * (float)(i + 3));
    h.host().automated.clear();
    p.copyParameterRange(9, 40, 31);
    for (int i = 0; i < 31; ++i) expectStored(p, 40 + i, 0.01f * (float)(i + 3));
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(CopyAndSwap, SwapsReadBothFirst) {
    p.setParameter(10, 0.25f);
    p.setParameter(41, 0.75f);
    p.swapParameter(10, 41);
    expectStored(p, 10, 0.75f);
    expectStored(p, 41, 0.25f);
    p.swapParameter(10, 10);
    expectStored(p, 10, 0.75f);

    for (int i = 0; i < 4; ++i) {
        p.setParameter(100 + i, 0.1f * (float)(i + 1));
        p.setParameter(110 + i, 0.9f - 0.1f * (float)i);
    }
    h.host().automated.clear();
    p.swapParameterRange(100, 110, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(p.getParameter(100 + i), 0.9f - 0.1f * (float)i);
        EXPECT_FLOAT_EQ(p.getParameter(110 + i), 0.1f * (float)(i + 1));
    }
    EXPECT_TRUE(h.host().automated.empty());

    p.copyParameterToRange(10, 20, 23);
    for (int tag = 20; tag <= 23; ++tag) expectStored(p, tag, 0.75f);
}

TEST_F(CopyAndSwap, NeverWriteTheProgramTriggerOrOutsideTheTags) {
    h.run(4096);  // 4097 samples in all: the start-up program has been applied
    ASSERT_EQ((int)p.presetPending, 0);
    const float trigger = p.getParameter(kPresetTriggerTag);
    p.setParameter(1021, 0.3f);
    p.setParameter(1023, 0.6f);
    p.copyParameter(1, kPresetTriggerTag);
    p.copyParameterRange(1000, 1020, 10);      // 1020..1029: only 1020, 1021, 1023 exist
    p.copyParameterToRange(5, 1015, 2000);
    p.swapParameter(kPresetTriggerTag, 3);
    p.swapParameterRange(1020, 1021, 10);
    EXPECT_EQ(p.getParameter(kPresetTriggerTag), trigger);
    EXPECT_EQ((int)p.presetPending, 0);

    // Copying the program trigger's value elsewhere is refused as well.
    p.setParameter(7, 0.42f);
    p.copyParameter(kPresetTriggerTag, 7);
    p.copyParameterToRange(kPresetTriggerTag, 7, 8);
    EXPECT_EQ(p.getParameter(7), 0.42f);

    // The pairs that exist in a clipped range are still copied.
    p.setParameter(1000, 0.11f);
    p.setParameter(1001, 0.22f);
    p.copyParameterRange(1000, 1020, 10);
    EXPECT_EQ(p.getParameter(1020), 0.11f);
    EXPECT_EQ(p.getParameter(1021), 0.22f);
    EXPECT_EQ(p.getParameter(1023), p.getParameter(1003));

    // Negative starts go on with the first valid pair; huge counts end at the tag space.
    p.setParameter(0, 0.0f);
    p.setParameter(50, 0.5f);
    p.copyParameterRange(-2, 48, 3);  // only the pair 0 -> 50
    EXPECT_EQ(p.getParameter(50), 0.0f);
    p.copyParameterRange(-2000000000, 5, std::numeric_limits<int>::max());
    p.swapParameterRange(std::numeric_limits<int>::max(), 3, 5);
    p.copyParameterRange(1, 2, 0);
    p.copyParameterRange(1, 2, -5);
    p.copyParameterToRange(1, 9, 8);
    EXPECT_EQ((int)p.presetPending, 0);
}

// --- texts in parameters -------------------------------------------------------------------

TEST_F(ParameterTexts, CharactersAreEncodedOnePerTag) {
    p.setStringFromParam(" -A", 930, 28, false);
    EXPECT_FLOAT_EQ(p.getParameter(930), 0.12695809f);
    EXPECT_FLOAT_EQ(p.getParameter(931), 0.17774132f);
    EXPECT_FLOAT_EQ(p.getParameter(932), 0.25586936f);
    EXPECT_EQ(p.getParameter(933), 0.0f);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), " -A");
    // 1.0 holds no character.
    p.setParameter(933, 1.0f);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), " -A");
}

TEST_F(ParameterTexts, NamesAreCleanedForFiles) {
    p.setStringFromParam("Bass: a/b?c", 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Bass- a b c");
    p.setStringFromParam("x<y>\"z*\\|", 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "x y  z   ");
    p.setStringFromParam("Aa Zz 09 -~", 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Aa Zz 09 -~");
    // Control characters and UTF-8 bytes vanish; their neighbours close up.
    p.setStringFromParam("Fl\xC3\xBCte\t1\x7F", 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Flte1\x7F");
}

TEST_F(ParameterTexts, RunIsClearedAndBounded) {
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    p.setStringFromParam(thirty, 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), thirty.substr(0, 27));
    EXPECT_EQ(p.getParameter(957), 0.0f);
    p.setStringFromParam("Pluck1", 930, 28, false);
    p.setStringFromParam("Ab", 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Ab");
    for (int tag = 932; tag < 958; ++tag) EXPECT_EQ(p.getParameter(tag), 0.0f) << tag;

    // A run that leaves the tag space is cut, not written past it.
    p.setStringFromParam("WXYZ12", 1020, 10, false);
    EXPECT_EQ(p.getStringFromParamStr(1020, 10, false, false), "WXYZ");
    p.setStringFromParam("Q", -3, 10, false);
    EXPECT_EQ(p.getStringFromParamStr(-3, 10, false, false), "");
    p.setStringFromParam("abcdef", -2, 10, false);  // 'a', 'b' fall outside
    EXPECT_EQ(p.getStringFromParamStr(0, 4, false, false), "cdef");
    EXPECT_EQ(p.getStringFromParamStr(930, 0, false, false), "");
    EXPECT_EQ(p.getStringFromParamStr(930, -4, false, false), "");
    EXPECT_EQ(p.getStringFromParamStr(std::numeric_limits<int>::max(), 100, false, false), "");
    p.setStringFromParam("abc", 5, 0, false);
    p.setStringFromParam("abc", std::numeric_limits<int>::max(), 50, false);
}

TEST_F(ParameterTexts, WritesBypassHostEditorAndChangeTest) {
    h.run(4096);  // 4097 samples in all: the start-up program has been applied
    const float orig = p.paramOrig[935];
    const float last = p.paramLast[935];
    ASSERT_EQ((int)p.editChanged, 0);
    h.host().automated.clear();
    p.setStringFromParam("Arp Folder", 930, 28, false);
    EXPECT_TRUE(h.host().automated.empty());
    EXPECT_EQ((int)p.editChanged, 0);
    EXPECT_EQ(p.paramOrig[935], orig);
    EXPECT_EQ(p.paramLast[935], last);
    for (int tag = 930; tag < 940; ++tag) {
        EXPECT_EQ(p.paramValue[tag], p.getParameter(tag));
        EXPECT_EQ(p.paramEdited[tag], p.getParameter(tag));
    }
    EXPECT_EQ(p.getStringFromParamStr(930, 28, true, false), "Arp Folder");
}

TEST_F(ParameterTexts, ScratchAndLiveSourcesAreSeparate) {
    p.setStringFromParam("Prog", 850, 80, false);
    p.setStringFromParam("Scratch", 850, 80, true);
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, true), "Scratch");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Prog");
    // The live copy can differ from the program (as a lock or a pending program makes it).
    p.paramValue[850] = (float)('X' + 0.5) / 255.99f;
    EXPECT_EQ(p.getStringFromParamStr(850, 80, true, false), "Xrog");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Prog");
    p.setStringFromParam("", 850, 80, true);
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, true), "");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Prog");
}

// --- the editor window ---------------------------------------------------------------------

TEST_F(EditorQueries, OpenOnlyWithWindowFlagsAndNotWhileOpening) {
    EXPECT_FALSE(p.isEditorOpen());
    FakeEditor* editor = installFakeEditor(h);
    p.editorOpen = 1;
    EXPECT_FALSE(p.isEditorOpen());  // no window yet
    int window = 0;
    editor->open(&window);
    EXPECT_TRUE(p.isEditorOpen());
    p.editorOpening = 1;
    EXPECT_FALSE(p.isEditorOpen());
    p.editorOpening = 0;
    p.editorOpen = 0;
    EXPECT_FALSE(p.isEditorOpen());

    p.editorRedrawRequest = 0;
    p.editorRefreshRequest = 1;
    p.updateEditorScreen();
    EXPECT_EQ((int)p.editorRefreshRequest, 0);
    EXPECT_EQ((int)p.editorRedrawRequest, 0);
    p.editorOpen = 1;
    p.editorRefreshRequest = 1;
    p.updateEditorScreen();
    EXPECT_EQ((int)p.editorRefreshRequest, 0);
    EXPECT_EQ((int)p.editorRedrawRequest, 1);
    editor->close();
    p.editorRedrawRequest = 0;
    p.updateEditorScreen();
    EXPECT_EQ((int)p.editorRedrawRequest, 0);
}
