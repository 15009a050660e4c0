#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/FolderCache.h"
#include "engine/Navigation.h"
#include "engine/PhoneCommands.h"
#include "engine/ReceiveHandler.h"
#include "engine/ReplyEngine.h"
#include "phonefs/PhoneTree.h"
#include "protocol/CRC.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

using prototest::CountingBatchStep;
using prototest::Deliver;
using prototest::g_batchCalls;
using prototest::RandomBytes;
using prototest::ReadFile;
using prototest::TempDir;
using prototest::WriteFile;

class Engine : public ::testing::Test {
  protected:
    void SetUp() override {
        g_batchCalls = 0;
        rig.s.BatchStep = CountingBatchStep;
        rig.s.TransferBuffer.assign(kTransferBufferSize, 0);
        rig.s.SetTimerInterval(10000);
    }
    // Puts the session into a running operation, as a starter does.
    void Begin(OperationState state) {
        rig.s.CurrentOperation = state;
        rig.s.ShowProgress();
        rig.s.EnableMainWindow(false);
        rig.s.TimerOn();
    }
    void ExpectEndedCleanly() {
        EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
        EXPECT_FALSE(rig.s.Timer1.Enabled);
        EXPECT_FALSE(rig.s.Progress.Visible);
        EXPECT_TRUE(rig.s.MainWindow.Enabled);
        EXPECT_FALSE(rig.s.LocalFile.IsOpen());
    }
    TestRig rig;
    TempDir dir;
};

TEST_F(Engine, BytesReceivedWhileIdleAreDropped) {
    rig.s.CurrentOperation = OperationState::Idle;
    Deliver(rig.s, "OK\r\n+CME ERROR: 11\r\nhalf");
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
    EXPECT_TRUE(rig.ui.messages.empty());
    // They never reach the next operation.
    Begin(OperationState::Erasing);
    Deliver(rig.s, "O");
    EXPECT_EQ(g_batchCalls, 0);
    Deliver(rig.s, "K\r\n");
    EXPECT_EQ(g_batchCalls, 1);
}

TEST_F(Engine, UnusedStateValuesLeaveTheBytesAlone) {
    rig.s.CurrentOperation = kUnscannedState;
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(rig.s.ReceiveBuffer, "OK\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, kUnscannedState);
}

TEST_F(Engine, CompletionLineSplitOverTwoChunks) {
    Begin(OperationState::Erasing);
    rig.s.BatchTotal = 3;
    rig.s.Progress.ProgressBar2.Step = 1;
    rig.s.Progress.ProgressBar1.Step = 1;
    Deliver(rig.s, "O");
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Erasing);
    Deliver(rig.s, "K\r\n");
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_EQ(WordsUtf8(rig.s.Progress.LongStatus), "Удаляем файл 2 из 3");
}

TEST_F(Engine, CompletionLineMustBeExact) {
    Begin(OperationState::ChangingFolder);
    Deliver(rig.s, " OK\r\nOK \r\nAT+FSCD=\"T\"\r\n\r\n");
    EXPECT_EQ(g_batchCalls, 0);
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    Deliver(rig.s, "OK\r\nrest");
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.ReceiveBuffer, "rest");
}

TEST_F(Engine, ListingStoresEntriesInTheModelCodePage) {
    PhoneNode root;
    PhoneNode* folder = AddChildFolder("My Sounds", &root, 'T');
    rig.s.CurrentFolder = folder;
    Begin(OperationState::Listing);
    Deliver(rig.s,
            "AT+FSDL=\"T\"\r\n"
            "+FSDL: \"a.mid\",1,0,0,0,1200,1\r\n"
            "+FSDL: \"empty.mid\",2,0,0,0,0,1\r\n"
            "+FSDL: \"\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mid\",3,0,0,0,77,1\r\n"
            "+FSDL: \"\xE6\x97\xA5.mid\",4,0,0,0,5,1\r\n"  // no CP1251 form: left out
            "+FSDL: \"bad\xC3.mid\",5,0,0,0,6,0\r\n"       // not UTF-8: left out
            "OK\r\ntrailing");
    EXPECT_TRUE(HasFile(folder, "a.mid"));
    EXPECT_FALSE(HasFile(folder, "empty.mid"));
    EXPECT_TRUE(HasFile(folder, "\xCF\xE5\xF1\xED\xFF.mid"));
    EXPECT_EQ(FindFile(folder, "\xCF\xE5\xF1\xED\xFF.mid")->Size, 77);
    int files = 0;
    for (PhoneFileEntry* e = folder->Files.get(); e; e = e->Next.get()) ++files;
    EXPECT_EQ(files, 2);
    EXPECT_EQ(rig.pane.Count(), 2);
    EXPECT_EQ(WordsUtf8(rig.s.MainWindow.StatusText), "Idle");
    EXPECT_FALSE(rig.s.Progress.Visible);
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_EQ(rig.s.ReceiveBuffer, "trailing");
}

