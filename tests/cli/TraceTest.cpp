// The trace of the line: what orvo-cli records, read back with the trace format
// the emulator uses, the emulator answering a host from it, and a trace that
// cannot be written.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <sstream>

#include "app/LineTrace.h"
#include "cli/CliOptions.h"
#include "protocol/TraceFormat.h"
#include "tests/cli/CliTestSupport.h"
#include "tools/emulator/PhoneEmulatorReplay.h"

using namespace orvo;

namespace {

// The emulator in --replay mode: its status and stderr once it has ended.
class ReplayingPhone {
  public:
    ~ReplayingPhone() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.kill();
            proc_.waitForFinished(5000);
        }
    }
    bool Start(const QString& trace) {
        proc_.start(QStringLiteral(PHONE_EMULATOR_PATH), {"--replay", trace});
        if (!proc_.waitForStarted(10000))
            return false;
        for (int i = 0; i < 100 && !proc_.canReadLine(); ++i) proc_.waitForReadyRead(100);
        const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
        pty = line.mid(4);
        return line.startsWith(QLatin1String("PTY "));
    }
    // -1 when it is still running after ms.
    int Wait(int ms = 10000) {
        if (!proc_.waitForFinished(ms))
            return -1;
        return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
    }
    std::string Errors() { return proc_.readAllStandardError().toStdString(); }
    QString pty;

  private:
    QProcess proc_;
};

std::vector<TraceRecord> Parse(const std::string& text, std::string* error = nullptr) {
    std::istringstream in(text);
    std::vector<TraceRecord> records;
    std::string e;
    EXPECT_EQ(ParseTrace(in, records, e), error == nullptr) << e;
    if (error)
        *error = e;
    return records;
}

}  // namespace

TEST(TraceRecord, EveryByteSurvivesTheWriterAndTheReader) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    all += "\"\\\\\"x41\r\n";
    const std::string literal = EscapeTraceBytes(all.data(), all.size());
    EXPECT_EQ(literal.find_first_of("\r\n"), std::string::npos);
    std::string back;
    ASSERT_TRUE(UnescapeTraceLiteral(literal, back));
    EXPECT_EQ(back, all);

    for (const char* bad : {"a\"b", "\\", "\\x4", "\\xG0", "\\q"})
        EXPECT_FALSE(UnescapeTraceLiteral(bad, back)) << bad;
}

TEST(TraceRecord, AFileWrittenByTheTraceIsReadBackRecordByRecord) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("sub/trace.txt").toStdString();
    {
        LineTrace trace;
        std::string error;
        ASSERT_TRUE(trace.Open(path, error)) << error;
        trace.Header("orvo-cli", "/dev/ttyUSB0", 230400);
        trace.Record('H', "AT\r\n", 4);
        trace.Record('P', std::string("\0\xFF\"", 3).data(), 3);
        trace.Note("port closed");
    }
    {
        LineTrace again;  // a second run appends
        std::string error;
        ASSERT_TRUE(again.Open(path, error)) << error;
        again.Header("orvo-fm", "/dev/ttyUSB1", 115200);
        again.Record('H', "ATZ\r\n", 5);
    }
    const std::string text = ReadFile(QString::fromStdString(path));
    EXPECT_EQ(text.rfind("# orvo line trace 1\n# program: orvo-cli ", 0), 0u) << text;
    EXPECT_NE(text.find("\n# port: /dev/ttyUSB0\n# speed: 230400\n# started: "), std::string::npos);
    EXPECT_NE(text.find("\n# program: orvo-fm "), std::string::npos);

    const std::vector<TraceRecord> records = Parse(text);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].direction, 'H');
    EXPECT_EQ(records[0].bytes, "AT\r\n");
    EXPECT_EQ(records[1].direction, 'P');
    EXPECT_EQ(records[1].bytes, std::string("\0\xFF\"", 3));
    EXPECT_LE(records[0].micros, records[1].micros);
    EXPECT_EQ(records[2].bytes, "ATZ\r\n");

    std::string error;
    Parse("0.5 H \"AT\"\n0.6 X \"OK\"\n", &error);
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
    Parse("soon H \"AT\"\n", &error);
    EXPECT_EQ(error.rfind("line 1:", 0), 0u) << error;
}

