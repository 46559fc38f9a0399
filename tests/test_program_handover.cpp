// The program hand-over between a UI thread and the audio thread: state restores, single
// parameter writes and lock changes on one thread while the other renders and applies
// programs. The last restore must win, whole. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "support/PluginHarness.h"

namespace {

// Tags the engine or the application itself may move on its own (ribbon rest, latch and
// key entry, the play mode / arp coupling).
bool settledByEngine(int tag) {
    return tag == kRibbonValueTag || tag == 405 || tag == 406 || tag == 244 || tag == 394 ||
           tag == 407 || tag == kPresetTriggerTag;
}

float restoreValue(int restore, int tag) { return (float)((restore * 37 + tag * 11) % 1000) / 1000.0f; }

}  // namespace

TEST(ProgramHandover, TheLastRestoreWinsWhileTheAudioThreadApplies) {
    PluginHarness h("REAPER");
    APlugin& p = h.plugin();
    h.run(4096 + 128, 64);
    p.resume();

    std::atomic<bool> done{false};
    std::atomic<long> rendered{0};
    std::thread audio([&] {
        while (!done.load()) {
            h.run(256, 64);
            rendered += 256;
        }
    });

    constexpr int kRestores = 60;
    std::vector<unsigned char> chunk(sizeof(TProgramRecord), 0);
    for (int r = 1; r <= kRestores; ++r) {
        for (int tag = 0; tag < kNumParams; ++tag) {
            const float v = restoreValue(r, tag);
            std::memcpy(&chunk[4 * tag], &v, 4);
        }
        ASSERT_EQ(p.setChunk(chunk.data(), (VstInt32)chunk.size(), false), 1);
        // Values the application also writes (the arp preset's name slots, which the engine
        // itself reads only through getParameter).
        for (int k = 0; k < 40; ++k) p.setParameter(850 + (r * 97 + k * 13) % 108, 0.5f);
        p.setLockState(r & 1);
        p.setProgram(0);
        std::this_thread::sleep_for(std::chrono::microseconds(300 * (r % 7)));
    }
    p.setLockState(0);
    ASSERT_EQ(p.setChunk(chunk.data(), (VstInt32)chunk.size(), false), 1);
    // Two boundaries later the last restore is in place.
    const long start = rendered.load();
    while (rendered.load() - start < 3 * 4096) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    done = true;
    audio.join();

    EXPECT_FALSE(p.presetPending || p.presetApplying);
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (settledByEngine(tag)) continue;
        float want = restoreValue(kRestores, tag);
        if (p.paramIsSwitch[tag]) want = want < 0.5f ? 0.0f : 1.0f;
        ASSERT_EQ(p.getParameter(tag), restoreValue(kRestores, tag)) << tag;
        ASSERT_EQ(p.paramValue[tag], want) << tag;
        ASSERT_EQ(p.paramOrig[tag], restoreValue(kRestores, tag)) << tag;
    }
}

// A host that changes programs from its audio thread: that thread only asks; what the
// program may need from the disk is read by the next call from another thread.
TEST(ProgramHandover, ProgramChangeOnTheAudioThreadLeavesTheDiskToTheMainThread) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.resume();
    std::thread audio([&] {
        h.run(4096, 64);
        p.setProgram(0);
        h.run(4096 + 512, 64);
    });
    audio.join();
    EXPECT_FALSE(p.presetPending || p.presetApplying);
    EXPECT_EQ(p.playToolsRequest.load(), 1) << "read-ahead left to another thread";
    h.dispatch(effEditIdle);
    EXPECT_EQ(p.playToolsRequest.load(), 0);
}

// Hosts move processing between worker threads: MIDI from a thread that has not rendered yet
// is still audio work, and leaves the read-ahead to the next call that is not.
TEST(ProgramHandover, EventsFromAFreshAudioThreadLeaveTheReadAheadWaiting) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.resume();
    // The audio thread stays alive meanwhile, so no other thread can take over its stack
    // (and with it the marks that tell the threads apart).
    std::atomic<bool> changed{false}, finished{false};
    std::thread audio([&] {
        h.run(4096, 64);
        p.setProgram(0);
        changed = true;
        while (!finished) std::this_thread::yield();
    });
    while (!changed) std::this_thread::yield();
    EXPECT_EQ(p.playToolsRequest.load(), 1);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.midiData[0] = (char)0x90;
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[1];
    } list = {1, 0, {reinterpret_cast<VstEvent*>(&note)}};
    for (VstInt32 opcode : {effStartProcess, effProcessEvents, effStopProcess}) {
        std::thread fresh([&] { h.dispatch(opcode, 0, 0, &list); });
        fresh.join();
        EXPECT_EQ(p.playToolsRequest.load(), 1) << "opcode " << opcode;
    }
    finished = true;
    audio.join();
    h.dispatch(effEditIdle);
    EXPECT_EQ(p.playToolsRequest.load(), 0);
}
