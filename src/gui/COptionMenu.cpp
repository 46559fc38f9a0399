#include "gui/COptionMenu.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/GuiRuntime.h"
#include "gui/MenuPresenter.h"

namespace VSTGUI {

// ---- CMenuItem -----------------------------------------------------------------------------

CMenuItem::CMenuItem(const UTF8String& title, const UTF8String& keycode, int32_t keyModifiers, CBitmap*,
                     int32_t flags)
    : title(title), keyCode(keycode), keyModifiers(keyModifiers), flags(flags) {}

CMenuItem::CMenuItem(const UTF8String& title, COptionMenu* sub, CBitmap*) : title(title) { setSubmenu(sub); }

CMenuItem::CMenuItem(const UTF8String& title, int32_t tag) : title(title), tag(tag) {}

CMenuItem::~CMenuItem() {
    if (submenu) submenu->forget();
}

void CMenuItem::setSubmenu(COptionMenu* sub) {
    if (sub == submenu) return;
    if (sub) sub->remember();
    if (submenu) submenu->forget();
    submenu = sub;
}

// ---- COptionMenu ---------------------------------------------------------------------------

COptionMenu::COptionMenu(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                         CBitmap* bgWhenClick, const int32_t style)
    : CParamDisplay(size, background, style), bgWhenClick(bgWhenClick) {
    setListener(listener);
    setTag(tag);
    if (bgWhenClick) bgWhenClick->remember();
    setMin(0);
    setMax(0);
    setValue(0);
    setDefaultValue(0);
}

COptionMenu::COptionMenu() : COptionMenu(CRect(0, 0, 0, 0), nullptr, -1, nullptr, nullptr, kPopupStyle) {}

COptionMenu::~COptionMenu() {
    removeAllEntry();
    if (bgWhenClick) bgWhenClick->forget();
}

void COptionMenu::updateMax() { setMax(items.empty() ? 0.f : static_cast<float>(items.size() - 1)); }

CMenuItem* COptionMenu::addEntry(CMenuItem* item, int32_t index) {
    if (!item) return nullptr;
    if (index < 0 || index >= static_cast<int32_t>(items.size()))
        items.push_back(item);
    else
        items.insert(items.begin() + index, item);
    updateMax();
    return item;
}

CMenuItem* COptionMenu::addEntry(COptionMenu* submenu, const UTF8String& title) {
    if (submenu == this) return nullptr;
    return addEntry(new CMenuItem(title, submenu));
}

CMenuItem* COptionMenu::addEntry(const UTF8String& title, int32_t index, int32_t itemFlags) {
    const std::string& t = title.getString();
    if (t == "-") return addSeparator(index);
    if (t.size() >= 2 && t[0] == '-' && t[1] == 'G')
        return addEntry(new CMenuItem(UTF8String(t.substr(2)), "", 0, nullptr, itemFlags | CMenuItem::kDisabled), index);
    return addEntry(new CMenuItem(title, "", 0, nullptr, itemFlags), index);
}

CMenuItem* COptionMenu::addSeparator(int32_t index) {
    return addEntry(new CMenuItem("", "", 0, nullptr, CMenuItem::kSeparator), index);
}

bool COptionMenu::removeEntry(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(items.size())) return false;
    CMenuItem* item = items[index];
    if (lastMenu && item->getSubmenu() && (item->getSubmenu() == lastMenu || item->getSubmenu()->ownsMenu(lastMenu))) {
        lastMenu = nullptr;
        lastResult = -1;
    }
    items.erase(items.begin() + index);
    item->forget();
    updateMax();
    return true;
}

bool COptionMenu::removeAllEntry() {
    std::vector<CMenuItem*> old;
    old.swap(items);
    lastMenu = nullptr;
    lastResult = -1;
    for (CMenuItem* item : old) item->forget();
    updateMax();
    setValue(0);
    return true;
}

CMenuItem* COptionMenu::getEntry(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(items.size())) return nullptr;
    return items[index];
}

COptionMenu* COptionMenu::getSubMenu(int32_t index) const {
    CMenuItem* item = getEntry(index);
    return item ? item->getSubmenu() : nullptr;
}

bool COptionMenu::checkEntry(int32_t index, bool state) {
    CMenuItem* item = getEntry(index);
    if (!item || item->isSeparator()) return false;
    item->setChecked(state);
    return true;
}

