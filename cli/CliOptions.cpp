#include "cli/CliOptions.h"

namespace orvo {

const char* const kCliUsage =
    "usage: orvo-cli [--port PATH] [--baud 115200|230400] [--quiet] [--json] [--trace FILE]\n"
    "                COMMAND [ARGS]\n"
    "\n"
    "  ports                         serial ports found, one per line\n"
    "  tree                          every standard folder of the phone, with file sizes\n"
    "  ls FOLDER                     one phone folder: name and size per line\n"
    "  get FOLDER/NAME... [-o DIR] [--overwrite]\n"
    "                                download (checksum checked) into DIR, default \".\";\n"
    "                                a second file of one name is refused unless --overwrite\n"
    "  put FILE... FOLDER            upload under the phone's naming rules\n"
    "  rm FOLDER/NAME...             erase phone files\n"
    "  mv FOLDER/OLD NEW             rename a phone file\n"
    "  compile-java                  rebuild the Java application registry\n"
    "  backup DIR [--resume]         every file of the phone into\n"
    "                                DIR/phone-backup-YYYY-MM-DD-HHMM with manifest.json;\n"
    "                                --resume goes on with the unfinished one in DIR\n"
    "  restore DIR [--dry-run] [--force]\n"
    "                                write a backup back under its phone names; a file\n"
    "                                of the same name and size is left unless --force;\n"
    "                                --dry-run lists what would be written\n"
    "  install-java FILE.jad [FILE.jar]\n"
    "                                upload a Java application (the .jar named by the\n"
    "                                .jad's MIDlet-Jar-URL when not given) and register it\n"
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
    "and received, with times, to FILE (for a problem report).\n"
    "\n"
    "Exit status: 0 done; 1 the phone refused or a file failed; 2 usage; 3 the port\n"
    "cannot be opened; 4 no answer or the line was lost; 5 checksum mismatch. A batch\n"
    "goes on past a failed file and ends with the first failure's status.\n";

namespace {

bool CheckOperands(CliOptions& o) {
    const std::string& c = o.command;
    const std::size_t n = o.args.size();
    auto bad = [&](const std::string& text) {
        o.error = text;
        return false;
    };
    if (c == "ports" || c == "tree" || c == "compile-java") {
        if (n != 0)
            return bad(c + " takes no arguments");
    } else if (c == "ls") {
        if (n != 1)
            return bad("ls needs one FOLDER");
    } else if (c == "get" || c == "rm") {
        if (n == 0)
            return bad(c + " needs FOLDER/NAME");
    } else if (c == "put") {
        if (n < 2)
            return bad("put needs FILE... FOLDER");
        if (o.conflict == Conflict::RenameTo && n != 2)
            return bad("--rename-to works with one FILE only");
    } else if (c == "mv") {
        if (n != 2)
            return bad("mv needs FOLDER/OLD NEW");
    } else if (c == "backup" || c == "restore") {
        if (n != 1)
            return bad(c + " needs one DIR");
    } else if (c == "install-java") {
        if (n != 1 && n != 2)
            return bad("install-java needs FILE.jad [FILE.jar]");
        if (o.conflict == Conflict::RenameTo)
            return bad("--rename-to does not work with install-java");
    } else {
        return bad("unknown command: " + c);
    }
    if (!o.outDir.empty() && c != "get")
        return bad("-o works with get only");
    if (o.conflict == Conflict::Overwrite && c == "get")
        return true;
    if (o.conflict != Conflict::Fail && c != "put" && c != "mv" && c != "install-java")
        return bad("--overwrite, --skip and --rename-to work with put, mv and install-java only");
    if (o.resume && c != "backup")
        return bad("--resume works with backup only");
    if ((o.dryRun || o.force) && c != "restore")
        return bad("--dry-run and --force work with restore only");
    return true;
}

}  // namespace

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
            if (o.outDir.empty()) {
                o.error = "-o needs a folder";
                return o;
            }
        } else if (a == "--resume") {
            o.resume = true;
        } else if (a == "--dry-run") {
            o.dryRun = true;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--overwrite") {
            o.conflict = Conflict::Overwrite;
            ++conflicts;
        } else if (a == "--skip") {
            o.conflict = Conflict::Skip;
            ++conflicts;
        } else if (a == "--rename-to") {
            if (!value(o.renameTo))
                return o;
            o.conflict = Conflict::RenameTo;
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
    CheckOperands(o);
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
