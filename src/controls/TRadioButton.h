// One button of a radio group (LFO 1/2, chord 1 to 4, chord view, mod-matrix and
// velocity-split pages): a vector LED, the editor's LED strip, or its label (bright when
// selected, dim otherwise). It carries no parameter (tag 9999); the editor switches the group
// when a button reports itself selected, and steps the group with the wheel.
#pragma once

#include <string>

#include "gui/vstgui.h"

class TRadioButton : public VSTGUI::CControl {
public:
    TRadioButton(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int group, int index,
                 bool bitmapLook);

    // Stores the label (one blank for an empty one) without redrawing.
    void setString(const std::string& text);
    // Set the value without telling the listener; redraw only on a change.
    void setState(bool on);
    void setOn();
    void setOff();

    int getGroup() const { return group; }
    int getIndex() const { return index; }
    const std::string& getString() const { return label; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CView* newCopy() const override { return new TRadioButton(*this); }

private:
    int group;
    int index;
    std::string label = " ";
    bool bitmapLook;
    bool hasLabel = false;
};
