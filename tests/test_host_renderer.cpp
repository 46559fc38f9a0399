// The host library against a scripted stand-in plug-in linked into the test: the entry
// protocol, the host callback and its registry, the render session's order, event timing,
// transport, pre-roll, fault detection, and state capture and restore.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "hostlib/Renderer.h"
#include "hostlib/StateFile.h"
#include "hostlib/TextUtil.h"
#include "hostlib/VstPluginLoader.h"
#include "test_engine_util.h"

using namespace tavhost;
using enginetest::midi;

namespace {

struct FakeConfig {
    int32_t magic = kEffectMagic;
    bool returnNull = false;
    int32_t flags = effFlagsCanReplacing | effFlagsIsSynth;
    bool leaveLastRightSampleUnwritten = false;
    bool firstSampleNaN = false;
};

// A stand-in plug-in: it records every call, event, time query and block, and outputs
// 0.1 x the number of held notes on the left (plus the input on the right).
struct Fake {
    AEffect effect{};
    audioMasterCallback master = nullptr;
    FakeConfig config;
    intptr_t hostVersionAtEntry = 0;
    std::string hostProductAtEntry;
    std::vector<int32_t> opcodes;
    std::vector<VstMidiEvent> received, pending;
    std::vector<int64_t> receivedAt, blockStarts;
    std::vector<VstTimeInfo> times;
    std::set<int32_t> blockSizes;
    int64_t processed = 0;
    int held = 0;
    float params[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    std::vector<uint8_t> lastSetChunk;
    bool closed = false;
};

FakeConfig g_config;
// Instances live until the end of the test program so tests can inspect closed ones.
std::vector<std::unique_ptr<Fake>> g_fakes;
Fake* fakeOf(AEffect* e) { return static_cast<Fake*>(e->object); }

intptr_t fakeDispatcher(AEffect* e, int32_t opcode, int32_t, intptr_t value, void* ptr, float) {
    Fake* f = fakeOf(e);
    f->opcodes.push_back(opcode);
    if (opcode == effClose) f->closed = true;
    if (opcode == effProcessEvents) {
        const VstEvents* ev = static_cast<const VstEvents*>(ptr);
        for (int32_t i = 0; i < ev->numEvents; ++i) {
            const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(ev->events[i]);
            f->received.push_back(*m);
            f->receivedAt.push_back(f->processed + m->deltaFrames);
            f->pending.push_back(*m);
        }
        return 1;
    }
    if (opcode == effGetChunk) *static_cast<void**>(ptr) = f->params;
    if (opcode == effSetChunk) {
        f->lastSetChunk.assign((const uint8_t*)ptr, (const uint8_t*)ptr + value);
        if (value == 16) std::memcpy(f->params, ptr, 16);
    }
    return opcode == effGetChunk ? 16 : opcode == effSetChunk;
}

void fakeSetParameter(AEffect* e, int32_t index, float v) {
    if (index >= 0 && index < 4) fakeOf(e)->params[index] = v;
}
float fakeGetParameter(AEffect* e, int32_t index) { return index >= 0 && index < 4 ? fakeOf(e)->params[index] : 0.0f; }

void fakeProcess(AEffect* e, float** in, float** out, int32_t n) {
    Fake* f = fakeOf(e);
    if (auto* ti = reinterpret_cast<VstTimeInfo*>(f->master(e, audioMasterGetTime, 0, 0, nullptr, 0.0f))) f->times.push_back(*ti);
    f->blockStarts.push_back(f->processed);
    f->blockSizes.insert(n);
    for (int32_t i = 0; i < n; ++i) {
        for (const VstMidiEvent& m : f->pending)
            if (m.deltaFrames == i) f->held += (m.midiData[0] & 0xF0) == 0x90 && m.midiData[2] > 0 ? 1 : -1;
        out[0][i] = 0.1f * (float)f->held;
        if (!(f->config.leaveLastRightSampleUnwritten && i == n - 1)) out[1][i] = out[0][i] + in[0][i];
    }
    if (f->config.firstSampleNaN && f->processed == 0) out[0][0] = NAN;
    f->pending.clear();
    f->processed += n;
}

AEffect* fakeEntry(audioMasterCallback master) {
    const intptr_t version = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    char product[64] = {};
    master(nullptr, audioMasterGetProductString, 0, 0, product, 0.0f);
    if (g_config.returnNull) return nullptr;
    g_fakes.emplace_back(new Fake());
    Fake* f = g_fakes.back().get();
    f->config = g_config;
    f->master = master;
    f->hostVersionAtEntry = version;
    f->hostProductAtEntry = boundedString(product, sizeof(product));
    AEffect& e = f->effect;
    e.magic = g_config.magic;
    e.dispatcher = fakeDispatcher;
    e.setParameter = fakeSetParameter;
    e.getParameter = fakeGetParameter;
    e.processReplacing = fakeProcess;
    e.numPrograms = 1;
    e.numParams = 4;
    e.numInputs = e.numOutputs = 2;
    e.flags = g_config.flags;
    e.uniqueID = vstFourCC('F', 'a', 'k', 'e');
    e.object = f;
    return &e;
}

class HostLibFake : public ::testing::Test {
protected:
    void SetUp() override { g_config = FakeConfig(); }
    std::unique_ptr<VstPlugin> make(const std::string& product = "Test Host") {
        HostIdentity id;
        id.product = product;
        std::string error;
        std::unique_ptr<VstPlugin> p = VstPlugin::create(VstModule::fromEntry(fakeEntry, "fake"), id, error);
        EXPECT_TRUE(p) << error;
        return p;
    }
    // A session through a fresh fake that must run to its end.
    RenderResult session(const std::vector<TimedMidiEvent>& events, const RenderOptions& ro) {
        plugin = make();
        std::string error;
        RenderResult rr;
        EXPECT_TRUE(plugin && renderSession(*plugin, events, ro, rr, error)) << error;
        fake = plugin ? fakeOf(plugin->effect()) : nullptr;
        return rr;
    }
    intptr_t ask(VstPlugin& p, int32_t opcode, void* ptr = nullptr, int32_t index = 0, float opt = 0.0f) {
        return hostCallback(p.effect(), opcode, index, 0, ptr, opt);
    }
    std::unique_ptr<VstPlugin> plugin;
    Fake* fake = nullptr;
};

}  // namespace

TEST_F(HostLibFake, EntryQueriesBadEntriesAndCallbackAnswersPerInstance) {
    for (const char* reason : {"magic", "no effect"}) {
        g_config = FakeConfig();
        g_config.magic = reason[0] == 'm' ? vstFourCC('N', 'o', 'p', 'e') : kEffectMagic;
        g_config.returnNull = reason[0] == 'n';
        std::string error;
        EXPECT_FALSE(VstPlugin::create(VstModule::fromEntry(fakeEntry, "fake"), HostIdentity(), error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    g_config = FakeConfig();

    // The entry point's queries are answered before the effect exists.
    std::unique_ptr<VstPlugin> a = make("Host A"), b = make(std::string(100, 'P'));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(fakeOf(a->effect())->hostProductAtEntry + std::to_string(fakeOf(a->effect())->hostVersionAtEntry), "Host A2400");
    char buf[80];
    std::memset(buf, 'z', sizeof(buf));
    ask(*b, audioMasterGetProductString, buf);
    EXPECT_EQ(std::strlen(buf), 63u) << "host strings are cut to their buffers";
    EXPECT_EQ(buf[64], 'z');
    ask(*a, audioMasterGetProductString, buf);
    EXPECT_STREQ(buf, "Host A");

    ask(*a, audioMasterAutomate, nullptr, 3, 0.75f);
    ask(*a, audioMasterAutomate, nullptr, 1, 0.25f);
    ask(*a, audioMasterBeginEdit, nullptr, 1);
    ask(*a, audioMasterEndEdit, nullptr, 1);
    EXPECT_EQ(a->host().automateCount() * 10 + a->host().lastAutomatedIndex(), 21);
    EXPECT_EQ(a->host().lastAutomatedValue(), 0.25f);
    EXPECT_EQ(a->host().beginEditCount() + a->host().endEditCount() + b->host().automateCount(), 2);

    char yes[] = "sendVstTimeInfo", no[] = "openFileSelector";
    EXPECT_EQ(ask(*a, audioMasterCanDo, yes) * 10 + ask(*a, audioMasterCanDo, no) + ask(*a, audioMasterCanDo), 10);

    a->setSampleRate(96000.0);
    a->setBlockSize(128);
    EXPECT_EQ(ask(*a, audioMasterGetSampleRate) + ask(*a, audioMasterGetBlockSize), 96000 + 128);
    EXPECT_EQ(reinterpret_cast<VstTimeInfo*>(ask(*a, audioMasterGetTime))->sampleRate, 96000.0);

    // A closed instance is forgotten: its old pointer gets no answers from its context.
    AEffect* old = a->effect();
    a->close();
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(hostCallback(old, audioMasterGetProductString, 0, 0, buf, 0.0f), 0);
    EXPECT_EQ(buf[0], 'x');
}

TEST_F(HostLibFake, SessionRunsInAHostsOrder) {
    RenderOptions ro;
    ro.sampleRate = 48000.0;
    ro.blockSize = 256;
    ro.lengthFrames = 2000;
    const RenderResult rr = session({midi(10, 0x90, 60, 100), midi(900, 0x80, 60, 0)}, ro);
    ASSERT_TRUE(fake);
    std::vector<int32_t> order;  // the calls other than events, without repeats
    for (int32_t op : fake->opcodes)
        if (op != effProcessEvents && (order.empty() || order.back() != op)) order.push_back(op);
    EXPECT_EQ(order, (std::vector<int32_t>{effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged, effStartProcess,
                                           effStopProcess, effMainsChanged, effClose}));
    EXPECT_TRUE(fake->closed && plugin->isClosed());
    EXPECT_EQ(std::count(fake->opcodes.begin(), fake->opcodes.end(), effProcessEvents), 2) << "only blocks with events";
    EXPECT_EQ(rr.eventsSent, 2);
    EXPECT_EQ(rr.framesProcessed, 8192 + 2000);
    EXPECT_EQ(fake->processed, 8192 + 2000);
}

TEST_F(HostLibFake, EventsArriveAtTheirFramesWithAnyBlocking) {
    const int64_t frames[] = {0, 1, 255, 256, 1000, 4095, 4096};
    std::vector<TimedMidiEvent> events;
    for (int i = 6; i >= 0; --i) events.push_back(midi(frames[i], 0x90, (uint8_t)(60 + i), 100));  // out of order
    for (uint32_t seed : {0u, 7u}) {
        RenderOptions ro;
        ro.blockSize = 256;
        ro.randomBlockSeed = seed;
        ro.lengthFrames = 5000;
        session(events, ro);
        ASSERT_TRUE(fake);
        ASSERT_EQ(fake->received.size(), 7u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(fake->receivedAt[i], 8192 + frames[i]) << "seed " << seed << " event " << i;
            EXPECT_EQ(fake->received[i].midiData[1], (char)(60 + i));
        }
        EXPECT_GE(*fake->blockSizes.begin(), 1);
        EXPECT_LE(*fake->blockSizes.rbegin(), 256);
        EXPECT_EQ(fake->blockSizes.size() > 5u, seed != 0) << "random blocking gives irregular blocks";
    }
}

TEST_F(HostLibFake, PreRollIsCutOrKeptAndLengthFollowsTheLastEventAndTheTail) {
    for (bool keep : {false, true}) {
        RenderOptions ro;
        ro.blockSize = 100;
        ro.preRollFrames = 1000;
        ro.keepPreRoll = keep;
        ro.lengthFrames = 500;
        const RenderResult rr = session({midi(123, 0x90, 60, 100), midi(300, 0x80, 60, 0)}, ro);
        const size_t offset = keep ? 1000 : 0;
        ASSERT_EQ(rr.audio.size(), 2u);
        ASSERT_EQ(rr.audio[0].size(), 500 + offset);
        EXPECT_EQ(std::vector<float>(&rr.audio[0][offset + 122], &rr.audio[0][offset + 124]), (std::vector<float>{0.0f, 0.1f}));
        EXPECT_EQ(std::vector<float>(&rr.audio[1][offset + 299], &rr.audio[1][offset + 301]), (std::vector<float>{0.1f, 0.0f}));
    }
    RenderOptions ro;
    ro.sampleRate = 1000.0;
    ro.tailSeconds = 1.5;
    EXPECT_EQ(session({midi(2000, 0x90, 60, 1)}, ro).audio[0].size(), 2001u + 1500u);
}

TEST_F(HostLibFake, TransportFollowsTheTempoMapPerBlock) {
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);  // two seconds in
    RenderOptions ro;
    ro.sampleRate = 1000.0;
    ro.blockSize = 250;
    ro.preRollFrames = 500;
    ro.tempoMap = &map;
    ro.lengthFrames = 4000;
    session({}, ro);
    ASSERT_TRUE(fake);
    ASSERT_EQ(fake->times.size(), 18u);
    for (size_t b = 0; b < fake->times.size(); ++b) {
        const VstTimeInfo& t = fake->times[b];
        const int64_t start = fake->blockStarts[b];
        const bool playing = start >= 500;
        EXPECT_EQ((t.flags & kVstTransportPlaying) != 0, playing) << b;
        EXPECT_EQ((t.flags & kVstTransportChanged) != 0, b == 0 || start == 500) << b;
        EXPECT_TRUE((t.flags & kVstPpqPosValid) && (t.flags & kVstTempoValid) && t.timeSigNumerator == 4);
        const double seconds = playing ? (start - 500) / 1000.0 : 0.0;
        EXPECT_DOUBLE_EQ(t.samplePos, seconds * 1000.0) << b;
        EXPECT_NEAR(t.ppqPos, map.ppqAtSeconds(seconds), 1e-9) << b;
        EXPECT_DOUBLE_EQ(t.tempo, seconds < 2.0 ? 120.0 : 60.0) << b;
        EXPECT_DOUBLE_EQ(t.barStartPos, std::floor(t.ppqPos / 4.0) * 4.0);
    }
    // The last block starts 3.75 s into the music: 4 quarters at 120, then 1.75 at 60.
    EXPECT_NEAR(fake->times.back().ppqPos, 4.0 + 1.75, 1e-9);
}

TEST_F(HostLibFake, OutputFaultsAreCounted) {
    RenderOptions ro;
    ro.blockSize = 64;
    ro.preRollFrames = 0;
    ro.lengthFrames = 640;
    EXPECT_TRUE(session({}, ro).clean());
    g_config.leaveLastRightSampleUnwritten = true;
    g_config.firstSampleNaN = true;
    const RenderResult rr = session({}, ro);
    ASSERT_EQ(rr.faults.size(), 2u);
    EXPECT_FALSE(rr.clean());
    EXPECT_EQ(rr.faults[0].nan * 100 + rr.faults[0].firstBadFrame, 100);
    EXPECT_EQ(rr.faults[1].nan * 100 + rr.faults[1].firstBadFrame, 63);
    EXPECT_NE(rr.faults[1].describe().find("10 unwritten"), std::string::npos);
}

TEST_F(HostLibFake, StateIsCapturedAndAppliedAllOrNothing) {
    std::unique_ptr<VstPlugin> a = make(), b = make();
    for (int i = 0; i < 4; ++i) a->setParameter(i, 0.1f * (float)(i + 1));
    PluginState s;
    std::string note, error;
    ASSERT_TRUE(capturePluginState(*a, s, note, error)) << error;
    EXPECT_TRUE(s.kind == StateKind::Parameters && s.uniqueID == vstFourCC('F', 'a', 'k', 'e'));

    PluginState wrongCount = s, wrongId = s, chunk = s;
    wrongCount.params.push_back(0.9f);
    wrongId.uniqueID = 42;
    chunk.kind = StateKind::Chunk;
    chunk.chunk = {1, 2, 3};
    for (const PluginState* bad : {&wrongCount, &chunk, &wrongId}) EXPECT_FALSE(applyPluginState(*b, *bad, error));
    EXPECT_NE(error.find("belongs to"), std::string::npos);
    EXPECT_EQ(b->getAllParameters(), std::vector<float>(4, 0.5f)) << "a refused state changed something";
    EXPECT_EQ(std::count(fakeOf(b->effect())->opcodes.begin(), fakeOf(b->effect())->opcodes.end(), effSetChunk), 0);
    ASSERT_TRUE(applyPluginState(*b, s, error)) << error;
    EXPECT_EQ(b->getAllParameters(), a->getAllParameters());

    // A plug-in that keeps its state in chunks gets it through the chunk calls.
    g_config.flags |= effFlagsProgramChunks;
    std::unique_ptr<VstPlugin> c = make(), d = make();
    c->setParameter(2, 0.875f);
    ASSERT_TRUE(capturePluginState(*c, s, note, error)) << error;
    ASSERT_TRUE(s.kind == StateKind::Chunk && s.chunk.size() == 16u);
    ASSERT_TRUE(applyPluginState(*d, s, error)) << error;
    EXPECT_EQ(fakeOf(d->effect())->lastSetChunk, s.chunk);
    EXPECT_EQ(d->getParameter(2), 0.875f);
}

// A host that starts playing at once: a chord at the very first sample of a fresh instance of
// the real plug-in, with no pre-roll, must sound (the start-up program is applied first).
TEST(HostLibPlugin, ChordAtTheFirstSampleOfAFreshInstanceSounds) {
    useScratchHome();
    for (int32_t block : {64, 4096}) {
        std::string error;
        std::unique_ptr<VstPlugin> p = VstPlugin::load(TAV_PLUGIN_PATH, HostIdentity(), error);
        ASSERT_TRUE(p) << error;
        RenderOptions ro;
        ro.blockSize = block;
        ro.preRollFrames = 0;
        ro.lengthFrames = 8192;
        RenderResult rr;
        ASSERT_TRUE(renderSession(*p, {midi(0, 0x90, 60, 100), midi(0, 0x90, 64, 100), midi(0, 0x90, 67, 100)}, ro, rr, error)) << error;
        double peak = 0.0;
        for (int64_t i = 0; i < 4096; ++i) peak = std::max(peak, (double)std::fabs(rr.audio[0][i]));
        EXPECT_GT(peak, 0.01) << "block " << block;
    }
}
