// The pop-up menus of frames in X11 windows: one override-redirect window per open menu level,
// drawn with cairo, a pointer and keyboard grab, and a modal event loop.
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/COptionMenu.h"
#include "gui/X11Window.h"

namespace VSTGUI {

namespace {

constexpr int kRowHeight = 22;
constexpr int kSeparatorHeight = 9;
constexpr int kPad = 4;
constexpr int kTextLeft = 24;
constexpr int kTextRight = 28;
constexpr int kMinWidth = 90;
constexpr int kDragThreshold = 4;

const CColor kMenuBack(244, 244, 244);
const CColor kMenuBorder(120, 120, 120);
const CColor kMenuText(0, 0, 0);
const CColor kMenuGrey(150, 150, 150);
const CColor kMenuHighlight(52, 101, 178);
const CColor kMenuHighlightText(255, 255, 255);
const CColor kMenuSeparator(200, 200, 200);

struct Row {
    int top = 0;
    int height = 0;
    int32_t index = 0;
    bool separator = false;
    bool enabled = true;
    bool hasSub = false;
    bool checked = false;
    std::string title;
};

struct Level {
    COptionMenu* menu = nullptr;
    Window win = 0;
    cairo_surface_t* surface = nullptr;
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<Row> rows;
    int highlight = -1; // row number
};

class MenuSession {
public:
    MenuSession(X11Window* owner) : owner(owner), display(owner->getDisplay()) {
        screenW = DisplayWidth(display, DefaultScreen(display));
        screenH = DisplayHeight(display, DefaultScreen(display));
    }
    ~MenuSession() {
        while (!levels.empty()) closeLevel();
        XUngrabKeyboard(display, CurrentTime);
        XUngrabPointer(display, CurrentTime);
        XFlush(display);
    }

    MenuPopupResult run(COptionMenu* menu, const CPoint& where);

private:
    void openLevel(COptionMenu* menu, int x, int y, int parentRowTop, int parentX, int parentW);
    void closeLevel();
    void drawLevel(Level& l);
    bool grab();
    bool hit(int rx, int ry, int& level, int& row) const;
    void hover(int rx, int ry);
    void setHighlight(int level, int row);
    void openSubmenuOf(int level, int row, bool highlightFirst);
    void moveHighlight(int dir);
    bool activate(int level, int row); // true when a choice was made
    void key(XKeyEvent& e);

