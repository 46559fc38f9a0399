#include "platform/fileselect.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/childprocess.h"
#include "platform/dialogroute.h"
#include "platform/dialogs.h"

namespace platform {

namespace {

constexpr std::size_t kMaxAnswer = 256 * 1024;
// Separates the paths of a multiple selection (no file name holds it).
const char kMultiSeparator[] = "\x1f";

struct Answer {
    bool ok = false;
    std::vector<std::string> paths;
};

struct SelectState {
    std::mutex mutex;
    std::string program;
    std::deque<Answer> script;
    std::deque<FileSelectRecord> transcript;
};

SelectState& state() {
    static SelectState s;
    return s;
}

DialogRoute route(Answer& scripted, std::string& program) {
    const DialogMode mode = dialogMode();
    SelectState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return takeDialogRoute(mode, s.script, s.program, scripted, program);
}

std::string withSlash(const std::string& dir) {
    if (dir.empty() || dir.back() == '/') return dir;
    return dir + "/";
}

std::vector<std::string> split(const std::string& text, const std::string& sep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(sep, start);
        const std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty()) out.push_back(part);
        if (end == std::string::npos) break;
        start = end + sep.size();
    }
    return out;
}

Answer runProgram(const std::string& program, const FileSelectRequest& req) {
    std::vector<std::string> argv = {program, "--file-selection"};
    if (!req.title.empty()) argv.push_back("--title=" + req.title);
    appendDialogParent(argv);
    std::string start = withSlash(req.initialDir);
    if (req.kind == FileSelectKind::Save) {
        argv.push_back("--save");
        argv.push_back("--confirm-overwrite");
        start += req.defaultName;
    } else if (req.kind == FileSelectKind::Folder) {
        argv.push_back("--directory");
    }
    if (!start.empty()) argv.push_back("--filename=" + start);
    if (req.kind != FileSelectKind::Folder && !req.filters.empty()) {
        // The filter shown first is the first one given.
        const int first = req.defaultFilter >= 0 && req.defaultFilter < static_cast<int>(req.filters.size())
                              ? req.defaultFilter
                              : 0;
        std::vector<int> order{first};
        for (int i = 0; i < static_cast<int>(req.filters.size()); ++i)
            if (i != first) order.push_back(i);
        for (int i : order) {
            const FileFilter& f = req.filters[i];
            const std::string name = f.description.empty() ? f.extension : f.description;
            argv.push_back("--file-filter=" + name + " | *." + f.extension);
        }
    }
    if (req.multiple && req.kind == FileSelectKind::Load) {
        argv.push_back("--multiple");
        argv.push_back(std::string("--separator=") + kMultiSeparator);
    }
    const ChildResult r = runChild(argv, kMaxAnswer);
    std::string text = r.output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    Answer a;
    a.ok = dialogProgramOk(r, text);
    if (a.ok) a.paths = req.multiple ? split(text, kMultiSeparator) : std::vector<std::string>{text};
    return a;
}

void record(const FileSelectRequest& req, const FileSelectResult& res) {
    SelectState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    appendToTranscript(s.transcript, FileSelectRecord{req, res});
}

// The extensions of a ";"-separated pattern list: the text after each "." up to the next ";".
std::vector<std::string> extensionsOf(const std::string& filter) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < filter.size(); ++i) {
        if (filter[i] != '.') continue;
        const std::size_t end = filter.find(';', i + 1);
        const std::string ext = filter.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
        if (!ext.empty()) out.push_back(ext);
    }
    return out;
}

FileSelectRequest singleRequest(FileSelectKind kind, const std::string& title, const std::string& initialDir) {
    FileSelectRequest req;
    req.kind = kind;
    req.title = title;
    req.initialDir = initialDir;
    return req;
}

// The one path a single selection chose; empty when nothing was chosen.
std::string chosenPath(const FileSelectRequest& req) {
    const FileSelectResult res = runFileSelect(req);
    if (!res.ok || res.paths.size() != 1) return std::string();
    return res.paths[0];
}

void chooseLoad(const std::string& title, const std::string& initialDir, const std::string& filter,
                std::string& outDir, std::string& outFile) {
    outDir.clear();
    outFile.clear();
    FileSelectRequest req = singleRequest(FileSelectKind::Load, title, initialDir);
    for (const std::string& ext : extensionsOf(filter)) req.filters.push_back(FileFilter{ext, ext});
    req.defaultFilter = static_cast<int>(req.filters.size()) - 1; // the last one listed
    outFile = chosenPath(req);
    if (outFile.empty()) return;
    const std::size_t slash = outFile.rfind('/');
    outDir = slash == std::string::npos ? std::string() : outFile.substr(0, slash + 1);
}

