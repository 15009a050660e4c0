// The phone emulator: command replies, listing format, read and write handshakes,
// fault injection, and the pseudo-terminal program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/emulator/PhoneEmulator.h"

namespace {

uint32_t ZCrc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

std::string WriteCommand(const std::string& name, const std::string& data, uint32_t crc) {
    return "AT+FSFW=-1,\"" + name + "\"," + std::to_string(data.size() % 512) + ",\" \"," +
           std::to_string(data.size()) + "," + std::to_string(crc) + "\r\n";
}

std::string WriteCommand(const std::string& name, const std::string& data) {
    return WriteCommand(name, data, ZCrc(data));
}

std::string Pattern(std::size_t n, int seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 3)) & 0xFF);
    }
    return s;
}

class EmulatorTest : public ::testing::Test {
  protected:
    EmulatorTest() {
        phone.Output = [this](const std::string& chunk) { chunks.push_back(chunk); };
    }
    void Send(const std::string& bytes) { phone.Receive(bytes.data(), bytes.size()); }
    // Everything the phone sent since the last call.
    std::string Take() {
        std::string all;
        for (const auto& c : chunks) {
            all += c;
        }
        chunks.clear();
        return all;
    }
    std::string Ask(const std::string& bytes) {
        Send(bytes);
        return Take();
    }

    PhoneEmulator phone;
    std::vector<std::string> chunks;
};

// The host's way of taking a listing entry apart: the name between the first two
// quotes, one separator byte, four comma-terminated fields, then the size up to the
// next comma.
struct Entry {
    std::string name;
    long size = -1;
};
bool ParseEntry(std::string line, Entry& e) {
    std::size_t q = line.find('"');
    if (q == std::string::npos) {
        return false;
    }
    line.erase(0, q + 1);
    q = line.find('"');
    if (q == std::string::npos) {
        return false;
    }
    e.name = line.substr(0, q);
    line.erase(0, q + 2);
    for (int i = 0; i < 4; ++i) {
        std::size_t c = line.find(',');
        if (c == std::string::npos) {
            return false;
        }
        line.erase(0, c + 1);
    }
    std::size_t c = line.find(',');
    if (c == std::string::npos) {
        return false;
    }
    std::string size = line.substr(0, c);
    char* end = nullptr;
    e.size = std::strtol(size.c_str(), &end, 10);
    return !size.empty() && *end == '\0';
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        out.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

// ---------------------------------------------------------------------------

TEST_F(EmulatorTest, CommandLinesAreFramedByLineEndsWhereverTheBytesAreCut) {
    const std::string script = "ATZ\r\nAT+FSCD=\"R\"\r\nAT+BOGUS\r\n\r\nATZ\r\n";
    for (char c : script) {
        Send(std::string(1, c));
    }
    EXPECT_EQ(Take(), "OK\r\nOK\r\nERROR\r\nOK\r\n");
    EXPECT_EQ(Ask(script), "OK\r\nOK\r\nERROR\r\nOK\r\n");
    EXPECT_EQ(phone.Commands.size(), 8u);
    EXPECT_EQ(phone.Commands[1], "AT+FSCD=\"R\"");
}

TEST_F(EmulatorTest, ChangeFolderAcceptsOnlyKnownCodesAndResetReturnsToTheRoot) {
    EXPECT_EQ(Ask("AT+FSCD=\"\\\"\r\n"), "OK\r\n");
    EXPECT_EQ(phone.WorkingFolder(), '\\');
    EXPECT_EQ(Ask("AT+FSCD=\"Z\"\r\n"), "+CME ERROR: 11\r\n");
    EXPECT_EQ(phone.WorkingFolder(), '\\');
    EXPECT_EQ(Ask("AT+FSCD=\"TT\"\r\n"), "+CME ERROR: 50\r\n");
    EXPECT_EQ(Ask("ATZ\r\n"), "OK\r\n");
    EXPECT_EQ(phone.WorkingFolder(), ' ');
}

TEST_F(EmulatorTest, ListingEntriesParseAsTheHostReadsThem) {
    phone.LoadSampleContent();
    for (uint8_t code : {' ', '`', 'T', 'C', 'Q', 'R', 'E', 'D', 'V', 'Y', '\\'}) {
        SCOPED_TRACE(std::string(1, static_cast<char>(code)));
        std::vector<std::string> lines =
            Lines(Ask("AT+FSDL=\"" + std::string(1, static_cast<char>(code)) + "\"\r\n"));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "OK\r\n");
        std::vector<std::string> names = phone.FileNames(code);
        ASSERT_EQ(lines.size(), names.size() + 1);
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(lines[i].rfind("+FSDL: ", 0), 0u);
            EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "\r\n");
            Entry e;
            ASSERT_TRUE(ParseEntry(lines[i], e)) << lines[i];
            EXPECT_EQ(e.name, names[i]);
            EXPECT_EQ(e.size, static_cast<long>(phone.FileData(code, names[i]).size()));
        }
    }
    EXPECT_EQ(Ask("AT+FSDL=\"!\"\r\n"), "+CME ERROR: 11\r\n");
}

