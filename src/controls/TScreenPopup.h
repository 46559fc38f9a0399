// The pop-up lists that section screens open at the pointer (source and destination lists of
// the matrix, chord and ratchet lists of the arp grid). The menu lives in the frame only while
// it is up; the screen reads back the title of the entry the user chose.
#pragma once

#include <string>

#include "gui/vstgui.h"

namespace tscreen {

// An empty pop-up list (also for submenus): no listener, no tag, never drawn itself.
VSTGUI::COptionMenu* newPopupList();

struct PopupChoice {
    bool chosen = false;      // false: dismissed
    bool topLevel = false;    // the entry lies in the top list, not in a submenu
    int index = -1;           // its index in the list that held it
    std::string title;
};

// Pops `menu` up on a 20 x 20 rectangle centred on the pointer in the frame of `view`, then
// takes it out of the frame again. Consumes the caller's reference of `menu`.
PopupChoice popupAtPointer(VSTGUI::CView* view, VSTGUI::COptionMenu* menu);

} // namespace tscreen
