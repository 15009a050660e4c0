// The program: checks for a display, makes the application object and the
// windows, and runs the event loop; showing the main window starts the connection.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Language.h"
#include "app/SignalWatcher.h"
#include "ui/CommandLine.h"
#include "ui/MainForm.h"

using namespace orvo;

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv, argv + argc);
    const ProgramOptions options = ParseCommandLine(args);
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "orvo-fm: %s\n%s", options.error.c_str(), kUsageText);
        return 2;
    }
    if (!DisplayAvailable([](const char* name) { return std::getenv(name); }, args)) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        return 1;
    }

    QApplication app(argc, argv);
    if (options.fontSize > 0) {
        QFont font = QApplication::font();
        font.setPointSizeF(options.fontSize);
        QApplication::setFont(font);
    }
    QTranslator translator;
    if (options.language == "en") {
        // The form's own texts, and the messages and progress lines both programs share.
        if (translator.load(QStringLiteral(":/i18n/orvo-fm_en.qm")) &&
            InstallLanguage(options.language))
            QCoreApplication::installTranslator(&translator);
        else
            std::fprintf(stderr, "orvo-fm: this build has no English translation\n");
    }
    QApplication::setApplicationName(QStringLiteral("orvo-fm"));
    // The installed desktop entry and icon carry the same name.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvo-fm"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvo-fm")));
    // The help file is named but nothing opens it.
    app.setProperty("HelpFile", QStringLiteral("/usr/share/doc/orvo-fm/RAVUV.hlp"));

    ProgramOptions withSettings = options;
    // ~/.config/orvo-fm/orvo-fm.conf
    withSettings.settingsFile =
        (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/orvo-fm/orvo-fm.conf"))
            .toStdString();
    // Ended from outside (a kill, a desktop logout): the same clean-up as closing
    // the window mid-operation, then the status 128 + the signal. Watched from
    // before the window is made; the signal is taken once the event loop runs.
    int signalled = 0;
    TForm1* window = nullptr;
    SignalWatcher watcher({SIGTERM, SIGHUP}, [&](int signo) {
        signalled = signo;
        if (window)
            window->EndBySignal(signo);
        // Every event loop ends, a dialog's too, whatever its window would say.
        QCoreApplication::exit(128 + signo);
    });
    TForm1 form(withSettings);
    window = &form;
    form.show();
    const int status = app.exec();
    return signalled ? 128 + signalled : status;
}
