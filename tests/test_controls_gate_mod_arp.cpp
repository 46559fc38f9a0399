// The section screens of the gate pattern, the modulation matrix and the arp grid, drawn
// off-screen and driven through the frame's event routing.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/TArpScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/TModScreen.h"
#include "gui_support/ControlTestKit.h"

using namespace guitest;

namespace {

// The editor's part in a control's edit: the value goes to the plug-in with host automation.
struct Forwarder : IControlListener {
    explicit Forwarder(APlugin& p) : p(p) {}
    void valueChanged(CControl* c) override { p.setParameterAutomated(c->getTag(), c->getValue()); }
    APlugin& p;
};

int countCalls(const FakeControlEditor& e, const std::string& s) {
    int n = 0;
    for (auto& c : e.calls) n += c == s;
    return n;
}

int maxGreen(ControlBench& b, const CRect& r) {
    b.render();
    int g = 0;
    for (int y = (int)r.top; y < (int)r.bottom; ++y)
        for (int x = (int)r.left; x < (int)r.right; ++x) g = std::max<int>(g, b.renderer->getPixel(x, y).green);
    return g;
}

// A press and release that the frame never takes for the second half of a double click.
void tap(ControlBench& b, const CPoint& p, CButtonState s = kLButton) {
    advanceManualGuiClock(1000);
    b.click(p, s);
}

} // namespace

TEST(GatorDisplayControl, FillsOnlyStepsBelowTheLengthAndMarksThePlayingStep) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        const int sc = big == 3 ? 2 : 1;
        auto* g = b.add(new TGatorDisplay(CRect(8, 8, 8 + 160 * sc, 8 + 12 * sc), nullptr, 111));
        b.h->setSteppedValue(110, 7, 15.99f, 16);
        g->setValue(1.0f);
        g->setGaterPos(3);
        b.render();
        const int cy = 8 + 6 * sc;
        for (int i = 0; i < 16; ++i) {
            const CColor fill = b.renderer->getPixel(8 + (10 * i + 5) * sc, cy);
            EXPECT_EQ(fill, i < 8 ? CColor(197, 213, 26, 255) : CColor(0, 0, 0, 255)) << big << " step " << i;
            EXPECT_EQ(b.renderer->getPixel(8 + 10 * i * sc, cy), CColor(48, 51, 14, 255)) << "every cell outlined";
        }
        EXPECT_GT(b.pixel(8 + 30 * sc + 3, 9).red, 200) << "marker one pixel below the top";
        g->setOn(false);
        EXPECT_LT(b.pixel(8 + 30 * sc + 3, 9).red, 100) << "no marker while off";
        EXPECT_LT(b.pixel(8 + 5 * sc, cy).green, 70) << "bypass colours";
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(g->getViewSize()), 0);
    }
}

TEST(GatorDisplayControl, ClicksEditTheMaskOfTheirOwnSideAndTheWheelTheLength) {
    ControlBench b;
    setManualGuiClock(0);
    Forwarder fwd(b.h.plugin());
    auto* left = b.add(new TGatorDisplay(CRect(0, 0, 160, 12), &fwd, 111));
    auto* right = b.add(new TGatorDisplay(CRect(0, 20, 160, 32), &fwd, 112));
    b.h->setSteppedValue(110, 3, 15.99f, 16);  // 4 steps
    struct Case {
        int step;
        int32_t buttons;
        float value;
    } cases[] = {
        {0, kLButton, 1.5f / 65536},  {2, kLButton, 5.5f / 65536}, {9, kLButton, 5.5f / 65536},
        {0, kLButton | kShift, 1.0f}, {0, kLButton | kAlt, 0.0f},  {0, kLButton, 1.5f / 65536},
        {0, kLButton, 0.5f / 65536},  {0, kRButton, 0.5f / 65536},
    };
    for (const Case& k : cases) {
        tap(b, CPoint(k.step * 10 + 5, 6), k.buttons);
        EXPECT_FLOAT_EQ(b.h->getParameter(111), k.value) << k.step << " " << k.buttons;
        EXPECT_EQ(TGatorDisplay::maskFromValue(left->getValue()), TGatorDisplay::maskFromValue(k.value));
    }
    EXPECT_EQ(countCalls(b.editor, "undo 7"), 7) << "also the click beyond the length pushes";
    EXPECT_EQ(countCalls(b.editor, "gatermenu"), 1);
    EXPECT_EQ(TGatorDisplay::maskFromValue(1.0f), 0xFFFF);
    EXPECT_EQ(b.h.host().automated.back().first, 111);

    tap(b, CPoint(15, 26));
    EXPECT_FLOAT_EQ(b.h->getParameter(112), 2.5f / 65536);
    EXPECT_FLOAT_EQ(b.h->getParameter(111), 0.5f / 65536) << "the other side untouched";
    EXPECT_EQ(right->getValue(), b.h->getParameter(112));

    b.wheel(CPoint(5, 6), 1);
    EXPECT_EQ(b.h->getSteppedValue(110, 15.99f, 16), 4);
    b.h->setSteppedValue(110, 15, 15.99f, 16);
    b.wheel(CPoint(5, 6), 1);
    EXPECT_EQ(b.h->getSteppedValue(110, 15.99f, 16), 15);
    EXPECT_EQ(countCalls(b.editor, "undo 7"), 8) << "the wheel pushes no undo";
}

