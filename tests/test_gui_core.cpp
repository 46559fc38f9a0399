// The GUI layer off screen: drawing, the view tree, events, menus, file selectors and the
// editor binding.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <algorithm>
#include <thread>

#include "gui/X11Window.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "support/PluginHarness.h"
#include "support/TestFiles.h"

using namespace guitest;

namespace {

const CColor kBg(0, 0, 0, 255);
const CColor kInk(200, 40, 10, 255);
const CRect kFrameRect(0, 0, 200, 150);

struct Box {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
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

// Every pixel of the canvas is ink exactly where `inked` says so.
template <typename Inked>
void expectInk(Canvas& c, Inked inked) {
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) ASSERT_EQ(c.at(x, y), inked(x, y) ? kInk : kBg) << x << "," << y;
}

}  // namespace

// --- drawing, pixel by pixel ---------------------------------------------------------------

TEST(GuiDraw, RectanglesAndOnePixelLinesLandOnWholePixels) {
    Canvas filled(16, 16, kBg);
    filled->setFillColor(kInk);
    filled->drawRect(CRect(2, 3, 7, 9), kDrawFilled);
    expectInk(filled, [](int x, int y) { return x >= 2 && x < 7 && y >= 3 && y < 9; });

    Canvas framed(16, 16, kBg);
    framed->setFrameColor(kInk);
    framed->setLineWidth(1);
    framed->drawRect(CRect(2, 3, 10, 9), kDrawStroked);
    expectInk(framed, [](int x, int y) {
        return x >= 2 && x < 10 && y >= 3 && y < 9 && (x == 2 || x == 9 || y == 3 || y == 8);
    });

    Canvas lines(20, 20, kBg);
    lines->setFrameColor(kInk);
    lines->drawLine(CPoint(3, 5), CPoint(12, 5));
    lines->moveTo(CPoint(15, 2));
    lines->lineTo(CPoint(15, 17));
    expectInk(lines, [](int x, int y) { return (y == 5 && x >= 3 && x <= 12) || (x == 15 && y >= 2 && y <= 17); });

    Canvas dashed(30, 10, kBg);
    dashed->setFrameColor(kInk);
    dashed->setLineStyle(kLineOnOffDash);
    dashed->drawLine(CPoint(12, 5), CPoint(27, 5));
    int lit = 0;
    for (int x = 12; x <= 27; ++x) lit += dashed.at(x, 5) == kInk;
    EXPECT_TRUE(lit > 4 && lit < 14) << "dashes with gaps: " << lit;
}

TEST(GuiDraw, ArcDegreesStartAtThreeOClockAndRunClockwise) {
    const std::pair<float, int> cases[] = {{0, 0}, {90, 1}, {180, 2}, {270, 3}};  // lower right, lower left, ...
    for (auto [from, quadrant] : cases) {
        Canvas c(41, 41, kBg);
        c->setFrameColor(kInk);
        c->setLineWidth(2);
        c->drawArc(CRect(0, 0, 41, 41), from, from + 90, kDrawStroked);
        int counts[4] = {0, 0, 0, 0};
        for (auto [x, y] : c.changed(kBg))
            if (x != 20 && y != 20) counts[y > 20 ? (x > 20 ? 0 : 1) : (x > 20 ? 3 : 2)]++;
        for (int q = 0; q < 4; ++q) EXPECT_EQ(counts[q] > 20, q == quadrant) << from << " quadrant " << q;
        EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3], counts[quadrant]) << from;
    }
}

TEST(GuiDraw, AntiAliasingBlendsEdgesAndTheClipComesBackWithTheState) {
    auto distinct = [](CDrawMode mode) {
        Canvas c(30, 30, kBg);
        c->setFrameColor(kWhiteCColor);
        c->setDrawMode(mode);
        c->drawLine(CPoint(2, 3), CPoint(27, 21));
        std::vector<uint8_t> values;
        for (auto [x, y] : c.changed(kBg)) values.push_back(c.at(x, y).red);
        std::sort(values.begin(), values.end());
        return std::unique(values.begin(), values.end()) - values.begin();
    };
    EXPECT_EQ(distinct(kAliasing), 1);
    EXPECT_GT(distinct(kAntiAliasing), 3);

    Canvas c(20, 20, kBg);
    c->setClipRect(CRect(0, 0, 10, 20));
    c->saveGlobalState();
    c->setClipRect(CRect(0, 0, 5, 5));
    c->setFillColor(kWhiteCColor);
    c->drawRect(CRect(0, 0, 20, 20), kDrawFilled);
    EXPECT_EQ(c.at(4, 4), kWhiteCColor);
    EXPECT_EQ(c.at(6, 6), kBg);
    c->restoreGlobalState();
    EXPECT_EQ(c->getFillColor(), kBlackCColor);  // the fill colour came back too
    c->setFillColor(kInk);
    c->drawRect(CRect(0, 0, 20, 20), kDrawFilled);
    EXPECT_EQ(c.at(9, 15), kInk);
    EXPECT_EQ(c.at(10, 15), kBg);
    CRect clip;
    c->setClipRect(CRect(-50, -50, 500, 500));
    EXPECT_EQ(c->getClipRect(clip), CRect(0, 0, 20, 20)) << "never beyond the drawable area";
}

TEST(GuiDraw, TextIsAlignedAndClippedWithinItsRectangle) {
    const CRect box(10, 10, 190, 40);
    auto inkOf = [&](const char* text, CHoriTxtAlign align, const CRect& r) {
        Canvas c(200, 50, kBg);
        c->setFont(kNormalFontBig);
        c->setFontColor(kWhiteCColor);
        c->drawString(text, r, align);
        return boundsOf(c.changed(kBg));
    };
    Canvas m(10, 10);
    m->setFont(kNormalFontBig);
    const double width = m->getStringWidth("Tavrolune");
    const Box left = inkOf("Tavrolune", kLeftText, box), right = inkOf("Tavrolune", kRightText, box);
    const Box centre = inkOf("Tavrolune", kCenterText, box), caps = inkOf("HHH", kCenterText, box);
    EXPECT_NEAR(left.minX, box.left, 2);
    EXPECT_NEAR(right.maxX + 1, box.right, 2);
    EXPECT_NEAR(right.minX - left.minX, box.getWidth() - width, 2);
    EXPECT_NEAR((centre.minX + centre.maxX + 1) / 2.0, (box.left + box.right) / 2, 1.5);
    EXPECT_NEAR((caps.minY + caps.maxY + 1) / 2.0, (box.top + box.bottom) / 2, 1.5) << "capitals sit in the middle";
    const Box clipped = inkOf("WWWWWWWWWW", kLeftText, CRect(20, 5, 40, 25));
    EXPECT_TRUE(clipped.minX >= 20 && clipped.maxX < 40 && clipped.minY >= 5 && clipped.maxY < 25);
}

