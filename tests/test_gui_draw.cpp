// Drawing primitives, pixel by pixel: rectangles, lines, arcs, ellipses, polygons, text,
// bitmaps, alpha, clipping, and the fonts behind the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "gui_support/GuiTestKit.h"
#include "support/TestFiles.h"

using namespace guitest;

namespace {

const CColor kBg(0, 0, 0, 255);
const CColor kInk(200, 40, 10, 255);

struct Box {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool empty() const { return maxX < 0; }
};

Box boundsOf(const std::vector<std::pair<int, int>>& px) {
    Box b;
    for (auto [x, y] : px) {
        b.minX = std::min(b.minX, x);
        b.maxX = std::max(b.maxX, x);
        b.minY = std::min(b.minY, y);
        b.maxY = std::max(b.maxY, y);
    }
    return b;
}

} // namespace

TEST(GuiDrawRect, FilledAliasedCoversExactlyLeftTopToRightBottomExclusive) {
    Canvas c(16, 16, kBg);
    c->setFillColor(kInk);
    c->drawRect(CRect(2, 3, 7, 9), kDrawFilled);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 3 && y < 9;
            EXPECT_EQ(c.at(x, y), inside ? kInk : kBg) << x << "," << y;
        }
}

TEST(GuiDrawRect, StrokedOnePixelFramesTheOutermostRowsAndColumns) {
    Canvas c(16, 16, kBg);
    c->setFrameColor(kInk);
    c->setLineWidth(1);
    c->drawRect(CRect(2, 3, 10, 9), kDrawStroked);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inRect = x >= 2 && x < 10 && y >= 3 && y < 9;
            const bool border = inRect && (x == 2 || x == 9 || y == 3 || y == 8);
            EXPECT_EQ(c.at(x, y), border ? kInk : kBg) << x << "," << y;
        }
}

TEST(GuiDrawRect, FractionalCoordinatesSnapToWholePixelsWhenAliased) {
    Canvas c(12, 12, kBg);
    c->setFillColor(kInk);
    c->drawRect(CRect(1.6, 2.4, 5.4, 6.6), kDrawFilled);
    // (2, 2) .. (5, 7): no half-covered pixels in aliased mode.
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 2 && y < 7;
            EXPECT_EQ(c.at(x, y), inside ? kInk : kBg) << x << "," << y;
        }
}

TEST(GuiDrawLine, OnePixelLinesLandOnWholePixelsWithBothEnds) {
    Canvas c(20, 20, kBg);
    c->setFrameColor(kInk);
    c->drawLine(CPoint(3, 5), CPoint(12, 5));
    c->drawLine(CPoint(15, 2), CPoint(15, 17));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool h = y == 5 && x >= 3 && x <= 12;
            const bool v = x == 15 && y >= 2 && y <= 17;
            EXPECT_EQ(c.at(x, y), (h || v) ? kInk : kBg) << x << "," << y;
        }
}

TEST(GuiDrawLine, PenLinesAndDashes) {
    Canvas c(30, 10, kBg);
    c->setFrameColor(kInk);
    c->moveTo(CPoint(0, 2));
    c->lineTo(CPoint(9, 2));
    c->lineTo(CPoint(9, 7));
    EXPECT_EQ(c.at(0, 2), kInk);
    EXPECT_EQ(c.at(9, 7), kInk);
    EXPECT_EQ(c->getPenPosition(), CPoint(9, 7));
    c->setLineStyle(kLineOnOffDash);
    c->drawLine(CPoint(12, 5), CPoint(27, 5));
    int lit = 0;
    for (int x = 12; x <= 27; ++x) lit += c.at(x, 5) == kInk;
    EXPECT_GT(lit, 4);
    EXPECT_LT(lit, 14); // gaps between the dashes
}

