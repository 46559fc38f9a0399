#include "platform/childprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace platform {

namespace {

// Spawns argv[0] with standard input and error on /dev/null, standard output on `out` (or
// /dev/null when it is negative) and no other descriptor of the caller's. -1 on failure.
pid_t spawnChild(const std::vector<std::string>& argv, int out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The host's other descriptors are none of the helper's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

}  // namespace

int startChild(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return -1;
    return static_cast<int>(spawnChild(argv, -1));
}

ChildResult runChild(const std::vector<std::string>& argv, std::size_t maxOutput) {
    ChildResult result;
    if (argv.empty() || argv[0].empty()) return result;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
    // A host that closed its standard descriptors could get them back from pipe2; move the
    // pipe above them so the redirections below cannot clobber it.
    for (int& fd : pipeFds) {
        if (fd > 2) continue;
        const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        ::close(fd);
        fd = moved;
    }
    if (pipeFds[0] < 0 || pipeFds[1] < 0) {
        if (pipeFds[0] >= 0) ::close(pipeFds[0]);
        if (pipeFds[1] >= 0) ::close(pipeFds[1]);
        return result;
    }

    const pid_t pid = spawnChild(argv, pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return result;
    }
    result.started = true;

    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        const std::size_t room = maxOutput > result.output.size() ? maxOutput - result.output.size() : 0;
        result.output.append(buf, static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : room);
    }
    ::close(pipeFds[0]);

    int status = 0;
    pid_t w;
    do {
        w = ::waitpid(pid, &status, 0);
    } while (w < 0 && errno == EINTR);
    // A host that ignores SIGCHLD reaps its children itself: the status is then unknown.
    if (w == pid && WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

std::string findProgram(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.empty() || dir[0] != '/') continue; // relative entries would depend on the cwd
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

} // namespace platform
