// The easy page and the back page as built: every control where the window can show it, no
// two controls on one spot, captions under the knobs, the same controls at every size, and
// each control that the user can reach moving its own parameter and no other.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "controls/TGatorDisplay.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TMenuButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TReadoutString.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "gui/MenuPresenter.h"
#include "gui_support/GuiTestKit.h"
#include "platform/prefs.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

// The easy left container's knob slots per source type (Wire, String, FM, Wave).
constexpr int kSourceFirst[4] = {0, 9, 19, 31}, kSourceLast[4] = {8, 18, 30, 40};

class PageEditor : public uEditor {
public:
    using uEditor::uEditor;

    // The back page as its page switch will show it: its background and its controls in the
    // order they were built (the page-wide area under all the others).
    void showBackPage() {
        frame->removeAll(true);
        frame->setBackground(getEditorBitmap(10002));
        screenMode = kPageBack;
        for (int i = 0; i < controlCount; ++i)
            if (controlPage[i] == kPageBack) attach(frame, controls[i]);
    }

    // Views of the easy page that live in a section container: view -> (container, group).
    // Views of one group are shown together; different groups of a container take turns.
    std::map<CView*, std::pair<CViewContainer*, int>> sectionViews() {
        std::map<CView*, std::pair<CViewContainer*, int>> m;
        auto put = [&](CView* v, int c, int group) {
            if (v) m[v] = {containers[c], group};
        };
        for (int i = 0; i < 3; ++i) {
            const int left = kEasyLayerLeft0 + 4 * i, right = kEasyLayerRight0 + 4 * i;
            for (int t = 0; t < 4; ++t)
                for (int k = kSourceFirst[t]; k <= kSourceLast[t]; ++k) {
                    put(easyLayerKnobs[i][k], left, t);
                    put(easyLayerLabels[i][k < 32 ? k : k + 1], left, t);
                }
            put(easyLayerLabels[i][32], left, 3);
            put(easyLayerWaveMenus[i], left, 3);
            put(scopesEasy[i], left, 0);
            put(easyLayerFilterTitles[i], right, 0);
            put(easyLayerFilterButtons[i], right, 0);
            for (CView* v : {(CView*)easyLayerFMModeLabels[i], (CView*)easyLayerFMModeMenus[i],
                             (CView*)easyLayerSemiLabels[i], (CView*)easyLayerSemiMenus[i]})
                put(v, right, 2);
            put(easyLayerFilterLabels[i], right, 3);
            put(easyLayerFilterModeMenus[i], right, 3);
        }
        // Mod FX: knobs 2 and 3 (group 1) give way to the Gator step displays (group 2).
        for (int k = 0; k < 4; ++k) {
            put(easyModFXKnobs[k], kEasyModFXView, k < 2 ? 0 : 1);
            put(easyModFXLabels[k], kEasyModFXView, k < 2 ? 0 : 1);
        }
        for (int g = 0; g < 2; ++g) {
            put(easyGatorDisplays[g], kEasyModFXView, 2);
            put(easyGatorLabels[g], kEasyModFXView, 2);
        }
        for (int c = 0; c < 4; ++c) {
            put(easyChordStrumKnobs[c], kEasyChordView, c);
            put(easyChordStrumLabels[c], kEasyChordView, c);
            put(easyChordSyncOnOffs[c], kEasyChordView, c);
            put(easyChordSyncLabels[c], kEasyChordView, c);
        }
        return m;
    }
    CView* pageCloseArea() const { return backPageClose; }
    CView* keyboardSwitch() const { return backPrefSwitches[3]; }
    TReadoutString* infoLine() const { return backInfoText; }
};

struct Bench {
    explicit Bench(int size) {
        useScratchHome();
        const char* keys[4] = {"Big100", "Big125", "Big150", "Big200"};
        for (int k = 0; k < 4; ++k) saveBoolToPrefs(keys[k], k == size);
        std::string p = TAV_PLUGIN_PATH;
        CBitmap::setResourceFolder(p.substr(0, p.rfind('/')) + "/Tavrolune.resources");
        delete h->getEditor();
        ed = new PageEditor(&h.plugin());
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
        h.dispatch(effEditIdle);  // the section containers show the current models
    }
    ~Bench() { h.dispatch(effEditClose); }
    GuiStateGuard guard;
    PluginHarness h;
    PageEditor* ed = nullptr;
};

