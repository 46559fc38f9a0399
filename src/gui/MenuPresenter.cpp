#include "gui/MenuPresenter.h"

#include <atomic>

#include "gui/COptionMenu.h"

namespace VSTGUI {

namespace {
std::atomic<IMenuPresenter*> gOverride{nullptr};

void describeInto(const COptionMenu* menu, const std::string& indent, std::vector<std::string>& lines, int depth) {
    if (!menu || depth > 32) return;
    for (const CMenuItem* item : menu->getItems()) {
        if (item->isSeparator()) {
            lines.push_back(indent + "-----");
            continue;
        }
        std::string line = indent;
        if (!item->isEnabled()) line += "(grey) ";
        if (item->isChecked()) line += "[x] ";
        line += item->getTitle().getString();
        if (item->getSubmenu()) line += " >";
        lines.push_back(line);
        if (item->getSubmenu()) describeInto(item->getSubmenu(), indent + "  ", lines, depth + 1);
    }
}
} // namespace

void setMenuPresenter(IMenuPresenter* presenter) { gOverride = presenter; }

IMenuPresenter* getMenuPresenterOverride() { return gOverride.load(); }

void ScriptedMenuPresenter::choose(const std::vector<std::string>& path) {
    Answer a;
    a.dismiss = false;
    a.path = path;
    script.push_back(a);
}

void ScriptedMenuPresenter::dismiss() { script.push_back(Answer()); }

void ScriptedMenuPresenter::clear() {
    script.clear();
    records.clear();
}

std::vector<std::string> ScriptedMenuPresenter::describe(const COptionMenu* menu) {
    std::vector<std::string> lines;
    describeInto(menu, "", lines, 0);
    return lines;
}

MenuPopupResult ScriptedMenuPresenter::popupMenu(COptionMenu* menu, CFrame*, const CPoint& where) {
    Record rec;
    rec.lines = describe(menu);
    rec.where = where;
    MenuPopupResult result;
    Answer answer;
    if (!script.empty()) {
        answer = script.front();
        script.pop_front();
    }
    if (!answer.dismiss) {
        rec.requested = answer.path;
        COptionMenu* current = menu;
        for (std::size_t level = 0; level < answer.path.size() && current; ++level) {
            const std::string& title = answer.path[level];
            int32_t found = -1;
            for (int32_t i = 0; i < current->getNbEntries(); ++i) {
                const CMenuItem* item = current->getEntry(i);
                if (!item->isSeparator() && item->getTitle().getString() == title) {
                    found = i;
                    break;
                }
            }
            if (found < 0) {
                rec.refusal = "no entry \"" + title + "\"";
                break;
            }
            CMenuItem* item = current->getEntry(found);
            const bool last = level + 1 == answer.path.size();
            if (!last) {
                if (!item->getSubmenu()) {
                    rec.refusal = "\"" + title + "\" opens no submenu";
                    break;
                }
                if (!item->isEnabled()) {
                    rec.refusal = "\"" + title + "\" is greyed";
                    break;
                }
                current = item->getSubmenu();
                continue;
            }
            if (!item->isEnabled())
                rec.refusal = "\"" + title + "\" is greyed";
            else if (item->getSubmenu())
                rec.refusal = "\"" + title + "\" opens a submenu";
            else if (!item->isChoosable())
                rec.refusal = "\"" + title + "\" cannot be chosen";
            else {
                result.menu = current;
                result.index = found;
                rec.chosen = true;
            }
        }
        if (answer.path.empty()) rec.refusal = "empty path";
    }
    records.push_back(rec);
    return result;
}

} // namespace VSTGUI
