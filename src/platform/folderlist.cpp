#include "platform/folderlist.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace platform {

bool namesOrderedUpper(const std::string& a, const std::string& b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int x = std::toupper((unsigned char)a[i]);
        const int y = std::toupper((unsigned char)b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::vector<std::string> listFolderEntries(const std::string& folder, FolderEntryKind kind) {
    std::vector<std::string> names;
    if (folder.empty()) return names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    const std::string base = folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || name[0] == '~') continue;
        if (name.find('\n') != std::string::npos || name.find('\r') != std::string::npos) continue;
        struct stat st;
        if (::stat((base + name).c_str(), &st) != 0) continue;
        const bool wanted = kind == FolderEntryKind::Folders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode);
        if (wanted) names.push_back(name);
    }
    ::closedir(dir);
    // Names equal but for case keep one fixed order between them.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (namesOrderedUpper(a, b)) return true;
        if (namesOrderedUpper(b, a)) return false;
        return a < b;
    });
    return names;
}

} // namespace platform
