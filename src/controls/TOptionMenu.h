// The control for every stepped parameter chosen from a list, and for the preset and folder
// selectors: the current choice as text in a dark box, a pop-up list on a click, optional
// "-"/"+" zones that step without opening the list, previous/next arrows in preset mode (right
// end, stepping the program) or folder mode (left end), and a blinking indicator square.
//
// The menu's value is the index of the chosen entry; the editor fills the entries and turns a
// choice into the parameter's stepped value.
#pragma once

#include <string>

#include "gui/vstgui.h"

class TOptionMenu : public VSTGUI::COptionMenu {
public:
    TOptionMenu(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int32_t tag,
                VSTGUI::CBitmap* background = nullptr, VSTGUI::CBitmap* backgroundWhenClicked = nullptr,
                int32_t style = 0, bool centred = true, bool deltaButtons = false);
    ~TOptionMenu() override;

    void setString(const char* s);
    void setString(const std::string& s);
    const std::string& getString() const { return text; }

    // Selector modes; they do not redraw (the editor sets them while building a screen).
    void setPresetMenu();
    void setFolderMenu();
    void setDeltaOff();

    void setBypassed(bool state);
    void setOn(bool on) { setBypassed(!on); }
    void setInvisible(bool state);
    void setIndicator(bool on, int phase);

    bool isBypassed() const { return bypassed; }
    bool isInvisible() const { return invisible; }
    bool isPresetMenu() const { return presetMenu; }
    bool isFolderMenu() const { return folderMenu; }
    bool hasDeltaButtons() const { return deltaButtons; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;

private:
    // The text shown for the tag: a few tags name their current choice themselves.
    std::string shownText() const;
    void drawPathRows(VSTGUI::CDrawContext* c, int path);
    void drawArrows(VSTGUI::CDrawContext* c);

    bool invisible = false;
    bool deltaButtons;
    bool folderMenu = false;
    bool presetMenu = false;
    bool bypassed = false;
    bool indicatorOn = false;
    int indicatorPhase = 0;
    std::string text = " ";
    int textAlign;
};
