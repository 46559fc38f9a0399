#include "platform/appfolders.h"

#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

char bundleID[64] = "com.ZELQ.Tavrolune.vst";

namespace platform {

const char* const kResourceFolderName = "Tavrolune.resources";

namespace {

const char kAppPrefix[] = "/Applications";

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// An XDG variable counts only when it holds an absolute path.
bool absoluteEnv(const char* name, std::string& value) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return false;
    value = v;
    return true;
}

std::string homeFolder() {
    std::string home;
    if (absoluteEnv("HOME", home)) return home;
    struct passwd pw;
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/tmp";
}

} // namespace

std::string dataRoot() {
    std::string root;
    if (absoluteEnv("XDG_DATA_HOME", root)) return withSlash(root);
    return withSlash(homeFolder()) + ".local/share/";
}

std::string configRoot() {
    std::string root;
    if (absoluteEnv("XDG_CONFIG_HOME", root)) return withSlash(root);
    return withSlash(homeFolder()) + ".config/";
}

std::vector<std::string> systemConfigRoots() {
    std::vector<std::string> roots;
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    if (dirs && *dirs) {
        std::string all(dirs);
        std::size_t start = 0;
        while (start <= all.size()) {
            std::size_t end = all.find(':', start);
            if (end == std::string::npos) end = all.size();
            const std::string one = all.substr(start, end - start);
            if (!one.empty() && one[0] == '/') roots.push_back(withSlash(one));
            start = end + 1;
        }
    }
    if (roots.empty()) roots.push_back("/etc/xdg/");
    return roots;
}

std::string mapApplicationsPath(const std::string& path) {
    const std::size_t n = sizeof kAppPrefix - 1;
    if (path.compare(0, n, kAppPrefix) != 0) return path;
    if (path.size() == n) {
        std::string root = dataRoot();
        root.pop_back();
        return root;
    }
    if (path[n] != '/') return path; // "/ApplicationsX" is some other folder
    return dataRoot() + path.substr(n + 1);
}

void mapApplicationsPath(const char* path, char* out, int outSize) {
    if (!out || outSize < 1) return;
    const std::string mapped = mapApplicationsPath(std::string(path ? path : ""));
    if (mapped.size() + 1 > static_cast<std::size_t>(outSize)) {
        out[0] = 0;
        return;
    }
    std::memcpy(out, mapped.c_str(), mapped.size() + 1);
}

} // namespace platform

void getResourcePath(char* out, int size) {
    if (!out || size < 1) return;
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&getResourcePath), &info) || !info.dli_fname) return;
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return;
    std::string folder(resolved);
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return;
    folder = folder.substr(0, slash + 1) + platform::kResourceFolderName + "/";
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (folder.size() + 1 > static_cast<std::size_t>(size)) {
        out[0] = 0;
        return;
    }
    std::memcpy(out, folder.c_str(), folder.size() + 1);
}
