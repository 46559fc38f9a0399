// The main page as a user meets it: every control where it belongs at every size, each
// control moving its own parameter, the layer menus listing every value, and modulation
// destination names that follow the distortion model and the filter modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <typeinfo>

#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/THSlider.h"
#include "editor/uEditor.h"
#include "gui/MenuPresenter.h"
#include "gui_support/GuiTestKit.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

class MainPageEditor : public uEditor {
public:
    using uEditor::uEditor;
    using uEditor::distortMode;
    using uEditor::layerFilterModeMenus;
    using uEditor::layerSemiMenus;
    using uEditor::updateDestStr;
};

// A plug-in whose editor opens on the main page at the given size (0..3); layer 1 plays FM
// and layer 2 Wave so their menus are on show.
struct MainBench {
    explicit MainBench(int size) {
        useScratchHome();
        const char* keys[4] = {"Big100", "Big125", "Big150", "Big200"};
        for (int k = 0; k < 4; ++k) saveBoolToPrefs(keys[k], k == size && k > 0);
        saveStringToPrefs("AdvancedDisplay", "Y");
        h = std::make_unique<PluginHarness>();
        std::string p = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(p.substr(0, p.rfind('/')) + "/Tavrolune.resources");
        delete (*h)->getEditor();
        ed = new MainPageEditor(&h->plugin());
        (*h)->setSteppedValue(LAYER_SOURCE_TAGS[0], 2);
        (*h)->setSteppedValue(LAYER_SOURCE_TAGS[1], 3);
        setManualGuiClock(1000);
        EXPECT_EQ(h->dispatch(effEditOpen), 1);
        setManualGuiClock(2000);
        h->dispatch(effEditIdle);
    }
    ~MainBench() {
        h->dispatch(effEditClose);
        setMenuPresenter(nullptr);
    }
    CFrame* frame() { return ed->getFrame(); }
    GuiStateGuard guard;
    std::unique_ptr<PluginHarness> h;
    MainPageEditor* ed = nullptr;
};

CRect boundsOf(uEditor& ed, int container) {
    CViewContainer* c = container < 0 ? ed.getFrame() : ed.getSectionContainer(container);
    return c ? CRect(0, 0, c->getViewSize().getWidth(), c->getViewSize().getHeight()) : CRect();
}

CRect inFrame(CView* v) {
    CRect r = v->getViewSize();
    for (CView* p = v->getParentView(); p && p != v->getFrame(); p = p->getParentView())
        r.offset(p->getViewSize().left, p->getViewSize().top);
    return r;
}

