// Page switches and section pages: each page shows current values, the start page follows
// the preference, a layer shows its model's knobs after host automation, the Mod FX section
// lays out each mode on both pages, and the distortion knobs remember their values per model.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "controls/TGatorDisplay.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

// Fills whatever section members the page builders left empty, so the rebuilders have
// something to lay out: per model one layer knob with caption, the Mod FX knobs and step
// displays, the distortion knobs, and a frame knob of tag 5 on each front page.
class SwitchEditor : public uEditor {
public:
    explicit SwitchEditor(APlugin* p) : uEditor(p) {}
    using uEditor::containers;
    using uEditor::distortKnobs;
    using uEditor::distortLabels;
    using uEditor::distortMemory;
    using uEditor::easyDistortLabels;
    using uEditor::easyLayerKnobs;
    using uEditor::easyModFXKnobs;
    using uEditor::easyModFXLabels;
    using uEditor::layerKnobs;
    using uEditor::modFXKnobLabels;
    using uEditor::modFXKnobs;

    void createMainScreenControls() override {
        uEditor::createMainScreenControls();
        const int slot[4] = {2, 16, 30, 46}, tag[4] = {11, 14, 22, 27};
        for (int t = 0; t < 4; ++t)
            if (!layerKnobs[0][slot[t]])
                createKnob(layerKnobs[0][slot[t]], tag[t], 40 * t, 2, 4, layerKnobLabels[0][slot[t] + (t == 3)], "K",
                           4);
        for (int k = 0; k < 6; ++k)
            if (!modFXKnobs[k]) createKnob(modFXKnobs[k], 107 + k, 2 + 44 * k, 2, 4, modFXKnobLabels[k], "?", 4);
        for (int k = 0; k < 2; ++k)
            if (!gatorDisplays[k]) own(gatorDisplays[k], new TGatorDisplay(CRect(140, 11, 268, 27), this, 111 + k));
        for (int k = 0; k < 3; ++k)
            if (!distortKnobs[k]) createKnob(distortKnobs[k], 104 + k, 35 + 48 * k, 394, 4, distortLabels[k], "?", 4);
        createKnob(frameKnobs[0], 5, 600, 300, 4);
    }
    void createEasyScreenControls() override {
        uEditor::createEasyScreenControls();
        const int slot[4] = {2, 11, 21, 33}, tag[4] = {12, 15, 263, 28};
        for (int t = 0; t < 4; ++t)
            if (!easyLayerKnobs[0][slot[t]])
                createEasyKnob(easyLayerKnobs[0][slot[t]], tag[t], 60 * t, 2, 5,
                               easyLayerLabels[0][slot[t] + (t == 3)], "K", 4);
        for (int k = 0; k < 4; ++k)
            if (!easyModFXKnobs[k]) createEasyKnob(easyModFXKnobs[k], 107 + k, 4 + 66 * k, 4, 5, easyModFXLabels[k], "?", 4);
        for (int k = 0; k < 2; ++k)
            if (!easyGatorDisplays[k])
                own(easyGatorDisplays[k], new TGatorDisplay(CRect(140, 14 + 20 * k, 268, 30 + 20 * k), this, 111 + k));
        for (int k = 0; k < 3; ++k)
            if (!easyDistortKnobs[k])
                createEasyKnob(easyDistortKnobs[k], 104 + k, 31 + 70 * k, 480, 5, easyDistortLabels[k], "?", 4);
        createEasyKnob(frameKnobs[1], 5, 600, 300, 5);
    }
    // What the back page's own switch does to the frame (that page is built elsewhere).
    void showBack() {
        frame->removeAll(true);
        frame->setBackground(getEditorBitmap(10002));
        screenMode = kPageBack;
    }
    TKnob* frameKnobs[2] = {};
};

std::string resourceFolder() {
    std::string p = TAV_PLUGIN_PATH;
    return p.substr(0, p.rfind('/')) + "/Tavrolune.resources";
}

