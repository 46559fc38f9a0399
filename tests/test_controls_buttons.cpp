// Buttons, readouts, labels and the separator line: what they show (LED, strip, label,
// arrows, text, captions, the blinking indicator) at 100 % and 200 %, and what a press, a drag
// out of a button, a modifier click and the wheel send.
#include <algorithm>
#include <gtest/gtest.h>
#include "controls/TKickButton.h"
#include "controls/TLabel.h"
#include "controls/TLine.h"
#include "controls/TOnOff.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "gui_support/ControlTestKit.h"
#include "plugin/uPluginTags.h"

using namespace guitest;
using namespace tlook;

namespace {

const CRect kLed(20, 20, 40, 40);
const CPoint kLedCentre(29, 29);
const CColor kOff(200, 0, 0), kOn(0, 0, 200);

// The LED strip of the editor: upper half "off" red, lower half "on" blue.
struct LedStrip {
    explicit LedStrip(ControlBench& b) : strip(stripedBitmap(20, 20, {kOff, kOn})) {
        b.editor.bitmaps.push_back({10060, strip});
    }
    ~LedStrip() { strip->forget(); }
    CBitmap* strip;
};

bool dimmedOverBlack(CColor px, CColor full) { return std::abs(px.green - full.green * 63 / 255) <= 3; }

} // namespace

TEST(ControlButtons, KickLooksAtBothSizes) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        LedStrip strip(b);
        AutomatingListener l;
        auto* led = b.add(new TKickButton(kLed, &l, "", TKickButton::kLedStyle));
        auto* bmp = b.add(new TKickButton(CRect(60, 20, 80, 40), &l, "", TKickButton::kLedBitmapStyle));
        b.add(new TKickButton(CRect(100, 20, 140, 40), &l, "", TKickButton::kArrowLeftStyle));
        auto* right = b.add(new TKickButton(CRect(160, 20, 200, 40), &l, "", TKickButton::kArrowRightStyle));
        EXPECT_EQ(b.pixel(29, 29), LED_OFF_COLOR);
        EXPECT_EQ(b.pixel(69, 29), kOff);
        led->setAlwaysOn(true);
        bmp->setValue(1);
        EXPECT_EQ(b.pixel(29, 29), LED_ON_COLOR) << "always on lights a released button";
        EXPECT_EQ(b.pixel(69, 29), kOn);
        led->setBypassed(true);
        EXPECT_TRUE(dimmedOverBlack(b.pixel(29, 29), LED_BYPASSED_COLOR)) << "dimmed wins over always on";
        EXPECT_EQ(b.pixel(116, 30), TEXT_COLOR) << "the left arrow";
        right->setBypassed(true);
        EXPECT_TRUE(dimmedOverBlack(b.pixel(184, 30), TEXT_BYPASSED_COLOR));
        b.editor.finishedOpening = false;
        led->setBypassed(false);
        EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0) << "nothing before the editor finished opening";
    }
}

TEST(ControlButtons, KickPressDragOutAndBackRelease) {
    for (int style : {0, 7}) { // style 7 shows nothing but still sends
        ControlBench b;
        AutomatingListener l;
        auto* k = b.add(new TKickButton(kLed, &l, "", style));
        b.frame->platformOnMouseDown(CPoint(30, 30), kLButton);
        b.frame->platformOnMouseMoved(CPoint(40, 40), kLButton); // the edge is inside
        b.frame->platformOnMouseMoved(CPoint(60, 30), kLButton);
        b.frame->platformOnMouseMoved(CPoint(30, 30), kLButton);
        b.frame->platformOnMouseUp(CPoint(30, 30), kLButton);
        EXPECT_EQ(l.changes, (std::vector<float>{1, 0, 1, 0}));
        EXPECT_EQ(k->getValue(), 0);
        EXPECT_EQ(l.begins, 1);
        EXPECT_EQ(l.ends, 1);
        EXPECT_TRUE(b.h.host().beginEdits.empty()) << "tag 9999 never reaches the host";
        k->setBypassed(true);
        b.click(CPoint(30, 30));
        EXPECT_EQ(l.changes.size(), 4u) << "a dimmed button ignores presses";
    }
}

TEST(ControlButtons, OnOffTogglesWithAutomationAndModifiers) {
    ControlBench b;
    AutomatingListener l;
    const int tag = LAYER_ON_TAGS[1];
    b.h.plugin().setParameter(tag, 0.f);
    auto* sw = b.add(new TOnOff(kLed, &l, tag, nullptr, false));
    struct Case { int32_t buttons, listenerAnswer; float expect; } cases[] = {
        {kLButton, 0, 1}, {kLButton | kShift, 0, 0}, {kRButton, 0, 1}, {kLButton | kControl, 1, 1}, {kLButton | kAlt, 0, 0}};
    for (const Case& c : cases) {
        l.modifierAnswer = c.listenerAnswer;
        b.click(CPoint(30, 30), c.buttons);
        EXPECT_EQ(sw->getValue(), c.expect) << c.buttons;
        EXPECT_EQ(b.h.plugin().getParameter(tag), c.expect);
    }
    EXPECT_EQ(b.h.host().automated.size(), 4u);
    EXPECT_EQ(b.h.host().beginEdits.size(), 4u);
    EXPECT_TRUE(b.gesturesBalanced());
    sw->setBypassed(true);
    b.click(CPoint(30, 30));
    EXPECT_EQ(sw->getValue(), 0) << "dimmed ignores presses";
}

