// What the custom controls ask of the editor that holds them. The editor object derives from
// this interface; tests stand a recording fake in its place. Controls keep no pointer to the
// editor or the plug-in: they ask their frame's editor on every draw and every event (see
// controlEditor() below), so a control outside an open editor does nothing.
//
// Everything here runs on the UI thread.
#pragma once

#include <string>

#include "gui/vstgui.h"

class APlugin;

class TControlEditor {
public:
    virtual ~TControlEditor() = default;

    // ---- the editor's state -------------------------------------------------------------
    // The plug-in the editor belongs to (null when there is none).
    virtual APlugin* getPlugin() const = 0;
    // True from the last step of opening the window until it closes; controls draw nothing
    // while it is false.
    virtual bool getEditorFinishedOpening() const = 0;
    // The size index 0..3 (100, 125, 150, 200 %), fixed while the editor is open.
    virtual int getBig() const = 0;
    // trunc(v x scale of the size) plus the correction for that size (none at size 0).
    virtual int getScaled(int v, int c125 = 0, int c150 = 0, int c200 = 0) const;
    // The chord 0..3 the chord section shows.
    virtual int getSelectedChord() const = 0;
    // The "Animation" and "DragAndDrop" preference bytes, and whether a tag's knob may be
    // dropped onto the modulation matrix.
    virtual bool getAnimation() const = 0;
    virtual bool getDragAndDrop() const = 0;
    virtual bool isDroppable(int tag) const = 0;
    // A bitmap of the editor by its 100 % resource id (10060 the LED strip, 10065..10067
    // the ribbon's track, handle and modulation marker), at the editor's size; null when the
    // artwork lacks it. The editor keeps ownership.
    virtual VSTGUI::CBitmap* getEditorBitmap(int id) const = 0;
    // The destination names with the current distortion and filter names filled in.
    virtual std::string getDestStr(int dest) const = 0;
    virtual std::string getDestShortStr(int dest) const = 0;

    // ---- requests -----------------------------------------------------------------------
    virtual void changeProgramDelta(int delta, bool flag) = 0;
    virtual void changeFolderDelta(int /*delta*/, bool /*flag*/) {}
    // Steps a radio group with wrap-around: 0 LFO 1/2, 1 and 4 matrix / velocity-split page,
    // 2 chord 1..4, 3 chord view (tune, volume, pan).
    virtual void changeRadioDelta(int group, int delta) = 0;
    // A knob drag starts (tag) or ends: the modulation matrix's drop candidate.
    virtual void setDropTag(int tag) = 0;
    virtual void releasedDropDial() = 0;
    // Section commands (section numbers as the section lists number them).
    virtual void setSectionUndo(int section) = 0;
    virtual void resetSection(int section, int skip) = 0;
    virtual void setSectionToOrig(int section) = 0;

    // ---- menus, each popped up at the pointer -------------------------------------------
    virtual void showMIDIMenu(VSTGUI::CControl* control, bool isSlider) = 0;
    virtual void showControlMenu() = 0;
    virtual void showECSMenu() = 0;
    virtual void showLayerMenu(int layer) = 0;
    virtual void showLFOMenu() = 0;
    virtual void showDistortMenu() = 0;
    virtual void showModFXMenu() = 0;
    virtual void showDelayMenu() = 0;
    virtual void showReverbMenu() = 0;
    virtual void showPathMenu() = 0;
    virtual void showPlayMenu() = 0;
    virtual void showAmpMenu() = 0;
    virtual void showStrumMenu(int tag) = 0;
    virtual void showGaterMenu() = 0;
    virtual void showModMenu(int slot) = 0;
    virtual void showArpMenu(int row, int step, bool onCell) = 0;
    virtual void showChordMenu(int note) = 0;
    virtual void showVelSplitMenu() = 0;
    virtual void showOutputMenu(int layer) = 0;
};

// The editor of the frame that holds `view`, or null when the view is in no frame or the
// frame's editor is not one of ours.
TControlEditor* controlEditor(const VSTGUI::CView* view);
// The plug-in behind that editor, or null.
APlugin* controlPlugin(const VSTGUI::CView* view);
// The editor when it has finished opening (a control may draw), else null.
TControlEditor* drawingEditor(const VSTGUI::CView* view);
