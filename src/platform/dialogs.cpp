#include "platform/dialogs.h"

#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/appfolders.h"
#include "platform/childprocess.h"
#include "platform/dialogroute.h"
#include "platform/files.h"
#include "platform/strutil.h"

namespace platform {

namespace {

// An entry is one line; more than this from the dialog program is not an answer.
constexpr std::size_t kMaxAnswer = 64 * 1024;
const char kIconName[] = "Tavrolune.png";

struct Answer {
    bool ok = false;
    std::string text;
};

struct DialogState {
    std::mutex mutex;
    DialogMode mode = DialogMode::Automatic;
    std::string program;
    std::deque<Answer> script;
    std::deque<DialogRecord> transcript;
};

DialogState& state() {
    static DialogState s;
    return s;
}

thread_local unsigned long tParentWindow = 0;

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Decides how the next box is answered; takes the script answer when there is one.
DialogRoute route(Answer& scripted, std::string& program) {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return takeDialogRoute(s.mode, s.script, s.program, scripted, program);
}

void record(DialogRecord rec) {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    appendToTranscript(s.transcript, std::move(rec));
}

// The entry box's label treats '_' as a mnemonic mark and backslashes as escapes.
std::string entryLabel(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '_') out += c;
        out += c;
    }
    return out;
}

std::string iconPath() {
    char folder[PATH_MAX];
    folder[0] = 0;
    getResourcePath(folder, sizeof folder);
    if (!folder[0]) return std::string();
    const std::string icon = std::string(folder) + kIconName;
    return fileExists(icon) ? icon : std::string();
}

// Runs an entry box and returns its answer (not OK when no box could be shown).
Answer runEntry(const std::string& title, const std::string& prompt, const std::string& initial,
                bool withIcon) {
    Answer answer;
    std::string program;
    switch (route(answer, program)) {
    case DialogRoute::Script:
        break;
    case DialogRoute::None:
        std::fprintf(stderr, "Tavrolune: %s: %s (no answer possible: cancelled)\n", title.c_str(),
                     prompt.c_str());
        answer = Answer();
        break;
    case DialogRoute::Program: {
        std::vector<std::string> argv = {program, "--entry", "--title=" + title,
                                         "--text=" + entryLabel(prompt),
                                         "--entry-text=" + initial, "--ok-label=OK",
                                         "--cancel-label=Cancel"};
        appendDialogParent(argv);
        if (withIcon) {
            const std::string icon = iconPath();
            if (!icon.empty()) argv.push_back("--window-icon=" + icon);
        }
        const ChildResult r = runChild(argv, kMaxAnswer);
        std::string text = r.output;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        answer.ok = dialogProgramOk(r, text);
        answer.text = answer.ok ? text : std::string();
        break;
    }
    }
    if (!answer.ok) answer.text.clear();

    DialogRecord rec;
    rec.kind = DialogRecord::Kind::Entry;
    rec.title = title;
    rec.text = prompt;
    rec.initial = initial;
    rec.ok = answer.ok;
    rec.answer = answer.text;
    record(std::move(rec));
    return answer;
}

void entryIntoBuffer(const std::string& title, const std::string& prompt, char* buffer,
                     int bufferSize, bool withIcon) {
    if (!buffer || bufferSize < 1) return;
    const std::string initial(buffer, strnlen(buffer, static_cast<std::size_t>(bufferSize)));
    const Answer answer = runEntry(title, prompt, initial, withIcon);
    copyBounded(buffer, bufferSize, answer.ok ? answer.text : std::string());
}

// The leading whole number of text, as the standard string-to-int reads it; false when
// there is none or it does not fit 32 bits.
bool leadingInt(const std::string& text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    long long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
        ++i;
    }
    if (i == firstDigit) return false;
    if (negative) v = -v;
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

void dialogSetParentWindow(unsigned long window) { tParentWindow = window; }

unsigned long dialogParentWindow() { return tParentWindow; }

void dialogSetMode(DialogMode mode) {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.mode = mode;
}

DialogMode dialogMode() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.mode;
}

void dialogSetProgram(const std::string& path) {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.program = path;
}

void dialogScriptOk(const std::string& text) {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.script.push_back(Answer{true, text});
}

void dialogScriptCancel() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.script.push_back(Answer{false, std::string()});
}

void dialogScriptClear() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.script.clear();
}

std::size_t dialogScriptPending() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.script.size();
}

