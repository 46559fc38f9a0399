// The section screens drawn off-screen and driven through the frame's event routing: the
// gate pattern, the modulation matrix, the arp grid, the chord and velocity-split screens and
// the output scope.
#include <cmath>
#include <gtest/gtest.h>
#include "controls/TArpScreen.h"
#include "controls/TChordScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/TModScreen.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "gui_support/ControlTestKit.h"
#include "plugin/uPluginTags.h"

using namespace guitest;

namespace {

int countCalls(const FakeControlEditor& e, const std::string& s) {
    int n = 0;
    for (auto& c : e.calls) n += c == s;
    return n;
}

// Presses far apart in time, so that no press counts as the second of a double click.
struct Bench : ControlBench {
    explicit Bench(int big = 0, CRect size = CRect(0, 0, 400, 300)) : ControlBench(big, size) { setManualGuiClock(1000); }
    void click(const CPoint& p, CButtonState b = kLButton) { advanceManualGuiClock(1000), ControlBench::click(p, b); }
    void drag(const CPoint& a, const CPoint& z, CButtonState b = kLButton) { advanceManualGuiClock(1000), ControlBench::drag(a, z, b); }
};

} // namespace

TEST(GatorDisplayControl, FillsOnlyStepsBelowTheLengthAndMarksThePlayingStep) {
    for (int big : {0, 3}) {
        Bench b(big);
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
    }
}

TEST(GatorDisplayControl, ClicksEditTheMaskOfTheirOwnSideAndTheWheelTheLength) {
    Bench b;
    AutomatingListener fwd;
    auto* left = b.add(new TGatorDisplay(CRect(0, 0, 160, 12), &fwd, 111));
    b.add(new TGatorDisplay(CRect(0, 20, 160, 32), &fwd, 112));
    b.h->setSteppedValue(110, 3, 15.99f, 16);  // 4 steps
    struct Case { int step; int32_t buttons; float value; } cases[] = {
        {0, kLButton, 1.5f / 65536},  {2, kLButton, 5.5f / 65536}, {9, kLButton, 5.5f / 65536},
        {0, kLButton | kShift, 1.0f}, {0, kLButton | kAlt, 0.0f},  {0, kLButton, 1.5f / 65536},
        {0, kLButton, 0.5f / 65536},  {0, kRButton, 0.5f / 65536},
    };
    for (const Case& k : cases) {
        b.click(CPoint(k.step * 10 + 5, 6), k.buttons);
        EXPECT_FLOAT_EQ(b.h->getParameter(111), k.value) << k.step << " " << k.buttons;
        EXPECT_EQ(TGatorDisplay::maskFromValue(left->getValue()), TGatorDisplay::maskFromValue(k.value));
    }
    EXPECT_EQ(countCalls(b.editor, "undo 7"), 7) << "also the click beyond the length pushes";
    EXPECT_EQ(countCalls(b.editor, "gatermenu"), 1);
    EXPECT_EQ(b.h.host().automated.back().first, 111);

    b.click(CPoint(15, 26));
    EXPECT_FLOAT_EQ(b.h->getParameter(112), 2.5f / 65536);
    EXPECT_FLOAT_EQ(b.h->getParameter(111), 0.5f / 65536) << "the other side untouched";

    b.wheel(CPoint(5, 6), 1);
    EXPECT_EQ(b.h->getSteppedValue(110, 15.99f, 16), 4);
    EXPECT_EQ(countCalls(b.editor, "undo 7"), 8) << "the wheel pushes no undo";
}