TEST_F(EmulatorTest, SampleContentHoldsTheAwkwardCases) {
    phone.LoadSampleContent();
    EXPECT_TRUE(phone.Exists('R', "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"));
    EXPECT_EQ(phone.FileData('C', "melody01.mel").substr(0, 4), "MMMD");
    EXPECT_TRUE(phone.Exists('`', "game_suite.jad"));
    EXPECT_TRUE(phone.Exists('`', "game_suite.jar"));
    EXPECT_GE(phone.FileNames('R').size(), 30u);
    bool exact512 = false;
    bool tricky = false;
    for (uint8_t code : {' ', 'R'}) {
        for (const std::string& name : phone.FileNames(code)) {
            std::string d = phone.FileData(code, name);
            exact512 |= d.size() == 512;
            tricky |= d.size() > 512 && d.find("OK\r\n") != std::string::npos &&
                      d.find("+FSFR: ") != std::string::npos && d.find("#OK#") != std::string::npos;
        }
    }
    EXPECT_TRUE(exact512);
    EXPECT_TRUE(tricky);
}

// ---------------------------------------------------------------------------
// Reads

// Reads `name` acknowledging each marker; returns the file bytes rebuilt from the data
// lines, and checks the framing on the way.
std::string ReadWithAcks(PhoneEmulator& phone, std::vector<std::string>& chunks,
                         const std::string& name, uint32_t& announcedCrc, long& announcedSize) {
    chunks.clear();
    std::string cmd = "AT+FSFR=-1,\"" + name + "\"\r\n";
    phone.Receive(cmd.data(), cmd.size());
    EXPECT_GE(chunks.size(), 1u);
    if (chunks.empty()) {
        return {};
    }
    const std::string& header = chunks[0];
    EXPECT_EQ(header.rfind("+FSFR: 0,", 0), 0u);
    std::size_t c1 = header.find(',');
    std::size_t c2 = header.find(',', c1 + 1);
    announcedSize = std::strtol(header.substr(c1 + 1, c2 - c1 - 1).c_str(), nullptr, 10);
    announcedCrc = static_cast<uint32_t>(std::strtoul(header.substr(c2 + 1).c_str(), nullptr, 10));
    std::string data;
    std::vector<std::string> pending(chunks.begin() + 1, chunks.end());
    chunks.clear();
    for (int block = 1; block < 10000; ++block) {
        EXPECT_EQ(pending.size(), 1u) << "one chunk per step";
        if (pending.size() != 1) {
            break;
        }
        std::string chunk = pending[0];
        if (chunk == "OK\r\n") {
            return data;
        }
        // "+FSFR: <n>,<len>,<bytes>\r\n#OK#"
        std::string head = "+FSFR: " + std::to_string(block) + ",";
        EXPECT_EQ(chunk.rfind(head, 0), 0u);
        std::size_t c = chunk.find(',', head.size());
        std::size_t len =
            std::strtoul(chunk.substr(head.size(), c - head.size()).c_str(), nullptr, 10);
        EXPECT_LE(len, 512u);
        EXPECT_EQ(chunk.size(), c + 1 + len + 6);
        EXPECT_EQ(chunk.substr(chunk.size() - 6), "\r\n#OK#");
        data += chunk.substr(c + 1, len);
        phone.Receive("##>\r\n", 5);
        pending = chunks;
        chunks.clear();
    }
    return data;
}

