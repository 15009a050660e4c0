// The per-file step of a copy to the phone: size limit, name conflicts and the
// folder rules (java names, melody slots and header, short names in "My Sounds").
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>

#include "app/PaneSelection.h"
#include "engine/FileOperations.h"
#include "engine/FolderCache.h"
#include "engine/ReplyEngine.h"
#include "engine/UploadPreparation.h"
#include "phonefs/CodePage.h"
#include "phonefs/PhoneTree.h"
#include "tests/support/Fakes.h"

using namespace orvo;

namespace fs = std::filesystem;

namespace {

std::string ExpectedWrite(const std::string& name, const std::string& stream) {
    uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(stream.data()), static_cast<uInt>(stream.size()));
    return "AT+FSFW=-1,\"" + name + "\"," + std::to_string(stream.size() % 512) + ",\" \"," +
           std::to_string(stream.size()) + "," + std::to_string(crc) + "\r\n";
}

// A user interface whose file-exists dialog lets something happen while it is open,
// as a nested event loop would.
struct BusyDialogUi : FakeUi {
    std::function<void()> whileOpen;
    ModalResult FileExistDialog(const std::string& oldName, std::string& newName) override {
        if (whileOpen)
            whileOpen();
        return FakeUi::FileExistDialog(oldName, newName);
    }
};

std::string MelodyHeader(const std::string& slot) {
    return slot + std::string(1, '\0') + std::string(19, '\xFF');
}

class UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "orvo-upload-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        r.s.PhoneTree = SeedStandardFolders();
        r.s.TransferBuffer.resize(kTransferBufferSize);
        // As the copy starter leaves it once the phone has changed its folder.
        r.s.BatchStep = PrepareNextUpload;
        r.s.BatchTotal = 1;
        r.s.CurrentOperation = OperationState::ChangingFolder;
        r.s.ShowProgress();
        r.s.EnableMainWindow(false);
    }
    void TearDown() override { fs::remove_all(dir); }

    PhoneNode* Go(std::initializer_list<const char*> path) {
        PhoneNode* n = r.s.PhoneTree.get();
        for (const char* p : path) n = FindChildFolder(p, n);
        r.s.CurrentFolder = n;
        return n;
    }
    std::string Put(const std::string& name, const std::string& data) {
        std::ofstream(dir + "/" + name, std::ios::binary) << data;
        return dir + "/" + name;
    }
    void Select(std::initializer_list<std::string> names) {
        r.source.Load(dir);
        for (const auto& n : names) ASSERT_TRUE(r.source.Select(n)) << n;
        // As the copy starter hands the selection to the batch.
        r.s.Batch.Work = SelectedComputerFiles(r.s);
    }
    void Feed(const std::string& bytes) {
        r.s.ReceiveBuffer += bytes;
        ProcessReplies(r.s);
    }
    // Completes the current write without blocks and returns the command line sent.
    std::string CommandAndOk() {
        std::string cmd = r.port.writes.back();
        Feed("OK\r\n");
        return cmd;
    }
    void ExpectBatchEnded() {
        EXPECT_EQ(r.s.CurrentOperation, OperationState::Idle);
        EXPECT_FALSE(r.s.Progress.Visible);
        EXPECT_TRUE(r.s.MainWindow.Enabled);
        EXPECT_FALSE(r.s.Timer1.Enabled);
        EXPECT_FALSE(r.s.LocalFile.IsOpen());
    }

    TestRig r;
    std::string dir;
};

