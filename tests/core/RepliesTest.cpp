#include <gtest/gtest.h>

#include "engine/Replies.h"
#include "phonefs/PhoneTree.h"
#include "tests/core/ProtoTestUtil.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace {

using prototest::ReadFile;
using prototest::TempDir;

TEST(TakeLine, CutsAtTheFirstLineFeedAndKeepsPartialLines) {
    TestRig rig;
    rig.s.ReceiveBuffer = "O";
    EXPECT_EQ(TakeLine(rig.s), "");
    EXPECT_EQ(rig.s.ReceiveBuffer, "O");
    rig.s.ReceiveBuffer += "K\r";
    EXPECT_EQ(TakeLine(rig.s), "");
    rig.s.ReceiveBuffer += std::string("\n\0x\n+", 5);
    EXPECT_EQ(TakeLine(rig.s), "OK\r\n");
    EXPECT_EQ(TakeLine(rig.s), std::string("\0x\n", 3));
    EXPECT_EQ(TakeLine(rig.s), "");
    EXPECT_EQ(rig.s.ReceiveBuffer, "+");
}

TEST(ParseListEntry, NameAndFifthFieldAfterIt) {
    Bytes name;
    int32_t size = -1;
    ParseListEntry("+FSDL: \"a b,c.jar\",3,0,20240101,1200,5678,1\r\n", name, size);
    EXPECT_EQ(name, "a b,c.jar");
    EXPECT_EQ(size, 5678);
    ParseListEntry("+FSDL: \"\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mid\",1,0,0,0,0,0\r\n", name,
                   size);
    EXPECT_EQ(name, "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mid");
    EXPECT_EQ(size, 0);
    ParseListEntry("+FSDL: \"x\",1,2,3,4,2147483647,\r\n", name, size);
    EXPECT_EQ(size, 2147483647);
}

TEST(ParseListEntry, MalformedLinesAreConversionErrors) {
    Bytes name;
    int32_t size = 0;
    for (const char* line : {
             "+FSDL: \"a\",1,0,0,0,abc,0\r\n",         // size not a number
             "+FSDL: \"a\",1,0,0,0,,0\r\n",            // empty size
             "+FSDL: \"a\",1,0,0,0,12\r\n",            // size not comma-terminated
             "+FSDL: \"a\",1,0\r\n",                   // too few fields
             "+FSDL: a,1,0,0,0,5,\r\n",                // no quotes
             "+FSDL: \"a,1,0,0,0,5,\r\n",              // no closing quote
             "+FSDL: \"a\",1,0,0,0,99999999999,0\r\n"  // beyond 32 bits
         }) {
        EXPECT_THROW(ParseListEntry(line, name, size), ConversionError) << line;
    }
}

TEST(ParseReadHeader, LastFieldIsTheChecksum) {
    EXPECT_EQ(ParseReadHeader("+FSFR: 0,1000,3421780262\r\n"), 3421780262LL);
    EXPECT_EQ(ParseReadHeader("+FSFR: 0,1,4294967296\r\n"), 4294967296LL);
    EXPECT_EQ(ParseReadHeader("+FSFR: 0,1,-5\r\n"), -5);
    EXPECT_THROW(ParseReadHeader("+FSFR: 0\r\n"), ConversionError);  // no comma: whole line
    EXPECT_THROW(ParseReadHeader("+FSFR: 0,1,12ab\r\n"), ConversionError);
    EXPECT_THROW(ParseReadHeader("+FSFR: 0,1,\r\n"), ConversionError);
    EXPECT_THROW(ParseReadHeader("+FSFR: 0,1,99999999999999999999\r\n"), ConversionError);
}

TEST(StoreDataBlock, KeepsLineFeedsAndNulsOfTheData) {
    TempDir dir;
    TestRig rig;
    std::string path = dir.File("down.bin");
    rig.s.LocalFile.Create(path);
    StoreDataBlock(rig.s, std::string("+FSFR: 1,7,ab\ncd\0e\r\n", 20));
    StoreDataBlock(rig.s, "+FSFR: 2,5,OK\r\n,\r\n");
    rig.s.LocalFile.Close();
    EXPECT_EQ(ReadFile(path), std::string("ab\ncd\0eOK\r\n,", 12));
}

