// The ribbon controller of the main screen: a handle dragged along a horizontal track. The
// ribbon may be centred (rest in the middle), may spring back to rest after the release (the
// plug-in moves the parameter; the editor's refresh calls setCurValue so the handle follows),
// and may be quantised to a number of positions. Handle, centre mark and modulation marker
// are the editor's ribbon bitmaps.
//
// Mouse: a press jumps to the pointer and drags (Shift: 1/20 of the speed); a double click
// sets the default, Ctrl-click the rest position, Ctrl+Shift the value the program was loaded
// with, Alt asks for a typed value, a right click opens the MIDI menu; the wheel steps the
// parameter through the plug-in.
#pragma once

#include "gui/vstgui.h"

class THSlider : public VSTGUI::CControl {
public:
    THSlider(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int32_t tag, int big, bool centred);

    void setCentered(bool centred);
    bool getCentered() const { return centred; }
    // The modulated ribbon value; a second call with the same refresh counter is ignored.
    void setModValue(float v, int counter);
    float getModValue() const { return modValue; }
    // Follows a springing ribbon (the editor's refresh; nothing while dragged).
    void setCurValue();
    // Where the handle's centre sits for a value, with the plug-in's quantisation.
    int positionOf(float value) const;
    int getTrackStart() const { return trackStart; }
    float getTrackWidth() const { return trackWidth; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseCancel() override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    bool attached(VSTGUI::CView* parent) override;
    VSTGUI::CView* newCopy() const override { return new THSlider(*this); }

private:
    void endDrag();

    bool centred;
    bool dragging = false;
    // The drag opened only the host's gesture (the spring was set at the press); the release
    // closes the same kind of gesture it opened.
    bool hostGestureOnly = false;
    int trackStart;
    int modCounter = 0;
    float lastX = 0.f;
    float modValue = 0.f;
    float curValue = 0.f;
    float lastSeen = -1.f;  // the plug-in's value at the last follow; -1: none since shown
    float trackWidth;
};
