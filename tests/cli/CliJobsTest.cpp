// orvo-cli's whole-phone commands against the emulator program: a backup of the
// sample phone written back into an empty one, a backup broken off and resumed,
// and a Java application installed in one step.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <map>

#include "tests/cli/CliTestSupport.h"
#include "tests/support/SmallDisk.h"

using namespace orvo;

namespace {

// Every file below dir (relative path -> bytes).
std::map<std::string, std::string> FilesBelow(const QString& dir) {
    std::map<std::string, std::string> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(dir).relativeFilePath(path).toStdString()] = ReadFile(path);
    }
    return files;
}

QJsonObject Manifest(const std::string& top) {
    return QJsonDocument::fromJson(
               QByteArray::fromStdString(ReadFile(QString::fromStdString(top) + "/manifest.json")))
        .object();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class CliJobsTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) { return dir.filePath(name); }
    CliRun Cli(Emulator& phone, QStringList args) {
        args.prepend(phone.pty);
        args.prepend("--port");
        return RunCli(args, dir.path());
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(CliJobsTest, ABackupOfTheSamplePhoneWrittenIntoAnEmptyOneGivesTheSameFiles) {
    QDir().mkpath(Path("out"));
    Emulator sample;
    ASSERT_TRUE(sample.Start({"--sample", "--save", Path("saved-sample")}));
    const CliRun backup = Cli(sample, {"backup", Path("out")});
    sample.Stop();
    ASSERT_EQ(backup.status, 0) << backup.err;
    ASSERT_EQ(Count(backup.out, "\n"), 1);
    const std::string top = backup.out.substr(0, backup.out.size() - 1);
    EXPECT_EQ(top.rfind(Path("out/phone-backup-").toStdString(), 0), 0u) << top;
    const QJsonObject manifest = Manifest(top);
    EXPECT_TRUE(manifest["complete"].toBool());
    EXPECT_FALSE(manifest["date"].toString().isEmpty());
    bool sawMenuImages = false;
    for (const QJsonValue& v : manifest["files"].toArray()) {
        const QJsonObject f = v.toObject();
        const std::string bytes =
            ReadFile(QString::fromStdString(top) + "/" + f["file"].toString());
        EXPECT_EQ(static_cast<qint64>(bytes.size()), f["size"].toInteger()) << bytes;
        EXPECT_EQ(f["sha256"].toString().size(), 64);
        EXPECT_EQ(f["crc32"].toString().size(), 8);
        if (f["folder"].toString() == "Images/OnOff/Menu Images") {
            sawMenuImages = true;
            EXPECT_EQ(f["file"].toString(), "Images/OnOff_Menu Images/poweron.gif");
        }
    }
    EXPECT_TRUE(sawMenuImages);

    Emulator empty;
    ASSERT_TRUE(empty.Start({"--empty", "--save", Path("saved-restored")}));
    const CliRun restore = Cli(empty, {"restore", QString::fromStdString(top)});
    empty.Stop();
    ASSERT_EQ(restore.status, 0) << restore.err;

    std::map<std::string, std::string> before = FilesBelow(Path("saved-sample"));
    const std::map<std::string, std::string> after = FilesBelow(Path("saved-restored"));
    // A file of no bytes is not in the phone's lists as the program reads them.
    EXPECT_EQ(before.erase("empty.txt"), 1u);
    EXPECT_EQ(before, after);
}

TEST_F(CliJobsTest, AnInterruptedBackupResumesWithoutReadingCompleteFilesAgain) {
    QDir().mkpath(Path("out"));
    Emulator failing;
    // The phone falls silent in the middle of the backup.
    ASSERT_TRUE(failing.Start({"--sample", "--silent-after", "40"}));
    const CliRun first = Cli(failing, {"backup", Path("out")});
    failing.Kill();
    EXPECT_EQ(first.status, 4) << first.err;
    const std::string top = first.out.substr(0, first.out.find('\n'));
    const QJsonArray kept = Manifest(top)["files"].toArray();
    EXPECT_FALSE(Manifest(top)["complete"].toBool());
    ASSERT_GT(kept.size(), 3);

    Emulator phone;
    ASSERT_TRUE(phone.Start({"--sample", "--transcript", Path("resume.txt")}));
    const CliRun second = Cli(phone, {"--json", "backup", Path("out"), "--resume"});
    phone.Stop();
    ASSERT_EQ(second.status, 0) << second.err;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(second.out)).object();
    EXPECT_EQ(doc["backup"].toString().toStdString(), top);
    EXPECT_TRUE(doc["complete"].toBool());
    EXPECT_EQ(doc["skipped"].toArray().size(), kept.size());
    const QJsonArray all = Manifest(top)["files"].toArray();
    EXPECT_TRUE(Manifest(top)["complete"].toBool());

    const std::string host = HostBytes(Path("resume.txt"));
    EXPECT_EQ(Count(host, "AT+FSFR="), all.size() - kept.size());
    for (const QJsonValue& v : kept) {
        const std::string name = v.toObject()["name"].toString().toStdString();
        EXPECT_EQ(Count(host, "AT+FSFR=-1,\\\"" + name + "\\\""), 0) << name;
    }
    // No second backup folder was made.
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

// A disk that fills up ends the backup with status 1 and leaves its list whole,
// naming exactly the files that are complete; with room again it goes on.
TEST_F(CliJobsTest, ABackupOntoAFullDiskKeepsItsListAndResumesLater) {
    SmallDisk disk(256 * 1024);
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString out = QString::fromStdString(disk.Path());
    disk.Fill(40 * 1024);
    Emulator phone;
    ASSERT_TRUE(phone.Start({"--sample"}));
    const CliRun full = Cli(phone, {"backup", out});
    EXPECT_EQ(full.status, 1) << full.err;
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    const std::string top = full.out.substr(0, full.out.find('\n'));
    const QJsonObject list = Manifest(top);
    EXPECT_EQ(list["format"].toString(), "orvo-phone-backup");
    EXPECT_FALSE(list["complete"].toBool());
    for (const QJsonValue& v : list["files"].toArray()) {
        const QJsonObject f = v.toObject();
        const QString path = QString::fromStdString(top) + "/" + f["file"].toString();
        EXPECT_EQ(static_cast<qint64>(ReadFile(path).size()), f["size"].toInteger())
            << f["file"].toString().toStdString();
    }

    disk.Free();
    const CliRun later = Cli(phone, {"--json", "backup", out, "--resume"});
    ASSERT_EQ(later.status, 0) << later.err;
    EXPECT_TRUE(Manifest(top)["complete"].toBool());
    EXPECT_GT(Manifest(top)["files"].toArray().size(), list["files"].toArray().size());
    EXPECT_EQ(QDir(out).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).size(),
              1);
}