TEST(ControlButtons, RadioPressWheelAndLabels) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        AutomatingListener l;
        auto* r0 = b.add(new TRadioButton(kLed, &l, 2, 0, false));
        auto* r1 = b.add(new TRadioButton(CRect(60, 20, 140, 40), &l, 2, 1, false));
        r1->setString("Chord 2");
        r0->setState(true);
        EXPECT_EQ(b.pixel(29, 29), LED_ON_COLOR);
        EXPECT_LT(b.maxGreen(r1->getViewSize()), 100) << "an unselected label is dim";
        b.click(CPoint(70, 30));
        EXPECT_GT(b.maxGreen(r1->getViewSize()), 180);
        EXPECT_EQ(r1->getValue(), 1.f);
        b.click(CPoint(30, 30));
        EXPECT_EQ(l.changes, (std::vector<float>{1})) << "a press on the selected button sends nothing";
        r0->setState(false);
        EXPECT_EQ(b.pixel(29, 29), LED_OFF_COLOR);
        b.wheel(CPoint(30, 30), 1);
        b.wheel(CPoint(30, 30), -1);
        EXPECT_EQ(b.editor.calls, (std::vector<std::string>{"radio 2 -1", "radio 2 1"}));
    }
}

TEST(Readouts, TextBackgroundAndBigFontAtBothSizes) {
    for (int big : {0, 3}) {
        SCOPED_TRACE(big);
        ControlBench b(big, CRect(0, 0, 500, 200));
        const double s = SCALE[big];
        const CRect plain(0, 0, 100 * s, 20 * s), boxed(0, 30 * s, 100 * s, 50 * s), heavy(0, 60 * s, 100 * s, 80 * s);
        b.add(new TReadout(plain, nullptr, "440 Hz", true, false));
        b.add(new TReadout(boxed, nullptr, "440 Hz", true, true));
        auto* bold = b.add(new TReadout(heavy, nullptr, "440 Hz", true, true));
        bold->setBigFont();
        EXPECT_NEAR(b.maxGreen(plain), TEXT_COLOR.green, 10);
        EXPECT_EQ(b.pixel(1, 1), kBlackCColor) << "no background";
        EXPECT_EQ(b.pixel(1, 30 * s + 1), MENU_INNER_COLOR);
        const auto dark = b.grab(heavy);
        EXPECT_EQ(b.maxGreen(heavy), MENU_INNER_COLOR.green) << "big-font text is black";
        EXPECT_GT(std::count_if(dark.begin(), dark.end(), [](CColor c) { return c.green < 25; }), 10);
    }
}

TEST(Readouts, MomentaryPressReachesTheListener) {
    ControlBench b;
    RecordingListener l;
    auto* still = b.add(new TReadout(CRect(0, 0, 100, 20), &l, "A", true, false));
    auto* press = b.add(new TReadout(CRect(0, 30, 100, 50), &l, "B", true, false));
    press->setReactToMouse();
    auto* str = b.add(new TReadoutString(CRect(0, 60, 100, 90), &l, "C", false, true, true));
    b.click(CPoint(50, 10));
    EXPECT_TRUE(l.changes.empty()) << "no momentary behaviour without reactToMouse";
    b.click(CPoint(50, 40));
    b.click(CPoint(50, 70));
    b.click(CPoint(50, 70), kRButton);
    EXPECT_EQ(l.changes, (std::vector<float>{1.f, 0.f, 1.f, 0.f}));
    EXPECT_EQ(l.controls, (std::vector<CControl*>{press, press, str, str}));
    EXPECT_EQ(still->getValue(), 0.f);
}

TEST(Labels, LinesIndicatorAndDimming) {
    for (int big : {0, 3}) {
        SCOPED_TRACE(big);
        ControlBench b(big);
        const CColor c(200, 180, 40, 255);
        auto* two = b.add(new TLabel(CRect(0, 0, 100, 40), "KEY!TRK", kNormalFont, c, 1, 100));
        b.add(new TLabel(CRect(100, 0, 200, 20), "KEY", kNormalFont, c, 1, 100));
        b.add(new TLabel(CRect(100, 20, 200, 40), "TRK", kNormalFont, c, 1, 100));
        EXPECT_EQ(b.grab(CRect(0, 0, 100, 40)), b.grab(CRect(100, 0, 200, 40))) << "each line in half the height";
        const struct { bool bypassed, indicator; int phase, green; } cases[] = {
            {false, false, 0, 180}, {true, false, 0, 180 * 100 / 255}, {true, true, 2, 180}, {false, true, 3, 180 * 100 / 255}};
        for (const auto& k : cases) {
            two->setBypassed(k.bypassed);
            two->setIndicator(k.indicator, k.phase);
            EXPECT_NEAR(b.maxGreen(CRect(0, 0, 100, 40)), k.green, 3) << k.bypassed << k.indicator << k.phase;
        }
        two->setInvisible(true);
        EXPECT_EQ(b.litPixels(CRect(0, 0, 100, 40)), 0);
    }
}

TEST(Lines, HiddenWithoutLeavingTheTree) {
    ControlBench b(3);
    auto* line = b.add(new TLine(CRect(10, 10, 200, 12), nullptr));
    EXPECT_EQ(b.pixel(100, 11), TLine::LINE_COLOR);
    line->setVisible(false);
    EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0);
    EXPECT_TRUE(line->isVisible()) << "still in the tree";
    line->setDirty(false);
    line->setVisible(false);
    EXPECT_FALSE(line->isDirty()) << "the same state does not redraw";
}
