// The editor's command controls and keys, driven by injected clicks, keys, the scripted menu
// presenter and the scripted dialog answerer: program steps by the arrow keys, the preview
// note, the lock menu, the arp preset browser, the page radios and the velocity-split fields,
// and the back page's settings, typed entries, tuning file and manual.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "controls/TKickButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "engine/ArpPresetFile.h"
#include "gui/VstKeys.h"
#include "plugin/uPluginStrings.h"
#include "support/TestFiles.h"
#include "test_editor_live_util.h"

using namespace livetest;
using namespace enginetest;

namespace {

float peak(const std::vector<float>& x, size_t from = 0) {
    float m = 0;
    for (size_t i = from; i < x.size(); ++i) m = std::max(m, std::fabs(x[i]));
    return m;
}

TEST(EditorCommands, ArrowKeysStepTheProgramAtMostEvery300ms) {
    Live b;
    LiveEditor& ed = *b.ed;
    b.e.render(8192);  // the audio thread answers the refresh the opening asked for
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
    std::string stored;
    loadStringFromPrefs("Keyboard", stored, 8);
    EXPECT_EQ(stored, "N");
}

TEST(EditorCommands, PreviewNoteSoundsAndStops) {
    Live b;
    b.e.set(plainWave(0));
    b.e.render(4800);
    CControl* preview = b.ed->previewButton;
    preview->setValue(1.f);
    b.ed->valueChanged(preview);
    EXPECT_GT(peak(b.e.render(9600)), 0.05f);
    preview->setValue(0.5f);  // exactly half way counts as released
    b.ed->valueChanged(preview);
    EXPECT_LT(peak(b.e.render(96000), 86400), 1e-4f);
}

TEST(EditorCommands, LockMenuHoldsTheLockedGroupAcrossAProgramChange) {
    Live b;
    TOptionMenu* lock = b.ed->playMenus[1];
    b.p().setSteppedValue(244, 2);  // "Mono"
    b.menus.choose({"On"});
    b.click(lock);
    EXPECT_EQ(b.p().getLockState(), 1);
    b.p().clearProgram();  // a new program's values
    b.step();
    EXPECT_EQ(b.p().getLockVarStepped(244), 2);
    EXPECT_EQ(b.ed->playMenus[0]->getString(), PLAY_MODE_STR[2]) << "the menu shows the held value";
    b.menus.choose({"Set"});
    b.click(lock);
    EXPECT_EQ(b.p().getLockState(), 0);
    EXPECT_EQ(b.p().getSteppedValue(244), 2) << "Set writes the held values back";
    EXPECT_EQ(lock->getString(), "Off");
}

TEST(EditorCommands, ArpFolderAndPresetMenusLoadAPresetFromTheArpFolder) {
    Live b(Prefs::List{{"AdvancedDisplay", "N"}});
    const std::string root = testfiles::makeScratchFolder("arpdir") + "/";
    std::vector<float> values(arpfile::kValues, 0.25f);
    values[412 - 394] = 1.f;  // step 1 on
    testfiles::writeFile(root + "Bass/Walk.arp", arpfile::write(values.data()));
    testfiles::writeFile(root + "Lead/Other.arp", arpfile::write(std::vector<float>(arpfile::kValues, 0.f).data()));
    b.p().arpDir = root;
    b.p().scanArpFolders();
    b.ed->resume();
    b.step();
    b.menus.choose({"Bass"});
    b.click(b.ed->arpFolderMenu);
    b.step();
    b.menus.choose({"Walk"});
    b.click(b.ed->arpPresetMenu);
    b.step();
    EXPECT_FLOAT_EQ(b.p().getParameter(398), 0.25f);
    EXPECT_EQ(b.ed->arpPresetMenu->getString(), "Walk");
    EXPECT_EQ(b.ed->arpFolderMenu->getString(), "Bass");
}

TEST(EditorCommands, RadiosSwitchTheirGroupAndTheWheelWrapsWithinIt) {
    Live b;
    LiveEditor& ed = *b.ed;
    b.click(ed.lfoRadios[1]);
    EXPECT_EQ(ed.selectedLFO, 1);
    b.click(ed.chordRadios[3]);
    EXPECT_EQ(ed.selectedChord, 3);
    b.frame()->platformOnMouseWheel(Live::centre(ed.chordRadios[3]), -1.f, 0);
    EXPECT_EQ(ed.selectedChord, 0) << "chord 4 steps on to chord 1";
    b.frame()->platformOnMouseWheel(Live::centre(ed.chordRadios[3]), 1.f, 0);
    EXPECT_EQ(ed.selectedChord, 3);

    // The velocity split: its page, its layer buttons (the wheel stays in their group) and
    // its typed values.
    b.click(ed.modPageRadios[1]);
    b.step();
    ASSERT_EQ(ed.modViewPage, 1);
    ASSERT_TRUE(ed.velSplitLayerRadios[2]->getParentView());
    b.frame()->platformOnMouseWheel(Live::centre(ed.velSplitLayerRadios[0]), 1.f, 0);
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
    Live b;
    LiveEditor& ed = *b.ed;
    b.click(ed.backPageArea);
    ASSERT_EQ(ed.getScreenMode(), kPageBack);
    for (int hz = 220; hz <= 880; ++hz) {
        platform::dialogScriptOk(std::to_string(hz));
        b.click(ed.tuningReadout);
        ASSERT_EQ(ed.tuningReadout->getString(), std::to_string(hz) + " Hz");
    }
    const float tuned = b.p().getParameter(1017);
    for (bool cancel : {true, false}) {
        cancel ? platform::dialogScriptCancel() : platform::dialogScriptOk("");
        b.click(ed.tuningReadout);
        EXPECT_EQ(b.p().getParameter(1017), tuned);
    }
    platform::dialogScriptOk("881");
    b.click(ed.tuningReadout);
    EXPECT_EQ(ed.tuningReadout->getString(), "440 Hz");
    for (int khz = 10; khz <= 40; ++khz) {
        platform::dialogScriptOk(std::to_string(khz));
        b.click(ed.brickFreqReadout);
        EXPECT_EQ(ed.brickFreqReadout->getString(), std::to_string(khz) + " KHz");
        ed.resume();  // the page's refresh reads the stored value
        EXPECT_EQ(ed.brickFreqReadout->getString(), std::to_string(khz) + " KHz");
    }
    b.click(ed.backPageClose);
    EXPECT_EQ(ed.getScreenMode(), kPageMain);
}

TEST(EditorCommands, BackPageTuningFileRetunesANoteAndHelpOpensTheManual) {
    Live b;
    LiveEditor& ed = *b.ed;
    const std::string dir = testfiles::makeScratchFolder("tuning editor");
    testfiles::writeFile(dir + "/Half.tun", "[Tuning]\nnote 69=6950.000000\n");
    b.e.set(with(plainWave(0), {{345, 1.0f}, {8, 0.0f}}));
    auto measure = [&] {
        b.e.noteOn(69);
        const std::vector<float> out = b.e.render(24000);
        b.e.noteOff(69);
        b.e.render(9000);
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

}  // namespace
