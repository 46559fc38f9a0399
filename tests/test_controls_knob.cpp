// The knob and the ribbon slider: where the value dot, the modulation arc, the handle and the
// markers show at 100 % and 200 %, and what drags, the wheel and modifier clicks write to the
// plug-in, with balanced edit gestures the host is told of.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/THSlider.h"
#include "controls/TKnob.h"
#include "gui_support/ControlTestKit.h"
#include "platform/dialogs.h"
#include "plugin/uPluginTags.h"

using namespace guitest;
using namespace tlook;

namespace {

constexpr int kTag = 2; // a percentage: typed entry reads 0..100
constexpr int kRibbon = kRibbonValueTag, kQuantTag = 667, kSpringTag = 666;
const CColor kMark(200, 0, 0), kHandle(0, 200, 0), kMarker(0, 0, 200);

CColor at(ControlBench& b, double x, double y) { return b.pixel(static_cast<int>(x), static_cast<int>(y)); }
struct Ribbon {
    explicit Ribbon(ControlBench& b, bool centred = false) : b(b) {
        b.editor.bitmaps = {{10065, stripedBitmap(8, 20, {kMark})},
                            {10066, stripedBitmap(12, 20, {kHandle})},
                            {10067, stripedBitmap(4, 20, {kMarker})}};
        slider = b.add(new THSlider(CRect(20, 200, 380, 220), &l, kRibbon, b.editor.big, centred));
    }
    ~Ribbon() { for (auto& m : b.editor.bitmaps) m.second->forget(); }
    ControlBench& b;
    AutomatingListener l;
    THSlider* slider;
};

// Forgets what the host and the editor heard; the next press is no double click.
void resetRecords(ControlBench& b) {
    advanceManualGuiClock(1000);
    HostRecord& r = b.h.host();
    r.automated.clear(), r.beginEdits.clear(), r.endEdits.clear();
    b.editor.calls.clear();
}

} // namespace

TEST(ControlKnob, DotAndModulationArcAtBothSizes) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        AutomatingListener l;
        const double s = SCALE[big], d = scaled(40, big), r = d / 2, cx = 50 + 20 * s, cy = 50 + 20 * s;
        auto* k = b.add(new TKnob(CRect(50, 50, 50 + 40 * s, 50 + 40 * s), &l, kTag, nullptr, nullptr, CPoint(), true,
                                  static_cast<int>(d), 0));
        // The dot sweeps 255.6 degrees from -216 (lower left) through the top to 39.6 (lower right).
        auto dot = [&](float v) {
            const double a = (-216.0 + 255.6 * v) * M_PI / 180.0;
            return CPoint(cx + 0.57 * r * std::cos(a), cy + 0.57 * r * std::sin(a));
        };
        for (float v : {0.f, 0.5f, 1.f}) {
            k->setValue(v);
            for (float o : {0.f, 0.5f, 1.f})  // where the dot is not: the outer disc, or the centre mark at the top
                EXPECT_EQ(at(b, dot(o).x, dot(o).y), o == v ? KNOB_DOT_COLOR : o == .5f ? KNOB_MID_COLOR : KNOB_OUTER_COLOR) << v;
        }
        k->setBypassed(true);
        EXPECT_NEAR(at(b, dot(1).x, dot(1).y).green, 68 + (217 - 68) * 63 / 255, 3) << "dimmed dot";
        k->setBypassed(false);
        // Modulation from 0.2 to 0.8: an arc over the top (its stroke of 2 inside its square).
        k->setValue(0.2f);
        const double ar = (big == 0 ? 0.84 : 0.86) * r - 1;
        auto arcGreen = [&] { return at(b, cx + ar * 0.5, cy - ar * 0.866).green; };
        k->setModValue(0.8f, 1);
        EXPECT_GT(arcGreen(), 110);
        b.editor.animation = false;
        k->setModValue(0.8f, 2);
        EXPECT_EQ(k->getModValue(), 0.2f) << "without animation the knob's own value shows";
        EXPECT_EQ(arcGreen(), KNOB_OUTER_COLOR.green);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0);
    }
}

