// The program's command line and the check for a display.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvo {

struct ProgramOptions {
    // Extra serial devices offered first in the settings dialog (--port PATH, repeatable).
    std::vector<std::string> ports;
    // When set, the line is traced into this file from the start (--trace FILE).
    std::string trace;
    // Where the last port and speed are remembered (an INI file); empty: nowhere.
    std::string settingsFile;
    // The language of the texts: empty for Russian, "en" for English (--lang en).
    std::string language;
    // A font size in points for the whole program (--font-size PT), 0: the desktop's.
    double fontSize = 0;
    bool help = false;
    // Not empty when the command line could not be understood.
    std::string error;
};

// Reads the program's own options; arguments it does not know are left for the toolkit.
ProgramOptions ParseCommandLine(const std::vector<std::string>& args);

// True when a graphical session or an explicit platform plugin is available: an
// X11 or Wayland display in the environment, QT_QPA_PLATFORM, or a -platform argument.
bool DisplayAvailable(const std::function<const char*(const char*)>& getenv,
                      const std::vector<std::string>& args);

extern const char* const kNoDisplayMessage;
extern const char* const kUsageText;

}  // namespace orvo
