// The editor object as a host drives it: sizes, open and close, values both ways between the
// controls, the plug-in and the host, and work that other threads hand to the UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "controls/TKnob.h"
#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

std::string resourceFolder() {
    std::string p = TAV_PLUGIN_PATH;
    return p.substr(0, p.rfind('/')) + "/Tavrolune.resources";
}

// An editor with one knob of a tag on the easy page (where it opens) and its twin on the
// main page.
class KnobEditor : public uEditor {
public:
    explicit KnobEditor(APlugin* p) : uEditor(p) {}
    void createEasyScreenControls() override { createKnob(knobs[0], 5, 20, 20, 0); }
    void createMainScreenControls() override { createKnob(knobs[1], 5, 120, 20, 2); }
    void createBackScreen() override {}
    TKnob* knobs[2] = {};
};

struct EditorBench {
    explicit EditorBench(bool withKnobs = true) {
        CBitmap::setResourceFolder(resourceFolder());
        if (withKnobs) {
            delete h->getEditor();
            editor = new KnobEditor(&h.plugin());
        } else {
            editor = static_cast<uEditor*>(static_cast<AEffGUIEditor*>(h->getEditor()));
        }
    }
    ERect* rect() {
        ERect* r = nullptr;
        h.dispatch(effEditGetRect, 0, 0, &r);
        return r;
    }
    GuiStateGuard guard;
    PluginHarness h;
    uEditor* editor = nullptr;
};

TEST(EditorObject, OpensAtEverySizeWithTheFrameTheHostWasTold) {
    const int widths[4] = {1132, 1415, 1698, 2264}, heights[4] = {779, 973, 1168, 1558};
    const char* keys[4] = {"Big100", "Big125", "Big150", "Big200"};
    for (int size = 0; size < 4; ++size) {
        useScratchHome();
        for (int k = 0; k < 4; ++k) saveBoolToPrefs(keys[k], k == size);
        EditorBench b(false);
        ERect* r = b.rect();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->right - r->left, widths[size]);
        EXPECT_EQ(r->bottom - r->top, heights[size]);
        EXPECT_EQ(b.h.plugin().getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
        ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
        CFrame* f = b.editor->getFrame();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->getViewSize(), CRect(0, 0, widths[size], heights[size]));
        EXPECT_EQ(b.editor->getLoadedBitmapCount(), 39);
        EXPECT_TRUE(b.h.plugin().isEditorOpen());
        // The page's containers are in the frame and the background is drawn.
        EXPECT_GT(f->getNbViews(), 0);
        OffscreenRenderer shot(f);
        shot.renderAll();
        const CColor px = shot.getPixel(widths[size] / 2, heights[size] - 3);
        EXPECT_NE(px, CColor(0, 0, 0, 0));
        b.h.dispatch(effEditClose);
        EXPECT_FALSE(b.h.plugin().isEditorOpen());
        EXPECT_EQ(b.editor->getFrame(), nullptr);
    }
}

TEST(EditorObject, RepeatedOpenAndCloseLeavesNothingBehind) {
    EditorBench b;
    int controls = -1;
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
        if (controls < 0) controls = b.editor->getControlCount();
        EXPECT_EQ(b.editor->getControlCount(), controls);
        EXPECT_GE(b.editor->getTagControlIndex(5), 0);
        b.h.dispatch(effEditIdle);
        b.h.dispatch(effEditClose);
        EXPECT_EQ(b.editor->getControlCount(), 0);
        EXPECT_EQ(b.editor->getLiveViewCount(), 0);
        EXPECT_EQ(b.editor->getLoadedBitmapCount(), 0);
    }
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorObject, KnobDragReachesTheHostAsOneBalancedGesture) {
    EditorBench b;
    ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
    auto* ed = static_cast<KnobEditor*>(b.editor);
    CFrame* f = ed->getFrame();
    const float before = b.h->getParameter(5);
    const CPoint c = ed->knobs[0]->getViewSize().getCenter();
    f->platformOnMouseDown(c, kLButton);
    for (int dy = 1; dy <= 20; ++dy) f->platformOnMouseMoved(CPoint(c.x, c.y - dy), kLButton);
    f->platformOnMouseUp(CPoint(c.x, c.y - 20), kLButton);
    const float after = b.h->getParameter(5);
    EXPECT_NEAR(after - before, 20.f / 200.f, 0.011f);
    ASSERT_FALSE(b.h.host().automated.empty());
    EXPECT_EQ(b.h.host().automated.back().first, 5);
    EXPECT_EQ(b.h.host().beginEdits, std::vector<int>{5});
    EXPECT_EQ(b.h.host().endEdits, std::vector<int>{5});
    // Its twin shows the new value.
    EXPECT_FLOAT_EQ(ed->knobs[1]->getValue(), after);
    b.h.dispatch(effEditClose);
}

