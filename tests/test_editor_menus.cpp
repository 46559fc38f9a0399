// The command menu frame and the settings, controller-map and output-scope menus, driven
// through the scripted menu presenter and the scripted dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/prefs.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

// An editor whose only views are the six output scopes, with one section menu of its own
// built on the frame the section menus share.
class MenuEditor : public uEditor {
public:
    using uEditor::uEditor;
    void createMainScreenControls() override {
        for (int l = 0; l < 3; ++l) own(scopesMain[l], new TWaveScreen(CRect(0, 40 * l, 100, 40 * l + 30), this, l, true));
    }
    void createEasyScreenControls() override {
        for (int l = 0; l < 3; ++l) own(scopesEasy[l], new TWaveScreen(CRect(0, 40 * l, 100, 40 * l + 30), this, l, true));
    }
    void createBackScreen() override {}
    // An LFO-like section menu: a plain title, a copy and paste pair, a submenu, "Undo".
    std::string showTestMenu() {
        TCommandMenu menu;
        menu.add("LFO Command Menu").addSeparator().add("Copy LFOs");
        addPasteEntry(menu, "LFOs", kSectionLFOs);
        TCommandMenu& speed = menu.addSubmenu("Set Speed");
        speed.add("Fast").add("Copy LFOs");
        addUndoEntry(menu, kSectionLFOs);
        if (!popupCommandMenu(menu, kSectionLFOs)) return "(not shown)";
        if (menu.chose("Copy LFOs")) copySection(kSectionLFOs);
        if (menu.chose("Paste LFOs")) pasteSection(kSectionLFOs);
        if (menu.choseIn(speed, "Fast")) plugin->setParameterAutomated(102, 1.f);
        const std::string text = menu.choiceFrom() == &speed ? "sub:" + menu.choiceText() : menu.choiceText();
        endCommandMenu(menu);
        return text;
    }
    bool pref(const char* which) const {
        const std::string w = which;
        return w == "anim" ? prefAnimation : w == "tips" ? prefToolTip : w == "keys" ? prefKeyboard : prefDragAndDrop;
    }
    TWaveScreen* scope(int layer, bool easy) const { return easy ? scopesEasy[layer] : scopesMain[layer]; }
};

struct Bench {
    explicit Bench(bool open = true) {
        std::string p = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(p.substr(0, p.rfind('/')) + "/Tavrolune.resources");
        delete h->getEditor();
        ed = new MenuEditor(&h.plugin());
        setMenuPresenter(&menus);
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::fileSelectScriptClear();
        if (open) { EXPECT_EQ(h.dispatch(effEditOpen), 1); }
    }
    ~Bench() { h.dispatch(effEditClose); }
    const std::vector<std::string>& lastMenu() { return menus.transcript().back().lines; }
    bool shows(const std::string& line) {
        const auto& l = lastMenu();
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    GuiStateGuard guard;
    PluginHarness h;
    ScriptedMenuPresenter menus;
    MenuEditor* ed = nullptr;
};

std::string stored(const char* key) {
    std::string v;
    loadStringFromPrefs(key, v, 128);
    return v;
}

}  // namespace

