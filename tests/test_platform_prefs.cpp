// The preference store: round trips through the file, defaults of absent keys, the
// machine-wide fallback, atomic writes, damaged files and bounded copies.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "support/TestFiles.h"
#include "platform/prefsformat.h"

namespace {

using testfiles::listFolder;
using testfiles::readFile;
using testfiles::writeFile;

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::makeScratchFolder("prefs");
        ASSERT_FALSE(dir.empty());
        home = dir + "/home";
        config = dir + "/config";
        system = dir + "/system";
        makeDirectory(home);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", system.c_str(), 1);
        platform::prefsUseDefaultFolders();
        userFile = config + "/com.ZELQ.Tavrolune/preferences";
        systemFile = system + "/com.ZELQ.Tavrolune/preferences";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::string dir, home, config, system, userFile, systemFile;
};

TEST_F(PrefsTest, FileLivesInTheDomainFolderUnderTheConfigRoot) {
    EXPECT_STREQ(PREF_PATH_CSTR, "com.ZELQ.Tavrolune");
    EXPECT_EQ(platform::prefsFilePath(), userFile);
    ASSERT_EQ(platform::prefsSystemFilePaths().size(), 1u);
    EXPECT_EQ(platform::prefsSystemFilePaths()[0], systemFile);

    unsetenv("XDG_CONFIG_HOME");
    platform::prefsReload();
    EXPECT_EQ(platform::prefsFilePath(), home + "/.config/com.ZELQ.Tavrolune/preferences");
}

TEST_F(PrefsTest, ValuesSurviveAReloadFromDisk) {
    saveStringToPrefs("ArpDir", "/some/where/Arp/");
    saveIntToPrefs("MIDIChannel", 11);
    saveIntToPrefs("Negative", -2147483647 - 1);
    saveBoolToPrefs("ToolTip", false);
    saveBoolToPrefs("Keyboard", true);
    setMIDICC(7, 345);
    saveStringToPrefs("Odd=Key\\", "line1\nline2\ttab\r = \\ \x01 ünï ");
    char key[] = "CharKey";
    char value[] = "char value";
    saveStringToPrefs(key, value);

    platform::prefsReload();
    std::string s;
    loadStringFromPrefs("ArpDir", s, 127);
    EXPECT_EQ(s, "/some/where/Arp/");
    EXPECT_EQ(loadIntFromPrefs("MIDIChannel"), 11);
    EXPECT_EQ(loadIntFromPrefs("Negative"), -2147483647 - 1);
    EXPECT_FALSE(getRegisterIsOn("ToolTip", true));
    EXPECT_TRUE(getRegisterIsOn("Keyboard", false));
    EXPECT_EQ(getMIDICC(7), 345);
    EXPECT_EQ(loadIntFromPrefs("7"), 345);
    loadStringFromPrefs("Odd=Key\\", s, 256);
    EXPECT_EQ(s, "line1\nline2\ttab\r = \\ \x01 ünï ");
    char buf[32];
    loadStringFromPrefs("CharKey", buf, sizeof buf);
    EXPECT_STREQ(buf, "char value");
    EXPECT_EQ(platform::prefsSkippedLines(), 0);

    // Overwriting keeps one entry per key.
    saveIntToPrefs("MIDIChannel", 3);
    platform::prefsReload();
    EXPECT_EQ(loadIntFromPrefs("MIDIChannel"), 3);
    const std::string text = readFile(userFile);
    EXPECT_EQ(text.find("MIDIChannel"), text.rfind("MIDIChannel"));
}

