// The X11 side of a frame: a child window of the host's window, drawn through a back buffer
// with cairo, its events translated into the frame's entry points; the pop-up menus and the
// tooltip windows. Internal to the GUI layer.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/MenuPresenter.h"
#include "gui/PlatformWindow.h"
#include "gui/VstKeys.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CFrame;
class X11Window;

namespace x11 {

// Catches the X errors of the requests made while it lives (a window the host destroyed
// must not end the process through Xlib's default error handler).
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Whether a request so far failed (waits for the server's answers).
    bool failed();

private:
    Display* display;
    int (*previous)(Display*, XErrorEvent*);
};

// Puts cairo ARGB32 images into X drawables. With a true-colour visual of 8-bit red, green
// and blue (the usual 24- and 32-bit visuals) it uses XPutImage: the pixels reach the screen
// exactly as drawn and cairo keeps no per-display state. Other visuals go through a temporary
// cairo-xlib surface.
class ImageBlitter {
public:
    ImageBlitter(Display* display, Visual* visual, int depth);
    bool direct() const { return directOk; }
    // Copies the rectangle (x, y, w, h) of `image` to the same place of `drawable`, a window of
    // the blitter's visual whose size is drawableW x drawableH.
    void put(Drawable drawable, int drawableW, int drawableH, cairo_surface_t* image, int x, int y, int w, int h);

private:
    Display* display;
    Visual* visual;
    int depth;
    bool directOk = false;
};

// Mouse buttons and modifiers of an X event state.
CButtonState buttonStateOf(unsigned int state);
// A key event as a VST key code (the character is the typed Unicode character, if any).
VstKeyCode keyCodeOf(XKeyEvent& event);

} // namespace x11

// Pop-up menus as override-redirect windows with pointer and keyboard grabs. A menu opens at
// the given point; moving over an entry highlights it, resting on an entry with a submenu
// opens it beside; a release (after the pointer moved) or a click on an entry chooses it, a
// click outside dismisses. Keys: Up/Down move, Right/Return open a submenu, Left or Escape close
// one level (Escape on the top menu dismisses), Return/Enter/Space choose, a letter moves to
// the next entry starting with it and chooses it when it is the only one.
class X11MenuPresenter : public IMenuPresenter {
public:
    explicit X11MenuPresenter(X11Window* window) : window(window) {}
    MenuPopupResult popupMenu(COptionMenu* menu, CFrame* frame, const CPoint& where) override;

private:
    X11Window* window;
};

class X11Window : public IPlatformWindow {
public:
    static std::unique_ptr<X11Window> create(CFrame* frame, Window parent);
    ~X11Window() override;

    void pumpEvents() override;
    void paint() override;
    bool queryPointer(CPoint& where, CButtonState& state) override;
    void showTooltip(const CPoint& frameWhere, const std::string& text) override;
    void hideTooltip() override;
    IMenuPresenter* menuPresenter() override { return &presenter; }
    void takeKeyboardFocus() override;
    void* getSystemWindow() const override;
    unsigned long getTopLevelWindow() const override { return topLevel; }
    bool isOffscreen() const override { return false; }

    Display* getDisplay() const { return display; }
    Window getWindow() const { return window; }
    bool isGone() const { return gone; }
    // Events of the frame's window that arrive while a pop-up runs its own loop: exposes are
    // repainted, the rest is dropped.
    void handleEventDuringPopup(XEvent& event);

private:
    X11Window(CFrame* frame, Display* display, Window parent);
    bool build();
    void dispatch(XEvent& event);
    void copyToWindow(const std::vector<CRect>& rects);
    void drawTooltip();

    CFrame* frame;
    Display* display;
    Window parent;
    Window window = 0;
    Window topLevel = 0;  // the ancestor that is a child of the root window
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    cairo_surface_t* backing = nullptr;
    std::unique_ptr<x11::ImageBlitter> blitter;
    std::vector<CRect> exposed;
    bool gone = false;

    Window tooltipWindow = 0;
    cairo_surface_t* tooltipSurface = nullptr; // an image, put into the window
    std::string tooltipText;
    int tooltipWidth = 0;
    int tooltipHeight = 0;

    X11MenuPresenter presenter;
};

} // namespace VSTGUI
