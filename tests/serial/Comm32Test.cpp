// The serial port component over real pseudo-terminals.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <termios.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "serial/Comm32.h"
#include "serial/Misc.h"
#include "tests/serial/PtyFixture.h"

using namespace orvo;

using namespace serial_test;
using Clock = std::chrono::steady_clock;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string TempPath(const char* name) {
    return "/tmp/orvo-serial-test-" + std::to_string(::getpid()) + "-" + name;
}

std::string ErrorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const ECommsError& e) {
        return e.what();
    }
    return "(nothing raised)";
}

class Comm32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        comm.CommPort = pty.Path();
        comm.BaudRate = 115200;
        comm.Bits = 8;
        comm.StopBits = 1;
        owner.Bind(comm);
    }
    void TearDown() override { SetCommLogName(std::string()); }

    Pty pty;
    TComm32 comm;
    Owner owner;
};

// ---------------------------------------------------------------------------
// Opening and closing

TEST_F(Comm32Test, WriteBeforeOpenFailsAndSendsNothing) {
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(comm.Write("ATZ\r", 4));
    ASSERT_TRUE(comm.Open());
    EXPECT_TRUE(pty.SilentFor(200));
}

TEST_F(Comm32Test, WriteRightAfterOpenIsSent) {
    ASSERT_TRUE(comm.Open());
    EXPECT_TRUE(comm.Write("ATZ\r", 4));
    EXPECT_EQ(pty.Receive(4), "ATZ\r");
}

