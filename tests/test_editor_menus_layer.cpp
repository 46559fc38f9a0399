// The layer, LFO, mod matrix and velocity-split menus, driven through the scripted menu
// presenter, the scripted entry boxes and file selections, and the recording host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"

using namespace VSTGUI;

namespace {

class SectionMenuEditor : public uEditor {
public:
    using uEditor::uEditor;
    void createMainScreenControls() override {}
    void createEasyScreenControls() override {}
    void createBackScreen() override {}
    void showSplitOf(int layer) { velSplitLayer = layer; }
};

using Values = std::vector<float>;

struct Bench {
    Bench() {
        std::string path = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(path.substr(0, path.rfind('/')) + "/Tavrolune.resources");
        delete h->getEditor();
        ed = new SectionMenuEditor(&h.plugin());
        setMenuPresenter(&menus);
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::fileSelectScriptClear();
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
    }
    ~Bench() { h.dispatch(effEditClose); }
    // Answers the next menu with `path` (and the entry box with `typed` when given).
    Bench& answer(const std::vector<std::string>& path, const char* typed = nullptr) {
        menus.choose(path);
        if (typed) platform::dialogScriptOk(typed);
        h.host().automated.clear();
        return *this;
    }
    void checkTaken() { ASSERT_TRUE(menus.transcript().back().refusal.empty()) << menus.transcript().back().refusal; }
    bool shows(const std::string& line) {
        const auto& l = menus.transcript().back().lines;
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    Values values(int section) {
        Values v;
        for (int i = 0; i < ed->getSectionTagCount(section); ++i) v.push_back(h->getParameter(ed->getSectionTag(section, i)));
        return v;
    }
    // Distinct values in every tag of the section, different for each seed.
    void scramble(int section, int seed) {
        for (int i = 0; i < ed->getSectionTagCount(section); ++i) {
            const int tag = ed->getSectionTag(section, i);
            h->setParameter(tag, float((tag * 37 + seed * 101) % 997) / 996.f);
        }
    }
    guitest::GuiStateGuard guard;
    PluginHarness h;
    ScriptedMenuPresenter menus;
    SectionMenuEditor* ed = nullptr;
};

}  // namespace

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
    Bench b;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " '" + (r.typed ? r.typed : "") + "'");
        Values before[3];
        for (int L = 0; L < 3; ++L) b.scramble(uEditor::LAYER_SECTIONS[L], L), before[L] = b.values(1 + L);
        b.answer({r.command}, r.typed).ed->showLayerMenu(r.layer);
        b.checkTaken();
        for (int L = 0; L < 3; ++L) EXPECT_EQ(b.values(1 + L), before[r.expect[L]]) << "layer " << L;
        EXPECT_TRUE(b.h.host().automated.empty()) << "copies and swaps are plain";
    }
}

TEST(LayerMenu, PasteFilesAndUndoRestoreAllThreeLayers) {
    Bench b;
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
    Bench b;
    b.scramble(uEditor::kSectionLFOs, 3);
    const Values one = b.values(uEditor::kSectionLFO1), two = b.values(uEditor::kSectionLFO2);
    const std::string speed = "  (grey) LFO 1 Speed : " + b.h->getParameterDisplayStr(102);
    b.answer({"Swap LFO 1 and LFO 2"}).ed->showLFOMenu();
    EXPECT_EQ(b.values(uEditor::kSectionLFO1), two);
    EXPECT_EQ(b.values(uEditor::kSectionLFO2), one);
    EXPECT_TRUE(b.shows(speed));
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
    Bench b;
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
    b.checkTaken();
    EXPECT_FALSE(b.h->getModSlotBypass(2));
    EXPECT_EQ(b.h->getParameter(MOD_AMT_TAGS[2]), 0.5f);
    EXPECT_EQ(b.h->getModSrcByModStr(2), SRC_STR[1]);
    EXPECT_EQ(b.h->getModSlotDest(2), DEST_MOD_AMT[3]);
    EXPECT_EQ(b.h->getModSlotDest(4), 0);
}

TEST(VelSplitMenu, CopiesTheShownSplitToATypedLayerAndUndoesAsAWhole) {
    Bench b;
    b.ed->showSplitOf(1);
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