DialogRoute dialogRoute(DialogMode mode, bool scriptWaiting, const std::string& configured,
                        std::string& program) {
    switch (mode) {
    case DialogMode::Headless:
        return DialogRoute::None;
    case DialogMode::Scripted:
        return scriptWaiting ? DialogRoute::Script : DialogRoute::None;
    case DialogMode::External:
        break;
    case DialogMode::Automatic: {
        const char* choice = std::getenv("TAV_DIALOGS");
        if ((choice && std::strcmp(choice, "none") == 0) || envSet("TAV_TEST_SCRATCH")) return DialogRoute::None;
        if (!dialogDisplayPresent()) return DialogRoute::None;
        break;
    }
    }
    program = findProgram(configured.empty() ? std::string("zenity") : configured);
    return program.empty() ? DialogRoute::None : DialogRoute::Program;
}

bool dialogDisplayPresent() {
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY");
}

std::vector<DialogRecord> dialogTranscript() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::vector<DialogRecord>(s.transcript.begin(), s.transcript.end());
}

void dialogTranscriptClear() {
    DialogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.transcript.clear();
}

} // namespace platform

void inputBox(const std::string& prompt, const std::string& title, char* buffer, int bufferSize) {
    try {
        platform::entryIntoBuffer(title, prompt, buffer, bufferSize, false);
    } catch (...) {
        if (buffer && bufferSize > 0) buffer[0] = 0;
    }
}

void inputBox(const std::string& prompt, const std::string& title, char* buffer) {
    inputBox(prompt, title, buffer, kEntryBufSize);
}

void inputBox(const char* label, const char* title, char* buffer) {
    try {
        platform::entryIntoBuffer(title ? title : "", label ? label : "", buffer, kEntryBufSize,
                                  true);
    } catch (...) {
        if (buffer) buffer[0] = 0;
    }
}

void runInputWindow(const char* message, const char* informative, char* buffer) {
    inputBox(std::string(informative ? informative : ""), std::string(message ? message : ""),
             buffer, kEntryBufSize);
}

void inputBoxStr(const std::string& prompt, const std::string& title, std::string& text) {
    char label[kEntryBufSize];
    char head[kEntryBufSize];
    char buffer[kEntryBufSize];
    copyBounded(label, sizeof label, prompt);
    copyBounded(head, sizeof head, title);
    copyBounded(buffer, sizeof buffer, text);
    inputBox(label, head, buffer);
    text = buffer;
}

bool inputBoxNumStr(const std::string& prompt, const std::string& title, std::string& text,
                    int& value) {
    inputBoxStr(prompt, title, text);
    stripAllButNum(text);
    value = -1;
    if (text.empty()) return false;
    int v = 0;
    if (!platform::leadingInt(text, v)) return false;
    value = v;
    return true;
}

bool inputBoxNumStr(const std::string& prompt, const std::string& title, std::string& text,
                    int min, int max, int& value) {
    if (!inputBoxNumStr(prompt, title, text, value)) return false;
    return value >= min && value <= max;
}

int messageBox(const char* text, int type) {
    if (!text || !*text) return 0;
    try {
        const bool withCancel = type == 1;
        platform::Answer answer;
        std::string program;
        int result = withCancel ? 2 : 1; // no box: cancelled, or the only button
        switch (platform::route(answer, program)) {
        case platform::DialogRoute::None:
            // Nobody can see a box: the user still learns what went wrong.
            std::fprintf(stderr, "Tavrolune: %s\n", text);
            break;
        case platform::DialogRoute::Script:
            result = answer.ok ? 1 : 2;
            break;
        case platform::DialogRoute::Program: {
            std::vector<std::string> argv = {program, withCancel ? "--question" : "--info",
                                             std::string("--text=") + text, "--no-markup",
                                             "--ok-label=OK"};
            if (withCancel) argv.push_back("--cancel-label=Cancel");
            platform::appendDialogParent(argv);
            const platform::ChildResult r = platform::runChild(argv, 0);
            if (r.exited && (r.exitCode == 0 || r.exitCode == 1)) result = r.exitCode == 0 ? 1 : 2;
            break;
        }
        }
        platform::DialogRecord rec;
        rec.kind = withCancel ? platform::DialogRecord::Kind::Question
                              : platform::DialogRecord::Kind::Message;
        rec.text = text;
        rec.ok = result == 1;
        platform::record(std::move(rec));
        return result;
    } catch (...) {
        return 0;
    }
}

int messageBox(const std::string& text, int type) {
    return messageBox(text.c_str(), type);
}

int messageBoxCancel(const char* text) {
    return messageBox(text, 1);
}

int messageBox2(const char* text, int type) {
    return messageBox(text, type);
}
