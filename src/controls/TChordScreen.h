// One of the four user chords as six note columns of bars and texts, in three views:
// semitone and fine tuning, volume, pan. A press on a column makes its bar jump to the
// pointer and a vertical drag moves it; the editor's chord and view radios choose what is
// shown.
#pragma once

#include "gui/vstgui.h"

class APlugin;

class TChordScreen : public VSTGUI::CControl {
public:
    enum Mode { kTuneView = 0, kVolumeView = 1, kPanView = 2 };
    static constexpr int kNotes = 6;

    TChordScreen(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int sizeIndex);

    // Both store the value (clamped to the chords and views there are) and always redraw.
    void setChord(int c);
    void setMode(int m);
    int getChord() const { return chord; }
    int getMode() const { return mode; }
    // The note column under the last press or wheel event.
    int getNote() const { return note; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    void setViewSize(const VSTGUI::CRect& rect, bool invalidate = true) override;
    VSTGUI::CView* newCopy() const override { return new TChordScreen(*this); }

private:
    void computeGeometry();
    // The note column under x (0..5).
    int noteAt(double x) const;
    // The parameter a press or wheel at dy below the top edits in the current view.
    int tagFor(int column, double dy) const;
    bool isFineTag(int tag) const;
    // The drag distance that spans the whole value range of the edited tag.
    float dragSpan() const;
    void drawNote(VSTGUI::CDrawContext* context, APlugin* plugin, int k, double fontSize);

    bool mouseDown = false;
    int selectedTag = -1;
    int note = 0;
    int halfHeight = 0;
    int halfBar = 0;
    int barHeight = 0;
    int sizeIndex;
    int chord = 0;
    int mode = kTuneView;
    int noteX[kNotes + 1] = {};
    float heightF = 0, halfHeightF = 0, barHeightF = 0, halfBarF = 0;
    float dragPos = 0;
    VSTGUI::CPoint lastPoint;
};
