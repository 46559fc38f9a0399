// The command menu frame shared by every menu of the editor: the builder, the pop-up at the
// pointer, the undo snapshot before a section command, and the redraw afterwards.
#include "editor/uEditorMenu.h"

#include "editor/uEditor.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

// The pop-up is never drawn as a control itself, only its pop-up is seen (0x110).
constexpr int32_t kCommandMenuStyle = kPopupStyle | kNoDrawStyle;
constexpr int32_t kCommandMenuTag = 9999;

}  // namespace

// ---- the builder ---------------------------------------------------------------------------

TCommandMenu::TCommandMenu()
    : menu(new COptionMenu(CRect(0, 0, 0, 0), nullptr, kCommandMenuTag, nullptr, nullptr, kCommandMenuStyle)) {}

TCommandMenu::~TCommandMenu() {
    // A menu still in its frame (the caller returned early) leaves it first.
    if (auto* parent = dynamic_cast<CViewContainer*>(menu->getParentView())) parent->removeView(menu, true);
    menu->forget();
}

TCommandMenu& TCommandMenu::add(const std::string& text) {
    menu->addEntry(text);
    return *this;
}

TCommandMenu& TCommandMenu::addGrey(const std::string& text) { return add("-G" + text); }

TCommandMenu& TCommandMenu::addSeparator() { return add("-"); }

TCommandMenu& TCommandMenu::addIf(const std::string& text, bool enabled) { return enabled ? add(text) : addGrey(text); }

TCommandMenu& TCommandMenu::addSwitch(const std::string& onText, const std::string& offText, bool on) {
    return add(on ? onText : offText);
}

TCommandMenu& TCommandMenu::addAll(const char* const* rows, int count) {
    for (int i = 0; i < count; ++i) add(rows[i] ? rows[i] : "");
    return *this;
}

TCommandMenu& TCommandMenu::addSubmenu(const std::string& title) {
    submenus.push_back(std::make_unique<TCommandMenu>());
    TCommandMenu& sub = *submenus.back();
    // The entry takes a reference of its own; the builder keeps its one until it goes.
    menu->addEntry(sub.menu, title);
    return sub;
}

int TCommandMenu::choseRow(const char* const* rows, int count) const { return choseRowIn(*this, rows, count); }

int TCommandMenu::choseRowIn(const TCommandMenu& submenu, const char* const* rows, int count) const {
    if (choiceMenu != &submenu) return -1;
    for (int i = 0; i < count; ++i)
        if (rows[i] && choice == rows[i]) return i;
    return -1;
}

const TCommandMenu* TCommandMenu::findMenu(const COptionMenu* m) const {
    if (m == menu) return this;
    for (const auto& sub : submenus)
        if (const TCommandMenu* found = sub->findMenu(m)) return found;
    return nullptr;
}

void TCommandMenu::takeChoice(bool popped) {
    choiceMenu = nullptr;
    choice.clear();
    if (!popped) return;
    int32_t index = -1;
    COptionMenu* from = menu->getLastItemMenu(index);
    const TCommandMenu* owner = from ? findMenu(from) : nullptr;
    CMenuItem* item = owner ? from->getEntry(index) : nullptr;
    if (!item) return;
    // Read whole: a title is never cut to a buffer.
    choice = item->getTitle().getString();
    choiceMenu = owner;
}

// ---- the editor's side -------------------------------------------------------------------------

bool uEditor::popupCommandMenu(TCommandMenu& menu, int section) {
    if (!frame || !plugin || !checkUIThread("uEditor::popupCommandMenu")) return false;
    // What other threads recorded is shown before the user decides.
    drainPending();
    CPoint p;
    frame->getCurrentMouseLocation(p);
    COptionMenu* m = menu.getMenu();
    m->setViewSize(CRect(p.x - 8, p.y - 8, p.x + 8, p.y + 8));
    // The frame takes a reference of its own; the builder keeps its one.
    m->remember();
    if (!frame->addView(m)) m->forget();
    const bool popped = m->popup();
    if (frame) frame->looseFocus();
    menu.takeChoice(popped);
    if (validSection(section)) {
        // Every choice but "Undo" (a dismissal too) is preceded by a snapshot.
        if (menu.chose("Undo"))
            undoSection(section);
        else
            setSectionUndo(section);
    }
    return true;
}

void uEditor::endCommandMenu(TCommandMenu& menu, bool resumeAfter) {
    COptionMenu* m = menu.getMenu();
    if (auto* parent = dynamic_cast<CViewContainer*>(m->getParentView())) parent->removeView(m, true);
    if (!frame) return;
    frame->setDirty(true);
    frame->invalidRect(CRect(0, 0, frame->getViewSize().getWidth(), frame->getViewSize().getHeight()));
    frame->setDirty(false);
    if (resumeAfter) resume();
}

void uEditor::addUndoEntry(TCommandMenu& menu, int section) const {
    menu.addIf("Undo", validSection(section) && undoIndex[section] >= 0);
}

void uEditor::addPasteEntry(TCommandMenu& menu, const std::string& what, int section) const {
    menu.addIf("Paste " + what, validSection(section) && clipboardValid[section]);
}
