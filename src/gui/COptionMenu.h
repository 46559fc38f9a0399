// Pop-up menus.
//
// Entry texts follow these conventions in addEntry(title):
// - exactly "-" is a separator;
// - a text beginning with "-G" is a greyed (disabled) entry, shown without the "-G";
// - every other text (also "-48" and the like) is an ordinary entry.
// A menu's value is the index of its current entry. popup() is modal: it returns when the user
// has chosen an entry (true) or dismissed the menu (false). A choice sets the value of the menu
// that held it (the top menu or a submenu), makes it the "last item menu" and tells the top
// menu's listener (valueChanged); separators, greyed entries and submenu titles cannot be
// chosen. A dismissal changes nothing (the last item menu becomes null).
//
// Ownership: a menu adopts the reference of a CMenuItem given to addEntry(item) and takes its
// own reference to a submenu given to addEntry(submenu, title); the caller forgets its own
// submenu reference when it no longer needs it.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "gui/CTextControls.h"

namespace VSTGUI {

class COptionMenu;

enum COptionMenuStyle : int32_t {
    kPopupStyle = 1 << 8,         // pops up at the menu's top-left corner
    kCheckStyle = 1 << 9,         // the current entry shows a check mark
    kMultipleCheckStyle = 1 << 10 // a choice toggles its entry's check mark
};

class CMenuItem : public CBaseObject {
public:
    enum Flags : int32_t { kNoFlags = 0, kDisabled = 1 << 0, kTitle = 1 << 1, kChecked = 1 << 2, kSeparator = 1 << 3 };

    explicit CMenuItem(const UTF8String& title, const UTF8String& keycode = "", int32_t keyModifiers = 0,
                       CBitmap* icon = nullptr, int32_t flags = kNoFlags);
    // An entry that opens a submenu (it takes its own reference to the submenu).
    CMenuItem(const UTF8String& title, COptionMenu* submenu, CBitmap* icon = nullptr);
    CMenuItem(const UTF8String& title, int32_t tag);
    ~CMenuItem() override;

    CMenuItem(const CMenuItem&) = delete;
    CMenuItem& operator=(const CMenuItem&) = delete;

    virtual void setTitle(const UTF8String& title) { this->title = title; }
    const UTF8String& getTitle() const { return title; }
    void setEnabled(bool state = true) { setFlag(kDisabled, !state); }
    bool isEnabled() const { return !(flags & kDisabled); }
    void setChecked(bool state = true) { setFlag(kChecked, state); }
    bool isChecked() const { return flags & kChecked; }
    void setIsTitle(bool state = true) { setFlag(kTitle, state); }
    bool isTitle() const { return flags & kTitle; }
    void setIsSeparator(bool state = true) { setFlag(kSeparator, state); }
    bool isSeparator() const { return flags & kSeparator; }
    void setSubmenu(COptionMenu* submenu);
    COptionMenu* getSubmenu() const { return submenu; }
    void setKey(const UTF8String& keycode, int32_t modifiers = 0) {
        keyCode = keycode;
        keyModifiers = modifiers;
    }
    const UTF8String& getKeycode() const { return keyCode; }
    int32_t getKeyModifiers() const { return keyModifiers; }
    void setTag(int32_t t) { tag = t; }
    int32_t getTag() const { return tag; }
    int32_t getFlags() const { return flags; }
    // Whether a user can choose it: enabled, no separator, no title line, no submenu.
    bool isChoosable() const { return isEnabled() && !isSeparator() && !isTitle() && !submenu; }

private:
    void setFlag(int32_t f, bool state) { flags = state ? (flags | f) : (flags & ~f); }

    UTF8String title;
    UTF8String keyCode;
    int32_t keyModifiers = 0;
    int32_t flags = kNoFlags;
    int32_t tag = -1;
    COptionMenu* submenu = nullptr;
};

class COptionMenu : public CParamDisplay {
public:
    COptionMenu(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, const int32_t style = 0);
    // A menu that is only popped up (submenus, context menus).
    COptionMenu();
    ~COptionMenu() override;

    COptionMenu(const COptionMenu&) = delete;
    COptionMenu& operator=(const COptionMenu&) = delete;

    // ---- Entries ----
    // Adopts the item's reference; index -1 (or beyond the end) appends.
    CMenuItem* addEntry(CMenuItem* item, int32_t index = -1);
    CMenuItem* addEntry(COptionMenu* submenu, const UTF8String& title);
    CMenuItem* addEntry(const UTF8String& title, int32_t index = -1, int32_t itemFlags = CMenuItem::kNoFlags);
    CMenuItem* addSeparator(int32_t index = -1);
    bool removeEntry(int32_t index);
    bool removeAllEntry();
    int32_t getNbEntries() const { return static_cast<int32_t>(items.size()); }
    CMenuItem* getEntry(int32_t index) const;
    COptionMenu* getSubMenu(int32_t index) const;
    const std::vector<CMenuItem*>& getItems() const { return items; }
    bool checkEntry(int32_t index, bool state);
    bool checkEntryAlone(int32_t index);
    bool isCheckEntry(int32_t index) const;

    // ---- The current entry (the value) ----
    // countSeparator false: the index counts only entries that are no separators.
    bool setCurrent(int32_t index, bool countSeparator = true);
    // The index of the current entry (separators counted); -1 when there is none.
    int32_t getCurrent() const { return getCurrentIndex(true); }
    // The same, copying the current entry's title into `text` (cut to fit, always ended by a
    // zero; empty when there is no current entry).
    template <std::size_t N>
    int32_t getCurrent(char (&text)[N], bool countSeparator = true) const {
        static_assert(N > 0, "buffer");
        const std::string t = getCurrentTitle();
        const std::size_t n = t.size() < N - 1 ? t.size() : N - 1;
        std::memcpy(text, t.data(), n);
        text[n] = 0;
        return getCurrentIndex(countSeparator);
    }
    int32_t getCurrentIndex(bool countSeparator = true) const;
    CMenuItem* getCurrentEntry() const;
    std::string getCurrentTitle() const;

    // ---- Pop-up ----
    // Pops the menu up at its own place in the frame (its top-left corner for kPopupStyle,
    // else below it); false when the menu is in no frame or nothing was chosen.
    bool popup();
    // Pops up a menu at a point of a frame, whether or not it is part of the frame's tree.
    bool popup(CFrame* frame, const CPoint& frameLocation);
    // The menu that held the last choice and the entry's index in it; null (and -1) after a
    // dismissal.
    COptionMenu* getLastItemMenu(int32_t& idxInMenu) const;
    int32_t getLastResult() const { return lastResult; }
    // The button state of the press that opened the menu.
    CButtonState getLastButton() const { return lastButton; }
    void setLastButton(const CButtonState& buttons) { lastButton = buttons; }

    // ---- CControl ----
    // Values that name no entry are ignored.
    void setValue(float val) override;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CView* newCopy() const override { return nullptr; }

protected:
    CButtonState lastButton;

private:
    void updateMax();
    bool ownsMenu(const COptionMenu* menu) const;

    std::vector<CMenuItem*> items;
    CBitmap* bgWhenClick = nullptr;
    COptionMenu* lastMenu = nullptr;
    int32_t lastResult = -1;
};

} // namespace VSTGUI