TEST_F(EmulatorTest, ReadSendsBlocksOnlyAfterEachAcknowledgement) {
    phone.LoadSampleContent();
    EXPECT_EQ(Ask("AT+FSCD=\" \"\r\n"), "OK\r\n");
    for (const std::string& name : phone.FileNames(' ')) {
        SCOPED_TRACE(name);
        uint32_t crc = 0;
        long size = -1;
        std::string data = ReadWithAcks(phone, chunks, name, crc, size);
        EXPECT_EQ(data, phone.FileData(' ', name));
        EXPECT_EQ(size, static_cast<long>(data.size()));
        EXPECT_EQ(crc, ZCrc(data));
        EXPECT_FALSE(phone.InTransfer());
    }
    // The exact block: one data line, then OK after its acknowledgement.
    phone.PutFile(' ', "b512", Pattern(512, 3));
    uint32_t crc = 0;
    long size = -1;
    EXPECT_EQ(ReadWithAcks(phone, chunks, "b512", crc, size), Pattern(512, 3));
}

TEST_F(EmulatorTest, ReadOfEmptyMissingAndCorruptedFiles) {
    phone.PutFile(' ', "empty", "");
    phone.PutFile('T', "tone", "abc");
    EXPECT_EQ(Ask("AT+FSFR=-1,\"empty\"\r\n"), "+FSFR: 0,0,0\r\nOK\r\n");
    // Only the working folder is searched.
    EXPECT_EQ(Ask("AT+FSFR=-1,\"tone\"\r\n"), "+CME ERROR: 11\r\n");
    Ask("AT+FSCD=\"T\"\r\n");
    phone.Faults.corruptReadCrc = true;
    std::string reply = Ask("AT+FSFR=-1,\"tone\"\r\n");
    EXPECT_EQ(reply.rfind("+FSFR: 0,3,", 0), 0u);
    EXPECT_EQ(reply.find("+FSFR: 0,3," + std::to_string(ZCrc("abc")) + "\r\n"), std::string::npos);
    EXPECT_EQ(Ask("##>\r\n"), "OK\r\n");
}

TEST_F(EmulatorTest, AHostAnsweringMarkersFromItsOutputHandlerGetsTheWholeFileInOrder) {
    std::string file = Pattern(1700, 5);
    phone.PutFile(' ', "f", file);
    std::string all;
    phone.Output = [&](const std::string& chunk) {
        all += chunk;
        if (chunk.size() >= 4 && chunk.compare(chunk.size() - 4, 4, "#OK#") == 0) {
            phone.Receive("##>\r\n", 5);
        }
    };
    Send("AT+FSFR=-1,\"f\"\r\n");
    EXPECT_FALSE(phone.InTransfer());
    EXPECT_EQ(all.substr(all.size() - 8), "#OK#OK\r\n");
    std::string rebuilt;
    std::size_t pos = all.find("\r\n") + 2;  // after the header
    for (int block = 1; block <= 4; ++block) {
        std::string head =
            "+FSFR: " + std::to_string(block) + "," + std::to_string(block < 4 ? 512 : 164) + ",";
        ASSERT_EQ(all.compare(pos, head.size(), head), 0) << block;
        rebuilt += all.substr(pos + head.size(), block < 4 ? 512 : 164);
        pos += head.size() + (block < 4 ? 512 : 164) + 6;
    }
    EXPECT_EQ(rebuilt, file);
}

