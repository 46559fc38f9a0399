// The host side of one plug-in instance: what the host tells the plug-in when it calls
// back (identity strings, sample rate, block size, transport) and what the host records
// of the plug-in's calls (automation, edit gestures, display updates).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "vst/vst2abi.h"

namespace tavhost {

// Who the host says it is, so tests can pose as different hosts.
struct HostIdentity {
    std::string vendor = "Tavrolune Project";
    std::string product = "Tavrolune Host";
    int32_t vendorVersion = 1000;
    // Capability strings answered "yes" to audioMasterCanDo; any other string gets 0.
    std::vector<std::string> canDo = {"sendVstEvents",   "sendVstMidiEvent",  "sendVstTimeInfo",
                                      "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow",
                                      "startStopProcess"};
};

// Values of audioMasterGetCurrentProcessLevel.
enum ProcessLevel : int32_t {
    kProcessLevelUnknown = 0,
    kProcessLevelUser = 1,
    kProcessLevelRealtime = 2,
    kProcessLevelPrefetch = 3,
    kProcessLevelOffline = 4,
};

class HostContext {
public:
    explicit HostContext(HostIdentity identity = HostIdentity());

    // Answers one call of the plug-in to its host.
    intptr_t handle(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

    const HostIdentity& identity() const { return identity_; }

    void setSampleRate(double rate);
    double sampleRate() const { return sampleRate_; }
    void setBlockSize(int32_t frames) { blockSize_ = frames; }
    int32_t blockSize() const { return blockSize_; }
    void setProcessLevel(int32_t level) { processLevel_ = level; }

    // The transport the plug-in reads with audioMasterGetTime; the renderer moves it.
    VstTimeInfo& timeInfo() { return timeInfo_; }
    const VstTimeInfo& timeInfo() const { return timeInfo_; }

    // What the plug-in reported back.
    int64_t automateCount() const { return automateCount_; }
    int32_t lastAutomatedIndex() const { return lastAutomatedIndex_; }
    float lastAutomatedValue() const { return lastAutomatedValue_; }
    int64_t beginEditCount() const { return beginEditCount_; }
    int64_t endEditCount() const { return endEditCount_; }
    int64_t updateDisplayCount() const { return updateDisplayCount_; }
    int64_t ioChangedCount() const { return ioChangedCount_; }
    int64_t wantMidiCount() const { return wantMidiCount_; }
    int64_t eventsFromPluginCount() const { return eventsFromPlugin_; }
    int64_t getTimeCount() const { return getTimeCount_; }
    void resetCounters();

private:
    HostIdentity identity_;
    double sampleRate_ = 44100.0;
    int32_t blockSize_ = 512;
    std::atomic<int32_t> processLevel_{kProcessLevelUser};
    VstTimeInfo timeInfo_{};

    // A plug-in may call back from its own threads (editor, loaders), hence atomics.
    std::atomic<int64_t> automateCount_{0};
    std::atomic<int32_t> lastAutomatedIndex_{-1};
    std::atomic<float> lastAutomatedValue_{0.0f};
    std::atomic<int64_t> beginEditCount_{0};
    std::atomic<int64_t> endEditCount_{0};
    std::atomic<int64_t> updateDisplayCount_{0};
    std::atomic<int64_t> ioChangedCount_{0};
    std::atomic<int64_t> wantMidiCount_{0};
    std::atomic<int64_t> eventsFromPlugin_{0};
    std::atomic<int64_t> getTimeCount_{0};
};

// The callback handed to every plug-in. It finds the HostContext of the calling effect
// in a registry keyed by AEffect*; calls made while the entry point runs (the effect is
// still unknown, often nullptr) go to the context being created.
intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt);

void registerEffect(AEffect* effect, HostContext* context);
void unregisterEffect(AEffect* effect);

// Routes the calls of an entry point that is running on this thread to `context`, for the
// lifetime of the guard.
class PendingHostGuard {
public:
    explicit PendingHostGuard(HostContext* context);
    ~PendingHostGuard();
    PendingHostGuard(const PendingHostGuard&) = delete;
    PendingHostGuard& operator=(const PendingHostGuard&) = delete;

private:
    HostContext* previous_;
};

}  // namespace tavhost
