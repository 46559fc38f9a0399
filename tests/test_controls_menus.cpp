// Option menus and menu buttons driven through the frame: what they draw at 100 % and 200 %,
// the "-"/"+" zones, the pop-up list, the wheel, modifier clicks and the section menus.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls/TMenuButton.h"
#include "controls/TOptionMenu.h"
#include "gui_support/ControlTestKit.h"
#include "platform/dialogs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace guitest;
using namespace tlook;

namespace {

// Forwards a menu choice to the plug-in the way the editor does.
struct EditorLikeListener : RecordingListener {
    APlugin* p = nullptr;
    void valueChanged(CControl* c) override { p->setSteppedValue(c->getTag(), static_cast<int>(c->getValue() + 0.5f)); }
};

struct Menus : ::testing::Test {
    ScriptedMenuPresenter presenter;
    void SetUp() override { setMenuPresenter(&presenter), platform::dialogSetMode(platform::DialogMode::Scripted); }
    void TearDown() override { platform::dialogScriptClear(), platform::dialogSetMode(platform::DialogMode::Headless); }
};

const int kFilterMode = FILTER_MODE_TAGS[0];

// A 200 x 20 box at (10, 10) scaled to the editor size.
CRect box(int big, double w = 200, double h = 20) {
    const double s = SCALE[big];
    return CRect(10 * s, 10 * s, (10 + w) * s, (10 + h) * s);
}

} // namespace

TEST_F(Menus, OptionMenuDrawsZonesIndicatorAndNothingWhenHidden) {
    for (int big : {0, 3}) {
        SCOPED_TRACE(big);
        ControlBench b(big, CRect(0, 0, 500, 120));
        const CRect r = box(big);
        auto* m = b.add(new TOptionMenu(r, nullptr, kFilterMode, nullptr, nullptr, 0, true, true));
        const int W = MENU_DELTA_BUTTON_WIDTH[big];
        EXPECT_EQ(b.pixel(r.right - 2, r.top + 1), MENU_ARROW_COLOR);
        EXPECT_EQ(b.pixel(r.left + W - 1, r.top + 1), MENU_ARROW_COLOR) << "zone is W wide";
        EXPECT_EQ(b.pixel(r.left + W + 1, r.top + 1), MENU_INNER_COLOR);
        // The indicator square shows on even phases only.
        const CPoint sq(r.left + INDICATOR_OFF[big] + r.getHeight() / 2, (r.top + r.bottom) / 2);
        for (int phase : {1, 2}) {
            m->setIndicator(true, phase);
            EXPECT_EQ(b.pixel(sq.x, sq.y), phase % 2 ? MENU_INNER_COLOR : INDICATOR_COLOR) << phase;
        }
        m->setTag(HIDDEN_MENU_TAG);
        EXPECT_EQ(b.litPixels(r), 0);
    }
}

// Tags that name their own choice draw exactly what a plain menu with that text draws; the
// effect path draws its three blocks top to bottom in the path's order.
TEST_F(Menus, OwnTextTagsAndEffectPathRows) {
    ControlBench b(0, CRect(0, 0, 400, 200));
    APlugin& p = b.h.plugin();
    p.setSteppedValue(355, 3);
    p.setSteppedValue(411, 2);
    p.setSteppedValue(407, 1);
    const std::pair<int, const char*> cases[] = {
        {355, LFO_WAVE_SHORT_STR[3]}, {411, ARP_RATCHET_SHORT_MODE_STR[2]}, {407, ARP_MODE_SHORT_STR[1]}};
    for (const auto& k : cases) {
        auto* own = b.add(new TOptionMenu(CRect(0, 0, 150, 20), nullptr, k.first));
        auto* plain = b.add(new TOptionMenu(CRect(0, 30, 150, 50), nullptr, 5));
        own->setString("other");
        plain->setString(k.second);
        EXPECT_EQ(b.grab(CRect(0, 0, 150, 20)), b.grab(CRect(0, 30, 150, 50))) << k.first;
        b.frame->removeView(own);
        b.frame->removeView(plain);
    }
    b.add(new TOptionMenu(CRect(0, 100, 150, 160), nullptr, 344));
    auto rowImage = [&](int k) { return b.grab(CRect(0, 100 + 20 * k, 150, 120 + 20 * k)); };
    p.setSteppedValue(344, 0);
    const auto top0 = rowImage(0), mid0 = rowImage(1), bottom0 = rowImage(2);
    EXPECT_NE(top0, mid0);
    p.setSteppedValue(344, 5);
    EXPECT_EQ(rowImage(0), bottom0);
    EXPECT_EQ(rowImage(1), mid0);
    EXPECT_EQ(rowImage(2), top0);
}

