// The clickable area that opens one of the editor's section menus, fixed by its menu type.
// Type 2 is the chord section's strum value button instead: a box with "-" and "+" zones that
// edits the strum length of the chord shown and opens the strum menu between the zones.
// A button draws nothing (it lies over the section's name in the background), an always-lit
// LED, or the delta-zone box with its label.
#pragma once

#include <string>

#include "gui/vstgui.h"

// What a menu button opens.
enum MenuButtonType {
    kMenuControl = 0,
    kMenuECS = 1,
    kMenuStrum = 2,
    kMenuLayer1 = 3,
    kMenuLayer2 = 4,
    kMenuLayer3 = 5,
    kMenuLFO = 6,
    kMenuArp = 7,
    kMenuChord = 8,
    kMenuMod = 9,
    kMenuVelSplit = 10,
    kMenuDistort = 11,
    kMenuModFX = 12,
    kMenuDelay = 13,
    kMenuReverb = 14,
    kMenuPath = 15,
    kMenuPlay = 16,
    kMenuAmp = 17,
};

class TMenuButton : public VSTGUI::CControl {
public:
    TMenuButton(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, const std::string& label,
                int menuType, bool ledLook, bool deltaLook);
    TMenuButton(const TMenuButton& other) = default;
    ~TMenuButton() override;

    void setString(const std::string& s);
    const std::string& getString() const { return label; }
    int getMenuType() const { return menuType; }
    // A bare click area (a section's title opens its menu): nothing of it is drawn.
    bool isClickArea() const { return !ledLook && !deltaLook; }

    VSTGUI::CView* newCopy() const override { return new TMenuButton(*this); }
    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;

private:
    void openMenu();
    VSTGUI::CMouseEventResult strumPress(const VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons);
    // The strum tag of the chord the chord section shows.
    int strumTag() const;

    bool ledLook;
    bool deltaLook;
    int menuType;
    std::string label;
};
