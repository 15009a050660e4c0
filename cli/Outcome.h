// Exit statuses of orvo-cli and the one place where the core's messages (the
// texts the form shows in message boxes) are turned into them.
#pragma once

#include <string>

#include "engine/Session.h"

namespace orvo {

enum ExitStatus : int {
    kExitOk = 0,
    kExitRefused = 1,  // the phone answered with an error, or a file could not be done
    kExitUsage = 2,
    kExitPort = 3,      // the port cannot be opened
    kExitNoAnswer = 4,  // no answer, a garbled answer, or the line was lost
    kExitChecksum = 5,
};

// The exit status for what a message of the core reports (0 for a notice).
int StatusFor(MessageKind kind);

// A message on one line: its line breaks become ": ".
std::string OneLine(const std::string& text);

}  // namespace orvo
