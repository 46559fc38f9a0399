// In-process host for tests of the plug-in object: a host callback whose product and
// vendor strings a test chooses, which records what the plug-in tells the host.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plugin/uPlugin.h"

struct HostRecord {
    std::string product;
    std::string vendor;
    VstInt32 version = 2400;
    VstIntPtr canDoAnswer = 0;       // answer to audioMasterCanDo
    VstIntPtr vendorSpecificAnswer = 0;
    std::vector<std::pair<int, float>> automated;
    std::vector<int> beginEdits, endEdits;
    int wantMidi = 0;
    struct VendorCall {
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
    };
    std::vector<VendorCall> vendorCalls;
};

// Points HOME and the XDG folders at a fresh scratch folder of this test process, so the
// plug-in never reads or writes the user's real settings.
void useScratchHome();

class PluginHarness {
public:
    explicit PluginHarness(const std::string& product = "", const std::string& vendor = "");
    ~PluginHarness();

    APlugin& plugin() { return *plugin_; }
    APlugin* operator->() { return plugin_; }
    HostRecord& host() { return *host_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // Renders silence-in blocks until the given number of samples has passed.
    void run(int samples, int block = 512);

private:
    std::unique_ptr<HostRecord> host_;
    APlugin* plugin_ = nullptr;
};
