// The arp preset browser: folders and "*.arp" files listed sorted, presets loaded all or
// nothing, the loaded folder and preset kept in the program and found again when the
// program is applied (on the audio thread, from what was read ahead); and the ".arp"
// parser on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "engine/ArpPresetFile.h"
#include "platform/dialogs.h"
#include "support/TestFiles.h"
#include "test_arp_util.h"

using namespace arptest;

namespace {

// The 146 values of the start-up arp settings with a recognisable grid.
std::vector<float> presetValues(float tune) {
    std::vector<float> v(arpfile::kValues, 0.0f);
    for (int i = 0; i < arpfile::kValues; ++i) v[i] = 0.25f;
    v[407 - 394] = arpModeValue(5);
    for (int s = 0; s < 16; ++s) {
        v[kRowOn - 394 + s] = 1.0f;
        v[kRowTie - 394 + s] = 0.0f;
        v[kRowTune - 394 + s] = tune;
    }
    v[405 - 394] = 0.0f;
    v[406 - 394] = 0.0f;
    return v;
}

std::string presetText(const std::vector<float>& v) { return arpfile::write(v.data()); }

int messagesShown(const std::string& text) {
    int n = 0;
    for (const auto& r : platform::dialogTranscript())
        if (r.kind == platform::DialogRecord::Kind::Message && r.text == text) ++n;
    return n;
}

class ArpBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        root = testfiles::makeScratchFolder("arpdir") + "/";
        ASSERT_NE(root, "/");
    }
    void TearDown() override { platform::dialogSetMode(platform::DialogMode::Automatic); }

    void use() {
        e.p().arpDir = root;
        e.p().scanArpFolders();
    }
    int folderIndex(const std::string& name) {
        for (int i = 0; i < e.p().arpFolderCount; ++i)
            if (e.p().getArpFolder(i) == name) return i;
        return -1;
    }
    int presetIndex(const std::string& name) {
        for (int i = 0; i < e.p().arpPresetCount; ++i)
            if (e.p().getArpPreset(i) == name) return i;
        return -1;
    }
    std::vector<float> arpValues() {
        std::vector<float> v;
        for (int t = 394; t <= 539; ++t) v.push_back(e.p().paramValue[t]);
        return v;
    }
    // Applies the program again the way a host's program change does: on the audio thread.
    void reapplyProgram() {
        e.p().setProgram(0);
        e.render(8192);
    }

    std::string root;
    Engine e;
};

}  // namespace

TEST_F(ArpBrowser, FoldersAndPresetsAreListedSortedWithoutHiddenOrForeignFiles) {
    for (const char* folder : {"Bass", "arp", "Lead", ".hidden", "~backup"})
        testfiles::writeFile(root + folder + "/keep.arp", presetText(presetValues(0.5f)));
    for (const char* file : {"Walk.arp", "x.arp", "UP.ARP", "notes.txt", ".secret.arp", "b.arp"})
        testfiles::writeFile(root + "Bass/" + file, presetText(presetValues(0.5f)));
    testfiles::writeFile(root + "Bass/dir.arp/inside.arp", "");  // a folder, not a preset
    testfiles::writeFile(root + "loose.arp", "");                // not in a sub-folder
    use();
    APlugin& p = e.p();
    ASSERT_EQ(p.arpFolderCount, 3);
    EXPECT_EQ(p.getArpFolder(0), "arp");
    EXPECT_EQ(p.getArpFolder(1), "Bass");
    EXPECT_EQ(p.getArpFolder(2), "Lead");
    EXPECT_EQ(p.getArpFolder(3), "---");
    EXPECT_EQ(p.getArpFolder(-1), "---");

    p.changeArpFolder(1);
    EXPECT_EQ(p.curArpFolder, 1);
    ASSERT_EQ(p.arpPresetCount, 4);
    EXPECT_EQ(p.getArpPreset(0), "b");
    EXPECT_EQ(p.getArpPreset(1), "keep");
    EXPECT_EQ(p.getArpPreset(2), "Walk");
    EXPECT_EQ(p.getArpPreset(3), "x");
    EXPECT_EQ(p.getArpPreset(4), "---");
    p.changeArpFolder(7);  // no such folder: nothing changes
    EXPECT_EQ(p.curArpFolder, 1);
}