TEST_F(Comm32Test, OpenTwiceRaisesAndKeepsTheFirstOpening) {
    ASSERT_TRUE(comm.Open());
    EXPECT_EQ(ErrorText([&] { comm.Open(); }), "Порт уже открыт");
    EXPECT_TRUE(comm.IsOpen());
    ASSERT_TRUE(comm.Write("AT\r", 3));
    EXPECT_EQ(pty.Receive(3), "AT\r");
    ASSERT_TRUE(pty.Send("OK\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return owner.All() == "OK\r\n"; }));
}

TEST_F(Comm32Test, CloseIsIdempotentAndWriteFailsAfterIt) {
    comm.Close();  // never opened
    ASSERT_TRUE(comm.Open());
    comm.Close();
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    EXPECT_FALSE(comm.Write("AT\r", 3));
    EXPECT_TRUE(pty.SilentFor(100));
}

TEST_F(Comm32Test, ReopensWithNewSettingsRawEightNOne) {
    comm.StopBits = 2;  // carried only: the line keeps one stop bit
    ASSERT_TRUE(comm.Open());
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (CSTOPB | PARENB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    comm.Close();
    comm.BaudRate = 230400;
    ASSERT_TRUE(comm.Open());
    ASSERT_EQ(::tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B230400));
    ASSERT_TRUE(comm.Write("AT\r", 3));
    EXPECT_EQ(pty.Receive(3), "AT\r");
    ASSERT_TRUE(pty.Send("OK"));
    EXPECT_TRUE(WaitUntil([&] { return owner.All() == "OK"; }));
}

TEST_F(Comm32Test, OpenFailuresRaiseTheirTexts) {
    TComm32 other;
    other.CommPort = "/dev/nonexistent-serial-port";
    EXPECT_EQ(ErrorText([&] { other.Open(); }), "Ошибка открытия порта");
    EXPECT_FALSE(other.IsOpen());

    other.CommPort = "/dev/null";  // a character device, but not a terminal
    EXPECT_EQ(ErrorText([&] { other.Open(); }), "Неверный указатель. ");
    EXPECT_FALSE(other.IsOpen());

    std::string file = TempPath("plain-file");
    std::ofstream(file) << "x";
    other.CommPort = file;
    EXPECT_EQ(ErrorText([&] { other.Open(); }), "Неверный указатель. ");
    EXPECT_FALSE(other.IsOpen());
    std::remove(file.c_str());
}

TEST_F(Comm32Test, OpenFailuresCarryTheSystemReason) {
    auto errorOf = [](TComm32& c) {
        try {
            c.Open();
        } catch (const ECommsError& e) {
            return e.Error();
        }
        return -1;
    };
    // Busy: another component holds the port.
    ASSERT_TRUE(comm.Open());
    TComm32 other;
    other.CommPort = pty.Path();
    EXPECT_EQ(errorOf(other), EBUSY);
    comm.Close();

    // Gone: the far side of a pseudo-terminal has closed, its device node vanished.
    std::string vanished;
    {
        Pty gone;
        ASSERT_TRUE(gone.Ok());
        vanished = gone.Path();
    }
    other.CommPort = vanished;
    EXPECT_EQ(errorOf(other), ENOENT);

    other.CommPort = "/dev/null";
    EXPECT_EQ(errorOf(other), ENOTTY);
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(Comm32Test, SecondOpenerOfTheSamePortFails) {
    ASSERT_TRUE(comm.Open());
    TComm32 second;
    second.CommPort = pty.Path();
    EXPECT_EQ(ErrorText([&] { second.Open(); }), "Ошибка открытия порта");
    EXPECT_FALSE(second.IsOpen());
    // The first opening is untouched, and the port is free again once it closes.
    ASSERT_TRUE(comm.Write("AT\r", 3));
    EXPECT_EQ(pty.Receive(3), "AT\r");
    comm.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(Comm32Test, DestroyingAnOpenComponentReleasesThePort) {
    {
        TComm32 temporary;
        temporary.CommPort = pty.Path();
        ASSERT_TRUE(temporary.Open());
    }
    EXPECT_TRUE(comm.Open());
}

// ---------------------------------------------------------------------------
// Receiving

TEST_F(Comm32Test, BurstArrivesInBlocksOf2048_2048_904) {
    // The burst is in the driver before the reader starts, so the kernel hands it
    // over without gaps and only the 2048-byte limit and the final idle time can
    // end a block (a burst written while the reader runs may be cut wherever the
    // pseudo-terminal happens to hand over its pieces).
    std::string burst = Pattern(5000, 1);
    ASSERT_TRUE(pty.Send(burst));
    ASSERT_TRUE(pty.InputPending(kWaitMs));
    ASSERT_TRUE(comm.Open());
    ASSERT_TRUE(WaitUntil([&] { return owner.Total() >= burst.size(); }));
    ASSERT_EQ(owner.blocks.size(), 3u);
    EXPECT_EQ(owner.blocks[0].size(), 2048u);
    EXPECT_EQ(owner.blocks[1].size(), 2048u);
    EXPECT_EQ(owner.blocks[2].size(), 904u);
    EXPECT_EQ(owner.All(), burst);
    EXPECT_FALSE(owner.badTerminator);
}

TEST_F(Comm32Test, IdleLineEndsABlock) {
    ASSERT_TRUE(comm.Open());
    ASSERT_TRUE(pty.Send("first"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(pty.Send("second"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 2; }));
    EXPECT_EQ(owner.blocks[0], "first");
    EXPECT_EQ(owner.blocks[1], "second");
}

// While short line replies are awaited a complete line goes to the owner at once; a
// line without its end, and every byte under the quiet-gap framing or with the
// quiet gap forced, waits for the gap (a long one here, so that "at once" shows).
TEST_F(Comm32Test, LineFramingHandsCompleteLinesOverAtOnce) {
    comm.ReadInterval = 3000;
    ASSERT_TRUE(comm.Open());
    comm.SetReplyFraming(ReplyFraming::Lines);
    auto sent = Clock::now();
    ASSERT_TRUE(pty.Send("##>\r\nO"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 1; }));
    EXPECT_LT(Clock::now() - sent, std::chrono::milliseconds(1500));
    EXPECT_EQ(owner.blocks[0], "##>\r\n");
    ASSERT_TRUE(pty.Send("K\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 2; }));
    EXPECT_EQ(owner.blocks[1], "OK\r\n");

    comm.SetReplyFraming(ReplyFraming::QuietGap);
    sent = Clock::now();
    ASSERT_TRUE(pty.Send("OK\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 3; }));
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(2900));
    EXPECT_EQ(owner.blocks[2], "OK\r\n");
    comm.Close();

    comm.QuietGapOnly = true;
    ASSERT_TRUE(comm.Open());
    comm.SetReplyFraming(ReplyFraming::Lines);
    sent = Clock::now();
    ASSERT_TRUE(pty.Send("##>\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return owner.blocks.size() == 4; }));
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(2900));
}

TEST_F(Comm32Test, SustainedStreamLosesDuplicatesAndReordersNothing) {
    ASSERT_TRUE(comm.Open());
    const std::string stream = Pattern(600 * 1024, 2);
    std::thread phone([&] {
        // Pieces of uneven size, as a phone sends replies and data lines.
        std::size_t pos = 0, piece = 1;
        while (pos < stream.size()) {
            std::size_t n = std::min(stream.size() - pos, piece);
            if (!pty.Send(stream.substr(pos, n))) {
                return;
            }
            pos += n;
            piece = piece * 7 % 5003 + 1;
        }
    });
    bool all = WaitUntil([&] { return owner.Total() >= stream.size(); }, 60000);
    phone.join();
    ASSERT_TRUE(all) << owner.Total();
    EXPECT_EQ(owner.Total(), stream.size());
    EXPECT_TRUE(owner.All() == stream);
    for (const auto& b : owner.blocks) {
        ASSERT_GE(b.size(), 1u);
        ASSERT_LE(b.size(), 2048u);
    }
    EXPECT_FALSE(owner.badTerminator);
}

TEST_F(Comm32Test, EveryByteValuePassesUnchangedBothWays) {
    ASSERT_TRUE(comm.Open());
    const std::string bytes = EveryByteValue(8);  // CR, LF, NUL, XON/XOFF, ^C, ^D, ...
    for (std::size_t pos = 0; pos < bytes.size(); pos += 512) {
        ASSERT_TRUE(comm.Write(bytes.data() + pos, 512));
    }
    EXPECT_TRUE(pty.Receive(bytes.size()) == bytes);

    ASSERT_TRUE(pty.Send(bytes));
    ASSERT_TRUE(WaitUntil([&] { return owner.Total() >= bytes.size(); }));
    EXPECT_TRUE(owner.All() == bytes);
    EXPECT_FALSE(owner.badTerminator);
    EXPECT_TRUE(owner.lineErrors.empty());
}

TEST_F(Comm32Test, DataBeginningCommEventIsDelivered) {
    ASSERT_TRUE(comm.Open());
    const std::string text = "Comm Event: CE_FRAME, EvtMask = 8\r\n";
    ASSERT_TRUE(pty.Send(text));
    ASSERT_TRUE(WaitUntil([&] { return owner.Total() >= text.size(); }));
    EXPECT_EQ(owner.All(), text);
    EXPECT_TRUE(owner.lineErrors.empty());
}

TEST_F(Comm32Test, BlockQueuedBeforeCloseNeverReachesTheOwner) {
    std::string log = TempPath("stale.log");
    comm.SetCommsLogFileName(log);
    ASSERT_TRUE(comm.Open());
    ASSERT_TRUE(pty.Send("late reply"));
    // Wait, without running the event loop, until the reader has queued the block.
    auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
    while (ReadFile(log).find("Got something from Comm port!!!") == std::string::npos &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_NE(ReadFile(log).find("Got something from Comm port!!!"), std::string::npos);
    comm.Close();
    DrainEvents(&comm);
    EXPECT_TRUE(owner.blocks.empty());

    // A new opening delivers again.
    ASSERT_TRUE(comm.Open());
    ASSERT_TRUE(pty.Send("fresh"));
    ASSERT_TRUE(WaitUntil([&] { return owner.All() == "fresh"; }));
    comm.Close();
    std::remove(log.c_str());
}

// ---------------------------------------------------------------------------
// Sending

TEST_F(Comm32Test, WritesGoOutWholeInCallOrder) {
    ASSERT_TRUE(comm.Open());
    const std::string first = Pattern(60000, 3), second = Pattern(60000, 4);
    const std::string third = "AT+FSDL\r";
    ASSERT_TRUE(comm.Write(first.data(), static_cast<uint16_t>(first.size())));
    ASSERT_TRUE(comm.Write(second.data(), static_cast<uint16_t>(second.size())));
    ASSERT_TRUE(comm.Write(third.data(), static_cast<uint16_t>(third.size())));
    ASSERT_TRUE(comm.Write("", 0));  // an empty request is harmless
    std::string got = pty.Receive(first.size() + second.size() + third.size());
    EXPECT_TRUE(got == first + second + third);
    EXPECT_TRUE(pty.SilentFor(50));
}

TEST_F(Comm32Test, CallerMayReuseItsBufferAtOnce) {
    ASSERT_TRUE(comm.Open());
    char buffer[8] = "AT+ONE\r";
    ASSERT_TRUE(comm.Write(buffer, 7));
    std::snprintf(buffer, sizeof buffer, "XXXXXXX");
    EXPECT_EQ(pty.Receive(7), "AT+ONE\r");
}

// ---------------------------------------------------------------------------
// Failures of the line

TEST_F(Comm32Test, FarSideGoneEndsReaderWithOneHangupRequest) {
    ASSERT_TRUE(comm.Open());
    ASSERT_TRUE(pty.Send("last words"));
    ASSERT_TRUE(WaitUntil([&] { return owner.All() == "last words"; }));
    pty.CloseMaster();  // the cable is pulled
    ASSERT_TRUE(WaitUntil([&] { return owner.hangups >= 1; }));
    EXPECT_TRUE(comm.IsOpen());
    comm.Write("AT\r", 3);  // may or may not be queued; must not crash
    auto start = Clock::now();
    comm.Close();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_FALSE(comm.IsOpen());
    DrainEvents(&comm);
    EXPECT_LE(owner.hangups, 2);  // at most one from each thread
}

TEST_F(Comm32Test, HangupReachesTheOwnerOncePerOpening) {
    ASSERT_TRUE(comm.Open());
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return owner.hangups >= 1; }));
    // The writer fails on the dead line too; the owner has heard it already.
    comm.Write("AT\r", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DrainEvents(&comm);
    EXPECT_EQ(owner.hangups, 1);
    comm.Close();
    DrainEvents(&comm);
    EXPECT_EQ(owner.hangups, 1);
}

TEST_F(Comm32Test, HandlerMayCloseAndReopenTheComponent) {
    Pty next;
    ASSERT_TRUE(next.Ok());
    int calls = 0;
    bool openInHandler = true;
    Clock::duration closeTook{};
    comm.OnRequestHangup = [&](TComm32* sender) {
        ++calls;
        auto start = Clock::now();
        sender->Close();
        closeTook = Clock::now() - start;
        openInHandler = sender->IsOpen();
        sender->CommPort = next.Path();
        sender->Open();  // the next opening, from inside the delivery
    };
    ASSERT_TRUE(comm.Open());
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return calls >= 1; }));
    EXPECT_LT(closeTook, std::chrono::milliseconds(1000));
    EXPECT_FALSE(openInHandler);
    // Nothing of the old opening reaches the owner: no second hang-up, and the new
    // opening carries data both ways.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DrainEvents(&comm);
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(comm.IsOpen());
    ASSERT_TRUE(comm.Write("AT\r", 3));
    EXPECT_EQ(next.Receive(3), "AT\r");
    ASSERT_TRUE(next.Send("OK"));
    EXPECT_TRUE(WaitUntil([&] { return owner.All() == "OK"; }));
    comm.Close();
}

TEST_F(Comm32Test, StalledLineEndsWriterAfterFiveSeconds) {
    std::string log = TempPath("stall.log");
    comm.SetCommsLogFileName(log);
    ASSERT_TRUE(comm.Open());
    // The phone reads nothing: once the pseudo-terminal's buffers are full the
    // writer waits for room, gives up after 5000 ms and asks to hang up.
    const std::string piece(60000, 'x');
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(comm.Write(piece.data(), static_cast<uint16_t>(piece.size())));
    }
    auto start = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return owner.hangups == 1; }, 30000));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(4500));
    EXPECT_TRUE(WaitUntil([&] { return !comm.Write("AT\r", 3); }));
    start = Clock::now();
    comm.Close();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("Unexpected Wait return value 258\n"), std::string::npos);
    EXPECT_NE(text.find("Failed to Post to Write thread. \n"), std::string::npos);
    std::remove(log.c_str());
}

