// tavrolune-host state: save a plug-in's state, or restore one and save it again.
#include <cstdio>

#include "CommandLine.h"
#include "Commands.h"
#include "hostlib/StateFile.h"
#include "hostlib/Validator.h"

namespace tavhost {

namespace {

std::string describe(const PluginState& s) {
    if (s.kind == StateKind::Chunk) return "chunk of " + std::to_string(s.chunk.size()) + " bytes";
    return std::to_string(s.params.size()) + " parameter values";
}

}  // namespace

int commandState(int argc, char** argv) {
    std::vector<OptionSpec> specs = hostOptionSpecs();
    specs.push_back({"save", true, false});
    specs.push_back({"load", true, false});
    specs.push_back({"no-settle", false, false});
    ParsedArgs args;
    std::string error;
    if (!parseArgs(argc, argv, 2, specs, args, error)) return reportError(kExitUsage, error);
    if (args.positional.size() != 1) return reportError(kExitUsage, "state wants exactly one plug-in file");
    if (!args.has("save") && !args.has("load")) return reportError(kExitUsage, "state needs --save FILE or --load FILE");
    HostIdentity identity;
    if (!hostIdentityFromArgs(args, identity, error)) return reportError(kExitUsage, error);

    PluginState loaded;
    if (args.has("load") && !loadStateFile(args.value("load"), loaded, error)) return reportError(kExitFailure, error);

    std::unique_ptr<VstPlugin> plugin = VstPlugin::load(args.positional[0], identity, error);
    if (!plugin) return reportError(kExitFailure, error);
    plugin->open();
    plugin->setSampleRate(44100.0);
    plugin->setBlockSize(512);
    if (args.has("load")) {
        if (!applyPluginState(*plugin, loaded, error)) return reportError(kExitFailure, error);
        std::printf("Loaded %s from %s\n", describe(loaded).c_str(), args.value("load").c_str());
    }
    // One block of processing lets a plug-in apply state it defers to the audio thread.
    if (!args.has("no-settle") && !settlePlugin(*plugin, error)) return reportError(kExitFailure, error);
    if (args.has("save")) {
        PluginState state;
        std::string note;
        if (!capturePluginState(*plugin, state, note, error)) return reportError(kExitFailure, error);
        if (!note.empty()) std::fprintf(stderr, "tavrolune-host: note: %s\n", note.c_str());
        if (!saveStateFile(args.value("save"), state, error)) return reportError(kExitFailure, error);
        std::printf("Saved %s to %s\n", describe(state).c_str(), args.value("save").c_str());
    }
    plugin->close();
    return kExitOk;
}

}  // namespace tavhost
