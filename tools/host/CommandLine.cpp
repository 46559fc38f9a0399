#include "CommandLine.h"

#include "hostlib/TextUtil.h"

namespace tavhost {

std::string ParsedArgs::value(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    if (it == options.end() || it->second.empty()) return fallback;
    return it->second.back();
}

bool parseArgs(int argc, char** argv, int start, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               std::string& error) {
    out = ParsedArgs();
    bool onlyPositional = false;
    for (int i = start; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyPositional || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!onlyPositional && arg.size() > 1 && arg[0] == '-') {
                error = "unknown option '" + arg + "'";
                return false;
            }
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        bool inlineValue = false;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        const OptionSpec* known = nullptr;
        for (const OptionSpec& s : specs)
            if (s.name == name) known = &s;
        if (!known) {
            error = "unknown option '--" + name + "'";
            return false;
        }
        if (known->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = "option '--" + name + "' needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!known->takesValue && inlineValue) {
            error = "option '--" + name + "' takes no value";
            return false;
        }
        if (out.has(name) && !known->repeatable) {
            error = "option '--" + name + "' given more than once";
            return false;
        }
        out.options[name].push_back(value);
    }
    return true;
}

std::vector<OptionSpec> hostOptionSpecs() {
    return {{"host-product", true, false}, {"host-vendor", true, false}, {"host-version", true, false}};
}

bool hostIdentityFromArgs(const ParsedArgs& args, HostIdentity& identity, std::string& error) {
    if (args.has("host-product")) identity.product = args.value("host-product");
    if (args.has("host-vendor")) identity.vendor = args.value("host-vendor");
    int64_t version = 0;
    if (!integerOption(args, "host-version", 0, 0x7fffffff, identity.vendorVersion, version, error))
        return false;
    identity.vendorVersion = (int32_t)version;
    // The host copies its strings into 64-byte buffers of the plug-in.
    if (identity.product.size() > 63 || identity.vendor.size() > 63) {
        error = "host product and vendor strings are limited to 63 characters";
        return false;
    }
    return true;
}

bool numberOption(const ParsedArgs& args, const std::string& name, double min, double max,
                  double fallback, double& out, std::string& error) {
    if (!args.has(name)) {
        out = fallback;
        return true;
    }
    double v = 0;
    std::string text = args.value(name);
    if (!parseDouble(text, v) || v < min || v > max) {
        error = "--" + name + " wants a number from " + formatFixed(min, min == (int64_t)min ? 0 : 3) +
                " to " + formatFixed(max, max == (int64_t)max ? 0 : 3) + ", not '" + text + "'";
        return false;
    }
    out = v;
    return true;
}

bool integerOption(const ParsedArgs& args, const std::string& name, int64_t min, int64_t max,
                   int64_t fallback, int64_t& out, std::string& error) {
    if (!args.has(name)) {
        out = fallback;
        return true;
    }
    int64_t v = 0;
    std::string text = args.value(name);
    if (!parseInt64(text, v) || v < min || v > max) {
        error = "--" + name + " wants a whole number from " + std::to_string(min) + " to " +
                std::to_string(max) + ", not '" + text + "'";
        return false;
    }
    out = v;
    return true;
}

}  // namespace tavhost
