// File selectors: load and save with folder and path results, extension filters, the forced
// save extension, bounded buffers, scripted answers, the no-display path, and the dialog
// program's command line.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "support/TestFiles.h"

namespace {

using platform::DialogMode;

class FileSelectTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(DialogMode::Scripted);
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
        platform::fileSelectSetProgram("");
    }
    void TearDown() override {
        platform::fileSelectScriptClear();
        platform::fileSelectSetProgram("");
        platform::dialogSetMode(DialogMode::Automatic);
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

} // namespace

TEST_F(FileSelectTest, LoadGivesTheFolderWithItsSlashAndOffersEveryExtensionLastFirst) {
    platform::fileSelectScriptChoose("/home/u/tunings/just.tun");
    std::string dir = "old", file = "old";
    fileSelectLoadDirStr("Load Tuning", "/home/u/tunings", "Open", "*.scl;*.tun", "", dir, file);
    EXPECT_EQ(file, "/home/u/tunings/just.tun");
    EXPECT_EQ(dir, "/home/u/tunings/");
    const auto t = platform::fileSelectTranscript();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].request.kind, platform::FileSelectKind::Load);
    EXPECT_EQ(t[0].request.title, "Load Tuning");
    EXPECT_EQ(t[0].request.initialDir, "/home/u/tunings");
    ASSERT_EQ(t[0].request.filters.size(), 2u);
    EXPECT_EQ(t[0].request.filters[0].extension, "scl");
    EXPECT_EQ(t[0].request.filters[0].description, "scl");
    EXPECT_EQ(t[0].request.filters[1].extension, "tun");
    EXPECT_EQ(t[0].request.defaultFilter, 1); // the last one listed
    EXPECT_FALSE(t[0].request.multiple);
}

TEST_F(FileSelectTest, CancelOrNoScriptLeavesBothResultsEmpty) {
    platform::fileSelectScriptCancel();
    char dir[256] = "stale", file[256] = "stale";
    fileSelectLoadDir("T", "/x", "", "*.arp", nullptr, dir, file);
    EXPECT_STREQ(dir, "");
    EXPECT_STREQ(file, "");
    std::string d = "a", f = "b";
    fileSelectSaveDirStr("T", "/x", "", "*.arp", d, f); // script empty: cancelled
    EXPECT_EQ(d, "");
    EXPECT_EQ(f, "");
    EXPECT_EQ(platform::fileSelectTranscript().size(), 2u);
    EXPECT_FALSE(platform::fileSelectTranscript()[1].result.ok);
}

TEST_F(FileSelectTest, SaveForcesAThreeLetterExtension) {
    struct Case {
        const char* chosen;
        const char* defaultName;
        const char* file;
        const char* dir;
    };
    const Case cases[] = {
        {"/d/name", "*.ecs", "/d/name.ecs", "/d"},                // no dot: appended
        {"/d/my.file.txt", "*.ecs", "/d/my.ecs", "/d"},           // from the first dot on: replaced
        {"/a.b/name", "*.ecs", "/a.b/name.ecs", "/a.b"},          // dots in folders do not count
        {"/d/keep.tuning", "*.tune", "/d/keep.tuning", "/d"},     // four letters: nothing forced
        {"/d/plain", "Default", "/d/plain", "/d"},                // no extension in the default
        {"/top", "*.lyr", "/top.lyr", ""},                        // directly in the root
    };
    for (const Case& c : cases) {
        platform::fileSelectScriptChoose(c.chosen);
        std::string dir, file;
        fileSelectSaveDirStr("Save", "/d", "", c.defaultName, dir, file);
        EXPECT_EQ(file, c.file) << c.chosen;
        EXPECT_EQ(dir, c.dir) << c.chosen;
    }
    const auto t = platform::fileSelectTranscript();
    EXPECT_EQ(t[0].request.kind, platform::FileSelectKind::Save);
    EXPECT_EQ(t[0].request.defaultName, "*.ecs");
    ASSERT_EQ(t[0].request.filters.size(), 1u);
    EXPECT_EQ(t[0].request.filters[0].extension, "ecs");
}

TEST_F(FileSelectTest, BufferFormsNeverCutAPath) {
    const std::string longPath = "/" + std::string(300, 'x') + "/a.arp";
    platform::fileSelectScriptChoose(longPath);
    char dir[256] = "x", file[256] = "x";
    fileSelectLoadDir("T", "", "", "*.arp", "", dir, file);
    EXPECT_STREQ(file, ""); // does not fit: nothing rather than a wrong file
    EXPECT_STREQ(dir, "");
    platform::fileSelectScriptChoose("/tmp/abc.arp");
    char small[10], smallDir[10];
    fileSelectLoadDir("T", "", "", "*.arp", "", smallDir, small, sizeof small);
    EXPECT_STREQ(small, "");
    platform::fileSelectScriptChoose("/t/a.arp");
    fileSelectLoadDir("T", "", "", "*.arp", "", smallDir, small, sizeof small);
    EXPECT_STREQ(small, "/t/a.arp");
    EXPECT_STREQ(smallDir, "/t/");
    // The string forms keep long paths whole.
    platform::fileSelectScriptChoose(longPath);
    std::string d, f;
    fileSelectLoadDirStr("T", "", "", "*.arp", "", d, f);
    EXPECT_EQ(f, longPath);
}

