// Helpers for the host tests: scratch folders, a home for plug-ins that write settings,
// running the host program, and the third-party plug-in used as a reference.
#pragma once

#include <string>
#include <vector>

namespace tavtest {

// A new empty folder for one test under $TAV_TEST_SCRATCH (or the temp folder).
std::string hostScratchDir(const std::string& name);

// Points HOME and the XDG folders into `dir`, so plug-ins that write settings or presets
// stay out of the real home.
void isolatePluginHome(const std::string& dir);

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), capturing its output through files in `dir`.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& dir);

// The Debian amsynth LinuxVST, a third-party instrument.
std::string amsynthPath();
bool haveAmsynth();

bool fileExists(const std::string& path);
std::string readTextFile(const std::string& path);
void writeBinaryFile(const std::string& path, const std::vector<unsigned char>& data);

}  // namespace tavtest
