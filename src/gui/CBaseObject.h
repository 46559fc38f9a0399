// Reference counting shared by every GUI object: views, bitmaps, fonts, menus, menu entries
// and file selectors.
//
// Ownership rules. Every part of the GUI follows them, and the sanitizer tests hold it to them:
//
//  1. Creating an object with `new` gives the creator one reference.
//  2. remember() takes one more reference, forget() gives one back; giving back the last one
//     deletes the object. Never `delete` a reference-counted object yourself.
//  3. CViewContainer::addView(view) (and so CFrame::addView) ADOPTS the caller's reference:
//     afterwards the container owns it, and the caller must not forget() it unless it
//     remember()ed the view before handing it over.
//  4. removeView(view, false) and removeAll(false) HAND the container's reference BACK to the
//     caller, who must forget() it (or add the view somewhere again) later.
//     removeView(view, true) and removeAll(true) give it back to the view itself, which
//     normally destroys it. A container being destroyed releases its children.
//  5. A view takes its own reference to its background bitmap (setBackground), a display
//     (CParamDisplay and its subclasses) to its font (setFont), a menu entry to its submenu
//     (COptionMenu::addEntry(submenu, title)); a menu adopts the reference of a CMenuItem
//     handed to addEntry(item). Callers forget() their own reference of a bitmap, font or
//     submenu after handing it over unless they keep using it.
//  6. A view must be detached before its last reference goes. Destroying a view that still
//     has a parent is a detected error (GuiFault): a forget() that would drop the last
//     reference of a view with a parent is refused and reported, and the view stays owned
//     by its container, which releases it when it removes the view (either way) or is
//     destroyed; a `delete` of a view with a parent is reported and detaches it first.
//  7. CFrame::close() destroys the window, releases every view still attached (as
//     removeAll(true)) and gives back the creator's reference of the frame.
#pragma once

#include <atomic>
#include <cstdint>

namespace VSTGUI {

class CBaseObject {
public:
    CBaseObject();
    CBaseObject(const CBaseObject&);
    CBaseObject& operator=(const CBaseObject&) { return *this; }
    virtual ~CBaseObject();

    void remember() { ++nbReference; }
    void forget();
    int32_t getNbReference() const { return nbReference; }

    // Objects alive in the process (for leak checks in tests).
    static int64_t liveObjects();

protected:
    // Asked when forget() gives back the last reference; false keeps the object alive with
    // one reference (a view still attached to its container answers false).
    virtual bool mayDestroy() { return true; }

private:
    int32_t nbReference = 1;
    static std::atomic<int64_t> live;
};

// Keeps an object alive for a scope (for calls that may release it).
class CBaseObjectGuard {
public:
    explicit CBaseObjectGuard(CBaseObject* o) : obj(o) {
        if (obj) obj->remember();
    }
    ~CBaseObjectGuard() {
        if (obj) obj->forget();
    }
    CBaseObjectGuard(const CBaseObjectGuard&) = delete;
    CBaseObjectGuard& operator=(const CBaseObjectGuard&) = delete;

private:
    CBaseObject* obj;
};

} // namespace VSTGUI