TEST(GuiDraw, StringWidthMeasuresTheFontInUseAndBoldIsTheBoldFace) {
    Canvas c(10, 10);
    c->setFont(kNormalFont);
    const double w1 = c->getStringWidth("WWWW");
    EXPECT_GT(w1, c->getStringWidth("iiii") * 1.5);
    c->setFont(kNormalFont, 24);  // a size given with the font replaces the font's own
    EXPECT_NEAR(c->getStringWidth("WWWW"), w1 * 2, w1 * 0.15);
    CFontDesc regular("Verdana", 10), bold("Verdana", 10, kBoldFace);
    auto ink = [](CFontDesc* font) {
        Canvas a(120, 30, kBg);
        a->setFont(font);
        a->setFontColor(kWhiteCColor);
        a->drawString("Mmmm", CRect(0, 0, 120, 30), kLeftText);
        return a.changed(kBg).size();
    };
    EXPECT_GT(ink(&bold), ink(&regular) * 11 / 10) << "wider strokes, more ink";
}

TEST(GuiBitmap, RegionsAtAnOffsetAreDrawnOneToOneAndAlphaBlends) {
    const std::vector<CColor> stripes = {CColor(255, 0, 0), CColor(0, 255, 0), CColor(0, 0, 255), CColor(255, 255, 0)};
    CBitmap* strip = stripedBitmap(10, 10, stripes);
    Canvas c(30, 30, kBg);
    strip->draw(c.ctx(), CRect(5, 5, 15, 15), CPoint(0, 20));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(c.at(x, y), x >= 5 && x < 15 && y >= 5 && y < 15 ? stripes[2] : kBg) << x << "," << y;
    strip->forget();

    CBitmap* white = stripedBitmap(8, 8, {kWhiteCColor});
    Canvas e(8, 8, kBlackCColor);
    white->drawAlphaBlend(e.ctx(), CRect(0, 0, 8, 8), CPoint(0, 0), 63);
    EXPECT_NEAR(e.at(3, 4).red, 63, 1);
    white->forget();
}

TEST(GuiBitmap, LoadsByResourceIdAndAMissingOrBrokenOneIsDetectable) {
    GuiStateGuard state;
    const std::string folder = testfiles::makeScratchFolder("gui-bitmaps");
    CBitmap* made = stripedBitmap(12, 7, {CColor(10, 20, 30), CColor(40, 50, 60)});
    ASSERT_EQ(cairo_surface_write_to_png(made->getSurface(), (folder + "/bmp10060.png").c_str()), CAIRO_STATUS_SUCCESS);
    made->forget();
    testfiles::writeFile(folder + "/bmp10061.png", "not a png");
    CBitmap::setResourceFolder(folder);
    CBitmap* led = new CBitmap(CResourceDescription(10060));
    Canvas c(12, 7, kBg);
    led->draw(c.ctx(), CRect(0, 0, 12, 7), CPoint(0, 7));
    EXPECT_EQ(c.at(5, 3), CColor(40, 50, 60));
    led->forget();
    // Missing, no PNG, or a name leaving the folder: not loaded, and it draws nothing.
    for (const CResourceDescription& r : {CResourceDescription(13999), CResourceDescription(10061), CResourceDescription("../x")}) {
        CBitmap* b = new CBitmap(r);
        EXPECT_FALSE(b->isLoaded());
        Canvas e(5, 5, kBg);
        b->draw(e.ctx(), CRect(0, 0, 5, 5));
        EXPECT_TRUE(e.changed(kBg).empty());
        b->forget();
    }
}

// --- the view tree: ownership, dirty state, edit gestures, coordinates, tooltips, threads --

TEST(GuiOwnership, RemovingHandsBackOrReleasesAndMisuseIsDetectedAndSafe) {
    GuiStateGuard state;
    auto* c = new CViewContainer(CRect(0, 0, 100, 100));
    auto* other = new CViewContainer(CRect(0, 0, 100, 100));
    bool d1 = false, d2 = false;
    auto* a = new ProbeView(CRect(0, 0, 10, 10));
    auto* b = new ProbeView(CRect(10, 0, 20, 10));
    a->destroyed = &d1, b->destroyed = &d2;
    c->addView(a);
    c->addView(b);
    EXPECT_TRUE(c->removeView(a, false) && !d1 && !a->getParentView());  // handed back
    EXPECT_TRUE(c->removeView(b, true) && d2);                            // released
    EXPECT_FALSE(c->removeView(b, true));  // no longer a child: nothing happens
    c->addView(a);
    EXPECT_FALSE(other->addView(a)) << "a view cannot have two parents";
    EXPECT_FALSE(c->addView(c));
    other->addView(c);
    EXPECT_FALSE(c->addView(other)) << "nor an ancestor as a child";
    a->forget();  // wrong: the container owns that reference; still in place, still usable
    EXPECT_TRUE(!d1 && c->getView(0) == a);
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    c->addView(v);
    delete v;  // wrong, but must not leave a dangling child
    EXPECT_EQ(c->getNbViews(), 1u);
    for (GuiFault fault : {GuiFault::kAddAttachedView, GuiFault::kForgetWhileAttached, GuiFault::kDeleteWhileAttached})
        EXPECT_EQ(guiFaultCount(fault), 1u);
    other->forget();  // releases c, which releases a
    EXPECT_TRUE(d1);
}

