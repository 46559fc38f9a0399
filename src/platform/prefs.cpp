#include "platform/prefs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
constexpr int kFlagTextSize = 128;

// What a file looked like when it was last read or written: a different identity means
// someone else replaced it since.
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

// Reads a preference file. Anything but a readable regular file reads as empty; a file past
// the size limit is read up to its last whole line within the limit.
std::string readPrefsFile(const std::string& path) {
    std::string data;
    if (path.empty()) return data;
    // Non-blocking open so that a FIFO in the file's place cannot hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return data;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return data;
    }
    char buf[16384];
    bool truncated = false;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            data.clear(); // a read error: treat the file as unreadable
            break;
        }
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        if (data.size() > kMaxFileSize) {
            truncated = true;
            break;
        }
    }
    ::close(fd);
    if (truncated) {
        data.resize(kMaxFileSize);
        const std::size_t lastLf = data.rfind('\n');
        data.resize(lastLf == std::string::npos ? 0 : lastLf + 1);
    }
    return data;
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
    // Guards the maps; never held while the disk is written, so a reader waits at
    // most for another thread's map update.
    std::mutex mutex;
    // Serialises the disk writes themselves.
    std::mutex writeMutex;
    uint64_t generation = 0;         // bumped for every text prepared for the disk
    uint64_t writtenGeneration = 0;  // newest text on disk (guarded by writeMutex)
    bool loaded = false;

    bool userOverride = false;
    std::string userRootOverride;
    std::vector<std::string> systemRootsOverride;

    std::string userFile;
    std::vector<std::string> systemFiles;

    PrefMap user;       // the user's store as this process sees it
    PrefMap pending;    // changes not yet on disk (also applied to `user`)
    FileId userId;      // the user's file when last read
    // The files this process wrote lately: a file that is one of them holds nothing
    // new, whatever order the writers finished in.
    std::vector<FileId> ownIds;
    int writesInFlight = 0;  // texts taken for the disk and not yet written or dropped
    int skippedLines = 0;
    int batchDepth = 0;

    PrefMap system;
    std::vector<FileId> systemIds;
    bool systemLoaded = false;
};

Store& store() {
    static Store s;
    return s;
}

void readUserFile(Store& s) {
    s.userId = fileId(s.userFile);
    PrefMap fresh;
    s.skippedLines = parsePrefsText(readPrefsFile(s.userFile), fresh);
    s.user.swap(fresh);
}

void readSystemFiles(Store& s) {
    PrefMap merged;
    s.systemIds.clear();
    // The first folder is the most important: read the list backwards so it wins.
    for (auto it = s.systemFiles.rbegin(); it != s.systemFiles.rend(); ++it)
        parsePrefsText(readPrefsFile(*it), merged);
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

// Reads come from memory: the file is read once, and again only when this process
// writes and finds that another process replaced it meanwhile.
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

// A text ready for the disk, prepared under the store's lock and written after it.
struct PendingWrite {
    std::string path;
    std::string text;
    uint64_t generation = 0;
};

// Takes the pending changes for the disk, unless a batch holds them back. Called with
// the store's lock held; the caller writes the result with writeOut once it let go.
PendingWrite takePending(Store& s) {
    PendingWrite w;
    if (s.batchDepth > 0 || s.pending.empty()) return w;
    // While a text of ours is on its way to the disk, the file on disk may be an older
    // one of ours: it is only taken as foreign when no write of ours is pending.
    const FileId onDisk = fileId(s.userFile);
    bool ours = s.writesInFlight > 0 || onDisk == s.userId;
    for (const FileId& id : s.ownIds) ours = ours || onDisk == id;
    if (!ours) {
        // Someone else replaced the file: start from their version and apply ours on top.
        readUserFile(s);
        for (const auto& [key, value] : s.pending) s.user[key] = value;
    }
    s.pending.clear();
    w.path = s.userFile;
    w.text = formatPrefsText(s.user);
    w.generation = ++s.generation;
    ++s.writesInFlight;
    return w;
}

void writeOut(Store& s, const PendingWrite& w) {
    if (w.generation == 0) return;
    bool written = false;
    FileId id;
    const std::size_t slash = w.path.rfind('/');
    {
        std::lock_guard<std::mutex> writing(s.writeMutex);
        // A newer text may already be on disk: never put an older one over it.
        if (slash != std::string::npos && w.generation > s.writtenGeneration) {
            makeDirectory(w.path.substr(0, slash));
            if (writeFileAtomically(w.path, w.text)) {
                s.writtenGeneration = w.generation;
                id = fileId(w.path);
                written = true;
            }
        }
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (written) {
        s.ownIds.push_back(id);
        if (s.ownIds.size() > 16) s.ownIds.erase(s.ownIds.begin());
    }
    --s.writesInFlight;
}

void setValue(const std::string& key, PrefValue value) {
    if (key.empty()) return;
    Store& s = store();
    PendingWrite w;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        prepare(s);
        s.user[key] = value;
        s.pending[key] = std::move(value);
        w = takePending(s);
    }
    writeOut(s, w);
}

// Keys and texts end at the first NUL byte, as the buffer forms do.
std::string cString(const std::string& text) {
    return std::string(text.c_str());
}

std::string lookupText(const std::string& key, int bufferSize) {
    if (key.empty() || bufferSize < 1) return std::string();
    const std::size_t limit = static_cast<std::size_t>(bufferSize);
    Store& s = store();
    PendingWrite w;
    std::string text;
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
            w = takePending(s);
        }
    }
    writeOut(s, w);
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
        PendingWrite w;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.batchDepth > 0) --s.batchDepth;
            w = takePending(s);
        }
        writeOut(s, w);
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
