// The running editor with the GUI clock driven by the test: commands and keys (program steps,
// the preview note, the lock, the arp preset browser, radios, the velocity-split fields, the
// back page's typed entries, tuning file and manual) and the idle refresh (modulation rings,
// scopes, the arp LED, the lock blink, dimmed effect sections, hover texts, knob drops).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <set>
#include <thread>

#include "controls/TArpScreen.h"
#include "controls/THSlider.h"
#include "controls/TKickButton.h"
#include "controls/TLabel.h"
#include "controls/TModScreen.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/TWaveScreen.h"
#include "engine/ArpPresetFile.h"
#include "gui/VstKeys.h"
#include "plugin/uPluginStrings.h"
#include "support/TestFiles.h"
#include "test_arp_util.h"
#include "test_editor_util.h"

using namespace edtest;
using namespace enginetest;

namespace {


float peak(const std::vector<float>& x, size_t from = 0) {
    float m = 0;
    for (size_t i = from; i < x.size(); ++i) m = std::max(m, std::fabs(x[i]));
    return m;
}

TEST(EditorCommands, ArrowKeysStepTheProgramAtMostEvery300ms) {
    Bench b(kEngine);
    TestEditor& ed = *b.ed;
    b.e().render(8192);  // the audio thread answers the refresh the opening asked for
    b.step(400);
    ed.resumes.clear();
    for (int t = 0; t < 1200; t += 30) {  // a held key repeating every 30 ms
        EXPECT_EQ(b.key(VKEY_DOWN), 1);
        advanceManualGuiClock(30);
    }
    ASSERT_GE(ed.resumes.size(), 4u);
    EXPECT_LE(ed.resumes.size(), 5u);
    for (size_t i = 1; i < ed.resumes.size(); ++i) EXPECT_GE(ed.resumes[i] - ed.resumes[i - 1], 300u);
    EXPECT_EQ(b.key(VKEY_LEFT), -1);
    EXPECT_EQ(b.key(VKEY_PAGEDOWN), 1);

    // While a program is being applied the keys are swallowed and nothing steps.
    ed.resumes.clear();
    b.p().presetPending = 1;
    advanceManualGuiClock(400);
    EXPECT_EQ(b.key(VKEY_UP), 1);
    EXPECT_TRUE(ed.resumes.empty());
    b.p().presetPending = 0;

    // The back page's "Keyboard" switch hands the keys to the host.
    ed.showBackScreen();
    b.click(ed.backPrefSwitches[3]);
    EXPECT_EQ(b.key(VKEY_DOWN), -1);
    EXPECT_FALSE(getRegisterIsOn("Keyboard", true));
}

TEST(EditorCommands, PreviewNoteSoundsAndStops) {
    Bench b(kEngine);
    b.e().set(plainWave(0));
    b.e().render(4800);
    CControl* preview = b.ed->previewButton;
    preview->setValue(1.f);
    b.ed->valueChanged(preview);
    EXPECT_GT(peak(b.e().render(9600)), 0.05f);
    preview->setValue(0.5f);  // exactly half way counts as released
    b.ed->valueChanged(preview);
    EXPECT_LT(peak(b.e().render(96000), 86400), 1e-4f);
}

TEST(EditorCommands, LockMenuHoldsTheLockedGroupAcrossAProgramChange) {
    Bench b(kEngine);
    TOptionMenu* lock = b.ed->playMenus[1];
    b.p().setSteppedValue(244, 2);  // "Mono"
    b.answer({"On"}).click(lock);
    EXPECT_EQ(b.p().getLockState(), 1);
    b.p().clearProgram();  // a new program's values
    b.step();
    EXPECT_EQ(b.p().getLockVarStepped(244), 2);
    EXPECT_EQ(b.ed->playMenus[0]->getString(), PLAY_MODE_STR[2]) << "the menu shows the held value";
    b.answer({"Set"}).click(lock);
    EXPECT_EQ(b.p().getLockState(), 0);
    EXPECT_EQ(b.p().getSteppedValue(244), 2) << "Set writes the held values back";
    EXPECT_EQ(lock->getString(), "Off");
}

TEST(EditorCommands, ArpFolderAndPresetMenusLoadAPresetFromTheArpFolder) {
    Bench b(kEngine, 0, PrefList{{"AdvancedDisplay", "N"}});
    const std::string root = testfiles::makeScratchFolder("arpdir") + "/";
    std::vector<float> values(arpfile::kValues, 0.25f);
    values[412 - 394] = 1.f;  // step 1 on
    testfiles::writeFile(root + "Bass/Walk.arp", arpfile::write(values.data()));
    testfiles::writeFile(root + "Lead/Other.arp", arpfile::write(std::vector<float>(arpfile::kValues, 0.f).data()));
    b.p().arpDir = root;
    b.p().scanArpFolders();
    b.ed->resume();
    b.step();
    b.answer({"Bass"}).click(b.ed->arpFolderMenu);
    b.step();
    b.answer({"Walk"}).click(b.ed->arpPresetMenu);
    b.step();
    EXPECT_FLOAT_EQ(b.p().getParameter(398), 0.25f);
    EXPECT_EQ(b.ed->arpPresetMenu->getString(), "Walk");
    EXPECT_EQ(b.ed->arpFolderMenu->getString(), "Bass");
}

TEST(EditorCommands, RadiosSwitchTheirGroupAndTheWheelWrapsWithinIt) {
    Bench b(kEngine);
    TestEditor& ed = *b.ed;
    b.click(ed.lfoRadios[1]);
    EXPECT_EQ(ed.selectedLFO, 1);
    b.click(ed.chordRadios[3]);
    EXPECT_EQ(ed.selectedChord, 3);
    b.wheel(ed.chordRadios[3], -1.f);
    EXPECT_EQ(ed.selectedChord, 0) << "chord 4 steps on to chord 1";
    b.wheel(ed.chordRadios[3], 1.f);
    EXPECT_EQ(ed.selectedChord, 3);

    // The velocity split: its page, its layer buttons (the wheel stays in their group) and
    // its typed values.
    b.click(ed.modPageRadios[1]);
    b.step();
    ASSERT_EQ(ed.modViewPage, 1);
    ASSERT_TRUE(ed.velSplitLayerRadios[2]->getParentView());
    b.wheel(ed.velSplitLayerRadios[0], 1.f);
    EXPECT_EQ(ed.velSplitLayer, 2);
    EXPECT_EQ(ed.modViewPage, 1);
    EXPECT_EQ(ed.selectedLFO, 1);
    b.step();
    EXPECT_GT(ed.velSplitLayerRadios[2]->getValue(), 0.5f);
    for (int j : {2, 1}) {  // end, then start below it
        CTextEdit* field = ed.velSplitFields[0][j];
        b.click(field);
        for (int k = 0; k < 4; ++k) b.key(VKEY_BACK);
        for (char ch : std::string(j == 2 ? "100" : "64")) b.key(0, ch);
        b.key(VKEY_RETURN);
        b.step();
    }
    EXPECT_NEAR(b.p().getParameter(LAYER_VEL_TAGS[2]), 100 / 127.f, 1e-4);
    EXPECT_NEAR(b.p().getParameter(LAYER_VEL_TAGS[1]), 64 / 127.f, 1e-4);
    EXPECT_EQ(std::string(ed.velSplitFields[0][1]->getText().get()), "64");
}

TEST(EditorCommands, BackPageTypedTuningAndBrickFrequencyReadBackAsTyped) {
    Bench b(kEngine);
    TestEditor& ed = *b.ed;
    b.click(ed.backPageArea);
    ASSERT_EQ(ed.getScreenMode(), kPageBack);
    // Typed, then shown (a cancel, a blank and a value out of range keep the last; 881 Hz
    // falls back to 440).
    const struct { TReadout* readout; const char* typed; const char* shown; } rows[] = {
        {ed.tuningReadout, "220", "220 Hz"}, {ed.tuningReadout, "880", "880 Hz"}, {ed.tuningReadout, nullptr, "880 Hz"},
        {ed.tuningReadout, "", "880 Hz"},     {ed.tuningReadout, "881", "440 Hz"}, {ed.tuningReadout, "439", "439 Hz"},
        {ed.brickFreqReadout, "10", "10 KHz"}, {ed.brickFreqReadout, "40", "40 KHz"}, {ed.brickFreqReadout, "27", "27 KHz"}};
    for (const auto& r : rows) {
        r.typed ? platform::dialogScriptOk(r.typed) : platform::dialogScriptCancel();
        b.click(r.readout);
        EXPECT_EQ(r.readout->getString(), r.shown) << (r.typed ? r.typed : "(cancel)");
        ed.resume();  // the page's refresh reads the stored value
        EXPECT_EQ(r.readout->getString(), r.shown);
    }
    // Every whole number of both ranges reads back as typed.
    for (const auto& range : {std::make_tuple(ed.tuningReadout, 220, 880, " Hz"),
                              std::make_tuple(ed.brickFreqReadout, 10, 40, " KHz")})
        for (int v = std::get<1>(range); v <= std::get<2>(range); ++v) {
            platform::dialogScriptOk(std::to_string(v));
            b.click(std::get<0>(range));
            ed.resume();
            ASSERT_EQ(std::get<0>(range)->getString(), std::to_string(v) + std::get<3>(range));
        }
    b.click(ed.backPageClose);
    EXPECT_EQ(ed.getScreenMode(), kPageMain);
}

TEST(EditorCommands, BackPageTuningFileRetunesANoteAndHelpOpensTheManual) {
    Bench b(kEngine);
    TestEditor& ed = *b.ed;
    const std::string dir = testfiles::makeScratchFolder("tuning editor");
    testfiles::writeFile(dir + "/Half.tun", "[Tuning]\nnote 69=6950.000000\n");
    b.e().set(with(plainWave(0), {{345, 1.0f}, {8, 0.0f}}));
    auto measure = [&] {
        b.e().noteOn(69);
        const std::vector<float> out = b.e().render(24000);
        b.e().noteOff(69);
        b.e().render(9000);
        return zeroCrossingFrequency(out, 4800, 19000, 48000.0);
    };
    const double before = measure();
    ed.showBackScreen();
    platform::fileSelectScriptChoose(dir + "/Half.tun");
    b.click(ed.tuningNameReadout);
    EXPECT_EQ(ed.tuningNameReadout->getString(), "Half");
    EXPECT_NEAR(measure() / before, std::pow(2.0, 0.5 / 12), 0.003);
    ed.tuningResetButton->setValue(1.f);
    ed.valueChanged(ed.tuningResetButton);
    EXPECT_NEAR(measure() / before, 1.0, 0.003);

    // The manual opens with the desktop's viewer: its path (blanks and all) is one argument.
    testfiles::writeFile(dir + "/xdg-open", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/opened\"\n");
    ::chmod((dir + "/xdg-open").c_str(), 0755);
    const std::string path = std::string(getenv("PATH") ? getenv("PATH") : "");
    setenv("PATH", (dir + ":" + path).c_str(), 1);
    b.p().helpPath = dir + "/My Manual.pdf";
    testfiles::writeFile(b.p().helpPath, "%PDF");
    ed.showMainScreen();
    b.click(ed.helpButton);
    for (int i = 0; i < 200 && testfiles::readFile(dir + "/opened").empty(); ++i) usleep(10000);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(testfiles::readFile(dir + "/opened"), dir + "/My Manual.pdf|");
    b.step();
}

TEST(EditorCommands, HelpHandsOnlyARegularManualToAViewerStartedLikeTheDialogs) {
    Bench b;
    TestEditor& ed = *b.ed;
    ed.showMainScreen();
    const std::string dir = testfiles::makeScratchFolder("help viewer");
    // The viewer in an absolute PATH folder says what it got; one in a relative folder that
    // comes first must never run.
    ::mkdir((dir + "/abs").c_str(), 0755);
    ::mkdir((dir + "/rel").c_str(), 0755);
    testfiles::writeFile(dir + "/abs/xdg-open", "#!/bin/sh\n[ -e /proc/$$/fd/213 ] && echo inherited >> \"" + dir +
                                                    "/opened\"\nprintf '%s|' \"$@\" >> \"" + dir + "/opened\"\n");
    testfiles::writeFile(dir + "/rel/xdg-open", "#!/bin/sh\necho relative >> \"" + dir + "/opened\"\n");
    ::chmod((dir + "/abs/xdg-open").c_str(), 0755);
    ::chmod((dir + "/rel/xdg-open").c_str(), 0755);
    // A descriptor of the host's that is not close-on-exec.
    const int leaked = fcntl(open("/dev/null", O_RDONLY | O_CLOEXEC), F_DUPFD, 213);
    ASSERT_EQ(leaked, 213);
    const std::string path = std::string(getenv("PATH") ? getenv("PATH") : "");
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    setenv("PATH", ("rel:" + dir + "/abs:" + path).c_str(), 1);

    // A FIFO in the manual's place: the check neither waits for a writer nor starts the viewer.
    // (A writer waits for the check's open here, so an old blocking open would not hang.)
    b.p().helpPath = dir + "/manual-fifo.pdf";
    ASSERT_EQ(mkfifo(b.p().helpPath.c_str(), 0600), 0);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        close(open(b.p().helpPath.c_str(), O_WRONLY));
        written = true;
    });
    b.click(ed.helpButton);
    while (!written) {  // lets the writer go when nothing opened the FIFO after it began waiting
        close(open(b.p().helpPath.c_str(), O_RDONLY | O_NONBLOCK));
        usleep(1000);
    }
    writer.join();
    EXPECT_TRUE(ed.helperPids.empty());
    // A folder there is no manual either.
    b.p().helpPath = dir + "/manual-folder.pdf";
    ::mkdir(b.p().helpPath.c_str(), 0755);
    b.click(ed.helpButton);
    EXPECT_TRUE(ed.helperPids.empty());

    b.p().helpPath = dir + "/My Manual.pdf";
    testfiles::writeFile(b.p().helpPath, "%PDF");
    b.click(ed.helpButton);
    EXPECT_EQ(ed.helperPids.size(), 1u);
    for (int i = 0; i < 200 && testfiles::readFile(dir + "/opened").find('|') == std::string::npos; ++i) usleep(10000);
    close(leaked);
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(testfiles::readFile(dir + "/opened"), dir + "/My Manual.pdf|");
    b.step();
}