TEST_F(UploadTest, SizeLimitRefusesOneByteMoreAndTheBatchGoesOn) {
    PhoneNode* images = Go({"Images", "My Images"});
    std::string big = Put("big.bin", std::string(616449, 'b'));
    std::string ok = Put("ok.bin", std::string(616448, 'o'));
    Select({"big.bin", "ok.bin"});
    PrepareNextUpload(r.s);

    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].text, "Файл " + big + " слишком большой");
    EXPECT_EQ(r.ui.messages[0].caption, "Ошибка:");
    ASSERT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.port.writes[0], ExpectedWrite("ok.bin", std::string(616448, 'o')));
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Writing);
    EXPECT_EQ(r.s.UploadSize, 616448);
    EXPECT_EQ(r.s.OperationStep, 0);
    ASSERT_TRUE(HasFile(images, "ok.bin"));
    EXPECT_EQ(FindFile(images, "ok.bin")->Size, 616448);
    EXPECT_FALSE(HasFile(images, "big.bin"));
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Copying to Phone ok.bin");
    EXPECT_EQ(r.s.Progress.ProgressBar1.Max, 1204);
    EXPECT_TRUE(r.s.Timer1.Enabled);
    EXPECT_EQ(r.source.SelCount(), 0);

    Feed("OK\r\n");  // the write completes; no file left
    ExpectBatchEnded();
}

TEST_F(UploadTest, FoldersAndContainersAndAbortEndTheBatch) {
    Go({"Images", "My Images"});
    fs::create_directory(dir + "/sub");
    Put("f.txt", "data");
    Select({"sub", "f.txt"});
    PrepareNextUpload(r.s);  // the folder is skipped silently
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(r.port.writes.back(), ExpectedWrite("f.txt", "data"));

    r.port.ClearWrites();
    Select({"f.txt"});
    r.s.AbortRequested = true;
    PrepareNextUpload(r.s);
    EXPECT_FALSE(r.s.AbortRequested);
    EXPECT_TRUE(r.port.writes.empty());
    ExpectBatchEnded();

    r.s.ShowProgress();
    r.s.EnableMainWindow(false);
    Go({"Images"});  // a container never receives uploads
    PrepareNextUpload(r.s);
    EXPECT_TRUE(r.port.writes.empty());
    ExpectBatchEnded();
}

TEST_F(UploadTest, JavaNamesGetTheSuiteMarkerOnlyForExactLowerCaseExtensions) {
    PhoneNode* java = Go({"java"});
    for (const char* n : {"game.jar", "GAME.JAR", "my_suite_x.jar", "game.jad", "readme.txt"})
        Put(n, "x");
    Select({"game.jar", "GAME.JAR", "my_suite_x.jar", "game.jad", "readme.txt"});
    PrepareNextUpload(r.s);
    std::vector<std::string> sent;
    for (int i = 0; i < 5; ++i) sent.push_back(CommandAndOk());
    // The pane lists the folder sorted by path: upper case first.
    EXPECT_EQ(sent, (std::vector<std::string>{
                        ExpectedWrite("GAME.JAR", "x"), ExpectedWrite("game_suite.jad", "x"),
                        ExpectedWrite("game_suite.jar", "x"), ExpectedWrite("my_suite_x.jar", "x"),
                        ExpectedWrite("readme.txt", "x")}));
    EXPECT_TRUE(HasFile(java, "game_suite.jar"));
    EXPECT_FALSE(HasFile(java, "game.jar"));
    ExpectBatchEnded();
}

TEST_F(UploadTest, MelodyWithSignatureGetsTheHeaderAndTheFirstFreeSlot) {
    PhoneNode* sounds = Go({"Sounds", "Default Sounds"});
    for (const char* n : {"melody01.mel", "melody02.mel", "melody04.mel"}) AddFile(sounds, n, 1);
    std::string body = "MMMD" + std::string(996, '\x5A');
    body[600] = '\x01';
    Put("ring tone.mmf", body);
    Select({"ring tone.mmf"});
    PrepareNextUpload(r.s);

    const std::string stream = MelodyHeader("melody03.mel") + body;
    ASSERT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.port.writes[0], ExpectedWrite("melody03.mel", stream));
    EXPECT_EQ(r.s.UploadSize, 1032);
    EXPECT_EQ(r.s.OperationStep, 1);
    EXPECT_EQ(std::string(r.s.TransferBuffer.begin(), r.s.TransferBuffer.begin() + 32),
              MelodyHeader("melody03.mel"));
    EXPECT_EQ(FindFile(sounds, "melody03.mel")->Size, 1032);
    EXPECT_EQ(r.s.Progress.ProgressBar1.Max, 3);

    r.port.ClearWrites();
    for (int i = 0; i < 4; ++i) Feed("##>\r\n");  // the fourth prompt sends nothing
    ASSERT_EQ(r.port.writes.size(), 3u);
    EXPECT_EQ(r.port.writes[0].size(), 512u);
    EXPECT_EQ(r.port.writes[2].size(), 8u);
    EXPECT_EQ(r.port.All(), stream);
    Feed("OK\r\n");
    ExpectBatchEnded();
}

