// CNewFileSelector and CFileExtension over the platform's file selection.
#include <gtest/gtest.h>

#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"

using namespace guitest;

namespace {

class GuiFileSelectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::fileSelectScriptClear();
        platform::fileSelectTranscriptClear();
    }
    void TearDown() override {
        platform::fileSelectScriptClear();
        platform::dialogSetMode(platform::DialogMode::Automatic);
    }
};

} // namespace

TEST_F(GuiFileSelectorTest, LoadWithExtensionsAndTheDefaultOne) {
    GuiStateGuard state;
    const int64_t before = CBaseObject::liveObjects();
    CNewFileSelector* sel = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    ASSERT_NE(sel, nullptr);
    sel->setTitle("Load Preset");
    sel->setInitialDirectory("/presets");
    sel->addFileExtension(CFileExtension("arp", "arp"));
    sel->setDefaultExtension(CFileExtension("lyr", "lyr")); // added, and shown first
    sel->setDefaultExtension(CFileExtension("arp", "arp")); // already listed: only chosen
    EXPECT_EQ(sel->getFileExtensions().size(), 2u);
    ASSERT_NE(sel->getDefaultExtension(), nullptr);
    EXPECT_EQ(sel->getDefaultExtension()->getExtension(), "arp");
    platform::fileSelectScriptChoose("/presets/a.arp");
    EXPECT_TRUE(sel->runModal());
    ASSERT_EQ(sel->getNumSelectedFiles(), 1u);
    EXPECT_STREQ(sel->getSelectedFile(0), "/presets/a.arp");
    EXPECT_EQ(sel->getSelectedFile(1), nullptr);
    const auto t = platform::fileSelectTranscript();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].request.kind, platform::FileSelectKind::Load);
    EXPECT_EQ(t[0].request.title, "Load Preset");
    EXPECT_EQ(t[0].request.initialDir, "/presets");
    ASSERT_EQ(t[0].request.filters.size(), 2u);
    EXPECT_EQ(t[0].request.defaultFilter, 0);
    // Cancelled: nothing selected any more.
    platform::fileSelectScriptCancel();
    EXPECT_FALSE(sel->runModal());
    EXPECT_EQ(sel->getNumSelectedFiles(), 0u);
    sel->forget();
    EXPECT_EQ(CBaseObject::liveObjects(), before);
}

TEST_F(GuiFileSelectorTest, SaveFolderAndMultipleSelections) {
    GuiStateGuard state;
    CNewFileSelector* save = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    save->setDefaultSaveName("*.ecs");
    platform::fileSelectScriptChoose("/maps/new.ecs");
    bool called = false;
    EXPECT_TRUE(save->run([&](CNewFileSelector* s) {
        called = true;
        EXPECT_EQ(s->getNumSelectedFiles(), 1u);
    }));
    EXPECT_TRUE(called);
    EXPECT_EQ(platform::fileSelectTranscript().back().request.kind, platform::FileSelectKind::Save);
    EXPECT_EQ(platform::fileSelectTranscript().back().request.defaultName, "*.ecs");
    save->forget();

    CNewFileSelector* dir = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectDirectory);
    platform::fileSelectScriptChoose("/some/folder");
    EXPECT_TRUE(dir->runModal());
    EXPECT_EQ(platform::fileSelectTranscript().back().request.kind, platform::FileSelectKind::Folder);
    dir->forget();

    CNewFileSelector* many = CNewFileSelector::create();
    many->setAllowMultiFileSelection(true);
    platform::fileSelectScriptChooseMany({"/a/1.tun", "/a/2.tun"});
    EXPECT_TRUE(many->runModal());
    EXPECT_EQ(many->getNumSelectedFiles(), 2u);
    EXPECT_STREQ(many->getSelectedFile(1), "/a/2.tun");
    many->forget();
}

TEST_F(GuiFileSelectorTest, ExtensionsCompareByTheirType) {
    CFileExtension a("Tuning file", "tun");
    CFileExtension b("tun", "tun");
    CFileExtension c("tun", "tun", "text/plain");
    EXPECT_TRUE(a == b); // the description does not count
    EXPECT_FALSE(a == c);
    CFileExtension copy(c);
    EXPECT_EQ(copy.getMimeType(), "text/plain");
    EXPECT_EQ(copy.getDescription(), "tun");
    EXPECT_EQ(copy.getMacType(), 0);
}
