// The command menus of the editor: one builder that every menu (settings, controller map,
// output scopes and the section menus) fills, and that the editor pops up at the pointer.
//
// How a menu member of uEditor uses it:
//
//     TCommandMenu menu;
//     menu.addGrey("Arp Command Menu").addSeparator();
//     menu.add("Reset Arp");
//     TCommandMenu& speed = menu.addSubmenu("Set Speed");
//     speed.add("1/16");
//     addPasteEntry(menu, "Arp", kSectionArp);      // "-GPaste Arp" until something was copied
//     addUndoEntry(menu, kSectionArp);               // "-GUndo" while the stack is empty
//     if (!popupCommandMenu(menu, kSectionArp)) return;  // no window or no plug-in
//     if (menu.chose("Reset Arp")) ...              // top-menu commands, by exact text
//     else if (menu.choseIn(speed, "1/16")) ...     // submenu commands
//     endCommandMenu(menu);                          // remove, redraw, resume()
//
// Entry texts follow the pop-up menus' conventions: exactly "-" is a separator, a text that
// begins with "-G" is shown greyed without the "-G" and cannot be chosen, every other text is
// a command. A chosen entry is known by its text and by the (sub)menu that held it; a
// dismissed menu has no choice. Everything here runs on the UI thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace VSTGUI {
class COptionMenu;
}

class TCommandMenu {
public:
    TCommandMenu();
    ~TCommandMenu();
    TCommandMenu(const TCommandMenu&) = delete;
    TCommandMenu& operator=(const TCommandMenu&) = delete;

    // ---- building, in the order the entries are shown ------------------------------------
    TCommandMenu& add(const std::string& text);
    // A greyed line: add("-G" + text).
    TCommandMenu& addGrey(const std::string& text);
    TCommandMenu& addSeparator();
    // A command when enabled, else the same text greyed.
    TCommandMenu& addIf(const std::string& text, bool enabled);
    // A switch line that names the present state: onText while on, else offText.
    TCommandMenu& addSwitch(const std::string& onText, const std::string& offText, bool on);
    // Several commands in a row (a table of texts).
    TCommandMenu& addAll(const char* const* texts, int count);
    // A submenu hung in under `title`. The returned builder lives as long as this menu.
    TCommandMenu& addSubmenu(const std::string& title);

    // ---- the choice (valid after uEditor::popupCommandMenu) ------------------------------
    bool hasChoice() const { return choiceMenu != nullptr; }
    // The chosen entry's text; empty after a dismissal.
    const std::string& choiceText() const { return choice; }
    // The menu (this one or one of its submenus) that held the choice; null after a dismissal.
    const TCommandMenu* choiceFrom() const { return choiceMenu; }
    // The entry of this menu itself with exactly this text was chosen.
    bool chose(const std::string& text) const { return choiceMenu == this && choice == text; }
    // The entry of `submenu` (one of this menu's submenus) with exactly this text was chosen.
    bool choseIn(const TCommandMenu& submenu, const std::string& text) const {
        return choiceMenu == &submenu && choice == text;
    }
    // The index of the chosen text in a table of texts when this menu held the choice; -1
    // otherwise. For rows made with addAll.
    int choseRow(const char* const* texts, int count) const;
    int choseRowIn(const TCommandMenu& submenu, const char* const* texts, int count) const;

    // ---- for the editor's pop-up ------------------------------------------------------------
    VSTGUI::COptionMenu* getMenu() const { return menu; }
    // Reads the choice out of the pop-up's menus (popped is popup()'s answer).
    void takeChoice(bool popped);

private:
    const TCommandMenu* findMenu(const VSTGUI::COptionMenu* m) const;

    VSTGUI::COptionMenu* menu = nullptr;
    std::vector<std::unique_ptr<TCommandMenu>> submenus;
    const TCommandMenu* choiceMenu = nullptr;
    std::string choice;
};
