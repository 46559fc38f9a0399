// The arpeggiator's step grid: 16 steps by 8 rows (on/off, tie, slide, tune, velocity, chord,
// free value, ratchets), each cell one parameter. It marks the playing step and the loop
// start; switch rows toggle by click, value rows are dragged, chord and ratchet cells chosen
// from pop-up lists, every cell stepped with the wheel, and a right click opens the arp menu.
#pragma once

#include "gui/vstgui.h"

class TArpScreen : public VSTGUI::CControl {
public:
    TArpScreen(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int sizeIndex);
    TArpScreen(const TArpScreen& other) = default;

    // The playing step; outside 0..15 no step LED shows. Redraws only on a change.
    void setLedStep(int step);

    int getLedPos() const { return ledStep; }
    bool getMouseDown() const { return mouseDown; }
    int getSelectedArpTag() const { return selectedTag; }
    int getArpStep(double x) const;
    int getArpRow(double y) const;

    // Lock-aware cell access; nothing happens without a plug-in.
    float getArpValue(int tag);
    bool getArpOnOff(int tag);
    void setArpValue(int tag, float value);
    void toggleArpVar(int tag);

    VSTGUI::CView* newCopy() const override;
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseCancel() override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    bool removed(VSTGUI::CView* parent) override;

private:
    void chooseFromList(const char* const* names, int count);
    void endDrag();

    bool mouseDown = false;
    int sizeIndex;
    int ledStep = -1;
    int selectedTag = -1;
    int step = 0;
    int row = 0;
    int rowTop[8];
    int rowBottom[8];
    float scale;
    float dragValue = 0.0f;
    VSTGUI::CPoint lastPoint;
    VSTGUI::CFontRef font;
    // The cell whose edit gesture the host was told of (-1: none open).
    int hostGestureTag = -1;
};
