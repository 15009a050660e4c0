// The speed and time left of a transfer, their texts, and the descriptions of USB
// serial ports read from a sysfs tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/PortDescriptions.h"
#include "app/TransferMeter.h"

using namespace orvo;

namespace {

TEST(TransferMeter, SpeedAndTimeLeftFollowTheCountsAndTheClock) {
    TransferMeter m;
    m.Update(1000, {"a.bin", 0, 10000, 0, 30000});
    EXPECT_EQ(m.File().BytesPerSecond(), 0.0);
    EXPECT_EQ(m.File().SecondsLeft(10000), -1);  // unknown before any byte
    m.Update(3000, {"a.bin", 4000, 10000, 4000, 30000});
    EXPECT_DOUBLE_EQ(m.File().BytesPerSecond(), 2000.0);
    EXPECT_EQ(m.File().SecondsLeft(10000), 3);
    EXPECT_EQ(m.Batch().SecondsLeft(30000), 13);
    // The next file starts its own meter; the batch's goes on.
    m.Update(4000, {"b.bin", 0, 20000, 10000, 30000});
    m.Update(5000, {"b.bin", 1000, 20000, 11000, 30000});
    EXPECT_DOUBLE_EQ(m.File().BytesPerSecond(), 1000.0);
    EXPECT_DOUBLE_EQ(m.Batch().BytesPerSecond(), 11000.0 / 4);
    // A quiet second lowers the speeds.
    m.Tick(6000);
    EXPECT_DOUBLE_EQ(m.File().BytesPerSecond(), 500.0);
    EXPECT_EQ(m.File().SecondsLeft(20000), 38);
    // The same name once more from nothing is a new file.
    m.Update(7000, {"b.bin", 0, 20000, 21000, 30000});
    EXPECT_EQ(m.File().BytesPerSecond(), 0.0);
}

TEST(TransferMeter, Texts) {
    EXPECT_EQ(FormatBytes(0), "0 Б");
    EXPECT_EQ(FormatBytes(1023), "1023 Б");
    EXPECT_EQ(FormatBytes(1536), "1,5 КБ");
    EXPECT_EQ(FormatBytes(5 * 1024 * 1024 + 1024 * 1024 / 10), "5,1 МБ");
    EXPECT_EQ(FormatBytes(-5), "0 Б");
    EXPECT_EQ(FormatDuration(7), "0:07");
    EXPECT_EQ(FormatDuration(754), "12:34");
    EXPECT_EQ(FormatDuration(3723), "1:02:03");
    RateMeter r;
    r.Start(0);
    EXPECT_EQ(ProgressLine(r, 0, 2048), "0 Б из 2,0 КБ");
    r.Update(2000, 1024);
    EXPECT_EQ(ProgressLine(r, 1024, 2048), "1,0 КБ из 2,0 КБ, 512 Б/с, осталось 0:02");
    r.Update(4000, 2048);
    EXPECT_EQ(ProgressLine(r, 2048, 2048), "2,0 КБ из 2,0 КБ, 512 Б/с");
}

TEST(PortDescriptions, UsbMakerAndModelFromSysfs) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("orvo-sys-" + std::to_string(::getpid()));
    fs::remove_all(root);
    // A usb-serial adapter: tty -> interface/ttyUSB0 -> interface -> device with ids.
    const fs::path usb = root / "devices/pci0000:00/usb1/1-1";
    const fs::path port = usb / "1-1:1.0/ttyUSB0";
    fs::create_directories(port);
    auto write = [](const fs::path& p, const std::string& text) { std::ofstream(p) << text; };
    write(usb / "idVendor", "067b\n");
    write(usb / "idProduct", "2303\n");
    write(usb / "manufacturer", "Prolific Technology Inc.\n");
    write(usb / "product", "USB-Serial Controller\n");
    fs::create_directories(root / "class/tty/ttyUSB0");
    fs::create_directory_symlink(port, root / "class/tty/ttyUSB0/device");
    // A built-in port without a USB device above it.
    fs::create_directories(root / "devices/platform/serial8250/tty/ttyS0");
    fs::create_directories(root / "class/tty/ttyS0");
    fs::create_directory_symlink(root / "devices/platform/serial8250",
                                 root / "class/tty/ttyS0/device");

    EXPECT_EQ(PortDescription("/dev/ttyUSB0", root.string()),
              "Prolific Technology Inc. USB-Serial Controller (067b:2303)");
    // The adapter's stable name is a link to its device node: the same description.
    fs::create_directories(root / "dev/serial/by-id");
    std::ofstream(root / "dev/ttyUSB0");
    fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-Prolific_Cable-if00-port0");
    EXPECT_EQ(PortDescription((root / "dev/serial/by-id/usb-Prolific_Cable-if00-port0").string(),
                              root.string()),
              "Prolific Technology Inc. USB-Serial Controller (067b:2303)");
    EXPECT_EQ(PortDescription("/dev/ttyS0", root.string()), "");
    EXPECT_EQ(PortDescription("/dev/pts/3", root.string()), "");
    fs::remove_all(root);
}

}  // namespace
