#include "platform/prefs.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/appfolders.h"
#include "platform/files.h"
#include "platform/prefsformat.h"
#include "platform/strutil.h"

char PREF_PATH_CSTR[32] = "com.ZELQ.Tavrolune";

namespace platform {

namespace {

const char kDefaultDomain[] = "com.ZELQ.Tavrolune";
const char kFileName[] = "preferences";
// A settings file is a few kilobytes; anything past this is not ours to read whole.
constexpr std::size_t kMaxFileSize = 16u << 20;
// How long a write waits for another process to let go of the file.
constexpr int kLockWaitMs = 3000;
constexpr int kFlagTextSize = 128;

// A machine-wide file: what it looked like when it was last read, so that a change is
// noticed.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeSec = 0;
    long mtimeNsec = 0;

    bool operator==(const FileId& o) const {
        if (exists != o.exists) return false;
        if (!exists) return true;
        return dev == o.dev && ino == o.ino && size == o.size && mtimeSec == o.mtimeSec &&
               mtimeNsec == o.mtimeNsec;
    }
    bool operator!=(const FileId& o) const { return !(*this == o); }
};

FileId fileId(const std::string& path) {
    FileId id;
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return id;
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtimeSec = static_cast<long long>(st.st_mtim.tv_sec);
    id.mtimeNsec = st.st_mtim.tv_nsec;
    return id;
}

// What reading the user's file found.
enum class FileState {
    usable,    // read (possibly empty, possibly with some bad lines)
    missing,   // nothing there yet: writing creates it
    unusable,  // something is there that cannot be read or holds nothing readable
};

FileState readPrefsFile(const std::string& path, PrefMap& into, int& skipped, std::string& why) {
    into.clear();
    skipped = 0;
    std::string data;
    int error = 0;
    switch (readRegularFile(path, kMaxFileSize, data, &error)) {
    case FileRead::ok:
        break;
    case FileRead::missing:
        return FileState::missing;
    case FileRead::notRegular:
        why = "not a regular file";
        return FileState::unusable;
    case FileRead::tooLarge:
        why = "larger than " + std::to_string(kMaxFileSize >> 20) + " MiB";
        return FileState::unusable;
    case FileRead::failed:
        why = std::strerror(error);
        return FileState::unusable;
    }
    skipped = parsePrefsText(data, into);
    // Lines there, but not one of them ours: some other format, or damaged beyond use.
    // Rewriting it would throw away whatever it holds.
    if (skipped > 0 && into.empty()) {
        why = "no line of it could be read";
        return FileState::unusable;
    }
    return FileState::usable;
}

std::string domainName() {
    const std::size_t n = strnlen(PREF_PATH_CSTR, sizeof PREF_PATH_CSTR);
    std::string domain(PREF_PATH_CSTR, n);
    if (domain.empty() || domain == "." || domain == ".." ||
        domain.find('/') != std::string::npos)
        domain = kDefaultDomain;
    return domain;
}

std::string prefsFileIn(const std::string& root) {
    std::string folder = root;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + domainName() + "/" + kFileName;
}

struct Store {
    // Guards the maps; never held while the disk is read or written, so a reader waits at
    // most for another thread's map update.
    std::mutex mutex;
    // Serialises this process's disk writes (other processes: the lock file).
    std::mutex writeMutex;
    bool loaded = false;

    bool userOverride = false;
    std::string userRootOverride;
    std::vector<std::string> systemRootsOverride;

    std::string userFile;
    std::vector<std::string> systemFiles;

    PrefMap user;       // the user's file as last read, with this process's changes on top
    PrefMap pending;    // this process's changes not yet on disk (also in `user`)
    int skippedLines = 0;
    int batchDepth = 0;
    std::string warnedFile;  // the user's file whose trouble was already told

