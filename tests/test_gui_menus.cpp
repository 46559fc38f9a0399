// Pop-up menus through the scripted presenter: entries, separators, greyed and checked
// entries, submenus, choices, refusals and dismissals, and the editor's command-menu routine.
#include <gtest/gtest.h>

#include "gui_support/GuiTestKit.h"

using namespace guitest;

namespace {

const CRect kFrameRect(0, 0, 300, 200);

// A command menu as the editor's menus build it: a greyed title, commands, a separator, a
// submenu of commands and one of greyed help lines, a greyed "Undo".
COptionMenu* commandMenu() {
    auto* menu = new COptionMenu(CRect(0, 0, 16, 16), nullptr, 9999, nullptr, nullptr, kPopupStyle | kNoDrawStyle);
    menu->addEntry("-GLFO Command Menu");
    menu->addEntry("Reset LFO");
    menu->addEntry("-");
    auto* waves = new COptionMenu(CRect(0, 0, 16, 16), nullptr, 9999, nullptr, nullptr, kPopupStyle | kNoDrawStyle);
    waves->addEntry("Set LFO 1 to Sine");
    waves->addEntry("-GSet LFO 1 to Noise");
    waves->addEntry("Set LFO 1 to Saw");
    menu->addEntry(waves, "Waves");
    waves->forget();
    auto* help = new COptionMenu();
    help->addEntry("-GLeft Click: Change Value");
    menu->addEntry(help, "LFO Information");
    help->forget();
    menu->addEntry("-48");
    menu->addEntry("-GUndo");
    return menu;
}

} // namespace

TEST(GuiMenus, EntryConventions) {
    auto* menu = commandMenu();
    ASSERT_EQ(menu->getNbEntries(), 7);
    EXPECT_FALSE(menu->getEntry(0)->isEnabled());
    EXPECT_EQ(menu->getEntry(0)->getTitle(), "LFO Command Menu"); // shown without "-G"
    EXPECT_TRUE(menu->getEntry(2)->isSeparator());
    EXPECT_TRUE(menu->getEntry(5)->isEnabled()); // "-48" is an ordinary entry
    EXPECT_EQ(menu->getEntry(5)->getTitle(), "-48");
    EXPECT_NE(menu->getSubMenu(3), nullptr);
    EXPECT_EQ(menu->getSubMenu(1), nullptr);
    EXPECT_EQ(menu->getEntry(99), nullptr);
    menu->checkEntry(1, true);
    EXPECT_TRUE(menu->isCheckEntry(1));
    menu->checkEntryAlone(5);
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->isCheckEntry(5));
    EXPECT_EQ(ScriptedMenuPresenter::describe(menu),
              (std::vector<std::string>{"(grey) LFO Command Menu", "Reset LFO", "-----", "Waves >",
                                        "  Set LFO 1 to Sine", "  (grey) Set LFO 1 to Noise", "  Set LFO 1 to Saw",
                                        "LFO Information >", "  (grey) Left Click: Change Value", "[x] -48",
                                        "(grey) Undo"}));
    EXPECT_TRUE(menu->removeEntry(0));
    EXPECT_EQ(menu->getNbEntries(), 6);
    menu->removeAllEntry();
    EXPECT_EQ(menu->getNbEntries(), 0);
    EXPECT_EQ(menu->getCurrent(), -1);
    menu->forget();
}

