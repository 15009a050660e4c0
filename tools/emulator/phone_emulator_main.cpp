// phone-emulator: serves the emulated phone on a pseudo-terminal.
//
// The first line on stdout is "PTY <slave path>"; everything else goes to stderr.
// The program using the port may close and reopen it at will: while nobody has the
// slave open the master reports a hang-up, and the emulator drops any transfer in
// progress and waits with a short back-off.
//
// With --save DIR the phone's files are written into DIR, in the layout --root reads,
// on SIGUSR1 (the emulator then prints "SAVED" on stdout and goes on serving) and
// when it is ended by SIGINT, SIGTERM or SIGHUP.
//
// With --replay FILE the phone's side comes from a trace of a real line instead:
// the computer's bytes are matched against the recorded ones command by command,
// and the phone's recorded bytes that followed each command are sent back after
// the recorded pauses. The first command that differs is reported on stderr and
// ends the emulator with status 1; when the computer closes the port after the
// last recorded command, the emulator ends with status 0.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/emulator/EmulatorOptions.h"
#include "tools/emulator/EmulatorServer.h"
#include "tools/emulator/PhoneEmulatorReplay.h"

namespace {

// Reads the trace to answer from; false (with the fault on stderr) when it cannot.
bool ReadReplay(const std::string& file, std::unique_ptr<TraceReplay>& replay) {
    std::vector<TraceRecord> records;
    std::string error;
    // A folder or a pipe is no trace (reading a pipe could wait for ever).
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "phone-emulator: %s is not a trace file\n", file.c_str());
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "phone-emulator: cannot read %s\n", file.c_str());
        return false;
    }
    if (!ParseTrace(in, records, error)) {
        std::fprintf(stderr, "phone-emulator: %s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    replay = std::make_unique<TraceReplay>(records);
    std::fprintf(stderr, "phone-emulator: replaying %zu commands from %s\n", replay->Commands(),
                 file.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    EmulatorOptions options;
    if (!ParseEmulatorOptions(argc, argv, options)) {
        PrintEmulatorUsage();
        return 2;
    }

    std::unique_ptr<TraceReplay> replay;
    if (!options.replay.empty() && !ReadReplay(options.replay, replay)) {
        return 2;
    }

    std::string path;
    int master = OpenPort(path);
    if (master < 0) {
        return 1;
    }
    if (!CatchSignals()) {
        return 1;
    }

    bool linked = false;
    if (!options.link.empty()) {
        struct stat st {};
        if (lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            unlink(options.link.c_str());  // a link left by an earlier run
        }
        if (symlink(path.c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "phone-emulator: cannot link %s: %s\n", options.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
        linked = true;
    }

    std::printf("PTY %s\n", path.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "phone-emulator: serving %s%s%s\n", path.c_str(), linked ? " as " : "",
                 linked ? options.link.c_str() : "");

    const int status = Serve(master, options, std::move(replay));

    if (linked) {
        char target[256];
        ssize_t n = readlink(options.link.c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            if (target == path) {
                unlink(options.link.c_str());
            }
        }
    }
    close(master);
    return status;
}
