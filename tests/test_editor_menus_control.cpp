// The control menu of knobs and the ribbon: what it says about the parameter, its value, MIDI
// and modulation commands, and the family entries; semitone choices checked in the engine,
// on the display and in a rendered note.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "plugin/uPluginStrings.h"
#include "test_engine_util.h"

using namespace enginetest;
using namespace VSTGUI;

namespace {

class ControlEditor : public uEditor {
public:
    using uEditor::uEditor;
    void createMainScreenControls() override {}
    void createEasyScreenControls() override {}
    void createBackScreen() override {}
    void setModes(int modFX, int distort) { modFXMode = modFX, distortMode = distort; }
};

struct Bench {
    explicit Bench(const Params& params = {}) : e(params) {
        std::string path = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(path.substr(0, path.rfind('/')) + "/Tavrolune.resources");
        delete p().getEditor();
        ed = new ControlEditor(&p());
        setMenuPresenter(&menus);
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        EXPECT_EQ(e.harness().dispatch(effEditOpen), 1);
    }
    ~Bench() {
        control->forget();
        e.harness().dispatch(effEditClose);
    }
    APlugin& p() { return e.p(); }
    // Opens the menu of a control of `tag` and answers with `path` (empty: dismissed).
    void pick(int tag, const std::vector<std::string>& path) {
        path.empty() ? menus.dismiss() : menus.choose(path);
        control->setTag(tag);
        ed->showMIDIMenu(control, false);
        ASSERT_TRUE(menus.transcript().back().refusal.empty()) << menus.transcript().back().refusal;
    }
    int count(const std::string& prefix) {
        const auto& l = menus.transcript().back().lines;
        return (int)std::count_if(l.begin(), l.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }
    bool told(int tag) {
        const auto& a = e.harness().host().automated;
        return std::any_of(a.begin(), a.end(), [tag](const std::pair<int, float>& x) { return x.first == tag; });
    }
    guitest::GuiStateGuard guard;
    Engine e;
    ScriptedMenuPresenter menus;
    ControlEditor* ed = nullptr;
    CControl* control = new CControl(CRect(0, 0, 10, 10));
};

// The path to semitone row r in a pitch knob's menu.
std::vector<std::string> semiPath(int r) {
    if (r == 48) return {SEMI_STR[48]};
    return {SEMI_SUB_STR[r < 24 ? 0 : r < 48 ? 1 : r < 73 ? 2 : 3], SEMI_STR[r]};
}

// The semitones the engine plays for pitch pair k (0 the layer, 1 FM 1, 2 FM 2) of layer L.
double engineSemis(Bench& b, int L, int k) {
    b.e.render(64);
    const APlugin& p = b.p();
    return 12.0 * (k == 0 ? p.layerSemi[L] : k == 1 ? p.fm1Pitch[L] : p.fm2Pitch[L]);
}

}  // namespace

TEST(ControlMenu, StatusLinesAndModulationCommandsActOnlyOnMatchingSlots) {
    Bench b;
    APlugin& p = b.p();
    const int tag = FILTER_FREQ_TAGS[0], dest = p.getTagDest(tag);
    ASSERT_GT(dest, 0);
    p.midiCCMap[74] = tag;
    p.midiCCMap[7] = tag;
    for (int k = 0; k < 8; ++k) p.setModSlotVar(k, false, 0.5f, 0, 0);
    p.setModSlotVar(1, false, 0.7f, 3, dest);
    p.setModSlotVar(5, false, 0.7f, 3, dest);
    p.setModSlotVar(3, false, 0.7f, 3, dest + 1);
    b.pick(tag, {});
    EXPECT_EQ(b.count("(grey) Latched to MIDI CC: 7"), 1);
    EXPECT_EQ(b.count(std::string("(grey) Modulated by ") + SRC_STR[3]), 2);

    // "Modulate by" fills the first free slot only.
    b.pick(tag, {std::string("Modulate by ") + SRC_SUB_STR[0], SRC_STR[2]});
    EXPECT_EQ(p.getModSlotDest(0), dest);
    EXPECT_EQ(p.getModSrcByModStr(0), SRC_STR[2]);
    EXPECT_EQ(p.getModSlotDest(2), 0);
    // With no slot free the submenus are gone, the modulation commands stay.
    for (int k : {2, 4, 6, 7}) p.setModSlotVar(k, false, 0.7f, 3, dest + 2);
    b.pick(tag, {"Bypass Modulation"});
    EXPECT_EQ(b.count("Modulate by "), 0);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(p.getModSlotBypass(k), k == 0 || k == 1 || k == 5) << k;
    b.pick(tag, {"Clear Modulation"});
    for (int k = 0; k < 8; ++k) EXPECT_EQ(p.getModSlotDest(k) == 0, k == 0 || k == 1 || k == 5) << k;

}

TEST(ControlMenu, ValueAndFamilyCommandsLandWithTheHostToldAsSaid) {
    Bench b;
    APlugin& p = b.p();
    const int freq = FILTER_FREQ_TAGS[0], vowel = FILTER_VOWEL_TAGS[0];
    p.setSteppedValue(FILTER_MODE_TAGS[0], 27);  // Vocal
    p.setParameter(357, 0.0f);
    const struct {
        int tag;
        std::vector<std::string> path;
        int readTag;
        float value;
        bool told;
    } rows[] = {
        {freq, {"Set to Minimum Value"}, freq, 0.0f, true},
        {freq, {"Set to Maximum Value"}, freq, 1.0f, true},
        {freq, {"Set to Mid Value"}, freq, 0.5f, true},
        {freq, {"Set to Default Value"}, freq, p.getDefaultValue(freq), true},
        {vowel, {"Set to Vowel", "O"}, vowel, 3.1f / 4.99f, false},
        {102, {"Turn LFO 1 Tempo Sync On"}, 357, 1.0f, true},
        {102, {"Set Speed", LFO_PERIOD_STR[33]}, 102, 33.1f / 33.99f, false},
        {105, {"Set Amp Model", "None"}, 105, 0.1f / 5.99f, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path.back());
        p.setParameter(r.readTag, 0.3f);
        b.e.harness().host().automated.clear();
        b.pick(r.tag, r.path);
        EXPECT_FLOAT_EQ(p.getParameter(r.readTag), r.value);
        EXPECT_EQ(b.told(r.readTag), r.told);
    }
    // The ribbon routes itself into the first free slot.
    for (int k = 0; k < 8; ++k) p.setModSlotVar(k, false, 0.5f, 1, k == 0 ? 5 : 0);
    b.pick(126, {"Set To Destination", DEST_SUB_STR[2], b.ed->getDestStr(DEST_SUB_START[2])});
    EXPECT_EQ(p.getModSlotDest(1), DEST_SUB_START[2]);
    EXPECT_EQ(p.getModSrcByModStr(1), SRC_STR[111]);
    EXPECT_TRUE(b.told(MOD_DEST_TAGS[1]));
}

TEST(ControlMenu, EverySemitoneRowAndOctaveStepDecodesToItsStepInTheEngineAndOnTheDisplay) {
    Bench b;
    APlugin& p = b.p();
    for (int L = 0; L < 3; ++L)
        for (int k = 0; k < 3; ++k) {
            const int semi = (k == 0 ? SEMI_TAGS : k == 1 ? FM_1_SEMI_TAGS : FM_2_SEMI_TAGS)[L];
            const int fine = (k == 0 ? FINE_TAGS : k == 1 ? FM_1_FINE_TAGS : FM_2_FINE_TAGS)[L];
            for (int r = 0; r < 97; ++r) {
                SCOPED_TRACE(testing::Message() << "layer " << L << " pair " << k << " row " << r);
                p.setParameter(fine, 0.9f);
                b.pick(r % 2 ? semi : fine, semiPath(r));  // from either knob of the pair
                EXPECT_EQ(p.getParameter(fine), 0.5f);
                ASSERT_NEAR(engineSemis(b, L, k), r - 48, 1e-4);
                EXPECT_EQ(p.getParameterDisplayStr(semi), (r > 48 ? "+" : "") + std::to_string(r - 48) + " semi");
                const int up = std::min(r + 12, 96);
                b.pick(fine, {"Up An Octave"});
                ASSERT_NEAR(engineSemis(b, L, k), up - 48, 1e-4);
                b.pick(semi, {"Down An Octave"});
                b.pick(semi, {"Down An Octave"});
                ASSERT_NEAR(engineSemis(b, L, k), std::max(up - 24, 0) - 48, 1e-4);
            }
        }
}

TEST(ControlMenu, FMRatioSetsTheOperatorToThatRatio) {
    Bench b;
    const int tag = FM_2_FINE_TAGS[1];
    const struct {
        const char* typed;  // nullptr: cancelled
        double semis;
    } rows[] = {{"2", 12.0}, {"0.5", -12.0}, {"1.5", 12.0 * std::log2(1.5)}, {"0", 12.0 * std::log2(1.5)},
                {"abc", 12.0 * std::log2(1.5)}, {nullptr, 12.0 * std::log2(1.5)}, {"100", 49.0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed ? r.typed : "(cancel)");
        r.typed ? platform::dialogScriptOk(r.typed) : platform::dialogScriptCancel();
        b.pick(tag, {"Set FM Ratio"});
        EXPECT_NEAR(engineSemis(b, 1, 2), r.semis, 1e-3);
    }
    b.pick(SEMI_TAGS[1], {});
    EXPECT_EQ(b.count("Set FM Ratio"), 0) << "only the FM operators offer a ratio";
}

TEST(ControlMenu, ASemitoneChoiceIsHeardAtThatPitch) {
    Bench b(plainWave(0));
    b.pick(SEMI_TAGS[0], semiPath(48 + 7));
    b.e.noteOn(57);
    const std::vector<float> out = b.e.render(24000);
    EXPECT_NEAR(cents(zeroCrossingFrequency(out, 8000, 16000, 48000.0), formulaFrequency(57 + 7)), 0.0, 3.0);
}
