// Running a helper program (such as the dialog program) and collecting what it prints.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct ChildResult {
    bool started = false;  // the program could be started
    bool exited = false;   // it ended normally and exitCode is known
    int exitCode = -1;
    std::string output;    // its standard output, up to the limit given
};

// Runs argv[0] (a path to an executable) with the arguments argv, passed as they are, with
// no shell in between. Standard input reads nothing; standard error is discarded. Blocks
// until the program ends. At most maxOutput bytes of its output are kept.
ChildResult runChild(const std::vector<std::string>& argv, std::size_t maxOutput);

// Starts argv[0] (a path to an executable) with the arguments argv, no shell in between, and
// does not wait for it: standard input, output and error are /dev/null and it gets none of
// the caller's other descriptors. The child's process id, or -1 when it could not be
// started; the caller reaps it.
int startChild(const std::vector<std::string>& argv);

// The first executable file named `name` in the folders of $PATH; empty when there is none.
std::string findProgram(const std::string& name);

} // namespace platform