TEST(GuiDrawArc, DegreesStartAtThreeOClockAndRunClockwise) {
    struct Case {
        float from, to;
        int quadrant; // 0 lower right, 1 lower left, 2 upper left, 3 upper right
    };
    for (const Case cs : {Case{0, 90, 0}, Case{90, 180, 1}, Case{180, 270, 2}, Case{270, 360, 3}}) {
        Canvas c(41, 41, kBg);
        c->setFrameColor(kInk);
        c->setLineWidth(2);
        c->drawArc(CRect(0, 0, 41, 41), cs.from, cs.to, kDrawStroked);
        int counts[4] = {0, 0, 0, 0};
        for (auto [x, y] : c.changed(kBg)) {
            // Pixels on the two axes belong to both neighbours; leave them out.
            if (x == 20 || y == 20) continue;
            const bool right = x > 20, lower = y > 20;
            counts[lower ? (right ? 0 : 1) : (right ? 3 : 2)]++;
        }
        for (int q = 0; q < 4; ++q) {
            if (q == cs.quadrant)
                EXPECT_GT(counts[q], 20) << cs.from;
            else
                EXPECT_EQ(counts[q], 0) << cs.from << " quadrant " << q;
        }
    }
}

TEST(GuiDrawArc, FilledArcIsASliceAndNegativeStartAnglesWrap) {
    Canvas c(40, 40, kBg);
    c->setFillColor(kInk);
    c->drawArc(CRect(0, 0, 40, 40), 0, 90, kDrawFilled);
    EXPECT_EQ(c.at(28, 28), kInk);
    EXPECT_EQ(c.at(11, 11), kBg);
    EXPECT_EQ(c.at(11, 28), kBg);

    Canvas d(40, 40, kBg);
    d->setFillColor(kInk);
    d->drawArc(CRect(0, 0, 40, 40), -90, 0, kDrawFilled); // the upper right quarter
    EXPECT_EQ(d.at(28, 11), kInk);
    EXPECT_EQ(d.at(28, 28), kBg);
}

TEST(GuiDrawEllipse, FilledAndStrokedStayInsideTheirRectangle) {
    Canvas c(30, 20, kBg);
    c->setFillColor(kInk);
    c->drawEllipse(CRect(5, 2, 25, 18), kDrawFilled);
    EXPECT_EQ(c.at(15, 10), kInk);
    EXPECT_EQ(c.at(5, 2), kBg); // corner of the box
    const Box b = boundsOf(c.changed(kBg));
    EXPECT_EQ(b.minX, 5);
    EXPECT_EQ(b.maxX, 24);
    EXPECT_EQ(b.minY, 2);
    EXPECT_EQ(b.maxY, 17);

    Canvas s(30, 20, kBg);
    s->setFrameColor(kInk);
    s->drawEllipse(CRect(5, 2, 25, 18), kDrawStroked);
    EXPECT_EQ(s.at(15, 10), kBg); // hollow
    const Box sb = boundsOf(s.changed(kBg));
    EXPECT_GE(sb.minX, 5);
    EXPECT_LE(sb.maxX, 24);
    EXPECT_GE(sb.minY, 2);
    EXPECT_LE(sb.maxY, 17);
    EXPECT_EQ(s.at(15, 2), kInk);  // top of the ring
    EXPECT_EQ(s.at(15, 17), kInk); // bottom
}

TEST(GuiDrawPolygon, FilledClosesStrokedIsAnOpenPolyline) {
    const PointList pts = {CPoint(2, 2), CPoint(22, 2), CPoint(22, 22)};
    Canvas f(25, 25, kBg);
    f->setFillColor(kInk);
    f->drawPolygon(pts, kDrawFilled);
    EXPECT_EQ(f.at(18, 8), kInk); // inside the triangle
    EXPECT_EQ(f.at(6, 18), kBg);

    Canvas s(25, 25, kBg);
    s->setFrameColor(kInk);
    s->drawPolygon(pts, kDrawStroked);
    EXPECT_EQ(s.at(12, 2), kInk);  // first segment
    EXPECT_EQ(s.at(22, 12), kInk); // second segment
    EXPECT_EQ(s.at(12, 12), kBg);  // the closing diagonal is not drawn
    EXPECT_EQ(s.at(18, 8), kBg);   // not filled
}