// ---------------------------------------------------------------------------
// Diagnostic log

TEST_F(Comm32Test, LogIsRecreatedByOpenAndHoldsWholeLines) {
    std::string log = TempPath("events.log");
    std::ofstream(log) << "left over from an earlier run\n";
    comm.SetCommsLogFileName(log);
    EXPECT_EQ(comm.CommsLogFileName(), log);
    ASSERT_TRUE(comm.Open());
    EXPECT_EQ(ReadFile(log).find("left over"), std::string::npos);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(comm.Write("AT\r", 3));
        ASSERT_TRUE(pty.Send("OK\r\n"));
    }
    EXPECT_EQ(pty.Receive(60).size(), 60u);
    ASSERT_TRUE(WaitUntil([&] { return owner.Total() == 80; }));
    comm.Close();

    const std::set<std::string> known = {
        "Waiting for data from comm connection.",
        "Got something from Comm port!!!",
        "Writing to comm port",
        "Stopping the Comm",
        "Closing Read Thread ",
        "Closing Write Thread",
        "Read thread shutting down",
        "Write thread shutting down",
    };
    std::istringstream lines(ReadFile(log));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(known.count(line)) << "unexpected log line: " << line;
        ++count;
    }
    EXPECT_GE(count, 20 + 6);
    std::string text = ReadFile(log);
    EXPECT_LT(text.find("Stopping the Comm"), text.find("Closing Read Thread "));
    EXPECT_LT(text.find("Closing Read Thread "), text.find("Closing Write Thread"));

    // Lines logged while closed still reach the named file.
    EXPECT_FALSE(comm.Write("AT\r", 3));
    EXPECT_NE(ReadFile(log).find("Write thread not created\n"), std::string::npos);
    std::remove(log.c_str());
}

