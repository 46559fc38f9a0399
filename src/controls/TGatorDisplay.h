// One side of the Gator step pattern: a row of 16 on/off step cells. The control value is the
// side's gate step mask parameter (tag 111 left, 112 right); parameter 110 (the pattern
// length) says how many cells play and are filled. A click flips one step, the wheel changes
// the length, a right click opens the Gator menu.
#pragma once

#include "gui/vstgui.h"

class TGatorDisplay : public VSTGUI::CControl {
public:
    TGatorDisplay(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int32_t tag);
    TGatorDisplay(const TGatorDisplay& other) = default;

    // A 16-bit step mask packed into a parameter value and back: bit k is step k. The half
    // step keeps the mask clear of truncation; "all on" and "all off" are written as exactly
    // 1.0 and 0.0 instead.
    static int maskFromValue(float value);
    static float valueFromMask(int mask);

    // Each marks the display for redrawing only when the stored value changes.
    void setOn(bool state);
    void setInvisible(bool state);
    // The playing step; outside 0..15 no marker shows.
    void setGaterPos(int pos);

    bool getOn() const { return on; }
    bool getInvisible() const { return invisible; }
    int getGaterPos() const { return gaterPos; }
    int getStepCount() const { return stepCount; }

    VSTGUI::CView* newCopy() const override { return new TGatorDisplay(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;

private:
    bool invisible = false;
    bool on = true;
    int stepCount = 15;
    int gaterPos = 1;
    float stepWidth;
};