TEST(GuiDrawMode, AntiAliasingBlendsEdgesAliasingDoesNot) {
    auto distinct = [](Canvas& c) {
        std::vector<uint32_t> values;
        for (auto [x, y] : c.changed(kBg)) {
            const CColor p = c.at(x, y);
            values.push_back((p.red << 16) | (p.green << 8) | p.blue);
        }
        std::sort(values.begin(), values.end());
        return std::unique(values.begin(), values.end()) - values.begin();
    };
    Canvas a(30, 30, kBg);
    a->setFrameColor(kWhiteCColor);
    a->drawLine(CPoint(2, 3), CPoint(27, 21));
    EXPECT_EQ(distinct(a), 1);
    Canvas b(30, 30, kBg);
    b->setFrameColor(kWhiteCColor);
    b->setDrawMode(kAntiAliasing);
    b->drawLine(CPoint(2, 3), CPoint(27, 21));
    EXPECT_GT(distinct(b), 3);
}

TEST(GuiDrawAlpha, GlobalAlphaScalesEverything) {
    Canvas c(10, 10, kBlackCColor);
    c->setGlobalAlpha(0.5f);
    c->setFillColor(kWhiteCColor);
    c->drawRect(CRect(0, 0, 10, 10), kDrawFilled);
    EXPECT_NEAR(c.at(3, 3).red, 128, 1);
    c->setGlobalAlpha(2.f); // clamped
    EXPECT_EQ(c->getGlobalAlpha(), 1.f);
}

TEST(GuiDrawClip, SaveAndRestoreBringTheClipBack) {
    Canvas c(20, 20, kBg);
    c->setClipRect(CRect(0, 0, 10, 20));
    c->saveGlobalState();
    c->setClipRect(CRect(0, 0, 5, 5));
    c->setFillColor(kWhiteCColor);
    c->drawRect(CRect(0, 0, 20, 20), kDrawFilled);
    EXPECT_EQ(c.at(4, 4), kWhiteCColor);
    EXPECT_EQ(c.at(6, 6), kBg);
    c->restoreGlobalState();
    CRect clip;
    EXPECT_EQ(c->getClipRect(clip), CRect(0, 0, 10, 20));
    EXPECT_EQ(c->getFillColor(), kBlackCColor); // the fill colour came back too
    c->setFillColor(kInk);
    c->drawRect(CRect(0, 0, 20, 20), kDrawFilled);
    EXPECT_EQ(c.at(9, 15), kInk);
    EXPECT_EQ(c.at(10, 15), kBg);
    // A clip can never reach beyond the drawable area.
    c->setClipRect(CRect(-50, -50, 500, 500));
    EXPECT_EQ(c->getClipRect(clip), CRect(0, 0, 20, 20));
}

TEST(GuiDrawText, AlignmentWithinTheRectangle) {
    const CRect box(10, 10, 190, 40);
    auto inkOf = [&](CHoriTxtAlign align) {
        Canvas c(200, 50, kBg);
        c->setFont(kNormalFontBig);
        c->setFontColor(kWhiteCColor);
        c->drawString("Tavrolune", box, align);
        return boundsOf(c.changed(kBg));
    };
    Canvas m(10, 10);
    m->setFont(kNormalFontBig);
    const double width = m->getStringWidth("Tavrolune");
    ASSERT_GT(width, 40);

    const Box left = inkOf(kLeftText);
    ASSERT_FALSE(left.empty());
    EXPECT_NEAR(left.minX, box.left, 2);
    const Box right = inkOf(kRightText);
    EXPECT_NEAR(right.maxX + 1, box.right, 2);
    const Box centre = inkOf(kCenterText);
    EXPECT_NEAR((centre.minX + centre.maxX + 1) / 2.0, (box.left + box.right) / 2, 1.5);
    EXPECT_NEAR(right.minX - left.minX, box.getWidth() - width, 2);
    // Vertically: capital letters sit in the middle of the rectangle.
    for (const Box& b : {left, right, centre}) {
        EXPECT_GE(b.minY, box.top);
        EXPECT_LT(b.maxY, box.bottom);
    }
    Canvas h(200, 50, kBg);
    h->setFont(kNormalFontBig);
    h->setFontColor(kWhiteCColor);
    h->drawString("HHH", box, kCenterText);
    const Box caps = boundsOf(h.changed(kBg));
    EXPECT_NEAR((caps.minY + caps.maxY + 1) / 2.0, (box.top + box.bottom) / 2, 1.5);
}

