// tavrolune-host info: everything a host can ask a plug-in without playing it.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "CommandLine.h"
#include "Commands.h"
#include "hostlib/TextUtil.h"
#include "hostlib/VstPluginLoader.h"

namespace tavhost {

namespace {

const char* categoryName(intptr_t category) {
    static const char* const names[] = {"unknown",         "effect",      "synth",
                                        "analysis",        "mastering",   "spatializer",
                                        "room effect",     "surround effect", "restoration",
                                        "offline process", "shell",       "generator"};
    if (category < 0 || category >= (intptr_t)(sizeof(names) / sizeof(names[0]))) return "?";
    return names[category];
}

std::string flagNames(int32_t flags) {
    struct Flag {
        int32_t bit;
        const char* name;
    };
    static const Flag known[] = {{1 << 0, "HasEditor"},     {1 << 1, "HasClip"},
                                 {1 << 2, "HasVu"},         {1 << 3, "CanMono"},
                                 {1 << 4, "CanReplacing"},  {1 << 5, "ProgramChunks"},
                                 {1 << 8, "IsSynth"},       {1 << 9, "NoSoundInStop"},
                                 {1 << 10, "ExtIsAsync"},   {1 << 11, "ExtHasBuffer"},
                                 {1 << 12, "CanDoubleReplacing"}};
    std::string out;
    int32_t rest = flags;
    for (const Flag& f : known) {
        if (!(flags & f.bit)) continue;
        out += out.empty() ? "" : " ";
        out += f.name;
        rest &= ~f.bit;
    }
    if (rest) {
        char buf[32];
        std::snprintf(buf, sizeof(buf), "%sother 0x%X", out.empty() ? "" : " ", (unsigned)rest);
        out += buf;
    }
    return out.empty() ? "none" : out;
}

std::string quoted(const std::string& s) { return "\"" + printable(s) + "\""; }

void printPins(VstPlugin& p, int32_t opcode, int32_t count, const char* title) {
    std::printf("%s:\n", title);
    if (count <= 0) {
        std::printf("  none\n");
        return;
    }
    for (int32_t i = 0; i < count && i < 64; ++i) {
        // Larger than the record, in case a plug-in writes past it.
        alignas(8) char buf[512];
        std::memset(buf, 0, sizeof(buf));
        intptr_t supported = p.dispatch(opcode, i, 0, buf);
        VstPinProperties pin;
        std::memcpy(&pin, buf, sizeof(pin));
        if (!supported) {
            std::printf("  %d: (no pin properties)\n", i);
            continue;
        }
        std::string flags;
        if (pin.flags & kVstPinIsActive) flags += " active";
        if (pin.flags & kVstPinIsStereo) flags += " stereo";
        if (pin.flags & kVstPinUseSpeaker) flags += " speaker";
        std::printf("  %d: label %s, short %s, flags 0x%X%s, arrangement %d\n", i,
                    quoted(boundedString(pin.label, sizeof(pin.label))).c_str(),
                    quoted(boundedString(pin.shortLabel, sizeof(pin.shortLabel))).c_str(),
                    (unsigned)pin.flags, flags.c_str(), pin.arrangementType);
    }
}

const char* canDoText(intptr_t v) { return v > 0 ? "yes" : v < 0 ? "no" : "unknown"; }

}  // namespace

int commandInfo(int argc, char** argv) {
    std::vector<OptionSpec> specs = hostOptionSpecs();
    specs.push_back({"cando", true, true});
    ParsedArgs args;
    std::string error;
    if (!parseArgs(argc, argv, 2, specs, args, error)) return reportError(kExitUsage, error);
    if (args.positional.size() != 1) return reportError(kExitUsage, "info wants exactly one plug-in file");
    HostIdentity identity;
    if (!hostIdentityFromArgs(args, identity, error)) return reportError(kExitUsage, error);

    const std::string& path = args.positional[0];
    std::unique_ptr<VstPlugin> p = VstPlugin::load(path, identity, error);
    if (!p) return reportError(kExitFailure, error);
    p->open();
    AEffect* e = p->effect();

    intptr_t vendorVersion = p->dispatch(effGetVendorVersion);
    intptr_t category = p->dispatch(effGetPlugCategory);
    uint32_t id = (uint32_t)e->uniqueID;
    std::printf("Plug-in:        %s (entry %s)\n", path.c_str(), p->module()->entryName().c_str());
    std::printf("Effect name:    %s\n", quoted(p->dispatchString(effGetEffectName)).c_str());
    std::printf("Vendor:         %s\n", quoted(p->dispatchString(effGetVendorString)).c_str());
    std::printf("Product:        %s\n", quoted(p->dispatchString(effGetProductString)).c_str());
    std::printf("Vendor version: 0x%08" PRIXPTR " (%" PRIdPTR ")\n", (uintptr_t)vendorVersion, vendorVersion);
    std::printf("Unique ID:      '%s' (%d, 0x%08X)\n", fourCCText(e->uniqueID).c_str(), e->uniqueID, id);
    std::printf("Effect version: %d\n", e->version);
    std::printf("VST version:    %" PRIdPTR "\n", p->dispatch(effGetVstVersion));
    std::printf("Category:       %" PRIdPTR " (%s)\n", category, categoryName(category));
    std::printf("Flags:          0x%08X %s\n", (unsigned)e->flags, flagNames(e->flags).c_str());
    std::printf("Programs:       %d", e->numPrograms);
    if (e->numPrograms > 0) {
        intptr_t current = p->dispatch(effGetProgram);
        std::printf(" (current %" PRIdPTR ": %s)", current, quoted(p->dispatchString(effGetProgramName)).c_str());
    }
    std::printf("\n");
    std::printf("Parameters:     %d\n", e->numParams);
    std::printf("Inputs:         %d\n", e->numInputs);
    std::printf("Outputs:        %d\n", e->numOutputs);
    std::printf("Initial delay:  %d\n", e->initialDelay);
    std::printf("Tail size:      %" PRIdPTR "\n", p->dispatch(effGetTailSize));
    // Plug-ins built with older headers allocate a shorter record: the double-precision
    // entry is only read when the flag says it exists.
    bool doubles = (e->flags & effFlagsCanDoubleReplacing) != 0;
    std::printf("processReplacing: %s, processDoubleReplacing: %s\n", e->processReplacing ? "present" : "missing",
                !doubles ? "not offered" : e->processDoubleReplacing ? "present" : "missing");

    printPins(*p, effGetOutputProperties, e->numOutputs, "Output pins");
    printPins(*p, effGetInputProperties, e->numInputs, "Input pins");

    std::vector<std::string> capabilities = {
        "sendVstEvents",   "sendVstMidiEvent",   "sendVstMidiEvents", "sendVstTimeInfo",
        "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo", "offline",
        "midiProgramNames", "bypass",             "MPE",               "NKSCallbacks"};
    if (args.has("cando"))
        for (const std::string& s : args.options.at("cando")) capabilities.push_back(s);
    std::printf("Can do:\n");
    for (const std::string& cap : capabilities) {
        intptr_t v = p->canDo(cap);
        std::printf("  %-22s %" PRIdPTR " (%s)\n", printable(cap).c_str(), v, canDoText(v));
    }

    std::printf("Parameter list (index, name, display, label, value):\n");
    for (int32_t i = 0; i < e->numParams; ++i) {
        std::string name = p->paramName(i);
        std::string display = p->paramDisplay(i);
        std::string label = p->paramLabel(i);
        float value = p->getParameter(i);
        std::printf("  %4d  %-24s %-16s %-8s %s\n", i, quoted(name).c_str(), quoted(display).c_str(),
                    quoted(label).c_str(), formatFixed(value, 6).c_str());
    }
    p->close();
    return kExitOk;
}

}  // namespace tavhost
