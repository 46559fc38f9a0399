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
        for (uint8_t key : {57, 60, 64}) {
            TimedMidiEvent on;
            on.frame = 0;
            on.bytes[0] = 0x90;
            on.bytes[1] = key;
            on.bytes[2] = 100;
            TimedMidiEvent off = on;
            off.frame = (int64_t)(rate * seconds);
            off.bytes[0] = 0x80;
            events.insert(events.end(), {on, off});
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

TEST_F(HostAmsynth, LoadsAsAnInstrumentAndTwoInstancesShareTheModule) {
    std::string error;
    std::unique_ptr<VstPlugin> a = loadAmsynth(error), b = loadAmsynth(error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_EQ(a->module(), b->module());
    EXPECT_EQ(a->module()->entryName(), "VSTPluginMain");
    a->open();
    b->open();
    EXPECT_TRUE(a->hasFlag(effFlagsIsSynth));
    EXPECT_GE(a->numOutputs(), 2);
    EXPECT_EQ(a->dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_FALSE(a->dispatchString(effGetEffectName).empty());
    ASSERT_GT(a->numParams(), 0);
    for (int32_t i = 0; i < a->numParams(); ++i) EXPECT_FALSE(a->paramName(i).empty()) << i;
    a->setParameter(0, 0.25f);
    b->setParameter(0, 0.75f);
    EXPECT_NE(a->getParameter(0), b->getParameter(0)) << "each instance has its own state";
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
        // While the chord is held the output is clearly audible on both sides.
        for (const auto& ch : rr.audio) EXPECT_GT(rms(ch, 2205, 22050), 0.01) << "block " << block;
    }
}
