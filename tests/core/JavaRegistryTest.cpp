// Rebuilding "suites.utf" and "suitesName.utf" from the java folder's list.
#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/FolderCache.h"
#include "engine/JavaRegistry.h"
#include "engine/ReceiveHandler.h"
#include "engine/ReplyEngine.h"
#include "phonefs/PhoneTree.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

std::string WriteLine(const std::string& name, const std::string& data) {
    uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    return "AT+FSFW=-1,\"" + name + "\"," + std::to_string(data.size() % 512) + ",\" \"," +
           std::to_string(data.size()) + "," + std::to_string(crc) + "\r\n";
}

// A ".jad" name whose record has exactly recordSize bytes (base of recordSize - 3).
std::string JadForRecord(int recordSize, char fill, int tag) {
    std::string base(recordSize - 3, fill);
    std::string t = std::to_string(tag);
    base.replace(0, t.size(), t);
    return base + "_suite.jad";
}

class JavaRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        r.s.PhoneTree = SeedStandardFolders();
        r.s.CurrentFolder = r.s.PhoneTree.get();
        r.s.TransferBuffer.resize(kTransferBufferSize);
        r.s.CurrentOperation = OperationState::Idle;
        java = FindChildFolder("java", r.s.PhoneTree.get());
    }
    // What the "Compile Java" handler does before the rebuild starts.
    void Start() {
        r.s.EnableMainWindow(false);
        r.s.ShowProgress();
        r.s.Progress.ProgressBar1.Step = r.s.Progress.ProgressBar2.Step = 1;
        r.s.Progress.ProgressBar1.SetMax(7);
        r.s.Progress.ProgressBar2.SetMax(7);
        r.s.Progress.ProgressBar1.SetPosition(0);
        r.s.Progress.ProgressBar2.SetPosition(0);
        StartJavaRegistryRebuild(r.s);
    }
    void Feed(const std::string& bytes) {
        r.s.ReceiveBuffer += bytes;
        ProcessReplies(r.s);
    }
    std::string Suites() const {
        return std::string(reinterpret_cast<const char*>(r.s.SuitesList), r.s.SuitesListLength);
    }
    void ExpectEnded() {
        EXPECT_EQ(r.s.CurrentOperation, OperationState::Idle);
        EXPECT_FALSE(r.s.Progress.Visible);
        EXPECT_TRUE(r.s.MainWindow.Enabled);
    }

    TestRig r;
    PhoneNode* java = nullptr;
};

TEST_F(JavaRegistryTest, ExampleFolderGivesTheDocumentedRecordsAndTheWholeExchange) {
    AddFile(java, "game_suite.jad", 10);
    AddFile(java, "game_suite.jar", 10);
    AddFile(java, "chess_suite.jad", 10);
    Start();
    const std::string expected(
        "\x00\x05game_\x00\x06"
        "chess_",
        15);
    EXPECT_EQ(Suites(), expected);
    EXPECT_EQ(r.port.All(), "AT+FSCD=\"`\"\r\n");
    EXPECT_EQ(r.s.CurrentOperation, OperationState::CompilingJava);
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Заходим в java");

    // Neither registry file is listed: straight on to the write of suites.utf.
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.port.All(), WriteLine("suites.utf", expected));
    EXPECT_EQ(r.s.Progress.ProgressBar1.Position, 4);
    EXPECT_EQ(r.s.Progress.ProgressBar2.Position, 4);
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Посылаем команду на запись suites.utf");

    r.port.ClearWrites();
    Feed("##>\r\n");
    EXPECT_EQ(r.port.All(), expected);
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.port.All(), WriteLine("suitesName.utf", "Brindlewort"));
    r.port.ClearWrites();
    Feed("##>\r\n");
    EXPECT_EQ(r.port.All(), "Brindlewort");
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_TRUE(r.port.writes.empty());
    ExpectEnded();
    EXPECT_EQ(FindFile(java, "suites.utf")->Size, 15);
    EXPECT_EQ(FindFile(java, "suitesName.utf")->Size, 11);
    EXPECT_EQ(java->Files->Next->Next->Next->Name, "suites.utf");
    EXPECT_EQ(java->Files->Next->Next->Next->Next->Name, "suitesName.utf");
}

