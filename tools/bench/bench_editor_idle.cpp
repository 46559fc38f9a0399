// Cost of one idle call of the editor with the main page showing while 16 notes play and an
// LFO modulates eight knobs: the calls that run the 50 ms step and the calls in between. The
// audio is rendered between calls on the same thread (not timed), and what a step marked for
// redrawing is painted off-screen afterwards (not timed), as a window would.
//
//   tavrolune-bench-editor-idle
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "editor/uEditor.h"
#include "platform/prefs.h"
#include "gui/OffscreenRenderer.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Stats {
    double median, p99, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 99 / 100], v.back()};
}

}  // namespace

int main() {
    char scratch[] = "/tmp/tav-bench-editor-idle-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    setenv("XDG_CONFIG_HOME", scratch, 1);
    setenv("XDG_DATA_HOME", scratch, 1);
    setenv("HOME", scratch, 1);
    saveStringToPrefs("AdvancedDisplay", "Y");

    constexpr int kRate = 48000, kBlock = 2400;  // one 50 ms step of audio
    auto* plugin = new APlugin(hostCallback);
    plugin->setSampleRate(static_cast<float>(kRate));
    plugin->dispatcher(effMainsChanged, 0, 1, nullptr, 0);
    setManualGuiClock(1000);
    plugin->dispatcher(effEditOpen, 0, 0, nullptr, 0);
    auto* editor = static_cast<uEditor*>(static_cast<AEffGUIEditor*>(plugin->getEditor()));
    OffscreenRenderer painter(editor->getFrame());
    painter.renderAll();

    // LFO 1 onto eight knobs of the main page, then 16 notes.
    const int tags[8] = {3, 2, 105, 113, 120, 398, 1, 6};
    for (int slot = 0; slot < 8; ++slot) plugin->setModSlotVar(slot, false, 0.7f, 98, plugin->getTagDest(tags[slot]));
    plugin->setParameter(102, 0.75f);  // LFO 1 speed
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    plugin->processReplacing(in, out, kBlock);
    for (int n = 0; n < 16; ++n) plugin->midiNoteDown(40 + 3 * n, 100, 0);

    std::vector<double> steps, between;
    auto timedIdle = [&](std::vector<double>& into) {
        const auto t0 = std::chrono::steady_clock::now();
        plugin->dispatcher(effEditIdle, 0, 0, nullptr, 0);
        into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    };
    for (int i = 0; i < 1200; ++i) {  // one minute of editor time
        plugin->processReplacing(in, out, kBlock);
        advanceManualGuiClock(40);
        timedIdle(between);
        advanceManualGuiClock(10);
        timedIdle(steps);
        painter.renderInvalid();
    }
    const Stats s = stats(steps), b = stats(between);
    std::printf("Editor idle call, main page, 16 notes, LFO on 8 knobs (still sounding: %s)\n",
                plugin->getIsAnyVoicePlaying() ? "yes" : "no");
    std::printf("  with the 50 ms step:  median %.3f ms  99%% %.3f ms  max %.3f ms\n", s.median, s.p99, s.max);
    std::printf("  between steps:        median %.3f ms  99%% %.3f ms  max %.3f ms\n", b.median, b.p99, b.max);

    plugin->dispatcher(effEditClose, 0, 0, nullptr, 0);
    plugin->dispatcher(effClose, 0, 0, nullptr, 0);
    useSystemGuiClock();
    std::filesystem::remove_all(scratch);
    return 0;
}