bool inside(const CRect& inner, const CRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool overlap(const CRect& a, const CRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string describe(CView* v) {
    const CRect r = v->getViewSize();
    auto* c = dynamic_cast<CControl*>(v);
    return std::string(typeid(*v).name()) + " tag " + std::to_string(c ? c->getTag() : -1) + " at " +
           std::to_string(int(r.left)) + "," + std::to_string(int(r.top)) + "-" + std::to_string(int(r.right)) + "," +
           std::to_string(int(r.bottom));
}

// (kind, tag) of every registered control of the main page, in registration order.
std::vector<std::pair<int, int>> signature(uEditor& ed) {
    std::vector<std::pair<int, int>> s;
    for (int i = 0; i < ed.getControlCount(); ++i)
        if (ed.getControlPage(i) == kPageMain && ed.getControl(i))
            s.emplace_back(ed.getControlKind(i), ed.getControl(i)->getTag());
    return s;
}

TEST(EditorMainPage, EveryControlSitsInItsPlaceWithItsCaptionAtEverySize) {
    std::vector<std::pair<int, int>> first;
    for (int size = 0; size < 4; ++size) {
        SCOPED_TRACE(size);
        MainBench b(size);
        uEditor& ed = *b.ed;
        ASSERT_EQ(ed.getScreenMode(), kPageMain);
        const auto sig = signature(ed);
        if (size == 0) first = sig;
        EXPECT_EQ(sig, first) << "the same controls in the same order at every size";
        EXPECT_GT(sig.size(), 400u);
        for (const auto& [kind, tag] : sig) EXPECT_TRUE(tag == 9999 || (tag >= 0 && tag < 1024)) << tag;

        const auto& views = ed.getMainViews();
        std::set<CView*> recorded;
        for (const auto& v : views) recorded.insert(v.view);
        for (int i = 0; i < ed.getControlCount(); ++i)
            if (ed.getControlPage(i) == kPageMain) {
                EXPECT_TRUE(recorded.count(ed.getControl(i))) << i;
            }

        for (std::size_t i = 0; i < views.size(); ++i) {
            const auto& v = views[i];
            const CRect r = v.view->getViewSize();
            const bool label = dynamic_cast<TLabel*>(v.view) != nullptr;
            // Captions may reach past a container's edge as long as their text is centred inside.
            if (label) {
                EXPECT_TRUE(boundsOf(ed, v.container).pointInside(r.getCenter())) << describe(v.view);
            } else {
                EXPECT_TRUE(inside(r, boundsOf(ed, v.container))) << describe(v.view);
            }
            CView* parent = v.view->getParentView();
            if (parent) {
                EXPECT_EQ(parent, v.container < 0 ? static_cast<CView*>(ed.getFrame())
                                                  : static_cast<CView*>(ed.getSectionContainer(v.container)));
            }
            if (label) continue;
            for (std::size_t j = i + 1; j < views.size(); ++j) {
                const auto& w = views[j];
                if (w.container != v.container || !(w.pages & v.pages) || dynamic_cast<TLabel*>(w.view)) continue;
                EXPECT_FALSE(overlap(r, w.view->getViewSize())) << describe(v.view) << " and " << describe(w.view);
            }
            // Every knob but the portamento amount has its caption right under it.
            auto* knob = dynamic_cast<TKnob*>(v.view);
            if (!knob || knob->getTag() == 4) continue;
            const bool captioned = std::any_of(views.begin(), views.end(), [&](const uEditor::MainView& w) {
                const CRect c = w.view->getViewSize();
                return dynamic_cast<TLabel*>(w.view) && w.container == v.container && c.top == r.bottom &&
                       std::fabs(c.getCenter().x - r.getCenter().x) <= 1.0 && (w.pages & v.pages);
            });
            EXPECT_TRUE(captioned) << "knob of tag " << knob->getTag();
        }
        EXPECT_TRUE(b.guard.faults.empty());
    }
}

// The path of titles to the entry `pick` of a menu's entries taken in value order.
std::vector<std::string> pathTo(COptionMenu* menu, int pick) {
    int n = 0;
    for (int i = 0; i < menu->getNbEntries(); ++i) {
        CMenuItem* item = menu->getEntry(i);
        if (COptionMenu* sub = item->getSubmenu()) {
            if (pick < n + sub->getNbEntries()) return {item->getTitle(), sub->getEntry(pick - n)->getTitle()};
            n += sub->getNbEntries();
        } else if (item->isChoosable() && n++ == pick) {
            return {item->getTitle()};
        }
    }
    return {};
}

std::vector<float> snapshot(APlugin& p) {
    std::vector<float> v(1024);
    for (int t = 0; t < 1024; ++t) v[t] = p.getParameter(t);
    return v;
}

// A drag (or, with wheel, one wheel step), a click or a menu choice on every parameter control
// the user can reach on the page moves that parameter and no other (but the companions a
// choice writes by design).
void driveEveryControl(MainBench& b, bool wheel) {
    uEditor& ed = *b.ed;
    APlugin& p = b.h->plugin();
    CFrame* f = b.frame();
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    // Every effect section live, so that no section is drawn off (and takes no input).
    for (int t : {346, 348, 351, 354}) p.setParameter(t, 1.f);
    p.setParameter(345, 0.f);
    advanceManualGuiClock(50);
    b.h->dispatch(effEditIdle);
    int driven = 0, menus = 0;
    for (int i = 0; i < ed.getControlCount(); ++i) {
        CControl* c = ed.getControl(i);
        if (ed.getControlPage(i) != kPageMain || !c || c->getTag() >= 1024 || !c->getParentView()) continue;
        // The lock menu works the plug-in's lock, not its parameter.
        if (c->getTag() == 664) continue;
        // A knob drawn off (the layer's filter mode does not use it) takes no input.
        if (auto* k = dynamic_cast<TKnob*>(c); k && k->getBypassed()) continue;
        const CPoint at = inFrame(c).getCenter();
        if (f->getViewAt(at, GetViewOptions().deep()) != c) continue;
        const int tag = c->getTag();
        const auto before = snapshot(p);
        const int kind = ed.getControlKind(i);
        if (kind == kControlMenu) {
            auto* menu = static_cast<COptionMenu*>(c);
            const int cur = p.getSteppedValue(tag);
            presenter.choose(pathTo(menu, cur == 1 ? 0 : 1));
            f->platformOnMouseDown(at, kLButton);
            f->platformOnMouseUp(at, kLButton);
            ++menus;
        } else if (kind == kControlKnob && wheel) {
            f->platformOnMouseWheel(at, c->getValue() > 0.5f ? -1.f : 1.f, 0);
        } else if (kind == kControlKnob || kind == kControlSlider) {
            const double d = c->getValue() > 0.5f ? 1 : -1;
            const bool across = kind == kControlSlider;
            f->platformOnMouseDown(at, kLButton);
            for (int s = 1; s <= 30; ++s)
                f->platformOnMouseMoved(CPoint(at.x - (across ? d * s : 0), at.y + (across ? 0 : d * s)), kLButton);
            f->platformOnMouseUp(CPoint(at.x - (across ? d * 30 : 0), at.y + (across ? 0 : d * 30)), kLButton);
        } else if (kind == kControlOnOff) {
            f->platformOnMouseDown(at, kLButton);
            f->platformOnMouseUp(at, kLButton);
        } else {
            continue;
        }
        ++driven;
        const auto after = snapshot(p);
        std::set<int> changed;
        for (int t = 0; t < 1024; ++t)
            if (after[t] != before[t]) changed.insert(t);
        std::set<int> allowed = {tag};
        for (int l = 0; l < 3; ++l)
            if (tag == WAVE_TAGS[l]) allowed.insert(WAVE_SYM_TAGS[l]);  // a new wave starts centred
        if (tag == 347) allowed.insert({104, 105, 106});                  // the model's own knob values
        if (tag == 349) allowed.insert({107, 108, 109, 110, 111, 112, 350});
        if (tag == 665) allowed.insert(126);                              // the ribbon re-centres
        EXPECT_TRUE(changed.count(tag)) << "tag " << tag << " kind " << kind;
        for (int t : changed) EXPECT_TRUE(allowed.count(t)) << "tag " << tag << " also moved " << t;
    }
    EXPECT_GT(driven, 150);
    EXPECT_GT(menus, 25);
    for (const auto& r : presenter.transcript()) EXPECT_TRUE(r.refusal.empty()) << r.refusal;
    setMenuPresenter(nullptr);
}

TEST(EditorMainPage, EachControlMovesItsOwnParameterAt100And200Percent) {
    {
        MainBench b(0);
        driveEveryControl(b, false);
    }
    MainBench b(3);
    driveEveryControl(b, true);
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorMainPage, LayerMenusListEveryValueOnceInValueOrder) {
    MainBench b(0);
    for (int l = 0; l < 3; ++l) {
        struct Case {
            COptionMenu* menu;
            const char* const* rows;
            int count;
        } cases[2] = {{b.ed->layerSemiMenus[l], SEMI_SHORT_STR, 97},
                      {b.ed->layerFilterModeMenus[l], FILTER_MODE_STR, 35}};
        for (const Case& c : cases) {
            ASSERT_NE(c.menu, nullptr);
            for (int v = 0; v < c.count; ++v) {
                const auto path = pathTo(c.menu, v);
                ASSERT_FALSE(path.empty()) << v;
                EXPECT_EQ(path.back(), c.rows[v]);
            }
            EXPECT_TRUE(pathTo(c.menu, c.count).empty()) << "no entry beyond the last value";
        }
    }
    // The centre semitone sits on the main menu between the second and third group.
    EXPECT_EQ(pathTo(b.ed->layerSemiMenus[0], 48), std::vector<std::string>{SEMI_SHORT_STR[48]});
}

TEST(EditorMainPage, DestinationNamesFollowTheDistortionModelAndTheFilterModes) {
    GuiStateGuard guard;
    useScratchHome();
    PluginHarness h;
    delete h->getEditor();
    auto* ed = new MainPageEditor(&h.plugin());
    EXPECT_EQ(ed->getDestStr(1), "") << "no names before the first rebuild";

    h->setSteppedValue(FILTER_MODE_TAGS[0], 28);  // formant
    h->setSteppedValue(FILTER_MODE_TAGS[1], 30);  // comb: the Q knob is an amount
    h->setSteppedValue(FILTER_MODE_TAGS[2], 12);  // a mode with a mix control
    ed->distortMode = 7;
    ed->updateDestStr();
    EXPECT_EQ(ed->getDestStr(315), DISTORT_MODE_VAR_STR[14]);
    EXPECT_EQ(ed->getDestShortStr(316), DISTORT_MODE_VAR_SHORT_STR[15]);
    EXPECT_EQ(ed->getDestStr(47), "Layer 1 Filter Formant");
    EXPECT_EQ(ed->getDestShortStr(47), "L1 Filter Formant");
    EXPECT_EQ(ed->getDestStr(46), "Layer 1 Filter Q");
    EXPECT_EQ(ed->getDestStr(138), "Layer 2 Filter Amount");
    EXPECT_EQ(ed->getDestShortStr(138), "L2 Filter Q");
    EXPECT_EQ(ed->getDestStr(139), "Layer 2 Filter Vowel");
    EXPECT_EQ(ed->getDestShortStr(231), "L3 Filter Mix");
    EXPECT_EQ(ed->getDestStr(1), DEST_STR[1]);
    EXPECT_EQ(ed->getDestStr(401), "");
    EXPECT_EQ(ed->getDestShortStr(-1), "");

    // A rebuild after the modes changed back leaves no stale name.
    for (int l = 0; l < 3; ++l) h->setSteppedValue(FILTER_MODE_TAGS[l], 1);
    ed->distortMode = 0;
    ed->updateDestStr();
    EXPECT_EQ(ed->getDestStr(315), DISTORT_MODE_VAR_STR[0]);
    EXPECT_EQ(ed->getDestStr(138), "Layer 2 Filter Q");
    EXPECT_EQ(ed->getDestStr(47), "Layer 1 Filter Vowel");
    EXPECT_EQ(ed->getDestStr(231), "Layer 3 Filter Vowel");
}

} // namespace
