// The editor binding: AEffGUIEditor behind the plug-in's edit opcodes and the vendor wheel
// message, with edit gestures reaching the host, the knob mode and the GUI clock.
#include <gtest/gtest.h>

#include "gui_support/GuiTestKit.h"
#include "support/PluginHarness.h"

using namespace guitest;

namespace {

class GuiTestEditor : public AEffGUIEditor, public TEditorLink, public IKeyboardHook {
public:
    explicit GuiTestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
        rect.top = 0;
        rect.left = 0;
        rect.bottom = 120;
        rect.right = 240;
    }

    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), this);
        frame->open(ptr, ptr ? PlatformType::kDefaultNative : PlatformType::kOffscreen);
        knob = new CAnimKnob(CRect(10, 10, 50, 50), &listener, 5, 1, 40, nullptr);
        knob->setWheelInc(0.1f);
        frame->addView(knob);
        area = new CKickButton(CRect(100, 10, 140, 50), &listener, 9999, nullptr);
        frame->addView(area);
        frame->registerKeyboardHook(this);
        ++opens;
        return true;
    }
    void close() override {
        if (frame) frame->unregisterKeyboardHook(this);
        knob = nullptr;
        area = nullptr;
        AEffGUIEditor::close();
    }

    int32_t onKeyDown(const VstKeyCode& k, CFrame*) override {
        keys.push_back(k);
        return k.virt == VKEY_UP ? 1 : -1;
    }
    int32_t onKeyUp(const VstKeyCode& k, CFrame*) override {
        keysUp.push_back(k);
        return -1;
    }
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
    CKickButton* area = nullptr;
    std::vector<VstKeyCode> keys, keysUp;
    std::vector<int> editTags;
    int opens = 0;
};

GuiTestEditor* installGuiEditor(PluginHarness& h) {
    delete h->getEditor();
    auto* ed = new GuiTestEditor(&h.plugin());
    h->setEditor(ed);
    h->editorLink = ed;
    return ed;
}

constexpr VstInt32 fourCC(char a, char b, char c, char d) {
    return (static_cast<VstInt32>(a) << 24) | (static_cast<VstInt32>(b) << 16) | (static_cast<VstInt32>(c) << 8) |
           static_cast<VstInt32>(d);
}

} // namespace

TEST(GuiEditorBinding, RectBeforeOpenThenOpenIdleClose) {
    GuiStateGuard state;
    useScratchHome();
    PluginHarness h;
    GuiTestEditor* ed = installGuiEditor(h);
    const int64_t before = CBaseObject::liveObjects();

    ERect* r = nullptr;
    EXPECT_EQ(h.dispatch(effEditGetRect, 0, 0, &r), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->right, 240);
    EXPECT_EQ(r->bottom, 120);
    EXPECT_FALSE(ed->isOpen());

    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(h.dispatch(effEditOpen, 0, 0, nullptr), 1); // no window: off-screen
        ASSERT_NE(ed->getFrame(), nullptr);
        EXPECT_TRUE(ed->isOpen());
        EXPECT_TRUE(ed->getFrame()->isOffscreen());
        OffscreenRenderer(ed->getFrame()).renderInvalid(); // the first paint
        ed->knob->setValue(0.6f);
        h.dispatch(effEditIdle);
        ASSERT_EQ(ed->getFrame()->getInvalidRegion().size(), 1u);
        EXPECT_EQ(ed->getFrame()->getInvalidRegion()[0], CRect(10, 10, 50, 50));
        h.dispatch(effEditClose);
        EXPECT_EQ(ed->getFrame(), nullptr);
        EXPECT_FALSE(ed->isOpen());
        EXPECT_EQ(CBaseObject::liveObjects(), before);
    }
    EXPECT_EQ(ed->opens, 3);
}

TEST(GuiEditorBinding, KeysFromTheHostReachTheFrame) {
    GuiStateGuard state;
    useScratchHome();
    PluginHarness h;
    GuiTestEditor* ed = installGuiEditor(h);
    h.dispatch(effEditOpen, 0, 0, nullptr);
    EXPECT_EQ(h.dispatch(effEditKeyDown, 'a', VKEY_UP, nullptr, MODIFIER_SHIFT), 1);
    EXPECT_EQ(h.dispatch(effEditKeyDown, 'b', VKEY_DOWN), 0); // nobody took it: back to the host
    EXPECT_EQ(h.dispatch(effEditKeyUp, 'a', VKEY_UP), 0);
    ASSERT_EQ(ed->keys.size(), 2u);
    EXPECT_EQ(ed->keys[0].character, 'a');
    EXPECT_EQ(ed->keys[0].virt, VKEY_UP);
    EXPECT_EQ(ed->keys[0].modifier, MODIFIER_SHIFT);
    EXPECT_EQ(ed->keysUp.size(), 1u);
    h.dispatch(effEditClose);
    // Closed: keys go nowhere.
    EXPECT_EQ(h.dispatch(effEditKeyDown, 'a', VKEY_UP), 0);
    EXPECT_EQ(ed->keys.size(), 2u);
}

