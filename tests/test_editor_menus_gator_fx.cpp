// The Gator menu with its gate step mask, and the effect and voice section menus, driven
// through the scripted menu presenter; the edited Gator pattern rendered with host time.
#include "test_editor_menu_util.h"

#include "platform/prefs.h"
#include "plugin/uPluginStrings.h"
#include "test_engine_util.h"

using namespace menutest;

namespace {

constexpr int kLeft = 111, kRight = 112, kLength = 110;

int mask(Bench& b, int tag) { return uEditor::decodeGateMask(b.get(tag)); }

void setPattern(Bench& b, int left, int right, int length) {
    b.set(kLeft, uEditor::encodeGateMask(left));
    b.set(kRight, uEditor::encodeGateMask(right));
    b.set(kLength, (length - 1 + 0.1f) / 15.99f);
}

}  // namespace

TEST(GateStepMask, EveryPatternReadsBackExactlyInTheEditorAndTheEngine) {
    PluginHarness h;
    APlugin& p = h.plugin();
    for (int m = 0; m <= 0xFFFF; ++m) {
        const float v = uEditor::encodeGateMask(m);
        ASSERT_EQ(uEditor::decodeGateMask(v), m);
        p.paramValue[kLeft] = v;
        p.decodeGatePattern();
        for (int k = 0; k < 16; ++k) ASSERT_EQ(p.gateGain[k][0], (m >> k) & 1 ? 1.0f : 0.0f) << m;
    }
    EXPECT_EQ(uEditor::decodeGateMask(1.0f), 0xFFFF);
    EXPECT_EQ(uEditor::decodeGateMask(0.0f), 0);
}

TEST(GatorMenu, PatternCommandsMoveTheFirstLengthStepsAndFlipAllSixteen) {
    // Length 4: left steps 1..4 are (1,0,0,0), right (0,1,0,0); steps 5..16 carry other bits.
    const int L = 0xA5F1, R = 0x3C02;
    const struct {
        const char* command;
        const char* typed;  // answer to the question, if any (nullptr: cancelled)
        int left, right;
    } rows[] = {
        {"Move Right", "", 0xA5F2, 0x3C04},       {"Move Left", "", 0xA5F8, 0x3C01},
        {"Move Gator", "10", 0xA5F4, 0x3C08},     {"Move Gator", "2", 0xA5F4, 0x3C08},
        {"Move Gator", "-15", 0xA5F2, 0x3C04},    {"Move Gator", "abc", L, R},
        {"Move Gator", nullptr, L, R},            {"Reverse", "", 0xA5F8, 0x3C04},
        {"Inverse", "", 0x5A0E, 0xC3FD},          {"Alternate", "", 0x5555, 0x5555},
        {"Alternate Left/Right", "", 0x5555, 0xAAAA}, {"Set All On", "", 0xFFFF, 0xFFFF},
        {"Set All Off", "", 0, 0},                {"Copy Left to Right", "", L, L},
        {"Copy Right to Left", "", R, R},         {"Swap Left and Right", "", R, L},
    };
    Bench b;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.command) + " " + (r.typed ? r.typed : "(cancel)"));
        setPattern(b, L, R, 4);
        b.h.host().automated.clear();
        if (std::string(r.command) == "Move Gator")
            r.typed ? platform::dialogScriptOk(r.typed) : platform::dialogScriptCancel();
        b.menus.choose({r.command});
        b.ed->showGaterMenu();
        EXPECT_EQ(mask(b, kLeft), r.left);
        EXPECT_EQ(mask(b, kRight), r.right);
        EXPECT_TRUE(b.heard().empty()) << "pattern edits are plain";
    }
}

TEST(GatorMenu, ResetLengthAndShowPosition) {
    Bench b;
    setPattern(b, 0x00F0, 0x0F00, 3);
    b.h.host().automated.clear();
    b.menus.choose({"Reset Gator"});
    b.ed->showGaterMenu();
    for (int tag : {kLength, kLeft, kRight}) {
        EXPECT_EQ(b.get(tag), 1.0f) << tag;
        EXPECT_TRUE(b.heardOf(tag)) << tag;
    }
    EXPECT_EQ(b.get(107), b.p().getDefaultValue(107));
    // The length list writes plainly; a dismissal still writes the show-position setting.
    b.h.host().automated.clear();
    b.menus.choose({"Set Length", "Set Length to 4 Steps"});
    b.ed->showGaterMenu();
    EXPECT_FLOAT_EQ(b.get(kLength), 3.1f / 15.99f);
    EXPECT_TRUE(b.heard().empty());
    saveBoolToPrefs("DisplayGaterPos", false);
    b.menus.dismiss();
    b.ed->showGaterMenu();
    EXPECT_TRUE(b.shows("Set Show Position On"));
    EXPECT_TRUE(getRegisterIsOn("DisplayGaterPos", false)) << "the editor's setting is written back";
}