TEST(GuiOwnership, OpenCloseCyclesLeaveNothingBehindAndEndEveryGesture) {
    GuiStateGuard state;
    RecordingEditor editor;
    const int64_t before = CBaseObject::liveObjects();
    for (int cycle = 0; cycle < 3; ++cycle) {  // a frame like the editor's
        auto* frame = new CFrame(kFrameRect, &editor);
        ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
        CBitmap* bg = stripedBitmap(200, 150, {CColor(20, 20, 20)});
        frame->setBackground(bg);
        std::vector<CControl*> keep;
        for (int i = 0; i < 3; ++i) {
            auto* box = new CViewContainer(CRect(10 + 60 * i, 10, 60 + 60 * i, 140));
            box->setBackground(bg);
            auto* knob = new CAnimKnob(CRect(5, 5, 45, 45), nullptr, i, 4, 40, bg);
            knob->remember();  // the editor keeps its own reference, as it does with its controls
            keep.push_back(knob);
            box->addView(knob);
            box->addView(new COnOffButton(CRect(5, 50, 25, 60), nullptr, 10 + i, bg));
            auto* menu = new COptionMenu(CRect(5, 70, 45, 85), nullptr, 20 + i);
            auto* sub = new COptionMenu();
            sub->addEntry("Deep");
            menu->addEntry(sub, "More");
            sub->forget();
            box->addView(menu);
            box->addView(new CTextEdit(CRect(5, 90, 45, 100), nullptr, 9999, "12"));
            frame->addView(box);
        }
        bg->forget();
        OffscreenRenderer(frame).renderAll();
        frame->platformOnMouseDown(CPoint(30, 30), kLButton);  // a knob drag left open
        frame->platformOnMouseMoved(CPoint(30, 20), kLButton);
        frame->platformOnMouseDown(CPoint(30, 100), kLButton);  // a text field being edited
        frame->close();                                          // releases what is attached
        for (CControl* c : keep) c->forget();                    // the editor's own references
        ASSERT_EQ(CBaseObject::liveObjects(), before) << "cycle " << cycle;
    }
    EXPECT_TRUE(state.faults.empty());
    int begins = 0, ends = 0;
    for (const std::string& e : editor.edits) (e.rfind("begin", 0) == 0 ? begins : ends)++;
    EXPECT_TRUE(begins == ends && begins > 0) << "the interrupted drags included";
}

TEST(GuiDirty, SetValueClampsNeverNotifiesAndMarksUntilDrawn) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    RecordingListener listener;
    auto* knob = new CAnimKnob(CRect(10, 10, 30, 30), &listener, 1, 1, 20, nullptr);
    f->addView(knob);
    OffscreenRenderer r(f.get());
    r.renderAll();
    knob->setValue(0.25f);
    EXPECT_TRUE(listener.changes.empty());
    EXPECT_TRUE(knob->isDirty());
    r.renderInvalid();
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.25f);  // the value last drawn: not dirty
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(7.f);
    EXPECT_EQ(knob->getValue(), 1.f);
    knob->setValue(-3.f);
    EXPECT_EQ(knob->getValue(), 0.f);
}

TEST(GuiDirty, IdleRepaintsOnlyTheInvalidRegion) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* box = new CViewContainer(CRect(50, 40, 150, 140));
    auto* inner = new ProbeView(CRect(10, 20, 30, 40), CColor(0, 200, 0));
    auto* other = new ProbeView(CRect(60, 60, 90, 90), CColor(0, 0, 200));
    auto* outside = new ProbeView(CRect(0, 0, 20, 20), CColor(200, 0, 0));
    box->addView(inner);
    box->addView(other);
    f->addView(box);
    f->addView(outside);
    OffscreenRenderer r(f.get());
    r.renderInvalid();  // the first paint covers everything
    EXPECT_EQ(outside->draws, 1);
    inner->color = CColor(250, 250, 0);
    inner->setDirty(true);
    EXPECT_EQ(r.renderInvalid(), std::vector<CRect>{CRect(60, 60, 80, 80)});  // in frame coordinates
    EXPECT_EQ(inner->draws + other->draws + outside->draws, 4);
    EXPECT_EQ(r.getPixel(65, 65), CColor(250, 250, 0));
    EXPECT_TRUE(r.renderInvalid().empty());  // nothing left
    other->invalid();
    r.renderInvalid();
    EXPECT_EQ(other->draws, 2);
    outside->setVisible(false);  // hiding a view repaints the place where it was
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(5, 5), kBlackCColor);
}

TEST(GuiDirty, AViewDirtyAfterAPartialPaintIsDrawnWholeAtTheNextIdle) {
    // Like the editor's screens, this view clears its own flag when it draws.
    struct Screen : ProbeView {
        using ProbeView::ProbeView;
        void draw(CDrawContext* c) override {
            ProbeView::draw(c);
            setDirty(false);
        }
    };
    const CColor before(0, 200, 0), after(250, 250, 0);
    for (bool markContainer : {false, true}) {
        SCOPED_TRACE(markContainer ? "container marked" : "view marked");
        GuiStateGuard state;
        OffscreenFrame f(kFrameRect);
        auto* box = new CViewContainer(CRect(50, 40, 150, 140));
        box->setBackgroundColor(before);
        auto* screen = new Screen(CRect(10, 10, 90, 50), before);  // 60,50 .. 140,90 in the frame
        box->addView(screen);
        f->addView(box);
        OffscreenRenderer r(f.get());
        r.renderInvalid();
        if (markContainer) {
            box->setBackgroundColor(after);  // shows below the screen, at 60,100
        } else {
            screen->color = after;
            screen->setDirty(true);
        }
        // A pop-up list leaves: only its own small place is painted at once.
        {
            CDrawContext c(r.getImage());
            f->platformDrawRect(&c, CRect(55, 45, 80, 60));
        }
        const CPoint away = markContainer ? CPoint(140, 130) : CPoint(130, 80);
        EXPECT_EQ(markContainer ? r.getPixel(56, 46) : r.getPixel(70, 55), after);
        EXPECT_EQ(r.getPixel(static_cast<int>(away.x), static_cast<int>(away.y)), before) << "not painted yet";
        // The next idle draws the marked view whole, then nothing is left.
        const std::vector<CRect> drawn = r.renderInvalid();
        const CRect whole = markContainer ? CRect(50, 40, 150, 140) : CRect(60, 50, 140, 90);
        EXPECT_EQ(drawn, std::vector<CRect>{whole});
        EXPECT_EQ(r.getPixel(static_cast<int>(away.x), static_cast<int>(away.y)), after);
        EXPECT_TRUE(r.renderInvalid().empty());
        EXPECT_FALSE(box->isDirty());
    }
}