    X11Window* owner;
    Display* display;
    int screenW = 0, screenH = 0;
    std::vector<Level> levels;
    bool done = false;
    MenuPopupResult result;
    int startX = 0, startY = 0;
    bool moved = false;
    bool pressedSinceOpen = false;
};

void MenuSession::openLevel(COptionMenu* menu, int x, int y, int parentRowTop, int parentX, int parentW) {
    Level l;
    l.menu = menu;
    cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    double textW = 0;
    {
        CDrawContext c(probe);
        c.setFont(kNormalFont);
        int top = kPad;
        for (int32_t i = 0; i < menu->getNbEntries(); ++i) {
            const CMenuItem* item = menu->getEntry(i);
            Row r;
            r.index = i;
            r.top = top;
            r.separator = item->isSeparator();
            r.height = r.separator ? kSeparatorHeight : kRowHeight;
            r.enabled = item->isEnabled() && !item->isTitle();
            r.hasSub = item->getSubmenu() != nullptr;
            r.checked = item->isChecked();
            r.title = item->getTitle().getString();
            if (!r.separator) textW = std::max(textW, c.getStringWidth(r.title.c_str()));
            top += r.height;
            l.rows.push_back(r);
        }
        l.h = top + kPad;
    }
    cairo_surface_destroy(probe);
    l.w = std::max(kMinWidth, static_cast<int>(std::ceil(textW)) + kTextLeft + kTextRight);
    if (l.rows.empty()) l.h = kPad * 2 + kRowHeight / 2;
    if (parentW > 0) {
        // A submenu opens beside its entry, on the left when there is no room on the right.
        x = parentX + parentW - 2;
        if (x + l.w > screenW) x = parentX - l.w + 2;
        y = parentRowTop - kPad;
    }
    if (x + l.w > screenW) x = screenW - l.w;
    if (y + l.h > screenH) y = screenH - l.h;
    l.x = std::max(0, x);
    l.y = std::max(0, y);

    const int screen = DefaultScreen(display);
    XSetWindowAttributes swa;
    swa.override_redirect = True;
    swa.save_under = True;
    swa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    swa.background_pixel = WhitePixel(display, screen);
    swa.border_pixel = BlackPixel(display, screen);
    l.win = XCreateWindow(display, DefaultRootWindow(display), l.x, l.y, static_cast<unsigned>(l.w),
                          static_cast<unsigned>(l.h), 0, CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWSaveUnder | CWEventMask | CWBackPixel | CWBorderPixel, &swa);
    l.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, l.w, l.h);
    XMapRaised(display, l.win);
    levels.push_back(l);
    drawLevel(levels.back());
    XSync(display, False);
}

void MenuSession::closeLevel() {
    if (levels.empty()) return;
    Level& l = levels.back();
    if (l.surface) cairo_surface_destroy(l.surface);
    if (l.win) XDestroyWindow(display, l.win);
    levels.pop_back();
    XFlush(display);
}

void MenuSession::drawLevel(Level& l) {
    CDrawContext c(l.surface, CRect(0, 0, l.w, l.h));
    c.setFillColor(kMenuBack);
    c.drawRect(CRect(0, 0, l.w, l.h), kDrawFilled);
    c.setFrameColor(kMenuBorder);
    c.drawRect(CRect(0, 0, l.w, l.h), kDrawStroked);
    c.setFont(kNormalFont);
    for (std::size_t i = 0; i < l.rows.size(); ++i) {
        const Row& r = l.rows[i];
        if (r.separator) {
            c.setFrameColor(kMenuSeparator);
            const int y = r.top + r.height / 2;
            c.drawLine(CPoint(kPad + 2, y), CPoint(l.w - kPad - 3, y));
            continue;
        }
        const bool lit = static_cast<int>(i) == l.highlight && r.enabled;
        if (lit) {
            c.setFillColor(kMenuHighlight);
            c.drawRect(CRect(1, r.top, l.w - 1, r.top + r.height), kDrawFilled);
        }
        const CColor textColor = !r.enabled ? kMenuGrey : (lit ? kMenuHighlightText : kMenuText);
        c.setFontColor(textColor);
        c.drawString(r.title.c_str(), CRect(kTextLeft, r.top, l.w - kTextRight, r.top + r.height), kLeftText);
        c.setFrameColor(textColor);
        c.setFillColor(textColor);
        const double cy = r.top + r.height / 2.0;
        if (r.checked) {
            c.setDrawMode(kAntiAliasing);
            c.setLineWidth(2);
            c.drawPolygon({CPoint(8, cy), CPoint(11, cy + 3), CPoint(17, cy - 4)}, kDrawStroked);
            c.setLineWidth(1);
            c.setDrawMode(kAliasing);
        }
        if (r.hasSub) {
            c.setDrawMode(kAntiAliasing);
            c.drawPolygon({CPoint(l.w - 14, cy - 4), CPoint(l.w - 9, cy), CPoint(l.w - 14, cy + 4)}, kDrawFilled);
            c.setDrawMode(kAliasing);
        }
    }
    const int screen = DefaultScreen(display);
    x11::ImageBlitter(display, DefaultVisual(display, screen), DefaultDepth(display, screen))
        .put(l.win, l.w, l.h, l.surface, 0, 0, l.w, l.h);
}

bool MenuSession::grab() {
    const Window w = levels.front().win;
    const unsigned int mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    for (int attempt = 0; attempt < 50; ++attempt) {
        const int p = XGrabPointer(display, w, True, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (p == GrabSuccess) {
            for (int k = 0; k < 50; ++k) {
                if (XGrabKeyboard(display, w, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess)
                    return true;
                usleep(5000);
            }
            return true; // the pointer grab alone still lets the menu work
        }
        usleep(5000);
    }
    return false;
}

bool MenuSession::hit(int rx, int ry, int& level, int& row) const {
    for (int li = static_cast<int>(levels.size()) - 1; li >= 0; --li) {
        const Level& l = levels[li];
        if (rx < l.x || ry < l.y || rx >= l.x + l.w || ry >= l.y + l.h) continue;
        level = li;
        row = -1;
        const int y = ry - l.y;
        for (std::size_t i = 0; i < l.rows.size(); ++i)
            if (y >= l.rows[i].top && y < l.rows[i].top + l.rows[i].height) row = static_cast<int>(i);
        return true;
    }
    return false;
}

void MenuSession::setHighlight(int level, int row) {
    Level& l = levels[level];
    if (l.highlight == row) return;
    l.highlight = row;
    drawLevel(l);
}

void MenuSession::openSubmenuOf(int level, int row, bool highlightFirst) {
    while (static_cast<int>(levels.size()) > level + 1) closeLevel();
    const Level& l = levels[level];
    const Row& r = l.rows[row];
    COptionMenu* sub = l.menu->getSubMenu(r.index);
    if (!sub || !r.enabled) return;
    openLevel(sub, 0, 0, l.y + r.top, l.x, l.w);
    if (highlightFirst) {
        Level& n = levels.back();
        for (std::size_t i = 0; i < n.rows.size(); ++i)
            if (!n.rows[i].separator && n.rows[i].enabled) {
                setHighlight(static_cast<int>(levels.size()) - 1, static_cast<int>(i));
                break;
            }
    }
}

void MenuSession::hover(int rx, int ry) {
    int level = -1, row = -1;
    if (!hit(rx, ry, level, row)) return;
    if (row < 0 || levels[level].rows[row].separator) return;
    const bool changed = levels[level].highlight != row;
    setHighlight(level, row);
    if (!changed && static_cast<int>(levels.size()) > level + 1) return;
    const Row& r = levels[level].rows[row];
    if (r.hasSub && r.enabled) {
        openSubmenuOf(level, row, false);
    } else {
        while (static_cast<int>(levels.size()) > level + 1) closeLevel();
    }
}

void MenuSession::moveHighlight(int dir) {
    Level& l = levels.back();
    const int n = static_cast<int>(l.rows.size());
    if (n == 0) return;
    int i = l.highlight;
    for (int step = 0; step < n; ++step) {
        i = i < 0 ? (dir > 0 ? 0 : n - 1) : (i + dir + n) % n;
        if (!l.rows[i].separator && l.rows[i].enabled) {
            setHighlight(static_cast<int>(levels.size()) - 1, i);
            return;
        }
    }
}

bool MenuSession::activate(int level, int row) {
    if (level < 0 || row < 0) return false;
    const Row& r = levels[level].rows[row];
    if (r.separator || !r.enabled) return false;
    if (r.hasSub) {
        openSubmenuOf(level, row, true);
        return false;
    }
    result.menu = levels[level].menu;
    result.index = r.index;
    done = true;
    return true;
}

void MenuSession::key(XKeyEvent& e) {
    char buf[16];
    KeySym sym = NoSymbol;
    const int n = XLookupString(&e, buf, sizeof buf, &sym, nullptr);
    const int deepest = static_cast<int>(levels.size()) - 1;
    switch (sym) {
    case XK_Escape:
        if (levels.size() > 1)
            closeLevel();
        else
            done = true;
        return;
    case XK_Left:
    case XK_KP_Left:
        if (levels.size() > 1) closeLevel();
        return;
    case XK_Right:
    case XK_KP_Right: {
        const int h = levels.back().highlight;
        if (h >= 0 && levels.back().rows[h].hasSub) openSubmenuOf(deepest, h, true);
        return;
    }
    case XK_Up:
    case XK_KP_Up:
        moveHighlight(-1);
        return;
    case XK_Down:
    case XK_KP_Down:
        moveHighlight(1);
        return;
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
        activate(deepest, levels.back().highlight);
        return;
    default:
        break;
    }
    if (n != 1 || !std::isalnum(static_cast<unsigned char>(buf[0]))) return;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(buf[0])));
    Level& l = levels.back();
    std::vector<int> candidates;
    for (std::size_t i = 0; i < l.rows.size(); ++i) {
        const Row& r = l.rows[i];
        if (r.separator || !r.enabled || r.title.empty()) continue;
        if (std::tolower(static_cast<unsigned char>(r.title[0])) == c) candidates.push_back(static_cast<int>(i));
    }
    if (candidates.empty()) return;
    if (candidates.size() == 1) {
        setHighlight(deepest, candidates[0]);
        activate(deepest, candidates[0]);
        return;
    }
    int next = candidates[0];
    for (int cand : candidates)
        if (cand > l.highlight) {
            next = cand;
            break;
        }
    setHighlight(deepest, next);
}

MenuPopupResult MenuSession::run(COptionMenu* menu, const CPoint& where) {
    int rx = 0, ry = 0;
    Window child = 0;
    {
        x11::ErrorTrap trap(display);
        XTranslateCoordinates(display, owner->getWindow(), DefaultRootWindow(display), static_cast<int>(where.x),
                              static_cast<int>(where.y), &rx, &ry, &child);
        if (trap.failed()) return result;
    }
    openLevel(menu, rx, ry, 0, 0, 0);
    if (!grab()) return result;
    {
        Window r = 0, c = 0;
        int wx = 0, wy = 0;
        unsigned int mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &r, &c, &startX, &startY, &wx, &wy, &mask);
    }
    const int fd = ConnectionNumber(display);
    while (!done) {
        if (owner->isGone()) break;
        if (XPending(display) == 0) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 100);
            continue;
        }
        XEvent e;
        XNextEvent(display, &e);
        bool mine = false;
        for (Level& l : levels)
            if (e.xany.window == l.win) {
                mine = true;
                if (e.type == Expose && e.xexpose.count == 0) drawLevel(l);
            }
        switch (e.type) {
        case MotionNotify:
            if (std::abs(e.xmotion.x_root - startX) > kDragThreshold || std::abs(e.xmotion.y_root - startY) > kDragThreshold)
                moved = true;
            hover(e.xmotion.x_root, e.xmotion.y_root);
            break;
        case ButtonPress: {
            if (e.xbutton.button > Button3) break;
            int level = -1, row = -1;
            if (!hit(e.xbutton.x_root, e.xbutton.y_root, level, row)) {
                done = true; // a click outside dismisses
                break;
            }
            pressedSinceOpen = true;
            break;
        }
        case ButtonRelease: {
            if (e.xbutton.button > Button3) break;
            // The release of the click that opened the menu leaves it open.
            if (!moved && !pressedSinceOpen) break;
            int level = -1, row = -1;
            if (hit(e.xbutton.x_root, e.xbutton.y_root, level, row)) activate(level, row);
            break;
        }
        case KeyPress:
            key(e.xkey);
            break;
        default:
            if (!mine) owner->handleEventDuringPopup(e);
            break;
        }
    }
    return result;
}

} // namespace

MenuPopupResult X11MenuPresenter::popupMenu(COptionMenu* menu, CFrame*, const CPoint& where) {
    if (!menu || !window || window->isGone() || !window->getDisplay()) return MenuPopupResult();
    MenuSession session(window);
    return session.run(menu, where);
}

} // namespace VSTGUI
