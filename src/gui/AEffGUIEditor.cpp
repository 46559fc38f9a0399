#include "gui/AEffGUIEditor.h"

#include "gui/GuiRuntime.h"
#include "platform/dialogs.h"
#include "vst/AudioEffectX.h"

namespace VSTGUI {

AEffGUIEditor::AEffGUIEditor(void* effect) : AEffEditor(static_cast<AudioEffect*>(effect)) {
    rect.top = rect.left = rect.bottom = rect.right = 0;
}

AEffGUIEditor::~AEffGUIEditor() {
    // The host closes the editor before deleting it; a frame left open is released anyway.
    if (frame) {
        CFrame* f = frame;
        frame = nullptr;
        f->close();
    }
}

bool AEffGUIEditor::getRect(ERect** ppRect) {
    if (!ppRect) return false;
    *ppRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    recordUIThread();
    AEffEditor::open(ptr);
    return true;
}

void AEffGUIEditor::claimDialogs() {
    platform::dialogSetParentWindow(frame ? frame->getTopLevelWindow() : 0);
}

void AEffGUIEditor::close() {
    if (!checkUIThread("AEffGUIEditor::close")) return;
    if (frame) {
        // Boxes no longer open over a window that goes away.
        const unsigned long top = frame->getTopLevelWindow();
        if (top && platform::dialogParentWindow() == top) platform::dialogSetParentWindow(0);
        CFrame* f = frame;
        frame = nullptr;
        f->close();
    }
    AEffEditor::close();
}

void AEffGUIEditor::pumpEvents() {
    if (!frame || !checkUIThread("AEffGUIEditor::pumpEvents")) return;
    claimDialogs();
    frame->pumpEvents();
}

void AEffGUIEditor::idle() {
    if (!frame || !checkUIThread("AEffGUIEditor::idle")) return;
    CBaseObjectGuard guard(frame);
    claimDialogs();
    frame->pumpEvents();
    if (frame) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    if (!frame) return false;
    claimDialogs();
    return frame->platformOnKeyDown(keyCode) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    if (!frame) return false;
    claimDialogs();
    return frame->platformOnKeyUp(keyCode) == 1;
}

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) return false;
    claimDialogs();
    CPoint where;
    frame->getCurrentMouseLocation(where);
    return frame->platformOnMouseWheel(where, distance, frame->getCurrentMouseButtons().getModifierState());
}

bool AEffGUIEditor::setKnobMode(VstInt32 val) {
    if (val < kCircularMode || val > kLinearMode) return false;
    knobMode = val;
    return true;
}

int32_t AEffGUIEditor::getKnobMode() const { return knobMode >= 0 ? knobMode : CFrame::kDefaultKnobMode; }

void AEffGUIEditor::beginEdit(int32_t index) {
    // Hosts are told only of parameters the plug-in has: some crash on other indexes, and
    // controls that are no parameter (tag 9999) bracket their gestures too.
    auto* fx = dynamic_cast<AudioEffectX*>(effect);
    if (!fx || index < 0 || index >= fx->getAeffect()->numParams) return;
    fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
    auto* fx = dynamic_cast<AudioEffectX*>(effect);
    if (!fx || index < 0 || index >= fx->getAeffect()->numParams) return;
    fx->endEdit(index);
}

void AEffGUIEditor::doIdleStuff() {
    if (inIdleStuff) return;
    inIdleStuff = true;
    pumpEvents();
    if (frame) frame->idle();
    if (effect) effect->masterIdle();
    inIdleStuff = false;
}

uint32_t AEffGUIEditor::getTicks() const { return guiTicks(); }

} // namespace VSTGUI