TEST(EditorMenuFrame, UndoPushesBeforeEveryChoiceButUndoAndGreysWhatCannotRun) {
    Bench b;
    const int views = b.ed->getFrame()->getNbViews();
    b.menus.dismiss();
    EXPECT_EQ(b.ed->showTestMenu(), "");
    EXPECT_TRUE(b.shows("(grey) Paste LFOs"));
    EXPECT_TRUE(b.shows("(grey) Undo"));
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 0) << "a dismissed menu pushes one level";

    b.h->setParameter(102, 0.2f);
    b.menus.choose({"Copy LFOs"});
    EXPECT_EQ(b.ed->showTestMenu(), "Copy LFOs");
    b.h->setParameter(102, 0.6f);
    b.h.host().automated.clear();
    b.menus.choose({"Set Speed", "Fast"});
    EXPECT_EQ(b.ed->showTestMenu(), "sub:Fast");
    EXPECT_EQ(b.h->getParameter(102), 1.f);
    ASSERT_EQ(b.h.host().automated.size(), 1u);
    EXPECT_TRUE(b.shows("Paste LFOs"));
    EXPECT_TRUE(b.shows("Undo"));
    // The submenu's "Copy LFOs" is not the top menu's command.
    b.menus.choose({"Set Speed", "Copy LFOs"});
    b.h->setParameter(102, 0.4f);
    EXPECT_EQ(b.ed->showTestMenu(), "sub:Copy LFOs");
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 3);
    // Two "Undo" in a row restore the two newest snapshots, without pushing.
    b.menus.choose({"Undo"});
    b.ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.4f);
    b.menus.choose({"Undo"});
    b.ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.6f);
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), 1);
    // Paste and the plain title.
    b.menus.choose({"Paste LFOs"});
    b.ed->showTestMenu();
    EXPECT_EQ(b.h->getParameter(102), 0.2f);
    b.menus.choose({"LFO Command Menu"});
    EXPECT_EQ(b.ed->showTestMenu(), "LFO Command Menu");
    EXPECT_EQ(b.h->getParameter(102), 0.2f);
    // The menu is gone from the frame after each run.
    EXPECT_EQ(b.ed->getFrame()->getNbViews(), views);
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorMenuFrame, WithoutAWindowNothingShowsAndNothingIsPushed) {
    Bench b(false);
    b.menus.choose({"Copy LFOs"});
    EXPECT_EQ(b.ed->showTestMenu(), "(not shown)");
    b.ed->showControlMenu();
    EXPECT_TRUE(b.menus.transcript().empty());
    EXPECT_EQ(b.ed->getUndoIndex(uEditor::kSectionLFOs), -1);
}

TEST(EditorSettingsMenu, EachSwitchFlipsItsSettingAndTheEditorSwitchesAreAlwaysWritten) {
    const struct {
        const char* key;
        const char* edByte;  // the editor's byte, when the setting has one
        const char* on;
        const char* off;
    } rows[] = {{"Animation", "anim", "Dial Animation: On", "Dial Animation: Off"},
                {"ToolTip", "tips", "Tool-Tips: On", "Tool-Tips: Off"},
                {"Keyboard", "keys", "Computer Keyboard: On", "Computer Keyboard: Off"},
                {"DragAndDrop", "drag", "Drag And Drop: On", "Drag And Drop: Off"},
                {"MIDIPreset", nullptr, "MIDI Preset: On", "MIDI Preset: Off"},
                {"MIDIBank", nullptr, "MIDI Bank: On", "MIDI Bank: Off"},
                {"MIDICapture", nullptr, "External MIDI Capture Mode: On", "External MIDI Capture Mode: Off"},
                {"MIDISpring", nullptr, "MIDI Spring Back: On", "MIDI Spring Back: Off"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.key);
        saveStringToPrefs(r.key, "");
        Bench b;
        for (const char* want : {"N", "Y"}) {
            b.menus.choose({want[0] == 'N' ? r.on : r.off});
            b.ed->showControlMenu();
            EXPECT_EQ(stored(r.key), want);
            if (r.edByte) { EXPECT_EQ(b.ed->pref(r.edByte), want[0] == 'Y'); }
        }
        EXPECT_TRUE(b.h.host().automated.empty());
    }
    // A dismissal writes the four editor switches as they are.
    Bench b;
    for (const char* k : {"Animation", "ToolTip", "Keyboard", "DragAndDrop"}) saveStringToPrefs(k, "x");
    b.menus.dismiss();
    b.ed->showControlMenu();
    for (const char* k : {"Animation", "ToolTip", "Keyboard", "DragAndDrop"}) EXPECT_EQ(stored(k), "Y") << k;
    EXPECT_TRUE(b.shows("(grey) Screen Size: 100% Screen"));
}