TEST(GuiEdit, BeginEndCountAndAControlLeavingTheTreeEndsItsGesture) {
    GuiStateGuard state;
    RecordingEditor editor;
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener listener;
    auto* c = new CAnimKnob(CRect(0, 0, 40, 40), &listener, 42, 1, 10, nullptr);
    f->addView(c);
    c->endEdit();  // nothing begun: ignored
    c->beginEdit();
    c->beginEdit();  // nested: no second host gesture
    c->endEdit();
    EXPECT_TRUE(c->isEditing());
    c->endEdit();
    c->endEdit();  // unmatched
    EXPECT_FALSE(c->isEditing());
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 42", "end 42"}));
    EXPECT_EQ(listener.begins + listener.ends, 2);

    f->platformOnMouseDown(CPoint(20, 20), kLButton);  // a drag begins
    f->removeView(c, true);                            // a page switch in mid-drag
    EXPECT_EQ(editor.edits.back(), "end 42");
    f->platformOnMouseMoved(CPoint(20, 10), kLButton);  // nothing left to reach
    f->platformOnMouseUp(CPoint(20, 10), kLButton);
    EXPECT_EQ(editor.edits.size(), 4u);
}

TEST(GuiTree, ChildrenAreRelativeToTheirContainerAndHitTestingTakesTheTopmost) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* outer = new CViewContainer(CRect(20, 30, 180, 140));
    auto* inner = new CViewContainer(CRect(10, 5, 100, 80));
    auto* v = new ProbeView(CRect(4, 6, 14, 16));
    auto* above = new ProbeView(CRect(4, 6, 8, 10));
    inner->addView(v);
    inner->addView(above);
    outer->addView(inner);
    f->addView(outer);
    CPoint p(4, 6);
    v->localToFrame(p);
    EXPECT_EQ(p, CPoint(34, 41));
    v->frameToLocal(p);
    EXPECT_EQ(p, CPoint(4, 6));
    EXPECT_EQ(f->getViewAt(CPoint(35, 42), GetViewOptions().deep()), above);
    EXPECT_EQ(f->getViewAt(CPoint(35, 42)), outer);  // not deep: the frame's own child
    EXPECT_EQ(f->getViewAt(CPoint(25, 32), GetViewOptions().deep().includeViewContainer()), outer);
    EXPECT_EQ(f->getViewAt(CPoint(38, 42), GetViewOptions().deep()), v) << "right edges are outside";
    inner->changeViewZOrder(above, 0);
    EXPECT_EQ(f->getViewAt(CPoint(35, 42), GetViewOptions().deep()), v);
}

TEST(GuiTree, TooltipTextIsAnAttributeAndAppearsAfterTheHoverDelay) {
    GuiStateGuard state;
    setManualGuiClock(1000);
    OffscreenFrame f(kFrameRect);
    auto* v = new ProbeView(CRect(10, 10, 50, 50));
    f->addView(v);
    v->setTooltipText("Cutoff: 1.2 kHz");
    char small[4];
    uint32_t got = 0;
    EXPECT_FALSE(v->getAttribute(kCViewTooltipAttribute, sizeof small, small, got)) << "does not fit";
    f->platformOnMouseMoved(CPoint(20, 20), 0);
    advanceManualGuiClock(CFrame::kTooltipDelay - 1);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "");
    advanceManualGuiClock(1);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "Cutoff: 1.2 kHz");
    v->setTooltipText("Level: -3 dB");  // follows a changed text at once
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "Level: -3 dB");
    f->platformOnMouseDown(CPoint(20, 20), kLButton);  // a press hides it
    EXPECT_EQ(f->getShownTooltip(), "");
    f->platformOnMouseUp(CPoint(20, 20), kLButton);
    f->platformOnMouseMoved(CPoint(100, 100), 0);  // elsewhere: no tooltip
    advanceManualGuiClock(5000);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "");
}

TEST(GuiThread, GuiCallsOffTheUIThreadAreDetected) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);  // opening records this thread
    auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 1, 1, 10, nullptr);
    f->addView(knob);
    std::thread other([&] {
        knob->setValue(0.7f);  // allowed: stores a value
        knob->setDirty(true);  // allowed: sets a flag
        f->invalid();          // not allowed
        f->idle();             // not allowed
    });
    other.join();
    EXPECT_EQ(guiFaultCount(GuiFault::kOffUIThread), 2u);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.7f);
    f->invalid();  // on the UI thread: fine
    EXPECT_EQ(guiFaultCount(GuiFault::kOffUIThread), 2u);
}

// --- event routing and the standard controls' answers to events ----------------------------

TEST(GuiEvents, AHandledPressCapturesMovesAndTheReleaseEvenOutside) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* a = new ProbeView(CRect(10, 10, 30, 30));
    auto* b = new ProbeView(CRect(100, 10, 150, 60));
    auto* once = new ProbeView(CRect(40, 10, 60, 30), kWhiteCColor, kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    f->addView(a);
    f->addView(b);
    f->addView(once);
    EXPECT_EQ(f->platformOnMouseDown(CPoint(15, 15), kLButton), kMouseEventHandled);
    f->platformOnMouseMoved(CPoint(120, 20), kLButton);   // over b, still a's
    f->platformOnMouseMoved(CPoint(500, -40), kLButton);  // outside the frame too
    f->platformOnMouseUp(CPoint(120, 20), kLButton);
    EXPECT_EQ(a->log, (std::vector<std::string>{"down 15,15 2", "move 120,20", "move 500,-40", "up 120,20"}));
    EXPECT_TRUE(b->log.empty());
    f->platformOnMouseMoved(CPoint(120, 20), 0);  // after the release: the view under the pointer
    EXPECT_EQ(b->log, (std::vector<std::string>{"move 120,20"}));
    // A view that needs no moves or release captures nothing.
    f->platformOnMouseDown(CPoint(45, 15), kLButton);
    f->platformOnMouseMoved(CPoint(120, 20), kLButton);
    f->platformOnMouseUp(CPoint(120, 20), kLButton);
    EXPECT_EQ(once->log, (std::vector<std::string>{"down 45,15 2"}));
    EXPECT_EQ(b->log.size(), 2u);
}

