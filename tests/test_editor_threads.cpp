// The editor between the host's threads, through the plug-in's entry points: notes rendering on
// an audio thread, every parameter automated from another, the editor idling on the UI thread.
// The CI runs these under ThreadSanitizer too (scripts/test.sh), where any value the threads
// share without an atomic access is a report.
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include <set>

#include "support/FakeEditor.h"
#include "test_arp_util.h"
#include "test_editor_util.h"

using namespace edtest;
using namespace enginetest;

namespace {

constexpr int kBlock = 256;

// The audio thread: a chord struck and released, bent and modulated, over `blocks` blocks,
// with one program change from this thread half way.
struct AudioThread {
    AudioThread(AEffect* e, int blocks) : thread([this, e, blocks] {
        std::vector<float> buffers(4 * kBlock, 0.0f);
        float* in[2] = {&buffers[0], &buffers[kBlock]};
        float* out[2] = {&buffers[2 * kBlock], &buffers[3 * kBlock]};
        struct {
            VstInt32 numEvents;
            VstIntPtr reserved;
            VstEvent* events[6];
        } list = {};
        VstMidiEvent midi[6] = {};
        for (int b = 0; b < blocks; ++b) {
            const int phase = b % 24;
            const uint8_t messages[6][3] = {{0x90, 48, 100}, {0x90, 55, 90}, {0x90, 64, 80},
                                            {0xB0, 1, (uint8_t)(b * 5 % 128)}, {0xE0, 0, (uint8_t)(b * 3 % 128)},
                                            {0x80, 48, 0}};
            int count = 0;
            for (int m = 0; m < 6; ++m) {
                const bool on = m < 3 && phase == 0, off = m < 3 && phase == 16, control = m >= 3 && m < 5;
                if (!on && !off && !control) continue;
                midi[count] = VstMidiEvent{};
                midi[count].type = kVstMidiType;
                midi[count].byteSize = sizeof(VstMidiEvent);
                midi[count].deltaFrames = 11 * count;
                for (int k = 0; k < 3; ++k) midi[count].midiData[k] = (char)messages[m][k];
                if (off) midi[count].midiData[0] = (char)0x80;
                list.events[count] = reinterpret_cast<VstEvent*>(&midi[count]);
                ++count;
            }
            list.numEvents = count;
            if (count) e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.f);
            if (b == blocks / 2) e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.f);
            e->processReplacing(e, in, out, kBlock);
            for (int i = 0; i < 2 * kBlock; ++i) {
                const float v = buffers[2 * kBlock + i];
                if (!std::isfinite(v)) ++bad;
                peak = std::max(peak, std::fabs(v));
            }
        }
        done = true;
    }) {}
    ~AudioThread() { join(); }
    void join() {
        if (thread.joinable()) thread.join();
    }
    std::atomic<bool> done{false};
    int bad = 0;
    float peak = 0.f;
    std::thread thread;
};

// Host automation of every parameter but the held ones, from a thread of its own, until
// destroyed.
struct AutomationThread {
    AutomationThread(AEffect* e, std::set<int> held) : thread([this, e, held] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> value(0.f, 1.f);
        while (!quit) {
            for (int i = 0; i < 32; ++i) {
                const int tag = (int)(rng() % 1024);
                if (!held.count(tag)) e->setParameter(e, tag, value(rng));
            }
            ++rounds;
            std::this_thread::yield();
        }
    }) {}
    ~AutomationThread() {
        quit = true;
        thread.join();
    }
    std::atomic<bool> quit{false};
    std::atomic<int> rounds{0};
    std::thread thread;
};

TEST(EditorThreads, NotesAutomationAndIdleRunSideBySide) {
    Bench b(kEngine);
    AEffect* e = b.p().getAeffect();
    // Held while the rest is automated: the arpeggiator's LED, a Wire layer's scope and the
    // gate display all have something to show.
    const Params scene = with(arptest::arpSetup(0), {{LAYER_ON_TAGS[1], 1.f}, {LAYER_SOURCE_TAGS[1], sourceValue(0)},
                                                     {349, stepped(10, 10.99f)}});
    // The main volume and the program trigger stay put too, so that the notes are heard.
    std::set<int> held{1, kPresetTriggerTag};
    for (const auto& kv : scene) {
        e->setParameter(e, kv.first, kv.second);
        held.insert(kv.first);
    }
    b.p().resume();
    // Each page in turn, each idle call 50 ms after the last on the GUI clock: every idle
    // step runs (meters, scopes, envelopes, modulation rings, the arp LED, the gate row)
    // while the audio thread writes.
    for (const bool easy : {false, true}) {
        if (easy) b.ed->showEasyScreen();
        int idles = 0;
        AutomationThread automation(e, held);
        while (automation.rounds.load() == 0) std::this_thread::yield();  // writing before the notes start
        AudioThread audio(e, 120);
        do {
            b.step();
            ++idles;
        } while (!audio.done);
        audio.join();
        EXPECT_EQ(audio.bad, 0) << "non-finite output";
        EXPECT_GT(audio.peak, 0.f) << "the notes sounded";
        EXPECT_GT(idles, 0);
    }
    EXPECT_TRUE(b.guard.faults.empty()) << "a view was touched off the UI thread";
    // The last value the automation wrote reaches the controls at the next idle.
    b.ed->showMainScreen();
    e->setParameter(e, 5, 0.375f);
    b.step();
    EXPECT_FLOAT_EQ(b.ed->knob(5)->getValue(), 0.375f);
}

// Other threads take the editor's open state as published; they never ask the editor (whose
// answer reads its frame, which close releases).
TEST(EditorThreads, OtherThreadsReadThePublishedOpenStateOnly) {
    struct AskedEditor : FakeEditor {
        using FakeEditor::FakeEditor;
        bool isOpen() override {
            ++asked;
            return FakeEditor::isOpen();
        }
        std::atomic<int> asked{0};
    };
    PluginHarness h;
    delete h->getEditor();
    auto* editor = new AskedEditor(&h.plugin());
    h->setEditor(editor);
    h->editorLink = editor;
    int window = 0;
    editor->open(&window);
    h->editorOpen = 1;
    h->publishEditorState();
    const int askedOnOpen = editor->asked.load();
    bool seen = false;
    std::thread other([&] { seen = h->isEditorOpen(); });
    other.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(editor->asked.load(), askedOnOpen);
}

// The real editor publishes "open" only once its controls exist and withdraws it first thing
// in close.
TEST(EditorThreads, TheEditorIsOpenForOtherThreadsOnlyWithItsControlsInPlace) {
    struct Watching : TestEditor {
        using TestEditor::TestEditor;
        void createMainScreenControls() override {
            openWhileBuilding = plugin->isEditorOpen();
            TestEditor::createMainScreenControls();
        }
        bool openWhileBuilding = true;
    };
    Bench b(kClosed);
    b.h.dispatch(effEditClose);
    delete b.h->getEditor();
    auto* ed = new Watching(&b.p());
    b.ed = ed;
    b.open();
    EXPECT_FALSE(ed->openWhileBuilding);
    EXPECT_TRUE(b.p().isEditorOpen());
    b.h.dispatch(effEditClose);
    EXPECT_FALSE(b.p().isEditorOpen());
}

}  // namespace
