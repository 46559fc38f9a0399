// The view tree: reference counts and ownership, dirty state and invalid regions, edit
// gestures, coordinates, hit testing, attributes and tooltips, the tree dump and the UI-thread
// check.
#include <gtest/gtest.h>

#include <thread>

#include "gui_support/GuiTestKit.h"

using namespace guitest;

namespace {

const CRect kFrameRect(0, 0, 200, 150);

} // namespace

// ---- Ownership -------------------------------------------------------------------------------

TEST(GuiOwnership, CreationGivesOneReferenceAndAddViewAdoptsIt) {
    GuiStateGuard state;
    bool destroyed = false;
    auto* c = new CViewContainer(CRect(0, 0, 100, 100));
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    v->destroyed = &destroyed;
    EXPECT_EQ(v->getNbReference(), 1);
    ASSERT_TRUE(c->addView(v));
    EXPECT_EQ(v->getNbReference(), 1); // adopted, not taken anew
    EXPECT_EQ(v->getParentView(), c);
    c->forget(); // the container releases its children
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(state.faults.empty());
}

TEST(GuiOwnership, RemoveViewHandsBackOrReleases) {
    GuiStateGuard state;
    auto* c = new CViewContainer(CRect(0, 0, 100, 100));
    bool d1 = false, d2 = false;
    auto* a = new ProbeView(CRect(0, 0, 10, 10));
    auto* b = new ProbeView(CRect(10, 0, 20, 10));
    a->destroyed = &d1;
    b->destroyed = &d2;
    c->addView(a);
    c->addView(b);
    EXPECT_TRUE(c->removeView(a, false)); // handed back
    EXPECT_FALSE(d1);
    EXPECT_EQ(a->getParentView(), nullptr);
    EXPECT_EQ(a->getNbReference(), 1);
    EXPECT_TRUE(c->removeView(b, true)); // released
    EXPECT_TRUE(d2);
    EXPECT_FALSE(c->removeView(b, true)); // no longer a child: nothing happens
    // The handed-back view can be added again, and removeAll(false) hands it back again.
    c->addView(a);
    c->removeAll(false);
    EXPECT_FALSE(d1);
    EXPECT_EQ(c->getNbViews(), 0u);
    a->forget();
    EXPECT_TRUE(d1);
    c->forget();
    EXPECT_TRUE(state.faults.empty());
}

TEST(GuiOwnership, AContainerRetainsItsBackgroundBitmap) {
    GuiStateGuard state;
    const int64_t before = CBaseObject::liveObjects();
    CBitmap* bmp = stripedBitmap(4, 4, {kWhiteCColor});
    auto* c = new CViewContainer(CRect(0, 0, 4, 4));
    c->setBackground(bmp);
    EXPECT_EQ(bmp->getNbReference(), 2);
    bmp->forget(); // the creator's reference
    EXPECT_EQ(bmp->getNbReference(), 1);
    EXPECT_EQ(c->getBackground(), bmp);
    CBitmap* other = stripedBitmap(4, 4, {kBlackCColor});
    c->setBackground(other); // the old one is given back: destroyed now
    other->forget();
    EXPECT_EQ(CBaseObject::liveObjects(), before + 2); // container and the new bitmap
    c->forget();
    EXPECT_EQ(CBaseObject::liveObjects(), before);
}

TEST(GuiOwnership, AMenuTakesItsOwnReferenceToASubmenu) {
    GuiStateGuard state;
    const int64_t before = CBaseObject::liveObjects();
    auto* menu = new COptionMenu();
    auto* sub = new COptionMenu();
    sub->addEntry("inner");
    menu->addEntry(sub, "Sub");
    EXPECT_EQ(sub->getNbReference(), 2);
    sub->forget();
    EXPECT_EQ(menu->getSubMenu(0), sub);
    EXPECT_EQ(sub->getNbReference(), 1);
    menu->forget();
    EXPECT_EQ(CBaseObject::liveObjects(), before);
}

