// The backup's list on the disk: what counts as complete for a resumed backup, and
// what a restore refuses to write from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/BackupManifest.h"
#include "app/MessageTexts.h"
#include "tests/cli/CliTestSupport.h"

using namespace orvo;

TEST(BackupManifest, ResumeTrustsOnlyListedFilesWhoseBytesAreUnchanged) {
    QTemporaryDir dir;
    std::string error;
    const QDateTime when(QDate(2026, 12, 9), QTime(2, 30));
    const std::string top = MakeBackupFolder(dir.path().toStdString(), when, error);
    ASSERT_EQ(top, dir.filePath("phone-backup-2026-12-09-0230").toStdString()) << error;
    // A second one of the same minute gets a number.
    EXPECT_EQ(MakeBackupFolder(dir.path().toStdString(), when, error),
              dir.filePath("phone-backup-2026-12-09-0230-2").toStdString());

    BackupManifest m(top);
    ASSERT_TRUE(m.Load(error)) << error;
    WriteFile(QString::fromStdString(top + "/java/a.jar"), "archive");
    const BackupFile a{"java", "a.jar", "java/a.jar", 7, 0x1234abcdu};
    ASSERT_TRUE(m.Record(a, error)) << error;
    EXPECT_TRUE(m.HasComplete(a));
    BackupFile bigger = a;
    bigger.size = 8;  // the phone's file changed since
    EXPECT_FALSE(m.HasComplete(bigger));
    EXPECT_EQ(UnfinishedBackup(dir.path().toStdString()), top + "-2");
    // A later "backup" that is a link to another folder is passed over.
    QTemporaryDir other;
    WriteFile(other.filePath("manifest.json"),
              R"({"format": "orvo-phone-backup", "version": 1, "complete": false, "files": []})");
    ASSERT_TRUE(QFile::link(other.path(), dir.filePath("phone-backup-2099-01-01-0000")));
    EXPECT_EQ(UnfinishedBackup(dir.path().toStdString()), top + "-2");
    EXPECT_EQ(BackupIn(dir.path().toStdString()), top + "-2");

    BackupManifest again(top);
    ASSERT_TRUE(again.Load(error));
    ASSERT_EQ(again.Entries().size(), 1u);
    EXPECT_EQ(again.Entries()[0].file.crc, 0x1234abcdu);
    EXPECT_EQ(again.Entries()[0].sha256,
              "0eb3e36bfb24dcd9bb1d1bece1531216b59539a8fde17ee80224af0653c92aa3");
    WriteFile(QString::fromStdString(top + "/java/a.jar"), "archivE");  // same size, other bytes
    EXPECT_FALSE(again.HasComplete(a));
    ASSERT_TRUE(again.Finish(true, error)) << error;
    BackupManifest done(top);
    ASSERT_TRUE(done.Load(error));
    EXPECT_TRUE(done.Complete());
}

TEST(BackupManifest, RestoreRefusesFilesThatChangedOrLieOutsideTheBackup) {
    QTemporaryDir dir;
    const std::string top = dir.path().toStdString();
    WriteFile(dir.filePath("secret.txt"), "not from the phone");
    WriteFile(dir.filePath("phone-backup-2026-01-01-0000/java/ok.jad"), "jad");
    WriteFile(dir.filePath("phone-backup-2026-01-01-0000/java/changed.jar"), "jar");
    WriteFile(dir.filePath("phone-backup-2026-01-01-0000/manifest.json"),
              R"({"format": "orvo-phone-backup", "version": 1,
        "complete": true, "files": [
        {"folder": "java", "name": "ok.jad", "file": "java/ok.jad", "size": 3,
         "sha256": "65ebae8e077a037d81231c1bde91b721bf23bc3dd92baebdcdbe295ade66b79f"},
        {"folder": "java", "name": "changed.jar", "file": "java/changed.jar", "size": 3,
         "sha256": "0000000000000000000000000000000000000000000000000000000000000000"},
        {"folder": "/", "name": "secret.txt", "file": "../secret.txt", "size": 18,
         "sha256": ""},
        {"folder": "/", "name": "gone.txt", "file": "gone.txt", "size": 1, "sha256": ""}]})");
    std::vector<RestoreFile> files;
    std::string error;
    const std::string backup = top + "/phone-backup-2026-01-01-0000";
    ASSERT_EQ(BackupIn(top), backup);
    ASSERT_TRUE(ReadRestoreList(backup, files, error)) << error;
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].path, top + "/phone-backup-2026-01-01-0000/java/ok.jad");
    EXPECT_FALSE(files[0].problem.has_value());
    ASSERT_TRUE(files[1].problem.has_value());
    EXPECT_EQ(files[1].problem->kind, MessageKind::Checksum);
    ASSERT_TRUE(files[2].problem.has_value());
    EXPECT_EQ(files[2].problem->kind, MessageKind::Refused);
    EXPECT_TRUE(files[3].problem.has_value());
}