TEST(TraceReplay, AnswersEachCommandAndReportsTheFirstThatDiffers) {
    // The phone's greeting, a command written in two pieces (and an empty record,
    // as a hand-edited trace may hold), a reply in two chunks, then a second command.
    const std::string trace =
        "# orvo line trace 1\n"
        "0.010000 P \"hello\"\n"
        "0.100000 H \"AT+A\"\n"
        "0.100500 H \"=1\\r\"\n"
        "0.100600 H \"\"\n"
        "0.130500 P \"OK\"\n"
        "0.150500 P \"\\r\\n\"\n"
        "0.200000 H \"AT+B\\r\"\n"
        "0.300000 P \"DONE\\r\\n\"\n";
    TraceReplay replay(Parse(trace));
    ASSERT_EQ(replay.Opening().size(), 1u);
    EXPECT_EQ(replay.Opening()[0].bytes, "hello");
    EXPECT_EQ(replay.Commands(), 2u);

    std::vector<TraceReplay::Reply> replies;
    ASSERT_TRUE(replay.Receive("AT+", 3, replies));
    EXPECT_TRUE(replies.empty());
    ASSERT_TRUE(replay.Receive("A=1\rAT", 6, replies));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].bytes, "OK");
    EXPECT_EQ(replies[0].delayMicros, 30000 - kTraceBlockWaitMicros);
    EXPECT_EQ(replies[1].bytes, "\r\n");
    EXPECT_EQ(replies[1].delayMicros, 20000);

    EXPECT_FALSE(replay.Receive("+C\r", 3, replies));
    EXPECT_EQ(replies.size(), 2u);
    EXPECT_EQ(replay.Matched(), 1u);
    EXPECT_FALSE(replay.Complete());
    EXPECT_EQ(replay.Difference(),
              "command 2 of 2 (line 8 of the trace) differs from the recording at offset 3\n"
              "  recorded: \"AT+B\\r\"\n"
              "  received: \"AT+C\\r\"");

    TraceReplay whole(Parse(trace));
    replies.clear();
    ASSERT_TRUE(whole.Receive("AT+A=1\rAT+B\r", 12, replies));
    EXPECT_TRUE(whole.Complete());
    EXPECT_EQ(replies.size(), 3u);
    EXPECT_FALSE(whole.Receive("ATZ", 3, replies));
    EXPECT_EQ(whole.Difference(),
              "the computer sent more than the recording holds, after command 2: \"ATZ\"");
}

// A copy both ways recorded by orvo-cli, then the same commands against the
// emulator answering from the recording: every byte the host sends matches.
TEST(TraceReplay, ACopyRecordedByOrvoCliIsReplayedByTheEmulator) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("up/melody.mid"), std::string(1300, 'm'));
    QDir().mkpath(dir.filePath("first"));
    QDir().mkpath(dir.filePath("again"));
    const QString trace = dir.filePath("trace.txt");
    auto copy = [&](const QString& pty, const QString& into, const QStringList& extra) {
        CliRun put = RunCli(QStringList{"--port", pty} + extra +
                            QStringList{"put", dir.filePath("up/melody.mid"), "java"});
        EXPECT_EQ(put.status, 0) << put.err;
        CliRun get = RunCli(QStringList{"--port", pty} + extra +
                            QStringList{"get", "java/game_suite.jar", "-o", into});
        EXPECT_EQ(get.status, 0) << get.err;
    };
    {
        Emulator phone;
        ASSERT_TRUE(phone.Start({}));
        copy(phone.pty, dir.filePath("first"), {"--trace", trace});
        phone.Stop();
    }
    const std::string recorded = ReadFile(trace);
    EXPECT_NE(recorded.find("# program: orvo-cli "), std::string::npos);
    EXPECT_NE(recorded.find(" H \"AT+FSFW"), std::string::npos);
    EXPECT_NE(recorded.find(" H \"AT+FSFR"), std::string::npos);

    ReplayingPhone replay;
    ASSERT_TRUE(replay.Start(trace));
    copy(replay.pty, dir.filePath("again"), {});
    EXPECT_EQ(replay.Wait(), 0) << replay.Errors();
    EXPECT_EQ(ReadFile(dir.filePath("again/game_suite.jar")),
              ReadFile(dir.filePath("first/game_suite.jar")));
}

TEST(TraceReplay, TheEmulatorReportsACommandThatDiffersFromTheRecording) {
    QTemporaryDir dir;
    const QString trace = dir.filePath("trace.txt");
    {
        Emulator phone;
        ASSERT_TRUE(phone.Start({}));
        CliRun get = RunCli({"--port", phone.pty, "--trace", trace, "get", "java/game_suite.jad",
                             "-o", dir.path()});
        EXPECT_EQ(get.status, 0) << get.err;
        phone.Stop();
    }
    ReplayingPhone replay;
    ASSERT_TRUE(replay.Start(trace));
    CliRun get = RunCli({"--port", replay.pty, "get", "java/game_suite.jar", "-o", dir.path()});
    EXPECT_NE(get.status, 0);
    EXPECT_EQ(replay.Wait(), 1);
    const std::string errors = replay.Errors();
    const std::size_t at = errors.find("phone-emulator: replay: command ");
    ASSERT_NE(at, std::string::npos) << errors;
    const std::size_t recorded = errors.find("recorded: ", at);
    const std::size_t received = errors.find("received: ", at);
    ASSERT_NE(received, std::string::npos) << errors;
    EXPECT_NE(errors.find("game_suite.jad", recorded), std::string::npos) << errors;
    EXPECT_NE(errors.find("game_suite.jar", received), std::string::npos) << errors;
}