TEST(ArpScreenControl, DrawsActiveStepsTheirValuesAndTheStepLed) {
    for (int big : {0, 3}) {
        ControlBench b(big, CRect(0, 0, 1200, 300));
        const int W = big == 3 ? 72 : 36, H = big == 3 ? 32 : 16;
        auto* a = b.add(new TArpScreen(CRect(0, 0, 16 * W, 8 * H), nullptr, big));
        b.h->setSteppedValue(395, 3);  // 4 steps
        b.h->setSteppedValue(409, 1);  // tied steps show their values
        for (int s = 0; s < 16; ++s) b.h->setParameter(412 + s, s == 1 ? 0.f : 1.f);
        auto cell = [&](int row, int s) { return CRect(s * W + 4, row * H + 4, s * W + W - 4, row * H + H); };
        EXPECT_GT(maxGreen(b, cell(0, 0)), 150) << "number of an active step";
        EXPECT_GT(maxGreen(b, cell(4, 0)), 150) << "its velocity";
        EXPECT_LT(maxGreen(b, cell(0, 1)), 80) << "a step that is off is dim";
        EXPECT_GT(maxGreen(b, cell(0, 1)), 10);
        EXPECT_EQ(b.litPixels(cell(4, 1)), 0) << "and shows no values";
        EXPECT_EQ(b.litPixels(cell(0, 5)), 0) << "steps past the count are not drawn";
        const int ledY = 2 * H / 16, ledX = 2 * W + 6;
        a->setLedStep(2);
        EXPECT_EQ(b.pixel(ledX, ledY), CColor(197, 213, 26, 255));
        a->setLedStep(16);
        EXPECT_EQ(b.pixel(ledX, ledY), CColor(0, 0, 0, 255));
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(a->getViewSize()), 0);
    }
}

TEST(ArpScreenControl, PointerEditsCellsWithUndoAndGestures) {
    ControlBench b(0, CRect(0, 0, 600, 200));
    setManualGuiClock(0);
    ScriptedMenuPresenter menus;
    setMenuPresenter(&menus);
    auto* a = b.add(new TArpScreen(CRect(0, 0, 576, 9 * 16), nullptr, 0));
    b.h->setSteppedValue(395, 3);
    for (int s = 0; s < 16; ++s) b.h->setParameter(412 + s, 1.f);
    auto at = [](int row, int s) { return CPoint(s * 36 + 18, row * 16 + 8); };

    tap(b, at(0, 2));
    EXPECT_EQ(b.h->getParameter(414), 0.f);
    EXPECT_EQ(b.h.host().automated.back(), std::make_pair(414, 0.f));
    tap(b, at(1, 3), kLButton | kDoubleClick);
    EXPECT_EQ(b.h->getParameter(431), 1.f) << "a double click toggles a switch like a click";
    tap(b, at(0, 6));
    EXPECT_EQ(b.h->getParameter(418), 1.f) << "beyond the step count nothing changes";
    EXPECT_EQ(countCalls(b.editor, "undo 9"), 3);

    b.h->setParameter(476, 0.f);
    advanceManualGuiClock(1000);
    b.drag(at(4, 0), CPoint(18, 72 - 400));
    EXPECT_FLOAT_EQ(b.h->getParameter(476), 1.f);
    b.h->setParameter(476, 0.f);
    advanceManualGuiClock(1000);
    b.drag(at(4, 0), CPoint(18, 72 - 400), kLButton | kShift);
    EXPECT_NEAR(b.h->getParameter(476), 0.05f, 1e-5);
    EXPECT_FALSE(a->getMouseDown());

    menus.choose({"Minor"});
    tap(b, at(5, 0));
    EXPECT_EQ(b.h->getArpStepChord(0), 20);
    EXPECT_EQ(b.h.host().automated.back().first, 492);
    menus.dismiss();
    tap(b, at(5, 0));
    EXPECT_EQ(b.h->getArpStepChord(0), 20) << "choosing nothing changes nothing";

    tap(b, at(3, 5), kRButton);
    tap(b, at(8, 5), kRButton);
    EXPECT_TRUE(b.editor.called("arpmenu 3 5 cell"));
    EXPECT_EQ(countCalls(b.editor, "undo 9"), 7) << "right clicks push no undo";
    EXPECT_EQ(b.editor.calls.back(), "arpmenu 3 5 cell") << "no menu below the last row";

    const float before = b.h->getParameter(485);
    b.wheel(at(4, 9), -1);
    EXPECT_LT(b.h->getParameter(485), before) << "the wheel works beyond the step count";
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>({476, 476}));
}

