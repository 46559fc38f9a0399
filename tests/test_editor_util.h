// The one bench of the editor tests: preferences set first, a plug-in (or a rendering engine),
// the editor with its inner views in reach (or without pages), scripted menus, dialogs and
// file selections, the GUI clock driven by the test, injected mouse and keys.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/TKnob.h"
#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/prefs.h"
#include "test_engine_util.h"

namespace edtest {

using namespace VSTGUI;

// The real editor with its views in reach; `bare` leaves the pages empty (section and menu
// tests need none); `failWrites` makes section saves fail.
class TestEditor : public uEditor {
public:
    using uEditor::uEditor;
    using uEditor::arpFolderMenu; using uEditor::arpPresetMenu; using uEditor::arpScreen;
    using uEditor::attach; using uEditor::backInfoText; using uEditor::backPageArea; using uEditor::backPageClose;
    using uEditor::backPrefSwitches; using uEditor::brickFreqReadout; using uEditor::chordRadios;
    using uEditor::containers; using uEditor::controlCount; using uEditor::controlPage; using uEditor::controls;
    using uEditor::distortKnobs; using uEditor::distortLabels; using uEditor::distortMemory;
    using uEditor::distortMode; using uEditor::distortModeMenu; using uEditor::easyKnobs; using uEditor::easyLabels;
    using uEditor::easyLayerKnobs; using uEditor::easyModFXKnobs; using uEditor::easyModFXLabels;
    using uEditor::frame; using uEditor::fxKnobLabels; using uEditor::helpButton; using uEditor::helperPids; using uEditor::layerFilterModeMenus;
    using uEditor::layerKnobs; using uEditor::layerSemiMenus; using uEditor::lfoRadios; using uEditor::mainKnobs;
    using uEditor::modFXKnobLabels; using uEditor::modFXKnobs; using uEditor::modPageRadios; using uEditor::modScreen;
    using uEditor::modViewPage; using uEditor::paramNameReadout; using uEditor::paramValueReadout;
    using uEditor::playMenus; using uEditor::prefAnimation; using uEditor::prefDragAndDrop;
    using uEditor::prefKeyboard; using uEditor::prefToolTip; using uEditor::presetMenu; using uEditor::previewButton;
    using uEditor::ribbonSlider;
    using uEditor::screenMode; using uEditor::selectRadio; using uEditor::scopesEasy; using uEditor::scopesMain;
    using uEditor::selectedChord; using uEditor::selectedLFO; using uEditor::tuningNameReadout;
    using uEditor::tuningReadout; using uEditor::tuningResetButton; using uEditor::updateDestStr;
    using uEditor::velSplitFields; using uEditor::velSplitLayer; using uEditor::velSplitLayerRadios;

    bool bare = false, failWrites = false;
    std::vector<uint32_t> resumes;  // GUI clock at each full refresh

