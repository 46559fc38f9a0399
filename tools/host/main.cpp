// tavrolune-host: an offline VST 2.4 host. It loads any LinuxVST plug-in by path and
// inspects it, renders MIDI files through it, saves and restores its state, and checks it
// the way a careful host would.
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"

namespace {

const char* kUsage =
    "usage: tavrolune-host COMMAND PLUGIN.so [options]\n"
    "\n"
    "commands:\n"
    "  info PLUGIN [--cando STRING]...\n"
    "      identity, flags, pins, capabilities and every parameter's name, display and label\n"
    "  render PLUGIN --midi IN.mid --out OUT.wav [--rate HZ] [--block FRAMES] [--tempo BPM]\n"
    "         [--state FILE] [--tail SECONDS] [--preroll FRAMES] [--keep-preroll]\n"
    "      renders a Standard MIDI File (format 0 or 1) to a 32-bit float stereo WAV.\n"
    "      defaults: --rate 44100, --block 512, --tail 2, --preroll 8192 (cut from the\n"
    "      output unless --keep-preroll); --tempo overrides the file's tempo map\n"
    "  state PLUGIN --save FILE\n"
    "  state PLUGIN --load FILE [--save FILE2] [--no-settle]\n"
    "      saves the plug-in's state (its bank chunk, or all parameter values), or restores\n"
    "      one into a fresh instance, lets it settle for 8192 frames and saves it again\n"
    "  validate PLUGIN [--seed N] [--only CHECK[,CHECK...]] [--timeout SECONDS] [--no-isolate]\n"
    "  validate --list\n"
    "      runs a careful host's checks; one PASS/FAIL line each and \"N passed, M failed\";\n"
    "      exit status 1 if any check failed\n"
    "  editor PLUGIN [--rate HZ] [--block FRAMES] [--idle-rate HZ] [--state FILE] [--no-audio]\n"
    "         [--no-notes] [--screenshot FILE.png [--shot-after SECONDS]] [--seconds S] [--control]\n"
    "      opens the plug-in's editor in an X11 window of its own size, with idle calls at\n"
    "      --idle-rate (default 30) from the UI thread and a looping phrase of notes rendered\n"
    "      in real time on another thread; quits when the window is closed, after --seconds,\n"
    "      or once the screenshot (taken --shot-after seconds after opening, default 1.5) is\n"
    "      written. --control reads commands from the standard input and answers each on one\n"
    "      line: open | close | reopen N | rect | window | shot FILE | resize W H | mark |\n"
    "      changed | param I | edits | program | setprogram N | load STATEFILE | audio |\n"
    "      click X Y [BUTTON] | key KEYSYM | idle N | sync | quit\n"
    "  help\n"
    "\n"
    "host options (every command):\n"
    "  --host-product NAME   product string the host reports (default \"Tavrolune Host\")\n"
    "  --host-vendor NAME    vendor string the host reports (default \"Tavrolune Project\")\n"
    "  --host-version N      vendor version the host reports (default 1000)\n";

}  // namespace

namespace tavhost {

int reportError(int status, const std::string& message) {
    std::fprintf(stderr, "tavrolune-host: %s\n", message.c_str());
    if (status == kExitUsage) std::fprintf(stderr, "run 'tavrolune-host help' for usage\n");
    return status;
}

}  // namespace tavhost

int main(int argc, char** argv) {
    using namespace tavhost;
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string command = argv[1];
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "info") return commandInfo(argc, argv);
    if (command == "render") return commandRender(argc, argv);
    if (command == "state") return commandState(argc, argv);
    if (command == "validate") return commandValidate(argc, argv);
    if (command == "editor") return commandEditor(argc, argv);
    return reportError(kExitUsage, "unknown command '" + command + "'");
}
