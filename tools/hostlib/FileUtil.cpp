#include "hostlib/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavhost {

bool readWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& error) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    bool ok = true;
    for (;;) {
        size_t n = std::fread(buf, 1, sizeof(buf), f);
        if (n > 0) {
            if (data.size() + n > maxBytes) {
                error = "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes";
                ok = false;
                break;
            }
            data.insert(data.end(), buf, buf + n);
        }
        if (n < sizeof(buf)) {
            if (std::ferror(f)) {
                error = "cannot read '" + path + "': " + std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    std::fclose(f);
    if (ok) out = std::move(data);
    return ok;
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string& error) {
    if (path.empty()) {
        error = "no output file name";
        return false;
    }
    std::string tmpl = path + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a temporary file next to '" + path + "': " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; a saved file gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const char* p = static_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            close(fd);
            unlink(name.data());
            return false;
        }
        p += n;
        left -= (size_t)n;
    }
    bool synced = fsync(fd) == 0;
    bool closed = close(fd) == 0;
    if (!synced || !closed) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        unlink(name.data());
        return false;
    }
    if (std::rename(name.data(), path.c_str()) != 0) {
        error = "cannot rename the temporary file to '" + path + "': " + std::strerror(errno);
        unlink(name.data());
        return false;
    }
    return true;
}

}  // namespace tavhost
