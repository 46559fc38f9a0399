// Shared bench of the section menu tests: an open editor without page views, the scripted
// menu presenter, scripted dialogs and file selections, and the recording host.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/uEditor.h"
#include "gui_support/GuiTestKit.h"
#include "platform/dialogs.h"
#include "platform/fileselect.h"
#include "support/PluginHarness.h"

namespace menutest {

class BareEditor : public uEditor {
public:
    using uEditor::uEditor;
    void createMainScreenControls() override {}
    void createEasyScreenControls() override {}
    void createBackScreen() override {}
    void selectChord(int c) { selectedChord = c; }
};

struct Bench {
    Bench() {
        std::string p = TAV_PLUGIN_PATH;
        VSTGUI::CBitmap::setResourceFolder(p.substr(0, p.rfind('/')) + "/Tavrolune.resources");
        delete h->getEditor();
        ed = new BareEditor(&h.plugin());
        setMenuPresenter(&menus);
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::fileSelectScriptClear();
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
    }
    ~Bench() { h.dispatch(effEditClose); }
    APlugin& p() { return h.plugin(); }
    float get(int tag) { return h->getParameter(tag); }
    void set(int tag, float v) { h->setParameter(tag, v); }
    bool shows(const std::string& line) {
        const auto& l = menus.transcript().back().lines;
        return std::find(l.begin(), l.end(), line) != l.end();
    }
    // Tags the host heard of since the last clear.
    std::vector<int> heard() {
        std::vector<int> tags;
        for (const auto& a : h.host().automated) tags.push_back(a.first);
        return tags;
    }
    bool heardOf(int tag) {
        const std::vector<int> t = heard();
        return std::find(t.begin(), t.end(), tag) != t.end();
    }
    guitest::GuiStateGuard guard;
    PluginHarness h;
    VSTGUI::ScriptedMenuPresenter menus;
    BareEditor* ed = nullptr;
};

}  // namespace menutest
