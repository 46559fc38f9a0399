// A small host for the X11 test: it makes a top-level window of its own, opens an effect's
// editor in it through the edit opcodes (a frame with a title, an on/off button, a knob and a
// menu with a submenu), idles it every 10 ms and answers commands on its standard input:
//   sync          handle pending events, repaint, wait for the server   -> OK
//   render PATH   draw the same frame off-screen into a PNG             -> OK
//   state         the controls' values and what reached the listener    -> STATE ...
//   close         close the editor; the parent's children and the live GUI objects left
//                                                                        -> CLOSED children=N live=M
//   quit          end
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "gui/X11Window.h"
#include "gui/vstgui.h"
#include "vst/AudioEffectX.h"

using namespace VSTGUI;

namespace {

int gBeginEdits = 0;
int gEndEdits = 0;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterBeginEdit) ++gBeginEdits;
    if (opcode == audioMasterEndEdit) ++gEndEdits;
    return 0;
}

class TestEffect : public AudioEffectX {
public:
    TestEffect() : AudioEffectX(hostCallback, 1, 8) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

CBitmap* onOffStrip() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 80);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.35, 0.05, 0.05);
    cairo_rectangle(cr, 0, 0, 40, 40);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.85, 0.2);
    cairo_rectangle(cr, 0, 40, 40, 40);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 14, 54, 12, 12);
    cairo_fill(cr);
    cairo_destroy(cr);
    CBitmap* b = new CBitmap(s);
    cairo_surface_destroy(s);
    return b;
}

CBitmap* knobStrip(int frames, int size) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size * frames);
    cairo_t* cr = cairo_create(s);
    for (int i = 0; i < frames; ++i) {
        const double cx = size / 2.0, cy = i * size + size / 2.0, r = size / 2.0 - 3;
        cairo_set_source_rgb(cr, 0.25, 0.27, 0.05);
        cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
        cairo_fill(cr);
        const double a = (135.0 + 270.0 * i / (frames - 1)) * M_PI / 180.0;
        cairo_set_source_rgb(cr, 0.8, 0.85, 0.2);
        cairo_set_line_width(cr, 4);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        cairo_stroke(cr);
    }
    cairo_destroy(cr);
    CBitmap* b = new CBitmap(s);
    cairo_surface_destroy(s);
    return b;
}

class HostEditor : public AEffGUIEditor, public IControlListener {
public:
    explicit HostEditor(AudioEffect* fx) : AEffGUIEditor(fx) {
        rect.top = rect.left = 0;
        rect.right = 360;
        rect.bottom = 240;
        setKnobMode(kLinearMode);
    }

    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), this);
        frame->setBackgroundColor(CColor(30, 30, 40));
        auto* title = new CTextLabel(CRect(10, 6, 350, 30), "Tavrolune GUI test");
        title->setFont(kNormalFontBig);
        title->setFontColor(kWhiteCColor);
        title->setBackColor(CColor(30, 30, 40));
        title->setStyle(kNoFrame);
        frame->addView(title);

        CBitmap* strip = onOffStrip();
        onOff = new COnOffButton(CRect(20, 50, 60, 90), this, 1, strip);
        strip->forget();
        frame->addView(onOff);

        CBitmap* kstrip = knobStrip(31, 60);
        knob = new CAnimKnob(CRect(100, 40, 160, 100), this, 2, kstrip);
        kstrip->forget();
        knob->setWheelInc(0.1f);
        frame->addView(knob);

        menu = new COptionMenu(CRect(190, 50, 340, 74), this, 3);
        menu->setFont(kNormalFont);
        menu->setFontColor(kWhiteCColor);
        menu->setBackColor(CColor(70, 70, 90));
        menu->setFrameColor(CColor(150, 150, 170));
        for (const char* t : {"Sine", "Triangle", "-", "-GGreyed", "Square"}) menu->addEntry(t);
        auto* more = new COptionMenu();
        more->addEntry("Noise");
        more->addEntry("Pulse");
        menu->addEntry(more, "More");
        more->forget();
        frame->addView(menu);

        field = new CTextEdit(CRect(190, 120, 340, 144), this, 9999, "64");
        field->setFont(kNormalFont);
        field->setFontColor(kBlackCColor);
        field->setBackColor(CColor(230, 230, 230));
        field->setFrameColor(CColor(120, 120, 120));
        frame->addView(field);

        onOff->setTooltipText("Layer on/off");

        auto* note = new CTextLabel(CRect(10, 200, 350, 230), "right click the menu");
        note->setFont(kNormalFontSmall);
        note->setFontColor(CColor(180, 180, 180));
        note->setBackColor(CColor(30, 30, 40));
        note->setStyle(kNoFrame);
        note->setHoriAlign(kLeftText);
        frame->addView(note);

        return frame->open(ptr);
    }

    void close() override {
        onOff = nullptr;
        knob = nullptr;
        menu = nullptr;
        field = nullptr;
        AEffGUIEditor::close();
    }

    void valueChanged(CControl* c) override {
        ++changes;
        if (c == menu) {
            int32_t idx = -1;
            COptionMenu* last = menu->getLastItemMenu(idx);
            chosen = last ? last->getCurrentTitle() : "";
        }
    }

    void syncDisplay() {
        if (!frame) return;
        if (auto* w = dynamic_cast<X11Window*>(frame->getPlatformWindow())) XSync(w->getDisplay(), False);
    }

    COnOffButton* onOff = nullptr;
    CAnimKnob* knob = nullptr;
    COptionMenu* menu = nullptr;
    CTextEdit* field = nullptr;
    int changes = 0;
    std::string chosen;
};