TEST(ControlKnob, MouseAndWheelWriteTheParameter) {
    ControlBench b;
    setManualGuiClock(0);
    AutomatingListener l;
    APlugin& p = b.h.plugin();
    auto* k = b.add(new TKnob(CRect(50, 50, 90, 90), &l, kTag, nullptr, nullptr, CPoint(), false, 40, 0));
    k->setDefaultValue(0.3f);
    platform::dialogSetMode(platform::DialogMode::Scripted);
    const float orig = p.getOrigValue(kTag);
    enum Act { Drag, Click, Wheel };
    // amount: pixels upwards for a drag, the distance for the wheel.
    struct Case { Act act; int32_t buttons; double amount; float expect; bool hostTold; const char* call; } cases[] = {
        {Drag, kLButton, 40, 0.4f, true, "released"}, {Drag, kLButton, -60, 0.0f, true, "released"},
        {Drag, kLButton | kShift, 100, 0.21f, true, "released"}, {Wheel, 0, 1, 0.21f, true, nullptr},
        {Wheel, kShift, -1, 0.199f, true, nullptr}, {Click, kLButton | kControl, 0, 0.3f, true, nullptr},
        {Click, kLButton | kControl | kShift, 0, orig, true, nullptr}, {Click, kLButton | kAlt, 0, 0.75f, true, nullptr},
        {Click, kRButton, 0, 0.2f, false, "midimenu 2"},
    };
    for (const Case& c : cases) {
        p.setParameter(kTag, 0.2f);
        k->setValue(0.2f);
        resetRecords(b);
        platform::dialogScriptOk("75");
        if (c.act == Drag) b.drag(CPoint(70, 80), CPoint(70, 80 - c.amount), c.buttons);
        if (c.act == Click) b.click(CPoint(70, 70), c.buttons);
        if (c.act == Wheel) b.wheel(CPoint(70, 70), static_cast<float>(c.amount), c.buttons);
        EXPECT_NEAR(p.getParameter(kTag), c.expect, 1e-5) << c.buttons << " " << c.amount;
        EXPECT_EQ(!b.h.host().automated.empty() && b.h.host().automated.back().first == kTag, c.hostTold);
        EXPECT_EQ(b.h.host().beginEdits.size(), c.hostTold && c.act != Wheel ? 1u : 0u);
        EXPECT_TRUE(b.gesturesBalanced());
        EXPECT_TRUE(!c.call || b.editor.called(c.call)) << c.call;
        EXPECT_TRUE(c.act != Drag || b.editor.calls.front() == "drop 2");
    }
    platform::dialogScriptClear();
    platform::dialogSetMode(platform::DialogMode::Headless);
    EXPECT_EQ(l.begins, l.ends);

    // Shift pressed or released in mid-drag changes the speed from the next move on: no jump.
    k->setValue(0.2f);
    resetRecords(b);
    b.frame->platformOnMouseDown(CPoint(70, 80), kLButton);
    const struct { double y; int32_t mods; float expect; } moves[] = {
        {60, 0, 0.3f}, {40, kShift, 0.4f}, {20, kShift, 0.402f}, {10, 0, 0.403f}, {0, 0, 0.453f}};
    for (const auto& m : moves) {
        b.frame->platformOnMouseMoved(CPoint(70, m.y), kLButton | m.mods);
        EXPECT_NEAR(k->getValue(), m.expect, 1e-5) << m.y;
    }
    b.frame->platformOnMouseUp(CPoint(70, 0), kLButton);
    EXPECT_NEAR(p.getParameter(kTag), 0.453f, 1e-5);

    // A bypassed knob ignores presses but the wheel still steps its parameter.
    k->setBypassed(true);
    resetRecords(b);
    b.drag(CPoint(70, 80), CPoint(70, 20));
    EXPECT_NEAR(p.getParameter(kTag), 0.453f, 1e-5);
    b.wheel(CPoint(70, 70), 1);
    EXPECT_NEAR(p.getParameter(kTag), 0.463f, 1e-5);
    EXPECT_TRUE(b.gesturesBalanced());
}