TEST_F(UploadTest, MelodyWithItsOwnHeaderIsSentUnchanged) {
    PhoneNode* sounds = Go({"Sounds", "Default Sounds"});
    for (int i = 1; i <= 9; ++i) AddFile(sounds, "melody0" + std::to_string(i) + ".mel", 1);
    AddFile(sounds, "melody12.mel", 1);
    std::string body = std::string(32, 'h') + "MMMD" + std::string(64, 'd');
    Put("own.mmf", body);
    Select({"own.mmf"});
    PrepareNextUpload(r.s);
    EXPECT_EQ(r.port.writes.back(), ExpectedWrite("melody10.mel", body));
    EXPECT_EQ(r.s.UploadSize, 100);
    EXPECT_EQ(r.s.OperationStep, 0);
    r.port.ClearWrites();
    Feed("##>\r\n");
    EXPECT_EQ(r.port.All(), body);
}

TEST_F(UploadTest, RefusedMelodiesLetTheBatchGoOn) {
    Go({"Sounds", "Default Sounds"});
    Put("a_tiny.bin", "MMM");                           // shorter than the signature
    Put("b_short.mmf", "MMMD" + std::string(16, 'q'));  // 20 bytes: tested on what is there
    Put("c_plain.bin", std::string(30, 'p'));           // no signature
    Put("d_late.bin", std::string(33, 'p') + "MMMD");   // signature not at 0 or 32
    Select({"a_tiny.bin", "b_short.mmf", "c_plain.bin", "d_late.bin"});
    PrepareNextUpload(r.s);
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].text, "Not a melody file");
    EXPECT_EQ(r.ui.messages[0].caption, "Error");
    EXPECT_EQ(r.port.writes.back(),
              ExpectedWrite("melody01.mel",
                            MelodyHeader("melody01.mel") + "MMMD" + std::string(16, 'q')));
    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.ui.messages.size(), 3u);
    EXPECT_TRUE(r.port.writes.empty());
    ExpectBatchEnded();
}

TEST_F(UploadTest, NoFreeMelodySlotLetsTheBatchGoOnAndEndsCleanly) {
    PhoneNode* sounds = Go({"Sounds", "Default Sounds"});
    for (int i = 1; i <= 16; ++i)
        AddFile(sounds, (i < 10 ? "melody0" : "melody") + std::to_string(i) + ".mel", 1);
    Put("one.mmf", "MMMD....");
    Put("two.mmf", "MMMD....");
    Select({"one.mmf", "two.mmf"});
    PrepareNextUpload(r.s);
    ASSERT_EQ(r.ui.messages.size(), 2u);
    EXPECT_EQ(r.ui.messages[1].text, "No Room For Default Sound. Please Delete One Of Them");
    EXPECT_EQ(r.ui.messages[1].caption, "Error");
    EXPECT_TRUE(r.port.writes.empty());
    ExpectBatchEnded();
}

