// A static caption (knob names, section labels): one or more lines ("!" separates them) in a
// font and colour the editor chooses, with a dimmed state and a blinking indicator that
// switches the text between its colour and its dimmed colour. No listener, no mouse input.
#pragma once

#include <string>

#include "gui/vstgui.h"

class TLabel : public VSTGUI::CParamDisplay {
public:
    // alignMode 0 left, 2 right, any other value centred.
    TLabel(const VSTGUI::CRect& size, const std::string& text, VSTGUI::CFontRef font, VSTGUI::CColor colour,
           int alignMode, uint8_t dimmedAlpha);
    ~TLabel() override;

    void setString(const std::string& s);
    const std::string& getString() const { return text; }
    // A new colour; its dimmed variant takes the usual alpha 63.
    void setColor(VSTGUI::CColor c);
    VSTGUI::CColor getColor() const { return colour; }
    VSTGUI::CColor getDimmedColor() const { return dimmedColour; }

    void setIndicator(bool on, int phase);
    void setBypassed(bool state);
    void setInvisible(bool state);
    void setOn(bool on) { setBypassed(!on); }

    void draw(VSTGUI::CDrawContext* context) override;

private:
    bool invisible = false;
    bool bypassed = false;
    bool indicatorOn = false;
    int indicatorPhase = 0;
    std::string text;
    VSTGUI::CFontRef labelFont;
    VSTGUI::CColor colour;
    VSTGUI::CColor dimmedColour;
    int textAlign;
};
