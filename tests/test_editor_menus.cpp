// The editor's menus through the scripted menu presenter, entry boxes and file selections:
// the command menu frame and its undo, the settings, output and controller-map menus, the
// control menu of knobs (semitones checked in the engine and in a rendered note), and the
// layer, LFO, matrix, velocity-split, arp, chord, strum, Gator and effect section menus.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "controls/TWaveScreen.h"
#include "editor/uEditorNumber.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "test_editor_util.h"

using namespace edtest;
using namespace enginetest;
using Values = std::vector<float>;

namespace {

std::string stored(const char* key) {
    std::string v;
    loadStringFromPrefs(key, v, 128);
    return v;
}

TWaveScreen* scope(const TestEditor& ed, int layer, bool easy) { return easy ? ed.scopesEasy[layer] : ed.scopesMain[layer]; }

void taken(Bench& b) { ASSERT_TRUE(b.menus.transcript().back().refusal.empty()) << b.menus.transcript().back().refusal; }

// A bench with a control whose menu opens for any tag.
struct CtlBench : Bench {
    using Bench::Bench;
    ~CtlBench() { control->forget(); }
    // Opens the menu of a control of `tag` and answers with `path` (empty: dismissed).
    void pick(int tag, const std::vector<std::string>& path) {
        path.empty() ? menus.dismiss() : menus.choose(path);
        control->setTag(tag);
        ed->showMIDIMenu(control, false);
        taken(*this);
    }
    int count(const std::string& prefix) {
        const auto& l = menus.transcript().back().lines;
        return (int)std::count_if(l.begin(), l.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }
    CControl* control = new CControl(CRect(0, 0, 10, 10));
};

// The path to semitone row r in a pitch knob's menu.
std::vector<std::string> semiPath(int r) {
    if (r == 48) return {SEMI_STR[48]};
    return {SEMI_SUB_STR[r < 24 ? 0 : r < 48 ? 1 : r < 73 ? 2 : 3], SEMI_STR[r]};
}

// The semitones the engine plays for pitch pair k (0 the layer, 1 FM 1, 2 FM 2) of layer L.
double engineSemis(CtlBench& b, int L, int k) {
    b.e().render(64);
    const APlugin& p = b.p();
    return 12.0 * (k == 0 ? p.layerSemi[L] : k == 1 ? p.fm1Pitch[L] : p.fm2Pitch[L]);
}

constexpr int kTune = 460, kTie = 428, kOn = 412;
const char* const kCells = "Step / Row / Cell Commands";

void setActiveSteps(Bench& b, int n) { b.set(395, (n - 1 + 0.1f) / b.p().getSteppedRange(395)); }

// Tune row: a distinct value per step; tie row: step 1 tied, steps 5..16 tied.
void fillArp(Bench& b) {
    for (int s = 0; s < 16; ++s) {
        b.set(kTune + s, 0.05f * s + 0.1f);
        b.set(kTie + s, s == 0 || s >= 4 ? 1.0f : 0.0f);
    }
}

void arpMenu(Bench& b, const std::vector<std::string>& path, const char* typed = nullptr, int row = -1, int step = -1) {
    if (typed) platform::dialogScriptOk(typed);
    b.answer(path).ed->showArpMenu(row, step, row >= 0);
}

constexpr int kLeft = 111, kRight = 112, kLength = 110;

int mask(Bench& b, int tag) { return uEditor::decodeGateMask(b.get(tag)); }

void setPattern(Bench& b, int left, int right, int length) {
    b.set(kLeft, uEditor::encodeGateMask(left));
    b.set(kRight, uEditor::encodeGateMask(right));
    b.set(kLength, (length - 1 + 0.1f) / 15.99f);
}

}  // namespace

TEST(EditorMenuFrame, UndoPushesBeforeEveryChoiceButUndoAndGreysWhatCannotRun) {
    Bench b(kBare);
    const int views = b.ed->getFrame()->getNbViews();
    b.menus.dismiss();
    EXPECT_EQ(b.ed->showTestMenu(), "");
    EXPECT_TRUE(b.shows("(grey) Paste LFOs"));
    EXPECT_TRUE(b.shows("(grey) Undo"));
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 0) << "a dismissed menu pushes one level";

    b.h->setParameter(102, 0.2f);
    EXPECT_EQ(b.answer({"Copy LFOs"}).ed->showTestMenu(), "Copy LFOs");
    b.h->setParameter(102, 0.6f);
    b.h.host().automated.clear();
    EXPECT_EQ(b.answer({"Set Speed", "Fast"}).ed->showTestMenu(), "sub:Fast");
    EXPECT_EQ(b.h.host().automated.size(), 1u);
    EXPECT_TRUE(b.shows("Paste LFOs") && b.shows("Undo"));
    // The submenu's "Copy LFOs" is not the top menu's command.
    b.menus.choose({"Set Speed", "Copy LFOs"});
    b.h->setParameter(102, 0.4f);
    EXPECT_EQ(b.ed->showTestMenu(), "sub:Copy LFOs");
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 3);
    // Two "Undo" in a row restore the two newest snapshots, without pushing.
    b.answer({"Undo"}).ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.4f);
    b.answer({"Undo"}).ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.6f);
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 1);
    b.answer({"Paste LFOs"}).ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.2f);
    // The menu is gone from the frame after each run.
    EXPECT_EQ(b.ed->getFrame()->getNbViews(), views);
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorMenuFrame, WithoutAWindowNothingShowsAndNothingIsPushed) {
    Bench b(kBare | kClosed);
    EXPECT_EQ(b.answer({"Copy LFOs"}).ed->showTestMenu(), "(not shown)");
    b.ed->showControlMenu();
    EXPECT_TRUE(b.menus.transcript().empty());
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), -1);
}

