// Drawing a frame into an image: for tests, screenshots and benchmarks. Events are fed to a
// frame through its platform* entry points (CFrame.h).
#pragma once

#include <string>
#include <vector>

#include "gui/GuiTypes.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CFrame;
class CView;

class OffscreenRenderer {
public:
    // Draws `frame` (not owned; it must be open, off-screen or in a window) into an image of
    // its size.
    explicit OffscreenRenderer(CFrame* frame);
    ~OffscreenRenderer();

    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // The whole frame, as a window would paint it (dirty states are cleared).
    void renderAll();
    // What a window's idle step paints: dirty views become invalid (CFrame::idle), then only
    // the frame's invalid region is drawn and emptied. Returns the rectangles drawn.
    std::vector<CRect> renderInvalid();
    // The whole frame as it looks now, leaving dirty states and the invalid region alone (for
    // a frame that a window shows too).
    void snapshot();

    cairo_surface_t* getImage() const { return image; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    CColor getPixel(int x, int y) const;
    bool writePng(const std::string& path) const;

private:
    CFrame* frame;
    cairo_surface_t* image = nullptr;
    int width = 0;
    int height = 0;
};

// The view tree under `root`, one line per view, children indented by two blanks:
// class name, tag (controls), rectangle, visible or hidden, attached or detached.
std::string dumpViewTree(const CView* root);

} // namespace VSTGUI
