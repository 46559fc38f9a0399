// Helpers of the control tests: an editor that stands in for the real one (a real plug-in
// behind it, menu requests recorded, edit gestures reaching the plug-in's recording host), a
// listener that writes parameter controls to the plug-in with host automation as the editor
// does, and an off-screen frame of the size a test needs at one of the four editor sizes.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "gui_support/GuiTestKit.h"
#include "plugin/uPlugin.h"
#include "support/PluginHarness.h"

namespace guitest {

class FakeControlEditor : public AEffGUIEditor, public TControlEditor {
public:
    explicit FakeControlEditor(PluginHarness& h, int big = 0) : AEffGUIEditor(&h.plugin()), h(h), big(big) {}

    APlugin* getPlugin() const override { return withPlugin ? &h.plugin() : nullptr; }
    bool getEditorFinishedOpening() const override { return finishedOpening; }
    int getBig() const override { return big; }
    int getSelectedChord() const override { return selectedChord; }
    bool getAnimation() const override { return animation; }
    bool getDragAndDrop() const override { return dragAndDrop; }
    bool isDroppable(int tag) const override { return tag >= 0 && tag < 1024; }
    CBitmap* getEditorBitmap(int id) const override {
        for (auto& b : bitmaps)
            if (b.first == id) return b.second;
        return nullptr;
    }
    std::string getDestStr(int d) const override { return "Dest " + std::to_string(d); }
    std::string getDestShortStr(int d) const override { return "D" + std::to_string(d); }

    void changeProgramDelta(int delta, bool) override { log("program " + std::to_string(delta)); }
    void changeRadioDelta(int group, int delta) override {
        log("radio " + std::to_string(group) + " " + std::to_string(delta));
    }
    void setDropTag(int tag) override { log("drop " + std::to_string(tag)); }
    void releasedDropDial() override { log("released"); }
    void setSectionUndo(int s) override { log("undo " + std::to_string(s)); }
    void resetSection(int s, int skip) override { log("reset " + std::to_string(s) + " " + std::to_string(skip)); }
    void setSectionToOrig(int s) override { log("orig " + std::to_string(s)); }

    void showMIDIMenu(CControl* c, bool slider) override {
        log(std::string(slider ? "midimenu slider " : "midimenu ") + std::to_string(c ? c->getTag() : -1));
    }
    void showControlMenu() override { log("controlmenu"); }
    void showECSMenu() override { log("ecsmenu"); }
    void showLayerMenu(int l) override { log("layermenu " + std::to_string(l)); }
    void showLFOMenu() override { log("lfomenu"); }
    void showDistortMenu() override { log("distortmenu"); }
    void showModFXMenu() override { log("modfxmenu"); }
    void showDelayMenu() override { log("delaymenu"); }
    void showReverbMenu() override { log("reverbmenu"); }
    void showPathMenu() override { log("pathmenu"); }
    void showPlayMenu() override { log("playmenu"); }
    void showAmpMenu() override { log("ampmenu"); }
    void showStrumMenu(int tag) override { log("strummenu " + std::to_string(tag)); }
    void showGaterMenu() override { log("gatermenu"); }
    void showModMenu(int slot) override { log("modmenu " + std::to_string(slot)); }
    void showArpMenu(int row, int step, bool onCell) override {
        log("arpmenu " + std::to_string(row) + " " + std::to_string(step) + (onCell ? " cell" : ""));
    }
    void showChordMenu(int note) override { log("chordmenu " + std::to_string(note)); }
    void showVelSplitMenu() override { log("velsplitmenu"); }
    void showOutputMenu(int layer) override { log("outputmenu " + std::to_string(layer)); }

    void log(const std::string& s) { calls.push_back(s); }
    bool called(const std::string& s) const {
        for (auto& c : calls)
            if (c == s) return true;
        return false;
    }

    PluginHarness& h;
    int big;
    bool finishedOpening = true;
    bool withPlugin = true;
    int selectedChord = 0;
    bool animation = true;
    bool dragAndDrop = true;
    std::vector<std::pair<int, CBitmap*>> bitmaps;
    std::vector<std::string> calls;
};

class AutomatingListener : public RecordingListener {
public:
    void valueChanged(CControl* c) override {
        RecordingListener::valueChanged(c);
        APlugin* plugin = controlPlugin(c);
        if (plugin && tlook::isParameterTag(c->getTag())) plugin->setParameterAutomated(c->getTag(), c->getValue());
    }
};

// A plug-in, a fake editor and an off-screen frame at one editor size, with the background
// painted black; the frame is closed first at the end of the scope.
class ControlBench {
public:
    explicit ControlBench(int big = 0, CRect size = CRect(0, 0, 400, 300)) : editor(h, big) {
        frame = new CFrame(size, &editor);
        frame->open(nullptr, PlatformType::kOffscreen);
    }
    ~ControlBench() {
        if (frame) frame->close();
    }
    // Adds a control (the frame owns it).
    template <class T>
    T* add(T* view) {
        frame->addView(view);
        return view;
    }
    void click(const CPoint& p, CButtonState b = kLButton) {
        frame->platformOnMouseDown(p, b);
        frame->platformOnMouseUp(p, b);
    }
    void drag(const CPoint& from, const CPoint& to, CButtonState b = kLButton, int steps = 4) {
        frame->platformOnMouseDown(from, b);
        for (int i = 1; i <= steps; ++i)
            frame->platformOnMouseMoved(CPoint(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps), b);
        frame->platformOnMouseUp(to, b);
    }
    void wheel(const CPoint& p, float d, CButtonState b = 0) { frame->platformOnMouseWheel(p, d, b); }
    // Renders the whole frame and answers the pixel at (x, y).
    CColor pixel(int x, int y) {
        render();
        return renderer->getPixel(x, y);
    }
    void render() {
        if (!renderer) renderer.reset(new OffscreenRenderer(frame));
        renderer->renderAll();
    }
    // The pixels of `r` (frame coordinates), row by row.
    std::vector<CColor> grab(const CRect& r) {
        render();
        std::vector<CColor> out;
        for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y)
            for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) out.push_back(renderer->getPixel(x, y));
        return out;
    }
    int maxGreen(const CRect& r) {
        int g = 0;
        for (CColor c : grab(r)) g = std::max<int>(g, c.green);
        return g;
    }
    // Pixels of `r` (frame coordinates) that differ from black.
    int litPixels(const CRect& r) {
        render();
        int n = 0;
        for (int y = static_cast<int>(r.top); y < static_cast<int>(r.bottom); ++y)
            for (int x = static_cast<int>(r.left); x < static_cast<int>(r.right); ++x) {
                const CColor c = renderer->getPixel(x, y);
                if (c.red > 8 || c.green > 8 || c.blue > 8) ++n;
            }
        return n;
    }
    // Every edit gesture the host heard is balanced and names a real parameter.
    bool gesturesBalanced() {
        const HostRecord& r = h.host();
        if (r.beginEdits.size() != r.endEdits.size()) return false;
        for (int t : r.beginEdits)
            if (t < 0 || t >= 1024) return false;
        for (auto& a : r.automated)
            if (a.first < 0 || a.first >= 1024) return false;
        return true;
    }

    GuiStateGuard guard;
    PluginHarness h;
    FakeControlEditor editor;
    CFrame* frame = nullptr;
    std::unique_ptr<OffscreenRenderer> renderer;
};

} // namespace guitest