TEST(EditorSettingsMenu, EachSwitchFlipsItsSettingAndTheEditorSwitchesAreAlwaysWritten) {
    // The setting, its menu line, and the editor's own byte if it has one.
    const struct { const char* key; const char* line; bool TestEditor::*own; } rows[] = {
        {"Animation", "Dial Animation", &TestEditor::prefAnimation}, {"ToolTip", "Tool-Tips", &TestEditor::prefToolTip},
        {"Keyboard", "Computer Keyboard", &TestEditor::prefKeyboard},
        {"DragAndDrop", "Drag And Drop", &TestEditor::prefDragAndDrop}, {"MIDIPreset", "MIDI Preset", nullptr},
        {"MIDICapture", "External MIDI Capture Mode", nullptr}, {"MIDISpring", "MIDI Spring Back", nullptr}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.key);
        saveStringToPrefs(r.key, "");
        Bench b(kBare);
        for (const char* want : {"N", "Y"}) {
            b.answer({std::string(r.line) + (want[0] == 'N' ? ": On" : ": Off")}).ed->showControlMenu();
            EXPECT_EQ(stored(r.key), want);
            if (r.own) {
                EXPECT_EQ(b.ed->*r.own, want[0] == 'Y');
            }
        }
        EXPECT_TRUE(b.h.host().automated.empty());
    }
    // A dismissal writes the four editor switches as they are.
    Bench b(kBare);
    for (const char* k : {"Animation", "ToolTip", "Keyboard", "DragAndDrop"}) saveStringToPrefs(k, "x");
    b.answer({}).ed->showControlMenu();
    for (const char* k : {"Animation", "ToolTip", "Keyboard", "DragAndDrop"}) EXPECT_EQ(stored(k), "Y") << k;
    EXPECT_TRUE(b.shows("(grey) Screen Size: 100% Screen"));
}

