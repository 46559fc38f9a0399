// What a frame needs from the place it is shown in: a real X11 window, or nothing at all
// (an off-screen frame, drawn by OffscreenRenderer). Internal to the GUI layer.
#pragma once

#include <memory>
#include <string>

#include "gui/GuiTypes.h"

namespace VSTGUI {

class CFrame;
class IMenuPresenter;

class IPlatformWindow {
public:
    virtual ~IPlatformWindow() = default;

    // Handles the window system's pending events, then repaints what is invalid.
    virtual void pumpEvents() = 0;
    // Repaints the frame's invalid region now.
    virtual void paint() = 0;
    // The pointer position in frame coordinates and the buttons and modifiers held, when the
    // window system can tell.
    virtual bool queryPointer(CPoint& /*where*/, CButtonState& /*state*/) { return false; }
    virtual void showTooltip(const CPoint& frameWhere, const std::string& text) = 0;
    virtual void hideTooltip() = 0;
    virtual IMenuPresenter* menuPresenter() = 0;
    // Asks for the keyboard focus (a text field started editing).
    virtual void takeKeyboardFocus() {}
    virtual void* getSystemWindow() const = 0;
    // The top-level window that holds this one (the host's window on the desktop), for
    // boxes that should open over it; 0 when there is none.
    virtual unsigned long getTopLevelWindow() const { return 0; }
    virtual bool isOffscreen() const = 0;
};

// A frame without a window: nothing is shown, pop-up menus are dismissed at once (unless a
// process-wide presenter is installed), tooltips are only recorded.
std::unique_ptr<IPlatformWindow> createOffscreenWindow(CFrame* frame);
// A child window of the X11 window `parent`; null when no display or window can be had.
std::unique_ptr<IPlatformWindow> createX11Window(CFrame* frame, unsigned long parent);

} // namespace VSTGUI
