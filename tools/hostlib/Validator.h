// The checks a careful host makes before trusting a plug-in. Each entry of the check table
// is a named function that reports one or more PASS/FAIL results; by default every entry
// runs in a child process, so a plug-in that crashes or hangs in one check fails that
// check and the others still run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostlib/HostContext.h"
#include "hostlib/Renderer.h"
#include "hostlib/VstPluginLoader.h"

namespace tavhost {

struct ValidateOptions {
    std::string pluginPath;
    HostIdentity identity;
    // Seeds the random automation, parameter values and block sizes.
    uint32_t seed = 1;
    // Run each check in its own child process.
    bool isolate = true;
    // A check still running after this long is killed and fails (isolated runs only).
    int timeoutSeconds = 600;
    // Names of the checks to run; empty runs all.
    std::vector<std::string> only;
};

enum class CheckStatus { Pass, Fail, Skip };

struct CheckResult {
    CheckStatus status = CheckStatus::Fail;
    std::string name;
    std::string detail;
};

// What a check function gets: the options, the plug-in module, fresh instances, and the
// place to report results.
class CheckContext {
public:
    CheckContext(const ValidateOptions& options, std::shared_ptr<VstModule> module,
                 std::function<void(const CheckResult&)> sink,
                 std::function<void(const std::string&)> progress = nullptr);

    const ValidateOptions& options() const { return options_; }

    // A new instance (entry point called, effOpen sent) posing as the given host, or the
    // configured one. nullptr with the reason in `error`.
    std::unique_ptr<VstPlugin> instance(std::string& error);
    std::unique_ptr<VstPlugin> instance(const HostIdentity& identity, std::string& error);
    // The module, loaded on first use; nullptr with the reason in `error`.
    std::shared_ptr<VstModule> module(std::string& error);

    void pass(const std::string& name, const std::string& detail);
    void fail(const std::string& name, const std::string& detail);
    void skip(const std::string& name, const std::string& detail);
    void report(bool ok, const std::string& name, const std::string& detail) {
        ok ? pass(name, detail) : fail(name, detail);
    }
    // What the check is about to do; a crash or a hang is reported with the last step.
    void step(const std::string& what) {
        if (progress_) progress_(what);
    }
    // Later checks cannot run (the plug-in does not even load).
    void abortRemaining() { abort_ = true; }
    bool aborted() const { return abort_; }

private:
    const ValidateOptions& options_;
    std::shared_ptr<VstModule> module_;
    std::function<void(const CheckResult&)> sink_;
    std::function<void(const std::string&)> progress_;
    bool abort_ = false;
};

struct ValidatorCheck {
    std::string name;
    std::string description;
    std::function<void(CheckContext&)> run;
};

// The table of checks, in the order they run.
const std::vector<ValidatorCheck>& validatorChecks();
// The editor checks (ValidatorEditor.cpp), part of the table.
std::vector<ValidatorCheck> editorValidatorChecks();
// The audio thread's calls on fresh threads, editor closed and open (ValidatorRealtime.cpp).
std::vector<ValidatorCheck> realtimeValidatorChecks();

// Runs the selected checks, printing one line per result ("PASS name: detail") and the
// summary line "N passed, M failed" to `out`. Returns the number of failures, or -1 when
// the options name an unknown check.
int runValidation(const ValidateOptions& options, FILE* out);

// Helpers shared by the checks.
// A short phrase of notes, pitch bend and modulation inside the first `seconds`.
std::vector<TimedMidiEvent> validationPhrase(double sampleRate, double seconds);
// Runs one 8192-frame block of silence so state the plug-in applies later is applied.
bool settlePlugin(VstPlugin& plugin, std::string& error);

}  // namespace tavhost

// The heap calls (malloc, free and the like) the calling thread made since its last call,
// and from now on counted or not. Supplied by a host program that wraps its allocator
// (tools/host); absent elsewhere, and the checks that need it are skipped.
extern "C" long long tavhost_thread_allocations(int counting) __attribute__((weak));
// Likewise the lock and wait calls (mutexes, read-write and spin locks, semaphores, condition
// waits, sched_yield) of the calling thread.
extern "C" long long tavhost_thread_locks(int counting) __attribute__((weak));

namespace tavhost {

}  // namespace tavhost