// ReportPhoneError ends every operation the same way; only the texts differ.
class PhoneErrorReport : public ::testing::Test {
  protected:
    void Report(OperationState state, const Bytes& line) {
        rig.s.CurrentOperation = state;
        rig.s.OperationStep = 3;
        rig.s.TimerOn();
        rig.s.ShowProgress();
        rig.s.EnableMainWindow(false);
        rig.ui.messages.clear();
        ReportPhoneError(rig.s, line);
    }
    TestRig rig;
};

TEST_F(PhoneErrorReport, OperationTextsAndDetails) {
    struct Case {
        OperationState state;
        const char* text;
    } cases[] = {
        {OperationState::Initialising, "Ошибка во время инициализации телефона"},
        {OperationState::Listing, "Ошибка чтения каталога"},
        {OperationState::Reading, "Ошибка чтения файла"},
        {OperationState::Writing, "Ошибка записи файла"},
        {OperationState::Erasing, "Ошибка удаления файла"},
        {OperationState::CompilingJava, "Ошибка компиляции JAVA"},
        {OperationState::Caching, "Ошибка кэширования спика файлов"},
        {OperationState::ChangingFolder, "Х.З. Что за ошибка"},
        {OperationState::Overwriting, "Ошибка перезаписи файла"},
        {static_cast<OperationState>(7), "Неопознанная ошибка"},
        {static_cast<OperationState>(9), "Неопознанная ошибка"},
        {static_cast<OperationState>(11), "Неопознанная ошибка"},
        {OperationState::Idle, "Неопознанная ошибка"},
    };
    struct Code {
        const char* line;
        const char* detail;
    } codes[] = {
        {"+CME ERROR: 11\r\n", "Файл не найден"},
        {"+CME ERROR: 2007\r\n", "Память заполнена"},
        {"+CME ERROR: 3\r\n", ""},
        {"+CME ERROR: -1\r\n", ""},
    };
    for (const auto& c : cases) {
        for (const auto& code : codes) {
            Report(c.state, code.line);
            ASSERT_EQ(rig.ui.messages.size(), 1u);
            EXPECT_EQ(rig.ui.messages[0].text, std::string(c.text) + "\r\n" + code.detail);
            EXPECT_EQ(rig.ui.messages[0].caption, "Ошибка");
            EXPECT_EQ(rig.s.CurrentOperation, OperationState::Idle);
            EXPECT_EQ(rig.s.OperationStep, 0);
            EXPECT_FALSE(rig.s.Timer1.Enabled);
            EXPECT_TRUE(rig.s.MainWindow.Enabled);
            EXPECT_FALSE(rig.s.Progress.Visible);
        }
    }
}

TEST_F(PhoneErrorReport, CodeIsReadAfterTheFirstTwelveBytes) {
    Report(OperationState::Reading, "xxxxxxxxxxxx11\r\n");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Ошибка чтения файла\r\nФайл не найден");
}

TEST_F(PhoneErrorReport, MalformedCodeThrowsBeforeChangingAnything) {
    rig.s.CurrentOperation = OperationState::Writing;
    EXPECT_THROW(ReportPhoneError(rig.s, "+CME ERROR: abc\r\n"), ConversionError);
    EXPECT_THROW(ReportPhoneError(rig.s, "+CME ERROR: \r\n"), ConversionError);
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Writing);
    EXPECT_TRUE(rig.ui.messages.empty());
}

TEST_F(PhoneErrorReport, ClosesTheLocalFileOfTheFailedTransfer) {
    TempDir dir;
    rig.s.LocalFile.Create(dir.File("part.bin"));
    Report(OperationState::Reading, "+CME ERROR: 11\r\n");
    EXPECT_FALSE(rig.s.LocalFile.IsOpen());
}

TEST_F(PhoneErrorReport, RereadsTheCurrentFolder) {
    PhoneNode root;
    PhoneNode* sounds = AddChildFolder("My Sounds", &root, 'T');
    AddFile(sounds, "old.mid", 10);
    rig.s.CurrentFolder = sounds;
    Report(OperationState::Erasing, "+CME ERROR: 11\r\n");
    EXPECT_EQ(rig.port.All(), "AT+FSDL=\"T\"\r\n");
    EXPECT_EQ(rig.s.CurrentOperation, OperationState::Listing);
    EXPECT_TRUE(rig.s.Timer1.Enabled);
}

}  // namespace