TEST(EditorIdle, ModulationRingFollowsAnLFOAndRedrawsAtMostOncePer200ms) {
    Bench b(kEngine);
    TKnob* pan = b.ed->knob(3);
    ASSERT_TRUE(pan);
    const int dest = b.p().getTagDest(3);
    ASSERT_GT(dest, 0);
    b.e().set(plainWave(0));
    b.p().setModSlotVar(0, false, 0.7f, 98 /* LFO 1 */, dest);
    b.p().setParameter(LFO_SPEED_TAGS[0], 0.75f);
    b.e().noteOn(60);
    std::set<float> seen;
    int windowRedraws = 0, window = -1, maxPerWindow = 0;
    for (int i = 0; i < 60; ++i) {
        b.e().render(2400);  // 50 ms at 48 kHz
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
    b.e().noteOff(60);
    b.e().render(48000);
    b.step(200);
    b.step(200);
    EXPECT_FALSE(b.stepRedraws(pan, 200));
}

TEST(EditorIdle, AWireLayersScopeAdvancesAtItsTwoSpeeds) {
    for (const char* fast : {"N", "Y"}) {
        Bench b(kEngine, 0, PrefList{{"OutputDisplaySpeed", fast}});
        b.e().set({{LAYER_ON_TAGS[0], 1.f}, {LAYER_SOURCE_TAGS[0], sourceValue(0)}});
        b.step();
        b.step();
        TWaveScreen* scope = b.ed->scopesMain[0];
        ASSERT_TRUE(scope && scope->getParentView());
        EXPECT_TRUE(scope->getActive());
        b.e().noteOn(60);
        int redraws = 0;
        for (int i = 0; i < 60; ++i) {  // 3 s
            b.e().render(2400);
            redraws += b.stepRedraws(scope);
        }
        EXPECT_NEAR(redraws, fast[0] == 'Y' ? 20 : 12, 1) << "OutputDisplaySpeed " << fast;
        b.e().set({{LAYER_ON_TAGS[0], 0.f}});
        b.step();
        EXPECT_FALSE(scope->getActive());
    }
}

TEST(EditorIdle, ArpLedFollowsThePlayingStep) {
    Bench b(kEngine);
    b.e().set(arptest::arpSetup(0));
    b.e().render(16);
    b.e().noteOn(60);
    std::set<int> steps;
    for (int i = 0; i < 40; ++i) {
        b.e().render(2400);
        b.step();
        EXPECT_EQ(b.ed->arpScreen->getLedPos(), b.p().getArpLedPos());
        steps.insert(b.ed->arpScreen->getLedPos());
    }
    EXPECT_GT(steps.size(), 4u);
}

TEST(EditorIdle, LockBlinksEvery500msAndHoldsItsKnobs) {
    Bench b(kEngine);
    TOptionMenu* lock = b.ed->playMenus[1];
    TKnob* swing = b.ed->knob(398);
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
    Bench b(kEngine);
    TestEditor& ed = *b.ed;
    // An effect's switch and the bypass of all, and a control of that effect that dims.
    auto dimmedBy = [&](int sw) {
        return sw == 351 ? ed.knob(113)->getBypassed() : sw == 354 ? ed.knob(122)->getBypassed()
               : sw == 348 ? ed.modFXKnobs[0]->getBypassed() : ed.distortModeMenu->isBypassed();
    };
    const struct { int sw; bool on, bypassAll; } rows[] = {{351, true, false}, {351, false, false}, {351, true, true},
        {354, false, false}, {348, true, true}, {346, true, false}, {346, false, false}};
    for (const auto& r : rows) {
        b.p().setParameter(r.sw, r.on ? 1.f : 0.f);
        b.p().setParameter(345, r.bypassAll ? 1.f : 0.f);
        b.step();
        EXPECT_EQ(dimmedBy(r.sw), !r.on || r.bypassAll) << r.sw << r.on << r.bypassAll;
    }
    EXPECT_EQ(ed.fxKnobLabels[0]->getString(), "MIX");
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
    Bench b(kEngine);
    TKnob* decay = b.ed->knob(6);
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
    Bench b(kEngine);
    TKnob* pan = b.ed->knob(3);
    const float before = b.p().getParameter(3);
    int free = 0;
    while (free < 8 && b.p().getModSlotDest(free) != 0) ++free;
    ASSERT_LT(free, 8);
    const CPoint from = Bench::centre(pan), to = Bench::centre(b.ed->modScreen);
    b.drag(from, to);
    b.step();
    EXPECT_EQ(b.p().getModSlotDest(free), b.p().getTagDest(3));
    EXPECT_FLOAT_EQ(b.p().getParameter(3), before);
}

}  // namespace

