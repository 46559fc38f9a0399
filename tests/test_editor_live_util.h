// Shared bench of the tests of the running editor: an engine that renders, its editor open
// off-screen with the real artwork, the GUI clock driven by the test, injected mouse and
// keys, and which views an idle call asked to redraw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/prefs.h"
#include "test_engine_util.h"

namespace livetest {

using namespace VSTGUI;

// The editor with the views the tests look at in reach; counts its full refreshes.
class LiveEditor : public uEditor {
public:
    using uEditor::uEditor;
    using uEditor::arpOnOffs; using uEditor::arpScreen; using uEditor::chordRadios; using uEditor::distortLabels;
    using uEditor::distortModeMenu; using uEditor::fxKnobLabels; using uEditor::lfoRadios; using uEditor::mainKnobs;
    using uEditor::modFXKnobs; using uEditor::modPageRadios; using uEditor::modScreen;
    using uEditor::paramNameReadout; using uEditor::paramValueReadout; using uEditor::playMenus;
    using uEditor::presetMenu; using uEditor::previewButton; using uEditor::scopesMain; using uEditor::selectedChord;
    using uEditor::selectedLFO; using uEditor::velSplitFields; using uEditor::velSplitLayer;
    using uEditor::velSplitLayerRadios; using uEditor::modViewPage; using uEditor::easyLabels;
    using uEditor::easyKnobs; using uEditor::helpButton; using uEditor::backPageArea; using uEditor::backPageClose;
    using uEditor::backPrefSwitches; using uEditor::tuningReadout; using uEditor::brickFreqReadout;
    using uEditor::tuningNameReadout; using uEditor::arpFolderMenu; using uEditor::arpPresetMenu;
    using uEditor::easyPlayMenus; using uEditor::tuningResetButton;

    void resume() override {
        resumes.push_back(getTicks());
        uEditor::resume();
    }
    std::vector<uint32_t> resumes;
};

// Preferences are read when the plug-in and the editor are made: set them first.
struct Prefs {
    using List = std::vector<std::pair<const char*, const char*>>;
    explicit Prefs(const List& prefs) {
        useScratchHome();
        for (const char* k : {"Big100", "Big125", "Big150", "Big200"}) saveBoolToPrefs(k, false);
        saveStringToPrefs("AdvancedDisplay", "Y");
        for (const auto& kv : prefs) saveStringToPrefs(kv.first, kv.second);
        setManualGuiClock(1000);
    }
};

struct Live {
    explicit Live(const Prefs::List& prefs = {}) : prefs(prefs) {
        std::string p = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(p.substr(0, p.rfind('/')) + "/Tavrolune.resources");
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::fileSelectScriptClear();
        setMenuPresenter(&menus);
        delete e.p().getEditor();
        ed = new LiveEditor(&e.p());
        EXPECT_EQ(e.harness().dispatch(effEditOpen), 1);
        step();
    }
    ~Live() {
        e.harness().dispatch(effEditClose);
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
    APlugin& p() { return e.p(); }
    CFrame* frame() { return ed->getFrame(); }
    // One idle call 50 ms (or ms) after the last.
    void step(uint32_t ms = 50) {
        advanceManualGuiClock(ms);
        e.harness().dispatch(effEditIdle);
    }
    // Whether that idle call asked the view to be redrawn (views stay dirty until drawn, and
    // nothing draws off-screen).
    bool stepRedraws(CView* v, uint32_t ms = 50) {
        v->setDirty(false);
        step(ms);
        return v->isDirty();
    }
    static CPoint centre(CView* v) {
        CPoint c = v->getViewSize().getCenter();
        v->localToFrame(c);
        return c;
    }
    void click(CView* v) {
        const CPoint c = centre(v);
        frame()->platformOnMouseDown(c, kLButton);
        frame()->platformOnMouseUp(c, kLButton);
    }
    void hover(CView* v) { frame()->platformOnMouseMoved(centre(v), 0); }
    int key(unsigned char virt, char character = 0) {
        VstKeyCode k{};
        k.virt = virt;
        k.character = character;
        return frame()->platformOnKeyDown(k);
    }

    guitest::GuiStateGuard guard;
    Prefs prefs;
    enginetest::Engine e;
    ScriptedMenuPresenter menus;
    LiveEditor* ed = nullptr;
};

}  // namespace livetest
