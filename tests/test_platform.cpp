// The platform layer: text and path helpers, folders, plain files, the preference store,
// dialogs and file selection.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "platform/folderlist.h"
#include "platform/platform.h"
#include "platform/prefsformat.h"
#include "support/PluginHarness.h"
#include "support/TestFiles.h"

using testfiles::listFolder;
using testfiles::readFile;
using testfiles::writeFile;
using platform::DialogMode;

namespace {

// A buffer with guard bytes behind the part handed out.
template <int Size>
struct Guarded {
    static constexpr int kGuard = 16;
    char bytes[Size + kGuard];
    Guarded() { std::memset(bytes, '#', sizeof bytes); }
    char* data() { return bytes; }
    int size() const { return Size; }
    bool guardsIntact() const { return std::string(bytes + Size, kGuard) == std::string(kGuard, '#'); }
};

// A regression blocks in open() on a FIFO: the alarm ends the test program instead.
struct HangGuard {
    HangGuard() { ::alarm(30); }
    ~HangGuard() { ::alarm(0); }
};

void makeFifo(const std::string& path) {
    ::unlink(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

}  // namespace

// --- text and path helpers: the rules for names and typed numbers, never an overrun -------

TEST(PlatformText, CaseTrimNumbersSafeNames) {
    auto edited = [](std::string s, void (*f)(char*)) { return f(s.data()), std::string(s.c_str()); };
    char buf[12];
    const std::pair<std::string, std::string> cases[] = {
        {edited("a\xe9z", upperCase), "A\xe9Z"},  // bytes above 127 pass through
        {edited("f = -12.5e3 Hz +x", stripAllButNum), "-12.53+"},
        {edited("  a\x01" "b\x7f  ", trim), "ab"},
        {floatString(-0.125f, 3), "-0.125"},
        {itoa(-2147483647 - 1, buf, 16), "-2147483648"},
        {safeNameToSaveStr("  a:b?"), "a-b "},
        {safeNameToSaveStr("x\\/\"*|<>?y"), "x        y"},
        {safeNameToSaveStr("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrstuvwx"},
        {safeNameToSaveStr("caf\xc3\xa9 bar"), "caf"},
        {safeNameToSaveStr(std::string(20, ' ') + "abcdefgh"), "abcd"},  // counted before blanks are dropped
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    std::string s = " \t MiXeD \n";
    trim(s);
    lowerCase(s);
    EXPECT_EQ(s, "mixed");
    EXPECT_TRUE(stringCompareIgnoreCase("Bass", "bASS") && !stringCompareIgnoreCase("Bass", "Bas"));
    Guarded<8> g;
    safeNameToSaveStr("  a:b?cdefghij", g.data(), g.size());
    EXPECT_STREQ(g.data(), "a-b cde");
    EXPECT_TRUE(g.guardsIntact());
    char host[] = "A very long host product name\x01tail";
    safename(host);
    EXPECT_STREQ(host, "A very long host product");
}

TEST(PlatformPaths, NamesFoldersAndBuiltPathsNeverOverrunOrCut) {
    const std::pair<std::string, std::string> cases[] = {
        {getFileNameNoExtensionStr("Walk.arp.bak"), "Walk"},
        {getFileNameOnlyStr("/t/scale.tun", true), "scale"},
        {getFileNameOnlyStr("/t/scale.tun", false), "scale.tun"},
        {getFileDriveDirStr("/a/b.c/file"), "/a/b.c"},
        {getFolderNameOnlyStr("/x/Arp/Bass/Deep/Walk.arp", "/x/Arp/"), "Bass/Deep"},
        {getFolderNameOnlyStr("/x/Arp/Bass/Walk.arp", "/x/Arp"), "Bass"},
        {getFullPathForFileNameStr("/x/Arp/", "Bass", "My:Walk?", ".arp"), "/x/Arp/Bass/My-Walk .arp"},
        {getFullPathForFileNameStr("/x/Arp/", "Root Folder", "Walk", ".arp"), "/x/Arp/Walk.arp"},
        {getFullPathForFolderStr("/x/Arp", "Bass"), "/x/Arp/Bass/"},
        {getFileNameExtensionsStr("/a/b.c/file"), ""},  // a dot in a folder name is no extension
        {replaceExtension(std::string("/a.b/file"), std::string(".txt")), "/a.b/file.txt"},
        {setThreeCharName(41, "Pad"), "042 Pad"},
        {getThreeCharName("042 Pad"), "Pad"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.first, c.second);

    // At most 254 characters, and never more than the buffer takes; a folder or path that
    // does not fit comes back empty, not cut.
    const std::string longName = "/f/" + std::string(300, 'n') + ".ext";
    Guarded<kTextBufSize> g;
    getFileNameNoExtension(longName.c_str(), g.data(), g.size());
    EXPECT_EQ(std::strlen(g.data()), 254u);
    Guarded<10> small;
    getFileNameOnly("/f/abcdefghijklmnop.x", small.data(), true, small.size());
    EXPECT_STREQ(small.data(), "abcdefghi");
    Guarded<8> dir;
    getFileDriveDir("/abcdefghij/x", dir.data(), dir.size());
    EXPECT_STREQ(dir.data(), "");
    Guarded<12> path;
    getFullPathForFileNameStr("/x/Arp", "Bass", "Walk", ".arp", path.data(), path.size());
    EXPECT_STREQ(path.data(), "");
    EXPECT_TRUE(g.guardsIntact() && small.guardsIntact() && dir.guardsIntact() && path.guardsIntact());
}

// --- the system's folders and file operations ---------------------------------------------

namespace {

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::makeScratchFolder("folders");
        ASSERT_FALSE(dir.empty());
        setenv("HOME", (dir + "/home").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    }
    std::string dir;
};

}  // namespace

TEST_F(FoldersTest, RootsFollowTheXdgVariablesAndApplicationsMapsToTheDataRoot) {
    EXPECT_EQ(platform::dataRoot(), dir + "/data/");
    EXPECT_EQ(platform::configRoot(), dir + "/config/");
    EXPECT_EQ(platform::mapApplicationsPath("/Applications/Vantorix/Tavrolune/ECS/"),
              dir + "/data/Vantorix/Tavrolune/ECS/");
    EXPECT_EQ(platform::mapApplicationsPath("/ApplicationsX/a"), "/ApplicationsX/a");
    EXPECT_EQ(platform::mapApplicationsPath("relative/a"), "relative/a");
    setenv("XDG_CONFIG_DIRS", "/one:relative::/two/", 1);
    EXPECT_EQ(platform::systemConfigRoots(), (std::vector<std::string>{"/one/", "/two/"}));
    unsetenv("XDG_CONFIG_DIRS");

    setenv("XDG_DATA_HOME", "relative/data", 1);  // relative values do not count
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::dataRoot(), dir + "/home/.local/share/");
    EXPECT_EQ(platform::configRoot(), dir + "/home/.config/");
    char out[kTextBufSize];
    platform::mapApplicationsPath("/Applications/V/T/Mod/", out);
    EXPECT_EQ(std::string(out), dir + "/home/.local/share/V/T/Mod/");
    Guarded<12> small;
    platform::mapApplicationsPath("/Applications/V/T/Mod/", small.data(), small.size());
    EXPECT_STREQ(small.data(), "");
    EXPECT_TRUE(small.guardsIntact());
}

TEST_F(FoldersTest, MakeCopyRenameDeleteAndAtomicWritesKeepFilesWhole) {
    EXPECT_TRUE(makeDirectory(dir + "/a/b/c/"));
    EXPECT_TRUE(platform::folderExists(dir + "/a/b/c"));
    EXPECT_TRUE(makeDirectory(dir + "/a/b/c/"));  // already there
    writeFile(dir + "/a/plain", "x");
    EXPECT_FALSE(makeDirectory(dir + "/a/plain/sub"));

    const std::string src = dir + "/src.lyr";
    std::string data;
    for (int i = 0; i < 5000; ++i) data += std::to_string(i) + '\n';
    writeFile(src, data);
    writeFile(dir + "/copy.lyr", "old contents");
    EXPECT_TRUE(fileCopy(src, dir + "/copy.lyr"));
    EXPECT_EQ(readFile(dir + "/copy.lyr"), data);
    EXPECT_FALSE(fileCopy(dir + "/missing", dir + "/never"));
    EXPECT_FALSE(fileCopy(src, dir + "/no/such/folder/x"));
    EXPECT_TRUE(renameFile(dir + "/copy.lyr", dir + "/moved.lyr"));
    // Deleting keeps the file under another extension.
    EXPECT_TRUE(deleteFile((dir + "/moved.lyr").c_str()));
    EXPECT_EQ(readFile(dir + "/moved.~fx"), data);
    EXPECT_FALSE(deleteFileStr(dir + "/missing.lyr"));

    EXPECT_TRUE(platform::writeFileAtomically(dir + "/atomic.txt", "one"));
    EXPECT_TRUE(platform::writeFileAtomically(dir + "/atomic.txt", "two"));
    EXPECT_EQ(readFile(dir + "/atomic.txt"), "two");
    EXPECT_EQ(listFolder(dir), (std::vector<std::string>{"a", "atomic.txt", "moved.~fx", "src.lyr"}));
}

TEST_F(FoldersTest, ResourcePathIsTheFolderBesideTheModule) {
    std::string folder = std::filesystem::read_symlink("/proc/self/exe").string();
    folder = folder.substr(0, folder.rfind('/') + 1) + platform::kResourceFolderName + "/";
    char out[4096] = "untouched", small[8] = "x";
    ASSERT_TRUE(makeDirectory(folder));
    getResourcePath(out, sizeof out);
    getResourcePath(small, sizeof small);
    EXPECT_EQ(std::string(out) + "|" + small, folder + "|") << "a path that does not fit is no path";
    std::filesystem::remove_all(folder);
}

// One-level folder listings for the browser menus: one kind, sorted without regard to case
// (shorter first on a tie), hidden and backup names skipped, links followed.
TEST(FolderList, ListsOneKindOneLevelSortedWithoutHiddenNames) {
    using platform::FolderEntryKind;
    const std::string root = testfiles::makeScratchFolder("folderlist");
    ASSERT_FALSE(root.empty());
    for (const char* f : {"b.arp", "A.arp", "c", ".hidden.arp", "~backup.arp", "sub/deep.arp"}) writeFile(root + "/" + f, "x");
    for (const char* d : {"Zeta/x", "alpha/x", "Alpha2/x", ".git/x", "~old/x"}) writeFile(root + "/" + d, "");
    ASSERT_EQ(::symlink((root + "/Zeta").c_str(), (root + "/linked").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/b.arp").c_str(), (root + "/link.arp").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/nothing").c_str(), (root + "/dangling").c_str()), 0);
    EXPECT_EQ(platform::listFolderEntries(root, FolderEntryKind::Files),
              (std::vector<std::string>{"A.arp", "b.arp", "c", "link.arp"}));
    EXPECT_EQ(platform::listFolderEntries(root + "/", FolderEntryKind::Folders),
              (std::vector<std::string>{"alpha", "Alpha2", "linked", "sub", "Zeta"}));
    EXPECT_TRUE(platform::namesOrderedUpper("Bass", "bass2"));
    EXPECT_FALSE(platform::namesOrderedUpper("bass", "BASS"));
    EXPECT_TRUE(platform::namesOrderedUpper("ba", "b_x")) << "'_' lies between the cases: the upper case form decides";
}

// --- reading whole files: only regular files of a sane size, never with a wait, so a FIFO
// in the place of any file the plug-in reads neither hangs nor crashes it ----------------

TEST(PlainFiles, OnlyRegularFilesWithinTheLimitAreRead) {
    HangGuard guard;
    const std::string dir = testfiles::makeScratchFolder("files");
    writeFile(dir + "/small", "abc");
    writeFile(dir + "/big", std::string(100, 'x'));
    makeFifo(dir + "/fifo");
    ::symlink("small", (dir + "/link").c_str());
    const std::tuple<std::string, platform::FileRead, std::string> cases[] = {
        {dir + "/small", platform::FileRead::ok, "abc"},
        {dir + "/link", platform::FileRead::ok, "abc"},
        {dir + "/big", platform::FileRead::tooLarge, ""},
        {dir + "/fifo", platform::FileRead::notRegular, ""},
        {dir, platform::FileRead::notRegular, ""},
        {dir + "/small/below", platform::FileRead::missing, ""},
    };
    for (const auto& [path, expected, text] : cases) {
        std::string out = "stale";
        EXPECT_EQ(platform::readRegularFile(path, 64, out), expected) << path;
        EXPECT_EQ(out, text) << path;
        const bool regular = expected == platform::FileRead::ok || expected == platform::FileRead::tooLarge;
        EXPECT_EQ(platform::canReadRegularFile(path), regular) << path;
    }
    EXPECT_EQ(platform::linkTarget(dir + "/link"), dir + "/small");
}

TEST(PlainFiles, AFifoInThePlaceOfAnyFileThePluginReadsIsRefusedAtOnce) {
    HangGuard guard;
    const std::string dir = testfiles::makeScratchFolder("fifos");
    useScratchHome();
    platform::dialogSetMode(DialogMode::Scripted);
    platform::dialogTranscriptClear();
    platform::fileSelectScriptClear();
    platform::prefsUseFolders(dir + "/config", {});  // a tuning named there: creation reads it
    saveStringToPrefs("Tuning", dir);
    saveStringToPrefs("TuningName", "Pipe");
    makeFifo(dir + "/Pipe.tun");
    PluginHarness h;
    h->setProgram(0);
    h.run(1024);
    EXPECT_FLOAT_EQ(h->tuneTable[69], 69.f);
    platform::fileSelectScriptChoose(dir + "/Pipe.tun");
    h->loadTuning();
    makeFifo(dir + "/Pipe.ecs");  // a controller map chosen in the dialog
    platform::fileSelectScriptChoose(dir + "/Pipe.ecs");
    h->loadECS();
    writeFile(dir + "/Arp/Set/Pipe.arp", "V1.0\n");  // an arp preset that became a FIFO once listed
    h->arpDir = dir + "/Arp/";
    h->scanArpFolders();
    h->changeArpFolder(0);
    makeFifo(dir + "/Arp/Set/Pipe.arp");
    h->loadArpPreset(0);
    std::vector<std::string> messages;
    for (const auto& r : platform::dialogTranscript()) messages.push_back(r.text);
    EXPECT_EQ(messages, (std::vector<std::string>{"Problem with ECS File", "Problem with Preset"}));
    platform::dialogSetMode(DialogMode::Automatic);
    platform::prefsUseDefaultFolders();
}

// --- the preference store: round trips, defaults, the machine-wide fallback, atomic
// writes, damaged or unusable files and other writers --------------------------------------

namespace {

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::makeScratchFolder("prefs");
        ASSERT_FALSE(dir.empty());
        config = dir + "/config";
        setenv("HOME", (dir + "/home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (dir + "/system").c_str(), 1);
        platform::prefsUseDefaultFolders();
        userFile = config + "/com.ZELQ.Tavrolune/preferences";
        systemFile = dir + "/system/com.ZELQ.Tavrolune/preferences";
    }
    std::string text(const std::string& key, int maxLen = 127) {
        std::string s = "stale";
        loadStringFromPrefs(key, s, maxLen);
        return s;
    }
    platform::PrefMap onDisk(const std::string& path) {
        platform::PrefMap m;
        platform::parsePrefsText(readFile(path), m);
        return m;
    }
    std::string dir, config, userFile, systemFile;
};

}  // namespace

TEST_F(PrefsTest, ValuesAreWrittenAtOnceAndSurviveAReload) {
    EXPECT_EQ(platform::prefsFilePath(), userFile);
    EXPECT_EQ(platform::prefsSystemFilePaths(), std::vector<std::string>{systemFile});
    saveStringToPrefs("ArpDir", "/some/where/Arp/");
    saveBoolToPrefs("ToolTip", false);
    setMIDICC(7, 345);
    saveStringToPrefs("Odd=Key\\", "line1\nline2\ttab\r = \\ \x01 ünï ");
    saveIntToPrefs("MIDIChannel", 11);
    EXPECT_EQ(onDisk(userFile)["MIDIChannel"].intValue, 11) << "on disk before the call returned";
    saveIntToPrefs("MIDIChannel", 3);
    EXPECT_EQ(listFolder(config + "/com.ZELQ.Tavrolune"), (std::vector<std::string>{".preferences.lock", "preferences"}));

    platform::prefsReload();
    EXPECT_EQ(text("ArpDir"), "/some/where/Arp/");
    EXPECT_FALSE(getRegisterIsOn("ToolTip", true));
    EXPECT_EQ(getMIDICC(7), 345);
    EXPECT_EQ(text("Odd=Key\\", 256), "line1\nline2\ttab\r = \\ \x01 ünï ");
    EXPECT_EQ(loadIntFromPrefs("MIDIChannel"), 3);
    const std::string file = readFile(userFile);
    EXPECT_EQ(file.find("MIDIChannel"), file.rfind("MIDIChannel")) << "one entry per key";
    EXPECT_EQ(platform::prefsSkippedLines(), 0);
}

TEST_F(PrefsTest, AbsentKeysOtherTypesAndTextsThatDoNotFitGiveTheDefaults) {
    EXPECT_EQ(text("Nothing"), "");
    EXPECT_EQ(loadIntFromPrefs("Nothing"), 0);
    EXPECT_TRUE(getRegisterIsOn("Nothing", true));
    saveStringToPrefs("5", "12");
    EXPECT_EQ(getMIDICC(5), 0) << "a text is not a number";
    saveIntToPrefs("Num", 9);
    EXPECT_EQ(text("Num"), "") << "a number is not a text";
    for (const char* other : {"y", "Yes", "", "NN"}) {  // flags: only exactly "Y" and "N" count
        saveStringToPrefs("Flag", other);
        EXPECT_TRUE(getRegisterIsOn("Flag", true)) << other;
        EXPECT_FALSE(getRegisterIsOn("Flag", false)) << other;
    }
    saveStringToPrefs("Flag", "Y");
    EXPECT_TRUE(getRegisterIsOn("Flag", false));

    saveStringToPrefs("Ten", "0123456789");
    EXPECT_EQ(text("Ten", 11), "0123456789");
    EXPECT_EQ(text("Ten", 10), "");
    for (int maxLen : {11, 10, 1}) {
        Guarded<32> buf;
        loadStringFromPrefs("Ten", buf.data(), maxLen);
        EXPECT_STREQ(buf.data(), maxLen > 10 ? "0123456789" : "") << maxLen;
        for (int i = maxLen; i < 32; ++i) ASSERT_EQ(buf.data()[i], '#') << "byte " << i << " with maxLen " << maxLen;
    }
}

TEST_F(PrefsTest, DamagedFileLosesOnlyItsBadLines) {
    const std::string lines[] = {"# written by hand", "s Good1=first", "garbage without form", "x Bad=unknown type",
                                 "s NoEquals", "s =empty key", "s BadEscape=abc\\q", "s BadHex=\\xZZ",
                                 "s EscNul=a\\x00b", "s CutEscape=abc\\", "i NotNum=12abc", "i TooBig=2147483648",
                                 "i Empty=", std::string("s Nul=a\0b", 9), "i Good2=-42", "s Good3=crlf\r", "",
                                 "s Binary=\xff\xfe", "i Good4=+7"};
    std::string file;
    for (const std::string& l : lines) file += l + "\n";
    writeFile(userFile, file + "s Cut=partial valu");  // no line feed: cut off
    platform::prefsReload();
    EXPECT_EQ(text("Good1"), "first");
    EXPECT_EQ(loadIntFromPrefs("Good2"), -42);
    EXPECT_EQ(text("Good3"), "crlf");
    EXPECT_EQ(text("Binary"), "\xff\xfe");
    EXPECT_EQ(loadIntFromPrefs("Good4"), 7);
    for (const char* bad : {"Bad", "NoEquals", "BadEscape", "BadHex", "EscNul", "CutEscape", "Nul", "Cut"})
        EXPECT_EQ(text(bad), "") << bad;
    for (const char* bad : {"NotNum", "TooBig", "Empty"}) EXPECT_EQ(loadIntFromPrefs(bad), 0) << bad;
    EXPECT_EQ(platform::prefsSkippedLines(), 13);
    // The next write keeps the good entries.
    saveStringToPrefs("New", "n");
    platform::prefsReload();
    EXPECT_EQ(platform::prefsSkippedLines(), 0);
    EXPECT_EQ(text("Good1"), "first");
}

TEST_F(PrefsTest, ACutOffOrScrambledFileGivesOnlyWholeValues) {
    saveStringToPrefs("Alpha", "/a/long/folder/name/");
    saveIntToPrefs("Beta", 123456);
    saveStringToPrefs("Gamma", "x\\y=z");
    const std::string whole = readFile(userFile);
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        writeFile(userFile, whole.substr(0, cut));
        platform::prefsReload();
        const std::string a = text("Alpha"), g = text("Gamma");
        EXPECT_TRUE(a.empty() || a == "/a/long/folder/name/") << cut;
        EXPECT_TRUE(loadIntFromPrefs("Beta") == 0 || loadIntFromPrefs("Beta") == 123456) << cut;
        EXPECT_TRUE(g.empty() || g == "x\\y=z") << cut;
    }
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        std::string data = whole;
        for (int k = 0; k < 4; ++k) data[rng() % data.size()] = static_cast<char>(rng());
        writeFile(userFile, data);
        platform::prefsReload();
        const std::string g = text("Gamma");
        EXPECT_TRUE(g.empty() || g.size() == 5) << round;
    }
}