TEST_F(JavaRegistryTest, EveryStepIsTimedSoASilentPhoneEndsTheRebuild) {
    AddFile(java, "suites.utf", 3);
    Start();
    EXPECT_TRUE(r.s.Timer1.Enabled);  // the change of folder
    Feed("OK\r\n");
    EXPECT_TRUE(r.s.Timer1.Enabled);  // the erase of suites.utf
    Feed("OK\r\n");
    EXPECT_TRUE(r.s.Timer1.Enabled);  // the write command
    Feed("##>\r\n");
    EXPECT_TRUE(r.s.Timer1.Enabled);  // the block

    // The phone falls silent before it confirms the block.
    WatchdogExpired(r.s);
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].text, "Телефон не отвечает");
    ExpectEnded();
    EXPECT_FALSE(r.s.Timer1.Enabled);

    // A complete rebuild leaves the watchdog off.
    r.ui.messages.clear();
    Start();
    for (const char* reply : {"OK\r\n", "##>\r\n", "OK\r\n", "##>\r\n", "OK\r\n"}) Feed(reply);
    ExpectEnded();
    EXPECT_FALSE(r.s.Timer1.Enabled);
    EXPECT_TRUE(r.ui.messages.empty());
}

TEST_F(JavaRegistryTest, ListedRegistryFilesAreErasedFirst) {
    AddFile(java, "suites.utf", 3);
    AddFile(java, "suitesName.utf", 11);
    r.s.CurrentFolder = java;
    Start();
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.port.All(), "AT+FSFE=-1,\"suites.utf\"\r\n");
    EXPECT_FALSE(HasFile(java, "suites.utf"));
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Удаляем suites.utf");
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.port.All(), "AT+FSFE=-1,\"suitesName.utf\"\r\n");
    EXPECT_FALSE(HasFile(java, "suitesName.utf"));
    r.port.ClearWrites();
    Feed("OK\r\n");
    // An empty folder gives an empty suites.utf, announced as 0 and 0.
    EXPECT_EQ(r.port.All(), "AT+FSFW=-1,\"suites.utf\",0,\" \",0,0\r\n");
    r.port.ClearWrites();
    Feed("##>\r\n");
    EXPECT_TRUE(r.port.writes.empty());
    for (const char* reply : {"OK\r\n", "##>\r\n", "OK\r\n"}) Feed(reply);
    ExpectEnded();
    // The java folder was shown, so the pane now lists the new files.
    EXPECT_EQ(r.pane.Captions(), (std::vector<std::string>{"suites.utf", "suitesName.utf"}));
}

TEST_F(JavaRegistryTest, RecordsCoverOnlyExactLowerCaseJadNames) {
    AddFile(java, "x.jad", 1);
    AddFile(java, "APP_suite.JAD", 1);
    AddFile(java, "app_suite.jar", 1);
    AddFile(java, "readme.txt", 1);
    Start();
    EXPECT_EQ(Suites(), std::string("\x00\x01_", 3));
}

TEST_F(JavaRegistryTest, LongListIsSentIn512ByteBlocks) {
    for (int i = 0; i < 20; ++i) AddFile(java, JadForRecord(50, 'a', i), 1);
    AddFile(java, JadForRecord(30, 'b', 0), 1);
    Start();
    ASSERT_EQ(r.s.SuitesListLength, 1030);
    Feed("OK\r\n");
    EXPECT_EQ(r.port.writes.back(), WriteLine("suites.utf", Suites()));
    r.port.ClearWrites();
    for (int i = 0; i < 3; ++i) Feed("##>\r\n");
    ASSERT_EQ(r.port.writes.size(), 3u);
    EXPECT_EQ(r.port.writes[0].size(), 512u);
    EXPECT_EQ(r.port.writes[1].size(), 512u);
    EXPECT_EQ(r.port.writes[2].size(), 6u);
    EXPECT_EQ(r.port.All(), Suites());
}

TEST_F(JavaRegistryTest, ListFillingTheWholeRoomIsAccepted) {
    for (int i = 0; i < 71; ++i) AddFile(java, JadForRecord(57, 'c', i), 1);  // 64-byte names
    AddFile(java, JadForRecord(53, 'd', 0), 1);
    Start();
    EXPECT_EQ(r.s.SuitesListLength, 4100);
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(r.s.CurrentOperation, OperationState::CompilingJava);
}

TEST_F(JavaRegistryTest, ListTooLongForTheRegistryIsRefusedAndNothingIsSent) {
    for (int i = 0; i < 72; ++i) AddFile(java, JadForRecord(57, 'c', i), 1);  // 4104 bytes
    AddFile(java, "suites.utf", 3);
    Start();
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].caption, "Ошибка");
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_TRUE(HasFile(java, "suites.utf"));
    ExpectEnded();
    EXPECT_FALSE(r.s.Timer1.Enabled);
    Feed("OK\r\n");  // a late reply is dropped
    EXPECT_TRUE(r.port.writes.empty());
}

}  // namespace
