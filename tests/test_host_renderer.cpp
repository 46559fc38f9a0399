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
#include "support/PluginHarness.h"

using namespace tavhost;

namespace {

struct FakeConfig {
    int32_t magic = kEffectMagic;
    bool returnNull = false;
    int32_t flags = effFlagsCanReplacing | effFlagsIsSynth;
    int32_t numParams = 4;
    int32_t uniqueID = vstFourCC('F', 'a', 'k', 'e');
    bool leaveLastRightSampleUnwritten = false;
    bool firstSampleNaN = false;
};

struct Call {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
};

struct Received {
    int64_t absFrame;
    int32_t delta;
    uint8_t bytes[3];
};

struct Fake {
    AEffect effect{};
    audioMasterCallback master = nullptr;
    FakeConfig config;
    intptr_t hostVersionAtEntry = 0;
    std::string hostProductAtEntry;
    std::vector<Call> calls;
    std::vector<Received> received;
    std::vector<Received> pending;
    std::vector<VstTimeInfo> times;
    std::vector<int64_t> blockStarts;
    std::vector<int32_t> blockFrames;
    int64_t processed = 0;
    int held = 0;
    std::vector<float> params;
    std::vector<uint8_t> chunkOut;
    std::vector<uint8_t> lastSetChunk;
    bool closed = false;
};

FakeConfig g_config;
// Instances live until the end of the test program so tests can inspect closed ones.
std::vector<std::unique_ptr<Fake>>& fakes() {
    static std::vector<std::unique_ptr<Fake>> all;
    return all;
}

Fake* fakeOf(AEffect* e) { return static_cast<Fake*>(e->object); }

intptr_t fakeDispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    Fake* f = fakeOf(e);
    f->calls.push_back({opcode, index, value, opt});
    switch (opcode) {
        case effClose:
            f->closed = true;
            return 0;
        case effProcessEvents: {
            const VstEvents* ev = static_cast<const VstEvents*>(ptr);
            for (int32_t i = 0; i < ev->numEvents; ++i) {
                const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(ev->events[i]);
                Received r{f->processed + m->deltaFrames, m->deltaFrames,
                           {(uint8_t)m->midiData[0], (uint8_t)m->midiData[1], (uint8_t)m->midiData[2]}};
                f->received.push_back(r);
                f->pending.push_back(r);
            }
            return 1;
        }
        case effGetChunk: {
            f->chunkOut.resize(f->params.size() * 4);
            std::memcpy(f->chunkOut.data(), f->params.data(), f->chunkOut.size());
            *static_cast<void**>(ptr) = f->chunkOut.data();
            return (intptr_t)f->chunkOut.size();
        }
        case effSetChunk: {
            const uint8_t* p = static_cast<const uint8_t*>(ptr);
            f->lastSetChunk.assign(p, p + value);
            if ((size_t)value == f->params.size() * 4) std::memcpy(f->params.data(), p, (size_t)value);
            return 1;
        }
        default:
            return 0;
    }
}

void fakeSetParameter(AEffect* e, int32_t index, float v) {
    Fake* f = fakeOf(e);
    if (index >= 0 && index < (int32_t)f->params.size()) f->params[(size_t)index] = v;
}

float fakeGetParameter(AEffect* e, int32_t index) {
    Fake* f = fakeOf(e);
    return index >= 0 && index < (int32_t)f->params.size() ? f->params[(size_t)index] : 0.0f;
}

void fakeProcess(AEffect* e, float** in, float** out, int32_t n) {
    Fake* f = fakeOf(e);
    VstTimeInfo* ti = reinterpret_cast<VstTimeInfo*>(f->master(e, audioMasterGetTime, 0, 0, nullptr, 0.0f));
    if (ti) f->times.push_back(*ti);
    f->blockStarts.push_back(f->processed);
    f->blockFrames.push_back(n);
    for (int32_t i = 0; i < n; ++i) {
        for (const Received& r : f->pending) {
            if (r.delta != i) continue;
            bool on = (r.bytes[0] & 0xF0) == 0x90 && r.bytes[2] > 0;
            f->held += on ? 1 : -1;
        }
        out[0][i] = 0.1f * (float)f->held;
        if (!(f->config.leaveLastRightSampleUnwritten && i == n - 1)) out[1][i] = out[0][i] + in[0][i];
    }
    if (f->config.firstSampleNaN && f->processed == 0) out[0][0] = NAN;
    f->pending.clear();
    f->processed += n;
}