TEST(EditorSettingsMenu, MidiChannelLineAndEntry) {
    Bench b(kBare);
    // A stored channel outside 0..16 shows clamped.
    for (int v : {99, -5}) {
        saveIntToPrefs("MIDIChannel", v);
        b.answer({}).ed->showControlMenu();
        EXPECT_TRUE(b.shows(v > 0 ? "(grey) MIDI Input Channel: CH 16" : "(grey) MIDI Input Channel: Omni"));
    }
    saveIntToPrefs("MIDIChannel", 3);
    // Typed answer, what is stored after it, the line the next opening shows.
    const struct { const char* typed; bool cancel; int stored; const char* line; } rows[] = {
        {"16", false, 16, "CH 16"}, {"0", false, 0, "Omni"},          {" 7", false, 7, "CH 07"},
                {"17", false, 7, "CH 07"}, {"99999999999", false, 7, "CH 07"}, {"abc", false, 7, "CH 07"},
                {"5", true, 7, "CH 07"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        b.menus.choose({"Set MIDI Input Channel"});
        r.cancel ? platform::dialogScriptCancel() : platform::dialogScriptOk(r.typed);
        b.ed->showControlMenu();
        EXPECT_EQ(loadIntFromPrefs("MIDIChannel"), r.stored);
        b.answer({}).ed->showControlMenu();
        EXPECT_TRUE(b.shows(std::string("(grey) MIDI Input Channel: ") + r.line));
    }
    EXPECT_EQ(platform::dialogTranscript().front().title, "MIDI Channel");
    EXPECT_EQ(platform::dialogTranscript().front().initial, "3");
    saveIntToPrefs("MIDIChannel", 0);  // omni again for the tests that play notes
}

TEST(EditorNumber, TypedIntegersReadAsStrtolWouldAndHoldAtTheLimit) {
    const struct { const char* text; int value; bool digits; } rows[] = {
        {" \t+42x", 42, true}, {"-7", -7, true},          {"999999", 999999, true},
        {"1000001", 1000000, true}, {"1234567", 1000000, true}, {"-99999999999", -1000000, true},
        {"abc", 0, false},        {"", 0, false},          {nullptr, 0, false}};
    for (const auto& r : rows) {
        bool digits = !r.digits;
        EXPECT_EQ(readTypedInt(r.text, &digits), r.value) << (r.text ? r.text : "(null)");
        EXPECT_EQ(digits, r.digits) << (r.text ? r.text : "(null)");
    }
}

TEST(EditorOutputMenu, ZoomStaysWithinItsLimitsOnBothPagesOfOneLayer) {
    Bench b;  // the scopes of both pages
    for (int i = 0; i < 6; ++i) {
        b.answer({"Zoom In"}).ed->showOutputMenu(1);
    }
    EXPECT_EQ(scope(*b.ed, 1, false)->getZoom(), 1600);
    EXPECT_EQ(scope(*b.ed, 1, true)->getZoom(), 1600);
    EXPECT_EQ(scope(*b.ed, 0, false)->getZoom(), 100);
    b.answer({}).ed->showOutputMenu(1);
    EXPECT_TRUE(b.shows("(grey) Zoom Level: 1600%"));
    b.answer({"Reset Zoom"}).ed->showOutputMenu(1);
    for (int i = 0; i < 6; ++i) {
        b.answer({"Zoom Out"}).ed->showOutputMenu(1);
    }
    EXPECT_EQ(scope(*b.ed, 1, true)->getZoom(), 6);
    // The scope switch and the speed: shown from the preferences, written on every run.
    saveBoolToPrefs("OutputDisplay", true);
    saveBoolToPrefs("OutputDisplaySpeed", false);
    b.answer({"Output Screen: On"}).ed->showOutputMenu(0);
    EXPECT_EQ(stored("OutputDisplay"), "N");
    for (int l = 0; l < 6; ++l) EXPECT_FALSE(scope(*b.ed, l / 2, l % 2)->getOn());
    b.answer({"Output Screen Slow Speed"}).ed->showOutputMenu(0);
    EXPECT_TRUE(b.shows("Output Screen: Off"));
    EXPECT_EQ(stored("OutputDisplaySpeed"), "Y");
}

TEST(EditorECSMenu, SaveClearAndLoadReachTheEnginesControllerMap) {
    Bench b(kBare);
    APlugin& p = b.h.plugin();
    p.midiCCMap[7] = 2;
    setMIDICC(7, 2);
    const std::string file = std::string(std::getenv("XDG_DATA_HOME")) + "/menu-test.ecs";
    platform::fileSelectScriptChoose(file);
    b.answer({"Save ECS"}).ed->showECSMenu();
    ASSERT_TRUE(std::filesystem::exists(file));
    b.answer({"Clear All MIDI"}).ed->showECSMenu();
    EXPECT_EQ(p.midiCCMap[7], 0);
    platform::fileSelectScriptChoose(file);
    b.answer({"Load ECS"}).ed->showECSMenu();
    EXPECT_EQ(p.midiCCMap[7], 2);
}

TEST(ControlMenu, StatusLinesAndModulationCommandsActOnlyOnMatchingSlots) {
    CtlBench b(kEngine | kBare);
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
    CtlBench b(kEngine | kBare);
    APlugin& p = b.p();
    const int freq = FILTER_FREQ_TAGS[0], vowel = FILTER_VOWEL_TAGS[0];
    p.setSteppedValue(FILTER_MODE_TAGS[0], 27);  // Vocal
    p.setParameter(357, 0.0f);
    const struct { int tag; std::vector<std::string> path; int readTag; float value; bool told; } rows[] = {
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
        b.e().harness().host().automated.clear();
        b.pick(r.tag, r.path);
        EXPECT_FLOAT_EQ(p.getParameter(r.readTag), r.value);
        EXPECT_EQ(b.heardOf(r.readTag), r.told);
    }
    // The ribbon routes itself into the first free slot.
    for (int k = 0; k < 8; ++k) p.setModSlotVar(k, false, 0.5f, 1, k == 0 ? 5 : 0);
    b.pick(126, {"Set To Destination", DEST_SUB_STR[2], b.ed->getDestStr(DEST_SUB_START[2])});
    EXPECT_EQ(p.getModSlotDest(1), DEST_SUB_START[2]);
    EXPECT_EQ(p.getModSrcByModStr(1), SRC_STR[111]);
    EXPECT_TRUE(b.heardOf(MOD_DEST_TAGS[1]));
}

TEST(ControlMenu, EverySemitoneRowAndOctaveStepDecodesToItsStepInTheEngineAndOnTheDisplay) {
    CtlBench b(kEngine | kBare);
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

TEST(ControlMenu, ASemitoneChoiceIsHeardAtThatPitch) {
    CtlBench b(kEngine | kBare);
    b.e().set(plainWave(0));
    b.pick(SEMI_TAGS[0], semiPath(48 + 7));
    b.e().noteOn(57);
    const std::vector<float> out = b.e().render(24000);
    EXPECT_NEAR(cents(zeroCrossingFrequency(out, 8000, 16000, 48000.0), formulaFrequency(57 + 7)), 0.0, 3.0);
}

TEST(ControlMenu, FMRatioSetsTheOperatorToThatRatio) {
    CtlBench b(kEngine | kBare);
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

TEST(LayerMenu, CopyAndSwapTakeOnlyATypedLayerOneToThree) {
    const struct {
        const char* command;
        int layer;
        const char* typed;
        int expect[3];  // which layer's former values each layer holds afterwards
    } rows[] = {
        {"Copy Layer", 0, "2", {0, 0, 2}}, {"Copy Layer", 0, "1", {0, 1, 2}}, {"Copy Layer", 0, "0", {0, 1, 2}},
        {"Copy Layer", 0, "5", {0, 1, 2}}, {"Copy Layer", 1, "two", {0, 1, 2}}, {"Copy Layer", 1, "", {0, 1, 2}},
        {"Swap Layers", 2, " 1st", {2, 1, 0}}, {"Swap Layers", 2, "4", {0, 1, 2}},
        {"Copy Layer to All", 1, nullptr, {1, 1, 1}},
    };
    Bench b(kBare);
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " '" + (r.typed ? r.typed : "") + "'");
        Values before[3];
        for (int L = 0; L < 3; ++L) b.scramble(uEditor::LAYER_SECTIONS[L], L), before[L] = b.values(1 + L);
        b.answer({r.command}, r.typed).ed->showLayerMenu(r.layer);
        taken(b);
        for (int L = 0; L < 3; ++L) EXPECT_EQ(b.values(1 + L), before[r.expect[L]]) << "layer " << L;
        EXPECT_TRUE(b.h.host().automated.empty()) << "copies and swaps are plain";
    }
}

TEST(LayerMenu, PasteFilesAndUndoRestoreAllThreeLayers) {
    Bench b(kBare);
    for (int L = 0; L < 3; ++L) b.scramble(1 + L, L);
    const Values first = b.values(uEditor::kSectionAllLayers);
    b.answer({"Copy Layers"}).ed->showLayerMenu(0);
    for (int L = 0; L < 3; ++L) b.scramble(1 + L, 5 + L);
    const Values second = b.values(uEditor::kSectionAllLayers);
    b.answer({"Paste Layers"}).ed->showLayerMenu(2);
    EXPECT_EQ(b.values(uEditor::kSectionAllLayers), first);
    b.answer({"Undo"}).ed->showLayerMenu(1);
    EXPECT_EQ(b.values(uEditor::kSectionAllLayers), second);

    // Layer 2 saved, loaded into layer 1; one "Undo" brings all three back.
    const std::string file = (std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "two.lyr").string();
    platform::fileSelectScriptChoose(file);
    b.answer({"Save Layer Preset"}).ed->showLayerMenu(1);
    b.scramble(2, 9);
    const Values mixed = b.values(uEditor::kSectionAllLayers);
    platform::fileSelectScriptChoose(file);
    b.answer({"Load Layer Preset"}).ed->showLayerMenu(0);
    const Values loaded = b.values(1);
    for (int i = 0; i < 67; ++i) EXPECT_NEAR(loaded[i], second[67 + i], 1e-6) << i;  // six decimals
    EXPECT_TRUE(b.h.host().automated.empty());
    b.answer({"Undo"}).ed->showLayerMenu(2);
    EXPECT_EQ(b.values(uEditor::kSectionAllLayers), mixed);
}

TEST(LFOMenu, CopySwapAndWaveChoicesWithUndo) {
    Bench b(kBare);
    b.scramble(uEditor::kSectionLFOs, 3);
    const Values one = b.values(uEditor::kSectionLFO1), two = b.values(uEditor::kSectionLFO2);
    b.answer({"Swap LFO 1 and LFO 2"}).ed->showLFOMenu();
    EXPECT_EQ(b.values(uEditor::kSectionLFO1), two);
    EXPECT_EQ(b.values(uEditor::kSectionLFO2), one);
    b.answer({"Copy LFO 1 to LFO 2"}).ed->showLFOMenu();
    EXPECT_EQ(b.values(uEditor::kSectionLFO2), two);
    const float wave1 = b.h->getParameter(355), wave2 = b.h->getParameter(358);
    b.answer({"Set LFO 2 Wave", std::string("Set LFO 2 to ") + LFO_WAVE_STR[8]}).ed->showLFOMenu();
    EXPECT_EQ(b.h->getSteppedValue(358), 8);
    EXPECT_EQ(b.h->getParameter(355), wave1);
    EXPECT_EQ(b.h.host().automated.size(), 1u) << "a chosen wave reaches the host";
    b.answer({"Undo"}).ed->showLFOMenu();
    EXPECT_EQ(b.h->getParameter(358), wave2);
}

TEST(ModMenu, SlotMovesCopiesAndModulatingASlotsAmount) {
    Bench b(kBare);
    b.scramble(uEditor::kSectionModMatrix, 4);
    auto slot = [&](int k) {
        Values v;
        for (int c = 0; c < 4; ++c) v.push_back(b.h->getParameter(MOD_COLS_TAGS[k][c]));
        return v;
    };
    const Values s2 = slot(2), s3 = slot(3), s7 = slot(7), s0 = slot(0);
    b.answer({"Move Slot Up"}).ed->showModMenu(3);
    EXPECT_EQ(slot(2), s3);
    EXPECT_EQ(slot(3), s2);
    b.answer({"Move Slot Down"}).ed->showModMenu(7);
    b.answer({"Move Slot Up"}).ed->showModMenu(0);
    EXPECT_EQ(slot(7), s7);
    EXPECT_EQ(slot(0), s0);
    b.answer({"Paste Slot"}).ed->showModMenu(5);  // nothing copied yet
    b.answer({"Copy Slot"}).ed->showModMenu(2);
    b.answer({"Paste Slot"}).ed->showModMenu(5);
    EXPECT_EQ(slot(5), s3);

    // Slots 0 and 1 routed, 2 free: the slot amount of slot 3 is modulated through slot 2.
    for (int k = 0; k < 8; ++k) b.h->setModSlotVar(k, true, 0.9f, 4, k < 2 ? 7 : 0);
    b.answer({std::string("Modulate Slot Amount by ") + SRC_SUB_STR[0], SRC_STR[1]}).ed->showModMenu(3);
    taken(b);
    EXPECT_FALSE(b.h->getModSlotBypass(2));
    EXPECT_EQ(b.h->getParameter(MOD_AMT_TAGS[2]), 0.5f);
    EXPECT_EQ(b.h->getModSrcByModStr(2), SRC_STR[1]);
    EXPECT_EQ(b.h->getModSlotDest(2), DEST_MOD_AMT[3]);
    EXPECT_EQ(b.h->getModSlotDest(4), 0);
}

TEST(VelSplitMenu, CopiesTheShownSplitToATypedLayerAndUndoesAsAWhole) {
    Bench b(kBare);
    b.ed->velSplitLayer = 1;
    b.scramble(uEditor::kSectionVelSplits, 2);
    const Values all = b.values(uEditor::kSectionVelSplits);
    for (const char* typed : {"2", "4", "0", "x", ""}) {
        b.answer({"Copy Velocity Split"}, typed).ed->showVelSplitMenu();
        EXPECT_EQ(b.values(uEditor::kSectionVelSplits), all) << typed;
    }
    b.answer({"Copy Velocity Split"}, "3").ed->showVelSplitMenu();
    EXPECT_EQ(b.values(uEditor::kSectionVelSplit3), b.values(uEditor::kSectionVelSplit2));
    EXPECT_EQ(b.values(uEditor::kSectionVelSplit1), Values(all.begin() + 1, all.begin() + 5));
    b.answer({"Undo"}).ed->showVelSplitMenu();
    EXPECT_EQ(b.values(uEditor::kSectionVelSplits), all);
}

TEST(VelSplitMenu, HelpAndAboutTextsReadAsWritten) {
    Bench b(kBare);
    b.answer({}).ed->showVelSplitMenu();
    EXPECT_TRUE(b.shows("  (grey) Left Click: Change Value"));
    EXPECT_TRUE(b.shows("  (grey) Left Click + Shift: Fine Change Value"));
    EXPECT_FALSE(b.shows("  (grey) Left Click: Change value"));
    // The About box names what this build is, and no other plug-in format.
    b.answer({"About Tavrolune"}).ed->showControlMenu();
    ASSERT_FALSE(platform::dialogTranscript().empty());
    const std::string about = platform::dialogTranscript().back().text;
    EXPECT_NE(about.find("VST 2.4 Plug-in"), std::string::npos) << about;
    EXPECT_NE(about.find("for Linux"), std::string::npos) << about;
    for (const char* other : {"VST3", "AU", "AAX"}) EXPECT_EQ(about.find(other), std::string::npos) << other;
}

TEST(ArpMenu, MovesAndReverseActOnTheActiveStepsOfEveryRow) {
    const struct {
        const char* command;
        const char* typed;
        int from[4];  // new step i takes old step from[i]
    } rows[] = {
        {"Move Arp Right", nullptr, {3, 0, 1, 2}}, {"Move Arp Left", nullptr, {1, 2, 3, 0}},
        {"Move Arp", "10", {2, 3, 0, 1}},          {"Move Arp", "-10", {2, 3, 0, 1}},
        {"Move Arp", "20", {1, 2, 3, 0}},          {"Move Arp", "15", {1, 2, 3, 0}},
        {"Move Arp", "abc", {0, 1, 2, 3}},         {"Reverse Arp", nullptr, {3, 2, 1, 0}},
    };
    Bench b(kBare);
    setActiveSteps(b, 4);
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + (r.typed ? r.typed : ""));
        fillArp(b);
        float tune[16], tie[16];
        for (int s = 0; s < 16; ++s) tune[s] = b.get(kTune + s), tie[s] = b.get(kTie + s);
        arpMenu(b, {r.command}, r.typed);
        for (int s = 0; s < 16; ++s) {
            const int from = s < 4 ? r.from[s] : s;
            EXPECT_EQ(b.get(kTune + s), tune[from]) << s;
            EXPECT_EQ(b.get(kTie + s), tie[from]) << s;
        }
    }
}