TEST_F(PrefsTest, MachineWideTextsFillInButNeverReplaceTheUsersOwn) {
    writeFile(systemFile, "s Help=/usr/share/doc/manual.pdf\ns ArpDir=/usr/share/arp/\ni SysInt=5\ns Path=/sys/\ns Animation=N\n");
    saveStringToPrefs("ArpDir", "/mine/");
    EXPECT_EQ(text("Help"), "/usr/share/doc/manual.pdf");
    EXPECT_EQ(onDisk(userFile)["Help"].text, "/usr/share/doc/manual.pdf") << "adopted into the user's store";
    EXPECT_EQ(text("ArpDir"), "/mine/");
    EXPECT_EQ(loadIntFromPrefs("SysInt"), 0) << "integers are not looked up machine-wide";
    EXPECT_FALSE(getRegisterIsOn("Animation", true)) << "flags fall back as texts";

    // The user's value does not fit the caller's buffer: the machine-wide one is handed
    // out, but the user's own stays in the store. An empty text of the user's is missing.
    const std::string longPath(200, 'p');
    saveStringToPrefs("Path", longPath);
    EXPECT_EQ(text("Path"), "/sys/");
    platform::prefsReload();
    EXPECT_EQ(text("Path", 256), longPath);
    saveStringToPrefs("Path", "");
    EXPECT_EQ(text("Path"), "/sys/");
}