TEST_F(UploadTest, MySoundsNamesAreCutTo28BytesOnCharacterBoundaries) {
    PhoneNode* my = Go({"Sounds", "My Sounds"});
    const std::string exact28 = "abcdefghijklmnopqrstuvwx.mid";
    Put("abcdefghijklmnopqrstuvwxyz.mid", "1");
    Put("b" + exact28.substr(1), "2");
    Put("xабвгдежзийклм.mid", "3");             // byte 25 is inside "л"
    Put("zbcdefghijklmnopqrstuvwxyжabc", "4");  // the last 4 bytes start inside "ж"
    Select({"abcdefghijklmnopqrstuvwxyz.mid", "b" + exact28.substr(1), "xабвгдежзийклм.mid",
            "zbcdefghijklmnopqrstuvwxyжabc"});
    PrepareNextUpload(r.s);
    std::vector<std::string> sent;
    for (int i = 0; i < 4; ++i) sent.push_back(CommandAndOk());
    EXPECT_EQ(sent[0], ExpectedWrite("abcdefghijklmnopqrstuvwx.mid", "1"));
    EXPECT_EQ(sent[1], ExpectedWrite("b" + exact28.substr(1), "2"));
    EXPECT_EQ(sent[2], ExpectedWrite("xабвгдежзийк.mid", "3"));
    EXPECT_EQ(sent[3], ExpectedWrite("zbcdefghijklmnopqrstuvwxabc", "4"));
    std::string ansi;
    ASSERT_TRUE(Utf8ToAnsi("xабвгдежзийк.mid", ansi));
    EXPECT_TRUE(HasFile(my, ansi));
    ExpectBatchEnded();
}

TEST_F(UploadTest, NamesAreCp1251InTheModelAndUtf8OnTheWire) {
    PhoneNode* images = Go({"Images", "My Images"});
    Put("日本.txt", "j");
    Put("Привет.txt", "p");
    Select({"日本.txt", "Привет.txt"});
    PrepareNextUpload(r.s);
    EXPECT_EQ(r.port.writes.back(), ExpectedWrite("Привет.txt", "p"));
    EXPECT_TRUE(HasFile(images, "\xCF\xF0\xE8\xE2\xE5\xF2.txt"));
    EXPECT_EQ(WordsUtf8(r.s.Progress.QuickStatus), "Copying to Phone Привет.txt");
    r.port.ClearWrites();
    Feed("OK\r\n");  // next: the name that CP1251 cannot hold is refused
    ASSERT_EQ(r.ui.messages.size(), 1u);
    EXPECT_EQ(r.ui.messages[0].caption, "Ошибка");
    EXPECT_NE(r.ui.messages[0].text.find("日本.txt"), std::string::npos);
    EXPECT_TRUE(r.port.writes.empty());
    ExpectBatchEnded();
}

TEST_F(UploadTest, FileExistsAnsweredWithNewNames) {
    PhoneNode* images = Go({"Images", "My Images"});
    AddFile(images, "a.txt", 1);
    AddFile(images, "c.txt", 1);
    Put("a.txt", "new");
    Select({"a.txt"});
    r.ui.existAnswers = {{1, "c.txt"}, {1, "日.txt"}, {1, "d.txt"}};
    PrepareNextUpload(r.s);
    ASSERT_EQ(r.ui.existShown.size(), 3u);
    EXPECT_EQ(r.ui.existShown[0], std::make_pair(std::string("a.txt"), std::string("a.txt")));
    EXPECT_EQ(r.ui.existShown[1].first, "a.txt");
    EXPECT_EQ(r.ui.existShown[1].second, "c.txt");
    EXPECT_EQ(r.ui.messages.size(), 1u);  // the name outside the code page
    EXPECT_EQ(r.port.writes.back(), ExpectedWrite("d.txt", "new"));
    EXPECT_EQ(FindFile(images, "a.txt")->Size, 1);
    EXPECT_EQ(FindFile(images, "d.txt")->Size, 3);
}

