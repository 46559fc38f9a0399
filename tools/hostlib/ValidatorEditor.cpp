// The validator's editor checks: the editor is opened, idled and closed the way hosts do it
// while another thread renders with notes playing and a third automates parameters. Every
// editor call comes from the check's own thread (the UI thread). With a window system (the
// host program installed a window maker and a display answers) the editor gets a real parent
// window; without one it is opened without a parent, which must be just as safe.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "hostlib/HostWindow.h"
#include "hostlib/LiveAudio.h"
#include "hostlib/Validator.h"

namespace tavhost {

namespace {

using std::chrono::milliseconds;

// The first few problems of a check, joined.
class Problems {
public:
    void add(const std::string& what) {
        if (count_++ < 5) text_ += (text_.empty() ? "" : "; ") + what;
    }
    bool any() const { return count_ > 0; }
    std::string summary() const { return count_ <= 5 ? text_ : text_ + "; and " + std::to_string(count_ - 5) + " more"; }

private:
    int count_ = 0;
    std::string text_;
};

bool editorRect(VstPlugin& p, int& w, int& h) {
    ERect* r = nullptr;
    p.dispatch(effEditGetRect, 0, 0, &r);
    if (!r) return false;
    w = r->right - r->left;
    h = r->bottom - r->top;
    return w > 0 && h > 0 && w <= 16384 && h <= 16384;
}

// A third thread setting random parameters, as host automation does, until destroyed.
class Automator {
public:
    Automator(VstPlugin& p, uint32_t seed) : thread_([this, &p, seed] {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        const int32_t n = p.numParams();
        while (!quit_) {
            for (int i = 0; i < 16 && n > 0; ++i) p.setParameter((int32_t)(rng() % (uint32_t)n), value(rng));
            calls_ += 16;
            std::this_thread::sleep_for(milliseconds(2));
        }
    }) {}
    ~Automator() {
        quit_ = true;
        thread_.join();
    }
    int64_t calls() const { return calls_; }

private:
    std::atomic<bool> quit_{false};
    std::atomic<int64_t> calls_{0};
    std::thread thread_;
};

// One editor opening: a host window of the plug-in's size when there is a window system.
struct Opening {
    std::unique_ptr<HostWindow> window;
    bool open(VstPlugin& p, bool withWindows, std::string& error) {
        int w = 0, h = 0;
        if (!editorRect(p, w, h)) {
            error = "effEditGetRect gives no usable size";
            return false;
        }
        if (withWindows) {
            window = makeHostWindow(w, h, error);
            if (!window) return false;
        }
        p.dispatch(effEditOpen, 0, 0, window ? reinterpret_cast<void*>(window->id()) : nullptr);
        return true;
    }
    void idle(VstPlugin& p, int calls) {
        for (int i = 0; i < calls; ++i) {
            if (window) window->pump();
            p.dispatch(effEditIdle);
            std::this_thread::sleep_for(milliseconds(10));
        }
    }
    void close(VstPlugin& p) {
        p.dispatch(effEditClose);
        window.reset();
    }
};

void checkEditor(CheckContext& ctx) {
    std::string error;
    std::unique_ptr<VstPlugin> p = ctx.instance(error);
    if (!p) {
        ctx.fail("editor", error);
        return;
    }
    if (!p->hasFlag(effFlagsHasEditor)) {
        ctx.skip("editor", "the plug-in has no editor");
        return;
    }
    // Whether real windows can be had here.
    bool windows = false;
    std::string why = "no window system in this host";
    if (hostWindowsAvailable()) {
        std::unique_ptr<HostWindow> probe = makeHostWindow(16, 16, why);
        windows = probe != nullptr;
    }
    const std::string where = windows ? "in an X11 host window" : "without a parent window (" + why + ")";

    // get-rect before any open, and the same size once open.
    ctx.step("effEditGetRect before open");
    int w0 = 0, h0 = 0;
    const bool rectOk = editorRect(*p, w0, h0);
    ctx.report(rectOk, "editor-rect",
               rectOk ? std::to_string(w0) + " x " + std::to_string(h0) + " before the first open"
                      : "effEditGetRect before open gives no usable size");
    if (!rectOk) return;

    // No parent window, and a parent window id that does not exist.
    ctx.step("effEditOpen without a parent window");
    p->dispatch(effEditOpen, 0, 0, nullptr);
    for (int i = 0; i < 3; ++i) p->dispatch(effEditIdle);
    p->setParameter(0, p->getParameter(0));
    p->dispatch(effEditIdle);
    p->dispatch(effEditClose);
    ctx.step("effEditOpen with a window id that does not exist");
    p->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x3fffff01)));
    for (int i = 0; i < 3; ++i) p->dispatch(effEditIdle);
    p->dispatch(effEditClose);
    ctx.pass("editor-no-parent", "open, idle and close with no parent window and with a window id that does not exist");

    LiveAudioOptions ao;
    ao.blockSize = 256;
    LiveAudio audio(*p, ao);
    if (!audio.start(error)) {
        ctx.fail("editor-cycles", error);
        return;
    }
    Problems problems;
    {
        Automator automation(*p, ctx.options().seed);
        const int kCycles = 20;
        int children = 0;
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            ctx.step("open and close cycle " + std::to_string(cycle + 1) + " while rendering and automating");
            Opening o;
            if (!o.open(*p, windows, error)) {
                problems.add("cycle " + std::to_string(cycle + 1) + ": " + error);
                break;
            }
            o.idle(*p, 3);
            if (o.window && o.window->hasChild()) ++children;
            int w = 0, h = 0;
            if (!editorRect(*p, w, h) || w != w0 || h != h0)
                problems.add("cycle " + std::to_string(cycle + 1) + ": the size changed while open");
            o.close(*p);
        }
        if (windows && children != kCycles)
            problems.add("the editor put a window into the host's window in " + std::to_string(children) + " of " +
                         std::to_string(kCycles) + " openings");
        if (audio.badSamples() > 0) problems.add("audio: " + audio.summary());
        ctx.report(!problems.any(), "editor-cycles",
                   problems.any() ? problems.summary()
                                  : std::to_string(kCycles) + " openings " + where + " with idle calls, while " +
                                        std::to_string(automation.calls()) + " automated values and " +
                                        audio.summary());
    }

    // A program change and a state load while open.
    {
        Problems stateProblems;
        ctx.step("program change and state load while open");
        const std::vector<uint8_t> chunk = p->hasFlag(effFlagsProgramChunks) ? p->getChunk(false) : std::vector<uint8_t>();
        const std::vector<float> values = p->getAllParameters();
        Opening o;
        if (!o.open(*p, windows, error)) {
            stateProblems.add(error);
        } else {
            o.idle(*p, 2);
            const int32_t programs = p->numPrograms();
            p->dispatch(effSetProgram, 0, programs > 1 ? 1 : 0);
            o.idle(*p, 3);
            if (!chunk.empty()) {
                p->dispatch(effSetChunk, 0, (intptr_t)chunk.size(), const_cast<uint8_t*>(chunk.data()));
            } else {
                for (size_t i = 0; i < values.size(); ++i) p->setParameter((int32_t)i, values[i]);
            }
            o.idle(*p, 3);
            o.close(*p);
        }
        if (audio.badSamples() > 0) stateProblems.add("audio: " + audio.summary());
        ctx.report(!stateProblems.any(), "editor-state",
                   stateProblems.any() ? stateProblems.summary()
                                       : std::string("effSetProgram and a ") +
                                             (chunk.empty() ? "full set of parameter values"
                                                            : std::to_string(chunk.size()) + "-byte effSetChunk") +
                                             " while the editor is open and rendering");
    }

    // Close while automation has left work for the next idle call, an idle call after the
    // close (some hosts send a last one), and a clean reopening.
    {
        ctx.step("close with work pending for the idle call");
        Opening o;
        bool ok = o.open(*p, windows, error);
        if (ok) {
            o.idle(*p, 2);
            {
                Automator automation(*p, ctx.options().seed + 1);
                std::this_thread::sleep_for(milliseconds(30));
                o.close(*p);
                p->dispatch(effEditIdle);
            }
            ok = o.open(*p, windows, error);
            if (ok) {
                o.idle(*p, 2);
                o.close(*p);
            }
        }
        ctx.report(ok && audio.badSamples() == 0, "editor-close-idle",
                   !ok ? error
                       : audio.badSamples() ? "audio: " + audio.summary()
                                            : "closed between idle calls with automation pending, an idle call "
                                              "after close, then opened and closed again");
    }
    audio.stop();
}

