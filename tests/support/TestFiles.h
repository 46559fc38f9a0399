// Small file helpers shared by the tests that work on real folders.
#pragma once

#include <string>
#include <vector>

namespace testfiles {

// A new, empty folder of this test run ($TAV_TEST_SCRATCH, else /tmp) whose name starts
// with prefix; empty when it could not be made.
std::string makeScratchFolder(const std::string& prefix);

std::string readFile(const std::string& path);
// Writes the whole file, creating its folder first.
void writeFile(const std::string& path, const std::string& data);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> listFolder(const std::string& folder);

}  // namespace testfiles