TEST_F(Comm32Test, LogThatCannotBeCreatedStopsOpenBeforeThePort) {
    comm.SetCommsLogFileName("/nonexistent-directory/comm.log");
    EXPECT_THROW(comm.Open(), std::ios_base::failure);
    EXPECT_FALSE(comm.IsOpen());
    comm.SetCommsLogFileName("");
    EXPECT_TRUE(comm.Open());
}

TEST(CommLogTest, SystemErrorTextsAndNoFileWithoutAName) {
    std::string log = TempPath("system.log");
    SetCommLogName("");
    CommLog("nowhere");
    LogSystemError(ENOENT, "nowhere: ");
    SetCommLogName(log);
    std::remove(log.c_str());
    LogSystemError(ENOENT, "Unable to open X: ");
    LogSystemError(EACCES);
    LogSystemError(ENOENT, std::string(2000, 'p').c_str());
    SetCommLogName("");
    std::istringstream lines(ReadFile(log));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "Unable to open X: GetLastError returned: \"No such file or directory\"");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "GetLastError returned: \"Permission denied\"");
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.size(), 1024u);
    EXPECT_FALSE(std::getline(lines, line));
    std::remove(log.c_str());

    EXPECT_EQ(FormatLastError(987654),
              "FormatMessage failed on error 987654 for the following reason: 22");
}

