// The command-line tests run the built orvo-cli against the emulator program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // Renames keep their files in the user's data folder: a private one for the run
    // (the programs started by the tests inherit it).
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    qunsetenv("ORVO_PORT");
    // orvo-cli speaks the locale's language: the programs the tests start run under
    // a Russian one (the texts the form shows, word for word) unless a test says
    // otherwise.
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "ru_RU.UTF-8");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
