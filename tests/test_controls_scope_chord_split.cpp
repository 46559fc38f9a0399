// The output scope, the chord screen and the velocity-split screen: what they draw at
// computed points, how pointer and wheel edits reach the plug-in and the host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "controls/TChordScreen.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "gui_support/ControlTestKit.h"
#include "plugin/uPluginTags.h"

using namespace guitest;

namespace {

const CColor kBar(78, 86, 2, 255);
const CColor kLine(197, 213, 26, 255);
const CRect kChordRect(12, 12, 192, 102);  // 180 x 90 at 100 %
const CRect kSplitRect(12, 12, 212, 112);  // 200 x 100 at 100 %

CRect scaledRect(const CRect& r, int big) {
    const double f = big == 3 ? 2.0 : 1.0;
    return CRect(r.left, r.top, r.left + r.getWidth() * f, r.top + r.getHeight() * f);
}

// The x of a velocity-split value and the two lines of the axis, as a user sees them.
struct SplitAxis {
    int xMin, yTop, yBottom, dot;
    float span;
    SplitAxis(const CRect& r, int big) {
        dot = big == 3 ? 8 : 4;
        xMin = (int)r.left + dot;
        yTop = (int)r.top + dot;
        yBottom = (int)r.bottom - (big == 3 ? 16 : 8);
        span = (float)((int)r.right - dot - xMin);
    }
    int x(float v) const { return xMin + (int)(v * span); }
};

// Presses far apart in time, so that no press counts as the second of a double click.
struct Bench : ControlBench {
    explicit Bench(int big = 0) : ControlBench(big) { setManualGuiClock(1000); }
    void click(const CPoint& p, CButtonState b = kLButton) {
        advanceManualGuiClock(1000);
        ControlBench::click(p, b);
    }
    void drag(const CPoint& from, const CPoint& to, CButtonState b = kLButton) {
        advanceManualGuiClock(1000);
        ControlBench::drag(from, to, b);
    }
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
    VstMidiEvent note;
    std::memset(&note, 0, sizeof note);
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = (char)0x90;
    note.midiData[1] = 60;
    note.midiData[2] = 110;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
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