TEST_F(PrefsTest, AbsentKeysAndOtherTypesGiveTheDefaults) {
    std::string s = "stale";
    loadStringFromPrefs("Nothing", s, 127);
    EXPECT_EQ(s, "");
    EXPECT_EQ(loadIntFromPrefs("Nothing"), 0);
    EXPECT_TRUE(getRegisterIsOn("Nothing", true));
    EXPECT_FALSE(getRegisterIsOn("Nothing", false));
    EXPECT_EQ(getMIDICC(5), 0);

    // A text is not a number and a number is not a text.
    saveStringToPrefs("5", "12");
    EXPECT_EQ(getMIDICC(5), 0);
    saveIntToPrefs("Num", 9);
    s = "stale";
    loadStringFromPrefs("Num", s, 127);
    EXPECT_EQ(s, "");

    // Flags: only exactly "Y" and "N" count.
    for (const char* other : {"y", "Yes", "", "n", "No", "YY"}) {
        saveStringToPrefs("Flag", other);
        EXPECT_TRUE(getRegisterIsOn("Flag", true)) << other;
        EXPECT_FALSE(getRegisterIsOn("Flag", false)) << other;
    }
    saveStringToPrefs("Flag", "Y");
    EXPECT_TRUE(getRegisterIsOn("Flag", false));
    saveStringToPrefs("Flag", "N");
    EXPECT_FALSE(getRegisterIsOn("Flag", true));
    saveIntToPrefs("Flag", 1);
    EXPECT_FALSE(getRegisterIsOn("Flag", false));
}

TEST_F(PrefsTest, TextsThatDoNotFitReadAsMissingAndNeverOverrun) {
    const std::string ten = "0123456789";
    saveStringToPrefs("Ten", ten);

    std::string s;
    loadStringFromPrefs("Ten", s, 11);
    EXPECT_EQ(s, ten);
    loadStringFromPrefs("Ten", s, 10);
    EXPECT_EQ(s, "");
    loadStringFromPrefs("Ten", s, 0);
    EXPECT_EQ(s, "");

    // Buffer form with guard bytes behind the size given.
    char buf[32];
    for (int maxLen : {11, 10, 5, 1}) {
        std::memset(buf, '#', sizeof buf);
        loadStringFromPrefs("Ten", buf, maxLen);
        if (maxLen > 10)
            EXPECT_STREQ(buf, ten.c_str());
        else
            EXPECT_STREQ(buf, "") << maxLen;
        for (int i = maxLen; i < static_cast<int>(sizeof buf); ++i)
            ASSERT_EQ(buf[i], '#') << "byte " << i << " written with maxLen " << maxLen;
    }
    std::memset(buf, '#', sizeof buf);
    loadStringFromPrefs("Ten", buf, 0);
    EXPECT_EQ(buf[0], '#');

    // getRegisterIsOn reads at most 127 bytes.
    saveStringToPrefs("Long", std::string(127, 'Y'));
    EXPECT_TRUE(getRegisterIsOn("Long", true));
    EXPECT_FALSE(getRegisterIsOn("Long", false));
}

TEST_F(PrefsTest, EmbeddedNulEndsKeysAndTextsLikeTheBufferForms) {
    saveStringToPrefs(std::string("Key\0tail", 8), std::string("val\0ue", 6));
    std::string s;
    loadStringFromPrefs("Key", s, 64);
    EXPECT_EQ(s, "val");
    saveStringToPrefs("", "ignored");
    saveStringToPrefs(static_cast<const char*>(nullptr), "ignored");
    platform::prefsReload();
    EXPECT_EQ(readFile(userFile).find("ignored"), std::string::npos);
}

TEST_F(PrefsTest, WritesGoThroughAtOnceAndLeaveNoTemporaryFiles) {
    for (int i = 0; i < 10; ++i) {
        saveIntToPrefs("Counter", i);
        // Written before the call returned: another reader sees it.
        platform::PrefMap onDisk;
        EXPECT_EQ(platform::parsePrefsText(readFile(userFile), onDisk), 0);
        ASSERT_EQ(onDisk.count("Counter"), 1u);
        EXPECT_EQ(onDisk["Counter"].intValue, i);
    }
    saveStringToPrefs("S", "t");
    saveBoolToPrefs("B", true);
    EXPECT_EQ(listFolder(config + "/com.ZELQ.Tavrolune"),
              (std::vector<std::string>{".preferences.lock", "preferences"}));
}