// What the editor shows in a host window after it settled: opened, idled for a quarter of a
// second (plug-ins fill their pages on their own timers), captured, closed.
bool editorPicture(VstPlugin& p, std::vector<uint32_t>& rgb, int& w, int& h, std::string& error) {
    Opening o;
    if (!o.open(p, true, error)) return false;
    o.idle(p, 25);
    std::this_thread::sleep_for(milliseconds(50));
    o.window->pump();
    const bool ok = o.window->capture(rgb, w, h);
    if (!ok) error = "the host window could not be captured";
    o.close(p);
    return ok;
}

// Linux plug-ins are copied, packaged, bridged and sandboxed as one shared object: a copy
// alone in an empty folder must load and show the editor it shows in its own folder.
void checkOneFile(CheckContext& ctx) {
    const char* kName = "editor-one-file";
    std::string error;
    std::unique_ptr<VstPlugin> original = ctx.instance(error);
    if (!original) {
        ctx.fail(kName, error);
        return;
    }
    if (!original->hasFlag(effFlagsHasEditor)) {
        ctx.skip(kName, "the plug-in has no editor");
        return;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::string folder = (fs::temp_directory_path(ec) / "tavhost-one-file-XXXXXX").string();
    if (ec || !mkdtemp(&folder[0])) {
        ctx.fail(kName, "no empty folder could be made for the copy");
        return;
    }
    const fs::path source(ctx.options().pluginPath);
    const fs::path copy = fs::path(folder) / source.filename();
    ctx.step("copying the shared object alone into " + folder);
    fs::copy_file(source, copy, ec);
    std::unique_ptr<VstPlugin> alone;
    if (ec) {
        error = "cannot copy " + source.string() + ": " + ec.message();
    } else {
        alone = VstPlugin::load(copy.string(), ctx.options().identity, error);
        if (alone) alone->open();
        else error = "a copy alone in an empty folder does not load: " + error;
    }
    bool ok = alone != nullptr;
    std::string detail = error;
    if (ok && !alone->hasFlag(effFlagsHasEditor)) {
        ok = false;
        detail = "a copy alone in an empty folder has no editor";
    }
    std::string why = "no window system in this host";
    bool windows = false;
    if (ok && hostWindowsAvailable()) windows = makeHostWindow(16, 16, why) != nullptr;
    if (ok && !windows) {
        ctx.step("the copy's editor without a parent window");
        alone->dispatch(effEditOpen, 0, 0, nullptr);
        for (int i = 0; i < 3; ++i) alone->dispatch(effEditIdle);
        alone->dispatch(effEditClose);
        detail = "a copy alone in an empty folder loads and opens its editor (pictures not compared: " + why + ")";
    } else if (ok) {
        std::vector<uint32_t> mine, theirs;
        int w0 = 0, h0 = 0, w1 = 0, h1 = 0;
        ctx.step("the editor's picture in its own folder");
        ok = editorPicture(*original, mine, w0, h0, error);
        ctx.step("the editor's picture of the copy alone");
        ok = ok && editorPicture(*alone, theirs, w1, h1, error);
        if (!ok) {
            detail = error;
        } else if (w0 != w1 || h0 != h1) {
            ok = false;
            detail = "the copy's editor is " + std::to_string(w1) + " x " + std::to_string(h1) + ", not " +
                     std::to_string(w0) + " x " + std::to_string(h0);
        } else {
            size_t differ = 0;
            for (size_t i = 0; i < mine.size(); ++i) differ += mine[i] != theirs[i];
            ok = differ == 0;
            detail = ok ? "a copy alone in an empty folder opens its editor with the same " + std::to_string(w0) +
                              " x " + std::to_string(h0) + " picture, pixel for pixel"
                        : "the copy's editor differs in " + std::to_string(differ) + " of " +
                              std::to_string(mine.size()) + " pixels: it needs files beside the shared object";
        }
    }
    alone.reset();
    fs::remove_all(folder, ec);
    ctx.report(ok, kName, detail);
}

// Resident memory in bytes and open descriptors of this process.
struct ProcessUse {
    long long residentBytes = -1;
    int descriptors = -1;
};

ProcessUse processUse() {
    ProcessUse use;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        long long size = 0, resident = 0;
        if (std::fscanf(f, "%lld %lld", &size, &resident) == 2) use.residentBytes = resident * sysconf(_SC_PAGESIZE);
        std::fclose(f);
    }
    if (DIR* d = opendir("/proc/self/fd")) {
        int n = 0;
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
        use.descriptors = n - 1;  // the listing's own
    }
    return use;
}