TEST_F(Menus, ZonesStepOrJumpAndNeverOpenTheList) {
    // side -1 the "-" zone, +1 the "+" zone
    const struct { int side, shift, expect; } cases[] = {{-1, 0, 4}, {1, 0, 6}, {-1, kShift, 0}, {1, kShift, 34}};
    for (int big : {0, 3})
        for (const auto& k : cases) {
            ControlBench b(big, CRect(0, 0, 500, 120));
            APlugin& p = b.h.plugin();
            const CRect r = box(big);
            b.add(new TOptionMenu(r, nullptr, kFilterMode, nullptr, nullptr, 0, true, true));
            p.setSteppedValue(kFilterMode, 5);
            b.h.host().automated.clear();
            const double x = k.side < 0 ? r.left + 2 : r.right - 2;
            b.click(CPoint(x, r.top + 5), kLButton | k.shift);
            EXPECT_EQ(p.getSteppedValue(kFilterMode), k.expect) << big << " " << k.side << k.shift;
            EXPECT_EQ(b.h.host().automated.size(), 1u);
            EXPECT_TRUE(presenter.transcript().empty());
        }
}

TEST_F(Menus, ListChoiceModifierClicksAndTypedEntry) {
    ControlBench b;
    APlugin& p = b.h.plugin();
    EditorLikeListener listener;
    listener.p = &p;
    auto* m = b.add(new TOptionMenu(CRect(10, 10, 210, 30), &listener, kFilterMode));
    for (int i = 0; i < 35; ++i) m->addEntry("Mode " + std::to_string(i));
    // Presses far enough apart that the frame never takes two for a double click.
    int n = 0;
    auto click = [&](CButtonState bs = kLButton) { b.click(CPoint(60 + 10 * (n++ % 10), 20), bs); };
    const CPoint mid(110, 20);

    presenter.choose({"Mode 7"});
    click();
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 7);
    presenter.choose({"Mode 9"});
    click(kRButton);
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 9) << "the right button opens the list too";
    b.render();  // the frame redraws the menu before the next press
    listener.modifierAnswer = 1;
    click(kLButton | kShift);
    EXPECT_EQ(listener.modifierClicks.size(), 1u) << "a listener that takes a Shift-click keeps the list shut";
    listener.modifierAnswer = 0;
    click(kLButton | kControl);
    EXPECT_EQ(p.getParameter(kFilterMode), p.getDefaultValue(kFilterMode));

    p.setSteppedValue(kFilterMode, 3);
    const std::size_t told = b.h.host().automated.size();
    click(kLButton | kControl | kShift);
    EXPECT_EQ(p.getParameter(kFilterMode), p.getOrigValue(kFilterMode));
    EXPECT_EQ(b.h.host().automated.size(), told) << "the original value is written plain";
    platform::dialogScriptOk("12");
    click(kLButton | kAlt);
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 11) << "typed position 12 is the twelfth entry";
    // Dimmed: no list, no step, and the wheel goes on to the container.
    m->setBypassed(true);
    click();
    EXPECT_FALSE(m->onWheel(mid, 1.f, 0));
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 11);
    EXPECT_EQ(presenter.transcript().size(), 2u) << "only the two plain presses opened the list";
    EXPECT_TRUE(b.gesturesBalanced());
}

