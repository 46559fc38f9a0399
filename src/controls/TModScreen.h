// The modulation matrix as a text table: eight slots, each a row of slot number (the slot's
// bypass switch), source, destination and amount. Source and destination are chosen from
// pop-up lists, the amount is dragged or stepped with the wheel, a right click opens the
// matrix menu of the slot.
#pragma once

#include "gui/vstgui.h"

class TModScreen : public VSTGUI::CControl {
public:
    TModScreen(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int sizeIndex);
    TModScreen(const TModScreen& other) = default;

    static int getModSlot(int i) { return i < 0 ? 0 : (i > 7 ? 7 : i); }
    int getModSlotFromY(double y) const;
    // The column 0..3 under x; a gap between columns, or beyond the last, is the amount column.
    int getModCol(double x) const;
    int getSlot() const { return slot; }

    VSTGUI::CView* newCopy() const override;
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseCancel() override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    bool removed(VSTGUI::CView* parent) override;

private:
    void chooseFromList(bool source);
    void endAmountDrag();

    int sizeIndex;
    int amountTag = -1;
    int pressTag = -1;
    int slot = 0;
    float dragScale = 0.0f;
    float dragStart = 0.0f;
    VSTGUI::CPoint lastPoint;
    VSTGUI::CPoint pressPoint;
    VSTGUI::CFontRef font;
    // The amount whose edit gesture the host was told of (-1: none open).
    int hostGestureTag = -1;
};
