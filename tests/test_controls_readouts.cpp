// Readouts, readout strings, labels and the separator line: what they draw at 100 % and 200 %,
// the momentary press, multi-line captions, the blinking indicator and hiding the line.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls/TLabel.h"
#include "controls/TLine.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "gui_support/ControlTestKit.h"

using namespace guitest;
using namespace tlook;

namespace {

std::vector<CColor> grab(ControlBench& b, const CRect& r) {
    b.render();
    std::vector<CColor> out;
    for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y)
        for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) out.push_back(b.renderer->getPixel(x, y));
    return out;
}

int maxGreen(const std::vector<CColor>& px) {
    int g = 0;
    for (CColor c : px) g = std::max<int>(g, c.green);
    return g;
}

} // namespace

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
        EXPECT_NEAR(maxGreen(grab(b, plain)), TEXT_COLOR.green, 10);
        EXPECT_EQ(b.pixel(1, 1), kBlackCColor) << "no background";
        EXPECT_EQ(b.pixel(1, 30 * s + 1), MENU_INNER_COLOR);
        const auto dark = grab(b, heavy);
        EXPECT_EQ(maxGreen(dark), MENU_INNER_COLOR.green) << "big-font text is black";
        EXPECT_GT(std::count_if(dark.begin(), dark.end(), [](CColor c) { return c.green < 25; }), 10);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(CRect(0, 0, 500, 200)), 0);
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

TEST(Readouts, ReadoutStringKeepsItsFontAtEverySize) {
    std::vector<CColor> seen[4];
    for (int big : {0, 3}) {
        ControlBench b(big);
        b.add(new TReadoutString(CRect(0, 0, 200, 30), nullptr, "Preset", true, false, false));
        b.add(new TReadoutString(CRect(0, 40, 200, 70), nullptr, "Preset", false, false, false));
        seen[big] = grab(b, CRect(0, 40, 200, 70));
        EXPECT_EQ(maxGreen(grab(b, CRect(0, 0, 200, 30))), 0) << "black text";
        EXPECT_EQ(maxGreen(seen[big]), 255) << "white text";
    }
    EXPECT_EQ(seen[0], seen[3]);
}

TEST(Labels, LinesIndicatorAndDimming) {
    for (int big : {0, 3}) {
        SCOPED_TRACE(big);
        ControlBench b(big);
        const CColor c(200, 180, 40, 255);
        auto* two = b.add(new TLabel(CRect(0, 0, 100, 40), "KEY!TRK", kNormalFont, c, 1, 100));
        b.add(new TLabel(CRect(100, 0, 200, 20), "KEY", kNormalFont, c, 1, 100));
        b.add(new TLabel(CRect(100, 20, 200, 40), "TRK", kNormalFont, c, 1, 100));
        EXPECT_EQ(grab(b, CRect(0, 0, 100, 40)), grab(b, CRect(100, 0, 200, 40))) << "each line in half the height";

        const struct {
            bool bypassed, indicator;
            int phase, green;
        } cases[] = {{false, false, 0, 180}, {true, false, 0, 180 * 100 / 255},
                     {true, true, 2, 180},  {false, true, 3, 180 * 100 / 255}};
        for (const auto& k : cases) {
            two->setBypassed(k.bypassed);
            two->setIndicator(k.indicator, k.phase);
            EXPECT_NEAR(maxGreen(grab(b, CRect(0, 0, 100, 40))), k.green, 3) << k.bypassed << k.indicator << k.phase;
        }
        two->setColor(CColor(10, 20, 30, 255));
        EXPECT_EQ(two->getDimmedColor(), CColor(10, 20, 30, 63));
        two->setInvisible(true);
        EXPECT_EQ(b.litPixels(CRect(0, 0, 100, 40)), 0);
    }
}

TEST(Lines, HiddenWithoutLeavingTheTree) {
    for (int big : {0, 3}) {
        ControlBench b(big);
        auto* line = b.add(new TLine(CRect(10, 10, 200, 12), nullptr));
        EXPECT_EQ(b.pixel(100, 11), TLine::LINE_COLOR);
        line->setVisible(false);
        EXPECT_TRUE(line->isDirty());
        EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0);
        line->setVisible(false);
        EXPECT_FALSE(line->isDirty()) << "the same state does not redraw";
        EXPECT_TRUE(line->isVisible());
        line->setVisible(true);
        b.editor.finishedOpening = false;
        EXPECT_EQ(b.litPixels(CRect(0, 0, 400, 300)), 0);
    }
}