void chooseSave(const std::string& title, const std::string& initialDir, const std::string& defaultName,
                std::string& outDir, std::string& outFile) {
    outDir.clear();
    outFile.clear();
    FileSelectRequest req = singleRequest(FileSelectKind::Save, title, initialDir);
    req.defaultName = defaultName;
    const std::size_t dot = defaultName.find('.');
    const std::string forced = dot == std::string::npos ? std::string() : defaultName.substr(dot);
    if (forced.size() > 1) req.filters.push_back(FileFilter{forced.substr(1), forced.substr(1)});
    std::string path = chosenPath(req);
    if (path.empty()) return;
    if (forced.size() == 4) {
        const std::size_t slash = path.rfind('/');
        const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        const std::size_t nameDot = path.find('.', nameStart);
        if (nameDot == std::string::npos)
            path += forced;
        else
            path = path.substr(0, nameDot) + forced;
    }
    outFile = path;
    const std::size_t slash = outFile.rfind('/');
    outDir = slash == std::string::npos ? std::string() : outFile.substr(0, slash);
}

std::string orEmpty(const char* s) { return s ? std::string(s) : std::string(); }

void copyOut(const std::string& dir, const std::string& file, char* outDir, char* outFile, int outSize) {
    const bool fits = outSize > 0 && dir.size() < static_cast<std::size_t>(outSize) &&
                      file.size() < static_cast<std::size_t>(outSize);
    if (outDir && outSize > 0) copyBounded(outDir, outSize, fits ? dir : std::string());
    if (outFile && outSize > 0) copyBounded(outFile, outSize, fits ? file : std::string());
}

} // namespace

FileSelectResult runFileSelect(const FileSelectRequest& request) {
    FileSelectResult res;
    try {
        Answer answer;
        std::string program;
        switch (route(answer, program)) {
        case DialogRoute::None:
            break;
        case DialogRoute::Script:
            res.ok = answer.ok;
            res.paths = answer.paths;
            break;
        case DialogRoute::Program: {
            const Answer a = runProgram(program, request);
            res.ok = a.ok;
            res.paths = a.paths;
            break;
        }
        }
        // Only absolute paths are answers; a single selection holds one.
        if (res.ok) {
            for (const std::string& p : res.paths)
                if (p.empty() || p[0] != '/') res.ok = false;
            if (res.paths.empty() || (!request.multiple && res.paths.size() != 1)) res.ok = false;
        }
        if (!res.ok) res.paths.clear();
        record(request, res);
    } catch (...) {
        res = FileSelectResult();
    }
    return res;
}

void fileSelectSetProgram(const std::string& path) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().program = path;
}

void fileSelectScriptChoose(const std::string& path) { fileSelectScriptChooseMany({path}); }

void fileSelectScriptChooseMany(const std::vector<std::string>& paths) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().script.push_back(Answer{true, paths});
}

void fileSelectScriptCancel() {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().script.push_back(Answer{});
}

void fileSelectScriptClear() {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().script.clear();
}

std::size_t fileSelectScriptPending() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().script.size();
}

std::vector<FileSelectRecord> fileSelectTranscript() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return std::vector<FileSelectRecord>(state().transcript.begin(), state().transcript.end());
}

void fileSelectTranscriptClear() {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().transcript.clear();
}

} // namespace platform

void fileSelectLoadDirStr(const std::string& title, const std::string& initialDir, const std::string&,
                          const std::string& filter, const std::string&, std::string& outDir, std::string& outFile) {
    try {
        platform::chooseLoad(title, initialDir, filter, outDir, outFile);
    } catch (...) {
        outDir.clear();
        outFile.clear();
    }
}

void fileSelectSaveDirStr(const std::string& title, const std::string& initialDir, const std::string&,
                          const std::string& defaultName, std::string& outDir, std::string& outFile) {
    try {
        platform::chooseSave(title, initialDir, defaultName, outDir, outFile);
    } catch (...) {
        outDir.clear();
        outFile.clear();
    }
}

void fileSelectLoadDir(const char* title, const char* initialDir, const char*, const char* filter, const char*,
                       char* outDir, char* outFile, int outSize) {
    std::string dir, file;
    try {
        platform::chooseLoad(platform::orEmpty(title), platform::orEmpty(initialDir), platform::orEmpty(filter), dir, file);
    } catch (...) {
        dir.clear();
        file.clear();
    }
    platform::copyOut(dir, file, outDir, outFile, outSize);
}

void fileSelectSaveDir(const char* title, const char* initialDir, const char*, const char* defaultName,
                       char* outDir, char* outFile, int outSize) {
    std::string dir, file;
    try {
        platform::chooseSave(platform::orEmpty(title), platform::orEmpty(initialDir), platform::orEmpty(defaultName), dir,
                             file);
    } catch (...) {
        dir.clear();
        file.clear();
    }
    platform::copyOut(dir, file, outDir, outFile, outSize);
}

void fileSelectLoad() {}
void fileSelectSave() {}
