// Who shows a pop-up menu and lets the user choose from it.
//
// COptionMenu::popup() asks the presenter installed with setMenuPresenter() when there is one,
// else its frame's own: the X11 presenter for a frame in a window (cairo pop-ups in
// override-redirect windows with a pointer grab, cascading submenus, keyboard navigation and
// Escape), and one that dismisses at once for an off-screen frame. Tests install a
// ScriptedMenuPresenter and choose entries by their path of titles.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "gui/GuiTypes.h"

namespace VSTGUI {

class CFrame;
class COptionMenu;

struct MenuPopupResult {
    COptionMenu* menu = nullptr; // the menu (the top one or a submenu) that held the choice
    int32_t index = -1;          // the entry's index in that menu; -1 = dismissed
};

class IMenuPresenter {
public:
    virtual ~IMenuPresenter() = default;
    // Shows `menu` with its top-left corner at `where` (frame coordinates) and returns when
    // the user has chosen an entry or dismissed the menu.
    virtual MenuPopupResult popupMenu(COptionMenu* menu, CFrame* frame, const CPoint& where) = 0;
};

// Installs a presenter for every pop-up of the process (null: each frame's own). The caller
// keeps ownership.
void setMenuPresenter(IMenuPresenter* presenter);
IMenuPresenter* getMenuPresenterOverride();

// Dismisses every menu at once.
class DismissingMenuPresenter : public IMenuPresenter {
public:
    MenuPopupResult popupMenu(COptionMenu*, CFrame*, const CPoint&) override { return MenuPopupResult(); }
};

// Answers pop-ups from a script: each pop-up takes the next answer, a path of entry titles
// (as shown, without "-G") from the top menu down through submenus, or a dismissal. An empty
// script dismisses. A path that does not end on an entry that can be chosen (a separator, a
// greyed entry, a submenu's own title, a missing title) is refused: the menu is dismissed and
// the refusal recorded.
class ScriptedMenuPresenter : public IMenuPresenter {
public:
    struct Record {
        std::vector<std::string> lines;     // the menu as shown (see describe)
        std::vector<std::string> requested; // the scripted path; empty for a dismissal
        bool chosen = false;
        std::string refusal;                // why a scripted path was not taken
        CPoint where;
    };

    void choose(const std::vector<std::string>& path);
    void dismiss();
    std::size_t pending() const { return script.size(); }
    const std::vector<Record>& transcript() const { return records; }
    void clear();

    MenuPopupResult popupMenu(COptionMenu* menu, CFrame* frame, const CPoint& where) override;

    // One line per entry, submenus indented by two blanks: "-----" for a separator,
    // "(grey) " before a greyed title, "[x] " before a checked one, " >" after a submenu's.
    static std::vector<std::string> describe(const COptionMenu* menu);

private:
    struct Answer {
        bool dismiss = true;
        std::vector<std::string> path;
    };
    std::deque<Answer> script;
    std::vector<Record> records;
};

} // namespace VSTGUI