    PrefMap system;
    std::vector<FileId> systemIds;
    bool systemLoaded = false;
};

Store& store() {
    static Store s;
    return s;
}

// Once per file: the settings stay in memory only, and the user should know why.
void warnUnusable(Store& s, const std::string& path, const std::string& why) {
    if (s.warnedFile == path) return;
    s.warnedFile = path;
    std::fprintf(stderr,
                 "Tavrolune: the preference file %s cannot be used (%s); it is left as it is and "
                 "settings changed now are kept until the plug-in closes.\n",
                 path.c_str(), why.c_str());
}

void readUserFile(Store& s) {
    PrefMap fresh;
    std::string why;
    if (readPrefsFile(s.userFile, fresh, s.skippedLines, why) == FileState::unusable) {
        warnUnusable(s, s.userFile, why);
        fresh.clear();  // the defaults
    }
    s.user.swap(fresh);
}

void readSystemFiles(Store& s) {
    PrefMap merged;
    s.systemIds.clear();
    // The first folder is the most important: read the list backwards so it wins.
    for (auto it = s.systemFiles.rbegin(); it != s.systemFiles.rend(); ++it) {
        std::string data;
        if (readRegularFile(*it, kMaxFileSize, data) == FileRead::ok) parsePrefsText(data, merged);
    }
    for (const std::string& f : s.systemFiles) s.systemIds.push_back(fileId(f));
    s.system.swap(merged);
    s.systemLoaded = true;
}

void resolveAndRead(Store& s) {
    s.pending.clear();
    s.userFile = prefsFileIn(s.userOverride ? s.userRootOverride : configRoot());
    s.systemFiles.clear();
    for (const std::string& root : s.userOverride ? s.systemRootsOverride : systemConfigRoots())
        s.systemFiles.push_back(prefsFileIn(root));
    readUserFile(s);
    s.systemLoaded = false;
    s.loaded = true;
}

// Reads come from memory: the file is read once, and again by every write.
void prepare(Store& s) {
    if (!s.loaded) resolveAndRead(s);
}

const PrefValue* systemValue(Store& s, const std::string& key) {
    bool stale = !s.systemLoaded || s.systemIds.size() != s.systemFiles.size();
    for (std::size_t i = 0; !stale && i < s.systemFiles.size(); ++i)
        stale = fileId(s.systemFiles[i]) != s.systemIds[i];
    if (stale) readSystemFiles(s);
    const auto it = s.system.find(key);
    return it == s.system.end() ? nullptr : &it->second;
}

// The lock that makes read, change and rename of the file one step for every process that
// shares it: an advisory lock on a file beside it. -1 when none could be had: without a
// folder to put it in, nothing can be written anyway.
int lockBeside(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string lockPath = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    // Another process holds it only for a read and a write of a small file. One that stays
    // stuck longer (stopped in a debugger, say) must not freeze this one for good: then the
    // change waits in memory for the next write.
    for (int waitedMs = 0;; ) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || waitedMs >= kLockWaitMs) break;
        const int stepMs = waitedMs < 20 ? 1 : 10;
        ::usleep(static_cast<useconds_t>(stepMs) * 1000);
        waitedMs += stepMs;
    }
    ::close(fd);
    return -2;
}

// Puts this process's pending changes on disk, unless a batch holds them back. Under the
// lock shared with other processes, the file is read again and only the keys changed here
// are applied to what it holds, so keys another process wrote meanwhile stay. A file that
// is there but cannot be used is never replaced. Called without the store's lock.
void flush(Store& s) {
    std::lock_guard<std::mutex> writing(s.writeMutex);
    PrefMap changes;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.batchDepth > 0 || s.pending.empty() || !s.loaded) return;
        changes = s.pending;
        path = s.userFile;
    }
    // A link to the file stays a link: the new file goes beside the one it names.
    const std::string target = linkTarget(path);
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) return;
    makeDirectory(target.substr(0, slash));
    const int lockFd = lockBeside(target);
    if (lockFd == -2) return;  // someone else is stuck with the lock: try again next time

    PrefMap fresh;
    int skipped = 0;
    std::string why;
    const FileState state = readPrefsFile(target, fresh, skipped, why);
    bool written = false;
    if (state != FileState::unusable) {
        for (const auto& [key, value] : changes) fresh[key] = value;
        written = writeFileAtomically(target, formatPrefsText(fresh));
    }
    if (lockFd >= 0) ::close(lockFd);  // lets go of the lock

    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.userFile != path) return;  // pointed elsewhere meanwhile
    if (state == FileState::unusable) {
        warnUnusable(s, path, why);
        return;
    }
    if (written) {
        for (const auto& [key, value] : changes) {
            const auto it = s.pending.find(key);
            if (it != s.pending.end() && it->second == value) s.pending.erase(it);
        }
    }
    // What the file holds now, with changes made meanwhile on top.
    s.skippedLines = skipped;
    for (const auto& [key, value] : s.pending) fresh[key] = value;
    s.user.swap(fresh);
}

void setValue(const std::string& key, PrefValue value) {
    if (key.empty()) return;
    Store& s = store();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        prepare(s);
        s.user[key] = value;
        s.pending[key] = std::move(value);
    }
    flush(s);
}

