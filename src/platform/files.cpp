#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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
    // Copies are of presets and the like; a file past this is not one of ours.
    constexpr std::size_t kMaxCopySize = std::size_t(1) << 30;
    std::string data;
    if (platform::readRegularFile(from, kMaxCopySize, data) != platform::FileRead::ok) return false;
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
    // A link that resolves to nothing (a loop, or a chain longer than the system follows) is
    // refused: the rename would put a regular file where the link was.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0 &&
        errno == ELOOP)
        return false;
    // The new file keeps the mode of the one it replaces (a private file stays private);
    // a new one gets the usual mode of a user's file.
    mode_t mode = 0644;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) mode = st.st_mode & 0777;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tmpl = (slash == std::string::npos ? std::string() : folder) + "." + name + ".tmp-XXXXXX";
    std::vector<char> tmp(tmpl.begin(), tmpl.end());
    tmp.push_back(0);
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    // mkstemp creates the file 0600. (Some file systems have no modes: not a reason to fail.)
    ::fchmod(fd, mode);
    bool ok = writeAll(fd, data.data(), data.size());
    ok = (::fsync(fd) == 0) && ok;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.data(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

namespace {

// The one way the plug-in opens a file to read: without blocking, so that a FIFO or a device
// in a file's place answers at once, and examined before anything is read. On ok, `fd` is the
// open regular file (the caller closes it) and `size` its length; otherwise `fd` is -1.
FileRead openRegular(const std::string& path, int& fd, std::size_t& size, int* error) {
    fd = -1;
    size = 0;
    if (error) *error = 0;
    if (path.empty()) {
        if (error) *error = ENOENT;
        return FileRead::missing;
    }
    const int f = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) {
        const int e = errno;
        if (error) *error = e;
        return e == ENOENT || e == ENOTDIR ? FileRead::missing : FileRead::failed;
    }
    struct stat st;
    FileRead result = FileRead::ok;
    if (::fstat(f, &st) != 0) {
        if (error) *error = errno;
        result = FileRead::failed;
    } else if (!S_ISREG(st.st_mode)) {
        result = FileRead::notRegular;
    } else if (st.st_size < 0) {
        result = FileRead::failed;
    }
    if (result != FileRead::ok) {
        ::close(f);
        return result;
    }
    fd = f;
    size = static_cast<std::size_t>(st.st_size);
    return result;
}

} // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out, int* error) {
    out.clear();
    int fd = -1;
    std::size_t size = 0;
    FileRead result = openRegular(path, fd, size, error);
    if (result != FileRead::ok) return result;
    if (size > maxBytes) {
        result = FileRead::tooLarge;
    } else {
        out.reserve(size);
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (error) *error = errno;
                result = FileRead::failed;
                break;
            }
            if (n == 0) break;
            // The file may grow while it is read.
            if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
                result = FileRead::tooLarge;
                break;
            }
            out.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (result != FileRead::ok) out.clear();
    return result;
}

bool canReadRegularFile(const std::string& path) {
    int fd = -1;
    std::size_t size = 0;
    if (openRegular(path, fd, size, nullptr) != FileRead::ok) return false;
    ::close(fd);
    return true;
}

std::string linkTarget(const std::string& path) {
    std::string p = path;
    // As many links as the system itself follows; a longer chain is left as it is.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (p.empty() || ::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return p;
        const std::string target(buf, static_cast<std::size_t>(n));
        const std::size_t slash = p.rfind('/');
        if (target[0] == '/' || slash == std::string::npos)
            p = target;
        else
            p = p.substr(0, slash + 1) + target;
    }
    return path;
}

} // namespace platform