TEST(ArpScreenControl, DrawsActiveStepsTheirValuesAndTheStepLed) {
    for (int big : {0, 3}) {
        Bench b(big, CRect(0, 0, 1200, 300));
        const int W = big == 3 ? 72 : 36, H = big == 3 ? 32 : 16;
        auto* a = b.add(new TArpScreen(CRect(0, 0, 16 * W, 8 * H), nullptr, big));
        b.h->setSteppedValue(395, 3);  // 4 steps
        b.h->setSteppedValue(409, 1);  // tied steps show their values
        for (int s = 0; s < 16; ++s) b.h->setParameter(412 + s, s == 1 ? 0.f : 1.f);
        auto cell = [&](int row, int s) { return CRect(s * W + 4, row * H + 4, s * W + W - 4, row * H + H); };
        EXPECT_GT(b.maxGreen(cell(0, 0)), 150) << "number of an active step";
        EXPECT_GT(b.maxGreen(cell(4, 0)), 150) << "its velocity";
        EXPECT_LT(b.maxGreen(cell(0, 1)), 80) << "a step that is off is dim";
        EXPECT_GT(b.maxGreen(cell(0, 1)), 10);
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
    Bench b(0, CRect(0, 0, 600, 200));
    ScriptedMenuPresenter menus;
    setMenuPresenter(&menus);
    auto* a = b.add(new TArpScreen(CRect(0, 0, 576, 9 * 16), nullptr, 0));
    b.h->setSteppedValue(395, 3);
    for (int s = 0; s < 16; ++s) b.h->setParameter(412 + s, 1.f);
    auto at = [](int row, int s) { return CPoint(s * 36 + 18, row * 16 + 8); };

    b.click(at(0, 3));  // the last step
    EXPECT_EQ(b.h->getParameter(415), 0.f);
    EXPECT_EQ(b.h.host().automated.back(), std::make_pair(415, 0.f));
    b.click(at(0, 6));
    EXPECT_EQ(b.h->getParameter(418), 1.f) << "beyond the step count nothing changes";
    EXPECT_EQ(countCalls(b.editor, "undo 9"), 2);

    b.h->setParameter(476, 0.f);
    b.drag(at(4, 0), CPoint(18, 72 - 400));
    EXPECT_FLOAT_EQ(b.h->getParameter(476), 1.f);
    b.h->setParameter(476, 0.f);
    b.drag(at(4, 0), CPoint(18, 72 - 400), kLButton | kShift);
    EXPECT_NEAR(b.h->getParameter(476), 0.05f, 1e-5);
    EXPECT_FALSE(a->getMouseDown());

    menus.choose({"Minor"});
    b.click(at(5, 0));
    EXPECT_EQ(b.h->getArpStepChord(0), 20);
    EXPECT_EQ(b.h.host().automated.back().first, 492);
    b.click(at(3, 5), kRButton);
    b.click(at(8, 5), kRButton);
    EXPECT_EQ(countCalls(b.editor, "undo 9"), 5) << "right clicks push no undo";
    EXPECT_EQ(b.editor.calls.back(), "arpmenu 3 5 cell") << "no menu below the last row";

    const float before = b.h->getParameter(485);
    b.wheel(at(4, 9), -1);
    EXPECT_LT(b.h->getParameter(485), before) << "the wheel works beyond the step count";
    // Right of the grid the wheel steps the row's last cell, and nothing of the next row.
    b.h->setParameter(491, 0.5f);
    const float last = b.h->getParameter(491), chord = b.h->getParameter(492);
    a->onWheel(CPoint(16 * 36 + 10, 4 * 16 + 8), -1, 0);
    EXPECT_LT(b.h->getParameter(491), last);
    EXPECT_EQ(b.h->getParameter(492), chord);
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>({476, 476}));
}

TEST(ModScreenControl, ListsAndDragsEditTheSlotUnderThePointer) {
    Bench b;
    ScriptedMenuPresenter menus;
    setMenuPresenter(&menus);
    b.add(new TModScreen(CRect(0, 0, 282, 104), nullptr, 0));
    auto at = [](int col, int slot) { return CPoint(std::vector<int>{10, 60, 170, 250}[col], slot * 13 + 6); };

    menus.choose({"Modulate by MIDI Sources", "Velocity"});
    b.click(at(1, 2));
    menus.choose({"Main", "Dest 15"});
    b.click(at(2, 2));
    EXPECT_EQ(b.h->getSteppedValue(371), 17);
    EXPECT_EQ(b.h->getSteppedValue(379), 15);
    menus.choose({"Modulate by MIDI Sources", "Last Note"});
    b.click(at(1, 4));
    menus.choose({"Modulate by Other Sources", "Pink Noise"});
    b.click(at(1, 4));
    EXPECT_EQ(b.h->getSteppedValue(373), 133) << "last note listed with the note sources; pink noise not offered";
    menus.dismiss();
    b.click(at(2, 2));
    EXPECT_EQ(b.h->getSteppedValue(379), 15);
    EXPECT_EQ(countCalls(b.editor, "undo 10"), 5) << "also the dismissed list pushed";

    b.h->setParameter(385, 0.f);
    b.drag(at(3, 0), CPoint(250, 6 - 200));
    EXPECT_FLOAT_EQ(b.h->getParameter(385), 1.f);
    b.h->setParameter(385, 0.f);
    b.drag(CPoint(19, 6), CPoint(19, 6 - 200), kLButton | kShift);
    EXPECT_NEAR(b.h->getParameter(385), 0.02f, 1e-5) << "a gap acts on the amount";
    b.h->setParameter(387, 0.5f);
    b.drag(at(3, 2), CPoint(250, 32 - 13));
    EXPECT_NEAR(std::fmod(b.h->getParameter(387) * 72 + 1e-3, 1.0), 0, 2e-3) << "pitch in semitones";
    b.wheel(at(1, 2), 1);
    EXPECT_EQ(b.h->getSteppedValue(371), 16) << "up selects the previous source";
    b.click(at(0, 4));
    EXPECT_EQ(b.h.host().automated.back(), std::make_pair(365, 1.f)) << "the slot number is its bypass";
    b.click(at(2, 7), kRButton);
    EXPECT_EQ(b.editor.calls.back(), "modmenu 7");
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>({385, 385, 387}));
    EXPECT_TRUE(b.guard.faults.empty()) << "pop-up lists come and go cleanly";
}