TEST(GuiDrawText, TextIsClippedToItsRectangle) {
    Canvas c(100, 30, kBg);
    c->setFont(kNormalFontVeryBig);
    c->setFontColor(kWhiteCColor);
    const CRect box(20, 5, 40, 25);
    c->drawString("WWWWWWWWWW", box, kLeftText);
    const auto px = c.changed(kBg);
    ASSERT_FALSE(px.empty());
    for (auto [x, y] : px) {
        EXPECT_GE(x, 20);
        EXPECT_LT(x, 40);
        EXPECT_GE(y, 5);
        EXPECT_LT(y, 25);
    }
}

TEST(GuiDrawText, StringWidthMeasuresTheFontInUse) {
    Canvas c(10, 10);
    c->setFont(kNormalFont);
    EXPECT_EQ(c->getStringWidth(""), 0);
    EXPECT_EQ(c->getStringWidth(nullptr), 0);
    const double w1 = c->getStringWidth("WWWW");
    const double i1 = c->getStringWidth("iiii");
    EXPECT_GT(w1, i1 * 1.5);
    EXPECT_NEAR(c->getStringWidth("ab"), c->getStringWidth("a") + c->getStringWidth("b"), 1.0);
    c->setFont(kNormalFont, 24); // a size given with the font replaces the font's own
    EXPECT_NEAR(c->getStringWidth("WWWW"), w1 * 2, w1 * 0.15);
    c->setFont(kNormalFont, 0, kBoldFace);
    EXPECT_GT(c->getStringWidth("WWWW"), w1);
}

TEST(GuiFonts, StandardFontsHaveFixedPixelSizes) {
    EXPECT_EQ(kNormalFontVerySmall->getSize(), 9);
    EXPECT_EQ(kNormalFontSmaller->getSize(), 10);
    EXPECT_EQ(kNormalFontSmall->getSize(), 11);
    EXPECT_EQ(kNormalFont->getSize(), 12);
    EXPECT_EQ(kNormalFontBig->getSize(), 14);
    EXPECT_EQ(kNormalFontVeryBig->getSize(), 18);
    EXPECT_EQ(kSystemFont->getSize(), 12);
}

TEST(GuiFonts, VerdanaResolvesToDejaVuSansByNameBoldIncluded) {
    CFontDesc regular("Verdana", 10);
    CFontDesc bold("Verdana", 10, kBoldFace);
    CFontDesc variant("Verdanaial", 13);
    EXPECT_EQ(CFontDesc::familyFor("Verdana"), "DejaVu Sans");
    EXPECT_EQ(regular.getResolvedFamily(), "DejaVu Sans");
    EXPECT_TRUE(regular.isResolved());
    EXPECT_EQ(bold.getResolvedFamily(), "DejaVu Sans");
    EXPECT_TRUE(bold.isResolved());
    EXPECT_EQ(variant.getResolvedFamily(), "DejaVu Sans");
    EXPECT_TRUE(kNormalFont->isResolved());
    // Bold is really the bold face: wider strokes, more ink.
    Canvas a(120, 30, kBg), b(120, 30, kBg);
    a->setFont(&regular);
    b->setFont(&bold);
    a->setFontColor(kWhiteCColor);
    b->setFontColor(kWhiteCColor);
    a->drawString("Mmmm", CRect(0, 0, 120, 30), kLeftText);
    b->drawString("Mmmm", CRect(0, 0, 120, 30), kLeftText);
    EXPECT_GT(b.changed(kBg).size(), a.changed(kBg).size() * 11 / 10);
}

TEST(GuiFonts, AnUnknownFamilyIsDetectable) {
    CFontDesc f("NoSuchFamilyAnywhere", 12);
    EXPECT_FALSE(f.isResolved());
    // It still draws, with the default face.
    Canvas c(80, 20, kBg);
    c->setFont(&f);
    c->drawString("abc", CRect(0, 0, 80, 20), kLeftText);
    EXPECT_FALSE(c.changed(kBg).empty());
}

