// Text and path helpers: the rules for names, folders and typed numbers, on buffers and on
// std::string alike, and never a byte written past the caller's buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "platform/platform.h"

namespace {

// A buffer with guard bytes behind the part handed out.
template <int Size>
struct Guarded {
    static constexpr int kGuard = 16;
    char bytes[Size + kGuard];
    Guarded() { std::memset(bytes, '#', sizeof bytes); }
    char* data() { return bytes; }
    int size() const { return Size; }
    bool guardsIntact() const {
        for (int i = Size; i < Size + kGuard; ++i)
            if (bytes[i] != '#') return false;
        return true;
    }
};

using Cases = std::initializer_list<std::pair<const char*, const char*>>;

// Each case's input handed to `call` with a buffer of kTextBufSize leaves the expected text
// in the buffer. The buffer starts as a copy of the input, so the call may work in place.
template <typename Call>
void expectWritten(Call call, Cases cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "input \"" << c.first << "\"");
        char out[kTextBufSize];
        std::snprintf(out, sizeof out, "%s", c.first);
        call(c.first, out);
        EXPECT_STREQ(out, c.second);
    }
}

TEST(PlatformText, UpperAndLowerCase) {
    char host[] = "Some Host 5.1";
    upperCase(host);
    EXPECT_STREQ(host, "SOME HOST 5.1");
    char empty[] = "";
    upperCase(empty);
    EXPECT_STREQ(empty, "");
    upperCase(static_cast<char*>(nullptr));
    // Bytes above 127 pass through untouched (no sign trouble with toupper).
    char high[] = "a\xe9z";
    upperCase(high);
    EXPECT_STREQ(high, "A\xe9Z");
    // Longer than the usual buffers: changed in place, no limit.
    std::string longText(600, 'q');
    std::vector<char> buf(longText.begin(), longText.end());
    buf.push_back(0);
    upperCase(buf.data());
    EXPECT_EQ(std::string(buf.data()), std::string(600, 'Q'));

    std::string s = "MiXeD";
    upperCase(s);
    EXPECT_EQ(s, "MIXED");
    lowerCase(s);
    EXPECT_EQ(s, "mixed");
    char c[] = "ABC";
    lowerCase(c);
    EXPECT_STREQ(c, "abc");
}

TEST(PlatformText, StripAllButNumKeepsDigitsSignsAndDotsInOrder) {
    expectWritten([](const char*, char* text) { stripAllButNum(text); },
                  {{"f = -12.5e3 Hz +x", "-12.53+"}, {"abc", ""}, {"", ""}});

    std::string s = "1.0 ratio";
    stripAllButNum(s);
    EXPECT_EQ(s, "1.0");
    s = "";
    stripAllButNum(s);
    EXPECT_EQ(s, "");
}