TEST(TraceOption, TakesAFileAndAnUnwritableOneEndsTheCommandBeforeThePort) {
    const CliOptions o = ParseCliArguments({"ls", "java", "--trace", "line.txt"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.trace, "line.txt");
    EXPECT_NE(ParseCliArguments({"ls", "java", "--trace"}).error, "");
    EXPECT_NE(ParseCliArguments({"ls", "java", "--trace", ""}).error, "");

    QTemporaryDir dir;
    WriteFile(dir.filePath("blocker"), "");
    CliRun ls = RunCli({"--port", dir.filePath("no-such-port"), "--trace",
                        dir.filePath("blocker/line.txt"), "ls", "java"});
    EXPECT_EQ(ls.status, 1);
    EXPECT_EQ(ls.err.rfind("orvo-cli: cannot write the trace ", 0), 0u) << ls.err;
}

TEST(TraceFile, IsPrivateAndOnlyEverAFile) {
    QTemporaryDir dir;
    std::string error;
    {
        // A new file and the folders made for it are their owner's alone.
        LineTrace trace;
        const std::string path = dir.filePath("new/sub/trace.txt").toStdString();
        ASSERT_TRUE(trace.Open(path, error)) << error;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(::stat(dir.filePath("new/sub").toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        ASSERT_EQ(::stat(dir.filePath("new").toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    // A pipe (nobody reading it would block the program), a folder and a device
    // are refused at once.
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir.path().toStdString(), std::string("/dev/full")}) {
        LineTrace trace;
        EXPECT_FALSE(trace.Open(path, error)) << path;
        EXPECT_EQ(error, "not a regular file") << path;
    }
    CliRun cli =
        RunCli({"--port", dir.filePath("no-such-port"), "--trace", "/dev/full", "ls", "java"});
    EXPECT_EQ(cli.status, 1);
    EXPECT_EQ(cli.err, "orvo-cli: cannot write the trace /dev/full: not a regular file\n");

    // The emulator replays files only.
    QProcess replay;
    replay.start(QStringLiteral(PHONE_EMULATOR_PATH), {"--replay", dir.path()});
    ASSERT_TRUE(replay.waitForFinished(10000));
    EXPECT_EQ(replay.exitCode(), 2);
    EXPECT_NE(replay.readAllStandardError().indexOf("is not a trace file"), -1);
}

// On a file system that fills up, the trace keeps its whole records, ends, and
// says so; orvo-cli then fails with status 1.
TEST(TraceFile, AFullDiskEndsTheTraceAfterItsLastWholeRecord) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    QTemporaryDir dir;
    const QByteArray mount = dir.filePath("small").toLocal8Bit();
    QDir().mkpath(dir.filePath("small"));
    if (::mount("tmpfs", mount.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        const char* path;
        ~Unmount() { ::umount2(path, MNT_DETACH); }
    } unmount{mount.constData()};

    const std::string path = mount.toStdString() + "/trace.txt";
    LineTrace trace;
    std::string error;
    ASSERT_TRUE(trace.Open(path, error)) << error;
    std::string failed;
    int calls = 0;
    trace.onFailed = [&](const std::string& reason) {
        failed = reason;
        ++calls;
    };
    trace.Header("orvo-cli", "/dev/ttyUSB0", 115200);
    const std::string block(700, 'b');
    int written = 0;
    for (int i = 0; i < 100 && trace.IsOpen(); ++i) {
        trace.Record('P', block.data(), block.size());
        if (trace.Flush())
            ++written;
    }
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(failed, std::strerror(ENOSPC));
    EXPECT_EQ(trace.Error(), failed);
    const std::string text = ReadFile(QString::fromStdString(path));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(Parse(text).size(), static_cast<std::size_t>(written));

    // With the disk full, the whole command fails once its own work is done.
    ::unlink(path.c_str());
    {
        std::FILE* f = std::fopen((mount.toStdString() + "/filler").c_str(), "w");
        ASSERT_NE(f, nullptr);
        const std::string chunk(512, 'f');
        while (std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size() &&
               std::fflush(f) == 0) {
        }
        std::fclose(f);
    }
    Emulator phone;
    ASSERT_TRUE(phone.Start({}));
    const std::string cliTrace = mount.toStdString() + "/cli.txt";
    CliRun tree =
        RunCli({"--port", phone.pty, "--trace", QString::fromStdString(cliTrace), "tree"});
    EXPECT_EQ(tree.status, 1) << tree.err;
    EXPECT_NE(tree.err.find("orvo-cli: cannot write the trace " + cliTrace + ": "),
              std::string::npos)
        << tree.err;
    EXPECT_NE(tree.out.find("java/game_suite.jar"), std::string::npos);
}
