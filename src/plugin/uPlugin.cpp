// Birth and death of the plug-in object and what the host learns about it: identity,
// capabilities, output pins, edit gestures and vendor-specific requests.
#include "plugin/uPlugin.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <cstdlib>
#include <new>

#include "plugin/uPluginDemo.h"
#include "vst/AEffEditor.h"
#include "platform/platform.h"

namespace {

constexpr const char* kProductName = "Tavrolune";
constexpr const char* kVendorName = "Vantorix";
constexpr VstInt32 kVendorVersion = 0x10000;

// NKS property replies: id, info size, info flag.
struct NKSProperty {
    uint32_t id;
    uint64_t size;
    bool flag;
};
constexpr NKSProperty kNKSProperties[] = {{12, 4, false}, {13, 4, true}, {28, 1, false}, {32, 8, true}};

const NKSProperty* findNKSProperty(uint32_t id) {
    for (const NKSProperty& p : kNKSProperties)
        if (p.id == id) return &p;
    return nullptr;
}

constexpr VstInt32 kWheelTarget = vstFourCC('s', 't', 'C', 'A');
constexpr VstIntPtr kWheelMessage = vstFourCC('W', 'h', 'e', 'e');
constexpr uint32_t kNKSGetKind = 0x4E490000;   // 'NI'
constexpr uint32_t kNKSInfoKind = 0x4E690000;  // 'Ni'

bool beginsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    // The constructor either completes or unwinds its members; the memory is then
    // released by the failed new-expression itself, so the host never sees half an object.
    try {
        return new APlugin(audioMaster);
    } catch (...) {
        return nullptr;
    }
}

// Aligned to and rounded up to whole 2 MB pages, and marked before anything touches it, so
// that a system whose large pages are on request backs it with them: the render loop reads
// state spread over the whole object every sample, which small pages pay for in table walks.
// Elsewhere the mark is simply refused and nothing changes.
void* APlugin::operator new(std::size_t size) {
    constexpr std::size_t kPage = largepages::kPageBytes;
    void* p = largepages::allocate((size + kPage - 1) & ~(kPage - 1));
    if (!p) throw std::bad_alloc();
    return p;
}

// (Out of line: inlined into a new-expression beside the class's operator new, the compiler
// takes the pair for a mismatch.)
__attribute__((noinline)) void APlugin::operator delete(void* p) noexcept { largepages::release(p); }

APlugin::APlugin(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    std::memset(midiQueue, 0, sizeof(midiQueue));
    editorRedrawRequest = 0;
    std::memset(programs, 0, sizeof(programs));
    std::memset(&bankChunk, 0, sizeof(bankChunk));
    std::memset(&programChunk, 0, sizeof(programChunk));
    timeInfo = nullptr;

    isSynth(true);
    editorOpening = 0;
    editorOpen = 0;
    suspend();

    // The editor registers itself with the base (which tells the host there is one);
    // its window stays closed until the host opens it.
    editorLink = createPluginEditor(this);

    std::srand((unsigned)std::clock());
    midiQueueCount = 0;

    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing(true);

    detectHost();
    programsAreChunks(isHostReaper || isHostSolena || isHostVendorProp || isHostKore ||
                      isHostKompleteOrMaschine);
    setUniqueID(vstFourCC('T', 'a', 'V', 'o'));

    try {
        for (int i = 0; i < kMidiQueueSize; ++i) {
            VstMidiEvent* e = new VstMidiEvent;
            e->type = kVstMidiType;
            e->deltaFrames = -99;  // marks a free record of the pool
            e->noteLength = 0;
            e->noteOffset = 0;
            e->midiData[3] = 0;
            e->reserved1 = 99;
            midiQueue[i] = e;
        }
    } catch (const std::bad_alloc&) {
        for (VstMidiEvent*& e : midiQueue) {
            delete e;
            e = nullptr;
        }
        throw;
    }

    editChanged = 0;
    curSampleRate = 44100.0f;
    initVariables();
    // Differs from the 44100 just stored, so the whole rate-dependent set-up runs once;
    // the host's own rate replaces it.
    setSampleRate(44198.0f);
    updateEditorScreen();
    presetPending = 0;
    presetApplying = 0;

    const float* startup = DEMOVAR[0];
    std::memcpy(paramEdited, startup, sizeof(paramEdited));
    for (int tag = 0; tag < kNumParams; ++tag) {
        paramValue[tag] = startup[tag];
        programs[0].values[tag] = startup[tag];
    }
    setProgram(0);

    // Every page of the object's fixed arrays (voices, delay and reverb lines, scopes) is
    // written once here, so that the audio thread does not take thousands of page faults in
    // its first seconds.
    volatile unsigned char* bytes = reinterpret_cast<volatile unsigned char*>(this);
    for (std::size_t at = 0; at < sizeof(APlugin); at += 4096) bytes[at] = bytes[at];
}