TEST(ArpMenu, TransposeRandomiseResetAndTheCellMenu) {
    Bench b(kBare);
    setActiveSteps(b, 3);
    b.set(kTune, 0.0f);
    b.set(kTune + 1, 0.9f);
    b.set(kTune + 3, 0.0f);
    arpMenu(b, {"Transpose Arp"}, "40");
    const float t0 = b.get(kTune);
    EXPECT_NEAR(t0, 36.0f / 72.99f, 1e-6f);
    EXPECT_EQ(b.get(kTune + 1), 1.0f) << "stops at the end of the range";
    EXPECT_EQ(b.get(kTune + 3), 0.0f) << "past the active steps";
    arpMenu(b, {"Undo"});
    arpMenu(b, {"Transpose Arp"}, "36");
    EXPECT_EQ(b.get(kTune), t0);

    // "Randomize Step" leaves the step's on/off and tie; its writes are plain.
    b.set(kOn + 2, 1.0f);
    b.set(kTie + 2, 1.0f);
    const float before = b.get(kTune + 2);
    b.h.host().automated.clear();
    arpMenu(b, {kCells, "Randomize Step"}, nullptr, 5, 2);
    EXPECT_EQ(b.get(kOn + 2), 1.0f);
    EXPECT_EQ(b.get(kTie + 2), 1.0f);
    EXPECT_NE(b.get(kTune + 2), before);
    EXPECT_EQ(b.heard(), std::vector<int>{394}) << "only the arp switch, which is always sent";

    // Reset and original values keep the arp switch.
    for (const char* c : {"Reset Arp", "Set Arp to Original Value"}) {
        b.set(394, 1.0f);
        b.set(kTune, 0.77f);
        arpMenu(b, {c});
        EXPECT_EQ(b.get(394), 1.0f) << c;
        EXPECT_NE(b.get(kTune), 0.77f) << c;
    }

    // The cell commands are offered on grid cells only.
    const struct { int row, step; bool offered; } cells[] = {
        {7, 15, true}, {0, 0, true}, {8, 3, false}, {2, 16, false}, {-1, 4, false}, {3, -1, false}};
    for (const auto& c : cells) {
        b.answer({}).ed->showArpMenu(c.row, c.step, true);
        EXPECT_EQ(b.shows(std::string(kCells) + " >"), c.offered) << c.row << "," << c.step;
    }
}

