// Loading a VST 2.4 plug-in from a shared object and talking to one instance of it.
// Only the binary interface is used: any LinuxVST .so can be loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostlib/HostContext.h"
#include "vst/vst2abi.h"

namespace tavhost {

typedef AEffect* (*VstEntryProc)(audioMasterCallback);

// One dlopen'ed shared object. Instances share it; it is closed with the last of them.
class VstModule {
public:
    static std::shared_ptr<VstModule> open(const std::string& path, std::string& error);
    // A plug-in linked into this program, known by its entry function (tests use this).
    static std::shared_ptr<VstModule> fromEntry(VstEntryProc entry, const std::string& label);
    ~VstModule();
    VstModule(const VstModule&) = delete;
    VstModule& operator=(const VstModule&) = delete;

    const std::string& path() const { return path_; }
    VstEntryProc entry() const { return entry_; }
    // "VSTPluginMain" or "main".
    const std::string& entryName() const { return entryName_; }

private:
    VstModule() = default;
    std::string path_;
    void* handle_ = nullptr;
    VstEntryProc entry_ = nullptr;
    std::string entryName_;
};

// One instance of a plug-in and its host context. Creating it calls the entry point;
// destroying it sends effClose (which frees the plug-in's side) unless close() did.
class VstPlugin {
public:
    static std::unique_ptr<VstPlugin> create(std::shared_ptr<VstModule> module,
                                             const HostIdentity& identity, std::string& error);
    static std::unique_ptr<VstPlugin> load(const std::string& path, const HostIdentity& identity,
                                           std::string& error);
    ~VstPlugin();
    VstPlugin(const VstPlugin&) = delete;
    VstPlugin& operator=(const VstPlugin&) = delete;

    AEffect* effect() const { return effect_; }
    HostContext& host() { return *host_; }
    const std::shared_ptr<VstModule>& module() const { return module_; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);
    void processReplacing(float** inputs, float** outputs, int32_t frames);

    // The effect's figures; 0 once it is closed (the record is gone then).
    int32_t numParams() const { return live() ? effect_->numParams : 0; }
    int32_t numPrograms() const { return live() ? effect_->numPrograms : 0; }
    int32_t numInputs() const { return live() ? effect_->numInputs : 0; }
    int32_t numOutputs() const { return live() ? effect_->numOutputs : 0; }
    int32_t flags() const { return live() ? effect_->flags : 0; }
    bool hasFlag(int32_t flag) const { return (flags() & flag) != 0; }

    // effOpen once; effClose once (the AEffect is gone afterwards).
    void open();
    void close();
    bool isOpen() const { return opened_ && !closed_; }
    bool isClosed() const { return closed_; }

    // effMainsChanged with the host's bookkeeping of the sample rate and block size.
    void setSampleRate(double rate);
    void setBlockSize(int32_t frames);
    void resume();
    void suspend();
    bool isResumed() const { return resumed_; }

    // A string opcode's answer read from a zeroed 256-byte buffer, bounded.
    std::string dispatchString(int32_t opcode, int32_t index = 0, size_t maxLen = 255);
    std::string paramName(int32_t index) { return dispatchString(effGetParamName, index); }
    std::string paramDisplay(int32_t index) { return dispatchString(effGetParamDisplay, index); }
    std::string paramLabel(int32_t index) { return dispatchString(effGetParamLabel, index); }
    // effCanDo: 1 yes, -1 no, 0 unknown.
    intptr_t canDo(const std::string& capability);

    // effGetChunk (bank when preset is false) copied out; empty when the plug-in gives none.
    std::vector<uint8_t> getChunk(bool preset = false);
    intptr_t setChunk(const void* data, size_t size, bool preset = false);

    // All parameter values, in index order.
    std::vector<float> getAllParameters();

private:
    VstPlugin() = default;
    bool live() const { return effect_ && !closed_; }
    std::shared_ptr<VstModule> module_;
    std::unique_ptr<HostContext> host_;
    AEffect* effect_ = nullptr;
    bool opened_ = false;
    bool closed_ = false;
    bool resumed_ = false;
};

}  // namespace tavhost