// ---------------------------------------------------------------------------
// Line-error reports

TEST(LineErrorTest, ReportTexts) {
    EXPECT_EQ(FormatLineErrorReport(0), "Comm Event: NULL Error, EvtMask = 0");
    EXPECT_EQ(FormatLineErrorReport(kLineFrame | kLineOverrun),
              "Comm Event: CE_FRAME and CE_OVERRUN, EvtMask = 10");
    EXPECT_EQ(FormatLineErrorReport(kLineParity), "Comm Event: CE_RXPARITY, EvtMask = 4");
    EXPECT_EQ(FormatLineErrorReport(kLineFrame | kLineOverrun | 0x0001),
              "Comm Event: CE_FRAME and CE_OVERRUN and EV_ERR Unknown EvtMask, EvtMask = 11");
    EXPECT_EQ(FormatLineErrorReport(kLineBreak),
              "Comm Event: EV_ERR Unknown EvtMask, EvtMask = 16");
}

TEST(LineErrorTest, FlagsComeFromRisingCounters) {
    LineErrorCounters before{5, 1, 0, 0};
    LineErrorCounters after = before;
    EXPECT_EQ(LineErrorFlags(before, after), 0u);
    after.frame = 6;
    after.overrun = 3;
    EXPECT_EQ(LineErrorFlags(before, after), kLineFrame | kLineOverrun);
    after = before;
    after.parity = 1;
    after.brk = 1;
    EXPECT_EQ(LineErrorFlags(before, after), kLineParity | kLineBreak);
}

// ---------------------------------------------------------------------------
// Cost of an idle port

TEST_F(Comm32Test, IdleOpenPortCostsNoProcessorTime) {
    ASSERT_TRUE(comm.Open());
    auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000L + u.ru_utime.tv_usec +
               u.ru_stime.tv_usec;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the threads settle
    long before = cpu();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long used = cpu() - before;
    std::printf("[ idle CPU ] %ld us over 2 s with the port open\n", used);
    RecordProperty("IdleCpuMicroseconds", static_cast<int>(used));
    EXPECT_LT(used, 50000);
}

}  // namespace