TEST(EditorObject, AutomationFromAnotherThreadReachesTheControlsAtTheNextIdle) {
    EditorBench b;
    ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
    auto* ed = static_cast<KnobEditor*>(b.editor);
    AEffect* e = b.h.plugin().getAeffect();
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i <= 200; ++i) e->setParameter(e, 5, i / 200.f * 0.25f);
        done = true;
    });
    while (!done) b.h.dispatch(effEditIdle);
    automation.join();
    EXPECT_EQ(b.guard.faults.size(), 0u) << "a view was touched off the UI thread";
    b.h.dispatch(effEditIdle);
    EXPECT_FLOAT_EQ(ed->knobs[0]->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(ed->knobs[1]->getValue(), 0.25f);
    EXPECT_FALSE(ed->hasPendingWork());
    b.h.dispatch(effEditClose);
}

TEST(EditorObject, SizePreferencesApplyAtTheNextCreation) {
    useScratchHome();
    for (const char* k : {"Big100", "Big125", "Big150", "Big200"}) saveBoolToPrefs(k, false);
    platform::dialogSetMode(platform::DialogMode::Scripted);
    platform::dialogTranscriptClear();
    {
        EditorBench b(false);
        b.editor->setScreenSize(2);
        EXPECT_EQ(b.rect()->right, 1132) << "the open instance keeps its size";
        const auto t = platform::dialogTranscript();
        ASSERT_EQ(t.size(), 1u);
        EXPECT_NE(t[0].text.find("150% Screen Mode"), std::string::npos);
    }
    EditorBench next(false);
    EXPECT_EQ(next.rect()->right, 1698);
    EXPECT_EQ(next.editor->getBig(), 2);
    EXPECT_FALSE(uEditor::getRegValue("Big200", false));
    saveStringToPrefs("Big200", "y");
    EXPECT_FALSE(uEditor::getRegValue("Big200", false));
    EXPECT_TRUE(uEditor::getRegValue("Big200", true));
    platform::dialogSetMode(platform::DialogMode::Headless);
}

TEST(EditorObject, OpensWithoutAnyArtworkAndWithoutAParentWindow) {
    useScratchHome();
    for (const char* k : {"Big100", "Big125", "Big150", "Big200"}) saveBoolToPrefs(k, false);
    EditorBench b(false);
    CBitmap::setResourceFolder("/nonexistent-folder");
    ASSERT_EQ(b.h.dispatch(effEditOpen, 0, 0, nullptr), 1);
    EXPECT_EQ(b.editor->getLoadedBitmapCount(), 0);
    EXPECT_EQ(b.editor->getFrame()->getViewSize(), CRect(0, 0, 1132, 779));
    b.h.dispatch(effEditIdle);
    b.h.dispatch(effEditClose);
}

TEST(EditorObject, ProgramAppliedByTheAudioThreadRefreshesTheControlsAtTheNextIdle) {
    EditorBench b;
    ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
    auto* ed = static_cast<KnobEditor*>(b.editor);
    // A program record: the 1024 values, then a 32-byte name.
    std::vector<float> values(1024 + 8, 0.f);
    for (int t = 0; t < 1024; ++t) values[t] = b.h->getParameter(t);
    const float wanted = 0.125f;
    values[5] = wanted;
    ASSERT_EQ(b.h.dispatch(effSetChunk, 1, 4128, values.data()), 1);
    std::thread audio([&] { b.h.run(3 * 4096); });
    audio.join();
    b.h.dispatch(effEditIdle);
    EXPECT_FLOAT_EQ(ed->knobs[0]->getValue(), wanted);
    EXPECT_FLOAT_EQ(ed->knobs[1]->getValue(), wanted);
    EXPECT_TRUE(b.guard.faults.empty());
    b.h.dispatch(effEditClose);
}

} // namespace