TEST(ArpMenu, PresetFilesRoundTripAndABadFileChangesNothing) {
    Bench b(kBare);
    const std::string dir = std::string(std::getenv("XDG_DATA_HOME")) + "/";
    fillArp(b);
    arpMenu(b, {"Save Arp Preset"});  // cancelled: no file
    platform::fileSelectScriptChoose(dir + "a.arp");
    arpMenu(b, {"Save Arp Preset"});
    std::vector<float> saved;
    for (int tag = 394; tag <= 539; ++tag) saved.push_back(b.get(tag));
    for (int s = 0; s < 16; ++s) b.set(kTune + s, 0.5f);
    platform::fileSelectScriptChoose(dir + "a.arp");
    arpMenu(b, {"Load Arp Preset"});
    for (int tag = 394; tag <= 539; ++tag) EXPECT_NEAR(b.get(tag), saved[tag - 394], 1e-6f) << tag;

    // One value too few, a value out of range, a word: refused whole.
    for (const char* tail : {"", "1.000001\n", "x\n"}) {
        std::ofstream f(dir + "bad.arp");
        f << "V1.0\n";
        for (int i = 0; i < 145; ++i) f << "0.250000\n";
        f << tail;
        f.close();
        for (int s = 0; s < 16; ++s) b.set(kTune + s, 0.5f);
        platform::dialogTranscriptClear();
        platform::fileSelectScriptChoose(dir + "bad.arp");
        arpMenu(b, {"Load Arp Preset"});
        EXPECT_EQ(b.get(kTune), 0.5f) << tail;
        EXPECT_EQ(b.get(394), saved[0]) << tail;
        ASSERT_FALSE(platform::dialogTranscript().empty());
        EXPECT_EQ(platform::dialogTranscript().back().text, "Problem with Preset");
    }
}