TEST(ModScreenControl, AListChoiceLeavesNoStalePixelsAfterTheNextIdle) {
    Bench b;
    ScriptedMenuPresenter menus;
    setMenuPresenter(&menus);
    auto* m = b.add(new TModScreen(CRect(0, 0, 282, 104), nullptr, 0));
    OffscreenRenderer window(b.frame);
    window.renderInvalid();  // the first paint: all of it
    menus.choose({"Modulate by MIDI Sources", "Velocity"});
    b.click(CPoint(60, 2 * 13 + 6));
    ASSERT_EQ(b.h->getSteppedValue(371), 17);
    // A window paints at once what the event left invalid: the place of the list only.
    {
        CDrawContext c(window.getImage());
        for (const CRect& r : b.frame->takeInvalidRegion()) b.frame->platformDrawRect(&c, r);
    }
    // The next idle draws the screen whole: it shows what a full paint shows.
    window.renderInvalid();
    OffscreenRenderer fresh(b.frame);
    fresh.snapshot();
    const CRect area = m->getViewSize();
    int stale = 0;
    for (int y = (int)area.top; y < (int)area.bottom; ++y)
        for (int x = (int)area.left; x < (int)area.right; ++x) stale += window.getPixel(x, y) != fresh.getPixel(x, y);
    EXPECT_EQ(stale, 0);
}

TEST(ModScreenControl, DrawsSlotsDimmedWhenBypassedAndNothingBeforeOpening) {
    for (int big : {0, 3}) {
        Bench b(big, CRect(0, 0, 600, 300));
        const int sc = big == 3 ? 2 : 1;
        auto* m = b.add(new TModScreen(CRect(0, 0, 282 * sc, 104 * sc), nullptr, big));
        b.h->setParameter(362, 1.f);  // slot 1 bypassed
        const CRect amount0(229 * sc, 0, 282 * sc, 13 * sc), amount1(229 * sc, 13 * sc, 282 * sc, 26 * sc);
        EXPECT_GT(b.maxGreen(amount0), 150);
        EXPECT_LT(b.maxGreen(amount1), 80);
        EXPECT_GT(b.maxGreen(amount1), 10);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(m->getViewSize()), 0);
    }
}

namespace {

const CColor kBar(78, 86, 2, 255);
const CColor kLine(197, 213, 26, 255);
const CRect kChordRect(12, 12, 192, 102);  // 180 x 90 at 100 %
const CRect kSplitRect(12, 12, 212, 112);  // 200 x 100 at 100 %

CRect scaledRect(const CRect& r, int big) {
    const double f = big == 3 ? 2.0 : 1.0;
    return CRect(r.left, r.top, r.left + r.getWidth() * f, r.top + r.getHeight() * f);
}

// The x of a velocity-split value and the top line of the axis, as a user sees them.
struct SplitAxis {
    SplitAxis(const CRect& r, int big)
        : dot(big == 3 ? 8 : 4), yTop((int)r.top + dot), xMin((int)r.left + dot), span((float)(r.getWidth() - 2 * dot)) {}
    int dot, yTop, xMin;
    float span;
    int x(float v) const { return xMin + (int)(v * span); }
};

void setSplit(PluginHarness& h, int layer, float a, float b, float c, float d) {
    const float v[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) h->setParameter(LAYER_VEL_TAGS[layer * 4 + i], v[i]);
}

} // namespace

