#include "support/host_test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tavtest {

namespace {

void makeDirs(const std::string& path) {
    std::string partial;
    std::stringstream ss(path);
    std::string part;
    if (!path.empty() && path[0] == '/') partial = "/";
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        partial += part + "/";
        mkdir(partial.c_str(), 0755);
    }
}

}  // namespace

std::string hostScratchDir(const std::string& name) {
    const char* base = std::getenv("TAV_TEST_SCRATCH");
    std::string root = base && *base ? base : "/tmp/tavrolune-test-scratch";
    static std::atomic<int> counter{0};
    // Unique per process and call, so parallel test programs never share one.
    std::string dir = root + "/host-" + name + "-" + std::to_string((long)getpid()) + "-" +
                      std::to_string(counter++);
    makeDirs(dir);
    return dir;
}

void isolatePluginHome(const std::string& dir) {
    std::string home = dir + "/home";
    makeDirs(home + "/.config");
    makeDirs(home + "/.local/share");
    makeDirs(home + "/.cache");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& dir) {
    ProcessResult result;
    if (argv.empty()) return result;
    std::string outPath = dir + "/proc-stdout.txt";
    std::string errPath = dir + "/proc-stderr.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = readTextFile(outPath);
    result.err = readTextFile(errPath);
    return result;
}

std::string amsynthPath() { return "/usr/lib/vst/amsynth_vst.so"; }

bool haveAmsynth() { return fileExists(amsynthPath()); }

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string readTextFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void writeBinaryFile(const std::string& path, const std::vector<unsigned char>& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), (std::streamsize)data.size());
}

}  // namespace tavtest