TEST_F(PrefsTest, ChangesByAnotherProcessAreKeptAndABatchWritesOnceAtTheEnd) {
    saveStringToPrefs("Mine", "1");
    // Another host replaces the file with its own view plus a key of its own.
    const std::string tmp = userFile + ".other";
    writeFile(tmp, readFile(userFile) + "s Theirs=2\n");
    ASSERT_EQ(rename(tmp.c_str(), userFile.c_str()), 0);
    EXPECT_EQ(text("Theirs"), "") << "reads come from memory";
    saveStringToPrefs("Mine2", "4");
    platform::prefsReload();
    for (auto [k, v] : {std::pair<const char*, const char*>{"Mine", "1"}, {"Theirs", "2"}, {"Mine2", "4"}})
        EXPECT_EQ(text(k), v) << k;

    const std::string before = readFile(userFile);
    {
        platform::PrefsBatch batch;
        for (int cc = 0; cc < 128; ++cc) setMIDICC(cc, cc + 100);
        EXPECT_EQ(getMIDICC(127), 227);  // visible inside the batch
        EXPECT_EQ(readFile(userFile), before);
    }
    platform::prefsReload();
    for (int cc = 0; cc < 128; ++cc) ASSERT_EQ(getMIDICC(cc), cc + 100) << cc;
}

