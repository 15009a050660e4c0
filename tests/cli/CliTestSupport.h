// The emulator program on a pseudo-terminal, orvo-cli as a process, and the
// host's bytes of an emulator transcript.
#pragma once

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <fstream>
#include <sstream>
#include <string>

namespace orvo {

class Emulator {
  public:
    ~Emulator() { Kill(); }
    // Starts it and reads the "PTY <path>" line.
    bool Start(const QStringList& args) {
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.start(QStringLiteral(PHONE_EMULATOR_PATH), args);
        if (!proc_.waitForStarted(10000))
            return false;
        for (int i = 0; i < 100 && !proc_.canReadLine(); ++i) proc_.waitForReadyRead(100);
        const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
        if (!line.startsWith(QLatin1String("PTY ")))
            return false;
        pty = line.mid(4);
        return true;
    }
    // Ends it with SIGTERM, so that --save and --transcript are written.
    void Stop() {
        if (proc_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(proc_.processId()), SIGTERM);
        proc_.waitForFinished(10000);
    }
    // Ends it at once: its side of the line goes as when a cable is pulled.
    void Kill() {
        if (proc_.state() == QProcess::NotRunning)
            return;
        proc_.kill();
        proc_.waitForFinished(5000);
    }
    QString pty;

  private:
    QProcess proc_;
};

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts orvo-cli with args; Finish() waits for it.
class CliProcess {
  public:
    void Start(const QStringList& args, const QString& workDir = QString(),
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.setProcessEnvironment(env);
        if (!workDir.isEmpty())
            proc_.setWorkingDirectory(workDir);
        proc_.start(QStringLiteral(ORVO_CLI_PATH), args);
        proc_.waitForStarted(10000);
    }
    CliRun Finish(int ms = 60000) {
        CliRun r;
        if (!proc_.waitForFinished(ms)) {
            proc_.kill();
            proc_.waitForFinished(5000);
            return r;
        }
        r.status = proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
        r.out = proc_.readAllStandardOutput().toStdString();
        r.err = proc_.readAllStandardError().toStdString();
        return r;
    }

    void Signal(int signo) { ::kill(static_cast<pid_t>(proc_.processId()), signo); }
    bool Running() const { return proc_.state() != QProcess::NotRunning; }

  private:
    QProcess proc_;
};

inline CliRun RunCli(const QStringList& args, const QString& workDir = QString()) {
    CliProcess p;
    p.Start(args, workDir);
    return p.Finish();
}

inline void WriteFile(const QString& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline std::string ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

// Every byte the host sent, as the transcript writes them (escaped), in order.
inline std::string HostBytes(const QString& transcript) {
    std::ifstream in(transcript.toStdString());
    std::string line;
    std::string out;
    while (std::getline(in, line)) {
        const std::size_t h = line.find(" H ");
        const std::size_t open = line.find('"');
        if (h == std::string::npos || open == std::string::npos || h > open)
            continue;
        out += line.substr(open + 1, line.rfind('"') - open - 1);
    }
    return out;
}

}  // namespace orvo