TEST(EditorIdle, PagesWriteNoAutomationAndASpringBackEndsOnTheHeldValue) {
    Bench b(kClosed);
    b.h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.f);
    b.h.dispatch(effMainsChanged, 0, 1);
    b.h.run(4096);  // the start-up program is applied
    b.p().setParameter(665, 1.f);         // bipolar: the ribbon rests at 0.5
    b.p().setSteppedValue(666, 9);        // springs back over 1/8 note
    b.p().setParameter(kRibbonValueTag, 0.5f);
    b.h.host().automated.clear();
    // Opening, idling, switching to the easy page and back: the host hears nothing.
    b.open();
    for (int i = 0; i < 4; ++i) b.step();
    b.ed->showEasyScreen();
    for (int i = 0; i < 4; ++i) b.step();
    b.ed->showMainScreen();
    for (int i = 0; i < 4; ++i) b.step();
    EXPECT_EQ(b.heard(), std::vector<int>{});

    // Drags to several places, let go, with idle calls at several rates: the host hears the
    // spring's way back, ending where the plug-in rests (however small its last step).
    const CRect r = b.ed->ribbonSlider->getViewSize();
    const CPoint from(r.getCenter().x, r.getCenter().y);
    for (int end : {2, 7, 13, 22, 31, 45}) {
        const int perIdle = 20 + 3 * end / 2;  // samples rendered between two idle calls
        SCOPED_TRACE(end);
        b.h.host().automated.clear();
        b.drag(from, CPoint(r.right - end, from.y));
        const size_t dragged = b.h.host().automated.size();
        EXPECT_GT(b.get(kRibbonValueTag), 0.85f);
        // Idle calls often enough that the spring's last steps are small ones.
        for (int i = 0; i < 16000 / perIdle; ++i) {
            b.h.run(perIdle, perIdle);
            b.step(5);
        }
        ASSERT_EQ(b.get(kRibbonValueTag), 0.5f);
        EXPECT_GT(b.h.host().automated.size(), dragged + 10) << "the way back is heard";
        for (const auto& a : b.h.host().automated) EXPECT_EQ(a.first, kRibbonValueTag);
        EXPECT_EQ(b.h.host().automated.back().second, 0.5f);
    }
}
