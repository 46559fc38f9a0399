// A momentary command button: value 1 while pressed with the pointer inside it, 0 after the
// release. It carries no parameter (tag 9999); the editor knows it by pointer. Looks: a vector
// LED, a text, the editor's LED strip, or one of four arrow shapes.
#pragma once

#include <string>

#include "gui/vstgui.h"

class TKickButton : public VSTGUI::CKickButton {
public:
    enum Style {
        kLedStyle = 0,
        kLabelStyle = 1,
        kLedBitmapStyle = 2,
        kArrowLeftStyle = 3,
        kDoubleArrowLeftStyle = 4,
        kArrowRightStyle = 5,
        kDoubleArrowRightStyle = 6,
    };

    TKickButton(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, const std::string& label, int style);

    // Each redraws only when the state changes.
    void setAlwaysOn(bool on);
    void setInvisible(bool invisible);
    void setBypassed(bool bypassed);
    void setLabel(const std::string& text);

    bool getAlwaysOn() const { return alwaysOn; }
    bool getBypassed() const { return bypassed; }
    const std::string& getLabel() const { return label; }
    int getStyle() const { return style; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseCancel() override;
    VSTGUI::CView* newCopy() const override { return new TKickButton(*this); }

private:
    void drawArrows(VSTGUI::CDrawContext* context);

    bool alwaysOn = false;
    bool invisible = false;
    bool bypassed = false;
    std::string label;
    int style;
    float entryValue = 0.f;
};
