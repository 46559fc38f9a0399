// The user's settings: a per-user preference store of strings, 32-bit integers and yes/no
// flags ("Y"/"N") under text keys, in the domain named by PREF_PATH_CSTR.
//
// The store is one text file, $XDG_CONFIG_HOME/<domain>/preferences (else
// ~/.config/<domain>/preferences), read into memory once and written through at once on
// every change: under an advisory lock shared with every other process (a lock file beside
// the file), the file is read again, only the keys this process changed are set in it, and
// the whole text goes to a temporary file that is renamed over the old one. So the file on
// disk is always complete, and keys written by two hosts never revert each other. A
// symbolic link to the file stays a link: the file it names is replaced.
//
// A machine-wide file of the same form, <dir>/<domain>/preferences for each folder of
// $XDG_CONFIG_DIRS (else /etc/xdg), is read but never written: a text missing from the
// user's store is looked up there and, when found, copied into the user's store.
//
// A missing, unreadable or damaged file never fails a call: unreadable lines are skipped,
// and a missing key reads as empty text, 0 or the caller's default. A file that is there
// but cannot be used at all (not a regular file, unreadable, too large, not one line of it
// readable) is never replaced: the plug-in runs on the defaults, keeps changes in memory,
// and says why once on stderr.
//
// All functions are safe to call from several UI threads (one lock guards the store); they
// lock and touch the disk, so the audio thread must not call them.
#pragma once

#include <string>
#include <vector>

// The preference domain, "com.ZELQ.Tavrolune". Changing it takes effect at the next
// platform::prefsReload().
extern char PREF_PATH_CSTR[32];

// Stores the text under the key and writes the store through. A text holding a NUL byte is
// stored up to that byte; an empty key is ignored.
void saveStringToPrefs(const std::string& key, const std::string& value);
void saveStringToPrefs(const char* key, const char* value);

// The text stored under the key when it is a non-empty text shorter than bufferSize bytes;
// otherwise the machine-wide text of that key when it fits (and, when the user's store held
// nothing under the key, that text is copied into it); otherwise empty. A text that does
// not fit reads as missing, it is never cut.
void loadStringFromPrefs(std::string key, std::string& value, int bufferSize);
// Buffer form: `out` holds at least maxLen bytes and always ends up terminated (nothing is
// written when maxLen < 1).
void loadStringFromPrefs(const char* key, char* out, int maxLen);

// The integer stored under the key; 0 when it is missing or not an integer.
int loadIntFromPrefs(const std::string& key);
// Stores an integer and writes the store through.
void saveIntToPrefs(const std::string& key, int value);

// Stores "Y" for true and "N" for false and writes the store through.
void saveBoolToPrefs(const std::string& key, bool on);
// Reads the key as text (at most 127 bytes): exactly "Y" is true, exactly "N" is false,
// anything else (missing, empty, "y", "Yes") gives defaultValue.
bool getRegisterIsOn(std::string key, bool defaultValue);

// The parameter tag that MIDI controller `controller` drives (the integer under the key
// spelled as its decimal number, "0".."127"); 0 for none.
int getMIDICC(int controller);
// Stores the tag for the controller and writes the store through.
void setMIDICC(int controller, int tag);

namespace platform {

// Points the store at other configuration roots (folders that hold <domain>/preferences)
// and reads it again. An empty userRoot returns to the XDG folders. For tests.
void prefsUseFolders(const std::string& userRoot, const std::vector<std::string>& systemRoots);
// Back to the XDG folders (read from the environment again) and reads the store again.
void prefsUseDefaultFolders();
// Forgets the store in memory (and any changes a batch still holds) and reads the file again.
void prefsReload();

// The user's preference file and the machine-wide ones in use.
std::string prefsFilePath();
std::vector<std::string> prefsSystemFilePaths();

// How many lines of the user's file the last read skipped as unreadable.
int prefsSkippedLines();

// While a batch is open, changes go to memory only; closing the last open batch writes
// them in one go (for the 128 controller entries of a controller map, say). Reads within
// the batch see the changes.
void prefsBeginBatch();
void prefsEndBatch();

class PrefsBatch {
public:
    PrefsBatch() { prefsBeginBatch(); }
    ~PrefsBatch() { prefsEndBatch(); }
    PrefsBatch(const PrefsBatch&) = delete;
    PrefsBatch& operator=(const PrefsBatch&) = delete;
};

} // namespace platform