TEST(GuiBitmap, RegionAtAnOffsetIsDrawnOneToOne) {
    const std::vector<CColor> stripes = {CColor(255, 0, 0), CColor(0, 255, 0), CColor(0, 0, 255), CColor(255, 255, 0)};
    CBitmap* strip = stripedBitmap(10, 10, stripes);
    ASSERT_TRUE(strip->isLoaded());
    EXPECT_EQ(strip->getWidth(), 10);
    EXPECT_EQ(strip->getHeight(), 40);
    Canvas c(30, 30, kBg);
    strip->draw(c.ctx(), CRect(5, 5, 15, 15), CPoint(0, 20));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 5 && y < 15;
            EXPECT_EQ(c.at(x, y), inside ? stripes[2] : kBg) << x << "," << y;
        }
    // An offset in the middle of a stripe shows both neighbours at the right rows.
    Canvas d(10, 10, kBg);
    strip->draw(d.ctx(), CRect(0, 0, 10, 10), CPoint(0, 15));
    EXPECT_EQ(d.at(2, 4), stripes[1]);
    EXPECT_EQ(d.at(2, 5), stripes[2]);
    strip->forget();
}

TEST(GuiBitmap, AlphaBlend63) {
    CBitmap* white = stripedBitmap(8, 8, {kWhiteCColor});
    Canvas c(8, 8, kBlackCColor);
    white->drawAlphaBlend(c.ctx(), CRect(0, 0, 8, 8), CPoint(0, 0), 63);
    for (int x = 0; x < 8; ++x) EXPECT_NEAR(c.at(x, 4).red, 63, 1);
    Canvas d(8, 8, kBlackCColor);
    white->drawAlphaBlend(d.ctx(), CRect(0, 0, 8, 8), CPoint(0, 0), 64);
    EXPECT_NEAR(d.at(3, 3).green, 64, 1);
    white->forget();
}

TEST(GuiBitmap, LoadsByResourceIdAndAMissingOneIsDetectable) {
    GuiStateGuard state;
    const std::string folder = testfiles::makeScratchFolder("gui-bitmaps");
    ASSERT_FALSE(folder.empty());
    CBitmap* made = stripedBitmap(12, 7, {CColor(10, 20, 30), CColor(40, 50, 60)});
    ASSERT_EQ(cairo_surface_write_to_png(made->getSurface(), (folder + "/bmp10060.png").c_str()), CAIRO_STATUS_SUCCESS);
    made->forget();
    EXPECT_EQ(CBitmap::resourceFileName(10060), "bmp10060.png");
    EXPECT_EQ(CBitmap::resourceFileName(7), "bmp00007.png");
    CBitmap::setResourceFolder(folder);

    CBitmap* led = new CBitmap(CResourceDescription(10060));
    EXPECT_TRUE(led->isLoaded());
    EXPECT_EQ(led->getWidth(), 12);
    EXPECT_EQ(led->getHeight(), 14);
    EXPECT_EQ(led->getPath(), folder + "/bmp10060.png");
    Canvas c(12, 7, kBg);
    led->draw(c.ctx(), CRect(0, 0, 12, 7), CPoint(0, 7));
    EXPECT_EQ(c.at(5, 3), CColor(40, 50, 60));
    led->forget();

    CBitmap* missing = new CBitmap(CResourceDescription(13999));
    EXPECT_FALSE(missing->isLoaded());
    EXPECT_EQ(missing->getWidth(), 0);
    Canvas e(5, 5, kBg);
    missing->draw(e.ctx(), CRect(0, 0, 5, 5));
    EXPECT_TRUE(e.changed(kBg).empty());
    missing->forget();

    // A file that is no PNG is a missing bitmap too; names cannot leave the folder.
    testfiles::writeFile(folder + "/bmp10061.png", "not a png");
    CBitmap* broken = new CBitmap(CResourceDescription(10061));
    EXPECT_FALSE(broken->isLoaded());
    broken->forget();
    CBitmap* named = new CBitmap(CResourceDescription("bmp10060"));
    EXPECT_TRUE(named->isLoaded());
    named->forget();
    CBitmap* escaping = new CBitmap(CResourceDescription("../x"));
    EXPECT_FALSE(escaping->isLoaded());
    escaping->forget();
}