TEST_F(PrefsTest, DamagedFileLosesOnlyItsBadLines) {
    std::string text;
    text += "# written by hand\n";
    text += "s Good1=first\n";
    text += "garbage without form\n";
    text += "x Bad=unknown type\n";
    text += "s NoEquals\n";
    text += "s =empty key\n";
    text += "s BadEscape=abc\\q\n";
    text += "s BadHex=\\xZZ\n";
    text += "s CutEscape=abc\\\n";
    text += "i NotNum=12abc\n";
    text += "i TooBig=2147483648\n";
    text += "i Empty=\n";
    text += std::string("s Nul=a\0b\n", 10);
    text += "i Good2=-42\n";
    text += "s Good3=crlf\r\n";
    text += "\n";
    text += "s Binary=\xff\xfe\n";
    text += "i Good4=+7\n";
    text += "s Cut=partial valu"; // no line feed: cut off
    writeFile(userFile, text);
    platform::prefsReload();

    std::string s;
    loadStringFromPrefs("Good1", s, 127);
    EXPECT_EQ(s, "first");
    EXPECT_EQ(loadIntFromPrefs("Good2"), -42);
    loadStringFromPrefs("Good3", s, 127);
    EXPECT_EQ(s, "crlf");
    loadStringFromPrefs("Binary", s, 127);
    EXPECT_EQ(s, "\xff\xfe");
    EXPECT_EQ(loadIntFromPrefs("Good4"), 7);
    for (const char* bad : {"Bad", "NoEquals", "BadEscape", "BadHex", "CutEscape", "Nul", "Cut"}) {
        loadStringFromPrefs(bad, s, 127);
        EXPECT_EQ(s, "") << bad;
    }
    for (const char* bad : {"NotNum", "TooBig", "Empty"}) EXPECT_EQ(loadIntFromPrefs(bad), 0) << bad;
    EXPECT_EQ(platform::prefsSkippedLines(), 12);

    // The next write keeps the good entries.
    saveStringToPrefs("New", "n");
    platform::prefsReload();
    EXPECT_EQ(platform::prefsSkippedLines(), 0);
    loadStringFromPrefs("Good1", s, 127);
    EXPECT_EQ(s, "first");
    EXPECT_EQ(loadIntFromPrefs("Good2"), -42);
}

TEST_F(PrefsTest, ACutOffFileGivesOnlyWholeValues) {
    saveStringToPrefs("Alpha", "/a/long/folder/name/");
    saveIntToPrefs("Beta", 123456);
    saveStringToPrefs("Gamma", "x\\y=z");
    const std::string whole = readFile(userFile);
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        writeFile(userFile, whole.substr(0, cut));
        platform::prefsReload();
        std::string s;
        loadStringFromPrefs("Alpha", s, 127);
        EXPECT_TRUE(s.empty() || s == "/a/long/folder/name/") << cut;
        const int b = loadIntFromPrefs("Beta");
        EXPECT_TRUE(b == 0 || b == 123456) << cut;
        loadStringFromPrefs("Gamma", s, 127);
        EXPECT_TRUE(s.empty() || s == "x\\y=z") << cut;
    }
}

TEST_F(PrefsTest, RandomBytesNeverCrashTheReader) {
    std::mt19937 rng(1234);
    saveStringToPrefs("Keep", "me");
    const std::string valid = readFile(userFile);
    for (int round = 0; round < 200; ++round) {
        std::string data = valid;
        if (round % 2) {
            data.resize(rng() % 400);
            for (char& c : data) c = static_cast<char>(rng());
        } else {
            for (int k = 0; k < 4; ++k)
                data[rng() % data.size()] = static_cast<char>(rng());
        }
        writeFile(userFile, data);
        platform::prefsReload();
        std::string s;
        loadStringFromPrefs("Keep", s, 127);
        EXPECT_TRUE(s.empty() || s.size() == 2) << round;
    }
}