TEST(GuiEditorBinding, TheVendorWheelMessageReachesTheViewUnderTheMouse) {
    GuiStateGuard state;
    useScratchHome();
    PluginHarness h;
    GuiTestEditor* ed = installGuiEditor(h);
    h.dispatch(effEditOpen, 0, 0, nullptr);
    ed->getFrame()->platformOnMouseMoved(CPoint(30, 30), 0);
    ed->knob->setValue(0.5f);
    EXPECT_EQ(h.dispatch(effVendorSpecific, fourCC('s', 't', 'C', 'A'), fourCC('W', 'h', 'e', 'e'), nullptr, 1.f), 1);
    EXPECT_NEAR(ed->knob->getValue(), 0.6f, 1e-6);
    EXPECT_EQ(h.dispatch(effVendorSpecific, fourCC('s', 't', 'C', 'A'), fourCC('W', 'h', 'e', 'e'), nullptr, -2.f), 1);
    EXPECT_NEAR(ed->knob->getValue(), 0.4f, 1e-6);
    // Nothing under the mouse takes the wheel: not handled.
    ed->getFrame()->platformOnMouseMoved(CPoint(200, 100), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, fourCC('s', 't', 'C', 'A'), fourCC('W', 'h', 'e', 'e'), nullptr, 1.f), 0);
    h.dispatch(effEditClose);
}

TEST(GuiEditorBinding, EditGesturesReachTheHostOnlyForParameters) {
    GuiStateGuard state;
    useScratchHome();
    PluginHarness h;
    GuiTestEditor* ed = installGuiEditor(h);
    h.dispatch(effEditOpen, 0, 0, nullptr);
    CFrame* frame = ed->getFrame();
    ed->setKnobMode(kLinearMode);
    frame->platformOnMouseDown(CPoint(30, 30), kLButton);
    frame->platformOnMouseMoved(CPoint(30, 20), kLButton);
    frame->platformOnMouseUp(CPoint(30, 20), kLButton);
    EXPECT_EQ(h.host().beginEdits, (std::vector<int>{5}));
    EXPECT_EQ(h.host().endEdits, (std::vector<int>{5}));
    EXPECT_EQ(ed->editTags, (std::vector<int>{5, -1}));
    EXPECT_FALSE(ed->listener.changes.empty());
    // A click area with tag 9999 brackets its press too, but the host never hears of it.
    frame->platformOnMouseDown(CPoint(120, 30), kLButton);
    frame->platformOnMouseUp(CPoint(120, 30), kLButton);
    EXPECT_EQ(h.host().beginEdits.size(), 1u);
    EXPECT_EQ(h.host().endEdits.size(), 1u);
    ed->beginEdit(1024); // beyond the plug-in's parameters
    ed->beginEdit(-1);
    EXPECT_EQ(h.host().beginEdits.size(), 1u);
    h.dispatch(effEditClose);
}

TEST(GuiEditorBinding, KnobModeAndTicks) {
    GuiStateGuard state;
    useScratchHome();
    PluginHarness h;
    GuiTestEditor* ed = installGuiEditor(h);
    const int32_t saved = CFrame::kDefaultKnobMode;
    CFrame::kDefaultKnobMode = kLinearMode;
    EXPECT_EQ(ed->getKnobMode(), kLinearMode); // none chosen: the default
    EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, kRelativCircularMode), 1);
    EXPECT_EQ(ed->getKnobMode(), kRelativCircularMode);
    EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, 7), 0);
    EXPECT_EQ(ed->getKnobMode(), kRelativCircularMode);
    CFrame::kDefaultKnobMode = saved;

    setManualGuiClock(5000);
    EXPECT_EQ(ed->getTicks(), 5000u);
    advanceManualGuiClock(49);
    EXPECT_EQ(ed->getTicks(), 5049u);
    useSystemGuiClock();
    const uint32_t a = ed->getTicks();
    const uint32_t b = ed->getTicks();
    EXPECT_LE(b - a, 1000u);
}
