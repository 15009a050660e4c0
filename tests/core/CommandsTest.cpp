#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/PhoneCommands.h"
#include "protocol/CRC.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

using prototest::RandomBytes;
using prototest::TempDir;
using prototest::WriteFile;

uint32_t ZlibCrc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST(PhoneCommandBytes, SimpleCommands) {
    TestRig rig;
    SendPhoneCommand(rig.s, PhoneCommand::Reset, "ignored");
    SendPhoneCommand(rig.s, PhoneCommand::List, "T");
    SendPhoneCommand(rig.s, PhoneCommand::Read, "a b.jpg");
    SendPhoneCommand(rig.s, PhoneCommand::Erase, "\xD0\x9F.mid");
    SendPhoneCommand(rig.s, PhoneCommand::ChangeFolder, "T");
    SendPhoneCommand(rig.s, PhoneCommand::ChangeFolder, " ");
    SendPhoneCommand(rig.s, PhoneCommand::List, std::string(1, '\0'));
    ASSERT_EQ(rig.port.writes.size(), 7u);
    EXPECT_EQ(rig.port.writes[0], "ATZ\r\n");
    EXPECT_EQ(rig.port.writes[1], "AT+FSDL=\"T\"\r\n");
    EXPECT_EQ(rig.port.writes[2], "AT+FSFR=-1,\"a b.jpg\"\r\n");
    EXPECT_EQ(rig.port.writes[3], "AT+FSFE=-1,\"\xD0\x9F.mid\"\r\n");
    EXPECT_EQ(rig.port.writes[4], "AT+FSCD=\"T\"\r\n");
    EXPECT_EQ(rig.port.writes[4].size(), 13u);  // eleven bytes up to the quote, then CR LF
    EXPECT_EQ(rig.port.writes[5], "AT+FSCD=\" \"\r\n");
    EXPECT_EQ(rig.port.writes[6], std::string("AT+FSDL=\"\0\"\r\n", 13));
}

TEST(PhoneCommandBytes, UnknownKindSendsNothingAndLeavesStateAlone) {
    TestRig rig;
    rig.s.CurrentOperation = OperationState::Erasing;
    SendPhoneCommand(rig.s, static_cast<PhoneCommand>(6), "x");
    SendPhoneCommand(rig.s, static_cast<PhoneCommand>(255), "x");
    EXPECT_TRUE(rig.port.writes.empty());
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Erasing);
}

TEST(PhoneCommandBytes, FormatWriteCommand) {
    EXPECT_EQ(FormatWriteCommand("a.txt", 1000, 4294967295u),
              "AT+FSFW=-1,\"a.txt\",488,\" \",1000,4294967295\r\n");
    EXPECT_EQ(FormatWriteCommand("b", 1024, 7), "AT+FSFW=-1,\"b\",0,\" \",1024,7\r\n");
}

// A write of a local file, the way the upload step starts it.
class WriteCommand : public ::testing::Test {
  protected:
    void Start(const std::string& data, bool header = false, const std::string& headerBytes = "") {
        path = dir.File("up.bin");
        WriteFile(path, data);
        rig.s.LocalFile.OpenRead(path);
        if (header) {
            rig.s.TransferBuffer.assign(kTransferBufferSize, 0);
            std::copy(headerBytes.begin(), headerBytes.end(), rig.s.TransferBuffer.begin());
            rig.s.OperationStep = 1;
        }
        rig.s.UploadSize = static_cast<int32_t>(data.size() + (header ? 32 : 0));
        rig.s.CurrentOperation = OperationState::Writing;
        SendPhoneCommand(rig.s, PhoneCommand::Write, "up.bin");
    }
    // Sends one block per prompt until a prompt sends nothing; returns the blocks.
    std::vector<std::string> Blocks(int maxPrompts = 100000) {
        std::vector<std::string> blocks;
        for (int i = 0; i < maxPrompts; ++i) {
            rig.port.ClearWrites();
            SendWriteBlock(rig.s);
            if (rig.port.writes.empty())
                break;
            blocks.push_back(rig.port.All());
        }
        return blocks;
    }
    TempDir dir;
    std::string path;
    TestRig rig;
};

TEST_F(WriteCommand, EmptyFile) {
    Start("");
    ASSERT_EQ(rig.port.writes.size(), 1u);
    EXPECT_EQ(rig.port.writes[0], "AT+FSFW=-1,\"up.bin\",0,\" \",0,0\r\n");
    EXPECT_TRUE(Blocks().empty());
}

TEST_F(WriteCommand, ExactlyOneBlock) {
    std::string data = RandomBytes(512, 1);
    Start(data);
    EXPECT_EQ(rig.port.writes.at(0),
              "AT+FSFW=-1,\"up.bin\",0,\" \",512," + std::to_string(ZlibCrc(data)) + "\r\n");
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], data);
}

