// The emulator's command line: what it serves and which faults it injects.
#pragma once

#include <cstddef>
#include <string>

#include "tools/emulator/PhoneEmulator.h"

struct EmulatorOptions {
    bool sample = true;
    long baud = 0;
    std::string link;
    std::string transcript;
    std::string replay;
    std::size_t capacity = 0;
    std::string root;
    std::string save;
    long resetDelayMs = 0;
    EmulatorFaults faults;
};

// Prints the options and what they do on stderr.
void PrintEmulatorUsage();

// Reads the options into `o`; false (with the fault on stderr) for an unknown option or
// a bad value. --help prints the usage and ends the program.
bool ParseEmulatorOptions(int argc, char** argv, EmulatorOptions& o);