TEST_F(ArpBrowser, WithoutSubFoldersThereIsNothingToChoose) {
    testfiles::writeFile(root + "alone.arp", presetText(presetValues(0.5f)));
    use();
    EXPECT_EQ(e.p().arpFolderCount, 0);
    EXPECT_EQ(e.p().getArpFolder(0), "---");
    EXPECT_EQ(e.p().getArpPreset(0), "---");
    e.p().loadArpPreset(0);
    EXPECT_EQ(messagesShown("Problem with Preset"), 0);
}

TEST_F(ArpBrowser, LoadingAPresetChangesTheGridAndKeepsItsNamesInTheProgram) {
    testfiles::writeFile(root + "Bass/Walk.arp", presetText(presetValues(tuneValue(7))));
    testfiles::writeFile(root + "Bass/Other.arp", presetText(presetValues(tuneValue(-5))));
    testfiles::writeFile(root + "Lead/Run.arp", presetText(presetValues(tuneValue(3))));
    use();
    APlugin& p = e.p();
    p.changeArpFolder(folderIndex("Bass"));
    const int walk = presetIndex("Walk");
    ASSERT_GE(walk, 0);
    p.loadArpPreset(walk);
    EXPECT_EQ(messagesShown("Problem with Preset"), 0);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(p.getArpStepTuneForDisplay(s), 7) << s;
    EXPECT_EQ(p.getArpMode(), 5);
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Bass");
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Walk");
    EXPECT_TRUE(p.hasLoadedArpPreset());
    EXPECT_EQ(p.curArpPreset, walk);

    // Browse elsewhere, then apply the program again on the audio thread.
    p.changeArpFolder(folderIndex("Lead"));
    p.curArpPreset = -1;
    reapplyProgram();
    EXPECT_EQ(p.curArpFolder, folderIndex("Bass"));
    EXPECT_EQ(p.curArpPreset, walk);
    EXPECT_EQ(p.getArpPreset(p.curArpPreset), "Walk");
}

TEST_F(ArpBrowser, MalformedPresetsAreRefusedWithOneMessageAndChangeNothing) {
    const std::vector<float> good = presetValues(tuneValue(7));
    std::vector<std::string> bad;
    bad.push_back("just some text\nwith words\n");
    bad.push_back("");
    bad.push_back("V1.0\n");
    {
        const std::string all = presetText(good);  // its last line dropped: 145 values
        bad.push_back(all.substr(0, all.rfind('\n', all.size() - 2) + 1));
    }
    for (const char* value : {"nan", "NaN", "1.5", "-0.1", "inf", "0.5x", "1e400", "--0.5", "0x1p-1", ""}) {
        std::string text = presetText(good);
        // Replace the tune of step 3 with the bad value.
        std::istringstream in(text);
        std::string line, out;
        int n = 0;
        while (std::getline(in, line)) {
            if (n == 1 + (kRowTune - 394) + 3) line = value;
            out += line + "\n";
            ++n;
        }
        bad.push_back(out);
    }
    for (size_t i = 0; i < bad.size(); ++i)
        testfiles::writeFile(root + "Set/bad" + std::to_string(100 + i) + ".arp", bad[i]);
    use();
    APlugin& p = e.p();
    p.changeArpFolder(folderIndex("Set"));
    ASSERT_EQ(p.arpPresetCount, (int)bad.size());
    p.setStringFromParam("Before", 930, 28, false);
    const std::vector<float> before = arpValues();
    for (size_t i = 0; i < bad.size(); ++i) {
        platform::dialogTranscriptClear();
        p.loadArpPreset((int)i);
        EXPECT_EQ(messagesShown("Problem with Preset"), 1) << "file " << i;
        EXPECT_EQ(platform::dialogTranscript().size(), 1u) << "file " << i;
        EXPECT_EQ(arpValues(), before) << "file " << i;
        EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Before") << "file " << i;
    }
}

