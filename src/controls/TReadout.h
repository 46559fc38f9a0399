// A one-line text box the editor writes into: value readouts, section titles, the preset
// name. Optionally on the dark menu background, in the big black font, and a momentary button
// (value 1 while pressed, reported through the listener).
#pragma once

#include <string>

#include "gui/vstgui.h"

class TReadout : public VSTGUI::CControl {
public:
    TReadout(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, const std::string& text, bool centred,
             bool background);
    TReadout(const TReadout& other) = default;
    ~TReadout() override;

    void setString(const std::string& s);
    const std::string& getString() const { return text; }
    // Set once after construction; neither redraws.
    void setReactToMouse() { reactToMouse = true; }
    void setBigFont() { bigFont = true; }

    VSTGUI::CView* newCopy() const override { return new TReadout(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;

private:
    bool background;
    bool reactToMouse = false;
    bool bigFont = false;
    std::string text;
    int textAlign;
};

// Momentary press shared by the readouts: 1 while the left button is held, 0 on release.
namespace treadout {
VSTGUI::CMouseEventResult press(VSTGUI::CControl* c, bool reactToMouse, const VSTGUI::CButtonState& buttons);
VSTGUI::CMouseEventResult release(VSTGUI::CControl* c);
} // namespace treadout
