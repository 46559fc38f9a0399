#include "support/PluginHarness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

std::mutex gHostsMutex;
std::map<AEffect*, HostRecord*> gHosts;
HostRecord* gConstructing = nullptr;  // the host of a plug-in still being built

HostRecord* hostOf(AEffect* effect) {
    std::lock_guard<std::mutex> lock(gHostsMutex);
    auto it = gHosts.find(effect);
    return it != gHosts.end() ? it->second : gConstructing;
}

void putString(void* ptr, const std::string& s) {
    // Hosts hand 64-byte buffers for these strings.
    std::strncpy(static_cast<char*>(ptr), s.c_str(), 63);
    static_cast<char*>(ptr)[63] = 0;
}

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                       void* ptr, float opt) {
    HostRecord* host = hostOf(effect);
    if (!host) return opcode == audioMasterVersion ? 2400 : 0;
    // The audio and UI threads both report to the host: one at a time into its records.
    static std::mutex recording;
    std::lock_guard<std::mutex> lock(recording);
    switch (opcode) {
        case audioMasterVersion:
            return host->version;
        case audioMasterAutomate:
            host->automated.emplace_back(index, opt);
            return 0;
        case audioMasterWantMidi:
            ++host->wantMidi;
            return 1;
        case audioMasterGetProductString:
            if (host->product.empty()) return 0;
            putString(ptr, host->product);
            return 1;
        case audioMasterGetVendorString:
            if (host->vendor.empty()) return 0;
            putString(ptr, host->vendor);
            return 1;
        case audioMasterBeginEdit:
            host->beginEdits.push_back(index);
            return 1;
        case audioMasterEndEdit:
            host->endEdits.push_back(index);
            return 1;
        case audioMasterCanDo:
            return host->canDoAnswer;
        case audioMasterVendorSpecific:
            host->vendorCalls.push_back({index, value, ptr});
            return host->vendorSpecificAnswer;
        default:
            return 0;
    }
}

}  // namespace

void useScratchHome() {
    static bool done = false;
    if (done) return;
    done = true;
    const char* base = std::getenv("TAV_TEST_SCRATCH");
    std::filesystem::path root = base ? base : std::filesystem::temp_directory_path();
    root /= "tav-test-" + std::to_string(::getpid());
    std::filesystem::remove_all(root);
    for (const char* sub : {"home", "config", "data", "cache"})
        std::filesystem::create_directories(root / sub);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
}

PluginHarness::PluginHarness(const std::string& product, const std::string& vendor)
    : host_(new HostRecord) {
    useScratchHome();
    host_->product = product;
    host_->vendor = vendor;
    {
        std::lock_guard<std::mutex> lock(gHostsMutex);
        gConstructing = host_.get();
    }
    AudioEffect* effect = createEffectInstance(hostCallback);
    {
        std::lock_guard<std::mutex> lock(gHostsMutex);
        gConstructing = nullptr;
        if (effect) gHosts[effect->getAeffect()] = host_.get();
    }
    plugin_ = static_cast<APlugin*>(effect);
    if (!plugin_) ADD_FAILURE() << "the plug-in could not be created";
}

PluginHarness::~PluginHarness() {
    if (!plugin_) return;
    AEffect* effect = plugin_->getAeffect();
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);  // deletes the plug-in
    std::lock_guard<std::mutex> lock(gHostsMutex);
    gHosts.erase(effect);
}

VstIntPtr PluginHarness::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    AEffect* effect = plugin_->getAeffect();
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginHarness::run(int samples, int block) {
    std::vector<float> inL(block, 0.0f), inR(block, 0.0f), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    while (samples > 0) {
        const int n = samples < block ? samples : block;
        plugin_->getAeffect()->processReplacing(plugin_->getAeffect(), in, out, n);
        samples -= n;
    }
}