AEffect* fakeEntry(audioMasterCallback master) {
    intptr_t version = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
    char product[64] = {};
    master(nullptr, audioMasterGetProductString, 0, 0, product, 0.0f);
    if (g_config.returnNull) return nullptr;
    std::unique_ptr<Fake> f(new Fake());
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
    e.numParams = g_config.numParams;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = g_config.flags;
    e.uniqueID = g_config.uniqueID;
    e.object = f.get();
    f->params.assign((size_t)g_config.numParams, 0.5f);
    fakes().push_back(std::move(f));
    return &fakes().back()->effect;
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

    // A session through p that must run to its end; the reason when it does not.
    static testing::AssertionResult renders(VstPlugin& p, const std::vector<TimedMidiEvent>& events,
                                            const RenderOptions& ro, RenderResult& rr) {
        std::string error;
        if (renderSession(p, events, ro, rr, error)) return testing::AssertionSuccess();
        return testing::AssertionFailure() << error;
    }

    static TimedMidiEvent ev(int64_t frame, uint8_t a, uint8_t b, uint8_t c) {
        TimedMidiEvent e;
        e.frame = frame;
        e.bytes[0] = a;
        e.bytes[1] = b;
        e.bytes[2] = c;
        return e;
    }
};

}  // namespace

TEST_F(HostLibFake, EntryPointQueriesAreAnsweredBeforeTheEffectExists) {
    std::unique_ptr<VstPlugin> p = make("Posing Host");
    ASSERT_TRUE(p);
    Fake* f = fakeOf(p->effect());
    EXPECT_EQ(f->hostVersionAtEntry, 2400);
    EXPECT_EQ(f->hostProductAtEntry, "Posing Host");
}

TEST_F(HostLibFake, BadEntriesAreRefused) {
    std::string error;
    g_config.magic = vstFourCC('N', 'o', 'p', 'e');
    EXPECT_FALSE(VstPlugin::create(VstModule::fromEntry(fakeEntry, "fake"), HostIdentity(), error));
    EXPECT_NE(error.find("magic"), std::string::npos) << error;
    g_config = FakeConfig();
    g_config.returnNull = true;
    error.clear();
    EXPECT_FALSE(VstPlugin::create(VstModule::fromEntry(fakeEntry, "fake"), HostIdentity(), error));
    EXPECT_NE(error.find("no effect"), std::string::npos) << error;
}

