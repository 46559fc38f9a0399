// Event routing: presses, capture, moves, releases, the wheel, double clicks, keys and focus,
// the X11 modifier mapping, and the standard controls' answers to them.
#include <gtest/gtest.h>

#include <X11/X.h>

#include "gui/X11Window.h"
#include "gui_support/GuiTestKit.h"

using namespace guitest;

namespace {
const CRect kFrameRect(0, 0, 200, 150);
} // namespace

TEST(GuiEvents, AHandledPressCapturesMovesAndTheReleaseEvenOutside) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* a = new ProbeView(CRect(10, 10, 30, 30));
    auto* b = new ProbeView(CRect(100, 10, 150, 60));
    f->addView(a);
    f->addView(b);
    EXPECT_EQ(f->platformOnMouseDown(CPoint(15, 15), kLButton), kMouseEventHandled);
    f->platformOnMouseMoved(CPoint(120, 20), kLButton); // over b, still a's
    f->platformOnMouseMoved(CPoint(500, -40), kLButton); // outside the frame too
    f->platformOnMouseUp(CPoint(120, 20), kLButton);
    EXPECT_EQ(a->log, (std::vector<std::string>{"down 15,15 2", "move 120,20", "move 500,-40", "up 120,20"}));
    EXPECT_TRUE(b->log.empty());
    // After the release moves go to the view under the pointer again.
    f->platformOnMouseMoved(CPoint(120, 20), 0);
    EXPECT_EQ(b->log, (std::vector<std::string>{"move 120,20"}));
}

TEST(GuiEvents, DontNeedMovedOrUpCapturesNothing) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* a = new ProbeView(CRect(10, 10, 30, 30), kWhiteCColor, kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    auto* b = new ProbeView(CRect(100, 10, 150, 60));
    f->addView(a);
    f->addView(b);
    f->platformOnMouseDown(CPoint(15, 15), kLButton);
    f->platformOnMouseMoved(CPoint(120, 20), kLButton);
    f->platformOnMouseUp(CPoint(120, 20), kLButton);
    EXPECT_EQ(a->log, (std::vector<std::string>{"down 15,15 2"}));
    EXPECT_EQ(b->log, (std::vector<std::string>{"move 120,20"})); // no release: b was not pressed
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
    box->addView(under);
    box->addView(over);
    box->addView(hidden);
    box->addView(disabled);
    f->addView(box);
    f->platformOnMouseDown(CPoint(60, 40), kLButton);
    f->platformOnMouseUp(CPoint(60, 40), kLButton);
    EXPECT_EQ(over->log, (std::vector<std::string>{"down 20,20 2", "up 20,20"}));
    EXPECT_TRUE(under->log.empty());
    EXPECT_TRUE(hidden->log.empty());
    EXPECT_TRUE(disabled->log.empty());
    // A view that does not handle the press keeps it from the views below (unless it is
    // transparent).
    over->downAnswer = kMouseEventNotHandled;
    f->platformOnMouseDown(CPoint(60, 40), kLButton);
    EXPECT_TRUE(under->log.empty());
    over->setTransparency(true);
    f->platformOnMouseDown(CPoint(60, 40), kLButton);
    f->platformOnMouseUp(CPoint(60, 40), kLButton);
    EXPECT_EQ(under->log, (std::vector<std::string>{"down 20,20 2", "up 20,20"}));
    // Right edges are outside a rectangle.
    f->platformOnMouseDown(CPoint(140, 60), kLButton);
    EXPECT_EQ(under->log.size(), 2u);
    f->platformOnMouseDown(CPoint(139, 60), kLButton);
    EXPECT_EQ(under->log.size(), 3u);
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
    const CPoint p(45, 45); // leaf at (25, 25) in its parent's coordinates

    EXPECT_TRUE(f->platformOnMouseWheel(p, 1.f, 0));
    EXPECT_EQ(leaf->log, (std::vector<std::string>{"wheel 25,25 1"}));
    EXPECT_TRUE(inner->log.empty());

    leaf->wheelAnswer = false;
    inner->wheelAnswer = false;
    EXPECT_TRUE(f->platformOnMouseWheel(p, -1.f, 0));
    EXPECT_EQ(leaf->log.back(), "wheel 25,25 -1");
    EXPECT_EQ(inner->log, (std::vector<std::string>{"wheel 35,35"})); // in its parent's coordinates
    EXPECT_EQ(outer->log, (std::vector<std::string>{"wheel 45,45"}));

    outer->wheelAnswer = false;
    EXPECT_FALSE(f->platformOnMouseWheel(p, 1.f, 0)); // nobody took it

    // A mouse-disabled view is passed over: its parent gets the wheel.
    leaf->setMouseEnabled(false);
    inner->wheelAnswer = true;
    const std::size_t leafEvents = leaf->log.size();
    EXPECT_TRUE(f->platformOnMouseWheel(p, 1.f, 0));
    EXPECT_EQ(leaf->log.size(), leafEvents);
    EXPECT_EQ(inner->log.back(), "wheel 35,35");
}

