// Internal to the dialog boxes and the file selector: how the next box is answered, and
// what a dialog program's run counts as. Both keep their own script of answers and their
// own program setting, but follow the same rules.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/childprocess.h"
#include "platform/dialogs.h"

namespace platform {

enum class DialogRoute {
    None,    // nobody can answer: the box counts as cancelled at once
    Script,  // the next scripted answer
    Program, // the dialog program's window
};

// The route for `mode`: Script only in the scripted mode with an answer waiting; Program
// when the mode (or, in the automatic mode, the environment and a display) allows a window
// and the dialog program (`configured`, or zenity when empty) is found, with its path in
// `program`.
DialogRoute dialogRoute(DialogMode mode, bool scriptWaiting, const std::string& configured,
                        std::string& program);

// Takes the route and, for Script, moves the script's first answer into `scripted`. The
// caller holds the lock that guards `script`.
template <class Answer>
DialogRoute takeDialogRoute(DialogMode mode, std::deque<Answer>& script, const std::string& configured,
                            Answer& scripted, std::string& program) {
    const DialogRoute r = dialogRoute(mode, !script.empty(), configured, program);
    if (r == DialogRoute::Script) {
        scripted = script.front();
        script.pop_front();
    }
    return r;
}

// Whether a dialog program's run was answered with OK. Without an exit status (the host
// reaps children itself) the program prints only on OK, so printed text counts.
inline bool dialogProgramOk(const ChildResult& r, const std::string& printed) {
    return r.exited ? r.exitCode == 0 : r.started && !printed.empty();
}

// The dialog program's arguments that put its window over the caller's window, if any.
inline void appendDialogParent(std::vector<std::string>& argv) {
    if (const unsigned long w = dialogParentWindow()) argv.push_back("--attach=" + std::to_string(w));
}

// How many records a transcript keeps: the newest ones.
constexpr std::size_t kTranscriptMax = 64;

template <class Record>
void appendToTranscript(std::deque<Record>& transcript, Record rec) {
    transcript.push_back(std::move(rec));
    while (transcript.size() > kTranscriptMax) transcript.pop_front();
}

} // namespace platform