TEST(GuiOwnership, ForgettingTheLastReferenceOfAnAttachedViewIsDetectedAndSafe) {
    GuiStateGuard state;
    bool destroyed = false;
    auto* c = new CViewContainer(CRect(0, 0, 100, 100));
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    v->destroyed = &destroyed;
    c->addView(v);
    v->forget(); // wrong: the container owns that reference
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(guiFaultCount(GuiFault::kForgetWhileAttached), 1u);
    ASSERT_EQ(state.faults.size(), 1u);
    EXPECT_EQ(c->getView(0), v); // still in place, still usable
    // The container keeps it and releases it when it lets it go, even without forgetting.
    c->removeView(v, false);
    EXPECT_TRUE(destroyed);
    c->forget();
}

TEST(GuiOwnership, DeletingAnAttachedViewIsDetectedAndDetachesIt) {
    GuiStateGuard state;
    auto* c = new CViewContainer(CRect(0, 0, 100, 100));
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    c->addView(v);
    delete v; // wrong, but must not leave a dangling child
    EXPECT_EQ(guiFaultCount(GuiFault::kDeleteWhileAttached), 1u);
    EXPECT_EQ(c->getNbViews(), 0u);
    c->forget();
}

TEST(GuiOwnership, AViewCannotHaveTwoParents) {
    GuiStateGuard state;
    auto* a = new CViewContainer(CRect(0, 0, 100, 100));
    auto* b = new CViewContainer(CRect(0, 0, 100, 100));
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    EXPECT_TRUE(a->addView(v));
    EXPECT_FALSE(b->addView(v));
    EXPECT_EQ(guiFaultCount(GuiFault::kAddAttachedView), 1u);
    EXPECT_FALSE(a->addView(a)); // itself
    b->addView(a);
    EXPECT_FALSE(a->addView(b)); // an ancestor: refused before the parent check
    EXPECT_EQ(v->getParentView(), a);
    b->forget(); // releases a, which releases v
}

// A frame like the editor's: containers with backgrounds, controls, a menu with a submenu.
static void buildEditorLikeFrame(CFrame* frame, std::vector<CControl*>& keep) {
    CBitmap* bg = stripedBitmap(200, 150, {CColor(20, 20, 20)});
    frame->setBackground(bg);
    for (int i = 0; i < 3; ++i) {
        auto* box = new CViewContainer(CRect(10 + 60 * i, 10, 60 + 60 * i, 140));
        CBitmap* boxBg = stripedBitmap(50, 130, {CColor(40, 40, 40 + 40 * i)});
        box->setBackground(boxBg);
        boxBg->forget();
        auto* knob = new CAnimKnob(CRect(5, 5, 45, 45), nullptr, i, 4, 40, bg);
        knob->remember(); // the editor keeps its own reference, as it does with its controls
        keep.push_back(knob);
        box->addView(knob);
        box->addView(new COnOffButton(CRect(5, 50, 25, 60), nullptr, 10 + i, bg));
        auto* menu = new COptionMenu(CRect(5, 70, 45, 85), nullptr, 20 + i);
        menu->addEntry("One");
        auto* sub = new COptionMenu();
        sub->addEntry("Deep");
        menu->addEntry(sub, "More");
        sub->forget();
        box->addView(menu);
        box->addView(new CTextEdit(CRect(5, 90, 45, 100), nullptr, 9999, "12"));
        frame->addView(box);
    }
    bg->forget();
}

TEST(GuiOwnership, OpenCloseCyclesLeaveNothingBehind) {
    GuiStateGuard state;
    RecordingEditor editor;
    const int64_t before = CBaseObject::liveObjects();
    for (int cycle = 0; cycle < 25; ++cycle) {
        auto* frame = new CFrame(kFrameRect, &editor);
        ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
        std::vector<CControl*> keep;
        buildEditorLikeFrame(frame, keep);
        OffscreenRenderer r(frame);
        r.renderAll();
        frame->platformOnMouseDown(CPoint(30, 30), kLButton); // a knob drag left open
        frame->platformOnMouseMoved(CPoint(30, 20), kLButton);
        frame->platformOnMouseDown(CPoint(30, 100), kLButton); // a text field being edited
        frame->close(); // releases what is attached
        for (CControl* c : keep) c->forget(); // the editor's own references
        EXPECT_EQ(CBaseObject::liveObjects(), before) << "cycle " << cycle;
    }
    EXPECT_TRUE(state.faults.empty());
    // Every gesture begun was ended, the interrupted drags included.
    int begins = 0, ends = 0;
    for (const std::string& e : editor.edits) (e.rfind("begin", 0) == 0 ? begins : ends)++;
    EXPECT_EQ(begins, ends);
    EXPECT_GT(begins, 0);
}