TEST(ModScreenControl, ListsAndDragsEditTheSlotUnderThePointer) {
    ControlBench b;
    setManualGuiClock(0);
    ScriptedMenuPresenter menus;
    setMenuPresenter(&menus);
    b.add(new TModScreen(CRect(0, 0, 282, 104), nullptr, 0));
    auto at = [](int col, int slot) { return CPoint(std::vector<int>{10, 60, 170, 250}[col], slot * 13 + 6); };

    menus.choose({"Modulate by MIDI Sources", "Velocity"});
    tap(b, at(1, 2));
    menus.choose({"Main", "Dest 15"});
    tap(b, at(2, 2));
    EXPECT_EQ(b.h->getSteppedValue(371), 17);
    EXPECT_EQ(b.h->getSteppedValue(379), 15);
    menus.choose({"Modulate by MIDI Sources", "Last Note"});
    tap(b, at(1, 4));
    menus.choose({"Modulate by Other Sources", "Pink Noise"});
    tap(b, at(1, 4));
    EXPECT_EQ(b.h->getSteppedValue(373), 133) << "last note listed with the note sources; pink noise not offered";
    menus.choose({"None"});
    tap(b, at(1, 3));
    menus.dismiss();
    tap(b, at(2, 2));
    EXPECT_EQ(b.h->getSteppedValue(372), 0);
    EXPECT_EQ(b.h->getSteppedValue(379), 15);
    EXPECT_EQ(countCalls(b.editor, "undo 10"), 6) << "also the dismissed list pushed";

    b.h->setParameter(385, 0.f);
    b.drag(at(3, 0), CPoint(250, 6 - 200));
    EXPECT_FLOAT_EQ(b.h->getParameter(385), 1.f);
    b.h->setParameter(385, 0.f);
    b.drag(CPoint(19, 6), CPoint(19, 6 - 200), kLButton | kShift);
    EXPECT_NEAR(b.h->getParameter(385), 0.02f, 1e-5) << "a gap acts on the amount";
    b.h->setParameter(387, 0.5f);
    b.drag(at(3, 2), CPoint(250, 32 - 13));
    EXPECT_NEAR(std::fmod(b.h->getParameter(387) * 72 + 1e-3, 1.0), 0, 2e-3) << "pitch in semitones";
    EXPECT_GT(b.h->getParameter(387), 0.5f);

    const float amount = b.h->getParameter(385);
    b.wheel(at(3, 0), 1);
    EXPECT_GT(b.h->getParameter(385), amount);
    b.wheel(at(1, 2), 1);
    EXPECT_EQ(b.h->getSteppedValue(371), 16) << "up selects the previous source";

    const std::size_t heard = b.h.host().automated.size();
    tap(b, at(1, 2), kLButton | kControl);
    EXPECT_EQ(b.h->getParameter(371), b.h->getDefaultValue(371));
    EXPECT_EQ(b.h.host().automated.size(), heard) << "reset written plain";
    tap(b, at(0, 4));
    EXPECT_EQ(b.h.host().automated.back(), std::make_pair(365, 1.f)) << "the slot number is its bypass";
    tap(b, at(2, 7), kRButton);
    EXPECT_EQ(b.editor.calls.back(), "modmenu 7");
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>({385, 385, 387}));
    EXPECT_TRUE(b.guard.faults.empty()) << "pop-up lists come and go cleanly";
}

TEST(ModScreenControl, DrawsSlotsDimmedWhenBypassedAndNothingBeforeOpening) {
    for (int big : {0, 3}) {
        ControlBench b(big, CRect(0, 0, 600, 300));
        const int sc = big == 3 ? 2 : 1;
        auto* m = b.add(new TModScreen(CRect(0, 0, 282 * sc, 104 * sc), nullptr, big));
        b.h->setParameter(362, 1.f);  // slot 1 bypassed
        const CRect amount0(229 * sc, 0, 282 * sc, 13 * sc), amount1(229 * sc, 13 * sc, 282 * sc, 26 * sc);
        EXPECT_GT(maxGreen(b, amount0), 150);
        EXPECT_LT(maxGreen(b, amount1), 80);
        EXPECT_GT(maxGreen(b, amount1), 10);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(m->getViewSize()), 0);
    }
}
