// Time to draw each control class of the editor once, and the editor's whole main page, at
// 100 % and 200 %. The controls stand in a frame of their own whose editor is a real plug-in's
// editor, opened off-screen with the linked-in artwork.
//
//   tavrolune-bench-controls
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "controls/TArpScreen.h"
#include "controls/TControlLook.h"
#include "controls/TChordScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/THSlider.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TLine.h"
#include "controls/TMenuButton.h"
#include "controls/TModScreen.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

double medianMs(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeRenders(CFrame* frame, int runs) {
    OffscreenRenderer r(frame);
    r.renderAll();
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        r.renderAll();
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return medianMs(t);
}

struct Maker {
    const char* name;
    CRect size; // at 100 %
    std::function<CView*(const CRect&, uEditor*, int big)> make;
};

void benchSize(int big) {
    const char* keys[4] = {"Big100", "Big125", "Big150", "Big200"};
    for (int k = 0; k < 4; ++k) saveBoolToPrefs(keys[k], k == big);
    auto* plugin = new APlugin(hostCallback);
    auto* editor = static_cast<uEditor*>(static_cast<AEffGUIEditor*>(plugin->getEditor()));
    plugin->dispatcher(effEditOpen, 0, 0, nullptr, 0);
    const double s = tlook::SCALE[big];
    auto sc = [s](const CRect& r) { return CRect(r.left * s, r.top * s, r.right * s, r.bottom * s); };

    const std::vector<Maker> makers = {
        {"TKnob", CRect(4, 4, 52, 52), [](const CRect& r, uEditor* e, int) -> CView* {
             return new TKnob(r, e, 20, nullptr, nullptr, CPoint(), true, static_cast<int>(r.getWidth()), 0);
         }},
        {"THSlider", CRect(4, 4, 818, 24), [](const CRect& r, uEditor* e, int b) -> CView* { return new THSlider(r, e, 126, b, true); }},
        {"TOnOff", CRect(4, 4, 17, 17), [](const CRect& r, uEditor* e, int) -> CView* { return new TOnOff(r, e, 251, nullptr, false, 0); }},
        {"TKickButton", CRect(4, 4, 64, 20), [](const CRect& r, uEditor* e, int) -> CView* { return new TKickButton(r, e, "Preview", 1); }},
        {"TRadioButton", CRect(4, 4, 17, 17), [](const CRect& r, uEditor* e, int) -> CView* { return new TRadioButton(r, e, 0, 0, false); }},
        {"TReadout", CRect(4, 4, 204, 20), [](const CRect& r, uEditor* e, int) -> CView* { return new TReadout(r, e, "Filter Cutoff", true, true); }},
        {"TReadoutString", CRect(4, 4, 204, 20), [](const CRect& r, uEditor* e, int) -> CView* {
             return new TReadoutString(r, e, "Tavrolune", false, true, false);
         }},
        {"TLabel", CRect(4, 4, 64, 14), [](const CRect& r, uEditor*, int b) -> CView* {
             return new TLabel(r, "CUTOFF", tlook::FONT_SIZES[b], CColor(197, 213, 26), 1, 63);
         }},
        {"TOptionMenu", CRect(4, 4, 124, 20), [](const CRect& r, uEditor* e, int) -> CView* {
             auto* m = new TOptionMenu(r, e, 244, nullptr, nullptr, kPopupStyle, true, true);
             for (const char* t : {"Poly", "Mono", "Legato"}) m->addEntry(t);
             return m;
         }},
        {"TMenuButton", CRect(4, 4, 64, 20), [](const CRect& r, uEditor* e, int) -> CView* { return new TMenuButton(r, e, "Menu", 6, false, false); }},
        {"TLine", CRect(4, 4, 284, 6), [](const CRect& r, uEditor* e, int) -> CView* { return new TLine(r, e); }},
        {"TGatorDisplay", CRect(4, 4, 264, 20), [](const CRect& r, uEditor* e, int) -> CView* { return new TGatorDisplay(r, e, 111); }},
        {"TModScreen", CRect(4, 4, 288, 130), [](const CRect& r, uEditor* e, int b) -> CView* { return new TModScreen(r, e, b); }},
        {"TArpScreen", CRect(4, 4, 560, 140), [](const CRect& r, uEditor* e, int b) -> CView* { return new TArpScreen(r, e, b); }},
        {"TWaveScreen", CRect(4, 4, 124, 64), [](const CRect& r, uEditor* e, int) -> CView* { return new TWaveScreen(r, e, 0, true); }},
        {"TChordScreen", CRect(4, 4, 159, 89), [](const CRect& r, uEditor* e, int b) -> CView* { return new TChordScreen(r, e, b); }},
        {"TVelSplitScreen", CRect(4, 4, 288, 130), [](const CRect& r, uEditor* e, int b) -> CView* { return new TVelSplitScreen(r, e, b); }},
    };
    std::printf("  %3d %%:\n", static_cast<int>(s * 100));
    for (const Maker& m : makers) {
        const CRect r = sc(m.size);
        auto* frame = new CFrame(CRect(0, 0, r.right + 4 * s, r.bottom + 4 * s), editor);
        frame->open(nullptr, PlatformType::kOffscreen);
        frame->addView(m.make(r, editor, big));
        std::printf("    %-16s %8.3f ms\n", m.name, timeRenders(frame, 41));
        frame->close();
    }
    if (CFrame* f = editor->getFrame()) {
        std::printf("    %-16s %8.3f ms  (%d controls registered)\n", "main/easy page", timeRenders(f, 11),
                    editor->getControlCount());
    }
    plugin->dispatcher(effEditClose, 0, 0, nullptr, 0);
    plugin->dispatcher(effClose, 0, 0, nullptr, 0);
}

} // namespace

int main() {
    char scratch[] = "/tmp/tav-bench-controls-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    // Preferences of this run only.
    setenv("XDG_CONFIG_HOME", scratch, 1);
    setenv("XDG_DATA_HOME", scratch, 1);
    setenv("HOME", scratch, 1);
    std::printf("Drawing each control class once, off-screen (median of repeated renders)\n");
    benchSize(0);
    benchSize(3);
    std::filesystem::remove_all(scratch);
    return 0;
}
