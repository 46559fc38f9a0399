// The host library against a real third-party LinuxVST instrument (Debian's amsynth):
// loading, identity, and a chord rendered through it audibly and cleanly.
#include <gtest/gtest.h>

#include <cmath>

#include "hostlib/Renderer.h"
#include "hostlib/VstPluginLoader.h"
#include "support/host_test_support.h"

using namespace tavhost;

// The plug-in leaks on its own (a few objects per instance); that is not ours to report.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:amsynth_vst.so\n";
}

namespace {

// One module for the whole program, deliberately never unloaded (not even by static
// destructors), so leak reports at exit can still name it.
std::shared_ptr<VstModule> amsynthModule() {
    static std::shared_ptr<VstModule>* module = [] {
        std::string error;
        return new std::shared_ptr<VstModule>(VstModule::open(tavtest::amsynthPath(), error));
    }();
    return *module;
}

std::unique_ptr<VstPlugin> loadAmsynth(std::string& error) {
    std::shared_ptr<VstModule> module = amsynthModule();
    if (!module) {
        error = "cannot load " + tavtest::amsynthPath();
        return nullptr;
    }
    return VstPlugin::create(module, HostIdentity(), error);
}

class HostAmsynth : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tavtest::haveAmsynth()) GTEST_SKIP() << tavtest::amsynthPath() << " is not installed";
        tavtest::isolatePluginHome(tavtest::hostScratchDir("amsynth"));
    }

    static std::vector<TimedMidiEvent> chord(double rate, double seconds) {
        std::vector<TimedMidiEvent> events;
        int64_t off = (int64_t)(rate * seconds);
        for (uint8_t key : {57, 60, 64}) {
            TimedMidiEvent on;
            on.frame = 0;
            on.bytes[0] = 0x90;
            on.bytes[1] = key;
            on.bytes[2] = 100;
            events.push_back(on);
            TimedMidiEvent o = on;
            o.frame = off;
            o.bytes[0] = 0x80;
            o.bytes[2] = 0;
            events.push_back(o);
        }
        return events;
    }
};

double rms(const std::vector<float>& v, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to && i < v.size(); ++i) sum += (double)v[i] * v[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0.0;
}

}  // namespace

TEST_F(HostAmsynth, LoadsAsAnInstrument) {
    std::string error;
    std::unique_ptr<VstPlugin> p = loadAmsynth(error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->effect()->magic, kEffectMagic);
    EXPECT_EQ(p->module()->entryName(), "VSTPluginMain");
    p->open();
    EXPECT_TRUE(p->hasFlag(effFlagsIsSynth));
    EXPECT_GE(p->numOutputs(), 2);
    EXPECT_GT(p->numParams(), 0);
    EXPECT_EQ(p->dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_FALSE(p->dispatchString(effGetEffectName).empty());
    for (int32_t i = 0; i < p->numParams(); ++i) EXPECT_FALSE(p->paramName(i).empty()) << i;
}

TEST_F(HostAmsynth, TwoInstancesShareTheModule) {
    std::string error;
    std::shared_ptr<VstModule> module = amsynthModule();
    ASSERT_TRUE(module);
    std::unique_ptr<VstPlugin> a = VstPlugin::create(module, HostIdentity(), error);
    std::unique_ptr<VstPlugin> b = VstPlugin::create(module, HostIdentity(), error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_NE(a->effect(), b->effect());
    a->open();
    b->open();
    a->setParameter(0, 0.25f);
    b->setParameter(0, 0.75f);
    EXPECT_NE(a->getParameter(0), b->getParameter(0));
}

TEST_F(HostAmsynth, ChordIsAudibleAndClean) {
    for (int32_t block : {64, 512}) {
        std::string error;
        std::unique_ptr<VstPlugin> p = loadAmsynth(error);
        ASSERT_TRUE(p) << error;
        RenderOptions ro;
        ro.sampleRate = 44100.0;
        ro.blockSize = block;
        ro.lengthFrames = 44100;
        RenderResult rr;
        ASSERT_TRUE(renderSession(*p, chord(44100.0, 0.5), ro, rr, error)) << error;
        ASSERT_EQ(rr.audio[0].size(), 44100u);
        EXPECT_TRUE(rr.clean()) << rr.faults[0].describe() << " / " << rr.faults[1].describe();
        for (const auto& ch : rr.audio)
            for (float v : ch) ASSERT_TRUE(std::isfinite(v));
        // While the chord is held the output is clearly audible.
        double held = rms(rr.audio[0], 2205, 22050);
        EXPECT_GT(held, 0.01) << "block " << block;
        EXPECT_GT(rms(rr.audio[1], 2205, 22050), 0.01);
        EXPECT_GT(rr.realTimeFactor, 0.0);
    }
}

TEST_F(HostAmsynth, SilenceWithoutNotes) {
    std::string error;
    std::unique_ptr<VstPlugin> p = loadAmsynth(error);
    ASSERT_TRUE(p) << error;
    RenderOptions ro;
    ro.lengthFrames = 22050;
    RenderResult rr;
    ASSERT_TRUE(renderSession(*p, {}, ro, rr, error)) << error;
    EXPECT_TRUE(rr.clean());
    EXPECT_LT(rms(rr.audio[0], 0, 22050), 1e-4);
}