TEST(GuiEvents, DoubleClickWithin400msAnd4Pixels) {
    GuiStateGuard state;
    setManualGuiClock(10000);
    OffscreenFrame f(kFrameRect);
    auto* v = new ProbeView(CRect(0, 0, 200, 150));
    f->addView(v);
    auto press = [&](CPoint p, CButtonState b = kLButton) {
        f->platformOnMouseDown(p, b);
        f->platformOnMouseUp(p, b);
        return v->lastButtons.isDoubleClick();
    };
    EXPECT_FALSE(press(CPoint(50, 50)));
    advanceManualGuiClock(400);
    EXPECT_TRUE(press(CPoint(54, 46)));
    advanceManualGuiClock(100);
    EXPECT_FALSE(press(CPoint(54, 46))); // a third press starts over
    advanceManualGuiClock(401);
    EXPECT_FALSE(press(CPoint(54, 46))); // too late
    advanceManualGuiClock(100);
    EXPECT_FALSE(press(CPoint(59, 46))); // too far
    advanceManualGuiClock(100);
    EXPECT_FALSE(press(CPoint(59, 46), kRButton)); // another button
    advanceManualGuiClock(100);
    EXPECT_TRUE(press(CPoint(59, 46), kRButton));
    EXPECT_TRUE(v->lastButtons & kRButton);
}

TEST(GuiEvents, X11ModifiersAndButtons) {
    EXPECT_EQ(x11::buttonStateOf(ShiftMask)(), kShift);
    EXPECT_EQ(x11::buttonStateOf(ControlMask)(), kControl); // the Command role
    EXPECT_EQ(x11::buttonStateOf(Mod1Mask)(), kAlt);        // Option
    EXPECT_EQ(x11::buttonStateOf(Mod4Mask)(), kApple);      // the Mac's Control key
    EXPECT_EQ(x11::buttonStateOf(Button1Mask | ControlMask | ShiftMask)(), kLButton | kControl | kShift);
    EXPECT_EQ(x11::buttonStateOf(Button2Mask)(), kMButton);
    EXPECT_EQ(x11::buttonStateOf(Button3Mask | LockMask | Mod2Mask)(), kRButton); // Caps and Num Lock ignored
}

TEST(GuiEvents, KeysGoToHooksFirstThenToTheFocusView) {
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
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_DOWN)), -1); // no focus view
    f->setFocusView(v);
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_UP)), 1); // the hook took it
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode(0, VKEY_DOWN)), 1); // the view took it
    EXPECT_EQ(hook.seen, (std::vector<int>{VKEY_DOWN, VKEY_UP, VKEY_DOWN}));
    EXPECT_EQ(v->log, (std::vector<std::string>{"key 14"}));
    f->unregisterKeyboardHook(&hook);
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_UP));
    EXPECT_EQ(hook.seen.size(), 3u);
    // Removing the focus view forgets it.
    f->removeView(v, true);
    EXPECT_EQ(f->getFocusView(), nullptr);
}

TEST(GuiEvents, APopupOpenedByAPressTakesTheRelease) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    auto* menu = new COptionMenu(CRect(10, 10, 60, 30), nullptr, 5);
    menu->addEntry("A");
    f->addView(menu);
    auto* other = new ProbeView(CRect(100, 100, 150, 150));
    f->addView(other);
    presenter.dismiss();
    f->platformOnMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(presenter.transcript().size(), 1u);
    f->platformOnMouseMoved(CPoint(120, 120), 0); // not captured by the menu
    EXPECT_EQ(other->log, (std::vector<std::string>{"move 120,120"}));
}