TEST_F(FileSelectTest, OnlyAbsolutePathsAndSingleChoicesAreAnswers) {
    platform::fileSelectScriptChoose("relative/file.arp");
    std::string d = "x", f = "x";
    fileSelectLoadDirStr("T", "", "", "*.arp", "", d, f);
    EXPECT_EQ(f, "");
    platform::fileSelectScriptChooseMany({"/a/1.arp", "/a/2.arp"});
    fileSelectLoadDirStr("T", "", "", "*.arp", "", d, f);
    EXPECT_EQ(f, ""); // a multiple selection leaves both empty
    platform::FileSelectRequest many;
    many.multiple = true;
    platform::fileSelectScriptChooseMany({"/a/1.arp", "/a/2.arp"});
    const platform::FileSelectResult r = platform::runFileSelect(many);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.paths.size(), 2u);
}

TEST_F(FileSelectTest, WithoutADisplayOrInTestsNothingBlocks) {
    platform::dialogSetMode(DialogMode::Headless);
    platform::fileSelectScriptChoose("/never/used.arp");
    std::string d, f;
    fileSelectLoadDirStr("T", "", "", "*.arp", "", d, f);
    EXPECT_EQ(f, "");
    EXPECT_EQ(platform::fileSelectScriptPending(), 1u); // the script is not consulted
    platform::dialogSetMode(DialogMode::Automatic);
    // The tests set $TAV_TEST_SCRATCH: Automatic answers at once as cancelled.
    const char* scratch = std::getenv("TAV_TEST_SCRATCH");
    if (scratch && *scratch) {
        fileSelectSaveDirStr("T", "", "", "*.arp", d, f);
        EXPECT_EQ(f, "");
    }
}

TEST_F(FileSelectTest, TheDialogProgramGetsTheRightCommandLine) {
    const std::string folder = testfiles::makeScratchFolder("fileselect-program");
    ASSERT_FALSE(folder.empty());
    const std::string script = folder + "/fake-zenity";
    const std::string argsFile = folder + "/args";
    testfiles::writeFile(script,
                         "#!/bin/sh\n"
                         "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$FAKE_ARGS\"; done\n"
                         "printf '%s\\n' '--' >> \"$FAKE_ARGS\"\n"
                         "[ -n \"$FAKE_ANSWER\" ] && printf '%s\\n' \"$FAKE_ANSWER\"\n"
                         "exit $FAKE_CODE\n");
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    setenv("FAKE_ARGS", argsFile.c_str(), 1);
    platform::dialogSetMode(DialogMode::External);
    platform::fileSelectSetProgram(script);

    setenv("FAKE_ANSWER", "/chosen/scale.tun", 1);
    setenv("FAKE_CODE", "0", 1);
    std::string d, f;
    fileSelectLoadDirStr("Load Tuning", "/init", "", "*.tun;*.scl", "", d, f);
    EXPECT_EQ(f, "/chosen/scale.tun");
    EXPECT_EQ(d, "/chosen/");

    setenv("FAKE_ANSWER", "/out/map", 1);
    fileSelectSaveDirStr("Save ECS", "/init", "", "*.ecs", d, f);
    EXPECT_EQ(f, "/out/map.ecs");

    setenv("FAKE_ANSWER", "", 1);
    setenv("FAKE_CODE", "1", 1); // Cancel
    fileSelectLoadDirStr("Again", "", "", "*.tun", "", d, f);
    EXPECT_EQ(f, "");

    platform::FileSelectRequest folderReq;
    folderReq.kind = platform::FileSelectKind::Folder;
    folderReq.title = "Pick";
    setenv("FAKE_ANSWER", "/some/folder", 1);
    setenv("FAKE_CODE", "0", 1);
    const platform::FileSelectResult fr = platform::runFileSelect(folderReq);
    EXPECT_TRUE(fr.ok);
    ASSERT_EQ(fr.paths.size(), 1u);
    EXPECT_EQ(fr.paths[0], "/some/folder");

    unsetenv("FAKE_ARGS");
    unsetenv("FAKE_ANSWER");
    unsetenv("FAKE_CODE");

    const std::vector<std::string> got = lines(testfiles::readFile(argsFile));
    const std::vector<std::string> expected = {
        "--file-selection", "--title=Load Tuning", "--filename=/init/", "--file-filter=scl | *.scl",
        "--file-filter=tun | *.tun", "--",
        "--file-selection", "--title=Save ECS", "--save", "--confirm-overwrite", "--filename=/init/*.ecs",
        "--file-filter=ecs | *.ecs", "--",
        "--file-selection", "--title=Again", "--file-filter=tun | *.tun", "--",
        "--file-selection", "--title=Pick", "--directory", "--",
    };
    EXPECT_EQ(got, expected);
}
