// The validator's check of what the audio thread's calls may do: no lock, no wait and no heap
// call inside processReplacing, effProcessEvents, setParameter and effSetProgram, whichever
// thread the host makes them on. Hosts move processing between worker threads, so the audio
// work here hops to a fresh thread every few blocks, and a program change on one thread leaves
// its follow-up work to whatever thread calls next. It runs once with the editor closed and
// once with it open (in a host window when a display answers, else without a parent window)
// while the check's thread idles it and a third thread automates parameters. A second check
// asks that a warm instance's playing takes no page fault: each one stalls the audio thread
// in the kernel.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "hostlib/HostWindow.h"
#include "hostlib/Validator.h"

namespace tavhost {

namespace {

using std::chrono::milliseconds;

constexpr int32_t kBlock = 256;
constexpr int kHops = 6;
constexpr int kBlocksPerHop = 40;  // more than two 4096-sample program boundaries

struct Counts {
    std::atomic<long long> locks{0}, heap{0}, blocks{0};
};

// An event list of up to 16 notes, as a host passes to effProcessEvents.
struct NoteList {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[16] = {};
    VstMidiEvent notes[16] = {};

    // count notes from key first, step keys apart and spaced frames after each other: on at
    // velocity, or off.
    void* set(int count, bool on, int first, int step, int velocity, int spaced) {
        for (int i = 0; i < count; ++i) {
            notes[i] = VstMidiEvent{};
            notes[i].type = kVstMidiType;
            notes[i].byteSize = sizeof(VstMidiEvent);
            notes[i].deltaFrames = spaced * i;
            notes[i].midiData[0] = (char)(on ? 0x90 : 0x80);
            notes[i].midiData[1] = (char)(first + step * i);
            notes[i].midiData[2] = (char)(on ? velocity : 0);
            events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
        }
        numEvents = count;
        return this;
    }
};

// One worker thread's share of the audio: notes, automation on the audio thread, a program
// change after the first program boundary and another as its last call. Only the calls into
// the plug-in are counted.
void audioHop(VstPlugin& p, int hop, Counts& counts) {
    std::vector<float> buffers(4 * kBlock, 0.0f);
    float* inputs[2] = {&buffers[0], &buffers[kBlock]};
    float* outputs[2] = {&buffers[2 * kBlock], &buffers[3 * kBlock]};
    NoteList list;
    const int32_t params = p.numParams();
    const bool countLocks = tavhost_thread_locks != nullptr;
    const bool countHeap = tavhost_thread_allocations != nullptr;
    long long locks = 0, heap = 0;
    for (int b = 0; b < kBlocksPerHop; ++b) {
        // A chord on, bent and released over the hop, then silence.
        const int phase = b % 10;
        void* events = phase == 0 || phase == 6 ? list.set(4, phase == 0, 48 + hop, 4, 100, 17) : nullptr;
        if (countLocks) tavhost_thread_locks(1);
        if (countHeap) tavhost_thread_allocations(1);
        if (events) p.dispatch(effProcessEvents, 0, 0, events);
        if (params > 0) p.setParameter((b * 37 + hop * 11) % params, (float)((b + hop) % 8) / 7.0f);
        p.processReplacing(inputs, outputs, kBlock);
        if (b == 20 || b == kBlocksPerHop - 1) p.dispatch(effSetProgram, 0, 0);
        if (countLocks) locks += tavhost_thread_locks(0);
        if (countHeap) heap += tavhost_thread_allocations(0);
    }
    counts.locks += locks;
    counts.heap += heap;
    counts.blocks += kBlocksPerHop;
}

// A thread setting random parameters, as host automation does, until destroyed.
class Automation {
public:
    Automation(VstPlugin& p, uint32_t seed)
        : thread_([this, &p, seed] {
              std::mt19937 rng(seed);
              std::uniform_real_distribution<float> value(0.0f, 1.0f);
              const int32_t n = p.numParams();
              while (!quit_) {
                  for (int i = 0; i < 16 && n > 0; ++i) p.setParameter((int32_t)(rng() % (uint32_t)n), value(rng));
                  std::this_thread::sleep_for(milliseconds(2));
              }
          }) {}
    ~Automation() {
        quit_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

// The hops one after the other, each on a new thread; `idle` runs on this thread meanwhile.
// A finished hop's thread waits until the last hop is done, so that no later thread can take
// over its stack (and with it whatever the plug-in uses to tell threads apart).
void runHops(VstPlugin& p, Counts& counts, const std::function<void()>& idle) {
    std::atomic<bool> release{false};
    std::vector<std::thread> workers;
    for (int hop = 0; hop < kHops; ++hop) {
        std::atomic<bool> done{false};
        workers.emplace_back([&, hop] {
            audioHop(p, hop, counts);
            done = true;
            while (!release) std::this_thread::sleep_for(milliseconds(1));
        });
        while (!done) idle();
    }
    release = true;
    for (std::thread& t : workers) t.join();
}

void checkRealtimeCalls(CheckContext& ctx) {
    const char* name = "realtime-calls";
    if (!tavhost_thread_locks && !tavhost_thread_allocations) {
        ctx.skip(name, "this host counts no lock or heap calls");
        return;
    }
    if (tavhost_thread_locks) {
        // The counter itself: one lock taken here must be seen.
        std::mutex m;
        tavhost_thread_locks(1);
        m.lock();
        m.unlock();
        if (tavhost_thread_locks(0) < 1) {
            ctx.fail(name, "this host's lock counter counts nothing");
            return;
        }
    }
    std::string error;
    std::unique_ptr<VstPlugin> p = ctx.instance(error);
    if (!p) {
        ctx.fail(name, error);
        return;
    }
    p->setSampleRate(44100.0);
    p->setBlockSize(kBlock);
    p->resume();
    p->dispatch(effStartProcess);

    ctx.step("audio calls on fresh threads, editor closed");
    Counts closed;
    runHops(*p, closed, [] { std::this_thread::yield(); });

    Counts open;
    std::string where = "no editor";
    if (p->hasFlag(effFlagsHasEditor)) {
        ctx.step("audio calls on fresh threads, editor open, automation from another thread");
        ERect* r = nullptr;
        p->dispatch(effEditGetRect, 0, 0, &r);
        std::unique_ptr<HostWindow> window;
        std::string why = "no window system in this host";
        if (r && hostWindowsAvailable()) window = makeHostWindow(r->right - r->left, r->bottom - r->top, why);
        where = window ? "editor open in an X11 host window" : "editor open without a parent window (" + why + ")";
        p->dispatch(effEditOpen, 0, 0, window ? reinterpret_cast<void*>(window->id()) : nullptr);
        {
            Automation automation(*p, ctx.options().seed);
            runHops(*p, open, [&] {
                if (window) window->pump();
                p->dispatch(effEditIdle);
                std::this_thread::sleep_for(milliseconds(5));
            });
        }
        p->dispatch(effEditClose);
    }
    p->dispatch(effStopProcess);
    p->suspend();

    auto figures = [](const Counts& c) {
        return std::to_string(c.locks.load()) + " lock/wait and " + std::to_string(c.heap.load()) + " heap calls in " +
               std::to_string(c.blocks.load()) + " blocks";
    };
    const bool ok = closed.locks == 0 && closed.heap == 0 && open.locks == 0 && open.heap == 0;
    std::string detail = "processReplacing, effProcessEvents, setParameter, effSetProgram on " +
                         std::to_string(kHops) + " fresh threads each: editor closed " + figures(closed) + "; " +
                         where + " " + figures(open);
    if (!tavhost_thread_locks) detail += " (locks not counted in this host)";
    if (!tavhost_thread_allocations) detail += " (heap calls not counted in this host)";
    ctx.report(ok, name, detail);
}

// The page-fault checks play at 48 kHz in blocks of 256.
constexpr int kFaultsRate = 48000;

// A fresh instance at kFaultsRate, its parameters set, resumed and processing.
std::unique_ptr<VstPlugin> faultsInstance(CheckContext& ctx, const char* name,
                                          const std::vector<std::pair<int32_t, float>>& params) {
    std::string error;
    std::unique_ptr<VstPlugin> p = ctx.instance(error);
    if (!p) {
        ctx.fail(name, error);
        return p;
    }
    p->setSampleRate((float)kFaultsRate);
    p->setBlockSize(kBlock);
    for (const auto& [tag, value] : params) p->setParameter(tag, value);
    p->resume();
    p->dispatch(effStartProcess);
    return p;
}

// The same 16-note chord struck at the start of each second and released at its half. Its
// buffers are made beforehand, so that a count of page faults around play() holds the
// plug-in's alone.
struct StruckChords {
    std::vector<float> buffers = std::vector<float>(4 * kBlock, 0.0f);
    NoteList list;
    void play(VstPlugin& p, int seconds) {
        float* inputs[2] = {&buffers[0], &buffers[kBlock]};
        float* outputs[2] = {&buffers[2 * kBlock], &buffers[3 * kBlock]};
        const int blocksPerSecond = kFaultsRate / kBlock;
        for (int b = 0; b < seconds * blocksPerSecond; ++b) {
            const int at = b % blocksPerSecond;
            if (at == 0 || at == blocksPerSecond / 2)
                p.dispatch(effProcessEvents, 0, 0, list.set(16, at == 0, 36, 3, 100, 0));
            p.processReplacing(inputs, outputs, kBlock);
        }
    }
};

// The struck chord: the first two seconds touch what playing touches, the next two are
// counted on this thread.
void checkWarmFaults(CheckContext& ctx) {
    const char* name = "warm-faults";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    ctx.skip(name, "a sanitizer's shadow memory faults in on its own");
    return;
#endif
    std::unique_ptr<VstPlugin> p = faultsInstance(ctx, name, {});
    if (!p) return;
    ctx.step("two seconds to warm up, two counted");
    StruckChords chords;
    chords.play(*p, 2);
    struct rusage before, after;
    getrusage(RUSAGE_THREAD, &before);
    chords.play(*p, 2);
    getrusage(RUSAGE_THREAD, &after);
    p->dispatch(effStopProcess);
    p->suspend();
    const long minor = after.ru_minflt - before.ru_minflt;
    const long major = after.ru_majflt - before.ru_majflt;
    ctx.report(minor == 0 && major == 0, name,
               std::to_string(minor) + " minor and " + std::to_string(major) +
                   " major page faults in 2 s of a warm 16-note chord");
}

// A fresh instance's first second of the struck chord, on all three layers of each sound
// model in turn, counted from its first audio call: what the notes write (voices, filters, string lines,
// delay and reverb lines) was written when the instance was made, so no page faults in on
// the audio thread. An instance made before it has played the same notes, so that the
// code's pages are in: their first run faults them in once per process, whichever
// instance runs them.
void checkFirstNotesFaults(CheckContext& ctx) {
    const char* name = "first-notes-faults";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    ctx.skip(name, "a sanitizer's shadow memory faults in on its own");
    return;
#endif
    constexpr int32_t kLayerOn[3] = {248, 280, 312};
    constexpr int32_t kLayerSource[3] = {249, 281, 313};
    constexpr const char* kModels[4] = {"Wire", "String", "FM", "Wave"};
    bool ok = true;
    std::string detail;
    for (int model = 0; model < 4; ++model) {
        std::vector<std::pair<int32_t, float>> layers;
        for (int layer = 0; layer < 3; ++layer) {
            layers.push_back({kLayerOn[layer], 1.0f});
            layers.push_back({kLayerSource[layer], ((float)model + 0.1f) / 3.99f});
        }
        long faults = 0;
        for (int instance = 0; instance < 2; ++instance) {  // the second is counted
            std::unique_ptr<VstPlugin> p = faultsInstance(ctx, name, layers);
            if (!p) return;
            StruckChords chords;
            struct rusage before, after;
            getrusage(RUSAGE_THREAD, &before);
            chords.play(*p, 1);
            getrusage(RUSAGE_THREAD, &after);
            p->dispatch(effStopProcess);
            p->suspend();
            faults = (after.ru_minflt - before.ru_minflt) + (after.ru_majflt - before.ru_majflt);
        }
        ok = ok && faults == 0;
        detail += std::string(model ? ", " : "") + kModels[model] + " " + std::to_string(faults);
    }
    ctx.report(ok, name, "page faults in a fresh instance's first second of a 16-note chord: " + detail);
}

}  // namespace

std::vector<ValidatorCheck> realtimeValidatorChecks() {
    return {{"realtime-calls",
             "no lock, wait or heap call in the audio thread's calls on fresh threads, editor closed and open",
             checkRealtimeCalls},
            {"warm-faults", "no page fault in the audio calls of a warm instance playing a 16-note chord",
             checkWarmFaults},
            {"first-notes-faults",
             "no page fault in the audio calls of a fresh instance's first notes on each sound model",
             checkFirstNotesFaults}};
}

}  // namespace tavhost
