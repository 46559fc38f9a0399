#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/pathutil.h"

namespace {

const char* const kDeletedExt = ".~fx";

std::string str(const char* s) {
    return s ? std::string(s) : std::string();
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    data.clear();
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

} // namespace

bool makeDirectory(const std::string& path) {
    if (path.empty()) return false;
    if (platform::folderExists(path)) return true;
    std::string part;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        part = path.substr(0, pos);
        if (part.empty() || platform::folderExists(part)) continue;
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return platform::folderExists(path);
}

bool makeDirectory(const char* path) {
    return makeDirectory(str(path));
}

bool deleteFileStr(const std::string& path, const std::string& ext) {
    if (path.empty() || !platform::fileExists(path)) return false;
    const std::string target = replaceExtension(path, ext);
    if (target == path) return false;
    return ::rename(path.c_str(), target.c_str()) == 0;
}

bool deleteFileStr(const std::string& path) {
    return deleteFileStr(path, kDeletedExt);
}

bool deleteFile(const char* path) {
    return deleteFileStr(str(path), kDeletedExt);
}

bool deleteFile(const char* path, const char* ext) {
    return deleteFileStr(str(path), str(ext));
}

bool renameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool renameFile(const char* from, const char* to) {
    return renameFile(str(from), str(to));
}

bool renameFileFolder(const std::string& from, const std::string& to) {
    return renameFile(from, to);
}

bool renameFileFolder(const char* from, const char* to) {
    return renameFile(str(from), str(to));
}

bool fileCopy(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    std::string data;
    if (!platform::fileExists(from) || !readWholeFile(from, data)) return false;
    return platform::writeFileAtomically(to, data);
}

bool fileCopy(const char* from, const char* to) {
    return fileCopy(str(from), str(to));
}

bool CopyFileFromTo(const std::string& from, const std::string& to) {
    return fileCopy(from, to);
}

bool CopyFileFromTo(const char* from, const char* to) {
    return fileCopy(str(from), str(to));
}

namespace platform {

bool fileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeFileAtomically(const std::string& path, const std::string& data) {
    if (path.empty() || path.back() == '/') return false;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tmpl = (slash == std::string::npos ? std::string() : folder) + "." + name + ".tmp-XXXXXX";
    std::vector<char> tmp(tmpl.begin(), tmpl.end());
    tmp.push_back(0);
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    // mkstemp creates the file 0600; give it the usual mode for a user's file.
    ::fchmod(fd, 0644);
    bool ok = writeAll(fd, data.data(), data.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.data(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

} // namespace platform
