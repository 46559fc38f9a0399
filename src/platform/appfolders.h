// Where the system keeps its files on this platform.
//
// Default folders are written as "/Applications/Vantorix/Tavrolune/..." throughout the
// system; they all live under one per-user data root ($XDG_DATA_HOME, else
// ~/.local/share), and mapApplicationsPath() is the one place that turns the first form
// into the second. The user's settings live under the configuration root
// ($XDG_CONFIG_HOME, else ~/.config).
#pragma once

#include <string>
#include <vector>

#include "platform/strutil.h"

namespace platform {

// The per-user data root, ending in '/': $XDG_DATA_HOME/ when that is an absolute path,
// else $HOME/.local/share/. Read from the environment on every call.
std::string dataRoot();

// The per-user configuration root, ending in '/': $XDG_CONFIG_HOME/ when absolute, else
// $HOME/.config/.
std::string configRoot();

// The system-wide configuration folders, most important first: the absolute entries of
// $XDG_CONFIG_DIRS, else /etc/xdg. Each ends in '/'.
std::vector<std::string> systemConfigRoots();

// "/Applications/X" becomes dataRoot() + "X" ("/Applications" alone becomes the root
// without its trailing '/'); every other path comes back unchanged.
std::string mapApplicationsPath(const std::string& path);
// Buffer form: the mapped path, or empty when it does not fit outSize bytes.
void mapApplicationsPath(const char* path, char* out, int outSize = kTextBufSize);

// Name of the folder beside the plug-in's shared object that holds its resources.
extern const char* const kResourceFolderName;

} // namespace platform

// Identifier of the plug-in bundle.
extern char bundleID[64];

// The resources folder of the plug-in, ending in '/': the folder kResourceFolderName beside
// the shared object (or program) that holds this code. `out` is left untouched when that
// folder does not exist and emptied when the path does not fit in `size` bytes.
void getResourcePath(char* out, int size);