TEST_F(EmulatorTest, ACommandWhileAReadWaitsEndsTheRead) {
    phone.PutFile(' ', "f", Pattern(1500, 1));
    Ask("AT+FSFR=-1,\"f\"\r\n");
    EXPECT_TRUE(phone.InTransfer());
    EXPECT_EQ(Ask("ATZ\r\n"), "OK\r\n");
    EXPECT_FALSE(phone.InTransfer());
    EXPECT_EQ(Ask("##>\r\n"), "");  // a stray acknowledgement is ignored
}

// ---------------------------------------------------------------------------
// Writes

TEST_F(EmulatorTest, WritePromptsBeforeEachBlockAndStoresTheFile) {
    std::string data = Pattern(1000, 2);
    data.replace(100, 8, "OK\r\n\r\n##");  // protocol-looking bytes are plain data here
    Ask("AT+FSCD=\"R\"\r\n");
    EXPECT_EQ(Ask(WriteCommand("new.bin", data)), "##>\r\n");
    EXPECT_TRUE(phone.AwaitingWriteData());
    Send(data.substr(0, 300));
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(Ask(data.substr(300, 212)), "##>\r\n");
    // The last block and the next command in one write.
    EXPECT_EQ(Ask(data.substr(512) + "AT+FSDL=\"R\"\r\n"),
              "OK\r\n+FSDL: \"new.bin\",0,0,20090301,120000,1000,0\r\nOK\r\n");
    EXPECT_EQ(phone.FileData('R', "new.bin"), data);
    EXPECT_FALSE(phone.InTransfer());
}

TEST_F(EmulatorTest, WriteOfExactlyOneBlockAndOfAnEmptyFile) {
    std::string data = Pattern(512, 9);
    EXPECT_EQ(Ask(WriteCommand("a", data)), "##>\r\n");
    EXPECT_EQ(Ask(data), "OK\r\n");
    EXPECT_EQ(phone.FileData(' ', "a"), data);
    // Nothing follows the command of an empty file, so no prompt is given.
    EXPECT_EQ(Ask("AT+FSFW=-1,\"e\",0,\" \",0,0\r\n"), "OK\r\n");
    EXPECT_TRUE(phone.Exists(' ', "e"));
    EXPECT_EQ(Ask("ATZ\r\n"), "OK\r\n");
}

TEST_F(EmulatorTest, WriteWithAWrongChecksumIsRefusedAndKeepsTheOldFile) {
    phone.PutFile(' ', "keep", "old");
    std::string data = Pattern(700, 4);
    EXPECT_EQ(Ask(WriteCommand("keep", data, ZCrc(data) ^ 1)), "##>\r\n");
    Ask(data.substr(0, 512));
    EXPECT_EQ(Ask(data.substr(512)),
              "+CME ERROR: " + std::to_string(PhoneEmulator::kErrorChecksum) + "\r\n");
    EXPECT_EQ(phone.FileData(' ', "keep"), "old");
    EXPECT_EQ(Ask("AT+FSFW=-1,\"z\",0,\" \",0,5\r\n"), "+CME ERROR: 2008\r\n");
    EXPECT_FALSE(phone.Exists(' ', "z"));
}

TEST_F(EmulatorTest, WriteParametersAreCheckedAndNamesMayHoldQuotesAndCommas) {
    EXPECT_EQ(Ask("AT+FSFW=-1,\"x\",5,\" \",10,0\r\n"), "+CME ERROR: 50\r\n");
    EXPECT_EQ(Ask("AT+FSFW=-1,\"x\",10,\"\",10,0\r\n"), "+CME ERROR: 50\r\n");
    EXPECT_EQ(Ask("AT+FSFW=-1,\"\",3,\" \",3,0\r\n"), "+CME ERROR: 50\r\n");
    EXPECT_EQ(Ask("AT+FSFW=-1,\"x\",3,\" \",3,-1\r\n"), "+CME ERROR: 50\r\n");
    EXPECT_FALSE(phone.InTransfer());
    std::string name = "a,\"b\",1,\" \",c";
    EXPECT_EQ(Ask(WriteCommand(name, "xyz")), "##>\r\n");
    EXPECT_EQ(Ask("xyz"), "OK\r\n");
    EXPECT_EQ(phone.FileData(' ', name), "xyz");
}

