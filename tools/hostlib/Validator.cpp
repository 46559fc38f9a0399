#include "hostlib/Validator.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavhost {

namespace {

const char* statusWord(CheckStatus s) {
    switch (s) {
        case CheckStatus::Pass: return "PASS";
        case CheckStatus::Fail: return "FAIL";
        default: return "SKIP";
    }
}

// Results cross the pipe as one line each: status letter, tab, name, tab, detail.
std::string oneLine(const std::string& text) {
    std::string s = text;
    for (char& c : s)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return s;
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= (size_t)n;
    }
    return true;
}

std::string encodeResult(const CheckResult& r) {
    char letter = r.status == CheckStatus::Pass ? 'P' : r.status == CheckStatus::Fail ? 'F' : 'S';
    return std::string(1, letter) + "\t" + oneLine(r.name) + "\t" + oneLine(r.detail) + "\n";
}

void decodeResults(const std::string& text, std::vector<CheckResult>& results, bool& aborted,
                   std::string& lastStep) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) break;  // a line cut short by a crash is dropped
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line == "A") {
            aborted = true;
            continue;
        }
        if (line.compare(0, 2, "W\t") == 0) {
            lastStep = line.substr(2);
            continue;
        }
        size_t t1 = line.find('\t');
        size_t t2 = t1 == std::string::npos ? std::string::npos : line.find('\t', t1 + 1);
        if (t1 != 1 || t2 == std::string::npos) continue;
        CheckResult r;
        r.status = line[0] == 'P' ? CheckStatus::Pass : line[0] == 'F' ? CheckStatus::Fail : CheckStatus::Skip;
        r.name = line.substr(t1 + 1, t2 - t1 - 1);
        r.detail = line.substr(t2 + 1);
        results.push_back(r);
    }
}

std::string signalText(int sig) {
    const char* name = sigabbrev_np(sig);
    return std::string("signal ") + std::to_string(sig) + (name ? std::string(" (SIG") + name + ")" : "");
}

void runInChild(const ValidatorCheck& check, const ValidateOptions& options,
                std::vector<CheckResult>& results, bool& aborted) {
    int fds[2];
    if (pipe(fds) != 0) {
        results.push_back({CheckStatus::Fail, check.name, std::string("cannot create a pipe: ") + std::strerror(errno)});
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        results.push_back({CheckStatus::Fail, check.name, std::string("cannot fork: ") + std::strerror(errno)});
        return;
    }
    if (pid == 0) {
        close(fds[0]);
        int fd = fds[1];
        if (options.timeoutSeconds > 0) alarm((unsigned)options.timeoutSeconds);
        {
            CheckContext ctx(
                options, nullptr, [fd](const CheckResult& r) { writeAll(fd, encodeResult(r)); },
                [fd](const std::string& what) { writeAll(fd, "W\t" + oneLine(what) + "\n"); });
            check.run(ctx);
            if (ctx.aborted()) writeAll(fd, "A\n");
        }
        std::fflush(stdout);
        std::fflush(stderr);
        close(fd);
        // The plug-in's static destructors and atexit handlers belong to no check.
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fds[0], buf, sizeof(buf));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, (size_t)n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::string lastStep;
    decodeResults(text, results, aborted, lastStep);
    std::string during = lastStep.empty() ? "" : " during: " + lastStep;
    if (WIFSIGNALED(status)) {
        int sig = WTERMSIG(status);
        std::string why = sig == SIGALRM ? "timed out after " + std::to_string(options.timeoutSeconds) + " s"
                                         : "crashed: " + signalText(sig);
        results.push_back({CheckStatus::Fail, check.name, why + during});
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        results.push_back({CheckStatus::Fail, check.name,
                           "the check process exited with status " + std::to_string(WEXITSTATUS(status)) + during});
    }
}

}  // namespace

CheckContext::CheckContext(const ValidateOptions& options, std::shared_ptr<VstModule> module,
                           std::function<void(const CheckResult&)> sink,
                           std::function<void(const std::string&)> progress)
    : options_(options), module_(std::move(module)), sink_(std::move(sink)), progress_(std::move(progress)) {}

std::shared_ptr<VstModule> CheckContext::module(std::string& error) {
    if (!module_) module_ = VstModule::open(options_.pluginPath, error);
    return module_;
}

std::unique_ptr<VstPlugin> CheckContext::instance(std::string& error) {
    return instance(options_.identity, error);
}

std::unique_ptr<VstPlugin> CheckContext::instance(const HostIdentity& identity, std::string& error) {
    std::shared_ptr<VstModule> m = module(error);
    if (!m) return nullptr;
    std::unique_ptr<VstPlugin> plugin = VstPlugin::create(m, identity, error);
    if (plugin) plugin->open();
    return plugin;
}

void CheckContext::pass(const std::string& name, const std::string& detail) {
    sink_({CheckStatus::Pass, name, detail});
}

void CheckContext::fail(const std::string& name, const std::string& detail) {
    sink_({CheckStatus::Fail, name, detail});
}

void CheckContext::skip(const std::string& name, const std::string& detail) {
    sink_({CheckStatus::Skip, name, detail});
}

bool settlePlugin(VstPlugin& plugin, std::string& error) {
    RenderOptions ro;
    ro.sampleRate = plugin.host().sampleRate();
    ro.blockSize = 8192;
    ro.preRollFrames = 0;
    ro.lengthFrames = 8192;
    ro.closeWhenDone = false;
    RenderResult rr;
    return renderSession(plugin, {}, ro, rr, error);
}

int runValidation(const ValidateOptions& options, FILE* out) {
    const std::vector<ValidatorCheck>& table = validatorChecks();
    for (const std::string& name : options.only) {
        bool known = false;
        for (const ValidatorCheck& c : table) known = known || c.name == name;
        if (!known) return -1;
    }
    std::shared_ptr<VstModule> shared;  // in-process runs load the plug-in once
    int passed = 0, failed = 0;
    for (const ValidatorCheck& check : table) {
        if (!options.only.empty()) {
            bool selected = false;
            for (const std::string& name : options.only) selected = selected || check.name == name;
            // Loading is the premise of everything else and always runs.
            if (!selected && check.name != "load") continue;
        }
        std::vector<CheckResult> results;
        bool aborted = false;
        if (options.isolate) {
            runInChild(check, options, results, aborted);
        } else {
            CheckContext ctx(options, shared, [&](const CheckResult& r) { results.push_back(r); });
            check.run(ctx);
            std::string ignored;
            if (!shared) shared = ctx.module(ignored);
            aborted = ctx.aborted();
        }
        for (const CheckResult& r : results) {
            std::fprintf(out, "%s %s: %s\n", statusWord(r.status), r.name.c_str(), r.detail.c_str());
            if (r.status == CheckStatus::Pass) ++passed;
            if (r.status == CheckStatus::Fail) ++failed;
        }
        std::fflush(out);
        if (aborted) break;
    }
    std::fprintf(out, "%d passed, %d failed\n", passed, failed);
    std::fflush(out);
    return failed;
}

}  // namespace tavhost
