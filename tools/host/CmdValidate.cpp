// tavrolune-host validate: the checks a careful host makes.
#include <cstdio>

#include "CommandLine.h"
#include "Commands.h"
#include "hostlib/Validator.h"

namespace tavhost {

int commandValidate(int argc, char** argv) {
    std::vector<OptionSpec> specs = hostOptionSpecs();
    specs.push_back({"seed", true, false});
    specs.push_back({"only", true, true});
    specs.push_back({"timeout", true, false});
    specs.push_back({"no-isolate", false, false});
    specs.push_back({"list", false, false});
    ParsedArgs args;
    std::string error;
    if (!parseArgs(argc, argv, 2, specs, args, error)) return reportError(kExitUsage, error);
    if (args.has("list")) {
        for (const ValidatorCheck& c : validatorChecks()) std::printf("%-16s %s\n", c.name.c_str(), c.description.c_str());
        return kExitOk;
    }
    if (args.positional.size() != 1) return reportError(kExitUsage, "validate wants exactly one plug-in file");
    ValidateOptions options;
    options.pluginPath = args.positional[0];
    int64_t seed = 0, timeout = 0;
    if (!hostIdentityFromArgs(args, options.identity, error) ||
        !integerOption(args, "seed", 0, 0xffffffffLL, 1, seed, error) ||
        !integerOption(args, "timeout", 0, 86400, 600, timeout, error))
        return reportError(kExitUsage, error);
    options.seed = (uint32_t)seed;
    options.timeoutSeconds = (int)timeout;
    options.isolate = !args.has("no-isolate");
    if (args.has("only")) {
        for (const std::string& list : args.options.at("only")) {
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!name.empty()) options.only.push_back(name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
        for (const std::string& name : options.only) {
            bool known = false;
            for (const ValidatorCheck& c : validatorChecks()) known = known || c.name == name;
            if (!known) return reportError(kExitUsage, "unknown check '" + name + "' (see validate --list)");
        }
    }
    int failed = runValidation(options, stdout);
    if (failed < 0) return reportError(kExitUsage, "unknown check name");
    return failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace tavhost