TEST_F(EmulatorTest, WriteBeyondCapacityIsRefusedBeforeAnyPrompt) {
    phone.Capacity = 2000;
    phone.PutFile(' ', "big", Pattern(1500, 1));
    EXPECT_EQ(Ask(WriteCommand("more", Pattern(501, 2))), "+CME ERROR: 2007\r\n");
    EXPECT_FALSE(phone.InTransfer());
    // Replacing a file frees its room first.
    std::string data = Pattern(2000, 3);
    EXPECT_EQ(Ask(WriteCommand("big", data)), "##>\r\n");
    Ask(data.substr(0, 512));
    Ask(data.substr(512, 512));
    Ask(data.substr(1024, 512));
    EXPECT_EQ(Ask(data.substr(1536)), "OK\r\n");
    EXPECT_EQ(phone.UsedBytes(), 2000u);
}

TEST_F(EmulatorTest, EraseWorksInTheWorkingFolderOnly) {
    phone.PutFile('Q', "memo", "x");
    EXPECT_EQ(Ask("AT+FSFE=-1,\"memo\"\r\n"), "+CME ERROR: 11\r\n");
    Ask("AT+FSCD=\"Q\"\r\n");
    EXPECT_EQ(Ask("AT+FSFE=-1,\"memo\"\r\n"), "OK\r\n");
    EXPECT_FALSE(phone.Exists('Q', "memo"));
    EXPECT_EQ(Ask("AT+FSFE=-1,\"memo\"\r\n"), "+CME ERROR: 11\r\n");
}

// ---------------------------------------------------------------------------
// Faults

TEST_F(EmulatorTest, ErrorInjectionLetsTheCountdownPassFirst) {
    phone.Faults.errorCommand = "AT+FSFE";
    phone.Faults.errorCode = 2007;
    phone.Faults.errorCountdown = 1;
    phone.PutFile(' ', "a", "1");
    phone.PutFile(' ', "b", "2");
    EXPECT_EQ(Ask("AT+FSFE=-1,\"a\"\r\n"), "OK\r\n");
    EXPECT_EQ(Ask("AT+FSFE=-1,\"b\"\r\n"), "+CME ERROR: 2007\r\n");
    EXPECT_TRUE(phone.Exists(' ', "b"));  // the failed command did nothing
    EXPECT_EQ(Ask("ATZ\r\n"), "OK\r\n");  // other commands are unaffected
}

TEST_F(EmulatorTest, SilenceAndSilenceAfterSomeCommands) {
    phone.Faults.silent = true;
    EXPECT_EQ(Ask("ATZ\r\nAT+FSCD=\"T\"\r\n"), "");
    EXPECT_EQ(phone.WorkingFolder(), ' ');
    EXPECT_EQ(phone.Commands.size(), 2u);
    phone.Faults.silent = false;
    phone.Faults.silentAfterCommands = true;
    phone.Faults.silentAfter = 2;
    EXPECT_EQ(Ask("ATZ\r\nATZ\r\nATZ\r\n"), "OK\r\nOK\r\n");
}

TEST_F(EmulatorTest, SplitOutputCutsEveryReplyIntoSmallChunks) {
    phone.LoadSampleContent();
    std::string whole = Ask("AT+FSDL=\"R\"\r\n");
    phone.Faults.splitEvery = 7;
    Send("AT+FSDL=\"R\"\r\n");
    std::string joined;
    for (const std::string& c : chunks) {
        EXPECT_LE(c.size(), 7u);
        EXPECT_FALSE(c.empty());
        joined += c;
    }
    EXPECT_GT(chunks.size(), whole.size() / 7);
    EXPECT_EQ(joined, whole);
}