TEST(GuiEvents, TheTopmostVisibleMouseEnabledViewGetsThePressInItsParentsCoordinates) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* box = new CViewContainer(CRect(40, 20, 160, 120));
    auto* under = new ProbeView(CRect(0, 0, 100, 80));
    auto* over = new ProbeView(CRect(10, 10, 50, 50));
    auto* hidden = new ProbeView(CRect(10, 10, 50, 50));
    auto* disabled = new ProbeView(CRect(10, 10, 50, 50));
    hidden->setVisible(false);
    disabled->setMouseEnabled(false);
    for (CView* v : {under, over, hidden, disabled}) box->addView(v);
    f->addView(box);
    f.click(CPoint(60, 40));
    EXPECT_EQ(over->log, (std::vector<std::string>{"down 20,20 2", "up 20,20"}));
    EXPECT_TRUE(under->log.empty() && hidden->log.empty() && disabled->log.empty());
    // A view that does not handle the press keeps it from the views below, unless it is
    // transparent.
    over->downAnswer = kMouseEventNotHandled;
    f->platformOnMouseDown(CPoint(60, 40), kLButton);
    EXPECT_TRUE(under->log.empty());
    over->setTransparency(true);
    f.click(CPoint(60, 40));
    EXPECT_EQ(under->log, (std::vector<std::string>{"down 20,20 2", "up 20,20"}));
}

TEST(GuiEvents, WheelGoesToTheDeepestViewAndBubblesWhileUnhandled) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* outer = new ProbeContainer(CRect(10, 10, 190, 140));
    auto* inner = new ProbeContainer(CRect(10, 10, 170, 120));
    auto* leaf = new ProbeView(CRect(20, 20, 60, 60));
    inner->addView(leaf);
    outer->addView(inner);
    f->addView(outer);
    const CPoint p(45, 45);  // leaf at (25, 25) in its parent's coordinates
    EXPECT_TRUE(f->platformOnMouseWheel(p, 1.f, 0));
    EXPECT_EQ(leaf->log, (std::vector<std::string>{"wheel 25,25 1"}));
    EXPECT_TRUE(inner->log.empty());
    leaf->wheelAnswer = false;
    inner->wheelAnswer = false;
    EXPECT_TRUE(f->platformOnMouseWheel(p, -1.f, 0));
    EXPECT_EQ(inner->log, (std::vector<std::string>{"wheel 35,35"}));  // in its parent's coordinates
    EXPECT_EQ(outer->log, (std::vector<std::string>{"wheel 45,45"}));
    outer->wheelAnswer = false;
    EXPECT_FALSE(f->platformOnMouseWheel(p, 1.f, 0));  // nobody took it
}

TEST(GuiEvents, DoubleClickWithin400msAnd4PixelsOfTheSameButton) {
    GuiStateGuard state;
    setManualGuiClock(10000);
    OffscreenFrame f(kFrameRect);
    auto* v = new ProbeView(CRect(0, 0, 200, 150));
    f->addView(v);
    const std::tuple<int, CPoint, int, bool> presses[] = {
        {0, CPoint(50, 50), kLButton, false},   {400, CPoint(54, 46), kLButton, true},
        {100, CPoint(54, 46), kLButton, false},  // a third press starts over
        {401, CPoint(54, 46), kLButton, false},  // too late
        {100, CPoint(59, 46), kLButton, false},  // too far
        {100, CPoint(59, 46), kRButton, false},  // another button
        {100, CPoint(59, 46), kRButton, true},
    };
    for (const auto& [wait, where, button, dbl] : presses) {
        advanceManualGuiClock(wait);
        f.click(where, button);
        EXPECT_EQ(v->lastButtons.isDoubleClick(), dbl) << wait << " ms to " << where.x;
    }
}

TEST(GuiEvents, X11ModifiersAndKeysThroughHooksToTheFocusView) {
    const std::pair<unsigned, int32_t> mods[] = {
        {ShiftMask, kShift}, {ControlMask, kControl}, {Mod1Mask, kAlt}, {Mod4Mask, kApple},
        {Button1Mask | ControlMask, kLButton | kControl}, {Button2Mask, kMButton},
        {Button3Mask | LockMask | Mod2Mask, kRButton},  // Caps and Num Lock ignored
    };
    for (auto [x, want] : mods) EXPECT_EQ(x11::buttonStateOf(x)(), want) << x;

    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    struct Hook : IKeyboardHook {
        int32_t onKeyDown(const VstKeyCode& k, CFrame*) override {
            seen.push_back(k.virt);
            return k.virt == VKEY_UP ? 1 : -1;
        }
        int32_t onKeyUp(const VstKeyCode&, CFrame*) override { return -1; }
        std::vector<int> seen;
    } hook;
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    v->keyAnswer = 1;
    f->addView(v);
    f->registerKeyboardHook(&hook);
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_DOWN)), -1);  // no focus view
    f->setFocusView(v);
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_UP)), 1);    // the hook took it
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_DOWN)), 1);  // the view took it
    EXPECT_EQ(hook.seen, (std::vector<int>{VKEY_DOWN, VKEY_UP, VKEY_DOWN}));
    EXPECT_EQ(v->log, (std::vector<std::string>{"key 14"}));
    f->unregisterKeyboardHook(&hook);
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_UP));
    EXPECT_EQ(hook.seen.size(), 3u);
    f->removeView(v, true);
    EXPECT_EQ(f->getFocusView(), nullptr) << "a removed focus view is forgotten";
}

TEST(GuiControls, KickButtonIsPressedWhileInsideAndReleasesToMinimum) {
    GuiStateGuard state;
    RecordingEditor editor;
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener l;
    auto* kick = new CKickButton(CRect(10, 10, 30, 30), &l, 4, nullptr);
    f->addView(kick);
    f->platformOnMouseDown(CPoint(15, 15), kLButton);
    EXPECT_EQ(kick->getValue(), 1.f);
    f->platformOnMouseMoved(CPoint(80, 80), kLButton);
    EXPECT_EQ(kick->getValue(), 0.f);
    f->platformOnMouseMoved(CPoint(30, 30), kLButton);  // on the edge: still pressed
    EXPECT_EQ(kick->getValue(), 1.f);
    f->platformOnMouseUp(CPoint(30, 30), kLButton);
    EXPECT_EQ(kick->getValue(), 0.f);
    EXPECT_EQ(l.changes, (std::vector<float>{1.f, 0.f}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 4", "end 4"}));
    f->platformOnMouseDown(CPoint(15, 15), kRButton);  // the right button does nothing
    EXPECT_EQ(kick->getValue(), 0.f);
}

TEST(GuiControls, OnOffButtonTogglesOnAClickAndShowsItsHalf) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    CBitmap* strip = stripedBitmap(20, 10, {CColor(60, 0, 0), CColor(0, 200, 0)});
    auto* sw = new COnOffButton(CRect(10, 10, 30, 20), &l, 8, strip);
    strip->forget();
    f->addView(sw);
    OffscreenRenderer r(f.get());
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(15, 15), CColor(60, 0, 0));  // upper half: off
    f.click(CPoint(15, 15));
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(15, 15), CColor(0, 200, 0));  // lower half: on
    f.click(CPoint(15, 15));
    EXPECT_EQ(l.changes, (std::vector<float>{1.f, 0.f}));
    l.modifierAnswer = 1;  // a listener that takes modifier clicks keeps the switch as it is
    f.click(CPoint(15, 15), kLButton | kShift);
    EXPECT_EQ(sw->getValue(), 0.f);
    EXPECT_EQ(l.modifierClicks.size(), 1u);
}

