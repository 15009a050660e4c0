#include "tools/emulator/EmulatorOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

void PrintEmulatorUsage() {
    std::fprintf(stderr,
                 "usage: phone-emulator [options]\n"
                 "  --sample            load the sample content (default)\n"
                 "  --empty             start with no files\n"
                 "  --link PATH         make PATH a symbolic link to the port\n"
                 "  --baud N            send at most N/10 bytes per second, and take the\n"
                 "                      program's bytes in no faster\n"
                 "  --transcript FILE   log both directions to FILE\n"
                 "  --replay FILE       answer from a trace of a real line (orvo-cli or\n"
                 "                      orvo-fm --trace): report the first command that\n"
                 "                      differs from it and end with status 1, or end with\n"
                 "                      status 0 when the port closes after the last one\n"
                 "  --capacity BYTES    room for files (a larger write gets error 2007)\n"
                 "  --root DIR          also load files from DIR (its own files into the root,\n"
                 "                      java/, Sounds/My Sounds/, Images/OnOff-Menu Images/,\n"
                 "                      Images/My Photos/Camera/ ... into those folders);\n"
                 "                      changes stay in memory\n"
                 "  --save DIR          write the phone's files into DIR in the layout --root\n"
                 "                      reads, removing the files of those folders that the\n"
                 "                      phone no longer holds: on SIGUSR1 (then \"SAVED\" is\n"
                 "                      printed on stdout and serving goes on) and on exit by\n"
                 "                      SIGINT, SIGTERM or SIGHUP\n"
                 "  --silent            never answer\n"
                 "  --silent-after N    stop answering after N commands\n"
                 "  --echo              echo each command line\n"
                 "  --error-on PREFIX   answer commands starting with PREFIX with an error\n"
                 "  --error-code N      the error code for --error-on (default 4)\n"
                 "  --error-after N     let N such commands succeed first\n"
                 "  --split N           send replies in pieces of N bytes\n"
                 "  --corrupt-crc       announce wrong checksums when reading\n"
                 "  --reset-delay MS    answer each ATZ only MS milliseconds after it came\n"
                 "                      (later output waits behind it)\n"
                 "  --double-prompt     send every write prompt \"##>\" twice\n"
                 "  --stray-prompt      send a \"##>\" line before the OK of an erase or\n"
                 "                      change-folder\n"
                 "  --size-field [N]    from block N of each read on (default 1) give the\n"
                 "                      file's size in the second field of data lines,\n"
                 "                      not the block's length\n");
}

namespace {

bool ParseLong(const char* text, long min, long& value) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace

bool ParseEmulatorOptions(int argc, char** argv, EmulatorOptions& o) {
    o.faults.errorCode = 4;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "phone-emulator: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](long min, long& out) {
            const char* v = nullptr;
            if (!next(v)) {
                return false;
            }
            if (!ParseLong(v, min, out)) {
                std::fprintf(stderr, "phone-emulator: bad number for %s: %s\n", a.c_str(), v);
                return false;
            }
            return true;
        };
        const char* text = nullptr;
        long n = 0;
        if (a == "--sample") {
            o.sample = true;
        } else if (a == "--empty") {
            o.sample = false;
        } else if (a == "--silent") {
            o.faults.silent = true;
        } else if (a == "--echo") {
            o.faults.echo = true;
        } else if (a == "--corrupt-crc") {
            o.faults.corruptReadCrc = true;
        } else if (a == "--double-prompt") {
            o.faults.doublePrompt = true;
        } else if (a == "--stray-prompt") {
            o.faults.strayPrompt = true;
        } else if (a == "--size-field") {
            o.faults.sizeFieldFrom = 1;
            if (i + 1 < argc && ParseLong(argv[i + 1], 1, n)) {
                o.faults.sizeFieldFrom = static_cast<int>(n);
                ++i;
            }
        } else if (a == "--reset-delay") {
            if (!number(0, n)) {
                return false;
            }
            o.resetDelayMs = n;
        } else if (a == "--link") {
            if (!next(text)) {
                return false;
            }
            o.link = text;
        } else if (a == "--transcript") {
            if (!next(text)) {
                return false;
            }
            o.transcript = text;
        } else if (a == "--replay") {
            if (!next(text)) {
                return false;
            }
            o.replay = text;
        } else if (a == "--root") {
            if (!next(text)) {
                return false;
            }
            o.root = text;
        } else if (a == "--save") {
            if (!next(text)) {
                return false;
            }
            o.save = text;
        } else if (a == "--error-on") {
            if (!next(text)) {
                return false;
            }
            o.faults.errorCommand = text;
        } else if (a == "--baud") {
            if (!number(10, n)) {
                return false;
            }
            o.baud = n;
        } else if (a == "--capacity") {
            if (!number(0, n)) {
                return false;
            }
            o.capacity = static_cast<std::size_t>(n);
        } else if (a == "--silent-after") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.silentAfterCommands = true;
            o.faults.silentAfter = static_cast<int>(n);
        } else if (a == "--error-code") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.errorCode = static_cast<int>(n);
        } else if (a == "--error-after") {
            if (!number(0, n)) {
                return false;
            }
            o.faults.errorCountdown = static_cast<int>(n);
        } else if (a == "--split") {
            if (!number(1, n)) {
                return false;
            }
            o.faults.splitEvery = static_cast<std::size_t>(n);
        } else if (a == "--help" || a == "-h") {
            PrintEmulatorUsage();
            std::exit(0);
        } else {
            std::fprintf(stderr, "phone-emulator: unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}
