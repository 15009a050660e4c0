#include "ui/CommandLine.h"

#include <cstdlib>

namespace orvo {

const char* const kNoDisplayMessage =
    "orvo-fm: no display found; run it under xvfb-run, e.g. xvfb-run -a orvo-fm --port /dev/pts/N";

const char* const kUsageText =
    "Usage: orvo-fm [--port PATH]... [--lang en] [--font-size PT] [--trace FILE]\n"
    "  --port PATH            offer PATH first in the port list (repeatable)\n"
    "  --lang en              show the program in English (Russian by default)\n"
    "  --font-size PT         use this font size instead of the desktop's\n"
    "  --trace FILE           append every byte sent and received, with times, to FILE\n";

ProgramOptions ParseCommandLine(const std::vector<std::string>& args) {
    ProgramOptions o;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const std::string& name, std::string& out) {
            if (a == name) {
                if (i + 1 >= args.size() || args[i + 1].empty()) {
                    o.error = name + " needs a value";
                    return true;
                }
                out = args[++i];
                return true;
            }
            if (a.rfind(name + "=", 0) == 0) {
                out = a.substr(name.size() + 1);
                if (out.empty())
                    o.error = name + " needs a value";
                return true;
            }
            return false;
        };
        std::string port;
        std::string size;
        if (value("--port", port)) {
            if (!port.empty())
                o.ports.push_back(port);
        } else if (value("--trace", o.trace)) {
        } else if (value("--lang", o.language)) {
            if (o.language == "ru")
                o.language.clear();
            else if (!o.language.empty() && o.language != "en")
                o.error = "--lang knows ru and en";
        } else if (value("--font-size", size)) {
            char* end = nullptr;
            o.fontSize = std::strtod(size.c_str(), &end);
            if (size.empty() || *end != '\0' || !(o.fontSize >= 4 && o.fontSize <= 72))
                o.error = "--font-size needs a size in points from 4 to 72";
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        }
        if (!o.error.empty())
            break;
    }
    return o;
}

bool DisplayAvailable(const std::function<const char*(const char*)>& getenv,
                      const std::vector<std::string>& args) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = getenv(name);
        if (v && *v)
            return true;
    }
    for (const std::string& a : args) {
        if (a == "-platform" || a.rfind("-platform=", 0) == 0)
            return true;
    }
    return false;
}

}  // namespace orvo
