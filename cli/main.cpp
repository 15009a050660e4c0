// orvo-cli: the phone's file system from the command line.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Language.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/Outcome.h"

using namespace orvo;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliOptions options = ParseCliArguments(args);
    if (options.help) {
        std::fputs(CliUsage().c_str(), stdout);
        return kExitOk;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "orvo-cli: %s (see orvo-cli --help)\n", options.error.c_str());
        return kExitUsage;
    }
    const std::string language =
        options.language.empty()
            ? LanguageOfLocale([](const char* name) { return std::getenv(name); })
            : options.language;
    if (!InstallLanguage(language))
        std::fprintf(stderr, "orvo-cli: this build has no English translation\n");
    return RunCliCommand(options);
}
