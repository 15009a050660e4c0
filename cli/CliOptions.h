// The command line of orvo-cli.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

// What to do when the name a file would take on the phone is already there.
enum class Conflict { Fail, Overwrite, Skip, RenameTo };

struct CliOptions {
    std::string port;  // empty: ORVO_PORT, else the only port found
    uint32_t baud = 115200;
    bool quiet = false;
    bool json = false;
    bool help = false;
    std::string trace;  // --trace FILE: every byte of the line appended there
    // --lang ru|en: the language of the messages; empty: the locale's.
    std::string language;
    std::string command;
    std::vector<std::string> args;  // the command's operands
    std::string outDir;             // get -o DIR
    Conflict conflict = Conflict::Fail;
    std::string renameTo;
    bool resume = false;          // backup --resume
    bool dryRun = false;          // restore --dry-run
    bool force = false;           // restore --force
    unsigned commandOptions = 0;  // the CommandOption bits given (cli/CliCommand.h)
    // Not empty when the command line cannot be used (exit code 2).
    std::string error;
};

// Options may stand before or after the command; "--" ends them. The command, its
// operands and its options are checked against its entry in the command list.
CliOptions ParseCliArguments(const std::vector<std::string>& args);

// The port to use: the --port value, else the ORVO_PORT value (null or empty when
// unset), else the only port found. Empty when there is none to take: status is
// then 3 (no port found) or 2 (several found: the user must choose).
std::string ChoosePort(const std::string& option, const char* environment,
                       const std::vector<std::string>& found, int& status);

// What --help prints: the commands from their list, then the common options.
std::string CliUsage();

}  // namespace orvo
