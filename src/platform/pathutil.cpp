#include "platform/pathutil.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kNameMax = 254;
const char* const kRootFolder = "Root Folder";

std::string str(const char* s) {
    return s ? std::string(s) : std::string();
}

bool isSep(char c) {
    return c == '/' || c == '\\';
}

// Position of the separator that starts the last component: the last '/', or when there
// is none the last backslash.
std::size_t nameSeparator(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos ? slash : path.rfind('\\');
}

// Position of the last separator of either kind.
std::size_t lastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

// Position of the dot that starts the extension of the last component, or npos.
std::size_t extensionDot(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return dot;
    const std::size_t sep = lastSeparator(path);
    if (sep != std::string::npos && sep > dot) return std::string::npos;
    return dot;
}

std::string cutExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Paths either fit the caller's buffer whole or come back empty.
void copyPath(char* out, int outSize, const std::string& path) {
    if (!out || outSize < 1) return;
    if (path.size() + 1 > static_cast<std::size_t>(outSize)) {
        out[0] = 0;
        return;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
}

void copyName(char* out, int outSize, const std::string& name) {
    const int size = outSize > kNameMax + 1 ? kNameMax + 1 : outSize;
    copyBounded(out, size, name);
}

void appendFolder(std::string& path, const std::string& folder) {
    if (folder.empty()) return;
    path += folder;
    if (path.back() != '/') path += '/';
}

void collapseRuns(std::string& text, char c) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        if (!(ch == c && !out.empty() && out.back() == c)) out += ch;
    text.swap(out);
}

void collapseRuns(char* text, char c) {
    if (!text) return;
    char* w = text;
    for (const char* r = text; *r; ++r)
        if (!(*r == c && w != text && w[-1] == c)) *w++ = *r;
    *w = 0;
}

} // namespace

std::string getFileNameOnlyStr(const std::string& path, bool cut) {
    const std::size_t sep = nameSeparator(path);
    if (sep == std::string::npos) return std::string();
    const std::string name = path.substr(sep + 1);
    return cut ? cutExtension(name) : name;
}

void getFileNameOnly(const char* path, char* out, bool cut, int outSize) {
    copyName(out, outSize, getFileNameOnlyStr(str(path), cut));
}

void getFileNameNoExtension(const char* path, char* out, int outSize) {
    getFileNameOnly(path, out, true, outSize);
}

std::string getFileNameNoExtensionStr(const std::string& text) {
    const std::size_t dot = text.find('.');
    return dot == std::string::npos ? text : text.substr(0, dot);
}