struct Bench {
    explicit Bench(const char* advanced = "Y") {
        useScratchHome();
        for (const char* k : {"Big100", "Big125", "Big150", "Big200"}) saveBoolToPrefs(k, false);
        if (advanced) saveStringToPrefs("AdvancedDisplay", advanced);
        else saveStringToPrefs("AdvancedDisplay", "");
        CBitmap::setResourceFolder(resourceFolder());
        delete h->getEditor();
        ed = new SwitchEditor(&h.plugin());
        setManualGuiClock(1000);
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
        idle();
    }
    ~Bench() { h.dispatch(effEditClose); }
    // One idle call that is due for the editor's 50 ms step.
    void idle() {
        advanceManualGuiClock(50);
        h.dispatch(effEditIdle);
    }
    bool shown(CView* v) const {
        for (CView* p = v ? v->getParentView() : nullptr; p; p = p->getParentView())
            if (p == ed->getFrame()) return true;
        return false;
    }
    GuiStateGuard guard;
    PluginHarness h;
    SwitchEditor* ed = nullptr;
};

std::string pref(const char* key) {
    std::string v;
    loadStringFromPrefs(key, v, 8);
    return v;
}

TEST(EditorSwitching, StartPageFollowsTheAdvancedDisplayPreference) {
    const struct {
        const char* value;
        int page;
    } rows[] = {{"Y", kPageMain}, {"N", kPageEasy}, {nullptr, kPageEasy}};
    for (const auto& r : rows) {
        Bench b(r.value);
        EXPECT_EQ(b.ed->getScreenMode(), r.page);
        EXPECT_EQ(b.ed->getFrame()->getBackground(), b.ed->getEditorBitmap(r.page == kPageMain ? 10000 : 10001));
        EXPECT_EQ(b.shown(b.ed->frameKnobs[0]), r.page == kPageMain);
        EXPECT_EQ(b.shown(b.ed->frameKnobs[1]), r.page == kPageEasy);
    }
}

TEST(EditorSwitching, EachPageShowsCurrentValuesAfterASwitch) {
    Bench b("Y");
    SwitchEditor* ed = b.ed;
    const struct {
        int page;
        float value;
    } steps[] = {{kPageEasy, 0.25f}, {kPageBack, 0.5f}, {kPageMain, 0.75f}, {kPageEasy, 0.125f}};
    for (const auto& s : steps) {
        b.h->setParameter(5, s.value);
        // A stale control must be put right by the switch's refresh.
        for (TKnob* k : ed->frameKnobs) k->setValue(0.9f);
        if (s.page == kPageMain) ed->showMainScreen();
        else if (s.page == kPageEasy) ed->showEasyScreen();
        else ed->showBack();
        b.idle();
        if (s.page == kPageBack) continue;
        EXPECT_EQ(ed->getScreenMode(), s.page);
        EXPECT_EQ(pref("AdvancedDisplay"), s.page == kPageMain ? "Y" : "N");
        TKnob* own = ed->frameKnobs[s.page == kPageMain ? 0 : 1];
        EXPECT_TRUE(b.shown(own));
        EXPECT_FALSE(b.shown(ed->frameKnobs[s.page == kPageMain ? 1 : 0]));
        EXPECT_FLOAT_EQ(own->getValue(), s.value);
        // The page's section containers are up and populated.
        const int left = s.page == kPageMain ? uEditor::kLayerLeft0 : uEditor::kEasyLayerLeft0;
        EXPECT_TRUE(b.shown(ed->containers[left]));
        EXPECT_GT(ed->containers[left]->getNbViews(), 0u);
    }
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorSwitching, HostChangeOfALayerModelShowsThatModelsKnobs) {
    for (const char* advanced : {"Y", "N"}) {
        Bench b(advanced);
        SwitchEditor* ed = b.ed;
        const bool easy = ed->getScreenMode() == kPageEasy;
        AEffect* e = b.h.plugin().getAeffect();
        for (int t : {3, 1, 2, 0}) {
            std::thread host([&] { e->setParameter(e, 249, (t + 0.1f) / b.h->getSteppedRange(249)); });
            host.join();
            b.idle();
            CViewContainer* left = ed->containers[easy ? uEditor::kEasyLayerLeft0 : uEditor::kLayerLeft0];
            EXPECT_EQ(left->getBackground(), ed->getEditorBitmap((easy ? 10030 : 10024) + t));
            int shown = 0;
            for (int m = 0; m < 4; ++m) {
                const int from = easy ? uEditor::EASY_LAYER_KNOB_START[m] : uEditor::LAYER_KNOB_START[m];
                const int to = easy ? uEditor::EASY_LAYER_KNOB_END[m] : uEditor::LAYER_KNOB_END[m];
                for (int s = from; s <= to; ++s) {
                    TKnob* k = easy ? ed->easyLayerKnobs[0][s] : ed->layerKnobs[0][s];
                    if (!k) continue;
                    EXPECT_EQ(k->getParentView() == left, m == t) << "model " << t << " slot " << s;
                    shown += m == t;
                }
            }
            EXPECT_GT(shown, 0);
        }
        EXPECT_TRUE(b.guard.faults.empty()) << "a view was touched off the UI thread";
    }
}

