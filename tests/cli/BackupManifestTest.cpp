// The backup's list on the disk: what counts as complete for a resumed backup, and
// what a restore refuses to write from it.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/BackupManifest.h"
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

    BackupManifest again(top);
    ASSERT_TRUE(again.Load(error));
    ASSERT_EQ(again.Entries().size(), 1u);
    EXPECT_EQ(again.Entries()[0].file.crc, 0x1234abcdu);
    EXPECT_EQ(again.Entries()[0].sha256,
              "0eb3e36bfb24dcd9bb1d1bece1531216b59539a8fde17ee80224af0653c92aa3");
    WriteFile(QString::fromStdString(top + "/java/a.jar"), "archivE");  // same size, other bytes
    EXPECT_FALSE(again.HasComplete(a));
    again.Finish(true);
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
    EXPECT_TRUE(files[0].problem.empty()) << files[0].problem;
    EXPECT_EQ(files[1].problemKind, MessageKind::Checksum);
    EXPECT_FALSE(files[1].problem.empty());
    EXPECT_EQ(files[2].problemKind, MessageKind::Refused);
    EXPECT_FALSE(files[3].problem.empty());
}
