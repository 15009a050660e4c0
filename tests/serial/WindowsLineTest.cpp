// The serial component's Windows line, through the same component the program
// uses, on two COM ports joined back to back: ORVO_TEST_PORT_A is the program's
// port, ORVO_TEST_PORT_B the phone's end (scripts/test-windows.sh maps them to a
// pair of pseudo-terminals under wine). Without them the tests are skipped.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/MessageTexts.h"
#include "serial/Comm32.h"
#include "serial/SerialPorts.h"
#ifdef _WIN32
#include "serial/WinText.h"
#endif

using namespace orvo;

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct End {
    TComm32 comm;
    std::vector<std::string> blocks;
    int hangups = 0;
    bool badTerminator = false;

    explicit End(const std::string& port) {
        comm.CommPort = port;
        comm.BaudRate = 115200;
        comm.Bits = 8;
        comm.OnReceiveData = [this](TComm32*, const uint8_t* buffer, uint16_t length) {
            if (buffer[length] != 0)
                badTerminator = true;
            blocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
        };
        comm.OnRequestHangup = [this](TComm32*) { ++hangups; };
    }
    std::string All() const {
        std::string s;
        for (const auto& b : blocks) s += b;
        return s;
    }
    bool Send(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 60000) {
            const std::size_t n = std::min<std::size_t>(60000, bytes.size() - at);
            if (!comm.Write(bytes.data() + at, static_cast<uint16_t>(n)))
                return false;
        }
        return true;
    }
};

std::string Pattern(std::size_t size, uint32_t seed) {
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((x >> 16) ^ static_cast<uint32_t>(i));
    }
    return s;
}

int OpenError(TComm32& c, std::string& what) {
    try {
        c.Open();
    } catch (const ECommsError& e) {
        what = e.what();
        return e.Error();
    }
    return -1;
}

class WindowsLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* a = std::getenv("ORVO_TEST_PORT_A");
        const char* b = std::getenv("ORVO_TEST_PORT_B");
        if (!a || !b || !*a || !*b)
            GTEST_SKIP() << "ORVO_TEST_PORT_A and ORVO_TEST_PORT_B name no ports";
        portA = a;
        portB = b;
    }
    std::string portA, portB;
};

TEST_F(WindowsLineTest, EveryByteValueCrossesBothWaysUnchangedAndInOrder) {
    End program(portA), phone(portB);
    ASSERT_TRUE(program.comm.Open());
    ASSERT_TRUE(phone.comm.Open());

    std::string every;
    for (int r = 0; r < 8; ++r)
        for (int v = 0; v < 256; ++v) every.push_back(static_cast<char>(v));
    ASSERT_TRUE(program.Send(every));
    ASSERT_TRUE(WaitUntil([&] { return phone.All().size() >= every.size(); }));
    EXPECT_TRUE(phone.All() == every);

    // A stream larger than the driver's queues, written while the reader runs:
    // nothing lost, doubled or reordered, no block over 2048 bytes.
    const std::string stream = Pattern(100000, 7);
    ASSERT_TRUE(phone.Send(stream));
    ASSERT_TRUE(WaitUntil([&] { return program.All().size() >= stream.size(); }, 30000));
    EXPECT_TRUE(program.All() == stream);
    for (const auto& b : program.blocks) EXPECT_LE(b.size(), 2048u);
    EXPECT_FALSE(program.badTerminator || phone.badTerminator);
    EXPECT_EQ(program.hangups + phone.hangups, 0);

    // A short reply after a quiet line arrives as one block of its own.
    program.blocks.clear();
    ASSERT_TRUE(phone.Send("\r\nOK\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return !program.blocks.empty(); }));
    EXPECT_EQ(program.blocks, std::vector<std::string>{"\r\nOK\r\n"});
}

TEST_F(WindowsLineTest, OpenFailuresCarryTheirReasonAndThePortStaysUsable) {
    End program(portA), phone(portB);
    ASSERT_TRUE(program.comm.Open());
    std::string what;

    TComm32 second;  // another program holds the port
    second.CommPort = portA;
#ifdef _WIN32
    // Windows refuses a second opening of a COM port with "access denied"; wine
    // opens it again. The reason for that answer is checked on its own.
    EXPECT_EQ(serial_system::OpenFailureReason(5 /* ERROR_ACCESS_DENIED */), EBUSY);
    EXPECT_EQ(serial_system::OpenFailureReason(2 /* ERROR_FILE_NOT_FOUND */), ENOENT);
    EXPECT_EQ(serial_system::OpenFailureReason(32 /* ERROR_SHARING_VIOLATION */), EBUSY);
    const bool exclusive = !serial_system::RunningUnderWine();
#else
    const bool exclusive = true;
#endif
    if (exclusive) {
        EXPECT_EQ(OpenError(second, what), EBUSY);
        EXPECT_EQ(what, "Ошибка открытия порта");
        EXPECT_FALSE(second.IsOpen());
    }

    TComm32 missing;
    missing.CommPort = "COM250";
    EXPECT_EQ(OpenError(missing, what), ENOENT);
    EXPECT_EQ(what, "Ошибка открытия порта");

    TComm32 notSerial;  // a character device, but no serial port
    notSerial.CommPort = "NUL";
    EXPECT_EQ(OpenError(notSerial, what), ENOTTY);
    EXPECT_EQ(what, "Неверный указатель. ");

    // The holder was not disturbed; after closing, the port opens again at once.
    ASSERT_TRUE(phone.comm.Open());
    ASSERT_TRUE(program.Send("AT\r"));
    ASSERT_TRUE(WaitUntil([&] { return phone.All() == "AT\r"; }));
    program.comm.Close();
    EXPECT_FALSE(program.comm.Write("x", 1));
    second.Close();
    ASSERT_TRUE(second.Open());
    ASSERT_TRUE(second.Write("ATZ\r", 4));
    ASSERT_TRUE(WaitUntil([&] { return phone.All() == "AT\rATZ\r"; }));
}

TEST_F(WindowsLineTest, PortSearchListsTheMappedPortsThatAreFree) {
    const std::vector<std::string> candidates = SerialPortCandidates();
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), portA), candidates.end());
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), portB), candidates.end());
    std::vector<std::string> free = ListSerialPorts();
    EXPECT_NE(std::find(free.begin(), free.end(), portA), free.end());

    End holder(portA);
    ASSERT_TRUE(holder.comm.Open());
    free = ListSerialPorts();
#ifdef _WIN32
    if (!serial_system::RunningUnderWine())  // wine lets the probe open a held port
#endif
        EXPECT_EQ(std::find(free.begin(), free.end(), portA), free.end());
    EXPECT_NE(std::find(free.begin(), free.end(), portB), free.end());

    EXPECT_EQ(WordsUtf8(PortOpenFailureReason("COM5", EBUSY)),
              "Порт COM5 занят другой программой: закройте её и нажмите \"Старт\"");
    EXPECT_EQ(WordsUtf8(PortOpenFailureReason("COM5", ENOENT)),
              "Порт COM5 не найден: устройство отключено или пропало. Проверьте кабель и "
              "выберите порт снова");
    EXPECT_EQ(
        WordsUtf8(PortOpenFailureReason("COM5", EACCES)).rfind("Нет доступа к порту COM5: ", 0),
        0u);
}

}  // namespace