// ---- Standard controls --------------------------------------------------------------------

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
    f->platformOnMouseMoved(CPoint(30, 30), kLButton); // on the edge: still pressed
    EXPECT_EQ(kick->getValue(), 1.f);
    f->platformOnMouseUp(CPoint(30, 30), kLButton);
    EXPECT_EQ(kick->getValue(), 0.f);
    EXPECT_EQ(l.changes, (std::vector<float>{1.f, 0.f}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 4", "end 4"}));
    // The right button does nothing.
    f->platformOnMouseDown(CPoint(15, 15), kRButton);
    EXPECT_EQ(kick->getValue(), 0.f);
}

TEST(GuiControls, OnOffButtonTogglesOnAClickWithoutCapturing) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    CBitmap* strip = stripedBitmap(20, 10, {CColor(60, 0, 0), CColor(0, 200, 0)});
    auto* sw = new COnOffButton(CRect(10, 10, 30, 20), &l, 8, strip);
    strip->forget();
    f->addView(sw);
    OffscreenRenderer r(f.get());
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(15, 15), CColor(60, 0, 0)); // upper half: off
    f.click(CPoint(15, 15));
    EXPECT_EQ(sw->getValue(), 1.f);
    r.renderInvalid();
    EXPECT_EQ(r.getPixel(15, 15), CColor(0, 200, 0)); // lower half: on
    f.click(CPoint(15, 15));
    EXPECT_EQ(sw->getValue(), 0.f);
    EXPECT_EQ(l.changes, (std::vector<float>{1.f, 0.f}));
    // A listener that takes modifier clicks keeps the switch as it is.
    l.modifierAnswer = 1;
    f.click(CPoint(15, 15), kLButton | kShift);
    EXPECT_EQ(sw->getValue(), 0.f);
    EXPECT_EQ(l.modifierClicks.size(), 1u);
}

TEST(GuiControls, AnimKnobDragsLinearlyShowsItsFrameAndTakesTheWheel) {
    GuiStateGuard state;
    RecordingEditor editor; // knob mode linear
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener l;
    std::vector<CColor> frames;
    for (int i = 0; i < 11; ++i) frames.push_back(CColor(static_cast<uint8_t>(i * 20), 0, 0));
    CBitmap* strip = stripedBitmap(20, 20, frames);
    auto* knob = new CAnimKnob(CRect(50, 50, 70, 70), &l, 2, strip);
    strip->forget();
    EXPECT_EQ(knob->getNumSubPixmaps(), 11);
    f->addView(knob);
    f->platformOnMouseDown(CPoint(60, 60), kLButton);
    f->platformOnMouseMoved(CPoint(60, 10), kLButton); // 50 px up: a quarter of the range
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6);
    f->platformOnMouseMoved(CPoint(60, 10), kLButton | kShift); // fine: same spot, same value
    f->platformOnMouseUp(CPoint(60, 10), kLButton);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 2", "end 2"}));
    OffscreenRenderer r(f.get());
    r.renderAll();
    EXPECT_EQ(knob->getFrameIndex(), 3); // 0.25 * 10 rounded
    EXPECT_EQ(r.getPixel(55, 55), frames[3]);
    knob->setWheelInc(0.1f);
    EXPECT_TRUE(f->platformOnMouseWheel(CPoint(60, 60), 1.f, 0));
    EXPECT_NEAR(knob->getValue(), 0.35f, 1e-6);
    EXPECT_TRUE(f->platformOnMouseWheel(CPoint(60, 60), -1.f, kShift));
    EXPECT_NEAR(knob->getValue(), 0.34f, 1e-6);
    // A double click sets the default value.
    knob->setDefaultValue(0.5f);
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
    auto* elsewhere = new ProbeView(CRect(100, 100, 150, 150));
    f->addView(field);
    f->addView(elsewhere);
    auto type = [&](const char* s) {
        for (const char* p = s; *p; ++p) f->platformOnKeyDown(makeVstKeyCode(*p));
    };
    f.click(CPoint(20, 20));
    ASSERT_TRUE(field->isTextEditing());
    EXPECT_EQ(f->getFocusView(), field);
    type("100"); // replaces the selected text
    EXPECT_EQ(field->getEditedText(), "100");
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_BACK));
    type("7");
    EXPECT_EQ(field->getText(), "64"); // not yet
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_RETURN));
    EXPECT_FALSE(field->isTextEditing());
    EXPECT_EQ(field->getText(), "107");
    ASSERT_EQ(l.controls.size(), 1u);

    f.click(CPoint(20, 20));
    type("9");
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_ESCAPE));
    EXPECT_EQ(field->getText(), "107");
    EXPECT_EQ(l.controls.size(), 1u);

    f.click(CPoint(20, 20));
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_END));
    type("5");
    f.click(CPoint(120, 120)); // focus goes elsewhere: commits
    EXPECT_EQ(field->getText(), "1075");
    EXPECT_EQ(l.controls.size(), 2u);
    EXPECT_EQ(f->getFocusView(), nullptr);

    // Committing an unchanged text tells nobody; keys without focus go nowhere.
    f.click(CPoint(20, 20));
    f->platformOnKeyDown(makeVstKeyCode(0, VKEY_ENTER));
    EXPECT_EQ(l.controls.size(), 2u);
    EXPECT_EQ(f->platformOnKeyDown(makeVstKeyCode('x')), -1);
}