APlugin::~APlugin() {
    // A host may close the plug-in with its editor still open. Taking the editor's window
    // down still reads and writes this object, so the editor goes while all of it lives
    // (the base would delete it only after this object's members are gone).
    if (AEffEditor* open = editor) {
        editor = nullptr;
        editorLink = nullptr;
        delete open;
    }
    for (VstMidiEvent*& e : midiQueue) {
        delete e;
        e = nullptr;
    }
    // Strings, arrays and member objects go with the object.
}

void APlugin::detectHost() {
    char product[256];
    char vendor[256];
    std::memset(product, 0, sizeof(product));
    std::memset(vendor, 0, sizeof(vendor));
    getHostProductString(product);
    getHostVendorString(vendor);
    // A host may fill the whole buffer: terminate before reading it as text.
    product[sizeof(product) - 1] = 0;
    vendor[sizeof(vendor) - 1] = 0;
    upperCase(product);
    upperCase(vendor);

    isHostReaper = std::strcmp(product, "REAPER") == 0;
    isHostSolena = std::strcmp(product, "KX-SOLENA") == 0;
    isHostVendorProp = beginsWith(vendor, "PROP");
    isHostKore = beginsWith(product, "KORE");
    isHostKompleteOrMaschine = beginsWith(product, "KOMPLETE") || beginsWith(product, "MASCHINE");
}

// Switched off by the host: requests from the UI thread run at once from now on, and
// learned controllers are stored.
void APlugin::suspend() { engineSuspend(); }

float APlugin::getVu() { return 0.0f; }

VstIntPtr APlugin::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt) {
    // The read-ahead a program change left waits for a call that is never made on an audio
    // thread: hosts move processing between worker threads, so a thread that has not rendered
    // yet may still be one.
    const bool realtime = opcode == effProcessEvents || opcode == effStartProcess || opcode == effStopProcess;
    if (!realtime) servicePlayingToolsRequest();
    if (opcode == effCanDo && ptr && std::strcmp(static_cast<const char*>(ptr), "NKSCallbacks") == 0)
        return 1;
    return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

bool APlugin::getEffectName(char* name) {
    if (!name) return false;
    std::strcpy(name, kProductName);
    return true;
}

bool APlugin::getProductString(char* text) {
    if (!text) return false;
    std::strcpy(text, kProductName);
    return true;
}

bool APlugin::getVendorString(char* text) {
    if (!text) return false;
    std::strcpy(text, kVendorName);
    return true;
}

VstInt32 APlugin::getVendorVersion() { return kVendorVersion; }

VstInt32 APlugin::canDo(char* text) {
    if (!text) return 0;
    static const char* const kYes[] = {"receiveVstEvents", "receiveVstMidiEvent",
                                       "receiveVstTimeInfo"};
    for (const char* yes : kYes)
        if (std::strcmp(text, yes) == 0) return 1;
    return 0;
}

bool APlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof(properties->label), "%s %d", kProductName,
                  (int)index + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool APlugin::beginEdit(VstInt32 index) {
    if (editorLink) editorLink->setEditTag(index);
    return AudioEffectX::beginEdit(index);
}

bool APlugin::endEdit(VstInt32 index) {
    if (editorLink) editorLink->setEditTag(-1);
    return AudioEffectX::endEdit(index);
}

VstIntPtr APlugin::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    if (!isHostKompleteOrMaschine) {
        if (lArg2 == kWheelMessage && lArg == kWheelTarget && editor)
            return editor->onWheel(floatArg) ? 1 : 0;
        return 0;
    }
    const uint32_t kind = (uint32_t)lArg & 0xFFFF0000u;
    const uint32_t id = (uint32_t)lArg & 0xFFFFu;
    if (kind == kNKSGetKind) return getVendorSpecificProperty(id, ptrArg) ? 1 : 0;
    if (kind == kNKSInfoKind) {
        const NKSProperty* p = findNKSProperty(id);
        if (!p) return 0;
        if (ptrArg) {
            // The reply is a u64 size immediately followed by a one-byte flag.
            unsigned char* out = static_cast<unsigned char*>(ptrArg);
            std::memcpy(out, &p->size, sizeof(uint64_t));
            out[sizeof(uint64_t)] = p->flag ? 1 : 0;
        }
        return 1;
    }
    return 0;
}

