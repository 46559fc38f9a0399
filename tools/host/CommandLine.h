// Command-line parsing for tavrolune-host: positional arguments and "--name value",
// "--name=value" or "--flag" options checked against a table per command.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hostlib/HostContext.h"

namespace tavhost {

struct OptionSpec {
    std::string name;  // without the leading "--"
    bool takesValue;
    bool repeatable;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> options;
    bool has(const std::string& name) const { return options.count(name) > 0; }
    // The (last) value of an option, or `fallback`.
    std::string value(const std::string& name, const std::string& fallback = std::string()) const;
};

// Parses argv[start..argc). False with a message on unknown options, missing values or
// repeated single options.
bool parseArgs(int argc, char** argv, int start, const std::vector<OptionSpec>& specs, ParsedArgs& out,
               std::string& error);

// The options every command takes to pose as a particular host.
std::vector<OptionSpec> hostOptionSpecs();
bool hostIdentityFromArgs(const ParsedArgs& args, HostIdentity& identity, std::string& error);

// A number option within [min, max]; the fallback when absent. False with a message.
bool numberOption(const ParsedArgs& args, const std::string& name, double min, double max,
                  double fallback, double& out, std::string& error);
bool integerOption(const ParsedArgs& args, const std::string& name, int64_t min, int64_t max,
                   int64_t fallback, int64_t& out, std::string& error);

}  // namespace tavhost