TEST(GuiOwnership, EditorStyleTeardownBalancesExactly) {
    // Open, detach, release: the live object count returns to where it was, many times over.
    GuiStateGuard state;
    RecordingEditor editor;
    const int64_t before = CBaseObject::liveObjects();
    for (int cycle = 0; cycle < 30; ++cycle) {
        auto* frame = new CFrame(kFrameRect, &editor);
        ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
        std::vector<CViewContainer*> boxes;
        std::vector<CControl*> controls;
        for (int i = 0; i < 4; ++i) {
            auto* box = new CViewContainer(CRect(0, 0, 50, 50));
            auto* k = new CAnimKnob(CRect(0, 0, 20, 20), nullptr, i, 1, 20, nullptr);
            controls.push_back(k);
            k->remember(); // added to the box below: the box adopts one, the editor keeps one
            box->addView(k);
            box->remember();
            frame->addView(box);
            boxes.push_back(box);
        }
        frame->idle();
        // Close as the editor does: containers emptied without forgetting, the frame emptied,
        // then every member released once.
        for (CViewContainer* b : boxes) b->removeAll(false);
        frame->removeAll(false);
        frame->close();
        for (CViewContainer* b : boxes) {
            b->forget();
            b->forget();
        }
        for (CControl* c : controls) {
            c->forget();
            c->forget();
        }
    }
    EXPECT_EQ(CBaseObject::liveObjects(), before);
    EXPECT_TRUE(state.faults.empty());
}

// ---- Dirty state and repainting ---------------------------------------------------------------

TEST(GuiDirty, SetValueNeverNotifiesAndMarksUntilDrawn) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    RecordingListener listener;
    auto* knob = new CAnimKnob(CRect(10, 10, 30, 30), &listener, 1, 1, 20, nullptr);
    f->addView(knob);
    OffscreenRenderer r(f.get());
    r.renderAll();
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.25f);
    EXPECT_TRUE(listener.changes.empty());
    EXPECT_TRUE(knob->isDirty());
    knob->setValue(0.25f);
    EXPECT_TRUE(knob->isDirty());
    r.renderInvalid();
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.25f); // the value last drawn: not dirty
    EXPECT_FALSE(knob->isDirty());
    knob->setDirty(true);
    EXPECT_TRUE(knob->isDirty());
    knob->setValue(7.f); // clamped to the range
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
    r.renderInvalid(); // the first paint covers everything
    EXPECT_EQ(inner->draws, 1);
    EXPECT_EQ(outside->draws, 1);
    EXPECT_EQ(r.getPixel(65, 65), CColor(0, 200, 0));

    inner->color = CColor(250, 250, 0);
    inner->setDirty(true);
    const std::vector<CRect> painted = r.renderInvalid();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], CRect(60, 60, 80, 80)); // in frame coordinates
    EXPECT_EQ(inner->draws, 2);
    EXPECT_EQ(other->draws, 1);
    EXPECT_EQ(outside->draws, 1);
    EXPECT_EQ(r.getPixel(65, 65), CColor(250, 250, 0));
    EXPECT_TRUE(r.renderInvalid().empty()); // nothing left

    // invalid() paints at once on the next repaint, without idle's dirty walk.
    other->invalid();
    EXPECT_EQ(f->getInvalidRegion().size(), 1u);
    r.renderInvalid();
    EXPECT_EQ(other->draws, 2);
    EXPECT_EQ(inner->draws, 2);

    // Hiding a view repaints the place where it was.
    outside->setVisible(false);
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(5, 5), kBlackCColor);
}

TEST(GuiDirty, ManySmallInvalidRectsCollapse) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    f->takeInvalidRegion(); // the first paint's
    for (int i = 0; i < 40; ++i) f->invalidRect(CRect(i * 4, 0, i * 4 + 2, 2));
    EXPECT_LE(f->getInvalidRegion().size(), 25u);
    CRect all;
    for (const CRect& r : f->getInvalidRegion()) all.unite(r);
    EXPECT_EQ(all, CRect(0, 0, 158, 2));
    f->invalidRect(CRect(-20, -20, 500, 500)); // bounded to the frame, covering all the others
    ASSERT_EQ(f->getInvalidRegion().size(), 1u);
    EXPECT_EQ(f->getInvalidRegion()[0], kFrameRect);
}

