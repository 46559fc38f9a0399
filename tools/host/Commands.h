// The sub-commands of tavrolune-host. Each returns the process exit status: 0 success,
// 1 failure of the work itself, 2 bad usage.
#pragma once

#include <string>

namespace tavhost {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int commandInfo(int argc, char** argv);
int commandRender(int argc, char** argv);
int commandState(int argc, char** argv);
int commandValidate(int argc, char** argv);
int commandEditor(int argc, char** argv);

// Prints "tavrolune-host: <message>" on stderr (and the usage hint for usage errors).
int reportError(int status, const std::string& message);

}  // namespace tavhost