void reply(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int childCount(Display* d, Window w) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return -1;
    if (children) XFree(children);
    return static_cast<int>(n);
}

} // namespace

int main() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        reply("ERROR no display");
        return 2;
    }
    const int screen = DefaultScreen(d);
    Window parent = XCreateSimpleWindow(d, RootWindow(d, screen), 20, 20, 400, 300, 0, BlackPixel(d, screen),
                                        WhitePixel(d, screen));
    XStoreName(d, parent, "gui test host");
    XSelectInput(d, parent, StructureNotifyMask);
    XMapWindow(d, parent);
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == MapNotify) break;
    }

    const int64_t baseline = CBaseObject::liveObjects();
    auto* effect = new TestEffect;
    auto* editor = new HostEditor(effect);
    effect->setEditor(editor);
    ERect* r = nullptr;
    effect->dispatcher(effEditGetRect, 0, 0, &r, 0);
    if (!r || effect->dispatcher(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), 0) != 1 ||
        !editor->getFrame() || !editor->getFrame()->isOpen()) {
        reply("ERROR open failed");
        return 3;
    }
    char line[512];
    std::snprintf(line, sizeof line, "READY %lu %lu %d %d", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(editor->getFrame()->getSystemWindow())),
                  static_cast<unsigned long>(parent), r->right - r->left, r->bottom - r->top);
    reply(line);

    std::string pending;
    bool running = true;
    while (running) {
        pollfd p{0, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            char buf[512];
            const ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) break;
            pending.append(buf, static_cast<std::size_t>(n));
        }
        std::size_t nl;
        while (running && (nl = pending.find('\n')) != std::string::npos) {
            const std::string cmd = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (cmd == "sync") {
                effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
                editor->syncDisplay();
                effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
                editor->syncDisplay();
                reply("OK");
            } else if (cmd.rfind("render ", 0) == 0) {
                if (!editor->getFrame()) {
                    reply("ERROR closed");
                    continue;
                }
                OffscreenRenderer renderer(editor->getFrame());
                renderer.snapshot();
                reply(renderer.writePng(cmd.substr(7)) ? "OK" : "ERROR png");
            } else if (cmd == "state") {
                if (!editor->getFrame()) {
                    reply("ERROR closed");
                    continue;
                }
                std::snprintf(line, sizeof line,
                              "STATE onoff=%.3f knob=%.3f menu=%d chosen=%s text=%s editing=%d tooltip=%s begins=%d "
                              "ends=%d changes=%d",
                              editor->onOff->getValue(), editor->knob->getValue(), editor->menu->getCurrent(),
                              editor->chosen.empty() ? "-" : editor->chosen.c_str(), editor->field->getText().data(),
                              editor->field->isTextEditing() ? 1 : 0,
                              editor->getFrame()->getShownTooltip().empty() ? "-" : "shown", gBeginEdits, gEndEdits,
                              editor->changes);
                reply(line);
            } else if (cmd == "close") {
                effect->dispatcher(effEditClose, 0, 0, nullptr, 0);
                XSync(d, False);
                std::snprintf(line, sizeof line, "CLOSED children=%d live=%lld", childCount(d, parent),
                              static_cast<long long>(CBaseObject::liveObjects() - baseline));
                reply(line);
            } else if (cmd == "quit") {
                running = false;
            } else if (!cmd.empty()) {
                reply("ERROR unknown command");
            }
        }
        if (running) effect->dispatcher(effEditIdle, 0, 0, nullptr, 0);
    }
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0);
    delete effect; // deletes the editor
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
    return 0;
}