bool COptionMenu::checkEntryAlone(int32_t index) {
    if (!getEntry(index)) return false;
    for (int32_t i = 0; i < getNbEntries(); ++i) items[i]->setChecked(i == index);
    return true;
}

bool COptionMenu::isCheckEntry(int32_t index) const {
    CMenuItem* item = getEntry(index);
    return item && item->isChecked();
}

bool COptionMenu::setCurrent(int32_t index, bool countSeparator) {
    int32_t raw = index;
    if (!countSeparator) {
        raw = -1;
        int32_t n = 0;
        for (int32_t i = 0; i < getNbEntries(); ++i) {
            if (items[i]->isSeparator()) continue;
            if (n++ == index) {
                raw = i;
                break;
            }
        }
    }
    if (raw < 0 || raw >= getNbEntries()) return false;
    setValue(static_cast<float>(raw));
    invalid();
    return true;
}

int32_t COptionMenu::getCurrentIndex(bool countSeparator) const {
    if (items.empty()) return -1;
    const int32_t raw = static_cast<int32_t>(getValue() + 0.5f);
    if (raw < 0 || raw >= getNbEntries()) return -1;
    if (countSeparator) return raw;
    int32_t n = 0;
    for (int32_t i = 0; i < raw; ++i)
        if (!items[i]->isSeparator()) ++n;
    return n;
}

CMenuItem* COptionMenu::getCurrentEntry() const { return getEntry(getCurrentIndex(true)); }

std::string COptionMenu::getCurrentTitle() const {
    CMenuItem* item = getCurrentEntry();
    return item ? item->getTitle().getString() : std::string();
}

void COptionMenu::setValue(float val) {
    const int32_t index = static_cast<int32_t>(val + 0.5f);
    if (val < 0 || index >= getNbEntries()) {
        if (!items.empty()) return;
        val = 0;
    }
    CControl::setValue(val);
}

bool COptionMenu::ownsMenu(const COptionMenu* menu) const {
    for (CMenuItem* item : items) {
        COptionMenu* sub = item->getSubmenu();
        if (!sub) continue;
        if (sub == menu || sub->ownsMenu(menu)) return true;
    }
    return false;
}

COptionMenu* COptionMenu::getLastItemMenu(int32_t& idxInMenu) const {
    idxInMenu = lastMenu ? lastResult : -1;
    return lastMenu;
}

bool COptionMenu::popup() {
    CFrame* frame = getFrame();
    if (!frame || !frame->isOpen()) return false;
    CPoint where(getViewSize().left, (getStyle() & kPopupStyle) ? getViewSize().top : getViewSize().bottom);
    localToFrame(where);
    return popup(frame, where);
}

bool COptionMenu::popup(CFrame* frame, const CPoint& frameLocation) {
    if (!frame || !frame->isOpen() || !checkUIThread("COptionMenu::popup")) return false;
    CBaseObjectGuard guard(this);
    CBaseObjectGuard frameGuard(frame);
    lastMenu = nullptr;
    lastResult = -1;
    IMenuPresenter* presenter = getMenuPresenterOverride();
    if (!presenter) presenter = frame->getMenuPresenter();
    if (!presenter) return false;
    frame->popupStarted();
    const MenuPopupResult result = presenter->popupMenu(this, frame, frameLocation);
    // Only an entry of this menu or of one of its submenus that can be chosen counts.
    if (!result.menu || (result.menu != this && !ownsMenu(result.menu))) return false;
    CMenuItem* item = result.menu->getEntry(result.index);
    if (!item || !item->isChoosable()) return false;
    lastMenu = result.menu;
    lastResult = result.index;
    if (result.menu->getStyle() & kMultipleCheckStyle) item->setChecked(!item->isChecked());
    result.menu->setValue(static_cast<float>(result.index));
    if (result.menu != this) result.menu->setDirty(true);
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return true;
}

void COptionMenu::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) return;
    drawBack(context);
    const std::string title = getCurrentTitle();
    drawPlatformText(context, title.c_str());
}

CMouseEventResult COptionMenu::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    lastButton = buttons;
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (buttons & (kLButton | kRButton | kApple)) {
        if (bgWhenClick) {
            CBitmap* normal = getBackground();
            if (normal) normal->remember();
            setBackground(bgWhenClick);
            invalid();
            popup();
            setBackground(normal);
            if (normal) normal->forget();
            invalid();
        } else {
            popup();
        }
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    return kMouseEventNotHandled;
}

} // namespace VSTGUI
