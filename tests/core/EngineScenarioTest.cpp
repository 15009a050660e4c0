// Whole exchanges between the engine and the in-process phone emulator.
#include <gtest/gtest.h>

#include "engine/PhoneCommands.h"
#include "phonefs/PhoneTree.h"
#include "protocol/CRC.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/EmulatorLink.h"

using namespace orvo;

namespace {

using prototest::CountingBatchStep;
using prototest::g_batchCalls;
using prototest::RandomBytes;
using prototest::ReadFile;
using prototest::TempDir;
using prototest::WriteFile;

class Scenario : public ::testing::Test {
  protected:
    void SetUp() override {
        g_batchCalls = 0;
        rig.s.BatchStep = CountingBatchStep;
        rig.s.TransferBuffer.assign(kTransferBufferSize, 0);
        rig.s.SetTimerInterval(10000);
        root.Name = "DIR_NAME : ";
        sounds = AddChildFolder("My Sounds", &root, 'T');
        rig.s.CurrentFolder = sounds;
    }
    // Sends a command in a state, as a starter does, and lets the phone answer.
    void Exchange(OperationState state, PhoneCommand kind, const Bytes& argument) {
        rig.s.CurrentOperation = state;
        rig.s.ShowProgress();
        rig.s.EnableMainWindow(false);
        SendPhoneCommand(rig.s, kind, argument);
        rig.s.TimerOn();
        rig.link.Pump();
    }
    void EnterSounds() {
        Exchange(OperationState::ChangingFolder, PhoneCommand::ChangeFolder, "T");
        ASSERT_EQ(g_batchCalls, 1);
        g_batchCalls = 0;
    }
    void Upload(const std::string& name, const std::string& data, const std::string& header = "") {
        std::string path = dir.File("up.bin");
        WriteFile(path, data);
        rig.s.LocalFile.OpenRead(path);
        if (!header.empty()) {
            std::copy(header.begin(), header.end(), rig.s.TransferBuffer.begin());
            rig.s.OperationStep = 1;
        }
        rig.s.UploadSize = static_cast<int32_t>(data.size() + header.size());
        Exchange(OperationState::Writing, PhoneCommand::Write, name);
    }
    void Download(const std::string& name) {
        target = dir.File("down.bin");
        rig.s.DownloadTarget = target;
        rig.s.LocalFile.Create(target);
        rig.s.Read = ReadState{};  // each read starts afresh, as StartRead does
        Exchange(OperationState::Reading, PhoneCommand::Read, name);
    }

    EmulatorRig rig;
    TempDir dir;
    PhoneNode root;
    PhoneNode* sounds = nullptr;
    std::string target;
};

TEST_F(Scenario, Listing) {
    rig.phone().PutFile('T', "ring.mid", std::string(1234, 'r'));
    rig.phone().PutFile('T', "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mid", "abc");
    rig.phone().PutFile('T', "empty.mid", "");
    Exchange(OperationState::Listing, PhoneCommand::List, "T");
    EXPECT_EQ(FindFile(sounds, "ring.mid")->Size, 1234);
    EXPECT_TRUE(HasFile(sounds, "\xCF\xE5\xF1\xED\xFF.mid"));
    EXPECT_FALSE(HasFile(sounds, "empty.mid"));
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST_F(Scenario, ListingInSmallChunks) {
    rig.phone().Faults.splitEvery = 3;
    rig.phone().PutFile('T', "a.mid", "12345");
    rig.phone().PutFile('T', "b.mid", "1");
    Exchange(OperationState::Listing, PhoneCommand::List, "T");
    EXPECT_TRUE(HasFile(sounds, "a.mid"));
    EXPECT_TRUE(HasFile(sounds, "b.mid"));
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
}

TEST_F(Scenario, ReadWithMatchingChecksum) {
    std::string data = RandomBytes(3000, 21) + "\r\nOK\r\n#OK#+CME ERROR: 11\r\n";
    rig.phone().PutFile('T', "song.mid", data);
    EnterSounds();
    Download("song.mid");
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
}

// The phone's output cut into small pieces, its markers included: every marker is
// answered and the file arrives whole.
TEST_F(Scenario, ReadInSmallChunks) {
    std::string data = RandomBytes(1500, 27);
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        // A line end or a whole marker inside the bytes, cut right behind it, could
        // not be told from the end of the data line.
        if ((data[i] == '\r' && data[i + 1] == '\n') || data.compare(i, 4, "#OK#") == 0)
            data[i] = 'x';
    }
    rig.phone().PutFile('T', "song.mid", data);
    EnterSounds();
    for (std::size_t every : {1, 2, 3, 5, 7, 11}) {
        rig.phone().Faults.splitEvery = every;
        g_batchCalls = 0;
        Download("song.mid");
        EXPECT_EQ(ReadFile(target), data) << every;
        EXPECT_TRUE(rig.ui.messages.empty()) << every;
        EXPECT_EQ(g_batchCalls, 1) << every;
        EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle) << every;
    }
}

TEST_F(Scenario, ReadWithMismatchingChecksum) {
    std::string data = RandomBytes(700, 22);
    rig.phone().PutFile('T', "song.mid", data);
    rig.phone().Faults.corruptReadCrc = true;
    EnterSounds();
    Download("song.mid");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "CRC Error While Reading File");
    EXPECT_EQ(rig.ui.messages[0].caption, "Error");
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_EQ(g_batchCalls, 1);
}

TEST_F(Scenario, ReadOfAMissingFile) {
    EnterSounds();
    Download("nothing.mid");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Ошибка чтения файла\r\nФайл не найден");
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
    EXPECT_EQ(g_batchCalls, 0);
}

TEST_F(Scenario, WriteOfAThousandBytes) {
    std::string data = RandomBytes(1000, 23);
    EnterSounds();
    Upload("up.bin", data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.phone().FileData('T', "up.bin"), data);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
}

TEST_F(Scenario, WriteInHeaderMode) {
    std::string header = "MMMD" + RandomBytes(28, 24);
    std::string data = RandomBytes(2000, 25);
    EnterSounds();
    Upload("melody.mid", data, header);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.phone().FileData('T', "melody.mid"), header + data);
}

TEST_F(Scenario, WriteLargerThanTheBuffers) {
    std::string data = RandomBytes(kTransferBufferSize + 3000, 26);
    EnterSounds();
    Upload("big.bin", data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig.phone().FileData('T', "big.bin"), data);
}

TEST_F(Scenario, Erase) {
    rig.phone().PutFile('T', "old.mid", "x");
    EnterSounds();
    Exchange(OperationState::Erasing, PhoneCommand::Erase, "old.mid");
    EXPECT_FALSE(rig.phone().Exists('T', "old.mid"));
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    Exchange(OperationState::Erasing, PhoneCommand::Erase, "old.mid");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Ошибка удаления файла\r\nФайл не найден");
}

TEST_F(Scenario, SilentPhoneIsCaughtByTheWatchdog) {
    rig.phone().Faults.silent = true;
    Exchange(OperationState::Erasing, PhoneCommand::Erase, "old.mid");
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    WatchdogExpired(rig.s);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Телефон не отвечает");
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
}

}  // namespace