TEST_F(PrefsTest, MachineWideTextIsAdoptedIntoTheUsersStore) {
    writeFile(systemFile, "s Help=/usr/share/doc/manual.pdf\ns ArpDir=/usr/share/arp/\ni SysInt=5\n");
    saveStringToPrefs("ArpDir", "/mine/");

    std::string s;
    loadStringFromPrefs("Help", s, 127);
    EXPECT_EQ(s, "/usr/share/doc/manual.pdf");
    // Now in the user's own file.
    platform::PrefMap onDisk;
    platform::parsePrefsText(readFile(userFile), onDisk);
    ASSERT_EQ(onDisk.count("Help"), 1u);
    EXPECT_EQ(onDisk["Help"].text, "/usr/share/doc/manual.pdf");

    // The user's own value wins.
    loadStringFromPrefs("ArpDir", s, 127);
    EXPECT_EQ(s, "/mine/");
    // Integers are not looked up machine-wide.
    EXPECT_EQ(loadIntFromPrefs("SysInt"), 0);

    // Flags fall back as texts too.
    writeFile(systemFile, "s Animation=N\n");
    EXPECT_FALSE(getRegisterIsOn("Animation", true));
    platform::prefsUseFolders(config, {}); // no machine-wide file any more
    EXPECT_FALSE(getRegisterIsOn("Animation", true));
}

TEST_F(PrefsTest, MachineWideTextNeverReplacesAValueOfTheUsers) {
    writeFile(systemFile, "s Path=/sys/\n");
    const std::string longPath(200, 'p');
    saveStringToPrefs("Path", longPath);
    std::string s;
    // The user's value does not fit the caller's buffer: the machine-wide one is handed out,
    // but the user's own stays in the store.
    loadStringFromPrefs("Path", s, 127);
    EXPECT_EQ(s, "/sys/");
    loadStringFromPrefs("Path", s, 256);
    EXPECT_EQ(s, longPath);
    platform::prefsReload();
    loadStringFromPrefs("Path", s, 256);
    EXPECT_EQ(s, longPath);

    // An empty text of the user's counts as missing.
    saveStringToPrefs("Path", "");
    loadStringFromPrefs("Path", s, 127);
    EXPECT_EQ(s, "/sys/");
}

TEST_F(PrefsTest, ChangesByAnotherProcessAreKept) {
    saveStringToPrefs("Mine", "1");
    // Another host replaces the file with its own view plus a key of its own.
    std::string other = readFile(userFile) + "s Theirs=2\n";
    const std::string tmp = userFile + ".other";
    writeFile(tmp, other);
    ASSERT_EQ(rename(tmp.c_str(), userFile.c_str()), 0);

    // Reads come from memory: the other host's key shows once the store is read again.
    std::string s;
    loadStringFromPrefs("Theirs", s, 127);
    EXPECT_EQ(s, "");
    platform::prefsReload();
    loadStringFromPrefs("Theirs", s, 127);
    EXPECT_EQ(s, "2");

    // Replaced again, then we write: both keys survive.
    other = readFile(userFile) + "s Later=3\n";
    writeFile(tmp, other);
    ASSERT_EQ(rename(tmp.c_str(), userFile.c_str()), 0);
    saveStringToPrefs("Mine2", "4");
    platform::prefsReload();
    for (auto [k, v] : {std::pair<const char*, const char*>{"Mine", "1"}, {"Theirs", "2"},
                        {"Later", "3"}, {"Mine2", "4"}}) {
        loadStringFromPrefs(k, s, 127);
        EXPECT_EQ(s, v) << k;
    }
}

TEST_F(PrefsTest, BatchWritesOnceAtTheEnd) {
    saveIntToPrefs("Before", 1);
    const std::string before = readFile(userFile);
    {
        platform::PrefsBatch batch;
        for (int cc = 0; cc < 128; ++cc) setMIDICC(cc, cc + 100);
        EXPECT_EQ(getMIDICC(127), 227); // visible inside the batch
        EXPECT_EQ(readFile(userFile), before);
    }
    platform::prefsReload();
    for (int cc = 0; cc < 128; ++cc) ASSERT_EQ(getMIDICC(cc), cc + 100) << cc;
    EXPECT_EQ(loadIntFromPrefs("Before"), 1);
}