TEST_F(ArpBrowser, AMissingFileIsAProblemToo) {
    testfiles::writeFile(root + "Bass/Gone.arp", presetText(presetValues(0.5f)));
    use();
    e.p().changeArpFolder(0);
    std::remove((root + "Bass/Gone.arp").c_str());
    e.p().loadArpPreset(0);
    EXPECT_EQ(messagesShown("Problem with Preset"), 1);
}

TEST_F(ArpBrowser, TheLockKeepsTheArpAsItIs) {
    testfiles::writeFile(root + "Bass/Walk.arp", presetText(presetValues(tuneValue(7))));
    use();
    APlugin& p = e.p();
    p.changeArpFolder(0);
    p.setLockState(1);
    const std::vector<float> before = arpValues();
    p.loadArpPreset(0);
    EXPECT_EQ(arpValues(), before);
    EXPECT_TRUE(platform::dialogTranscript().empty());
    p.setLockState(0);
}

TEST_F(ArpBrowser, LongNamesStillMatchAfterTheProgramIsApplied) {
    const std::string folder(95, 'F');
    const std::string preset = "A very long preset name: with odd? characters";
    testfiles::writeFile(root + "Other/first.arp", presetText(presetValues(0.5f)));
    testfiles::writeFile(root + folder + "/" + preset + ".arp", presetText(presetValues(tuneValue(2))));
    testfiles::writeFile(root + folder + "/" + preset.substr(0, 20) + ".arp", presetText(presetValues(0.5f)));
    use();
    APlugin& p = e.p();
    p.changeArpFolder(folderIndex(folder));
    const int index = presetIndex(preset);
    ASSERT_GE(index, 0);
    p.loadArpPreset(index);
    ASSERT_EQ(messagesShown("Problem with Preset"), 0);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false).size(), 27u);
    EXPECT_TRUE(p.hasLoadedArpPreset());
    p.changeArpFolder(folderIndex("Other"));
    reapplyProgram();
    EXPECT_EQ(p.curArpFolder, folderIndex(folder));
    EXPECT_EQ(p.curArpPreset, index);
}

TEST_F(ArpBrowser, ANameTheReadAheadDidNotSeeIsFoundOnTheUiSide) {
    testfiles::writeFile(root + "Bass/Walk.arp", presetText(presetValues(0.5f)));
    use();
    APlugin& p = e.p();
    // Made after the read-ahead, and named by the program.
    testfiles::writeFile(root + "New/Fresh.arp", presetText(presetValues(0.5f)));
    p.setStringFromParam("New", 850, 80, false);
    p.setStringFromParam("Fresh", 930, 28, false);
    reapplyProgram();
    EXPECT_EQ(p.curArpFolder, 0) << "the audio thread reads no disk: first folder for now";
    EXPECT_TRUE(p.hasLoadedArpPreset()) << "the UI side finds it";
    EXPECT_EQ(p.getArpFolder(p.curArpFolder), "New");
    EXPECT_EQ(p.getArpPreset(p.curArpPreset), "Fresh");
}

TEST_F(ArpBrowser, AProgramNamingNothingKnownFallsBackToTheFirstFolderAndPreset) {
    testfiles::writeFile(root + "A/one.arp", presetText(presetValues(0.5f)));
    testfiles::writeFile(root + "B/two.arp", presetText(presetValues(0.5f)));
    use();
    APlugin& p = e.p();
    p.changeArpFolder(1);
    p.setStringFromParam("Nowhere", 850, 80, false);
    p.setStringFromParam("none", 930, 28, false);
    p.getArpPreset();
    EXPECT_EQ(p.curArpFolder, 0);
    EXPECT_EQ(p.curArpPreset, 0);
    EXPECT_FALSE(p.hasLoadedArpPreset());
    EXPECT_EQ(p.curArpPreset, -1);
}