TEST(ChordScreen, BarsOfEachViewAtBothSizes) {
    for (int big : {0, 3}) {
        Bench b(big);
        const CRect r = scaledRect(kChordRect, big);
        auto* s = b.add(new TChordScreen(r, nullptr, big));
        b.h->setSteppedValue(CHORD_NOTES_TAGS[0], 2);  // three notes
        b.h->setParameter(CHORD_SEMI_TAGS[0] + 1, 1.0f);
        b.h->setParameter(CHORD_SEMI_TAGS[0] + 2, 0.0f);
        b.h->setParameter(CHORD_VEL_TAGS[0] + 1, 0.5f);
        b.h->setParameter(CHORD_PAN_TAGS[0] + 1, 0.75f);
        const int h = (int)r.getHeight(), bar = 5 * h / 6, halfBar = bar / 2;
        auto colX = [&](int k) { return (int)r.left + (2 * k + 1) * (int)r.getWidth() / 12; };
        const int top = (int)r.top;
        // Tune view: note 1 rises from the zero line to the top, note 2 falls to the bar floor.
        EXPECT_EQ(b.pixel(colX(1), top + 2), kBar) << big;
        EXPECT_EQ(b.pixel(colX(1), top + halfBar + 2).green, 0);
        EXPECT_EQ(b.pixel(colX(2), top + bar - 3), kBar);
        EXPECT_EQ(b.pixel(colX(2), top + 2).green, 0);
        EXPECT_EQ(b.pixel(colX(3), top + 2).green, 0) << "only the chord's notes are drawn";
        // Volume view: half the height from the bottom; pan view: 0.75 rises half way up.
        s->setMode(TChordScreen::kVolumeView);
        EXPECT_EQ(b.pixel(colX(1), (int)r.bottom - h / 2 + 2), kBar);
        EXPECT_EQ(b.pixel(colX(1), (int)r.bottom - h / 2 - 2).green, 0);
        s->setMode(TChordScreen::kPanView);
        EXPECT_EQ(b.pixel(colX(1), top + h / 2 - h / 4 + 2), kBar);
        EXPECT_EQ(b.pixel(colX(1), top + h / 2 - h / 4 - 2).green, 0);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(r), 0);
    }
}

TEST(ChordScreen, PointerEditsWriteWithoutTheHostAndResetsTellIt) {
    Bench b;
    auto* s = b.add(new TChordScreen(kChordRect, nullptr, 0));
    const int vol = CHORD_VEL_TAGS[0] + 2, fine = CHORD_FINE_TAGS[0] + 2;
    const double x2 = kChordRect.left + 75, T = kChordRect.top;  // column 2
    s->setMode(TChordScreen::kVolumeView);
    b.click(CPoint(x2, T));
    EXPECT_FLOAT_EQ(b.h->getParameter(vol), 1.0f) << "the bar jumps to the pointer";
    b.drag(CPoint(x2, T), CPoint(x2, T + 45));
    EXPECT_NEAR(b.h->getParameter(vol), 0.5f, 1e-5);
    // Fine row: the press leaves the value; a drag by the height moves it by 0.5, 0.025 with Shift.
    s->setMode(TChordScreen::kTuneView);
    struct Case { CButtonState buttons; float expect; } cases[] = {{kLButton, 0.0f}, {kLButton | kShift, 0.475f}};
    for (const Case& c : cases) {
        b.h->setParameter(fine, 0.5f);
        b.drag(CPoint(x2, T + 85), CPoint(x2, T + 85 + 90), c.buttons);
        EXPECT_NEAR(b.h->getParameter(fine), c.expect, 1e-5);
    }
    EXPECT_TRUE(b.h.host().automated.empty());
    EXPECT_EQ(b.editor.calls, std::vector<std::string>(4, "undo 15"));
    // Command-click: default; Command+Shift: original, both through the host.
    b.click(CPoint(x2, T + 85), kLButton | kControl);
    EXPECT_FLOAT_EQ(b.h->getParameter(fine), 0.5f);
    b.click(CPoint(x2, T + 85), kLButton | kControl | kShift);
    ASSERT_EQ(b.h.host().automated.size(), 2u);
    EXPECT_EQ(b.h.host().automated[1].first, fine);
    EXPECT_TRUE(b.gesturesBalanced());
    // The context menu names the column; the wheel edits the pan under it without undo.
    b.editor.calls.clear();
    b.click(CPoint(x2, T + 10), kRButton);
    s->setMode(TChordScreen::kPanView);
    const float pan = b.h->getParameter(CHORD_PAN_TAGS[0] + 2);
    b.wheel(CPoint(x2, T + 10), 1);
    EXPECT_GT(b.h->getParameter(CHORD_PAN_TAGS[0] + 2), pan);
    EXPECT_EQ(b.editor.calls, std::vector<std::string>{"chordmenu 2"});
}