TEST_F(Engine, ListingOfAnEmptyFolderEndsToo) {
    PhoneNode root;
    rig.s.CurrentFolder = AddChildFolder("Voice", &root, 'Q');
    Begin(OperationState::Listing);
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
}

TEST_F(Engine, CachingFillsTheQueuedFolder) {
    PhoneNode root;
    PhoneNode* a = AddChildFolder("My Images", &root, 'R');
    PhoneNode* b = AddChildFolder("Voice", &root, 'Q');
    rig.s.FolderQueue[0] = a;
    rig.s.FolderQueue[1] = b;
    rig.s.QueuePosition = 1;
    Begin(OperationState::Caching);
    Deliver(rig.s, "+FSDL: \"v.amr\",1,0,0,0,300,0\r\n");
    EXPECT_TRUE(HasFile(b, "v.amr"));
    EXPECT_FALSE(HasFile(a, "v.amr"));
    EXPECT_TRUE(rig.s.Timer1.Enabled);
}

// Starts a download into a fresh local file.
class Download : public Engine {
  protected:
    void Start() {
        target = dir.File("down.bin");
        rig.s.DownloadTarget = target;
        rig.s.LocalFile.Create(target);
        Begin(OperationState::Reading);
        rig.s.Read = ReadState{};
    }
    // The phone's output for a file: the header, then one chunk per data line with
    // the marker behind it, then "OK".
    std::vector<std::string> PhoneChunks(const std::string& data, int64_t crc) {
        std::vector<std::string> chunks;
        chunks.push_back("+FSFR: 0," + std::to_string(data.size()) + "," + std::to_string(crc) +
                         "\r\n");
        for (std::size_t pos = 0, n = 1; pos < data.size(); pos += 512, ++n) {
            std::string block = data.substr(pos, 512);
            chunks.push_back("+FSFR: " + std::to_string(n) + "," + std::to_string(block.size()) +
                             "," + block + "\r\n#OK#");
        }
        chunks.push_back("OK\r\n");
        return chunks;
    }
    void Run(const std::string& data, int64_t crc) {
        auto chunks = PhoneChunks(data, crc);
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            Deliver(rig.s, chunks[i]);
            if (i + 1 < chunks.size()) {
                // Nothing but the phone's own "OK" completes the read.
                ASSERT_EQ(rig.s.CurrentOperation, OperationState::Reading) << "after chunk " << i;
                ASSERT_TRUE(rig.s.ReceiveBuffer.empty()) << "after chunk " << i;
            }
        }
    }
    static int64_t CrcOf(const std::string& data) { return Crc32(data.data(), data.size()); }
    std::string target;
};

TEST_F(Download, MatchingChecksum) {
    std::string data = RandomBytes(1500, 11);
    Start();
    Run(data, CrcOf(data));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
    // One marker answer per data line.
    EXPECT_EQ(rig.port.All(), "##>\r\n##>\r\n##>\r\n");
}

TEST_F(Download, BadChecksumsAreReported) {
    std::string data = RandomBytes(600, 12);
    for (int64_t crc :
         {CrcOf(data) ^ 1, CrcOf(data) + (int64_t{1} << 32), int64_t{-1}, -CrcOf(data)}) {
        rig.ui.messages.clear();
        g_batchCalls = 0;
        Start();
        Run(data, crc);
        ASSERT_EQ(rig.ui.messages.size(), 1u) << crc;
        EXPECT_EQ(rig.ui.messages[0].text, "CRC Error While Reading File");
        EXPECT_EQ(rig.ui.messages[0].caption, "Error");
        EXPECT_EQ(g_batchCalls, 1);  // the batch goes on
        EXPECT_EQ(ReadFile(target), data);
    }
}