TEST_F(UploadTest, FileExistsAnsweredWithOverwriteErasesFirstThenWrites) {
    PhoneNode* images = Go({"Images", "My Images"});
    AddFile(images, "a.txt", 1);
    Put("a.txt", "newer");
    Select({"a.txt"});
    r.ui.existAnswers = {{5, ""}};
    PrepareNextUpload(r.s);
    EXPECT_EQ(r.port.All(), "AT+FSFE=-1,\"a.txt\"\r\n");
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Overwriting);
    EXPECT_FALSE(HasFile(images, "a.txt"));
    EXPECT_EQ(r.source.SelCount(), 1);

    r.port.ClearWrites();
    Feed("OK\r\n");  // erased: the same file is taken again
    EXPECT_EQ(r.port.All(), ExpectedWrite("a.txt", "newer"));
    EXPECT_EQ(r.ui.existShown.size(), 1u);
    EXPECT_EQ(FindFile(images, "a.txt")->Size, 5);
    EXPECT_EQ(r.s.CurrentOperation, OperationState::Writing);
}

TEST_F(UploadTest, NamesThatWouldBreakTheCommandAreRefused) {
    PhoneNode* images = Go({"Images", "My Images"});
    AddFile(images, "taken.txt", 1);
    Put("a\"quote.txt", "q");
    Put("b\nline.txt", "n");
    Put("taken.txt", "t");
    Select({"a\"quote.txt", "b\nline.txt", "taken.txt"});
    // The new name offered for the taken one holds a quote: asked again.
    r.ui.existAnswers = {{1, "x\".txt"}, {1, "free.txt"}};
    PrepareNextUpload(r.s);
    ASSERT_EQ(r.ui.messages.size(), 3u);
    for (const auto& m : r.ui.messages) EXPECT_EQ(m.caption, "Ошибка");
    EXPECT_EQ(r.ui.existShown.size(), 2u);
    ASSERT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.port.writes[0], ExpectedWrite("free.txt", "t"));
    for (const char* n : {"a\"quote.txt", "b\nline.txt", "x\".txt"})
        EXPECT_FALSE(HasFile(images, n));
}

TEST_F(UploadTest, OverwriteSelectsTheSameFileAgainWhenThePaneChangedMeanwhile) {
    PhoneNode* images = Go({"Images", "My Images"});
    AddFile(images, "b.txt", 1);
    Put("b.txt", "mine");
    Put("a.txt", "other");
    r.source.Load(dir);
    ASSERT_TRUE(r.source.Select("b.txt"));
    // While the dialog is open a.txt appears above b.txt in the pane.
    r.source.items.erase(r.source.items.begin());
    r.s.Batch.Work = SelectedComputerFiles(r.s);
    BusyDialogUi ui;
    ui.whileOpen = [&] { r.source.items.insert(r.source.items.begin(), {dir + "/a.txt", false}); };
    ui.existAnswers = {{5, ""}};
    r.s.Ui = &ui;
    PrepareNextUpload(r.s);
    EXPECT_EQ(r.port.All(), "AT+FSFE=-1,\"b.txt\"\r\n");
    ASSERT_EQ(r.source.SelCount(), 1);
    EXPECT_TRUE(r.source.Selected(1));  // b.txt, not the row that now has its old index

    r.port.ClearWrites();
    Feed("OK\r\n");
    EXPECT_EQ(r.port.All(), ExpectedWrite("b.txt", "mine"));
    EXPECT_EQ(FindFile(images, "b.txt")->Size, 4);
}

TEST_F(UploadTest, FileExistsCancelledEndsTheBatch) {
    PhoneNode* images = Go({"Images", "My Images"});
    AddFile(images, "a.txt", 1);
    Put("a.txt", "x");
    Put("b.txt", "y");
    Select({"a.txt", "b.txt"});
    PrepareNextUpload(r.s);  // no answer queued: Cancel
    EXPECT_EQ(r.ui.existShown.size(), 1u);
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(r.source.SelCount(), 1);  // b.txt was never taken
    ExpectBatchEnded();
}

}  // namespace