TEST_F(EmulatorTest, EchoPrecedesEachReplyAndTranscriptKeepsBothDirections) {
    phone.Faults.echo = true;
    Send("AT");
    Send("Z\r\n");
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], "ATZ\r\n");
    EXPECT_EQ(chunks[1], "OK\r\n");
    ASSERT_EQ(phone.Transcript.size(), 4u);
    EXPECT_EQ(phone.Transcript[0], std::make_pair('H', std::string("AT")));
    EXPECT_EQ(phone.Transcript[1], std::make_pair('H', std::string("Z\r\n")));
    EXPECT_EQ(phone.Transcript[2], std::make_pair('P', std::string("ATZ\r\n")));
    EXPECT_EQ(phone.Transcript[3], std::make_pair('P', std::string("OK\r\n")));
    Take();
    EXPECT_EQ(Ask("ATE0\r\nATZ\r\n"), "ATE0\r\nOK\r\nOK\r\n");
}

TEST_F(EmulatorTest, AnEndlessLineIsRefusedAndTheNextCommandWorks) {
    Send(std::string(100000, 'A'));
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(Ask("\r\nATZ\r\n"), "ERROR\r\nOK\r\n");
}

// ---------------------------------------------------------------------------
// The program on a pseudo-terminal

#ifdef PHONE_EMULATOR_PATH

using Clock = std::chrono::steady_clock;

// Reads until `want` has arrived or the deadline passes.
std::string ReadUntil(int fd, const std::string& want, Clock::time_point deadline) {
    std::string got;
    while (got.find(want) == std::string::npos && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[4096];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    return got;
}

// Opens the port and resets the phone the way the host does: ATZ once a second until
// OK (the program may still be noticing that the previous user went away).
int OpenAndReset(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        if (write(fd, "ATZ\r\n", 5) != 5) {
            break;
        }
        if (ReadUntil(fd, "OK\r\n", Clock::now() + std::chrono::seconds(1)).find("OK\r\n") !=
            std::string::npos) {
            return fd;
        }
    }
    close(fd);
    return -1;
}

TEST(PhoneEmulatorProgram, ServesAPseudoTerminalAcrossReopens) {
    std::string link = ::testing::TempDir() + "emu-link-" + std::to_string(getpid());
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(PHONE_EMULATOR_PATH, "phone-emulator", "--link", link.c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string first = ReadUntil(out[0], "\n", Clock::now() + std::chrono::seconds(20));
    ASSERT_EQ(first.rfind("PTY /dev/", 0), 0u) << first;
    std::string path = first.substr(4, first.find('\n') - 4);
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);

    int fd = OpenAndReset(path);
    ASSERT_GE(fd, 0);
    // A binary write goes through untouched by the terminal layer.
    std::string data = Pattern(600, 8);
    std::string cmd = WriteCommand("pty.bin", data);
    ASSERT_EQ(write(fd, cmd.data(), cmd.size()), static_cast<ssize_t>(cmd.size()));
    auto deadline = Clock::now() + std::chrono::seconds(20);
    EXPECT_EQ(ReadUntil(fd, "##>\r\n", deadline), "##>\r\n");
    ASSERT_EQ(write(fd, data.data(), 512), 512);
    EXPECT_EQ(ReadUntil(fd, "##>\r\n", deadline), "##>\r\n");
    ASSERT_EQ(write(fd, data.data() + 512, 88), 88);
    EXPECT_EQ(ReadUntil(fd, "OK\r\n", deadline), "OK\r\n");
    close(fd);

    fd = OpenAndReset(path);
    ASSERT_GE(fd, 0);
    const char list[] = "AT+FSDL=\" \"\r\n";
    ASSERT_EQ(write(fd, list, sizeof list - 1), static_cast<ssize_t>(sizeof list - 1));
    std::string listing = ReadUntil(fd, "OK\r\n", Clock::now() + std::chrono::seconds(20));
    std::size_t at = listing.find("+FSDL: \"pty.bin\"");
    ASSERT_NE(at, std::string::npos) << listing;
    Entry e;
    ASSERT_TRUE(ParseEntry(listing.substr(at, listing.find('\n', at) - at + 1), e));
    EXPECT_EQ(e.size, 600);
    close(fd);

    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone with the program
    close(out[0]);
}

#endif

}  // namespace
