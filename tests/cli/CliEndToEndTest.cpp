// orvo-cli as a process against the emulator program on a pseudo-terminal: each
// command, each exit status and each answer to a taken name.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include "tests/cli/CliTestSupport.h"

using namespace orvo;

namespace {

class CliTest : public ::testing::Test {
  protected:
    // The emulator with the sample content plus the files of root/, saving into saved/.
    void StartPhone(QStringList extra = {}) {
        extra << "--root" << dir.filePath("root") << "--save" << dir.filePath("saved");
        QDir().mkpath(dir.filePath("root"));
        QDir().mkpath(dir.filePath("saved"));
        ASSERT_TRUE(phone.Start(extra));
    }
    CliRun Cli(QStringList args) {
        args.prepend(phone.pty);
        args.prepend("--port");
        return RunCli(args, dir.path());
    }
    QString Path(const QString& name) { return dir.filePath(name); }

    QTemporaryDir dir;
    Emulator phone;
};

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST_F(CliTest, TreeAndLsShowTheFoldersAsTheFormDoes) {
    StartPhone();
    CliRun tree = Cli({"tree"});
    EXPECT_EQ(tree.status, 0) << tree.err;
    EXPECT_NE(tree.out.find("\nImages/OnOff/Menu Images/poweron.gif\t1106\n"), std::string::npos);
    EXPECT_NE(tree.out.find("\nSounds/My Sounds/Звонок.mid\t904\n"), std::string::npos);

    CliRun ls = Cli({"ls", "Images/OnOff/Menu Images"});
    EXPECT_EQ(ls.status, 0) << ls.err;
    EXPECT_EQ(ls.out, "poweron.gif\t1106\n");

    CliRun json = Cli({"--json", "ls", "/"});
    EXPECT_EQ(json.status, 0) << json.err;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(doc["folder"].toObject()["path"].toString(), "/");
    EXPECT_TRUE(doc["folder"].toObject()["folders"].toArray().contains("java"));
    EXPECT_EQ(doc["status"].toInt(), 0);
}

TEST_F(CliTest, GetGoesOnPastAMissingFileAndEndsWithItsStatus) {
    WriteFile(Path("root/java/x.bin"), std::string(1500, 'x') + "end");
    StartPhone();
    QDir().mkpath(Path("out"));
    CliRun r = Cli({"get", "java/none.bin", "java/x.bin", "-o", Path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("java/none.bin"), std::string::npos);
    EXPECT_EQ(r.out, Path("out/x.bin").toStdString() + "\n");
    EXPECT_EQ(ReadFile(Path("out/x.bin")), std::string(1500, 'x') + "end");
}

TEST_F(CliTest, GetRefusesASecondFileOfTheSameNameUnlessOverwrite) {
    WriteFile(Path("root/java/x.jpg"), "first");
    WriteFile(Path("root/Images/My Photos/Camera/x.jpg"), "second");
    StartPhone();
    QDir().mkpath(Path("out"));
    CliRun r = Cli({"get", "java/x.jpg", "Images/My Photos/Camera/x.jpg", "-o", Path("out")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "orvo-cli: Images/My Photos/Camera/x.jpg: would overwrite a file just "
              "written: " +
                  Path("out/x.jpg").toStdString() + " (use --overwrite)\n");
    EXPECT_EQ(r.out, Path("out/x.jpg").toStdString() + "\n");
    EXPECT_EQ(ReadFile(Path("out/x.jpg")), "first");

    CliRun over = Cli(
        {"get", "--overwrite", "java/x.jpg", "Images/My Photos/Camera/x.jpg", "-o", Path("out")});
    EXPECT_EQ(over.status, 0) << over.err;
    EXPECT_EQ(ReadFile(Path("out/x.jpg")), "second");
}

TEST_F(CliTest, ChecksumMismatchIsStatus5AndLeavesNoFile) {
    StartPhone({"--corrupt-crc"});
    CliRun r = Cli({"get", "Images/Animations/loading.gif"});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_FALSE(QFile::exists(Path("loading.gif")));
}

TEST_F(CliTest, PutFollowsThePhonesNamingAndCompileJavaRegistersTheGame) {
    StartPhone();
    WriteFile(Path("tetris.jad"), "MIDlet-Name: Tetris\n");
    WriteFile(Path("tetris.jar"), std::string(2000, 'J'));
    CliRun put = Cli({"put", "tetris.jad", "tetris.jar", "java"});
    EXPECT_EQ(put.status, 0) << put.err;
    EXPECT_EQ(put.out, "java/tetris_suite.jad\njava/tetris_suite.jar\n");
    CliRun compile = Cli({"compile-java"});
    EXPECT_EQ(compile.status, 0) << compile.err;
    phone.Stop();
    EXPECT_EQ(ReadFile(Path("saved/java/tetris_suite.jar")), std::string(2000, 'J'));
    EXPECT_NE(ReadFile(Path("saved/java/suites.utf")).find("tetris"), std::string::npos);
}

TEST_F(CliTest, PutAnswersATakenNameFromItsOption) {
    WriteFile(Path("root/java/a.txt"), "old");
    StartPhone();
    WriteFile(Path("a.txt"), "new");

    CliRun none = Cli({"put", "a.txt", "java"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("--overwrite"), std::string::npos);
    CliRun skip = Cli({"put", "a.txt", "java", "--skip"});
    EXPECT_EQ(skip.status, 0) << skip.err;
    EXPECT_EQ(skip.out, "");
    CliRun renamed = Cli({"put", "a.txt", "java", "--rename-to", "b.txt"});
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_EQ(renamed.out, "java/b.txt\n");
    CliRun again = Cli({"put", "a.txt", "java", "--rename-to", "b.txt"});
    EXPECT_EQ(again.status, 1) << "b.txt is taken now too";

    phone.Stop();
    EXPECT_EQ(ReadFile(Path("saved/java/a.txt")), "old");
    EXPECT_EQ(ReadFile(Path("saved/java/b.txt")), "new");
}

TEST_F(CliTest, PutOverwritesWhenTold) {
    WriteFile(Path("root/java/a.txt"), "old");
    StartPhone();
    WriteFile(Path("a.txt"), "new");
    CliRun r = Cli({"put", "a.txt", "java", "--overwrite"});
    EXPECT_EQ(r.status, 0) << r.err;
    phone.Stop();
    EXPECT_EQ(ReadFile(Path("saved/java/a.txt")), "new");
}

TEST_F(CliTest, MvAndRmChangeThePhone) {
    WriteFile(Path("root/java/a.txt"), "A");
    WriteFile(Path("root/java/b.txt"), "B");
    StartPhone();

    EXPECT_EQ(Cli({"mv", "java/a.txt", "b.txt"}).status, 1);
    CliRun skip = Cli({"mv", "java/a.txt", "b.txt", "--skip"});
    EXPECT_EQ(skip.status, 0) << skip.err;
    CliRun other = Cli({"mv", "java/a.txt", "b.txt", "--rename-to", "c.txt"});
    EXPECT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(other.out, "java/c.txt\n");
    CliRun over = Cli({"mv", "java/b.txt", "c.txt", "--overwrite"});
    EXPECT_EQ(over.status, 0) << over.err;
    CliRun plain = Cli({"mv", "java/c.txt", "Новый.txt"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    CliRun rm = Cli({"rm", "java/game_suite.jad"});
    EXPECT_EQ(rm.status, 0) << rm.err;
    EXPECT_EQ(rm.out, "java/game_suite.jad\n");

    phone.Stop();
    EXPECT_EQ(ReadFile(Path("saved/java/Новый.txt")), "B");
    for (const char* gone : {"a.txt", "b.txt", "c.txt", "game_suite.jad"})
        EXPECT_FALSE(QFile::exists(Path("saved/java/") + gone)) << gone;
}

TEST_F(CliTest, APhoneErrorIsStatus1OnOneLine) {
    StartPhone({"--error-on", "AT+FSFW"});
    WriteFile(Path("a.txt"), "new");
    CliRun r = Cli({"put", "a.txt", "java"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("Ошибка записи файла"), std::string::npos) << r.err;
}

TEST_F(CliTest, UsageAndPortProblemsComeBeforeThePhone) {
    CliRun folder = RunCli({"--port", "/nonexistent/tty", "ls", "Images/OnOff"});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(Lines(folder.err), 1);
    EXPECT_EQ(RunCli({"put", "a.txt", "Images"}).status, 2) << "a folder of folders takes no files";
    EXPECT_EQ(RunCli({"--baud", "9600", "tree"}).status, 2);

    CliRun port = RunCli({"--port", "/nonexistent/tty", "tree"});
    EXPECT_EQ(port.status, 3);
    EXPECT_EQ(Lines(port.err), 1);
    EXPECT_NE(port.err.find("/nonexistent/tty"), std::string::npos);
}

TEST_F(CliTest, ALostLineIsStatus4) {
    StartPhone({"--reset-delay", "5000"});
    CliProcess cli;
    cli.Start({"--port", phone.pty, "tree"});
    QThread::msleep(1000);
    phone.Kill();
    CliRun r = cli.Finish(20000);
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
}

// The ports found, as lines and as JSON: the same list either way, and never
// a pseudo-terminal (the emulator's port is given with --port).
TEST_F(CliTest, PortsListTheSameDevicesInBothForms) {
    StartPhone();
    CliRun plain = RunCli({"ports"}, dir.path());
    CliRun json = RunCli({"--json", "ports"}, dir.path());
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(json.status, 0) << json.err;
    std::string fromJson;
    for (const QJsonValue& v :
         QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["ports"].toArray()) {
        const QJsonObject port = v.toObject();
        fromJson += port["path"].toString().toStdString();
        if (port.contains("description"))
            fromJson += "\t" + port["description"].toString().toStdString();
        fromJson += "\n";
    }
    EXPECT_EQ(plain.out, fromJson);
    EXPECT_EQ(plain.out.find(phone.pty.toStdString()), std::string::npos);
}

// A phone that never answers: the wake-up gives up after its resets, status 4.
TEST_F(CliTest, SilentPhoneEndsWithNoAnswer) {
    StartPhone({"--silent"});
    CliRun ls = Cli({"ls", "/"});
    EXPECT_EQ(ls.status, 4) << ls.err;
    EXPECT_EQ(ls.out, "");
    EXPECT_NE(ls.err.find("Время ожидания истекло"), std::string::npos) << ls.err;
    EXPECT_EQ(Lines(ls.err), 1) << ls.err;
}