TEST(VelSplitScreen, TrapezoidAndSelectedHandleAtBothSizes) {
    for (int big : {0, 3}) {
        Bench b(big);
        const CRect r = scaledRect(kSplitRect, big);
        b.add(new TVelSplitScreen(r, nullptr, big));
        setSplit(b.h, 0, 0.2f, 0.4f, 0.6f, 0.8f);
        for (int l : {1, 2}) setSplit(b.h, l, 0, 0, 1, 1);
        const SplitAxis a(r, big);
        EXPECT_EQ(b.pixel(a.x(0.5f), a.yTop), kLine) << big;
        // The two other layers (both over the whole axis) faintly, one over the other.
        EXPECT_NEAR(b.pixel(a.x(0.1f), a.yTop).green, 213 * (1 - std::pow(1 - 31 / 255.0, 2)), 3);
        const CPoint dot(a.x(0.4f) + a.dot / 2, a.yTop + a.dot / 2);
        EXPECT_NEAR(b.pixel((int)dot.x, (int)dot.y).green, 213 * 127 / 255, 3);
        b.click(CPoint(a.x(0.4f), a.yTop));
        EXPECT_EQ(b.pixel((int)dot.x, (int)dot.y), kLine) << "the edited handle is bright";
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(r), 0);
    }
}

TEST(VelSplitScreen, HandleDragsStayBetweenNeighboursAndCommandsReachTheEditor) {
    Bench b;
    auto* s = b.add(new TVelSplitScreen(kSplitRect, nullptr, 0));
    const SplitAxis a(kSplitRect, 0);
    const int start = LAYER_VEL_TAGS[1], end = LAYER_VEL_TAGS[2];
    struct Case { float fromV, toV; CButtonState buttons; int tag; float expect; } cases[] = {
        {0.25f, 0.35f, kLButton, start, 0.35f},           // the handle follows the pointer
        {0.25f, 0.9f, kLButton, start, 0.75f},            // stops at the end point
        {0.25f, 0.0f, kLButton, start, 0.2f},             // stops at the fade-in point
        {0.5f, 0.5f, kLButton, start, 0.5f},              // midway between start and end: start
        {0.75f, 0.0f, kLButton | kShift, end, 0.75f - 0.75f / 20},
    };
    for (const Case& c : cases) {
        setSplit(b.h, 0, 0.2f, 0.25f, 0.75f, 0.8f);
        b.drag(CPoint(a.x(c.fromV), a.yTop), CPoint(a.x(c.fromV) + (c.toV - c.fromV) * a.span, a.yTop), c.buttons);
        EXPECT_NEAR(b.h->getParameter(c.tag), c.expect, 0.006f) << c.fromV << " -> " << c.toV;
    }
    EXPECT_TRUE(b.h.host().automated.empty());
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.editor.calls, std::vector<std::string>(5, "undo 11"));
    // An Option-click types the handle's value: its gesture is closed before the release.
    b.editor.calls.clear();
    b.frame->platformOnMouseDown(CPoint(a.x(0.25f), a.yTop), kLButton | kAlt);
    EXPECT_EQ(b.editor.calls, std::vector<std::string>{"undo 11"}) << "a handle was taken";
    EXPECT_FALSE(s->isEditing());
    b.frame->platformOnMouseUp(CPoint(a.x(0.25f), a.yTop), kLButton | kAlt);
    EXPECT_TRUE(b.gesturesBalanced());
    b.editor.calls.clear();
    b.wheel(CPoint(a.x(0.25f), a.yTop), 1);  // steps the nearest handle, no undo
    EXPECT_GT(b.h->getParameter(start), 0.25f);
    b.click(CPoint(a.x(0.5f), a.yTop), kLButton | kDoubleClick);
    s->setLayer(7);  // clamped to the third layer
    b.click(CPoint(a.x(0.5f), a.yTop), kLButton | kControl | kShift);
    b.click(CPoint(a.x(0.5f), a.yTop), kRButton);
    const std::vector<std::string> expect{"undo 11", "reset 12 0", "undo 11", "orig 14", "velsplitmenu"};
    EXPECT_EQ(b.editor.calls, expect);
    // Before the editor has opened no handle is near: the press changes nothing at all.
    b.editor.calls.clear();
    b.editor.finishedOpening = false;
    setSplit(b.h, 2, 0.2f, 0.4f, 0.6f, 0.8f);
    b.drag(CPoint(a.x(0.4f), a.yTop), CPoint(a.x(0.9f), a.yTop));
    EXPECT_FLOAT_EQ(b.h->getParameter(LAYER_VEL_TAGS[9]), 0.4f);
    EXPECT_TRUE(b.editor.calls.empty());
}