TEST(PlatformText, SafeNames) {
    EXPECT_EQ(safeNameToSaveStr("  a:b?"), "a-b ");
    EXPECT_EQ(safeNameToSaveStr("x\\/\"*|<>?y"), "x        y");
    EXPECT_EQ(safeNameToSaveStr("abcdefghijklmnopqrstuvwxyz"), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(safeNameToSaveStr("caf\xc3\xa9 bar"), "caf");
    EXPECT_EQ(safeNameToSaveStr("tab\there"), "tab");
    EXPECT_EQ(safeNameToSaveStr("    "), "");
    // The 24 characters are counted before leading blanks are dropped.
    EXPECT_EQ(safeNameToSaveStr(std::string(20, ' ') + "abcdefgh"), "abcd");

    Guarded<8> g;
    safeNameToSaveStr("  a:b?cdefghij", g.data(), g.size());
    EXPECT_STREQ(g.data(), "a-b cde");
    EXPECT_TRUE(g.guardsIntact());

    char host[] = "A very long host product name\x01tail";
    safename(host);
    EXPECT_STREQ(host, "A very long host product");
    char ctl[] = "ab\x7f\x80x";
    safename(ctl);
    EXPECT_STREQ(ctl, "ab\x7f");

    EXPECT_EQ(validChar('a'), 'a');
    EXPECT_EQ(validChar(':'), '-');
    for (char c : std::string("?|<>\\/\"*")) EXPECT_EQ(validChar(c), ' ') << c;
    EXPECT_EQ(validChar('\x1f'), 0);
    EXPECT_EQ(validChar('\x80'), 0);
    EXPECT_EQ(validChar('\x7f'), '\x7f');
}

TEST(PlatformText, TrimCompareAndNumbers) {
    expectWritten([](const char*, char* text) { trim(text); }, {{"  a\x01" "b\x7f  ", "ab"}});
    expectWritten([](const char*, char* text) { ltrim(text); }, {{"  x ", "x "}});
    expectWritten([](const char*, char* text) { rtrim(text); }, {{"x ", "x"}});
    std::string s = " \t pad \n";
    ltrim(s);
    EXPECT_EQ(s, "pad \n");
    rtrim(s);
    EXPECT_EQ(s, "pad");
    s = "  both  ";
    trim(s);
    EXPECT_EQ(s, "both");

    EXPECT_TRUE(stringCompareIgnoreCase("Bass", "bASS"));
    EXPECT_FALSE(stringCompareIgnoreCase("Bass", "Bas"));
    EXPECT_TRUE(stringCompareIgnoreCase(std::string("Lead"), std::string("LEAD")));
    EXPECT_TRUE(stringCompareIgnoreCase(std::string("Lead"), "lead"));
    EXPECT_FALSE(compareStringIgnoreCase("Lead", "Leaf"));

    EXPECT_EQ(floatString(1.5f, 2), "1.50");
    EXPECT_EQ(floatString(-0.125f, 3), "-0.125");
    char num[12];
    EXPECT_STREQ(itoa(-2147483647 - 1, num, 16), "-2147483648");
    EXPECT_STREQ(itoa(42, num, 10), "42");
}

TEST(PlatformPaths, FileNamesComeFromTheLastComponent) {
    expectWritten([](const char* path, char* out) { getFileNameNoExtension(path, out); },
                  {{"/x/Arp/Bass/Walk.arp", "Walk"},
                   {"/x/file.tar.gz", "file.tar"},
                   {"/a/b.c/file", "file"},  // a dot in a folder name does not cut the path
                   {"/home/u/.local/share/Tuning/just", "just"},
                   {"C:\\tun\\scale.tun", "scale"},
                   {"name.txt", ""}});
    expectWritten([](const char* path, char* out) { getFileNameOnly(path, out, false); },
                  {{"/t/Tuning/scale.tun", "scale.tun"}});
    expectWritten([](const char* path, char* out) { getFileNameOnly(path, out, true); },
                  {{"/t/Tuning/scale.tun", "scale"}});
    EXPECT_EQ(getFileNameOnlyStr("/t/scale.tun", false), "scale.tun");
    EXPECT_EQ(getFileNameOnlyStr("/t/scale.tun", true), "scale");
    EXPECT_EQ(getFileNameOnlyStr("scale.tun", true), "");

    // At most 254 characters, and never more than the buffer takes.
    const std::string longName = "/f/" + std::string(300, 'n') + ".ext";
    Guarded<kTextBufSize> g;
    getFileNameNoExtension(longName.c_str(), g.data(), g.size());
    EXPECT_EQ(std::strlen(g.data()), 254u);
    EXPECT_TRUE(g.guardsIntact());
    Guarded<10> small;
    getFileNameOnly("/f/abcdefghijklmnop.x", small.data(), true, small.size());
    EXPECT_STREQ(small.data(), "abcdefghi");
    EXPECT_TRUE(small.guardsIntact());

    EXPECT_EQ(getFileNameNoExtensionStr("Walk.arp.bak"), "Walk");
    EXPECT_EQ(getFileNameNoExtensionStr("Walk"), "Walk");
    EXPECT_EQ(getFileNameNoExtensionStr("/f/Walk.arp"), "/f/Walk");
}

TEST(PlatformPaths, FoldersOfPaths) {
    expectWritten([](const char* path, char* out) { getFileDriveDir(path, out); },
                  {{"/x/Arp/Bass/Walk.arp", "/x/Arp/Bass"},
                   {"/a/b.c/file", "/a/b.c"},
                   {"dir\\file.x", "dir"},
                   {"file.x", ""}});
    EXPECT_EQ(getFileDriveDirStr("/home/u/.local/share/a/b"), "/home/u/.local/share/a");

    // A folder that does not fit comes back empty, not cut.
    Guarded<8> g;
    getFileDriveDir("/abcdefghij/x", g.data(), g.size());
    EXPECT_STREQ(g.data(), "");
    EXPECT_TRUE(g.guardsIntact());

    EXPECT_EQ(getFolderNameOnlyStr("/x/Arp/Bass/Walk.arp", "/x/Arp/"), "Bass");
    EXPECT_EQ(getFolderNameOnlyStr("/x/Arp/Bass/Deep/Walk.arp", "/x/Arp/"), "Bass/Deep");
    EXPECT_EQ(getFolderNameOnlyStr("/x/Arp/Walk.arp", "/x/Arp/"), "");
    EXPECT_EQ(getFolderNameOnlyStr("/x/Arp/", "/x/Arp/"), "");
    EXPECT_EQ(getFolderNameOnlyStr("/x/Arp/Bass/Walk.arp", "/x/Arp"), "Bass");
    EXPECT_EQ(getFolderNameOnlyStr("", "/x/Arp/"), "");
}

TEST(PlatformPaths, BuildingPaths) {
    EXPECT_EQ(getFullPathForFileNameStr("/x/Arp/", "Bass", "My:Walk?", ".arp"), "/x/Arp/Bass/My-Walk .arp");
    EXPECT_EQ(getFullPathForFileNameStr("/x/Arp", "Bass/", "Walk", ".arp"), "/x/Arp/Bass/Walk.arp");
    EXPECT_EQ(getFullPathForFileNameStr("/x/Arp/", "Root Folder", "Walk", ".arp"), "/x/Arp/Walk.arp");
    EXPECT_EQ(getFullPathForFileNameStr("/x/Arp", "", "Walk", ".arp"), "/x/Arp/Walk.arp");
    EXPECT_EQ(getFullPathForFileNameStr("/x/", "s", "  a/b", ".lyr"), "/x/s/a b.lyr");
    EXPECT_EQ(getFullPathForFolderStr("/x/Arp", "Bass"), "/x/Arp/Bass/");
    EXPECT_EQ(getFullPathForFolderStr("/x/Arp", "Root Folder"), "/x/Arp/");
    EXPECT_EQ(getSaveName("a:b", ".crd"), "a-b.crd");

    char out[kTextBufSize];
    getFullPathForFileNameStr("/x", "Root Folder", "Walk", ".arp", out);
    EXPECT_STREQ(out, "/x/Walk.arp");
    Guarded<12> g;
    getFullPathForFileNameStr("/x/Arp", "Bass", "Walk", ".arp", g.data(), g.size());
    EXPECT_STREQ(g.data(), "");
    EXPECT_TRUE(g.guardsIntact());
    Guarded<20> g2;
    getSaveName("Walk", ".arp", g2.data(), g2.size());
    EXPECT_STREQ(g2.data(), "Walk.arp");
    EXPECT_TRUE(g2.guardsIntact());

    EXPECT_EQ(CombineName("/a", "b.txt"), "/a/b.txt");
    EXPECT_EQ(CombineName("/a/", "b.txt"), "/a/b.txt");
    std::string folder, name;
    SplitName("/a/b/c.txt", folder, name);
    EXPECT_EQ(folder, "/a/b");
    EXPECT_EQ(name, "c.txt");
    SplitName("plain", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "plain");
    char f[8], n[8];
    SplitName("/abcdefghij/k", f, n, 8);
    EXPECT_STREQ(f, "");
    EXPECT_STREQ(n, "k");
}

TEST(PlatformPaths, ExtensionsAndSmallHelpers) {
    EXPECT_EQ(getFileNameExtensionsStr("/a/b.c/file"), "");
    EXPECT_EQ(getFileNameExtensionsStr("/a/file.arp"), ".arp");
    EXPECT_EQ(GetFilePathNoExtensionStr("/a/b.c/file.arp"), "/a/b.c/file");
    EXPECT_EQ(replaceExtension(std::string("/a/file.arp"), std::string(".~fx")), "/a/file.~fx");
    EXPECT_EQ(replaceExtension(std::string("/a.b/file"), std::string(".txt")), "/a.b/file.txt");
    EXPECT_EQ(getNameNoExtensionStr("Walk.arp"), "Walk");

    std::string p = "/a/b/";
    removeEndSlash(p);
    EXPECT_EQ(p, "/a/b");
    removeEndSlash(p);
    EXPECT_EQ(p, "/a/b");
    char c[] = "/a//b///c..d";
    removeDoubleSlash(c);
    EXPECT_STREQ(c, "/a/b/c..d");
    removeDoubleDot(c);
    EXPECT_STREQ(c, "/a/b/c.d");

    EXPECT_EQ(setThreeCharName(0, "Init"), "001 Init");
    EXPECT_EQ(setThreeCharName(41, "Pad"), "042 Pad");
    EXPECT_EQ(getThreeCharName("042 Pad"), "Pad");
    EXPECT_EQ(getThreeCharName("Pad"), "Pad");
    EXPECT_EQ(removeSub("/x/Arp", "/x/Arp/Bass"), "Bass");
    EXPECT_EQ(removeSub("/x/Arp/Bass", "/x/Arp"), "");
}

} // namespace