TEST(ChordMenu, PresetOnASixNoteChordAndUndoOfChordFour) {
    for (int c : {0, 3}) {
        SCOPED_TRACE(c);
        Bench b(kBare);
        b.ed->selectedChord = c;
        const int semi = CHORD_SEMI_TAGS[c], fine = CHORD_FINE_TAGS[c], vol = CHORD_VEL_TAGS[c],
                  pan = CHORD_PAN_TAGS[c];
        b.set(CHORD_NOTES_TAGS[c], 5.1f / 5.99f);
        for (int i = 0; i < 6; ++i)
            for (int row : {semi, fine, vol, pan}) b.set(row + i, 0.03f * i + 0.2f + 0.01f * (row - semi));
        std::vector<float> before;
        for (int tag = 554; tag <= 663; ++tag) before.push_back(b.get(tag));
        b.answer({"Chord Presets", "Major 7"}).ed->showChordMenu(-1);
        const int semis[4] = {0, 4, 7, 11};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(b.get(semi + i), (semis[i] + 48.1f) / 96.99f);
            for (int row : {fine, vol, pan}) EXPECT_EQ(b.get(row + i), b.p().getDefaultValue(row + i));
        }
        for (int i = 4; i < 6; ++i) EXPECT_EQ(b.get(pan + i), before[pan + i - 554]);
        EXPECT_EQ(b.p().getSteppedValue(CHORD_NOTES_TAGS[c]), 3);
        EXPECT_FALSE(b.heardOf(semi)) << "the semitones are computed, written plainly";
        EXPECT_TRUE(b.heardOf(CHORD_NOTES_TAGS[c]));
        b.answer({"Undo"}).ed->showChordMenu(-1);
        for (int tag = 554; tag <= 663; ++tag) EXPECT_EQ(b.get(tag), before[tag - 554]) << tag;
    }
}

TEST(ChordMenu, InterpolationCopyAndSwap) {
    Bench b(kBare);
    const int vol = CHORD_VEL_TAGS[0];
    b.set(CHORD_NOTES_TAGS[0], 2.1f / 5.99f);  // three notes
    for (int i = 0; i < 6; ++i) b.set(vol + i, 0.1f * i + 0.05f);
    b.answer({"Interpolate Volume Values"}).ed->showChordMenu(-1);
    EXPECT_FLOAT_EQ(b.get(vol + 1), 0.15f);
    EXPECT_EQ(b.get(vol + 2), 0.25f);
    EXPECT_FLOAT_EQ(b.get(vol + 3), 0.35f) << "past the chord's notes untouched";
    b.set(CHORD_NOTES_TAGS[0], 0.1f / 5.99f);  // one note: nothing to interpolate
    b.set(vol + 1, 0.9f);
    b.answer({"Interpolate Volume Values"}).ed->showChordMenu(-1);
    EXPECT_EQ(b.get(vol + 1), 0.9f);

    // Copy and swap with chord 3 act; 0, 5, a word or the chord itself do nothing.
    const struct { const char* command; const char* typed; bool acts; } rows[] = {
        {"Copy Chord", "3", true}, {"Swap Chords", "3", true}, {"Copy Chord", "0", false},
        {"Copy Chord", "5", false}, {"Swap Chords", "three", false}, {"Swap Chords", "1", false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + r.typed);
        b.scramble(uEditor::kSectionChord1, 1);
        b.scramble(uEditor::kSectionChord3, 2);
        const Values one = b.values(uEditor::kSectionChord1), three = b.values(uEditor::kSectionChord3);
        platform::dialogScriptOk(r.typed);
        b.answer({r.command}).ed->showChordMenu(-1);
        const bool swap = std::string(r.command) == "Swap Chords";
        EXPECT_EQ(b.values(uEditor::kSectionChord1), r.acts && swap ? three : one);
        EXPECT_EQ(b.values(uEditor::kSectionChord3), r.acts ? one : three);
    }
}