std::string getFileDriveDirStr(const std::string& path) {
    const std::size_t sep = lastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

void getFileDriveDir(const char* path, char* out, int outSize) {
    copyPath(out, outSize, getFileDriveDirStr(str(path)));
}

std::string getFolderNameOnlyStr(const std::string& path, const std::string& base) {
    if (path == base) return std::string();
    const std::string dir = getFileDriveDirStr(path);
    if (dir.size() <= base.size()) return std::string();
    std::string sub = dir.substr(base.size());
    // A base given without its trailing separator leaves one in front of the sub-folder.
    if (!sub.empty() && isSep(sub.front())) sub.erase(0, 1);
    if (!sub.empty() && isSep(sub.back())) sub.pop_back();
    return sub;
}

std::string getFullPathForFolderStr(const std::string& dir, const std::string& sub) {
    std::string path;
    appendFolder(path, dir);
    if (sub != kRootFolder) appendFolder(path, sub);
    return path;
}

void getFullPathForFolderStr(const char* dir, const char* sub, char* out, int outSize) {
    copyPath(out, outSize, getFullPathForFolderStr(str(dir), str(sub)));
}

std::string getFullPathForFileNameStr(const std::string& dir, const std::string& sub,
                                      const std::string& name, const std::string& ext) {
    return getFullPathForFolderStr(dir, sub) + getSaveName(name, ext);
}

void getFullPathForFileNameStr(const char* dir, const char* sub, const char* name,
                               const char* ext, char* out, int outSize) {
    copyPath(out, outSize, getFullPathForFileNameStr(str(dir), str(sub), str(name), str(ext)));
}

std::string getSaveName(const std::string& name, const std::string& ext) {
    return safeNameToSaveStr(name) + ext;
}

void getSaveName(const char* name, const char* ext, char* out, int outSize) {
    copyPath(out, outSize, getSaveName(str(name), str(ext)));
}

std::string getFileNameExtensionsStr(const std::string& path) {
    const std::size_t dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

void getFileNameExtension(const char* path, char* out, int outSize) {
    copyPath(out, outSize, getFileNameExtensionsStr(str(path)));
}

std::string GetFilePathNoExtensionStr(const std::string& path) {
    const std::size_t dot = extensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

void GetFilePathNoExtension(const char* path, char* out, int outSize) {
    copyPath(out, outSize, GetFilePathNoExtensionStr(str(path)));
}

std::string replaceExtension(const std::string& path, const std::string& ext) {
    return GetFilePathNoExtensionStr(path) + ext;
}

void replaceExtension(const char* path, char* out, const char* ext, int outSize) {
    copyPath(out, outSize, replaceExtension(str(path), str(ext)));
}

std::string getNameNoExtensionStr(const std::string& name) {
    return GetFilePathNoExtensionStr(name);
}

void getNameNoExtensionStr(const char* name, char* out, int outSize) {
    copyBounded(out, outSize, getNameNoExtensionStr(str(name)));
}

void removeEndSlash(char* path) {
    if (!path) return;
    const std::size_t n = std::strlen(path);
    if (n && path[n - 1] == '/') path[n - 1] = 0;
}

void removeEndSlash(std::string& path) {
    if (!path.empty() && path.back() == '/') path.pop_back();
}

void removeDoubleDot(std::string& path) { collapseRuns(path, '.'); }
void removeDoubleDot(char* path) { collapseRuns(path, '.'); }
void removeDoubleSlash(std::string& path) { collapseRuns(path, '/'); }
void removeDoubleSlash(char* path) { collapseRuns(path, '/'); }

std::string setThreeCharName(int n, const std::string& name) {
    char num[16];
    std::snprintf(num, sizeof num, "%03d ", n + 1);
    return num + name;
}

void setThreeCharName(int n, const char* name, char* out, int outSize) {
    copyBounded(out, outSize, setThreeCharName(n, str(name)));
}

std::string getThreeCharName(const std::string& text) {
    if (text.size() >= 4 && text[3] == ' ') {
        bool digits = true;
        for (int i = 0; i < 3; ++i) digits = digits && text[i] >= '0' && text[i] <= '9';
        if (digits) return text.substr(4);
    }
    return text;
}

std::string removeSub(const std::string& prefix, const std::string& text) {
    const std::size_t skip = prefix.size() + 1;
    return text.size() > skip ? text.substr(skip) : std::string();
}

void removeSub(const char* prefix, const char* text, char* out, int outSize) {
    copyPath(out, outSize, removeSub(str(prefix), str(text)));
}

std::string CombineName(const std::string& folder, const std::string& name) {
    std::string path;
    appendFolder(path, folder);
    return path + name;
}

void CombineName(const std::string& folder, const std::string& name, std::string& out) {
    out = CombineName(folder, name);
}

void CombineName(const char* folder, const char* name, char* out, int outSize) {
    copyPath(out, outSize, CombineName(str(folder), str(name)));
}

void SplitName(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t sep = path.rfind('/');
    if (sep == std::string::npos) {
        folder.clear();
        name = path;
        return;
    }
    // Take copies first: path may be one of the outputs.
    std::string f = path.substr(0, sep);
    std::string n = path.substr(sep + 1);
    folder.swap(f);
    name.swap(n);
}

void SplitName(const char* path, char* folder, char* name, int outSize) {
    std::string f, n;
    SplitName(str(path), f, n);
    copyPath(folder, outSize, f);
    copyPath(name, outSize, n);
}
