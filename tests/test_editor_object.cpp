// The editor object as a host drives it: sizes, open and close, values both ways between the
// controls, the plug-in and the host, and work that other threads hand to the UI thread.
#include <atomic>
#include <thread>

#include "test_editor_util.h"

using namespace edtest;

namespace {

ERect* rectOf(Bench& b) {
    ERect* r = nullptr;
    b.h.dispatch(effEditGetRect, 0, 0, &r);
    return r;
}

TEST(EditorObject, OpensAtEverySizeWithTheFrameTheHostWasTold) {
    const int widths[4] = {1132, 1415, 1698, 2264}, heights[4] = {779, 973, 1168, 1558};
    for (int size = 0; size < 4; ++size) {
        Bench b(kClosed, size);
        ERect* r = rectOf(b);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->right - r->left, widths[size]);
        EXPECT_EQ(r->bottom - r->top, heights[size]);
        b.open();
        CFrame* f = b.frame();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->getViewSize(), CRect(0, 0, widths[size], heights[size]));
        EXPECT_EQ(b.ed->getLoadedBitmapCount(), 39);
        EXPECT_TRUE(b.p().isEditorOpen());
        OffscreenRenderer shot(f);
        shot.renderAll();
        EXPECT_NE(shot.getPixel(widths[size] / 2, heights[size] - 3), CColor(0, 0, 0, 0)) << "background drawn";
        b.h.dispatch(effEditClose);
        EXPECT_FALSE(b.p().isEditorOpen());
        EXPECT_EQ(b.ed->getFrame(), nullptr);
    }
    // Without artwork and without a parent window it still opens, at the plain size.
    Bench b(kClosed);
    CBitmap::setResourceFolder("/nonexistent-folder");
    b.open();
    EXPECT_EQ(b.ed->getLoadedBitmapCount(), 0);
    EXPECT_EQ(b.frame()->getViewSize(), CRect(0, 0, 1132, 779));
}

TEST(EditorObject, RepeatedOpenAndCloseLeavesNothingBehind) {
    Bench b(kClosed);
    int controls = -1;
    for (int i = 0; i < 20; ++i) {
        b.open();
        if (controls < 0) controls = b.ed->getControlCount();
        EXPECT_EQ(b.ed->getControlCount(), controls);
        b.h.dispatch(effEditClose);
        EXPECT_EQ(b.ed->getControlCount(), 0);
        EXPECT_EQ(b.ed->getLiveViewCount(), 0);
        EXPECT_EQ(b.ed->getLoadedBitmapCount(), 0);
    }
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorObject, AnOpenWithoutACloseReplacesTheEditorAndACloseWhileOpenIsClean) {
    Bench b(kClosed);
    b.open();
    const int views = b.ed->getLiveViewCount();
    for (int i = 0; i < 3; ++i) b.open();
    EXPECT_EQ(b.ed->getLiveViewCount(), views);
    EXPECT_EQ(b.ed->getLoadedBitmapCount(), 39);
    EXPECT_TRUE(b.p().isEditorOpen());
    b.h.dispatch(effEditClose);
    EXPECT_EQ(b.ed->getLiveViewCount(), 0);
    EXPECT_TRUE(b.guard.faults.empty());

    // effClose with the editor open: the editor goes first (the sanitizer build checks that
    // nothing touches the plug-in after its members are gone).
    PluginHarness h;
    ASSERT_EQ(h.dispatch(effEditOpen), 1);
    h.dispatch(effEditIdle);
}

TEST(EditorObject, KnobDragReachesTheHostAsOneBalancedGestureAndTheTwinFollows) {
    Bench b;
    TKnob* k = b.ed->knob(5);
    ASSERT_TRUE(k);
    const float before = b.get(5);
    b.h.host().beginEdits.clear();
    b.h.host().endEdits.clear();
    const CPoint c = Bench::centre(k);
    b.drag(c, CPoint(c.x, c.y - 20), 20);
    const float after = b.get(5);
    EXPECT_NEAR(after - before, 20.f / 200.f, 0.011f);
    EXPECT_EQ(b.h.host().automated.back().first, 5);
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>{5});
    EXPECT_EQ(b.h.host().endEdits, std::vector<int>{5});
    b.ed->showEasyScreen();
    b.step();
    ASSERT_TRUE(b.ed->knob(5, true));
    EXPECT_FLOAT_EQ(b.ed->knob(5, true)->getValue(), after);
}

TEST(EditorObject, AutomationFromAnotherThreadReachesTheControlsAtTheNextIdle) {
    Bench b;
    AEffect* e = b.p().getAeffect();
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i <= 200; ++i) e->setParameter(e, 5, i / 200.f * 0.25f);
        done = true;
    });
    while (!done) b.h.dispatch(effEditIdle);
    automation.join();
    EXPECT_TRUE(b.guard.faults.empty()) << "a view was touched off the UI thread";
    b.step();
    EXPECT_FLOAT_EQ(b.ed->knob(5)->getValue(), 0.25f);
    EXPECT_FALSE(b.ed->hasPendingWork());
}

TEST(EditorObject, ProgramAppliedByTheAudioThreadRefreshesTheControlsAtTheNextIdle) {
    Bench b;
    // A program record: the 1024 values, then a 32-byte name.
    std::vector<float> values(1024 + 8, 0.f);
    for (int t = 0; t < 1024; ++t) values[t] = b.get(t);
    values[5] = 0.125f;
    ASSERT_EQ(b.h.dispatch(effSetChunk, 1, 4128, values.data()), 1);
    std::thread audio([&] { b.h.run(3 * 4096); });
    audio.join();
    b.step();
    EXPECT_FLOAT_EQ(b.ed->knob(5)->getValue(), 0.125f);
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorObject, SizePreferencesApplyAtTheNextCreation) {
    {
        Bench b(kClosed);
        b.ed->setScreenSize(2);
        EXPECT_EQ(rectOf(b)->right, 1132) << "the open instance keeps its size";
        const auto t = platform::dialogTranscript();
        ASSERT_EQ(t.size(), 1u);
        EXPECT_NE(t[0].text.find("150% Screen Mode"), std::string::npos);
    }
    PluginHarness next;
    ERect* r = nullptr;
    next.dispatch(effEditGetRect, 0, 0, &r);
    EXPECT_EQ(r->right, 1698);
    saveStringToPrefs("Big200", "y");
    EXPECT_FALSE(uEditor::getRegValue("Big200", false));
    EXPECT_TRUE(uEditor::getRegValue("Big200", true));
}

}  // namespace
