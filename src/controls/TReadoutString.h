// A one-line text in black or white in the largest standard font (the same at every editor
// size), optionally a momentary button like TReadout.
#pragma once

#include <string>

#include "gui/vstgui.h"

class TReadoutString : public VSTGUI::CControl {
public:
    TReadoutString(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, const std::string& text, bool black,
                   bool centred, bool reactToMouse);
    TReadoutString(const TReadoutString& other) = default;
    ~TReadoutString() override;

    void setString(const std::string& s);
    std::string getString() const { return text; }

    VSTGUI::CView* newCopy() const override { return new TReadoutString(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;

private:
    bool reactToMouse;
    std::string text;
    VSTGUI::CColor colour;
    int textAlign;
};
