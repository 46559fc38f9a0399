// Renders the editor's three pages at the four sizes to PNG files, with the linked-in artwork:
// OUTDIR/editor-<page>-<percent>.png. The editor is opened off-screen on a plug-in of its own,
// with preferences kept in a scratch folder, and idled on a clock of its own through the
// editor's 50 ms steps, so each page shows what a window shows once its sections filled in.
//
//   tavrolune-editor-shots OUTDIR
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/uEditor.h"
#include "gui/GuiRuntime.h"
#include "gui/OffscreenRenderer.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Shows the back page through the editor's own switch when it has one, else by attaching the
// page's registered controls the way a page switch does.
class ShotEditor : public uEditor {
public:
    explicit ShotEditor(APlugin* p) : uEditor(p) {}
    void showBack() { showBackPage(this, 0); }

private:
    template <class E>
    static auto showBackPage(E* e, int) -> decltype(e->showBackScreen(), void()) {
        e->showBackScreen();
    }
    template <class E>
    static void showBackPage(E* e, long) {
        e->frame->removeAll(true);
        e->frame->setBackground(e->getEditorBitmap(10002));
        e->screenMode = kPageBack;
        std::vector<CView*> sectionViews;
        e->collectSectionViews(sectionViews);
        e->attachPageControls(kPageBack, sectionViews);
        e->frame->invalid();
    }
};

const char kUsage[] =
    "usage: tavrolune-editor-shots OUTDIR\n"
    "Renders the editor's main, easy and back pages at 100, 125, 150 and 200 % off-screen\n"
    "into OUTDIR/editor-<page>-<percent>.png (the folder is made when missing).\n";

bool shoot(APlugin* plugin, CFrame* frame, const std::string& path) {
    // The editor's own work (filling the section containers after a page switch) runs on its
    // 50 ms step: a few steps of the clock, each with an idle call, as a host's idle timer.
    for (int i = 0; i < 4; ++i) {
        advanceManualGuiClock(60);
        plugin->dispatcher(effEditIdle, 0, 0, nullptr, 0);
    }
    OffscreenRenderer r(frame);
    r.renderAll();
    const bool ok = r.writePng(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string out = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    char scratch[] = "/tmp/tav-editor-shots-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    // Preferences of this run only.
    setenv("XDG_CONFIG_HOME", scratch, 1);
    setenv("XDG_DATA_HOME", scratch, 1);
    setenv("XDG_CACHE_HOME", scratch, 1);
    setenv("HOME", scratch, 1);
    setManualGuiClock(1000);

    const char* keys[4] = {"Big100", "Big125", "Big150", "Big200"};
    const char* percent[4] = {"100", "125", "150", "200"};
    bool ok = true;
    for (int size = 0; size < 4; ++size) {
        for (int k = 0; k < 4; ++k) saveBoolToPrefs(keys[k], k == size);
        saveStringToPrefs("AdvancedDisplay", "Y");
        auto* plugin = new APlugin(hostCallback);
        delete plugin->getEditor();
        auto* editor = new ShotEditor(plugin);
        if (plugin->dispatcher(effEditOpen, 0, 0, nullptr, 0) != 1 || !editor->getFrame()) {
            std::fprintf(stderr, "the editor did not open at %s %%\n", percent[size]);
            ok = false;
        } else {
            CFrame* frame = editor->getFrame();
            const std::string suffix = std::string("-") + percent[size] + ".png";
            ok &= shoot(plugin, frame, out + "/editor-main" + suffix);
            editor->showEasyScreen();
            ok &= shoot(plugin, frame, out + "/editor-easy" + suffix);
            editor->showBack();
            ok &= shoot(plugin, frame, out + "/editor-back" + suffix);
            plugin->dispatcher(effEditClose, 0, 0, nullptr, 0);
        }
        delete plugin;
    }
    std::filesystem::remove_all(scratch, ec);
    return ok ? 0 : 1;
}