// Keys and texts end at the first NUL byte, as the buffer forms do.
std::string cString(const std::string& text) {
    return std::string(text.c_str());
}

std::string lookupText(const std::string& key, int bufferSize) {
    if (key.empty() || bufferSize < 1) return std::string();
    const std::size_t limit = static_cast<std::size_t>(bufferSize);
    Store& s = store();
    std::string text;
    bool adopted = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        prepare(s);
        const auto it = s.user.find(key);
        const bool userHas = it != s.user.end() && (it->second.isInt || !it->second.text.empty());
        if (userHas && !it->second.isInt && it->second.text.size() < limit) return it->second.text;

        const PrefValue* sys = systemValue(s, key);
        if (!sys || sys->isInt || sys->text.empty() || sys->text.size() >= limit)
            return std::string();
        text = sys->text;
        // Adopt a machine-wide setting once, but never over a value of the user's own.
        if (!userHas) {
            s.user[key] = PrefValue::ofText(text);
            s.pending[key] = PrefValue::ofText(text);
            adopted = true;
        }
    }
    if (adopted) flush(s);
    return text;
}

} // namespace

void prefsUseFolders(const std::string& userRoot, const std::vector<std::string>& systemRoots) {
    try {
        Store& s = store();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.userOverride = !userRoot.empty();
        s.userRootOverride = userRoot;
        s.systemRootsOverride = systemRoots;
        resolveAndRead(s);
    } catch (...) {
    }
}

void prefsUseDefaultFolders() {
    prefsUseFolders(std::string(), {});
}

void prefsReload() {
    try {
        Store& s = store();
        std::lock_guard<std::mutex> lock(s.mutex);
        resolveAndRead(s);
    } catch (...) {
    }
}

std::string prefsFilePath() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.loaded) resolveAndRead(s);
    return s.userFile;
}

std::vector<std::string> prefsSystemFilePaths() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.loaded) resolveAndRead(s);
    return s.systemFiles;
}

int prefsSkippedLines() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.skippedLines;
}

void prefsBeginBatch() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.batchDepth;
}

void prefsEndBatch() {
    try {
        Store& s = store();
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.batchDepth > 0) --s.batchDepth;
        }
        flush(s);
    } catch (...) {
    }
}

} // namespace platform

void saveStringToPrefs(const std::string& key, const std::string& value) {
    try {
        platform::setValue(platform::cString(key),
                           platform::PrefValue::ofText(platform::cString(value)));
    } catch (...) {
    }
}

void saveStringToPrefs(const char* key, const char* value) {
    if (!key) return;
    saveStringToPrefs(std::string(key), std::string(value ? value : ""));
}

void loadStringFromPrefs(std::string key, std::string& value, int bufferSize) {
    try {
        value = platform::lookupText(platform::cString(key), bufferSize);
    } catch (...) {
        value.clear();
    }
}

void loadStringFromPrefs(const char* key, char* out, int maxLen) {
    if (!out || maxLen < 1) return;
    out[0] = 0;
    if (!key) return;
    std::string text;
    loadStringFromPrefs(std::string(key), text, maxLen);
    copyBounded(out, maxLen, text);
}

int loadIntFromPrefs(const std::string& key) {
    try {
        const std::string k = platform::cString(key);
        if (k.empty()) return 0;
        platform::Store& s = platform::store();
        std::lock_guard<std::mutex> lock(s.mutex);
        platform::prepare(s);
        const auto it = s.user.find(k);
        return it != s.user.end() && it->second.isInt ? it->second.intValue : 0;
    } catch (...) {
        return 0;
    }
}

void saveIntToPrefs(const std::string& key, int value) {
    try {
        platform::setValue(platform::cString(key),
                           platform::PrefValue::ofInt(static_cast<int32_t>(value)));
    } catch (...) {
    }
}

void saveBoolToPrefs(const std::string& key, bool on) {
    saveStringToPrefs(key, on ? std::string("Y") : std::string("N"));
}

bool getRegisterIsOn(std::string key, bool defaultValue) {
    std::string text;
    loadStringFromPrefs(std::move(key), text, platform::kFlagTextSize);
    if (text == "Y") return true;
    if (text == "N") return false;
    return defaultValue;
}

int getMIDICC(int controller) {
    return loadIntFromPrefs(std::to_string(controller));
}

void setMIDICC(int controller, int tag) {
    saveIntToPrefs(std::to_string(controller), tag);
}