TEST(GuiControls, AnimKnobDragsLinearlyShowsItsFrameAndTakesTheWheel) {
    GuiStateGuard state;
    RecordingEditor editor;  // knob mode linear
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener l;
    std::vector<CColor> frames;
    for (int i = 0; i < 11; ++i) frames.push_back(CColor(static_cast<uint8_t>(i * 20), 0, 0));
    CBitmap* strip = stripedBitmap(20, 20, frames);
    auto* knob = new CAnimKnob(CRect(50, 50, 70, 70), &l, 2, strip);
    strip->forget();
    f->addView(knob);
    f->platformOnMouseDown(CPoint(60, 60), kLButton);
    f->platformOnMouseMoved(CPoint(60, 35), kLButton);
    f->platformOnMouseMoved(CPoint(60, 10), kLButton);  // 50 px up in two moves: a quarter
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6);
    f->platformOnMouseMoved(CPoint(60, 10), kLButton | kShift);  // fine: same spot, same value
    f->platformOnMouseUp(CPoint(60, 10), kLButton);
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6);
    OffscreenRenderer r(f.get());
    r.renderAll();
    EXPECT_EQ(r.getPixel(55, 55), frames[3]);  // 0.25 * 10 rounded
    knob->setWheelInc(0.1f);
    EXPECT_TRUE(f->platformOnMouseWheel(CPoint(60, 60), 1.f, 0));
    EXPECT_NEAR(knob->getValue(), 0.35f, 1e-6);
    EXPECT_TRUE(f->platformOnMouseWheel(CPoint(60, 60), -1.f, kShift));
    EXPECT_NEAR(knob->getValue(), 0.34f, 1e-6);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 2", "end 2", "begin 2", "end 2", "begin 2", "end 2"}));
    knob->setDefaultValue(0.5f);  // a double click sets the default value
    setManualGuiClock(100);
    f.click(CPoint(60, 60));
    f.click(CPoint(60, 60));
    EXPECT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(l.changes.back(), 0.5f);
}

TEST(GuiControls, TextEditCommitsOnReturnOrFocusLossAndCancelsOnEscape) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    auto* field = new CTextEdit(CRect(10, 10, 80, 30), &l, 9999, "64");
    f->addView(field);
    f->addView(new ProbeView(CRect(100, 100, 150, 150)));
    auto type = [&](const char* s) {
        for (const char* p = s; *p; ++p) f->platformOnKeyDown(makeVstKeyCode(*p));
    };
    f.click(CPoint(20, 20));
    type("100");  // replaces the selected text
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_BACK));
    type("7");
    EXPECT_EQ(field->getText(), "64");  // not yet
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_RETURN));
    EXPECT_EQ(field->getText(), "107");
    f.click(CPoint(20, 20));
    type("9");
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_ESCAPE));
    f.click(CPoint(20, 20));
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_END));
    type("5");
    f.click(CPoint(120, 120));  // focus goes elsewhere: commits, without the escaped 9
    EXPECT_EQ(field->getText(), "1075");
    EXPECT_EQ(f->getFocusView(), nullptr);
    f.click(CPoint(20, 20));  // committing an unchanged text tells nobody
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_ENTER));
    EXPECT_EQ(l.controls.size(), 2u);
}

// --- pop-up menus through the scripted presenter --------------------------------------------

namespace {

// A command menu as the editor's menus build it: a greyed title, commands, a separator, a
// submenu of commands and one of greyed help lines, a greyed "Undo".
COptionMenu* commandMenu() {
    auto* menu = new COptionMenu(CRect(0, 0, 16, 16), nullptr, 9999, nullptr, nullptr, kPopupStyle | kNoDrawStyle);
    menu->addEntry("-GLFO Command Menu");
    menu->addEntry("Reset LFO");
    menu->addEntry("-");
    auto* waves = new COptionMenu(CRect(0, 0, 16, 16), nullptr, 9999, nullptr, nullptr, kPopupStyle | kNoDrawStyle);
    for (const char* t : {"Set LFO 1 to Sine", "-GSet LFO 1 to Noise", "Set LFO 1 to Saw"}) waves->addEntry(t);
    menu->addEntry(waves, "Waves");
    waves->forget();
    auto* help = new COptionMenu();
    help->addEntry("-GLeft Click: Change Value");
    menu->addEntry(help, "LFO Information");
    help->forget();
    menu->addEntry("-48");
    menu->addEntry("-GUndo");
    return menu;
}

class GuiMenus : public ::testing::Test {
protected:
    GuiMenus() { setMenuPresenter(&presenter); }
    GuiStateGuard state;  // before the presenter: puts the previous one back last
    ScriptedMenuPresenter presenter;
    RecordingEditor editor;
    OffscreenFrame f{CRect(0, 0, 300, 200), &editor};
    RecordingListener l;
};

}  // namespace

TEST_F(GuiMenus, EntryConventions) {
    auto* menu = commandMenu();
    menu->checkEntry(1, true);
    menu->checkEntryAlone(5);
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_EQ(menu->getEntry(0)->getTitle(), "LFO Command Menu");  // shown without "-G"
    EXPECT_EQ(ScriptedMenuPresenter::describe(menu),
              (std::vector<std::string>{"(grey) LFO Command Menu", "Reset LFO", "-----", "Waves >",
                                        "  Set LFO 1 to Sine", "  (grey) Set LFO 1 to Noise", "  Set LFO 1 to Saw",
                                        "LFO Information >", "  (grey) Left Click: Change Value", "[x] -48",
                                        "(grey) Undo"}));
    menu->removeAllEntry();
    EXPECT_EQ(menu->getCurrent(), -1);
    menu->forget();
}