TEST_F(PrefsTest, SeveralThreadsAndTwoProcessesKeepEveryWrite) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 15; ++i) {
                saveIntToPrefs("T" + std::to_string(t) + "_" + std::to_string(i), t * 100 + i);
                loadIntFromPrefs("T0_0");
            }
        });
    for (auto& th : threads) th.join();
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int i = 0; i < 60; ++i) saveIntToPrefs("P" + std::to_string(c) + "_" + std::to_string(i), i + 1);
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    platform::prefsReload();
    int lost = 0;
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 15; ++i) lost += loadIntFromPrefs("T" + std::to_string(t) + "_" + std::to_string(i)) != t * 100 + i;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 60; ++i) lost += loadIntFromPrefs("P" + std::to_string(c) + "_" + std::to_string(i)) != i + 1;
    EXPECT_EQ(lost, 0);
}

TEST_F(PrefsTest, AFileThatCannotBeUsedIsNeverReplaced) {
    // Each works as root too, which reads a file whatever its mode.
    const std::pair<const char*, void (*)(const std::string&)> cases[] = {
        {"another format", [](const std::string& p) { writeFile(p, "<plist>\n<dict/>\n</plist>\n"); }},
        {"a folder", [](const std::string& p) { makeDirectory(p + "/inside"); }},
        {"a FIFO", [](const std::string& p) { makeFifo(p); }},
        {"too large", [](const std::string& p) { writeFile(p, "s A=1\n"); ASSERT_EQ(::truncate(p.c_str(), 17 << 20), 0); }},
        {"unreadable", [](const std::string& p) { writeFile(p, "s A=1\n"); ::chmod(p.c_str(), 0); }},
    };
    HangGuard guard;
    for (const auto& [name, make] : cases) {
        if (std::string(name) == "unreadable" && ::geteuid() == 0) continue;
        const std::string root = dir + "/" + name, file = root + "/com.ZELQ.Tavrolune/preferences";
        makeDirectory(root + "/com.ZELQ.Tavrolune");
        make(file);
        struct stat before, after;
        ASSERT_EQ(::lstat(file.c_str(), &before), 0) << name;
        ::testing::internal::CaptureStderr();
        platform::prefsUseFolders(root, {});
        saveIntToPrefs("Mine", 1);
        saveStringToPrefs("Folder", "/x/");
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(loadIntFromPrefs("Mine"), 1) << name << ": kept in memory";
        ASSERT_EQ(::lstat(file.c_str(), &after), 0) << name;
        EXPECT_EQ(after.st_ino, before.st_ino) << name;
        EXPECT_EQ(after.st_size, before.st_size) << name;
        std::size_t says = 0;
        for (std::size_t at = told.find(file); at != std::string::npos; at = told.find(file, at + 1)) ++says;
        EXPECT_EQ(says, 1u) << name << ": " << told;
    }
    // A configuration root that is a plain file: known for this session only.
    writeFile(dir + "/blocked", "x");
    platform::prefsUseFolders(dir + "/blocked", {});
    saveIntToPrefs("K", 5);
    EXPECT_EQ(loadIntFromPrefs("K"), 5);
    platform::prefsReload();
    EXPECT_EQ(loadIntFromPrefs("K"), 0);
}

