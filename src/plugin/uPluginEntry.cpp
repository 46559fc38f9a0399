// The exported entry points a host looks up after dlopen. Everything else in the
// shared object is hidden.
#include "plugin/uPlugin.h"

namespace {

AEffect* enter(audioMasterCallback audioMaster) {
    // A host that does not tell its VST version is not a VST host.
    if (AudioEffect::hostVersion(audioMaster) == 0) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return enter(audioMaster);
}

__attribute__((visibility("default"))) AEffect* main_macho(audioMasterCallback audioMaster) {
    return enter(audioMaster);
}

// Older Linux hosts look for nothing but "main"; C++ forbids defining main with this
// signature, so the symbol is given by an assembler name.
__attribute__((visibility("default"))) AEffect* tavroluneLegacyMain(audioMasterCallback audioMaster)
    __asm__("main");
AEffect* tavroluneLegacyMain(audioMasterCallback audioMaster) { return enter(audioMaster); }
}