bool APlugin::notifyNKSHost(int32_t id, void* data, uint64_t size) {
    char capability[] = "NIMKPIVendorSpecificCallbacks";
    if (canHostDo(capability) == 0) return false;
    const VstInt32 index = ('K' << 24) | ('I' << 16) | id;
    return hostVendorSpecific(index, (VstIntPtr)size, data, 0.0f) == 1;
}

bool APlugin::getVendorSpecificPropertyInfo(uint32_t id, uint64_t& size, bool& flag) {
    const NKSProperty* p = findNKSProperty(id);
    if (!p) return false;
    size = p->size;
    flag = p->flag;
    return true;
}

bool APlugin::getVendorSpecificProperty(uint32_t id, void* data) {
    switch (id) {
        case 12:
        case 13: {
            if (!data) return false;
            const uint32_t v = id == 12 ? 3u : 0u;
            std::memcpy(data, &v, sizeof(v));
            return true;
        }
        case 32: {
            if (!data) return false;
            const uint64_t v = 1;
            std::memcpy(data, &v, sizeof(v));
            return true;
        }
        case 28:
            return true;
        default:
            return false;
    }
}

bool APlugin::setVendorSpecificProperty(uint32_t, const void*, uint64_t) { return false; }

// --- state chunk ---------------------------------------------------------------------

// Which record a chunk call reads or writes on this host, and through which staging
// copy; null when this host gets no chunk of that kind.
const TProgramRecord* APlugin::chunkSource(bool isPreset, TProgramRecord*& staging) {
    if (isHostKompleteOrMaschine) {
        if (isPreset) return nullptr;
        staging = &programChunk;
        return &programs[curProgram];
    }
    if (isHostReaper || isHostSolena || isHostVendorProp) {
        if (!isPreset) {
            staging = &bankChunk;
            return &programs[0];
        }
        if (isHostVendorProp) {
            staging = &programChunk;
            return &programs[curProgram];
        }
    }
    return nullptr;
}

VstInt32 APlugin::getChunk(void** data, bool isPreset) {
    if (!data) return 0;
    TProgramRecord* staging = nullptr;
    const TProgramRecord* source = chunkSource(isPreset, staging);
    if (!source) return 0;
    for (int tag = 0; tag < kNumParams; ++tag) staging->values[tag] = loadValue(source->values[tag]);
    std::memset(staging->name, 0, sizeof(staging->name));
    std::memcpy(staging->name, source->name, std::strlen(source->name));
    *data = staging;
    return (VstInt32)sizeof(TProgramRecord);
}

VstInt32 APlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    // A chunk that cannot hold a whole record is refused rather than read past its end.
    if (!data || byteSize < (VstInt32)sizeof(TProgramRecord)) return 0;
    TProgramRecord* staging = nullptr;
    // A host this plug-in offers no chunks may still hand one back (a state saved by
    // another host): it is applied like any other, never dropped with success reported.
    if (!chunkSource(isPreset, staging)) staging = isPreset ? &programChunk : &bankChunk;
    // The host may hand back the very record getChunk gave it.
    std::memmove(staging, data, sizeof(TProgramRecord));
    // A name without NUL inside its field is cut at 31 characters.
    staging->name[sizeof(staging->name) - 1] = 0;
    // Values are clamped into 0..1 as they are taken, a non-number read as 0.
    if (!storeProgramRecord(*staging)) return 0;
    // Applied even while the editor is being built, so a restore is never lost.
    loadProgram();
    return 1;
}