TEST_F(PrefsTest, ALinkedFileStaysALinkAndItsTargetIsWritten) {
    makeDirectory(config + "/com.ZELQ.Tavrolune");
    for (const std::string& target : {dir + "/dotfiles/prefs", std::string("../../dotfiles/prefs2")}) {
        const std::string real = target[0] == '/' ? target : dir + "/dotfiles/prefs2";
        writeFile(real, "s Old=kept\n");
        ::unlink(userFile.c_str());
        ASSERT_EQ(::symlink(target.c_str(), userFile.c_str()), 0);
        platform::prefsReload();
        saveIntToPrefs("New", 7);
        struct stat st;
        ASSERT_EQ(::lstat(userFile.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << target;
        platform::PrefMap m = onDisk(real);
        EXPECT_EQ(m["Old"].text, "kept") << target;
        EXPECT_EQ(m["New"].intValue, 7) << target;
    }
}

// --- modal boxes and file selectors: scripted answers, bounded copies, number entry, the
// no-display path, and the dialog program run without a shell ------------------------------

namespace {

// Puts back the environment variables a test changes.
struct EnvGuard {
    std::vector<std::tuple<std::string, bool, std::string>> saved;
    explicit EnvGuard(std::initializer_list<const char*> names) {
        for (const char* n : names) saved.emplace_back(n, std::getenv(n) != nullptr, std::getenv(n) ? std::getenv(n) : "");
    }
    ~EnvGuard() {
        for (auto& [n, had, v] : saved) had ? setenv(n.c_str(), v.c_str(), 1) : unsetenv(n.c_str());
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        platform::dialogSetProgram("");
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
        platform::fileSelectSetProgram("");
    }
    void TearDown() override {
        SetUp();
        platform::dialogSetMode(DialogMode::Automatic);
    }

    // A stand-in for the dialog program: writes each argument it gets, NUL-terminated, to
    // $FAKE_ARGS, touches $FAKE_MARK, prints $FAKE_ANSWER and exits with $FAKE_EXIT.
    std::string makeFakeProgram() {
        dir = testfiles::makeScratchFolder("dialogs");
        const std::string path = dir + "/fake-dialog";
        writeFile(path,
                  "#!/bin/sh\n: > \"$FAKE_MARK\"\n"
                  "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$FAKE_ARGS\"; done\n"
                  "[ -n \"$FAKE_ANSWER\" ] && printf '%s\\n' \"$FAKE_ANSWER\"\nexit \"$FAKE_EXIT\"\n");
        chmod(path.c_str(), 0755);
        argsFile = dir + "/args";
        markFile = dir + "/mark";
        setenv("FAKE_ARGS", argsFile.c_str(), 1);
        setenv("FAKE_MARK", markFile.c_str(), 1);
        setenv("FAKE_ANSWER", "", 1);
        setenv("FAKE_EXIT", "0", 1);
        return path;
    }
    // The arguments of the program's runs since the last call.
    std::vector<std::string> fakeArgs() {
        std::vector<std::string> args;
        const std::string data = readFile(argsFile);
        for (std::size_t start = 0, end; start < data.size(); start = end + 1) {
            end = data.find('\0', start);
            args.push_back(data.substr(start, end - start));
        }
        std::remove(argsFile.c_str());
        return args;
    }
    bool fakeRan() {
        const bool ran = access(markFile.c_str(), F_OK) == 0;
        std::remove(markFile.c_str());
        return ran;
    }

    std::string dir, argsFile, markFile;
    EnvGuard env{{"DISPLAY", "WAYLAND_DISPLAY", "TAV_TEST_SCRATCH", "TAV_DIALOGS", "FAKE_ARGS", "FAKE_MARK",
                  "FAKE_ANSWER", "FAKE_EXIT"}};
};

}  // namespace

TEST_F(DialogTest, ScriptedBoxesAnswerOkWithTextOrCancel) {
    platform::dialogScriptOk("12 apples");
    platform::dialogScriptCancel();
    char buf[kEntryBufSize] = "440";
    inputBox(std::string("A4 Tuning: 220 to 880Hz, 440Hz Default"), std::string("220 to 880"), buf);
    EXPECT_STREQ(buf, "12 apples");
    std::string text = "kept?";
    inputBoxStr("Copy to Layer 1 to 3", "Copy To", text);
    EXPECT_EQ(text, "");
    const auto log = platform::dialogTranscript();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].title + "|" + log[0].text + "|" + log[0].initial, "220 to 880|A4 Tuning: 220 to 880Hz, 440Hz Default|440");
    EXPECT_TRUE(log[1].initial == "kept?" && !log[1].ok);

    // Message boxes: an empty text shows nothing; OK is 1, Cancel 2.
    platform::dialogScriptOk();
    EXPECT_EQ(messageBox("", 1), 0);
    EXPECT_EQ(messageBox("Problem with Preset", 1), 1);
    platform::dialogScriptCancel();
    EXPECT_EQ(messageBoxCancel("Sure?"), 2);
    EXPECT_EQ(platform::dialogTranscript().size(), 4u);
    EXPECT_EQ(platform::dialogTranscript()[2].kind, platform::DialogRecord::Kind::Question);
}

