// The commands of orvo-cli, one object each, in one list: what --help shows, what
// the command line is checked against, what is checked before the port is
// opened, and what runs against the phone. A new command is one entry of the list
// (cli/Commands.cpp) and its run.
#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace orvo {

// The options a command may take, beyond those every command takes.
enum CommandOption : unsigned {
    kTakesOutDir = 1u << 0,     // -o DIR
    kTakesOverwrite = 1u << 1,  // --overwrite
    kTakesSkip = 1u << 2,       // --skip
    kTakesRenameTo = 1u << 3,   // --rename-to NAME
    kTakesResume = 1u << 4,     // --resume
    kTakesDryRun = 1u << 5,     // --dry-run
    kTakesForce = 1u << 6,      // --force
};

// A command's run against the phone: the session, the link and the answers
// (cli/Commands.cpp).
class CommandRun;

// What a command prepares on the computer before the port is opened.
struct CommandInput {
    std::string computerFolder;      // where downloads go (absolute)
    std::vector<std::string> files;  // computer files to send (absolute)
};

struct CliCommand {
    const char* name = "";
    // The usage line: the name, its operands and the options it alone takes.
    const char* synopsis = "";
    // What it does, for --help: lines joined by '\n'.
    const char* help = "";
    // The operands as a usage error names them ("ls needs one FOLDER"); empty for
    // a command that takes none ("tree takes no arguments").
    const char* operands = "";
    int minOperands = 0;
    int maxOperands = 0;   // -1: any number
    unsigned options = 0;  // CommandOption bits
    // A rule of its own for the command line (a usage error), or null.
    bool (*checkUsage)(const CliOptions&, std::string& error) = nullptr;
    // Checks the operands against the phone's folders and prepares the computer's
    // side, before the port is opened: 0, or the exit status after its message.
    // Null: nothing to check.
    int (*check)(const CliOptions&, CommandInput&) = nullptr;
    // Runs it against the phone.
    void (CommandRun::*run)() = nullptr;
    // Runs a command that needs no phone instead (the exit status).
    int (*runAlone)(const CliOptions&) = nullptr;
};

// Every command, in the order --help lists them.
const std::vector<CliCommand>& CliCommands();
// The command of that name, or null.
const CliCommand* FindCliCommand(const std::string& name);

}  // namespace orvo