TEST_F(HostLibFake, CallbackAnswersEachInstanceFromItsOwnContext) {
    std::unique_ptr<VstPlugin> a = make("Host A");
    std::unique_ptr<VstPlugin> b = make("Host B");
    ASSERT_TRUE(a && b);
    char buf[64];
    hostCallback(a->effect(), audioMasterGetProductString, 0, 0, buf, 0.0f);
    EXPECT_STREQ(buf, "Host A");
    hostCallback(b->effect(), audioMasterGetProductString, 0, 0, buf, 0.0f);
    EXPECT_STREQ(buf, "Host B");
    hostCallback(a->effect(), audioMasterGetVendorString, 0, 0, buf, 0.0f);
    EXPECT_STREQ(buf, HostIdentity().vendor.c_str());
    EXPECT_EQ(hostCallback(a->effect(), audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(hostCallback(a->effect(), audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f),
              HostIdentity().vendorVersion);

    hostCallback(a->effect(), audioMasterAutomate, 3, 0, nullptr, 0.75f);
    hostCallback(a->effect(), audioMasterAutomate, 1, 0, nullptr, 0.25f);
    hostCallback(a->effect(), audioMasterBeginEdit, 1, 0, nullptr, 0.0f);
    hostCallback(a->effect(), audioMasterEndEdit, 1, 0, nullptr, 0.0f);
    EXPECT_EQ(a->host().automateCount(), 2);
    EXPECT_EQ(a->host().lastAutomatedIndex(), 1);
    EXPECT_EQ(a->host().lastAutomatedValue(), 0.25f);
    EXPECT_EQ(a->host().beginEditCount(), 1);
    EXPECT_EQ(a->host().endEditCount(), 1);
    EXPECT_EQ(b->host().automateCount(), 0);

    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
                            "receiveVstMidiEvent", "sizeWindow"})
        EXPECT_EQ(hostCallback(a->effect(), audioMasterCanDo, 0, 0, const_cast<char*>(yes), 0.0f), 1) << yes;
    EXPECT_EQ(hostCallback(a->effect(), audioMasterCanDo, 0, 0, const_cast<char*>("openFileSelector"), 0.0f), 0);
    EXPECT_EQ(hostCallback(a->effect(), audioMasterCanDo, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(hostCallback(a->effect(), audioMasterWantMidi, 0, 0, nullptr, 0.0f), 1);

    a->setSampleRate(96000.0);
    a->setBlockSize(128);
    EXPECT_EQ(hostCallback(a->effect(), audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 96000);
    EXPECT_EQ(hostCallback(a->effect(), audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 128);
    VstTimeInfo* ti = reinterpret_cast<VstTimeInfo*>(hostCallback(a->effect(), audioMasterGetTime, 0, 0, nullptr, 0.0f));
    ASSERT_EQ(ti, &a->host().timeInfo());
    EXPECT_EQ(ti->sampleRate, 96000.0);
    EXPECT_EQ(ti->timeSigNumerator, 4);
    EXPECT_TRUE(ti->flags & kVstTempoValid);

    // A closed instance is forgotten: its old pointer gets no answers from its context.
    AEffect* old = a->effect();
    a->close();
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(hostCallback(old, audioMasterGetProductString, 0, 0, buf, 0.0f), 0);
    EXPECT_EQ(buf[0], 'x');
}

TEST_F(HostLibFake, HostStringsAreCutToTheirBuffers) {
    std::unique_ptr<VstPlugin> p = make(std::string(100, 'P'));
    ASSERT_TRUE(p);
    char buf[80];
    std::memset(buf, 'z', sizeof(buf));
    hostCallback(p->effect(), audioMasterGetProductString, 0, 0, buf, 0.0f);
    EXPECT_EQ(std::strlen(buf), 63u);
    EXPECT_EQ(buf[64], 'z');
}

TEST_F(HostLibFake, SessionRunsInAHostsOrder) {
    std::unique_ptr<VstPlugin> p = make();
    ASSERT_TRUE(p);
    Fake* f = fakeOf(p->effect());
    RenderOptions ro;
    ro.sampleRate = 48000.0;
    ro.blockSize = 256;
    ro.lengthFrames = 2000;
    RenderResult rr;
    ASSERT_TRUE(renders(*p, {ev(10, 0x90, 60, 100), ev(900, 0x80, 60, 0)}, ro, rr));
    ASSERT_GE(f->calls.size(), 8u);
    EXPECT_EQ(f->calls[0].opcode, effOpen);
    EXPECT_EQ(f->calls[1].opcode, effSetSampleRate);
    EXPECT_EQ(f->calls[1].opt, 48000.0f);
    EXPECT_EQ(f->calls[2].opcode, effSetBlockSize);
    EXPECT_EQ(f->calls[2].value, 256);
    EXPECT_EQ(f->calls[3].opcode, effMainsChanged);
    EXPECT_EQ(f->calls[3].value, 1);
    EXPECT_EQ(f->calls[4].opcode, effStartProcess);
    size_t n = f->calls.size();
    EXPECT_EQ(f->calls[n - 3].opcode, effStopProcess);
    EXPECT_EQ(f->calls[n - 2].opcode, effMainsChanged);
    EXPECT_EQ(f->calls[n - 2].value, 0);
    EXPECT_EQ(f->calls[n - 1].opcode, effClose);
    EXPECT_TRUE(f->closed);
    EXPECT_TRUE(p->isClosed());
    int eventsCalls = 0;
    for (const Call& c : f->calls) eventsCalls += c.opcode == effProcessEvents;
    EXPECT_EQ(eventsCalls, 2);  // only blocks that have events get the call
    EXPECT_EQ(rr.eventsSent, 2);
    EXPECT_EQ(rr.framesProcessed, 8192 + 2000);
    EXPECT_EQ(f->processed, 8192 + 2000);
    EXPECT_GT(rr.realTimeFactor, 0.0);
}

TEST_F(HostLibFake, EventsArriveAtTheirFramesWithAnyBlocking) {
    const int64_t frames[] = {0, 1, 255, 256, 1000, 4095, 4096};
    std::vector<TimedMidiEvent> events;
    // Given out of order: the session sorts them.
    for (int i = 6; i >= 0; --i) events.push_back(ev(frames[i], 0x90, (uint8_t)(60 + i), 100));
    for (uint32_t seed : {0u, 7u}) {
        std::unique_ptr<VstPlugin> p = make();
        ASSERT_TRUE(p);
        Fake* f = fakeOf(p->effect());
        RenderOptions ro;
        ro.blockSize = 256;
        ro.randomBlockSeed = seed;
        ro.lengthFrames = 5000;
        RenderResult rr;
        ASSERT_TRUE(renders(*p, events, ro, rr));
        ASSERT_EQ(f->received.size(), 7u);
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_EQ(f->received[i].absFrame, 8192 + frames[i]) << "seed " << seed << " event " << i;
            EXPECT_EQ(f->received[i].bytes[1], 60 + i);
        }
        std::set<int32_t> sizes(f->blockFrames.begin(), f->blockFrames.end());
        for (int32_t s : sizes) {
            EXPECT_GE(s, 1);
            EXPECT_LE(s, 256);
        }
        if (seed) {
            EXPECT_GT(sizes.size(), 5u) << "random blocking gave regular blocks";
        }
    }
}

TEST_F(HostLibFake, PreRollIsCutOrKept) {
    for (bool keep : {false, true}) {
        std::unique_ptr<VstPlugin> p = make();
        ASSERT_TRUE(p);
        RenderOptions ro;
        ro.blockSize = 100;
        ro.preRollFrames = 1000;
        ro.keepPreRoll = keep;
        ro.lengthFrames = 500;
        RenderResult rr;
        ASSERT_TRUE(renders(*p, {ev(123, 0x90, 60, 100), ev(300, 0x80, 60, 0)}, ro, rr));
        int64_t offset = keep ? 1000 : 0;
        ASSERT_EQ(rr.audio.size(), 2u);
        ASSERT_EQ((int64_t)rr.audio[0].size(), 500 + offset);
        EXPECT_EQ(rr.audio[0][(size_t)(offset + 122)], 0.0f);
        EXPECT_EQ(rr.audio[0][(size_t)(offset + 123)], 0.1f);
        EXPECT_EQ(rr.audio[1][(size_t)(offset + 299)], 0.1f);
        EXPECT_EQ(rr.audio[1][(size_t)(offset + 300)], 0.0f);
        EXPECT_TRUE(rr.clean());
    }
}

TEST_F(HostLibFake, LengthFollowsTheLastEventAndTheTail) {
    std::unique_ptr<VstPlugin> p = make();
    ASSERT_TRUE(p);
    RenderOptions ro;
    ro.sampleRate = 1000.0;
    ro.tailSeconds = 1.5;
    RenderResult rr;
    ASSERT_TRUE(renders(*p, {ev(2000, 0x90, 60, 1)}, ro, rr));
    EXPECT_EQ(rr.audio[0].size(), 2001u + 1500u);
}

TEST_F(HostLibFake, TransportFollowsTheTempoMapPerBlock) {
    std::unique_ptr<VstPlugin> p = make();
    ASSERT_TRUE(p);
    Fake* f = fakeOf(p->effect());
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);  // two seconds in
    RenderOptions ro;
    ro.sampleRate = 1000.0;
    ro.blockSize = 250;
    ro.preRollFrames = 500;
    ro.tempoMap = &map;
    ro.lengthFrames = 4000;
    RenderResult rr;
    ASSERT_TRUE(renders(*p, {}, ro, rr));
    ASSERT_EQ(f->times.size(), 18u);
    for (size_t b = 0; b < f->times.size(); ++b) {
        const VstTimeInfo& t = f->times[b];
        int64_t start = f->blockStarts[b];
        bool playing = start >= 500;
        EXPECT_EQ((t.flags & kVstTransportPlaying) != 0, playing) << b;
        EXPECT_EQ((t.flags & kVstTransportChanged) != 0, b == 0 || start == 500) << b;
        EXPECT_TRUE((t.flags & kVstPpqPosValid) && (t.flags & kVstTempoValid) && (t.flags & kVstTimeSigValid));
        EXPECT_EQ(t.sampleRate, 1000.0);
        EXPECT_EQ(t.timeSigNumerator, 4);
        EXPECT_EQ(t.timeSigDenominator, 4);
        double seconds = playing ? (start - 500) / 1000.0 : 0.0;
        EXPECT_DOUBLE_EQ(t.samplePos, playing ? (double)(start - 500) : 0.0) << b;
        EXPECT_NEAR(t.ppqPos, map.ppqAtSeconds(seconds), 1e-9) << b;
        EXPECT_DOUBLE_EQ(t.tempo, seconds < 2.0 ? 120.0 : 60.0) << b;
        EXPECT_DOUBLE_EQ(t.barStartPos, std::floor(t.ppqPos / 4.0) * 4.0);
    }
    // The last block starts 3.75 s into the music: 4 quarters at 120, then 1.75 at 60.
    EXPECT_NEAR(f->times.back().ppqPos, 4.0 + 1.75, 1e-9);
}

TEST_F(HostLibFake, OutputFaultsAreCounted) {
    RenderOptions ro;
    ro.blockSize = 64;
    ro.preRollFrames = 0;
    ro.lengthFrames = 640;
    {
        std::unique_ptr<VstPlugin> p = make();
        RenderResult rr;
        ASSERT_TRUE(renders(*p, {}, ro, rr));
        EXPECT_TRUE(rr.clean());
        EXPECT_EQ(rr.faults.size(), 2u);
    }
    g_config.leaveLastRightSampleUnwritten = true;
    g_config.firstSampleNaN = true;
    std::unique_ptr<VstPlugin> p = make();
    RenderResult rr;
    ASSERT_TRUE(renders(*p, {}, ro, rr));
    EXPECT_FALSE(rr.clean());
    EXPECT_EQ(rr.faults[0].nan, 1);
    EXPECT_EQ(rr.faults[0].firstBadFrame, 0);
    EXPECT_EQ(rr.faults[1].unwritten, 10);
    EXPECT_EQ(rr.faults[1].nan, 0);
    EXPECT_EQ(rr.faults[1].firstBadFrame, 63);
    EXPECT_NE(rr.faults[1].describe().find("10 unwritten"), std::string::npos);
}

TEST_F(HostLibFake, ParameterStateIsAppliedAllOrNothing) {
    std::unique_ptr<VstPlugin> a = make();
    for (int i = 0; i < 4; ++i) a->setParameter(i, 0.1f * (float)(i + 1));
    PluginState s;
    std::string note, error;
    ASSERT_TRUE(capturePluginState(*a, s, note, error)) << error;
    EXPECT_EQ(s.kind, StateKind::Parameters);
    EXPECT_EQ(s.uniqueID, vstFourCC('F', 'a', 'k', 'e'));
    ASSERT_EQ(s.params.size(), 4u);

    std::unique_ptr<VstPlugin> b = make();
    PluginState wrongCount = s;
    wrongCount.params.push_back(0.9f);
    EXPECT_FALSE(applyPluginState(*b, wrongCount, error));
    PluginState wrongId = s;
    wrongId.uniqueID = 42;
    EXPECT_FALSE(applyPluginState(*b, wrongId, error));
    EXPECT_NE(error.find("belongs to"), std::string::npos);
    PluginState chunk = s;
    chunk.kind = StateKind::Chunk;
    chunk.chunk = {1, 2, 3};
    EXPECT_FALSE(applyPluginState(*b, chunk, error));
    EXPECT_EQ(b->getAllParameters(), std::vector<float>(4, 0.5f)) << "a refused state changed something";
    Fake* fb = fakeOf(b->effect());
    for (const Call& c : fb->calls) EXPECT_NE(c.opcode, effSetChunk);

    ASSERT_TRUE(applyPluginState(*b, s, error)) << error;
    EXPECT_EQ(b->getAllParameters(), a->getAllParameters());
}

TEST_F(HostLibFake, ChunkStateGoesThroughTheChunkCalls) {
    g_config.flags |= effFlagsProgramChunks;
    std::unique_ptr<VstPlugin> a = make();
    a->setParameter(2, 0.875f);
    PluginState s;
    std::string note, error;
    ASSERT_TRUE(capturePluginState(*a, s, note, error)) << error;
    ASSERT_EQ(s.kind, StateKind::Chunk);
    EXPECT_EQ(s.chunk.size(), 16u);

    std::unique_ptr<VstPlugin> b = make();
    ASSERT_TRUE(applyPluginState(*b, s, error)) << error;
    EXPECT_EQ(fakeOf(b->effect())->lastSetChunk, s.chunk);
    EXPECT_EQ(b->getParameter(2), 0.875f);
}

// --- the real plug-in -----------------------------------------------------------------------

// A host that starts playing at once: a chord at the very first sample of a fresh instance,
// with no pre-roll, must sound (the start-up program is applied first, the chord after it).
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
        std::vector<TimedMidiEvent> chord;
        for (uint8_t note : {60, 64, 67}) {
            TimedMidiEvent e;
            e.frame = 0;
            e.bytes[0] = 0x90;
            e.bytes[1] = note;
            e.bytes[2] = 100;
            e.size = 3;
            chord.push_back(e);
        }
        RenderResult rr;
        ASSERT_TRUE(renderSession(*p, chord, ro, rr, error)) << error;
        double peak = 0.0;
        for (int64_t i = 0; i < 4096; ++i) peak = std::max(peak, (double)std::fabs(rr.audio[0][i]));
        EXPECT_GT(peak, 0.01) << "block " << block;
    }
}