TEST(StrumMenu, EntriesFollowTheSyncSwitchAndNoUndoIsTaken) {
    Bench b(kBare);
    b.ed->selectedChord = 2;
    const int strum = CHORD_STRUM_TAGS[2], sync = CHORD_STRUM_SYNC_ON_TAGS[2];
    b.set(sync, 0.0f);
    b.answer({}).ed->showStrumMenu(strum);
    EXPECT_TRUE(b.shows("(grey) User Chord 3 Strum Command Menu"));
    EXPECT_TRUE(b.shows("Set Strum Length"));
    EXPECT_FALSE(b.shows("Set to Off"));
    b.set(sync, 1.0f);
    b.answer({"Set to 1 QB*"}).ed->showStrumMenu(strum);
    EXPECT_FALSE(b.shows("Set Strum Length"));
    EXPECT_EQ(b.p().getSteppedValue(strum, 18.99f, 19), 18);
    EXPECT_EQ(b.heard(), std::vector<int>{strum});
    // Spreading the strum: plain here, heard by the host from the chord menu.
    b.answer({"Set Current Strum to All"}).ed->showStrumMenu(strum);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(b.get(CHORD_STRUM_TAGS[j]), b.get(strum));
    EXPECT_TRUE(b.heard().empty());
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionAllChords), -1);
    b.answer({"Set Current Strum to All"}).ed->showChordMenu(-1);
    EXPECT_EQ(b.heard().size(), 8u);
}

TEST(GateStepMask, EveryPatternReadsBackExactlyInTheEditorAndTheEngine) {
    PluginHarness h;
    APlugin& p = h.plugin();
    for (int m = 0; m <= 0xFFFF; ++m) {
        const float v = uEditor::encodeGateMask(m);
        ASSERT_EQ(uEditor::decodeGateMask(v), m);
        p.paramValue[kLeft] = v;
        p.decodeGatePattern();
        for (int k = 0; k < 16; ++k) ASSERT_EQ(p.gateGain[k][0], (m >> k) & 1 ? 1.0f : 0.0f) << m;
    }
    EXPECT_EQ(uEditor::decodeGateMask(1.0f), 0xFFFF);
    EXPECT_EQ(uEditor::decodeGateMask(0.0f), 0);
}

TEST(GatorMenu, PatternCommandsMoveTheFirstLengthStepsAndFlipAllSixteen) {
    // Length 4: left steps 1..4 are (1,0,0,0), right (0,1,0,0); steps 5..16 carry other bits.
    const int L = 0xA5F1, R = 0x3C02;
    const struct {
        const char* command;
        const char* typed;  // answer to the question, if any (nullptr: cancelled)
        int left, right;
    } rows[] = {
        {"Move Right", "", 0xA5F2, 0x3C04},       {"Move Left", "", 0xA5F8, 0x3C01},
        {"Move Gator", "10", 0xA5F4, 0x3C08},     {"Move Gator", "2", 0xA5F4, 0x3C08},
        {"Move Gator", "-15", 0xA5F2, 0x3C04},    {"Move Gator", "abc", L, R},
        {"Move Gator", nullptr, L, R},            {"Reverse", "", 0xA5F8, 0x3C04},
        {"Inverse", "", 0x5A0E, 0xC3FD},          {"Alternate", "", 0x5555, 0x5555},
        {"Alternate Left/Right", "", 0x5555, 0xAAAA}, {"Set All On", "", 0xFFFF, 0xFFFF},
        {"Set All Off", "", 0, 0},                {"Copy Left to Right", "", L, L},
        {"Copy Right to Left", "", R, R},         {"Swap Left and Right", "", R, L},
    };
    Bench b(kBare);
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + (r.typed ? r.typed : "(cancel)"));
        setPattern(b, L, R, 4);
        b.h.host().automated.clear();
        if (std::string(r.command) == "Move Gator")
            r.typed ? platform::dialogScriptOk(r.typed) : platform::dialogScriptCancel();
        b.answer({r.command}).ed->showGaterMenu();
        EXPECT_EQ(mask(b, kLeft), r.left);
        EXPECT_EQ(mask(b, kRight), r.right);
        EXPECT_TRUE(b.heard().empty()) << "pattern edits are plain";
    }
}

TEST(GatorMenu, ResetLengthAndShowPosition) {
    Bench b(kBare);
    setPattern(b, 0x00F0, 0x0F00, 3);
    b.answer({"Reset Gator"}).ed->showGaterMenu();
    for (int tag : {kLength, kLeft, kRight}) {
        EXPECT_EQ(b.get(tag), 1.0f) << tag;
        EXPECT_TRUE(b.heardOf(tag)) << tag;
    }
    EXPECT_EQ(b.get(107), b.p().getDefaultValue(107));
    // The length list writes plainly; a dismissal still writes the show-position setting.
    b.answer({"Set Length", "Set Length to 4 Steps"}).ed->showGaterMenu();
    EXPECT_FLOAT_EQ(b.get(kLength), 3.1f / 15.99f);
    EXPECT_TRUE(b.heard().empty());
    saveBoolToPrefs("DisplayGaterPos", false);
    b.answer({}).ed->showGaterMenu();
    EXPECT_TRUE(b.shows("Set Show Position On"));
    EXPECT_TRUE(getRegisterIsOn("DisplayGaterPos", false)) << "the editor's setting is written back";
}

