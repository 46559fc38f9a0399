// Modal boxes that put a question in front of the user and wait for the answer: text entry,
// number entry with a range check, and messages with OK or OK/Cancel.
//
// How a box is shown is chosen at run time (platform::DialogMode):
// - with a display ($DISPLAY or $WAYLAND_DISPLAY) and the dialog program (zenity) at hand,
//   the box is that program's window, run as a child process and waited for;
// - tests answer boxes from a script of answers instead;
// - otherwise (no display, no program, no script left, or $TAV_DIALOGS = "none" or
//   $TAV_TEST_SCRATCH set) a box answers at once as if cancelled: entry boxes give an empty
//   text, a message with OK/Cancel gives 2, a plain message gives 1. Nothing ever blocks
//   without a window to answer.
//
// Results: 1 = OK, 2 = Cancel (or the box was closed), 0 = nothing was shown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The size of the entry buffers callers pass.
constexpr int kEntryBufSize = 256;

// A text entry box: headline `title`, the prompt above a one-line field that starts with the
// buffer's text. OK copies the entered text into the buffer (cut to fit it: 256 bytes, or
// bufferSize), anything else empties the buffer.
void inputBox(const std::string& prompt, const std::string& title, char* buffer);
void inputBox(const std::string& prompt, const std::string& title, char* buffer, int bufferSize);
// The same box with the product's icon as window icon and the label above the field
// (256-byte buffer). Calls with two string literals land here; the box is the same.
void inputBox(const char* label, const char* title, char* buffer);
// The entry box with `message` as headline and `informative` above the field (256-byte
// buffer).
void runInputWindow(const char* message, const char* informative, char* buffer);

// Entry box on texts: `text` is the starting text (its first 255 bytes) and receives the
// entered text, or the empty text when the box was not answered with OK.
void inputBoxStr(const std::string& prompt, const std::string& title, std::string& text);

// A number entry: edits `text` with inputBoxStr and keeps only '0'..'9', '+', '-' and '.'
// in it. value = -1, and when what is left starts with a number that fits 32 bits, value =
// that whole number (its leading part: "12.5" gives 12). Returns whether a number was read.
bool inputBoxNumStr(const std::string& prompt, const std::string& title, std::string& text,
                    int& value);
// The same, but true only when min <= value <= max (value is set even when out of range).
bool inputBoxNumStr(const std::string& prompt, const std::string& title, std::string& text,
                    int min, int max, int& value);

// A message with the button "OK", and "Cancel" too when type is 1. Returns 1 for OK, 2 for
// Cancel or a closed box; an empty text (or a null pointer) shows nothing and returns 0.
int messageBox(const std::string& text, int type);
int messageBox(const char* text, int type);
// messageBox(text, 1).
int messageBoxCancel(const char* text);
// The same as messageBox.
int messageBox2(const char* text, int type);

namespace platform {

enum class DialogMode {
    Automatic, // the program's window when a display and the program are there, else no box
    Scripted,  // answers come from the script; with the script empty, as with no box
    Headless,  // no box: every box answers as cancelled at once
    External,  // always the dialog program (no display check), for testing that path
};

void dialogSetMode(DialogMode mode);
DialogMode dialogMode();

// The dialog program to run; empty means "zenity" found through $PATH.
void dialogSetProgram(const std::string& path);

// The script of answers, used in order, one per box shown.
void dialogScriptOk(const std::string& text = std::string());
void dialogScriptCancel();
void dialogScriptClear();
std::size_t dialogScriptPending();

// The window the boxes (and file selectors) of this thread open over and stay above: an X11
// window id, handed to the dialog program as "--attach=<id>"; 0 for none. The editor names
// its window when it opens and whenever it handles events, and takes it back on close.
void dialogSetParentWindow(unsigned long window);
unsigned long dialogParentWindow();

// Whether $DISPLAY or $WAYLAND_DISPLAY names a display.
bool dialogDisplayPresent();

// The boxes shown, oldest first (the last 64 are kept), so tests can check texts and
// answers.
struct DialogRecord {
    enum class Kind { Entry, Message, Question };
    Kind kind = Kind::Message;
    std::string title;   // entry boxes: the headline
    std::string text;    // the prompt or the message
    std::string initial; // entry boxes: the field's starting text
    bool ok = false;     // answered with OK
    std::string answer;  // entry boxes: the text handed back
};
std::vector<DialogRecord> dialogTranscript();
void dialogTranscriptClear();

} // namespace platform