// ---- Edit gestures ----------------------------------------------------------------------------

TEST(GuiEdit, BeginEndCountSoAnUnmatchedEndIsIgnored) {
    GuiStateGuard state;
    RecordingEditor editor;
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener listener;
    auto* c = new CAnimKnob(CRect(0, 0, 10, 10), &listener, 42, 1, 10, nullptr);
    f->addView(c);
    c->endEdit(); // nothing begun: ignored
    EXPECT_TRUE(editor.edits.empty());
    c->beginEdit();
    c->beginEdit(); // nested: no second host gesture
    EXPECT_TRUE(c->isEditing());
    c->endEdit();
    EXPECT_TRUE(c->isEditing());
    c->endEdit();
    c->endEdit(); // unmatched
    EXPECT_FALSE(c->isEditing());
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 42", "end 42"}));
    EXPECT_EQ(listener.begins, 1);
    EXPECT_EQ(listener.ends, 1);
    // The frame's own gesture calls reach the editor without the listener.
    f->beginEdit(7);
    f->endEdit(7);
    EXPECT_EQ(editor.edits.back(), "end 7");
    EXPECT_EQ(listener.begins, 1);
}

TEST(GuiEdit, AControlLeavingTheTreeEndsItsGesture) {
    GuiStateGuard state;
    RecordingEditor editor;
    OffscreenFrame f(kFrameRect, &editor);
    auto* knob = new CAnimKnob(CRect(0, 0, 40, 40), nullptr, 3, 1, 40, nullptr);
    f->addView(knob);
    f->platformOnMouseDown(CPoint(20, 20), kLButton); // a drag begins
    EXPECT_TRUE(knob->isEditing());
    f->removeView(knob, true); // a page switch in mid-drag
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 3", "end 3"}));
    f->platformOnMouseMoved(CPoint(20, 10), kLButton); // nothing left to reach
    f->platformOnMouseUp(CPoint(20, 10), kLButton);
    EXPECT_EQ(editor.edits.size(), 2u);
}

// ---- Coordinates and hit testing -----------------------------------------------------------

TEST(GuiTree, ChildrenAreRelativeToTheirContainer) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* outer = new CViewContainer(CRect(20, 30, 180, 140));
    auto* inner = new CViewContainer(CRect(10, 5, 100, 80));
    auto* v = new ProbeView(CRect(4, 6, 14, 16));
    inner->addView(v);
    outer->addView(inner);
    f->addView(outer);
    CPoint p(4, 6);
    v->localToFrame(p);
    EXPECT_EQ(p, CPoint(34, 41));
    v->frameToLocal(p);
    EXPECT_EQ(p, CPoint(4, 6));
    EXPECT_EQ(f->getViewAt(CPoint(35, 42), GetViewOptions().deep()), v);
    EXPECT_EQ(f->getViewAt(CPoint(35, 42)), outer); // not deep: the frame's own child
    EXPECT_EQ(f->getViewAt(CPoint(25, 32), GetViewOptions().deep()), nullptr);
    EXPECT_EQ(f->getViewAt(CPoint(25, 32), GetViewOptions().deep().includeViewContainer()), outer);
    EXPECT_EQ(inner->getViewAt(CPoint(15, 12)), v); // in inner's own rectangle's coordinates
    EXPECT_EQ(v->getFrame(), f.get());
    EXPECT_TRUE(v->isAttached());
    EXPECT_TRUE(f->isChild(v, true));
    EXPECT_FALSE(f->isChild(v, false));
}

TEST(GuiTree, GetViewAtPrefersTheTopmostAndSkipsHiddenOrDisabledViews) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* below = new ProbeView(CRect(0, 0, 50, 50));
    auto* above = new ProbeView(CRect(10, 10, 40, 40));
    f->addView(below);
    f->addView(above);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20)), above);
    above->setVisible(false);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20)), below);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20), GetViewOptions().includeInvisible()), above);
    above->setVisible(true);
    above->setMouseEnabled(false);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20), GetViewOptions().mouseEnabled()), below);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20)), above);
    EXPECT_EQ(f->getViewAt(CPoint(50, 20)), nullptr); // right edges are outside
    f->changeViewZOrder(above, 0);
    EXPECT_EQ(f->getViewAt(CPoint(20, 20)), below);
}

