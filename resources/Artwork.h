// The pictures of the editor, one drawing function per resource id. Each draws one cell of
// the bitmap (cell 0 of a one-cell picture, the state of a two-state strip, the frame of a
// knob strip) in 100 % units on a transparent cairo context already scaled to the size.
#pragma once

#include "ArtworkPaint.h"

namespace artwork {

// Returns false for an id this generator does not know.
bool drawCell(Painter& p, int id, int cell, int cells);

// The three page backgrounds (ArtworkPages.cpp).
void drawMainPage(Painter& p);
void drawEasyPage(Painter& p);
void drawBackPage(Painter& p);

// Section containers and control strips (ArtworkParts.cpp). Source types: 0 Wire, 1 String,
// 2 FM, 3 Wave.
void drawLayerHeader(Painter& p, int source);
void drawLayerKnobs(Painter& p, int source);
void drawEasyLayerLeft(Painter& p, int source);
void drawEasyLayerRight(Painter& p, int source);
void drawSoftBox(Painter& p, double w, double h);
void drawModMatrixPage(Painter& p);
void drawVelSplitPage(Painter& p);
void drawLed(Painter& p, bool on);
void drawLabelledSwitch(Painter& p, bool on);
void drawPreviewButton(Painter& p, bool on);
void drawRibbonTrack(Painter& p);
void drawRibbonHandle(Painter& p);
void drawRibbonMarker(Painter& p);
void drawKnobFrame(Painter& p, double diameter, double value, bool marked);
void drawKnobHandle(Painter& p, double diameter);

} // namespace artwork