TEST_F(CliJobsTest, InstallJavaPutsThePairInJavaAndRegistersIt) {
    const std::string jad = "MIDlet-1: Chess, /i.png, c.Main\nMIDlet-Jar-URL: chess.jar\n";
    const std::string jar = "PK\x03\x04" + std::string(1500, 'j');
    WriteFile(Path("apps/chess.jad"), jad);
    WriteFile(Path("apps/chess.jar"), jar);
    WriteFile(Path("apps/lonely.jad"), "MIDlet-Jar-URL: nowhere.jar\n");

    Emulator phone;
    ASSERT_TRUE(phone.Start({"--empty", "--save", Path("saved"), "--transcript", Path("t.txt")}));
    // A pair that cannot go whole is refused before the port is even opened.
    const CliRun lonely = Cli(phone, {"install-java", Path("apps/lonely.jad")});
    EXPECT_EQ(lonely.status, 1);
    EXPECT_NE(lonely.err.find("nowhere.jar"), std::string::npos) << lonely.err;
    const CliRun missing = Cli(phone, {"install-java", Path("apps/none.jad")});
    EXPECT_EQ(missing.status, 1);
    // An archive the descriptor does not name would never run.
    WriteFile(Path("apps/other.jar"), jar);
    const CliRun other =
        Cli(phone, {"install-java", Path("apps/chess.jad"), Path("apps/other.jar")});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("chess.jar"), std::string::npos) << other.err;
    // Every name of the pair must fit the phone (its code page, its length) before
    // the descriptor goes: no descriptor is left without its archive.
    const std::string longName = std::string(60, 'l') + ".jar";
    for (const std::string& name : {std::string("snow\u2603.jar"), longName}) {
        WriteFile(Path("apps/odd.jad"), "MIDlet-Jar-URL: " + name + "\n");
        WriteFile(Path("apps/") + QString::fromStdString(name), jar);
        const CliRun odd = Cli(phone, {"install-java", Path("apps/odd.jad")});
        EXPECT_EQ(odd.status, 1) << name;
        EXPECT_NE(odd.err.find("_suite.jar"), std::string::npos) << odd.err;
    }
    EXPECT_EQ(HostBytes(Path("t.txt")), "");

    const CliRun r = Cli(phone, {"install-java", Path("apps/chess.jad")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "java/chess_suite.jad\njava/chess_suite.jar\n");
    // Again: the name is taken, nothing is written and nothing registered anew.
    const std::string before = HostBytes(Path("t.txt"));
    const CliRun again = Cli(phone, {"install-java", Path("apps/chess.jad")});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_NE(again.err.find("\"chess_suite.jad\" is already on the phone"), std::string::npos)
        << again.err;
    // --skip leaves the pair alone and says so.
    const CliRun skip = Cli(phone, {"--json", "install-java", "--skip", Path("apps/chess.jad")});
    EXPECT_EQ(skip.status, 0) << skip.err;
    EXPECT_NE(skip.err.find("chess_suite.jad"), std::string::npos) << skip.err;
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(skip.out)).object();
    EXPECT_EQ(doc["skipped"].toArray(),
              QJsonArray({"java/chess_suite.jad", "java/chess_suite.jar"}));
    EXPECT_TRUE(doc["files"].toArray().isEmpty());
    const std::string after = HostBytes(Path("t.txt")).substr(before.size());
    EXPECT_EQ(Count(after, "AT+FSFW"), 0) << after;
    phone.Stop();
    EXPECT_EQ(ReadFile(Path("saved/java/chess_suite.jad")), jad);
    EXPECT_EQ(ReadFile(Path("saved/java/chess_suite.jar")), jar);
    EXPECT_EQ(ReadFile(Path("saved/java/suites.utf")), std::string("\x00\x06"
                                                                   "chess_",
                                                                   8));
}
