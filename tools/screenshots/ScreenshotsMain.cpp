// orvo-fm-screenshots: saves pictures of the file manager's main window and of each
// of its dialogs into a folder. It drives the program's own windows against a port
// (the emulator's, from scripts/screenshot.sh) as a user would: "Старт" in the
// settings dialog, then, with the phone's root folder shown, every dialog in turn
// with sample contents.
//
//   orvo-fm-screenshots --dir DIR --port PATH [--font-size PT] [--lang en]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Language.h"
#include "ui/AboutForm.h"
#include "ui/CommandLine.h"
#include "ui/FileExistForm.h"
#include "ui/MainForm.h"
#include "ui/PhoneList.h"
#include "ui/ProcessForm.h"
#include "ui/RenameForm.h"
#include "ui/SettingsForm.h"

using namespace orvo;

namespace {

void Save(QWidget* w, const QDir& dir, const char* file) {
    QCoreApplication::sendPostedEvents();  // layouts settled before the picture
    if (!w->grab().save(dir.filePath(QString::fromLatin1(file))))
        std::fprintf(stderr, "orvo-fm-screenshots: cannot write %s\n", file);
}

// The dialogs shown one after the other with sample contents.
void ShootDialogs(TForm1& form, const QDir& dir) {
    Save(&form, dir, "main.png");
    auto shoot = [&](QWidget* w, const char* file) {
        w->show();
        Save(w, dir, file);
        w->hide();
    };
    shoot(form.AboutForm.get(), "about.png");
    form.RenameForm->RenName->setText(QStringLiteral("Melody.mid"));
    shoot(form.RenameForm.get(), "rename.png");
    form.FileExistForm->OldName->setText(QStringLiteral("Melody.mid"));
    form.FileExistForm->OldName->adjustSize();
    form.FileExistForm->NewName->setText(QStringLiteral("Melody1.mid"));
    shoot(form.FileExistForm.get(), "fileexist.png");

    Session& session = form.session();
    session.Progress.QuickStatus = Text(MessageId::CopyingFile, {"Melody.mid"});
    session.Progress.LongStatus = Text(MessageId::CopyingFileOf, {"1", "3"});
    session.Progress.ProgressBar1.SetMax(10);
    session.Progress.ProgressBar1.SetPosition(4);
    session.Progress.ProgressBar2.SetMax(3);
    session.Progress.ProgressBar2.SetPosition(1);
    // Two seconds into a batch of three files, on a clock of the picture's own.
    TProcessForm& process = *form.ProcessForm;
    int64_t now = 0;
    process.Clock = [&now] { return now; };
    process.TransferProgressed({"Melody.mid", 0, 10240, 0, 30720});
    now = 2000;
    process.TransferProgressed({"Melody.mid", 4096, 10240, 4096, 30720});
    process.Render(session.Progress);
    process.ShowRates();
    shoot(&process, "process.png");
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv, argv + argc);
    std::string folder;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            folder = args[i + 1];
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
            break;
        }
    }
    const ProgramOptions options = ParseCommandLine(args);
    if (folder.empty() || options.ports.empty() || !options.error.empty()) {
        std::fprintf(stderr,
                     "usage: orvo-fm-screenshots --dir DIR --port PATH [--font-size PT] "
                     "[--lang en]\n");
        return 2;
    }
    const QDir dir(QString::fromStdString(folder));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "orvo-fm-screenshots: cannot create %s\n", folder.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    if (options.fontSize > 0) {
        QFont font = QApplication::font();
        font.setPointSizeF(options.fontSize);
        QApplication::setFont(font);
    }
    QTranslator translator;
    if (options.language == "en" && translator.load(QStringLiteral(":/i18n/orvo-fm_en.qm")) &&
        InstallLanguage(options.language))
        QCoreApplication::installTranslator(&translator);

    TForm1 form(options);
    int status = 1;
    form.OnExit = [] { QCoreApplication::quit(); };
    QElapsedTimer since;
    since.start();
    QTimer watch;
    bool started = false;
    // Answers the settings dialog once its port list is complete, then waits for
    // the phone's root folder; a message box means the phone was not reached.
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* settings = qobject_cast<TSettingsForm*>(modal)) {
            if (!started && settings->PortsProbed()) {
                started = true;
                Save(settings, dir, "settings.png");
                settings->Start->click();
            }
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            std::fprintf(stderr, "orvo-fm-screenshots: %s\n", qPrintable(box->text()));
            QCoreApplication::exit(1);
        } else if (started && !modal && form.isEnabled() && form.session().CurrentFolder &&
                   form.ListPhone->Count() > 0 && !form.OperationRunning()) {
            watch.stop();
            ShootDialogs(form, dir);
            status = 0;
            QCoreApplication::quit();
        }
        if (since.elapsed() > 60000) {
            std::fprintf(stderr, "orvo-fm-screenshots: the phone's folders did not come\n");
            QCoreApplication::exit(1);
        }
    });
    watch.start(20);
    form.show();
    const int loop = app.exec();
    return loop != 0 ? loop : status;
}