TEST_F(DialogTest, EnteredTextIsCutToTheCallersBufferAndNeverSplitsACharacter) {
    Guarded<kEntryBufSize> buf;
    buf.data()[0] = 0;
    platform::dialogScriptOk(std::string(300, 'x'));
    inputBox("p", "t", buf.data());
    EXPECT_EQ(std::strlen(buf.data()), static_cast<std::size_t>(kEntryBufSize - 1));
    EXPECT_TRUE(buf.guardsIntact());
    Guarded<6> utf;  // "é" is two bytes
    utf.data()[0] = 0;
    platform::dialogScriptOk("abcd\xc3\xa9");
    inputBox("p", "t", utf.data(), 6);
    EXPECT_STREQ(utf.data(), "abcd");
    // An unterminated starting text is read only up to the size given.
    char raw[8];
    std::memset(raw, 'r', sizeof raw);
    platform::dialogScriptOk("ok");
    inputBox("p", "t", raw, 8);
    EXPECT_EQ(platform::dialogTranscript().back().initial, std::string(8, 'r'));
}

TEST_F(DialogTest, NumberEntryKeepsTheNumberAndChecksTheRange) {
    const std::tuple<const char*, int, int, bool, int> cases[] = {
        {"twelve: 12abc", 0, 100, true, 12}, {"17", 1, 16, false, 17}, {"16", 0, 16, true, 16},
        {"-5.7", -10, 10, true, -5},         {"letters", 0, 100, false, -1}, {".", 0, 100, false, -1},
        {"+-3", 0, 100, false, -1},          {"99999999999", 0, 100, false, -1},
    };
    for (const auto& [typed, lo, hi, ok, number] : cases) {
        platform::dialogScriptOk(typed);
        std::string text = "3";
        int value = 5;
        EXPECT_EQ(inputBoxNumStr("p", "t", text, lo, hi, value), ok) << typed;
        EXPECT_EQ(value, number) << typed;
    }
    platform::dialogScriptCancel();
    std::string text = "8";
    int value = 0;
    EXPECT_FALSE(inputBoxNumStr("p", "t", text, 0, 16, value));
    EXPECT_TRUE(value == -1 && text.empty());
}