bool overlaps(const CRect& a, const CRect& b) {
    // Edges the layout lets touch (one pixel at 100 %, two at 200 %) are no overlap.
    const CCoord w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const CCoord h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 2 && h > 2;
}

bool isLabel(const uEditor& ed, int i) { return ed.getControlKind(i) == kControlLabel; }

std::string describe(CControl* c) {
    std::string s = "tag " + std::to_string(c->getTag()) + " at ";
    const CRect r = c->getViewSize();
    return s + std::to_string(int(r.left)) + "," + std::to_string(int(r.top)) + " " + std::to_string(int(r.getWidth())) +
           "x" + std::to_string(int(r.getHeight()));
}

// Controls of a page that share one place (the frame, or one group of one container).
std::map<std::pair<CViewContainer*, int>, std::vector<int>> placesOf(PageEditor& ed, int page) {
    const auto section = ed.sectionViews();
    std::map<std::pair<CViewContainer*, int>, std::vector<int>> places;
    for (int i = 0; i < ed.getControlCount(); ++i) {
        if (ed.getControlPage(i) != page) continue;
        auto it = section.find(ed.getControl(i));
        places[it == section.end() ? std::make_pair((CViewContainer*)ed.getFrame(), 0) : it->second].push_back(i);
    }
    return places;
}

void expectLayout(PageEditor& ed, int page, const CView* stackedOver) {
    const auto section = ed.sectionViews();
    const auto places = placesOf(ed, page);
    ASSERT_FALSE(places.empty());
    for (const auto& [place, members] : places) {
        ASSERT_NE(place.first, nullptr);
        const CRect bounds(0, 0, place.first->getWidth(), place.first->getHeight());
        for (int i : members) {
            CControl* c = ed.getControl(i);
            const int tag = c->getTag();
            EXPECT_TRUE((tag >= 0 && tag < 1024) || tag == 9999) << describe(c);
            CRect r = c->getViewSize();
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= bounds.right && r.bottom <= bounds.bottom)
                << describe(c) << " leaves its place";
            if (isLabel(ed, i) || c == stackedOver) continue;
            // Same-group controls of a container, or frame controls, never share pixels.
            for (int j : members)
                if (j > i && !isLabel(ed, j) && ed.getControl(j) != stackedOver)
                    EXPECT_FALSE(overlaps(r, ed.getControl(j)->getViewSize()))
                        << describe(c) << " overlaps " << describe(ed.getControl(j));
            // Knobs carry a caption right under them (the glide time is the one without).
            if (ed.getControlKind(i) == kControlKnob && tag != 4) {
                bool captioned = false;
                for (int j : members) {
                    const CRect l = ed.getControl(j)->getViewSize();
                    captioned |= isLabel(ed, j) && std::abs(l.top - r.bottom) <= 1 && l.left <= r.getCenter().x &&
                                 l.right >= r.getCenter().x && !static_cast<TLabel*>(ed.getControl(j))->getString().empty();
                }
                EXPECT_TRUE(captioned) << describe(c) << " has no caption";
            }
        }
    }
}

std::vector<float> allValues(APlugin& p) {
    std::vector<float> v(1024);
    for (int t = 0; t < 1024; ++t) v[t] = p.getParameter(t);
    return v;
}

} // namespace

TEST(EasyPage, EverySizeKeepsTheControlsInTheirPlacesAndOrder) {
    std::vector<std::pair<int, int>> first;
    for (int size = 0; size < 4; ++size) {
        Bench b(size);
        ASSERT_EQ(b.ed->getScreenMode(), kPageEasy);
        std::vector<std::pair<int, int>> kinds;
        for (int i = 0; i < b.ed->getControlCount(); ++i)
            if (b.ed->getControlPage(i) == kPageEasy)
                kinds.emplace_back(b.ed->getControlKind(i), b.ed->getControl(i)->getTag());
        if (size == 0) {
            first = kinds;
            // Per layer 41 source knobs, 5 envelope knobs, plus the effect, arp, play, amp rows.
            EXPECT_GT(std::count_if(kinds.begin(), kinds.end(), [](auto& k) { return k.first == kControlKnob; }),
                      3 * 46);
        } else {
            EXPECT_EQ(kinds, first) << "size " << size;
        }
        if (size == 0 || size == 3) expectLayout(*b.ed, kPageEasy, nullptr);
        EXPECT_TRUE(b.guard.faults.empty());
    }
}

