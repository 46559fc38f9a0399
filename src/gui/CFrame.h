// The root of a view tree and its window.
//
// A frame is made with its size and its editor, filled with views, and opened: on an X11
// window id (a child window of the host's window is created, see X11Window.cpp) or
// off-screen (PlatformType::kOffscreen, or a null window). Events reach the views through the
// platform* entry points, which the window and the off-screen tools call alike:
// - a press goes to the topmost visible, mouse-enabled view under the pointer; a press the
//   view answers with kMouseEventHandled captures the following moves and the release, also
//   outside the view; kMouseDownEventHandledButDontNeedMovedOrUpEvents captures nothing;
// - a second press of the same button within 400 ms and 4 pixels carries kDoubleClick;
// - the wheel goes to the deepest view under the pointer and, while it answers false, to
//   its parents;
// - keys go to the keyboard hooks first, then to the focus view.
// Everything here runs on the UI thread: the thread that opened the frame (checked).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/CViewContainer.h"

namespace VSTGUI {

class CDrawContext;
class CFrame;
class IMenuPresenter;
class IPlatformWindow;

// The editor as the views see it (CView::getEditor()).
class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() = default;
    // Keeps the host alive during long operations.
    virtual void doIdleStuff() {}
    virtual int32_t getKnobMode() const { return 0; }
    // The host's edit gesture of a parameter.
    virtual void beginEdit(int32_t /*index*/) {}
    virtual void endEdit(int32_t /*index*/) {}
    virtual CFrame* getFrame() const { return frame; }

protected:
    CFrame* frame = nullptr;
};

// Sees every key before the focus view; an answer other than -1 ends the key's way.
class IKeyboardHook {
public:
    virtual ~IKeyboardHook() = default;
    virtual int32_t onKeyDown(const VstKeyCode& code, CFrame* frame) = 0;
    virtual int32_t onKeyUp(const VstKeyCode& code, CFrame* frame) = 0;
};

enum class PlatformType { kX11EmbedWindowID, kDefaultNative, kOffscreen };

class IPlatformFrameConfig {
public:
    virtual ~IPlatformFrameConfig() = default;
};

enum CKnobMode { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

class CFrame : public CViewContainer {
public:
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Opens the frame: on kX11EmbedWindowID / kDefaultNative `systemWindow` is the X11 id of
    // the parent window; kOffscreen or a null window open it without a window. False when
    // already open or when no window could be made (the frame then stays closed).
    bool open(void* systemWindow, PlatformType type = PlatformType::kDefaultNative,
              IPlatformFrameConfig* config = nullptr);
    // Destroys the window, releases every view still attached and gives back the creator's
    // reference: the pointer must not be used afterwards.
    void close();
    bool isOpen() const { return opened; }
    bool isOffscreen() const;
    // The frame's own window (an X11 window id), null off-screen.
    void* getSystemWindow() const;
    // The top-level window on the desktop that shows the frame (an X11 window id), 0
    // off-screen.
    unsigned long getTopLevelWindow() const;

    VSTGUIEditorInterface* getEditor() const { return editor; }
    // Marks dirty views for repainting and repaints; shows tooltips.
    void idle();
    // Handles the window system's pending events and repaints what they made invalid.
    void pumpEvents();

    void registerKeyboardHook(IKeyboardHook* hook);
    void unregisterKeyboardHook(IKeyboardHook* hook);
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    void looseFocus() override;

    // Where the pointer is, in frame coordinates (the last position the frame saw when the
    // window system cannot tell).
    bool getCurrentMouseLocation(CPoint& where) const;
    CButtonState getCurrentMouseButtons() const;

    // The host's edit gesture, through the editor.
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    int32_t getKnobMode() const;
    // The knob mode of controls whose editor does not choose one.
    static int32_t kDefaultKnobMode;

    // Tooltips appear after the pointer rested this long on a view with a tooltip.
    static constexpr uint32_t kTooltipDelay = 800;
    // The tooltip shown now (empty when none).
    const std::string& getShownTooltip() const { return shownTooltip; }

    // ---- The window system's entry points (also used by off-screen tools) ----
    CMouseEventResult platformOnMouseDown(const CPoint& where, CButtonState buttons);
    CMouseEventResult platformOnMouseMoved(const CPoint& where, CButtonState buttons);
    CMouseEventResult platformOnMouseUp(const CPoint& where, CButtonState buttons);
    void platformOnMouseExited();
    bool platformOnMouseWheel(const CPoint& where, float distance, CButtonState buttons);
    int32_t platformOnKeyDown(VstKeyCode key);
    int32_t platformOnKeyUp(VstKeyCode key);
    // Draws the frame's part inside `rect` (frame coordinates) on the context.
    void platformDrawRect(CDrawContext* context, const CRect& rect);
    // The region waiting to be repainted, emptied.
    std::vector<CRect> takeInvalidRegion();
    const std::vector<CRect>& getInvalidRegion() const { return invalidRegion; }

    // ---- Pop-ups ----
    // The presenter of this frame's pop-up menus (the window's own, or the off-screen one).
    IMenuPresenter* getMenuPresenter() const;
    // Counts modal pop-ups, so that a press that opened one does not capture the mouse.
    void popupStarted();
    IPlatformWindow* getPlatformWindow() const { return platform.get(); }

    // ---- CView / CViewContainer ----
    void invalid() override;
    void invalidRect(const CRect& rect) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    void drawBackgroundRect(CDrawContext* context, const CRect& rect) override;
    CFrame* asFrame() override { return this; }
    const CFrame* asFrame() const override { return this; }

    // A view is leaving the tree: forget it as focus, hover and tooltip view.
    void viewWillBeRemoved(CView* view, bool notify);

private:
    void updateHover(const CPoint& where, CButtonState buttons);
    void hideTooltip();
    void updateTooltip();
    void shutdown();

    VSTGUIEditorInterface* editor;
    std::unique_ptr<IPlatformWindow> platform;
    // A window closed while it was handling events is destroyed when it has returned.
    std::unique_ptr<IPlatformWindow> retiredPlatform;
    int platformBusy = 0;
    std::vector<IKeyboardHook*> keyboardHooks;
    std::vector<CRect> invalidRegion;
    CView* focusView = nullptr;
    CView* hoverView = nullptr;
    bool opened = false;
    bool changingFocus = false;

    CPoint mouseLocation;
    CButtonState mouseButtons;
    uint32_t hoverSince = 0;
    std::string shownTooltip;

    uint32_t lastClickTime = 0;
    CPoint lastClickWhere;
    int32_t lastClickButton = 0;
    bool lastClickWasDouble = false;
    bool haveLastClick = false;

    uint32_t popupCount = 0;
};

} // namespace VSTGUI
