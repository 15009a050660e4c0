// Whole files saved safely: on a full disk the old file stays as it was, the
// failure is told, and nothing half-written is left beside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>

#include "app/WholeFile.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/SmallDisk.h"

using namespace orvo;

namespace {

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

TEST(WholeFile, AFullDiskKeepsTheOldFileAndSaysSo) {
    SmallDisk disk(64 * 1024);
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString top = QString::fromStdString(disk.Path());
    const QString list = top + "/list.json";
    QString error;
    ASSERT_TRUE(SaveWholeFile(list, "the old list", error)) << error.toStdString();
    const QString conf = top + "/orvo-fm.conf";
    WriteFile(conf, "[port]\npath=/dev/ttyUSB0\nspeed=115200\n[other]\nkept=yes\n");

    disk.Fill();
    EXPECT_FALSE(SaveWholeFile(list, QByteArray(20000, 'n'), error));
    EXPECT_TRUE(error.contains("list.json")) << error.toStdString();
    EXPECT_FALSE(SaveSettings(conf, {{"port/path", "/dev/ttyACM0"}}, error));
    EXPECT_EQ(ReadFile(list), "the old list");
    EXPECT_EQ(QSettings(conf, QSettings::IniFormat).value("port/path").toString(), "/dev/ttyUSB0");
    EXPECT_EQ(Entries(top), (QStringList{".filler", "list.json", "orvo-fm.conf"}));

    // With room again both are written, and the settings keep the keys not named.
    disk.Free();
    ASSERT_TRUE(SaveWholeFile(list, "the new list", error)) << error.toStdString();
    EXPECT_EQ(ReadFile(list), "the new list");
    const QString odd = "/dev/serial/by-id/usb-Maker \"X\"; 1,2 \\ Ж";
    ASSERT_TRUE(SaveSettings(conf, {{"port/path", odd}, {"port/speed", "230400"}}, error))
        << error.toStdString();
    const QSettings back(conf, QSettings::IniFormat);
    EXPECT_EQ(back.value("port/path").toString(), odd);
    EXPECT_EQ(back.value("port/speed").toInt(), 230400);
    EXPECT_EQ(back.value("other/kept").toString(), "yes");
    EXPECT_EQ(Entries(top), (QStringList{"list.json", "orvo-fm.conf"}));
}
