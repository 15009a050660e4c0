// orvo-fm as a process ended from outside (a kill, a desktop logout): it leaves
// even the settings dialog, ends with 128 + the signal, and its trace is whole.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

TEST(FormSignal, SigtermAndSighupEndTheProgramWithTheirStatus) {
    for (const int signo : {SIGTERM, SIGHUP}) {
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        QProcess fm;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        fm.setProcessEnvironment(env);
        fm.start(QStringLiteral(ORVO_FM_PATH), {"--trace", trace});
        ASSERT_TRUE(fm.waitForStarted(10000));
        // The trace is opened as the window is made, after the signals are watched.
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(trace) && clock.elapsed() < 30000) QThread::msleep(20);
        ASSERT_TRUE(QFile::exists(trace));
        ::kill(static_cast<pid_t>(fm.processId()), signo);
        ASSERT_TRUE(fm.waitForFinished(30000)) << signo;
        EXPECT_EQ(fm.exitStatus(), QProcess::NormalExit) << signo;
        EXPECT_EQ(fm.exitCode(), 128 + signo);
    }
}