TEST(ControlKnob, FactorAmountSnapsTo72Steps) {
    ControlBench b;
    AutomatingListener l;
    APlugin& p = b.h.plugin();
    int factorDest = -1;
    for (int d = 1; d < 600 && factorDest < 0; ++d)
        if (p.getDestTypeForDest(d) == 2) factorDest = d;
    ASSERT_GT(factorDest, 0);
    p.setModSlotVar(0, false, 0.f, 1, factorDest);
    auto* k = b.add(new TKnob(CRect(50, 50, 90, 90), &l, MOD_AMT_TAGS[0], nullptr, nullptr, CPoint(), false, 40, 0));
    setManualGuiClock(0);
    b.drag(CPoint(70, 80), CPoint(70, 73));
    resetRecords(b);
    EXPECT_NEAR(p.getParameter(MOD_AMT_TAGS[0]) * 72, 2.0, 1e-4) << "7 pixels = 0.035, snapped down to 2/72";
    b.drag(CPoint(70, 80), CPoint(70, -20), kLButton | kShift);
    EXPECT_NEAR(k->getValue(), 2.f / 72 + 0.01f, 1e-5) << "Shift moves freely";
}

TEST(ControlRibbon, HandleMarkAndMarkerPositions) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        Ribbon rb(b);
        THSlider* s = rb.slider;
        const int inset = SLIDER_WIDTH[big] / 2, start = 20 + inset, width = (380 - inset) - start;
        struct Case { bool centred; int quant; float value, u; } cases[] = {
            {false, 0, 0.f, 0.f}, {false, 0, 1.f, 1.f}, {false, 12, 0.3f, 0.f}, {false, 12, 0.6f, 1.f},
                     {true, 12, 0.3f, 0.5f}, {true, 12, 0.1f, 0.f}, {true, 0, 0.75f, 0.75f}};
        for (const Case& c : cases) {
            b.h.plugin().setSteppedValue(kQuantTag, c.quant);
            s->setCentered(c.centred);
            s->setValue(c.value);
            const int x = static_cast<int>(c.u * width) + start;
            EXPECT_EQ(b.pixel(x - 5, 210), kHandle) << c.value;
            EXPECT_EQ(b.pixel(x + 5, 210), kHandle);
            EXPECT_NE(b.pixel(x - 7, 210), kHandle);
        }
        b.h.plugin().setSteppedValue(kQuantTag, 0);
        s->setValue(0);
        EXPECT_EQ(b.pixel(200, 205), kMark) << "centre mark of a centred ribbon";
        s->setCentered(false);
        EXPECT_NE(b.pixel(200, 205), kMark);
        s->setModValue(0.5f, 1);
        EXPECT_EQ(b.pixel(start + width / 2, 210), kMarker);
        b.editor.animation = false;
        EXPECT_NE(b.pixel(start + width / 2, 210), kMarker);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0);
    }
}