TEST_F(PrefsTest, UnwritableFolderFailsQuietly) {
    // The configuration root is a plain file: nothing can be created beneath it.
    const std::string blocked = dir + "/blocked";
    writeFile(blocked, "x");
    platform::prefsUseFolders(blocked, {});
    saveIntToPrefs("K", 5);
    EXPECT_EQ(loadIntFromPrefs("K"), 5); // still known for this session
    platform::prefsReload();
    EXPECT_EQ(loadIntFromPrefs("K"), 0);
}

TEST_F(PrefsTest, SeveralThreadsKeepEveryWrite) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 15; ++i) {
                saveIntToPrefs("T" + std::to_string(t) + "_" + std::to_string(i), t * 100 + i);
                loadIntFromPrefs("T0_0");
                getRegisterIsOn("Whatever", true);
            }
        });
    }
    for (auto& th : threads) th.join();
    platform::prefsReload();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(loadIntFromPrefs("T" + std::to_string(t) + "_" + std::to_string(i)), t * 100 + i);
}

TEST_F(PrefsTest, AFileThatCannotBeUsedIsNeverReplaced) {
    // Each works as root too, which reads a file whatever its mode.
    struct Case {
        const char* name;
        void (*make)(const std::string& path);
    };
    const Case cases[] = {
        {"another format", [](const std::string& p) { writeFile(p, "<plist>\n<dict/>\n</plist>\n"); }},
        {"a folder", [](const std::string& p) { makeDirectory(p + "/inside"); }},
        {"a FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
        {"too large", [](const std::string& p) { writeFile(p, "s A=1\n"); ASSERT_EQ(::truncate(p.c_str(), 17 << 20), 0); }},
        {"unreadable", [](const std::string& p) { writeFile(p, "s A=1\n"); ::chmod(p.c_str(), 0); }},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) == "unreadable" && ::geteuid() == 0) continue;
        const std::string root = dir + "/" + c.name;
        const std::string file = root + "/com.ZELQ.Tavrolune/preferences";
        makeDirectory(root + "/com.ZELQ.Tavrolune");
        c.make(file);
        struct stat before, after;
        ASSERT_EQ(::lstat(file.c_str(), &before), 0) << c.name;
        ::testing::internal::CaptureStderr();
        platform::prefsUseFolders(root, {});
        saveIntToPrefs("Mine", 1);
        saveStringToPrefs("Folder", "/x/");
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(loadIntFromPrefs("Mine"), 1) << c.name << ": kept in memory";
        ASSERT_EQ(::lstat(file.c_str(), &after), 0) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        EXPECT_EQ(after.st_size, before.st_size) << c.name;
        std::size_t says = 0;
        for (std::size_t at = told.find(file); at != std::string::npos; at = told.find(file, at + 1)) ++says;
        EXPECT_EQ(says, 1u) << c.name << ": " << told;
    }
}

TEST_F(PrefsTest, ALinkedFileStaysALinkAndItsTargetIsWritten) {
    makeDirectory(config + "/com.ZELQ.Tavrolune");
    makeDirectory(dir + "/dotfiles");
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
        platform::PrefMap onDisk;
        platform::parsePrefsText(readFile(real), onDisk);
        EXPECT_EQ(onDisk["Old"].text, "kept") << target;
        EXPECT_EQ(onDisk["New"].intValue, 7) << target;
    }
}

TEST_F(PrefsTest, TwoProcessesWritingAtOnceKeepEveryKey) {
    saveIntToPrefs("Seed", 1);
    constexpr int kKeys = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int i = 0; i < kKeys; ++i) saveIntToPrefs("P" + std::to_string(c) + "_" + std::to_string(i), i + 1);
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    platform::prefsReload();
    EXPECT_EQ(loadIntFromPrefs("Seed"), 1);
    int lost = 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kKeys; ++i) lost += loadIntFromPrefs("P" + std::to_string(c) + "_" + std::to_string(i)) != i + 1;
    EXPECT_EQ(lost, 0);
}

} // namespace