TEST(EditorSettingsMenu, MidiChannelLineAndEntry) {
    Bench b;
    // A stored channel outside 0..16 shows clamped.
    for (int v : {99, -5}) {
        saveIntToPrefs("MIDIChannel", v);
        b.menus.dismiss();
        b.ed->showControlMenu();
        EXPECT_TRUE(b.shows(v > 0 ? "(grey) MIDI Input Channel: CH 16" : "(grey) MIDI Input Channel: Omni"));
    }
    saveIntToPrefs("MIDIChannel", 3);
    // Typed answer, what is stored after it, the line the next opening shows.
    const struct {
        const char* typed;
        bool cancel;
        int stored;
        const char* line;
    } rows[] = {{"16", false, 16, "CH 16"}, {"0", false, 0, "Omni"},          {" 7", false, 7, "CH 07"},
                {"17", false, 7, "CH 07"}, {"99999999999", false, 7, "CH 07"}, {"abc", false, 7, "CH 07"},
                {"5", true, 7, "CH 07"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        b.menus.choose({"Set MIDI Input Channel"});
        r.cancel ? platform::dialogScriptCancel() : platform::dialogScriptOk(r.typed);
        b.ed->showControlMenu();
        EXPECT_EQ(loadIntFromPrefs("MIDIChannel"), r.stored);
        b.menus.dismiss();
        b.ed->showControlMenu();
        EXPECT_TRUE(b.shows(std::string("(grey) MIDI Input Channel: ") + r.line));
    }
    EXPECT_EQ(platform::dialogTranscript().front().title, "MIDI Channel");
    EXPECT_EQ(platform::dialogTranscript().front().initial, "3");
}

TEST(EditorOutputMenu, ZoomStaysWithinItsLimitsOnBothPagesOfOneLayer) {
    Bench b;
    for (int i = 0; i < 6; ++i) {
        b.menus.choose({"Zoom In"});
        b.ed->showOutputMenu(1);
    }
    EXPECT_EQ(b.ed->scope(1, false)->getZoom(), 1600);
    EXPECT_EQ(b.ed->scope(1, true)->getZoom(), 1600);
    EXPECT_EQ(b.ed->scope(0, false)->getZoom(), 100);
    b.menus.dismiss();
    b.ed->showOutputMenu(1);
    EXPECT_TRUE(b.shows("(grey) Zoom Level: 1600%"));
    b.menus.choose({"Reset Zoom"});
    b.ed->showOutputMenu(1);
    for (int i = 0; i < 6; ++i) {
        b.menus.choose({"Zoom Out"});
        b.ed->showOutputMenu(1);
    }
    EXPECT_EQ(b.ed->scope(1, true)->getZoom(), 6);
    // The scope switch and the speed: shown from the preferences, written on every run.
    saveBoolToPrefs("OutputDisplay", true);
    saveBoolToPrefs("OutputDisplaySpeed", false);
    b.menus.choose({"Output Screen: On"});
    b.ed->showOutputMenu(0);
    EXPECT_EQ(stored("OutputDisplay"), "N");
    for (int l = 0; l < 6; ++l) EXPECT_FALSE(b.ed->scope(l / 2, l % 2)->getOn());
    b.menus.choose({"Output Screen Slow Speed"});
    b.ed->showOutputMenu(0);
    EXPECT_TRUE(b.shows("Output Screen: Off"));
    EXPECT_EQ(stored("OutputDisplaySpeed"), "Y");
}

TEST(EditorECSMenu, SaveClearAndLoadReachTheEnginesControllerMap) {
    Bench b;
    APlugin& p = b.h.plugin();
    p.midiCCMap[7] = 2;
    setMIDICC(7, 2);
    const std::string file = std::string(std::getenv("XDG_DATA_HOME")) + "/menu-test.ecs";
    platform::fileSelectScriptChoose(file);
    b.menus.choose({"Save ECS"});
    b.ed->showECSMenu();
    ASSERT_TRUE(std::filesystem::exists(file));
    b.menus.choose({"Clear All MIDI"});
    b.ed->showECSMenu();
    EXPECT_EQ(p.midiCCMap[7], 0);
    platform::fileSelectScriptChoose(file);
    b.menus.choose({"Load ECS"});
    b.ed->showECSMenu();
    EXPECT_EQ(p.midiCCMap[7], 2);
}