TEST_F(Download, ErrorLineInsideTheDataStaysData) {
    std::string data = "x\r\n+CME ERROR: 11\r\n+FSDL: \"a\",1,0,0,0,5,0\r\n";
    Start();
    Run(data, CrcOf(data));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
}

TEST_F(Download, FileBytesThatLookLikeRepliesStayData) {
    std::string data =
        "first\r\nOK\r\n+FSFR: 0,1,2\r\n+FSFR: 3,4,5\r\n+CME ERROR: 11\r\n##>\r\n\n\n";
    data += "#OK#middle#OK#\r\nOK\r\n";
    data += std::string(3, '\0');
    Start();
    Run(data, CrcOf(data));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.port.All(), "##>\r\n");
}

TEST_F(Download, DataLineSplitAcrossChunks) {
    std::string data = "line one\nline two\r\nOK\r\nthree";
    Start();
    Deliver(rig.s, "+FSFR: 0,1," + std::to_string(CrcOf(data)) + "\r\n");
    std::string line = "+FSFR: 1," + std::to_string(data.size()) + "," + data + "\r\n#OK#";
    Deliver(rig.s, line.substr(0, 20));  // holds the first "\n" of the data
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    Deliver(rig.s, line.substr(20));
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST_F(Download, FileLargerThanTheStagingBufferIsVerified) {
    std::string data = RandomBytes(kFileDataSize + 1000, 13);
    Start();
    Run(data, CrcOf(data));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST_F(Download, MalformedHeaderEndsTheReadCleanly) {
    Start();
    Deliver(rig.s, "+FSFR: 0,10,12x4\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text.rfind("Телефон прислал неверный ответ\r\n", 0), 0u);
    EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
    ExpectEndedCleanly();
    EXPECT_EQ(g_batchCalls, 0);
    // The rest of the phone's output is dropped.
    Deliver(rig.s, "+FSFR: 1,3,abc\r\n#OK#");
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(g_batchCalls, 0);
    EXPECT_EQ(rig.ui.messages.size(), 1u);
}

// A read that would never end is bounded: a data line that never gets its line
// end, or more data than the announced file and its framing can account for.
TEST_F(Download, EndlessReadEndsLikeAMalformedReply) {
    for (int round = 0; round < 2; ++round) {
        rig.ui.messages.clear();
        Start();
        Deliver(rig.s, "+FSFR: 0,1024,0\r\n");
        if (round == 0) {
            Deliver(rig.s, "+FSFR: 1,512,");
            for (int i = 0; i < 16 && rig.s.CurrentOperation == OperationState::Reading; ++i)
                Deliver(rig.s, std::string(1000, 'x'));
        } else {
            const std::string block = "+FSFR: 1,512," + std::string(512, 'y') + "\r\n#OK#";
            for (int i = 0; i < 16 && rig.s.CurrentOperation == OperationState::Reading; ++i)
                Deliver(rig.s, block);
            // Two blocks and the slack went through, never far more than announced.
            EXPECT_LE(ReadFile(target).size(), 1024u + 1024u / 8 + 4096u) << round;
        }
        ASSERT_EQ(rig.ui.messages.size(), 1u) << round;
        EXPECT_EQ(rig.ui.messages[0].text.rfind("Телефон прислал неверный ответ\r\n", 0), 0u);
        ExpectEndedCleanly();
        EXPECT_TRUE(rig.s.ReceiveBuffer.empty() || rig.s.CurrentOperation == OperationState::Idle);
    }
}

TEST_F(Engine, MalformedListingSizeEndsTheListingCleanly) {
    PhoneNode root;
    rig.s.CurrentFolder = AddChildFolder("My Sounds", &root, 'T');
    Begin(OperationState::Listing);
    Deliver(rig.s, "+FSDL: \"a.mid\",1,0,0,0,12k,0\r\nOK\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_NE(rig.ui.messages[0].text.find("неверный ответ"), std::string::npos);
    ExpectEndedCleanly();
}

TEST_F(Engine, MalformedErrorCodeEndsTheOperationCleanly) {
    rig.s.LocalFile.Create(dir.File("w.bin"));
    Begin(OperationState::Writing);
    Deliver(rig.s, "+CME ERROR: oops\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_NE(rig.ui.messages[0].text.find("неверный ответ"), std::string::npos);
    ExpectEndedCleanly();
}

TEST_F(Engine, ErrorLineInEachState) {
    struct Case {
        OperationState state;
        const char* text;
    } cases[] = {
        {OperationState::Listing, "Ошибка чтения каталога"},
        {OperationState::Reading, "Ошибка чтения файла"},
        {OperationState::Writing, "Ошибка записи файла"},
        {OperationState::Erasing, "Ошибка удаления файла"},
        {OperationState::CompilingJava, "Ошибка компиляции JAVA"},
        {OperationState::Caching, "Ошибка кэширования спика файлов"},
        {OperationState::ChangingFolder, "Х.З. Что за ошибка"},
        {OperationState::Overwriting, "Ошибка перезаписи файла"},
    };
    for (const auto& c : cases) {
        rig.ui.messages.clear();
        rig.s.ReceiveBuffer.clear();
        Begin(c.state);
        // Text in front of the mark still makes an error line (its code is then
        // read from the wrong place, which ends the operation as a bad reply).
        Deliver(rig.s, "echo\r\nAT+X: +CME ERROR: 2007\r\n");
        ASSERT_EQ(rig.ui.messages.size(), 1u) << c.state;
        EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
        rig.ui.messages.clear();
        Begin(c.state);
        Deliver(rig.s, "+CME ERROR: 2007\r\n");
        ASSERT_EQ(rig.ui.messages.size(), 1u) << c.state;
        EXPECT_EQ(rig.ui.messages[0].text, std::string(c.text) + "\r\nПамять заполнена");
        EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
        EXPECT_TRUE(rig.s.MainWindow.Enabled);
        EXPECT_EQ(g_batchCalls, 0);
    }
}

TEST_F(Engine, ErrorLineDuringInitialisationIsSkipped) {
    rig.s.CurrentOperation = OperationState::Initialising;
    rig.s.TimerOn();
    Deliver(rig.s, "+CME ERROR: 11\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Initialising);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_TRUE(rig.s.Timer1.Enabled);
}

TEST_F(Engine, InitialisationOkStartsTheCachingPass) {
    InitialisePhone(rig.s);
    rig.port.ClearWrites();
    Deliver(rig.s, "ATZ\r\nOK\r\n");
    // The line must stay quiet for a moment first: nothing is sent yet.
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Initialising);
    EXPECT_EQ(rig.s.Timer1.Interval, kSettleQuietMs);
    EXPECT_TRUE(rig.port.writes.empty());
    WatchdogExpired(rig.s);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Caching);
    EXPECT_TRUE(rig.s.Progress.Visible);
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    EXPECT_EQ(rig.s.Timer1.Interval, 10000);
    EXPECT_EQ(rig.port.All().rfind("AT+FSDL=\"", 0), 0u);
}

TEST_F(Engine, WritePromptSendsOneBlockAndDropsWhatFollows) {
    std::string data = RandomBytes(1000, 14);
    std::string path = dir.File("w.bin");
    WriteFile(path, data);
    rig.s.LocalFile.OpenRead(path);
    rig.s.UploadSize = 1000;
    SendPhoneCommand(rig.s, PhoneCommand::Write, "w.bin");
    Begin(OperationState::Writing);
    rig.s.BatchTotal = 3;
    rig.s.Progress.ProgressBar2.Step = 1;
    rig.port.ClearWrites();
    Deliver(rig.s, "##>\r\n##>\r\nOK\r\n");
    EXPECT_EQ(rig.port.All(), data.substr(0, 512));
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
    EXPECT_TRUE(rig.s.Timer1.Enabled);
    Deliver(rig.s, "##>\r\n");
    EXPECT_EQ(rig.port.All(), data);
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
    EXPECT_EQ(rig.s.Progress.ProgressBar1.Position, 0);
    EXPECT_EQ(WordsUtf8(rig.s.Progress.LongStatus), "Копируем файл 2 из 3");
    EXPECT_FALSE(rig.s.Timer1.Enabled);
}

TEST_F(Engine, FolderChangeAndOverwriteHandOverToTheBatch) {
    Begin(OperationState::ChangingFolder);
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_FALSE(rig.s.Timer1.Enabled);
    Begin(OperationState::Overwriting);
    Deliver(rig.s, "OK\r\n");
    EXPECT_EQ(g_batchCalls, 2);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
}

TEST_F(Engine, WithoutABatchTheOperationStillEnds) {
    rig.s.BatchStep = nullptr;
    Begin(OperationState::ChangingFolder);
    Deliver(rig.s, "OK\r\n");
    ExpectEndedCleanly();
}

TEST_F(Engine, BytesArrivingWhileAMessageIsOpenAreDropped) {
    Begin(OperationState::Erasing);
    rig.ui.onMessage = [this] { Deliver(rig.s, "OK\r\n"); };
    Deliver(rig.s, "+CME ERROR: 11\r\n");
    EXPECT_EQ(g_batchCalls, 0);
    EXPECT_TRUE(rig.s.ReceiveBuffer.empty());
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
}

// The phone's output for a read, cut where the phone waits for the marker's
// answer: header and first data line, each further data line, then "OK".
std::vector<std::string> ReadSegments(const std::string& data, std::size_t block) {
    std::vector<std::string> segments;
    std::string header = "+FSFR: 0," + std::to_string(data.size()) + "," +
                         std::to_string(Crc32(data.data(), data.size())) + "\r\n";
    for (std::size_t pos = 0, n = 1; pos < data.size(); pos += block, ++n) {
        std::string part = data.substr(pos, block);
        segments.push_back((n == 1 ? header : "") + "+FSFR: " + std::to_string(n) + "," +
                           std::to_string(part.size()) + "," + part + "\r\n#OK#");
    }
    segments.push_back("OK\r\n");
    return segments;
}

// Any chunk boundary inside the phone's output, the marker's included, gives the
// same file, one answer per marker, sent as soon as the marker is complete.
TEST_F(Download, ChunkBoundaryAtEveryByte) {
    // Every start of the marker, but never the whole marker or a line end: a
    // chunk that ended with those inside the bytes could not be told from the end
    // of the data line.
    std::string data = std::string("a#b#Oc#OK\nd#O") + '\0' + "#OKx\n#" + "\r#OK";
    data += "+CME ERROR: 11 #O#";
    const auto segments = ReadSegments(data, 12);
    for (std::size_t cut = 0; cut < segments.size(); ++cut) {
        for (std::size_t at = 1; at < segments[cut].size(); ++at) {
            rig.ui.messages.clear();
            rig.port.ClearWrites();
            rig.s.ReceiveBuffer.clear();
            g_batchCalls = 0;
            Start();
            for (std::size_t i = 0; i < segments.size(); ++i) {
                if (i == cut) {
                    Deliver(rig.s, segments[i].substr(0, at));
                    ASSERT_EQ(rig.port.writes.size(), i) << cut << "/" << at;
                    ASSERT_EQ(rig.s.CurrentOperation, OperationState::Reading) << cut << "/" << at;
                    Deliver(rig.s, segments[i].substr(at));
                } else {
                    Deliver(rig.s, segments[i]);
                }
                ASSERT_EQ(rig.port.writes.size(), std::min(i + 1, segments.size() - 1))
                    << cut << "/" << at;
            }
            ASSERT_EQ(g_batchCalls, 1) << cut << "/" << at;
            ASSERT_TRUE(rig.ui.messages.empty()) << cut << "/" << at;
            ASSERT_EQ(ReadFile(target), data) << cut << "/" << at;
        }
    }
}

TEST_F(Download, OneByteAtATime) {
    std::string data = RandomBytes(700, 15);
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == '\r' && data[i + 1] == '\n')
            data[i] = '#';  // a line end inside the bytes would end the data line early
    Start();
    for (const std::string& segment : ReadSegments(data, 256))
        for (char c : segment) Deliver(rig.s, std::string(1, c));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
    EXPECT_EQ(rig.port.All(), "##>\r\n##>\r\n##>\r\n");
}

// File bytes that spell an error report at the start of a data line are data.
TEST_F(Download, ErrorMarkAtTheStartOfTheBytesStaysData) {
    std::string data = "+CME ERROR: 11\r\n";
    Start();
    Run(data, CrcOf(data));
    EXPECT_EQ(ReadFile(target), data);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(g_batchCalls, 1);
}

TEST_F(Engine, EntryNamedLikeAnErrorReportIsListed) {
    PhoneNode root;
    PhoneNode* folder = AddChildFolder("My Sounds", &root, 'T');
    rig.s.CurrentFolder = folder;
    Begin(OperationState::Listing);
    Deliver(rig.s, "+FSDL: \"+CME ERROR: 11\",1,0,0,0,12,0\r\nOK\r\n");
    EXPECT_TRUE(HasFile(folder, "+CME ERROR: 11"));
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
}

// A rename whose phone copy may already be erased: an error report, or a reply
// that cannot be read, tells the user where the bytes are, after its own message.
TEST_F(Engine, FailedRenameTellsWhereTheFileWasKept) {
    for (const char* reply : {"+CME ERROR: 2007\r\n", "+CME ERROR: x\r\n"}) {
        rig.ui.messages.clear();
        rig.s.RenameRescuePath = "/tmp/orvofm-kept";
        Begin(OperationState::Writing);
        Deliver(rig.s, reply);
        ASSERT_EQ(rig.ui.messages.size(), 2u) << reply;
        EXPECT_EQ(rig.ui.messages[1].text, "Файл сохранён в /tmp/orvofm-kept");
        EXPECT_TRUE(rig.s.RenameRescuePath.empty());
    }
    // Nothing more to say when no rename was interrupted.
    rig.ui.messages.clear();
    Begin(OperationState::Writing);
    Deliver(rig.s, "+CME ERROR: 2007\r\n");
    EXPECT_EQ(rig.ui.messages.size(), 1u);
}

// After an error the folder is re-read once; when the phone refuses that listing
// too, the error is shown and nothing more is started.
class ErrorReread : public Engine {
  protected:
    void SetUp() override {
        Engine::SetUp();
        rig.s.PhoneTree = SeedStandardFolders();
        sounds = FindChildFolder("My Sounds", FindChildFolder("Sounds", rig.s.PhoneTree.get()));
        rig.s.CurrentFolder = sounds;
    }
    int Listings() const {
        int n = 0;
        for (const auto& w : rig.port.writes) n += w.rfind("AT+FSDL=", 0) == 0;
        return n;
    }
    PhoneNode* sounds = nullptr;
};

TEST_F(ErrorReread, OneRereadAndNoChain) {
    Begin(OperationState::Erasing);
    Deliver(rig.s, "+CME ERROR: 11\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Listing);
    EXPECT_EQ(rig.port.All(), "AT+FSDL=\"T\"\r\n");
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[1].text, "Ошибка чтения каталога\r\n");
    EXPECT_EQ(Listings(), 1);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
    EXPECT_FALSE(rig.s.Progress.Visible);
    EXPECT_FALSE(rig.s.Timer1.Enabled);

    // A listing the user starts gets its one re-read again.
    RereadCurrentFolder(rig.s);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Listing);
    EXPECT_EQ(Listings(), 3);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_EQ(Listings(), 3);
}

TEST_F(ErrorReread, CompletedRereadClearsTheMark) {
    Begin(OperationState::Erasing);
    Deliver(rig.s, "+CME ERROR: 11\r\n");
    Deliver(rig.s, "+FSDL: \"a.mid\",1,0,0,0,5,0\r\nOK\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_TRUE(HasFile(sounds, "a.mid"));
    // The next failure of the folder's listing is re-read once more.
    RereadCurrentFolder(rig.s);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Listing);
}

TEST_F(ErrorReread, SilentRereadClearsTheMark) {
    Begin(OperationState::Erasing);
    Deliver(rig.s, "+CME ERROR: 11\r\n");
    WatchdogExpired(rig.s);
    RereadCurrentFolder(rig.s);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Listing);
}

// At the root the re-read is a whole caching pass; one that fails is not repeated
// over and over either.
TEST_F(ErrorReread, CachingPassAtTheRootIsRepeatedOnce) {
    rig.s.CurrentFolder = rig.s.PhoneTree.get();
    StartFolderCaching(rig.s);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Caching);
    EXPECT_EQ(Listings(), 2);
    Deliver(rig.s, "OK\r\n");
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_EQ(Listings(), 3);
    EXPECT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_TRUE(rig.s.MainWindow.Enabled);
    EXPECT_FALSE(rig.s.Progress.Visible);

    // A pass that lists every folder clears the mark.
    RereadCurrentFolder(rig.s);
    for (int i = 0; i < 40 && rig.s.CurrentOperation == OperationState::Caching; ++i)
        Deliver(rig.s, "OK\r\n");
    ASSERT_EQ(rig.s.CurrentOperation, OperationState::Idle);
    EXPECT_FALSE(rig.s.RereadAfterError);
    RereadCurrentFolder(rig.s);
    Deliver(rig.s, "+CME ERROR: 3\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Caching);
}

}  // namespace