TEST(GuiTree, AttributesAndTheTooltipText) {
    GuiStateGuard state;
    auto* v = new ProbeView(CRect(0, 0, 10, 10));
    uint32_t size = 0;
    EXPECT_FALSE(v->getAttributeSize(kCViewTooltipAttribute, size));
    v->setTooltipText("Cutoff: 1.2 kHz");
    ASSERT_TRUE(v->getAttributeSize(kCViewTooltipAttribute, size));
    EXPECT_EQ(size, 16u); // with the terminating zero
    char small[4];
    uint32_t got = 0;
    EXPECT_FALSE(v->getAttribute(kCViewTooltipAttribute, sizeof small, small, got)); // does not fit
    char buf[32];
    ASSERT_TRUE(v->getAttribute(kCViewTooltipAttribute, sizeof buf, buf, got));
    EXPECT_STREQ(buf, "Cutoff: 1.2 kHz");
    const char raw[] = "Res";
    v->setAttribute(kCViewTooltipAttribute, sizeof raw, raw);
    EXPECT_EQ(v->getTooltipText(), "Res");
    v->setTooltipText("");
    EXPECT_FALSE(v->getAttributeSize(kCViewTooltipAttribute, size));
    v->forget();
}

TEST(GuiTree, TooltipsAppearAfterTheHoverDelay) {
    GuiStateGuard state;
    setManualGuiClock(1000);
    OffscreenFrame f(kFrameRect);
    auto* v = new ProbeView(CRect(10, 10, 50, 50));
    v->setTooltipText("Level");
    f->addView(v);
    f->platformOnMouseMoved(CPoint(20, 20), 0);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "");
    advanceManualGuiClock(CFrame::kTooltipDelay - 1);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "");
    advanceManualGuiClock(1);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "Level");
    v->setTooltipText("Level: -3 dB"); // follows a changed text at once
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "Level: -3 dB");
    f->platformOnMouseDown(CPoint(20, 20), kLButton); // a press hides it
    EXPECT_EQ(f->getShownTooltip(), "");
    f->platformOnMouseUp(CPoint(20, 20), kLButton);
    f->platformOnMouseMoved(CPoint(100, 100), 0); // elsewhere: the delay starts again
    advanceManualGuiClock(5000);
    f->idle();
    EXPECT_EQ(f->getShownTooltip(), "");
}

TEST(GuiTree, DumpListsClassTagRectangleVisibilityAndAttachment) {
    GuiStateGuard state;
    OffscreenFrame f(CRect(0, 0, 100, 60));
    auto* box = new CViewContainer(CRect(5, 5, 95, 55));
    auto* knob = new CAnimKnob(CRect(1, 2, 21, 22), nullptr, 17, 1, 20, nullptr);
    auto* label = new CTextLabel(CRect(30, 2, 80, 12.5), "x");
    label->setVisible(false);
    box->addView(knob);
    box->addView(label);
    f->addView(box);
    const std::string dump = dumpViewTree(f.get());
    EXPECT_EQ(dump,
              "CFrame rect=(0,0,100,60) visible attached\n"
              "  CViewContainer rect=(5,5,95,55) visible attached\n"
              "    CAnimKnob tag=17 rect=(1,2,21,22) visible attached\n"
              "    CTextLabel tag=-1 rect=(30,2,80,12.50) hidden attached\n");
    auto* loose = new CKickButton(CRect(0, 0, 5, 5), nullptr, 9, nullptr);
    EXPECT_EQ(dumpViewTree(loose), "CKickButton tag=9 rect=(0,0,5,5) visible detached\n");
    loose->forget();
}

TEST(GuiThread, GuiCallsOffTheUIThreadAreDetected) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect); // opening records this thread
    auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 1, 1, 10, nullptr);
    f->addView(knob);
    std::thread other([&] {
        knob->setValue(0.7f); // allowed: stores a value
        knob->setDirty(true); // allowed: sets a flag
        f->invalid();         // not allowed
        f->idle();            // not allowed
    });
    other.join();
    EXPECT_EQ(guiFaultCount(GuiFault::kOffUIThread), 2u);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.7f);
    f->invalid(); // on the UI thread: fine
    EXPECT_EQ(guiFaultCount(GuiFault::kOffUIThread), 2u);
}
