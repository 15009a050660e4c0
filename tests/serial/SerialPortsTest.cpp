// Serial port discovery: which candidate devices are offered, in which order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "app/MessageTexts.h"
#include "serial/Comm32.h"
#include "serial/SerialPorts.h"
#include "tests/serial/PtyFixture.h"

using namespace orvo;

using namespace serial_test;

namespace {

// A device folder made of links to a real character device, plus names and
// files that are not serial ports.
class FakeDevFolder {
  public:
    FakeDevFolder() {
        char pattern[] = "/tmp/orvo-dev-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            path = pattern;
        }
    }
    ~FakeDevFolder() {
        if (!path.empty())
            std::filesystem::remove_all(path);  // links are removed, not followed
    }
    bool Device(const std::string& name) {
        made_.push_back(name);
        return ::symlink("/dev/null", (path + "/" + name).c_str()) == 0;
    }
    bool PlainFile(const std::string& name) {
        made_.push_back(name);
        std::ofstream(path + "/" + name) << "x";
        return true;
    }
    std::string path;

  private:
    std::vector<std::string> made_;
};

TEST(SerialPortsTest, CandidatesAreTheSerialFamiliesInAscendingOrder) {
    FakeDevFolder dev;
    ASSERT_FALSE(dev.path.empty());
    for (const char* name : {"ttyS10", "ttyS2", "ttyUSB255", "ttyUSB1", "ttyUSB0", "rfcomm0",
                             "ttyACM0", "ttyS0", "ttyUSB300", "ttyS",
                             // not serial families, or not a plain number after the name
                             "tty1", "console", "ttyUSBx", "ttyUSB1a", "ttyS-1", "ttyAMA0"}) {
        ASSERT_TRUE(dev.Device(name)) << name;
    }
    ASSERT_TRUE(dev.PlainFile("ttyUSB7"));  // a file of the right name is no device
    ASSERT_EQ(::mkdir((dev.path + "/ttyACM9").c_str(), 0700), 0);
    std::vector<std::string> names = SerialPortCandidates(dev.path);
    ::rmdir((dev.path + "/ttyACM9").c_str());
    std::vector<std::string> expected;
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB255", "ttyUSB300", "ttyACM0", "rfcomm0",
                             "ttyS0", "ttyS2", "ttyS10"}) {
        expected.push_back(dev.path + "/" + name);
    }
    EXPECT_EQ(names, expected);
    // A trailing slash on the folder makes no double one in the paths.
    EXPECT_EQ(SerialPortCandidates(dev.path + "/"), expected);
    EXPECT_EQ(SerialPortCandidates(dev.path + "/missing"), std::vector<std::string>{});
}

TEST(SerialPortsTest, StableNamesFollowTheKernelNameTheyLinkTo) {
    FakeDevFolder dev;
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) ASSERT_TRUE(dev.Device(name));
    const std::string byId = dev.path + "/serial/by-id";
    std::filesystem::create_directories(byId);
    // As the system makes them: relative links; an absolute one counts as well.
    for (const auto& [target, name] : std::vector<std::pair<std::string, std::string>>{
             {"../../ttyUSB1", "usb-Maker_Cable_B2-if00-port0"},
             {"../../ttyUSB1", "usb-Maker_Cable_A1-if00-port0"},
             {dev.path + "/ttyACM0", "usb-Phone_Modem_77-if01"},
             {"../../ttyUSB9", "usb-Other_Adapter-if00-port0"}}) {
        ASSERT_EQ(::symlink(target.c_str(), (byId + "/" + name).c_str()), 0) << name;
    }
    const std::vector<std::string> ports = {dev.path + "/ttyUSB0", dev.path + "/ttyUSB1",
                                            dev.path + "/ttyACM0"};
    // Only the ports given (found free) get their names, each right after it.
    EXPECT_EQ(WithStableNames(ports, dev.path),
              (std::vector<std::string>{dev.path + "/ttyUSB0", dev.path + "/ttyUSB1",
                                        byId + "/usb-Maker_Cable_A1-if00-port0",
                                        byId + "/usb-Maker_Cable_B2-if00-port0",
                                        dev.path + "/ttyACM0", byId + "/usb-Phone_Modem_77-if01"}));
    EXPECT_EQ(WithStableNames(ports, dev.path + "/missing"), ports);
}

TEST(SerialPortsTest, ListingProbesOnlyTheDevicesFound) {
    // The fake folder's devices are /dev/null: found, but not terminals.
    FakeDevFolder dev;
    ASSERT_TRUE(dev.Device("ttyUSB0"));
    EXPECT_EQ(SerialPortCandidates(dev.path).size(), 1u);
    EXPECT_EQ(ListSerialPorts(dev.path), std::vector<std::string>{});
}

TEST(SerialPortsTest, OpenFailureReasonsNameThePortAndWhatToDo) {
    const std::string port = "/dev/ttyUSB0";
    const std::string access = WordsUtf8(PortOpenFailureReason(port, EACCES));
    EXPECT_EQ(access,
              "Нет доступа к порту /dev/ttyUSB0: добавьте учётную запись в группу dialout и "
              "войдите в систему заново (см. docs/serial-access.md)");
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, EPERM)), access);
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, EBUSY)),
              "Порт /dev/ttyUSB0 занят другой программой: закройте её и нажмите \"Старт\"");
    const std::string gone = WordsUtf8(PortOpenFailureReason(port, ENOENT));
    EXPECT_EQ(gone,
              "Порт /dev/ttyUSB0 не найден: устройство отключено или пропало. Проверьте кабель "
              "и выберите порт снова");
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, ENODEV)), gone);
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, ENXIO)), gone);
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, ENOTTY)),
              "/dev/ttyUSB0 не последовательный порт: выберите другой порт");
    // Any other reason is given in the system's words; no reason, no text.
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, EIO)), "Порт /dev/ttyUSB0: Input/output error");
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason(port, 0)), "");
}

TEST(SerialPortsTest, ProbeKeepsFreePortsInOrderAndSkipsBusyMissingAndNonTerminals) {
    Pty a, b;
    ASSERT_TRUE(a.Ok() && b.Ok());
    const std::vector<std::string> candidates = {b.Path(), "/dev/nonexistent-serial-port",
                                                 "/dev/null", a.Path()};
    EXPECT_EQ(ProbeSerialPorts(candidates), (std::vector<std::string>{b.Path(), a.Path()}));

    TComm32 holder;  // another program has port b open
    holder.CommPort = b.Path();
    ASSERT_TRUE(holder.Open());
    EXPECT_EQ(ProbeSerialPorts(candidates), std::vector<std::string>{a.Path()});
    // The probe leaves the holder's port working.
    ASSERT_TRUE(holder.Write("AT\r", 3));
    EXPECT_EQ(b.Receive(3), "AT\r");

    holder.Close();
    EXPECT_EQ(ProbeSerialPorts(candidates), (std::vector<std::string>{b.Path(), a.Path()}));
}

TEST(SerialPortsTest, ListedPortsAreFreeDevicesFromTheFamilies) {
    const std::vector<std::string> all = SerialPortCandidates();
    for (const std::string& name : ListSerialPorts()) {
        EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << name;
    }
}

}  // namespace