// A damaged or crafted list is refused naming what is wrong; an entry whose file
// is a link, or lies behind a linked folder outside the backup, is not written.
TEST(BackupManifest, RefusesNewerOrMalformedListsAndLinkedFiles) {
    QTemporaryDir dir;
    const QString top = dir.filePath("b");
    const std::string head = R"({"format": "orvo-phone-backup", "complete": true, )";
    std::vector<RestoreFile> files;
    std::string error;
    for (const auto& [body, said] : std::vector<std::pair<std::string, std::string>>{
             {R"("version": 2, "files": []})", "version 2"},
             {R"("version": 1, "files": {"a": 1}})", "\"files\" is not a list"},
             {R"("version": 1, "files": [{"folder": "java"}]})", "entry 1"}}) {
        WriteFile(top + "/manifest.json", head + body);
        EXPECT_FALSE(ReadRestoreList(top.toStdString(), files, error)) << body;
        EXPECT_NE(error.find(said), std::string::npos) << error;
    }

    WriteFile(dir.filePath("secret.txt"), "not from the phone");
    WriteFile(dir.filePath("outside/x.jpg"), "photo");
    WriteFile(top + "/ok.txt", "ok");
    QDir().mkpath(top + "/java");
    ASSERT_TRUE(QFile::link(dir.filePath("secret.txt"), top + "/java/secret.jar"));
    ASSERT_TRUE(QFile::link(dir.filePath("outside"), top + "/Images"));
    WriteFile(top + "/manifest.json", head + R"("version": 1, "files": [
        {"folder": "java", "name": "secret.jar", "file": "java/secret.jar", "size": 18,
         "sha256": "x"},
        {"folder": "Images/My Images", "name": "x.jpg", "file": "Images/x.jpg", "size": 5,
         "sha256": "x"},
        {"folder": "/", "name": "ok.txt", "file": "ok.txt", "size": 2,
         "sha256": "2689367b205c16ce32ed4200942b8b8b1e262dfc70d9bc9fbc77c49699a4f1df"}]})");
    ASSERT_TRUE(ReadRestoreList(top.toStdString(), files, error)) << error;
    ASSERT_EQ(files.size(), 3u);
    ASSERT_TRUE(files[0].problem && files[1].problem);
    EXPECT_EQ(files[0].problem->kind, MessageKind::Refused);
    const std::string first = WordsUtf8(*files[0].problem);
    EXPECT_NE(first.find("java/secret.jar"), std::string::npos) << first;
    EXPECT_EQ(files[1].problem->kind, MessageKind::Refused);
    const std::string second = WordsUtf8(*files[1].problem);
    EXPECT_NE(second.find("Images/x.jpg"), std::string::npos) << second;
    EXPECT_FALSE(files[2].problem.has_value());

    // Nor is the list itself written through a link.
    BackupManifest m(top.toStdString());
    ASSERT_TRUE(m.Load(error)) << error;
    QFile::remove(top + "/manifest.json");
    ASSERT_TRUE(QFile::link(dir.filePath("secret.txt"), top + "/manifest.json"));
    EXPECT_FALSE(m.Save(error));
    EXPECT_EQ(ReadFile(dir.filePath("secret.txt")), "not from the phone");
}
