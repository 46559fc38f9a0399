// The three pages as a user meets them: every control where it belongs at every size with its
// caption, each reachable control moving its own parameter, the layer menus listing every
// value, destination names that follow the models, page switches showing current values, and
// the section containers following the models the host sets.
#include <map>
#include <set>
#include <thread>
#include <typeinfo>

#include "controls/TGatorDisplay.h"
#include "controls/THSlider.h"
#include "controls/TMenuButton.h"
#include "controls/TLabel.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TReadoutString.h"
#include "controls/TWaveScreen.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "test_editor_util.h"

using namespace edtest;

namespace {

// A view of a page, the container it lies in and the section pages that show it (bit k).
struct Placed { CView* view; CViewContainer* parent; unsigned pages; };

std::string describe(CView* v) {
    const CRect r = v->getViewSize();
    auto* c = dynamic_cast<CControl*>(v);
    return std::string(typeid(*v).name()) + " tag " + std::to_string(c ? c->getTag() : -1) + " at " +
           std::to_string(int(r.left)) + "," + std::to_string(int(r.top)) + "-" + std::to_string(int(r.right)) + "," +
           std::to_string(int(r.bottom));
}

// Overlaps of more than `slack` pixels both ways.
bool overlap(const CRect& a, const CRect& b, double slack) {
    return std::min(a.right, b.right) - std::max(a.left, b.left) > slack &&
           std::min(a.bottom, b.bottom) - std::max(a.top, b.top) > slack;
}

// Every view inside its container (a caption: its centre), no two controls shown together on
// one spot, every knob but the glide amount captioned right under it.
void expectLayout(const std::vector<Placed>& views, double slack, const CView* stackedOver = nullptr) {
    ASSERT_FALSE(views.empty());
    for (std::size_t i = 0; i < views.size(); ++i) {
        const Placed& v = views[i];
        ASSERT_NE(v.parent, nullptr) << describe(v.view);
        const CRect r = v.view->getViewSize(), bounds(0, 0, v.parent->getWidth(), v.parent->getHeight());
        const bool label = dynamic_cast<TLabel*>(v.view) != nullptr;
        EXPECT_TRUE(label ? bounds.pointInside(r.getCenter())
                          : r.left >= 0 && r.top >= 0 && r.right <= bounds.right && r.bottom <= bounds.bottom)
            << describe(v.view) << " leaves its place";
        if (label || v.view == stackedOver) continue;
        for (std::size_t j = i + 1; j < views.size(); ++j) {
            const Placed& w = views[j];
            if (w.parent == v.parent && (w.pages & v.pages) && !dynamic_cast<TLabel*>(w.view) && w.view != stackedOver)
                EXPECT_FALSE(overlap(r, w.view->getViewSize(), slack)) << describe(v.view) << " and " << describe(w.view);
        }
        auto* knob = dynamic_cast<TKnob*>(v.view);
        if (!knob || knob->getTag() == 4) continue;
        const bool captioned = std::any_of(views.begin(), views.end(), [&](const Placed& w) {
            auto* l = dynamic_cast<TLabel*>(w.view);
            const CRect c = w.view->getViewSize();
            return l && w.parent == v.parent && (w.pages & v.pages) && std::abs(c.top - r.bottom) <= 1 &&
                   c.left <= r.getCenter().x && c.right >= r.getCenter().x && !l->getString().empty();
        });
        EXPECT_TRUE(captioned) << describe(v.view) << " has no caption";
    }
}

std::vector<Placed> mainViews(TestEditor& ed) {
    std::vector<Placed> out;
    for (const auto& v : ed.getMainViews())
        out.push_back({v.view, v.container < 0 ? ed.getFrame() : ed.getSectionContainer(v.container), v.pages});
    return out;
}

// The easy page's controls where four section states show them (bit s: every layer on source
// type s, chord s selected, Mod FX plain below s = 3 and Gator at 3); the frame's on every bit.
std::vector<Placed> easyViews(Bench& b) {
    TestEditor& ed = *b.ed;
    std::map<CView*, Placed> seen;
    for (int s = 0; s < 4; ++s) {
        for (int l = 0; l < 3; ++l) b.set(LAYER_SOURCE_TAGS[l], (s + 0.1f) / b.p().getSteppedRange(LAYER_SOURCE_TAGS[l]));
        b.set(349, (s == 3 ? 10.1f : 0.1f) / b.p().getSteppedRange(349));
        ed.selectRadio(2, s);
        b.step();
        for (int i = 0; i < ed.getControlCount(); ++i) {
            CControl* c = ed.getControl(i);
            auto* parent = dynamic_cast<CViewContainer*>(c->getParentView());
            if (ed.getControlPage(i) != kPageEasy || !parent) continue;
            Placed& p = seen.emplace(c, Placed{c, parent, 0u}).first->second;
            EXPECT_EQ(p.parent, parent) << describe(c) << " moves between containers";
            p.pages |= parent == ed.getFrame() ? ~0u : 1u << s;
        }
    }
    std::vector<Placed> out;
    for (const auto& kv : seen) out.push_back(kv.second);
    return out;
}

// (kind, tag) of every registered control of a page, in registration order.
std::vector<std::pair<int, int>> signature(uEditor& ed, int page) {
    std::vector<std::pair<int, int>> s;
    for (int i = 0; i < ed.getControlCount(); ++i)
        if (ed.getControlPage(i) == page) s.emplace_back(ed.getControlKind(i), ed.getControl(i)->getTag());
    return s;
}

TEST(EditorPages, EveryControlSitsInItsPlaceWithItsCaptionAtEverySize) {
    std::vector<std::pair<int, int>> first[2];
    for (int size = 0; size < 4; ++size)
        for (int page : {kPageMain, kPageEasy}) {
            SCOPED_TRACE(testing::Message() << "size " << size << " page " << page);
            Bench b(page == kPageEasy ? kEasyStart : 0, size);
            ASSERT_EQ(b.ed->getScreenMode(), page);
            const auto sig = signature(*b.ed, page);
            if (size == 0) first[page == kPageEasy] = sig;
            EXPECT_EQ(sig, first[page == kPageEasy]) << "the same controls in the same order at every size";
            EXPECT_GT(sig.size(), page == kPageMain ? 400u : 3 * 46u);
            for (const auto& kt : sig) EXPECT_TRUE(kt.second == 9999 || (kt.second >= 0 && kt.second < 1024));
            if (page == kPageMain) {
                std::set<CView*> recorded;
                for (const auto& v : b.ed->getMainViews()) {
                    recorded.insert(v.view);
                    CView* parent = v.view->getParentView();
                    if (parent) EXPECT_EQ(parent, v.container < 0 ? (CView*)b.frame() : b.ed->getSectionContainer(v.container));
                }
                for (int i = 0; i < b.ed->getControlCount(); ++i)
                    if (b.ed->getControlPage(i) == kPageMain) EXPECT_TRUE(recorded.count(b.ed->getControl(i))) << i;
                expectLayout(mainViews(*b.ed), 0);
            } else if (size == 0 || size == 3) {
                expectLayout(easyViews(b), 2);
            }
            EXPECT_TRUE(b.guard.faults.empty());
        }
}

TEST(EditorPages, BackPageControlsSitInsideWithoutOverlapAndNameThePlatform) {
    for (int size : {0, 3}) {
        Bench b(0, size);
        b.ed->showBackPage();
        std::vector<Placed> views;
        for (int i = 0; i < b.ed->getControlCount(); ++i)
            if (b.ed->getControlPage(i) == kPageBack && b.ed->getControl(i)->getParentView() == b.frame())
                views.push_back({b.ed->getControl(i), b.frame(), ~0u});
        EXPECT_EQ(views.size(), 14u);  // info line, page area, 2 menus, 6 switches, 3 readouts, reset
        expectLayout(views, 2, b.ed->backPageClose);
        // The page area covers the information line but lies under the controls.
        auto topAt = [&](CView* v) { return b.frame()->getViewAt(v->getViewSize().getCenter(), GetViewOptions().deep()); };
        EXPECT_EQ(topAt(b.ed->backInfoText), b.ed->backPageClose);
        EXPECT_EQ(topAt(b.ed->backPrefSwitches[3]), b.ed->backPrefSwitches[3]);
        EXPECT_NE(b.ed->backInfoText->getString().find("Tavrolune Linux VST2 1.0.0"), std::string::npos);
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

// A drag (or one wheel step), a click or a menu choice on every parameter control the user can
// reach on the page moves that parameter and no other (but the companions a choice writes by
// design).
void driveEveryControl(Bench& b, int page, bool wheel) {
    TestEditor& ed = *b.ed;
    CFrame* f = b.frame();
    // Every effect section live, so that none is drawn off (and takes no input).
    for (int t : {346, 348, 351, 354}) b.set(t, 1.f);
    b.set(345, 0.f);
    b.step();
    int driven = 0, menus = 0;
    for (int i = 0; i < ed.getControlCount(); ++i) {
        CControl* c = ed.getControl(i);
        const int tag = c->getTag(), kind = ed.getControlKind(i);
        // The lock menu works the plug-in's lock; the arp folder and preset menus load presets.
        if (ed.getControlPage(i) != page || tag >= 1024 || tag == 664 || tag == 848 || tag == 849) continue;
        if (auto* k = dynamic_cast<TKnob*>(c); k && k->getBypassed()) continue;
        const CPoint at = Bench::centre(c);
        if (f->getViewAt(at, GetViewOptions().deep()) != c) continue;
        const auto before = b.all();
        if (kind == kControlMenu) {
            b.answer(pathTo(static_cast<COptionMenu*>(c), b.p().getSteppedValue(tag) == 1 ? 0 : 1)).click(c);
            ++menus;
        } else if (kind == kControlKnob && wheel) {
            f->platformOnMouseWheel(at, c->getValue() > 0.5f ? -1.f : 1.f, 0);
        } else if (kind == kControlKnob || kind == kControlSlider) {
            const double d = c->getValue() > 0.5f ? 30 : -30;
            b.drag(at, kind == kControlSlider ? CPoint(at.x - d, at.y) : CPoint(at.x, at.y + d), 30);
        } else if (kind == kControlOnOff) {
            b.click(c);
        } else {
            continue;
        }
        ++driven;
        const auto after = b.all();
        std::set<int> allowed = {tag};
        for (int l = 0; l < 3; ++l)
            if (tag == WAVE_TAGS[l]) allowed.insert(WAVE_SYM_TAGS[l]);  // a new wave starts centred
        if (tag == 347) allowed.insert({104, 105, 106});                  // the model's own knob values
        if (tag == 349) allowed.insert({107, 108, 109, 110, 111, 112, 350});
        if (tag == 665) allowed.insert(126);  // the ribbon re-centres
        EXPECT_NE(after[tag], before[tag]) << describe(c);
        for (int t = 0; t < kNumParams; ++t)
            if (after[t] != before[t]) EXPECT_TRUE(allowed.count(t)) << describe(c) << " also moved " << t;
    }
    EXPECT_GT(driven, page == kPageMain ? 150 : 40);
    EXPECT_GT(menus, page == kPageMain ? 25 : 3);
    for (const auto& r : b.menus.transcript()) EXPECT_TRUE(r.refusal.empty()) << r.refusal;
}

TEST(EditorPages, EachReachableControlMovesOnlyItsOwnParameter) {
    for (int size : {0, 3})
        for (int page : {kPageMain, kPageEasy}) {
            SCOPED_TRACE(testing::Message() << "size " << size << " page " << page);
            Bench b(kClosed | (page == kPageEasy ? kEasyStart : 0), size);
            b.p().setSteppedValue(LAYER_SOURCE_TAGS[0], 2);  // FM and Wave: their menus on show
            b.p().setSteppedValue(LAYER_SOURCE_TAGS[1], 3);
            b.open();
            driveEveryControl(b, page, size == 3 && page == kPageMain);
            EXPECT_TRUE(b.guard.faults.empty());
        }
}

TEST(EditorPages, LayerMenusListEveryValueOnceInValueOrder) {
    Bench b;
    const struct { COptionMenu* menu; const char* const* rows; int count; } cases[] = {
        {b.ed->layerSemiMenus[2], SEMI_SHORT_STR, 97}, {b.ed->layerFilterModeMenus[1], FILTER_MODE_STR, 35}};
    for (const auto& c : cases) {
        ASSERT_NE(c.menu, nullptr);
        for (int v = 0; v < c.count; ++v) EXPECT_EQ(pathTo(c.menu, v).back(), c.rows[v]) << v;
        EXPECT_TRUE(pathTo(c.menu, c.count).empty()) << "no entry beyond the last value";
    }
    // The centre semitone sits on the main menu between the second and third group.
    EXPECT_EQ(pathTo(b.ed->layerSemiMenus[0], 48), std::vector<std::string>{SEMI_SHORT_STR[48]});
}

TEST(EditorPages, DestinationNamesFollowTheDistortionModelAndTheFilterModes) {
    Bench b(kClosed | kBare);
    TestEditor* ed = b.ed;
    EXPECT_EQ(ed->getDestStr(1), "") << "no names before the first rebuild";
    b.p().setSteppedValue(FILTER_MODE_TAGS[0], 28);  // formant
    b.p().setSteppedValue(FILTER_MODE_TAGS[1], 30);  // comb: the Q knob is an amount
    b.p().setSteppedValue(FILTER_MODE_TAGS[2], 12);  // a mode with a mix control
    ed->distortMode = 7;
    ed->updateDestStr();
    EXPECT_EQ(ed->getDestStr(315), DISTORT_MODE_VAR_STR[14]);
    EXPECT_EQ(ed->getDestShortStr(316), DISTORT_MODE_VAR_SHORT_STR[15]);
    EXPECT_EQ(ed->getDestShortStr(47), "L1 Filter Formant");
    EXPECT_EQ(ed->getDestStr(138), "Layer 2 Filter Amount");
    EXPECT_EQ(ed->getDestShortStr(138), "L2 Filter Q");
    EXPECT_EQ(ed->getDestShortStr(231), "L3 Filter Mix");
    EXPECT_EQ(ed->getDestShortStr(-1), "");
    // A rebuild after the modes changed back leaves no stale name.
    for (int l = 0; l < 3; ++l) b.p().setSteppedValue(FILTER_MODE_TAGS[l], 1);
    ed->distortMode = 0;
    ed->updateDestStr();
    EXPECT_EQ(ed->getDestStr(315), DISTORT_MODE_VAR_STR[0]);
    EXPECT_EQ(ed->getDestStr(138), "Layer 2 Filter Q");
}

bool shown(Bench& b, CView* v) {
    for (CView* p = v ? v->getParentView() : nullptr; p; p = p->getParentView())
        if (p == b.frame()) return true;
    return false;
}

TEST(EditorPages, EachPageShowsCurrentValuesAfterASwitchAndTheStartPageIsRemembered) {
    Bench b;
    TestEditor* ed = b.ed;
    TKnob* knobs[2] = {ed->knob(5), ed->knob(5, true)};
    ASSERT_TRUE(knobs[0] && knobs[1]);
    const struct { int page; float value; } steps[] = {
        {kPageEasy, 0.25f}, {kPageBack, 0.5f}, {kPageMain, 0.75f}, {kPageEasy, 0.125f}};
    for (const auto& s : steps) {
        b.set(5, s.value);
        for (TKnob* k : knobs) k->setValue(0.9f);  // stale: the switch's refresh puts it right
        s.page == kPageMain ? ed->showMainScreen() : s.page == kPageEasy ? ed->showEasyScreen() : ed->showBackScreen();
        b.step();
        EXPECT_EQ(ed->getScreenMode(), s.page);
        if (s.page == kPageBack) continue;
        std::string stored;
        loadStringFromPrefs("AdvancedDisplay", stored, 8);
        EXPECT_EQ(stored, s.page == kPageMain ? "Y" : "N");
        TKnob* own = knobs[s.page == kPageEasy];
        EXPECT_TRUE(shown(b, own));
        EXPECT_FALSE(shown(b, knobs[s.page != kPageEasy]));
        EXPECT_FLOAT_EQ(own->getValue(), s.value);
        const int left = s.page == kPageMain ? uEditor::kLayerLeft0 : uEditor::kEasyLayerLeft0;
        EXPECT_TRUE(shown(b, ed->containers[left]));
        EXPECT_GT(ed->containers[left]->getNbViews(), 0u);
    }
    // The next editor starts on the page last shown, with its background.
    Bench next(kEasyStart);
    EXPECT_EQ(next.ed->getScreenMode(), kPageEasy);
    EXPECT_EQ(next.frame()->getBackground(), next.ed->getEditorBitmap(10001));
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorPages, HostChangeOfALayerModelShowsThatModelsKnobs) {
    for (unsigned start : {0u, (unsigned)kEasyStart}) {
        Bench b(start);
        TestEditor* ed = b.ed;
        const bool easy = start != 0;
        AEffect* e = b.p().getAeffect();
        for (int t : {3, 1, 2, 0}) {
            std::thread host([&] { e->setParameter(e, 249, (t + 0.1f) / b.p().getSteppedRange(249)); });
            host.join();
            b.step();
            CViewContainer* left = ed->containers[easy ? uEditor::kEasyLayerLeft0 : uEditor::kLayerLeft0];
            EXPECT_EQ(left->getBackground(), ed->getEditorBitmap((easy ? 10030 : 10024) + t));
            int shownKnobs = 0;
            for (int m = 0; m < 4; ++m) {
                const int from = easy ? uEditor::EASY_LAYER_KNOB_START[m] : uEditor::LAYER_KNOB_START[m];
                const int to = easy ? uEditor::EASY_LAYER_KNOB_END[m] : uEditor::LAYER_KNOB_END[m];
                for (int s = from; s <= to; ++s) {
                    TKnob* k = easy ? ed->easyLayerKnobs[0][s] : ed->layerKnobs[0][s];
                    if (!k) continue;
                    EXPECT_EQ(k->getParentView() == left, m == t) << "model " << t << " slot " << s;
                    shownKnobs += m == t;
                }
            }
            EXPECT_GT(shownKnobs, 0);
        }
        EXPECT_TRUE(b.guard.faults.empty()) << "a view was touched off the UI thread";
    }
}

// A wheel step over every knob the Mod FX section shows moves exactly the parameter its
// caption names.
TEST(EditorPages, EveryModFXModeLaysOutItsKnobsOnBothPages) {
    Bench b;
    TestEditor* ed = b.ed;
    for (int m = 0; m < 11; ++m) {
        ed->showMainScreen();
        b.p().setSteppedValue(349, m);
        ed->updateModFX();
        for (bool easy : {false, true}) {
            if (easy) ed->showEasyScreen();
            b.step();
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
                const auto before = b.all();
                b.wheel(knobs[k], before[tag] > 0.5f ? -1.f : 1.f);
                for (int t = 107; t < 113; ++t)
                    EXPECT_EQ(b.get(t) != before[t], t == tag) << "mode " << m << " knob " << k << " tag " << t;
            }
            EXPECT_EQ(view->getNbViews() > static_cast<uint32_t>(2 * n), m == 10)
                << "only the Gator mode adds its step displays";
        }
    }
}

TEST(EditorPages, ADistortionModelChangeSwapsTheRememberedKnobValues) {
    Bench b;
    TestEditor* ed = b.ed;
    b.p().setSteppedValue(347, 0);
    ed->updateDistort();
    const float mine[3] = {0.3f, 0.4f, 0.6f};
    for (int k = 0; k < 3; ++k) b.set(104 + k, mine[k]);
    b.h.host().automated.clear();
    b.p().setSteppedValue(347, 5);
    ed->updateDistort();
    // The new model starts from its remembered (here: default) values, unknown to the host.
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(b.get(104 + k), ed->distortMemory[5][k]);
        EXPECT_FLOAT_EQ(ed->distortKnobs[k]->getValue(), ed->distortMemory[5][k]);
        EXPECT_FALSE(b.heardOf(104 + k));
    }
    EXPECT_EQ(ed->distortLabels[2]->getString(), DISTORT_MODE_LABEL_STR[11]);
    b.set(105, 0.9f);
    b.p().setSteppedValue(347, 0);
    ed->updateDistort();
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(b.get(104 + k), mine[k]);
    EXPECT_EQ(ed->distortLabels[1]->getString(), DISTORT_MODE_LABEL_STR[0]);
    EXPECT_FLOAT_EQ(ed->distortMemory[5][1], 0.9f) << "the edit made under model 5 is kept for it";
}

}  // namespace
