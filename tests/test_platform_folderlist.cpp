// One-level folder listings for the browser menus: folders or files only, sorted without
// regard to case (shorter first on a tie), hidden and backup names skipped, links followed.
#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/folderlist.h"
#include "support/TestFiles.h"

using platform::FolderEntryKind;
using platform::listFolderEntries;

TEST(FolderList, ListsOneKindOneLevelSortedWithoutHiddenNames) {
    const std::string root = testfiles::makeScratchFolder("folderlist");
    ASSERT_FALSE(root.empty());
    for (const char* f : {"b.arp", "A.arp", "c", ".hidden.arp", "~backup.arp", "sub/deep.arp"})
        testfiles::writeFile(root + "/" + f, "x");
    for (const char* d : {"Zeta/x", "alpha/x", "Alpha2/x", ".git/x", "~old/x"}) testfiles::writeFile(root + "/" + d, "");
    ASSERT_EQ(::symlink((root + "/Zeta").c_str(), (root + "/linked").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/b.arp").c_str(), (root + "/link.arp").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/nothing").c_str(), (root + "/dangling").c_str()), 0);

    EXPECT_EQ(listFolderEntries(root, FolderEntryKind::Files),
              (std::vector<std::string>{"A.arp", "b.arp", "c", "link.arp"}));
    EXPECT_EQ(listFolderEntries(root + "/", FolderEntryKind::Folders),
              (std::vector<std::string>{"alpha", "Alpha2", "linked", "sub", "Zeta"}));
    EXPECT_TRUE(listFolderEntries(root + "/missing", FolderEntryKind::Files).empty());
    EXPECT_TRUE(listFolderEntries("", FolderEntryKind::Folders).empty());
}

TEST(FolderList, TheOrderIgnoresCaseAndPutsTheShorterNameFirst) {
    EXPECT_TRUE(platform::namesOrderedUpper("arp", "Bass"));
    EXPECT_TRUE(platform::namesOrderedUpper("Bass", "Lead"));
    EXPECT_FALSE(platform::namesOrderedUpper("Lead", "arp"));
    EXPECT_TRUE(platform::namesOrderedUpper("Bass", "bass2"));
    EXPECT_FALSE(platform::namesOrderedUpper("bass", "BASS"));
    EXPECT_FALSE(platform::namesOrderedUpper("BASS", "bass"));
    // '_' lies between the upper and the lower case letters: the upper case form decides.
    EXPECT_TRUE(platform::namesOrderedUpper("ba", "b_x"));
    EXPECT_FALSE(platform::namesOrderedUpper("b_x", "ba"));
}