TEST_F(GuiMenus, AClickPopsUpTheMenuAndTheChoiceReachesTheListener) {
    auto* menu = new COptionMenu(CRect(20, 30, 120, 50), &l, 12);
    for (const char* t : {"Low", "-", "Band", "High"}) menu->addEntry(t);
    menu->setFontColor(kWhiteCColor);
    menu->setBackColor(kBlackCColor);
    f->addView(menu);
    presenter.choose({"High"});
    f.click(CPoint(30, 40), kRButton | kShift);
    EXPECT_EQ(menu->getCurrent(), 3);
    EXPECT_EQ(menu->getCurrentIndex(false), 2);  // the separator not counted
    char tiny[3];
    menu->getCurrent(tiny);
    EXPECT_STREQ(tiny, "Hi");  // cut to fit, ended by a zero
    EXPECT_EQ(l.changes, (std::vector<float>{3.f}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 12", "end 12"}));
    EXPECT_EQ(presenter.transcript()[0].where, CPoint(20, 50));  // below the menu without kPopupStyle
    menu->setValue(17);  // names no entry: ignored
    EXPECT_EQ(menu->getCurrent(), 3);
    // It draws the current entry's title, unless told not to draw.
    OffscreenRenderer r(f.get());
    for (const int32_t style : {menu->getStyle(), int32_t(kNoDrawStyle)}) {
        menu->setStyle(style);
        r.renderAll();
        int lit = 0;
        for (int y = 30; y < 50; ++y)
            for (int x = 20; x < 120; ++x) lit += r.getPixel(x, y).red > 128;
        EXPECT_EQ(lit > 10, style != kNoDrawStyle) << lit;
    }
    // While it is open, moves are not captured by the menu.
    auto* other = new ProbeView(CRect(200, 100, 250, 150));
    f->addView(other);
    presenter.dismiss();
    f->platformOnMouseDown(CPoint(30, 40), kLButton);
    f->platformOnMouseMoved(CPoint(220, 120), 0);
    EXPECT_EQ(other->log, (std::vector<std::string>{"move 220,120"}));
}

TEST_F(GuiMenus, AChoiceInASubmenuIsReportedAndUnchoosableEntriesAreRefused) {
    auto* menu = commandMenu();
    menu->setListener(&l);
    menu->setValue(1);
    f->addView(menu);
    presenter.choose({"Waves", "Set LFO 1 to Saw"});
    ASSERT_TRUE(menu->popup());
    int32_t idx = -1;
    COptionMenu* last = menu->getLastItemMenu(idx);
    ASSERT_EQ(last, menu->getSubMenu(3));
    EXPECT_EQ(idx, 2);
    EXPECT_EQ(last->getCurrentTitle(), "Set LFO 1 to Saw");
    EXPECT_EQ(menu->getCurrent(), 1);  // the top menu's own entry is unchanged

    const std::vector<std::vector<std::string>> refused = {
        {"LFO Command Menu"}, {"Undo"}, {""}, {"Waves"}, {"Waves", "Set LFO 1 to Noise"},
        {"LFO Information", "Left Click: Change Value"}, {"Reset LFO", "Anything"}, {"Nothing Like This"}, {}};
    for (const auto& path : refused) {
        if (path.empty())
            presenter.dismiss();
        else
            presenter.choose(path);
        EXPECT_FALSE(menu->popup()) << path.size();
        EXPECT_EQ(menu->getLastItemMenu(idx), nullptr);
        EXPECT_EQ(idx, -1);
        EXPECT_EQ(menu->getCurrent(), 1);
    }
    EXPECT_EQ(l.changes.size(), 1u);
    EXPECT_EQ(presenter.transcript().back().where, CPoint(0, 0));  // kPopupStyle: at its corner
    f->removeView(menu, false);
    EXPECT_FALSE(menu->popup()) << "a menu in no frame does not pop up";
    menu->forget();
}

// --- file selectors over the platform's file selection --------------------------------------

TEST(GuiFileSelector, LoadSaveAndMultipleSelections) {
    GuiStateGuard state;
    platform::dialogSetMode(platform::DialogMode::Scripted);
    platform::fileSelectScriptClear();
    platform::fileSelectTranscriptClear();
    const int64_t before = CBaseObject::liveObjects();
    CNewFileSelector* sel = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    sel->setTitle("Load Preset");
    sel->addFileExtension(CFileExtension("arp", "arp"));
    sel->setDefaultExtension(CFileExtension("lyr", "lyr"));  // added, and shown first
    sel->setDefaultExtension(CFileExtension("arp", "arp"));  // already listed: only chosen
    platform::fileSelectScriptChoose("/presets/a.arp");
    EXPECT_TRUE(sel->runModal());
    EXPECT_STREQ(sel->getSelectedFile(0), "/presets/a.arp");
    const auto t = platform::fileSelectTranscript()[0].request;
    EXPECT_TRUE(t.title == "Load Preset" && t.filters.size() == 2u && t.defaultFilter == 0);
    platform::fileSelectScriptCancel();
    EXPECT_FALSE(sel->runModal());
    EXPECT_EQ(sel->getNumSelectedFiles(), 0u) << "cancelled: nothing selected any more";
    sel->setAllowMultiFileSelection(true);
    platform::fileSelectScriptChooseMany({"/a/1.tun", "/a/2.tun"});
    EXPECT_TRUE(sel->runModal());
    EXPECT_STREQ(sel->getSelectedFile(1), "/a/2.tun");
    sel->forget();
    CNewFileSelector* save = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    platform::fileSelectScriptChoose("/some/thing");
    bool called = false;
    EXPECT_TRUE(save->run([&](CNewFileSelector* x) { called = x->getNumSelectedFiles() == 1; }) && called);
    EXPECT_EQ(platform::fileSelectTranscript().back().request.kind, platform::FileSelectKind::Save);
    save->forget();
    EXPECT_EQ(CBaseObject::liveObjects(), before);
    platform::fileSelectScriptClear();
    platform::dialogSetMode(platform::DialogMode::Automatic);
}

// --- the editor binding: AEffGUIEditor behind the plug-in's edit opcodes and the vendor
// wheel message, with edit gestures reaching the host, the knob mode and the GUI clock ------

namespace {

class GuiTestEditor : public AEffGUIEditor, public TEditorLink, public IKeyboardHook {
public:
    explicit GuiTestEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 120, 240}; }
    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), this);
        frame->open(ptr, ptr ? PlatformType::kDefaultNative : PlatformType::kOffscreen);
        knob = new CAnimKnob(CRect(10, 10, 50, 50), &listener, 5, 1, 40, nullptr);
        knob->setWheelInc(0.1f);
        frame->addView(knob);
        frame->addView(new CKickButton(CRect(100, 10, 140, 50), &listener, 9999, nullptr));
        frame->registerKeyboardHook(this);
        return true;
    }
    void close() override {
        if (frame) frame->unregisterKeyboardHook(this);
        knob = nullptr;
        AEffGUIEditor::close();
    }
    int32_t onKeyDown(const VstKeyCode& k, CFrame*) override { return keys.push_back(k), k.virt == VKEY_UP ? 1 : -1; }
    int32_t onKeyUp(const VstKeyCode&, CFrame*) override { return ++keysUp, -1; }
    using AEffGUIEditor::onKeyDown;
    using AEffGUIEditor::onKeyUp;
    void setEditTag(int tag) override { editTags.push_back(tag); }
    void setParameter(VstInt32, float) override {}
    void clearUndos() override {}
    void updateIdleVars() override {}
    void updateDistort() override {}
    void updateModFX() override {}
    void updateLayer() override {}

    RecordingListener listener;
    CAnimKnob* knob = nullptr;
    std::vector<VstKeyCode> keys;
    int keysUp = 0;
    std::vector<int> editTags;
};

