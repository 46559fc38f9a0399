// Kick, on/off and radio buttons: what they show (LED, strip, label, arrows) at 100 % and
// 200 %, and what a press, a drag out of the button, a modifier click and the wheel send.
#include <gtest/gtest.h>

#include "controls/TKickButton.h"
#include "controls/TOnOff.h"
#include "controls/TRadioButton.h"
#include "gui_support/AutomatingListener.h"
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
        auto* left = b.add(new TKickButton(CRect(100, 20, 140, 40), &l, "", TKickButton::kArrowLeftStyle));
        auto* right = b.add(new TKickButton(CRect(160, 20, 200, 40), &l, "", TKickButton::kArrowRightStyle));
        EXPECT_EQ(b.pixel(29, 29), LED_OFF_COLOR);
        EXPECT_EQ(b.pixel(69, 29), kOff);
        led->setAlwaysOn(true);
        bmp->setValue(1);
        EXPECT_EQ(b.pixel(29, 29), LED_ON_COLOR) << "always on lights a released button";
        EXPECT_EQ(b.pixel(69, 29), kOn);
        led->setBypassed(true);
        EXPECT_TRUE(dimmedOverBlack(b.pixel(29, 29), LED_BYPASSED_COLOR)) << "dimmed wins over always on";
        // Arrows (h 20: length 8, half base 6): the left one's tip at x = 110, the right one's at 190.
        EXPECT_EQ(b.pixel(116, 30), TEXT_COLOR);
        EXPECT_EQ(b.litPixels(CRect(100, 20, 109, 40)), 0);
        EXPECT_EQ(b.pixel(184, 30), TEXT_COLOR);
        EXPECT_EQ(b.litPixels(CRect(191, 20, 200, 40)), 0);
        left->setInvisible(true);
        right->setBypassed(true);
        EXPECT_EQ(b.litPixels(CRect(100, 20, 140, 40)), 0);
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
    struct Case {
        int32_t buttons, listenerAnswer;
        float expect;
    } cases[] = {{kLButton, 0, 1}, {kLButton | kShift, 0, 0}, {kRButton, 0, 1}, {kLButton | kControl, 1, 1},
                 {kLButton | kAlt, 0, 0}};
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
    // setOn at exactly 0.5 sets 1; setOff at 0.5 does nothing.
    sw->setValue(0.5f);
    sw->setOff();
    EXPECT_EQ(sw->getValue(), 0.5f);
    sw->setOn();
    EXPECT_EQ(sw->getValue(), 1.f);
}

TEST(ControlButtons, OnOffBitmapDimmedAtAlpha64) {
    ControlBench b(3);
    CBitmap* strip = stripedBitmap(20, 20, {kOff, kOn});
    auto* sw = b.add(new TOnOff(kLed, nullptr, LAYER_ON_TAGS[0], strip, true));
    strip->forget();
    sw->setState(true);
    EXPECT_EQ(b.pixel(25, 25), kOn);
    sw->setBypassed(true);
    EXPECT_NEAR(b.pixel(25, 25).blue, 200 * 64 / 255, 2);
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
        auto brightest = [&](const CRect& r) {
            b.render();
            int m = 0;
            for (int y = int(r.top); y < int(r.bottom); ++y)
                for (int x = int(r.left); x < int(r.right); ++x) m = std::max<int>(m, b.renderer->getPixel(x, y).green);
            return m;
        };
        EXPECT_LT(brightest(r1->getViewSize()), 100) << "an unselected label is dim";
        b.click(CPoint(70, 30));
        EXPECT_GT(brightest(r1->getViewSize()), 180);
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
