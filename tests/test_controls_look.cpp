// The look every control shares: text rows, delta zones, LEDs and the size tables.
#include <gtest/gtest.h>

#include "gui_support/ControlTestKit.h"

using namespace guitest;
using namespace tlook;

TEST(ControlLook, DeltaZoneEdgesAndTextRowAtEverySize) {
    const CRect r(10, 0, 110, 20);
    for (int big = 0; big < 4; ++big) {
        const int W = MENU_DELTA_BUTTON_WIDTH[big];
        EXPECT_EQ(deltaZoneAt(r, 10, big), -1);
        EXPECT_EQ(deltaZoneAt(r, 10 + W - 0.5, big), -1);
        EXPECT_EQ(deltaZoneAt(r, 10 + W, big), 0) << "the inner edge is not on a zone";
        EXPECT_EQ(deltaZoneAt(r, 110 - W, big), 0);
        EXPECT_EQ(deltaZoneAt(r, 110 - W + 0.5, big), 1);
        const CRect row = textRow(r, 9, big);
        EXPECT_EQ((row.top + row.bottom) / 2, big == 0 ? 11 : 10);
        EXPECT_EQ(row.getHeight(), 10);
    }
    EXPECT_EQ(scaled(35, 1), 43);
    EXPECT_EQ(scaled(35, 7), 35);
}

TEST(ControlLook, LedLitUnlitAndDimmed) {
    struct Case {
        bool on, bypassed;
        CColor expect;
    } cases[] = {{true, false, LED_ON_COLOR}, {false, false, LED_OFF_COLOR}, {true, true, LED_BYPASSED_COLOR}};
    for (const Case& k : cases) {
        Canvas canvas(20, 20);
        drawLed(canvas.ctx(), CRect(0, 0, 20, 20), k.on, k.bypassed);
        const CColor dot = canvas.at(9, 9);
        if (k.expect.alpha == 255) {
            EXPECT_EQ(dot, k.expect);
        } else {
            EXPECT_NEAR(dot.green, k.expect.green * 63 / 255, 3) << "dimmed over black";
        }
        EXPECT_EQ(canvas.ctx()->getDrawMode(), CDrawMode(kAliasing));
    }
}