// A wheel step over every knob the Mod FX section shows moves exactly the parameter its
// caption names.
TEST(EditorSwitching, EveryModFXModeLaysOutItsKnobsOnBothPages) {
    Bench b("Y");
    SwitchEditor* ed = b.ed;
    for (int m = 0; m < 11; ++m) {
        ed->showMainScreen();
        b.h->setSteppedValue(349, m);
        ed->updateModFX();
        for (int page : {kPageMain, kPageEasy}) {
            if (page == kPageEasy) ed->showEasyScreen();
            b.idle();
            const bool easy = page == kPageEasy;
            CViewContainer* view = ed->containers[easy ? uEditor::kEasyModFXView : uEditor::kModFXView];
            TKnob* const* knobs = easy ? ed->easyModFXKnobs : ed->modFXKnobs;
            TLabel* const* labels = easy ? ed->easyModFXLabels : ed->modFXKnobLabels;
            const int n = easy ? (m == 10 ? 2 : 4) : (m == 10 ? 3 : 6);
            for (int k = 0; k < (easy ? 4 : 6); ++k) {
                ASSERT_EQ(knobs[k]->getParentView() == view, k < n) << "mode " << m << " knob " << k;
                if (k >= n) continue;
                const int tag = knobs[k]->getTag();
                if (easy) EXPECT_EQ(tag, 107 + uEditor::EASY_VARS[m][k]);
                if (tag > 107) EXPECT_EQ(labels[k]->getString(), MOD_FX_LABEL_STR[5 * m + tag - 108]);
                EXPECT_EQ(labels[k]->getParentView(), view);
                float before[6];
                for (int t = 0; t < 6; ++t) before[t] = b.h->getParameter(107 + t);
                CPoint c = knobs[k]->getViewSize().getCenter();
                knobs[k]->localToFrame(c);
                ed->getFrame()->platformOnMouseWheel(c, before[tag - 107] > 0.5f ? -1.f : 1.f, 0);
                for (int t = 0; t < 6; ++t)
                    EXPECT_EQ(b.h->getParameter(107 + t) != before[t], 107 + t == tag)
                        << "mode " << m << " knob " << k << " tag " << 107 + t;
            }
            EXPECT_EQ(ed->getSectionContainer(easy ? uEditor::kEasyModFXView : uEditor::kModFXView)->getNbViews() >
                          static_cast<uint32_t>(2 * n),
                      m == 10)
                << "only the Gator mode adds its step displays";
        }
    }
}

TEST(EditorSwitching, ADistortionModelChangeSwapsTheRememberedKnobValues) {
    Bench b("Y");
    SwitchEditor* ed = b.ed;
    b.h->setSteppedValue(347, 0);
    ed->updateDistort();
    const float mine[3] = {0.3f, 0.4f, 0.6f};
    for (int k = 0; k < 3; ++k) b.h->setParameter(104 + k, mine[k]);
    const size_t automatedBefore = b.h.host().automated.size();
    b.h->setSteppedValue(347, 5);
    ed->updateDistort();
    // The new model starts from its remembered (here: default) values, unknown to the host.
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(b.h->getParameter(104 + k), ed->distortMemory[5][k]);
        EXPECT_FLOAT_EQ(ed->distortKnobs[k]->getValue(), ed->distortMemory[5][k]);
    }
    for (size_t i = automatedBefore; i < b.h.host().automated.size(); ++i)
        EXPECT_TRUE(b.h.host().automated[i].first < 104 || b.h.host().automated[i].first > 106);
    EXPECT_EQ(ed->distortLabels[1]->getString(), DISTORT_MODE_LABEL_STR[10]);
    EXPECT_EQ(ed->distortLabels[2]->getString(), DISTORT_MODE_LABEL_STR[11]);
    b.h->setParameter(105, 0.9f);
    b.h->setSteppedValue(347, 0);
    ed->updateDistort();
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(b.h->getParameter(104 + k), mine[k]);
    EXPECT_EQ(ed->distortLabels[1]->getString(), DISTORT_MODE_LABEL_STR[0]);
    // The edit made under model 5 is kept for it.
    EXPECT_FLOAT_EQ(ed->distortMemory[5][1], 0.9f);
}

} // namespace