TEST(GatorMenu, TheEditedPatternPlaysOnSixteenthsWithHostTime) {
    Bench b(kBare);
    b.answer({"Reset Gator"}).ed->showGaterMenu();
    b.answer({"Alternate Left/Right"}).ed->showGaterMenu();
    b.menus.choose({"Move Right"});  // left opens on odd steps, right on even ones
    b.ed->showGaterMenu();
    b.menus.choose({"Set Speed", GATER_PERIOD_STR[14]});  // a sixteenth note per step
    b.ed->showGaterMenu();
    using namespace enginetest;
    Params params = with(plainWave(1), {{250, stepped(1, 4.99f)}, {348, 1.0f}, {349, stepped(10, 10.99f)},
                                        {107, 1.0f}, {109, 0.0f}});
    for (int tag = 108; tag <= 112; ++tag)
        if (tag != 109) params.push_back({tag, b.get(tag)});
    const double step = 48000.0 * 60.0 / 120.0 / 4.0;
    const Rendered r = render(params, {midi(0, 0x90, 57, 110)}, (int64_t)(step * 16));
    ASSERT_TRUE(r.clean) << r.faults;
    for (int k = 0; k < 16; ++k) {
        const size_t mid = (size_t)((k + 0.25) * step);
        const double left = rms(r.left, mid, (size_t)(step / 2)), right = rms(r.right, mid, (size_t)(step / 2));
        const bool leftOpen = k % 2 == 1;
        EXPECT_GT(leftOpen ? left : right, 0.02) << "step " << k;
        EXPECT_LT(leftOpen ? right : left, 1e-3) << "step " << k;
    }
}

TEST(EffectMenus, ResetKeepsTheSwitchAndEveryChoiceReachesTheHostAsItShould) {
    using Show = void (uEditor::*)();
    const struct {
        Show show;
        const char* name;
        int section;
        int onOff;  // the section's switch kept by a reset (-1 none)
        const char* on;
        int onTag;
    } menus[] = {
        {&uEditor::showDistortMenu, "Distort FX", 20, 346, "Set Distort FX On", 346},
        {&uEditor::showModFXMenu, "Mod FX", 21, 348, "Set Mod FX Tempo Sync On", 350},
        {&uEditor::showDelayMenu, "Delay", 22, 351, "Set Delay Equal Feedback On", 353},
        {&uEditor::showPathMenu, "Path", 24, -1, "Set Bypass On", 345},
        {&uEditor::showAmpMenu, "Amp", 26, -1, nullptr, -1},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.name);
        Bench b(kBare);
        const std::string name = m.name;
        const int count = b.ed->getSectionTagCount(m.section);
        auto tag = [&](int i) { return b.ed->getSectionTag(m.section, i); };
        auto run = [&](const std::string& command) {
            b.h.host().automated.clear();
            b.menus.choose({command});
            (b.ed->*m.show)();
            return b.heard().size();
        };
        // Every value away from its default, the switch on.
        for (int i = 0; i < count; ++i) b.set(tag(i), b.p().getDefaultValue(tag(i)) > 0.5f ? 0.0f : 1.0f);
        if (m.onOff >= 0) b.set(m.onOff, 1.0f);
        EXPECT_EQ(run("Copy " + name), 0u);
        EXPECT_EQ(run("Reset " + name), (size_t)count - (m.onOff >= 0));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(b.get(tag(i)), tag(i) == m.onOff ? 1.0f : b.p().getDefaultValue(tag(i))) << tag(i);
        EXPECT_EQ(run("Paste " + name), 0u);
        EXPECT_EQ(run("Undo"), 0u);
        EXPECT_EQ(b.get(tag(0)), b.p().getDefaultValue(tag(0)));
        EXPECT_EQ(run("Set " + name + " to Original Value"), (size_t)count);
        if (m.on) {
            b.set(m.onTag, 0.0f);
            EXPECT_EQ(run(m.on), 1u);
            EXPECT_EQ(b.get(m.onTag), 1.0f);
        }
        EXPECT_TRUE(b.shows("Paste " + name));
    }
}

TEST(EffectMenus, ModelDefaultsAndDelayLengthsWritePlainly) {
    Bench b(kBare);
    b.set(349, 0.1f / 10.99f);  // Chorus
    for (int tag : {104, 105, 106, 107, 108, 109, 110, 111, 112, 350}) b.set(tag, 0.9f);
    b.answer({"Set Mod FX to Default Value"}).ed->showModFXMenu();
    const float chorus[] = {0.166f, 0.42f, 0.481f, 0.44f, 0.36f, 1.0f};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(b.get(107 + k), chorus[k]);
    EXPECT_EQ(b.get(350), 0.0f);
    b.set(347, 4.1f / 26.99f);  // Cab
    b.answer({"Set Distort FX to Default Value"}).ed->showDistortMenu();
    EXPECT_EQ(b.get(347), 4.1f / 26.99f) << "the model stays";
    EXPECT_EQ(b.get(105), 1.1f / 3.99f) << "the stored Cab row";
    // Lengths.
    const struct { const char* command; float left, right; } rows[] = {
        {"Set Delay Right Length to Left Length", 0.7f, 0.7f}, {"Swap Delay Left and Right Lengths", 0.7f, 0.2f}};
    for (const auto& r : rows) {
        b.set(114, 0.2f);
        b.set(115, 0.7f);
        b.answer({r.command}).ed->showDelayMenu();
        EXPECT_EQ(b.get(114), r.left) << r.command;
        EXPECT_EQ(b.get(115), r.right) << r.command;
    }
    EXPECT_TRUE(b.h.host().automated.empty());
}