TEST_F(WriteCommand, ThousandBytesGoOutAs512And488) {
    std::string data = RandomBytes(1000, 2);
    Start(data);
    EXPECT_EQ(rig.port.writes.at(0),
              "AT+FSFW=-1,\"up.bin\",488,\" \",1000," + std::to_string(ZlibCrc(data)) + "\r\n");
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], data.substr(0, 512));
    EXPECT_EQ(blocks[1], data.substr(512));
}

TEST_F(WriteCommand, HeaderModeHundredBytes) {
    std::string header = "MMMD" + RandomBytes(28, 3);
    std::string data = RandomBytes(100, 4);
    Start(data, true, header);
    EXPECT_EQ(rig.port.writes.at(0), "AT+FSFW=-1,\"up.bin\",132,\" \",132," +
                                         std::to_string(ZlibCrc(header + data)) + "\r\n");
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], header + data);
    EXPECT_EQ(rig.s.OperationStep, 0);
}

TEST_F(WriteCommand, HeaderModeBlocksStayOn512Boundaries) {
    std::string header = "MMMD" + RandomBytes(28, 5);
    std::string data = RandomBytes(1000, 6);
    Start(data, true, header);
    EXPECT_EQ(rig.port.writes.at(0), "AT+FSFW=-1,\"up.bin\",8,\" \",1032," +
                                         std::to_string(ZlibCrc(header + data)) + "\r\n");
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].size(), 512u);
    EXPECT_EQ(blocks[1].size(), 512u);
    EXPECT_EQ(blocks[2].size(), 8u);
    EXPECT_EQ(blocks[0] + blocks[1] + blocks[2], header + data);
}

TEST_F(WriteCommand, EmptyBuffersAreSizedNotOverrun) {
    // A new session allocates no staging buffer; the first transfer does.
    ASSERT_TRUE(rig.s.TransferBuffer.empty());
    ASSERT_TRUE(rig.s.FileData.empty());
    std::string data = RandomBytes(700, 7);
    Start(data);
    EXPECT_EQ(rig.s.TransferBuffer.size(), kTransferBufferSize);
    EXPECT_EQ(rig.s.FileData.size(), kFileDataSize);
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0] + blocks[1], data);
}

TEST_F(WriteCommand, FileLargerThanTheBuffersIsStreamed) {
    // Larger than both 1 MiB buffers, not a multiple of 512.
    std::string data = RandomBytes(2 * kTransferBufferSize + 12345, 8);
    rig.s.TransferBuffer.assign(kTransferBufferSize, 0);
    Start(data);
    EXPECT_EQ(rig.s.TransferBuffer.size(), kTransferBufferSize);
    EXPECT_EQ(rig.s.FileData.size(), kFileDataSize);
    EXPECT_EQ(rig.port.writes.at(0), "AT+FSFW=-1,\"up.bin\"," + std::to_string(data.size() % 512) +
                                         ",\" \"," + std::to_string(data.size()) + "," +
                                         std::to_string(ZlibCrc(data)) + "\r\n");
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), (data.size() + 511) / 512);
    std::string joined;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i + 1 < blocks.size()) {
            ASSERT_EQ(blocks[i].size(), 512u) << "block " << i;
        }
        joined += blocks[i];
    }
    EXPECT_EQ(joined, data);
}

TEST_F(WriteCommand, BlocksNeverCarryMoreThanAnnounced) {
    std::string data = RandomBytes(600, 10);
    Start(data);
    // The local file grows after the command went out.
    WriteFile(path, data + RandomBytes(700, 11));
    auto blocks = Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0] + blocks[1], data);
}

TEST(FileChecksum, EmptyReadBufferIsSizedAndTheWholeFileCounted) {
    TempDir dir;
    TestRig rig;
    const std::string data = RandomBytes(kFileDataSize + 777, 12);
    WriteFile(dir.File("f.bin"), data);
    rig.s.LocalFile.OpenRead(dir.File("f.bin"));
    ASSERT_TRUE(rig.s.FileData.empty());
    EXPECT_EQ(LocalFileCrc32(rig.s), ZlibCrc(data));
    EXPECT_EQ(rig.s.FileData.size(), kFileDataSize);
}

TEST_F(WriteCommand, PromptAfterTheFileIsClosedSendsNothing) {
    Start(RandomBytes(10, 9));
    Blocks();
    rig.s.LocalFile.Close();
    rig.port.ClearWrites();
    SendWriteBlock(rig.s);
    EXPECT_TRUE(rig.port.writes.empty());
}

}  // namespace