class GuiEditorBinding : public ::testing::Test {
protected:
    void SetUp() override {
        useScratchHome();
        h = std::make_unique<PluginHarness>();
        delete (*h)->getEditor();
        ed = new GuiTestEditor(&h->plugin());
        (*h)->setEditor(ed);
        (*h)->editorLink = ed;
    }
    VstIntPtr wheel(float delta) {
        constexpr VstInt32 kStCA = ('s' << 24) | ('t' << 16) | ('C' << 8) | 'A', kWhee = ('W' << 24) | ('h' << 16) | ('e' << 8) | 'e';
        return h->dispatch(effVendorSpecific, kStCA, kWhee, nullptr, delta);
    }
    GuiStateGuard state;
    std::unique_ptr<PluginHarness> h;
    GuiTestEditor* ed = nullptr;
};

}  // namespace

TEST_F(GuiEditorBinding, RectOpenIdleCloseLeaveNothingBehindAndKnobModeAndTicksPassThrough) {
    const int64_t before = CBaseObject::liveObjects();
    ERect* r = nullptr;
    EXPECT_EQ(h->dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_TRUE(r && r->right == 240);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(h->dispatch(effEditOpen, 0, 0, nullptr), 1);  // no window: off-screen
        ASSERT_TRUE(ed->isOpen() && ed->getFrame()->isOffscreen());
        OffscreenRenderer(ed->getFrame()).renderInvalid();  // the first paint
        ed->knob->setValue(0.6f);
        h->dispatch(effEditIdle);
        EXPECT_EQ(ed->getFrame()->getInvalidRegion(), std::vector<CRect>{CRect(10, 10, 50, 50)});
        h->dispatch(effEditClose);
        EXPECT_FALSE(ed->isOpen());
        EXPECT_EQ(CBaseObject::liveObjects(), before);
    }
    EXPECT_EQ(h->dispatch(effSetEditKnobMode, 0, kRelativCircularMode), 1);
    EXPECT_EQ(h->dispatch(effSetEditKnobMode, 0, 7), 0);
    EXPECT_EQ(ed->getKnobMode(), kRelativCircularMode);
    setManualGuiClock(5000);
    advanceManualGuiClock(49);
    EXPECT_EQ(ed->getTicks(), 5049u);
}

TEST_F(GuiEditorBinding, KeysAndTheVendorWheelMessageReachTheFrameWhileOpen) {
    h->dispatch(effEditOpen, 0, 0, nullptr);
    EXPECT_EQ(h->dispatch(effEditKeyDown, 'a', VKEY_UP, nullptr, MODIFIER_SHIFT), 1);
    EXPECT_EQ(h->dispatch(effEditKeyDown, 'b', VKEY_DOWN), 0);  // nobody took it: back to the host
    EXPECT_EQ(h->dispatch(effEditKeyUp, 'a', VKEY_UP), 0);
    ASSERT_EQ(ed->keys.size(), 2u);
    EXPECT_TRUE(ed->keys[0].character == 'a' && ed->keys[0].modifier == MODIFIER_SHIFT);
    EXPECT_EQ(ed->keysUp, 1);
    ed->getFrame()->platformOnMouseMoved(CPoint(30, 30), 0);
    ed->knob->setValue(0.5f);
    EXPECT_EQ(wheel(-2.f), 1);
    EXPECT_NEAR(ed->knob->getValue(), 0.3f, 1e-6);
    ed->getFrame()->platformOnMouseMoved(CPoint(200, 100), 0);
    EXPECT_EQ(wheel(1.f), 0) << "nothing under the mouse takes it";
    h->dispatch(effEditClose);
    EXPECT_EQ(h->dispatch(effEditKeyDown, 'a', VKEY_UP), 0);  // closed: keys go nowhere
}

TEST_F(GuiEditorBinding, EditGesturesReachTheHostOnlyForParameters) {
    h->dispatch(effEditOpen, 0, 0, nullptr);
    CFrame* frame = ed->getFrame();
    ed->setKnobMode(kLinearMode);
    frame->platformOnMouseDown(CPoint(30, 30), kLButton);
    frame->platformOnMouseMoved(CPoint(30, 20), kLButton);
    frame->platformOnMouseUp(CPoint(30, 20), kLButton);
    EXPECT_EQ(ed->editTags, (std::vector<int>{5, -1}));
    // A click area with tag 9999 brackets its press too, but the host never hears of it.
    frame->platformOnMouseDown(CPoint(120, 30), kLButton);
    frame->platformOnMouseUp(CPoint(120, 30), kLButton);
    ed->beginEdit(1024);  // beyond the plug-in's parameters
    ed->beginEdit(-1);
    EXPECT_EQ(h->host().beginEdits, (std::vector<int>{5}));
    EXPECT_EQ(h->host().endEdits, (std::vector<int>{5}));
    h->dispatch(effEditClose);
}