// Every parameter control the user can reach on the page (the topmost view at its centre)
// moves its own parameter and no other: a drag for knobs, a click for switches, a menu choice.
TEST(EasyPage, EachReachableControlMovesOnlyItsOwnParameter) {
    for (int size : {0, 3}) {
        Bench b(size);
        ScriptedMenuPresenter menus;
        setMenuPresenter(&menus);
        CFrame* f = b.ed->getFrame();
        // Mode menus bring per-mode values, the wave menu resets its symmetry, the arp
        // folder and preset menus load presets: each moves more than itself by design.
        // The lock menu works the plug-in's lock, not its parameter.
        const std::set<int> sideEffects = {347, 349, 26, 57, 88, 848, 849, 664};
        int tried = 0;
        for (int i = 0; i < b.ed->getControlCount(); ++i) {
            CControl* c = b.ed->getControl(i);
            const int kind = b.ed->getControlKind(i), tag = c->getTag();
            if (b.ed->getControlPage(i) != kPageEasy || tag < 0 || tag >= 1024 || sideEffects.count(tag)) continue;
            CPoint centre = c->getViewSize().getCenter();
            c->localToFrame(centre);
            if (f->getViewAt(centre, GetViewOptions().deep()) != c) continue;
            const std::vector<float> before = allValues(b.h.plugin());
            if (kind == kControlKnob) {
                const float dy = before[tag] < 0.5f ? -30.f : 30.f;
                f->platformOnMouseDown(centre, kLButton);
                for (int k = 1; k <= 10; ++k) f->platformOnMouseMoved(CPoint(centre.x, centre.y + dy * k / 10), kLButton);
                f->platformOnMouseUp(CPoint(centre.x, centre.y + dy), kLButton);
            } else if (kind == kControlOnOff) {
                f->platformOnMouseDown(centre, kLButton);
                f->platformOnMouseUp(centre, kLButton);
            } else if (kind == kControlMenu) {
                auto* m = static_cast<TOptionMenu*>(c);
                if (m->getNbEntries() < 2 || m->getEntry(0)->getSubmenu() || m->getEntry(1)->getSubmenu()) continue;
                const int next = (b.h.plugin().getSteppedValue(tag) + 1) % m->getNbEntries();
                menus.choose({m->getEntry(next)->getTitle()});
                f->platformOnMouseDown(centre, kLButton);
                f->platformOnMouseUp(centre, kLButton);
            } else {
                continue;
            }
            ++tried;
            const std::vector<float> after = allValues(b.h.plugin());
            EXPECT_NE(after[tag], before[tag]) << describe(c);
            for (int t = 0; t < 1024; ++t)
                if (t != tag) EXPECT_EQ(after[t], before[t]) << describe(c) << " moved " << t;
        }
        EXPECT_GT(tried, 40);
        setMenuPresenter(nullptr);
    }
}

TEST(BackPage, ControlsSitInsideThePageWithoutOverlapAndNameThePlatform) {
    for (int size : {0, 3}) {
        Bench b(size);
        b.ed->showBackPage();
        ASSERT_EQ(b.ed->getScreenMode(), kPageBack);
        int shown = 0;
        for (int i = 0; i < b.ed->getControlCount(); ++i)
            shown += b.ed->getControlPage(i) == kPageBack && b.ed->getControl(i)->getParentView() == b.ed->getFrame();
        EXPECT_EQ(shown, 14);  // info line, page area, 2 menus, 6 switches, 3 readouts, reset
        expectLayout(*b.ed, kPageBack, b.ed->pageCloseArea());
        // The page area covers the information line but lies under the controls.
        auto topAt = [&](CView* v) { return b.ed->getFrame()->getViewAt(v->getViewSize().getCenter(), GetViewOptions().deep()); };
        EXPECT_EQ(topAt(b.ed->infoLine()), b.ed->pageCloseArea());
        EXPECT_EQ(topAt(b.ed->keyboardSwitch()), b.ed->keyboardSwitch());
        EXPECT_NE(b.ed->infoLine()->getString().find("Tavrolune Linux VST2 1.0.0"), std::string::npos);
    }
}
