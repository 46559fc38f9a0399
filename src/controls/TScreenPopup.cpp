#include "controls/TScreenPopup.h"

#include "controls/TControlLook.h"

using namespace VSTGUI;

namespace tscreen {

COptionMenu* newPopupList() {
    return new COptionMenu(CRect(0, 0, 20, 20), nullptr, tlook::NO_PARAMETER_TAG, nullptr, nullptr,
                           kPopupStyle | kNoDrawStyle);
}

PopupChoice popupAtPointer(CView* view, COptionMenu* menu) {
    PopupChoice out;
    CFrame* frame = view ? view->getFrame() : nullptr;
    if (!frame) {
        menu->forget();
        return out;
    }
    CPoint p;
    frame->getCurrentMouseLocation(p);
    menu->setViewSize(CRect(p.x - 10, p.y - 10, p.x + 10, p.y + 10), false);
    menu->setMouseableArea(menu->getViewSize());
    CBaseObjectGuard keep(menu);
    frame->addView(menu);
    menu->popup();
    frame->setFocusView(nullptr);
    int32_t index = -1;
    if (COptionMenu* held = menu->getLastItemMenu(index)) {
        out.chosen = true;
        out.topLevel = held == menu;
        out.index = index;
        out.title = held->getCurrentTitle();
    }
    frame->removeView(menu, true);
    return out;
}

} // namespace tscreen