TEST(GuiMenus, ChoosingATopEntry) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    auto* menu = new COptionMenu(CRect(20, 30, 120, 50), &l, 12);
    for (const char* t : {"Low", "-", "Band", "High"}) menu->addEntry(t);
    f->addView(menu);
    presenter.choose({"High"});
    EXPECT_TRUE(menu->popup());
    EXPECT_EQ(menu->getCurrent(), 3);
    EXPECT_EQ(menu->getCurrentIndex(false), 2); // the separator not counted
    EXPECT_EQ(menu->getValue(), 3.f);
    EXPECT_EQ(menu->getCurrentTitle(), "High");
    char text[64];
    EXPECT_EQ(menu->getCurrent(text, false), 2);
    EXPECT_STREQ(text, "High");
    char tiny[3];
    menu->getCurrent(tiny);
    EXPECT_STREQ(tiny, "Hi"); // cut to fit, ended by a zero
    int32_t idx = -1;
    EXPECT_EQ(menu->getLastItemMenu(idx), menu);
    EXPECT_EQ(idx, 3);
    EXPECT_EQ(l.changes, (std::vector<float>{3.f}));
    ASSERT_EQ(presenter.transcript().size(), 1u);
    EXPECT_EQ(presenter.transcript()[0].where, CPoint(20, 50)); // below the menu without kPopupStyle
    EXPECT_TRUE(presenter.transcript()[0].chosen);
    // The value can also be set directly; indexes that name no entry are ignored.
    menu->setCurrent(0, false);
    EXPECT_EQ(menu->getCurrentTitle(), "Low");
    menu->setCurrent(2, false);
    EXPECT_EQ(menu->getCurrentTitle(), "High");
    menu->setValue(17);
    EXPECT_EQ(menu->getCurrent(), 3);
}

TEST(GuiMenus, AChoiceInsideASubmenuIsReportedByGetLastItemMenu) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    auto* menu = commandMenu();
    f->addView(menu);
    presenter.choose({"Waves", "Set LFO 1 to Saw"});
    ASSERT_TRUE(menu->popup());
    int32_t idx = -1;
    COptionMenu* last = menu->getLastItemMenu(idx);
    ASSERT_EQ(last, menu->getSubMenu(3));
    EXPECT_EQ(idx, 2);
    EXPECT_EQ(last->getCurrentTitle(), "Set LFO 1 to Saw");
    EXPECT_EQ(last->getCurrent(), 2);
    EXPECT_EQ(menu->getCurrent(), 0); // the top menu's own entry is unchanged
    f->removeView(menu, true);
}

TEST(GuiMenus, SeparatorsGreyedEntriesAndSubmenuTitlesCannotBeChosen) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    auto* menu = commandMenu();
    menu->setListener(&l);
    menu->setValue(1);
    f->addView(menu);
    const std::vector<std::vector<std::string>> refused = {
        {"LFO Command Menu"},              // greyed title
        {"Undo"},                          // greyed command
        {""},                              // the separator has no title to name
        {"Waves"},                         // a submenu's own entry
        {"Waves", "Set LFO 1 to Noise"},   // greyed inside a submenu
        {"LFO Information", "Left Click: Change Value"},
        {"Reset LFO", "Anything"},         // no submenu there
        {"Nothing Like This"},
    };
    for (const auto& path : refused) {
        presenter.choose(path);
        EXPECT_FALSE(menu->popup()) << path.back();
        int32_t idx = 0;
        EXPECT_EQ(menu->getLastItemMenu(idx), nullptr);
        EXPECT_EQ(idx, -1);
        EXPECT_EQ(menu->getCurrent(), 1); // unchanged
    }
    EXPECT_TRUE(l.changes.empty());
    for (const auto& rec : presenter.transcript()) {
        EXPECT_FALSE(rec.chosen);
        EXPECT_FALSE(rec.refusal.empty());
    }
    f->removeView(menu, true);
}

TEST(GuiMenus, DismissalChangesNothing) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    RecordingListener l;
    auto* menu = new COptionMenu(CRect(0, 0, 50, 20), &l, 3, nullptr, nullptr, kPopupStyle);
    menu->addEntry("A");
    menu->addEntry("B");
    f->addView(menu);
    presenter.choose({"B"});
    ASSERT_TRUE(menu->popup());
    presenter.dismiss();
    EXPECT_FALSE(menu->popup());
    EXPECT_FALSE(menu->popup()); // an empty script dismisses too
    EXPECT_EQ(menu->getCurrentTitle(), "B");
    int32_t idx = 0;
    EXPECT_EQ(menu->getLastItemMenu(idx), nullptr);
    EXPECT_EQ(l.changes.size(), 1u);
    EXPECT_EQ(presenter.transcript().back().where, CPoint(0, 0)); // kPopupStyle: at its corner
}