TEST_F(Menus, WheelDirectionAndPresetSelector) {
    ControlBench b;
    APlugin& p = b.h.plugin();
    b.add(new TOptionMenu(CRect(10, 10, 110, 30), nullptr, kFilterMode));
    b.add(new TOptionMenu(CRect(10, 40, 110, 60), nullptr, SEMI_TAGS[1]));
    p.setSteppedValue(kFilterMode, 5);
    b.wheel(CPoint(50, 20), 1.f);
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 4) << "up moves to the previous entry";
    b.wheel(CPoint(50, 20), -1.f);
    EXPECT_EQ(p.getSteppedValue(kFilterMode), 5);
    const float semi = p.getParameter(SEMI_TAGS[1]);
    b.wheel(CPoint(50, 50), 1.f);
    EXPECT_GT(p.getParameter(SEMI_TAGS[1]), semi) << "up raises a Semi value";

    // Preset selector, H = 30: a = 16; +1 right of R - 16, -1 down to R - 40, else the list.
    b.add(new TOptionMenu(CRect(100, 100, 300, 130), nullptr, NO_PARAMETER_TAG, nullptr, nullptr, 0, true, true))
        ->setPresetMenu();
    b.click(CPoint(290, 115));
    b.click(CPoint(270, 115));
    b.click(CPoint(250, 115));
    b.wheel(CPoint(200, 115), 1.f);
    EXPECT_EQ(b.editor.calls, (std::vector<std::string>{"program 1", "program -1", "program -1"}));
    EXPECT_EQ(presenter.transcript().size(), 1u);
}

TEST_F(Menus, MenuButtonsOpenTheirSectionMenus) {
    ControlBench b;
    const struct { int type, modFX; const char* call; } cases[] = {
        {0, 0, "controlmenu"}, {1, 0, "ecsmenu"}, {5, 0, "layermenu 2"}, {7, 0, "arpmenu -1 -1"}, {9, 0, "modmenu -1"},
        {12, 9, "modfxmenu"}, {12, 10, "gatermenu"}, {17, 0, "ampmenu"}, {18, 0, nullptr}};
    for (const auto& k : cases) {
        b.h.plugin().setSteppedValue(349, k.modFX);
        auto* btn = b.add(new TMenuButton(CRect(0, 0, 40, 20), nullptr, "", k.type, false, false));
        b.editor.calls.clear();
        b.click(CPoint(20, 10));
        EXPECT_EQ(b.editor.calls, k.call ? std::vector<std::string>{k.call} : std::vector<std::string>{}) << k.type;
        EXPECT_FALSE(btn->onWheel(CPoint(20, 10), 1.f, 0));
        b.frame->removeView(btn);
    }
}

TEST_F(Menus, StrumButtonEditsTheShownChord) {
    for (int big : {0, 3}) {
        SCOPED_TRACE(big);
        ControlBench b(big, CRect(0, 0, 500, 120));
        APlugin& p = b.h.plugin();
        b.editor.selectedChord = 2;
        const int tag = CHORD_STRUM_TAGS[2];
        const CRect r = box(big, 100);
        b.add(new TMenuButton(r, nullptr, "10 ms", kMenuStrum, false, true));
        const CPoint right(r.right - 2, r.top + 5), left(r.left + 2, r.top + 5), mid(r.getCenter());
        b.click(right, kLButton | kShift);
        EXPECT_EQ(p.getParameter(tag), 1.0f);
        b.click(left);
        EXPECT_LT(p.getParameter(tag), 1.0f);
        b.wheel(mid, 1.f);
        EXPECT_FLOAT_EQ(p.getParameter(tag), 1.0f);
        b.click(left, kLButton | kShift);
        EXPECT_EQ(p.getParameter(tag), 0.0f);
        for (auto& a : b.h.host().automated) EXPECT_EQ(a.first, tag);
        p.setParameter(tag, 0.7f);
        const std::size_t told = b.h.host().automated.size();
        b.click(mid, kLButton | kControl);
        EXPECT_EQ(p.getParameter(tag), p.getDefaultValue(tag));
        EXPECT_EQ(b.h.host().automated.size(), told) << "the default is written plain";
        b.editor.calls.clear();
        b.click(CPoint(mid.x + 10, mid.y));
        b.click(mid, kRButton);
        EXPECT_EQ(b.editor.calls, (std::vector<std::string>{"strummenu 611", "strummenu 611"}));
    }
}
