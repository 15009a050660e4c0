// orvo-cli speaks the locale's language: English failure lines for every kind
// of failure under an English locale, the choice of --lang, and the message id
// and arguments beside the text in --json.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include "tests/cli/CliTestSupport.h"

using namespace orvo;

namespace {

class CliLanguage : public ::testing::Test {
  protected:
    void StartPhone(QStringList extra = {}) { ASSERT_TRUE(phone.Start(extra)); }
    // orvo-cli on the phone's port under locale (LANG, nothing else set).
    CliRun Cli(QStringList args, const QString& locale = QStringLiteral("en_US.UTF-8")) {
        args.prepend(phone.pty);
        args.prepend("--port");
        CliProcess p;
        p.Start(args, dir.path(), Locale(locale));
        return p.Finish();
    }
    static QProcessEnvironment Locale(const QString& locale) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        env.insert("LANG", locale);
        return env;
    }
    QString Path(const QString& name) { return dir.filePath(name); }

    QTemporaryDir dir;
    Emulator phone;
};

bool HasCyrillic(const std::string& text) {
    const QString t = QString::fromStdString(text);
    for (const QChar c : t)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    return false;
}

// orvo-cli ended with status and said line, in English only.
void ExpectEnglishLine(const CliRun& run, int status, const std::string& line) {
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    EXPECT_FALSE(HasCyrillic(run.err)) << run.err;
}

}  // namespace

TEST_F(CliLanguage, EveryKindOfFailureIsSaidInEnglish) {
    WriteFile(Path("a.txt"), "new");
    {
        SCOPED_TRACE("the phone refuses");
        StartPhone({"--error-on", "AT+FSFW", "--error-code", "2007"});
        ExpectEnglishLine(Cli({"put", Path("a.txt"), "java"}), 1,
                          "a.txt: Error writing the file: Memory full\n");
        phone.Kill();
    }
    {
        SCOPED_TRACE("a checksum that does not match");
        StartPhone({"--corrupt-crc"});
        ExpectEnglishLine(Cli({"get", "java/game_suite.jad"}), 5,
                          "java/game_suite.jad: Checksum error while reading the file: The file " +
                              Path("game_suite.jad").toStdString() + " was not saved\n");
        EXPECT_FALSE(QFile::exists(Path("game_suite.jad")));
        phone.Kill();
    }
    {
        SCOPED_TRACE("the computer's side, and a file the phone cannot take");
        StartPhone();
        ExpectEnglishLine(Cli({"get", "java/game_suite.jad", "-o", "/proc"}), 1,
                          "java/game_suite.jad: The disk is read-only\n");
        WriteFile(Path("日本.txt"), "x");
        ExpectEnglishLine(Cli({"put", Path("日本.txt"), "java"}), 1,
                          "The file name \"日本.txt\" cannot be written to the phone");
        phone.Kill();
    }
    {
        SCOPED_TRACE("a reply that is not one");
        WriteFile(Path("bad.trace"),
                  "# orvo line trace 1\n"
                  "0.000040 H \"ATZ\\r\\n\"\n"
                  "0.092265 P \"OK\\r\\n\"\n"
                  "0.330775 H \"AT+FSDL=\\\"Q\\\"\\r\\n\"\n"
                  "0.330939 P \"+FSDL: \\\"a.amr\\\",0,0,20090301,120000,zz,0\\r\\nOK\\r\\n\"\n");
        StartPhone({"--replay", Path("bad.trace")});
        ExpectEnglishLine(Cli({"ls", "/"}), 4,
                          "orvo-cli: The phone sent a wrong reply: 'zz' is not a number\n");
        phone.Kill();
    }
    {
        SCOPED_TRACE("the line goes");
        StartPhone({"--reset-delay", "5000"});
        CliProcess cli;
        cli.Start({"--port", phone.pty, "tree"}, dir.path(), Locale("C"));
        QThread::msleep(1000);
        phone.Kill();
        ExpectEnglishLine(cli.Finish(20000), 4,
                          "The link to the phone is lost: port " + phone.pty.toStdString() +
                              " was unplugged or is gone");
    }
    {
        SCOPED_TRACE("a silent phone");
        StartPhone({"--silent"});
        ExpectEnglishLine(Cli({"ls", "/"}), 4, "orvo-cli: The wait timed out\n");
    }
}

TEST_F(CliLanguage, LangChoosesAndJsonCarriesTheIdAndArguments) {
    StartPhone({"--error-on", "AT+FSFW", "--error-code", "2007"});
    WriteFile(Path("a.txt"), "new");
    CliRun russian = Cli({"put", Path("a.txt"), "java"}, "ru_RU.UTF-8");
    EXPECT_NE(russian.err.find("Ошибка записи файла: Память заполнена"), std::string::npos)
        << russian.err;
    CliRun english = Cli({"--lang", "en", "put", Path("a.txt"), "java"}, "ru_RU.UTF-8");
    EXPECT_NE(english.err.find("Error writing the file: Memory full"), std::string::npos)
        << english.err;
    CliRun chosen = Cli({"put", Path("a.txt"), "java", "--lang", "ru"}, "C");
    EXPECT_NE(chosen.err.find("Ошибка записи файла: Память заполнена"), std::string::npos)
        << chosen.err;

    CliRun json = Cli({"--json", "put", Path("a.txt"), "java"}, "C");
    EXPECT_EQ(json.status, 1);
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    ASSERT_EQ(doc["errors"].toArray().size(), 1) << json.out;
    const QJsonObject error = doc["errors"].toArray()[0].toObject();
    EXPECT_EQ(error["id"].toString(), "phone_error_writing");
    EXPECT_EQ(error["args"].toObject(), (QJsonObject{{"code", "2007"}}));
    EXPECT_EQ(error["message"].toString(), "Error writing the file: Memory full");
    EXPECT_EQ(error["status"].toInt(), 1);

    EXPECT_EQ(RunCli({"--lang", "de", "tree"}).status, 2);

    // The port's own failure is said in the same language.
    CliProcess port;
    port.Start({"--port", "/nonexistent/tty", "tree"}, dir.path(), Locale("C"));
    ExpectEnglishLine(port.Finish(), 3,
                      "The port /nonexistent/tty was not found: the device is unplugged or gone");
}
