// Helpers of the GUI tests: images to draw on and read back, views and listeners that record
// what reaches them, and guards for the process-wide GUI state a test changes.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/vstgui.h"

namespace guitest {

using namespace VSTGUI;

// An ARGB image filled with one colour, with a drawing context on it.
class Canvas {
public:
    Canvas(int w, int h, CColor background = kBlackCColor) : w(w), h(h) {
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgba(cr, background.red / 255.0, background.green / 255.0, background.blue / 255.0,
                              background.alpha / 255.0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        context = new CDrawContext(surface);
    }
    ~Canvas() {
        delete context;
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    CDrawContext* operator->() { return context; }
    CDrawContext* ctx() { return context; }

    CColor at(int x, int y) {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const uint32_t px = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
        return CColor((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF, px >> 24);
    }
    // The pixels that differ from `bg`.
    std::vector<std::pair<int, int>> changed(CColor bg) {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != bg) out.emplace_back(x, y);
        return out;
    }
    int width() const { return w; }
    int height() const { return h; }
    cairo_surface_t* image() const { return surface; }

private:
    int w, h;
    cairo_surface_t* surface;
    CDrawContext* context;
};

// A bitmap of horizontal stripes, each `stripe` pixels high, in the given colours.
inline CBitmap* stripedBitmap(int width, int stripe, const std::vector<CColor>& colors) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, stripe * static_cast<int>(colors.size()));
    cairo_t* cr = cairo_create(s);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const CColor& c = colors[i];
        cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
        cairo_rectangle(cr, 0, static_cast<double>(i) * stripe, width, stripe);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    CBitmap* b = new CBitmap(s);
    cairo_surface_destroy(s);
    return b;
}

// A view that fills itself with a colour and records what reaches it.
class ProbeView : public CView {
public:
    explicit ProbeView(const CRect& r, CColor color = kWhiteCColor,
                       CMouseEventResult downAnswer = kMouseEventHandled)
        : CView(r), color(color), downAnswer(downAnswer) {}
    ~ProbeView() override {
        if (destroyed) *destroyed = true;
    }

    void draw(CDrawContext* c) override {
        ++draws;
        c->setFillColor(color);
        c->drawRect(getViewSize(), kDrawFilled);
    }
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& b) override {
        log.push_back("down " + pt(where) + " " + std::to_string(b.getButtonState()));
        lastButtons = b;
        return downAnswer;
    }
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState&) override {
        log.push_back("move " + pt(where));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState&) override {
        log.push_back("up " + pt(where));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseCancel() override {
        log.push_back("cancel");
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint& where, const float& d, const CButtonState&) override {
        log.push_back("wheel " + pt(where) + " " + std::to_string(static_cast<int>(d)));
        return wheelAnswer;
    }
    int32_t onKeyDown(VstKeyCode& k) override {
        log.push_back("key " + std::to_string(k.virt));
        return keyAnswer;
    }

    static std::string pt(const CPoint& p) {
        return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y));
    }

    CColor color;
    CMouseEventResult downAnswer;
    bool wheelAnswer = true;
    int32_t keyAnswer = -1;
    int draws = 0;
    CButtonState lastButtons;
    std::vector<std::string> log;
    bool* destroyed = nullptr;
};

// A container that records the wheel events that bubble up to it.
class ProbeContainer : public CViewContainer {
public:
    explicit ProbeContainer(const CRect& r) : CViewContainer(r) {}
    bool onWheel(const CPoint& where, const float&, const CButtonState&) override {
        log.push_back("wheel " + ProbeView::pt(where));
        return wheelAnswer;
    }
    bool wheelAnswer = true;
    std::vector<std::string> log;
};

class RecordingListener : public IControlListener {
public:
    void valueChanged(CControl* c) override {
        changes.push_back(c->getValue());
        controls.push_back(c);
    }
    int32_t controlModifierClicked(CControl*, CButtonState b) override {
        modifierClicks.push_back(b);
        return modifierAnswer;
    }
    void controlBeginEdit(CControl*) override { ++begins; }
    void controlEndEdit(CControl*) override { ++ends; }

    std::vector<float> changes;
    std::vector<CControl*> controls;
    std::vector<int32_t> modifierClicks;
    int32_t modifierAnswer = 0;
    int begins = 0;
    int ends = 0;
};

// An editor that records the host gestures the frame forwards.
class RecordingEditor : public VSTGUIEditorInterface {
public:
    void beginEdit(int32_t index) override { edits.push_back("begin " + std::to_string(index)); }
    void endEdit(int32_t index) override { edits.push_back("end " + std::to_string(index)); }
    int32_t getKnobMode() const override { return knobMode; }
    std::vector<std::string> edits;
    int32_t knobMode = kLinearMode;
};

// An off-screen frame for a test; closed (and released) at the end of the scope.
class OffscreenFrame {
public:
    explicit OffscreenFrame(const CRect& size, VSTGUIEditorInterface* editor = nullptr) {
        frame = new CFrame(size, editor);
        frame->open(nullptr, PlatformType::kOffscreen);
    }
    ~OffscreenFrame() {
        if (frame) frame->close();
    }
    CFrame* operator->() const { return frame; }
    CFrame* get() const { return frame; }
    void click(const CPoint& p, CButtonState b = kLButton) {
        frame->platformOnMouseDown(p, b);
        frame->platformOnMouseUp(p, b);
    }
    CFrame* frame = nullptr;
};

// Resets the process-wide GUI state a test changes.
class GuiStateGuard {
public:
    GuiStateGuard() {
        resetGuiFaultCounts();
        setGuiFaultHandler([this](GuiFault f, const char* what) {
            faults.emplace_back(f, what ? what : "");
        });
    }
    ~GuiStateGuard() {
        setGuiFaultHandler(nullptr);
        setMenuPresenter(nullptr);
        useSystemGuiClock();
        CBitmap::setResourceFolder("");
        clearUIThread();
    }
    std::vector<std::pair<GuiFault, std::string>> faults;
};

} // namespace guitest