    void createMainScreenControls() override {
        if (!bare) uEditor::createMainScreenControls();
    }
    void createEasyScreenControls() override {
        if (!bare) uEditor::createEasyScreenControls();
    }
    void createBackScreen() override {
        if (!bare) uEditor::createBackScreen();
    }
    bool writeSectionFile(const std::string& path, const std::string& text) override {
        return !failWrites && uEditor::writeSectionFile(path, text);
    }
    void resume() override {
        resumes.push_back(getTicks());
        uEditor::resume();
    }
    // The first knob of `tag` on the main (or easy) page.
    TKnob* knob(int tag, bool easy = false) {
        TKnob* const* knobs = easy ? easyKnobs : mainKnobs;
        const int n = easy ? kEasyKnobSlots : kNumMainKnobs;
        for (int i = 0; i < n; ++i)
            if (knobs[i] && knobs[i]->getTag() == tag) return knobs[i];
        return nullptr;
    }
    // The back page as its switch shows it: background, then its controls in build order.
    void showBackPage() {
        frame->removeAll(true);
        frame->setBackground(getEditorBitmap(10002));
        screenMode = kPageBack;
        for (int i = 0; i < controlCount; ++i)
            if (controlPage[i] == kPageBack) attach(frame, controls[i]);
    }
    // A section menu built on the frame every section menu shares: a plain title, a copy and
    // paste pair, a submenu with its own "Copy LFOs", and "Undo".
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
};

enum : unsigned { kBare = 1, kEngine = 2, kClosed = 4, kEasyStart = 8 };
using PrefList = std::vector<std::pair<const char*, const char*>>;

// Preferences are read when the plug-in and the editor are made: set them first.
struct Prefs {
    Prefs(unsigned flags, int big, const PrefList& extra) {
        useScratchHome();
        const char* sizes[4] = {"Big100", "Big125", "Big150", "Big200"};
        for (int k = 0; k < 4; ++k) saveBoolToPrefs(sizes[k], k == big && k > 0);
        saveStringToPrefs("AdvancedDisplay", flags & kEasyStart ? "N" : "Y");
        for (const auto& kv : extra) saveStringToPrefs(kv.first, kv.second);
        setManualGuiClock(1000);
    }
};

struct Bench {
    explicit Bench(unsigned flags = 0, int big = 0, const PrefList& extra = {})
        : prefs(flags, big, extra), h(host(flags)) {
        CBitmap::setResourceFolder("");
        setMenuPresenter(&menus);
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::fileSelectScriptClear();
        delete h->getEditor();
        ed = new TestEditor(&h.plugin());
        ed->bare = flags & kBare;
        if (!(flags & kClosed)) open();
    }
    ~Bench() {
        h.dispatch(effEditClose);
        platform::dialogSetMode(platform::DialogMode::Headless);
    }
    void open() {
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
        step();  // the section containers show the current models
    }
    APlugin& p() { return h.plugin(); }
    enginetest::Engine& e() { return *engine; }
    CFrame* frame() { return ed->getFrame(); }
    float get(int tag) { return h->getParameter(tag); }
    void set(int tag, float v) { h->setParameter(tag, v); }
    // One idle call 50 ms (or ms) after the last.
    void step(uint32_t ms = 50) {
        advanceManualGuiClock(ms);
        h.dispatch(effEditIdle);
    }
    // Whether that idle call asked the view to be redrawn (nothing draws off-screen).
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
    void click(CView* v, CButtonState b = kLButton) {
        const CPoint c = centre(v);
        frame()->platformOnMouseDown(c, b);
        frame()->platformOnMouseUp(c, b);
    }
    void drag(const CPoint& from, const CPoint& to, int steps = 10) {
        frame()->platformOnMouseDown(from, kLButton);
        for (int k = 1; k <= steps; ++k)
            frame()->platformOnMouseMoved(
                CPoint(from.x + (to.x - from.x) * k / steps, from.y + (to.y - from.y) * k / steps), kLButton);
        frame()->platformOnMouseUp(to, kLButton);
    }
    void wheel(CView* v, float d) { frame()->platformOnMouseWheel(centre(v), d, 0); }
    void hover(CView* v) { frame()->platformOnMouseMoved(centre(v), 0); }
    int key(unsigned char virt, char character = 0) {
        VstKeyCode k{};
        k.virt = virt;
        k.character = character;
        return frame()->platformOnKeyDown(k);
    }
    // The last menu shown lists `line`.
    bool shows(const std::string& line) {
        const auto& l = menus.transcript().back().lines;
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    // Answers the next menu with `path` (empty: dismissed), and the entry box with `typed`.
    Bench& answer(const std::vector<std::string>& path, const char* typed = nullptr) {
        path.empty() ? menus.dismiss() : menus.choose(path);
        if (typed) platform::dialogScriptOk(typed);
        h.host().automated.clear();
        return *this;
    }
    // Tags the host heard of since the last clear.
    std::vector<int> heard() {
        std::vector<int> tags;
        for (const auto& a : h.host().automated) tags.push_back(a.first);
        return tags;
    }
    bool heardOf(int tag) {
        const std::vector<int> t = heard();
        return std::find(t.begin(), t.end(), tag) != t.end();
    }
    std::vector<float> values(int section) {
        std::vector<float> v;
        for (int i = 0; i < ed->getSectionTagCount(section); ++i) v.push_back(get(ed->getSectionTag(section, i)));
        return v;
    }
    std::vector<float> all() {
        std::vector<float> v(kNumParams);
        for (int t = 0; t < kNumParams; ++t) v[t] = get(t);
        return v;
    }
    // Distinct values in every tag of the section, different for each seed.
    void scramble(int section, int seed) {
        for (int i = 0; i < ed->getSectionTagCount(section); ++i) {
            const int tag = ed->getSectionTag(section, i);
            set(tag, float((tag * 37 + seed * 101) % 997) / 996.f);
        }
    }
    int problems() {
        int n = 0;
        for (const auto& r : platform::dialogTranscript()) n += r.text == "Problem with Preset";
        return n;
    }

    guitest::GuiStateGuard guard;
    Prefs prefs;
    std::unique_ptr<enginetest::Engine> engine;
    std::unique_ptr<PluginHarness> plain;
    PluginHarness& h;
    ScriptedMenuPresenter menus;
    TestEditor* ed = nullptr;

private:
    PluginHarness& host(unsigned flags) {
        if (flags & kEngine) {
            engine = std::make_unique<enginetest::Engine>();
            return engine->harness();
        }
        plain = std::make_unique<PluginHarness>();
        return *plain;
    }
};

}  // namespace edtest
