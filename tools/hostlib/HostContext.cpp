#include "hostlib/HostContext.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "hostlib/TextUtil.h"

// Supplied by a host program that counts a thread's heap and lock calls (tools/host).
extern "C" void tavhost_pause_counting(int pause) __attribute__((weak));

namespace tavhost {

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<AEffect*, HostContext*>& registry() {
    static std::unordered_map<AEffect*, HostContext*> map;
    return map;
}

thread_local HostContext* t_pendingHost = nullptr;

void copyString(void* ptr, const std::string& text, size_t capacity) {
    if (!ptr || capacity == 0) return;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(ptr, text.data(), n);
    static_cast<char*>(ptr)[n] = 0;
}

}  // namespace

HostContext::HostContext(HostIdentity identity) : identity_(std::move(identity)) {
    timeInfo_.sampleRate = sampleRate_;
    timeInfo_.tempo = 120.0;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                      kVstTimeSigValid;
}

void HostContext::setSampleRate(double rate) {
    sampleRate_ = rate;
    timeInfo_.sampleRate = rate;
}

void HostContext::resetCounters() {
    automateCount_ = 0;
    lastAutomatedIndex_ = -1;
    lastAutomatedValue_ = 0.0f;
    beginEditCount_ = 0;
    endEditCount_ = 0;
    updateDisplayCount_ = 0;
    ioChangedCount_ = 0;
    wantMidiCount_ = 0;
    eventsFromPlugin_ = 0;
    getTimeCount_ = 0;
}

intptr_t HostContext::handle(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt) {
    switch (opcode) {
        case audioMasterAutomate:
            lastAutomatedIndex_ = index;
            lastAutomatedValue_ = opt;
            ++automateCount_;
            return 0;
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterCurrentId:
            return effect ? effect->uniqueID : 0;
        case audioMasterIdle:
            return 0;
        case audioMasterWantMidi:
            ++wantMidiCount_;
            return 1;
        case audioMasterGetTime:
            ++getTimeCount_;
            return reinterpret_cast<intptr_t>(&timeInfo_);
        case audioMasterProcessEvents:
            ++eventsFromPlugin_;
            return 1;
        case audioMasterIOChanged:
            ++ioChangedCount_;
            return 1;
        case audioMasterSizeWindow:
            return 1;
        case audioMasterGetSampleRate:
            return (intptr_t)sampleRate_;
        case audioMasterGetBlockSize:
            return blockSize_;
        case audioMasterGetCurrentProcessLevel:
            return processLevel_;
        case audioMasterGetVendorString:
            copyString(ptr, identity_.vendor, kVstMaxVendorStrLen);
            return ptr ? 1 : 0;
        case audioMasterGetProductString:
            copyString(ptr, identity_.product, kVstMaxProductStrLen);
            return ptr ? 1 : 0;
        case audioMasterGetVendorVersion:
            return identity_.vendorVersion;
        case audioMasterVendorSpecific:
            return 0;
        case audioMasterCanDo: {
            if (!ptr) return 0;
            std::string asked = boundedString(static_cast<const char*>(ptr), 256);
            for (const std::string& s : identity_.canDo)
                if (s == asked) return 1;
            return 0;
        }
        case audioMasterGetLanguage:
            return 1;  // English
        case audioMasterUpdateDisplay:
            ++updateDisplayCount_;
            return 1;
        case audioMasterBeginEdit:
            ++beginEditCount_;
            return 1;
        case audioMasterEndEdit:
            ++endEditCount_;
            return 1;
        default:
            return 0;
    }
}

namespace {

// The host's own locks and heap calls during a callback are not the plug-in's: the counters of
// tools/host skip them.
struct CountPause {
    CountPause() {
        if (tavhost_pause_counting) tavhost_pause_counting(1);
    }
    ~CountPause() {
        if (tavhost_pause_counting) tavhost_pause_counting(0);
    }
};

}  // namespace

intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
    CountPause notThePlugins;
    HostContext* context = nullptr;
    if (effect) {
        std::lock_guard<std::mutex> lock(registryMutex());
        auto it = registry().find(effect);
        if (it != registry().end()) context = it->second;
    }
    if (!context) context = t_pendingHost;
    if (!context) {
        // An effect we do not know, outside its entry point: answer only what needs no state.
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    return context->handle(effect, opcode, index, value, ptr, opt);
}

void registerEffect(AEffect* effect, HostContext* context) {
    if (!effect) return;
    std::lock_guard<std::mutex> lock(registryMutex());
    registry()[effect] = context;
}

void unregisterEffect(AEffect* effect) {
    if (!effect) return;
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(effect);
}

PendingHostGuard::PendingHostGuard(HostContext* context) : previous_(t_pendingHost) {
    t_pendingHost = context;
}

PendingHostGuard::~PendingHostGuard() { t_pendingHost = previous_; }

}  // namespace tavhost