TEST(ControlRibbon, PressesDragsAndWheel) {
    ControlBench b;
    setManualGuiClock(0);
    Ribbon rb(b);
    THSlider* s = rb.slider;
    APlugin& p = b.h.plugin();
    s->setDefaultValue(0.25f);
    const float start = 36, width = 328, orig = p.getOrigValue(kRibbon);
    struct Case { bool centred; int32_t buttons; double x; float expect; } cases[] = {
        {false, kLButton, start, 0.f}, {false, kLButton, 379, 1.f}, {false, kLButton | kControl, 100, 0.f},
        {true, kLButton | kControl, 100, 0.5f}, {false, kLButton | kDoubleClick, 100, 0.25f},
        {false, kLButton | kControl | kShift, 100, orig}, {false, kRButton, 100, 0.6f}};
    for (const Case& c : cases) {
        s->setCentered(c.centred);
        p.setParameter(kRibbon, 0.6f);
        s->setValue(0.6f);
        resetRecords(b);
        b.click(CPoint(c.x, 210), c.buttons);
        EXPECT_NEAR(p.getParameter(kRibbon), c.expect, 1e-6) << c.buttons << " at " << c.x;
        EXPECT_TRUE(b.gesturesBalanced());
    }
    EXPECT_TRUE(b.editor.called("midimenu slider 126"));
    // Twenty pixels with Shift move as far as one without.
    resetRecords(b);
    b.drag(CPoint(100, 210), CPoint(120, 210), kLButton | kShift, 1);
    const float fine = p.getParameter(kRibbon);
    advanceManualGuiClock(1000);
    b.drag(CPoint(100, 210), CPoint(101, 210), kLButton, 1);
    EXPECT_NEAR(fine, (100 - start + 1) / width, 1e-6);
    EXPECT_NEAR(p.getParameter(kRibbon), fine, 1e-6);
    EXPECT_EQ(b.h.host().beginEdits, (std::vector<int>{kRibbon, kRibbon}));
    b.wheel(CPoint(100, 210), 1);
    EXPECT_NEAR(p.getParameter(kRibbon), fine + 0.01f, 1e-6);
    // Alt-click: the typed value reaches the plug-in and the slider.
    platform::dialogSetMode(platform::DialogMode::Scripted);
    platform::dialogScriptOk("40");
    advanceManualGuiClock(1000);
    b.click(CPoint(100, 210), kLButton | kAlt);
    platform::dialogSetMode(platform::DialogMode::Headless);
    EXPECT_EQ(s->getValue(), p.getParameter(kRibbon));
    EXPECT_NE(s->getValue(), fine + 0.01f);
    EXPECT_TRUE(b.gesturesBalanced());
}

TEST(ControlRibbon, SpringsBackAfterRelease) {
    ControlBench b;
    Ribbon rb(b);
    THSlider* s = rb.slider;
    APlugin& p = b.h.plugin();
    b.h.run(4096); // the start-up program is applied
    setManualGuiClock(0);
    p.setSteppedValue(kSpringTag, 1); // instant
    p.setParameter(665, 0.f);          // unipolar: rest at 0
    resetRecords(b);
    b.frame->platformOnMouseDown(CPoint(200, 210), kLButton);
    b.frame->platformOnMouseMoved(CPoint(250, 210), kLButton);
    b.h.run(64);
    s->setCurValue();
    EXPECT_GT(s->getValue(), 0.6f) << "no spring and no following while dragged";
    b.frame->platformOnMouseUp(CPoint(250, 210), kLButton);
    EXPECT_EQ(rb.l.begins, 0) << "a springing drag opens only the host's gesture";
    b.h.run(64);
    s->setCurValue();
    EXPECT_EQ(s->getValue(), 0.f);
    EXPECT_EQ(p.getParameter(kRibbon), 0.f);
    EXPECT_EQ(rb.l.begins, 1);
    EXPECT_TRUE(b.gesturesBalanced());
    EXPECT_EQ(b.h.host().beginEdits.size(), 2u);
    // Spring time changed during a drag: the release still closes the gesture it opened.
    advanceManualGuiClock(1000);
    b.frame->platformOnMouseDown(CPoint(200, 210), kLButton);
    p.setSteppedValue(kSpringTag, 0);
    b.frame->platformOnMouseUp(CPoint(200, 210), kLButton);
    EXPECT_TRUE(b.gesturesBalanced());
    // Without a spring the control's own gesture opens and the release closes it.
    resetRecords(b);
    rb.l.begins = rb.l.ends = 0;
    b.drag(CPoint(200, 210), CPoint(260, 210));
    EXPECT_EQ(rb.l.begins, 1);
    EXPECT_EQ(rb.l.ends, 1);
    EXPECT_EQ(b.h.host().endEdits, std::vector<int>{kRibbon});
}
