// Modal file selectors: choosing a file to load, a file name to save under, or a folder.
//
// How a selector is shown follows the modal boxes (platform::dialogMode(), dialogs.h):
// - Automatic: with a display and the dialog program (zenity), the program's file selection
//   window, run as a child process and waited for; otherwise (no display, no program,
//   $TAV_DIALOGS = "none" or $TAV_TEST_SCRATCH set) it answers at once as cancelled;
// - Scripted: the next answer of the file selection script (fileSelectScript*); with the
//   script empty, cancelled;
// - Headless: cancelled;
// - External: always the dialog program.
// Nothing blocks without a window to answer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/strutil.h"

namespace platform {

enum class FileSelectKind { Load, Save, Folder };

struct FileFilter {
    std::string description;
    std::string extension; // without the dot: "arp"
};

struct FileSelectRequest {
    FileSelectKind kind = FileSelectKind::Load;
    std::string title;
    std::string initialDir;
    std::string defaultName;          // Save: the name the field starts with
    std::vector<FileFilter> filters;  // the choices of file types, in order
    int defaultFilter = -1;           // the one shown first (-1: the first)
    bool multiple = false;            // Load: several files may be chosen
};

struct FileSelectResult {
    bool ok = false;                 // a choice was made
    std::vector<std::string> paths;  // the chosen paths (absolute)
};

FileSelectResult runFileSelect(const FileSelectRequest& request);

// The dialog program to run; empty means "zenity" found through $PATH.
void fileSelectSetProgram(const std::string& path);

// The script of answers, used in order, one per selector shown.
void fileSelectScriptChoose(const std::string& path);
void fileSelectScriptChooseMany(const std::vector<std::string>& paths);
void fileSelectScriptCancel();
void fileSelectScriptClear();
std::size_t fileSelectScriptPending();

// The selectors shown, oldest first (the last 64 are kept).
struct FileSelectRecord {
    FileSelectRequest request;
    FileSelectResult result;
};
std::vector<FileSelectRecord> fileSelectTranscript();
void fileSelectTranscriptClear();

} // namespace platform

// ---- The system's file selectors -----------------------------------------------------------
//
// Load: `filter` lists patterns separated by ";" ("*.tun;*.scl"); each extension is offered,
// the last one listed shown first. On a choice outFile receives the full path and outDir the
// folder with its trailing "/"; otherwise both are emptied. `buttonText` and `extra` are not
// used.
// Save: `defaultName` starts the name field (callers pass "*.ecs"-like patterns; its extension
// is offered as the file type). When the text of defaultName from its first "." is exactly
// four characters (a dot and three more), it is forced as the chosen name's extension:
// everything of the name (after the last "/") from its first "." on is replaced by it, or it
// is appended to a name without a dot. On a choice outFile receives the path and outDir the
// folder without a trailing "/"; otherwise both are emptied.
// Buffer forms: outDir and outFile hold outSize bytes (the usual 256 when not given); a path
// that does not fit empties both, so that a cut path never names the wrong file.

void fileSelectLoadDirStr(const std::string& title, const std::string& initialDir, const std::string& buttonText,
                          const std::string& filter, const std::string& extra, std::string& outDir,
                          std::string& outFile);
void fileSelectSaveDirStr(const std::string& title, const std::string& initialDir, const std::string& buttonText,
                          const std::string& defaultName, std::string& outDir, std::string& outFile);
void fileSelectLoadDir(const char* title, const char* initialDir, const char* buttonText, const char* filter,
                       const char* extra, char* outDir, char* outFile, int outSize = kTextBufSize);
void fileSelectSaveDir(const char* title, const char* initialDir, const char* buttonText, const char* defaultName,
                       char* outDir, char* outFile, int outSize = kTextBufSize);
// Not used by the system; kept for the callers that name them. They show nothing.
void fileSelectLoad();
void fileSelectSave();