TEST(GuiMenus, WithoutAPresenterAnOffscreenFrameDismissesAndAMenuOutsideAFrameDoesNotPopUp) {
    GuiStateGuard state;
    OffscreenFrame f(kFrameRect);
    auto* menu = new COptionMenu(CRect(0, 0, 50, 20), nullptr, 3);
    menu->addEntry("A");
    EXPECT_FALSE(menu->popup()); // in no frame
    f->addView(menu);
    EXPECT_FALSE(menu->popup()); // the off-screen frame's own presenter dismisses at once
}

TEST(GuiMenus, AClickOnAnOptionMenuPopsItUpAndTheChoiceReachesTheListener) {
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    RecordingEditor editor;
    OffscreenFrame f(kFrameRect, &editor);
    RecordingListener l;
    auto* menu = new COptionMenu(CRect(10, 10, 110, 30), &l, 6);
    menu->addEntry("Sine");
    menu->addEntry("Saw");
    f->addView(menu);
    presenter.choose({"Saw"});
    f.click(CPoint(20, 20), kRButton | kShift);
    EXPECT_EQ(menu->getLastButton()(), kRButton | kShift);
    EXPECT_EQ(menu->getCurrentTitle(), "Saw");
    EXPECT_EQ(l.changes, (std::vector<float>{1.f}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 6", "end 6"}));
    // It draws the current entry's title.
    menu->setFontColor(kWhiteCColor);
    menu->setBackColor(kBlackCColor);
    OffscreenRenderer r(f.get());
    r.renderAll();
    int lit = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 110; ++x) lit += r.getPixel(x, y).red > 128;
    EXPECT_GT(lit, 10);
    menu->setStyle(kNoDrawStyle);
    r.renderAll();
    EXPECT_EQ(r.getPixel(60, 20), kBlackCColor);
}

TEST(GuiMenus, TheEditorsCommandMenuRoutine) {
    // Create at the mouse, add to the frame, pop up, take the focus away, read the choice by
    // its text, release with removeView(menu, true).
    GuiStateGuard state;
    ScriptedMenuPresenter presenter;
    setMenuPresenter(&presenter);
    OffscreenFrame f(kFrameRect);
    const int64_t before = CBaseObject::liveObjects();
    f->platformOnMouseMoved(CPoint(150, 90), 0);
    CPoint p;
    ASSERT_TRUE(f->getCurrentMouseLocation(p));
    EXPECT_EQ(p, CPoint(150, 90));
    for (const bool choose : {true, false}) {
        auto* menu = commandMenu();
        menu->setViewSize(CRect(p.x - 8, p.y - 8, p.x + 8, p.y + 8));
        f->addView(menu);
        if (choose)
            presenter.choose({"Waves", "Set LFO 1 to Sine"});
        else
            presenter.dismiss();
        const bool chosen = menu->popup();
        f->looseFocus();
        char text[256];
        menu->getCurrent(text, false);
        int32_t idx = -1;
        COptionMenu* last = menu->getLastItemMenu(idx);
        std::string subText = last ? last->getCurrentTitle() : "";
        EXPECT_EQ(chosen, choose);
        EXPECT_EQ(subText, choose ? "Set LFO 1 to Sine" : "");
        EXPECT_EQ(presenter.transcript().back().where, CPoint(142, 82));
        f->removeView(menu, true);
        f->setDirty(true);
        f->invalidRect(f->getViewSize());
        f->setDirty(false);
    }
    EXPECT_EQ(CBaseObject::liveObjects(), before);
}
