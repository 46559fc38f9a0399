// Time to draw the editor-sized frame off-screen: 1132 x 779 pixels with 150 vector knobs and
// their captions over a background bitmap, at 100 % and at 200 % (2264 x 1558, everything twice
// as large), and the repaint of a single knob.
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/vstgui.h"

using namespace VSTGUI;

namespace {

// A knob drawn the way the editor's knobs are: outer disc, centre mark, inner disc, a
// modulation arc and the value dot, anti-aliased.
class BenchKnob : public CControl {
public:
    BenchKnob(const CRect& r, float scale) : CControl(r, nullptr, 0), scale(scale) {}

    void draw(CDrawContext* c) override {
        const CRect& r = getViewSize();
        const double rad = r.getWidth() / 2;
        const double cx = r.left + rad, cy = r.top + rad;
        auto box = [&](double f) { return CRect(cx - f * rad, cy - f * rad, cx + f * rad, cy + f * rad); };
        c->setDrawMode(kAntiAliasing);
        c->setFillColor(CColor(63, 68, 11));
        c->drawEllipse(box(0.9), kDrawFilled);
        c->setLineWidth(2 * scale);
        c->setFrameColor(CColor(117, 127, 9));
        c->drawLine(CPoint(cx, cy), CPoint(cx, r.top + 0.1 * r.getHeight()));
        c->setFillColor(CColor(117, 127, 9));
        c->drawEllipse(box(0.3), kDrawFilled);
        const float v = getValue();
        const float mod = std::min(1.f, v + 0.2f);
        c->drawArc(box(0.84), (0.71f * v - 0.6f) * 360.f, (0.71f * mod - 0.6f) * 360.f, kDrawStroked);
        const double a = 2 * 3.14159 * (0.71 * v - 0.6);
        const double dx = cx + 0.57 * rad * std::cos(a), dy = cy + 0.57 * rad * std::sin(a);
        c->setFillColor(CColor(202, 217, 48));
        c->drawEllipse(CRect(dx - 0.22 * rad, dy - 0.22 * rad, dx + 0.22 * rad, dy + 0.22 * rad), kDrawFilled);
        c->setDrawMode(kAliasing);
    }

private:
    float scale;
};

CBitmap* background(int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, w, h);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.10, 0.11, 0.06);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.20, 0.22, 0.10);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    cairo_destroy(cr);
    CBitmap* b = new CBitmap(s);
    cairo_surface_destroy(s);
    return b;
}

struct Result {
    double fullMs;
    double oneKnobMs;
};

Result measure(float scale, const char* pngFolder) {
    const int w = static_cast<int>(1132 * scale), h = static_cast<int>(779 * scale);
    auto* frame = new CFrame(CRect(0, 0, w, h), nullptr);
    frame->open(nullptr, PlatformType::kOffscreen);
    CBitmap* bg = background(w, h);
    frame->setBackground(bg);
    bg->forget();
    CFontDesc captionFont("Verdana", 9 * scale, kBoldFace);
    std::vector<BenchKnob*> knobs;
    const int cols = 15, rows = 10;
    const double knob = 48 * scale;
    for (int i = 0; i < cols * rows; ++i) {
        const double x = (10 + (i % cols) * 74.5) * scale;
        const double y = (10 + (i / cols) * 76.5) * scale;
        auto* k = new BenchKnob(CRect(x, y, x + knob, y + knob), scale);
        k->setValue((i % 17) / 16.f);
        frame->addView(k);
        knobs.push_back(k);
        auto* label = new CTextLabel(CRect(x - 6 * scale, y + knob, x + knob + 6 * scale, y + knob + 12 * scale), "CUTOFF");
        label->setFont(&captionFont);
        label->setFontColor(CColor(197, 213, 26));
        label->setTransparency(true);
        label->setStyle(kNoFrame);
        frame->addView(label);
    }
    OffscreenRenderer renderer(frame);
    renderer.renderAll(); // warm caches (fonts, glyphs)

    using Clock = std::chrono::steady_clock;
    std::vector<double> full, one;
    for (int run = 0; run < 15; ++run) {
        const auto t0 = Clock::now();
        renderer.renderAll();
        full.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    for (int run = 0; run < 50; ++run) {
        knobs[static_cast<std::size_t>(run) % knobs.size()]->setValue((run % 10) / 9.f);
        const auto t0 = Clock::now();
        renderer.renderInvalid();
        one.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    if (pngFolder) renderer.writePng(std::string(pngFolder) + "/bench-gui-" + std::to_string(static_cast<int>(scale * 100)) + ".png");
    frame->close();
    std::sort(full.begin(), full.end());
    std::sort(one.begin(), one.end());
    return Result{full[full.size() / 2], one[one.size() / 2]};
}

} // namespace

// With a folder argument the frames are also written there as PNG.
int main(int argc, char** argv) {
    const char* pngFolder = argc > 1 ? argv[1] : nullptr;
    std::printf("GUI drawing, off-screen (median of repeated runs)\n");
    for (const float scale : {1.f, 2.f}) {
        const Result r = measure(scale, pngFolder);
        std::printf("  %3.0f %%  frame %4d x %4d, 150 knobs: full frame %7.2f ms, one knob repainted %6.3f ms\n",
                    scale * 100, static_cast<int>(1132 * scale), static_cast<int>(779 * scale), r.fullMs, r.oneKnobMs);
    }
    return 0;
}
