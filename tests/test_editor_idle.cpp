// The running editor's idle refresh with the GUI clock driven by the test: modulation rings
// follow the engine at most once per 200 ms, scopes advance at their two speeds, the arp LED
// follows the playing step, the lock blinks at 500 ms, effect sections dim, hovering fills
// the readouts and the tooltip, and a knob dropped onto the matrix is routed there.
#include <set>

#include "controls/TArpScreen.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TModScreen.h"
#include "controls/TOptionMenu.h"
#include "controls/TReadout.h"
#include "controls/TWaveScreen.h"
#include "test_arp_util.h"
#include "test_editor_live_util.h"

using namespace livetest;
using namespace enginetest;

namespace {

constexpr int kSourceLFO1 = 98;

TKnob* knobOfTag(LiveEditor& ed, int tag) {
    for (TKnob* k : ed.mainKnobs)
        if (k && k->getTag() == tag) return k;
    return nullptr;
}

TEST(EditorIdle, ModulationRingFollowsAnLFOAndRedrawsAtMostOncePer200ms) {
    Live b;
    TKnob* pan = knobOfTag(*b.ed, 3);
    ASSERT_TRUE(pan);
    const int dest = b.p().getTagDest(3);
    ASSERT_GT(dest, 0);
    b.e.set(plainWave(0));
    b.p().setModSlotVar(0, false, 0.7f, kSourceLFO1, dest);
    b.p().setParameter(LFO_SPEED_TAGS[0], 0.75f);
    b.e.noteOn(60);
    std::set<float> seen;
    int windowRedraws = 0, window = -1, maxPerWindow = 0;
    for (int i = 0; i < 60; ++i) {
        b.e.render(2400);  // 50 ms at 48 kHz
        const bool redrawn = b.stepRedraws(pan);
        const int w = static_cast<int>(b.ed->getTicks() / 200);
        if (w != window) windowRedraws = 0, window = w;
        windowRedraws += redrawn;
        maxPerWindow = std::max(maxPerWindow, windowRedraws);
        seen.insert(pan->getModValue());
    }
    EXPECT_GT(seen.size(), 5u) << "the ring follows the LFO";
    EXPECT_EQ(maxPerWindow, 1);
    // Without modulation the ring rests and nothing is redrawn.
    b.p().setModSlotVar(0, true, 0.f, 0, 0);
    b.e.noteOff(60);
    b.e.render(48000);
    b.step(200);
    b.step(200);
    EXPECT_FALSE(b.stepRedraws(pan, 200));
}

TEST(EditorIdle, AWireLayersScopeAdvancesAtItsTwoSpeeds) {
    for (const char* fast : {"N", "Y"}) {
        Live b(Prefs::List{{"OutputDisplaySpeed", fast}});
        b.e.set({{LAYER_ON_TAGS[0], 1.f}, {LAYER_SOURCE_TAGS[0], sourceValue(0)}});
        b.step();
        b.step();
        TWaveScreen* scope = b.ed->scopesMain[0];
        ASSERT_TRUE(scope && scope->getParentView());
        EXPECT_TRUE(scope->getActive());
        b.e.noteOn(60);
        int redraws = 0;
        for (int i = 0; i < 60; ++i) {  // 3 s
            b.e.render(2400);
            redraws += b.stepRedraws(scope);
        }
        EXPECT_NEAR(redraws, fast[0] == 'Y' ? 20 : 12, 1) << "OutputDisplaySpeed " << fast;
        b.e.set({{LAYER_ON_TAGS[0], 0.f}});
        b.step();
        EXPECT_FALSE(scope->getActive());
    }
}

TEST(EditorIdle, ArpLedFollowsThePlayingStep) {
    Live b;
    b.e.set(arptest::arpSetup(0));
    b.e.render(16);
    b.e.noteOn(60);
    std::set<int> steps;
    for (int i = 0; i < 40; ++i) {
        b.e.render(2400);
        b.step();
        EXPECT_EQ(b.ed->arpScreen->getLedPos(), b.p().getArpLedPos());
        steps.insert(b.ed->arpScreen->getLedPos());
    }
    EXPECT_GT(steps.size(), 4u);
}

TEST(EditorIdle, LockBlinksEvery500msAndHoldsItsKnobs) {
    Live b;
    TOptionMenu* lock = b.ed->playMenus[1];
    TKnob* swing = knobOfTag(*b.ed, 398);
    b.p().setParameter(398, 0.2f);
    b.p().setLockState(1);
    b.p().setParameter(398, 0.9f);
    int redraws = 0;
    for (int i = 0; i < 40; ++i) redraws += b.stepRedraws(lock);  // 2 s
    EXPECT_NEAR(redraws, 4, 1);
    EXPECT_FLOAT_EQ(swing->getValue(), 0.2f) << "a locked knob shows the held value";
    b.p().setLockState(0);
    b.step();
    redraws = 0;
    for (int i = 0; i < 40; ++i) redraws += b.stepRedraws(lock);
    EXPECT_EQ(redraws, 0);
}

TEST(EditorIdle, EffectSectionsDimWhenOffOrBypassed) {
    Live b;
    LiveEditor& ed = *b.ed;
    const struct {
        int sw;
        bool on, bypassAll;
    } rows[] = {{351, true, false}, {351, false, false}, {351, true, true}, {354, true, false},
                {354, false, false}, {348, true, true},  {346, true, false}, {346, false, false}};
    for (const auto& r : rows) {
        b.p().setParameter(r.sw, r.on ? 1.f : 0.f);
        b.p().setParameter(345, r.bypassAll ? 1.f : 0.f);
        b.step();
        const bool lit = r.on && !r.bypassAll;
        switch (r.sw) {
            case 351:
                EXPECT_EQ(knobOfTag(ed, 113)->getBypassed(), !lit);
                EXPECT_EQ(ed.fxKnobLabels[0]->getString(), "MIX");
                break;
            case 354: EXPECT_EQ(knobOfTag(ed, 122)->getBypassed(), !lit); break;
            case 348: EXPECT_EQ(ed.modFXKnobs[0]->getBypassed(), !lit); break;
            default: EXPECT_EQ(ed.distortModeMenu->isBypassed(), !lit); break;
        }
    }
    // The easy page's delay captions follow too.
    b.p().setParameter(345, 1.f);
    ed.showEasyScreen();
    b.step();
    int dimmed = 0;
    for (int i = 0; i < 40; ++i)
        if (ed.easyKnobs[i] && ed.easyKnobs[i]->getTag() == 113) dimmed += ed.easyLabels[i]->getString() == "MIX";
    EXPECT_EQ(dimmed, 1);
}

TEST(EditorIdle, HoveringAKnobShowsItsNameAndValueAndTooltip) {
    Live b;
    TKnob* decay = knobOfTag(*b.ed, 6);
    b.hover(decay);
    b.step(200);
    const std::string name = b.p().getParameterNameStr(6), value = b.p().getParameterDisplayStr(6);
    EXPECT_EQ(b.ed->paramNameReadout->getString(), name);
    EXPECT_EQ(b.ed->paramValueReadout->getString(), value);
    char tip[256] = {};
    uint32_t size = 0;
    ASSERT_TRUE(decay->getAttribute(kCViewTooltipAttribute, sizeof tip, tip, size));
    EXPECT_EQ(std::string(tip), name + ": " + value);
    b.hover(b.ed->presetMenu);
    b.step(200);
    EXPECT_EQ(b.ed->getHoverName(), "Preset Menu");
    EXPECT_EQ(b.ed->paramNameReadout->getString(), "Preset Menu");
}

TEST(EditorIdle, AKnobDroppedOntoTheMatrixIsRoutedThereAndKeepsItsValue) {
    Live b;
    TKnob* pan = knobOfTag(*b.ed, 3);
    const float before = b.p().getParameter(3);
    int free = 0;
    while (free < 8 && b.p().getModSlotDest(free) != 0) ++free;
    ASSERT_LT(free, 8);
    const CPoint from = Live::centre(pan), to = Live::centre(b.ed->modScreen);
    b.frame()->platformOnMouseDown(from, kLButton);
    for (int k = 1; k <= 10; ++k)
        b.frame()->platformOnMouseMoved(CPoint(from.x + (to.x - from.x) * k / 10, from.y + (to.y - from.y) * k / 10),
                                        kLButton);
    b.frame()->platformOnMouseUp(to, kLButton);
    b.step();
    EXPECT_EQ(b.p().getModSlotDest(free), b.p().getTagDest(3));
    EXPECT_FLOAT_EQ(b.p().getParameter(3), before);
}

}  // namespace
