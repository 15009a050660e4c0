// orvo-cli ended by a signal at the worst moment, against the emulator on a slow
// line: a rename after its erase, a download half read, a backup half done. Each
// ends as closing the form's window mid-operation ends it, with status 128 + the
// signal, and its trace ends with whole records.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <set>
#include <sstream>

#include "app/SignalWatcher.h"
#include "protocol/TraceFormat.h"
#include "tests/cli/CliTestSupport.h"

using namespace orvo;

namespace {

// Polls until done() holds; false after ms.
bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Every file below dir, hidden ones included (relative paths).
std::set<std::string> FilesBelow(const QString& dir) {
    std::set<std::string> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) files.insert(QDir(dir).relativeFilePath(it.next()).toStdString());
    return files;
}

bool HasDownloadTemp(const QString& dir) {
    for (const std::string& f : FilesBelow(dir))
        if (f.find(".orvo-download-") != std::string::npos)
            return true;
    return false;
}

class InterruptTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) { return dir.filePath(name); }
    // The emulator on a line of 19200 bit/s with the files of root/ only.
    void StartPhone() {
        QDir().mkpath(Path("root"));
        ASSERT_TRUE(phone.Start({"--empty", "--root", Path("root"), "--baud", "19200",
                                 "--transcript", Path("phone.txt")}));
    }
    void StartCli(QStringList args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", Path("data"));
        args = QStringList{"--port", phone.pty, "--trace", Path("trace.txt")} + args;
        cli.Start(args, dir.path(), env);
    }
    // The computer has sent this command to the phone.
    bool Sent(const std::string& command) {
        return HostBytes(Path("phone.txt")).find(command) != std::string::npos;
    }
    // The trace is whole: it reads back, and ends with a whole line.
    void ExpectWholeTrace() {
        const std::string text = ReadFile(Path("trace.txt"));
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        std::istringstream in(text);
        std::vector<TraceRecord> records;
        std::string error;
        EXPECT_TRUE(ParseTrace(in, records, error)) << error;
        EXPECT_FALSE(records.empty());
    }

    QTemporaryDir dir;
    Emulator phone;
    CliProcess cli;
};

}  // namespace

// The handler only passes the signal on: the call comes on the event loop, and
// the signal's earlier handling is back once the watcher goes.
TEST(SignalWatcher, PassesTheSignalToTheEventLoop) {
    int got = 0;
    {
        SignalWatcher watcher({SIGTERM, SIGHUP}, [&](int signo) { got = signo; });
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_EQ(got, 0);
        EXPECT_TRUE(WaitFor(
            [&] {
                QCoreApplication::processEvents();
                return got != 0;
            },
            10000));
        EXPECT_EQ(got, SIGHUP);
        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_EQ(watcher.TakePending(), SIGTERM);
        EXPECT_EQ(watcher.TakePending(), 0);
    }
    struct sigaction now {};
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST_F(InterruptTest, ARenameStoppedAfterItsEraseKeepsTheFileUnderItsOwnName) {
    const std::string bytes = std::string(6000, 'r') + "end";
    WriteFile(Path("root/java/photo.bin"), bytes);
    StartPhone();
    StartCli({"mv", "java/photo.bin", "moved.bin"});
    // The erase is answered and the write under the new name has begun.
    ASSERT_TRUE(WaitFor([&] { return Sent("AT+FSFW"); }));
    cli.Signal(SIGINT);
    const CliRun r = cli.Finish();
    EXPECT_EQ(r.status, 128 + SIGINT) << r.err;
    const QString rescued = Path("data/orvo-fm/rescued/photo.bin");
    EXPECT_NE(r.err.find("orvo-cli: stopped by SIGINT\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(rescued.toStdString()), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(rescued), bytes);
    EXPECT_EQ(FilesBelow(Path("data/orvo-fm/rescued")), std::set<std::string>{"photo.bin"});
    ExpectWholeTrace();
}

TEST_F(InterruptTest, ADownloadStoppedHalfWayLeavesTheFolderAsItWas) {
    WriteFile(Path("root/java/big.bin"), std::string(20000, 'b'));
    WriteFile(Path("out/big.bin"), "old");
    StartPhone();
    StartCli({"get", "java/big.bin", "-o", Path("out")});
    ASSERT_TRUE(WaitFor([&] { return HasDownloadTemp(Path("out")); }));
    cli.Signal(SIGTERM);
    const CliRun r = cli.Finish();
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
    EXPECT_EQ(r.err, "orvo-cli: stopped by SIGTERM\n");
    EXPECT_EQ(FilesBelow(Path("out")), std::set<std::string>{"big.bin"});
    EXPECT_EQ(ReadFile(Path("out/big.bin")), "old");
    ExpectWholeTrace();
}

TEST_F(InterruptTest, ABackupStoppedHalfWayListsExactlyItsCompleteFilesAndResumes) {
    WriteFile(Path("root/java/a.bin"), std::string(3000, 'a'));
    WriteFile(Path("root/Images/My Photos/Camera/b.jpg"), std::string(12000, 'b'));
    WriteFile(Path("root/Sounds/My Sounds/c.mid"), std::string(12000, 'c'));
    QDir().mkpath(Path("out"));
    StartPhone();
    auto backupFolder = [&] {
        const QStringList made = QDir(Path("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return made.isEmpty() ? QString() : Path("out/" + made.first());
    };
    auto listed = [&] {
        const QJsonObject manifest =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(ReadFile(backupFolder() + "/manifest.json")))
                .object();
        std::set<std::string> files{"manifest.json"};
        for (const QJsonValue& f : manifest["files"].toArray())
            files.insert(f.toObject()["file"].toString().toStdString());
        return files;
    };

    // Ended by SIGHUP with one file in and the next one half read.
    StartCli({"backup", Path("out")});
    ASSERT_TRUE(WaitFor([&] {
        return !backupFolder().isEmpty() && listed().size() > 1 && HasDownloadTemp(Path("out"));
    }));
    cli.Signal(SIGHUP);
    const CliRun hup = cli.Finish();
    EXPECT_EQ(hup.status, 128 + SIGHUP) << hup.err;
    EXPECT_EQ(FilesBelow(backupFolder()), listed());
    ExpectWholeTrace();

    // Killed outright, it leaves its temporary file; the resumed backup removes it.
    CliProcess killed;
    killed.Start({"--port", phone.pty, "backup", "--resume", Path("out")}, dir.path());
    ASSERT_TRUE(WaitFor([&] { return HasDownloadTemp(Path("out")); }));
    killed.Signal(SIGKILL);
    killed.Finish();
    const CliRun resumed =
        RunCli({"--port", phone.pty, "backup", "--resume", Path("out")}, dir.path());
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_FALSE(HasDownloadTemp(Path("out")));
    EXPECT_EQ(listed().size(), 4u);
    EXPECT_EQ(FilesBelow(backupFolder()), listed());
}
