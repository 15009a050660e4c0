// Serial port discovery: which candidate devices are offered, in which order.
#include <gtest/gtest.h>

#include "serial/Comm32.h"
#include "serial/SerialPorts.h"
#include "tests/serial/PtyFixture.h"

using namespace serial_test;

namespace {

TEST(SerialPortsTest, CandidatesAreTheSerialFamiliesInAscendingOrder) {
    std::vector<std::string> names = SerialPortCandidates();
    ASSERT_EQ(names.size(), 4u * 256u);
    EXPECT_EQ(names[0], "/dev/ttyUSB0");
    EXPECT_EQ(names[1], "/dev/ttyUSB1");
    EXPECT_EQ(names[255], "/dev/ttyUSB255");
    EXPECT_EQ(names[256], "/dev/ttyACM0");
    EXPECT_EQ(names[512], "/dev/rfcomm0");
    EXPECT_EQ(names[768], "/dev/ttyS0");
    EXPECT_EQ(names.back(), "/dev/ttyS255");
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