TEST_F(ArpBrowser, AnArpFileLoadedFromElsewhereIsNamedRelativeToTheArpFolder) {
    use();
    APlugin& p = e.p();
    p.setArpPresetName(root + "Bass/Walk.arp");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Bass");
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Walk");
    p.setArpPresetName(root + "Top.arp");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "");
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Top");
    p.setArpPresetName("/somewhere/else/Song.arp");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "") << "not a folder of the arp folder";
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "Song");
    p.setArpPresetName(root.substr(0, root.size() - 1) + "x/Near.arp");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "") << "a sibling whose name begins alike";
    p.setArpPresetName("");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "");
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), "");
}

TEST_F(ArpBrowser, TheComparedFormIsWhatTheSlotsKeep) {
    APlugin& p = e.p();
    const std::string names[] = {"plain", "a:b?c<d>e|f*g\"h/i\\j", "caf\xc3\xa9 au lait", std::string(40, 'x'),
                                 "  leading blanks", std::string("tab\there")};
    for (const std::string& name : names) {
        for (int count : {28, 80}) {
            p.setStringFromParam(name, 850, count, false);
            EXPECT_EQ(APlugin::arpStoredForm(name, count), p.getStringFromParamStr(850, count, false, false))
                << name << " in " << count;
        }
    }
}

// --- the parser on its own ---------------------------------------------------------------------

TEST(ArpPresetFile, ReadsTheFirstWordThen146ValuesAndIgnoresTheRest) {
    std::vector<float> v(arpfile::kValues);
    for (int i = 0; i < arpfile::kValues; ++i) v[i] = (float)i / 145.0f;
    std::string text = arpfile::write(v.data());
    EXPECT_EQ(text.substr(0, 5), "V1.0\n");
    text += "0.5\nanything else\n";
    std::vector<float> out(arpfile::kValues, -1.0f);
    ASSERT_TRUE(arpfile::parse(text.data(), text.size(), out.data()));
    for (int i = 0; i < arpfile::kValues; ++i) EXPECT_NEAR(out[i], v[i], 1e-6f) << i;

    // Whitespace of any kind between values, any first word, CR LF line ends.
    std::string loose = "Whatever";
    for (int i = 0; i < arpfile::kValues; ++i) loose += (i % 3 == 0 ? " \t" : "\r\n") + std::string("0.25");
    ASSERT_TRUE(arpfile::parse(loose.data(), loose.size(), out.data()));
    EXPECT_EQ(out[100], 0.25f);
}

TEST(ArpPresetFile, RefusesAllOrNothing) {
    std::vector<float> v(arpfile::kValues, 0.5f);
    const std::string good = arpfile::write(v.data());
    std::vector<float> out(arpfile::kValues, -1.0f);
    const auto refused = [&](const std::string& text) {
        std::vector<float> probe(arpfile::kValues, -1.0f);
        const bool ok = arpfile::parse(text.data(), text.size(), probe.data());
        if (!ok) {
            for (float x : probe) EXPECT_EQ(x, -1.0f) << "nothing is written when refused";
        }
        return !ok;
    };
    EXPECT_TRUE(refused(""));
    EXPECT_TRUE(refused("V1.0"));
    EXPECT_TRUE(refused(good.substr(0, good.rfind("0.5"))));  // 145 values
    for (const char* value : {"1.000001", "-0", "nan", "inf", "-inf", "+", ".", "1,5", "0.5.5", "1e-400x"}) {
        std::string text = good;
        text.replace(text.find("0.500000"), 8, value);
        if (std::string(value) == "-0") {
            EXPECT_FALSE(refused(text)) << "minus zero is zero";
            continue;
        }
        EXPECT_TRUE(refused(text)) << value;
    }
    EXPECT_FALSE(arpfile::parse(nullptr, 0, out.data()));
}
