// The VST 2 editor on top of the GUI layer: the host's window rectangle, open/close, the idle
// calls, keys, the wheel, edit gestures and a millisecond clock.
//
// A subclass builds its frame in open():
//     bool open(void* ptr) override {
//         AEffGUIEditor::open(ptr);                     // records the UI thread
//         frame = new CFrame(CRect(0, 0, w, h), this);
//         frame->open(ptr);                             // a child of the host's window ptr
//         ... add views ...
//         return true;
//     }
// and takes it down in close() (frame->close() releases the frame; AEffGUIEditor::close()
// does that for a frame still held in `frame`).
//
// idle() pumps the window's events and then lets the frame repaint. A subclass that overrides
// idle() and does its own work at a lower rate must still call pumpEvents() on every call, so
// that input is handled as the host idles, and AEffGUIEditor::idle() when it repaints.
#pragma once

#include <cstdint>

#include "gui/CFrame.h"
#include "vst/AEffEditor.h"

class AudioEffect;

namespace VSTGUI {

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
public:
    explicit AEffGUIEditor(void* effect);
    ~AEffGUIEditor() override;

    // Called by the plug-in for a parameter change while the editor is open.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}

    // The rectangle the window needs; valid before open (subclasses set `rect`).
    bool getRect(ERect** ppRect) override;
    bool open(void* ptr) override;
    void close() override;
    bool isOpen() override { return systemWindow != nullptr || (frame && frame->isOpen()); }
    void idle() override;
    // The key goes to the frame (keyboard hooks, then the focus view).
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // The wheel as the host forwards it: to the view under the mouse.
    bool onWheel(float distance) override;
    // 0 circular, 1 relative circular, 2 linear.
    bool setKnobMode(VstInt32 val) override;
    int32_t getKnobMode() const override;

    // Edit gestures reach the effect's host only for the effect's own parameter indexes.
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    void doIdleStuff() override;

    // Handles the window's pending events (and repaints what they made invalid).
    void pumpEvents();
    // Milliseconds of the GUI clock (guiTicks; tests can drive it).
    uint32_t getTicks() const;

    CFrame* getFrame() const override { return frame; }

protected:
    // Makes the frame's top-level window the one this thread's dialog boxes and file
    // selectors open over (none off-screen). Called whenever the editor handles events, so
    // with several editors on one thread each box opens over the editor that asked for it.
    void claimDialogs();

    ERect rect;

private:
    int32_t knobMode = -1; // -1: CFrame::kDefaultKnobMode
    bool inIdleStuff = false;
};

} // namespace VSTGUI