TEST(WaveScreen, TracesARenderedNoteAndZooms) {
    Bench b;
    const CRect r(20, 20, 120, 80);
    auto* w = b.add(new TWaveScreen(r, nullptr, 0, true));
    auto rowsLit = [&] {
        int rows = 0;
        for (int y = (int)r.top; y < (int)r.bottom; ++y) rows += b.litPixels(CRect(r.left, y, r.right, y + 1)) > 0;
        return rows;
    };
    EXPECT_EQ(rowsLit(), 1) << "silence is the middle line";
    b.h.run(4096);  // the start-up program applies
    VstMidiEvent note{kVstMidiType, sizeof note, 0, 0, 0, 0, {(char)0x90, 60, 110}, 0, 0, 0, 0};
    VstEvents events{1, 0, {reinterpret_cast<VstEvent*>(&note)}};
    b.h.dispatch(effProcessEvents, 0, 0, &events);
    b.h.run(20000);
    EXPECT_GT(rowsLit(), 6) << "a sounding layer shows a trace";
    w->setOn(false);
    EXPECT_EQ(rowsLit(), 1);
    w->setActive(false);
    EXPECT_EQ(b.litPixels(r), 0);
    // Zoom: the wheel halves and doubles the window within 1/16..16.
    for (int i = 0; i < 5; ++i) b.wheel(CPoint(50, 50), 1);
    EXPECT_EQ(w->getZoom(), 1600);
    w->setZoom(0.005f);
    EXPECT_EQ(w->getZoom(), 100);
    for (int i = 0; i < 5; ++i) w->setZoom(2.0f);
    EXPECT_EQ(w->getZoom(), 6);
    b.click(CPoint(50, 50), kLButton | kControl);
    EXPECT_EQ(w->getZoom(), 100);
    b.click(CPoint(50, 50), kLButton | kDoubleClick);
    b.click(CPoint(50, 50), kRButton);
    EXPECT_EQ(b.editor.calls, std::vector<std::string>{"outputmenu 0"});
    w->setActive(true);
    w->setOn(true);
    b.editor.finishedOpening = false;
    EXPECT_EQ(b.litPixels(r), 0);
}

TEST(SectionScreens, PressesOnZeroSpansChangeNothing) {
    Bench b;
    b.add(new TChordScreen(CRect(10, 10, 70, 11), nullptr, 0));       // no bar height
    b.add(new TVelSplitScreen(CRect(100, 10, 108, 60), nullptr, 0));  // no axis width
    const float semi = b.h->getParameter(CHORD_SEMI_TAGS[0] + 2), start = b.h->getParameter(LAYER_VEL_TAGS[1]);
    b.drag(CPoint(40, 10), CPoint(40, 30));
    b.drag(CPoint(104, 14), CPoint(130, 14));
    EXPECT_EQ(b.h->getParameter(CHORD_SEMI_TAGS[0] + 2), semi);
    EXPECT_EQ(b.h->getParameter(LAYER_VEL_TAGS[1]), start);
    EXPECT_TRUE(b.editor.calls.empty());
}
