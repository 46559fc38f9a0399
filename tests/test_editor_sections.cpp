// The editor's sections: copy, paste, reset and undo over whole sections, the undo stacks
// across program changes, and the section preset files through the file selector.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "test_editor_util.h"

using namespace edtest;
namespace fs = std::filesystem;

namespace {

fs::path sectionDir() {
    const fs::path dir = fs::path(std::getenv("XDG_DATA_HOME")) / "sections";
    fs::create_directories(dir);
    return dir;
}

std::string readAll(const fs::path& f) {
    std::ifstream in(f);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(EditorSections, CopyPasteAndSwapMoveWholeSectionsAndTouchNothingElse) {
    Bench b(kBare | kClosed);
    for (int s = 0; s < uEditor::kNumSections; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(b.ed->getUndoIndex(s), -1);
        EXPECT_FALSE(b.ed->getClipboardValid(s));
        b.scramble(s, 1);
        float copied[kNumParams], before[kNumParams];
        for (int t = 0; t < kNumParams; ++t) copied[t] = b.get(t);
        b.ed->pasteSection(s);  // nothing copied yet: nothing changes
        for (int t = 0; t < kNumParams; ++t) ASSERT_EQ(b.get(t), copied[t]) << "empty paste " << t;
        b.ed->copySection(s);
        b.scramble(s, 2);
        for (int t = 0; t < kNumParams; ++t) before[t] = b.get(t);
        const size_t automated = b.h.host().automated.size();
        b.ed->pasteSection(s);
        bool inSection[kNumParams] = {};
        for (int i = 0; i < b.ed->getSectionTagCount(s); ++i) inSection[b.ed->getSectionTag(s, i)] = true;
        for (int t = 0; t < kNumParams; ++t) ASSERT_EQ(b.get(t), inSection[t] ? copied[t] : before[t]) << t;
        EXPECT_EQ(b.h.host().automated.size(), automated) << "a paste is not told to the host";
    }
    // Layers map position by position.
    b.scramble(3, 4);
    float one[67], three[67];
    for (int i = 0; i < 67; ++i) one[i] = b.get(b.ed->getSectionTag(1, i)), three[i] = b.get(b.ed->getSectionTag(3, i));
    b.ed->swapSections(1, 3);
    b.ed->copySections(3, 2);
    for (int i = 0; i < 67; ++i) {
        EXPECT_EQ(b.get(b.ed->getSectionTag(1, i)), three[i]);
        EXPECT_EQ(b.get(b.ed->getSectionTag(2, i)), one[i]);
    }
    b.ed->copySection(27);  // refused
    EXPECT_FALSE(b.ed->getClipboardValid(27));
}

TEST(EditorSections, ResetSkipsTheEffectSwitchAndReachesTheHost) {
    Bench b(kBare | kClosed);
    APlugin& p = b.h.plugin();
    for (int skip : {1, 0}) {
        for (int t : {104, 105, 106, 347, 346}) p.setParameter(t, t == 346 ? 1.f - p.getDefaultValue(t) : 0.77f);
        b.h.host().automated.clear();
        b.ed->resetSection(20, skip);
        EXPECT_EQ(b.h.host().automated.size(), skip ? 4u : 5u);
        EXPECT_EQ(b.get(346) == p.getDefaultValue(346), skip == 0);
    }
}

TEST(EditorSections, SixteenLevelsOfUndoNewestFirstAndPlainWrites) {
    Bench b(kBare | kClosed);
    for (int i = 0; i < 17; ++i) {
        b.h->setParameter(102, i / 20.f);
        b.ed->setSectionUndo(5);
    }
    EXPECT_EQ(b.ed->getUndoIndex(5), 15);
    b.h->setParameter(102, 0.99f);
    b.h.host().automated.clear();
    for (int i = 16; i >= 1; --i) {
        b.ed->undoSection(5);
        EXPECT_FLOAT_EQ(b.get(102), i / 20.f);
    }
    b.ed->undoSection(5);
    EXPECT_FLOAT_EQ(b.get(102), 1 / 20.f) << "the oldest snapshot was dropped";
    EXPECT_TRUE(b.h.host().automated.empty());
}

TEST(EditorSections, AProgramAppliedWhileOpenEmptiesTheStacksOnTheUIThread) {
    Bench b(kBare | kClosed);
    ASSERT_EQ(b.h.dispatch(effEditOpen), 1);
    b.ed->setSectionUndo(7);
    b.ed->copySection(7);
    b.h->setProgram(0);
    std::thread audio([&] { b.h.run(8 * 4096, 256); });
    audio.join();
    EXPECT_EQ(b.ed->getUndoIndex(7), 0) << "the audio thread only records the clear";
    b.h.dispatch(effEditIdle);
    EXPECT_EQ(b.ed->getUndoIndex(7), -1);
    EXPECT_TRUE(b.ed->getClipboardValid(7));
    // Applied while closed: the stacks stay.
    b.ed->setSectionUndo(7);
    b.h.dispatch(effEditClose);
    b.h->setProgram(0);
    b.h.run(8 * 4096, 256);
    EXPECT_EQ(b.ed->getUndoIndex(7), 0);
    EXPECT_TRUE(b.guard.faults.empty());
}

TEST(EditorSections, EveryFileTypeRoundTripsAndLoadsInAFreshInstance) {
    // Section saved, section loaded (same kind of file), values in the file.
    const struct { int save, load, values; const char* ext; } cases[] = {
        {2, 1, 67, "lyr"}, {8, 8, 146, "arp"}, {10, 10, 32, "mod"},
                 {11, 11, 13, "vls"}, {15, 15, 105, "crs"}, {16, 19, 27, "crd"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        Bench b(kBare | kClosed);
        APlugin& p = b.h.plugin();
        b.scramble(c.save, 5);
        p.setSteppedValue(281, 2);  // layer 2 plays FM: its files go to the FM folder
        const std::string file = (sectionDir() / (std::string("x.") + c.ext)).string();
        platform::fileSelectScriptChoose(file);
        b.ed->saveSection(c.save);
        const auto sel = platform::fileSelectTranscript().back().request;
        if (c.save == 2) { EXPECT_EQ(sel.initialDir, p.layerDir[2]); }
        const std::string text = readAll(file);
        EXPECT_EQ(text.substr(0, 5), "V1.0\n");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.values + 1);

        for (int round = 0; round < 2; ++round) {
            std::unique_ptr<Bench> fresh(round ? new Bench(kBare | kClosed) : nullptr);
            Bench& t = round ? *fresh : b;
            t.scramble(c.load, 6);
            const float outside = t.get(659);
            t.h.host().automated.clear();
            platform::fileSelectScriptChoose(file);
            t.ed->loadSection(c.load);
            EXPECT_EQ(t.problems(), 0);
            EXPECT_TRUE(t.h.host().automated.empty()) << "a load is not told to the host";
            for (int i = 0; i < c.values; ++i)
                ASSERT_NEAR(t.get(t.ed->getSectionTag(c.load, i)), p.getParameter(b.ed->getSectionTag(c.save, i)), 1e-6)
                    << i;
            if (c.save == 15) { EXPECT_EQ(t.get(659), outside) << "chord 4's last pans stay out of the file"; }
            if (c.save == 8) {
                char folder[128], preset[64];
                t.h->readArpPresetIdentity(folder, preset);
                EXPECT_STREQ(preset, "x");
            }
        }
    }
}

TEST(EditorSections, BadFilesChangeNothingAndSayOnce) {
    const std::string tenMB(10 << 20, 'V');
    std::string few = "V1.0\n";
    for (int i = 0; i < 26; ++i) few += "0.5\n";
    std::string good = few + "0.25\n";
    // Each but the empty ones holds 27 words after the first; one of them is wrong.
    const std::string rest = good.substr(9);
    const std::string bad[] = {"", "V1.0\n", few, tenMB + "\n" + good.substr(5), "V1.0\nhello\n" + rest,
                               "V1.0\nnan\n" + rest, "V1.0\n1.5\n" + rest, "V1.0\n1.000001\n" + rest};
    Bench b(kBare | kClosed);
    for (const std::string& text : bad) {
        const fs::path f = sectionDir() / "bad.crd";
        std::ofstream(f, std::ios::binary) << text;
        b.scramble(17, 7);
        float before[27];
        for (int i = 0; i < 27; ++i) before[i] = b.get(583 + i);
        platform::dialogTranscriptClear();
        platform::fileSelectScriptChoose(f.string());
        b.ed->loadSection(17);
        EXPECT_EQ(b.problems(), 1) << text.substr(0, 40);
        for (int i = 0; i < 27; ++i) ASSERT_EQ(b.get(583 + i), before[i]) << i;
    }
    // Any first word; 28 values load the first 27; 0 and 1 are accepted.
    std::ofstream(sectionDir() / "ok.crd", std::ios::binary) << "X\n" << few.substr(5, 4 * 25) << "1.000000 0.000000\n0.3\n";
    platform::dialogTranscriptClear();
    platform::fileSelectScriptChoose((sectionDir() / "ok.crd").string());
    b.ed->loadSection(17);
    EXPECT_EQ(b.problems(), 0);
    EXPECT_EQ(b.get(608), 1.f);
    EXPECT_EQ(b.get(609), 0.f);
}

TEST(EditorSections, AFailedSaveKeepsTheOldFileAndSaysSo) {
    Bench b(kBare | kClosed);
    const fs::path f = sectionDir() / "keep.mod";
    std::ofstream(f) << "old";
    fs::create_directories(sectionDir() / "folder.mod");
    for (int k = 0; k < 2; ++k) {
        b.ed->failWrites = k == 0;
        platform::dialogTranscriptClear();
        platform::fileSelectScriptChoose((k == 0 ? f : sectionDir() / "folder.mod").string());
        b.ed->saveSection(10);
        EXPECT_EQ(b.problems(), 1);
    }
    EXPECT_EQ(readAll(f), "old");
    EXPECT_TRUE(fs::is_directory(sectionDir() / "folder.mod"));
    // Saved over a link, the link stays and the file it names gets the section.
    const fs::path target = sectionDir() / "named.mod", link = sectionDir() / "link.mod";
    std::ofstream(target) << "old";
    fs::remove(link);
    fs::create_symlink(target, link);
    b.ed->failWrites = false;
    platform::dialogTranscriptClear();
    platform::fileSelectScriptChoose(link.string());
    b.ed->saveSection(10);
    EXPECT_EQ(b.problems(), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(target).substr(0, 5), "V1.0\n");
    fs::remove(link), fs::remove(target);
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(sectionDir())) files += e.path().filename().string()[0] == '.';
    EXPECT_EQ(files, 0);
}

TEST(EditorSections, ASaveKeepsTheModeAndTheLinkAndRefusesALinkLoop) {
    Bench b(kBare | kClosed);
    const fs::path dir = sectionDir();
    auto save = [&](const fs::path& to) {
        platform::dialogTranscriptClear();
        platform::fileSelectScriptChoose(to.string());
        b.ed->saveSection(10);
        return b.problems();
    };
    const fs::path priv = dir / "private.mod", target = dir / "target.mod", link = dir / "linked.mod";
    std::ofstream(priv) << "old";
    fs::permissions(priv, fs::perms::owner_read | fs::perms::owner_write);
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink("target.mod", link);
    for (const fs::path& f : {priv, link}) {
        EXPECT_EQ(save(f), 0) << f;
        EXPECT_EQ(readAll(f).rfind("V1.0\n", 0), 0u) << f;
    }
    EXPECT_EQ(fs::status(priv).permissions() & fs::perms::all, fs::perms(0600));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));

    // Two links naming each other: refused with the message, both stay links.
    fs::create_symlink("loop-b.mod", dir / "loop-a.mod");
    fs::create_symlink("loop-a.mod", dir / "loop-b.mod");
    EXPECT_EQ(save(dir / "loop-a.mod"), 1);
    EXPECT_TRUE(fs::is_symlink(dir / "loop-a.mod") && fs::is_symlink(dir / "loop-b.mod"));
    int temporary = 0;
    for (const auto& e : fs::directory_iterator(dir)) temporary += e.path().filename().string()[0] == '.';
    EXPECT_EQ(temporary, 0);
    for (const char* name : {"private.mod", "target.mod", "linked.mod", "loop-a.mod", "loop-b.mod"}) fs::remove(dir / name);
}
