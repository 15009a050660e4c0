#include "cli/CliOptions.h"

#include <string_view>

#include "cli/CliCommand.h"

namespace orvo {

namespace {

const char* const kUsageHead =
    "usage: orvo-cli [--port PATH] [--baud 115200|230400] [--quiet] [--json] [--trace FILE]\n"
    "                [--lang ru|en] COMMAND [ARGS]\n"
    "\n";

const char* const kUsageTail =
    "\n"
    "FOLDER is a phone folder as the file manager shows it, \"/\" between levels:\n"
    "\"Sounds/My Sounds\", \"Images/OnOff/Menu Images\", \"java\"; \"/\" is the root.\n"
    "\n"
    "When the name is taken on the phone (put, mv, install-java):\n"
    "  --overwrite        replace the phone's file\n"
    "  --skip             leave it, do not copy\n"
    "  --rename-to NAME   use NAME instead (put: one file only)\n"
    "  without one of them a taken name is an error.\n"
    "\n"
    "The port is --port, else $ORVO_PORT, else the only serial port found.\n"
    "--json prints one JSON document; --quiet shows no progress (progress goes to\n"
    "stderr, and only when it is a terminal). --trace FILE appends every byte sent\n"
    "and received, with times, to FILE (for a problem report). The phone's messages\n"
    "are in Russian under a Russian locale (LC_ALL, LC_MESSAGES, LANG), in English\n"
    "otherwise; --lang ru or --lang en chooses. --json gives each error's id and\n"
    "arguments beside its text.\n"
    "\n"
    "Exit status: 0 done; 1 the phone refused or a file failed; 2 usage; 3 the port\n"
    "cannot be opened; 4 no answer or the line was lost; 5 checksum mismatch. A batch\n"
    "goes on past a failed file and ends with the first failure's status; a command\n"
    "stopped by a signal ends with 128 + the signal.\n";

// The options of the commands, as the command line spells them.
struct OptionName {
    CommandOption option;
    const char* spelling;
};
constexpr OptionName kOptionNames[] = {
    {kTakesOutDir, "-o"},       {kTakesOverwrite, "--overwrite"},
    {kTakesSkip, "--skip"},     {kTakesRenameTo, "--rename-to"},
    {kTakesResume, "--resume"}, {kTakesDryRun, "--dry-run"},
    {kTakesForce, "--force"},
};

// "put, mv and install-java": the commands that take option.
std::string CommandsTaking(CommandOption option) {
    std::vector<std::string> names;
    for (const CliCommand& c : CliCommands())
        if (c.options & option)
            names.push_back(c.name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// The command's operands and options against its entry in the list.
bool CheckCommand(CliOptions& o) {
    const CliCommand* c = FindCliCommand(o.command);
    auto bad = [&](const std::string& text) {
        o.error = text;
        return false;
    };
    if (!c)
        return bad("unknown command: " + o.command);
    const int n = static_cast<int>(o.args.size());
    if (n < c->minOperands || (c->maxOperands >= 0 && n > c->maxOperands))
        return bad(*c->operands ? o.command + " needs " + c->operands
                                : o.command + " takes no arguments");
    for (const OptionName& option : kOptionNames)
        if ((o.commandOptions & option.option) && !(c->options & option.option))
            return bad(std::string(option.spelling) + " works with " +
                       CommandsTaking(option.option) + " only");
    std::string error;
    if (c->checkUsage && !c->checkUsage(o, error))
        return bad(error);
    return true;
}

}  // namespace

std::string CliUsage() {
    std::string text = kUsageHead;
    constexpr std::size_t kColumn = 32;  // where the descriptions start
    for (const CliCommand& c : CliCommands()) {
        std::string line = "  " + std::string(c.synopsis);
        // A long usage line stands alone, its description below it.
        if (line.size() + 1 >= kColumn) {
            text += line + "\n";
            line.clear();
        }
        std::string_view help = c.help;
        for (;;) {
            const std::size_t end = help.find('\n');
            line.resize(kColumn, ' ');
            text += line + std::string(help.substr(0, end)) + "\n";
            line.clear();
            if (end == std::string_view::npos)
                break;
            help = help.substr(end + 1);
        }
    }
    return text + kUsageTail;
}

CliOptions ParseCliArguments(const std::vector<std::string>& args) {
    CliOptions o;
    bool operandsOnly = false;
    int conflicts = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                o.error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (operandsOnly || a.empty() || a[0] != '-' || a == "-") {
            if (o.command.empty())
                o.command = a;
            else
                o.args.push_back(a);
        } else if (a == "--") {
            operandsOnly = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--port") {
            if (!value(o.port))
                return o;
        } else if (a == "--lang") {
            if (!value(o.language))
                return o;
            if (o.language != "ru" && o.language != "en") {
                o.error = "--lang must be ru or en";
                return o;
            }
        } else if (a == "--trace") {
            if (!value(o.trace))
                return o;
            if (o.trace.empty()) {
                o.error = "--trace needs a file";
                return o;
            }
        } else if (a == "--baud") {
            std::string b;
            if (!value(b))
                return o;
            if (b != "115200" && b != "230400") {
                o.error = "--baud must be 115200 or 230400";
                return o;
            }
            o.baud = static_cast<uint32_t>(std::stoul(b));
        } else if (a == "-o") {
            if (!value(o.outDir))
                return o;
            o.commandOptions |= kTakesOutDir;
            if (o.outDir.empty()) {
                o.error = "-o needs a folder";
                return o;
            }
        } else if (a == "--resume") {
            o.resume = true;
            o.commandOptions |= kTakesResume;
        } else if (a == "--dry-run") {
            o.dryRun = true;
            o.commandOptions |= kTakesDryRun;
        } else if (a == "--force") {
            o.force = true;
            o.commandOptions |= kTakesForce;
        } else if (a == "--overwrite") {
            o.conflict = Conflict::Overwrite;
            o.commandOptions |= kTakesOverwrite;
            ++conflicts;
        } else if (a == "--skip") {
            o.conflict = Conflict::Skip;
            o.commandOptions |= kTakesSkip;
            ++conflicts;
        } else if (a == "--rename-to") {
            if (!value(o.renameTo))
                return o;
            o.conflict = Conflict::RenameTo;
            o.commandOptions |= kTakesRenameTo;
            ++conflicts;
        } else {
            o.error = "unknown option: " + a;
            return o;
        }
    }
    if (o.help)
        return o;
    if (conflicts > 1) {
        o.error = "give only one of --overwrite, --skip and --rename-to";
        return o;
    }
    if (o.command.empty()) {
        o.error = "no command given";
        return o;
    }
    CheckCommand(o);
    return o;
}

std::string ChoosePort(const std::string& option, const char* environment,
                       const std::vector<std::string>& found, int& status) {
    status = 0;
    if (!option.empty())
        return option;
    if (environment && *environment)
        return environment;
    if (found.size() == 1)
        return found.front();
    status = found.empty() ? 3 : 2;
    return std::string();
}

}  // namespace orvo