TEST_F(DialogTest, WithoutADisplayOrUnderTheTestsNothingOpensOrBlocks) {
    platform::dialogSetMode(DialogMode::Headless);
    platform::dialogScriptOk("never used");
    platform::fileSelectScriptChoose("/never/used.arp");
    char buf[kEntryBufSize] = "preset";
    inputBox("p", "t", buf);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(messageBox("Problem with ECS File", 2), 1);
    EXPECT_EQ(messageBox("Overwrite?", 1), 2);
    std::string d, f = "x";
    fileSelectLoadDirStr("T", "", "", "*.arp", "", d, f);
    EXPECT_EQ(f, "");
    EXPECT_EQ(platform::dialogScriptPending() + platform::fileSelectScriptPending(), 2u) << "scripts not consulted";

    platform::dialogSetProgram(makeFakeProgram());
    platform::dialogSetMode(DialogMode::Automatic);
    setenv("FAKE_ANSWER", "from program", 1);
    unsetenv("TAV_TEST_SCRATCH");
    unsetenv("TAV_DIALOGS");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(platform::dialogDisplayPresent());
    EXPECT_EQ(messageBox("m", 1), 2);
    EXPECT_FALSE(fakeRan());
    setenv("DISPLAY", ":97", 1);
    inputBox("p", "t", buf);
    EXPECT_TRUE(fakeRan());
    EXPECT_STREQ(buf, "from program");
    for (const char* var : {"TAV_TEST_SCRATCH", "TAV_DIALOGS"}) {  // under the test runner, or told so: no window
        setenv(var, var[4] == 'T' ? "/tmp" : "none", 1);
        EXPECT_EQ(messageBox("m", 1), 2);
        EXPECT_FALSE(fakeRan()) << var;
        unsetenv(var);
    }
}

TEST_F(DialogTest, TheProgramGetsItsArgumentsWithoutAShell) {
    platform::dialogSetProgram(makeFakeProgram());
    platform::fileSelectSetProgram(dir + "/fake-dialog");
    platform::dialogSetMode(DialogMode::External);
    const std::string evil = "$(touch " + dir + "/pwned) `id` ; \"quoted\" 'single' & | > <";
    setenv("FAKE_ANSWER", "answer with spaces", 1);
    char buf[kEntryBufSize];
    std::strcpy(buf, evil.c_str());
    inputBox("Prompt_with\\specials", "Title " + evil, buf);
    EXPECT_STREQ(buf, "answer with spaces");
    EXPECT_EQ(access((dir + "/pwned").c_str(), F_OK), -1);
    EXPECT_EQ(fakeArgs(), (std::vector<std::string>{"--entry", "--title=Title " + evil, "--text=Prompt__with\\\\specials",
                                                    "--entry-text=" + evil, "--ok-label=OK", "--cancel-label=Cancel"}));
    setenv("FAKE_ANSWER", "", 1);
    EXPECT_EQ(messageBox("Problem with Preset", 2), 1);
    EXPECT_EQ(fakeArgs(), (std::vector<std::string>{"--info", "--text=Problem with Preset", "--no-markup", "--ok-label=OK"}));
    setenv("FAKE_EXIT", "1", 1);  // Cancel
    EXPECT_EQ(messageBox("Sure?", 1), 2);
    EXPECT_EQ(fakeArgs(), (std::vector<std::string>{"--question", "--text=Sure?", "--no-markup", "--ok-label=OK",
                                                    "--cancel-label=Cancel"}));
    setenv("FAKE_EXIT", "5", 1);  // failing in some other way: no answer
    EXPECT_EQ(messageBox("Note", 2), 1);
    fakeArgs();

    setenv("FAKE_EXIT", "0", 1);
    setenv("FAKE_ANSWER", "/chosen/scale.tun", 1);
    std::string d, f;
    fileSelectLoadDirStr("Load Tuning", "/init", "", "*.tun;*.scl", "", d, f);  // the last listed comes first
    EXPECT_EQ(f, "/chosen/scale.tun");
    EXPECT_EQ(d, "/chosen/");
    setenv("FAKE_ANSWER", "/out/map", 1);
    fileSelectSaveDirStr("Save ECS", "/init", "", "*.ecs", d, f);
    EXPECT_EQ(f, "/out/map.ecs");
    EXPECT_EQ(fakeArgs(), (std::vector<std::string>{"--file-selection", "--title=Load Tuning", "--filename=/init/",
                                                    "--file-filter=scl | *.scl", "--file-filter=tun | *.tun",
                                                    "--file-selection", "--title=Save ECS", "--save",
                                                    "--confirm-overwrite", "--filename=/init/*.ecs",
                                                    "--file-filter=ecs | *.ecs"}));
    // A program that is not there: no box, no hang.
    platform::dialogSetProgram(dir + "/missing-program");
    std::strcpy(buf, "x");
    inputBox("p", "t", buf);
    EXPECT_STREQ(buf, "");
}