std::string megabytes(long long bytes) { return std::to_string((bytes + (1 << 19)) >> 20) + " MB"; }

// Hosts that move the editor to another parent open it again without a close; a host may also
// close the plug-in with its editor still open. Neither may leak or touch freed memory.
void checkEditorLifetimes(CheckContext& ctx) {
    constexpr int kOpens = 40;
    // Far below the cost of one editor (its frame, controls and artwork), far above what the
    // allocator keeps back after a few openings.
    constexpr long long kMemorySlack = 8ll << 20;
    std::string error;
    std::unique_ptr<VstPlugin> p = ctx.instance(error);
    if (!p) {
        ctx.fail("editor-double-open", error);
        return;
    }
    if (!p->hasFlag(effFlagsHasEditor)) {
        ctx.skip("editor-double-open", "the plug-in has no editor");
        return;
    }
    int w = 0, h = 0;
    if (!editorRect(*p, w, h)) {
        ctx.fail("editor-double-open", "effEditGetRect gives no usable size");
        return;
    }
    // Two parent windows the editor moves between, made before anything is measured.
    std::unique_ptr<HostWindow> parents[2];
    if (hostWindowsAvailable()) {
        std::string why;
        parents[0] = makeHostWindow(w, h, why);
        if (parents[0]) parents[1] = makeHostWindow(w, h, why);
        if (!parents[1]) parents[0].reset();
    }
    auto openIn = [&](int k) {
        p->dispatch(effEditOpen, 0, 0, parents[k] ? reinterpret_cast<void*>(parents[k]->id()) : nullptr);
        for (int i = 0; i < 2; ++i) {
            if (parents[k]) parents[k]->pump();
            p->dispatch(effEditIdle);
        }
    };

    ctx.step("one opening, measured after a first open and close");
    openIn(0);
    p->dispatch(effEditClose);
    openIn(0);
    const ProcessUse one = processUse();
    ctx.step(std::to_string(kOpens) + " openings without a close, between two parent windows");
    for (int i = 1; i <= kOpens; ++i) openIn(i & 1);
    const ProcessUse many = processUse();
    Problems problems;
    if (parents[0]) {
        // The last opening went into parent 0; parent 1 must hold nothing of the editor.
        if (!parents[0]->hasChild()) problems.add("the last parent window holds no editor window");
        if (parents[1]->hasChild()) problems.add("the parent the editor left still holds a window of it");
    }
    p->dispatch(effEditClose);
    if (many.descriptors > one.descriptors)
        problems.add("open descriptors " + std::to_string(one.descriptors) + " -> " + std::to_string(many.descriptors));
#if defined(__SANITIZE_ADDRESS__)
    // Freed memory waits in the address checker's quarantine: only descriptors tell here.
    const bool judgeMemory = false;
#else
    const bool judgeMemory = true;
#endif
    if (judgeMemory && many.residentBytes > one.residentBytes + kMemorySlack)
        problems.add("resident memory " + megabytes(one.residentBytes) + " -> " + megabytes(many.residentBytes));
    const std::string where = parents[0] ? "between two X11 parent windows" : "without a parent window";
    ctx.report(!problems.any(), "editor-double-open",
               problems.any() ? problems.summary()
                              : std::to_string(kOpens) + " openings without a close " + where + ": resident memory " +
                                    megabytes(one.residentBytes) + " -> " + megabytes(many.residentBytes) +
                                    ", open descriptors " + std::to_string(one.descriptors) + " -> " +
                                    std::to_string(many.descriptors));

    // effClose while the editor is open, then a fresh instance opens and closes normally.
    ctx.step("effClose with the editor open");
    openIn(0);
    p.reset();
    parents[0].reset();
    parents[1].reset();
    std::unique_ptr<VstPlugin> again = ctx.instance(error);
    if (!again) {
        ctx.fail("editor-close-open", "no instance after closing one with its editor open: " + error);
        return;
    }
    again->dispatch(effEditOpen, 0, 0, nullptr);
    again->dispatch(effEditIdle);
    again->dispatch(effEditClose);
    ctx.pass("editor-close-open", "effClose with the editor open, then a new instance opened and closed its editor");
}

}  // namespace

std::vector<ValidatorCheck> editorValidatorChecks() {
    return {{"editor", "editor get-rect, opening without a parent, 20 open/close cycles while rendering and "
                       "automating, program change and state load while open, close between idle calls",
             checkEditor},
            {"editor-one-file", "a copy of the shared object alone in an empty folder loads and its editor shows "
                                "the same picture as in its own folder", checkOneFile},
            {"editor-lifetimes", "40 editor openings without a close (memory and descriptors as after one), "
                                 "effClose with the editor open",
             checkEditorLifetimes}};
}

}  // namespace tavhost