TEST(GatorMenu, TheEditedPatternPlaysOnSixteenthsWithHostTime) {
    Bench b;
    b.menus.choose({"Reset Gator"});
    b.ed->showGaterMenu();
    b.menus.choose({"Alternate Left/Right"});
    b.ed->showGaterMenu();
    b.menus.choose({"Move Right"});  // left opens on odd steps, right on even ones
    b.ed->showGaterMenu();
    b.menus.choose({"Set Speed", GATER_PERIOD_STR[14]});  // a sixteenth note per step
    b.ed->showGaterMenu();
    using namespace enginetest;
    Params params = with(plainWave(1), {{250, stepped(1, 4.99f)}, {348, 1.0f}, {349, stepped(10, 10.99f)},
                                        {107, 1.0f}, {109, 0.0f}});
    for (int tag = 108; tag <= 112; ++tag)
        if (tag != 109) params.push_back({tag, b.get(tag)});
    const double step = 48000.0 * 60.0 / 120.0 / 4.0;
    const Rendered r = render(params, {midi(0, 0x90, 57, 110)}, (int64_t)(step * 16));
    ASSERT_TRUE(r.clean) << r.faults;
    for (int k = 0; k < 16; ++k) {
        const size_t mid = (size_t)((k + 0.25) * step);
        const double left = rms(r.left, mid, (size_t)(step / 2)), right = rms(r.right, mid, (size_t)(step / 2));
        const bool leftOpen = k % 2 == 1;
        EXPECT_GT(leftOpen ? left : right, 0.02) << "step " << k;
        EXPECT_LT(leftOpen ? right : left, 1e-3) << "step " << k;
    }
}

TEST(EffectMenus, ResetKeepsTheSwitchAndEveryChoiceReachesTheHostAsItShould) {
    using Show = void (uEditor::*)();
    const struct {
        Show show;
        const char* name;
        int section;
        int onOff;  // the section's switch kept by a reset (-1 none)
        const char* on;
        int onTag;
    } menus[] = {
        {&uEditor::showDistortMenu, "Distort FX", 20, 346, "Set Distort FX On", 346},
        {&uEditor::showModFXMenu, "Mod FX", 21, 348, "Set Mod FX Tempo Sync On", 350},
        {&uEditor::showDelayMenu, "Delay", 22, 351, "Set Delay Equal Feedback On", 353},
        {&uEditor::showReverbMenu, "Reverb", 23, 354, "Set Reverb On", 354},
        {&uEditor::showPathMenu, "Path", 24, -1, "Set Bypass On", 345},
        {&uEditor::showPlayMenu, "Play", 25, -1, nullptr, -1},
        {&uEditor::showAmpMenu, "Amp", 26, -1, nullptr, -1},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(m.name);
        Bench b;
        const std::string name = m.name;
        const int count = b.ed->getSectionTagCount(m.section);
        auto tag = [&](int i) { return b.ed->getSectionTag(m.section, i); };
        auto run = [&](const std::string& command) {
            b.h.host().automated.clear();
            b.menus.choose({command});
            (b.ed->*m.show)();
            return b.heard().size();
        };
        // Every value away from its default, the switch on.
        for (int i = 0; i < count; ++i) b.set(tag(i), b.p().getDefaultValue(tag(i)) > 0.5f ? 0.0f : 1.0f);
        if (m.onOff >= 0) b.set(m.onOff, 1.0f);
        EXPECT_EQ(run("Copy " + name), 0u);
        EXPECT_EQ(run("Reset " + name), (size_t)count - (m.onOff >= 0));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(b.get(tag(i)), tag(i) == m.onOff ? 1.0f : b.p().getDefaultValue(tag(i))) << tag(i);
        EXPECT_EQ(run("Paste " + name), 0u);
        EXPECT_EQ(run("Undo"), 0u);
        EXPECT_EQ(b.get(tag(0)), b.p().getDefaultValue(tag(0)));
        EXPECT_EQ(run("Set " + name + " to Original Value"), (size_t)count);
        if (m.on) {
            b.set(m.onTag, 0.0f);
            EXPECT_EQ(run(m.on), 1u);
            EXPECT_EQ(b.get(m.onTag), 1.0f);
        }
        EXPECT_TRUE(b.shows("Paste " + name));
    }
}

TEST(EffectMenus, ModelDefaultsAndDelayLengthsWritePlainly) {
    Bench b;
    b.set(349, 0.1f / 10.99f);  // Chorus
    for (int tag : {104, 105, 106, 107, 108, 109, 110, 111, 112, 350}) b.set(tag, 0.9f);
    b.h.host().automated.clear();
    b.menus.choose({"Set Mod FX to Default Value"});
    b.ed->showModFXMenu();
    const float chorus[] = {0.166f, 0.42f, 0.481f, 0.44f, 0.36f, 1.0f};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(b.get(107 + k), chorus[k]);
    EXPECT_EQ(b.get(350), 0.0f);
    b.set(347, 4.1f / 26.99f);  // Cab
    b.menus.choose({"Set Distort FX to Default Value"});
    b.ed->showDistortMenu();
    EXPECT_EQ(b.get(347), 4.1f / 26.99f) << "the model stays";
    EXPECT_EQ(b.get(105), 1.1f / 3.99f) << "the stored Cab row";
    // Lengths.
    const struct {
        const char* command;
        float left, right;
    } rows[] = {{"Set Delay Left Length to Right Length", 0.2f, 0.2f},
                {"Set Delay Right Length to Left Length", 0.7f, 0.7f},
                {"Swap Delay Left and Right Lengths", 0.7f, 0.2f}};
    for (const auto& r : rows) {
        b.set(114, 0.2f);
        b.set(115, 0.7f);
        b.menus.choose({r.command});
        b.ed->showDelayMenu();
        EXPECT_EQ(b.get(114), r.left) << r.command;
        EXPECT_EQ(b.get(115), r.right) << r.command;
    }
    EXPECT_TRUE(b.h.host().automated.empty());
}