TEST_F(DialogTest, BoxesAndFileSelectorsOfAThreadOpenOverItsParentWindow) {
    platform::dialogSetProgram(makeFakeProgram());
    platform::fileSelectSetProgram(dir + "/fake-dialog");
    platform::dialogSetMode(DialogMode::External);
    setenv("FAKE_ANSWER", "/picked/a.tun", 1);
    auto showAll = [] {
        char buf[kEntryBufSize] = "";
        inputBox("p", "t", buf);
        messageBox("m", 1);
        std::string d, f;
        fileSelectLoadDirStr("Load Tuning", "", "", "*.tun", "", d, f);
    };
    auto attaches = [&] {
        std::vector<std::string> found;
        for (const std::string& a : fakeArgs())
            if (a.rfind("--attach", 0) == 0) found.push_back(a);
        return found;
    };
    platform::dialogSetParentWindow(0x2a00005);
    showAll();
    EXPECT_EQ(attaches(), std::vector<std::string>(3, "--attach=44040197"));
    // Another thread names no window of its own: its boxes attach to none.
    std::thread other(showAll);
    other.join();
    EXPECT_EQ(attaches(), std::vector<std::string>{});
    EXPECT_EQ(platform::dialogParentWindow(), 0x2a00005u);
    platform::dialogSetParentWindow(0);
    showAll();
    EXPECT_EQ(attaches(), std::vector<std::string>{});
}

TEST_F(DialogTest, FileSelectionGivesFolderAndPathAndForcesAThreeLetterSaveExtension) {
    platform::fileSelectScriptChoose("/home/u/tunings/just.tun");
    std::string dir = "old", file = "old";
    fileSelectLoadDirStr("Load Tuning", "/home/u/tunings", "Open", "*.scl;*.tun", "", dir, file);
    EXPECT_EQ(dir + "|" + file, "/home/u/tunings/|/home/u/tunings/just.tun");
    const auto t = platform::fileSelectTranscript()[0].request;
    ASSERT_EQ(t.filters.size(), 2u);
    EXPECT_TRUE(t.filters[1].extension == "tun" && t.defaultFilter == 1);  // the last one listed

    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"/d/name", "*.ecs", "/d/name.ecs", "/d"},             // no dot: appended
        {"/d/my.file.txt", "*.ecs", "/d/my.ecs", "/d"},        // from the first dot on: replaced
        {"/a.b/name", "*.ecs", "/a.b/name.ecs", "/a.b"},       // dots in folders do not count
        {"/d/keep.tuning", "*.tune", "/d/keep.tuning", "/d"},  // four letters: nothing forced
        {"/top", "*.lyr", "/top.lyr", ""},                     // directly in the root
    };
    for (const auto& [chosen, defaultName, wantFile, wantDir] : cases) {
        platform::fileSelectScriptChoose(chosen);
        fileSelectSaveDirStr("Save", "/d", "", defaultName, dir, file);
        EXPECT_EQ(dir + "|" + file, std::string(wantDir) + "|" + wantFile) << chosen;
    }
    // Cancel, a relative path and a multiple choice are no answer.
    platform::fileSelectScriptCancel();
    platform::fileSelectScriptChoose("relative/file.arp");
    platform::fileSelectScriptChooseMany({"/a/1.arp", "/a/2.arp"});
    for (int i = 0; i < 3; ++i) {
        dir = file = "x";
        fileSelectLoadDirStr("T", "", "", "*.arp", "", dir, file);
        EXPECT_EQ(dir + file, "") << i;
    }
    // The buffer forms never cut a path: nothing rather than a wrong file.
    const std::string longPath = "/" + std::string(300, 'x') + "/a.arp";
    char d[256] = "x", f[256] = "x", smallDir[10], small[10];
    platform::fileSelectScriptChoose(longPath);
    fileSelectLoadDir("T", "", "", "*.arp", "", d, f);
    EXPECT_STREQ(f, "");
    for (const char* chosen : {"/tmp/abc.arp", "/t/a.arp"}) {  // 12 and 8 characters
        platform::fileSelectScriptChoose(chosen);
        fileSelectLoadDir("T", "", "", "*.arp", "", smallDir, small, sizeof small);
        EXPECT_STREQ(small, std::strlen(chosen) < sizeof small ? chosen : "") << chosen;
    }
    EXPECT_STREQ(smallDir, "/t/");
}
